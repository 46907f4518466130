// The saved-connection dialogs: the list ("ログイン情報"), which adds, edits,
// copies, deletes and reorders entries and writes the list back on OK, and
// the editor of one entry ("ログイン情報の編集").
#pragma once

#include <vector>

#include <afxwin.h>

class CConnectInfoDlg : public CDialog {
public:
    explicit CConnectInfoDlg(CWnd* parent = nullptr);

    CButton m_editButton;
    CButton m_upButton;
    CButton m_downButton;
    CButton m_delButton;
    CButton m_addButton;
    CListCtrl m_list;
    CButton m_okButton;
    std::vector<CString> m_passwords; // the plain passwords, by the rows' column "P"
    CString m_profileName;            // where the list lives; both empty for the program's own settings
    CString m_registryKey;
    CButton m_copyButton;

    BOOL OnInitDialog() override;
    void OnOK() override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    afx_msg void OnAdd();
    afx_msg void OnEdit();
    afx_msg void OnCopy();
    afx_msg void OnDel();
    afx_msg void OnUp();
    afx_msg void OnDown();
    afx_msg void OnListItemChanged(NMHDR* nm, LRESULT* result);
    afx_msg void OnSize(UINT type, int cx, int cy);
    afx_msg void OnDestroy();
    afx_msg void OnGetMinMaxInfo(MINMAXINFO* info);
    DECLARE_MESSAGE_MAP()

private:
    int SelectedRow() const;
    void UpdateButtons();
    // The edit dialog on a row's values (-1: an empty entry); true on OK.
    bool RunEditor(int row, const char16_t* modeWord, class CConnectInfoEditDlg& dlg);
    int AppendRow();
    void WriteRow(int row, const CConnectInfoEditDlg& dlg);
    void MoveRow(int step);
    void Layout();
};

class CConnectInfoEditDlg : public CDialog {
public:
    explicit CConnectInfoEditDlg(CWnd* parent = nullptr);

    CComboBox m_modeBox;
    CButton m_okButton;
    int m_useOci7 = 0;
    CString m_password;
    CString m_tns;
    CString m_user;
    CString m_notes;
    int m_connectMode = 1; // 1 NORMAL, 2 SYSDBA, 4 SYSOPER
    COLORREF m_textBgColor = 0xFFFFFF;
    COLORREF m_gridBgColor = 0xFFFFFF;
    CString m_modeWord; // "ADD", "EDIT" or "COPY"
    int m_customizeOption = 0;
    CStatic m_optionGroup;
    CStatic m_textBgLabel;
    CStatic m_gridBgLabel;

    BOOL OnInitDialog() override;
    void OnOK() override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    afx_msg void OnChangeUser();
    afx_msg void OnTextBgColor();
    afx_msg void OnCustomize();
    afx_msg void OnGridBgColor();
    afx_msg void OnDrawItem(int id, DRAWITEMSTRUCT* di);
    DECLARE_MESSAGE_MAP()

private:
    void UpdateControls();
    void ChooseColor(COLORREF* color);
    bool m_ready = false;
};
