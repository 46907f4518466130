// Shared by the benchmarks that drive the Oracle layer: a wall clock and a
// stop on the first failed call.
#pragma once

#include <afx.h>
#include <win32/wstring.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "oracle/ora_globals.h"

inline double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

inline void Check(int rc, const CString& msg, const char* what) {
    if (rc != ORARC_OK) {
        std::fprintf(stderr, "%s: %d %s\n", what, rc, WideToUtf8(msg.GetString()).c_str());
        std::exit(1);
    }
}
