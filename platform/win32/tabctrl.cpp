// The tab control: one row of tabs over a raised frame. A click on another
// tab asks the parent with TCN_SELCHANGING (non-zero keeps the current one),
// then selects it and sends TCN_SELCHANGE; TCM_SETCURSEL notifies nobody.
#include "win32/tabctrl.h"

#include <algorithm>
#include <string>
#include <vector>

#include "control_internal.h"
#include "win32/commctrl.h"
#include "win32/gdi.h"

namespace win32ctl {

namespace {

struct TabItem {
    std::u16string text;
    LPARAM data = 0;
    DWORD state = 0;
};

struct TabState {
    std::vector<TabItem> items;
    int current = -1;
    int focus = -1;
    HFONT font = nullptr;
};

constexpr int kPadX = 6;   // text inset of a tab
constexpr int kLift = 2;   // how far the current tab stands out
constexpr int kFrame = 4;  // the frame's width around the display area
constexpr int kStartX = 2; // the first tab's left edge

TabState* StateOf(HWND hwnd) {
    return win32ctl::StateOf<TabState>(hwnd);
}

int TabHeight(HWND hwnd, TabState* s) {
    TEXTMETRICW tm = FontMetrics(hwnd, s->font);
    return int(tm.tmHeight) + 6 + kLift;
}

// Each tab's rectangle in the row, as drawn when it is not the current one.
std::vector<RECT> TabRects(HWND hwnd, TabState* s) {
    std::vector<RECT> out;
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = s->font ? SelectObject(dc, s->font) : nullptr;
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    int h = int(tm.tmHeight) + 6;
    int x = kStartX;
    for (const TabItem& it : s->items) {
        SIZE sz{};
        std::u16string plain;
        for (size_t i = 0; i < it.text.size(); ++i)
            if (it.text[i] != u'&' || (i + 1 < it.text.size() && it.text[++i] == u'&'))
                plain.push_back(it.text[i]);
        GetTextExtentPoint32W(dc, plain.c_str(), int(plain.size()), &sz);
        int w = std::max(int(sz.cx) + 2 * kPadX, 40);
        out.push_back(RECT{x, kLift, x + w, kLift + h});
        x += w;
    }
    if (old) SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return out;
}

// WM_NOTIFY with a bare header to the parent.
LRESULT SendNotify(HWND hwnd, UINT code) {
    HWND parent = GetParent(hwnd);
    if (!parent) return 0;
    NMHDR nm{hwnd, UINT_PTR(GetDlgCtrlID(hwnd)), code};
    return SendMessageW(parent, WM_NOTIFY, nm.idFrom, reinterpret_cast<LPARAM>(&nm));
}

// The user's choice of tab index: asks, selects, tells.
void Choose(HWND hwnd, TabState* s, int index) {
    if (index < 0 || index >= int(s->items.size()) || index == s->current) return;
    if (SendNotify(hwnd, TCN_SELCHANGING)) return;
    if (!IsWindow(hwnd)) return;
    s->current = s->focus = index;
    InvalidateRect(hwnd, nullptr, TRUE);
    SendNotify(hwnd, TCN_SELCHANGE);
}

void CopyOut(const TabItem& it, TCITEMW* item) {
    if (item->mask & TCIF_TEXT && item->pszText && item->cchTextMax > 0) {
        size_t n = std::min<size_t>(it.text.size(), size_t(item->cchTextMax - 1));
        std::copy_n(it.text.data(), n, item->pszText);
        item->pszText[n] = 0;
    }
    if (item->mask & TCIF_PARAM) item->lParam = it.data;
    if (item->mask & TCIF_STATE) item->dwState = it.state & item->dwStateMask;
}

void CopyIn(TabItem& it, const TCITEMW* item) {
    if (item->mask & TCIF_TEXT) it.text = item->pszText ? item->pszText : u"";
    if (item->mask & TCIF_PARAM) it.data = item->lParam;
    if (item->mask & TCIF_STATE)
        it.state = (it.state & ~item->dwStateMask) | (item->dwState & item->dwStateMask);
}

void Paint(HWND hwnd, TabState* s, HDC dc) {
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    std::vector<RECT> tabs = TabRects(hwnd, s);
    int top = tabs.empty() ? 0 : int(tabs.front().bottom);
    RECT frame{client.left, top, client.right, client.bottom};
    DrawEdge(dc, &frame, EDGE_RAISED, BF_RECT);
    HGDIOBJ old = s->font ? SelectObject(dc, s->font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    for (size_t i = 0; i < tabs.size(); ++i) {
        RECT r = tabs[i];
        bool cur = int(i) == s->current;
        if (cur) {
            r.left -= kLift;
            r.right += kLift;
            r.top -= kLift;
            r.bottom += 1; // covers the frame's top line under it
        }
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        RECT e = r;
        DrawEdge(dc, &e, EDGE_RAISED, BF_LEFT | BF_TOP | BF_RIGHT);
        RECT t = r;
        t.top += cur ? 0 : 1;
        const std::u16string& text = s->items[i].text;
        DrawTextW(dc, text.c_str(), int(text.size()), &t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        if (cur && GetFocus() == hwnd) {
            RECT f{r.left + 3, r.top + 3, r.right - 3, r.bottom - 3};
            DrawFocusRect(dc, &f);
        }
    }
    if (old) SelectObject(dc, old);
}

} // namespace

LRESULT TabProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TabState* s = StateOf(hwnd);
    switch (msg) {
    case WM_NCCREATE: CreateState<TabState>(hwnd); return TRUE;
    case WM_NCDESTROY: DestroyState<TabState>(hwnd); return 0;
    }
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case TCM_GETITEMCOUNT: return LRESULT(s->items.size());
    case TCM_GETROWCOUNT: return 1;
    case TCM_INSERTITEMW: {
        auto* item = reinterpret_cast<const TCITEMW*>(lParam);
        if (!item) return -1;
        int at = std::clamp(int(wParam), 0, int(s->items.size()));
        TabItem it;
        CopyIn(it, item);
        s->items.insert(s->items.begin() + at, it);
        if (s->current < 0)
            s->current = 0;
        else if (at <= s->current)
            ++s->current;
        if (s->focus < 0) s->focus = s->current;
        InvalidateRect(hwnd, nullptr, TRUE);
        return at;
    }
    case TCM_GETITEMW:
    case TCM_SETITEMW: {
        auto* item = reinterpret_cast<TCITEMW*>(lParam);
        if (!item || int(wParam) < 0 || int(wParam) >= int(s->items.size())) return FALSE;
        if (msg == TCM_GETITEMW) {
            CopyOut(s->items[wParam], item);
        } else {
            CopyIn(s->items[wParam], item);
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return TRUE;
    }
    case TCM_DELETEITEM: {
        int i = int(wParam);
        if (i < 0 || i >= int(s->items.size())) return FALSE;
        s->items.erase(s->items.begin() + i);
        if (s->current == i)
            s->current = -1;
        else if (s->current > i)
            --s->current;
        if (s->focus >= int(s->items.size())) s->focus = s->current;
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    }
    case TCM_DELETEALLITEMS:
        s->items.clear();
        s->current = s->focus = -1;
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    case TCM_GETCURSEL: return s->current;
    case TCM_GETCURFOCUS: return s->focus;
    case TCM_SETCURSEL:
    case TCM_SETCURFOCUS: {
        int i = int(wParam), old = s->current;
        if (i < 0 || i >= int(s->items.size())) return -1;
        s->current = s->focus = i;
        InvalidateRect(hwnd, nullptr, TRUE);
        return old;
    }
    case TCM_GETITEMRECT: {
        std::vector<RECT> tabs = TabRects(hwnd, s);
        if (int(wParam) < 0 || int(wParam) >= int(tabs.size()) || !lParam) return FALSE;
        *reinterpret_cast<RECT*>(lParam) = tabs[wParam];
        return TRUE;
    }
    case TCM_HITTEST: {
        auto* hit = reinterpret_cast<TCHITTESTINFO*>(lParam);
        if (!hit) return -1;
        std::vector<RECT> tabs = TabRects(hwnd, s);
        for (size_t i = 0; i < tabs.size(); ++i)
            if (PtInRect(&tabs[i], hit->pt)) {
                hit->flags = TCHT_ONITEMLABEL;
                return LRESULT(i);
            }
        hit->flags = TCHT_NOWHERE;
        return -1;
    }
    case TCM_ADJUSTRECT: {
        // FALSE: the window's rectangle in, the display area out; TRUE: the reverse.
        auto* r = reinterpret_cast<RECT*>(lParam);
        if (!r) return 0;
        int head = TabHeight(hwnd, s);
        int sign = wParam ? -1 : 1;
        r->left += sign * kFrame;
        r->right -= sign * kFrame;
        r->top += sign * (head + kFrame);
        r->bottom -= sign * kFrame;
        return 0;
    }
    case WM_SETFONT:
        s->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN: {
        TCHITTESTINFO hit{{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, 0};
        int i = int(TabProc(hwnd, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        if (i >= 0) {
            if (!(GetWindowLongW(hwnd, GWL_STYLE) & TCS_FOCUSNEVER)) SetFocus(hwnd);
            Choose(hwnd, s, i);
        }
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_LEFT || wParam == VK_RIGHT) {
            Choose(hwnd, s, s->current + (wParam == VK_LEFT ? -1 : 1));
            return 0;
        }
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        Paint(hwnd, s, dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace win32ctl
