// The layer against the client stand-in, loaded by name as a real client is.
// Every case runs in a temporary TNS_ADMIN and XDG_DATA_HOME.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "oracle/oci_api.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Call counts and arguments of wrapped entry points.
struct Spy {
    std::vector<std::string> calls;
    std::map<ub4, int> frees;
    std::vector<int> bind_forms;
    ub4 env_mode = 0;
};
Spy* g_spy = nullptr;
OciEntryPoints g_real;

class StandinTest : public ::testing::Test {
protected:
    fs::path home;
    Spy spy;
    std::vector<OraSession*> sessions;

    void SetUp() override {
        oci_reset_globals_for_test();
        char tmpl[] = "/tmp/tavrelix-oracle-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        home = tmpl;
        fs::create_directories(home / "tns");
        fs::create_directories(home / "data");
        std::ofstream(home / "tns" / "services.conf") << "TEST = ../db/test\n";
        setenv("TNS_ADMIN", (home / "tns").c_str(), 1);
        setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
        setenv("NLS_LANG", "JAPANESE_JAPAN.AL32UTF8", 1);
        unsetenv("NLS_NCHAR");
        g_spy = &spy;
    }
    void TearDown() override {
        for (OraSession*& s : sessions) oci_ora_logout(&s);
        if (g_oci_env_ready) g_oci.OCIHandleFree(g_oci_env, OCI_HTYPE_ENV);
        if (g_oci_module) FreeLibrary(g_oci_module);
        oci_reset_globals_for_test();
        SetDllDirectoryW(nullptr);
        g_spy = nullptr;
        std::error_code ec;
        fs::remove_all(home, ec);
    }

    // Loads the stand-in from the build's bin directory, or a variant.
    void Load(const char* variant = nullptr) {
        std::string dir = variant ? std::string(ORACLE_VARIANT_DIR) + "/" + variant : ORACLE_BIN_DIR;
        SetDllDirectoryW(Utf8ToWide(dir.c_str()).c_str());
        CString msg;
        ASSERT_EQ(oci_load_library(&msg), ORARC_OK);
        g_real = g_oci;
        Control("reset");
    }
    void Control(const std::string& command) {
        auto control = reinterpret_cast<pfn_oci_standin_control>(
            reinterpret_cast<void (*)()>(GetProcAddress(g_oci_module, "oci_standin_control")));
        ASSERT_NE(control, nullptr);
        char reply[256];
        ASSERT_EQ(control(command.c_str(), reply, sizeof reply), 0) << command << ": " << reply;
    }
    OraSession* Logon(const char16_t* user, const char16_t* password, int mode = 0, CString* msg = nullptr,
                      int* warning = nullptr, const char16_t* log = nullptr) {
        OraSession* s = nullptr;
        CString m;
        int rc = oci_login2(&s, user, password, u"TEST", log, mode, msg ? msg : &m, warning);
        EXPECT_EQ(rc, ORARC_OK) << WideToUtf8(msg ? msg->GetString() : m.GetString());
        if (s) sessions.push_back(s);
        return s;
    }
    void Logoff(OraSession* s) {
        for (OraSession*& p : sessions) {
            if (p == s) {
                EXPECT_EQ(oci_ora_logout(&p), ORARC_OK);
            }
        }
    }
    // Runs a statement without results on an Oracle 8 session.
    void Exec(OraSession* s, const char16_t* sql) {
        OraCursor c{};
        ASSERT_EQ(oci_cre_cursor(s, &c, sql, nullptr), ORARC_OK);
        if (s->oci7) {
            EXPECT_EQ(g_oci.oexec(reinterpret_cast<Cda_Def*>(c.cda)), 0) << WideToUtf8(sql);
        } else {
            EXPECT_EQ(g_oci.OCIStmtExecute(s->svc, c.stmt, s->err, 1, 0, nullptr, nullptr, 0), OCI_SUCCESS)
                << WideToUtf8(sql);
        }
        oci_del_cursor(s, &c, nullptr);
    }
};

TEST_F(StandinTest, LogonWithBothCallSetsAndEveryConnectMode) {
    ASSERT_NO_FATAL_FAILURE(Load());
    EXPECT_EQ(g_oci8_available, 1);
    for (int oci7 : {0, 1}) {
        g_use_oci7_api = oci7;
        OraSession* s = Logon(u"system", u"manager");
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->oci7, oci7);
        OraCursor c{};
        ASSERT_EQ(oci_cre_cursor(s, &c, u"select user from dual \n", nullptr), ORARC_OK);
        CString msg;
        ASSERT_EQ(oci_desc_cursor(s, &c, &msg), ORARC_OK) << WideToUtf8(msg);
        ASSERT_EQ(c.col_count, 1);
        EXPECT_STREQ(c.desc[0].name, "USER");
        EXPECT_EQ(oci_del_cursor(s, &c, nullptr), ORARC_OK);
        EXPECT_EQ(oci_ora_commit(s, nullptr), ORARC_OK);
        EXPECT_EQ(oci_ora_rollback(s, nullptr), ORARC_OK);
        // Switching a live session both ways.
        EXPECT_EQ(oci_set_api_mode(s, 1 - oci7, nullptr), ORARC_OK);
        EXPECT_EQ(s->oci7, 1 - oci7);
        EXPECT_EQ(oci_set_api_mode(s, oci7, nullptr), ORARC_OK);
        Logoff(s);
    }
    g_use_oci7_api = 0;
    EXPECT_NE(Logon(u"sys", u"change_on_install", 2), nullptr);
    EXPECT_NE(Logon(u"sys", u"change_on_install", 4), nullptr);
    EXPECT_EQ(g_oci_code_page, 65001);
}

TEST_F(StandinTest, WrongPasswordIsAnOracleErrorWithALogRecord) {
    ASSERT_NO_FATAL_FAILURE(Load());
    fs::path log = home / "oracle.log";
    std::u16string wlog = Utf8ToWide(log.c_str());
    OraSession* s = nullptr;
    CString msg;
    EXPECT_EQ(oci_login2(&s, u"system", u"wrong", u"TEST", wlog.c_str(), 0, &msg, nullptr),
              ORARC_ORACLE_ERROR);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(msg.Left(9), u"ORA-01017");
    EXPECT_EQ(ReadFile(log), "\n---\nerror in oci_login2:\n user:system tns:TEST\n");
}

TEST_F(StandinTest, ExpiringPasswordLogsOnWithTheWarning) {
    ASSERT_NO_FATAL_FAILURE(Load());
    OraSession* admin = Logon(u"system", u"manager");
    ASSERT_NE(admin, nullptr);
    Exec(admin, u"create user scott identified by tiger");
    Control("user_warning scott 28002");
    CString msg;
    int warning = 0;
    OraSession* s = Logon(u"scott", u"tiger", 0, &msg, &warning);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(warning, 1);
    EXPECT_EQ(msg.Left(9), u"ORA-28002");
    EXPECT_EQ(oci_ora_commit(s, nullptr), ORARC_OK);
}

TEST_F(StandinTest, ClientWithoutOracle8CallsLogsOnWithOlog) {
    ASSERT_NO_FATAL_FAILURE(Load("no_definebypos"));
    EXPECT_EQ(g_oci8_available, 0);
    OraSession* s = Logon(u"system", u"manager");
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
    g_oci.OCILdaToSvcCtx = [](OCISvcCtx** svc, OCIError* err, Lda_Def* lda) {
        g_spy->calls.push_back("OCILdaToSvcCtx");
        return g_real.OCILdaToSvcCtx(svc, err, lda);
    };
    g_oci.OCISessionEnd = [](OCISvcCtx* svc, OCIError* err, OCISession* ses, ub4 mode) {
        g_spy->calls.push_back("OCISessionEnd");
        return g_real.OCISessionEnd(svc, err, ses, mode);
    };
    g_use_oci7_api = 1;
    OraSession* s = Logon(u"system", u"manager");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->oci7, 1);
    EXPECT_EQ(oci_set_api_mode(s, 1, nullptr), ORARC_OK);
    EXPECT_TRUE(spy.calls.empty());
    Logoff(s);
    EXPECT_EQ(spy.calls, (std::vector<std::string>{"OCILdaToSvcCtx", "OCISessionEnd"}));
}

TEST_F(StandinTest, InjectedLogoffFailuresStillDetachAndFree) {
    ASSERT_NO_FATAL_FAILURE(Load());
    g_oci.OCIHandleFree = [](dvoid* h, ub4 type) {
        ++g_spy->frees[type];
        return g_real.OCIHandleFree(h, type);
    };
    g_oci.OCIServerDetach = [](OCIServer* srv, OCIError* err, ub4 mode) {
        g_spy->calls.push_back("OCIServerDetach");
        return g_real.OCIServerDetach(srv, err, mode);
    };
    for (const char* entry : {"OCISessionEnd", "OCILdaToSvcCtx"}) {
        g_use_oci7_api = std::string(entry) == "OCILdaToSvcCtx";
        OraSession* s = nullptr;
        CString msg;
        ASSERT_EQ(oci_login2(&s, u"system", u"manager", u"TEST", nullptr, 0, &msg, nullptr), ORARC_OK);
        spy.frees.clear();
        spy.calls.clear();
        Control(std::string("fail ") + entry + " 3113");
        EXPECT_EQ(oci_ora_logout(&s), ORARC_ORACLE_ERROR) << entry;
        EXPECT_EQ(spy.calls, std::vector<std::string>{"OCIServerDetach"}) << entry;
        for (ub4 t : {OCI_HTYPE_SERVER, OCI_HTYPE_SVCCTX, OCI_HTYPE_ERROR, OCI_HTYPE_SESSION})
            EXPECT_EQ(spy.frees[t], 1) << entry << " " << t;
    }
}

TEST_F(StandinTest, ServerVersionIsCached) {
    ASSERT_NO_FATAL_FAILURE(Load());
    OraSession* s = Logon(u"system", u"manager");
    ASSERT_NE(s, nullptr);
    EXPECT_DOUBLE_EQ(oci_get_server_version(s), 11.2);
    Control("server_release 10.2.0.5.0");
    EXPECT_DOUBLE_EQ(oci_get_server_version(s), 11.2);
    OraSession* t = Logon(u"system", u"manager");
    ASSERT_NE(t, nullptr);
    EXPECT_DOUBLE_EQ(oci_get_server_version(t), 10.2);
}

TEST_F(StandinTest, MissingTableErrorsCarryTheirPosition) {
    ASSERT_NO_FATAL_FAILURE(Load());
    for (int oci7 : {0, 1}) {
        g_use_oci7_api = oci7;
        OraSession* s = Logon(u"system", u"manager");
        ASSERT_NE(s, nullptr);
        struct {
            const char16_t* sql;
            const char16_t* prefix;
        } cases[] = {{u"select * from nosuch where 1=1", u"[row:1,col:15] ORA-00942"},
                     {u"select *\r\nfrom nosuch", u"[row:2,col:6] ORA-00942"}};
        for (auto& t : cases) {
            OraCursor c{};
            CString msg;
            int rc = oci_cre_cursor(s, &c, t.sql, &msg);
            if (rc == ORARC_OK) rc = oci_desc_cursor(s, &c, &msg);
            EXPECT_EQ(rc, ORARC_ORACLE_ERROR);
            EXPECT_EQ(msg.Left(int(std::u16string(t.prefix).size())), t.prefix) << WideToUtf8(msg);
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
    g_oci.OCIHandleFree = [](dvoid* h, ub4 type) {
        ++g_spy->frees[type];
        return g_real.OCIHandleFree(h, type);
    };
    CString msg;
    EXPECT_EQ(oci8_init_env(&msg), ORARC_INIT_FAILED);
    EXPECT_EQ(msg, u"NLS_LANG=UTF8はサポートしていません");
    EXPECT_EQ(spy.frees[OCI_HTYPE_ENV], 1);
    EXPECT_EQ(spy.frees[OCI_HTYPE_ERROR], 1);
    setenv("NLS_LANG", "JAPANESE_JAPAN.AL32UTF8", 1);
    EXPECT_EQ(oci8_init_env(&msg), ORARC_OK);
    EXPECT_EQ(g_oci_code_page, 65001);
    EXPECT_EQ(g_oci_env_ready, 1);
}

TEST_F(StandinTest, EnvironmentModeFollowsTheObjectCalls) {
    for (const char* variant : {"no_objects", "no_envcreate"}) {
        ASSERT_NO_FATAL_FAILURE(Load(variant));
        if (g_real.OCIEnvCreate) {
            g_oci.OCIEnvCreate = [](OCIEnv** env, ub4 mode, dvoid* ctx, dvoid* (*m)(dvoid*, size_t),
                                    dvoid* (*r)(dvoid*, dvoid*, size_t), void (*f)(dvoid*, dvoid*), size_t x,
                                    dvoid** u) {
                g_spy->env_mode = mode;
                return g_real.OCIEnvCreate(env, mode, ctx, m, r, f, x, u);
            };
        } else {
            g_oci.OCIInitialize = [](ub4 mode, dvoid* ctx, dvoid* (*m)(dvoid*, size_t),
                                     dvoid* (*r)(dvoid*, dvoid*, size_t), void (*f)(dvoid*, dvoid*)) {
                g_spy->env_mode = mode;
                return g_real.OCIInitialize(mode, ctx, m, r, f);
            };
        }
        ASSERT_EQ(oci8_init_env(nullptr), ORARC_OK) << variant;
        EXPECT_EQ(spy.env_mode, std::string(variant) == "no_objects" ? 1u : 3u) << variant;
        OraSession* s = Logon(u"system", u"manager");
        EXPECT_NE(s, nullptr);
        TearDown();
        SetUp();
    }
}

TEST_F(StandinTest, BindsOfBothCallSets) {
    ASSERT_NO_FATAL_FAILURE(Load());
    g_oci.OCIAttrSet = [](dvoid* h, ub4 type, dvoid* value, ub4 size, ub4 attr, OCIError* err) {
        if (type == OCI_HTYPE_BIND && attr == OCI_ATTR_CHARSET_FORM)
            g_spy->bind_forms.push_back(*static_cast<ub1*>(value));
        return g_real.OCIAttrSet(h, type, value, size, attr, err);
    };
    fs::path log = home / "bind.log";
    std::u16string wlog = Utf8ToWide(log.c_str());
    for (int oci7 : {0, 1}) {
        g_use_oci7_api = oci7;
        OraSession* s = nullptr;
        CString msg;
        ASSERT_EQ(oci_login2(&s, u"system", u"manager", u"TEST", wlog.c_str(), 0, &msg, nullptr), ORARC_OK);
        sessions.push_back(s);
        OraCursor c{};
        ASSERT_EQ(oci_cre_cursor(s, &c, u"select :X0, :X1 from dual", nullptr), ORARC_OK);
        EXPECT_EQ(oci_bind_str(s, &c, u":X0", u"\uD55C", &msg), ORARC_OK) << WideToUtf8(msg);
        int n = 3;
        EXPECT_EQ(oci_bind_int(s, &c, u":X1", &n, &msg), ORARC_OK) << WideToUtf8(msg);
        EXPECT_EQ(oci_bind_str(s, &c, u":X9", u"v", &msg), ORARC_ORACLE_ERROR);
        EXPECT_NE(msg.Find(u"ORA-01036"), -1) << WideToUtf8(msg);
        oci_del_cursor(s, &c, nullptr);
    }
    EXPECT_EQ(spy.bind_forms, std::vector<int>{2});
    std::string text = ReadFile(log);
    EXPECT_NE(text.find("\n---\nerror in oci8_bind_cursor:\n"), std::string::npos);
    EXPECT_NE(text.find("\n---\nerror in oci_bind_cursor: \n"), std::string::npos);
}

TEST_F(StandinTest, TableColumnsDescribeWithTheirSizesAndTypeTexts) {
    ASSERT_NO_FATAL_FAILURE(Load());
    OraSession* admin = Logon(u"system", u"manager");
    ASSERT_NE(admin, nullptr);
    Exec(admin, u"create table T (V VARCHAR2(10), C CHAR(3), N NUMBER(10,2), NP NUMBER, D DATE)");
    struct Expect {
        const char* name;
        int oci8_size, oci7_size;
        const char *type, *size;
    } expect[] = {{"ROWID", 24, 24, "ROWID", ""}, {"V", 22, 22, "VARCHAR2", "10"},
                  {"C", 8, 8, "CHAR", "3"},       {"N", 13, 13, "NUMBER", "10,2"},
                  {"NP", 133, 168, "NUMBER", ""}, {"D", 128, 128, "DATE", ""}};
    for (int oci7 : {0, 1}) {
        ASSERT_EQ(oci_set_api_mode(admin, oci7, nullptr), ORARC_OK);
        OraCursor c{};
        ASSERT_EQ(oci_cre_cursor(admin, &c, u"SELECT ROWID, A.* FROM T A", nullptr), ORARC_OK);
        CString msg;
        ASSERT_EQ(oci_desc_cursor(admin, &c, &msg), ORARC_OK) << WideToUtf8(msg);
        ASSERT_EQ(c.col_count, 6);
        for (int i = 0; i < 6; ++i) {
            const Expect& e = expect[i];
            EXPECT_STREQ(c.desc[i].name, e.name);
            EXPECT_EQ(c.desc[i].buffer_size, oci7 ? e.oci7_size : e.oci8_size) << e.name << " oci7=" << oci7;
            char type[100], size[20];
            EXPECT_EQ(oci_get_col_type_str(admin, &c.desc[i], type, size, nullptr), ORARC_OK);
            EXPECT_STREQ(type, e.type) << e.name;
            EXPECT_STREQ(size, e.size) << e.name;
        }
        if (!oci7) {
            ASSERT_EQ(oci_alloc_fetch_bufs(&c, 100, &msg), ORARC_OK);
            EXPECT_EQ(c.rows_per_fetch, 100);
            EXPECT_EQ(oci8_define_by_pos(admin, &c, &msg), ORARC_OK) << WideToUtf8(msg);
        }
        oci_del_cursor(admin, &c, nullptr);
    }
}

TEST_F(StandinTest, OnlyTheWindowsClientNameIsPresent) {
    ASSERT_NO_FATAL_FAILURE(Load("w32"));
    char16_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(g_oci_module, path, MAX_PATH);
    std::u16string p(path, n);
    EXPECT_EQ(p.substr(p.rfind(u'/') + 1), u"libociw32.so");
    EXPECT_EQ(g_oci8_available, 1);
    EXPECT_EQ(g_oci_object_api, 1);
    EXPECT_NE(Logon(u"system", u"manager"), nullptr);
}

TEST_F(StandinTest, EveryColumnTypeDescribesInBothCallSets) {
    ASSERT_NO_FATAL_FAILURE(Load());
    g_oci.OCIDescriptorAlloc = [](const dvoid* parent, dvoid** d, ub4 type, size_t x, dvoid** u) {
        ++g_spy->frees[1000 + type]; // allocations, by descriptor type
        return g_real.OCIDescriptorAlloc(parent, d, type, x, u);
    };
    g_oci.OCIDescriptorFree = [](dvoid* d, ub4 type) {
        ++g_spy->frees[type];
        return g_real.OCIDescriptorFree(d, type);
    };
    OraSession* admin = Logon(u"system", u"manager");
    ASSERT_NE(admin, nullptr);
    Exec(admin,
         u"create table ALLT (A VARCHAR2(10), B CHAR(3), C NUMBER(10,2), D NUMBER, E FLOAT(126), F DATE, "
         u"G RAW(16), H LONG, I CLOB, J NCLOB, K BLOB, X BFILE, M TIMESTAMP(6), N TIMESTAMP(3) WITH TIME "
         u"ZONE, O INTERVAL YEAR(2) TO MONTH, P INTERVAL DAY(2) TO SECOND(6), Q NVARCHAR2(10), "
         u"R BINARY_FLOAT, S BINARY_DOUBLE, T TIMESTAMP WITH LOCAL TIME ZONE)");
    struct Expect {
        const char* name;
        int oci8, oci7; // buffer sizes; 0: unsupported
        const char *type, *size;
    } expect[] = {{"A", 22, 22, "VARCHAR2", "10"},
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
                  {"T", 192, 192, "TIMESTAMP(6) WITH LOCAL TIME ZONE", ""}};
    const int n = int(sizeof expect / sizeof expect[0]);
    for (int oci7 : {0, 1}) {
        ASSERT_EQ(oci_set_api_mode(admin, oci7, nullptr), ORARC_OK);
        OraCursor c{};
        ASSERT_EQ(oci_cre_cursor(admin, &c, u"SELECT A.* FROM ALLT A", nullptr), ORARC_OK);
        CString msg;
        EXPECT_EQ(oci_desc_cursor(admin, &c, &msg), oci7 ? ORARC_UNSUPPORTED_TYPE : ORARC_OK)
            << WideToUtf8(msg);
        ASSERT_EQ(c.col_count, n);
        for (int i = 0; i < n; ++i) {
            const Expect& e = expect[i];
            EXPECT_STREQ(c.desc[i].name, e.name);
            int size = oci7 ? e.oci7 : e.oci8;
            if (size) {
                EXPECT_EQ(c.desc[i].buffer_size, size) << e.name << " oci7=" << oci7;
            }
            EXPECT_EQ(c.desc[i].text_size, c.desc[i].buffer_size * 2);
            char type[100], size_text[20];
            EXPECT_EQ(oci_get_col_type_str(admin, &c.desc[i], type, size_text, nullptr), ORARC_OK);
            // The Oracle 7 describe knows no charset form: national columns read as plain ones.
            std::string want_type = e.type, want_size = e.size;
            if (oci7 && want_type == "NCLOB") want_type = "CLOB";
            if (oci7 && want_type == "NVARCHAR2") want_type = "VARCHAR2", want_size = "20";
            EXPECT_EQ(type, want_type) << e.name << " oci7=" << oci7;
            EXPECT_EQ(size_text, want_size) << e.name << " oci7=" << oci7;
        }
        if (oci7) {
            EXPECT_EQ(msg, u"サポートしていないデータ型です(項目名:S, データ型:101)\n");
        } else {
            // One locator per row of every LOB column, and all of them freed.
            ASSERT_EQ(oci_alloc_fetch_bufs(&c, 10, &msg), ORARC_OK);
            EXPECT_EQ(c.lob_col_count, 4);
            EXPECT_EQ(spy.frees[1000 + OCI_DTYPE_LOB], 3 * c.rows_per_fetch);
            EXPECT_EQ(spy.frees[1000 + OCI_DTYPE_FILE], c.rows_per_fetch);
            EXPECT_EQ(oci8_define_by_pos(admin, &c, &msg), ORARC_OK) << WideToUtf8(msg);
        }
        EXPECT_EQ(oci_del_cursor(admin, &c, nullptr), ORARC_OK);
        EXPECT_EQ(spy.frees[OCI_DTYPE_LOB], spy.frees[1000 + OCI_DTYPE_LOB]);
        EXPECT_EQ(spy.frees[OCI_DTYPE_FILE], spy.frees[1000 + OCI_DTYPE_FILE]);
    }
}

TEST_F(StandinTest, ShiftJisSessionCountsItsOwnCharacters) {
    setenv("NLS_LANG", "JAPANESE_JAPAN.JA16SJISTILDE", 1);
    ASSERT_NO_FATAL_FAILURE(Load());
    OraSession* s = Logon(u"system", u"manager");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(g_oci_code_page, 0);
    OraCursor c{};
    CString msg;
    ASSERT_EQ(oci_cre_cursor(s, &c, u"select 'あいう' a from nosuch", &msg), ORARC_OK);
    EXPECT_EQ(oci_desc_cursor(s, &c, &msg), ORARC_ORACLE_ERROR);
    EXPECT_EQ(msg.Left(25), u"[row:1,col:21] ORA-00942:") << WideToUtf8(msg);
    oci_del_cursor(s, &c, nullptr);

    OraSession* t = nullptr;
    EXPECT_EQ(oci_login2(&t, u"\uD55C", u"x", u"TEST", nullptr, 0, &msg, nullptr), ORARC_FAILED);
    EXPECT_EQ(msg, u"エラー(oci_login2())\n");
}

} // namespace
TEST_F(StandinTest, ClientVersionFromTheVersionBlock) {
    EXPECT_EQ(oci_get_dll_version(nullptr), 0.0); // nothing loaded
    struct {
        const char* variant;
        double version;
        const char16_t* text;
    } cases[] = {{nullptr, 11.2, u"11.2.0.4.0"},
                 {"v112", 0.0, u"11.2"},
                 {"file_version", 10.2, u"10.2.0.1.0"},
                 {"v9", 9.0, u"9.0.1.0.0"}};
    for (auto& t : cases) {
        Load(t.variant);
        CString text;
        EXPECT_DOUBLE_EQ(oci_get_dll_version(&text), t.version) << (t.variant ? t.variant : "bin");
        EXPECT_EQ(text, t.text);
        EXPECT_DOUBLE_EQ(oci_get_dll_version(nullptr), t.version);
        TearDown();
        SetUp();
    }
}
