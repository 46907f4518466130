// The macro host's entry points: the one interpreter of the application,
// created on the start-up thread and destroyed at exit, and the script
// event handlers the connection code runs.
#pragma once

struct SchemeInterpreter;
struct SchemeCell;

extern SchemeInterpreter* g_macro;

// Creates g_macro; true on success.
bool macro_init();
void macro_run_file(const char16_t* path);
void macro_run_string(const char16_t* text);
// Runs a procedure without arguments as a macro; 1.
int macro_run_procedure(SchemeCell* procedure);
void macro_shutdown();
// The handler registered for an event ("on-connected", "on-disconnected"), or null.
SchemeCell* macro_event_handler(const char16_t* name);
