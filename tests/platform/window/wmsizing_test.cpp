// A top-level window sized, maximised, minimised and restored by the window
// manager: it takes the size it is given and stays on the screen, its state
// follows, what the program does meanwhile leaves it maximised (or
// minimised), and it is restored to the size and place it had before. A
// state given while a run holds the thread is told after the run.
#include <chrono>

#include "display/display.h"
#include "fixture.h"
#include "win32/backend.h"

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

// A maximised window minimised is minimised and restored to maximised, the
// same whether the window manager or the program minimised it; nothing the
// program does to the window meanwhile shows it again or ends its maximised
// state.
TEST_F(WmSizingTest, MaximisedThenMinimisedItStaysMinimisedAndComesBackMaximised) {
    RECT before;
    GetWindowRect(frame_, &before);
    qtplatform::SetStateByWindowManager(frame_, qtplatform::ShownState::Maximized);
    tvtest::Pump();
    ASSERT_TRUE(IsZoomed(frame_));
    RECT maximised;
    GetWindowRect(frame_, &maximised);

    qtplatform::SetStateByWindowManager(frame_, qtplatform::ShownState::Minimized);
    tvtest::Pump();
    EXPECT_TRUE(IsIconic(frame_));
    const LONG byWindowManager = GetWindowLongW(frame_, GWL_STYLE) & (WS_MINIMIZE | WS_MAXIMIZE);
    // What a modal dialog's run does to its owner, and a new title and menu bar.
    EnableWindow(frame_, FALSE);
    SetWindowTextW(frame_, u"minimised");
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_STRING, 100, u"&File");
    SetMenu(frame_, bar);
    DrawMenuBar(frame_);
    EnableWindow(frame_, TRUE);
    SetWindowPos(frame_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    tvtest::Pump();
    EXPECT_TRUE(IsIconic(frame_));
    EXPECT_TRUE(qtplatform::ShownMinimized(frame_));
    EXPECT_TRUE(qtplatform::ShownMaximized(frame_));

    // Shown again by the window manager: maximised, at the maximised place.
    qtplatform::SetStateByWindowManager(frame_, qtplatform::ShownState::ShownAgain);
    tvtest::Pump();
    EXPECT_FALSE(IsIconic(frame_));
    EXPECT_TRUE(IsZoomed(frame_));
    RECT again;
    GetWindowRect(frame_, &again);
    EXPECT_TRUE(EqualRect(&again, &maximised));

    // The program's own minimising gives the same state, and SW_RESTORE maximised again.
    ShowWindow(frame_, SW_MINIMIZE);
    tvtest::Pump();
    EXPECT_EQ(GetWindowLongW(frame_, GWL_STYLE) & (WS_MINIMIZE | WS_MAXIMIZE), byWindowManager);
    ShowWindow(frame_, SW_RESTORE);
    tvtest::Pump();
    EXPECT_TRUE(IsZoomed(frame_));
    EXPECT_TRUE(qtplatform::ShownMaximized(frame_));

    // The window manager minimises it and the program restores it (as a
    // script's message box does): it is shown maximised.
    qtplatform::SetStateByWindowManager(frame_, qtplatform::ShownState::Minimized);
    tvtest::Pump();
    ShowWindow(frame_, SW_RESTORE);
    tvtest::Pump();
    EXPECT_FALSE(qtplatform::ShownMinimized(frame_));
    EXPECT_TRUE(qtplatform::ShownMaximized(frame_));
    EXPECT_TRUE(IsZoomed(frame_));

    qtplatform::SetStateByWindowManager(frame_, qtplatform::ShownState::Normal);
    tvtest::Pump();
    EXPECT_FALSE(IsZoomed(frame_));
    RECT after;
    GetWindowRect(frame_, &after);
    EXPECT_TRUE(EqualRect(&after, &before));
    SetMenu(frame_, nullptr);
    DestroyMenu(bar);
}

// The window manager maximises the window while a run holds the thread (a
// script polling its cancel key): the window's state and size change only
// when the thread is back in its loop, not in the middle of the run.
TEST_F(WmSizingTest, AStateGivenWhileTheThreadIsHeldIsToldAfterwards) {
    qtplatform::PostStateByWindowManager(frame_, qtplatform::ShownState::Maximized);
    bool shown = false, toldWhileHeld = false;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!shown && std::chrono::steady_clock::now() < giveUp) {
        GetAsyncKeyState(VK_CANCEL);
        shown = qtplatform::ShownMaximized(frame_);
        toldWhileHeld = toldWhileHeld || IsZoomed(frame_) || !Sizes().empty();
    }
    ASSERT_TRUE(shown);
    EXPECT_FALSE(toldWhileHeld);
    tvtest::Pump();
    EXPECT_TRUE(IsZoomed(frame_));
    ASSERT_FALSE(Sizes().empty());
    EXPECT_EQ(Sizes().back().wParam, static_cast<WPARAM>(SIZE_MAXIMIZED));
    qtplatform::SetStateByWindowManager(frame_, qtplatform::ShownState::Normal);
    tvtest::Pump();
    EXPECT_FALSE(IsZoomed(frame_));
}

// Some window managers (xfwm4) give the maximised geometry before the
// maximised state, and the restored geometry before the restored state, as
// the host tells them here: restored, the window has the place the window
// manager gave it, its own from before, and asks for no other.
TEST_F(WmSizingTest, AWindowManagerGivingTheGeometryFirstRestoresTheWindowsOwnPlace) {
    RECT before;
    GetWindowRect(frame_, &before);
    const RECT shown = qtplatform::ShownRect(frame_);
    win32bk::HostResized(frame_, 0, 24, 1600, 976);
    win32bk::HostStateChanged(frame_, true, false);
    tvtest::Pump();
    ASSERT_TRUE(IsZoomed(frame_));
    win32bk::HostResized(frame_, shown.left, shown.top, shown.right - shown.left, shown.bottom - shown.top);
    win32bk::HostStateChanged(frame_, false, false);
    tvtest::Pump();
    EXPECT_FALSE(IsZoomed(frame_));
    RECT after;
    GetWindowRect(frame_, &after);
    EXPECT_TRUE(EqualRect(&after, &before)) << after.left << "," << after.top << " "
                                            << after.right - after.left << "x" << after.bottom - after.top;
    const RECT again = qtplatform::ShownRect(frame_);
    EXPECT_TRUE(EqualRect(&again, &shown)) << again.right - again.left << "x" << again.bottom - again.top;
    ASSERT_FALSE(Sizes().empty());
    EXPECT_EQ(Sizes().back().wParam, static_cast<WPARAM>(SIZE_RESTORED));
    RECT client;
    GetClientRect(frame_, &client);
    EXPECT_EQ(Sizes().back().lParam, MAKELPARAM(client.right, client.bottom));
}

} // namespace
