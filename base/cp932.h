// Single-character CP932 lookups for the text-file codecs, built once from
// the code-page converters (MultiByteToWideChar / WideCharToMultiByte, code
// page 932) and cached, so that the codecs convert a character with a table
// read instead of a converter call.
#pragma once

#include <cstdint>

struct Cp932Table {
    static constexpr char16_t kNone = 0xFFFF; // no character / no code

    bool lead[256];         // lead bytes of two-byte characters
    char16_t single[256];   // a non-lead byte's character, or kNone
    char16_t pair[0x10000]; // (lead << 8 | trail)'s character, or kNone

    // A BMP unit's code: < 0x100 one byte, else lead << 8 | trail; kNone when
    // none. Built on first use (thread-safe): a reader never needs it.
    const uint16_t* encode() const;

    // Bytes to one UTF-16 unit: 1 or 2 (bytes used) for a defined single byte
    // or pair, -1 for anything else (the caller skips one byte). n is the
    // number of bytes available.
    int to_unit(const unsigned char* p, int n, char16_t* unit) const;
    // One UTF-16 unit to bytes: 1 or 2, or -1 when the unit has no code (a
    // surrogate included). A best-fit mapping (U+00A2 -> 81 91, which reads
    // back as U+FFE0) counts as none, except U+00A5 -> 5C and U+301C -> 81 60.
    int from_unit(char16_t unit, unsigned char* out) const;
};

// The table, built on first use (thread-safe).
const Cp932Table& cp932_table();

// A best-fit code reads back as another character, so text written with one
// would change: such a character counts as one without a code. Two are kept,
// as Japanese text means them by those codes: U+00A5 -> 5C (the yen sign) and
// U+301C -> 81 60 (the JIS wave dash). For those two, the character their
// code reads back as (U+005C, U+FF5E); 0 for any other unit.
char16_t cp932_kept_best_fit(char16_t unit);
