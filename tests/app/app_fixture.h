// The application's fixture: a temporary XDG tree and executable directory
// (the client stand-in and data/ linked beside a stand-in executable path),
// a copy of the DEMO database, the program's settings store, and the
// start and exit of the application object in this process.
#pragma once

#include <gtest/gtest.h>

#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <afxwin.h>

#include "app/appstate.h"
#include "app/settings.h"
#include "app_globals.h"
#include "app/tavexapp.h"
#include "oracle/oci_api.h"
#include "oracle/oci_entry.h"
#include "testing/dialogs.h"
#include "testing/driver.h"
#include "testing/framework.h"

namespace apptest {

namespace fs = std::filesystem;

inline std::string Narrow(const CString& s) {
    return WideToUtf8(s.GetString());
}
inline std::u16string Wide(const std::string& s) {
    return Utf8ToWide(s.c_str());
}

// The stand-in's own control entry (tests gate and vary the client through it).
inline void Control(const std::string& command) {
    ASSERT_NE(g_oci_module, nullptr);
    auto control = reinterpret_cast<pfn_oci_standin_control>(
        reinterpret_cast<void (*)()>(GetProcAddress(g_oci_module, "oci_standin_control")));
    ASSERT_NE(control, nullptr);
    char reply[256];
    ASSERT_EQ(control(command.c_str(), reply, sizeof reply), 0) << command << ": " << reply;
}

// Waits for the completion loader a logon starts: it logs on and executes on
// a thread of its own, so a case that taps the next worker's execution would
// otherwise catch the loader's instead. It sends nothing to the UI thread.
inline void WaitForKeywordLoader() {
    if (theApp.m_hKeywordThread) ::WaitForSingleObject(theApp.m_hKeywordThread, INFINITE);
}

// Types into a combo box's edit field, as a user clicking into it would;
// replacing, its text is first selected with End and Shift+Home.
inline void TypeIntoCombo(HWND dlg, int id, const std::u16string& text, bool replacing = false) {
    HWND edit = ::ChildWindowFromPoint(tvtest::Control(dlg, id), POINT{10, 10});
    RECT r;
    ::GetClientRect(edit, &r);
    tvtest::Click(edit, r.right - 1, r.bottom / 2);
    if (replacing) {
        tvtest::Key(edit, qtplatform::Key_End);
        tvtest::Key(edit, qtplatform::Key_Home, static_cast<unsigned>(qtplatform::Mods::Shift));
    }
    tvtest::Type(edit, text);
    tvtest::Pump();
}

// Handles what is pending for the UI thread, then takes the quit message a
// main window's end posts, as the application's run loop would have: left in
// the queue it ends the first modal loop of the next case at once.
inline void DrainMessages() {
    tvtest::Pump();
    MSG m;
    while (PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

// The state a case of the running program starts from and leaves: the
// application's globals (app_globals.h), the UI thread's queue, and the
// boxes, dialogs, menus and keys the test drivers recorded or were given.
inline void ResetProcessState() {
    // A client library a case loaded itself (the program frees only its own
    // load at its exit): left loaded, the next case would get its state.
    if (g_oci_module) {
        if (g_oci_env_ready && g_oci.OCIHandleFree) g_oci.OCIHandleFree(g_oci_env, OCI_HTYPE_ENV);
        FreeLibrary(g_oci_module);
        oci_reset_globals_for_test();
    }
    ResetAppGlobals();
    DrainMessages();
    tvtest::ClearBoxes();
    tvtest::ClearDialogs();
    tvtest::ClearMenus();
    for (int vk : {VK_CANCEL, VK_SHIFT, VK_CONTROL, VK_MENU}) tvtest::SetKeyState(vk, false);
    tvtest::SetExecutablePath(u"");
}

// A DEMO database made once per build tree and copied for each case.
inline fs::path DemoCache() {
    fs::path cache = fs::path(TAVRELIX_BIN_DIR).parent_path() / "tests" / "app-demo";
    fs::path lock = cache.string() + ".lock";
    fs::create_directories(cache.parent_path());
    int fd = ::open(lock.c_str(), O_CREAT | O_RDWR, 0600);
    ::flock(fd, LOCK_EX);
    if (!fs::exists(cache / "done")) {
        fs::remove_all(cache);
        fs::path scratch = cache.string() + ".new";
        fs::remove_all(scratch);
        fs::create_directories(scratch);
        const char* oldXdg = getenv("XDG_DATA_HOME");
        std::string saved = oldXdg ? oldXdg : "";
        setenv("XDG_DATA_HOME", scratch.c_str(), 1);
        SetDllDirectoryW(Wide(ORACLE_BIN_DIR).c_str());
        CString msg;
        if (oci_load_library(&msg) == ORARC_OK) {
            g_use_oci7_api = 0;
            OraSession* s = nullptr;
            if (oci_login2(&s, u"DEMO", u"demo", u"DEMO", nullptr, 1, &msg, nullptr) == ORARC_OK)
                oci_ora_logout(&s);
            if (g_oci_env_ready) g_oci.OCIHandleFree(g_oci_env, OCI_HTYPE_ENV);
            FreeLibrary(g_oci_module);
        }
        oci_reset_globals_for_test();
        SetDllDirectoryW(nullptr);
        if (saved.empty())
            unsetenv("XDG_DATA_HOME");
        else
            setenv("XDG_DATA_HOME", saved.c_str(), 1);
        fs::rename(scratch / "tavrelix" / "oci", cache);
        fs::remove_all(scratch);
        std::ofstream(cache / "done") << "ok\n";
    }
    ::flock(fd, LOCK_UN);
    ::close(fd);
    return cache;
}

class AppTest : public ::testing::Test {
public:
    fs::path root, bin, config, data, home;
    bool started = false;
    // The working directory as the case found it (the program changes it).
    fs::path cwd;
    // The user's home as the case found it: each case has its own.
    std::string savedHome;
    bool hadHome = false;

    void SetUp() override {
        cwd = fs::current_path();
        const char* oldHome = getenv("HOME");
        hadHome = oldHome != nullptr;
        savedHome = oldHome ? oldHome : "";
        char tmpl[] = "/tmp/tavrelix-app-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root = tmpl;
        bin = root / "bin";
        config = root / "config";
        data = root / "data";
        home = root / "home";
        fs::create_directories(home);
        setenv("HOME", home.c_str(), 1);
        fs::create_directories(bin);
        fs::create_directories(config);
        fs::create_directories(data / "tavrelix");
        fs::path demo = DemoCache();
        fs::copy(demo, data / "tavrelix" / "oci", fs::copy_options::recursive);
        fs::remove(data / "tavrelix" / "oci" / "done");
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        setenv("XDG_DATA_HOME", data.c_str(), 1);
        unsetenv("TNS_ADMIN");
        unsetenv("NLS_LANG");
        unsetenv("NLS_NCHAR");
        fs::create_symlink(fs::path(ORACLE_BIN_DIR) / "liboci.so", bin / "liboci.so");
        fs::create_directories(bin / "data");
        fs::copy(fs::path(TAVRELIX_BIN_DIR) / "data", bin / "data", fs::copy_options::recursive);
        // The executable's file carries the program's version block.
        fs::create_symlink(fs::read_symlink("/proc/self/exe"), bin / "tavrelix");
        tvtest::Init();
        ResetProcessState();
        tvtest::SetExecutablePath(Wide((bin / "tavrelix").string()));
        oci_reset_globals_for_test();
        // The store the program will choose (no ini file): tests seed it before starting.
        theApp.LoadAppTitle();
        theApp.SetRegistryKey(u"QUARN\\ORACLE");
    }

    void TearDown() override {
        if (started) Exit();
        tvtest::VerifyDialogs();
        ResetProcessState();
        std::error_code ec;
        fs::current_path(cwd, ec);
        fs::remove_all(root, ec);
        if (hadHome)
            setenv("HOME", savedHome.c_str(), 1);
        else
            unsetenv("HOME");
    }

    // Runs InitInstance with these arguments after the program's path.
    BOOL Start(std::vector<std::u16string> args = {}) {
        args.insert(args.begin(), Wide((bin / "tavrelix").string()));
        SetProcessArgumentsW(args);
        started = true;
        BOOL ok = theApp.InitInstance();
        tvtest::Pump();
        return ok;
    }
    // ExitInstance, and the windows left go as AfxWinMain lets them go.
    int Exit() {
        started = false;
        if (theApp.m_pMainWnd && theApp.m_pMainWnd->m_hWnd) theApp.m_pMainWnd->DestroyWindow();
        int code = theApp.ExitInstance();
        tvtest::Pump();
        return code;
    }

    void PutInt(const char16_t* section, const char16_t* key, int value) {
        theApp.WriteProfileInt(section, key, value);
    }
    // The main window's place as the program stores it at its end.
    void PutPlace(int left, int top, int width, int height) {
        PutInt(u"WINDOW", u"LEFT", left);
        PutInt(u"WINDOW", u"TOP", top);
        PutInt(u"WINDOW", u"WIDTH", width);
        PutInt(u"WINDOW", u"HEIGHT", height);
    }
    void PutStr(const char16_t* section, const char16_t* key, const char16_t* value) {
        theApp.WriteProfileString(section, key, value);
    }
    int GetInt(const char16_t* section, const char16_t* key, int def = -12345) {
        return static_cast<int>(theApp.GetProfileInt(section, key, def));
    }
    std::u16string GetStr(const char16_t* section, const char16_t* key, const char16_t* def = u"<none>") {
        return std::u16string(theApp.GetProfileString(section, key, def));
    }

    // The boxes shown so far with this caption.
    std::vector<tvtest::Box> BoxesCaptioned(const std::u16string& caption) {
        std::vector<tvtest::Box> out;
        for (const tvtest::Box& b : tvtest::Boxes())
            if (b.caption == caption) out.push_back(b);
        return out;
    }
};

} // namespace apptest
