// A desktop of two screens, as the display reports them: the window layer
// learns both, and a window is kept on the screen that holds it or its
// owner. The offscreen display takes its screens from a file named in the
// platform's name, set before the display starts.
#include <gtest/gtest.h>

#include <afxwin.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "testing/driver.h"

namespace {

// The primary 800 x 600 at the origin, a second 1024 x 768 to its right.
const std::string kScreensFile = "/tmp/tavrelix-screens-" + std::to_string(getpid()) + ".json";
const bool kTwoScreens = [] {
    const std::string& file = kScreensFile;
    if (FILE* f = std::fopen(file.c_str(), "w")) {
        std::fputs(R"({"screens": [
  {"name": "A", "x": 0, "y": 0, "width": 800, "height": 600, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
  {"name": "B", "x": 800, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}
]})",
                   f);
        std::fclose(f);
    }
    setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + file).c_str(), 1);
    return true;
}();

class ScreensTest : public ::testing::Test {
protected:
    // The display reads the file as it starts.
    static void SetUpTestSuite() {
        tvtest::Init();
        std::remove(kScreensFile.c_str());
    }
};

bool Same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST_F(ScreensTest, BothScreensAreKnownAndAWindowOnTheSecondStaysAndMaximisesThere) {
    ASSERT_TRUE(kTwoScreens);
    // The primary is what the screen metrics and the work area speak of.
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
    const RECT second{800, 0, 1824, 768};
    EXPECT_TRUE(Same(win32bk::ScreenHolding(RECT{900, 100, 1300, 400}).screen, second));
    // Mostly on the second, partly on the primary; and on neither, nearest.
    EXPECT_TRUE(Same(win32bk::ScreenHolding(RECT{700, 100, 1300, 400}).screen, second));
    EXPECT_TRUE(Same(win32bk::ScreenHolding(RECT{2000, 900, 2100, 1000}).screen, second));
    EXPECT_TRUE(Same(win32bk::ScreenHolding(RECT{-300, 100, -100, 300}).screen, RECT{0, 0, 800, 600}));

    CWnd w;
    ASSERT_TRUE(w.CreateEx(0, nullptr, u"second", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 900, 100, 400, 300,
                           nullptr, nullptr));
    tvtest::Pump();
    RECT r;
    w.GetWindowRect(&r);
    EXPECT_EQ(r.left, 900);
    EXPECT_EQ(r.top, 100);
    w.ShowWindow(SW_MAXIMIZE);
    tvtest::Pump();
    w.GetWindowRect(&r);
    EXPECT_TRUE(Same(r, second)) << r.left << "," << r.top << "-" << r.right << "," << r.bottom;
    w.DestroyWindow();
}

} // namespace
