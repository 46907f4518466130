#include "base/cp932.h"

#include <memory>
#include <windows.h>

namespace {

std::unique_ptr<Cp932Table> build() {
    auto t = std::make_unique<Cp932Table>();
    for (int b = 0; b < 256; b++) {
        t->lead[b] = IsDBCSLeadByteEx(932, static_cast<BYTE>(b)) != FALSE;
        t->single[b] = Cp932Table::kNone;
        if (t->lead[b]) continue;
        char c = static_cast<char>(b);
        char16_t w;
        if (MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, &c, 1, &w, 1) == 1) t->single[b] = w;
    }
    for (int i = 0; i < 0x10000; i++) t->pair[i] = Cp932Table::kNone;
    for (int lead = 0; lead < 256; lead++) {
        if (!t->lead[lead]) continue;
        for (int trail = 0x40; trail <= 0xFC; trail++) {
            char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            char16_t w[2];
            if (MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, 2, w, 2) == 1)
                t->pair[lead << 8 | trail] = w[0];
        }
    }
    return t;
}

std::unique_ptr<uint16_t[]> build_encode() {
    auto encode = std::make_unique<uint16_t[]>(0x10000);
    for (int u = 0; u < 0x10000; u++) {
        encode[u] = Cp932Table::kNone;
        if (u >= 0xD800 && u <= 0xDFFF) continue;
        char16_t w = static_cast<char16_t>(u);
        char out[4];
        BOOL used = FALSE;
        DWORD flags = cp932_kept_best_fit(w) ? 0 : WC_NO_BEST_FIT_CHARS;
        int n = WideCharToMultiByte(932, flags, &w, 1, out, sizeof(out), nullptr, &used);
        if (used) continue;
        if (n == 1)
            encode[u] = static_cast<unsigned char>(out[0]);
        else if (n == 2)
            encode[u] = static_cast<uint16_t>(static_cast<unsigned char>(out[0]) << 8 |
                                              static_cast<unsigned char>(out[1]));
    }
    return encode;
}

} // namespace

char16_t cp932_kept_best_fit(char16_t unit) {
    return unit == 0x00A5 ? u'\\' : unit == 0x301C ? u'\uFF5E' : 0;
}

const Cp932Table& cp932_table() {
    static const std::unique_ptr<Cp932Table> table = build();
    return *table;
}

int Cp932Table::to_unit(const unsigned char* p, int n, char16_t* unit) const {
    if (n <= 0) return -1;
    if (lead[p[0]]) {
        if (n < 2) return -1;
        char16_t w = pair[p[0] << 8 | p[1]];
        if (w == kNone) return -1;
        *unit = w;
        return 2;
    }
    if (single[p[0]] == kNone) return -1;
    *unit = single[p[0]];
    return 1;
}

const uint16_t* Cp932Table::encode() const {
    static const std::unique_ptr<uint16_t[]> table = build_encode();
    return table.get();
}

int Cp932Table::from_unit(char16_t u, unsigned char* out) const {
    uint16_t code = encode()[u];
    if (code == kNone) return -1;
    if (code < 0x100) {
        out[0] = static_cast<unsigned char>(code);
        return 1;
    }
    out[0] = static_cast<unsigned char>(code >> 8);
    out[1] = static_cast<unsigned char>(code);
    return 2;
}
