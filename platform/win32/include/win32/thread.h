// Threads: _beginthreadex (suspended start included), ResumeThread,
// WaitForSingleObject and GetExitCodeThread over std::thread; Sleep, with a
// hook through which tests record the waits instead of sleeping. Thread
// handles are closed with CloseHandle (win32/process.h).
#pragma once

#include <cstdint>
#include <functional>
#include <thread>
#include <utility>

#include "win32/types.h"

#define CREATE_SUSPENDED 0x00000004
#define INFINITE 0xFFFFFFFF
#define WAIT_OBJECT_0 0x00000000
#define WAIT_TIMEOUT 0x00000102
#define WAIT_FAILED 0xFFFFFFFF
#define STILL_ACTIVE 0x00000103

typedef unsigned (*_beginthreadex_proc_type)(void*);

// Starts `start(arglist)` on a new thread and returns its handle, or 0 (errno
// EAGAIN) when no thread can be made. With CREATE_SUSPENDED in `initflag`
// the thread waits for ResumeThread before it runs `start`. The stack size
// and security attributes are ignored. `thrdaddr` receives the thread's id.
uintptr_t _beginthreadex(void* security, unsigned stack_size, _beginthreadex_proc_type start, void* arglist,
                         unsigned initflag, unsigned* thrdaddr);

// Decrements the thread's suspend count and returns the count before it;
// the thread runs when it reaches 0. (DWORD)-1 for a handle that is not a
// thread's.
DWORD ResumeThread(HANDLE thread);

// Waits until the thread has returned (WAIT_OBJECT_0) or `milliseconds`
// have passed (WAIT_TIMEOUT); INFINITE waits without limit. WAIT_FAILED for
// a handle that is not a thread's, or a suspended thread waited on from
// itself.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

// The thread's return value, or STILL_ACTIVE while it runs.
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);

// The calling thread's id: the id _beginthreadex reported for threads it
// started, a fresh one on first use for other threads.
DWORD GetCurrentThreadId();

void Sleep(DWORD milliseconds);

// When set, Sleep calls the hook with the requested time and returns without
// sleeping. Tests set it; null by default.
extern void (*win32_sleep_hook)(DWORD milliseconds);

namespace win32test {
// Tests: the next `count` calls of _beginthreadex fail as when no thread can
// be made (0, errno EAGAIN). 0 ends it.
void FailThreadStarts(int count);
} // namespace win32test

namespace win32detail {
// CloseHandle's part for thread handles: true when `handle` was one (it is
// then closed; the thread itself runs on).
bool CloseThreadHandle(HANDLE handle);

// The processor the calling thread runs on, for a thread it is about to
// make (-1 when the system cannot say).
int CurrentProcessor();
// Called first on a new thread with its maker's processor: a thread that
// starts on the processor of the thread that made it leaves it at once.
void LeaveMakersProcessor(int makersProcessor);
// Called by the maker once the thread is made: a new thread queued behind it
// on its processor runs (and leaves) now.
void YieldToNewThread();

// A std::thread running `f(args...)` that neither waits for its maker nor
// holds it up on one processor.
template <class F, class... Args> std::thread MakeThread(F&& f, Args&&... args) {
    const int processor = CurrentProcessor();
    std::thread t(
        [processor](auto&& g, auto&&... a) {
            LeaveMakersProcessor(processor);
            std::invoke(std::forward<decltype(g)>(g), std::forward<decltype(a)>(a)...);
        },
        std::forward<F>(f), std::forward<Args>(args)...);
    YieldToNewThread();
    return t;
}
} // namespace win32detail
