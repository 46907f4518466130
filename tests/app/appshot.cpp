// appshot DIR: the program in this process, offscreen, with three saved
// connections: writes the login dialog (the last login's row chosen) as
// DIR/login.png, the logged-on main window as DIR/main.png, and, after a
// round trip (a name changed, a row added, one deleted, committed and read
// again, one more edit left unsaved), the window split 2 x 2 with its toolbar,
// status panes and the cell context menu open as DIR/split.png.
#include "app_fixture.h"

#include "app/connectinfo.h"
#include "app/mainfrm.h"
#include "app/tavexdoc.h"
#include "app/tavexview.h"
#include "menushot.h"
#include "query_fixture.h"
#include "res/resource.h"
#include "res/tablelist.h"

namespace {

std::string g_splitPath;
bool g_splitSaved = false;

// While the cell menu is open: the main window with the menu's popup drawn
// over it where it stands on the screen; then the menu is cancelled.
bool ShootMenu(const win32bk::ShownMenu&, UINT* command) {
    *command = 0;
    HWND main = theApp.m_pMainWnd->m_hWnd;
    HWND popup = ::GetFocus(); // the loop gives its popup the focus before asking
    const qtplatform::Image shot = apptest::WithPopup(main, popup);
    g_splitSaved = popup && qtplatform::SavePng(shot, g_splitPath);
    return true;
}

// Answers the table dialog with 社員 and lets its query run.
void OpenEmployees(CMainFrame* frame) {
    tvtest::ExpectDialog(u"テーブル選択(検索条件設定)", [](HWND h) {
        tvtest::TypeInto(h, IDC_TL_FILTER, u"^社");
        auto* list = static_cast<CListCtrl*>(CWnd::FromHandle(GetDlgItem(h, IDC_TL_OBJECTS)));
        list->SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
        tvtest::Pump();
        apptest::ExpectQuery();
        tvtest::ClickControl(h, IDOK);
        return true;
    });
    frame->SendMessage(WM_COMMAND, ID_FILE_SELECT_TABLE);
    tvtest::RunUntilIdle();
}

// The round trip, then the split window with the cell menu open.
bool SplitShot(const std::string& path) {
    auto* frame = dynamic_cast<CMainFrame*>(theApp.m_pMainWnd);
    auto* doc = frame ? dynamic_cast<CTavexDoc*>(frame->GetActiveDocument()) : nullptr;
    auto* view = frame ? dynamic_cast<CTavexView*>(frame->m_wndSplitter.GetPane(0, 0)) : nullptr;
    if (!doc || !view) return false;
    frame->MoveWindow(0, 0, 900, 620);
    OpenEmployees(frame);
    if (doc->m_data.GetRowCount() != 20) return false;
    CGridCtrl& grid = view->m_grid;
    grid.SetCursorCell(1, 2);
    grid.SetCellText(2, 1, u"変更 三郎", -1);
    grid.SetCursorCell(0, 4);
    frame->SendMessage(WM_COMMAND, ID_DATA_ADD_RECORD);
    const int added = doc->m_data.m_curRow;
    grid.SetCellText(added, 0, u"3001", -1);
    grid.SetCellText(added, 1, u"新入 太郎", -1);
    grid.SetCursorCell(0, 10);
    frame->SendMessage(WM_COMMAND, ID_DATA_DELETE_RECORD);
    apptest::ExpectCommitAndLookAgain();
    frame->SendMessage(WM_COMMAND, ID_FILE_COMMIT);
    tvtest::RunUntilIdle();
    // One edit left unsaved, a selection summed, the panes split 2 x 2.
    grid.SetCursorCell(1, 6);
    grid.SetCellText(6, 1, u"未保存 花子", -1);
    frame->m_wndSplitter.SplitRow(260);
    frame->m_wndSplitter.SplitColumn(330);
    tvtest::RunUntilIdle();
    view->SetFocus();
    grid.SetSelectArea(POINT{5, 0}, POINT{5, 0}, POINT{5, 3});
    grid.SetCursorCell(1, 3);
    tvtest::RunUntilIdle();
    ::UpdateWindow(frame->m_hWnd);
    g_splitPath = path;
    win32bk::SetMenuAnswerHook(&ShootMenu);
    CRect cell = grid.GetCellRect(1, 3);
    POINT at = cell.CenterPoint();
    ::ClientToScreen(grid.m_hWnd, &at);
    view->SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view->m_hWnd), MAKELPARAM(at.x, at.y));
    tvtest::Pump();
    win32bk::SetMenuAnswerHook(nullptr); // no menu opens after this
    return g_splitSaved;
}

} // namespace

int main(int argc, char** argv) {
    using namespace apptest;
    if (argc != 2) {
        std::fprintf(stderr, "usage: appshot DIR\n");
        return 2;
    }
    const fs::path out = argv[1];
    fs::create_directories(out);

    // The same surroundings as the suites' cases.
    struct Shot : AppTest {
        void TestBody() override {}
    } env;
    env.SetUp();

    ConnectInfoList list;
    struct Entry {
        const char16_t *user, *password, *tns, *notes;
    };
    const Entry entries[] = {{u"SCOTT", u"tiger", u"ORCL", u"開発環境"},
                             {u"DEMO", u"demo", u"DEMO", u"見本データ"},
                             {u"SALES", u"sales", u"DEMO", u"営業"}};
    for (const Entry& e : entries) {
        CString stored;
        PasswordCodec::Encode(e.password, &stored);
        list.Add(std::make_unique<ConnectInfo>(e.user, e.tns, stored, 1, 0, e.notes, 0, 0xFFFFFF, 0xFFFFFF));
    }
    list.Save();
    env.PutStr(u"CONNECT_INFO", u"USER-CUR", u"DEMO");
    env.PutStr(u"CONNECT_INFO", u"TNS-CUR", u"DEMO");
    // Tall enough for the three rows (the dialog opens at least 350 x 300).
    env.PutInt(u"LOGIN_DLG", u"WIDTH", 420);
    env.PutInt(u"LOGIN_DLG", u"HEIGHT", 340);

    bool login = false, main = false;
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        tvtest::Pump();
        ::UpdateWindow(dlg);
        login = tvtest::SavePng(dlg, (out / "login.png").string());
        tvtest::ClickControl(dlg, IDOK);
        return true;
    });
    if (env.Start()) {
        tvtest::RunUntilIdle();
        ::UpdateWindow(theApp.m_pMainWnd->m_hWnd);
        main = tvtest::SavePng(theApp.m_pMainWnd->m_hWnd, (out / "main.png").string());
    }
    bool split = main && SplitShot((out / "split.png").string());
    tvtest::AnswerBox(IDYES); // the unsaved edit at the end
    env.TearDown();
    std::printf("%s %s %s\n", login ? "login.png" : "-", main ? "main.png" : "-", split ? "split.png" : "-");
    return login && main && split && g_connected == 0 ? 0 : 1;
}
