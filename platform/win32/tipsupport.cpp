#include <windows.h>

#include "win32/backend.h"

HWND GetDesktopWindow() {
    return nullptr;
}

DWORD GetTabbedTextExtentW(HDC dc, LPCWSTR text, int count, int tabCount, const int* tabStops) {
    if (!text || count <= 0) {
        SIZE sz{};
        GetTextExtentPoint32W(dc, u" ", 1, &sz);
        return MAKELONG(0, sz.cy);
    }
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    int step = tabCount == 1 && tabStops && tabStops[0] > 0 ? tabStops[0] : 8 * tm.tmAveCharWidth;
    int x = 0, height = tm.tmHeight;
    int start = 0;
    for (int i = 0; i <= count; ++i) {
        if (i < count && text[i] != u'\t') continue;
        if (i > start) {
            SIZE sz{};
            GetTextExtentPoint32W(dc, text + start, i - start, &sz);
            x += sz.cx;
            if (sz.cy > height) height = sz.cy;
        }
        if (i < count && step > 0) x = (x / step + 1) * step;
        start = i + 1;
    }
    return MAKELONG(static_cast<WORD>(x), static_cast<WORD>(height));
}

void mouse_event(DWORD flags, DWORD, DWORD, DWORD, ULONG_PTR) {
    struct Press {
        DWORD flag;
        win32bk::Button button;
        bool down;
    };
    static const Press presses[] = {
        {MOUSEEVENTF_LEFTDOWN, win32bk::Button::Left, true},
        {MOUSEEVENTF_LEFTUP, win32bk::Button::Left, false},
        {MOUSEEVENTF_RIGHTDOWN, win32bk::Button::Right, true},
        {MOUSEEVENTF_RIGHTUP, win32bk::Button::Right, false},
        {MOUSEEVENTF_MIDDLEDOWN, win32bk::Button::Middle, true},
        {MOUSEEVENTF_MIDDLEUP, win32bk::Button::Middle, false},
    };
    for (const Press& p : presses) {
        if (!(flags & p.flag)) continue;
        POINT pt{};
        GetCursorPos(&pt);
        HWND target = WindowFromPoint(pt);
        if (!target) continue;
        POINT client = pt;
        ScreenToClient(target, &client);
        win32bk::InputMouseButton(target, client, p.button, p.down);
    }
}
