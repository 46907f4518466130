// The code-page converters over any bytes and any UTF-16 units, in every
// Japanese code page, strict and lenient, into buffers of every size.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "fuzz.h"

namespace {

const UINT kPages[] = {932, 20932, 51932, 50220, 50221, 50222, CP_UTF8};

bool jis(UINT cp) {
    return cp == 50220 || cp == 50221 || cp == 50222;
}

constexpr unsigned char kGuard = 0xA5;

// MultiByteToWideChar: the size query, a call with exactly that room, and
// calls with less room, which fail without writing past the buffer.
void check_to_wide(UINT cp, DWORD flags, const std::string& in, int short_room) {
    int n = static_cast<int>(in.size());
    if (n == 0) return;
    SetLastError(0);
    int need = MultiByteToWideChar(cp, flags, in.data(), n, nullptr, 0);
    if (need == 0) {
        // Nothing to convert (shifts alone), or an invalid sequence under the strict flag.
        DWORD e = GetLastError();
        fuzz_check(e == 0 || ((flags & MB_ERR_INVALID_CHARS) && e == ERROR_NO_UNICODE_TRANSLATION),
                   "to wide: query failed");
        return;
    }
    std::vector<char16_t> out(static_cast<size_t>(need) + 8, 0xA5A5);
    int got = MultiByteToWideChar(cp, flags, in.data(), n, out.data(), need);
    fuzz_check(got == need, "to wide: size query differs from the conversion");
    for (size_t i = static_cast<size_t>(need); i < out.size(); i++)
        fuzz_check(out[i] == 0xA5A5, "to wide: overrun");
    if (flags & MB_ERR_INVALID_CHARS) {
        // Strict success gives what the lenient conversion gives.
        std::vector<char16_t> lenient(static_cast<size_t>(need) + 1);
        int l = MultiByteToWideChar(cp, 0, in.data(), n, lenient.data(), need + 1);
        fuzz_check(l == need && std::memcmp(lenient.data(), out.data(),
                                            sizeof(char16_t) * static_cast<size_t>(need)) == 0,
                   "to wide: strict and lenient differ");
    }
    int room = short_room % need;
    if (room == 0) return;
    std::vector<char16_t> small(static_cast<size_t>(room) + 8, 0xA5A5);
    SetLastError(0);
    int r = MultiByteToWideChar(cp, flags, in.data(), n, small.data(), room);
    fuzz_check(r == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER, "to wide: short buffer");
    for (size_t i = static_cast<size_t>(room); i < small.size(); i++)
        fuzz_check(small[i] == 0xA5A5, "to wide: short buffer overrun");
}

// WideCharToMultiByte likewise; where the code page takes a default
// character, lpUsedDefaultChar says whether the text came back changed
// (best fit is off, so nothing else changes it).
void check_to_bytes(UINT cp, DWORD flags, const std::u16string& in, int short_room) {
    int n = static_cast<int>(in.size());
    bool takes_default = cp != CP_UTF8 && !jis(cp);
    BOOL used = FALSE;
    BOOL* used_ptr = takes_default ? &used : nullptr;
    SetLastError(0);
    int need = WideCharToMultiByte(cp, flags, in.data(), n, nullptr, 0, nullptr, used_ptr);
    if (need == 0) {
        fuzz_check((flags & WC_ERR_INVALID_CHARS) && GetLastError() == ERROR_NO_UNICODE_TRANSLATION,
                   "to bytes: query failed");
        return;
    }
    std::vector<char> out(static_cast<size_t>(need) + 8, static_cast<char>(kGuard));
    BOOL used2 = FALSE;
    int got = WideCharToMultiByte(cp, flags, in.data(), n, out.data(), need, nullptr,
                                  takes_default ? &used2 : nullptr);
    fuzz_check(got == need, "to bytes: size query differs from the conversion");
    fuzz_check(used == used2, "to bytes: query and conversion disagree on the default character");
    for (size_t i = static_cast<size_t>(need); i < out.size(); i++)
        fuzz_check(static_cast<unsigned char>(out[i]) == kGuard, "to bytes: overrun");
    if (takes_default && (flags & WC_NO_BEST_FIT_CHARS)) {
        int m = MultiByteToWideChar(cp, 0, out.data(), need, nullptr, 0);
        std::u16string back(static_cast<size_t>(m), 0);
        if (m) MultiByteToWideChar(cp, 0, out.data(), need, back.data(), m);
        fuzz_check((back != in) == (used != FALSE), "to bytes: used default character");
    }
    int room = short_room % need;
    if (room == 0) return;
    std::vector<char> small(static_cast<size_t>(room) + 8, static_cast<char>(kGuard));
    SetLastError(0);
    int r = WideCharToMultiByte(cp, flags, in.data(), n, small.data(), room, nullptr, nullptr);
    fuzz_check(r == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER, "to bytes: short buffer");
    for (size_t i = static_cast<size_t>(room); i < small.size(); i++)
        fuzz_check(static_cast<unsigned char>(small[i]) == kGuard, "to bytes: short buffer overrun");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    UINT cp = kPages[data[0] % (sizeof(kPages) / sizeof(kPages[0]))];
    int short_room = data[2];
    std::string bytes(reinterpret_cast<const char*>(data + 3), size - 3);
    if (data[1] & 1) {
        DWORD flags = (data[1] & 2) ? MB_ERR_INVALID_CHARS : 0;
        if (jis(cp)) flags = 0;
        check_to_wide(cp, flags, bytes, short_room);
    } else {
        std::u16string units;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            units += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1])
                                                                                << 8);
        if (units.empty()) return 0;
        DWORD flags = 0;
        if (cp == CP_UTF8 && (data[1] & 2)) flags = WC_ERR_INVALID_CHARS;
        if (cp != CP_UTF8 && !jis(cp) && (data[1] & 2)) flags = WC_NO_BEST_FIT_CHARS;
        check_to_bytes(cp, flags, units, short_room);
    }
    return 0;
}

std::string fuzz_generate(std::mt19937_64& rng) {
    static const char* const bytes[] = {
        "\x88\x9f", "\x82\xa0", "\xb1", "\xb0\xa1", "\x8e\xb1",     "\x8f\xa2\xaf",     "\x1b$B",
        "\x1b(B",   "\x1b(I",   "\x0e", "\x0f",     "\xe3\x81\x82", "\xf0\x9f\x98\x80", "\xed\xa0\x80",
        "\xfa\x40", "\xed\x40", "\x81", "abc",      "\r\n"};
    static const char16_t units[] = {u'a',   u'?',   u'\r',  u'\n',  0x3042, 0x4E9C, 0xFF71,
                                     0x9AD9, 0xFA11, 0x2170, 0x00E9, 0x00A5, 0x301C, 0xFF5E,
                                     0x2014, 0x2212, 0xD83D, 0xDE00, 0xDC00, 0xE000, 0};
    std::string s;
    s += static_cast<char>(rng() % 7);
    s += static_cast<char>(rng() % 4);
    s += static_cast<char>(rng() % 256);
    size_t n = rng() % 40;
    bool wide = (s[1] & 1) == 0;
    for (size_t i = 0; i < n; i++) {
        if (wide) {
            char16_t u =
                rng() % 4 == 0 ? static_cast<char16_t>(rng() % 0x10000) : units[rng() % (sizeof(units) / 2)];
            s += static_cast<char>(u & 0xFF);
            s += static_cast<char>(u >> 8);
        } else if (rng() % 4 == 0) {
            s += static_cast<char>(rng() % 256);
        } else {
            s += bytes[rng() % (sizeof(bytes) / sizeof(bytes[0]))];
        }
    }
    return s;
}
const uint64_t fuzz_default_count = 3000;
