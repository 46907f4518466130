// A press of a mouse button in a window other than the active top-level
// window itself first asks the window (WM_MOUSEACTIVATE, the top-level window
// and where and which button): the parents answer before it, the answer
// decides whether the top-level window is activated and whether the press
// is thrown away. Presses outside the client area are non-client ones.
#include "fixture.h"
#include "testing/framework.h"
#include "win32/menu.h"

namespace {

class MouseActivateTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        tvtest::ClearMenus();
    }
    void TearDown() override {
        tvtest::ClearMenus();
        WindowTest::TearDown();
    }
    // Where the first message of msg to hwnd stands in the log (-1: none).
    static int IndexOf(HWND hwnd, UINT msg) {
        for (size_t i = 0; i < Log().size(); ++i)
            if (Log()[i].hwnd == hwnd && Log()[i].msg == msg) return static_cast<int>(i);
        return -1;
    }
    // The parent answers WM_MOUSEACTIVATE with *answer (0: its default).
    void ParentAnswers(HWND parent, const LRESULT* answer) {
        Hook() = [parent, answer](HWND hwnd, UINT msg, WPARAM, LPARAM, bool* handled) -> LRESULT {
            if (msg != WM_MOUSEACTIVATE || hwnd != parent || *answer == 0) return 0;
            *handled = true;
            return *answer;
        };
    }
};

TEST_F(MouseActivateTest, APressInAChildAsksItAndThenItsParentBeforeTheButtonMessage) {
    HWND top = Make();
    HWND child = Make(WS_CHILD | WS_VISIBLE, u"TestWnd", 60, 60, top);
    SetWindowPos(child, nullptr, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ASSERT_EQ(GetActiveWindow(), top);
    struct Press {
        int button;
        UINT msg;
    };
    for (Press press : {Press{0, WM_LBUTTONDOWN}, Press{1, WM_RBUTTONDOWN}, Press{2, WM_MBUTTONDOWN}}) {
        SCOPED_TRACE(press.button);
        tvtest::Advance(1000);
        Log().clear();
        tvtest::Click(child, 5, 5, press.button);
        const std::vector<Logged> asked = Of(WM_MOUSEACTIVATE);
        ASSERT_EQ(asked.size(), 2u);
        EXPECT_EQ(asked[0].hwnd, child);
        EXPECT_EQ(asked[1].hwnd, top);
        for (const Logged& l : asked) {
            EXPECT_EQ(reinterpret_cast<HWND>(l.wParam), top);
            EXPECT_EQ(LOWORD(l.lParam), HTCLIENT);
            EXPECT_EQ(HIWORD(l.lParam), press.msg);
        }
        const int down = IndexOf(child, press.msg);
        ASSERT_GE(down, 0);
        EXPECT_LT(IndexOf(child, WM_MOUSEACTIVATE), down);
        EXPECT_LT(IndexOf(child, WM_MOUSEACTIVATE), IndexOf(child, WM_SETCURSOR));
        EXPECT_GE(IndexOf(child, press.msg + 1), 0) << "the release";
        EXPECT_TRUE(Of(WM_ACTIVATE).empty()) << "the top-level window was active already";
    }

    // A double click is asked about as such.
    tvtest::Advance(1000);
    tvtest::Click(child, 5, 5);
    Log().clear();
    tvtest::Advance(100);
    tvtest::Click(child, 5, 5);
    ASSERT_EQ(Messages(child, {WM_MOUSEACTIVATE}).size(), 1u);
    EXPECT_EQ(HIWORD(Of(WM_MOUSEACTIVATE)[0].lParam), WM_LBUTTONDBLCLK);

    // A press in the active top-level window itself asks nothing.
    tvtest::Advance(1000);
    Log().clear();
    tvtest::Click(top, 150, 150);
    EXPECT_TRUE(Of(WM_MOUSEACTIVATE).empty());
    EXPECT_EQ(Messages(top, {WM_LBUTTONDOWN}).size(), 1u);

    // While a window holds the capture, the press is its message only.
    SetCapture(child);
    Log().clear();
    tvtest::Click(top, 150, 150);
    ReleaseCapture();
    EXPECT_TRUE(Of(WM_MOUSEACTIVATE).empty());
    EXPECT_EQ(Messages(child, {WM_LBUTTONDOWN}).size(), 1u);
}

TEST_F(MouseActivateTest, TheParentsAnswerWinsAndAnEatingAnswerThrowsThePressAway) {
    HWND top = Make();
    HWND child = Make(WS_CHILD | WS_VISIBLE, u"TestWnd", 60, 60, top);
    LRESULT answer = 0;
    LRESULT childGot = -1;
    Hook() = [&](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) -> LRESULT {
        if (msg != WM_MOUSEACTIVATE) return 0;
        *handled = true;
        if (hwnd == child) return childGot = DefWindowProcW(hwnd, msg, wParam, lParam);
        return answer ? answer : DefWindowProcW(hwnd, msg, wParam, lParam);
    };
    struct Case {
        LRESULT parent;
        LRESULT child;
        bool delivered;
    };
    for (Case c : {Case{MA_ACTIVATEANDEAT, MA_ACTIVATEANDEAT, false},
                   Case{MA_NOACTIVATEANDEAT, MA_NOACTIVATEANDEAT, false},
                   Case{MA_NOACTIVATE, MA_NOACTIVATE, true}, Case{0, MA_ACTIVATE, true}}) {
        SCOPED_TRACE(c.parent);
        answer = c.parent;
        childGot = -1;
        tvtest::Advance(1000);
        Log().clear();
        tvtest::Click(child, 5, 5);
        EXPECT_EQ(childGot, c.child);
        EXPECT_EQ(Messages(child, {WM_LBUTTONDOWN}).size(), c.delivered ? 1u : 0u);
        // The release of an eaten press still comes.
        EXPECT_EQ(Messages(child, {WM_LBUTTONUP}).size(), 1u);
    }

    // The child's own answer, made without its default processing, asks no parent.
    Hook() = [&](HWND hwnd, UINT msg, WPARAM, LPARAM, bool* handled) -> LRESULT {
        if (msg != WM_MOUSEACTIVATE || hwnd != child) return 0;
        *handled = true;
        return MA_NOACTIVATEANDEAT;
    };
    tvtest::Advance(1000);
    Log().clear();
    tvtest::Click(child, 5, 5);
    EXPECT_TRUE(Messages(top, {WM_MOUSEACTIVATE}).empty());
    EXPECT_TRUE(Messages(child, {WM_LBUTTONDOWN}).empty());
}

TEST_F(MouseActivateTest, TheAnswerDecidesWhetherAnInactiveTopLevelWindowIsActivated) {
    HWND first = Make();
    HWND child = Make(WS_CHILD | WS_VISIBLE, u"TestWnd", 60, 60, first);
    HWND second = Make();
    SetWindowPos(second, nullptr, 400, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ASSERT_EQ(GetActiveWindow(), second);
    LRESULT answer = MA_NOACTIVATE;
    ParentAnswers(first, &answer);

    // Not activated, the press is still delivered.
    Log().clear();
    tvtest::Click(child, 5, 5);
    EXPECT_EQ(GetActiveWindow(), second);
    EXPECT_TRUE(Of(WM_ACTIVATE).empty());
    EXPECT_EQ(Messages(child, {WM_LBUTTONDOWN}).size(), 1u);
    Log().clear();
    answer = MA_NOACTIVATEANDEAT;
    tvtest::Advance(1000);
    tvtest::Click(child, 5, 5);
    EXPECT_EQ(GetActiveWindow(), second);
    EXPECT_TRUE(Messages(child, {WM_LBUTTONDOWN}).empty());

    // Activated by the click (WA_CLICKACTIVE) after the question and before the press.
    answer = 0;
    tvtest::Advance(1000);
    Log().clear();
    tvtest::Click(child, 5, 5);
    EXPECT_EQ(GetActiveWindow(), first);
    EXPECT_TRUE(ActivationMoved(second, first));
    ASSERT_EQ(Of(WM_ACTIVATE).size(), 2u);
    EXPECT_EQ(LOWORD(Of(WM_ACTIVATE)[1].wParam), WA_CLICKACTIVE);
    EXPECT_LT(IndexOf(first, WM_MOUSEACTIVATE), IndexOf(first, WM_ACTIVATE));
    EXPECT_LT(IndexOf(first, WM_ACTIVATE), IndexOf(child, WM_LBUTTONDOWN));

    // Activated, the press eaten.
    SetFocus(second);
    answer = MA_ACTIVATEANDEAT;
    tvtest::Advance(1000);
    Log().clear();
    tvtest::Click(child, 5, 5);
    EXPECT_EQ(GetActiveWindow(), first);
    EXPECT_TRUE(Messages(child, {WM_LBUTTONDOWN}).empty());

    // A press in the inactive top-level window itself asks it too.
    SetFocus(second);
    answer = 0;
    Log().clear();
    tvtest::Click(first, 150, 150);
    ASSERT_EQ(Messages(first, {WM_MOUSEACTIVATE}).size(), 1u);
    EXPECT_EQ(reinterpret_cast<HWND>(Of(WM_MOUSEACTIVATE)[0].wParam), first);
    EXPECT_EQ(GetActiveWindow(), first);
}

TEST_F(MouseActivateTest, PressesOutsideTheClientAreaAreNonClientOnesWithTheirHitTestCode) {
    HWND top = Make();
    HWND framed = Make(WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL, u"TestWnd", 80, 80, top);
    SetWindowPos(framed, nullptr, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE, 0, 99, 10, 0, 0};
    SetScrollInfo(framed, SB_VERT, &si, TRUE);
    tvtest::Pump();

    // The border: the non-client press and release, at the point on the screen.
    Log().clear();
    tvtest::Click(framed, 10, -1);
    const std::vector<Logged> asked = Of(WM_MOUSEACTIVATE);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(LOWORD(asked[0].lParam), HTBORDER);
    EXPECT_EQ(HIWORD(asked[0].lParam), WM_NCLBUTTONDOWN);
    EXPECT_EQ(Messages(framed, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_NCLBUTTONDOWN, WM_NCLBUTTONUP}),
              (std::vector<UINT>{WM_NCLBUTTONDOWN, WM_NCLBUTTONUP}));
    const std::vector<Logged> nc = Of(WM_NCLBUTTONDOWN);
    ASSERT_EQ(nc.size(), 1u);
    EXPECT_EQ(nc[0].wParam, static_cast<WPARAM>(HTBORDER));
    POINT screen{10, -1};
    ClientToScreen(framed, &screen);
    EXPECT_EQ(GET_X_LPARAM(nc[0].lParam), screen.x);
    EXPECT_EQ(GET_Y_LPARAM(nc[0].lParam), screen.y);
    EXPECT_LT(IndexOf(framed, WM_MOUSEACTIVATE), IndexOf(framed, WM_NCLBUTTONDOWN));

    // The window's own scroll bar; an eating answer leaves it unscrolled.
    const auto g = tvtest::BarParts(framed, SB_VERT);
    const int trough = (g.slider.bottom + g.groove.bottom) / 2;
    Log().clear();
    tvtest::BarDown(framed, SB_VERT, 5, trough);
    tvtest::BarUp(framed, SB_VERT);
    ASSERT_EQ(Messages(framed, {WM_MOUSEACTIVATE}).size(), 1u);
    EXPECT_EQ(LOWORD(Of(WM_MOUSEACTIVATE)[0].lParam), HTVSCROLL);
    EXPECT_EQ(HIWORD(Of(WM_MOUSEACTIVATE)[0].lParam), WM_NCLBUTTONDOWN);
    EXPECT_LT(IndexOf(framed, WM_MOUSEACTIVATE), IndexOf(framed, WM_VSCROLL));
    const LRESULT eat = MA_ACTIVATEANDEAT;
    ParentAnswers(top, &eat);
    Log().clear();
    tvtest::BarDown(framed, SB_VERT, 5, trough);
    tvtest::BarUp(framed, SB_VERT);
    EXPECT_EQ(Messages(framed, {WM_MOUSEACTIVATE}).size(), 1u);
    EXPECT_TRUE(Of(WM_VSCROLL).empty());
}

// The menu bar of a window that is not active: the press asks it (HTMENU)
// and activates it before the menu opens; an eating answer opens no menu.
TEST_F(MouseActivateTest, APressOnTheMenuBarOfAnInactiveWindowActivatesItBeforeTheMenu) {
    HWND frame = MakeWithMenu();
    HWND other = Make();
    SetWindowPos(other, nullptr, 600, 400, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    tvtest::Pump();
    ASSERT_EQ(GetActiveWindow(), other);
    RECT barRect;
    std::vector<win32bk::MenuBarItem> items;
    ASSERT_TRUE(win32bk::GetMenuBarItems(frame, &barRect, &items));
    const POINT title{(items[0].rect.left + items[0].rect.right) / 2,
                      (items[0].rect.top + items[0].rect.bottom) / 2 - win32bk::MenuBarHeight()};

    const LRESULT eat = MA_ACTIVATEANDEAT;
    ParentAnswers(frame, &eat);
    Log().clear();
    tvtest::Click(frame, title.x, title.y);
    tvtest::Pump();
    ASSERT_EQ(Messages(frame, {WM_MOUSEACTIVATE}).size(), 1u);
    EXPECT_EQ(LOWORD(Of(WM_MOUSEACTIVATE)[0].lParam), HTMENU);
    EXPECT_EQ(HIWORD(Of(WM_MOUSEACTIVATE)[0].lParam), WM_NCLBUTTONDOWN);
    EXPECT_EQ(GetActiveWindow(), frame);
    EXPECT_TRUE(tvtest::Menus().empty());
    EXPECT_TRUE(Messages(frame, {WM_ENTERMENULOOP}).empty());

    Hook() = nullptr;
    SetFocus(other);
    tvtest::AnswerMenu(101);
    Log().clear();
    tvtest::Click(frame, title.x, title.y);
    tvtest::Pump();
    EXPECT_EQ(GetActiveWindow(), frame);
    EXPECT_EQ(tvtest::Menus().size(), 1u);
    const int asked = IndexOf(frame, WM_MOUSEACTIVATE), activated = IndexOf(frame, WM_ACTIVATE),
              loop = IndexOf(frame, WM_ENTERMENULOOP);
    ASSERT_GE(asked, 0);
    EXPECT_LT(asked, activated);
    EXPECT_LT(activated, loop);
}

// A window that never takes the activation answers so: the drop-down list
// of a combo box is pressed without its dialog losing the activation.
TEST_F(MouseActivateTest, ADroppedComboListKeepsItsDialogActive) {
    HWND top = Make();
    HWND combo = CreateWindowExW(0, u"COMBOBOX", u"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 10, 10, 120,
                                 200, top, nullptr, nullptr, nullptr);
    ASSERT_TRUE(combo);
    for (const char16_t* s : {u"一", u"二", u"三"})
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    SetFocus(combo);
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    tvtest::Pump();
    ASSERT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    // The list window, as the test drivers ask for it.
    HWND list = reinterpret_cast<HWND>(SendMessageW(combo, CB_GETDROPPEDSTATE + 0x100, 0, 0));
    ASSERT_TRUE(list);
    Log().clear();
    tvtest::Click(list, 5, 5);
    tvtest::Pump();
    EXPECT_EQ(GetActiveWindow(), top);
    EXPECT_EQ(GetFocus(), combo);
    EXPECT_TRUE(Of(WM_ACTIVATE).empty());
    EXPECT_FALSE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
    DestroyWindow(combo);
}

} // namespace
