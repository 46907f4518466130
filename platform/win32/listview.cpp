// The list view in report mode: columns, items with texts, lParam and state,
// selection by mouse and keys, and LVN_ITEMCHANGED with Windows' rules (one
// per item per action, selection and focus together, every loss before any
// gain; inserting and deleting notify nothing).
#include <algorithm>
#include <string>
#include <vector>

#include "control_internal.h"
#include "win32/commctrl.h"
#include "win32/gdi.h"

namespace win32ctl {

namespace {

struct Column {
    std::u16string text;
    int width = 0;
    int fmt = LVCFMT_LEFT;
};

struct Item {
    std::vector<std::u16string> texts;
    LPARAM lParam = 0;
    UINT state = 0;
};

struct ListState {
    HFONT font = nullptr;
    std::vector<Column> columns;
    std::vector<Item> items;
    int top = 0;
    int anchor = -1;
    DWORD exStyle = 0;
    bool redraw = true;
    bool focused = false;
};

ListState* StateOf(HWND hwnd) {
    return win32ctl::StateOf<ListState>(hwnd);
}

int RowHeight(HWND hwnd, ListState* s) {
    TEXTMETRICW tm = FontMetrics(hwnd, s->font);
    return (tm.tmHeight > 0 ? tm.tmHeight : 16) + 2;
}

int HeaderHeight(HWND hwnd, ListState* s) {
    if (GetWindowLongW(hwnd, GWL_STYLE) & LVS_NOCOLUMNHEADER) return 0;
    return RowHeight(hwnd, s) + 4;
}

int RowsPerPage(HWND hwnd, ListState* s) {
    RECT r;
    GetClientRect(hwnd, &r);
    return std::max(1, (r.bottom - HeaderHeight(hwnd, s)) / RowHeight(hwnd, s));
}

void UpdateBar(HWND hwnd, ListState* s) {
    if (!s->redraw) return;
    SCROLLINFO si{sizeof si,
                  SIF_RANGE | SIF_PAGE | SIF_POS,
                  0,
                  std::max(0, int(s->items.size()) - 1),
                  UINT(RowsPerPage(hwnd, s)),
                  s->top,
                  0};
    SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
    // The list shows its vertical bar itself, while its rows overflow a page.
    ShowScrollBar(hwnd, SB_VERT, int(s->items.size()) > RowsPerPage(hwnd, s));
}

void Redraw(HWND hwnd, ListState* s) {
    if (s->redraw) InvalidateRect(hwnd, nullptr, TRUE);
}

LRESULT SendNotify(HWND hwnd, UINT code, NMLISTVIEW* nm) {
    HWND parent = GetParent(hwnd);
    nm->hdr.hwndFrom = hwnd;
    nm->hdr.idFrom = UINT_PTR(GetDlgCtrlID(hwnd));
    nm->hdr.code = code;
    return parent ? SendMessageW(parent, WM_NOTIFY, nm->hdr.idFrom, reinterpret_cast<LPARAM>(nm)) : 0;
}

// Applies new states (index: new state) in one action: losses first, then gains.
void ApplyStates(HWND hwnd, ListState* s, const std::vector<std::pair<int, UINT>>& changes, UINT mask) {
    struct Change {
        int index;
        UINT before, after;
    };
    std::vector<Change> all;
    for (auto [i, st] : changes) {
        if (i < 0 || i >= int(s->items.size())) continue;
        UINT before = s->items[size_t(i)].state;
        UINT after = (before & ~mask) | (st & mask);
        if (before != after) all.push_back({i, before, after});
    }
    // One item can hold the focus: a gain of it takes it from the others.
    int gainer = -1;
    for (const Change& c : all)
        if ((c.after & LVIS_FOCUSED) && !(c.before & LVIS_FOCUSED)) gainer = c.index;
    if (gainer >= 0)
        for (size_t k = 0; k < s->items.size(); ++k)
            if (int(k) != gainer && (s->items[k].state & LVIS_FOCUSED) &&
                std::none_of(all.begin(), all.end(), [&](const Change& o) { return o.index == int(k); }))
                all.push_back({int(k), s->items[k].state, s->items[k].state & ~UINT(LVIS_FOCUSED)});
    auto isLoss = [](const Change& c) { return (c.before & ~c.after) != 0 && !(c.after & ~c.before); };
    std::stable_partition(all.begin(), all.end(), isLoss);
    for (const Change& c : all) {
        if (!IsWindow(hwnd) || c.index >= int(s->items.size())) return;
        s->items[size_t(c.index)].state = c.after;
        NMLISTVIEW nm{};
        nm.iItem = c.index;
        nm.uNewState = c.after;
        nm.uOldState = c.before;
        nm.uChanged = LVIF_STATE;
        nm.lParam = s->items[size_t(c.index)].lParam;
        SendNotify(hwnd, LVN_ITEMCHANGED, &nm);
    }
    if (IsWindow(hwnd)) Redraw(hwnd, s);
}

int Focused(ListState* s) {
    for (size_t i = 0; i < s->items.size(); ++i)
        if (s->items[i].state & LVIS_FOCUSED) return int(i);
    return -1;
}

// Selects index alone (or adds with ctrl, a range with shift) and focuses it.
void SelectByUser(HWND hwnd, ListState* s, int index, bool ctrl, bool shift) {
    bool single = (GetWindowLongW(hwnd, GWL_STYLE) & LVS_SINGLESEL) != 0;
    if (single) ctrl = shift = false;
    std::vector<std::pair<int, UINT>> changes;
    if (ctrl) {
        UINT sel = s->items[size_t(index)].state & LVIS_SELECTED;
        changes.push_back({index, (sel ? 0 : LVIS_SELECTED) | LVIS_FOCUSED});
        s->anchor = index;
    } else if (shift && s->anchor >= 0) {
        int a = std::min(s->anchor, index), b = std::max(s->anchor, index);
        for (int i = 0; i < int(s->items.size()); ++i)
            changes.push_back({i, (i >= a && i <= b ? LVIS_SELECTED : 0) | (i == index ? LVIS_FOCUSED : 0)});
    } else {
        for (int i = 0; i < int(s->items.size()); ++i)
            if (i != index) changes.push_back({i, 0});
        changes.push_back({index, LVIS_SELECTED | LVIS_FOCUSED});
        s->anchor = index;
    }
    ApplyStates(hwnd, s, changes,
                LVIS_SELECTED | (ctrl || shift ? LVIS_FOCUSED : LVIS_SELECTED | LVIS_FOCUSED));
}

void EnsureVisible(HWND hwnd, ListState* s, int index) {
    int page = RowsPerPage(hwnd, s);
    if (index < s->top) s->top = index;
    if (index >= s->top + page) s->top = index - page + 1;
    s->top = std::clamp(s->top, 0, std::max(0, int(s->items.size()) - page));
    UpdateBar(hwnd, s);
    Redraw(hwnd, s);
}

int HitRow(HWND hwnd, ListState* s, int y) {
    int h = HeaderHeight(hwnd, s);
    if (y < h) return -2; // the header
    int row = s->top + (y - h) / RowHeight(hwnd, s);
    return row < int(s->items.size()) ? row : -1;
}

int HitColumn(ListState* s, int x) {
    int left = 0;
    for (size_t c = 0; c < s->columns.size(); ++c) {
        int w = s->columns[c].width;
        if (x >= left && x < left + w) return int(c);
        left += w;
    }
    return -1;
}

void CopyText(const std::u16string& text, LPWSTR out, int max) {
    if (!out || max <= 0) return;
    size_t n = std::min<size_t>(text.size(), size_t(max - 1));
    std::copy_n(text.data(), n, out);
    out[n] = 0;
}

void Paint(HWND hwnd, ListState* s, HDC dc) {
    RECT r;
    GetClientRect(hwnd, &r);
    HBRUSH bg = GetSysColorBrush(COLOR_WINDOW);
    FillRect(dc, &r, bg);
    HGDIOBJ old = s->font ? SelectObject(dc, s->font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    int hh = HeaderHeight(hwnd, s), rh = RowHeight(hwnd, s);
    int left = 0;
    if (hh) {
        for (const Column& c : s->columns) {
            if (c.width <= 0) continue;
            RECT cell{left, 0, left + c.width, hh};
            FillRect(dc, &cell, GetSysColorBrush(COLOR_BTNFACE));
            DrawEdge(dc, &cell, EDGE_RAISED, BF_RECT);
            RECT tr{cell.left + 5, 0, cell.right - 4, hh};
            SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
            DrawTextW(dc, c.text.c_str(), int(c.text.size()), &tr, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
            left += c.width;
        }
    }
    bool showSel = s->focused || (GetWindowLongW(hwnd, GWL_STYLE) & LVS_SHOWSELALWAYS);
    bool full = (s->exStyle & LVS_EX_FULLROWSELECT) != 0;
    int y = hh;
    for (int i = s->top; i < int(s->items.size()) && y < r.bottom; ++i, y += rh) {
        const Item& it = s->items[size_t(i)];
        bool sel = showSel && (it.state & LVIS_SELECTED);
        int x = 0;
        for (size_t c = 0; c < s->columns.size(); ++c) {
            int w = s->columns[c].width;
            if (w <= 0) continue;
            RECT cell{x, y, x + w, y + rh};
            bool hi = sel && (full || c == 0);
            if (hi) FillRect(dc, &cell, GetSysColorBrush(s->focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
            SetTextColor(dc, GetSysColor(hi && s->focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
            const std::u16string t = c < it.texts.size() ? it.texts[c] : std::u16string();
            RECT tr{cell.left + 5, y, cell.right - 4, y + rh};
            UINT fmt = s->columns[c].fmt == LVCFMT_RIGHT ? DT_RIGHT : DT_LEFT;
            DrawTextW(dc, t.c_str(), int(t.size()), &tr, fmt | DT_VCENTER | DT_SINGLELINE);
            x += w;
        }
        if (s->focused && (it.state & LVIS_FOCUSED)) {
            RECT f{0, y, full ? x : (s->columns.empty() ? 0 : s->columns[0].width), y + rh};
            DrawFocusRect(dc, &f);
        }
    }
    if (old) SelectObject(dc, old);
}

} // namespace

LRESULT ListViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    ListState* s = StateOf(hwnd);
    switch (msg) {
    case WM_NCCREATE: CreateState<ListState>(hwnd); return TRUE;
    case WM_NCDESTROY: DestroyState<ListState>(hwnd); return 0;
    }
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_SETFONT:
        s->font = reinterpret_cast<HFONT>(wParam);
        Redraw(hwnd, s);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETREDRAW:
        s->redraw = wParam != 0;
        if (s->redraw) {
            s->top = std::clamp(s->top, 0, std::max(0, int(s->items.size()) - 1));
            UpdateBar(hwnd, s);
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
        DWORD old = s->exStyle;
        DWORD mask = wParam ? DWORD(wParam) : ~DWORD(0);
        s->exStyle = (s->exStyle & ~mask) | (DWORD(lParam) & mask);
        Redraw(hwnd, s);
        return LRESULT(old);
    }
    case LVM_GETEXTENDEDLISTVIEWSTYLE: return LRESULT(s->exStyle);
    case LVM_INSERTCOLUMNW: {
        auto* c = reinterpret_cast<const LVCOLUMNW*>(lParam);
        if (!c) return -1;
        Column col;
        if ((c->mask & LVCF_TEXT) && c->pszText) col.text = c->pszText;
        if (c->mask & LVCF_WIDTH) col.width = c->cx;
        if (c->mask & LVCF_FMT) col.fmt = c->fmt;
        size_t at = std::min<size_t>(size_t(wParam), s->columns.size());
        s->columns.insert(s->columns.begin() + long(at), col);
        for (Item& it : s->items)
            if (at < it.texts.size()) it.texts.insert(it.texts.begin() + long(at), std::u16string());
        Redraw(hwnd, s);
        return LRESULT(at);
    }
    case LVM_DELETECOLUMN:
        if (wParam >= s->columns.size()) return FALSE;
        s->columns.erase(s->columns.begin() + long(wParam));
        for (Item& it : s->items)
            if (wParam < it.texts.size()) it.texts.erase(it.texts.begin() + long(wParam));
        Redraw(hwnd, s);
        return TRUE;
    case LVM_SETCOLUMNWIDTH:
        if (wParam >= s->columns.size()) return FALSE;
        s->columns[wParam].width = std::max(0, int(short(LOWORD(lParam))));
        Redraw(hwnd, s);
        return TRUE;
    case LVM_GETCOLUMNWIDTH: return wParam < s->columns.size() ? s->columns[wParam].width : 0;
    case LVM_GETITEMCOUNT: return LRESULT(s->items.size());
    case LVM_INSERTITEMW: {
        auto* it = reinterpret_cast<const LVITEMW*>(lParam);
        if (!it || it->iSubItem != 0) return -1;
        Item item;
        item.texts.push_back((it->mask & LVIF_TEXT) && it->pszText ? it->pszText : u"");
        if (it->mask & LVIF_PARAM) item.lParam = it->lParam;
        if (it->mask & LVIF_STATE) item.state = it->state & it->stateMask;
        size_t at = std::clamp<size_t>(size_t(std::max(0, it->iItem)), 0, s->items.size());
        s->items.insert(s->items.begin() + long(at), std::move(item));
        if (s->anchor >= int(at)) ++s->anchor;
        UpdateBar(hwnd, s);
        Redraw(hwnd, s);
        return LRESULT(at);
    }
    case LVM_SETITEMW:
    case LVM_SETITEMTEXTW: {
        auto* it = reinterpret_cast<const LVITEMW*>(lParam);
        int index = msg == LVM_SETITEMTEXTW ? int(wParam) : it ? it->iItem : -1;
        if (!it || index < 0 || index >= int(s->items.size()) || it->iSubItem < 0) return FALSE;
        Item& item = s->items[size_t(index)];
        if (msg == LVM_SETITEMTEXTW || (it->mask & LVIF_TEXT)) {
            if (item.texts.size() <= size_t(it->iSubItem)) item.texts.resize(size_t(it->iSubItem) + 1);
            item.texts[size_t(it->iSubItem)] = it->pszText ? it->pszText : u"";
        }
        if (msg == LVM_SETITEMW && (it->mask & LVIF_PARAM) && it->iSubItem == 0) item.lParam = it->lParam;
        Redraw(hwnd, s);
        if (msg == LVM_SETITEMW && (it->mask & LVIF_STATE))
            ApplyStates(hwnd, s, {{index, it->state}}, it->stateMask);
        return TRUE;
    }
    case LVM_GETITEMTEXTW: {
        auto* it = reinterpret_cast<LVITEMW*>(lParam);
        if (!it || wParam >= s->items.size()) return 0;
        const Item& item = s->items[wParam];
        std::u16string t = size_t(it->iSubItem) < item.texts.size() ? item.texts[size_t(it->iSubItem)] : u"";
        CopyText(t, it->pszText, it->cchTextMax);
        return LRESULT(std::min<size_t>(t.size(), size_t(std::max(0, it->cchTextMax - 1))));
    }
    case LVM_GETITEMW: {
        auto* it = reinterpret_cast<LVITEMW*>(lParam);
        if (!it || it->iItem < 0 || it->iItem >= int(s->items.size())) return FALSE;
        const Item& item = s->items[size_t(it->iItem)];
        if (it->mask & LVIF_TEXT) {
            std::u16string t =
                size_t(it->iSubItem) < item.texts.size() ? item.texts[size_t(it->iSubItem)] : u"";
            CopyText(t, it->pszText, it->cchTextMax);
        }
        if (it->mask & LVIF_PARAM) it->lParam = item.lParam;
        if (it->mask & LVIF_STATE) it->state = item.state & it->stateMask;
        return TRUE;
    }
    case LVM_SETITEMSTATE: {
        auto* it = reinterpret_cast<const LVITEMW*>(lParam);
        if (!it) return FALSE;
        std::vector<std::pair<int, UINT>> changes;
        if (int(wParam) == -1)
            for (int i = 0; i < int(s->items.size()); ++i) changes.push_back({i, it->state});
        else if (int(wParam) < int(s->items.size()))
            changes.push_back({int(wParam), it->state});
        else
            return FALSE;
        ApplyStates(hwnd, s, changes, it->stateMask);
        return TRUE;
    }
    case LVM_GETITEMSTATE:
        return wParam < s->items.size() ? LRESULT(s->items[wParam].state & UINT(lParam)) : 0;
    case LVM_GETSELECTEDCOUNT:
        return LRESULT(std::count_if(s->items.begin(), s->items.end(),
                                     [](const Item& i) { return (i.state & LVIS_SELECTED) != 0; }));
    case LVM_GETNEXTITEM: {
        UINT flags = UINT(lParam) & 0xFF;
        for (int i = int(wParam) + 1; i < int(s->items.size()); ++i) {
            UINT st = s->items[size_t(i)].state;
            if ((flags & LVNI_SELECTED) && !(st & LVIS_SELECTED)) continue;
            if ((flags & LVNI_FOCUSED) && !(st & LVIS_FOCUSED)) continue;
            return i;
        }
        return -1;
    }
    case LVM_ENSUREVISIBLE:
        if (int(wParam) >= 0 && wParam < s->items.size()) EnsureVisible(hwnd, s, int(wParam));
        return TRUE;
    case LVM_GETTOPINDEX: return s->top;
    case LVM_GETCOUNTPERPAGE: return RowsPerPage(hwnd, s);
    case LVM_DELETEITEM:
        if (wParam >= s->items.size()) return FALSE;
        s->items.erase(s->items.begin() + long(wParam));
        if (s->anchor == int(wParam))
            s->anchor = -1;
        else if (s->anchor > int(wParam))
            --s->anchor;
        UpdateBar(hwnd, s);
        Redraw(hwnd, s);
        return TRUE;
    case LVM_DELETEALLITEMS:
        s->items.clear();
        s->top = 0;
        s->anchor = -1;
        UpdateBar(hwnd, s);
        Redraw(hwnd, s);
        return TRUE;
    case LVM_SORTITEMS: {
        auto cmp = reinterpret_cast<PFNLVCOMPARE>(lParam);
        if (!cmp) return FALSE;
        std::stable_sort(s->items.begin(), s->items.end(), [&](const Item& a, const Item& b) {
            return cmp(a.lParam, b.lParam, LPARAM(wParam)) < 0;
        });
        Redraw(hwnd, s);
        return TRUE;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        s->focused = msg == WM_SETFOCUS;
        Redraw(hwnd, s);
        {
            NMLISTVIEW nm{};
            nm.iItem = -1;
            SendNotify(hwnd, s->focused ? NM_SETFOCUS : NM_KILLFOCUS, &nm);
        }
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: {
        if (GetFocus() != hwnd) SetFocus(hwnd);
        if (!IsWindow(hwnd)) return 0;
        int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
        int row = HitRow(hwnd, s, y);
        if (row == -2) {
            if (msg == WM_LBUTTONDOWN) {
                NMLISTVIEW nm{};
                nm.iItem = -1;
                nm.iSubItem = HitColumn(s, x);
                if (nm.iSubItem >= 0) SendNotify(hwnd, LVN_COLUMNCLICK, &nm);
            }
            return 0;
        }
        if (row >= 0 && !(msg == WM_RBUTTONDOWN && (s->items[size_t(row)].state & LVIS_SELECTED)))
            SelectByUser(hwnd, s, row, (wParam & MK_CONTROL) != 0, (wParam & MK_SHIFT) != 0);
        if (!IsWindow(hwnd)) return 0;
        NMITEMACTIVATE nm{};
        nm.iItem = row;
        nm.iSubItem = row >= 0 ? std::max(0, HitColumn(s, x)) : 0;
        nm.ptAction = POINT{x, y};
        if (msg == WM_LBUTTONDBLCLK)
            SendNotify(hwnd, NM_DBLCLK, reinterpret_cast<NMLISTVIEW*>(&nm));
        else if (msg == WM_RBUTTONDOWN)
            SendNotify(hwnd, NM_RCLICK, reinterpret_cast<NMLISTVIEW*>(&nm));
        else
            SendNotify(hwnd, NM_CLICK, reinterpret_cast<NMLISTVIEW*>(&nm));
        return 0;
    }
    case WM_KEYDOWN: {
        int n = int(s->items.size());
        if (n == 0) return 0;
        int f = Focused(s);
        int to = f;
        switch (wParam) {
        case VK_UP: to = std::max(0, f - 1); break;
        case VK_DOWN: to = std::min(n - 1, f + 1); break;
        case VK_HOME: to = 0; break;
        case VK_END: to = n - 1; break;
        case VK_PRIOR: to = std::max(0, f - RowsPerPage(hwnd, s)); break;
        case VK_NEXT: to = std::min(n - 1, f + RowsPerPage(hwnd, s)); break;
        default: return 0;
        }
        if (f < 0) to = 0;
        SelectByUser(hwnd, s, to, false, GetKeyState(VK_SHIFT) < 0);
        if (IsWindow(hwnd)) EnsureVisible(hwnd, s, to);
        return 0;
    }
    case WM_VSCROLL: {
        int page = RowsPerPage(hwnd, s);
        int top = s->top;
        switch (LOWORD(wParam)) {
        case SB_LINEUP: --top; break;
        case SB_LINEDOWN: ++top; break;
        case SB_PAGEUP: top -= page; break;
        case SB_PAGEDOWN: top += page; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: top = short(HIWORD(wParam)); break;
        }
        s->top = std::clamp(top, 0, std::max(0, int(s->items.size()) - page));
        UpdateBar(hwnd, s);
        Redraw(hwnd, s);
        return 0;
    }
    case WM_MOUSEWHEEL: {
        int lines = -GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA * 3;
        int page = RowsPerPage(hwnd, s);
        s->top = std::clamp(s->top + lines, 0, std::max(0, int(s->items.size()) - page));
        UpdateBar(hwnd, s);
        Redraw(hwnd, s);
        return 0;
    }
    case WM_SIZE: UpdateBar(hwnd, s); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (s->redraw) Paint(hwnd, s, dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace win32ctl
