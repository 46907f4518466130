// CCmdTarget with message maps, CWnd, CScrollBar, a view base and a static splitter window.
#pragma once
// Like MFC's, the window classes here declare Create and CreateEx with their
// own parameters, hiding CWnd's on purpose: a control is made through its own
// form only. clang warns of each such hiding; the hiding is the interface.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Woverloaded-virtual"
#endif

#include "mfc/gdi.h"
#include "mfc/geometry.h"
#include "mfc/object.h"

class CWnd;
class CScrollBar;
class CMenu;
class CCmdUI;
class CCmdTarget;
class CDocument;
class CFrameWnd;
struct CCreateContext;

#define afx_msg
#define PASCAL

class CCmdTarget;
typedef void (CCmdTarget::*AFX_PMSG)();

enum AfxSig : UINT {
    AfxSig_end = 0,
    AfxSig_lwl,   // LRESULT (WPARAM, LPARAM)
    AfxSig_is,    // int (LPCREATESTRUCT)
    AfxSig_vv,    // void ()
    AfxSig_vwii,  // void (UINT, int, int)
    AfxSig_bD,    // BOOL (CDC*)
    AfxSig_vwwX,  // void (UINT, UINT, CScrollBar*)
    AfxSig_bwsp,  // BOOL (UINT, short, CPoint)
    AfxSig_vwsp,  // void (UINT, short, CPoint)
    AfxSig_vwp,   // void (UINT, CPoint)
    AfxSig_vwww,  // void (UINT, UINT, UINT)
    AfxSig_vW,    // void (CWnd*)
    AfxSig_vt,    // void (UINT_PTR)
    AfxSig_bWww,  // BOOL (CWnd*, UINT, UINT)
    AfxSig_iWww,  // int (CWnd*, UINT, UINT)
    AfxSig_wv,    // UINT ()
    AfxSig_vWp,   // void (CWnd*, CPoint)
    AfxSig_vbw,   // void (BOOL, UINT)
    AfxSig_vb,    // void (BOOL)
    AfxSig_vii,   // void (int, int)
    AfxSig_cmd,   // void () for WM_COMMAND with an id range
    AfxSig_cmdui, // void (CCmdUI*) for an update handler
    AfxSig_cmdx,  // BOOL (UINT) for a command handler that may pass the command on
    AfxSig_cmdw,  // void (UINT) for a command range handler given the id
    AfxSig_vMwb,  // void (CMenu*, UINT, BOOL)
    AfxSig_vM,    // void (CMenu*)
    AfxSig_vwwh,  // void (UINT, UINT, HMENU)
};

struct NMHDR;
struct DRAWITEMSTRUCT;
struct MINMAXINFO;

// One handler of any signature; the entry's signature code says which member is set.
union AfxHandler {
    AFX_PMSG pfn;
    LRESULT (CWnd::*lwl)(WPARAM, LPARAM);
    int (CWnd::*is)(LPCREATESTRUCT);
    void (CWnd::*vv)();
    void (CWnd::*vwii)(UINT, int, int);
    BOOL (CWnd::*bD)(CDC*);
    void (CWnd::*vwwX)(UINT, UINT, CScrollBar*);
    BOOL (CWnd::*bwsp)(UINT, short, CPoint);
    void (CWnd::*vwsp)(UINT, short, CPoint);
    void (CWnd::*vwp)(UINT, CPoint);
    void (CWnd::*vwww)(UINT, UINT, UINT);
    void (CWnd::*vW)(CWnd*);
    void (CWnd::*vt)(UINT_PTR);
    BOOL (CWnd::*bWww)(CWnd*, UINT, UINT);
    int (CWnd::*iWww)(CWnd*, UINT, UINT);
    UINT (CWnd::*wv)();
    void (CWnd::*vWp)(CWnd*, CPoint);
    void (CWnd::*vbw)(BOOL, UINT);
    void (CWnd::*vb)(BOOL);
    void (CWnd::*vii)(int, int);
    // Dialog entries (mfc/dialog.h).
    void (CWnd::*vNotify)(NMHDR*, LRESULT*);
    HBRUSH (CWnd::*hCtlColor)(CDC*, CWnd*, UINT);
    void (CWnd::*vDrawItem)(int, DRAWITEMSTRUCT*);
    void (CWnd::*vMinMax)(MINMAXINFO*);
    void (CCmdTarget::*cmdui)(CCmdUI*);
    BOOL (CCmdTarget::*cmdx)(UINT);
    void (CCmdTarget::*cmdw)(UINT);
    void (CWnd::*vMwb)(CMenu*, UINT, BOOL);
    void (CWnd::*vM)(CMenu*);
    void (CWnd::*vwwh)(UINT, UINT, HMENU);
};

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;
    UINT nID;
    UINT nLastID;
    UINT_PTR nSig;
    AfxHandler pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                                                                                \
protected:                                                                                                   \
    static const AFX_MSGMAP* GetThisMessageMap();                                                            \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                               \
    const AFX_MSGMAP* theClass::GetMessageMap() const {                                                      \
        return GetThisMessageMap();                                                                          \
    }                                                                                                        \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                                        \
        typedef theClass ThisClass;                                                                          \
        typedef baseClass TheBaseClass;                                                                      \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                                    \
    {                                                                                                        \
        0, 0, 0, 0, AfxSig_end, {                                                                            \
            nullptr                                                                                          \
        }                                                                                                    \
    }                                                                                                        \
    }                                                                                                        \
    ;                                                                                                        \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]};            \
    return &messageMap;                                                                                      \
    }

#define AFX_MSG_ENTRY(msg, sig, member, type, fn) {msg, 0, 0, 0, sig, {.member = static_cast<type>(fn)}},

#define ON_MESSAGE(message, fn)                                                                              \
    AFX_MSG_ENTRY(message, AfxSig_lwl, lwl, LRESULT (CWnd::*)(WPARAM, LPARAM), &ThisClass::fn)
#define ON_COMMAND(id, fn)                                                                                   \
    {WM_COMMAND,                                                                                             \
     0,                                                                                                      \
     static_cast<UINT>(id),                                                                                  \
     static_cast<UINT>(id),                                                                                  \
     AfxSig_cmd,                                                                                             \
     {.pfn = static_cast<void (CCmdTarget::*)()>(&ThisClass::fn)}},
#define CN_COMMAND 0
#define CN_UPDATE_COMMAND_UI ((UINT)(-1))
#define ON_UPDATE_COMMAND_UI(id, fn)                                                                         \
    {WM_COMMAND,                                                                                             \
     CN_UPDATE_COMMAND_UI,                                                                                   \
     static_cast<UINT>(id),                                                                                  \
     static_cast<UINT>(id),                                                                                  \
     AfxSig_cmdui,                                                                                           \
     {.cmdui = static_cast<void (CCmdTarget::*)(CCmdUI*)>(&ThisClass::fn)}},
#define ON_UPDATE_COMMAND_UI_RANGE(first, last, fn)                                                          \
    {WM_COMMAND,                                                                                             \
     CN_UPDATE_COMMAND_UI,                                                                                   \
     static_cast<UINT>(first),                                                                               \
     static_cast<UINT>(last),                                                                                \
     AfxSig_cmdui,                                                                                           \
     {.cmdui = static_cast<void (CCmdTarget::*)(CCmdUI*)>(&ThisClass::fn)}},
#define ON_COMMAND_RANGE(first, last, fn)                                                                    \
    {WM_COMMAND,                                                                                             \
     0,                                                                                                      \
     static_cast<UINT>(first),                                                                               \
     static_cast<UINT>(last),                                                                                \
     AfxSig_cmdw,                                                                                            \
     {.cmdw = static_cast<void (CCmdTarget::*)(UINT)>(&ThisClass::fn)}},
#define ON_COMMAND_EX(id, fn)                                                                                \
    {WM_COMMAND,                                                                                             \
     0,                                                                                                      \
     static_cast<UINT>(id),                                                                                  \
     static_cast<UINT>(id),                                                                                  \
     AfxSig_cmdx,                                                                                            \
     {.cmdx = static_cast<BOOL (CCmdTarget::*)(UINT)>(&ThisClass::fn)}},
#define ON_WM_INITMENUPOPUP()                                                                                \
    AFX_MSG_ENTRY(WM_INITMENUPOPUP, AfxSig_vMwb, vMwb, void (CWnd::*)(CMenu*, UINT, BOOL),                   \
                  &ThisClass::OnInitMenuPopup)
#define ON_WM_INITMENU()                                                                                     \
    AFX_MSG_ENTRY(WM_INITMENU, AfxSig_vM, vM, void (CWnd::*)(CMenu*), &ThisClass::OnInitMenu)
#define ON_WM_MENUSELECT()                                                                                   \
    AFX_MSG_ENTRY(WM_MENUSELECT, AfxSig_vwwh, vwwh, void (CWnd::*)(UINT, UINT, HMENU),                       \
                  &ThisClass::OnMenuSelect)
#define ON_WM_CREATE()                                                                                       \
    AFX_MSG_ENTRY(WM_CREATE, AfxSig_is, is, int (CWnd::*)(LPCREATESTRUCT), &ThisClass::OnCreate)
#define ON_WM_DESTROY() AFX_MSG_ENTRY(WM_DESTROY, AfxSig_vv, vv, void (CWnd::*)(), &ThisClass::OnDestroy)
#define ON_WM_NCDESTROY()                                                                                    \
    AFX_MSG_ENTRY(WM_NCDESTROY, AfxSig_vv, vv, void (CWnd::*)(), &ThisClass::OnNcDestroy)
#define ON_WM_PAINT() AFX_MSG_ENTRY(WM_PAINT, AfxSig_vv, vv, void (CWnd::*)(), &ThisClass::OnPaint)
#define ON_WM_SIZE()                                                                                         \
    AFX_MSG_ENTRY(WM_SIZE, AfxSig_vwii, vwii, void (CWnd::*)(UINT, int, int), &ThisClass::OnSize)
#define ON_WM_MOVE() AFX_MSG_ENTRY(WM_MOVE, AfxSig_vii, vii, void (CWnd::*)(int, int), &ThisClass::OnMove)
#define ON_WM_ERASEBKGND()                                                                                   \
    AFX_MSG_ENTRY(WM_ERASEBKGND, AfxSig_bD, bD, BOOL (CWnd::*)(CDC*), &ThisClass::OnEraseBkgnd)
#define ON_WM_HSCROLL()                                                                                      \
    AFX_MSG_ENTRY(WM_HSCROLL, AfxSig_vwwX, vwwX, void (CWnd::*)(UINT, UINT, CScrollBar*),                    \
                  &ThisClass::OnHScroll)
#define ON_WM_VSCROLL()                                                                                      \
    AFX_MSG_ENTRY(WM_VSCROLL, AfxSig_vwwX, vwwX, void (CWnd::*)(UINT, UINT, CScrollBar*),                    \
                  &ThisClass::OnVScroll)
#define ON_WM_MOUSEWHEEL()                                                                                   \
    AFX_MSG_ENTRY(WM_MOUSEWHEEL, AfxSig_bwsp, bwsp, BOOL (CWnd::*)(UINT, short, CPoint),                     \
                  &ThisClass::OnMouseWheel)
#define ON_WM_MOUSEHWHEEL()                                                                                  \
    AFX_MSG_ENTRY(WM_MOUSEHWHEEL, AfxSig_vwsp, vwsp, void (CWnd::*)(UINT, short, CPoint),                    \
                  &ThisClass::OnMouseHWheel)
#define AFX_MOUSE_ENTRY(msg, fn)                                                                             \
    AFX_MSG_ENTRY(msg, AfxSig_vwp, vwp, void (CWnd::*)(UINT, CPoint), &ThisClass::fn)
#define ON_WM_MOUSEMOVE() AFX_MOUSE_ENTRY(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_LBUTTONDOWN() AFX_MOUSE_ENTRY(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP() AFX_MOUSE_ENTRY(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() AFX_MOUSE_ENTRY(WM_LBUTTONDBLCLK, OnLButtonDblClk)
#define ON_WM_RBUTTONDOWN() AFX_MOUSE_ENTRY(WM_RBUTTONDOWN, OnRButtonDown)
#define ON_WM_RBUTTONUP() AFX_MOUSE_ENTRY(WM_RBUTTONUP, OnRButtonUp)
#define ON_WM_RBUTTONDBLCLK() AFX_MOUSE_ENTRY(WM_RBUTTONDBLCLK, OnRButtonDblClk)
#define ON_WM_MBUTTONDOWN() AFX_MOUSE_ENTRY(WM_MBUTTONDOWN, OnMButtonDown)
#define ON_WM_MBUTTONUP() AFX_MOUSE_ENTRY(WM_MBUTTONUP, OnMButtonUp)
#define AFX_KEY_ENTRY(msg, fn)                                                                               \
    AFX_MSG_ENTRY(msg, AfxSig_vwww, vwww, void (CWnd::*)(UINT, UINT, UINT), &ThisClass::fn)
#define ON_WM_KEYDOWN() AFX_KEY_ENTRY(WM_KEYDOWN, OnKeyDown)
#define ON_WM_KEYUP() AFX_KEY_ENTRY(WM_KEYUP, OnKeyUp)
#define ON_WM_SYSKEYDOWN() AFX_KEY_ENTRY(WM_SYSKEYDOWN, OnSysKeyDown)
#define ON_WM_SYSKEYUP() AFX_KEY_ENTRY(WM_SYSKEYUP, OnSysKeyUp)
#define ON_WM_CHAR() AFX_KEY_ENTRY(WM_CHAR, OnChar)
#define ON_WM_SYSCHAR() AFX_KEY_ENTRY(WM_SYSCHAR, OnSysChar)
#define ON_WM_SETFOCUS()                                                                                     \
    AFX_MSG_ENTRY(WM_SETFOCUS, AfxSig_vW, vW, void (CWnd::*)(CWnd*), &ThisClass::OnSetFocus)
#define ON_WM_KILLFOCUS()                                                                                    \
    AFX_MSG_ENTRY(WM_KILLFOCUS, AfxSig_vW, vW, void (CWnd::*)(CWnd*), &ThisClass::OnKillFocus)
#define ON_WM_CAPTURECHANGED()                                                                               \
    AFX_MSG_ENTRY(WM_CAPTURECHANGED, AfxSig_vW, vW, void (CWnd::*)(CWnd*), &ThisClass::OnCaptureChanged)
#define ON_WM_TIMER() AFX_MSG_ENTRY(WM_TIMER, AfxSig_vt, vt, void (CWnd::*)(UINT_PTR), &ThisClass::OnTimer)
#define ON_WM_SETCURSOR()                                                                                    \
    AFX_MSG_ENTRY(WM_SETCURSOR, AfxSig_bWww, bWww, BOOL (CWnd::*)(CWnd*, UINT, UINT), &ThisClass::OnSetCursor)
#define ON_WM_MOUSEACTIVATE()                                                                                \
    AFX_MSG_ENTRY(WM_MOUSEACTIVATE, AfxSig_iWww, iWww, int (CWnd::*)(CWnd*, UINT, UINT),                     \
                  &ThisClass::OnMouseActivate)
#define ON_WM_GETDLGCODE()                                                                                   \
    AFX_MSG_ENTRY(WM_GETDLGCODE, AfxSig_wv, wv, UINT (CWnd::*)(), &ThisClass::OnGetDlgCode)
#define ON_WM_CONTEXTMENU()                                                                                  \
    AFX_MSG_ENTRY(WM_CONTEXTMENU, AfxSig_vWp, vWp, void (CWnd::*)(CWnd*, CPoint), &ThisClass::OnContextMenu)
#define ON_WM_SHOWWINDOW()                                                                                   \
    AFX_MSG_ENTRY(WM_SHOWWINDOW, AfxSig_vbw, vbw, void (CWnd::*)(BOOL, UINT), &ThisClass::OnShowWindow)
#define ON_WM_ENABLE() AFX_MSG_ENTRY(WM_ENABLE, AfxSig_vb, vb, void (CWnd::*)(BOOL), &ThisClass::OnEnable)
#define ON_WM_CLOSE() AFX_MSG_ENTRY(WM_CLOSE, AfxSig_vv, vv, void (CWnd::*)(), &ThisClass::OnClose)

// Who would handle a command (filled instead of calling the handler).
struct AFX_CMDHANDLERINFO {
    CCmdTarget* pTarget;
    AFX_PMSG pmf;
};

class CCmdTarget : public CObject {
    DECLARE_DYNAMIC(CCmdTarget)
public:
    CCmdTarget() = default;
    // Finds and calls this object's handler of a command (code CN_COMMAND or
    // a control's notification) or its update handler (CN_UPDATE_COMMAND_UI,
    // extra the CCmdUI). With info, only reports who would handle it.
    virtual BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

// Control ids and the splitter's child ids.
#define AFX_IDW_PANE_FIRST 0xE900
#define AFX_IDW_PANE_LAST 0xE9FF
#define AFX_IDW_HSCROLL_FIRST 0xEA00
#define AFX_IDW_VSCROLL_FIRST 0xEA10
#define AFX_IDW_SIZE_BOX 0xEA20
#define AFX_WS_DEFAULT_VIEW (WS_CHILD | WS_VISIBLE | WS_BORDER)

class CWnd : public CCmdTarget {
    DECLARE_DYNCREATE(CWnd)
public:
    CWnd() = default;
    ~CWnd() override;

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }
    bool operator==(const CWnd& o) const { return m_hWnd == o.m_hWnd; }

    static CWnd* FromHandle(HWND hwnd);
    static CWnd* FromHandlePermanent(HWND hwnd);
    BOOL Attach(HWND hwnd);
    HWND Detach();
    BOOL SubclassWindow(HWND hwnd);
    HWND UnsubclassWindow();

    virtual BOOL Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                        UINT id, void* context = nullptr);
    virtual BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                          int w, int h, HWND parent, HMENU idOrMenu, LPVOID param = nullptr);
    BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect,
                  CWnd* parent, UINT id, LPVOID param = nullptr);
    virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
    virtual BOOL DestroyWindow();
    virtual void PostNcDestroy() {}
    virtual BOOL PreTranslateMessage(MSG* msg);
    // Offers msg to the window objects from msg->hwnd up to (and including) stop, or to the top.
    static BOOL WalkPreTranslateTree(HWND stop, MSG* msg);

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    LRESULT Default();
    BOOL SendChildNotifyLastMsg(LRESULT* result = nullptr);
    static const MSG* GetCurrentMessage();

    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(m_hWnd, msg, wParam, lParam);
    }
    BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::PostMessageW(m_hWnd, msg, wParam, lParam);
    }

    CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
    CWnd* GetTopLevelParent() const { return FromHandle(::GetAncestor(m_hWnd, GA_ROOT)); }
    CFrameWnd* GetParentFrame() const;
    CFrameWnd* GetTopLevelFrame() const;
    CMenu* GetMenu() const;
    BOOL SetMenu(CMenu* menu);
    void DrawMenuBar() { ::DrawMenuBar(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    BOOL IsZoomed() const { return ::IsZoomed(m_hWnd); }
    void BringWindowToTop() { ::BringWindowToTop(m_hWnd); }
    void SendMessageToDescendants(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0, BOOL deep = TRUE);
    CWnd* SetParent(CWnd* parent) {
        return FromHandle(::SetParent(m_hWnd, parent ? parent->m_hWnd : nullptr));
    }
    CWnd* GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_EXSTYLE)); }
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
    void MoveWindow(int x, int y, int w, int h, BOOL repaint = TRUE) {
        ::MoveWindow(m_hWnd, x, y, w, h, repaint);
    }
    void MoveWindow(LPCRECT r, BOOL repaint = TRUE) {
        ::MoveWindow(m_hWnd, r->left, r->top, r->right - r->left, r->bottom - r->top, repaint);
    }
    BOOL SetWindowPos(const CWnd* after, int x, int y, int cx, int cy, UINT flags) {
        return ::SetWindowPos(m_hWnd, after ? after->m_hWnd : nullptr, x, y, cx, cy, flags);
    }
    void GetClientRect(LPRECT r) const { ::GetClientRect(m_hWnd, r); }
    void GetWindowRect(LPRECT r) const { ::GetWindowRect(m_hWnd, r); }
    void ClientToScreen(LPPOINT p) const { ::ClientToScreen(m_hWnd, p); }
    void ClientToScreen(LPRECT r) const;
    void ScreenToClient(LPPOINT p) const { ::ScreenToClient(m_hWnd, p); }
    void ScreenToClient(LPRECT r) const;
    void MapWindowPoints(CWnd* to, LPPOINT pts, UINT n) const {
        ::MapWindowPoints(m_hWnd, to ? to->m_hWnd : nullptr, pts, n);
    }
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void InvalidateRect(LPCRECT r, BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, r, erase); }
    void ValidateRect(LPCRECT r) { ::ValidateRect(m_hWnd, r); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    BOOL RedrawWindow(LPCRECT r = nullptr, CRgn* rgn = nullptr, UINT flags = RDW_INVALIDATE | RDW_ERASE) {
        return ::RedrawWindow(m_hWnd, r, rgn ? static_cast<HRGN>(*rgn) : nullptr, flags);
    }
    void ScrollWindow(int dx, int dy, LPCRECT r = nullptr, LPCRECT clip = nullptr) {
        ::ScrollWindow(m_hWnd, dx, dy, r, clip);
    }
    CWnd* SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
    static CWnd* GetFocus() { return FromHandle(::GetFocus()); }
    CWnd* SetCapture() { return FromHandle(::SetCapture(m_hWnd)); }
    static CWnd* GetCapture() { return FromHandle(::GetCapture()); }
    CDC* GetDC();
    int ReleaseDC(CDC* dc);
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc) {
        return ::SetTimer(m_hWnd, id, elapse, proc);
    }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    void SetWindowText(LPCWSTR text) { ::SetWindowTextW(m_hWnd, text); }
    int GetWindowText(LPWSTR buf, int max) const { return ::GetWindowTextW(m_hWnd, buf, max); }
    int GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
    void SetFont(CFont* font, BOOL redraw = TRUE) {
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font ? font->m_hObject : nullptr), redraw);
    }
    CFont* GetFont() const { return CFont::FromHandle(reinterpret_cast<HFONT>(SendMessage(WM_GETFONT))); }
    int MessageBox(LPCWSTR text, LPCWSTR caption = nullptr, UINT type = MB_OK);

    // Scroll bars: each goes through GetScrollBarCtrl first, as the framework's do.
    virtual CScrollBar* GetScrollBarCtrl(int bar) const;
    BOOL SetScrollInfo(int bar, LPSCROLLINFO si, BOOL redraw = TRUE);
    BOOL GetScrollInfo(int bar, LPSCROLLINFO si, UINT mask = SIF_ALL);
    int SetScrollPos(int bar, int pos, BOOL redraw = TRUE);
    int GetScrollPos(int bar) const;
    void SetScrollRange(int bar, int min, int max, BOOL redraw = TRUE);
    void GetScrollRange(int bar, LPINT min, LPINT max) const;
    int GetScrollLimit(int bar);
    void ShowScrollBar(UINT bar, BOOL show = TRUE) { ::ShowScrollBar(m_hWnd, static_cast<int>(bar), show); }
    BOOL EnableScrollBar(int bar, UINT arrows = ESB_ENABLE_BOTH);
    void EnableScrollBarCtrl(int bar, BOOL enable = TRUE);

    // Caret.
    void CreateSolidCaret(int w, int h) { ::CreateCaret(m_hWnd, nullptr, w, h); }
    void CreateGrayCaret(int w, int h) { ::CreateCaret(m_hWnd, reinterpret_cast<HBITMAP>(1), w, h); }
    void CreateCaret(CBitmap* bmp) {
        ::CreateCaret(m_hWnd, bmp ? static_cast<HBITMAP>(*bmp) : nullptr, 0, 0);
    }
    void ShowCaret() { ::ShowCaret(m_hWnd); }
    void HideCaret() { ::HideCaret(m_hWnd); }
    static void SetCaretPos(POINT p) { ::SetCaretPos(p.x, p.y); }
    static CPoint GetCaretPos() {
        POINT p{0, 0};
        ::GetCaretPos(&p);
        return p;
    }

protected:
    afx_msg int OnCreate(LPCREATESTRUCT cs);
    afx_msg void OnDestroy();
    afx_msg void OnNcDestroy();
    afx_msg void OnPaint();
    afx_msg void OnClose();
    afx_msg void OnSize(UINT type, int cx, int cy);
    afx_msg void OnMove(int x, int y);
    afx_msg BOOL OnEraseBkgnd(CDC* dc);
    afx_msg void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
    afx_msg void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
    afx_msg BOOL OnMouseWheel(UINT flags, short delta, CPoint pt);
    afx_msg void OnMouseHWheel(UINT flags, short delta, CPoint pt);
    afx_msg void OnMouseMove(UINT flags, CPoint pt);
    afx_msg void OnLButtonDown(UINT flags, CPoint pt);
    afx_msg void OnLButtonUp(UINT flags, CPoint pt);
    afx_msg void OnLButtonDblClk(UINT flags, CPoint pt);
    afx_msg void OnRButtonDown(UINT flags, CPoint pt);
    afx_msg void OnRButtonUp(UINT flags, CPoint pt);
    afx_msg void OnRButtonDblClk(UINT flags, CPoint pt);
    afx_msg void OnMButtonDown(UINT flags, CPoint pt);
    afx_msg void OnMButtonUp(UINT flags, CPoint pt);
    afx_msg void OnKeyDown(UINT ch, UINT repeat, UINT flags);
    afx_msg void OnKeyUp(UINT ch, UINT repeat, UINT flags);
    afx_msg void OnSysKeyDown(UINT ch, UINT repeat, UINT flags);
    afx_msg void OnSysKeyUp(UINT ch, UINT repeat, UINT flags);
    afx_msg void OnChar(UINT ch, UINT repeat, UINT flags);
    afx_msg void OnSysChar(UINT ch, UINT repeat, UINT flags);
    afx_msg void OnSetFocus(CWnd* old);
    afx_msg void OnKillFocus(CWnd* next);
    afx_msg void OnCaptureChanged(CWnd* wnd);
    afx_msg void OnTimer(UINT_PTR id);
    afx_msg BOOL OnSetCursor(CWnd* wnd, UINT hit, UINT message);
    afx_msg int OnMouseActivate(CWnd* desktop, UINT hit, UINT message);
    afx_msg UINT OnGetDlgCode();
    afx_msg void OnContextMenu(CWnd* wnd, CPoint pt);
    afx_msg void OnShowWindow(BOOL show, UINT status);
    afx_msg void OnEnable(BOOL enable);

    WNDPROC m_pfnSuper = nullptr;
    friend LRESULT AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    friend void AfxHookCreate(HWND, const CREATESTRUCTW*);

    DECLARE_MESSAGE_MAP()
};

LRESULT AfxWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The next window created on this thread attaches to wnd (dialogs created
// from templates); AfxUnhookWindowCreate clears a hook left unused.
void AfxHookWindowCreate(CWnd* wnd);
void AfxUnhookWindowCreate();
// The object FromHandle makes for a window without one: of the MFC class of
// its window class (CButton for "Button", ...), else CWnd.
CWnd* AfxNewTempWnd(HWND hwnd);
LPCWSTR AfxRegisterWndClass(UINT classStyle, HCURSOR cursor = nullptr, HBRUSH background = nullptr,
                            HICON icon = nullptr);
int AfxMessageBox(LPCWSTR text, UINT type = MB_OK, UINT helpId = 0);
// The caption of AfxMessageBox (the application's name).
void AfxSetAppTitle(LPCWSTR title);
LPCWSTR AfxGetAppTitle();

class CScrollBar : public CWnd {
    DECLARE_DYNAMIC(CScrollBar)
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int GetScrollPos() const { return ::GetScrollPos(m_hWnd, SB_CTL); }
    int SetScrollPos(int pos, BOOL redraw = TRUE) { return ::SetScrollPos(m_hWnd, SB_CTL, pos, redraw); }
    void GetScrollRange(LPINT min, LPINT max) const { ::GetScrollRange(m_hWnd, SB_CTL, min, max); }
    void SetScrollRange(int min, int max, BOOL redraw = TRUE) {
        ::SetScrollRange(m_hWnd, SB_CTL, min, max, redraw);
    }
    BOOL SetScrollInfo(LPSCROLLINFO si, BOOL redraw = TRUE) {
        return ::SetScrollInfo(m_hWnd, SB_CTL, si, redraw);
    }
    BOOL GetScrollInfo(LPSCROLLINFO si, UINT mask = SIF_ALL) {
        si->cbSize = sizeof(SCROLLINFO);
        si->fMask = mask;
        return ::GetScrollInfo(m_hWnd, SB_CTL, si);
    }
    int GetScrollLimit();
    void ShowScrollBar(BOOL show = TRUE) { ::ShowScrollBar(m_hWnd, SB_CTL, show); }
    BOOL EnableScrollBar(UINT arrows = ESB_ENABLE_BOTH) { return ::EnableScrollBar(m_hWnd, SB_CTL, arrows); }
};

class CSplitterWnd;

// The view base: a pane of a splitter answers GetScrollBarCtrl with the
// splitter's shared bar. A view joins its document at creation (from the
// creation context) and leaves it at destruction; a press of a mouse button
// in it or in a window inside it, or the focus, makes it its frame's active
// view.
class CView : public CWnd {
    DECLARE_DYNAMIC(CView)
public:
    ~CView() override;
    CScrollBar* GetScrollBarCtrl(int bar) const override;
    static CSplitterWnd* GetParentSplitter(const CWnd* wnd, BOOL anyState);
    BOOL Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                void* context = nullptr) override;
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    CDocument* GetDocument() const { return m_pDocument; }
    virtual void OnInitialUpdate();
    virtual void OnUpdate(CView* sender, LPARAM hint, CObject* hintObject);
    virtual void OnActivateView(BOOL activate, CView* activeView, CView* deactiveView);
    virtual void OnActivateFrame(UINT, CFrameWnd*) {}
    virtual void OnDraw(CDC*) {}

    CDocument* m_pDocument = nullptr;

protected:
    void PostNcDestroy() override { delete this; }
    void MakeActive();
    afx_msg int OnMouseActivate(CWnd* desktop, UINT hit, UINT message);
    friend class CDocument;
    DECLARE_MESSAGE_MAP()
};

#define SPLS_DYNAMIC_SPLIT 0x0001

// A splitter of up to 2 x 2 panes with shared scroll bars per row and
// column: static (CreateStatic, then CreateView for each pane) or dynamic
// (Create: one pane, split boxes at the heads of the shared bars split it).
class CSplitterWnd : public CWnd {
    DECLARE_DYNAMIC(CSplitterWnd)
public:
    BOOL CreateStatic(CWnd* parent, int rows, int cols, DWORD style = WS_CHILD | WS_VISIBLE,
                      UINT id = AFX_IDW_PANE_FIRST);
    BOOL Create(CWnd* parent, int maxRows, int maxCols, SIZE sizeMin, CCreateContext* context,
                DWORD style = WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL | SPLS_DYNAMIC_SPLIT,
                UINT id = AFX_IDW_PANE_FIRST);
    // A new row whose first row keeps cyBefore pixels: views of pane (0, 0)'s
    // class on its document, the counts, the layout, then their initial update.
    virtual BOOL SplitRow(int cyBefore);
    virtual BOOL SplitColumn(int cxBefore);
    virtual void DeleteRow(int row);
    virtual void DeleteColumn(int col);
    virtual CWnd* GetActivePane(int* row = nullptr, int* col = nullptr);
    virtual void SetActivePane(int row, int col, CWnd* wnd = nullptr);
    int GetMaxRowCount() const { return m_nMaxRows; }
    int GetMaxColumnCount() const { return m_nMaxCols; }
    BOOL IsDynamic() const { return m_bDynamic; }
    // The split box at the head of the vertical (SB_VERT) or horizontal bar, in client coordinates.
    CRect GetSplitBox(int bar) const;
    static const int kBoxSize = 7;
    virtual BOOL CreateView(int row, int col, CRuntimeClass* viewClass, SIZE initial, void* context);
    int GetRowCount() const { return m_nRows; }
    int GetColumnCount() const { return m_nCols; }
    CWnd* GetPane(int row, int col) const { return GetDlgItem(IdFromRowCol(row, col)); }
    int IdFromRowCol(int row, int col) const { return AFX_IDW_PANE_FIRST + row * 16 + col; }
    DWORD GetScrollStyle() const { return m_dwScrollStyle; }
    void SetScrollStyle(DWORD style);
    void SetRowInfo(int row, int ideal, int min);
    void SetColumnInfo(int col, int ideal, int min);
    virtual void RecalcLayout();
    CScrollBar* GetSharedBar(int bar, int index) const;

    static const int kGap = 6;

protected:
    afx_msg void OnSize(UINT type, int cx, int cy);
    virtual afx_msg void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
    virtual afx_msg void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
    virtual afx_msg BOOL OnMouseWheel(UINT flags, short delta, CPoint pt);
    afx_msg BOOL OnEraseBkgnd(CDC* dc);
    afx_msg void OnPaint();
    afx_msg void OnLButtonDown(UINT flags, CPoint pt);
    afx_msg void OnMouseMove(UINT flags, CPoint pt);
    afx_msg void OnLButtonUp(UINT flags, CPoint pt);
    afx_msg BOOL OnSetCursor(CWnd* wnd, UINT hit, UINT message);

    int m_nRows = 1, m_nCols = 1;
    int m_rowIdeal[2] = {0, 0}, m_colIdeal[2] = {0, 0};
    DWORD m_dwScrollStyle = 0;
    // Bumped by every layout: a pane sized by one may lay the splitter out
    // again from within (its bars became needed), and that inner one holds.
    unsigned m_layoutPass = 0;
    BOOL m_bDynamic = FALSE;
    int m_nMaxRows = 2, m_nMaxCols = 2;
    CSize m_sizeMin{0, 0};
    // Tracking a split box or a gap: 0 none, 1 rows (vertical move), 2 columns.
    int m_tracking = 0;
    int m_trackIndex = 0; // the gap's row or column; -1 for a split box
    CWnd* MakePane(int row, int col);
    void RenumberPane(CWnd* pane, int row, int col);
    // SplitRow and SplitColumn (rows false), DeleteRow and DeleteColumn.
    BOOL SplitAlong(bool rows, int before);
    void DeleteAlong(bool rows, int index);

    DECLARE_MESSAGE_MAP()
};

#if defined(__clang__)
#pragma clang diagnostic pop
#endif
