// Thread timing calls: Sleep, with a hook through which tests record the
// waits instead of sleeping.
#pragma once

#include "win32/types.h"

void Sleep(DWORD milliseconds);

// When set, Sleep calls the hook with the requested time and returns without
// sleeping. Tests set it; null by default.
extern void (*win32_sleep_hook)(DWORD milliseconds);
