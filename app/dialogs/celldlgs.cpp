// The cell dialogs.
#include "app/dialogs/celldlgs.h"

#include <climits>

#include "res/dialogs4.h"

namespace {

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

CString Int64Text(int64_t v) {
    CString text;
    text.Format(u"%lld", static_cast<long long>(v));
    return text;
}

} // namespace

// --- 連番を入力 ----------------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CInputSequenceDlg, CDialog)
ON_EN_CHANGE(IDC_SEQ_START, UpdateEnabling)
ON_EN_CHANGE(IDC_SEQ_STEP, UpdateEnabling)
END_MESSAGE_MAP()

CInputSequenceDlg::CInputSequenceDlg(CWnd* parent) : CDialog(IDD_INPUT_SEQUENCE, parent) {}

bool CInputSequenceDlg::ParseInt64(const CString& text, int64_t* value) {
    const int n = text.GetLength();
    int i = 0;
    while (i < n && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    const int digits = i;
    // Accumulated negatively, so that INT64_MIN fits.
    int64_t v = 0;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        const int d = text[i] - u'0';
        if (v < (INT64_MIN + d) / 10) return false;
        v = v * 10 - d;
    }
    if (i == digits) return false;
    while (i < n && IsBlank(text[i])) ++i;
    if (i != n) return false;
    if (!negative) {
        if (v == INT64_MIN) return false;
        v = -v;
    }
    if (value) *value = v;
    return true;
}

BOOL CInputSequenceDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetDlgItemText(IDC_SEQ_START, Int64Text(m_start));
    SetDlgItemText(IDC_SEQ_STEP, Int64Text(m_step));
    UpdateEnabling();
    return TRUE;
}

void CInputSequenceDlg::UpdateEnabling() {
    CString start, step;
    GetDlgItemText(IDC_SEQ_START, start);
    GetDlgItemText(IDC_SEQ_STEP, step);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDOK), ParseInt64(start, nullptr) && ParseInt64(step, nullptr));
}

void CInputSequenceDlg::OnOK() {
    CString start, step;
    GetDlgItemText(IDC_SEQ_START, start);
    GetDlgItemText(IDC_SEQ_STEP, step);
    int64_t a = 0, b = 0;
    if (!ParseInt64(start, &a) || !ParseInt64(step, &b)) return;
    m_start = a;
    m_step = b;
    CDialog::OnOK();
}

// --- レコード追加(複数行) ----------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CInsertRowsDlg, CDialog)
ON_EN_CHANGE(IDC_ROWS_COUNT, OnCountChanged)
END_MESSAGE_MAP()

CInsertRowsDlg::CInsertRowsDlg(CWnd* parent) : CDialog(IDD_INSERT_ROWS, parent) {}

void CInsertRowsDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, IDC_ROWS_COUNT, m_count);
}

BOOL CInsertRowsDlg::OnInitDialog() {
    m_count = 1;
    CDialog::OnInitDialog();
    OnCountChanged();
    return TRUE;
}

void CInsertRowsDlg::OnCountChanged() {
    BOOL ok = FALSE;
    const int count = static_cast<int>(GetDlgItemInt(IDC_ROWS_COUNT, &ok, TRUE));
    ::EnableWindow(::GetDlgItem(m_hWnd, IDOK), ok && count > 0);
}

// --- Gridのソート -------------------------------------------------------------------------------------

namespace {
struct SortGroup {
    int list, ascending, descending;
};
constexpr SortGroup kGroups[3] = {
    {IDC_SORT_KEY1, IDC_SORT_ASC1, IDC_SORT_DESC1},
    {IDC_SORT_KEY2, IDC_SORT_ASC2, IDC_SORT_DESC2},
    {IDC_SORT_KEY3, IDC_SORT_ASC3, IDC_SORT_DESC3},
};
} // namespace

BEGIN_MESSAGE_MAP(CGridSortDlg, CDialog)
ON_CBN_SELCHANGE(IDC_SORT_KEY1, OnKeyChanged)
ON_CBN_SELCHANGE(IDC_SORT_KEY2, OnKeyChanged)
ON_CBN_SELCHANGE(IDC_SORT_KEY3, OnKeyChanged)
END_MESSAGE_MAP()

CGridSortDlg::CGridSortDlg(CWnd* parent) : CDialog(IDD_GRID_SORT, parent) {}

BOOL CGridSortDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    for (int g = 0; g < 3; ++g) {
        auto* list = static_cast<CComboBox*>(GetDlgItem(kGroups[g].list));
        list->SetItemData(list->AddString(u""), DWORD_PTR(-1));
        const int chosen = (m_keys && g < m_keyCount) ? m_keys[g] : -1;
        list->SetCurSel(0);
        const int cols = m_gridData ? m_gridData->GetColCount() : 0;
        for (int c = 0; c < cols; ++c) {
            const int i = list->AddString(m_gridData->GetColName(c));
            list->SetItemData(i, DWORD_PTR(c));
            if (c == chosen) list->SetCurSel(i);
        }
        CheckRadioButton(kGroups[g].ascending, kGroups[g].descending, kGroups[g].ascending);
    }
    OnKeyChanged();
    return TRUE;
}

void CGridSortDlg::Collect() {
    m_keyCount = 0;
    for (const SortGroup& g : kGroups) {
        auto* list = static_cast<CComboBox*>(GetDlgItem(g.list));
        const int sel = list->GetCurSel();
        const int col = sel < 0 ? -1 : static_cast<int>(static_cast<intptr_t>(list->GetItemData(sel)));
        if (col == -1) continue;
        if (m_keys) m_keys[m_keyCount] = col;
        if (m_orders) m_orders[m_keyCount] = IsDlgButtonChecked(g.descending) == BST_CHECKED ? -1 : 1;
        ++m_keyCount;
    }
}

void CGridSortDlg::OnKeyChanged() {
    Collect();
    ::EnableWindow(::GetDlgItem(m_hWnd, IDOK), m_keyCount > 0);
}

void CGridSortDlg::OnOK() {
    Collect();
    if (m_keyCount == 0) {
        MessageBox(u"ソート条件が無効です");
        return;
    }
    CDialog::OnOK();
}

// --- BFILE Update ------------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CBfileDlg, CDialog)
ON_EN_CHANGE(IDC_BFILE_ALIAS, UpdateEnabling)
ON_EN_CHANGE(IDC_BFILE_NAME, UpdateEnabling)
ON_BN_CLICKED(IDC_CELL_OK, OnOkButton)
END_MESSAGE_MAP()

CBfileDlg::CBfileDlg(CWnd* parent) : CDialog(IDD_BFILE, parent) {}

bool CBfileDlg::ParseValue(const CString& value, CString* alias, CString* fileName) {
    // "<BFILE dir_alias:" word " file_name:" word " " word ">", words without
    // blanks; a NUL ends a word too (no directory or file name holds one, and
    // the dialog's boxes would show the name cut there).
    static const char16_t kHead[] = u"<BFILE dir_alias:";
    static const char16_t kMiddle[] = u" file_name:";
    const std::u16string_view v = value.view();
    size_t pos = std::char_traits<char16_t>::length(kHead);
    if (v.substr(0, pos) != kHead) return false;
    auto word = [&](CString* out) {
        const size_t start = pos;
        while (pos < v.size() && v[pos] != u' ' && v[pos] != u'\t' && v[pos] != u'\r' && v[pos] != u'\n' &&
               v[pos] != u'\0')
            ++pos;
        if (pos == start) return false;
        if (out) *out = CString(v.substr(start, pos - start));
        return true;
    };
    CString a, f, status;
    if (!word(&a)) return false;
    const size_t middle = std::char_traits<char16_t>::length(kMiddle);
    if (v.substr(pos, middle) != kMiddle) return false;
    pos += middle;
    if (!word(&f)) return false;
    if (pos >= v.size() || v[pos] != u' ') return false;
    ++pos;
    // The status word runs to the closing ">".
    if (v.empty() || v.back() != u'>' || pos >= v.size() - 1) return false;
    if (alias) *alias = a;
    if (fileName) *fileName = f;
    return true;
}

BOOL CBfileDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    CString alias, fileName;
    if (!m_value.IsEmpty() && ParseValue(m_value, &alias, &fileName)) {
        SetDlgItemText(IDC_BFILE_ALIAS, alias);
        SetDlgItemText(IDC_BFILE_NAME, fileName);
    }
    UpdateEnabling();
    return TRUE;
}

void CBfileDlg::UpdateEnabling() {
    CString alias, fileName;
    GetDlgItemText(IDC_BFILE_ALIAS, alias);
    GetDlgItemText(IDC_BFILE_NAME, fileName);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_CELL_OK), !alias.IsEmpty() && !fileName.IsEmpty());
}

void CBfileDlg::OnOkButton() {
    CString alias, fileName;
    GetDlgItemText(IDC_BFILE_ALIAS, alias);
    GetDlgItemText(IDC_BFILE_NAME, fileName);
    if (alias.IsEmpty() || fileName.IsEmpty()) return;
    m_value.Format(u"<BFILE dir_alias:%s file_name:%s %s>", alias.GetString(), fileName.GetString(),
                   u"update");
    EndDialog(IDOK);
}
