// The application object's own commands: the options sheet with the hand-over
// of every setting, the saved-connection list, the credits file, and the
// shell association of the document file type.
#include <vector>

#include "app/appstate.h"
#include "app/dialogs/aboutdlg.h"
#include "app/dialogs/connectinfodlg.h"
#include "app/dialogs/optionsheet.h"
#include "app/mainfrm.h"
#include "app/settings.h"
#include "app/tavexapp.h"
#include "oracle/oci_conv.h"
#include "win32/registry.h"

namespace {

const int kMaxReadBuffer = 16777216;

int ClampReadBuffer(int size) {
    return size <= 0 ? 1 : (size > kMaxReadBuffer ? kMaxReadBuffer : size);
}

// The parts of a template's document string (title, document name, new
// name, filter name, extension, file type id, file type name).
std::vector<CString> DocStrings(UINT id) {
    CString all;
    all.LoadString(id);
    std::vector<CString> parts;
    int at = 0;
    for (;;) {
        int nl = all.Find(u'\n', at);
        parts.push_back(nl < 0 ? all.Mid(at) : all.Mid(at, nl - at));
        if (nl < 0) break;
        at = nl + 1;
    }
    parts.resize(7);
    return parts;
}

} // namespace

// --- The options sheet ---------------------------------------------------------------------------------

void CTavexApp::OnToolOption() {
    AppSettingsRecord& a = AppSettings;
    const int registered = IsFileTypeRegistered();
    COptionSheet sheet(m_pMainWnd);

    CSetupPage& sp = sheet.m_setupPage;
    sp.m_registerFileType = registered;
    sp.m_putColumnName = a.PUT_COLUMN_NAME;
    sp.m_useMessageBeep = a.USE_MESSAGE_BEEP;
    sp.m_nlsDateFormat = a.NLS_DATE_FORMAT;
    sp.m_nlsDateLanguage = a.NLS_DATE_LANGUAGE;
    sp.m_nlsTimestampFormat = a.NLS_TIMESTAMP_FORMAT;
    sp.m_nlsTimestampTzFormat = a.NLS_TIMESTAMP_TZ_FORMAT;
    sp.m_timezone = a.TIMEZONE;
    sp.m_adjustColWidth = a.ADJUST_COL_WIDTH;
    sp.m_initialDir = a.INITIAL_DIR;
    sp.m_startupSqlFile = a.STARTUP_SQL_FILE;
    sp.m_ociPath = a.OCI_PATH_64;
    sp.m_tnsAdmin = a.TNS_ADMIN;
    sp.m_useUserUpdatableColumns = a.USE_USER_UPDATABLE_COLUMNS;
    sp.m_shareConnectInfo = a.SHARE_CONNECT_INFO;
    sp.m_searchDlgCloseAtFound = a.SEARCH_DLG_CLOSE_AT_FOUND;
    sp.m_dispDeleteAllNullRowsWarning = a.DISP_DELETE_ALL_NULL_ROWS_WARNING;
    sp.m_longReadBufSize = g_oci_long_read_size;
    sp.m_clobReadBufSize = g_oci_clob_read_size;
    sp.m_nlsUtf8 = a.NLS_UTF8;
    sp.m_replaceWaveDash = a.REPLACE_WAVE_DASH;
    sp.m_useIniFile = a.USE_INI_FILE;

    CGridOptionPage& gp = sheet.m_gridPage;
    gp.m_showSpace = a.SHOW_SPACE;
    gp.m_show2ByteSpace = a.SHOW_2BYTE_SPACE;
    gp.m_showTab = a.SHOW_TAB;
    gp.m_showLineFeed = a.SHOW_LINE_FEED;
    gp.m_adjustColWidthNoUseColName = a.ADJUST_COL_WIDTH_NO_USE_COLNAME;
    gp.m_adjustMinColChars = a.ADJUST_MIN_COL_CHARS;
    gp.m_invertSelectText = a.INVERT_SELECT_TEXT;
    gp.m_copyEscapeDblQuote = a.COPY_ESCAPE_DBLQUOTE;
    gp.m_imeCaretColor = a.IME_CARET_COLOR;
    gp.m_endKeyLikeExcel = a.END_KEY_LIKE_EXCEL;
    gp.m_dispColumnNameToolTip = a.DISP_COLUMN_NAME_TOOL_TIP;
    gp.m_showNotNullColl = a.SHOW_NOT_NULL_COLL;
    gp.m_noMoveCellAtDeleteRows = a.NO_MOVE_CELL_AT_DELETE_ROWS;
    gp.m_noMoveCellAtInsertRows = a.NO_MOVE_CELL_AT_INSERT_ROWS;
    gp.m_nullText = a.NULL_TEXT;
    for (int i = 0; i < 16; ++i) gp.m_colors[i] = a.colors[i];
    gp.m_paddingTop = static_cast<UINT>(a.CELL_PADDING_TOP);
    gp.m_paddingBottom = static_cast<UINT>(a.CELL_PADDING_BOTTOM);
    gp.m_paddingLeft = static_cast<UINT>(a.CELL_PADDING_LEFT);
    gp.m_paddingRight = static_cast<UINT>(a.CELL_PADDING_RIGHT);
    gp.m_gridFont = &g_app_font;

    if (sheet.DoModal() != IDOK) return;

    bool restart = false;
    a.PUT_COLUMN_NAME = sp.m_putColumnName;
    a.USE_MESSAGE_BEEP = sp.m_useMessageBeep;
    a.ADJUST_COL_WIDTH = sp.m_adjustColWidth;
    a.USE_USER_UPDATABLE_COLUMNS = sp.m_useUserUpdatableColumns;
    a.SHARE_CONNECT_INFO = sp.m_shareConnectInfo;
    a.SEARCH_DLG_CLOSE_AT_FOUND = sp.m_searchDlgCloseAtFound;
    a.DISP_DELETE_ALL_NULL_ROWS_WARNING = sp.m_dispDeleteAllNullRowsWarning;

    a.LONG_READ_BUF_SIZE = sp.m_longReadBufSize;
    a.CLOB_READ_BUF_SIZE = sp.m_clobReadBufSize;
    g_oci_long_read_size = ClampReadBuffer(sp.m_longReadBufSize);
    g_oci_clob_read_size = ClampReadBuffer(sp.m_clobReadBufSize);

    a.NLS_DATE_FORMAT = sp.m_nlsDateFormat;
    a.NLS_DATE_LANGUAGE = sp.m_nlsDateLanguage;
    a.NLS_TIMESTAMP_FORMAT = sp.m_nlsTimestampFormat;
    a.NLS_TIMESTAMP_TZ_FORMAT = sp.m_nlsTimestampTzFormat;
    a.TIMEZONE = sp.m_timezone;
    if (g_connected) ApplySessionNls();

    if (sp.m_initialDir != a.INITIAL_DIR) {
        a.INITIAL_DIR = sp.m_initialDir;
        SetCurrentDirectoryW(a.INITIAL_DIR);
    }
    a.STARTUP_SQL_FILE = sp.m_startupSqlFile;
    if (sp.m_ociPath != a.OCI_PATH_64) {
        a.OCI_PATH_64 = sp.m_ociPath;
        restart = true;
    }
    a.TNS_ADMIN = sp.m_tnsAdmin;

    if ((sp.m_registerFileType != 0) != (registered != 0)) {
        UnregisterFileTypes();
        if (sp.m_registerFileType) RegisterShellFileTypes(FALSE);
    }

    a.SHOW_SPACE = gp.m_showSpace;
    a.SHOW_2BYTE_SPACE = gp.m_show2ByteSpace;
    a.SHOW_TAB = gp.m_showTab;
    a.SHOW_LINE_FEED = gp.m_showLineFeed;
    a.ADJUST_COL_WIDTH_NO_USE_COLNAME = gp.m_adjustColWidthNoUseColName;
    a.ADJUST_MIN_COL_CHARS = gp.m_adjustMinColChars;
    a.INVERT_SELECT_TEXT = gp.m_invertSelectText;
    a.COPY_ESCAPE_DBLQUOTE = gp.m_copyEscapeDblQuote;
    a.IME_CARET_COLOR = gp.m_imeCaretColor;
    a.DISP_COLUMN_NAME_TOOL_TIP = gp.m_dispColumnNameToolTip;
    a.SHOW_NOT_NULL_COLL = gp.m_showNotNullColl;
    a.NO_MOVE_CELL_AT_DELETE_ROWS = gp.m_noMoveCellAtDeleteRows;
    a.NO_MOVE_CELL_AT_INSERT_ROWS = gp.m_noMoveCellAtInsertRows;
    a.NULL_TEXT = gp.m_nullText;

    if (gp.m_endKeyLikeExcel != a.END_KEY_LIKE_EXCEL) {
        a.END_KEY_LIKE_EXCEL = gp.m_endKeyLikeExcel;
        if (auto* frame = dynamic_cast<CMainFrame*>(m_pMainWnd))
            frame->SetStatusIndicators(a.END_KEY_LIKE_EXCEL == 1);
    }
    for (int i = 0; i < 16; ++i) a.colors[i] = gp.m_colors[i];

    if (sp.m_nlsUtf8 != a.NLS_UTF8) {
        a.NLS_UTF8 = sp.m_nlsUtf8;
        restart = true;
    }
    if (sp.m_replaceWaveDash != a.REPLACE_WAVE_DASH) {
        a.REPLACE_WAVE_DASH = sp.m_replaceWaveDash;
        g_mb_to_wide = a.REPLACE_WAVE_DASH == 1 ? oci_mb_to_wide_tilde : oci_mb_to_wide;
    }
    a.CELL_PADDING_TOP = static_cast<int>(gp.m_paddingTop);
    a.CELL_PADDING_BOTTOM = static_cast<int>(gp.m_paddingBottom);
    a.CELL_PADDING_LEFT = static_cast<int>(gp.m_paddingLeft);
    a.CELL_PADDING_RIGHT = static_cast<int>(gp.m_paddingRight);

    BroadcastHint(HINT_SETTINGS_CHANGED);

    if (sp.m_useIniFile == a.USE_INI_FILE)
        WriteSettings();
    else
        MoveSettingsStorage(sp.m_useIniFile);

    if (restart)
        MessageBoxW(m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr,
                    u"設定を反映するために，tavrelixの再起動が必要です", u"Message", MB_ICONINFORMATION);
}

// --- The saved connections -----------------------------------------------------------------------------

void CTavexApp::OnToolLoginInfo() {
    CConnectInfoDlg dlg(m_pMainWnd);
    if (AppSettings.SHARE_CONNECT_INFO == 1) GetSiblingProfileLocation(dlg.m_profileName, dlg.m_registryKey);
    dlg.DoModal();
}

// --- Help
// ---------------------------------------------------------------------------------------------------

// The version box, modal over the main window.
void CTavexApp::OnAppAbout() {
    CAboutDlg dlg(m_pMainWnd);
    dlg.DoModal();
}

void CTavexApp::OnHelpCredits() {
    CString path;
    path.Format(u"%sdoc\\%s", util_get_tool_dir().GetString(), u"credits.txt");
    if (!util_file_exists(path)) {
        MessageBoxW(nullptr, u"ファイルが見つかりません", u"Error", MB_ICONWARNING);
        return;
    }
    // The desktop's opener takes the file system's own separators.
    path.Replace(u"\\", u"/");
    ShellExecuteW(nullptr, u"open", path, nullptr, nullptr, SW_SHOW);
}

// --- The shell association ----------------------------------------------------------------------------

int CTavexApp::IsFileTypeRegistered() {
    POSITION pos = GetFirstDocTemplatePosition();
    while (pos) {
        CDocTemplate* t = GetNextDocTemplate(pos);
        std::vector<CString> parts = DocStrings(t->m_nIDResource);
        const CString& ext = parts[4];
        const CString& typeId = parts[5];
        if (ext.IsEmpty() || typeId.IsEmpty()) continue;
        char16_t value[260] = {};
        LONG size = sizeof value;
        if (RegQueryValueW(HKEY_CLASSES_ROOT, ext, value, &size) == ERROR_SUCCESS && typeId == value)
            return 1;
    }
    return 0;
}

void CTavexApp::UnregisterFileTypes() {
    UnregisterShellFileTypes();
    POSITION pos = GetFirstDocTemplatePosition();
    while (pos) {
        CDocTemplate* t = GetNextDocTemplate(pos);
        std::vector<CString> parts = DocStrings(t->m_nIDResource);
        if (!parts[4].IsEmpty()) RegDeleteKeyW(HKEY_CLASSES_ROOT, parts[4]);
    }
}
