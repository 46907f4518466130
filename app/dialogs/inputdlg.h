// The one-line input dialog: an in-memory template of the caller's without
// items; the dialog makes its edit and two buttons itself.
#pragma once

#include <afxwin.h>

// A dialog template without items, menu, class, title or font.
struct InputDlgTemplate {
    DLGTEMPLATE dlg;
    WORD menu = 0;
    WORD windowClass = 0;
    WORD title = 0;
    WORD pad = 0;
};

class CInputDlg : public CDialog {
public:
    enum { IDC_INPUT_EDIT = 1010 };
    CInputDlg() = default;

    CString m_title; // the caption
    CString m_text;  // in and out

    // The template of the column-width command and the scripts' input box:
    // style 0x10000084, no items, at (0, 0), 250 x 70 dialog units.
    static const InputDlgTemplate& OneLineTemplate();
    // InitModalIndirect with that template and DoModal.
    INT_PTR RunModal(CWnd* parent);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    CFont m_font;
    CEdit m_edit;
    CButton m_ok, m_cancel;
};
