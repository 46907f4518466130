// The search, replace and filter dialogs.
#include "app/dialogs/searchdlg.h"

#include "res/dialogs4.h"

#include <algorithm>

namespace {

constexpr const char16_t* kSearchSection = u"SEARCH_TEXT";
constexpr const char16_t* kReplaceSection = u"REPLACE_TEXT";

CString Key(const char16_t* format, int i) {
    CString key;
    key.Format(format, i);
    return key;
}

CComboBox* Combo(const CWnd* dlg, int id) {
    return static_cast<CComboBox*>(CWnd::FromHandle(::GetDlgItem(dlg->GetSafeHwnd(), id)));
}

RECT ChildRect(HWND dlg, int id) {
    RECT r{};
    HWND child = ::GetDlgItem(dlg, id);
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

} // namespace

// --- Histories -------------------------------------------------------------------------------------

const char16_t* const SearchHistory::kNoData = u"\f_NO_DATA_\n";

int SearchHistory::Load(const char16_t* section, CString texts[10], int flags[10]) {
    CWinApp* app = AfxGetApp();
    int n = 0;
    for (; n < 10; ++n) {
        CString text = app->GetProfileString(section, Key(u"%d", n), kNoData);
        if (text == kNoData) break;
        texts[n] = text;
        if (flags) flags[n] = static_cast<int>(app->GetProfileInt(section, Key(u"status_%d", n), 0));
    }
    return n;
}

bool SearchHistory::Store(const char16_t* section, const CString& text, int bits, bool withFlags) {
    CWinApp* app = AfxGetApp();
    CString stored[10];
    int status[10] = {};
    for (int i = 0; i < 10; ++i) {
        stored[i] = app->GetProfileString(section, Key(u"%d", i), u"");
        if (withFlags) status[i] = static_cast<int>(app->GetProfileInt(section, Key(u"status_%d", i), 0));
    }
    if (stored[0] == text && (!withFlags || status[0] == bits)) return false;
    int next = 1;
    for (int i = 0; i < 10 && next <= 9; ++i) {
        if (stored[i].IsEmpty() || stored[i] == text) continue;
        app->WriteProfileString(section, Key(u"%d", next), stored[i]);
        if (withFlags) app->WriteProfileInt(section, Key(u"status_%d", next), status[i]);
        ++next;
    }
    app->WriteProfileString(section, u"0", text);
    if (withFlags) app->WriteProfileInt(section, u"status_0", bits);
    for (; next <= 9; ++next) {
        app->WriteProfileString(section, Key(u"%d", next), nullptr);
        if (withFlags) app->WriteProfileInt(section, Key(u"status_%d", next), 0);
    }
    return true;
}

// --- The shared part -----------------------------------------------------------------------------

CSearchDlgBase::CSearchDlgBase(UINT idTemplate, const char16_t* widthSection, int minWidth, int buttonMargin,
                               CWnd* parent)
    : CDialog(idTemplate, parent), m_widthSection(widthSection), m_minWidth(minWidth),
      m_buttonMargin(buttonMargin) {}

BOOL CSearchDlgBase::EnsureWindow() {
    if (::IsWindow(m_hWnd)) return TRUE;
    m_hWnd = nullptr;
    return Create(static_cast<UINT>(reinterpret_cast<uintptr_t>(m_lpszTemplateName)), nullptr);
}

void CSearchDlgBase::ShowDialog() {
    SetUp();
    CenterWindow();
    ShowWindow(SW_SHOWNORMAL);
    if (HWND text = ::GetDlgItem(m_hWnd, IDC_SEARCH_TEXT)) GotoDlgCtrl(CWnd::FromHandle(text));
}

BOOL CSearchDlgBase::OnInitDialog() {
    CDialog::OnInitDialog();
    // The height mark only measures: never shown, whatever the template says.
    if (HWND mark = ::GetDlgItem(m_hWnd, IDC_SEARCH_HEIGHT_MARK)) ::ShowWindow(mark, SW_HIDE);
    SetUp();
    CenterWindow();
    return FALSE;
}

void CSearchDlgBase::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Check(dx, IDC_SEARCH_REGEX, m_useRegex);
    DDX_Check(dx, IDC_SEARCH_MATCH_CASE, m_matchCase);
    DDX_Check(dx, m_matchWidthId, m_matchWidth);
}

void CSearchDlgBase::SetUp() {
    RECT mark = ChildRect(m_hWnd, IDC_SEARCH_HEIGHT_MARK);
    m_height = mark.bottom + 10 + 2 * ::GetSystemMetrics(SM_CYFRAME) + ::GetSystemMetrics(SM_CYCAPTION);
}

CString CSearchDlgBase::ReadCombo(int id) const {
    CString text;
    GetDlgItemText(id, text);
    return text;
}

void CSearchDlgBase::ReadOptions() {
    UpdateData(TRUE);
}

int CSearchDlgBase::OptionBits() const {
    return (m_useRegex ? SEARCH_FLAG_REGEX : 0) | (m_matchCase ? SEARCH_FLAG_MATCH_CASE : 0) |
           (m_matchWidth ? SEARCH_FLAG_MATCH_WIDTH : 0);
}

void CSearchDlgBase::SetOptionBits(int bits) {
    m_useRegex = (bits & SEARCH_FLAG_REGEX) ? 1 : 0;
    m_matchCase = (bits & SEARCH_FLAG_MATCH_CASE) ? 1 : 0;
    m_matchWidth = (bits & SEARCH_FLAG_MATCH_WIDTH) ? 1 : 0;
}

void CSearchDlgBase::LoadHistory(int id, const char16_t* section, bool withFlags) {
    CComboBox* combo = Combo(this, id);
    combo->ResetContent();
    CString texts[10];
    int flags[10] = {};
    const int n = SearchHistory::Load(section, texts, withFlags ? flags : nullptr);
    for (int i = 0; i < n; ++i) combo->AddString(texts[i]);
    if (withFlags)
        for (int i = 0; i < 10; ++i) m_historyFlags[i] = i < n ? flags[i] : 0;
}

void CSearchDlgBase::SelectOrInsert(int id, const CString& text, bool withFlags) {
    CComboBox* combo = Combo(this, id);
    for (int i = 0; i < combo->GetCount(); ++i) {
        CString entry;
        combo->GetLBText(i, entry);
        if (entry == text) {
            combo->SetCurSel(i);
            return;
        }
    }
    if (text.IsEmpty()) {
        combo->SetCurSel(-1);
        SetDlgItemText(id, u"");
        return;
    }
    combo->InsertString(0, text);
    if (withFlags) {
        for (int i = 9; i > 0; --i) m_historyFlags[i] = m_historyFlags[i - 1];
        m_historyFlags[0] = OptionBits();
    }
    combo->SetCurSel(0);
}

void CSearchDlgBase::StoreSearchText() {
    SearchHistory::Store(kSearchSection, m_searchText, OptionBits(), true);
    LoadHistory(IDC_SEARCH_TEXT, kSearchSection, true);
    SelectOrInsert(IDC_SEARCH_TEXT, m_searchText, true);
    UpdateData(FALSE);
    UpdateEnabling();
}

void CSearchDlgBase::OnSearchTextChosen() {
    CComboBox* combo = Combo(this, IDC_SEARCH_TEXT);
    const int sel = combo->GetCurSel();
    if (sel < 0) return;
    UpdateData(TRUE);
    combo->GetLBText(sel, m_searchText);
    SetOptionBits(sel < 10 ? m_historyFlags[sel] : 0);
    SelectOrInsert(IDC_SEARCH_TEXT, m_searchText, true);
    UpdateData(FALSE);
    UpdateEnabling();
}

bool CSearchDlgBase::OwnerGone() {
    if (::IsWindow(m_ownerWnd)) return false;
    ShowWindow(SW_HIDE);
    return true;
}

void CSearchDlgBase::Layout() {
    const std::vector<int> buttons = ActionButtons();
    if (!::IsWindow(m_hWnd) || buttons.empty() || !::GetDlgItem(m_hWnd, buttons[0])) return;
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    const int outer = window.right - window.left;
    std::vector<int> moved = buttons;
    moved.push_back(IDCANCEL);
    for (int id : moved) {
        HWND button = ::GetDlgItem(m_hWnd, id);
        if (!button) continue;
        RECT r = ChildRect(m_hWnd, id);
        const int w = r.right - r.left;
        ::MoveWindow(button, outer - w - m_buttonMargin, r.top, w, r.bottom - r.top, FALSE);
    }
    const RECT first = ChildRect(m_hWnd, buttons[0]);
    for (int id : GrowingCombos()) {
        HWND combo = ::GetDlgItem(m_hWnd, id);
        if (!combo) continue;
        RECT r = ChildRect(m_hWnd, id);
        ::MoveWindow(combo, r.left, r.top, std::max(0, int(first.left - 10 - r.left)), r.bottom - r.top,
                     FALSE);
    }
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void CSearchDlgBase::OnCancel() {
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    const int width = window.right - window.left;
    CWinApp* app = AfxGetApp();
    if (static_cast<int>(app->GetProfileInt(m_widthSection, u"DLG_WIDTH", 0)) != width)
        app->WriteProfileInt(m_widthSection, u"DLG_WIDTH", width);
    if (IsModal()) {
        EndDialog(IDCANCEL);
        return;
    }
    ShowWindow(SW_HIDE);
    DestroyWindow();
}

LRESULT CSearchDlgBase::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_GETMINMAXINFO: {
        LRESULT r = CDialog::WindowProc(message, wParam, lParam);
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize.x = m_minWidth;
        if (m_height > 0) {
            info->ptMinTrackSize.y = m_height;
            info->ptMaxTrackSize.y = m_height;
        }
        return r;
    }
    case WM_SIZE: {
        LRESULT r = CDialog::WindowProc(message, wParam, lParam);
        Layout();
        return r;
    }
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

void CSearchDlgBase::ApplyStoredSize() {
    const int stored = static_cast<int>(AfxGetApp()->GetProfileInt(m_widthSection, u"DLG_WIDTH", 0));
    SetWindowPos(nullptr, 0, 0, std::max(stored, m_minWidth), m_height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// --- 検索 -------------------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CSearchDlg, CSearchDlgBase)
ON_BN_CLICKED(IDC_SEARCH_NEXT, OnFindNext)
ON_BN_CLICKED(IDC_SEARCH_PREV, OnFindPrev)
ON_CBN_EDITCHANGE(IDC_SEARCH_TEXT, OnTextChanged)
ON_CBN_SELENDOK(IDC_SEARCH_TEXT, OnChosen)
END_MESSAGE_MAP()

// The request's text and options, the search history (its newest entry and
// options when the request brings no text), and the focus on the text box.
void CSearchDlgBase::TakeSearchRequest() {
    m_searchText = m_request->searchText;
    m_matchCase = m_request->matchCase;
    m_matchWidth = m_request->matchWidth;
    m_useRegex = m_request->useRegex;
    LoadHistory(IDC_SEARCH_TEXT, kSearchSection, true);
    if (m_searchText.IsEmpty() && Combo(this, IDC_SEARCH_TEXT)->GetCount() > 0) {
        Combo(this, IDC_SEARCH_TEXT)->GetLBText(0, m_searchText);
        SetOptionBits(m_historyFlags[0]);
    }
    GotoDlgCtrl(GetDlgItem(IDC_SEARCH_TEXT));
    SelectOrInsert(IDC_SEARCH_TEXT, m_searchText, true);
}

CSearchDlg::CSearchDlg(CWnd* parent) : CSearchDlgBase(IDD_SEARCH, u"SEARCH_DLG", 450, 28, parent) {}

void CSearchDlg::SetUp() {
    if (!m_title.IsEmpty()) SetWindowText(m_title);
    CSearchDlgBase::SetUp();
    if (!m_bound || !m_request) return;
    TakeSearchRequest();
    UpdateData(FALSE);
    UpdateEnabling();
    ApplyStoredSize();
}

std::vector<int> CSearchDlg::ActionButtons() const {
    return {IDC_SEARCH_NEXT, IDC_SEARCH_PREV};
}

void CSearchDlg::UpdateEnabling() {
    const BOOL any = !ReadCombo(IDC_SEARCH_TEXT).IsEmpty();
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SEARCH_NEXT), any);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SEARCH_PREV), any);
}

void CSearchDlg::OnOK() {
    if (::IsWindowEnabled(::GetDlgItem(m_hWnd, IDC_SEARCH_NEXT))) OnFind(1);
}

void CSearchDlg::OnFind(int direction) {
    if (OwnerGone()) return;
    CWaitCursor wait;
    m_searchText = ReadCombo(IDC_SEARCH_TEXT);
    ReadOptions();
    if (m_searchText.IsEmpty() || !m_request) return;
    m_request->searchText = m_searchText;
    m_request->matchCase = m_matchCase;
    m_request->matchWidth = m_matchWidth;
    m_request->useRegex = m_useRegex;
    m_request->direction = direction;
    const LRESULT result = ::SendMessageW(m_ownerWnd, m_searchMessage, 0, 0);
    if (!::IsWindow(m_hWnd)) return;
    StoreSearchText();
    GotoDlgCtrl(GetDlgItem(IDC_SEARCH_TEXT));
    if (direction == 1 && m_closeAtFound && result == 0) OnCancel();
}

// --- 置換 -------------------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CReplaceDlg, CSearchDlgBase)
ON_BN_CLICKED(IDC_SEARCH_NEXT, OnFindNext)
ON_BN_CLICKED(IDC_SEARCH_PREV, OnFindPrev)
ON_BN_CLICKED(IDC_REPLACE_ONE, OnReplace)
ON_BN_CLICKED(IDC_REPLACE_ALL, OnReplaceAll)
ON_BN_CLICKED(IDC_REPLACE_IN_SELECTION, OnTextChanged)
ON_BN_CLICKED(IDC_REPLACE_WHOLE, OnTextChanged)
ON_CBN_EDITCHANGE(IDC_SEARCH_TEXT, OnTextChanged)
ON_CBN_EDITCHANGE(IDC_REPLACE_TEXT, OnTextChanged)
ON_CBN_SELENDOK(IDC_SEARCH_TEXT, OnChosen)
ON_CBN_SELENDOK(IDC_REPLACE_TEXT, OnReplacementChosen)
END_MESSAGE_MAP()

CReplaceDlg::CReplaceDlg(CWnd* parent) : CSearchDlgBase(IDD_REPLACE, u"REPLACE_DLG", 500, 28, parent) {
    m_matchWidthId = IDC_REPLACE_MATCH_WIDTH;
}

void CReplaceDlg::DoDataExchange(CDataExchange* dx) {
    CSearchDlgBase::DoDataExchange(dx);
    DDX_Radio(dx, IDC_REPLACE_IN_SELECTION, m_scope);
}

void CReplaceDlg::SetUp() {
    CSearchDlgBase::SetUp();
    if (!m_bound || !m_request) return;
    m_replaceText = m_request->replaceText;
    m_scope = m_request->inSelection == 1 ? 0 : 1;
    TakeSearchRequest();
    LoadHistory(IDC_REPLACE_TEXT, kReplaceSection, false);
    if (m_replaceText.IsEmpty() && Combo(this, IDC_REPLACE_TEXT)->GetCount() > 0)
        Combo(this, IDC_REPLACE_TEXT)->GetLBText(0, m_replaceText);
    SelectOrInsert(IDC_REPLACE_TEXT, m_replaceText, false);
    UpdateData(FALSE);
    UpdateEnabling();
    ApplyStoredSize();
}

std::vector<int> CReplaceDlg::ActionButtons() const {
    return {IDC_SEARCH_NEXT, IDC_SEARCH_PREV, IDC_REPLACE_ONE, IDC_REPLACE_ALL};
}

void CReplaceDlg::UpdateEnabling() {
    const bool any = !ReadCombo(IDC_SEARCH_TEXT).IsEmpty();
    const bool whole = ::IsDlgButtonChecked(m_hWnd, IDC_REPLACE_WHOLE) == BST_CHECKED;
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_REPLACE_ALL), any);
    for (int id : {IDC_SEARCH_NEXT, IDC_SEARCH_PREV, IDC_REPLACE_ONE})
        ::EnableWindow(::GetDlgItem(m_hWnd, id), any && whole);
}

void CReplaceDlg::OnOK() {
    if (::IsWindowEnabled(::GetDlgItem(m_hWnd, IDC_SEARCH_NEXT))) Act(0);
}

void CReplaceDlg::OnReplacementChosen() {
    CComboBox* combo = Combo(this, IDC_REPLACE_TEXT);
    const int sel = combo->GetCurSel();
    if (sel < 0) return;
    combo->GetLBText(sel, m_replaceText);
    UpdateEnabling();
}

void CReplaceDlg::Act(int action) {
    if (OwnerGone()) return;
    if (action == 2 && !::IsWindowEnabled(::GetDlgItem(m_hWnd, IDC_REPLACE_ONE))) return;
    CWaitCursor wait;
    m_searchText = ReadCombo(IDC_SEARCH_TEXT);
    m_replaceText = ReadCombo(IDC_REPLACE_TEXT);
    ReadOptions();
    if (m_searchText.IsEmpty() || !m_request) return;
    SearchRequest& r = *m_request;
    r.searchText = m_searchText;
    r.replaceText = m_replaceText;
    r.matchCase = m_matchCase;
    r.matchWidth = m_matchWidth;
    r.useRegex = m_useRegex;
    r.inSelection = m_scope == 0 ? 1 : 0;
    r.direction = action == 1 ? -1 : 1;
    r.replaceAll = action == 3 ? 1 : 0;
    ::SendMessageW(m_ownerWnd, action < 2 ? m_searchMessage : m_replaceMessage, 0, 0);
    if (!::IsWindow(m_hWnd)) return;
    SearchHistory::Store(kReplaceSection, m_replaceText, 0, false);
    LoadHistory(IDC_REPLACE_TEXT, kReplaceSection, false);
    SelectOrInsert(IDC_REPLACE_TEXT, m_replaceText, false);
    StoreSearchText();
    if (action == 2) GotoDlgCtrl(GetDlgItem(IDC_SEARCH_TEXT));
}

// --- 検索結果をフィルタ -------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CGridFilterDlg, CSearchDlgBase)
ON_BN_CLICKED(IDC_FILTER_RUN, OnRun)
ON_BN_CLICKED(IDC_FILTER_CLEAR, OnClear)
ON_CBN_EDITCHANGE(IDC_SEARCH_TEXT, OnTextChanged)
ON_CBN_SELENDOK(IDC_SEARCH_TEXT, OnChosen)
END_MESSAGE_MAP()

CGridFilterDlg::CGridFilterDlg(CWnd* parent)
    : CSearchDlgBase(IDD_GRID_FILTER, u"GRID_FILTER_DLG", 450, 18, parent) {}

void CGridFilterDlg::SetUp() {
    CSearchDlgBase::SetUp();
    if (!m_bound || !m_request) return;
    CComboBox* columns = Combo(this, IDC_FILTER_COLUMN);
    columns->ResetContent();
    if (m_gridData) {
        for (int c = 0; c < m_gridData->GetColCount(); ++c) {
            const int i = columns->AddString(m_gridData->GetColName(c));
            columns->SetItemData(i, DWORD_PTR(c));
            if (c == m_initialColumn) columns->SetCurSel(i);
        }
    }
    TakeSearchRequest();
    UpdateData(FALSE);
    UpdateEnabling();
    ApplyStoredSize();
}

std::vector<int> CGridFilterDlg::ActionButtons() const {
    return {IDC_FILTER_RUN, IDC_FILTER_CLEAR};
}

void CGridFilterDlg::UpdateEnabling() {
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_FILTER_RUN), !ReadCombo(IDC_SEARCH_TEXT).IsEmpty());
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_FILTER_CLEAR), m_gridData && m_gridData->m_filtered);
}

void CGridFilterDlg::OnOK() {
    if (::IsWindowEnabled(::GetDlgItem(m_hWnd, IDC_FILTER_RUN))) OnRun();
}

void CGridFilterDlg::OnRun() {
    if (OwnerGone()) return;
    CWaitCursor wait;
    m_searchText = ReadCombo(IDC_SEARCH_TEXT);
    ReadOptions();
    CComboBox* columns = Combo(this, IDC_FILTER_COLUMN);
    const int sel = columns->GetCurSel();
    const int col = sel < 0 ? -1 : int(columns->GetItemData(sel));
    if (m_searchText.IsEmpty() || col < 0 || !m_request) return;
    m_request->searchText = m_searchText;
    m_request->matchCase = m_matchCase;
    m_request->matchWidth = m_matchWidth;
    m_request->useRegex = m_useRegex;
    m_request->direction = 1;
    const LRESULT result = ::SendMessageW(m_ownerWnd, SRM_FILTER, WPARAM(col), 0);
    if (!::IsWindow(m_hWnd)) return;
    StoreSearchText();
    GotoDlgCtrl(GetDlgItem(IDC_SEARCH_TEXT));
    if (m_closeAtFound && result == 0) OnCancel();
}

void CGridFilterDlg::OnClear() {
    if (OwnerGone()) return;
    ::SendMessageW(m_ownerWnd, SRM_CLEARFILTER, 0, 0);
    if (::IsWindow(m_hWnd)) UpdateEnabling();
}
