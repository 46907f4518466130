// The common dialogs' classes over the Win32 calls.
#include "mfc/commondlg.h"

#include <algorithm>
#include <vector>

#include "win32/filepanel.h"

IMPLEMENT_DYNAMIC(CCommonDialog, CDialog)
IMPLEMENT_DYNAMIC(CFileDialog, CCommonDialog)
IMPLEMENT_DYNAMIC(CColorDialog, CCommonDialog)
IMPLEMENT_DYNAMIC(CFontDialog, CCommonDialog)

HWND CCommonDialog::OwnerWindow() const {
    if (m_pParentWnd && m_pParentWnd->m_hWnd) return m_pParentWnd->m_hWnd;
    HWND active = ::GetActiveWindow();
    return active;
}

// --- CFileDialog --------------------------------------------------------------------------------

CFileDialog::CFileDialog(BOOL openFileDialog, LPCWSTR defExt, LPCWSTR fileName, DWORD flags, LPCWSTR filter,
                         CWnd* parent, DWORD, BOOL)
    : CCommonDialog(parent), m_bOpenFileDialog(openFileDialog) {
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.Flags = flags | OFN_EXPLORER;
    if (defExt) m_defExt = defExt;
    if (fileName) {
        std::u16string f = fileName;
        size_t n = std::min<size_t>(f.size(), 4095);
        std::copy_n(f.data(), n, m_szFileName);
        m_szFileName[n] = 0;
    }
    if (filter) {
        // "|" separates the parts; the structure wants NULs.
        m_filter = filter;
        for (char16_t& c : m_filter)
            if (c == u'|') c = 0;
        m_filter.push_back(0);
    }
    m_ofn.nFilterIndex = 1;
}

BOOL CFileDialog::OnFileNameOK() {
    return FALSE;
}

namespace {
// The file dialogs running, innermost last: the panel hook's object.
std::vector<CFileDialog*>& Running() {
    static std::vector<CFileDialog*> v;
    return v;
}

// The hook of a template panel: the dialog object takes the panel as its
// window and initialises it; the rest reaches it through its message map.
INT_PTR PanelHook(HWND panel, UINT msg, WPARAM, LPARAM) {
    if (msg != WM_INITDIALOG || Running().empty()) return FALSE;
    CFileDialog* dlg = Running().back();
    if (dlg->m_hWnd || !dlg->SubclassWindow(panel)) return FALSE;
    return dlg->OnInitDialog();
}
} // namespace

BOOL CFileDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_NOTIFY && lParam && reinterpret_cast<NMHDR*>(lParam)->code == CDN_FILEOK) {
        // A dialog procedure's answer goes in DWLP_MSGRESULT: nonzero keeps the dialog open.
        ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, OnFileNameOK() ? 1 : 0);
        *result = TRUE;
        return TRUE;
    }
    return CCommonDialog::OnWndMsg(message, wParam, lParam, result);
}

INT_PTR CFileDialog::DoModal() {
    m_ofn.hwndOwner = OwnerWindow();
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = 4096;
    m_ofn.lpstrFileTitle = m_szFileTitle;
    m_ofn.nMaxFileTitle = 260;
    m_ofn.lpstrFilter = m_filter.empty() ? nullptr : m_filter.c_str();
    m_ofn.lpstrDefExt = m_defExt.empty() ? nullptr : m_defExt.c_str();
    // A template without the caller's own hook becomes this dialog's window.
    const bool panel = (m_ofn.Flags & OFN_ENABLETEMPLATE) && !(m_ofn.Flags & OFN_ENABLEHOOK);
    const DWORD flags = m_ofn.Flags;
    void* hook = m_ofn.lpfnHook;
    if (panel) {
        m_ofn.Flags |= OFN_EXPLORER | OFN_ENABLEHOOK;
        m_ofn.lpfnHook = reinterpret_cast<void*>(&PanelHook);
        Running().push_back(this);
    }
    BOOL ok = panel ? win32bk::RunFileDialog(&m_ofn, !m_bOpenFileDialog, {})
                    : win32bk::RunFileDialog(&m_ofn, !m_bOpenFileDialog, [this](const std::u16string&) {
                          return OnFileNameOK() != FALSE;
                      });
    if (panel) {
        Running().pop_back();
        if (m_hWnd) UnsubclassWindow(); // the panel is gone already unless a hook kept it
        m_ofn.Flags = flags;
        m_ofn.lpfnHook = hook;
    }
    return ok ? IDOK : IDCANCEL;
}

CString CFileDialog::GetPathName() const {
    return m_ofn.lpstrFile ? CString(m_ofn.lpstrFile) : CString(m_szFileName);
}

CString CFileDialog::GetFileName() const {
    std::u16string p = m_szFileName;
    size_t slash = p.find_last_of(u"\\/");
    return (slash == std::u16string::npos ? p : p.substr(slash + 1)).c_str();
}

CString CFileDialog::GetFileExt() const {
    std::u16string name = static_cast<LPCWSTR>(GetFileName());
    size_t dot = name.rfind(u'.');
    return dot == std::u16string::npos ? CString() : CString(name.substr(dot + 1).c_str());
}

CString CFileDialog::GetFileTitle() const {
    std::u16string name = static_cast<LPCWSTR>(GetFileName());
    size_t dot = name.rfind(u'.');
    return (dot == std::u16string::npos ? name : name.substr(0, dot)).c_str();
}

CString CFileDialog::GetFolderPath() const {
    std::u16string p = m_szFileName;
    size_t slash = p.find_last_of(u"\\/");
    return slash == std::u16string::npos ? CString() : CString(p.substr(0, slash).c_str());
}

// --- CColorDialog -------------------------------------------------------------------------------

COLORREF* CColorDialog::GetSavedCustomColors() {
    static COLORREF colors[16] = {
        RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255),
        RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255),
        RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255),
        RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255)};
    return colors;
}

CColorDialog::CColorDialog(COLORREF init, DWORD flags, CWnd* parent) : CCommonDialog(parent) {
    m_cc.lStructSize = sizeof m_cc;
    m_cc.lpCustColors = GetSavedCustomColors();
    m_cc.Flags = flags;
    if (init) SetCurrentColor(init);
}

INT_PTR CColorDialog::DoModal() {
    m_cc.hwndOwner = OwnerWindow();
    return ChooseColorW(&m_cc) ? IDOK : IDCANCEL;
}

// --- CFontDialog --------------------------------------------------------------------------------

CFontDialog::CFontDialog(LPLOGFONTW initial, DWORD flags, CDC*, CWnd* parent) : CCommonDialog(parent) {
    m_cf.lStructSize = sizeof m_cf;
    m_cf.Flags = flags;
    if (initial) {
        m_lf = *initial;
        m_cf.Flags |= CF_INITTOLOGFONTSTRUCT;
    }
    m_cf.lpLogFont = &m_lf;
}

INT_PTR CFontDialog::DoModal() {
    m_cf.hwndOwner = OwnerWindow();
    m_cf.lpLogFont = &m_lf;
    return ChooseFontW(&m_cf) ? IDOK : IDCANCEL;
}
