// Shared by the benchmarks that run the whole program in process: a scratch
// tree laid out as an installed program (the client stand-in and data/
// beside a stand-in executable path, settings and DEMO under their own XDG
// directories), the modal hook installed, and the start logged on to DEMO.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <afxwin.h>

#include "app/tavexapp.h"
#include "testing/driver.h"
#include "testing/framework.h"

namespace benchapp {

using Clock = std::chrono::steady_clock;

inline double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// A window's whole text.
inline std::u16string TextOf(HWND h) {
    int n = ::GetWindowTextLengthW(h);
    std::u16string s(size_t(n) + 1, u'\0');
    n = ::GetWindowTextW(h, s.data(), n + 1);
    s.resize(size_t(std::max(n, 0)));
    return s;
}

} // namespace benchapp

// The scratch tree, removed when it goes out of scope, a failed start
// included.
struct BenchProgramTree {
    std::filesystem::path root, bin, data;
    BenchProgramTree() = default;
    BenchProgramTree(const BenchProgramTree&) = delete;
    BenchProgramTree& operator=(const BenchProgramTree&) = delete;
    ~BenchProgramTree() {
        std::error_code ec;
        if (!root.empty()) std::filesystem::remove_all(root, ec);
    }
};

// Starts the program under /tmp/tavrelix-NAME-XXXXXX; false (with a line on
// stderr) when the tree cannot be made or the program does not start.
inline bool StartProgramInProcess(const char* name, win32dlg::ModalHook hook, BenchProgramTree* tree) {
    namespace fs = std::filesystem;
    std::string tmpl = std::string("/tmp/tavrelix-") + name + "-XXXXXX";
    if (!mkdtemp(tmpl.data())) return false;
    tree->root = tmpl;
    tree->bin = tree->root / "bin";
    tree->data = tree->root / "data";
    fs::create_directories(tree->bin / "data");
    fs::create_directories(tree->root / "config");
    fs::create_directories(tree->data);
    setenv("XDG_CONFIG_HOME", (tree->root / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", tree->data.c_str(), 1);
    unsetenv("TNS_ADMIN");
    unsetenv("NLS_LANG");
    unsetenv("NLS_NCHAR");
    fs::create_symlink(fs::path(ORACLE_BIN_DIR) / "liboci.so", tree->bin / "liboci.so");
    fs::copy(fs::path(ORACLE_BIN_DIR) / "data", tree->bin / "data", fs::copy_options::recursive);
    fs::create_symlink(fs::read_symlink("/proc/self/exe"), tree->bin / "tavrelix");

    tvtest::Init();
    win32bk::UseFakeClock(false);
    tvtest::SetExecutablePath(Utf8ToWide((tree->bin / "tavrelix").c_str()));
    win32dlg::SetModalHook(hook);
    SetProcessArgumentsW({Utf8ToWide((tree->bin / "tavrelix").c_str()), u"LOGON=DEMO/demo@DEMO"});
    // The first logon makes DEMO: the database is prepared before anything is timed.
    if (!theApp.InitInstance()) {
        std::fprintf(stderr, "the program did not start\n");
        return false;
    }
    tvtest::RunUntilIdle();
    return true;
}
