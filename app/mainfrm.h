// The main window: title from the session, the status bar with the
// program's panes, the splitter of views.
#pragma once

#include <afxwin.h>

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

    CStatusBar m_wndStatusBar;
    CWheelSplitterWnd m_wndSplitter;

protected:
    BOOL OnCreateClient(LPCREATESTRUCT cs, CCreateContext* context) override;
    afx_msg int OnCreate(LPCREATESTRUCT cs);
    afx_msg void OnUpdateIndicatorSession(CCmdUI* cmdUI);
    DECLARE_MESSAGE_MAP()
};
