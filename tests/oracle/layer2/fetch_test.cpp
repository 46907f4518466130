// Fetching, the select driver, single values, table definitions and the
// dataset built by the fill and by hand.
#include <thread>

#include "tests/oracle/standin_fixture.h"

namespace oratest {
namespace {

class FetchTest : public Layer2Test {
public:
    // Opens a select of the call set and fetches its first batch.
    static void Open(OraSession* s, OraCursor* c, const char16_t* sql, int rows) {
        CString msg;
        ASSERT_EQ(oci_cre_cursor(s, c, sql, &msg), ORARC_OK);
        ASSERT_EQ(oci_desc_cursor(s, c, &msg), ORARC_OK) << Narrow(msg);
        ASSERT_EQ(oci_alloc_fetch_bufs(c, rows, &msg), ORARC_OK);
        ASSERT_EQ(c->rows_per_fetch, rows);
        ASSERT_EQ(s->oci7 ? oci7_define_cursor(s, c, &msg) : oci8_define_by_pos(s, c, &msg), ORARC_OK);
        ASSERT_EQ(oci_exec_non_block_cursor(s, c, &msg, nullptr), ORARC_OK) << Narrow(msg);
    }
};

TEST_F(FetchTest, FetchesDatasetsAndBindLettersInBothCallSets) {
    for (int oci7 : {0, 1}) {
        SCOPED_TRACE(oci7);
        OraSession* s = Logon(oci7);
        ASSERT_NE(s, nullptr);
        MakeRows(s, 250);
        // 200 rows at 100 per fetch: the third fetch ends the data.
        OraCursor c{};
        CString msg;
        ASSERT_NO_FATAL_FAILURE(Open(s, &c, u"select a, b from t where a <= 200 order by a", 100));
        EXPECT_EQ(c.rows_in_buffer, 100);
        EXPECT_STREQ(c.data[1], "row1");
        ASSERT_EQ(oci_fetch_sel_cursor(s, &c, &msg), ORARC_OK);
        EXPECT_EQ(c.rows_in_buffer, 100);
        EXPECT_EQ(c.end_of_fetch, 0);
        EXPECT_STREQ(c.data[1] + 99 * c.desc[1].buffer_size, "row200");
        ASSERT_EQ(oci_fetch_sel_cursor(s, &c, &msg), ORARC_OK);
        EXPECT_EQ(c.rows_in_buffer, 0);
        EXPECT_EQ(c.end_of_fetch, 1);
        oci_del_cursor(s, &c, nullptr);

        Exec(s, u"update t set b = null where a = 2");
        OraDataset ds{};
        ASSERT_EQ(oci_sel_dataset(s, &ds, u"select a, b, '' e, 'xxxxxxxxxxxxxxxxxxxx' w from t order by a",
                                  100, &msg, ""),
                  ORARC_OK)
            << Narrow(msg);
        ASSERT_EQ(ds.row_count, 250);
        std::vector<int> blocks;
        for (OraRowBlock* b = ds.blocks; b; b = b->next) blocks.push_back(b->row_count);
        EXPECT_EQ(blocks, (std::vector<int>{100, 100, 50}));
        EXPECT_EQ(Cell(ds, 0, 0), u"1");
        EXPECT_EQ(Cell(ds, 249, 1), u"row250");
        EXPECT_EQ(Cell(ds, 1, 1), u"");
        EXPECT_EQ(Cell(ds, 0, 2), u"");
        EXPECT_EQ(Cell(ds, 5, 3), u"xxxxxxxxxxxxxxxxxxxx");
        // The long column of the NULL row points at the shared empty text.
        EXPECT_EQ(oci_get_dataset_data(&ds, 1, 1), g_ora_empty_text);
        EXPECT_EQ(oci_get_dataset_col_no(&ds, u"B"), 1);
        EXPECT_EQ(oci_get_dataset_col_no(&ds, u"b"), -1);
        oci_free_dataset(&ds);

        ASSERT_EQ(oci_sel_dataset(s, &ds, u"select a from t where a > 1000", 100, &msg, ""), ORARC_OK);
        EXPECT_EQ(ds.row_count, 0);
        EXPECT_EQ(ds.row_index, nullptr);
        EXPECT_EQ(ds.blocks, nullptr);
        oci_free_dataset(&ds);
        Exec(s, u"drop table t");

        // Letters S then A: a string and two array strings.
        const char16_t* arr[] = {u"b", u"c"};
        ASSERT_EQ(
            oci_sel_dataset(s, &ds, u"select :X0 || :X1 || :X2 v from dual", 10, &msg, "SA", u"a", arr, 2),
            ORARC_OK)
            << Narrow(msg);
        ASSERT_EQ(ds.row_count, 1);
        EXPECT_EQ(Cell(ds, 0, 0), u"abc");
        oci_free_dataset(&ds);
        EXPECT_EQ(oci_sel_dataset(s, &ds, u"select 1 from dual", 10, &msg, "Q"), ORARC_BAD_BIND_ARGS);
        oci_free_dataset(&ds);
    }
}

// A LONG longer than the read buffer arrives cut: the fill counts the values
// cut and says so in its message, in both call sets; values that fit, and
// NULL, are not counted.
TEST_F(FetchTest, LongValuesCutAtTheReadBufferAreReported) {
    const int saved = g_oci_long_read_size;
    g_oci_long_read_size = 11;
    OraSession* admin = Logon(0);
    ASSERT_NE(admin, nullptr);
    Exec(admin, u"create table lg (id number, l long)");
    Exec(admin, u"insert into lg values (1, 'short')");
    Exec(admin, u"insert into lg values (2, 'aaaaaaaaaa')");
    Exec(admin, u"insert into lg values (3, 'bbbbbbbbbbb')");
    Exec(admin, (u"insert into lg values (4, '" + std::u16string(3000, u'c') + u"')").c_str());
    Exec(admin, u"insert into lg values (5, NULL)");
    Exec(admin, u"commit");
    for (int oci7 : {0, 1}) {
        SCOPED_TRACE(oci7 ? "oci7" : "oci8");
        OraSession* s = Logon(oci7);
        ASSERT_NE(s, nullptr);
        OraDataset ds{};
        CString msg;
        ASSERT_EQ(oci_sel_dataset(s, &ds, u"select id, l from lg order by id", 100, &msg, ""), ORARC_OK)
            << Narrow(msg);
        ASSERT_EQ(ds.row_count, 5);
        EXPECT_EQ(ds.long_cut_count, 2);
        EXPECT_EQ(Narrow(msg), "LONG型の値を10byteで切り捨てました(2件)\n");
        EXPECT_EQ(Cell(ds, 1, 1), u"aaaaaaaaaa");
        EXPECT_EQ(Cell(ds, 2, 1), u"bbbbbbbbbb");
        // Which values were cut, by row and column, also after a sort.
        auto cutIds = [&] {
            std::vector<std::u16string> ids;
            for (int r = 0; r < ds.row_count; ++r) {
                EXPECT_EQ(oci_dataset_value_cut(&ds, r, 0), 0);
                if (oci_dataset_value_cut(&ds, r, 1)) ids.push_back(Cell(ds, r, 0));
            }
            return ids;
        };
        EXPECT_EQ(cutIds(), (std::vector<std::u16string>{u"3", u"4"}));
        const int key = 0, descending = -1;
        oci_sort_dataset_rows(&ds, ds.row_index, &key, &descending, 1, 0, ds.row_count - 1);
        EXPECT_EQ(Cell(ds, 0, 0), u"5");
        EXPECT_EQ(cutIds(), (std::vector<std::u16string>{u"4", u"3"}));
        oci_free_dataset(&ds);

        msg.Empty();
        ASSERT_EQ(oci_sel_dataset(s, &ds, u"select id, l from lg where id in (1, 2, 5)", 100, &msg, ""),
                  ORARC_OK);
        EXPECT_EQ(ds.long_cut_count, 0);
        EXPECT_TRUE(msg.IsEmpty()) << Narrow(msg);
        oci_free_dataset(&ds);
    }
    g_oci_long_read_size = saved;
}

TEST_F(FetchTest, SingleValues) {
    OraSession* s = Logon(0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(std::u16string(s->db_charset), u"AL32UTF8");
    EXPECT_EQ(s->sjis, 0);
    CString msg;
    char16_t value[40];
    EXPECT_EQ(
        oci_sel_value(s, u"select 1 from dual union all select 2 from dual", value, sizeof value, &msg, ""),
        ORARC_NO_ROW);
    EXPECT_EQ(msg, u"検索結果がありません\n");
    EXPECT_EQ(value[0], 0);
    char16_t small[5];
    ASSERT_EQ(oci_sel_value(s, u"select 'abcdefgh' from dual", small, 10, &msg, ""), ORARC_OK);
    EXPECT_EQ(std::u16string(small), u"abcd");
    ASSERT_EQ(oci_sel_value(s, u"select :X0 from dual", small, 10, &msg, "S", u"abc😀e"), ORARC_OK);
    EXPECT_EQ(std::u16string(small), u"abc");
    int n = 41;
    ASSERT_EQ(oci_sel_value(s, u"select :X0 + 1 from dual", value, sizeof value, &msg, "I", &n), ORARC_OK);
    EXPECT_EQ(std::u16string(value), u"42");

    g_session = s;
    char16_t date[11];
    ASSERT_EQ(oci_get_sysdate(date), ORARC_OK);
    std::u16string d = date;
    ASSERT_EQ(d.size(), 10u);
    EXPECT_EQ(d[4], u'-');
    EXPECT_EQ(d[7], u'-');
}

TEST_F(FetchTest, LogonReadsTheDatabaseCharacterSet) {
    Control("db_charset JA16SJISTILDE");
    OraSession* s = Logon(0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(std::u16string(s->db_charset), u"JA16SJISTILDE");
    EXPECT_EQ(s->sjis, 1);
    Control("fail OCIStmtExecute 3113 1");
    OraSession* t = Logon(0);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->db_charset[0], 0);
    EXPECT_EQ(t->sjis, 0);
    char16_t value[8];
    EXPECT_EQ(oci_sel_value(t, u"select 'ok' from dual", value, sizeof value, nullptr, ""), ORARC_OK);
}

TEST_F(FetchTest, TableDefinitions) {
    OraSession* s = Logon(0);
    ASSERT_NE(s, nullptr);
    Exec(s, u"create table td (a number(5,2), b varchar2(10) not null)");
    OraTableDef def{};
    CString msg;
    ASSERT_EQ(oci_get_table_def_with_rowid(s, &def, u"td", &msg), ORARC_OK) << Narrow(msg);
    ASSERT_EQ(def.col_count, 3);
    EXPECT_EQ(std::u16string(def.table_name), u"td");
    EXPECT_STREQ(def.columns[0].desc.name, "ROWID");
    EXPECT_EQ(std::u16string(def.columns[1].wtype_text), u"NUMBER");
    EXPECT_EQ(std::u16string(def.columns[2].wsize_text), u"10");
    free(def.columns);
    def = OraTableDef{};

    std::u16string name(3996, u'x');
    EXPECT_EQ(oci_get_table_def_with_rowid(s, &def, name.c_str(), &msg), ORARC_ORACLE_ERROR);
    name += u'x';
    EXPECT_EQ(oci_get_table_def_with_rowid(s, &def, name.c_str(), &msg), ORARC_FAILED);
    EXPECT_EQ(msg, u"エラー(oci_get_table_def2())\n");
    EXPECT_EQ(def.columns, nullptr);
}

TEST_F(FetchTest, TableDefinitionListsAnUnsupportedColumnByItsCode) {
    for (int oci7 : {0, 1}) {
        SCOPED_TRACE(oci7);
        OraSession* s = Logon(oci7);
        ASSERT_NE(s, nullptr);
        Exec(s,
             oci7 ? u"create table lab7 (a number, l mlslabel)" : u"create table lab (a number, l mlslabel)");
        OraTableDef def{};
        CString msg;
        ASSERT_EQ(oci_get_table_def(s, &def, oci7 ? u"lab7" : u"lab", &msg), ORARC_OK) << Narrow(msg);
        ASSERT_EQ(def.col_count, 2);
        EXPECT_EQ(std::u16string(def.columns[0].wtype_text), u"NUMBER");
        EXPECT_EQ(std::u16string(def.columns[1].wtype_text), u"-UNKNOWN-106");
        EXPECT_EQ(std::u16string(def.columns[1].wsize_text), u"255");
        free(def.columns);
        // Selecting it is refused, naming the column and its code.
        OraDataset ds{};
        EXPECT_EQ(oci_sel_dataset(s, &ds, oci7 ? u"select l from lab7" : u"select l from lab", 10, &msg, ""),
                  ORARC_UNSUPPORTED_TYPE);
        EXPECT_EQ(msg, u"サポートしていないデータ型です(項目名:L, データ型:106)\n");
        oci_free_dataset(&ds);
    }
}

TEST_F(FetchTest, JapaneseDateFormatFetchesWithoutAWarning) {
    Exec(Logon(0), u"create table dt (d date)");
    Exec(sessions[0], u"insert into dt values (to_date('2024-01-02 03:04:05', 'YYYY-MM-DD HH24:MI:SS'))");
    ASSERT_EQ(oci_ora_commit(sessions[0], nullptr), ORARC_OK);
    for (int oci7 : {0, 1}) {
        SCOPED_TRACE(oci7);
        OraSession* s = Logon(oci7);
        ASSERT_NE(s, nullptr);
        Exec(s,
             u"alter session set NLS_DATE_FORMAT = 'YYYY\"年\"MM\"月\"DD\"日\" HH24\"時\"MI\"分\"SS\"秒\"'");
        OraCursor c{};
        ASSERT_NO_FATAL_FAILURE(Open(s, &c, u"select d from dt", 10));
        EXPECT_EQ(c.rows_in_buffer, 1);
        EXPECT_EQ(c.fetch_warning, 0);
        EXPECT_EQ(c.rcode[0][0], 0);
        EXPECT_EQ(Utf8ToWide(c.data[0]), u"2024年01月02日 03時04分05秒");
        oci_del_cursor(s, &c, nullptr);
    }
}

TEST_F(FetchTest, PausedFillCancelledKeepsItsRows) {
    OraSession* s = Logon(0);
    ASSERT_NE(s, nullptr);
    MakeRows(s, 250);
    static CancelState cancel{0};
    cancel = 2;
    g_on_wait = [](DWORD) {
        if (g_waits.size() == 3) cancel = 1;
    };
    Control("nonblocking inline");
    OraDataset ds{};
    CString msg;
    EXPECT_EQ(
        oci_sel_dataset_with_cancel(s, &ds, u"select a from t order by a", 100, &msg, nullptr, &cancel, ""),
        ORARC_CANCELLED);
    EXPECT_EQ(msg, u"キャンセルしました\n");
    EXPECT_EQ(g_waits, (std::vector<DWORD>{500, 500, 500}));
    ASSERT_EQ(ds.row_count, 100);
    EXPECT_EQ(Cell(ds, 99, 0), u"100");
    oci_free_dataset(&ds);
}

TEST_F(FetchTest, FillReportsProgressToTheWindow) {
    OraSession* s = Logon(0);
    ASSERT_NE(s, nullptr);
    MakeRows(s, 250);
    struct Seen {
        std::vector<std::pair<UINT, std::u16string>> texts;
        std::vector<LPARAM> rows;
        std::thread::id thread;
    };
    static Seen seen;
    seen = Seen{};
    WNDCLASSW wc{};
    wc.lpszClassName = u"Layer2Progress";
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == QPM_SETTEXT) {
            seen.texts.emplace_back(UINT(w), reinterpret_cast<const char16_t*>(l));
            seen.thread = std::this_thread::get_id();
            return 0;
        }
        if (m == QPM_ROWSFETCHED) {
            seen.rows.push_back(l);
            return 0;
        }
        return DefWindowProcW(h, m, w, l);
    };
    RegisterClassW(&wc);
    // A hidden top-level window: the window core has no message-only parent.
    HWND wnd = CreateWindowExW(0, u"Layer2Progress", u"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(wnd, nullptr);
    OraDataset ds{};
    std::atomic<int> rc{-1};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        CancelState cancel{0};
        rc = oci_sel_dataset_with_cancel(s, &ds, u"select a from t", 100, nullptr, wnd, &cancel, "");
        done = true;
        PostMessageW(wnd, WM_NULL, 0, 0);
    });
    MSG m;
    while (!done && GetMessageW(&m, nullptr, 0, 0)) DispatchMessageW(&m);
    worker.join();
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    EXPECT_EQ(rc, ORARC_OK);
    ASSERT_EQ(seen.texts.size(), 1u);
    EXPECT_EQ(seen.texts[0].first, 0u);
    EXPECT_EQ(seen.texts[0].second, u"データベース検索中");
    EXPECT_EQ(seen.thread, std::this_thread::get_id());
    EXPECT_EQ(seen.rows, (std::vector<LPARAM>{100, 200, 250}));
    oci_free_dataset(&ds);
    DestroyWindow(wnd);
}

} // namespace
} // namespace oratest
