// Critical sections shared by threads: mutual exclusion, re-entry by the
// owner, and TryEnter from another thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

TEST(CriticalSection, ExcludesOtherThreadsAndLetsTheOwnerReenter) {
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    // A plain counter: only the section orders the threads' increments.
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                EnterCriticalSection(&cs);
                EnterCriticalSection(&cs); // the owner enters again
                ++counter;
                LeaveCriticalSection(&cs);
                LeaveCriticalSection(&cs);
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(counter, 4 * 20000);

    // Held here, the section refuses another thread until it is left.
    EnterCriticalSection(&cs);
    std::atomic<int> got{-1};
    std::thread([&] { got = TryEnterCriticalSection(&cs) ? 1 : 0; }).join();
    EXPECT_EQ(got, 0);
    EXPECT_TRUE(TryEnterCriticalSection(&cs)); // the owner may
    LeaveCriticalSection(&cs);
    LeaveCriticalSection(&cs);
    std::thread([&] {
        got = TryEnterCriticalSection(&cs) ? 1 : 0;
        if (got) LeaveCriticalSection(&cs);
    }).join();
    EXPECT_EQ(got, 1);
    DeleteCriticalSection(&cs);
}
