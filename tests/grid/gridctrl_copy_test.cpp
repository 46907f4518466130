// Copy formats and searching.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "gridwnd_fixture.h"
#include "testing/driver.h"
#include "testmodel.h"

namespace {

class SizedModel : public VectorGridData {
public:
    using VectorGridData::VectorGridData;
    std::vector<int> sizes;
    int shortLengths = 0; // GetTextLength under-reports, as a CLOB estimate may
    int GetColDataSize(int col) override {
        return col >= 0 && col < static_cast<int>(sizes.size()) ? sizes[static_cast<size_t>(col)] : 10;
    }
    int GetTextLength(int row, int col, int countFlag, uint32_t ch) override {
        return shortLengths ? 1 : VectorGridData::GetTextLength(row, col, countFlag, ch);
    }
};

class GridCopySearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        tvtest::Init();
        ASSERT_TRUE(parent_.MakeTop(900, 500));
        model_ = std::make_unique<SizedModel>(3, 3);
        model_->cells = {{u"a\"b", u"x\ty", u""}, {u"日本", u"l1\nl2", u"plain"}, {u"abcdef", u"abc", u"z"}};
        model_->nulls[0][2] = 1;
        model_->sizes = {5, 4, 3};
        model_->Bind();
        ASSERT_TRUE(grid_.CreateGrid(WS_CHILD | WS_VISIBLE, CRect(0, 0, 800, 400), &parent_, 5));
        SetUpGrid(grid_);
        grid_.SetData(model_.get());
        tvtest::Pump();
    }
    void TearDown() override {
        grid_.DestroyWindow();
        parent_.DestroyWindow();
        tvtest::Pump();
    }
    std::u16string Copy(int type, int r1, int r2, int c1, int c2) {
        int64_t bytes = grid_.GetCopyTextSize(type, r1, r2, c1, c2);
        std::vector<char16_t> buf(static_cast<size_t>(bytes / 2) + 8, u'#');
        int64_t n = grid_.MakeCopyText(buf.data(), bytes / 2, type, r1, r2, c1, c2);
        EXPECT_GE(n, 0) << "type " << type;
        if (n < 0) return u"<overflow>";
        EXPECT_LT(n, bytes / 2);
        EXPECT_EQ(buf[static_cast<size_t>(n)], 0);
        return std::u16string(buf.data(), static_cast<size_t>(n));
    }
    POINT Cur() { return POINT{model_->m_curCol, model_->m_curRow}; }

    NoteParent parent_;
    std::unique_ptr<SizedModel> model_;
    CGridCtrl grid_;
};

} // namespace

TEST_F(GridCopySearchTest, SixCopyTypes) {
    EXPECT_EQ(Copy(1, 0, 1, 0, 2), u"\"a\"\"b\",\"x\ty\",\"\"\r\n\"日本\",\"l1\nl2\",\"plain\"\r\n");
    EXPECT_EQ(Copy(2, 0, 1, 0, 2), u"a\"b\tx\ty\t\r\n日本\tl1\nl2\tplain\r\n");
    EXPECT_EQ(Copy(3, 0, 1, 0, 2),
              u"\"c0\",\"c1\",\"c2\"\r\n\"a\"\"b\",\"x\ty\",\"\"\r\n\"日本\",\"l1\nl2\",\"plain\"\r\n");
    EXPECT_EQ(Copy(4, 0, 1, 0, 2), u"c0\tc1\tc2\r\na\"b\tx\ty\t\r\n日本\tl1\nl2\tplain\r\n");
    EXPECT_EQ(Copy(5, 0, 1, 0, 2), u"a\"b  x\ty    \r\n日本   l1\n pl \r\n");
    EXPECT_EQ(Copy(6, 0, 1, 0, 2), u"c0   c1  c2 \r\na\"b  x\ty    \r\n日本   l1\n pl \r\n");
    // Quoting only when needed: a TAB or a break, or a leading quote.
    grid_.SetGridStyle(grid_.GetGridStyle() | GRS_COPYQUOTE, 0);
    EXPECT_EQ(Copy(2, 0, 1, 0, 2), u"a\"b\t\"x\ty\"\t\r\n日本\t\"l1\nl2\"\tplain\r\n");
    model_->cells[2][0] = u"\"q";
    EXPECT_EQ(Copy(2, 2, 2, 0, 0), u"\"\"\"q\"");
    grid_.SetGridStyle(grid_.GetGridStyle() & ~GRS_COPYQUOTE, 0);
    // One cell: no line break; fixed width cuts and pads.
    model_->cells[2][0] = u"abcdef";
    EXPECT_EQ(Copy(2, 1, 1, 2, 2), u"plain");
    EXPECT_EQ(Copy(5, 2, 2, 0, 0), u"abcd ");
    EXPECT_EQ(Copy(5, 2, 2, 1, 1), u"abc ");
    model_->sizes[1] = 5;
    EXPECT_EQ(Copy(5, 2, 2, 1, 1), u"abc  ");
}

TEST_F(GridCopySearchTest, SwappedNamesGoAtTheRowStart) {
    grid_.SetGridStyle(grid_.GetGridStyle() | GRS_SWAPPED, 0);
    std::u16string t = Copy(4, 0, 1, 1, 1);
    std::u16string h0 = model_->GetRowHeaderText(0), h1 = model_->GetRowHeaderText(1);
    EXPECT_EQ(t, h0 + u"\tx\ty\r\n" + h1 + u"\tl1\nl2");
}

TEST_F(GridCopySearchTest, AValueLongerThanItsMeasureNeverOverrunsTheBlock) {
    model_->shortLengths = 1;
    model_->cells[1][1] = std::u16string(500, u'v');
    int64_t bytes = grid_.GetCopyTextSize(2, 0, 2, 0, 2);
    std::vector<char16_t> buf(static_cast<size_t>(bytes / 2) + 64, u'#');
    EXPECT_EQ(grid_.MakeCopyText(buf.data(), bytes / 2, 2, 0, 2, 0, 2), -1);
    for (size_t i = static_cast<size_t>(bytes / 2); i < buf.size(); ++i) ASSERT_EQ(buf[i], u'#') << i;
    // Measured from the text itself, the whole text fits.
    int64_t exact = grid_.MakeCopyText(nullptr, INT64_MAX, 2, 0, 2, 0, 2);
    std::vector<char16_t> whole(static_cast<size_t>(exact) + 1);
    EXPECT_EQ(grid_.MakeCopyText(whole.data(), exact + 1, 2, 0, 2, 0, 2), exact);
    EXPECT_NE(std::u16string(whole.data()).find(std::u16string(500, u'v')), std::u16string::npos);
}

TEST_F(GridCopySearchTest, WaitCursorAboveAHundredCells) {
    VectorGridData big(11, 10);
    big.Bind();
    grid_.SetData(&big);
    long long before = CWaitCursor::BegunCount();
    grid_.SetSelectArea(POINT{0, 0}, POINT{0, 0}, POINT{9, 9});
    grid_.CopyToClipboard(2);
    EXPECT_EQ(CWaitCursor::BegunCount(), before);
    grid_.SetSelectArea(POINT{0, 0}, POINT{0, 0}, POINT{9, 10});
    grid_.CopyToClipboard(2);
    EXPECT_EQ(CWaitCursor::BegunCount(), before + 1);
    EXPECT_EQ(CWaitCursor::OpenCount(), 0);
    grid_.SetData(model_.get());
}

TEST_F(GridCopySearchTest, FindWrapsBothWays) {
    VectorGridData m(8, 4);
    m.cells[2][1] = u"a hit";
    m.cells[5][3] = u"hit b";
    m.Bind();
    grid_.SetData(&m);
    int wrapped = -1;
    EXPECT_EQ(grid_.Find(u"", 1, 0, 0, 0, &wrapped, 0), 1);
    EXPECT_EQ(grid_.Find(u"HIT", 1, 0, 0, 0, &wrapped, 0), 0);
    EXPECT_EQ(m.m_curCol, 1);
    EXPECT_EQ(m.m_curRow, 2);
    EXPECT_EQ(wrapped, 0);
    EXPECT_EQ(grid_.m_search.highlight, 1);
    EXPECT_EQ(grid_.Find(u"HIT", 1, 0, 0, 0, &wrapped, 0), 0);
    EXPECT_EQ(m.m_curRow, 5);
    EXPECT_EQ(grid_.Find(u"HIT", 1, 0, 0, 0, &wrapped, 0), 0);
    EXPECT_EQ(m.m_curRow, 2);
    EXPECT_EQ(wrapped, 1);
    EXPECT_EQ(grid_.Find(u"hit", -1, 1, 0, 0, &wrapped, 0), 0);
    EXPECT_EQ(m.m_curRow, 5);
    EXPECT_EQ(wrapped, 1);
    EXPECT_EQ(grid_.Find(u"HIT", 1, 1, 0, 0, &wrapped, 0), 1); // match case
    // An invalid pattern says so and does not move.
    tvtest::ClearBoxes();
    tvtest::AnswerBox(IDOK);
    EXPECT_EQ(grid_.Find(u"(", 1, 0, 0, 1, &wrapped, 0), 1);
    ASSERT_EQ(tvtest::Boxes().size(), 1u);
    EXPECT_EQ(tvtest::Boxes()[0].text, u"不正な正規表現です");
    EXPECT_EQ(tvtest::Boxes()[0].caption, u"メッセージ");
    EXPECT_EQ(m.m_curRow, 5);
    // Columns by name.
    grid_.MoveCursor(POINT{0, 0}, 0, 0);
    EXPECT_EQ(grid_.FindColumn(u"c3", 1, 0, 0, 0, &wrapped), 0);
    EXPECT_EQ(grid_.IsColumnSelected(3), 1);
    EXPECT_EQ(grid_.FindColumn(u"zz", 1, 0, 0, 0, &wrapped), 1);
    grid_.SetData(model_.get());
}

TEST_F(GridCopySearchTest, ReplaceAllIsOneUndoStepAndSkipsRefusedCells) {
    VectorGridData m(6, 3);
    m.cells[0][0] = u"foo foo";
    m.cells[1][1] = u"foo";
    m.cells[3][2] = u"xfoo";
    m.cells[4][0] = u"line\nfoo";
    m.Bind();
    m.m_colFlags[2] = 0; // column 2 refuses
    grid_.SetData(&m);
    int count = -1;
    EXPECT_EQ(grid_.ReplaceAll(u"foo", u"bar", 1, 1, 0, 0, &count), 0);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(std::u16string(m.GetText(0, 0)), u"bar bar");
    EXPECT_EQ(std::u16string(m.GetText(1, 1)), u"bar");
    EXPECT_EQ(std::u16string(m.GetText(3, 2)), u"xfoo");
    EXPECT_EQ(std::u16string(m.GetText(4, 0)), u"line\nbar"); // the LF stays an LF
    m.Undo();
    EXPECT_EQ(std::u16string(m.GetText(0, 0)), u"foo foo");
    EXPECT_EQ(std::u16string(m.GetText(1, 1)), u"foo");
    EXPECT_EQ(std::u16string(m.GetText(4, 0)), u"line\nfoo");
    // Inside the selection only.
    grid_.SetGridStyle(grid_.GetGridStyle() | GRS_INSELECTION, 0);
    grid_.SetSelectArea(POINT{1, 1}, POINT{1, 1}, POINT{0, 2});
    EXPECT_EQ(grid_.Replace(u"foo", u"baz", 1, 1, 1, 0, 1, 1, &count, nullptr), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(std::u16string(m.GetText(1, 1)), u"baz");
    EXPECT_EQ(std::u16string(m.GetText(0, 0)), u"foo foo");
    // An invalid pattern changes nothing.
    tvtest::AnswerBox(IDOK);
    EXPECT_EQ(grid_.ReplaceAll(u"[", u"x", 1, 1, 1, 0, &count), 1);
    grid_.SetData(model_.get());
}

TEST_F(GridCopySearchTest, ReplaceStepsMoveThenReplace) {
    VectorGridData m(5, 2);
    m.cells[3][1] = u"one foo";
    m.Bind();
    grid_.SetData(&m);
    int count = 0, wrapped = 0;
    EXPECT_EQ(grid_.Replace(u"foo", u"bar", 1, 1, 1, 0, 0, 0, &count, &wrapped), 0); // found, moved
    EXPECT_EQ(m.m_curRow, 3);
    EXPECT_EQ(std::u16string(m.GetText(3, 1)), u"one foo");
    grid_.Replace(u"foo", u"bar", 1, 1, 1, 0, 0, 0, &count, &wrapped);
    EXPECT_EQ(std::u16string(m.GetText(3, 1)), u"one bar");
    // No match left: reported as not found, like a search, and nothing moves.
    EXPECT_EQ(grid_.Replace(u"foo", u"bar", 1, 1, 1, 0, 0, 0, &count, &wrapped), 1);
    EXPECT_EQ(grid_.Replace(u"zzz", u"bar", -1, 1, 1, 0, 0, 0, &count, &wrapped), 1);
    EXPECT_EQ(m.m_curRow, 3);
    EXPECT_EQ(m.m_curCol, 1);
    EXPECT_EQ(std::u16string(m.GetText(3, 1)), u"one bar");
    // Read-only data: nothing to replace in, not found either.
    tvtest::ClearBoxes();
    CGridData readOnly;
    ASSERT_FALSE(readOnly.IsEditable());
    grid_.SetData(&readOnly);
    EXPECT_EQ(grid_.Replace(u"0", u"x", 1, 1, 1, 0, 0, 0, &count, &wrapped), 1);
    count = -1;
    EXPECT_EQ(grid_.Replace(u"0", u"x", 1, 1, 1, 0, 1, 0, &count, &wrapped), 1);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(tvtest::Boxes().empty());
    grid_.SetData(model_.get());
}

TEST_F(GridCopySearchTest, ChangedCellMoves) {
    VectorGridData m(10, 4);
    m.Bind();
    grid_.SetData(&m);
    int wrapped = -1;
    EXPECT_EQ(grid_.NextModifiedCell(&wrapped), 0);
    EXPECT_EQ(wrapped, 1);
    m.SetText(2, 1, u"x", -1);
    m.SetText(6, 3, u"y", -1);
    m.InsertRows(7, 1); // inserted rows never count
    m.SetText(8, 0, u"z", -1);
    grid_.MoveCursor(POINT{0, 0}, 0, 0);
    EXPECT_EQ(grid_.NextModifiedCell(&wrapped), 1);
    EXPECT_EQ(m.m_curRow, 2);
    EXPECT_EQ(m.m_curCol, 1);
    EXPECT_EQ(wrapped, 0);
    EXPECT_EQ(grid_.NextModifiedCell(&wrapped), 1);
    EXPECT_EQ(m.m_curRow, 6);
    EXPECT_EQ(grid_.NextModifiedCell(&wrapped), 1);
    EXPECT_EQ(m.m_curRow, 2);
    EXPECT_EQ(wrapped, 1);
    EXPECT_EQ(grid_.PrevModifiedCell(&wrapped), 1);
    EXPECT_EQ(m.m_curRow, 6);
    EXPECT_EQ(wrapped, 1);
    // In a selection made from right to left.
    grid_.SetGridStyle(grid_.GetGridStyle() | GRS_INSELECTION, 0);
    grid_.SetSelectArea(POINT{3, 1}, POINT{3, 1}, POINT{1, 6});
    grid_.MoveCursor(POINT{3, 6}, 0, 1);
    EXPECT_EQ(grid_.NextModifiedCell(&wrapped), 1);
    EXPECT_EQ(m.m_curRow, 2);
    EXPECT_EQ(wrapped, 1);
    EXPECT_TRUE(m.HasSelection());
    grid_.SetData(model_.get());
}

namespace {

// Records any call with a row or column outside the model.
class StrictModel : public VectorGridData {
public:
    using VectorGridData::VectorGridData;
    int outside = 0;
    void Check(int row, int col) {
        if (row < 0 || row >= GetRowCount() || col < 0 || col >= GetColCount()) ++outside;
    }
    int IsUpdatedRow(int row) override {
        Check(row, 0);
        return VectorGridData::IsUpdatedRow(row);
    }
    int IsCellModified(int row, int col) override {
        Check(row, col);
        return VectorGridData::IsCellModified(row, col);
    }
    const char16_t* GetCopyText(int row, int col) override {
        Check(row, col);
        return VectorGridData::GetCopyText(row, col);
    }
    const char16_t* GetEditText(int row, int col) override {
        Check(row, col);
        return VectorGridData::GetEditText(row, col);
    }
};

} // namespace

TEST(GridNoCursor, NothingOutsideTheModelIsRead) {
    tvtest::Init();
    StrictModel m(5, 3);
    m.Bind();
    m.SetText(3, 2, u"q", -1);
    CGridCtrl grid; // no window: the cursor stays (-1, -1)
    grid.SetGridStyle(GRS_MULTISELECT, 0);
    grid.SetData(&m);
    EXPECT_EQ(m.m_curRow, -1);
    int wrapped = 0;
    EXPECT_EQ(grid.NextModifiedCell(&wrapped), 1);
    EXPECT_EQ(m.m_curRow, 3);
    m.m_curRow = m.m_curCol = -1;
    EXPECT_EQ(grid.PrevModifiedCell(&wrapped), 1);
    m.m_curRow = m.m_curCol = -1;
    grid.CopyToClipboard(2);
    EXPECT_EQ(grid.Find(u"1-1", 1, 0, 0, 0, &wrapped, 0), 0);
    EXPECT_EQ(m.outside, 0);
    StrictModel none(0, 0);
    none.Bind();
    grid.SetData(&none);
    grid.CopyToClipboard(1);
    EXPECT_EQ(grid.NextModifiedCell(&wrapped), 0);
    EXPECT_EQ(none.outside, 0);
}
