// Character widths per font, the lazily fetched client DC, and the drawing of
// a run of text with explicit advances, tabs and surrogate pairs.
#pragma once

#include <memory>

#include <afxwin.h>

// A window's client DC with a font selected, fetched only when a measurement needs it.
class LazyClientDC {
public:
    LazyClientDC(HWND wnd, HFONT font) : m_hWnd(wnd), m_hFont(font) {}
    ~LazyClientDC() { Release(); }
    HDC Get();
    void Release();
    bool Fetched() const { return m_hDC != nullptr; }

    LazyClientDC(const LazyClientDC&) = delete;
    LazyClientDC& operator=(const LazyClientDC&) = delete;

private:
    HWND m_hWnd;
    HFONT m_hFont;
    HDC m_hDC = nullptr;
    HGDIOBJ m_hOldFont = nullptr;
};

// Width of one code point (a pair above U+FFFF) from GetTextExtentPoint32W;
// without a DC the lazy one is fetched; with neither, 0.
int textdraw_char_width(HDC dc, UINT cp, LazyClientDC* lazy);

// The advance of a tab whose pen is at penX: up to the next stop counted from
// tabOrigin (1..stopWidth pixels, also left of the origin), or, when there is
// no stop width, the advance of a space.
int textdraw_tab_advance(int penX, int tabOrigin, int stopWidth, int spaceAdvance);

class CharWidthCache {
public:
    static constexpr int kUnmeasured = -1;

    // Prepares the table for the font selected into dc; the widths measured
    // so far stay when it is the font they were measured in.
    void Reset(HDC dc);
    // Width in pixels; code points above U+FFFF are measured on every call.
    int GetWidth(HDC dc, UINT cp, LazyClientDC* lazy);
    // Width plus the spacing (twice the spacing for double-width characters).
    int Advance(int width) const {
        return width + (width >= m_doubleWidthThreshold && m_doubleWidthThreshold > 0 ? 2 : 1) * m_spacing;
    }
    // (width of "x" + spacing) * tab width, or 0 before the first reset.
    int TabStopWidth() const;
    bool HasTable() const { return m_table != nullptr; }

    int m_tabWidth = 4;
    int m_spacing = 0;
    int m_doubleWidthThreshold = 0;
    int m_narrowPairWidth = 0;
    int m_doubleWidthFix = 0;

private:
    std::unique_ptr<int[]> m_table;
    bool m_hasFont = false;
    LOGFONTW m_font{}; // the font of the table
};

// Draws text[0..units) from the clip rectangle's left + xOffset, top + yOffset;
// returns the pen x after the run (never beyond the clip's right edge).
int textdraw_draw_run(BOOL tabAsSpace, HDC drawDC, HDC visDC, const WCHAR* text, int units, const RECT* clip,
                      CharWidthCache* cache, int tabOrigin, UINT options, int yOffset, int xOffset);
