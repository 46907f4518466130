#include <sched.h>

#include <atomic>
#include <cerrno>
#include <future>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

namespace {

struct Gate {
    std::promise<void> open;
    std::shared_future<void> opened{open.get_future().share()};
};

struct Work {
    std::atomic<int> ran{0};
    DWORD seenId = 0;
    Gate* gate = nullptr;
    unsigned result = 7;
};

unsigned work_proc(void* p) {
    auto* w = static_cast<Work*>(p);
    if (w->gate) w->gate->opened.wait();
    w->seenId = GetCurrentThreadId();
    w->ran.fetch_add(1);
    return w->result;
}

HANDLE start(Work& w, unsigned flags, unsigned* id = nullptr) {
    return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, work_proc, &w, flags, id));
}

} // namespace

TEST(Win32Thread, SuspendedThreadRunsOnlyAfterResume) {
    Work w;
    unsigned id = 0;
    HANDLE h = start(w, CREATE_SUSPENDED, &id);
    ASSERT_NE(h, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(WaitForSingleObject(h, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(w.ran.load(), 0);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(h, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));

    EXPECT_EQ(ResumeThread(h), 1u);
    EXPECT_EQ(WaitForSingleObject(h, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(w.ran.load(), 1);
    EXPECT_EQ(w.seenId, id);
    ASSERT_TRUE(GetExitCodeThread(h, &code));
    EXPECT_EQ(code, 7u);
    // Resuming a running (here finished) thread changes nothing.
    EXPECT_EQ(ResumeThread(h), 0u);
    EXPECT_EQ(WaitForSingleObject(h, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_TRUE(CloseHandle(h));
}

TEST(Win32Thread, TimedWaitEndsWhenTheThreadReturns) {
    Gate gate;
    Work w;
    w.gate = &gate;
    HANDLE h = start(w, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(WaitForSingleObject(h, 5), static_cast<DWORD>(WAIT_TIMEOUT));
    gate.open.set_value();
    EXPECT_EQ(WaitForSingleObject(h, 60000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(w.ran.load(), 1);
    EXPECT_TRUE(CloseHandle(h));
}

TEST(Win32Thread, ClosingTheHandleLeavesTheThreadRunning) {
    Gate gate;
    std::promise<void> finished;
    struct Ctx {
        Gate* gate;
        std::promise<void>* finished;
    } ctx{&gate, &finished};
    auto proc = [](void* p) -> unsigned {
        auto* c = static_cast<Ctx*>(p);
        c->gate->opened.wait();
        c->finished->set_value();
        return 0;
    };
    HANDLE h = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, proc, &ctx, 0, nullptr));
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(CloseHandle(h));
    gate.open.set_value();
    finished.get_future().wait();
}

TEST(Win32Thread, FailedStartAndForeignHandles) {
    Work w;
    win32test::FailThreadStarts(1);
    errno = 0;
    EXPECT_EQ(_beginthreadex(nullptr, 0, work_proc, &w, 0, nullptr), 0u);
    EXPECT_EQ(errno, EAGAIN);
    HANDLE h = start(w, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(WaitForSingleObject(h, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(w.ran.load(), 1);

    int notAHandle = 0;
    EXPECT_EQ(WaitForSingleObject(&notAHandle, INFINITE), static_cast<DWORD>(WAIT_FAILED));
    EXPECT_EQ(ResumeThread(&notAHandle), static_cast<DWORD>(-1));
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Win32Thread, ManyWaitersAndWorkers) {
    constexpr int kThreads = 16;
    std::vector<Work> work(kThreads);
    std::vector<HANDLE> handles;
    for (auto& w : work) {
        w.result = static_cast<unsigned>(handles.size());
        handles.push_back(start(w, CREATE_SUSPENDED));
        ASSERT_NE(handles.back(), nullptr);
    }
    // Each handle is waited on by two threads at once while the main thread
    // resumes them.
    std::vector<std::thread> waiters;
    std::atomic<int> signalled{0};
    for (HANDLE h : handles) {
        for (int i = 0; i < 2; ++i) {
            waiters.emplace_back([h, &signalled] {
                if (WaitForSingleObject(h, INFINITE) == WAIT_OBJECT_0) signalled.fetch_add(1);
            });
        }
    }
    for (HANDLE h : handles) EXPECT_EQ(ResumeThread(h), 1u);
    for (auto& t : waiters) t.join();
    EXPECT_EQ(signalled.load(), 2 * kThreads);
    for (int i = 0; i < kThreads; ++i) {
        DWORD code = 0;
        ASSERT_TRUE(GetExitCodeThread(handles[i], &code));
        EXPECT_EQ(code, static_cast<DWORD>(i));
        EXPECT_EQ(work[i].ran.load(), 1);
        EXPECT_TRUE(CloseHandle(handles[i]));
    }
}

// A thread started on its maker's processor leaves it, and may afterwards run
// on every processor it was allowed before.
TEST(Win32Thread, AThreadOnItsMakersProcessorLeavesItAndKeepsItsProcessors) {
    cpu_set_t allowed;
    ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
    if (CPU_COUNT(&allowed) < 2) GTEST_SKIP() << "one processor";
    if (sched_setaffinity(0, sizeof allowed, &allowed) != 0)
        GTEST_SKIP() << "processors cannot be chosen here";
    int before = -1, after = -1;
    cpu_set_t afterwards;
    CPU_ZERO(&afterwards);
    std::thread t([&] {
        before = sched_getcpu();
        win32detail::LeaveMakersProcessor(before);
        after = sched_getcpu();
        sched_getaffinity(0, sizeof afterwards, &afterwards);
    });
    t.join();
    EXPECT_NE(after, before);
    EXPECT_TRUE(CPU_EQUAL(&afterwards, &allowed));
}
