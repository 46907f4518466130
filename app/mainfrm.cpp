#include "app/mainfrm.h"

#include "app/appstate.h"
#include "app/settings.h"
#include "res/resource.h"
#include "scheme/macro.h"

IMPLEMENT_DYNCREATE(CMainFrame, CFrameWnd)

BEGIN_MESSAGE_MAP(CMainFrame, CFrameWnd)
ON_WM_CREATE()
ON_UPDATE_COMMAND_UI(ID_INDICATOR_SESSION, OnUpdateIndicatorSession)
END_MESSAGE_MAP()

namespace {

// The message pane, then the program's panes and the keyboard's.
const UINT kIndicators[] = {
    ID_SEPARATOR,      ID_INDICATOR_CALC, ID_INDICATOR_SESSION, ID_INDICATOR_DATA_LOCK,
    ID_INDICATOR_CAPS, ID_INDICATOR_NUM,  ID_INDICATOR_END,
};

} // namespace

CMainFrame::CMainFrame() = default;
CMainFrame::~CMainFrame() = default;

BOOL CMainFrame::PreCreateWindow(CREATESTRUCT& cs) {
    cs.style &= ~static_cast<LONG>(FWS_ADDTOTITLE | FWS_PREFIXTITLE);
    return CFrameWnd::PreCreateWindow(cs);
}

// A key a script bound runs its procedure before the accelerators see the
// key; a run already in progress leaves the key to whoever has it.
BOOL CMainFrame::PreTranslateMessage(MSG* msg) {
    if ((msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) && g_macro)
        if (SchemeCell* procedure =
                macro_key_binding(macro_key_down_code(static_cast<unsigned>(msg->wParam))))
            if (macro_run_procedure(procedure)) return TRUE;
    return CFrameWnd::PreTranslateMessage(msg);
}

int CMainFrame::OnCreate(LPCREATESTRUCT cs) {
    if (CFrameWnd::OnCreate(cs) == -1) return -1;
    if (!m_wndStatusBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, AFX_IDW_STATUS_BAR)) return -1;
    if (!SetStatusIndicators(AppSettings.END_KEY_LIKE_EXCEL == 1)) return -1;
    return 0;
}

BOOL CMainFrame::OnCreateClient(LPCREATESTRUCT, CCreateContext* context) {
    m_wndSplitter.m_removalHint = 202;
    return m_wndSplitter.Create(this, 2, 2, CSize(10, 10), context,
                                WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL | SPLS_DYNAMIC_SPLIT,
                                AFX_IDW_PANE_FIRST);
}

BOOL CMainFrame::SetStatusIndicators(BOOL withEndPane) {
    const int count = withEndPane ? 7 : 6;
    if (!m_wndStatusBar.SetIndicators(kIndicators, count)) return FALSE;
    m_wndStatusBar.SetPaneInfo(1, ID_INDICATOR_CALC, SBPS_NORMAL, 120);
    m_wndStatusBar.SetPaneInfo(2, ID_INDICATOR_SESSION, SBPS_NORMAL, 150);
    m_wndStatusBar.SetPaneInfo(3, ID_INDICATOR_DATA_LOCK, SBPS_NORMAL, 60);
    return TRUE;
}

void CMainFrame::OnUpdateIndicatorSession(CCmdUI* cmdUI) {
    cmdUI->SetText(g_session_title);
}

void CMainFrame::OnUpdateFrameTitle(BOOL) {
    CDocument* doc = GetActiveDocument();
    if (!doc) return;
    CString session;
    if (!g_cur_notes.IsEmpty())
        session.Format(u"%s(%s)", g_cur_notes.GetString(), g_session_title.GetString());
    else
        session.Format(u"%s", g_session_title.GetString());
    CString title;
    title.Format(u"%s - %s", session.GetString(), doc->GetTitle().GetString());
    SetWindowText(title);
}
