#include "oracle/oci_conv.h"

#include <cstdint>
#include <cstring>
#include <string>

#include <windows.h>

#include "base/cp932.h"
#include "oracle/ora_globals.h"

namespace {

UINT OracleCodePage() {
    return g_oci_code_page == 65001 ? CP_UTF8 : CP_ACP;
}

bool IsContinuation(unsigned char b) {
    return b >= 0x80 && b <= 0xBF;
}

// UTF-16 to UTF-8 in one pass. Writes into buf (size bytes, may be null) the
// longest prefix of whole characters that leaves room for the terminator and
// terminates it; returns the bytes the whole text takes with its terminator,
// or 0 when a surrogate is unpaired.
int EncodeUtf8(const char16_t* w, char* buf, int size) {
    int need = 0;
    bool writing = buf && size > 0;
    for (; *w; ++w) {
        uint32_t c = *w;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (w[1] < 0xDC00 || w[1] > 0xDFFF) return 0;
            c = 0x10000 + ((c - 0xD800) << 10) + (uint32_t(w[1]) - 0xDC00);
            ++w;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return 0;
        }
        int len = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (writing && need + len < size) {
            char* o = buf + need;
            switch (len) {
            case 1: o[0] = char(c); break;
            case 2:
                o[0] = char(0xC0 | (c >> 6));
                o[1] = char(0x80 | (c & 0x3F));
                break;
            case 3:
                o[0] = char(0xE0 | (c >> 12));
                o[1] = char(0x80 | ((c >> 6) & 0x3F));
                o[2] = char(0x80 | (c & 0x3F));
                break;
            default:
                o[0] = char(0xF0 | (c >> 18));
                o[1] = char(0x80 | ((c >> 12) & 0x3F));
                o[2] = char(0x80 | ((c >> 6) & 0x3F));
                o[3] = char(0x80 | (c & 0x3F));
                break;
            }
        } else if (writing) {
            buf[need] = 0;
            writing = false;
        }
        need += len;
    }
    if (writing) buf[need] = 0;
    return need + 1;
}

// The text as WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS) is to see it:
// a best-fit code reads back as another character (U+00A2 as U+FFE0), so
// data written with it would change; the two best-fit codes kept become the
// characters those codes read as, which gives the same bytes.
std::u16string AcpText(const char16_t* w) {
    std::u16string t(w);
    for (char16_t& c : t)
        if (char16_t kept = cp932_kept_best_fit(c)) c = kept;
    return t;
}

} // namespace

bool oci_wide_fits_acp(const char16_t* w) {
    if (!w) return true;
    std::u16string t = AcpText(w);
    BOOL used = FALSE;
    return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, t.c_str(), -1, nullptr, 0, nullptr, &used) > 0 &&
           !used;
}

int oci_sjis_char_len(const char* p) {
    unsigned char b = static_cast<unsigned char>(*p);
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC) ? 2 : 1;
}

int oci_utf8_char_len(const char* p) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(p);
    unsigned char b = s[0];
    if (b < 0xE0) return b >= 0xC0 && IsContinuation(s[1]) ? 2 : 1;
    if (!IsContinuation(s[1]) || !IsContinuation(s[2])) return 1;
    return b <= 0xEF ? 3 : 4;
}

int oci_mb_char_len(const char* p) {
    int n = g_oci_code_page == 65001 ? oci_utf8_char_len(p) : oci_sjis_char_len(p);
    // Never step over the terminator of a truncated character.
    for (int i = 1; i < n; ++i)
        if (p[i] == 0) return i;
    return n;
}

int oci_mb_to_wide(const char* mb, char16_t* buf, int size) {
    if (!mb) return 0;
    UINT cp = OracleCodePage();
    if (!buf) return MultiByteToWideChar(cp, 0, mb, -1, nullptr, 0);
    if (size <= 0) return 0;
    int n = MultiByteToWideChar(cp, 0, mb, -1, buf, size);
    if (n > 0) return n;
    int need = MultiByteToWideChar(cp, 0, mb, -1, nullptr, 0);
    if (need <= size) {
        buf[0] = 0;
        return 0;
    }
    std::u16string all(size_t(need), u'\0');
    MultiByteToWideChar(cp, 0, mb, -1, all.data(), need);
    int keep = size - 1;
    if (keep > 0 && all[size_t(keep) - 1] >= 0xD800 && all[size_t(keep) - 1] <= 0xDBFF) --keep;
    std::memcpy(buf, all.data(), size_t(keep) * sizeof(char16_t));
    buf[keep] = 0;
    return 0;
}

int oci_mb_to_wide_tilde(const char* mb, char16_t* buf, int size) {
    int n = oci_mb_to_wide(mb, buf, size);
    if (buf && size > 0)
        for (char16_t* p = buf; *p; ++p)
            if (*p == 0x301C) *p = 0xFF5E;
    return n;
}

int oci_wide_to_mb(const char16_t* w, char* buf, int size) {
    if (buf && size > 0) buf[0] = 0;
    if (!w) return 0;
    UINT cp = OracleCodePage();
    std::string all;
    if (cp == CP_UTF8) {
        // Too small a buffer keeps the longest prefix of whole characters.
        int need = EncodeUtf8(w, buf, size);
        if (need <= 0) {
            if (buf && size > 0) buf[0] = 0;
            return 0;
        }
        return !buf || need <= size ? need : 0;
    } else {
        std::u16string text = AcpText(w);
        BOOL used = FALSE;
        int need =
            WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, text.c_str(), -1, nullptr, 0, nullptr, &used);
        if (need <= 0 || used) return 0;
        all.resize(size_t(need));
        WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, text.c_str(), -1, all.data(), need, nullptr, &used);
        if (used) return 0;
        if (!buf) return need;
        if (need <= size) {
            std::memcpy(buf, all.data(), size_t(need));
            return need;
        }
    }
    if (!buf || size <= 0) return 0;
    // Too small: the longest prefix of whole characters, terminated.
    int budget = size;
    oci_copy_mb_str(buf, all.c_str(), &budget);
    return 0;
}

char* oci_copy_mb_str(char* dst, const char* src, int* budget) {
    if (!dst || !budget || *budget <= 0) return nullptr;
    while (*src) {
        int len = oci_mb_char_len(src);
        if (*budget == 1 || len >= *budget) {
            *dst = 0;
            return nullptr;
        }
        std::memcpy(dst, src, size_t(len));
        dst += len;
        src += len;
        *budget -= len;
    }
    *dst = 0;
    return dst;
}
