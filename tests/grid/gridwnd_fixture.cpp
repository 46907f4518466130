#include "gridwnd_fixture.h"

CGridData* GridPaneView::s_model = nullptr;
uint32_t GridPaneView::s_style = 0;

IMPLEMENT_DYNCREATE(GridPaneView, CView)
BEGIN_MESSAGE_MAP(GridPaneView, CView)
ON_WM_CREATE()
ON_WM_SIZE()
ON_WM_HSCROLL()
ON_WM_VSCROLL()
ON_WM_SETFOCUS()
END_MESSAGE_MAP()

int GridPaneView::OnCreate(LPCREATESTRUCT cs) {
    if (CView::OnCreate(cs) == -1) return -1;
    grid.m_splitterMode = 1;
    CRect r;
    GetClientRect(&r);
    if (!grid.CreateGrid(WS_CHILD | WS_VISIBLE, r, this, 1)) return -1;
    SetUpGrid(grid, s_style);
    grid.SetData(s_model);
    return 0;
}

void GridPaneView::OnSize(UINT, int cx, int cy) {
    if (grid.m_hWnd) grid.MoveWindow(0, 0, cx, cy);
}

void GridPaneView::OnHScroll(UINT code, UINT, CScrollBar*) {
    grid.OnHScroll(code, 0, grid.GetScrollBarCtrl(SB_HORZ));
}

void GridPaneView::OnVScroll(UINT code, UINT, CScrollBar*) {
    grid.OnVScroll(code, 0, grid.GetScrollBarCtrl(SB_VERT));
}

void GridPaneView::OnSetFocus(CWnd*) {
    if (grid.m_hWnd) grid.SetFocus();
}

LRESULT GridPaneView::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= 0x8301 && msg <= 0x8340) notes.push_back(GridNote{msg, wParam, lParam});
    return CView::WindowProc(msg, wParam, lParam);
}

BOOL GridSplitFrame::Make(CGridData* model, int w, int h, uint32_t style) {
    if (!CreateEx(0, nullptr, u"grid panes", WS_OVERLAPPED | WS_VISIBLE, 0, 0, w, h, nullptr, nullptr))
        return FALSE;
    if (!split.CreateStatic(this, 2, 1, WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL)) return FALSE;
    CRect client;
    GetClientRect(&client);
    split.MoveWindow(0, 0, client.Width(), client.Height());
    GridPaneView::s_model = model;
    GridPaneView::s_style = style;
    int half = (client.Height() - CSplitterWnd::kGap) / 2;
    if (!split.CreateView(0, 0, RUNTIME_CLASS(GridPaneView), CSize(client.Width(), half), nullptr))
        return FALSE;
    if (!split.CreateView(1, 0, RUNTIME_CLASS(GridPaneView), CSize(client.Width(), half), nullptr))
        return FALSE;
    split.RecalcLayout();
    return TRUE;
}
