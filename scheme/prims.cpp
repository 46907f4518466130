// Control primitives (load, read, eval, apply, continuations, values, errors,
// macro expansion, host calls) and the basic primitives: arithmetic, lists,
// equality, output, conversions and vectors.
#include <windows.h>

#include <charconv>
#include <climits>
#include <cstring>
#include <string>

#include "scheme/sch_impl.h"

SchemeCell* sch_capture_continuation(SchemeInterpreter* sc);
SchemeCell* sch_call_host(SchemeInterpreter* sc);

namespace {

using Args = OpArgs<8>;

inline SchemeCell* boolean(SchemeInterpreter* sc, bool b) {
    return b ? sc->T : sc->F;
}

std::u16string to_u16(const char* s) {
    std::u16string r;
    for (; *s; ++s) r += static_cast<char16_t>(static_cast<unsigned char>(*s));
    return r;
}

SchemeCell* closed_port_error(SchemeInterpreter* sc, SchemeCell* port) {
    return raise_error(sc, u"I/O attempted on closed port", port);
}

// ---------------------------------------------------------------- load

// Names used as given: relative to the current directory, with a drive, or
// (on this system) from the root.
bool absolute_name(const char16_t* n) {
    if (n[0] == u'.' || n[0] == u'/') return true;
    if (n[0] == u'\\' && n[1] == u'\\') return true;
    return n[0] >= u'A' && n[0] <= u'Z' && n[1] == u':' && n[2] == u'\\';
}

SchemeCell* do_load(SchemeInterpreter* sc) {
    Args g;
    if (!gather_op(sc, 0, g)) return sc->T;
    SchemeCell* name = g.a[0];
    SchRoot r(sc, name);
    std::u16string path;
    if (absolute_name(str_text(name))) {
        path = str_text(name);
    } else {
        SchemeCell** lp = env_lookup(sc, sc->globalEnv, sc->symLoadPath);
        for (SchemeCell* d = lp ? *lp : sc->NIL; is_pair(d); d = cdr(d)) {
            if (!is_string(car(d))) continue;
            std::u16string candidate = str_text(car(d));
            candidate += u'/';
            candidate += str_text(name);
            if (_waccess(candidate.c_str(), 0) == 0) {
                path = candidate;
                break;
            }
        }
        if (path.empty()) return raise_error(sc, u"load: can not find file", name);
    }
    if (sc->runDepth >= SCH_MAX_RUNS) return raise_error0(sc, u"nesting too deep");
    int64_t depth = sc->dumpCount;
    if (!sch_load_file(sc, path.c_str())) return raise_error(sc, u"load: can not find file", name);
    if (sc->exitRequest) {
        if (sc->dumpCount > depth) sc->dumpCount = depth;
        return sc->NIL;
    }
    if (sc->dumpCount == 0) return sc->NIL;
    return s_return(sc, sc->T);
}

SchemeCell* load_with_suffix(SchemeInterpreter* sc, const char16_t* base) {
    std::u16string n = base;
    n += u".scm";
    SchemeCell* s = mk_string(sc, n.c_str());
    sc->args = cons(sc, s, sc->NIL);
    return s_goto(sc, 0);
}

// ---------------------------------------------------------------- read

SchemeCell* read_char(SchemeInterpreter* sc, int op) {
    Args g;
    if (!gather_op(sc, op, g)) return sc->T;
    SchemeCell* port = g.n ? g.a[0] : sc->inport;
    if (g.n && (port_of(port)->flags & SCH_PORT_CLOSED)) return closed_port_error(sc, port);
    int units = 0;
    uint32_t c = port_peek(sc, port, &units);
    if (units == 0) return s_return(sc, mk_eof(sc));
    if (op == 7) port_of(port)->cursor += units;
    return s_return(sc, mk_character(sc, c));
}

// ---------------------------------------------------------------- macro expansion

SchemeCell* expand_step(SchemeInterpreter* sc) {
    SchemeCell* x = sc->value;
    if (is_pair(x) && is_symbol(car(x))) {
        SchemeCell** slot = env_lookup(sc, sc->env, car(x));
        if (!slot) return raise_error(sc, u"unbounded variable", car(x));
        if (is_macro(*slot)) {
            if (sc->args == sc->T) dump_push(sc, 139, sc->T, sc->NIL);
            sc->code = *slot;
            sc->args = cdr(x);
            return s_goto(sc, 14);
        }
    }
    return s_return(sc, x);
}

} // namespace

SchemeCell* op_control(SchemeInterpreter* sc, int op) {
    switch (op) {
    case 0: return do_load(sc);
    case 1: {
        Args g;
        if (!gather_op(sc, op, g)) return sc->T;
        return load_with_suffix(sc, str_text(g.a[0]));
    }
    case 2: {
        SchemeCell* x = car(sc->code);
        if (!check_letter(sc, u'Y', x, u"")) return raise_msg(sc, x);
        return load_with_suffix(sc, sym_name(x));
    }
    case 6: {
        Args g;
        if (!gather_op(sc, op, g)) return sc->T;
        if (g.n) {
            SchemeCell* port = g.a[0];
            if (port_of(port)->flags & SCH_PORT_CLOSED) return closed_port_error(sc, port);
            dump_push(sc, 88, sc->inport, sc->NIL);
            sc->inport = port;
        }
        sc->token = lex_token(sc);
        return s_goto(sc, 103);
    }
    case 7:
    case 8: return read_char(sc, op);
    case 52: {
        Args g;
        if (!gather_op(sc, op, g)) return sc->T;
        sc->code = g.a[0];
        return s_goto(sc, 11);
    }
    case 53: { // apply
        SchemeCell* all = sc->args;
        if (!is_pair(all)) {
            Args g;
            gather_op(sc, op, g);
            return sc->T;
        }
        SchemeCell* f = car(all);
        SchemeCell* rest = cdr(all);
        SchemeCell* list = sc->NIL;
        SchRoot r(sc, list);
        if (is_pair(rest)) {
            SchemeCell* p = rest;
            for (; is_pair(cdr(p)); p = cdr(p)) list = cons(sc, car(p), list);
            SchemeCell* last = car(p);
            if (!is_proper_list(sc->NIL, last)) return raise_error0(sc, u"last argument must be list");
            list = list_reverse_in_place(sc, list, last);
        }
        dump_push(sc, 197, all, sc->NIL);
        sc->code = f;
        sc->args = list;
        return s_goto(sc, 14);
    }
    case 54: {
        Args g;
        if (!gather_op(sc, op, g)) return sc->T;
        SchemeCell* f = g.a[0];
        SchRoot r(sc, f);
        SchemeCell* k = sch_capture_continuation(sc);
        sc->args = cons(sc, k, sc->NIL);
        sc->code = f;
        return s_goto(sc, 14);
    }
    case 87: sc->outport = sc->args; return s_return(sc, sc->value);
    case 88: sc->inport = sc->args; return s_return(sc, sc->value);
    case 95: {
        sc->savedOutport = sc->outport;
        sc->outport = sc->errport;
        out_text(sc, u"Error:");
        SchemeCell* irritants = sc->args;
        if (is_pair(irritants) && is_string(car(irritants))) {
            out_text(sc, u" ");
            out_text(sc, str_text(car(irritants)));
            irritants = cdr(irritants);
        }
        sc->args = irritants;
        return s_goto(sc, 96);
    }
    case 96:
        if (is_pair(sc->args)) {
            out_text(sc, u" ");
            dump_push(sc, 96, cdr(sc->args), sc->NIL);
            sc->printMode = 1;
            sc->args = car(sc->args);
            return s_goto(sc, 93);
        }
        out_text(sc, u"\n");
        sc->outport = sc->savedOutport;
        sc->dumpCount = 0;
        port_discard_input(sc, sc->inport);
        sc->env = sc->globalEnv;
        sc->gcDisabled = 0;
        sch_clear_print_marks(sc);
        return sc->NIL;
    case 99: return s_return(sc, sc->globalEnv);
    case 101:
        if (sc->args != exit_frame_marker(sc)) sc->exitRequest = 1;
        return sc->NIL;
    case 102: sch_collect(sc, sc->NIL, sc->NIL, true); return s_return(sc, sc->UNDEF);
    case 124: {
        Args g;
        if (!gather_op(sc, op, g)) return sc->T;
        return s_return(sc, boolean(sc, env_lookup(sc, sc->env, g.a[0]) != nullptr));
    }
    case 137:
    case 138: {
        Args g;
        if (!gather_op(sc, op, g)) return sc->T;
        sc->value = g.a[0];
        sc->args = op == 138 ? sc->T : sc->F;
        return s_goto(sc, 139);
    }
    case 139: return expand_step(sc);
    case 157: return sch_call_host(sc);
    case 158:
        if (is_pair(sc->args)) {
            SchemeCell* all = sc->args;
            sc->value = car(all);
            sc->values = all;
        } else {
            sc->value = sc->UNDEF;
            sc->values = sc->NIL;
        }
        if (sc->dumpCount == 0) return sc->NIL;
        {
            SchemeFrame& f = sc->dump[--sc->dumpCount];
            sc->op = f.op;
            sc->args = f.args;
            sc->env = f.env;
            sc->code = f.code;
        }
        return sc->T;
    case 159: {
        Args g;
        if (!gather_op(sc, op, g)) return sc->T;
        dump_push(sc, 160, sc->NIL, g.a[1]);
        sc->code = g.a[0];
        sc->args = sc->NIL;
        return s_goto(sc, 14);
    }
    case 160: sc->args = sc->values ? sc->values : cons(sc, sc->value, sc->NIL); return s_goto(sc, 14);
    case 195: return s_return(sc, sc->protectList);
    case 197: {
        SchemeCell* v = sc->value;
        SchemeCell* vals = sc->values;
        SchemeCell* r = s_return(sc, v);
        sc->values = vals;
        return r;
    }
    default: return op_placeholder(sc, op);
    }
}

// ---------------------------------------------------------------- arithmetic

SchemeCell* op_arith(SchemeInterpreter* sc, int op) {
    const char16_t* name = op_name(op);
    SchemeCell* list = sc->args;
    if (op == 60) {
        Args g;
        if (!gather_op(sc, op, g)) return sc->T;
        int64_t a = g.a[0]->a.ival, b = g.a[1]->a.ival;
        if (b == 0) return raise_error0(sc, u"Dividev by zero");
        if (b == -1) return s_return(sc, mk_integer(sc, 0));
        int64_t r = a % b;
        if (r != 0 && ((r < 0) != (b < 0))) r += b;
        return s_return(sc, mk_integer(sc, r));
    }
    if (op >= 72 && op <= 76) {
        if (!is_pair(list) || !check_letter(sc, u'N', car(list), name))
            return is_pair(list) ? raise_msg(sc, car(list))
                                 : (check_letter(sc, u'N', sc->NIL, name), raise_msg(sc, sc->NIL));
        int64_t prev = car(list)->a.ival;
        for (list = cdr(list); is_pair(list); list = cdr(list)) {
            SchemeCell* x = car(list);
            if (!check_letter(sc, u'N', x, name)) return raise_msg(sc, x);
            int64_t v = x->a.ival;
            bool ok = op == 72   ? prev == v
                      : op == 73 ? prev < v
                      : op == 74 ? prev > v
                      : op == 75 ? prev <= v
                                 : prev >= v;
            if (!ok) return s_return(sc, sc->F);
            prev = v;
        }
        return s_return(sc, sc->T);
    }
    if ((op == 58 || op == 59) && !is_pair(list)) {
        check_letter(sc, u'N', sc->NIL, name);
        return raise_msg(sc, sc->NIL);
    }
    uint64_t acc = op == 57 ? 1 : 0;
    bool first = true;
    int count = 0;
    for (; is_pair(list); list = cdr(list), first = false, ++count) {
        SchemeCell* x = car(list);
        if (!check_letter(sc, u'N', x, name)) return raise_msg(sc, x);
        int64_t v = x->a.ival;
        uint64_t uv = static_cast<uint64_t>(v);
        switch (op) {
        case 55: acc += uv; break;
        case 57: acc *= uv; break;
        case 56: acc = first ? uv : acc - uv; break;
        case 58:
            if (first) {
                acc = uv;
            } else {
                if (v == 0) return raise_error0(sc, u"Divided by zero");
                int64_t a = static_cast<int64_t>(acc);
                acc = v == -1 ? 0 - acc : static_cast<uint64_t>(a / v);
            }
            break;
        case 59:
            if (first) {
                acc = uv;
            } else {
                if (v == 0) return raise_error0(sc, u"Dividev by zero");
                int64_t a = static_cast<int64_t>(acc);
                acc = v == -1 ? 0 : static_cast<uint64_t>(a % v);
            }
            break;
        }
    }
    if (op == 56 && count == 1) acc = 0 - acc;
    return s_return(sc, mk_integer(sc, static_cast<int64_t>(acc)));
}

// ---------------------------------------------------------------- lists, predicates, conversions

SchemeCell* op_list(SchemeInterpreter* sc, int op) {
    if (op == 98) { // append
        SchemeCell* all = sc->args;
        if (!is_pair(all)) return s_return(sc, sc->NIL);
        if (!is_pair(cdr(all))) return s_return(sc, car(all));
        for (SchemeCell* p = all; is_pair(cdr(p)); p = cdr(p)) {
            if (!check_letter(sc, kListLetter, car(p), u"append")) return raise_msg(sc, car(p));
        }
        SchemeCell* acc = sc->NIL;
        SchRoot r(sc, acc);
        SchemeCell* p = all;
        for (; is_pair(cdr(p)); p = cdr(p)) {
            for (SchemeCell* q = car(p); is_pair(q); q = cdr(q)) acc = cons(sc, car(q), acc);
        }
        return s_return(sc, list_reverse_in_place(sc, acc, car(p)));
    }
    if (op == 86) { // length
        SchemeCell* all = sc->args;
        if (!is_pair(all)) return s_return(sc, mk_integer(sc, 0));
        int64_t n = list_length(sc->NIL, car(all));
        if (n < 0) {
            check_letter(sc, kListLetter, car(all), u"length");
            return raise_msg(sc, car(all));
        }
        return s_return(sc, mk_integer(sc, n));
    }
    if (op == 140) return s_return(sc, mk_gensym(sc));
    if (op == 136) { // get-closure-code
        SchemeCell* x = is_pair(sc->args) ? car(sc->args) : sc->NIL;
        sc->args = x;
        if (is_closure(x) || is_macro(x)) return s_return(sc, cons(sc, sc->symLambda, car(x)));
        if (is_type(x, SCH_CONTINUATION)) {
            SchemeContinuationData* d = payload<SchemeContinuationData>(x);
            if (d->count == 0) return s_return(sc, sc->F);
            return s_return(sc, cons(sc, sc->symLambda, d->frames[d->count - 1].code));
        }
        return s_return(sc, sc->F);
    }
    Args g;
    if (!gather_op(sc, op, g)) return sc->T;
    SchemeCell* x = g.a[0];
    switch (op) {
    case 61: return s_return(sc, car(x));
    case 62: return s_return(sc, cdr(x));
    case 63: return s_return(sc, cons(sc, g.a[0], g.a[1]));
    case 64: x->a.car = g.a[1]; return s_return(sc, sc->UNDEF);
    case 65: x->b.cdr = g.a[1]; return s_return(sc, sc->UNDEF);
    case 66:
    case 67: return s_return(sc, boolean(sc, sch_eqv(g.a[0], g.a[1])));
    case 68: return s_return(sc, boolean(sc, sch_equal(sc, g.a[0], g.a[1])));
    case 69: return s_return(sc, boolean(sc, x == sc->F));
    case 70: return s_return(sc, boolean(sc, x == sc->F || x == sc->T));
    case 71: return s_return(sc, boolean(sc, x == sc->NIL));
    case 77:
    case 78: return s_return(sc, boolean(sc, is_int(x)));
    case 81:
        return s_return(
            sc, boolean(sc, is_type(x, SCH_PRIMITIVE) || is_closure(x) || is_type(x, SCH_CONTINUATION)));
    case 82: return s_return(sc, boolean(sc, is_pair(x)));
    case 83: return s_return(sc, boolean(sc, is_closure(x)));
    case 84: return s_return(sc, boolean(sc, is_macro(x)));
    case 85: return s_return(sc, boolean(sc, is_proper_list(sc->NIL, x)));
    case 97: return s_return(sc, list_reverse(sc, x));
    case 115: return s_return(sc, boolean(sc, is_type(x, SCH_VECTOR)));
    case 120: return s_return(sc, boolean(sc, is_type(x, SCH_CHARACTER)));
    case 123: return s_return(sc, boolean(sc, is_symbol(x)));
    case 126: return s_return(sc, boolean(sc, is_string(x)));
    case 161: return s_return(sc, boolean(sc, is_type(x, SCH_REGEXP)));
    case 165: return s_return(sc, boolean(sc, is_type(x, SCH_MATCH)));
    case 162: {
        SchRoot r(sc, x);
        return s_return(sc, mk_string(sc, payload<SchemeRegexpData>(x)->pattern));
    }
    case 141: return s_return(sc, boolean(sc, is_symbol(x) && payload<SchemeSymbolData>(x)->serial != 0));
    case 79: {
        char buf[24];
        auto r = std::to_chars(buf, buf + sizeof buf, x->a.ival);
        *r.ptr = 0;
        return s_return(sc, mk_string(sc, to_u16(buf).c_str()));
    }
    case 80: {
        const char16_t* p = str_text(x);
        while (*p == u' ' || (*p >= 9 && *p <= 13)) ++p;
        bool neg = false;
        if (*p == u'+' || *p == u'-') neg = *p++ == u'-';
        int64_t v = 0;
        for (; *p >= u'0' && *p <= u'9'; ++p) {
            if (v <= 0x80000000LL) v = v * 10 + (*p - u'0');
        }
        if (neg) v = -v;
        if (v > INT32_MAX) v = INT32_MAX;
        if (v < INT32_MIN) v = INT32_MIN;
        return s_return(sc, mk_integer(sc, v));
    }
    case 121: return s_return(sc, mk_integer(sc, x->a.u32));
    case 122: return s_return(sc, mk_character(sc, static_cast<uint32_t>(x->a.ival)));
    case 125: return s_return(sc, mk_string(sc, sym_name(x)));
    case 129: return s_return(sc, mk_symbol(sc, str_text(x)));
    default: return op_placeholder(sc, op);
    }
}

// ---------------------------------------------------------------- output

SchemeCell* op_output(SchemeInterpreter* sc, int op) {
    Args g;
    if (!gather_op(sc, op, g)) return sc->T;
    int portIndex = op == 92 ? 0 : 1;
    SchemeCell* port = g.n > portIndex ? g.a[portIndex] : nullptr;
    if (port && (port_of(port)->flags & SCH_PORT_CLOSED)) return closed_port_error(sc, port);
    switch (op) {
    case 89:
    case 91:
        if (port) {
            dump_push(sc, 87, sc->outport, sc->NIL);
            sc->outport = port;
        }
        sc->printMode = op == 89 ? 1 : 0;
        sc->args = g.a[0];
        return s_goto(sc, 93);
    case 90: {
        char16_t buf[3];
        int n = text_put_char(g.a[0]->a.u32, buf);
        buf[n] = 0;
        port_write(sc, port ? port : sc->outport, buf, n);
        return s_return(sc, sc->UNDEF);
    }
    default: port_write(sc, port ? port : sc->outport, u"\n", 1); return s_return(sc, sc->UNDEF);
    }
}

// ---------------------------------------------------------------- vectors and strings

SchemeCell* op_vector(SchemeInterpreter* sc, int op) {
    if (op == 113) {
        SchemeCell* l = sc->args;
        int64_t n = list_length(sc->NIL, l);
        if (n < 0) return raise_error(sc, u"vector constructer require list:", l);
        return s_return(sc, mk_vector_from_list(sc, l, n));
    }
    Args g;
    if (!gather_op(sc, op, g)) return sc->T;
    SchemeCell* x = g.a[0];
    switch (op) {
    case 116: return s_return(sc, mk_vector(sc, x->a.ival, g.n > 1 ? g.a[1] : sc->NIL));
    case 117:
    case 118: {
        SchemeVectorData* d = vec_data(x);
        int64_t i = g.a[1]->a.ival;
        if (i < 0 || i >= d->filled)
            return raise_error(
                sc, op == 117 ? u"vector-ref index out of range:" : u"vector-set! index out of range:",
                g.a[1]);
        if (op == 117) return s_return(sc, d->items[i]);
        d->items[i] = g.a[2];
        return s_return(sc, sc->UNDEF);
    }
    case 119: return s_return(sc, mk_integer(sc, vec_data(x)->filled));
    case 128:
        return s_return(sc,
                        mk_integer(sc, text_count_chars(str_text(x), str_text(x) + text_len(str_text(x)))));
    default: return op_placeholder(sc, op);
    }
}
