// Calls of popup tip windows: tool-window style, topmost placement, the
// desktop window, tabbed text extents and synthesized mouse presses.
#pragma once

#include "win32/types.h"

#define WS_EX_TOOLWINDOW 0x00000080L
#define HWND_TOPMOST ((HWND)-1)
#define HWND_NOTOPMOST ((HWND)-2)

#define MOUSEEVENTF_LEFTDOWN 0x0002
#define MOUSEEVENTF_LEFTUP 0x0004
#define MOUSEEVENTF_RIGHTDOWN 0x0008
#define MOUSEEVENTF_RIGHTUP 0x0010
#define MOUSEEVENTF_MIDDLEDOWN 0x0020
#define MOUSEEVENTF_MIDDLEUP 0x0040

// The parent of top-level windows: in this layer a top-level window has no
// parent record, so this is null.
HWND GetDesktopWindow();

// Width (low word) and height (high word) of text in the selected font. Tabs
// without tab stops advance to multiples of 8 x the average character width.
DWORD GetTabbedTextExtentW(HDC dc, LPCWSTR text, int count, int tabCount, const int* tabStops);

// Presses and releases buttons at the current pointer position; each goes to
// the window under the pointer through the same routing as a real press.
void mouse_event(DWORD flags, DWORD dx, DWORD dy, DWORD data, ULONG_PTR extraInfo);

// Injected input, delivered after the current message returns, behind the
// messages posted before it, in order, as real input: a press goes to the
// window holding the capture or else the window under the pointer as it is
// then; keys go to the focus window and are translated (VK_BACK gives WM_CHAR 8).
#define INPUT_MOUSE 0
#define INPUT_KEYBOARD 1
#define KEYEVENTF_EXTENDEDKEY 0x0001
#define KEYEVENTF_KEYUP 0x0002
#define SM_SWAPBUTTON 23

struct MOUSEINPUT {
    LONG dx;
    LONG dy;
    DWORD mouseData;
    DWORD dwFlags;
    DWORD time;
    ULONG_PTR dwExtraInfo;
};
struct KEYBDINPUT {
    WORD wVk;
    WORD wScan;
    DWORD dwFlags;
    DWORD time;
    ULONG_PTR dwExtraInfo;
};
struct INPUT {
    DWORD type;
    union {
        MOUSEINPUT mi;
        KEYBDINPUT ki;
    };
};

// The button flags of mouse input are used (the pointer stays where it is).
UINT SendInput(UINT count, INPUT* inputs, int size);
void keybd_event(BYTE vk, BYTE scan, DWORD flags, ULONG_PTR extraInfo);
