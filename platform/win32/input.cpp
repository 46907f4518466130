// Input: keys and their translation into characters, mouse with double
// clicks and capture, wheels, focus, cursor, caret and scroll-bar gestures.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <mutex>

#include "platform/win32/wnd_internal.h"
#include "win32/sysinfo.h"

namespace win32bk {

const std::array<BYTE, 256>* CurrentKeySnapshot();
bool RunPreTranslate(MSG* msg);
void PostInput(const MSG& m, const std::array<BYTE, 256>& keys);
LRESULT CallProc(const std::shared_ptr<Wnd>& w, UINT msg, WPARAM wParam, LPARAM lParam);

namespace {
std::array<BYTE, 256> g_keys{}; // the asynchronous state: 0x80 down, 0x01 toggled
// Whether each key's last key message was a key-down: a key message's
// previous-state bit. The asynchronous state cannot tell it for a modifier,
// which the display reports down with its own press.
std::array<bool, 256> g_keyWasDown{};
HWND g_focus = nullptr;
HWND g_capture = nullptr;
HCURSOR g_cursor = nullptr;
HWND g_mouseHost = nullptr;
int g_cursorCount = 0;
POINT g_cursorPos{0, 0};

// Text the backend delivered with the key-down being translated.
thread_local const std::u16string* t_keyText = nullptr;

struct LastClick {
    HWND hwnd = nullptr;
    UINT button = 0;
    uint64_t time = 0;
    POINT pt{0, 0};
} g_lastClick;

int g_wheelAcc[2] = {0, 0};

struct Caret {
    HWND owner = nullptr;
    int x = 0, y = 0, w = 1, h = 1;
    int kind = 0; // 0 solid, 1 gray, 2 bitmap
    HBITMAP bitmap = nullptr;
    int hide = 1;
    bool on = true;
    uint64_t timer = 0;
} g_caret;

struct BarGesture {
    HWND hwnd = nullptr;
    int bar = 0;
    int part = -1;
    uint64_t timer = 0;
} g_gesture;

// Written on the UI thread; other threads read it through GetAsyncKeyState.
void SetKey(UINT vk, bool down) {
    vk &= 0xFF;
    BYTE v = g_keys[vk];
    if (down) {
        if (!(v & 0x80)) v ^= 0x01;
        v |= 0x80;
    } else {
        v &= static_cast<BYTE>(~0x80);
    }
    std::atomic_ref<BYTE>(g_keys[vk]).store(v, std::memory_order_relaxed);
}

WPARAM MouseKeys() {
    const std::array<BYTE, 256>& k = g_keys;
    WPARAM w = 0;
    if (k[VK_LBUTTON] & 0x80) w |= MK_LBUTTON;
    if (k[VK_RBUTTON] & 0x80) w |= MK_RBUTTON;
    if (k[VK_MBUTTON] & 0x80) w |= MK_MBUTTON;
    if (k[VK_SHIFT] & 0x80) w |= MK_SHIFT;
    if (k[VK_CONTROL] & 0x80) w |= MK_CONTROL;
    return w;
}

// Input goes pre-translate, translate, dispatch, with the key state of the message.
void Deliver(MSG m) {
    m.time = static_cast<DWORD>(Now());
    m.pt = g_cursorPos;
    if (!IsWindow(m.hwnd)) return;
    if (RunPreTranslate(&m)) return;
    TranslateMessage(&m);
    DispatchMessageW(&m);
}

HWND TopOf(HWND h) {
    return GetAncestor(h, GA_ROOT);
}

void PresentCaret() {
    if (!g_caret.owner) return;
    RECT r{g_caret.x, g_caret.y, g_caret.x + g_caret.w, g_caret.y + g_caret.h};
    Present(g_caret.owner, r);
}

void RestartBlink() {
    if (g_caret.timer) StopInternalTimer(g_caret.timer);
    g_caret.timer = 0;
    g_caret.on = true;
    UINT half = GetCaretBlinkTime();
    if (half == 0) return;
    g_caret.timer = StartInternalTimer(half, true, [] {
        g_caret.on = !g_caret.on;
        PresentCaret();
    });
}

void SendBar(HWND hwnd, int bar, int code, int pos) {
    auto w = Find(hwnd);
    if (!w) return;
    UINT msg = bar == SB_HORZ ? WM_HSCROLL : WM_VSCROLL;
    WPARAM wp = MAKEWPARAM(code, static_cast<WORD>(pos & 0xFFFF));
    if (IsBarControl(*w)) {
        msg = (w->style & SBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
        if (w->parent) SendMessageW(w->parent, msg, wp, reinterpret_cast<LPARAM>(hwnd));
    } else {
        SendMessageW(hwnd, msg, wp, 0);
    }
    if (IsWindow(hwnd))
        if (Backend* b = GetBackend()) b->HostSync(hwnd);
}

BarState* GestureBar(Wnd& w, int bar) {
    return IsBarControl(w) ? &w.vbar : bar == SB_HORZ ? &w.hbar : &w.vbar;
}

// Where a point (client coordinates) lies in the window: the client area,
// the menu bar, a scroll bar, the corner between two bars, or the border.
int HitTest(HWND hwnd, POINT client) {
    auto w = Find(hwnd);
    if (!w) return HTNOWHERE;
    const RECT c = ClientRectOf(*w);
    if (PtInRect(&c, client)) return HTCLIENT;
    HostView v{};
    if (!GetHostView(hwnd, &v)) return HTNOWHERE;
    const POINT at{client.x + v.client.left, client.y + v.client.top};
    if (PtInRect(&v.menuBar, at)) return HTMENU;
    if (PtInRect(&v.vbarRect, at)) return HTVSCROLL;
    if (PtInRect(&v.hbarRect, at)) return HTHSCROLL;
    if (client.x >= c.right && client.y >= c.bottom && (w->vbar.visible || w->hbar.visible)) return HTNOWHERE;
    return HTBORDER;
}
} // namespace

bool MouseActivate(HWND hwnd, int hit, UINT msg) {
    HWND top = TopOf(hwnd);
    if (!top || hwnd == GetActiveWindow()) return true;
    const LRESULT answer = SendMessageW(hwnd, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top),
                                        MAKELPARAM(static_cast<WORD>(hit), static_cast<WORD>(msg)));
    if (answer != MA_NOACTIVATE && answer != MA_NOACTIVATEANDEAT && IsWindow(top)) ClickActivateWindow(top);
    return IsWindow(hwnd) && answer != MA_ACTIVATEANDEAT && answer != MA_NOACTIVATEANDEAT;
}

void ForgetWindowInput(HWND hwnd) {
    if (g_focus == hwnd) g_focus = nullptr;
    if (g_capture == hwnd) g_capture = nullptr;
    if (g_mouseHost == hwnd) g_mouseHost = nullptr;
    if (g_lastClick.hwnd == hwnd) g_lastClick = LastClick{};
    if (g_caret.owner == hwnd) DestroyCaret();
    if (g_gesture.hwnd == hwnd) {
        if (g_gesture.timer) StopInternalTimer(g_gesture.timer);
        g_gesture = BarGesture{};
    }
}

void InputModifiers(bool shift, bool ctrl, bool alt) {
    if (!shift) g_keyWasDown[VK_SHIFT] = false;
    if (!ctrl) g_keyWasDown[VK_CONTROL] = false;
    if (!alt) g_keyWasDown[VK_MENU] = false;
    SetKey(VK_SHIFT, shift), SetKey(VK_LSHIFT, shift);
    SetKey(VK_CONTROL, ctrl), SetKey(VK_LCONTROL, ctrl);
    SetKey(VK_MENU, alt), SetKey(VK_LMENU, alt);
}

void InputKey(HWND host, bool down, UINT vk, UINT scanCode, bool extended, bool autoRepeat, bool alt,
              const std::u16string& text) {
    ServePostedBeforeInput();
    bool wasDown = g_keyWasDown[vk & 0xFF];
    g_keyWasDown[vk & 0xFF] = down;
    if (vk) SetKey(vk, down);
    HWND target = g_focus ? g_focus : (host ? TopOf(host) : nullptr);
    if (!target || !IsWindowEnabled(TopOf(target))) return;
    bool sys = alt || vk == VK_F10;
    if ((g_keys[VK_CONTROL] & 0x80) && alt) sys = false;
    UINT msg = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
    LPARAM lp = 1 | ((scanCode & 0xFF) << 16) | (extended ? (1u << 24) : 0) | (alt ? (1u << 29) : 0);
    if (!down || autoRepeat || wasDown) lp |= (1u << 30);
    if (!down) lp |= (1u << 31);
    MSG m{target, msg, vk, static_cast<LPARAM>(static_cast<DWORD>(lp)), 0, {0, 0}};
    const std::u16string* saved = t_keyText;
    t_keyText = &text;
    Deliver(m);
    t_keyText = saved;
}

void InputMouseMove(HWND host, POINT client) {
    POINT screen = client;
    ClientToScreen(host, &screen);
    g_cursorPos = screen;
    g_mouseHost = host;
    if (MenuLoopMouse(screen, WM_MOUSEMOVE, MouseKeys())) return;
    HWND target = g_capture ? g_capture : host;
    POINT p = screen;
    ScreenToClient(target, &p);
    if (!g_capture)
        SendMessageW(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    Deliver(MSG{target, WM_MOUSEMOVE, MouseKeys(), MAKELPARAM(p.x, p.y), 0, {0, 0}});
}

void InputMouseButton(HWND host, POINT client, Button b, bool down) {
    ServePostedBeforeInput();
    if (!IsWindow(host)) return;
    POINT screen = client;
    ClientToScreen(host, &screen);
    g_cursorPos = screen;
    g_mouseHost = host;
    UINT vk = b == Button::Left ? VK_LBUTTON : b == Button::Right ? VK_RBUTTON : VK_MBUTTON;
    SetKey(vk, down);
    UINT base = b == Button::Left ? WM_LBUTTONDOWN : b == Button::Right ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
    if (MenuLoopMouse(screen, down ? base : base + 1, MouseKeys())) return;
    HWND target = g_capture ? g_capture : host;
    if (!IsWindowEnabled(target)) return;
    POINT p = screen;
    ScreenToClient(target, &p);
    // The capture window gets every message as a client one; otherwise a
    // press outside the client area is a non-client message, which carries
    // the hit-test code and the point on the screen.
    const int hit = g_capture ? HTCLIENT : HitTest(target, p);
    if (hit != HTCLIENT) base = base - WM_LBUTTONDOWN + WM_NCLBUTTONDOWN;
    UINT msg = down ? base : base + 1;
    if (down) {
        auto w = Find(target);
        bool dbl = false;
        // Double clicks outside the client area come whatever the class's style.
        if (w && (hit != HTCLIENT || (w->cls->style & CS_DBLCLKS))) {
            Backend* be = GetBackend();
            uint64_t limit = be ? be->DoubleClickTime() : 500;
            dbl = g_lastClick.hwnd == target && g_lastClick.button == base &&
                  Now() - g_lastClick.time <= limit && std::abs(screen.x - g_lastClick.pt.x) <= 2 &&
                  std::abs(screen.y - g_lastClick.pt.y) <= 2;
        }
        if (dbl) {
            msg = base + 2;
            g_lastClick = LastClick{};
        } else {
            g_lastClick = LastClick{target, base, Now(), screen};
        }
    }
    const bool eaten = down && !g_capture && !MouseActivate(target, hit, msg);
    if (!IsWindow(target)) return;
    if (!g_capture)
        SendMessageW(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
                     MAKELPARAM(static_cast<WORD>(hit), static_cast<WORD>(msg)));
    if (eaten || !IsWindow(target)) return;
    if (hit != HTCLIENT)
        Deliver(MSG{target, msg, static_cast<WPARAM>(hit), MAKELPARAM(screen.x, screen.y), 0, {0, 0}});
    else
        Deliver(MSG{target, msg, MouseKeys(), MAKELPARAM(p.x, p.y), 0, {0, 0}});
}

void InputWheel(HWND host, POINT client, int angleY, int angleX) {
    POINT screen = client;
    ClientToScreen(host, &screen);
    g_cursorPos = screen;
    HWND target = host;
    if (!IsWindowEnabled(TopOf(target))) return;
    int angles[2] = {angleY, -angleX};
    for (int i = 0; i < 2; ++i) {
        int a = angles[i];
        if (a == 0) continue;
        int& acc = g_wheelAcc[i];
        if ((acc > 0 && a < 0) || (acc < 0 && a > 0)) acc = 0;
        acc += a;
        int out = acc / WHEEL_DELTA * WHEEL_DELTA;
        if (out == 0) continue;
        acc -= out;
        UINT msg = i == 0 ? WM_MOUSEWHEEL : WM_MOUSEHWHEEL;
        Deliver(MSG{target,
                    msg,
                    MAKEWPARAM(MouseKeys(), static_cast<WORD>(static_cast<short>(out))),
                    MAKELPARAM(screen.x, screen.y),
                    0,
                    {0, 0}});
    }
}

void InputFocus(HWND, bool in) {
    if (in) return;
    CancelMenuLoop();
    // Keys let go in another program are not seen here.
    g_keyWasDown.fill(false);
}

void InputClose(HWND host) {
    SendMessageW(host, WM_CLOSE, 0, 0);
}

void InputBarPress(HWND hwnd, int bar, int part, POINT) {
    auto w = Find(hwnd);
    if (!w || !IsWindowEnabled(hwnd)) return;
    // A bar control's press is in its client area; a window's own bar is non-client.
    const bool control = IsBarControl(*w);
    if (!g_capture && !MouseActivate(hwnd,
                                     control          ? HTCLIENT
                                     : bar == SB_HORZ ? HTHSCROLL
                                                      : HTVSCROLL,
                                     control ? WM_LBUTTONDOWN : WM_NCLBUTTONDOWN))
        return;
    w = Find(hwnd);
    if (!w) return;
    BarState* b = GestureBar(*w, bar);
    if ((b->disabled & ESB_DISABLE_BOTH) == ESB_DISABLE_BOTH) return;
    if (g_gesture.timer) StopInternalTimer(g_gesture.timer);
    g_gesture = BarGesture{hwnd, bar, part, 0};
    if (part == SB_THUMBTRACK) {
        w->tracking[bar == SB_HORZ ? SB_HORZ : SB_VERT] = true;
        b->info.nTrackPos = b->info.nPos;
        return;
    }
    SendBar(hwnd, bar, part, 0);
    // Held down, the request repeats: first after 350 ms, then every 50 ms.
    g_gesture.timer = StartInternalTimer(350, false, [] {
        HWND h = g_gesture.hwnd;
        int bar = g_gesture.bar, part = g_gesture.part;
        g_gesture.timer = StartInternalTimer(50, true, [h, bar, part] { SendBar(h, bar, part, 0); });
        SendBar(h, bar, part, 0);
    });
}

void InputBarMove(HWND hwnd, int bar, int trackPos) {
    auto w = Find(hwnd);
    if (!w || g_gesture.hwnd != hwnd || g_gesture.part != SB_THUMBTRACK) return;
    BarState* b = GestureBar(*w, bar);
    if (trackPos < b->info.nMin) trackPos = b->info.nMin;
    int lim = b->info.nMax - std::max<int>(static_cast<int>(b->info.nPage) - 1, 0);
    if (trackPos > lim) trackPos = lim;
    if (trackPos == b->info.nTrackPos) return;
    b->info.nTrackPos = trackPos;
    SendBar(hwnd, bar, SB_THUMBTRACK, trackPos);
}

void InputBarRelease(HWND hwnd, int bar) {
    if (g_gesture.hwnd != hwnd) return;
    if (g_gesture.timer) StopInternalTimer(g_gesture.timer);
    int part = g_gesture.part;
    g_gesture = BarGesture{};
    auto w = Find(hwnd);
    if (!w) return;
    if (part == SB_THUMBTRACK) {
        BarState* b = GestureBar(*w, bar);
        SendBar(hwnd, bar, SB_THUMBPOSITION, b->info.nTrackPos);
        if (auto w2 = Find(hwnd)) w2->tracking[bar == SB_HORZ ? SB_HORZ : SB_VERT] = false;
    }
    SendBar(hwnd, bar, SB_ENDSCROLL, 0);
}

bool CaretShown(HWND hwnd, RECT* rect, int* kind, Surface** bitmap) {
    if (g_caret.owner != hwnd || g_caret.hide > 0 || !g_caret.on) return false;
    *rect = RECT{g_caret.x, g_caret.y, g_caret.x + g_caret.w, g_caret.y + g_caret.h};
    *kind = g_caret.kind;
    *bitmap = g_caret.kind == 2 ? BitmapSurface(g_caret.bitmap) : nullptr;
    return true;
}

} // namespace win32bk

using namespace win32bk;

BOOL TranslateMessage(const MSG* msg) {
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
    UINT vk = static_cast<UINT>(msg->wParam);
    const std::array<BYTE, 256>& k = g_keys;
    bool ctrl = (k[VK_CONTROL] & 0x80) != 0, alt = (k[VK_MENU] & 0x80) != 0;
    std::u16string units;
    if (vk == VK_BACK)
        units = u"\b";
    else if (vk == VK_TAB)
        units = u"\t";
    else if (vk == VK_RETURN)
        units = u"\r";
    else if (vk == VK_ESCAPE)
        units = u"\x1b";
    else if (ctrl && !alt && vk >= 'A' && vk <= 'Z')
        units.push_back(static_cast<char16_t>(vk - 'A' + 1));
    else if (t_keyText) {
        for (char16_t c : *t_keyText)
            if (c >= 0x20 && c != 0x7F) units.push_back(c);
    }
    if (units.empty()) return FALSE;
    UINT charMsg = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
    for (char16_t c : units) PostInput(MSG{msg->hwnd, charMsg, c, msg->lParam, msg->time, msg->pt}, g_keys);
    return TRUE;
}

short GetKeyState(int vk) {
    const std::array<BYTE, 256>* snap = CurrentKeySnapshot();
    BYTE s = snap ? (*snap)[vk & 0xFF] : g_keys[vk & 0xFF];
    short r = (s & 0x80) ? static_cast<short>(0xFF80) : 0;
    if (s & 0x01) r |= 1;
    return r;
}

BOOL GetKeyboardState(BYTE* state) {
    const std::array<BYTE, 256>* snap = CurrentKeySnapshot();
    std::copy_n((snap ? *snap : g_keys).data(), 256, state);
    return TRUE;
}

namespace win32bk {
// Sets a key's asynchronous state at once, from any thread (tests).
void SetAsyncKey(int vk, bool down) {
    SetKey(static_cast<UINT>(vk), down);
}
// A lock key's toggle as the display reports it (Caps Lock on before start-up).
void SetKeyToggled(int vk, bool on) {
    BYTE v = std::atomic_ref<BYTE>(g_keys[vk & 0xFF]).load(std::memory_order_relaxed);
    v = on ? BYTE(v | 0x01) : BYTE(v & ~0x01);
    std::atomic_ref<BYTE>(g_keys[vk & 0xFF]).store(v, std::memory_order_relaxed);
}
// The asynchronous state (for GetAsyncKeyState's backend).
bool AsyncKeyDown(int vk) {
    return (std::atomic_ref<BYTE>(g_keys[vk & 0xFF]).load(std::memory_order_relaxed) & 0x80) != 0;
}
} // namespace win32bk

HWND SetFocus(HWND hwnd) {
    if (hwnd && !IsWindow(hwnd)) return nullptr;
    HWND old = g_focus;
    if (old == hwnd) return old;
    g_focus = hwnd;
    if (old && IsWindow(old)) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (g_focus != hwnd) return old;
    if (hwnd) {
        if (Backend* b = GetBackend()) b->HostFocus(hwnd);
        SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    }
    return old;
}

HWND GetFocus() {
    return g_focus;
}
HWND GetActiveWindow() {
    return g_focus ? GetAncestor(g_focus, GA_ROOT) : nullptr;
}
HWND SetActiveWindow(HWND hwnd) {
    HWND old = GetActiveWindow();
    if (hwnd && !(g_focus && GetAncestor(g_focus, GA_ROOT) == hwnd)) SetFocus(hwnd);
    return old;
}
HWND GetForegroundWindow() {
    return GetActiveWindow();
}
BOOL SetForegroundWindow(HWND hwnd) {
    SetActiveWindow(hwnd);
    return TRUE;
}

HWND SetCapture(HWND hwnd) {
    HWND old = g_capture;
    if (old == hwnd) return old;
    g_capture = hwnd;
    if (old && IsWindow(old)) SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return old;
}
HWND GetCapture() {
    return g_capture;
}
BOOL ReleaseCapture() {
    HWND old = g_capture;
    g_capture = nullptr;
    if (old && IsWindow(old)) SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

BOOL GetCursorPos(LPPOINT pt) {
    *pt = g_cursorPos;
    return TRUE;
}
BOOL SetCursorPos(int x, int y) {
    g_cursorPos = POINT{x, y};
    return TRUE;
}

HCURSOR LoadCursorW(HINSTANCE, LPCWSTR name) {
    return reinterpret_cast<HCURSOR>(const_cast<LPWSTR>(name));
}

HCURSOR SetCursor(HCURSOR cursor) {
    HCURSOR old = g_cursor;
    g_cursor = cursor;
    if (Backend* b = GetBackend())
        if (g_mouseHost) b->HostCursor(g_mouseHost, g_cursorCount < 0 ? nullptr : cursor);
    return old;
}
HCURSOR GetCursor() {
    return g_cursor;
}
int ShowCursor(BOOL show) {
    g_cursorCount += show ? 1 : -1;
    SetCursor(g_cursor);
    return g_cursorCount;
}

int GetSystemMetrics(int index) {
    if (index == SM_CXSCREEN || index == SM_CYSCREEN) {
        RECT r = GetScreenInfo().screen;
        return index == SM_CXSCREEN ? r.right - r.left : r.bottom - r.top;
    }
    // The frame of a window is measured by these whatever the window manager
    // draws, so window sizes do not depend on the desktop.
    switch (index) {
    case SM_CYCAPTION: return 23;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME:
    case SM_CYFRAME: return 4;
    case SM_CXMIN: return 132;
    case SM_CYMIN: return 38;
    case SM_CXMINTRACK: return 136;
    case SM_CYMINTRACK: return 39;
    case SM_CXMAXTRACK:
    case SM_CYMAXTRACK: {
        // The screen and its frame, but never below 8192: a desktop of several
        // screens (and a test's small offscreen one) must not cut windows down.
        RECT r = GetScreenInfo().screen;
        int frame = 2 * GetSystemMetrics(SM_CXFRAME) + 12;
        return std::max<int>(8192, (index == SM_CXMAXTRACK ? r.right - r.left : r.bottom - r.top) + frame);
    }
    }
    if (Backend* b = GetBackend()) return b->Metric(index);
    switch (index) {
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL: return 14;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXEDGE:
    case SM_CYEDGE: return 2;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: return 4;
    case SM_CXDRAG:
    case SM_CYDRAG: return 4;
    case SM_CXSCREEN: return 1920;
    case SM_CYSCREEN: return 1080;
    }
    return 0;
}

namespace {
std::atomic<int> g_beeps{0};
}
int win32bk::BeepCount() {
    return g_beeps;
}

BOOL MessageBeep(UINT) {
    ++g_beeps;
    if (Backend* b = GetBackend()) b->Beep();
    return TRUE;
}

UINT GetDoubleClickTime() {
    Backend* b = GetBackend();
    return b ? b->DoubleClickTime() : 500;
}
namespace {
std::atomic<UINT> g_blinkTime{0}; // 0: the system's
} // namespace

UINT GetCaretBlinkTime() {
    if (UINT set = g_blinkTime.load()) return set;
    Backend* b = GetBackend();
    return b ? b->CursorFlashTime() / 2 : 500;
}

BOOL SetCaretBlinkTime(UINT ms) {
    if (ms == 0) return FALSE;
    UINT old = GetCaretBlinkTime();
    g_blinkTime.store(ms);
    if (old != ms && g_caret.owner) RestartBlink();
    return TRUE;
}

HCURSOR CreateCursor(HINSTANCE, int hotX, int hotY, int width, int height, const void* andMask,
                     const void* xorMask) {
    if (width <= 0 || height <= 0 || !andMask || !xorMask) return nullptr;
    auto* c = new win32bk::CursorShape;
    c->magic = win32bk::CursorShape::kMagic;
    c->hotX = hotX;
    c->hotY = hotY;
    c->width = width;
    c->height = height;
    size_t bytes = static_cast<size_t>((width + 15) / 16 * 2) * static_cast<size_t>(height);
    c->andMask.assign(static_cast<const BYTE*>(andMask), static_cast<const BYTE*>(andMask) + bytes);
    c->xorMask.assign(static_cast<const BYTE*>(xorMask), static_cast<const BYTE*>(xorMask) + bytes);
    return reinterpret_cast<HCURSOR>(c);
}

BOOL DestroyCursor(HCURSOR cursor) {
    auto* c = win32bk::CursorShapeOf(cursor);
    if (!c) return FALSE;
    c->magic = 0;
    delete c;
    return TRUE;
}

win32bk::CursorShape* win32bk::CursorShapeOf(HCURSOR cursor) {
    // Built-in cursors are small resource numbers.
    if (reinterpret_cast<uintptr_t>(cursor) < 0x10000) return nullptr;
    auto* c = reinterpret_cast<win32bk::CursorShape*>(cursor);
    return c->magic == win32bk::CursorShape::kMagic ? c : nullptr;
}

BOOL CreateCaret(HWND hwnd, HBITMAP bitmap, int width, int height) {
    if (!IsWindow(hwnd)) return FALSE;
    DestroyCaret();
    g_caret = Caret{};
    g_caret.owner = hwnd;
    g_caret.kind = bitmap == nullptr ? 0 : reinterpret_cast<uintptr_t>(bitmap) == 1 ? 1 : 2;
    g_caret.bitmap = g_caret.kind == 2 ? bitmap : nullptr;
    if (g_caret.kind == 2) {
        if (Surface* s = BitmapSurface(bitmap)) width = s->Width(), height = s->Height();
    }
    g_caret.w = width > 0 ? width : GetSystemMetrics(SM_CXBORDER);
    g_caret.h = height > 0 ? height : GetSystemMetrics(SM_CYBORDER);
    g_caret.hide = 1;
    return TRUE;
}

BOOL DestroyCaret() {
    if (!g_caret.owner) return FALSE;
    if (g_caret.timer) StopInternalTimer(g_caret.timer);
    HWND owner = g_caret.owner;
    bool shown = g_caret.hide == 0;
    RECT r{g_caret.x, g_caret.y, g_caret.x + g_caret.w, g_caret.y + g_caret.h};
    g_caret = Caret{};
    if (shown && IsWindow(owner)) Present(owner, r);
    return TRUE;
}

BOOL ShowCaret(HWND hwnd) {
    if (!g_caret.owner || (hwnd && hwnd != g_caret.owner)) return FALSE;
    if (g_caret.hide == 0) return TRUE;
    if (--g_caret.hide == 0) {
        RestartBlink();
        PresentCaret();
    }
    return TRUE;
}

BOOL HideCaret(HWND hwnd) {
    if (!g_caret.owner || (hwnd && hwnd != g_caret.owner)) return FALSE;
    if (g_caret.hide++ == 0) {
        if (g_caret.timer) StopInternalTimer(g_caret.timer);
        g_caret.timer = 0;
        PresentCaret();
    }
    return TRUE;
}

BOOL SetCaretPos(int x, int y) {
    if (!g_caret.owner) return FALSE;
    PresentCaret();
    g_caret.x = x, g_caret.y = y;
    if (g_caret.hide == 0) RestartBlink();
    PresentCaret();
    return TRUE;
}

BOOL GetCaretPos(LPPOINT pt) {
    if (!g_caret.owner) return FALSE;
    *pt = POINT{g_caret.x, g_caret.y};
    return TRUE;
}
