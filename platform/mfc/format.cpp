#include "mfc/format.h"

#include <cassert>
#include <cstdio>
#include <cstring>

#include <windows.h>

namespace fmt16 {

namespace {

// What a conversion asks its argument to be.
enum class Want { Int, Float, WideStr, NarrowStr, Pointer };

// One parsed conversion directive.
struct Directive {
    bool left = false, plus = false, space = false, zero = false, alt = false;
    int width = 0;
    int precision = -1;
    int size = 4; // integer size in bytes: 1, 2, 4 or 8
    bool narrow = false, wide = false;
    char16_t conv = 0;
};

// Where formatted units go: a growing string, or a bounded buffer that counts
// what does not fit.
class Sink {
public:
    explicit Sink(std::u16string* str) : m_str(str) {}
    Sink(char16_t* buf, size_t cap) : m_buf(buf), m_cap(cap) {}

    void put(const char16_t* s, size_t n) {
        if (n == 0) return;
        if (m_str) {
            m_str->append(s, n);
        } else {
            if (m_len < m_cap) {
                size_t room = m_cap - m_len;
                std::memcpy(m_buf + m_len, s, (n < room ? n : room) * sizeof(char16_t));
            }
        }
        m_len += n;
    }
    void put(char16_t c) {
        if (m_str)
            m_str->push_back(c);
        else if (m_len < m_cap)
            m_buf[m_len] = c;
        ++m_len;
    }
    void fill(char16_t c, size_t n) {
        if (m_str) {
            m_str->append(n, c);
        } else {
            for (size_t i = 0; i < n; ++i) {
                if (m_len + i >= m_cap) break;
                m_buf[m_len + i] = c;
            }
        }
        m_len += n;
    }
    size_t length() const { return m_len; }

private:
    std::u16string* m_str = nullptr;
    char16_t* m_buf = nullptr;
    size_t m_cap = 0;
    size_t m_len = 0;
};

// Arguments from a typed array (the variadic front ends): every read checks
// the argument's type and size against the conversion.
class ArrayArgs {
public:
    ArrayArgs(const char16_t* fmt, const Arg* args, size_t count)
        : m_fmt(fmt), m_args(args), m_count(count) {}

    // Reads the next argument for a conversion wanting w (with integer size
    // `size`), returning it converted to the conversion's type.
    bool next(Want w, int size, Arg& out) {
        size_t index = m_next++;
        if (index >= m_count) {
            ArgumentMismatch(m_fmt, index);
            return false;
        }
        out = m_args[index];
        if (!matches(w, size, out)) ArgumentMismatch(m_fmt, index);
        return true;
    }

private:
    static bool matches(Want w, int size, const Arg& a) {
        switch (w) {
        case Want::Int:
            if (a.type != ArgType::Signed && a.type != ArgType::Unsigned) return false;
            // Narrower values are promoted to int; a 64-bit value is never
            // accepted by a 32-bit conversion, nor a 32-bit one by a 64-bit.
            return size == 8 ? a.size == 8 : a.size <= 4;
        case Want::Float: return a.type == ArgType::Float;
        case Want::WideStr: return a.type == ArgType::WideStr || a.type == ArgType::Null;
        case Want::NarrowStr: return a.type == ArgType::NarrowStr || a.type == ArgType::Null;
        case Want::Pointer:
            return a.type == ArgType::Pointer || a.type == ArgType::WideStr || a.type == ArgType::NarrowStr ||
                   a.type == ArgType::Null ||
                   ((a.type == ArgType::Signed || a.type == ArgType::Unsigned) && a.size == sizeof(void*));
        }
        return false;
    }

    const char16_t* m_fmt;
    const Arg* m_args;
    size_t m_count;
    size_t m_next = 0;
};

// Arguments from a va_list, read as the conversions say.
class VaArgs {
public:
    explicit VaArgs(va_list ap) { va_copy(m_ap, ap); }
    ~VaArgs() { va_end(m_ap); }
    VaArgs(const VaArgs&) = delete;
    VaArgs& operator=(const VaArgs&) = delete;

    bool next(Want w, int size, Arg& out) {
        out = Arg{};
        out.len = -1;
        switch (w) {
        case Want::Int:
            out.type = ArgType::Signed;
            if (size == 8) {
                out.size = 8;
                out.i = va_arg(m_ap, long long);
            } else {
                out.size = 4;
                out.i = va_arg(m_ap, int);
            }
            break;
        case Want::Float:
            out.type = ArgType::Float;
            out.size = 8;
            out.d = va_arg(m_ap, double);
            break;
        case Want::WideStr:
            out.type = ArgType::WideStr;
            out.size = sizeof(void*);
            out.p = va_arg(m_ap, const char16_t*);
            break;
        case Want::NarrowStr:
            out.type = ArgType::NarrowStr;
            out.size = sizeof(void*);
            out.p = va_arg(m_ap, const char*);
            break;
        case Want::Pointer:
            out.type = ArgType::Pointer;
            out.size = sizeof(void*);
            out.p = va_arg(m_ap, const void*);
            break;
        }
        return true;
    }

private:
    va_list m_ap;
};

// The value of an integer argument as the conversion's size and signedness
// read it.
uint64_t intBits(const Arg& a, int size) {
    uint64_t v;
    switch (a.type) {
    case ArgType::Signed:
    case ArgType::Unsigned: v = a.u; break;
    case ArgType::Float: v = static_cast<uint64_t>(static_cast<int64_t>(a.d)); break;
    default: v = reinterpret_cast<uintptr_t>(a.p); break;
    }
    switch (size) {
    case 1: return v & 0xFF;
    case 2: return v & 0xFFFF;
    case 4: return v & 0xFFFFFFFF;
    default: return v;
    }
}

int64_t signExtend(uint64_t v, int size) {
    switch (size) {
    case 1: return static_cast<int8_t>(v);
    case 2: return static_cast<int16_t>(v);
    case 4: return static_cast<int32_t>(v);
    default: return static_cast<int64_t>(v);
    }
}

// Writes prefix, `zeros` zeros and body with the width of dir; zeroPad fills
// the width with zeros after the prefix instead of spaces before it.
void padded(Sink& out, const Directive& dir, const char16_t* prefix, size_t prefixLen, size_t zeros,
            const char16_t* body, size_t bodyLen, bool zeroPad) {
    size_t total = prefixLen + zeros + bodyLen;
    size_t width = dir.width > 0 ? static_cast<size_t>(dir.width) : 0;
    size_t pad = width > total ? width - total : 0;
    if (!dir.left && !zeroPad) out.fill(u' ', pad);
    out.put(prefix, prefixLen);
    if (!dir.left && zeroPad) out.fill(u'0', pad);
    out.fill(u'0', zeros);
    out.put(body, bodyLen);
    if (dir.left) out.fill(u' ', pad);
}

void formatInt(Sink& out, const Directive& dir, const Arg& a) {
    char16_t c = dir.conv;
    bool isSigned = c == u'd' || c == u'i';
    uint64_t mag = intBits(a, dir.size);
    bool negative = false;
    if (isSigned) {
        int64_t v = signExtend(mag, dir.size);
        if (v < 0) {
            negative = true;
            mag = 0 - static_cast<uint64_t>(v);
        }
    }
    unsigned base = (c == u'x' || c == u'X') ? 16 : c == u'o' ? 8 : 10;
    const char* digitsOf = c == u'X' ? "0123456789ABCDEF" : "0123456789abcdef";

    char16_t digits[24];
    char16_t* end = digits + 24;
    size_t n = 0;
    for (uint64_t m = mag; m != 0; m /= base) *(end - ++n) = static_cast<char16_t>(digitsOf[m % base]);
    // The precision is the minimum number of digits; 0 with precision 0 has none.
    size_t minDigits = dir.precision >= 0 ? static_cast<size_t>(dir.precision) : 1;
    size_t zeros = minDigits > n ? minDigits - n : 0;
    if (c == u'o' && dir.alt && zeros == 0 && (n == 0 || *(end - n) != u'0')) zeros = 1;

    char16_t prefix[2];
    size_t prefixLen = 0;
    if (negative)
        prefix[prefixLen++] = u'-';
    else if (isSigned && dir.plus)
        prefix[prefixLen++] = u'+';
    else if (isSigned && dir.space)
        prefix[prefixLen++] = u' ';
    if (dir.alt && base == 16 && mag != 0) {
        prefix[prefixLen++] = u'0';
        prefix[prefixLen++] = c;
    }
    padded(out, dir, prefix, prefixLen, zeros, end - n, n, dir.zero && dir.precision < 0);
}

void formatPointer(Sink& out, const Directive& dir, const Arg& a) {
    uint64_t v = intBits(a, 8);
    char16_t digits[16];
    for (int i = 15; i >= 0; --i) {
        digits[i] = static_cast<char16_t>("0123456789ABCDEF"[v & 15]);
        v >>= 4;
    }
    padded(out, dir, nullptr, 0, 0, digits, 16, false);
}

void formatFloat(Sink& out, const Directive& dir, const Arg& a) {
    double d = a.type == ArgType::Float      ? a.d
               : a.type == ArgType::Signed   ? static_cast<double>(a.i)
               : a.type == ArgType::Unsigned ? static_cast<double>(a.u)
                                             : 0.0;
    // The C runtime's narrow formatting does the digits; no locale is ever
    // set, so the decimal separator is always '.'.
    char fmt[32];
    size_t f = 0;
    fmt[f++] = '%';
    if (dir.left) fmt[f++] = '-';
    if (dir.plus) fmt[f++] = '+';
    if (dir.space) fmt[f++] = ' ';
    if (dir.zero) fmt[f++] = '0';
    if (dir.alt) fmt[f++] = '#';
    fmt[f++] = '*';
    fmt[f++] = '.';
    fmt[f++] = '*';
    fmt[f++] = static_cast<char>(dir.conv);
    fmt[f] = 0;
    int precision = dir.precision;
    if (precision < 0) precision = (dir.conv == u'a' || dir.conv == u'A') ? -1 : 6;
    if (precision > 400) precision = 400;
    char small[128];
    int n = std::snprintf(small, sizeof small, fmt, dir.width, precision, d);
    if (n < 0) return;
    const char* text = small;
    std::string big;
    if (static_cast<size_t>(n) >= sizeof small) {
        big.resize(static_cast<size_t>(n) + 1);
        std::snprintf(big.data(), big.size(), fmt, dir.width, precision, d);
        text = big.data();
    }
    char16_t units[128];
    for (int i = 0; i < n;) {
        int chunk = n - i < 128 ? n - i : 128;
        for (int k = 0; k < chunk; ++k) units[k] = static_cast<unsigned char>(text[i + k]);
        out.put(units, static_cast<size_t>(chunk));
        i += chunk;
    }
}

void formatWideText(Sink& out, const Directive& dir, const char16_t* s, ptrdiff_t len) {
    static const char16_t kNull[] = u"(null)";
    if (!s) {
        s = kNull;
        len = 6;
    }
    size_t n;
    if (len >= 0) {
        n = static_cast<size_t>(len);
        if (dir.precision >= 0 && static_cast<size_t>(dir.precision) < n)
            n = static_cast<size_t>(dir.precision);
    } else {
        n = 0;
        size_t limit = dir.precision >= 0 ? static_cast<size_t>(dir.precision) : SIZE_MAX;
        while (n < limit && s[n]) ++n;
    }
    padded(out, dir, nullptr, 0, 0, s, n, dir.zero); // the C runtime pads strings with zeros too
}

void formatNarrowText(Sink& out, const Directive& dir, const char* s, ptrdiff_t len) {
    if (!s) {
        formatWideText(out, dir, nullptr, -1);
        return;
    }
    size_t n;
    if (len >= 0) {
        n = static_cast<size_t>(len);
    } else {
        n = 0;
        size_t limit = dir.precision >= 0 ? static_cast<size_t>(dir.precision) : SIZE_MAX;
        while (n < limit && s[n]) ++n;
    }
    if (dir.precision >= 0 && static_cast<size_t>(dir.precision) < n) n = static_cast<size_t>(dir.precision);
    std::u16string wide;
    if (n > 0) {
        int need = MultiByteToWideChar(CP_ACP, 0, s, static_cast<int>(n), nullptr, 0);
        if (need > 0) {
            wide.resize(static_cast<size_t>(need));
            MultiByteToWideChar(CP_ACP, 0, s, static_cast<int>(n), wide.data(), need);
        }
    }
    Directive plain = dir;
    plain.precision = -1;
    formatWideText(out, plain, wide.data(), static_cast<ptrdiff_t>(wide.size()));
}

void formatChar(Sink& out, const Directive& dir, const Arg& a, bool narrow) {
    char16_t unit;
    if (narrow) {
        char byte = static_cast<char>(intBits(a, 1));
        char16_t w[2] = {u'?', 0};
        if (MultiByteToWideChar(CP_ACP, 0, &byte, 1, w, 2) != 1) w[0] = u'?';
        unit = w[0];
    } else {
        unit = static_cast<char16_t>(intBits(a, 2));
    }
    padded(out, dir, nullptr, 0, 0, &unit, 1, dir.zero);
}

template <class Args> void run(Sink& out, const char16_t* fmt, Args& args) {
    if (!fmt) return;
    const char16_t* p = fmt;
    while (*p) {
        const char16_t* lit = p;
        while (*p && *p != u'%') ++p;
        if (p != lit) out.put(lit, static_cast<size_t>(p - lit));
        if (!*p) break;
        const char16_t* start = p++;
        if (*p == u'%') {
            out.put(u'%');
            ++p;
            continue;
        }
        Directive dir;
        for (;; ++p) {
            if (*p == u'-')
                dir.left = true;
            else if (*p == u'+')
                dir.plus = true;
            else if (*p == u' ')
                dir.space = true;
            else if (*p == u'0')
                dir.zero = true;
            else if (*p == u'#')
                dir.alt = true;
            else
                break;
        }
        Arg a;
        if (*p == u'*') {
            ++p;
            if (args.next(Want::Int, 4, a)) {
                int w = static_cast<int>(signExtend(intBits(a, 4), 4));
                if (w < 0) {
                    dir.left = true;
                    w = w == INT32_MIN ? INT32_MAX : -w;
                }
                dir.width = w;
            }
        } else {
            while (*p >= u'0' && *p <= u'9') {
                if (dir.width < 100000000) dir.width = dir.width * 10 + (*p - u'0');
                ++p;
            }
        }
        if (*p == u'.') {
            ++p;
            dir.precision = 0;
            if (*p == u'*') {
                ++p;
                if (args.next(Want::Int, 4, a)) {
                    int v = static_cast<int>(signExtend(intBits(a, 4), 4));
                    dir.precision = v < 0 ? -1 : v;
                }
            } else {
                while (*p >= u'0' && *p <= u'9') {
                    if (dir.precision < 100000000) dir.precision = dir.precision * 10 + (*p - u'0');
                    ++p;
                }
            }
        }
        // Length modifiers.
        switch (*p) {
        case u'h':
            ++p;
            dir.narrow = true;
            dir.size = 2;
            if (*p == u'h') {
                ++p;
                dir.size = 1;
            }
            break;
        case u'l':
            ++p;
            dir.wide = true;
            if (*p == u'l') {
                ++p;
                dir.size = 8;
            }
            break;
        case u'L': // long double: 64 bits for integers
            ++p;
            dir.size = 8;
            break;
        case u'w':
            ++p;
            dir.wide = true;
            break;
        case u'z':
        case u't':
        case u'j':
            ++p;
            dir.size = 8;
            break;
        case u'I':
            if (p[1] == u'6' && p[2] == u'4') {
                p += 3;
                dir.size = 8;
            } else if (p[1] == u'3' && p[2] == u'2') {
                p += 3;
                dir.size = 4;
            } else {
                ++p;
                dir.size = sizeof(void*);
            }
            break;
        default: break;
        }
        dir.conv = *p;
        switch (dir.conv) {
        case u'd':
        case u'i':
        case u'u':
        case u'x':
        case u'X':
        case u'o':
            if (args.next(Want::Int, dir.size, a)) formatInt(out, dir, a);
            break;
        case u'c':
        case u'C': {
            bool narrow = dir.conv == u'c' ? dir.narrow : !dir.wide;
            if (args.next(Want::Int, 4, a)) formatChar(out, dir, a, narrow);
            break;
        }
        case u's':
        case u'S': {
            bool narrow = dir.conv == u's' ? dir.narrow : !dir.wide;
            if (args.next(narrow ? Want::NarrowStr : Want::WideStr, 8, a)) {
                // A mismatched argument is printed from what it really is.
                if (a.type == ArgType::NarrowStr)
                    formatNarrowText(out, dir, static_cast<const char*>(a.p), a.len);
                else if (a.type == ArgType::WideStr || a.type == ArgType::Null)
                    formatWideText(out, dir, static_cast<const char16_t*>(a.p), a.len);
                else
                    formatWideText(out, dir, nullptr, -1);
            }
            break;
        }
        case u'p':
            if (args.next(Want::Pointer, 8, a)) formatPointer(out, dir, a);
            break;
        case u'e':
        case u'E':
        case u'f':
        case u'F':
        case u'g':
        case u'G':
        case u'a':
        case u'A':
            if (args.next(Want::Float, 8, a)) formatFloat(out, dir, a);
            break;
        default:
            // Unknown conversion (or the format ends inside one): copied as written.
            if (*p) ++p;
            out.put(start, static_cast<size_t>(p - start));
            continue;
        }
        ++p;
    }
}

int finishBounded(char16_t* buf, size_t size, size_t len) {
    if (!buf || size == 0) return buf || size ? -1 : (len > INT32_MAX ? -1 : static_cast<int>(len));
    if (len < size) {
        buf[len] = 0;
        return len > INT32_MAX ? -1 : static_cast<int>(len);
    }
    size_t keep = size - 1;
    if (keep > 0 && buf[keep - 1] >= 0xD800 && buf[keep - 1] <= 0xDBFF) --keep;
    buf[keep] = 0;
    return -1;
}

} // namespace

void ArgumentMismatch(const char16_t* fmt, size_t index) {
    (void)fmt;
    (void)index;
    assert(!"format argument does not match its conversion");
}

size_t AppendArgs(std::u16string& out, const char16_t* fmt, const Arg* args, size_t count) {
    Sink sink(&out);
    ArrayArgs source(fmt, args, count);
    run(sink, fmt, source);
    return sink.length();
}

size_t AppendVa(std::u16string& out, const char16_t* fmt, va_list ap) {
    Sink sink(&out);
    VaArgs source(ap);
    run(sink, fmt, source);
    return sink.length();
}

int BoundedArgs(char16_t* buf, size_t size, const char16_t* fmt, const Arg* args, size_t count) {
    Sink sink(buf, buf ? size : 0);
    ArrayArgs source(fmt, args, count);
    run(sink, fmt, source);
    return finishBounded(buf, size, sink.length());
}

int BoundedVa(char16_t* buf, size_t size, const char16_t* fmt, va_list ap) {
    Sink sink(buf, buf ? size : 0);
    VaArgs source(ap);
    run(sink, fmt, source);
    return finishBounded(buf, size, sink.length());
}

} // namespace fmt16

int vswprintf(char16_t* buf, size_t count, const char16_t* fmt, va_list ap) {
    return fmt16::BoundedVa(buf, count, fmt, ap);
}

int _vsnwprintf(char16_t* buf, size_t count, const char16_t* fmt, va_list ap) {
    return fmt16::BoundedVa(buf, count, fmt, ap);
}
