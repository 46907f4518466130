// The move of the store between the registry stand-in and "tavrelix.ini",
// through the options sheet's switch: everything carried there and back, a
// version-1 list arriving in version 2, a password that cannot be carried
// moving nothing, the per-user copy of the ini file when the program's
// directory takes no file, and a directory that takes no file keeping the
// registry.
#include "app/connectinfo.h"
#include "app/dialogs/acceltable.h"
#include "app/dialogs/optionsheet.h"
#include "app/mainfrm.h"
#include "app_fixture.h"
#include "res/options.h"
#include "res/resource.h"

namespace apptest {
namespace {

class StoreMoveTest : public AppTest {
public:
    void StartConnected() {
        ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
        ASSERT_NE(theApp.m_pMainWnd, nullptr);
    }
    // The options command with the ini switch clicked, and OK; a box OK
    // brings up is answered with boxAnswer.
    void ToggleIniFile(int boxAnswer = 0) {
        tvtest::ExpectDialog(u"オプション", [boxAnswer](HWND sheet) {
            tvtest::ClickControl(tvtest::SheetPage(sheet), IDC_SP_USE_INI_FILE);
            if (boxAnswer) tvtest::AnswerBox(boxAnswer);
            tvtest::ClickControl(sheet, IDOK);
            return true;
        });
        theApp.m_pMainWnd->SendMessage(WM_COMMAND, ID_TOOL_OPTION);
        tvtest::Pump();
    }
    fs::path Ini() const { return bin / "tavrelix.ini"; }
    int IniInt(const char16_t* section, const char16_t* key) {
        return static_cast<int>(GetPrivateProfileIntW(section, key, -12345, Wide(Ini().string()).c_str()));
    }
    // A few settings that differ from their defaults.
    void Change() {
        AppSettingsRecord& a = AppSettings;
        a.LONG_READ_BUF_SIZE = 777;
        a.PUT_COLUMN_NAME = 0;
        a.NLS_DATE_FORMAT = u"YYYY/MM/DD";
        a.NLS_DATE_LANGUAGE = u"AMERICAN";
        a.TNS_ADMIN = u"/etc/tns";
        a.NULL_TEXT = u"(null)";
        a.END_KEY_LIKE_EXCEL = 0;
        a.colors[GRID_BG_COLOR] = 0x123456;
        a.colors[GRID_CUR_ROW_TEXT_COLOR] = 0x654321;
        a.CELL_PADDING_TOP = 4;
        a.REPLACE_WAVE_DASH = 0;
        a.font.FACENAME = u"IPAGothic";
        a.font.POINT = 120;
    }
    static void ExpectSame(const AppSettingsRecord& x, const AppSettingsRecord& y) {
#define SAME(f) EXPECT_EQ(x.f, y.f) << #f
        SAME(LONG_READ_BUF_SIZE);
        SAME(CLOB_READ_BUF_SIZE);
        SAME(font.FACENAME);
        SAME(font.POINT);
        SAME(font.WEIGHT);
        SAME(font.ITALIC);
        SAME(SHOW_SPACE);
        SAME(SHOW_2BYTE_SPACE);
        SAME(SHOW_TAB);
        SAME(SHOW_LINE_FEED);
        SAME(ADJUST_COL_WIDTH_NO_USE_COLNAME);
        SAME(ADJUST_MIN_COL_CHARS);
        SAME(INVERT_SELECT_TEXT);
        SAME(COPY_ESCAPE_DBLQUOTE);
        SAME(IME_CARET_COLOR);
        SAME(END_KEY_LIKE_EXCEL);
        SAME(DISP_COLUMN_NAME_TOOL_TIP);
        SAME(SHOW_NOT_NULL_COLL);
        SAME(NO_MOVE_CELL_AT_DELETE_ROWS);
        SAME(NO_MOVE_CELL_AT_INSERT_ROWS);
        SAME(NULL_TEXT);
        SAME(CELL_PADDING_TOP);
        SAME(CELL_PADDING_BOTTOM);
        SAME(CELL_PADDING_LEFT);
        SAME(CELL_PADDING_RIGHT);
        SAME(PUT_COLUMN_NAME);
        SAME(ADJUST_COL_WIDTH);
        SAME(USE_MESSAGE_BEEP);
        SAME(DISP_DELETE_ALL_NULL_ROWS_WARNING);
        SAME(USE_USER_UPDATABLE_COLUMNS);
        SAME(SHARE_CONNECT_INFO);
        SAME(SEARCH_DLG_CLOSE_AT_FOUND);
        SAME(DATA_LOCK);
        SAME(NLS_DATE_FORMAT);
        SAME(NLS_DATE_LANGUAGE);
        SAME(NLS_TIMESTAMP_FORMAT);
        SAME(NLS_TIMESTAMP_TZ_FORMAT);
        SAME(TIMEZONE);
        SAME(INITIAL_DIR);
        SAME(STARTUP_SQL_FILE);
        SAME(OCI_PATH_64);
        SAME(TNS_ADMIN);
        SAME(NLS_UTF8);
        SAME(REPLACE_WAVE_DASH);
#undef SAME
        for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 14, 15}) EXPECT_EQ(x.colors[i], y.colors[i]) << i;
    }
    // The whole record as the store has it now.
    static AppSettingsRecord ReadBack() {
        const AppSettingsRecord saved = AppSettings;
        theApp.ReadSettings();
        theApp.ReadFontSettings();
        AppSettingsRecord read = AppSettings;
        AppSettings = saved;
        return read;
    }
    void SaveConnections() {
        ConnectInfoList list;
        CString stored;
        ASSERT_TRUE(PasswordCodec::Encode(u"tiger", &stored));
        list.Add(
            std::make_unique<ConnectInfo>(u"scott", u"ORCL", stored, 2, 1, u"開発", 1, 0x111111, 0x222222));
        ASSERT_TRUE(PasswordCodec::Encode(u"demo", &stored));
        list.Add(std::make_unique<ConnectInfo>(u"DEMO", u"DEMO", stored, 1, 0, u"", 0, 0xFFFFFF, 0xFFFFFF));
        list.Save();
    }
    std::vector<std::u16string> SavedPasswords() {
        ConnectInfoList list;
        list.Load();
        std::vector<std::u16string> out;
        for (int i = 0; i < list.GetCount(); ++i) out.emplace_back(list.DecodePassword(*list.GetAt(i)));
        return out;
    }
};

// A version-1 scrambled form of a text (the old generator, inverted).
CString Version1(const std::u16string& plain, char16_t seed = u'K') {
    std::u16string out(1, seed);
    uint32_t state = seed;
    for (char16_t c : plain) {
        state = state * 214013u + 2531011u;
        out += static_cast<char16_t>(c ^ (((state >> 16) & 0x7FFF) % 255));
    }
    return CString(out.c_str());
}

TEST_F(StoreMoveTest, ToTheIniFileAndBackKeepsEverything) {
    SaveConnections();
    PutInt(u"ACCELERATOR", u"ACCEL_CNT", 2);
    PutInt(u"ACCELERATOR", u"CMD_0000", ID_TOOL_OPTION);
    PutInt(u"ACCELERATOR", u"KEY_0000", 'O');
    PutInt(u"ACCELERATOR", u"VIRT_0000", 0x0B);
    PutInt(u"ACCELERATOR", u"CMD_0001", ID_FILE_COMMIT);
    PutInt(u"ACCELERATOR", u"KEY_0001", 0x74);
    PutInt(u"ACCELERATOR", u"VIRT_0001", 0x03);
    PutInt(u"SEARCH_DLG", u"DLG_WIDTH", 333);
    StartConnected();
    Change();
    theApp.WriteSettings();
    theApp.WriteFontSettings();
    const AppSettingsRecord before = ReadBack();

    ToggleIniFile();
    ASSERT_TRUE(fs::exists(Ini()));
    EXPECT_EQ(theApp.m_pszRegistryKey, nullptr);
    EXPECT_EQ(AppSettings.USE_INI_FILE, 1);
    EXPECT_EQ(IniInt(u"APPLICATION", u"USE_INI_FILE"), 1);
    EXPECT_EQ(IniInt(u"BUF_SIZE", u"LONG_READ_BUF_SIZE"), 777);
    ExpectSame(ReadBack(), before);
    EXPECT_EQ(GetInt(u"ACCELERATOR", u"ACCEL_CNT"), 2);
    EXPECT_EQ(GetInt(u"ACCELERATOR", u"CMD_0001"), ID_FILE_COMMIT);
    EXPECT_EQ(GetInt(u"ACCELERATOR", u"KEY_0000"), 'O');
    EXPECT_EQ(SavedPasswords(), (std::vector<std::u16string>{u"tiger", u"demo"}));
    EXPECT_EQ(GetStr(u"CONNECT_INFO", u"NOTES-0"), u"開発");
    EXPECT_EQ(GetInt(u"CONNECT_INFO", u"OPT_GRID_BG_COLOR-0"), 0x222222);
    // What the move does not carry starts from its default.
    EXPECT_EQ(GetInt(u"SEARCH_DLG", u"DLG_WIDTH"), -12345);
    // A later write goes to the ini file.
    theApp.WriteProfileInt(u"GRID", u"CELL_PADDING_LEFT", 9);
    EXPECT_EQ(IniInt(u"GRID", u"CELL_PADDING_LEFT"), 9);
    AppSettings.CELL_PADDING_LEFT = 2;

    // And back: the registry has every value, the ini file says it is off.
    AppSettings.NULL_TEXT = u"<NULL>";
    ToggleIniFile();
    EXPECT_NE(theApp.m_pszRegistryKey, nullptr);
    EXPECT_EQ(AppSettings.USE_INI_FILE, 0);
    EXPECT_EQ(IniInt(u"APPLICATION", u"USE_INI_FILE"), 0);
    AppSettingsRecord expected = before;
    expected.NULL_TEXT = u"<NULL>";
    ExpectSame(ReadBack(), expected);
    EXPECT_EQ(GetInt(u"ACCELERATOR", u"VIRT_0000"), 0x0B);
    EXPECT_EQ(SavedPasswords(), (std::vector<std::u16string>{u"tiger", u"demo"}));
    EXPECT_EQ(GetInt(u"SEARCH_DLG", u"DLG_WIDTH"), 333); // the registry's own, untouched
}

TEST_F(StoreMoveTest, AVersion1ListArrivesInVersion2OrMovesNothing) {
    PutInt(u"CONNECT_INFO", u"COUNT", 1);
    PutStr(u"CONNECT_INFO", u"USER-0", u"old");
    PutStr(u"CONNECT_INFO", u"TNS-0", u"T");
    PutStr(u"CONNECT_INFO", u"PASSWD-0", Version1(u"secret"));
    StartConnected();
    ToggleIniFile();
    ASSERT_EQ(AppSettings.USE_INI_FILE, 1);
    EXPECT_EQ(GetInt(u"CONNECT_INFO", u"ENCODE_VER"), 2);
    EXPECT_EQ(SavedPasswords(), (std::vector<std::u16string>{u"secret"}));
    ToggleIniFile();
    ASSERT_EQ(AppSettings.USE_INI_FILE, 0);

    // A version-1 password the new form cannot hold: the box, nothing moved,
    // the settings written where they were.
    PutInt(u"CONNECT_INFO", u"ENCODE_VER", 1);
    PutStr(u"CONNECT_INFO", u"PASSWD-0", Version1(u"\U00020BB7"));
    fs::remove(Ini());
    AppSettings.NULL_TEXT = u"kept";
    tvtest::ClearBoxes();
    ToggleIniFile(IDOK);
    ASSERT_EQ(BoxesCaptioned(u"Error").size(), 1u);
    EXPECT_EQ(BoxesCaptioned(u"Error")[0].text, u"パスワードを保存できません: old@T");
    EXPECT_EQ(AppSettings.USE_INI_FILE, 0);
    EXPECT_NE(theApp.m_pszRegistryKey, nullptr);
    EXPECT_FALSE(fs::exists(Ini()));
    EXPECT_EQ(GetStr(u"GRID", u"NULL_TEXT"), u"kept");
    EXPECT_EQ(GetInt(u"CONNECT_INFO", u"ENCODE_VER"), 1);
}

// The key bindings move as the table reads them: a row without its flag
// byte is no binding and stays behind; without a stored table the new store
// gets none either (no defaults written, a table left there from before
// removed), so the defaults apply there as here.
TEST_F(StoreMoveTest, KeyBindingsMoveAsTheTableReadsThem) {
    PutInt(u"ACCELERATOR", u"ACCEL_CNT", 3);
    PutInt(u"ACCELERATOR", u"CMD_0000", ID_TOOL_OPTION);
    PutInt(u"ACCELERATOR", u"KEY_0000", 'O');
    PutInt(u"ACCELERATOR", u"VIRT_0000", 0x0B);
    PutInt(u"ACCELERATOR", u"CMD_0001", ID_FILE_REFRESH);
    PutInt(u"ACCELERATOR", u"KEY_0001", 'R');
    PutInt(u"ACCELERATOR", u"CMD_0002", ID_FILE_COMMIT);
    PutInt(u"ACCELERATOR", u"KEY_0002", 0x74);
    PutInt(u"ACCELERATOR", u"VIRT_0002", 0x03);
    StartConnected();
    ToggleIniFile();
    ASSERT_EQ(AppSettings.USE_INI_FILE, 1);
    EXPECT_EQ(IniInt(u"ACCELERATOR", u"ACCEL_CNT"), 2);
    EXPECT_EQ(IniInt(u"ACCELERATOR", u"CMD_0000"), ID_TOOL_OPTION);
    EXPECT_EQ(IniInt(u"ACCELERATOR", u"CMD_0001"), ID_FILE_COMMIT);
    EXPECT_EQ(IniInt(u"ACCELERATOR", u"KEY_0001"), 0x74);
    EXPECT_EQ(IniInt(u"ACCELERATOR", u"VIRT_0001"), 0x03);
    EXPECT_EQ(IniInt(u"ACCELERATOR", u"CMD_0002"), -12345);
    AccelTable moved;
    moved.Load();
    ASSERT_EQ(moved.GetCount(), 2);
    EXPECT_EQ(moved[0].key, 'O');
    EXPECT_EQ(moved[1].cmd, ID_FILE_COMMIT);
}

TEST_F(StoreMoveTest, WithoutStoredBindingsTheNewStoreGetsNone) {
    // A table in the ini file from an earlier move.
    const std::u16string ini = Wide(Ini().string());
    WritePrivateProfileStringW(u"ACCELERATOR", u"ACCEL_CNT", u"1", ini.c_str());
    WritePrivateProfileStringW(u"ACCELERATOR", u"CMD_0000", u"32771", ini.c_str());
    WritePrivateProfileStringW(u"ACCELERATOR", u"KEY_0000", u"81", ini.c_str());
    WritePrivateProfileStringW(u"ACCELERATOR", u"VIRT_0000", u"11", ini.c_str());
    StartConnected();
    ASSERT_EQ(GetInt(u"ACCELERATOR", u"ACCEL_CNT"), -12345);
    ToggleIniFile();
    ASSERT_EQ(AppSettings.USE_INI_FILE, 1);
    EXPECT_EQ(IniInt(u"ACCELERATOR", u"ACCEL_CNT"), -12345);
    EXPECT_EQ(IniInt(u"ACCELERATOR", u"CMD_0000"), -12345);
    AccelTable table;
    table.Load();
    EXPECT_EQ(table.GetCount(), 17);
    // And back: the registry still has none.
    ToggleIniFile();
    ASSERT_EQ(AppSettings.USE_INI_FILE, 0);
    EXPECT_EQ(GetInt(u"ACCELERATOR", u"ACCEL_CNT"), -12345);
}

// An executable directory the user may not write to: the ini file is the
// per-user copy, and the next start finds it there.
TEST_F(StoreMoveTest, AnUnwritableProgramDirectoryKeepsTheIniFileInThePerUserCopy) {
    StartConnected();
    // /proc/self takes no new file, whoever runs the test.
    tvtest::SetExecutablePath(u"/proc/self/tavrelix");
    AppSettings.NULL_TEXT = u"this run";
    ToggleIniFile();
    EXPECT_TRUE(BoxesCaptioned(u"Error").empty());
    const fs::path own = data / "tavrelix" / "tavrelix.ini";
    ASSERT_TRUE(fs::exists(own));
    EXPECT_EQ(AppSettings.USE_INI_FILE, 1);
    EXPECT_EQ(std::u16string(theApp.m_pszProfileName), Wide(own.string()));
    EXPECT_EQ(GetPrivateProfileIntW(u"APPLICATION", u"USE_INI_FILE", 0, Wide(own.string()).c_str()), 1u);
    theApp.SetupSettingsLocation();
    EXPECT_EQ(AppSettings.USE_INI_FILE, 1);
    EXPECT_EQ(std::u16string(theApp.m_pszProfileName), Wide(own.string()));
    EXPECT_EQ(GetStr(u"GRID", u"NULL_TEXT"), u"this run");
    tvtest::SetExecutablePath(Wide((bin / "tavrelix").string()));
}

// Neither the executable's directory nor the per-user one takes a file: the
// box, and this run's options in the registry.
TEST_F(StoreMoveTest, ADirectoryThatTakesNoFileKeepsTheRegistry) {
    StartConnected();
    tvtest::SetExecutablePath(u"/proc/self/tavrelix");
    setenv("XDG_DATA_HOME", "/proc/self", 1);
    AppSettings.NULL_TEXT = u"this run";
    ToggleIniFile(IDOK);
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    ASSERT_EQ(BoxesCaptioned(u"Error").size(), 1u);
    EXPECT_EQ(BoxesCaptioned(u"Error")[0].text, u"設定を保存できません: /proc/self/tavrelix/tavrelix.ini");
    EXPECT_EQ(AppSettings.USE_INI_FILE, 0);
    EXPECT_NE(theApp.m_pszRegistryKey, nullptr);
    EXPECT_EQ(GetStr(u"GRID", u"NULL_TEXT"), u"this run");
    EXPECT_EQ(GetInt(u"APPLICATION", u"USE_INI_FILE"), 0);
    tvtest::SetExecutablePath(Wide((bin / "tavrelix").string()));
}

} // namespace
} // namespace apptest
