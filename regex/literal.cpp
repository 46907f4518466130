// The literal search (a vector scan for two rare units of the literal, and
// the skip table, a shift on the unit after the window), literal patterns,
// replacement templates and replace-all over a plain string.
#include "regex/regex_internal.h"

#include <cstdlib>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

inline char16_t fold_unit(char16_t u) {
    if ((u >= 'A' && u <= 'Z') || (u >= 0xFF21 && u <= 0xFF3A)) return static_cast<char16_t>(u + 32);
    return u;
}

// Rejects an occurrence at q that starts on the low half of a pair or ends
// inside one (only units within the searched range are read).
inline bool splits_pair(const char16_t* t, const char16_t* q, int64_t m, int64_t remaining) {
    if (q > t && utf16_is_low_surrogate(q[0]) && utf16_is_high_surrogate(q[-1])) return true;
    if (m > 0 && remaining > m && utf16_is_high_surrogate(q[m - 1]) && utf16_is_low_surrogate(q[m]))
        return true;
    return false;
}

template <bool Fold> inline bool equal_at(const LiteralSearcher* s, const char16_t* q) {
    const int64_t m = s->length;
    const char16_t* pat = s->pattern;
    for (int64_t j = 0; j < m; ++j)
        if ((Fold ? fold_unit(q[j]) : q[j]) != pat[j]) return false;
    return true;
}

// The skip-table search over the windows from t + from on (t is the start of
// the searched text, for the check on pairs).
template <bool Fold>
inline const char16_t* search_window(const LiteralSearcher* s, const char16_t* t, int64_t n, int64_t from) {
    const int64_t m = s->length;
    const char16_t* pat = s->pattern;
    if (n - from < m) return nullptr;
    const char16_t last = pat[m - 1];
    const char16_t* q = t + from;
    const char16_t* const stop = t + (n - m); // the last window
    const uint16_t* skip = s->skip;
    for (;;) {
        char16_t u = q[m - 1];
        if ((Fold ? fold_unit(u) : u) == last && equal_at<Fold>(s, q) && !splits_pair(t, q, m, n - (q - t)))
            return q;
        if (q >= stop) return nullptr;
        q += skip[q[m] & (REGEX_SKIP_SIZE - 1)];
        if (q > stop) return nullptr;
    }
}

#if defined(__SSE2__)
// Looks at 8 windows at a time: the two probe units of the pattern are
// compared with the text units at their offsets in each window, and only a
// window where both agree is compared in full. The loads stay within the n
// units given; the windows the vectors cannot cover go to the skip table.
template <bool Fold> const char16_t* search_vector(LiteralSearcher* s, const char16_t* t, int64_t n) {
    const int64_t m = s->length;
    if (m == 0) return t;
    if (n < m) return nullptr;
    const char16_t* a = t + s->probe_offset[0];
    const char16_t* b = t + s->probe_offset[1];
    const __m128i ua = _mm_set1_epi16(static_cast<short>(s->probe_unit[0]));
    const __m128i ub = _mm_set1_epi16(static_cast<short>(s->probe_unit[1]));
    const __m128i va = _mm_set1_epi16(static_cast<short>(s->probe_other[0]));
    const __m128i vb = _mm_set1_epi16(static_cast<short>(s->probe_other[1]));
    auto is = [](__m128i x, __m128i u, __m128i v) {
        return _mm_or_si128(_mm_cmpeq_epi16(x, u), _mm_cmpeq_epi16(x, v));
    };
    int64_t q = 0;
    // 16 windows from q on lie wholly inside the text while q + m + 15 <= n
    for (; q + m + 15 <= n; q += 16) {
        __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + q));
        __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + q));
        __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + q + 8));
        __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + q + 8));
        __m128i e0, e1;
        if (Fold) {
            e0 = _mm_and_si128(is(a0, ua, va), is(b0, ub, vb));
            e1 = _mm_and_si128(is(a1, ua, va), is(b1, ub, vb));
        } else {
            e0 = _mm_and_si128(_mm_cmpeq_epi16(a0, ua), _mm_cmpeq_epi16(b0, ub));
            e1 = _mm_and_si128(_mm_cmpeq_epi16(a1, ua), _mm_cmpeq_epi16(b1, ub));
        }
        uint32_t mask = static_cast<uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(e0, e1)));
        while (mask) {
            const char16_t* c = t + q + __builtin_ctz(mask);
            if (equal_at<Fold>(s, c) && !splits_pair(t, c, m, n - (c - t))) return c;
            mask &= mask - 1;
        }
    }
    return search_window<Fold>(s, t, n, q);
}

const char16_t* search_exact(LiteralSearcher* s, const char16_t* t, int64_t n) {
    return search_vector<false>(s, t, n);
}

const char16_t* search_folded(LiteralSearcher* s, const char16_t* t, int64_t n) {
    return search_vector<true>(s, t, n);
}
#else
const char16_t* search_exact(LiteralSearcher* s, const char16_t* t, int64_t n) {
    if (s->length == 0) return t;
    return search_window<false>(s, t, n, 0);
}

const char16_t* search_folded(LiteralSearcher* s, const char16_t* t, int64_t n) {
    if (s->length == 0) return t;
    return search_window<true>(s, t, n, 0);
}
#endif

// How common a unit is in the text searched here (Japanese prose, SQL,
// identifiers): the higher, the more often a probe on it would stop.
int unit_frequency(char16_t u) {
    static const char order[] = "etaoinsrhldcumfpgwybvkxjqz"; // most frequent first
    if (u == ' ') return 100;
    if (u >= 'a' && u <= 'z') return 70 - static_cast<int>(strchr(order, u) - order);
    if (u >= 'A' && u <= 'Z') return 50 - static_cast<int>(strchr(order, u + 32) - order) / 2;
    if (u >= '0' && u <= '9') return 35;
    if (u == '_' || u == ',' || u == '.' || u == '(' || u == ')' || u == '=' || u == '\'') return 38;
    if (u == '\t' || u == '\n' || u == '\r') return 30;
    if (u < 128) return 20;
    if (u == 0x30FC || u == 0x3001 || u == 0x3002) return 50; // prolonged sound mark, comma, full stop
    if (u >= 0x3040 && u <= 0x309F) return 55;                // hiragana
    if (u >= 0x30A0 && u <= 0x30FF) return 40;                // katakana
    if (u >= 0x3000 && u <= 0x303F) return 35;                // other CJK punctuation
    if (u >= 0x4E00 && u <= 0x9FFF) return 15;                // kanji
    if (u >= 0xFF00 && u <= 0xFFEF) return 18;                // full-width and half-width forms
    if (u >= 0xD800 && u <= 0xDBFF) return 30;                // high surrogates: few distinct ones
    return 10;
}

// Chooses the two probe units: the least frequent unit, then the least
// frequent of the others (the farther one on a tie).
void choose_probes(LiteralSearcher* s, bool ignore_case) {
    const int64_t m = s->length;
    int64_t first = 0, second = 0;
    for (int64_t j = 1; j < m; ++j)
        if (unit_frequency(s->pattern[j]) < unit_frequency(s->pattern[first])) first = j;
    int best = 1 << 30;
    for (int64_t j = 0; j < m; ++j) {
        if (j == first) continue;
        int f = unit_frequency(s->pattern[j]);
        int64_t far = j > first ? j - first : first - j;
        int64_t best_far = second > first ? second - first : first - second;
        if (f < best || (f == best && far > best_far)) {
            best = f;
            second = j;
        }
    }
    if (m < 2) second = first;
    const int64_t pick[2] = {first, second};
    for (int k = 0; k < 2; ++k) {
        char16_t u = m > 0 ? s->pattern[pick[k]] : 0;
        s->probe_offset[k] = static_cast<int32_t>(pick[k]);
        s->probe_unit[k] = u;
        bool letter = (u >= 'a' && u <= 'z') || (u >= 0xFF41 && u <= 0xFF5A);
        s->probe_other[k] = ignore_case && letter ? static_cast<char16_t>(u - 32) : u;
    }
}

} // namespace

LiteralSearcher* literal_searcher_create(const char16_t* literal, int64_t m, int ignore_case) {
    auto* s = static_cast<LiteralSearcher*>(malloc(sizeof(LiteralSearcher)));
    if (!s) return nullptr;
    s->pattern = static_cast<char16_t*>(malloc((m + 1) * sizeof(char16_t)));
    if (!s->pattern) {
        free(s);
        return nullptr;
    }
    for (int64_t j = 0; j < m; ++j) s->pattern[j] = ignore_case ? fold_unit(literal[j]) : literal[j];
    s->pattern[m] = 0;
    s->length = m;
    s->holds_zero = std::char_traits<char16_t>::find(s->pattern, static_cast<size_t>(m), 0) != nullptr;
    s->folded = nullptr;
    s->folded_capacity = 0;
    s->search = ignore_case ? search_folded : search_exact;
    choose_probes(s, ignore_case != 0);
    const int64_t absent = m > 0 ? m + 1 : 1;
    const uint16_t fill = static_cast<uint16_t>(absent > 65535 ? 65535 : absent);
    for (int k = 0; k < REGEX_SKIP_SIZE; ++k) s->skip[k] = fill;
    for (int64_t j = 0; j < m; ++j) {
        char16_t u = s->pattern[j];
        uint16_t shift = static_cast<uint16_t>(m - j > 65535 ? 65535 : m - j);
        s->skip[u & (REGEX_SKIP_SIZE - 1)] = shift;
        if (ignore_case) {
            // the upper-case units shift like their folded form
            if ((u >= 'a' && u <= 'z') || (u >= 0xFF41 && u <= 0xFF5A))
                s->skip[(u - 32) & (REGEX_SKIP_SIZE - 1)] = shift;
        }
    }
    return s;
}

void literal_searcher_destroy(LiteralSearcher* s) {
    if (!s) return;
    free(s->pattern);
    free(s->folded);
    free(s);
}

const char16_t* literal_searcher_search(LiteralSearcher* s, const char16_t* text, int64_t count) {
    return s->search(s, text, count);
}

namespace {

template <bool Fold> const char16_t* find_terminated_units(const LiteralSearcher* s, const char16_t* t) {
    const int64_t m = s->length;
    for (const char16_t* q = t; *q; ++q)
        if (equal_at<Fold>(s, q) && !splits_pair(t, q, m, m + 1)) return q;
    return nullptr;
}

#if defined(__SSE2__)
// One pass over a NUL-terminated text for the terminator and the first probe
// unit together; a window whose probe unit agrees is compared in full (the
// comparison stops at the terminator, which no pattern unit equals). The
// loads are aligned to 16 bytes and stop at the block that holds the
// terminator, so none reaches a page the text does not; they may read a few
// bytes beside the text within such a block, which the address sanitizer
// would report, hence its exemption.
template <bool Fold>
__attribute__((no_sanitize("address"))) const char16_t* find_terminated(const LiteralSearcher* s,
                                                                        const char16_t* t) {
    const uintptr_t addr = reinterpret_cast<uintptr_t>(t);
    if (addr & 1) return find_terminated_units<Fold>(s, t);
    const int64_t m = s->length;
    const int64_t off = s->probe_offset[0];
    const __m128i zero = _mm_setzero_si128();
    const __m128i ua = _mm_set1_epi16(static_cast<short>(s->probe_unit[0]));
    const __m128i va = _mm_set1_epi16(static_cast<short>(s->probe_other[0]));
    const char16_t* block = reinterpret_cast<const char16_t*>(addr & ~uintptr_t{15});
    uint32_t keep = ~0u << (addr & 15); // the bytes before the text do not count
    for (;;) {
        const __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(block));
        __m128i probe = _mm_cmpeq_epi16(v, ua);
        if (Fold) probe = _mm_or_si128(probe, _mm_cmpeq_epi16(v, va));
        const uint32_t zeros = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi16(v, zero))) & keep;
        uint32_t hits = static_cast<uint32_t>(_mm_movemask_epi8(probe)) & keep;
        // the probe units before the terminator only
        if (zeros) hits &= (1u << __builtin_ctz(zeros)) - 1;
        hits &= 0x5555u; // one bit per unit
        while (hits) {
            const char16_t* q = block + __builtin_ctz(hits) / 2 - off;
            if (q >= t && equal_at<Fold>(s, q) && !splits_pair(t, q, m, m + 1)) return q;
            hits &= hits - 1;
        }
        if (zeros) return nullptr;
        keep = ~0u;
        block += 8;
    }
}
#else
template <bool Fold> const char16_t* find_terminated(const LiteralSearcher* s, const char16_t* t) {
    return find_terminated_units<Fold>(s, t);
}
#endif

} // namespace

const char16_t* literal_searcher_find(LiteralSearcher* s, const char16_t* text) {
    const int64_t m = s->length;
    if (m == 0) return text;
    if (s->holds_zero)
        return s->search(s, text, static_cast<int64_t>(std::char_traits<char16_t>::length(text)));
    return s->search == search_folded ? find_terminated<true>(s, text) : find_terminated<false>(s, text);
}

Regex* regex_compile_literal(const char16_t* literal, int flags) {
    if (!literal) return nullptr;
    size_t n = std::char_traits<char16_t>::length(literal);
    if (flags & REGEX_IGNORE_WIDTH) {
        // every character stays literal: the metacharacters are escaped one by
        // one, and a CR before LF is dropped (CR LF is one step, at the LF)
        std::u16string pat;
        pat.reserve(2 * n + 1);
        for (size_t k = 0; k < n; ++k) {
            char16_t c = literal[k];
            if (c == '\r' && literal[k + 1] == '\n') continue;
            if (c < 128 && std::char_traits<char16_t>::find(u"\\^$.|?*+()[]{}", 14, c)) pat.push_back('\\');
            pat.push_back(c);
        }
        return regex_compile(pat.c_str(), flags);
    }
    Regex* re = regex_alloc();
    if (!re) return nullptr;
    re->literal = literal_searcher_create(literal, static_cast<int64_t>(n), (flags & REGEX_IGNORE_CASE) != 0);
    if (!re->literal) {
        regex_destroy(re);
        return nullptr;
    }
    if (flags & REGEX_IGNORE_CASE) re->flags |= REGEX_FLAG_ICASE;
    re->literal_length = static_cast<int64_t>(n);
    re->strategy = REGEX_STRATEGY_LITERAL;
    re->search = regex_search_literal;
    return re;
}

// ---------------------------------------------------------------- templates

int regex_template_has_refs(const char16_t* t) {
    if (!t) return 0;
    for (; *t; ++t) {
        if (*t == '\\') return 1;
        if (*t == '$') {
            char16_t c = t[1];
            if (c == '&' || c == '\'' || c == '`' || c == '+' || (c >= '1' && c <= '9')) return 1;
        }
    }
    return 0;
}

char16_t* regex_copy_range(char16_t* out, const RegexPositionOps* ops, RegexPos start, int64_t count) {
    RegexPos pos = start;
    const char16_t* p = ops->char_at(ops->context, &pos);
    while (count > 0 && *p) {
        int u;
        utf16_decode(p, &u);
        if (u > count) u = static_cast<int>(count);
        for (int k = 0; k < u; ++k) *out++ = p[k];
        count -= u;
        if (count <= 0) break;
        if (p[u] == 0) {
            p = ops->next_char(ops->context, &pos);
        } else {
            p += u;
            pos.column += u;
        }
    }
    return out;
}

namespace {

struct Emitter {
    char16_t* out;
    int64_t n = 0;
    void put(char16_t c) {
        if (out) out[n] = c;
        ++n;
    }
    void range(const RegexPositionOps* ops, RegexPos from, int64_t count) {
        if (count <= 0) return;
        if (out) regex_copy_range(out + n, ops, from, count);
        n += count;
    }
};

int64_t units_between(const RegexPositionOps* ops, const RegexPos& a, const RegexPos& b) {
    if (a.line == b.line) return b.column - a.column;
    return ops->distance(ops->context, &a, &b);
}

} // namespace

int64_t regex_expand_template(const RegexPositionOps* ops, RegexPos ms, RegexPos me, const char16_t* t,
                              const Regex* re, char16_t* out) {
    Emitter e{out};
    auto group = [&](int g) {
        if (g < 0 || g >= re->group_count || re->groups[g].length < 0) return;
        e.range(ops, re->groups[g].start, re->groups[g].length);
    };
    while (t && *t) {
        char16_t c = *t;
        bool ref = false;
        if (c == '\\') {
            ref = true;
        } else if (c == '$') {
            char16_t d = t[1];
            ref = d == '&' || d == '\'' || d == '`' || d == '+' || (d >= '1' && d <= '9');
        }
        if (!ref) {
            int u;
            utf16_decode(t, &u);
            for (int k = 0; k < u; ++k) e.put(t[k]);
            t += u;
            continue;
        }
        ++t;
        char16_t r = *t;
        if (r == 0) {
            e.put(c);
            break;
        }
        if (r == '&') {
            e.range(ops, ms, units_between(ops, ms, me));
            ++t;
        } else if (r == '`') {
            e.range(ops, RegexPos{ms.line, 0}, ms.column);
            ++t;
        } else if (r == '\'') {
            const char16_t* p = ops->char_at(ops->context, &me);
            int64_t k = 0;
            while (p[k] && p[k] != '\n') ++k;
            if (k > 0 && p[k] == '\n' && p[k - 1] == '\r') --k;
            e.range(ops, me, k);
            ++t;
        } else if (r == '+') {
            ++t;
            if (*t == '{') {
                const char16_t* name = t + 1;
                const char16_t* close = name;
                while (*close && *close != '}') ++close;
                if (*close == '}') {
                    // Only named groups have names (an unnamed group's
                    // name is empty, and no name can be): "$+{}" finds no
                    // group and inserts nothing.
                    size_t len = static_cast<size_t>(close - name);
                    for (int g = 0; len > 0 && g < re->group_count; ++g) {
                        const char16_t* gn = re->group_names[g];
                        if (std::char_traits<char16_t>::length(gn) == len &&
                            std::char_traits<char16_t>::compare(gn, name, len) == 0) {
                            group(g);
                            break;
                        }
                    }
                    t = close + 1;
                    continue;
                }
            }
            group(re->last_group);
        } else if (r >= '1' && r <= '9') {
            int num = r - '0';
            ++t;
            while (*t >= '0' && *t <= '9' && num * 10 + (*t - '0') <= re->group_count) {
                num = num * 10 + (*t - '0');
                ++t;
            }
            group(num - 1);
        } else if (c == '\\' && r == 'n') {
            e.put('\n');
            ++t;
        } else if (c == '\\' && r == 't') {
            e.put('\t');
            ++t;
        } else {
            int u;
            utf16_decode(t, &u);
            for (int k = 0; k < u; ++k) e.put(t[k]);
            t += u;
        }
    }
    e.put(0);
    return e.n;
}

// ---------------------------------------------------------------- replace-all

namespace {

struct Output {
    char16_t* data;
    int64_t capacity; // units
    int64_t used = 0;
    bool heap = false;
    int64_t text_length;

    bool reserve(int64_t add) {
        int64_t need = used + add + 1;
        if (need <= capacity) return true;
        int64_t cap = capacity > 0 ? capacity : 2 * text_length;
        if (cap < 64) cap = 64;
        while (cap < need) cap *= 2;
        if (!heap) {
            auto* p = static_cast<char16_t*>(malloc(static_cast<size_t>(cap) * 2));
            if (!p) return false;
            if (used) memcpy(p, data, static_cast<size_t>(used) * 2);
            data = p;
            heap = true;
        } else {
            auto* p = static_cast<char16_t*>(realloc(data, static_cast<size_t>(cap) * 2));
            if (!p) return false;
            data = p;
        }
        capacity = cap;
        return true;
    }
    bool append(const char16_t* s, int64_t n) {
        if (!reserve(n)) return false;
        if (n) memcpy(data + used, s, static_cast<size_t>(n) * 2);
        used += n;
        return true;
    }
    char16_t* abandon() {
        if (heap) free(data);
        return nullptr;
    }
};

} // namespace

char16_t* regex_replace_str(Regex* re, const char16_t* text, const char16_t* repl, int all, char16_t* buffer,
                            int capacity, RegexReplaceCallback callback, void* data) {
    if (!re || !text) return const_cast<char16_t*>(text);
    if (!repl) repl = u"";
    RegexStrSubject subject;
    RegexPositionOps ops;
    regex_init_str_ops(&ops, &subject, text);
    const int64_t len = static_cast<int64_t>(std::char_traits<char16_t>::length(text));
    subject.length = len;
    const bool tmpl = !callback && regex_template_has_refs(repl);
    const int64_t repl_len = static_cast<int64_t>(std::char_traits<char16_t>::length(repl));
    Output out{buffer, buffer ? capacity : 0, 0, false, len};
    bool found = false;
    int64_t copy_point = 0;
    int64_t search_from = 0;
    int64_t prev_start = -1;
    for (;;) {
        RegexPos start{0, search_from}, end{0, 0};
        int r = regex_run_search(re, &ops, &start, &end, RegexPos{-1, -1});
        if (r < 0) return out.abandon();
        if (r == 0) break;
        re->match_start = start;
        re->match_end = end;
        int64_t ms = start.column, me = end.column;
        if (me == ms && ms == prev_start) {
            // an empty match where the previous match began: pass one character
            if (ms >= len) break;
            int u = 2;
            if (!(text[ms] == '\r' && text[ms + 1] == '\n')) utf16_decode(text + ms, &u);
            if (!out.append(text + copy_point, ms + u - copy_point)) return out.abandon();
            copy_point = ms + u;
            search_from = ms + u;
            continue;
        }
        found = true;
        if (!out.append(text + copy_point, ms - copy_point)) return out.abandon();
        if (callback) {
            const char16_t* s = callback(data, re);
            if (!s) return out.abandon();
            if (!out.append(s, static_cast<int64_t>(std::char_traits<char16_t>::length(s))))
                return out.abandon();
        } else if (tmpl) {
            int64_t n = regex_expand_template(&ops, start, end, repl, re, nullptr);
            if (!out.reserve(n)) return out.abandon();
            regex_expand_template(&ops, start, end, repl, re, out.data + out.used);
            out.used += n - 1;
        } else {
            if (!out.append(repl, repl_len)) return out.abandon();
        }
        copy_point = me;
        search_from = me;
        prev_start = ms;
        if (!all) break;
    }
    if (!found) return const_cast<char16_t*>(text);
    if (!out.append(text + copy_point, len - copy_point + 1)) return out.abandon();
    return out.data;
}
