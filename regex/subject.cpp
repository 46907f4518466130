// The plain-string subject: the position callbacks over one NUL-terminated
// text (all of it line 0), and the entry points that run one search over it.
#include "regex/regex_internal.h"

#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

const char16_t empty_text[1] = {0};

inline RegexStrSubject* subj(void* c) {
    return static_cast<RegexStrSubject*>(c);
}

#if defined(__SSE2__)
// The units before the terminator, 8 at a time. The loads are aligned to 16
// bytes, so none crosses into a page the text does not reach; they may read
// a few bytes beside the text within such a block, which the address
// sanitizer would report, hence its exemption.
__attribute__((no_sanitize("address"))) inline uint32_t zeros_at(const char16_t* p) {
    const __m128i zero = _mm_setzero_si128();
    return static_cast<uint32_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(p)), zero)));
}

__attribute__((no_sanitize("address"))) int64_t text_length(const char16_t* text) {
    const uintptr_t addr = reinterpret_cast<uintptr_t>(text);
    if (addr & 1) return static_cast<int64_t>(std::char_traits<char16_t>::length(text));
    const char16_t* block = reinterpret_cast<const char16_t*>(addr & ~uintptr_t{15});
    const __m128i zero = _mm_setzero_si128();
    uint32_t mask = zeros_at(block);
    mask &= ~0u << (addr & 15); // the bytes before the text
    // single blocks up to a 64-byte boundary, then 64 bytes (never two pages) at a time
    while (!mask && (reinterpret_cast<uintptr_t>(block + 8) & 63)) {
        block += 8;
        mask = zeros_at(block);
    }
    while (!mask) {
        block += 8;
        const __m128i* v = reinterpret_cast<const __m128i*>(block);
        __m128i z = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(_mm_load_si128(v), zero),
                                              _mm_cmpeq_epi16(_mm_load_si128(v + 1), zero)),
                                 _mm_or_si128(_mm_cmpeq_epi16(_mm_load_si128(v + 2), zero),
                                              _mm_cmpeq_epi16(_mm_load_si128(v + 3), zero)));
        if (!_mm_movemask_epi8(z)) {
            block += 24;
            continue;
        }
        for (int k = 0; k < 4 && !(mask = zeros_at(block)); ++k) block += 8;
    }
    return (block + __builtin_ctz(mask) / 2) - text;
}
#else
int64_t text_length(const char16_t* text) {
    return static_cast<int64_t>(std::char_traits<char16_t>::length(text));
}
#endif

// The index of the last unit of text[0, length) that is the regex's required
// unit or one of the units that stand for it; -1 when there is none.
inline bool is_required(const Regex* re, char16_t u) {
    const char16_t* also = re->required_also;
    return u == re->required_unit ||
           (also[0] && (u == also[0] || (also[1] && (u == also[1] || u == also[2]))));
}

#if defined(__SSE2__)
// Measures text (its units before the terminator into *length) and finds the
// last required unit in the same pass; the loads are those of text_length.
__attribute__((no_sanitize("address"))) int64_t last_required(const Regex* re, const char16_t* text,
                                                              int64_t* length) {
    const uintptr_t addr = reinterpret_cast<uintptr_t>(text);
    if (addr & 1) {
        *length = static_cast<int64_t>(std::char_traits<char16_t>::length(text));
        for (int64_t k = *length; k > 0;)
            if (is_required(re, text[--k])) return k;
        return -1;
    }
    const char16_t* also = re->required_also;
    const __m128i zero = _mm_setzero_si128();
    const __m128i u0 = _mm_set1_epi16(static_cast<short>(re->required_unit));
    // an unused alternative repeats the required unit
    const __m128i u1 = _mm_set1_epi16(static_cast<short>(also[0] ? also[0] : re->required_unit));
    const __m128i u2 = _mm_set1_epi16(static_cast<short>(also[0] && also[1] ? also[1] : re->required_unit));
    const __m128i u3 =
        _mm_set1_epi16(static_cast<short>(also[0] && also[1] && also[2] ? also[2] : re->required_unit));
    const char16_t* block = reinterpret_cast<const char16_t*>(addr & ~uintptr_t{15});
    uint32_t keep = ~0u << (addr & 15); // the bytes before the text
    const char16_t* last = nullptr;
    for (;;) {
        const __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(block));
        const uint32_t zeros = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi16(v, zero))) & keep;
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, u0), _mm_cmpeq_epi16(v, u1)),
                                         _mm_or_si128(_mm_cmpeq_epi16(v, u2), _mm_cmpeq_epi16(v, u3)));
        uint32_t mask = static_cast<uint32_t>(_mm_movemask_epi8(hit)) & keep;
        if (zeros) mask &= (1u << __builtin_ctz(zeros)) - 1;
        if (mask) last = block + (31 - __builtin_clz(mask)) / 2;
        if (zeros) {
            *length = (block + __builtin_ctz(zeros) / 2) - text;
            return last ? last - text : -1;
        }
        keep = ~0u;
        block += 8;
    }
}
#else
int64_t last_required(const Regex* re, const char16_t* text, int64_t* length) {
    *length = static_cast<int64_t>(std::char_traits<char16_t>::length(text));
    for (int64_t k = *length; k > 0;)
        if (is_required(re, text[--k])) return k;
    return -1;
}
#endif

int64_t subject_length(RegexStrSubject* s) {
    if (s->length < 0) s->length = text_length(s->text);
    return s->length;
}

const char16_t* str_char_at(void* c, const RegexPos* pos) {
    if (pos->line > 0) return empty_text;
    return subj(c)->text + pos->column;
}

const char16_t* str_line_text(void* c, int64_t line, int64_t* length) {
    if (line > 0) return nullptr;
    *length = subject_length(subj(c));
    return subj(c)->text;
}

const char16_t* str_next_char(void* c, RegexPos* pos) {
    const char16_t* t = subj(c)->text;
    if (pos->line > 0) return empty_text;
    const char16_t* p = t + pos->column;
    if (*p == 0) return p;
    int u;
    utf16_decode(p, &u);
    pos->column += u;
    p += u;
    if (p[0] == '\r' && p[1] == '\n') {
        ++pos->column;
        ++p;
    }
    return p;
}

// The column of the character before col (a surrogate pair as one).
inline int64_t back_one(const char16_t* t, int64_t col) {
    if (col >= 2 && utf16_is_low_surrogate(t[col - 1]) && utf16_is_high_surrogate(t[col - 2])) return col - 2;
    return col - 1;
}

const char16_t* str_prev_char(void* c, RegexPos* pos) {
    const char16_t* t = subj(c)->text;
    if (pos->line > 0 || pos->column <= 0) return nullptr;
    int64_t col = back_one(t, pos->column);
    if (t[col] == '\r' && t[col + 1] == '\n') {
        // A CR LF is one character positioned at its LF: stepping back from
        // there passes over the CR to the character before it, a surrogate
        // pair included; a CR LF that opens the text has no character
        // before it.
        if (col == 0) return nullptr;
        col = back_one(t, col);
    }
    pos->column = col;
    return t + col;
}

const char16_t* str_next_line(void* c, RegexPos* pos) {
    const char16_t* t = subj(c)->text;
    if (pos->line > 0) return nullptr;
    const char16_t* p = t + pos->column;
    while (*p && *p != '\n') ++p;
    if (!*p) return nullptr;
    ++p;
    pos->column = p - t;
    return p;
}

int64_t str_distance(void*, const RegexPos* from, const RegexPos* to) {
    return to->column - from->column;
}

int str_at_line_start(void* c, const RegexPos* pos) {
    const char16_t* t = subj(c)->text;
    int64_t col = pos->column;
    if (col <= 0) return 1;
    int64_t k = col - 1;
    if (k >= 1 && utf16_is_low_surrogate(t[k]) && utf16_is_high_surrogate(t[k - 1])) --k;
    if (t[k] == '\r' && t[col] == '\n' && k == col - 1) {
        // the LF of a CR LF that opens the text starts its line like column 0
        if (k == 0) return 1;
        --k;
    }
    return t[k] == '\n';
}

} // namespace

void regex_init_str_ops(RegexPositionOps* ops, RegexStrSubject* subject, const char16_t* text) {
    subject->text = text;
    subject->length = -1;
    ops->context = subject;
    ops->char_at = str_char_at;
    ops->line_text = str_line_text;
    ops->next_char = str_next_char;
    ops->prev_char = str_prev_char;
    ops->next_line = str_next_line;
    ops->distance = str_distance;
    ops->at_line_start = str_at_line_start;
    ops->at_anchor_start = nullptr;
    ops->at_anchor_end = nullptr;
    ops->at_anchor_line_start = nullptr;
    ops->at_anchor_line_end = nullptr;
}

int regex_search_str(Regex* re, const char16_t* text, int start_column, int* match_start, int* match_length) {
    return regex_search_str_len(re, text, -1, start_column, match_start, match_length);
}

int regex_search_str_len(Regex* re, const char16_t* text, int64_t length, int start_column, int* match_start,
                         int* match_length) {
    if (!re) return -1;
    if (!text || start_column < 0) return 0;
    RegexStrSubject s;
    RegexPositionOps ops;
    regex_init_str_ops(&ops, &s, text);
    if (length >= 0) s.length = length;
    if (start_column > 0 && start_column > subject_length(&s)) return 0;
    RegexPos start{0, start_column}, end{0, 0};
    int r = regex_run_search(re, &ops, &start, &end, RegexPos{-1, -1});
    if (r != 1) return r < 0 ? -2 : 0;
    re->match_start = start;
    re->match_end = end;
    if (match_start) *match_start = static_cast<int>(start.column);
    if (match_length) *match_length = static_cast<int>(end.column - start.column);
    return 1;
}

int regex_test_str(Regex* re, const char16_t* text) {
    if (!re || !text) return 0;
    RegexPos start{0, 0}, end{0, 0}, limit{-1, -1};
    int64_t length = -1;
    if (re->required_unit) {
        // Every match holds the required unit at or after its start, so no
        // start after the unit's last occurrence can match: the search stops
        // there (and does not start when the unit is absent).
        int64_t last = last_required(re, text, &length);
        if (last < 0) return 0;
        limit = RegexPos{0, last};
    }
    RegexStrSubject s;
    RegexPositionOps ops;
    regex_init_str_ops(&ops, &s, text);
    s.length = length;
    int r = regex_run_search(re, &ops, &start, &end, limit);
    if (r != 1) return r < 0 ? -2 : 0;
    re->match_start = start;
    re->match_end = end;
    return 1;
}
