#include <thread>

#include <gtest/gtest.h>
#include <windows.h>

TEST(LastError, IsPerThread) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    DWORD other = 1;
    std::thread([&] { other = GetLastError(); }).join();
    EXPECT_EQ(other, 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}
