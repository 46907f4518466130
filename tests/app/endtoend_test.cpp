// The program as a new user meets it, through its own run loop and real
// input only: the login dialog at start, the main window, the change of
// connection from the menu, the end from the menu, and the next start.
#include "app_fixture.h"

#include <chrono>

#include "app/mainfrm.h"
#include "app/tavexdoc.h"
#include "app/tavexview.h"
#include "employees.h"
#include "query_fixture.h"
#include "res/resource.h"
#include "res/tablelist.h"
#include "win32/sysinfo.h"

namespace apptest {
namespace {

class EndToEndTest : public AppTest {
public:
    static inline EndToEndTest* current = nullptr;
    std::vector<std::function<void()>> steps;
    size_t next = 0;

    // Each idle round of the program's loop runs the next step once.
    static void AtIdle() {
        EndToEndTest* t = current;
        if (!t || t->next >= t->steps.size()) return;
        auto step = t->steps[t->next++];
        step();
    }
    int Run(std::vector<std::u16string> args = {}) {
        args.insert(args.begin(), Wide((bin / "tavrelix").string()));
        SetProcessArgumentsW(args);
        current = this;
        win32bk::SetIdleHook(AtIdle);
        int code = AfxWinMain(nullptr, nullptr, GetCommandLineW(), SW_SHOWNORMAL);
        win32bk::SetIdleHook(nullptr);
        current = nullptr;
        return code;
    }
    static HWND Main() { return theApp.m_pMainWnd ? theApp.m_pMainWnd->m_hWnd : nullptr; }
    static std::u16string Title() {
        char16_t buf[512] = {};
        ::GetWindowTextW(Main(), buf, 512);
        return buf;
    }
    static std::u16string SessionPane() {
        auto* frame = static_cast<CMainFrame*>(theApp.m_pMainWnd);
        return std::u16string(
            frame->m_wndStatusBar.GetPaneText(frame->m_wndStatusBar.CommandToIndex(ID_INDICATOR_SESSION)));
    }
    // The menu bar's loop, opened with F10, ends with the command.
    static void Menu(UINT command) {
        tvtest::AnswerMenu(command);
        tvtest::Key(Main(), qtplatform::Key_F10);
        tvtest::Pump();
    }
    static void TypeLogin(HWND dlg, const std::u16string& user, const std::u16string& password,
                          const std::u16string& tns) {
        if (!user.empty()) tvtest::TypeInto(dlg, IDC_LOGIN_USER, user);
        if (!tns.empty()) TypeIntoCombo(dlg, IDC_LOGIN_TNS, tns);
        tvtest::TypeInto(dlg, IDC_LOGIN_PASSWORD, password);
    }
};

TEST_F(EndToEndTest, LogOnChangeTheConnectionAndEndThenTheNextStartPreselects) {
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        EXPECT_EQ(tvtest::TextOf(tvtest::Control(dlg, IDC_LOGIN_USER)), u"");
        TypeLogin(dlg, u"DEMO", u"demo", u"DEMO");
        tvtest::Key(tvtest::Control(dlg, IDC_LOGIN_PASSWORD), qtplatform::Key_Return);
        return true;
    });
    OraSession* first = nullptr;
    steps.push_back([&] {
        EXPECT_EQ(g_connected, 1);
        EXPECT_EQ(Title().rfind(u"DEMO@DEMO - ", 0), 0u) << Narrow(Title().c_str());
        EXPECT_EQ(SessionPane(), u"DEMO@DEMO");
        first = g_session;
        tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
            // The last login is filled in; the focus stays where the dialog puts it.
            EXPECT_EQ(tvtest::TextOf(tvtest::Control(dlg, IDC_LOGIN_USER)), u"DEMO");
            TypeLogin(dlg, u"", u"demo", u"");
            tvtest::Key(tvtest::Control(dlg, IDC_LOGIN_PASSWORD), qtplatform::Key_Return);
            return true;
        });
        Menu(ID_FILE_CHANGE_CONNECTION);
    });
    steps.push_back([&] {
        EXPECT_EQ(g_connected, 1);
        EXPECT_NE(g_session, nullptr);
        EXPECT_EQ(SessionPane(), u"DEMO@DEMO");
        Menu(ID_APP_EXIT);
    });
    Run();
    EXPECT_EQ(next, steps.size());
    EXPECT_EQ(g_connected, 0);
    EXPECT_EQ(theApp.m_pMainWnd, nullptr);
    EXPECT_EQ(GetStr(u"CONNECT_INFO", u"USER-CUR"), u"DEMO");
    EXPECT_TRUE(tvtest::Boxes().empty());

    // The next start's dialog: the last login chosen, the password to type.
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        EXPECT_EQ(tvtest::TextOf(tvtest::Control(dlg, IDC_LOGIN_USER)), u"DEMO");
        EXPECT_EQ(tvtest::TextOf(::ChildWindowFromPoint(tvtest::Control(dlg, IDC_LOGIN_TNS), POINT{10, 10})),
                  u"DEMO");
        EXPECT_EQ(::GetFocus(), tvtest::Control(dlg, IDC_LOGIN_PASSWORD));
        tvtest::ClickControl(dlg, IDCANCEL);
        return true;
    });
    CString msg;
    ASSERT_EQ(oci_load_library(&msg), ORARC_OK);
    OraSession* s = nullptr;
    EXPECT_EQ(theApp.RunLoginDialog(&s, 0), 1);
}

TEST_F(EndToEndTest, AWrongPasswordKeepsTheDialogWithThePasswordSelected) {
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        TypeLogin(dlg, u"DEMO", u"wrong", u"DEMO");
        tvtest::AnswerBox(IDOK);
        tvtest::Key(tvtest::Control(dlg, IDC_LOGIN_PASSWORD), qtplatform::Key_Return);
        EXPECT_TRUE(::IsWindow(dlg));
        auto errors = BoxesCaptioned(u"Error");
        EXPECT_EQ(errors.size(), 1u);
        if (!errors.empty()) {
            EXPECT_EQ(errors[0].text.rfind(u"ORA-01017", 0), 0u) << Narrow(errors[0].text.c_str());
        }
        HWND pw = tvtest::Control(dlg, IDC_LOGIN_PASSWORD);
        EXPECT_EQ(::GetFocus(), pw);
        DWORD start = 0, end = 0;
        ::SendMessageW(pw, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, 0u);
        EXPECT_EQ(end, 5u);
        tvtest::ClickControl(dlg, IDCANCEL);
        return true;
    });
    Run();
    EXPECT_EQ(g_connected, 0);
}

TEST_F(EndToEndTest, AWrongCommandLinePasswordShowsItsTextThenTheDialog) {
    tvtest::AnswerBox(IDOK);
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        auto boxes = BoxesCaptioned(u"Message");
        EXPECT_EQ(boxes.size(), 1u);
        if (!boxes.empty()) {
            EXPECT_EQ(boxes[0].text.rfind(u"ORA-01017", 0), 0u) << Narrow(boxes[0].text.c_str());
        }
        tvtest::ClickControl(dlg, IDCANCEL);
        return true;
    });
    Run({u"LOGON=DEMO/wrong@DEMO"});
    EXPECT_EQ(g_connected, 0);
}

// Every row of 社員 as another session sees it, each value as text.
std::vector<std::vector<std::u16string>> EmployeeRows() {
    return RowsOfAnotherSession(u"select * from 社員 order by 社員番号");
}

// The whole round trip from the README: log on from the command line, open
// 社員 through the menu, change a name, add a row, delete one, commit and
// look again; a second session sees exactly those changes.
TEST_F(EndToEndTest, EditInsertDeleteCommitAndTheRowsAreSaved) {
    static CTavexDoc* doc;
    static CTavexView* view;
    std::vector<std::vector<std::u16string>> before;
    auto grid = [] { return &view->m_grid; };
    auto click = [grid](int col, int row) {
        CRect r = grid()->GetCellRect(col, row);
        tvtest::Click(grid()->m_hWnd, r.CenterPoint().x, r.CenterPoint().y);
        tvtest::Pump();
    };
    auto type = [](const std::u16string& text) {
        tvtest::Type(GetFocus(), text);
        tvtest::Pump();
        tvtest::Key(GetFocus(), qtplatform::Key_Return);
        tvtest::Pump();
    };
    auto rowOf = [](const std::u16string& id) {
        for (int r = 0; r < doc->m_data.GetRowCount(); ++r)
            if (doc->m_data.GetText(r, 0) == id) return r;
        return -1;
    };
    // A command of the "データ" popup, chosen from the menu bar.
    auto dataMenu = [](UINT command) {
        tvtest::AnswerMenu(command);
        win32bk::OpenMenuBarPopup(Main(), 2);
        tvtest::Pump();
    };
    // Nobody's message: one more idle round after it, for the next step.
    auto nudge = [] { ::PostMessageW(Main(), WM_APP + 0x3FFF, 0, 0); };
    // A step runs once the main window is usable again (no dialog open) and
    // what it needs is there; until then it is tried again at the next idle.
    auto ready = [this, nudge](bool need) {
        static auto since = std::chrono::steady_clock::now();
        static size_t waiting = 0;
        if (need && ::IsWindowEnabled(Main())) {
            waiting = 0;
            return true;
        }
        if (waiting != next) waiting = next, since = std::chrono::steady_clock::now();
        if (std::chrono::steady_clock::now() - since > std::chrono::seconds(60)) {
            ADD_FAILURE() << "step " << next
                          << " waited in vain; window enabled: " << ::IsWindowEnabled(Main())
                          << ", boxes: " << tvtest::Boxes().size() << ", rows: " << doc->m_data.GetRowCount();
            next = steps.size() - 1; // the exit
            return false;
        }
        --next;
        nudge();
        return false;
    };
    steps.push_back([&] {
        auto* frame = static_cast<CMainFrame*>(theApp.m_pMainWnd);
        doc = dynamic_cast<CTavexDoc*>(frame->GetActiveDocument());
        view = dynamic_cast<CTavexView*>(frame->m_wndSplitter.GetPane(0, 0));
        ASSERT_TRUE(doc && view);
        before = EmployeeRows();
        ASSERT_EQ(before.size(), 20u);
        // "テーブル選択...": the filter, the first table, OK.
        tvtest::ExpectDialog(u"テーブル選択(検索条件設定)", [](HWND h) {
            tvtest::TypeInto(h, IDC_TL_FILTER, u"^社");
            tvtest::Click(GetDlgItem(h, IDC_TL_OBJECTS), 40, 30);
            tvtest::Pump();
            ExpectQuery();
            tvtest::ClickControl(h, IDOK);
            return true;
        });
        Menu(ID_FILE_SELECT_TABLE);
    });
    steps.push_back([&] {
        if (!ready(doc->m_data.GetRowCount() == 20)) return;
        EXPECT_EQ(Title(), u"DEMO@DEMO - 社員");
        // A new name for 1003, typed into its cell.
        click(1, rowOf(u"1003"));
        type(u"変更 三郎");
        // "レコード追加": the new row's number and name.
        dataMenu(ID_DATA_ADD_RECORD);
        const int added = doc->m_data.m_curRow;
        ASSERT_TRUE(doc->m_data.IsInsertedRow(added));
        click(0, added);
        type(u"3001");
        click(1, added);
        type(u"新入 太郎");
        // Another row, "レコード削除".
        click(0, rowOf(u"1010"));
        dataMenu(ID_DATA_DELETE_RECORD);
        nudge();
    });
    steps.push_back([&] {
        if (!ready(true)) return;
        char16_t buf[128] = {};
        GetMenuStringW(GetMenu(Main()), ID_EDIT_COUNTS, buf, 128, MF_BYCOMMAND);
        EXPECT_EQ(std::u16string(buf), u" Insert:1, Update:1, Delete:1 ");
        ExpectCommitAndLookAgain();
        Menu(ID_FILE_COMMIT);
        nudge();
    });
    steps.push_back([&] {
        if (!ready(tvtest::Boxes().size() >= 2 && doc->m_data.GetRowCount() > 0)) return;
        ASSERT_EQ(tvtest::Boxes().size(), 2u);
        EXPECT_EQ(tvtest::Boxes()[1].text.rfind(u"編集結果を保存しました。", 0), 0u);
        ASSERT_EQ(doc->m_data.GetRowCount(), 20);
        EXPECT_EQ(doc->m_data.GetText(rowOf(u"1003"), 1), std::u16string(u"変更 三郎"));
        ASSERT_GE(rowOf(u"3001"), 0);
        EXPECT_EQ(doc->m_data.GetText(rowOf(u"3001"), 1), std::u16string(u"新入 太郎"));
        EXPECT_EQ(rowOf(u"1010"), -1);
        char16_t buf[128] = {};
        GetMenuStringW(GetMenu(Main()), ID_EDIT_COUNTS, buf, 128, MF_BYCOMMAND);
        EXPECT_EQ(std::u16string(buf), u" Insert:0, Update:0, Delete:0 ");
        // Another session: exactly these three changes.
        auto expected = before;
        expected[2][1] = u"変更 三郎";
        expected.erase(expected.begin() + 9);
        std::vector<std::u16string> added(expected[0].size(), u"");
        added[0] = u"3001";
        added[1] = u"新入 太郎";
        expected.push_back(added);
        EXPECT_EQ(EmployeeRows(), expected);
        nudge();
    });
    steps.push_back([&] { Menu(ID_APP_EXIT); });
    Run({u"LOGON=DEMO/demo@DEMO"});
    EXPECT_EQ(next, steps.size());
    EXPECT_EQ(theApp.m_pMainWnd, nullptr);
}

} // namespace
} // namespace apptest
