// Shared by the benchmarks that run the whole program in process: a scratch
// tree laid out as an installed program (the client stand-in and data/
// beside a stand-in executable path, settings and DEMO under their own XDG
// directories), the modal hook installed, and the start logged on to DEMO.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include <afxwin.h>

#include "app/tavexapp.h"
#include "testing/driver.h"
#include "testing/framework.h"

struct BenchProgramTree {
    std::filesystem::path root, bin, data;
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
