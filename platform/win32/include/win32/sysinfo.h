// The process's command line and arguments, the executable's path, the
// environment and current directory, path splitting, the screen and its work
// area, and window placement calls (minimised, maximised, brought to top).
#pragma once

#include <string>
#include <vector>

#include "win32/window.h"

// The arguments in UTF-16 (the program's own first), as the C runtime of
// Windows keeps them.
extern int __argc;
extern char16_t** __wargv;
// Records the arguments main received (UTF-8, converted here).
void SetProcessArguments(int argc, char** argv);
void SetProcessArgumentsW(const std::vector<std::u16string>& args);
// The command line SplitCommandLine reads back as __wargv. An argument
// NAME=value whose value needs quotes is written NAME="value".
LPWSTR GetCommandLineW();
// One argument as GetCommandLineW writes it.
std::u16string QuoteCommandArgument(const std::u16string& arg);

// The executable's path (from /proc/self/exe unless a test set another).
std::u16string ExecutablePath();
void SetExecutablePath(const std::u16string& path); // "" returns to the real one

// "NAME=value" sets, "NAME=" removes; 0 on success, -1 on a malformed entry.
int _wputenv(const char16_t* entry);
void _wsplitpath(const char16_t* path, char16_t* drive, char16_t* dir, char16_t* fname, char16_t* ext);
#define _MAX_PATH 260
#define _MAX_DRIVE 3
#define _MAX_DIR 256
#define _MAX_FNAME 256
#define _MAX_EXT 256
DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer);
BOOL SetCurrentDirectoryW(LPCWSTR path);

#define SPI_GETWORKAREA 0x0030
BOOL SystemParametersInfoW(UINT action, UINT param, LPVOID data, UINT winIni);

BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);
BOOL BringWindowToTop(HWND hwnd);
BOOL AttachThreadInput(DWORD from, DWORD to, BOOL attach);

namespace win32bk {
// The primary screen and its work area (the screen without the desktop's
// panels). The display backend reports them; tests set them.
struct ScreenInfo {
    RECT screen;
    RECT work;
};
ScreenInfo GetScreenInfo();
// Makes the one screen there is.
void SetScreenInfo(const ScreenInfo& info);
// Every screen of the desktop, the primary first (none: left as it is).
void SetScreens(const std::vector<ScreenInfo>& screens);
// The screen that holds the most of a rectangle in screen coordinates; for
// one on no screen, the screen nearest to its centre.
ScreenInfo ScreenHolding(const RECT& r);
// Applies SW_MAXIMIZE, SW_MINIMIZE, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED and
// SW_RESTORE to a top-level window's placement (called by ShowWindow).
void ApplyShowCommand(HWND hwnd, int cmd);
// The first top-level window ever shown (menus and tooltips aside), or null.
HWND FirstShownTopLevel();
void NoteTopLevelShown(HWND hwnd);
// Run by every UI loop when its queue is empty (the screenshot of
// TAVRELIX_SCREENSHOT is taken there).
using IdleHook = void (*)();
void SetIdleHook(IdleHook hook);
void RunIdleHook();
// Destroys every window of the calling thread that is left.
void DestroyAllWindows();
} // namespace win32bk
