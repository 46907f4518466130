// The environment, the Oracle 8 describe and binds, against a scripted client.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "fake_client.h"

namespace {

class ClientTest : public ::testing::Test {
protected:
    FakeClient fake;
    OraSession session{};
    void SetUp() override {
        oci_reset_globals_for_test();
        fake.Install();
    }
    void TearDown() override { oci_reset_globals_for_test(); }
    void Fresh() {
        g_oci_env_ready = 0;
        g_oci_env = nullptr;
        fake.Install();
        g_oci_env_ready = 0;
        g_oci_env = nullptr;
    }
};

std::string TempPath(const char* name) {
    std::string p = "/tmp/tavrelix_oracle_" + std::to_string(getpid()) + "_" + name;
    std::remove(p.c_str());
    return p;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST_F(ClientTest, EnvironmentCodePageFromTheClientCharacterSet) {
    Fresh();
    fake.nls_name = "UTF8";
    CString msg;
    EXPECT_EQ(oci8_init_env(&msg), ORARC_INIT_FAILED);
    EXPECT_EQ(msg, u"NLS_LANG=UTF8はサポートしていません");
    EXPECT_EQ(g_oci_env_ready, 0);
    EXPECT_EQ(fake.allocs[OCI_HTYPE_ENV], fake.frees[OCI_HTYPE_ENV]);
    EXPECT_EQ(fake.allocs[OCI_HTYPE_ERROR], fake.frees[OCI_HTYPE_ERROR]);
    EXPECT_EQ(fake.env_mode, ub4(OCI_THREADED | OCI_OBJECT));

    fake.nls_name = "AL32UTF8";
    EXPECT_EQ(oci8_init_env(&msg), ORARC_OK);
    EXPECT_EQ(g_oci_code_page, 65001);
    EXPECT_EQ(g_oci_env_ready, 1);
    fake.calls.clear();
    EXPECT_EQ(oci8_init_env(&msg), ORARC_OK);
    EXPECT_TRUE(fake.calls.empty());

    Fresh();
    g_oci_object_api = 0;
    fake.nls_name = "JA16SJISTILDE";
    g_oci_code_page = 65001;
    EXPECT_EQ(oci8_init_env(nullptr), ORARC_OK);
    EXPECT_EQ(g_oci_code_page, 0);
    EXPECT_EQ(fake.env_mode, ub4(OCI_THREADED));
}

TEST_F(ClientTest, EnvironmentThroughTheOlderCallsAndItsFailures) {
    fake.with_env_create = false;
    Fresh();
    EXPECT_EQ(oci8_init_env(nullptr), ORARC_OK);
    EXPECT_EQ(fake.Count("OCIInitialize"), 1);
    EXPECT_EQ(fake.Count("OCIEnvInit"), 1);
    EXPECT_EQ(g_oci_env_ready, 1);

    Fresh();
    fake.allocs.clear();
    fake.frees.clear();
    fake.nls_result = OCI_ERROR;
    CString msg;
    EXPECT_EQ(oci8_init_env(&msg), ORARC_INIT_FAILED);
    EXPECT_EQ(msg, u"FAILED: OCINlsGetInfo()\n");
    EXPECT_EQ(fake.allocs[OCI_HTYPE_ENV], fake.frees[OCI_HTYPE_ENV]); // no handle left behind
    EXPECT_EQ(oci8_init_env(&msg), ORARC_INIT_FAILED);
    EXPECT_EQ(fake.allocs[OCI_HTYPE_ENV], fake.frees[OCI_HTYPE_ENV]);
}

class DescribeTest : public ClientTest {
protected:
    OraCursor cursor{};
    void SetUp() override {
        ClientTest::SetUp();
        session.err = reinterpret_cast<OCIError*>(&session);
    }
    void TearDown() override {
        oci_del_cursor(&session, &cursor, nullptr);
        ClientTest::TearDown();
    }
    int Describe(CString* msg = nullptr) {
        EXPECT_EQ(oci_cre_cursor(&session, &cursor, u"select * from T", nullptr), ORARC_OK);
        return oci_desc_cursor(&session, &cursor, msg);
    }
};

TEST_F(DescribeTest, Oracle8BufferSizes) {
    fake.columns = {{"V", SQLT_CHR, 10},
                    {"V0", SQLT_CHR, 0},
                    {"N", SQLT_NUM, 22, 10, 2},
                    {"NP", SQLT_NUM, 22, 0, -127},
                    {"FL", SQLT_NUM, 22, 126, -127},
                    {"D", SQLT_DAT, 7},
                    {"TS", 187, 11, 0, 6},
                    {"IV", 183, 11},
                    {"RID", SQLT_RDD, 10},
                    {"RAW", SQLT_BIN, 16},
                    {"LG", SQLT_LNG, 0},
                    {"C", SQLT_CLOB, 4000},
                    {"B", SQLT_BLOB, 4000},
                    {"F", SQLT_BFILEE, 530},
                    {"BF", SQLT_IBFLOAT, 4},
                    {"BD", SQLT_IBDOUBLE, 8},
                    {"REF", SQLT_REF, 0},
                    {"LR", SQLT_LBI, 0}};
    ASSERT_EQ(Describe(), ORARC_OK);
    ASSERT_EQ(cursor.col_count, int(fake.columns.size()));
    const OraColumnDesc* d = cursor.desc;
    EXPECT_EQ(d[0].buffer_size, 11);
    EXPECT_EQ(d[0].text_size, 22);
    EXPECT_EQ(d[1].buffer_size, 2001);
    EXPECT_EQ(d[2].buffer_size, 13);
    EXPECT_EQ(d[3].buffer_size, 133);
    EXPECT_EQ(d[3].scale, 129);
    EXPECT_EQ(d[4].scale, 129);
    EXPECT_EQ(d[5].buffer_size, 128);
    EXPECT_EQ(d[6].buffer_size, 192);
    EXPECT_EQ(d[6].scale, 6);
    EXPECT_EQ(d[7].buffer_size, 192);
    EXPECT_EQ(d[8].buffer_size, 24);
    EXPECT_EQ(d[9].buffer_size, 33);
    EXPECT_EQ(d[10].buffer_size, 65536);
    EXPECT_EQ(d[11].buffer_size, 4096 + 24);
    EXPECT_EQ(d[11].define_type, SQLT_CLOB);
    EXPECT_EQ(d[11].display_size, 4096);
    EXPECT_EQ(d[11].value_kind, 1);
    EXPECT_EQ(d[11].charset_form, SQLCS_IMPLICIT);
    EXPECT_EQ(d[12].buffer_size, 72);
    EXPECT_EQ(d[13].buffer_size, 536);
    EXPECT_EQ(d[13].display_size, 512);
    EXPECT_EQ(d[14].buffer_size, 20);
    EXPECT_EQ(d[15].buffer_size, 40);
    EXPECT_EQ(d[16].define_type, SQLT_REF);
    EXPECT_EQ(d[16].display_size, 300);
    EXPECT_EQ(d[17].buffer_size, 2000);
    EXPECT_EQ(cursor.lob_col_count, 3);
    EXPECT_EQ(cursor.obj_col_count, 1);
    EXPECT_STREQ(d[3].name, "NP");
    EXPECT_EQ(std::u16string(d[4].wname), u"FL");

    char type[100], size[20];
    EXPECT_EQ(oci_get_col_type_str(&session, &d[4], type, size, nullptr), ORARC_OK);
    EXPECT_STREQ(type, "FLOAT");
    EXPECT_STREQ(size, "126");
    EXPECT_EQ(oci_get_col_type_str(&session, &d[3], type, size, nullptr), ORARC_OK);
    EXPECT_STREQ(type, "NUMBER");
    EXPECT_STREQ(size, "");
}

TEST_F(DescribeTest, CharacterColumnsUnderUtf8) {
    fake.columns = {{"V", SQLT_CHR, 10}, {"V0", SQLT_CHR, 0}, {"C", SQLT_AFC, 3}};
    g_oci_code_page = 65001;
    session.sjis = 1;
    ASSERT_EQ(Describe(), ORARC_OK);
    EXPECT_EQ(cursor.desc[0].buffer_size, 33);
    EXPECT_EQ(cursor.desc[1].buffer_size, 6003);
    EXPECT_EQ(cursor.desc[2].buffer_size, 12);
    oci_del_cursor(&session, &cursor, nullptr);
    session.sjis = 0;
    ASSERT_EQ(Describe(), ORARC_OK);
    EXPECT_EQ(cursor.desc[0].buffer_size, 22);
    EXPECT_EQ(cursor.desc[1].buffer_size, 4002);
}

TEST_F(DescribeTest, UnlistedTypeIsNamedAndTheRestDescribed) {
    std::string path = TempPath("desc.log");
    std::u16string wpath = Utf8ToWide(path.c_str());
    session.log_path = wpath.data();
    fake.columns = {{"A", SQLT_CHR, 5}, {"ODD", 58, 7}, {"B", SQLT_NUM, 22, 5, 0}};
    CString msg;
    EXPECT_EQ(Describe(&msg), ORARC_UNSUPPORTED_TYPE);
    EXPECT_EQ(msg, u"サポートしていないデータ型です(項目名:ODD, データ型:58)\n");
    EXPECT_EQ(cursor.col_count, 3);
    EXPECT_EQ(cursor.desc[2].buffer_size, 8);
    EXPECT_EQ(
        ReadFile(path),
        "\n---\nerror in oci_desc_cursor: \n this datatype is not support. \n colname: ODD, datatype: 58\n");
    session.log_path = nullptr;
    std::remove(path.c_str());

    // Objects without the object calls: the message only.
    oci_del_cursor(&session, &cursor, nullptr);
    g_oci_object_api = 0;
    fake.columns = {{"O", SQLT_NTY, 0}};
    EXPECT_EQ(Describe(&msg), ORARC_UNSUPPORTED_TYPE);
    EXPECT_EQ(msg, u"サポートしていないデータ型です(項目名:O, データ型:108)\n");
}

TEST_F(DescribeTest, ReprepareAfterDescribe) {
    fake.columns = {{"A", SQLT_CHR, 5}};
    g_oci_reprepare = 1;
    ASSERT_EQ(Describe(), ORARC_OK);
    EXPECT_EQ(fake.Count("OCIStmtPrepare"), 2);
    EXPECT_EQ(fake.prepared, "select * from T");
    EXPECT_EQ(fake.frees[OCI_HTYPE_STMT], 1);
}

TEST_F(DescribeTest, MissingTableNamesTheObjectAtTheErrorPosition) {
    fake.execute = OCI_ERROR;
    fake.error_code = 942;
    fake.error_text = "ORA-00942: table or view does not exist\n";
    struct {
        const char16_t* sql;
        ub2 offset;
        const char16_t* message;
        const char16_t* object;
    } cases[] = {
        {u"select * from nosuch where 1=1", 14, u"[row:1,col:15] ORA-00942", u"nosuch"},
        {u"select *\r\nfrom nosuch", 15, u"[row:2,col:6] ORA-00942", u"nosuch"},
        {u"select * from a.nosuch,b", 14, u"[row:1,col:15] ORA-00942", u"a.nosuch"},
        {u"select * from nosuch", 5000, u"[row:1,col:21] ORA-00942", u""},
        {u"select * from nosuch", 20, u"[row:1,col:21] ORA-00942", u""},
    };
    for (auto& t : cases) {
        OraCursor c{};
        ASSERT_EQ(oci_cre_cursor(&session, &c, t.sql, nullptr), ORARC_OK);
        fake.parse_offset = t.offset;
        CString msg;
        EXPECT_EQ(oci_desc_cursor(&session, &c, &msg), ORARC_ORACLE_ERROR);
        EXPECT_EQ(msg.Left(int(std::u16string(t.message).size())), t.message);
        EXPECT_EQ(std::u16string(session.missing_object), t.object);
        EXPECT_EQ(session.last_error, 942);
        EXPECT_EQ(ora_cda_rc(&c), 942);
        oci_del_cursor(&session, &c, nullptr);
    }
}

TEST_F(DescribeTest, LongOracleTextsBehindThePrefixAreKeptWhole) {
    fake.execute = OCI_ERROR;
    fake.error_code = 1;
    fake.error_text = "ORA-00001: " + std::string(1012, 'x');
    fake.parse_offset = 3;
    CString msg;
    EXPECT_EQ(Describe(&msg), ORARC_ORACLE_ERROR);
    EXPECT_EQ(msg.GetLength(), int(std::u16string(u"[row:1,col:4] ").size()) + 1023);
    // A client text that fills its whole buffer is cut at a whole character.
    oci_del_cursor(&session, &cursor, nullptr);
    g_oci_code_page = 65001;
    fake.error_text = "ORA-00001: ";
    while (fake.error_text.size() < 1100) fake.error_text += "\xE6\xBC\xA2";
    EXPECT_EQ(Describe(&msg), ORARC_ORACLE_ERROR);
    std::u16string text(msg.GetString());
    EXPECT_EQ(text.substr(0, 25), u"[row:1,col:4] ORA-00001: ");
    EXPECT_EQ(text.back(), u'漢');
    EXPECT_EQ((text.size() - 25) * 3 + 11, 1023u - (1023u - 11) % 3);
}

TEST_F(ClientTest, StringBindsChooseTheCharsetForm) {
    session.err = reinterpret_cast<OCIError*>(&session);
    OraCursor c{};
    g_oci_code_page = 65001;
    ASSERT_EQ(oci_cre_cursor(&session, &c, u"select :X0, :X1, :X2 from dual", nullptr), ORARC_OK);
    EXPECT_EQ(oci_bind_str(&session, &c, u":X0", u"\uD55C", nullptr), ORARC_OK);
    EXPECT_EQ(oci_bind_str(&session, &c, u":X1", u"abc", nullptr), ORARC_OK);
    EXPECT_EQ(oci_bind_str(&session, &c, u":X2", u"日本語", nullptr), ORARC_OK);
    int n = 5;
    EXPECT_EQ(oci_bind_int(&session, &c, u":X3", &n, nullptr), ORARC_OK);
    ASSERT_EQ(fake.binds.size(), 4u);
    EXPECT_EQ(fake.binds[0].form, 2);
    EXPECT_EQ(fake.binds[0].size, 4);
    EXPECT_EQ(fake.binds[0].value, std::string("\xED\x95\x9C", 4));
    EXPECT_EQ(fake.binds[1].form, 1);
    EXPECT_EQ(fake.binds[1].size, 4);
    EXPECT_EQ(fake.binds[2].form, 1);
    EXPECT_EQ(fake.binds[2].size, 10);
    EXPECT_EQ(fake.binds[3].type, SQLT_INT);
    EXPECT_EQ(fake.binds[3].size, 4);
    EXPECT_EQ(fake.binds[1].name, ":X1");
    oci_del_cursor(&session, &c, nullptr);

    // The same value in a CP932 session has no form there.
    g_oci_code_page = 0;
    ASSERT_EQ(oci_cre_cursor(&session, &c, u"select :X0 from dual", nullptr), ORARC_OK);
    CString msg;
    EXPECT_EQ(oci_bind_str(&session, &c, u":X0", u"\uD55C", &msg), ORARC_FAILED);
    EXPECT_EQ(msg, u"エラー(oci_bind_str())\n");
    oci_del_cursor(&session, &c, nullptr);
}

TEST_F(ClientTest, UnknownBindNameFailsWithTheCallSetsHeader) {
    std::string path = TempPath("bind.log");
    std::u16string wpath = Utf8ToWide(path.c_str());
    session.log_path = wpath.data();
    session.err = reinterpret_cast<OCIError*>(&session);
    fake.bind = OCI_ERROR;
    fake.error_code = 1036;
    fake.error_text = "ORA-01036: illegal variable name/number\n";
    for (int oci7 : {0, 1}) {
        session.oci7 = oci7;
        OraCursor c{};
        ASSERT_EQ(oci_cre_cursor(&session, &c, u"select :X0 from dual", nullptr), ORARC_OK);
        CString msg;
        EXPECT_EQ(oci_bind_str(&session, &c, u":X9", u"v", &msg), ORARC_ORACLE_ERROR);
        EXPECT_NE(msg.Find(u"ORA-01036"), -1);
        oci_del_cursor(&session, &c, nullptr);
    }
    std::string log = ReadFile(path);
    EXPECT_EQ(log.find("\n---\nerror in oci8_bind_cursor:\n"), 0u);
    EXPECT_NE(log.find("\n---\nerror in oci_bind_cursor: \n"), std::string::npos);
    session.log_path = nullptr;
    std::remove(path.c_str());
}

} // namespace
