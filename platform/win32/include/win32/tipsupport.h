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
