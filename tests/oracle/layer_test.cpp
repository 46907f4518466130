// The layer's own rules against a scripted client (fake_client.h): what the
// stand-in cannot be made to answer, or where every client call counts.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "fake_client.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string TempPath(const char* name) {
    std::string p = "/tmp/tavrelix_oracle_" + std::to_string(getpid()) + "_" + name;
    std::remove(p.c_str());
    return p;
}

class LayerTest : public ::testing::Test {
protected:
    FakeClient fake;
    OraSession session{};
    OraCursor cursor{};
    CString msg;
    std::string log_path;
    std::u16string wlog_path;
    void SetUp() override {
        oci_reset_globals_for_test();
        fake.Install();
        session.err = reinterpret_cast<OCIError*>(&session);
    }
    void TearDown() override {
        oci_del_cursor(&session, &cursor, nullptr);
        if (!log_path.empty()) std::remove(log_path.c_str());
        oci_reset_globals_for_test();
    }
    // The session's log in a file of its own.
    void Log(const char* name) {
        log_path = TempPath(name);
        wlog_path = Utf8ToWide(log_path.c_str());
        session.log_path = wlog_path.data();
    }
    OraSession* Logon(const char16_t* user = u"scott", const char16_t* password = u"tiger",
                      CString* msg = nullptr, int* warning = nullptr, int expect = ORARC_OK) {
        OraSession* s = nullptr;
        CString m;
        EXPECT_EQ(oci_login2(&s, user, password, u"DEMO", nullptr, 0, msg ? msg : &m, warning), expect);
        return s;
    }
    void ExpectHandlesFreed() {
        for (ub4 t : {OCI_HTYPE_SERVER, OCI_HTYPE_SVCCTX, OCI_HTYPE_ERROR, OCI_HTYPE_SESSION})
            EXPECT_EQ(fake.allocs[t], fake.frees[t]) << t;
    }
    // Describes "select * from T" over the fake's columns.
    int Describe(CString* msg = nullptr) {
        oci_del_cursor(&session, &cursor, nullptr);
        EXPECT_EQ(oci_cre_cursor(&session, &cursor, u"select * from T", nullptr), ORARC_OK);
        return oci_desc_cursor(&session, &cursor, msg);
    }
    // The fake's columns with the buffer size each must describe to.
    void ExpectBufferSizes(const std::vector<std::pair<FakeClient::Column, int>>& cols, int expect_rc) {
        fake.columns.clear();
        for (auto& c : cols) fake.columns.push_back(c.first);
        EXPECT_EQ(Describe(&msg), expect_rc) << WideToUtf8(msg.GetString());
        ASSERT_EQ(cursor.col_count, int(cols.size()));
        for (size_t i = 0; i < cols.size(); ++i)
            EXPECT_TRUE(!cols[i].second || cursor.desc[i].buffer_size == cols[i].second)
                << cols[i].first.name << ": " << cursor.desc[i].buffer_size;
    }
};

// --- sessions ---

TEST_F(LayerTest, EmptyUserAndPasswordUseExternalCredentials) {
    OraSession* s = Logon(u"", u"");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(fake.session_credentials, ub4(OCI_CRED_EXT));
    EXPECT_TRUE(fake.attr_set.empty()); // no user name or password
    EXPECT_EQ(s->db_charset[0], 0);     // the character-set query failed: still logged on
    EXPECT_EQ(oci_ora_logout(&s), ORARC_OK);
    ExpectHandlesFreed();
}

TEST_F(LayerTest, ConnectTextsLongerThan499CharactersAllocateNothing) {
    std::u16string ok(499, u'a'), too_long(500, u'a');
    OraSession* s = Logon(ok.c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(fake.attr_set[OCI_ATTR_USERNAME].size(), 499u);
    oci_ora_logout(&s);
    fake.calls.clear();
    for (int which = 0; which < 3; ++which) {
        s = nullptr;
        int rc = oci_login2(&s, which == 0 ? too_long.c_str() : u"u", which == 1 ? too_long.c_str() : u"p",
                            which == 2 ? too_long.c_str() : u"DEMO", nullptr, 0, &msg, nullptr);
        EXPECT_EQ(rc, ORARC_CONNECT_TOO_LONG);
        EXPECT_EQ(msg, u"接続文字列が長すぎます\n");
        EXPECT_EQ(s, nullptr);
    }
    EXPECT_TRUE(fake.calls.empty());

    // A 499-kanji password under UTF-8 reaches the client whole.
    g_oci_code_page = 65001;
    std::u16string kanji(499, u'漢');
    s = Logon(u"scott", kanji.c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(fake.attr_set[OCI_ATTR_PASSWORD].size(), 1497u);
    oci_ora_logout(&s);
}

TEST_F(LayerTest, UnconvertibleUserFailsBeforeAnyClientCall) {
    g_oci_code_page = 0;
    EXPECT_EQ(Logon(u"\uD55C", u"p", &msg, nullptr, ORARC_FAILED), nullptr);
    EXPECT_EQ(msg, u"エラー(oci_login2())\n");
    EXPECT_TRUE(fake.calls.empty());
}

TEST_F(LayerTest, LogonInformationOtherThanExpiryAndErrorsOfAnyCode) {
    // Information of another kind is still a logon, without the warning.
    fake.session_begin = OCI_SUCCESS_WITH_INFO;
    fake.error_code = 24347;
    int warning = -1;
    OraSession* s = Logon(u"scott", u"tiger", &msg, &warning);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(warning, 0);
    oci_ora_logout(&s);

    // An error fails whatever its code.
    fake.session_begin = OCI_ERROR;
    fake.error_code = 28002;
    EXPECT_EQ(Logon(u"scott", u"tiger", &msg, &warning, ORARC_ORACLE_ERROR), nullptr);
    EXPECT_EQ(fake.Count("OCISessionEnd"), 1); // only the logged-on session ended
    ExpectHandlesFreed();
}

TEST_F(LayerTest, FailedSwitchKeepsTheMode) {
    OraSession* s = Logon();
    ASSERT_NE(s, nullptr);
    fake.svc_to_lda = OCI_ERROR;
    fake.error_code = 3114;
    fake.error_text = "ORA-03114: not connected to ORACLE\n";
    EXPECT_EQ(oci_set_api_mode(s, 1, &msg), ORARC_ORACLE_ERROR);
    EXPECT_EQ(s->oci7, 0);
    EXPECT_EQ(msg, u"ORA-03114: not connected to ORACLE\n");
    oci_ora_logout(&s);
}

// --- environment ---

TEST_F(LayerTest, FailedCharacterSetQueryLeavesNoHandle) {
    g_oci_env_ready = 0;
    fake.nls_result = OCI_ERROR;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(oci8_init_env(&msg), ORARC_INIT_FAILED);
        EXPECT_EQ(msg, u"FAILED: OCINlsGetInfo()\n");
        EXPECT_EQ(fake.allocs[OCI_HTYPE_ENV], fake.frees[OCI_HTYPE_ENV]);
        EXPECT_EQ(fake.allocs[OCI_HTYPE_ERROR], fake.frees[OCI_HTYPE_ERROR]);
    }
}

// --- errors and the log ---

TEST_F(LayerTest, LogWithoutPathWritesNothingAndAMissingDirectoryGives12) {
    EXPECT_EQ(oci_write_log(&session, u"x"), ORARC_OK);
    char16_t empty[] = u"";
    session.log_path = empty;
    EXPECT_EQ(oci_write_log(&session, u"x"), ORARC_OK);
    std::u16string missing = Utf8ToWide((TempPath("nodir") + "/sub/log.txt").c_str());
    session.log_path = missing.data();
    EXPECT_EQ(oci_write_log(&session, u"x"), ORARC_FILE_OPEN);

    Log("log.txt");
    std::u16string long_text(1023, u'漢');
    EXPECT_EQ(oci_write_log(&session, u"%s:%d\n", long_text.c_str(), 7), ORARC_OK);
    EXPECT_EQ(oci_write_log(&session, u"%s\n", u"二"), ORARC_OK);
    std::string expect;
    for (int i = 0; i < 1023; ++i) expect += "漢";
    EXPECT_EQ(ReadFile(log_path), expect + ":7\n二\n");
}

TEST_F(LayerTest, ErrorPositionsCountRowsAndColumns) {
    OraCursor c{};
    char sql[] = "select *\r\nfrom nosuch";
    c.sql = sql;
    oci_format_error_pos(&c, 0, &msg, u"E");
    EXPECT_EQ(msg, u"[row:1,col:1] E");
    // Past the end: the walk stops at the terminator.
    const char* end = oci_format_error_pos(&c, 5000, &msg, u"E");
    EXPECT_EQ(end, sql + sizeof sql - 1);
    EXPECT_EQ(msg, u"[row:2,col:12] E");

    // The rule of the session's code page: CP932 and UTF-8 both count characters.
    char sjis[] = "select '\x82\xA0\x82\xA2\x82\xA4' a from nosuch";
    c.sql = sjis;
    g_oci_code_page = 0;
    oci_format_error_pos(&c, 23, &msg, u"E");
    EXPECT_EQ(msg, u"[row:1,col:21] E");
    char utf8[] = "select '\xE3\x81\x82\xF0\x9F\x98\x80' a from nosuch";
    c.sql = utf8;
    g_oci_code_page = 65001;
    oci_format_error_pos(&c, 24, &msg, u"E");
    EXPECT_EQ(msg, u"[row:1,col:21] E"); // the 4-byte character takes two columns
    c.sql = nullptr;
}

TEST_F(LayerTest, Oracle7ErrorRecordHoldsTimeTextAndSql) {
    Log("o7.log");
    OraCursor c{};
    char sql[] = "select * from nosuch";
    c.sql = sql;
    c.wsql = u"select * from nosuch";
    ora_da_set_u16(c.cda, ORA_DA_RC, 942);
    ora_da_set_u16(c.cda, ORA_DA_PEO, 14);
    oci_write_log(&session, u"\n---\nerror in oci_cre_cursor:\n");
    oci_get_cda_error(&session, &c, &msg);
    EXPECT_EQ(msg, u"[row:1,col:15] ORA-00942: fake\n");
    EXPECT_EQ(session.last_error, 942);
    std::string log = ReadFile(log_path);
    size_t time = log.find("--- ", 5), text = log.find("ORA-00942: fake\n");
    EXPECT_EQ(log.find("\n---\nerror in oci_cre_cursor:\n"), 0u);
    EXPECT_NE(time, std::string::npos);
    EXPECT_LT(time, text);
    EXPECT_LT(text, log.find("select * from nosuch\n"));
    EXPECT_NE(log.find("select * from nosuch\n"), std::string::npos);
    c.sql = nullptr;
}

TEST_F(LayerTest, MissingTableNamesTheObjectOnlyWithinTheText) {
    fake.execute = OCI_ERROR;
    fake.error_code = 942;
    fake.error_text = "ORA-00942: table or view does not exist\n";
    struct {
        const char16_t* sql;
        ub2 offset;
        const char16_t* message;
        const char16_t* object;
    } cases[] = {
        {u"select * from a.nosuch,b", 14, u"[row:1,col:15] ORA-00942", u"a.nosuch"},
        {u"select * from nosuch", 5000, u"[row:1,col:21] ORA-00942", u""},
        {u"select * from nosuch", 20, u"[row:1,col:21] ORA-00942", u""},
    };
    for (auto& t : cases) {
        SCOPED_TRACE(t.offset);
        OraCursor c{};
        ASSERT_EQ(oci_cre_cursor(&session, &c, t.sql, nullptr), ORARC_OK);
        fake.parse_offset = t.offset;
        CString msg;
        EXPECT_EQ(oci_desc_cursor(&session, &c, &msg), ORARC_ORACLE_ERROR);
        EXPECT_EQ(msg.Left(int(std::u16string(t.message).size())), t.message);
        EXPECT_EQ(std::u16string(session.missing_object), t.object);
        EXPECT_EQ(ora_cda_rc(&c), 942);
        oci_del_cursor(&session, &c, nullptr);
    }
}

TEST_F(LayerTest, LongOracleTextsBehindThePrefixAreKeptWhole) {
    fake.execute = OCI_ERROR;
    fake.error_code = 1;
    fake.error_text = "ORA-00001: " + std::string(1012, 'x');
    fake.parse_offset = 3;
    EXPECT_EQ(Describe(&msg), ORARC_ORACLE_ERROR);
    EXPECT_EQ(msg.GetLength(), int(std::u16string(u"[row:1,col:4] ").size()) + 1023);
    // A client text that fills its whole buffer is cut at a whole character.
    g_oci_code_page = 65001;
    fake.error_text = "ORA-00001: ";
    while (fake.error_text.size() < 1100) fake.error_text += "\xE6\xBC\xA2";
    EXPECT_EQ(Describe(&msg), ORARC_ORACLE_ERROR);
    std::u16string text(msg.GetString());
    EXPECT_EQ(text.substr(0, 25), u"[row:1,col:4] ORA-00001: ");
    EXPECT_EQ(text.back(), u'漢');
    EXPECT_EQ((text.size() - 25) * 3 + 11, 1023u - (1023u - 11) % 3);
}

// --- cursors ---

OraCursor ColumnsOf(const std::vector<int>& sizes, int16_t define_type = SQLT_STR) {
    OraCursor c{};
    c.col_count = int(sizes.size());
    EXPECT_EQ(oci_alloc_col_desc(&c, nullptr), ORARC_OK);
    int k = 0;
    for (int size : sizes) {
        c.desc[k].buffer_size = size;
        c.desc[k++].define_type = define_type;
    }
    return c;
}

TEST_F(LayerTest, RowsPerFetch) {
    struct {
        std::initializer_list<int> sizes;
        int requested, expect;
    } cases[] = {{{50000}, 100, 83}, {{10, 20}, 1000, 400}, {{4194305}, 100, 1},
                 {{4194305}, 1, 1},  {{100}, 0, 1},         {{1 << 29, 1 << 29}, 10, 1}};
    for (auto& t : cases) {
        OraCursor c = ColumnsOf(t.sizes);
        EXPECT_EQ(oci_alloc_fetch_bufs(&c, t.requested, nullptr), ORARC_OK);
        EXPECT_EQ(c.rows_per_fetch, t.expect);
        // The areas follow each other; indicators start 8-aligned after the values.
        EXPECT_TRUE(c.col_count == 1 || c.data[1] - c.data[0] == int64_t(c.desc[0].buffer_size) * t.expect);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(c.ind[0]) % 8, 0u);
        oci_del_cursor(nullptr, &c, nullptr);
    }
    OraCursor big = ColumnsOf({1 << 30, 1});
    EXPECT_EQ(oci_alloc_fetch_bufs(&big, 100, &msg), ORARC_NO_MEMORY);
    EXPECT_EQ(msg, u"メモリ確保に失敗しました\n");
    EXPECT_EQ(big.fetch_block, nullptr);
    oci_del_cursor(nullptr, &big, nullptr);

    // 17 CLOB columns at the largest read size still fetch one row.
    OraCursor e = ColumnsOf(std::vector<int>(17, 16777216 + 24), SQLT_CLOB);
    EXPECT_EQ(oci_alloc_fetch_bufs(&e, 100, nullptr), ORARC_OK);
    EXPECT_EQ(e.rows_per_fetch, 1);
    oci_del_cursor(&session, &e, nullptr);
}

TEST_F(LayerTest, LobLocatorsPerRowAndAFailingAllocationFreesThemAll) {
    OraCursor c = ColumnsOf({4120, 72, 536});
    c.desc[0].define_type = SQLT_CLOB;
    c.desc[1].define_type = SQLT_BLOB;
    c.desc[2].define_type = SQLT_BFILEE;
    ASSERT_EQ(oci_alloc_fetch_bufs(&c, 10, nullptr), ORARC_OK);
    EXPECT_EQ(c.lob_col_count, 3);
    EXPECT_EQ(fake.allocs[OCI_DTYPE_LOB], 20);
    EXPECT_EQ(fake.allocs[OCI_DTYPE_FILE], 10);
    auto* h = reinterpret_cast<OraLobValue*>(c.data[2] - sizeof(OraLobValue) + 536 * 9);
    EXPECT_NE(h->locator, nullptr);
    EXPECT_EQ(h->define_type, SQLT_BFILEE);
    EXPECT_EQ(oci_del_cursor(&session, &c, nullptr), ORARC_OK);
    EXPECT_EQ(fake.frees[OCI_DTYPE_LOB], 20);
    EXPECT_EQ(fake.frees[OCI_DTYPE_FILE], 10);

    OraCursor d = ColumnsOf({4120}, SQLT_CLOB);
    fake.alloc_fail_after = 3;
    EXPECT_EQ(oci_alloc_fetch_bufs(&d, 10, &msg), ORARC_NO_MEMORY);
    EXPECT_EQ(fake.allocs[OCI_DTYPE_LOB], fake.frees[OCI_DTYPE_LOB]);
    oci_del_cursor(&session, &d, nullptr);
}

TEST_F(LayerTest, DeletingAnUnopenedOracle7CursorCallsNoClose) {
    session.oci7 = 1;
    EXPECT_EQ(oci_del_cursor(&session, &cursor, nullptr), ORARC_OK);
    EXPECT_EQ(fake.Count("oclose"), 0);
    ASSERT_EQ(oci_cre_cursor(&session, &cursor, u"select 1 from dual", nullptr), ORARC_OK);
    EXPECT_STREQ(cursor.sql, "select 1 from dual");
    EXPECT_EQ(oci_del_cursor(&session, &cursor, nullptr), ORARC_OK);
    EXPECT_EQ(fake.Count("oclose"), 1);
    EXPECT_EQ(cursor.sql, nullptr);
    // A cursor whose parse failed is open: the delete closes it.
    EXPECT_EQ(oci_cre_cursor(&session, &cursor, u"select * from nls_database_parameters", nullptr),
              ORARC_ORACLE_ERROR);
    EXPECT_EQ(oci_del_cursor(&session, &cursor, nullptr), ORARC_OK);
    EXPECT_EQ(fake.Count("oclose"), 2);
}

TEST_F(LayerTest, ArrayDmlCursorNamingAnAbsentColumnParsesNothing) {
    OraTableDef def{};
    OraTableColumn cols[2]{};
    std::strcpy(cols[0].desc.name, "A");
    std::strcpy(cols[1].desc.name, "B");
    def.col_count = 2;
    def.columns = cols;
    session.oci7 = 1;
    OraCursor c = ColumnsOf({0, 0});
    std::strcpy(c.desc[0].name, "B");
    std::strcpy(c.desc[1].name, "\xE9\xA0\x85"); // "項" under UTF-8
    g_oci_code_page = 65001;
    EXPECT_EQ(oci_cre_array_dml_cursor(&session, &c, &def, u"insert into T values(:X0, :X1)", &msg),
              ORARC_NO_COLUMN);
    EXPECT_EQ(msg, u"項目が存在しません(項目名:項)\n");
    EXPECT_EQ(fake.Count("oopen") + fake.Count("oparse"), 0);
    oci_del_cursor(&session, &c, nullptr);
}

// --- describe and type texts ---

TEST_F(LayerTest, Oracle7DescribeStopsAt1023Columns) {
    session.oci7 = 1;
    fake.columns.assign(1023, FakeClient::Column{"C", SQLT_NUM, 22, 10, 0});
    EXPECT_EQ(Describe(), ORARC_OK);
    EXPECT_EQ(cursor.col_count, 1023);
    EXPECT_EQ(cursor.desc[1022].buffer_size, 13);
    fake.columns.emplace_back(fake.columns.back());
    EXPECT_EQ(Describe(&msg), ORARC_TOO_MANY_COLUMNS);
    EXPECT_EQ(msg, u"検索するカラム数が多すぎます\n");
}

TEST_F(LayerTest, Oracle7DescribeSizesAndUnsupportedTypes) {
    session.oci7 = 1;
    g_oci_code_page = 65001;
    ASSERT_NO_FATAL_FAILURE(ExpectBufferSizes({{{"V", SQLT_CHR, 10}, 22},
                                               {{"V0", SQLT_CHR, 0}, 2001},
                                               {{"N", SQLT_NUM, 22, 5, -2}, 10},
                                               {{"P", SQLT_NUM, 22, 0, -127}, 38 + 127 + 3},
                                               {{"D", SQLT_DAT, 7}, 128},
                                               {{"T", 180, 11, 0, 6}, 192},
                                               {{"ODD", 999, 5}, 0},
                                               {{"R", SQLT_RID, 10}, 24},
                                               {{"B", SQLT_BLOB, 4000}, 0}},
                                              ORARC_UNSUPPORTED_TYPE));
    EXPECT_EQ(cursor.desc[0].text_size, 44);
    EXPECT_STREQ(cursor.desc[6].name, "ODD");
    EXPECT_EQ(std::u16string(cursor.desc[6].wname), u"ODD");
    EXPECT_EQ(msg, u"サポートしていないデータ型です(項目名:B, データ型:113)\n");
}

TEST_F(LayerTest, Oracle8BufferSizes) {
    ASSERT_NO_FATAL_FAILURE(ExpectBufferSizes({{{"V", SQLT_CHR, 10}, 11},
                                               {{"V0", SQLT_CHR, 0}, 2001},
                                               {{"N", SQLT_NUM, 22, 10, 2}, 13},
                                               {{"NP", SQLT_NUM, 22, 0, -127}, 133},
                                               {{"FL", SQLT_NUM, 22, 126, -127}, 0},
                                               {{"D", SQLT_DAT, 7}, 128},
                                               {{"TS", 187, 11, 0, 6}, 192},
                                               {{"IV", 183, 11}, 192},
                                               {{"RID", SQLT_RDD, 10}, 24},
                                               {{"RAW", SQLT_BIN, 16}, 33},
                                               {{"LG", SQLT_LNG, 0}, 65536},
                                               {{"C", SQLT_CLOB, 4000}, 4096 + 24},
                                               {{"B", SQLT_BLOB, 4000}, 72},
                                               {{"F", SQLT_BFILEE, 530}, 536},
                                               {{"BF", SQLT_IBFLOAT, 4}, 20},
                                               {{"BD", SQLT_IBDOUBLE, 8}, 40},
                                               {{"REF", SQLT_REF, 0}, 0},
                                               {{"LR", SQLT_LBI, 0}, 2000}},
                                              ORARC_OK));
    const OraColumnDesc* d = cursor.desc;
    EXPECT_EQ(d[0].text_size, 22);
    EXPECT_EQ(d[3].scale, -127); // one byte, read signed
    EXPECT_EQ(d[4].scale, -127);
    EXPECT_EQ(d[6].scale, 6);
    EXPECT_EQ(d[11].define_type, SQLT_CLOB);
    EXPECT_EQ(d[11].display_size, 4096);
    EXPECT_EQ(d[11].value_kind, 1);
    EXPECT_EQ(d[11].charset_form, SQLCS_IMPLICIT);
    EXPECT_EQ(d[13].display_size, 512);
    EXPECT_EQ(d[16].define_type, SQLT_REF);
    EXPECT_EQ(d[16].display_size, 300);
    EXPECT_EQ(cursor.lob_col_count, 3);
    EXPECT_EQ(cursor.obj_col_count, 1);
    EXPECT_STREQ(d[3].name, "NP");
    EXPECT_EQ(std::u16string(d[4].wname), u"FL");

    char type[100], size[20];
    EXPECT_EQ(oci_get_col_type_str(&session, &d[4], type, size, nullptr), ORARC_OK);
    EXPECT_EQ(std::string(type) + "/" + size, "FLOAT/126");
    EXPECT_EQ(oci_get_col_type_str(&session, &d[3], type, size, nullptr), ORARC_OK);
    EXPECT_EQ(std::string(type) + "/" + size, "NUMBER/");
}

// The client gives a negative scale as one byte; both call sets describe it
// signed, so the sizes, the type text and the decimals of the sums agree.
TEST_F(LayerTest, NegativeNumberScaleInBothCallSets) {
    for (int oci7 : {0, 1}) {
        SCOPED_TRACE(oci7 ? "oci7" : "oci8");
        session.oci7 = oci7;
        ASSERT_NO_FATAL_FAILURE(ExpectBufferSizes(
            {{{"N", SQLT_NUM, 22, 5, -2}, 10}, {{"M", SQLT_NUM, 22, 38, -84}, 38 + 84 + 3}}, ORARC_OK));
        EXPECT_EQ(cursor.desc[0].scale, -2);
        EXPECT_EQ(cursor.desc[1].scale, -84);
        char type[100], size[20];
        EXPECT_EQ(oci_get_col_type_str(&session, &cursor.desc[0], type, size, nullptr), ORARC_OK);
        EXPECT_EQ(std::string(type) + "/" + size, "NUMBER/5,-2");
        EXPECT_EQ(oci_get_col_type_str(&session, &cursor.desc[1], type, size, nullptr), ORARC_OK);
        EXPECT_EQ(std::string(type) + "/" + size, "NUMBER/38,-84");
    }
}

TEST_F(LayerTest, CharacterColumnsUnderUtf8) {
    g_oci_code_page = 65001;
    session.sjis = 1; // a Shift-JIS database
    ASSERT_NO_FATAL_FAILURE(ExpectBufferSizes(
        {{{"V", SQLT_CHR, 10}, 33}, {{"V0", SQLT_CHR, 0}, 6003}, {{"C", SQLT_AFC, 3}, 12}}, 0));
    session.sjis = 0;
    ASSERT_NO_FATAL_FAILURE(ExpectBufferSizes({{{"V", SQLT_CHR, 10}, 22}, {{"V0", SQLT_CHR, 0}, 4002}}, 0));
}

TEST_F(LayerTest, UnlistedTypeIsNamedAndTheRestDescribed) {
    Log("desc.log");
    fake.columns = {{"A", SQLT_CHR, 5}, {"ODD", 58, 7}, {"B", SQLT_NUM, 22, 5, 0}};
    EXPECT_EQ(Describe(&msg), ORARC_UNSUPPORTED_TYPE);
    EXPECT_EQ(msg, u"サポートしていないデータ型です(項目名:ODD, データ型:58)\n");
    EXPECT_EQ(cursor.col_count, 3);
    EXPECT_EQ(cursor.desc[2].buffer_size, 8);
    EXPECT_EQ(
        ReadFile(log_path),
        "\n---\nerror in oci_desc_cursor: \n this datatype is not support. \n colname: ODD, datatype: 58\n");

    // Objects without the object calls: the message only.
    g_oci_object_api = 0;
    fake.columns = {{"O", SQLT_NTY, 0}};
    EXPECT_EQ(Describe(&msg), ORARC_UNSUPPORTED_TYPE);
    EXPECT_EQ(msg, u"サポートしていないデータ型です(項目名:O, データ型:108)\n");
}

TEST_F(LayerTest, ReprepareAfterDescribe) {
    fake.columns = {{"A", SQLT_CHR, 5}};
    g_oci_reprepare = 1;
    ASSERT_EQ(Describe(), ORARC_OK);
    EXPECT_EQ(fake.Count("OCIStmtPrepare"), 2);
    EXPECT_EQ(fake.prepared, "select * from T");
    EXPECT_EQ(fake.frees[OCI_HTYPE_STMT], 1);
}

// Type texts the stand-in's tables cannot produce.
TEST_F(LayerTest, TypeAndSizeTexts) {
    struct {
        int type, size, precision, scale, form;
        const char* text;
    } cases[] = {{1, 20, 0, 0, 2, "NVARCHAR2/10"},
                 {2, 22, 10, 0, 0, "NUMBER/10"},
                 {2, 22, 0, 129, 0, "NUMBER/"},
                 {4, 22, 63, 0, 0, "FLOAT/63"},
                 {11, 10, 0, 0, 0, "ROWID/"},
                 {104, 10, 0, 0, 0, "ROWID/"},
                 {24, 0, 0, 0, 0, "LONG RAW/"},
                 {108, 0, 0, 0, 0, "-UNKNOWN TYPE-108/"},
                 {180, 11, 0, 0, 0, "TIMESTAMP/"},
                 {188, 13, 0, 0, 0, "TIMESTAMP WITH TIME ZONE/"},
                 {231, 11, 0, 9, 0, "TIMESTAMP(9) WITH LOCAL TIME ZONE/"},
                 {232, 11, 0, 0, 0, "TIMESTAMP WITH LOCAL TIME ZONE/"},
                 {999, 5, 0, 0, 0, "-UNKNOWN-999/5"}};
    for (auto& t : cases) {
        OraColumnDesc d{};
        d.data_type = int16_t(t.type);
        d.data_size = t.size;
        d.precision = int16_t(t.precision);
        d.scale = int16_t(t.scale);
        d.charset_form = uint8_t(t.form);
        char type[100], size[20];
        EXPECT_EQ(oci_get_col_type_str(nullptr, &d, type, size, nullptr), ORARC_OK);
        EXPECT_EQ(std::string(type) + "/" + size, t.text) << t.type;
    }
}

} // namespace
