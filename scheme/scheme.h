// The script interpreter: a small Scheme dialect run by an opcode machine.
//
// Every value is a SchemeCell taken from the interpreter's segmented heap;
// cells that own variable-length data point to a payload block of the
// interpreter's MemPool. A lazy mark-and-sweep collector reclaims cells.
// Evaluation never recurses on the host stack: pending work lives on the dump.
//
// The host enters an interpreter only through the protected entries
// (sch_safe_*). Script errors are reported as "Error:" text on the error port;
// exhausted memory is a fatal error that shows a box and makes the innermost
// protected entry return its failure value, the interpreter staying usable.
#pragma once

#include <cstdint>
#include <cstdio>

struct MemPool;
struct SchemeInterpreter;

struct SchemeCell {
    uint16_t flags;
    union {
        SchemeCell* car;
        int64_t ival;
        uint32_t u32;
        void* ptr;
    } a;
    union {
        SchemeCell* cdr;
        int64_t ival;
        void* ptr;
    } b;
};
static_assert(sizeof(SchemeCell) == 24, "a cell is 24 bytes");

enum SchemeType : uint16_t {
    SCH_FREE = 0,
    SCH_PAIR = 1,
    SCH_SYNTAX = 2,
    SCH_PRIMITIVE = 3,
    SCH_SYMBOL = 4,
    SCH_CLOSURE = 5,
    SCH_CONTINUATION = 6,
    SCH_MACRO = 7,
    SCH_VECTOR = 8,
    SCH_PORT = 9,
    SCH_EOF = 10,
    SCH_INTEGER = 11,
    SCH_STRING = 12,
    SCH_CHARACTER = 13,
    SCH_HOSTFN = 14,
    SCH_REGEXP = 15,
    SCH_MATCH = 16,
    SCH_HASHTABLE = 17,
    SCH_HASHITER = 18,
    SCH_CLASS = 19,
    SCH_INSTANCE = 20,
};

constexpr uint16_t SCH_TYPE_MASK = 0x1F;
// Set on a symbol once a list frame (a closure's or a let's) has bound it;
// a symbol without it can only be bound in the global frame.
constexpr uint16_t SCH_LOCAL_NAME = 0x0800;
constexpr uint16_t SCH_PRINTING = 0x1000; // list or vector being printed (cycle guard)
constexpr uint16_t SCH_EXPANDED = 0x2000; // macro use whose cdr holds its expansion
constexpr uint16_t SCH_ATOM = 0x4000;
constexpr uint16_t SCH_MARK = 0x8000;

// Port flags.
constexpr uint32_t SCH_PORT_INPUT = 1;
constexpr uint32_t SCH_PORT_OUTPUT = 2;
constexpr uint32_t SCH_PORT_CLOSED = 4;
constexpr uint32_t SCH_PORT_STRING = 8;
constexpr uint32_t SCH_PORT_UTF16 = 16;

typedef void (*SchemeOutputFn)(SchemeInterpreter* sc, const char16_t* text, uint32_t portFlags);
typedef SchemeCell* (*SchemeHostFn)(SchemeInterpreter* sc, SchemeCell** args, int count);

struct SchemePort {
    uint32_t flags;
    FILE* stream;
    int64_t capacity; // UTF-16 units; 0 without a buffer
    char16_t* start;
    char16_t* cursor;
    char16_t* end;
    SchemeOutputFn output;
    char16_t name[1];
};

struct SchemeFrame {
    int32_t op;
    SchemeCell* args;
    SchemeCell* env;
    SchemeCell* code;
};

struct SchemeEntryState;
struct SchemeRootLink {
    SchemeCell** slot;
    SchemeRootLink* next;
};

enum { SCH_MAX_SEGMENTS = 100, SCH_SEGMENT_CELLS = 4096, SCH_MSG_UNITS = 1024, SCH_MAX_RUNS = 64 };

struct SchemeInterpreter {
    // 1. Heap bookkeeping.
    SchemeCell* segments[SCH_MAX_SEGMENTS];
    int64_t segmentCells[SCH_MAX_SEGMENTS];
    int lastSegment;
    int sweepSegment;
    SchemeCell* sweepNext;
    SchemeCell* sweepEnd;

    // 2. Registers and roots.
    SchemeCell* args;
    SchemeCell* env;
    SchemeCell* code;
    SchemeCell* oblist;
    SchemeCell* globalEnv;
    SchemeCell* protectList;
    SchemeCell* inport;
    SchemeCell* outport;
    SchemeCell* errport;
    SchemeCell* strport;
    SchemeCell* savedOutport;

    // 3. Constants.
    SchemeCell nilCell, trueCell, falseCell, undefCell;
    SchemeCell* NIL;
    SchemeCell* T;
    SchemeCell* F;
    SchemeCell* UNDEF;

    // 4. Cached symbols.
    SchemeCell* symLambda;
    SchemeCell* symQuote;
    SchemeCell* symQuoteVector;
    SchemeCell* symQuasiquote;
    SchemeCell* symUnquote;
    SchemeCell* symUnquoteSplicing;
    SchemeCell* symQuasiquoteVec;
    SchemeCell* symArrow;    // =>
    SchemeCell* symOptional; // :optional
    SchemeCell* symLoadPath; // *load-path*

    // 5. Message buffer.
    char16_t msg[SCH_MSG_UNITS];

    // 6. Reader token and print mode (1 write, 0 display, -1 measure).
    int32_t token;
    int32_t printMode;

    // 7. Value, current opcode, multiple values (null = none).
    SchemeCell* value;
    int32_t op;
    SchemeCell* values;

    // 8. Dump stack.
    SchemeFrame* dump;
    int64_t dumpCount;
    int64_t dumpCapacity;

    // 9. Payload pool, bytes in use, collection threshold.
    MemPool* pool;
    uint64_t payloadBytes;
    uint64_t threshold;

    // 10. Generated-symbol counter.
    uint32_t gensymCounter;

    // 11. Sweep live count, total cells, applications, cancel state.
    int64_t sweepLive;
    int64_t totalCells;
    int32_t applications;
    int32_t cancelFlag;
    int32_t cancelModifiers; // 0x10 Alt, 0x08 Ctrl, 0x04 Shift
    int32_t cancelKey;

    // 12. Recovery: the innermost protected entry's saved state.
    SchemeEntryState* entry;

    // 13. Collection disabled.
    int32_t gcDisabled;

    // 14. Host record.
    void* host;

    // Run bookkeeping.
    int32_t runDepth;    // active sch_run calls
    int32_t exitRequest; // set by exit: every nested run stops
    int64_t printMarks;  // cells carrying SCH_PRINTING
    SchemeRootLink* roots;
    SchemeCell** markStack;
    int64_t markStackCapacity;
    int64_t markTop;

    // Test-only switches; the program never sets them.
    int32_t testCollectEveryAlloc; // full collection at every cell allocation, freed cells poisoned
    int64_t testFailAllocAt;       // fail the n-th segment or payload allocation (0 = never)
    int64_t testAllocCount;
    uint64_t payloadCap;         // payload bytes allowed (1 GiB by default)
    int64_t testMaxDumpFrames;   // highest dump frame count seen
    int64_t testByteCollections; // collections forced by the payload threshold
    int64_t testFinalizerCloses; // file streams closed by the port finalizer
    // Lookup cache of hash-frame bindings (the global frame): slot i holds
    // the entry a symbol hashing to i was last found at. Deleting an entry or
    // freeing a table empties it.
    struct {
        SchemeCell* sym;
        struct SchHashTable* table;
        struct SchHashEntry* entry;
    } bindingCache[256];
};

// Creation and destruction. sch_create returns null when memory is short.
SchemeInterpreter* sch_create();
void sch_destroy(SchemeInterpreter* sc);

// Test switch: the n-th allocation of the next sch_create fails (0 = none).
extern int64_t sch_test_create_fail_at;

// Unprotected driver and loaders (use the protected entries from the host).
SchemeCell* sch_run(SchemeInterpreter* sc, int op);
bool sch_load_file(SchemeInterpreter* sc, const char16_t* path);
SchemeCell* sch_load_string(SchemeInterpreter* sc, const char16_t* text);

// Protected entries.
SchemeCell* sch_safe_load_string(SchemeInterpreter* sc, const char16_t* text);
int sch_safe_load_file(SchemeInterpreter* sc, const char16_t* path);
SchemeCell* sch_safe_call(SchemeInterpreter* sc, SchemeCell* procedure);
const char16_t* sch_safe_to_text(SchemeInterpreter* sc, SchemeCell* cell);
int sch_safe_protect(SchemeInterpreter* sc, SchemeCell* cell);
SchemeCell* sch_safe_make_string(SchemeInterpreter* sc, const char16_t* text);
SchemeCell* sch_safe_make_integer(SchemeInterpreter* sc, int32_t value);
int sch_register_host_function(SchemeInterpreter* sc, const char16_t* name, SchemeHostFn fn, int minArgs,
                               int maxArgs, const char16_t* letters);

// Reports a script error from inside a host function; the run that called the
// host function ends when the function returns.
void sch_raise_error(SchemeInterpreter* sc, const char16_t* text);

// Unlinks the first protect-list pair whose car is the cell.
void sch_unprotect(SchemeInterpreter* sc, SchemeCell* cell);

// Cell inspection for hosts.
inline int sch_type(const SchemeCell* c) {
    return c->flags & SCH_TYPE_MASK;
}
const char16_t* sch_string_text(SchemeCell* c);
