// The view base and a static splitter window with shared scroll bars.
#include <algorithm>
#include <utility>
#include <vector>

#include "mfc/docview.h"
#include "mfc/wnd.h"

IMPLEMENT_DYNAMIC(CSplitterWnd, CWnd)

namespace {
// The shared bars belong to the splitter's window and go with it.
class CSharedScrollBar : public CScrollBar {
protected:
    void PostNcDestroy() override { delete this; }
};
} // namespace

CSplitterWnd* CView::GetParentSplitter(const CWnd* wnd, BOOL) {
    CWnd* parent = wnd ? wnd->GetParent() : nullptr;
    return parent && parent->IsKindOf(RUNTIME_CLASS(CSplitterWnd)) ? static_cast<CSplitterWnd*>(parent)
                                                                   : nullptr;
}

CScrollBar* CView::GetScrollBarCtrl(int bar) const {
    DWORD style = GetStyle();
    // A view with its own bar of that direction uses it.
    if ((bar == SB_VERT && (style & WS_VSCROLL)) || (bar == SB_HORZ && (style & WS_HSCROLL))) return nullptr;
    CSplitterWnd* splitter = GetParentSplitter(this, TRUE);
    if (!splitter) return nullptr;
    int id = GetDlgCtrlID();
    if (id < AFX_IDW_PANE_FIRST || id > AFX_IDW_PANE_FIRST + 0xFF) return nullptr;
    int row = (id - AFX_IDW_PANE_FIRST) / 16, col = (id - AFX_IDW_PANE_FIRST) % 16;
    return splitter->GetSharedBar(bar, bar == SB_HORZ ? col : row);
}

BEGIN_MESSAGE_MAP(CSplitterWnd, CWnd)
ON_WM_SIZE()
ON_WM_HSCROLL()
ON_WM_VSCROLL()
ON_WM_MOUSEWHEEL()
ON_WM_ERASEBKGND()
ON_WM_PAINT()
ON_WM_LBUTTONDOWN()
ON_WM_MOUSEMOVE()
ON_WM_LBUTTONUP()
ON_WM_SETCURSOR()
END_MESSAGE_MAP()

BOOL CSplitterWnd::CreateStatic(CWnd* parent, int rows, int cols, DWORD style, UINT id) {
    m_nRows = std::clamp(rows, 1, 2);
    m_nCols = std::clamp(cols, 1, 2);
    CRect r;
    if (parent) parent->GetClientRect(&r);
    DWORD create = (style & ~(WS_HSCROLL | WS_VSCROLL)) | WS_CHILD | WS_CLIPCHILDREN;
    if (!CreateEx(0, AfxRegisterWndClass(CS_DBLCLKS, LoadCursorW(nullptr, IDC_ARROW)), nullptr, create, r,
                  parent, id))
        return FALSE;
    SetScrollStyle(style & (WS_HSCROLL | WS_VSCROLL));
    return TRUE;
}

BOOL CSplitterWnd::CreateView(int row, int col, CRuntimeClass* viewClass, SIZE initial, void* context) {
    auto* wnd = static_cast<CWnd*>(viewClass->CreateObject());
    if (!wnd) return FALSE;
    if (row == 0) SetColumnInfo(col, initial.cx, 0);
    if (col == 0) SetRowInfo(row, initial.cy, 0);
    CRect r(0, 0, initial.cx, initial.cy);
    if (!wnd->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, r, this,
                     static_cast<UINT>(IdFromRowCol(row, col)), context))
        return FALSE;
    RecalcLayout();
    return TRUE;
}

CScrollBar* CSplitterWnd::GetSharedBar(int bar, int index) const {
    UINT id = bar == SB_HORZ ? AFX_IDW_HSCROLL_FIRST + index : AFX_IDW_VSCROLL_FIRST + index;
    HWND h = ::GetDlgItem(m_hWnd, static_cast<int>(id));
    return h ? static_cast<CScrollBar*>(CWnd::FromHandle(h)) : nullptr;
}

void CSplitterWnd::SetScrollStyle(DWORD style) {
    style &= WS_HSCROLL | WS_VSCROLL;
    m_dwScrollStyle = style;
    for (int col = 0; col < m_nCols; ++col) {
        CScrollBar* b = GetSharedBar(SB_HORZ, col);
        if ((style & WS_HSCROLL) && !b) {
            auto* nb = new CSharedScrollBar;
            nb->Create(SBS_HORZ | WS_VISIBLE, CRect(0, 0, 1, 1), this, AFX_IDW_HSCROLL_FIRST + col);
        } else if (b) {
            b->ShowWindow((style & WS_HSCROLL) ? SW_SHOW : SW_HIDE);
        }
    }
    for (int row = 0; row < m_nRows; ++row) {
        CScrollBar* b = GetSharedBar(SB_VERT, row);
        if ((style & WS_VSCROLL) && !b) {
            auto* nb = new CSharedScrollBar;
            nb->Create(SBS_VERT | WS_VISIBLE, CRect(0, 0, 1, 1), this, AFX_IDW_VSCROLL_FIRST + row);
        } else if (b) {
            b->ShowWindow((style & WS_VSCROLL) ? SW_SHOW : SW_HIDE);
        }
    }
}

void CSplitterWnd::SetRowInfo(int row, int ideal, int) {
    if (row >= 0 && row < 2) m_rowIdeal[row] = ideal;
}
void CSplitterWnd::SetColumnInfo(int col, int ideal, int) {
    if (col >= 0 && col < 2) m_colIdeal[col] = ideal;
}

void CSplitterWnd::RecalcLayout() {
    if (!m_hWnd) return;
    const unsigned pass = ++m_layoutPass;
    CRect client;
    GetClientRect(&client);
    int cxBar = (m_dwScrollStyle & WS_VSCROLL) ? GetSystemMetrics(SM_CXVSCROLL) : 0;
    int cyBar = (m_dwScrollStyle & WS_HSCROLL) ? GetSystemMetrics(SM_CYHSCROLL) : 0;
    int width = client.Width() - cxBar, height = client.Height() - cyBar;
    // Pane sizes: the first row or column takes its ideal size, the last the rest.
    int colW[2], rowH[2];
    if (m_nCols == 2) {
        colW[0] = std::clamp(m_colIdeal[0], 0, std::max(width - kGap, 0));
        colW[1] = std::max(width - kGap - colW[0], 0);
    } else {
        colW[0] = std::max(width, 0);
    }
    if (m_nRows == 2) {
        rowH[0] = std::clamp(m_rowIdeal[0], 0, std::max(height - kGap, 0));
        rowH[1] = std::max(height - kGap - rowH[0], 0);
    } else {
        rowH[0] = std::max(height, 0);
    }
    int y = 0;
    for (int row = 0; row < m_nRows; ++row) {
        int x = 0;
        for (int col = 0; col < m_nCols; ++col) {
            if (CWnd* pane = GetPane(row, col)) pane->MoveWindow(x, y, colW[col], rowH[row], TRUE);
            // The pane changed the scroll style and the layout was made again for it.
            if (m_layoutPass != pass) return;
            if (row == 0)
                if (CScrollBar* b = GetSharedBar(SB_HORZ, col)) {
                    int box = col == 0 ? GetSplitBox(SB_HORZ).Width() : 0;
                    b->MoveWindow(x + box, height, std::max(colW[col] - box, 0), cyBar, TRUE);
                }
            x += colW[col] + kGap;
        }
        if (CScrollBar* b = GetSharedBar(SB_VERT, row)) {
            int box = row == 0 ? GetSplitBox(SB_VERT).Height() : 0;
            b->MoveWindow(width, y + box, cxBar, std::max(rowH[row] - box, 0), TRUE);
        }
        y += rowH[row] + kGap;
    }
    Invalidate();
}

void CSplitterWnd::OnSize(UINT, int, int) {
    RecalcLayout();
}

BOOL CSplitterWnd::OnEraseBkgnd(CDC*) {
    return TRUE;
}

void CSplitterWnd::OnPaint() {
    CPaintDC dc(this);
    CRect r;
    GetClientRect(&r);
    dc.FillSolidRect(&r, GetSysColor(COLOR_3DFACE));
    for (int bar : {SB_VERT, SB_HORZ}) {
        CRect box = GetSplitBox(bar);
        if (box.IsRectEmpty()) continue;
        dc.FillSolidRect(box.left, box.top, box.Width(), 1, GetSysColor(COLOR_3DHIGHLIGHT));
        dc.FillSolidRect(box.left, box.top, 1, box.Height(), GetSysColor(COLOR_3DHIGHLIGHT));
        dc.FillSolidRect(box.left, box.bottom - 1, box.Width(), 1, GetSysColor(COLOR_3DSHADOW));
        dc.FillSolidRect(box.right - 1, box.top, 1, box.Height(), GetSysColor(COLOR_3DSHADOW));
    }
}

// --- Dynamic splitting ------------------------------------------------------------------------

BOOL CSplitterWnd::Create(CWnd* parent, int maxRows, int maxCols, SIZE sizeMin, CCreateContext* context,
                          DWORD style, UINT id) {
    if (!context || !context->m_pNewViewClass) return FALSE;
    m_bDynamic = (style & SPLS_DYNAMIC_SPLIT) != 0;
    m_nMaxRows = std::clamp(maxRows, 1, 2);
    m_nMaxCols = std::clamp(maxCols, 1, 2);
    m_sizeMin = CSize(sizeMin.cx, sizeMin.cy);
    if (!CreateStatic(parent, 1, 1, style & ~SPLS_DYNAMIC_SPLIT, id)) return FALSE;
    CRect r;
    GetClientRect(&r);
    if (!CreateView(0, 0, context->m_pNewViewClass, CSize(r.Width(), r.Height()), context)) return FALSE;
    return TRUE;
}

CRect CSplitterWnd::GetSplitBox(int bar) const {
    if (!m_bDynamic || !m_hWnd) return CRect(0, 0, 0, 0);
    CRect client;
    GetClientRect(&client);
    int cxBar = (m_dwScrollStyle & WS_VSCROLL) ? GetSystemMetrics(SM_CXVSCROLL) : 0;
    int cyBar = (m_dwScrollStyle & WS_HSCROLL) ? GetSystemMetrics(SM_CYHSCROLL) : 0;
    int width = client.Width() - cxBar, height = client.Height() - cyBar;
    if (bar == SB_VERT && m_nRows < m_nMaxRows && cxBar) return CRect(width, 0, width + cxBar, kBoxSize);
    if (bar == SB_HORZ && m_nCols < m_nMaxCols && cyBar) return CRect(0, height, kBoxSize, height + cyBar);
    return CRect(0, 0, 0, 0);
}

CWnd* CSplitterWnd::MakePane(int row, int col) {
    CWnd* first = GetPane(0, 0);
    if (!first) return nullptr;
    CCreateContext context;
    context.m_pNewViewClass = first->GetRuntimeClass();
    if (first->IsKindOf(RUNTIME_CLASS(CView)))
        context.m_pCurrentDoc = static_cast<CView*>(first)->GetDocument();
    context.m_pCurrentFrame = GetParentFrame();
    context.m_pLastView = first->IsKindOf(RUNTIME_CLASS(CView)) ? static_cast<CView*>(first) : nullptr;
    int idealRow = m_rowIdeal[0], idealCol = m_colIdeal[0];
    if (!CreateView(row, col, context.m_pNewViewClass, CSize(0, 0), &context)) return nullptr;
    m_rowIdeal[0] = idealRow, m_colIdeal[0] = idealCol;
    return GetPane(row, col);
}

// A new row (rows) or column across the other axis's panes; on a failure
// the panes made go again and nothing changes.
BOOL CSplitterWnd::SplitAlong(bool rows, int before) {
    int& count = rows ? m_nRows : m_nCols;
    if (count >= (rows ? m_nMaxRows : m_nMaxCols) || !GetPane(0, 0)) return FALSE;
    (rows ? m_rowIdeal : m_colIdeal)[0] = before;
    count = 2;
    SetScrollStyle(m_dwScrollStyle);
    std::vector<CWnd*> made;
    const int across = rows ? m_nCols : m_nRows;
    for (int i = 0; i < across; ++i) {
        CWnd* pane = rows ? MakePane(1, i) : MakePane(i, 1);
        if (!pane) {
            for (CWnd* w : made) w->DestroyWindow();
            count = 1;
            if (CScrollBar* b = GetSharedBar(rows ? SB_VERT : SB_HORZ, 1)) b->DestroyWindow();
            RecalcLayout();
            return FALSE;
        }
        made.push_back(pane);
    }
    RecalcLayout();
    for (CWnd* w : made)
        if (w->IsKindOf(RUNTIME_CLASS(CView))) static_cast<CView*>(w)->OnInitialUpdate();
    return TRUE;
}

BOOL CSplitterWnd::SplitRow(int cyBefore) {
    return SplitAlong(true, cyBefore);
}

BOOL CSplitterWnd::SplitColumn(int cxBefore) {
    return SplitAlong(false, cxBefore);
}

void CSplitterWnd::RenumberPane(CWnd* pane, int row, int col) {
    if (pane) ::SetWindowLongPtrW(pane->m_hWnd, GWLP_ID, IdFromRowCol(row, col));
}

// Removes row (rows) or column index; the other one becomes the first.
void CSplitterWnd::DeleteAlong(bool rows, int index) {
    int& count = rows ? m_nRows : m_nCols;
    if (count < 2 || index < 0 || index > 1) return;
    CWnd* active = GetActivePane();
    const int across = rows ? m_nCols : m_nRows;
    for (int i = 0; i < across; ++i)
        if (CWnd* pane = rows ? GetPane(index, i) : GetPane(i, index)) pane->DestroyWindow();
    if (index == 0) {
        for (int i = 0; i < across; ++i) {
            if (rows)
                RenumberPane(GetPane(1, i), 0, i);
            else
                RenumberPane(GetPane(i, 1), i, 0);
        }
        int* ideal = rows ? m_rowIdeal : m_colIdeal;
        ideal[0] = ideal[1];
    }
    count = 1;
    if (CScrollBar* b = GetSharedBar(rows ? SB_VERT : SB_HORZ, 1)) b->DestroyWindow();
    RecalcLayout();
    if (!GetActivePane() && active) SetActivePane(0, 0);
}

void CSplitterWnd::DeleteRow(int row) {
    DeleteAlong(true, row);
}

void CSplitterWnd::DeleteColumn(int col) {
    DeleteAlong(false, col);
}

CWnd* CSplitterWnd::GetActivePane(int* row, int* col) {
    CFrameWnd* frame = GetParentFrame();
    CView* view = frame ? frame->GetActiveView() : nullptr;
    if (!view || !view->m_hWnd || ::GetParent(view->m_hWnd) != m_hWnd) return nullptr;
    int id = view->GetDlgCtrlID() - AFX_IDW_PANE_FIRST;
    if (row) *row = id / 16;
    if (col) *col = id % 16;
    return view;
}

void CSplitterWnd::SetActivePane(int row, int col, CWnd* wnd) {
    CWnd* pane = wnd ? wnd : GetPane(row, col);
    if (!pane) return;
    CFrameWnd* frame = GetParentFrame();
    if (frame && pane->IsKindOf(RUNTIME_CLASS(CView)))
        frame->SetActiveView(static_cast<CView*>(pane));
    else
        pane->SetFocus();
}

BOOL CSplitterWnd::OnMouseWheel(UINT, short delta, CPoint) {
    CWnd* pane = GetActivePane();
    if (!pane) return FALSE;
    for (int i = 0; i < 3; ++i) pane->SendMessage(WM_VSCROLL, delta > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
    return TRUE;
}

void CSplitterWnd::OnLButtonDown(UINT, CPoint pt) {
    m_tracking = 0;
    if (GetSplitBox(SB_VERT).PtInRect(pt)) {
        m_tracking = 1, m_trackIndex = -1;
    } else if (GetSplitBox(SB_HORZ).PtInRect(pt)) {
        m_tracking = 2, m_trackIndex = -1;
    } else {
        // A gap between two rows or two columns.
        CWnd* first = GetPane(0, 0);
        CRect r;
        if (first) {
            first->GetWindowRect(&r);
            ScreenToClient(&r);
            if (m_nRows == 2 && pt.y >= r.bottom && pt.y < r.bottom + kGap) m_tracking = 1, m_trackIndex = 0;
            if (m_nCols == 2 && pt.x >= r.right && pt.x < r.right + kGap) m_tracking = 2, m_trackIndex = 0;
        }
    }
    if (m_tracking) SetCapture();
}

void CSplitterWnd::OnMouseMove(UINT, CPoint) {}

void CSplitterWnd::OnLButtonUp(UINT, CPoint pt) {
    int tracking = std::exchange(m_tracking, 0);
    if (!tracking) return;
    if (GetCapture() == this) ::ReleaseCapture();
    CRect client;
    GetClientRect(&client);
    int cxBar = (m_dwScrollStyle & WS_VSCROLL) ? GetSystemMetrics(SM_CXVSCROLL) : 0;
    int cyBar = (m_dwScrollStyle & WS_HSCROLL) ? GetSystemMetrics(SM_CYHSCROLL) : 0;
    int width = client.Width() - cxBar, height = client.Height() - cyBar;
    if (tracking == 1) {
        int y = static_cast<int>(pt.y);
        if (m_trackIndex < 0) {
            if (y >= m_sizeMin.cy + kBoxSize && y + kGap + m_sizeMin.cy <= height) SplitRow(y);
        } else if (y < m_sizeMin.cy) {
            DeleteRow(0);
        } else if (height - y - kGap < m_sizeMin.cy) {
            DeleteRow(1);
        } else {
            m_rowIdeal[0] = y;
            RecalcLayout();
        }
    } else {
        int x = static_cast<int>(pt.x);
        if (m_trackIndex < 0) {
            if (x >= m_sizeMin.cx + kBoxSize && x + kGap + m_sizeMin.cx <= width) SplitColumn(x);
        } else if (x < m_sizeMin.cx) {
            DeleteColumn(0);
        } else if (width - x - kGap < m_sizeMin.cx) {
            DeleteColumn(1);
        } else {
            m_colIdeal[0] = x;
            RecalcLayout();
        }
    }
}

BOOL CSplitterWnd::OnSetCursor(CWnd* wnd, UINT hit, UINT message) {
    if (wnd == this && hit == HTCLIENT) {
        POINT p;
        ::GetCursorPos(&p);
        ScreenToClient(&p);
        CPoint pt(p.x, p.y);
        if (GetSplitBox(SB_VERT).PtInRect(pt)) return ::SetCursor(LoadCursorW(nullptr, IDC_SIZENS)), TRUE;
        if (GetSplitBox(SB_HORZ).PtInRect(pt)) return ::SetCursor(LoadCursorW(nullptr, IDC_SIZEWE)), TRUE;
    }
    return CWnd::OnSetCursor(wnd, hit, message);
}

// A shared bar's request goes to every pane of its column (or row), each from the same position.
void CSplitterWnd::OnHScroll(UINT code, UINT pos, CScrollBar* bar) {
    if (!bar) return;
    int col = bar->GetDlgCtrlID() - AFX_IDW_HSCROLL_FIRST;
    int old = bar->GetScrollPos();
    for (int row = 0; row < m_nRows; ++row) {
        if (CWnd* pane = GetPane(row, col))
            pane->SendMessage(WM_HSCROLL, MAKEWPARAM(code, pos), reinterpret_cast<LPARAM>(bar->m_hWnd));
        if (row < m_nRows - 1) bar->SetScrollPos(old, FALSE);
    }
}

void CSplitterWnd::OnVScroll(UINT code, UINT pos, CScrollBar* bar) {
    if (!bar) return;
    int row = bar->GetDlgCtrlID() - AFX_IDW_VSCROLL_FIRST;
    int old = bar->GetScrollPos();
    for (int col = 0; col < m_nCols; ++col) {
        if (CWnd* pane = GetPane(row, col))
            pane->SendMessage(WM_VSCROLL, MAKEWPARAM(code, pos), reinterpret_cast<LPARAM>(bar->m_hWnd));
        if (col < m_nCols - 1) bar->SetScrollPos(old, FALSE);
    }
}
