#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "scrolldemo_window.h"
#include "testing/driver.h"

TEST(ScrollDemo, ScrolledThereLooksLikeOpenedThere) {
    tvtest::Init();
    CDemoFrame scrolled;
    ASSERT_TRUE(scrolled.CreateFrame(800, 600));
    tvtest::Pump();
    int sent = ScrollDemoTo(scrolled.m_grid, 500, 3);
    EXPECT_GT(sent, 3);
    EXPECT_EQ(scrolled.m_grid.Row(), 500);
    EXPECT_EQ(scrolled.m_grid.Col(), 3);
    auto a = tvtest::Capture(scrolled.m_hWnd);

    CDemoFrame fresh;
    ASSERT_TRUE(fresh.CreateFrame(800, 600));
    fresh.m_grid.JumpTo(500, 3);
    auto b = tvtest::Capture(fresh.m_hWnd);
    ASSERT_EQ(a.width, b.width);
    ASSERT_EQ(a.height, b.height);
    int differing = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            if (a.At(x, y) != b.At(x, y) && differing++ == 0) firstX = x, firstY = y;
    EXPECT_EQ(differing, 0) << "first difference at " << firstX << ", " << firstY;
    if (const char* dir = getenv("SCROLLDEMO_PNG")) {
        qtplatform::SavePng(a, std::string(dir) + "/scrolled.png");
        qtplatform::SavePng(b, std::string(dir) + "/fresh.png");
    }
}

namespace {

// Dark pixels (text, not the grid lines or backgrounds) of a region, as a
// mask cropped to their bounding box; empty when the region holds none.
struct Ink {
    int width = 0, height = 0;
    std::vector<bool> dots;
    int count() const { return static_cast<int>(std::count(dots.begin(), dots.end(), true)); }
};

bool dark(uint32_t argb) {
    return ((argb >> 16) & 0xFF) < 128 && ((argb >> 8) & 0xFF) < 128 && (argb & 0xFF) < 128;
}

template <class Pixel> Ink ink_of(int left, int top, int right, int bottom, Pixel pixel) {
    int x0 = right, y0 = bottom, x1 = left - 1, y1 = top - 1;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (dark(pixel(x, y)))
                x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
    Ink ink;
    if (x1 < x0) return ink;
    ink.width = x1 - x0 + 1;
    ink.height = y1 - y0 + 1;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) ink.dots.push_back(dark(pixel(x, y)));
    return ink;
}

// The ink of text drawn in the grid's font on a background (white unless
// given), as another program would draw it: the reference for what a cell
// must show.
Ink reference_ink(CNumberGrid& grid, const std::u16string& text, COLORREF bk = RGB(255, 255, 255)) {
    CClientDC wdc(&grid);
    CDC dc;
    dc.CreateCompatibleDC(&wdc);
    CBitmap bmp;
    const int w = 200, h = 60;
    bmp.CreateCompatibleBitmap(&wdc, w, h);
    CBitmap* oldBmp = dc.SelectObject(&bmp);
    CFont* oldFont = dc.SelectObject(&grid.m_font);
    RECT all{0, 0, w, h};
    dc.FillSolidRect(&all, bk);
    dc.SetTextColor(RGB(0, 0, 0));
    dc.SetBkColor(bk);
    dc.ExtTextOut(10, 10, ETO_OPAQUE, &all, text.c_str(), static_cast<UINT>(text.size()), nullptr);
    Ink ink = ink_of(0, 0, w, h, [&](int x, int y) {
        COLORREF c = dc.GetPixel(x, y);
        return 0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    });
    dc.SelectObject(oldFont);
    dc.SelectObject(oldBmp);
    return ink;
}

const COLORREF kHeader = RGB(230, 234, 242);

} // namespace

// What the window shows after scrolling to row 500, column 3: the header
// strip with its caption and column names, each cell's number, rows in
// alternating colours. A grid that paints nothing, the wrong numbers or one
// colour fails.
TEST(ScrollDemo, ShowsHeadersNumbersAndAlternatingRows) {
    tvtest::Init();
    CDemoFrame frame;
    ASSERT_TRUE(frame.CreateFrame(800, 600));
    tvtest::Pump();
    CNumberGrid& grid = frame.m_grid;
    ScrollDemoTo(grid, 500, 3);
    tvtest::Pump();
    auto img = tvtest::Capture(grid.m_hWnd);
    // client pixels within the captured window (its border before them)
    POINT origin{0, 0};
    ClientToScreen(grid.m_hWnd, &origin);
    RECT win{};
    GetWindowRect(grid.m_hWnd, &win);
    const int dx = origin.x - win.left, dy = origin.y - win.top;
    auto at = [&](int x, int y) { return img.At(x + dx, y + dy); };
    const int rh = grid.RowHeight(), cw = grid.ColWidth(), hw = grid.RowHeaderWidth();
    ASSERT_GT(rh, 8);
    ASSERT_GT(cw, 20);
    // a cell's region inside its grid lines, for ink_of
    auto cell_ink = [&](int left, int top, int width) {
        return ink_of(left + 1, top + 1, left + width - 2, top + rh - 2, at);
    };
    auto same = [](const Ink& a, const Ink& b) {
        return a.width == b.width && a.height == b.height && a.dots == b.dots;
    };

    // the header strip: its colour beside the text, the caption, column names from "列4" on
    const uint32_t header = 0xFFE6EAF2;
    EXPECT_EQ(at(1, 1), header);
    EXPECT_EQ(at(hw + 1, 1), header);
    EXPECT_EQ(at(1, rh + 1), header); // the row numbers' column
    Ink caption = cell_ink(0, 0, hw);
    EXPECT_GT(caption.count(), 20);
    EXPECT_TRUE(same(caption, reference_ink(grid, u"番号", kHeader)));
    EXPECT_TRUE(same(cell_ink(hw, 0, cw), reference_ink(grid, u"列4", kHeader)));
    EXPECT_TRUE(same(cell_ink(hw + cw, 0, cw), reference_ink(grid, u"列5", kHeader)));
    EXPECT_FALSE(same(cell_ink(hw, 0, cw), reference_ink(grid, u"列5", kHeader)));
    // the first row shown is 501 (counted from 1), its cells numbered row * 40 + column
    EXPECT_TRUE(same(cell_ink(0, rh, hw), reference_ink(grid, u"501", kHeader)));
    Ink number = cell_ink(hw, rh, cw);
    EXPECT_GT(number.count(), 20);
    EXPECT_TRUE(same(number, reference_ink(grid, u"20004")));
    EXPECT_TRUE(same(cell_ink(hw + cw, 2 * rh, cw), reference_ink(grid, u"20045")));
    EXPECT_FALSE(same(number, reference_ink(grid, u"20005")));
    // rows alternate white and pale blue, at the left of their right-aligned numbers
    for (int k = 0; k < 6; ++k) {
        const int row = 500 + k;
        const uint32_t want = row % 2 ? 0xFFF8F8FF : 0xFFFFFFFF;
        EXPECT_EQ(at(hw + 2, rh * (k + 1) + 2), want) << "row " << row;
        EXPECT_EQ(at(hw + 3 * cw + 2, rh * (k + 1) + rh / 2), want) << "row " << row;
    }
}
