// Internals of the regular-expression engine shared by its source files (and
// read by its tests): the node tree, class records, the arena, the matcher's
// frames and the literal searcher.
#pragma once

#include "regex/regex.h"
#include "base/utf16.h"
#include "base/width.h"

#include <cstddef>
#include <cstdint>

enum RegexNodeKind {
    RN_EMPTY = 0,
    RN_SPLIT = 1,
    RN_CHAR = 2,
    RN_STRING = 3,
    RN_ANY_NO_LF = 4,
    RN_ANY = 5,
    RN_CLASS = 6,
    RN_BACKREF = 7,
    RN_BACKREF_NAME = 8,
    RN_BOL = 9,
    RN_BEGIN = 10,
    RN_EOL = 11,
    RN_END_OR_LF = 12,
    RN_END = 13,
    RN_WORDB = 14,
    RN_NOT_WORDB = 15,
    RN_OPEN = 16,
    RN_CLOSE = 17,
    RN_GUARD = 18,
    RN_LOOKAHEAD = 19,
    RN_NEG_LOOKAHEAD = 20,
    RN_ATOMIC = 21,
    RN_LOOKBEHIND = 22,
    RN_NEG_LOOKBEHIND = 23,
    RN_SUB_CLOSE = 24,
    RN_COND = 25,
    RN_COND_GROUP = 26,
    RN_COND_NAME = 27,
    RN_COND_RECURSION = 28,
    RN_ANCHOR_START = 29,
    RN_ANCHOR_END = 30,
    RN_ANCHOR_LINE_START = 31,
    RN_ANCHOR_LINE_END = 32,
    RN_KEEP = 33,
    RN_CALL = 34,
    RN_POSSESSIVE = 35,
};

// Node flag bits (RegexNode::value2 of character, string and backreference nodes).
enum { RNF_ICASE = 1, RNF_IWIDTH = 2 };

// A node of the compiled tree.
//  - split: value = operator character; next / alt the two choices, pref
//    which is taken first; aux = first-character map (32 bytes) or NULL.
//  - char: value = code point (folded by value2's flags).
//  - string: value = count, aux = code point array (uint32_t).
//  - class: payload = RegexClass.
//  - backref: value = group index; backref by name / name condition:
//    payload = name.
//  - open / close: value = group index.
//  - lookaround / atomic: payload = body, aux = its close node, value =
//    length for lookbehind.
//  - conditional: payload = condition (a 26-28 node, or a sub-pattern that
//    ends in a close node); next = no-branch, alt = yes-branch.
//  - call: value = group number (0 the whole pattern).
//  - possessive: value = minimum, value2 = maximum (-1 open), alt = body
//    (ending in a close node).
struct RegexNode {
    int32_t kind;
    int32_t value;
    int32_t value2;
    uint8_t pref;
    uint8_t marks;
    void* payload;
    void* aux;
    RegexNode* next;
    RegexNode* alt;
    int64_t serial;
};

enum { RCLASS_NEGATED = 1, RCLASS_ALL_ABOVE_255 = 2, RCLASS_WIDTH = 4 };

// The members of a start class as at most 6 ranges of UTF-16 units (a single
// unit is a range of one), which the search tests a vector at a time.
struct UnitRanges {
    int count = 0;
    char16_t lo[6];
    char16_t width[6]; // high minus low
    // Adds a range of units, joining it to one it touches or overlaps (so
    // that a class's single members in a row, such as the full-width digits
    // of a width-folded [0-9], make one range); false when six are in use.
    bool add(uint32_t low, uint32_t high) {
        for (int k = 0; k < count; ++k) {
            uint32_t l = lo[k], h = l + width[k];
            if (low <= h + 1 && high + 1 >= l) {
                if (low < l) l = low;
                if (high > h) h = high;
                lo[k] = static_cast<char16_t>(l);
                width[k] = static_cast<char16_t>(h - l);
                return true;
            }
        }
        if (count == 6) return false;
        lo[count] = static_cast<char16_t>(low);
        width[count] = static_cast<char16_t>(high - low);
        ++count;
        return true;
    }
};

struct RegexClass {
    int flags;
    int range_count;
    uint32_t* ranges; // low, high pairs
    int single_count;
    uint32_t* singles; // members above 255
    uint32_t bits[8];  // members 0..255
    // the search's vector form of a start class (NULL: tested one by one)
    const UnitRanges* unit_ranges;
};

struct RegexArenaBlock {
    RegexArenaBlock* next;
    size_t size;
    // data follows
};

enum { REGEX_ARENA_BLOCK = 1792 };

// Frame types of the backtrack stack.
enum {
    RFRAME_RUN = 0,   // the running state (always the top frame)
    RFRAME_SPLIT = 1, // a backtrack point: resumes with node
    RFRAME_GUARD = 2, // loop guard marker: node = the guard, pos = its position
    RFRAME_CALL = 3,  // subroutine call marker: the caller's state, node = the call
    RFRAME_BASE = 4,  // start of a sub-match: the state at its entry, node = its owner
    // A loop of one character (see RLOOP_RUN), node = its split:
    RFRAME_GREEDY = 5, // pos/cur = the next end to try, count = units it can still give back
    RFRAME_LAZY = 6,   // pos/cur = the end tried last
};

// value2 of a loop split ('*' or '+') whose body is one node that matches a
// single character but never LF (a character, '.', a class without LF) and
// leads straight back to the split: the matcher takes the whole run of such
// characters at once (greedy) or one by one (lazy) with one frame instead of
// one per character. The low 16 bits hold the unit the rest of the pattern
// must begin with (0: not known), so that only ends holding it are tried.
enum { RLOOP_RUN = 0x10000 };

struct RegexFrame {
    RegexNode* node;
    RegexPos pos;
    const char16_t* cur;  // the character at pos
    const char16_t* prev; // the character before pos, NULL when not known
    RegexPos mstart;
    int32_t type;
    int32_t call_group; // -1 outside a call
    int32_t call_frame;
    int32_t sub_frame; // index of the innermost sub-match base, -1 none
    int32_t last_group;
    int32_t count; // iterations of a possessive repetition
    // RegexGroup groups[group_count] follow
};

inline RegexGroup* regex_frame_groups(RegexFrame* f) {
    return reinterpret_cast<RegexGroup*>(f + 1);
}

enum { REGEX_MAX_FRAMES = 32768, REGEX_MAX_NODES = 1000000, REGEX_MAX_COUNT = 65535 };

// The budget of one search, counted in resumed backtrack points, pushed
// frames, and one step for every 64 units a run loop scans or frames a loop
// guard looks through (10,000,000); tests lower it. A search spends it over
// all its attempts, each of which first uses REGEX_ATTEMPT_FREE_STEPS of its
// own: a search whose attempts each take a few steps never runs out however
// long its subject, while one whose attempts each backtrack heavily ends with
// -2 after about one budget's work rather than one budget per start
// position. A lone regex_match_at has the whole budget to itself.
extern int64_t regex_backtrack_budget;
enum { REGEX_ATTEMPT_FREE_STEPS = 1024 };
// The frame limit of the backtrack stack (REGEX_MAX_FRAMES); tests lower it.
extern int regex_max_frames;

enum { REGEX_SKIP_SIZE = 4096 };

typedef const char16_t* (*LiteralSearchFunc)(LiteralSearcher* s, const char16_t* text, int64_t count);

struct LiteralSearcher {
    LiteralSearchFunc search;
    char16_t* pattern;
    char16_t* folded;
    int64_t folded_capacity;
    int64_t length;
    int32_t holds_zero; // the pattern holds a 0 unit
    // Two units of the pattern that a vector scan looks for together, chosen
    // as the least frequent in typical text: their offsets in the pattern,
    // their (folded) values and the text unit that also stands for each (the
    // upper-case letter when folding, otherwise the same unit).
    int32_t probe_offset[2];
    char16_t probe_unit[2];
    char16_t probe_other[2];
    // Shift by the unit after the window, indexed by its low 12 bits: units
    // that share them share the smallest of their shifts, so the table is
    // small enough to build at every compile. Shifts are capped at 65535.
    uint16_t skip[REGEX_SKIP_SIZE];
};

// Arena allocation (zeroed, 8-byte aligned); NULL on no memory.
void* regex_arena_alloc(Regex* regex, size_t size);

// Case fold then width fold by node flag bits.
inline uint32_t regex_fold(uint32_t c, int flags) {
    if (flags & RNF_ICASE) c = utf16_fold_case(c);
    if (flags & RNF_IWIDTH) c = width_fold_char(c);
    return c;
}

inline bool regex_is_word(uint32_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool regex_class_test(const RegexClass* cls, uint32_t c);

// Tree passes and the strategy choice (after parsing).
bool regex_optimize(Regex* regex);
bool regex_choose_strategy(Regex* regex);

// Runs the Regex's search function under one budget for all its attempts.
int regex_run_search(Regex* regex, const RegexPositionOps* ops, RegexPos* start, RegexPos* end,
                     RegexPos limit);

// The search of strategy 3 (also the search of a tree-less literal).
int regex_search_literal(Regex* regex, const RegexPositionOps* ops, RegexPos* start, RegexPos* end,
                         RegexPos limit);

// Frame stack of the matcher.
bool regex_frames_init(Regex* regex);
