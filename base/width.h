// Full-width (zenkaku) and half-width (hankaku) conversion of Japanese text,
// and the width fold of single characters for width-insensitive matching.
#pragma once

#include <cstdint>

// Converts src to full width into dst, NUL-terminated. ascii converts
// letters, digits, symbols and the space; kana converts half-width katakana
// (a base followed by a voiced or semi-voiced mark becomes one character).
// dst must hold 2 * length(src) + 1 units. Returns nonzero when at least one
// character was converted.
int width_to_zenkaku(const char16_t* src, char16_t* dst, int ascii, int kana);

// Converts src to half width into dst, NUL-terminated (a voiced kana becomes
// two units). Same buffer rule and result as width_to_zenkaku.
int width_to_hankaku(const char16_t* src, char16_t* dst, int ascii, int kana);

// The half-width form of one code point for matching: full-width ASCII
// U+FF01..U+FF5D and the six full-width symbols fold; kana and everything
// else stay.
inline uint32_t width_fold_char(uint32_t c) {
    if (c >= 0xFF01 && c <= 0xFF5D) return c - 0xFEE0;
    switch (c) {
    case 0x3000: return 0x20;
    case 0xFFE5: return 0x5C;
    case 0xFFE3: return 0x7E;
    case 0x201D: return 0x22;
    case 0x2019: return 0x27;
    case 0x2018: return 0x60;
    default: return c;
    }
}
