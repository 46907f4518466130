// The scrolling demonstration: a frame whose child CScrollWnd shows 1,000 x 40
// numbers with a header strip, row numbers and its own bars.
#pragma once

#include <afxwin.h>

#include "editor/scrollwnd.h"
#include "editor/textdraw.h"

class CNumberGrid : public CScrollWnd {
public:
    static const int kRows = 1000;
    static const int kCols = 40;

    CNumberGrid();
    ~CNumberGrid() override;
    BOOL CreateGrid(CWnd* parent, const RECT& rect);

    int GetPageCols() override;
    int GetPageRows() override;
    int GetFixedLeftWidth() override { return m_rowHeaderWidth; }
    int GetFixedTopHeight() override { return m_rowHeight; }
    int GetTotalWidth() override { return m_rowHeaderWidth + kCols * m_colWidth; }
    int GetTotalHeight() override { return m_rowHeight + kRows * m_rowHeight; }
    int ColsToPixels(int from, int to) override { return (from - to) * m_colWidth; }
    int RowsToPixels(int from, int to) override { return (from - to) * m_rowHeight; }
    int GetVScrollMax() override { return kRows - 1; }
    int GetVScrollPage() override { return GetPageRows(); }
    int GetHScrollMax() override { return kCols - 1; }
    int GetHScrollPage() override { return GetPageCols(); }

    int Row() { return GetScrollPosition(SB_VERT); }
    int Col() { return GetScrollPosition(SB_HORZ); }
    void JumpTo(int row, int col); // without scroll messages
    int RowHeight() const { return m_rowHeight; }
    int ColWidth() const { return m_colWidth; }
    int RowHeaderWidth() const { return m_rowHeaderWidth; }

    afx_msg void OnPaint();
    afx_msg void OnSize(UINT type, int cx, int cy);
    afx_msg BOOL OnEraseBkgnd(CDC* dc);
    afx_msg int OnCreate(LPCREATESTRUCT cs);

    CharWidthCache m_widths;
    CFont m_font;

private:
    void DrawCell(CDC& dc, const RECT& cell, const WCHAR* text, int len, COLORREF bk, bool right);
    int m_rowHeight = 20;
    int m_colWidth = 80;
    int m_rowHeaderWidth = 64;

    DECLARE_MESSAGE_MAP()
};

class CDemoFrame : public CWnd {
public:
    BOOL CreateFrame(int width, int height);
    CNumberGrid m_grid;

    afx_msg void OnSize(UINT type, int cx, int cy);
    afx_msg BOOL OnEraseBkgnd(CDC* dc);

    DECLARE_MESSAGE_MAP()
};

// Scrolls the grid to (row, col) through real scroll messages: a thumb drag,
// then pages, then lines. Returns the number of messages sent.
int ScrollDemoTo(CNumberGrid& grid, int row, int col);
