// Regular-expression primitives over the system's engine: compiled
// expressions, match results (ranges in UTF-16 units, seen by scripts as
// code-point indexes) and replacement by template or by a script procedure.
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "regex/regex.h"
#include "scheme/sch_impl.h"

namespace {

using Args = OpArgs<4>;

Regex* regex_of(SchemeCell* cell) {
    return static_cast<Regex*>(payload<SchemeRegexpData>(cell)->regex);
}

SchemeCell* too_complex(SchemeInterpreter* sc, SchemeCell* expression) {
    return raise_error(sc, u"regexp too complex", expression);
}

// The ranges, start and end in turn, past the payload's declared bound.
int64_t* match_pos(SchemeMatchData* d) {
    return reinterpret_cast<int64_t*>(reinterpret_cast<char*>(d) + offsetof(SchemeMatchData, pos));
}

// A match result from the registers of re (whole match from ms to me).
SchemeCell* mk_match(SchemeInterpreter* sc, SchemeCell* subject, const Regex* re, int64_t ms, int64_t me) {
    uint32_t n = static_cast<uint32_t>(re->group_count) + 1;
    uint64_t bytes =
        sch_size_add(sc, sizeof(SchemeMatchData), sch_size_mul(sc, 2 * (n - 1), sizeof(int64_t)));
    SchRoot r(sc, subject);
    SchemeMatchData* d = static_cast<SchemeMatchData*>(sch_palloc(sc, bytes));
    d->ranges = n;
    d->subject = subject;
    int64_t* pos = match_pos(d);
    pos[0] = ms;
    pos[1] = me;
    for (uint32_t i = 1; i < n; ++i) {
        const RegexGroup& g = re->groups[i - 1];
        pos[2 * i] = g.length < 0 ? -1 : g.start.column;
        pos[2 * i + 1] = g.length < 0 ? -1 : g.start.column + g.length;
    }
    SchemeCell* c;
    try {
        c = mk_atom(sc, SCH_MATCH);
    } catch (...) {
        sch_pfree(sc, d);
        throw;
    }
    c->a.ptr = d;
    return c;
}

SchemeCell* string_to_regexp(SchemeInterpreter* sc, Args& g) {
    bool icase = g.n > 1 && g.a[1] != sc->F;
    SchemeCell* cell = mk_regexp(sc, str_text(g.a[0]), icase);
    if (!sch_compile_regexp(sc, cell)) return raise_error0(sc, u"invalid regexp pattern");
    return s_return(sc, cell);
}

SchemeCell* rxmatch(SchemeInterpreter* sc, SchemeCell* expression, SchemeCell* subject) {
    Regex* re = regex_of(expression);
    if (!re) {
        if (!sch_compile_regexp(sc, expression)) return raise_error0(sc, u"invalid regexp pattern");
        re = regex_of(expression);
    }
    int start = 0, length = 0;
    int r = regex_search_str(re, str_text(subject), 0, &start, &length);
    if (r == -2) return too_complex(sc, expression);
    if (r != 1) return s_return(sc, sc->F);
    return s_return(sc, mk_match(sc, subject, re, start, start + length));
}

// rxmatch-substring, -start, -end.
SchemeCell* match_range(SchemeInterpreter* sc, int op, Args& g) {
    SchemeCell* m = g.a[0];
    if (m == sc->F) return s_return(sc, sc->F);
    SchemeMatchData* d = payload<SchemeMatchData>(m);
    int64_t i = g.n > 1 ? g.a[1]->a.ival : 0;
    if (i < 0 || i >= d->ranges) return raise_error0(sc, u"submatch index out of range");
    int64_t start = match_pos(d)[2 * i], end = match_pos(d)[2 * i + 1];
    if (start < 0) return s_return(sc, sc->F);
    SchemeCell* subject = d->subject;
    // An empty range is the empty string whatever became of the subject.
    if (op == 167 && start == end) return s_return(sc, mk_string_n(sc, 0));
    // The subject may have been shortened since the match; its payload
    // holds the recorded length and a NUL.
    if (str_data(subject)->length < end) return raise_error0(sc, u"out of string buffer");
    const char16_t* text = str_text(subject);
    if (op == 168) return s_return(sc, mk_integer(sc, text_count_chars(text, text + start)));
    if (op == 169) return s_return(sc, mk_integer(sc, text_count_chars(text, text + end)));
    SchemeCell* r = mk_string_n(sc, end - start);
    memcpy(str_text(r), str_text(subject) + start, (end - start) * sizeof(char16_t));
    str_text(r)[end - start] = 0;
    return s_return(sc, r);
}

// ---------------------------------------------------------------- replacement

// The state of one procedure replacement. The loop searches a private
// compile of the expression over a private copy of the subject, so the
// procedure may search with the same expression or change the subject.
struct ProcReplace {
    SchemeInterpreter* sc;
    SchemeCell* subject;
    SchemeCell* procedure;
    int64_t depth;         // dump depth before the callback runs
    std::u16string text;   // the last replacement text
    bool stopped = false;  // error or exit in the procedure
    bool tooDeep = false;  // the nested-run limit was reached
    bool fatal = false;    // a fatal error, raised again after the engine returned
    bool badAlloc = false; // the host allocator failed
};

const char16_t* replace_callback(void* data, Regex* re) {
    ProcReplace* st = static_cast<ProcReplace*>(data);
    SchemeInterpreter* sc = st->sc;
    if (sc->runDepth >= SCH_MAX_RUNS) {
        st->tooDeep = true;
        return nullptr;
    }
    try {
        SchemeCell* m = mk_match(sc, st->subject, re, re->match_start.column, re->match_end.column);
        SchRoot r(sc, m);
        int32_t exitRequest = sc->exitRequest;
        dump_push(sc, 101, exit_frame_marker(sc), sc->NIL);
        sc->args = cons(sc, m, sc->NIL);
        sc->code = st->procedure;
        SchemeCell* v = sch_run(sc, 14);
        if (sc->exitRequest) {
            st->stopped = true;
            return nullptr;
        }
        sc->exitRequest = exitRequest;
        if (sc->dumpCount < st->depth) { // an error reset the dump
            st->stopped = true;
            return nullptr;
        }
        const char16_t* t = sch_safe_to_text(sc, v);
        st->text = t;
        return st->text.c_str();
    } catch (const SchemeFatal&) {
        st->fatal = true;
    } catch (const std::bad_alloc&) {
        st->badAlloc = true;
    }
    return nullptr;
}

struct RegexOwner {
    Regex* re;
    ~RegexOwner() { regex_destroy(re); }
};
struct HeapOut {
    char16_t* p = nullptr;
    ~HeapOut() { free(p); }
};

SchemeCell* replace(SchemeInterpreter* sc, int op, Args& g) {
    SchemeCell* expression = g.a[0];
    SchemeCell* subject = g.a[1];
    SchemeCell* replacement = g.a[2];
    bool all = op == 171;
    char16_t buffer[1024];
    HeapOut heap;
    char16_t* out;
    if (is_string(replacement)) {
        Regex* re = regex_of(expression);
        if (!re) {
            if (!sch_compile_regexp(sc, expression)) return raise_error0(sc, u"invalid regexp pattern");
            re = regex_of(expression);
        }
        out = regex_replace_str(re, str_text(subject), str_text(replacement), all, buffer, 1024, nullptr,
                                nullptr);
        if (!out) return too_complex(sc, expression);
        if (out == str_text(subject)) return s_return(sc, subject);
        if (out != buffer) heap.p = out;
        return s_return(sc, mk_string(sc, out));
    }
    SchemeRegexpData* rd = payload<SchemeRegexpData>(expression);
    RegexOwner own{regex_compile(rd->pattern, rd->ignoreCase ? REGEX_IGNORE_CASE : 0)};
    if (!own.re) return raise_error0(sc, u"invalid regexp pattern");
    std::u16string copy = str_text(subject);
    // The pass-through frame keeps the nested runs off the caller's frames.
    dump_push(sc, 197, sc->args, sc->NIL);
    ProcReplace st{sc, subject, replacement, sc->dumpCount, {}};
    SchRoot r1(sc, st.subject);
    SchRoot r2(sc, st.procedure);
    out = regex_replace_str(own.re, copy.c_str(), u"", all, buffer, 1024, replace_callback, &st);
    if (out && out != buffer && out != copy.c_str()) heap.p = out;
    if (st.fatal) throw SchemeFatal{};
    if (st.badAlloc) throw std::bad_alloc{};
    if (st.stopped) {
        if (sc->dumpCount > st.depth) sc->dumpCount = st.depth;
        if (sc->exitRequest && sc->dumpCount > 0) --sc->dumpCount; // the pass-through frame
        return sc->NIL;
    }
    if (st.tooDeep) return raise_error0(sc, u"nesting too deep");
    if (!out) return too_complex(sc, expression);
    if (out == copy.c_str()) return s_return(sc, subject);
    return s_return(sc, mk_string(sc, out));
}

} // namespace

SchemeCell* op_regexp(SchemeInterpreter* sc, int op) {
    Args g;
    if (!gather_op(sc, op, g)) return sc->T;
    switch (op) {
    case 163: return string_to_regexp(sc, g);
    case 164: return rxmatch(sc, g.a[0], g.a[1]);
    case 166: {
        SchemeCell* m = g.a[0];
        return s_return(sc, mk_integer(sc, m == sc->F ? 0 : payload<SchemeMatchData>(m)->ranges));
    }
    case 167:
    case 168:
    case 169: return match_range(sc, op, g);
    case 170:
    case 171: return replace(sc, op, g);
    default: return op_placeholder(sc, op);
    }
}
