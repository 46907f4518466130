// Suites of the dialogs on the client stand-in's DEMO database: the
// database is made once per build tree (its big table takes a while) and
// copied into each case's own directory; DEMO/demo is the current session.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <afxwin.h>

#include <atomic>
#include <thread>

#include "testing/dialogs.h"
#include "testing/driver.h"
#include "testing/framework.h"
#include "tests/oracle/standin_fixture.h"

namespace dlgtest {

namespace fs = std::filesystem;
using oratest::Narrow;
using oratest::Tap;

inline CWinApp& App() {
    static CWinApp app(u"tavrelix");
    static bool keyed = (app.SetRegistryKey(u"QUARN"), true);
    (void)keyed;
    return app;
}

// The DEMO database's directory in the cache, made on first use under a lock.
inline fs::path DemoCache() {
    fs::path cache = DIALOG_DEMO_CACHE;
    fs::create_directories(cache);
    int fd = open((cache / "lock").c_str(), O_CREAT | O_RDWR, 0600);
    flock(fd, LOCK_EX);
    if (!fs::exists(cache / "ready")) {
        fs::remove_all(cache / "db");
        fs::create_directories(cache / "tns");
        std::ofstream(cache / "tns" / "services.conf") << "DEMO = ../db\n";
        pid_t pid = fork();
        if (pid == 0) {
            setenv("TNS_ADMIN", (cache / "tns").c_str(), 1);
            setenv("XDG_DATA_HOME", (cache / "data").c_str(), 1);
            SetDllDirectoryW(Utf8ToWide(ORACLE_BIN_DIR).c_str());
            CString msg;
            OraSession* s = nullptr;
            int rc = oci_load_library(&msg);
            if (rc == ORARC_OK) rc = oci_login2(&s, u"DEMO", u"demo", u"DEMO", nullptr, 0, &msg, nullptr);
            if (s) oci_ora_logout(&s);
            _exit(rc == ORARC_OK ? 0 : 1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) std::ofstream(cache / "ready") << "1\n";
    }
    flock(fd, LOCK_UN);
    close(fd);
    return cache / "db";
}

// A stand-in control command; false when it was refused.
inline bool TryControl(const std::string& command) {
    auto control = reinterpret_cast<pfn_oci_standin_control>(
        reinterpret_cast<void (*)()>(GetProcAddress(g_oci_module, "oci_standin_control")));
    char reply[256];
    return control && control(command.c_str(), reply, sizeof reply) == 0;
}
// Whether a call is parked at a gate now (never waits: the parked worker may
// be about to send to the UI thread).
inline bool Parked() {
    return TryControl("gate_wait 0");
}

class DemoTest : public oratest::StandinTest {
public:
    OraSession* s = nullptr;

    void SetUp() override {
        fs::path demo = DemoCache();
        ASSERT_TRUE(fs::exists(DIALOG_DEMO_CACHE "/ready")) << "the DEMO database could not be made";
        StandinTest::SetUp();
        fs::copy(demo, home / "demo", fs::copy_options::recursive);
        std::ofstream(home / "tns" / "services.conf") << "DEMO = ../demo\n";
        fs::create_directories(home / "config");
        setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        App();
        tvtest::Init();
        tvtest::ClearBoxes();
        ASSERT_NO_FATAL_FAILURE(Load());
        s = LogonDemo();
        ASSERT_NE(s, nullptr);
        g_session = s;
    }
    void TearDown() override {
        tvtest::VerifyDialogs();
        tvtest::ClearDialogs();
        tvtest::Pump();
        StandinTest::TearDown();
    }
    OraSession* LogonDemo() {
        OraSession* session = nullptr;
        CString msg;
        EXPECT_EQ(oci_login2(&session, u"DEMO", u"demo", u"DEMO", nullptr, 0, &msg, nullptr), ORARC_OK)
            << Narrow(msg);
        if (session) sessions.push_back(session);
        return session;
    }
    // The next "実行中" dialog: the query worker's first execution is held
    // until the dialog has shown, so that a fast query cannot end it unseen.
    void ExpectQuery(std::function<bool(HWND)> then = nullptr) {
        static std::thread::id ui;
        static std::atomic<bool> armed;
        ui = std::this_thread::get_id();
        armed = false;
        TAP(OCIStmtExecute) = [](auto...) {
            if (std::this_thread::get_id() != ui && !armed.exchange(true))
                Control("gate OCIStmtExecute self");
        };
        tvtest::ExpectDialog(u"実行中", [then, released = false](HWND h) mutable {
            if (!released) {
                if (!Parked()) return false;
                released = true;
                Control("gate_open");
            }
            return !then || then(h);
        });
    }
    // Boxes shown so far, as "caption: text" lines.
    static std::string BoxTexts() {
        std::string out;
        for (const tvtest::Box& b : tvtest::Boxes())
            out += WideToUtf8(b.caption.c_str()) + ": " + WideToUtf8(b.text.c_str()) + "\n";
        return out;
    }
};

} // namespace dlgtest
