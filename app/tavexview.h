// The view: one pane of the main frame's splitter; its grid window shows the
// document's current model. It turns the document's hints into grid
// operations and the grid's notifications into status and menu text.
#pragma once

#include <afxwin.h>

#include "app/dialogs/searchdlg.h"
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
    // The modeless dialogs outlive the views: one bound to this view forgets
    // it and hides as the view goes (a pane closed, the window's end).
    void ReleaseSearchDialogs();
    void UpdatePaneHeaders();
    void RebindData();
    void ClearFilter();
    void UpdateStatusText();
    // Hint 1002: the failing row or cell of a save, mapped into the current model.
    void ShowFailedCell(const int* cell);
    // The grid's cursor cell in the editable model's terms: false when there
    // is none (no cursor, or a filtered row outside the filter's rows).
    bool GetCursorCell(int* col, int* row);
    // After a search: notFound non-zero beeps and shows "見つかりません"; a
    // wrapped search names the end it passed; else the message pane empties.
    void ReportSearchResult(int notFound, int wrapped);
    // The cell context menu's items for the cursor cell and the filter item,
    // put into popup (the first popup of menu resource 140).
    void BuildCellMenu(CMenu* popup);

    CGridCtrl m_grid;
    // What the search, replace and filter dialogs ask for.
    SearchRequest m_searchRequest;

private:
    // The text UpdateStatusText put into the message pane last, and whether
    // the pane still shows it (nothing else was put there since).
    CString m_cursorText;
    bool ShowsCursorText();

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    afx_msg int OnCreate(LPCREATESTRUCT cs);
    afx_msg void OnSize(UINT type, int cx, int cy);
    afx_msg void OnSetFocus(CWnd* old);
    afx_msg void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
    afx_msg void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
    afx_msg void OnContextMenu(CWnd* wnd, CPoint pt);
    afx_msg void OnDataAddRecord();
    afx_msg void OnUpdateDataAddRecord(CCmdUI* cmdUI);
    afx_msg void OnDataDeleteRecord();
    afx_msg void OnUpdateDataDeleteRecord(CCmdUI* cmdUI);
    afx_msg void OnDataAdjustColumnWidth();
    afx_msg void OnUpdateIndicatorEnd(CCmdUI* cmdUI);
    DECLARE_MESSAGE_MAP()

public:
    // The view's menu, toolbar and key commands (viewcommands.cpp), routed
    // before the message map.
    BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info) override;
    // The three modeless dialogs, one each for the program; the accessors
    // make the window again whenever it is gone.
    static CSearchDlg* GetSearchDlg();
    static CReplaceDlg* GetReplaceDlg();
    static CGridFilterDlg* GetFilterDlg();
    // Hint 1403: the filter dialog on the cursor column, from pane (0, 0) only.
    void OpenFilterDialog();
    // Whether a command of the view is enabled now (false for other ids).
    bool IsCommandEnabled(UINT id);
    // The column-width command's text as pixels: saturating at INT_MAX,
    // false without digits.
    static bool ParseWidth(const CString& text, int* width);

private:
    void RunCommand(UINT id);
    void ShowMessage(const char16_t* text);
    // GDN_DATACHANGED to this view: the counts follow a command's edits.
    void NotifyDataChanged();
    void ReportFound(int notFound, int wrapped, int direction);
    void OnEditUndoRedo(bool redo);
    void OnEditPasteCell();
    void OnEditInsertNewline();
    void OnEditSearch();
    void OnEditReplace();
    void OnEditFindNext(int direction);
    void OnEditChangedCell(int direction);
    void OnEditClearSearchHighlight();
    void OnEditFindColumnName();
    void OnDataColumnWidth();
    void OnEditData();
    void OnDataLobDownload();
    void OnDataSetNull();
    void OnDataDeleteEmptyRows(int allRows);
    void OnEditConvert(UINT id);
    void OnEditInputSequence();
    void OnEditInputCurrentTime();
    void OnDataSortGrid();
    void OnDataAddRecords();
    bool CursorOfType(int type, int* col, int* row);
    bool SelectionInOneLine();
};
