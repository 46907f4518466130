// MultiByteToWideChar / WideCharToMultiByte for 932 (= CP_ACP), EUC-JP (20932,
// 51932), ISO-2022-JP (50220-50222) and UTF-8 (65001).
//
// Rules for malformed multibyte input (the documented contract leaves them
// open):
//  - 932: a lead byte that is the last byte, is followed by a byte outside the
//    trail range, or forms an undefined pair gives U+30FB (the code page's
//    default character) and decoding resumes with the byte after the lead
//    byte, so a following quote, line end or terminator is never swallowed.
//    The single bytes 80, A0 and FD-FF decode as Windows does: U+0080,
//    U+F8F0 and U+F8F1-U+F8F3.
//  - EUC-JP and ISO-2022-JP: an undecodable byte or pair gives U+30FB.
//  - UTF-8: one U+FFFD per maximal invalid subsequence.
//  - With MB_ERR_INVALID_CHARS any of these fails with
//    ERROR_NO_UNICODE_TRANSLATION.
//
// EUC-JP (20932 and 51932 alike) and ISO-2022-JP (50220-50222) are the 932
// table moved by the standard arithmetic: JIS X 0208 rows, NEC row 13 and the
// NEC-selected IBM extensions (rows 89-92: EUC-JP F9A1-FCFE, ESC $ B 7921-7C7E).
// The IBM extensions (FA40-FC4B) have no rows of their own; their characters
// are written by their NEC-selected codes and so read back unchanged. JIS X
// 0212 (8F xx xx) and the user-defined area are not carried.
#include <windows.h>

#include <cstring>
#include <mutex>

#include "codepage_cp932.h"

namespace cp932 {

namespace {

// Bytes outside the two-byte range; -1 marks a lead byte. One static object,
// built on first use and never allocated, so a library embedding it leaves
// nothing behind when unloaded.
struct Tables {
    int32_t single[256];
    uint16_t encode[0x10000]; // 0 = no code (U+0000 is handled apart)
    // The NEC-selected code (ED40-EEFC) of an IBM extension code, by
    // (lead - FA) << 8 | trail; 0 = none.
    uint16_t necSelected[3 << 8];
    Tables();
};

Tables::Tables() {
    for (int b = 0; b < 256; ++b) single[b] = -1;
    for (int b = 0; b < 0x80; ++b) single[b] = b;
    for (int b = 0xA1; b <= 0xDF; ++b) single[b] = 0xFF61 + b - 0xA1;
    single[0x80] = 0x0080;
    single[0xA0] = 0xF8F0;
    single[0xFD] = 0xF8F1;
    single[0xFE] = 0xF8F2;
    single[0xFF] = 0xF8F3;

    std::memset(encode, 0, sizeof encode);
    for (int b = 0; b < 256; ++b)
        if (single[b] > 0) encode[single[b]] = static_cast<uint16_t>(b);
    // The lowest code of each character, then Windows' exceptions.
    for (int li = 0; li < kLeadCount; ++li) {
        int lead = li < 0x1F ? 0x81 + li : 0xE0 + li - 0x1F;
        for (int ti = 0; ti < kTrailCount; ++ti) {
            uint16_t ch = kDoubleByte[li][ti];
            if (ch && !encode[ch]) encode[ch] = static_cast<uint16_t>((lead << 8) | (0x40 + ti));
        }
    }
    for (size_t i = 0; i < kEncodeExceptionCount; ++i)
        encode[kEncodeExceptions[i].ch] = kEncodeExceptions[i].code;

    std::memset(necSelected, 0, sizeof necSelected);
    for (int lead = 0xED; lead <= 0xEE; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            uint16_t ch = decodePair(static_cast<uint8_t>(lead), static_cast<uint8_t>(trail));
            uint16_t ibm = ch ? encode[ch] : 0;
            if (ibm >= 0xFA40 && ibm <= 0xFC4B && !necSelected[ibm - 0xFA00])
                necSelected[ibm - 0xFA00] = static_cast<uint16_t>((lead << 8) | trail);
        }
    }
}

const Tables& tables() {
    static const Tables t;
    return t;
}

} // namespace

uint16_t encode(uint16_t ch) {
    return tables().encode[ch];
}

int decodeSingle(uint8_t b) {
    return tables().single[b];
}

uint16_t necSelected(uint16_t code) {
    return code >= 0xFA40 && code <= 0xFC4B ? tables().necSelected[code - 0xFA00] : 0;
}

bool isBestFit(uint16_t ch) {
    uint16_t code = encode(ch);
    if (!code) return false;
    if (code < 0x100) return decodeSingle(static_cast<uint8_t>(code)) != ch;
    return decodePair(static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code)) != ch;
}

} // namespace cp932

namespace {

constexpr char16_t kJapaneseDefault = 0x30FB;
constexpr char16_t kReplacement = 0xFFFD;

enum class Status { Ok, NoRoom, Invalid };

// Output of a conversion: counts units and, when a buffer was given, stores
// them up to its capacity.
template <class T> class Out {
public:
    Out(T* dst, size_t cap) : m_dst(dst), m_cap(dst ? cap : 0), m_count(!dst) {}
    bool put(T v) {
        if (!m_count) {
            if (m_n >= m_cap) return false;
            m_dst[m_n] = v;
        }
        ++m_n;
        return true;
    }
    size_t size() const { return m_n; }

private:
    T* m_dst;
    size_t m_cap;
    bool m_count;
    size_t m_n = 0;
};

using WideOut = Out<char16_t>;
using ByteOut = Out<char>;

#define PUT(out, v)                                                                                          \
    do {                                                                                                     \
        if (!(out).put(v)) return Status::NoRoom;                                                            \
    } while (0)

// ---- 932 -------------------------------------------------------------------

Status decode932(const uint8_t* s, size_t n, bool strict, WideOut& out) {
    const int32_t* single = cp932::tables().single;
    for (size_t i = 0; i < n;) {
        uint8_t b = s[i];
        int32_t v = single[b];
        if (v >= 0) {
            PUT(out, static_cast<char16_t>(v));
            ++i;
            continue;
        }
        if (i + 1 < n) {
            uint16_t ch = cp932::decodePair(b, s[i + 1]);
            if (ch) {
                PUT(out, ch);
                i += 2;
                continue;
            }
        }
        if (strict) return Status::Invalid;
        PUT(out, kJapaneseDefault);
        ++i;
    }
    return Status::Ok;
}

// The default character written for a character without a code.
struct DefaultChar {
    char bytes[2] = {'?', 0};
    int length = 1;
};

// One character (a surrogate pair counts as one) at s[i]; returns its
// length in units and the value in *ch (a lone surrogate keeps its value).
inline size_t nextChar(const char16_t* s, size_t i, size_t n, uint32_t* ch) {
    char16_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
        *ch = 0x10000 + ((static_cast<uint32_t>(c) - 0xD800) << 10) + (s[i + 1] - 0xDC00);
        return 2;
    }
    *ch = c;
    return 1;
}

// The 932 code of a character, 0 when it has none (or, without best fit,
// when its code is a best-fit mapping). U+0000 is code 0x100 so that it is
// told from "none"; callers write it as a single 00 byte.
inline uint32_t code932(uint32_t ch, bool noBestFit) {
    if (ch == 0) return 0x100;
    if (ch < 0x80) return ch;
    if (ch > 0xFFFF || (ch >= 0xD800 && ch <= 0xDFFF)) return 0;
    uint16_t code = cp932::encode(static_cast<uint16_t>(ch));
    if (code && noBestFit && cp932::isBestFit(static_cast<uint16_t>(ch))) return 0;
    return code;
}

Status putDefault(ByteOut& out, const DefaultChar& def, bool& used) {
    used = true;
    for (int k = 0; k < def.length; ++k) PUT(out, def.bytes[k]);
    return Status::Ok;
}

// The 932 encoder, the hot path of every cell written to the database: one
// table lookup per unit, with the capacity checked only when writing.
template <bool Write>
Status encode932(const char16_t* s, size_t n, bool noBestFit, const DefaultChar& def, bool& used, char* d,
                 size_t cap, size_t& written) {
    const uint16_t* table = cp932::tables().encode;
    size_t o = 0;
    for (size_t i = 0; i < n;) {
        uint32_t c = s[i];
        uint32_t code;
        if (c < 0x80) {
            code = c;
            ++i;
        } else if (c < 0xD800 || c > 0xDFFF) {
            code = table[c];
            ++i;
            if (noBestFit && code && cp932::isBestFit(static_cast<uint16_t>(c))) code = 0;
        } else {
            uint32_t ch;
            i += nextChar(s, i, n, &ch);
            code = 0;
        }
        if (code == 0 && c != 0) {
            used = true;
            if (Write) {
                if (o + static_cast<size_t>(def.length) > cap) return Status::NoRoom;
                d[o] = def.bytes[0];
                if (def.length == 2) d[o + 1] = def.bytes[1];
            }
            o += static_cast<size_t>(def.length);
        } else if (code < 0x100) {
            if (Write) {
                if (o >= cap) return Status::NoRoom;
                d[o] = static_cast<char>(code);
            }
            ++o;
        } else {
            if (Write) {
                if (o + 2 > cap) return Status::NoRoom;
                d[o] = static_cast<char>(code >> 8);
                d[o + 1] = static_cast<char>(code & 0xFF);
            }
            o += 2;
        }
    }
    written = o;
    return Status::Ok;
}

// ---- JIS X 0208 through the 932 table ----------------------------------------

// The rows the EUC-JP and ISO-2022-JP converters carry: rows 1-84 of the 932
// table (JIS X 0208 and NEC row 13), leads 81-9F and E0-EA, and rows 89-92
// (the NEC-selected IBM extensions), leads ED-EE.
inline bool jisRowCode(uint32_t code) {
    uint32_t lead = code >> 8;
    return (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xEA) || lead == 0xED || lead == 0xEE;
}

// 932 pair to JIS X 0208 bytes (each 21-7E).
inline void sjisToJis(uint32_t code, uint8_t* j1, uint8_t* j2) {
    uint32_t s1 = code >> 8, s2 = code & 0xFF;
    uint32_t row = (s1 <= 0x9F ? s1 - 0x81 : s1 - 0xC1) * 2; // 0-based row pair
    if (s2 >= 0x9F) {
        *j1 = static_cast<uint8_t>(0x22 + row);
        *j2 = static_cast<uint8_t>(s2 - 0x7E);
    } else {
        *j1 = static_cast<uint8_t>(0x21 + row);
        *j2 = static_cast<uint8_t>(s2 - (s2 >= 0x80 ? 0x20 : 0x1F));
    }
}

// JIS X 0208 bytes (21-7E each) to the character, 0 when undefined or
// outside the carried rows (1-84 and 89-92).
inline uint16_t jisToChar(uint8_t j1, uint8_t j2) {
    if (j1 < 0x21 || j1 > 0x7E || j2 < 0x21 || j2 > 0x7E) return 0;
    uint32_t row = j1 - 0x21; // 0-93
    if (row >= 84 && !(row >= 88 && row <= 91)) return 0;
    uint32_t s1 = row / 2 + (row < 62 ? 0x81 : 0xC1);
    uint32_t s2 = (row & 1) ? j2 + 0x7E : j2 + (j2 >= 0x60 ? 0x20 : 0x1F);
    return cp932::decodePair(static_cast<uint8_t>(s1), static_cast<uint8_t>(s2));
}

// Half-width katakana U+FF61-U+FF9F as full-width characters (ISO-2022-JP
// without a katakana set). Sound marks become the spacing marks.
const char16_t kFullWidthKana[63] = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9, 0x30E3, 0x30E5,
    0x30E7, 0x30C3, 0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB, 0x30AD, 0x30AF, 0x30B1, 0x30B3,
    0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1, 0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC,
    0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5, 0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4,
    0x30E6, 0x30E8, 0x30E9, 0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x309B, 0x309C,
};

// ---- EUC-JP ------------------------------------------------------------------

Status decodeEuc(const uint8_t* s, size_t n, bool strict, WideOut& out) {
    for (size_t i = 0; i < n;) {
        uint8_t b = s[i];
        if (b < 0x80) {
            PUT(out, b);
            ++i;
            continue;
        }
        size_t used = 1;
        char16_t ch = 0;
        if (b == 0x8E && i + 1 < n && s[i + 1] >= 0xA1 && s[i + 1] <= 0xDF) {
            ch = static_cast<char16_t>(0xFF61 + s[i + 1] - 0xA1);
            used = 2;
        } else if (b >= 0xA1 && b <= 0xFE && i + 1 < n && s[i + 1] >= 0xA1 && s[i + 1] <= 0xFE) {
            ch = jisToChar(b & 0x7F, s[i + 1] & 0x7F);
            used = 2;
        } else if (b == 0x8F && i + 2 < n && s[i + 1] >= 0xA1 && s[i + 1] <= 0xFE && s[i + 2] >= 0xA1 &&
                   s[i + 2] <= 0xFE) {
            used = 3; // JIS X 0212: not carried
        }
        if (!ch) {
            if (strict) return Status::Invalid;
            ch = kJapaneseDefault;
        }
        PUT(out, ch);
        i += used;
    }
    return Status::Ok;
}

Status encodeEuc(const char16_t* s, size_t n, bool noBestFit, const DefaultChar& def, bool& used,
                 ByteOut& out) {
    for (size_t i = 0; i < n;) {
        uint32_t ch;
        i += nextChar(s, i, n, &ch);
        uint32_t code = code932(ch, noBestFit);
        if (uint16_t nec = cp932::necSelected(static_cast<uint16_t>(code))) code = nec;
        if (code == 0x100 || (code && code < 0x80)) {
            PUT(out, static_cast<char>(code & 0x7F));
        } else if (code >= 0xA1 && code <= 0xDF) {
            PUT(out, static_cast<char>(0x8E));
            PUT(out, static_cast<char>(code));
        } else if (code > 0xFF && jisRowCode(code)) {
            uint8_t j1, j2;
            sjisToJis(code, &j1, &j2);
            PUT(out, static_cast<char>(j1 | 0x80));
            PUT(out, static_cast<char>(j2 | 0x80));
        } else if (putDefault(out, def, used) != Status::Ok) {
            return Status::NoRoom;
        }
    }
    return Status::Ok;
}

// ---- ISO-2022-JP -----------------------------------------------------------------

Status decodeJis(const uint8_t* s, size_t n, bool strict, WideOut& out) {
    enum { Ascii, Kanji, Kana } set = Ascii;
    bool shifted = false;
    for (size_t i = 0; i < n;) {
        uint8_t b = s[i];
        if (b == 0x1B) {
            size_t left = n - i;
            if (left >= 3 && s[i + 1] == '$' && (s[i + 2] == 'B' || s[i + 2] == '@')) {
                set = Kanji;
                i += 3;
                continue;
            }
            if (left >= 3 && s[i + 1] == '(' && (s[i + 2] == 'B' || s[i + 2] == 'J' || s[i + 2] == 'H')) {
                set = Ascii;
                i += 3;
                continue;
            }
            if (left >= 3 && s[i + 1] == '(' && s[i + 2] == 'I') {
                set = Kana;
                i += 3;
                continue;
            }
            if (strict) return Status::Invalid;
            PUT(out, kJapaneseDefault);
            ++i;
            continue;
        }
        if (b == 0x0E) {
            shifted = true;
            ++i;
            continue;
        }
        if (b == 0x0F) {
            shifted = false;
            ++i;
            continue;
        }
        char16_t ch = 0;
        size_t used = 1;
        if (b >= 0xA1 && b <= 0xDF) {
            ch = static_cast<char16_t>(0xFF61 + b - 0xA1);
        } else if (b >= 0x80) {
            ch = 0;
        } else if ((shifted || set == Kana) && b >= 0x21 && b <= 0x5F) {
            ch = static_cast<char16_t>(0xFF61 + b - 0x21);
        } else if (set == Kanji && b >= 0x21 && b <= 0x7E) {
            // A second byte outside 21-7E is not swallowed.
            used = i + 1 < n && s[i + 1] >= 0x21 && s[i + 1] <= 0x7E ? 2 : 1;
            ch = used == 2 ? jisToChar(b, s[i + 1]) : 0;
        } else {
            ch = b;
        }
        if (!ch && b) {
            if (strict) return Status::Invalid;
            ch = kJapaneseDefault;
        }
        PUT(out, ch);
        i += used;
    }
    return Status::Ok;
}

Status encodeJis(UINT cp, const char16_t* s, size_t n, bool& used, ByteOut& out) {
    enum { Ascii, Kanji, Kana } set = Ascii;
    bool shifted = false;
    auto toAscii = [&]() -> bool {
        if (shifted) {
            if (!out.put(0x0F)) return false;
            shifted = false;
        }
        if (set != Ascii) {
            if (!out.put(0x1B) || !out.put('(') || !out.put('B')) return false;
            set = Ascii;
        }
        return true;
    };
    for (size_t i = 0; i < n;) {
        uint32_t ch;
        i += nextChar(s, i, n, &ch);
        uint32_t code = code932(ch, false);
        if (code >= 0xA1 && code <= 0xDF && cp == 50220) {
            code = cp932::encode(kFullWidthKana[code - 0xA1]);
        }
        if (uint16_t nec = cp932::necSelected(static_cast<uint16_t>(code))) code = nec;
        if (code == 0x100 || (code && code < 0x80)) {
            if (!toAscii()) return Status::NoRoom;
            PUT(out, static_cast<char>(code & 0x7F));
        } else if (code >= 0xA1 && code <= 0xDF) {
            if (cp == 50221) {
                if (shifted) {
                    PUT(out, 0x0F);
                    shifted = false;
                }
                if (set != Kana) {
                    PUT(out, 0x1B);
                    PUT(out, '(');
                    PUT(out, 'I');
                    set = Kana;
                }
            } else if (!shifted) {
                if (set == Kanji) {
                    PUT(out, 0x1B);
                    PUT(out, '(');
                    PUT(out, 'B');
                    set = Ascii;
                }
                PUT(out, 0x0E);
                shifted = true;
            }
            PUT(out, static_cast<char>(code - 0x80));
        } else if (code > 0xFF && jisRowCode(code)) {
            if (shifted) {
                PUT(out, 0x0F);
                shifted = false;
            }
            if (set != Kanji) {
                PUT(out, 0x1B);
                PUT(out, '$');
                PUT(out, 'B');
                set = Kanji;
            }
            uint8_t j1, j2;
            sjisToJis(code, &j1, &j2);
            PUT(out, static_cast<char>(j1));
            PUT(out, static_cast<char>(j2));
        } else {
            if (!toAscii()) return Status::NoRoom;
            used = true;
            PUT(out, '?');
        }
    }
    if (!toAscii()) return Status::NoRoom;
    return Status::Ok;
}

// ---- UTF-8 ---------------------------------------------------------------------

Status decodeUtf8(const uint8_t* s, size_t n, bool strict, WideOut& out) {
    for (size_t i = 0; i < n;) {
        uint8_t b = s[i];
        if (b < 0x80) {
            PUT(out, b);
            ++i;
            continue;
        }
        // Expected length and the range of the first continuation byte.
        size_t need;
        uint8_t lo = 0x80, hi = 0xBF;
        uint32_t ch;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            ch = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            ch = b & 0x0F;
            if (b == 0xE0) lo = 0xA0;
            if (b == 0xED) hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            ch = b & 0x07;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        } else {
            if (strict) return Status::Invalid;
            PUT(out, kReplacement);
            ++i;
            continue;
        }
        size_t k = 1;
        for (; k <= need && i + k < n; ++k) {
            uint8_t c = s[i + k];
            if (k == 1 ? (c < lo || c > hi) : (c < 0x80 || c > 0xBF)) break;
            ch = (ch << 6) | (c & 0x3F);
        }
        if (k <= need) {
            // The maximal invalid subsequence: the lead and its valid continuations.
            if (strict) return Status::Invalid;
            PUT(out, kReplacement);
            i += k;
            continue;
        }
        if (ch >= 0x10000) {
            PUT(out, static_cast<char16_t>(0xD800 + ((ch - 0x10000) >> 10)));
            PUT(out, static_cast<char16_t>(0xDC00 + ((ch - 0x10000) & 0x3FF)));
        } else {
            PUT(out, static_cast<char16_t>(ch));
        }
        i += need + 1;
    }
    return Status::Ok;
}

Status encodeUtf8(const char16_t* s, size_t n, bool strict, ByteOut& out) {
    for (size_t i = 0; i < n;) {
        char16_t c = s[i];
        if (c < 0x80) {
            PUT(out, static_cast<char>(c));
            ++i;
            continue;
        }
        uint32_t ch;
        i += nextChar(s, i, n, &ch);
        if (ch >= 0xD800 && ch <= 0xDFFF) {
            if (strict) return Status::Invalid;
            ch = kReplacement;
        }
        if (ch < 0x800) {
            PUT(out, static_cast<char>(0xC0 | (ch >> 6)));
        } else if (ch < 0x10000) {
            PUT(out, static_cast<char>(0xE0 | (ch >> 12)));
            PUT(out, static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
        } else {
            PUT(out, static_cast<char>(0xF0 | (ch >> 18)));
            PUT(out, static_cast<char>(0x80 | ((ch >> 12) & 0x3F)));
            PUT(out, static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
        }
        PUT(out, static_cast<char>(0x80 | (ch & 0x3F)));
    }
    return Status::Ok;
}

#undef PUT

UINT resolve(UINT cp) {
    // CP_ACP, CP_OEMCP, CP_MACCP and CP_THREAD_ACP are all the Japanese code page.
    return cp <= 3 ? 932 : cp;
}

bool isJis(UINT cp) {
    return cp >= 50220 && cp <= 50222;
}

bool known(UINT cp) {
    return cp == 932 || cp == 20932 || cp == 51932 || isJis(cp) || cp == CP_UTF8;
}

int finish(Status st, size_t n) {
    switch (st) {
    case Status::Ok: return static_cast<int>(n);
    case Status::NoRoom: SetLastError(ERROR_INSUFFICIENT_BUFFER); return 0;
    case Status::Invalid: SetLastError(ERROR_NO_UNICODE_TRANSLATION); return 0;
    }
    return 0;
}

int finishWithUsed(Status st, size_t n, bool used, LPBOOL usedDefaultChar) {
    if (usedDefaultChar) *usedDefaultChar = used ? TRUE : FALSE;
    return finish(st, n);
}

} // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcLen, LPWSTR dst, int dstLen) {
    UINT cp = resolve(codePage);
    if (!src || srcLen == 0 || srcLen < -1 || dstLen < 0 || (!dst && dstLen != 0) || !known(cp)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD allowed = cp == CP_UTF8 ? MB_ERR_INVALID_CHARS
                    : isJis(cp)   ? 0
                                  : MB_ERR_INVALID_CHARS | MB_PRECOMPOSED;
    if (flags & ~allowed) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    size_t n = srcLen < 0 ? std::strlen(src) + 1 : static_cast<size_t>(srcLen);
    auto* s = reinterpret_cast<const uint8_t*>(src);
    bool strict = (flags & MB_ERR_INVALID_CHARS) != 0;
    WideOut out(dstLen ? dst : nullptr, static_cast<size_t>(dstLen));
    Status st;
    if (cp == 932)
        st = decode932(s, n, strict, out);
    else if (cp == CP_UTF8)
        st = decodeUtf8(s, n, strict, out);
    else if (isJis(cp))
        st = decodeJis(s, n, strict, out);
    else
        st = decodeEuc(s, n, strict, out);
    return finish(st, out.size());
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcLen, LPSTR dst, int dstLen,
                        LPCSTR defaultChar, LPBOOL usedDefaultChar) {
    UINT cp = resolve(codePage);
    if (!src || srcLen == 0 || srcLen < -1 || dstLen < 0 || (!dst && dstLen != 0) || !known(cp)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // UTF-8 and ISO-2022-JP take no default character, as on Windows.
    if ((cp == CP_UTF8 || isJis(cp)) && (defaultChar || usedDefaultChar)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD allowed = cp == CP_UTF8 ? WC_ERR_INVALID_CHARS : isJis(cp) ? 0 : WC_NO_BEST_FIT_CHARS;
    if (flags & ~allowed) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    size_t n = 0;
    if (srcLen < 0) {
        while (src[n]) ++n;
        ++n;
    } else {
        n = static_cast<size_t>(srcLen);
    }
    DefaultChar def;
    if (defaultChar && defaultChar[0]) {
        def.bytes[0] = defaultChar[0];
        if (cp == 932 && cp932::isLead(static_cast<uint8_t>(defaultChar[0])) && defaultChar[1]) {
            def.bytes[1] = defaultChar[1];
            def.length = 2;
        }
    }
    bool used = false;
    bool noBestFit = (flags & WC_NO_BEST_FIT_CHARS) != 0;
    ByteOut out(dstLen ? dst : nullptr, static_cast<size_t>(dstLen));
    Status st;
    if (cp == 932) {
        size_t written = 0;
        st = dstLen ? encode932<true>(src, n, noBestFit, def, used, dst, static_cast<size_t>(dstLen), written)
                    : encode932<false>(src, n, noBestFit, def, used, nullptr, 0, written);
        return finishWithUsed(st, written, used, usedDefaultChar);
    }
    if (cp == CP_UTF8)
        st = encodeUtf8(src, n, (flags & WC_ERR_INVALID_CHARS) != 0, out);
    else if (isJis(cp))
        st = encodeJis(cp, src, n, used, out);
    else
        st = encodeEuc(src, n, noBestFit, def, used, out);
    return finishWithUsed(st, out.size(), used, usedDefaultChar);
}

UINT GetACP() {
    return 932;
}

BOOL IsDBCSLeadByte(BYTE b) {
    return cp932::isLead(b) ? TRUE : FALSE;
}

BOOL IsDBCSLeadByteEx(UINT codePage, BYTE b) {
    UINT cp = resolve(codePage);
    if (cp == 932) return cp932::isLead(b) ? TRUE : FALSE;
    if (cp == 20932 || cp == 51932) return (b == 0x8E || (b >= 0xA1 && b <= 0xFE)) ? TRUE : FALSE;
    return FALSE;
}
