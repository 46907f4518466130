// The button and static controls (the edit is in edit.cpp): their state,
// painting through GDI and notifications with Windows' rules.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "win32/clipboard.h"
#include "win32/dialog.h"
#include "win32/gdi.h"
#include "win32/resource.h"
#include "control_internal.h"
#include "wnd_internal.h"

namespace win32ctl {

LRESULT ComboProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ComboListProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ListViewProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ProgressProc(HWND, UINT, WPARAM, LPARAM);
LRESULT UpDownProc(HWND, UINT, WPARAM, LPARAM);
LRESULT TabProc(HWND, UINT, WPARAM, LPARAM);
LRESULT EditProc(HWND, UINT, WPARAM, LPARAM);

void Notify(HWND ctl, UINT code) {
    HWND parent = GetParent(ctl);
    if (parent)
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(ctl), code), reinterpret_cast<LPARAM>(ctl));
}

HBRUSH CtlColor(HWND ctl, HDC dc, UINT msg) {
    HWND parent = GetParent(ctl);
    HBRUSH br = parent ? reinterpret_cast<HBRUSH>(SendMessageW(parent, msg, reinterpret_cast<WPARAM>(dc),
                                                               reinterpret_cast<LPARAM>(ctl)))
                       : nullptr;
    if (!br) {
        bool window = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX;
        SetBkColor(dc, GetSysColor(window ? COLOR_WINDOW : COLOR_BTNFACE));
        br = GetSysColorBrush(window ? COLOR_WINDOW : COLOR_BTNFACE);
    }
    return br;
}

TEXTMETRICW FontMetrics(HWND hwnd, HFONT font) {
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    if (old) SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return tm;
}

// Strips the '&' of a mnemonic; "&&" is one '&'.
std::u16string StripMnemonic(const std::u16string& s, int* underline) {
    std::u16string out;
    if (underline) *underline = -1;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == u'&' && i + 1 < s.size()) {
            ++i;
            if (s[i] != u'&' && underline && *underline < 0) *underline = int(out.size());
        }
        out.push_back(s[i]);
    }
    return out;
}

// Forwards a mouse message to the parent in its coordinates (a control
// transparent to the mouse).
LRESULT PassMouseToParent(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND parent = GetParent(hwnd);
    if (!parent) return 0;
    POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    MapWindowPoints(hwnd, parent, &p, 1);
    return SendMessageW(parent, msg, wParam, MAKELPARAM(p.x, p.y));
}

bool IsMouseMessage(UINT msg) {
    return msg >= WM_MOUSEFIRST && msg <= WM_MBUTTONDBLCLK;
}

void DrawTextIn(HDC dc, HFONT font, const std::u16string& text, RECT r, UINT format, COLORREF color) {
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, color);
    int underline = -1;
    std::u16string plain = format & DT_NOPREFIX ? text : StripMnemonic(text, &underline);
    DrawTextW(dc, plain.c_str(), int(plain.size()), &r, format | DT_NOPREFIX);
    if (old) SelectObject(dc, old);
}

// --- Button -----------------------------------------------------------------------------------

struct ButtonState {
    HFONT font = nullptr;
    UINT check = BST_UNCHECKED;
    bool pushed = false;
    bool focused = false;
    bool tracking = false;
};

UINT ButtonType(HWND hwnd) {
    return UINT(GetWindowLongW(hwnd, GWL_STYLE)) & BS_TYPEMASK;
}

void ButtonClicked(HWND hwnd) {
    UINT type = ButtonType(hwnd);
    ButtonState* s = StateOf<ButtonState>(hwnd);
    if (s) {
        if (type == BS_AUTOCHECKBOX)
            s->check = s->check ? BST_UNCHECKED : BST_CHECKED;
        else if (type == BS_AUTO3STATE)
            s->check = (s->check + 1) % 3;
        else if (type == BS_AUTORADIOBUTTON) {
            // Unchecks the other automatic radio buttons of the group.
            HWND parent = GetParent(hwnd);
            if (parent)
                for (HWND c = GetNextDlgGroupItem(parent, hwnd, FALSE); c && c != hwnd;
                     c = GetNextDlgGroupItem(parent, c, FALSE))
                    if (ButtonType(c) == BS_AUTORADIOBUTTON) SendMessageW(c, BM_SETCHECK, BST_UNCHECKED, 0);
            s->check = BST_CHECKED;
        }
        InvalidateRect(hwnd, nullptr, TRUE);
    }
    Notify(hwnd, BN_CLICKED);
}

void PaintButton(HWND hwnd, HDC dc, ButtonState* s) {
    RECT r;
    GetClientRect(hwnd, &r);
    UINT type = ButtonType(hwnd);
    DWORD style = DWORD(GetWindowLongW(hwnd, GWL_STYLE));
    bool enabled = IsWindowEnabled(hwnd);
    char16_t buf[512];
    int n = GetWindowTextW(hwnd, buf, 512);
    std::u16string text(buf, size_t(n));
    COLORREF textColor = GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
    if (type == BS_OWNERDRAW) {
        DRAWITEMSTRUCT di{ODT_BUTTON, UINT(GetDlgCtrlID(hwnd)), 0, ODA_DRAWENTIRE, 0, hwnd, dc, r, 0};
        if (s->pushed) di.itemState |= ODS_SELECTED;
        if (s->focused) di.itemState |= ODS_FOCUS;
        if (!enabled) di.itemState |= ODS_DISABLED;
        SendMessageW(GetParent(hwnd), WM_DRAWITEM, WPARAM(GetDlgCtrlID(hwnd)), reinterpret_cast<LPARAM>(&di));
        return;
    }
    HBRUSH br = CtlColor(hwnd, dc, WM_CTLCOLORBTN);
    if (type == BS_GROUPBOX) {
        FillRect(dc, &r, br);
        HGDIOBJ old = s->font ? SelectObject(dc, s->font) : nullptr;
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        std::u16string plain = StripMnemonic(text, nullptr);
        SIZE ext{0, 0};
        GetTextExtentPoint32W(dc, plain.c_str(), int(plain.size()), &ext);
        if (old) SelectObject(dc, old);
        RECT frame{r.left, r.top + tm.tmHeight / 2, r.right, r.bottom};
        DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
        if (!plain.empty()) {
            RECT tr{r.left + 8, r.top, r.left + 8 + ext.cx + 4, r.top + tm.tmHeight};
            FillRect(dc, &tr, br);
            tr.left += 2;
            DrawTextIn(dc, s->font, text, tr, DT_LEFT | DT_TOP | DT_SINGLELINE, textColor);
        }
        return;
    }
    bool box = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
    bool radio = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
    if ((box || radio) && !(style & BS_PUSHLIKE)) {
        FillRect(dc, &r, br);
        int size = 13;
        int top = r.top + (r.bottom - r.top - size) / 2;
        RECT b{r.left, top, r.left + size, top + size};
        if (radio) {
            // A round box: the shadow ring, the face inside, and a dot when checked.
            HPEN ring = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
            HGDIOBJ oldPen = SelectObject(dc, ring);
            HGDIOBJ oldBrush = SelectObject(dc, GetSysColorBrush(enabled ? COLOR_WINDOW : COLOR_BTNFACE));
            Ellipse(dc, b.left, b.top, b.right, b.bottom);
            if (s->check) {
                HBRUSH mark = CreateSolidBrush(textColor);
                SelectObject(dc, GetStockObject(NULL_PEN));
                SelectObject(dc, mark);
                Ellipse(dc, b.left + 4, b.top + 4, b.right - 4, b.bottom - 4);
                SelectObject(dc, oldBrush);
                DeleteObject(mark);
            }
            SelectObject(dc, oldPen);
            SelectObject(dc, oldBrush);
            DeleteObject(ring);
        } else {
            // The box and its check mark as the display's style draws them.
            UINT state = s->check == BST_INDETERMINATE ? DFCS_BUTTON3STATE | DFCS_CHECKED
                         : s->check                    ? DFCS_BUTTONCHECK | DFCS_CHECKED
                                                       : DFCS_BUTTONCHECK;
            if (!enabled) state |= DFCS_INACTIVE;
            if (s->pushed) state |= DFCS_PUSHED;
            DrawFrameControl(dc, &b, DFC_BUTTON, state);
        }
        RECT tr{r.left + size + 4, r.top, r.right, r.bottom};
        DrawTextIn(dc, s->font, text, tr, DT_LEFT | DT_VCENTER | DT_SINGLELINE, textColor);
        if (s->focused) {
            RECT f = tr;
            f.left -= 1;
            DrawFocusRect(dc, &f);
        }
        return;
    }
    // Push buttons.
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    RECT e = r;
    bool def = type == BS_DEFPUSHBUTTON;
    if (def) {
        FrameRect(dc, &e, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&e, -1, -1);
    }
    bool down = s->pushed || ((style & BS_PUSHLIKE) && s->check);
    DrawEdge(dc, &e, down ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    RECT tr = r;
    if (down) OffsetRect(&tr, 1, 1);
    DrawTextIn(dc, s->font, text, tr, DT_CENTER | DT_VCENTER | DT_SINGLELINE, textColor);
    if (s->focused) {
        RECT f = r;
        InflateRect(&f, -4, -4);
        DrawFocusRect(dc, &f);
    }
}

LRESULT ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    ButtonState* s = StateOf<ButtonState>(hwnd);
    UINT type = ButtonType(hwnd);
    if (type == BS_GROUPBOX && IsMouseMessage(msg)) return PassMouseToParent(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_NCCREATE: CreateState<ButtonState>(hwnd); return TRUE;
    case WM_NCDESTROY: DestroyState<ButtonState>(hwnd); return 0;
    case WM_SETFONT:
        if (s) s->font = reinterpret_cast<HFONT>(wParam);
        if (lParam) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT: return s ? reinterpret_cast<LRESULT>(s->font) : 0;
    case WM_GETDLGCODE:
        switch (type) {
        case BS_DEFPUSHBUTTON: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_PUSHBUTTON:
        case BS_OWNERDRAW: return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case BS_GROUPBOX: return DLGC_STATIC;
        }
        return DLGC_BUTTON;
    case BM_GETCHECK: return s ? LRESULT(s->check) : 0;
    case BM_SETCHECK:
        // Silent: no notification.
        if (s && s->check != UINT(wParam)) {
            s->check = UINT(wParam);
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        if (s && (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON)) {
            DWORD st = DWORD(GetWindowLongW(hwnd, GWL_STYLE));
            SetWindowLongW(hwnd, GWL_STYLE, LONG(wParam ? st | WS_TABSTOP : st & ~WS_TABSTOP));
        }
        return 0;
    case BM_GETSTATE:
        return s ? LRESULT(s->check | (s->pushed ? BST_PUSHED : 0) | (s->focused ? BST_FOCUS : 0)) : 0;
    case BM_SETSTATE:
        if (s) s->pushed = wParam != 0;
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case BM_SETSTYLE: {
        DWORD st = DWORD(GetWindowLongW(hwnd, GWL_STYLE));
        SetWindowLongW(hwnd, GWL_STYLE, LONG((st & ~0xFFFFu) | (DWORD(wParam) & 0xFFFF)));
        if (lParam) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case BM_CLICK:
        if (IsWindowEnabled(hwnd)) ButtonClicked(hwnd);
        return 0;
    case WM_SETFOCUS:
        if (s) s->focused = true;
        InvalidateRect(hwnd, nullptr, TRUE);
        if (GetWindowLongW(hwnd, GWL_STYLE) & BS_NOTIFY) Notify(hwnd, BN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        if (s) s->focused = false, s->pushed = false;
        InvalidateRect(hwnd, nullptr, TRUE);
        if (GetWindowLongW(hwnd, GWL_STYLE) & BS_NOTIFY) Notify(hwnd, BN_KILLFOCUS);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (!s) return 0;
        s->pushed = true;
        s->tracking = true;
        SetCapture(hwnd);
        if (GetFocus() != hwnd) SetFocus(hwnd);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_MOUSEMOVE:
        if (s && s->tracking) {
            RECT r;
            GetClientRect(hwnd, &r);
            bool in = PtInRect(&r, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}) != 0;
            if (in != s->pushed) {
                s->pushed = in;
                InvalidateRect(hwnd, nullptr, TRUE);
            }
        }
        return 0;
    case WM_LBUTTONUP:
        if (s && s->tracking) {
            bool click = s->pushed;
            s->tracking = false;
            s->pushed = false;
            ReleaseCapture();
            InvalidateRect(hwnd, nullptr, TRUE);
            if (click) ButtonClicked(hwnd);
        }
        return 0;
    case WM_CAPTURECHANGED:
        if (s && s->tracking) {
            s->tracking = false;
            s->pushed = false;
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE && s) {
            s->pushed = true;
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        }
        break;
    case WM_KEYUP:
        if (wParam == VK_SPACE && s && s->pushed) {
            s->pushed = false;
            InvalidateRect(hwnd, nullptr, TRUE);
            ButtonClicked(hwnd);
            return 0;
        }
        break;
    case WM_CHAR: return 0;
    case WM_SETTEXT: {
        LRESULT r = DefWindowProcW(hwnd, msg, wParam, lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return r;
    }
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (s) PaintButton(hwnd, dc, s);
        EndPaint(hwnd, &ps);
        return 0;
    }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// --- Static -----------------------------------------------------------------------------------

struct StaticState {
    HFONT font = nullptr;
    HICON icon = nullptr;
};

// Draws the icon resource (an .ico file's bytes, as the resource compiler
// keeps them) whose ordinal the dialog handed over as the static's icon: its
// 32-bit entry closest to size, blended over the face colour, at (0, 0)
// (cut to size when larger).
// False when the ordinal names no such resource.
static bool DrawIconResource(HDC dc, HICON icon, int size) {
    const auto ordinal = reinterpret_cast<uintptr_t>(icon);
    if (ordinal == 0 || ordinal > 0xFFFF) return false;
    HRSRC res = FindResourceW(nullptr, MAKEINTRESOURCEW(static_cast<WORD>(ordinal)), MAKEINTRESOURCEW(14));
    if (!res) return false;
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, res)));
    const size_t bytes = SizeofResource(nullptr, res);
    auto u16 = [&](size_t at) { return at + 2 <= bytes ? WORD(data[at] | data[at + 1] << 8) : WORD(0); };
    auto u32 = [&](size_t at) {
        return at + 4 <= bytes ? DWORD(u16(at) | DWORD(u16(at + 2)) << 16) : DWORD(0);
    };
    if (!data || bytes < 6 || u16(2) != 1) return false;
    // The entry of 32 bits per pixel nearest to the size asked for.
    size_t best = 0;
    int bestSide = 0;
    for (int i = 0, n = u16(4); i < n; ++i) {
        const size_t e = 6 + size_t(i) * 16;
        if (e + 16 > bytes) break;
        const int side = data[e] ? data[e] : 256;
        const size_t at = u32(e + 12);
        if (u32(at) != 40 || u16(at + 14) != 32 || u32(at + 16) != 0) continue;
        if (!best || std::abs(side - size) < std::abs(bestSide - size)) best = at, bestSide = side;
    }
    if (!best) return false;
    const int w = int(u32(best + 4)), h = int(u32(best + 8)) / 2;
    if (w <= 0 || h <= 0 || w > 256 || h > 256 || best + 40 + size_t(w) * size_t(h) * 4 > bytes) return false;
    const COLORREF face = GetSysColor(COLOR_3DFACE);
    std::vector<DWORD> pixels(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const BYTE* p = data + best + 40 + (size_t(h - 1 - y) * size_t(w) + size_t(x)) * 4;
            const int a = p[3];
            auto mix = [&](int c, int bg) { return (c * a + bg * (255 - a)) / 255; };
            pixels[size_t(y) * size_t(w) + size_t(x)] = DWORD(mix(p[2], GetRValue(face))) << 16 |
                                                        DWORD(mix(p[1], GetGValue(face))) << 8 |
                                                        DWORD(mix(p[0], GetBValue(face)));
        }
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateBitmap(w, h, 1, 32, pixels.data());
    HGDIOBJ old = SelectObject(mem, bitmap);
    BitBlt(dc, 0, 0, std::min(w, size), std::min(h, size), mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteObject(bitmap);
    DeleteDC(mem);
    return true;
}

LRESULT StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    StaticState* s = StateOf<StaticState>(hwnd);
    DWORD style = DWORD(GetWindowLongW(hwnd, GWL_STYLE));
    if (IsMouseMessage(msg)) {
        if (!(style & SS_NOTIFY)) return PassMouseToParent(hwnd, msg, wParam, lParam);
        if (msg == WM_LBUTTONDOWN) Notify(hwnd, STN_CLICKED);
        if (msg == WM_LBUTTONDBLCLK) Notify(hwnd, STN_DBLCLK);
        return 0;
    }
    switch (msg) {
    case WM_NCCREATE: CreateState<StaticState>(hwnd); return TRUE;
    case WM_NCDESTROY: DestroyState<StaticState>(hwnd); return 0;
    case WM_SETFONT:
        if (s) s->font = reinterpret_cast<HFONT>(wParam);
        if (lParam) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT: return s ? reinterpret_cast<LRESULT>(s->font) : 0;
    case WM_GETDLGCODE: return DLGC_STATIC;
    case STM_SETICON: {
        HICON old = s ? s->icon : nullptr;
        if (s) s->icon = reinterpret_cast<HICON>(wParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return reinterpret_cast<LRESULT>(old);
    }
    case STM_GETICON: return s ? reinterpret_cast<LRESULT>(s->icon) : 0;
    case WM_SETTEXT: {
        LRESULT r = DefWindowProcW(hwnd, msg, wParam, lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return r;
    }
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        HBRUSH br = CtlColor(hwnd, dc, WM_CTLCOLORSTATIC);
        COLORREF color = GetTextColor(dc);
        UINT type = style & SS_TYPEMASK;
        if (type == SS_ETCHEDHORZ || type == SS_ETCHEDVERT || type == SS_ETCHEDFRAME) {
            FillRect(dc, &r, br);
            DrawEdge(dc, &r, EDGE_ETCHED,
                     type == SS_ETCHEDHORZ   ? BF_TOP
                     : type == SS_ETCHEDVERT ? BF_LEFT
                                             : BF_RECT);
        } else if (type == SS_BLACKFRAME || type == SS_GRAYFRAME || type == SS_WHITEFRAME) {
            FillRect(dc, &r, br);
            FrameRect(dc, &r,
                      GetSysColorBrush(type == SS_BLACKFRAME  ? COLOR_WINDOWFRAME
                                       : type == SS_GRAYFRAME ? COLOR_BTNSHADOW
                                                              : COLOR_WINDOW));
        } else if (type == SS_ICON) {
            FillRect(dc, &r, br);
            // An icon resource of the program is drawn; a system icon (or
            // none) is a framed square in the highlight colour.
            int size = std::min<int>(32, std::min(r.right, r.bottom));
            if (!DrawIconResource(dc, s ? s->icon : nullptr, size)) {
                RECT ic{0, 0, size, size};
                FillRect(dc, &ic, GetSysColorBrush(COLOR_HIGHLIGHT));
                DrawEdge(dc, &ic, EDGE_RAISED, BF_RECT);
            }
        } else {
            FillRect(dc, &r, br);
            char16_t buf[1024];
            int n = GetWindowTextW(hwnd, buf, 1024);
            UINT fmt = type == SS_CENTER ? DT_CENTER : type == SS_RIGHT ? DT_RIGHT : DT_LEFT;
            if (type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP)
                fmt |= DT_SINGLELINE;
            else
                fmt |= DT_WORDBREAK;
            if (style & SS_CENTERIMAGE) fmt = (fmt & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
            if (style & SS_NOPREFIX) fmt |= DT_NOPREFIX;
            if (!IsWindowEnabled(hwnd)) color = GetSysColor(COLOR_GRAYTEXT);
            DrawTextIn(dc, s ? s->font : nullptr, std::u16string(buf, size_t(n)), r, fmt, color);
        }
        if (style & SS_SUNKEN) DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
        EndPaint(hwnd, &ps);
        return 0;
    }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace win32ctl

namespace win32bk {

void EnsureControlClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        auto reg = [](const char16_t* name, WNDPROC proc, UINT style, int extra, int bg) {
            WNDCLASSW wc{};
            wc.style = style | CS_GLOBALCLASS;
            wc.lpfnWndProc = proc;
            wc.cbWndExtra = extra;
            wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            wc.hbrBackground = bg ? reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(bg + 1)) : nullptr;
            wc.lpszClassName = name;
            RegisterClassW(&wc);
        };
        reg(u"Button", win32ctl::ButtonProc, CS_DBLCLKS, sizeof(void*), 0);
        reg(u"Static", win32ctl::StaticProc, CS_DBLCLKS, sizeof(void*), 0);
        reg(u"Edit", win32ctl::EditProc, CS_DBLCLKS, sizeof(void*), 0);
        reg(u"#32770", DefDlgProcW, CS_DBLCLKS, DLGWINDOWEXTRA + 2, COLOR_BTNFACE);
        reg(u"SysListView32", win32ctl::ListViewProc, CS_DBLCLKS, sizeof(void*), 0);
        reg(u"ComboBox", win32ctl::ComboProc, CS_DBLCLKS, sizeof(void*), 0);
        reg(u"msctls_progress32", win32ctl::ProgressProc, 0, sizeof(void*), 0);
        reg(u"msctls_updown32", win32ctl::UpDownProc, 0, sizeof(void*), 0);
        reg(u"SysTabControl32", win32ctl::TabProc, CS_DBLCLKS, sizeof(void*), 0);
    });
}

} // namespace win32bk

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    long long v = static_cast<long long>(number) * numerator;
    long long half = (denominator < 0 ? -denominator : denominator) / 2;
    long long r = ((v < 0) != (denominator < 0)) ? (v - ((v < 0) ? half : -half)) / denominator
                                                 : (v + ((v < 0) ? -half : half)) / denominator;
    if (r > 0x7FFFFFFF || r < -0x7FFFFFFFLL - 1) return -1;
    return static_cast<int>(r);
}

namespace {
void Line(HDC dc, int x, int y, int w, int h, int color) {
    RECT r{x, y, x + w, y + h};
    FillRect(dc, &r, GetSysColorBrush(color));
}
} // namespace

BOOL DrawEdge(HDC dc, LPRECT rect, UINT edge, UINT flags) {
    if (!rect) return FALSE;
    RECT r = *rect;
    // Outer then inner ring; raised rings are light at the top left.
    for (int ring = 0; ring < 2; ++ring) {
        UINT raised = ring == 0 ? BDR_RAISEDOUTER : BDR_RAISEDINNER;
        UINT sunken = ring == 0 ? BDR_SUNKENOUTER : BDR_SUNKENINNER;
        if (!(edge & (raised | sunken))) continue;
        int tl, br;
        if (edge & raised) {
            tl = ring == 0 ? COLOR_3DLIGHT : COLOR_3DHIGHLIGHT;
            br = ring == 0 ? COLOR_3DDKSHADOW : COLOR_3DSHADOW;
        } else {
            tl = ring == 0 ? COLOR_3DSHADOW : COLOR_3DDKSHADOW;
            br = ring == 0 ? COLOR_3DHIGHLIGHT : COLOR_3DLIGHT;
        }
        if (edge == EDGE_ETCHED || edge == EDGE_BUMP) {
            tl = (edge == EDGE_ETCHED) == (ring == 0) ? COLOR_3DSHADOW : COLOR_3DHIGHLIGHT;
            br = (edge == EDGE_ETCHED) == (ring == 0) ? COLOR_3DHIGHLIGHT : COLOR_3DSHADOW;
        }
        int w = r.right - r.left, h = r.bottom - r.top;
        if (w <= 0 || h <= 0) break;
        if (flags & BF_TOP) Line(dc, r.left, r.top, w, 1, tl);
        if (flags & BF_LEFT) Line(dc, r.left, r.top, 1, h, tl);
        if (flags & BF_BOTTOM) Line(dc, r.left, r.bottom - 1, w, 1, br);
        if (flags & BF_RIGHT) Line(dc, r.right - 1, r.top, 1, h, br);
        if (flags & BF_LEFT) ++r.left;
        if (flags & BF_TOP) ++r.top;
        if (flags & BF_RIGHT) --r.right;
        if (flags & BF_BOTTOM) --r.bottom;
    }
    if (flags & BF_ADJUST) *rect = r;
    return TRUE;
}

BOOL DrawFocusRect(HDC dc, const RECT* rect) {
    if (!rect) return FALSE;
    // A dotted frame drawn by inverting every other pixel.
    for (int x = rect->left; x < rect->right; x += 2) {
        RECT a{x, rect->top, x + 1, rect->top + 1}, b{x, rect->bottom - 1, x + 1, rect->bottom};
        InvertRect(dc, &a);
        InvertRect(dc, &b);
    }
    for (int y = rect->top + 2; y < rect->bottom - 1; y += 2) {
        RECT a{rect->left, y, rect->left + 1, y + 1}, b{rect->right - 1, y, rect->right, y + 1};
        InvertRect(dc, &a);
        InvertRect(dc, &b);
    }
    return TRUE;
}
