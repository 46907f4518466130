#include "win32/critsec.h"

#include <mutex>

static std::recursive_mutex* mutex_of(LPCRITICAL_SECTION section) {
    return static_cast<std::recursive_mutex*>(section->lock);
}

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
    section->lock = new std::recursive_mutex;
}

void EnterCriticalSection(LPCRITICAL_SECTION section) {
    mutex_of(section)->lock();
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section) {
    return mutex_of(section)->try_lock() ? TRUE : FALSE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
    mutex_of(section)->unlock();
}

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
    delete mutex_of(section);
    section->lock = nullptr;
}
