#include <gtest/gtest.h>

#include "editor/textdraw.h"
#include "testing/driver.h"

namespace {

class TextDrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        tvtest::Init();
        dc_ = CreateCompatibleDC(nullptr);
        bmp_ = CreateCompatibleBitmap(dc_, 2000, 60);
        oldBmp_ = SelectObject(dc_, bmp_);
        SetHeight(-16);
        tvtest::TraceTextOut(true);
    }
    void TearDown() override {
        tvtest::TraceTextOut(false);
        SelectObject(dc_, oldBmp_);
        SelectObject(dc_, GetStockObject(SYSTEM_FONT));
        if (font_) DeleteObject(font_);
        DeleteObject(bmp_);
        DeleteDC(dc_);
    }
    void SetHeight(int h) {
        LOGFONTW lf{};
        lf.lfHeight = h;
        lf.lfWeight = FW_NORMAL;
        lf.lfCharSet = SHIFTJIS_CHARSET;
        lf.lfPitchAndFamily = FIXED_PITCH;
        wcscpy_s(lf.lfFaceName, LF_FACESIZE, u"Terminal");
        HFONT f = CreateFontIndirectW(&lf);
        SelectObject(dc_, f);
        if (font_) DeleteObject(font_);
        font_ = f;
    }
    int Draw(const std::u16string& s, int xOffset = 0, BOOL tabAsSpace = FALSE, int tabOrigin = 100) {
        RECT clip{100, 0, 1900, 40};
        return textdraw_draw_run(tabAsSpace, dc_, dc_, s.data(), static_cast<int>(s.size()), &clip, &cache_,
                                 tabOrigin, ETO_CLIPPED, 2, xOffset);
    }
    // The x at which the trace drew the text t.
    int XOf(const std::u16string& t) {
        for (auto& r : tvtest::TextOuts())
            if (r.text == t) return r.x;
        return -1;
    }
    HDC dc_ = nullptr;
    HBITMAP bmp_ = nullptr;
    HGDIOBJ oldBmp_ = nullptr;
    HFONT font_ = nullptr;
    CharWidthCache cache_;
};

TEST_F(TextDrawTest, TabsGoToStopsOfTabWidthColumns) {
    cache_.Reset(dc_);
    ASSERT_EQ(cache_.GetWidth(dc_, u'x', nullptr), 8);
    EXPECT_EQ(cache_.TabStopWidth(), 32);
    Draw(u"ab\tc");
    EXPECT_EQ(XOf(u"c"), 100 + 32);
    auto& t = tvtest::TextOuts();
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[1].text, u" ");
    EXPECT_EQ(t[1].dx, std::vector<int>{16});
    EXPECT_EQ(t[0].y, 2);
    tvtest::TextOuts().clear();
    EXPECT_EQ(Draw(u"ab\t\tc"), 100 + 64 + 8);
    EXPECT_EQ(XOf(u"c"), 100 + 64);
    // Spacing widens the stops and every advance.
    tvtest::TextOuts().clear();
    cache_.m_spacing = 1;
    Draw(u"ab\tc");
    EXPECT_EQ(XOf(u"c"), 100 + 36);
}

TEST_F(TextDrawTest, TabAsSpace) {
    cache_.Reset(dc_);
    Draw(u"a\t\tb", 0, TRUE);
    EXPECT_EQ(XOf(u"b"), 100 + 8 * 3);
}

TEST_F(TextDrawTest, DoubleWidthFixOnOddSizes) {
    SetHeight(-15);
    cache_.Reset(dc_);
    EXPECT_EQ(cache_.GetWidth(dc_, u'x', nullptr), 8);
    EXPECT_EQ(cache_.m_doubleWidthThreshold, 15);
    EXPECT_EQ(cache_.m_doubleWidthFix, 1);
    EXPECT_EQ(cache_.GetWidth(dc_, 0x3042, nullptr), 16);
    EXPECT_EQ(cache_.GetWidth(dc_, 0x6F22, nullptr), 16);
    // Even sizes need no fix.
    SetHeight(-16);
    cache_.Reset(dc_);
    EXPECT_EQ(cache_.m_doubleWidthFix, 0);
    EXPECT_EQ(cache_.GetWidth(dc_, 0x3042, nullptr), 16);
}

TEST_F(TextDrawTest, SurrogatePairsAndLoneSurrogates) {
    cache_.Reset(dc_);
    EXPECT_EQ(Draw(u"𠀋a"), 100 + 16 + 8);
    auto& t = tvtest::TextOuts();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].dx, (std::vector<int>{16, 0, 8}));
    EXPECT_EQ(cache_.GetWidth(dc_, 0xDC0B, nullptr), 0);
    tvtest::TextOuts().clear();
    EXPECT_EQ(Draw(std::u16string(1, char16_t(0xDC0B)) + u"a"), 100 + 8);
}

TEST_F(TextDrawTest, RunLeftOfTheClipIsClippedNotShifted) {
    cache_.Reset(dc_);
    EXPECT_EQ(Draw(u"abcdef", -20), 100 + 28);
    auto& t = tvtest::TextOuts();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].x, 80);
    EXPECT_EQ(t[0].rect.left, 100);
    EXPECT_EQ(t[0].rect.right, 128);
    // The pen stops at the clip's right edge; later pieces are not drawn.
    tvtest::TextOuts().clear();
    RECT narrow{100, 0, 120, 40};
    std::u16string s(150, u'a');
    EXPECT_EQ(textdraw_draw_run(FALSE, dc_, dc_, s.data(), 150, &narrow, &cache_, 100, 0, 0, 0), 120);
    EXPECT_EQ(tvtest::TextOuts().size(), 1u);
    // An empty clip draws nothing.
    RECT empty{50, 0, 40, 10};
    EXPECT_EQ(textdraw_draw_run(FALSE, dc_, dc_, s.data(), 150, &empty, &cache_, 100, 0, 0, 0), 50);
}

TEST_F(TextDrawTest, LongRunsGoOutInPiecesWithoutSplittingPairs) {
    cache_.Reset(dc_);
    std::u16string s(98, u'a');
    s += u"𠀋";
    while (s.size() < 250) s += u"b𠀋";
    s.resize(250);
    if (s.back() >= 0xD800 && s.back() < 0xDC00) s.back() = u'c';
    Draw(s);
    size_t total = 0;
    for (auto& r : tvtest::TextOuts()) {
        EXPECT_LE(r.text.size(), 99u);
        char16_t last = r.text.back();
        EXPECT_FALSE(last >= 0xD800 && last < 0xDC00);
        total += r.text.size();
    }
    EXPECT_EQ(total, 250u);
    EXPECT_EQ(tvtest::TextOuts()[0].text.size(), 98u);
}

TEST_F(TextDrawTest, TabRuleWithoutStopsAndLeftOfTheOrigin) {
    // Before the first reset there are no stops: a tab is a space plus the spacing.
    cache_.m_spacing = 2;
    EXPECT_EQ(cache_.TabStopWidth(), 0);
    Draw(u"a\tb");
    EXPECT_EQ(XOf(u"b"), 100 + 10 + 10);
    EXPECT_EQ(textdraw_tab_advance(37, 0, 0, 9), 9);
    EXPECT_EQ(textdraw_tab_advance(37, 0, -5, 9), 9);
    // A pen left of the origin still gets 1..stop pixels.
    EXPECT_EQ(textdraw_tab_advance(90, 100, 32, 8), 10);
    EXPECT_EQ(textdraw_tab_advance(68, 100, 32, 8), 32);
    EXPECT_EQ(textdraw_tab_advance(69, 100, 32, 8), 31);
    EXPECT_EQ(textdraw_tab_advance(131, 100, 32, 8), 1);
    // A tab width of 0 counts as 1.
    cache_.m_spacing = 0;
    cache_.Reset(dc_);
    cache_.m_tabWidth = 0;
    EXPECT_EQ(cache_.TabStopWidth(), 8);
}

// A reset in the font the table was measured in keeps what it measured (a
// window sets its font up several times as it is made); another font
// refills it.
TEST_F(TextDrawTest, ResetRefillsOnlyForAnotherFont) {
    cache_.Reset(dc_);
    EXPECT_EQ(cache_.GetWidth(dc_, 0x6F22, nullptr), 16);
    // A DC in a font of 10 pixels, where 漢 is as wide.
    HDC other = CreateCompatibleDC(nullptr);
    LOGFONTW lf{};
    GetObjectW(font_, sizeof lf, &lf);
    lf.lfHeight = -10;
    HFONT small = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(other, small);
    ASSERT_EQ(textdraw_char_width(other, 0x6F22, nullptr), 10);
    cache_.Reset(dc_);
    EXPECT_EQ(cache_.GetWidth(other, 0x6F22, nullptr), 16);
    cache_.Reset(other);
    EXPECT_EQ(cache_.m_doubleWidthThreshold, 10);
    EXPECT_EQ(cache_.GetWidth(other, 0x6F22, nullptr), 10);
    // Back in the first font (a new object of the same description).
    SetHeight(-16);
    cache_.Reset(dc_);
    EXPECT_EQ(cache_.m_doubleWidthThreshold, 16);
    EXPECT_EQ(cache_.GetWidth(other, 0x6F22, nullptr), 10);
    SelectObject(other, old);
    DeleteObject(small);
    DeleteDC(other);
}

TEST_F(TextDrawTest, WidthsWithoutATableAreMeasuredUncached) {
    EXPECT_FALSE(cache_.HasTable());
    EXPECT_EQ(cache_.GetWidth(dc_, u'x', nullptr), 8);
    EXPECT_EQ(cache_.GetWidth(nullptr, u'x', nullptr), 0);
    EXPECT_EQ(textdraw_char_width(nullptr, u'x', nullptr), 0);
    EXPECT_FALSE(cache_.HasTable());
}

TEST_F(TextDrawTest, LazyDcIsFetchedOnlyWhenAWidthIsMissing) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"LazyTest";
    RegisterClassW(&wc);
    HWND h = CreateWindowExW(0, u"LazyTest", u"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                             nullptr);
    cache_.Reset(dc_);
    {
        LazyClientDC lazy(h, font_);
        EXPECT_EQ(cache_.GetWidth(nullptr, u'x', &lazy), 8);
        EXPECT_FALSE(lazy.Fetched());
        EXPECT_EQ(cache_.GetWidth(nullptr, 0x4E00, &lazy), 16);
        EXPECT_TRUE(lazy.Fetched());
    }
    DestroyWindow(h);
}

} // namespace
