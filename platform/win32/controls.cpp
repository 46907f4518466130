// The button, static and edit controls: their state, painting through GDI and
// notifications with Windows' rules.
#include <algorithm>
#include <memory>
#include <mutex>
#include <string>

#include "win32/clipboard.h"
#include "win32/dialog.h"
#include "win32/gdi.h"
#include "wnd_internal.h"

namespace win32ctl {

LRESULT ComboProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ComboListProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ListViewProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ProgressProc(HWND, UINT, WPARAM, LPARAM);
LRESULT UpDownProc(HWND, UINT, WPARAM, LPARAM);
LRESULT TabProc(HWND, UINT, WPARAM, LPARAM);

// Sends a WM_COMMAND notification to the control's parent.
void Notify(HWND ctl, UINT code) {
    HWND parent = GetParent(ctl);
    if (parent)
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(ctl), code), reinterpret_cast<LPARAM>(ctl));
}

// The brush the parent chooses for the control's colours.
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
        FillRect(dc, &b, GetSysColorBrush(enabled ? COLOR_WINDOW : COLOR_BTNFACE));
        RECT edge = b;
        DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
        if (s->check) {
            HBRUSH mark = CreateSolidBrush(textColor);
            RECT m{b.left + 4, b.top + 4, b.right - 4, b.bottom - 4};
            if (s->check == BST_INDETERMINATE) m = RECT{b.left + 4, b.top + 6, b.right - 4, b.bottom - 6};
            FillRect(dc, &m, mark);
            DeleteObject(mark);
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
            // An icon: a framed square in the highlight colour.
            int size = std::min<int>(32, std::min(r.right, r.bottom));
            RECT ic{0, 0, size, size};
            FillRect(dc, &ic, GetSysColorBrush(COLOR_HIGHLIGHT));
            DrawEdge(dc, &ic, EDGE_RAISED, BF_RECT);
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

// --- Edit -------------------------------------------------------------------------------------

struct EditState {
    HFONT font = nullptr;
    std::u16string text;
    int anchor = 0, caret = 0;
    int scroll = 0; // pixels scrolled off the left
    int limit = 0x7FFFFFFE;
    bool modified = false;
    bool focused = false;
    bool selecting = false;
    char16_t passwordChar = 0;
    std::u16string undoText;
    bool canUndo = false;
};

int SelStart(const EditState* s) {
    return std::min(s->anchor, s->caret);
}
int SelEnd(const EditState* s) {
    return std::max(s->anchor, s->caret);
}

std::u16string Shown(HWND hwnd, const EditState* s) {
    if (GetWindowLongW(hwnd, GWL_STYLE) & ES_PASSWORD)
        return std::u16string(s->text.size(), s->passwordChar ? s->passwordChar : u'*');
    return s->text;
}

int TextWidth(HWND hwnd, const EditState* s, const std::u16string& t, int count) {
    if (count <= 0) return 0;
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = s->font ? SelectObject(dc, s->font) : nullptr;
    SIZE ext{0, 0};
    GetTextExtentPoint32W(dc, t.c_str(), count, &ext);
    if (old) SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return ext.cx;
}

int LineHeight(HWND hwnd, const EditState* s) {
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = s->font ? SelectObject(dc, s->font) : nullptr;
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    if (old) SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return tm.tmHeight > 0 ? tm.tmHeight : 16;
}

const int kEditMargin = 2;

void UpdateCaret(HWND hwnd, EditState* s) {
    if (!s->focused) return;
    std::u16string shown = Shown(hwnd, s);
    int x = TextWidth(hwnd, s, shown, s->caret);
    RECT r;
    GetClientRect(hwnd, &r);
    int width = r.right - 2 * kEditMargin;
    if (x - s->scroll > width - 1) s->scroll = x - width + 1;
    if (x - s->scroll < 0) s->scroll = std::max(0, x - width / 3);
    int h = LineHeight(hwnd, s);
    bool multi = (GetWindowLongW(hwnd, GWL_STYLE) & ES_MULTILINE) != 0;
    SetCaretPos(kEditMargin + x - s->scroll, multi ? 1 : (r.bottom - h) / 2);
}

// Snaps a position off the middle of a surrogate pair.
int Snap(const std::u16string& t, int pos) {
    pos = std::clamp(pos, 0, int(t.size()));
    if (pos > 0 && pos < int(t.size()) && t[size_t(pos)] >= 0xDC00 && t[size_t(pos)] <= 0xDFFF &&
        t[size_t(pos - 1)] >= 0xD800 && t[size_t(pos - 1)] <= 0xDBFF)
        --pos;
    return pos;
}

void Changed(HWND hwnd, EditState* s) {
    s->modified = true;
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateCaret(hwnd, s);
    Notify(hwnd, EN_UPDATE);
    if (IsWindow(hwnd)) Notify(hwnd, EN_CHANGE);
}

// Replaces the selection with text (cut to the limit); true when the text changed.
bool ReplaceSelection(HWND hwnd, EditState* s, std::u16string text, bool undoable) {
    int a = SelStart(s), b = SelEnd(s);
    size_t room = size_t(std::max(0, s->limit - (int(s->text.size()) - (b - a))));
    if (text.size() > room) {
        text.resize(room);
        if (!text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) text.pop_back();
        Notify(hwnd, EN_MAXTEXT);
        if (!IsWindow(hwnd)) return false;
    }
    if (a == b && text.empty()) return false;
    if (undoable) {
        s->undoText = s->text;
        s->canUndo = true;
    }
    s->text.replace(size_t(a), size_t(b - a), text);
    s->anchor = s->caret = a + int(text.size());
    return true;
}

std::u16string ClipboardText() {
    std::u16string out;
    if (!OpenClipboard(nullptr)) return out;
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const char16_t*>(GlobalLock(h))) {
            out = p;
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return out;
}

void EditPaste(HWND hwnd, EditState* s) {
    DWORD style = DWORD(GetWindowLongW(hwnd, GWL_STYLE));
    if (style & ES_READONLY) return;
    std::u16string t = ClipboardText();
    if (!(style & ES_MULTILINE)) {
        size_t nl = t.find_first_of(u"\r\n");
        if (nl != std::u16string::npos) t.resize(nl);
    }
    if (ReplaceSelection(hwnd, s, t, true)) Changed(hwnd, s);
}

void EditClear(HWND hwnd, EditState* s) {
    if (GetWindowLongW(hwnd, GWL_STYLE) & ES_READONLY) return;
    if (SelStart(s) != SelEnd(s) && ReplaceSelection(hwnd, s, u"", true)) Changed(hwnd, s);
}

int PosFromX(HWND hwnd, EditState* s, int x) {
    std::u16string shown = Shown(hwnd, s);
    x += s->scroll - kEditMargin;
    int best = 0;
    for (int i = 1; i <= int(shown.size()); ++i) {
        int w = TextWidth(hwnd, s, shown, i);
        int prev = TextWidth(hwnd, s, shown, i - 1);
        if (x >= (prev + w) / 2) best = i;
        if (prev > x) break;
    }
    return Snap(s->text, best);
}

bool IsWordChar(char16_t c) {
    return c != u' ' && c != u'\t';
}

LRESULT EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    EditState* s = StateOf<EditState>(hwnd);
    DWORD style = DWORD(GetWindowLongW(hwnd, GWL_STYLE));
    switch (msg) {
    case WM_NCCREATE: {
        EditState* n = CreateState<EditState>(hwnd);
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) n->text = cs->lpszName;
        return TRUE;
    }
    case WM_NCDESTROY: DestroyState<EditState>(hwnd); return 0;
    }
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    bool readOnly = (style & ES_READONLY) != 0;
    switch (msg) {
    case WM_SETFONT:
        s->font = reinterpret_cast<HFONT>(wParam);
        if (lParam) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        if (style & ES_MULTILINE) code |= DLGC_WANTALLKEYS;
        return code;
    }
    case WM_SETTEXT: {
        s->text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"";
        if (int(s->text.size()) > s->limit && s->limit >= 0) s->text.resize(size_t(s->limit));
        s->anchor = s->caret = 0;
        s->scroll = 0;
        s->canUndo = false;
        s->modified = false;
        InvalidateRect(hwnd, nullptr, TRUE);
        UpdateCaret(hwnd, s);
        Notify(hwnd, EN_UPDATE);
        if (IsWindow(hwnd)) Notify(hwnd, EN_CHANGE);
        return TRUE;
    }
    case WM_GETTEXT: {
        if (wParam == 0 || !lParam) return 0;
        auto* buf = reinterpret_cast<LPWSTR>(lParam);
        size_t n = std::min<size_t>(s->text.size(), wParam - 1);
        std::copy_n(s->text.data(), n, buf);
        buf[n] = 0;
        return LRESULT(n);
    }
    case WM_GETTEXTLENGTH: return LRESULT(s->text.size());
    case EM_GETSEL: {
        if (wParam) *reinterpret_cast<DWORD*>(wParam) = DWORD(SelStart(s));
        if (lParam) *reinterpret_cast<DWORD*>(lParam) = DWORD(SelEnd(s));
        return MAKELONG(SelStart(s), SelEnd(s));
    }
    case EM_SETSEL: {
        int a = int(wParam), b = int(lParam);
        int n = int(s->text.size());
        if (a < 0) {
            s->anchor = s->caret = Snap(s->text, s->caret);
        } else {
            if (b < 0 || b > n) b = n;
            a = std::min(a, n);
            s->anchor = a;
            s->caret = b;
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        UpdateCaret(hwnd, s);
        return 0;
    }
    case EM_REPLACESEL:
        if (ReplaceSelection(hwnd, s, lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"", wParam != 0))
            Changed(hwnd, s);
        return 0;
    case EM_LIMITTEXT: s->limit = wParam ? int(std::min<WPARAM>(wParam, 0x7FFFFFFE)) : 0x7FFFFFFE; return 0;
    case EM_GETLIMITTEXT: return s->limit;
    case EM_SETREADONLY:
        SetWindowLongW(hwnd, GWL_STYLE, LONG(wParam ? style | ES_READONLY : style & ~DWORD(ES_READONLY)));
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    case EM_GETMODIFY: return s->modified;
    case EM_SETMODIFY: s->modified = wParam != 0; return 0;
    case EM_SETPASSWORDCHAR:
        s->passwordChar = char16_t(wParam);
        SetWindowLongW(hwnd, GWL_STYLE, LONG(wParam ? style | ES_PASSWORD : style & ~DWORD(ES_PASSWORD)));
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case EM_GETPASSWORDCHAR: return (style & ES_PASSWORD) ? (s->passwordChar ? s->passwordChar : u'*') : 0;
    case EM_CANUNDO: return s->canUndo;
    case EM_GETLINECOUNT: return 1;
    case WM_UNDO:
    case EM_UNDO:
        if (s->canUndo && !readOnly) {
            std::swap(s->text, s->undoText);
            s->anchor = s->caret = int(s->text.size());
            Changed(hwnd, s);
        }
        return TRUE;
    case WM_CLEAR: EditClear(hwnd, s); return 0;
    case WM_CUT:
        // Copying to the system clipboard belongs to the clipboard's writer;
        // the selection goes either way.
        EditClear(hwnd, s);
        return 0;
    case WM_COPY: return 0;
    case WM_PASTE: EditPaste(hwnd, s); return 0;
    case WM_SETFOCUS: {
        s->focused = true;
        CreateCaret(hwnd, nullptr, 1, LineHeight(hwnd, s));
        UpdateCaret(hwnd, s);
        ShowCaret(hwnd);
        InvalidateRect(hwnd, nullptr, TRUE);
        Notify(hwnd, EN_SETFOCUS);
        return 0;
    }
    case WM_KILLFOCUS:
        s->focused = false;
        DestroyCaret();
        InvalidateRect(hwnd, nullptr, TRUE);
        Notify(hwnd, EN_KILLFOCUS);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if (GetFocus() != hwnd) SetFocus(hwnd);
        if (!IsWindow(hwnd)) return 0;
        int pos = PosFromX(hwnd, s, GET_X_LPARAM(lParam));
        if (msg == WM_LBUTTONDBLCLK) {
            int a = pos, b = pos;
            while (a > 0 && IsWordChar(s->text[size_t(a - 1)])) --a;
            while (b < int(s->text.size()) && IsWordChar(s->text[size_t(b)])) ++b;
            s->anchor = a;
            s->caret = b;
        } else {
            s->caret = pos;
            if (!(wParam & MK_SHIFT)) s->anchor = pos;
            s->selecting = true;
            SetCapture(hwnd);
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        UpdateCaret(hwnd, s);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (s->selecting) {
            s->caret = PosFromX(hwnd, s, GET_X_LPARAM(lParam));
            InvalidateRect(hwnd, nullptr, TRUE);
            UpdateCaret(hwnd, s);
        }
        return 0;
    case WM_LBUTTONUP:
        if (s->selecting) {
            s->selecting = false;
            ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED: s->selecting = false; return 0;
    case WM_KEYDOWN: {
        bool shift = GetKeyState(VK_SHIFT) < 0;
        bool ctrl = GetKeyState(VK_CONTROL) < 0;
        int n = int(s->text.size());
        int to = s->caret;
        switch (wParam) {
        case VK_LEFT:
            if (!shift && SelStart(s) != SelEnd(s))
                to = SelStart(s);
            else if (to > 0) {
                --to;
                if (to > 0 && s->text[size_t(to)] >= 0xDC00 && s->text[size_t(to)] <= 0xDFFF) --to;
                if (ctrl)
                    while (to > 0 && IsWordChar(s->text[size_t(to - 1)])) --to;
            }
            break;
        case VK_RIGHT:
            if (!shift && SelStart(s) != SelEnd(s))
                to = SelEnd(s);
            else if (to < n) {
                ++to;
                if (to < n && s->text[size_t(to)] >= 0xDC00 && s->text[size_t(to)] <= 0xDFFF) ++to;
                if (ctrl)
                    while (to < n && IsWordChar(s->text[size_t(to)])) ++to;
            }
            break;
        case VK_HOME:
        case VK_UP: to = 0; break;
        case VK_END:
        case VK_DOWN: to = n; break;
        case VK_DELETE:
            if (readOnly) return 0;
            if (shift) {
                SendMessageW(hwnd, WM_CUT, 0, 0);
                return 0;
            }
            if (SelStart(s) == SelEnd(s) && s->caret < n) {
                s->anchor = s->caret;
                s->caret = Snap(s->text, s->caret + 2) > s->caret + 1 ? s->caret + 2 : s->caret + 1;
                if (s->caret > n) s->caret = n;
            }
            if (ReplaceSelection(hwnd, s, u"", true)) Changed(hwnd, s);
            return 0;
        case VK_INSERT:
            if (shift) SendMessageW(hwnd, WM_PASTE, 0, 0);
            if (ctrl) SendMessageW(hwnd, WM_COPY, 0, 0);
            return 0;
        default: return 0;
        }
        s->caret = to;
        if (!shift) s->anchor = to;
        InvalidateRect(hwnd, nullptr, TRUE);
        UpdateCaret(hwnd, s);
        return 0;
    }
    case WM_CHAR: {
        char16_t c = char16_t(wParam);
        switch (c) {
        case 1: // Ctrl+A
            s->anchor = 0;
            s->caret = int(s->text.size());
            InvalidateRect(hwnd, nullptr, TRUE);
            UpdateCaret(hwnd, s);
            return 0;
        case 3: SendMessageW(hwnd, WM_COPY, 0, 0); return 0;
        case 22: SendMessageW(hwnd, WM_PASTE, 0, 0); return 0;
        case 24: SendMessageW(hwnd, WM_CUT, 0, 0); return 0;
        case 26: SendMessageW(hwnd, WM_UNDO, 0, 0); return 0;
        case 8:
            if (readOnly) return 0;
            if (SelStart(s) == SelEnd(s) && s->caret > 0) {
                s->anchor = s->caret;
                int to = s->caret - 1;
                if (to > 0 && s->text[size_t(to)] >= 0xDC00 && s->text[size_t(to)] <= 0xDFFF) --to;
                s->caret = to;
            }
            if (ReplaceSelection(hwnd, s, u"", true)) Changed(hwnd, s);
            return 0;
        }
        if (c < 0x20 || c == 0x7F) return 0;
        if (readOnly) {
            MessageBeep(0);
            return 0;
        }
        if ((style & ES_NUMBER) && !(c >= u'0' && c <= u'9')) {
            MessageBeep(0);
            return 0;
        }
        if (style & ES_UPPERCASE && c >= u'a' && c <= u'z') c = char16_t(c - 32);
        if (style & ES_LOWERCASE && c >= u'A' && c <= u'Z') c = char16_t(c + 32);
        if (ReplaceSelection(hwnd, s, std::u16string(1, c), true)) Changed(hwnd, s);
        return 0;
    }
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        bool enabled = IsWindowEnabled(hwnd);
        HBRUSH br = CtlColor(hwnd, dc, readOnly || !enabled ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT);
        COLORREF textColor = enabled ? GetTextColor(dc) : GetSysColor(COLOR_GRAYTEXT);
        COLORREF bk = GetBkColor(dc);
        FillRect(dc, &r, br);
        HGDIOBJ old = s->font ? SelectObject(dc, s->font) : nullptr;
        std::u16string shown = Shown(hwnd, s);
        int h = LineHeight(hwnd, s);
        int y = (style & ES_MULTILINE) ? 1 : (r.bottom - h) / 2;
        int x0 = kEditMargin - s->scroll;
        int a = SelStart(s), b = SelEnd(s);
        bool showSel = s->focused || (style & ES_NOHIDESEL);
        SetBkMode(dc, OPAQUE);
        auto run = [&](int from, int to, bool sel) {
            if (to <= from) return;
            int x = x0 + TextWidth(hwnd, s, shown, from);
            SetTextColor(dc, sel ? GetSysColor(COLOR_HIGHLIGHTTEXT) : textColor);
            SetBkColor(dc, sel ? GetSysColor(COLOR_HIGHLIGHT) : bk);
            ExtTextOutW(dc, x, y, 0, nullptr, shown.c_str() + from, UINT(to - from), nullptr);
        };
        if (showSel && a != b) {
            run(0, a, false);
            run(a, b, true);
            run(b, int(shown.size()), false);
        } else {
            run(0, int(shown.size()), false);
        }
        if (old) SelectObject(dc, old);
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
