// CDialog with data exchange, and the message-map entries of dialogs and
// control notifications.
#pragma once
// Like MFC's, the window classes here declare Create and CreateEx with their
// own parameters, hiding CWnd's on purpose: a control is made through its own
// form only. clang warns of each such hiding; the hiding is the interface.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Woverloaded-virtual"
#endif

#include <windows.h>

#include "mfc/cstring.h"
#include "mfc/wnd.h"
#include "win32/dialog.h"

// Control notifications: WM_COMMAND entries that match the notification code.
#define AFX_NOTIFY_COMMAND(code, id, fn)                                                                     \
    {WM_COMMAND,                                                                                             \
     static_cast<UINT>(code),                                                                                \
     static_cast<UINT>(id),                                                                                  \
     static_cast<UINT>(id),                                                                                  \
     AfxSig_cmd,                                                                                             \
     {.pfn = static_cast<void (CCmdTarget::*)()>(&ThisClass::fn)}},
#define ON_CONTROL(code, id, fn) AFX_NOTIFY_COMMAND(code, id, fn)
#define ON_BN_CLICKED(id, fn) AFX_NOTIFY_COMMAND(BN_CLICKED, id, fn)
#define ON_BN_DOUBLECLICKED(id, fn) AFX_NOTIFY_COMMAND(BN_DOUBLECLICKED, id, fn)
#define ON_EN_CHANGE(id, fn) AFX_NOTIFY_COMMAND(EN_CHANGE, id, fn)
#define ON_EN_UPDATE(id, fn) AFX_NOTIFY_COMMAND(EN_UPDATE, id, fn)
#define ON_EN_SETFOCUS(id, fn) AFX_NOTIFY_COMMAND(EN_SETFOCUS, id, fn)
#define ON_EN_KILLFOCUS(id, fn) AFX_NOTIFY_COMMAND(EN_KILLFOCUS, id, fn)
#define ON_EN_MAXTEXT(id, fn) AFX_NOTIFY_COMMAND(EN_MAXTEXT, id, fn)
#define ON_CBN_SELCHANGE(id, fn) AFX_NOTIFY_COMMAND(CBN_SELCHANGE, id, fn)
#define ON_CBN_EDITCHANGE(id, fn) AFX_NOTIFY_COMMAND(CBN_EDITCHANGE, id, fn)
#define ON_CBN_EDITUPDATE(id, fn) AFX_NOTIFY_COMMAND(CBN_EDITUPDATE, id, fn)
#define ON_CBN_DROPDOWN(id, fn) AFX_NOTIFY_COMMAND(CBN_DROPDOWN, id, fn)
#define ON_CBN_CLOSEUP(id, fn) AFX_NOTIFY_COMMAND(CBN_CLOSEUP, id, fn)
#define ON_CBN_SELENDOK(id, fn) AFX_NOTIFY_COMMAND(CBN_SELENDOK, id, fn)
#define ON_CBN_SELENDCANCEL(id, fn) AFX_NOTIFY_COMMAND(CBN_SELENDCANCEL, id, fn)
#define ON_CBN_SETFOCUS(id, fn) AFX_NOTIFY_COMMAND(CBN_SETFOCUS, id, fn)
#define ON_CBN_KILLFOCUS(id, fn) AFX_NOTIFY_COMMAND(CBN_KILLFOCUS, id, fn)
#define ON_STN_CLICKED(id, fn) AFX_NOTIFY_COMMAND(STN_CLICKED, id, fn)

// WM_NOTIFY entries: void fn(NMHDR*, LRESULT*).
#define ON_NOTIFY(code, id, fn)                                                                              \
    {WM_NOTIFY,                                                                                              \
     static_cast<UINT>(code),                                                                                \
     static_cast<UINT>(id),                                                                                  \
     static_cast<UINT>(id),                                                                                  \
     AfxSig_cmd,                                                                                             \
     {.vNotify = static_cast<void (CWnd::*)(NMHDR*, LRESULT*)>(&ThisClass::fn)}},

#define ON_WM_CTLCOLOR()                                                                                     \
    {0x7FFF0001, 0,                                                                                          \
     0,          0,                                                                                          \
     AfxSig_cmd, {.hCtlColor = static_cast<HBRUSH (CWnd::*)(CDC*, CWnd*, UINT)>(&ThisClass::OnCtlColor)}},
#define ON_WM_DRAWITEM()                                                                                     \
    {0x7FFF0002, 0,                                                                                          \
     0,          0,                                                                                          \
     AfxSig_cmd, {.vDrawItem = static_cast<void (CWnd::*)(int, LPDRAWITEMSTRUCT)>(&ThisClass::OnDrawItem)}},
#define ON_WM_GETMINMAXINFO()                                                                                \
    {0x7FFF0003, 0,                                                                                          \
     0,          0,                                                                                          \
     AfxSig_cmd, {.vMinMax = static_cast<void (CWnd::*)(MINMAXINFO*)>(&ThisClass::OnGetMinMaxInfo)}},

#define CTLCOLOR_MSGBOX 0
#define CTLCOLOR_EDIT 1
#define CTLCOLOR_LISTBOX 2
#define CTLCOLOR_BTN 3
#define CTLCOLOR_DLG 4
#define CTLCOLOR_SCROLLBAR 5
#define CTLCOLOR_STATIC 6

class CDataExchange;

class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)
public:
    CDialog() = default;
    explicit CDialog(UINT idTemplate, CWnd* parent = nullptr);
    explicit CDialog(LPCWSTR templateName, CWnd* parent = nullptr);
    ~CDialog() override;

    // Modal: runs until EndDialog; the owner (the parent's top-level window,
    // else the main window) is disabled meanwhile. -1 when the template is missing.
    virtual INT_PTR DoModal();
    BOOL InitModalIndirect(LPCDLGTEMPLATE tmpl, CWnd* parent = nullptr);
    // Modeless. Without a parent the main window owns it.
    virtual BOOL Create(UINT idTemplate, CWnd* parent = nullptr);
    virtual BOOL Create(LPCWSTR templateName, CWnd* parent = nullptr);
    virtual BOOL CreateIndirect(LPCDLGTEMPLATE tmpl, CWnd* parent = nullptr);
    void EndDialog(int result);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* dx);
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    BOOL PreTranslateMessage(MSG* msg) override;

    void NextDlgCtrl() const { ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 0, 0); }
    void PrevDlgCtrl() const { ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 1, 0); }
    void GotoDlgCtrl(CWnd* ctl) {
        if (ctl) ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ctl->m_hWnd), 1);
    }
    void SetDefID(UINT id) { ::SendMessageW(m_hWnd, DM_SETDEFID, id, 0); }
    DWORD GetDefID() const { return static_cast<DWORD>(::SendMessageW(m_hWnd, DM_GETDEFID, 0, 0)); }
    void MapDialogRect(LPRECT r) const { ::MapDialogRect(m_hWnd, r); }
    // Centres over the owner when it is visible and not minimised, else over the work area.
    void CenterWindow(CWnd* alternate = nullptr);

    void SetDlgItemText(int id, LPCWSTR text) { ::SetDlgItemTextW(m_hWnd, id, text); }
    int GetDlgItemText(int id, LPWSTR buf, int max) const {
        return int(::GetDlgItemTextW(m_hWnd, id, buf, max));
    }
    int GetDlgItemText(int id, CString& out) const;
    void SetDlgItemInt(int id, UINT value, BOOL isSigned = TRUE) {
        ::SetDlgItemInt(m_hWnd, id, value, isSigned);
    }
    UINT GetDlgItemInt(int id, BOOL* ok = nullptr, BOOL isSigned = TRUE) const {
        return ::GetDlgItemInt(m_hWnd, id, ok, isSigned);
    }
    void CheckDlgButton(int id, UINT check) { ::CheckDlgButton(m_hWnd, id, check); }
    UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
    void CheckRadioButton(int first, int last, int check) { ::CheckRadioButton(m_hWnd, first, last, check); }
    int GetCheckedRadioButton(int first, int last) const;
    LRESULT SendDlgItemMessage(int id, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendDlgItemMessageW(m_hWnd, id, msg, wParam, lParam);
    }

    LPCWSTR m_lpszTemplateName = nullptr;
    UINT m_nIDHelp = 0;
    CWnd* m_pParentWnd = nullptr;
    LPCDLGTEMPLATE m_lpDialogTemplate = nullptr;

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);
    // The template bytes for DoModal and Create; null when missing.
    LPCDLGTEMPLATE FindTemplate() const;
    BOOL CreateFrom(LPCDLGTEMPLATE tmpl, CWnd* parent, bool modal);

    DECLARE_MESSAGE_MAP()
};

// Data exchange between a dialog's controls and its members.
class CDataExchange {
public:
    CDataExchange(CWnd* dlg, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dlg) {}
    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
    HWND m_hWndLastControl = nullptr;
    BOOL m_bEditLastControl = FALSE;
    HWND PrepareCtrl(int id);
    HWND PrepareEditCtrl(int id);
    // Selects the last control and ends the exchange (UpdateData gives FALSE).
    [[noreturn]] void Fail();
};

void DDX_Text(CDataExchange* dx, int id, CString& value);
void DDX_Text(CDataExchange* dx, int id, int& value);
void DDX_Text(CDataExchange* dx, int id, UINT& value);
void DDX_Check(CDataExchange* dx, int id, int& value);
void DDX_Radio(CDataExchange* dx, int id, int& value);
void DDX_CBString(CDataExchange* dx, int id, CString& value);
void DDX_CBIndex(CDataExchange* dx, int id, int& index);
void DDX_Control(CDataExchange* dx, int id, CWnd& control);

#if defined(__clang__)
#pragma clang diagnostic pop
#endif
