// The lower half of the layer against the client stand-in and its variant
// builds: sessions, environment, binds and describe.
#include "standin_fixture.h"

#include <dlfcn.h>

namespace oratest {
namespace {

TEST_F(StandinTest, LogonWithBothCallSetsAndEveryConnectMode) {
    ASSERT_NO_FATAL_FAILURE(Load());
    EXPECT_EQ(g_oci8_available, 1);
    for (int oci7 : {0, 1}) {
        OraSession* s = Logon(oci7);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->oci7, oci7);
        OraCursor c{};
        ASSERT_EQ(oci_cre_cursor(s, &c, u"select user from dual \n", nullptr), ORARC_OK);
        CString msg;
        ASSERT_EQ(oci_desc_cursor(s, &c, &msg), ORARC_OK) << Narrow(msg);
        ASSERT_EQ(c.col_count, 1);
        EXPECT_STREQ(c.desc[0].name, "USER");
        EXPECT_EQ(oci_del_cursor(s, &c, nullptr), ORARC_OK);
        EXPECT_EQ(oci_ora_commit(s, nullptr), ORARC_OK);
        EXPECT_EQ(oci_ora_rollback(s, nullptr), ORARC_OK);
        // Switching a live session both ways.
        EXPECT_EQ(oci_set_api_mode(s, 1 - oci7, nullptr), ORARC_OK);
        EXPECT_EQ(s->oci7, 1 - oci7);
        EXPECT_EQ(oci_set_api_mode(s, oci7, nullptr), ORARC_OK);
        EXPECT_EQ(oci_ora_logout(&sessions.back()), ORARC_OK);
    }
    EXPECT_NE(Logon(0, u"sys", u"change_on_install", 2), nullptr);
    EXPECT_NE(Logon(0, u"sys", u"change_on_install", 4), nullptr);
    EXPECT_EQ(g_oci_code_page, 65001);
}

TEST_F(StandinTest, WrongPasswordAndExpiringPassword) {
    ASSERT_NO_FATAL_FAILURE(Load());
    fs::path log = home / "oracle.log";
    OraSession* s = nullptr;
    CString msg;
    EXPECT_EQ(oci_login2(&s, u"system", u"wrong", u"TEST", Utf8ToWide(log.c_str()).c_str(), 0, &msg, nullptr),
              ORARC_ORACLE_ERROR);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(msg.Left(9), u"ORA-01017");
    EXPECT_EQ(ReadFile(log), "\n---\nerror in oci_login2:\n user:system tns:TEST\n");

    Exec(Logon(), u"create user scott identified by tiger");
    Control("user_warning scott 28002");
    int warning = 0;
    s = Logon(0, u"scott", u"tiger", 0, &msg, &warning);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(warning, 1);
    EXPECT_EQ(msg.Left(9), u"ORA-28002");
    EXPECT_EQ(oci_ora_commit(s, nullptr), ORARC_OK);
}

TEST_F(StandinTest, ClientWithoutOracle8CallsLogsOnWithOlog) {
    ASSERT_NO_FATAL_FAILURE(Load("no_definebypos"));
    EXPECT_EQ(g_oci8_available, 0);
    OraSession* s = Logon();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->oci7, 1);
    EXPECT_EQ(oci_set_api_mode(s, 0, nullptr), ORARC_OK); // nothing to switch
    EXPECT_EQ(s->oci7, 1);
    EXPECT_EQ(oci_get_server_version(s), 0.0);
    OraCursor c{};
    ASSERT_EQ(oci_cre_cursor(s, &c, u"select user from dual", nullptr), ORARC_OK);
    EXPECT_EQ(oci_desc_cursor(s, &c, nullptr), ORARC_OK);
    EXPECT_EQ(oci_del_cursor(s, &c, nullptr), ORARC_OK);
    CString msg;
    OraSession* bad = nullptr;
    EXPECT_EQ(oci_login2(&bad, u"system", u"wrong", u"TEST", nullptr, 0, &msg, nullptr), ORARC_ORACLE_ERROR);
    EXPECT_EQ(msg.Left(9), u"ORA-01017");
}

TEST_F(StandinTest, Oracle7ChoiceIsUndoneBeforeTheSessionEnds) {
    ASSERT_NO_FATAL_FAILURE(Load());
    OraSession* s = Logon(1);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->oci7, 1);
    TAP(orol), TAP(OCILdaToSvcCtx), TAP(OCISessionEnd), TAP(OCISvcCtxToLda);
    EXPECT_EQ(oci_set_api_mode(s, 1, nullptr), ORARC_OK);
    EXPECT_TRUE(g_calls.empty()); // already there
    EXPECT_EQ(oci_ora_logout(&sessions.back()), ORARC_OK);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"orol", "OCILdaToSvcCtx", "OCISessionEnd"}));
}

TEST_F(StandinTest, InjectedLogoffFailuresStillDetachAndFree) {
    ASSERT_NO_FATAL_FAILURE(Load());
    TAP(OCIServerDetach);
    TAP(OCIHandleFree) = [](dvoid*, ub4 type) { g_calls.push_back(std::to_string(type)); };
    for (const char* entry : {"OCISessionEnd", "OCILdaToSvcCtx", "OCIServerDetach"}) {
        SCOPED_TRACE(entry);
        OraSession* s = Logon(std::string(entry) == "OCILdaToSvcCtx");
        ASSERT_NE(s, nullptr);
        g_calls.clear();
        Control(std::string("fail ") + entry + " 3113");
        EXPECT_EQ(oci_ora_logout(&sessions.back()), ORARC_ORACLE_ERROR);
        EXPECT_EQ(Calls("OCIServerDetach"), 1);
        for (ub4 t : {OCI_HTYPE_SERVER, OCI_HTYPE_SVCCTX, OCI_HTYPE_ERROR, OCI_HTYPE_SESSION})
            EXPECT_EQ(Calls(std::to_string(t)), 1) << t;
    }
}

TEST_F(StandinTest, ServerVersionIsCachedButNotAFailure) {
    ASSERT_NO_FATAL_FAILURE(Load());
    OraSession* s = Logon();
    ASSERT_NE(s, nullptr);
    Control("fail OCIServerRelease 3113");
    EXPECT_EQ(oci_get_server_version(s), 0.0);
    EXPECT_DOUBLE_EQ(oci_get_server_version(s), 11.2);
    Control("server_release 10.2.0.5.0");
    EXPECT_DOUBLE_EQ(oci_get_server_version(s), 11.2);
    OraSession* t = Logon();
    ASSERT_NE(t, nullptr);
    EXPECT_DOUBLE_EQ(oci_get_server_version(t), 10.2);
}

TEST_F(StandinTest, MissingTableErrorsCarryTheirPosition) {
    ASSERT_NO_FATAL_FAILURE(Load());
    for (int oci7 : {0, 1}) {
        OraSession* s = Logon(oci7);
        ASSERT_NE(s, nullptr);
        struct {
            const char16_t* sql;
            const char16_t* prefix;
        } cases[] = {{u"select * from nosuch where 1=1", u"[row:1,col:15] ORA-00942"},
                     {u"select *\r\nfrom nosuch", u"[row:2,col:6] ORA-00942"}};
        for (auto& t : cases) {
            SCOPED_TRACE(WideToUtf8(t.sql) + (oci7 ? " oci7" : ""));
            OraCursor c{};
            CString msg;
            int rc = oci_cre_cursor(s, &c, t.sql, &msg);
            if (rc == ORARC_OK) rc = oci_desc_cursor(s, &c, &msg);
            EXPECT_EQ(rc, ORARC_ORACLE_ERROR);
            EXPECT_EQ(msg.Left(int(std::u16string(t.prefix).size())), t.prefix) << Narrow(msg);
            if (!oci7) {
                EXPECT_EQ(std::u16string(s->missing_object), u"nosuch");
            }
            EXPECT_EQ(s->last_error, 942);
            oci_del_cursor(s, &c, nullptr);
        }
    }
}

TEST_F(StandinTest, RefusedCharacterSetThenAnotherTry) {
    setenv("NLS_LANG", "AMERICAN_AMERICA.UTF8", 1);
    ASSERT_NO_FATAL_FAILURE(Load());
    TAP(OCIHandleFree) = [](dvoid*, ub4 type) { g_calls.push_back(std::to_string(type)); };
    CString msg;
    EXPECT_EQ(oci8_init_env(&msg), ORARC_INIT_FAILED);
    EXPECT_EQ(msg, u"NLS_LANG=UTF8はサポートしていません");
    EXPECT_EQ(Calls(std::to_string(OCI_HTYPE_ENV)), 1);
    EXPECT_EQ(Calls(std::to_string(OCI_HTYPE_ERROR)), 1);
    setenv("NLS_LANG", "JAPANESE_JAPAN.AL32UTF8", 1);
    EXPECT_EQ(oci8_init_env(&msg), ORARC_OK);
    EXPECT_EQ(g_oci_code_page, 65001);
    EXPECT_EQ(g_oci_env_ready, 1);
    // Made once: a further call touches no client function.
    TAP(OCIEnvCreate);
    TAP(OCINlsGetInfo);
    g_calls.clear();
    EXPECT_EQ(oci8_init_env(&msg), ORARC_OK);
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(StandinTest, EnvironmentModeFollowsTheObjectCalls) {
    for (const char* variant : {"no_objects", "no_envcreate"}) {
        SCOPED_TRACE(variant);
        ASSERT_NO_FATAL_FAILURE(Reload(variant));
        if (g_real.OCIEnvCreate)
            TAP(OCIEnvCreate) = [](auto, ub4 mode, auto...) { g_calls.push_back(std::to_string(mode)); };
        else
            TAP(OCIInitialize) = [](ub4 mode, auto...) { g_calls.push_back(std::to_string(mode)); };
        ASSERT_EQ(oci8_init_env(nullptr), ORARC_OK);
        EXPECT_EQ(g_calls, std::vector<std::string>{std::string(variant) == "no_objects" ? "1" : "3"});
        EXPECT_NE(Logon(), nullptr);
    }
}

TEST_F(StandinTest, BindsOfBothCallSets) {
    ASSERT_NO_FATAL_FAILURE(Load());
    // Oracle 8 binds as name:size:type, and the charset forms set.
    TAP(OCIBindByName) = [](auto, auto, auto, const OraText* name, sb4 len, auto, sb4 size, ub2 type,
                            auto...) {
        g_calls.push_back(std::string(reinterpret_cast<const char*>(name), size_t(len)) + ":" +
                          std::to_string(size) + ":" + std::to_string(type));
    };
    TAP(OCIAttrSet) = [](dvoid*, ub4 type, dvoid* value, ub4, ub4 attr, OCIError*) {
        if (type == OCI_HTYPE_BIND && attr == OCI_ATTR_CHARSET_FORM)
            g_calls.push_back("form" + std::to_string(*static_cast<ub1*>(value)));
    };
    fs::path log = home / "bind.log";
    std::u16string wlog = Utf8ToWide(log.c_str());
    for (int oci7 : {0, 1}) {
        OraSession* s = Logon(oci7, u"system", u"manager", 0, nullptr, nullptr, wlog.c_str());
        ASSERT_NE(s, nullptr);
        OraCursor c{};
        CString msg;
        ASSERT_EQ(oci_cre_cursor(s, &c, u"select :X0, :X1, :X2, :X3 from dual", nullptr), ORARC_OK);
        EXPECT_EQ(oci_bind_str(s, &c, u":X0", u"\uD55C", &msg), ORARC_OK) << Narrow(msg);
        EXPECT_EQ(oci_bind_str(s, &c, u":X1", u"abc", &msg), ORARC_OK) << Narrow(msg);
        EXPECT_EQ(oci_bind_str(s, &c, u":X2", u"日本語", &msg), ORARC_OK) << Narrow(msg);
        int n = 3;
        EXPECT_EQ(oci_bind_int(s, &c, u":X3", &n, &msg), ORARC_OK) << Narrow(msg);
        EXPECT_EQ(oci_bind_str(s, &c, u":X9", u"v", &msg), ORARC_ORACLE_ERROR);
        EXPECT_NE(msg.Find(u"ORA-01036"), -1) << Narrow(msg);
        oci_del_cursor(s, &c, nullptr);
    }
    EXPECT_EQ(g_calls,
              (std::vector<std::string>{":X0:4:5", "form2", ":X1:4:5", ":X2:10:5", ":X3:4:3", ":X9:2:5"}));
    std::string text = ReadFile(log);
    EXPECT_EQ(text.find("\n---\nerror in oci8_bind_cursor:\n"), 0u);
    EXPECT_NE(text.find("\n---\nerror in oci_bind_cursor: \n"), std::string::npos);
}

TEST_F(StandinTest, EveryColumnTypeDescribesInBothCallSets) {
    ASSERT_NO_FATAL_FAILURE(Load());
    TAP(OCIDescriptorAlloc) = [](const dvoid*, dvoid**, ub4 type, size_t, dvoid**) {
        g_calls.push_back("alloc" + std::to_string(type));
    };
    TAP(OCIDescriptorFree) = [](dvoid*, ub4 type) { g_calls.push_back("free" + std::to_string(type)); };
    auto live = [](ub4 type) {
        return Calls("alloc" + std::to_string(type)) - Calls("free" + std::to_string(type));
    };
    OraSession* admin = Logon();
    ASSERT_NE(admin, nullptr);
    Exec(admin,
         u"create table ALLT (A VARCHAR2(10), B CHAR(3), C NUMBER(10,2), D NUMBER, E FLOAT(126), F DATE, "
         u"G RAW(16), H LONG, I CLOB, J NCLOB, K BLOB, X BFILE, M TIMESTAMP(6), N TIMESTAMP(3) WITH TIME "
         u"ZONE, O INTERVAL YEAR(2) TO MONTH, P INTERVAL DAY(2) TO SECOND(6), Q NVARCHAR2(10), "
         u"R BINARY_FLOAT, S BINARY_DOUBLE, T TIMESTAMP WITH LOCAL TIME ZONE, U NUMBER(5,-2))");
    struct Expect {
        const char* name;
        int oci8, oci7; // buffer sizes; 0: unsupported
        const char *type, *size;
    } expect[] = {{"ROWID", 24, 24, "ROWID", ""},
                  {"A", 22, 22, "VARCHAR2", "10"},
                  {"B", 8, 8, "CHAR", "3"},
                  {"C", 13, 13, "NUMBER", "10,2"},
                  {"D", 133, 168, "NUMBER", ""},
                  {"E", 132, 256, "FLOAT", "126"},
                  {"F", 128, 128, "DATE", ""},
                  {"G", 33, 33, "RAW", "16"},
                  {"H", 65536, 65536, "LONG", "0"},
                  {"I", 4120, 0, "CLOB", ""},
                  {"J", 4120, 0, "NCLOB", ""},
                  {"K", 72, 0, "BLOB", ""},
                  {"X", 536, 0, "BFILE", ""},
                  {"M", 192, 192, "TIMESTAMP(6)", ""},
                  {"N", 192, 192, "TIMESTAMP(3) WITH TIME ZONE", ""},
                  {"O", 192, 192, "INTERVAL YEAR(2) TO MONTH", ""},
                  {"P", 192, 192, "INTERVAL DAY(2) TO SECOND(6)", ""},
                  {"Q", 42, 42, "NVARCHAR2", "10"},
                  {"R", 20, 0, "BINARY_FLOAT", ""},
                  {"S", 40, 0, "BINARY_DOUBLE", ""},
                  {"T", 192, 192, "TIMESTAMP(6) WITH LOCAL TIME ZONE", ""},
                  {"U", 10, 10, "NUMBER", "5,-2"}};
    const int n = int(std::size(expect));
    for (int oci7 : {0, 1}) {
        ASSERT_EQ(oci_set_api_mode(admin, oci7, nullptr), ORARC_OK);
        OraCursor c{};
        ASSERT_EQ(oci_cre_cursor(admin, &c, u"SELECT ROWID, A.* FROM ALLT A", nullptr), ORARC_OK);
        CString msg;
        EXPECT_EQ(oci_desc_cursor(admin, &c, &msg), oci7 ? ORARC_UNSUPPORTED_TYPE : ORARC_OK) << Narrow(msg);
        ASSERT_EQ(c.col_count, n);
        for (int i = 0; i < n; ++i) {
            const Expect& e = expect[i];
            SCOPED_TRACE(std::string(e.name) + (oci7 ? " oci7" : ""));
            EXPECT_STREQ(c.desc[i].name, e.name);
            int size = oci7 ? e.oci7 : e.oci8;
            if (size) {
                EXPECT_EQ(c.desc[i].buffer_size, size);
            }
            EXPECT_EQ(c.desc[i].text_size, c.desc[i].buffer_size * 2);
            char type[100], size_text[20];
            EXPECT_EQ(oci_get_col_type_str(admin, &c.desc[i], type, size_text, nullptr), ORARC_OK);
            // The Oracle 7 describe knows no charset form: national columns read as plain ones.
            std::string want_type = e.type, want_size = e.size;
            if (oci7 && want_type == "NCLOB") want_type = "CLOB";
            if (oci7 && want_type == "NVARCHAR2") want_type = "VARCHAR2", want_size = "20";
            EXPECT_EQ(type, want_type);
            EXPECT_EQ(size_text, want_size);
        }
        if (oci7) {
            EXPECT_EQ(msg, u"サポートしていないデータ型です(項目名:S, データ型:101)\n");
        } else {
            // One locator per row of every LOB column, and all of them freed.
            ASSERT_EQ(oci_alloc_fetch_bufs(&c, 10, &msg), ORARC_OK);
            EXPECT_EQ(c.lob_col_count, 4);
            EXPECT_EQ(live(OCI_DTYPE_LOB), 3 * c.rows_per_fetch);
            EXPECT_EQ(live(OCI_DTYPE_FILE), c.rows_per_fetch);
            EXPECT_EQ(oci8_define_by_pos(admin, &c, &msg), ORARC_OK) << Narrow(msg);
        }
        EXPECT_EQ(oci_del_cursor(admin, &c, nullptr), ORARC_OK);
        EXPECT_EQ(live(OCI_DTYPE_LOB), 0);
        EXPECT_EQ(live(OCI_DTYPE_FILE), 0);
    }
}

TEST_F(StandinTest, ShiftJisSessionCountsItsOwnCharacters) {
    setenv("NLS_LANG", "JAPANESE_JAPAN.JA16SJISTILDE", 1);
    ASSERT_NO_FATAL_FAILURE(Load());
    OraSession* s = Logon();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(g_oci_code_page, 0);
    OraCursor c{};
    CString msg;
    ASSERT_EQ(oci_cre_cursor(s, &c, u"select 'あいう' a from nosuch", &msg), ORARC_OK);
    EXPECT_EQ(oci_desc_cursor(s, &c, &msg), ORARC_ORACLE_ERROR);
    EXPECT_EQ(msg.Left(25), u"[row:1,col:21] ORA-00942:") << Narrow(msg);
    oci_del_cursor(s, &c, nullptr);

    OraSession* t = nullptr;
    EXPECT_EQ(oci_login2(&t, u"\uD55C", u"x", u"TEST", nullptr, 0, &msg, nullptr), ORARC_FAILED);
    EXPECT_EQ(msg, u"エラー(oci_login2())\n");
    // Nor can a bind carry it.
    ASSERT_EQ(oci_cre_cursor(s, &c, u"select :X0 from dual", nullptr), ORARC_OK);
    EXPECT_EQ(oci_bind_str(s, &c, u":X0", u"\uD55C", &msg), ORARC_FAILED);
    EXPECT_EQ(msg, u"エラー(oci_bind_str())\n");
    oci_del_cursor(s, &c, nullptr);
}

TEST_F(StandinTest, ClientVersionFromTheVersionBlock) {
    EXPECT_EQ(oci_get_dll_version(nullptr), 0.0); // nothing loaded
    struct {
        const char* variant;
        double version;
        const char16_t* text;
    } cases[] = {{nullptr, 11.2, u"11.2.0.4.0"},
                 {"v112", 0.0, u"11.2"},
                 {"file_version", 10.2, u"10.2.0.1.0"},
                 {"v9", 9.0, u"9.0.1.0.0"},
                 {"w32", 11.2, u"11.2.0.4.0"}};
    for (auto& t : cases) {
        SCOPED_TRACE(t.variant ? t.variant : "bin");
        ASSERT_NO_FATAL_FAILURE(Reload(t.variant));
        CString text;
        EXPECT_DOUBLE_EQ(oci_get_dll_version(&text), t.version);
        EXPECT_EQ(text, t.text);
        EXPECT_DOUBLE_EQ(oci_get_dll_version(nullptr), t.version);
    }
}

// Dates written and read on this thread leave nothing that holds the
// library: after its last FreeLibrary it is gone, and the next load starts
// afresh, as a new process's would.
TEST_F(StandinTest, TheLastFreeLibraryUnloadsTheClientAfterDatesWereConverted) {
    ASSERT_NO_FATAL_FAILURE(Load());
    OraSession* s = Logon();
    ASSERT_NE(s, nullptr);
    Exec(s, u"create table d (a date)");
    Exec(s, u"insert into d values (to_date('2024-02-29 12:34:56', 'YYYY-MM-DD HH24:MI:SS'))");
    OraDataset ds{};
    oci_init_dataset(&ds);
    CString msg;
    ASSERT_EQ(oci_sel_dataset(s, &ds, u"select a from d", 10, &msg, nullptr, nullptr), ORARC_OK)
        << Narrow(msg);
    ASSERT_EQ(ds.row_count, 1);
    EXPECT_FALSE(Cell(ds, 0, 0).empty());
    oci_free_dataset(&ds);
    const std::string path = std::string(ORACLE_BIN_DIR) + "/liboci.so";
    TearDown();
    void* still = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    EXPECT_EQ(still, nullptr) << "liboci.so stayed loaded after its last FreeLibrary";
    if (still) dlclose(still);
    SetUp();
}

} // namespace
} // namespace oratest
