// The progress bar and the up-down control (without a buddy).
#include <algorithm>

#include "control_internal.h"
#include "win32/commctrl.h"
#include "win32/gdi.h"

namespace win32ctl {

namespace {

struct ProgressState {
    int low = 0, high = 100, pos = 0, step = 10;
};

struct UpDownState {
    int low = 100, high = 0, pos = 0; // Windows' default range: 100 down to 0
    int pressed = 0;                  // 1 up, -1 down
};

} // namespace

LRESULT ProgressProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* s = StateOf<ProgressState>(hwnd);
    switch (msg) {
    case WM_NCCREATE: CreateState<ProgressState>(hwnd); return TRUE;
    case WM_NCDESTROY: DestroyState<ProgressState>(hwnd); return 0;
    }
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    auto set = [&](int pos) {
        int old = s->pos;
        s->pos = std::clamp(pos, std::min(s->low, s->high), std::max(s->low, s->high));
        if (s->pos != old) InvalidateRect(hwnd, nullptr, TRUE);
        return LRESULT(old);
    };
    switch (msg) {
    case PBM_SETRANGE: {
        LRESULT old = MAKELONG(s->low, s->high);
        s->low = LOWORD(lParam);
        s->high = HIWORD(lParam);
        set(s->pos);
        InvalidateRect(hwnd, nullptr, TRUE);
        return old;
    }
    case PBM_SETRANGE32: {
        LRESULT old = MAKELONG(s->low, s->high);
        s->low = int(wParam);
        s->high = int(lParam);
        set(s->pos);
        InvalidateRect(hwnd, nullptr, TRUE);
        return old;
    }
    case PBM_GETRANGE: return wParam ? s->low : s->high;
    case PBM_SETPOS: return set(int(wParam));
    case PBM_DELTAPOS: return set(s->pos + int(wParam));
    case PBM_SETSTEP: {
        int old = s->step;
        s->step = int(wParam);
        return old;
    }
    case PBM_STEPIT: {
        // Past the end it wraps to the start, as Windows' bar does.
        int next = s->pos + s->step;
        if (next > s->high) next = s->low + (next - s->high);
        return set(next);
    }
    case PBM_GETPOS: return s->pos;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        RECT e = r;
        DrawEdge(dc, &e, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
        int span = s->high - s->low;
        if (span > 0) {
            RECT bar = e;
            bar.right = bar.left + int((long long)(e.right - e.left) * (s->pos - s->low) / span);
            FillRect(dc, &bar, GetSysColorBrush(COLOR_HIGHLIGHT));
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// A filled triangle in the middle of the box, pointing up (0), down (1),
// left (2) or right (3), drawn row by row (column by column sideways).
void DrawArrow(HDC dc, const RECT& box, int toward, COLORREF color) {
    const int w = box.right - box.left, h = box.bottom - box.top;
    const int n = std::max(2, std::min(w, h) / 4); // rows of the triangle
    const int cx = box.left + w / 2, cy = box.top + h / 2;
    HBRUSH ink = CreateSolidBrush(color);
    for (int i = 0; i < n; ++i) {
        // Row i from the point: 2 i + 1 pixels wide.
        RECT line{};
        if (toward <= 1) {
            const int y = toward == 0 ? cy - n / 2 + i : cy + (n - 1) / 2 - i;
            line = RECT{cx - i, y, cx + i + 1, y + 1};
        } else {
            const int x = toward == 2 ? cx - n / 2 + i : cx + (n - 1) / 2 - i;
            line = RECT{x, cy - i, x + 1, cy + i + 1};
        }
        FillRect(dc, &line, ink);
    }
    DeleteObject(ink);
}

LRESULT UpDownProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* s = StateOf<UpDownState>(hwnd);
    switch (msg) {
    case WM_NCCREATE: CreateState<UpDownState>(hwnd); return TRUE;
    case WM_NCDESTROY: DestroyState<UpDownState>(hwnd); return 0;
    }
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    bool horz = (GetWindowLongW(hwnd, GWL_STYLE) & UDS_HORZ) != 0;
    switch (msg) {
    case UDM_SETRANGE:
        s->low = short(HIWORD(lParam));
        s->high = short(LOWORD(lParam));
        return 0;
    case UDM_SETRANGE32:
        s->low = int(wParam);
        s->high = int(lParam);
        return 0;
    case UDM_GETRANGE: return MAKELONG(s->high, s->low);
    case UDM_GETRANGE32:
        if (wParam) *reinterpret_cast<int*>(wParam) = s->low;
        if (lParam) *reinterpret_cast<int*>(lParam) = s->high;
        return 0;
    case UDM_SETPOS: {
        int old = s->pos;
        s->pos = std::clamp(int(short(LOWORD(lParam))), std::min(s->low, s->high), std::max(s->low, s->high));
        return old;
    }
    case UDM_GETPOS: return s->pos;
    case WM_LBUTTONDOWN: {
        RECT r;
        GetClientRect(hwnd, &r);
        int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
        bool up = horz ? x >= r.right / 2 : y < r.bottom / 2;
        // Up proposes a step towards the range's upper end: with the default
        // range 100 to 0 that is -1.
        int delta = (s->high >= s->low ? 1 : -1) * (up ? 1 : -1);
        NMUPDOWN nm{};
        nm.hdr.hwndFrom = hwnd;
        nm.hdr.idFrom = UINT_PTR(GetDlgCtrlID(hwnd));
        nm.hdr.code = UDN_DELTAPOS;
        nm.iPos = s->pos;
        nm.iDelta = delta;
        HWND parent = GetParent(hwnd);
        // Sent before every click, also at a limit; non-zero stops it.
        LRESULT stop =
            parent ? SendMessageW(parent, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm)) : 0;
        if (!stop && IsWindow(hwnd)) {
            int lo = std::min(s->low, s->high), hi = std::max(s->low, s->high);
            int next = s->pos + nm.iDelta;
            if (next >= lo && next <= hi) {
                s->pos = next;
                if (parent)
                    SendMessageW(parent, horz ? WM_HSCROLL : WM_VSCROLL,
                                 MAKEWPARAM(SB_THUMBPOSITION, WORD(s->pos)), reinterpret_cast<LPARAM>(hwnd));
            }
        }
        if (IsWindow(hwnd)) {
            s->pressed = up ? 1 : -1;
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    }
    case WM_LBUTTONUP:
        s->pressed = 0;
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        RECT a = r, b = r;
        if (horz)
            a.right = b.left = r.right / 2;
        else
            a.bottom = b.top = r.bottom / 2;
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(dc, &a, s->pressed == 1 ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
        DrawEdge(dc, &b, s->pressed == -1 ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
        // The arrows: towards the upper end in the upper (right) half.
        const COLORREF ink = GetSysColor(IsWindowEnabled(hwnd) ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
        DrawArrow(dc, a, horz ? 2 : 0, ink);
        DrawArrow(dc, b, horz ? 3 : 1, ink);
        EndPaint(hwnd, &ps);
        return 0;
    }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace win32ctl
