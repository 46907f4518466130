// The main window's menu bar while a cell is being edited: the first click
// on a title ends the edit and opens that title's menu, the main window
// staying on the screen.
#include "docview_fixture.h"
#include "testing/framework.h"
#include "win32/menu.h"

namespace apptest {
namespace {

class MenuBarTest : public DocViewTest {
public:
    // The centre of a title of the frame's bar, in the frame's client coordinates.
    POINT Title(int index) {
        RECT bar;
        std::vector<win32bk::MenuBarItem> items;
        EXPECT_TRUE(win32bk::GetMenuBarItems(frame->m_hWnd, &bar, &items));
        const RECT& r = items.at(static_cast<size_t>(index)).rect;
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2 - win32bk::MenuBarHeight()};
    }
    void TearDown() override {
        tvtest::ClearMenus();
        DocViewTest::TearDown();
    }
};

TEST_F(MenuBarTest, AClickOnATitleDuringACellEditEndsTheEditAndOpensTheMenu) {
    Load(u"社員");
    CGridCtrl& grid = view->m_grid;
    CRect cell = grid.GetCellRect(1, 2);
    tvtest::Click(grid.m_hWnd, cell.CenterPoint().x, cell.CenterPoint().y);
    tvtest::Pump();
    tvtest::Type(::GetFocus(), u"新しい名前");
    tvtest::Pump();
    ASSERT_TRUE(grid.m_editWnd && ::IsWindowVisible(grid.m_editWnd->m_hWnd));
    ASSERT_EQ(::GetFocus(), grid.m_editWnd->m_hWnd);

    const int mapped = qtplatform::TimesMapped(frame->m_hWnd);
    int updatedWhenShown = -1;
    tvtest::InMenu([&](const win32bk::ShownMenu&) {
        updatedWhenShown = doc->m_data.m_updatedCount;
        tvtest::Key(::GetFocus(), qtplatform::Key_Escape);
    });
    const POINT p = Title(0);
    tvtest::Click(frame->m_hWnd, p.x, p.y);
    tvtest::Pump();
    ASSERT_EQ(tvtest::Menus().size(), 1u) << "the click opened no menu";
    EXPECT_EQ(updatedWhenShown, 1);
    EXPECT_EQ(std::u16string(doc->m_data.GetText(2, 1)), u"新しい名前");
    EXPECT_FALSE(::IsWindowVisible(grid.m_editWnd->m_hWnd));
    // The window stayed on the screen: mapped anew, the window manager would
    // withdraw it and the display take the menu's hold on the pointer away.
    EXPECT_EQ(qtplatform::TimesMapped(frame->m_hWnd), mapped);
}

} // namespace
} // namespace apptest
