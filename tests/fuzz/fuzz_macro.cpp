// Macro text as the clipboard command hands it to the macro host: any text
// runs through macro_run_string with the host primitives registered and no
// main window (the window and grid primitives answer false), the key
// primitives taking any key name, under the interpreter's budget (the cancel
// key reads as held after a fixed number of polls). The host answers a
// plain macro afterwards, its output box holding exactly that output.
#include <windows.h>

#include "fuzz.h"
#include "fuzz_scheme.h"
#include "scheme/host/macrohost.h"
#include "scheme/macro.h"

namespace {

std::u16string g_lastBox;

int record_box(HWND, LPCWSTR text, LPCWSTR, UINT) {
    g_lastBox = text ? text : u"";
    return IDOK;
}

void install_hooks() {
    static bool done = false;
    if (done) return;
    done = true;
    Win32HostHooks hooks = Win32GetHostHooks();
    hooks.messageBox = record_box;
    hooks.asyncKeyState = fuzz_scheme::key_state;
    Win32SetHostHooks(hooks);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 20000) return 0;
    install_hooks();
    // A host of its own for each input, destroyed after it.
    fuzz_scheme::set_budget(1000000, false);
    fuzz_check(macro_init(), "macro_init");
    fuzz_check(g_macro != nullptr, "interpreter");
    g_macro->payloadCap = fuzz_scheme::kPayloadCap;
    std::u16string text = fuzz_scheme::text_of(data, size);
    fuzz_scheme::set_budget(fuzz_scheme::kPolls);
    macro_run_string(text.c_str());
    // The host is back at rest and the interpreter answers.
    MacroHost* h = macro_host(g_macro);
    fuzz_check(!h->running && !h->undoGroup && !h->statusSet, "host state after a run");
    fuzz_scheme::set_budget(1000000, false);
    g_macro->cancelKey = VK_CANCEL;
    g_macro->cancelModifiers = 0;
    SchemeCell* one = sch_safe_load_string(g_macro, u"1");
    fuzz_check(one && sch_type(one) == SCH_INTEGER && one->a.ival == 1, "the interpreter after the input");
    g_lastBox.clear();
    macro_shutdown();
    fuzz_check(g_macro == nullptr, "shut down");
    return 0;
}

std::string fuzz_generate(std::mt19937_64& rng) {
    static const char* const pieces[] = {"(app-msg-box ",
                                         "(app-status-bar-msg ",
                                         "(app-set-key \"Ctrl+",
                                         "(app-set-key \"Alt+Shift+F5\" (lambda () 1) \"d\")",
                                         "(app-set-cancel-key \"",
                                         "(app-get-all-keys)",
                                         "(app-set-event-handler \"on-connected\" (lambda () (display 1)))",
                                         "(app-set-event-handler \"",
                                         "(app-input-box \"t\" \"x\")",
                                         "(rgb 1 2 ",
                                         "(grid-get-cell-string ",
                                         "(grid-set-cell-string 0 0 \"x\")",
                                         "(grid-set-select-area -1 0 ",
                                         "(grid-replace-string \"a+\" \"b\")",
                                         "(grid-get-selected-area)",
                                         "(app-set-topleft-cell-color ",
                                         "(app-get-session-info)",
                                         "(app-get-tool-dir)",
                                         "(display ",
                                         "(car 1)",
                                         "(let loop () (loop))",
                                         "\"",
                                         "あ",
                                         "4294967296",
                                         "-1",
                                         ")",
                                         "(",
                                         " "};
    std::string s;
    size_t n = rng() % 16;
    for (size_t i = 0; i < n; i++) s += pieces[rng() % (sizeof(pieces) / sizeof(pieces[0]))];
    return s;
}
const uint64_t fuzz_default_count = 300;
