// The save worker's progress dialog.
#include "app/dialogs/commoncanceldlg.h"

#include <cstring>

#include "grid/oragrid.h"

namespace {

// A popup with caption and modal frame at (0, 0), 220 x 70 dialog units, no
// controls, captioned "実行中".
std::vector<WORD> ProgressTemplate() {
    static_assert(sizeof(DLGTEMPLATE) % sizeof(WORD) == 0);
    std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    DLGTEMPLATE head{};
    head.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
    head.cx = 220;
    head.cy = 70;
    std::memcpy(t.data(), &head, sizeof head);
    t.push_back(0); // no menu
    t.push_back(0); // the standard class
    for (const char16_t* p = u"実行中"; *p; ++p) t.push_back(*p);
    t.push_back(0);
    return t;
}

} // namespace

CCommonCancelDlg::CCommonCancelDlg(CWnd* parent) : m_template(ProgressTemplate()) {
    InitModalIndirect(reinterpret_cast<LPCDLGTEMPLATE>(m_template.data()), parent);
}

CCommonCancelDlg::~CCommonCancelDlg() = default;

BOOL CCommonCancelDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    CRect client;
    GetClientRect(&client);
    const int w = client.Width(), h = client.Height();
    CFont* font = GetFont();
    HFONT hfont = font ? static_cast<HFONT>(font->GetSafeHandle()) : nullptr;
    if (!hfont) hfont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    auto withFont = [hfont](CWnd& child) {
        child.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(hfont), 0);
    };

    m_line1.Create(u"msg", WS_CHILD | WS_VISIBLE, CRect(10, 10, w - 10, 30), this, IDC_CCD_LINE1);
    withFont(m_line1);
    if (m_flags & kProgress) {
        m_progress.Create(WS_CHILD | WS_VISIBLE | PBS_SMOOTH, CRect(10, 40, w - 10, 50), this,
                          IDC_CCD_PROGRESS);
    }
    if (m_flags & kSecondLine) {
        m_line2.Create(u"", WS_CHILD | WS_VISIBLE, CRect(10, 40, w - 10, 60), this, IDC_CCD_LINE2);
        withFont(m_line2);
    }
    if (m_flags & kCancel) {
        // Not a tab stop: the focus stays on the dialog, so Enter reaches
        // OnOK (nothing) rather than pressing Cancel.
        m_cancel.Create(u"Cancel", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
                        CRect(w / 2 - 40, h - 30, w / 2 + 40, h - 10), this, IDCANCEL);
        withFont(m_cancel);
    }
    m_cancelState = 0;
    if (m_pWorkerWnd) *m_pWorkerWnd = m_hWnd;
    if (m_thread) ::ResumeThread(m_thread);
    return TRUE;
}

void CCommonCancelDlg::OnOK() {
    // Enter does not end the dialog: the worker does.
}

void CCommonCancelDlg::OnCancel() {
    if (!(m_flags & kCancel)) return;
    m_cancelState = 2;
    int answer = MessageBox(u"キャンセルしますか", u"確認", MB_YESNO | MB_ICONQUESTION);
    m_cancelState = answer == IDYES ? 1 : 0;
}

LRESULT CCommonCancelDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WPM_FINISHED:
        m_result = int(wParam);
        CDialog::OnOK();
        return 1;
    case WPM_SETTEXT: {
        auto* text = reinterpret_cast<const char16_t*>(lParam);
        CStatic& line = wParam == 1 ? m_line1 : m_line2;
        if ((wParam == 1 || wParam == 2) && line.GetSafeHwnd()) line.SetWindowText(text ? text : u"");
        return 1;
    }
    case WPM_GETSTATE: return m_cancelState.load();
    case WPM_SETRANGE:
        if (m_progress.GetSafeHwnd()) {
            m_progress.SetRange32(0, int(lParam));
            m_progress.SetPos(0);
            m_progress.SetStep(int(wParam));
        }
        return 1;
    case WPM_SETPOS:
        if (m_progress.GetSafeHwnd()) m_progress.SetPos(int(wParam));
        return 1;
    case WPM_STEPIT:
        if (m_progress.GetSafeHwnd()) m_progress.StepIt();
        return 1;
    case WPM_SETVALUE: m_value = wParam; return 1;
    default: break;
    }
    if (m_extraMessage && message == m_extraMessage) {
        if (m_line1.GetSafeHwnd()) m_line1.SetWindowText(u"データ取得中");
        if (m_progress.GetSafeHwnd()) m_progress.SetPos(int(lParam));
        return 1;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}
