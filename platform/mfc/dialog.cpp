// CDialog: template lookup, modal and modeless creation, the dialog keys
// through IsDialogMessage, and data exchange.
#include "mfc/dialog.h"

#include <memory>

#include "mfc/app.h"
#include "mfc/controls.h"

IMPLEMENT_DYNAMIC(CDialog, CWnd)
IMPLEMENT_DYNAMIC(CButton, CWnd)
IMPLEMENT_DYNAMIC(CStatic, CWnd)
IMPLEMENT_DYNAMIC(CEdit, CWnd)
IMPLEMENT_DYNAMIC(CListCtrl, CWnd)
IMPLEMENT_DYNAMIC(CComboBox, CWnd)
IMPLEMENT_DYNAMIC(CProgressCtrl, CWnd)
IMPLEMENT_DYNAMIC(CSpinButtonCtrl, CWnd)

namespace {

// A framework string (the program's script may reword it), else its wording here.
CString FrameworkString(UINT id, LPCWSTR fallback) {
    CString s;
    if (!s.LoadString(id)) s = fallback;
    return s;
}

// Private message numbers of map entries CWnd's dispatcher must not match.
constexpr UINT kCtlColorEntry = 0x7FFF0001;
constexpr UINT kDrawItemEntry = 0x7FFF0002;
constexpr UINT kMinMaxEntry = 0x7FFF0003;

struct DdxFailure {};

std::u16string ClassOf(HWND hwnd) {
    char16_t buf[64];
    int n = GetClassNameW(hwnd, buf, 64);
    std::u16string s(buf, size_t(n > 0 ? n : 0));
    for (char16_t& c : s)
        if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
    return s;
}

HWND OwnerFor(CWnd* parent) {
    HWND p = parent ? parent->GetSafeHwnd() : nullptr;
    if (!p)
        if (CWnd* main = AfxGetMainWnd()) p = main->GetSafeHwnd();
    return p ? GetAncestor(p, GA_ROOT) : nullptr;
}

const AFX_MSGMAP_ENTRY* FindEntry(const AFX_MSGMAP* map, UINT message, UINT code, UINT id, bool anyId) {
    for (; map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr)
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nSig != AfxSig_end; ++e)
            if (e->nMessage == message && (anyId || (e->nCode == code && id >= e->nID && id <= e->nLastID)))
                return e;
    return nullptr;
}

} // namespace

CWnd* AfxNewTempWnd(HWND hwnd) {
    std::u16string c = ClassOf(hwnd);
    if (c == u"button") return new CButton;
    if (c == u"static") return new CStatic;
    if (c == u"edit") return new CEdit;
    if (c == u"syslistview32") return new CListCtrl;
    if (c == u"combobox") return new CComboBox;
    if (c == u"msctls_progress32") return new CProgressCtrl;
    if (c == u"msctls_updown32") return new CSpinButtonCtrl;
    if (c == u"#32770") return new CDialog;
    return new CWnd;
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_MESSAGE(WM_INITDIALOG, HandleInitDialog)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT idTemplate, CWnd* parent)
    : m_lpszTemplateName(MAKEINTRESOURCEW(idTemplate)), m_nIDHelp(idTemplate), m_pParentWnd(parent) {}

CDialog::CDialog(LPCWSTR templateName, CWnd* parent)
    : m_lpszTemplateName(templateName), m_pParentWnd(parent) {}

CDialog::~CDialog() {
    if (m_hWnd) DestroyWindow();
}

LPCDLGTEMPLATE CDialog::FindTemplate() const {
    if (m_lpDialogTemplate) return m_lpDialogTemplate;
    if (!m_lpszTemplateName) return nullptr;
    HRSRC res = FindResourceW(nullptr, m_lpszTemplateName, RT_DIALOG);
    if (!res) return nullptr;
    return static_cast<LPCDLGTEMPLATE>(LockResource(LoadResource(nullptr, res)));
}

BOOL CDialog::InitModalIndirect(LPCDLGTEMPLATE tmpl, CWnd* parent) {
    m_lpDialogTemplate = tmpl;
    if (parent) m_pParentWnd = parent;
    return tmpl != nullptr;
}

BOOL CDialog::CreateFrom(LPCDLGTEMPLATE tmpl, CWnd* parent, bool modal) {
    if (!tmpl) return FALSE;
    if (parent) m_pParentWnd = parent;
    HWND owner = OwnerFor(m_pParentWnd);
    win32dlg::Template t;
    if (!win32dlg::ParseTemplate(tmpl, 0, &t)) return FALSE;
    AfxHookWindowCreate(this);
    HWND dlg = win32dlg::CreateFromTemplate(
        nullptr, tmpl, m_pParentWnd && (t.style & WS_CHILD) ? m_pParentWnd->GetSafeHwnd() : owner, nullptr, 0,
        !modal);
    AfxUnhookWindowCreate();
    if (!dlg) {
        if (m_hWnd && !::IsWindow(m_hWnd)) m_hWnd = nullptr;
        return FALSE;
    }
    if (IS_INTRESOURCE(m_lpszTemplateName) && m_lpszTemplateName && !m_lpDialogTemplate)
        win32dlg::SetTemplateId(dlg, int(reinterpret_cast<ULONG_PTR>(m_lpszTemplateName)));
    return TRUE;
}

BOOL CDialog::Create(UINT idTemplate, CWnd* parent) {
    return Create(MAKEINTRESOURCEW(idTemplate), parent);
}

BOOL CDialog::Create(LPCWSTR templateName, CWnd* parent) {
    m_lpszTemplateName = templateName;
    if (IS_INTRESOURCE(templateName)) m_nIDHelp = UINT(reinterpret_cast<ULONG_PTR>(templateName));
    LPCDLGTEMPLATE saved = m_lpDialogTemplate;
    m_lpDialogTemplate = nullptr;
    BOOL ok = CreateFrom(FindTemplate(), parent, false);
    m_lpDialogTemplate = saved;
    return ok;
}

BOOL CDialog::CreateIndirect(LPCDLGTEMPLATE tmpl, CWnd* parent) {
    return CreateFrom(tmpl, parent, false);
}

INT_PTR CDialog::DoModal() {
    LPCDLGTEMPLATE tmpl = FindTemplate();
    if (!tmpl) return -1;
    HWND owner = OwnerFor(m_pParentWnd);
    if (!CreateFrom(tmpl, nullptr, true)) return -1;
    HWND dlg = m_hWnd;
    INT_PTR result = win32dlg::RunModal(dlg, owner);
    return result;
}

void CDialog::EndDialog(int result) {
    ::EndDialog(m_hWnd, result);
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) {
    return OnInitDialog();
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL save) {
    CDataExchange dx(this, save);
    try {
        DoDataExchange(&dx);
    } catch (const DdxFailure&) {
        return FALSE;
    }
    return TRUE;
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
    if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST && m_hWnd &&
        (msg->hwnd == m_hWnd || ::IsChild(m_hWnd, msg->hwnd)))
        return ::IsDialogMessageW(m_hWnd, msg);
    return FALSE;
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    return CWnd::OnCommand(wParam, lParam);
}

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const AFX_MSGMAP* map = GetMessageMap();
    if (message == WM_NOTIFY) {
        auto* nm = reinterpret_cast<NMHDR*>(lParam);
        if (nm)
            if (const AFX_MSGMAP_ENTRY* e = FindEntry(map, WM_NOTIFY, nm->code, UINT(nm->idFrom), false)) {
                LRESULT r = 0;
                (this->*(e->pfn.vNotify))(nm, &r);
                *result = r;
                return TRUE;
            }
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
        if (const AFX_MSGMAP_ENTRY* e = FindEntry(map, kCtlColorEntry, 0, 0, true)) {
            LRESULT def = Default();
            (void)def;
            CDC dc;
            dc.Attach(reinterpret_cast<HDC>(wParam));
            HBRUSH br = (this->*(e->pfn.hCtlColor))(&dc, CWnd::FromHandle(reinterpret_cast<HWND>(lParam)),
                                                    message - WM_CTLCOLORMSGBOX);
            dc.Detach();
            *result = reinterpret_cast<LRESULT>(br);
            return TRUE;
        }
    }
    if (message == WM_DRAWITEM)
        if (const AFX_MSGMAP_ENTRY* e = FindEntry(map, kDrawItemEntry, 0, 0, true)) {
            (this->*(e->pfn.vDrawItem))(int(wParam), reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
            *result = TRUE;
            return TRUE;
        }
    if (message == WM_GETMINMAXINFO)
        if (const AFX_MSGMAP_ENTRY* e = FindEntry(map, kMinMaxEntry, 0, 0, true)) {
            (this->*(e->pfn.vMinMax))(reinterpret_cast<MINMAXINFO*>(lParam));
            *result = 0;
            return TRUE;
        }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

void CDialog::CenterWindow(CWnd* alternate) {
    HWND over = alternate ? alternate->GetSafeHwnd() : ::GetWindow(m_hWnd, GW_OWNER);
    if (!over && (GetStyle() & WS_CHILD)) over = ::GetParent(m_hWnd);
    ::CenterWindowOver(m_hWnd, over);
}

int CDialog::GetDlgItemText(int id, CString& out) const {
    HWND c = ::GetDlgItem(m_hWnd, id);
    int n = c ? ::GetWindowTextLengthW(c) : 0;
    LPWSTR buf = out.GetBuffer(n);
    if (c)
        ::GetWindowTextW(c, buf, n + 1);
    else
        buf[0] = 0;
    out.ReleaseBuffer(n);
    return n;
}

int CDialog::GetCheckedRadioButton(int first, int last) const {
    for (int id = first; id <= last; ++id)
        if (IsDlgButtonChecked(id) == BST_CHECKED) return id;
    return 0;
}

// --- Data exchange ------------------------------------------------------------------------

HWND CDataExchange::PrepareCtrl(int id) {
    HWND c = ::GetDlgItem(m_pDlgWnd->GetSafeHwnd(), id);
    m_hWndLastControl = c;
    m_bEditLastControl = FALSE;
    return c;
}

HWND CDataExchange::PrepareEditCtrl(int id) {
    HWND c = PrepareCtrl(id);
    m_bEditLastControl = TRUE;
    return c;
}

void CDataExchange::Fail() {
    if (m_bSaveAndValidate && m_hWndLastControl) {
        ::SetFocus(m_hWndLastControl);
        if (m_bEditLastControl) ::SendMessageW(m_hWndLastControl, EM_SETSEL, 0, -1);
    }
    throw DdxFailure{};
}

namespace {
CString TextOf(HWND c) {
    CString s;
    if (!c) return s;
    int n = ::GetWindowTextLengthW(c);
    LPWSTR buf = s.GetBuffer(n);
    ::GetWindowTextW(c, buf, n + 1);
    s.ReleaseBuffer(n);
    return s;
}

void SetTextIfChanged(HWND c, const CString& value) {
    if (!c) return;
    if (TextOf(c) != value) ::SetWindowTextW(c, value);
}

// Parses a decimal integer with optional blanks around it; false for
// anything else or a value out of range.
bool ParseNumber(const CString& s, bool isSigned, long long* out) {
    const char16_t* p = s.GetString();
    while (*p == u' ' || *p == u'\t') ++p;
    bool neg = false;
    if (*p == u'-' || *p == u'+') {
        if (!isSigned && *p == u'-') return false;
        neg = *p++ == u'-';
    }
    if (*p < u'0' || *p > u'9') return false;
    long long v = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p) {
        v = v * 10 + (*p - u'0');
        if (v > 0xFFFFFFFFll) return false;
    }
    while (*p == u' ' || *p == u'\t') ++p;
    if (*p) return false;
    if (neg) v = -v;
    if (isSigned ? (v < -2147483648ll || v > 2147483647ll) : v > 0xFFFFFFFFll) return false;
    *out = v;
    return true;
}
} // namespace

void DDX_Text(CDataExchange* dx, int id, CString& value) {
    HWND c = dx->PrepareEditCtrl(id);
    if (dx->m_bSaveAndValidate)
        value = TextOf(c);
    else
        SetTextIfChanged(c, value);
}

void DDX_Text(CDataExchange* dx, int id, int& value) {
    HWND c = dx->PrepareEditCtrl(id);
    if (dx->m_bSaveAndValidate) {
        long long v;
        if (!ParseNumber(TextOf(c), true, &v)) {
            AfxMessageBox(FrameworkString(AFX_IDP_PARSE_INT, u"整数を入力してください。"),
                          MB_ICONEXCLAMATION);
            dx->Fail();
        }
        value = int(v);
    } else {
        CString s;
        s.Format(u"%d", value);
        SetTextIfChanged(c, s);
    }
}

void DDX_Text(CDataExchange* dx, int id, UINT& value) {
    HWND c = dx->PrepareEditCtrl(id);
    if (dx->m_bSaveAndValidate) {
        long long v;
        if (!ParseNumber(TextOf(c), false, &v)) {
            AfxMessageBox(FrameworkString(AFX_IDP_PARSE_UINT, u"正の整数を入力してください。"),
                          MB_ICONEXCLAMATION);
            dx->Fail();
        }
        value = UINT(v);
    } else {
        CString s;
        s.Format(u"%u", value);
        SetTextIfChanged(c, s);
    }
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
    HWND c = dx->PrepareCtrl(id);
    if (!c) return;
    if (dx->m_bSaveAndValidate)
        value = int(::SendMessageW(c, BM_GETCHECK, 0, 0));
    else
        ::SendMessageW(c, BM_SETCHECK, WPARAM(value), 0);
}

void DDX_Radio(CDataExchange* dx, int id, int& value) {
    HWND c = dx->PrepareCtrl(id);
    if (!c) return;
    if (dx->m_bSaveAndValidate) value = -1;
    // The group: from this button to before the next WS_GROUP.
    int index = 0;
    for (HWND b = c; b; b = ::GetWindow(b, GW_HWNDPREV), ++index) {
        if (b != c && (::GetWindowLongW(b, GWL_STYLE) & WS_GROUP)) break;
        if (!(::SendMessageW(b, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON)) continue;
        if (dx->m_bSaveAndValidate) {
            if (::SendMessageW(b, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
        } else {
            ::SendMessageW(b, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    }
}

void DDX_CBString(CDataExchange* dx, int id, CString& value) {
    HWND c = dx->PrepareCtrl(id);
    if (!c) return;
    if (dx->m_bSaveAndValidate) {
        value = TextOf(c);
    } else {
        LRESULT i =
            ::SendMessageW(c, CB_SELECTSTRING, WPARAM(-1), reinterpret_cast<LPARAM>(value.GetString()));
        if (i == CB_ERR) ::SetWindowTextW(c, value);
    }
}

void DDX_CBIndex(CDataExchange* dx, int id, int& index) {
    HWND c = dx->PrepareCtrl(id);
    if (!c) return;
    if (dx->m_bSaveAndValidate)
        index = int(::SendMessageW(c, CB_GETCURSEL, 0, 0));
    else
        ::SendMessageW(c, CB_SETCURSEL, WPARAM(index), 0);
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (control.GetSafeHwnd()) return;
    HWND c = dx->PrepareCtrl(id);
    if (c) control.SubclassWindow(c);
}
