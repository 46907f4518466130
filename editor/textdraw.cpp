#include "editor/textdraw.h"

#include <algorithm>

HDC LazyClientDC::Get() {
    if (!m_hDC && m_hWnd) {
        m_hDC = ::GetDC(m_hWnd);
        if (m_hDC && m_hFont) m_hOldFont = ::SelectObject(m_hDC, m_hFont);
    }
    return m_hDC;
}

void LazyClientDC::Release() {
    if (!m_hDC) return;
    if (m_hOldFont) ::SelectObject(m_hDC, m_hOldFont);
    ::ReleaseDC(m_hWnd, m_hDC);
    m_hDC = nullptr;
    m_hOldFont = nullptr;
}

int textdraw_char_width(HDC dc, UINT cp, LazyClientDC* lazy) {
    if (!dc && lazy) dc = lazy->Get();
    if (!dc) return 0;
    WCHAR units[2];
    int n = 1;
    if (cp > 0xFFFF) {
        units[0] = static_cast<WCHAR>(0xD800 + ((cp - 0x10000) >> 10));
        units[1] = static_cast<WCHAR>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        n = 2;
    } else {
        units[0] = static_cast<WCHAR>(cp);
    }
    SIZE size{0, 0};
    if (!GetTextExtentPoint32W(dc, units, n, &size)) return 0;
    return size.cx;
}

int textdraw_tab_advance(int penX, int tabOrigin, int stopWidth, int spaceAdvance) {
    if (stopWidth <= 0) return spaceAdvance;
    long long offset = static_cast<long long>(penX) - tabOrigin;
    long long mod = offset % stopWidth;
    if (mod < 0) mod += stopWidth;
    return static_cast<int>(stopWidth - mod);
}

namespace {

bool SameFont(const LOGFONTW& a, const LOGFONTW& b) {
    return a.lfHeight == b.lfHeight && a.lfWidth == b.lfWidth && a.lfEscapement == b.lfEscapement &&
           a.lfOrientation == b.lfOrientation && a.lfWeight == b.lfWeight && a.lfItalic == b.lfItalic &&
           a.lfUnderline == b.lfUnderline && a.lfStrikeOut == b.lfStrikeOut && a.lfCharSet == b.lfCharSet &&
           a.lfOutPrecision == b.lfOutPrecision && a.lfClipPrecision == b.lfClipPrecision &&
           a.lfQuality == b.lfQuality && a.lfPitchAndFamily == b.lfPitchAndFamily &&
           wcsncmp(a.lfFaceName, b.lfFaceName, LF_FACESIZE) == 0;
}

} // namespace

void CharWidthCache::Reset(HDC dc) {
    // A window sets its font up several times as it is made; the table (256
    // KB) is refilled only when the font is another.
    LOGFONTW lf{};
    HGDIOBJ font = dc ? GetCurrentObject(dc, OBJ_FONT) : nullptr;
    const bool known = font && GetObjectW(font, sizeof lf, &lf) == static_cast<int>(sizeof lf);
    if (m_table && known && m_hasFont && SameFont(lf, m_font)) return;
    m_hasFont = known;
    m_font = lf;
    if (!m_table) m_table = std::make_unique<int[]>(0x10000);
    std::fill(m_table.get(), m_table.get() + 0x10000, kUnmeasured);
    std::fill(m_table.get() + 0xDC00, m_table.get() + 0xE000, 0);
    m_table[0] = 0;
    GetCharWidth32W(dc, 32, 126, &m_table[32]);
    m_table[9] = m_table['x'];
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    m_doubleWidthFix = 0;
    m_doubleWidthThreshold = GetWidth(dc, 0x3042, nullptr);
    // The bit set means variable pitch: proportional fonts never take the fix.
    if (tm.tmPitchAndFamily & TMPF_FIXED_PITCH) return;
    m_narrowPairWidth = 2 * m_table['x'] - 1;
    if (m_doubleWidthThreshold == m_narrowPairWidth) {
        m_doubleWidthFix = 1;
        m_table[0x3042] = kUnmeasured;
    }
}

int CharWidthCache::GetWidth(HDC dc, UINT cp, LazyClientDC* lazy) {
    if (cp > 0xFFFF) return textdraw_char_width(dc, cp, lazy);
    // Before the first reset there is no table: measure without caching.
    if (!m_table) return textdraw_char_width(dc, cp, lazy);
    int& w = m_table[cp];
    if (w == kUnmeasured) {
        int measured = textdraw_char_width(dc, cp, lazy);
        if (m_doubleWidthFix && measured == m_narrowPairWidth) measured = 2 * m_table['x'];
        w = measured;
    }
    return w;
}

int CharWidthCache::TabStopWidth() const {
    if (!m_table) return 0;
    return (m_table['x'] + m_spacing) * std::max(m_tabWidth, 1);
}

int textdraw_draw_run(BOOL tabAsSpace, HDC drawDC, HDC visDC, const WCHAR* text, int units, const RECT* clip,
                      CharWidthCache* cache, int tabOrigin, UINT options, int yOffset, int xOffset) {
    if (clip->right < clip->left) return clip->left;
    int x = clip->left + xOffset;
    int y = clip->top + yOffset;
    int stop = cache->TabStopWidth();
    const int kPiece = 99;
    INT dx[kPiece];
    int i = 0;
    while (i < units) {
        if (text[i] == u'\t') {
            int space = cache->Advance(cache->GetWidth(drawDC, u' ', nullptr));
            int advance = tabAsSpace ? space : textdraw_tab_advance(x, tabOrigin, stop, space);
            RECT r{std::max(x, static_cast<int>(clip->left)), clip->top,
                   std::min(x + advance, static_cast<int>(clip->right)), clip->bottom};
            INT one = advance;
            ExtTextOutW(drawDC, x, y, options, &r, u" ", 1, &one);
            x = r.right;
            ++i;
            continue;
        }
        int n = 0, sum = 0;
        while (i + n < units && n < kPiece && text[i + n] != u'\t') {
            char16_t c = text[i + n];
            bool pair = c >= 0xD800 && c < 0xDC00 && i + n + 1 < units && text[i + n + 1] >= 0xDC00 &&
                        text[i + n + 1] < 0xE000;
            if (pair) {
                if (n + 2 > kPiece) break;
                UINT cp = 0x10000 + ((c - 0xD800u) << 10) + (text[i + n + 1] - 0xDC00u);
                int adv = cache->Advance(cache->GetWidth(drawDC, cp, nullptr));
                dx[n] = adv;
                dx[n + 1] = 0;
                sum += adv;
                n += 2;
            } else {
                int adv = cache->Advance(cache->GetWidth(drawDC, c, nullptr));
                dx[n] = adv;
                sum += adv;
                ++n;
            }
        }
        RECT r{std::max(x, static_cast<int>(clip->left)), clip->top,
               std::min(x + sum, static_cast<int>(clip->right)), clip->bottom};
        bool visible = visDC ? RectVisible(visDC, &r) != FALSE : r.right > r.left;
        if (r.right > 0 && visible)
            ExtTextOutW(drawDC, x, y, options, &r, text + i, static_cast<UINT>(n), dx);
        x = r.right;
        i += n;
    }
    return x;
}
