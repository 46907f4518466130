// Keys bound by scripts in the running program: a bound key-down runs its
// procedure as one macro ahead of the accelerators, a key pressed inside a
// running macro's input box reaches the box, the key names that bind
// nothing, the listing of the bindings, the input box, and the cancel key a
// script chooses.
#include "macro_fixture.h"

namespace {

using namespace apptest;

constexpr int kF5 = qtplatform::Key_F1 + 4;
constexpr int kF6 = qtplatform::Key_F1 + 5;
constexpr unsigned kShift = 1, kCtrl = 2;

// Sets the cursor cell and the one below to "鍵", then shows where it was.
const char kBindF5[] = "(app-set-key \"Ctrl+Shift+F5\"\n"
                       "  (lambda ()\n"
                       "    (grid-set-cell-string (grid-get-cur-row) (grid-get-cur-col) \"鍵\")\n"
                       "    (grid-set-cell-string (+ (grid-get-cur-row) 1) (grid-get-cur-col) \"鍵\")\n"
                       "    (app-msg-box (grid-get-table-name) (grid-get-cur-row)))\n"
                       "  \"two keys\")\n";

class MacroKeysTest : public MacroTest {
public:
    HWND Grid() { return view->m_grid.GetSafeHwnd(); }
    void Press(HWND target, int key, unsigned mods, const std::u16string& text = u"") {
        tvtest::Key(target, key, mods, text);
        tvtest::Pump();
    }
    void Undo() {
        view->m_grid.Undo();
        tvtest::Pump();
    }
    int Protected(SchemeCell* proc) {
        int n = 0;
        for (SchemeCell* p = g_macro->protectList; sch_type(p) == SCH_PAIR; p = p->b.cdr)
            n += p->a.car == proc;
        return n;
    }
};

TEST_F(MacroKeysTest, ABoundKeyRunsItsMacroInOneUndoGroupAheadOfTheAccelerators) {
    Library16("tavrelix.scm", kBindF5);
    StartLoggedOn();
    Load(u"社員");
    Run("(grid-set-row-col 3 1)");
    const std::string three = Cell(3, 1), four = Cell(4, 1);

    // The same key as an accelerator, and one the accelerators alone have.
    ACCEL accels[] = {{FVIRTKEY | FNOINVERT | FCONTROL | FSHIFT, (VK_F1 + 4), ID_TOOL_RUN_MACRO_CLIPBOARD},
                      {FVIRTKEY | FNOINVERT | FCONTROL | FSHIFT, (VK_F1 + 5), ID_TOOL_RUN_MACRO_CLIPBOARD}};
    HACCEL table = CreateAcceleratorTableW(accels, 2);
    ASSERT_NE(table, nullptr);
    HACCEL saved = frame->m_hAccelTable;
    frame->m_hAccelTable = table;
    std::u16string clip = u"(display \"accelerator\")";
    const auto* p = reinterpret_cast<const uint8_t*>(clip.c_str());
    tvtest::SetClipboard({{CF_UNICODETEXT, std::vector<uint8_t>(p, p + (clip.size() + 1) * 2)}});

    tvtest::ClearBoxes();
    tvtest::AnswerBox(IDOK);
    Press(Grid(), kF5, kCtrl | kShift);
    ASSERT_EQ(tvtest::Boxes().size(), 1u) << BoxTexts();
    EXPECT_EQ(tvtest::Boxes()[0].caption, u"scheme");
    EXPECT_EQ(Narrow(tvtest::Boxes()[0].text.c_str()), "社員 3");
    EXPECT_EQ(Cell(3, 1), "鍵");
    EXPECT_EQ(Cell(4, 1), "鍵");
    EXPECT_EQ(Counts(), " Insert:0, Update:2, Delete:0 ");
    EXPECT_EQ(Pane(), "");
    // Both edits undo as one step.
    Undo();
    EXPECT_EQ(Cell(3, 1), three);
    EXPECT_EQ(Cell(4, 1), four);
    // Without Shift the key is not the bound one.
    tvtest::ClearBoxes();
    Press(Grid(), kF5, kCtrl);
    EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();
    EXPECT_EQ(Cell(3, 1), three);
    // The accelerators still see the keys no script bound.
    tvtest::AnswerBox(IDOK);
    Press(Grid(), kF6, kCtrl | kShift);
    EXPECT_EQ(Texts(u"scheme output"), std::vector<std::string>{"accelerator"}) << BoxTexts();

    frame->m_hAccelTable = saved;
    DestroyAcceleratorTable(table);
}

TEST_F(MacroKeysTest, AKeyPressedInARunsInputBoxReachesTheBoxAndStartsNoRun) {
    Library16("tavrelix.scm",
              std::string(kBindF5) + "(app-set-key \"A\" (lambda () (display \"bound A\")))\n");
    StartLoggedOn();
    Load(u"社員");
    Run("(grid-set-row-col 3 1)");
    const std::string three = Cell(3, 1);

    HWND owner = nullptr;
    std::string shown;
    tvtest::ExpectDialog(u"題名", [&](HWND dlg) {
        owner = ::GetParent(dlg);
        HWND edit = tvtest::Control(dlg, 1010);
        shown = Narrow(tvtest::TextOf(edit).c_str());
        Press(edit, kF5, kCtrl | kShift);
        Press(edit, 'A', 0, u"a");
        tvtest::ClickControl(dlg, IDOK);
        return true;
    });
    tvtest::AnswerBox(IDOK);
    RunClipboard("(display \"1\") (display (app-input-box \"題名\" \"初期\")) (display \"2\")");
    EXPECT_EQ(owner, frame->GetSafeHwnd());
    EXPECT_EQ(shown, "初期");
    // The first run's box holds all its output; neither key ran its procedure.
    EXPECT_EQ(Texts(u"scheme output"), std::vector<std::string>{"1a2"}) << BoxTexts();
    EXPECT_TRUE(Texts(u"scheme").empty()) << BoxTexts();
    EXPECT_EQ(Cell(3, 1), three);
    EXPECT_EQ(Counts(), " Insert:0, Update:0, Delete:0 ");

    // CANCEL gives #f; the title and text are optional.
    tvtest::ClearBoxes();
    tvtest::ExpectDialog(u"", [](HWND dlg) {
        tvtest::ClickControl(dlg, IDCANCEL);
        return true;
    });
    tvtest::AnswerBox(IDOK);
    RunClipboard("(write (app-input-box))");
    EXPECT_EQ(Texts(u"scheme output"), std::vector<std::string>{"#f"}) << BoxTexts();

    // After the run the key runs its procedure again.
    tvtest::ClearBoxes();
    tvtest::AnswerBox(IDOK);
    Press(Grid(), kF5, kCtrl | kShift);
    EXPECT_EQ(Texts(u"scheme"), std::vector<std::string>{"社員 3"}) << BoxTexts();
    EXPECT_EQ(Cell(3, 1), "鍵");
}

TEST_F(MacroKeysTest, LibraryScriptsGetNoInputBox) {
    // The library loads on the start-up thread, which makes no window: a
    // dialog shown there would fail this case as unexpected.
    Library("tavrelix.scm", "(define got (app-input-box \"t\" \"u\"))\n");
    StartLoggedOn();
    EXPECT_EQ(Eval("got"), "#f");
}

TEST_F(MacroKeysTest, KeyNamesBindingsAndTheirListing) {
    RealLibrary();
    StartLoggedOn();
    // A name without a key binds nothing and says so.
    EXPECT_EQ(Eval("(app-set-key \"Ctrl+\" (lambda () 1))"), "#f");
    EXPECT_EQ(Eval("(app-set-key \"Ctrl+あ\" (lambda () 1))"), "#f");
    EXPECT_EQ(Eval("(app-get-all-keys)"), "()");
    EXPECT_EQ(macro_key_binding(macro_key_code(FVIRTKEY | FNOINVERT | FCONTROL, 0)), nullptr);

    // A key bound twice keeps the second procedure, the first leaves the
    // protect list.
    Run("(define (one) 1) (define (two) 2) (app-set-key \"Alt+F6\" one \"first\")");
    const uint32_t code = macro_key_code(FVIRTKEY | FNOINVERT | FALT, (VK_F1 + 5));
    SchemeCell* first = macro_key_binding(code);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Protected(first), 1);
    EXPECT_EQ(Eval("(app-set-key \"Alt+F6\" two)"), "#t");
    SchemeCell* second = macro_key_binding(code);
    EXPECT_NE(second, first);
    EXPECT_EQ(Protected(first), 0);
    EXPECT_EQ(Protected(second), 1);

    // (key-name procedure description), the name as the script gave it.
    EXPECT_EQ(Eval("(app-set-key \"Ctrl+Shift+F5\" one \"the first\")"), "#t");
    std::string all = Eval("(map (lambda (e) (list (car e) (eq? (cadr e) (if (equal? (car e) \"Alt+F6\") two "
                           "one)) (caddr e))) (app-get-all-keys))");
    EXPECT_TRUE(all == "((\"Alt+F6\" #t \"\") (\"Ctrl+Shift+F5\" #t \"the first\"))" ||
                all == "((\"Ctrl+Shift+F5\" #t \"the first\") (\"Alt+F6\" #t \"\"))")
        << all;
    // A character the layout types with Shift binds that key with Shift.
    EXPECT_EQ(Eval("(app-set-key \"!\" one)"), "#t");
    EXPECT_NE(macro_key_binding(macro_key_code(FVIRTKEY | FNOINVERT | FSHIFT, '1')), nullptr);
}

TEST_F(MacroKeysTest, TheCancelKeyAScriptChoosesStopsARunawayLoopWithoutLosingItsEdits) {
    StartLoggedOn();
    Load(u"社員");
    const std::string a = Cell(0, 1), b = Cell(1, 1);
    // A name without a key keeps the cancel key.
    EXPECT_EQ(Eval("(app-set-cancel-key \"Ctrl+\")"), "#f");
    EXPECT_EQ(Eval("(app-set-cancel-key \"Ctrl+あ\")"), "#f");
    EXPECT_EQ(g_macro->cancelKey, VK_CANCEL);
    EXPECT_EQ(Eval("(app-set-cancel-key \"Ctrl+Q\")"), "#t");
    EXPECT_EQ(g_macro->cancelKey, 'Q');
    EXPECT_EQ(g_macro->cancelModifiers & (FALT | FCONTROL | FSHIFT), FCONTROL);

    // Neither the old key nor Q alone stops a run now.
    const char counted[] = "(let loop ((i 0)) (if (< i 5000) (loop (+ i 1)))) (display \"done\")";
    tvtest::SetKeyState(VK_CANCEL, true);
    tvtest::SetKeyState('Q', true);
    tvtest::AnswerBox(IDOK);
    RunClipboard(counted);
    EXPECT_EQ(Texts(u"scheme output"), std::vector<std::string>{"done"}) << BoxTexts();
    tvtest::SetKeyState(VK_CANCEL, false);

    // Ctrl+Q does; the edits made before stay, as one undo step.
    tvtest::ClearBoxes();
    tvtest::SetKeyState(VK_CONTROL, true);
    RunClipboard("(grid-set-cell-string 0 1 \"一\") (grid-set-cell-string 1 1 \"二\") (let loop () (loop))");
    tvtest::SetKeyState(VK_CONTROL, false);
    tvtest::SetKeyState('Q', false);
    EXPECT_EQ(Pane(), "キャンセルしました");
    EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();
    EXPECT_EQ(Cell(0, 1), "一");
    EXPECT_EQ(Cell(1, 1), "二");
    EXPECT_EQ(Counts(), " Insert:0, Update:2, Delete:0 ");
    Undo();
    EXPECT_EQ(Cell(0, 1), a);
    EXPECT_EQ(Cell(1, 1), b);
    // The next macro runs normally.
    tvtest::AnswerBox(IDOK);
    RunClipboard(counted);
    EXPECT_EQ(Texts(u"scheme output"), std::vector<std::string>{"done"}) << BoxTexts();
}

} // namespace
