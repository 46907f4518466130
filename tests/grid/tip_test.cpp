#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "grid/griddata.h"
#include "grid/gridstyle.h"
#include "testing/driver.h"

namespace {

std::vector<UINT> g_hostMessages;

LRESULT HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_RBUTTONDOWN || msg == WM_LBUTTONDOWN) g_hostMessages.push_back(msg);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Models built before the display starts make no window.
CGridData g_early;

class TipTest : public ::testing::Test {
protected:
    void SetUp() override {
        tvtest::Init();
        WNDCLASSW wc{};
        if (!GetClassInfoW(nullptr, u"TipTestHost", &wc)) {
            wc = WNDCLASSW{};
            wc.lpfnWndProc = HostProc;
            wc.lpszClassName = u"TipTestHost";
            RegisterClassW(&wc);
        }
        host_ = CreateWindowExW(0, u"TipTestHost", u"host", WS_OVERLAPPED | WS_VISIBLE, 50, 40, 400, 300,
                                nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(host_, nullptr);
        tvtest::Pump();
        POINT origin{0, 0};
        ClientToScreen(host_, &origin);
        area_ = RECT{origin.x + 100, origin.y + 10, origin.x + 130, origin.y + 30}; // a narrow header cell
        g_hostMessages.clear();
    }
    void TearDown() override {
        DestroyWindow(host_);
        tvtest::Pump();
    }
    int Show(GridStyle& s) {
        SetCursorPos(area_.left + 10, area_.top + 5);
        return s.ShowTip(host_, u"A rather long column header", nullptr, area_);
    }
    HWND host_ = nullptr;
    RECT area_{};
};

} // namespace

TEST_F(TipTest, ShowsOverANarrowHeaderAndHidesOnTheTick) {
    EXPECT_EQ(g_early.m_style.tip.wnd, nullptr);
    GridStyle s;
    EXPECT_EQ(s.tip.wnd, nullptr);
    SetFocus(host_);
    ASSERT_EQ(Show(s), 1);
    ASSERT_NE(s.tip.wnd, nullptr);
    EXPECT_TRUE(IsWindowVisible(s.tip.wnd));
    EXPECT_EQ(s.tip.shown, 1);
    EXPECT_GT(s.tip.width, 30);
    tvtest::Pump();
    EXPECT_EQ(GetFocus(), host_); // the tip takes neither focus nor activation
    qtplatform::Image img = tvtest::Capture(s.tip.wnd);
    ASSERT_GT(img.width, 2);
    EXPECT_EQ(img.At(1, 1) & 0xFFFFFF, 0xFFFFE0u);
    RECT r;
    GetWindowRect(s.tip.wnd, &r);
    EXPECT_EQ(r.left, area_.left);
    EXPECT_EQ(r.top, area_.top);
    EXPECT_EQ(r.bottom - r.top, 20);
    // Still inside: stays.
    tvtest::Advance(250);
    EXPECT_EQ(s.tip.shown, 1);
    // 2 px inside the left edge: hidden on the next tick.
    SetCursorPos(area_.left + 2, area_.top + 5);
    tvtest::Advance(250);
    EXPECT_EQ(s.tip.shown, 0);
    EXPECT_FALSE(IsWindowVisible(s.tip.wnd));
    ASSERT_EQ(Show(s), 1);
    SetCursorPos(area_.right - 2, area_.top + 5);
    tvtest::Advance(250);
    EXPECT_EQ(s.tip.shown, 0);
    // A wide cell shows nothing, nor does a pointer outside.
    RECT wide = area_;
    wide.right = wide.left + 350;
    SetCursorPos(area_.left + 10, area_.top + 5);
    EXPECT_EQ(s.ShowTip(host_, u"short", nullptr, wide), 0);
    SetCursorPos(0, 0);
    EXPECT_EQ(s.ShowTip(host_, u"A rather long column header", nullptr, area_), 0);
}

TEST_F(TipTest, RightPressHidesAndReachesTheWindowBeneath) {
    GridStyle s;
    ASSERT_EQ(Show(s), 1);
    tvtest::Pump();
    tvtest::MouseDown(s.tip.wnd, 5, 5, 1);
    tvtest::Pump();
    EXPECT_EQ(s.tip.shown, 0);
    EXPECT_FALSE(IsWindowVisible(s.tip.wnd));
    EXPECT_EQ(g_hostMessages, (std::vector<UINT>{WM_RBUTTONDOWN}));
    tvtest::MouseUp(host_, 105, 15, 1);
}

TEST_F(TipTest, DestroyingAShownTipKillsItsTimer) {
    auto s = std::make_unique<GridStyle>();
    ASSERT_EQ(Show(*s), 1);
    HWND wnd = s->tip.wnd;
    s.reset();
    EXPECT_FALSE(IsWindow(wnd));
    tvtest::Advance(1000); // no tick reaches a freed tip
    tvtest::Pump();
}

TEST_F(TipTest, FailedCreationOnlyDisablesTheTip) {
    gridtip_create_hook = [] { return false; };
    GridStyle s;
    EXPECT_EQ(Show(s), 0);
    EXPECT_EQ(s.tip.wnd, nullptr);
    gridtip_create_hook = nullptr;
    EXPECT_EQ(Show(s), 0); // not tried again
    s.HideTip();
}
