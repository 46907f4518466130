// The settings store: the store chosen at start-up, the record's defaults
// and clamps, the sibling editor's keys, the font given on the command line.
#include "app_fixture.h"

#include "app/profilescope.h"

namespace apptest {
namespace {

class SettingsTest : public AppTest {
public:
    void ReadAll(std::vector<std::u16string> args = {}) {
        args.insert(args.begin(), Wide((bin / "tavrelix").string()));
        SetProcessArgumentsW(args);
        theApp.SetupSettingsLocation();
        theApp.ReadSettings();
        theApp.ReadFontSettings();
    }
    CString IniPath(const char* name) { return CString(Wide((bin / name).string()).c_str()); }
};

TEST_F(SettingsTest, AFreshStoreYieldsTheDefaults) {
    ReadAll();
    const AppSettingsRecord& s = AppSettings;
    EXPECT_EQ(s.USE_INI_FILE, 0);
    EXPECT_EQ(s.LONG_READ_BUF_SIZE, 65536);
    EXPECT_EQ(s.CLOB_READ_BUF_SIZE, 4096);
    EXPECT_EQ(g_oci_long_read_size, 65536);
    EXPECT_EQ(s.PUT_COLUMN_NAME, 1);
    EXPECT_EQ(s.DISP_DELETE_ALL_NULL_ROWS_WARNING, 1);
    EXPECT_EQ(s.SHARE_CONNECT_INFO, 0);
    EXPECT_EQ(s.DATA_LOCK, 0);
    EXPECT_EQ(std::u16string(s.NLS_DATE_FORMAT), u"YYYY-MM-DD HH24:MI:SS");
    EXPECT_EQ(std::u16string(s.NLS_TIMESTAMP_FORMAT), u"YYYY-MM-DD HH24:MI:SSXFF");
    EXPECT_EQ(std::u16string(s.NLS_TIMESTAMP_TZ_FORMAT), u"YYYY-MM-DD HH24:MI:SSXFF TZH:TZM");
    EXPECT_EQ(std::u16string(s.TIMEZONE), u"+09:00");
    EXPECT_TRUE(s.NLS_DATE_LANGUAGE.IsEmpty());
    EXPECT_EQ(std::u16string(s.INITIAL_DIR), Wide(home.string()));
    EXPECT_EQ(s.NLS_UTF8, 1);
    EXPECT_EQ(s.REPLACE_WAVE_DASH, 0);
    EXPECT_EQ(s.ADJUST_MIN_COL_CHARS, 10);
    EXPECT_EQ(s.COPY_ESCAPE_DBLQUOTE, 1);
    EXPECT_EQ(s.IME_CARET_COLOR, 1);
    EXPECT_EQ(s.DISP_COLUMN_NAME_TOOL_TIP, 1);
    EXPECT_EQ(s.SHOW_NOT_NULL_COLL, 1);
    EXPECT_EQ(s.END_KEY_LIKE_EXCEL, 0);
    const COLORREF colors[16] = {0xFFFFFF, 0xFFE6E6, 0xFAC8C8, 0xDCC8C8, 0x969696, 0xFFDCDC,
                                 0xDCDCFF, 0xF0F0F0, 0,        0xF5F5F5, 0x969600, 0x646464,
                                 0,        0,        0x32FFFF, 0};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(s.colors[i], colors[i]) << i;
    EXPECT_EQ(s.CELL_PADDING_TOP, 1);
    EXPECT_EQ(s.CELL_PADDING_LEFT, 2);
    EXPECT_EQ(std::u16string(s.font.FACENAME), u"Terminal");
    EXPECT_EQ(s.font.POINT, 100);
    EXPECT_EQ(s.font.WEIGHT, 400);
}

TEST_F(SettingsTest, CurrentRowTextTakesTheStoredTextColour) {
    PutInt(u"GRID", u"GRID_TEXT_COLOR", 0x112233);
    ReadAll();
    EXPECT_EQ(AppSettings.colors[15], 0x112233u);
    PutInt(u"GRID", u"GRID_CUR_ROW_TEXT_COLOR", 0x445566);
    ReadAll();
    EXPECT_EQ(AppSettings.colors[15], 0x445566u);
}

TEST_F(SettingsTest, ReadBuffersAreClampedForTheOracleLayerOnly) {
    PutInt(u"BUF_SIZE", u"LONG_READ_BUF_SIZE", 0);
    PutInt(u"BUF_SIZE", u"CLOB_READ_BUF_SIZE", 20000000);
    ReadAll();
    EXPECT_EQ(g_oci_long_read_size, 1);
    EXPECT_EQ(g_oci_clob_read_size, 16777216);
    EXPECT_EQ(AppSettings.LONG_READ_BUF_SIZE, 0);
    EXPECT_EQ(AppSettings.CLOB_READ_BUF_SIZE, 20000000);
    PutInt(u"BUF_SIZE", u"LONG_READ_BUF_SIZE", 20000000);
    ReadAll();
    EXPECT_EQ(g_oci_long_read_size, 16777216);
}

TEST_F(SettingsTest, TheIniFileIsUsedOnlyWhenItIsAFileThatAsksForIt) {
    // A directory of that name: the registry.
    fs::create_directories(bin / "tavrelix.ini");
    ReadAll();
    EXPECT_EQ(AppSettings.USE_INI_FILE, 0);
    EXPECT_NE(theApp.m_pszRegistryKey, nullptr);
    fs::remove(bin / "tavrelix.ini");
    // A file without USE_INI_FILE = 1: the registry, and the file is not read.
    WritePrivateProfileStringW(u"SESSION", u"TIMEZONE", u"+01:00", IniPath("tavrelix.ini"));
    ReadAll();
    EXPECT_EQ(AppSettings.USE_INI_FILE, 0);
    EXPECT_EQ(std::u16string(AppSettings.TIMEZONE), u"+09:00");
    WritePrivateProfileStringW(u"APPLICATION", u"USE_INI_FILE", u"1", IniPath("tavrelix.ini"));
    ReadAll();
    EXPECT_EQ(AppSettings.USE_INI_FILE, 1);
    EXPECT_EQ(theApp.m_pszRegistryKey, nullptr);
    EXPECT_EQ(std::u16string(AppSettings.TIMEZONE), u"+01:00");
    theApp.WriteProfileInt(u"SESSION", u"DATA_LOCK", 1);
    char16_t buf[16];
    GetPrivateProfileStringW(u"SESSION", u"DATA_LOCK", u"", buf, 16, IniPath("tavrelix.ini"));
    EXPECT_EQ(std::u16string(buf), u"1");
}

TEST_F(SettingsTest, SharedConnectInfoReadsTheClientPathFromTheSibling) {
    PutInt(u"SETUP", u"SHARE_CONNECT_INFO", 1);
    PutStr(u"APPLICATION", u"OCI_PATH_64", u"/own/path");
    {
        // The sibling's registry store.
        ProfileScope scope(&theApp, u"pelvoxan", u"QUARN\\ORACLE");
        theApp.WriteProfileString(u"APPLICATION", u"OCI_PATH_64", u"/sibling/registry");
        theApp.WriteProfileString(u"APPLICATION", u"TNS_ADMIN", u"/sibling/tns");
    }
    ReadAll();
    EXPECT_EQ(std::u16string(AppSettings.OCI_PATH_64), u"/sibling/registry");
    EXPECT_EQ(std::u16string(AppSettings.TNS_ADMIN), u"/sibling/tns");
    // The program's own location is back afterwards.
    EXPECT_EQ(GetStr(u"APPLICATION", u"OCI_PATH_64"), u"/own/path");

    // "pelvoxan.ini" beside the executable, in use.
    WritePrivateProfileStringW(u"APPLICATION", u"USE_INI_FILE", u"1", IniPath("pelvoxan.ini"));
    WritePrivateProfileStringW(u"APPLICATION", u"OCI_PATH_64", u"/sibling/ini", IniPath("pelvoxan.ini"));
    ReadAll();
    EXPECT_EQ(std::u16string(AppSettings.OCI_PATH_64), u"/sibling/ini");
    EXPECT_TRUE(AppSettings.TNS_ADMIN.IsEmpty());
    CString profile, key;
    GetSiblingProfileLocation(profile, key);
    EXPECT_EQ(profile, IniPath("pelvoxan.ini"));
    EXPECT_TRUE(key.IsEmpty());
}

TEST_F(SettingsTest, TheFontFlagNamesAnExistingJapaneseFaceInMemoryOnly) {
    PutStr(u"FONT_U", u"FACENAME", u"Stored Face");
    ReadAll({u"-FONT=ＭＳ ゴシック"});
    EXPECT_EQ(std::u16string(AppSettings.font.FACENAME), u"ＭＳ ゴシック");
    EXPECT_EQ(GetStr(u"FONT_U", u"FACENAME"), u"Stored Face");
    // Case-sensitive flag, missing faces and over-long names change nothing.
    ReadAll({u"-font=ＭＳ ゴシック"});
    EXPECT_EQ(std::u16string(AppSettings.font.FACENAME), u"Stored Face");
    ReadAll({u"-FONT=No Such Face At All"});
    EXPECT_EQ(std::u16string(AppSettings.font.FACENAME), u"Stored Face");
    ReadAll({u"-FONT=" + std::u16string(40, u'Ｘ')});
    EXPECT_EQ(std::u16string(AppSettings.font.FACENAME), u"Stored Face");
}

TEST_F(SettingsTest, WrittenSettingsReadBackTheSame) {
    ReadAll();
    AppSettings.NLS_DATE_FORMAT = u"YYYY/MM/DD";
    AppSettings.colors[GRID_SEARCH_COLOR] = 0x0000FF;
    AppSettings.CELL_PADDING_RIGHT = 7;
    AppSettings.END_KEY_LIKE_EXCEL = 1;
    AppSettings.NULL_TEXT = u"(null)";
    AppSettings.DATA_LOCK = 1;
    theApp.WriteSettings();
    AppSettings = AppSettingsRecord();
    ReadAll();
    EXPECT_EQ(std::u16string(AppSettings.NLS_DATE_FORMAT), u"YYYY/MM/DD");
    EXPECT_EQ(AppSettings.colors[GRID_SEARCH_COLOR], 0x0000FFu);
    EXPECT_EQ(AppSettings.CELL_PADDING_RIGHT, 7);
    EXPECT_EQ(AppSettings.END_KEY_LIKE_EXCEL, 1);
    EXPECT_EQ(std::u16string(AppSettings.NULL_TEXT), u"(null)");
    EXPECT_EQ(AppSettings.DATA_LOCK, 1);
    EXPECT_EQ(GetStr(u"GRID", u"GRID_SEARCH_COLOR"), u"<none>"); // an integer, not a string
    EXPECT_EQ(GetInt(u"GRID", u"GRID_SEARCH_COLOR"), 0x0000FF);
}

TEST_F(SettingsTest, DirectoryTestsDropOneTrailingSeparator) {
    std::u16string dir = Wide(bin.string());
    EXPECT_EQ(util_dir_exists(dir.c_str()), 1);
    EXPECT_EQ(util_dir_exists((dir + u"/").c_str()), 1);
    EXPECT_EQ(util_dir_exists((dir + u"\\").c_str()), 1);
    EXPECT_EQ(util_dir_exists((dir + u"/liboci.so").c_str()), 0);
    EXPECT_EQ(util_dir_exists(u""), 0);
    EXPECT_EQ(util_dir_exists(nullptr), 0);
    EXPECT_EQ(util_file_exists((dir + u"\\liboci.so").c_str()), 1);
    EXPECT_EQ(util_file_exists(dir.c_str()), 0);
    EXPECT_EQ(std::u16string(util_get_tool_dir()), dir + u"/");
}

// The files the program writes beside itself: there while it may write
// there, else per-user copies under $XDG_DATA_HOME/tavrelix/.
TEST_F(SettingsTest, FilesBesideAnUnwritableProgramGoToPerUserCopies) {
    EXPECT_EQ(std::u16string(util_user_file(u"data\\login_filter.txt")),
              Wide(bin.string()) + u"/data\\login_filter.txt");
    EXPECT_EQ(std::u16string(util_user_file(u"tavrelix.ini")), Wide((bin / "tavrelix.ini").string()));
    // /proc/self takes no new file, whoever runs the test.
    tvtest::SetExecutablePath(u"/proc/self/tavrelix");
    EXPECT_EQ(std::u16string(util_user_file(u"data\\login_filter.txt")),
              Wide((data / "tavrelix" / "data" / "login_filter.txt").string()));
    EXPECT_TRUE(fs::is_directory(data / "tavrelix" / "data"));
    EXPECT_EQ(std::u16string(util_user_file(u"tavrelix.ini")),
              Wide((data / "tavrelix" / "tavrelix.ini").string()));
    // Without XDG_DATA_HOME: ~/.local/share.
    const char* home = getenv("HOME");
    const std::string savedHome = home ? home : "";
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", root.c_str(), 1);
    EXPECT_EQ(std::u16string(util_user_file(u"tavrelix.ini")),
              Wide((root / ".local/share/tavrelix/tavrelix.ini").string()));
    setenv("HOME", savedHome.c_str(), 1);
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    tvtest::SetExecutablePath(Wide((bin / "tavrelix").string()));
}

// The folder the program starts in, and its file dialogs first open in,
// when none is set: the user's home, though the program's own folder takes
// files; without a home, the program's folder. A folder that is set is kept.
TEST_F(SettingsTest, AnUnsetStartFolderIsTheUsersHome) {
    ASSERT_EQ(access(bin.c_str(), W_OK), 0);
    ReadAll();
    EXPECT_EQ(std::u16string(AppSettings.INITIAL_DIR), Wide(home.string()));
    unsetenv("HOME");
    ReadAll();
    EXPECT_EQ(std::u16string(AppSettings.INITIAL_DIR), Wide(bin.string() + "/"));
    PutStr(u"APPLICATION", u"INITIAL_DIR", u"/srv/tables/");
    ReadAll();
    EXPECT_EQ(std::u16string(AppSettings.INITIAL_DIR), u"/srv/tables/");
}

} // namespace
} // namespace apptest
