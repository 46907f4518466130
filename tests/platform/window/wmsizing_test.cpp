// A top-level window sized, maximised, minimised and restored by the window
// manager: it takes the size it is given and stays on the screen, its state
// follows, what the program does meanwhile leaves it maximised, and it is
// restored to the size and place it had before.
#include "display/display.h"
#include "fixture.h"

namespace {

class WmSizingTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        frame_ = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, u"TestWnd", 500, 400);
        SetWindowPos(frame_, nullptr, 40, 50, 500, 400, SWP_NOZORDER);
        tvtest::Pump();
        Log().clear();
    }
    std::vector<Logged> Sizes() const { return Of(WM_SIZE); }

    HWND frame_ = nullptr;
};

TEST_F(WmSizingTest, AnEdgeDragSizesTheWindowWhichStaysOnTheScreen) {
    const int mapped = qtplatform::TimesMapped(frame_);
    RECT before, shown = qtplatform::ShownRect(frame_);
    GetWindowRect(frame_, &before);
    for (int step = 1; step <= 5; ++step) {
        qtplatform::ResizeByWindowManager(frame_, shown.right - shown.left + 20 * step,
                                          shown.bottom - shown.top + 10 * step);
        tvtest::Pump();
    }
    RECT after, client;
    GetWindowRect(frame_, &after);
    EXPECT_EQ(after.right - after.left, before.right - before.left + 100);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top + 50);
    GetClientRect(frame_, &client);
    ASSERT_EQ(Sizes().size(), 5u);
    EXPECT_EQ(Sizes().back().wParam, static_cast<WPARAM>(SIZE_RESTORED));
    EXPECT_EQ(Sizes().back().lParam, MAKELPARAM(client.right, client.bottom));
    // Mapped anew, the window manager would end the drag and frame it again.
    EXPECT_EQ(qtplatform::TimesMapped(frame_), mapped);
}

TEST_F(WmSizingTest, RestoredAfterMaximisingItHasItsSizeAndPlaceAgain) {
    RECT before;
    GetWindowRect(frame_, &before);
    qtplatform::SetStateByWindowManager(frame_, qtplatform::ShownState::Maximized);
    tvtest::Pump();
    EXPECT_TRUE(IsZoomed(frame_));
    ASSERT_FALSE(Sizes().empty());
    EXPECT_EQ(Sizes().back().wParam, static_cast<WPARAM>(SIZE_MAXIMIZED));
    RECT maximised;
    GetWindowRect(frame_, &maximised);
    EXPECT_FALSE(EqualRect(&maximised, &before));
    // What the program does meanwhile leaves it maximised.
    SetWindowTextW(frame_, u"maximised");
    DrawMenuBar(frame_);
    tvtest::Pump();
    RECT still;
    GetWindowRect(frame_, &still);
    EXPECT_TRUE(EqualRect(&still, &maximised));

    qtplatform::SetStateByWindowManager(frame_, qtplatform::ShownState::Normal);
    tvtest::Pump();
    EXPECT_FALSE(IsZoomed(frame_));
    RECT after;
    GetWindowRect(frame_, &after);
    EXPECT_TRUE(EqualRect(&after, &before)) << after.left << "," << after.top << " "
                                            << after.right - after.left << "x" << after.bottom - after.top;
    EXPECT_EQ(Sizes().back().wParam, static_cast<WPARAM>(SIZE_RESTORED));

    // Minimised and shown again.
    qtplatform::SetStateByWindowManager(frame_, qtplatform::ShownState::Minimized);
    tvtest::Pump();
    EXPECT_TRUE(IsIconic(frame_));
    qtplatform::SetStateByWindowManager(frame_, qtplatform::ShownState::Normal);
    tvtest::Pump();
    EXPECT_FALSE(IsIconic(frame_));
    GetWindowRect(frame_, &after);
    EXPECT_TRUE(EqualRect(&after, &before));

    // Maximised by the window manager and restored by the program: the host too.
    const RECT shown = qtplatform::ShownRect(frame_);
    qtplatform::SetStateByWindowManager(frame_, qtplatform::ShownState::Maximized);
    tvtest::Pump();
    ShowWindow(frame_, SW_RESTORE);
    tvtest::Pump();
    EXPECT_FALSE(IsZoomed(frame_));
    GetWindowRect(frame_, &after);
    EXPECT_TRUE(EqualRect(&after, &before));
    const RECT again = qtplatform::ShownRect(frame_);
    EXPECT_EQ(again.right - again.left, shown.right - shown.left);
    EXPECT_EQ(again.bottom - again.top, shown.bottom - shown.top);
}

} // namespace
