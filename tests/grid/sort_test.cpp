#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "grid/gridfilter.h"
#include "grid/strgrid.h"
#include "testmodel.h"

namespace {

std::u16string S(const char16_t* s) {
    return s ? std::u16string(s) : std::u16string();
}

// Reference comparison of one key, written from the rules: text kinds by
// units; numbers with NULLs after values, exact for plain decimals, else by
// double when a '.' is present, else as 64-bit integers.
bool PlainParts(const std::u16string& t, bool* neg, std::u16string* ip, std::u16string* fp) {
    size_t i = 0;
    *neg = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) *neg = t[i++] == u'-';
    std::u16string a, b;
    while (i < t.size() && t[i] >= u'0' && t[i] <= u'9') a += t[i++];
    bool dot = false;
    if (i < t.size() && t[i] == u'.') {
        dot = true;
        ++i;
        while (i < t.size() && t[i] >= u'0' && t[i] <= u'9') b += t[i++];
    }
    (void)dot;
    if (i != t.size() || (a.empty() && b.empty())) return false;
    a.erase(0, a.find_first_not_of(u'0') == std::u16string::npos ? a.size() : a.find_first_not_of(u'0'));
    while (!b.empty() && b.back() == u'0') b.pop_back();
    if (a.empty() && b.empty()) *neg = false;
    *ip = a;
    *fp = b;
    return true;
}

std::string Ascii(const std::u16string& t) {
    std::string s;
    for (char16_t c : t) s.push_back(c < 0x80 ? static_cast<char>(c) : '\x7f');
    return s;
}

int RefCompare(CGridData& g, int r, int s, int col) {
    std::u16string a = S(g.GetText(r, col)), b = S(g.GetText(s, col));
    if (g.GetColType(r, col) != 0) return a < b ? -1 : (a > b ? 1 : 0);
    bool na = g.IsNull(r, col), nb = g.IsNull(s, col);
    if (na || nb) return na == nb ? 0 : (na ? 1 : -1);
    if (a == b) return 0;
    bool ga, gb;
    std::u16string ia, fa, ib, fb;
    if (PlainParts(a, &ga, &ia, &fa) && PlainParts(b, &gb, &ib, &fb)) {
        if (ga != gb) return ga ? -1 : 1;
        int m =
            ia.size() != ib.size() ? (ia.size() < ib.size() ? -1 : 1) : (ia < ib ? -1 : (ia > ib ? 1 : 0));
        if (m == 0) m = fa < fb ? -1 : (fa > fb ? 1 : 0);
        return ga ? -m : m;
    }
    if (a.find(u'.') != std::u16string::npos || b.find(u'.') != std::u16string::npos) {
        double d = std::strtod(Ascii(a).c_str(), nullptr) - std::strtod(Ascii(b).c_str(), nullptr);
        return d > 0 ? 1 : (d < 0 ? -1 : 0);
    }
    long long x = std::strtoll(Ascii(a).c_str(), nullptr, 10),
              y = std::strtoll(Ascii(b).c_str(), nullptr, 10);
    return x < y ? -1 : (x > y ? 1 : 0);
}

// The comb sort run directly through SwapRows.
void ReferenceSort(CGridData& g, const int* cols, const int* dirs, int keys) {
    int n = g.GetRowCount();
    int gap = n;
    for (;;) {
        gap = static_cast<int>(static_cast<int64_t>(gap) * 10 / 13);
        if (gap == 0) gap = 1;
        if (gap == 9 || gap == 10) gap = 11;
        bool swapped = false;
        for (int i = 0; gap < n && i + gap < n; ++i) {
            for (int k = 0; k < keys; ++k) {
                int c = RefCompare(g, i, i + gap, cols[k]);
                if (c == 0) continue;
                if (dirs[k] * c > 0) {
                    g.SwapRows(i, i + gap);
                    swapped = true;
                }
                break;
            }
        }
        if (gap == 1 && !swapped) break;
    }
}

const char16_t* kNumbers[] = {u"1",
                              u"2",
                              u"10",
                              u"9",
                              u"1.5",
                              u"1.50",
                              u"-3",
                              u"-3.25",
                              u"0",
                              u"-0",
                              u"1234567890123456789012345",
                              u"1234567890123456789012346",
                              u"-1234567890123456789012345",
                              u"007",
                              u"7",
                              u"1e2",
                              u"2.5x",
                              u"abc"};
const char16_t* kTexts[] = {u"あいう",     u"アイウ", u"abc", u"ABC", u"\U0001F600",
                            u"\U0001F601", u"",       u"z",   u"a"};

void FillRandom(VectorGridData& g, std::mt19937& rng, int rows) {
    g.Reset(rows, 3);
    g.kinds = {0, 1, 0};
    for (int r = 0; r < rows; ++r) {
        auto& row = g.cells[static_cast<size_t>(r)];
        row[0] = kNumbers[rng() % std::size(kNumbers)];
        row[1] = kTexts[rng() % std::size(kTexts)];
        row[2] = kNumbers[rng() % 6];
        g.nulls[static_cast<size_t>(r)][0] = rng() % 8 == 0;
        g.nulls[static_cast<size_t>(r)][2] = rng() % 5 == 0;
        if (g.nulls[static_cast<size_t>(r)][0]) row[0].clear();
    }
    g.Bind();
}

std::vector<int> Ids(VectorGridData& g) {
    std::vector<int> ids;
    for (int r = 0; r < g.GetRowCount(); ++r) ids.push_back(g.Row(r)->id);
    return ids;
}

} // namespace

TEST(GridSort, MatchesReferenceCombSort) {
    std::mt19937 rng(99);
    int sizes[] = {0, 1, 2, 3, 12, 13, 100, 999, 3000};
    for (int n : sizes) {
        for (int trial = 0; trial < 3; ++trial) {
            unsigned seed = static_cast<unsigned>(rng());
            std::mt19937 r1(seed), r2(seed);
            VectorGridData a, b;
            FillRandom(a, r1, n);
            FillRandom(b, r2, n);
            int keys = 1 + trial % 3;
            int cols[3] = {static_cast<int>(rng() % 3), static_cast<int>(rng() % 3),
                           static_cast<int>(rng() % 3)};
            int dirs[3] = {rng() % 2 ? 1 : -1, rng() % 2 ? 1 : -1, rng() % 2 ? 1 : -1};
            a.Sort(cols, dirs, keys);
            ReferenceSort(b, cols, dirs, keys);
            ASSERT_EQ(Ids(a), Ids(b)) << "rows " << n << " trial " << trial;
        }
    }
}

TEST(GridSort, NumbersAndNulls) {
    VectorGridData g(5, 1);
    g.kinds[0] = 0;
    g.cells = {{u"10"}, {u""}, {u"9"}, {u"1.50"}, {u"1.5"}};
    g.nulls[1][0] = 1;
    g.Bind();
    int col = 0, up = 1, down = -1;
    g.Sort(&col, &up, 1);
    std::vector<std::u16string> got;
    for (int r = 0; r < 5; ++r) got.push_back(S(g.GetText(r, 0)));
    EXPECT_EQ(got, (std::vector<std::u16string>{u"1.50", u"1.5", u"9", u"10", u""}));
    g.Sort(&col, &down, 1);
    EXPECT_TRUE(g.IsNull(0, 0));
    EXPECT_EQ(S(g.GetText(1, 0)), u"10");
}

TEST(GridSort, LargeSortIsOneStepOfThreeRecords) {
    const int n = 100000;
    VectorGridData g(n, 1);
    g.kinds[0] = 0;
    std::mt19937 rng(5);
    for (int r = 0; r < n; ++r)
        g.cells[static_cast<size_t>(r)][0] = VectorGridData::Num(static_cast<int>(rng() % 50000));
    g.Bind();
    g.SetText(3, 0, u"77", -1);
    g.SetCursor(10, 0);
    std::vector<int> before = Ids(g);
    int col = 0, dir = 1;
    g.Sort(&col, &dir, 1);
    std::vector<int> after = Ids(g);
    int records = 0;
    for (UndoRecord* r = g.GetUndoBuffer()->TopStep(); r; r = r->next) ++records;
    EXPECT_EQ(records, 3);
    EXPECT_EQ(g.m_curRow, 10);
    for (int r = 1; r < n; ++r)
        ASSERT_LE(std::stoi(std::string(Ascii(S(g.GetText(r - 1, 0))))),
                  std::stoi(Ascii(S(g.GetText(r, 0)))));
    int moved = 0;
    for (int r = 0; r < n; ++r)
        if (g.Row(r)->id == 3) {
            moved = r;
            EXPECT_TRUE(g.IsUpdatedRow(r));
            EXPECT_TRUE(g.IsCellModified(r, 0));
        }
    EXPECT_EQ(S(g.GetText(moved, 0)), u"77");
    g.Undo();
    EXPECT_EQ(Ids(g), before);
    EXPECT_EQ(S(g.GetText(3, 0)), u"77");
    g.Redo();
    EXPECT_EQ(Ids(g), after);
    EXPECT_EQ(g.m_updatedCount, 1);
}

TEST(GridSort, ModelsWithoutSwapStayAndReturn) {
    CStrGridData s;
    s.AllocArrays(3, 1);
    s.m_editable = 1;
    s.m_colEditable[0] = 1;
    s.SetText(0, 0, u"b", -1);
    s.SetText(1, 0, u"a", -1);
    s.SetText(2, 0, u"c", -1);
    int col = 0, dir = 1;
    s.Sort(&col, &dir, 1);
    EXPECT_EQ(S(s.GetText(0, 0)), u"b");
    EXPECT_EQ(S(s.GetText(1, 0)), u"a");
    CGridData dummy;
    dummy.Sort(&col, &dir, 1);
}

TEST(GridSort, FilteredSortKeepsMatchedRows) {
    VectorGridData g(30, 2);
    g.kinds[1] = 0;
    std::mt19937 rng(3);
    for (int r = 0; r < 30; ++r) {
        g.cells[static_cast<size_t>(r)][0] = r % 3 == 0 ? u"keep" : u"drop";
        g.cells[static_cast<size_t>(r)][1] = VectorGridData::Num(static_cast<int>(rng() % 100));
    }
    g.Bind();
    int count = 0;
    CString err;
    ASSERT_EQ(g.SetFilter(0, u"keep", 1, 1, 0, &count, &err, 1), 0);
    EXPECT_EQ(count, 10);
    CGridData_Filter* f = g.m_filter;
    auto check = [&] {
        ASSERT_EQ(f->GetRowCount(), 10);
        for (int r = 0; r < 10; ++r) EXPECT_EQ(S(f->GetText(r, 0)), u"keep");
    };
    int col = 1, dir = -1;
    f->Sort(&col, &dir, 1);
    check();
    for (int r = 1; r < 10; ++r)
        EXPECT_GE(std::stoi(Ascii(S(f->GetText(r - 1, 1)))), std::stoi(Ascii(S(f->GetText(r, 1)))));
    f->Undo();
    check();
    f->Redo();
    check();
    for (int r = 1; r < 10; ++r)
        EXPECT_GE(std::stoi(Ascii(S(f->GetText(r - 1, 1)))), std::stoi(Ascii(S(f->GetText(r, 1)))));
}

// A text key first and short decimals with NULLs after it (the keys that fold
// into one integer per row), and a text key alone, in every direction: the
// same order as the comb sort on the cells, ties included.
TEST(GridSort, TextThenDecimalsMatchReferenceCombSort) {
    std::mt19937 rng(4711);
    for (int n : {2, 13, 500, 2500}) {
        for (int dirs_kind = 0; dirs_kind < 4; ++dirs_kind) {
            unsigned seed = static_cast<unsigned>(rng());
            std::mt19937 r1(seed), r2(seed);
            VectorGridData a, b;
            FillRandom(a, r1, n);
            FillRandom(b, r2, n);
            int cols[3] = {1, 2, 1};
            int dirs[3] = {dirs_kind & 1 ? -1 : 1, dirs_kind & 2 ? -1 : 1, 1};
            int keys = dirs_kind == 3 ? 1 : 2;
            a.Sort(cols, dirs, keys);
            ReferenceSort(b, cols, dirs, keys);
            ASSERT_EQ(Ids(a), Ids(b)) << "rows " << n << " directions " << dirs_kind;
        }
    }
}
