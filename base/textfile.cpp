#include "base/textfile.h"

#include <bit>
#include <cstring>
#include <memory>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/cp932.h"
#include "base/utf16.h"

namespace {

constexpr char16_t kNone = Cp932Table::kNone;

bool is_euc_byte(unsigned b) {
    return b >= 0xA1 && b <= 0xFE;
}

// A character read as '?' because the bytes make none (a NUL byte among
// them, so that a block never ends early), counted for
// textfile_replaced_count.
inline char16_t replacement(int* replaced) {
    ++*replaced;
    return u'?';
}

void set_line_end_text(TextFile* rec) {
    switch (rec->line_end) {
    case LINE_END_LF:
        rec->line_end_text[0] = u'\n';
        rec->line_end_text[1] = 0;
        break;
    case LINE_END_CR:
        rec->line_end_text[0] = u'\r';
        rec->line_end_text[1] = 0;
        break;
    default:
        rec->line_end_text[0] = u'\r';
        rec->line_end_text[1] = u'\n';
        rec->line_end_text[2] = 0;
        break;
    }
}

void clear_reading(TextFile* rec) {
    rec->carry_len = 0;
    rec->jis_state = 0;
    rec->shift_out = 0;
    rec->signature_done = 0;
    rec->at_end = 0;
    rec->pending_cr = 0;
    rec->line_pos = nullptr;
    rec->decoded[0] = 0;
}

// ---------------------------------------------------------------------------
// Reading

// Puts the carry and then up to (total - carry) new bytes into raw; returns
// the byte count. Notes the end of the file when fewer bytes came than asked.
int fill_raw(TextFile* rec, int total) {
    int n = rec->carry_len;
    std::memcpy(rec->raw, rec->carry, static_cast<size_t>(n));
    rec->carry_len = 0;
    if (!rec->at_end && total > n) {
        UINT want = static_cast<UINT>(total - n);
        UINT got = rec->archive->Read(rec->raw + n, want);
        if (got < want) rec->at_end = 1;
        n += static_cast<int>(got);
    }
    return n;
}

void keep(TextFile* rec, const unsigned char* p, int len) {
    std::memmove(rec->carry, p, static_cast<size_t>(len));
    rec->carry_len = len;
}

// A signature of sig_len bytes at the start of the file is dropped; other
// bytes are kept for the first block.
void skip_signature(TextFile* rec, const unsigned char* sig, int sig_len) {
    rec->signature_done = 1;
    unsigned char head[4];
    UINT got = rec->archive->Read(head, static_cast<UINT>(sig_len));
    if (got < static_cast<UINT>(sig_len)) rec->at_end = 1;
    if (got == static_cast<UINT>(sig_len) && std::memcmp(head, sig, static_cast<size_t>(sig_len)) == 0)
        return;
    keep(rec, head, static_cast<int>(got));
}

// Shift_JIS bytes to UTF-16. A lead byte cut by the end of the input, and a
// CR ending it, are left for the next block unless final. Bytes that make no
// character are skipped one at a time. Returns units written; *used is the
// number of bytes consumed.
int decode_sjis(const unsigned char* p, int n, bool final, char16_t* out, int* used, int* replaced) {
    const Cp932Table& t = cp932_table();
    int i = 0, o = 0;
    while (i < n) {
        unsigned b = p[i];
        if (b < 0x80) {
            if (b == '\r' && i == n - 1 && !final) break;
            out[o++] = b ? static_cast<char16_t>(b) : replacement(replaced);
            i++;
        } else if (t.lead[b]) {
            if (i + 1 >= n) {
                if (!final) break;
                i++;
                continue;
            }
            char16_t w = t.pair[b << 8 | p[i + 1]];
            if (w != kNone) {
                out[o++] = w;
                i += 2;
            } else {
                i++; // the lead byte is skipped; the next byte is read on its own
            }
        } else {
            char16_t w = t.single[b];
            if (w != kNone) out[o++] = w;
            i++;
        }
    }
    *used = i;
    return o;
}

// EUC-JP pairs and their characters. A pair goes to Shift_JIS by the
// standard arithmetic and through the CP932 table; the reverse direction
// applies the arithmetic to each character's CP932 code. ISO-2022-JP pairs
// are EUC pairs without the high bits.
struct EucTable {
    char16_t decode[0x10000]; // EUC pair -> character, '?' when the code page has none
    uint16_t encode[0x10000]; // unit -> < 0x80 ASCII, 0x8Exx half-width katakana, EUC pair; 0 none
};

const EucTable& euc_table() {
    static const std::unique_ptr<EucTable> table = [] {
        const Cp932Table& t = cp932_table();
        auto e = std::make_unique<EucTable>();
        for (unsigned a = 0; a < 0x100; a++) {
            for (unsigned b = 0; b < 0x100; b++) {
                char16_t w = u'?';
                if (is_euc_byte(a) && is_euc_byte(b)) {
                    unsigned s1 = ((a + 1) >> 1) + (a < 0xDF ? 0x30 : 0x70);
                    unsigned s2 = (a & 1) ? (b - 0x61 > 0x7E ? b - 0x60 : b - 0x61) : b - 2;
                    char16_t c = t.pair[(s1 & 0xFF) << 8 | (s2 & 0xFF)];
                    if (c != kNone) w = c;
                }
                e->decode[a << 8 | b] = w;
            }
        }
        // The IBM extensions (FA40-FC4B) have no JIS X 0208 code, but each
        // character of theirs also has an NEC-selected code (ED40-EEFC) or a
        // code of its own; the NEC-selected one takes the arithmetic, and
        // the readers decode it to the same character, as the EUC-JP code
        // pages (20932, 51932) convert them.
        auto nec_selected = std::make_unique<uint16_t[]>(0x10000);
        for (unsigned s1 = 0xED; s1 <= 0xEE; s1++)
            for (unsigned s2 = 0x40; s2 <= 0xFC; s2++) {
                char16_t c = t.pair[s1 << 8 | s2];
                if (c != kNone && !nec_selected[c]) nec_selected[c] = static_cast<uint16_t>(s1 << 8 | s2);
            }
        const uint16_t* encode = t.encode();
        for (unsigned u = 0; u < 0x10000; u++) {
            uint16_t code = encode[u];
            if (code >= 0xFA40 && code <= 0xFC4B && nec_selected[u]) code = nec_selected[u];
            uint16_t euc = 0;
            if (code == kNone) {
                euc = 0;
            } else if (code < 0x80) {
                euc = code;
            } else if (code >= 0xA1 && code <= 0xDF) {
                euc = static_cast<uint16_t>(0x8E00 | code);
            } else if (code >= 0x100 && (code >> 8) < 0xF0) {
                // User-defined rows (F0-F9) and the IBM extensions (FA-FC) have
                // no JIS X 0208 code; NEC row 13 (87) and ED-EE keep the arithmetic.
                unsigned s1 = code >> 8, s2 = code & 0xFF;
                unsigned d = (s1 < 0xA0 ? s1 * 2 - 0x80 : s1 * 2) & 0xFF;
                if (s2 > 0x9E)
                    euc = static_cast<uint16_t>((d + 0x20) << 8 | (s2 + 2));
                else
                    euc = static_cast<uint16_t>((d + 0x1F) << 8 | (s2 >= 0x80 ? s2 + 0x60 : s2 + 0x61));
            }
            e->encode[u] = euc;
        }
        return e;
    }();
    return *table;
}

// The character of an EUC pair; '?' (counted) when the code page has none.
inline char16_t pair_char(const EucTable& e, unsigned a, unsigned b, int* replaced) {
    char16_t w = e.decode[a << 8 | b];
    if (w == u'?') ++*replaced;
    return w;
}

// EUC-JP to UTF-16. A byte that begins no EUC character, a JIS X 0212
// character (8F xx xx) and a pair without a CP932 character become '?'. A
// character cut by the end of the input (and a final CR) is left for the next
// block unless final.
int decode_euc(const unsigned char* p, int n, bool final, char16_t* out, int* used, int* replaced) {
    const EucTable& e = euc_table();
    int i = 0, o = 0;
    while (i < n) {
        unsigned b = p[i];
        if (b < 0x80) {
            if (b == '\r' && i == n - 1 && !final) break;
            out[o++] = b ? static_cast<char16_t>(b) : replacement(replaced);
            i++;
        } else if (is_euc_byte(b)) {
            if (i + 1 >= n) {
                if (!final) break;
                out[o++] = replacement(replaced);
                i++;
            } else if (is_euc_byte(p[i + 1])) {
                out[o++] = pair_char(e, b, p[i + 1], replaced);
                i += 2;
            } else {
                out[o++] = replacement(replaced);
                i++;
            }
        } else if (b == 0x8E) { // half-width katakana
            if (i + 1 >= n) {
                if (!final) break;
                out[o++] = replacement(replaced);
                i++;
            } else if (p[i + 1] >= 0xA1 && p[i + 1] <= 0xDF) {
                out[o++] = static_cast<char16_t>(0xFF61 + p[i + 1] - 0xA1);
                i += 2;
            } else {
                out[o++] = replacement(replaced);
                i++;
            }
        } else if (b == 0x8F) { // JIS X 0212: no CP932 form
            if (i + 1 < n && !is_euc_byte(p[i + 1])) {
                out[o++] = replacement(replaced);
                i++;
            } else if (i + 2 >= n) {
                if (!final) break;
                out[o++] = replacement(replaced);
                i++;
            } else {
                out[o++] = replacement(replaced);
                i += is_euc_byte(p[i + 2]) ? 3 : 1;
            }
        } else { // 80-8D, 90-A0, FF begin no EUC character
            out[o++] = replacement(replaced);
            i++;
        }
    }
    *used = i;
    return o;
}

// ISO-2022-JP to UTF-16 with the record's persistent state: ESC $ x kanji,
// ESC ( I half-width katakana, ESC ( x ASCII; SO and SI shift the katakana
// in and out.
int decode_jis(TextFile* rec, const unsigned char* p, int n, bool final, char16_t* out, int* used) {
    const EucTable& e = euc_table();
    int* replaced = &rec->replaced;
    int state = rec->jis_state, shift_out = rec->shift_out;
    int i = 0, o = 0;
    while (i < n) {
        unsigned b = p[i];
        if (b >= 0x21 && b <= 0x7E) {
            if (shift_out || state == 3) {
                out[o++] = b <= 0x5F ? static_cast<char16_t>(0xFF61 + b - 0x21) : replacement(replaced);
                i++;
            } else if (state == 2) {
                if (i + 1 >= n) {
                    if (!final) break;
                    out[o++] = replacement(replaced);
                    i++;
                } else if (p[i + 1] >= 0x21 && p[i + 1] <= 0x7E) {
                    out[o++] = pair_char(e, b | 0x80, p[i + 1] | 0x80, replaced);
                    i += 2;
                } else {
                    out[o++] = replacement(replaced);
                    i++;
                }
            } else {
                out[o++] = static_cast<char16_t>(b);
                i++;
            }
        } else if (b == 0x1B) {
            if (i + 1 >= n || ((p[i + 1] == '$' || p[i + 1] == '(') && i + 2 >= n)) {
                if (!final) break;
                i = n; // an escape sequence cut by the end of the file says nothing
            } else if (p[i + 1] == '$') {
                state = 2;
                i += 3;
            } else if (p[i + 1] == '(') {
                state = p[i + 2] == 'I' ? 3 : 1;
                i += 3;
            } else {
                out[o++] = static_cast<char16_t>(b);
                i++;
            }
        } else if (b == 0x0E) {
            shift_out = 1;
            i++;
        } else if (b == 0x0F) {
            shift_out = 0;
            i++;
        } else if (b < 0x80) { // controls, the space and DEL pass in every state
            if (b == '\r' && i == n - 1 && !final) break;
            out[o++] = b ? static_cast<char16_t>(b) : replacement(replaced);
            i++;
        } else { // 8-bit bytes: only half-width katakana mean anything
            out[o++] =
                b >= 0xA1 && b <= 0xDF ? static_cast<char16_t>(0xFF61 + b - 0xA1) : replacement(replaced);
            i++;
        }
    }
    rec->jis_state = state;
    rec->shift_out = shift_out;
    *used = i;
    return o;
}

// UTF-8 to UTF-16. Every continuation byte and the range are checked; an
// invalid byte becomes '?' and decoding resumes with the next byte. A
// sequence cut by the end of the input (and a final CR) is left for the next
// block unless final.
int decode_utf8(const unsigned char* p, int n, bool final, char16_t* out, int* used, int* replaced) {
    int i = 0, o = 0;
    while (i < n) {
        unsigned b = p[i];
#if defined(__SSE2__)
        // 16 ASCII bytes but NUL at once, none of them the last byte (where
        // a CR may wait for the next block)
        while (b - 1 < 0x7F && i + 16 < n) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const __m128i zero = _mm_setzero_si128();
            if (_mm_movemask_epi8(v) | _mm_movemask_epi8(_mm_cmpeq_epi8(v, zero))) break;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + o), _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + o + 8), _mm_unpackhi_epi8(v, zero));
            i += 16;
            o += 16;
            b = p[i];
        }
#endif
        if (b >= 0xE0 && b <= 0xEF && i + 2 < n && (p[i + 1] & 0xC0) == 0x80 && (p[i + 2] & 0xC0) == 0x80) {
            // the common case of three bytes
            uint32_t cp = (b & 0x0F) << 12 | (p[i + 1] & 0x3Fu) << 6 | (p[i + 2] & 0x3Fu);
            if (cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF)) {
                out[o++] = static_cast<char16_t>(cp);
                i += 3;
                continue;
            }
        }
        if (b < 0x80) {
            if (b == '\r' && i == n - 1 && !final) break;
            out[o++] = b ? static_cast<char16_t>(b) : replacement(replaced);
            i++;
            continue;
        }
        int len;
        uint32_t cp, min;
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2;
            cp = b & 0x1F;
            min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3;
            cp = b & 0x0F;
            min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4;
            cp = b & 0x07;
            min = 0x10000;
        } else {
            out[o++] = replacement(replaced);
            i++;
            continue;
        }
        int k = 1;
        for (; k < len && i + k < n; k++) {
            unsigned c = p[i + k];
            if ((c & 0xC0) != 0x80) break;
            cp = cp << 6 | (c & 0x3F);
        }
        if (k < len && i + k >= n && !final) break; // incomplete: wait for the next block
        if (k < len || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out[o++] = replacement(replaced);
            i++;
            continue;
        }
        o += utf16_encode(cp, out + o);
        i += len;
    }
    *used = i;
    return o;
}

int read_utf16(TextFile* rec, bool big_endian) {
    if (!rec->signature_done) {
        static const unsigned char le[2] = {0xFF, 0xFE}, be[2] = {0xFE, 0xFF};
        skip_signature(rec, big_endian ? be : le, 2);
    }
    int n = fill_raw(rec, rec->carry_len ? 4088 + rec->carry_len : 4090);
    bool final = rec->at_end != 0;
    int units = n / 2;
    const unsigned char* p = rec->raw;
    char16_t* out = rec->decoded;
    int* replaced = &rec->replaced;
    for (int k = 0; k < units; k++) {
        unsigned a = p[2 * k], b = p[2 * k + 1];
        unsigned u = big_endian ? (a << 8 | b) : (b << 8 | a);
        out[k] = u ? static_cast<char16_t>(u) : replacement(replaced);
    }
    int o = units;
    if (!final && o > 0 && (out[o - 1] == u'\r' || utf16_is_high_surrogate(out[o - 1]))) {
        o--;
        keep(rec, p + 2 * o, n - 2 * o);
    } else if (n & 1) {
        if (final)
            out[o++] = replacement(replaced); // a lone last byte
        else
            keep(rec, p + n - 1, 1);
    }
    return o;
}

int decode_next(TextFile* rec) {
    int used = 0, o = 0, n;
    bool final;
    switch (rec->code) {
    case CHARCODE_UNICODE:
    case CHARCODE_UNICODE_NOSIG: return read_utf16(rec, false);
    case CHARCODE_UTF16BE:
    case CHARCODE_UTF16BE_NOSIG: return read_utf16(rec, true);
    case CHARCODE_UTF8:
    case CHARCODE_UTF8_NOSIG:
        if (!rec->signature_done) {
            static const unsigned char sig[3] = {0xEF, 0xBB, 0xBF};
            skip_signature(rec, sig, 3);
        }
        n = fill_raw(rec, TEXTFILE_RAW_SIZE);
        final = rec->at_end != 0;
        o = decode_utf8(rec->raw, n, final, rec->decoded, &used, &rec->replaced);
        break;
    case CHARCODE_EUC:
        n = fill_raw(rec, TEXTFILE_RAW_SIZE);
        o = decode_euc(rec->raw, n, rec->at_end != 0, rec->decoded, &used, &rec->replaced);
        break;
    case CHARCODE_JIS:
        n = fill_raw(rec, TEXTFILE_RAW_SIZE);
        o = decode_jis(rec, rec->raw, n, rec->at_end != 0, rec->decoded, &used);
        break;
    default:
        n = fill_raw(rec, TEXTFILE_RAW_SIZE);
        final = rec->at_end != 0;
        o = decode_sjis(rec->raw, n, final, rec->decoded, &used, &rec->replaced);
        break;
    }
    keep(rec, rec->raw + used, n - used);
    return o;
}

// ---------------------------------------------------------------------------
// Writing

// Collects the bytes of one write in the record's output buffer and passes
// them to the archive whenever fewer than 10 bytes of room are left.
struct Writer {
    TextFile* rec;
    unsigned char* buf;
    int n = 0;

    explicit Writer(TextFile* r) : rec(r), buf(r->out) {}
    void room() {
        if (n > TEXTFILE_OUT_SIZE - 10) flush();
    }
    // Makes room, and returns how many characters of at most max_bytes
    // bytes each fit from here without another look.
    int fits(int max_bytes) {
        if (n > TEXTFILE_OUT_SIZE - 64) flush();
        return (TEXTFILE_OUT_SIZE - n) / max_bytes;
    }
    void put(unsigned b) { buf[n++] = static_cast<unsigned char>(b); }
    void flush() {
        if (n) rec->archive->Write(buf, static_cast<UINT>(n));
        n = 0;
    }
};

// Whether a code table maps every ASCII character but NUL to its own code.
template <class Table> bool keeps_ascii(const Table& table) {
    for (unsigned u = 1; u < 0x80; ++u)
        if (table[u] != u) return false;
    return true;
}

// Copies the ASCII units from p on (before end, at most max of them) to out
// as bytes and returns their number.
inline int copy_ascii(const char16_t* p, const char16_t* end, int max, unsigned char* out) {
    int k = 0;
#if defined(__SSE2__)
    const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
    while (k + 8 <= max && end - (p + k) >= 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, high), _mm_setzero_si128())) != 0xFFFF) break;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(v, v));
        k += 8;
    }
#endif
    while (k < max && p + k < end && p[k] < 0x80) {
        out[k] = static_cast<unsigned char>(p[k]);
        ++k;
    }
    return k;
}

// The CP932 code of the code point at p (0 when none); *units its length.
inline unsigned cp932_code(const Cp932Table& t, const char16_t* p, int* units) {
    unsigned u = *p;
    if (utf16_is_surrogate(u)) { // no CP932 code; a pair counts as one character
        utf16_decode(p, units);
        return 0;
    }
    *units = 1;
    uint16_t code = t.encode()[u];
    return code == kNone ? 0 : code;
}

// A double-byte code's writer: code_of(p, &units) gives the code of the code
// point at p, one byte below 0x100, two from there, 0 for none ('?' then).
// With ascii set the code keeps ASCII as it is, and runs of it are copied
// at once.
template <class CodeOf>
void write_double_byte(TextFile* rec, const char16_t* text, bool ascii, CodeOf code_of) {
    Writer w(rec);
    int units;
    const char16_t* p = text;
    const char16_t* const end = text + std::char_traits<char16_t>::length(text);
    while (p < end) {
        for (int budget = w.fits(2); budget > 0 && p < end;) {
            if (ascii && *p < 0x80) { // a run of ASCII at once
                int k = copy_ascii(p, end, budget, w.buf + w.n);
                w.n += k;
                p += k;
                budget -= k;
                continue;
            }
            unsigned code = code_of(p, &units);
            if (!code) { // no code in the character set
                w.put('?');
                rec->replaced++;
            } else if (code < 0x100) {
                w.put(code);
            } else {
                w.put(code >> 8);
                w.put(code & 0xFF);
            }
            p += units;
            --budget;
        }
    }
    w.flush();
}

void write_sjis(TextFile* rec, const char16_t* text) {
    const Cp932Table& t = cp932_table();
    static const bool ascii = keeps_ascii(t.encode());
    write_double_byte(rec, text, ascii,
                      [&](const char16_t* p, int* units) { return cp932_code(t, p, units); });
}

// The EUC code of the code point at p (0 when none); *units its length.
inline unsigned euc_code(const EucTable& e, const char16_t* p, int* units) {
    unsigned u = *p;
    if (utf16_is_surrogate(u)) {
        utf16_decode(p, units);
        return 0;
    }
    *units = 1;
    return e.encode[u];
}

void write_euc(TextFile* rec, const char16_t* text) {
    const EucTable& e = euc_table();
    static const bool ascii = keeps_ascii(e.encode);
    write_double_byte(rec, text, ascii, [&](const char16_t* p, int* units) { return euc_code(e, p, units); });
}

void write_jis(TextFile* rec, const char16_t* text) {
    const EucTable& e = euc_table();
    Writer w(rec);
    int units;
    auto escape = [&](unsigned a, unsigned b) {
        w.put(0x1B);
        w.put(a);
        w.put(b);
    };
    for (const char16_t* p = text; *p; p += units) {
        w.room();
        unsigned code = euc_code(e, p, &units);
        if (code >= 0x100 && (code >> 8) != 0x8E) {
            if (rec->shift_out) {
                w.put(0x0F);
                rec->shift_out = 0;
            }
            if (rec->jis_state != 2) {
                escape('$', 'B');
                rec->jis_state = 2;
            }
            w.put((code >> 8) & 0x7F);
            w.put(code & 0x7F);
        } else if (code >= 0x100) { // half-width katakana
            if (rec->jis_state == 2) {
                escape('(', 'J');
                rec->jis_state = 1;
            }
            if (!rec->shift_out) {
                w.put(0x0E);
                rec->shift_out = 1;
            }
            w.put((code & 0xFF) - 0x80);
        } else {
            if (!code) {
                code = '?';
                rec->replaced++;
            }
            if (rec->shift_out) {
                w.put(0x0F);
                rec->shift_out = 0;
                rec->jis_state = 1;
            } else if (rec->jis_state == 2) { // the text starts in ASCII: no escape before it
                escape('(', 'J');
                rec->jis_state = 1;
            }
            w.put(code);
        }
    }
    w.flush();
}

// Whether the signature goes first. The readers drop a signature at the start
// of a file in the codes without one too, so a text that begins with U+FEFF
// is written after one there, or its first character would not read back.
// (Until such a file's first unit is written, its signature waits.)
bool write_signature(TextFile* rec, const char16_t* text, CharCode with, CharCode without) {
    if (rec->signature_done) return false;
    if (rec->code == without && !*text) return false;
    rec->signature_done = 1;
    return rec->code == with || (rec->code == without && text[0] == 0xFEFF);
}

void write_utf16(TextFile* rec, const char16_t* text, bool big_endian) {
    Writer w(rec);
    if (write_signature(rec, text, big_endian ? CHARCODE_UTF16BE : CHARCODE_UNICODE,
                        big_endian ? CHARCODE_UTF16BE_NOSIG : CHARCODE_UNICODE_NOSIG)) {
        if (!big_endian) {
            w.put(0xFF);
            w.put(0xFE);
        } else {
            w.put(0xFE);
            w.put(0xFF);
        }
    }
    const char16_t* p = text;
    const char16_t* const end = text + std::char_traits<char16_t>::length(text);
    if (!big_endian && std::endian::native == std::endian::little) {
        // the units' own bytes
        w.flush();
        if (end > p) rec->archive->Write(p, static_cast<UINT>((end - p) * sizeof(char16_t)));
        return;
    }
    while (p < end) {
        int budget = w.fits(2);
        if (budget > end - p) budget = static_cast<int>(end - p);
        unsigned char* out = w.buf + w.n;
        int k = 0;
#if defined(__SSE2__)
        if (big_endian && std::endian::native == std::endian::little)
            for (; k + 8 <= budget; k += 8) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * k),
                                 _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8)));
            }
#endif
        for (; k < budget; ++k) {
            unsigned u = p[k];
            out[2 * k] = static_cast<unsigned char>(big_endian ? u >> 8 : u & 0xFF);
            out[2 * k + 1] = static_cast<unsigned char>(big_endian ? u & 0xFF : u >> 8);
        }
        w.n += 2 * k;
        p += k;
    }
    w.flush();
}

} // namespace

// ---------------------------------------------------------------------------

TextFile::~TextFile() {
    // A file being written that was never closed is not finished: it is
    // dropped (the save's own destructor removes it), never flushed into place.
    if (own_archive && save.active) own_archive->Abort();
    delete own_archive; // a reading archive has nothing to flush
    delete own_file;
}

void textfile_init(TextFile* rec, CArchive* archive, CharCode code, LineEndCode line_end) {
    rec->archive = archive;
    rec->code = code;
    rec->line_end = line_end;
    set_line_end_text(rec);
    clear_reading(rec);
    rec->replaced = 0;
}

int textfile_open(TextFile* rec, const char16_t* name, const char16_t* mode) {
    textfile_abort(rec);
    bool reading = mode && mode[0] == u'r';
    // A file is written beside its target and takes its place on closing.
    if (!reading && !safesave_begin(&rec->save, name)) return 0;
    auto* file = new CFile;
    UINT flags = reading
                     ? CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary
                     : CFile::modeCreate | CFile::modeReadWrite | CFile::shareExclusive | CFile::typeBinary;
    if (!file->Open(reading ? name : rec->save.temp_path.GetString(), flags)) {
        delete file;
        safesave_abort(&rec->save);
        return 0;
    }
    // a write passes 64 KB at a time to the file
    auto* archive = new CArchive(file, reading ? CArchive::load : CArchive::store, reading ? 4096 : 65536);
    CharCode code = CHARCODE_AUTO;
    rec->archive = archive;
    rec->own_file = file;
    rec->own_archive = archive;
    if (reading) {
        try {
            code = textfile_detect_code(rec);
        } catch (CException* e) {
            e->Delete();
            textfile_abort(rec);
            return 0;
        }
    }
    textfile_init(rec, archive, code, LINE_END_NONE);
    rec->write_failed = 0;
    rec->mode = mode ? mode : u"";
    rec->file_name = name;
    return 1;
}

void textfile_close(TextFile* rec) {
    CArchive* archive = rec->own_archive;
    CFile* file = rec->own_file;
    rec->own_archive = nullptr;
    rec->own_file = nullptr;
    if (rec->archive == archive) rec->archive = nullptr;
    const bool writing = rec->save.active != 0;
    CException* error = nullptr;
    if (writing && rec->write_failed) {
        // What is buffered would only lengthen a cut file.
        if (archive) archive->Abort();
        error = new CFileException(CFileException::genericException, -1, rec->save.target.GetString());
    }
    if (archive) {
        try {
            archive->Close(); // the rest of the buffer, and the data onto the disk
        } catch (CException* e) {
            error = e;
            archive->Abort();
        }
        delete archive;
    }
    if (file) {
        try {
            file->Close();
        } catch (CException* e) {
            if (error)
                e->Delete();
            else
                error = e;
        }
        delete file;
    }
    if (writing) {
        if (error)
            safesave_abort(&rec->save);
        else if (!safesave_commit(&rec->save))
            error = new CFileException(CFileException::genericException, -1, rec->save.target.GetString());
    }
    rec->write_failed = 0;
    if (error) throw error;
}

void textfile_abort(TextFile* rec) {
    CArchive* archive = rec->own_archive;
    CFile* file = rec->own_file;
    rec->own_archive = nullptr;
    rec->own_file = nullptr;
    if (rec->archive == archive) rec->archive = nullptr;
    if (archive) {
        archive->Abort();
        delete archive;
    }
    if (file) {
        file->Abort();
        delete file;
    }
    safesave_abort(&rec->save);
    rec->write_failed = 0;
}

void textfile_destroy(TextFile* rec) {
    textfile_close(rec);
    rec->mode.Empty();
    rec->file_name.Empty();
}

const char16_t* textfile_read_block(TextFile* rec) {
    if (!rec->archive) return nullptr;
    for (;;) {
        if (rec->at_end && rec->carry_len == 0) {
            if (!rec->pending_cr) return nullptr;
            rec->pending_cr = 0;
            rec->decoded[0] = u'\r';
            rec->decoded[1] = 0;
            return rec->decoded;
        }
        int o = decode_next(rec);
        // A CR that ends the decoded text waits for the next block, where an
        // LF may follow it (in JIS after an escape sequence or a shift that
        // came after the CR in the raw block).
        if (rec->pending_cr && o >= 0) {
            std::memmove(rec->decoded + 1, rec->decoded, static_cast<size_t>(o) * sizeof(char16_t));
            rec->decoded[0] = u'\r';
            rec->pending_cr = 0;
            o++;
        }
        if (o > 0 && rec->decoded[o - 1] == u'\r' && !(rec->at_end && rec->carry_len == 0)) {
            rec->pending_cr = 1;
            o--;
        }
        if (o > 0) {
            rec->decoded[o] = 0;
            return rec->decoded;
        }
    }
}

char16_t* textfile_gets(TextFile* rec, char16_t* buf, int capacity) {
    if (!buf || capacity < 3) return nullptr;
    int max = capacity - 1, len = 0;
    for (;;) {
        if (!rec->line_pos || !*rec->line_pos) {
            rec->line_pos = textfile_read_block(rec);
            if (!rec->line_pos) break;
        }
        const char16_t* p = rec->line_pos;
        char16_t c = *p;
        int units = (c == u'\r' && p[1] == u'\n') ? 2 : utf16_char_units(p);
        if (len + units > max) break;
        for (int k = 0; k < units; k++) buf[len++] = p[k];
        rec->line_pos = p + units;
        if (c == u'\n' || c == u'\r') break;
    }
    if (len == 0) return nullptr;
    buf[len] = 0;
    return buf;
}

namespace {

void write_utf8(TextFile* rec, const char16_t* text);

void write_text(TextFile* rec, const char16_t* text) {
    switch (rec->code) {
    case CHARCODE_EUC: write_euc(rec, text); break;
    case CHARCODE_JIS: write_jis(rec, text); break;
    case CHARCODE_UNICODE:
    case CHARCODE_UNICODE_NOSIG: write_utf16(rec, text, false); break;
    case CHARCODE_UTF16BE:
    case CHARCODE_UTF16BE_NOSIG: write_utf16(rec, text, true); break;
    case CHARCODE_UTF8:
    case CHARCODE_UTF8_NOSIG: write_utf8(rec, text); break;
    default: write_sjis(rec, text); break;
    }
}

// A write that failed part of the way leaves the file cut: the record
// remembers it, so that closing never puts that file in the target's place.
template <class Write> void guarded(TextFile* rec, Write write) {
    try {
        write();
    } catch (CException*) {
        rec->write_failed = 1;
        throw;
    }
}

} // namespace

void textfile_write(TextFile* rec, const char16_t* text) {
    guarded(rec, [&] { write_text(rec, text); });
}

void textfile_write_utf8(TextFile* rec, const char16_t* text) {
    guarded(rec, [&] { write_utf8(rec, text); });
}

namespace {

void write_utf8(TextFile* rec, const char16_t* text) {
    Writer w(rec);
    if (write_signature(rec, text, CHARCODE_UTF8, CHARCODE_UTF8_NOSIG)) {
        w.put(0xEF);
        w.put(0xBB);
        w.put(0xBF);
    }
    int units;
    const char16_t* p = text;
    const char16_t* const end = text + std::char_traits<char16_t>::length(text);
    while (p < end) {
        for (int budget = w.fits(4); budget > 0 && p < end; p += units, --budget) {
            if (*p < 0x80) { // a run of ASCII at once
                int k = copy_ascii(p, end, budget, w.buf + w.n);
                w.n += k;
                budget -= k - 1;
                units = k;
                continue;
            }
            uint32_t cp = utf16_decode(p, &units);
            if (cp < 0x800) {
                w.put(0xC0 | cp >> 6);
                w.put(0x80 | (cp & 0x3F));
            } else if (utf16_is_surrogate(cp)) { // a lone surrogate has no UTF-8 form
                w.put('?');
                rec->replaced++;
            } else if (cp < 0x10000) {
                w.put(0xE0 | cp >> 12);
                w.put(0x80 | (cp >> 6 & 0x3F));
                w.put(0x80 | (cp & 0x3F));
            } else {
                w.put(0xF0 | cp >> 18);
                w.put(0x80 | (cp >> 12 & 0x3F));
                w.put(0x80 | (cp >> 6 & 0x3F));
                w.put(0x80 | (cp & 0x3F));
            }
        }
    }
    w.flush();
}

} // namespace

void textfile_write_csv_field(TextFile* rec, const char16_t* text, int quote) {
    if (!quote) {
        textfile_write(rec, text);
        return;
    }
    textfile_write(rec, u"\"");
    const char16_t* start = text;
    for (const char16_t* p = text; *p; p++) {
        if (*p != u'"') continue;
        // Write up to and including the quote, then the quote once more.
        std::u16string_view segment(start, static_cast<size_t>(p + 1 - start));
        std::u16string s(segment);
        textfile_write(rec, s.c_str());
        textfile_write(rec, u"\"");
        start = p + 1;
    }
    textfile_write(rec, start);
    textfile_write(rec, u"\"");
}

int textfile_replaced_count(const TextFile* rec) {
    return rec->replaced;
}
