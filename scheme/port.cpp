// Ports: file, string and host-callback channels, their buffers and the
// decoding of script files (UTF-16 little-endian or CP932), and the port
// primitives.
#include <windows.h>

#include <cstring>
#include <string>

#include "base/utf16.h"
#include "scheme/sch_impl.h"

namespace {

SchemePort* new_port_payload(SchemeInterpreter* sc, uint32_t flags, const char16_t* name, int64_t capacity) {
    int64_t n = text_len(name);
    uint64_t bytes = sch_size_add(sc, sizeof(SchemePort), sch_size_mul(sc, n, sizeof(char16_t)));
    SchemePort* p = static_cast<SchemePort*>(sch_palloc(sc, bytes));
    p->flags = flags;
    p->stream = nullptr;
    p->capacity = 0;
    p->start = p->cursor = p->end = nullptr;
    p->output = nullptr;
    memcpy(p->name, name, (n + 1) * sizeof(char16_t));
    if (capacity > 0) {
        try {
            p->start = static_cast<char16_t*>(
                sch_palloc(sc, sch_size_mul(sc, static_cast<uint64_t>(capacity), sizeof(char16_t))));
        } catch (...) {
            sch_pfree(sc, p);
            throw;
        }
        p->capacity = capacity;
        p->start[0] = 0;
        p->cursor = p->end = p->start;
    }
    return p;
}

SchemeCell* wrap_port(SchemeInterpreter* sc, SchemePort* p) {
    SchemeCell* c;
    try {
        c = sch_alloc(sc, sc->NIL, sc->NIL);
    } catch (...) {
        sch_pfree(sc, p->start);
        sch_pfree(sc, p);
        throw;
    }
    c->flags = SCH_ATOM | SCH_PORT;
    c->a.ptr = p;
    c->b.cdr = sc->NIL;
    return c;
}

void append_utf8(std::string& out, const char16_t* s, int64_t units) {
    const char16_t* end = s + units;
    while (s < end) {
        int u;
        uint32_t c = utf16_decode_bounded(s, end, &u);
        s += u;
        Utf8AppendCodePoint(out, c);
    }
}

// Decodes CP932 bytes one character at a time; a byte that does not convert
// is skipped. Returns the number of bytes consumed (a lead byte in the last
// position is left unconsumed).
int decode_cp932(const unsigned char* bytes, int n, char16_t* out, int* produced) {
    int i = 0, k = 0;
    while (i < n) {
        unsigned char b = bytes[i];
        if (b < 0x80) {
            out[k++] = b;
            ++i;
            continue;
        }
        if (IsDBCSLeadByteEx(932, b)) {
            if (i + 1 >= n) break;
            char16_t w[2];
            int r = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(bytes + i),
                                        2, w, 2);
            if (r == 1) {
                out[k++] = w[0];
                i += 2;
            } else {
                ++i;
            }
            continue;
        }
        char16_t w[2];
        int r =
            MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(bytes + i), 1, w, 2);
        if (r == 1) out[k++] = w[0];
        ++i;
    }
    *produced = k;
    return i;
}

} // namespace

SchemeCell* mk_port(SchemeInterpreter* sc, FILE* stream, uint32_t flags, const char16_t* name,
                    int64_t capacity) {
    SchemePort* p = new_port_payload(sc, flags, name, capacity);
    SchemeCell* c = wrap_port(sc, p);
    p->stream = stream;
    return c;
}

SchemeCell* mk_string_input_port(SchemeInterpreter* sc, const char16_t* text, int64_t units) {
    if (units < 0) units = text_len(text);
    SchemePort* p =
        new_port_payload(sc, SCH_PORT_INPUT | SCH_PORT_STRING, u"(string)", sch_size_add(sc, units, 1));
    memcpy(p->start, text, units * sizeof(char16_t));
    p->start[units] = 0;
    p->cursor = p->start;
    p->end = p->start + units;
    return wrap_port(sc, p);
}

SchemeCell* mk_string_output_port(SchemeInterpreter* sc, int64_t capacity) {
    SchemePort* p = new_port_payload(sc, SCH_PORT_OUTPUT | SCH_PORT_STRING, u"(string)", capacity);
    p->end = p->start + capacity;
    return wrap_port(sc, p);
}

SchemeCell* open_file_port(SchemeInterpreter* sc, const char16_t* path, bool output) {
    // The port exists before the stream, so the stream is never orphaned.
    SchemeCell* c = mk_port(sc, nullptr, output ? SCH_PORT_OUTPUT : SCH_PORT_INPUT, path, output ? 0 : 1034);
    SchemePort* p = port_of(c);
    FILE* f = _wfopen(path, output ? u"wb" : u"rb");
    if (!f) {
        p->flags |= SCH_PORT_CLOSED;
        return nullptr;
    }
    p->stream = f;
    if (!output) {
        unsigned char head[1024];
        size_t n = fread(head, 1, sizeof head, f);
        bool utf16 = false;
        long skip = 0;
        if (n >= 2 && head[0] == 0xFF && head[1] == 0xFE) {
            utf16 = true;
            skip = 2;
        } else {
            utf16 = memchr(head, 0, n) != nullptr;
        }
        fseek(f, skip, SEEK_SET);
        if (utf16) p->flags |= SCH_PORT_UTF16;
    }
    return c;
}

void port_close(SchemeCell* port) {
    SchemePort* p = port_of(port);
    if (p->flags & SCH_PORT_CLOSED) return;
    if (p->stream && p->stream != stdin && p->stream != stdout && p->stream != stderr) fclose(p->stream);
    if (p->stream != stdin && p->stream != stdout && p->stream != stderr) p->stream = nullptr;
    p->flags |= SCH_PORT_CLOSED;
}

// ---------------------------------------------------------------- output

void string_port_append(SchemeInterpreter* sc, SchemePort* p, const char16_t* text, int64_t units) {
    int64_t used = p->cursor - p->start;
    int64_t need = sch_size_add(sc, sch_size_add(sc, used, units), 1);
    if (need > p->capacity) {
        int64_t cap = p->capacity ? p->capacity : 64;
        while (cap < need) cap = sch_size_mul(sc, cap, 2);
        p->start =
            static_cast<char16_t*>(sch_prealloc(sc, p->start, sch_size_mul(sc, cap, sizeof(char16_t))));
        p->capacity = cap;
        p->cursor = p->start + used;
        p->end = p->start + cap;
    }
    memcpy(p->cursor, text, units * sizeof(char16_t));
    p->cursor += units;
    *p->cursor = 0;
}

void port_write(SchemeInterpreter* sc, SchemeCell* port, const char16_t* text, int64_t units) {
    if (!is_port(port)) return;
    SchemePort* p = port_of(port);
    if ((p->flags & (SCH_PORT_OUTPUT | SCH_PORT_CLOSED)) != SCH_PORT_OUTPUT || units <= 0) return;
    if (p->flags & SCH_PORT_STRING) {
        string_port_append(sc, p, text, units);
        return;
    }
    if (p->output) {
        if (text[units] == 0) {
            p->output(sc, text, p->flags);
        } else {
            std::u16string copy(text, units);
            p->output(sc, copy.c_str(), p->flags);
        }
        return;
    }
    if (!p->stream) return;
    if (p->stream == stdout || p->stream == stderr) {
        std::string bytes;
        append_utf8(bytes, text, units);
        fwrite(bytes.data(), 1, bytes.size(), p->stream);
        fflush(p->stream);
        return;
    }
    unsigned char buf[512];
    while (units > 0) {
        int64_t n = units > 256 ? 256 : units;
        for (int64_t i = 0; i < n; ++i) {
            buf[2 * i] = static_cast<unsigned char>(text[i] & 0xFF);
            buf[2 * i + 1] = static_cast<unsigned char>(text[i] >> 8);
        }
        fwrite(buf, 1, 2 * n, p->stream);
        text += n;
        units -= n;
    }
}

void out_text(SchemeInterpreter* sc, const char16_t* text) {
    port_write(sc, sc->outport, text, text_len(text));
}

// ---------------------------------------------------------------- input

bool port_fill(SchemeInterpreter* sc, SchemePort* p) {
    (void)sc;
    if (!p->stream || (p->flags & SCH_PORT_STRING) || !p->start) return false;
    int64_t left = p->end - p->cursor;
    if (p->stream == stdin) {
        if (left > 0) return false;
        char line[1024];
        if (!fgets(line, sizeof line, stdin)) return false;
        int n = static_cast<int>(strlen(line));
        int produced = 0;
        int used = decode_cp932(reinterpret_cast<unsigned char*>(line), n, p->start, &produced);
        (void)used;
        p->cursor = p->start;
        p->end = p->start + produced;
        return produced > 0;
    }
    if (left >= 10 || feof(p->stream)) return false;
    if (left > 0) memmove(p->start, p->cursor, left * sizeof(char16_t));
    p->cursor = p->start;
    p->end = p->start + left;
    int64_t room = p->capacity - left - 1;
    if (room <= 0) return false;
    if (p->flags & SCH_PORT_UTF16) {
        unsigned char bytes[2048];
        int64_t want = room > 1024 ? 1024 : room;
        size_t got = fread(bytes, 1, static_cast<size_t>(want * 2), p->stream);
        for (size_t i = 0; i + 1 < got; i += 2)
            *p->end++ = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        return got > 0;
    }
    int64_t want = room / 4 - 1;
    if (want <= 0) want = 10;
    if (want > 1023) want = 1023;
    unsigned char bytes[1024];
    size_t got = fread(bytes, 1, static_cast<size_t>(want), p->stream);
    int produced = 0;
    int used = decode_cp932(bytes, static_cast<int>(got), p->end, &produced);
    p->end += produced;
    if (used < static_cast<int>(got)) {
        // A lead byte ends the chunk: read it again with the next one, or
        // drop it at the end of the file.
        if (static_cast<int64_t>(got) == want && fseek(p->stream, -1, SEEK_CUR) == 0) {
            // The byte comes back with the next fill.
        }
    }
    return got > 0;
}

uint32_t port_peek(SchemeInterpreter* sc, SchemeCell* port, int* units) {
    *units = 0;
    if (!is_port(port)) return 0;
    SchemePort* p = port_of(port);
    if ((p->flags & (SCH_PORT_INPUT | SCH_PORT_CLOSED)) != SCH_PORT_INPUT || !p->start) return 0;
    if (p->end - p->cursor < 10) port_fill(sc, p);
    if (p->cursor >= p->end) return 0;
    int u;
    uint32_t c = utf16_decode_bounded(p->cursor, p->end, &u);
    if (c == 0) return 0;
    *units = u;
    return c;
}

bool port_has_more(SchemeInterpreter* sc, SchemeCell* port) {
    int units;
    port_peek(sc, port, &units);
    return units > 0;
}

void port_discard_input(SchemeInterpreter* sc, SchemeCell* port) {
    (void)sc;
    if (!is_port(port)) return;
    SchemePort* p = port_of(port);
    if ((p->flags & SCH_PORT_INPUT) && p->start) p->cursor = p->end;
}

// ---------------------------------------------------------------- primitives

SchemeCell* op_port(SchemeInterpreter* sc, int op) {
    if (op == 150) return s_return(sc, sc->inport);
    if (op == 143) return s_return(sc, sc->outport);
    if (op == 145) return s_return(sc, mk_string_output_port(sc, 64));
    const SchemeOpRow& row = OpcodeTable[op];
    SchemeCell* a[2] = {sc->NIL, sc->NIL};
    int n = 0;
    if (!gather_args(sc, row.name, row.minArgs, 1, row.letters, false, sc->args, a, &n)) return sc->T;
    SchemeCell* x = a[0];
    switch (op) {
    case 149: return s_return(sc, is_port(x) && (port_of(x)->flags & SCH_PORT_INPUT) ? sc->T : sc->F);
    case 142: return s_return(sc, is_port(x) && (port_of(x)->flags & SCH_PORT_OUTPUT) ? sc->T : sc->F);
    case 154: return s_return(sc, (port_of(x)->flags & SCH_PORT_CLOSED) ? sc->T : sc->F);
    case 155: return s_return(sc, is_type(x, SCH_EOF) ? sc->T : sc->F);
    case 156: return s_return(sc, _waccess(str_text(x), 0) == 0 ? sc->T : sc->F);
    case 151:
    case 144: {
        SchRoot r(sc, x);
        std::u16string path = str_text(x);
        SchemeCell* port = open_file_port(sc, path.c_str(), op == 144);
        if (!port) return raise_error(sc, u"file cannot open", x);
        return s_return(sc, port);
    }
    case 152: {
        SchRoot r(sc, x);
        return s_return(sc, mk_string_input_port(sc, str_text(x), text_len(str_text(x))));
    }
    case 146: {
        SchemePort* p = port_of(x);
        return s_return(sc, mk_string(sc, p->start, text_len(p->start)));
    }
    case 147: {
        SchemePort* p = port_of(x);
        p->start[0] = 0;
        p->cursor = p->start;
        return s_return(sc, sc->UNDEF);
    }
    case 148:
    case 153: port_close(x); return s_return(sc, sc->UNDEF);
    default: return op_placeholder(sc, op);
    }
}
