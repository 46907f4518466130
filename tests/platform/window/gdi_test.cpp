#include "fixture.h"

namespace {
HFONT Font(int height, LPCWSTR face, BYTE pitch = FIXED_PITCH) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lf.lfPitchAndFamily = pitch;
    wcscpy_s(lf.lfFaceName, LF_FACESIZE, face);
    return CreateFontIndirectW(&lf);
}
int Width(HDC dc, LPCWSTR s) {
    SIZE sz{};
    GetTextExtentPoint32W(dc, s, static_cast<int>(wcslen(s)), &sz);
    return sz.cx;
}
// Leftmost column with ink (non-white) in rows top..bottom of a memory DC.
int FirstInk(HDC dc, int from, int to, int top, int bottom) {
    for (int x = from; x < to; ++x)
        for (int y = top; y < bottom; ++y)
            if (GetPixel(dc, x, y) != RGB(255, 255, 255)) return x;
    return -1;
}
struct MemDC {
    HDC dc;
    HBITMAP bmp;
    HGDIOBJ old;
    MemDC(int w, int h) {
        dc = CreateCompatibleDC(nullptr);
        bmp = CreateCompatibleBitmap(dc, w, h);
        old = SelectObject(dc, bmp);
        RECT r{0, 0, w, h};
        FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    ~MemDC() {
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
};
} // namespace

TEST_F(WindowTest, TerminalMapsToTheMonoCjkFaceWithWindowsMetrics) {
    MemDC m(10, 10);
    HFONT f = Font(-18, u"Terminal");
    SelectObject(m.dc, f);
    EXPECT_EQ(Width(m.dc, u"x"), 9);
    EXPECT_EQ(Width(m.dc, u"あ"), 18);
    EXPECT_EQ(Width(m.dc, u"xあ𠀋"), 9 + 18 + Width(m.dc, u"𠀋"));
    TEXTMETRICW tm{};
    GetTextMetricsW(m.dc, &tm);
    EXPECT_EQ(tm.tmAveCharWidth, 9);
    EXPECT_EQ(tm.tmPitchAndFamily & TMPF_FIXED_PITCH, 0);
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    INT w[95];
    GetCharWidth32W(m.dc, 32, 126, w);
    EXPECT_EQ(w['x' - 32], 9);
    EXPECT_EQ(w['W' - 32], 9);

    HFONT p = Font(-18, u"ＭＳ Ｐゴシック", VARIABLE_PITCH);
    SelectObject(m.dc, p);
    GetTextMetricsW(m.dc, &tm);
    EXPECT_NE(tm.tmPitchAndFamily & TMPF_FIXED_PITCH, 0);
    SelectObject(m.dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(f);
    DeleteObject(p);
}

TEST_F(WindowTest, FullWidthIsTwiceOrTwiceMinusOne) {
    MemDC m(10, 10);
    for (int h = -10; h >= -30; --h) {
        HFONT f = Font(h, u"ＭＳ ゴシック");
        HGDIOBJ old = SelectObject(m.dc, f);
        int x = Width(m.dc, u"x"), a = Width(m.dc, u"あ");
        EXPECT_TRUE(a == 2 * x || a == 2 * x - 1) << "height " << h << ": x " << x << ", あ " << a;
        if (h == -15) {
            EXPECT_EQ(x, 8);
            EXPECT_EQ(a, 15);
        }
        SelectObject(m.dc, old);
        DeleteObject(f);
    }
}

TEST_F(WindowTest, FontFamiliesAreEnumerated) {
    MemDC m(10, 10);
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    wcscpy_s(lf.lfFaceName, LF_FACESIZE, u"Terminal");
    static DWORD type;
    type = 0;
    EnumFontFamiliesExW(
        m.dc, &lf,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD t, LPARAM) -> int {
            type = t;
            return 0;
        },
        0, 0);
    EXPECT_EQ(type, static_cast<DWORD>(RASTER_FONTTYPE));
    wcscpy_s(lf.lfFaceName, LF_FACESIZE, u"ＭＳ ゴシック");
    EnumFontFamiliesExW(
        m.dc, &lf,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD t, LPARAM) -> int {
            type = t;
            return 0;
        },
        0, 0);
    EXPECT_EQ(type, static_cast<DWORD>(TRUETYPE_FONTTYPE));
}

TEST_F(WindowTest, ExplicitAdvancesPlaceEachCharacter) {
    MemDC a(200, 40), b(200, 40);
    HFONT f = Font(-18, u"Terminal");
    SelectObject(a.dc, f);
    SelectObject(b.dc, f);
    SetBkMode(a.dc, TRANSPARENT);
    SetBkMode(b.dc, TRANSPARENT);
    INT dx[2] = {20, 20};
    ExtTextOutW(a.dc, 10, 5, 0, nullptr, u"ab", 2, dx);
    ExtTextOutW(b.dc, 30, 5, 0, nullptr, u"b", 1, nullptr);
    // "b" of the pair lands where "b" alone at x + 20 lands.
    EXPECT_EQ(FirstInk(a.dc, 25, 200, 0, 40), FirstInk(b.dc, 25, 200, 0, 40));
    EXPECT_GE(FirstInk(b.dc, 25, 200, 0, 40), 30);

    // ETO_CLIPPED leaves no ink outside the rectangle; ETO_OPAQUE fills it with the background.
    MemDC c(200, 40);
    SelectObject(c.dc, f);
    SetBkColor(c.dc, RGB(255, 255, 255));
    RECT clip{10, 5, 24, 30};
    ExtTextOutW(c.dc, 10, 5, ETO_CLIPPED, &clip, u"WWWW", 4, nullptr);
    EXPECT_EQ(FirstInk(c.dc, 24, 200, 0, 40), -1);
    EXPECT_GE(FirstInk(c.dc, 10, 24, 0, 40), 10);
    SetBkColor(c.dc, RGB(0, 0, 255));
    SetBkMode(c.dc, TRANSPARENT);
    RECT fill{100, 0, 120, 10};
    ExtTextOutW(c.dc, 100, 0, ETO_OPAQUE, &fill, nullptr, 0, nullptr);
    EXPECT_EQ(GetPixel(c.dc, 110, 5), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(c.dc, 121, 5), RGB(255, 255, 255));
    SelectObject(a.dc, GetStockObject(SYSTEM_FONT));
    SelectObject(b.dc, GetStockObject(SYSTEM_FONT));
    SelectObject(c.dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(f);
}

TEST_F(WindowTest, LinesExcludeTheirEndPoint) {
    MemDC m(20, 20);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    SelectObject(m.dc, pen);
    MoveToEx(m.dc, 2, 5, nullptr);
    LineTo(m.dc, 10, 5);
    EXPECT_EQ(GetPixel(m.dc, 2, 5), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(m.dc, 9, 5), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(m.dc, 10, 5), RGB(255, 255, 255));
    SelectObject(m.dc, GetStockObject(BLACK_PEN));
    DeleteObject(pen);
}

TEST_F(WindowTest, PaintClipsToTheUpdateRegion) {
    HWND h = Make();
    tvtest::Pump();
    static bool visibleInside, visibleOutside;
    Hook() = [](HWND hwnd, UINT msg, WPARAM, LPARAM, bool* handled) -> LRESULT {
        if (msg != WM_PAINT) return 0;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT in{12, 12, 14, 14}, out{100, 100, 110, 110};
        visibleInside = RectVisible(dc, &in);
        visibleOutside = RectVisible(dc, &out);
        RECT all{0, 0, 300, 200};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        EndPaint(hwnd, &ps);
        *handled = true;
        return 0;
    };
    RECT r{10, 10, 20, 20};
    InvalidateRect(h, &r, FALSE);
    tvtest::Pump();
    EXPECT_TRUE(visibleInside);
    EXPECT_FALSE(visibleOutside);
    auto img = tvtest::Capture(h);
    EXPECT_EQ(img.At(15, 15) & 0xFFFFFF, 0u);
    EXPECT_EQ(img.At(50, 50) & 0xFFFFFF, 0xFFFFFFu);
}

// Window-sized bitmaps come from memory kept after the last one was deleted:
// each new one still starts white, and each is its own.
TEST_F(WindowTest, WindowSizedBitmapsStartWhiteThoughTheirMemoryIsReused) {
    HDC dc = CreateCompatibleDC(nullptr);
    const POINT probes[] = {{0, 0}, {799, 0}, {400, 300}, {0, 599}, {799, 599}};
    HBITMAP held = nullptr;
    for (int round = 0; round < 4; ++round) {
        HBITMAP bmp = CreateCompatibleBitmap(dc, 800, 600);
        ASSERT_TRUE(bmp);
        HGDIOBJ old = SelectObject(dc, bmp);
        for (const POINT& p : probes) EXPECT_EQ(GetPixel(dc, p.x, p.y), RGB(255, 255, 255)) << round;
        RECT all{0, 0, 800, 600};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        SelectObject(dc, old);
        if (round == 1) {
            held = bmp; // kept alive: the next one is another block
        } else {
            DeleteObject(bmp);
        }
    }
    HGDIOBJ old = SelectObject(dc, held);
    EXPECT_EQ(GetPixel(dc, 400, 300), RGB(0, 0, 0));
    SelectObject(dc, old);
    DeleteObject(held);
    DeleteDC(dc);
}

TEST_F(WindowTest, CaretIsXoredAtPresentation) {
    HWND h = Make();
    tvtest::Pump();
    CreateCaret(h, nullptr, 2, 16);
    SetCaretPos(40, 30);
    ShowCaret(h);
    auto img = tvtest::Capture(h);
    EXPECT_EQ(img.At(40, 30) & 0xFFFFFF, 0u); // white background inverted
    EXPECT_EQ(img.At(42, 30) & 0xFFFFFF, 0xFFFFFFu);
    // Blinking on the fake clock.
    tvtest::Advance(GetCaretBlinkTime());
    img = tvtest::Capture(h);
    EXPECT_EQ(img.At(40, 30) & 0xFFFFFF, 0xFFFFFFu);
    tvtest::Advance(GetCaretBlinkTime());
    img = tvtest::Capture(h);
    EXPECT_EQ(img.At(40, 30) & 0xFFFFFF, 0u);
    // Painting under the caret never smears it: the back buffer stays clean.
    HDC dc = GetDC(h);
    EXPECT_EQ(GetPixel(dc, 40, 30), RGB(255, 255, 255));
    ReleaseDC(h, dc);
    HideCaret(h);
    img = tvtest::Capture(h);
    EXPECT_EQ(img.At(40, 30) & 0xFFFFFF, 0xFFFFFFu);
    DestroyCaret();
}

TEST_F(WindowTest, GrayCaretIsAHalftone) {
    HWND h = Make();
    tvtest::Pump();
    CreateCaret(h, reinterpret_cast<HBITMAP>(1), 4, 4);
    SetCaretPos(10, 10);
    ShowCaret(h);
    auto img = tvtest::Capture(h);
    EXPECT_EQ(img.At(10, 10) & 0xFFFFFF, 0u);
    EXPECT_EQ(img.At(11, 10) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(img.At(11, 11) & 0xFFFFFF, 0u);
    DestroyCaret();
    img = tvtest::Capture(h);
    EXPECT_EQ(img.At(10, 10) & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(WindowTest, UnderlinedTextDrawsALineUnderTheRun) {
    MemDC m(100, 40);
    LOGFONTW lf{};
    lf.lfHeight = -16;
    lf.lfUnderline = TRUE;
    wcscpy_s(lf.lfFaceName, LF_FACESIZE, u"Terminal");
    HFONT f = CreateFontIndirectW(&lf);
    SelectObject(m.dc, f);
    SetBkMode(m.dc, TRANSPARENT);
    TextOutW(m.dc, 10, 0, u"   ", 3);
    TEXTMETRICW tm{};
    GetTextMetricsW(m.dc, &tm);
    EXPECT_EQ(GetPixel(m.dc, 20, tm.tmAscent + 1), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(m.dc, 35, tm.tmAscent + 1), RGB(255, 255, 255));
    SelectObject(m.dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(f);
}

TEST_F(WindowTest, CharactersBeyondTheBasicPlaneDrawTheirGlyph) {
    // U+20BB7 is in the CJK faces the fallback chain holds; U+3FFFD is in no
    // face and draws the missing-glyph box. The two must not look alike.
    auto draw = [](const char16_t* text) {
        MemDC m(40, 40);
        HFONT f = Font(-24, u"Terminal");
        SelectObject(m.dc, f);
        SetBkMode(m.dc, TRANSPARENT);
        TextOutW(m.dc, 4, 4, text, 2);
        std::vector<bool> ink;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) ink.push_back(GetPixel(m.dc, x, y) != RGB(255, 255, 255));
        SelectObject(m.dc, GetStockObject(SYSTEM_FONT));
        DeleteObject(f);
        return ink;
    };
    const std::vector<bool> kanji = draw(u"\U00020BB7");
    const std::vector<bool> missing = draw(u"\U0003FFFD");
    int differ = 0, inked = 0;
    for (size_t i = 0; i < kanji.size(); ++i) {
        differ += kanji[i] != missing[i] ? 1 : 0;
        inked += kanji[i] ? 1 : 0;
    }
    EXPECT_GT(inked, 20);
    EXPECT_GT(differ, 20);
}

// The advances the font layer reads from a face's own tables are Qt's design
// advances to the 1/64 pixel, for Latin, kana, kanji and full-width forms in
// the faces the program maps to, regular and bold, small to large.
TEST_F(WindowTest, AdvancesFromTheFaceTablesAreQtsDesignAdvances) {
    std::u32string cps;
    for (char32_t c = 0x20; c < 0x7F; ++c) cps.push_back(c);
    for (char32_t c = 0x3041; c < 0x3097; ++c) cps.push_back(c);
    for (char32_t c = 0x30A1; c < 0x30FB; ++c) cps.push_back(c);
    for (char32_t c : std::u32string(U"一二三社員番号氏名部署給与漢字表示編集終了ｱｲｳ０１ＡＢ、。・ー〜"))
        cps.push_back(c);
    int faces = 0;
    const std::pair<const char16_t*, const char*> families[] = {
        {u"Noto Sans Mono CJK JP", "mono"}, {u"Noto Sans CJK JP", "sans"}, {u"DejaVu Sans", "dejavu"}};
    for (const auto& [family, name] : families) {
        if (!qtplatform::FamilyInstalled(family)) continue;
        ++faces;
        for (int px : {9, 12, 13, 15, 16, 18, 21, 24, 33, 48})
            for (bool bold : {false, true})
                EXPECT_EQ(qtplatform::TableAdvanceMismatches(family, px, bold, cps), 0)
                    << name << " " << px << (bold ? " bold" : "");
    }
    EXPECT_GT(faces, 0);
}
