// The table-selection dialog: lists, filter, chosen columns, the condition
// editor, the statement and its query.
#include "app/dialogs/tablelistdlg.h"

#include <map>

#include "app/dialogs/querydlg.h"
#include "base/utf16.h"
#include "mfc/waitcursor.h"
#include "oracle/oci_exec.h"
#include "oracle/ora_dict.h"
#include "regex/regex.h"
#include "res/tablelist.h"

namespace {

bool HoldsReadOnly(const CString& s) {
    return s.Find(u"/*READONLY*/") >= 0;
}

bool EqualsNoCase(const char16_t* a, int n, const char16_t* word) {
    int i = 0;
    for (; i < n && word[i]; ++i) {
        char16_t c = a[i];
        if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
        if (c != word[i]) return false;
    }
    return i == n && !word[i];
}

char16_t Lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c;
}

// The name filter's rule: the pattern anywhere in the lower-cased name.
bool FilterShows(Regex* re, const CString& name) {
    CString lower = name;
    lower.MakeLower();
    int start = 0, end = 0;
    return regex_search_str(re, lower.GetString(), 0, &start, &end) > 0;
}

CString ColText(const OraDataset* ds, int row, const char16_t* name) {
    int col = oci_get_dataset_col_no(ds, name);
    return col >= 0 ? CString(oci_get_dataset_data(ds, row, col)) : CString();
}

// ---- The owner combo's type-ahead ----

struct ComboTypeAheadState {
    WNDPROC prev = nullptr;
    char16_t prefix[21]{};
    int length = 0;
    DWORD tick = 0;
    int lastApplied = -1;
    HWND combo = nullptr;
};

std::map<HWND, ComboTypeAheadState*>& TypeAheadStates() {
    static std::map<HWND, ComboTypeAheadState*> states;
    return states;
}

std::map<HWND, WNDPROC>& EditProcs() {
    static std::map<HWND, WNDPROC> procs;
    return procs;
}

CString ComboText(HWND combo, int i) {
    int n = int(::SendMessageW(combo, CB_GETLBTEXTLEN, WPARAM(i), 0));
    CString s;
    if (n < 0) return s;
    ::SendMessageW(combo, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(s.GetBuffer(n + 1)));
    s.ReleaseBuffer(n);
    return s;
}

bool BeginsWith(const CString& text, const char16_t* prefix, int n) {
    if (text.GetLength() < n) return false;
    for (int i = 0; i < n; ++i)
        if (Lower(text[i]) != prefix[i]) return false;
    return true;
}

// One pass over the items for the prefix; the match or -1.
int TypeAheadFind(ComboTypeAheadState* st, bool backward) {
    HWND combo = st->combo;
    int count = int(::SendMessageW(combo, CB_GETCOUNT, 0, 0));
    if (count <= 0) return -1;
    int cur = int(::SendMessageW(combo, CB_GETCURSEL, 0, 0));
    int start;
    if (cur < 0)
        start = backward ? count - 1 : 0;
    else if (st->length == 1)
        start = backward ? (cur - 1 + count) % count : (cur + 1) % count;
    else
        start = cur;
    int i = start;
    do {
        if (BeginsWith(ComboText(combo, i), st->prefix, st->length)) return i;
        i = backward ? (i - 1 + count) % count : (i + 1) % count;
    } while (i != start);
    return -1;
}

void TypeAheadSearch(ComboTypeAheadState* st, char16_t ch) {
    DWORD now = ::GetTickCount();
    if (st->tick == 0 || now - st->tick > 200) {
        st->length = 0;
        st->lastApplied = -1;
    }
    if (st->length >= 20) {
        st->length = 0;
        return;
    }
    st->prefix[st->length++] = Lower(ch);
    bool backward = ::GetAsyncKeyState(VK_SHIFT) < 0;
    int found = TypeAheadFind(st, backward);
    if (found < 0 && st->length == 2 && st->prefix[0] == st->prefix[1]) {
        // Repeated letters step through the items that begin with it.
        st->length = 1;
        found = TypeAheadFind(st, backward);
    }
    if (found >= 0) {
        ::SendMessageW(st->combo, CB_SETCURSEL, WPARAM(found), 0);
        ::KillTimer(st->combo, IDT_TYPEAHEAD);
        st->tick = now;
    } else {
        st->length = 0;
    }
}

LRESULT ComboTypeAheadProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto it = TypeAheadStates().find(hwnd);
    if (it == TypeAheadStates().end()) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    ComboTypeAheadState* st = it->second;
    WNDPROC prev = st->prev;
    switch (msg) {
    case WM_CHAR:
        if (wParam >= 0x20 && wParam <= 0x7E) {
            TypeAheadSearch(st, char16_t(wParam));
            return 0;
        }
        break;
    case WM_KEYDOWN: {
        if (wParam != VK_UP && wParam != VK_LEFT && wParam != VK_DOWN && wParam != VK_RIGHT) break;
        int count = int(::SendMessageW(hwnd, CB_GETCOUNT, 0, 0));
        if (count <= 0) break;
        int cur = int(::SendMessageW(hwnd, CB_GETCURSEL, 0, 0));
        bool up = wParam == VK_UP || wParam == VK_LEFT;
        int next = cur < 0 ? (up ? count - 1 : 0) : up ? (cur - 1 + count) % count : (cur + 1) % count;
        if (next != cur) {
            st->length = 0;
            ::SendMessageW(hwnd, CB_SETCURSEL, WPARAM(next), 0);
            ::KillTimer(hwnd, IDT_TYPEAHEAD);
        }
        return 0;
    }
    case WM_KEYUP:
        if (wParam >= 0x20 && wParam <= 0x7E && st->tick) st->tick = ::GetTickCount();
        if (int(::SendMessageW(hwnd, CB_GETCURSEL, 0, 0)) != st->lastApplied)
            ::SetTimer(hwnd, IDT_TYPEAHEAD, 200, nullptr);
        break;
    case WM_MOUSEWHEEL: ::SetTimer(hwnd, IDT_TYPEAHEAD_WHEEL, 200, nullptr); break;
    case WM_TIMER:
        if (wParam == IDT_TYPEAHEAD || wParam == IDT_TYPEAHEAD_WHEEL) {
            ::KillTimer(hwnd, wParam);
            int cur = int(::SendMessageW(hwnd, CB_GETCURSEL, 0, 0));
            if (cur != st->lastApplied) {
                st->lastApplied = cur;
                ::SendMessageW(::GetParent(hwnd), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(hwnd), CBN_SELCHANGE),
                               reinterpret_cast<LPARAM>(hwnd));
            }
            return 0;
        }
        break;
    case WM_GETDLGCODE: return ::CallWindowProcW(prev, hwnd, msg, wParam, lParam) | DLGC_WANTARROWS;
    case WM_DESTROY:
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prev));
        TypeAheadStates().erase(it);
        delete st;
        return ::CallWindowProcW(prev, hwnd, msg, wParam, lParam);
    default: break;
    }
    return ::CallWindowProcW(prev, hwnd, msg, wParam, lParam);
}

void InstallTypeAhead(HWND combo) {
    if (!combo || TypeAheadStates().count(combo)) return;
    auto* st = new ComboTypeAheadState;
    st->combo = combo;
    st->lastApplied = int(::SendMessageW(combo, CB_GETCURSEL, 0, 0));
    TypeAheadStates()[combo] = st;
    st->prev = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(combo, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ComboTypeAheadProc)));
}

// ---- The filter edit: Up and Down move the object selection ----

LRESULT TableListEditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto it = EditProcs().find(hwnd);
    if (it == EditProcs().end()) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    WNDPROC prev = it->second;
    if (msg == WM_KEYDOWN && (wParam == VK_UP || wParam == VK_DOWN)) {
        ::PostMessageW(::GetParent(hwnd), wParam == VK_UP ? TLM_SELECTPREV : TLM_SELECTNEXT, 0, 0);
        return 0;
    }
    if (msg == WM_DESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prev));
        EditProcs().erase(it);
    }
    return ::CallWindowProcW(prev, hwnd, msg, wParam, lParam);
}

void InstallEditProc(HWND edit) {
    if (!edit || EditProcs().count(edit)) return;
    EditProcs()[edit] = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TableListEditProc)));
}

} // namespace

// ---- Rules ----

int TableList_NeedsWherePrefix(const char16_t* text, const CStrToken* token) {
    if (!text) return 0;
    const char16_t* p = text;
    while (*p == u' ' || *p == u'\t' || *p == u'\r' || *p == u'\n') ++p;
    if (token) p = token->skipSpaceAndComment(p);
    if (!p || !*p) return 0;
    int n = token ? token->getWordLength(p, 0) : 0;
    if (!token) {
        while (p[n] && p[n] != u' ' && p[n] != u'\t' && p[n] != u'\r' && p[n] != u'\n') ++n;
    }
    if (n > 99) n = 99;
    if (n <= 0) return 0;
    return EqualsNoCase(p, n, u"order") || EqualsNoCase(p, n, u"where") ? 0 : 1;
}

int TableList_CopyForm(uint32_t at, uint32_t before, const CStrToken* token) {
    auto wide_break = [](uint32_t c) {
        return c == 0x3000 || c == 0x3001 || c == 0x3002 || c == 0xFF0C || c == 0xFF0E;
    };
    auto is_break = [&](uint32_t c) {
        if (c == 0 || c == u'\r' || c == u'\n') return true;
        if (c < 256)
            return token ? token->isWordBreak(c)
                         : !(c == u'_' || (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') ||
                             (c >= u'a' && c <= u'z'));
        return wide_break(c);
    };
    if (!is_break(at)) return 0;
    if (before == u'"') return 2;
    return is_break(before) ? 1 : 2;
}

CString TableList_BuildSelect(const std::vector<CString>& columns, const std::vector<CString>& keys,
                              const CString& owner, const CString& table, const CString& alias,
                              const CString& where, int lock) {
    CString list;
    for (const CString& c : columns) {
        if (!list.IsEmpty()) list += u", ";
        if (HoldsReadOnly(c)) {
            list += c;
        } else {
            CString item;
            item.Format(u"%s.\"%s\"", alias.GetString(), c.GetString());
            list += item;
        }
    }
    CString sql;
    if (keys.empty()) {
        sql.Format(u"select %s, rowid \nfrom \"%s\".\"%s\" %s \n%s", list.GetString(), owner.GetString(),
                   table.GetString(), alias.GetString(), where.GetString());
    } else {
        CString keyList;
        for (const CString& k : keys) {
            if (!keyList.IsEmpty()) keyList += u", ";
            CString item;
            item.Format(u"%s.\"%s\"", alias.GetString(), k.GetString());
            keyList += item;
        }
        sql.Format(u"select %s, 'X' as \"ROWID\" , %s \nfrom \"%s\".\"%s\" %s \n%s", list.GetString(),
                   keyList.GetString(), owner.GetString(), table.GetString(), alias.GetString(),
                   where.GetString());
    }
    // On a line of its own: a condition ending in a "--" comment would swallow it.
    if (lock) sql += u"\n for update nowait";
    return sql;
}

// ---- The dialog ----

CTableListDlg::CTableListDlg(CWnd* parent) : CDialog(IDD_TABLE_LIST, parent) {
    oci_init_dataset(&m_objects);
}

CTableListDlg::~CTableListDlg() {
    oci_free_dataset(&m_objects);
}

CComboBox* CTableListDlg::Owners() const {
    return static_cast<CComboBox*>(GetDlgItem(IDC_TL_OWNER));
}
CListCtrl* CTableListDlg::Objects() const {
    return static_cast<CListCtrl*>(GetDlgItem(IDC_TL_OBJECTS));
}
CListCtrl* CTableListDlg::Columns() const {
    return static_cast<CListCtrl*>(GetDlgItem(IDC_TL_COLUMNS));
}
CListCtrl* CTableListDlg::Chosen() const {
    return static_cast<CListCtrl*>(GetDlgItem(IDC_TL_CHOSEN));
}

void CTableListDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Check(dx, IDC_TL_LOCK, m_lock);
}

BOOL CTableListDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    CListCtrl* objects = Objects();
    CListCtrl* columns = Columns();
    CListCtrl* chosen = Chosen();
    objects->InsertColumn(0, u"table_name", LVCFMT_LEFT, 200);
    objects->InsertColumn(1, u"type", LVCFMT_LEFT, 70);
    objects->InsertColumn(2, u"comments", LVCFMT_LEFT, 200);
    columns->InsertColumn(0, u"column name", LVCFMT_LEFT, 120);
    columns->InsertColumn(1, u"data type", LVCFMT_LEFT, 70);
    columns->InsertColumn(2, u"length", LVCFMT_RIGHT, 30);
    columns->InsertColumn(3, u"nullable", LVCFMT_LEFT, 30);
    columns->InsertColumn(4, u"comments", LVCFMT_LEFT, 100);
    columns->InsertColumn(5, u"no", LVCFMT_RIGHT, 25);
    chosen->InsertColumn(0, u"column name", LVCFMT_LEFT, 120);
    for (CListCtrl* l : {objects, columns, chosen}) {
        l->SetExtendedStyle(l->GetExtendedStyle() | LVS_EX_FULLROWSELECT);
        if (m_font) l->SetFont(m_font);
    }

    // The condition editor.
    m_whereData.m_token = m_token ? m_token : &theSqlStrToken;
    m_whereData.SetUnlimitedUndo();
    m_whereData.InsertText(m_where.GetString());
    m_whereData.SetCaret(0, 0);
    m_whereData.MarkSaved();
    m_whereEdit.SetData(&m_whereData);
    RECT r{0, 0, 100, 60};
    m_whereEdit.Create(WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL, r, this,
                       IDC_TL_WHERE);
    ::SetWindowPos(m_whereEdit.GetSafeHwnd(), chosen->GetSafeHwnd(), 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    m_whereEdit.SetOptions(0x10);
    if (m_font) m_whereEdit.SetTextFont(m_font);

    if (!m_path.IsEmpty()) {
        if (!LoadSearchCondition(m_path.GetString())) {
            EndDialog(IDCANCEL);
            return TRUE;
        }
    } else {
        if (!LoadOwnerList() || !LoadObjectList()) {
            EndDialog(IDCANCEL);
            return TRUE;
        }
        int sel = SelectedObject();
        if (sel >= 0 &&
            !LoadColumnList(m_owner, objects->GetItemText(sel, 0), objects->GetItemText(sel, 1), 1)) {
            EndDialog(IDCANCEL);
            return TRUE;
        }
        std::vector<CString> given = m_columns;
        for (const CString& c : given) {
            if (HoldsReadOnly(c)) {
                AddChosenColumn(c);
            } else {
                bool listed = false;
                for (int i = 0; i < columns->GetItemCount() && !listed; ++i)
                    listed = columns->GetItemText(i, 0) == c;
                if (listed) AddChosenColumn(c);
            }
        }
    }
    UpdateButtons();
    if (m_autoRun && GetDlgItem(IDOK)->IsWindowEnabled()) {
        SetTimer(IDT_TABLELIST_AUTOOK, 1, nullptr);
        GetDlgItem(IDOK)->EnableWindow(FALSE);
        static_cast<CEdit*>(GetDlgItem(IDC_TL_FILTER))->SetReadOnly(TRUE);
    } else if (m_autoRun) {
        // Nothing to run at once (no table yet, the table is gone, or no
        // column chosen): the dialog waits for the user as a plain opening
        // does, with the owner's whole object list when the one asked for
        // was not found, and OK enabled by what the user picks.
        m_autoRun = 0;
        if (Objects()->GetItemCount() == 0 && !LoadObjectList()) {
            EndDialog(IDCANCEL);
            return TRUE;
        }
        UpdateButtons();
    }
    CWinApp* app = AfxGetApp();
    int w = app ? int(app->GetProfileInt(u"TABLE_DLG", u"WIDTH", 0)) : 0;
    int h = app ? int(app->GetProfileInt(u"TABLE_DLG", u"HEIGHT", 0)) : 0;
    if (w > 200 && h > 200) SetWindowPos(nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER);
    UpdateData(FALSE);
    m_initialised = 1;
    Layout();
    InstallEditProc(GetDlgItem(IDC_TL_FILTER)->GetSafeHwnd());
    InstallTypeAhead(Owners()->GetSafeHwnd());
    return TRUE;
}

int CTableListDlg::LoadOwnerList() {
    CComboBox* combo = Owners();
    if (!m_session || !combo) return 0;
    combo->ResetContent();
    OraDataset ds{};
    oci_init_dataset(&ds);
    CString msg;
    int rc = oci_sel_dataset(m_session, &ds, u"select username \nfrom all_users \norder by username \n", 30,
                             &msg, "");
    if (rc != ORARC_OK) {
        oci_free_dataset(&ds);
        MessageBox(msg.GetString(), u"Error", MB_ICONWARNING);
        return 0;
    }
    int col = oci_get_dataset_col_no(&ds, u"USERNAME");
    for (int i = 0; i < ds.row_count; ++i) {
        CString name = oci_get_dataset_data(&ds, i, col < 0 ? 0 : col);
        int at = combo->AddString(name.GetString());
        if (name == m_owner) combo->SetCurSel(at);
    }
    oci_free_dataset(&ds);
    int at = combo->AddString(u"PUBLIC");
    if (m_owner == u"PUBLIC") combo->SetCurSel(at);
    int sel = combo->GetCurSel();
    if (sel >= 0)
        combo->GetLBText(sel, m_owner);
    else
        m_owner.Empty();
    return 1;
}

int CTableListDlg::LoadObjectList() {
    Objects()->DeleteAllItems();
    Columns()->DeleteAllItems();
    Chosen()->DeleteAllItems();
    ForgetColumns();
    oci_free_dataset(&m_objects);
    oci_init_dataset(&m_objects);
    m_haveObjects = 0;
    if (!m_session) return 0;
    CString msg;
    int rc;
    if (m_autoRun && !m_table.IsEmpty())
        rc = oci_sel_dataset(
            m_session, &m_objects,
            u"select object_name, object_type, '' comments \nfrom all_objects \nwhere owner = "
            u":X0 \nand object_name = :X1 \norder by object_name",
            10, &msg, "SS", m_owner.GetString(), m_table.GetString());
    else
        rc = oradict_sel_objects(m_session, m_owner.GetString(), u"TABLE|VIEW|SYNONYM", &m_objects, &msg,
                                 nullptr);
    if (rc != ORARC_OK) {
        MessageBox(msg.GetString(), u"Error", MB_ICONWARNING);
        return 0;
    }
    m_haveObjects = 1;
    FillObjectList(0);
    return 1;
}

void CTableListDlg::FillObjectList(int filterChanged) {
    CListCtrl* objects = Objects();
    if (!objects) return;
    if (filterChanged) {
        int sel = SelectedObject();
        if (sel >= 0) m_table = objects->GetItemText(sel, 0);
    }
    CWaitCursor wait;
    objects->SetRedraw(FALSE);
    m_filling = 1;
    objects->DeleteAllItems();
    CString filter;
    GetDlgItemText(IDC_TL_FILTER, filter);
    Regex* re = nullptr;
    int valid = 1;
    if (!filter.IsEmpty()) {
        re = regex_compile(filter.GetString(), REGEX_IGNORE_CASE);
        valid = re ? 1 : 0;
    }
    if (valid != m_filterValid) {
        m_filterValid = valid;
        if (CWnd* edit = GetDlgItem(IDC_TL_FILTER)) edit->Invalidate();
    }
    int selected = -1;
    if (m_haveObjects) {
        for (int r = 0; r < m_objects.row_count; ++r) {
            CString name = ColText(&m_objects, r, u"OBJECT_NAME");
            if (re && !FilterShows(re, name)) continue;
            int at = objects->InsertItem(objects->GetItemCount(), name.GetString());
            if (at < 0) {
                MessageBox(u"", u"Error", MB_ICONWARNING);
                break;
            }
            objects->SetItemText(at, 1, ColText(&m_objects, r, u"OBJECT_TYPE").GetString());
            objects->SetItemText(at, 2, ColText(&m_objects, r, u"COMMENTS").GetString());
            if (name == m_table && selected < 0) selected = at;
        }
    }
    if (re) regex_destroy(re);
    m_filling = 0;
    if (selected >= 0) {
        objects->SetItemState(selected, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        objects->EnsureVisible(selected, FALSE);
    } else if (!filter.IsEmpty() && objects->GetItemCount() > 0) {
        objects->SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        objects->EnsureVisible(0, FALSE);
    }
    if (objects->GetItemCount() == 0) ForgetColumns();
    objects->SetRedraw(TRUE);
    objects->Invalidate();
    if (filterChanged && SelectedObject() < 0) {
        Columns()->DeleteAllItems();
        Chosen()->DeleteAllItems();
    }
    UpdateButtons();
}

// Whether the name filter, as FillObjectList applies it, leaves the name out.
bool CTableListDlg::FilterHides(const CString& name) {
    CString filter;
    GetDlgItemText(IDC_TL_FILTER, filter);
    if (filter.IsEmpty()) return false;
    Regex* re = regex_compile(filter.GetString(), REGEX_IGNORE_CASE);
    if (!re) return false;
    const bool hidden = !FilterShows(re, name);
    regex_destroy(re);
    return hidden;
}

// Empties the name filter without filling the list it filtered; the caller
// fills the list next.
void CTableListDlg::ClearFilterText() {
    m_settingFilter = 1;
    SetDlgItemText(IDC_TL_FILTER, u"");
    m_settingFilter = 0;
}

void CTableListDlg::ForgetColumns() {
    m_loadedOwner.Empty();
    m_loadedTable.Empty();
}

int CTableListDlg::SelectedObject() const {
    CListCtrl* objects = Objects();
    return objects ? objects->GetNextItem(-1, LVNI_SELECTED) : -1;
}

int CTableListDlg::LoadColumnList(const CString& owner, const CString& object, const CString& type,
                                  int selectAll) {
    if (!m_loadedTable.IsEmpty() && owner == m_loadedOwner && object == m_loadedTable) return 1;
    CListCtrl* columns = Columns();
    Chosen()->DeleteAllItems();
    columns->DeleteAllItems();
    if (type == u"SYNONYM") {
        OraTableDef def{};
        CString name, msg;
        name.Format(u"\"%s\".\"%s\"", owner.GetString(), object.GetString());
        int rc = oci_get_table_def(m_session, &def, name.GetString(), &msg);
        if (rc != ORARC_OK) {
            std::free(def.columns);
            if (msg.Find(u"4044") < 0) return 0;
        } else {
            for (int i = 0; i < def.col_count; ++i) {
                const OraTableColumn& c = def.columns[i];
                int at = columns->InsertItem(i, c.desc.wname);
                if (at < 0) {
                    std::free(def.columns);
                    MessageBox(u"リストビュー初期化エラー", u"Error", MB_ICONWARNING);
                    return 0;
                }
                CString no;
                no.Format(u"%d", i + 1);
                columns->SetItemText(at, 1, c.wtype_text);
                columns->SetItemText(at, 2, c.wsize_text);
                columns->SetItemText(at, 3, c.desc.nullable ? u"Y" : u"N");
                columns->SetItemText(at, 4, u"");
                columns->SetItemText(at, 5, no.GetString());
            }
            std::free(def.columns);
        }
    } else if (!object.IsEmpty()) {
        OraDataset ds{};
        oci_init_dataset(&ds);
        CString msg;
        int rc = oradict_sel_columns(m_session, owner.GetString(), object.GetString(), &ds, &msg);
        if (rc != ORARC_OK) {
            oci_free_dataset(&ds);
            MessageBox(msg.GetString(), u"Error", MB_ICONWARNING);
            return 0;
        }
        for (int r = 0; r < ds.row_count; ++r) {
            int at = columns->InsertItem(r, ColText(&ds, r, u"COLUMN_NAME").GetString());
            if (at < 0) {
                oci_free_dataset(&ds);
                MessageBox(u"", u"Error", MB_ICONWARNING);
                return 0;
            }
            columns->SetItemText(at, 1, ColText(&ds, r, u"DATA_TYPE").GetString());
            columns->SetItemText(at, 2, ColText(&ds, r, u"DATA_LENGTH").GetString());
            columns->SetItemText(at, 3, ColText(&ds, r, u"NULLABLE").GetString());
            columns->SetItemText(at, 4, ColText(&ds, r, u"COMMENTS").GetString());
            columns->SetItemText(at, 5, ColText(&ds, r, u"COLUMN_ID").GetString());
        }
        oci_free_dataset(&ds);
    }
    if (selectAll) {
        for (int i = 0; i < columns->GetItemCount(); ++i)
            columns->SetItemState(i, LVIS_SELECTED, LVIS_SELECTED);
    }
    int first = columns->GetNextItem(-1, LVNI_SELECTED);
    if (first >= 0) columns->EnsureVisible(first, FALSE);
    UpdateButtons();
    m_loadedOwner = owner;
    m_loadedTable = object;
    return 1;
}

int CTableListDlg::AddChosenColumn(const CString& name) {
    CListCtrl* columns = Columns();
    CListCtrl* chosen = Chosen();
    if (!HoldsReadOnly(name)) {
        bool listed = false;
        for (int i = 0; i < columns->GetItemCount() && !listed; ++i)
            listed = columns->GetItemText(i, 0) == name;
        if (!listed) return 0;
    }
    for (int i = 0; i < chosen->GetItemCount(); ++i) {
        if (chosen->GetItemText(i, 0) == name) {
            chosen->SetItemState(i, LVIS_SELECTED, LVIS_SELECTED);
            return 1;
        }
    }
    int at = chosen->InsertItem(chosen->GetItemCount(), name.GetString());
    if (at >= 0) chosen->SetItemState(at, LVIS_SELECTED, LVIS_SELECTED);
    return at >= 0 ? 1 : 0;
}

void CTableListDlg::AddSelectedColumns() {
    CListCtrl* columns = Columns();
    CListCtrl* chosen = Chosen();
    for (int i = 0; i < chosen->GetItemCount(); ++i) chosen->SetItemState(i, 0, LVIS_SELECTED);
    for (int i = columns->GetNextItem(-1, LVNI_SELECTED); i >= 0; i = columns->GetNextItem(i, LVNI_SELECTED))
        AddChosenColumn(columns->GetItemText(i, 0));
    UpdateButtons();
}

void CTableListDlg::MoveChosen(int delta) {
    CListCtrl* chosen = Chosen();
    if (chosen->GetSelectedCount() != 1 || (delta != -1 && delta != 1)) return;
    int sel = chosen->GetNextItem(-1, LVNI_SELECTED);
    int target = sel + delta;
    if (sel < 0 || target < 0 || target >= chosen->GetItemCount()) return;
    CString a = chosen->GetItemText(sel, 0), b = chosen->GetItemText(target, 0);
    chosen->SetItemText(sel, 0, b.GetString());
    chosen->SetItemText(target, 0, a.GetString());
    chosen->SetItemState(sel, 0, LVIS_SELECTED | LVIS_FOCUSED);
    chosen->SetItemState(target, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    chosen->EnsureVisible(target, FALSE);
}

void CTableListDlg::UpdateButtons() {
    CListCtrl* columns = Columns();
    CListCtrl* chosen = Chosen();
    if (!columns || !chosen) return;
    bool object = SelectedObject() >= 0;
    bool colSel = columns->GetSelectedCount() > 0;
    bool chosenAny = chosen->GetItemCount() > 0;
    bool chosenSel = chosen->GetSelectedCount() > 0;
    BOOL ok = object && (colSel || chosenAny);
    if (!(m_autoRun && m_initialised)) GetDlgItem(IDOK)->EnableWindow(ok);
    GetDlgItem(IDC_TL_SAVE)->EnableWindow(ok);
    GetDlgItem(IDC_TL_ADD)->EnableWindow(colSel);
    GetDlgItem(IDC_TL_DEL)->EnableWindow(chosenSel);
    GetDlgItem(IDC_TL_CLEAR)->EnableWindow(chosenAny);
    GetDlgItem(IDC_TL_UPDOWN)->EnableWindow(chosen->GetSelectedCount() == 1);
}

void CTableListDlg::CopyToWhere() {
    CListCtrl* columns = Columns();
    UndoBuffer* undo = m_whereData.m_undo;
    if (undo) undo->BeginGroup(0);
    UndoGroupGuard guard(undo, undo != nullptr);
    for (int i = columns->GetNextItem(-1, LVNI_SELECTED); i >= 0;
         i = columns->GetNextItem(i, LVNI_SELECTED)) {
        CString col = columns->GetItemText(i, 0), name;
        name.Format(utf16_needs_quotes(col.GetString()) ? u"\"%s\"" : u"%s", col.GetString());
        if (m_whereEdit.HasSelection()) {
            m_whereEdit.ReplaceSelection(name.GetString(), 0);
            continue;
        }
        int form = TableList_CopyForm(m_whereData.GetCharAtCaret(), m_whereData.GetCharBeforeCaret(),
                                      m_whereData.m_token);
        if (form == 0) continue;
        CString text = form == 2 ? CString(u", ") + name : name;
        m_whereEdit.ReplaceSelection(text.GetString(), 0);
    }
}

void CTableListDlg::MoveObjectSelection(int delta) {
    CListCtrl* objects = Objects();
    int count = objects->GetItemCount();
    if (count == 0) return;
    int sel = SelectedObject();
    int next = sel + delta;
    if (next < 0 || next >= count) return;
    if (sel >= 0) objects->SetItemState(sel, 0, LVIS_SELECTED | LVIS_FOCUSED);
    objects->SetItemState(next, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    objects->EnsureVisible(next, FALSE);
}

int CTableListDlg::RebuildColumnList(int checkTypes) {
    CListCtrl* columns = Columns();
    CListCtrl* chosen = Chosen();
    m_columns.clear();
    for (int i = 0; i < chosen->GetItemCount(); ++i) {
        CString name = chosen->GetItemText(i, 0);
        if (checkTypes && !HoldsReadOnly(name)) {
            CString type;
            bool found = false;
            for (int j = 0; j < columns->GetItemCount() && !found; ++j) {
                if (columns->GetItemText(j, 0) == name) {
                    found = true;
                    type = columns->GetItemText(j, 1);
                }
            }
            if (!found || type == u"LONG RAW") {
                CString text;
                text.Format(u"%sはサポートされていません", (found ? type : name).GetString());
                MessageBox(text.GetString(), u"ERROR", MB_ICONWARNING);
                return 0;
            }
        }
        m_columns.push_back(name);
    }
    return 1;
}

void CTableListDlg::OnOK() {
    UpdateData(TRUE);
    if (Chosen()->GetItemCount() == 0) {
        CListCtrl* columns = Columns();
        for (int i = 0; i < columns->GetItemCount(); ++i)
            columns->SetItemState(i, LVIS_SELECTED, LVIS_SELECTED);
        AddSelectedColumns();
    }
    int autoRun = m_autoRun;
    m_autoRun = 0;
    // Stopped before the query, an automatic OK leaves the dialog to the user.
    auto stay = [&] {
        if (autoRun) LeaveAutoRun();
    };
    int sel = Owners()->GetCurSel();
    if (sel >= 0) Owners()->GetLBText(sel, m_owner);
    int obj = SelectedObject();
    if (obj < 0) {
        stay();
        return;
    }
    m_table = Objects()->GetItemText(obj, 0);
    m_where = m_whereData.GetAllText();
    if (TableList_NeedsWherePrefix(m_where.GetString(), m_whereData.m_token))
        m_where = CString(u"WHERE ") + m_where;
    if (!RebuildColumnList(1)) {
        stay();
        return;
    }
    CString msg;
    if (oci_ora_rollback(m_session, &msg) != ORARC_OK) {
        MessageBox(msg.GetString(), u"Error", MB_ICONWARNING);
        stay();
        return;
    }
    if (RunQuery() == 0) {
        CDialog::OnOK();
    } else if (autoRun) {
        EndDialog(IDCANCEL);
    } else {
        UpdateButtons();
    }
}

// The dialog as a plain opening shows it: the filter takes typing, OK follows
// its rule, and the object list holds every object of the owner again, the
// table and the chosen columns kept. When the owner's objects cannot be read,
// the one object stays.
void CTableListDlg::LeaveAutoRun() {
    static_cast<CEdit*>(GetDlgItem(IDC_TL_FILTER))->SetReadOnly(FALSE);
    OraDataset all{};
    oci_init_dataset(&all);
    CString msg;
    if (m_session && oradict_sel_objects(m_session, m_owner.GetString(), u"TABLE|VIEW|SYNONYM", &all, &msg,
                                         nullptr) == ORARC_OK) {
        CListCtrl* chosen = Chosen();
        std::vector<CString> kept;
        for (int i = 0; i < chosen->GetItemCount(); ++i) kept.push_back(chosen->GetItemText(i, 0));
        oci_free_dataset(&m_objects);
        m_objects = all; // the rows pass to the dialog
        m_haveObjects = 1;
        FillObjectList(0);
        for (const CString& c : kept) AddChosenColumn(c);
    } else {
        oci_free_dataset(&all);
    }
    UpdateButtons();
}

int CTableListDlg::RunQuery() {
    if (m_alias.IsEmpty()) m_alias = CString(u'a');
    std::vector<CString> keys;
    CString msg;
    if (oradict_get_iot_type(m_session, m_owner.GetString(), m_table.GetString(), &msg) == 1) {
        OraDataset kd{};
        oci_init_dataset(&kd);
        if (oradict_get_key_columns(m_session, &kd, m_owner.GetString(), m_table.GetString(), &msg) !=
            ORARC_OK) {
            oci_free_dataset(&kd);
            MessageBox(msg.GetString(), u"ERROR", MB_ICONWARNING);
            return 1;
        }
        for (int r = 0; r < kd.row_count; ++r) keys.push_back(oci_get_dataset_data(&kd, r, 0));
        oci_free_dataset(&kd);
    }
    CString sql = TableList_BuildSelect(m_columns, keys, m_owner, m_table, m_alias, m_where, m_lock);
    auto* ds = new OraDataset{};
    oci_init_dataset(ds);
    m_errText.Empty();
    int rc = RunQueryWithProgress(m_session, ds, sql.GetString(), &m_errText, this, 0);
    if (rc == ORARC_OK || rc == ORARC_CANCELLED) {
        m_result = ds;
        return 0;
    }
    MessageBox(m_errText.GetString(), u"ERROR", MB_ICONWARNING);
    oci_free_dataset(ds);
    delete ds;
    return rc ? rc : 1;
}

BOOL CTableListDlg::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_SYSKEYDOWN) {
        CWnd* target = nullptr;
        switch (msg->wParam) {
        case 'C': target = Columns(); break;
        case 'F': target = GetDlgItem(IDC_TL_FILTER); break;
        case 'O': target = Owners(); break;
        case 'T': target = Objects(); break;
        case 'W': target = &m_whereEdit; break;
        default: break;
        }
        if (target && target->GetSafeHwnd()) {
            target->SetFocus();
            return TRUE;
        }
    }
    return CDialog::PreTranslateMessage(msg);
}

void CTableListDlg::OnCommandFrom(int id, int code) {
    switch (id) {
    case IDC_TL_OWNER:
        if (code == CBN_SELCHANGE) {
            int sel = Owners()->GetCurSel();
            if (sel >= 0) Owners()->GetLBText(sel, m_owner);
            LoadObjectList();
        }
        break;
    case IDC_TL_FILTER:
        if (code == EN_CHANGE && m_initialised && !m_settingFilter) FillObjectList(1);
        break;
    case IDC_TL_FILTER_CLEAR:
        if (code == BN_CLICKED) SetDlgItemText(IDC_TL_FILTER, u"");
        break;
    case IDC_TL_ALL:
        if (code == BN_CLICKED) {
            CListCtrl* columns = Columns();
            for (int i = 0; i < columns->GetItemCount(); ++i)
                columns->SetItemState(i, LVIS_SELECTED, LVIS_SELECTED);
            UpdateButtons();
        }
        break;
    case IDC_TL_ADD:
        if (code == BN_CLICKED) AddSelectedColumns();
        break;
    case IDC_TL_DEL:
        if (code == BN_CLICKED) {
            CListCtrl* chosen = Chosen();
            for (int i = chosen->GetItemCount() - 1; i >= 0; --i)
                if (chosen->GetItemState(i, LVIS_SELECTED)) chosen->DeleteItem(i);
            UpdateButtons();
        }
        break;
    case IDC_TL_CLEAR:
        if (code == BN_CLICKED) {
            Chosen()->DeleteAllItems();
            UpdateButtons();
        }
        break;
    case IDC_TL_SAVE:
        if (code == BN_CLICKED) OnSaveCondition();
        break;
    case IDC_TL_LOAD:
        if (code == BN_CLICKED) OnLoadCondition();
        break;
    case ID_COPY_TO_WHERE: CopyToWhere(); break;
    default: break;
    }
}

LRESULT CTableListDlg::OnNotifyFrom(NMHDR* nm) {
    switch (nm->idFrom) {
    case IDC_TL_OBJECTS:
        if (nm->code == LVN_ITEMCHANGED) {
            auto* lv = reinterpret_cast<NMLISTVIEW*>(nm);
            UpdateButtons();
            if (!m_filling && (lv->uNewState & LVIS_SELECTED) && !(lv->uOldState & LVIS_SELECTED) &&
                lv->iItem >= 0) {
                CListCtrl* objects = Objects();
                m_table = objects->GetItemText(lv->iItem, 0);
                LoadColumnList(m_owner, m_table, objects->GetItemText(lv->iItem, 1), 1);
            }
        }
        break;
    case IDC_TL_COLUMNS:
        if (nm->code == LVN_ITEMCHANGED) {
            UpdateButtons();
        } else if (nm->code == NM_DBLCLK) {
            AddSelectedColumns();
        } else if (nm->code == NM_RCLICK) {
            HMENU menu = ::LoadMenuW(nullptr, MAKEINTRESOURCEW(IDR_COLUMN_LIST_MENU));
            if (menu) {
                POINT pt;
                ::GetCursorPos(&pt);
                ::TrackPopupMenu(::GetSubMenu(menu, 0), TPM_LEFTALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0,
                                 m_hWnd, nullptr);
                ::DestroyMenu(menu);
            }
        }
        break;
    case IDC_TL_CHOSEN:
        if (nm->code == LVN_ITEMCHANGED) UpdateButtons();
        break;
    case IDC_TL_UPDOWN:
        if (nm->code == UDN_DELTAPOS) {
            MoveChosen(reinterpret_cast<NMUPDOWN*>(nm)->iDelta);
            return 1; // the control keeps its own position
        }
        break;
    default: break;
    }
    return 0;
}

LRESULT CTableListDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        int id = LOWORD(wParam), code = HIWORD(wParam);
        if (id != IDOK && id != IDCANCEL) {
            OnCommandFrom(id, code);
            if (id != IDC_TL_OWNER) return 0;
            return 0;
        }
        break;
    }
    case WM_NOTIFY: return OnNotifyFrom(reinterpret_cast<NMHDR*>(lParam));
    case WM_TIMER:
        if (wParam == IDT_TABLELIST_AUTOOK) {
            KillTimer(IDT_TABLELIST_AUTOOK);
            OnOK();
            return 0;
        }
        break;
    case WM_CTLCOLOREDIT: {
        LRESULT r = CDialog::WindowProc(message, wParam, lParam);
        if (reinterpret_cast<HWND>(lParam) == ::GetDlgItem(m_hWnd, IDC_TL_FILTER) && !m_filterValid)
            ::SetTextColor(reinterpret_cast<HDC>(wParam), RGB(255, 0, 0));
        return r;
    }
    case WM_SIZE: {
        LRESULT r = CDialog::WindowProc(message, wParam, lParam);
        Layout();
        return r;
    }
    case WM_DESTROY: {
        RECT r;
        GetWindowRect(&r);
        if (CWinApp* app = AfxGetApp()) {
            app->WriteProfileInt(u"TABLE_DLG", u"WIDTH", r.right - r.left);
            app->WriteProfileInt(u"TABLE_DLG", u"HEIGHT", r.bottom - r.top);
        }
        break;
    }
    case TLM_SELECTPREV: MoveObjectSelection(-1); return 0;
    case TLM_SELECTNEXT: MoveObjectSelection(1); return 0;
    default: break;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

void CTableListDlg::Layout() {
    if (!m_initialised) return;
    RECT c;
    GetClientRect(&c);
    const int m = 10, lw = 64, gap = 6, rowH = 22, btnW = 56, btnH = 24;
    int w = c.right, h = c.bottom;
    auto place = [&](int id, int x, int y, int cx, int cy) {
        if (HWND hw = ::GetDlgItem(m_hWnd, id))
            ::MoveWindow(hw, x, y, cx < 1 ? 1 : cx, cy < 1 ? 1 : cy, TRUE);
    };
    int x0 = m + lw, beside = w - m - x0;
    int y = m;
    place(IDC_TL_OWNER_LABEL, m, y + 3, lw - 4, 16);
    RECT cr{};
    if (CWnd* combo = Owners()) combo->GetWindowRect(&cr);
    place(IDC_TL_OWNER, x0, y, 220, cr.bottom - cr.top > 0 ? int(cr.bottom - cr.top) : rowH);
    y += rowH + gap;
    place(IDC_TL_FILTER_LABEL, m, y + 3, lw - 4, 16);
    place(IDC_TL_FILTER, x0, y, 220, rowH);
    place(IDC_TL_FILTER_CLEAR, x0 + 220 + gap, y - 1, btnW, btnH);
    y += rowH + gap + 2;
    int bottomY = h - m - btnH;
    int avail = bottomY - gap - y;
    int third = avail / 3;
    place(IDC_TL_TABLE_LABEL, m, y + 3, lw - 4, 16);
    place(IDC_TL_OBJECTS, x0, y, beside, third - gap);
    y += third;
    place(IDC_TL_COLUMN_LABEL, m, y + 3, lw - 4, 16);
    place(IDC_TL_ALL, m, y + 24, lw - 14, btnH);
    int colW = beside * 3 / 5;
    place(IDC_TL_COLUMNS, x0, y, colW, third - gap);
    int bx = x0 + colW + gap;
    place(IDC_TL_ADD, bx, y, btnW, btnH);
    place(IDC_TL_DEL, bx, y + btnH + 4, btnW, btnH);
    place(IDC_TL_CLEAR, bx, y + 2 * (btnH + 4), btnW, btnH);
    place(IDC_TL_UPDOWN, bx, y + 3 * (btnH + 4), 20, btnH + 8);
    int chX = bx + btnW + gap;
    place(IDC_TL_CHOSEN, chX, y, w - m - chX, third - gap);
    y += third;
    place(IDC_TL_WHERE_LABEL, m, y + 3, lw - 4, 16);
    if (m_whereEdit.GetSafeHwnd()) m_whereEdit.MoveWindow(x0, y, beside, bottomY - gap - y);
    int bxx = m;
    place(IDC_TL_SAVE, bxx, bottomY, btnW + 10, btnH);
    bxx += btnW + 10 + gap;
    place(IDC_TL_LOAD, bxx, bottomY, btnW + 10, btnH);
    int right = w - m;
    place(IDC_TL_LOCK, right - 130, bottomY + 4, 130, 18);
    right -= 130 + gap;
    place(IDCANCEL, right - 80, bottomY, 80, btnH);
    right -= 80 + gap;
    place(IDOK, right - 70, bottomY, 70, btnH);
}
