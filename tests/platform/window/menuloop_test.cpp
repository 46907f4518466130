// How a menu loop ends, through the display's input: a press outside its
// popups (on the owner, on another window, on the open title), Esc, Alt and
// the input going to another program cancel it, a press on another title of
// the bar opens that one, and the next menu opens as usual afterwards. The
// bar as a desktop's: the pointer moved onto another title opens its menu,
// and a lone Alt selects the first title for the keyboard.
#include <algorithm>

#include "display/display.h"
#include "fixture.h"
#include "testing/framework.h"
#include "win32/menu.h"

namespace {

constexpr UINT kOpen = 101;
constexpr UINT kCopy = 201;

class MenuLoopTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        tvtest::ClearMenus();
        frame_ = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, u"TestWnd", 400, 300);
        HMENU bar = CreateMenu();
        file_ = CreatePopupMenu();
        AppendMenuW(file_, MF_STRING, kOpen, u"開く(&O)");
        edit_ = CreatePopupMenu();
        AppendMenuW(edit_, MF_STRING, kCopy, u"コピー(&C)");
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file_), u"ファイル(&F)");
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(edit_), u"編集(&E)");
        SetMenu(frame_, bar);
        tvtest::Pump();
        Log().clear();
    }
    void TearDown() override {
        tvtest::ClearMenus();
        WindowTest::TearDown();
    }
    // A title of the frame's bar, in the frame's client coordinates.
    POINT Title(int index) const {
        RECT bar;
        std::vector<win32bk::MenuBarItem> items;
        EXPECT_TRUE(win32bk::GetMenuBarItems(frame_, &bar, &items));
        const RECT& r = items.at(static_cast<size_t>(index)).rect;
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2 - win32bk::MenuBarHeight()};
    }
    void ClickTitle(int index) {
        POINT p = Title(index);
        tvtest::Click(frame_, p.x, p.y);
        tvtest::Pump();
    }
    void Hover(int index) {
        POINT p = Title(index);
        tvtest::MouseMove(frame_, p.x, p.y);
    }
    int HotTitle() const {
        RECT bar;
        std::vector<win32bk::MenuBarItem> items;
        win32bk::GetMenuBarItems(frame_, &bar, &items);
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].hot) return static_cast<int>(i);
        return -1;
    }
    void LoneAlt() {
        tvtest::KeyDown(frame_, qtplatform::Key_Alt, static_cast<unsigned>(qtplatform::Mods::Alt));
        tvtest::KeyUp(frame_, qtplatform::Key_Alt);
        tvtest::Pump();
    }
    bool AnyTitleHot() const {
        RECT bar;
        std::vector<win32bk::MenuBarItem> items;
        win32bk::GetMenuBarItems(frame_, &bar, &items);
        return std::any_of(items.begin(), items.end(), [](const win32bk::MenuBarItem& i) { return i.hot; });
    }
    std::vector<UINT> Commands() const {
        std::vector<UINT> out;
        for (const Logged& l : Log())
            if (l.hwnd == frame_ && l.msg == WM_COMMAND) out.push_back(LOWORD(l.wParam));
        return out;
    }
    // The next menu opens and delivers its command.
    void ExpectTheFileMenuWorks() {
        Log().clear();
        tvtest::AnswerMenu(kOpen);
        ClickTitle(0);
        EXPECT_EQ(Commands(), std::vector<UINT>{kOpen});
    }

    HWND frame_ = nullptr;
    HMENU file_ = nullptr;
    HMENU edit_ = nullptr;
};

TEST_F(MenuLoopTest, APressOnTheOwnerOrAnotherWindowCancelsAndIsNotDelivered) {
    HWND other = Make(WS_OVERLAPPED | WS_VISIBLE, u"TestWnd", 200, 150);
    SetWindowPos(other, nullptr, 600, 400, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    tvtest::Pump();
    for (HWND target : {frame_, other}) {
        SCOPED_TRACE(target == frame_ ? "the owner" : "another window");
        Log().clear();
        tvtest::InMenu([&](const win32bk::ShownMenu& shown) {
            EXPECT_EQ(shown.menu, file_);
            tvtest::Click(target, 50, 60);
        });
        ClickTitle(0);
        EXPECT_FALSE(win32bk::MenuLoopRunning());
        EXPECT_FALSE(AnyTitleHot());
        EXPECT_TRUE(Messages(target, {WM_LBUTTONDOWN}).empty());
        EXPECT_EQ(Messages(frame_, {WM_ENTERMENULOOP, WM_EXITMENULOOP}),
                  (std::vector<UINT>{WM_ENTERMENULOOP, WM_EXITMENULOOP}));
        EXPECT_TRUE(Commands().empty());
        ExpectTheFileMenuWorks();
    }
}

TEST_F(MenuLoopTest, APressOnTheOpenTitleClosesItAndOnAnotherTitleOpensThatOne) {
    tvtest::InMenu([&](const win32bk::ShownMenu&) {
        POINT p = Title(0);
        tvtest::Click(frame_, p.x, p.y);
    });
    ClickTitle(0);
    EXPECT_EQ(tvtest::Menus().size(), 1u);
    EXPECT_FALSE(AnyTitleHot());
    EXPECT_TRUE(Commands().empty());
    ExpectTheFileMenuWorks();

    tvtest::ClearMenus();
    Log().clear();
    tvtest::InMenu([&](const win32bk::ShownMenu&) {
        POINT p = Title(1);
        tvtest::Click(frame_, p.x, p.y);
    });
    tvtest::AnswerMenu(kCopy);
    ClickTitle(0);
    ASSERT_EQ(tvtest::Menus().size(), 2u);
    EXPECT_EQ(tvtest::Menus()[1].menu, edit_);
    EXPECT_EQ(Commands(), std::vector<UINT>{kCopy});
    // One loop for the bar, however many of its titles were opened.
    EXPECT_EQ(Messages(frame_, {WM_ENTERMENULOOP, WM_EXITMENULOOP}),
              (std::vector<UINT>{WM_ENTERMENULOOP, WM_EXITMENULOOP}));
}

TEST_F(MenuLoopTest, EscAndAltCloseItAndTheAltLetGoDoesNotOpenTheBarAgain) {
    tvtest::InMenu([&](const win32bk::ShownMenu&) { tvtest::Key(frame_, qtplatform::Key_Escape); });
    ClickTitle(0);
    EXPECT_FALSE(AnyTitleHot());
    ExpectTheFileMenuWorks();

    tvtest::ClearMenus();
    tvtest::InMenu([&](const win32bk::ShownMenu&) {
        tvtest::KeyDown(frame_, qtplatform::Key_Alt, static_cast<unsigned>(qtplatform::Mods::Alt));
    });
    ClickTitle(0);
    // A menu opened by the release would be unanswered.
    tvtest::KeyUp(frame_, qtplatform::Key_Alt);
    tvtest::Pump();
    EXPECT_EQ(tvtest::Menus().size(), 1u);
    EXPECT_FALSE(AnyTitleHot());
    ExpectTheFileMenuWorks();
}

TEST_F(MenuLoopTest, ATrackedPopupCancelledOutsideReturnsZeroAndTheNextOneWorks) {
    tvtest::InMenu([&](const win32bk::ShownMenu&) { tvtest::Click(frame_, 300, 200, 1); });
    EXPECT_EQ(TrackPopupMenu(edit_, TPM_RETURNCMD | TPM_RIGHTBUTTON, 20, 20, 0, frame_, nullptr), 0);
    EXPECT_TRUE(Messages(frame_, {WM_RBUTTONDOWN, WM_RBUTTONUP}).empty());
    const std::vector<Logged> exits = Of(WM_EXITMENULOOP);
    ASSERT_EQ(exits.size(), 1u);
    EXPECT_EQ(exits[0].wParam, static_cast<WPARAM>(TRUE));
    // The menu's close is told before the loop's end: no item selected.
    const std::vector<Logged> selects = Of(WM_MENUSELECT);
    ASSERT_FALSE(selects.empty());
    EXPECT_EQ(HIWORD(selects.back().wParam), 0xFFFF);
    EXPECT_EQ(selects.back().lParam, 0);

    tvtest::AnswerMenu(kCopy);
    EXPECT_EQ(TrackPopupMenu(edit_, TPM_RETURNCMD, 20, 20, 0, frame_, nullptr), static_cast<BOOL>(kCopy));
}

TEST_F(MenuLoopTest, TheInputGoingToAnotherProgramCancelsIt) {
    tvtest::InMenu([&](const win32bk::ShownMenu&) { qtplatform::SendInputToOtherProgram(); });
    ClickTitle(0);
    EXPECT_FALSE(AnyTitleHot());
    EXPECT_TRUE(Commands().empty());
    ExpectTheFileMenuWorks();
}

} // namespace

namespace {

TEST_F(MenuLoopTest, ThePointerOnAnotherTitleOpensItsMenuInPlaceOfTheOpenOne) {
    HMENU bar = GetMenu(frame_);
    // A title without a menu keeps the open one.
    AppendMenuW(bar, MF_STRING | MF_GRAYED, 300, u"Insert:0");
    tvtest::InMenu([&](const win32bk::ShownMenu&) {
        Hover(2);
        EXPECT_TRUE(win32bk::MenuLoopRunning());
        Hover(0);
        EXPECT_TRUE(win32bk::MenuLoopRunning());
        Hover(1);
    });
    tvtest::AnswerMenu(kCopy);
    ClickTitle(0);
    ASSERT_EQ(tvtest::Menus().size(), 2u);
    EXPECT_EQ(tvtest::Menus()[0].menu, file_);
    EXPECT_EQ(tvtest::Menus()[1].menu, edit_);
    EXPECT_EQ(Commands(), std::vector<UINT>{kCopy});
    EXPECT_EQ(Messages(frame_, {WM_ENTERMENULOOP, WM_EXITMENULOOP}),
              (std::vector<UINT>{WM_ENTERMENULOOP, WM_EXITMENULOOP}));
    // With no menu open the pointer over the bar opens nothing.
    Log().clear();
    Hover(1);
    tvtest::Pump();
    EXPECT_EQ(tvtest::Menus().size(), 2u);
    EXPECT_FALSE(AnyTitleHot());
}

TEST_F(MenuLoopTest, ALoneAltSelectsTheFirstTitleAndTheKeysWalkTheBar) {
    // Alt selects the first title without opening it; Right moves on, Down opens.
    tvtest::InMenu([&](const win32bk::ShownMenu& shown) {
        EXPECT_EQ(shown.menu, GetMenu(frame_));
        EXPECT_EQ(HotTitle(), 0);
        EXPECT_TRUE(tvtest::Menus().empty());
        tvtest::Key(frame_, qtplatform::Key_Right);
    });
    tvtest::InMenu([&](const win32bk::ShownMenu&) {
        EXPECT_EQ(HotTitle(), 1);
        tvtest::Key(frame_, qtplatform::Key_Down);
    });
    tvtest::AnswerMenu(kCopy);
    LoneAlt();
    ASSERT_EQ(tvtest::Menus().size(), 1u);
    EXPECT_EQ(tvtest::Menus()[0].menu, edit_);
    EXPECT_EQ(Commands(), std::vector<UINT>{kCopy});
    EXPECT_FALSE(AnyTitleHot());

    // Esc in the menu goes back to its title, a second Esc leaves the bar.
    tvtest::ClearMenus();
    Log().clear();
    tvtest::InMenu([&](const win32bk::ShownMenu&) { tvtest::Key(frame_, qtplatform::Key_Return); });
    tvtest::InMenu([&](const win32bk::ShownMenu& shown) {
        EXPECT_EQ(shown.menu, file_);
        tvtest::Key(frame_, qtplatform::Key_Escape);
    });
    tvtest::InMenu([&](const win32bk::ShownMenu& shown) {
        EXPECT_EQ(shown.menu, GetMenu(frame_));
        EXPECT_EQ(HotTitle(), 0);
        tvtest::Key(frame_, qtplatform::Key_Escape);
    });
    LoneAlt();
    EXPECT_FALSE(win32bk::MenuLoopRunning());
    EXPECT_FALSE(AnyTitleHot());
    EXPECT_TRUE(Commands().empty());
    // A mnemonic typed while the bar is selected opens that title's menu.
    tvtest::InMenu([&](const win32bk::ShownMenu&) { tvtest::Key(frame_, 'E', 0, u"e"); });
    tvtest::AnswerMenu(kCopy);
    LoneAlt();
    EXPECT_EQ(Commands(), std::vector<UINT>{kCopy});
    ExpectTheFileMenuWorks();
}

TEST_F(MenuLoopTest, AltWithAnotherKeyOrLetGoInAnotherProgramSelectsNothing) {
    // Alt+X (no such mnemonic) and the Alt let go after it: no loop.
    tvtest::KeyDown(frame_, qtplatform::Key_Alt, static_cast<unsigned>(qtplatform::Mods::Alt));
    tvtest::Key(frame_, 'X', static_cast<unsigned>(qtplatform::Mods::Alt), u"x");
    tvtest::KeyUp(frame_, qtplatform::Key_Alt);
    tvtest::Pump();
    EXPECT_TRUE(Messages(frame_, {WM_ENTERMENULOOP}).empty());
    // Alt held while the input went to another program and let go there:
    // the next lone Alt here is a new press.
    tvtest::KeyDown(frame_, qtplatform::Key_Alt, static_cast<unsigned>(qtplatform::Mods::Alt));
    qtplatform::SendInputToOtherProgram();
    tvtest::InMenu([&](const win32bk::ShownMenu&) { tvtest::Key(frame_, qtplatform::Key_Escape); });
    LoneAlt();
    EXPECT_EQ(Messages(frame_, {WM_ENTERMENULOOP, WM_EXITMENULOOP}),
              (std::vector<UINT>{WM_ENTERMENULOOP, WM_EXITMENULOOP}));
}

} // namespace
