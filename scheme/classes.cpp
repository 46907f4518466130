// Classes with named slots and their instances, the built-in classes
// <sys-tm> and <sys-stat>, and the system primitives: clock, local time and
// its formatting, file status, environment, program start and clipboard.
#include <windows.h>

#include <cstring>
#include <ctime>
#include <string>

#include "scheme/sch_impl.h"

namespace {

// A slot's getter returns its value; a setter returns the position when it
// stored the value, or -1 after writing its message into the message buffer.
typedef SchemeCell* (*SlotGetter)(SchemeInterpreter* sc, SchemeCell* instance, int32_t position);
typedef int32_t (*SlotSetter)(SchemeInterpreter* sc, SchemeCell* instance, SchemeCell* value,
                              int32_t position);
struct SlotAccessor {
    SlotGetter getter;
    SlotSetter setter;
};

constexpr int64_t kLastLocalTime = 32535215999; // 3000-12-31 23:59:59 UTC

using Args = OpArgs<4>;

void set_msg(SchemeInterpreter* sc, const char16_t* text) {
    int n = 0;
    for (; text[n] && n < SCH_MSG_UNITS - 1; ++n) sc->msg[n] = text[n];
    sc->msg[n] = 0;
}

SchemeClassData* class_data(SchemeCell* c) {
    return payload<SchemeClassData>(c);
}

// The class keeps its own copy of the slot names; only positions below the
// slot count are taken.
SchemeCell* make_class(SchemeInterpreter* sc, const char16_t* name, SchemeCell* supers, SchemeCell* slots,
                       bool integerSetters) {
    SchRoot r1(sc, supers);
    SchemeCell* names = list_copy(sc, slots);
    SchRoot r2(sc, names);
    int64_t count = list_length(sc->NIL, names);
    int64_t n = text_len(name);
    uint64_t bytes = sch_size_add(sc, sizeof(SchemeClassData), sch_size_mul(sc, n, sizeof(char16_t)));
    SchemeClassData* d = static_cast<SchemeClassData*>(sch_palloc(sc, bytes));
    d->base = supers;
    d->slotNames = names;
    d->accessors = nullptr;
    d->slotCount = static_cast<int32_t>(count);
    memcpy(d->name, name, (n + 1) * sizeof(char16_t));
    SchemeCell* c;
    try {
        if (integerSetters && count > 0) {
            SlotAccessor* acc = static_cast<SlotAccessor*>(
                sch_palloc(sc, sch_size_mul(sc, static_cast<uint64_t>(count), sizeof(SlotAccessor))));
            for (int64_t i = 0; i < count; ++i) {
                acc[i].getter = nullptr;
                acc[i].setter = [](SchemeInterpreter* s, SchemeCell* inst, SchemeCell* v,
                                   int32_t pos) -> int32_t {
                    if (!is_int(v)) {
                        set_msg(s, u"exact integer required, but got");
                        return -1;
                    }
                    payload<SchemeInstanceData>(inst)->slots[pos] = v;
                    return pos;
                };
            }
            d->accessors = acc;
        }
        c = mk_atom(sc, SCH_CLASS);
    } catch (...) {
        sch_pfree(sc, d->accessors);
        sch_pfree(sc, d);
        throw;
    }
    c->a.ptr = d;
    return c;
}

SchemeCell* make_instance(SchemeInterpreter* sc, SchemeCell* klass) {
    SchRoot r(sc, klass);
    int32_t n = class_data(klass)->slotCount;
    if (n < 0) n = 0;
    uint64_t bytes = sch_size_add(sc, sizeof(SchemeInstanceData),
                                  sch_size_mul(sc, static_cast<uint64_t>(n), sizeof(SchemeCell*)));
    SchemeInstanceData* d = static_cast<SchemeInstanceData*>(sch_palloc(sc, bytes));
    d->klass = klass;
    for (int32_t i = 0; i < n; ++i) d->slots[i] = sc->UNDEF;
    SchemeCell* c;
    try {
        c = mk_atom(sc, SCH_INSTANCE);
    } catch (...) {
        sch_pfree(sc, d);
        throw;
    }
    c->a.ptr = d;
    return c;
}

// The slot's position, or -1 with the message buffer set.
int32_t slot_position(SchemeInterpreter* sc, SchemeCell* klass, SchemeCell* sym) {
    SchemeClassData* d = class_data(klass);
    int32_t i = 0;
    for (SchemeCell* p = d->slotNames; is_pair(p) && i < d->slotCount; p = cdr(p), ++i) {
        if (car(p) == sym) return i;
    }
    set_msg(sc, u"slot-ref: object doesn't have such slot:");
    return -1;
}

SchemeCell* slot_ref(SchemeInterpreter* sc, SchemeCell* inst, SchemeCell* sym) {
    SchemeInstanceData* d = payload<SchemeInstanceData>(inst);
    int32_t pos = slot_position(sc, d->klass, sym);
    if (pos < 0) return raise_msg(sc, sym);
    SlotAccessor* acc = static_cast<SlotAccessor*>(class_data(d->klass)->accessors);
    if (acc && acc[pos].getter) return s_return(sc, acc[pos].getter(sc, inst, pos));
    return s_return(sc, d->slots[pos]);
}

SchemeCell* slot_set(SchemeInterpreter* sc, SchemeCell* inst, SchemeCell* sym, SchemeCell* value) {
    SchemeInstanceData* d = payload<SchemeInstanceData>(inst);
    int32_t pos = slot_position(sc, d->klass, sym);
    if (pos < 0) return raise_msg(sc, value);
    SlotAccessor* acc = static_cast<SlotAccessor*>(class_data(d->klass)->accessors);
    if (acc && acc[pos].setter) {
        if (acc[pos].setter(sc, inst, value, pos) < 0) return raise_msg(sc, value);
    } else {
        d->slots[pos] = value;
    }
    return s_return(sc, sc->UNDEF);
}

SchemeCell* global_class(SchemeInterpreter* sc, const char16_t* name) {
    SchemeCell** slot = env_lookup(sc, sc->globalEnv, mk_symbol(sc, name));
    if (!slot || !is_type(*slot, SCH_CLASS)) sch_fatal(sc, u"class not found");
    return *slot;
}

// Stores an integer into a named slot of a fresh instance (no setter runs).
void put_slot(SchemeInterpreter* sc, SchemeCell* inst, const char16_t* name, int64_t v) {
    SchemeCell* sym = mk_symbol(sc, name);
    int32_t pos = slot_position(sc, payload<SchemeInstanceData>(inst)->klass, sym);
    if (pos < 0) return;
    SchemeCell* n = mk_integer(sc, v);
    payload<SchemeInstanceData>(inst)->slots[pos] = n;
}

int get_slot(SchemeInterpreter* sc, SchemeCell* inst, const char16_t* name) {
    SchemeCell* sym = mk_symbol(sc, name);
    int32_t pos = slot_position(sc, payload<SchemeInstanceData>(inst)->klass, sym);
    if (pos < 0) return 0;
    SchemeCell* v = payload<SchemeInstanceData>(inst)->slots[pos];
    return is_int(v) ? static_cast<int>(v->a.ival) : 0;
}

const char16_t* const kTmSlots[] = {u"sec",  u"min",  u"hour", u"mday", u"mon",
                                    u"year", u"wday", u"yday", u"isdst"};
const char16_t* const kStatSlots[] = {u"size", u"atime", u"mtime", u"ctime"};

SchemeCell* localtime_prim(SchemeInterpreter* sc, SchemeCell* t) {
    __time64_t v = t->a.ival;
    struct tm* tm = v >= 0 && v <= kLastLocalTime ? _localtime64(&v) : nullptr;
    if (!tm) return raise_error(sc, u"sys-localtime: time out of range", t);
    int fields[9] = {tm->tm_sec,  tm->tm_min,  tm->tm_hour, tm->tm_mday, tm->tm_mon,
                     tm->tm_year, tm->tm_wday, tm->tm_yday, tm->tm_isdst};
    SchemeCell* inst = make_instance(sc, global_class(sc, u"<sys-tm>"));
    SchRoot r(sc, inst);
    for (int i = 0; i < 9; ++i) put_slot(sc, inst, kTmSlots[i], fields[i]);
    return s_return(sc, inst);
}

SchemeCell* strftime_prim(SchemeInterpreter* sc, SchemeCell* format, SchemeCell* obj) {
    SchemeCell* klass = global_class(sc, u"<sys-tm>");
    if (payload<SchemeInstanceData>(obj)->klass != klass)
        return raise_error(sc, u"sys-strftime: <sys-tm> required:", obj);
    struct tm tm = {};
    int* fields[9] = {&tm.tm_sec,  &tm.tm_min,  &tm.tm_hour, &tm.tm_mday, &tm.tm_mon,
                      &tm.tm_year, &tm.tm_wday, &tm.tm_yday, &tm.tm_isdst};
    for (int i = 0; i < 9; ++i) *fields[i] = get_slot(sc, obj, kTmSlots[i]);
    char16_t buffer[1024];
    size_t n = wcsftime(buffer, 1024, str_text(format), &tm);
    buffer[n < 1024 ? n : 0] = 0;
    return s_return(sc, mk_string(sc, buffer));
}

SchemeCell* stat_prim(SchemeInterpreter* sc, SchemeCell* path) {
    struct _stat64 st;
    if (_wstat64(str_text(path), &st) != 0) return raise_error(sc, u"sys-stat: stat error:", path);
    SchemeCell* inst = make_instance(sc, global_class(sc, u"<sys-stat>"));
    SchRoot r(sc, inst);
    int64_t values[4] = {st.st_size, st.st_atime, st.st_mtime, st.st_ctime};
    for (int i = 0; i < 4; ++i) put_slot(sc, inst, kStatSlots[i], values[i]);
    return s_return(sc, inst);
}

SchemeCell* win_exec(SchemeInterpreter* sc) {
    // The line holds 1024 units; each argument takes its length plus a blank
    // out of a budget of 1022.
    std::u16string line;
    int64_t used = 0;
    for (SchemeCell* p = sc->args; is_pair(p); p = cdr(p)) {
        if (!check_letter(sc, u'S', car(p), u"win-exec")) return raise_msg(sc, car(p));
        int64_t n = text_len(str_text(car(p)));
        if (used + n > 1022) return raise_error0(sc, u"command is too long");
        used += n + 1;
        line += str_text(car(p));
        line += u' ';
    }
    STARTUPINFOW si;
    memset(&si, 0, sizeof si);
    si.cb = 104;
    PROCESS_INFORMATION pi;
    memset(&pi, 0, sizeof pi);
    std::u16string mutableLine = line;
    if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return raise_error(sc, u"win-exec: can not execute", mk_string(sc, line.c_str()));
    if (pi.hProcess) CloseHandle(pi.hProcess);
    if (pi.hThread) CloseHandle(pi.hThread);
    return s_return(sc, mk_integer(sc, 0));
}

SchemeCell* clipboard_text(SchemeInterpreter* sc) {
    std::u16string text;
    if (IsClipboardFormatAvailable(CF_UNICODETEXT) && OpenClipboard(nullptr)) {
        if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
            if (const char16_t* p = static_cast<const char16_t*>(GlobalLock(h))) {
                size_t units = GlobalSize(h) / sizeof(char16_t);
                size_t n = 0;
                while (n < units && p[n]) ++n;
                text.assign(p, n);
                GlobalUnlock(h);
            }
        }
        CloseClipboard();
    }
    return s_return(sc, mk_string(sc, text.c_str()));
}

} // namespace

void sch_define_builtin_classes(SchemeInterpreter* sc) {
    struct Builtin {
        const char16_t* name;
        const char16_t* const* slots;
        int count;
    } const builtins[] = {{u"<sys-tm>", kTmSlots, 9}, {u"<sys-stat>", kStatSlots, 4}};
    for (const Builtin& b : builtins) {
        SchemeCell* list = sc->NIL;
        SchRoot r(sc, list);
        for (int i = b.count - 1; i >= 0; --i) list = cons(sc, mk_symbol(sc, b.slots[i]), list);
        SchemeCell* klass = make_class(sc, b.name, sc->NIL, list, true);
        SchRoot r2(sc, klass);
        env_define(sc, sc->globalEnv, mk_symbol(sc, b.name), klass);
    }
}

SchemeCell* op_class(SchemeInterpreter* sc, int op) {
    if (op == 193) return win_exec(sc);
    Args g;
    if (!gather_op(sc, op, g)) return sc->T;
    switch (op) {
    case 184: return s_return(sc, make_class(sc, str_text(g.a[0]), g.a[1], g.a[2], false));
    case 185: return s_return(sc, make_instance(sc, g.a[0]));
    case 186: return slot_ref(sc, g.a[0], g.a[1]);
    case 187: return slot_set(sc, g.a[0], g.a[1], g.a[2]);
    case 188: return s_return(sc, mk_integer(sc, _time64(nullptr)));
    case 189: return localtime_prim(sc, g.a[0]);
    case 190: return strftime_prim(sc, g.a[0], g.a[1]);
    case 191: return stat_prim(sc, g.a[0]);
    case 192: {
        const char16_t* v = _wgetenv(str_text(g.a[0]));
        return s_return(sc, mk_string(sc, v ? v : u""));
    }
    case 194: return clipboard_text(sc);
    default: return op_placeholder(sc, op);
    }
}
