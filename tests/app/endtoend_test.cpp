// The program as a new user meets it, through its own run loop and real
// input only: the login dialog at start, the main window, the change of
// connection from the menu, the end from the menu, and the next start.
#include "app_fixture.h"

#include "app/mainfrm.h"
#include "res/resource.h"
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

} // namespace
} // namespace apptest
