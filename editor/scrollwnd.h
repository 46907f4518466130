// The scrolling window base of the editor and the grid: scrolls in logical
// units (columns and rows) that derived classes size through virtual operations.
#pragma once

#include <afxwin.h>

class CScrollWnd : public CWnd {
    DECLARE_DYNAMIC(CScrollWnd)
public:
    // Flag bits.
    static const DWORD kNoOwnHBar = 0x1;    // horizontal scrolling works without a bar
    static const DWORD kVBarAsNeeded = 0x2; // created without WS_VSCROLL
    static const DWORD kHBarAsNeeded = 0x4; // created without WS_HSCROLL
    static const DWORD kNoOwnVBar = 0x8;    // vertical scrolling works without a bar
    static const DWORD kSplitterStyles = 0x80;

    CScrollWnd() = default;

    virtual int GetPageCols() = 0;
    virtual int GetPageRows() = 0;
    virtual int GetFixedLeftWidth() = 0;
    virtual int GetFixedTopHeight() = 0;
    virtual int GetFixedRightWidth() { return 0; }
    virtual int GetFixedBottomHeight() { return 0; }
    virtual int GetTotalWidth() = 0;
    virtual int GetTotalHeight() = 0;
    virtual int ColsToPixels(int from, int to) = 0;
    virtual int RowsToPixels(int from, int to) = 0;
    virtual int GetVScrollMin() { return 0; }
    virtual int GetVScrollMax() { return 0; }
    virtual int GetVScrollPage() { return 0; }
    virtual int GetHScrollMin() { return 0; }
    virtual int GetHScrollMax() { return 0; }
    virtual int GetHScrollPage() { return 0; }
    virtual int GetVScrollLine() { return 1; }
    virtual int GetHScrollLine() { return 1; }
    virtual void OnScrolled(int dx, int dy, int tracking) { (void)dx, (void)dy, (void)tracking; }
    virtual void OnEndScroll() {}

    CScrollBar* GetScrollBarCtrl(int bar) const override;

    int ScrollByCode(WORD codes, int thumb);
    int ScrollBy(long long dx, long long dy, int tracking);
    void UpdateScrollBars();
    int NeedVScrollBar(int height);
    int NeedHScrollBar(int width);
    int GetScrollPosition(int bar);
    int GetScrollLimitEx(int bar);
    void SetScrollPosition(int bar, int pos);
    CSplitterWnd* GetParentSplitter() const;

    DWORD m_flags = 0;
    int m_vEnabled = 0;
    int m_hEnabled = 0;
    double m_vWheelDivisor = 40.0;
    double m_hWheelDivisor = 30.0;
    int m_hWheelEnabled = 0;
    int m_splitterMode = 0;
    int m_tracking = 0;

    afx_msg void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
    afx_msg void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
    afx_msg BOOL OnMouseWheel(UINT keys, short delta, CPoint pt);
    afx_msg void OnMouseHWheel(UINT keys, short delta, CPoint pt);
    afx_msg void OnRButtonDown(UINT keys, CPoint pt);
    afx_msg int OnCreate(LPCREATESTRUCT cs);

private:
    CWnd* ScrollOwner() { return m_splitterMode && GetParent() ? GetParent() : this; }
    bool Usable(int bar);

    DECLARE_MESSAGE_MAP()
};
