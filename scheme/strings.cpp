// String primitives: indexes and lengths count code points; a high surrogate
// joins only a following low surrogate, a lone surrogate is one character.
#include <cstring>
#include <vector>

#include "base/utf16.h"
#include "scheme/sch_impl.h"

namespace {

using Args = OpArgs<4>;

SchemeCell* out_of_buffer(SchemeInterpreter* sc) {
    return raise_error0(sc, u"out of string buffer");
}

// Takes k characters from p; null when a step would pass the NUL.
const char16_t* walk(const char16_t* p, int64_t k) {
    for (; k > 0; --k) {
        if (*p == 0) return nullptr;
        p += utf16_char_units(p);
    }
    return p;
}

SchemeCell* string_ref(SchemeInterpreter* sc, SchemeCell* s, int64_t k) {
    const char16_t* p = walk(str_text(s), k);
    if (!p) return out_of_buffer(sc);
    int u;
    return s_return(sc, mk_character(sc, utf16_decode(p, &u)));
}

SchemeCell* string_set(SchemeInterpreter* sc, SchemeCell* s, int64_t k, uint32_t cp) {
    char16_t* text = str_text(s);
    const char16_t* p = walk(text, k);
    if (!p || *p == 0) return out_of_buffer(sc);
    int64_t at = p - text;
    int oldUnits = utf16_char_units(p);
    char16_t enc[2];
    int newUnits = utf16_encode(cp, enc);
    if (oldUnits == newUnits) {
        memcpy(text + at, enc, newUnits * sizeof(char16_t));
        return s_return(sc, s);
    }
    int64_t len = text_len(text);
    int64_t newLen = len - oldUnits + newUnits;
    uint64_t bytes = sch_size_add(sc, sizeof(int64_t) + sizeof(char16_t),
                                  sch_size_mul(sc, static_cast<uint64_t>(newLen), sizeof(char16_t)));
    SchemeStringData* d = static_cast<SchemeStringData*>(sch_palloc(sc, bytes));
    text = str_text(s); // the allocation may have collected, never this rooted string
    d->length = newLen;
    memcpy(d->text, text, at * sizeof(char16_t));
    memcpy(d->text + at, enc, newUnits * sizeof(char16_t));
    memcpy(d->text + at + newUnits, text + at + oldUnits, (len - at - oldUnits + 1) * sizeof(char16_t));
    sch_pfree(sc, s->a.ptr);
    s->a.ptr = d;
    return s_return(sc, s);
}

SchemeCell* substring(SchemeInterpreter* sc, SchemeCell* s, int64_t start, int64_t end) {
    if (end < start) return raise_error0(sc, u"substring: invalid argument (start > end)");
    const char16_t* from = walk(str_text(s), start);
    if (!from) return out_of_buffer(sc);
    const char16_t* to = walk(from, end - start);
    if (!to) return out_of_buffer(sc);
    int64_t offset = from - str_text(s);
    SchemeCell* r = mk_string_n(sc, to - from);
    memcpy(str_text(r), str_text(s) + offset, (to - from) * sizeof(char16_t));
    str_text(r)[to - from] = 0;
    return s_return(sc, r);
}

SchemeCell* string_append(SchemeInterpreter* sc) {
    uint64_t total = 0;
    int64_t small[8];
    std::vector<int64_t> lengths;
    int count = 0;
    for (SchemeCell* p = sc->args; is_pair(p); p = cdr(p), ++count) {
        if (!check_letter(sc, u'S', car(p), u"string-append")) return raise_msg(sc, car(p));
        int64_t n = text_len(str_text(car(p)));
        if (count < 8) {
            small[count] = n;
        } else {
            if (count == 8) lengths.assign(small, small + 8);
            lengths.push_back(n);
        }
        total = sch_size_add(sc, total, static_cast<uint64_t>(n));
    }
    SchemeCell* r = mk_string_n(sc, static_cast<int64_t>(total));
    char16_t* out = str_text(r);
    int i = 0;
    for (SchemeCell* p = sc->args; is_pair(p); p = cdr(p), ++i) {
        int64_t n = count <= 8 ? small[i] : lengths[i];
        memcpy(out, str_text(car(p)), n * sizeof(char16_t));
        out += n;
    }
    *out = 0;
    return s_return(sc, r);
}

SchemeCell* make_string(SchemeInterpreter* sc, int64_t k, uint32_t cp) {
    char16_t enc[2] = {0, 0};
    int u = utf16_encode(cp, enc);
    uint64_t units = sch_size_mul(sc, static_cast<uint64_t>(k), static_cast<uint64_t>(u));
    SchemeCell* r = mk_string_n(sc, static_cast<int64_t>(units));
    char16_t* out = str_text(r);
    for (int64_t i = 0; i < k; ++i) {
        out[0] = enc[0];
        if (u == 2) out[1] = enc[1];
        out += u;
    }
    *out = 0;
    return s_return(sc, r);
}

SchemeCell* compare(SchemeInterpreter* sc, SchemeCell* f, SchemeCell* a, SchemeCell* b, bool fold) {
    uint32_t op = f->a.u32;
    if (!is_type(f, SCH_PRIMITIVE) || op < 72 || op > 76) return raise_error(sc, u"unsupported procedure", f);
    int r = text_compare(str_text(a), str_text(b), fold);
    bool ok = op == 72 ? r == 0 : op == 73 ? r < 0 : op == 74 ? r > 0 : op == 75 ? r <= 0 : r >= 0;
    return s_return(sc, ok ? sc->T : sc->F);
}

} // namespace

SchemeCell* op_string(SchemeInterpreter* sc, int op) {
    if (op == 133) return string_append(sc);
    Args g;
    if (!gather_op(sc, op, g)) return sc->T;
    switch (op) {
    case 127: return make_string(sc, g.a[0]->a.ival, g.n > 1 ? g.a[1]->a.u32 : 0x20);
    case 130: return string_ref(sc, g.a[0], g.a[1]->a.ival);
    case 131: return string_set(sc, g.a[0], g.a[1]->a.ival, g.a[2]->a.u32);
    case 132: return substring(sc, g.a[0], g.a[1]->a.ival, g.a[2]->a.ival);
    case 134:
    case 135: return compare(sc, g.a[0], g.a[1], g.a[2], op == 135);
    default: return op_placeholder(sc, op);
    }
}
