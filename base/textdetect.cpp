// Detection of a text file's character code and line end.
#include <cstring>
#include <memory>
#include <new>

#include "base/textfile.h"
#include "base/utf16.h"

namespace {

// Frequent characters: Shift_JIS, EUC-JP and UTF-8 codes of each, and its
// weight in the kanji sum.
struct FrequentChar {
    unsigned char sjis[2];
    unsigned char euc[2];
    unsigned char utf8[3];
    int weight;
};

const FrequentChar kFrequent[] = {
    {{0x81, 0x42}, {0xA1, 0xA3}, {0xE3, 0x80, 0x82}, 3}, // 。
    {{0x81, 0x41}, {0xA1, 0xA2}, {0xE3, 0x80, 0x81}, 3}, // 、
    {{0x81, 0x43}, {0xA1, 0xA4}, {0xEF, 0xBC, 0x8C}, 3}, // ，
    {{0x81, 0x60}, {0xA1, 0xC1}, {0xE3, 0x80, 0x9C}, 3}, // 〜
    {{0x93, 0xFA}, {0xC6, 0xFC}, {0xE6, 0x97, 0xA5}, 3}, // 日
    {{0x90, 0x6C}, {0xBF, 0xCD}, {0xE4, 0xBA, 0xBA}, 3}, // 人
    {{0x88, 0xEA}, {0xB0, 0xEC}, {0xE4, 0xB8, 0x80}, 3}, // 一
    {{0x8C, 0xA9}, {0xB8, 0xAB}, {0xE8, 0xA6, 0x8B}, 3}, // 見
    {{0x8E, 0x96}, {0xBB, 0xF6}, {0xE4, 0xBA, 0x8B}, 3}, // 事
    {{0x96, 0x7B}, {0xCB, 0xDC}, {0xE6, 0x9C, 0xAC}, 3}, // 本
    {{0x94, 0x4E}, {0xC7, 0xAF}, {0xE5, 0xB9, 0xB4}, 3}, // 年
    {{0x8E, 0x9E}, {0xBB, 0xFE}, {0xE6, 0x99, 0x82}, 3}, // 時
    {{0x95, 0xAA}, {0xCA, 0xAC}, {0xE5, 0x88, 0x86}, 3}, // 分
    {{0x91, 0xE5}, {0xC2, 0xE7}, {0xE5, 0xA4, 0xA7}, 3}, // 大
    {{0x8F, 0xAC}, {0xBE, 0xAE}, {0xE5, 0xB0, 0x8F}, 3}, // 小
    {{0x8F, 0xE3}, {0xBE, 0xE5}, {0xE4, 0xB8, 0x8A}, 3}, // 上
    {{0x89, 0xBA}, {0xB2, 0xBC}, {0xE4, 0xB8, 0x8B}, 3}, // 下
    {{0x8D, 0x82}, {0xB9, 0xE2}, {0xE9, 0xAB, 0x98}, 3}, // 高
    {{0x92, 0xE1}, {0xC4, 0xE3}, {0xE4, 0xBD, 0x8E}, 3}, // 低
};

int weight_sjis(const unsigned char* p, int fallback) {
    for (const FrequentChar& f : kFrequent)
        if (f.sjis[0] == p[0] && f.sjis[1] == p[1]) return f.weight;
    return fallback;
}
int weight_euc(const unsigned char* p, int fallback) {
    for (const FrequentChar& f : kFrequent)
        if (f.euc[0] == p[0] && f.euc[1] == p[1]) return f.weight;
    return fallback;
}
int weight_utf8(const unsigned char* p, int fallback) {
    for (const FrequentChar& f : kFrequent)
        if (std::memcmp(f.utf8, p, 3) == 0) return f.weight;
    return fallback;
}

struct Score {
    int code;
    int valid;
    int hiragana;
    int katakana;
    int halfwidth;
    int kanji;
    int scale; // tenths; 0 none

    int value() const {
        int s = 5 * hiragana + 2 * katakana + halfwidth + 3 * kanji;
        return scale > 0 ? s * scale / 10 : s;
    }
};

bool in(unsigned b, unsigned lo, unsigned hi) {
    return b >= lo && b <= hi;
}

Score score_sjis(const unsigned char* p, int n) {
    Score s{1, 1, 0, 0, 0, 0, 0};
    bool after_ef = false; // the last two-byte character was EF BD or EF BE
    int i = 0;
    while (n - i > 4 && p[i]) {
        unsigned b = p[i];
        if (b < 0x80) {
            i++;
        } else if (in(b, 0xA0, 0xDF)) {
            if (!after_ef) s.halfwidth++;
            if (in(b, 0xA1, 0xA5)) s.halfwidth--;
            i++;
        } else if (in(b, 0x81, 0x9F) || in(b, 0xE0, 0xFC)) {
            unsigned t = p[i + 1];
            if (!in(t, 0x40, 0x7E) && !in(t, 0x80, 0xFC)) {
                s.valid = 0;
                break;
            }
            after_ef = false;
            if (b == 0x82 && in(t, 0x9F, 0xF1))
                s.hiragana++;
            else if (b == 0x83 && in(t, 0x40, 0x96))
                s.katakana++;
            else if (b == 0xEF && (t == 0xBD || t == 0xBE))
                after_ef = true;
            else
                s.kanji += weight_sjis(p + i, 1);
            i += 2;
        } else {
            s.valid = 0;
            break;
        }
    }
    return s;
}

Score score_utf8(const unsigned char* p, int n) {
    Score s{8, 1, 0, 0, 0, 0, 15};
    int i = 0;
    while (n - i > 4 && p[i]) {
        unsigned b = p[i];
        int len;
        if (b < 0x80)
            len = 1;
        else if ((b & 0xE0) == 0xC0)
            len = 2;
        else if ((b & 0xF0) == 0xE0)
            len = 3;
        else if ((b & 0xF0) == 0xF0)
            len = 4;
        else {
            s.valid = 0;
            break;
        }
        int check = len == 4 ? 3 : len; // the fourth byte is not examined
        bool ok = i + len <= n;
        for (int k = 1; ok && k < check; k++) ok = (p[i + k] & 0xC0) == 0x80;
        if (!ok) {
            s.valid = 0;
            break;
        }
        if (len == 3) {
            unsigned c1 = p[i + 1], c2 = p[i + 2];
            if (b == 0xE3 && ((c1 == 0x81 && in(c2, 0x81, 0xBF)) || (c1 == 0x82 && in(c2, 0x80, 0x9E))))
                s.hiragana++;
            else if (b == 0xE3 && ((c1 == 0x82 && in(c2, 0xA1, 0xBF)) || (c1 == 0x83 && in(c2, 0x80, 0xB6))))
                s.katakana++;
            else if (b == 0xEF && ((c1 == 0xBD && in(c2, 0xA1, 0xBF)) || (c1 == 0xBE && in(c2, 0x80, 0x9F))))
                s.halfwidth++;
            else
                s.kanji += weight_utf8(p + i, 2);
        }
        i += len;
    }
    return s;
}

Score score_euc(const unsigned char* p, int n) {
    Score s{2, 1, 0, 0, 0, 0, 0};
    int i = 0;
    while (n - i > 4 && p[i]) {
        unsigned b = p[i];
        if (b <= 0x80) {
            i++;
        } else if (b == 0x8E && in(p[i + 1], 0xA1, 0xFE)) {
            s.halfwidth++;
            i += 2;
        } else if (b == 0x8F && in(p[i + 1], 0xA1, 0xFE) && in(p[i + 2], 0xA1, 0xFE)) {
            i += 3;
        } else if (in(b, 0xA1, 0xFE) && in(p[i + 1], 0xA1, 0xFE)) {
            unsigned t = p[i + 1];
            if (b == 0xA4 && in(t, 0xA1, 0xF3))
                s.hiragana++;
            else if (b == 0xA5 && in(t, 0xA1, 0xF6))
                s.katakana++;
            else
                s.kanji += weight_euc(p + i, 1);
            i += 2;
        } else {
            s.valid = 0;
            break;
        }
    }
    return s;
}

// Back to the start of the file; the record reads from there afresh.
void rewind(TextFile* rec) {
    rec->archive->Flush();
    rec->archive->GetFile()->SeekToBegin();
    rec->carry_len = 0;
    rec->at_end = 0;
    rec->pending_cr = 0;
    rec->signature_done = 0;
    rec->jis_state = 0;
    rec->shift_out = 0;
    rec->line_pos = nullptr;
}

void store_line_end(TextFile* rec, LineEndCode code) {
    rec->line_end = code;
    if (code == LINE_END_LF) {
        rec->line_end_text[0] = u'\n';
        rec->line_end_text[1] = 0;
    } else if (code == LINE_END_CR) {
        rec->line_end_text[0] = u'\r';
        rec->line_end_text[1] = 0;
    } else {
        rec->line_end_text[0] = u'\r';
        rec->line_end_text[1] = u'\n';
        rec->line_end_text[2] = 0;
    }
}

} // namespace

int ScoreJapaneseCode(const unsigned char* bytes, int length) {
    const Score scores[3] = {score_sjis(bytes, length), score_utf8(bytes, length), score_euc(bytes, length)};
    int best = 0, code = CHARCODE_AUTO;
    for (const Score& s : scores) {
        if (!s.valid) continue;
        int v = s.value();
        if (v > best) {
            best = v;
            code = s.code;
        }
    }
    return code;
}

CharCode textfile_detect_code(TextFile* rec) {
    constexpr int kMax = 65536;
    std::unique_ptr<unsigned char[]> buf(new (std::nothrow) unsigned char[kMax + 1]);
    if (!buf) return CHARCODE_SJIS;
    int n = static_cast<int>(rec->archive->Read(buf.get(), kMax));
    rewind(rec);
    buf[n] = 0;
    const unsigned char* p = buf.get();
    if (n == 0) return CHARCODE_SJIS;
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) return CHARCODE_UNICODE;
    if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) return CHARCODE_UTF16BE;
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) return CHARCODE_UTF8;

    bool ascii_pair = false;
    for (int i = 0; i + 1 < n && !ascii_pair; i++)
        ascii_pair = in(p[i], 0x01, 0x7F) && in(p[i + 1], 0x01, 0x7F);

    bool all_ascii = true;
    for (int i = 0; i < n; i++) {
        if (all_ascii && p[i] == 0x1B && p[i + 1] == '$') return CHARCODE_JIS;
        // Half-width katakana shifted out, as the JIS writer puts a text of
        // them and ASCII alone, without an escape sequence.
        if (all_ascii && p[i] == 0x0E && in(p[i + 1], 0x21, 0x5F)) return CHARCODE_JIS;
        if (p[i] >= 0x80) all_ascii = false;
        if (!ascii_pair && p[i] < 0x80 && p[i + 1] == 0 && n - i >= 2)
            return (i & 1) ? CHARCODE_UTF16BE_NOSIG : CHARCODE_UNICODE_NOSIG;
    }
    if (all_ascii) return CHARCODE_SJIS;
    int code = ScoreJapaneseCode(p, n);
    return code == CHARCODE_AUTO ? CHARCODE_EUC : code;
}

LineEndCode textfile_detect_line_end_utf16(TextFile* rec) {
    bool big_endian = rec->code == CHARCODE_UTF16BE || rec->code == CHARCODE_UTF16BE_NOSIG;
    unsigned char block[8192];
    bool pending_cr = false;
    LineEndCode found = LINE_END_NONE;
    unsigned char odd = 0;
    bool have_odd = false;
    while (found == LINE_END_NONE) {
        int n = 0;
        if (have_odd) {
            block[n++] = odd;
            have_odd = false;
        }
        UINT got = rec->archive->Read(block + n, static_cast<UINT>(sizeof(block) - n));
        n += static_cast<int>(got);
        if (n < 2) break;
        for (int k = 0; k + 1 < n && found == LINE_END_NONE; k += 2) {
            unsigned u = big_endian ? (block[k] << 8 | block[k + 1]) : (block[k + 1] << 8 | block[k]);
            if (pending_cr)
                found = u == u'\n' ? LINE_END_CRLF : LINE_END_CR;
            else if (u == u'\r')
                pending_cr = true;
            else if (u == u'\n')
                found = LINE_END_LF;
        }
        if (n & 1) {
            odd = block[n - 1];
            have_odd = true;
        }
        if (got == 0) break;
    }
    if (found == LINE_END_NONE && pending_cr) found = LINE_END_CR;
    rewind(rec);
    if (found == LINE_END_NONE) found = LINE_END_CRLF;
    store_line_end(rec, found);
    return found;
}

LineEndCode textfile_detect_line_end(TextFile* rec) {
    switch (rec->code) {
    case CHARCODE_UNICODE:
    case CHARCODE_UNICODE_NOSIG:
    case CHARCODE_UTF16BE:
    case CHARCODE_UTF16BE_NOSIG: return textfile_detect_line_end_utf16(rec);
    default: break;
    }
    unsigned char block[4096];
    bool pending_cr = false;
    LineEndCode found = LINE_END_NONE;
    while (found == LINE_END_NONE) {
        UINT n = rec->archive->Read(block, sizeof(block));
        if (n == 0) break;
        for (UINT k = 0; k < n && found == LINE_END_NONE; k++) {
            unsigned b = block[k];
            if (pending_cr)
                found = b == '\n' ? LINE_END_CRLF : LINE_END_CR;
            else if (b == '\r')
                pending_cr = true;
            else if (b == '\n')
                found = LINE_END_LF;
        }
    }
    if (found == LINE_END_NONE && pending_cr) found = LINE_END_CR;
    rewind(rec);
    if (found == LINE_END_NONE)
        found = (rec->code == CHARCODE_EUC || rec->code == CHARCODE_JIS) ? LINE_END_LF : LINE_END_CRLF;
    store_line_end(rec, found);
    return found;
}

LineEndCode textfile_str_line_end(const char16_t* text) {
    for (const char16_t* p = text; *p; p++) {
        if (*p == u'\n') return LINE_END_LF;
        if (*p == u'\r') return p[1] == u'\n' ? LINE_END_CRLF : LINE_END_CR;
    }
    return LINE_END_NONE;
}
