// The pattern compiler: scans the pattern once, with an explicit stack of
// open groups (no recursion per nesting level), and builds the node tree in
// the Regex's arena.
#include "regex/regex_internal.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

// ---------------------------------------------------------------- arena

void* regex_arena_alloc(Regex* re, size_t size) {
    size = (size + 7) & ~static_cast<size_t>(7);
    RegexArenaBlock* b = re->arena_blocks;
    if (size > static_cast<size_t>(re->arena_block_capacity)) {
        auto* big = static_cast<RegexArenaBlock*>(calloc(1, sizeof(RegexArenaBlock) + size));
        if (!big) return nullptr;
        big->size = size;
        if (b) {
            // keep the current block at the head so its free space stays usable
            big->next = b->next;
            b->next = big;
        } else {
            re->arena_blocks = big;
            re->arena_used = re->arena_block_capacity;
        }
        return big + 1;
    }
    if (!b || re->arena_used + size > static_cast<size_t>(re->arena_block_capacity)) {
        auto* nb =
            static_cast<RegexArenaBlock*>(calloc(1, sizeof(RegexArenaBlock) + re->arena_block_capacity));
        if (!nb) return nullptr;
        nb->size = re->arena_block_capacity;
        nb->next = b;
        re->arena_blocks = nb;
        re->arena_used = 0;
        b = nb;
    }
    void* p = reinterpret_cast<char*>(b + 1) + re->arena_used;
    re->arena_used += static_cast<int>(size);
    return p;
}

Regex* regex_alloc() {
    auto* re = static_cast<Regex*>(calloc(1, sizeof(Regex)));
    if (!re) return nullptr;
    re->arena_block_capacity = REGEX_ARENA_BLOCK;
    re->arena_used = REGEX_ARENA_BLOCK;
    static const char16_t empty[1] = {0};
    for (int i = 0; i < REGEX_MAX_GROUPS; ++i) {
        re->groups[i].start = {-1, -1};
        re->groups[i].end = {-1, -1};
        re->groups[i].length = -1;
        re->group_names[i] = empty;
    }
    re->last_group = -1;
    re->match_start = {-1, -1};
    re->match_end = {-1, -1};
    re->strategy = REGEX_STRATEGY_ANY;
    re->search_budget = -1;
    if (!regex_arena_alloc(re, 8)) {
        free(re);
        return nullptr;
    }
    return re;
}

void regex_destroy(Regex* re) {
    if (!re) return;
    literal_searcher_destroy(re->literal);
    free(re->frames);
    RegexArenaBlock* b = re->arena_blocks;
    while (b) {
        RegexArenaBlock* n = b->next;
        free(b);
        b = n;
    }
    free(re);
}

void regex_free(Regex** re) {
    if (!re) return;
    regex_destroy(*re);
    *re = nullptr;
}

bool regex_frames_init(Regex* re) {
    re->frame_size = static_cast<int>(sizeof(RegexFrame) + sizeof(RegexGroup) * re->group_count);
    re->frame_capacity = 32;
    re->frames = static_cast<RegexFrame*>(malloc(static_cast<size_t>(re->frame_size) * re->frame_capacity));
    re->frame_top = 0;
    return re->frames != nullptr;
}

// ---------------------------------------------------------------- classes

bool regex_class_test(const RegexClass* cls, uint32_t c) {
    if (c == 0) return false;
    if (cls->flags & RCLASS_WIDTH) c = width_fold_char(c);
    bool neg = (cls->flags & RCLASS_NEGATED) != 0;
    if (c <= 255) return (((cls->bits[c >> 5] >> (c & 31)) & 1) != 0) != neg;
    if (cls->flags & RCLASS_ALL_ABOVE_255) return !neg;
    for (int i = 0; i < cls->single_count; ++i)
        if (cls->singles[i] == c) return !neg;
    for (int i = 0; i < cls->range_count; ++i)
        if (c >= cls->ranges[2 * i] && c <= cls->ranges[2 * i + 1]) return !neg;
    return neg;
}

namespace {

struct ClassBuilder {
    int flags = 0;
    uint32_t bits[8] = {};
    std::vector<uint32_t> singles;
    std::vector<uint32_t> ranges;

    void set_bit(uint32_t c) { bits[c >> 5] |= 1u << (c & 31); }
    void add_char(uint32_t c) {
        if (c <= 255)
            set_bit(c);
        else
            singles.push_back(c);
    }
    void add_range(uint32_t lo, uint32_t hi) {
        if (lo > hi) return;
        if (hi <= 255) {
            for (uint32_t c = lo; c <= hi; ++c) set_bit(c);
            return;
        }
        if (lo <= 255) {
            for (uint32_t c = lo; c <= 255; ++c) set_bit(c);
            lo = 256;
        }
        ranges.push_back(lo);
        ranges.push_back(hi);
    }
    // The other letter case of every letter in lo..hi (A-Z, a-z and the full-width forms).
    void add_case_variants(uint32_t lo, uint32_t hi) {
        static const uint32_t spans[4][2] = {{'A', 'Z'}, {'a', 'z'}, {0xFF21, 0xFF3A}, {0xFF41, 0xFF5A}};
        for (int k = 0; k < 4; ++k) {
            uint32_t a = lo > spans[k][0] ? lo : spans[k][0];
            uint32_t b = hi < spans[k][1] ? hi : spans[k][1];
            if (a > b) continue;
            if (k % 2 == 0)
                add_range(a + 32, b + 32);
            else
                add_range(a - 32, b - 32);
        }
    }
    // A shorthand: d D s S w W l.
    void add_shorthand(char16_t s, int pflags) {
        ClassBuilder pos;
        switch (s | 0x20) {
        case 'd': pos.add_range('0', '9'); break;
        case 's':
            pos.add_char('\t');
            pos.add_char('\f');
            pos.add_char(' ');
            if (pflags & REGEX_FLAG_SPACE_LF) pos.add_char('\n');
            break;
        case 'w':
            pos.add_range('0', '9');
            pos.add_range('A', 'Z');
            pos.add_range('a', 'z');
            pos.add_char('_');
            break;
        case 'l':
            pos.add_char('\t');
            pos.add_char('\n');
            pos.add_char('\f');
            pos.add_char('\r');
            pos.add_char(' ');
            break;
        }
        if (s == 'l' || (s >= 'a' && s <= 'z')) {
            for (int i = 0; i < 8; ++i) bits[i] |= pos.bits[i];
        } else {
            for (int i = 0; i < 8; ++i) bits[i] |= ~pos.bits[i];
            bits['\n' >> 5] &= ~(1u << ('\n' & 31));
            bits[0] &= ~1u;
            flags |= RCLASS_ALL_ABOVE_255;
        }
    }
};

RegexClass* make_class(Regex* re, const ClassBuilder& b) {
    auto* cls = static_cast<RegexClass*>(regex_arena_alloc(re, sizeof(RegexClass)));
    if (!cls) return nullptr;
    cls->flags = b.flags;
    memcpy(cls->bits, b.bits, sizeof cls->bits);
    cls->single_count = static_cast<int>(b.singles.size());
    cls->range_count = static_cast<int>(b.ranges.size() / 2);
    if (!b.singles.empty()) {
        cls->singles = static_cast<uint32_t*>(regex_arena_alloc(re, b.singles.size() * 4));
        if (!cls->singles) return nullptr;
        memcpy(cls->singles, b.singles.data(), b.singles.size() * 4);
    }
    if (!b.ranges.empty()) {
        cls->ranges = static_cast<uint32_t*>(regex_arena_alloc(re, b.ranges.size() * 4));
        if (!cls->ranges) return nullptr;
        memcpy(cls->ranges, b.ranges.data(), b.ranges.size() * 4);
    }
    return cls;
}

// ---------------------------------------------------------------- parser

struct Frag {
    RegexNode* first = nullptr;
    RegexNode* last = nullptr; // its next is still open
};

enum CtxType { CTX_TOP, CTX_CAPTURE, CTX_GROUP, CTX_SUB, CTX_COND };

struct Ctx {
    CtxType type = CTX_TOP;
    int sub_kind = 0;     // CTX_SUB: 19..23
    int group_index = -1; // CTX_CAPTURE
    int saved_flags = 0;
    bool fixed = false;
    // alternation of the finished branches
    Frag alt;
    int64_t alt_len = -1;
    int branches = 0;
    // conditional
    RegexNode* cond = nullptr;
    bool cond_waiting = false; // the condition group is being parsed
    Frag yes;
    bool have_yes = false;
    int64_t yes_len = 0;
    // current sequence
    Frag seq;
    int64_t seq_len = 0;
    // pending atom
    Frag atom;
    int64_t atom_len = 0;
    size_t atom_begin = 0; // index of its first node in the node list
    bool last_quant = false;
    bool fixed_bad = false; // the atom has no fixed length
    size_t group_begin = 0;
};

struct Compiler {
    Regex* re;
    const char16_t* pat;
    size_t len;
    size_t i = 0;
    int flags;
    bool ok = true;
    std::vector<RegexNode*> nodes;
    std::vector<Ctx> stack;
    std::vector<int> call_numbers;

    RegexNode* node(int kind) {
        if (!ok) return nullptr;
        if (re->node_count >= REGEX_MAX_NODES) {
            ok = false;
            return nullptr;
        }
        auto* n = static_cast<RegexNode*>(regex_arena_alloc(re, sizeof(RegexNode)));
        if (!n) {
            ok = false;
            return nullptr;
        }
        n->kind = kind;
        n->serial = re->node_count++;
        nodes.push_back(n);
        return n;
    }
    bool fail() {
        ok = false;
        return false;
    }
    int node_flags() const {
        return ((flags & REGEX_FLAG_ICASE) ? RNF_ICASE : 0) | ((flags & REGEX_FLAG_IWIDTH) ? RNF_IWIDTH : 0);
    }
    uint32_t peek_cp(size_t at, int* units) const {
        if (at >= len) {
            *units = 0;
            return 0;
        }
        return utf16_decode(pat + at, units);
    }

    Ctx& top() { return stack.back(); }

    // Moves the pending atom into the sequence.
    void flush_atom(Ctx& c) {
        if (!c.atom.first) return;
        if (c.seq.first) {
            c.seq.last->next = c.atom.first;
            c.seq.last = c.atom.last;
        } else {
            c.seq = c.atom;
        }
        c.seq_len += c.atom_len;
        c.atom = Frag();
        c.atom_len = 0;
        c.last_quant = false;
    }
    // Starts a new atom (flushing the previous one); its nodes begin here.
    void begin_atom(Ctx& c) {
        flush_atom(c);
        c.atom_begin = nodes.size();
    }
    void set_atom(Ctx& c, RegexNode* first, RegexNode* last, int64_t length) {
        c.atom.first = first;
        c.atom.last = last;
        c.atom_len = length;
        c.last_quant = false;
    }
    bool single_atom(int kind, int64_t length, RegexNode** out = nullptr) {
        Ctx& c = top();
        begin_atom(c);
        RegexNode* n = node(kind);
        if (!n) return false;
        set_atom(c, n, n, length);
        if (out) *out = n;
        return true;
    }
    bool char_atom(uint32_t cp) {
        RegexNode* n;
        if (!single_atom(RN_CHAR, 1, &n)) return false;
        n->value2 = node_flags();
        n->value = static_cast<int32_t>(regex_fold(cp, n->value2));
        return true;
    }
    bool class_atom(const ClassBuilder& b) {
        RegexClass* cls = make_class(re, b);
        if (!cls) return fail();
        RegexNode* n;
        if (!single_atom(RN_CLASS, 1, &n)) return false;
        n->payload = cls;
        return true;
    }
    bool shorthand_atom(char16_t s) {
        ClassBuilder b;
        if (flags & REGEX_FLAG_IWIDTH) b.flags |= RCLASS_WIDTH;
        b.add_shorthand(s, flags);
        return class_atom(b);
    }
    bool in_fixed() { return top().fixed; }

    // Ends the current branch (flushes the atom) and joins it to the alternation.
    bool end_branch(Ctx& c) {
        flush_atom(c);
        if (!c.seq.first) {
            RegexNode* e = node(RN_EMPTY);
            if (!e) return false;
            c.seq.first = c.seq.last = e;
        }
        if (c.fixed) {
            if (c.alt_len >= 0 && c.alt_len != c.seq_len) return fail();
        }
        if (c.type == CTX_COND && !c.have_yes) {
            c.yes = c.seq;
            c.yes_len = c.seq_len;
            c.have_yes = true;
        } else if (!c.alt.first) {
            c.alt = c.seq;
            c.alt_len = c.seq_len;
        } else {
            RegexNode* s = node(RN_SPLIT);
            RegexNode* j = node(RN_EMPTY);
            if (!s || !j) return false;
            s->value = '|';
            s->next = c.alt.first;
            s->alt = c.seq.first;
            c.alt.last->next = j;
            c.seq.last->next = j;
            c.alt.first = s;
            c.alt.last = j;
        }
        c.branches++;
        c.seq = Frag();
        c.seq_len = 0;
        return true;
    }

    bool always_consumes(size_t begin, RegexNode* first);
    bool clone_range(size_t begin, size_t end, Frag src, Frag* out);
    bool apply_quantifier(Ctx& c, int64_t mn, int64_t mx, int mode);
    bool parse_quantifier();
    bool parse_escape();
    bool parse_class();
    bool parse_group_open();
    bool close_group();
    bool parse_name(char16_t close, const char16_t** out);
    bool parse();
};

// Walks the atom's nodes: true when every path consumes a character before it
// leaves the atom, meets a subroutine call or comes back to a node already seen.
bool Compiler::always_consumes(size_t begin, RegexNode* first) {
    size_t count = nodes.size() - begin;
    std::vector<uint8_t> seen(count, 0);
    std::vector<RegexNode*> todo;
    todo.push_back(first);
    while (!todo.empty()) {
        RegexNode* n = todo.back();
        todo.pop_back();
        for (;;) {
            if (!n) return false;
            size_t k = static_cast<size_t>(n->serial - nodes[begin]->serial);
            if (n->serial < nodes[begin]->serial || k >= count) return false;
            if (seen[k]) return false;
            seen[k] = 1;
            int kind = n->kind;
            if (kind == RN_CHAR || kind == RN_STRING || kind == RN_ANY_NO_LF || kind == RN_ANY ||
                kind == RN_CLASS)
                break;
            if (kind == RN_SPLIT) {
                todo.push_back(n->alt);
                n = n->next;
                continue;
            }
            if (kind == RN_EMPTY || kind == RN_OPEN || kind == RN_CLOSE ||
                (kind >= RN_BOL && kind <= RN_NOT_WORDB) || kind == RN_KEEP ||
                (kind >= RN_ANCHOR_START && kind <= RN_ANCHOR_LINE_END) ||
                (kind >= RN_LOOKAHEAD && kind <= RN_NEG_LOOKBEHIND) || kind == RN_GUARD) {
                n = n->next;
                continue;
            }
            return false;
        }
    }
    return true;
}

// Copies the nodes [begin, end) of the list; pointers into the range are
// redirected to the copies. out gets the copies of src.
bool Compiler::clone_range(size_t begin, size_t end, Frag src, Frag* out) {
    int64_t base = nodes[begin]->serial;
    size_t count = end - begin;
    size_t first_copy = nodes.size();
    for (size_t k = 0; k < count; ++k) {
        RegexNode* n = node(nodes[begin + k]->kind);
        if (!n) return false;
        int64_t serial = n->serial;
        *n = *nodes[begin + k];
        n->serial = serial;
    }
    auto remap = [&](RegexNode* p) -> RegexNode* {
        if (!p) return p;
        int64_t k = p->serial - base;
        if (k < 0 || k >= static_cast<int64_t>(count) || nodes[begin + k] != p) return p;
        return nodes[first_copy + k];
    };
    for (size_t k = 0; k < count; ++k) {
        RegexNode* n = nodes[first_copy + k];
        n->next = remap(n->next);
        n->alt = remap(n->alt);
        int kind = n->kind;
        if ((kind >= RN_LOOKAHEAD && kind <= RN_NEG_LOOKBEHIND) || kind == RN_POSSESSIVE) {
            n->payload = remap(static_cast<RegexNode*>(n->payload));
            n->aux = remap(static_cast<RegexNode*>(n->aux));
        } else if (kind == RN_COND) {
            n->payload = remap(static_cast<RegexNode*>(n->payload));
        }
    }
    out->first = remap(src.first);
    out->last = remap(src.last);
    // the atom's end may already lead on to an earlier copy: the copy's end is open
    out->last->next = nullptr;
    return true;
}

// Zero-width tests of the position alone: no captures, no subpattern.
static bool is_plain_assertion(int kind) {
    switch (kind) {
    case RN_EMPTY:
    case RN_BOL:
    case RN_BEGIN:
    case RN_EOL:
    case RN_END_OR_LF:
    case RN_END:
    case RN_WORDB:
    case RN_NOT_WORDB:
    case RN_ANCHOR_START:
    case RN_ANCHOR_END:
    case RN_ANCHOR_LINE_START:
    case RN_ANCHOR_LINE_END: return true;
    default: return false;
    }
}

// mode: 0 greedy, 1 lazy, 2 possessive. mx < 0: open.
bool Compiler::apply_quantifier(Ctx& c, int64_t mn, int64_t mx, int mode) {
    if (!c.atom.first || c.last_quant) return fail();
    if (c.fixed && mn != mx) return fail();
    Frag a = c.atom;
    size_t begin = c.atom_begin, end = nodes.size();
    int64_t alen = c.atom_len;
    if (end - begin == 1 && a.first == a.last && is_plain_assertion(a.first->kind)) {
        // An assertion holds or fails alike however often it is tested at one
        // place: one test stands for any count of them.
        mn = std::min<int64_t>(mn, 1);
        mx = mx < 0 ? 1 : std::min<int64_t>(mx, 1);
    }
    if (mode == 2) {
        RegexNode* p = node(RN_POSSESSIVE);
        RegexNode* cl = node(RN_SUB_CLOSE);
        if (!p || !cl) return false;
        p->value = static_cast<int32_t>(mn);
        p->value2 = static_cast<int32_t>(mx);
        p->alt = a.first;
        p->payload = a.first;
        p->aux = cl;
        a.last->next = cl;
        c.atom = {p, p};
        c.atom_len = alen * mn;
        c.last_quant = true;
        return true;
    }
    if (mx == 0) {
        RegexNode* e = node(RN_EMPTY);
        if (!e) return false;
        c.atom = {e, e};
        c.atom_len = 0;
        c.last_quant = true;
        return true;
    }
    if (mn == 1 && mx == 1) {
        c.last_quant = true;
        return true;
    }
    // copies needed besides the atom itself
    int64_t copies = (mx < 0 ? mn + 1 : mx) - 1;
    int64_t size = static_cast<int64_t>(end - begin) + 3;
    if (static_cast<double>(size) * static_cast<double>(copies + 1) + static_cast<double>(re->node_count) >
        static_cast<double>(REGEX_MAX_NODES))
        return fail();
    bool consumes = always_consumes(begin, a.first);
    bool used = false;
    auto next_copy = [&](Frag* out) -> bool {
        if (!used) {
            used = true;
            *out = a;
            return true;
        }
        return clone_range(begin, end, a, out);
    };
    auto star = [&](Frag body, bool plus) -> Frag {
        RegexNode* s = node(RN_SPLIT);
        if (!s) return Frag();
        s->value = plus ? '+' : '*';
        s->pref = mode == 0 ? 1 : 0;
        RegexNode* entry = body.first;
        if (!consumes) {
            RegexNode* g = node(RN_GUARD);
            if (!g) return Frag();
            g->next = body.first;
            entry = g;
        }
        s->alt = entry;
        body.last->next = s;
        return plus ? Frag{body.first, s} : Frag{s, s};
    };
    Frag result;
    // the mandatory copies
    for (int64_t k = 0; k < mn; ++k) {
        Frag f;
        if (!next_copy(&f)) return false;
        if (k == mn - 1 && mx < 0) {
            f = star(f, true);
            if (!f.first) return false;
        }
        if (!result.first)
            result = f;
        else {
            result.last->next = f.first;
            result.last = f.last;
        }
    }
    if (mx < 0 && mn == 0) {
        Frag f;
        if (!next_copy(&f)) return false;
        result = star(f, false);
        if (!result.first) return false;
    } else if (mx > mn) {
        // nested optional copies, built from the innermost outwards
        Frag inner;
        for (int64_t k = 0; k < mx - mn; ++k) {
            Frag f;
            if (!next_copy(&f)) return false;
            if (inner.first) {
                f.last->next = inner.first;
                f.last = inner.last;
            }
            RegexNode* s = node(RN_SPLIT);
            RegexNode* j = node(RN_EMPTY);
            if (!s || !j) return false;
            s->value = '?';
            s->pref = mode == 0 ? 0 : 1;
            s->next = f.first;
            s->alt = j;
            f.last->next = j;
            inner = {s, j};
        }
        if (!result.first)
            result = inner;
        else {
            result.last->next = inner.first;
            result.last = inner.last;
        }
    }
    c.atom = result;
    c.atom_len = alen * mn;
    c.last_quant = true;
    return ok;
}

static int hexval(char16_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool Compiler::parse_quantifier() {
    char16_t q = pat[i++];
    int64_t mn = 0, mx = -1;
    if (q == '+') mn = 1;
    if (q == '?') mx = 1;
    if (q == '{') {
        int64_t nums[2] = {-1, -1};
        int which = 0;
        bool comma = false;
        for (;;) {
            if (i >= len) return fail();
            char16_t c = pat[i++];
            if (c == '}') break;
            if (c == ' ') continue;
            if (c == ',') {
                if (comma) return fail();
                comma = true;
                which = 1;
                continue;
            }
            if (c < '0' || c > '9') return fail();
            int64_t v = nums[which] < 0 ? 0 : nums[which];
            v = v * 10 + (c - '0');
            if (v > REGEX_MAX_COUNT) return fail();
            nums[which] = v;
        }
        if (!comma) {
            if (nums[0] < 0) return fail();
            mn = mx = nums[0];
        } else {
            if (nums[0] < 0 && nums[1] < 0) return fail();
            mn = nums[0] < 0 ? 0 : nums[0];
            mx = nums[1];
            if (mx >= 0 && mx < mn) return fail();
        }
    }
    int mode = 0;
    if (i < len && pat[i] == '?') {
        mode = 1;
        ++i;
    } else if (i < len && pat[i] == '+') {
        mode = 2;
        ++i;
    }
    return apply_quantifier(top(), mn, mx, mode);
}

bool Compiler::parse_name(char16_t close, const char16_t** out) {
    size_t start = i;
    while (i < len && pat[i] != close) ++i;
    if (i >= len || i == start) return fail();
    size_t n = i - start;
    auto* name = static_cast<char16_t*>(regex_arena_alloc(re, (n + 1) * 2));
    if (!name) return fail();
    memcpy(name, pat + start, n * 2);
    name[n] = 0;
    ++i; // the closing bracket
    *out = name;
    return true;
}

static bool name_equal(const char16_t* a, const char16_t* b) {
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

bool Compiler::parse_escape() {
    ++i; // backslash
    if (i >= len) return fail();
    int units;
    uint32_t c = peek_cp(i, &units);
    i += units;
    switch (c) {
    case 'A': return single_atom(RN_BEGIN, 0);
    case 'z': return single_atom(RN_END, 0);
    case 'Z': return single_atom(RN_END_OR_LF, 0);
    case 'b': return single_atom(RN_WORDB, 0);
    case 'B': return single_atom(RN_NOT_WORDB, 0);
    case 'K': re->has_keep = 1; return single_atom(RN_KEEP, 0);
    case 'd':
    case 'D':
    case 's':
    case 'S':
    case 'w':
    case 'W':
    case 'l': return shorthand_atom(static_cast<char16_t>(c));
    case 'f': return char_atom('\f');
    case 'n': return char_atom('\n');
    case 'r': return char_atom('\r');
    case 't': return char_atom('\t');
    case 'Q':
        while (i < len) {
            if (pat[i] == '\\' && i + 1 < len && pat[i + 1] == 'E') {
                i += 2;
                break;
            }
            uint32_t q = peek_cp(i, &units);
            i += units;
            if (!char_atom(q)) return false;
        }
        return true;
    case '=':
        if (i < len) {
            int kind = 0;
            switch (pat[i]) {
            case 'A': kind = RN_ANCHOR_START; break;
            case 'z': kind = RN_ANCHOR_END; break;
            case '^': kind = RN_ANCHOR_LINE_START; break;
            case '$': kind = RN_ANCHOR_LINE_END; break;
            }
            if (kind) {
                ++i;
                return single_atom(kind, 0);
            }
            uint32_t q = peek_cp(i, &units);
            i += units;
            return char_atom(q);
        }
        return char_atom('=');
    case 'k': {
        if (in_fixed()) return fail();
        if (i >= len || (pat[i] != '<' && pat[i] != '\'')) return fail();
        char16_t close = pat[i] == '<' ? '>' : '\'';
        ++i;
        const char16_t* name;
        if (!parse_name(close, &name)) return false;
        RegexNode* n;
        if (!single_atom(RN_BACKREF_NAME, 0, &n)) return false;
        n->payload = const_cast<char16_t*>(name);
        n->value2 = node_flags();
        return true;
    }
    case 'g': {
        if (in_fixed()) return fail();
        bool brace = i < len && pat[i] == '{';
        if (brace) ++i;
        bool rel = i < len && pat[i] == '-';
        if (rel) ++i;
        int64_t num = -1;
        while (i < len && pat[i] >= '0' && pat[i] <= '9') {
            num = (num < 0 ? 0 : num) * 10 + (pat[i] - '0');
            if (num > 1000) return fail();
            ++i;
        }
        if (num < 0) return fail();
        if (brace) {
            if (i >= len || pat[i] != '}') return fail();
            ++i;
        }
        if (rel) num = re->group_count - num + 1;
        if (num < 1 || num > REGEX_MAX_GROUPS) return fail();
        RegexNode* n;
        if (!single_atom(RN_BACKREF, 0, &n)) return false;
        n->value = static_cast<int32_t>(num - 1);
        n->value2 = node_flags();
        return true;
    }
    case 'x': {
        uint32_t v = 0;
        if (i < len && pat[i] == '{') {
            ++i;
            int digits = 0;
            while (i < len && pat[i] != '}') {
                int h = hexval(pat[i]);
                if (h < 0 || digits >= 8) return fail();
                v = v * 16 + static_cast<uint32_t>(h);
                ++digits;
                ++i;
            }
            if (i >= len || digits == 0) return fail();
            ++i;
            if (v > 0x10FFFF || utf16_is_surrogate(v)) return fail();
        } else {
            for (int k = 0; k < 2; ++k) {
                int h = i < len ? hexval(pat[i]) : -1;
                if (h < 0) return fail();
                v = v * 16 + static_cast<uint32_t>(h);
                ++i;
            }
        }
        if (v == 0) return fail();
        return char_atom(v);
    }
    default: break;
    }
    if (c >= '1' && c <= '9') {
        if (in_fixed()) return fail();
        int64_t num = c - '0';
        while (i < len && pat[i] >= '0' && pat[i] <= '9' && num * 10 + (pat[i] - '0') <= re->group_count) {
            num = num * 10 + (pat[i] - '0');
            ++i;
        }
        RegexNode* n;
        if (!single_atom(RN_BACKREF, 0, &n)) return false;
        n->value = static_cast<int32_t>(num - 1);
        n->value2 = node_flags();
        return true;
    }
    return char_atom(c);
}

bool Compiler::parse_class() {
    ++i; // '['
    ClassBuilder b;
    bool neg = false;
    if (i < len && pat[i] == '^') {
        neg = true;
        ++i;
    }
    if (i < len && pat[i] == ']') {
        bool later = false;
        for (size_t k = i + 1; k < len; ++k)
            if (pat[k] == ']') later = true;
        if (!later) {
            ++i;
            return single_atom(RN_EMPTY, 0);
        }
    }
    bool icase = (flags & REGEX_FLAG_ICASE) != 0;
    bool iwidth = (flags & REGEX_FLAG_IWIDTH) != 0;
    bool first = true;
    bool after_range = false;
    // one member character; returns false at a shorthand (handled) or error
    auto read_char = [&](uint32_t* out, bool* shorthand) -> bool {
        *shorthand = false;
        int units;
        if (pat[i] == '\\') {
            ++i;
            if (i >= len) return fail();
            uint32_t c = peek_cp(i, &units);
            i += units;
            switch (c) {
            case 'f': *out = '\f'; return true;
            case 'n': *out = '\n'; return true;
            case 'r': *out = '\r'; return true;
            case 't': *out = '\t'; return true;
            case 'd':
            case 'D':
            case 's':
            case 'S':
            case 'w':
            case 'W':
            case 'l':
                b.add_shorthand(static_cast<char16_t>(c), flags);
                *shorthand = true;
                return true;
            default: *out = c; return true;
            }
        }
        *out = peek_cp(i, &units);
        i += units;
        return true;
    };
    for (;;) {
        if (i >= len) return fail();
        if (pat[i] == ']' && !first) {
            ++i;
            break;
        }
        first = false;
        if (pat[i] == '[' && i + 2 < len && pat[i + 1] == ':' &&
            ((pat[i + 2] | 0x20) >= 'a' && (pat[i + 2] | 0x20) <= 'z')) {
            size_t k = i + 2;
            while (k + 1 < len && !(pat[k] == ':' && pat[k + 1] == ']')) ++k;
            if (k + 1 >= len) return fail();
            std::u16string name(pat + i + 2, pat + k);
            if (name == u"ascii")
                b.add_range(1, 127);
            else if (name == u"alpha") {
                b.add_range('A', 'Z');
                b.add_range('a', 'z');
            } else if (name == u"alnum") {
                b.add_range('A', 'Z');
                b.add_range('a', 'z');
                b.add_range('0', '9');
            } else if (name == u"digit")
                b.add_range('0', '9');
            else if (name == u"upper") {
                b.add_range('A', 'Z');
                if (icase) b.add_range('a', 'z');
            } else if (name == u"lower") {
                b.add_range('a', 'z');
                if (icase) b.add_range('A', 'Z');
            } else
                return fail();
            i = k + 2;
            after_range = false;
            continue;
        }
        if (pat[i] == '-' && after_range) {
            ++i;
            b.add_char('-');
            after_range = false;
            continue;
        }
        uint32_t lo;
        bool sh;
        if (!read_char(&lo, &sh)) return false;
        after_range = false;
        if (sh) continue;
        uint32_t hi = lo;
        bool range = false;
        if (i + 1 < len && pat[i] == '-' && pat[i + 1] != ']') {
            ++i;
            if (!read_char(&hi, &sh)) return false;
            if (sh) return fail();
            if (hi < lo) return fail();
            range = true;
            after_range = true;
        }
        if (iwidth) {
            lo = width_fold_char(lo);
            hi = width_fold_char(hi);
            if (hi < lo) std::swap(lo, hi);
        }
        if (range)
            b.add_range(lo, hi);
        else
            b.add_char(lo);
        if (icase) b.add_case_variants(lo, hi);
    }
    if (neg) {
        b.flags |= RCLASS_NEGATED;
        b.set_bit('\n');
    }
    if (iwidth) b.flags |= RCLASS_WIDTH;
    return class_atom(b);
}

bool Compiler::parse_group_open() {
    if (i + 2 < len && pat[i + 1] == '?' && pat[i + 2] == '#') {
        // a comment: ignored, and transparent to a quantifier after it
        i += 3;
        while (i < len && pat[i] != ')') ++i;
        if (i >= len) return fail();
        ++i;
        return true;
    }
    Ctx& parent = top();
    begin_atom(parent);
    Ctx c;
    c.saved_flags = flags;
    c.fixed = parent.fixed;
    c.group_begin = nodes.size();
    ++i; // '('
    if (i < len && pat[i] == '?') {
        ++i;
        if (i >= len) return fail();
        char16_t k = pat[i];
        if (k == ':') {
            ++i;
            c.type = CTX_GROUP;
        } else if (k == '=' || k == '!' || k == '>') {
            ++i;
            c.type = CTX_SUB;
            c.sub_kind = k == '=' ? RN_LOOKAHEAD : k == '!' ? RN_NEG_LOOKAHEAD : RN_ATOMIC;
            if (k != '>') c.fixed = false;
        } else if (k == '<' && i + 1 < len && (pat[i + 1] == '=' || pat[i + 1] == '!')) {
            c.type = CTX_SUB;
            c.sub_kind = pat[i + 1] == '=' ? RN_LOOKBEHIND : RN_NEG_LOOKBEHIND;
            c.fixed = true;
            i += 2;
        } else if (k == '<' || k == '\'' || (k == 'P' && i + 1 < len && pat[i + 1] == '<')) {
            if (k == 'P') ++i;
            char16_t close = pat[i] == '\'' ? '\'' : '>';
            ++i;
            const char16_t* name;
            if (!parse_name(close, &name)) return false;
            if (re->group_count < REGEX_MAX_GROUPS) {
                c.type = CTX_CAPTURE;
                c.group_index = re->group_count++;
                re->group_names[c.group_index] = name;
            } else {
                c.type = CTX_GROUP;
            }
        } else if (k == 'R' || (k >= '0' && k <= '9') || k == '&') {
            int num = 0;
            if (k == '&') {
                ++i;
                const char16_t* name;
                if (!parse_name(')', &name)) return false;
                num = -1;
                for (int g = 0; g < re->group_count; ++g)
                    if (name_equal(re->group_names[g], name)) {
                        num = g + 1;
                        break;
                    }
                if (num < 0) return fail();
            } else {
                num = k == 'R' ? 0 : k - '0';
                ++i;
                if (i >= len || pat[i] != ')') return fail();
                ++i;
            }
            if (c.fixed) return fail();
            RegexNode* call = node(RN_CALL);
            RegexNode* guard = node(RN_GUARD);
            if (!call || !guard) return false;
            call->value = num;
            call->next = guard;
            re->has_call = 1;
            call_numbers.push_back(num);
            set_atom(parent, call, guard, 0);
            return true;
        } else if (k == '(') {
            c.type = CTX_COND;
            RegexNode* cond = nullptr;
            char16_t d = i + 1 < len ? pat[i + 1] : 0;
            if (d == '0') return fail();
            if (d >= '1' && d <= '9') {
                if (i + 2 >= len || pat[i + 2] != ')') return fail();
                cond = node(RN_COND_GROUP);
                if (!cond) return false;
                cond->value = d - '1';
                i += 3;
            } else if (d == '<') {
                i += 2;
                const char16_t* name;
                if (!parse_name('>', &name)) return false;
                if (i >= len || pat[i] != ')') return fail();
                ++i;
                cond = node(RN_COND_NAME);
                if (!cond) return false;
                cond->payload = const_cast<char16_t*>(name);
            } else if (d == 'R') {
                int num = 0;
                size_t k2 = i + 2;
                if (k2 < len && pat[k2] >= '1' && pat[k2] <= '9') num = pat[k2++] - '0';
                if (k2 >= len || pat[k2] != ')') return fail();
                i = k2 + 1;
                cond = node(RN_COND_RECURSION);
                if (!cond) return false;
                cond->value = num;
            } else {
                // a group used as the condition: parsed next, at this '('
                c.cond_waiting = true;
            }
            c.cond = cond;
        } else {
            // inline flags
            int set = flags;
            bool clear = false;
            for (;;) {
                if (i >= len) return fail();
                char16_t f = pat[i++];
                if (f == ')' || f == ':') {
                    if (f == ')') {
                        flags = set;
                        // an empty atom, so that a quantifier after it has something to repeat
                        RegexNode* e = node(RN_EMPTY);
                        if (!e) return false;
                        set_atom(parent, e, e, 0);
                        return true;
                    }
                    c.type = CTX_GROUP;
                    stack.push_back(c);
                    flags = set;
                    return true;
                }
                int bit = f == 'i'   ? REGEX_FLAG_ICASE
                          : f == 's' ? REGEX_FLAG_DOTALL
                          : f == 'S' ? REGEX_FLAG_SPACE_LF
                          : f == 'w' ? REGEX_FLAG_IWIDTH
                                     : 0;
                if (f == '-') {
                    if (clear) return fail();
                    clear = true;
                    continue;
                }
                if (!bit) return fail();
                if (clear)
                    set &= ~bit;
                else
                    set |= bit;
            }
        }
    } else if (re->group_count < REGEX_MAX_GROUPS) {
        c.type = CTX_CAPTURE;
        c.group_index = re->group_count++;
    } else {
        c.type = CTX_GROUP;
    }
    stack.push_back(c);
    return true;
}

bool Compiler::close_group() {
    Ctx& c = top();
    if (c.type == CTX_COND && c.cond_waiting) return fail();
    if (!end_branch(c)) return false;
    Frag body = c.alt;
    int64_t blen = c.alt_len;
    RegexNode* first = nullptr;
    RegexNode* last = nullptr;
    int64_t alen = blen;
    switch (c.type) {
    case CTX_TOP: return fail();
    case CTX_GROUP:
        first = body.first;
        last = body.last;
        break;
    case CTX_CAPTURE: {
        RegexNode* o = node(RN_OPEN);
        RegexNode* cl = node(RN_CLOSE);
        if (!o || !cl) return false;
        o->value = cl->value = c.group_index;
        o->next = body.first;
        body.last->next = cl;
        if (!re->group_open[c.group_index]) re->group_open[c.group_index] = o;
        first = o;
        last = cl;
        break;
    }
    case CTX_SUB: {
        RegexNode* k = node(c.sub_kind);
        RegexNode* cl = node(RN_SUB_CLOSE);
        if (!k || !cl) return false;
        k->payload = body.first;
        k->aux = cl;
        body.last->next = cl;
        if (c.sub_kind == RN_LOOKBEHIND || c.sub_kind == RN_NEG_LOOKBEHIND) {
            if (blen > 0x7FFFFFFF) return fail();
            k->value = static_cast<int32_t>(blen);
        }
        if (c.sub_kind != RN_ATOMIC) alen = 0;
        first = last = k;
        break;
    }
    case CTX_COND: {
        Frag yes = c.have_yes ? c.yes : body;
        int64_t ylen = c.have_yes ? c.yes_len : blen;
        Frag no;
        int64_t nlen = 0;
        if (c.have_yes && c.branches > 1) {
            no = body;
            nlen = blen;
        } else {
            RegexNode* e = node(RN_EMPTY);
            if (!e) return false;
            no = {e, e};
        }
        if (c.fixed && ylen != nlen) return fail();
        RegexNode* k = node(RN_COND);
        RegexNode* j = node(RN_EMPTY);
        if (!k || !j) return false;
        k->payload = c.cond;
        k->alt = yes.first;
        k->next = no.first;
        yes.last->next = j;
        no.last->next = j;
        first = k;
        last = j;
        alen = ylen;
        break;
    }
    }
    size_t begin = c.group_begin;
    flags = c.saved_flags;
    stack.pop_back();
    Ctx& p = top();
    if (p.type == CTX_COND && p.cond_waiting) {
        RegexNode* cl = node(RN_SUB_CLOSE);
        if (!cl) return false;
        last->next = cl;
        p.cond = first;
        p.cond_waiting = false;
        return true;
    }
    p.atom_begin = begin;
    set_atom(p, first, last, alen);
    return true;
}

bool Compiler::parse() {
    Ctx t;
    t.saved_flags = flags;
    stack.push_back(t);
    while (ok && i < len) {
        char16_t ch = pat[i];
        Ctx& c = top();
        if (c.type == CTX_COND && c.cond_waiting && ch != '(') return fail();
        switch (ch) {
        case '(':
            if (!parse_group_open()) return false;
            break;
        case ')':
            if (stack.size() == 1) {
                ++i;
                if (!char_atom(')')) return false;
            } else {
                ++i;
                if (!close_group()) return false;
            }
            break;
        case '|':
            ++i;
            if (!end_branch(c)) return false;
            break;
        case '*':
        case '+':
        case '?':
        case '{':
            if (!parse_quantifier()) return false;
            break;
        case '[':
            if (!parse_class()) return false;
            break;
        case '\\':
            if (!parse_escape()) return false;
            break;
        case '.':
            ++i;
            if (!single_atom((flags & REGEX_FLAG_DOTALL) ? RN_ANY : RN_ANY_NO_LF, 1)) return false;
            break;
        case '^':
            ++i;
            if (!single_atom(RN_BOL, 0)) return false;
            break;
        case '$':
            ++i;
            if (!single_atom(RN_EOL, 0)) return false;
            break;
        default: {
            int units;
            uint32_t cp = peek_cp(i, &units);
            i += units;
            if (!char_atom(cp)) return false;
        }
        }
    }
    if (!ok || stack.size() != 1) return fail();
    Ctx& c = top();
    if (!end_branch(c)) return false;
    re->root = c.alt.first;
    for (int num : call_numbers)
        if (num > re->group_count) return fail();
    return ok;
}

} // namespace

Regex* regex_compile(const char16_t* pattern, int cflags) {
    if (!pattern) return nullptr;
    Regex* re = regex_alloc();
    if (!re) return nullptr;
    try {
        Compiler cc;
        cc.re = re;
        cc.pat = pattern;
        cc.len = std::char_traits<char16_t>::length(pattern);
        cc.flags = ((cflags & REGEX_IGNORE_CASE) ? REGEX_FLAG_ICASE : 0) |
                   ((cflags & REGEX_IGNORE_WIDTH) ? REGEX_FLAG_IWIDTH : 0);
        re->flags = cc.flags;
        if (!cc.parse()) {
            regex_destroy(re);
            return nullptr;
        }
        if (!(cflags & REGEX_NO_OPTIMIZE) && !regex_optimize(re)) {
            regex_destroy(re);
            return nullptr;
        }
        if (!regex_choose_strategy(re) || (re->root && !regex_frames_init(re))) {
            regex_destroy(re);
            return nullptr;
        }
    } catch (const std::bad_alloc&) {
        regex_destroy(re);
        return nullptr;
    }
    return re;
}
