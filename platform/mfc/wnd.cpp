// CWnd: handle map, creation hook, message-map dispatch, default handlers and
// the scroll members that go through GetScrollBarCtrl.
#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "mfc/app.h"
#include "mfc/docview.h"
#include "mfc/wnd.h"
#include "win32/backend.h"

CRuntimeClass CObject::classCObject = {"CObject", sizeof(CObject), 0xFFFF, nullptr, nullptr};
IMPLEMENT_DYNAMIC(CCmdTarget, CObject)
IMPLEMENT_DYNCREATE(CWnd, CCmdTarget)
IMPLEMENT_DYNAMIC(CScrollBar, CWnd)
IMPLEMENT_DYNAMIC(CView, CWnd)

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, AfxSig_end, {}}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}
const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
    return GetThisMessageMap();
}

BOOL CCmdTarget::OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info) {
    UINT ncode = static_cast<UINT>(code);
    for (const AFX_MSGMAP* map = GetMessageMap(); map;
         map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr)
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nSig != AfxSig_end; ++e) {
            if (e->nMessage != WM_COMMAND || id < e->nID || id > e->nLastID) continue;
            bool update = e->nSig == AfxSig_cmdui;
            if (update != (ncode == CN_UPDATE_COMMAND_UI)) continue;
            if (!update && e->nCode != ncode) continue;
            if (info) {
                info->pTarget = this;
                info->pmf = e->pfn.pfn;
                return TRUE;
            }
            switch (e->nSig) {
            case AfxSig_cmdui: {
                auto* ui = static_cast<CCmdUI*>(extra);
                ui->m_bContinueRouting = FALSE;
                (this->*(e->pfn.cmdui))(ui);
                if (ui->m_bContinueRouting) continue;
                return TRUE;
            }
            case AfxSig_cmdx:
                if ((this->*(e->pfn.cmdx))(id)) return TRUE;
                continue;
            case AfxSig_cmdw: (this->*(e->pfn.cmdw))(id); return TRUE;
            default: (this->*(e->pfn.pfn))(); return TRUE;
            }
        }
    return FALSE;
}

void AfxHookCreate(HWND hwnd, const CREATESTRUCTW*);

namespace {
thread_local CWnd* t_wndInit = nullptr;
thread_local std::vector<MSG> t_msgStack;
std::map<HWND, std::unique_ptr<CWnd>>& TempMap() {
    thread_local std::map<HWND, std::unique_ptr<CWnd>> m;
    return m;
}
std::u16string& AppTitle() {
    static std::u16string t = u"tavrelix";
    return t;
}

LPCWSTR DefaultClass() {
    static bool registered = [] {
        WNDCLASSW wc{};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = u"AfxWnd";
        RegisterClassW(&wc);
        return true;
    }();
    (void)registered;
    return u"AfxWnd";
}

// Every message loop offers input to the window objects' PreTranslateMessage
// first: through the application's thread when it runs on this one.
bool PreTranslateHook(MSG* msg) {
    if (CWinThread* thread = AfxGetThread()) return thread->PreTranslateMessage(msg) != FALSE;
    return CWnd::WalkPreTranslateTree(nullptr, msg) != FALSE;
}

struct HookInstaller {
    HookInstaller() {
        win32bk::SetCreateHook(AfxHookCreate);
        win32bk::SetPreTranslateHook(PreTranslateHook);
    }
} g_hookInstaller;
} // namespace

void AfxHookCreate(HWND hwnd, const CREATESTRUCTW*) {
    CWnd* w = t_wndInit;
    if (!w) return;
    t_wndInit = nullptr;
    w->Attach(hwnd);
    auto old = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
    if (old != AfxWndProc) {
        w->m_pfnSuper = old;
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AfxWndProc));
    }
}

void AfxHookWindowCreate(CWnd* wnd) {
    t_wndInit = wnd;
}
void AfxUnhookWindowCreate() {
    t_wndInit = nullptr;
}

LRESULT AfxWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWnd* w = CWnd::FromHandlePermanent(hwnd);
    if (!w) return DefWindowProcW(hwnd, msg, wParam, lParam);
    t_msgStack.push_back(MSG{hwnd, msg, wParam, lParam, 0, {0, 0}});
    LRESULT r = w->WindowProc(msg, wParam, lParam);
    t_msgStack.pop_back();
    return r;
}

LPCWSTR AfxRegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON) {
    static std::map<std::tuple<UINT, HCURSOR, HBRUSH>, std::u16string> names;
    auto key = std::make_tuple(classStyle, cursor, background);
    auto it = names.find(key);
    if (it != names.end()) return it->second.c_str();
    std::u16string name = u"Afx:";
    for (char c : std::to_string(names.size())) name.push_back(static_cast<char16_t>(c));
    WNDCLASSW wc{};
    wc.style = classStyle;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = name.c_str();
    RegisterClassW(&wc);
    return names.emplace(key, name).first->second.c_str();
}

void AfxSetAppTitle(LPCWSTR title) {
    AppTitle() = title ? title : u"";
}
LPCWSTR AfxGetAppTitle() {
    return AppTitle().c_str();
}

int AfxMessageBox(LPCWSTR text, UINT type, UINT) {
    return MessageBoxW(GetActiveWindow(), text, AfxGetAppTitle(), type);
}

// --- Handle map --------------------------------------------------------------------------

CWnd::~CWnd() {
    if (m_hWnd && win32bk::GetWindowObject(m_hWnd) == this) {
        HWND h = m_hWnd;
        DestroyWindow();
        if (IsWindow(h)) Detach();
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
    return static_cast<CWnd*>(win32bk::GetWindowObject(hwnd));
}

CWnd* CWnd::FromHandle(HWND hwnd) {
    if (!hwnd) return nullptr;
    if (CWnd* w = FromHandlePermanent(hwnd)) return w;
    auto& temp = TempMap();
    for (auto it = temp.begin(); it != temp.end();) it = IsWindow(it->first) ? std::next(it) : temp.erase(it);
    auto& slot = temp[hwnd];
    if (!slot) {
        slot.reset(AfxNewTempWnd(hwnd));
        slot->m_hWnd = hwnd;
    }
    return slot.get();
}

BOOL CWnd::Attach(HWND hwnd) {
    if (!hwnd) return FALSE;
    m_hWnd = hwnd;
    win32bk::SetWindowObject(hwnd, this);
    return TRUE;
}

HWND CWnd::Detach() {
    HWND h = m_hWnd;
    if (h && win32bk::GetWindowObject(h) == this) win32bk::SetWindowObject(h, nullptr);
    m_hWnd = nullptr;
    return h;
}

BOOL CWnd::SubclassWindow(HWND hwnd) {
    if (!Attach(hwnd)) return FALSE;
    auto old = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AfxWndProc)));
    if (old != AfxWndProc) m_pfnSuper = old;
    return TRUE;
}

HWND CWnd::UnsubclassWindow() {
    if (m_pfnSuper) SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    return Detach();
}

// --- Creation --------------------------------------------------------------------------

BOOL CWnd::PreCreateWindow(CREATESTRUCT& cs) {
    if (!cs.lpszClass) cs.lpszClass = DefaultClass();
    return TRUE;
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int w,
                    int h, HWND parent, HMENU idOrMenu, LPVOID param) {
    CREATESTRUCT cs{param,      nullptr,   idOrMenu, parent, h, w, y, x, static_cast<LONG>(style),
                    windowName, className, exStyle};
    if (!PreCreateWindow(cs)) {
        PostNcDestroy();
        return FALSE;
    }
    t_wndInit = this;
    HWND hwnd = CreateWindowExW(cs.dwExStyle, cs.lpszClass, cs.lpszName, static_cast<DWORD>(cs.style), cs.x,
                                cs.y, cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
    t_wndInit = nullptr;
    return hwnd != nullptr;
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& r,
                    CWnd* parent, UINT id, LPVOID param) {
    return CreateEx(exStyle, className, windowName, style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                    parent ? parent->m_hWnd : nullptr, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                    param);
}

BOOL CWnd::Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                  void*) {
    return CreateEx(0, className, windowName, style | WS_CHILD, rect, parent, id, nullptr);
}

BOOL CWnd::DestroyWindow() {
    if (!m_hWnd) return FALSE;
    return ::DestroyWindow(m_hWnd);
}

BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

BOOL CWnd::WalkPreTranslateTree(HWND stop, MSG* msg) {
    for (HWND h = msg->hwnd; h; h = ::GetParent(h)) {
        if (CWnd* w = FromHandlePermanent(h))
            if (w->PreTranslateMessage(msg)) return TRUE;
        if (h == stop) break;
    }
    return FALSE;
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags) {
    DWORD style = GetStyle();
    DWORD next = (style & ~remove) | add;
    if (next == style) return FALSE;
    ::SetWindowLongW(m_hWnd, GWL_STYLE, static_cast<LONG>(next));
    if (flags) ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | flags);
    return TRUE;
}

void CWnd::ClientToScreen(LPRECT r) const {
    POINT o{0, 0};
    ::ClientToScreen(m_hWnd, &o);
    ::OffsetRect(r, o.x, o.y);
}
void CWnd::ScreenToClient(LPRECT r) const {
    POINT o{0, 0};
    ::ClientToScreen(m_hWnd, &o);
    ::OffsetRect(r, -o.x, -o.y);
}

CDC* CWnd::GetDC() {
    auto* dc = new CDC;
    dc->Attach(::GetDC(m_hWnd));
    return dc;
}

int CWnd::ReleaseDC(CDC* dc) {
    if (!dc) return 0;
    int r = ::ReleaseDC(m_hWnd, dc->Detach());
    delete dc;
    return r;
}

int CWnd::MessageBox(LPCWSTR text, LPCWSTR caption, UINT type) {
    return MessageBoxW(m_hWnd, text, caption ? caption : AfxGetAppTitle(), type);
}

// --- Dispatch ---------------------------------------------------------------------------

const MSG* CWnd::GetCurrentMessage() {
    return t_msgStack.empty() ? nullptr : &t_msgStack.back();
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
    return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper) return CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    const MSG* m = GetCurrentMessage();
    if (!m) return 0;
    return DefWindowProc(m->message, m->wParam, m->lParam);
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) {
    return FALSE;
}

BOOL CWnd::SendChildNotifyLastMsg(LRESULT* result) {
    const MSG* m = GetCurrentMessage();
    if (!m) return FALSE;
    return OnChildNotify(m->message, m->wParam, m->lParam, result);
}

namespace {
// The update of a menu or accelerator command before it runs: only whether it is enabled.
class CTestCmdUI : public CCmdUI {
public:
    BOOL m_bEnabled = TRUE;
    void Enable(BOOL on) override {
        m_bEnabled = on;
        m_bEnableChanged = TRUE;
    }
    void SetCheck(int) override {}
    void SetRadio(BOOL) override {}
    void SetText(LPCWSTR) override {}
};
} // namespace

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    UINT id = LOWORD(wParam);
    int code = HIWORD(wParam);
    HWND control = reinterpret_cast<HWND>(lParam);
    if (!control) {
        // A menu or accelerator command: dropped when its update disables it.
        if (id == 0) return FALSE;
        CTestCmdUI state;
        state.m_nID = id;
        OnCmdMsg(id, static_cast<int>(CN_UPDATE_COMMAND_UI), &state, nullptr);
        if (!state.m_bEnabled) return TRUE;
        code = CN_COMMAND;
    }
    // A control's notification matches the entries of its code.
    return OnCmdMsg(id, code, nullptr, nullptr);
}

CFrameWnd* CWnd::GetParentFrame() const {
    for (HWND h = ::GetParent(m_hWnd); h; h = ::GetParent(h))
        if (CWnd* w = FromHandlePermanent(h))
            if (w->IsKindOf(RUNTIME_CLASS(CFrameWnd))) return static_cast<CFrameWnd*>(w);
    return nullptr;
}

CFrameWnd* CWnd::GetTopLevelFrame() const {
    CWnd* w = FromHandlePermanent(m_hWnd);
    CFrameWnd* frame =
        w && w->IsKindOf(RUNTIME_CLASS(CFrameWnd)) ? static_cast<CFrameWnd*>(w) : GetParentFrame();
    while (frame && frame->GetParentFrame()) frame = frame->GetParentFrame();
    return frame;
}

CMenu* CWnd::GetMenu() const {
    return CMenu::FromHandle(::GetMenu(m_hWnd));
}

BOOL CWnd::SetMenu(CMenu* menu) {
    return ::SetMenu(m_hWnd, menu ? menu->m_hMenu : nullptr);
}

void CWnd::SendMessageToDescendants(UINT msg, WPARAM wParam, LPARAM lParam, BOOL deep) {
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        ::SendMessageW(child, msg, wParam, lParam);
        if (deep && IsWindow(child)) FromHandle(child)->SendMessageToDescendants(msg, wParam, lParam, TRUE);
    }
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == WM_COMMAND) {
        if (OnCommand(wParam, lParam)) {
            *pResult = 0;
            return TRUE;
        }
        return FALSE;
    }
    const AFX_MSGMAP_ENTRY* hit = nullptr;
    for (const AFX_MSGMAP* map = GetMessageMap(); map && !hit;
         map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr)
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nSig != AfxSig_end; ++e)
            if (e->nMessage == message && e->nSig != AfxSig_cmd && message != WM_COMMAND) {
                hit = e;
                break;
            }
    if (!hit) return FALSE;
    LRESULT r = 0;
    CPoint pt(lParam);
    switch (hit->nSig) {
    case AfxSig_lwl: r = (this->*hit->pfn.lwl)(wParam, lParam); break;
    case AfxSig_is: r = (this->*hit->pfn.is)(reinterpret_cast<LPCREATESTRUCT>(lParam)); break;
    case AfxSig_vv: (this->*hit->pfn.vv)(); break;
    case AfxSig_vwii:
        (this->*hit->pfn.vwii)(static_cast<UINT>(wParam), static_cast<short>(LOWORD(lParam)),
                               static_cast<short>(HIWORD(lParam)));
        break;
    case AfxSig_vii:
        (this->*hit->pfn.vii)(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        break;
    case AfxSig_bD: {
        CDC* dc = CDC::FromHandle(reinterpret_cast<HDC>(wParam));
        r = (this->*hit->pfn.bD)(dc);
        break;
    }
    case AfxSig_vwwX: {
        auto* bar = static_cast<CScrollBar*>(lParam ? FromHandle(reinterpret_cast<HWND>(lParam)) : nullptr);
        (this->*hit->pfn.vwwX)(LOWORD(wParam), HIWORD(wParam), bar);
        break;
    }
    case AfxSig_bwsp:
        r = (this->*hit->pfn.bwsp)(LOWORD(wParam), static_cast<short>(HIWORD(wParam)), pt);
        break;
    case AfxSig_vwsp: (this->*hit->pfn.vwsp)(LOWORD(wParam), static_cast<short>(HIWORD(wParam)), pt); break;
    case AfxSig_vwp: (this->*hit->pfn.vwp)(static_cast<UINT>(wParam), pt); break;
    case AfxSig_vwww:
        (this->*hit->pfn.vwww)(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
        break;
    case AfxSig_vW: {
        HWND other =
            message == WM_CAPTURECHANGED ? reinterpret_cast<HWND>(lParam) : reinterpret_cast<HWND>(wParam);
        (this->*hit->pfn.vW)(FromHandle(other));
        break;
    }
    case AfxSig_vt: (this->*hit->pfn.vt)(wParam); break;
    case AfxSig_bWww:
        r = (this->*hit->pfn.bWww)(FromHandle(reinterpret_cast<HWND>(wParam)), LOWORD(lParam),
                                   HIWORD(lParam));
        break;
    case AfxSig_iWww:
        r = (this->*hit->pfn.iWww)(FromHandle(reinterpret_cast<HWND>(wParam)), LOWORD(lParam),
                                   HIWORD(lParam));
        break;
    case AfxSig_wv: r = (this->*hit->pfn.wv)(); break;
    case AfxSig_vWp: (this->*hit->pfn.vWp)(FromHandle(reinterpret_cast<HWND>(wParam)), pt); break;
    case AfxSig_vbw: (this->*hit->pfn.vbw)(static_cast<BOOL>(wParam), static_cast<UINT>(lParam)); break;
    case AfxSig_vb: (this->*hit->pfn.vb)(static_cast<BOOL>(wParam)); break;
    case AfxSig_vMwb:
        (this->*hit->pfn.vMwb)(CMenu::FromHandle(reinterpret_cast<HMENU>(wParam)), LOWORD(lParam),
                               static_cast<BOOL>(HIWORD(lParam)));
        break;
    case AfxSig_vM: (this->*hit->pfn.vM)(CMenu::FromHandle(reinterpret_cast<HMENU>(wParam))); break;
    case AfxSig_vwwh:
        (this->*hit->pfn.vwwh)(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HMENU>(lParam));
        break;
    default: return FALSE;
    }
    *pResult = r;
    return TRUE;
}

// --- Default handlers ---------------------------------------------------------------------------

int CWnd::OnCreate(LPCREATESTRUCT) {
    return static_cast<int>(Default());
}
void CWnd::OnDestroy() {
    Default();
}
void CWnd::OnNcDestroy() {
    Default();
    Detach();
    PostNcDestroy();
}
void CWnd::OnPaint() {
    Default();
}
void CWnd::OnClose() {
    Default();
}
void CWnd::OnSize(UINT, int, int) {
    Default();
}
void CWnd::OnMove(int, int) {
    Default();
}
BOOL CWnd::OnEraseBkgnd(CDC*) {
    return static_cast<BOOL>(Default());
}
void CWnd::OnHScroll(UINT, UINT, CScrollBar*) {
    Default();
}
void CWnd::OnVScroll(UINT, UINT, CScrollBar*) {
    Default();
}
BOOL CWnd::OnMouseWheel(UINT, short, CPoint) {
    return static_cast<BOOL>(Default());
}
void CWnd::OnMouseHWheel(UINT, short, CPoint) {
    Default();
}
void CWnd::OnMouseMove(UINT, CPoint) {
    Default();
}
void CWnd::OnLButtonDown(UINT, CPoint) {
    Default();
}
void CWnd::OnLButtonUp(UINT, CPoint) {
    Default();
}
void CWnd::OnLButtonDblClk(UINT, CPoint) {
    Default();
}
void CWnd::OnRButtonDown(UINT, CPoint) {
    Default();
}
void CWnd::OnRButtonUp(UINT, CPoint) {
    Default();
}
void CWnd::OnRButtonDblClk(UINT, CPoint) {
    Default();
}
void CWnd::OnMButtonDown(UINT, CPoint) {
    Default();
}
void CWnd::OnMButtonUp(UINT, CPoint) {
    Default();
}
void CWnd::OnKeyDown(UINT, UINT, UINT) {
    Default();
}
void CWnd::OnKeyUp(UINT, UINT, UINT) {
    Default();
}
void CWnd::OnSysKeyDown(UINT, UINT, UINT) {
    Default();
}
void CWnd::OnSysKeyUp(UINT, UINT, UINT) {
    Default();
}
void CWnd::OnChar(UINT, UINT, UINT) {
    Default();
}
void CWnd::OnSysChar(UINT, UINT, UINT) {
    Default();
}
void CWnd::OnSetFocus(CWnd*) {
    Default();
}
void CWnd::OnKillFocus(CWnd*) {
    Default();
}
void CWnd::OnCaptureChanged(CWnd*) {
    Default();
}
void CWnd::OnTimer(UINT_PTR) {
    Default();
}
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) {
    return static_cast<BOOL>(Default());
}
int CWnd::OnMouseActivate(CWnd*, UINT, UINT) {
    return static_cast<int>(Default());
}
UINT CWnd::OnGetDlgCode() {
    return static_cast<UINT>(Default());
}
void CWnd::OnContextMenu(CWnd*, CPoint) {
    Default();
}
void CWnd::OnShowWindow(BOOL, UINT) {
    Default();
}
void CWnd::OnEnable(BOOL) {
    Default();
}

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
ON_WM_NCDESTROY()
END_MESSAGE_MAP()

// --- Scroll members ------------------------------------------------------------------------------

CScrollBar* CWnd::GetScrollBarCtrl(int) const {
    return nullptr;
}

BOOL CWnd::SetScrollInfo(int bar, LPSCROLLINFO si, BOOL redraw) {
    si->cbSize = sizeof(SCROLLINFO);
    if (CScrollBar* ctl = bar != SB_CTL ? GetScrollBarCtrl(bar) : nullptr)
        return ctl->SetScrollInfo(si, redraw);
    ::SetScrollInfo(m_hWnd, bar, si, redraw);
    return TRUE;
}

BOOL CWnd::GetScrollInfo(int bar, LPSCROLLINFO si, UINT mask) {
    si->cbSize = sizeof(SCROLLINFO);
    si->fMask = mask;
    if (CScrollBar* ctl = bar != SB_CTL ? GetScrollBarCtrl(bar) : nullptr)
        return ctl->GetScrollInfo(si, mask);
    return ::GetScrollInfo(m_hWnd, bar, si);
}

int CWnd::SetScrollPos(int bar, int pos, BOOL redraw) {
    if (CScrollBar* ctl = GetScrollBarCtrl(bar)) return ctl->SetScrollPos(pos, redraw);
    return ::SetScrollPos(m_hWnd, bar, pos, redraw);
}

int CWnd::GetScrollPos(int bar) const {
    if (CScrollBar* ctl = GetScrollBarCtrl(bar)) return ctl->GetScrollPos();
    return ::GetScrollPos(m_hWnd, bar);
}

void CWnd::SetScrollRange(int bar, int min, int max, BOOL redraw) {
    if (CScrollBar* ctl = GetScrollBarCtrl(bar)) return ctl->SetScrollRange(min, max, redraw);
    ::SetScrollRange(m_hWnd, bar, min, max, redraw);
}

void CWnd::GetScrollRange(int bar, LPINT min, LPINT max) const {
    if (CScrollBar* ctl = GetScrollBarCtrl(bar)) return ctl->GetScrollRange(min, max);
    ::GetScrollRange(m_hWnd, bar, min, max);
}

int CWnd::GetScrollLimit(int bar) {
    int min = 0, max = 0;
    GetScrollRange(bar, &min, &max);
    SCROLLINFO si{};
    if (GetScrollInfo(bar, &si, SIF_PAGE)) max -= std::max<int>(static_cast<int>(si.nPage) - 1, 0);
    return max;
}

BOOL CWnd::EnableScrollBar(int bar, UINT arrows) {
    if (CScrollBar* ctl = GetScrollBarCtrl(bar)) return ctl->EnableScrollBar(arrows);
    return ::EnableScrollBar(m_hWnd, static_cast<UINT>(bar), arrows);
}

void CWnd::EnableScrollBarCtrl(int bar, BOOL enable) {
    if (CScrollBar* ctl = GetScrollBarCtrl(bar)) {
        ctl->EnableWindow(enable);
        return;
    }
    ::ShowScrollBar(m_hWnd, bar, enable);
}

BOOL CScrollBar::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CreateEx(0, u"SCROLLBAR", nullptr, style | WS_CHILD, rect, parent, id);
}

int CScrollBar::GetScrollLimit() {
    int min = 0, max = 0;
    GetScrollRange(&min, &max);
    SCROLLINFO si{};
    if (GetScrollInfo(&si, SIF_PAGE)) max -= std::max<int>(static_cast<int>(si.nPage) - 1, 0);
    return max;
}
