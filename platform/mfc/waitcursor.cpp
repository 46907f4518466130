#include "mfc/waitcursor.h"

namespace {
int g_depth = 0;
long long g_begun = 0;
HCURSOR g_before = nullptr;
} // namespace

CWaitCursor::CWaitCursor() {
    ++g_begun;
    if (g_depth++ == 0) g_before = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

CWaitCursor::~CWaitCursor() {
    if (--g_depth == 0) SetCursor(g_before);
}

void CWaitCursor::Restore() {
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

int CWaitCursor::OpenCount() {
    return g_depth;
}

long long CWaitCursor::BegunCount() {
    return g_begun;
}
