// Tree passes after parsing (empty nodes, common first characters,
// first-character maps, runs of characters), the choice of the search
// strategy, and the search functions of each strategy. Every walk over the
// tree uses an explicit list, never recursion.
#include "regex/regex_internal.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

enum { MARK_LISTED = 0x80, MARK_RUN = 0x40 };

// Every node reachable from the root, in tree order (next before alt).
std::vector<RegexNode*> collect(Regex* re) {
    std::vector<RegexNode*> out;
    std::vector<RegexNode*> todo;
    if (re->root) todo.push_back(re->root);
    while (!todo.empty()) {
        RegexNode* n = todo.back();
        todo.pop_back();
        while (n && !(n->marks & MARK_LISTED)) {
            n->marks |= MARK_LISTED;
            out.push_back(n);
            int k = n->kind;
            if ((k >= RN_LOOKAHEAD && k <= RN_NEG_LOOKBEHIND) || k == RN_POSSESSIVE) {
                if (n->aux) todo.push_back(static_cast<RegexNode*>(n->aux));
                if (n->payload) todo.push_back(static_cast<RegexNode*>(n->payload));
            } else if (k == RN_COND && n->payload) {
                todo.push_back(static_cast<RegexNode*>(n->payload));
            }
            if (n->alt) todo.push_back(n->alt);
            n = n->next;
        }
    }
    for (RegexNode* n : out) n->marks &= ~MARK_LISTED;
    return out;
}

inline RegexNode* skip_empty(RegexNode* n) {
    int guard = 0;
    while (n && n->kind == RN_EMPTY && n->next && !n->alt && ++guard < 1000000) n = n->next;
    return n;
}

// skip_empty that also points every empty node it passes at the target, so
// that long chains of empty nodes are walked once.
RegexNode* skip_empty_compress(RegexNode* n) {
    RegexNode* target = skip_empty(n);
    while (n && n != target && n->kind == RN_EMPTY && n->next && !n->alt) {
        RegexNode* next = n->next;
        n->next = target;
        n = next;
    }
    return target;
}

void pass_empty(Regex* re, const std::vector<RegexNode*>& nodes) {
    re->root = skip_empty_compress(re->root);
    for (RegexNode* n : nodes) {
        n->next = skip_empty_compress(n->next);
        if (n->kind == RN_SPLIT || n->kind == RN_COND) n->alt = skip_empty_compress(n->alt);
        int k = n->kind;
        if ((k >= RN_LOOKAHEAD && k <= RN_NEG_LOOKBEHIND) || k == RN_POSSESSIVE) {
            n->payload = skip_empty_compress(static_cast<RegexNode*>(n->payload));
            if (k == RN_POSSESSIVE) n->alt = static_cast<RegexNode*>(n->payload);
        }
    }
}

bool pass_factor(Regex* re, const std::vector<RegexNode*>& nodes) {
    std::vector<RegexNode*> work;
    for (RegexNode* n : nodes)
        if (n->kind == RN_SPLIT && n->value == '|') work.push_back(n);
    while (!work.empty()) {
        RegexNode* n = work.back();
        work.pop_back();
        RegexNode* a = skip_empty(n->next);
        RegexNode* b = skip_empty(n->alt);
        if (!a || !b || a == b || a->kind != RN_CHAR || b->kind != RN_CHAR || a->value != b->value ||
            a->value2 != b->value2)
            continue;
        if (re->node_count >= REGEX_MAX_NODES) return false;
        auto* s = static_cast<RegexNode*>(regex_arena_alloc(re, sizeof(RegexNode)));
        if (!s) return false;
        s->kind = RN_SPLIT;
        s->value = '|';
        s->pref = n->pref;
        s->next = a->next;
        s->alt = b->next;
        s->serial = re->node_count++;
        n->kind = RN_CHAR;
        n->value = a->value;
        n->value2 = a->value2;
        n->next = s;
        n->alt = nullptr;
        n->aux = nullptr;
        work.push_back(s);
    }
    return true;
}

// First items of a split's branch into map (bit = 1 next, 2 alt). False when
// the branch's start is unknown.
bool first_items(Regex* re, RegexNode* start, int bit, uint8_t* map, int* items, bool* ascii_only) {
    std::vector<RegexNode*> todo;
    std::vector<RegexNode*> seen;
    todo.push_back(start);
    auto set = [&](unsigned c) { map[c >> 2] |= static_cast<uint8_t>(bit << ((c & 3) * 2)); };
    while (!todo.empty()) {
        RegexNode* n = todo.back();
        todo.pop_back();
        for (;;) {
            if (!n) return false;
            bool met = false;
            for (RegexNode* s : seen)
                if (s == n) met = true;
            if (met) break;
            seen.push_back(n);
            if (seen.size() > 200) return false;
            int k = n->kind;
            if (k == RN_EMPTY || k == RN_OPEN || (k == RN_CLOSE && !re->has_call)) {
                n = n->next;
                continue;
            }
            if (k == RN_ATOMIC) {
                n = static_cast<RegexNode*>(n->payload);
                continue;
            }
            if (k == RN_SPLIT) {
                todo.push_back(n->alt);
                n = n->next;
                continue;
            }
            if (k == RN_CHAR || k == RN_STRING) {
                uint32_t c =
                    k == RN_CHAR ? static_cast<uint32_t>(n->value) : static_cast<const uint32_t*>(n->aux)[0];
                if (c >= 128) return false;
                if (++*items > 20) return false;
                if (n->value2 & RNF_IWIDTH) *ascii_only = false;
                set(c);
                if (n->value2 & RNF_ICASE) {
                    if (c >= 'a' && c <= 'z') set(c - 32);
                }
                break;
            }
            if (k == RN_CLASS) {
                const RegexClass* cls = static_cast<const RegexClass*>(n->payload);
                if (cls->flags & (RCLASS_NEGATED | RCLASS_WIDTH | RCLASS_ALL_ABOVE_255)) return false;
                if (cls->range_count || cls->single_count) return false;
                if (++*items > 20) return false;
                if (cls->bits[4] | cls->bits[5] | cls->bits[6] | cls->bits[7]) *ascii_only = false;
                for (unsigned c = 1; c < 128; ++c)
                    if ((cls->bits[c >> 5] >> (c & 31)) & 1) set(c);
                break;
            }
            return false;
        }
    }
    return true;
}

// Every code point that folds to f under the node flags (f itself already
// folded): case folding maps A-Z and full-width A-Z to lower case, width
// folding full-width ASCII and six full-width symbols to ASCII.
template <class Add> void fold_preimage(uint32_t f, int nflags, Add add) {
    add(f);
    uint32_t upper = 0;
    if ((nflags & RNF_ICASE) && ((f >= 'a' && f <= 'z') || (f >= 0xFF41 && f <= 0xFF5A))) {
        upper = f - 32;
        add(upper);
    }
    if (!(nflags & RNF_IWIDTH)) return;
    if (f >= 0x21 && f <= 0x7D) {
        add(f + 0xFEE0);
        if (upper) add(upper + 0xFEE0);
    }
    switch (f) {
    case 0x20: add(0x3000); break;
    case 0x5C: add(0xFFE5); break;
    case 0x7E: add(0xFFE3); break;
    case 0x22: add(0x201D); break;
    case 0x27: add(0x2019); break;
    case 0x60: add(0x2018); break;
    default: break;
    }
}

// The class of every character that can begin the branches of a split
// (characters of any code point and plain classes); NULL when a branch can
// begin otherwise.
RegexClass* split_start_class(Regex* re, RegexNode* split) {
    std::vector<RegexNode*> todo{split->next, split->alt};
    std::vector<RegexNode*> seen;
    std::vector<uint32_t> singles, ranges;
    uint32_t bits[8] = {};
    auto add = [&](uint32_t c) {
        if (c <= 255)
            bits[c >> 5] |= 1u << (c & 31);
        else
            singles.push_back(c);
    };
    int items = 0;
    while (!todo.empty()) {
        RegexNode* n = todo.back();
        todo.pop_back();
        for (;;) {
            if (!n) return nullptr;
            bool met = false;
            for (RegexNode* x : seen)
                if (x == n) met = true;
            if (met) break;
            seen.push_back(n);
            if (seen.size() > 200 || ++items > 200) return nullptr;
            int k = n->kind;
            if (k == RN_EMPTY || k == RN_OPEN || (k == RN_CLOSE && !re->has_call)) {
                n = n->next;
                continue;
            }
            if (k == RN_ATOMIC) {
                n = static_cast<RegexNode*>(n->payload);
                continue;
            }
            if (k == RN_SPLIT) {
                todo.push_back(n->alt);
                n = n->next;
                continue;
            }
            if (k == RN_CHAR || k == RN_STRING) {
                uint32_t c =
                    k == RN_CHAR ? static_cast<uint32_t>(n->value) : static_cast<const uint32_t*>(n->aux)[0];
                if (c == '\r' || c == '\n') return nullptr;
                fold_preimage(c, n->value2, add);
                break;
            }
            if (k == RN_CLASS) {
                const RegexClass* cls = static_cast<const RegexClass*>(n->payload);
                if (cls->flags & (RCLASS_NEGATED | RCLASS_ALL_ABOVE_255)) return nullptr;
                if (cls->bits[0] & ((1u << '\n') | (1u << '\r'))) return nullptr;
                if (cls->flags & RCLASS_WIDTH) {
                    // members are width-folded: those up to 255 with what folds to them
                    if (cls->range_count || cls->single_count) return nullptr;
                    for (uint32_t c = 1; c < 256; ++c)
                        if ((cls->bits[c >> 5] >> (c & 31)) & 1) fold_preimage(c, RNF_IWIDTH, add);
                    break;
                }
                for (int i = 0; i < 8; ++i) bits[i] |= cls->bits[i];
                singles.insert(singles.end(), cls->singles, cls->singles + cls->single_count);
                ranges.insert(ranges.end(), cls->ranges, cls->ranges + 2 * cls->range_count);
                break;
            }
            return nullptr;
        }
    }
    auto* cls = static_cast<RegexClass*>(regex_arena_alloc(re, sizeof(RegexClass)));
    if (!cls) return nullptr;
    memcpy(cls->bits, bits, sizeof bits);
    cls->single_count = static_cast<int>(singles.size());
    cls->range_count = static_cast<int>(ranges.size() / 2);
    if (!singles.empty()) {
        cls->singles = static_cast<uint32_t*>(regex_arena_alloc(re, singles.size() * 4));
        if (!cls->singles) return nullptr;
        memcpy(cls->singles, singles.data(), singles.size() * 4);
    }
    if (!ranges.empty()) {
        cls->ranges = static_cast<uint32_t*>(regex_arena_alloc(re, ranges.size() * 4));
        if (!cls->ranges) return nullptr;
        memcpy(cls->ranges, ranges.data(), ranges.size() * 4);
    }
    return cls;
}

// A class of the code points that fold to the first character c under the
// node flags, or to a member of the width-folding class cls (members up to
// 255 only); NULL when there is no such form or no memory.
RegexClass* preimage_class(Regex* re, uint32_t c, int nflags, const RegexClass* cls) {
    uint32_t bits[8] = {};
    std::vector<uint32_t> singles;
    auto add = [&](uint32_t u) {
        if (u <= 255)
            bits[u >> 5] |= 1u << (u & 31);
        else
            singles.push_back(u);
    };
    if (cls) {
        if ((cls->flags & (RCLASS_NEGATED | RCLASS_ALL_ABOVE_255)) || cls->range_count || cls->single_count)
            return nullptr;
        for (uint32_t u = 1; u < 256; ++u)
            if ((cls->bits[u >> 5] >> (u & 31)) & 1) fold_preimage(u, RNF_IWIDTH, add);
    } else {
        if (c == 0 || c == '\r' || c == '\n') return nullptr;
        fold_preimage(c, nflags, add);
    }
    auto* out = static_cast<RegexClass*>(regex_arena_alloc(re, sizeof(RegexClass)));
    if (!out) return nullptr;
    memcpy(out->bits, bits, sizeof bits);
    if (!singles.empty()) {
        out->singles = static_cast<uint32_t*>(regex_arena_alloc(re, singles.size() * 4));
        if (!out->singles) return nullptr;
        memcpy(out->singles, singles.data(), singles.size() * 4);
        out->single_count = static_cast<int>(singles.size());
    }
    return out;
}

bool pass_maps(Regex* re, const std::vector<RegexNode*>& nodes) {
    if (re->node_count / 8 >= 255) return true;
    int splits = 0;
    for (RegexNode* n : nodes) {
        if (n->kind != RN_SPLIT) continue;
        if (++splits > 30) break;
        // 32 bytes of branch bits, then 1 when no character of 128 or above
        // can begin either branch
        uint8_t map[33] = {};
        int items = 0;
        bool ascii_only = true;
        if (!first_items(re, n->next, 1, map, &items, &ascii_only) ||
            !first_items(re, n->alt, 2, map, &items, &ascii_only))
            continue;
        map[32] = ascii_only ? 1 : 0;
        auto* m = static_cast<uint8_t*>(regex_arena_alloc(re, 33));
        if (!m) return false;
        memcpy(m, map, 33);
        n->aux = m;
    }
    return true;
}

bool pass_runs(Regex* re, const std::vector<RegexNode*>& nodes) {
    std::vector<uint32_t> run;
    for (RegexNode* n : nodes) {
        if (n->kind != RN_CHAR || n->value == '\n' || (n->marks & MARK_RUN)) continue;
        run.clear();
        run.push_back(static_cast<uint32_t>(n->value));
        RegexNode* m = skip_empty(n->next);
        while (m && m->kind == RN_CHAR && m->value2 == n->value2 && m->value != '\n' && run.size() < 100000) {
            run.push_back(static_cast<uint32_t>(m->value));
            m->marks |= MARK_RUN;
            m = skip_empty(m->next);
        }
        if (run.size() < 2) continue;
        auto* cps = static_cast<uint32_t*>(regex_arena_alloc(re, run.size() * 4));
        if (!cps) return false;
        memcpy(cps, run.data(), run.size() * 4);
        n->kind = RN_STRING;
        n->value = static_cast<int32_t>(run.size());
        n->aux = cps;
        n->next = m;
    }
    for (RegexNode* n : nodes) n->marks &= ~MARK_RUN;
    return true;
}

// ---------------------------------------------------------------- searching

// The first unit at or after p that is ch, LF or the terminator. A scan
// stops at LF because a subject may present its line break as a text of its
// own, which only next_char may step over.
inline bool stops(char16_t u, char16_t ch) {
    return u == ch || u == 0 || u == '\n';
}
inline const char16_t* find_unit(const char16_t* p, char16_t ch) {
    for (;;) {
        if (stops(p[0], ch)) return p;
        if (stops(p[1], ch)) return p + 1;
        if (stops(p[2], ch)) return p + 2;
        if (stops(p[3], ch)) return p + 3;
        p += 4;
    }
}

struct Cursor {
    RegexPos pos;
    const char16_t* cur;
    const char16_t* prev;
};

inline uint32_t read_at(const char16_t* p, int* units) {
    if (p[0] == '\r' && p[1] == '\n') {
        *units = 2;
        return '\n';
    }
    return utf16_decode(p, units);
}

inline void step(const RegexPositionOps* ops, Cursor& c) {
    int u;
    read_at(c.cur, &u);
    const char16_t* p = c.cur;
    c.prev = p;
    if (p[u] == 0) {
        if (u == 2) c.pos.column += 1;
        c.cur = ops->next_char(ops->context, &c.pos);
    } else {
        c.cur = p + u;
        c.pos.column += u;
    }
}

inline bool beyond(const RegexPos& p, const RegexPos& limit) {
    return limit.line >= 0 && (p.line > limit.line || (p.line == limit.line && p.column > limit.column));
}

inline int attempt(Regex* re, const RegexPositionOps* ops, const Cursor& c, RegexPos* start, RegexPos* end) {
    RegexPos s = c.pos, e;
    int r = regex_match_at(re, ops, &s, &e, c.cur, c.prev);
    if (r == 1) {
        *start = s;
        *end = e;
    }
    return r;
}

// False when the unit every match needs does not occur from pos on (an
// unlimited search only), so that no position has to be tried.
bool required_present(Regex* re, const RegexPositionOps* ops, const RegexPos& pos, const RegexPos& limit) {
    if (!re->required_unit || limit.line >= 0) return true;
    const char16_t u = re->required_unit;
    const char16_t* also = re->required_also;
    RegexPos at = pos;
    for (int64_t line = pos.line;; ++line) {
        int64_t len = 0;
        const char16_t* t = ops->line_text(ops->context, line, &len);
        if (!t) return false;
        int64_t from = line == at.line ? at.column : 0;
        if (from < 0) from = 0;
        if (from >= len) continue;
        if (!also[0]) {
            if (std::char_traits<char16_t>::find(t + from, static_cast<size_t>(len - from), u)) return true;
            continue;
        }
        for (const char16_t *p = t + from, *e = t + len; p < e; ++p)
            if (*p == u || *p == also[0] || (also[1] && (*p == also[1] || (also[2] && *p == also[2]))))
                return true;
    }
}

template <class Cand>
int scan(Regex* re, const RegexPositionOps* ops, RegexPos* start, RegexPos* end, RegexPos limit, Cand cand) {
    if (!required_present(re, ops, *start, limit)) return 0;
    Cursor c{*start, ops->char_at(ops->context, start), nullptr};
    if (beyond(c.pos, limit)) return 0;
    for (;;) {
        if (cand(c)) {
            int r = attempt(re, ops, c, start, end);
            if (r) return r;
        }
        if (*c.cur == 0) return 0;
        step(ops, c);
        if (beyond(c.pos, limit)) return 0;
    }
}

int search_any(Regex* re, const RegexPositionOps* ops, RegexPos* start, RegexPos* end, RegexPos limit) {
    return scan(re, ops, start, end, limit, [](const Cursor&) { return true; });
}

int search_char(Regex* re, const RegexPositionOps* ops, RegexPos* start, RegexPos* end, RegexPos limit) {
    uint32_t first = re->first_char;
    int fl = re->first_flags;
    if (fl == 0 && first < 0x10000 && !utf16_is_surrogate(first) && first != '\r' && first != '\n' && first) {
        // scan the units of each line for the first character
        const char16_t ch = static_cast<char16_t>(first);
        if (!required_present(re, ops, *start, limit)) return 0;
        Cursor c{*start, ops->char_at(ops->context, start), nullptr};
        if (beyond(c.pos, limit)) return 0;
        // the end of the current line's text, when the cursor lies in it
        int64_t line = -1;
        const char16_t* line_start = nullptr;
        const char16_t* line_end = nullptr;
        for (;;) {
            const char16_t* p = c.cur;
            if (c.pos.line != line) {
                line = c.pos.line;
                int64_t len = 0;
                line_start = ops->line_text(ops->context, line, &len);
                line_end = line_start ? line_start + len : nullptr;
            }
            if (line_start && p >= line_start && p < line_end) {
                p = std::find(p, line_end, ch);
                if (p == line_end) p = find_unit(p, ch);
            } else {
                p = find_unit(p, ch);
            }
            if (p != c.cur) {
                c.pos.column += p - c.cur;
                c.cur = p;
                c.prev = nullptr;
                if (beyond(c.pos, limit)) return 0;
            }
            if (*p == ch) {
                int r = attempt(re, ops, c, start, end);
                if (r) return r;
            } else {
                c.cur = ops->char_at(ops->context, &c.pos);
                if (*c.cur == 0) return 0;
            }
            step(ops, c);
            if (beyond(c.pos, limit)) return 0;
        }
    }
    return scan(re, ops, start, end, limit, [first, fl](const Cursor& c) {
        int u;
        return regex_fold(read_at(c.cur, &u), fl) == first;
    });
}

// The ranges of a class whose members are all units of the basic plane,
// none of them a surrogate, CR, LF or 0; false when it has no such form.
bool class_ranges(const RegexClass* cls, UnitRanges* out) {
    if (cls->flags & (RCLASS_NEGATED | RCLASS_ALL_ABOVE_255 | RCLASS_WIDTH)) return false;
    const uint32_t line_bits = (1u << '\n') | (1u << '\r') | 1u;
    if (cls->bits[0] & line_bits) return false;
    auto bit = [cls](unsigned c) { return ((cls->bits[c >> 5] >> (c & 31)) & 1) != 0; };
    for (unsigned c = 1; c < 256;) {
        if (!bit(c)) {
            ++c;
            continue;
        }
        unsigned h = c;
        while (h + 1 < 256 && bit(h + 1)) ++h;
        if (!out->add(c, h)) return false;
        c = h + 1;
    }
    auto plain = [](uint32_t lo, uint32_t hi) { return hi < 0x10000 && (hi < 0xD800 || lo > 0xDFFF); };
    for (int k = 0; k < cls->single_count; ++k)
        if (!plain(cls->singles[k], cls->singles[k]) || !out->add(cls->singles[k], cls->singles[k]))
            return false;
    for (int k = 0; k < cls->range_count; ++k) {
        uint32_t lo = cls->ranges[2 * k], hi = cls->ranges[2 * k + 1];
        if (lo == 0 || lo == '\n' || lo == '\r' || (lo < '\r' && hi >= '\n')) return false;
        if (!plain(lo, hi) || !out->add(lo, hi)) return false;
    }
    return out->count > 0;
}

inline bool in_ranges(char16_t u, const UnitRanges& r) {
    for (int k = 0; k < r.count; ++k)
        if (static_cast<char16_t>(u - r.lo[k]) <= r.width[k]) return true;
    return false;
}

// The first unit at or after p that is in the ranges, LF or the terminator.
const char16_t* find_in_ranges_units(const char16_t* p, const UnitRanges& r) {
    for (;;) {
        char16_t u = *p;
        if (u == 0 || u == '\n' || in_ranges(u, r)) return p;
        ++p;
    }
}

#if defined(__SSE2__)
// The same a vector of 8 units at a time. The loads are aligned to 16 bytes
// and stop at the block that holds the terminator, so none reaches a page
// the text does not; they may read a few bytes beside the text within such a
// block, which the address sanitizer would report, hence its exemption.
__attribute__((no_sanitize("address"))) const char16_t* find_in_ranges(const char16_t* p,
                                                                       const UnitRanges& r) {
    const uintptr_t addr = reinterpret_cast<uintptr_t>(p);
    if (addr & 1) return find_in_ranges_units(p, r);
    const __m128i zero = _mm_setzero_si128();
    const __m128i lf = _mm_set1_epi16('\n');
    __m128i lo[6], width[6];
    for (int k = 0; k < r.count; ++k) {
        lo[k] = _mm_set1_epi16(static_cast<short>(r.lo[k]));
        width[k] = _mm_set1_epi16(static_cast<short>(r.width[k]));
    }
    const __m128i* block = reinterpret_cast<const __m128i*>(addr & ~uintptr_t{15});
    uint32_t keep = ~0u << (addr & 15); // the bytes before p do not count
    for (;;) {
        const __m128i v = _mm_load_si128(block);
        __m128i hit = _mm_or_si128(_mm_cmpeq_epi16(v, zero), _mm_cmpeq_epi16(v, lf));
        for (int k = 0; k < r.count; ++k)
            hit = _mm_or_si128(hit, _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(v, lo[k]), width[k]), zero));
        const uint32_t mask = static_cast<uint32_t>(_mm_movemask_epi8(hit)) & keep;
        if (mask) return reinterpret_cast<const char16_t*>(block) + __builtin_ctz(mask) / 2;
        keep = ~0u;
        ++block;
    }
}
#else
const char16_t* find_in_ranges(const char16_t* p, const UnitRanges& r) {
    return find_in_ranges_units(p, r);
}
#endif

// Scans the units of each line for a member of a class that has the form of
// unit ranges.
int scan_ranges(Regex* re, const RegexPositionOps* ops, RegexPos* start, RegexPos* end, RegexPos limit,
                const UnitRanges& ranges) {
    if (!required_present(re, ops, *start, limit)) return 0;
    Cursor c{*start, ops->char_at(ops->context, start), nullptr};
    if (beyond(c.pos, limit)) return 0;
    for (;;) {
        const char16_t* p = find_in_ranges(c.cur, ranges);
        if (p != c.cur) {
            c.pos.column += p - c.cur;
            c.cur = p;
            c.prev = nullptr;
            if (beyond(c.pos, limit)) return 0;
        }
        if (*p && *p != '\n') {
            int r = attempt(re, ops, c, start, end);
            if (r) return r;
        } else {
            c.cur = ops->char_at(ops->context, &c.pos);
            if (*c.cur == 0) return 0;
        }
        step(ops, c);
        if (beyond(c.pos, limit)) return 0;
    }
}

int search_class(Regex* re, const RegexPositionOps* ops, RegexPos* start, RegexPos* end, RegexPos limit) {
    const RegexClass* cls = re->start_class;
    if (cls->unit_ranges) return scan_ranges(re, ops, start, end, limit, *cls->unit_ranges);
    return scan(re, ops, start, end, limit, [cls](const Cursor& c) {
        int u;
        return regex_class_test(cls, read_at(c.cur, &u));
    });
}

int search_word(Regex* re, const RegexPositionOps* ops, RegexPos* start, RegexPos* end, RegexPos limit) {
    if (re->first_char) {
        // the character after \b is known: scan for it, then test the boundary
        const char16_t ch = static_cast<char16_t>(re->first_char);
        if (!required_present(re, ops, *start, limit)) return 0;
        Cursor c{*start, ops->char_at(ops->context, start), nullptr};
        if (beyond(c.pos, limit)) return 0;
        for (;;) {
            const char16_t* p = c.cur;
            p = find_unit(p, ch);
            if (p != c.cur) {
                c.pos.column += p - c.cur;
                c.cur = p;
                c.prev = nullptr;
                if (beyond(c.pos, limit)) return 0;
            }
            if (*p == ch) {
                int u;
                uint32_t prev = 0;
                if (c.prev) {
                    prev = read_at(c.prev, &u);
                } else if (c.pos.line != 0 || c.pos.column != 0) {
                    RegexPos q = c.pos;
                    const char16_t* pp = ops->prev_char(ops->context, &q);
                    if (pp && *pp) prev = read_at(pp, &u);
                }
                if (regex_is_word(prev) != regex_is_word(ch)) {
                    int r = attempt(re, ops, c, start, end);
                    if (r) return r;
                }
            } else {
                c.cur = ops->char_at(ops->context, &c.pos);
                if (*c.cur == 0) return 0;
            }
            step(ops, c);
            if (beyond(c.pos, limit)) return 0;
        }
    }
    return scan(re, ops, start, end, limit, [ops](const Cursor& c) {
        int u;
        uint32_t prev = 0;
        if (c.prev) {
            prev = read_at(c.prev, &u);
        } else if (c.pos.line != 0 || c.pos.column != 0) {
            RegexPos q = c.pos;
            const char16_t* p = ops->prev_char(ops->context, &q);
            if (p && *p) prev = read_at(p, &u);
        }
        return regex_is_word(prev) != regex_is_word(read_at(c.cur, &u));
    });
}

// A pattern that begins with '.*', '.*?' or '.+' (a dot without flag s):
// when the attempt from a start fails, no later start before the next line
// break can match either (from the earlier start the leading loop reaches
// every position the later one reaches, and what follows it sees only that
// position), so the search moves on to the next line start. The strategy
// choice makes sure nothing else depends on the start: no \K, no
// backreference to a group opened before the loop, no look-behind before it.
int search_dot_star(Regex* re, const RegexPositionOps* ops, RegexPos* start, RegexPos* end, RegexPos limit) {
    if (!required_present(re, ops, *start, limit)) return 0;
    Cursor c{*start, ops->char_at(ops->context, start), nullptr};
    if (beyond(c.pos, limit)) return 0;
    for (;;) {
        int r = attempt(re, ops, c, start, end);
        if (r) return r;
        const char16_t* p = ops->next_line(ops->context, &c.pos);
        if (!p) return 0;
        c.cur = p;
        c.prev = nullptr;
        if (beyond(c.pos, limit)) return 0;
    }
}

int search_line(Regex* re, const RegexPositionOps* ops, RegexPos* start, RegexPos* end, RegexPos limit) {
    if (!required_present(re, ops, *start, limit)) return 0;
    Cursor c{*start, ops->char_at(ops->context, start), nullptr};
    if (beyond(c.pos, limit)) return 0;
    if (ops->at_line_start(ops->context, &c.pos)) {
        int r = attempt(re, ops, c, start, end);
        if (r) return r;
    }
    for (;;) {
        const char16_t* p = ops->next_line(ops->context, &c.pos);
        if (!p) return 0;
        c.cur = p;
        c.prev = nullptr;
        if (beyond(c.pos, limit)) return 0;
        int r = attempt(re, ops, c, start, end);
        if (r) return r;
    }
}

} // namespace

int regex_search_literal(Regex* re, const RegexPositionOps* ops, RegexPos* start, RegexPos* end,
                         RegexPos limit) {
    RegexPos pos = *start;
    for (;;) {
        if (limit.line >= 0 && pos.line > limit.line) return 0;
        int64_t len = 0;
        const char16_t* t = ops->line_text(ops->context, pos.line, &len);
        if (!t) return 0;
        if (pos.column <= len) {
            const char16_t* from = t + pos.column;
            int64_t count = len - pos.column;
            for (;;) {
                const char16_t* hit = re->literal->search(re->literal, from, count);
                if (!hit) break;
                RegexPos hp{pos.line, hit - t};
                if (beyond(hp, limit)) return 0;
                if (!re->root || re->literal_whole) {
                    *start = hp;
                    *end = {hp.line, hp.column + re->literal_length};
                    return 1;
                }
                Cursor c{hp, hit, nullptr};
                int r = attempt(re, ops, c, start, end);
                if (r) return r;
                int u;
                utf16_decode(hit, &u);
                count -= hit + u - from;
                from = hit + u;
            }
        }
        pos.line++;
        pos.column = 0;
    }
}

bool regex_optimize(Regex* re) {
    std::vector<RegexNode*> nodes = collect(re);
    pass_empty(re, nodes);
    if (!pass_factor(re, nodes)) return false;
    nodes = collect(re);
    pass_empty(re, nodes);
    if (!pass_maps(re, nodes)) return false;
    return pass_runs(re, nodes);
}

// The last character on the path every match takes from the root that
// stands in the text as one of at most four single units (a character that
// folds, by all the forms that fold to it): they go to req[0..3], 0 after
// the last; req[0] is 0 when there is none.
void required_units(const Regex* re, char16_t req[4]) {
    req[0] = 0;
    const RegexNode* n = re->root;
    for (int guard = 0; n && guard < 100000; ++guard) {
        switch (n->kind) {
        case RN_CHAR:
        case RN_STRING: {
            int count = n->kind == RN_CHAR ? 1 : n->value;
            const uint32_t* cps = n->kind == RN_CHAR ? nullptr : static_cast<const uint32_t*>(n->aux);
            for (int k = 0; k < count; ++k) {
                uint32_t c = cps ? cps[k] : static_cast<uint32_t>(n->value);
                char16_t forms[4] = {};
                int found = 0;
                bool plain = true;
                fold_preimage(c, n->value2, [&](uint32_t f) {
                    if (f >= 0x10000 || utf16_is_surrogate(f) || f == '\r' || f == '\n' || f == 0 ||
                        found == 4)
                        plain = false;
                    else
                        forms[found++] = static_cast<char16_t>(f);
                });
                if (n->value2 == 0 && found > 1) plain = false;
                if (plain && found > 0)
                    for (int i = 0; i < 4; ++i) req[i] = forms[i];
            }
            n = n->next;
            break;
        }
        case RN_SPLIT:
            if (n->value == '*' || n->value == '+')
                n = n->next;
            else if (n->value == '?')
                n = n->alt;
            else
                return;
            break;
        case RN_EMPTY:
        case RN_ANY_NO_LF:
        case RN_ANY:
        case RN_CLASS:
        case RN_BACKREF:
        case RN_BACKREF_NAME:
        case RN_BOL:
        case RN_BEGIN:
        case RN_EOL:
        case RN_END_OR_LF:
        case RN_END:
        case RN_WORDB:
        case RN_NOT_WORDB:
        case RN_OPEN:
        case RN_CLOSE:
        case RN_GUARD:
        case RN_LOOKAHEAD:
        case RN_NEG_LOOKAHEAD:
        case RN_ATOMIC:
        case RN_LOOKBEHIND:
        case RN_NEG_LOOKBEHIND:
        case RN_POSSESSIVE:
        case RN_ANCHOR_START:
        case RN_ANCHOR_END:
        case RN_ANCHOR_LINE_START:
        case RN_ANCHOR_LINE_END: n = n->next; break;
        default: return;
        }
    }
}

bool same_name(const char16_t* a, const char16_t* b) {
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

// A literal that every match begins with once the word-boundary tests before
// it (which consume nothing) have held: the units of the character or string
// node after them, up to a line break or a surrogate. The search finds the
// literal with the literal searcher and runs the matcher where it stands.
bool use_literal_after_boundaries(Regex* re, RegexNode* n) {
    int guard = 0;
    while (n && !n->alt &&
           (n->kind == RN_WORDB || n->kind == RN_NOT_WORDB || n->kind == RN_EMPTY || n->kind == RN_OPEN) &&
           ++guard < 100000)
        n = n->next;
    if (!n || (n->kind != RN_CHAR && n->kind != RN_STRING) || (n->value2 & RNF_IWIDTH)) return true;
    std::vector<char16_t> lit;
    const int count = n->kind == RN_CHAR ? 1 : n->value;
    for (int k = 0; k < count; ++k) {
        uint32_t c =
            n->kind == RN_CHAR ? static_cast<uint32_t>(n->value) : static_cast<const uint32_t*>(n->aux)[k];
        if (c == '\n' || c == '\r' || c == 0 || c >= 0x10000 || utf16_is_surrogate(c) || lit.size() >= 128)
            break;
        lit.push_back(static_cast<char16_t>(c));
    }
    if (lit.size() < 2) return true;
    re->literal =
        literal_searcher_create(lit.data(), static_cast<int64_t>(lit.size()), (n->value2 & RNF_ICASE) != 0);
    if (!re->literal) return false;
    re->literal_length = static_cast<int64_t>(lit.size());
    re->literal_whole = 0;
    re->search = regex_search_literal;
    return true;
}

// True when the pattern's main chain begins, after empty nodes and group
// openings only, with a loop of '.' (without flag s) whose later starts in
// the same line cannot match where an earlier one failed.
bool leads_with_dot_star(const Regex* re) {
    if (re->has_keep) return false;
    bool opened[REGEX_MAX_GROUPS] = {};
    bool any_open = false;
    const RegexNode* n = re->root;
    int guard = 0;
    while (n && (n->kind == RN_EMPTY || n->kind == RN_OPEN) && !n->alt && ++guard < 100000) {
        if (n->kind == RN_OPEN && n->value >= 0 && n->value < REGEX_MAX_GROUPS)
            opened[n->value] = any_open = true;
        n = n->next;
    }
    if (!n) return false;
    bool star =
        n->kind == RN_SPLIT && n->value == '*' && n->alt && n->alt->kind == RN_ANY_NO_LF && n->alt->next == n;
    bool plus = n->kind == RN_ANY_NO_LF && n->next && n->next->kind == RN_SPLIT && n->next->value == '+' &&
                n->next->alt == n;
    if (!star && !plus) return false;
    if (!any_open) return true;
    // the captures of the groups opened before the loop begin at the start:
    // no backreference may compare them
    for (const RegexNode* k : collect(const_cast<Regex*>(re))) {
        if (k->kind == RN_BACKREF && k->value >= 0 && k->value < REGEX_MAX_GROUPS && opened[k->value])
            return false;
        if (k->kind == RN_BACKREF_NAME) {
            const char16_t* name = static_cast<const char16_t*>(k->payload);
            for (int g = 0; g < re->group_count; ++g)
                if (opened[g] && same_name(re->group_names[g], name)) return false;
        }
    }
    return true;
}

static bool choose_strategy(Regex* re) {
    re->strategy = REGEX_STRATEGY_ANY;
    re->search = search_any;
    char16_t req[4] = {};
    if (!re->has_call && !re->has_keep) required_units(re, req);
    re->required_unit = req[0];
    for (int i = 0; i < 3; ++i) re->required_also[i] = req[0] ? req[i + 1] : 0;
    RegexNode* n = re->root;
    int guard = 0;
    while (n && !n->alt && ++guard < 1000000) {
        if (n->kind == RN_EMPTY || n->kind == RN_OPEN)
            n = n->next;
        else if (n->kind == RN_LOOKAHEAD || n->kind == RN_ATOMIC)
            n = static_cast<RegexNode*>(n->payload);
        else
            break;
    }
    if (!n) return true;
    if (leads_with_dot_star(re)) {
        re->search = search_dot_star;
        return true;
    }
    if (n->kind == RN_STRING && !(n->value2 & RNF_IWIDTH)) {
        const uint32_t* cps = static_cast<const uint32_t*>(n->aux);
        if (cps[0] < 128) {
            std::vector<char16_t> lit;
            bool cut = false;
            for (int k = 0; k < n->value; ++k) {
                uint32_t c = cps[k];
                if (c == '\n' || c == '\r' || utf16_is_surrogate(c)) {
                    cut = true;
                    break;
                }
                char16_t buf[2];
                int u = utf16_encode(c, buf);
                lit.insert(lit.end(), buf, buf + u);
            }
            if (!cut && lit.size() >= 3 && lit.size() <= 128) {
                re->literal = literal_searcher_create(lit.data(), static_cast<int64_t>(lit.size()),
                                                      (n->value2 & RNF_ICASE) != 0);
                if (!re->literal) return false;
                re->literal_length = static_cast<int64_t>(lit.size());
                re->strategy = REGEX_STRATEGY_LITERAL;
                re->search = regex_search_literal;
                // a pure literal: the main chain is only this node and empty nodes
                RegexNode* r = skip_empty(re->root);
                if (r == n) {
                    RegexNode* after = n->next;
                    while (after && after->kind == RN_EMPTY && !after->alt) after = after->next;
                    if (!after && re->group_count == 0) re->root = nullptr;
                }
                return true;
            }
        }
    }
    switch (n->kind) {
    case RN_SPLIT:
        if (n->aux) {
            auto* cls = static_cast<RegexClass*>(regex_arena_alloc(re, sizeof(RegexClass)));
            if (!cls) return false;
            const uint8_t* map = static_cast<const uint8_t*>(n->aux);
            for (unsigned c = 0; c < 128; ++c)
                if ((map[c >> 2] >> ((c & 3) * 2)) & 3) cls->bits[c >> 5] |= 1u << (c & 31);
            if (!map[32]) {
                for (unsigned c = 128; c < 256; ++c) cls->bits[c >> 5] |= 1u << (c & 31);
                cls->flags = RCLASS_ALL_ABOVE_255;
            }
            re->start_class = cls;
            re->strategy = REGEX_STRATEGY_CLASS;
            re->search = search_class;
        } else if (RegexClass* cls = split_start_class(re, n)) {
            re->start_class = cls;
            re->strategy = REGEX_STRATEGY_CLASS;
            re->search = search_class;
        }
        break;
    case RN_CHAR:
    case RN_STRING:
        re->first_char =
            n->kind == RN_CHAR ? static_cast<uint32_t>(n->value) : static_cast<const uint32_t*>(n->aux)[0];
        re->first_flags = n->value2;
        re->strategy = REGEX_STRATEGY_CHAR;
        re->search = search_char;
        if (n->value2 != 0) {
            // folded: the code points that fold to the first character are
            // scanned for as a class
            if (RegexClass* cls = preimage_class(re, re->first_char, n->value2, nullptr)) {
                re->start_class = cls;
                re->search = search_class;
            }
        } else {
            // the units the match begins with are known: the literal search
            // finds the places where they stand, and the matcher runs there
            std::vector<char16_t> lit;
            const int count = n->kind == RN_CHAR ? 1 : n->value;
            int taken = 0;
            for (int k = 0; k < count; ++k, ++taken) {
                uint32_t c = n->kind == RN_CHAR ? static_cast<uint32_t>(n->value)
                                                : static_cast<const uint32_t*>(n->aux)[k];
                if (c == '\n' || c == '\r' || c == 0 || utf16_is_surrogate(c)) break;
                char16_t buf[2];
                int u = utf16_encode(c, buf);
                if (lit.size() + u > 128) break;
                lit.insert(lit.end(), buf, buf + u);
            }
            if (!lit.empty()) {
                re->literal = literal_searcher_create(lit.data(), static_cast<int64_t>(lit.size()), 0);
                if (!re->literal) return false;
                re->literal_length = static_cast<int64_t>(lit.size());
                re->search = regex_search_literal;
                // the whole pattern, when the main chain holds nothing else
                if (taken == count && skip_empty(re->root) == n && re->group_count == 0) {
                    RegexNode* after = n->next;
                    while (after && after->kind == RN_EMPTY && !after->alt) after = after->next;
                    re->literal_whole = after == nullptr;
                }
            }
        }
        break;
    case RN_CLASS: {
        RegexClass* cls = static_cast<RegexClass*>(n->payload);
        re->start_class = cls;
        re->strategy = REGEX_STRATEGY_CLASS;
        re->search = search_class;
        if (cls->flags & RCLASS_WIDTH) {
            if (RegexClass* pre = preimage_class(re, 0, 0, cls)) re->start_class = pre;
        }
        break;
    }
    case RN_BOL:
        re->strategy = REGEX_STRATEGY_LINE;
        re->search = search_line;
        break;
    case RN_WORDB: {
        re->strategy = REGEX_STRATEGY_WORD;
        re->search = search_word;
        RegexNode* after = skip_empty(n->next);
        if (after && (after->kind == RN_CHAR || after->kind == RN_STRING) && after->value2 == 0) {
            uint32_t c = after->kind == RN_CHAR ? static_cast<uint32_t>(after->value)
                                                : static_cast<const uint32_t*>(after->aux)[0];
            if (c < 0x10000 && !utf16_is_surrogate(c) && c != '\r' && c != '\n' && c != 0) re->first_char = c;
        }
        return use_literal_after_boundaries(re, n);
    }
    case RN_NOT_WORDB: return use_literal_after_boundaries(re, n);
    default: break;
    }
    return true;
}

// The unit ranges of the start class, when it has that form, for the vector
// scan of search_class.
static bool prepare_class_scan(Regex* re) {
    if (re->search != search_class || !re->start_class || re->start_class->unit_ranges) return true;
    UnitRanges ranges;
    if (!class_ranges(re->start_class, &ranges)) return true;
    auto* r = static_cast<UnitRanges*>(regex_arena_alloc(re, sizeof(UnitRanges)));
    if (!r) return false;
    *r = ranges;
    re->start_class->unit_ranges = r;
    return true;
}

// Marks the loops the matcher runs a character run at a time (RLOOP_RUN),
// with the unit the rest of the pattern must begin with.
static void mark_run_loops(Regex* re) {
    for (RegexNode* n : collect(re)) {
        if (n->kind != RN_SPLIT || (n->value != '*' && n->value != '+')) continue;
        const RegexNode* a = n->alt;
        if (!a || a->next != n) continue;
        bool single =
            a->kind == RN_ANY_NO_LF || (a->kind == RN_CHAR && a->value != '\n' && a->value != 0) ||
            (a->kind == RN_CLASS && !regex_class_test(static_cast<const RegexClass*>(a->payload), '\n'));
        if (!single) continue;
        uint32_t filter = 0;
        const RegexNode* k = n->next;
        int guard = 0;
        while (k && !k->alt && ++guard < 100000 &&
               (k->kind == RN_EMPTY || k->kind == RN_OPEN || (k->kind == RN_CLOSE && !re->has_call)))
            k = k->next;
        if (k && (k->kind == RN_CHAR || k->kind == RN_STRING) && k->value2 == 0) {
            uint32_t c = k->kind == RN_CHAR ? static_cast<uint32_t>(k->value)
                                            : static_cast<const uint32_t*>(k->aux)[0];
            if (c < 0x10000 && !utf16_is_surrogate(c) && c != '\r' && c != '\n' && c != 0) filter = c;
        }
        // otherwise the first node itself, when it tests one character that
        // is never LF
        n->payload = nullptr;
        if (!filter && k &&
            (k->kind == RN_CHAR || k->kind == RN_STRING || k->kind == RN_ANY_NO_LF || k->kind == RN_CLASS)) {
            bool lf = k->kind == RN_CLASS ? regex_class_test(static_cast<const RegexClass*>(k->payload), '\n')
                      : k->kind == RN_CHAR   ? k->value == '\n'
                      : k->kind == RN_STRING ? static_cast<const uint32_t*>(k->aux)[0] == '\n'
                                             : false;
            if (!lf) n->payload = const_cast<RegexNode*>(k);
        }
        n->value2 = RLOOP_RUN | static_cast<int32_t>(filter);
    }
}

bool regex_choose_strategy(Regex* re) {
    if (!choose_strategy(re) || !prepare_class_scan(re)) return false;
    mark_run_loops(re);
    return true;
}

int regex_run_search(Regex* re, const RegexPositionOps* ops, RegexPos* start, RegexPos* end, RegexPos limit) {
    re->search_budget = regex_backtrack_budget;
    int r = re->search(re, ops, start, end, limit);
    re->search_budget = -1;
    return r;
}

int regex_search(Regex* re, const RegexPositionOps* ops, RegexPos* start, RegexPos* end, RegexPos limit) {
    if (!re) return -1;
    return regex_run_search(re, ops, start, end, limit);
}
