#include <gtest/gtest.h>

#include "scrolldemo_window.h"
#include "testing/driver.h"

TEST(ScrollDemo, ScrolledThereLooksLikeOpenedThere) {
    tvtest::Init();
    CDemoFrame scrolled;
    ASSERT_TRUE(scrolled.CreateFrame(800, 600));
    tvtest::Pump();
    int sent = ScrollDemoTo(scrolled.m_grid, 500, 3);
    EXPECT_GT(sent, 3);
    EXPECT_EQ(scrolled.m_grid.Row(), 500);
    EXPECT_EQ(scrolled.m_grid.Col(), 3);
    auto a = tvtest::Capture(scrolled.m_hWnd);

    CDemoFrame fresh;
    ASSERT_TRUE(fresh.CreateFrame(800, 600));
    fresh.m_grid.JumpTo(500, 3);
    auto b = tvtest::Capture(fresh.m_hWnd);
    ASSERT_EQ(a.width, b.width);
    ASSERT_EQ(a.height, b.height);
    int differing = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            if (a.At(x, y) != b.At(x, y) && differing++ == 0) firstX = x, firstY = y;
    EXPECT_EQ(differing, 0) << "first difference at " << firstX << ", " << firstY;
    if (const char* dir = getenv("SCROLLDEMO_PNG")) {
        qtplatform::SavePng(a, std::string(dir) + "/scrolled.png");
        qtplatform::SavePng(b, std::string(dir) + "/fresh.png");
    }
}
