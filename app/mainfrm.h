// The main window: its place kept under the settings section WINDOW, the
// title from the session, the toolbar, the status bar with the program's
// panes, the selection-calculation commands, the accelerators made from the
// key bindings, and the splitter of views.
#pragma once

#include <afxwin.h>

#include "app/dialogs/acceltable.h"
#include "app/wheelsplitter.h"

class CMainFrame : public CFrameWnd {
    DECLARE_DYNCREATE(CMainFrame)
public:
    CMainFrame();
    ~CMainFrame() override;

    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    void OnUpdateFrameTitle(BOOL addToTitle) override;

    // Gives the status bar its indicators: six panes, seven with the END pane.
    BOOL SetStatusIndicators(BOOL withEndPane);
    // Loads the key bindings from the settings and installs a new
    // accelerator table made from them.
    void RebuildAccelerators();
    // Replaces the installed accelerator table with one made from m_accel.
    void InstallAccelerators();
    // Rewrites the key column (after the TAB) of every command item of menu.
    void UpdateMenuKeyTexts(CMenu* menu);

    // Where a window with the stored rectangle (left, top, width, height)
    // opens inside the work area: false (the default placement kept) when
    // the width or the height is 0.
    static bool PlaceInWorkArea(int left, int top, int width, int height, const RECT& work, int screenHeight,
                                RECT* out);

    CStatusBar m_wndStatusBar;
    CToolBar m_wndToolBar;
    CWheelSplitterWnd m_wndSplitter;
    AccelTable m_accel;
    HACCEL m_hAccel = nullptr;

protected:
    BOOL OnCreateClient(LPCREATESTRUCT cs, CCreateContext* context) override;
    afx_msg int OnCreate(LPCREATESTRUCT cs);
    afx_msg void OnMove(int x, int y);
    afx_msg void OnDestroy();
    afx_msg void OnContextMenu(CWnd* wnd, CPoint pt);
    afx_msg void OnInitMenu(CMenu* menu);
    afx_msg void OnInitMenuPopup(CMenu* menu, UINT index, BOOL sysMenu);
    afx_msg void OnUpdateIndicatorSession(CCmdUI* cmdUI);
    afx_msg void OnUpdateIndicatorCalc(CCmdUI* cmdUI);
    afx_msg void OnUpdateIndicatorEnd(CCmdUI* cmdUI);
    afx_msg void OnToolKeyAssign();
    afx_msg void OnCalcType(UINT id);
    afx_msg void OnUpdateCalcType(CCmdUI* cmdUI);
    DECLARE_MESSAGE_MAP()
};
