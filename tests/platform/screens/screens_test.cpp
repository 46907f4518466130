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

class ScreensTest : public ::testing::Test {
protected:
    // The primary 800 x 600 at the origin, a second 1024 x 768 to its right,
    // in a file the display reads as it starts; the platform's name set here
    // is kept by the test driver's start.
    static void SetUpTestSuite() {
        const std::string file = "/tmp/tavrelix-screens-" + std::to_string(getpid()) + ".json";
        if (FILE* f = std::fopen(file.c_str(), "w")) {
            written = std::fputs(R"({"screens": [
  {"name": "A", "x": 0, "y": 0, "width": 800, "height": 600, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
  {"name": "B", "x": 800, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}
]})",
                                 f) >= 0;
            written = std::fclose(f) == 0 && written;
        }
        setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + file).c_str(), 1);
        tvtest::Init();
        std::remove(file.c_str());
    }
    static inline bool written = false;
};

// Whether the screen that holds a rectangle is the one given.
bool HeldBy(const RECT& r, const RECT& screen) {
    const RECT held = win32bk::ScreenHolding(r).screen;
    return EqualRect(&held, &screen);
}

TEST_F(ScreensTest, BothScreensAreKnownAndAWindowOnTheSecondStaysAndMaximisesThere) {
    ASSERT_TRUE(written);
    // The primary is what the screen metrics and the work area speak of.
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
    const RECT second{800, 0, 1824, 768};
    EXPECT_TRUE(HeldBy(RECT{900, 100, 1300, 400}, second));
    // Mostly on the second, partly on the primary; and on neither, nearest.
    EXPECT_TRUE(HeldBy(RECT{700, 100, 1300, 400}, second));
    EXPECT_TRUE(HeldBy(RECT{2000, 900, 2100, 1000}, second));
    EXPECT_TRUE(HeldBy(RECT{-300, 100, -100, 300}, RECT{0, 0, 800, 600}));

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
    EXPECT_TRUE(EqualRect(&r, &second)) << r.left << "," << r.top << "-" << r.right << "," << r.bottom;
    w.DestroyWindow();
}

} // namespace
