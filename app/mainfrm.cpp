#include "app/mainfrm.h"

#include <algorithm>

#include "app/appstate.h"
#include "app/dialogs/acceleratordlg.h"
#include "app/settings.h"
#include "app/tavexdoc.h"
#include "app/tavexview.h"
#include "res/resource.h"
#include "scheme/macro.h"

IMPLEMENT_DYNCREATE(CMainFrame, CFrameWnd)

BEGIN_MESSAGE_MAP(CMainFrame, CFrameWnd)
ON_WM_CREATE()
ON_WM_MOVE()
ON_WM_DESTROY()
ON_WM_CONTEXTMENU()
ON_WM_INITMENU()
ON_WM_INITMENUPOPUP()
ON_UPDATE_COMMAND_UI(ID_INDICATOR_SESSION, OnUpdateIndicatorSession)
ON_UPDATE_COMMAND_UI(ID_INDICATOR_CALC, OnUpdateIndicatorCalc)
ON_UPDATE_COMMAND_UI(ID_INDICATOR_END, OnUpdateIndicatorEnd)
ON_COMMAND(ID_TOOL_KEY_ASSIGN, OnToolKeyAssign)
ON_COMMAND_RANGE(ID_CALC_SUM, ID_CALC_NONE, OnCalcType)
ON_UPDATE_COMMAND_UI_RANGE(ID_CALC_SUM, ID_CALC_NONE, OnUpdateCalcType)
END_MESSAGE_MAP()

namespace {

// The message pane, then the program's panes and the keyboard's.
const UINT kIndicators[] = {
    ID_SEPARATOR,      ID_INDICATOR_CALC, ID_INDICATOR_SESSION, ID_INDICATOR_DATA_LOCK,
    ID_INDICATOR_CAPS, ID_INDICATOR_NUM,  ID_INDICATOR_END,
};

constexpr const char16_t* kWindow = u"WINDOW";

} // namespace

CMainFrame::CMainFrame() = default;

CMainFrame::~CMainFrame() {
    if (m_hAccel) ::DestroyAcceleratorTable(m_hAccel);
}

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

bool CMainFrame::PlaceInWorkArea(int left, int top, int width, int height, const RECT& work, int screenHeight,
                                 RECT* out) {
    if (width == 0 || height == 0) return false;
    const int workWidth = work.right - work.left, workHeight = work.bottom - work.top;
    int y = std::max(top, static_cast<int>(work.top));
    if (y + height >= workHeight) {
        y = work.top;
        if (work.top + height >= workHeight) height = screenHeight;
    }
    int x = std::max(left, static_cast<int>(work.left));
    if (x + width >= workWidth) {
        x = work.left;
        if (work.left + width >= workWidth) width = workWidth;
    }
    *out = RECT{x, y, x + width, y + height};
    return true;
}

int CMainFrame::OnCreate(LPCREATESTRUCT cs) {
    if (CFrameWnd::OnCreate(cs) == -1) return -1;
    CWinApp* app = AfxGetApp();
    const int left = static_cast<int>(app->GetProfileInt(kWindow, u"LEFT", static_cast<UINT>(cs->x)));
    const int top = static_cast<int>(app->GetProfileInt(kWindow, u"TOP", static_cast<UINT>(cs->y)));
    const int width = static_cast<int>(app->GetProfileInt(kWindow, u"WIDTH", 0));
    const int height = static_cast<int>(app->GetProfileInt(kWindow, u"HEIGHT", 0));
    RECT work{}, place{};
    if (width != 0 && height != 0 && ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0) &&
        PlaceInWorkArea(left, top, width, height, work, ::GetSystemMetrics(SM_CYSCREEN), &place))
        SetWindowPos(nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                     SWP_NOZORDER);
    // The next window opens one caption lower and to the right.
    CRect r;
    GetWindowRect(&r);
    const int caption = ::GetSystemMetrics(SM_CYCAPTION);
    app->WriteProfileInt(kWindow, u"TOP", r.top + caption);
    app->WriteProfileInt(kWindow, u"LEFT", r.left + caption);

    if (!m_wndToolBar.CreateEx(this, TBSTYLE_FLAT | TBSTYLE_TRANSPARENT,
                               WS_CHILD | WS_VISIBLE | CBRS_TOP | CBRS_GRIPPER | CBRS_TOOLTIPS | CBRS_FLYBY |
                                   CBRS_SIZE_DYNAMIC,
                               CRect(0, 0, 0, 0), AFX_IDW_TOOLBAR) ||
        !m_wndToolBar.LoadToolBar(IDR_MAINFRAME))
        return -1;
    if (!m_wndStatusBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, AFX_IDW_STATUS_BAR)) return -1;
    if (!SetStatusIndicators(AppSettings.END_KEY_LIKE_EXCEL == 1)) return -1;
    m_wndToolBar.SetBarStyle(m_wndToolBar.GetBarStyle() | CBRS_TOOLTIPS | CBRS_FLYBY | CBRS_SIZE_DYNAMIC);
    m_wndToolBar.EnableDocking(CBRS_ALIGN_ANY);
    EnableDocking(CBRS_ALIGN_ANY);
    DockControlBar(&m_wndToolBar);
    RecalcLayout();
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

void CMainFrame::RebuildAccelerators() {
    m_accel.Load();
    InstallAccelerators();
}

void CMainFrame::InstallAccelerators() {
    if (m_hAccel) {
        ::DestroyAcceleratorTable(m_hAccel);
        m_hAccel = nullptr;
        m_hAccelTable = nullptr;
    }
    m_hAccel = ::CreateAcceleratorTableW(m_accel.GetData(), m_accel.GetCount());
    m_hAccelTable = m_hAccel;
}

// The dialog edits a copy; only its OK replaces, stores and installs the bindings.
void CMainFrame::OnToolKeyAssign() {
    CAcceleratorDlg dlg(this);
    dlg.m_table.CopyFrom(m_accel);
    if (dlg.DoModal() != IDOK) return;
    m_accel.CopyFrom(dlg.m_table);
    m_accel.Save();
    InstallAccelerators();
}

void CMainFrame::OnUpdateIndicatorSession(CCmdUI* cmdUI) {
    cmdUI->SetText(g_session_title);
}

void CMainFrame::OnUpdateIndicatorCalc(CCmdUI* cmdUI) {
    cmdUI->SetText(g_calc_text);
}

// Without an active view to answer it the END pane is empty.
void CMainFrame::OnUpdateIndicatorEnd(CCmdUI* cmdUI) {
    cmdUI->SetText(u"");
}

void CMainFrame::OnCalcType(UINT id) {
    AppSettings.GRID_CALC_TYPE = static_cast<int>(id) - ID_CALC_SUM;
    AfxGetApp()->WriteProfileInt(u"APPLICATION", u"GRID_CALC_TYPE", AppSettings.GRID_CALC_TYPE);
    if (CDocument* doc = GetActiveDocument()) doc->UpdateAllViews(nullptr, HINT_CALC_TYPE_CHANGED);
}

void CMainFrame::OnUpdateCalcType(CCmdUI* cmdUI) {
    cmdUI->SetCheck(cmdUI->m_nID == static_cast<UINT>(ID_CALC_SUM + AppSettings.GRID_CALC_TYPE) ? 1 : 0);
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

void CMainFrame::OnMove(int x, int y) {
    CFrameWnd::OnMove(x, y);
    if (CDocument* doc = GetActiveDocument()) doc->UpdateAllViews(nullptr, HINT_FRAME_MOVED);
}

void CMainFrame::OnDestroy() {
    CFrameWnd::OnDestroy();
    if (IsIconic()) return;
    CWinApp* app = AfxGetApp();
    if (IsZoomed()) {
        app->WriteProfileInt(kWindow, u"ZOOMED", 1);
        return;
    }
    CRect r;
    GetWindowRect(&r);
    app->WriteProfileInt(kWindow, u"LEFT", r.left);
    app->WriteProfileInt(kWindow, u"TOP", r.top);
    app->WriteProfileInt(kWindow, u"WIDTH", r.Width());
    app->WriteProfileInt(kWindow, u"HEIGHT", r.Height());
    app->WriteProfileInt(kWindow, u"ZOOMED", 0);
}

void CMainFrame::OnContextMenu(CWnd*, CPoint pt) {
    if (!m_wndStatusBar.GetSafeHwnd() || !m_wndStatusBar.IsWindowVisible()) return;
    CRect bar;
    m_wndStatusBar.GetWindowRect(&bar);
    if (!bar.PtInRect(pt)) return;
    CMenu menu;
    if (!menu.LoadMenu(IDR_CALC_MENU)) return;
    if (CMenu* popup = menu.GetSubMenu(0))
        popup->TrackPopupMenu(TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, pt.x, pt.y, this);
}

void CMainFrame::OnInitMenu(CMenu* menu) {
    Default();
    UpdateMenuKeyTexts(menu);
}

void CMainFrame::OnInitMenuPopup(CMenu* menu, UINT index, BOOL sysMenu) {
    CFrameWnd::OnInitMenuPopup(menu, index, sysMenu);
    UpdateMenuKeyTexts(menu);
}

void CMainFrame::UpdateMenuKeyTexts(CMenu* menu) {
    if (!menu || !menu->GetSafeHmenu()) return;
    const int count = static_cast<int>(menu->GetMenuItemCount());
    for (int i = 0; i < count; ++i) {
        const UINT state = menu->GetMenuState(static_cast<UINT>(i), MF_BYPOSITION);
        if (state == static_cast<UINT>(-1) || (state & (MF_SEPARATOR | MF_POPUP))) continue;
        const UINT id = menu->GetMenuItemID(i);
        CString old;
        menu->GetMenuString(static_cast<UINT>(i), old, MF_BYPOSITION);
        CString text = old;
        const int tab = text.Find(u'\t');
        if (tab >= 0) text = text.Left(tab);
        CString keys;
        if (m_accel.KeysForCommand(static_cast<int>(id), keys) == 0 && !keys.IsEmpty()) {
            text += u"\t";
            text += keys;
        }
        if (text != old)
            menu->ModifyMenu(static_cast<UINT>(i), MF_BYPOSITION | MF_STRING | (state & 0xFF), id, text);
    }
}
