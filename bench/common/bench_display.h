// Shared by the benchmarks that paint through the Qt display: the offscreen
// platform at 96 dpi and scale 1, started once.
#pragma once

#include <cstdlib>

#include "display/display.h"

inline void InitBenchDisplay() {
    static bool done = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        setenv("QT_FONT_DPI", "96", 1);
        setenv("QT_SCALE_FACTOR", "1", 1);
        qtplatform::Init();
        return true;
    }();
    (void)done;
}
