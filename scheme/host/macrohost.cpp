// The macro host: creates the one interpreter with its load path, sinks and
// host primitives, loads the library scripts, runs macros inside one grid
// undo group with a status text and reports their outcome in a box; the
// application primitives; the script key bindings and events.
#include "scheme/host/macrohost.h"

#include <afxwin.h>

#include <memory>

#include "app/appstate.h"
#include "app/settings.h"
#include "editor/editdata.h"
#include "scheme/sch_impl.h"

SchemeInterpreter* g_macro = nullptr;
void (*macro_test_created)(SchemeInterpreter* sc) = nullptr;

namespace {

constexpr int EVENT_COUNT = 2;

// Text a script's reader takes back as the same characters inside a string
// literal: backslashes and double quotes escaped.
CString ReaderEscaped(const char16_t* text) {
    std::u16string out;
    for (const char16_t* p = text; p && *p; ++p) {
        if (*p == u'\\' || *p == u'"') out += u'\\';
        out += *p;
    }
    return CString(out.c_str());
}

void OutputSink(SchemeInterpreter* sc, const char16_t* text, uint32_t) {
    MacroHost* h = macro_host(sc);
    if (h && h->output) h->output->InsertTextAtCaret(text);
}

void ErrorSink(SchemeInterpreter* sc, const char16_t* text, uint32_t) {
    MacroHost* h = macro_host(sc);
    if (!h) return;
    h->errorFlag = 1;
    h->errorText += text;
}

// Empties the output buffer; the box shows the script's line breaks as line
// feeds.
void ResetOutput(MacroHost* h) {
    h->output->Reset();
    h->output->SetLineEndType(LINEEND_LF);
}

// True when the output buffer holds nothing but its one empty line.
bool OutputEmpty(CEditData* output) {
    return output->GetLineCount() == 1 && output->GetLineLength(0) == 0;
}

void DeleteBindings(MacroHost* h) {
    if (!h->keys) return;
    POSITION pos = h->keys->GetStartPosition();
    while (pos) {
        void* key = nullptr;
        void* value = nullptr;
        h->keys->GetNextAssoc(pos, key, value);
        delete static_cast<ScriptKeyBinding*>(value);
    }
    h->keys->RemoveAll();
}

void DestroyHost(MacroHost* h) {
    if (!h) return;
    DeleteBindings(h);
    delete h->keys;
    delete h->output;
    delete[] h->events;
    delete h;
}

MacroHost* MakeHost() {
    std::unique_ptr<MacroHost> h(new (std::nothrow) MacroHost);
    if (!h) return nullptr;
    h->output = new (std::nothrow) CEditData;
    h->keys = new (std::nothrow) CMapPtrToPtr(10);
    h->events = new (std::nothrow)
        ScriptEventTable[EVENT_COUNT]{{0, u"on-connected", nullptr}, {1, u"on-disconnected", nullptr}};
    h->eventCount = EVENT_COUNT;
    h->beforeRun = macro_begin_grid_undo_group;
    h->afterRun = macro_end_grid_undo_group;
    if (!h->output || !h->keys || !h->events) {
        DestroyHost(h.release());
        return nullptr;
    }
    return h.release();
}

// Loads one library script: false on a failure of the load itself (the file
// cannot be read, or a fatal error); a script error is shown and start-up
// goes on.
bool LoadLibraryScript(SchemeInterpreter* sc, const CString& path) {
    if (!util_file_exists(path)) return true;
    MacroHost* h = macro_host(sc);
    if (sch_safe_load_file(sc, path) == 1) return false;
    if (h->errorFlag) MessageBoxW(nullptr, h->errorText, u"scheme error", MB_ICONWARNING);
    h->errorFlag = 0;
    h->errorText.Empty();
    return true;
}

bool InitInterpreter(MacroHost* host, SchemeInterpreter** out) {
    SchemeInterpreter* sc = sch_create();
    *out = sc;
    if (!sc) return false;
    sc->host = host;
    host->errorFlag = 0;
    host->errorText.Empty();
    ResetOutput(host);
    if (macro_test_created) macro_test_created(sc);

    CString tool = util_get_tool_dir();
    CString libraryDir;
    libraryDir.Format(u"%s\\scmlib", tool.GetString());
    CString definition;
    definition.Format(u"(define *load-path* '(\"%s\"))", ReaderEscaped(libraryDir).GetString());
    sch_safe_load_string(sc, definition);

    port_of(sc->outport)->output = OutputSink;
    port_of(sc->errport)->output = ErrorSink;

    for (int i = 0; i < HostPrimitiveCount; ++i) {
        const HostPrimitiveEntry& e = HostPrimitiveTable[i];
        if (sch_register_host_function(sc, e.name, e.fn, e.minArgs, e.maxArgs, e.letters) != 0) return false;
    }

    host->loadingLibrary = 1;
    CString init, user;
    init.Format(u"%s\\scmlib\\init.scm", tool.GetString());
    user.Format(u"%s\\scmlib\\%s", tool.GetString(), u"tavrelix.scm");
    bool ok = LoadLibraryScript(sc, init) && LoadLibraryScript(sc, user);
    host->loadingLibrary = 0;
    return ok;
}

// The run steps shared by every entry; evaluate does the evaluation. False
// when no run took place.
template <class F> bool RunMacro(F&& evaluate) {
    SchemeInterpreter* sc = g_macro;
    MacroHost* h = macro_host(sc);
    if (!h || h->running) return false;
    h->running = 1;
    if (h->beforeRun) h->beforeRun(sc);
    h->errorFlag = 0;
    h->errorText.Empty();
    ResetOutput(h);
    CFrameWnd* frame = macro_main_frame(sc);
    if (frame) {
        frame->SetMessageText(u"マクロ実行中...");
        frame->UpdateWindow();
    }
    h->statusSet = 0;

    evaluate(sc);

    frame = macro_main_frame(sc);
    HWND owner = frame ? frame->GetSafeHwnd() : nullptr;
    if (sc->cancelFlag && frame) {
        h->statusSet = 1;
        frame->SetMessageText(u"キャンセルしました");
    } else if (h->errorFlag) {
        MessageBoxW(owner, h->errorText, u"scheme error", MB_ICONWARNING);
    } else if (!OutputEmpty(h->output)) {
        MessageBoxW(owner, h->output->GetAllText(), u"scheme output", MB_ICONINFORMATION);
    }
    if (!h->statusSet && frame) frame->SetMessageText(u"");
    h->statusSet = 0;
    if (h->afterRun) h->afterRun(sc);
    h->running = 0;
    return true;
}

// ---------------------------------------------------------------- application primitives

SchemeCell* AppGetToolDir(SchemeInterpreter* sc, SchemeCell**, int) {
    return mk_string(sc, util_get_tool_dir());
}

SchemeCell* AppGetCommandLineOption(SchemeInterpreter* sc, SchemeCell**, int) {
    const char16_t* line = GetCommandLineW();
    return mk_string(sc, line ? line : u"");
}

SchemeCell* AppMsgBox(SchemeInterpreter* sc, SchemeCell** args, int) {
    CFrameWnd* frame = macro_main_frame(sc);
    if (!frame) return sc->F;
    CString text = macro_args_text(sc, args[0]);
    if (frame->IsIconic()) frame->ActivateFrame(SW_RESTORE);
    MessageBoxW(frame->GetSafeHwnd(), text, u"scheme", MB_ICONINFORMATION);
    return sc->T;
}

SchemeCell* AppStatusBarMsg(SchemeInterpreter* sc, SchemeCell** args, int) {
    CFrameWnd* frame = macro_main_frame(sc);
    if (!frame) return sc->F;
    CString text = macro_args_text(sc, args[0]);
    macro_host(sc)->statusSet = 1;
    frame->SetMessageText(text);
    return sc->T;
}

SchemeCell* AppGetAllKeys(SchemeInterpreter* sc, SchemeCell**, int) {
    MacroHost* h = macro_host(sc);
    int32_t saved = sc->gcDisabled;
    sc->gcDisabled = 1;
    struct Enable {
        SchemeInterpreter* sc;
        int32_t saved;
        ~Enable() { sc->gcDisabled = saved; }
    } enable{sc, saved};
    SchemeCell* result = sc->NIL;
    POSITION pos = h->keys->GetStartPosition();
    while (pos) {
        void* key = nullptr;
        void* value = nullptr;
        h->keys->GetNextAssoc(pos, key, value);
        auto* b = static_cast<ScriptKeyBinding*>(value);
        SchemeCell* entry = cons(sc, mk_string(sc, b->description), sc->NIL);
        entry = cons(sc, b->procedure, entry);
        entry = cons(sc, mk_string(sc, b->keyName), entry);
        result = cons(sc, entry, result);
    }
    return result;
}

SchemeCell* AppSetEventHandler(SchemeInterpreter* sc, SchemeCell** args, int) {
    MacroHost* h = macro_host(sc);
    const char16_t* name = sch_string_text(args[0]);
    ScriptEventTable* row = nullptr;
    for (int i = 0; i < h->eventCount; ++i)
        if (wcscmp(h->events[i].name, name) == 0) row = &h->events[i];
    if (!row) {
        CString text;
        text.Format(u"%s is invalid event name", name);
        sch_raise_error(sc, text);
        return sc->F;
    }
    if (sch_safe_protect(sc, args[1]) != 0) return sc->F;
    if (row->handler) sch_unprotect(sc, row->handler);
    row->handler = args[1];
    return sc->T;
}

SchemeCell* Rgb(SchemeInterpreter* sc, SchemeCell** args, int) {
    int64_t r = args[0]->a.ival & 0xFF, g = args[1]->a.ival & 0xFF, b = args[2]->a.ival & 0xFF;
    return mk_integer(sc, r | g << 8 | b << 16);
}

SchemeCell* AppGetSessionInfo(SchemeInterpreter* sc, SchemeCell**, int) {
    if (!g_connected) return mk_string(sc, u"");
    CString text = g_cur_user + u"@" + g_cur_tns;
    return mk_string(sc, text);
}

} // namespace

// The key primitives and the input box (keyprims.cpp).
SchemeCell* AppInputBox(SchemeInterpreter* sc, SchemeCell** args, int count);
SchemeCell* AppSetKey(SchemeInterpreter* sc, SchemeCell** args, int count);
SchemeCell* AppSetCancelKey(SchemeInterpreter* sc, SchemeCell** args, int count);

const HostPrimitiveEntry HostPrimitiveTable[] = {
    {u"app-get-tool-dir", AppGetToolDir, 0, 0, nullptr},
    {u"app-get-command-line-option", AppGetCommandLineOption, 0, 0, nullptr},
    {u"app-msg-box", AppMsgBox, 1, 1, u"D"},
    {u"app-status-bar-msg", AppStatusBarMsg, 1, 1, u"D"},
    {u"app-input-box", AppInputBox, 0, 2, u"SS"},
    {u"app-set-key", AppSetKey, 2, 3, u"ScS"},
    {u"app-get-all-keys", AppGetAllKeys, 0, 0, nullptr},
    {u"app-set-cancel-key", AppSetCancelKey, 1, 1, u"S"},
    {u"app-set-event-handler", AppSetEventHandler, 2, 2, u"Sc"},
    {u"rgb", Rgb, 3, 3, u"NNN"},
    {u"app-get-session-info", AppGetSessionInfo, 0, 0, nullptr},
    {u"app-set-topleft-cell-color", gp_set_topleft_cell_color, 0, 1, u"N"},
    {u"grid-select-all", gp_select_all, 0, 0, nullptr},
    {u"grid-replace-string", gp_replace_string, 2, 2, u"SS"},
    {u"grid-replace-string-ci", gp_replace_string_ci, 2, 2, u"SS"},
    {u"grid-replace-selected-string", gp_replace_selected_string, 2, 2, u"SS"},
    {u"grid-replace-selected-string-ci", gp_replace_selected_string_ci, 2, 2, u"SS"},
    {u"grid-get-row-cnt", gp_get_row_cnt, 0, 0, nullptr},
    {u"grid-get-col-cnt", gp_get_col_cnt, 0, 0, nullptr},
    {u"grid-get-table-name", gp_get_table_name, 0, 0, nullptr},
    {u"grid-get-column-name", gp_get_column_name, 1, 1, u"N"},
    {u"grid-get-cur-row", gp_get_cur_row, 0, 0, nullptr},
    {u"grid-get-cur-col", gp_get_cur_col, 0, 0, nullptr},
    {u"grid-set-row-col", gp_set_row_col, 2, 2, u"NN"},
    {u"grid-get-cell-string", gp_get_cell_string, 2, 2, u"NN"},
    {u"grid-set-cell-string", gp_set_cell_string, 3, 3, u"NNS"},
    {u"grid-get-selected-area", gp_get_selected_area, 0, 0, nullptr},
    {u"grid-set-select-area", gp_set_select_area, 4, 4, u"NNNN"},
};
const int HostPrimitiveCount = static_cast<int>(sizeof HostPrimitiveTable / sizeof HostPrimitiveTable[0]);
static_assert(sizeof HostPrimitiveTable / sizeof HostPrimitiveTable[0] == 28, "28 host primitives");

CFrameWnd* macro_main_frame(SchemeInterpreter* sc) {
    MacroHost* h = macro_host(sc);
    if (!h || h->loadingLibrary) return nullptr;
    auto* frame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd());
    return frame && ::IsWindow(frame->GetSafeHwnd()) ? frame : nullptr;
}

CString macro_args_text(SchemeInterpreter* sc, SchemeCell* list) {
    std::u16string text = sch_safe_to_text(sc, list);
    if (!text.empty() && text.back() == u')') text.pop_back();
    size_t start = !text.empty() && text.front() == u'(' ? 1 : 0;
    return CString(text.c_str() + start);
}

bool macro_init() {
    MacroHost* host = MakeHost();
    SchemeInterpreter* sc = nullptr;
    if (host && InitInterpreter(host, &sc)) {
        g_macro = sc;
        return true;
    }
    MessageBoxW(nullptr, u"マクロの初期化に失敗しました。", u"Error", MB_ICONWARNING);
    if (sc) sch_destroy(sc);
    DestroyHost(host);
    g_macro = nullptr;
    return false;
}

void macro_run_string(const char16_t* text) {
    RunMacro([text](SchemeInterpreter* sc) { sch_safe_load_string(sc, text ? text : u""); });
}

void macro_run_file(const char16_t* path) {
    CString text;
    text.Format(u"((lambda () (load \"%s\")))", ReaderEscaped(path).GetString());
    macro_run_string(text);
}

int macro_run_procedure(SchemeCell* procedure) {
    return RunMacro([procedure](SchemeInterpreter* sc) { sch_safe_call(sc, procedure); }) ? 1 : 0;
}

void macro_shutdown() {
    if (!g_macro) return;
    MacroHost* host = macro_host(g_macro);
    sch_destroy(g_macro);
    DestroyHost(host);
    g_macro = nullptr;
}

SchemeCell* macro_event_handler(const char16_t* name) {
    MacroHost* h = macro_host(g_macro);
    if (!h) return nullptr;
    for (int i = 0; i < h->eventCount; ++i)
        if (wcscmp(h->events[i].name, name) == 0) return h->events[i].handler;
    return nullptr;
}

SchemeCell* macro_key_binding(uint32_t keyCode) {
    MacroHost* h = macro_host(g_macro);
    if (!h) return nullptr;
    void* value = nullptr;
    if (!h->keys->Lookup(reinterpret_cast<void*>(static_cast<uintptr_t>(keyCode)), value)) return nullptr;
    return static_cast<ScriptKeyBinding*>(value)->procedure;
}
