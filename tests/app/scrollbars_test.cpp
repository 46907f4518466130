// The main window's grid scrolls with the splitter's shared bars: whenever
// the rows or columns go past what the pane shows (a partly hidden last row
// included) the bar of that direction is there, enabled and with its thumb,
// at every size the window is given; a press on a bar's arrows, trough and
// thumb scrolls the grid.
#include "docview_fixture.h"

namespace apptest {
namespace {

// The scroll codes that reach the grid, in order.
std::vector<std::pair<UINT, WORD>> g_codes;
WNDPROC g_gridProc = nullptr;
LRESULT CALLBACK RecordScroll(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_VSCROLL || m == WM_HSCROLL) g_codes.emplace_back(m, LOWORD(w));
    return CallWindowProcW(g_gridProc, h, m, w, l);
}

POINT Centre(const RECT& r) {
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

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
    // A press (held until Release) on the shared bar of that id, in its pixels.
    void Press(UINT id, POINT p) {
        tvtest::BarDown(SharedBar(id), SB_CTL, p.x, p.y);
        tvtest::Pump();
    }
    void Drag(UINT id, POINT p) {
        tvtest::BarMove(SharedBar(id), SB_CTL, p.x, p.y);
        tvtest::Pump();
    }
    void Release(UINT id) {
        tvtest::BarUp(SharedBar(id), SB_CTL);
        tvtest::Pump();
    }
    qtplatform::BarGeometry Parts(UINT id) { return tvtest::BarParts(SharedBar(id), SB_CTL); }
    void RecordCodes() {
        g_codes.clear();
        g_gridProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(view->m_grid.m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordScroll)));
    }
    void TearDown() override {
        if (g_gridProc && view && ::IsWindow(view->m_grid.m_hWnd))
            SetWindowLongPtrW(view->m_grid.m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_gridProc));
        g_gridProc = nullptr;
        DocViewTest::TearDown();
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

namespace apptest {
namespace {

TEST_F(ScrollBarsTest, ArrowsTroughAndThumbOfTheVerticalBarScrollTheGrid) {
    Load(u"社員");
    Size(600, 320);
    const UINT v = AFX_IDW_VSCROLL_FIRST;
    ASSERT_TRUE(Usable(v));
    CGridCtrl& grid = view->m_grid;
    const int page = grid.GetPageRows();
    const int limit = grid.GetScrollLimitEx(SB_VERT);
    ASSERT_GT(limit, page);
    RecordCodes();

    // The down arrow scrolls a row, and held, a row more at each repeat until let go.
    Press(v, Centre(Parts(v).addLine));
    EXPECT_EQ(grid.FirstRow(), 1);
    tvtest::Advance(350);
    EXPECT_EQ(grid.FirstRow(), 2);
    tvtest::Advance(50);
    EXPECT_EQ(grid.FirstRow(), 3);
    Release(v);
    tvtest::Advance(500);
    EXPECT_EQ(grid.FirstRow(), 3);
    Press(v, Centre(Parts(v).subLine));
    Release(v);
    EXPECT_EQ(grid.FirstRow(), 2);
    EXPECT_EQ(g_codes, (std::vector<std::pair<UINT, WORD>>{{WM_VSCROLL, SB_LINEDOWN},
                                                           {WM_VSCROLL, SB_LINEDOWN},
                                                           {WM_VSCROLL, SB_LINEDOWN},
                                                           {WM_VSCROLL, SB_ENDSCROLL},
                                                           {WM_VSCROLL, SB_LINEUP},
                                                           {WM_VSCROLL, SB_ENDSCROLL}}));

    // The trough below the thumb scrolls a page on, above it a page back.
    RECT groove = Parts(v).groove, thumb = Parts(v).slider;
    Press(v, POINT{Centre(groove).x, (thumb.bottom + groove.bottom) / 2});
    Release(v);
    EXPECT_EQ(grid.FirstRow(), 2 + page - 1);
    thumb = Parts(v).slider;
    Press(v, POINT{Centre(groove).x, (groove.top + thumb.top) / 2});
    Release(v);
    EXPECT_EQ(grid.FirstRow(), 2);

    // The thumb dragged: the grid follows it while it moves, and stays where it is let go.
    g_codes.clear();
    thumb = Parts(v).slider;
    POINT at = Centre(thumb);
    Press(v, at);
    Drag(v, POINT{at.x, groove.bottom + 40});
    EXPECT_EQ(grid.FirstRow(), limit);
    Drag(v, POINT{at.x, (groove.top + groove.bottom) / 2});
    const int middle = grid.FirstRow();
    EXPECT_GT(middle, 2);
    EXPECT_LT(middle, limit);
    Release(v);
    EXPECT_EQ(grid.FirstRow(), middle);
    EXPECT_EQ(g_codes, (std::vector<std::pair<UINT, WORD>>{{WM_VSCROLL, SB_THUMBTRACK},
                                                           {WM_VSCROLL, SB_THUMBTRACK},
                                                           {WM_VSCROLL, SB_THUMBPOSITION},
                                                           {WM_VSCROLL, SB_ENDSCROLL}}));
}

TEST_F(ScrollBarsTest, TheHorizontalBarScrollsTheColumns) {
    Load(u"社員");
    Size(500, 400);
    const UINT h = AFX_IDW_HSCROLL_FIRST;
    ASSERT_TRUE(Usable(h));
    CGridCtrl& grid = view->m_grid;
    Press(h, Centre(Parts(h).addLine));
    Release(h);
    EXPECT_EQ(grid.FirstCol(), 1);
    RECT groove = Parts(h).groove, thumb = Parts(h).slider;
    Press(h, POINT{(thumb.right + groove.right) / 2, Centre(groove).y});
    Release(h);
    const int paged = grid.FirstCol();
    EXPECT_GT(paged, 1);
    Press(h, Centre(Parts(h).subLine));
    Release(h);
    EXPECT_EQ(grid.FirstCol(), paged - 1);
}

} // namespace
} // namespace apptest
