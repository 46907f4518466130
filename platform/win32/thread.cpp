// Threads over std::thread. A handle owns one reference to the thread's
// shared state and the thread itself another, so closing the handle of a
// running thread leaves it running (it is then detached), as on Windows.
#include "win32/thread.h"

#include <sched.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "win32/msgbox.h"

#include "win32/errors.h"

void (*win32_sleep_hook)(DWORD milliseconds) = nullptr;

namespace {

constexpr uint32_t kThreadHandleMagic = 0x54485258;

std::atomic<DWORD> nextThreadId{1};
std::atomic<int> failStarts{0};
thread_local DWORD currentThreadId = 0;

struct ThreadState {
    std::mutex mutex;
    std::condition_variable changed;
    DWORD suspendCount = 0;
    bool done = false;
    DWORD exitCode = STILL_ACTIVE;
    DWORD id = 0;
    std::thread thread;
    std::mutex joinMutex; // serialises join/detach of `thread`
};

struct ThreadHandle {
    uint32_t magic;
    std::shared_ptr<ThreadState> state;
};

ThreadHandle* as_thread(HANDLE handle) {
    auto* h = static_cast<ThreadHandle*>(handle);
    return h && h->magic == kThreadHandleMagic ? h : nullptr;
}

void run(std::shared_ptr<ThreadState> state, _beginthreadex_proc_type start, void* arg) {
    {
        std::unique_lock<std::mutex> lock(state->mutex);
        state->changed.wait(lock, [&] { return state->suspendCount == 0; });
    }
    currentThreadId = state->id;
    unsigned rc = start(arg);
    std::lock_guard<std::mutex> lock(state->mutex);
    state->exitCode = rc;
    state->done = true;
    state->changed.notify_all();
}

} // namespace

namespace win32detail {

int CurrentProcessor() {
    return sched_getcpu();
}

// Some kernels place a new thread on its maker's processor and move one of
// the two only at their next balancing, milliseconds later; the maker waits
// meanwhile though other processors are idle. Kept off that processor for a
// moment, the new thread is moved at once, and then allowed everywhere again.
void LeaveMakersProcessor(int makersProcessor) {
    if (makersProcessor < 0 || sched_getcpu() != makersProcessor) return;
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return;
    cpu_set_t others = allowed;
    CPU_CLR(makersProcessor, &others);
    if (CPU_COUNT(&others) == 0) return;
    if (sched_setaffinity(0, sizeof others, &others) == 0) sched_setaffinity(0, sizeof allowed, &allowed);
}

void YieldToNewThread() {
    sched_yield();
}

} // namespace win32detail

uintptr_t _beginthreadex(void*, unsigned, _beginthreadex_proc_type start, void* arglist, unsigned initflag,
                         unsigned* thrdaddr) {
    if (!start) {
        errno = EINVAL;
        return 0;
    }
    int fail = failStarts.load();
    while (fail > 0 && !failStarts.compare_exchange_weak(fail, fail - 1)) {
    }
    if (fail > 0) {
        errno = EAGAIN;
        return 0;
    }
    auto state = std::make_shared<ThreadState>();
    state->suspendCount = (initflag & CREATE_SUSPENDED) ? 1 : 0;
    state->id = nextThreadId.fetch_add(1);
    auto* handle = new ThreadHandle{kThreadHandleMagic, state};
    try {
        std::lock_guard<std::mutex> lock(state->joinMutex);
        state->thread = win32detail::MakeThread(run, state, start, arglist);
    } catch (const std::system_error&) {
        delete handle;
        errno = EAGAIN;
        return 0;
    }
    if (thrdaddr) *thrdaddr = state->id;
    return reinterpret_cast<uintptr_t>(handle);
}

DWORD ResumeThread(HANDLE thread) {
    ThreadHandle* h = as_thread(thread);
    if (!h) {
        SetLastError(ERROR_INVALID_HANDLE);
        return static_cast<DWORD>(-1);
    }
    std::lock_guard<std::mutex> lock(h->state->mutex);
    DWORD previous = h->state->suspendCount;
    if (previous > 0 && --h->state->suspendCount == 0) h->state->changed.notify_all();
    return previous;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    ThreadHandle* h = as_thread(handle);
    if (!h) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    ThreadState& s = *h->state;
    if (win32bk::IsUiThread()) {
        // On the UI thread the wait shows the message boxes other threads
        // hand over (as on Windows, it serves no sends), so a thread that
        // shows a box while it is waited for ends.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        std::unique_lock<std::mutex> lock(s.mutex);
        if (!s.done && currentThreadId == s.id) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return WAIT_FAILED;
        }
        while (!s.done) {
            lock.unlock();
            win32bk::ServeBoxes();
            lock.lock();
            if (s.done) break;
            if (milliseconds != INFINITE && std::chrono::steady_clock::now() >= deadline) return WAIT_TIMEOUT;
            s.changed.wait_for(lock, std::chrono::milliseconds(2), [&] { return s.done; });
        }
    } else {
        std::unique_lock<std::mutex> lock(s.mutex);
        if (milliseconds == INFINITE) {
            if (!s.done && currentThreadId == s.id) {
                // A thread waiting for itself would never return.
                SetLastError(ERROR_INVALID_PARAMETER);
                return WAIT_FAILED;
            }
            s.changed.wait(lock, [&] { return s.done; });
        } else if (!s.changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                       [&] { return s.done; })) {
            return WAIT_TIMEOUT;
        }
    }
    // The thread has returned: joining it only waits for its exit.
    std::lock_guard<std::mutex> lock(s.joinMutex);
    if (s.thread.joinable() && s.thread.get_id() != std::this_thread::get_id()) s.thread.join();
    return WAIT_OBJECT_0;
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
    ThreadHandle* h = as_thread(thread);
    if (!h || !exitCode) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(h->state->mutex);
    *exitCode = h->state->exitCode;
    return TRUE;
}

DWORD GetCurrentThreadId() {
    if (currentThreadId == 0) currentThreadId = nextThreadId.fetch_add(1);
    return currentThreadId;
}

void Sleep(DWORD milliseconds) {
    if (win32_sleep_hook) {
        win32_sleep_hook(milliseconds);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

namespace win32test {
void FailThreadStarts(int count) {
    failStarts.store(count < 0 ? 0 : count);
}
} // namespace win32test

namespace win32detail {
bool CloseThreadHandle(HANDLE handle) {
    ThreadHandle* h = as_thread(handle);
    if (!h) return false;
    {
        std::lock_guard<std::mutex> lock(h->state->joinMutex);
        if (h->state->thread.joinable()) {
            bool done;
            {
                std::lock_guard<std::mutex> stateLock(h->state->mutex);
                done = h->state->done;
            }
            if (done && h->state->thread.get_id() != std::this_thread::get_id())
                h->state->thread.join();
            else
                h->state->thread.detach();
        }
    }
    h->magic = 0;
    delete h;
    return true;
}
} // namespace win32detail
