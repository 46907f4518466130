#include "editor/scrollwnd.h"

#include <algorithm>
#include <climits>
#include <cmath>

IMPLEMENT_DYNAMIC(CScrollWnd, CWnd)

BEGIN_MESSAGE_MAP(CScrollWnd, CWnd)
ON_WM_HSCROLL()
ON_WM_VSCROLL()
ON_WM_MOUSEWHEEL()
ON_WM_RBUTTONDOWN()
ON_WM_CREATE()
ON_WM_MOUSEHWHEEL()
END_MESSAGE_MAP()

namespace {
int Saturate(long long v) {
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}
} // namespace

CSplitterWnd* CScrollWnd::GetParentSplitter() const {
    CWnd* parent = GetParent();
    CWnd* grand = parent ? parent->GetParent() : nullptr;
    return grand && grand->IsKindOf(RUNTIME_CLASS(CSplitterWnd)) ? static_cast<CSplitterWnd*>(grand)
                                                                 : nullptr;
}

CScrollBar* CScrollWnd::GetScrollBarCtrl(int bar) const {
    DWORD bit = bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL;
    if (m_splitterMode && !(GetStyle() & bit))
        if (CWnd* parent = GetParent()) return parent->GetScrollBarCtrl(bar);
    return CWnd::GetScrollBarCtrl(bar);
}

int CScrollWnd::GetScrollPosition(int bar) {
    return ScrollOwner()->GetScrollPos(bar);
}

int CScrollWnd::GetScrollLimitEx(int bar) {
    return ScrollOwner()->GetScrollLimit(bar);
}

void CScrollWnd::SetScrollPosition(int bar, int pos) {
    if (m_splitterMode && GetParent()) {
        GetParent()->SetScrollPos(bar, pos, TRUE);
        if (GetStyle() & (bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL)) ::SetScrollPos(m_hWnd, bar, pos, TRUE);
        return;
    }
    SetScrollPos(bar, pos, TRUE);
}

void CScrollWnd::OnHScroll(UINT code, UINT, CScrollBar* bar) {
    if (bar && bar->SendChildNotifyLastMsg()) return;
    if (bar != GetScrollBarCtrl(SB_HORZ)) return;
    SCROLLINFO si{};
    ScrollOwner()->GetScrollInfo(SB_HORZ, &si, SIF_POS | SIF_TRACKPOS);
    ScrollByCode(MAKEWORD(code, 0xFF), code == SB_THUMBTRACK ? si.nTrackPos : si.nPos);
}

void CScrollWnd::OnVScroll(UINT code, UINT, CScrollBar* bar) {
    if (bar && bar->SendChildNotifyLastMsg()) return;
    if (bar != GetScrollBarCtrl(SB_VERT)) return;
    SCROLLINFO si{};
    ScrollOwner()->GetScrollInfo(SB_VERT, &si, SIF_POS | SIF_TRACKPOS);
    ScrollByCode(MAKEWORD(0xFF, code), code == SB_THUMBTRACK ? si.nTrackPos : si.nPos);
}

int CScrollWnd::ScrollByCode(WORD codes, int thumb) {
    int tracking = 0;
    long long delta[2] = {0, 0}; // horizontal, vertical
    for (int dir = 0; dir < 2; ++dir) {
        int code = dir == 0 ? LOBYTE(codes) : HIBYTE(codes);
        if (code >= 9) continue;
        int bar = dir == 0 ? SB_HORZ : SB_VERT;
        long long cur = GetScrollPosition(bar);
        long long line = dir == 0 ? GetHScrollLine() : GetVScrollLine();
        long long page = dir == 0 ? GetPageCols() : GetPageRows();
        long long target = cur;
        switch (code) {
        case SB_LINEUP: target = cur - line; break;
        case SB_LINEDOWN: target = cur + line; break;
        case SB_PAGEUP:
            target = cur - page + 1;
            if (target >= cur) target = cur - 1;
            break;
        case SB_PAGEDOWN:
            target = cur + page - 1;
            if (target <= cur) target = cur + 1;
            break;
        case SB_THUMBTRACK:
            target = thumb;
            tracking = 1;
            m_tracking = 1;
            break;
        case SB_TOP: target = 0; break;
        case SB_BOTTOM: target = INT_MAX; break;
        case SB_ENDSCROLL:
            m_tracking = 0;
            OnEndScroll();
            break;
        default: break;
        }
        delta[dir] = target - cur;
    }
    return ScrollBy(delta[0], delta[1], tracking);
}

bool CScrollWnd::Usable(int bar) {
    int enabled = bar == SB_VERT ? m_vEnabled : m_hEnabled;
    if (enabled != 1) return false;
    if (CScrollBar* ctl = GetScrollBarCtrl(bar)) return ctl->IsWindowEnabled() != FALSE;
    return (GetStyle() & (bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL)) != 0;
}

int CScrollWnd::ScrollBy(long long dx, long long dy, int tracking) {
    if (!Usable(SB_HORZ) && !(m_flags & kNoOwnHBar)) dx = 0;
    if (!Usable(SB_VERT) && !(m_flags & kNoOwnVBar)) dy = 0;
    long long oldCol = GetScrollPosition(SB_HORZ), oldRow = GetScrollPosition(SB_VERT);
    auto target = [&](long long cur, long long delta, int min, int bar) {
        long long v = cur + delta;
        if (v < min) return static_cast<long long>(min);
        long long limit = std::max(GetScrollLimitEx(bar), 0);
        return std::min(v, limit);
    };
    long long newCol = target(oldCol, dx, GetHScrollMin(), SB_HORZ);
    long long newRow = target(oldRow, dy, GetVScrollMin(), SB_VERT);
    if (newCol == oldCol && newRow == oldRow) return 0;

    CRect client;
    ScrollOwner()->GetClientRect(&client);
    int left = GetFixedLeftWidth(), top = GetFixedTopHeight();
    int right = client.Width() - GetFixedRightWidth(), bottom = client.Height() - GetFixedBottomHeight();
    CRect body(left, top, right, bottom);
    int px = ColsToPixels(static_cast<int>(oldCol), static_cast<int>(newCol));
    int py = RowsToPixels(static_cast<int>(oldRow), static_cast<int>(newRow));
    ScrollWindow(px, py, &body, &body);
    SetScrollPosition(SB_HORZ, static_cast<int>(newCol));
    SetScrollPosition(SB_VERT, static_cast<int>(newRow));
    // Column headers and row numbers follow the body.
    if (newCol != oldCol && top > 0) {
        CRect strip(left, 0, right, top);
        ScrollWindow(px, 0, &strip, &strip);
    }
    if (newRow != oldRow && left > 0) {
        CRect strip(0, top, left, bottom);
        ScrollWindow(0, py, &strip, &strip);
    }
    OnScrolled(Saturate(dx), Saturate(dy), tracking);
    return 1;
}

int CScrollWnd::NeedVScrollBar(int height) {
    if (m_splitterMode) {
        CSplitterWnd* s = GetParentSplitter();
        if (s && s->GetRowCount() > 1) return 1;
    } else if (!(m_flags & kVBarAsNeeded)) {
        return 1;
    }
    if (m_flags & kNoOwnVBar) return 0;
    return height < GetTotalHeight() ? 1 : 0;
}

int CScrollWnd::NeedHScrollBar(int width) {
    if (m_splitterMode) {
        CSplitterWnd* s = GetParentSplitter();
        if (s && s->GetColumnCount() > 1) return 1;
    } else if (!(m_flags & kHBarAsNeeded)) {
        return 1;
    }
    if (m_flags & kNoOwnHBar) return 0;
    return width < GetTotalWidth() ? 1 : 0;
}

void CScrollWnd::UpdateScrollBars() {
    CSplitterWnd* splitter = m_splitterMode ? GetParentSplitter() : nullptr;
    DWORD own = GetStyle();
    DWORD style = splitter ? splitter->GetScrollStyle() : own;
    // The area shown: in splitter mode the parent's, which this window may
    // overhang by the bars it does not show.
    CRect client;
    ScrollOwner()->GetClientRect(&client);
    int cxBar = GetSystemMetrics(SM_CXVSCROLL), cyBar = GetSystemMetrics(SM_CYHSCROLL);
    int fullW = client.Width() + ((style & WS_VSCROLL) ? cxBar : 0);
    int fullH = client.Height() + ((style & WS_HSCROLL) ? cyBar : 0);

    int needV = NeedVScrollBar(fullH);
    int needH = NeedHScrollBar(fullW);
    if (needV && !needH) needH = NeedHScrollBar(fullW - cxBar);
    if (needH && !needV) needV = NeedVScrollBar(fullH - cyBar);

    DWORD want = (needV ? WS_VSCROLL : 0) | (needH ? WS_HSCROLL : 0);
    if (want != (style & (WS_VSCROLL | WS_HSCROLL))) {
        if (splitter) {
            splitter->SetScrollStyle(want);
            if ((m_flags & kSplitterStyles) && (own & (WS_VSCROLL | WS_HSCROLL)) != (WS_VSCROLL | WS_HSCROLL))
                ModifyStyle(0, WS_VSCROLL | WS_HSCROLL);
            splitter->RecalcLayout();
        } else {
            if (static_cast<bool>(needV) != static_cast<bool>(style & WS_VSCROLL))
                ShowScrollBar(SB_VERT, needV);
            if (static_cast<bool>(needH) != static_cast<bool>(style & WS_HSCROLL))
                ShowScrollBar(SB_HORZ, needH);
        }
    }

    ScrollOwner()->GetClientRect(&client);
    CWnd* parent = GetParent();
    for (int bar : {SB_VERT, SB_HORZ}) {
        bool vert = bar == SB_VERT;
        int total = vert ? GetTotalHeight() : GetTotalWidth();
        int extent = vert ? client.Height() : client.Width();
        int& enabled = vert ? m_vEnabled : m_hEnabled;
        if (total < extent) {
            EnableScrollBar(bar, ESB_DISABLE_BOTH);
            enabled = 0;
        } else {
            EnableScrollBar(bar, ESB_ENABLE_BOTH);
            enabled = 1;
        }
        SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE, 0, 0, 0, 0, 0};
        si.nMin = vert ? GetVScrollMin() : GetHScrollMin();
        si.nMax = vert ? GetVScrollMax() : GetHScrollMax();
        si.nPage = static_cast<UINT>(std::max(vert ? GetVScrollPage() : GetHScrollPage(), 0));
        bool needed = vert ? needV : needH;
        DWORD bit = vert ? WS_VSCROLL : WS_HSCROLL;
        if (needed) {
            if (m_splitterMode && parent) {
                if ((GetStyle() & bit) && si.nMax > 0 && si.nMax > static_cast<int>(si.nPage))
                    ::SetScrollInfo(m_hWnd, bar, &si, TRUE);
                parent->SetScrollInfo(bar, &si, TRUE);
            } else {
                SetScrollInfo(bar, &si, TRUE);
            }
        } else {
            if (m_splitterMode && parent)
                parent->SetScrollInfo(bar, &si, FALSE);
            else
                SetScrollInfo(bar, &si, FALSE);
            if (GetStyle() & bit) ::ShowScrollBar(m_hWnd, bar, FALSE);
        }
    }
}

BOOL CScrollWnd::OnMouseWheel(UINT, short delta, CPoint) {
    long long rows = -static_cast<long long>(std::ceil(delta / m_vWheelDivisor)) * GetVScrollLine();
    ScrollBy(0, rows, 0);
    return TRUE;
}

void CScrollWnd::OnMouseHWheel(UINT, short delta, CPoint) {
    if (m_hWheelEnabled) {
        long long cols = static_cast<long long>(std::ceil(delta / m_hWheelDivisor)) * GetHScrollLine();
        ScrollBy(cols, 0, 0);
    }
    Default();
}

void CScrollWnd::OnRButtonDown(UINT, CPoint pt) {
    CWnd* parent = GetParent();
    if (!parent) return;
    const MSG* m = GetCurrentMessage();
    POINT p = pt;
    ::MapWindowPoints(m_hWnd, parent->m_hWnd, &p, 1);
    parent->SendMessage(WM_RBUTTONDOWN, m ? m->wParam : 0, MAKELPARAM(p.x, p.y));
}

int CScrollWnd::OnCreate(LPCREATESTRUCT cs) {
    if (CWnd::OnCreate(cs) == -1) return -1;
    if (!(cs->style & WS_VSCROLL)) m_flags |= kVBarAsNeeded;
    if (!(cs->style & WS_HSCROLL)) m_flags |= kHBarAsNeeded;
    return 0;
}
