// MessageBoxW and GetAsyncKeyState. Both dispatch to a replaceable backend:
// the display layer installs its message box and keyboard state, tests install
// recorders. The default backend writes the box to the standard error stream
// and answers IDOK, and reports every key up.
#pragma once

#include "win32/types.h"

// The same declaration as the window header's (a repeated typedef of one type
// is allowed), so this header stands alone.
struct HWND__;
typedef HWND__* HWND;

#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_ABORTRETRYIGNORE 0x00000002L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_RETRYCANCEL 0x00000005L
#define MB_ICONHAND 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_DEFBUTTON1 0x00000000L
#define MB_DEFBUTTON2 0x00000100L
#define MB_DEFBUTTON3 0x00000200L
#define MB_APPLMODAL 0x00000000L
#define MB_SYSTEMMODAL 0x00001000L
#define MB_TASKMODAL 0x00002000L
#define MB_SETFOREGROUND 0x00010000L
#define MB_TOPMOST 0x00040000L

#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

#ifndef VK_CANCEL
#define VK_CANCEL 0x03
#endif
#ifndef VK_SHIFT
#define VK_SHIFT 0x10
#endif
#ifndef VK_CONTROL
#define VK_CONTROL 0x11
#endif
#ifndef VK_MENU
#define VK_MENU 0x12
#endif

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// High bit (0x8000) set while the key is down.
short GetAsyncKeyState(int vk);

struct Win32HostHooks {
    int (*messageBox)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
    short (*asyncKeyState)(int vk);
};

// Installs the backend; a null member restores that call's default.
void Win32SetHostHooks(const Win32HostHooks& hooks);
Win32HostHooks Win32GetHostHooks();

namespace win32bk {
// The thread of the user interface (the calling one). Once it is set, a
// MessageBoxW called on another thread is handed, hook included, to this
// thread and waited for; its loops show such boxes as they serve sends.
void SetUiThread();
bool IsUiThread();
// Shows the boxes other threads handed over; on the UI thread only.
void ServeBoxes();
// Waits until done() holds; on the UI thread it shows the boxes handed over
// meanwhile (and serves nothing else). For waits on a thread's end.
void WaitServingBoxes(bool (*done)(void* context), void* context);
} // namespace win32bk
