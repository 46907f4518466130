// The main frame's splitter: a dynamic splitter of at most 2 x 2 views. A
// wheel turn scrolls the active pane by one line; a split keeps the panes'
// scroll positions; removing a pane row or column sends the removal hint to
// the views.
#pragma once

#include <afxwin.h>

class CWheelSplitterWnd : public CSplitterWnd {
public:
    int m_removalHint = 0; // the hint sent when a pane row or column goes (the frame sets 202)
    int m_wheelMode = 5;

    BOOL SplitRow(int cyBefore) override;
    BOOL SplitColumn(int cxBefore) override;
    void DeleteRow(int row) override;
    void DeleteColumn(int col) override;

protected:
    BOOL OnMouseWheel(UINT flags, short delta, CPoint pt) override;
    void OnHScroll(UINT code, UINT pos, CScrollBar* bar) override;
    void OnVScroll(UINT code, UINT pos, CScrollBar* bar) override;

private:
    // A pane's scroll position in one direction (SB_HORZ, SB_VERT), and its setter.
    int PanePosition(int row, int col, int bar) const;
    void SetPanePosition(int row, int col, int bar, int pos);
    void SendRemovalHint();
};
