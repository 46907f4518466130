// Frame windows: creation from a resource id, the client view, the bars'
// layout, command routing (active view, its document, the frame, the
// application), menu and idle update of commands, the message pane. Also
// CMenu and CCmdUI.
#include <algorithm>
#include <map>
#include <memory>

#include "mfc/app.h"
#include "mfc/docview.h"

IMPLEMENT_DYNAMIC(CMenu, CObject)
IMPLEMENT_DYNCREATE(CFrameWnd, CWnd)

// --- CMenu ----------------------------------------------------------------------------------------

namespace {
// A temporary object never destroys the menu it wraps.
struct TempMenuDelete {
    void operator()(CMenu* m) const {
        m->m_hMenu = nullptr;
        delete m;
    }
};
std::map<HMENU, std::unique_ptr<CMenu, TempMenuDelete>>& TempMenus() {
    thread_local std::map<HMENU, std::unique_ptr<CMenu, TempMenuDelete>> m;
    return m;
}
std::map<HMENU, CMenu*>& PermanentMenus() {
    thread_local std::map<HMENU, CMenu*> m;
    return m;
}
} // namespace

CMenu::~CMenu() {
    if (m_hMenu) {
        PermanentMenus().erase(m_hMenu);
        ::DestroyMenu(m_hMenu);
    }
}

CMenu* CMenu::FromHandle(HMENU menu) {
    if (!menu) return nullptr;
    if (auto it = PermanentMenus().find(menu); it != PermanentMenus().end()) return it->second;
    auto& temp = TempMenus();
    for (auto it = temp.begin(); it != temp.end();) it = ::IsMenu(it->first) ? std::next(it) : temp.erase(it);
    auto& slot = temp[menu];
    if (!slot) {
        slot.reset(new CMenu);
        slot->m_hMenu = menu;
    }
    return slot.get();
}

BOOL CMenu::Attach(HMENU menu) {
    if (!menu) return FALSE;
    m_hMenu = menu;
    PermanentMenus()[menu] = this;
    return TRUE;
}

HMENU CMenu::Detach() {
    HMENU h = m_hMenu;
    if (h) PermanentMenus().erase(h);
    m_hMenu = nullptr;
    return h;
}

BOOL CMenu::CreateMenu() {
    return Attach(::CreateMenu());
}
BOOL CMenu::CreatePopupMenu() {
    return Attach(::CreatePopupMenu());
}
BOOL CMenu::LoadMenu(UINT id) {
    return Attach(::LoadMenuW(nullptr, MAKEINTRESOURCEW(id)));
}
BOOL CMenu::LoadMenu(LPCWSTR name) {
    return Attach(::LoadMenuW(nullptr, name));
}
BOOL CMenu::DestroyMenu() {
    HMENU h = Detach();
    return h ? ::DestroyMenu(h) : FALSE;
}

int CMenu::GetMenuString(UINT id, CString& text, UINT flags) const {
    int n = ::GetMenuStringW(m_hMenu, id, nullptr, 0, flags);
    std::u16string buf(static_cast<size_t>(n) + 1, u'\0');
    n = ::GetMenuStringW(m_hMenu, id, buf.data(), n + 1, flags);
    buf.resize(static_cast<size_t>(n));
    text = buf.c_str();
    return n;
}

// --- CCmdUI ---------------------------------------------------------------------------------------

void CCmdUI::Enable(BOOL on) {
    if (m_pMenu) {
        // A popup entry stands for its submenu's first command: its update
        // handler says what happens to the entry.
        if (m_pSubMenu) return;
        m_pMenu->EnableMenuItem(m_nIndex, MF_BYPOSITION | (on ? MF_ENABLED : (MF_DISABLED | MF_GRAYED)));
    } else if (m_pOther) {
        m_pOther->EnableWindow(on);
    }
    m_bEnableChanged = TRUE;
}

void CCmdUI::SetCheck(int check) {
    if (m_pMenu) {
        if (m_pSubMenu) return;
        m_pMenu->CheckMenuItem(m_nIndex, MF_BYPOSITION | (check ? MF_CHECKED : MF_UNCHECKED));
    }
}

void CCmdUI::SetRadio(BOOL on) {
    SetCheck(on ? 1 : 0);
}

void CCmdUI::SetText(LPCWSTR text) {
    if (m_pMenu) {
        if (m_pSubMenu) return;
        UINT state = m_pMenu->GetMenuState(m_nIndex, MF_BYPOSITION);
        m_pMenu->ModifyMenu(m_nIndex,
                            MF_BYPOSITION | MF_STRING | (state & (MF_GRAYED | MF_DISABLED | MF_CHECKED)),
                            m_nID, text);
    } else if (m_pOther) {
        m_pOther->SetWindowText(text);
    }
}

BOOL CCmdUI::DoUpdate(CCmdTarget* target, BOOL disableIfNoHandler) {
    if (m_nID == 0 || LOWORD(m_nID) == 0xFFFF) return TRUE;
    m_bEnableChanged = FALSE;
    BOOL handled = target->OnCmdMsg(m_nID, static_cast<int>(CN_UPDATE_COMMAND_UI), this, nullptr);
    if (disableIfNoHandler && !m_bEnableChanged) {
        AFX_CMDHANDLERINFO info{nullptr, nullptr};
        BOOL hasHandler = target->OnCmdMsg(m_nID, CN_COMMAND, this, &info);
        Enable(hasHandler);
    }
    return handled;
}

// --- CFrameWnd --------------------------------------------------------------------------------------

namespace {
// Frames keep their FWS_ style bits here: the window style has no room for them.
std::map<const CFrameWnd*, DWORD>& FrameStyles() {
    static std::map<const CFrameWnd*, DWORD> m;
    return m;
}
} // namespace

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
ON_WM_CREATE()
ON_WM_DESTROY()
ON_WM_CLOSE()
ON_WM_SIZE()
ON_WM_SETFOCUS()
ON_WM_INITMENUPOPUP()
ON_WM_MENUSELECT()
ON_WM_ERASEBKGND()
ON_MESSAGE(WM_SETMESSAGESTRING, OnSetMessageString)
ON_COMMAND(ID_VIEW_STATUS_BAR, OnBarCheckStatus)
ON_COMMAND(ID_VIEW_TOOLBAR, OnBarCheckToolBar)
ON_UPDATE_COMMAND_UI(ID_VIEW_STATUS_BAR, OnUpdateControlBarMenu)
ON_UPDATE_COMMAND_UI(ID_VIEW_TOOLBAR, OnUpdateControlBarMenu)
ON_UPDATE_COMMAND_UI(ID_INDICATOR_CAPS, OnUpdateKeyIndicator)
ON_UPDATE_COMMAND_UI(ID_INDICATOR_NUM, OnUpdateKeyIndicator)
ON_UPDATE_COMMAND_UI(ID_INDICATOR_SCRL, OnUpdateKeyIndicator)
ON_UPDATE_COMMAND_UI(ID_INDICATOR_KANA, OnUpdateKeyIndicator)
END_MESSAGE_MAP()

CFrameWnd::~CFrameWnd() {
    FrameStyles().erase(this);
}

void CFrameWnd::PostNcDestroy() {
    delete this;
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT& cs) {
    if (!cs.lpszClass) cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, LoadCursorW(nullptr, IDC_ARROW));
    return TRUE;
}

BOOL CFrameWnd::Create(LPCWSTR className, LPCWSTR title, DWORD style, const RECT& rect, CWnd* parent,
                       LPCWSTR menuName, DWORD exStyle, CCreateContext* context) {
    HMENU menu = menuName ? ::LoadMenuW(nullptr, menuName) : nullptr;
    m_strTitle = title ? title : u"";
    int x = rect.left, y = rect.top, w = 0, h = 0;
    if (rect.left != CW_USEDEFAULT) {
        w = rect.right - rect.left;
        h = rect.bottom - rect.top;
    } else {
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        w = std::min<int>(800, work.right - work.left);
        h = std::min<int>(600, work.bottom - work.top);
        x = work.left + 40, y = work.top + 40;
    }
    m_pCreateContext = context;
    BOOL ok = CreateEx(exStyle, className, m_strTitle, style & ~(FWS_ADDTOTITLE | FWS_PREFIXTITLE), x, y, w,
                       h, parent ? parent->m_hWnd : nullptr, menu, context);
    m_pCreateContext = nullptr;
    if (!ok && menu && ::IsMenu(menu)) ::DestroyMenu(menu);
    return ok;
}

BOOL CFrameWnd::LoadFrame(UINT resourceId, DWORD style, CWnd* parent, CCreateContext* context) {
    std::u16string title;
    if (const char16_t* s = AfxFindResourceString(resourceId)) {
        title = s;
        title = title.substr(0, title.find(u'\n'));
    }
    FrameStyles()[this] = style & (FWS_ADDTOTITLE | FWS_PREFIXTITLE);
    HMENU menu = ::LoadMenuW(nullptr, MAKEINTRESOURCEW(resourceId));
    m_strTitle = title.c_str();
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int w = std::min<int>(800, work.right - work.left), h = std::min<int>(600, work.bottom - work.top);
    m_pCreateContext = context;
    BOOL ok = CreateEx(0, nullptr, m_strTitle, style & ~(FWS_ADDTOTITLE | FWS_PREFIXTITLE), work.left + 40,
                       work.top + 40, w, h, parent ? parent->m_hWnd : nullptr, menu, context);
    m_pCreateContext = nullptr;
    if (!ok) {
        FrameStyles().erase(this);
        if (menu && ::IsMenu(menu) && !m_hWnd) ::DestroyMenu(menu);
        return FALSE;
    }
    if (HACCEL accel = ::LoadAcceleratorsW(nullptr, MAKEINTRESOURCEW(resourceId))) m_hAccelTable = accel;
    return TRUE;
}

int CFrameWnd::OnCreate(LPCREATESTRUCT cs) {
    auto* context = static_cast<CCreateContext*>(cs->lpCreateParams);
    if (!OnCreateClient(cs, context)) return -1;
    RecalcLayout();
    return 0;
}

BOOL CFrameWnd::OnCreateClient(LPCREATESTRUCT, CCreateContext* context) {
    if (context && context->m_pNewViewClass) return CreateView(context, AFX_IDW_PANE_FIRST) != nullptr;
    return TRUE;
}

CWnd* CFrameWnd::CreateView(CCreateContext* context, UINT id) {
    if (!context || !context->m_pNewViewClass) return nullptr;
    auto* view = static_cast<CWnd*>(context->m_pNewViewClass->CreateObject());
    if (!view) return nullptr;
    if (!view->Create(nullptr, nullptr, AFX_WS_DEFAULT_VIEW, CRect(0, 0, 0, 0), this, id, context))
        return nullptr;
    return view;
}

void CFrameWnd::OnDestroy() {
    CWinThread* thread = AfxGetThread();
    if (thread && thread->m_pMainWnd == this) {
        thread->m_pMainWnd = nullptr;
        ::PostQuitMessage(0);
    }
    FrameStyles().erase(this);
    m_pViewActive = nullptr;
    if (m_hAccelTable) {
        // The table of the resource belongs to the frame; one installed by
        // the program stays the program's.
    }
    Default();
}

void CFrameWnd::OnClose() {
    CDocument* doc = GetActiveDocument();
    if (!doc) {
        // The main window closes the application's documents first.
        CWinApp* app = AfxGetApp();
        if (app && AfxGetThread() == app && app->m_pMainWnd == this && !app->SaveAllModified()) return;
    }
    if (doc && !doc->CanCloseFrame(this)) return;
    HWND self = m_hWnd;
    if (doc && doc->m_bAutoDelete) {
        doc->OnCloseDocument();
        if (IsWindow(self)) ::DestroyWindow(self);
        return;
    }
    ::DestroyWindow(self);
}

void CFrameWnd::OnSize(UINT, int, int) {
    RecalcLayout();
}

BOOL CFrameWnd::OnEraseBkgnd(CDC* dc) {
    CRect r;
    GetClientRect(&r);
    dc->FillSolidRect(&r, GetSysColor(COLOR_3DFACE));
    return TRUE;
}

void CFrameWnd::OnSetFocus(CWnd*) {
    if (m_pViewActive && m_pViewActive->m_hWnd)
        m_pViewActive->SetFocus();
    else
        Default();
}

void CFrameWnd::AddControlBar(CControlBar* bar) {
    if (std::find(m_listControlBars.begin(), m_listControlBars.end(), bar) == m_listControlBars.end())
        m_listControlBars.push_back(bar);
    RecalcLayout();
}

void CFrameWnd::RemoveControlBar(CControlBar* bar) {
    std::erase(m_listControlBars, bar);
    if (m_hWnd) RecalcLayout();
}

CControlBar* CFrameWnd::GetControlBar(UINT id) {
    for (CControlBar* bar : m_listControlBars)
        if (bar->m_hWnd && static_cast<UINT>(bar->GetDlgCtrlID()) == id) return bar;
    return nullptr;
}

void CFrameWnd::ShowControlBar(CControlBar* bar, BOOL show, BOOL) {
    if (!bar || !bar->m_hWnd) return;
    bar->ShowWindow(show ? SW_SHOW : SW_HIDE);
    RecalcLayout();
}

void CFrameWnd::RecalcLayout(BOOL) {
    if (!m_hWnd) return;
    CRect client;
    GetClientRect(&client);
    int top = client.top, bottom = client.bottom;
    for (CControlBar* bar : m_listControlBars) {
        if (!bar->m_hWnd || !(bar->GetStyle() & WS_VISIBLE)) continue;
        int h = bar->BarHeight();
        if (bar->GetBarStyle() & CBRS_ALIGN_BOTTOM) {
            bottom -= h;
            bar->MoveWindow(client.left, bottom, client.Width(), h, TRUE);
        } else {
            bar->MoveWindow(client.left, top, client.Width(), h, TRUE);
            top += h;
        }
    }
    if (CWnd* pane = GetDlgItem(AFX_IDW_PANE_FIRST))
        pane->MoveWindow(client.left, top, client.Width(), std::max(bottom - top, 0), TRUE);
}

CDocument* CFrameWnd::GetActiveDocument() {
    return m_pViewActive ? m_pViewActive->GetDocument() : nullptr;
}

CView* CFrameWnd::GetActiveView() const {
    return m_pViewActive;
}

void CFrameWnd::SetActiveView(CView* view, BOOL notify) {
    CView* old = m_pViewActive;
    if (old == view) return;
    m_pViewActive = view;
    if (notify && old && old->m_hWnd) old->OnActivateView(FALSE, view, old);
    if (notify && view && view->m_hWnd) view->OnActivateView(TRUE, view, old);
}

void CFrameWnd::InitialUpdateFrame(CDocument* doc, BOOL makeVisible) {
    if (!m_pViewActive) {
        // The first view made for the frame becomes active.
        CWnd* pane = GetDlgItem(AFX_IDW_PANE_FIRST);
        CView* first = nullptr;
        if (pane && pane->IsKindOf(RUNTIME_CLASS(CView))) first = static_cast<CView*>(pane);
        if (!first && doc) {
            POSITION pos = doc->GetFirstViewPosition();
            while (pos && !first)
                if (CView* v = doc->GetNextView(pos))
                    if (v->GetParentFrame() == this) first = v;
        }
        if (first) SetActiveView(first, FALSE);
    }
    if (makeVisible) {
        if (doc) {
            std::vector<CView*> views;
            POSITION pos = doc->GetFirstViewPosition();
            while (pos)
                if (CView* v = doc->GetNextView(pos))
                    if (v->GetParentFrame() == this || v->GetTopLevelFrame() == this) views.push_back(v);
            for (CView* v : views) v->OnInitialUpdate();
        }
        OnUpdateFrameTitle(TRUE);
        ActivateFrame();
        if (m_pViewActive) m_pViewActive->OnActivateView(TRUE, m_pViewActive, m_pViewActive);
    }
}

void CFrameWnd::ActivateFrame(int cmdShow) {
    if (cmdShow == -1) cmdShow = IsWindowVisible() ? SW_SHOWNA : SW_SHOW;
    ShowWindow(cmdShow);
    if (IsWindowVisible()) ::BringWindowToTop(m_hWnd);
}

void CFrameWnd::OnUpdateFrameTitle(BOOL addToTitle) {
    DWORD fws = 0;
    if (auto it = FrameStyles().find(this); it != FrameStyles().end()) fws = it->second;
    CDocument* doc = GetActiveDocument();
    CString title = m_strTitle;
    if (addToTitle && (fws & FWS_ADDTOTITLE) && doc) {
        if (fws & FWS_PREFIXTITLE)
            title = doc->GetTitle() + u" - " + m_strTitle;
        else
            title = m_strTitle + u" - " + doc->GetTitle();
    }
    SetWindowText(title);
}

BOOL CFrameWnd::OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info) {
    if (CView* view = m_pViewActive; view && view->m_hWnd && view->OnCmdMsg(id, code, extra, info))
        return TRUE;
    if (CWnd::OnCmdMsg(id, code, extra, info)) return TRUE;
    CWinApp* app = AfxGetApp();
    return app && app->OnCmdMsg(id, code, extra, info);
}

BOOL CFrameWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    return CWnd::OnCommand(wParam, lParam);
}

BOOL CFrameWnd::PreTranslateMessage(MSG* msg) {
    if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST && m_hAccelTable &&
        ::TranslateAcceleratorW(m_hWnd, m_hAccelTable, msg))
        return TRUE;
    return CWnd::PreTranslateMessage(msg);
}

void CFrameWnd::OnInitMenuPopup(CMenu* menu, UINT, BOOL sysMenu) {
    if (sysMenu || !menu) return;
    CCmdUI state;
    state.m_pMenu = menu;
    state.m_nIndexMax = menu->GetMenuItemCount();
    for (state.m_nIndex = 0; state.m_nIndex < state.m_nIndexMax; ++state.m_nIndex) {
        state.m_nID = menu->GetMenuItemID(static_cast<int>(state.m_nIndex));
        if (state.m_nID == 0) continue;
        if (state.m_nID == static_cast<UINT>(-1)) {
            // A popup entry goes as its submenu's first command.
            state.m_pSubMenu = menu->GetSubMenu(static_cast<int>(state.m_nIndex));
            if (!state.m_pSubMenu) continue;
            state.m_nID = state.m_pSubMenu->GetMenuItemID(0);
            if (state.m_nID == 0 || state.m_nID == static_cast<UINT>(-1)) continue;
            state.DoUpdate(this, FALSE);
        } else {
            state.m_pSubMenu = nullptr;
            state.DoUpdate(this, m_bAutoMenuEnable && state.m_nID < 0xF000);
        }
        // An update may have changed the menu's size.
        UINT count = menu->GetMenuItemCount();
        if (count < state.m_nIndexMax) {
            state.m_nIndex -= state.m_nIndexMax - count;
            state.m_nIndexMax = count;
        }
    }
}

void CFrameWnd::OnMenuSelect(UINT item, UINT flags, HMENU menu) {
    if (flags == 0xFFFF && !menu) {
        m_nIDTracking = 0;
        SetMessageText(AFX_IDS_IDLEMESSAGE);
    } else if (!(flags & (MF_SEPARATOR | MF_POPUP))) {
        m_nIDTracking = item;
        SetMessageText(item);
    }
}

void CFrameWnd::OnExitMenuLoop(BOOL) {
    SetMessageText(AFX_IDS_IDLEMESSAGE);
}

void CFrameWnd::GetMessageString(UINT id, CString& message) const {
    const char16_t* s = AfxFindResourceString(id);
    std::u16string text = s ? s : u"";
    message = text.substr(0, text.find(u'\n')).c_str();
}

CWnd* CFrameWnd::GetMessageBar() {
    return GetDlgItem(AFX_IDW_STATUS_BAR);
}

void CFrameWnd::SetMessageText(LPCWSTR text) {
    CWnd* bar = GetMessageBar();
    if (!bar || !bar->IsKindOf(RUNTIME_CLASS(CStatusBar))) return;
    auto* status = static_cast<CStatusBar*>(bar);
    status->SetPaneText(0, text, TRUE);
}

void CFrameWnd::SetMessageText(UINT id) {
    CString text;
    GetMessageString(id, text);
    SetMessageText(text);
}

LRESULT CFrameWnd::OnSetMessageString(WPARAM wParam, LPARAM lParam) {
    if (lParam)
        SetMessageText(reinterpret_cast<LPCWSTR>(lParam));
    else
        SetMessageText(static_cast<UINT>(wParam));
    return 0;
}

void CFrameWnd::OnIdleUpdateCmdUI() {
    if (!m_hWnd) return;
    std::vector<CControlBar*> bars = m_listControlBars;
    for (CControlBar* bar : bars)
        if (bar->m_hWnd && (bar->GetStyle() & WS_VISIBLE)) bar->OnUpdateCmdUI(this, m_bAutoMenuEnable);
}

BOOL CFrameWnd::OnBarCheck(UINT id) {
    CControlBar* bar = GetControlBar(id);
    if (!bar) return FALSE;
    ShowControlBar(bar, !(bar->GetStyle() & WS_VISIBLE), FALSE);
    return TRUE;
}

void CFrameWnd::OnBarCheckStatus() {
    OnBarCheck(ID_VIEW_STATUS_BAR);
}

void CFrameWnd::OnBarCheckToolBar() {
    OnBarCheck(ID_VIEW_TOOLBAR);
}

void CFrameWnd::OnUpdateControlBarMenu(CCmdUI* cmdUI) {
    CControlBar* bar = GetControlBar(cmdUI->m_nID);
    if (!bar) {
        cmdUI->ContinueRouting();
        return;
    }
    cmdUI->SetCheck((bar->GetStyle() & WS_VISIBLE) != 0);
}

void CFrameWnd::OnUpdateKeyIndicator(CCmdUI* cmdUI) {
    int vk = cmdUI->m_nID == ID_INDICATOR_CAPS   ? VK_CAPITAL
             : cmdUI->m_nID == ID_INDICATOR_NUM  ? VK_NUMLOCK
             : cmdUI->m_nID == ID_INDICATOR_SCRL ? VK_SCROLL
                                                 : VK_KANA;
    cmdUI->Enable((::GetKeyState(vk) & 1) != 0);
}
