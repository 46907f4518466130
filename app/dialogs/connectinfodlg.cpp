#include "app/dialogs/connectinfodlg.h"

#include <memory>

#include "app/connectinfo.h"
#include "app/dialogs/customcolors.h"
#include "res/options.h"

namespace {

const char16_t kSizeSection[] = u"CONNECT_INFO_DLG";
const int kMinWidth = 550;
const int kMinHeight = 320;

// The login dialog's twelve columns; NOTES narrower, "P" left-aligned.
struct Column {
    const char16_t* name;
    int width;
};
const Column kColumns[12] = {
    {u"USER", 80},
    {u"PASSWD", 80},
    {u"TNS", 80},
    {u"MODE", 70},
    {u"OCI7", 40},
    {u"NOTES", 80},
    {u"MODE", 0},
    {u"OCI7", 0},
    {u"P", 0},
    {u"CUSTOMIZE_OPTION", 0},
    {u"OPTION_TEXT_BG_COLOR", 0},
    {u"OPTION_GRID_BG_COLOR", 0},
};
enum {
    kColUser = 0,
    kColPassword = 1,
    kColTns = 2,
    kColModeName = 3,
    kColOci7Mark = 4,
    kColNotes = 5,
    kColMode = 6,
    kColOci7 = 7,
    kColP = 8,
    kColCustomize = 9,
    kColTextBg = 10,
    kColGridBg = 11,
};

CString Decimal(long long v) {
    CString s;
    s.Format(u"%lld", v);
    return s;
}

long long Number(const CString& text) {
    const char16_t* p = text;
    bool negative = *p == u'-';
    if (negative) ++p;
    long long v = 0;
    for (; *p >= u'0' && *p <= u'9' && v < (1LL << 40); ++p) v = v * 10 + (*p - u'0');
    return negative ? -v : v;
}

void ShowCannotSave(HWND owner, const CString& user, const CString& tns) {
    CString text;
    text.Format(u"パスワードを保存できません: %s@%s", user.GetString(), tns.GetString());
    MessageBoxW(owner, text, u"Error", MB_ICONWARNING);
}

void MoveControl(CWnd& control, int left, int top) {
    if (control.m_hWnd)
        control.SetWindowPos(nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

// --- The list -------------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CConnectInfoDlg, CDialog)
ON_BN_CLICKED(IDC_CI_ADD, OnAdd)
ON_BN_CLICKED(IDC_CI_EDIT, OnEdit)
ON_BN_CLICKED(IDC_CI_COPY, OnCopy)
ON_BN_CLICKED(IDC_CI_DEL, OnDel)
ON_BN_CLICKED(IDC_CI_UP, OnUp)
ON_BN_CLICKED(IDC_CI_DOWN, OnDown)
ON_NOTIFY(LVN_ITEMCHANGED, IDC_CI_LIST, OnListItemChanged)
ON_WM_SIZE()
ON_WM_DESTROY()
ON_WM_GETMINMAXINFO()
END_MESSAGE_MAP()

CConnectInfoDlg::CConnectInfoDlg(CWnd* parent) : CDialog(IDD_CONNECT_INFO, parent) {}

void CConnectInfoDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_CI_EDIT, m_editButton);
    DDX_Control(dx, IDC_CI_UP, m_upButton);
    DDX_Control(dx, IDC_CI_DOWN, m_downButton);
    DDX_Control(dx, IDC_CI_DEL, m_delButton);
    DDX_Control(dx, IDC_CI_ADD, m_addButton);
    DDX_Control(dx, IDC_CI_LIST, m_list);
    DDX_Control(dx, IDOK, m_okButton);
    DDX_Control(dx, IDC_CI_COPY, m_copyButton);
}

BOOL CConnectInfoDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    for (int i = 0; i < 12; ++i) m_list.InsertColumn(i, kColumns[i].name, LVCFMT_LEFT, kColumns[i].width);
    {
        ConnectInfoList list(m_profileName, m_registryKey);
        FillConnectList(&m_list, &m_passwords, nullptr, &list, TRUE);
    }
    CWinApp* app = AfxGetApp();
    const int width = static_cast<int>(app->GetProfileInt(kSizeSection, u"WIDTH", 0));
    const int height = static_cast<int>(app->GetProfileInt(kSizeSection, u"HEIGHT", 0));
    SetWindowPos(nullptr, 0, 0, width > kMinWidth ? width : kMinWidth,
                 height > kMinHeight ? height : kMinHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateButtons();
    return TRUE;
}

int CConnectInfoDlg::SelectedRow() const {
    return m_list.m_hWnd ? m_list.GetNextItem(-1, LVNI_SELECTED) : -1;
}

void CConnectInfoDlg::UpdateButtons() {
    const BOOL selected = SelectedRow() >= 0;
    for (CButton* b : {&m_editButton, &m_copyButton, &m_delButton, &m_upButton, &m_downButton})
        if (b->m_hWnd) b->EnableWindow(selected);
}

void CConnectInfoDlg::OnListItemChanged(NMHDR* nm, LRESULT* result) {
    auto* lv = reinterpret_cast<NMLISTVIEW*>(nm);
    *result = 0;
    if (lv->uChanged & LVIF_STATE) UpdateButtons();
}

bool CConnectInfoDlg::RunEditor(int row, const char16_t* modeWord, CConnectInfoEditDlg& dlg) {
    dlg.m_modeWord = modeWord;
    if (row < 0) {
        dlg.m_connectMode = 1;
        dlg.m_useOci7 = 0;
        dlg.m_customizeOption = 0;
        dlg.m_textBgColor = 0xFFFFFF;
        dlg.m_gridBgColor = 0xFFFFFF;
    } else {
        dlg.m_user = m_list.GetItemText(row, kColUser);
        const size_t p = static_cast<size_t>(Number(m_list.GetItemText(row, kColP)));
        dlg.m_password = p < m_passwords.size() ? m_passwords[p] : CString();
        dlg.m_tns = m_list.GetItemText(row, kColTns);
        dlg.m_connectMode = static_cast<int>(Number(m_list.GetItemText(row, kColMode)));
        dlg.m_useOci7 = static_cast<int>(Number(m_list.GetItemText(row, kColOci7)));
        dlg.m_notes = m_list.GetItemText(row, kColNotes);
        dlg.m_customizeOption = static_cast<int>(Number(m_list.GetItemText(row, kColCustomize)));
        dlg.m_textBgColor = static_cast<COLORREF>(Number(m_list.GetItemText(row, kColTextBg)));
        dlg.m_gridBgColor = static_cast<COLORREF>(Number(m_list.GetItemText(row, kColGridBg)));
    }
    return dlg.DoModal() == IDOK;
}

int CConnectInfoDlg::AppendRow() {
    const int row = m_list.InsertItem(m_list.GetItemCount(), u"");
    m_list.SetItemData(row, static_cast<DWORD_PTR>(row));
    m_passwords.emplace_back();
    m_list.SetItemText(row, kColP, Decimal(static_cast<long long>(m_passwords.size()) - 1));
    return row;
}

void CConnectInfoDlg::WriteRow(int row, const CConnectInfoEditDlg& dlg) {
    m_list.SetItemText(row, kColUser, dlg.m_user);
    m_list.SetItemText(row, kColPassword, dlg.m_password.IsEmpty() ? u"" : u"*****");
    const size_t p = static_cast<size_t>(Number(m_list.GetItemText(row, kColP)));
    if (p < m_passwords.size()) m_passwords[p] = dlg.m_password;
    m_list.SetItemText(row, kColTns, dlg.m_tns);
    m_list.SetItemText(row, kColModeName, ConnectModeName(dlg.m_connectMode));
    m_list.SetItemText(row, kColOci7Mark, dlg.m_useOci7 ? u"○" : u"");
    m_list.SetItemText(row, kColNotes, dlg.m_notes);
    m_list.SetItemText(row, kColMode, Decimal(dlg.m_connectMode));
    m_list.SetItemText(row, kColOci7, Decimal(dlg.m_useOci7));
    m_list.SetItemText(row, kColCustomize, Decimal(dlg.m_customizeOption));
    m_list.SetItemText(row, kColTextBg, Decimal(dlg.m_textBgColor));
    m_list.SetItemText(row, kColGridBg, Decimal(dlg.m_gridBgColor));
}

void CConnectInfoDlg::OnAdd() {
    CConnectInfoEditDlg dlg(this);
    if (!RunEditor(-1, u"ADD", dlg)) return;
    WriteRow(AppendRow(), dlg);
}

void CConnectInfoDlg::OnEdit() {
    const int row = SelectedRow();
    if (row < 0) return;
    CConnectInfoEditDlg dlg(this);
    if (!RunEditor(row, u"EDIT", dlg)) return;
    WriteRow(row, dlg);
}

void CConnectInfoDlg::OnCopy() {
    const int row = SelectedRow();
    if (row < 0) return;
    CConnectInfoEditDlg dlg(this);
    if (!RunEditor(row, u"COPY", dlg)) return;
    WriteRow(AppendRow(), dlg);
}

void CConnectInfoDlg::OnDel() {
    const int row = SelectedRow();
    if (row < 0) return;
    // The password stays in m_passwords: the other rows' "P" keep pointing at theirs.
    m_list.DeleteItem(row);
    UpdateButtons();
}

void CConnectInfoDlg::MoveRow(int step) {
    const int row = SelectedRow();
    if (row < 0) return;
    const int target = row + step;
    if (target >= 0 && target < m_list.GetItemCount()) {
        for (int col = 0; col < 12; ++col) {
            CString a = m_list.GetItemText(row, col);
            CString b = m_list.GetItemText(target, col);
            m_list.SetItemText(row, col, b);
            m_list.SetItemText(target, col, a);
        }
        const DWORD_PTR a = m_list.GetItemData(row);
        m_list.SetItemData(row, m_list.GetItemData(target));
        m_list.SetItemData(target, a);
        m_list.SetItemState(row, 0, LVIS_SELECTED | LVIS_FOCUSED);
        m_list.SetItemState(target, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    m_list.EnsureVisible(target, FALSE);
}

void CConnectInfoDlg::OnUp() {
    MoveRow(-1);
}

void CConnectInfoDlg::OnDown() {
    MoveRow(1);
}

void CConnectInfoDlg::OnOK() {
    UpdateData(TRUE);
    ConnectInfoList list(m_profileName, m_registryKey);
    // Every row is encoded before anything is written: a password the store
    // cannot hold keeps the dialog open on its row.
    for (int row = 0; row < m_list.GetItemCount(); ++row) {
        const size_t p = static_cast<size_t>(Number(m_list.GetItemText(row, kColP)));
        const CString plain = p < m_passwords.size() ? m_passwords[p] : CString();
        CString stored;
        if (!PasswordCodec::Encode(plain, &stored)) {
            const int old = SelectedRow();
            if (old >= 0 && old != row) m_list.SetItemState(old, 0, LVIS_SELECTED | LVIS_FOCUSED);
            m_list.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            m_list.EnsureVisible(row, FALSE);
            ShowCannotSave(m_hWnd, m_list.GetItemText(row, kColUser), m_list.GetItemText(row, kColTns));
            return;
        }
        list.Add(std::make_unique<ConnectInfo>(
            m_list.GetItemText(row, kColUser), m_list.GetItemText(row, kColTns), stored,
            static_cast<int>(Number(m_list.GetItemText(row, kColMode))),
            static_cast<int>(Number(m_list.GetItemText(row, kColOci7))), m_list.GetItemText(row, kColNotes),
            static_cast<int>(Number(m_list.GetItemText(row, kColCustomize))),
            static_cast<COLORREF>(Number(m_list.GetItemText(row, kColTextBg))),
            static_cast<COLORREF>(Number(m_list.GetItemText(row, kColGridBg)))));
    }
    list.Save();
    EndDialog(IDOK);
}

void CConnectInfoDlg::Layout() {
    if (!m_addButton.m_hWnd) return;
    CRect client, add, ok;
    GetClientRect(&client);
    m_addButton.GetWindowRect(&add);
    m_okButton.GetWindowRect(&ok);
    m_list.SetWindowPos(nullptr, 10, 10, client.Width() - add.Width() - 30,
                        client.Height() - ok.Height() - 30, SWP_NOZORDER | SWP_NOACTIVATE);
    const int top = client.Height() - ok.Height() - 10;
    MoveControl(m_okButton, client.Width() / 2 - ok.Width() - 20, top);
    if (CWnd* cancel = GetDlgItem(IDCANCEL))
        cancel->SetWindowPos(nullptr, client.Width() / 2 + 20, top, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (CButton* b :
         {&m_addButton, &m_copyButton, &m_delButton, &m_downButton, &m_editButton, &m_upButton}) {
        if (!b->m_hWnd) continue;
        CRect r;
        b->GetWindowRect(&r);
        ScreenToClient(&r);
        MoveControl(*b, client.Width() - r.Width() - 10, r.top);
    }
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void CConnectInfoDlg::OnSize(UINT type, int cx, int cy) {
    CDialog::OnSize(type, cx, cy);
    Layout();
}

void CConnectInfoDlg::OnGetMinMaxInfo(MINMAXINFO* info) {
    info->ptMinTrackSize.x = kMinWidth;
    info->ptMinTrackSize.y = kMinHeight;
}

void CConnectInfoDlg::OnDestroy() {
    CRect rect;
    GetWindowRect(&rect);
    CWinApp* app = AfxGetApp();
    app->WriteProfileInt(kSizeSection, u"WIDTH", rect.Width());
    app->WriteProfileInt(kSizeSection, u"HEIGHT", rect.Height());
    CDialog::OnDestroy();
}

// --- The editor -----------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CConnectInfoEditDlg, CDialog)
ON_EN_CHANGE(IDC_CE_USER, OnChangeUser)
ON_BN_CLICKED(IDC_CE_TEXT_BG, OnTextBgColor)
ON_BN_CLICKED(IDC_CE_CUSTOMIZE, OnCustomize)
ON_BN_CLICKED(IDC_CE_GRID_BG, OnGridBgColor)
ON_WM_DRAWITEM()
END_MESSAGE_MAP()

CConnectInfoEditDlg::CConnectInfoEditDlg(CWnd* parent) : CDialog(IDD_CONNECT_INFO_EDIT, parent) {}

void CConnectInfoEditDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_CE_MODE, m_modeBox);
    DDX_Control(dx, IDOK, m_okButton);
    DDX_Check(dx, IDC_CE_OCI7, m_useOci7);
    DDX_Text(dx, IDC_CE_PASSWORD, m_password);
    DDX_Text(dx, IDC_CE_TNS, m_tns);
    DDX_Text(dx, IDC_CE_USER, m_user);
    DDX_Text(dx, IDC_CE_NOTES, m_notes);
    DDX_Check(dx, IDC_CE_CUSTOMIZE, m_customizeOption);
    DDX_Control(dx, IDC_CE_OPTION_GROUP, m_optionGroup);
    DDX_Control(dx, IDC_CE_TEXT_BG_LABEL, m_textBgLabel);
    DDX_Control(dx, IDC_CE_GRID_BG_LABEL, m_gridBgLabel);
}

BOOL CConnectInfoEditDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    CString caption;
    const int n = ::GetWindowTextLengthW(m_hWnd);
    ::GetWindowTextW(m_hWnd, caption.GetBuffer(n), n + 1);
    caption.ReleaseBuffer(n);
    SetWindowText(caption + u" (" + m_modeWord + u")");
    const int modes[3] = {1, 2, 4};
    for (int mode : modes) m_modeBox.SetItemData(m_modeBox.AddString(ConnectModeName(mode)), mode);
    m_modeBox.SetCurSel(0);
    for (int i = 0; i < 3; ++i)
        if (modes[i] == m_connectMode) m_modeBox.SetCurSel(i);
    m_ready = true;
    UpdateControls();
    return TRUE;
}

void CConnectInfoEditDlg::UpdateControls() {
    if (!m_ready) return;
    UpdateData(TRUE);
    m_okButton.EnableWindow(!m_user.IsEmpty());
    const BOOL custom = m_customizeOption != 0;
    m_optionGroup.EnableWindow(custom);
    m_textBgLabel.EnableWindow(custom);
    m_gridBgLabel.EnableWindow(custom);
}

void CConnectInfoEditDlg::OnChangeUser() {
    UpdateControls();
}

void CConnectInfoEditDlg::OnCustomize() {
    UpdateControls();
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void CConnectInfoEditDlg::ChooseColor(COLORREF* color) {
    if (!m_customizeOption) return;
    CColorDialog dlg(*color, CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR, this);
    LoadCustomColors(dlg);
    if (dlg.DoModal() != IDOK) return;
    *color = dlg.GetColor();
    Invalidate(TRUE);
    SaveCustomColors();
}

void CConnectInfoEditDlg::OnTextBgColor() {
    ChooseColor(&m_textBgColor);
}

void CConnectInfoEditDlg::OnGridBgColor() {
    ChooseColor(&m_gridBgColor);
}

void CConnectInfoEditDlg::OnDrawItem(int id, DRAWITEMSTRUCT* di) {
    if (id == IDC_CE_TEXT_BG || id == IDC_CE_GRID_BG) {
        RECT r = di->rcItem;
        ::DrawEdge(di->hDC, &r, EDGE_BUMP, BF_RECT);
        ::InflateRect(&r, -2, -2);
        COLORREF fill = ::GetSysColor(COLOR_BTNFACE);
        if (m_customizeOption) fill = id == IDC_CE_TEXT_BG ? m_textBgColor : m_gridBgColor;
        HBRUSH brush = ::CreateSolidBrush(fill);
        ::FillRect(di->hDC, &r, brush);
        ::DeleteObject(brush);
    }
}

void CConnectInfoEditDlg::OnOK() {
    if (!m_okButton.IsWindowEnabled() || !UpdateData(TRUE)) return;
    const int sel = m_modeBox.GetCurSel();
    if (sel >= 0) m_connectMode = static_cast<int>(m_modeBox.GetItemData(sel));
    // A password the store cannot hold is refused here, before the list takes it.
    CString stored;
    if (!PasswordCodec::Encode(m_password, &stored)) {
        ShowCannotSave(m_hWnd, m_user, m_tns);
        return;
    }
    EndDialog(IDOK);
}
