// Start-up and exit: the command-line logon, the login dialog at start, the
// client library and its environment, the start-up thread, the status panes
// and the settings written at exit. One case per process (CTest runs them so).
#include "app_fixture.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "app/apphooks.h"
#include "app/mainfrm.h"
#include "editor/sqltoken.h"
#include "res/resource.h"

namespace apptest {
namespace {

class StartupTest : public AppTest {
public:
    CMainFrame* Frame() { return static_cast<CMainFrame*>(theApp.m_pMainWnd); }
    std::u16string Title() {
        char16_t buf[512] = {};
        ::GetWindowTextW(Frame()->m_hWnd, buf, 512);
        return buf;
    }
    std::u16string Pane(UINT id) {
        tvtest::RunUntilIdle();
        int index = Frame()->m_wndStatusBar.CommandToIndex(id);
        return index < 0 ? u"<none>" : std::u16string(Frame()->m_wndStatusBar.GetPaneText(index));
    }
    static std::u16string Env(const char* name) {
        const char* v = getenv(name);
        return v ? Wide(v) : u"<unset>";
    }
};

TEST(LogonArgument, ValuesSplitIntoUserPasswordAndService) {
    auto parse = [](std::vector<std::u16string> args) {
        args.insert(args.begin(), u"tavrelix");
        SetProcessArgumentsW(args);
        LogonArgument a;
        EXPECT_TRUE(ParseLogonArgument(GetCommandLineW(), &a));
        return std::vector<std::u16string>{std::u16string(a.user), std::u16string(a.password),
                                           std::u16string(a.service), a.oci7 ? u"OCI7" : u"OCI8"};
    };
    using V = std::vector<std::u16string>;
    EXPECT_EQ(parse({u"LOGON=scott/tiger@db"}), (V{u"scott", u"tiger", u"db", u"OCI8"}));
    // One argument with a blank and a quote: the command line quotes it.
    EXPECT_EQ(parse({u"LOGON=a b/c\"d@x"}), (V{u"a b", u"c\"d", u"x", u"OCI8"}));
    EXPECT_EQ(parse({u"LOGON=u"}), (V{u"u", u"", u"", u"OCI8"}));
    EXPECT_EQ(parse({u"LOGON=u/p/q@s@t"}), (V{u"u", u"p/q", u"s@t", u"OCI8"}));
    EXPECT_EQ(parse({u"LOGON=u@s/x"}), (V{u"u", u"", u"s/x", u"OCI8"}));
    EXPECT_EQ(parse({u"LOGON=u/p@s:OCI7"}), (V{u"u", u"p", u"s", u"OCI7"}));
    EXPECT_EQ(parse({u"LOGON=u/p@a:OCI7b:OCI7"}), (V{u"u", u"p", u"a:OCI7b:OCI7", u"OCI8"}));
    EXPECT_EQ(parse({u"-FONT=x", u"LOGON=u/p@s", u"file.tvx"}), (V{u"u", u"p", u"s", u"OCI8"}));

    // Quoted by hand: a protected quote and a pair of backslashes; an unterminated quote runs to the end.
    EXPECT_EQ(std::u16string(GetLogonArgument(u"\"a b/c\\\"d\\\\e@x\" next")), u"a b/c\"d\\e@x");
    EXPECT_EQ(std::u16string(GetLogonArgument(u"\"u/p@never closed")), u"u/p@never closed");
    EXPECT_EQ(std::u16string(GetLogonArgument(u"u/p@s rest")), u"u/p@s");
    EXPECT_EQ(std::u16string(UnescapeLogonArgument(u"a\\\\\\\"b")), u"a\\\"b");
    LogonArgument none;
    EXPECT_FALSE(ParseLogonArgument(u"tavrelix other", &none));
}

TEST_F(StartupTest, LogonOnTheCommandLineConnectsWithoutADialog) {
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
    EXPECT_EQ(g_connected, 1);
    EXPECT_NE(g_session, nullptr);
    EXPECT_EQ(g_use_oci7_api, 0);
    EXPECT_EQ(g_cur_connect_mode, 1);
    EXPECT_EQ(std::u16string(g_session_title), u"DEMO@DEMO");
    EXPECT_EQ(Title().rfind(u"DEMO@DEMO - ", 0), 0u) << WideToUtf8(Title().c_str());
    EXPECT_EQ(Pane(ID_INDICATOR_SESSION), u"DEMO@DEMO");
    // The token was not taken for a file to open.
    EXPECT_EQ(std::u16string(Frame()->GetActiveDocument()->GetPathName()), u"");
    EXPECT_TRUE(tvtest::Boxes().empty());
}

TEST_F(StartupTest, TheOracleSevenSuffixShowsInTheTitleAndPane) {
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO:OCI7"}));
    EXPECT_EQ(g_use_oci7_api, 1);
    EXPECT_EQ(g_session->oci7, 1);
    EXPECT_EQ(Pane(ID_INDICATOR_SESSION), u"DEMO@DEMO OCI7");
}

TEST_F(StartupTest, AMatchingSavedConnectionPutsItsNotesInTheTitle) {
    PutInt(u"CONNECT_INFO", u"COUNT", 1);
    PutInt(u"CONNECT_INFO", u"ENCODE_VER", 2);
    PutStr(u"CONNECT_INFO", u"USER-0", u"DEMO");
    PutStr(u"CONNECT_INFO", u"TNS-0", u"DEMO");
    PutStr(u"CONNECT_INFO", u"NOTES-0", u"notes");
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
    EXPECT_EQ(Title().rfind(u"notes(DEMO@DEMO) - ", 0), 0u) << WideToUtf8(Title().c_str());
}

// The start-up thread used to be left running when the dialog was
// cancelled: the program's end raced the interpreter and the keywords.
TEST_F(StartupTest, CancelOfTheDialogEndsOnlyAfterTheStartupThreadWasJoined) {
    std::atomic<bool> release{false}, finished{false};
    apphooks::startupThreadBegins = [&] {
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        finished = true;
    };
    bool seen = false;
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        seen = true;
        EXPECT_FALSE(finished.load());
        release = true;
        tvtest::ClickControl(dlg, IDCANCEL);
        return true;
    });
    EXPECT_FALSE(Start());
    EXPECT_TRUE(seen);
    EXPECT_TRUE(finished.load());
    EXPECT_EQ(g_connected, 0);
    apphooks::startupThreadBegins = nullptr;
}

TEST_F(StartupTest, WithoutAClientLibraryThereIsNoDialogAndNoSession) {
    fs::remove(bin / "liboci.so");
    tvtest::AnswerBox(IDOK);
    ASSERT_TRUE(Start());
    EXPECT_EQ(g_oci_module, nullptr);
    EXPECT_EQ(g_connected, 0);
    ASSERT_EQ(tvtest::Boxes().size(), 1u);
    EXPECT_EQ(Pane(ID_INDICATOR_SESSION), u"");
}

TEST_F(StartupTest, PreloadCreatesTheEnvironmentAndEnds) {
    EXPECT_FALSE(Start({u"LOGON=DEMO/xPRELOADx@DEMO"}));
    EXPECT_EQ(theApp.m_pMainWnd, nullptr);
    EXPECT_EQ(g_oci_env_ready, 1);
    EXPECT_EQ(g_session, nullptr);
}

TEST_F(StartupTest, UnicodeSessionsNeedAClientOfNinePointTwo) {
    fs::remove(bin / "liboci.so");
    fs::create_symlink(fs::path(ORACLE_VARIANT_DIR) / "v9" / "liboci.so", bin / "liboci.so");
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
    EXPECT_EQ(Env("NLS_LANG"), u"<unset>");
    EXPECT_EQ(Env("NLS_NCHAR"), u"<unset>");
    EXPECT_EQ(g_oci_code_page, 0);
}

TEST_F(StartupTest, UnicodeSessionsOnAnElevenClient) {
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
    EXPECT_EQ(Env("NLS_LANG"), u"JAPANESE_JAPAN.AL32UTF8");
    EXPECT_EQ(Env("NLS_NCHAR"), u"AL32UTF8");
    EXPECT_EQ(g_oci_code_page, 65001);
}

TEST_F(StartupTest, TheClientPathSettingLoadsThatClient) {
    fs::remove(bin / "liboci.so");
    PutStr(u"APPLICATION", u"OCI_PATH_64", Wide(fs::path(ORACLE_VARIANT_DIR) / "v9").c_str());
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
    EXPECT_NE(g_oci_module, nullptr);
    EXPECT_LT(oci_get_dll_version(nullptr), 9.2);
    EXPECT_EQ(g_connected, 1);
}

TEST_F(StartupTest, AMissingClientPathIsIgnored) {
    PutStr(u"APPLICATION", u"OCI_PATH_64", Wide((root / "no-such-dir").string()).c_str());
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
    EXPECT_EQ(g_connected, 1);
    EXPECT_GE(oci_get_dll_version(nullptr), 11.0);
}

TEST_F(StartupTest, AFailedThreadCreationEndsTheStart) {
    win32test::FailThreadStarts(1);
    tvtest::AnswerBox(IDOK);
    EXPECT_FALSE(Start({u"LOGON=DEMO/demo@DEMO"}));
    win32test::FailThreadStarts(0);
    ASSERT_EQ(tvtest::Boxes().size(), 1u);
    EXPECT_EQ(tvtest::Boxes()[0].text, u"スレッド作成エラー");
}

TEST_F(StartupTest, ExitWritesTheCalculationTypeAndTheDataLock) {
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
    AppSettings.GRID_CALC_TYPE = 3;
    AppSettings.DATA_LOCK = 1;
    Exit();
    EXPECT_EQ(GetInt(u"APPLICATION", u"GRID_CALC_TYPE"), 3);
    EXPECT_EQ(GetInt(u"SESSION", u"DATA_LOCK"), 1);
    EXPECT_EQ(g_oci_module, nullptr);
    EXPECT_EQ(g_connected, 0);
}

TEST_F(StartupTest, TheStatusBarHasSixPanesOrSevenWithTheEndPane) {
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
    EXPECT_EQ(Frame()->m_wndStatusBar.GetCount(), 6);
    EXPECT_EQ(Frame()->m_wndStatusBar.CommandToIndex(ID_INDICATOR_END), -1);
    UINT id = 0, style = 0;
    int width = 0;
    Frame()->m_wndStatusBar.GetPaneInfo(2, id, style, width);
    EXPECT_EQ(id, static_cast<UINT>(ID_INDICATOR_SESSION));
    EXPECT_EQ(width, 150);
    Frame()->m_wndStatusBar.GetPaneInfo(1, id, style, width);
    EXPECT_EQ(width, 120);
    ASSERT_TRUE(Frame()->SetStatusIndicators(TRUE));
    EXPECT_EQ(Frame()->m_wndStatusBar.GetCount(), 7);
    EXPECT_EQ(Frame()->m_wndStatusBar.CommandToIndex(ID_INDICATOR_END), 6);
}

TEST_F(StartupTest, TheEndKeySettingGivesTheSeventhPaneAtStart) {
    PutInt(u"GRID", u"END_KEY_LIKE_EXCEL", 1);
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
    EXPECT_EQ(Frame()->m_wndStatusBar.GetCount(), 7);
}

} // namespace
} // namespace apptest
