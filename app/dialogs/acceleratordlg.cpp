// The key dialog.
#include "app/dialogs/acceleratordlg.h"

#include "res/dialogs4.h"
#include "res/resource.h"

namespace {

struct Category {
    const char16_t* name;
    int number;
};
constexpr Category kCategories[] = {
    {u"ファイル", 0}, {u"編集", 1}, {u"データ", 3}, {u"表示", 4}, {u"ツール", 5}, {u"ヘルプ", 7},
};

// The command's string resource up to its first line break.
CString CommandPrompt(int cmd) {
    CString text;
    if (!text.LoadString(static_cast<UINT>(cmd))) return CString();
    const int lf = text.Find(u'\n');
    return lf < 0 ? text : text.Left(lf);
}

bool BecameSelected(const NMLISTVIEW* nm) {
    return (nm->uChanged & LVIF_STATE) && (nm->uNewState & LVIS_SELECTED) && !(nm->uOldState & LVIS_SELECTED);
}

bool SelectionChanged(const NMLISTVIEW* nm) {
    return (nm->uChanged & LVIF_STATE) && ((nm->uNewState ^ nm->uOldState) & LVIS_SELECTED);
}

bool Down(int vk) {
    return (::GetAsyncKeyState(vk) & 0x8000) != 0;
}

} // namespace

const CAcceleratorDlg::CommandRow CAcceleratorDlg::kCommands[61] = {
    {0, ID_FILE_SELECT_TABLE},
    {0, ID_FILE_REFRESH},
    {0, ID_FILE_COMMIT},
    {0, ID_FILE_SAVE_DATA},
    {0, ID_FILE_CLEAR_DATA},
    {0, ID_FILE_CHANGE_CONNECTION},
    {0, ID_APP_EXIT},
    {1, ID_EDIT_UNDO},
    {1, ID_EDIT_REDO},
    {1, ID_EDIT_CUT},
    {1, ID_EDIT_COPY},
    {1, ID_EDIT_SELECT_ALL},
    {1, ID_EDIT_COPY_TAB},
    {1, ID_EDIT_COPY_TAB_WITH_COLNAME},
    {1, ID_EDIT_COPY_CSV},
    {1, ID_EDIT_COPY_CSV_WITH_COLNAME},
    {1, ID_EDIT_COPY_FIXED},
    {1, ID_EDIT_COPY_FIXED_WITH_COLNAME},
    {1, ID_EDIT_PASTE},
    {1, ID_EDIT_PASTE_CELL},
    {1, ID_EDIT_SEARCH},
    {1, ID_EDIT_SEARCH_NEXT},
    {1, ID_EDIT_SEARCH_PREV},
    {1, ID_EDIT_SEARCH_REPLACE},
    {1, ID_EDIT_CLEAR_SEARCH_HIGHLIGHT},
    {1, ID_EDIT_NEXT_CHANGED_CELL},
    {1, ID_EDIT_PREV_CHANGED_CELL},
    {1, ID_EDIT_CELL},
    {1, ID_EDIT_DATA},
    {1, ID_EDIT_INSERT_NEWLINE},
    {1, ID_EDIT_TO_LOWER},
    {1, ID_EDIT_TO_UPPER},
    {1, ID_EDIT_INPUT_SEQUENCE},
    {1, ID_EDIT_INPUT_CURRENT_TIME},
    {1, ID_EDIT_TO_ZENKAKU},
    {1, ID_EDIT_TO_ZENKAKU_KANA},
    {1, ID_EDIT_TO_ZENKAKU_ALNUM},
    {1, ID_EDIT_TO_HANKAKU},
    {1, ID_EDIT_TO_HANKAKU_KANA},
    {1, ID_EDIT_TO_HANKAKU_ALNUM},
    {3, ID_DATA_ADD_RECORD},
    {3, ID_DATA_ADD_RECORDS},
    {3, ID_DATA_DELETE_RECORD},
    {3, ID_DATA_DELETE_EMPTY_ADDED_ROWS},
    {3, ID_DATA_DELETE_EMPTY_ROWS},
    {3, ID_DATA_FIT_COLUMN_WIDTH_WITH_NAME},
    {3, ID_DATA_FIT_COLUMN_WIDTH},
    {3, ID_DATA_EQUAL_COLUMN_WIDTH},
    {3, ID_EDIT_FIND_COLUMN_NAME},
    {3, ID_DATA_SORT_GRID},
    {3, ID_DATA_SWAP_ROW_COL},
    {3, ID_DATA_FILTER},
    {3, ID_DATA_CLEAR_FILTER},
    {4, ID_VIEW_TOOLBAR},
    {4, ID_VIEW_STATUS_BAR},
    {4, ID_VIEW_FONT},
    {5, ID_TOOL_SHOW_UPDATE_SQL},
    {5, ID_TOOL_LOGIN_INFO},
    {5, ID_TOOL_OPTION},
    {5, ID_TOOL_KEY_ASSIGN},
    {7, ID_APP_ABOUT},
};

BEGIN_MESSAGE_MAP(CAcceleratorDlg, CDialog)
ON_NOTIFY(LVN_ITEMCHANGED, IDC_ACCEL_CATEGORIES, OnCategoryChanged)
ON_NOTIFY(LVN_ITEMCHANGED, IDC_ACCEL_COMMANDS, OnCommandChanged)
ON_NOTIFY(LVN_ITEMCHANGED, IDC_ACCEL_KEYS, OnKeyChanged)
ON_EN_CHANGE(IDC_ACCEL_CAPTURE, OnCaptureChanged)
ON_BN_CLICKED(IDC_ACCEL_ASSIGN, OnAssign)
ON_BN_CLICKED(IDC_ACCEL_REMOVE, OnRemove)
ON_BN_CLICKED(IDC_ACCEL_DEFAULTS, OnDefaults)
END_MESSAGE_MAP()

CAcceleratorDlg::CAcceleratorDlg(CWnd* parent) : CDialog(IDD_ACCELERATOR, parent) {}

void CAcceleratorDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_ACCEL_CATEGORIES, m_categories);
    DDX_Control(dx, IDC_ACCEL_COMMANDS, m_commands);
    DDX_Control(dx, IDC_ACCEL_KEYS, m_keys);
}

BOOL CAcceleratorDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    HWND capture = ::GetDlgItem(m_hWnd, IDC_ACCEL_CAPTURE);
    ::SetWindowLongPtrW(capture, GWLP_USERDATA,
                        ::SetWindowLongPtrW(capture, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CaptureProc)));
    for (CListCtrl* list : {&m_categories, &m_commands, &m_keys})
        list->SetExtendedStyle(list->GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    m_categories.InsertColumn(0, u"分類", LVCFMT_LEFT, 170);
    m_commands.InsertColumn(0, u"機能", LVCFMT_LEFT, 170);
    m_commands.InsertColumn(1, u"説明", LVCFMT_LEFT, 240);
    m_commands.InsertColumn(2, u"キー", LVCFMT_LEFT, 100);
    m_keys.InsertColumn(0, u"キー", LVCFMT_LEFT, 170);
    FillCategories();
    UpdateEnabling();
    return TRUE;
}

void CAcceleratorDlg::FillCategories() {
    m_keys.DeleteAllItems();
    m_commands.DeleteAllItems();
    m_categories.DeleteAllItems();
    for (int i = 0; i < int(std::size(kCategories)); ++i) {
        m_categories.InsertItem(i, kCategories[i].name);
        m_categories.SetItemData(i, DWORD_PTR(kCategories[i].number));
    }
}

void CAcceleratorDlg::FillCommands(int category) {
    m_keys.DeleteAllItems();
    m_commands.DeleteAllItems();
    int row = 0;
    for (const CommandRow& c : kCommands) {
        if (c.category != category) continue;
        m_commands.InsertItem(row, AccelTable::CommandShortName(c.cmd));
        m_commands.SetItemText(row, 1, CommandPrompt(c.cmd));
        CString keys;
        if (m_table.KeysForCommand(c.cmd, keys) == 0) m_commands.SetItemText(row, 2, keys);
        m_commands.SetItemData(row, DWORD_PTR(c.cmd));
        ++row;
    }
}

void CAcceleratorDlg::FillKeys(int cmd) {
    m_keys.DeleteAllItems();
    int row = 0;
    for (int i = 0; i < m_table.GetCount(); ++i) {
        const ACCEL& a = m_table[i];
        if (a.cmd != static_cast<WORD>(cmd)) continue;
        m_keys.InsertItem(
            row++, AccelTable::FormatKeyName(a.key, a.fVirt & FALT, a.fVirt & FCONTROL, a.fVirt & FSHIFT));
    }
}

void CAcceleratorDlg::RefreshKeyColumn() {
    for (int i = 0; i < m_commands.GetItemCount(); ++i) {
        CString keys;
        m_table.KeysForCommand(int(m_commands.GetItemData(i)), keys);
        m_commands.SetItemText(i, 2, keys);
    }
}

int CAcceleratorDlg::SelectedCommand() const {
    const int row = m_commands.GetNextItem(-1, LVNI_SELECTED);
    return row < 0 ? -1 : int(m_commands.GetItemData(row));
}

void CAcceleratorDlg::UpdateEnabling() {
    CString captured;
    GetDlgItemText(IDC_ACCEL_CAPTURE, captured);
    const bool keyChosen = m_keys.GetNextItem(-1, LVNI_SELECTED) >= 0;
    const bool assignable =
        SelectedCommand() >= 0 && captured.GetLength() >= 2 && captured[captured.GetLength() - 1] != u'+';
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_ACCEL_REMOVE), keyChosen);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_ACCEL_ASSIGN), assignable);
}

void CAcceleratorDlg::OnCategoryChanged(NMHDR* nm, LRESULT* result) {
    auto* lv = reinterpret_cast<NMLISTVIEW*>(nm);
    if (BecameSelected(lv)) {
        FillCommands(int(m_categories.GetItemData(lv->iItem)));
        UpdateEnabling();
    }
    *result = 0;
}

void CAcceleratorDlg::OnCommandChanged(NMHDR* nm, LRESULT* result) {
    auto* lv = reinterpret_cast<NMLISTVIEW*>(nm);
    if (BecameSelected(lv)) {
        FillKeys(int(m_commands.GetItemData(lv->iItem)));
        UpdateEnabling();
    }
    *result = 0;
}

void CAcceleratorDlg::OnKeyChanged(NMHDR* nm, LRESULT* result) {
    if (SelectionChanged(reinterpret_cast<NMLISTVIEW*>(nm))) UpdateEnabling();
    *result = 0;
}

void CAcceleratorDlg::OnCaptureChanged() {
    UpdateEnabling();
    CString captured;
    GetDlgItemText(IDC_ACCEL_CAPTURE, captured);
    CString line;
    const int cmd = m_table.FindCommand(captured);
    if (cmd != -1) {
        const CString name = AccelTable::CommandShortName(cmd);
        if (!name.IsEmpty()) line.Format(u"現在の割り当て：%s", name.GetString());
    }
    SetDlgItemText(IDC_ACCEL_CURRENT, line);
}

void CAcceleratorDlg::OnAssign() {
    const int cmd = SelectedCommand();
    if (cmd < 0) return;
    CString captured;
    GetDlgItemText(IDC_ACCEL_CAPTURE, captured);
    int key = 0, virt = 0;
    if (AccelTable::ParseKeyName(captured, &key, &virt)) {
        m_table.RemoveKey(key, virt);
        m_table.Add(cmd, key, virt);
    }
    SetDlgItemText(IDC_ACCEL_CAPTURE, u"");
    SetDlgItemText(IDC_ACCEL_CURRENT, u"");
    FillKeys(cmd);
    RefreshKeyColumn();
    UpdateEnabling();
}

void CAcceleratorDlg::OnRemove() {
    const int row = m_keys.GetNextItem(-1, LVNI_SELECTED);
    if (row < 0) return;
    int key = 0, virt = 0;
    if (AccelTable::ParseKeyName(m_keys.GetItemText(row, 0), &key, &virt)) m_table.RemoveKey(key, virt);
    const int cmd = SelectedCommand();
    if (cmd >= 0)
        FillKeys(cmd);
    else
        m_keys.DeleteAllItems();
    RefreshKeyColumn();
    UpdateEnabling();
}

void CAcceleratorDlg::OnDefaults() {
    if (MessageBox(u"キー割り当てをデフォルトの設定に戻します。\nよろしいですか？", u"確認",
                   MB_ICONQUESTION | MB_OKCANCEL) == IDCANCEL)
        return;
    m_table.LoadDefaults();
    FillCategories();
    UpdateEnabling();
}

LRESULT CALLBACK CAcceleratorDlg::CaptureProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto base = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_GETDLGCODE: return DLGC_WANTALLKEYS;
    case WM_CHAR:
    case WM_SYSCHAR: return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        ::SetWindowTextW(
            hwnd, AccelTable::FormatKeyName(int(wParam), Down(VK_MENU), Down(VK_CONTROL), Down(VK_SHIFT)));
        return 0;
    }
    return ::CallWindowProcW(base, hwnd, msg, wParam, lParam);
}
