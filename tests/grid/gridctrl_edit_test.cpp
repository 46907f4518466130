// In-place editing with the cell editor, the edit commands and the clipboard.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "editor/editctrl.h"
#include "grid/gridswap.h"
#include "gridwnd_fixture.h"
#include "testing/driver.h"
#include "testmodel.h"
#include "win32/ime.h"

namespace {

// Refuses the text "bad" with a message.
class RefusingModel : public VectorGridData {
public:
    using VectorGridData::VectorGridData;
    std::u16string error;
    int SetText(int row, int col, const char16_t* text, int length) override {
        if (text && std::u16string(text) == u"bad") {
            error = u"値が不正です";
            return 1;
        }
        error.clear();
        return VectorGridData::SetText(row, col, text, length);
    }
    const char16_t* GetErrorMessage() override { return error.c_str(); }
};

std::u16string ClipText() {
    std::u16string out;
    if (!OpenClipboard(nullptr)) return u"<closed>";
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const char16_t*>(GlobalLock(h))) {
            out = p;
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return out;
}

void PutClipText(const std::u16string& text) {
    // The text and its terminator, byte by byte.
    const auto* units = reinterpret_cast<const uint8_t*>(text.c_str());
    std::vector<uint8_t> bytes(units, units + (text.size() + 1) * 2);
    tvtest::SetClipboard({{CF_UNICODETEXT, bytes}});
}

class GridEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        tvtest::Init();
        tvtest::ClearBoxes();
        ASSERT_TRUE(parent_.MakeTop(900, 500));
        model_ = std::make_unique<RefusingModel>(30, 6);
        model_->cells[2][1] = u"abc";
        model_->cells[4][2] = u"abcdef";
        model_->Bind();
        ASSERT_TRUE(grid_.CreateGrid(WS_CHILD | WS_VISIBLE, CRect(0, 0, 800, 400), &parent_, 5));
        SetUpGrid(grid_);
        grid_.SetData(model_.get());
        grid_.SetFocus();
        tvtest::Pump();
    }
    void TearDown() override {
        grid_.DestroyWindow();
        parent_.DestroyWindow();
        tvtest::Pump();
    }
    std::u16string Text(int row, int col) { return model_->GetText(row, col); }
    std::u16string EditorText() { return std::u16string(grid_.m_editData->GetAllText().GetString()); }
    void Go(int col, int row) {
        grid_.MoveCursor(POINT{col, row}, 0, 0);
        tvtest::Pump();
    }
    HWND Editor() { return grid_.m_editWnd->m_hWnd; }

    NoteParent parent_;
    std::unique_ptr<RefusingModel> model_;
    CGridCtrl grid_;
};

} // namespace

TEST_F(GridEditTest, TypingReplacesTheTextAndEnterWritesAndMovesDown) {
    ASSERT_NE(grid_.m_editWnd, nullptr);
    EXPECT_EQ(GetWindowLongPtrW(Editor(), GWLP_ID), 2001);
    Go(1, 2);
    tvtest::Type(grid_.m_hWnd, u"x");
    tvtest::Pump();
    ASSERT_TRUE(grid_.IsCellEditorVisible());
    EXPECT_EQ(::GetFocus(), Editor());
    EXPECT_EQ(EditorText(), u"x");
    tvtest::Type(Editor(), u"y");
    tvtest::Key(Editor(), qtplatform::Key_Return);
    tvtest::Pump();
    EXPECT_FALSE(grid_.IsCellEditorVisible());
    EXPECT_EQ(Text(2, 1), u"xy");
    EXPECT_EQ(model_->m_curRow, 3);
    EXPECT_EQ(::GetFocus(), grid_.m_hWnd);
    EXPECT_GE(parent_.Count(GDN_DATACHANGED), 1);
}

TEST_F(GridEditTest, BackspaceOpensTheEditorEmptied) {
    Go(1, 2);
    tvtest::Key(grid_.m_hWnd, qtplatform::Key_Backspace);
    tvtest::Pump();
    ASSERT_TRUE(grid_.IsCellEditorVisible());
    EXPECT_EQ(EditorText(), u"");
    EXPECT_EQ(Text(2, 1), u"abc"); // nothing written yet
}

TEST_F(GridEditTest, EscWritesTheTypedText) {
    Go(1, 2);
    tvtest::Type(grid_.m_hWnd, u"q");
    tvtest::Pump();
    tvtest::Key(Editor(), qtplatform::Key_Escape);
    tvtest::Pump();
    EXPECT_FALSE(grid_.IsCellEditorVisible());
    EXPECT_EQ(Text(2, 1), u"q");
    EXPECT_EQ(model_->m_curRow, 2);
}

TEST_F(GridEditTest, ARefusedTextShowsTheBoxAndTheCursorStays) {
    Go(1, 2);
    tvtest::AnswerBox(IDOK);
    tvtest::Type(grid_.m_hWnd, u"bad");
    tvtest::Pump();
    tvtest::Key(Editor(), qtplatform::Key_Return);
    tvtest::Pump();
    EXPECT_FALSE(grid_.IsCellEditorVisible());
    EXPECT_EQ(Text(2, 1), u"abc");
    EXPECT_EQ(model_->m_curRow, 2);
    ASSERT_EQ(tvtest::Boxes().size(), 1u);
    EXPECT_EQ(tvtest::Boxes()[0].caption, u"Error");
    EXPECT_EQ(tvtest::Boxes()[0].text, u"値が不正です");
    EXPECT_EQ(EditorText(), u""); // the text went with the edit
}

TEST_F(GridEditTest, LimitsAndLineEndsOfTheLoadedText) {
    model_->maxLen[3] = INT_MAX;
    Go(3, 1);
    ASSERT_TRUE(grid_.StartEdit(0, 1));
    EXPECT_EQ(grid_.m_editData->m_limit, -1);
    grid_.EndEdit();
    // An LF value at its limit loads whole and stays LF.
    model_->maxLen[4] = 5;
    grid_.SetCellText(1, 4, u"a\nb\nc", -1);
    Go(4, 1);
    ASSERT_TRUE(grid_.StartEdit(0, 1));
    EXPECT_EQ(EditorText(), u"a\nb\nc");
    EXPECT_EQ(grid_.m_editData->m_limit, 5);
    grid_.m_editData->SetCaret(2, 1);
    grid_.m_editData->InsertText(u"Z"); // the limit holds for typing
    EXPECT_EQ(EditorText(), u"a\nb\nc");
    grid_.m_editData->DeleteRange(EditPos{0, 2}, EditPos{1, 2}, 1);
    grid_.m_editData->SetCaret(2, 0);
    grid_.m_editData->InsertText(u"Z");
    EXPECT_EQ(grid_.EndEdit(), 1);
    EXPECT_EQ(Text(1, 4), u"a\nb\nZ");
    // Unchanged text is not written: the cell stays unmodified.
    Go(5, 6);
    ASSERT_TRUE(grid_.StartEdit(0, 1));
    EXPECT_EQ(grid_.EndEdit(), 1);
    EXPECT_FALSE(model_->IsCellModified(6, 5));
}

TEST_F(GridEditTest, AFirstEditShowsTheUpdatedMarkWithoutAFullRepaint) {
    Go(1, 8);
    ASSERT_TRUE(grid_.StartEdit(0, 0)); // the grid keeps the focus (no corner repaint)
    grid_.m_editData->InsertText(u"!");
    tvtest::Pump();
    ValidateRect(grid_.m_hWnd, nullptr);
    EXPECT_EQ(grid_.EndEdit(), 1);
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    GetUpdateRgn(grid_.m_hWnd, rgn, FALSE);
    int mid = (grid_.GetCellRect(1, 8).top + grid_.GetCellRect(1, 8).bottom) / 2;
    EXPECT_TRUE(PtInRegion(rgn, 2, mid));
    EXPECT_TRUE(PtInRegion(rgn, grid_.m_rowHeaderWidth - 3, mid));
    RECT box{};
    GetRgnBox(rgn, &box);
    DeleteObject(rgn);
    EXPECT_LE(box.bottom - box.top, grid_.m_rowHeight + 4);
    EXPECT_TRUE(model_->IsUpdatedRow(8));
}

TEST_F(GridEditTest, ADoubleClickPutsTheCaretWhereClicked) {
    Go(2, 4);
    ASSERT_TRUE(grid_.StartEdit(0, 1));
    CPoint between = grid_.m_editWnd->PosToPoint(EditPos{3, 0});
    grid_.m_editWnd->MapWindowPoints(&grid_, &between, 1);
    grid_.EndEdit();
    Go(0, 0);
    tvtest::Advance(1000);
    tvtest::Click(grid_.m_hWnd, between.x, between.y + 2);
    tvtest::Click(grid_.m_hWnd, between.x, between.y + 2);
    tvtest::Pump();
    ASSERT_TRUE(grid_.IsCellEditorVisible());
    EXPECT_EQ(model_->m_curRow, 4);
    EXPECT_EQ(grid_.m_editData->GetCaret().col, 3);
    EXPECT_EQ(grid_.m_editData->GetCaret().line, 0);
}

TEST_F(GridEditTest, InputMethodCommitsAndDrops) {
    Go(1, 2);
    tvtest::ImePreedit(grid_.m_hWnd, u"にほんご");
    tvtest::ImeCommit(grid_.m_hWnd, u"日本語");
    tvtest::Key(::GetFocus(), qtplatform::Key_Return);
    tvtest::Pump();
    EXPECT_EQ(Text(2, 1), u"日本語");
    EXPECT_EQ(model_->m_curRow, 3);
    // A click while composing drops the composition: only the typed text is written.
    ASSERT_TRUE(grid_.StartEdit(0, 1));
    tvtest::Type(Editor(), u"k");
    tvtest::ImePreedit(Editor(), u"か");
    CRect other = grid_.GetCellRect(4, 10);
    tvtest::Click(grid_.m_hWnd, other.left + 5, other.top + 4);
    tvtest::Pump();
    EXPECT_EQ(Text(3, 1), u"3-1k");
    EXPECT_EQ(model_->m_curRow, 10);
    const win32bk::ImeState* s = win32bk::GetImeState(Editor());
    ASSERT_NE(s, nullptr);
    EXPECT_FALSE(s->composing);
    tvtest::ImeCommit(Editor(), u"か"); // the editor is closed: nothing reaches a cell
    tvtest::Pump();
    EXPECT_EQ(Text(3, 1), u"3-1k");
    EXPECT_FALSE(model_->IsCellModified(10, 4));
}

// Dropping the editor's composition closes and reopens its input context:
// afterwards the context is open or not as the input method had it, and an
// explicit close or open is what the context then reports.
TEST_F(GridEditTest, DroppingACompositionLeavesTheOpenStateAsItWas) {
    Go(1, 2);
    ASSERT_TRUE(grid_.StartEdit(0, 1));
    HWND e = Editor();
    HIMC imc = ImmGetContext(e);
    EXPECT_FALSE(ImmGetOpenStatus(imc));
    tvtest::ImePreedit(e, u"か");
    EXPECT_TRUE(ImmGetOpenStatus(imc)); // a composition is made with the input method on
    CRect other = grid_.GetCellRect(2, 5);
    tvtest::Click(grid_.m_hWnd, other.left + 5, other.top + 4);
    tvtest::Pump();
    ASSERT_FALSE(grid_.IsCellEditorVisible());
    EXPECT_FALSE(ImmGetOpenStatus(imc)) << "nobody turned it on";
    // Reported on by the input method, it stays on through the drop.
    ASSERT_TRUE(grid_.StartEdit(0, 1));
    tvtest::ImeSetOpen(e, true);
    tvtest::ImePreedit(e, u"き");
    ASSERT_TRUE(grid_.EndEdit());
    EXPECT_TRUE(ImmGetOpenStatus(imc));
    EXPECT_EQ(Text(5, 2), u"5-2");
    ImmSetOpenStatus(imc, FALSE);
    EXPECT_FALSE(ImmGetOpenStatus(imc));
    ImmSetOpenStatus(imc, TRUE);
    EXPECT_TRUE(ImmGetOpenStatus(imc));
    tvtest::ImeSetOpen(e, false);
}

TEST_F(GridEditTest, TheCompositionPointFollowsTheCursorCell) {
    Go(2, 3);
    CRect r = grid_.GetCellRect(2, 3);
    POINT p = tvtest::ImeCompositionPoint(grid_.m_hWnd);
    EXPECT_EQ(p.x, r.left + grid_.m_padLeft + 1);
    EXPECT_EQ(p.y, r.top + grid_.m_padTop + 1);
    LOGFONTW lf{};
    EXPECT_TRUE(tvtest::ImeCompositionFont(grid_.m_hWnd, &lf));
}

TEST_F(GridEditTest, ShiftTabReleasedAtOnceStillMovesLeft) {
    Go(3, 5);
    ASSERT_TRUE(grid_.StartEdit(0, 1));
    HWND e = Editor();
    tvtest::KeyDown(e, qtplatform::Key_Shift, 1);
    tvtest::KeyDown(e, qtplatform::Key_Tab, 1);
    tvtest::KeyUp(e, qtplatform::Key_Tab, 1);
    tvtest::KeyUp(e, qtplatform::Key_Shift, 0);
    tvtest::Pump();
    EXPECT_FALSE(grid_.IsCellEditorVisible());
    EXPECT_EQ(model_->m_curCol, 2);
    EXPECT_EQ(model_->m_curRow, 5);
}

TEST_F(GridEditTest, PasteCutAndDeleteOverASelectionAreOneUndoStepEach) {
    grid_.SetSelectArea(POINT{1, 1}, POINT{1, 1}, POINT{2, 2});
    PutClipText(u"A\tB\r\nC\tD\r\n");
    grid_.Paste();
    EXPECT_EQ(Text(1, 1), u"A");
    EXPECT_EQ(Text(2, 2), u"D");
    grid_.Undo();
    EXPECT_EQ(Text(1, 1), u"1-1");
    EXPECT_EQ(Text(2, 2), u"2-2");

    grid_.SetSelectArea(POINT{1, 1}, POINT{1, 1}, POINT{2, 2});
    grid_.Cut();
    EXPECT_EQ(ClipText(), u"1-1\t1-2\r\nabc\t2-2\r\n");
    EXPECT_EQ(Text(1, 2), u"");
    EXPECT_EQ(Text(2, 1), u"");
    grid_.Undo();
    EXPECT_EQ(Text(1, 2), u"1-2");
    EXPECT_EQ(Text(2, 1), u"abc");

    grid_.SetSelectArea(POINT{1, 1}, POINT{1, 1}, POINT{2, 2});
    tvtest::Key(grid_.m_hWnd, qtplatform::Key_Delete);
    tvtest::Pump();
    EXPECT_EQ(Text(1, 1), u"");
    EXPECT_EQ(Text(2, 2), u"");
    grid_.Undo();
    EXPECT_EQ(Text(1, 1), u"1-1");
    EXPECT_EQ(Text(2, 2), u"2-2");
}

TEST_F(GridEditTest, DeleteAndCutClearADraggedAreaWhicheverWayItWasDragged) {
    // The source's rows 1..2 by columns 1..3, dragged from either top corner;
    // swapped, the same cells are the wrapper's rows 1..3 by columns 1..2.
    const POINT topLeft{1, 1}, bottomRight{3, 2};
    const POINT topRight{3, 1}, bottomLeft{1, 2};
    for (int swapped = 0; swapped < 2; ++swapped)
        for (int rightToLeft = 0; rightToLeft < 2; ++rightToLeft) {
            SCOPED_TRACE(testing::Message() << "swapped " << swapped << ", right to left " << rightToLeft);
            VectorGridData src(6, 5);
            src.Bind();
            CGridData_SwapRowCol wrapper(&src);
            wrapper.ResetLayout();
            CGridData* shown = swapped ? static_cast<CGridData*>(&wrapper) : &src;
            uint32_t style = grid_.GetGridStyle() & ~static_cast<uint32_t>(GRS_SWAPPED);
            grid_.SetGridStyle(swapped ? style | GRS_SWAPPED : style, 0);
            grid_.SetData(shown);
            tvtest::Pump();
            auto inArea = [&](int r, int c) {
                return r >= topLeft.y && r <= bottomRight.y && c >= topLeft.x && c <= bottomRight.x;
            };
            auto drag = [&] {
                POINT from = rightToLeft ? topRight : topLeft, to = rightToLeft ? bottomLeft : bottomRight;
                if (swapped) { // the same source cells, shown exchanged
                    from = rightToLeft ? POINT{2, 1} : POINT{1, 1};
                    to = rightToLeft ? POINT{1, 3} : POINT{2, 3};
                }
                CPoint a = grid_.GetCellRect(from.x, from.y).CenterPoint();
                CPoint b = grid_.GetCellRect(to.x, to.y).CenterPoint();
                tvtest::Advance(1000); // a second press is no double click
                tvtest::MouseDown(grid_.m_hWnd, a.x, a.y);
                tvtest::MouseMove(grid_.m_hWnd, b.x, b.y);
                tvtest::MouseUp(grid_.m_hWnd, b.x, b.y);
                tvtest::Pump();
                ASSERT_TRUE(shown->HasSelection());
            };
            auto expectCleared = [&](bool cleared) {
                for (int r = 0; r < 6; ++r)
                    for (int c = 0; c < 5; ++c) {
                        std::u16string want = cleared && inArea(r, c)
                                                  ? u""
                                                  : VectorGridData::Num(r) + u"-" + VectorGridData::Num(c);
                        EXPECT_EQ(std::u16string(src.GetText(r, c)), want) << r << "," << c;
                    }
            };
            drag();
            tvtest::Key(grid_.m_hWnd, qtplatform::Key_Delete);
            tvtest::Pump();
            expectCleared(true);
            grid_.Undo();
            expectCleared(false);

            drag();
            grid_.Cut();
            tvtest::Pump();
            expectCleared(true);
            EXPECT_EQ(ClipText(), swapped ? u"1-1\t2-1\r\n1-2\t2-2\r\n1-3\t2-3\r\n"
                                          : u"1-1\t1-2\t1-3\r\n2-1\t2-2\t2-3\r\n");
            grid_.Undo();
            expectCleared(false);
            grid_.SetData(model_.get());
            grid_.SetGridStyle(style, 0);
        }
}

TEST_F(GridEditTest, APasteThatDoesNotFitIsRefusedWithABox) {
    // 30 rows: from row 25 only five lines find a row.
    Go(1, 25);
    std::u16string many;
    for (int i = 0; i < 100000; ++i) many += u"v\t" + VectorGridData::Num(i) + u"\r\n";
    PutClipText(many);
    tvtest::ClearBoxes();
    tvtest::AnswerBox(IDOK);
    EXPECT_NE(grid_.Paste(), 0);
    tvtest::Pump();
    ASSERT_EQ(tvtest::Boxes().size(), 1u);
    EXPECT_EQ(tvtest::Boxes()[0].caption, u"Error");
    EXPECT_EQ(tvtest::Boxes()[0].text,
              u"貼り付けるデータの行数が貼り付け先の行数を超えるため、貼り付けできません");
    for (int r = 25; r < 30; ++r) EXPECT_EQ(Text(r, 1), VectorGridData::Num(r) + u"-1");
    EXPECT_EQ(model_->GetRowCount(), 30);
    EXPECT_FALSE(model_->CanUndo());
    // What fits is pasted without a word.
    tvtest::ClearBoxes();
    PutClipText(u"a\r\nb\r\nc\r\nd\r\ne\r\n");
    EXPECT_EQ(grid_.Paste(), 0);
    tvtest::Pump();
    EXPECT_TRUE(tvtest::Boxes().empty());
    EXPECT_EQ(Text(25, 1), u"a");
    EXPECT_EQ(Text(29, 1), u"e");
}

TEST_F(GridEditTest, CommandsActOnTheOpenEditor) {
    Go(1, 2);
    ASSERT_TRUE(grid_.StartEdit(0, 1));
    EXPECT_FALSE(grid_.CanCopy());
    grid_.SelectAll();
    EXPECT_TRUE(grid_.HasSelection());
    EXPECT_TRUE(grid_.CanCopy());
    grid_.CopyToClipboard(2);
    EXPECT_EQ(ClipText(), u"abc");
    PutClipText(u"pasted");
    EXPECT_TRUE(grid_.CanPaste());
    grid_.Paste();
    EXPECT_EQ(EditorText(), u"pasted");
    grid_.Undo();
    EXPECT_EQ(EditorText(), u"abc");
    grid_.Redo();
    EXPECT_EQ(EditorText(), u"pasted");
    EXPECT_TRUE(grid_.IsCellEditorVisible());
    EXPECT_EQ(Text(2, 1), u"abc");
    EXPECT_EQ(grid_.EndEdit(), 1);
    EXPECT_EQ(Text(2, 1), u"pasted");
}

TEST_F(GridEditTest, SetDataDuringAnEditKeepsTheTextInItsOwnModel) {
    Go(1, 2);
    tvtest::Type(grid_.m_hWnd, u"mine");
    tvtest::Pump();
    VectorGridData other(4, 4);
    other.Bind();
    grid_.SetData(&other);
    tvtest::Pump();
    EXPECT_EQ(Text(2, 1), u"mine");
    EXPECT_EQ(std::u16string(other.GetText(0, 0)), u"0-0");
    EXPECT_FALSE(other.IsCellModified(0, 0));
    EXPECT_FALSE(grid_.IsCellEditorVisible());
    grid_.SetData(model_.get());
}

TEST_F(GridEditTest, ReplaceAllEndsAnOpenEditFirst) {
    Go(1, 2);
    tvtest::Type(grid_.m_hWnd, u"kept-1");
    tvtest::Pump();
    int count = 0;
    EXPECT_EQ(grid_.ReplaceAll(u"-1", u"+1", 1, 1, 0, 0, &count), 0);
    EXPECT_FALSE(grid_.IsCellEditorVisible());
    EXPECT_EQ(Text(2, 1), u"kept+1");
    EXPECT_EQ(Text(5, 1), u"5+1");
    EXPECT_EQ(EditorText(), u"");
    // The next edit loads its own cell, not the last replaced text.
    Go(0, 0);
    ASSERT_TRUE(grid_.StartEdit(0, 1));
    EXPECT_EQ(EditorText(), u"0-0");
    EXPECT_EQ(grid_.EndEdit(), 1);
    EXPECT_EQ(Text(0, 0), u"0-0");
}

TEST_F(GridEditTest, ReplaceInsideTheEditorSelection) {
    Go(2, 4);
    ASSERT_TRUE(grid_.StartEdit(0, 1));
    grid_.m_editWnd->SelectRange(EditPos{0, 0}, EditPos{3, 0}, 0);
    int count = 0, wrapped = 0;
    EXPECT_EQ(grid_.Replace(u"[a-f]", u"X", 1, 1, 1, 1, 1, 1, &count, &wrapped), 0);
    EXPECT_EQ(EditorText(), u"XXXdef");
    EXPECT_EQ(grid_.EndEdit(), 1);
    EXPECT_EQ(Text(4, 2), u"XXXdef");
}

TEST_F(GridEditTest, ClipboardCopyAndItsFailures) {
    grid_.SetSelectArea(POINT{1, 2}, POINT{1, 2}, POINT{2, 3});
    grid_.CopyToClipboard(2);
    EXPECT_EQ(ClipText(), u"abc\t2-2\r\n3-1\t3-2\r\n");
    grid_.CopyToClipboard(3);
    EXPECT_EQ(ClipText(), u"\"c1\",\"c2\"\r\n\"abc\",\"2-2\"\r\n\"3-1\",\"3-2\"\r\n");
    int blocks = tvtest::LiveGlobalBlocks();
    struct Case {
        win32bk::ClipFailure what;
        const char16_t* text;
    };
    const Case cases[] = {
        {win32bk::ClipFailure::GlobalAlloc, u"メモリ確保に失敗しました"},
        {win32bk::ClipFailure::GlobalLock, u"メモリ確保に失敗しました"},
        {win32bk::ClipFailure::EmptyClipboard, u"Cannot empty the Clipboard"},
        {win32bk::ClipFailure::SetClipboardData, u"Unable to set Clipboard data"},
    };
    for (const Case& c : cases) {
        tvtest::ClearBoxes();
        tvtest::AnswerBox(IDOK);
        tvtest::FailNext(c.what);
        grid_.CopyToClipboard(2);
        ASSERT_EQ(tvtest::Boxes().size(), 1u);
        EXPECT_EQ(tvtest::Boxes()[0].text, c.text);
        EXPECT_EQ(GetOpenClipboardWindow(), nullptr);
        EXPECT_EQ(tvtest::LiveGlobalBlocks(), blocks);
    }
    // Held open by another window.
    tvtest::ClearBoxes();
    tvtest::AnswerBox(IDOK);
    ASSERT_TRUE(OpenClipboard(parent_.m_hWnd));
    grid_.CopyToClipboard(2);
    CloseClipboard();
    ASSERT_EQ(tvtest::Boxes().size(), 1u);
    EXPECT_EQ(tvtest::Boxes()[0].text, u"Cannot open the Clipboard");
    EXPECT_EQ(tvtest::LiveGlobalBlocks(), blocks);
}
