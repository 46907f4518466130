#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "grid/gridfilter.h"
#include "grid/gridswap.h"
#include "grid/strgrid.h"
#include "testmodel.h"

namespace {

std::u16string S(const char16_t* s) {
    return s ? std::u16string(s) : std::u16string();
}

VectorGridData* Letters() {
    auto* g = new VectorGridData(6, 2);
    const char16_t* t[] = {u"xAx", u"bab", u"ｃＡ", u"ａ", u"none", u"zzz"};
    for (int r = 0; r < 6; ++r) g->cells[static_cast<size_t>(r)][0] = t[r];
    g->Bind();
    return g;
}

std::vector<int> Map(CGridData& g) {
    std::vector<int> m;
    for (int i = 0; i < g.m_filter->m_rowCount; ++i) m.push_back(g.m_filter->m_map[i]);
    return m;
}

} // namespace

TEST(GridFilter, LiteralCaseAndWidth) {
    std::unique_ptr<VectorGridData> g(Letters());
    int count = -1;
    CString err;
    ASSERT_EQ(g->SetFilter(0, u"A", 0, 0, 0, &count, &err, 1), 0);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(Map(*g), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(g->m_filtered);
    EXPECT_EQ(g->m_filter->m_styleInUse, g->m_styleInUse);
    ASSERT_EQ(g->SetFilter(0, u"A", 0, 1, 0, &count, &err, 1), 0);
    EXPECT_EQ(Map(*g), (std::vector<int>{0, 1}));
    ASSERT_EQ(g->SetFilter(0, u"A", 1, 1, 0, &count, &err, 1), 0);
    EXPECT_EQ(Map(*g), (std::vector<int>{0}));
    ASSERT_EQ(g->SetFilter(0, u"^[bz]", 1, 1, 1, &count, &err, 1), 0);
    EXPECT_EQ(Map(*g), (std::vector<int>{1, 5}));
    EXPECT_TRUE(g->IsRowMarked(5));
    EXPECT_FALSE(g->IsRowMarked(0));
}

TEST(GridFilter, Refusals) {
    VectorGridData empty(0, 2);
    empty.Bind();
    int count;
    CString err;
    EXPECT_EQ(empty.SetFilter(0, u"a", 0, 0, 0, &count, &err, 1), 1);
    EXPECT_EQ(S(err), u"データがありません");
    EXPECT_EQ(empty.m_filter, nullptr);
    std::unique_ptr<VectorGridData> g(Letters());
    std::u16string longPattern(1024, u'a');
    EXPECT_EQ(g->SetFilter(0, longPattern.c_str(), 0, 0, 0, &count, &err, 0), 1);
    EXPECT_EQ(S(err), u"検索条件の文字列が長すぎます");
    longPattern.pop_back();
    EXPECT_EQ(g->SetFilter(0, longPattern.c_str(), 0, 0, 0, &count, &err, 0), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(g->SetFilter(0, u"qqq", 0, 0, 0, &count, &err, 1), 1);
    EXPECT_EQ(S(err), u"フィルタの条件に一致するレコードがありません");
    CString stub;
    EXPECT_EQ(g->m_filter->FilterDataStub(&stub), 1);
    EXPECT_EQ(S(stub), u"DO NOT USE CGridData_Filter::FilterData");
}

TEST(GridFilter, InvalidRegexKeepsEditAndEarlierFilter) {
    std::unique_ptr<VectorGridData> g(Letters());
    g->SetText(4, 1, u"edited", -1);
    int count;
    CString err;
    EXPECT_EQ(g->SetFilter(0, u"(", 0, 0, 1, &count, &err, 1), 1);
    EXPECT_EQ(S(err), u"不正な正規表現です");
    EXPECT_EQ(S(g->GetText(4, 1)), u"edited");
    EXPECT_FALSE(g->m_filtered);
    EXPECT_EQ(g->Undo(), 0); // the edit's own step
    EXPECT_EQ(S(g->GetText(4, 1)), u"4-1");
    g->Redo();
    ASSERT_EQ(g->SetFilter(0, u"z", 0, 0, 0, &count, &err, 1), 0);
    EXPECT_EQ(g->SetFilter(0, u"[", 0, 0, 1, &count, &err, 1), 1);
    EXPECT_TRUE(g->m_filtered);
    EXPECT_EQ(Map(*g), (std::vector<int>{5}));
    EXPECT_EQ(g->SetFilter(0, u"qqq", 0, 0, 0, &count, &err, 1), 1);
    EXPECT_EQ(Map(*g), (std::vector<int>{5}));
    EXPECT_TRUE(g->IsRowMarked(5));
}

TEST(GridFilter, EditingThroughTheFilter) {
    std::unique_ptr<VectorGridData> g(Letters());
    int count;
    CString err;
    ASSERT_EQ(g->SetFilter(0, u"a", 0, 1, 0, &count, &err, 1), 0); // rows 0, 1
    CGridData_Filter* f = g->m_filter;
    EXPECT_EQ(f->SetText(1, 1, u"new", -1), 0);
    EXPECT_EQ(S(g->GetText(1, 1)), u"new");
    EXPECT_TRUE(f->IsUpdatedRow(1));
    EXPECT_EQ(S(f->GetRowHeaderText(1)), u"*     2");
    EXPECT_EQ(f->SetText(-1, 1, u"x", -1), 1);
    EXPECT_EQ(f->SetText(2, 1, u"x", -1), 1);
    EXPECT_EQ(S(g->GetText(0, 1)), u"0-1");
    EXPECT_EQ(S(f->GetText(-1, 0)), u"xAx"); // reads fall back to source row 0
    EXPECT_EQ(S(f->GetText(7, 0)), u"xAx");
    EXPECT_EQ(f->InsertRows(0, 1), 1);
    EXPECT_EQ(f->DeleteRows(0, 0), 1);
    EXPECT_EQ(f->IsCellEditable(-1, 0), 0);
    f->SetCursor(0, 0);
    EXPECT_EQ(f->Undo(), 0);
    EXPECT_EQ(f->m_curRow, 1);
    EXPECT_EQ(f->m_curCol, 1);
    EXPECT_EQ(S(g->GetText(1, 1)), u"1-1");
}

TEST(GridFilter, FilterAndClearUndoAndRedo) {
    std::unique_ptr<VectorGridData> g(Letters());
    int count;
    CString err;
    ASSERT_EQ(g->SetFilter(0, u"z", 0, 0, 0, &count, &err, 1), 0);
    ASSERT_EQ(g->SetFilter(0, u"b", 0, 0, 0, &count, &err, 1), 0);
    std::vector<int> types;
    for (UndoRecord* r = g->GetUndoBuffer()->TopStep(); r; r = r->next) types.push_back(r->type);
    EXPECT_EQ(types, (std::vector<int>{0, 51, 50}));
    g->ClearFilter();
    EXPECT_FALSE(g->m_filtered);
    g->Undo(); // clear undone
    EXPECT_TRUE(g->m_filtered);
    EXPECT_EQ(Map(*g), (std::vector<int>{1}));
    EXPECT_TRUE(g->IsRowMarked(1));
    g->Undo(); // back to the first filter
    EXPECT_EQ(Map(*g), (std::vector<int>{5}));
    EXPECT_TRUE(g->IsRowMarked(5));
    EXPECT_FALSE(g->IsRowMarked(1));
    g->Undo();
    EXPECT_FALSE(g->m_filtered);
    g->Redo();
    EXPECT_TRUE(g->m_filtered);
    EXPECT_EQ(Map(*g), (std::vector<int>{5}));
    g->Redo();
    g->Redo();
    EXPECT_FALSE(g->m_filtered);
    g->DeleteFilter();
    EXPECT_EQ(g->m_filter, nullptr);
}

TEST(GridSwap, ShowsTheSourceTransposed) {
    VectorGridData src(3, 5);
    src.names = {u"id", u"name", u"a_long_column", u"d", u"e"};
    src.Bind();
    CGridData_SwapRowCol w(&src);
    w.ResetLayout();
    EXPECT_EQ(w.GetRowCount(), 5);
    EXPECT_EQ(w.GetColCount(), 3);
    EXPECT_EQ(S(w.GetColName(0)), u"1");
    EXPECT_EQ(S(w.GetColName(2)), u"3");
    EXPECT_EQ(S(w.GetRowHeaderText(1)), u"name");
    EXPECT_EQ(w.GetRowHeaderWidth(), 13 + 2);
    EXPECT_EQ(S(w.GetText(4, 2)), u"2-4");
    w.SetCursor(4, 2);
    EXPECT_EQ(w.SetText(4, 2, u"v", -1), 0);
    EXPECT_EQ(S(src.GetText(2, 4)), u"v");
    EXPECT_EQ(src.m_curRow, 2);
    EXPECT_EQ(src.m_curCol, 4);
    EXPECT_EQ(w.m_curRow, 4);
    EXPECT_EQ(w.m_curCol, 2);
    int col = 0, dir = -1;
    w.Sort(&col, &dir, 1);
    EXPECT_EQ(S(src.GetText(0, 0)), u"0-0");
    // A one-line paste repeats over the selected rows.
    w.m_sel1 = POINT{0, 1};
    w.m_sel2 = POINT{1, 3};
    w.PasteText(u"p\tq");
    for (int r = 1; r <= 3; ++r) {
        EXPECT_EQ(S(w.GetText(r, 0)), u"p");
        EXPECT_EQ(S(w.GetText(r, 1)), u"q");
    }
    EXPECT_EQ(S(w.GetText(1, 2)), u"2-1");
    // Inserting rows extends the widths.
    EXPECT_EQ(w.InsertRows(2, 2), 0);
    EXPECT_EQ(w.GetColCount(), 5);
    EXPECT_EQ(w.m_colWidths.size(), 5u);
    EXPECT_EQ(w.Undo(), 0);
    EXPECT_EQ(w.GetColCount(), 3);
    CGridData plain;
    CGridData_SwapRowCol readOnly(&plain);
    readOnly.ResetLayout();
    EXPECT_EQ(readOnly.GetRowHeaderWidth(), 6);
}

// An area of the swapped view is the source's area exchanged, whichever two
// opposite corners name it: the source clears only from a first row down.
TEST(GridSwap, SetAreaTextClearsTheAreaWhicheverCornersNameIt) {
    // The wrapper's rows 1..3 by columns 1..2 are the source's rows 1..2 by
    // columns 1..3.
    const POINT corners[][2] = {{{1, 1}, {2, 3}}, {{2, 1}, {1, 3}}, {{2, 3}, {1, 1}}, {{1, 3}, {2, 1}}};
    for (const auto& ab : corners) {
        SCOPED_TRACE(testing::Message()
                     << "(" << ab[0].x << "," << ab[0].y << ") to (" << ab[1].x << "," << ab[1].y << ")");
        VectorGridData src(6, 5);
        src.Bind();
        CGridData_SwapRowCol w(&src);
        w.ResetLayout();
        w.SetAreaText(ab[0], ab[1], u"", 0);
        for (int r = 0; r < 6; ++r)
            for (int c = 0; c < 5; ++c) {
                const bool inside = r >= 1 && r <= 2 && c >= 1 && c <= 3;
                std::u16string want = inside ? u"" : VectorGridData::Num(r) + u"-" + VectorGridData::Num(c);
                EXPECT_EQ(S(src.GetText(r, c)), want) << r << "," << c;
            }
        // One undo step takes the whole area back.
        EXPECT_EQ(w.Undo(), 0);
        EXPECT_EQ(S(src.GetText(2, 3)), u"2-3");
        EXPECT_EQ(S(src.GetText(1, 1)), u"1-1");
    }
}

TEST(GridStr, StringModel) {
    CStrGridData s;
    s.AllocArrays(2, 2);
    s.m_colNames[0] = u"A";
    s.m_colEditable[0] = 1;
    EXPECT_EQ(s.SetText(0, 0, u"x", -1), 1); // not editable yet
    s.m_editable = 1;
    EXPECT_EQ(s.SetText(0, 0, u"x", -1), 0);
    EXPECT_EQ(s.SetText(0, 1, u"x", -1), 1);
    EXPECT_EQ(S(s.GetText(0, 0)), u"x");
    EXPECT_EQ(s.SetText(0, 0, nullptr, -1), 0);
    EXPECT_EQ(S(s.GetText(0, 0)), u"");
    EXPECT_TRUE(s.IsNull(0, 0));
    s.SetCursor(1, 0);
    s.PasteText(u"a\tb\r\nc");
    EXPECT_EQ(S(s.GetText(1, 0)), u"a\tb\r\nc");
    EXPECT_EQ(S(s.GetText(5, 9)), u""); // outside: empty
    EXPECT_EQ(S(s.GetColName(0)), u"A");
    s.m_editable = 0;
    EXPECT_EQ(s.SetText(1, 0, u"z", -1), 1);
    EXPECT_EQ(S(s.GetText(1, 0)), u"a\tb\r\nc");
    s.FreeArrays();
    EXPECT_EQ(s.GetRowCount(), 0);
}

TEST(GridFilter, LiteralsAgreeWithTheRegexEngine) {
    const char16_t alphabet[] = u"aAａＡbＢ \u3000あ";
    std::mt19937 rng(11);
    VectorGridData g(300, 1);
    for (auto& row : g.cells) {
        row[0].clear();
        int len = static_cast<int>(rng() % 6);
        for (int i = 0; i < len; ++i) row[0] += alphabet[rng() % 9];
    }
    g.Bind();
    const char16_t* patterns[] = {u"ab", u"ＡＢ", u"a b", u"\u3000", u"Ａ"};
    for (const char16_t* p : patterns)
        for (int matchCase = 0; matchCase < 2; ++matchCase)
            for (int matchWidth = 0; matchWidth < 2; ++matchWidth) {
                int count;
                CString err;
                g.SetFilter(0, p, matchCase, matchWidth, 0, &count, &err, 0);
                std::vector<int> literal = Map(g);
                g.SetFilter(0, p, matchCase, matchWidth, 1, &count, &err, 0);
                EXPECT_EQ(literal, Map(g)) << matchCase << matchWidth;
            }
}

// Filtering marks exactly the matching rows, read through the row gap that
// inserting rows in the middle leaves, and a filter restored by undo marks
// them again; texts of every length around the vector block size, with a
// pair and the probe unit standing beside the pattern.
TEST(GridFilter, MarksRowsAcrossTheGap) {
    VectorGridData g(40, 1);
    for (int r = 0; r < 40; ++r) {
        std::u16string t(static_cast<size_t>(r % 19), u'x');
        if (r % 3 == 0) t += u"k-12";
        if (r % 5 == 0) t = u"😀" + t + u"k";
        g.cells[static_cast<size_t>(r)][0] = t;
    }
    g.m_rowsInsertable = 1;
    g.Bind();
    ASSERT_EQ(g.InsertRows(9, 3), 0); // rows 10-12 are new, the gap after them
    ASSERT_EQ(g.SetText(11, 0, u"k-1", -1), 0);
    // every "k-" in the texts is followed by a 1: both filters find the same rows
    std::vector<int> want;
    for (int r = 0; r < g.GetRowCount(); ++r)
        if (S(g.GetText(r, 0)).find(u"k-1") != std::u16string::npos) want.push_back(r);
    ASSERT_GT(want.size(), 10u);
    for (int regex = 0; regex < 2; ++regex) {
        int count = -1;
        CString err;
        ASSERT_EQ(g.SetFilter(0, regex ? u"k-\\d" : u"k-1", 1, 1, regex, &count, &err, 1), 0);
        EXPECT_EQ(Map(g), want);
        std::vector<int> marked;
        for (int r = 0; r < g.GetRowCount(); ++r)
            if (g.IsRowMarked(r)) marked.push_back(r);
        EXPECT_EQ(marked, want);
        g.ClearFilter();
        ASSERT_EQ(g.Undo(), 0); // the filter again
        marked.clear();
        for (int r = 0; r < g.GetRowCount(); ++r)
            if (g.IsRowMarked(r)) marked.push_back(r);
        EXPECT_EQ(marked, want);
        g.ClearFilter();
    }
}
