// The settings store: where the profile functions land, the settings record
// with its keys and defaults, the grid font and the file-system utilities.
#include "app/settings.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/appstate.h"
#include "app/profilescope.h"
#include "app/tavexapp.h"
#include "win32/crtfile.h"
#include "win32/crttime.h"
#include "win32/fileattr.h"

namespace {

const char16_t kRegistryKey[] = u"QUARN\\ORACLE";
const int kMaxReadBuffer = 16777216;

int Int(const char16_t* section, const char16_t* key, int def) {
    return static_cast<int>(theApp.GetProfileInt(section, key, def));
}

CString Str(const char16_t* section, const char16_t* key, const char16_t* def) {
    return theApp.GetProfileString(section, key, def);
}

void PutInt(const char16_t* section, const char16_t* key, int value) {
    theApp.WriteProfileInt(section, key, value);
}

void PutStr(const char16_t* section, const char16_t* key, const CString& value) {
    theApp.WriteProfileString(section, key, value);
}

// Where the program starts, and so where its file dialogs first open, when
// no folder is set: the user's home, as on the desktop; the program's own
// folder (a build tree, or a folder of the system) is no place for the
// user's files. Without a home, the program's folder.
CString DefaultInitialDir() {
    const char16_t* home = _wgetenv(u"HOME");
    return home && *home ? CString(home) : util_get_tool_dir();
}

int ClampReadBuffer(int size) {
    return size <= 0 ? 1 : std::min(size, kMaxReadBuffer);
}

// An ini file beside the executable that asks to be used: USE_INI_FILE = 1 in APPLICATION.
bool IniFileInUse(const CString& path) {
    if (!util_file_exists(path)) return false;
    return GetPrivateProfileIntW(u"APPLICATION", u"USE_INI_FILE", 0, path) == 1;
}

// The GRID keys of the colours, by colour index (12 and 13 have none).
const char16_t* const kColorKeys[16] = {
    u"GRID_BG_COLOR",
    u"GRID_HEADER_BG_COLOR",
    u"GRID_LINE_COLOR",
    u"GRID_SELECT_COLOR",
    u"GRID_DELETE_COLOR",
    u"GRID_INSERT_COLOR",
    u"GRID_UPDATE_COLOR",
    u"GRID_UNEDITABLE_COLOR",
    u"GRID_TEXT_COLOR",
    u"GRID_NULL_CELL_COLOR",
    u"GRID_MARK_COLOR",
    u"GRID_HEADER_LINE_COLOR",
    nullptr,
    nullptr,
    u"GRID_SEARCH_COLOR",
    u"GRID_CUR_ROW_TEXT_COLOR",
};
// The order the colours are read and written in.
const int kColorOrder[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 14, 11, 15};
const COLORREF kColorDefaults[16] = {0xFFFFFF, 0xFFE6E6, 0xFAC8C8, 0xDCC8C8, 0x969696, 0xFFDCDC,
                                     0xDCDCFF, 0xF0F0F0, 0,        0xF5F5F5, 0x969600, 0x646464,
                                     0,        0,        0x32FFFF, 0};

struct IntKey {
    const char16_t* key;
    int AppSettingsRecord::*field;
    int def;
};

const IntKey kGridFlags[] = {
    {u"SHOW_SPACE", &AppSettingsRecord::SHOW_SPACE, 0},
    {u"SHOW_2BYTE_SPACE", &AppSettingsRecord::SHOW_2BYTE_SPACE, 0},
    {u"SHOW_TAB", &AppSettingsRecord::SHOW_TAB, 0},
    {u"SHOW_LINE_FEED", &AppSettingsRecord::SHOW_LINE_FEED, 0},
    {u"ADJUST_COL_WIDTH_NO_USE_COLNAME", &AppSettingsRecord::ADJUST_COL_WIDTH_NO_USE_COLNAME, 0},
    {u"ADJUST_MIN_COL_CHARS", &AppSettingsRecord::ADJUST_MIN_COL_CHARS, 10},
    {u"INVERT_SELECT_TEXT", &AppSettingsRecord::INVERT_SELECT_TEXT, 0},
    {u"COPY_ESCAPE_DBLQUOTE", &AppSettingsRecord::COPY_ESCAPE_DBLQUOTE, 1},
    {u"IME_CARET_COLOR", &AppSettingsRecord::IME_CARET_COLOR, 1},
    {u"END_KEY_LIKE_EXCEL", &AppSettingsRecord::END_KEY_LIKE_EXCEL, 0},
    {u"DISP_COLUMN_NAME_TOOL_TIP", &AppSettingsRecord::DISP_COLUMN_NAME_TOOL_TIP, 1},
    {u"SHOW_NOT_NULL_COLL", &AppSettingsRecord::SHOW_NOT_NULL_COLL, 1},
    {u"NO_MOVE_CELL_AT_DELETE_ROWS", &AppSettingsRecord::NO_MOVE_CELL_AT_DELETE_ROWS, 0},
    {u"NO_MOVE_CELL_AT_INSERT_ROWS", &AppSettingsRecord::NO_MOVE_CELL_AT_INSERT_ROWS, 0},
};

const IntKey kPaddings[] = {
    {u"CELL_PADDING_TOP", &AppSettingsRecord::CELL_PADDING_TOP, 1},
    {u"CELL_PADDING_BOTTOM", &AppSettingsRecord::CELL_PADDING_BOTTOM, 1},
    {u"CELL_PADDING_LEFT", &AppSettingsRecord::CELL_PADDING_LEFT, 2},
    {u"CELL_PADDING_RIGHT", &AppSettingsRecord::CELL_PADDING_RIGHT, 2},
};

int FoundFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<int*>(found) = 1;
    return 0; // the first family is enough
}

// Whether a family of that face writes Japanese.
bool JapaneseFaceExists(const CString& face) {
    LOGFONTW lf{};
    lf.lfCharSet = SHIFTJIS_CHARSET;
    if (face.GetLength() >= LF_FACESIZE) return false;
    wcscpy(lf.lfFaceName, face);
    HDC screen = GetDC(nullptr);
    int found = 0;
    EnumFontFamiliesExW(screen, &lf, FoundFamily, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found != 0;
}

} // namespace

// --- Where the settings live --------------------------------------------------------------------

void CTavexApp::SetupSettingsLocation() {
    CString path = util_user_file(u"tavrelix.ini");
    if (IniFileInUse(path)) {
        free(const_cast<char16_t*>(m_pszRegistryKey));
        m_pszRegistryKey = nullptr;
        free(const_cast<char16_t*>(m_pszProfileName));
        m_pszProfileName = _wcsdup(path);
        AppSettings.USE_INI_FILE = 1;
    } else {
        SetRegistryKey(kRegistryKey);
        AppSettings.USE_INI_FILE = 0;
    }
}

void GetSiblingProfileLocation(CString& profileName, CString& registryKey) {
    CString path;
    path.Format(u"%spelvoxan.ini", util_get_tool_dir().GetString());
    if (IniFileInUse(path)) {
        profileName = path;
        registryKey.Empty();
    } else {
        profileName = u"pelvoxan";
        registryKey = kRegistryKey;
    }
}

// --- The settings record ----------------------------------------------------------------------------

void CTavexApp::ReadSettings() {
    AppSettingsRecord& s = AppSettings;
    s.LONG_READ_BUF_SIZE = Int(u"BUF_SIZE", u"LONG_READ_BUF_SIZE", ORA_LONG_READ_SIZE_DEFAULT);
    s.CLOB_READ_BUF_SIZE = Int(u"BUF_SIZE", u"CLOB_READ_BUF_SIZE", ORA_CLOB_READ_SIZE_DEFAULT);
    g_oci_long_read_size = ClampReadBuffer(s.LONG_READ_BUF_SIZE);
    g_oci_clob_read_size = ClampReadBuffer(s.CLOB_READ_BUF_SIZE);

    s.PUT_COLUMN_NAME = Int(u"SETUP", u"PUT_COLUMN_NAME", 1);
    s.ADJUST_COL_WIDTH = Int(u"SETUP", u"ADJUST_COL_WIDTH", 0);
    s.USE_MESSAGE_BEEP = Int(u"SETUP", u"USE_MESSAGE_BEEP", 0);
    s.USE_USER_UPDATABLE_COLUMNS = Int(u"SETUP", u"USE_USER_UPDATABLE_COLUMNS", 0);
    s.SHARE_CONNECT_INFO = Int(u"SETUP", u"SHARE_CONNECT_INFO", 0);
    s.SEARCH_DLG_CLOSE_AT_FOUND = Int(u"SETUP", u"SEARCH_DLG_CLOSE_AT_FOUND", 0);
    s.DISP_DELETE_ALL_NULL_ROWS_WARNING = Int(u"SETUP", u"DISP_DELETE_ALL_NULL_ROWS_WARNING", 1);

    s.DATA_LOCK = Int(u"SESSION", u"DATA_LOCK", 0);
    s.NLS_DATE_FORMAT = Str(u"SESSION", u"NLS_DATE_FORMAT", u"YYYY-MM-DD HH24:MI:SS");
    s.NLS_DATE_LANGUAGE = Str(u"SESSION", u"NLS_DATE_LANGUAGE", u"");
    s.NLS_TIMESTAMP_FORMAT = Str(u"SESSION", u"NLS_TIMESTAMP_FORMAT", u"YYYY-MM-DD HH24:MI:SSXFF");
    s.NLS_TIMESTAMP_TZ_FORMAT =
        Str(u"SESSION", u"NLS_TIMESTAMP_TZ_FORMAT", u"YYYY-MM-DD HH24:MI:SSXFF TZH:TZM");
    s.TIMEZONE = Str(u"SESSION", u"TIMEZONE", u"+09:00");

    s.INITIAL_DIR = Str(u"APPLICATION", u"INITIAL_DIR", u"");
    if (s.INITIAL_DIR.IsEmpty()) s.INITIAL_DIR = DefaultInitialDir();
    s.STARTUP_SQL_FILE = Str(u"APPLICATION", u"STARTUP_SQL_FILE", u"");
    if (s.SHARE_CONNECT_INFO == 1) {
        CString profile, key;
        GetSiblingProfileLocation(profile, key);
        ProfileScope scope(this, profile, key);
        s.OCI_PATH_64 = Str(u"APPLICATION", u"OCI_PATH_64", u"");
        s.TNS_ADMIN = Str(u"APPLICATION", u"TNS_ADMIN", u"");
    } else {
        s.OCI_PATH_64 = Str(u"APPLICATION", u"OCI_PATH_64", u"");
        s.TNS_ADMIN = Str(u"APPLICATION", u"TNS_ADMIN", u"");
    }

    s.NLS_UTF8 = Int(u"UNICODE", u"NLS_UTF8", 1);
    s.REPLACE_WAVE_DASH = Int(u"UNICODE", u"REPLACE_WAVE_DASH", 0);

    for (const IntKey& k : kGridFlags) s.*k.field = Int(u"GRID", k.key, k.def);
    s.NULL_TEXT = Str(u"GRID", u"NULL_TEXT", u"");
    for (int i : kColorOrder) {
        int def =
            static_cast<int>(i == GRID_CUR_ROW_TEXT_COLOR ? s.colors[GRID_TEXT_COLOR] : kColorDefaults[i]);
        s.colors[i] = static_cast<COLORREF>(Int(u"GRID", kColorKeys[i], def));
    }
    for (const IntKey& k : kPaddings) s.*k.field = Int(u"GRID", k.key, k.def);

    s.completionQuery = 0;
}

void CTavexApp::WriteSettings() {
    const AppSettingsRecord& s = AppSettings;
    PutInt(u"BUF_SIZE", u"LONG_READ_BUF_SIZE", s.LONG_READ_BUF_SIZE);
    PutInt(u"BUF_SIZE", u"CLOB_READ_BUF_SIZE", s.CLOB_READ_BUF_SIZE);
    PutInt(u"SETUP", u"PUT_COLUMN_NAME", s.PUT_COLUMN_NAME);
    PutInt(u"SETUP", u"ADJUST_COL_WIDTH", s.ADJUST_COL_WIDTH);
    PutInt(u"SETUP", u"USE_MESSAGE_BEEP", s.USE_MESSAGE_BEEP);
    PutStr(u"SESSION", u"NLS_DATE_FORMAT", s.NLS_DATE_FORMAT);
    PutStr(u"SESSION", u"NLS_DATE_LANGUAGE", s.NLS_DATE_LANGUAGE);
    PutStr(u"SESSION", u"NLS_TIMESTAMP_FORMAT", s.NLS_TIMESTAMP_FORMAT);
    PutStr(u"SESSION", u"NLS_TIMESTAMP_TZ_FORMAT", s.NLS_TIMESTAMP_TZ_FORMAT);
    PutInt(u"SETUP", u"USE_USER_UPDATABLE_COLUMNS", s.USE_USER_UPDATABLE_COLUMNS);
    PutInt(u"SETUP", u"SHARE_CONNECT_INFO", s.SHARE_CONNECT_INFO);
    PutInt(u"SETUP", u"SEARCH_DLG_CLOSE_AT_FOUND", s.SEARCH_DLG_CLOSE_AT_FOUND);
    PutInt(u"SETUP", u"DISP_DELETE_ALL_NULL_ROWS_WARNING", s.DISP_DELETE_ALL_NULL_ROWS_WARNING);
    PutInt(u"SESSION", u"DATA_LOCK", s.DATA_LOCK);
    PutStr(u"SESSION", u"TIMEZONE", s.TIMEZONE);
    PutStr(u"APPLICATION", u"INITIAL_DIR", s.INITIAL_DIR);
    PutStr(u"APPLICATION", u"STARTUP_SQL_FILE", s.STARTUP_SQL_FILE);
    PutStr(u"APPLICATION", u"OCI_PATH_64", s.OCI_PATH_64);
    PutStr(u"APPLICATION", u"TNS_ADMIN", s.TNS_ADMIN);
    PutInt(u"UNICODE", u"NLS_UTF8", s.NLS_UTF8);
    PutInt(u"UNICODE", u"REPLACE_WAVE_DASH", s.REPLACE_WAVE_DASH);
    for (const IntKey& k : kGridFlags) PutInt(u"GRID", k.key, s.*k.field);
    PutStr(u"GRID", u"NULL_TEXT", s.NULL_TEXT);
    for (int i : kColorOrder) PutInt(u"GRID", kColorKeys[i], static_cast<int>(s.colors[i]));
    for (const IntKey& k : kPaddings) PutInt(u"GRID", k.key, s.*k.field);
}

// --- The grid font ------------------------------------------------------------------------------------

void CTavexApp::ReadFontSettings() {
    FontSettings& f = AppSettings.font;
    f.FACENAME = Str(u"FONT_U", u"FACENAME", u"Terminal");
    f.POINT = Int(u"FONT_U", u"POINT", 100);
    f.WEIGHT = Int(u"FONT_U", u"WEIGHT", 400);
    f.ITALIC = Int(u"FONT_U", u"ITALIC", 0);
    // "-FONT=face" on the command line, in memory only.
    for (int i = 1; i < __argc; ++i) {
        const char16_t* arg = __wargv[i];
        if (wcsncmp(arg, u"-FONT=", 6) != 0) continue;
        CString face(arg + 6);
        if (JapaneseFaceExists(face)) f.FACENAME = face;
        break;
    }
}

void CTavexApp::WriteFontSettings() {
    const FontSettings& f = AppSettings.font;
    PutStr(u"FONT_U", u"FACENAME", f.FACENAME);
    PutInt(u"FONT_U", u"POINT", f.POINT);
    PutInt(u"FONT_U", u"WEIGHT", f.WEIGHT);
    PutInt(u"FONT_U", u"ITALIC", f.ITALIC);
}

void CTavexApp::CreateFonts() {
    const FontSettings& f = AppSettings.font;
    LOGFONTW lf{};
    lf.lfHeight = f.POINT;
    lf.lfWeight = f.WEIGHT;
    lf.lfItalic = static_cast<BYTE>(f.ITALIC & 0xFF);
    lf.lfCharSet = DEFAULT_CHARSET;
    // A face too long for the logical font is not taken.
    if (f.FACENAME.GetLength() < LF_FACESIZE) wcscpy(lf.lfFaceName, f.FACENAME);
    g_app_font.DeleteObject();
    g_app_font.CreatePointFontIndirect(&lf);
}

void CTavexApp::OnViewFont() {
    LOGFONTW lf{};
    if (g_app_font.m_hObject) g_app_font.GetLogFont(&lf);
    CFontDialog dlg(&lf, CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT, nullptr, m_pMainWnd);
    if (dlg.DoModal() != IDOK) return;
    FontSettings& f = AppSettings.font;
    f.FACENAME = dlg.GetFaceName();
    f.POINT = dlg.GetSize();
    f.WEIGHT = dlg.GetWeight();
    f.ITALIC = dlg.IsItalic() ? 1 : 0;
    CreateFonts();
    BroadcastHint(HINT_FONT_CHANGED, &g_app_font);
    WriteFontSettings();
}

// --- Utilities ------------------------------------------------------------------------------------------

CString util_get_tool_dir() {
    std::vector<char16_t> buf(1024);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return CString();
        if (n < buf.size() - 1) break;
        buf.resize(buf.size() * 2);
    }
    std::vector<char16_t> drive(buf.size()), dir(buf.size());
    _wsplitpath(buf.data(), drive.data(), dir.data(), nullptr, nullptr);
    CString out;
    out.Format(u"%s%s", drive.data(), dir.data());
    return out;
}

namespace {

// A path of ours as the file system takes it: backslashes are separators.
std::filesystem::path NativePath(const CString& path) {
    std::u16string p(path.GetString());
    std::replace(p.begin(), p.end(), u'\\', u'/');
    return std::filesystem::path(p);
}

// The user's data directory: $XDG_DATA_HOME when absolute, else ~/.local/share.
CString UserDataDir() {
    const char16_t* data = _wgetenv(u"XDG_DATA_HOME");
    if (data && data[0] == u'/') return CString(data);
    const char16_t* home = _wgetenv(u"HOME");
    CString out(home && *home ? home : u"");
    out += u"/.local/share";
    return out;
}

} // namespace

CString util_user_file(const char16_t* relative) {
    CString beside = util_get_tool_dir() + relative;
    std::filesystem::path native = NativePath(beside);
    CString dir(native.parent_path().u16string().c_str());
    const bool exists = util_file_exists(beside) != 0;
    if (_waccess(dir, 2) == 0 && (!exists || _waccess(beside, 2) == 0)) return beside;

    CString own = UserDataDir() + u"/tavrelix/" + relative;
    std::filesystem::path ownNative = NativePath(own);
    std::error_code ec;
    std::filesystem::create_directories(ownNative.parent_path(), ec);
    // The first time, the per-user copy starts as the one beside the program.
    if (exists && !util_file_exists(own))
        std::filesystem::copy_file(native, ownNative, std::filesystem::copy_options::skip_existing, ec);
    return CString(ownNative.u16string().c_str());
}

int util_file_exists(const char16_t* path) {
    if (!path || !*path) return 0;
    DWORD attrs = GetFileAttributesW(path);
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

int util_dir_exists(const char16_t* path) {
    if (!path || !*path) return 0;
    std::u16string p(path);
    if (p.size() > 1 && (p.back() == u'\\' || p.back() == u'/')) p.pop_back();
    if (p.size() == 2 && p[1] == u':') p += u'\\';
    DWORD attrs = GetFileAttributesW(p.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

CString util_get_exe_version() {
    std::vector<char16_t> path(1024);
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0 || n >= path.size()) return CString();
    DWORD size = GetFileVersionInfoSizeW(path.data(), nullptr);
    if (size == 0) return CString();
    std::vector<char> block(size);
    if (!GetFileVersionInfoW(path.data(), 0, size, block.data())) return CString();
    LPVOID value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), u"\\StringFileInfo\\041104b0\\FileVersion", &value, &length) || !value)
        return CString();
    // The four numbers of the file version.
    unsigned parts[4] = {0, 0, 0, 0};
    const char16_t* p = static_cast<const char16_t*>(value);
    for (int i = 0; i < 4 && *p; ++i) {
        while (*p >= u'0' && *p <= u'9') parts[i] = parts[i] * 10 + static_cast<unsigned>(*p++ - u'0');
        if (*p == u'.') ++p;
    }
    CString out;
    out.Format(u"%u.%u.%u.%u", parts[0], parts[1], parts[2], parts[3]);
    return out;
}

int util_browse_folder_callback(HWND window, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED) ::SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}
