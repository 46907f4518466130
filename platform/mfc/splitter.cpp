// The view base and a static splitter window with shared scroll bars.
#include <algorithm>

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
ON_WM_ERASEBKGND()
ON_WM_PAINT()
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
            if (row == 0)
                if (CScrollBar* b = GetSharedBar(SB_HORZ, col))
                    b->MoveWindow(x, height, colW[col], cyBar, TRUE);
            x += colW[col] + kGap;
        }
        if (CScrollBar* b = GetSharedBar(SB_VERT, row)) b->MoveWindow(width, y, cxBar, rowH[row], TRUE);
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
