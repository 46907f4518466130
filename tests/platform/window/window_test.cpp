#include <chrono>
#include <thread>

#include "fixture.h"

using qtplatform::Mods;

TEST_F(WindowTest, CreationSendsNcCreateCreateThenSize) {
    HWND h = Make();
    ASSERT_TRUE(h);
    auto m = Messages(h, {WM_NCCREATE, WM_CREATE, WM_SIZE});
    ASSERT_GE(m.size(), 3u);
    EXPECT_EQ(m[0], static_cast<UINT>(WM_NCCREATE));
    EXPECT_EQ(m[1], static_cast<UINT>(WM_CREATE));
    EXPECT_EQ(m[2], static_cast<UINT>(WM_SIZE));
    RECT r;
    GetClientRect(h, &r);
    EXPECT_EQ(r.right, 300);
    EXPECT_EQ(r.bottom, 200);
}

// A child made without WS_VISIBLE before its parent is shown stays hidden
// when the parent shows, on screen as to the program; its sibling shows.
TEST_F(WindowTest, AHiddenChildStaysUnmappedWhenItsParentShows) {
    HWND parent = Make(WS_OVERLAPPED);
    HWND hidden = Make(WS_CHILD, u"TestWnd", 100, 10, parent);
    HWND shown = Make(WS_CHILD | WS_VISIBLE, u"TestWnd", 50, 50, parent);
    ASSERT_TRUE(parent && hidden && shown);
    ShowWindow(parent, SW_SHOW);
    tvtest::Pump();
    EXPECT_FALSE(IsWindowVisible(hidden));
    EXPECT_FALSE(qtplatform::IsMapped(hidden));
    EXPECT_TRUE(qtplatform::IsMapped(shown));
    ShowWindow(hidden, SW_SHOW);
    tvtest::Pump();
    EXPECT_TRUE(qtplatform::IsMapped(hidden));
    ShowWindow(hidden, SW_HIDE);
    tvtest::Pump();
    EXPECT_FALSE(qtplatform::IsMapped(hidden));
}

TEST_F(WindowTest, CreateReturningMinusOneFails) {
    Hook() = [](HWND, UINT msg, WPARAM, LPARAM, bool* handled) -> LRESULT {
        if (msg != WM_CREATE) return 0;
        *handled = true;
        return -1;
    };
    EXPECT_EQ(Make(), nullptr);
    EXPECT_FALSE(Of(WM_NCDESTROY).empty());
}

TEST_F(WindowTest, DestroyOrderAndStaleHandles) {
    HWND parent = Make();
    HWND child = Make(WS_CHILD | WS_VISIBLE, u"TestWnd", 50, 50, parent);
    ASSERT_TRUE(child);
    Log().clear();
    DestroyWindow(parent);
    std::vector<std::pair<HWND, UINT>> order;
    for (auto& l : Log())
        if (l.msg == WM_DESTROY || l.msg == WM_NCDESTROY) order.push_back({l.hwnd, l.msg});
    ASSERT_EQ(order.size(), 4u);
    EXPECT_EQ(order[0], std::make_pair(parent, static_cast<UINT>(WM_DESTROY)));
    EXPECT_EQ(order[1], std::make_pair(child, static_cast<UINT>(WM_DESTROY)));
    EXPECT_EQ(order[2], std::make_pair(child, static_cast<UINT>(WM_NCDESTROY)));
    EXPECT_EQ(order[3], std::make_pair(parent, static_cast<UINT>(WM_NCDESTROY)));
    EXPECT_FALSE(IsWindow(parent));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(SendMessageW(parent, WM_USER, 0, 0), 0);
    EXPECT_FALSE(PostMessageW(parent, WM_USER, 0, 0));
}

TEST_F(WindowTest, WindowDestroyingItselfInAHandler) {
    HWND h = Make();
    Hook() = [](HWND hwnd, UINT msg, WPARAM, LPARAM, bool* handled) -> LRESULT {
        if (msg == WM_USER + 1) {
            DestroyWindow(hwnd);
            *handled = true;
            return 42;
        }
        return 0;
    };
    EXPECT_EQ(SendMessageW(h, WM_USER + 1, 0, 0), 42);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(SendMessageW(h, WM_USER + 1, 0, 0), 0);
    // Also from input: a key handled by destroying the window.
    HWND k = Make();
    SetFocus(k);
    Hook() = [](HWND hwnd, UINT msg, WPARAM, LPARAM, bool*) -> LRESULT {
        if (msg == WM_KEYDOWN) DestroyWindow(hwnd);
        return 0;
    };
    tvtest::Key(k, 'Q');
    tvtest::Pump();
    EXPECT_FALSE(IsWindow(k));
}

TEST_F(WindowTest, SubclassingThroughWndProc) {
    HWND h = Make();
    static WNDPROC old;
    old = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND hwnd, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            if (m == WM_USER + 7) return 7 + CallWindowProcW(old, hwnd, m, w, l);
            return CallWindowProcW(old, hwnd, m, w, l);
        })));
    EXPECT_EQ(SendMessageW(h, WM_USER + 7, 0, 0), 7);
    EXPECT_EQ(Of(WM_USER + 7).size(), 1u);
}

TEST_F(WindowTest, KeysBecomeKeyDownAndChar) {
    HWND h = Make();
    SetFocus(h);
    Log().clear();
    tvtest::Key(h, qtplatform::Key_Home);
    tvtest::Pump();
    auto downs = Of(WM_KEYDOWN);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].wParam, static_cast<WPARAM>(VK_HOME));
    EXPECT_TRUE(downs[0].lParam & (1 << 24));
    EXPECT_TRUE(Of(WM_CHAR).empty());

    Log().clear();
    tvtest::Key(h, 'A', static_cast<unsigned>(Mods::Ctrl), u"\x01");
    tvtest::Pump();
    ASSERT_EQ(Of(WM_KEYDOWN).size(), 1u);
    EXPECT_EQ(Of(WM_KEYDOWN)[0].wParam, 0x41u);
    ASSERT_EQ(Of(WM_CHAR).size(), 1u);
    EXPECT_EQ(Of(WM_CHAR)[0].wParam, 1u);

    Log().clear();
    static short shiftDuringChar = 0;
    Hook() = [](HWND, UINT msg, WPARAM, LPARAM, bool*) -> LRESULT {
        if (msg == WM_CHAR) shiftDuringChar = GetKeyState(VK_SHIFT);
        return 0;
    };
    tvtest::Key(h, qtplatform::Key_Backtab, static_cast<unsigned>(Mods::Shift));
    tvtest::Pump();
    ASSERT_EQ(Of(WM_KEYDOWN).size(), 1u);
    EXPECT_EQ(Of(WM_KEYDOWN)[0].wParam, static_cast<WPARAM>(VK_TAB));
    ASSERT_EQ(Of(WM_CHAR).size(), 1u);
    EXPECT_EQ(Of(WM_CHAR)[0].wParam, 9u);
    EXPECT_LT(shiftDuringChar, 0);
    tvtest::KeyUp(h, qtplatform::Key_Shift);
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
}

TEST_F(WindowTest, TypedTextGoesOutAsUtf16Units) {
    HWND h = Make();
    SetFocus(h);
    Log().clear();
    tvtest::Type(h, u"あ𠀋");
    tvtest::Pump();
    std::vector<WPARAM> chars;
    for (auto& l : Of(WM_CHAR)) chars.push_back(l.wParam);
    EXPECT_EQ(chars, (std::vector<WPARAM>{0x3042, 0xD840, 0xDC0B}));
}

TEST_F(WindowTest, AltCombinationsAreSystemKeys) {
    HWND h = Make();
    SetFocus(h);
    Log().clear();
    tvtest::Key(h, 'X', static_cast<unsigned>(Mods::Alt), u"x");
    tvtest::Key(h, qtplatform::Key_F10);
    tvtest::Pump();
    EXPECT_TRUE(Of(WM_CHAR).empty());
    ASSERT_EQ(Of(WM_SYSKEYDOWN).size(), 2u);
    EXPECT_EQ(Of(WM_SYSKEYDOWN)[0].wParam, static_cast<WPARAM>('X'));
    EXPECT_EQ(Of(WM_SYSKEYDOWN)[1].wParam, static_cast<WPARAM>(VK_F10));
    EXPECT_EQ(Of(WM_SYSCHAR).size(), 1u);
    // Alt alone is a system key both ways.
    Log().clear();
    tvtest::KeyDown(h, qtplatform::Key_Alt, static_cast<unsigned>(Mods::Alt));
    tvtest::KeyUp(h, qtplatform::Key_Alt);
    EXPECT_EQ(Of(WM_SYSKEYDOWN).size(), 1u);
    EXPECT_EQ(Of(WM_SYSKEYUP).size(), 1u);
    EXPECT_GE(GetKeyState(VK_MENU), 0);
}

TEST_F(WindowTest, CharIsQueuedBeforeWhatTheKeyDownHandlerPosts) {
    HWND h = Make();
    SetFocus(h);
    Hook() = [](HWND hwnd, UINT msg, WPARAM, LPARAM, bool*) -> LRESULT {
        if (msg == WM_KEYDOWN) PostMessageW(hwnd, WM_APP + 5, 0, 0);
        return 0;
    };
    Log().clear();
    tvtest::Key(h, 'B', 0, u"b");
    tvtest::Pump();
    auto m = Messages(h, {WM_KEYDOWN, WM_CHAR, WM_APP + 5});
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[1], static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(m[2], static_cast<UINT>(WM_APP + 5));
}

TEST_F(WindowTest, TabFocusChainDoesNotMoveFocus) {
    HWND h = Make();
    HWND a = Make(WS_CHILD | WS_VISIBLE, u"TestWnd", 50, 50, h);
    Make(WS_CHILD | WS_VISIBLE, u"TestWnd", 50, 50, h);
    SetFocus(a);
    tvtest::Key(a, qtplatform::Key_Tab);
    tvtest::Pump();
    EXPECT_EQ(GetFocus(), a);
}

TEST_F(WindowTest, DoubleClicksOnThePlatformClock) {
    HWND h = Make();
    Log().clear();
    tvtest::Click(h, 10, 10);
    tvtest::Advance(100);
    tvtest::Click(h, 11, 10);
    tvtest::Advance(100);
    tvtest::Click(h, 11, 10);
    auto m = Messages(h, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK});
    EXPECT_EQ(m, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP,
                                    WM_LBUTTONDOWN, WM_LBUTTONUP}));
    // WM_SETCURSOR comes before each button message.
    size_t cursors = Of(WM_SETCURSOR).size();
    EXPECT_GE(cursors, 6u);

    HWND plain = Make(WS_OVERLAPPED | WS_VISIBLE, u"TestWndNoDbl");
    Log().clear();
    tvtest::Click(plain, 10, 10);
    tvtest::Advance(100);
    tvtest::Click(plain, 10, 10);
    EXPECT_EQ(Messages(plain, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK}),
              (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP}));

    // Too late for a double click.
    Log().clear();
    tvtest::Advance(1000);
    tvtest::Click(h, 10, 10);
    tvtest::Advance(GetDoubleClickTime() + 1);
    tvtest::Click(h, 10, 10);
    EXPECT_TRUE(Of(WM_LBUTTONDBLCLK).empty());
}

TEST_F(WindowTest, CaptureTakesMouseMessagesOutsideToo) {
    HWND h = Make();
    HWND a = Make(WS_CHILD | WS_VISIBLE, u"TestWnd", 50, 50, h);
    SetCapture(a);
    Log().clear();
    tvtest::MouseMove(h, 200, 150);
    auto moves = Of(WM_MOUSEMOVE);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].hwnd, a);
    EXPECT_EQ(GET_X_LPARAM(moves[0].lParam), 200);
    ReleaseCapture();
    EXPECT_EQ(Of(WM_CAPTURECHANGED).size(), 1u);
}

TEST_F(WindowTest, WheelAccumulatesToMultiplesOf120) {
    HWND h = Make();
    Log().clear();
    tvtest::Wheel(h, 10, 10, 40);
    tvtest::Wheel(h, 10, 10, 40);
    EXPECT_TRUE(Of(WM_MOUSEWHEEL).empty());
    tvtest::Wheel(h, 10, 10, 40);
    auto w = Of(WM_MOUSEWHEEL);
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(w[0].wParam), 120);
    // A change of direction drops the remainder.
    Log().clear();
    tvtest::Wheel(h, 10, 10, 100);
    tvtest::Wheel(h, 10, 10, -100);
    tvtest::Wheel(h, 10, 10, -20);
    w = Of(WM_MOUSEWHEEL);
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(w[0].wParam), -120);
    Log().clear();
    tvtest::Wheel(h, 10, 10, 0, 120);
    w = Of(WM_MOUSEHWHEEL);
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(w[0].wParam), -120);
}

TEST_F(WindowTest, UnhandledWheelGoesToTheParent) {
    HWND h = Make();
    HWND a = Make(WS_CHILD | WS_VISIBLE, u"TestWnd", 50, 50, h);
    Log().clear();
    tvtest::Wheel(a, 5, 5, 120);
    auto w = Of(WM_MOUSEWHEEL);
    ASSERT_EQ(w.size(), 2u);
    EXPECT_EQ(w[0].hwnd, a);
    EXPECT_EQ(w[1].hwnd, h);
}

TEST_F(WindowTest, FocusMessagesCarryTheOtherWindow) {
    HWND a = Make();
    HWND b = Make();
    SetFocus(a);
    Log().clear();
    SetFocus(b);
    auto kill = Of(WM_KILLFOCUS);
    auto set = Of(WM_SETFOCUS);
    ASSERT_EQ(kill.size(), 1u);
    ASSERT_EQ(set.size(), 1u);
    EXPECT_EQ(kill[0].hwnd, a);
    EXPECT_EQ(reinterpret_cast<HWND>(kill[0].wParam), b);
    EXPECT_EQ(reinterpret_cast<HWND>(set[0].wParam), a);
}

TEST_F(WindowTest, SetCursorAsksTheParentFirst) {
    HWND h = Make();
    HWND a = Make(WS_CHILD | WS_VISIBLE, u"TestWnd", 50, 50, h);
    Hook() = [h](HWND hwnd, UINT msg, WPARAM, LPARAM, bool* handled) -> LRESULT {
        if (msg == WM_SETCURSOR && hwnd == h) {
            *handled = true;
            SetCursor(nullptr);
            return TRUE;
        }
        return 0;
    };
    tvtest::MouseMove(a, 5, 5);
    EXPECT_EQ(GetCursor(), nullptr);
    Hook() = nullptr;
    tvtest::MouseMove(a, 6, 5);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
}

// A top-level window's name is its title on the screen from the start (a
// dialog made from a template gets no WM_SETTEXT), and follows its changes.
TEST_F(WindowTest, TheWindowManagerShowsTheNameAsTitle) {
    HWND h = CreateWindowExW(0, u"TestWnd", u"検索", WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, 0, 0, 200, 100,
                             nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(h);
    EXPECT_EQ(qtplatform::ShownTitle(h), u"検索");
    SetWindowTextW(h, u"置換");
    EXPECT_EQ(qtplatform::ShownTitle(h), u"置換");
    DestroyWindow(h);
}

TEST_F(WindowTest, ShowingATopLevelWindowActivatesIt) {
    HWND a = Make();
    EXPECT_EQ(GetFocus(), a);
    EXPECT_EQ(GetActiveWindow(), a);
    HWND b = Make(WS_OVERLAPPED);
    EXPECT_EQ(GetFocus(), a);
    Log().clear();
    ShowWindow(b, SW_SHOW);
    EXPECT_EQ(GetFocus(), b);
    EXPECT_TRUE(ActivationMoved(a, b));
    ShowWindow(a, SW_HIDE);
    ShowWindow(a, SW_SHOWNA);
    EXPECT_EQ(GetFocus(), b);
}

// An owned window (a modeless dialog over its frame) that is active and is
// hidden or destroyed hands the activation back to its owner, and the
// owner's keys reach it again. An owner that is disabled or going away
// itself is not activated.
TEST_F(WindowTest, HidingOrDestroyingTheActiveOwnedWindowActivatesItsOwner) {
    HWND frame = Make();
    HWND owned = Make(WS_OVERLAPPED | WS_VISIBLE, u"TestWnd", 100, 80, frame);
    ASSERT_EQ(GetWindow(owned, GW_OWNER), frame);
    ASSERT_EQ(GetActiveWindow(), owned);

    Log().clear();
    ShowWindow(owned, SW_HIDE);
    EXPECT_EQ(GetActiveWindow(), frame);
    EXPECT_EQ(GetFocus(), frame);
    EXPECT_TRUE(ActivationMoved(owned, frame));
    Log().clear();
    tvtest::Key(frame, qtplatform::Key_F1 + 2);
    EXPECT_EQ(Messages(frame, {WM_KEYDOWN}).size(), 1u);
    EXPECT_TRUE(Messages(owned, {WM_KEYDOWN}).empty());

    ShowWindow(owned, SW_SHOW);
    ASSERT_EQ(GetActiveWindow(), owned);
    DestroyWindow(owned);
    EXPECT_EQ(GetActiveWindow(), frame);
    Log().clear();
    tvtest::Key(frame, qtplatform::Key_F1 + 2);
    EXPECT_EQ(Messages(frame, {WM_KEYDOWN}).size(), 1u);

    // Hidden through SetWindowPos too.
    HWND second = Make(WS_OVERLAPPED | WS_VISIBLE, u"TestWnd", 100, 80, frame);
    ASSERT_EQ(GetActiveWindow(), second);
    SetWindowPos(second, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(GetActiveWindow(), frame);

    // A disabled owner stays inactive; one being destroyed hears no activation.
    ShowWindow(second, SW_SHOW);
    EnableWindow(frame, FALSE);
    ShowWindow(second, SW_HIDE);
    EXPECT_NE(GetActiveWindow(), frame);
    EnableWindow(frame, TRUE);
    ShowWindow(second, SW_SHOW);
    ASSERT_EQ(GetActiveWindow(), second);
    Log().clear();
    DestroyWindow(frame);
    EXPECT_FALSE(IsWindow(second));
    for (auto& l : Of(WM_ACTIVATE)) EXPECT_EQ(LOWORD(l.wParam), WA_INACTIVE) << "activated while going away";
}

TEST_F(WindowTest, AsyncKeyStateFollowsTheKeyboard) {
    HWND h = Make();
    SetFocus(h);
    tvtest::KeyDown(h, qtplatform::Key_Escape);
    short fromWorker = 0;
    std::thread([&] { fromWorker = GetAsyncKeyState(VK_ESCAPE); }).join();
    EXPECT_LT(fromWorker, 0);
    tvtest::KeyUp(h, qtplatform::Key_Escape);
    EXPECT_GE(GetAsyncKeyState(VK_ESCAPE), 0);
}

// A thread held by a long run that polls its cancel key, as a running script
// is: the display still gets the window's picture from its buffer (a window
// mapped again, whose picture the display has not asked for yet, shows what
// was painted into it since), while the window manager's close request comes
// to the window only once the thread is back in its loop.
TEST_F(WindowTest, AHeldThreadStillShowsPicturesAndTakesACloseOnlyAfterwards) {
    COLORREF color = RGB(200, 0, 0);
    Hook() = [&](HWND hwnd, UINT msg, WPARAM, LPARAM, bool* handled) -> LRESULT {
        if (msg != WM_PAINT) return 0;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        HBRUSH brush = CreateSolidBrush(color);
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        EndPaint(hwnd, &ps);
        *handled = true;
        return 0;
    };
    HWND h = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    tvtest::Pump();
    auto same = [&] {
        const qtplatform::Image shown = qtplatform::Shown(h), painted = qtplatform::Capture(h);
        return painted.width > 0 && shown.width == painted.width && shown.height == painted.height &&
               shown.pixels == painted.pixels;
    };
    ASSERT_TRUE(same());
    ShowWindow(h, SW_HIDE);
    ShowWindow(h, SW_SHOW);
    color = RGB(0, 0, 200);
    InvalidateRect(h, nullptr, TRUE);
    UpdateWindow(h);
    qtplatform::AskToClose(h);
    Log().clear();
    bool shown = false, closedWhileHeld = false;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!shown && std::chrono::steady_clock::now() < giveUp) {
        GetAsyncKeyState(VK_CANCEL);
        shown = same();
        closedWhileHeld = closedWhileHeld || !Messages(h, {WM_CLOSE}).empty();
    }
    EXPECT_TRUE(shown);
    EXPECT_FALSE(closedWhileHeld);
    tvtest::Pump();
    EXPECT_EQ(Messages(h, {WM_CLOSE}).size(), 1u);
}
