#include <windows.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

size_t wcslen(const char16_t* s) {
    const char16_t* p = s;
    while (*p) ++p;
    return static_cast<size_t>(p - s);
}

size_t wcsnlen(const char16_t* s, size_t max) {
    size_t n = 0;
    while (n < max && s[n]) ++n;
    return n;
}

char16_t* wcscpy(char16_t* dst, const char16_t* src) {
    char16_t* d = dst;
    while ((*d++ = *src++) != 0) {
    }
    return dst;
}

char16_t* wcsncpy(char16_t* dst, const char16_t* src, size_t n) {
    size_t i = 0;
    for (; i < n && src[i]; ++i) dst[i] = src[i];
    for (; i < n; ++i) dst[i] = 0;
    return dst;
}

int wcscpy_s(char16_t* dst, size_t size, const char16_t* src) {
    if (!dst || size == 0) return EINVAL;
    if (!src) {
        dst[0] = 0;
        return EINVAL;
    }
    size_t n = wcsnlen(src, size);
    if (n >= size) {
        dst[0] = 0;
        return ERANGE;
    }
    std::memcpy(dst, src, (n + 1) * sizeof(char16_t));
    return 0;
}

int wcsncpy_s(char16_t* dst, size_t size, const char16_t* src, size_t count) {
    if (!dst || size == 0) return EINVAL;
    if (!src) {
        dst[0] = 0;
        return count == 0 ? 0 : EINVAL;
    }
    size_t n = wcsnlen(src, count);
    if (n >= size) {
        dst[0] = 0;
        return ERANGE;
    }
    std::memcpy(dst, src, n * sizeof(char16_t));
    dst[n] = 0;
    return 0;
}

int wcscat_s(char16_t* dst, size_t size, const char16_t* src) {
    if (!dst || size == 0) return EINVAL;
    size_t have = wcsnlen(dst, size);
    if (have == size) {
        dst[0] = 0;
        return EINVAL; // dst was not terminated within size
    }
    if (!src) {
        dst[0] = 0;
        return EINVAL;
    }
    size_t n = wcslen(src);
    if (have + n >= size) {
        dst[0] = 0;
        return ERANGE;
    }
    std::memcpy(dst + have, src, (n + 1) * sizeof(char16_t));
    return 0;
}

char16_t* wcscat(char16_t* dst, const char16_t* src) {
    wcscpy(dst + wcslen(dst), src);
    return dst;
}

int wcscmp(const char16_t* a, const char16_t* b) {
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a < *b ? -1 : *a > *b ? 1 : 0;
}

int wcsncmp(const char16_t* a, const char16_t* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
        if (!a[i]) return 0;
    }
    return 0;
}

char16_t towupper16(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 0x20) : c;
}

char16_t towlower16(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 0x20) : c;
}

int _wcsicmp(const char16_t* a, const char16_t* b) {
    return _wcsnicmp(a, b, SIZE_MAX);
}

int _wcsnicmp(const char16_t* a, const char16_t* b, size_t n) {
    // Letters compare as lower case, as the C runtime does.
    for (size_t i = 0; i < n; ++i) {
        char16_t x = towlower16(a[i]), y = towlower16(b[i]);
        if (x != y) return x < y ? -1 : 1;
        if (!x) return 0;
    }
    return 0;
}

const char16_t* wcschr(const char16_t* s, char16_t c) {
    for (;; ++s) {
        if (*s == c) return s;
        if (!*s) return nullptr;
    }
}

char16_t* wcschr(char16_t* s, char16_t c) {
    return const_cast<char16_t*>(wcschr(static_cast<const char16_t*>(s), c));
}

const char16_t* wcsrchr(const char16_t* s, char16_t c) {
    const char16_t* last = nullptr;
    for (;; ++s) {
        if (*s == c) last = s;
        if (!*s) return last;
    }
}

char16_t* wcsrchr(char16_t* s, char16_t c) {
    return const_cast<char16_t*>(wcsrchr(static_cast<const char16_t*>(s), c));
}

const char16_t* wcsstr(const char16_t* s, const char16_t* find) {
    if (!*find) return s;
    for (; *s; ++s) {
        if (*s != *find) continue;
        size_t i = 1;
        while (find[i] && s[i] == find[i]) ++i;
        if (!find[i]) return s;
    }
    return nullptr;
}

char16_t* wcsstr(char16_t* s, const char16_t* find) {
    return const_cast<char16_t*>(wcsstr(static_cast<const char16_t*>(s), find));
}

size_t wcsspn(const char16_t* s, const char16_t* accept) {
    size_t n = 0;
    while (s[n] && wcschr(accept, s[n])) ++n;
    return n;
}

size_t wcscspn(const char16_t* s, const char16_t* reject) {
    size_t n = 0;
    while (s[n] && !wcschr(reject, s[n])) ++n;
    return n;
}

char16_t* _wcsupr(char16_t* s) {
    for (char16_t* p = s; *p; ++p) *p = towupper16(*p);
    return s;
}

char16_t* _wcslwr(char16_t* s) {
    for (char16_t* p = s; *p; ++p) *p = towlower16(*p);
    return s;
}

char16_t* _wcsdup(const char16_t* s) {
    if (!s) return nullptr;
    size_t bytes = (wcslen(s) + 1) * sizeof(char16_t);
    auto* d = static_cast<char16_t*>(std::malloc(bytes));
    if (d) std::memcpy(d, s, bytes);
    return d;
}

int iswspace16(char16_t c) {
    return c == 0x20 || (c >= 0x09 && c <= 0x0D) || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

int iswdigit16(char16_t c) {
    return c >= u'0' && c <= u'9';
}

namespace {

int digitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'z') return c - u'a' + 10;
    if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
    return 99;
}

// The strtol family's scan: white space, sign, base prefix, digits. Returns
// the magnitude (saturated at `limit`, with overflow set) and where it ended.
// With no digits, end is s itself.
uint64_t scanInteger(const char16_t* s, const char16_t** end, int base, uint64_t limit, bool& negative,
                     bool& overflow) {
    const char16_t* p = s;
    negative = false;
    overflow = false;
    *end = s;
    if (base < 0 || base == 1 || base > 36) {
        errno = EINVAL;
        return 0;
    }
    while (iswspace16(*p)) ++p;
    if (*p == u'+' || *p == u'-') negative = *p++ == u'-';
    if ((base == 0 || base == 16) && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X') &&
        digitValue(p[2]) < 16) {
        p += 2;
        base = 16;
    } else if (base == 0) {
        base = p[0] == u'0' ? 8 : 10;
    }
    uint64_t v = 0;
    const char16_t* digits = p;
    for (int d; (d = digitValue(*p)) < base; ++p) {
        if (overflow) continue;
        if (v > (limit - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base)) {
            overflow = true;
            v = limit;
        } else {
            v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        }
    }
    if (p != digits) *end = p;
    return v;
}

int64_t toSigned(const char16_t* s, char16_t** end, int base, int64_t min, int64_t max) {
    bool negative, overflow;
    const char16_t* e;
    uint64_t limit = static_cast<uint64_t>(max) + 1; // room for the minimum's magnitude
    uint64_t v = scanInteger(s, &e, base, limit, negative, overflow);
    if (end) *end = const_cast<char16_t*>(e);
    if (negative) {
        if (v >= limit) {
            if (v > limit || overflow) errno = ERANGE;
            return min;
        }
        return -static_cast<int64_t>(v);
    }
    if (v > static_cast<uint64_t>(max)) {
        errno = ERANGE;
        return max;
    }
    return static_cast<int64_t>(v);
}

uint64_t toUnsigned(const char16_t* s, char16_t** end, int base, uint64_t max) {
    bool negative, overflow;
    const char16_t* e;
    uint64_t v = scanInteger(s, &e, base, max, negative, overflow);
    if (end) *end = const_cast<char16_t*>(e);
    if (overflow) {
        errno = ERANGE;
        return max;
    }
    return negative ? (0 - v) & max : v;
}

} // namespace

// Windows' long is 32 bits: wcstol and wcstoul saturate at the 32-bit limits.
long wcstol(const char16_t* s, char16_t** end, int base) {
    return static_cast<long>(toSigned(s, end, base, INT32_MIN, INT32_MAX));
}

unsigned long wcstoul(const char16_t* s, char16_t** end, int base) {
    return static_cast<unsigned long>(toUnsigned(s, end, base, UINT32_MAX));
}

long long _wcstoi64(const char16_t* s, char16_t** end, int base) {
    return toSigned(s, end, base, INT64_MIN, INT64_MAX);
}

unsigned long long _wcstoui64(const char16_t* s, char16_t** end, int base) {
    return toUnsigned(s, end, base, UINT64_MAX);
}

int _wtoi(const char16_t* s) {
    return static_cast<int>(toSigned(s, nullptr, 10, INT32_MIN, INT32_MAX));
}

long long _wtoi64(const char16_t* s) {
    return toSigned(s, nullptr, 10, INT64_MIN, INT64_MAX);
}

double wcstod(const char16_t* s, char16_t** end) {
    // The number is read from its ASCII form; no locale is set anywhere, so
    // strtod's decimal point is '.'.
    const char16_t* p = s;
    while (iswspace16(*p)) ++p;
    size_t n = 0;
    auto numeric = [](char16_t c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
               c == u'.' || c == u'+' || c == u'-';
    };
    while (numeric(p[n])) ++n;
    char small[128];
    char* text = n < sizeof small ? small : static_cast<char*>(std::malloc(n + 1));
    if (!text) {
        if (end) *end = const_cast<char16_t*>(s);
        return 0.0;
    }
    for (size_t i = 0; i < n; ++i) text[i] = static_cast<char>(p[i]);
    text[n] = 0;
    char* stop = text;
    double v = std::strtod(text, &stop);
    if (end) *end = const_cast<char16_t*>(stop == text ? s : p + (stop - text));
    if (text != small) std::free(text);
    return v;
}

double _wtof(const char16_t* s) {
    return wcstod(s, nullptr);
}

void Utf8AppendCodePoint(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string WideToUtf8(const char16_t* s, ptrdiff_t len) {
    std::string out;
    if (!s) return out;
    size_t n = len < 0 ? wcslen(s) : static_cast<size_t>(len);
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        Utf8AppendCodePoint(out, c);
    }
    return out;
}

std::u16string Utf8ToWide(const char* s, ptrdiff_t len) {
    std::u16string out;
    if (!s) return out;
    int n = len < 0 ? static_cast<int>(std::strlen(s)) : static_cast<int>(len);
    if (n == 0) return out;
    int need = MultiByteToWideChar(CP_UTF8, 0, s, n, nullptr, 0);
    if (need <= 0) return out;
    out.resize(static_cast<size_t>(need));
    int got = MultiByteToWideChar(CP_UTF8, 0, s, n, out.data(), need);
    out.resize(static_cast<size_t>(got > 0 ? got : 0));
    return out;
}
