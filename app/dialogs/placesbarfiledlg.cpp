// The classic file dialog's modal run.
#include "app/dialogs/placesbarfiledlg.h"

#include <algorithm>

CPlacesBarFileDlg::CPlacesBarFileDlg(BOOL openFileDialog, LPCWSTR defExt, LPCWSTR fileName, DWORD flags,
                                     LPCWSTR filter, CWnd* parent)
    : CFileDialog(openFileDialog, defExt, fileName, flags, filter, parent, 0, FALSE) {}

INT_PTR CPlacesBarFileDlg::DoModal() {
    // Nothing of an earlier name may follow the initial one's terminating zero.
    size_t end = std::char_traits<char16_t>::length(m_szFileName);
    std::fill(m_szFileName + end, m_szFileName + sizeof m_szFileName / sizeof m_szFileName[0], u'\0');

    HWND focus = ::GetFocus();
    HWND owner =
        m_pParentWnd && m_pParentWnd->GetSafeHwnd() ? m_pParentWnd->GetSafeHwnd() : ::GetActiveWindow();
    bool disabled = false;
    if (owner && ::IsWindowEnabled(owner)) {
        ::EnableWindow(owner, FALSE);
        disabled = true;
    }
    m_ofn.hwndOwner = owner;
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = sizeof m_szFileName / sizeof m_szFileName[0];
    m_ofn.lpstrFileTitle = m_szFileTitle;
    m_ofn.nMaxFileTitle = sizeof m_szFileTitle / sizeof m_szFileTitle[0];
    m_ofn.lpstrFilter = m_filter.empty() ? nullptr : m_filter.c_str();
    m_ofn.lpstrDefExt = m_defExt.empty() ? nullptr : m_defExt.c_str();
    m_ofn.lpstrInitialDir = m_initialDir.empty() ? nullptr : m_initialDir.c_str();
    if (!m_title.empty()) m_ofn.lpstrTitle = m_title.c_str();
    BOOL ok = m_bOpenFileDialog ? ::GetOpenFileNameW(&m_ofn) : ::GetSaveFileNameW(&m_ofn);
    if (disabled) ::EnableWindow(owner, TRUE);
    if (focus && ::IsWindow(focus)) ::SetFocus(focus);
    return ok ? IDOK : IDCANCEL;
}
