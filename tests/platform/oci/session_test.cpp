// Environment, logon and transactions in both call sets.
#include "oci_fixture.h"

#include "platform/oci/testing/sqlite_file.h"

#include <cstring>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

using namespace ocitest;

namespace {

std::string charset(Api& api) {
    OCIEnv* env = nullptr;
    if (api.OCIEnvCreate(&env, OCI_THREADED, nullptr, nullptr, nullptr, nullptr, 0, nullptr) != 0)
        return "<fail>";
    OCIError* err = nullptr;
    api.OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
    char buf[1024] = {};
    api.OCINlsGetInfo(err, err, reinterpret_cast<OraText*>(buf), sizeof buf, OCI_NLS_CHARSET_NAME);
    api.OCIHandleFree(err, OCI_HTYPE_ERROR);
    api.OCIHandleFree(env, OCI_HTYPE_ENV);
    return buf;
}

} // namespace

TEST_F(OciTest, ClientCharacterSetFromNlsLang) {
    setenv("NLS_LANG", "JAPANESE_JAPAN.AL32UTF8", 1);
    EXPECT_EQ(charset(api), "AL32UTF8");
    setenv("NLS_LANG", "AMERICAN_AMERICA.UTF8", 1);
    EXPECT_EQ(charset(api), "UTF8");
    unsetenv("NLS_LANG");
    EXPECT_EQ(charset(api), "JA16SJISTILDE");
    setenv("NLS_LANG", ".NOSUCH", 1);
    OCIEnv* env = nullptr;
    EXPECT_EQ(api.OCIEnvCreate(&env, OCI_THREADED, nullptr, nullptr, nullptr, nullptr, 0, nullptr), -1);
}

TEST_F(OciTest, InitializeThenEnvInit) {
    OCIEnv* env = nullptr;
    ASSERT_EQ(api.OCIInitialize(OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(api.OCIEnvInit(&env, 0, 0, nullptr), 0);
    OCIError* err = nullptr;
    EXPECT_EQ(api.OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr), 0);
    EXPECT_EQ(api.OCIHandleFree(env, OCI_HTYPE_ENV), 0);
}

TEST_F(OciTest, LogonFailuresInBothCallSets) {
    {
        Session8 s(api);
        EXPECT_EQ(s.logon("system", "manager", "NOSUCH"), -1);
        EXPECT_EQ(s.errorCode(), 12154);
        EXPECT_EQ(s.logon("system", "wrong"), -1);
        EXPECT_EQ(s.errorCode(), 1017);
        EXPECT_EQ(s.logon("nobody", "x"), -1);
        EXPECT_EQ(s.errorCode(), 1017);
        EXPECT_EQ(s.logon("system", "manager", "test2"), 0) << "service names are case-insensitive";
    }
    {
        Session8 admin(api);
        ASSERT_EQ(admin.logon("system", "manager"), 0);
        ASSERT_EQ(admin.exec("create user scott identified by Tiger"), 0) << admin.errorText();
        ASSERT_EQ(admin.exec("alter user scott account lock"), 0) << admin.errorText();
    }
    Session8 s(api);
    EXPECT_EQ(s.logon("scott", "Tiger"), -1);
    EXPECT_EQ(s.errorCode(), 28000);
    Session7 s7(api);
    EXPECT_NE(s7.logon("scott", "Tiger"), 0);
    EXPECT_EQ(s7.lda.rc, 28000);
    Session7 bad(api);
    EXPECT_NE(bad.logon("system", "manager", "NOSUCH"), 0);
    EXPECT_EQ(bad.lda.rc, 12154);
    char text[200];
    api.oerhms(&bad.lda, sb2(bad.lda.rc), reinterpret_cast<OraText*>(text), sizeof text);
    EXPECT_STREQ(text, "ORA-12154: TNS:could not resolve the connect identifier specified\n");
    Session7 wrong(api);
    EXPECT_NE(wrong.logon("system", "Manager"), 0) << "passwords are exact";
    EXPECT_EQ(wrong.lda.rc, 1017);
    Session7 both(api);
    EXPECT_EQ(both.logon("system/manager@test", ""), 0);
}

TEST_F(OciTest, PasswordWarningLogsOn) {
    ASSERT_EQ(api.ctl("user_warning system 28002"), "ok");
    Session8 s(api);
    EXPECT_EQ(s.logon("system", "manager"), 1);
    EXPECT_EQ(s.errorCode(), 28002);
    EXPECT_EQ(s.errorText().rfind("ORA-28002: ", 0), 0u);
    EXPECT_EQ(s.errorText().back(), '\n');
    EXPECT_EQ(s.value("select user from dual"), "SYSTEM");
    Session7 s7(api);
    EXPECT_EQ(s7.logon("system", "manager"), 0);
    EXPECT_EQ(s7.lda.rc, 28002);
}

TEST_F(OciTest, PrivilegedAndExternalLogon) {
    Session8 dba(api);
    ASSERT_EQ(dba.logon("sys", "change_on_install", "TEST", OCI_SYSDBA), 0) << dba.errorText();
    EXPECT_EQ(dba.value("select user from dual"), "SYS");
    ASSERT_EQ(dba.exec("create user plain identified by p"), 0) << dba.errorText();
    struct passwd* pw = getpwuid(getuid());
    std::string os = pw->pw_name;
    for (char& c : os) c = char(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_EQ(dba.exec("create user \"OPS$" + os + "\" identified externally"), 0) << dba.errorText();

    Session8 plain(api);
    EXPECT_EQ(plain.logon("plain", "p", "TEST", OCI_SYSDBA), -1);
    EXPECT_EQ(plain.errorCode(), 1031);

    Session8 ext(api);
    ASSERT_EQ(ext.logon("", ""), 0) << ext.errorText();
    EXPECT_EQ(ext.value("select user from dual"), "OPS$" + os);

    ASSERT_EQ(dba.exec("grant sysdba to plain"), 0);
    Session8 promoted(api);
    EXPECT_EQ(promoted.logon("plain", "p", "TEST", OCI_SYSDBA), 0);
    EXPECT_EQ(promoted.value("select user from dual"), "SYS");
}

TEST_F(OciTest, ServerRelease) {
    Session8 s(api);
    ASSERT_EQ(s.logon("system", "manager"), 0);
    char text[1024];
    ub4 v = 0;
    ASSERT_EQ(api.OCIServerRelease(s.srv, s.err, reinterpret_cast<OraText*>(text), sizeof text,
                                   OCI_HTYPE_SERVER, &v),
              0);
    EXPECT_NE(std::strstr(text, "11.2.0.4.0"), nullptr);
    EXPECT_EQ(v >> 24, 11u);
    EXPECT_EQ((v >> 20) & 15, 2u);
    ASSERT_EQ(api.ctl("server_release 10.2.0.5.0"), "ok");
    api.OCIServerRelease(s.srv, s.err, reinterpret_cast<OraText*>(text), sizeof text, OCI_HTYPE_SERVER, &v);
    EXPECT_EQ(v >> 24, 10u);
    EXPECT_EQ((v >> 20) & 15, 2u);
    EXPECT_EQ((v >> 12) & 255, 0u);
    EXPECT_EQ((v >> 8) & 15, 5u);
}

TEST_F(OciTest, SwitchingCallSetsKeepsTheTransaction) {
    Session8 s(api);
    ASSERT_EQ(s.logon("system", "manager"), 0);
    ASSERT_EQ(s.exec("create table t (a number)"), 0) << s.errorText();
    ASSERT_EQ(s.exec("insert into t values (42)"), 0) << s.errorText();
    Lda_Def lda{};
    ASSERT_EQ(api.OCISvcCtxToLda(s.svc, s.err, &lda), 0);
    Cda_Def cda{};
    ASSERT_EQ(api.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    ASSERT_EQ(api.oparse(&cda, reinterpret_cast<OraText*>(const_cast<char*>("select a from t")), -1, 1, 1),
              0);
    char buf[32];
    sb2 ind;
    ASSERT_EQ(api.odefin(&cda, 1, reinterpret_cast<ub1*>(buf), sizeof buf, SQLT_STR, -1, &ind, nullptr, -1,
                         -1, nullptr, nullptr),
              0);
    EXPECT_EQ(api.oexfet(&cda, 1, 0, 0), 0);
    EXPECT_STREQ(buf, "42");
    EXPECT_EQ(cda.ft, OCI_FNCODE_SELECT);
    EXPECT_EQ(api.oclose(&cda), 0);
    EXPECT_EQ(api.oclose(&cda), 1001);
    OCISvcCtx* back = nullptr;
    ASSERT_EQ(api.OCILdaToSvcCtx(&back, s.err, &lda), 0);
    EXPECT_EQ(back, s.svc);
    ASSERT_EQ(api.OCITransRollback(s.svc, s.err, 0), 0);
    EXPECT_EQ(s.value("select count(*) from t"), "0");
}

// The databases' WAL files stay from one start to the next, empty: what was
// committed is in the database files themselves once the last session ends,
// and a second session sees each commit meanwhile.
TEST_F(OciTest, WalFilesAreKeptEmptyAndCommitsReachTheDatabase) {
    namespace fs = std::filesystem;
    const fs::path db = home->dir / "db" / "test";
    {
        Session8 a(api), b(api);
        ASSERT_EQ(a.logon("system", "manager"), 0) << a.errorText();
        ASSERT_EQ(b.logon("system", "manager"), 0) << b.errorText();
        ASSERT_EQ(a.exec("create table kept (a number)"), 0) << a.errorText();
        ASSERT_EQ(a.exec("insert into kept values (7)"), 0) << a.errorText();
        EXPECT_EQ(b.value("select count(*) from kept"), "0");
        ASSERT_EQ(api.OCITransCommit(a.svc, a.err, 0), 0);
        EXPECT_EQ(b.value("select count(*) from kept"), "1");
        // The sequences' database is opened on first use.
        ASSERT_EQ(a.exec("create sequence kept_seq"), 0) << a.errorText();
        EXPECT_EQ(a.value("select kept_seq.nextval from dual"), "1");
        a.logoff();
        b.logoff();
    }
    int walFiles = 0;
    for (const auto& e : fs::directory_iterator(db)) {
        const std::string name = e.path().filename().string();
        if (name.size() < 4 || name.compare(name.size() - 4, 4, "-wal") != 0) continue;
        ++walFiles;
        EXPECT_EQ(fs::file_size(e.path()), 0u) << name;
        EXPECT_TRUE(fs::exists(db / (name.substr(0, name.size() - 4) + "-shm"))) << name;
    }
    // The catalogue, SYSTEM's schema, the sequences at least.
    EXPECT_GE(walFiles, 3);
    // Without its WAL files (a copy of the database files alone) nothing is lost.
    for (const auto& e : fs::directory_iterator(db)) {
        const std::string name = e.path().filename().string();
        if (name.find("-wal") != std::string::npos || name.find("-shm") != std::string::npos)
            fs::remove(e.path());
    }
    Session8 c(api);
    ASSERT_EQ(c.logon("system", "manager"), 0) << c.errorText();
    EXPECT_EQ(c.value("select a from kept"), "7");
    EXPECT_EQ(c.value("select kept_seq.nextval from dual"), "2");
}

// A database an older build made: its files in rollback-journal mode and the
// catalogue without the tables added since. A logon brings it up to date:
// every file in WAL mode again, the missing tables made, all data kept.
TEST_F(OciTest, OlderDatabaseIsBroughtUpToDate) {
    namespace fs = std::filesystem;
    const fs::path db = home->dir / "db" / "test";
    {
        Session8 a(api);
        ASSERT_EQ(a.logon("system", "manager"), 0) << a.errorText();
        ASSERT_EQ(a.exec("create table kept (a number default 5)"), 0) << a.errorText();
        ASSERT_EQ(a.exec("insert into kept values (7)"), 0) << a.errorText();
        ASSERT_EQ(api.OCITransCommit(a.svc, a.err, 0), 0);
        a.logoff();
    }
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(db))
        if (e.path().extension() == ".db") files.push_back(e.path().string());
    ASSERT_GE(files.size(), 2u);
    for (const std::string& f : files)
        EXPECT_EQ(oci::testing::sqlite_run(f, "pragma journal_mode=delete"), "delete\n") << f;
    const std::string catalog = (db / "catalog.db").string();
    EXPECT_EQ(oci::testing::sqlite_run(catalog, "drop table col_defaults; drop table mviews"), "");

    Session8 b(api);
    ASSERT_EQ(b.logon("system", "manager"), 0) << b.errorText();
    EXPECT_EQ(b.value("select a from kept"), "7");
    ASSERT_EQ(b.exec("create table later (b number default 3)"), 0) << b.errorText();
    EXPECT_EQ(b.value("select data_default from all_tab_columns where table_name = 'LATER'"), "3");
    EXPECT_EQ(b.value("select count(*) from all_mviews"), "0");
    ASSERT_EQ(b.exec("insert into kept (a) values (8)"), 0) << b.errorText();
    ASSERT_EQ(api.OCITransCommit(b.svc, b.err, 0), 0);
    for (const std::string& f : files)
        EXPECT_EQ(oci::testing::sqlite_run(f, "pragma journal_mode"), "wal\n") << f;
    b.logoff();
    Session8 c(api);
    ASSERT_EQ(c.logon("system", "manager"), 0) << c.errorText();
    EXPECT_EQ(c.value("select sum(a) from kept"), "15");
}
