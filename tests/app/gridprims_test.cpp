// The grid primitives on the DEMO tables in the running program: counts,
// names, bounds, the cursor and the selection, cell edits marked and undone
// as typing is, one undo step per macro, replacements, the swapped view, the
// cell editor, the corner colour.
#include "macro_fixture.h"

namespace {

using namespace apptest;

class GridPrimsTest : public MacroTest {
public:
    // The grid's undo and redo steps (the view's "元に戻す(&U)" and
    // "やり直し(&R)" run them).
    void Undo() {
        view->m_grid.Undo();
        tvtest::Pump();
    }
    void Redo() {
        view->m_grid.Redo();
        tvtest::Pump();
    }
    void Refresh() {
        tvtest::ExpectDialog(u"テーブル選択(検索条件設定)", [this](HWND) {
            ExpectQuery();
            tvtest::Advance(10);
            return true;
        });
        frame->SendMessage(WM_COMMAND, ID_FILE_REFRESH);
        tvtest::Pump();
    }
};

TEST_F(GridPrimsTest, CountsNamesBoundsCursorAndSelection) {
    StartLoggedOn();
    // Without a table the model is empty: every cell fails the check.
    EXPECT_EQ(Eval("(grid-get-table-name)"), "\"\"");
    EXPECT_EQ(Eval("(grid-get-cell-string 0 0)"), "#f");
    Load(u"社員");
    EXPECT_EQ(Eval("(grid-get-row-cnt)"), "20");
    EXPECT_EQ(Eval("(grid-get-col-cnt)"), std::to_string(doc->m_data.GetColCount()));
    EXPECT_EQ(Eval("(grid-get-table-name)"), "\"社員\"");
    EXPECT_EQ(Eval("(grid-get-column-name 1)"), "\"氏名\"");
    EXPECT_EQ(Eval("(grid-get-column-name -1)"), "#f");
    EXPECT_EQ(Eval("(grid-get-column-name (grid-get-col-cnt))"), "#f");
    EXPECT_EQ(Eval("(grid-get-cell-string 0 1)"), "\"" + Cell(0, 1) + "\"");
    EXPECT_EQ(Eval("(grid-get-cell-string -1 0)"), "#f");
    EXPECT_EQ(Eval("(grid-get-cell-string 20 0)"), "#f");
    EXPECT_EQ(Eval("(grid-get-cell-string 0 (grid-get-col-cnt))"), "#f");
    // 2^32 is row 0 once narrowed: compared as it is, it is out of range.
    EXPECT_EQ(Eval("(grid-get-cell-string (* 65536 65536) 0)"), "#f");
    EXPECT_EQ(Eval("(grid-set-row-col (* 65536 65536) 0)"), "#f");
    EXPECT_EQ(Eval("(grid-set-row-col 3 2)"), "#t");
    EXPECT_EQ(doc->m_data.m_curRow, 3);
    EXPECT_EQ(doc->m_data.m_curCol, 2);
    EXPECT_EQ(Eval("(cons (grid-get-cur-row) (grid-get-cur-col))"), "(3 . 2)");
    // The corners as the model keeps them (it orders them as it selects).
    EXPECT_EQ(Eval("(grid-get-selected-area)"), "#f");
    EXPECT_EQ(Eval("(grid-set-select-area 5 3 1 0)"), "#t");
    EXPECT_EQ(Eval("(grid-get-selected-area)"), "(1 0 5 3)");
    EXPECT_EQ(doc->m_data.m_sel1.y, 1);
    EXPECT_EQ(doc->m_data.m_sel2.x, 3);
    EXPECT_EQ(Eval("(cons (grid-get-cur-row) (grid-get-cur-col))"), "(5 . 3)");
    EXPECT_EQ(Eval("(grid-set-select-area 0 0 20 0)"), "#f");
    EXPECT_EQ(Eval("(grid-select-all)"), "#t");
    EXPECT_EQ(Eval("(grid-get-selected-area)"),
              "(0 0 19 " + std::to_string(doc->m_data.GetColCount() - 1) + ")");
}

TEST_F(GridPrimsTest, CellEditsAreMarkedAndAWholeMacroUndoesInOneStep) {
    StartLoggedOn();
    Load(u"社員");
    std::vector<std::string> before;
    for (int r = 0; r < 10; ++r) before.push_back(Cell(r, 1));
    EXPECT_EQ(Eval("(grid-set-cell-string 0 1 \"変更\")"), "#t");
    EXPECT_EQ(Cell(0, 1), "変更");
    EXPECT_EQ(Counts(), " Insert:0, Update:1, Delete:0 ");
    Undo();
    EXPECT_EQ(Cell(0, 1), before[0]);
    // Ten edits of one macro: one undo, one redo.
    Run("(define (f i) (if (< i 10) (begin (grid-set-cell-string i 1 (string-append \"名\" (number->string "
        "i))) "
        "(f (+ i 1))))) (f 0)");
    for (int r = 0; r < 10; ++r) EXPECT_EQ(Cell(r, 1), "名" + std::to_string(r));
    Undo();
    for (int r = 0; r < 10; ++r) EXPECT_EQ(Cell(r, 1), before[r]) << r;
    Redo();
    for (int r = 0; r < 10; ++r) EXPECT_EQ(Cell(r, 1), "名" + std::to_string(r)) << r;
    // A macro that changes nothing leaves no undo step: the next undo takes
    // back the ten edits.
    Run("(grid-get-cell-string 0 1)");
    Undo();
    for (int r = 0; r < 10; ++r) EXPECT_EQ(Cell(r, 1), before[r]) << r;
}

TEST_F(GridPrimsTest, AReadOnlyColumnKeepsItsTextAndStillAnswersTrue) {
    StartLoggedOn();
    Load(u"社員");
    // An expression column: read-only.
    doc->m_columns = {u"社員番号", u"氏名", u"給与 * 12 /*READONLY*/"};
    Refresh();
    ASSERT_EQ(doc->m_data.GetColCount(), 3) << BoxTexts();
    int col = 2;
    ASSERT_FALSE(doc->m_data.IsCellEditable(0, col));
    std::string old = Cell(0, col);
    EXPECT_EQ(Eval("(grid-set-cell-string 0 " + std::to_string(col) + " \"1\")"), "#t");
    EXPECT_EQ(Cell(0, col), old);
    EXPECT_EQ(Counts(), " Insert:0, Update:0, Delete:0 ");
}

TEST_F(GridPrimsTest, ReplacementsSwappedCellsAndTheCellEditor) {
    StartLoggedOn();
    Load(u"社員");
    int rows = doc->m_data.GetRowCount();
    int depts = 0;
    for (int r = 0; r < rows; ++r) depts += Cell(r, 3).find("部") != std::string::npos;
    ASSERT_GT(depts, 0);
    EXPECT_EQ(Eval("(grid-replace-string \"部$\" \"課\")"), std::to_string(depts));
    for (int r = 0; r < rows; ++r) EXPECT_EQ(Cell(r, 3).find("部"), std::string::npos) << Cell(r, 3);
    // Only the selection; the -ci variant ignores case.
    Run("(grid-set-cell-string 0 6 \"abc\") (grid-set-cell-string 1 6 \"ABC\")");
    EXPECT_EQ(Eval("(grid-set-select-area 0 6 0 6)"), "#t");
    EXPECT_EQ(Eval("(begin (grid-set-select-area 0 6 1 6) (grid-replace-selected-string \"abc\" \"x\"))"),
              "1");
    EXPECT_EQ(Cell(0, 6), "x");
    EXPECT_EQ(Cell(1, 6), "ABC");
    EXPECT_EQ(Eval("(begin (grid-set-select-area 0 6 1 6) (grid-replace-selected-string-ci \"abc\" \"y\"))"),
              "1");
    EXPECT_EQ(Cell(1, 6), "y");
    EXPECT_EQ(Eval("(grid-replace-string-ci \"Y\" \"z\")"), "1");
    EXPECT_EQ(Cell(1, 6), "z");

    // With the cell editor open the -selected- variants replace in its
    // selection and answer 0.
    Run("(grid-set-row-col 2 1)");
    ASSERT_TRUE(view->m_grid.StartEdit(0, 1));
    ASSERT_TRUE(view->m_grid.IsCellEditorVisible());
    Run("(grid-select-all)");
    std::string name = Cell(2, 1);
    EXPECT_EQ(Eval("(grid-replace-selected-string \".\" \"*\")"), "0");
    view->m_grid.EndEdit();
    tvtest::Pump();
    std::string stars;
    for (size_t i = 0; i < Wide(name).size(); ++i) stars += "*";
    EXPECT_EQ(Cell(2, 1), stars);

    // Swapped: the cells are as shown, rows and columns exchanged.
    frame->SendMessage(WM_COMMAND, ID_DATA_SWAP_ROW_COL);
    tvtest::Pump();
    ASSERT_EQ(view->m_grid.GetData(), &doc->m_swap);
    EXPECT_EQ(Eval("(grid-get-cell-string 1 4)"), "\"" + Narrow(doc->m_data.GetText(4, 1)) + "\"");
    EXPECT_EQ(Eval("(grid-set-cell-string 1 4 \"入替\")"), "#t");
    EXPECT_EQ(Narrow(doc->m_data.GetText(4, 1)), "入替");
    // The counts and names are the document's model.
    EXPECT_EQ(Eval("(grid-get-row-cnt)"), std::to_string(rows));
}

TEST_F(GridPrimsTest, TheCornerCellTakesTheScriptsColour) {
    StartLoggedOn();
    Load(u"社員");
    EXPECT_EQ(Eval("(app-set-topleft-cell-color (rgb 255 0 0))"), "#t");
    tvtest::Pump();
    HWND grid = view->m_grid.GetSafeHwnd();
    // The corner shows its colour while the grid has the focus.
    ::SetFocus(grid);
    tvtest::Pump();
    ::UpdateWindow(grid);
    EXPECT_EQ(::GetFocus(), grid);
    int x = view->m_grid.m_rowHeaderWidth / 2, y = view->m_grid.m_colHeaderHeight - 3;
    qtplatform::Image img = tvtest::Capture(grid);
    uint32_t corner = img.At(x, y) & 0xFFFFFF;
    EXPECT_EQ(corner, 0xFF0000u) << std::hex << corner;
    EXPECT_EQ(Eval("(app-set-topleft-cell-color)"), "#t");
    tvtest::Pump();
    ::UpdateWindow(grid);
    img = tvtest::Capture(grid);
    EXPECT_NE(img.At(x, y) & 0xFFFFFF, 0xFF0000u);
}

TEST_F(GridPrimsTest, ACancelledLoopKeepsItsEditsInOneUndoStep) {
    StartLoggedOn();
    Load(u"社員");
    std::string a = Cell(0, 1), b = Cell(1, 1);
    // The box is answered with the cancel key held: the loop after it stops.
    tvtest::AnswerBoxWith([](const tvtest::Box&) -> std::optional<int> {
        tvtest::SetKeyState(VK_CANCEL, true);
        return IDOK;
    });
    RunClipboard("(grid-set-cell-string 0 1 \"一\") (grid-set-cell-string 1 1 \"二\") (app-msg-box 1) "
                 "(let loop () (loop))");
    tvtest::SetKeyState(VK_CANCEL, false);
    EXPECT_EQ(Pane(), "キャンセルしました");
    EXPECT_EQ(tvtest::Boxes().size(), 1u) << BoxTexts();
    EXPECT_EQ(Cell(0, 1), "一");
    EXPECT_EQ(Cell(1, 1), "二");
    Undo();
    EXPECT_EQ(Cell(0, 1), a);
    EXPECT_EQ(Cell(1, 1), b);
    // The next macro runs normally.
    EXPECT_EQ(Eval("(grid-get-cur-row)"), "0");
}

} // namespace
