// The backtracking matcher: runs the node tree at one position with an
// explicit stack of frames kept in the Regex. The top frame is the running
// state; the frames below it are backtrack points, loop-guard and call
// markers, and the entry states of sub-matches (lookarounds, atomic groups,
// possessive repetitions, conditions).
#include "regex/regex_internal.h"

#include <cstdlib>
#include <cstring>

int64_t regex_backtrack_budget = 10000000;
int regex_max_frames = REGEX_MAX_FRAMES;

namespace {

inline bool same_pos(const RegexPos& a, const RegexPos& b) {
    return a.line == b.line && a.column == b.column;
}

// The character at p: a CR directly followed by LF reads as one LF of two units.
inline uint32_t read_char(const char16_t* p, int* units) {
    if (p[0] == '\r' && p[1] == '\n') {
        *units = 2;
        return '\n';
    }
    return utf16_decode(p, units);
}

struct Matcher {
    Regex* re;
    const RegexPositionOps* ops;
    void* ctx;
    char* base;
    int fsize;
    int top;
    int group_count;

    RegexFrame* F(int i) const {
        return reinterpret_cast<RegexFrame*>(base + static_cast<size_t>(i) * fsize);
    }

    int64_t steps; // pushes and resumed backtrack points of this attempt
    int64_t budget;

    // Charges a scan over n units or frames: one step for every 64, so that
    // no step of the budget stands for unbounded work.
    bool charge(int64_t n) { return (steps += n >> 6) <= budget; }

    // Copies the top frame into the next slot. False when the stack cannot
    // grow, or when the attempt has used up its budget.
    bool push() {
        if (++steps > budget) return false;
        if (top + 1 >= re->frame_capacity || top + 1 >= regex_max_frames) {
            if (top + 1 >= regex_max_frames) return false;
            int cap = re->frame_capacity * 2;
            if (cap > regex_max_frames) cap = regex_max_frames;
            void* p = realloc(re->frames, static_cast<size_t>(cap) * fsize);
            if (!p) return false;
            re->frames = static_cast<RegexFrame*>(p);
            re->frame_capacity = cap;
            base = reinterpret_cast<char*>(p);
        }
        memcpy(base + static_cast<size_t>(top + 1) * fsize, base + static_cast<size_t>(top) * fsize, fsize);
        ++top;
        return true;
    }

    // Steps f over the character of u units at its position.
    void step(RegexFrame* f, int u) {
        const char16_t* p = f->cur;
        f->prev = p;
        if (p[u] == 0) {
            if (u == 2 && p[0] == '\r') {
                // a CR LF pair at the end of the line's text
                f->pos.column += 1;
            }
            f->cur = ops->next_char(ctx, &f->pos);
        } else {
            f->cur = p + u;
            f->pos.column += u;
        }
    }

    // The character before f's position, 0 when there is none.
    uint32_t prev_char(RegexFrame* f) {
        int u;
        if (f->prev) return read_char(f->prev, &u);
        if (f->pos.line == 0 && f->pos.column == 0) return 0;
        RegexPos q = f->pos;
        const char16_t* p = ops->prev_char(ctx, &q);
        if (!p || !*p) return 0;
        return read_char(p, &u);
    }

    int64_t span(const RegexPos& a, const RegexPos& b) {
        if (a.line == b.line) return b.column - a.column;
        return ops->distance(ctx, &a, &b);
    }

    // Compares the text of group g with the subject at f; steps f past it.
    bool backref(RegexFrame* f, int g, int nflags) {
        RegexGroup* gs = regex_frame_groups(f);
        if (g < 0 || g >= group_count || gs[g].length < 0) return false;
        int64_t remaining = gs[g].length;
        RegexPos sp = gs[g].start;
        const char16_t* s = ops->char_at(ctx, &sp);
        while (remaining > 0) {
            int su, du;
            uint32_t a = read_char(s, &su);
            uint32_t b = read_char(f->cur, &du);
            if (a == 0 || b == 0 || regex_fold(a, nflags) != regex_fold(b, nflags)) return false;
            // step the source
            int64_t used = su;
            if (s[su] == 0) {
                if (su == 2 && s[0] == '\r') sp.column += 1;
                s = ops->next_char(ctx, &sp);
            } else {
                s += su;
                sp.column += su;
            }
            remaining -= used;
            step(f, du);
        }
        return true;
    }

    void init_frame(RegexFrame* f, RegexNode* node, RegexPos pos, const char16_t* cur, const char16_t* prev) {
        f->node = node;
        f->pos = pos;
        f->cur = cur;
        f->prev = prev;
        f->mstart = pos;
        f->type = RFRAME_RUN;
        f->call_group = -1;
        f->call_frame = -1;
        f->sub_frame = -1;
        f->last_group = -1;
        f->count = 0;
        RegexGroup* g = regex_frame_groups(f);
        for (int k = 0; k < group_count; ++k) {
            g[k].start = {-1, -1};
            g[k].end = {-1, -1};
            g[k].length = -1;
        }
    }

    // regex_class_test, with the test of a unit below 256 inline (the width
    // fold leaves those as they are).
    static bool class_has(const RegexClass* cls, uint32_t c) {
        if (c - 1 < 255)
            return (((cls->bits[c >> 5] >> (c & 31)) & 1) != 0) != ((cls->flags & RCLASS_NEGATED) != 0);
        return regex_class_test(cls, c);
    }

    // Whether the body of a run loop matches at p (never LF nor the end);
    // *u gets the character's units.
    static bool atom_at(const RegexNode* a, const char16_t* p, int* u) {
        uint32_t c = read_char(p, u);
        if (c == 0 || c == '\n') return false;
        if (a->kind == RN_ANY_NO_LF) return true;
        if (a->kind == RN_CHAR) return regex_fold(c, a->value2) == static_cast<uint32_t>(a->value);
        return class_has(static_cast<const RegexClass*>(a->payload), c);
    }

    // Whether the rest of the pattern after a run loop can begin at p: its
    // first node (kept in the loop split's payload) matches there, or the
    // unit it must begin with stands there.
    static bool rest_can_begin(const RegexNode* n, const char16_t* p) {
        const char16_t unit = static_cast<char16_t>(n->value2 & 0xFFFF);
        if (unit) return *p == unit;
        const RegexNode* first = static_cast<const RegexNode*>(n->payload);
        if (!first) return true;
        int u;
        if (first->kind == RN_STRING) {
            const uint32_t c = read_char(p, &u);
            return c != 0 && regex_fold(c, first->value2) == static_cast<const uint32_t*>(first->aux)[0];
        }
        return atom_at(first, p, &u);
    }

    // Resumes the run loop frame at the top: sets up the running state at
    // the next end worth trying (1), or finds none (0, the frame is spent);
    // -2 when the stack cannot grow.
    int resume_run() {
        RegexFrame* b = F(top);
        const RegexNode* n = b->node;
        if (b->type == RFRAME_LAZY) {
            // one more character, then on to the next one the rest can begin with
            int64_t scanned = 0;
            for (;;) {
                int u;
                if (!atom_at(n->alt, b->cur, &u)) return charge(scanned) ? 0 : -2;
                step(b, u);
                scanned += u;
                if (rest_can_begin(n, b->cur)) break;
            }
            if (!charge(scanned) || !push()) return -2;
            RegexFrame* t = F(top);
            t->type = RFRAME_RUN;
            t->node = n->next;
            return 1;
        }
        // greedy: the end to try, stepping back over the run to one the rest
        // can begin at
        const char16_t* p = b->cur;
        int64_t left = b->count;
        RegexPos pos = b->pos;
        auto back = [&]() {
            int u = left >= 2 && utf16_is_low_surrogate(p[-1]) && utf16_is_high_surrogate(p[-2]) ? 2 : 1;
            p -= u;
            left -= u;
            pos.column -= u;
        };
        const int64_t had = left;
        while (!rest_can_begin(n, p)) {
            if (left == 0) return charge(had) ? 0 : -2;
            back();
        }
        if (!charge(had - left)) return -2;
        if (left == 0) {
            // the last end: the frame itself runs on
            b->type = RFRAME_RUN;
            b->node = n->next;
            b->pos = pos;
            b->cur = *p ? p : ops->char_at(ctx, &pos);
            b->prev = nullptr;
            return 1;
        }
        const RegexPos at = pos;
        const char16_t* here = p;
        back(); // the frame keeps the end after this one
        b->cur = p;
        b->pos = pos;
        b->count = static_cast<int32_t>(left);
        if (!push()) return -2;
        RegexFrame* t = F(top);
        t->type = RFRAME_RUN;
        t->node = n->next;
        t->pos = at;
        t->cur = *here ? here : ops->char_at(ctx, &t->pos);
        t->prev = p;
        return 1;
    }

    void copy_groups(RegexFrame* to, RegexFrame* from) {
        memcpy(regex_frame_groups(to), regex_frame_groups(from), sizeof(RegexGroup) * group_count);
        to->last_group = from->last_group;
    }

    int run(RegexPos* start, RegexPos* end, const char16_t* cur, const char16_t* prev);
};

int Matcher::run(RegexPos* start, RegexPos* end, const char16_t* cur, const char16_t* prev) {
    const RegexPos entry = *start;
    top = 0;
    init_frame(F(0), re->root, *start, cur, prev);
    steps = 0;
    for (;;) {
        RegexFrame* f = F(top);
        RegexNode* n = f->node;
        if (!n) {
            if (f->call_group >= 0) goto call_return;
            memcpy(re->groups, regex_frame_groups(f), sizeof(RegexGroup) * group_count);
            re->last_group = f->last_group;
            *start = f->mstart;
            if (!same_pos(f->mstart, f->pos)) {
                // a match that begins with a CR LF line break begins at its LF
                const char16_t* p = same_pos(f->mstart, entry) ? cur : ops->char_at(ctx, &f->mstart);
                if (p[0] == '\r' && p[1] == '\n') start->column += 1;
            }
            *end = f->pos;
            return 1;
        }
        switch (n->kind) {
        case RN_EMPTY: f->node = n->next; continue;
        case RN_SPLIT: {
            if (n->value2 & RLOOP_RUN) {
                const RegexNode* a = n->alt;
                if (n->pref) {
                    // greedy: take the whole run, then give it back as needed
                    const char16_t* p = f->cur;
                    int u;
                    while (atom_at(a, p, &u) && p - f->cur < 0x7FFFFFF0) p += u;
                    int64_t run = p - f->cur;
                    if (!charge(run)) return -2;
                    if (run == 0 || (!n->next && f->call_group < 0)) {
                        // nothing taken, or the pattern ends here: no end
                        // but the last needs trying
                        if (run) {
                            f->prev = p - (run >= 2 && utf16_is_low_surrogate(p[-1]) &&
                                                   utf16_is_high_surrogate(p[-2])
                                               ? 2
                                               : 1);
                            f->pos.column += run;
                            f->cur = *p ? p : ops->char_at(ctx, &f->pos);
                        }
                        f->node = n->next;
                        continue;
                    }
                    f->type = RFRAME_GREEDY;
                    f->cur = p;
                    f->pos.column += run;
                    f->count = static_cast<int32_t>(run);
                } else {
                    f->type = RFRAME_LAZY;
                    if (rest_can_begin(n, f->cur)) {
                        // no character yet: the rest is tried first
                        if (!push()) return -2;
                        F(top)->type = RFRAME_RUN;
                        F(top)->node = n->next;
                        continue;
                    }
                }
                f->node = n;
                int r = resume_run();
                if (r < 0) return -2;
                if (r) continue;
                goto fail;
            }
            const uint8_t* map = static_cast<const uint8_t*>(n->aux);
            if (map && (f->cur[0] < 128 || map[32])) {
                unsigned c = f->cur[0];
                if (c >= 128) goto fail;
                if (c == '\r' && f->cur[1] == '\n') c = '\n';
                unsigned bits = (map[c >> 2] >> ((c & 3) * 2)) & 3;
                if (bits == 0) goto fail;
                if (bits == 1) {
                    f->node = n->next;
                    continue;
                }
                if (bits == 2) {
                    f->node = n->alt;
                    continue;
                }
            }
            if (!push()) return -2;
            RegexFrame* b = F(top - 1);
            b->type = RFRAME_SPLIT;
            b->node = n->pref ? n->next : n->alt;
            F(top)->node = n->pref ? n->alt : n->next;
            continue;
        }
        case RN_CHAR: {
            int u;
            uint32_t c = read_char(f->cur, &u);
            if (c == 0 || regex_fold(c, n->value2) != static_cast<uint32_t>(n->value)) goto fail;
            step(f, u);
            f->node = n->next;
            continue;
        }
        case RN_STRING: {
            const uint32_t* s = static_cast<const uint32_t*>(n->aux);
            for (int k = 0; k < n->value; ++k) {
                int u;
                uint32_t c = read_char(f->cur, &u);
                if (c == 0 || regex_fold(c, n->value2) != s[k]) goto fail;
                step(f, u);
            }
            f->node = n->next;
            continue;
        }
        case RN_ANY_NO_LF:
        case RN_ANY: {
            int u;
            uint32_t c = read_char(f->cur, &u);
            if (c == 0 || (c == '\n' && n->kind == RN_ANY_NO_LF)) goto fail;
            step(f, u);
            f->node = n->next;
            continue;
        }
        case RN_CLASS: {
            int u;
            uint32_t c = read_char(f->cur, &u);
            if (!class_has(static_cast<const RegexClass*>(n->payload), c)) goto fail;
            step(f, u);
            f->node = n->next;
            continue;
        }
        case RN_BACKREF:
        case RN_BACKREF_NAME: {
            int g = n->value;
            if (n->kind == RN_BACKREF_NAME) {
                g = -1;
                const char16_t* name = static_cast<const char16_t*>(n->payload);
                for (int k = 0; k < re->group_count; ++k) {
                    const char16_t* a = re->group_names[k];
                    const char16_t* b = name;
                    while (*a && *a == *b) ++a, ++b;
                    if (*a == *b) {
                        g = k;
                        break;
                    }
                }
            }
            if (!backref(f, g, n->value2)) goto fail;
            f->node = n->next;
            continue;
        }
        case RN_BOL: {
            // a line starts at column 0, after a LF, and where no character
            // stands before the position (a CR LF that opens the subject is
            // positioned at its LF)
            if (f->pos.column == 0) {
                f->node = n->next;
                continue;
            }
            uint32_t before = prev_char(f);
            if (before != 0 && before != '\n') goto fail;
            f->node = n->next;
            continue;
        }
        case RN_BEGIN:
            // the start of the subject: (0, 0), or a position with no
            // character before it (the LF of a CR LF that opens the subject)
            if ((f->pos.line != 0 || f->pos.column != 0) && prev_char(f) != 0) goto fail;
            f->node = n->next;
            continue;
        case RN_EOL: {
            int u;
            uint32_t c = read_char(f->cur, &u);
            if (c != 0 && c != '\n') goto fail;
            f->node = n->next;
            continue;
        }
        case RN_END_OR_LF: {
            int u;
            uint32_t c = read_char(f->cur, &u);
            if (c == '\n') {
                const char16_t* after;
                if (f->cur[u] != 0) {
                    after = f->cur + u;
                } else {
                    RegexPos q = f->pos;
                    if (u == 2) q.column += 1;
                    after = ops->next_char(ctx, &q);
                }
                if (*after != 0) goto fail;
            } else if (c == 0) {
                if (prev_char(f) == '\n') goto fail;
            } else {
                goto fail;
            }
            f->node = n->next;
            continue;
        }
        case RN_END:
            if (f->cur[0] != 0) goto fail;
            f->node = n->next;
            continue;
        case RN_WORDB:
        case RN_NOT_WORDB: {
            int u;
            bool a = regex_is_word(prev_char(f));
            bool b = regex_is_word(read_char(f->cur, &u));
            if ((a != b) != (n->kind == RN_WORDB)) goto fail;
            f->node = n->next;
            continue;
        }
        case RN_OPEN: {
            // No reported position rests on the CR of a CR LF: a group that
            // opens there opens at the LF. Should the group close where it
            // opened (empty, before the line break), its start falls back to
            // that position when it closes, so that ends before a CR LF stay
            // before the CR.
            RegexPos& start = regex_frame_groups(f)[n->value].start;
            start = f->pos;
            if (f->cur[0] == '\r' && f->cur[1] == '\n') start.column += 1;
            f->node = n->next;
            continue;
        }
        case RN_CLOSE: {
            if (f->call_group == n->value + 1) goto call_return;
            RegexGroup& g = regex_frame_groups(f)[n->value];
            g.end = f->pos;
            if (g.start.line == g.end.line && g.start.column > g.end.column) g.start = g.end;
            g.length = g.start.line < 0 ? 0 : span(g.start, g.end);
            if (g.start.line < 0) g.start = g.end;
            f->last_group = n->value;
            f->node = n->next;
            continue;
        }
        case RN_GUARD: {
            // A guard compares only with the markers it pushed at the same
            // call level (under the same calling frame): a loop whose body
            // matched nothing still stops, while a call that returns at the
            // position where a nested call of the same group returned is not
            // taken for one.
            int k = top - 1;
            while (k >= 0 &&
                   !(F(k)->type == RFRAME_GUARD && F(k)->node == n && F(k)->call_frame == f->call_frame))
                --k;
            if (!charge(top - 1 - k)) return -2;
            if (k >= 0 && same_pos(F(k)->pos, f->pos)) goto fail;
            if (!push()) return -2;
            F(top - 1)->type = RFRAME_GUARD;
            F(top)->node = n->next;
            continue;
        }
        case RN_LOOKBEHIND:
        case RN_NEG_LOOKBEHIND: {
            RegexPos q = f->pos;
            const char16_t* p = f->cur;
            bool reached = false;
            for (int k = 0; k < n->value; ++k) {
                if (q.line == 0 && q.column == 0) {
                    reached = true;
                    break;
                }
                p = ops->prev_char(ctx, &q);
                if (!p) {
                    reached = true;
                    break;
                }
            }
            if (reached) {
                if (n->kind == RN_LOOKBEHIND) goto fail;
                f->node = n->next;
                continue;
            }
            if (!push()) return -2;
            F(top - 1)->type = RFRAME_BASE;
            RegexFrame* t = F(top);
            t->node = static_cast<RegexNode*>(n->payload);
            t->pos = q;
            t->cur = p;
            t->prev = nullptr;
            t->sub_frame = top - 1;
            continue;
        }
        case RN_LOOKAHEAD:
        case RN_NEG_LOOKAHEAD:
        case RN_ATOMIC:
        case RN_POSSESSIVE: {
            if (!push()) return -2;
            RegexFrame* b = F(top - 1);
            b->type = RFRAME_BASE;
            b->count = 0;
            RegexFrame* t = F(top);
            t->node = static_cast<RegexNode*>(n->payload);
            t->sub_frame = top - 1;
            continue;
        }
        case RN_SUB_CLOSE: {
            int bi = f->sub_frame;
            RegexFrame* b = F(bi);
            RegexNode* k = b->node;
            // A look-behind's body must end exactly where the look-behind
            // stands: one that ends elsewhere (stepping back and forth can
            // count a line break differently) is no match of the body.
            if ((k->kind == RN_LOOKBEHIND || k->kind == RN_NEG_LOOKBEHIND) && !same_pos(f->pos, b->pos))
                goto fail;
            switch (k->kind) {
            case RN_LOOKAHEAD:
            case RN_LOOKBEHIND:
                copy_groups(b, f);
                b->type = RFRAME_RUN;
                b->node = k->next;
                top = bi;
                continue;
            case RN_NEG_LOOKAHEAD:
            case RN_NEG_LOOKBEHIND: top = bi; goto fail;
            case RN_ATOMIC: {
                int sub = b->sub_frame;
                memcpy(b, f, fsize);
                b->sub_frame = sub;
                b->type = RFRAME_RUN;
                b->node = k->next;
                top = bi;
                continue;
            }
            case RN_POSSESSIVE: {
                bool moved = !same_pos(b->pos, f->pos);
                int count = b->count + 1;
                int sub = b->sub_frame;
                memcpy(b, f, fsize);
                b->sub_frame = sub;
                b->count = count;
                b->node = k;
                top = bi;
                if (!moved && count < k->value) b->count = count = k->value;
                if (!moved || (k->value2 >= 0 && count >= k->value2)) {
                    b->type = RFRAME_RUN;
                    b->node = k->next;
                    continue;
                }
                b->type = RFRAME_BASE;
                if (!push()) return -2;
                RegexFrame* t = F(top);
                t->type = RFRAME_RUN;
                t->node = static_cast<RegexNode*>(k->payload);
                t->sub_frame = bi;
                continue;
            }
            case RN_COND:
                copy_groups(b, f);
                b->type = RFRAME_RUN;
                b->node = k->alt;
                top = bi;
                continue;
            default: return -2;
            }
        }
        case RN_COND: {
            const RegexNode* c = static_cast<const RegexNode*>(n->payload);
            bool truth;
            switch (c->kind) {
            case RN_COND_GROUP: truth = c->value < re->group_count; break;
            case RN_COND_NAME: {
                truth = false;
                const char16_t* name = static_cast<const char16_t*>(c->payload);
                for (int k = 0; k < re->group_count && !truth; ++k) {
                    const char16_t* a = re->group_names[k];
                    const char16_t* b = name;
                    while (*a && *a == *b) ++a, ++b;
                    truth = *a == *b;
                }
                break;
            }
            case RN_COND_RECURSION:
                truth = f->call_group >= 0 && (c->value == 0 || c->value == f->call_group);
                break;
            default: {
                // a sub-pattern as the condition
                if (!push()) return -2;
                F(top - 1)->type = RFRAME_BASE;
                RegexFrame* t = F(top);
                t->node = const_cast<RegexNode*>(c);
                t->sub_frame = top - 1;
                continue;
            }
            }
            f->node = truth ? n->alt : n->next;
            continue;
        }
        case RN_ANCHOR_START:
        case RN_ANCHOR_END:
        case RN_ANCHOR_LINE_START:
        case RN_ANCHOR_LINE_END: {
            int (*test)(void*, const RegexPos*) = n->kind == RN_ANCHOR_START ? ops->at_anchor_start
                                                  : n->kind == RN_ANCHOR_END ? ops->at_anchor_end
                                                  : n->kind == RN_ANCHOR_LINE_START
                                                      ? ops->at_anchor_line_start
                                                      : ops->at_anchor_line_end;
            if (!test || !test(ctx, &f->pos)) goto fail;
            f->node = n->next;
            continue;
        }
        case RN_KEEP:
            f->mstart = f->pos;
            f->node = n->next;
            continue;
        case RN_CALL: {
            int g = n->value;
            RegexNode* target =
                g == 0
                    ? re->root
                    : (g <= re->group_count && re->group_open[g - 1] ? re->group_open[g - 1]->next : nullptr);
            if (g != 0 && !target) goto fail;
            if (!push()) return -2;
            F(top - 1)->type = RFRAME_CALL;
            RegexFrame* t = F(top);
            t->call_group = g;
            t->call_frame = top - 1;
            t->node = target;
            if (g == 0 && !target) t->node = nullptr;
            continue;
        }
        default: return -2;
        }

    call_return : {
        RegexFrame* cf = F(f->call_frame);
        f->node = cf->node->next;
        copy_groups(f, cf);
        f->call_group = cf->call_group;
        f->call_frame = cf->call_frame;
        continue;
    }

    fail:
        for (;;) {
            if (--top < 0) return 0;
            RegexFrame* b = F(top);
            if (b->type == RFRAME_SPLIT) {
                if (++steps > budget) return -2;
                b->type = RFRAME_RUN;
                break;
            }
            if (b->type == RFRAME_GREEDY || b->type == RFRAME_LAZY) {
                if (++steps > budget) return -2;
                int r = resume_run();
                if (r < 0) return -2;
                if (r) break;
                continue;
            }
            if (b->type != RFRAME_BASE) continue;
            RegexNode* k = b->node;
            if (k->kind == RN_NEG_LOOKAHEAD || k->kind == RN_NEG_LOOKBEHIND) {
                b->type = RFRAME_RUN;
                b->node = k->next;
                break;
            }
            if (k->kind == RN_POSSESSIVE && b->count >= k->value) {
                b->type = RFRAME_RUN;
                b->node = k->next;
                break;
            }
            if (k->kind == RN_COND) {
                b->type = RFRAME_RUN;
                b->node = k->next;
                break;
            }
        }
    }
}

} // namespace

int regex_match_at(Regex* re, const RegexPositionOps* ops, RegexPos* start, RegexPos* end,
                   const char16_t* text, const char16_t* prev) {
    if (!re || !re->root || !re->frames) return 0;
    if (!text) text = ops->char_at(ops->context, start);
    Matcher m;
    m.re = re;
    m.ops = ops;
    m.ctx = ops->context;
    m.base = reinterpret_cast<char*>(re->frames);
    m.fsize = re->frame_size;
    m.group_count = re->group_count;
    // Inside a search the attempt draws on the search's budget once past its
    // own free steps (see regex_backtrack_budget).
    const bool shared = re->search_budget >= 0;
    m.budget = shared ? re->search_budget + REGEX_ATTEMPT_FREE_STEPS : regex_backtrack_budget;
    int r = m.run(start, end, text, prev);
    if (shared && m.steps > REGEX_ATTEMPT_FREE_STEPS) {
        re->search_budget -= m.steps - REGEX_ATTEMPT_FREE_STEPS;
        if (re->search_budget < 0) re->search_budget = 0;
    }
    re->frame_top = m.top < 0 ? 0 : m.top;
    return r;
}
