// The session's life cycle: the describe rule by server version, the
// matching saved connection, the start-up SQL file, the change of
// connection and its hints, and the completion thread at a disconnect.
#include "app_fixture.h"

#include "app/connectinfo.h"
#include "app/mainfrm.h"
#include "oracle/oci_exec.h"
#include "res/resource.h"

namespace apptest {
namespace {

// A view that records the hints it is sent.
class HintView : public CView {
public:
    std::vector<int> hints;
    void OnUpdate(CView*, LPARAM hint, CObject*) override { hints.push_back(static_cast<int>(hint)); }
};

class LifecycleTest : public AppTest {
public:
    HintView* view = nullptr;
    CDocument* doc = nullptr;

    void SetUp() override {
        AppTest::SetUp();
        view = new HintView;
    }
    void TearDown() override {
        if (doc) doc->RemoveView(view);
        delete view;
        AppTest::TearDown();
    }
    void Watch() {
        doc = static_cast<CFrameWnd*>(theApp.m_pMainWnd)->GetActiveDocument();
        ASSERT_NE(doc, nullptr);
        doc->AddView(view);
    }
    // A new session in place of the current one, set up as after a logon.
    int Relogon(const char16_t* user = u"DEMO") {
        theApp.Disconnect();
        CString msg;
        EXPECT_EQ(oci_login2(&g_session, user, u"demo", u"DEMO", nullptr, 1, &msg, nullptr), ORARC_OK)
            << Narrow(msg);
        g_cur_user = user;
        g_cur_password = u"demo";
        g_cur_tns = u"DEMO";
        g_connected = 1;
        return theApp.ConnectSetup();
    }
    void SaveEntry(int i, const char16_t* user, int mode, int oci7, const char16_t* notes, int custom = 0,
                   COLORREF grid = 0xFFFFFF) {
        CString n;
        n.Format(u"%d", i);
        auto key = [&](const char16_t* name) { return CString(name) + u"-" + n; };
        PutStr(u"CONNECT_INFO", key(u"USER"), user);
        PutStr(u"CONNECT_INFO", key(u"TNS"), u"demo");
        PutInt(u"CONNECT_INFO", key(u"CONNECT_MODE"), mode);
        PutInt(u"CONNECT_INFO", key(u"USE_OCI7_API"), oci7);
        PutStr(u"CONNECT_INFO", key(u"NOTES"), notes);
        PutInt(u"CONNECT_INFO", key(u"CUSTOMIZE_OPTION"), custom);
        PutInt(u"CONNECT_INFO", key(u"OPT_GRID_BG_COLOR"), static_cast<int>(grid));
        PutInt(u"CONNECT_INFO", u"COUNT", i + 1);
        PutInt(u"CONNECT_INFO", u"ENCODE_VER", 2);
    }
    static int Count1010(const std::vector<int>& hints) {
        return static_cast<int>(std::count(hints.begin(), hints.end(), 1010));
    }
};

TEST_F(LifecycleTest, OldUnicodeServersArePreparedAgain) {
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
    ASSERT_EQ(g_oci_code_page, 65001);
    EXPECT_EQ(g_oci_reprepare, 0); // the stand-in's 11.2.0.4.0
    Control("rdbms_version 10.2.0.5.0");
    ASSERT_EQ(Relogon(), 0);
    EXPECT_EQ(g_oci_reprepare, 1);
    Control("rdbms_version absent");
    ASSERT_EQ(Relogon(), 0);
    EXPECT_EQ(g_oci_reprepare, 1);
    Control("rdbms_version 11.2.0.4.0");
    ASSERT_EQ(Relogon(), 0);
    EXPECT_EQ(g_oci_reprepare, 0);
    Control("rdbms_version 10.2.0.5.0");
    g_oci_code_page = 0;
    ASSERT_EQ(Relogon(), 0);
    EXPECT_EQ(g_oci_reprepare, 0);
}

TEST_F(LifecycleTest, ALowerCaseLoginMatchesItsSavedEntryAndTakesTheDatabasesName) {
    SaveEntry(0, u"DEMO", 1, 0, u"first", 1, 0x123456);
    SaveEntry(1, u"demo", 1, 0, u"second");
    ASSERT_TRUE(Start({u"LOGON=demo/demo@DEMO"}));
    EXPECT_EQ(std::u16string(g_session_title), u"demo@DEMO");
    EXPECT_EQ(std::u16string(g_cur_user), u"DEMO");
    EXPECT_EQ(std::u16string(g_cur_notes), u"first");
    EXPECT_EQ(g_custom_colors, 1);
    EXPECT_EQ(g_custom_grid_bg, 0x123456u);
    Watch();
    ASSERT_EQ(Relogon(u"demo"), 0);
    // The disconnect's hint, then the match's.
    EXPECT_EQ(Count1010(view->hints), 2);
}

TEST_F(LifecycleTest, AnotherModeOrCallSetDoesNotMatch) {
    SaveEntry(0, u"DEMO", 2, 0, u"sysdba");
    SaveEntry(1, u"DEMO", 1, 1, u"oci7");
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
    EXPECT_TRUE(g_cur_notes.IsEmpty());
    EXPECT_EQ(g_custom_colors, 0);
    Watch();
    ASSERT_EQ(Relogon(), 0);
    EXPECT_EQ(Count1010(view->hints), 1); // only the disconnect's
}

TEST_F(LifecycleTest, AFailingStartupStatementStopsTheFileAndNothingIsCommitted) {
    fs::path sql = root / "startup.sql";
    std::ofstream(sql) << "update 社員 set 氏名 = 'changed' where 社員番号 = 1001;\n"
                          "!echo skipped\n"
                          "@other.sql\n"
                          "desc 社員\n"
                          "insert into no_such_table values (1);\n"
                          "update 社員 set 氏名 = 'third' where 社員番号 = 1002;\n";
    PutStr(u"APPLICATION", u"STARTUP_SQL_FILE", Wide(sql.string()).c_str());
    tvtest::AnswerBox(IDOK);
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
    ASSERT_EQ(tvtest::Boxes().size(), 1u);
    EXPECT_EQ(tvtest::Boxes()[0].caption, u"Error");
    EXPECT_NE(tvtest::Boxes()[0].text.find(u"ORA-00942"), std::u16string::npos)
        << Narrow(tvtest::Boxes()[0].text.c_str());
    // The first update is in the session, not committed; the third never ran.
    char16_t name[100] = {};
    CString msg;
    ASSERT_EQ(
        oci_sel_value(g_session, u"select 氏名 from 社員 where 社員番号 = 1001", name, sizeof name, &msg, ""),
        ORARC_OK)
        << Narrow(msg);
    EXPECT_EQ(std::u16string(name), u"changed");
    OraSession* other = nullptr;
    ASSERT_EQ(oci_login2(&other, u"DEMO", u"demo", u"DEMO", nullptr, 1, &msg, nullptr), ORARC_OK);
    ASSERT_EQ(
        oci_sel_value(other, u"select 氏名 from 社員 where 社員番号 = 1001", name, sizeof name, &msg, ""),
        ORARC_OK);
    EXPECT_NE(std::u16string(name), u"changed");
    ASSERT_EQ(
        oci_sel_value(g_session, u"select 氏名 from 社員 where 社員番号 = 1002", name, sizeof name, &msg, ""),
        ORARC_OK);
    EXPECT_NE(std::u16string(name), u"third");
    oci_ora_logout(&other);
}

TEST_F(LifecycleTest, RemarksAndCommentsBeforeAStartupStatementStayInTheScript) {
    fs::path sql = root / "startup.sql";
    std::ofstream(sql) << "REM the start-up script\n"
                          "rem names before\n"
                          "update 社員 set 氏名 = 'first' where 社員番号 = 1001;\n"
                          "REM\n"
                          "-- a comment line\n"
                          "/* a block\n   comment */\n"
                          "Rem　全角の空白まで\n"
                          "update 社員 set 氏名 = 'second' where 社員番号 = 1002;\n";
    PutStr(u"APPLICATION", u"STARTUP_SQL_FILE", Wide(sql.string()).c_str());
    // No box: one would fail the test unanswered.
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
    EXPECT_TRUE(tvtest::Boxes().empty());
    // Both statements ran in the session.
    char16_t name[100] = {};
    CString msg;
    ASSERT_EQ(
        oci_sel_value(g_session, u"select 氏名 from 社員 where 社員番号 = 1001", name, sizeof name, &msg, ""),
        ORARC_OK)
        << Narrow(msg);
    EXPECT_EQ(std::u16string(name), u"first");
    ASSERT_EQ(
        oci_sel_value(g_session, u"select 氏名 from 社員 where 社員番号 = 1002", name, sizeof name, &msg, ""),
        ORARC_OK)
        << Narrow(msg);
    EXPECT_EQ(std::u16string(name), u"second");
}

TEST_F(LifecycleTest, AChangeOfConnectionSendsItsHintsAndCancelChangesNothing) {
    SaveEntry(0, u"DEMO", 1, 0, u"notes");
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
    Watch();
    OraSession* old = g_session;
    // Cancelled at the dialog: the session, title and Oracle 7 flag stay.
    g_use_oci7_api = 0;
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        ::SendMessageW(tvtest::Control(dlg, IDC_LOGIN_OCI7), BM_CLICK, 0, 0);
        tvtest::TypeInto(dlg, IDC_LOGIN_USER, u"DEMO");
        TypeIntoCombo(dlg, IDC_LOGIN_TNS, u"DEMO");
        tvtest::TypeInto(dlg, IDC_LOGIN_PASSWORD, u"wrong");
        tvtest::AnswerBox(IDOK);
        tvtest::ClickControl(dlg, IDOK);
        tvtest::ClickControl(dlg, IDCANCEL);
        return true;
    });
    theApp.OnCmdMsg(ID_FILE_CHANGE_CONNECTION, CN_COMMAND, nullptr, nullptr);
    tvtest::VerifyDialogs();
    EXPECT_EQ(g_session, old);
    EXPECT_EQ(g_use_oci7_api, 0);
    // Only the end of a cell edit, which comes before anything is asked.
    EXPECT_EQ(view->hints, std::vector<int>{1003});
    EXPECT_EQ(std::u16string(g_session_title), u"DEMO@DEMO");
    view->hints.clear();

    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        tvtest::TypeInto(dlg, IDC_LOGIN_USER, u"DEMO");
        TypeIntoCombo(dlg, IDC_LOGIN_TNS, u"DEMO");
        tvtest::TypeInto(dlg, IDC_LOGIN_PASSWORD, u"demo");
        tvtest::ClickControl(dlg, IDOK);
        return true;
    });
    theApp.OnCmdMsg(ID_FILE_CHANGE_CONNECTION, CN_COMMAND, nullptr, nullptr);
    // 1020 empties the document, whose new (empty) data comes as 1004 inside it.
    EXPECT_EQ(view->hints, (std::vector<int>{1003, 1010, 1010, 1004, 1020, 1021}));
    EXPECT_EQ(g_connected, 1);
    EXPECT_NE(g_session, nullptr);
}

TEST_F(LifecycleTest, TheFontCommandTellsEveryViewAndStoresTheFont) {
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
    Watch();
    tvtest::AnswerFont([](win32bk::FontDialogRequest& r) {
        r.face = u"ＭＳ ゴシック";
        r.pointTenths = 120;
        r.weight = 700;
        r.italic = true;
        return true;
    });
    theApp.OnCmdMsg(ID_VIEW_FONT, CN_COMMAND, nullptr, nullptr);
    EXPECT_EQ(view->hints, (std::vector<int>{1001}));
    EXPECT_EQ(GetStr(u"FONT_U", u"FACENAME"), u"ＭＳ ゴシック");
    EXPECT_EQ(GetInt(u"FONT_U", u"POINT"), 120);
    EXPECT_EQ(GetInt(u"FONT_U", u"WEIGHT"), 700);
    EXPECT_EQ(GetInt(u"FONT_U", u"ITALIC"), 1);
    LOGFONTW lf{};
    g_app_font.GetLogFont(&lf);
    EXPECT_EQ(std::u16string(lf.lfFaceName), u"ＭＳ ゴシック");
    // Cancelled: nothing changes.
    tvtest::AnswerFont([](win32bk::FontDialogRequest&) { return false; });
    theApp.OnCmdMsg(ID_VIEW_FONT, CN_COMMAND, nullptr, nullptr);
    EXPECT_EQ(view->hints.size(), 1u);
}

} // namespace
} // namespace apptest
