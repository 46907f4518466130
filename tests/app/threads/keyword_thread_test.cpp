// The completion-keyword thread of a session: its private logon, the load
// of the completion lists, and the stop a disconnect sets while it runs.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/apphooks.h"
#include "app/appstate.h"
#include "app/tavexapp.h"
#include "editor/sqltoken.h"
#include "oracle/oci_api.h"
#include "oracle/oci_entry.h"
#include "oracle/oci_exec.h"
#include "tests/app/app_globals.h"

namespace {

namespace fs = std::filesystem;

class KeywordThreadTest : public ::testing::Test {
public:
    fs::path home;
    void SetUp() override {
        // The completion lists and the login of an earlier case go first.
        apptest::ResetAppGlobals();
        char tmpl[] = "/tmp/tavrelix-keywords-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        home = tmpl;
        fs::create_directories(home / "tns");
        std::ofstream(home / "tns" / "services.conf") << "TEST = ../db/test\n";
        setenv("TNS_ADMIN", (home / "tns").c_str(), 1);
        setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        SetDllDirectoryW(Utf8ToWide(ORACLE_BIN_DIR).c_str());
        CString msg;
        ASSERT_EQ(oci_load_library(&msg), ORARC_OK);
        g_use_oci7_api = 0;
        ASSERT_EQ(oci_login2(&g_session, u"system", u"manager", u"TEST", nullptr, 1, &msg, nullptr),
                  ORARC_OK);
        g_connected = 1;
        g_cur_user = u"system";
        g_cur_password = u"manager";
        g_cur_tns = u"TEST";
        g_cur_connect_mode = 1;
    }
    void TearDown() override {
        apphooks::keywordThreadLoggedOn = nullptr;
        theApp.Disconnect();
        if (g_oci_env_ready) g_oci.OCIHandleFree(g_oci_env, OCI_HTYPE_ENV);
        FreeLibrary(g_oci_module);
        oci_reset_globals_for_test();
        apptest::ResetAppGlobals();
        fs::remove_all(home);
    }
};

TEST_F(KeywordThreadTest, LeftAloneItFillsTheCompletionLists) {
    CString msg;
    ASSERT_EQ(oci_exec_sql(g_session, u"create table kw_table (kw_column number)", &msg), ORARC_OK);
    ASSERT_EQ(theApp.ConnectSetup(), 0);
    ASSERT_NE(theApp.m_hKeywordThread, nullptr);
    WaitForSingleObject(theApp.m_hKeywordThread, INFINITE);
    DWORD code = 1;
    GetExitCodeThread(theApp.m_hKeywordThread, &code);
    EXPECT_EQ(code, 0u);
    EXPECT_GT(theSqlStrToken.m_mergedCount, 0);
    EXPECT_EQ(std::u16string(g_cur_user), u"SYSTEM");
}

// The loader used to clear the stop flag as it began: a disconnect while the
// thread logged on waited for a whole dictionary load.
TEST_F(KeywordThreadTest, ADisconnectWhileItLogsOnStopsItBeforeAnyQuery) {
    std::atomic<bool> held{false}, release{false};
    apphooks::keywordThreadLoggedOn = [&] {
        held = true;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    ASSERT_EQ(theApp.ConnectSetup(), 0);
    while (!held) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::atomic<bool> released{false};
    std::thread letGo([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        released = true;
        release = true;
    });
    theApp.Disconnect();
    EXPECT_TRUE(released.load());
    letGo.join();
    EXPECT_EQ(theApp.m_hKeywordThread, nullptr);
    EXPECT_EQ(g_connected, 0);
    EXPECT_EQ(theSqlStrToken.m_mergedCount, 0);
}

} // namespace
