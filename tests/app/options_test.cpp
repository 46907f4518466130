// The options sheet and the options command in the running program: every
// setting to its control and back, the combos, the folder and file buttons,
// the sample grid following the switches and colours, Cancel, and what OK
// applies at once, saves and asks a restart for.
#include <unistd.h>

#include "app/dialogs/optionsheet.h"
#include "app/mainfrm.h"
#include "app/tavexview.h"
#include "app_fixture.h"
#include "oracle/oci_conv.h"
#include "oracle/ora_dict.h"
#include "res/options.h"
#include "res/resource.h"

namespace apptest {
namespace {

struct Pages {
    HWND sheet, setup, grid;
};

class OptionsTest : public AppTest {
public:
    CMainFrame* frame = nullptr;

    void StartConnected() {
        ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
        frame = dynamic_cast<CMainFrame*>(theApp.m_pMainWnd);
        ASSERT_NE(frame, nullptr);
    }
    // The options command through the menu's id; body sees both pages (the
    // grid page made by a click on its tab, then the setup page in front).
    void RunOptions(std::function<void(const Pages&)> body) {
        tvtest::ExpectDialog(u"オプション", [body](HWND sheet) {
            Pages p{sheet, tvtest::SheetPage(sheet), nullptr};
            tvtest::ChoosePage(sheet, 1);
            p.grid = tvtest::SheetPage(sheet);
            tvtest::ChoosePage(sheet, 0);
            body(p);
            return true;
        });
        frame->SendMessage(WM_COMMAND, ID_TOOL_OPTION);
        tvtest::Pump();
    }
    static COptionSheet* Sheet(HWND h) { return dynamic_cast<COptionSheet*>(CWnd::FromHandle(h)); }
    static bool Checked(HWND page, int id) { return ::IsDlgButtonChecked(page, id) == BST_CHECKED; }
    static std::u16string Text(HWND page, int id) { return tvtest::TextOf(tvtest::Control(page, id)); }
    static void Retype(HWND page, int id, const std::u16string& text) {
        ::SetWindowTextW(tvtest::Control(page, id), u"");
        tvtest::Pump();
        if (!text.empty()) tvtest::TypeInto(page, id, text);
    }
    static uint32_t Pixel(HWND hwnd, int x, int y) { return tvtest::Capture(hwnd).At(x, y) & 0xFFFFFF; }
    static uint32_t Qt(COLORREF c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }
};

struct Switch {
    int id;
    int AppSettingsRecord::*field;
    const char16_t* section;
    const char16_t* key;
    bool setupPage;
};
const Switch kSwitches[] = {
    {IDC_SP_ADJUST_COL_WIDTH, &AppSettingsRecord::ADJUST_COL_WIDTH, u"SETUP", u"ADJUST_COL_WIDTH", true},
    {IDC_SP_PUT_COLUMN_NAME, &AppSettingsRecord::PUT_COLUMN_NAME, u"SETUP", u"PUT_COLUMN_NAME", true},
    {IDC_SP_USE_MESSAGE_BEEP, &AppSettingsRecord::USE_MESSAGE_BEEP, u"SETUP", u"USE_MESSAGE_BEEP", true},
    {IDC_SP_USE_UPDATABLE_COLUMNS, &AppSettingsRecord::USE_USER_UPDATABLE_COLUMNS, u"SETUP",
     u"USE_USER_UPDATABLE_COLUMNS", true},
    {IDC_SP_SHARE_CONNECT_INFO, &AppSettingsRecord::SHARE_CONNECT_INFO, u"SETUP", u"SHARE_CONNECT_INFO",
     true},
    {IDC_SP_DELETE_NULL_ROWS_WARNING, &AppSettingsRecord::DISP_DELETE_ALL_NULL_ROWS_WARNING, u"SETUP",
     u"DISP_DELETE_ALL_NULL_ROWS_WARNING", true},
    {IDC_SP_SEARCH_DLG_CLOSE, &AppSettingsRecord::SEARCH_DLG_CLOSE_AT_FOUND, u"SETUP",
     u"SEARCH_DLG_CLOSE_AT_FOUND", true},
    {IDC_SP_NLS_UTF8, &AppSettingsRecord::NLS_UTF8, u"UNICODE", u"NLS_UTF8", true},
    {IDC_SP_REPLACE_WAVE_DASH, &AppSettingsRecord::REPLACE_WAVE_DASH, u"UNICODE", u"REPLACE_WAVE_DASH", true},
    {IDC_GP_SHOW_2BYTE_SPACE, &AppSettingsRecord::SHOW_2BYTE_SPACE, u"GRID", u"SHOW_2BYTE_SPACE", false},
    {IDC_GP_SHOW_SPACE, &AppSettingsRecord::SHOW_SPACE, u"GRID", u"SHOW_SPACE", false},
    {IDC_GP_NO_USE_COLNAME, &AppSettingsRecord::ADJUST_COL_WIDTH_NO_USE_COLNAME, u"GRID",
     u"ADJUST_COL_WIDTH_NO_USE_COLNAME", false},
    {IDC_GP_INVERT_SELECT_TEXT, &AppSettingsRecord::INVERT_SELECT_TEXT, u"GRID", u"INVERT_SELECT_TEXT",
     false},
    {IDC_GP_SHOW_LINE_FEED, &AppSettingsRecord::SHOW_LINE_FEED, u"GRID", u"SHOW_LINE_FEED", false},
    {IDC_GP_SHOW_TAB, &AppSettingsRecord::SHOW_TAB, u"GRID", u"SHOW_TAB", false},
    {IDC_GP_COPY_ESCAPE_DBLQUOTE, &AppSettingsRecord::COPY_ESCAPE_DBLQUOTE, u"GRID", u"COPY_ESCAPE_DBLQUOTE",
     false},
    {IDC_GP_IME_CARET_COLOR, &AppSettingsRecord::IME_CARET_COLOR, u"GRID", u"IME_CARET_COLOR", false},
    {IDC_GP_END_KEY_LIKE_EXCEL, &AppSettingsRecord::END_KEY_LIKE_EXCEL, u"GRID", u"END_KEY_LIKE_EXCEL",
     false},
    {IDC_GP_COLUMN_NAME_TIP, &AppSettingsRecord::DISP_COLUMN_NAME_TOOL_TIP, u"GRID",
     u"DISP_COLUMN_NAME_TOOL_TIP", false},
    {IDC_GP_SHOW_NOT_NULL, &AppSettingsRecord::SHOW_NOT_NULL_COLL, u"GRID", u"SHOW_NOT_NULL_COLL", false},
    {IDC_GP_NO_MOVE_AT_DELETE, &AppSettingsRecord::NO_MOVE_CELL_AT_DELETE_ROWS, u"GRID",
     u"NO_MOVE_CELL_AT_DELETE_ROWS", false},
    {IDC_GP_NO_MOVE_AT_INSERT, &AppSettingsRecord::NO_MOVE_CELL_AT_INSERT_ROWS, u"GRID",
     u"NO_MOVE_CELL_AT_INSERT_ROWS", false},
};

struct Field {
    int id;
    CString AppSettingsRecord::*field;
    bool setupPage;
};
const Field kFields[] = {
    {IDC_SP_INITIAL_DIR, &AppSettingsRecord::INITIAL_DIR, true},
    {IDC_SP_STARTUP_SQL, &AppSettingsRecord::STARTUP_SQL_FILE, true},
    {IDC_SP_OCI_PATH, &AppSettingsRecord::OCI_PATH_64, true},
    {IDC_SP_TNS_ADMIN, &AppSettingsRecord::TNS_ADMIN, true},
    {IDC_SP_DATE_FORMAT, &AppSettingsRecord::NLS_DATE_FORMAT, true},
    {IDC_SP_TIMESTAMP_FORMAT, &AppSettingsRecord::NLS_TIMESTAMP_FORMAT, true},
    {IDC_SP_TIMESTAMP_TZ_FORMAT, &AppSettingsRecord::NLS_TIMESTAMP_TZ_FORMAT, true},
    {IDC_SP_TIMEZONE, &AppSettingsRecord::TIMEZONE, true},
    {IDC_SP_DATE_LANGUAGE, &AppSettingsRecord::NLS_DATE_LANGUAGE, true},
    {IDC_GP_NULL_TEXT, &AppSettingsRecord::NULL_TEXT, false},
};

// Every setting goes to its control and comes back unchanged, for both
// values of each switch; OK writes them into the store.
TEST_F(OptionsTest, EverySettingToItsControlAndBack) {
    StartConnected();
    for (int v : {0, 1}) {
        for (const Switch& s : kSwitches) AppSettings.*s.field = v;
        AppSettings.ADJUST_MIN_COL_CHARS = 7 + v;
        AppSettings.CELL_PADDING_TOP = 3 + v;
        AppSettings.CELL_PADDING_BOTTOM = 4;
        AppSettings.CELL_PADDING_LEFT = 5;
        AppSettings.CELL_PADDING_RIGHT = 6 + v;
        AppSettings.NULL_TEXT = v ? u"(null)" : u"";
        for (int i = 0; i < 16; ++i) AppSettings.colors[i] = static_cast<COLORREF>(0x010203 * (i + 1) + v);
        const AppSettingsRecord before = AppSettings;
        RunOptions([&](const Pages& p) {
            for (const Switch& s : kSwitches)
                EXPECT_EQ(Checked(s.setupPage ? p.setup : p.grid, s.id), v == 1) << s.id << " " << v;
            for (const Field& f : kFields)
                EXPECT_EQ(Text(f.setupPage ? p.setup : p.grid, f.id), std::u16string(before.*f.field))
                    << f.id;
            EXPECT_EQ(Text(p.grid, IDC_GP_MIN_COL_CHARS), v ? u"8" : u"7");
            EXPECT_EQ(Text(p.grid, IDC_GP_PADDING_TOP), v ? u"4" : u"3");
            EXPECT_EQ(Text(p.setup, IDC_SP_LONG_BUF_SIZE), u"65536");
            EXPECT_EQ(Text(p.setup, IDC_SP_CLOB_BUF_SIZE), u"4096");
            tvtest::ClickControl(p.sheet, IDOK);
        });
        for (const Switch& s : kSwitches) {
            EXPECT_EQ(AppSettings.*s.field, v) << Narrow(s.key);
            EXPECT_EQ(GetInt(s.section, s.key), v) << Narrow(s.key);
        }
        for (const Field& f : kFields) EXPECT_EQ(AppSettings.*f.field, before.*f.field) << f.id;
        for (int i = 0; i < 16; ++i) EXPECT_EQ(AppSettings.colors[i], before.colors[i]) << i;
        EXPECT_EQ(AppSettings.CELL_PADDING_RIGHT, 6 + v);
        EXPECT_EQ(GetInt(u"GRID", u"CELL_PADDING_TOP"), 3 + v);
        EXPECT_EQ(GetInt(u"GRID", u"ADJUST_MIN_COL_CHARS"), 7 + v);
        EXPECT_EQ(GetStr(u"GRID", u"NULL_TEXT"), v ? u"(null)" : u"");
        EXPECT_EQ(GetInt(u"GRID", u"GRID_SEARCH_COLOR"), static_cast<int>(before.colors[14]));
    }
    EXPECT_EQ(BoxesCaptioned(u"Message").size(), 0u);
}

TEST_F(OptionsTest, CombosLabelsAndTheFolderAndFileButtons) {
    StartConnected();
    AppSettings.NLS_DATE_FORMAT = u"DD.MM.YYYY";
    AppSettings.TIMEZONE = u"+00:00";
    const fs::path dir = root / "長い名前のフォルダ";
    fs::create_directories(dir);
    AppSettings.INITIAL_DIR = Wide(dir.string() + "/").c_str();
    std::ofstream(root / "startup.sql") << "select 1 from dual;\n";
    RunOptions([&](const Pages& p) {
        HWND date = tvtest::Control(p.setup, IDC_SP_DATE_FORMAT);
        EXPECT_EQ(::SendMessageW(date, CB_GETCOUNT, 0, 0), 5);
        EXPECT_EQ(::SendMessageW(date, CB_GETCURSEL, 0, 0), 4);
        EXPECT_EQ(tvtest::TextOf(date), u"DD.MM.YYYY");
        // A choice already there is chosen, not added.
        HWND tz = tvtest::Control(p.setup, IDC_SP_TIMEZONE);
        EXPECT_EQ(::SendMessageW(tz, CB_GETCOUNT, 0, 0), 2);
        EXPECT_EQ(::SendMessageW(tz, CB_GETCURSEL, 0, 0), 1);
        EXPECT_EQ(::SendMessageW(tvtest::Control(p.setup, IDC_SP_DATE_LANGUAGE), CB_GETCOUNT, 0, 0), 3);
        EXPECT_EQ(Text(p.setup, IDC_SP_REPLACE_WAVE_DASH), u"検索結果の'\u301C'を'～'に変換して表示する");

        // The folder browser opens on the folder without its trailing separator.
        const fs::path chosen = root / "chosen";
        fs::create_directories(chosen);
        tvtest::AnswerFolder(Wide(chosen.string()));
        tvtest::ClickControl(p.setup, IDC_SP_INITIAL_DIR_BROWSE);
        ASSERT_FALSE(tvtest::FolderRequests().empty());
        EXPECT_EQ(tvtest::FolderRequests().back().selection, Wide(dir.string()));
        EXPECT_EQ(tvtest::FolderRequests().back().title, u"起動時のディレクトリの選択");
        EXPECT_EQ(Text(p.setup, IDC_SP_INITIAL_DIR), Wide(chosen.string()));
        // "/" alone stays "/"; a cancelled browser leaves the box.
        Retype(p.setup, IDC_SP_TNS_ADMIN, u"/");
        tvtest::AnswerFolder(u"");
        tvtest::ClickControl(p.setup, IDC_SP_TNS_ADMIN_BROWSE);
        EXPECT_EQ(tvtest::FolderRequests().back().selection, u"/");
        EXPECT_EQ(tvtest::FolderRequests().back().title, u"TNS_ADMIN");
        EXPECT_EQ(Text(p.setup, IDC_SP_TNS_ADMIN), u"/");

        // The SQL file: existing files only.
        tvtest::AnswerFile(Wide((root / "startup.sql").string()));
        tvtest::ClickControl(p.setup, IDC_SP_STARTUP_SQL_BROWSE);
        ASSERT_FALSE(tvtest::FileRequests().empty());
        EXPECT_TRUE(tvtest::FileRequests().back().flags & OFN_FILEMUSTEXIST);
        EXPECT_FALSE(tvtest::FileRequests().back().save);
        EXPECT_EQ(Text(p.setup, IDC_SP_STARTUP_SQL), Wide((root / "startup.sql").string()));
        tvtest::ClickControl(p.sheet, IDOK);
    });
    EXPECT_EQ(std::u16string(AppSettings.INITIAL_DIR), Wide((root / "chosen").string()));
    EXPECT_EQ(GetStr(u"APPLICATION", u"STARTUP_SQL_FILE"), Wide((root / "startup.sql").string()));
    // A new start-up directory is the current directory at once.
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(std::string(cwd), (root / "chosen").string());
}

// The sample grid follows the switches, the margins and the colours;
// "標準の設定" and the colour buttons; Cancel keeps the store as it was.
TEST_F(OptionsTest, TheSampleGridFollowsThePageAndCancelKeepsTheStore) {
    StartConnected();
    theApp.WriteSettings();
    const std::u16string bgBefore = GetStr(u"GRID", u"GRID_BG_COLOR");
    AppSettings.colors[GRID_CURSOR_COLOR] = 0x0A0B0C;
    AppSettings.colors[GRID_HIDDEN_COL_COLOR] = 0x0D0E0F;
    AppSettings.colors[GRID_SEARCH_COLOR] = 0x00FFFF;
    AppSettings.colors[GRID_CUR_ROW_TEXT_COLOR] = 0x0000FF;
    AppSettings.colors[GRID_BG_COLOR] = 0xEEEEEE;
    RunOptions([&](const Pages& p) {
        COptionSheet* sheet = Sheet(p.sheet);
        CGridOptionPage& page = sheet->m_gridPage;
        CGridCtrl& grid = page.m_sampleGrid;
        EXPECT_EQ(grid.GetData(), &page.m_sampleData);
        EXPECT_EQ(page.m_sampleData.GetRowCount(), 3);
        EXPECT_EQ(std::u16string(page.m_sampleData.GetColName(1)), u"CNAME2");
        EXPECT_EQ(std::u16string(page.m_sampleData.GetText(2, 0)), u"C C\u3000C\tC");
        EXPECT_TRUE(grid.GetGridStyle() & 0x40);
        // Each switch of the sample sets and clears its bit.
        const std::pair<int, uint32_t> bits[] = {{IDC_GP_SHOW_SPACE, 0x100},
                                                 {IDC_GP_SHOW_2BYTE_SPACE, 0x200},
                                                 {IDC_GP_SHOW_TAB, 0x2000},
                                                 {IDC_GP_SHOW_LINE_FEED, 0x1000},
                                                 {IDC_GP_NO_USE_COLNAME, 0x400},
                                                 {IDC_GP_INVERT_SELECT_TEXT, 0x20},
                                                 {IDC_GP_END_KEY_LIKE_EXCEL, 0x10000},
                                                 {IDC_GP_COLUMN_NAME_TIP, 0x40000},
                                                 {IDC_GP_SHOW_NOT_NULL, 0x80000}};
        tvtest::ChoosePage(p.sheet, 1);
        EXPECT_TRUE(::IsWindowVisible(grid.m_hWnd));
        for (auto [id, bit] : bits) {
            const bool was = grid.GetGridStyle() & bit;
            tvtest::ClickControl(p.grid, id);
            EXPECT_EQ((grid.GetGridStyle() & bit) != 0, !was) << id;
            tvtest::ClickControl(p.grid, id);
            EXPECT_EQ((grid.GetGridStyle() & bit) != 0, was) << id;
        }
        // A margin changes the row height at once.
        const int height = grid.m_rowHeight;
        Retype(p.grid, IDC_GP_PADDING_TOP, u"9");
        EXPECT_EQ(grid.m_rowHeight, height + 9 - AppSettings.CELL_PADDING_TOP);
        // The background through its button: the dialog opens on it; the
        // NULL colour equal to it clears bit 0x40.
        tvtest::AnswerColor([](win32bk::ColorDialogRequest& r) {
            EXPECT_EQ(r.color, 0xEEEEEEu);
            r.color = 0xF5F5F5;
            r.custom[0] = 0x00C0C0;
            return true;
        });
        tvtest::ClickControl(p.grid, IDC_GP_COLOR_BG);
        EXPECT_EQ(page.m_colors[GRID_BG_COLOR], 0xF5F5F5u);
        EXPECT_FALSE(grid.GetGridStyle() & 0x40);
        EXPECT_EQ(GetInt(u"COLOR_DLG", u"CUSTOM_COLOR_00"), 0x00C0C0);
        // The button shows it inside its bump edge.
        HWND button = tvtest::Control(p.grid, IDC_GP_COLOR_BG);
        RECT br;
        ::GetClientRect(button, &br);
        EXPECT_EQ(Pixel(button, br.right / 2, br.bottom / 2), Qt(0xF5F5F5));
        // "標準の設定": the table's colours, 12, 13 and 14 untouched.
        tvtest::ClickControl(p.grid, IDC_GP_DEFAULT_COLORS);
        EXPECT_EQ(page.m_colors[GRID_BG_COLOR], 0xFFFFFFu);
        EXPECT_EQ(page.m_colors[GRID_CUR_ROW_TEXT_COLOR], 0u);
        EXPECT_EQ(page.m_colors[GRID_NULL_CELL_COLOR], 0xF5F5F5u);
        EXPECT_EQ(page.m_colors[GRID_CURSOR_COLOR], 0x0A0B0Cu);
        EXPECT_EQ(page.m_colors[GRID_HIDDEN_COL_COLOR], 0x0D0E0Fu);
        EXPECT_EQ(page.m_colors[GRID_SEARCH_COLOR], 0x00FFFFu);
        EXPECT_TRUE(grid.GetGridStyle() & 0x40);
        EXPECT_EQ(Pixel(button, br.right / 2, br.bottom / 2), Qt(0xFFFFFF));
        tvtest::ClickControl(p.sheet, IDCANCEL);
    });
    EXPECT_EQ(AppSettings.colors[GRID_BG_COLOR], 0xEEEEEEu);
    EXPECT_EQ(GetStr(u"GRID", u"GRID_BG_COLOR"), bgBefore);
    EXPECT_EQ(GetInt(u"GRID", u"CELL_PADDING_TOP"), 1);
}

// What OK applies at once and when it asks for a restart.
TEST_F(OptionsTest, OkAppliesAtOnceOrAsksForARestartOnce) {
    StartConnected();
    auto change = [&](std::function<void(const Pages&)> edit, bool notice = false) {
        tvtest::ClearBoxes();
        RunOptions([&](const Pages& p) {
            edit(p);
            if (notice) tvtest::AnswerBox(IDOK);
            tvtest::ClickControl(p.sheet, IDOK);
        });
        return BoxesCaptioned(u"Message").size();
    };
    EXPECT_EQ(change([](const Pages& p) { Retype(p.setup, IDC_SP_TNS_ADMIN, u"/tmp/tns"); }), 0u);
    EXPECT_EQ(std::u16string(AppSettings.TNS_ADMIN), u"/tmp/tns");
    EXPECT_EQ(change([](const Pages& p) { Retype(p.setup, IDC_SP_STARTUP_SQL, u"/tmp/none.sql"); }), 0u);
    EXPECT_EQ(change([](const Pages& p) { Retype(p.setup, IDC_SP_OCI_PATH, u"/opt/oracle"); }, true), 1u);
    EXPECT_EQ(BoxesCaptioned(u"Message")[0].text, u"設定を反映するために，tavrelixの再起動が必要です");
    EXPECT_EQ(change([](const Pages& p) { tvtest::ClickControl(p.setup, IDC_SP_NLS_UTF8); }, true), 1u);
    EXPECT_EQ(change(
                  [](const Pages& p) {
                      Retype(p.setup, IDC_SP_OCI_PATH, u"/opt/other");
                      tvtest::ClickControl(p.setup, IDC_SP_NLS_UTF8);
                  },
                  true),
              1u);

    // The date format alters the session at once.
    change([](const Pages& p) {
        HWND edit = ::GetWindow(tvtest::Control(p.setup, IDC_SP_DATE_FORMAT), GW_CHILD);
        ASSERT_NE(edit, nullptr);
        ::SetWindowTextW(edit, u"");
        RECT r;
        ::GetClientRect(edit, &r);
        tvtest::Click(edit, r.right - 1, r.bottom / 2);
        tvtest::Type(edit, u"YYYY/MM/DD");
    });
    CString value, msg;
    ASSERT_EQ(oradict_get_nls_session_param(g_session, &value, u"NLS_DATE_FORMAT", &msg), ORARC_OK)
        << Narrow(msg);
    EXPECT_EQ(std::u16string(value), u"YYYY/MM/DD");
    EXPECT_EQ(GetStr(u"SESSION", u"NLS_DATE_FORMAT"), u"YYYY/MM/DD");

    // The wave-dash switch changes the conversion without a restart.
    ASSERT_EQ(AppSettings.REPLACE_WAVE_DASH, 0);
    change([](const Pages& p) { tvtest::ClickControl(p.setup, IDC_SP_REPLACE_WAVE_DASH); });
    EXPECT_EQ(g_mb_to_wide, &oci_mb_to_wide_tilde);
    change([](const Pages& p) { tvtest::ClickControl(p.setup, IDC_SP_REPLACE_WAVE_DASH); });
    EXPECT_EQ(g_mb_to_wide, &oci_mb_to_wide);

    // The END pane comes and goes with the switch.
    EXPECT_EQ(frame->m_wndStatusBar.GetCount(), 6);
    change([](const Pages& p) {
        tvtest::ChoosePage(p.sheet, 1);
        tvtest::ClickControl(p.grid, IDC_GP_END_KEY_LIKE_EXCEL);
    });
    EXPECT_EQ(frame->m_wndStatusBar.GetCount(), 7);
    EXPECT_EQ(frame->m_wndStatusBar.GetItemID(6), static_cast<UINT>(ID_INDICATOR_END));
    change([](const Pages& p) {
        tvtest::ChoosePage(p.sheet, 1);
        tvtest::ClickControl(p.grid, IDC_GP_END_KEY_LIKE_EXCEL);
    });
    EXPECT_EQ(frame->m_wndStatusBar.GetCount(), 6);

    // Untouched buffer sizes are written clamped.
    AppSettings.LONG_READ_BUF_SIZE = 0;
    AppSettings.CLOB_READ_BUF_SIZE = 20000000;
    g_oci_long_read_size = 1;
    g_oci_clob_read_size = 16777216;
    change([](const Pages&) {});
    EXPECT_EQ(GetInt(u"BUF_SIZE", u"LONG_READ_BUF_SIZE"), 1);
    EXPECT_EQ(GetInt(u"BUF_SIZE", u"CLOB_READ_BUF_SIZE"), 16777216);

    // The views repaint in the new colours.
    auto* view = dynamic_cast<CTavexView*>(frame->m_wndSplitter.GetPane(0, 0));
    ASSERT_NE(view, nullptr);
    change([](const Pages& p) {
        tvtest::ChoosePage(p.sheet, 1);
        tvtest::AnswerColor([](win32bk::ColorDialogRequest& r) {
            r.color = 0x3366CC;
            return true;
        });
        tvtest::ClickControl(p.grid, IDC_GP_COLOR_BG);
    });
    tvtest::Pump();
    ::UpdateWindow(view->m_grid.m_hWnd);
    RECT gr;
    ::GetClientRect(view->m_grid.m_hWnd, &gr);
    EXPECT_EQ(Pixel(view->m_grid.m_hWnd, gr.right / 2, gr.bottom / 2), Qt(0x3366CC));
}

TEST_F(OptionsTest, TheAssociationIsMadeAndRemoved) {
    StartConnected();
    EXPECT_EQ(theApp.IsFileTypeRegistered(), 0);
    RunOptions([](const Pages& p) {
        EXPECT_FALSE(Checked(p.setup, IDC_SP_REGISTER_FILE_TYPE));
        tvtest::ClickControl(p.setup, IDC_SP_REGISTER_FILE_TYPE);
        tvtest::ClickControl(p.sheet, IDOK);
    });
    EXPECT_EQ(theApp.IsFileTypeRegistered(), 1);
    EXPECT_TRUE(fs::exists(data / "applications" / "org.tavrelix.tavrelix.desktop"));
    RunOptions([](const Pages& p) {
        EXPECT_TRUE(Checked(p.setup, IDC_SP_REGISTER_FILE_TYPE));
        tvtest::ClickControl(p.setup, IDC_SP_REGISTER_FILE_TYPE);
        tvtest::ClickControl(p.sheet, IDOK);
    });
    EXPECT_EQ(theApp.IsFileTypeRegistered(), 0);
    EXPECT_FALSE(fs::exists(data / "applications" / "org.tavrelix.tavrelix.desktop"));
    char16_t value[260] = {};
    LONG size = sizeof value;
    EXPECT_NE(RegQueryValueW(HKEY_CLASSES_ROOT, u".tvx", value, &size), ERROR_SUCCESS);
}

} // namespace
} // namespace apptest
