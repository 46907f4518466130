// The version box.
#include "app/dialogs/aboutdlg.h"

#include <vector>

#include "oracle/oci_api.h"
#include "oracle/ora_globals.h"
#include "res/dialogs4.h"
#include "win32/module.h"
#include "win32/process.h"
#include "win32/version.h"

HCURSOR edit_link_cursor();

namespace {

CString ModulePath(HMODULE module) {
    std::vector<char16_t> path(1025, 0);
    DWORD n = ::GetModuleFileNameW(module, path.data(), 1024);
    if (n == 0 || n >= 1024) return CString();
    return CString(path.data(), static_cast<int>(n));
}

} // namespace

BEGIN_MESSAGE_MAP(CAboutDlg, CDialog)
ON_STN_CLICKED(IDC_ABOUT_ADDRESS, OnAddressClicked)
END_MESSAGE_MAP()

CAboutDlg::CAboutDlg(CWnd* parent) : CDialog(IDD_ABOUTBOX, parent) {}

CString CAboutDlg::VersionLine() {
    CString version;
    const CString exe = ModulePath(nullptr);
    DWORD size = exe.IsEmpty() ? 0 : ::GetFileVersionInfoSizeW(exe, nullptr);
    std::vector<char> block(size ? size : 1);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (size && ::GetFileVersionInfoW(exe, 0, size, block.data()) &&
        ::VerQueryValueW(block.data(), u"\\", reinterpret_cast<LPVOID*>(&info), &length) && info &&
        length >= sizeof(VS_FIXEDFILEINFO)) {
        version.Format(u"%u.%u.%u.%u", unsigned(HIWORD(info->dwFileVersionMS)),
                       unsigned(LOWORD(info->dwFileVersionMS)), unsigned(HIWORD(info->dwFileVersionLS)),
                       unsigned(LOWORD(info->dwFileVersionLS)));
    }
    CString line;
    line.Format(u"%s Version %s (%s)", u"Tavrelix", version.GetString(), u"64bit");
    return line;
}

CString CAboutDlg::ClientLine() {
    CString path = g_oci_module ? ModulePath(g_oci_module) : CString();
    CString version;
    if (g_oci_module) oci_get_dll_version(&version);
    CString line;
    line.Format(u"OCI: %s (Version %s)", path.GetString(), version.GetString());
    return line;
}

CString CAboutDlg::AddressText() {
    CString exe = ModulePath(nullptr);
    int slash = exe.ReverseFind(u'/');
    if (slash < 0) return CString();
    return exe.Left(slash + 1) + u"doc/manual.md";
}

void CAboutDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, IDC_ABOUT_VERSION, m_versionLine);
    DDX_Text(dx, IDC_ABOUT_CLIENT, m_clientLine);
}

BOOL CAboutDlg::OnInitDialog() {
    m_versionLine = VersionLine();
    m_clientLine = ClientLine();
    CDialog::OnInitDialog(); // transfers the lines
    SetDlgItemText(IDC_ABOUT_ADDRESS, AddressText());
    return TRUE;
}

LRESULT CAboutDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND address = ::GetDlgItem(m_hWnd, IDC_ABOUT_ADDRESS);
    if (message == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lParam) == address) {
        LRESULT brush = CDialog::WindowProc(message, wParam, lParam);
        ::SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 0xFF));
        return brush;
    }
    if (message == WM_SETCURSOR && reinterpret_cast<HWND>(wParam) == address && ::IsWindowVisible(address)) {
        if (HCURSOR link = edit_link_cursor()) {
            ::SetCursor(link);
            return TRUE;
        }
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

void CAboutDlg::OnAddressClicked() {
    CString address;
    GetDlgItemText(IDC_ABOUT_ADDRESS, address);
    if (!address.IsEmpty()) ::ShellExecuteW(m_hWnd, nullptr, address, nullptr, nullptr, SW_SHOWNORMAL);
}
