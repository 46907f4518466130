// The input method: one context per window, the composition messages made
// from the display backend's preedit and commit events, and the composition
// window and font that the backend's cursor-rectangle and font queries read.
#pragma once

#include <functional>
#include <string>

#include "win32/gdi.h"
#include "win32/window.h"

typedef HANDLE HIMC;

#define WM_IME_STARTCOMPOSITION 0x010D
#define WM_IME_ENDCOMPOSITION 0x010E
#define WM_IME_COMPOSITION 0x010F
#define WM_IME_NOTIFY 0x0282
#define WM_IME_CHAR 0x0286
#define WM_IME_REQUEST 0x0288

#define GCS_COMPSTR 0x0008
#define GCS_RESULTSTR 0x0800
#define IMN_SETOPENSTATUS 0x0008
#define NI_COMPOSITIONSTR 0x0015
#define CPS_COMPLETE 0x0001
#define CPS_CANCEL 0x0004
#define CFS_DEFAULT 0x0000
#define CFS_RECT 0x0001
#define CFS_POINT 0x0002
#define IMR_RECONVERTSTRING 0x0004

struct COMPOSITIONFORM {
    DWORD dwStyle;
    POINT ptCurrentPos;
    RECT rcArea;
};

struct RECONVERTSTRING {
    DWORD dwSize;
    DWORD dwVersion;
    DWORD dwStrLen;
    DWORD dwStrOffset;
    DWORD dwCompStrLen;
    DWORD dwCompStrOffset;
    DWORD dwTargetStrLen;
    DWORD dwTargetStrOffset;
};

HIMC ImmGetContext(HWND hwnd);
BOOL ImmReleaseContext(HWND hwnd, HIMC imc);
BOOL ImmGetOpenStatus(HIMC imc);
BOOL ImmSetOpenStatus(HIMC imc, BOOL open);
// GCS_COMPSTR or GCS_RESULTSTR: bytes of the string; with a buffer, copies at
// most bytes (no terminator).
LONG ImmGetCompositionStringW(HIMC imc, DWORD index, LPVOID buffer, DWORD bytes);
BOOL ImmNotifyIME(HIMC imc, DWORD action, DWORD index, DWORD value);
BOOL ImmSetCompositionWindow(HIMC imc, const COMPOSITIONFORM* form);
BOOL ImmGetCompositionWindow(HIMC imc, COMPOSITIONFORM* form);
BOOL ImmSetCompositionFontW(HIMC imc, const LOGFONTW* font);
BOOL ImmGetCompositionFontW(HIMC imc, LOGFONTW* font);

namespace win32bk {

// The state of a window's input context.
struct ImeState {
    bool open = false;      // turned on by the input method (driver or system)
    bool composing = false; // between the first preedit and the commit or cancel
    std::u16string preedit;
    COMPOSITIONFORM form{CFS_DEFAULT, {0, 0}, {0, 0, 0, 0}};
    COMPOSITIONFORM area{CFS_DEFAULT, {0, 0}, {0, 0, 0, 0}};
    bool hasFont = false;
    LOGFONTW font{};
};
// Null when the window has no context yet.
const ImeState* GetImeState(HWND hwnd);

// From the backend's input-method events on a host window: a preedit (empty:
// the composition was cancelled) and a commit.
void ImePreedit(HWND host, const std::u16string& text);
void ImeCommit(HWND host, const std::u16string& text);
void ImeSetOpen(HWND host, bool open);
// The point (client coordinates) where the preedit is shown and the caret
// of a CFS_DEFAULT form is.
POINT ImeCompositionPoint(HWND hwnd);
// Called by ImmNotifyIME(CPS_COMPLETE/CPS_CANCEL) so that the backend's input
// method forgets the preedit it committed.
void SetImeResetHook(std::function<void(HWND)> hook);

} // namespace win32bk
