// The version box: the program's version and word size, the loaded Oracle
// client's path and version, and the project's page.
#pragma once

#include <afxwin.h>

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(CWnd* parent = nullptr);

    CString m_versionLine; // "Tavrelix Version 1.2.3.0 (64bit)"
    CString m_clientLine;  // "OCI: <path> (Version <version>)"

    // The lines as the box shows them.
    static CString VersionLine();
    static CString ClientLine();
    // The page the address line opens: the project's manual installed beside
    // the program.
    static CString AddressText();

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnAddressClicked();
    DECLARE_MESSAGE_MAP()
};
