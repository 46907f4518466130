#include "app/dialogs/login.h"

#include <algorithm>
#include <climits>
#include <vector>
#include <map>
#include <utility>

#include "app/dialogs/connectinfodlg.h"
#include "app/settings.h"
#include "app/profilescope.h"
#include "oracle/oci_api.h"
#include "regex/regex.h"
#include "res/resource.h"

BEGIN_MESSAGE_MAP(CLogin, CDialog)
ON_EN_CHANGE(IDC_LOGIN_PASSWORD, OnChangeFields)
ON_EN_CHANGE(IDC_LOGIN_USER, OnChangeFields)
ON_NOTIFY(LVN_ITEMCHANGED, IDC_LOGIN_LIST, OnListItemChanged)
ON_NOTIFY(NM_DBLCLK, IDC_LOGIN_LIST, OnListDblClk)
ON_NOTIFY(LVN_COLUMNCLICK, IDC_LOGIN_LIST, OnListColumnClick)
ON_BN_CLICKED(IDC_LOGIN_CONNECT_INFO, OnConnectInfo)
ON_BN_CLICKED(IDC_LOGIN_ADD_INFO, OnAddConnectInfo)
ON_WM_CREATE()
ON_WM_SIZE()
ON_WM_DESTROY()
ON_WM_GETMINMAXINFO()
ON_COMMAND(ID_LIST_ADD, OnListAdd)
ON_COMMAND(ID_LIST_DELETE, OnListDelete)
ON_COMMAND(ID_LIST_CLEAR_FILTER, OnListClearFilter)
ON_COMMAND(ID_LIST_DELETE_ENTRY, OnListDeleteEntry)
END_MESSAGE_MAP()

namespace {

const char16_t kConnectSection[] = u"CONNECT_INFO";
const char16_t kSizeSection[] = u"LOGIN_DLG";
const char16_t kAbsentText[] = u"\x7F<absent>";

// Columns of the list: name, width, right-aligned.
struct Column {
    const char16_t* name;
    int width;
    bool right;
};
const Column kColumns[12] = {
    {u"USER", 80, false},
    {u"PASSWD", 80, false},
    {u"TNS", 80, false},
    {u"MODE", 70, false},
    {u"OCI7", 40, false},
    {u"NOTES", 100, false},
    {u"MODE", 0, false},
    {u"OCI7", 0, false},
    {u"P", 0, true},
    {u"CUSTOMIZE_OPTION", 0, false},
    {u"OPTION_TEXT_BG_COLOR", 0, false},
    {u"OPTION_GRID_BG_COLOR", 0, false},
};
const char16_t* const kWidthKeys[6] = {u"C_USER_WITDH", u"C_PASSWD_WITDH", u"C_TNS_WITDH",
                                       u"C_MODE_WITDH", u"C_OCI7_WITDH",   u"C_NOTES_WIDTH"};
const int kColP = 8;

// The sort direction of the column clicks, kept between dialogs.
int g_sortDirection = 1;

unsigned OciInitThreadProc(void*) {
    if (g_oci8_available == 1) {
        CString msg;
        oci8_init_env(&msg);
    }
    return 0;
}

// The column's texts by row position (a row's parameter), taken before the
// sort moves the rows.
struct SortContext {
    std::vector<CString> texts;
    bool numeric;
};

int CompareRows(LPARAM a, LPARAM b, LPARAM data) {
    auto* ctx = reinterpret_cast<SortContext*>(data);
    const CString& ta = ctx->texts[static_cast<size_t>(a)];
    const CString& tb = ctx->texts[static_cast<size_t>(b)];
    int diff = ctx->numeric ? _wtoi(ta) - _wtoi(tb) : ta.Compare(tb);
    return g_sortDirection == 1 ? diff : -diff;
}

std::map<HWND, CLogin*>& TnsEdits() {
    static std::map<HWND, CLogin*> edits;
    return edits;
}

} // namespace

CLogin::CLogin(CWnd* parent) : CDialog(IDD_LOGIN, parent) {}

CLogin::~CLogin() {
    if (m_envThread) {
        WaitForSingleObject(m_envThread, INFINITE);
        CloseHandle(m_envThread);
        m_envThread = nullptr;
    }
}

INT_PTR CLogin::DoModal() {
    // The Oracle 7 flag describes the attempt while the dialog runs; a
    // cancelled dialog leaves it as it found it.
    const int found = g_use_oci7_api;
    INT_PTR result = CDialog::DoModal();
    if (result != IDOK) g_use_oci7_api = found;
    return result;
}

void CLogin::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    const std::pair<int, CWnd*> controls[] = {
        {IDC_LOGIN_USER, &m_userBox}, {IDC_LOGIN_TNS, &m_tnsBox},
        {IDC_LOGIN_OCI7, &m_oci7Box}, {IDC_LOGIN_CONNECT_INFO, &m_connectInfoButton},
        {IDCANCEL, &m_cancelButton},  {IDC_LOGIN_MODE, &m_modeBox},
        {IDC_LOGIN_LIST, &m_list},    {IDC_LOGIN_PASSWORD, &m_passwordBox},
        {IDOK, &m_okButton}};
    for (const auto& [id, control] : controls) DDX_Control(dx, id, *control);
    DDX_Text(dx, IDC_LOGIN_PASSWORD, m_password);
    DDX_Text(dx, IDC_LOGIN_TNS, m_tns);
    DDX_Text(dx, IDC_LOGIN_USER, m_user);
    DDX_Check(dx, IDC_LOGIN_OCI7, m_useOci7);
}

void CLogin::PutMembers() {
    ++m_updating;
    UpdateData(FALSE);
    --m_updating;
}

void CLogin::ReadBoxes() {
    ++m_updating;
    UpdateData(TRUE);
    --m_updating;
    m_connectMode = 1;
    if (g_oci8_available) {
        int sel = m_modeBox.GetCurSel();
        if (sel >= 0) m_connectMode = static_cast<int>(m_modeBox.GetItemData(sel));
    }
}

void CLogin::ReadFields() {
    ReadBoxes();
    m_okButton.EnableWindow(TRUE);
}

void CLogin::OnChangeFields() {
    // Text the dialog writes into the boxes itself is not read back halfway.
    if (m_updating) return;
    ReadFields();
}

int CLogin::OnCreate(LPCREATESTRUCT cs) {
    if (CDialog::OnCreate(cs) == -1) return -1;
    m_filterLabel.Create(u"filter", WS_CHILD | WS_VISIBLE, CRect(0, 0, 30, 100), this, 0xFFFF);
    CString path = util_user_file(u"data\\login_filter.txt");
    m_filterBox.Create(path, CRect(0, 0, 120, 100), this);
    return 0;
}

BOOL CLogin::OnInitDialog() {
    ++m_updating;
    CDialog::OnInitDialog();
    --m_updating;
    if (!g_oci_module) {
        MessageBoxW(m_hWnd, u"OCIライブラリが初期化されていません", u"Error", MB_ICONWARNING);
        EndDialog(IDCANCEL);
        return FALSE;
    }
    if (g_oci8_available == 0) {
        m_useOci7 = 1;
        m_oci7Box.EnableWindow(FALSE);
        PutMembers();
    }
    m_envThread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, OciInitThreadProc, nullptr, 0, nullptr));
    if (!m_envThread) {
        MessageBoxW(m_hWnd, u"スレッド作成エラー", AfxGetAppTitle(), MB_OK);
        EndDialog(IDCANCEL);
        return FALSE;
    }
    ModifyStyle(0, WS_THICKFRAME);
    if (!m_user.IsEmpty() && m_keepFocus == 0) m_passwordBox.SetFocus();
    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_FULLROWSELECT);

    if (g_oci8_available) {
        const int modes[3] = {1, 2, 4};
        for (int mode : modes) m_modeBox.SetItemData(m_modeBox.AddString(ConnectModeName(mode)), mode);
        m_modeBox.SetCurSel(0);
        for (int i = 0; i < 3; ++i)
            if (modes[i] == m_connectMode) m_modeBox.SetCurSel(i);
    } else {
        m_modeBox.EnableWindow(FALSE);
    }

    for (int i = 0; i < 12; ++i)
        m_list.InsertColumn(i, kColumns[i].name, kColumns[i].right ? LVCFMT_RIGHT : LVCFMT_LEFT,
                            kColumns[i].width);
    m_columnsMade = 1;

    FillList(TRUE);
    LoadTnsHistory(FALSE);
    ReadFields();

    // The TNS box's edit field: a right click gives it the focus, its context menu deletes a history entry.
    m_tnsEdit = ::ChildWindowFromPoint(m_tnsBox.m_hWnd, POINT{10, 10});
    if (m_tnsEdit && m_tnsEdit != m_tnsBox.m_hWnd) {
        TnsEdits()[m_tnsEdit] = this;
        m_tnsEditProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(m_tnsEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TnsEditProc)));
    } else {
        m_tnsEdit = nullptr;
    }

    CString title;
    title.Format(u"%s Ver.%s (%s) Login", m_captionText.GetString(), util_get_exe_version().GetString(),
                 u"64bit");
    SetWindowText(title);

    int width = static_cast<int>(AfxGetApp()->GetProfileInt(kSizeSection, u"WIDTH", 0));
    int height = static_cast<int>(AfxGetApp()->GetProfileInt(kSizeSection, u"HEIGHT", 0));
    SetWindowPos(nullptr, 0, 0, width > 350 ? width : 350, height > 300 ? height : 300,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // A stored width of 0 or less would hide the column for good: the default then.
    for (int i = 0; i < 6; ++i) {
        const int stored =
            static_cast<int>(AfxGetApp()->GetProfileInt(kSizeSection, kWidthKeys[i], kColumns[i].width));
        m_list.SetColumnWidth(i, stored > 0 ? stored : kColumns[i].width);
    }
    // The stored size may be the one the dialog already has (no WM_SIZE
    // then): the filter label and box are placed now all the same.
    Layout();
    return FALSE;
}

LRESULT CLogin::TnsEditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto it = TnsEdits().find(hwnd);
    if (it == TnsEdits().end()) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    CLogin* dlg = it->second;
    if (message == WM_RBUTTONDOWN) {
        ::SetFocus(hwnd);
    } else if (message == WM_CONTEXTMENU) {
        if (HMENU menu = ::LoadMenuW(nullptr, MAKEINTRESOURCEW(IDR_LOGIN_TNS_MENU))) {
            ::TrackPopupMenu(::GetSubMenu(menu, 0), TPM_RIGHTBUTTON, GET_X_LPARAM(lParam),
                             GET_Y_LPARAM(lParam), 0, dlg->m_hWnd, nullptr);
            ::DestroyMenu(menu);
        }
        return 0;
    }
    return ::CallWindowProcW(dlg->m_tnsEditProc, hwnd, message, wParam, lParam);
}

void CLogin::FillList(BOOL reload) {
    CString filter = m_filterBox.m_hWnd ? m_filterBox.GetFilterText() : CString();
    Regex* pattern = nullptr;
    if (!filter.IsEmpty()) {
        pattern = regex_compile(filter, REGEX_IGNORE_CASE);
        const int valid = pattern ? 1 : 0;
        if (valid != m_filterBox.m_patternValid) {
            m_filterBox.m_patternValid = valid;
            m_filterBox.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        }
    } else if (m_filterBox.m_patternValid != 1) {
        m_filterBox.m_patternValid = 1;
        if (m_filterBox.m_hWnd)
            m_filterBox.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    FillConnectList(&m_list, &m_passwords, pattern, &m_connectList, reload);
    regex_free(&pattern);

    for (int row = 0; row < m_list.GetItemCount(); ++row) {
        if (m_list.GetItemText(row, 0) != m_user || m_list.GetItemText(row, 2) != m_tns) continue;
        const CString& plain = m_passwords[static_cast<size_t>(_wtoi(m_list.GetItemText(row, kColP)))];
        if (!plain.IsEmpty()) m_password = plain;
        PutMembers();
        SelectRow(row);
        break;
    }
    ReadFields();
}

void CLogin::SelectRow(int row) {
    // One row at a time: the old row's loss, then the new row's gain.
    int old = m_list.GetNextItem(-1, LVNI_SELECTED);
    if (old >= 0 && old != row) m_list.SetItemState(old, 0, LVIS_SELECTED | LVIS_FOCUSED);
    m_list.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    m_list.EnsureVisible(row, FALSE);
}

void CLogin::OnListItemChanged(NMHDR* nm, LRESULT* result) {
    auto* lv = reinterpret_cast<NMLISTVIEW*>(nm);
    *result = 0;
    if (!(lv->uChanged & LVIF_STATE) || lv->uNewState == lv->uOldState || lv->iItem < 0) return;
    if (lv->uNewState & LVIS_SELECTED) {
        m_user = m_list.GetItemText(lv->iItem, 0);
        size_t p = static_cast<size_t>(_wtoi(m_list.GetItemText(lv->iItem, kColP)));
        m_password = p < m_passwords.size() ? m_passwords[p] : CString();
        m_tns = m_list.GetItemText(lv->iItem, 2);
        const int mode = _wtoi(m_list.GetItemText(lv->iItem, 6));
        for (int i = 0; i < m_modeBox.GetCount(); ++i)
            if (static_cast<int>(m_modeBox.GetItemData(i)) == mode) {
                m_modeBox.SetCurSel(i);
                break;
            }
        if (m_oci7Box.IsWindowEnabled()) m_useOci7 = _wtoi(m_list.GetItemText(lv->iItem, 7));
    } else {
        m_user.Empty();
        m_tns.Empty();
        m_password.Empty();
        m_modeBox.SetCurSel(0);
        if (m_oci7Box.IsWindowEnabled()) m_useOci7 = 0;
    }
    PutMembers();
    ReadFields();
}

void CLogin::OnListDblClk(NMHDR*, LRESULT* result) {
    *result = 0;
    ReadBoxes();
    if (!m_user.IsEmpty() || !m_password.IsEmpty() || !m_tns.IsEmpty()) OnOK();
}

void CLogin::OnListColumnClick(NMHDR* nm, LRESULT* result) {
    auto* lv = reinterpret_cast<NMLISTVIEW*>(nm);
    *result = 0;
    const int column = lv->iSubItem;
    if (column < 0 || column >= 12) return;
    SortContext ctx{{}, kColumns[column].right};
    for (int row = 0; row < m_list.GetItemCount(); ++row) {
        m_list.SetItemData(row, static_cast<DWORD_PTR>(row));
        ctx.texts.push_back(m_list.GetItemText(row, column));
    }
    m_list.SortItems(CompareRows, reinterpret_cast<DWORD_PTR>(&ctx));
    for (int row = 0; row < m_list.GetItemCount(); ++row)
        m_list.SetItemData(row, static_cast<DWORD_PTR>(row));
    g_sortDirection = -g_sortDirection;
}

BOOL CLogin::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_UP || msg->wParam == VK_DOWN)) {
        HWND focus = ::GetFocus();
        if (focus == m_userBox.m_hWnd || focus == m_passwordBox.m_hWnd) {
            const int step = msg->wParam == VK_UP ? -1 : 1;
            const int count = m_list.GetItemCount();
            if (count > 0) {
                int row = m_list.GetNextItem(-1, LVNI_SELECTED) + step;
                row = std::clamp(row, 0, count - 1);
                SelectRow(row);
            }
            return TRUE;
        }
    }
    return CDialog::PreTranslateMessage(msg);
}

BOOL CLogin::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDC_LOGIN_FILTER) {
        if (HIWORD(wParam) == CBN_EDITCHANGE) FillList(FALSE);
        if (HIWORD(wParam) == CBN_SELENDOK && m_filterBox.GetCurSel() >= 0)
            PostMessage(WM_COMMAND, MAKEWPARAM(IDC_LOGIN_FILTER, CBN_EDITCHANGE),
                        reinterpret_cast<LPARAM>(m_filterBox.m_hWnd));
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CLogin::OnOK() {
    if (!m_okButton.IsWindowEnabled()) return;
    CWaitCursor wait;
    ReadBoxes();
    if (m_envThread) {
        WaitForSingleObject(m_envThread, INFINITE);
        CloseHandle(m_envThread);
        m_envThread = nullptr;
    }
    g_use_oci7_api = m_useOci7;
    CString msg;
    int warning = 0;
    if (oci_login2(&m_session, m_user, m_password, m_tns, m_logPath, m_connectMode, &msg, &warning) !=
        ORARC_OK) {
        MessageBoxW(m_hWnd, msg, u"Error", MB_ICONWARNING);
        if (::GetFocus() == m_passwordBox.m_hWnd) {
            m_passwordBox.SetSel(0, -1);
        }
        return;
    }
    if (warning) MessageBoxW(m_hWnd, msg, u"Message", MB_ICONWARNING);
    m_notes.Empty();
    for (int row = 0; row < m_list.GetItemCount(); ++row)
        if (m_list.GetItemText(row, 0) == m_user && m_list.GetItemText(row, 2) == m_tns) {
            m_notes = m_list.GetItemText(row, 5);
            break;
        }
    if (std::find(m_tnsHistory.begin(), m_tnsHistory.end(), m_tns) == m_tnsHistory.end()) {
        m_tnsHistory.push_back(m_tns);
        std::sort(m_tnsHistory.begin(), m_tnsHistory.end());
    }
    SaveTnsHistory();
    EndDialog(IDOK);
}

void CLogin::OnConnectInfo() {
    CConnectInfoDlg dlg(this);
    dlg.m_profileName = m_profileName;
    dlg.m_registryKey = m_registryKey;
    if (dlg.DoModal() == IDOK) FillList(TRUE);
}

void CLogin::OnAddConnectInfo() {
    ReadBoxes();
    ConnectInfoList list(m_profileName, m_registryKey);
    list.Load();
    // Every entry is written in the version-2 form; one that cannot be is not lost silently.
    std::vector<CString> encoded;
    for (int i = 0; i < list.GetCount(); ++i) {
        const ConnectInfo& e = *list.GetAt(i);
        CString text = e.password;
        if (list.m_encodeVer == 1 && !PasswordCodec::Encode(list.DecodePassword(e), &text)) {
            ShowCannotSave(e.user, e.tns);
            return;
        }
        encoded.push_back(text);
    }
    CString password;
    if (!PasswordCodec::Encode(m_password, &password)) {
        ShowCannotSave(m_user, m_tns);
        return;
    }
    for (int i = 0; i < list.GetCount(); ++i) list.GetAt(i)->password = encoded[static_cast<size_t>(i)];
    list.Add(std::make_unique<ConnectInfo>(m_user, m_tns, password, m_connectMode, m_useOci7, CString(), 0,
                                           0xFFFFFF, 0xFFFFFF));
    list.Save();
    FillList(TRUE);
}

void CLogin::ShowCannotSave(const CString& user, const CString& tns) {
    CString text;
    text.Format(u"パスワードを保存できません: %s@%s", user.GetString(), tns.GetString());
    MessageBoxW(m_hWnd, text, u"Error", MB_ICONWARNING);
}

void CLogin::LoadTnsHistory(BOOL clear) {
    CWinApp* app = AfxGetApp();
    ProfileScope scope(app, m_profileName, m_registryKey);
    const int count = static_cast<int>(app->GetProfileInt(kConnectSection, u"TNS_COMBO_LIST_CNT", 0));
    if (clear) m_tnsBox.ResetContent();
    m_tnsHistory.clear();
    for (int i = 0; i < count; ++i) {
        CString key;
        key.Format(u"TNS_COMBO_LIST_STR_%d", i);
        CString value = app->GetProfileString(kConnectSection, key, kAbsentText);
        // A damaged count reads no further than the entries there are.
        if (value == kAbsentText) break;
        if (!value.IsEmpty()) m_tnsHistory.push_back(value);
    }
    for (const CString& tns : m_tnsHistory) m_tnsBox.AddString(tns);
}

void CLogin::SaveTnsHistory() {
    CWinApp* app = AfxGetApp();
    ProfileScope scope(app, m_profileName, m_registryKey);
    int i = 0;
    for (const CString& tns : m_tnsHistory) {
        CString key;
        key.Format(u"TNS_COMBO_LIST_STR_%d", i++);
        app->WriteProfileString(kConnectSection, key, tns);
    }
    app->WriteProfileInt(kConnectSection, u"TNS_COMBO_LIST_CNT", i);
}

void CLogin::OnListDeleteEntry() {
    ReadBoxes();
    auto it = std::find(m_tnsHistory.begin(), m_tnsHistory.end(), m_tns);
    if (it == m_tnsHistory.end()) return;
    m_tnsHistory.erase(it);
    SaveTnsHistory();
    LoadTnsHistory(TRUE);
}

void CLogin::OnListAdd() {
    if (!m_hWnd) return;
    m_filterBox.AddCurrentText();
}

void CLogin::OnListDelete() {
    if (!m_hWnd) return;
    m_filterBox.RemoveEntry(m_filterBox.GetText());
}

void CLogin::OnListClearFilter() {
    if (!m_hWnd) return;
    m_filterBox.SendMessage(WM_CLEAR);
}

void CLogin::Layout() {
    if (!m_okButton.m_hWnd) return;
    CRect client, ok, cancel, tns, info, label;
    GetClientRect(&client);
    m_okButton.GetWindowRect(&ok);
    m_cancelButton.GetWindowRect(&cancel);
    const int top = client.Height() - ok.Height() - 5;
    m_okButton.SetWindowPos(nullptr, client.Width() / 2 - ok.Width() - 10, top, 0, 0,
                            SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_cancelButton.SetWindowPos(nullptr, client.Width() / 2 + 10, top, 0, 0,
                                SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_tnsBox.GetWindowRect(&tns);
    ScreenToClient(&tns);
    m_tnsBox.SetWindowPos(nullptr, 0, 0, client.Width() - 10 - tns.left, tns.Height(),
                          SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_connectInfoButton.GetWindowRect(&info);
    ScreenToClient(&info);
    const int listTop = info.bottom + 5;
    m_list.SetWindowPos(nullptr, 5, listTop, client.Width() - 10, std::max(0, top - 5 - listTop),
                        SWP_NOZORDER | SWP_NOACTIVATE);
    if (m_filterLabel.m_hWnd && m_filterBox.m_hWnd) {
        HFONT font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
        m_filterLabel.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        m_filterBox.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        m_filterLabel.GetWindowRect(&label);
        m_filterLabel.SetWindowPos(nullptr, info.right + 10, info.top + 5, 0, 0,
                                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        m_filterBox.SetWindowPos(nullptr, info.right + 20 + label.Width(), info.top, 0, 0,
                                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void CLogin::OnSize(UINT type, int cx, int cy) {
    CDialog::OnSize(type, cx, cy);
    Layout();
}

void CLogin::OnGetMinMaxInfo(MINMAXINFO* info) {
    info->ptMinTrackSize.x = 350;
    info->ptMinTrackSize.y = 300;
}

void CLogin::OnDestroy() {
    CRect rect;
    GetWindowRect(&rect);
    CWinApp* app = AfxGetApp();
    app->WriteProfileInt(kSizeSection, u"WIDTH", rect.Width());
    app->WriteProfileInt(kSizeSection, u"HEIGHT", rect.Height());
    // A dialog that ended before its columns were made has no widths to keep.
    if (m_columnsMade)
        for (int i = 0; i < 6; ++i)
            app->WriteProfileInt(kSizeSection, kWidthKeys[i], m_list.GetColumnWidth(i));
    if (m_tnsEdit) {
        ::SetWindowLongPtrW(m_tnsEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_tnsEditProc));
        TnsEdits().erase(m_tnsEdit);
        m_tnsEdit = nullptr;
    }
    CDialog::OnDestroy();
}
