// UTF-16 text routines: stepping through NUL-terminated UTF-16 text by code
// points, comparing with the ASCII/full-width case fold, and parsing the small
// text forms of the grid and the tokenizer (tab-separated fields, plain
// numbers, identifiers). Nothing here allocates.
//
// Surrogates: a pair is decoded only when a high surrogate is directly
// followed by a low surrogate. A high surrogate followed by anything else (the
// terminator included) and a lone low surrogate are one-unit code points of
// their own value. So stepping never passes a terminator, and valid text
// decodes as usual. utf16_decode is the one place that rule lives; every
// subsystem that steps through text calls it.
#pragma once

#include <cstddef>
#include <cstdint>

inline bool utf16_is_high_surrogate(uint32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
inline bool utf16_is_low_surrogate(uint32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}
inline bool utf16_is_surrogate(uint32_t u) {
    return u >= 0xD800 && u <= 0xDFFF;
}

// Decodes the code point at p and writes its length in units (1 or 2) to
// *units. Reads p[1] only when p[0] is a high surrogate; in NUL-terminated
// text p[1] is then at worst the terminator.
inline uint32_t utf16_decode(const char16_t* p, int* units) {
    uint32_t c = p[0];
    if (utf16_is_high_surrogate(c)) {
        uint32_t n = p[1];
        if (utf16_is_low_surrogate(n)) {
            *units = 2;
            return 0x10000 + ((c & 0x3FF) << 10) + (n & 0x3FF);
        }
    }
    *units = 1;
    return c;
}

// The same for text that is bounded by end instead of a terminator (p < end):
// a high surrogate in the last unit is a one-unit code point.
inline uint32_t utf16_decode_bounded(const char16_t* p, const char16_t* end, int* units) {
    uint32_t c = p[0];
    if (utf16_is_high_surrogate(c) && end - p >= 2) {
        uint32_t n = p[1];
        if (utf16_is_low_surrogate(n)) {
            *units = 2;
            return 0x10000 + ((c & 0x3FF) << 10) + (n & 0x3FF);
        }
    }
    *units = 1;
    return c;
}

// Length in units of the code point at p (1 or 2).
inline int utf16_char_units(const char16_t* p) {
    return utf16_is_high_surrogate(p[0]) && utf16_is_low_surrogate(p[1]) ? 2 : 1;
}

// Writes cp as one unit (below 0x10000) or a surrogate pair; returns the
// number of units written. Values above 0x10FFFF are not code points: they
// are written as U+FFFD.
inline int utf16_encode(uint32_t cp, char16_t* out) {
    if (cp < 0x10000) {
        out[0] = static_cast<char16_t>(cp);
        return 1;
    }
    if (cp > 0x10FFFF) {
        out[0] = 0xFFFD;
        return 1;
    }
    cp -= 0x10000;
    out[0] = static_cast<char16_t>(0xD800 | ((cp >> 10) & 0x3FF));
    out[1] = static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
    return 2;
}

// Case fold for comparison: A-Z and full-width Ａ-Ｚ become lower case.
inline uint32_t utf16_fold_case(uint32_t c) {
    if ((c >= 0x41 && c <= 0x5A) || (c >= 0xFF21 && c <= 0xFF3A)) return c + 32;
    return c;
}

// Number of code points of text whose first unit equals c.
int utf16_count_char(const char16_t* text, char16_t c);

// Compares the first n code points of a and b after the case fold: 0 when
// equal, else folded a minus folded b at the first difference. A terminator
// compares like any character and ends the comparison when both texts end.
int utf16_nicmp(const char16_t* a, const char16_t* b, size_t n);

// Reads one tab-separated field starting at src into buf (capacity units,
// always NUL-terminated; buf may be NULL). Returns the position of the
// character that ended the field (TAB, CR, LF or the terminator; for CR LF the
// LF).
const char16_t* utf16_get_tsv_field(const char16_t* src, char16_t* buf, int capacity);
inline char16_t* utf16_get_tsv_field(char16_t* src, char16_t* buf, int capacity) {
    return const_cast<char16_t*>(utf16_get_tsv_field(static_cast<const char16_t*>(src), buf, capacity));
}

// 1 when text holds only digits and blanks, at most one '-' and at most one
// '.' (anywhere); the empty text is a number. Else 0.
int utf16_is_number(const char16_t* text);

// 1 when an identifier has to be written in double quotes, else 0.
int utf16_needs_quotes(const char16_t* text);

// The code point at p.
uint32_t utf16_get_char(const char16_t* p);

// The position n code points after p, never past the terminator.
const char16_t* utf16_advance(const char16_t* p, size_t n);
inline char16_t* utf16_advance(char16_t* p, size_t n) {
    return const_cast<char16_t*>(utf16_advance(static_cast<const char16_t*>(p), n));
}
