// What the standard controls of platform/win32 share: notifications to the
// parent, the parent's colours, a control's state in its window's extra
// bytes, and the metrics of its font.
#pragma once

#include <windows.h>

namespace win32ctl {

// Sends a WM_COMMAND notification to the control's parent.
void Notify(HWND ctl, UINT code);
// The brush the parent chooses for the control's colours (msg WM_CTLCOLOR*).
HBRUSH CtlColor(HWND ctl, HDC dc, UINT msg);
// The metrics of font (null: the DC's default) as the control's DC gives them.
TEXTMETRICW FontMetrics(HWND hwnd, HFONT font);

// A control's state lives behind its window's first extra pointer: made at
// WM_NCCREATE, deleted at WM_NCDESTROY.
template <class T> T* StateOf(HWND hwnd) {
    return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, 0));
}
template <class T> T* CreateState(HWND hwnd) {
    T* s = new T;
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(s));
    return s;
}
template <class T> void DestroyState(HWND hwnd) {
    delete StateOf<T>(hwnd);
    SetWindowLongPtrW(hwnd, 0, 0);
}

} // namespace win32ctl
