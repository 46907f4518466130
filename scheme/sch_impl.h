// Internals shared by the interpreter's source files.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scheme/scheme.h"

// Thrown by the fatal-error path; caught by every protected entry and by
// sch_create. Nothing else catches it.
struct SchemeFatal {};

typedef SchemeCell* (*SchemeOpHandler)(SchemeInterpreter* sc, int op);

struct SchemeOpRow {
    SchemeOpHandler handler;
    int32_t opcode;
    const char16_t* name; // null for an internal step
    int16_t minArgs;
    int16_t maxArgs; // -1: any number
    const char16_t* letters;
    bool allLetters; // the one letter checks every argument
};

enum { SCH_OPCODES = 198 };
extern const SchemeOpRow OpcodeTable[SCH_OPCODES];

// ---- payload layouts ----

struct SchemeSymbolData {
    uint32_t serial;
    char16_t* name;
    char16_t text[1];
};
struct SchemeStringData {
    int64_t length; // UTF-16 units
    char16_t text[1];
};
struct SchemeVectorData {
    int64_t filled;
    int64_t length;
    SchemeCell* items[1];
};
struct SchemeContinuationData {
    int64_t count;
    SchemeFrame frames[1];
};
struct SchemeHostFnData {
    SchemeHostFn fn;
    int32_t minArgs;
    int32_t maxArgs;
    char16_t letters[32];
    char16_t name[1];
};
struct SchemeRegexpData {
    void* regex; // compiled expression, or null until compiled
    uint32_t ignoreCase;
    char16_t pattern[1];
};
struct SchemeMatchData {
    uint32_t ranges;
    SchemeCell* subject;
    int64_t pos[2];
};
struct SchHashTable;
struct SchemeHashData {
    SchHashTable* table;
    uint32_t kind;
};
struct SchemeClassData {
    SchemeCell* base;
    SchemeCell* slotNames;
    void* accessors;
    int32_t slotCount;
    char16_t name[1];
};
struct SchemeInstanceData {
    SchemeCell* klass;
    SchemeCell* slots[1];
};

// ---- cell access ----

inline int type_of(const SchemeCell* c) {
    return c->flags & SCH_TYPE_MASK;
}
inline bool is_pair(const SchemeCell* c) {
    return type_of(c) == SCH_PAIR && !(c->flags & SCH_ATOM);
}
inline bool is_type(const SchemeCell* c, int t) {
    return type_of(c) == t && (c->flags & SCH_ATOM);
}
inline bool is_symbol(const SchemeCell* c) {
    return is_type(c, SCH_SYMBOL);
}
inline bool is_int(const SchemeCell* c) {
    return is_type(c, SCH_INTEGER);
}
inline bool is_string(const SchemeCell* c) {
    return is_type(c, SCH_STRING);
}
inline bool is_port(const SchemeCell* c) {
    return is_type(c, SCH_PORT);
}
inline bool is_closure(const SchemeCell* c) {
    return (c->flags & (SCH_TYPE_MASK | SCH_ATOM)) == SCH_CLOSURE;
}
inline bool is_macro(const SchemeCell* c) {
    return (c->flags & (SCH_TYPE_MASK | SCH_ATOM)) == SCH_MACRO;
}
inline SchemeCell* car(const SchemeCell* c) {
    return c->a.car;
}
inline SchemeCell* cdr(const SchemeCell* c) {
    return c->b.cdr;
}
inline SchemeCell* cadr(const SchemeCell* c) {
    return car(cdr(c));
}
inline SchemeCell* cddr(const SchemeCell* c) {
    return cdr(cdr(c));
}
inline SchemeCell* caar(const SchemeCell* c) {
    return car(car(c));
}
inline SchemeCell* cdar(const SchemeCell* c) {
    return cdr(car(c));
}
template <class T> inline T* payload(const SchemeCell* c) {
    return static_cast<T*>(c->a.ptr);
}
inline SchemeStringData* str_data(const SchemeCell* c) {
    return payload<SchemeStringData>(c);
}
inline char16_t* str_text(const SchemeCell* c) {
    return payload<SchemeStringData>(c)->text;
}
inline const char16_t* sym_name(const SchemeCell* c) {
    return payload<SchemeSymbolData>(c)->name;
}
inline SchemePort* port_of(const SchemeCell* c) {
    return payload<SchemePort>(c);
}
inline SchemeVectorData* vec_data(const SchemeCell* c) {
    return payload<SchemeVectorData>(c);
}

// Keeps a local cell alive across allocations (LIFO).
struct SchRoot {
    SchemeInterpreter* sc;
    SchemeRootLink link;
    SchRoot(SchemeInterpreter* s, SchemeCell*& slot) : sc(s) {
        link.slot = &slot;
        link.next = s->roots;
        s->roots = &link;
    }
    ~SchRoot() { sc->roots = link.next; }
    SchRoot(const SchRoot&) = delete;
    SchRoot& operator=(const SchRoot&) = delete;
};

// ---- heap (heap.cpp) ----

[[noreturn]] void sch_fatal(SchemeInterpreter* sc, const char16_t* message);
void* sch_palloc(SchemeInterpreter* sc, uint64_t size);
void sch_pfree(SchemeInterpreter* sc, void* block);
void* sch_prealloc(SchemeInterpreter* sc, void* block, uint64_t size);
uint64_t sch_size_add(SchemeInterpreter* sc, uint64_t a, uint64_t b);
uint64_t sch_size_mul(SchemeInterpreter* sc, uint64_t a, uint64_t b);
void sch_add_segment(SchemeInterpreter* sc);
// Makes sure the next `cells` allocations need no collection: collects when
// fewer cells than that are free, then adds segments until they are. For
// copies made with the collector held off (a, b are rooted as in sch_alloc).
void sch_reserve_cells(SchemeInterpreter* sc, int64_t cells, SchemeCell* a, SchemeCell* b);
SchemeCell* sch_alloc(SchemeInterpreter* sc, SchemeCell* a, SchemeCell* b);
void sch_collect(SchemeInterpreter* sc, SchemeCell* a, SchemeCell* b, bool fullSweep);
void sch_finalize(SchemeInterpreter* sc, SchemeCell* c);
void sch_clear_print_marks(SchemeInterpreter* sc);

SchemeCell* cons(SchemeInterpreter* sc, SchemeCell* a, SchemeCell* b);
SchemeCell* mk_atom(SchemeInterpreter* sc, int type); // payload null, cdr NIL
SchemeCell* mk_integer(SchemeInterpreter* sc, int64_t v);
SchemeCell* mk_character(SchemeInterpreter* sc, uint32_t cp);
SchemeCell* mk_string_n(SchemeInterpreter* sc, int64_t units);
SchemeCell* mk_string(SchemeInterpreter* sc, const char16_t* text, int64_t units = -1);
SchemeCell* mk_symbol(SchemeInterpreter* sc, const char16_t* name);
SchemeCell* mk_gensym(SchemeInterpreter* sc);
SchemeCell* mk_syntax(SchemeInterpreter* sc, int op, int type);
SchemeCell* mk_closure(SchemeInterpreter* sc, SchemeCell* code, SchemeCell* env, int type = SCH_CLOSURE);
SchemeCell* mk_vector(SchemeInterpreter* sc, int64_t count, SchemeCell* fill);
SchemeCell* mk_vector_from_list(SchemeInterpreter* sc, SchemeCell* list, int64_t count);
SchemeCell* mk_eof(SchemeInterpreter* sc);
SchemeCell* mk_regexp(SchemeInterpreter* sc, const char16_t* pattern, bool ignoreCase);
bool sch_compile_regexp(SchemeInterpreter* sc, SchemeCell* cell); // false: the pattern does not compile
void sch_release_regexp(SchemeRegexpData* d);
SchemeCell* mk_hostfn(SchemeInterpreter* sc, const char16_t* name, SchemeHostFn fn, int minArgs, int maxArgs,
                      const char16_t* letters);

// Text operations (UTF-16, NUL-terminated).
int64_t text_len(const char16_t* s);
uint32_t text_char_at(const char16_t* p, int* units);
int text_put_char(uint32_t cp, char16_t* out);
int text_compare(const char16_t* a, const char16_t* b, bool foldAscii);
int64_t text_count_chars(const char16_t* from, const char16_t* to);

// Lists and comparison.
int64_t list_length(SchemeCell* nil, SchemeCell* list); // -1 dotted, -2 circular
inline bool is_proper_list(SchemeCell* nil, SchemeCell* list) {
    // Short lists (most forms) are settled here; a cycle needs the full walk.
    SchemeCell* p = list;
    for (int i = 0; i < 8; ++i) {
        if (p == nil) return true;
        if (!is_pair(p)) return false;
        p = cdr(p);
    }
    return list_length(nil, list) >= 0;
}
SchemeCell* list_reverse(SchemeInterpreter* sc, SchemeCell* list);
SchemeCell* list_reverse_in_place(SchemeInterpreter* sc, SchemeCell* list, SchemeCell* tail);
SchemeCell* list_copy(SchemeInterpreter* sc, SchemeCell* list);
bool sch_eqv(const SchemeCell* a, const SchemeCell* b);
bool sch_equal(SchemeInterpreter* sc, SchemeCell* a, SchemeCell* b);

// ---- hash tables (hash.cpp) ----

enum { HK_EQ = 0, HK_EQV = 1, HK_EQUAL = 2, HK_STRING = 3, HK_PTR = 4, HK_OBLIST = 5 };
struct SchHashEntry {
    SchHashEntry* next;
    uint32_t hash;
    uint64_t key;
    SchemeCell* value;
    SchHashEntry* indexNext; // chain of the table's index by full hash, when it has one
};
struct SchHashIter;
SchemeCell* hash_make(SchemeInterpreter* sc, int buckets, const char16_t* kindName);
SchemeCell* hash_make_kind(SchemeInterpreter* sc, int buckets, int kind);
uint32_t hash_key(SchHashTable* t, uint64_t key);
// The binding-cache slot of a symbol (a frame table's key).
inline auto& binding_cache_slot(SchemeInterpreter* sc, uint64_t key) {
    return sc->bindingCache[((key >> 3) ^ (key >> 11)) & 255];
}
SchHashEntry* hash_lookup(SchemeInterpreter* sc, SchHashTable* t, uint32_t hash, uint64_t key, int operation);
inline SchHashTable* hash_table_of(const SchemeCell* c) {
    return payload<SchemeHashData>(c)->table;
}
uint32_t hash_count(SchHashTable* t);
void hash_free_table(SchemeInterpreter* sc, SchHashTable* t);
SchHashIter* hash_iter_new(SchemeInterpreter* sc, SchHashTable* t);
SchHashEntry* hash_iter_next(SchHashIter* it);
void hash_iter_free(SchemeInterpreter* sc, SchHashIter* it);
void hash_mark(SchemeInterpreter* sc, SchemeCell* c, void (*markOne)(SchemeInterpreter*, SchemeCell*));
uint32_t hash_units(const char16_t* s);

// ---- environments and the machine (eval.cpp) ----

SchemeCell** env_lookup(SchemeInterpreter* sc, SchemeCell* env, SchemeCell* sym);
void env_define(SchemeInterpreter* sc, SchemeCell* env, SchemeCell* sym, SchemeCell* value);
void env_add(SchemeInterpreter* sc, SchemeCell* env, SchemeCell* sym, SchemeCell* value);
void dump_push(SchemeInterpreter* sc, int op, SchemeCell* args, SchemeCell* code);
SchemeCell* s_return(SchemeInterpreter* sc, SchemeCell* value);
SchemeCell* s_goto(SchemeInterpreter* sc, int op);
SchemeCell* raise_error(SchemeInterpreter* sc, const char16_t* message, SchemeCell* irritant);
SchemeCell* raise_error0(SchemeInterpreter* sc, const char16_t* message);
SchemeCell* raise_msg(SchemeInterpreter* sc, SchemeCell* irritant); // message from sc->msg

// Argument gathering: fills out[] with up to max arguments; false after
// raising the error.
bool gather_args(SchemeInterpreter* sc, const char16_t* name, int minArgs, int maxArgs,
                 const char16_t* letters, bool allLetters, SchemeCell* list, SchemeCell** out, int* count);
// The argument-checker letter for a proper list, written by its code so no
// source line reads like a wide literal.
constexpr char16_t kListLetter = 0x4C;
bool check_letter(SchemeInterpreter* sc, char16_t letter, SchemeCell* arg, const char16_t* name);
const char16_t* op_name(int op);

// A primitive's arguments, gathered by its opcode row's counts and letters
// into at most N slots; false after raising the error.
template <int N> struct OpArgs {
    SchemeCell* a[N];
    int n = 0;
};
template <int N> bool gather_op(SchemeInterpreter* sc, int op, OpArgs<N>& g) {
    const SchemeOpRow& row = OpcodeTable[op];
    int max = row.maxArgs < 0 || row.maxArgs > N ? N : row.maxArgs;
    for (auto& x : g.a) x = sc->NIL;
    return gather_args(sc, op_name(op), row.minArgs, max, row.letters, row.allLetters, sc->args, g.a, &g.n);
}

// Handler groups.
SchemeCell* op_placeholder(SchemeInterpreter* sc, int op);
SchemeCell* op_eval(SchemeInterpreter* sc, int op);   // 3, 5, 11-15, 100, 196, 4, 9, 10
SchemeCell* op_syntax(SchemeInterpreter* sc, int op); // 16-51, 112
SchemeCell* op_control(SchemeInterpreter* sc, int op);
SchemeCell* op_arith(SchemeInterpreter* sc, int op);
SchemeCell* op_list(SchemeInterpreter* sc, int op);
SchemeCell* op_output(SchemeInterpreter* sc, int op);
SchemeCell* op_vector(SchemeInterpreter* sc, int op);
SchemeCell* op_reader(SchemeInterpreter* sc, int op);  // 103-111
SchemeCell* op_printer(SchemeInterpreter* sc, int op); // 93, 94, 114
SchemeCell* op_port(SchemeInterpreter* sc, int op);
SchemeCell* op_hash(SchemeInterpreter* sc, int op);
SchemeCell* op_string(SchemeInterpreter* sc, int op); // 127, 130-135
SchemeCell* op_regexp(SchemeInterpreter* sc, int op); // 163-171
SchemeCell* op_class(SchemeInterpreter* sc, int op);  // 184-194

// The built-in classes <sys-tm> and <sys-stat>, bound at creation.
void sch_define_builtin_classes(SchemeInterpreter* sc);

// Marks an internal exit frame: popping it ends only its own run. The exit
// primitive applied by a script sets the exit request every run honours.
inline SchemeCell* exit_frame_marker(SchemeInterpreter* sc) {
    return sc->T;
}

// ---- reader, printer and ports (reader.cpp, port.cpp) ----

SchemeCell* mk_port(SchemeInterpreter* sc, FILE* stream, uint32_t flags, const char16_t* name,
                    int64_t capacity);
SchemeCell* mk_string_input_port(SchemeInterpreter* sc, const char16_t* text, int64_t units);
SchemeCell* mk_string_output_port(SchemeInterpreter* sc, int64_t capacity);
SchemeCell* open_file_port(SchemeInterpreter* sc, const char16_t* path, bool output);
void port_close(SchemeCell* port);
void port_write(SchemeInterpreter* sc, SchemeCell* port, const char16_t* text, int64_t units);
void out_text(SchemeInterpreter* sc, const char16_t* text);
void string_port_append(SchemeInterpreter* sc, SchemePort* p, const char16_t* text, int64_t units);
bool port_fill(SchemeInterpreter* sc, SchemePort* p);
uint32_t port_peek(SchemeInterpreter* sc, SchemeCell* port, int* units);
bool port_has_more(SchemeInterpreter* sc, SchemeCell* port);
void port_discard_input(SchemeInterpreter* sc, SchemeCell* port);
int32_t lex_token(SchemeInterpreter* sc);
