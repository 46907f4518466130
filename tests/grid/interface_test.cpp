#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "grid/griddata.h"
#include "grid/gridstyle.h"
#include "regex/regex.h"
#include "testmodel.h"

namespace {

std::u16string S(const char16_t* s) {
    return s ? std::u16string(s) : std::u16string();
}

// ASCII 7 px, 'x' 5 px, CJK 14 px, beyond the BMP 20 px; spacing 1, wide from 14.
class FakeMeasurer : public GridMeasurer {
public:
    int calls = 0;
    int CharWidth(HDC, uint32_t cp) override {
        ++calls;
        if (cp == u'x') return 5;
        if (cp > 0xFFFF) return 20;
        if (cp >= 0x3000) return 14;
        return 7;
    }
    int Spacing() const override { return 1; }
    int WideThreshold() const override { return 14; }
};

struct RegexHolder {
    Regex* re;
    explicit RegexHolder(const char16_t* p, bool literal = true) {
        re = literal ? regex_compile_literal(p, 0) : regex_compile(p, 0);
    }
    ~RegexHolder() { regex_free(&re); }
};

} // namespace

TEST(GridInterface, DummyModelDefaults) {
    CGridData g;
    EXPECT_EQ(g.GetColCount(), 100);
    EXPECT_EQ(g.GetRowCount(), 1000);
    EXPECT_EQ(S(g.GetText(5, 7)), u"data");
    EXPECT_EQ(S(g.GetColName(3)), u"test");
    EXPECT_EQ(g.m_curCol, 0);
    EXPECT_EQ(g.m_curRow, 0);
    EXPECT_EQ(S(g.GetRowHeaderText(0)), u"     1");
    EXPECT_EQ(g.GetColWidth(0), 100);
    EXPECT_EQ(g.GetColWidth(99), 100);
    EXPECT_EQ(g.GetTextLength(0, 0, 1, u'a'), 6);
    EXPECT_EQ(g.m_styleInUse, &g.m_style);
}

TEST(GridInterface, ColumnWidthsHideAndRestore) {
    CGridData g;
    g.AllocColumnWidths();
    g.SetColWidth(3, 57);
    EXPECT_EQ(g.GetColWidth(3), 57);
    g.SetColWidth(3, 0);
    EXPECT_EQ(g.GetColWidth(3), 0);
    g.SetColWidth(3, -4);
    EXPECT_EQ(g.GetColWidth(3), 0);
    g.SetColWidth(3, 80);
    EXPECT_EQ(g.GetColWidth(3), 80);
    g.SetColWidth(4, 32768);
    EXPECT_EQ(g.GetColWidth(4), 100);
    g.SetColWidth(100, 5); // beyond the array: ignored
    EXPECT_EQ(g.GetColWidth(100), 100);
    EXPECT_EQ(g.GetColWidth(-1), 100);
}

TEST(GridInterface, CursorClamping) {
    CGridData g;
    g.SetCursor(-5, 500);
    EXPECT_EQ(g.m_curRow, 0);
    EXPECT_EQ(g.m_curCol, 99);
    g.SetCursor(5000, -1);
    EXPECT_EQ(g.m_curRow, 999);
    EXPECT_EQ(g.m_curCol, 0);
    EXPECT_TRUE(g.IsCursorInData());
    VectorGridData empty(0, 3);
    empty.Bind();
    empty.SetCursor(4, 1);
    EXPECT_EQ(empty.m_curRow, -1);
    EXPECT_FALSE(empty.HasCursor());
    EXPECT_FALSE(empty.IsCursorInData());
}

TEST(GridInterface, ViewsTakeFourPlaces) {
    CGridData g;
    HWND w[5];
    for (int i = 0; i < 5; ++i) w[i] = reinterpret_cast<HWND>(static_cast<intptr_t>(0x100 + i));
    for (HWND h : w) g.AddView(h);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(g.m_views[i], w[i]);
    g.RemoveView(w[1]);
    EXPECT_EQ(g.m_views[1], nullptr);
    g.RemoveView(w[4]); // absent
    g.AddView(w[4]);
    EXPECT_EQ(g.m_views[1], w[4]);
}

TEST(GridInterface, FindColumnWrapsAndIncludesStart) {
    VectorGridData g(2, 5); // c0 .. c4
    g.names[4] = u"x";
    g.Bind();
    RegexHolder c(u"c");
    int out = -1;
    EXPECT_EQ(g.FindColumn(4, &out, 1, 0, c.re), 1);
    EXPECT_EQ(out, 0);
    RegexHolder c2(u"c2");
    EXPECT_EQ(g.FindColumn(2, &out, 1, 0, c2.re), 0);
    EXPECT_EQ(g.FindColumn(2, &out, 1, 1, c2.re), 1);
    EXPECT_EQ(out, 2);
    EXPECT_EQ(g.FindColumn(2, &out, -1, 0, c2.re), 0);
    EXPECT_EQ(g.FindColumn(1, &out, -1, 0, c.re), 1);
    EXPECT_EQ(out, 0);
    EXPECT_EQ(g.FindColumn(0, &out, -1, 0, c.re), 1);
    EXPECT_EQ(out, 3); // wrapped past the unmatched last column
}

namespace {

// Fails the test when a cell outside the data is read.
class CheckedGrid : public CGridData {
public:
    int reads = 0;
    int GetColCount() override { return 3; }
    int GetRowCount() override { return 4; }
    const char16_t* GetText(int row, int col) override {
        EXPECT_TRUE(row >= 0 && row < 4 && col >= 0 && col < 3) << row << "," << col;
        ++reads;
        return (row == 1 && col == 1) || (row == 3 && col == 0) ? u"hit" : u"-";
    }
};

} // namespace

TEST(GridInterface, FindCellBothWaysWithWrap) {
    CheckedGrid g;
    RegexHolder hit(u"hit");
    POINT out{-1, -1};
    int wrapped = -1;
    EXPECT_EQ(g.FindCell(POINT{1, 1}, &out, 1, 0, &wrapped, 0, 0, hit.re), 1);
    EXPECT_EQ(out.x, 0);
    EXPECT_EQ(out.y, 3);
    EXPECT_EQ(wrapped, 0);
    EXPECT_EQ(g.FindCell(POINT{0, 3}, &out, 1, 0, &wrapped, 0, 0, hit.re), 0);
    EXPECT_EQ(g.FindCell(POINT{0, 3}, &out, 1, 1, &wrapped, 0, 0, hit.re), 1);
    EXPECT_EQ(wrapped, 1);
    EXPECT_EQ(out.y, 1);
    EXPECT_EQ(g.FindCell(POINT{1, 1}, &out, 1, 0, &wrapped, 1, 0, hit.re), 1);
    EXPECT_EQ(out.y, 1);
    EXPECT_EQ(g.FindCell(POINT{0, 3}, &out, -1, 0, &wrapped, 0, 0, hit.re), 1);
    EXPECT_EQ(out.y, 1);
    EXPECT_EQ(g.FindCell(POINT{1, 1}, &out, -1, 1, &wrapped, 0, 0, hit.re), 1);
    EXPECT_EQ(out.y, 3);
    EXPECT_EQ(wrapped, 1);
    // Selection-only without a selection finds nothing.
    g.reads = 0;
    EXPECT_EQ(g.FindCell(POINT{0, 0}, &out, 1, 1, &wrapped, 1, 1, hit.re), 0);
    EXPECT_EQ(g.reads, 0);
    g.m_sel1 = POINT{0, 2};
    g.m_sel2 = POINT{2, 3};
    EXPECT_EQ(g.FindCell(POINT{0, 0}, &out, 1, 1, &wrapped, 1, 1, hit.re), 1);
    EXPECT_EQ(out.y, 3);
    // A start at the counts reads nothing outside the data.
    g.m_sel1 = POINT{0, -1};
    EXPECT_EQ(g.FindCell(POINT{3, 4}, &out, 1, 1, &wrapped, 1, 0, hit.re), 1);
    EXPECT_EQ(g.FindCell(POINT{3, 4}, &out, -1, 1, &wrapped, 1, 0, hit.re), 1);
    EXPECT_EQ(g.FindCell(POINT{4, 0}, &out, 1, 1, &wrapped, 1, 0, hit.re), 0);
}

TEST(GridInterface, MeasureText) {
    CGridData g;
    FakeMeasurer m;
    EXPECT_EQ(g.MeasureText(u"", 1000, nullptr, &m, nullptr), 0);
    EXPECT_EQ(g.MeasureText(u"ab", 1000, nullptr, &m, nullptr), 16);
    EXPECT_EQ(g.MeasureText(u"a\u3042", 1000, nullptr, &m, nullptr), 8 + 16);
    EXPECT_EQ(g.MeasureText(u"\U0001F600", 1000, nullptr, &m, nullptr), 22); // a pair counts once
    EXPECT_EQ(g.MeasureText(u"a\nbbbb", 1000, nullptr, &m, nullptr), 8 + 10);
    EXPECT_EQ(g.MeasureText(u"\rb", 1000, nullptr, &m, nullptr), 10);
    EXPECT_EQ(g.MeasureText(u"aaaaaaaaaa", 20, nullptr, &m, nullptr), 20);
    const char16_t* t = u"aaaa";
    EXPECT_EQ(g.MeasureText(t, 1000, nullptr, &m, t + 2), 16);
}

namespace {
std::vector<DWORD> g_sleeps;
GridCancelState* g_cancel = nullptr;
void RecordSleep(DWORD ms) {
    g_sleeps.push_back(ms);
    if (g_sleeps.size() == 3 && g_cancel) g_cancel->store(1);
}
} // namespace

TEST(GridInterface, MaxColWidthLimitCancelAndTrim) {
    VectorGridData g(4, 2);
    g.cells[0][0] = u"ab";
    g.cells[1][0] = u"abcd  ";
    g.cells[2][0] = u"a";
    g.cells[3][0] = u"abcdefghijklmnop";
    g.Bind();
    FakeMeasurer m;
    EXPECT_EQ(g.GetMaxColWidth(0, 1000, &m, nullptr), 16 * 8);
    EXPECT_EQ(g.GetMaxColWidth(0, 40, &m, nullptr), 40);
    g.cells[3][0] = u"x";
    EXPECT_EQ(g.GetMaxColWidth(0, 1000, &m, nullptr), 48);
    EXPECT_EQ(g.GetMaxColWidthTrim(0, 1000, &m, nullptr), 32);
    g.cells[1][0] = u"abcd  \n      ";
    EXPECT_EQ(g.GetMaxColWidthTrim(0, 1000, &m, nullptr), 32);

    GridCancelState cancel{2};
    g_cancel = &cancel;
    g_sleeps.clear();
    win32_sleep_hook = RecordSleep;
    EXPECT_EQ(g.GetMaxColWidth(0, 1000, &m, &cancel), 0);
    win32_sleep_hook = nullptr;
    g_cancel = nullptr;
    EXPECT_EQ(g_sleeps, (std::vector<DWORD>{500, 500, 500}));
    cancel = 1;
    m.calls = 0;
    EXPECT_EQ(g.GetMaxColWidth(0, 1000, &m, &cancel), 0);
    EXPECT_EQ(m.calls, 0);
}

TEST(GridStyle, DefaultsAndTint) {
    GridStyle s;
    EXPECT_EQ(s.colors[GRID_TEXT_COLOR], RGB(0, 0, 0));
    EXPECT_EQ(s.colors[GRID_BG_COLOR], RGB(255, 255, 255));
    EXPECT_EQ(s.colors[GRID_HEADER_BG_COLOR], RGB(230, 230, 255));
    EXPECT_EQ(s.colors[GRID_SEARCH_COLOR], RGB(255, 255, 50));
    EXPECT_EQ(s.cornerColor, static_cast<COLORREF>(-1));
    EXPECT_EQ(s.tip.shown, 0);
    EXPECT_EQ(s.tip.wnd, nullptr);
    EXPECT_EQ(s.tip.bkColor, RGB(255, 255, 224));
    EXPECT_EQ(s.ready, 1);
    EXPECT_EQ(TintColor(RGB(230, 230, 255), 0.8), RGB(184, 184, 255));
    EXPECT_EQ(TintColor(RGB(100, 100, 100), 0.8), RGB(80, 80, 80));
    EXPECT_EQ(TintColor(RGB(200, 10, 20), 0.5), RGB(200, 5, 10));
    EXPECT_EQ(TintColor(RGB(10, 200, 20), 0.5), RGB(5, 200, 10));
    EXPECT_EQ(TintColor(RGB(200, 200, 20), 2.0), RGB(255, 255, 20)); // tie of two: blue stays
}
