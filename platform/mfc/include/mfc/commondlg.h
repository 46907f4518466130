// The common dialogs' classes: file, colour and font.
#pragma once

#include <string>

#include "mfc/cstring.h"
#include "mfc/dialog.h"
#include "mfc/wnd.h"

// A common dialog is a CDialog: a file dialog's template panel is its window
// while it runs, with data exchange, control notifications and OnInitDialog.
class CCommonDialog : public CDialog {
    DECLARE_DYNAMIC(CCommonDialog)
public:
    explicit CCommonDialog(CWnd* parent) { m_pParentWnd = parent; }
    INT_PTR DoModal() override = 0;

protected:
    HWND OwnerWindow() const;
};

class CFileDialog : public CCommonDialog {
    DECLARE_DYNAMIC(CFileDialog)
public:
    // filter: MFC's "name|patterns|...||".
    explicit CFileDialog(BOOL openFileDialog, LPCWSTR defExt = nullptr, LPCWSTR fileName = nullptr,
                         DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCWSTR filter = nullptr,
                         CWnd* parent = nullptr, DWORD size = 0, BOOL vistaStyle = TRUE);
    INT_PTR DoModal() override;
    CString GetPathName() const;
    CString GetFileName() const;
    CString GetFileExt() const;
    CString GetFileTitle() const;
    CString GetFolderPath() const;

    OPENFILENAMEW m_ofn{};

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    // A confirmed name: TRUE keeps the dialog open. With OFN_ENABLETEMPLATE
    // (and no hook of the caller's) it comes through the panel's
    // CDN_FILEOK, the panel being this dialog's window.
    virtual BOOL OnFileNameOK();
    // Enter and Esc in the panel belong to the file dialog, not the panel.
    void OnOK() override {}
    void OnCancel() override {}
    BOOL m_bOpenFileDialog;
    std::u16string m_filter, m_defExt, m_title, m_initialDir;
    char16_t m_szFileName[4096]{};
    char16_t m_szFileTitle[260]{};
};

class CColorDialog : public CCommonDialog {
    DECLARE_DYNAMIC(CColorDialog)
public:
    explicit CColorDialog(COLORREF init = 0, DWORD flags = 0, CWnd* parent = nullptr);
    INT_PTR DoModal() override;
    COLORREF GetColor() const { return m_cc.rgbResult; }
    void SetCurrentColor(COLORREF c) { m_cc.rgbResult = c, m_cc.Flags |= CC_RGBINIT; }
    // The 16 custom colours all colour dialogs share unless given their own.
    static COLORREF* GetSavedCustomColors();

    CHOOSECOLORW m_cc{};
};

class CFontDialog : public CCommonDialog {
    DECLARE_DYNAMIC(CFontDialog)
public:
    explicit CFontDialog(LPLOGFONTW initial = nullptr, DWORD flags = CF_EFFECTS | CF_SCREENFONTS,
                         CDC* printer = nullptr, CWnd* parent = nullptr);
    INT_PTR DoModal() override;
    void GetCurrentFont(LPLOGFONTW lf) const { *lf = m_lf; }
    CString GetFaceName() const { return m_lf.lfFaceName; }
    int GetSize() const { return m_cf.iPointSize; }
    int GetWeight() const { return static_cast<int>(m_lf.lfWeight); }
    BOOL IsItalic() const { return m_lf.lfItalic ? TRUE : FALSE; }
    BOOL IsBold() const { return m_lf.lfWeight >= FW_BOLD ? TRUE : FALSE; }

    CHOOSEFONTW m_cf{};
    LOGFONTW m_lf{};
};
