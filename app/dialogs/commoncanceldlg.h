// "実行中": the progress dialog of the save worker, built from a template in
// memory. Its children (a text line, a progress bar, a second line and the
// Cancel button, by its flags) are made when it starts; it resumes the worker,
// answers the worker's WPM_* messages and ends only when the worker posts
// WPM_FINISHED. Enter never closes it; Cancel asks first.
#pragma once

#include <afxwin.h>

#include <vector>

#include "oracle/ora_globals.h"

#define IDC_CCD_LINE1 110
#define IDC_CCD_LINE2 111
#define IDC_CCD_PROGRESS 120

class CCommonCancelDlg : public CDialog {
public:
    enum : int { kCancel = 1, kProgress = 2, kSecondLine = 4 };

    explicit CCommonCancelDlg(CWnd* parent = nullptr);
    ~CCommonCancelDlg() override;

    int m_flags = 0;
    HWND* m_pWorkerWnd = nullptr; // the worker's window field, written before it is resumed
    HANDLE m_thread = nullptr;
    CancelState m_cancelState{0};
    int m_result = 0;
    WPARAM m_value = 0;
    UINT m_extraMessage = 0; // 0: none

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    std::vector<WORD> m_template;
    CStatic m_line1, m_line2;
    CProgressCtrl m_progress;
    CButton m_cancel;
};
