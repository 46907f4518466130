// The interpreter record: creation, destruction, the driver, the loaders and
// the protected entries through which the host calls in.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "base/mempool.h"
#include "scheme/sch_impl.h"

int64_t sch_test_create_fail_at = 0;

// What a protected entry restores when a fatal error ends it. Linked from the
// record so that the saved cells stay alive.
struct SchemeEntryState {
    SchemeInterpreter* sc;
    SchemeEntryState* prev;
    int64_t dumpCount;
    SchemeCell* inport;
    SchemeCell* outport;
    SchemeCell* errport;
    SchemeCell* savedOutport;
    SchemeCell* env;
    SchemeCell* args;
    SchemeCell* code;
    SchemeCell* value;
    SchemeCell* values;
    int32_t op;
    int32_t gcDisabled;
    int32_t printMode;
    int32_t runDepth;

    explicit SchemeEntryState(SchemeInterpreter* s)
        : sc(s), prev(s->entry), dumpCount(s->dumpCount), inport(s->inport), outport(s->outport),
          errport(s->errport), savedOutport(s->savedOutport), env(s->env), args(s->args), code(s->code),
          value(s->value), values(s->values), op(s->op), gcDisabled(s->gcDisabled), printMode(s->printMode),
          runDepth(s->runDepth) {
        s->entry = this;
    }
    ~SchemeEntryState() { sc->entry = prev; }
    void restore() {
        sc->dumpCount = dumpCount;
        sc->inport = inport;
        sc->outport = outport;
        sc->errport = errport;
        sc->savedOutport = savedOutport;
        sc->env = env;
        sc->args = args;
        sc->code = code;
        sc->value = value;
        sc->values = values;
        sc->op = op;
        sc->gcDisabled = gcDisabled;
        sc->printMode = printMode;
        sc->runDepth = runDepth;
        sch_clear_print_marks(sc);
    }
    SchemeEntryState(const SchemeEntryState&) = delete;
    SchemeEntryState& operator=(const SchemeEntryState&) = delete;
};

void sch_mark_entry_states(SchemeInterpreter* sc, void (*mark)(SchemeInterpreter*, SchemeCell*)) {
    for (SchemeEntryState* e = sc->entry; e; e = e->prev) {
        mark(sc, e->inport);
        mark(sc, e->outport);
        mark(sc, e->errport);
        mark(sc, e->savedOutport);
        mark(sc, e->env);
        mark(sc, e->args);
        mark(sc, e->code);
        mark(sc, e->value);
        if (e->values) mark(sc, e->values);
    }
}

namespace {

void init_constant(SchemeCell* c) {
    c->flags = SCH_ATOM | SCH_MARK;
    c->a.car = c;
    c->b.cdr = c;
}

// Runs op inside a fresh recovery point; fail is returned after a fatal error.
template <class R, class F> R protect(SchemeInterpreter* sc, R fail, F&& f) {
    if (!sc) return fail;
    if (sc->runDepth >= SCH_MAX_RUNS) return fail;
    SchemeEntryState state(sc);
    try {
        return f();
    } catch (const SchemeFatal&) {
        state.restore();
        return fail;
    } catch (const std::bad_alloc&) {
        state.restore();
        return fail;
    }
}

// Restores the input port and closes the file port when a load ends, also
// on the fatal path.
struct LoadGuard {
    SchemeInterpreter* sc;
    SchemeCell* saved;
    SchemeCell* port;
    ~LoadGuard() {
        if (port) port_close(port);
        sc->args = sc->NIL;
        sc->inport = saved;
    }
};

} // namespace

void sch_create_body(SchemeInterpreter* sc);

SchemeInterpreter* sch_create() {
    int64_t failAt = sch_test_create_fail_at;
    if (failAt == 1) return nullptr;
    SchemeInterpreter* sc = static_cast<SchemeInterpreter*>(calloc(1, sizeof(SchemeInterpreter)));
    if (!sc) return nullptr;
    // Step 2 (the C runtime's locale) has nothing to do: 8-bit text is
    // decoded by the platform's CP932 converter.
    sc->lastSegment = -1;
    init_constant(&sc->nilCell);
    init_constant(&sc->trueCell);
    init_constant(&sc->falseCell);
    init_constant(&sc->undefCell);
    sc->NIL = &sc->nilCell;
    sc->T = &sc->trueCell;
    sc->F = &sc->falseCell;
    sc->UNDEF = &sc->undefCell;
    SchemeCell* nil = sc->NIL;
    sc->args = sc->env = sc->code = sc->oblist = sc->globalEnv = sc->protectList = nil;
    sc->inport = sc->outport = sc->errport = sc->strport = sc->savedOutport = nil;
    sc->symLambda = sc->symQuote = sc->symQuoteVector = sc->symQuasiquote = nil;
    sc->symUnquote = sc->symUnquoteSplicing = sc->symQuasiquoteVec = nil;
    sc->symArrow = sc->symOptional = sc->symLoadPath = nil;
    sc->value = nil;
    sc->values = nullptr;
    sc->gensymCounter = 1;
    sc->cancelKey = VK_CANCEL;
    sc->threshold = 0x800000;
    sc->payloadCap = 1ull << 30;
    sc->printMode = 1;
    if (failAt > 1) {
        sc->testFailAllocAt = failAt;
        sc->testAllocCount = 1;
    }
    sc->gcDisabled = 1; // nothing is rooted until the environments exist
    try {
        SchemeEntryState state(sc);
        sch_create_body(sc);
    } catch (const SchemeFatal&) {
        sch_destroy(sc);
        return nullptr;
    } catch (const std::bad_alloc&) {
        sch_destroy(sc);
        return nullptr;
    }
    sc->testFailAllocAt = 0;
    sc->testAllocCount = 0;
    return sc;
}

void sch_create_body(SchemeInterpreter* sc) {
    sc->pool = (sc->testFailAllocAt > 0 && ++sc->testAllocCount == sc->testFailAllocAt)
                   ? nullptr
                   : mempool_create(32768, 32768);
    if (!sc->pool) sch_fatal(sc, u"no memory");
    sch_add_segment(sc);
    sc->sweepSegment = 0;
    sc->sweepNext = sc->segments[0];
    sc->sweepEnd = sc->segments[0] + sc->segmentCells[0];

    SchemeCell* frame = hash_make(sc, 1024, u"ptr-eq?");
    sc->globalEnv = cons(sc, frame, sc->NIL);
    sc->env = sc->globalEnv;
    sc->oblist = hash_make(sc, 1024, u"oblist");

    sc->inport = mk_port(sc, stdin, SCH_PORT_INPUT, u"(stdin)", 1034);
    sc->outport = mk_port(sc, stdout, SCH_PORT_OUTPUT, u"(stdout)", 0);
    sc->errport = mk_port(sc, stderr, SCH_PORT_OUTPUT, u"(stderr)", 0);
    sc->strport = mk_string_output_port(sc, 1024);

    static const struct {
        const char16_t* name;
        int op;
    } syntax[] = {{u"lambda", 16},
                  {u"quote", 17},
                  {u"quote-vector", 112},
                  {u"define", 26},
                  {u"if", 29},
                  {u"begin", 28},
                  {u"set!", 31},
                  {u"let", 33},
                  {u"let-optionals", 34},
                  {u"let*", 38},
                  {u"letrec", 41},
                  {u"cond", 44},
                  {u"and", 46},
                  {u"or", 48},
                  {u"define-macro", 50},
                  {u"quasiquote", 18},
                  {u"_quasiquote-vec", 24},
                  {u"use", 2}};
    for (const auto& s : syntax) {
        SchemeCell* sym = mk_symbol(sc, s.name);
        env_define(sc, sc->globalEnv, sym, mk_syntax(sc, s.op, SCH_SYNTAX));
    }
    env_define(sc, sc->globalEnv, mk_symbol(sc, u"else"), sc->T);
    for (int i = 0; i < SCH_OPCODES; ++i) {
        if (!OpcodeTable[i].name) continue;
        SchemeCell* sym = mk_symbol(sc, OpcodeTable[i].name);
        env_define(sc, sc->globalEnv, sym, mk_syntax(sc, i, SCH_PRIMITIVE));
    }
    sc->symLambda = mk_symbol(sc, u"lambda");
    sc->symQuote = mk_symbol(sc, u"quote");
    sc->symQuoteVector = mk_symbol(sc, u"quote-vector");
    sc->symQuasiquote = mk_symbol(sc, u"quasiquote");
    sc->symUnquote = mk_symbol(sc, u"unquote");
    sc->symUnquoteSplicing = mk_symbol(sc, u"unquote-splicing");
    sc->symQuasiquoteVec = mk_symbol(sc, u"_quasiquote-vec");
    sc->symArrow = mk_symbol(sc, u"=>");
    sc->symOptional = mk_symbol(sc, u":optional");
    sc->symLoadPath = mk_symbol(sc, u"*load-path*");
    sch_define_builtin_classes(sc);
    sc->gcDisabled = 0;
}

void sch_destroy(SchemeInterpreter* sc) {
    if (!sc) return;
    for (int s = 0; s <= sc->lastSegment; ++s) {
        SchemeCell* c = sc->segments[s];
        for (SchemeCell* e = c + sc->segmentCells[s]; c < e; ++c) {
            if (c->flags != 0 && sc->pool) sch_finalize(sc, c);
            c->flags = 0;
        }
    }
    if (sc->dump) sch_pfree(sc, sc->dump);
    for (int s = 0; s <= sc->lastSegment; ++s) free(sc->segments[s]);
    free(sc->markStack);
    mempool_destroy(sc->pool);
    free(sc);
}

// ---------------------------------------------------------------- driver

SchemeCell* sch_run(SchemeInterpreter* sc, int op) {
    struct Depth {
        SchemeInterpreter* sc;
        ~Depth() { --sc->runDepth; }
    } depth{sc};
    ++sc->runDepth;
    sc->cancelFlag = 0;
    sc->exitRequest = 0;
    int64_t dumpDepth = sc->dumpCount;
    sc->op = op;
    while (OpcodeTable[sc->op].handler(sc, sc->op) != sc->NIL) {
    }
    // A script's exit leaves no frames of this run behind; the outermost
    // run clears the request.
    if (sc->exitRequest) {
        if (sc->dumpCount > dumpDepth) sc->dumpCount = dumpDepth;
        if (sc->runDepth == 1) sc->exitRequest = 0;
    }
    return sc->value;
}

bool sch_load_file(SchemeInterpreter* sc, const char16_t* path) {
    LoadGuard guard{sc, sc->inport, nullptr};
    SchRoot r(sc, guard.saved);
    SchemeCell* port = open_file_port(sc, path, false);
    if (!port) return false;
    guard.port = port;
    SchRoot r2(sc, guard.port);
    sc->args = cons(sc, port, sc->NIL);
    sch_run(sc, 3);
    return true;
}

SchemeCell* sch_load_string(SchemeInterpreter* sc, const char16_t* text) {
    LoadGuard guard{sc, sc->inport, nullptr};
    SchRoot r(sc, guard.saved);
    SchemeCell* port = mk_string_input_port(sc, text, -1);
    guard.port = port;
    SchRoot r2(sc, guard.port);
    sc->args = cons(sc, port, sc->NIL);
    return sch_run(sc, 3);
}

// ---------------------------------------------------------------- protected entries

SchemeCell* sch_safe_load_string(SchemeInterpreter* sc, const char16_t* text) {
    return protect<SchemeCell*>(sc, sc ? sc->F : nullptr, [&] { return sch_load_string(sc, text); });
}

int sch_safe_load_file(SchemeInterpreter* sc, const char16_t* path) {
    return protect<int>(sc, 1, [&] {
        if (sch_load_file(sc, path)) return 0;
        static const char16_t prefix[] = u"fatal error: file cannot open ";
        int n = 0;
        for (const char16_t* p = prefix; *p; ++p) sc->msg[n++] = *p;
        for (const char16_t* p = path; *p && n < SCH_MSG_UNITS - 1; ++p) sc->msg[n++] = *p;
        sc->msg[n] = 0;
        return 1;
    });
}

SchemeCell* sch_safe_call(SchemeInterpreter* sc, SchemeCell* procedure) {
    return protect<SchemeCell*>(sc, sc ? sc->F : nullptr, [&] {
        SchRoot r(sc, procedure);
        // The exit frame ends this run only: a run around it goes on.
        int32_t exitRequest = sc->exitRequest;
        dump_push(sc, 101, exit_frame_marker(sc), sc->NIL);
        sc->args = sc->NIL;
        sc->code = procedure;
        SchemeCell* v = sch_run(sc, 14);
        sc->exitRequest = exitRequest;
        return v;
    });
}

const char16_t* sch_safe_to_text(SchemeInterpreter* sc, SchemeCell* cell) {
    return protect<const char16_t*>(sc, u"", [&] {
        SchRoot r(sc, cell);
        SchemeCell* port = mk_string_output_port(sc, 64);
        SchRoot r2(sc, port);
        SchemeCell* previous = sc->outport;
        int32_t mode = sc->printMode;
        int32_t exitRequest = sc->exitRequest;
        sc->printMode = 0;
        sc->outport = port;
        dump_push(sc, 101, exit_frame_marker(sc), previous);
        sc->args = cell;
        sch_run(sc, 93);
        sc->outport = previous;
        sc->printMode = mode;
        sc->exitRequest = exitRequest;
        return static_cast<const char16_t*>(port_of(port)->start);
    });
}

int sch_safe_protect(SchemeInterpreter* sc, SchemeCell* cell) {
    return protect<int>(sc, 1, [&] {
        sc->protectList = cons(sc, cell, sc->protectList);
        return 0;
    });
}

void sch_unprotect(SchemeInterpreter* sc, SchemeCell* cell) {
    SchemeCell** link = &sc->protectList;
    for (SchemeCell* p = *link; is_pair(p); link = &p->b.cdr, p = *link) {
        if (car(p) == cell) {
            *link = cdr(p);
            return;
        }
    }
}

SchemeCell* sch_safe_make_string(SchemeInterpreter* sc, const char16_t* text) {
    return protect<SchemeCell*>(sc, nullptr, [&] { return mk_string(sc, text); });
}

SchemeCell* sch_safe_make_integer(SchemeInterpreter* sc, int32_t value) {
    return protect<SchemeCell*>(sc, nullptr, [&] { return mk_integer(sc, value); });
}

int sch_register_host_function(SchemeInterpreter* sc, const char16_t* name, SchemeHostFn fn, int minArgs,
                               int maxArgs, const char16_t* letters) {
    return protect<int>(sc, 1, [&] {
        SchemeCell* sym = mk_symbol(sc, name);
        SchRoot r(sc, sym);
        SchemeCell* f = mk_hostfn(sc, name, fn, minArgs, maxArgs, letters);
        env_define(sc, sc->env, sym, f);
        return 0;
    });
}

void sch_raise_error(SchemeInterpreter* sc, const char16_t* text) {
    SchemeCell* s = mk_string(sc, text);
    sc->args = cons(sc, s, sc->NIL);
    // Reporting must work even at the nesting limit: the error step does
    // not start further runs.
    if (sc->runDepth >= SCH_MAX_RUNS)
        --sc->runDepth, sch_run(sc, 95), ++sc->runDepth;
    else
        sch_run(sc, 95);
}
