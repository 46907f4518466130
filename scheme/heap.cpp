// Cells, the segmented heap, the lazy mark-and-sweep collector, constructors,
// text and list helpers, and the equality predicates.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "base/mempool.h"
#include "base/utf16.h"
#include "regex/regex.h"
#include "scheme/sch_impl.h"

namespace {

const uint64_t kPoison = 0xDEADBEEFDEADBEEFull;

bool test_alloc_fails(SchemeInterpreter* sc) {
    if (sc->testFailAllocAt <= 0) return false;
    return ++sc->testAllocCount == sc->testFailAllocAt;
}

} // namespace

// ---------------------------------------------------------------- fatal path

void sch_fatal(SchemeInterpreter* sc, const char16_t* message) {
    static const char16_t prefix[] = u"fatal error: ";
    int n = 0;
    for (const char16_t* p = prefix; *p; ++p) sc->msg[n++] = *p;
    for (const char16_t* p = message; *p && n < SCH_MSG_UNITS - 1; ++p) sc->msg[n++] = *p;
    sc->msg[n] = 0;
    MessageBoxW(nullptr, sc->msg, u"scheme fatal error", MB_ICONERROR);
    throw SchemeFatal{};
}

// ---------------------------------------------------------------- payload blocks

uint64_t sch_size_add(SchemeInterpreter* sc, uint64_t a, uint64_t b) {
    uint64_t r;
    if (__builtin_add_overflow(a, b, &r)) sch_fatal(sc, u"no memory");
    return r;
}

uint64_t sch_size_mul(SchemeInterpreter* sc, uint64_t a, uint64_t b) {
    uint64_t r;
    if (__builtin_mul_overflow(a, b, &r)) sch_fatal(sc, u"no memory");
    return r;
}

void* sch_palloc(SchemeInterpreter* sc, uint64_t size) {
    if (size > sc->payloadCap || sc->payloadBytes + size > sc->payloadCap || test_alloc_fails(sc))
        sch_fatal(sc, u"no memory");
    void* p = mempool_alloc(sc->pool, size);
    if (!p) sch_fatal(sc, u"no memory");
    sc->payloadBytes += mempool_block_size(p);
    return p;
}

void sch_pfree(SchemeInterpreter* sc, void* block) {
    if (!block) return;
    sc->payloadBytes -= mempool_block_size(block);
    mempool_free(block);
}

void* sch_prealloc(SchemeInterpreter* sc, void* block, uint64_t size) {
    if (!block) return sch_palloc(sc, size);
    uint64_t old = mempool_block_size(block);
    if (size > sc->payloadCap || sc->payloadBytes - old + size > sc->payloadCap || test_alloc_fails(sc))
        sch_fatal(sc, u"no memory");
    void* p = mempool_realloc(sc->pool, block, size);
    if (!p) sch_fatal(sc, u"no memory");
    sc->payloadBytes = sc->payloadBytes - old + mempool_block_size(p);
    return p;
}

// ---------------------------------------------------------------- segments

void sch_add_segment(SchemeInterpreter* sc) {
    if (sc->lastSegment + 1 >= SCH_MAX_SEGMENTS || test_alloc_fails(sc)) sch_fatal(sc, u"no memory");
    // The mark stack holds each cell at most once: it grows with the heap so
    // that marking never allocates.
    int64_t need = sc->totalCells + SCH_SEGMENT_CELLS;
    if (need > sc->markStackCapacity) {
        void* grown = realloc(sc->markStack, sizeof(SchemeCell*) * need);
        if (!grown) sch_fatal(sc, u"no memory");
        sc->markStack = static_cast<SchemeCell**>(grown);
        sc->markStackCapacity = need;
    }
    SchemeCell* seg = static_cast<SchemeCell*>(malloc(sizeof(SchemeCell) * SCH_SEGMENT_CELLS));
    if (!seg) sch_fatal(sc, u"no memory");
    memset(static_cast<void*>(seg), 0, sizeof(SchemeCell) * SCH_SEGMENT_CELLS);
    int i = ++sc->lastSegment;
    sc->segments[i] = seg;
    sc->segmentCells[i] = SCH_SEGMENT_CELLS;
    sc->totalCells += SCH_SEGMENT_CELLS;
}

// ---------------------------------------------------------------- marking

namespace {

inline bool has_mark_callback(int type) {
    switch (type) {
    case SCH_CONTINUATION:
    case SCH_VECTOR:
    case SCH_MATCH:
    case SCH_HASHTABLE:
    case SCH_CLASS:
    case SCH_INSTANCE: return true;
    default: return false;
    }
}

// Atom types whose finalizer has work to do: pairs, closures, integers and
// characters are dropped by clearing their flags.
constexpr uint32_t kFinalizedTypes = (1u << SCH_SYMBOL) | (1u << SCH_CONTINUATION) | (1u << SCH_VECTOR) |
                                     (1u << SCH_PORT) | (1u << SCH_STRING) | (1u << SCH_HOSTFN) |
                                     (1u << SCH_REGEXP) | (1u << SCH_MATCH) | (1u << SCH_HASHTABLE) |
                                     (1u << SCH_HASHITER) | (1u << SCH_CLASS) | (1u << SCH_INSTANCE);

inline bool has_finalizer(uint16_t flags) {
    return (flags & SCH_ATOM) && ((kFinalizedTypes >> (flags & SCH_TYPE_MASK)) & 1);
}

// Marks an atom (pushing it for its callback) and answers whether c is an
// unmarked non-atom the pointer-reversal walk must enter.
inline bool visit(SchemeInterpreter* sc, SchemeCell* c) {
    if (!c || (c->flags & SCH_MARK)) return false;
    if (c->flags & SCH_ATOM) {
        c->flags |= SCH_MARK;
        if (has_mark_callback(c->flags & SCH_TYPE_MASK)) sc->markStack[sc->markTop++] = c;
        return false;
    }
    return true;
}

// Depth-first walk over pairs, closures and macros without a stack: the
// parent chain is kept in the cells, the atom bit tagging a walk inside word 1.
void mark_walk(SchemeInterpreter* sc, SchemeCell* p) {
    SchemeCell* t = nullptr;
    for (;;) {
        p->flags |= SCH_MARK;
        SchemeCell* q = p->a.car;
        if (visit(sc, q)) {
            p->flags |= SCH_ATOM;
            p->a.car = t;
            t = p;
            p = q;
            continue;
        }
        q = p->b.cdr;
        if (visit(sc, q)) {
            p->b.cdr = t;
            t = p;
            p = q;
            continue;
        }
        // Climb until a parent has an unvisited word 2.
        for (;;) {
            if (!t) return;
            q = t;
            if (q->flags & SCH_ATOM) {
                q->flags &= ~SCH_ATOM;
                t = q->a.car;
                q->a.car = p;
                p = q;
                SchemeCell* r = p->b.cdr;
                if (visit(sc, r)) {
                    p->b.cdr = t;
                    t = p;
                    p = r;
                    break;
                }
            } else {
                t = q->b.cdr;
                q->b.cdr = p;
                p = q;
            }
        }
    }
}

void mark_one(SchemeInterpreter* sc, SchemeCell* c) {
    if (visit(sc, c)) mark_walk(sc, c);
}

void run_callback(SchemeInterpreter* sc, SchemeCell* c) {
    switch (type_of(c)) {
    case SCH_CONTINUATION: {
        SchemeContinuationData* d = payload<SchemeContinuationData>(c);
        for (int64_t i = 0; i < d->count; ++i) {
            mark_one(sc, d->frames[i].args);
            mark_one(sc, d->frames[i].env);
            mark_one(sc, d->frames[i].code);
        }
        break;
    }
    case SCH_VECTOR: {
        SchemeVectorData* d = vec_data(c);
        for (int64_t i = 0; i < d->filled; ++i) mark_one(sc, d->items[i]);
        break;
    }
    case SCH_MATCH: mark_one(sc, payload<SchemeMatchData>(c)->subject); break;
    case SCH_HASHTABLE: hash_mark(sc, c, mark_one); break;
    case SCH_CLASS: {
        SchemeClassData* d = payload<SchemeClassData>(c);
        mark_one(sc, d->base);
        mark_one(sc, d->slotNames);
        break;
    }
    case SCH_INSTANCE: {
        SchemeInstanceData* d = payload<SchemeInstanceData>(c);
        mark_one(sc, d->klass);
        int32_t n = payload<SchemeClassData>(d->klass)->slotCount;
        for (int32_t i = 0; i < n; ++i) mark_one(sc, d->slots[i]);
        break;
    }
    default: break;
    }
}

void mark_root(SchemeInterpreter* sc, SchemeCell* c) {
    mark_one(sc, c);
    while (sc->markTop > 0) run_callback(sc, sc->markStack[--sc->markTop]);
}

void sweep_cell(SchemeInterpreter* sc, SchemeCell* c) {
    if (c->flags & SCH_MARK) {
        c->flags &= ~SCH_MARK;
        return;
    }
    if (c->flags == 0) return;
    if (has_finalizer(c->flags)) sch_finalize(sc, c);
    c->flags = 0;
    if (sc->testCollectEveryAlloc) {
        c->a.ival = static_cast<int64_t>(kPoison);
        c->b.ival = static_cast<int64_t>(kPoison);
    }
}

} // namespace

struct SchemeEntryState; // defined in state.cpp
void sch_mark_entry_states(SchemeInterpreter* sc, void (*mark)(SchemeInterpreter*, SchemeCell*));

void sch_collect(SchemeInterpreter* sc, SchemeCell* a, SchemeCell* b, bool fullSweep) {
    if (fullSweep) {
        // Finish the sweep in progress so no stale mark survives.
        while (sc->sweepSegment <= sc->lastSegment) {
            for (SchemeCell* c = sc->sweepNext; c < sc->sweepEnd; ++c) sweep_cell(sc, c);
            if (++sc->sweepSegment > sc->lastSegment) break;
            sc->sweepNext = sc->segments[sc->sweepSegment];
            sc->sweepEnd = sc->sweepNext + sc->segmentCells[sc->sweepSegment];
        }
    }
    sc->markTop = 0;
    mark_root(sc, sc->oblist);
    mark_root(sc, sc->globalEnv);
    mark_root(sc, sc->protectList);
    mark_root(sc, sc->args);
    mark_root(sc, sc->env);
    mark_root(sc, sc->code);
    mark_root(sc, sc->value);
    if (sc->values) mark_root(sc, sc->values);
    mark_root(sc, sc->inport);
    mark_root(sc, sc->outport);
    mark_root(sc, sc->errport);
    mark_root(sc, sc->strport);
    mark_root(sc, sc->savedOutport);
    for (int64_t i = 0; i < sc->dumpCount; ++i) {
        mark_root(sc, sc->dump[i].args);
        mark_root(sc, sc->dump[i].env);
        mark_root(sc, sc->dump[i].code);
    }
    for (SchemeRootLink* r = sc->roots; r; r = r->next) mark_root(sc, *r->slot);
    sch_mark_entry_states(sc, mark_root);
    mark_root(sc, a);
    mark_root(sc, b);

    sc->sweepSegment = 0;
    sc->sweepNext = sc->segments[0];
    sc->sweepEnd = sc->segments[0] + sc->segmentCells[0];
    sc->sweepLive = 0;
    if (fullSweep) {
        for (int s = 0; s <= sc->lastSegment; ++s) {
            SchemeCell* c = sc->segments[s];
            SchemeCell* e = c + sc->segmentCells[s];
            for (; c < e; ++c) {
                if (!(c->flags & SCH_MARK) && c->flags != 0) sweep_cell(sc, c);
            }
        }
    }
}

SchemeCell* sch_alloc(SchemeInterpreter* sc, SchemeCell* a, SchemeCell* b) {
    if (!sc->gcDisabled) {
        if (sc->testCollectEveryAlloc) {
            sch_collect(sc, a, b, true);
        } else if (sc->payloadBytes > sc->threshold) {
            ++sc->testByteCollections;
            sch_collect(sc, a, b, true);
            if (sc->payloadBytes > sc->threshold / 2) sc->threshold *= 2;
        }
    }
    for (int pass = 0; pass < 3; ++pass) {
        for (;;) {
            while (sc->sweepNext < sc->sweepEnd) {
                SchemeCell* c = sc->sweepNext++;
                if (c->flags & SCH_MARK) {
                    c->flags &= ~SCH_MARK;
                    ++sc->sweepLive;
                    continue;
                }
                if (has_finalizer(c->flags)) sch_finalize(sc, c);
                c->flags = 0;
                return c;
            }
            if (sc->sweepSegment >= sc->lastSegment) break;
            ++sc->sweepSegment;
            sc->sweepNext = sc->segments[sc->sweepSegment];
            sc->sweepEnd = sc->sweepNext + sc->segmentCells[sc->sweepSegment];
        }
        if (sc->gcDisabled) break;
        // Collect only when the last collection left at least three quarters
        // of the heap free (or no segment can be added): otherwise marking
        // the same live cells again would free too few of them, and the heap
        // grows a segment instead. Each collection then marks live cells at
        // most once per three allocations.
        if (pass == 0 && (sc->sweepLive * 4 <= sc->totalCells ||
                          (sc->lastSegment + 1 >= SCH_MAX_SEGMENTS && sc->sweepLive < sc->totalCells))) {
            sch_collect(sc, a, b, false);
            continue;
        }
        // No segment can be added: a last full collection before giving up.
        if (pass < 2 && sc->lastSegment + 1 >= SCH_MAX_SEGMENTS) {
            sch_collect(sc, a, b, true);
            pass = 1;
            continue;
        }
        break;
    }
    sch_add_segment(sc);
    sc->sweepSegment = sc->lastSegment;
    SchemeCell* c = sc->segments[sc->lastSegment];
    sc->sweepNext = c + 1;
    sc->sweepEnd = c + sc->segmentCells[sc->lastSegment];
    return c;
}

// Cells the sweep can still hand out without a collection: the unmarked
// cells from the sweep position on (a cell ahead of it was not allocated
// since the last marking). Counts no further than want.
int64_t sch_free_ahead(SchemeInterpreter* sc, int64_t want) {
    int64_t n = 0;
    int s = sc->sweepSegment;
    SchemeCell* c = sc->sweepNext;
    SchemeCell* e = sc->sweepEnd;
    while (n < want) {
        for (; c < e && n < want; ++c)
            if (!(c->flags & SCH_MARK)) ++n;
        if (n >= want || s >= sc->lastSegment) break;
        ++s;
        c = sc->segments[s];
        e = c + sc->segmentCells[s];
    }
    return n;
}

void sch_reserve_cells(SchemeInterpreter* sc, int64_t cells, SchemeCell* a, SchemeCell* b) {
    if (sc->gcDisabled) return;
    if (sc->payloadBytes > sc->threshold) {
        ++sc->testByteCollections;
        sch_collect(sc, a, b, true);
        if (sc->payloadBytes > sc->threshold / 2) sc->threshold *= 2;
    } else if (sch_free_ahead(sc, cells) >= cells) {
        return;
    } else {
        sch_collect(sc, a, b, true);
    }
    while (sch_free_ahead(sc, cells) < cells) sch_add_segment(sc);
}

// ---------------------------------------------------------------- finalizers

void sch_finalize(SchemeInterpreter* sc, SchemeCell* c) {
    switch (c->flags & SCH_TYPE_MASK) {
    case SCH_SYMBOL:
    case SCH_CONTINUATION:
    case SCH_VECTOR:
    case SCH_STRING:
    case SCH_HOSTFN:
    case SCH_MATCH:
    case SCH_INSTANCE:
        if (c->flags & SCH_ATOM) sch_pfree(sc, c->a.ptr);
        break;
    case SCH_PORT: {
        SchemePort* p = port_of(c);
        if (p->stream && !(p->flags & SCH_PORT_CLOSED) && p->stream != stdin && p->stream != stdout &&
            p->stream != stderr) {
            fclose(p->stream);
            ++sc->testFinalizerCloses;
        }
        sch_pfree(sc, p->start);
        sch_pfree(sc, p);
        break;
    }
    case SCH_REGEXP:
        if (SchemeRegexpData* d = payload<SchemeRegexpData>(c)) sch_release_regexp(d);
        sch_pfree(sc, c->a.ptr);
        break;
    case SCH_HASHTABLE: {
        SchemeHashData* d = payload<SchemeHashData>(c);
        hash_free_table(sc, d->table);
        sch_pfree(sc, d);
        break;
    }
    case SCH_HASHITER: hash_iter_free(sc, static_cast<SchHashIter*>(c->a.ptr)); break;
    case SCH_CLASS: {
        SchemeClassData* d = payload<SchemeClassData>(c);
        sch_pfree(sc, d->accessors);
        sch_pfree(sc, d);
        break;
    }
    default: break;
    }
}

void sch_clear_print_marks(SchemeInterpreter* sc) {
    if (sc->printMarks == 0) return;
    for (int s = 0; s <= sc->lastSegment; ++s) {
        SchemeCell* c = sc->segments[s];
        for (SchemeCell* e = c + sc->segmentCells[s]; c < e; ++c) c->flags &= ~SCH_PRINTING;
    }
    sc->printMarks = 0;
}

// ---------------------------------------------------------------- constructors

SchemeCell* cons(SchemeInterpreter* sc, SchemeCell* a, SchemeCell* b) {
    SchemeCell* c = sch_alloc(sc, a, b);
    c->flags = SCH_PAIR;
    c->a.car = a;
    c->b.cdr = b;
    return c;
}

SchemeCell* mk_atom(SchemeInterpreter* sc, int type) {
    SchemeCell* c = sch_alloc(sc, sc->NIL, sc->NIL);
    c->flags = static_cast<uint16_t>(SCH_ATOM | type);
    c->a.ptr = nullptr;
    c->b.cdr = sc->NIL;
    return c;
}

SchemeCell* mk_integer(SchemeInterpreter* sc, int64_t v) {
    SchemeCell* c = mk_atom(sc, SCH_INTEGER);
    c->a.ival = v;
    return c;
}

SchemeCell* mk_character(SchemeInterpreter* sc, uint32_t cp) {
    SchemeCell* c = mk_atom(sc, SCH_CHARACTER);
    c->a.ival = 0;
    c->a.u32 = cp;
    return c;
}

static SchemeCell* mk_string_init(SchemeInterpreter* sc, int64_t units, const char16_t* init) {
    if (units < 0) sch_fatal(sc, u"no memory");
    uint64_t bytes = sch_size_add(sc, sizeof(int64_t) + sizeof(char16_t),
                                  sch_size_mul(sc, static_cast<uint64_t>(units), sizeof(char16_t)));
    // The block is taken before the cell so that a collection cannot free it.
    SchemeStringData* d = static_cast<SchemeStringData*>(sch_palloc(sc, bytes));
    d->length = units;
    d->text[0] = 0;
    // The text is copied before the cell is made: a collection there may
    // free the block the text came from.
    if (init && units) memcpy(d->text, init, units * sizeof(char16_t));
    d->text[units] = 0;
    SchemeCell* c;
    try {
        c = mk_atom(sc, SCH_STRING);
    } catch (...) {
        sch_pfree(sc, d);
        throw;
    }
    c->a.ptr = d;
    return c;
}

SchemeCell* mk_string_n(SchemeInterpreter* sc, int64_t units) {
    return mk_string_init(sc, units, nullptr);
}

SchemeCell* mk_string(SchemeInterpreter* sc, const char16_t* text, int64_t units) {
    if (units < 0) units = text_len(text);
    return mk_string_init(sc, units, text);
}

SchemeCell* mk_symbol(SchemeInterpreter* sc, const char16_t* name) {
    SchHashTable* ob = hash_table_of(sc->oblist);
    uint64_t key = reinterpret_cast<uint64_t>(name);
    uint32_t h = hash_key(ob, key);
    SchHashEntry* e = hash_lookup(sc, ob, h, key, 0);
    if (e) return e->value;
    int64_t n = text_len(name);
    uint64_t bytes = sch_size_add(sc, sizeof(SchemeSymbolData), sch_size_mul(sc, n, sizeof(char16_t)));
    SchemeSymbolData* d = static_cast<SchemeSymbolData*>(sch_palloc(sc, bytes));
    memcpy(d->text, name, (n + 1) * sizeof(char16_t));
    d->name = d->text;
    d->serial = 0;
    SchemeCell* c;
    try {
        c = mk_atom(sc, SCH_SYMBOL);
    } catch (...) {
        sch_pfree(sc, d);
        throw;
    }
    c->a.ptr = d;
    SchRoot r(sc, c);
    e = hash_lookup(sc, ob, h, reinterpret_cast<uint64_t>(d->name), 1);
    e->value = c;
    return c;
}

SchemeCell* mk_gensym(SchemeInterpreter* sc) {
    char16_t name[32];
    char digits[16];
    int n = snprintf(digits, sizeof digits, "%u", sc->gensymCounter);
    int k = 0;
    for (const char* p = "|G:"; *p; ++p) name[k++] = *p;
    for (int i = 0; i < n; ++i) name[k++] = digits[i];
    name[k++] = '|';
    name[k] = 0;
    SchemeCell* s = mk_symbol(sc, name);
    payload<SchemeSymbolData>(s)->serial = sc->gensymCounter++;
    return s;
}

SchemeCell* mk_syntax(SchemeInterpreter* sc, int op, int type) {
    SchemeCell* c = mk_atom(sc, type);
    c->a.ival = 0;
    c->a.u32 = static_cast<uint32_t>(op);
    return c;
}

SchemeCell* mk_closure(SchemeInterpreter* sc, SchemeCell* code, SchemeCell* env, int type) {
    SchemeCell* c = sch_alloc(sc, code, env);
    c->flags = static_cast<uint16_t>(type);
    c->a.car = code;
    c->b.cdr = env;
    return c;
}

SchemeCell* mk_vector(SchemeInterpreter* sc, int64_t count, SchemeCell* fill) {
    if (count < 0) sch_fatal(sc, u"no memory");
    uint64_t bytes = sch_size_add(sc, 2 * sizeof(int64_t),
                                  sch_size_mul(sc, static_cast<uint64_t>(count), sizeof(SchemeCell*)));
    SchRoot r(sc, fill);
    SchemeCell* c = mk_atom(sc, SCH_VECTOR);
    SchemeVectorData* d = static_cast<SchemeVectorData*>(sch_palloc(sc, bytes));
    d->filled = 0;
    d->length = count;
    c->a.ptr = d;
    for (int64_t i = 0; i < count; ++i) d->items[i] = fill;
    d->filled = count;
    return c;
}

SchemeCell* mk_vector_from_list(SchemeInterpreter* sc, SchemeCell* list, int64_t count) {
    SchRoot r(sc, list);
    SchemeCell* v = mk_vector(sc, count, sc->NIL);
    SchemeVectorData* d = vec_data(v);
    for (int64_t i = 0; i < count; ++i, list = cdr(list)) d->items[i] = car(list);
    return v;
}

SchemeCell* mk_eof(SchemeInterpreter* sc) {
    return mk_atom(sc, SCH_EOF);
}

SchemeCell* mk_regexp(SchemeInterpreter* sc, const char16_t* pattern, bool ignoreCase) {
    int64_t n = text_len(pattern);
    uint64_t bytes = sch_size_add(sc, sizeof(SchemeRegexpData), sch_size_mul(sc, n, sizeof(char16_t)));
    SchemeRegexpData* d = static_cast<SchemeRegexpData*>(sch_palloc(sc, bytes));
    d->regex = nullptr;
    d->ignoreCase = ignoreCase ? 1 : 0;
    memcpy(d->pattern, pattern, (n + 1) * sizeof(char16_t));
    SchemeCell* c;
    try {
        c = mk_atom(sc, SCH_REGEXP);
    } catch (...) {
        sch_pfree(sc, d);
        throw;
    }
    c->a.ptr = d;
    return c;
}

SchemeCell* mk_hostfn(SchemeInterpreter* sc, const char16_t* name, SchemeHostFn fn, int minArgs, int maxArgs,
                      const char16_t* letters) {
    int64_t n = text_len(name);
    uint64_t bytes = sch_size_add(sc, sizeof(SchemeHostFnData), sch_size_mul(sc, n, sizeof(char16_t)));
    SchemeCell* c = mk_atom(sc, SCH_HOSTFN);
    SchemeHostFnData* d = static_cast<SchemeHostFnData*>(sch_palloc(sc, bytes));
    d->fn = fn;
    d->minArgs = minArgs;
    d->maxArgs = maxArgs;
    int i = 0;
    for (; letters && letters[i] && i < 31; ++i) d->letters[i] = letters[i];
    d->letters[i] = 0;
    memcpy(d->name, name, (n + 1) * sizeof(char16_t));
    c->a.ptr = d;
    return c;
}

// ---------------------------------------------------------------- text

// GCC and clang name the address checker differently.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SCH_ADDRESS_CHECKER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define SCH_ADDRESS_CHECKER 1
#endif

int64_t text_len(const char16_t* s) {
    const char16_t* p = s;
#if defined(SCH_ADDRESS_CHECKER)
    // The word loads below may read past the NUL within its aligned word,
    // which the address checker reports.
    while (*p) ++p;
    return p - s;
#endif
    // Unit by unit up to an 8-byte boundary, then four units per load (an
    // aligned word never crosses a page): a word holds a zero unit when a
    // lane's borrow reaches its top bit.
    while (reinterpret_cast<uintptr_t>(p) & 7) {
        if (!*p) return p - s;
        ++p;
    }
    for (;;) {
        uint64_t w;
        memcpy(&w, p, sizeof w);
        if ((w - 0x0001000100010001ull) & ~w & 0x8000800080008000ull) break;
        p += 4;
    }
    while (*p) ++p;
    return p - s;
}

uint32_t text_char_at(const char16_t* p, int* units) {
    return utf16_decode(p, units);
}

int text_put_char(uint32_t cp, char16_t* out) {
    return utf16_encode(cp, out);
}

int text_compare(const char16_t* a, const char16_t* b, bool foldAscii) {
    for (;;) {
        int ua, ub;
        uint32_t ca = utf16_decode(a, &ua);
        uint32_t cb = utf16_decode(b, &ub);
        if (foldAscii) {
            if (ca >= 'A' && ca <= 'Z') ca += 32;
            if (cb >= 'A' && cb <= 'Z') cb += 32;
        }
        if (ca != cb) return static_cast<int>(ca) - static_cast<int>(cb);
        if (ca == 0) return 0;
        a += ua;
        b += ub;
    }
}

int64_t text_count_chars(const char16_t* from, const char16_t* to) {
    int64_t n = 0;
    while (from < to) {
        int u;
        utf16_decode_bounded(from, to, &u);
        from += u;
        ++n;
    }
    return n;
}

const char16_t* sch_string_text(SchemeCell* c) {
    return is_string(c) ? str_text(c) : u"";
}

// ---------------------------------------------------------------- lists

int64_t list_length(SchemeCell* nil, SchemeCell* list) {
    int64_t n = 0;
    SchemeCell* slow = list;
    SchemeCell* fast = list;
    for (;;) {
        if (fast == nil) return n;
        if (!is_pair(fast)) return -1;
        fast = cdr(fast);
        ++n;
        if (fast == nil) return n;
        if (!is_pair(fast)) return -1;
        fast = cdr(fast);
        ++n;
        slow = cdr(slow);
        if (fast == slow) return -2;
    }
}

SchemeCell* list_reverse(SchemeInterpreter* sc, SchemeCell* list) {
    SchemeCell* r = sc->NIL;
    SchRoot g1(sc, list);
    SchRoot g2(sc, r);
    for (; is_pair(list); list = cdr(list)) r = cons(sc, car(list), r);
    return r;
}

SchemeCell* list_reverse_in_place(SchemeInterpreter* sc, SchemeCell* list, SchemeCell* tail) {
    (void)sc;
    SchemeCell* r = tail;
    while (is_pair(list)) {
        SchemeCell* next = cdr(list);
        list->b.cdr = r;
        r = list;
        list = next;
    }
    return r;
}

SchemeCell* list_copy(SchemeInterpreter* sc, SchemeCell* list) {
    if (!is_pair(list)) return list;
    SchemeCell* head = sc->NIL;
    SchemeCell* last = nullptr;
    SchRoot g1(sc, list);
    SchRoot g2(sc, head);
    SchemeCell* slow = list;
    bool step = false;
    for (SchemeCell* p = list; is_pair(p); p = cdr(p)) {
        SchemeCell* n = cons(sc, car(p), sc->NIL);
        if (last)
            last->b.cdr = n;
        else
            head = n;
        last = n;
        SchemeCell* next = cdr(p);
        if (!is_pair(next)) {
            last->b.cdr = next;
            break;
        }
        if (step) slow = cdr(slow);
        step = !step;
        if (next == slow) {
            last->b.cdr = next; // a cycle: share the rest
            break;
        }
    }
    return head;
}

// ---------------------------------------------------------------- equality

bool sch_eqv(const SchemeCell* a, const SchemeCell* b) {
    if (a == b) return true;
    if (is_int(a) && is_int(b)) return a->a.ival == b->a.ival;
    if (is_type(a, SCH_CHARACTER) && is_type(b, SCH_CHARACTER)) return a->a.u32 == b->a.u32;
    return false;
}

namespace {
struct PairHash {
    size_t operator()(const std::pair<SchemeCell*, SchemeCell*>& p) const {
        return std::hash<void*>()(p.first) * 31 + std::hash<void*>()(p.second);
    }
};
} // namespace

// Compares the (possibly infinite) trees the two values unfold to. Pairs of
// cells already under comparison are assumed equal, so cycles end; the
// explicit stack keeps long and deep data off the host stack.
bool sch_equal(SchemeInterpreter* sc, SchemeCell* a, SchemeCell* b) {
    (void)sc;
    std::vector<std::pair<SchemeCell*, SchemeCell*>> work;
    std::unordered_set<std::pair<SchemeCell*, SchemeCell*>, PairHash> seen;
    int64_t steps = 0;
    work.emplace_back(a, b);
    while (!work.empty()) {
        auto [x, y] = work.back();
        work.pop_back();
        for (;;) {
            if (x == y) break;
            if (is_pair(x) && is_pair(y)) {
                // Only after many steps can a cycle be the reason; remember
                // the comparisons from then on.
                if (++steps > 4096 && !seen.emplace(x, y).second) break;
                work.emplace_back(cdr(x), cdr(y));
                x = car(x);
                y = car(y);
                continue;
            }
            if (is_string(x) && is_string(y)) {
                if (text_compare(str_text(x), str_text(y), false) != 0) return false;
                break;
            }
            if (is_type(x, SCH_VECTOR) && is_type(y, SCH_VECTOR)) {
                if (++steps > 4096 && !seen.emplace(x, y).second) break;
                SchemeVectorData* dx = vec_data(x);
                SchemeVectorData* dy = vec_data(y);
                if (dx->filled != dy->filled) return false;
                for (int64_t i = dx->filled; i-- > 0;) work.emplace_back(dx->items[i], dy->items[i]);
                break;
            }
            if (!sch_eqv(x, y)) return false;
            break;
        }
    }
    return true;
}

// ---------------------------------------------------------------- regular expressions

// A literal or string->regexp pattern compiled by the engine; false when the
// engine refuses it.
bool sch_compile_regexp(SchemeInterpreter* sc, SchemeCell* cell) {
    (void)sc;
    SchemeRegexpData* d = payload<SchemeRegexpData>(cell);
    d->regex = regex_compile(d->pattern, d->ignoreCase ? REGEX_IGNORE_CASE : 0);
    return d->regex != nullptr;
}

void sch_release_regexp(SchemeRegexpData* d) {
    regex_destroy(static_cast<Regex*>(d->regex));
    d->regex = nullptr;
}
