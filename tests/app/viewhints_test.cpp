// The views in the running program: the document's hints in a 2 x 2 split,
// the search dialogs' messages from a filled request, the grid's
// notifications in the status bar and the counts item, the cell menu.
#include "docview_fixture.h"
#include "testing/framework.h"

namespace {

using namespace apptest;

class ViewTest : public DocViewTest {
public:
    CString Message() { return frame->m_wndStatusBar.GetPaneText(0); }
    CTavexView* Pane(int r, int c) { return dynamic_cast<CTavexView*>(frame->m_wndSplitter.GetPane(r, c)); }
    void Split() {
        ASSERT_TRUE(frame->m_wndSplitter.SplitRow(150));
        ASSERT_TRUE(frame->m_wndSplitter.SplitColumn(250));
        tvtest::RunUntilIdle();
    }
    uint32_t Headers(int r, int c) { return Pane(r, c)->m_grid.GetGridStyle() & 0x3u; }
    LRESULT Search(UINT message, const std::u16string& text, int direction = 1, WPARAM wParam = 0) {
        view->m_searchRequest.searchText = text.c_str();
        view->m_searchRequest.direction = direction;
        return view->SendMessage(message, wParam, 0);
    }
    int Col(const std::u16string& name) {
        for (int c = 0; c < doc->m_data.GetColCount(); ++c)
            if (doc->m_data.GetColName(c) == name) return c;
        return -1;
    }
    // The cell menu as it opens over the cursor cell (cancelled).
    win32bk::ShownMenu CellMenu() {
        tvtest::ClearMenus();
        tvtest::AnswerMenu(0);
        view->SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view->m_hWnd), MAKELPARAM(100, 100));
        tvtest::Pump();
        EXPECT_EQ(tvtest::Menus().size(), 1u);
        return tvtest::Menus().empty() ? win32bk::ShownMenu{} : tvtest::Menus()[0];
    }
};

TEST_F(ViewTest, PaneHeadersFontAndRowsInASplit) {
    Load(u"社員");
    Split();
    EXPECT_EQ(Headers(0, 0), 0x3u);
    EXPECT_EQ(Headers(0, 1), 0x1u);
    EXPECT_EQ(Headers(1, 0), 0x2u);
    EXPECT_EQ(Headers(1, 1), 0x0u);
    // Every pane shows the same model; 1001 gives each the font.
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) EXPECT_EQ(Pane(r, c)->m_grid.GetData(), &doc->m_data);
    CFont font;
    ASSERT_TRUE(font.CreatePointFont(140, u"Noto Sans CJK JP"));
    doc->UpdateAllViews(nullptr, 1001, reinterpret_cast<CObject*>(&font));
    LOGFONTW want{}, got{};
    font.GetLogFont(&want);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) {
            ASSERT_NE(Pane(r, c)->m_grid.m_font, nullptr);
            Pane(r, c)->m_grid.m_font->GetLogFont(&got);
            EXPECT_EQ(got.lfHeight, want.lfHeight) << r << c;
        }
    // The left column goes: 202, and the right column takes the row headers.
    frame->m_wndSplitter.DeleteColumn(0);
    tvtest::RunUntilIdle();
    EXPECT_EQ(Headers(0, 0), 0x3u);
    EXPECT_EQ(Headers(1, 0), 0x2u);
    doc->UpdateAllViews(nullptr, 1001, reinterpret_cast<CObject*>(&g_app_font));
}

TEST_F(ViewTest, SaveFailureRelayoutRebindFilterAndUnknownHints) {
    Load(u"社員");
    Split();
    // 1002: a row, then a cell.
    int failed[2] = {-1, 4};
    doc->UpdateAllViews(nullptr, 1002, reinterpret_cast<CObject*>(failed));
    EXPECT_TRUE(doc->m_data.HasSelection());
    EXPECT_EQ(doc->m_data.m_sel1.y, 4);
    int cell[2] = {2, 7};
    doc->UpdateAllViews(nullptr, 1002, reinterpret_cast<CObject*>(cell));
    EXPECT_EQ(doc->m_data.m_curCol, 2);
    EXPECT_EQ(doc->m_data.m_curRow, 7);
    // 1022 after rows moved behind the grids' backs (as the sort moves them):
    // every pane draws the rows again and an open cell edit ends, its text
    // kept. The last row's name emptied sorts first.
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) {
            Pane(r, c)->m_grid.SetScrollPosition(SB_VERT, 0);
            Pane(r, c)->m_grid.SetScrollPosition(SB_HORZ, 0);
        }
    tvtest::RunUntilIdle();
    ASSERT_EQ(doc->m_data.SetText(19, 1, u"", -1), 0);
    const int byName[1] = {1}, ascending[1] = {1};
    doc->m_data.Sort(byName, ascending, 1);
    ASSERT_EQ(Narrow(doc->m_data.GetText(0, 1)), "");
    ASSERT_EQ(Narrow(doc->m_data.GetText(0, 0)), "1020");
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) ::ValidateRect(Pane(r, c)->m_grid.m_hWnd, nullptr);
    CGridCtrl& lower = Pane(1, 1)->m_grid;
    lower.SetFocus();
    lower.SetCursorCell(3, 5);
    const std::u16string dept = doc->m_data.GetText(5, 3);
    ASSERT_EQ(lower.StartEdit(0, 1), 1);
    tvtest::Type(GetFocus(), u"課");
    tvtest::Pump();
    ASSERT_TRUE(lower.IsCellEditorVisible());
    std::vector<int> stale;
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) {
            stale.push_back(InkIn(Pane(r, c)->m_grid, 1, 0, 3));
            EXPECT_GT(stale.back(), 30) << "the name sorted away still shows in " << r << c;
        }
    doc->UpdateAllViews(nullptr, 1022);
    tvtest::RunUntilIdle();
    EXPECT_FALSE(lower.IsCellEditorVisible());
    EXPECT_EQ(doc->m_data.GetText(5, 3), dept + u"課");
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            EXPECT_LT(InkIn(Pane(r, c)->m_grid, 1, 0, 3), stale[size_t(r * 2 + c)] / 4) << r << c;

    // A filter put on the model, then 1023: every pane binds the filter model.
    int count = 0;
    CString err;
    ASSERT_EQ(doc->m_data.SetFilter(3, u"営業部", 0, 0, 0, &count, &err, 1), 0) << Narrow(err);
    doc->UpdateAllViews(nullptr, 1023);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) EXPECT_EQ(Pane(r, c)->m_grid.GetData(), doc->m_data.m_filter) << r << c;
    // Hint 0 and unknown numbers leave every binding as it is.
    for (LPARAM hint : {0, 7, 1005, 9999}) doc->UpdateAllViews(nullptr, hint);
    EXPECT_EQ(Pane(1, 1)->m_grid.GetData(), doc->m_data.m_filter);
    EXPECT_TRUE(doc->m_data.m_filtered);
    // 1404 clears it in every pane.
    doc->UpdateAllViews(nullptr, 1404);
    EXPECT_FALSE(doc->m_data.m_filtered);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) EXPECT_EQ(Pane(r, c)->m_grid.GetData(), &doc->m_data) << r << c;
}

TEST_F(ViewTest, CellChangedRepaintsTheCursorCellInEveryPane) {
    Load(u"社員");
    Split();
    view->m_grid.SetCursorCell(1, 0);
    tvtest::RunUntilIdle();
    auto ink = [](CTavexView* v) { return InkIn(v->m_grid, 1, 0); };
    const int before = ink(Pane(0, 1));
    ASSERT_GT(before, 10);
    // The text changes behind the grids' backs (as a LOB upload changes it); 203 shows it.
    // Whatever the change itself invalidated is dropped first.
    ASSERT_EQ(doc->m_data.SetText(0, 1, u"", -1), 0);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) ::ValidateRect(Pane(r, c)->m_grid.m_hWnd, nullptr);
    EXPECT_EQ(ink(Pane(0, 1)), before);
    doc->UpdateAllViews(nullptr, 203);
    tvtest::RunUntilIdle();
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) EXPECT_LT(ink(Pane(r, c)), before - 50) << r << c;
}

TEST_F(ViewTest, CustomColoursPaintTheBackgroundAndTheTip) {
    Load(u"社員");
    g_custom_colors = 1;
    g_custom_grid_bg = RGB(200, 220, 250);
    view->ApplySettings();
    const GridStyle& s = *doc->m_data.m_styleInUse;
    EXPECT_EQ(s.colors[GRID_BG_COLOR], RGB(200, 220, 250));
    EXPECT_EQ(s.tip.bkColor, RGB(200, 220, 225));
    g_custom_colors = 0;
}

TEST_F(ViewTest, SearchMessages) {
    Load(u"社員");
    view->m_grid.SetCursorCell(1, 0);
    tvtest::ClearBoxes();
    const int beeps = tvtest::Beeps();
    // Found: the pane empties; not found: one beep and the text.
    frame->SetMessageText(u"x");
    EXPECT_EQ(Search(SRM_FIND, u"鈴木"), 0);
    EXPECT_EQ(Message(), u"");
    EXPECT_EQ(doc->m_data.m_curRow, 1);
    EXPECT_EQ(Search(SRM_FIND, u"存在しない名前"), 1);
    EXPECT_EQ(Message(), u"見つかりません");
    EXPECT_EQ(tvtest::Beeps(), beeps + 1);
    // Past the end forward, past the start backward.
    view->m_grid.SetCursorCell(1, 5);
    EXPECT_EQ(Search(SRM_FIND, u"鈴木"), 0);
    EXPECT_EQ(Message(), u"ファイルの末尾まで検索しました");
    view->m_grid.SetCursorCell(1, 0);
    EXPECT_EQ(Search(SRM_FIND, u"吉田", -1), 0);
    EXPECT_EQ(Message(), u"ファイルの先頭まで検索しました");
    // A column by its name; a row when swapped.
    EXPECT_EQ(Search(SRM_FINDCOLUMN, u"部署"), 0);
    EXPECT_TRUE(view->m_grid.IsColumnSelected(3));
    frame->SendMessage(WM_COMMAND, ID_DATA_SWAP_ROW_COL);
    EXPECT_EQ(Search(SRM_FINDCOLUMN, u"給与"), 0);
    EXPECT_EQ(doc->m_swap.m_sel1.y, 5);
    EXPECT_EQ(doc->m_swap.m_sel2.y, 5);
    frame->SendMessage(WM_COMMAND, ID_DATA_SWAP_ROW_COL);
    // Replace all without a match reports its count all the same.
    view->m_searchRequest.replaceText = u"X";
    view->m_searchRequest.replaceAll = 1;
    Search(SRM_REPLACE, u"存在しない名前");
    EXPECT_EQ(Message(), u"0件置換しました");
    EXPECT_EQ(doc->m_data.m_updatedCount, 0);
    view->m_searchRequest.replaceAll = 0;
    EXPECT_TRUE(tvtest::Boxes().empty());
}

TEST_F(ViewTest, AReplaceWithoutAMatchReportsLikeASearch) {
    Load(u"社員");
    view->m_grid.SetCursorCell(1, 5);
    tvtest::ClearBoxes();
    const int beeps = tvtest::Beeps();
    view->m_searchRequest.replaceText = u"X";
    view->m_searchRequest.replaceAll = 0;
    frame->SetMessageText(u"x");
    Search(SRM_REPLACE, u"存在しない名前");
    EXPECT_EQ(Message(), u"見つかりません");
    EXPECT_EQ(tvtest::Beeps(), beeps + 1);
    EXPECT_EQ(doc->m_data.m_curRow, 5);
    EXPECT_EQ(doc->m_data.m_updatedCount, 0);
    // A match elsewhere moves there and replaces nothing yet.
    frame->SetMessageText(u"x");
    Search(SRM_REPLACE, u"鈴木");
    EXPECT_EQ(Message(), u"ファイルの末尾まで検索しました");
    EXPECT_EQ(tvtest::Beeps(), beeps + 1);
    EXPECT_EQ(doc->m_data.m_updatedCount, 0);
    EXPECT_TRUE(tvtest::Boxes().empty());
}

// Replace all inside the open cell editor's selection (a request the
// replace dialog sends) replaces there only and reports how many it replaced.
TEST_F(ViewTest, ReplaceAllInTheOpenEditorsSelectionReportsItsCount) {
    Load(u"社員");
    view->m_grid.SetCursorCell(1, 0);
    ASSERT_EQ(std::u16string(doc->m_data.GetText(0, 1)), u"山田 太郎");
    ASSERT_TRUE(view->m_grid.StartEdit(0, 0));
    view->m_grid.m_editWnd->SelectRange(EditPos{2, 0}, EditPos{5, 0}, 0);
    ASSERT_TRUE(view->m_grid.HasSelection());
    view->m_searchRequest.replaceText = u"X";
    view->m_searchRequest.replaceAll = 1;
    view->m_searchRequest.inSelection = 1;
    view->m_searchRequest.useRegex = 1;
    Search(SRM_REPLACE, u"[山田太郎]");
    EXPECT_EQ(CString(view->m_grid.m_editData->GetAllText()), CString(u"山田 XX"));
    EXPECT_EQ(Message(), u"2件置換しました");
    // Nothing matching in the selection: 0.
    view->m_grid.m_editWnd->SelectRange(EditPos{0, 0}, EditPos{3, 0}, 0);
    Search(SRM_REPLACE, u"[太郎]");
    EXPECT_EQ(Message(), u"0件置換しました");
    EXPECT_TRUE(view->m_grid.EndEdit());
    EXPECT_EQ(std::u16string(doc->m_data.GetText(0, 1)), u"山田 XX");
}

TEST_F(ViewTest, FilterMessages) {
    Load(u"ALL_TYPES");
    Split();
    const int col = Col(u"C_CHAR");
    ASSERT_GE(col, 0);
    view->m_grid.SetCursorCell(col, 0);
    view->m_searchRequest.useRegex = 1;
    EXPECT_EQ(Search(SRM_FILTER, u"^A", 1, static_cast<WPARAM>(col)), 0);
    ASSERT_TRUE(doc->m_data.m_filtered);
    EXPECT_EQ(doc->m_data.m_filter->GetRowCount(), 16);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) EXPECT_EQ(Pane(r, c)->m_grid.GetData(), doc->m_data.m_filter) << r << c;
    EXPECT_EQ(Message().Left(7), u"Filter中");
    // A bad pattern: the model's text in a box, the binding kept.
    tvtest::AnswerBox(IDOK);
    EXPECT_EQ(Search(SRM_FILTER, u"[", 1, static_cast<WPARAM>(col)), 1);
    auto boxes = BoxesCaptioned(u"Error");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(boxes[0].text.empty());
    EXPECT_EQ(view->m_grid.GetData(), doc->m_data.m_filter);
    // While filtered the record commands are grey in the cell menu.
    win32bk::ShownMenu menu = CellMenu();
    EXPECT_NE(tvtest::ShownState(menu, ID_DATA_ADD_RECORD) & MF_GRAYED, 0);
    EXPECT_NE(tvtest::ShownState(menu, ID_DATA_DELETE_RECORD) & MF_GRAYED, 0);
    EXPECT_EQ(menu.items.back().text, u"検索結果のフィルタを解除");
    // Cleared: the plain model, the cursor on (kept column, 0).
    view->SendMessage(SRM_CLEARFILTER);
    EXPECT_FALSE(doc->m_data.m_filtered);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) EXPECT_EQ(Pane(r, c)->m_grid.GetData(), &doc->m_data) << r << c;
    EXPECT_EQ(doc->m_data.m_curCol, col);
    EXPECT_EQ(doc->m_data.m_curRow, 0);
    view->m_searchRequest.useRegex = 0;
}

TEST_F(ViewTest, NotificationsFillTheStatusBarAndTheCountsItem) {
    Load(u"社員");
    view->m_grid.SetFocus();
    view->m_grid.SetCursorCell(1, 2);
    tvtest::RunUntilIdle();
    EXPECT_EQ(Message(), u"Type: VARCHAR2(40)");
    ASSERT_EQ(view->m_grid.SetCellText(2, 1, u"新しい名前", -1), 0);
    view->m_grid.SetCursorCell(1, 3);
    view->m_grid.SetCursorCell(1, 2);
    tvtest::RunUntilIdle();
    EXPECT_EQ(Message(), u"Type: VARCHAR2(40), Original Text: 髙橋 一郎");
    // A selection fills the calculation pane (the sum by default).
    AppSettings.GRID_CALC_TYPE = 0;
    view->m_grid.SetSelectArea(POINT{5, 0}, POINT{5, 0}, POINT{5, 2});
    tvtest::RunUntilIdle();
    CString calc = frame->m_wndStatusBar.GetPaneText(frame->m_wndStatusBar.CommandToIndex(ID_INDICATOR_CALC));
    EXPECT_NE(calc.Find(u"787,500"), -1) << Narrow(calc);
    // The counts item after the change.
    char16_t buf[128] = {};
    GetMenuStringW(GetMenu(frame->m_hWnd), ID_EDIT_COUNTS, buf, 128, MF_BYCOMMAND);
    EXPECT_EQ(std::u16string(buf), u" Insert:0, Update:1, Delete:0 ");
}

// The cursor cell's type goes with the data: a change of connection empties
// the grid (hint 1020) and the message pane with it; new data names the new
// cursor cell.
TEST_F(ViewTest, TheTypeTextGoesWithTheData) {
    Load(u"社員");
    view->m_grid.SetFocus();
    view->m_grid.SetCursorCell(1, 2);
    tvtest::RunUntilIdle();
    ASSERT_EQ(Message(), u"Type: VARCHAR2(40)");
    doc->UpdateAllViews(nullptr, HINT_CLEAR_DATA);
    tvtest::RunUntilIdle();
    EXPECT_FALSE(doc->IsTableLoaded());
    EXPECT_EQ(Message(), u"");
    Load(u"社員");
    tvtest::RunUntilIdle();
    EXPECT_EQ(Message().Left(6), u"Type: ");
}

TEST_F(ViewTest, TheCellMenuNamesTheCellsSizeAndItsType) {
    Load(u"ALL_TYPES");
    const int clob = Col(u"C_CLOB"), blob = Col(u"C_BLOB"), bfile = Col(u"C_BFILE"),
              text = Col(u"C_VARCHAR2");
    ASSERT_GE(clob, 0);
    view->m_grid.SetFocus();
    // Ten characters of VARCHAR2: 20 bytes.
    view->m_grid.SetCursorCell(text, 0);
    ASSERT_EQ(view->m_grid.SetCellText(0, text, u"0123456789", -1), 0);
    win32bk::ShownMenu menu = CellMenu();
    ASSERT_GE(menu.items.size(), 5u);
    EXPECT_EQ(menu.items[0].text, u"データ参照(20byte)");
    EXPECT_EQ(menu.items[1].state & MF_SEPARATOR, UINT(MF_SEPARATOR));
    EXPECT_EQ(menu.items[2].id, UINT(ID_DATA_ADD_RECORD));
    EXPECT_EQ(menu.items[3].id, UINT(ID_DATA_DELETE_RECORD));
    EXPECT_EQ(tvtest::ShownState(menu, ID_DATA_ADD_RECORD) & MF_GRAYED, 0);
    EXPECT_EQ(menu.items.back().text, u"検索結果をフィルタ...");
    // A CLOB: 1,024 characters read 1k, 1,023 read as they are.
    view->m_grid.SetCursorCell(clob, 1);
    ASSERT_EQ(view->m_grid.SetCellText(1, clob, std::u16string(1024, u'あ').c_str(), -1), 0);
    EXPECT_EQ(CellMenu().items[0].text, u"データ編集(文字数:1k)");
    ASSERT_EQ(view->m_grid.SetCellText(1, clob, std::u16string(1023, u'あ').c_str(), -1), 0);
    EXPECT_EQ(CellMenu().items[0].text, u"データ編集(文字数:1023)");
    // BLOB and BFILE: their commands first.
    view->m_grid.SetCursorCell(blob, 1);
    menu = CellMenu();
    ASSERT_GE(menu.items.size(), 4u);
    EXPECT_EQ(menu.items[0].id, UINT(ID_DATA_LOB_DOWNLOAD));
    EXPECT_EQ(menu.items[1].text, u"LOB Upload...");
    EXPECT_EQ(menu.items[2].text, u"NULLにする");
    EXPECT_EQ(menu.items[3].state & MF_SEPARATOR, UINT(MF_SEPARATOR));
    view->m_grid.SetCursorCell(bfile, 1);
    menu = CellMenu();
    EXPECT_EQ(menu.items[1].text, u"BFILE Update...");
    // From the menu: a record added, one deleted.
    view->m_grid.SetCursorCell(text, 3);
    tvtest::AnswerMenu(ID_DATA_ADD_RECORD);
    view->SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view->m_hWnd), MAKELPARAM(100, 100));
    tvtest::RunUntilIdle();
    EXPECT_EQ(doc->m_data.m_insertedCount, 1);
    view->m_grid.SetCursorCell(text, 6);
    tvtest::AnswerMenu(ID_DATA_DELETE_RECORD);
    view->SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view->m_hWnd), MAKELPARAM(100, 100));
    tvtest::RunUntilIdle();
    EXPECT_EQ(doc->m_data.m_deletedCount, 1);
}

} // namespace
