// The reader (lexer and reader steps) and the printer (printer steps and the
// atom printer). Both work through dump frames, never host recursion.
#include <charconv>
#include <cinttypes>
#include <cstring>
#include <string>

#include "base/utf16.h"
#include "scheme/sch_impl.h"

const char16_t* hash_kind_print_name(uint32_t kind);

namespace {

// ---------------------------------------------------------------- character source

inline uint32_t peekc(SchemeInterpreter* sc, int* units) {
    return port_peek(sc, sc->inport, units);
}

inline void advance(SchemeInterpreter* sc, int units) {
    port_of(sc->inport)->cursor += units;
}

// The character after the one at the cursor (0 at the end).
uint32_t peek_after(SchemeInterpreter* sc) {
    int u;
    if (!peekc(sc, &u)) return 0;
    SchemePort* p = port_of(sc->inport);
    const char16_t* q = p->cursor + u;
    if (q >= p->end) return 0;
    int u2;
    return utf16_decode_bounded(q, p->end, &u2);
}

inline bool is_blank(uint32_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

inline bool is_delimiter(uint32_t c) {
    return c == 0 || is_blank(c) || c == u'(' || c == u')' || c == u';';
}

void skip_line(SchemeInterpreter* sc) {
    for (;;) {
        int u;
        uint32_t c = peekc(sc, &u);
        if (!u) return;
        advance(sc, u);
        if (c == u'\n') return;
    }
}

void skip_block_comment(SchemeInterpreter* sc) {
    int depth = 1;
    for (;;) {
        int u;
        uint32_t c = peekc(sc, &u);
        if (!u) return;
        uint32_t next = peek_after(sc);
        if (c == u'|' && next == u'#') {
            advance(sc, u);
            advance(sc, 1);
            if (--depth == 0) return;
            continue;
        }
        if (c == u'#' && next == u'|') {
            advance(sc, u);
            advance(sc, 1);
            ++depth;
            continue;
        }
        advance(sc, u);
    }
}

// ---------------------------------------------------------------- token text

void tok_reset(SchemeInterpreter* sc) {
    SchemePort* p = port_of(sc->strport);
    p->cursor = p->start;
    *p->cursor = 0;
}

void tok_add(SchemeInterpreter* sc, uint32_t c) {
    char16_t buf[2];
    int n = text_put_char(c, buf);
    string_port_append(sc, port_of(sc->strport), buf, n);
}

inline char16_t* tok_text(SchemeInterpreter* sc) {
    return port_of(sc->strport)->start;
}

void collect_atom(SchemeInterpreter* sc) {
    for (;;) {
        int u;
        uint32_t c = peekc(sc, &u);
        if (!u || is_delimiter(c)) return;
        tok_add(sc, c);
        advance(sc, u);
    }
}

int64_t saturate32(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return v;
}

bool parse_decimal(const char16_t* s, int64_t* out) {
    bool neg = false;
    if (*s == u'+' || *s == u'-') neg = *s++ == u'-';
    if (!*s) return false;
    int64_t v = 0;
    for (; *s; ++s) {
        if (*s < u'0' || *s > u'9') return false;
        if (v <= 0x80000000LL) v = v * 10 + (*s - u'0');
    }
    *out = saturate32(neg ? -v : v);
    return true;
}

bool parse_radix(const char16_t* s, int base, int64_t* out) {
    bool neg = false;
    if (*s == u'+' || *s == u'-') neg = *s++ == u'-';
    uint64_t v = 0;
    int digits = 0;
    for (; *s; ++s, ++digits) {
        int d;
        if (*s >= u'0' && *s <= u'9')
            d = *s - u'0';
        else if (*s >= u'a' && *s <= u'z')
            d = *s - u'a' + 10;
        else if (*s >= u'A' && *s <= u'Z')
            d = *s - u'A' + 10;
        else
            break;
        if (d >= base) break;
        v = v * base + d;
        if (v > 0xFFFFFFFFull) v = 0xFFFFFFFFull;
    }
    if (!digits) return false;
    uint32_t u = static_cast<uint32_t>(v);
    if (neg) u = 0u - u;
    *out = static_cast<int32_t>(u);
    return true;
}

bool ascii_ieq(const char16_t* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        char16_t x = *a;
        if (x >= u'A' && x <= u'Z') x += 32;
        if (x != static_cast<char16_t>(*b)) return false;
    }
    return !*a && !*b;
}

SchemeCell* read_sharp(SchemeInterpreter* sc) {
    tok_reset(sc);
    int u;
    uint32_t c = peekc(sc, &u);
    if (u && c == u'\\') {
        tok_add(sc, c);
        advance(sc, u);
        c = peekc(sc, &u);
        if (u) {
            tok_add(sc, c);
            advance(sc, u);
        }
    }
    collect_atom(sc);
    const char16_t* t = tok_text(sc);
    if (t[0] == u'\\') {
        const char16_t* rest = t + 1;
        if (ascii_ieq(rest, "space")) return s_return(sc, mk_character(sc, 32));
        if (ascii_ieq(rest, "newline")) return s_return(sc, mk_character(sc, 10));
        if (ascii_ieq(rest, "return")) return s_return(sc, mk_character(sc, 13));
        if (ascii_ieq(rest, "tab")) return s_return(sc, mk_character(sc, 9));
        int n;
        return s_return(sc, mk_character(sc, utf16_decode(rest, &n)));
    }
    if (t[0] == u't' && !t[1]) return s_return(sc, sc->T);
    if (t[0] == u'f' && !t[1]) return s_return(sc, sc->F);
    int64_t v;
    int base = t[0] == u'o' ? 8 : t[0] == u'd' ? 10 : t[0] == u'x' ? 16 : 0;
    if (base && parse_radix(t + 1, base, &v)) return s_return(sc, mk_integer(sc, v));
    return raise_error0(sc, u"Undefined sharp expression");
}

SchemeCell* read_string(SchemeInterpreter* sc) {
    tok_reset(sc);
    for (;;) {
        int u;
        uint32_t c = peekc(sc, &u);
        if (!u) break;
        advance(sc, u);
        if (c == u'"') break;
        if (c == u'\\') {
            c = peekc(sc, &u);
            if (!u) break;
            advance(sc, u);
            if (c == u'n')
                c = u'\n';
            else if (c == u'r')
                c = u'\r';
            else if (c == u't')
                c = u'\t';
        }
        tok_add(sc, c);
    }
    return s_return(sc, mk_string(sc, tok_text(sc)));
}

SchemeCell* read_regexp(SchemeInterpreter* sc) {
    tok_reset(sc);
    for (;;) {
        int u;
        uint32_t c = peekc(sc, &u);
        if (!u) break;
        advance(sc, u);
        if (c == u'/') break;
        if (c == u'\\') {
            uint32_t n = peekc(sc, &u);
            if (u && n == u'/') {
                advance(sc, u);
                tok_add(sc, u'/');
                continue;
            }
        }
        tok_add(sc, c);
    }
    int u;
    bool icase = false;
    if (peekc(sc, &u) == u'i' && u) {
        advance(sc, u);
        icase = true;
    }
    SchemeCell* cell = mk_regexp(sc, tok_text(sc), icase);
    if (!sch_compile_regexp(sc, cell)) return raise_error0(sc, u"invalid regexp pattern");
    return s_return(sc, cell);
}

SchemeCell* wrap(SchemeInterpreter* sc, SchemeCell* sym) {
    SchemeCell* l = cons(sc, sc->value, sc->NIL);
    return s_return(sc, cons(sc, sym, l));
}

} // namespace

int32_t lex_token(SchemeInterpreter* sc) {
    int u;
    uint32_t c;
    for (;;) {
        c = peekc(sc, &u);
        if (!u) return 15;
        if (!is_blank(c)) break;
        advance(sc, u);
    }
    switch (c) {
    case u'(': advance(sc, u); return 0;
    case u')': advance(sc, u); return 1;
    case u'.':
        if (is_blank(peek_after(sc))) {
            advance(sc, u);
            return 2;
        }
        return 3;
    case u'\'':
        advance(sc, u);
        if (peekc(sc, &u) == u'#' && u && peek_after(sc) == u'(') {
            advance(sc, u);
            return 5;
        }
        return 4;
    case u';': advance(sc, u); return 6;
    case u'"': advance(sc, u); return 7;
    case u'`':
        advance(sc, u);
        if (peekc(sc, &u) == u'#' && u && peek_after(sc) == u'(') {
            advance(sc, u);
            return 9;
        }
        return 8;
    case u',':
        advance(sc, u);
        if (peekc(sc, &u) == u'@' && u) {
            advance(sc, u);
            return 11;
        }
        return 10;
    case u'#': {
        advance(sc, u);
        uint32_t n = peekc(sc, &u);
        if (!u) return 12;
        if (n == u'(') return 5;
        if (n == u'!') {
            advance(sc, u);
            return 6;
        }
        if (n == u'|') {
            advance(sc, u);
            return 13;
        }
        if (n == u'/') {
            advance(sc, u);
            return 14;
        }
        return 12;
    }
    default: return 3;
    }
}

SchemeCell* op_reader(SchemeInterpreter* sc, int op) {
    switch (op) {
    case 103:
        for (;;) {
            switch (sc->token) {
            case 0:
                sc->token = lex_token(sc);
                if (sc->token == 1) return s_return(sc, sc->NIL);
                if (sc->token == 2) return raise_error0(sc, u"syntax error -- illegal dot expression");
                dump_push(sc, 104, sc->NIL, sc->NIL);
                continue;
            case 3: {
                tok_reset(sc);
                collect_atom(sc);
                int64_t v;
                if (parse_decimal(tok_text(sc), &v)) return s_return(sc, mk_integer(sc, v));
                return s_return(sc, mk_symbol(sc, tok_text(sc)));
            }
            case 4:
            case 5:
            case 8:
            case 9:
            case 10:
            case 11: {
                static const int next[] = {0, 0, 0, 0, 106, 107, 0, 0, 108, 111, 109, 110};
                dump_push(sc, next[sc->token], sc->NIL, sc->NIL);
                sc->token = lex_token(sc);
                continue;
            }
            case 6:
                skip_line(sc);
                sc->token = lex_token(sc);
                continue;
            case 7: return read_string(sc);
            case 12: return read_sharp(sc);
            case 13:
                skip_block_comment(sc);
                sc->token = lex_token(sc);
                continue;
            case 14: return read_regexp(sc);
            case 15: return s_goto(sc, 100);
            default: return raise_error0(sc, u"syntax error -- illegal token");
            }
        }
    case 104:
        sc->args = cons(sc, sc->value, sc->args);
        for (;;) {
            sc->token = lex_token(sc);
            if (sc->token == 6) {
                skip_line(sc);
                continue;
            }
            if (sc->token == 13) {
                skip_block_comment(sc);
                continue;
            }
            break;
        }
        if (sc->token == 15) return raise_error0(sc, u"syntax error -- EOF inside a list");
        if (sc->token == 1) return s_return(sc, list_reverse_in_place(sc, sc->args, sc->NIL));
        if (sc->token == 2) {
            dump_push(sc, 105, sc->args, sc->NIL);
            sc->token = lex_token(sc);
            return s_goto(sc, 103);
        }
        dump_push(sc, 104, sc->args, sc->NIL);
        return s_goto(sc, 103);
    case 105:
        sc->token = lex_token(sc);
        if (sc->token != 1) return raise_error0(sc, u"syntax error -- illegal dot expression");
        return s_return(sc, list_reverse_in_place(sc, sc->args, sc->value));
    case 106: return wrap(sc, sc->symQuote);
    case 107: {
        int64_t n = list_length(sc->NIL, sc->value);
        if (n < 0) return raise_error0(sc, u"vector constructer require list:");
        return s_return(sc, mk_vector_from_list(sc, sc->value, n));
    }
    case 108: return wrap(sc, sc->symQuasiquote);
    case 109: return wrap(sc, sc->symUnquote);
    case 110: return wrap(sc, sc->symUnquoteSplicing);
    case 111: return wrap(sc, sc->symQuasiquoteVec);
    default: return op_placeholder(sc, op);
    }
}

// ---------------------------------------------------------------- printer

namespace {

void append_ascii(std::u16string& out, const char* s) {
    for (; *s; ++s) out += static_cast<char16_t>(*s);
}

void append_char(std::u16string& out, uint32_t c) {
    char16_t buf[2];
    int n = text_put_char(c, buf);
    out.append(buf, n);
}

void atom_text(SchemeInterpreter* sc, SchemeCell* x, int mode, std::u16string& out) {
    if (x == sc->NIL) return append_ascii(out, "()");
    if (x == sc->T) return append_ascii(out, "#t");
    if (x == sc->F) return append_ascii(out, "#f");
    if (x == sc->UNDEF) return append_ascii(out, "#<undef>");
    int t = type_of(x);
    bool atom = (x->flags & SCH_ATOM) != 0;
    if (!atom) {
        if (t == SCH_CLOSURE) return append_ascii(out, "#<closure>");
        if (t == SCH_MACRO) return append_ascii(out, "#<macro>");
        return append_ascii(out, "#<unknown>");
    }
    switch (t) {
    case SCH_SYNTAX: return append_ascii(out, "#<syntax>");
    case SCH_PRIMITIVE:
        append_ascii(out, "#<subr ");
        out += op_name(static_cast<int>(x->a.u32));
        out += u'>';
        return;
    case SCH_SYMBOL: out += sym_name(x); return;
    case SCH_CONTINUATION: return append_ascii(out, "#<continuation>");
    case SCH_PORT: {
        SchemePort* p = port_of(x);
        append_ascii(out, (p->flags & SCH_PORT_OUTPUT) ? "#<oport" : "#<iport");
        if (p->flags & SCH_PORT_CLOSED) append_ascii(out, "(closed)");
        out += u' ';
        out += p->name;
        out += u'>';
        return;
    }
    case SCH_EOF: return append_ascii(out, "#<eof>");
    case SCH_INTEGER: {
        char buf[24];
        auto r = std::to_chars(buf, buf + sizeof buf, x->a.ival);
        for (char* p = buf; p < r.ptr; ++p) out += static_cast<char16_t>(*p);
        return;
    }
    case SCH_STRING: {
        const char16_t* s = str_text(x);
        if (mode != 1) {
            out += s;
            return;
        }
        out += u'"';
        for (; *s; ++s) {
            switch (*s) {
            case u'"': out += u"\\\""; break;
            case u'\\': out += u"\\\\"; break;
            case u'\t': out += u"\\t"; break;
            case u'\n': out += u"\\n"; break;
            case u'\r': out += u"\\r"; break;
            default: out += *s; break;
            }
        }
        out += u'"';
        return;
    }
    case SCH_CHARACTER: {
        uint32_t c = x->a.u32;
        if (mode != 1) return append_char(out, c);
        if (c == 10) return append_ascii(out, "#\\newline");
        if (c == 13) return append_ascii(out, "#\\return");
        if (c == 32) return append_ascii(out, "#\\space");
        if (c == 9) return append_ascii(out, "#\\tab");
        append_ascii(out, "#\\");
        return append_char(out, c);
    }
    case SCH_HOSTFN:
        append_ascii(out, "#<callback function ");
        out += payload<SchemeHostFnData>(x)->name;
        out += u'>';
        return;
    case SCH_REGEXP: {
        SchemeRegexpData* d = payload<SchemeRegexpData>(x);
        out += u"#/";
        for (const char16_t* p = d->pattern; *p; ++p) {
            if (*p == u'/') out += u'\\';
            out += *p;
        }
        out += u'/';
        if (d->ignoreCase) out += u'i';
        return;
    }
    case SCH_MATCH: return append_ascii(out, "#<regmatch>");
    case SCH_HASHTABLE:
        append_ascii(out, "#<hash-table ");
        out += hash_kind_print_name(payload<SchemeHashData>(x)->kind);
        out += u'>';
        return;
    case SCH_CLASS:
        append_ascii(out, "#<class ");
        out += payload<SchemeClassData>(x)->name;
        out += u'>';
        return;
    case SCH_INSTANCE: {
        SchemeCell* k = payload<SchemeInstanceData>(x)->klass;
        out += u"#<";
        out += payload<SchemeClassData>(k)->name;
        char buf[40];
        snprintf(buf, sizeof buf, " 0x%016" PRIX64 ">",
                 static_cast<uint64_t>(reinterpret_cast<uintptr_t>(x)));
        append_ascii(out, buf);
        return;
    }
    default: return append_ascii(out, "#<unknown>");
    }
}

void print_atom(SchemeInterpreter* sc, SchemeCell* x) {
    if (sc->printMode == -1) return; // measuring only: see sch_atom_text_length
    if (is_int(x)) {
        char buf[24];
        char16_t w[24];
        auto r = std::to_chars(buf, buf + sizeof buf, x->a.ival);
        int n = 0;
        for (char* p = buf; p < r.ptr; ++p) w[n++] = *p;
        w[n] = 0;
        port_write(sc, sc->outport, w, n);
        return;
    }
    std::u16string text;
    atom_text(sc, x, sc->printMode, text);
    port_write(sc, sc->outport, text.c_str(), static_cast<int64_t>(text.size()));
}

inline void set_printing(SchemeInterpreter* sc, SchemeCell* x) {
    x->flags |= SCH_PRINTING;
    ++sc->printMarks;
}

// Clears the marks a list or vector print set, from its head up to the cell
// where its walk stopped (a cell met again may belong to an outer print).
void clear_printing(SchemeInterpreter* sc, SchemeCell* head, SchemeCell* stop) {
    SchemeCell* p = head;
    do {
        if (!(p->flags & SCH_PRINTING)) break;
        p->flags &= ~SCH_PRINTING;
        --sc->printMarks;
        if (!is_pair(p)) break;
        p = cdr(p);
    } while (is_pair(p) && p != stop);
}

} // namespace

// Length of the text the atom printer writes for x in the given mode.
int64_t sch_atom_text_length(SchemeInterpreter* sc, SchemeCell* x, int mode) {
    std::u16string text;
    atom_text(sc, x, mode, text);
    return static_cast<int64_t>(text.size());
}

SchemeCell* op_printer(SchemeInterpreter* sc, int op) {
    switch (op) {
    case 93: {
        SchemeCell* x = sc->args;
        if (is_type(x, SCH_VECTOR)) {
            if (x->flags & SCH_PRINTING) {
                out_text(sc, u"...");
                return s_return(sc, sc->UNDEF);
            }
            set_printing(sc, x);
            out_text(sc, u"#(");
            SchemeCell* i = mk_integer(sc, 0);
            sc->args = cons(sc, x, i);
            return s_goto(sc, 114);
        }
        if (!is_pair(x)) {
            print_atom(sc, x);
            return s_return(sc, sc->UNDEF);
        }
        if (x->flags & SCH_PRINTING) {
            out_text(sc, u"...");
            return s_return(sc, sc->UNDEF);
        }
        set_printing(sc, x);
        SchemeCell* head = car(x);
        if (is_pair(cdr(x)) && cddr(x) == sc->NIL && is_symbol(head)) {
            const char16_t* prefix = nullptr;
            if (head == sc->symQuote)
                prefix = u"'";
            else if (head == sc->symQuoteVector)
                prefix = u"'#";
            else if (head == sc->symQuasiquote)
                prefix = u"`";
            else if (head == sc->symQuasiquoteVec)
                prefix = u"`#";
            else if (head == sc->symUnquote)
                prefix = u",";
            else if (head == sc->symUnquoteSplicing)
                prefix = u",@";
            if (prefix) {
                out_text(sc, prefix);
                // The oblist never appears in script data: it marks the end
                // of a prefixed form.
                dump_push(sc, 94, sc->oblist, x);
                sc->args = cadr(x);
                return s_goto(sc, 93);
            }
        }
        out_text(sc, u"(");
        dump_push(sc, 94, cdr(x), x);
        sc->args = car(x);
        return s_goto(sc, 93);
    }
    case 94: {
        SchemeCell* rest = sc->args;
        SchemeCell* head = sc->code;
        if (rest == sc->oblist) {
            clear_printing(sc, head, cdr(head));
            return s_return(sc, sc->UNDEF);
        }
        if (is_pair(rest)) {
            if (rest->flags & SCH_PRINTING) {
                out_text(sc, u" ...)");
                clear_printing(sc, head, rest);
                return s_return(sc, sc->UNDEF);
            }
            set_printing(sc, rest);
            out_text(sc, u" ");
            dump_push(sc, 94, cdr(rest), head);
            sc->args = car(rest);
            return s_goto(sc, 93);
        }
        if (rest == sc->NIL) {
            out_text(sc, u")");
            clear_printing(sc, head, rest);
            return s_return(sc, sc->UNDEF);
        }
        out_text(sc, u" . ");
        dump_push(sc, 94, sc->NIL, head);
        sc->args = rest;
        return s_goto(sc, 93);
    }
    case 114: {
        SchemeCell* v = car(sc->args);
        int64_t i = cdr(sc->args)->a.ival;
        SchemeVectorData* d = vec_data(v);
        if (i >= d->filled) {
            out_text(sc, u")");
            clear_printing(sc, v, v);
            return s_return(sc, sc->UNDEF);
        }
        if (i > 0) out_text(sc, u" ");
        SchemeCell* next = mk_integer(sc, i + 1);
        dump_push(sc, 114, cons(sc, v, next), sc->NIL);
        sc->args = d->items[i];
        return s_goto(sc, 93);
    }
    default: return op_placeholder(sc, op);
    }
}
