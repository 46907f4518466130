// The one-line input dialog.
#include "app/dialogs/inputdlg.h"

const InputDlgTemplate& CInputDlg::OneLineTemplate() {
    static const InputDlgTemplate tmpl = [] {
        InputDlgTemplate t{};
        t.dlg.style = 0x10000084; // WS_VISIBLE | DS_MODALFRAME | DS_3DLOOK
        t.dlg.cx = 250;
        t.dlg.cy = 70;
        return t;
    }();
    return tmpl;
}

INT_PTR CInputDlg::RunModal(CWnd* parent) {
    if (!InitModalIndirect(&OneLineTemplate().dlg, parent)) return -1;
    return DoModal();
}

BOOL CInputDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetWindowText(m_title);
    m_font.CreatePointFont(90, u"ＭＳ ゴシック");
    CRect client;
    GetClientRect(&client);
    const int w = client.Width();
    m_edit.Create(WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, CRect(10, 15, w - 10, 39),
                  this, IDC_INPUT_EDIT);
    m_ok.Create(u"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                CRect(w / 2 - 90, 49, w / 2 - 10, 73), this, IDOK);
    m_cancel.Create(u"CANCEL", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                    CRect(w / 2 + 10, 49, w / 2 + 90, 73), this, IDCANCEL);
    SetFont(&m_font);
    m_edit.SetFont(&m_font);
    m_ok.SetFont(&m_font);
    m_cancel.SetFont(&m_font);
    m_edit.SetWindowText(m_text);
    SetWindowPos(nullptr, 0, 0, w + 2 * ::GetSystemMetrics(SM_CXDLGFRAME) + 10,
                 ::GetSystemMetrics(SM_CYCAPTION) + 2 * ::GetSystemMetrics(SM_CYDLGFRAME) + 93,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The text selected in the focused edit, ready to be typed over.
    m_edit.SetSel(0, -1);
    GotoDlgCtrl(&m_edit);
    return FALSE;
}

void CInputDlg::OnOK() {
    GetDlgItemText(IDC_INPUT_EDIT, m_text);
    CDialog::OnOK();
}
