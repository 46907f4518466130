// The main window in the running program: its place under WINDOW, the
// toolbar, the calculation and END panes, the status bar's menu, the key
// bindings as accelerators and menu key texts, the key dialog from the menu,
// the wheel and the splits.
#include "app/dialogs/acceleratordlg.h"
#include "docview_fixture.h"
#include "res/dialogs4.h"
#include "scheme/macro.h"
#include "testing/framework.h"

namespace {

using namespace apptest;

constexpr unsigned kCtrl = static_cast<unsigned>(qtplatform::Mods::Ctrl);
constexpr unsigned kShift = static_cast<unsigned>(qtplatform::Mods::Shift);

TEST(FramePlacement, TheStoredRectangleInsideTheWorkArea) {
    const RECT work{0, 40, 1280, 1000}; // 1280 x 960, below a top panel
    RECT r{};
    // Width or height 0: the default placement stays.
    EXPECT_FALSE(CMainFrame::PlaceInWorkArea(100, 100, 0, 600, work, 1024, &r));
    EXPECT_FALSE(CMainFrame::PlaceInWorkArea(100, 100, 800, 0, work, 1024, &r));
    // Inside: as stored; a top above the work area comes down to it.
    ASSERT_TRUE(CMainFrame::PlaceInWorkArea(100, 100, 800, 600, work, 1024, &r));
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 100);
    EXPECT_EQ(r.right, 900);
    EXPECT_EQ(r.bottom, 700);
    ASSERT_TRUE(CMainFrame::PlaceInWorkArea(-50, 0, 800, 600, work, 1024, &r));
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 40);
    // Reaching the bottom: the work area's top; taller than it: the screen's height.
    ASSERT_TRUE(CMainFrame::PlaceInWorkArea(100, 500, 800, 600, work, 1024, &r));
    EXPECT_EQ(r.top, 40);
    EXPECT_EQ(r.bottom, 640);
    ASSERT_TRUE(CMainFrame::PlaceInWorkArea(100, 100, 800, 2000, work, 1024, &r));
    EXPECT_EQ(r.top, 40);
    EXPECT_EQ(r.bottom - r.top, 1024);
    // Reaching the right edge: the work area's left; wider than it: its width.
    ASSERT_TRUE(CMainFrame::PlaceInWorkArea(700, 100, 800, 600, work, 1024, &r));
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 800);
    ASSERT_TRUE(CMainFrame::PlaceInWorkArea(700, 100, 3000, 600, work, 1024, &r));
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 1280);
}

TEST(FrameKeys, TheKeyCodeIsTheFlagByteAboveTheKey) {
    tvtest::Init();
    tvtest::SetKeyState(VK_CONTROL, true);
    tvtest::SetKeyState(VK_SHIFT, true);
    EXPECT_EQ(macro_key_down_code(0x72), 0x000F0072u);
    tvtest::SetKeyState(VK_CONTROL, false);
    tvtest::SetKeyState(VK_SHIFT, false);
    EXPECT_EQ(macro_key_down_code('A'), 0x00030041u);
}

class FramePlaceTest : public AppTest {
public:
    CMainFrame* Frame() { return dynamic_cast<CMainFrame*>(theApp.m_pMainWnd); }
};

TEST_F(FramePlaceTest, StoredAtCreationOneCaptionLowerAndAtTheEndAsItIs) {
    tvtest::SetScreen(RECT{0, 0, 1280, 1024}, RECT{0, 0, 1280, 984});
    PutPlace(120, 60, 700, 500);
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
    CRect r;
    Frame()->GetWindowRect(&r);
    EXPECT_EQ(r, CRect(120, 60, 820, 560));
    const int caption = GetSystemMetrics(SM_CYCAPTION);
    EXPECT_EQ(GetInt(u"WINDOW", u"TOP"), 60 + caption);
    EXPECT_EQ(GetInt(u"WINDOW", u"LEFT"), 120 + caption);
    Frame()->MoveWindow(200, 100, 640, 480);
    Exit();
    EXPECT_EQ(GetInt(u"WINDOW", u"LEFT"), 200);
    EXPECT_EQ(GetInt(u"WINDOW", u"TOP"), 100);
    EXPECT_EQ(GetInt(u"WINDOW", u"WIDTH"), 640);
    EXPECT_EQ(GetInt(u"WINDOW", u"HEIGHT"), 480);
    EXPECT_EQ(GetInt(u"WINDOW", u"ZOOMED"), 0);
}

TEST_F(FramePlaceTest, MaximisedStoresOnlyZoomedAndMinimisedNothing) {
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
    const int top = GetInt(u"WINDOW", u"TOP");
    Frame()->ShowWindow(SW_MAXIMIZE);
    tvtest::Pump();
    ASSERT_TRUE(Frame()->IsZoomed());
    Exit();
    EXPECT_EQ(GetInt(u"WINDOW", u"ZOOMED"), 1);
    EXPECT_EQ(GetInt(u"WINDOW", u"TOP"), top);
    EXPECT_EQ(GetInt(u"WINDOW", u"WIDTH"), -12345);

    PutInt(u"WINDOW", u"ZOOMED", 7);
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
    Frame()->ShowWindow(SW_MINIMIZE);
    tvtest::Pump();
    ASSERT_TRUE(Frame()->IsIconic());
    const int stored = GetInt(u"WINDOW", u"TOP");
    Exit();
    EXPECT_EQ(GetInt(u"WINDOW", u"ZOOMED"), 7);
    EXPECT_EQ(GetInt(u"WINDOW", u"TOP"), stored);
}

class FrameTest : public DocViewTest {
public:
    CString Pane(UINT id) {
        return frame->m_wndStatusBar.GetPaneText(frame->m_wndStatusBar.CommandToIndex(id));
    }
    // The text of the menu bar's popup item with that command.
    std::u16string ItemText(int popup, UINT id) {
        char16_t buf[256] = {};
        GetMenuStringW(GetSubMenu(GetMenu(frame->m_hWnd), popup), id, buf, 256, MF_BYCOMMAND);
        return buf;
    }
    void OpenPopup(int popup) {
        tvtest::AnswerMenu(0);
        win32bk::OpenMenuBarPopup(frame->m_hWnd, popup);
        tvtest::Pump();
    }
};

TEST_F(FrameTest, ToolbarPanesAndTheirTexts) {
    CToolBar& bar = frame->m_wndToolBar;
    ASSERT_EQ(bar.GetCount(), 5);
    EXPECT_EQ(bar.GetItemID(0), UINT(ID_FILE_SELECT_TABLE));
    EXPECT_EQ(bar.GetItemID(1), UINT(ID_FILE_REFRESH));
    EXPECT_EQ(bar.GetItemID(2), UINT(ID_FILE_COMMIT));
    EXPECT_EQ(bar.GetItemID(4), UINT(ID_DATA_ADJUST_COLUMN_WIDTH));
    // The images of the bitmap resource.
    tvtest::RunUntilIdle();
    qtplatform::Image img = tvtest::Capture(bar.m_hWnd);
    CRect commit; // the table selection's button: a table with a blue head row
    bar.GetItemRect(0, &commit);
    int blue = 0;
    for (int y = commit.top; y < commit.bottom; ++y)
        for (int x = commit.left; x < commit.right; ++x) blue += img.At(x, y) == 0xFF0000FFu;
    EXPECT_GT(blue, 15);

    // Six panes without the END pane; seven with it, "END" in End mode.
    EXPECT_EQ(frame->m_wndStatusBar.GetCount(), 6);
    ASSERT_TRUE(frame->SetStatusIndicators(TRUE));
    EXPECT_EQ(frame->m_wndStatusBar.GetCount(), 7);
    Load(u"社員");
    tvtest::RunUntilIdle();
    EXPECT_EQ(Pane(ID_INDICATOR_END), u"");
    view->m_grid.SetFocus();
    AppSettings.END_KEY_LIKE_EXCEL = 1;
    view->ApplySettings();
    tvtest::Key(view->m_grid.m_hWnd, qtplatform::Key_End);
    tvtest::RunUntilIdle();
    ASSERT_TRUE(view->m_grid.IsEndMode());
    EXPECT_EQ(Pane(ID_INDICATOR_END), u"END");
    AppSettings.END_KEY_LIKE_EXCEL = 0;
}

TEST_F(FrameTest, CalculationCommandsAndTheStatusBarsMenu) {
    Load(u"社員");
    // 給与 of the first two rows: 250000 and 262500.
    view->m_grid.SetSelectArea(POINT{5, 0}, POINT{5, 0}, POINT{5, 1});
    tvtest::RunUntilIdle();
    frame->SendMessage(WM_COMMAND, ID_CALC_AVERAGE);
    EXPECT_EQ(AppSettings.GRID_CALC_TYPE, 1);
    EXPECT_EQ(GetInt(u"APPLICATION", u"GRID_CALC_TYPE"), 1);
    tvtest::RunUntilIdle();
    CString average = Pane(ID_INDICATOR_CALC);
    EXPECT_NE(average.Find(u"256,250"), -1) << Narrow(average);
    frame->SendMessage(WM_COMMAND, ID_CALC_NONE);
    tvtest::RunUntilIdle();
    EXPECT_EQ(Pane(ID_INDICATOR_CALC), u"");

    // The status bar's menu: menu 158 with the current type checked.
    CRect bar;
    frame->m_wndStatusBar.GetWindowRect(&bar);
    tvtest::ClearMenus();
    tvtest::AnswerMenu(ID_CALC_MAX);
    frame->SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(frame->m_wndStatusBar.m_hWnd),
                       MAKELPARAM(bar.left + 10, bar.top + 5));
    tvtest::Pump();
    ASSERT_EQ(tvtest::Menus().size(), 1u);
    const auto& shown = tvtest::Menus()[0];
    ASSERT_EQ(shown.items.size(), 6u);
    EXPECT_EQ(shown.items[1].text, u"平均");
    EXPECT_NE(tvtest::ShownState(shown, ID_CALC_NONE) & MF_CHECKED, 0);
    EXPECT_EQ(tvtest::ShownState(shown, ID_CALC_SUM) & MF_CHECKED, 0);
    EXPECT_EQ(AppSettings.GRID_CALC_TYPE, 2);
    // Outside the status bar nothing opens.
    frame->SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(frame->m_hWnd), MAKELPARAM(bar.left + 10, 5));
    tvtest::Pump();
    EXPECT_EQ(tvtest::Menus().size(), 1u);
}

TEST_F(FrameTest, StepTwentyOneInstallsTheBindingsAndTheMenusShowTheirKeys) {
    Load(u"社員");
    // Without a binding of its command a stale key text goes, once.
    HMENU data = GetSubMenu(GetMenu(frame->m_hWnd), 2);
    ModifyMenuW(data, ID_DATA_ADD_RECORD, MF_BYCOMMAND | MF_STRING, ID_DATA_ADD_RECORD, u"レコード追加\tF9");
    OpenPopup(2);
    EXPECT_EQ(ItemText(2, ID_DATA_ADD_RECORD), u"レコード追加");
    // The default bindings name their keys.
    OpenPopup(1);
    EXPECT_EQ(ItemText(1, ID_EDIT_UNDO), u"元に戻す(&U)\tCtrl+Z, Alt+BACK");

    // One binding more, stored, and installed as start-up installs it.
    AccelTable table;
    table.Load();
    ASSERT_EQ(table.Add(ID_DATA_ADD_RECORD, 0x72, 0x0F), 1);
    table.Save();
    frame->RebuildAccelerators();
    ASSERT_NE(frame->m_hAccelTable, nullptr);
    EXPECT_EQ(frame->m_hAccelTable, frame->m_hAccel);
    OpenPopup(2);
    EXPECT_EQ(ItemText(2, ID_DATA_ADD_RECORD), u"レコード追加\tCtrl+Shift+F3");
    OpenPopup(2);
    EXPECT_EQ(ItemText(2, ID_DATA_ADD_RECORD), u"レコード追加\tCtrl+Shift+F3");

    // No script binds the key: it goes to the accelerators, a new row.
    view->m_grid.SetFocus();
    view->m_grid.SetCursorCell(0, 3);
    tvtest::Key(GetFocus(), qtplatform::Key_F1 + 2, kCtrl | kShift);
    tvtest::RunUntilIdle();
    EXPECT_EQ(doc->m_data.GetRowCount(), 21);
    EXPECT_EQ(doc->m_data.m_insertedCount, 1);
}

// "キー割り当て..." from the menu, driven through the dialog's own lists,
// capture box and buttons: Ctrl+F moved from "検索" to "次を検索". Cancel
// changes nothing; OK stores the table, Ctrl+F finds the next match and the
// menu names both keys.
TEST_F(FrameTest, KeyAssignmentMovesCtrlFToFindNextOnlyOnOk) {
    Load(u"社員");
    auto press = [](int key, unsigned mods = 0) {
        tvtest::Key(GetFocus(), key, mods);
        tvtest::RunUntilIdle();
    };
    auto clickCell = [this](int col, int row) {
        CRect r = view->m_grid.GetCellRect(col, row);
        tvtest::Click(view->m_grid.m_hWnd, r.CenterPoint().x, r.CenterPoint().y);
        tvtest::RunUntilIdle();
    };
    // A search for 鈴木 (row 1) through the search dialog, closed with Esc.
    clickCell(1, 0);
    press('F', kCtrl);
    HWND search = CTavexView::GetSearchDlg()->m_hWnd;
    ASSERT_TRUE(IsWindowVisible(search));
    tvtest::Type(GetFocus(), u"鈴木");
    press(qtplatform::Key_Return);
    EXPECT_EQ(doc->m_data.m_curRow, 1);
    press(qtplatform::Key_Escape);
    ASSERT_EQ(GetFocus(), view->m_grid.m_hWnd);

    // A list's row chosen as a user does: a click into the list, Home, Down.
    auto chooseRow = [](HWND list, int row) {
        tvtest::Click(list, 40, 30);
        tvtest::Key(list, qtplatform::Key_Home);
        for (int i = 0; i < row; ++i) tvtest::Key(list, qtplatform::Key_Down);
        tvtest::Pump();
    };
    auto cell = [](HWND list, int row, int sub) {
        return std::u16string(
            static_cast<CListCtrl*>(CWnd::FromHandle(list))->GetItemText(row, sub).GetString());
    };
    auto rowOf = [&cell](HWND list, const std::u16string& text) {
        const int n = static_cast<CListCtrl*>(CWnd::FromHandle(list))->GetItemCount();
        for (int i = 0; i < n; ++i)
            if (cell(list, i, 0) == text) return i;
        return -1;
    };
    auto assignCtrlF = [&](int button) {
        tvtest::ExpectDialog(u"キー割り当て", [&, button](HWND h) {
            HWND cats = GetDlgItem(h, IDC_ACCEL_CATEGORIES), cmds = GetDlgItem(h, IDC_ACCEL_COMMANDS),
                 keys = GetDlgItem(h, IDC_ACCEL_KEYS), capture = GetDlgItem(h, IDC_ACCEL_CAPTURE);
            chooseRow(cats, rowOf(cats, u"編集"));
            const int next = rowOf(cmds, u"次を検索"), find = rowOf(cmds, u"検索");
            EXPECT_GE(next, 0);
            EXPECT_GE(find, 0);
            if (next < 0 || find < 0) return true;
            chooseRow(cmds, next);
            EXPECT_EQ(cell(keys, 0, 0), u"F3");
            EXPECT_EQ(cell(cmds, next, 2), u"F3");
            EXPECT_EQ(cell(cmds, find, 2), u"Ctrl+F");
            tvtest::ClickControl(h, IDC_ACCEL_CAPTURE);
            tvtest::KeyDown(capture, qtplatform::Key_Control, kCtrl);
            tvtest::Key(capture, 'F', kCtrl);
            tvtest::KeyUp(capture, qtplatform::Key_Control);
            EXPECT_EQ(tvtest::TextOf(capture), u"Ctrl+F");
            EXPECT_EQ(tvtest::TextOf(GetDlgItem(h, IDC_ACCEL_CURRENT)), u"現在の割り当て：検索");
            tvtest::ClickControl(h, IDC_ACCEL_ASSIGN);
            EXPECT_EQ(cell(cmds, next, 2), u"F3, Ctrl+F");
            EXPECT_EQ(cell(cmds, find, 2), u"");
            tvtest::ClickControl(h, button);
            return true;
        });
        tvtest::AnswerMenu(ID_TOOL_KEY_ASSIGN);
        win32bk::OpenMenuBarPopup(frame->m_hWnd, 4); // "ツール"
        tvtest::RunUntilIdle();
        tvtest::VerifyDialogs();
    };

    // Cancel: nothing stored, Ctrl+F still opens the search dialog, the menu as it was.
    assignCtrlF(IDCANCEL);
    EXPECT_EQ(GetInt(u"ACCELERATOR", u"ACCEL_CNT", -1), -1);
    OpenPopup(1);
    EXPECT_EQ(ItemText(1, ID_EDIT_SEARCH), u"検索(&F)...\tCtrl+F");
    EXPECT_EQ(ItemText(1, ID_EDIT_SEARCH_NEXT), u"次を検索\tF3");
    clickCell(1, 0);
    press('F', kCtrl);
    search = CTavexView::GetSearchDlg()->m_hWnd;
    EXPECT_TRUE(IsWindowVisible(search));
    EXPECT_EQ(doc->m_data.m_curRow, 0);
    press(qtplatform::Key_Escape);
    ASSERT_EQ(GetFocus(), view->m_grid.m_hWnd);

    // OK: stored, installed, and shown in the menu.
    assignCtrlF(IDOK);
    EXPECT_EQ(GetInt(u"ACCELERATOR", u"ACCEL_CNT", -1), 17);
    AccelTable stored;
    stored.Load();
    EXPECT_EQ(stored.FindCommand(u"Ctrl+F"), ID_EDIT_SEARCH_NEXT);
    EXPECT_EQ(stored.FindCommand(u"F3"), ID_EDIT_SEARCH_NEXT);
    EXPECT_EQ(frame->m_hAccelTable, frame->m_hAccel);
    clickCell(1, 0);
    press('F', kCtrl);
    EXPECT_EQ(doc->m_data.m_curRow, 1) << "Ctrl+F finds the next 鈴木";
    EXPECT_EQ(GetActiveWindow(), frame->m_hWnd) << "no search dialog";
    OpenPopup(1);
    EXPECT_EQ(ItemText(1, ID_EDIT_SEARCH_NEXT), u"次を検索\tF3, Ctrl+F");
    EXPECT_EQ(ItemText(1, ID_EDIT_SEARCH), u"検索(&F)...");
}

TEST_F(FrameTest, WheelStepsOneLineAndSplitsKeepThePositions) {
    Load(u"BIG_TABLE");
    frame->MoveWindow(0, 0, 260, 500); // narrower than the columns
    tvtest::RunUntilIdle();
    CWheelSplitterWnd& split = frame->m_wndSplitter;
    CGridCtrl& grid = view->m_grid;
    view->SetFocus();
    tvtest::Pump();
    ASSERT_EQ(split.GetActivePane(), view);
    grid.SetScrollPosition(SB_VERT, 50);
    split.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 360), 0);
    tvtest::Pump();
    EXPECT_EQ(grid.FirstRow(), 49);
    split.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0);
    split.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0);
    tvtest::Pump();
    EXPECT_EQ(grid.FirstRow(), 51);

    // A split: the new panes start where the first one stands.
    grid.SetScrollPosition(SB_HORZ, 2);
    ASSERT_TRUE(split.SplitRow(150));
    ASSERT_TRUE(split.SplitColumn(100));
    tvtest::RunUntilIdle();
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) {
            auto* pane = dynamic_cast<CTavexView*>(split.GetPane(r, c));
            ASSERT_NE(pane, nullptr);
            EXPECT_EQ(pane->m_grid.FirstRow(), 51) << r << c;
            EXPECT_EQ(pane->m_grid.FirstCol(), 2) << r << c;
        }
}

TEST_F(FrameTest, AMovedFramePlacesTheOpenEditorsComposition) {
    Load(u"社員");
    CGridCtrl& grid = view->m_grid;
    grid.SetFocus();
    grid.SetCursorCell(1, 2);
    ASSERT_EQ(grid.StartEdit(0, 1), 1);
    tvtest::Pump();
    HWND editor = grid.m_editWnd->m_hWnd;
    const POINT placed = tvtest::ImeCompositionPoint(editor);
    // Somewhere else, as a stale position would be.
    HIMC imc = ImmGetContext(editor);
    COMPOSITIONFORM form{};
    form.dwStyle = CFS_POINT;
    form.ptCurrentPos = POINT{placed.x + 300, placed.y + 200};
    ImmSetCompositionWindow(imc, &form);
    ImmReleaseContext(editor, imc);
    ASSERT_NE(tvtest::ImeCompositionPoint(editor).x, placed.x);
    doc->UpdateAllViews(nullptr, 115);
    EXPECT_EQ(tvtest::ImeCompositionPoint(editor).x, placed.x);
    EXPECT_EQ(tvtest::ImeCompositionPoint(editor).y, placed.y);
    // A move of the frame sends it.
    imc = ImmGetContext(editor);
    ImmSetCompositionWindow(imc, &form);
    ImmReleaseContext(editor, imc);
    frame->MoveWindow(30, 40, 900, 700);
    tvtest::Pump();
    EXPECT_NE(tvtest::ImeCompositionPoint(editor).x, form.ptCurrentPos.x);
}

} // namespace

namespace {

using namespace apptest;

// The grid's hidden cell editor stays hidden until an edit starts: the
// header row is drawn whole, in its own colour, with no editor over it.
TEST_F(FrameTest, TheHeaderRowIsWholeAndTheEditorHiddenUntilAnEdit) {
    Load(u"社員");
    CGridCtrl& grid = view->m_grid;
    ASSERT_NE(grid.m_editWnd, nullptr);
    HWND editor = grid.m_editWnd->m_hWnd;
    EXPECT_FALSE(IsWindowVisible(editor));
    EXPECT_FALSE(qtplatform::IsMapped(editor));
    grid.SetCursorCell(3, 5); // the cursor column's head is marked: away from the first ones
    qtplatform::Image img = tvtest::Capture(grid.m_hWnd);
    const uint32_t header = 0xFF000000u | RGB(GetBValue(AppSettings.colors[GRID_HEADER_BG_COLOR]),
                                              GetGValue(AppSettings.colors[GRID_HEADER_BG_COLOR]),
                                              GetRValue(AppSettings.colors[GRID_HEADER_BG_COLOR]));
    ASSERT_GT(grid.m_colHeaderHeight, 12);
    int own = 0, white = 0;
    for (int y = 1; y < 11; ++y)
        for (int x = grid.m_rowHeaderWidth + 2; x < grid.m_rowHeaderWidth + 110; ++x) {
            own += img.At(x, y) == header;
            white += img.At(x, y) == 0xFFFFFFFFu;
        }
    EXPECT_GT(own, 600) << std::hex << img.At(grid.m_rowHeaderWidth + 5, 3) << " " << header;
    EXPECT_EQ(white, 0);
    // The first column's name has ink in the header row.
    int ink = 0;
    for (int y = 0; y < grid.m_colHeaderHeight; ++y)
        for (int x = grid.m_rowHeaderWidth; x < grid.m_rowHeaderWidth + 100; ++x) {
            uint32_t p = img.At(x, y);
            ink += ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 200;
        }
    EXPECT_GT(ink, 20);
    // An edit shows it; its end hides it again.
    grid.SetFocus();
    grid.SetCursorCell(1, 0);
    ASSERT_EQ(grid.StartEdit(0, 1), 1);
    tvtest::Pump();
    EXPECT_TRUE(qtplatform::IsMapped(editor));
    grid.EndEdit();
    tvtest::Pump();
    EXPECT_FALSE(qtplatform::IsMapped(editor));
}

} // namespace
