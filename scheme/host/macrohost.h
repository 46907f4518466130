// The macro host: the record behind g_macro's host pointer (error and output
// capture, the script key bindings, the two script events, the undo-group
// hooks around a run) and the host primitives scripts reach the application
// and the grid through.
#pragma once

#include <afx.h>
#include <windows.h>

#include <cstdint>

#include "scheme/macro.h"
#include "scheme/scheme.h"

class CEditData;
class CFrameWnd;
class CMapPtrToPtr;
class UndoBuffer;

struct ScriptKeyBinding {
    CString keyName;     // as the script gave it
    CString description; // the optional third argument of app-set-key
    SchemeCell* procedure;
};

struct ScriptEventTable {
    int32_t id;
    const char16_t* name;
    SchemeCell* handler; // null until a script sets one
};

typedef void (*MacroHook)(SchemeInterpreter* sc);

struct MacroHost {
    int32_t errorFlag = 0; // the error port was written during the run
    int32_t statusSet = 0; // the status text was set by the run and stays
    CString errorText;
    CEditData* output = nullptr;
    CMapPtrToPtr* keys = nullptr; // key code -> ScriptKeyBinding
    ScriptEventTable* events = nullptr;
    int eventCount = 0;
    MacroHook beforeRun = nullptr;
    MacroHook afterRun = nullptr;

    // A run is in progress: a run a modal loop inside it would start (a key
    // bound by a script, pressed in its message box) is skipped.
    int32_t running = 0;
    // The library scripts load on the start-up thread: no window primitive
    // touches the user interface meanwhile.
    int32_t loadingLibrary = 0;
    // The buffer the before-run hook opened its group on, closed by the
    // after-run hook (null: none was opened).
    UndoBuffer* undoGroup = nullptr;
};

inline MacroHost* macro_host(SchemeInterpreter* sc) {
    return sc ? static_cast<MacroHost*>(sc->host) : nullptr;
}

// The main frame when a run may use it: it exists and the library scripts
// are not loading; else null.
CFrameWnd* macro_main_frame(SchemeInterpreter* sc);
// The text of a "D" argument list: its display form without the outer
// parentheses, the arguments separated by blanks.
CString macro_args_text(SchemeInterpreter* sc, SchemeCell* list);

// Test seam: called with the interpreter right after macro_init creates it.
extern void (*macro_test_created)(SchemeInterpreter* sc);

struct HostPrimitiveEntry {
    const char16_t* name;
    SchemeHostFn fn;
    int minArgs;
    int maxArgs;
    const char16_t* letters;
};
extern const HostPrimitiveEntry HostPrimitiveTable[];
extern const int HostPrimitiveCount;

// The grid primitives and the undo-group hooks around a run (gridprims.cpp).
SchemeCell* gp_set_topleft_cell_color(SchemeInterpreter* sc, SchemeCell** args, int count);
SchemeCell* gp_select_all(SchemeInterpreter* sc, SchemeCell** args, int count);
SchemeCell* gp_replace_string(SchemeInterpreter* sc, SchemeCell** args, int count);
SchemeCell* gp_replace_string_ci(SchemeInterpreter* sc, SchemeCell** args, int count);
SchemeCell* gp_replace_selected_string(SchemeInterpreter* sc, SchemeCell** args, int count);
SchemeCell* gp_replace_selected_string_ci(SchemeInterpreter* sc, SchemeCell** args, int count);
SchemeCell* gp_get_row_cnt(SchemeInterpreter* sc, SchemeCell** args, int count);
SchemeCell* gp_get_col_cnt(SchemeInterpreter* sc, SchemeCell** args, int count);
SchemeCell* gp_get_table_name(SchemeInterpreter* sc, SchemeCell** args, int count);
SchemeCell* gp_get_column_name(SchemeInterpreter* sc, SchemeCell** args, int count);
SchemeCell* gp_get_cur_row(SchemeInterpreter* sc, SchemeCell** args, int count);
SchemeCell* gp_get_cur_col(SchemeInterpreter* sc, SchemeCell** args, int count);
SchemeCell* gp_set_row_col(SchemeInterpreter* sc, SchemeCell** args, int count);
SchemeCell* gp_get_cell_string(SchemeInterpreter* sc, SchemeCell** args, int count);
SchemeCell* gp_set_cell_string(SchemeInterpreter* sc, SchemeCell** args, int count);
SchemeCell* gp_get_selected_area(SchemeInterpreter* sc, SchemeCell** args, int count);
SchemeCell* gp_set_select_area(SchemeInterpreter* sc, SchemeCell** args, int count);
void macro_begin_grid_undo_group(SchemeInterpreter* sc);
void macro_end_grid_undo_group(SchemeInterpreter* sc);
