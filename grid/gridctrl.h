// CGridCtrl: the spreadsheet window over a CGridData model. The cursor, the
// selection, the column widths and the colours live in the model, so every
// window on one model (the panes of a splitter) shows the same state; the
// panes keep each other up to date with the GDM_* messages through the
// model's view broadcast, and tell their parent about changes with GDN_*.
#pragma once

#include <afxwin.h>

#include <cstdint>

#include "editor/scrollwnd.h"
#include "editor/searchpattern.h"
#include "grid/griddata.h"

class CEditData;
class CEditCtrl;

// Notifications to the parent.
enum : UINT {
    GDN_CURSORMOVED = 0x8301,
    GDN_SELCHANGED = 0x8302,
    GDN_DATACHANGED = 0x8303,
    GDN_KILLFOCUS = 0x8305,
    GDN_SETFOCUS = 0x8306,
    GDN_HEADERDBLCLK = 0x8340,
};

// Messages between the panes of one model, and the cell editor's key message.
enum : UINT {
    GDM_RELAYOUT = 0x8310,
    GDM_REDRAW = 0x8311,
    GDM_REDRAWCELL = 0x8312,
    GDM_REDRAWROW = 0x8313,
    GDM_REDRAWROWHEADER = 0x8314,
    GDM_REDRAWAREA = 0x8315,
    GDM_PEERKILLFOCUS = 0x8316,
    GDM_REDRAWCOLHEADER = 0x8317,
    GDM_PEERSETFOCUS = 0x8350,
    GDM_EDITKEYDOWN = 0x8390,
};

// The grid window's style word.
enum GridStyleFlags : uint32_t {
    GRS_COLHEADER = 0x1,
    GRS_ROWHEADER = 0x2,
    GRS_ROWCURSOR = 0x4,
    GRS_MULTISELECT = 0x8,
    GRS_EDITKEYS = 0x10,
    GRS_INVERTSELTEXT = 0x20,
    GRS_NULLCOLOR = 0x40,
    GRS_REDRAWROWHEADERS = 0x80,
    GRS_SPACEMARK = 0x100,
    GRS_WIDESPACEMARK = 0x200,
    GRS_FITNONAME = 0x400,
    GRS_INSELECTION = 0x800,
    GRS_LINEFEEDMARK = 0x1000,
    GRS_TABMARK = 0x2000,
    GRS_COPYQUOTE = 0x4000,
    GRS_IMECARETCOLOR = 0x8000,
    GRS_ENDMODE = 0x10000,
    GRS_CURSORHEADERS = 0x20000,
    GRS_NAMETIP = 0x40000,
    GRS_NOTNULLMARK = 0x80000,
    GRS_SWAPPED = 0x100000,
    GRS_ENSURETOP = 0x200000,
    GRS_ENSURECENTER = 0x400000,
    GRS_FITTRIM = 0x800000,
    GRS_CORNERFOCUSED = 0x1000000,
    GRS_F2EDIT = 0x2000000,
};

// The timers of the window.
enum : UINT_PTR { GRID_RESIZE_TIMER = 100, GRID_DRAG_TIMER = 101, GRID_TIP_DELAY_TIMER = 102 };

// The model a grid shows when it is given none: the dummy CGridData.
CGridData* GridDefaultData();

class CGridCtrl : public CScrollWnd {
    DECLARE_DYNAMIC(CGridCtrl)
public:
    CGridCtrl();
    ~CGridCtrl() override;

    BOOL Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                void* context = nullptr) override;
    BOOL CreateGrid(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
        return Create(nullptr, nullptr, style, rect, parent, id);
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Geometry for the scrolling base.
    int GetPageCols() override;
    int GetPageRows() override { return m_pageRows; }
    int GetFixedLeftWidth() override { return m_rowHeaderWidth; }
    int GetFixedTopHeight() override { return m_colHeaderHeight; }
    int GetTotalWidth() override;
    int GetTotalHeight() override;
    int ColsToPixels(int from, int to) override;
    int RowsToPixels(int from, int to) override;
    int GetVScrollMax() override;
    int GetVScrollPage() override;
    int GetHScrollMin() override;
    int GetHScrollMax() override;
    int GetHScrollPage() override;
    void OnScrolled(int dx, int dy, int tracking) override;

    // The class's own virtual operations.
    virtual void SetData(CGridData* data);
    virtual CGridData* GetData() { return m_data; }
    virtual BOOL SetFont(CFont* font);
    virtual void OnStartEdit() {}
    virtual void DrawCell(CDC* dc, CDC* paintDC, const RECT& rect, int row, int col);

    // Settings.
    void SetGridStyle(uint32_t style, int relayout);
    uint32_t GetGridStyle() const { return m_style; }
    void SetColor(int index, COLORREF color);
    void SetTopLeftCellColor(COLORREF color);
    void SetCellPadding(int top, int bottom, int left, int right);
    void SetNullText(const char16_t* text);
    void SetMinFitChars(int chars) { m_minFitChars = chars; }

    // Layout.
    void Relayout();
    void ResetScroll();
    void ResetColumnWidths();
    int FitColumnWidths(int withName);
    int FitColumnWidth(int col, int withName);
    int GetDataAreaWidth();
    void RecalcFontMetrics();
    void CalcHeaderSizes();

    // Cell geometry (client coordinates).
    void GetColumnExtent(int col, int* left, int* right);
    CRect GetCellRect(int col, int row);
    POINT PointToCell(POINT pt, int clamp);
    int HitTestRowHeader(POINT pt);
    int HitTestColumnHeader(POINT pt);
    int HitTestColumnBorder(POINT pt);

    // Invalidation.
    void InvalidateCell(POINT cell);
    void RedrawCell(POINT cell);
    void InvalidateRow(int row);
    void RedrawRow(int row);
    void InvalidateRowHeader(int row);
    void RedrawRowHeader(int row);
    void InvalidateColumnHeader(int col);
    void InvalidateArea(POINT a, POINT b);
    void RedrawArea(POINT a, POINT b);
    void InvalidateCorner();
    void RedrawAll();

    // Cursor and selection.
    void MoveCursor(POINT cell, int extend, int keepSelection);
    void SetCursorCell(int col, int row);
    void EnsureVisible(POINT cell);
    void ExtendSelection(POINT cell);
    void ClearSelection(int notify);
    void SelectRow(int row);
    void SelectColumn(int col);
    void SelectAll();
    void SetSelectArea(POINT cursor, POINT anchor, POINT end);
    int HasSelection();
    int IsCursorValid();
    int IsColumnSelected(int col);
    void MoveToRowStart();
    void MoveToRowEnd();
    void MoveToColumnTop();
    void MoveToColumnBottom();
    int IsEndMode() const { return m_endMode; }

    // In-place editing and the edit commands.
    int CreateCellEditor();
    int IsCellEditorVisible();
    int StartEdit(int caretAtStart, int takeFocus);
    int EndEdit();
    void UpdateEditPos();
    int Undo();
    int Redo();
    int Paste();
    int PasteText(const char16_t* text);
    int Cut();
    void OnDeleteKey();
    int SetCellText(int row, int col, const char16_t* text, int length);
    int InsertRows(int count);
    int DeleteRows();
    int ToHankaku(int alnum, int kana);
    int ToZenkaku(int alnum, int kana);
    int CanCopy();
    int CanPaste();
    void PostDataChanged();
    // The editor option word for the grid style.
    uint64_t CellEditorOptions() const;
    // Loads a cell's text into an editor buffer as its saved state.
    static void LoadCellText(CEditData* buf, const char16_t* text, int maxLen, int caretAtStart);

    // Copying.
    void CopyToClipboard(int type);
    void CopyAreaToClipboard(int type, int firstRow, int lastRow, int firstCol, int lastCol);
    // Writes the text into buffer (at most capacity units, NUL included): the
    // units written without the NUL, or -1 when it did not fit.
    int64_t MakeCopyText(char16_t* buffer, int64_t capacity, int type, int firstRow, int lastRow,
                         int firstCol, int lastCol);
    // Bytes of a block that holds the text and its NUL (from the values' lengths).
    int64_t GetCopyTextSize(int type, int firstRow, int lastRow, int firstCol, int lastCol);

    // Searching.
    int Find(const char16_t* pattern, int direction, int matchCase, int matchWidth, int regex, int* wrapped,
             int includeCurrent);
    int Replace(const char16_t* pattern, const char16_t* replacement, int direction, int matchCase,
                int matchWidth, int regex, int all, int inSelection, int* count, int* wrapped);
    int ReplaceAll(const char16_t* pattern, const char16_t* replacement, int matchCase, int matchWidth,
                   int regex, int inSelection, int* count);
    void SetSearchHighlight(const char16_t* pattern, int matchCase, int matchWidth, int regex);
    int FindColumn(const char16_t* pattern, int direction, int matchCase, int matchWidth, int regex,
                   int* wrapped);
    int NextModifiedCell(int* wrapped);
    int PrevModifiedCell(int* wrapped);

    // Painting.
    COLORREF GetCellBkColor(int row, int col);
    int IsCellSelected(int row, int col);
    CString GetHeaderText(int col);
    void ShowColumnTip();

    // The first visible column and row.
    int FirstCol() { return GetScrollPosition(SB_HORZ); }
    int FirstRow() { return GetScrollPosition(SB_VERT); }
    int IsSplitterPane() const { return GetParentSplitter() != nullptr; }

    // Fields, public for the owner and the tests.
    uint32_t m_style = 0;
    int m_rowHeight = 0;
    int m_rowHeaderWidth = 0;
    int m_colHeaderHeight = 0;
    int m_headerLines = 1;
    CFont* m_font = nullptr;
    CGridData* m_data = nullptr;
    CEditData* m_editData = nullptr;
    CEditCtrl* m_editWnd = nullptr;
    int m_refocusEditor = 0;
    int m_endingEdit = 0;
    int m_hasFocus = 0;
    int m_curRowColor = 0;
    int m_textHeight = 18;
    int m_aveCharWidth = 9;
    int m_digitWidth = 9;
    int m_pageRows = 0;
    int m_resizeState = 0;
    int m_resizeCol = -1;
    int m_resizePressX = 0;
    CRect m_dragRect{0, 0, 0, 0};
    int m_dragDrawn = 0;
    int m_minColWidth = 5;
    int m_minFitChars = 0;
    SearchPatternCache m_search;
    int m_padTop = 1, m_padBottom = 1, m_padLeft = 2, m_padRight = 2;
    POINT m_tipPoint{0, 0};
    int m_tipCol = -1;
    CString m_nullText;
    int m_endMode = 0;

protected:
    void ShowUndoStep();
    int UndoStep(int redo);
    void DropEditorComposition();
    int MoveToModifiedCell(int direction, int* wrapped);
    afx_msg int OnCreate(LPCREATESTRUCT cs);
    afx_msg void OnDestroy();
    afx_msg void OnSize(UINT type, int cx, int cy);
    afx_msg void OnPaint();
    afx_msg BOOL OnEraseBkgnd(CDC* dc);
    afx_msg void OnKeyDown(UINT ch, UINT repeat, UINT flags);
    afx_msg void OnSysKeyDown(UINT ch, UINT repeat, UINT flags);
    afx_msg void OnChar(UINT ch, UINT repeat, UINT flags);
    afx_msg UINT OnGetDlgCode();
    afx_msg void OnLButtonDown(UINT flags, CPoint pt);
    afx_msg void OnMouseMove(UINT flags, CPoint pt);
    afx_msg void OnLButtonUp(UINT flags, CPoint pt);
    afx_msg void OnLButtonDblClk(UINT flags, CPoint pt);
    afx_msg void OnRButtonDown(UINT flags, CPoint pt);
    afx_msg void OnContextMenu(CWnd* wnd, CPoint pt);
    afx_msg void OnTimer(UINT_PTR id);
    afx_msg void OnSetFocus(CWnd* old);
    afx_msg void OnKillFocus(CWnd* next);

    // Painting steps.
    void DrawAll(CDC* dc, CDC* paintDC);
    void DrawColumnHeaders(CDC* dc, CDC* paintDC, int visibleCols);
    void DrawColumnHeader(CDC* dc, CDC* paintDC, int col, const RECT& rect);
    void DrawHiddenColumnMark(CDC* dc, int x, int y1, int y2);
    void DrawRowHeaders(CDC* dc, CDC* paintDC, int visibleRows);
    void DrawCells(CDC* dc, CDC* paintDC, int visibleRows, int visibleCols);
    void DrawCellBox(CDC* dc, CDC* paintDC, const RECT& rect, int row, int col);
    int DrawCellText(CDC* dc, CDC* paintDC, const RECT& rect, const char16_t* text, int length,
                     int firstOffset);
    void DrawWhitespaceMarks(CDC* dc, const RECT& rect, const char16_t* text, int length);
    void DrawGridLines(CDC* dc, CDC* paintDC, int visibleRows, int visibleCols);
    int CharAdvance(uint32_t cp);

    // Mouse helpers.
    void BeginDragSelect(int kind);
    void DragSelectTo(POINT pt);
    void TrackColumnResize(int x, int first);
    void EndColumnResize(int x);
    int CountsAsFocused();

    // The client rectangle (the parent's in a splitter pane).
    CRect ClientArea();
    int ClientWidth() { return ClientArea().Width(); }
    int ClientHeight() { return ClientArea().Height(); }
    // Sends msg to the model's other windows when this is a splitter pane.
    void ToPanes(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    void Notify(UINT msg, WPARAM wParam, LPARAM lParam);
    bool ColumnHidden(int col);
    int ModelRows();
    int ModelCols();

    DECLARE_MESSAGE_MAP()
};
