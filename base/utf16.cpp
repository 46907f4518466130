#include "base/utf16.h"

int utf16_count_char(const char16_t* text, char16_t c) {
    int count = 0;
    int units;
    for (const char16_t* p = text; *p; p += units) {
        utf16_decode(p, &units);
        if (*p == c) count++;
    }
    return count;
}

int utf16_nicmp(const char16_t* a, const char16_t* b, size_t n) {
    for (size_t i = 0; i < n; i++) {
        int ua, ub;
        uint32_t ca = utf16_fold_case(utf16_decode(a, &ua));
        uint32_t cb = utf16_fold_case(utf16_decode(b, &ub));
        if (ca != cb) return static_cast<int>(ca) - static_cast<int>(cb);
        if (ca == 0) return 0; // both texts end here
        a += ua;
        b += ub;
    }
    return 0;
}

namespace {

// Copies code points into a bounded buffer; once one does not fit with the
// terminator, the rest is dropped.
struct FieldWriter {
    char16_t* buf;
    int capacity;
    int len = 0;
    bool full = false;

    void put(const char16_t* p, int units) {
        if (!buf || full) return;
        if (len + units + 1 > capacity) {
            full = true;
            return;
        }
        for (int i = 0; i < units; i++) buf[len++] = p[i];
    }
    void finish() {
        if (buf && capacity > 0) buf[len] = 0;
    }
};

} // namespace

const char16_t* utf16_get_tsv_field(const char16_t* src, char16_t* buf, int capacity) {
    FieldWriter out{buf, capacity};
    const char16_t* p = src;
    int units;
    if (*p == u'"') {
        p++;
        while (*p) {
            if (*p == u'"') {
                if (p[1] == u'"') {
                    out.put(p, 1);
                    p += 2;
                    continue;
                }
                p++;
                break;
            }
            utf16_decode(p, &units);
            out.put(p, units);
            p += units;
        }
    } else {
        while (*p && *p != u'\t' && *p != u'\r' && *p != u'\n') {
            utf16_decode(p, &units);
            out.put(p, units);
            p += units;
        }
    }
    out.finish();
    if (*p == u'\r' && p[1] == u'\n') p++;
    return p;
}

int utf16_is_number(const char16_t* text) {
    int minus = 0, dots = 0;
    for (const char16_t* p = text; *p; p++) {
        char16_t c = *p;
        if ((c >= u'0' && c <= u'9') || c == u' ') continue;
        if (c == u'-' && ++minus == 1) continue;
        if (c == u'.' && ++dots == 1) continue;
        return 0;
    }
    return 1;
}

int utf16_needs_quotes(const char16_t* text) {
    int units;
    for (const char16_t* p = text; *p; p += units) {
        uint32_t c = utf16_decode(p, &units);
        if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0; // full-width ASCII, tilde included
        if (c >= 0x80) continue;
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '#' || c == '$' || c == '.' || c == '_')
            continue;
        return 1;
    }
    return 0;
}

uint32_t utf16_get_char(const char16_t* p) {
    int units;
    return utf16_decode(p, &units);
}

const char16_t* utf16_advance(const char16_t* p, size_t n) {
    int units;
    for (; n > 0 && *p; n--) {
        utf16_decode(p, &units);
        p += units;
    }
    return p;
}
