#include "fixture.h"

TEST_F(WindowTest, ScrollInfoClampsPageAndPosition) {
    HWND h = Make(WS_OVERLAPPED | WS_VISIBLE | WS_VSCROLL);
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE, 0, 999, 10, 0, 0};
    SetScrollInfo(h, SB_VERT, &si, TRUE);
    SetScrollPos(h, SB_VERT, 5000, TRUE);
    EXPECT_EQ(GetScrollPos(h, SB_VERT), 990);
    si = SCROLLINFO{sizeof si, SIF_PAGE, 0, 0, 5000, 0, 0};
    SetScrollInfo(h, SB_VERT, &si, TRUE);
    si.fMask = SIF_ALL;
    GetScrollInfo(h, SB_VERT, &si);
    EXPECT_EQ(si.nPage, 1000u);
    EXPECT_EQ(si.nPos, 0);
}

TEST_F(WindowTest, HidingABarWidensTheClientWithSize) {
    HWND h = Make(WS_OVERLAPPED | WS_VISIBLE | WS_VSCROLL);
    RECT r;
    GetClientRect(h, &r);
    EXPECT_EQ(r.right, 300 - GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 14);
    Log().clear();
    ShowScrollBar(h, SB_VERT, FALSE);
    GetClientRect(h, &r);
    EXPECT_EQ(r.right, 300);
    auto sizes = Of(WM_SIZE);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(LOWORD(sizes[0].lParam), 300);
}

TEST_F(WindowTest, TroughPressSendsPageAndEndButMovesNothing) {
    HWND h = Make(WS_OVERLAPPED | WS_VISIBLE | WS_VSCROLL);
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE, 0, 99, 10, 0, 0};
    SetScrollInfo(h, SB_VERT, &si, TRUE);
    tvtest::Pump();
    auto g = tvtest::BarParts(h, SB_VERT);
    Log().clear();
    int y = (g.slider.bottom + g.groove.bottom) / 2;
    tvtest::BarDown(h, SB_VERT, 7, y);
    tvtest::BarUp(h, SB_VERT);
    std::vector<WORD> codes;
    for (auto& l : Of(WM_VSCROLL)) codes.push_back(LOWORD(l.wParam));
    EXPECT_EQ(codes, (std::vector<WORD>{SB_PAGEDOWN, SB_ENDSCROLL}));
    EXPECT_EQ(GetScrollPos(h, SB_VERT), 0);
    // Held, the request repeats.
    Log().clear();
    tvtest::BarDown(h, SB_VERT, 7, g.addLine.top + 2);
    tvtest::Advance(350 + 50 * 3);
    tvtest::BarUp(h, SB_VERT);
    codes.clear();
    for (auto& l : Of(WM_VSCROLL)) codes.push_back(LOWORD(l.wParam));
    EXPECT_EQ(codes, (std::vector<WORD>{SB_LINEDOWN, SB_LINEDOWN, SB_LINEDOWN, SB_LINEDOWN, SB_LINEDOWN,
                                        SB_ENDSCROLL}));
    // A disabled bar ignores input.
    EnableScrollBar(h, SB_VERT, ESB_DISABLE_BOTH);
    Log().clear();
    tvtest::BarDown(h, SB_VERT, 7, y);
    tvtest::BarUp(h, SB_VERT);
    EXPECT_TRUE(Of(WM_VSCROLL).empty());
}

TEST_F(WindowTest, ThumbDragReportsThirtyTwoBitPositions) {
    HWND h = Make(WS_OVERLAPPED | WS_VISIBLE | WS_VSCROLL, u"TestWnd", 300, 400);
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE, 0, 200000, 10, 0, 0};
    SetScrollInfo(h, SB_VERT, &si, TRUE);
    static std::vector<int> tracks;
    tracks.clear();
    Hook() = [](HWND hwnd, UINT msg, WPARAM w, LPARAM, bool*) -> LRESULT {
        if (msg == WM_VSCROLL && LOWORD(w) == SB_THUMBTRACK) {
            SCROLLINFO s{sizeof s, SIF_TRACKPOS, 0, 0, 0, 0, 0};
            GetScrollInfo(hwnd, SB_VERT, &s);
            tracks.push_back(s.nTrackPos);
        }
        return 0;
    };
    auto g = tvtest::BarParts(h, SB_VERT);
    int x = 7, y0 = (g.slider.top + g.slider.bottom) / 2;
    tvtest::BarDown(h, SB_VERT, x, y0);
    for (int dy = 20; dy <= 300; dy += 20) tvtest::BarMove(h, SB_VERT, x, y0 + dy);
    tvtest::BarUp(h, SB_VERT);
    ASSERT_FALSE(tracks.empty());
    EXPECT_GT(tracks.back(), 65535);
    std::vector<WORD> codes;
    for (auto& l : Of(WM_VSCROLL)) codes.push_back(LOWORD(l.wParam));
    ASSERT_GE(codes.size(), 3u);
    EXPECT_EQ(codes[codes.size() - 2], SB_THUMBPOSITION);
    EXPECT_EQ(codes.back(), SB_ENDSCROLL);
    EXPECT_EQ(GetScrollPos(h, SB_VERT), 0); // the bar never moves itself
}

TEST_F(WindowTest, ScrollWindowMovesTheBodyAndInvalidatesTheUncoveredStrip) {
    HWND h = Make();
    tvtest::Pump();
    HDC dc = GetDC(h);
    RECT header{0, 0, 300, 20};
    FillRect(dc, &header, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    RECT mark{0, 60, 300, 70};
    FillRect(dc, &mark, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    ReleaseDC(h, dc);
    ValidateRect(h, nullptr);
    RECT body{0, 20, 300, 200};
    ScrollWindow(h, 0, -20, &body, &body);
    RECT upd;
    ASSERT_TRUE(GetUpdateRect(h, &upd, FALSE));
    EXPECT_EQ(upd.top, 180);
    EXPECT_EQ(upd.bottom, 200);
    EXPECT_EQ(upd.left, 0);
    EXPECT_EQ(upd.right, 300);
    dc = GetDC(h);
    EXPECT_EQ(GetPixel(dc, 5, 45), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc, 5, 65), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 5, 10), RGB(128, 128, 128));
    ReleaseDC(h, dc);
    // A pending invalid area moves along.
    ValidateRect(h, nullptr);
    RECT pending{0, 100, 10, 110};
    InvalidateRect(h, &pending, FALSE);
    ScrollWindow(h, 0, -20, &body, &body);
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    GetUpdateRgn(h, rgn, FALSE);
    EXPECT_TRUE(PtInRegion(rgn, 5, 85));
    EXPECT_FALSE(PtInRegion(rgn, 5, 105));
    DeleteObject(rgn);
}

TEST_F(WindowTest, ChildWindowsNeverCoverTheBars) {
    HWND h = Make(WS_OVERLAPPED | WS_VISIBLE | WS_VSCROLL);
    HWND c = Make(WS_CHILD | WS_VISIBLE, u"TestWnd", 400, 200, h);
    ASSERT_TRUE(c);
    tvtest::Pump();
    auto img = tvtest::Capture(h);
    int x = 300 - GetSystemMetrics(SM_CXVSCROLL) / 2;
    bool barShown = false;
    for (int y = 20; y < 180 && !barShown; ++y) barShown = (img.At(x, y) & 0xFFFFFF) != 0xFFFFFFu;
    EXPECT_TRUE(barShown);
}
