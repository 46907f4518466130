// The export's save dialog and its panel.
#include "app/dialogs/dbextfiledlg.h"

#include "res/dialogs4.h"
#include "win32/filepanel.h"

namespace {

struct Choice {
    const char16_t* text;
    int value;
};
constexpr Choice kCodes[] = {
    {u"SJIS", 1},
    {u"EUC", 2},
    {u"JIS", 3},
    {u"UNICODE", 5},
    {u"UNICODE(no signature)", 7},
    {u"UTF16BE", 10},
    {u"UTF16BE(no signature)", 11},
    {u"UTF8", 6},
    {u"UTF8(no signature)", 8},
};
constexpr Choice kLineEnds[] = {{u"CR+LF(\\r\\n)", 1}, {u"LF(\\n)", 2}, {u"CR(\\r)", 3}};

void Add(HWND panel, int id, const Choice& c) {
    LRESULT i = ::SendDlgItemMessageW(panel, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c.text));
    ::SendDlgItemMessageW(panel, id, CB_SETITEMDATA, WPARAM(i), LPARAM(c.value));
}

void SelectData(HWND panel, int id, int value) {
    const LRESULT n = ::SendDlgItemMessageW(panel, id, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        if (::SendDlgItemMessageW(panel, id, CB_GETITEMDATA, WPARAM(i), 0) == value) {
            ::SendDlgItemMessageW(panel, id, CB_SETCURSEL, WPARAM(i), 0);
            return;
        }
    }
    ::SendDlgItemMessageW(panel, id, CB_SETCURSEL, WPARAM(-1), 0);
}

// The selected entry's data into value; no selection leaves it.
void ReadData(HWND panel, int id, int* value) {
    const LRESULT sel = ::SendDlgItemMessageW(panel, id, CB_GETCURSEL, 0, 0);
    if (sel >= 0) *value = static_cast<int>(::SendDlgItemMessageW(panel, id, CB_GETITEMDATA, WPARAM(sel), 0));
}

} // namespace

CDBExtFileDialog::CDBExtFileDialog(BOOL openFileDialog, LPCWSTR defExt, LPCWSTR fileName, DWORD flags,
                                   LPCWSTR filter, CWnd* parent)
    : CPlacesBarFileDlg(openFileDialog, defExt, fileName, flags, filter, parent) {}

INT_PTR CDBExtFileDialog::DoModal() {
    m_ofn.Flags |= OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE;
    m_ofn.lpTemplateName = MAKEINTRESOURCEW(IDD_DB_EXT_FILE);
    m_ofn.lpfnHook = reinterpret_cast<void*>(&HookProc);
    m_ofn.lCustData = reinterpret_cast<LPARAM>(this);
    return CPlacesBarFileDlg::DoModal();
}

void CDBExtFileDialog::InitPanel(HWND panel) {
    if (!allowAutoDetect && charCode == 9) {
        charCode = 1;
        lineEnd = 1;
    }
    ::SendDlgItemMessageW(panel, IDC_EXT_CHAR_CODE, CB_RESETCONTENT, 0, 0);
    if (allowAutoDetect) Add(panel, IDC_EXT_CHAR_CODE, {u"自動判別", 9});
    for (const Choice& c : kCodes) Add(panel, IDC_EXT_CHAR_CODE, c);
    SelectData(panel, IDC_EXT_CHAR_CODE, charCode);
    ::SendDlgItemMessageW(panel, IDC_EXT_LINE_END, CB_RESETCONTENT, 0, 0);
    for (const Choice& c : kLineEnds) Add(panel, IDC_EXT_LINE_END, c);
    SelectData(panel, IDC_EXT_LINE_END, lineEnd);
    ::CheckDlgButton(panel, IDC_EXT_DQUOTE, putDoubleQuote ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(panel, IDC_EXT_COLUMN_NAME, putColumnName ? BST_CHECKED : BST_UNCHECKED);
}

void CDBExtFileDialog::ReadPanel(HWND panel) {
    ReadData(panel, IDC_EXT_CHAR_CODE, &charCode);
    ReadData(panel, IDC_EXT_LINE_END, &lineEnd);
    putDoubleQuote = ::IsDlgButtonChecked(panel, IDC_EXT_DQUOTE) == BST_CHECKED ? 1 : 0;
    putColumnName = ::IsDlgButtonChecked(panel, IDC_EXT_COLUMN_NAME) == BST_CHECKED ? 1 : 0;
}

INT_PTR CALLBACK CDBExtFileDialog::HookProc(HWND panel, UINT msg, WPARAM, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        auto* ofn = reinterpret_cast<OPENFILENAMEW*>(lParam);
        auto* self = reinterpret_cast<CDBExtFileDialog*>(ofn->lCustData);
        ::SetWindowLongPtrW(panel, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->InitPanel(panel);
        return TRUE;
    }
    if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == CDN_FILEOK) {
        if (auto* self = reinterpret_cast<CDBExtFileDialog*>(::GetWindowLongPtrW(panel, GWLP_USERDATA)))
            self->ReadPanel(panel);
        ::SetWindowLongPtrW(panel, DWLP_MSGRESULT, 0); // the name is accepted
        return TRUE;
    }
    return FALSE;
}
