// The dataset's sort order, text chunks, LOB locators, join and merge.
#include <malloc.h>
#include <pthread.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <random>

#include "tests/oracle/standin_fixture.h"

namespace oratest {
namespace {

// A hand-built dataset of pointer columns; NUMBER columns by name.
void Build(OraDataset* ds, const std::vector<const char16_t*>& names,
           const std::vector<std::vector<std::u16string>>& rows, const std::vector<int>& numbers = {}) {
    OraDatasetBuilder* b = nullptr;
    ASSERT_EQ(oci_init_dataset_builder(ds, names.data(), 7, int(names.size()), &b, nullptr), ORARC_OK);
    for (int k : numbers) ds->cols[k].data_type = SQLT_NUM;
    for (const auto& r : rows) {
        ASSERT_EQ(oci_add_dataset_row(ds, b, nullptr), ORARC_OK);
        for (size_t k = 0; k < r.size(); ++k)
            ASSERT_EQ(oci_set_dataset_data(ds, b, int(k), r[k].c_str(), nullptr), ORARC_OK);
    }
    ds->row_count = b->cur_row + 1;
    ASSERT_EQ(oci_make_row_index(ds, b->rows_per_block, ds->row_size, nullptr), ORARC_OK);
    free(b);
}

// The order as first specified, keys converted at every comparison: rows by
// their keys, rows of equal keys in the order they had.
struct ReferenceSort {
    const OraDataset* ds;
    std::vector<int> cols, dirs;
    static double Number(const std::u16string& w) {
        return std::strtod(WideToUtf8(w.c_str()).c_str(), nullptr);
    }
    int Compare(char* a, char* b) const {
        for (size_t k = 0; k < cols.size(); ++k) {
            int col = cols[k], x;
            auto row_text = [&](char* row) {
                const char16_t* p;
                std::memcpy(&p, row + ds->col_offsets[col], sizeof p);
                return std::u16string(p);
            };
            std::u16string ta = row_text(a), tb = row_text(b);
            if (ds->cols[col].data_type == SQLT_NUM) {
                double d = Number(ta) - Number(tb);
                x = d < 0 ? -1 : d > 0 ? 1 : 0;
            } else {
                x = ta < tb ? -1 : ta > tb ? 1 : 0;
            }
            if (x) return dirs[k] * x;
        }
        return 0;
    }
    void Sort(char** e, int lo, int hi) const {
        std::stable_sort(e + lo, e + hi + 1, [this](char* a, char* b) { return Compare(a, b) < 0; });
    }
};

TEST(DatasetSortTest, OrderMatchesTheReferenceForEveryKeyKind) {
    std::mt19937 rng(5);
    // clang-format off
    const char16_t* texts[] = {u"1e3", u" 7", u"+3", u"abc", u"", u".5", u"5.", u"-0", u"0.1",
                               u"0.10000000000000001", u"0.3", u"0.30000000000000004", u"12345678901234567890",
                               u"-12.5", u"１"};
    // clang-format on
    std::vector<std::vector<std::u16string>> rows;
    for (int i = 0; i < 3000; ++i) {
        char buf[48];
        int kind = int(rng() % 4);
        if (kind == 0)
            std::snprintf(buf, sizeof buf, "%d.%u", int(rng() % 2001) - 1000, unsigned(rng() % 1000));
        else if (kind == 1)
            std::snprintf(buf, sizeof buf, "%u", unsigned(rng() % 50));
        else if (kind == 2)
            std::snprintf(buf, sizeof buf, "%u%09u", unsigned(rng()), unsigned(rng() % 1000000000));
        else
            buf[0] = 0;
        std::u16string number = kind == 3 ? std::u16string(texts[rng() % std::size(texts)]) : Utf8ToWide(buf);
        std::u16string text = Utf8ToWide(std::to_string(rng() % 40).c_str());
        rows.push_back({number, text, Utf8ToWide(std::to_string(i).c_str())});
    }
    OraDataset ds{};
    Build(&ds, {u"N", u"T", u"I"}, rows, {0});
    struct Case {
        std::vector<int> cols, dirs;
    } cases[] = {{{0}, {1}}, {{0}, {-1}}, {{1}, {1}}, {{1}, {-1}}, {{1, 0}, {1, -1}}, {{0, 1}, {-1, 1}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.cols) + testing::PrintToString(c.dirs));
        std::vector<char*> expected(ds.row_index, ds.row_index + ds.row_count);
        ReferenceSort{&ds, c.cols, c.dirs}.Sort(expected.data(), 0, ds.row_count - 1);
        std::vector<char*> index(ds.row_index, ds.row_index + ds.row_count);
        oci_sort_dataset_rows(&ds, index.data(), c.cols.data(), c.dirs.data(), int(c.cols.size()), 0,
                              ds.row_count - 1);
        EXPECT_EQ(index, expected);
        // A sub-range leaves the rest alone.
        std::vector<char*> part(ds.row_index, ds.row_index + ds.row_count);
        expected = part;
        ReferenceSort{&ds, c.cols, c.dirs}.Sort(expected.data(), 100, 1999);
        oci_sort_dataset_rows(&ds, part.data(), c.cols.data(), c.dirs.data(), int(c.cols.size()), 100, 1999);
        EXPECT_EQ(part, expected);
    }
    oci_free_dataset(&ds);
}

// Keys ordered so that every middle pivot is the largest of its range: each
// partition leaves all the other entries below the pivot.
std::vector<int> MiddlePivotWorstCase(int n) {
    std::vector<int> slot(static_cast<size_t>(n)), value(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) slot[size_t(i)] = i;
    int next = n - 1;
    for (int lo = 0, hi = n - 1; lo < hi; --hi) {
        std::swap(slot[size_t(lo)], slot[size_t(lo + (hi - lo) / 2)]);
        value[size_t(slot[size_t(lo)])] = next--;
        std::swap(slot[size_t(lo)], slot[size_t(hi)]);
    }
    value[size_t(slot[0])] = next;
    return value;
}

void* SortOnSmallStack(void* arg) {
    auto* ds = static_cast<OraDataset*>(arg);
    int col = 0;
    for (int dir : {1, -1}) oci_sort_dataset_rows(ds, ds->row_index, &col, &dir, 1, 0, ds->row_count - 1);
    return nullptr;
}

TEST(DatasetSortTest, MiddlePivotWorstCaseSortsOnASmallStack) {
    const int n = 8000;
    std::vector<std::vector<std::u16string>> rows;
    for (int v : MiddlePivotWorstCase(n)) rows.push_back({Utf8ToWide(std::to_string(v).c_str())});
    OraDataset ds{};
    Build(&ds, {u"N"}, rows, {0});
    // Recursing into the lower part would need n frames; 128 KB holds a few
    // hundred.
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 128 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, SortOnSmallStack, &ds), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    for (int i = 0; i < n; ++i) ASSERT_EQ(Cell(ds, i, 0), Utf8ToWide(std::to_string(n - 1 - i).c_str()));
    oci_free_dataset(&ds);
}

TEST(DatasetSortTest, EqualKeysSortInLinearithmicTimeAndKeepTheirOrder) {
    // A million equal NUMBER keys, then a text column of 90% NULLs beside a
    // few distinct values: the pass over equal keys is no longer quadratic
    // (that took minutes), and equal keys keep the order they had.
    const int n = 1000000;
    std::vector<std::vector<std::u16string>> rows(size_t(n), std::vector<std::u16string>{u"7", u""});
    for (int i = 0; i < n; i += 10) rows[size_t(i)][1] = Utf8ToWide(std::to_string((i / 10) % 97).c_str());
    OraDataset ds{};
    Build(&ds, {u"N", u"T"}, rows, {0});
    std::vector<char*> before(ds.row_index, ds.row_index + n);
    for (int dir : {1, -1}) {
        int col = 0;
        oci_sort_dataset_rows(&ds, ds.row_index, &col, &dir, 1, 0, n - 1);
        ASSERT_TRUE(std::equal(before.begin(), before.end(), ds.row_index));
    }
    for (int dir : {1, -1}) {
        SCOPED_TRACE(dir);
        std::vector<size_t> order(static_cast<size_t>(n));
        for (size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return dir > 0 ? rows[a][1] < rows[b][1] : rows[b][1] < rows[a][1];
        });
        std::vector<char*> expected;
        for (size_t i : order) expected.push_back(before[i]);
        std::copy(before.begin(), before.end(), ds.row_index);
        int col = 1;
        oci_sort_dataset_rows(&ds, ds.row_index, &col, &dir, 1, 0, n - 1);
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), ds.row_index));
        EXPECT_EQ(Cell(ds, dir > 0 ? 0 : n - 1, 1), u"");
    }
    oci_free_dataset(&ds);
}

TEST(DatasetSortTest, SearchComparesTheExactNumberAndTheWholeText) {
    OraDataset ds{};
    Build(&ds, {u"N", u"T"}, {{u"1.7", u"c"}, {u"1.2", u"b"}, {u"1.5", u"e"}, {u"-3", u"a"}, {u"1.5", u"d"}},
          {0});
    oci_sort_dataset(&ds, u"N");
    EXPECT_EQ(Cell(ds, 0, 0), u"-3");
    EXPECT_EQ(oci_search_dataset(&ds, 0, u"1.5"), 2); // the first of the two
    EXPECT_EQ(oci_search_dataset(&ds, 0, u"1.50"), 2);
    EXPECT_EQ(oci_search_dataset(&ds, 0, u"1.7"), 4);
    EXPECT_EQ(oci_search_dataset(&ds, 0, u"1"), -1);
    oci_sort_dataset(&ds, u"T");
    EXPECT_EQ(Cell(ds, 4, 0), u"1.5");
    EXPECT_EQ(oci_search_dataset(&ds, 1, u"c"), 2);
    EXPECT_EQ(oci_search_dataset(&ds, 1, u"cc"), -1);
    EXPECT_EQ(oci_get_dataset_col_no(&ds, u"t"), -1); // names match exactly
    oci_free_dataset(&ds);
}

TEST(DatasetJoinTest, UnmatchedKeysGiveEmptyTextsAndMergeKeepsBothSides) {
    OraDataset left{}, right{}, out{}, merged{};
    Build(&left, {u"TABLE_NAME", u"X"}, {{u"C", u"c"}, {u"A", u"a"}, {u"B", u"b"}});
    Build(&right, {u"TABLE_NAME", u"COMMENTS"}, {{u"C", u"see"}, {u"A", u"ay"}, {u"Z", u"zed"}});
    const char16_t* cols[] = {u"TABLE_NAME", u"COMMENTS", u"X"};
    CString msg;
    ASSERT_EQ(oci_join_dataset(&out, &left, &right, u"TABLE_NAME", cols, 3, &msg), ORARC_OK);
    ASSERT_EQ(out.row_count, 3);
    EXPECT_EQ(Cell(out, 0, 1), u"see");
    EXPECT_EQ(Cell(out, 1, 1), u"ay");
    EXPECT_EQ(Cell(out, 2, 1), u"");
    EXPECT_EQ(Cell(out, 2, 2), u"b");
    const char16_t* missing[] = {u"TABLE_NAME", u"NOPE"};
    OraDataset refused{};
    EXPECT_EQ(oci_join_dataset(&refused, &left, &right, u"TABLE_NAME", missing, 2, &msg), ORARC_FAILED);
    EXPECT_EQ(msg, u"エラー(oci_join_dataset)\n");
    oci_free_dataset(&refused);

    OraDataset* pair[] = {&out, &out};
    ASSERT_EQ(oci_merge_dataset(&merged, pair, &msg), ORARC_OK);
    ASSERT_EQ(merged.row_count, 6);
    EXPECT_EQ(Cell(merged, 5, 2), u"b");
    OraDataset* uneven[] = {&left, &out};
    OraDataset refused2{};
    EXPECT_EQ(oci_merge_dataset(&refused2, uneven, &msg), ORARC_FAILED);
    EXPECT_EQ(msg, u"エラー(oci_merge_dataset)\n");
    oci_free_dataset(&refused2);

    // Overwrite by TABLE_NAME: only the empty cells, or every matching one.
    ASSERT_EQ(oci_overwrite_dataset(&out, &right, u"COMMENTS", 1, &msg), ORARC_OK);
    EXPECT_EQ(Cell(out, 0, 1), u"see");
    OraDataset src{};
    Build(&src, {u"TABLE_NAME", u"COMMENTS"}, {{u"B", u"bee"}, {u"C", u"sea"}});
    ASSERT_EQ(oci_overwrite_dataset(&out, &src, u"COMMENTS", 1, &msg), ORARC_OK);
    EXPECT_EQ(Cell(out, 0, 1), u"see");
    EXPECT_EQ(Cell(out, 2, 1), u"bee");
    ASSERT_EQ(oci_overwrite_dataset(&out, &src, u"COMMENTS", 0, &msg), ORARC_OK);
    EXPECT_EQ(Cell(out, 0, 1), u"sea");
    EXPECT_EQ(oci_overwrite_dataset(&out, &src, u"X", 0, &msg), ORARC_FAILED);
    EXPECT_EQ(msg, u"エラー(oci_overwrite_dataset)\n");
    for (OraDataset* d : {&left, &right, &out, &merged, &src}) oci_free_dataset(d);
}

// Live LOB locators: every descriptor the client hands out and takes back.
std::set<void*> g_live;

class DatasetFillTest : public SessionTest {
public:
    // Size of the dataset's first text chunk, its header left out.
    static size_t FirstChunk(const OraDataset& ds) {
        OraTextChunk* c = ds.text_heap;
        while (c && c->next) c = c->next;
        return c ? malloc_usable_size(c) - sizeof(OraTextChunk) : 0;
    }
};

TEST_F(DatasetFillTest, FirstChunkFollowsRowsPerFetchAndTheTextEstimate) {
    // Two long columns count 200 each, a medium one 40, a short one its size.
    Exec(s, u"create table est (l1 varchar2(4000), l2 varchar2(4000), m varchar2(100), s varchar2(17))");
    Exec(s, u"insert into est values ('long', 'long', 'medium', 'short')");
    struct Case {
        const char16_t* cols;
        int rows;
        size_t chunk;
    } cases[] = {{u"l1, l2", 21, 4096}, {u"l1, l2", 20, 8192}, {u"l1, l2, m, s", 16, 12288}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows);
        OraDataset ds{};
        CString msg;
        std::u16string sql = u"select " + std::u16string(c.cols) + u" from est";
        ASSERT_EQ(oci_sel_dataset(s, &ds, sql.c_str(), c.rows, &msg, ""), ORARC_OK) << Narrow(msg);
        ASSERT_EQ(ds.row_count, 1);
        EXPECT_EQ(Cell(ds, 0, 0), u"long");
        size_t chunk = FirstChunk(ds);
        EXPECT_GE(chunk, c.chunk);
        EXPECT_LT(chunk, c.chunk + 64);
        oci_free_dataset(&ds);
    }
}

TEST_F(DatasetFillTest, EveryLocatorOutlivesTheCursorAndIsFreedWithTheDataset) {
    Exec(s, u"create table lobs (id number, b blob)");
    for (int i = 1; i <= 250; ++i) {
        std::string hex(size_t(i % 7 + 1) * 2, 'A');
        std::u16string sql = u"insert into lobs values (" + Utf8ToWide(std::to_string(i).c_str()) + u", '" +
                             Utf8ToWide(hex.c_str()) + u"')";
        Exec(s, sql.c_str());
    }
    g_live.clear();
    TAP(OCIDescriptorAlloc) = [](auto...) {};
    TAPPED(OCIDescriptorAlloc)::after = [](sword rc, auto, dvoid** out, ub4 type, auto...) {
        if (rc == OCI_SUCCESS && (type == OCI_DTYPE_LOB || type == OCI_DTYPE_FILE)) g_live.insert(*out);
    };
    TAP(OCIDescriptorFree) = [](dvoid* d, ub4 type) {
        EXPECT_TRUE((type != OCI_DTYPE_LOB && type != OCI_DTYPE_FILE) || g_live.erase(d) == 1);
    };
    OraDataset ds{};
    CString msg;
    ASSERT_EQ(oci_sel_dataset(s, &ds, u"select id, b from lobs order by id", 100, &msg, ""), ORARC_OK)
        << Narrow(msg);
    ASSERT_EQ(ds.row_count, 250);
    // The cursor is gone: what is left belongs to the dataset.
    EXPECT_EQ(g_live.size(), 250u);
    for (int r = 0; r < ds.row_count; ++r) {
        auto* cell = reinterpret_cast<OraLobCell*>(ds.row_index[r] + ds.col_offsets[1]);
        ASSERT_EQ(g_live.count(cell->locator), 1u) << r;
        ub4 len = 0;
        ASSERT_EQ(g_oci.OCILobGetLength(s->svc, s->err, cell->locator, &len), OCI_SUCCESS) << r;
        EXPECT_EQ(len, ub4((r + 1) % 7 + 1)) << r;
    }

    // Datasets with LOB columns are neither joined nor merged.
    OraDataset plain{}, out{};
    Build(&plain, {u"ID", u"B"}, {{u"1", u"x"}});
    const char16_t* cols[] = {u"ID", u"B"};
    EXPECT_EQ(oci_join_dataset(&out, &ds, &plain, u"ID", cols, 2, &msg), ORARC_FAILED);
    EXPECT_EQ(msg, u"エラー(oci_join_dataset)\n");
    EXPECT_EQ(oci_join_dataset(&out, &plain, &ds, u"ID", cols, 2, &msg), ORARC_FAILED);
    OraDataset* pair[] = {&ds, &plain};
    EXPECT_EQ(oci_merge_dataset(&out, pair, &msg), ORARC_FAILED);
    EXPECT_EQ(msg, u"エラー(oci_merge_dataset)\n");
    oci_free_dataset(&out);
    oci_free_dataset(&plain);

    oci_free_dataset(&ds);
    EXPECT_TRUE(g_live.empty()) << g_live.size();
}

} // namespace
} // namespace oratest
