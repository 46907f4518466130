// The application's run: InitInstance and ExitInstance, idle processing,
// windows left at the end, the command line.
#include <afxwin.h>
#include <gtest/gtest.h>

#include "testing/driver.h"
#include "testing/framework.h"

namespace {

class RunFrame : public CFrameWnd {};

// A modeless window kept in a function-local static, as programs keep their
// modeless dialogs.
CWnd& Modeless() {
    static CWnd wnd;
    return wnd;
}

class RunApp : public CWinApp {
public:
    bool init = true;
    int exits = 0;
    std::vector<LONG> idle;
    int rounds = 0;
    BOOL InitInstance() override {
        if (!init) return FALSE;
        Modeless().CreateEx(0, nullptr, u"modeless", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                            nullptr);
        auto* frame = new RunFrame;
        frame->Create(nullptr, u"run");
        m_pMainWnd = frame;
        frame->ShowWindow(SW_SHOW);
        return TRUE;
    }
    int ExitInstance() override {
        ++exits;
        return CWinApp::ExitInstance() + 7;
    }
    BOOL OnIdle(LONG count) override {
        idle.push_back(count);
        CWinApp::OnIdle(count);
        if (count < 1) return TRUE;
        // After the first round a message restarts idle processing; after the second the frame closes.
        ++rounds;
        if (rounds == 1) m_pMainWnd->PostMessage(WM_APP + 1);
        if (rounds == 2) m_pMainWnd->PostMessage(WM_CLOSE);
        return FALSE;
    }
};

class RunTest : public ::testing::Test {
protected:
    void SetUp() override { tvtest::Init(); }
};

TEST_F(RunTest, FailedInitStillExitsAndWindowsLeftAreDestroyed) {
    {
        RunApp app;
        app.init = false;
        EXPECT_EQ(AfxWinMain(nullptr, nullptr, GetCommandLineW(), SW_SHOW), 7);
        EXPECT_EQ(app.exits, 1);
        EXPECT_TRUE(app.idle.empty());
    }
    {
        RunApp app;
        EXPECT_EQ(AfxWinMain(nullptr, nullptr, GetCommandLineW(), SW_SHOW), 7);
        EXPECT_EQ(app.exits, 1);
        // Idle from 0 while it returns TRUE, again after the next message.
        std::vector<LONG> expected = {0, 1, 0, 1};
        ASSERT_GE(app.idle.size(), 4u);
        EXPECT_EQ(std::vector<LONG>(app.idle.begin(), app.idle.begin() + 4), expected);
        EXPECT_EQ(app.m_pMainWnd, nullptr);
        // The static's window went before the display; its destructor at exit has nothing left to do.
        EXPECT_EQ(Modeless().m_hWnd, nullptr);
    }
}

TEST_F(RunTest, CommandLineRoundTripsAndNamedValuesKeepTheirNameOutside) {
    std::vector<std::u16string> args = {u"/opt/tavrelix/tavrelix", u"a b", u"x\"y", u"c\\",
                                        u"LOGON=a b/c\"d@x"};
    SetProcessArgumentsW(args);
    std::u16string line = GetCommandLineW();
    EXPECT_EQ(SplitCommandLine(line), args);
    EXPECT_EQ(line.substr(line.rfind(u' ', line.find(u"LOGON")) + 1), u"LOGON=\"a b/c\\\"d@x\"");
    EXPECT_EQ(QuoteCommandArgument(u"plain"), u"plain");
    EXPECT_EQ(QuoteCommandArgument(u""), u"\"\"");
    EXPECT_EQ(QuoteCommandArgument(u"a b\\"), u"\"a b\\\\\"");
    EXPECT_EQ(__argc, 5);
    EXPECT_EQ(std::u16string(__wargv[1]), u"a b");
}

class FlagInfo : public CCommandLineInfo {
public:
    std::vector<std::pair<std::u16string, BOOL>> seen;
    void ParseParam(LPCWSTR param, BOOL flag, BOOL last) override {
        seen.emplace_back(param, flag);
        CCommandLineInfo::ParseParam(param, flag, last);
    }
};

TEST_F(RunTest, OnlyADashStartsAFlagAndTheFirstOtherArgumentIsTheFile) {
    RunApp app;
    SetProcessArgumentsW({u"prog", u"-FONT=X", u"LOGON=u/p@s", u"second"});
    FlagInfo info;
    app.ParseCommandLine(info);
    ASSERT_EQ(info.seen.size(), 3u);
    EXPECT_EQ(info.seen[0], std::make_pair(std::u16string(u"FONT=X"), TRUE));
    EXPECT_EQ(info.seen[1].second, FALSE);
    EXPECT_EQ(info.m_nShellCommand, CCommandLineInfo::FileOpen);
    EXPECT_EQ(std::u16string(info.m_strFileName), u"LOGON=u/p@s");

    SetProcessArgumentsW({u"prog", u"/x"});
    CCommandLineInfo plain;
    app.ParseCommandLine(plain);
    EXPECT_EQ(plain.m_nShellCommand, CCommandLineInfo::FileOpen); // "/" starts no flag
    SetProcessArgumentsW({u"prog"});
    CCommandLineInfo none;
    app.ParseCommandLine(none);
    EXPECT_EQ(none.m_nShellCommand, CCommandLineInfo::FileNew);
    // Without a template there is nothing to make: FALSE.
    EXPECT_FALSE(app.ProcessShellCommand(none));
    EXPECT_TRUE(AfxOleInit());
}

} // namespace
