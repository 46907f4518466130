// The layer's own rules, against a scripted client (fake_client.h).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "fake_client.h"

namespace {

class LayerTest : public ::testing::Test {
protected:
    FakeClient fake;
    void SetUp() override {
        oci_reset_globals_for_test();
        fake.Install();
    }
    void TearDown() override { oci_reset_globals_for_test(); }

    OraSession* Logon(const char16_t* user = u"scott", const char16_t* password = u"tiger", int mode = 0,
                      CString* msg = nullptr, int* warning = nullptr, int expect = ORARC_OK) {
        OraSession* s = nullptr;
        CString m;
        EXPECT_EQ(oci_login2(&s, user, password, u"DEMO", nullptr, mode, msg ? msg : &m, warning), expect);
        return s;
    }
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string TempPath(const char* name) {
    const char* dir = getenv("TMPDIR");
    std::string p =
        std::string(dir ? dir : "/tmp") + "/tavrelix_oracle_" + std::to_string(getpid()) + "_" + name;
    std::remove(p.c_str());
    return p;
}

// --- sessions ---

TEST_F(LayerTest, LogonAndLogoffFreeEveryHandle) {
    for (int mode : {0, 2, 4, 7}) {
        fake.calls.clear();
        OraSession* s = Logon(u"scott", u"tiger", mode);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(fake.session_mode, ub4(mode == 7 ? 0 : mode));
        EXPECT_EQ(fake.session_credentials, ub4(OCI_CRED_RDBMS));
        EXPECT_EQ(fake.attr_set[OCI_ATTR_USERNAME], "scott");
        EXPECT_EQ(fake.attr_set[OCI_ATTR_PASSWORD], "tiger");
        EXPECT_EQ(s->server_version, -1.0);
        EXPECT_EQ(s->db_charset[0], 0); // the character-set query failed: still logged on
        EXPECT_EQ(oci_ora_logout(&s), ORARC_OK);
        EXPECT_EQ(s, nullptr);
    }
    for (ub4 t : {OCI_HTYPE_SERVER, OCI_HTYPE_SVCCTX, OCI_HTYPE_ERROR, OCI_HTYPE_SESSION})
        EXPECT_EQ(fake.allocs[t], fake.frees[t]) << t;
}

TEST_F(LayerTest, EmptyUserAndPasswordUseExternalCredentials) {
    OraSession* s = Logon(u"", u"");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(fake.session_credentials, ub4(OCI_CRED_EXT));
    EXPECT_TRUE(fake.attr_set.empty()); // no user name or password
    oci_ora_logout(&s);
}

TEST_F(LayerTest, ConnectTextsLongerThan499CharactersAllocateNothing) {
    std::u16string ok(499, u'a'), too_long(500, u'a');
    OraSession* s = Logon(ok.c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(fake.attr_set[OCI_ATTR_USERNAME].size(), 499u);
    oci_ora_logout(&s);
    fake.calls.clear();
    CString msg;
    for (int which = 0; which < 3; ++which) {
        s = nullptr;
        int rc = oci_login2(&s, which == 0 ? too_long.c_str() : u"u", which == 1 ? too_long.c_str() : u"p",
                            which == 2 ? too_long.c_str() : u"DEMO", nullptr, 0, &msg, nullptr);
        EXPECT_EQ(rc, ORARC_CONNECT_TOO_LONG);
        EXPECT_EQ(msg, u"接続文字列が長すぎます\n");
        EXPECT_EQ(s, nullptr);
    }
    EXPECT_TRUE(fake.calls.empty());
}

TEST_F(LayerTest, PasswordBuffersAreSizedFromTheConversion) {
    g_oci_code_page = 65001;
    std::u16string kanji(499, u'漢');
    OraSession* s = Logon(u"scott", kanji.c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(fake.attr_set[OCI_ATTR_PASSWORD].size(), 1497u);
    oci_ora_logout(&s);
}

TEST_F(LayerTest, UnconvertibleUserFailsBeforeAnyClientCall) {
    g_oci_code_page = 0;
    CString msg;
    OraSession* s = Logon(u"\uD55C", u"p", 0, &msg, nullptr, ORARC_FAILED);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(msg, u"エラー(oci_login2())\n");
    EXPECT_TRUE(fake.calls.empty());
}

TEST_F(LayerTest, ExpiringPasswordLogsOnWithTheWarning) {
    fake.session_begin = OCI_SUCCESS_WITH_INFO;
    fake.error_code = 28002;
    fake.error_text = "ORA-28002: the password will expire within 7 days\n";
    CString msg;
    int warning = -1;
    OraSession* s = Logon(u"scott", u"tiger", 0, &msg, &warning);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(warning, 1);
    EXPECT_EQ(msg, u"ORA-28002: the password will expire within 7 days\n");
    oci_ora_logout(&s);

    // Information of another kind is still a logon, without the warning.
    fake.error_code = 24347;
    warning = -1;
    s = Logon(u"scott", u"tiger", 0, &msg, &warning);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(warning, 0);
    oci_ora_logout(&s);

    // An error fails whatever its code.
    fake.session_begin = OCI_ERROR;
    fake.error_code = 28002;
    s = Logon(u"scott", u"tiger", 0, &msg, &warning, ORARC_ORACLE_ERROR);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(fake.Count("OCISessionEnd"), 2); // only the two logged-on sessions ended
    for (ub4 t : {OCI_HTYPE_SERVER, OCI_HTYPE_SVCCTX, OCI_HTYPE_ERROR, OCI_HTYPE_SESSION})
        EXPECT_EQ(fake.allocs[t], fake.frees[t]) << t;
}

TEST_F(LayerTest, FailedLogonWritesTheLogRecord) {
    std::string path = TempPath("logon.log");
    std::u16string wpath = Utf8ToWide(path.c_str());
    fake.session_begin = OCI_ERROR;
    fake.error_code = 1017;
    fake.error_text = "ORA-01017: invalid username/password; logon denied\n";
    OraSession* s = nullptr;
    CString msg;
    EXPECT_EQ(oci_login2(&s, u"scott", u"bad", u"DEMO", wpath.c_str(), 0, &msg, nullptr), ORARC_ORACLE_ERROR);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(msg, u"ORA-01017: invalid username/password; logon denied\n");
    EXPECT_EQ(ReadFile(path), "\n---\nerror in oci_login2:\n user:scott tns:DEMO\n");
    EXPECT_EQ(fake.Count("OCIServerDetach"), 1);
    EXPECT_EQ(fake.Count("OCISessionEnd"), 0);
    std::remove(path.c_str());
}

TEST_F(LayerTest, Oracle7ChoiceSwitchesTheNewSessionAndLogoffSwitchesBack) {
    g_use_oci7_api = 1;
    OraSession* s = Logon();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->oci7, 1);
    EXPECT_EQ(fake.Count("OCISvcCtxToLda"), 1);
    fake.calls.clear();
    EXPECT_EQ(oci_set_api_mode(s, 1, nullptr), ORARC_OK);
    EXPECT_TRUE(fake.calls.empty()); // already there
    EXPECT_EQ(oci_ora_logout(&s), ORARC_OK);
    EXPECT_EQ(fake.Index("orol"), 0); // rollback with the Oracle 7 calls first
    ASSERT_GE(fake.Index("OCILdaToSvcCtx"), 0);
    EXPECT_LT(fake.Index("OCILdaToSvcCtx"), fake.Index("OCISessionEnd"));
}

TEST_F(LayerTest, FailedSwitchKeepsTheMode) {
    OraSession* s = Logon();
    ASSERT_NE(s, nullptr);
    fake.svc_to_lda = OCI_ERROR;
    fake.error_code = 3114;
    fake.error_text = "ORA-03114: not connected to ORACLE\n";
    CString msg;
    EXPECT_EQ(oci_set_api_mode(s, 1, &msg), ORARC_ORACLE_ERROR);
    EXPECT_EQ(s->oci7, 0);
    EXPECT_EQ(msg, u"ORA-03114: not connected to ORACLE\n");
    oci_ora_logout(&s);
}

TEST_F(LayerTest, FailedLogoffStepsStillEndDetachAndFree) {
    struct Case {
        bool oci7;
        sword lda_to_svc, session_end, detach;
    } cases[] = {{true, OCI_ERROR, OCI_SUCCESS, OCI_SUCCESS},
                 {false, OCI_SUCCESS, OCI_ERROR, OCI_SUCCESS},
                 {false, OCI_SUCCESS, OCI_SUCCESS, OCI_ERROR},
                 {true, OCI_ERROR, OCI_ERROR, OCI_ERROR}};
    for (const Case& c : cases) {
        FakeClient f;
        f.Install();
        g_use_oci7_api = c.oci7;
        OraSession* s = Logon();
        ASSERT_NE(s, nullptr);
        f.lda_to_svc = c.lda_to_svc;
        f.session_end = c.session_end;
        f.detach = c.detach;
        f.error_code = 1012;
        f.calls.clear();
        EXPECT_EQ(oci_ora_logout(&s), ORARC_ORACLE_ERROR);
        EXPECT_EQ(f.Count("OCISessionEnd"), 1);
        EXPECT_EQ(f.Count("OCIServerDetach"), 1);
        for (ub4 t : {OCI_HTYPE_SERVER, OCI_HTYPE_SVCCTX, OCI_HTYPE_ERROR, OCI_HTYPE_SESSION})
            EXPECT_EQ(f.frees[t], 1) << t;
        fake.Install();
    }
}

TEST_F(LayerTest, ServerVersionIsReadOnceAndFailuresAreNotCached) {
    OraSession* s = Logon();
    ASSERT_NE(s, nullptr);
    fake.server_release = OCI_ERROR;
    EXPECT_EQ(oci_get_server_version(s), 0.0);
    fake.server_release = OCI_SUCCESS;
    fake.release = 0x0B200400;
    EXPECT_DOUBLE_EQ(oci_get_server_version(s), 11.2);
    fake.release = 0x0A200000;
    EXPECT_DOUBLE_EQ(oci_get_server_version(s), 11.2);
    EXPECT_EQ(fake.Count("OCIServerRelease"), 2);
    oci_ora_logout(&s);
}

// --- errors and the log ---

TEST_F(LayerTest, LogWithoutPathWritesNothingAndAMissingDirectoryGives12) {
    OraSession s{};
    EXPECT_EQ(oci_write_log(&s, u"x"), ORARC_OK);
    char16_t empty[] = u"";
    s.log_path = empty;
    EXPECT_EQ(oci_write_log(&s, u"x"), ORARC_OK);
    std::u16string missing = Utf8ToWide((TempPath("nodir") + "/sub/log.txt").c_str());
    s.log_path = missing.data();
    EXPECT_EQ(oci_write_log(&s, u"x"), ORARC_FILE_OPEN);

    std::string path = TempPath("log.txt");
    std::u16string wpath = Utf8ToWide(path.c_str());
    s.log_path = wpath.data();
    std::u16string long_text(1023, u'漢');
    EXPECT_EQ(oci_write_log(&s, u"%s:%d\n", long_text.c_str(), 7), ORARC_OK);
    EXPECT_EQ(oci_write_log(&s, u"%s\n", u"二"), ORARC_OK);
    std::string expect;
    for (int i = 0; i < 1023; ++i) expect += "漢";
    EXPECT_EQ(ReadFile(path), expect + ":7\n二\n");
    std::remove(path.c_str());
}

TEST_F(LayerTest, ErrorPositionsCountRowsAndColumns) {
    OraCursor c{};
    char sql1[] = "select * from nosuch where 1=1";
    c.sql = sql1;
    CString msg;
    oci_format_error_pos(&c, 0, &msg, u"ORA-00942: x");
    EXPECT_EQ(msg, u"[row:1,col:1] ORA-00942: x");
    oci_format_error_pos(&c, 14, &msg, u"ORA-00942: x");
    EXPECT_EQ(msg, u"[row:1,col:15] ORA-00942: x");
    char sql2[] = "select *\r\nfrom nosuch";
    c.sql = sql2;
    oci_format_error_pos(&c, 15, &msg, u"E");
    EXPECT_EQ(msg, u"[row:2,col:6] E");
    // Past the end: the walk stops at the terminator.
    const char* end = oci_format_error_pos(&c, 5000, &msg, u"E");
    EXPECT_EQ(end, sql2 + sizeof sql2 - 1);
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
    std::string path = TempPath("o7.log");
    std::u16string wpath = Utf8ToWide(path.c_str());
    OraSession s{};
    s.log_path = wpath.data();
    OraCursor c{};
    char sql[] = "select * from nosuch";
    c.sql = sql;
    c.wsql = u"select * from nosuch";
    ora_da_set_u16(c.cda, ORA_DA_RC, 942);
    ora_da_set_u16(c.cda, ORA_DA_PEO, 14);
    oci_write_log(&s, u"\n---\nerror in oci_cre_cursor:\n");
    CString msg;
    oci_get_cda_error(&s, &c, &msg);
    EXPECT_EQ(msg, u"[row:1,col:15] ORA-00942: fake\n");
    EXPECT_EQ(s.last_error, 942);
    std::string log = ReadFile(path);
    size_t header = log.find("\n---\nerror in oci_cre_cursor:\n");
    size_t time = log.find("--- ", header + 5);
    size_t text = log.find("ORA-00942: fake\n");
    size_t stmt = log.find("select * from nosuch\n");
    EXPECT_EQ(header, 0u);
    EXPECT_NE(time, std::string::npos);
    EXPECT_LT(time, text);
    EXPECT_LT(text, stmt);
    EXPECT_NE(stmt, std::string::npos);
    c.sql = nullptr;
    std::remove(path.c_str());
}

// --- cursors ---

OraCursor ColumnsOf(std::initializer_list<int> sizes, int16_t define_type = SQLT_STR) {
    OraCursor c{};
    c.col_count = int(sizes.size());
    EXPECT_EQ(oci_alloc_col_desc(&c, nullptr), ORARC_OK);
    int k = 0;
    for (int size : sizes) {
        c.desc[k].buffer_size = size;
        c.desc[k].define_type = define_type;
        ++k;
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
        if (c.col_count == 2) {
            EXPECT_EQ(c.data[1] - c.data[0], int64_t(c.desc[0].buffer_size) * t.expect);
        }
        EXPECT_EQ(reinterpret_cast<uintptr_t>(c.ind[0]) % 8, 0u);
        oci_del_cursor(nullptr, &c, nullptr);
    }
    OraCursor big = ColumnsOf({1 << 30, 1});
    CString msg;
    EXPECT_EQ(oci_alloc_fetch_bufs(&big, 100, &msg), ORARC_NO_MEMORY);
    EXPECT_EQ(msg, u"メモリ確保に失敗しました\n");
    EXPECT_EQ(big.fetch_block, nullptr);
    oci_del_cursor(nullptr, &big, nullptr);
}

TEST_F(LayerTest, LobColumnsGetOneLocatorPerRowAndDeleteFreesThem) {
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
    OraSession s{};
    EXPECT_EQ(oci_del_cursor(&s, &c, nullptr), ORARC_OK);
    EXPECT_EQ(fake.frees[OCI_DTYPE_LOB], 20);
    EXPECT_EQ(fake.frees[OCI_DTYPE_FILE], 10);

    // A failing allocation frees what was taken.
    OraCursor d = ColumnsOf({4120});
    d.desc[0].define_type = SQLT_CLOB;
    fake.alloc_fail_after = 3;
    CString msg;
    EXPECT_EQ(oci_alloc_fetch_bufs(&d, 10, &msg), ORARC_NO_MEMORY);
    EXPECT_EQ(fake.allocs[OCI_DTYPE_LOB], fake.frees[OCI_DTYPE_LOB]);
    oci_del_cursor(&s, &d, nullptr);

    // 17 CLOB columns at the largest read size still fetch one row.
    fake.alloc_fail_after = -1;
    OraCursor e{};
    e.col_count = 17;
    ASSERT_EQ(oci_alloc_col_desc(&e, nullptr), ORARC_OK);
    for (int k = 0; k < 17; ++k) {
        e.desc[k].define_type = SQLT_CLOB;
        e.desc[k].buffer_size = 16777216 + 24;
    }
    EXPECT_EQ(oci_alloc_fetch_bufs(&e, 100, nullptr), ORARC_OK);
    EXPECT_EQ(e.rows_per_fetch, 1);
    oci_del_cursor(&s, &e, nullptr);
}

TEST_F(LayerTest, DeletingAnUnopenedOracle7CursorCallsNoClose) {
    OraSession s{};
    s.oci7 = 1;
    OraCursor c{};
    EXPECT_EQ(oci_del_cursor(&s, &c, nullptr), ORARC_OK);
    EXPECT_EQ(fake.oclose_calls, 0);
    ASSERT_EQ(oci_cre_cursor(&s, &c, u"select 1 from dual", nullptr), ORARC_OK);
    EXPECT_STREQ(c.sql, "select 1 from dual");
    EXPECT_EQ(oci_del_cursor(&s, &c, nullptr), ORARC_OK);
    EXPECT_EQ(fake.oclose_calls, 1);
    EXPECT_EQ(c.sql, nullptr);
}

TEST_F(LayerTest, ArrayDmlCursorNamingAnAbsentColumnParsesNothing) {
    OraTableDef def{};
    OraTableColumn cols[2]{};
    std::strcpy(cols[0].desc.name, "A");
    std::strcpy(cols[1].desc.name, "B");
    def.col_count = 2;
    def.columns = cols;
    OraSession s{};
    s.oci7 = 1;
    OraCursor c{};
    c.col_count = 2;
    ASSERT_EQ(oci_alloc_col_desc(&c, nullptr), ORARC_OK);
    std::strcpy(c.desc[0].name, "B");
    std::strcpy(c.desc[1].name, "\xE9\xA0\x85"); // "項" under UTF-8
    g_oci_code_page = 65001;
    CString msg;
    EXPECT_EQ(oci_cre_array_dml_cursor(&s, &c, &def, u"insert into T values(:X0, :X1)", &msg),
              ORARC_NO_COLUMN);
    EXPECT_EQ(msg, u"項目が存在しません(項目名:項)\n");
    EXPECT_EQ(fake.Count("oopen") + fake.Count("oparse"), 0);
    oci_del_cursor(&s, &c, nullptr);
}

// --- describe and type texts ---

TEST_F(LayerTest, Oracle7DescribeStopsAt1023Columns) {
    OraSession s{};
    s.oci7 = 1;
    for (int n : {1023, 1024}) {
        fake.columns.assign(size_t(n), FakeClient::Column{"C", SQLT_NUM, 22, 10, 0});
        OraCursor c{};
        CString msg;
        int rc = oci_desc_cursor(&s, &c, &msg);
        if (n == 1023) {
            EXPECT_EQ(rc, ORARC_OK);
            EXPECT_EQ(c.col_count, 1023);
            EXPECT_EQ(c.desc[1022].buffer_size, 13);
        } else {
            EXPECT_EQ(rc, ORARC_TOO_MANY_COLUMNS);
            EXPECT_EQ(msg, u"検索するカラム数が多すぎます\n");
        }
        oci_del_cursor(&s, &c, nullptr);
    }
}

TEST_F(LayerTest, Oracle7DescribeSizesAndUnsupportedTypes) {
    OraSession s{};
    s.oci7 = 1;
    g_oci_code_page = 65001;
    fake.columns = {{"V", SQLT_CHR, 10},
                    {"V0", SQLT_CHR, 0},
                    {"N", SQLT_NUM, 22, 5, -2},
                    {"P", SQLT_NUM, 22, 0, -127},
                    {"D", SQLT_DAT, 7},
                    {"T", 180, 11, 0, 6},
                    {"ODD", 999, 5},
                    {"R", SQLT_RID, 10},
                    {"B", SQLT_BLOB, 4000}};
    OraCursor c{};
    CString msg;
    EXPECT_EQ(oci_desc_cursor(&s, &c, &msg), ORARC_UNSUPPORTED_TYPE);
    ASSERT_EQ(c.col_count, 9);
    EXPECT_EQ(c.desc[0].buffer_size, 22);
    EXPECT_EQ(c.desc[1].buffer_size, 2001);
    EXPECT_EQ(c.desc[2].buffer_size, 10);
    EXPECT_EQ(c.desc[3].buffer_size, 38 + 127 + 3);
    EXPECT_EQ(c.desc[4].buffer_size, 128);
    EXPECT_EQ(c.desc[5].buffer_size, 192);
    EXPECT_EQ(c.desc[7].buffer_size, 24);
    EXPECT_EQ(c.desc[0].text_size, 44);
    EXPECT_STREQ(c.desc[6].name, "ODD");
    EXPECT_EQ(std::u16string(c.desc[6].wname), u"ODD");
    EXPECT_EQ(msg, u"サポートしていないデータ型です(項目名:B, データ型:113)\n");
    oci_del_cursor(&s, &c, nullptr);
}

std::pair<std::string, std::string> TypeText(int type, int size, int precision = 0, int scale = 0,
                                             int form = 0) {
    OraColumnDesc d{};
    d.data_type = int16_t(type);
    d.data_size = size;
    d.precision = int16_t(precision);
    d.scale = int16_t(scale);
    d.charset_form = uint8_t(form);
    char t[100], s[20];
    EXPECT_EQ(oci_get_col_type_str(nullptr, &d, t, s, nullptr), ORARC_OK);
    return {t, s};
}

TEST_F(LayerTest, TypeAndSizeTexts) {
    using P = std::pair<std::string, std::string>;
    EXPECT_EQ(TypeText(1, 10), P("VARCHAR2", "10"));
    EXPECT_EQ(TypeText(1, 20, 0, 0, 2), P("NVARCHAR2", "10"));
    EXPECT_EQ(TypeText(2, 22, 10, 2), P("NUMBER", "10,2"));
    EXPECT_EQ(TypeText(2, 22, 10, 0), P("NUMBER", "10"));
    EXPECT_EQ(TypeText(2, 22, 0, 129), P("NUMBER", ""));
    EXPECT_EQ(TypeText(2, 22, 126, 129), P("FLOAT", "126"));
    EXPECT_EQ(TypeText(4, 22, 63), P("FLOAT", "63"));
    EXPECT_EQ(TypeText(8, 0), P("LONG", "0"));
    EXPECT_EQ(TypeText(11, 10), P("ROWID", ""));
    EXPECT_EQ(TypeText(104, 10), P("ROWID", ""));
    EXPECT_EQ(TypeText(12, 7), P("DATE", ""));
    EXPECT_EQ(TypeText(23, 16), P("RAW", "16"));
    EXPECT_EQ(TypeText(24, 0), P("LONG RAW", ""));
    EXPECT_EQ(TypeText(96, 3), P("CHAR", "3"));
    EXPECT_EQ(TypeText(100, 4), P("BINARY_FLOAT", ""));
    EXPECT_EQ(TypeText(101, 8), P("BINARY_DOUBLE", ""));
    EXPECT_EQ(TypeText(108, 0), P("-UNKNOWN TYPE-108", ""));
    EXPECT_EQ(TypeText(112, 86, 0, 0, 1), P("CLOB", ""));
    EXPECT_EQ(TypeText(112, 86, 0, 0, 2), P("NCLOB", ""));
    EXPECT_EQ(TypeText(113, 86), P("BLOB", ""));
    EXPECT_EQ(TypeText(114, 530), P("BFILE", ""));
    EXPECT_EQ(TypeText(180, 11, 0, 0), P("TIMESTAMP", ""));
    EXPECT_EQ(TypeText(187, 11, 0, 6), P("TIMESTAMP(6)", ""));
    EXPECT_EQ(TypeText(181, 13, 0, 3), P("TIMESTAMP(3) WITH TIME ZONE", ""));
    EXPECT_EQ(TypeText(188, 13, 0, 0), P("TIMESTAMP WITH TIME ZONE", ""));
    EXPECT_EQ(TypeText(182, 5), P("INTERVAL YEAR(2) TO MONTH", ""));
    EXPECT_EQ(TypeText(190, 11), P("INTERVAL DAY(2) TO SECOND(6)", ""));
    EXPECT_EQ(TypeText(231, 11, 0, 9), P("TIMESTAMP(9) WITH LOCAL TIME ZONE", ""));
    EXPECT_EQ(TypeText(232, 11, 0, 0), P("TIMESTAMP WITH LOCAL TIME ZONE", ""));
    EXPECT_EQ(TypeText(999, 5), P("-UNKNOWN-999", "5"));
}

} // namespace
