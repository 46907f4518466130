#include <windows.h>

#include "win32/backend.h"
#include "win32/tipsupport.h"

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

namespace {

void InjectKey(UINT vk, UINT scan, DWORD flags) {
    win32bk::QueueInjectedInput([vk, scan, flags] {
        HWND focus = GetFocus();
        if (!focus) return;
        bool down = !(flags & KEYEVENTF_KEYUP);
        bool shift = GetAsyncKeyState(VK_SHIFT) < 0, alt = GetAsyncKeyState(VK_MENU) < 0;
        std::u16string text;
        if (down && vk >= 'A' && vk <= 'Z')
            text.push_back(static_cast<char16_t>(shift ? vk : vk - 'A' + 'a'));
        else if (down && ((vk >= '0' && vk <= '9') || vk == VK_SPACE))
            text.push_back(static_cast<char16_t>(vk));
        win32bk::InputKey(focus, down, vk, scan, (flags & KEYEVENTF_EXTENDEDKEY) != 0, false, alt, text);
    });
}

} // namespace

UINT SendInput(UINT count, INPUT* inputs, int size) {
    if (!inputs || size != static_cast<int>(sizeof(INPUT))) return 0;
    for (UINT i = 0; i < count; ++i) {
        const INPUT& in = inputs[i];
        if (in.type == INPUT_KEYBOARD) {
            InjectKey(in.ki.wVk, in.ki.wScan, in.ki.dwFlags);
        } else if (in.type == INPUT_MOUSE) {
            DWORD flags = in.mi.dwFlags;
            win32bk::QueueInjectedInput([flags] { mouse_event(flags, 0, 0, 0, 0); });
        }
    }
    return count;
}

void keybd_event(BYTE vk, BYTE scan, DWORD flags, ULONG_PTR) {
    InjectKey(vk, scan, flags);
}
