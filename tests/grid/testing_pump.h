// Handles everything pending, for the demonstration and its tests.
#pragma once

#include "win32/backend.h"

inline void DemoPump() {
    win32bk::PumpPending();
}
