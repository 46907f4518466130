// Critical sections: recursive locks owned by one thread at a time.
#pragma once

#include "win32/types.h"

struct CRITICAL_SECTION {
    void* lock; // the recursive mutex made by InitializeCriticalSection
};
typedef CRITICAL_SECTION* LPCRITICAL_SECTION;

void InitializeCriticalSection(LPCRITICAL_SECTION section);
// Waits until the calling thread owns the section; a thread that owns it
// already enters again and must leave as often.
void EnterCriticalSection(LPCRITICAL_SECTION section);
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);
