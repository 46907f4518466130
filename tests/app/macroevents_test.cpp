// The connect events: the handlers a library script sets run after the
// start-up logon, around a change of connection and at exit.
#include "macro_fixture.h"

namespace {

using namespace apptest;

const char kHandlers[] =
    "(app-set-event-handler \"on-connected\" (lambda () (app-status-bar-msg (app-get-session-info))))\n"
    "(app-set-event-handler \"on-disconnected\" (lambda () (display \"bye \") (display "
    "(app-get-session-info))))\n";

TEST_F(MacroTest, ConnectAndDisconnectHandlersRunAtEachChange) {
    Library("tavrelix.scm", kHandlers);
    StartLoggedOn();
    EXPECT_EQ(Pane(), "DEMO@DEMO");
    EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();

    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        tvtest::TypeInto(dlg, IDC_LOGIN_USER, u"SALES");
        TypeIntoCombo(dlg, IDC_LOGIN_TNS, u"DEMO");
        tvtest::TypeInto(dlg, IDC_LOGIN_PASSWORD, u"sales");
        tvtest::AnswerBox(IDOK);
        tvtest::ClickControl(dlg, IDOK);
        return true;
    });
    theApp.OnCmdMsg(ID_FILE_CHANGE_CONNECTION, CN_COMMAND, nullptr, nullptr);
    tvtest::Pump();
    // The old session's handler ran before the new one was set up.
    ASSERT_EQ(Texts(u"scheme output").size(), 1u) << BoxTexts();
    EXPECT_EQ(Texts(u"scheme output")[0], "bye ");
    EXPECT_EQ(Pane(), "SALES@DEMO");

    tvtest::ClearBoxes();
    tvtest::AnswerBox(IDOK);
    Exit();
    ASSERT_EQ(Texts(u"scheme output").size(), 1u) << BoxTexts();
    EXPECT_EQ(Texts(u"scheme output")[0], "bye ");
}

TEST_F(MacroTest, AnErrorInAHandlerIsShown) {
    Library("tavrelix.scm", "(app-set-event-handler \"on-connected\" (lambda () (car 1)))\n");
    tvtest::AnswerBox(IDOK);
    StartLoggedOn();
    ASSERT_EQ(Texts(u"scheme error").size(), 1u) << BoxTexts();
    EXPECT_NE(Texts(u"scheme error")[0].find("Error:"), std::string::npos);
}

TEST_F(MacroTest, ReplacingAHandlerUnlinksOnlyTheOldProcedure) {
    StartLoggedOn();
    RunClipboard("(define (a) 1) (define (b) 2) (app-set-event-handler \"on-connected\" a)");
    auto count = [&](SchemeCell* proc) {
        int n = 0;
        for (SchemeCell* p = g_macro->protectList; sch_type(p) == SCH_PAIR; p = p->b.cdr)
            n += p->a.car == proc;
        return n;
    };
    SchemeCell* a = macro_event_handler(u"on-connected");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(count(a), 1);
    RunClipboard("(app-set-event-handler \"on-connected\" b)");
    SchemeCell* b = macro_event_handler(u"on-connected");
    EXPECT_NE(a, b);
    EXPECT_EQ(count(a), 0);
    EXPECT_EQ(count(b), 1);
}

} // namespace

namespace {

using namespace apptest;

TEST_F(MacroTest, AConnectHandlerOfTheRealLibraryWritesAFile) {
    RealLibrary();
    fs::path out = root / "session.txt";
    Library("tavrelix.scm", "(app-set-event-handler \"on-connected\" (lambda () (call-with-output-file \"" +
                                out.string() +
                                "\" (lambda (port) (display (app-get-session-info) port)))))\n");
    StartLoggedOn();
    EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();
    // Output files are written in UTF-16 (little-endian).
    std::ifstream in(out, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::u16string text(bytes.size() / 2, u' ');
    std::memcpy(text.data(), bytes.data(), text.size() * 2);
    EXPECT_EQ(Narrow(text.c_str()), "DEMO@DEMO");
}

} // namespace
