// Cases against the client stand-in, loaded by name as a real client loads
// it, in a temporary TNS_ADMIN ("TEST" and "DEMO" services) and
// XDG_DATA_HOME. The waits of the polling loops go to g_on_wait.
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

namespace edtest {

namespace fs = std::filesystem;

inline std::function<void(DWORD)> g_on_wait;
inline OciEntryPoints g_real; // the stand-in's own entry points

inline std::string Narrow(const CString& s) {
    return WideToUtf8(s.GetString());
}

class StandinTest : public ::testing::Test {
public:
    fs::path home;
    std::vector<OraSession*> sessions; // logged out at the end

    void SetUp() override {
        oci_reset_globals_for_test();
        char tmpl[] = "/tmp/tavrelix-editor-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        home = tmpl;
        fs::create_directories(home / "tns");
        fs::create_directories(home / "data");
        std::ofstream(home / "tns" / "services.conf") << "TEST = ../db/test\nDEMO = ../db/demo\n";
        setenv("TNS_ADMIN", (home / "tns").c_str(), 1);
        setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
        setenv("NLS_LANG", "JAPANESE_JAPAN.AL32UTF8", 1);
        g_on_wait = nullptr;
        win32_sleep_hook = [](DWORD ms) {
            if (g_on_wait) g_on_wait(ms);
            sched_yield();
        };
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
    // A session through the OCI 8 calls, kept in sessions.
    OraSession* Logon(const char16_t* user, const char16_t* password, const char16_t* service) {
        g_use_oci7_api = 0;
        OraSession* s = nullptr;
        CString m;
        EXPECT_EQ(oci_login2(&s, user, password, service, nullptr, 0, &m, nullptr), ORARC_OK) << Narrow(m);
        if (s) sessions.push_back(s);
        return s;
    }
    static void Exec(OraSession* s, const char16_t* sql) {
        CString msg;
        ASSERT_EQ(oci_exec_sql(s, sql, &msg), ORARC_OK) << WideToUtf8(sql) << ": " << Narrow(msg);
    }
};

} // namespace edtest
