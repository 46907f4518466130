// The opcode machine: environments, the dump, argument gathering, evaluation
// and application, and the special forms.
#include <windows.h>

#include <charconv>
#include <cstring>
#include <vector>

#include "base/mempool.h"
#include "scheme/sch_impl.h"

// ---------------------------------------------------------------- environments

namespace {

SchemeCell** table_frame_lookup(SchemeInterpreter* sc, SchemeCell* frame, SchemeCell* sym) {
    SchHashTable* t = hash_table_of(frame);
    auto& slot = binding_cache_slot(sc, reinterpret_cast<uint64_t>(sym));
    if (slot.sym == sym && slot.table == t) return &slot.entry->value;
    uint64_t key = reinterpret_cast<uint64_t>(sym);
    SchHashEntry* e = hash_lookup(sc, t, hash_key(t, key), key, 0);
    if (!e) return nullptr;
    slot.sym = sym;
    slot.table = t;
    slot.entry = e;
    return &e->value;
}

} // namespace

SchemeCell** env_lookup(SchemeInterpreter* sc, SchemeCell* env, SchemeCell* sym) {
    // Every environment ends in the global frame, the only table frame. A
    // name no list frame has ever bound is looked up there at once.
    if (!(sym->flags & SCH_LOCAL_NAME) && is_pair(env) && is_pair(sc->globalEnv))
        return table_frame_lookup(sc, car(sc->globalEnv), sym);
    for (; is_pair(env); env = cdr(env)) {
        SchemeCell* frame = car(env);
        if (is_type(frame, SCH_HASHTABLE)) {
            if (SchemeCell** v = table_frame_lookup(sc, frame, sym)) return v;
            continue;
        }
        for (SchemeCell* p = frame; is_pair(p); p = cdr(p)) {
            SchemeCell* b = car(p);
            if (car(b) == sym) return &b->b.cdr;
        }
    }
    return nullptr;
}

void env_add(SchemeInterpreter* sc, SchemeCell* env, SchemeCell* sym, SchemeCell* value) {
    SchemeCell* frame = car(env);
    if (is_type(frame, SCH_HASHTABLE)) {
        SchHashTable* t = hash_table_of(frame);
        uint64_t key = reinterpret_cast<uint64_t>(sym);
        hash_lookup(sc, t, hash_key(t, key), key, 1)->value = value;
        return;
    }
    SchRoot r(sc, env);
    if (is_symbol(sym)) sym->flags |= SCH_LOCAL_NAME;
    SchemeCell* b = cons(sc, sym, value);
    env->a.car = cons(sc, b, car(env));
}

void env_define(SchemeInterpreter* sc, SchemeCell* env, SchemeCell* sym, SchemeCell* value) {
    SchemeCell* frame = car(env);
    if (!is_type(frame, SCH_HASHTABLE)) {
        for (SchemeCell* p = frame; is_pair(p); p = cdr(p)) {
            if (caar(p) == sym) {
                car(p)->b.cdr = value;
                return;
            }
        }
    }
    env_add(sc, env, sym, value);
}

// ---------------------------------------------------------------- dump

void dump_push(SchemeInterpreter* sc, int op, SchemeCell* args, SchemeCell* code) {
    if (sc->dumpCount == sc->dumpCapacity) {
        int64_t cap = sc->dumpCapacity ? sc->dumpCapacity * 2 : 32;
        uint64_t bytes = sch_size_mul(sc, static_cast<uint64_t>(cap), sizeof(SchemeFrame));
        sc->dump = static_cast<SchemeFrame*>(sch_prealloc(sc, sc->dump, bytes));
        sc->dumpCapacity = cap;
    }
    SchemeFrame& f = sc->dump[sc->dumpCount++];
    f.op = op;
    f.args = args;
    f.env = sc->env;
    f.code = code;
    if (sc->dumpCount > sc->testMaxDumpFrames) sc->testMaxDumpFrames = sc->dumpCount;
}

SchemeCell* s_return(SchemeInterpreter* sc, SchemeCell* value) {
    sc->value = value;
    sc->values = nullptr;
    if (sc->dumpCount == 0) return sc->NIL;
    SchemeFrame& f = sc->dump[--sc->dumpCount];
    sc->op = f.op;
    sc->args = f.args;
    sc->env = f.env;
    sc->code = f.code;
    return sc->T;
}

SchemeCell* s_goto(SchemeInterpreter* sc, int op) {
    sc->op = op;
    return sc->T;
}

// ---------------------------------------------------------------- errors

namespace {

void msg_set(SchemeInterpreter* sc, std::initializer_list<const char16_t*> parts) {
    int n = 0;
    for (const char16_t* part : parts) {
        for (const char16_t* p = part; p && *p && n < SCH_MSG_UNITS - 1; ++p) sc->msg[n++] = *p;
    }
    sc->msg[n] = 0;
}

void int_text(int64_t v, char16_t* out) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    int n = 0;
    for (char* p = buf; p < r.ptr; ++p) out[n++] = *p;
    out[n] = 0;
}

} // namespace

SchemeCell* raise_error(SchemeInterpreter* sc, const char16_t* message, SchemeCell* irritant) {
    SchRoot r(sc, irritant);
    SchemeCell* l = cons(sc, irritant, sc->NIL);
    SchRoot r2(sc, l);
    SchemeCell* m = mk_string(sc, message);
    sc->args = cons(sc, m, l);
    return s_goto(sc, 95);
}

SchemeCell* raise_error0(SchemeInterpreter* sc, const char16_t* message) {
    SchemeCell* m = mk_string(sc, message);
    sc->args = cons(sc, m, sc->NIL);
    return s_goto(sc, 95);
}

SchemeCell* raise_msg(SchemeInterpreter* sc, SchemeCell* irritant) {
    char16_t copy[SCH_MSG_UNITS];
    memcpy(copy, sc->msg, sizeof copy);
    return raise_error(sc, copy, irritant);
}

const char16_t* op_name(int op) {
    const char16_t* n = op >= 0 && op < SCH_OPCODES ? OpcodeTable[op].name : nullptr;
    return n ? n : u"";
}

// ---------------------------------------------------------------- argument checks

bool check_letter(SchemeInterpreter* sc, char16_t letter, SchemeCell* x, const char16_t* name) {
    const char16_t* word = nullptr;
    switch (letter) {
    case u'+':
        if (!is_int(x) || x->a.ival < 0) word = u"positive number";
        break;
    case u'C':
        if (!is_type(x, SCH_CHARACTER)) word = u"character";
        break;
    case u'H':
        if (!is_type(x, SCH_HASHTABLE)) word = u"hash-table";
        break;
    case u'I':
        if (!is_port(x) || !(port_of(x)->flags & SCH_PORT_INPUT)) word = u"input port";
        break;
    case kListLetter:
        if (!is_proper_list(sc->NIL, x)) word = u"list";
        break;
    case u'M':
        if (!is_type(x, SCH_MATCH) && x != sc->F) word = u"regmatch";
        break;
    case u'N':
        if (!is_int(x)) word = u"number";
        break;
    case u'O':
        if (!is_port(x) || !(port_of(x)->flags & SCH_PORT_OUTPUT)) word = u"output port";
        break;
    case u'P':
        if (!is_pair(x)) word = u"pair";
        break;
    case u'R':
        if (!is_type(x, SCH_REGEXP)) word = u"regexp";
        break;
    case u'S':
        if (!is_string(x)) word = u"string";
        break;
    case u'T':
        if (!is_port(x)) word = u"port";
        break;
    case u'V':
        if (!is_type(x, SCH_VECTOR)) word = u"vector";
        break;
    case u'Y':
        if (!is_symbol(x)) word = u"symbol";
        break;
    case u'b':
        if (!is_type(x, SCH_INSTANCE)) word = u"object";
        break;
    case u'c':
        if (!is_closure(x)) word = u"closure";
        break;
    case u'k':
        if (!is_type(x, SCH_CLASS)) word = u"class";
        break;
    case u'o':
        if (!is_port(x) ||
            (port_of(x)->flags & (SCH_PORT_OUTPUT | SCH_PORT_STRING)) != (SCH_PORT_OUTPUT | SCH_PORT_STRING))
            word = u"output string port";
        break;
    case u'p':
        if (!is_closure(x) && !is_type(x, SCH_PRIMITIVE)) word = u"procedure";
        break;
    case u's':
        if (!is_string(x) && !is_closure(x) && !is_type(x, SCH_PRIMITIVE)) word = u"string or procedure";
        break;
    default: break;
    }
    if (!word) return true;
    msg_set(sc, {name, u": ", word, u" required:"});
    return false;
}

bool gather_args(SchemeInterpreter* sc, const char16_t* name, int minArgs, int maxArgs,
                 const char16_t* letters, bool allLetters, SchemeCell* list, SchemeCell** out, int* count) {
    int n = 0;
    const char16_t* l = letters ? letters : u"";
    for (; is_pair(list) && (maxArgs < 0 || n < maxArgs); list = cdr(list)) {
        char16_t letter = *l;
        if (letter == u'D') {
            out[n++] = list;
            break;
        }
        SchemeCell* x = car(list);
        if (letter && !check_letter(sc, letter, x, name)) {
            raise_msg(sc, x);
            return false;
        }
        if (*l && !allLetters) ++l;
        out[n++] = x;
    }
    *count = n;
    if (n < minArgs) {
        char16_t a[24], b[24];
        int_text(minArgs, a);
        int_text(n, b);
        msg_set(sc, {u"wrong number of arguments: ", name, u" requires ", a, u", but got ", b});
        raise_error0(sc, sc->msg);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- evaluation

namespace {

inline SchemeCell* unbound(SchemeInterpreter* sc, SchemeCell* sym) {
    return raise_error(sc, u"unbounded variable", sym);
}

inline SchemeCell* lookup_fast(SchemeInterpreter* sc, SchemeCell* sym) {
    // A global name found before: its binding is remembered.
    if (!(sym->flags & SCH_LOCAL_NAME) && is_pair(sc->env)) {
        auto& c = binding_cache_slot(sc, reinterpret_cast<uint64_t>(sym));
        if (c.sym == sym && is_pair(sc->globalEnv) && c.table == hash_table_of(car(sc->globalEnv)))
            return c.entry->value;
    }
    SchemeCell** slot = env_lookup(sc, sc->env, sym);
    return slot ? *slot : nullptr;
}

// Binds in the innermost (list) frame: a new binding in front.
inline void bind_new(SchemeInterpreter* sc, SchemeCell* sym, SchemeCell* value) {
    env_add(sc, sc->env, sym, value);
}

SchemeCell* cancel_check(SchemeInterpreter* sc) {
    if (++sc->applications <= 500) return nullptr;
    bool down = (GetAsyncKeyState(sc->cancelKey) & 0x8000) != 0;
    if (down && (sc->cancelModifiers & 0x10)) down = (GetAsyncKeyState(VK_MENU) & 0x8000) != 0;
    if (down && (sc->cancelModifiers & 0x08)) down = (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
    if (down && (sc->cancelModifiers & 0x04)) down = (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
    if (!down) {
        sc->applications = 0;
        return nullptr;
    }
    sc->cancelFlag = 1;
    return raise_error0(sc, u"canceled");
}

SchemeCell* apply_closure(SchemeInterpreter* sc) {
    SchemeCell* closure = sc->code;
    sc->env = cons(sc, sc->NIL, cdr(closure));
    SchemeCell* params = car(car(closure));
    SchemeCell* args = sc->args;
    bool optional = false;
    for (;;) {
        if (params == sc->NIL) break; // extra arguments are ignored
        if (is_symbol(params)) {
            bind_new(sc, params, args);
            break;
        }
        if (!is_pair(params)) return raise_error0(sc, u"syntax error in closure");
        SchemeCell* p = car(params);
        if (p == sc->symOptional) {
            optional = true;
            if (args == sc->NIL) {
                sc->args = params;
                return s_goto(sc, 196);
            }
            params = cdr(params);
            continue;
        }
        if (args == sc->NIL) {
            if (optional) {
                sc->args = cons(sc, sc->symOptional, params);
                return s_goto(sc, 196);
            }
            return raise_error0(sc, u"few arguments");
        }
        if (!is_pair(args)) return raise_error0(sc, u"syntax-error");
        if (is_pair(p)) p = car(p);
        if (!is_symbol(p)) return raise_error0(sc, u"syntax error in closure");
        // The new frame is a list frame: the binding goes straight in front.
        p->flags |= SCH_LOCAL_NAME;
        SchemeCell* b = cons(sc, p, car(args));
        sc->env->a.car = cons(sc, b, car(sc->env));
        params = cdr(params);
        args = cdr(args);
    }
    sc->code = cdr(car(closure));
    sc->args = sc->NIL;
    return s_goto(sc, 28);
}

SchemeCell* apply_continuation(SchemeInterpreter* sc);
SchemeCell* call_host(SchemeInterpreter* sc);

// Operands evaluated without the dump: variables, constants, and
// applications of the pure primitives below to such operands, nested a few
// levels. Anything else (a form needing the machine, an unbound variable, a
// wrong argument, a redefined primitive) answers false having changed
// nothing the script can see, and the general steps evaluate the operand,
// raising any error in their own order. These inner applications are not
// counted for the cancel check: the application around them is.
constexpr int kInlineDepth = 10;

bool eval_inline(SchemeInterpreter* sc, SchemeCell* x, SchemeCell** out, int depth) {
    if (is_symbol(x)) {
        SchemeCell* v = lookup_fast(sc, x);
        if (!v) return false;
        *out = v;
        return true;
    }
    if (!is_pair(x)) {
        *out = x;
        return true;
    }
    SchemeCell* head = car(x);
    if (depth >= kInlineDepth || !is_symbol(head)) return false;
    SchemeCell* f = lookup_fast(sc, head);
    if (!f || (f->flags & (SCH_TYPE_MASK | SCH_ATOM)) != (SCH_ATOM | SCH_PRIMITIVE)) return false;
    int op = static_cast<int>(f->a.u32);
    int arity;
    switch (op) {
    case 61:
    case 62:
    case 69:
    case 71:
    case 82:
    case 119: arity = 1; break;
    case 55:
    case 56:
    case 63:
    case 66:
    case 72:
    case 73:
    case 74:
    case 75:
    case 76:
    case 117: arity = 2; break;
    case 134:
    case 135: arity = 3; break;
    default: return false;
    }
    SchemeCell* vals[3] = {sc->NIL, sc->NIL, sc->NIL};
    SchRoot r0(sc, vals[0]);
    SchRoot r1(sc, vals[1]);
    SchRoot r2(sc, vals[2]);
    int n = 0;
    for (SchemeCell* p = cdr(x); is_pair(p); p = cdr(p)) {
        if (n == arity || !eval_inline(sc, car(p), &vals[n], depth + 1)) return false;
        ++n;
    }
    if (n != arity) return false;
    SchemeCell* a = vals[0];
    SchemeCell* b = vals[1];
    switch (op) {
    case 61:
        if (!is_pair(a)) return false;
        *out = car(a);
        return true;
    case 62:
        if (!is_pair(a)) return false;
        *out = cdr(a);
        return true;
    case 69: *out = a == sc->F ? sc->T : sc->F; return true;
    case 71: *out = a == sc->NIL ? sc->T : sc->F; return true;
    case 82: *out = is_pair(a) ? sc->T : sc->F; return true;
    case 119:
        if (!is_type(a, SCH_VECTOR)) return false;
        *out = mk_integer(sc, vec_data(a)->filled);
        return true;
    case 63: *out = cons(sc, a, b); return true;
    case 66: *out = sch_eqv(a, b) ? sc->T : sc->F; return true;
    case 134:
    case 135: {
        // The comparison procedure is one of the five number comparisons.
        SchemeCell* c = vals[2];
        if (!is_type(a, SCH_PRIMITIVE) || a->a.u32 < 72 || a->a.u32 > 76 || !is_string(b) || !is_string(c))
            return false;
        int r = text_compare(str_text(b), str_text(c), op == 135);
        uint32_t t = a->a.u32;
        bool ok = t == 72 ? r == 0 : t == 73 ? r < 0 : t == 74 ? r > 0 : t == 75 ? r <= 0 : r >= 0;
        *out = ok ? sc->T : sc->F;
        return true;
    }
    case 117: {
        if (!is_type(a, SCH_VECTOR) || !is_int(b)) return false;
        SchemeVectorData* d = vec_data(a);
        int64_t i = b->a.ival;
        if (i < 0 || i >= d->filled) return false;
        *out = d->items[i];
        return true;
    }
    default: break;
    }
    if (!is_int(a) || !is_int(b)) return false;
    uint64_t ua = static_cast<uint64_t>(a->a.ival), ub = static_cast<uint64_t>(b->a.ival);
    int64_t sa = a->a.ival, sb = b->a.ival;
    switch (op) {
    case 55: *out = mk_integer(sc, static_cast<int64_t>(ua + ub)); return true;
    case 56: *out = mk_integer(sc, static_cast<int64_t>(ua - ub)); return true;
    case 72: *out = sa == sb ? sc->T : sc->F; return true;
    case 73: *out = sa < sb ? sc->T : sc->F; return true;
    case 74: *out = sa > sb ? sc->T : sc->F; return true;
    case 75: *out = sa <= sb ? sc->T : sc->F; return true;
    default: *out = sa >= sb ? sc->T : sc->F; return true;
    }
}

// A statement of a body, not its last, that stores into a vector or a pair
// (vector-set!, set-car!, set-cdr! of global name) with operands found in
// place and valid: the store is made here and the statement's value, the
// unspecified value, dropped. Answers false having done nothing otherwise.
bool store_inline(SchemeInterpreter* sc, SchemeCell* x) {
    if (!is_pair(x) || !is_symbol(car(x)) || (car(x)->flags & SCH_LOCAL_NAME)) return false;
    SchemeCell* f = lookup_fast(sc, car(x));
    if (!f || (f->flags & (SCH_TYPE_MASK | SCH_ATOM)) != (SCH_ATOM | SCH_PRIMITIVE)) return false;
    int op = static_cast<int>(f->a.u32);
    int arity = op == 118 ? 3 : op == 64 || op == 65 ? 2 : 0;
    if (!arity) return false;
    SchemeCell* vals[3] = {sc->NIL, sc->NIL, sc->NIL};
    SchRoot r0(sc, vals[0]);
    SchRoot r1(sc, vals[1]);
    SchRoot r2(sc, vals[2]);
    int n = 0;
    for (SchemeCell* p = cdr(x); is_pair(p); p = cdr(p)) {
        if (n == arity || !eval_inline(sc, car(p), &vals[n], 0)) return false;
        ++n;
    }
    if (n != arity) return false;
    if (op == 118) {
        if (!is_type(vals[0], SCH_VECTOR) || !is_int(vals[1])) return false;
        SchemeVectorData* d = vec_data(vals[0]);
        int64_t i = vals[1]->a.ival;
        if (i < 0 || i >= d->filled) return false;
        d->items[i] = vals[2];
        return true;
    }
    if (!is_pair(vals[0])) return false;
    if (op == 64)
        vals[0]->a.car = vals[1];
    else
        vals[0]->b.cdr = vals[1];
    return true;
}

// Hands an application over to the general gathering steps at operand p,
// keeping the n values already found: the argument register gets them
// reversed over the operator, as those steps build it. When p's operand is a
// form that could not be evaluated in place, its evaluation starts at once.
SchemeCell* resume_gathering(SchemeInterpreter* sc, SchemeCell* f, SchemeCell** vals, int n, SchemeCell* p,
                             bool form) {
    sc->args = cons(sc, f, sc->NIL);
    for (int i = 0; i < n; ++i) sc->args = cons(sc, vals[i], sc->args);
    if (!form) {
        // The gathering step pushes the value register first.
        sc->value = car(sc->args);
        sc->args = cdr(sc->args);
        sc->code = p;
        return s_goto(sc, 13);
    }
    dump_push(sc, 13, sc->args, cdr(p));
    sc->code = car(p);
    sc->args = sc->NIL;
    return s_goto(sc, 11);
}

// A primitive or closure applied to operands that need no step of the
// machine (see eval_inline): the values are found here, left to right, and
// the argument list is built in order, without the operator cell and without
// a pass through the gathering steps. Two integers given to + - = < > <= >=
// are computed at once. Answers null when an operand needs the general steps.
SchemeCell* apply_simple(SchemeInterpreter* sc, SchemeCell* f, SchemeCell* operands) {
    SchemeCell* vals[4] = {sc->NIL, sc->NIL, sc->NIL, sc->NIL};
    SchRoot r0(sc, vals[0]);
    SchRoot r1(sc, vals[1]);
    SchRoot r2(sc, vals[2]);
    SchRoot r3(sc, vals[3]);
    int n = 0;
    for (SchemeCell* p = operands; is_pair(p); p = cdr(p)) {
        SchemeCell* x = car(p);
        if (n == 4) return resume_gathering(sc, f, vals, n, p, false);
        if (is_symbol(x)) {
            SchemeCell* v = lookup_fast(sc, x);
            if (!v) return unbound(sc, x);
            vals[n++] = v;
            continue;
        }
        if (!eval_inline(sc, x, &vals[n], 0)) return resume_gathering(sc, f, vals, n, p, is_pair(x));
        ++n;
    }
    int op = is_closure(f) ? -1 : static_cast<int>(f->a.u32);
    if (n == 2 && op >= 0 && is_int(vals[0]) && is_int(vals[1])) {
        uint64_t a = static_cast<uint64_t>(vals[0]->a.ival), b = static_cast<uint64_t>(vals[1]->a.ival);
        int64_t sa = vals[0]->a.ival, sb = vals[1]->a.ival;
        SchemeCell* bool_result = nullptr;
        switch (op) {
        case 55:
        case 56:
            if (SchemeCell* r = cancel_check(sc)) return r;
            return s_return(sc, mk_integer(sc, static_cast<int64_t>(op == 55 ? a + b : a - b)));
        case 72: bool_result = sa == sb ? sc->T : sc->F; break;
        case 73: bool_result = sa < sb ? sc->T : sc->F; break;
        case 74: bool_result = sa > sb ? sc->T : sc->F; break;
        case 75: bool_result = sa <= sb ? sc->T : sc->F; break;
        case 76: bool_result = sa >= sb ? sc->T : sc->F; break;
        default: break;
        }
        if (bool_result) {
            if (SchemeCell* r = cancel_check(sc)) return r;
            return s_return(sc, bool_result);
        }
    }
    if (op < 0) {
        // A closure whose parameters are n plain symbols gets its frame
        // straight from the values, as the closure step would bind them.
        SchemeCell* params = car(car(f));
        int count = 0;
        SchemeCell* p = params;
        for (; is_pair(p) && count <= n; p = cdr(p), ++count) {
            if (!is_symbol(car(p)) || car(p) == sc->symOptional) break;
        }
        // A rest parameter after them takes the values left over.
        bool rest = !is_pair(p) && p != sc->NIL && is_symbol(p) && count <= n;
        if ((p == sc->NIL && count == n) || rest) {
            if (SchemeCell* r = cancel_check(sc)) return r;
            sc->code = f;
            sc->env = cons(sc, sc->NIL, cdr(f));
            int i = 0;
            for (p = params; is_pair(p); p = cdr(p), ++i) {
                car(p)->flags |= SCH_LOCAL_NAME;
                SchemeCell* b = cons(sc, car(p), vals[i]);
                sc->env->a.car = cons(sc, b, car(sc->env));
            }
            if (rest) {
                SchemeCell* tail = sc->NIL;
                SchRoot rt(sc, tail);
                for (int k = n - 1; k >= i; --k) tail = cons(sc, vals[k], tail);
                p->flags |= SCH_LOCAL_NAME;
                SchemeCell* b = cons(sc, p, tail);
                sc->env->a.car = cons(sc, b, car(sc->env));
            }
            sc->code = cdr(car(f));
            sc->args = sc->NIL;
            return s_goto(sc, 28);
        }
    }
    // The list is held by the argument register while it is built.
    sc->args = sc->NIL;
    for (int i = n - 1; i >= 0; --i) sc->args = cons(sc, vals[i], sc->args);
    sc->code = f;
    if (op >= 0) return s_goto(sc, 14);
    if (SchemeCell* r = cancel_check(sc)) return r;
    return apply_closure(sc);
}

} // namespace

SchemeCell* op_eval(SchemeInterpreter* sc, int op) {
    switch (op) {
    case 3: { // load loop
        SchemeCell* port = car(sc->args);
        sc->inport = port;
        if (!port_has_more(sc, port)) return sc->NIL;
        dump_push(sc, 3, sc->args, sc->NIL);
        dump_push(sc, 5, sc->NIL, sc->NIL);
        sc->args = sc->NIL;
        return s_goto(sc, 6);
    }
    case 5: sc->code = sc->value; return s_goto(sc, 11);
    case 11: {
        SchemeCell* x = sc->code;
        if (is_symbol(x)) {
            SchemeCell* v = lookup_fast(sc, x);
            return v ? s_return(sc, v) : unbound(sc, x);
        }
        if (is_pair(x)) {
            SchemeCell* head = car(x);
            if (is_symbol(head)) {
                SchemeCell* v = lookup_fast(sc, head);
                if (!v) return unbound(sc, head);
                if (is_type(v, SCH_SYNTAX)) {
                    sc->code = cdr(x);
                    if (!is_proper_list(sc->NIL, sc->code)) return raise_error0(sc, u"syntax error");
                    // The next step runs at once rather than from the driver.
                    int next = static_cast<int>(v->a.u32);
                    sc->op = next;
                    return OpcodeTable[next].handler(sc, next);
                }
                sc->value = v;
                sc->op = 12;
                return op_eval(sc, 12);
            }
            dump_push(sc, 12, sc->NIL, x);
            sc->code = head;
            return s_goto(sc, 11);
        }
        return s_return(sc, x);
    }
    case 12: {
        SchemeCell* f = sc->value;
        SchemeCell* form = sc->code;
        if (is_macro(f)) {
            if (form->flags & SCH_EXPANDED) {
                sc->value = cdr(form);
                return s_goto(sc, 15);
            }
            dump_push(sc, 15, sc->NIL, form);
            sc->args = cdr(form);
            sc->code = f;
            return s_goto(sc, 14);
        }
        if ((f->flags & (SCH_TYPE_MASK | SCH_ATOM)) == (SCH_ATOM | SCH_PRIMITIVE) || is_closure(f))
            if (SchemeCell* r = apply_simple(sc, f, cdr(form))) return r;
        sc->args = sc->NIL;
        sc->code = cdr(form);
        return s_goto(sc, 13);
    }
    case 13: {
        sc->args = cons(sc, sc->value, sc->args);
        while (is_pair(sc->code)) {
            SchemeCell* x = car(sc->code);
            if (is_pair(x)) {
                SchemeCell* v;
                if (eval_inline(sc, x, &v, 0)) {
                    sc->args = cons(sc, v, sc->args);
                    sc->code = cdr(sc->code);
                    continue;
                }
                dump_push(sc, 13, sc->args, cdr(sc->code));
                sc->code = x;
                sc->args = sc->NIL;
                return s_goto(sc, 11);
            }
            if (is_symbol(x)) {
                SchemeCell* v = lookup_fast(sc, x);
                if (!v) return unbound(sc, x);
                x = v;
            }
            sc->args = cons(sc, x, sc->args);
            sc->code = cdr(sc->code);
        }
        SchemeCell* l = list_reverse_in_place(sc, sc->args, sc->NIL);
        sc->code = car(l);
        sc->args = cdr(l);
        return s_goto(sc, 14);
    }
    case 14: {
        if (SchemeCell* r = cancel_check(sc)) return r;
        SchemeCell* f = sc->code;
        switch (f->flags & (SCH_TYPE_MASK | SCH_ATOM)) {
        case SCH_ATOM | SCH_PRIMITIVE: return s_goto(sc, static_cast<int>(f->a.u32));
        case SCH_CLOSURE:
        case SCH_MACRO: return apply_closure(sc);
        case SCH_ATOM | SCH_CONTINUATION: return apply_continuation(sc);
        case SCH_ATOM | SCH_HOSTFN: return s_goto(sc, 157);
        default: return raise_error(sc, u"illegal function", f);
        }
    }
    case 15: {
        SchemeCell* form = sc->code;
        if (!(form->flags & SCH_EXPANDED)) {
            form->flags |= SCH_EXPANDED;
            form->b.cdr = sc->value;
        }
        sc->code = sc->value;
        return s_goto(sc, 11);
    }
    case 100: return s_return(sc, mk_eof(sc));
    case 196: {
        SchemeCell* p = sc->args;
        if (is_pair(p) && is_pair(car(p))) {
            bind_new(sc, caar(p), sc->value);
            p = cdr(p);
        } else if (is_pair(p) && car(p) == sc->symOptional) {
            p = cdr(p);
        }
        for (; is_pair(p); p = cdr(p)) {
            SchemeCell* e = car(p);
            if (e == sc->symOptional) continue;
            if (is_symbol(e)) {
                bind_new(sc, e, sc->UNDEF);
                continue;
            }
            if (is_pair(e)) {
                dump_push(sc, 196, p, sc->code);
                sc->code = is_pair(cdr(e)) ? cadr(e) : sc->UNDEF;
                return s_goto(sc, 11);
            }
            return raise_error0(sc, u"syntax error in closure");
        }
        if (is_symbol(p))
            bind_new(sc, p, sc->NIL);
        else if (p != sc->NIL)
            return raise_error0(sc, u"syntax error in closure");
        sc->code = cdr(car(sc->code));
        sc->args = sc->NIL;
        return s_goto(sc, 28);
    }
    default: // reserved rows 4, 9 and 10
        return raise_error(sc, u"reserved opcode", mk_integer(sc, op));
    }
}

SchemeCell* op_placeholder(SchemeInterpreter* sc, int op) {
    const char16_t* n = OpcodeTable[op].name;
    if (n) return raise_error(sc, u"not implemented:", mk_symbol(sc, n));
    return raise_error(sc, u"not implemented: opcode", mk_integer(sc, op));
}

// ---------------------------------------------------------------- continuations and host calls

namespace {

SchemeCell* copy_frame_args(SchemeInterpreter* sc, SchemeFrame* frames, int64_t n) {
    for (int64_t i = 0; i < n; ++i) frames[i].args = list_copy(sc, frames[i].args);
    return sc->T;
}

// The cells copy_frame_args takes for these frames: one per pair of each
// argument list (a cycle is cut where list_copy cuts it, within twice its
// length).
int64_t frame_args_cells(const SchemeFrame* frames, int64_t n) {
    int64_t cells = 0;
    for (int64_t i = 0; i < n; ++i) {
        const SchemeCell* slow = frames[i].args;
        bool step = false;
        for (const SchemeCell* p = frames[i].args; is_pair(p); p = cdr(p)) {
            ++cells;
            if (step) slow = cdr(slow);
            step = !step;
            if (cdr(p) == slow) break;
        }
    }
    return cells;
}

SchemeCell* apply_continuation(SchemeInterpreter* sc) {
    SchemeCell* k = sc->code;
    SchemeContinuationData* d = payload<SchemeContinuationData>(k);
    int64_t n = d->count;
    // The copy runs with the collector held off: room for it first.
    sch_reserve_cells(sc, frame_args_cells(d->frames, n), sc->NIL, sc->NIL);
    int32_t saved = sc->gcDisabled;
    sc->gcDisabled = 1;
    struct Enable {
        SchemeInterpreter* sc;
        int32_t saved;
        ~Enable() { sc->gcDisabled = saved; }
    } enable{sc, saved};
    sc->dumpCount = 0;
    if (n > sc->dumpCapacity) {
        uint64_t bytes = sch_size_mul(sc, static_cast<uint64_t>(n), sizeof(SchemeFrame));
        sc->dump = static_cast<SchemeFrame*>(sch_prealloc(sc, sc->dump, bytes));
        sc->dumpCapacity = n;
    }
    memcpy(static_cast<void*>(sc->dump), d->frames, n * sizeof(SchemeFrame));
    sc->dumpCount = n;
    if (n > sc->testMaxDumpFrames) sc->testMaxDumpFrames = n;
    copy_frame_args(sc, sc->dump, n);
    SchemeCell* args = sc->args;
    SchemeCell* v = is_pair(args) ? car(args) : sc->NIL;
    SchemeCell* vals = is_pair(args) ? args : nullptr;
    sc->value = v;
    if (sc->dumpCount == 0) return sc->NIL;
    SchemeFrame& f = sc->dump[--sc->dumpCount];
    sc->op = f.op;
    sc->args = f.args;
    sc->env = f.env;
    sc->code = f.code;
    sc->values = vals;
    return sc->T;
}

SchemeCell* call_host(SchemeInterpreter* sc) {
    SchemeCell* fcell = sc->code;
    SchemeHostFnData* d = payload<SchemeHostFnData>(fcell);
    SchemeCell* list = sc->args;
    // The gathered list stays rooted until the function returns: nested
    // entries overwrite the argument register.
    SchRoot r1(sc, list);
    SchRoot r2(sc, fcell);
    int64_t len = 0;
    for (SchemeCell* p = list; is_pair(p) && (d->maxArgs < 0 || len < d->maxArgs); p = cdr(p)) ++len;
    // Most host functions take a few arguments: those need no heap block.
    SchemeCell* few[8];
    std::vector<SchemeCell*> many;
    SchemeCell** argv = few;
    if (len + 1 > 8) {
        many.resize(static_cast<size_t>(len) + 1);
        argv = many.data();
    }
    for (int64_t i = 0; i <= len; ++i) argv[i] = nullptr;
    int n = 0;
    if (!gather_args(sc, d->name, d->minArgs, d->maxArgs, d->letters, false, list, argv, &n)) return sc->T;
    int64_t depth = sc->dumpCount;
    SchemeCell* result = d->fn(sc, argv, n);
    if (!result) result = sc->F;
    if (sc->exitRequest) {
        if (sc->dumpCount > depth) sc->dumpCount = depth;
        return sc->NIL;
    }
    if (sc->dumpCount == 0) {
        sc->value = result;
        return sc->NIL;
    }
    return s_return(sc, result);
}

} // namespace

SchemeCell* sch_capture_continuation(SchemeInterpreter* sc) {
    int64_t n = sc->dumpCount;
    uint64_t bytes =
        sch_size_add(sc, sizeof(int64_t), sch_size_mul(sc, static_cast<uint64_t>(n), sizeof(SchemeFrame)));
    sch_reserve_cells(sc, 1 + frame_args_cells(sc->dump, n), sc->NIL, sc->NIL);
    int32_t saved = sc->gcDisabled;
    sc->gcDisabled = 1;
    struct Enable {
        SchemeInterpreter* sc;
        int32_t saved;
        ~Enable() { sc->gcDisabled = saved; }
    } enable{sc, saved};
    SchemeCell* k = sch_alloc(sc, sc->NIL, sc->NIL);
    k->flags = SCH_ATOM | SCH_INTEGER; // inert until its frames are in place
    k->a.ival = 0;
    SchemeContinuationData* d = static_cast<SchemeContinuationData*>(sch_palloc(sc, bytes));
    d->count = 0;
    k->a.ptr = d;
    k->b.cdr = sc->NIL;
    k->flags = SCH_ATOM | SCH_CONTINUATION;
    memcpy(static_cast<void*>(d->frames), sc->dump, n * sizeof(SchemeFrame));
    d->count = n;
    copy_frame_args(sc, d->frames, n);
    return k;
}

SchemeCell* sch_call_host(SchemeInterpreter* sc) {
    return call_host(sc);
}

// ---------------------------------------------------------------- special forms

namespace {

SchemeCell* qq_walk_setup(SchemeInterpreter* sc, SchemeCell* tmpl, int64_t depth) {
    SchemeCell* d = mk_integer(sc, depth);
    sc->args = cons(sc, sc->NIL, d);
    sc->code = tmpl;
    return s_goto(sc, 19);
}

bool is_keyword(SchemeInterpreter* sc, SchemeCell* x, SchemeCell* k1, SchemeCell* k2) {
    return is_pair(x) && (car(x) == k1 || car(x) == k2) && k1 != sc->NIL;
}

} // namespace

SchemeCell* op_syntax(SchemeInterpreter* sc, int op) {
    SchemeCell* NIL = sc->NIL;
    switch (op) {
    case 16: return s_return(sc, mk_closure(sc, sc->code, sc->env));
    case 17: return s_return(sc, car(sc->code));
    case 112: sc->args = car(sc->code); return s_goto(sc, 113);
    case 18: return qq_walk_setup(sc, car(sc->code), 0);
    case 19: {
        SchemeCell* x = sc->code;
        SchemeCell* state = sc->args;
        int64_t depth = cdr(state)->a.ival;
        if (!is_pair(x)) return s_return(sc, list_reverse_in_place(sc, car(state), x));
        SchemeCell* head = car(x);
        if ((head == sc->symQuasiquote || head == sc->symQuasiquoteVec) && is_pair(cdr(x))) {
            dump_push(sc, 21, head, NIL);
            return qq_walk_setup(sc, cadr(x), depth + 1);
        }
        if (head == sc->symUnquote || head == sc->symUnquoteSplicing) {
            if (!is_pair(cdr(x))) return raise_error0(sc, u"syntax error");
            if (depth == 0) {
                sc->code = cadr(x);
                return s_goto(sc, 11);
            }
            dump_push(sc, 21, head, NIL);
            return qq_walk_setup(sc, cadr(x), depth - 1);
        }
        SchemeCell* rest = cdr(x);
        if (is_keyword(sc, rest, sc->symUnquote, sc->symQuasiquote)) dump_push(sc, 22, state, NIL);
        if (is_pair(rest) && car(rest) == sc->symUnquoteSplicing)
            return raise_error0(sc, u"unquote-splicing in invalid context");
        if (is_pair(head) && car(head) == sc->symUnquoteSplicing && depth == 0)
            dump_push(sc, 23, state, rest);
        else
            dump_push(sc, 20, state, rest);
        return qq_walk_setup(sc, head, depth);
    }
    case 20: sc->args->a.car = cons(sc, sc->value, car(sc->args)); return s_goto(sc, 19);
    case 21: {
        SchemeCell* l = cons(sc, sc->value, NIL);
        return s_return(sc, cons(sc, sc->args, l));
    }
    case 22: return s_return(sc, list_reverse_in_place(sc, car(sc->args), sc->value));
    case 23: {
        SchemeCell* v = sc->value;
        if (v == NIL) return s_goto(sc, 19);
        if (!is_pair(v)) return s_return(sc, list_reverse_in_place(sc, car(sc->args), v));
        if (list_length(NIL, v) == -2) return raise_error0(sc, u"unquote-splicing in invalid context");
        SchRoot r(sc, v);
        for (; is_pair(v); v = cdr(v)) sc->args->a.car = cons(sc, car(v), car(sc->args));
        if (v != NIL) return s_return(sc, list_reverse_in_place(sc, car(sc->args), v));
        return s_goto(sc, 19);
    }
    case 24: dump_push(sc, 25, NIL, NIL); return qq_walk_setup(sc, car(sc->code), 0);
    case 25: sc->args = sc->value; return s_goto(sc, 113);
    case 26:
    case 50: {
        SchemeCell* name = car(sc->code);
        SchemeCell* expr;
        if (is_pair(name)) {
            SchemeCell* lam = cons(sc, cdr(name), cdr(sc->code));
            expr = cons(sc, sc->symLambda, lam);
            name = car(car(sc->code));
        } else {
            expr = cadr(sc->code);
        }
        if (!is_symbol(name))
            return raise_error0(sc, op == 26 ? u"Variable is not symbol" : u"variable is not a symbol");
        dump_push(sc, op == 26 ? 27 : 51, NIL, name);
        sc->code = expr;
        return s_goto(sc, 11);
    }
    case 51: {
        // A closure's code and environment become a macro of their own, so
        // the closure stays a procedure; a macro is bound as it is.
        SchemeCell* v = sc->value;
        if (is_closure(v)) {
            sc->value = mk_closure(sc, car(v), cdr(v), SCH_MACRO);
        } else if (!is_macro(v)) {
            check_letter(sc, u'c', v, u"define-macro");
            return raise_msg(sc, v);
        }
        [[fallthrough]];
    }
    case 27: env_define(sc, sc->env, sc->code, sc->value); return s_return(sc, sc->code);
    case 28: {
        SchemeCell* x = sc->code;
        if (!is_pair(x)) return s_return(sc, x);
        while (is_pair(cdr(x)) && store_inline(sc, car(x))) x = cdr(x);
        if (cdr(x) != NIL) dump_push(sc, 28, NIL, cdr(x));
        sc->code = car(x);
        return s_goto(sc, 11);
    }
    case 29: {
        // A test needing no step of the machine is evaluated in place.
        SchemeCell* v;
        if (eval_inline(sc, car(sc->code), &v, 0)) {
            sc->value = v;
            sc->code = cdr(sc->code);
            return op_syntax(sc, 30);
        }
        dump_push(sc, 30, NIL, cdr(sc->code));
        sc->code = car(sc->code);
        return s_goto(sc, 11);
    }
    case 30: {
        if (sc->value == sc->F) {
            SchemeCell* r = cdr(sc->code);
            if (!is_pair(r)) return s_return(sc, sc->UNDEF);
            sc->code = car(r);
        } else {
            sc->code = car(sc->code);
        }
        // A branch applying a primitive of global name to plain operands is
        // evaluated in place.
        SchemeCell* x = sc->code;
        SchemeCell* v;
        if (is_pair(x) && is_symbol(car(x)) && !(car(x)->flags & SCH_LOCAL_NAME) && eval_inline(sc, x, &v, 0))
            return s_return(sc, v);
        return s_goto(sc, 11);
    }
    case 31:
        dump_push(sc, 32, NIL, car(sc->code));
        sc->code = cadr(sc->code);
        return s_goto(sc, 11);
    case 32: {
        SchemeCell** slot = env_lookup(sc, sc->env, sc->code);
        if (!slot) return unbound(sc, sc->code);
        *slot = sc->value;
        return s_return(sc, sc->code);
    }
    case 33: { // let
        SchemeCell* operands = sc->code;
        sc->value = operands;
        sc->args = NIL;
        sc->code = is_symbol(car(operands)) ? cadr(operands) : car(operands);
        return s_goto(sc, 36);
    }
    case 36: {
        sc->args = cons(sc, sc->value, sc->args);
        if (is_pair(sc->code)) {
            SchemeCell* b = car(sc->code);
            if (!is_pair(b) || !is_pair(cdr(b))) return raise_error0(sc, u"let: invalid operation");
            dump_push(sc, 36, sc->args, cdr(sc->code));
            sc->code = cadr(b);
            sc->args = NIL;
            return s_goto(sc, 11);
        }
        SchemeCell* l = list_reverse_in_place(sc, sc->args, NIL);
        sc->code = car(l);
        sc->args = cdr(l);
        return s_goto(sc, 37);
    }
    case 37: {
        SchemeCell* operands = sc->code;
        bool named = is_symbol(car(operands));
        SchemeCell* bindings = named ? cadr(operands) : car(operands);
        SchemeCell* body = named ? cddr(operands) : cdr(operands);
        sc->env = cons(sc, NIL, sc->env);
        SchemeCell* vars = NIL;
        SchRoot r(sc, vars);
        SchemeCell* vals = sc->args;
        for (SchemeCell* b = bindings; is_pair(b); b = cdr(b), vals = cdr(vals)) {
            if (!is_pair(car(b))) return raise_error0(sc, u"let: invalid operation");
            bind_new(sc, caar(b), car(vals));
            if (named) vars = cons(sc, caar(b), vars);
        }
        if (named) {
            vars = list_reverse_in_place(sc, vars, NIL);
            SchemeCell* code = cons(sc, vars, body);
            SchemeCell* f = mk_closure(sc, code, sc->env);
            bind_new(sc, car(operands), f);
        }
        sc->code = body;
        sc->args = NIL;
        return s_goto(sc, 28);
    }
    case 34: { // let-optionals
        SchemeCell* src = car(sc->code);
        if (is_symbol(src)) {
            SchemeCell* v = lookup_fast(sc, src);
            if (!v) return unbound(sc, src);
            src = v;
        }
        sc->value = src;
        return s_goto(sc, 35);
    }
    case 35: {
        // A fresh copy of the form with each default replaced by its value.
        SchemeCell* vals = sc->value;
        SchRoot r0(sc, vals);
        SchemeCell* out = NIL;
        SchRoot r(sc, out);
        SchemeCell* b = cadr(sc->code);
        for (; is_pair(b); b = cdr(b)) {
            SchemeCell* binding = car(b);
            if (is_pair(vals) && is_pair(binding)) {
                SchemeCell* t = cons(sc, car(vals), NIL);
                binding = cons(sc, car(binding), t);
                vals = cdr(vals);
            } else if (is_pair(vals)) {
                vals = cdr(vals);
            }
            out = cons(sc, binding, out);
        }
        if (is_pair(vals)) return raise_error0(sc, u"too many arguments");
        out = list_reverse_in_place(sc, out, NIL);
        sc->code = cons(sc, out, cddr(sc->code));
        return s_goto(sc, 33);
    }
    case 38: { // let*
        SchemeCell* operands = sc->code;
        if (car(operands) == NIL) {
            sc->env = cons(sc, NIL, sc->env);
            sc->code = cdr(operands);
            sc->args = NIL;
            return s_goto(sc, 28);
        }
        if (!is_pair(car(operands))) return raise_error0(sc, u"syntax error");
        SchemeCell* b = caar(operands);
        if (!is_pair(b) || !is_pair(cdr(b))) return raise_error0(sc, u"syntax error");
        dump_push(sc, 39, NIL, operands);
        sc->code = cadr(b);
        return s_goto(sc, 11);
    }
    case 39:
        sc->env = cons(sc, NIL, sc->env);
        sc->args = car(sc->code);
        [[fallthrough]];
    case 40: {
        bind_new(sc, caar(sc->args), sc->value);
        SchemeCell* rest = cdr(sc->args);
        if (is_pair(rest)) {
            SchemeCell* b = car(rest);
            if (!is_pair(b) || !is_pair(cdr(b))) return raise_error0(sc, u"syntax error");
            dump_push(sc, 40, rest, sc->code);
            sc->code = cadr(b);
            return s_goto(sc, 11);
        }
        sc->code = cdr(sc->code);
        sc->args = NIL;
        return s_goto(sc, 28);
    }
    case 41: // letrec
        sc->env = cons(sc, NIL, sc->env);
        sc->value = sc->code;
        sc->args = NIL;
        sc->code = car(sc->code);
        [[fallthrough]];
    case 42: {
        sc->args = cons(sc, sc->value, sc->args);
        if (is_pair(sc->code)) {
            SchemeCell* b = car(sc->code);
            if (!is_pair(b) || !is_pair(cdr(b))) return raise_error0(sc, u"syntax error");
            dump_push(sc, 42, sc->args, cdr(sc->code));
            sc->code = cadr(b);
            sc->args = NIL;
            return s_goto(sc, 11);
        }
        SchemeCell* l = list_reverse_in_place(sc, sc->args, NIL);
        sc->code = car(l);
        sc->args = cdr(l);
        [[fallthrough]];
    }
    case 43: {
        SchemeCell* vals = sc->args;
        for (SchemeCell* b = car(sc->code); is_pair(b); b = cdr(b), vals = cdr(vals))
            bind_new(sc, caar(b), car(vals));
        sc->code = cdr(sc->code);
        sc->args = NIL;
        return s_goto(sc, 28);
    }
    case 44: { // cond
        for (SchemeCell* c = sc->code; c != NIL; c = cdr(c)) {
            if (!is_pair(c) || !is_pair(car(c))) return raise_error0(sc, u"Syntax error in cond");
        }
        if (sc->code == NIL) return s_return(sc, sc->F);
        dump_push(sc, 45, NIL, sc->code);
        sc->code = caar(sc->code);
        return s_goto(sc, 11);
    }
    case 45: {
        if (sc->value != sc->F) {
            SchemeCell* body = cdar(sc->code);
            if (!is_pair(body)) return s_return(sc, sc->value);
            if (car(body) == sc->symArrow) {
                SchemeCell* q = cons(sc, sc->value, NIL);
                q = cons(sc, sc->symQuote, q);
                q = cons(sc, q, NIL);
                sc->code = cons(sc, is_pair(cdr(body)) ? cadr(body) : NIL, q);
                return s_goto(sc, 11);
            }
            sc->code = body;
            return s_goto(sc, 28);
        }
        sc->code = cdr(sc->code);
        if (sc->code == NIL) return s_return(sc, sc->F);
        dump_push(sc, 45, NIL, sc->code);
        sc->code = caar(sc->code);
        return s_goto(sc, 11);
    }
    case 46:
    case 48:
        if (sc->code == NIL) return s_return(sc, op == 46 ? sc->T : sc->F);
        dump_push(sc, op + 1, NIL, cdr(sc->code));
        sc->code = car(sc->code);
        return s_goto(sc, 11);
    case 47:
    case 49:
        if ((op == 47) == (sc->value == sc->F) || sc->code == NIL) return s_return(sc, sc->value);
        dump_push(sc, op, NIL, cdr(sc->code));
        sc->code = car(sc->code);
        return s_goto(sc, 11);
    default: return op_placeholder(sc, op);
    }
}
