// The query worker and its modal progress dialog "実行中": the worker runs a
// SELECT into a dataset and reports through the dialog's window; the dialog
// resumes it, shows its lines, asks before cancelling and ends when the
// worker reports the end.
#pragma once

#include <afxwin.h>

#include "oracle/ora_dataset.h"
#include "oracle/ora_globals.h"

#define QPM_FINISHED 0x8064       // wParam: result code (posted)
#define QPM_ENABLECANCEL 0x8066   // wParam: 0 or 1 (sent)
#define QPM_UPDATEALLVIEWS 0x04C8 // WM_USER + 200; wParam hint, lParam hint object

#define IDT_CANCELDLG_SHOW 1

// The worker's parameter block, on the caller's stack until the worker is joined.
struct QueryThreadParams {
    OraSession* session = nullptr;
    OraDataset* dataset = nullptr;
    const char16_t* sql = nullptr;
    CString errorText;
    HWND progressWnd = nullptr; // written by CCancelDlg::OnInitDialog before the worker runs
    CancelState* cancel = nullptr;
    int result = 0;
};

unsigned QueryThreadProc(void* params);

class CCancelDlg : public CDialog {
public:
    explicit CCancelDlg(CWnd* parent = nullptr);
    ~CCancelDlg() override;

    CString m_line1, m_line2;
    HANDLE m_thread = nullptr;
    HWND* m_pProgressWnd = nullptr;
    CancelState m_cancelState{0};
    int m_result = 0;
    CDocument* m_pDoc = nullptr;
    int m_delayedShow = 1;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnCancel() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    UINT_PTR m_showTimer = 0;
    RECT m_createRect{};
};

// Runs sql on the query worker behind CCancelDlg, the dialog shown at once
// unless delayedShow (then only after 500 ms). 0 or 9 (cancelled, the rows
// fetched so far kept) on success; another code with the message in msg.
// When no worker can be made no dialog opens and msg is "スレッド作成エラー".
int RunQueryWithProgress(OraSession* s, OraDataset* ds, const char16_t* sql, CString* msg, CWnd* parent,
                         int delayedShow = 0, CDocument* doc = nullptr);
// The same with a dialog of the caller's (its flags and document set).
int RunQueryInDialog(CCancelDlg& dlg, OraSession* s, OraDataset* ds, const char16_t* sql, CString* msg);
