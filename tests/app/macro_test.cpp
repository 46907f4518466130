// The macro host in the running program: the library scripts at start-up,
// runs from the clipboard and from a file with their boxes and status text,
// the application primitives, and the cancel key.
#include "macro_fixture.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace apptest;

std::string ToolDir() {
    return Narrow(util_get_tool_dir());
}

TEST_F(MacroTest, WithoutLibraryScriptsOnlyTheBuiltInsAndTheLoadPathExist) {
    StartLoggedOn();
    ASSERT_NE(g_macro, nullptr);
    EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();
    tvtest::AnswerBox(IDOK);
    RunClipboard("(display *load-path*) (display (symbol-bound? 'list))");
    ASSERT_EQ(Texts(u"scheme output").size(), 1u) << BoxTexts();
    EXPECT_EQ(Texts(u"scheme output")[0], "(" + ToolDir() + "\\scmlib)#f");
    // The tool directory ends with a separator.
    tvtest::ClearBoxes();
    tvtest::AnswerBox(IDOK);
    RunClipboard("(display (app-get-tool-dir))");
    ASSERT_EQ(Texts(u"scheme output").size(), 1u) << BoxTexts();
    EXPECT_EQ(Texts(u"scheme output")[0], ToolDir());
    EXPECT_EQ(ToolDir().back(), '/');
}

TEST_F(MacroTest, TheUserScriptSeesTheLibraryAndEachErrorIsOneBox) {
    Library("init.scm", "(define from-init 7)\n(car 1)\n");
    Library("tavrelix.scm", "(define from-user (+ from-init 1))\n(undefined-thing)\n");
    tvtest::AnswerBox(IDOK);
    tvtest::AnswerBox(IDOK);
    StartLoggedOn();
    ASSERT_NE(g_macro, nullptr);
    std::vector<std::string> errors = Texts(u"scheme error");
    ASSERT_EQ(errors.size(), 2u) << BoxTexts();
    EXPECT_NE(errors[0].find("Error:"), std::string::npos) << errors[0];
    EXPECT_NE(errors[0].find("car"), std::string::npos) << errors[0];
    EXPECT_EQ(errors[1].find("car"), std::string::npos) << errors[1];
    EXPECT_NE(errors[1].find("undefined-thing"), std::string::npos) << errors[1];
    tvtest::ClearBoxes();
    tvtest::AnswerBox(IDOK);
    RunClipboard("(display from-user)");
    EXPECT_EQ(Texts(u"scheme output"), std::vector<std::string>{"8"}) << BoxTexts();
}

TEST_F(MacroTest, AFatalErrorInTheLibraryLeavesTheProgramWithoutScripts) {
    macro_test_created = [](SchemeInterpreter* sc) { sc->payloadCap = sc->payloadBytes + 200000; };
    Library("init.scm", "(define v (make-vector 1000000 0))\n");
    tvtest::AnswerBox(IDOK);
    tvtest::AnswerBox(IDOK);
    StartLoggedOn();
    EXPECT_EQ(g_macro, nullptr);
    std::vector<std::string> failed = Texts(u"Error");
    ASSERT_EQ(failed.size(), 1u) << BoxTexts();
    EXPECT_EQ(BoxesCaptioned(u"scheme fatal error").size(), 1u) << BoxTexts();
    EXPECT_EQ(failed[0], "マクロの初期化に失敗しました。");
    // The program runs; both macro commands do nothing.
    tvtest::ClearBoxes();
    RunClipboard("(display 1)");
    frame->SendMessage(WM_COMMAND, ID_TOOL_RUN_MACRO_FILE);
    tvtest::Pump();
    EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();
    EXPECT_TRUE(tvtest::FileRequests().empty());
}

TEST_F(MacroTest, BoxesAndTheStatusTextOfARun) {
    StartLoggedOn();
    // The message box: the arguments' display form without the parentheses.
    tvtest::AnswerBox(IDOK);
    RunClipboard("(app-msg-box \"a\" 1)");
    ASSERT_EQ(tvtest::Boxes().size(), 1u) << BoxTexts();
    EXPECT_EQ(tvtest::Boxes()[0].caption, u"scheme");
    EXPECT_EQ(Narrow(tvtest::Boxes()[0].text.c_str()), "a 1");
    EXPECT_EQ(tvtest::Boxes()[0].owner, frame->GetSafeHwnd());
    // Everything printed in one output box; nothing printed, no box.
    tvtest::ClearBoxes();
    tvtest::AnswerBox(IDOK);
    RunClipboard("(display \"こんにちは\") (newline) (write \"x\") (display 2)");
    ASSERT_EQ(tvtest::Boxes().size(), 1u) << BoxTexts();
    EXPECT_EQ(tvtest::Boxes()[0].caption, u"scheme output");
    EXPECT_EQ(Narrow(tvtest::Boxes()[0].text.c_str()), "こんにちは\n\"x\"2");
    tvtest::ClearBoxes();
    RunClipboard("(define z 1)");
    EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();
    // An error: the error box only, with all the error text.
    tvtest::AnswerBox(IDOK);
    RunClipboard("(display \"lost\") (car 1)");
    ASSERT_EQ(tvtest::Boxes().size(), 1u) << BoxTexts();
    EXPECT_EQ(tvtest::Boxes()[0].caption, u"scheme error");
    EXPECT_NE(Narrow(tvtest::Boxes()[0].text.c_str()).find("Error:"), std::string::npos);
    tvtest::ClearBoxes();
    tvtest::AnswerBox(IDOK);
    RunClipboard("(app-set-event-handler \"on-foo\" (lambda () 1))");
    ASSERT_EQ(Texts(u"scheme error").size(), 1u) << BoxTexts();
    EXPECT_NE(Texts(u"scheme error")[0].find("on-foo is invalid event name"), std::string::npos);
    // The status text: kept when the run set it, else cleared.
    RunClipboard("(app-status-bar-msg \"done\" 3)");
    EXPECT_EQ(Pane(), "done 3");
    RunClipboard("(define q 2)");
    EXPECT_EQ(Pane(), "");
    // "マクロ実行中..." is in the pane while the run goes on.
    std::string during;
    tvtest::AnswerBoxWith([&](const tvtest::Box&) -> std::optional<int> {
        during = Pane();
        return IDOK;
    });
    RunClipboard("(app-msg-box 1)");
    EXPECT_EQ(during, "マクロ実行中...");
    EXPECT_EQ(Pane(), "");
}

TEST_F(MacroTest, SessionInfoColoursAndCommandLine) {
    StartLoggedOn();
    tvtest::AnswerBox(IDOK);
    RunClipboard("(write (app-get-session-info)) (display \" \") (display (rgb 255 0 256)) (display \" \") "
                 "(display (rgb 1 2 3))");
    EXPECT_EQ(Texts(u"scheme output"), std::vector<std::string>{"\"DEMO@DEMO\" 255 197121"}) << BoxTexts();
    tvtest::ClearBoxes();
    tvtest::AnswerBox(IDOK);
    RunClipboard("(display (app-get-command-line-option))");
    ASSERT_EQ(Texts(u"scheme output").size(), 1u) << BoxTexts();
    EXPECT_NE(Texts(u"scheme output")[0].find("LOGON=DEMO/demo@DEMO"), std::string::npos);
    // Not connected: the empty string.
    tvtest::ClearBoxes();
    g_connected = 0;
    tvtest::AnswerBox(IDOK);
    RunClipboard("(write (app-get-session-info))");
    g_connected = 1;
    EXPECT_EQ(Texts(u"scheme output"), std::vector<std::string>{"\"\""}) << BoxTexts();
}

TEST_F(MacroTest, AnEmptyClipboardRunsNothing) {
    StartLoggedOn();
    tvtest::SetClipboard({});
    frame->SendMessage(WM_COMMAND, ID_TOOL_RUN_MACRO_CLIPBOARD);
    tvtest::Pump();
    EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();
    EXPECT_EQ(Pane(), "");
    // A block without a terminating NUL is read to its end.
    std::u16string t = u"(display 5)";
    std::vector<uint8_t> bytes(t.size() * 2);
    std::memcpy(bytes.data(), t.data(), bytes.size());
    tvtest::SetClipboard({{CF_UNICODETEXT, bytes}});
    tvtest::AnswerBox(IDOK);
    frame->SendMessage(WM_COMMAND, ID_TOOL_RUN_MACRO_CLIPBOARD);
    tvtest::Pump();
    EXPECT_EQ(Texts(u"scheme output"), std::vector<std::string>{"5"}) << BoxTexts();
}

TEST_F(MacroTest, TheCancelKeyStopsARunawayLoop) {
    StartLoggedOn();
    tvtest::SetKeyState(VK_CANCEL, true);
    RunClipboard("(let loop () (loop))");
    tvtest::SetKeyState(VK_CANCEL, false);
    EXPECT_EQ(Pane(), "キャンセルしました");
    EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();
    // The next macro runs normally.
    tvtest::AnswerBox(IDOK);
    RunClipboard("(display 1)");
    EXPECT_EQ(Texts(u"scheme output"), std::vector<std::string>{"1"}) << BoxTexts();
    EXPECT_EQ(Pane(), "");
}

// A script holds the UI thread. The display still gets the windows' pictures
// from their buffers: a main window mapped again just before the run (as the
// window manager maps it), whose picture the display has not asked for yet,
// shows its content and "マクロ実行中..." while the script runs, instead of
// staying blank to its end.
struct ShownProbe {
    HWND bar = nullptr;
    std::chrono::steady_clock::time_point giveUp;
    bool same = false;
    std::string pane;
};
ShownProbe g_probe;

// True once the status bar on the display is the status bar as painted, or
// when a generous bound has passed.
SchemeCell* ShownAsPainted(SchemeInterpreter* sc, SchemeCell**, int) {
    const qtplatform::Image painted = qtplatform::Capture(g_probe.bar);
    const qtplatform::Image shown = qtplatform::Shown(g_probe.bar);
    g_probe.same = painted.width > 0 && shown.width == painted.width && shown.height == painted.height &&
                   shown.pixels == painted.pixels;
    auto* frame = dynamic_cast<CMainFrame*>(AfxGetMainWnd());
    g_probe.pane = frame ? Narrow(frame->m_wndStatusBar.GetPaneText(0)) : "";
    return g_probe.same || std::chrono::steady_clock::now() > g_probe.giveUp ? sc->T : sc->F;
}

TEST_F(MacroTest, TheWindowKeepsShowingItsPictureAndTheStatusTextWhileAScriptRuns) {
    StartLoggedOn();
    g_probe = ShownProbe{frame->m_wndStatusBar.m_hWnd, {}, false, ""};
    ASSERT_EQ(sch_register_host_function(g_macro, u"shown-as-painted?", ShownAsPainted, 0, 0, nullptr), 0);
    frame->SetMessageText(u"before");
    tvtest::Pump();
    ASSERT_EQ(qtplatform::Shown(g_probe.bar).pixels, qtplatform::Capture(g_probe.bar).pixels);
    const std::u16string script = u"(let loop () (if (shown-as-painted?) #t (loop)))";
    const auto* p = reinterpret_cast<const uint8_t*>(script.c_str());
    tvtest::SetClipboard({{CF_UNICODETEXT, std::vector<uint8_t>(p, p + (script.size() + 1) * 2)}});
    frame->ShowWindow(SW_HIDE);
    frame->ShowWindow(SW_SHOW);
    g_probe.giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    frame->SendMessage(WM_COMMAND, ID_TOOL_RUN_MACRO_CLIPBOARD);
    EXPECT_TRUE(g_probe.same);
    EXPECT_EQ(g_probe.pane, "マクロ実行中...");
    tvtest::Pump();
    EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();
}

} // namespace

namespace {

using namespace apptest;

std::atomic<bool> g_released{false};
std::atomic<bool> g_holding{false};

// Holds the start-up thread inside the library script until released.
SchemeCell* HoldHere(SchemeInterpreter* sc, SchemeCell**, int) {
    g_holding = true;
    while (!g_released) std::this_thread::yield();
    return sc->T;
}

// The start-up thread's boxes are answered in the login dialog's loop.
TEST_F(MacroTest, TheLibrarysBoxesShowWhileTheLoginDialogIsOpen) {
    Library("init.scm", "(car 1)\n");
    Library("tavrelix.scm", "(undefined-thing)\n");
    size_t seen = 0;
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        if (tvtest::Boxes().size() < 2) return false;
        seen = tvtest::Boxes().size();
        tvtest::ClickControl(dlg, IDCANCEL);
        return true;
    });
    tvtest::AnswerBox(IDOK);
    tvtest::AnswerBox(IDOK);
    EXPECT_FALSE(Start());
    EXPECT_EQ(seen, 2u);
    EXPECT_EQ(Texts(u"scheme error").size(), 2u) << BoxTexts();
    ASSERT_NE(g_macro, nullptr);
    Exit();
    EXPECT_EQ(g_macro, nullptr);
}

TEST_F(MacroTest, AFailedStartOfTheInterpreterIsShownWhileTheLoginDialogIsOpen) {
    macro_test_created = [](SchemeInterpreter* sc) { sc->payloadCap = sc->payloadBytes + 200000; };
    Library("init.scm", "(define v (make-vector 1000000 0))\n");
    bool shown = false;
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        if (BoxesCaptioned(u"Error").empty()) return false;
        shown = true;
        tvtest::ClickControl(dlg, IDCANCEL);
        return true;
    });
    tvtest::AnswerBox(IDOK);
    tvtest::AnswerBox(IDOK);
    EXPECT_FALSE(Start());
    EXPECT_TRUE(shown);
    EXPECT_EQ(Texts(u"Error"), std::vector<std::string>{"マクロの初期化に失敗しました。"}) << BoxTexts();
    EXPECT_EQ(g_macro, nullptr);
}

TEST_F(MacroTest, CancellingTheLoginWhileALibraryScriptRunsEndsCleanly) {
    g_released = false;
    g_holding = false;
    macro_test_created = [](SchemeInterpreter* sc) {
        sch_register_host_function(sc, u"test-hold", HoldHere, 0, 0, nullptr);
    };
    Library("init.scm", "(test-hold)\n(define loaded 1)\n");
    tvtest::ExpectDialog(IDD_LOGIN, [](HWND dlg) {
        if (!g_holding) return false;
        tvtest::ClickControl(dlg, IDCANCEL);
        g_released = true;
        return true;
    });
    EXPECT_FALSE(Start());
    // The thread was joined: the interpreter is whole and nothing else ran.
    ASSERT_NE(g_macro, nullptr);
    EXPECT_EQ(theApp.m_pMainWnd, nullptr);
    EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();
    Exit();
    EXPECT_EQ(g_macro, nullptr);
}

} // namespace
