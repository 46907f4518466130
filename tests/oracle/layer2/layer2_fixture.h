// A fixture that loads the client stand-in by name, in a temporary
// TNS_ADMIN, and records the waits of the polling loops.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "oracle/oci_exec.h"
#include "oracle/ora_dataset.h"

namespace layer2 {

namespace fs = std::filesystem;

inline std::vector<DWORD> g_waits;
inline std::function<void(DWORD)> g_on_wait;
inline OciEntryPoints g_real;

inline void RecordWait(DWORD ms) {
    g_waits.push_back(ms);
    if (g_on_wait) g_on_wait(ms);
    sched_yield();
}

class Layer2Test : public ::testing::Test {
public:
    fs::path home;
    std::vector<OraSession*> sessions;

    void SetUp() override {
        oci_reset_globals_for_test();
        char tmpl[] = "/tmp/tavrelix-oracle2-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        home = tmpl;
        fs::create_directories(home / "tns");
        fs::create_directories(home / "data");
        std::ofstream(home / "tns" / "services.conf") << "TEST = ../db/test\n";
        setenv("TNS_ADMIN", (home / "tns").c_str(), 1);
        setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
        setenv("NLS_LANG", "JAPANESE_JAPAN.AL32UTF8", 1);
        g_waits.clear();
        g_on_wait = nullptr;
        win32_sleep_hook = RecordWait;
        SetDllDirectoryW(Utf8ToWide(ORACLE_BIN_DIR).c_str());
        CString msg;
        ASSERT_EQ(oci_load_library(&msg), ORARC_OK);
        g_real = g_oci;
        Control("reset");
    }
    void TearDown() override {
        win32_sleep_hook = nullptr;
        g_on_wait = nullptr;
        if (g_oci_module) Control("reset");
        g_oci = g_real;
        g_session = nullptr;
        for (OraSession*& s : sessions) oci_ora_logout(&s);
        if (g_oci_env_ready) g_oci.OCIHandleFree(g_oci_env, OCI_HTYPE_ENV);
        if (g_oci_module) FreeLibrary(g_oci_module);
        oci_reset_globals_for_test();
        SetDllDirectoryW(nullptr);
        std::error_code ec;
        fs::remove_all(home, ec);
    }
    static void Control(const std::string& command) {
        auto control = reinterpret_cast<pfn_oci_standin_control>(
            reinterpret_cast<void (*)()>(GetProcAddress(g_oci_module, "oci_standin_control")));
        ASSERT_NE(control, nullptr);
        char reply[256];
        ASSERT_EQ(control(command.c_str(), reply, sizeof reply), 0) << command << ": " << reply;
    }
    OraSession* Logon(int oci7 = 0) {
        g_use_oci7_api = oci7;
        OraSession* s = nullptr;
        CString m;
        EXPECT_EQ(oci_login2(&s, u"system", u"manager", u"TEST", nullptr, 0, &m, nullptr), ORARC_OK)
            << WideToUtf8(m.GetString());
        if (s) sessions.push_back(s);
        return s;
    }
    static void Exec(OraSession* s, const char16_t* sql) {
        CString msg;
        ASSERT_EQ(oci_exec_sql(s, sql, &msg), ORARC_OK)
            << WideToUtf8(sql) << ": " << WideToUtf8(msg.GetString());
    }
    // A table T of n rows: A = 1..n, B = 'row<A>'.
    static void MakeRows(OraSession* s, int n) {
        Exec(s, u"create table t (a number(10), b varchar2(40))");
        for (int i = 1; i <= n; ++i) {
            std::u16string text = u"row" + Utf8ToWide(std::to_string(i).c_str());
            CString msg;
            ASSERT_EQ(oci_exec_sql_bind(s, u"insert into t values (:X0, :X1)", &msg, nullptr, nullptr, "IS",
                                        &i, text.c_str()),
                      ORARC_OK)
                << WideToUtf8(msg.GetString());
        }
    }
};

inline std::string Narrow(const CString& s) {
    return WideToUtf8(s.GetString());
}

} // namespace layer2
