// The query worker and the "実行中" progress dialog.
#include "app/dialogs/querydlg.h"

#include "oracle/oci_exec.h"
#include "res/tablelist.h"

unsigned QueryThreadProc(void* arg) {
    auto* p = static_cast<QueryThreadParams*>(arg);
    if (p->progressWnd)
        ::SendMessageW(p->progressWnd, QPM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"SQL実行中"));
    p->result = oci_sel_dataset_with_cancel(p->session, p->dataset, p->sql, 100, &p->errorText,
                                            p->progressWnd, p->cancel, "");
    if (p->cancel) {
        while (p->cancel->load() == 2) ::Sleep(500);
        if (p->cancel->load() == 1) {
            p->result = ORARC_CANCELLED;
            p->errorText = u"キャンセルしました\n";
        }
    }
    if (p->progressWnd) {
        ::SendMessageW(p->progressWnd, QPM_ENABLECANCEL, 0, 0);
        ::PostMessageW(p->progressWnd, QPM_FINISHED, WPARAM(p->result), 0);
    }
    return unsigned(p->result);
}

CCancelDlg::CCancelDlg(CWnd* parent) : CDialog(IDD_QUERY_CANCEL, parent) {}

CCancelDlg::~CCancelDlg() = default;

void CCancelDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, IDC_QC_LINE1, m_line1);
    DDX_Text(dx, IDC_QC_LINE2, m_line2);
}

BOOL CCancelDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_cancelState = 0;
    // The size the timer restores: the frame's, now that it is complete.
    GetWindowRect(&m_createRect);
    if (m_showTimer) SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (m_pProgressWnd) *m_pProgressWnd = m_hWnd;
    if (m_thread) ::ResumeThread(m_thread);
    return TRUE;
}

void CCancelDlg::OnCancel() {
    m_cancelState = 2;
    int answer = MessageBox(u"キャンセルしますか？", u"確認", MB_YESNO | MB_ICONQUESTION);
    if (answer == IDYES) {
        m_cancelState = 1;
        if (CWnd* button = GetDlgItem(IDCANCEL)) button->EnableWindow(FALSE);
    } else {
        m_cancelState = 0;
    }
}

LRESULT CCancelDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case QPM_FINISHED:
        m_result = int(wParam);
        if (m_cancelState.load() == 2)
            CDialog::OnCancel();
        else
            CDialog::OnOK();
        return 0;
    case QPM_SETTEXT: {
        auto* text = reinterpret_cast<const char16_t*>(lParam);
        (wParam == 0 ? m_line1 : m_line2) = text ? text : u"";
        UpdateData(FALSE);
        return 0;
    }
    case QPM_ENABLECANCEL:
        if (CWnd* button = GetDlgItem(IDCANCEL)) button->EnableWindow(wParam ? TRUE : FALSE);
        return 0;
    case QPM_ROWSFETCHED:
        if (!m_showTimer) {
            m_line1.Format(u"検索結果転送中(%d)", int(lParam));
            UpdateData(FALSE);
        }
        return 0;
    case QPM_UPDATEALLVIEWS:
        if (m_pDoc) m_pDoc->UpdateAllViews(nullptr, LPARAM(wParam), reinterpret_cast<CObject*>(lParam));
        return 0;
    case WM_CREATE: {
        LRESULT r = CDialog::WindowProc(message, wParam, lParam);
        GetWindowRect(&m_createRect);
        if (m_delayedShow) {
            m_showTimer = SetTimer(IDT_CANCELDLG_SHOW, 500, nullptr);
            if (m_showTimer) SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        return r;
    }
    case WM_TIMER:
        if (wParam == IDT_CANCELDLG_SHOW) {
            int w = m_createRect.right - m_createRect.left, h = m_createRect.bottom - m_createRect.top;
            RECT frame = m_createRect;
            if (CWnd* main = AfxGetMainWnd(); main && main->GetSafeHwnd() && main->GetSafeHwnd() != m_hWnd)
                main->GetWindowRect(&frame);
            int x = frame.left + ((frame.right - frame.left) - w) / 2;
            int y = frame.top + ((frame.bottom - frame.top) - h) / 2;
            SetWindowPos(nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
            KillTimer(IDT_CANCELDLG_SHOW);
            m_showTimer = 0;
            return 0;
        }
        break;
    case WM_DESTROY: {
        LRESULT r = CDialog::WindowProc(message, wParam, lParam);
        if (m_showTimer) {
            KillTimer(IDT_CANCELDLG_SHOW);
            m_showTimer = 0;
        }
        return r;
    }
    default: break;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

int RunQueryInDialog(CCancelDlg& dlg, OraSession* s, OraDataset* ds, const char16_t* sql, CString* msg) {
    QueryThreadParams p;
    p.session = s;
    p.dataset = ds;
    p.sql = sql;
    dlg.m_pProgressWnd = &p.progressWnd;
    p.cancel = &dlg.m_cancelState;
    unsigned id = 0;
    uintptr_t thread = _beginthreadex(nullptr, 0, QueryThreadProc, &p, CREATE_SUSPENDED, &id);
    if (!thread) {
        // Without a worker nothing would ever end the dialog: fail at once.
        if (msg) *msg = u"スレッド作成エラー";
        return ORARC_FAILED;
    }
    dlg.m_thread = reinterpret_cast<HANDLE>(thread);
    dlg.DoModal();
    // A dialog that never started leaves the worker suspended: it runs without a window.
    if (!p.progressWnd) ::ResumeThread(dlg.m_thread);
    ::WaitForSingleObject(dlg.m_thread, INFINITE);
    ::CloseHandle(dlg.m_thread);
    dlg.m_thread = nullptr;
    dlg.m_pProgressWnd = nullptr;
    // LONG values cut at the read buffer: the rows are kept, and the user is
    // told before editing (and saving back) the shortened texts.
    if (p.result == ORARC_OK && ds && ds->long_cut_count > 0) {
        CWnd* owner = dlg.m_pParentWnd ? dlg.m_pParentWnd : AfxGetMainWnd();
        ::MessageBoxW(owner ? owner->GetSafeHwnd() : nullptr, p.errorText.GetString(), u"Message",
                      MB_ICONWARNING);
    }
    if (msg) *msg = p.errorText;
    return p.result;
}

int RunQueryWithProgress(OraSession* s, OraDataset* ds, const char16_t* sql, CString* msg, CWnd* parent,
                         int delayedShow, CDocument* doc) {
    CCancelDlg dlg(parent);
    dlg.m_pDoc = doc;
    dlg.m_delayedShow = delayedShow;
    return RunQueryInDialog(dlg, s, ds, sql, msg);
}
