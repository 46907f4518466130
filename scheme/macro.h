// The macro host's entry points: the one interpreter of the application,
// created on the start-up thread and destroyed at exit, the macro runs, the
// script key bindings the main frame offers key-downs to and the script
// event handlers the connection code runs. Built in scheme/host.
#pragma once

#include <cstdint>

struct SchemeInterpreter;
struct SchemeCell;

extern SchemeInterpreter* g_macro;

// Creates g_macro and loads the library scripts; true on success.
bool macro_init();
void macro_run_file(const char16_t* path);
void macro_run_string(const char16_t* text);
// Runs a procedure without arguments as a macro: 1 after a run, 0 when none
// took place (no interpreter, or a run already in progress).
int macro_run_procedure(SchemeCell* procedure);
void macro_shutdown();
// The handler registered for an event ("on-connected", "on-disconnected"), or null.
SchemeCell* macro_event_handler(const char16_t* name);
// The procedure a script bound to the key code ((flags << 16) | virtual key,
// the flags 3 plus 0x10 Alt, 0x08 Ctrl, 0x04 Shift), or null.
SchemeCell* macro_key_binding(uint32_t keyCode);
// The key code of a binding from its flag byte and virtual key.
uint32_t macro_key_code(int fVirt, int virtualKey);
// The key code of a key-down of that virtual key with the modifiers held now.
uint32_t macro_key_down_code(unsigned virtualKey);
