// The view: one pane of the main frame's splitter; its grid window shows the
// document's current model. It turns the document's hints into grid
// operations and the grid's notifications into status and menu text.
#pragma once

#include <afxwin.h>

#include "grid/gridctrl.h"

class CTavexDoc;

// The grid's style word at creation; ApplySettings changes only its setting bits.
#define TAVEX_GRID_STYLE 0x0102080Bu

class CTavexView : public CView {
    DECLARE_DYNCREATE(CTavexView)
public:
    CTavexView();
    ~CTavexView() override;
    CTavexDoc* GetDocument() const;
    void OnDraw(CDC* dc) override;
    void OnInitialUpdate() override;
    void OnUpdate(CView* sender, LPARAM hint, CObject* hintObject) override;

    void ApplySettings();
    void UpdateCountsMenu();
    void HideSearchDialogs();
    void UpdatePaneHeaders();
    void RebindData();
    void ClearFilter();
    void UpdateStatusText();
    // Hint 1002: the failing row or cell of a save, mapped into the current model.
    void ShowFailedCell(const int* cell);
    // The grid's cursor cell in the editable model's terms: false when there
    // is none (no cursor, or a filtered row outside the filter's rows).
    bool GetCursorCell(int* col, int* row);

    CGridCtrl m_grid;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    afx_msg int OnCreate(LPCREATESTRUCT cs);
    afx_msg void OnSize(UINT type, int cx, int cy);
    afx_msg void OnSetFocus(CWnd* old);
    afx_msg void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
    afx_msg void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
    DECLARE_MESSAGE_MAP()
};
