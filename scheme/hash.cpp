// Hash tables: the oblist, the global frame and the script's hash tables.
// Buckets live in segments of 256 pointers under a directory; entries come
// from blocks and are reused through a free list. The bucket count is fixed
// when the table is made.
#include <cstring>

#include "scheme/sch_impl.h"

struct SchHashIter {
    SchHashTable* table;
    uint32_t bucket;
    SchHashEntry* pending;
    SchHashIter* nextIter; // the table's live iterators
};

struct SchHashTable {
    SchHashEntry*** directory;
    SchHashEntry* freeList;
    void* blocks;
    uint32_t count;
    uint32_t directorySize;
    uint32_t segments;
    uint32_t maxBucket;
    uint32_t highMask;
    uint32_t lowMask;
    uint32_t keySize;
    uint32_t dataSize;
    uint32_t segmentSize;
    uint32_t segmentShift;
    uint32_t entriesPerBlock;
    void* (*allocate)(SchemeInterpreter* sc, uint64_t size);
    SchemeInterpreter* user;
    void (*release)(SchemeInterpreter* sc, void* block);
    uint32_t (*hash)(uint64_t key);
    int (*compare)(SchemeInterpreter* sc, uint64_t a, uint64_t b);
    SchemeCell* owner;
    uint32_t kind;
    SchHashIter* iterators;
    // The bucket count never changes, so the chains of a table holding many
    // more keys than buckets grow long. From kIndexLoad keys per bucket on,
    // lookups go through an index of the entries by their full hash, which
    // grows with the count, and insertions find the end of their chain
    // through the tails array. The chains keep their order: iteration and
    // the first match of a lookup are what they are without the index.
    SchHashEntry** index;
    uint32_t indexMask;
    SchHashEntry** tails; // the last entry of every bucket, while the index exists
};

namespace {

inline uint32_t fnv_bytes(uint64_t v, int n) {
    uint32_t h = 0;
    for (int i = 0; i < n; ++i) {
        h *= 16777619u;
        h ^= static_cast<uint32_t>((v >> (8 * i)) & 0xFF);
    }
    return h;
}

inline SchemeCell* as_cell(uint64_t k) {
    return reinterpret_cast<SchemeCell*>(k);
}

uint32_t hash_eqv(uint64_t key) {
    SchemeCell* c = as_cell(key);
    if (is_int(c)) return fnv_bytes(static_cast<uint64_t>(c->a.ival), 8);
    if (is_type(c, SCH_CHARACTER)) return fnv_bytes(c->a.u32, 4);
    return fnv_bytes(key, 8);
}

uint32_t hash_equal(uint64_t key) {
    SchemeCell* c = as_cell(key);
    if (is_int(c)) return fnv_bytes(static_cast<uint64_t>(c->a.ival), 8);
    if (is_type(c, SCH_CHARACTER)) return fnv_bytes(c->a.u32, 4);
    if (is_string(c)) return hash_units(str_text(c));
    return static_cast<uint32_t>(type_of(c));
}

uint32_t hash_string(uint64_t key) {
    SchemeCell* c = as_cell(key);
    if (is_string(c)) return hash_units(str_text(c));
    return static_cast<uint32_t>(type_of(c));
}

uint32_t hash_ptr(uint64_t key) {
    return fnv_bytes(key, 8);
}

uint32_t hash_name(uint64_t key) {
    return hash_units(reinterpret_cast<const char16_t*>(key));
}

int cmp_eqv(SchemeInterpreter*, uint64_t a, uint64_t b) {
    return sch_eqv(as_cell(a), as_cell(b)) ? 0 : 1;
}
int cmp_equal(SchemeInterpreter* sc, uint64_t a, uint64_t b) {
    return sch_equal(sc, as_cell(a), as_cell(b)) ? 0 : 1;
}
int cmp_string(SchemeInterpreter*, uint64_t a, uint64_t b) {
    SchemeCell* x = as_cell(a);
    SchemeCell* y = as_cell(b);
    if (!is_string(x) || !is_string(y)) return 1;
    return text_compare(str_text(x), str_text(y), false) ? 1 : 0;
}
int cmp_ptr(SchemeInterpreter*, uint64_t a, uint64_t b) {
    return a == b ? 0 : 1;
}
int cmp_name(SchemeInterpreter*, uint64_t a, uint64_t b) {
    return text_compare(reinterpret_cast<const char16_t*>(a), reinterpret_cast<const char16_t*>(b), false)
               ? 1
               : 0;
}

void* table_alloc(SchemeInterpreter* sc, uint64_t size) {
    return sch_palloc(sc, size);
}
void table_release(SchemeInterpreter* sc, void* block) {
    sch_pfree(sc, block);
}

const char16_t* const kKindNames[] = {u"eq?", u"eqv?", u"equal?", u"string=?", u"ptr-eq?", u"oblist"};

SchHashEntry** bucket_head(SchemeInterpreter* sc, SchHashTable* t, uint32_t h) {
    uint32_t b = h & t->highMask;
    if (b > t->maxBucket) b = h & t->lowMask;
    uint32_t seg = b >> t->segmentShift;
    if (seg >= t->directorySize || !t->directory[seg]) sch_fatal(sc, u"hash corrupted!!");
    return &t->directory[seg][b & (t->segmentSize - 1)];
}

} // namespace

uint32_t hash_units(const char16_t* s) {
    uint32_t h = 0;
    for (; *s; ++s) {
        h *= 16777619u;
        h ^= *s;
    }
    return h;
}

SchemeCell* hash_make_kind(SchemeInterpreter* sc, int n, int kind) {
    uint32_t N = 1;
    while (static_cast<int64_t>(N) < n) N <<= 1;
    // The cell comes first so that its finalizer owns the record at once.
    SchemeCell* cell = sch_alloc(sc, sc->NIL, sc->NIL);
    cell->flags = SCH_ATOM | SCH_HASHTABLE;
    cell->a.ptr = nullptr;
    cell->b.cdr = sc->NIL;
    SchRoot root(sc, cell);
    // A half-made table must not be finalized: keep the cell inert until done.
    cell->flags = SCH_ATOM | SCH_INTEGER;
    SchemeHashData* data = static_cast<SchemeHashData*>(sch_palloc(sc, sizeof(SchemeHashData)));
    SchHashTable* t = nullptr;
    try {
        t = static_cast<SchHashTable*>(sch_palloc(sc, sizeof(SchHashTable)));
        memset(t, 0, sizeof *t);
        t->maxBucket = N - 1;
        t->highMask = 2 * N - 1;
        t->lowMask = N - 1;
        t->keySize = 8;
        t->dataSize = 16;
        t->segmentSize = 256;
        t->segmentShift = 8;
        t->entriesPerBlock = n > 128 ? 128 : (n < 8 ? 8 : n);
        t->allocate = table_alloc;
        t->user = sc;
        t->release = table_release;
        t->kind = kind;
        switch (kind) {
        case HK_EQ:
        case HK_EQV:
            t->hash = hash_eqv;
            t->compare = cmp_eqv;
            break;
        case HK_EQUAL:
            t->hash = hash_equal;
            t->compare = cmp_equal;
            break;
        case HK_STRING:
            t->hash = hash_string;
            t->compare = cmp_string;
            break;
        case HK_PTR:
            t->hash = hash_ptr;
            t->compare = cmp_ptr;
            break;
        default:
            t->hash = hash_name;
            t->compare = cmp_name;
            break;
        }
        uint32_t segs = ((N - 1) >> 8) + 1;
        uint32_t dir = 1;
        while (dir < segs) dir <<= 1;
        t->directorySize = dir;
        t->directory = static_cast<SchHashEntry***>(t->allocate(sc, sizeof(SchHashEntry**) * dir));
        memset(t->directory, 0, sizeof(SchHashEntry**) * dir);
        for (uint32_t i = 0; i < segs; ++i) {
            t->directory[i] = static_cast<SchHashEntry**>(t->allocate(sc, sizeof(SchHashEntry*) * 256));
            memset(t->directory[i], 0, sizeof(SchHashEntry*) * 256);
            t->segments = i + 1;
        }
    } catch (...) {
        hash_free_table(sc, t);
        sch_pfree(sc, data);
        throw;
    }
    t->owner = cell;
    data->table = t;
    data->kind = kind;
    cell->a.ptr = data;
    cell->flags = SCH_ATOM | SCH_HASHTABLE;
    return cell;
}

SchemeCell* hash_make(SchemeInterpreter* sc, int buckets, const char16_t* kindName) {
    for (int k = 0; k < 6; ++k) {
        if (text_compare(kindName, kKindNames[k], false) == 0) return hash_make_kind(sc, buckets, k);
    }
    sch_fatal(sc, u"mk_hash: unsupported type");
}

uint32_t hash_key(SchHashTable* t, uint64_t key) {
    return t->hash(key);
}

uint32_t hash_count(SchHashTable* t) {
    return t->count;
}

namespace {

constexpr uint32_t kIndexLoad = 2;

uint32_t bucket_of(const SchHashTable* t, uint32_t h) {
    uint32_t b = h & t->highMask;
    return b > t->maxBucket ? h & t->lowMask : b;
}

// (Re)builds the index for at least `count` entries, walking the chains in
// bucket and chain order so that entries of one hash keep their order.
void build_index(SchemeInterpreter* sc, SchHashTable* t, uint32_t count) {
    uint32_t size = 1024;
    while (size < count && size < 0x80000000u) size <<= 1;
    uint32_t buckets = t->maxBucket + 1;
    auto* index = static_cast<SchHashEntry**>(t->allocate(sc, sizeof(SchHashEntry*) * uint64_t{size}));
    SchHashEntry** tails = t->tails;
    if (!tails) {
        try {
            tails = static_cast<SchHashEntry**>(t->allocate(sc, sizeof(SchHashEntry*) * uint64_t{buckets}));
        } catch (...) {
            t->release(sc, index);
            throw;
        }
    }
    memset(index, 0, sizeof(SchHashEntry*) * size);
    // The last entry of each index chain while it is built: the index
    // itself holds the heads, the tails array the bucket ends.
    for (uint32_t b = 0; b < buckets; ++b) {
        SchHashEntry* last = nullptr;
        SchHashEntry** seg = t->directory[b >> t->segmentShift];
        for (SchHashEntry* e = seg ? seg[b & (t->segmentSize - 1)] : nullptr; e; e = e->next) {
            e->indexNext = nullptr;
            SchHashEntry** at = &index[e->hash & (size - 1)];
            while (*at) at = &(*at)->indexNext;
            *at = e;
            last = e;
        }
        tails[b] = last;
    }
    if (t->index) t->release(sc, t->index);
    t->index = index;
    t->indexMask = size - 1;
    t->tails = tails;
}

// Takes e, which *link points at in its bucket chain, out of the table onto
// its free list. Only the binding-cache slot of e's key can remember e, and an
// iterator waiting on e moves past it first.
void free_entry(SchemeInterpreter* sc, SchHashTable* t, SchHashEntry** link, SchHashEntry* e) {
    auto& slot = binding_cache_slot(sc, e->key);
    if (slot.entry == e) slot = {};
    for (SchHashIter* it = t->iterators; it; it = it->nextIter) {
        if (it->pending == e) {
            it->pending = e->next;
            if (!e->next) ++it->bucket;
        }
    }
    *link = e->next;
    --t->count;
    e->next = t->freeList;
    t->freeList = e;
}

} // namespace

SchHashEntry* hash_lookup(SchemeInterpreter* sc, SchHashTable* t, uint32_t h, uint64_t key, int operation) {
    if (!t->index && operation == 1 && t->count >= kIndexLoad * (t->maxBucket + 1))
        build_index(sc, t, t->count);
    if (t->index) {
        if (operation == 1 && t->count > t->indexMask) build_index(sc, t, t->count + 1);
        SchHashEntry** at = &t->index[h & t->indexMask];
        for (SchHashEntry* e = *at; e; at = &e->indexNext, e = e->indexNext) {
            if (e->hash != h || t->compare(sc, e->key, key) != 0) continue;
            if (operation == 2) {
                *at = e->indexNext;
                // Unlink from the bucket chain, moving its tail back.
                uint32_t b = bucket_of(t, h);
                SchHashEntry** link = bucket_head(sc, t, h);
                SchHashEntry* prev = nullptr;
                while (*link != e) {
                    prev = *link;
                    link = &prev->next;
                }
                if (t->tails[b] == e) t->tails[b] = prev;
                free_entry(sc, t, link, e);
            }
            return e;
        }
        if (operation != 1) return nullptr;
    }
    SchHashEntry** link = bucket_head(sc, t, h);
    if (t->index) {
        // A new key: straight to the end of its chain.
        SchHashEntry* last = t->tails[bucket_of(t, h)];
        if (last) link = &last->next;
    }
    for (SchHashEntry* e = t->index ? nullptr : *link; e; link = &e->next, e = e->next) {
        if (e->hash != h || t->compare(sc, e->key, key) != 0) continue;
        if (operation == 2) free_entry(sc, t, link, e);
        return e;
    }
    if (operation != 1) return nullptr;
    if (!t->freeList) {
        uint64_t bytes = sizeof(void*) + sizeof(SchHashEntry) * static_cast<uint64_t>(t->entriesPerBlock);
        void** block = static_cast<void**>(t->allocate(sc, bytes));
        *block = t->blocks;
        t->blocks = block;
        SchHashEntry* entries = reinterpret_cast<SchHashEntry*>(block + 1);
        for (uint32_t i = 0; i < t->entriesPerBlock; ++i) {
            entries[i].next = t->freeList;
            t->freeList = &entries[i];
        }
    }
    SchHashEntry* e = t->freeList;
    t->freeList = e->next;
    ++t->count;
    e->next = nullptr;
    e->hash = h;
    e->key = key;
    e->value = nullptr;
    e->indexNext = nullptr;
    *link = e;
    if (t->index) {
        t->tails[bucket_of(t, h)] = e;
        SchHashEntry** at = &t->index[h & t->indexMask];
        while (*at) at = &(*at)->indexNext;
        *at = e;
    }
    return e;
}

void hash_free_table(SchemeInterpreter* sc, SchHashTable* t) {
    if (!t) return;
    for (auto& slot : sc->bindingCache)
        if (slot.table == t) slot = {};
    for (SchHashIter* it = t->iterators; it; it = it->nextIter) it->table = nullptr;
    if (t->directory) {
        for (uint32_t i = 0; i < t->segments; ++i) t->release(sc, t->directory[i]);
        t->release(sc, t->directory);
    }
    if (t->index) t->release(sc, t->index);
    if (t->tails) t->release(sc, t->tails);
    for (void* b = t->blocks; b;) {
        void* next = *static_cast<void**>(b);
        t->release(sc, b);
        b = next;
    }
    t->release(sc, t);
}

SchHashIter* hash_iter_new(SchemeInterpreter* sc, SchHashTable* t) {
    SchHashIter* it = static_cast<SchHashIter*>(sch_palloc(sc, sizeof(SchHashIter)));
    it->table = t;
    it->bucket = 0;
    it->pending = nullptr;
    it->nextIter = t->iterators;
    t->iterators = it;
    return it;
}

SchHashEntry* hash_iter_next(SchHashIter* it) {
    SchHashTable* t = it->table;
    if (!t) return nullptr;
    if (it->pending) {
        SchHashEntry* e = it->pending;
        it->pending = e->next;
        if (!e->next) ++it->bucket;
        return e;
    }
    for (; it->bucket <= t->maxBucket; ++it->bucket) {
        uint32_t seg = it->bucket >> t->segmentShift;
        SchHashEntry* e = t->directory[seg] ? t->directory[seg][it->bucket & (t->segmentSize - 1)] : nullptr;
        if (e) {
            it->pending = e->next;
            if (!e->next) ++it->bucket;
            return e;
        }
    }
    return nullptr;
}

void hash_iter_free(SchemeInterpreter* sc, SchHashIter* it) {
    if (!it) return;
    if (it->table) {
        for (SchHashIter** p = &it->table->iterators; *p; p = &(*p)->nextIter) {
            if (*p == it) {
                *p = it->nextIter;
                break;
            }
        }
    }
    sch_pfree(sc, it);
}

void hash_mark(SchemeInterpreter* sc, SchemeCell* c, void (*markOne)(SchemeInterpreter*, SchemeCell*)) {
    SchemeHashData* d = payload<SchemeHashData>(c);
    if (!d || !d->table) return;
    SchHashTable* t = d->table;
    // Marking must not allocate: walk the buckets directly.
    for (uint32_t b = 0; b <= t->maxBucket; ++b) {
        SchHashEntry** seg = t->directory[b >> t->segmentShift];
        if (!seg) continue;
        for (SchHashEntry* e = seg[b & (t->segmentSize - 1)]; e; e = e->next) {
            if (t->kind != HK_OBLIST) markOne(sc, as_cell(e->key));
            markOne(sc, e->value);
        }
    }
}

// ---------------------------------------------------------------- primitives

namespace {

const char16_t* kind_symbol(uint32_t kind) {
    return kind < 4 ? kKindNames[kind] : u"unknown";
}

} // namespace

const char16_t* hash_kind_print_name(uint32_t kind) {
    return kind < 4 ? kKindNames[kind] : u"unknown";
}

SchemeCell* op_hash(SchemeInterpreter* sc, int op) {
    const SchemeOpRow& row = OpcodeTable[op];
    SchemeCell* a[3] = {sc->NIL, sc->NIL, sc->NIL};
    int n = 0;
    if (op != 180 && op != 182) {
        if (!gather_args(sc, row.name, row.minArgs, row.maxArgs, row.letters, row.allLetters, sc->args, a,
                         &n))
            return sc->T;
    }
    switch (op) {
    case 172: { // make-hash-table
        int kind = HK_EQ;
        if (n >= 1) {
            kind = -1;
            for (int k = 0; k < 4; ++k) {
                if (text_compare(sym_name(a[0]), kKindNames[k], false) == 0) kind = k;
            }
            if (kind < 0) return raise_error(sc, u"unsupported hash type: ", a[0]);
        }
        return s_return(sc, hash_make_kind(sc, 256, kind));
    }
    case 173: return s_return(sc, mk_symbol(sc, kind_symbol(payload<SchemeHashData>(a[0])->kind)));
    case 174: { // hash-table-put!
        SchHashTable* t = hash_table_of(a[0]);
        if (t->kind == HK_STRING && !check_letter(sc, u'S', a[1], row.name)) return raise_msg(sc, a[1]);
        uint64_t key = reinterpret_cast<uint64_t>(a[1]);
        SchHashEntry* e = hash_lookup(sc, t, t->hash(key), key, 1);
        e->value = a[2];
        return s_return(sc, sc->UNDEF);
    }
    case 175: {
        SchHashTable* t = hash_table_of(a[0]);
        uint64_t key = reinterpret_cast<uint64_t>(a[1]);
        return s_return(sc, hash_lookup(sc, t, t->hash(key), key, 2) ? sc->T : sc->F);
    }
    case 176:
    case 177: {
        SchHashTable* t = hash_table_of(a[0]);
        uint64_t key = reinterpret_cast<uint64_t>(a[1]);
        SchHashEntry* e = hash_lookup(sc, t, t->hash(key), key, 0);
        if (op == 177) return s_return(sc, e ? sc->T : sc->F);
        if (e) return s_return(sc, e->value);
        if (n >= 3) return s_return(sc, a[2]);
        return raise_error(sc, u"hash-table-get: key not found", a[1]);
    }
    case 178: return s_return(sc, mk_integer(sc, hash_count(hash_table_of(a[0]))));
    case 179:
    case 181: {
        // args = (iterator table procedure results)
        SchemeCell* table = a[0];
        SchemeCell* proc = a[1];
        SchRoot g1(sc, table);
        SchRoot g2(sc, proc);
        SchemeCell* it = sch_alloc(sc, sc->NIL, sc->NIL);
        it->flags = SCH_ATOM | SCH_HASHITER;
        it->a.ptr = nullptr;
        it->b.cdr = sc->NIL;
        it->a.ptr = hash_iter_new(sc, hash_table_of(table));
        SchRoot g3(sc, it);
        SchemeCell* l = cons(sc, proc, sc->NIL);
        l = cons(sc, table, l);
        sc->args = cons(sc, it, l);
        sc->value = sc->NIL;
        if (op == 181) {
            // The results list lives in the last cell of args.
            sc->args->b.cdr->b.cdr->b.cdr = cons(sc, sc->NIL, sc->NIL);
        }
        sc->code = sc->NIL;
        return s_goto(sc, op == 179 ? 180 : 182);
    }
    case 180:
    case 182: {
        SchemeCell* state = sc->args;
        SchemeCell* itCell = car(state);
        SchemeCell* proc = car(cddr(state));
        SchemeCell* results = op == 182 ? cdr(cddr(state)) : sc->NIL;
        if (op == 182 && sc->code == sc->T) {
            // A result came back from the procedure.
            results->a.car = cons(sc, sc->value, car(results));
        }
        SchHashEntry* e = hash_iter_next(static_cast<SchHashIter*>(itCell->a.ptr));
        if (!e) {
            if (op == 180) return s_return(sc, sc->UNDEF);
            return s_return(sc, list_reverse_in_place(sc, car(results), sc->NIL));
        }
        dump_push(sc, op, state, sc->T);
        SchemeCell* key = as_cell(e->key);
        SchemeCell* val = e->value;
        SchemeCell* l = cons(sc, val, sc->NIL);
        sc->args = cons(sc, key, l);
        sc->code = proc;
        return s_goto(sc, 14);
    }
    case 183: return s_return(sc, is_type(a[0], SCH_HASHTABLE) ? sc->T : sc->F);
    default: return op_placeholder(sc, op);
    }
}
