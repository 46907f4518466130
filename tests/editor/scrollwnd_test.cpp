#include <gtest/gtest.h>

#include "editor/scrollwnd.h"
#include "testing/driver.h"

namespace {

// Fixed geometry: 10-pixel cells, a 30-pixel row header and a 20-pixel column header.
class TestScroll : public CScrollWnd {
public:
    int rows = 100, cols = 50, pageRows = 10, pageCols = 5;
    int totalHeight = 2000, totalWidth = 1000;
    std::vector<std::array<int, 3>> scrolled;
    std::vector<std::pair<int, int>> positions;
    int endScrolls = 0;

    int GetPageCols() override { return pageCols; }
    int GetPageRows() override { return pageRows; }
    int GetFixedLeftWidth() override { return 30; }
    int GetFixedTopHeight() override { return 20; }
    int GetTotalWidth() override { return totalWidth; }
    int GetTotalHeight() override { return totalHeight; }
    int ColsToPixels(int from, int to) override { return (from - to) * 10; }
    int RowsToPixels(int from, int to) override { return (from - to) * 10; }
    int GetVScrollMax() override { return rows - 1; }
    int GetVScrollPage() override { return pageRows; }
    int GetHScrollMax() override { return cols - 1; }
    int GetHScrollPage() override { return pageCols; }
    void OnScrolled(int dx, int dy, int tracking) override {
        scrolled.push_back({dx, dy, tracking});
        positions.push_back({GetScrollPosition(SB_HORZ), GetScrollPosition(SB_VERT)});
    }
    void OnEndScroll() override { ++endScrolls; }

    BOOL Make(CWnd* parent, DWORD style, int w = 94, int h = 134) {
        return CreateEx(0, nullptr, nullptr, WS_CHILD | WS_VISIBLE | style, CRect(0, 0, w, h), parent, 1);
    }
};

class Frame : public CWnd {
public:
    BOOL Make(int w = 400, int h = 300) {
        return CreateEx(0, nullptr, u"frame", WS_OVERLAPPED | WS_VISIBLE, 0, 0, w, h, nullptr, nullptr);
    }
};

class ScrollWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        tvtest::Init();
        ASSERT_TRUE(frame_.Make());
    }
    void TearDown() override {
        frame_.DestroyWindow();
        tvtest::Pump();
    }
    // s as a child of the frame with both bars, updated.
    void MakeWithBars(TestScroll& s, int h = 134) {
        ASSERT_TRUE(s.Make(&frame_, WS_VSCROLL | WS_HSCROLL, 94, h));
        s.UpdateScrollBars();
    }
    Frame frame_;
};

TEST_F(ScrollWndTest, StylesGiveFlags) {
    TestScroll a, b;
    ASSERT_TRUE(a.Make(&frame_, WS_VSCROLL | WS_HSCROLL));
    EXPECT_EQ(a.m_flags & 0x6, 0u);
    ASSERT_TRUE(b.Make(&frame_, 0));
    EXPECT_EQ(b.m_flags & 0x6, 0x6u);
}

TEST_F(ScrollWndTest, PagesLinesTopAndBottom) {
    TestScroll s;
    MakeWithBars(s);
    EXPECT_EQ(s.m_vEnabled, 1);
    s.SetScrollPosition(SB_VERT, 5);
    s.ScrollByCode(MAKEWORD(0xFF, SB_PAGEDOWN), 0);
    EXPECT_EQ(s.GetScrollPosition(SB_VERT), 14);
    s.ScrollByCode(MAKEWORD(0xFF, SB_PAGEUP), 0);
    EXPECT_EQ(s.GetScrollPosition(SB_VERT), 5);
    // A page of one row still moves one row.
    s.pageRows = 1;
    s.ScrollByCode(MAKEWORD(0xFF, SB_PAGEUP), 0);
    EXPECT_EQ(s.GetScrollPosition(SB_VERT), 4);
    s.ScrollByCode(MAKEWORD(0xFF, SB_PAGEDOWN), 0);
    s.ScrollByCode(MAKEWORD(0xFF, SB_PAGEDOWN), 0);
    EXPECT_EQ(s.GetScrollPosition(SB_VERT), 6);
    s.pageRows = 10;
    // Bottom is the scroll limit, not INT_MAX.
    EXPECT_EQ(s.ScrollByCode(MAKEWORD(0xFF, SB_BOTTOM), 0), 1);
    EXPECT_EQ(s.GetScrollPosition(SB_VERT), 90);
    EXPECT_EQ(s.scrolled.back()[1], INT_MAX - 6);
    EXPECT_EQ(s.ScrollByCode(MAKEWORD(0xFF, SB_LINEDOWN), 0), 0);
    s.ScrollByCode(MAKEWORD(SB_LINERIGHT, SB_TOP), 0);
    EXPECT_EQ(s.GetScrollPosition(SB_VERT), 0);
    EXPECT_EQ(s.GetScrollPosition(SB_HORZ), 1);
    EXPECT_EQ(s.ScrollByCode(MAKEWORD(0xFF, SB_THUMBPOSITION), 50), 0);
}

TEST_F(ScrollWndTest, ScrollingMovesBodyAndHeaders) {
    TestScroll s;
    MakeWithBars(s);
    tvtest::Pump();
    ValidateRect(s.m_hWnd, nullptr);
    s.ScrollBy(0, 2, 0);
    RECT upd;
    ASSERT_TRUE(GetUpdateRect(s.m_hWnd, &upd, FALSE));
    CRect client;
    s.GetClientRect(&client);
    // The uncovered strip: 20 pixels at the bottom of the body and of the row headers.
    EXPECT_EQ(upd.top, client.bottom - 20);
    EXPECT_EQ(upd.bottom, client.bottom);
    EXPECT_EQ(upd.left, 0);
}

TEST_F(ScrollWndTest, DisabledDirectionsScrollOnlyWithTheFreeFlag) {
    TestScroll s;
    s.totalHeight = 50; // fits the client area
    MakeWithBars(s);
    EXPECT_EQ(s.m_vEnabled, 0);
    EXPECT_EQ(s.ScrollBy(0, 5, 0), 0);
    s.m_flags |= 0x8;
    EXPECT_EQ(s.ScrollBy(0, 5, 0), 1);
    EXPECT_EQ(s.GetScrollPosition(SB_VERT), 5);
}

TEST_F(ScrollWndTest, WheelFormula) {
    TestScroll s;
    MakeWithBars(s);
    s.SetScrollPosition(SB_VERT, 10);
    s.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_EQ(s.GetScrollPosition(SB_VERT), 7);
    s.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-60)), 0);
    EXPECT_EQ(s.GetScrollPosition(SB_VERT), 8);
    s.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 60), 0);
    EXPECT_EQ(s.GetScrollPosition(SB_VERT), 6);
    size_t before = s.scrolled.size();
    s.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 0), 0);
    EXPECT_EQ(s.scrolled.size(), before);
    // Real wheel input goes through the platform's accumulation.
    tvtest::Wheel(s.m_hWnd, 40, 40, -120);
    EXPECT_EQ(s.GetScrollPosition(SB_VERT), 9);
    // The tilt wheel scrolls only when enabled.
    s.SendMessage(WM_MOUSEHWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_EQ(s.GetScrollPosition(SB_HORZ), 0);
    s.m_hWheelEnabled = 1;
    s.SendMessage(WM_MOUSEHWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_EQ(s.GetScrollPosition(SB_HORZ), 4);
}

TEST_F(ScrollWndTest, ThumbTrackingUntilEndScroll) {
    TestScroll s;
    MakeWithBars(s, 234);
    tvtest::Pump();
    auto g = tvtest::BarParts(s.m_hWnd, SB_VERT);
    int x = (g.slider.left + g.slider.right) / 2, y = (g.slider.top + g.slider.bottom) / 2;
    tvtest::BarDown(s.m_hWnd, SB_VERT, x, y);
    tvtest::BarMove(s.m_hWnd, SB_VERT, x, y + 40);
    EXPECT_EQ(s.m_tracking, 1);
    ASSERT_FALSE(s.scrolled.empty());
    EXPECT_EQ(s.scrolled.back()[2], 1);
    int pos = s.GetScrollPosition(SB_VERT);
    EXPECT_GT(pos, 0);
    tvtest::BarUp(s.m_hWnd, SB_VERT);
    EXPECT_EQ(s.m_tracking, 0);
    EXPECT_EQ(s.endScrolls, 1);
    EXPECT_EQ(s.GetScrollPosition(SB_VERT), pos);
    // Bars that are needed only sometimes follow the content.
    TestScroll t;
    ASSERT_TRUE(t.Make(&frame_, 0));
    t.totalHeight = 50;
    t.totalWidth = 50;
    t.UpdateScrollBars();
    EXPECT_EQ(t.GetStyle() & (WS_VSCROLL | WS_HSCROLL), 0u);
    t.totalHeight = 5000;
    t.UpdateScrollBars();
    EXPECT_NE(t.GetStyle() & WS_VSCROLL, 0u);
}

TEST_F(ScrollWndTest, RightButtonGoesToTheParent) {
    TestScroll s;
    ASSERT_TRUE(s.Make(&frame_, WS_VSCROLL | WS_HSCROLL));
    s.MoveWindow(10, 20, 94, 134);
    static POINT got;
    got = POINT{-1, -1};
    WNDPROC old = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(frame_.m_hWnd, GWLP_WNDPROC));
    static WNDPROC s_old;
    s_old = old;
    SetWindowLongPtrW(frame_.m_hWnd, GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(+[](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
                          if (m == WM_RBUTTONDOWN) got = POINT{GET_X_LPARAM(l), GET_Y_LPARAM(l)};
                          return CallWindowProcW(s_old, h, m, w, l);
                      }));
    s.SendMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 6));
    EXPECT_EQ(got.x, 15);
    EXPECT_EQ(got.y, 26);
    SetWindowLongPtrW(frame_.m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
}

// A pane of the splitter holding a scrolling child that uses the splitter's bars.
class PaneView : public CView {
    DECLARE_DYNCREATE(PaneView)
public:
    TestScroll child;
    afx_msg int OnCreate(LPCREATESTRUCT cs) {
        if (CView::OnCreate(cs) == -1) return -1;
        child.m_splitterMode = 1;
        child.Make(this, 0);
        return 0;
    }
    afx_msg void OnSize(UINT, int cx, int cy) {
        if (child.m_hWnd) child.MoveWindow(0, 0, cx, cy);
    }
    afx_msg void OnHScroll(UINT code, UINT, CScrollBar*) {
        child.OnHScroll(code, 0, child.GetScrollBarCtrl(SB_HORZ));
    }
    afx_msg void OnVScroll(UINT code, UINT, CScrollBar*) {
        child.OnVScroll(code, 0, child.GetScrollBarCtrl(SB_VERT));
    }
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(PaneView, CView)
BEGIN_MESSAGE_MAP(PaneView, CView)
ON_WM_CREATE()
ON_WM_SIZE()
ON_WM_HSCROLL()
ON_WM_VSCROLL()
END_MESSAGE_MAP()

TEST_F(ScrollWndTest, SplitterPanesShareTheBars) {
    CSplitterWnd split;
    CSplitterWnd* splitter = &split;
    ASSERT_TRUE(splitter->CreateStatic(&frame_, 2, 1, WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL));
    splitter->MoveWindow(0, 0, 400, 300);
    ASSERT_TRUE(splitter->CreateView(0, 0, RUNTIME_CLASS(PaneView), CSize(400, 140), nullptr));
    ASSERT_TRUE(splitter->CreateView(1, 0, RUNTIME_CLASS(PaneView), CSize(400, 140), nullptr));
    auto* top = static_cast<PaneView*>(splitter->GetPane(0, 0));
    auto* bottom = static_cast<PaneView*>(splitter->GetPane(1, 0));
    ASSERT_TRUE(top && bottom);
    top->child.UpdateScrollBars();
    bottom->child.UpdateScrollBars();
    CScrollBar* hbar = splitter->GetSharedBar(SB_HORZ, 0);
    ASSERT_TRUE(hbar);
    EXPECT_EQ(top->child.GetScrollBarCtrl(SB_HORZ), hbar);
    EXPECT_EQ(bottom->child.GetScrollBarCtrl(SB_HORZ), hbar);
    EXPECT_EQ(top->child.GetScrollBarCtrl(SB_VERT), splitter->GetSharedBar(SB_VERT, 0));
    EXPECT_EQ(bottom->child.GetScrollBarCtrl(SB_VERT), splitter->GetSharedBar(SB_VERT, 1));
    EXPECT_EQ(top->child.GetStyle() & (WS_VSCROLL | WS_HSCROLL), 0u);
    tvtest::Pump();
    // A press on the shared bar's right arrow reaches both panes, each from the same position.
    auto g = tvtest::BarParts(hbar->m_hWnd, SB_CTL);
    tvtest::BarDown(hbar->m_hWnd, SB_CTL, g.addLine.left + 2, (g.addLine.top + g.addLine.bottom) / 2);
    tvtest::BarUp(hbar->m_hWnd, SB_CTL);
    ASSERT_EQ(top->child.positions.size(), 1u);
    ASSERT_EQ(bottom->child.positions.size(), 1u);
    EXPECT_EQ(top->child.positions[0].first, 1);
    EXPECT_EQ(bottom->child.positions[0].first, 1);
    EXPECT_EQ(hbar->GetScrollPos(), 1);
    EXPECT_EQ(top->child.endScrolls, 1);
    EXPECT_EQ(bottom->child.endScrolls, 1);
    // The vertical bars are per row.
    top->child.ScrollBy(0, 3, 0);
    EXPECT_EQ(splitter->GetSharedBar(SB_VERT, 0)->GetScrollPos(), 3);
    EXPECT_EQ(splitter->GetSharedBar(SB_VERT, 1)->GetScrollPos(), 0);
}

TEST_F(ScrollWndTest, SplitterScrollStyleFollowsTheContent) {
    CSplitterWnd split;
    ASSERT_TRUE(split.CreateStatic(&frame_, 1, 1, WS_CHILD | WS_VISIBLE));
    split.MoveWindow(0, 0, 400, 300);
    ASSERT_TRUE(split.CreateView(0, 0, RUNTIME_CLASS(PaneView), CSize(400, 300), nullptr));
    auto* pane = static_cast<PaneView*>(split.GetPane(0, 0));
    EXPECT_EQ(split.GetScrollStyle(), 0u);
    pane->child.m_flags |= 0x80;
    pane->child.UpdateScrollBars();
    EXPECT_EQ(split.GetScrollStyle(), static_cast<DWORD>(WS_VSCROLL | WS_HSCROLL));
    EXPECT_EQ(pane->child.GetStyle() & (WS_VSCROLL | WS_HSCROLL),
              static_cast<DWORD>(WS_VSCROLL | WS_HSCROLL));
    ASSERT_TRUE(split.GetSharedBar(SB_VERT, 0));
    EXPECT_TRUE(split.GetSharedBar(SB_VERT, 0)->IsWindowVisible());
    // The panes make room for the bars.
    CRect r;
    pane->GetWindowRect(&r);
    EXPECT_EQ(r.Width(), 400 - GetSystemMetrics(SM_CXVSCROLL));
}

} // namespace
