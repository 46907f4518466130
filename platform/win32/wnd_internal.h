// Window records shared by the window and GDI code of platform/win32.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "win32/backend.h"

namespace win32bk {

struct ClassRec {
    std::u16string name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int cbWndExtra = 0;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    HINSTANCE instance = nullptr;
};

struct ThreadQueue;

struct Wnd {
    HWND hwnd = nullptr;
    std::thread::id thread;
    ThreadQueue* queue = nullptr;
    std::shared_ptr<ClassRec> cls;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr;
    HWND owner = nullptr;
    std::vector<HWND> children; // bottom to top
    RECT rect{};                // in the parent's client coordinates (screen for top-level)
    RECT client{};              // relative to the window rectangle
    UINT_PTR id = 0;
    LONG_PTR userData = 0;
    std::vector<BYTE> extra;
    std::u16string text;
    void* object = nullptr; // the MFC window object
    BarState vbar, hbar;
    bool tracking[2] = {false, false};
    Region update;
    bool erase = false;
    int dispatchDepth = 0;
    bool destroying = false;
    bool dead = false;
    bool created = false;
    HMENU menu = nullptr; // a top-level window's menu bar
    DWORD threadId = 0;   // GetCurrentThreadId of the window's thread
    // The tracking sizes of the last WM_GETMINMAXINFO (window sizes); a
    // window that is not asked is not limited.
    POINT minTrack{0, 0};
    POINT maxTrack{0x7FFF, 0x7FFF};
};

std::shared_ptr<Wnd> Find(HWND hwnd);
RECT ClientRectOf(const Wnd& w); // 0,0,cx,cy
// A top-level window with a caption or sizing border: the window manager
// draws its frame, which FrameInsets measures by the fixed metrics.
bool IsDecorated(const Wnd& w);
RECT FrameInsets(const Wnd& w);
Surface* BufferOf(HWND hwnd);
void Present(HWND hwnd, const RECT& r);
Surface* BitmapSurface(HBITMAP bmp);
HBRUSH StockBrush(int index);
bool IsBarControl(const Wnd& w);
Region* RegionOf(HRGN rgn);
// Lays a window out again after a change of its frame (menu bar, style).
void RelayoutWindow(HWND hwnd, bool sizeAnyway = false);
// The menu bar's keys at DefWindowProc (Alt+mnemonic, F10, a lone Alt); true when taken.
bool MenuBarKey(HWND hwnd, UINT msg, WPARAM wParam);
// Mouse input while a menu loop runs (a point on the screen): the loop's
// popups take it as Windows' menu mode does, a press anywhere else ends the
// loop. True when the loop took the message (nothing else gets it).
bool MenuLoopMouse(POINT screen, UINT msg, WPARAM keys);
// The input went to another program: a menu loop is cancelled.
void CancelMenuLoop();
// A top-level window activated by a press of a mouse button (WA_CLICKACTIVE).
void ClickActivateWindow(HWND hwnd);
// A mouse button pressed in hwnd (hit: where, msg: the button message): a
// window other than the active top-level window itself is asked first
// (WM_MOUSEACTIVATE) and activates its top-level window unless it answers
// no. False when the answer eats the press.
bool MouseActivate(HWND hwnd, int hit, UINT msg);
// Default processing of the input-method messages; false for other messages.
bool ImeDefault(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

} // namespace win32bk
