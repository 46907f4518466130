// The document and the view in the running program: rows of a query in the
// grid, the title, read-only columns, refresh and refit, swap, clear, the
// unsaved-edits questions, the lock pane, the cursor cell while filtered,
// the counts item. Then the whole road as a new user walks it.
#include "docview_fixture.h"

namespace {

using namespace apptest;

TEST_F(DocViewTest, RowsTitleCountsAndLockPane) {
    Load(u"社員");
    ASSERT_TRUE(doc->IsTableLoaded()) << BoxTexts();
    EXPECT_EQ(doc->m_data.GetRowCount(), 20);
    EXPECT_EQ(view->m_grid.GetData(), &doc->m_data);
    EXPECT_EQ(Narrow(Title().c_str()), "DEMO@DEMO - 社員");
    char16_t buf[128] = {};
    GetMenuStringW(GetMenu(frame->GetSafeHwnd()), ID_EDIT_COUNTS, buf, 128, MF_BYCOMMAND);
    EXPECT_EQ(Narrow(buf), " Insert:0, Update:0, Delete:0 ");
    // The lock pane: only with a table and DATA_LOCK.
    AppSettings.DATA_LOCK = 1;
    tvtest::RunUntilIdle();
    EXPECT_EQ(Narrow(frame->m_wndStatusBar.GetPaneText(3)), "Data Lock");
    frame->SendMessage(WM_COMMAND, ID_FILE_CLEAR_DATA);
    tvtest::RunUntilIdle();
    EXPECT_EQ(doc->m_data.GetRowCount(), 0);
    EXPECT_FALSE(doc->IsTableLoaded());
    EXPECT_EQ(Narrow(frame->m_wndStatusBar.GetPaneText(3)), "");
    AppSettings.DATA_LOCK = 0;
}

TEST_F(DocViewTest, ReadOnlyAndVirtualColumns) {
    Load(u"社員", {u"社員番号", u"氏名"});
    // An expression column and a plain one; then ALL_TYPES's virtual column.
    doc->m_columns.push_back(u"給与 * 12 /*READONLY*/");
    Refresh();
    ASSERT_EQ(doc->m_columns.size(), 3u) << BoxTexts();
    EXPECT_TRUE(doc->m_data.IsCellEditable(0, 1));
    EXPECT_FALSE(doc->m_data.IsCellEditable(0, 2));
}

TEST_F(DocViewTest, SwapSurvivesANewQuery) {
    Load(u"社員");
    frame->SendMessage(WM_COMMAND, ID_DATA_SWAP_ROW_COL);
    EXPECT_EQ(doc->m_swapFlag, 1);
    EXPECT_NE(view->m_grid.GetGridStyle() & 0x100000u, 0u);
    EXPECT_EQ(view->m_grid.GetData(), &doc->m_swap);
    EXPECT_EQ(doc->m_swap.GetRowCount(), doc->m_data.GetColCount());
    Load(u"BIG_TABLE");
    EXPECT_EQ(view->m_grid.GetData(), &doc->m_swap);
    EXPECT_EQ(doc->m_swapLaidOut, 1);
    frame->SendMessage(WM_COMMAND, ID_DATA_SWAP_ROW_COL);
    EXPECT_EQ(doc->m_swapFlag, 0);
    EXPECT_EQ(view->m_grid.GetGridStyle() & 0x100000u, 0u);
    EXPECT_EQ(view->m_grid.GetData(), &doc->m_data);
}

TEST_F(DocViewTest, UnsavedEditsAreAskedAbout) {
    Load(u"社員");
    // Without edits nothing is asked.
    frame->SendMessage(WM_COMMAND, ID_FILE_CLEAR_DATA);
    EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();
    Load(u"社員");
    ASSERT_EQ(doc->m_data.SetTextWithUndo(0, 1, u"変更", -1), 0);
    ASSERT_TRUE(doc->HasUnsavedEdits());
    for (UINT cmd : {UINT(ID_FILE_SELECT_TABLE), UINT(ID_FILE_REFRESH), UINT(ID_FILE_CLEAR_DATA)}) {
        tvtest::ClearBoxes();
        tvtest::AnswerBox(IDNO);
        frame->SendMessage(WM_COMMAND, cmd);
        tvtest::Pump();
        ASSERT_EQ(tvtest::Boxes().size(), 1u) << cmd;
        EXPECT_EQ(tvtest::Boxes()[0].caption, u"MESSAGE");
        EXPECT_EQ(Narrow(tvtest::Boxes()[0].text.c_str()),
                  "編集中のデータは保存されません。よろしいですか？");
        EXPECT_TRUE(doc->HasUnsavedEdits());
        EXPECT_EQ(Narrow(doc->m_data.GetText(0, 1)), "変更");
    }
    tvtest::ClearBoxes();
    tvtest::AnswerBox(IDNO);
    EXPECT_FALSE(doc->SaveModified());
    ASSERT_EQ(tvtest::Boxes().size(), 1u);
    EXPECT_EQ(Narrow(tvtest::Boxes()[0].text.c_str()),
              "アプリケーションを終了します。\n編集中のデータは保存されません。よろしいですか？");
    tvtest::AnswerBox(IDYES);
    frame->SendMessage(WM_COMMAND, ID_FILE_CLEAR_DATA);
    EXPECT_FALSE(doc->IsTableLoaded());
}

TEST_F(DocViewTest, AFilteredCursorOutsideTheRowsGivesNoCell) {
    Load(u"社員");
    int count = 0;
    CString err;
    ASSERT_EQ(doc->m_data.SetFilter(3, u"営業部", 0, 0, 0, &count, &err, 1), 0) << Narrow(err);
    view->RebindData();
    ASSERT_TRUE(doc->m_data.m_filtered);
    int col = -1, row = -1;
    EXPECT_TRUE(view->GetCursorCell(&col, &row));
    EXPECT_EQ(row, doc->m_data.m_filter->SourceRow(0));
    doc->m_data.m_filter->m_curRow = doc->m_data.m_filter->GetRowCount() + 3;
    EXPECT_FALSE(view->GetCursorCell(&col, &row));
}

TEST_F(DocViewTest, ARefreshWhileFilteredStartsUnfilteredAndUnmodified) {
    for (int swapped = 0; swapped < 2; ++swapped) {
        SCOPED_TRACE(swapped ? "swapped" : "plain");
        Load(u"社員");
        if (swapped) frame->SendMessage(WM_COMMAND, ID_DATA_SWAP_ROW_COL);
        int count = 0;
        CString err;
        ASSERT_EQ(doc->m_data.SetFilter(3, u"営業部", 0, 0, 0, &count, &err, 1), 0) << Narrow(err);
        view->RebindData();
        ASSERT_LT(count, 20);
        ASSERT_EQ(view->m_grid.GetData(),
                  swapped ? static_cast<CGridData*>(&doc->m_swap) : doc->m_data.m_filter);
        // The same query again (a filter is no edit to lose: nothing is
        // asked): all its rows, nothing fresh counts as an edit, nothing to
        // undo.
        Refresh();
        EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();
        EXPECT_FALSE(doc->m_data.m_filtered);
        EXPECT_FALSE(doc->HasUnsavedEdits());
        EXPECT_EQ(doc->m_data.GetRowCount(), 20);
        EXPECT_EQ(view->m_grid.GetData(), swapped ? static_cast<CGridData*>(&doc->m_swap) : &doc->m_data);
        EXPECT_EQ(doc->m_swap.m_source, &doc->m_data);
        if (swapped) {
            EXPECT_EQ(doc->m_swap.GetColCount(), 20);
        }
        frame->SendMessage(WM_COMMAND, ID_EDIT_UNDO);
        tvtest::RunUntilIdle();
        EXPECT_FALSE(doc->m_data.m_filtered);
        EXPECT_EQ(doc->m_data.GetRowCount(), 20);
        EXPECT_EQ(view->m_grid.GetData(), swapped ? static_cast<CGridData*>(&doc->m_swap) : &doc->m_data);
        // Selecting another table asks nothing either.
        Load(u"BIG_TABLE");
        EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();
        if (swapped) frame->SendMessage(WM_COMMAND, ID_DATA_SWAP_ROW_COL);
    }
}

TEST_F(DocViewTest, RefreshKeepsWidthsAndAnotherListRefits) {
    AppSettings.ADJUST_COL_WIDTH = 1;
    Load(u"社員");
    doc->m_data.SetColWidth(1, 333);
    Refresh();
    EXPECT_EQ(doc->m_data.GetColWidth(1), 333);
    Load(u"社員", {u"氏名", u"部署"});
    EXPECT_NE(doc->m_data.GetColWidth(0), 333);
    AppSettings.ADJUST_COL_WIDTH = 0;
    doc->m_data.SetColWidth(1, 333);
    Load(u"BIG_TABLE");
    EXPECT_EQ(doc->m_data.GetColWidth(1), 100); // reset
}

} // namespace
