#include "app/wheelsplitter.h"

#include "app/tavexview.h"

int CWheelSplitterWnd::PanePosition(int row, int col, int bar) const {
    auto* view = dynamic_cast<CTavexView*>(GetPane(row, col));
    return view && view->m_grid.GetSafeHwnd() ? view->m_grid.GetScrollPosition(bar) : 0;
}

void CWheelSplitterWnd::SetPanePosition(int row, int col, int bar, int pos) {
    auto* view = dynamic_cast<CTavexView*>(GetPane(row, col));
    if (view && view->m_grid.GetSafeHwnd()) view->m_grid.SetScrollPosition(bar, pos);
}

BOOL CWheelSplitterWnd::SplitRow(int cyBefore) {
    if (!GetActivePane()) SetActivePane(0, 0);
    const int vert = PanePosition(0, 0, SB_VERT);
    int horz[2] = {0, 0};
    for (int col = 0; col < GetColumnCount(); ++col) horz[col] = PanePosition(0, col, SB_HORZ);
    if (!CSplitterWnd::SplitRow(cyBefore)) return FALSE;
    for (int row = 0; row < GetRowCount(); ++row)
        for (int col = 0; col < GetColumnCount(); ++col) {
            SetPanePosition(row, col, SB_HORZ, horz[col]);
            SetPanePosition(row, col, SB_VERT, vert);
            if (CWnd* pane = GetPane(row, col)) pane->Invalidate();
        }
    return TRUE;
}

BOOL CWheelSplitterWnd::SplitColumn(int cxBefore) {
    if (!GetActivePane()) SetActivePane(0, 0);
    const int horz = PanePosition(0, 0, SB_HORZ);
    int vert[2] = {0, 0};
    for (int row = 0; row < GetRowCount(); ++row) vert[row] = PanePosition(row, 0, SB_VERT);
    if (!CSplitterWnd::SplitColumn(cxBefore)) return FALSE;
    for (int row = 0; row < GetRowCount(); ++row)
        for (int col = 0; col < GetColumnCount(); ++col) {
            SetPanePosition(row, col, SB_VERT, vert[row]);
            SetPanePosition(row, col, SB_HORZ, horz);
            if (CWnd* pane = GetPane(row, col)) pane->Invalidate();
        }
    return TRUE;
}

void CWheelSplitterWnd::SendRemovalHint() {
    if (!m_removalHint) return;
    auto* view = dynamic_cast<CView*>(GetPane(0, 0));
    if (view && view->GetDocument()) view->GetDocument()->UpdateAllViews(nullptr, m_removalHint);
}

void CWheelSplitterWnd::DeleteRow(int row) {
    CSplitterWnd::DeleteRow(row);
    SendRemovalHint();
}

void CWheelSplitterWnd::DeleteColumn(int col) {
    CSplitterWnd::DeleteColumn(col);
    SendRemovalHint();
}

// One line per turn, whatever the turn's size.
BOOL CWheelSplitterWnd::OnMouseWheel(UINT, short delta, CPoint) {
    if (CWnd* pane = GetActivePane()) pane->SendMessage(WM_VSCROLL, delta <= 0 ? SB_LINEDOWN : SB_LINEUP, 0);
    return TRUE;
}

// Only the shared bars' own messages are the splitter's to handle.
void CWheelSplitterWnd::OnHScroll(UINT code, UINT pos, CScrollBar* bar) {
    if (bar) CSplitterWnd::OnHScroll(code, pos, bar);
}

void CWheelSplitterWnd::OnVScroll(UINT code, UINT pos, CScrollBar* bar) {
    if (bar) CSplitterWnd::OnVScroll(code, pos, bar);
}
