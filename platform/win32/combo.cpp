// The combo box: a drop-down list (CBS_DROPDOWNLIST) or an edit with a list
// (CBS_DROPDOWN, a real "Edit" child with id 1001), with Windows' order of
// notifications. Changes the combo makes itself (CB_SETCURSEL,
// CB_SELECTSTRING, WM_SETTEXT) notify nothing; a change of the edit part by
// anything else sends CBN_EDITCHANGE.
#include <algorithm>
#include <string>
#include <vector>

#include "control_internal.h"
#include "win32/commctrl.h"
#include "win32/gdi.h"

namespace win32ctl {

namespace {

const int kEditId = 1001;
const int kInset = 3;
const int kButton = 17;

struct ComboState {
    HFONT font = nullptr;
    std::vector<std::pair<std::u16string, LPARAM>> items;
    int cur = -1;
    int hot = -1;
    bool dropped = false;
    bool selfEdit = false; // the combo is writing its own edit
    HWND edit = nullptr;
    HWND list = nullptr;
    WNDPROC editProc = nullptr;
};

ComboState* StateOf(HWND hwnd) {
    return win32ctl::StateOf<ComboState>(hwnd);
}
bool IsDropDownList(HWND hwnd) {
    return (GetWindowLongW(hwnd, GWL_STYLE) & 3) == CBS_DROPDOWNLIST;
}

char16_t Fold(char16_t c) {
    return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
}
int CompareNoCase(const std::u16string& a, const std::u16string& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
        if (Fold(a[i]) != Fold(b[i])) return Fold(a[i]) < Fold(b[i]) ? -1 : 1;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}
bool PrefixNoCase(const std::u16string& s, const std::u16string& prefix) {
    if (prefix.size() > s.size()) return false;
    return CompareNoCase(s.substr(0, prefix.size()), prefix) == 0;
}

int ItemHeight(HWND hwnd, ComboState* s) {
    TEXTMETRICW tm = FontMetrics(hwnd, s->font);
    return tm.tmHeight > 0 ? tm.tmHeight + 2 : 18;
}

std::u16string EditText(ComboState* s) {
    if (!s->edit) return {};
    int n = GetWindowTextLengthW(s->edit);
    std::u16string t(size_t(n) + 1, u'\0');
    n = GetWindowTextW(s->edit, t.data(), n + 1);
    t.resize(size_t(std::max(n, 0)));
    return t;
}

// Sets the current item (and the edit's text) without notifying.
void SetCurrent(HWND hwnd, ComboState* s, int index) {
    s->cur = index >= 0 && index < int(s->items.size()) ? index : -1;
    if (s->edit) {
        s->selfEdit = true;
        SetWindowTextW(s->edit, s->cur >= 0 ? s->items[size_t(s->cur)].first.c_str() : u"");
        SendMessageW(s->edit, EM_SETSEL, 0, -1);
        s->selfEdit = false;
    }
    InvalidateRect(hwnd, nullptr, TRUE);
}

void CloseList(HWND hwnd, ComboState* s, bool cancel) {
    if (!s->dropped) return;
    s->dropped = false;
    if (s->list) ShowWindow(s->list, SW_HIDE);
    if (cancel) Notify(hwnd, CBN_SELENDCANCEL);
    if (IsWindow(hwnd)) Notify(hwnd, CBN_CLOSEUP);
}

// A choice from the open list: the selection moves first, so CB_GETCURSEL in
// the CBN_SELENDOK handler gives the chosen item while the edit still shows
// the old text; then the text, CBN_CLOSEUP, and CBN_SELCHANGE when it changed.
void ChooseFromList(HWND hwnd, ComboState* s, int index) {
    int before = s->cur;
    s->cur = index >= 0 && index < int(s->items.size()) ? index : -1;
    Notify(hwnd, CBN_SELENDOK);
    if (!IsWindow(hwnd)) return;
    SetCurrent(hwnd, s, index);
    CloseList(hwnd, s, false);
    if (IsWindow(hwnd) && s->cur != before) Notify(hwnd, CBN_SELCHANGE);
}

LRESULT ListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

void FitHeight(HWND hwnd, ComboState* s) {
    RECT r;
    GetWindowRect(hwnd, &r);
    SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, ItemHeight(hwnd, s) + 2 * kInset + 2,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void OpenList(HWND hwnd, ComboState* s) {
    if (s->dropped) return;
    Notify(hwnd, CBN_DROPDOWN);
    if (!IsWindow(hwnd)) return;
    static bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ListProc;
        wc.lpszClassName = u"ComboLBox";
        wc.style = CS_DBLCLKS;
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
    RECT r;
    GetWindowRect(hwnd, &r);
    int h = ItemHeight(hwnd, s) * std::clamp(int(s->items.size()), 1, 12) + 2;
    if (!s->list) {
        s->list = CreateWindowExW(WS_EX_TOOLWINDOW, u"ComboLBox", u"", WS_POPUP | WS_BORDER, r.left, r.bottom,
                                  r.right - r.left, h, hwnd, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(s->list, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(hwnd));
    } else {
        SetWindowPos(s->list, nullptr, r.left, r.bottom, r.right - r.left, h, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    s->dropped = true;
    s->hot = s->cur;
    ShowWindow(s->list, SW_SHOWNA);
    InvalidateRect(s->list, nullptr, TRUE);
}

LRESULT ListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND combo = reinterpret_cast<HWND>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    ComboState* s = combo ? StateOf(combo) : nullptr;
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_MOUSEMOVE: {
        int row = GET_Y_LPARAM(lParam) / ItemHeight(combo, s);
        if (row != s->hot && row < int(s->items.size())) {
            s->hot = row;
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    }
    case WM_LBUTTONUP: {
        int row = GET_Y_LPARAM(lParam) / ItemHeight(combo, s);
        if (row >= 0 && row < int(s->items.size())) ChooseFromList(combo, s, row);
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        HBRUSH br = CtlColor(combo, dc, WM_CTLCOLORLISTBOX);
        COLORREF text = GetTextColor(dc);
        FillRect(dc, &r, br);
        HGDIOBJ old = s->font ? SelectObject(dc, s->font) : nullptr;
        SetBkMode(dc, TRANSPARENT);
        int h = ItemHeight(combo, s);
        for (int i = 0; i < int(s->items.size()); ++i) {
            RECT row{0, i * h, r.right, (i + 1) * h};
            bool hot = i == s->hot;
            if (hot) FillRect(dc, &row, GetSysColorBrush(COLOR_HIGHLIGHT));
            SetTextColor(dc, hot ? GetSysColor(COLOR_HIGHLIGHTTEXT) : text);
            RECT tr{3, row.top, r.right - 2, row.bottom};
            const std::u16string& t = s->items[size_t(i)].first;
            DrawTextW(dc, t.c_str(), int(t.size()), &tr, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        }
        if (old) SelectObject(dc, old);
        EndPaint(hwnd, &ps);
        return 0;
    }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Moves the selection of a closed list by the user: CBN_SELCHANGE when it moved.
void Step(HWND hwnd, ComboState* s, int to) {
    if (s->items.empty()) return;
    to = std::clamp(to, 0, int(s->items.size()) - 1);
    if (s->dropped) {
        s->hot = to;
        if (s->list) InvalidateRect(s->list, nullptr, TRUE);
        return;
    }
    if (to == s->cur) return;
    SetCurrent(hwnd, s, to);
    Notify(hwnd, CBN_SELCHANGE);
}

// Keys of the combo and of its edit; true when the combo used the key.
bool ComboKey(HWND hwnd, ComboState* s, WPARAM vk) {
    switch (vk) {
    case VK_UP: Step(hwnd, s, s->dropped ? s->hot - 1 : s->cur - 1); return true;
    case VK_DOWN:
        if (GetKeyState(VK_MENU) < 0) {
            s->dropped ? CloseList(hwnd, s, false) : OpenList(hwnd, s);
            return true;
        }
        Step(hwnd, s, s->dropped ? s->hot + 1 : (s->cur < 0 ? 0 : s->cur + 1));
        return true;
    case VK_F4: s->dropped ? CloseList(hwnd, s, false) : OpenList(hwnd, s); return true;
    case VK_ESCAPE:
        if (!s->dropped) return false;
        CloseList(hwnd, s, true);
        return true;
    case VK_RETURN:
        if (!s->dropped) return false;
        ChooseFromList(hwnd, s, s->hot);
        return true;
    }
    return false;
}

LRESULT EditChildProc(HWND edit, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND combo = GetParent(edit);
    ComboState* s = combo ? StateOf(combo) : nullptr;
    if (!s || !s->editProc) return DefWindowProcW(edit, msg, wParam, lParam);
    if (msg == WM_KEYDOWN && ComboKey(combo, s, wParam)) return 0;
    if (msg == WM_MOUSEWHEEL) return SendMessageW(combo, msg, wParam, lParam);
    if (msg == WM_GETDLGCODE) {
        LRESULT code = CallWindowProcW(s->editProc, edit, msg, wParam, lParam);
        if (s->dropped) code |= DLGC_WANTALLKEYS;
        return code;
    }
    return CallWindowProcW(s->editProc, edit, msg, wParam, lParam);
}

} // namespace

LRESULT ComboProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    ComboState* s = StateOf(hwnd);
    switch (msg) {
    case WM_NCCREATE: CreateState<ComboState>(hwnd); return TRUE;
    case WM_CREATE:
        // The template's height is that of the dropped list; the bars belong to the list.
        SetWindowLongW(hwnd, GWL_STYLE, GetWindowLongW(hwnd, GWL_STYLE) & ~LONG(WS_VSCROLL | WS_HSCROLL));
        FitHeight(hwnd, s);
        if (!IsDropDownList(hwnd)) {
            RECT r;
            GetClientRect(hwnd, &r);
            s->edit = CreateWindowExW(
                0, u"Edit", u"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, kInset, kInset,
                std::max(0, int(r.right) - kButton - 2 * kInset), std::max(0, int(r.bottom) - 2 * kInset),
                hwnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kEditId)), nullptr, nullptr);
            if (s->edit)
                s->editProc = reinterpret_cast<WNDPROC>(
                    SetWindowLongPtrW(s->edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditChildProc)));
        }
        return 0;
    case WM_NCDESTROY:
        if (s && s->list && IsWindow(s->list)) DestroyWindow(s->list);
        DestroyState<ComboState>(hwnd);
        return 0;
    }
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_SETFONT:
        s->font = reinterpret_cast<HFONT>(wParam);
        if (s->edit) SendMessageW(s->edit, WM_SETFONT, wParam, lParam);
        FitHeight(hwnd, s);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS | (s->dropped ? DLGC_WANTALLKEYS : 0);
    case WM_SIZE:
        if (s->edit)
            MoveWindow(s->edit, kInset, kInset, std::max(0, int(LOWORD(lParam)) - kButton - 2 * kInset),
                       std::max(0, int(HIWORD(lParam)) - 2 * kInset), TRUE);
        return 0;
    case WM_SETFOCUS:
        if (s->edit) SetFocus(s->edit);
        InvalidateRect(hwnd, nullptr, TRUE);
        Notify(hwnd, CBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        if (reinterpret_cast<HWND>(wParam) != s->edit) {
            CloseList(hwnd, s, true);
            InvalidateRect(hwnd, nullptr, TRUE);
            if (IsWindow(hwnd)) Notify(hwnd, CBN_KILLFOCUS);
        }
        return 0;
    case WM_COMMAND:
        // From the edit part.
        if (reinterpret_cast<HWND>(lParam) == s->edit && !s->selfEdit) {
            if (HIWORD(wParam) == EN_CHANGE) Notify(hwnd, CBN_EDITCHANGE);
            if (HIWORD(wParam) == EN_UPDATE) Notify(hwnd, CBN_EDITUPDATE);
        }
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
        if (HWND parent = GetParent(hwnd)) return SendMessageW(parent, msg, wParam, lParam);
        break;
    case CB_ADDSTRING:
    case CB_INSERTSTRING: {
        std::u16string t = lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"";
        size_t at = s->items.size();
        if (msg == CB_ADDSTRING && (GetWindowLongW(hwnd, GWL_STYLE) & CBS_SORT)) {
            at = 0;
            while (at < s->items.size() && CompareNoCase(s->items[at].first, t) <= 0) ++at;
        } else if (msg == CB_INSERTSTRING && int(wParam) >= 0) {
            at = std::min<size_t>(wParam, s->items.size());
        }
        s->items.insert(s->items.begin() + long(at), {t, 0});
        if (s->cur >= int(at)) ++s->cur;
        return LRESULT(at);
    }
    case CB_DELETESTRING:
        if (wParam >= s->items.size()) return CB_ERR;
        s->items.erase(s->items.begin() + long(wParam));
        if (s->cur == int(wParam))
            s->cur = -1;
        else if (s->cur > int(wParam))
            --s->cur;
        InvalidateRect(hwnd, nullptr, TRUE);
        return LRESULT(s->items.size());
    case CB_RESETCONTENT:
        s->items.clear();
        s->cur = -1;
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case CB_GETCOUNT: return LRESULT(s->items.size());
    case CB_GETCURSEL: return s->cur;
    case CB_SETCURSEL: SetCurrent(hwnd, s, int(wParam)); return s->cur >= 0 ? s->cur : CB_ERR;
    case CB_GETLBTEXT:
        if (wParam >= s->items.size() || !lParam) return CB_ERR;
        std::copy(s->items[wParam].first.begin(), s->items[wParam].first.end(),
                  reinterpret_cast<LPWSTR>(lParam));
        reinterpret_cast<LPWSTR>(lParam)[s->items[wParam].first.size()] = 0;
        return LRESULT(s->items[wParam].first.size());
    case CB_GETLBTEXTLEN: return wParam < s->items.size() ? LRESULT(s->items[wParam].first.size()) : CB_ERR;
    case CB_SETITEMDATA:
        if (wParam >= s->items.size()) return CB_ERR;
        s->items[wParam].second = lParam;
        return 1;
    case CB_GETITEMDATA: return wParam < s->items.size() ? s->items[wParam].second : CB_ERR;
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
    case CB_SELECTSTRING: {
        std::u16string t = lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"";
        int n = int(s->items.size());
        int start = int(wParam) >= n ? -1 : int(wParam);
        for (int k = 1; k <= n; ++k) {
            int i = (start + k) % n;
            bool hit = msg == CB_FINDSTRINGEXACT ? CompareNoCase(s->items[size_t(i)].first, t) == 0
                                                 : PrefixNoCase(s->items[size_t(i)].first, t);
            if (!hit) continue;
            if (msg == CB_SELECTSTRING) SetCurrent(hwnd, s, i);
            return i;
        }
        return CB_ERR;
    }
    case CB_SHOWDROPDOWN:
        if (wParam)
            OpenList(hwnd, s);
        else
            CloseList(hwnd, s, false);
        return TRUE;
    case CB_GETDROPPEDSTATE: return s->dropped;
    case CB_GETDROPPEDSTATE + 0x100:
        return reinterpret_cast<LRESULT>(s->list); // the list's window, for tests
    case 0x0154 /* CB_GETITEMHEIGHT */: return ItemHeight(hwnd, s);
    case CB_LIMITTEXT: return s->edit ? SendMessageW(s->edit, EM_LIMITTEXT, wParam, 0) : TRUE;
    case CB_GETEDITSEL: return s->edit ? SendMessageW(s->edit, EM_GETSEL, wParam, lParam) : CB_ERR;
    case CB_SETEDITSEL:
        return s->edit ? SendMessageW(s->edit, EM_SETSEL, WPARAM(short(LOWORD(lParam))),
                                      LPARAM(short(HIWORD(lParam))))
                       : CB_ERR;
    case WM_SETTEXT: {
        std::u16string t = lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"";
        if (s->edit) {
            s->selfEdit = true;
            SetWindowTextW(s->edit, t.c_str());
            s->selfEdit = false;
            return TRUE;
        }
        for (size_t i = 0; i < s->items.size(); ++i)
            if (CompareNoCase(s->items[i].first, t) == 0) {
                SetCurrent(hwnd, s, int(i));
                return TRUE;
            }
        return CB_ERR;
    }
    case WM_GETTEXT: {
        std::u16string t = s->edit ? EditText(s) : s->cur >= 0 ? s->items[size_t(s->cur)].first : u"";
        if (!wParam || !lParam) return 0;
        size_t n = std::min<size_t>(t.size(), wParam - 1);
        std::copy_n(t.data(), n, reinterpret_cast<LPWSTR>(lParam));
        reinterpret_cast<LPWSTR>(lParam)[n] = 0;
        return LRESULT(n);
    }
    case WM_GETTEXTLENGTH:
        return LRESULT(s->edit       ? EditText(s).size()
                       : s->cur >= 0 ? s->items[size_t(s->cur)].first.size()
                                     : 0);
    case WM_CLEAR:
    case WM_CUT:
    case WM_PASTE:
    case WM_COPY:
        // Sent to the combo: the edit part changes, which is not the combo's own doing.
        return s->edit ? SendMessageW(s->edit, msg, wParam, lParam) : 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (GetFocus() != hwnd && GetFocus() != s->edit) SetFocus(hwnd);
        if (!IsWindow(hwnd)) return 0;
        s->dropped ? CloseList(hwnd, s, false) : OpenList(hwnd, s);
        return 0;
    case WM_KEYDOWN:
        if (ComboKey(hwnd, s, wParam)) return 0;
        if (wParam == VK_HOME) Step(hwnd, s, 0);
        if (wParam == VK_END) Step(hwnd, s, int(s->items.size()) - 1);
        return 0;
    case WM_CHAR: {
        if (s->edit || wParam < 0x20) return 0;
        // A letter selects the next item starting with it.
        std::u16string prefix(1, char16_t(wParam));
        int n = int(s->items.size());
        for (int k = 1; k <= n; ++k) {
            int i = (s->cur + k + n) % n;
            if (PrefixNoCase(s->items[size_t(i)].first, prefix)) {
                Step(hwnd, s, i);
                break;
            }
        }
        return 0;
    }
    case WM_MOUSEWHEEL: Step(hwnd, s, s->cur + (GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? -1 : 1)); return 0;
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        HBRUSH br = CtlColor(hwnd, dc, s->edit ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC);
        COLORREF text = GetTextColor(dc);
        FillRect(dc, &r, s->edit ? br : GetSysColorBrush(COLOR_WINDOW));
        RECT e = r;
        DrawEdge(dc, &e, EDGE_SUNKEN, BF_RECT);
        RECT b{r.right - kButton - 2, 2, r.right - 2, r.bottom - 2};
        FillRect(dc, &b, GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(dc, &b, EDGE_RAISED, BF_RECT);
        // The arrow: a small triangle of lines.
        int cx = (b.left + b.right) / 2, cy = (b.top + b.bottom) / 2 - 1;
        for (int i = 0; i < 4; ++i) {
            RECT l{cx - 3 + i, cy + i, cx + 4 - i, cy + i + 1};
            FillRect(dc, &l, GetSysColorBrush(COLOR_BTNTEXT));
        }
        if (!s->edit) {
            bool focused = GetFocus() == hwnd && !s->dropped;
            RECT tr{kInset, kInset, b.left - 1, r.bottom - kInset};
            if (focused) FillRect(dc, &tr, GetSysColorBrush(COLOR_HIGHLIGHT));
            HGDIOBJ old = s->font ? SelectObject(dc, s->font) : nullptr;
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, focused ? GetSysColor(COLOR_HIGHLIGHTTEXT) : text);
            if (s->cur >= 0) {
                const std::u16string& t = s->items[size_t(s->cur)].first;
                RECT t2 = tr;
                t2.left += 2;
                DrawTextW(dc, t.c_str(), int(t.size()), &t2,
                          DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            }
            if (old) SelectObject(dc, old);
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace win32ctl
