#include "app/dialogs/optionsheet.h"

#include <cstring>
#include <vector>

#include "app/dialogs/customcolors.h"
#include "app/dialogs/placesbarfiledlg.h"
#include "app/settings.h"
#include "res/options.h"

namespace {

const char16_t kSheetFace[] = u"ＭＳ Ｐゴシック";
const WORD kSheetPoints = 9;

// The fixed choices of the setup page's combo boxes; each also takes free text.
struct ComboChoices {
    int id;
    std::vector<const char16_t*> texts;
};
const ComboChoices kChoices[] = {
    {IDC_SP_DATE_FORMAT, {u"YYYY-MM-DD", u"YYYY-MM-DD HH24:MI", u"YYYY-MM-DD HH24:MI:SS", u"YY-MM-DD"}},
    {IDC_SP_TIMESTAMP_FORMAT, {u"YYYY-MM-DD HH24:MI:SS", u"YYYY-MM-DD", u"RR-MM-DD"}},
    {IDC_SP_TIMESTAMP_TZ_FORMAT,
     {u"YYYY-MM-DD HH24:MI:SSXFF TZH:TZM", u"YYYY-MM-DD HH24:MI:SS TZH:TZM", u"YYYY-MM-DD HH24:MI TZH:TZM"}},
    {IDC_SP_TIMEZONE, {u"+09:00", u"+00:00"}},
    {IDC_SP_DATE_LANGUAGE, {u" ", u"AMERICAN", u"JAPANESE"}},
};

// Colour buttons and the colour each edits.
struct ColorButton {
    int id;
    int index;
};
const ColorButton kColorButtons[] = {
    {IDC_GP_COLOR_BG, GRID_BG_COLOR},
    {IDC_GP_COLOR_HEADER_BG, GRID_HEADER_BG_COLOR},
    {IDC_GP_COLOR_LINE, GRID_LINE_COLOR},
    {IDC_GP_COLOR_SELECT, GRID_SELECT_COLOR},
    {IDC_GP_COLOR_DELETE, GRID_DELETE_COLOR},
    {IDC_GP_COLOR_INSERT, GRID_INSERT_COLOR},
    {IDC_GP_COLOR_UPDATE, GRID_UPDATE_COLOR},
    {IDC_GP_COLOR_TEXT, GRID_TEXT_COLOR},
    {IDC_GP_COLOR_NULL, GRID_NULL_CELL_COLOR},
    {IDC_GP_COLOR_MARK, GRID_MARK_COLOR},
    {IDC_GP_COLOR_HEADER_LINE, GRID_HEADER_LINE_COLOR},
    {IDC_GP_COLOR_SEARCH, GRID_SEARCH_COLOR},
    {IDC_GP_COLOR_CUR_ROW_TEXT, GRID_CUR_ROW_TEXT_COLOR},
};

// "標準の設定": the colours it sets (12, 13 and 14 stay as they are).
struct DefaultColor {
    int index;
    COLORREF color;
};
const DefaultColor kDefaultColors[] = {
    {GRID_BG_COLOR, 0xFFFFFF},           {GRID_HEADER_BG_COLOR, 0xFFE6E6},
    {GRID_LINE_COLOR, 0xFAC8C8},         {GRID_SELECT_COLOR, 0xDCC8C8},
    {GRID_DELETE_COLOR, 0x969696},       {GRID_INSERT_COLOR, 0xFFDCDC},
    {GRID_UPDATE_COLOR, 0xDCDCFF},       {GRID_UNEDITABLE_COLOR, 0xF0F0F0},
    {GRID_TEXT_COLOR, 0x000000},         {GRID_NULL_CELL_COLOR, 0xF5F5F5},
    {GRID_MARK_COLOR, 0x969600},         {GRID_HEADER_LINE_COLOR, 0x646464},
    {GRID_CUR_ROW_TEXT_COLOR, 0x000000},
};

// The switches of the grid page that change the sample's style, with their bit.
struct StyleSwitch {
    int CGridOptionPage::*member;
    uint32_t bit;
};
const StyleSwitch kStyleSwitches[] = {
    {&CGridOptionPage::m_showSpace, 0x100},
    {&CGridOptionPage::m_show2ByteSpace, 0x200},
    {&CGridOptionPage::m_showTab, 0x2000},
    {&CGridOptionPage::m_showLineFeed, 0x1000},
    {&CGridOptionPage::m_adjustColWidthNoUseColName, 0x400},
    {&CGridOptionPage::m_invertSelectText, 0x20},
    {&CGridOptionPage::m_endKeyLikeExcel, 0x10000},
    {&CGridOptionPage::m_dispColumnNameToolTip, 0x40000},
    {&CGridOptionPage::m_showNotNullColl, 0x80000},
};

struct CheckMember {
    int id;
    int CGridOptionPage::*member;
};
const CheckMember kGridChecks[] = {
    {IDC_GP_SHOW_2BYTE_SPACE, &CGridOptionPage::m_show2ByteSpace},
    {IDC_GP_SHOW_SPACE, &CGridOptionPage::m_showSpace},
    {IDC_GP_NO_USE_COLNAME, &CGridOptionPage::m_adjustColWidthNoUseColName},
    {IDC_GP_INVERT_SELECT_TEXT, &CGridOptionPage::m_invertSelectText},
    {IDC_GP_SHOW_LINE_FEED, &CGridOptionPage::m_showLineFeed},
    {IDC_GP_SHOW_TAB, &CGridOptionPage::m_showTab},
    {IDC_GP_COPY_ESCAPE_DBLQUOTE, &CGridOptionPage::m_copyEscapeDblQuote},
    {IDC_GP_IME_CARET_COLOR, &CGridOptionPage::m_imeCaretColor},
    {IDC_GP_END_KEY_LIKE_EXCEL, &CGridOptionPage::m_endKeyLikeExcel},
    {IDC_GP_COLUMN_NAME_TIP, &CGridOptionPage::m_dispColumnNameToolTip},
    {IDC_GP_SHOW_NOT_NULL, &CGridOptionPage::m_showNotNullColl},
    {IDC_GP_NO_MOVE_AT_DELETE, &CGridOptionPage::m_noMoveCellAtDeleteRows},
    {IDC_GP_NO_MOVE_AT_INSERT, &CGridOptionPage::m_noMoveCellAtInsertRows},
};

// Writes a template with the sheet's font back over itself (the framework
// leaves room for a longer face name).
void SetTemplateFont(DLGTEMPLATE* tmpl) {
    CDialogTemplate t(tmpl);
    if (!t.SetFont(kSheetFace, kSheetPoints)) return;
    memmove(tmpl, GlobalLock(t.m_hTemplate), t.m_dwTemplateSize);
    GlobalUnlock(t.m_hTemplate);
}

CString WindowText(HWND hwnd);

// A drop-down combo's text exchanged exactly: to the control the entry equal
// to the value is chosen, else the value becomes the edit text (an empty
// value stays empty); from the control the edit text is taken.
void ExchangeComboText(CDataExchange* dx, int id, CString& value) {
    HWND combo = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate) {
        value = WindowText(combo);
        return;
    }
    LRESULT at =
        ::SendMessageW(combo, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(value.GetString()));
    if (at != CB_ERR && value.GetLength() > 0) {
        ::SendMessageW(combo, CB_SETCURSEL, WPARAM(at), 0);
    } else {
        ::SendMessageW(combo, CB_SETCURSEL, WPARAM(-1), 0);
        ::SetWindowTextW(combo, value);
    }
}

CString WindowText(HWND hwnd) {
    CString text;
    int n = ::GetWindowTextLengthW(hwnd);
    if (n > 0) {
        ::GetWindowTextW(hwnd, text.GetBuffer(n), n + 1);
        text.ReleaseBuffer(n);
    }
    return text;
}

} // namespace

// --- The setup page ---------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CSetupPage, CPropertyPage)
ON_BN_CLICKED(IDC_SP_INITIAL_DIR_BROWSE, OnBrowseInitialDir)
ON_BN_CLICKED(IDC_SP_STARTUP_SQL_BROWSE, OnBrowseStartupSql)
ON_BN_CLICKED(IDC_SP_OCI_PATH_BROWSE, OnBrowseOciPath)
ON_BN_CLICKED(IDC_SP_TNS_ADMIN_BROWSE, OnBrowseTnsAdmin)
END_MESSAGE_MAP()

CSetupPage::CSetupPage() : CPropertyPage(IDD_SETUP_PAGE) {}

void CSetupPage::DoDataExchange(CDataExchange* dx) {
    CPropertyPage::DoDataExchange(dx);
    DDX_Text(dx, IDC_SP_INITIAL_DIR, m_initialDir);
    DDX_Text(dx, IDC_SP_STARTUP_SQL, m_startupSqlFile);
    DDX_Text(dx, IDC_SP_OCI_PATH, m_ociPath);
    DDX_Text(dx, IDC_SP_TNS_ADMIN, m_tnsAdmin);
    ExchangeComboText(dx, IDC_SP_DATE_FORMAT, m_nlsDateFormat);
    ExchangeComboText(dx, IDC_SP_TIMESTAMP_FORMAT, m_nlsTimestampFormat);
    ExchangeComboText(dx, IDC_SP_TIMESTAMP_TZ_FORMAT, m_nlsTimestampTzFormat);
    ExchangeComboText(dx, IDC_SP_TIMEZONE, m_timezone);
    ExchangeComboText(dx, IDC_SP_DATE_LANGUAGE, m_nlsDateLanguage);
    DDX_Check(dx, IDC_SP_ADJUST_COL_WIDTH, m_adjustColWidth);
    DDX_Check(dx, IDC_SP_PUT_COLUMN_NAME, m_putColumnName);
    DDX_Check(dx, IDC_SP_REGISTER_FILE_TYPE, m_registerFileType);
    DDX_Check(dx, IDC_SP_USE_MESSAGE_BEEP, m_useMessageBeep);
    DDX_Check(dx, IDC_SP_USE_UPDATABLE_COLUMNS, m_useUserUpdatableColumns);
    DDX_Check(dx, IDC_SP_SHARE_CONNECT_INFO, m_shareConnectInfo);
    DDX_Check(dx, IDC_SP_DELETE_NULL_ROWS_WARNING, m_dispDeleteAllNullRowsWarning);
    DDX_Check(dx, IDC_SP_USE_INI_FILE, m_useIniFile);
    DDX_Check(dx, IDC_SP_SEARCH_DLG_CLOSE, m_searchDlgCloseAtFound);
    DDX_Text(dx, IDC_SP_LONG_BUF_SIZE, m_longReadBufSize);
    DDX_Text(dx, IDC_SP_CLOB_BUF_SIZE, m_clobReadBufSize);
    DDX_Check(dx, IDC_SP_NLS_UTF8, m_nlsUtf8);
    DDX_Check(dx, IDC_SP_REPLACE_WAVE_DASH, m_replaceWaveDash);
}

BOOL CSetupPage::OnInitDialog() {
    for (const ComboChoices& c : kChoices) {
        HWND combo = ::GetDlgItem(m_hWnd, c.id);
        if (!combo || ::SendMessageW(combo, CB_GETCOUNT, 0, 0) > 0) continue;
        for (const char16_t* text : c.texts)
            ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    CPropertyPage::OnInitDialog();

    // A stored value that is none of the choices becomes one, and is chosen.
    struct Stored {
        int id;
        const CString* value;
    };
    const Stored stored[] = {{IDC_SP_DATE_FORMAT, &m_nlsDateFormat},
                             {IDC_SP_TIMESTAMP_FORMAT, &m_nlsTimestampFormat},
                             {IDC_SP_TIMESTAMP_TZ_FORMAT, &m_nlsTimestampTzFormat},
                             {IDC_SP_TIMEZONE, &m_timezone}};
    for (const Stored& s : stored) {
        HWND combo = ::GetDlgItem(m_hWnd, s.id);
        if (!combo) continue;
        LRESULT at = ::SendMessageW(combo, CB_FINDSTRINGEXACT, WPARAM(-1),
                                    reinterpret_cast<LPARAM>(s.value->GetString()));
        if (at == CB_ERR)
            at = ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.value->GetString()));
        ::SendMessageW(combo, CB_SETCURSEL, WPARAM(at), 0);
    }

    // The resource text cannot hold the wave dash: "波" stands in for it.
    if (HWND waveDash = ::GetDlgItem(m_hWnd, IDC_SP_REPLACE_WAVE_DASH)) {
        CString label = WindowText(waveDash);
        label.Replace(u"波", u"\u301C");
        ::SetWindowTextW(waveDash, label);
    }
    return TRUE;
}

CString CSetupPage::BrowseStart(const CString& path) {
    const int n = path.GetLength();
    if (n <= 1) return path;
    const char16_t last = path[n - 1];
    if (last == u'\\' || last == u'/') return path.Left(n - 1);
    return path;
}

void CSetupPage::BrowseFolder(CString* member, const char16_t* title) {
    if (!UpdateData(TRUE)) return;
    CString start = BrowseStart(*member);
    BROWSEINFOW bi{};
    bi.hwndOwner = m_hWnd;
    bi.lpszTitle = title;
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    bi.lpfn = util_browse_folder_callback;
    bi.lParam = reinterpret_cast<LPARAM>(start.GetString());
    LPITEMIDLIST chosen = SHBrowseForFolderW(&bi);
    if (!chosen) return;
    // Paths of any length: the longest a file system takes.
    std::vector<char16_t> path(32768, 0);
    BOOL ok = SHGetPathFromIDListW(chosen, path.data());
    CoTaskMemFree(chosen);
    if (!ok) return;
    *member = path.data();
    UpdateData(FALSE);
}

void CSetupPage::OnBrowseInitialDir() {
    BrowseFolder(&m_initialDir, u"起動時のディレクトリの選択");
}

void CSetupPage::OnBrowseOciPath() {
    BrowseFolder(&m_ociPath, u"OCIライブラリのPATH");
}

void CSetupPage::OnBrowseTnsAdmin() {
    BrowseFolder(&m_tnsAdmin, u"TNS_ADMIN");
}

void CSetupPage::OnBrowseStartupSql() {
    if (!UpdateData(TRUE)) return;
    CPlacesBarFileDlg dlg(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST,
                          nullptr, this);
    if (dlg.DoModal() != IDOK) return;
    m_startupSqlFile = dlg.GetPathName();
    UpdateData(FALSE);
}

// --- The grid page ----------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CGridOptionPage, CPropertyPage)
ON_WM_DRAWITEM()
ON_BN_CLICKED(IDC_GP_DEFAULT_COLORS, OnDefaultColors)
END_MESSAGE_MAP()

CGridOptionPage::CGridOptionPage() : CPropertyPage(IDD_GRID_OPTION_PAGE) {}

void CGridOptionPage::DoDataExchange(CDataExchange* dx) {
    CPropertyPage::DoDataExchange(dx);
    for (const CheckMember& c : kGridChecks) DDX_Check(dx, c.id, this->*c.member);
    DDX_Text(dx, IDC_GP_MIN_COL_CHARS, m_adjustMinColChars);
    DDX_Text(dx, IDC_GP_NULL_TEXT, m_nullText);
    DDX_Text(dx, IDC_GP_PADDING_TOP, m_paddingTop);
    DDX_Text(dx, IDC_GP_PADDING_BOTTOM, m_paddingBottom);
    DDX_Text(dx, IDC_GP_PADDING_LEFT, m_paddingLeft);
    DDX_Text(dx, IDC_GP_PADDING_RIGHT, m_paddingRight);
}

int CGridOptionPage::ColorIndexOfButton(int id) {
    for (const ColorButton& b : kColorButtons)
        if (b.id == id) return b.index;
    return -1;
}

BOOL CGridOptionPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    BuildSampleGrid();
    m_ready = true;
    ApplyToSample();
    return TRUE;
}

void CGridOptionPage::BuildSampleGrid() {
    m_sampleData.AllocArrays(3, 2);
    m_sampleData.m_colNames[0] = u"CNAME1";
    m_sampleData.m_colNames[1] = u"CNAME2";
    m_sampleData.m_colEditable[0] = 1;
    m_sampleData.m_colEditable[1] = 1;
    const char16_t* const cells[6] = {u"AAA", u"1", u"BBB\n", u"2", u"C C\u3000C\tC", u""};
    for (int i = 0; i < 6; ++i) m_sampleData.m_cells[i] = cells[i];

    CRect client, button;
    GetClientRect(&client);
    if (HWND b = ::GetDlgItem(m_hWnd, IDC_GP_DEFAULT_COLORS)) {
        ::GetWindowRect(b, &button);
        ScreenToClient(&button);
    }
    CRect rect(20, button.bottom + 15, client.right - 20, client.bottom - 10);
    if (rect.bottom < rect.top) rect.bottom = rect.top;
    m_sampleGrid.CreateGrid(WS_CHILD | WS_VISIBLE | WS_BORDER, rect, this, 0);
    m_sampleGrid.SetData(&m_sampleData);
    m_sampleGrid.SetGridStyle(0x0102004B, 0);
    if (m_gridFont && m_gridFont->m_hObject) m_sampleGrid.SetFont(m_gridFont);
}

void CGridOptionPage::ReadControlsQuietly() {
    for (const CheckMember& c : kGridChecks)
        if (::GetDlgItem(m_hWnd, c.id)) this->*c.member = ::IsDlgButtonChecked(m_hWnd, c.id) == BST_CHECKED;
    BOOL ok = FALSE;
    int chars = static_cast<int>(::GetDlgItemInt(m_hWnd, IDC_GP_MIN_COL_CHARS, &ok, TRUE));
    if (ok) m_adjustMinColChars = chars;
    if (HWND nullText = ::GetDlgItem(m_hWnd, IDC_GP_NULL_TEXT)) m_nullText = WindowText(nullText);
    struct Padding {
        int id;
        UINT* member;
    };
    const Padding paddings[] = {{IDC_GP_PADDING_TOP, &m_paddingTop},
                                {IDC_GP_PADDING_BOTTOM, &m_paddingBottom},
                                {IDC_GP_PADDING_LEFT, &m_paddingLeft},
                                {IDC_GP_PADDING_RIGHT, &m_paddingRight}};
    for (const Padding& p : paddings) {
        UINT v = ::GetDlgItemInt(m_hWnd, p.id, &ok, FALSE);
        if (ok) *p.member = v;
    }
}

uint32_t CGridOptionPage::SampleStyle(uint32_t current) const {
    uint32_t style = current & ~0x40u;
    if (m_colors[GRID_BG_COLOR] != m_colors[GRID_NULL_CELL_COLOR]) style |= 0x40;
    for (const StyleSwitch& s : kStyleSwitches) {
        if (this->*s.member)
            style |= s.bit;
        else
            style &= ~s.bit;
    }
    return style;
}

void CGridOptionPage::ApplyToSample() {
    if (!m_ready || !m_sampleGrid.GetSafeHwnd()) return;
    ReadControlsQuietly();
    for (int i = 0; i < 16; ++i) m_sampleGrid.SetColor(i, m_colors[i]);
    m_sampleGrid.SetMinFitChars(m_adjustMinColChars);
    m_sampleGrid.SetNullText(m_nullText);
    m_sampleGrid.SetCellPadding(static_cast<int>(m_paddingTop), static_cast<int>(m_paddingBottom),
                                static_cast<int>(m_paddingLeft), static_cast<int>(m_paddingRight));
    const uint32_t style = SampleStyle(m_sampleGrid.GetGridStyle());
    m_sampleGrid.RecalcFontMetrics();
    m_sampleGrid.SetGridStyle(style, 0);
    m_sampleGrid.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

BOOL CGridOptionPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    BOOL handled = CPropertyPage::OnCommand(wParam, lParam);
    if (code == BN_CLICKED) {
        const int index = ColorIndexOfButton(id);
        if (index >= 0) {
            ChooseColor(index);
            return TRUE;
        }
        for (const CheckMember& c : kGridChecks)
            if (c.id == id) ApplyToSample();
    } else if (code == EN_CHANGE) {
        switch (id) {
        case IDC_GP_MIN_COL_CHARS:
        case IDC_GP_NULL_TEXT:
        case IDC_GP_PADDING_TOP:
        case IDC_GP_PADDING_BOTTOM:
        case IDC_GP_PADDING_LEFT:
        case IDC_GP_PADDING_RIGHT: ApplyToSample(); break;
        default: break;
        }
    }
    return handled;
}

void CGridOptionPage::ChooseColor(int index) {
    CColorDialog dlg(m_colors[index], CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR, this);
    LoadCustomColors(dlg);
    if (dlg.DoModal() != IDOK) return;
    m_colors[index] = dlg.GetColor();
    ApplyToSample();
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    SaveCustomColors();
}

void CGridOptionPage::OnDefaultColors() {
    for (const DefaultColor& d : kDefaultColors) m_colors[d.index] = d.color;
    ApplyToSample();
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void CGridOptionPage::OnDrawItem(int id, DRAWITEMSTRUCT* di) {
    const int index = ColorIndexOfButton(id);
    if (index < 0) return;
    RECT r = di->rcItem;
    ::DrawEdge(di->hDC, &r, EDGE_BUMP, BF_RECT);
    ::InflateRect(&r, -2, -2);
    HBRUSH brush = ::CreateSolidBrush(m_colors[index]);
    ::FillRect(di->hDC, &r, brush);
    ::DeleteObject(brush);
}

// --- The sheet --------------------------------------------------------------------------------------

COptionSheet::COptionSheet(CWnd* parent) : CPropertySheet(u"オプション", parent) {
    m_psh.dwFlags |= PSH_NOAPPLYNOW | PSH_USECALLBACK;
    m_psh.pfnCallback = SheetCallback;
    AddPage(&m_setupPage);
    AddPage(&m_gridPage);
}

int CALLBACK COptionSheet::SheetCallback(HWND, UINT message, LPARAM lParam) {
    if (message == PSCB_PRECREATE && lParam) SetTemplateFont(reinterpret_cast<DLGTEMPLATE*>(lParam));
    return 0;
}

void COptionSheet::BuildPropPageArray() {
    CPropertySheet::BuildPropPageArray();
    const BYTE* p = reinterpret_cast<const BYTE*>(m_psh.ppsp);
    for (UINT i = 0; i < m_psh.nPages; ++i) {
        auto* psp = reinterpret_cast<const PROPSHEETPAGEW*>(p);
        if (psp->pResource) SetTemplateFont(const_cast<DLGTEMPLATE*>(psp->pResource));
        p += psp->dwSize;
    }
}
