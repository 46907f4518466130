#include <atomic>
#include <chrono>
#include <thread>

#include "fixture.h"

namespace {
// Pumps until done, for at most ten seconds of real time.
void PumpUntil(const std::atomic<bool>& done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done && std::chrono::steady_clock::now() < end) {
        tvtest::Pump();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}
} // namespace

TEST_F(WindowTest, WorkerSendRunsOnTheUiThread) {
    HWND h = Make();
    static std::thread::id handledOn;
    Hook() = [](HWND, UINT msg, WPARAM w, LPARAM, bool* handled) -> LRESULT {
        if (msg != WM_APP + 1) return 0;
        handledOn = std::this_thread::get_id();
        *handled = true;
        return static_cast<LRESULT>(w * 2);
    };
    std::atomic<LRESULT> result{0};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        result = SendMessageW(h, WM_APP + 1, 21, 0);
        done = true;
    });
    PumpUntil(done);
    worker.join();
    EXPECT_EQ(result, 42);
    EXPECT_EQ(handledOn, std::this_thread::get_id());
}

TEST_F(WindowTest, MessageBoxLoopServesSendsAndPosts) {
    HWND h = Make();
    static std::atomic<int> sent{0}, posted{0};
    sent = posted = 0;
    Hook() = [](HWND, UINT msg, WPARAM, LPARAM, bool* handled) -> LRESULT {
        if (msg == WM_APP + 2) ++sent, *handled = true;
        if (msg == WM_APP + 3) ++posted, *handled = true;
        return 7;
    };
    std::atomic<LRESULT> result{0};
    std::thread worker;
    bool started = false;
    // The box stays open until the worker's send and post have both been handled.
    tvtest::AnswerBoxWith([&](const tvtest::Box&) -> std::optional<int> {
        if (!started) {
            started = true;
            worker = std::thread([&] {
                PostMessageW(h, WM_APP + 3, 0, 0);
                result = SendMessageW(h, WM_APP + 2, 0, 0);
            });
        }
        if (sent == 1 && posted == 1) return IDOK;
        return std::nullopt;
    });
    HWND child = Make(WS_CHILD | WS_VISIBLE, u"TestWnd", 50, 50, h);
    SetFocus(child);
    Log().clear();
    EXPECT_EQ(MessageBoxW(h, u"本文", u"メッセージ", MB_OK | MB_ICONINFORMATION), IDOK);
    // The focus left while the box ran; the owner is active again afterwards.
    ASSERT_FALSE(Of(WM_KILLFOCUS).empty());
    EXPECT_EQ(Of(WM_KILLFOCUS)[0].hwnd, child);
    EXPECT_EQ(GetFocus(), h);
    worker.join();
    EXPECT_EQ(result, 7);
    ASSERT_EQ(tvtest::Boxes().size(), 1u);
    EXPECT_EQ(tvtest::Boxes()[0].caption, u"メッセージ");
    EXPECT_EQ(tvtest::Boxes()[0].text, u"本文");
    EXPECT_EQ(tvtest::Boxes()[0].flags, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    // The owner was disabled while the box ran, and is enabled again.
    EXPECT_TRUE(IsWindowEnabled(h));
    EXPECT_FALSE(Of(WM_ENABLE).empty());
}

TEST_F(WindowTest, SendToAWindowDestroyedMeanwhileReturnsZero) {
    HWND h = Make();
    Hook() = [](HWND, UINT msg, WPARAM, LPARAM, bool* handled) -> LRESULT {
        if (msg == WM_APP + 4) *handled = true;
        return 99;
    };
    std::atomic<LRESULT> result{-1};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        result = SendMessageW(h, WM_APP + 4, 0, 0);
        done = true;
    });
    // The window dies before the UI thread serves the send.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    DestroyWindow(h);
    PumpUntil(done);
    worker.join();
    EXPECT_EQ(result, 0);
}

TEST_F(WindowTest, PostsFromAnyThreadArriveInOrder) {
    HWND h = Make();
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i) PostMessageW(h, WM_APP + 6, static_cast<WPARAM>(i), 0);
    });
    worker.join();
    tvtest::Pump();
    auto posts = Of(WM_APP + 6);
    ASSERT_EQ(posts.size(), 50u);
    for (size_t i = 0; i < posts.size(); ++i) EXPECT_EQ(posts[i].wParam, i);
}

TEST_F(WindowTest, TimersRunOnTheFakeClock) {
    HWND h = Make();
    SetTimer(h, 5, 1000, nullptr);
    tvtest::Pump();
    tvtest::Advance(999);
    EXPECT_TRUE(Of(WM_TIMER).empty());
    tvtest::Advance(1);
    ASSERT_EQ(Of(WM_TIMER).size(), 1u);
    EXPECT_EQ(Of(WM_TIMER)[0].wParam, 5u);
    // Several timers fire in the order they fall due.
    SetTimer(h, 6, 300, nullptr);
    SetTimer(h, 7, 200, nullptr);
    Log().clear();
    DWORD before = GetTickCount();
    tvtest::Advance(450);
    EXPECT_EQ(GetTickCount() - before, 450u);
    std::vector<WPARAM> ids;
    for (auto& l : Of(WM_TIMER)) ids.push_back(l.wParam);
    EXPECT_EQ(ids, (std::vector<WPARAM>{7, 6, 7}));
    KillTimer(h, 5), KillTimer(h, 6), KillTimer(h, 7);
    Log().clear();
    tvtest::Advance(2000);
    EXPECT_TRUE(Of(WM_TIMER).empty());
}

TEST_F(WindowTest, UnansweredBoxFailsAndBeepsAreCounted) {
    int before = tvtest::Beeps();
    MessageBeep(0);
    EXPECT_EQ(tvtest::Beeps(), before + 1);
    tvtest::AnswerBox(IDNO);
    EXPECT_EQ(MessageBoxW(nullptr, u"q", u"Message", MB_YESNO), IDNO);
}

TEST_F(WindowTest, QtMessageBoxIsModalOverItsOwner) {
    HWND h = Make();
    static bool ownerEnabledInside = true, clicked = false;
    static HWND keptAbove = nullptr;
    Hook() = [](HWND hwnd, UINT msg, WPARAM, LPARAM, bool* handled) -> LRESULT {
        if (msg != WM_APP + 11) return 0;
        *handled = true;
        ownerEnabledInside = IsWindowEnabled(hwnd);
        keptAbove = qtplatform::OpenMessageBoxKeptAbove();
        clicked = qtplatform::AnswerOpenMessageBox(IDNO);
        return 0;
    };
    qtplatform::UseQtMessageBox();
    // The posted message is handled inside the box's own loop.
    PostMessageW(h, WM_APP + 11, 0, 0);
    int answer = MessageBoxW(h, u"保存しますか?", u"Message", MB_YESNOCANCEL | MB_ICONQUESTION);
    tvtest::Init(); // the recorder again
    EXPECT_TRUE(clicked);
    EXPECT_EQ(answer, IDNO);
    EXPECT_FALSE(ownerEnabledInside);
    EXPECT_EQ(keptAbove, h); // a transient of its owner, which the window manager keeps it above
    EXPECT_TRUE(IsWindowEnabled(h));
}
