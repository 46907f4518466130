// The macro host's entry points. Until the host primitives, the library
// scripts and the runs are built, the interpreter is not created: start-up
// goes on with g_macro null (the keyword file still loads), and the runs do
// nothing.
#include "scheme/macro.h"

SchemeInterpreter* g_macro = nullptr;

bool macro_init() {
    return true;
}

void macro_run_file(const char16_t*) {}

void macro_run_string(const char16_t*) {}

int macro_run_procedure(SchemeCell*) {
    return 1;
}

void macro_shutdown() {
    g_macro = nullptr;
}

SchemeCell* macro_event_handler(const char16_t*) {
    return nullptr;
}
