#include <afxwin.h>

#include "fixture.h"

namespace {

class Probe : public CWnd {
public:
    int created = 0, sized = 0, nc = 0;
    bool failCreate = false;
    CScrollBar* bar = nullptr;
    afx_msg int OnCreate(LPCREATESTRUCT cs) {
        ++created;
        if (failCreate) return -1;
        return CWnd::OnCreate(cs);
    }
    afx_msg void OnSize(UINT type, int cx, int cy) {
        ++sized;
        CWnd::OnSize(type, cx, cy);
    }
    afx_msg LRESULT OnPing(WPARAM w, LPARAM l) { return static_cast<LRESULT>(w + l); }
    afx_msg void OnVScroll(UINT code, UINT, CScrollBar* from) {
        lastCode = code;
        notified = from ? from->SendChildNotifyLastMsg() : -1;
    }
    void PostNcDestroy() override { ++nc; }
    CScrollBar* GetScrollBarCtrl(int b) const override { return b == SB_VERT ? bar : nullptr; }
    UINT lastCode = 99;
    int notified = -2;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Probe, CWnd)
ON_WM_CREATE()
ON_WM_SIZE()
ON_WM_VSCROLL()
ON_MESSAGE(WM_APP + 9, OnPing)
END_MESSAGE_MAP()

class MfcTest : public WindowTest {};

TEST_F(MfcTest, MessageMapsAndDefaultProcessing) {
    Probe p;
    ASSERT_TRUE(
        p.CreateEx(0, nullptr, u"probe", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr));
    EXPECT_EQ(p.created, 1);
    EXPECT_GE(p.sized, 1);
    EXPECT_EQ(CWnd::FromHandlePermanent(p.m_hWnd), &p);
    EXPECT_EQ(p.SendMessage(WM_APP + 9, 40, 2), 42);
    // Unhandled messages reach the default procedure.
    EXPECT_EQ(p.GetWindowTextLength(), 5);
    EXPECT_TRUE(p.IsKindOf(RUNTIME_CLASS(CWnd)));
    EXPECT_FALSE(p.IsKindOf(RUNTIME_CLASS(CScrollBar)));
    p.DestroyWindow();
    EXPECT_EQ(p.nc, 1);
    EXPECT_EQ(p.m_hWnd, nullptr);

    Probe q;
    q.failCreate = true;
    EXPECT_FALSE(q.CreateEx(0, nullptr, u"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr));
    EXPECT_EQ(q.nc, 1);
}

TEST_F(MfcTest, SubclassedWindowKeepsItsProcedureBehindDefault) {
    HWND h = Make();
    Probe p;
    p.SubclassWindow(h);
    Log().clear();
    p.SendMessage(WM_SIZE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(p.sized, 1);
    EXPECT_EQ(Of(WM_SIZE).size(), 1u); // Default() passed it on to the class procedure
    p.UnsubclassWindow();
}

TEST_F(MfcTest, ScrollMembersGoThroughTheBarControl) {
    Probe p;
    ASSERT_TRUE(p.CreateEx(0, nullptr, u"", WS_OVERLAPPED | WS_VISIBLE | WS_VSCROLL, 0, 0, 200, 100, nullptr,
                           nullptr));
    CScrollBar bar;
    ASSERT_TRUE(bar.Create(SBS_VERT | WS_VISIBLE, CRect(0, 0, 14, 80), &p, 5));
    EXPECT_TRUE(bar.IsKindOf(RUNTIME_CLASS(CWnd)));
    p.bar = &bar;
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE, 0, 99, 10, 0, 0};
    p.SetScrollInfo(SB_VERT, &si);
    p.SetScrollPos(SB_VERT, 500);
    EXPECT_EQ(bar.GetScrollPos(), 90);
    EXPECT_EQ(p.GetScrollLimit(SB_VERT), 90);
    EXPECT_EQ(::GetScrollPos(p.m_hWnd, SB_VERT), 0);
    // A bar control sends to its parent; the bar is no child-notification handler.
    tvtest::Pump();
    auto g = tvtest::BarParts(bar.m_hWnd, SB_CTL);
    tvtest::BarDown(bar.m_hWnd, SB_CTL, 7, g.addLine.top + 2);
    EXPECT_EQ(p.lastCode, static_cast<UINT>(SB_LINEDOWN));
    EXPECT_EQ(p.notified, FALSE);
    tvtest::BarUp(bar.m_hWnd, SB_CTL);
    EXPECT_EQ(p.lastCode, static_cast<UINT>(SB_ENDSCROLL));
    // Disabled in both directions, the control is a disabled window.
    p.EnableScrollBar(SB_VERT, ESB_DISABLE_BOTH);
    EXPECT_FALSE(bar.IsWindowEnabled());
    p.EnableScrollBar(SB_VERT, ESB_ENABLE_BOTH);
    EXPECT_TRUE(bar.IsWindowEnabled());
    p.bar = nullptr;
    bar.DestroyWindow();
    p.DestroyWindow();
}

TEST_F(MfcTest, DcBackgroundRules) {
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    CBitmap bmp;
    bmp.CreateCompatibleBitmap(&dc, 100, 40);
    CBitmap* old = dc.SelectObject(&bmp);
    dc.FillSolidRect(0, 0, 100, 40, RGB(255, 255, 255));
    dc.FillSolidRect(0, 0, 1, 1, RGB(10, 20, 30));
    EXPECT_EQ(dc.GetBkColor(), RGB(10, 20, 30));
    // OPAQUE mode fills the text cell, TRANSPARENT does not.
    dc.SetBkColor(RGB(255, 0, 0));
    dc.SetBkMode(OPAQUE);
    dc.TextOut(10, 0, u" ", 1);
    EXPECT_EQ(dc.GetPixel(11, 2), RGB(255, 0, 0));
    dc.SetBkMode(TRANSPARENT);
    dc.TextOut(50, 0, u" ", 1);
    EXPECT_EQ(dc.GetPixel(51, 2), RGB(255, 255, 255));
    // ETO_OPAQUE fills even in TRANSPARENT mode.
    CRect r(70, 0, 80, 10);
    dc.ExtTextOut(70, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    EXPECT_EQ(dc.GetPixel(75, 5), RGB(255, 0, 0));
    // Blits copy between memory DCs.
    CDC other;
    other.CreateCompatibleDC(&dc);
    CBitmap b2;
    b2.CreateCompatibleBitmap(&dc, 20, 20);
    CBitmap* old2 = other.SelectObject(&b2);
    other.BitBlt(0, 0, 20, 20, &dc, 65, 0, SRCCOPY);
    EXPECT_EQ(other.GetPixel(10, 5), RGB(255, 0, 0));
    EXPECT_EQ(other.GetPixel(2, 15), RGB(255, 255, 255));
    other.SelectObject(old2);
    dc.SelectObject(old);
}

class KeyEater : public CWnd {
public:
    BOOL PreTranslateMessage(MSG* msg) override {
        return msg->message == WM_KEYDOWN && msg->wParam == VK_F1 + 1;
    }
};

TEST_F(MfcTest, InputIsOfferedToPreTranslateMessageUpTheTree) {
    KeyEater top;
    ASSERT_TRUE(top.CreateEx(0, nullptr, u"", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr));
    HWND child = Make(WS_CHILD | WS_VISIBLE, u"TestWnd", 50, 50, top.m_hWnd);
    SetFocus(child);
    Log().clear();
    tvtest::Key(child, qtplatform::Key_F1 + 1);
    tvtest::Key(child, qtplatform::Key_F1 + 2);
    auto downs = Of(WM_KEYDOWN);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].wParam, static_cast<WPARAM>(VK_F1 + 2));
    top.DestroyWindow();
}

TEST_F(MfcTest, Rectangles) {
    CRect r(10, 20, 110, 70);
    EXPECT_EQ(r.Width(), 100);
    EXPECT_EQ(r.Height(), 50);
    EXPECT_TRUE(r.PtInRect(CPoint(10, 20)));
    EXPECT_FALSE(r.PtInRect(CPoint(110, 20)));
    CRect i = r & CRect(100, 0, 200, 30);
    EXPECT_EQ(i, CRect(100, 20, 110, 30));
    r.DeflateRect(5, 5);
    EXPECT_EQ(r, CRect(15, 25, 105, 65));
    EXPECT_EQ(r.CenterPoint(), CPoint(60, 45));
    EXPECT_TRUE(CRect(5, 5, 5, 10).IsRectEmpty());
}

} // namespace
