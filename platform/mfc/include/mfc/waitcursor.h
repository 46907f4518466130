// CWaitCursor: a scope that shows the wait cursor. Waits nest; the cursor
// from before the first comes back when the last one ends.
#pragma once

#include "win32/window.h"

class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
    // Shows the wait cursor again (after something changed the cursor).
    void Restore();

    // Scopes open now, and scopes begun since the process started.
    static int OpenCount();
    static long long BegunCount();
};
