// The login dialog: user, password, TNS with its history, connect mode and
// the Oracle 7 switch, the saved connections below with their filter box.
// OK logs on and closes only when the logon worked.
#pragma once

#include <vector>

#include <afxwin.h>

#include "app/connectinfo.h"
#include "app/dialogs/filteredit.h"

struct OraSession;

class CLogin : public CDialog {
public:
    explicit CLogin(CWnd* parent = nullptr);
    ~CLogin() override;

    OraSession* m_session = nullptr; // the caller owns it
    CString m_captionText;
    std::vector<CString> m_tnsHistory;
    int m_connectMode = 1;
    int m_keepFocus = 0;
    CString m_logPath;
    CString m_notes;
    CEdit m_userBox;
    CComboBox m_tnsBox;
    CButton m_oci7Box;
    CButton m_connectInfoButton;
    CButton m_cancelButton;
    CComboBox m_modeBox;
    CListCtrl m_list;
    CEdit m_passwordBox;
    CButton m_okButton;
    CString m_password;
    CString m_tns;
    CString m_user;
    int m_useOci7 = 0;
    std::vector<CString> m_passwords;
    CString m_profileName;
    CString m_registryKey;
    ConnectInfoList m_connectList;
    CStatic m_filterLabel;
    CFilterEditCtrl m_filterBox;
    HANDLE m_envThread = nullptr;
    // Set once the list's columns exist: only then are their widths stored.
    int m_columnsMade = 0;

    void ReadFields();
    void FillList(BOOL reload);
    void LoadTnsHistory(BOOL clear);
    void SaveTnsHistory();

    INT_PTR DoModal() override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    afx_msg int OnCreate(LPCREATESTRUCT cs);
    afx_msg void OnSize(UINT type, int cx, int cy);
    afx_msg void OnDestroy();
    afx_msg void OnGetMinMaxInfo(MINMAXINFO* info);
    afx_msg void OnChangeFields();
    afx_msg void OnListItemChanged(NMHDR* nm, LRESULT* result);
    afx_msg void OnListDblClk(NMHDR* nm, LRESULT* result);
    afx_msg void OnListColumnClick(NMHDR* nm, LRESULT* result);
    afx_msg void OnConnectInfo();
    afx_msg void OnAddConnectInfo();
    afx_msg void OnListAdd();
    afx_msg void OnListDelete();
    afx_msg void OnListClearFilter();
    afx_msg void OnListDeleteEntry();
    DECLARE_MESSAGE_MAP()

private:
    void SelectRow(int row);
    void PutMembers();
    void ReadBoxes();
    void ShowCannotSave(const CString& user, const CString& tns);
    int m_updating = 0;
    void Layout();
    WNDPROC m_tnsEditProc = nullptr;
    HWND m_tnsEdit = nullptr;
    static LRESULT TnsEditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};
