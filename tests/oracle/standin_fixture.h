// A fixture that loads the client stand-in by name, as a real client is, in
// a temporary TNS_ADMIN and XDG_DATA_HOME; it records the waits of the
// polling loops and can tap single entry points.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "oracle/oci_exec.h"
#include "oracle/ora_dataset.h"

namespace oratest {

namespace fs = std::filesystem;

inline std::vector<DWORD> g_waits;
inline std::function<void(DWORD)> g_on_wait;
inline OciEntryPoints g_real;
// Calls of tapped entry points, by name, in the order made.
inline std::vector<std::string> g_calls;

inline void RecordWait(DWORD ms) {
    g_waits.push_back(ms);
    if (g_on_wait) g_on_wait(ms);
    sched_yield();
}

// A tapped entry point records its name in g_calls, or hands its arguments
// to `before` when that is set, then calls the stand-in; `after` sees the
// result.
template <auto M, class F = std::remove_reference_t<decltype(OciEntryPoints{}.*M)>> struct Tap;
template <auto M, class R, class... A> struct Tap<M, R (*)(A...)> {
    static inline const char* name = "";
    static inline std::function<void(A...)> before;
    static inline std::function<void(R, A...)> after;
    static R Call(A... a) {
        if (before)
            before(a...);
        else
            g_calls.push_back(name);
        R r = (g_real.*M)(a...);
        if (after) after(r, a...);
        return r;
    }
    static std::function<void(A...)>& Install(const char* n) {
        name = n;
        before = nullptr;
        after = nullptr;
        g_oci.*M = Call;
        return before;
    }
};
// TAP(entry) taps an entry point; TAP(entry) = observer sets its `before`.
#define TAP(entry) Tap<&OciEntryPoints::entry>::Install(#entry)
#define TAPPED(entry) Tap<&OciEntryPoints::entry>

inline int Calls(const std::string& name) {
    return int(std::count(g_calls.begin(), g_calls.end(), name));
}

inline std::string Narrow(const CString& s) {
    return WideToUtf8(s.GetString());
}

inline std::u16string Cell(const OraDataset& ds, int row, int col) {
    return oci_get_dataset_data(&ds, row, col);
}

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class StandinTest : public ::testing::Test {
public:
    fs::path home;
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
        g_waits.clear();
        g_calls.clear();
        g_on_wait = nullptr;
        win32_sleep_hook = RecordWait;
    }
    void TearDown() override {
        win32_sleep_hook = nullptr;
        g_on_wait = nullptr;
        if (g_oci_module) Control("reset");
        if (g_oci_module) g_oci = g_real;
        g_session = nullptr;
        for (OraSession*& s : sessions) oci_ora_logout(&s);
        sessions.clear();
        if (g_oci_env_ready) g_oci.OCIHandleFree(g_oci_env, OCI_HTYPE_ENV);
        if (g_oci_module) FreeLibrary(g_oci_module);
        oci_reset_globals_for_test();
        SetDllDirectoryW(nullptr);
        std::error_code ec;
        fs::remove_all(home, ec);
    }
    // Loads the stand-in from the build's bin directory, or a variant build.
    void Load(const char* variant = nullptr) {
#ifdef ORACLE_VARIANT_DIR
        std::string dir = variant ? std::string(ORACLE_VARIANT_DIR) + "/" + variant : ORACLE_BIN_DIR;
#else
        std::string dir = ORACLE_BIN_DIR;
        (void)variant;
#endif
        SetDllDirectoryW(Utf8ToWide(dir.c_str()).c_str());
        CString msg;
        ASSERT_EQ(oci_load_library(&msg), ORARC_OK);
        g_real = g_oci;
        Control("reset");
    }
    // Back to a fresh process's state, with another variant loaded.
    void Reload(const char* variant = nullptr) {
        TearDown();
        SetUp();
        Load(variant);
    }
    static void Control(const std::string& command) {
        auto control = reinterpret_cast<pfn_oci_standin_control>(
            reinterpret_cast<void (*)()>(GetProcAddress(g_oci_module, "oci_standin_control")));
        ASSERT_NE(control, nullptr);
        char reply[256];
        ASSERT_EQ(control(command.c_str(), reply, sizeof reply), 0) << command << ": " << reply;
    }
    OraSession* Logon(int oci7 = 0, const char16_t* user = u"system", const char16_t* password = u"manager",
                      int mode = 0, CString* msg = nullptr, int* warning = nullptr,
                      const char16_t* log = nullptr) {
        g_use_oci7_api = oci7;
        OraSession* s = nullptr;
        CString m;
        EXPECT_EQ(oci_login2(&s, user, password, u"TEST", log, mode, msg ? msg : &m, warning), ORARC_OK)
            << Narrow(msg ? *msg : m);
        if (s) sessions.push_back(s);
        return s;
    }
    static void Exec(OraSession* s, const char16_t* sql) {
        CString msg;
        ASSERT_EQ(oci_exec_sql(s, sql, &msg), ORARC_OK) << WideToUtf8(sql) << ": " << Narrow(msg);
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
                << Narrow(msg);
        }
    }
};

// The upper half's cases: the stand-in loaded before each.
class Layer2Test : public StandinTest {
public:
    void SetUp() override {
        StandinTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(Load());
    }
};

// With an Oracle 8 session `s`, the layer's current one too.
class SessionTest : public Layer2Test {
public:
    OraSession* s = nullptr;
    void SetUp() override {
        Layer2Test::SetUp();
        ASSERT_NE(s = Logon(0), nullptr);
        g_session = s;
    }
};

} // namespace oratest
