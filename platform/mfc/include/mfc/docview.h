// Command UI, menus, documents and their templates, frame windows, control
// bars (status bar and toolbar) and the command line of the application.
#pragma once
// Like MFC's, the window classes here declare Create and CreateEx with their
// own parameters, hiding CWnd's on purpose: a control is made through its own
// form only. clang warns of each such hiding; the hiding is the interface.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Woverloaded-virtual"
#endif

#include <string>
#include <vector>

#include "mfc/cstring.h"
#include "mfc/wnd.h"

class CDocument;
class CDocTemplate;
class CFrameWnd;
class CControlBar;

// Command, indicator and string ids of the framework.
#include "afxres.h"

// Frame and bar styles.
#define FWS_ADDTOTITLE 0x00008000L
#define FWS_PREFIXTITLE 0x00004000L
#define FWS_SNAPTOBARS 0x00002000L
#define CBRS_ALIGN_LEFT 0x1000L
#define CBRS_ALIGN_TOP 0x2000L
#define CBRS_ALIGN_RIGHT 0x4000L
#define CBRS_ALIGN_BOTTOM 0x8000L
#define CBRS_ALIGN_ANY 0xF000L
#define CBRS_BORDER_LEFT 0x0100L
#define CBRS_BORDER_TOP 0x0200L
#define CBRS_BORDER_RIGHT 0x0400L
#define CBRS_BORDER_BOTTOM 0x0800L
#define CBRS_TOOLTIPS 0x0010L
#define CBRS_FLYBY 0x0020L
#define CBRS_GRIPPER 0x00400000L
#define CBRS_SIZE_DYNAMIC 0x0040L
#define CBRS_SIZE_FIXED 0x0080L
#define CBRS_TOP (CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM)
#define CBRS_BOTTOM (CBRS_ALIGN_BOTTOM | CBRS_BORDER_TOP)
#define TBSTYLE_FLAT 0x0800
#define TBSTYLE_TRANSPARENT 0x8000
#define TBSTYLE_BUTTON 0x0000
#define TBSTYLE_SEP 0x0001
#define TBSTYLE_CHECK 0x0002
#define SBPS_NORMAL 0x0000
#define SBPS_NOBORDERS 0x0100
#define SBPS_POPOUT 0x0200
#define SBPS_DISABLED 0x04000000
#define SBPS_STRETCH 0x08000000
#define WM_IDLEUPDATECMDUI 0x0363
#define WM_SETMESSAGESTRING 0x0362

// A resource string by id (the string table), or null.
const char16_t* AfxFindResourceString(UINT id);
// Provides the string table (the resource layer installs its own; tests may add strings).
void AfxSetResourceStringLookup(const char16_t* (*lookup)(UINT id));
void AfxRegisterResourceString(UINT id, const char16_t* text);

// --- Menus ----------------------------------------------------------------------------------------

class CMenu : public CObject {
    DECLARE_DYNAMIC(CMenu)
public:
    CMenu() = default;
    ~CMenu() override;
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    HMENU m_hMenu = nullptr;
    operator HMENU() const { return m_hMenu; }
    HMENU GetSafeHmenu() const { return m_hMenu; }
    static CMenu* FromHandle(HMENU menu);
    BOOL Attach(HMENU menu);
    HMENU Detach();

    BOOL CreateMenu();
    BOOL CreatePopupMenu();
    BOOL LoadMenu(UINT id);
    BOOL LoadMenu(LPCWSTR name);
    BOOL DestroyMenu();
    BOOL AppendMenu(UINT flags, UINT_PTR id = 0, LPCWSTR text = nullptr) {
        return ::AppendMenuW(m_hMenu, flags, id, text);
    }
    BOOL InsertMenu(UINT pos, UINT flags, UINT_PTR id = 0, LPCWSTR text = nullptr) {
        return ::InsertMenuW(m_hMenu, pos, flags, id, text);
    }
    BOOL ModifyMenu(UINT pos, UINT flags, UINT_PTR id = 0, LPCWSTR text = nullptr) {
        return ::ModifyMenuW(m_hMenu, pos, flags, id, text);
    }
    BOOL DeleteMenu(UINT pos, UINT flags) { return ::DeleteMenu(m_hMenu, pos, flags); }
    BOOL RemoveMenu(UINT pos, UINT flags) { return ::RemoveMenu(m_hMenu, pos, flags); }
    UINT GetMenuItemCount() const { return static_cast<UINT>(::GetMenuItemCount(m_hMenu)); }
    UINT GetMenuItemID(int pos) const { return ::GetMenuItemID(m_hMenu, pos); }
    UINT GetMenuState(UINT id, UINT flags) const { return ::GetMenuState(m_hMenu, id, flags); }
    int GetMenuString(UINT id, CString& text, UINT flags) const;
    CMenu* GetSubMenu(int pos) const { return FromHandle(::GetSubMenu(m_hMenu, pos)); }
    UINT EnableMenuItem(UINT id, UINT flags) { return ::EnableMenuItem(m_hMenu, id, flags); }
    UINT CheckMenuItem(UINT id, UINT flags) { return ::CheckMenuItem(m_hMenu, id, flags); }
    BOOL CheckMenuRadioItem(UINT first, UINT last, UINT check, UINT flags) {
        return ::CheckMenuRadioItem(m_hMenu, first, last, check, flags);
    }
    BOOL SetMenuItemInfo(UINT id, LPMENUITEMINFOW info, BOOL byPos = FALSE) {
        return ::SetMenuItemInfoW(m_hMenu, id, byPos, info);
    }
    BOOL GetMenuItemInfo(UINT id, LPMENUITEMINFOW info, BOOL byPos = FALSE) {
        return ::GetMenuItemInfoW(m_hMenu, id, byPos, info);
    }
    BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, LPCRECT rect = nullptr) {
        return ::TrackPopupMenu(m_hMenu, flags, x, y, 0, owner ? owner->m_hWnd : nullptr, rect);
    }
};

// --- Command UI -------------------------------------------------------------------------------------

// One command's user-interface element (a menu item, a toolbar button, a
// status pane) put to its update handler through the command routing.
class CCmdUI {
public:
    virtual ~CCmdUI() = default;
    UINT m_nID = 0;
    UINT m_nIndex = 0;
    CMenu* m_pMenu = nullptr;
    CMenu* m_pSubMenu = nullptr;
    CWnd* m_pOther = nullptr;
    UINT m_nIndexMax = 0;
    BOOL m_bEnableChanged = FALSE;
    BOOL m_bContinueRouting = FALSE;

    virtual void Enable(BOOL on = TRUE);
    virtual void SetCheck(int check = 1);
    virtual void SetRadio(BOOL on = TRUE);
    virtual void SetText(LPCWSTR text);
    void ContinueRouting() { m_bContinueRouting = TRUE; }
    // Routes the update through target; with disableIfNoHandler, an element
    // whose command has no handler at all is disabled.
    BOOL DoUpdate(CCmdTarget* target, BOOL disableIfNoHandler);
};

// --- Documents, views and frames ------------------------------------------------------------------

struct CCreateContext {
    CRuntimeClass* m_pNewViewClass = nullptr;
    CDocument* m_pCurrentDoc = nullptr;
    CDocTemplate* m_pNewDocTemplate = nullptr;
    CView* m_pLastView = nullptr;
    CFrameWnd* m_pCurrentFrame = nullptr;
};

typedef void* POSITION;

class CDocument : public CCmdTarget {
    DECLARE_DYNAMIC(CDocument)
public:
    CDocument() = default;
    ~CDocument() override;

    virtual BOOL OnNewDocument();
    // Reads no file here: the document's own override does what opening means.
    virtual BOOL OnOpenDocument(LPCWSTR path);
    virtual void OnCloseDocument();
    virtual void DeleteContents() {}
    virtual BOOL SaveModified();
    virtual BOOL CanCloseFrame(CFrameWnd* frame);
    virtual void SetTitle(LPCWSTR title);
    const CString& GetTitle() const { return m_strTitle; }
    virtual void SetPathName(LPCWSTR path, BOOL addToMRU = TRUE);
    const CString& GetPathName() const { return m_strPathName; }
    virtual BOOL IsModified() { return m_bModified; }
    virtual void SetModifiedFlag(BOOL modified = TRUE) { m_bModified = modified; }
    void UpdateAllViews(CView* sender, LPARAM hint = 0, CObject* hintObject = nullptr);
    POSITION GetFirstViewPosition() const;
    CView* GetNextView(POSITION& pos) const;
    CDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }
    void AddView(CView* view);
    void RemoveView(CView* view);
    BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info) override;

    CString m_strTitle;
    CString m_strPathName;
    CDocTemplate* m_pDocTemplate = nullptr;
    BOOL m_bModified = FALSE;
    BOOL m_bAutoDelete = TRUE;

protected:
    std::vector<CView*> m_viewList;
};

class CFrameWnd : public CWnd {
    DECLARE_DYNCREATE(CFrameWnd)
public:
    CFrameWnd() = default;
    ~CFrameWnd() override;

    virtual BOOL LoadFrame(UINT resourceId, DWORD style = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                           CWnd* parent = nullptr, CCreateContext* context = nullptr);
    BOOL Create(LPCWSTR className, LPCWSTR title, DWORD style = WS_OVERLAPPEDWINDOW,
                const RECT& rect = CRect(CW_USEDEFAULT, CW_USEDEFAULT, 0, 0), CWnd* parent = nullptr,
                LPCWSTR menuName = nullptr, DWORD exStyle = 0, CCreateContext* context = nullptr);
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info) override;
    virtual BOOL OnCreateClient(LPCREATESTRUCT cs, CCreateContext* context);
    virtual void RecalcLayout(BOOL notify = TRUE);
    virtual void OnUpdateFrameTitle(BOOL addToTitle);
    virtual void ActivateFrame(int cmdShow = -1);
    virtual void InitialUpdateFrame(CDocument* doc, BOOL makeVisible);
    virtual CDocument* GetActiveDocument();
    CView* GetActiveView() const;
    void SetActiveView(CView* view, BOOL notify = TRUE);
    CWnd* CreateView(CCreateContext* context, UINT id = AFX_IDW_PANE_FIRST);
    virtual void GetMessageString(UINT id, CString& message) const;
    void SetMessageText(LPCWSTR text);
    void SetMessageText(UINT id);
    CWnd* GetMessageBar();
    void EnableDocking(DWORD) {}
    void DockControlBar(CControlBar*, UINT = 0, LPCRECT = nullptr) {}
    void ShowControlBar(CControlBar* bar, BOOL show, BOOL delay);
    CControlBar* GetControlBar(UINT id);
    // The idle update of the bars' buttons and panes.
    void OnIdleUpdateCmdUI();
    void AddControlBar(CControlBar* bar);
    void RemoveControlBar(CControlBar* bar);
    void SetTitle(LPCWSTR title) { m_strTitle = title ? title : u""; }
    CString GetTitle() const { return m_strTitle; }

    HACCEL m_hAccelTable = nullptr;
    CString m_strTitle;
    UINT m_nIDHelp = 0;
    BOOL m_bAutoMenuEnable = TRUE;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override;
    afx_msg int OnCreate(LPCREATESTRUCT cs);
    afx_msg void OnDestroy();
    afx_msg void OnClose();
    afx_msg void OnSize(UINT type, int cx, int cy);
    afx_msg void OnSetFocus(CWnd* old);
    afx_msg void OnInitMenuPopup(CMenu* menu, UINT index, BOOL sysMenu);
    afx_msg void OnMenuSelect(UINT item, UINT flags, HMENU menu);
    afx_msg void OnExitMenuLoop(BOOL);
    afx_msg BOOL OnEraseBkgnd(CDC* dc);
    afx_msg BOOL OnBarCheck(UINT id);
    afx_msg void OnUpdateControlBarMenu(CCmdUI* cmdUI);
    afx_msg void OnUpdateKeyIndicator(CCmdUI* cmdUI);
    LRESULT OnSetMessageString(WPARAM wParam, LPARAM lParam);
    void OnBarCheckStatus();
    void OnBarCheckToolBar();

    CView* m_pViewActive = nullptr;
    CCreateContext* m_pCreateContext = nullptr;
    std::vector<CControlBar*> m_listControlBars;
    UINT m_nIDTracking = 0;

    DECLARE_MESSAGE_MAP()
};

class CDocTemplate : public CCmdTarget {
    DECLARE_DYNAMIC(CDocTemplate)
public:
    CDocTemplate(UINT resourceId, CRuntimeClass* docClass, CRuntimeClass* frameClass,
                 CRuntimeClass* viewClass);
    ~CDocTemplate() override = default;

    virtual POSITION GetFirstDocPosition() const = 0;
    virtual CDocument* GetNextDoc(POSITION& pos) const = 0;
    virtual CDocument* OpenDocumentFile(LPCWSTR path, BOOL makeVisible = TRUE) = 0;
    virtual CDocument* CreateNewDocument();
    virtual CFrameWnd* CreateNewFrame(CDocument* doc, CFrameWnd* other);
    virtual void InitialUpdateFrame(CFrameWnd* frame, CDocument* doc, BOOL makeVisible = TRUE);
    virtual void AddDocument(CDocument* doc);
    virtual void RemoveDocument(CDocument* doc);
    virtual BOOL SaveAllModified();
    virtual void CloseAllDocuments(BOOL endSession);
    virtual void SetDefaultTitle(CDocument* doc);

    UINT m_nIDResource;
    CRuntimeClass* m_pDocClass;
    CRuntimeClass* m_pFrameClass;
    CRuntimeClass* m_pViewClass;
};

class CSingleDocTemplate : public CDocTemplate {
    DECLARE_DYNAMIC(CSingleDocTemplate)
public:
    CSingleDocTemplate(UINT resourceId, CRuntimeClass* docClass, CRuntimeClass* frameClass,
                       CRuntimeClass* viewClass);
    ~CSingleDocTemplate() override;

    POSITION GetFirstDocPosition() const override;
    CDocument* GetNextDoc(POSITION& pos) const override;
    CDocument* OpenDocumentFile(LPCWSTR path, BOOL makeVisible = TRUE) override;
    void AddDocument(CDocument* doc) override;
    void RemoveDocument(CDocument* doc) override;

protected:
    CDocument* m_pOnlyDoc = nullptr;
};

// --- Control bars -----------------------------------------------------------------------------------

class CControlBar : public CWnd {
    DECLARE_DYNAMIC(CControlBar)
public:
    ~CControlBar() override;
    DWORD GetBarStyle() const { return m_dwStyle; }
    void SetBarStyle(DWORD style) { m_dwStyle = style; }
    void EnableDocking(DWORD) {}
    // The height the frame gives the bar.
    virtual int BarHeight() const = 0;
    virtual void OnUpdateCmdUI(CFrameWnd* target, BOOL disableIfNoHandler) = 0;
    CFrameWnd* GetParentFrame() const;

protected:
    void PostNcDestroy() override {}
    DWORD m_dwStyle = 0;
    BOOL CreateBar(CWnd* parent, DWORD style, UINT id);
};

class CStatusBar : public CControlBar {
    DECLARE_DYNAMIC(CStatusBar)
public:
    BOOL Create(CWnd* parent, DWORD style = WS_CHILD | WS_VISIBLE | CBRS_BOTTOM,
                UINT id = AFX_IDW_STATUS_BAR);
    BOOL CreateEx(CWnd* parent, DWORD ctrlStyle = 0, DWORD style = WS_CHILD | WS_VISIBLE | CBRS_BOTTOM,
                  UINT id = AFX_IDW_STATUS_BAR) {
        (void)ctrlStyle;
        return Create(parent, style, id);
    }
    // Panes from the ids; each pane's text and width from the id's string.
    BOOL SetIndicators(const UINT* ids, int count);
    void SetPaneInfo(int index, UINT id, UINT style, int width);
    void GetPaneInfo(int index, UINT& id, UINT& style, int& width) const;
    UINT GetItemID(int index) const;
    int CommandToIndex(UINT id) const;
    BOOL SetPaneText(int index, LPCWSTR text, BOOL update = TRUE);
    CString GetPaneText(int index) const;
    int GetCount() const { return static_cast<int>(m_panes.size()); }
    void GetItemRect(int index, LPRECT rect) const;
    int BarHeight() const override;
    void OnUpdateCmdUI(CFrameWnd* target, BOOL disableIfNoHandler) override;

    struct Pane {
        UINT id;
        UINT style;
        int width;
        CString text;
    };

protected:
    afx_msg void OnPaint();
    afx_msg BOOL OnEraseBkgnd(CDC* dc);
    afx_msg void OnSize(UINT type, int cx, int cy);
    std::vector<Pane> m_panes;
    DECLARE_MESSAGE_MAP()
};

class CToolBar : public CControlBar {
    DECLARE_DYNAMIC(CToolBar)
public:
    BOOL Create(CWnd* parent, DWORD style = WS_CHILD | WS_VISIBLE | CBRS_TOP, UINT id = AFX_IDW_TOOLBAR);
    BOOL CreateEx(CWnd* parent, DWORD ctrlStyle = TBSTYLE_FLAT,
                  DWORD style = WS_CHILD | WS_VISIBLE | CBRS_TOP, CRect borders = CRect(0, 0, 0, 0),
                  UINT id = AFX_IDW_TOOLBAR) {
        (void)ctrlStyle, (void)borders;
        return Create(parent, style, id);
    }
    // The buttons of a registered toolbar resource (ids, 0 a separator).
    BOOL LoadToolBar(UINT id);
    BOOL SetButtons(const UINT* ids, int count);
    int GetCount() const { return static_cast<int>(m_buttons.size()); }
    UINT GetItemID(int index) const;
    int CommandToIndex(UINT id) const;
    void GetItemRect(int index, LPRECT rect) const;
    UINT GetButtonStyle(int index) const;
    void SetButtonStyle(int index, UINT style);
    // The tooltip of a button: its string after "\n".
    CString GetToolTipText(int index) const;
    int BarHeight() const override;
    void OnUpdateCmdUI(CFrameWnd* target, BOOL disableIfNoHandler) override;

    struct Button {
        UINT id;
        UINT style; // TBSTYLE_SEP, TBBS_DISABLED, TBBS_CHECKED
        int image;
    };
    static void RegisterToolBarResource(UINT id, std::vector<UINT> buttons);

protected:
    afx_msg void OnPaint();
    afx_msg BOOL OnEraseBkgnd(CDC* dc);
    afx_msg void OnMouseMove(UINT flags, CPoint pt);
    afx_msg void OnLButtonDown(UINT flags, CPoint pt);
    afx_msg void OnLButtonUp(UINT flags, CPoint pt);
    int HitTest(CPoint pt) const;
    std::vector<Button> m_buttons;
    int m_hot = -1, m_pressed = -1;
    DECLARE_MESSAGE_MAP()
};
#define TBBS_BUTTON 0x0000
#define TBBS_SEPARATOR 0x0001
#define TBBS_CHECKBOX 0x0002
#define TBBS_CHECKED 0x0100
#define TBBS_DISABLED 0x0400

// --- Command line -----------------------------------------------------------------------------------

class CCommandLineInfo : public CObject {
public:
    enum { FileNew, FileOpen, FilePrint, FilePrintTo, FileDDE, AppRegister, AppUnregister, FileNothing = -1 };
    CCommandLineInfo() = default;
    ~CCommandLineInfo() override = default;
    // Called for each argument after the program's name; flags have their
    // "-" removed.
    virtual void ParseParam(LPCWSTR param, BOOL flag, BOOL last);

    BOOL m_bShowSplash = TRUE;
    BOOL m_bRunEmbedded = FALSE;
    BOOL m_bRunAutomated = FALSE;
    int m_nShellCommand = FileNew;
    CString m_strFileName;
};

BOOL AfxOleInit();
// The program's entry, called by the display layer's main once it is up.
int AfxWinMain(HINSTANCE instance, HINSTANCE prev, LPWSTR cmdLine, int cmdShow);

#if defined(__clang__)
#pragma clang diagnostic pop
#endif
