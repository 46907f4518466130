// A top-level window moved by the window manager: its record follows the
// display, and nothing the program does afterwards puts it back.
#include "display/display.h"
#include "fixture.h"
#include "testing/framework.h"
#include "win32/menu.h"

namespace {

class PlacementTest : public WindowTest {};

TEST_F(PlacementTest, AMoveByTheWindowManagerIsTheWindowsNewPlace) {
    HWND frame = MakeWithMenu();
    tvtest::Pump();
    RECT before;
    GetWindowRect(frame, &before);
    const RECT shown = qtplatform::ShownRect(frame);
    Log().clear();

    qtplatform::MoveByWindowManager(frame, shown.left + 150, shown.top + 80);
    tvtest::Pump();
    RECT after;
    GetWindowRect(frame, &after);
    EXPECT_EQ(after.left - before.left, 150);
    EXPECT_EQ(after.top - before.top, 80);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    POINT corner{0, 0};
    ClientToScreen(frame, &corner);
    const std::vector<Logged> moves = Of(WM_MOVE);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(static_cast<short>(LOWORD(moves[0].lParam)), corner.x);
    EXPECT_EQ(static_cast<short>(HIWORD(moves[0].lParam)), corner.y);

    // Opening a menu, drawing the bar and a new title leave it where it is now.
    tvtest::ClearMenus();
    tvtest::AnswerMenu(0);
    win32bk::OpenMenuBarPopup(frame, 0);
    DrawMenuBar(frame);
    SetWindowTextW(frame, u"moved");
    tvtest::Pump();
    const RECT now = qtplatform::ShownRect(frame);
    EXPECT_EQ(now.left, shown.left + 150);
    EXPECT_EQ(now.top, shown.top + 80);
    tvtest::ClearMenus();
}

} // namespace
