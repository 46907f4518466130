// The main window's grid scrolls with the splitter's shared bars: whenever
// the rows or columns go past what the pane shows (a partly hidden last row
// included) the bar of that direction is there, enabled and with its thumb,
// at every size the window is given.
#include "docview_fixture.h"

namespace apptest {
namespace {

class ScrollBarsTest : public DocViewTest {
public:
    HWND SharedBar(UINT id) const { return ::GetDlgItem(frame->m_wndSplitter.m_hWnd, static_cast<int>(id)); }
    void Size(int width, int height) {
        frame->SetWindowPos(nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
        tvtest::Pump();
    }
    // The content's extent (headers, every column and row), and the pane's.
    CSize Content() { return CSize(view->m_grid.GetTotalWidth(), view->m_grid.GetTotalHeight()); }
    CSize Pane() {
        CRect r;
        view->GetClientRect(&r);
        return r.Size();
    }
    // The bar is shown across its strip, enabled, with a thumb to drag.
    ::testing::AssertionResult Usable(UINT id) {
        HWND bar = SharedBar(id);
        if (!bar) return ::testing::AssertionFailure() << "no bar";
        if (!::IsWindowVisible(bar) || !qtplatform::IsMapped(bar))
            return ::testing::AssertionFailure() << "the bar is hidden";
        if (!::IsWindowEnabled(bar)) return ::testing::AssertionFailure() << "the bar is disabled";
        RECT r;
        ::GetWindowRect(bar, &r);
        const bool vertical = id == AFX_IDW_VSCROLL_FIRST;
        const int thickness = vertical ? r.right - r.left : r.bottom - r.top;
        const int length = vertical ? r.bottom - r.top : r.right - r.left;
        if (thickness != ::GetSystemMetrics(vertical ? SM_CXVSCROLL : SM_CYHSCROLL) || length <= 0)
            return ::testing::AssertionFailure()
                   << "the bar is " << r.right - r.left << " x " << r.bottom - r.top;
        qtplatform::BarGeometry g{};
        if (!qtplatform::GetBarGeometry(bar, SB_CTL, &g) || IsRectEmpty(&g.slider))
            return ::testing::AssertionFailure() << "the bar has no thumb";
        return ::testing::AssertionSuccess();
    }
};

TEST_F(ScrollBarsTest, ASmallerWindowShowsBothBarsWithTheirThumbs) {
    Load(u"社員");
    ASSERT_EQ(doc->m_data.GetRowCount(), 20);
    Size(600, 400);
    ASSERT_GT(Content().cy, Pane().cy);
    ASSERT_GT(Content().cx, Pane().cx);
    EXPECT_TRUE(Usable(AFX_IDW_VSCROLL_FIRST));
    EXPECT_TRUE(Usable(AFX_IDW_HSCROLL_FIRST));
    // The thumb follows the wheel.
    qtplatform::BarGeometry before{}, after{};
    qtplatform::GetBarGeometry(SharedBar(AFX_IDW_VSCROLL_FIRST), SB_CTL, &before);
    tvtest::Wheel(view->m_grid.m_hWnd, 50, 50, -120);
    tvtest::Pump();
    qtplatform::GetBarGeometry(SharedBar(AFX_IDW_VSCROLL_FIRST), SB_CTL, &after);
    EXPECT_GT(after.slider.top, before.slider.top);
}

TEST_F(ScrollBarsTest, APartlyHiddenLastRowGetsTheVerticalBar) {
    Load(u"社員");
    ASSERT_EQ(view->m_grid.GetTotalHeight(), view->m_grid.m_colHeaderHeight + 20 * view->m_grid.m_rowHeight);
    RECT outer;
    frame->GetWindowRect(&outer);
    // All rows shown, then the last one cut by a few pixels.
    const int width = outer.right - outer.left;
    Size(width, outer.bottom - outer.top + Content().cy - Pane().cy + 40);
    ASSERT_LE(Content().cy, Pane().cy);
    ASSERT_LE(Content().cx, Pane().cx);
    frame->GetWindowRect(&outer);
    Size(width, outer.bottom - outer.top - (Pane().cy - Content().cy) - 8);
    ASSERT_GT(Content().cy, Pane().cy);
    EXPECT_TRUE(Usable(AFX_IDW_VSCROLL_FIRST));
}

TEST_F(ScrollBarsTest, AtEverySizeContentBeyondThePaneHasItsBar) {
    Load(u"社員");
    ASSERT_EQ(view->m_grid.GetTotalHeight(), view->m_grid.m_colHeaderHeight + 20 * view->m_grid.m_rowHeight);
    for (int height = 720; height >= 260; height -= 23)
        for (int width : {1000, 700, 420}) {
            SCOPED_TRACE(testing::Message() << width << " x " << height);
            Size(width, height);
            if (Content().cy > Pane().cy) {
                EXPECT_TRUE(Usable(AFX_IDW_VSCROLL_FIRST));
            }
            if (Content().cx > Pane().cx) {
                EXPECT_TRUE(Usable(AFX_IDW_HSCROLL_FIRST));
            }
        }
}

} // namespace
} // namespace apptest
