// Shared by the fuzz entry points and their test driver.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// One generated input for the entry point of this executable.
std::string fuzz_generate(std::mt19937_64& rng);

// Generated inputs per run unless TAVRELIX_FUZZ_COUNT says otherwise.
extern const uint64_t fuzz_default_count;

// Stops the run with a report when a property fails (the fuzzer and the
// driver both see the abort).
inline void fuzz_check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

// The input read as UTF-16 text, two bytes a unit, low byte first (an odd
// last byte is dropped); a NUL unit becomes a space, as the parsers take
// terminated strings.
inline std::u16string fuzz_text16(const uint8_t* data, size_t size) {
    std::u16string text;
    text.reserve(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2) {
        const auto c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        text += c ? c : u' ';
    }
    return text;
}

// A text as the input bytes fuzz_text16 reads back.
inline std::string fuzz_bytes16(const std::u16string& text) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

// The bytes of a text of fewer than `most` pieces, each picked at random.
template <size_t N>
std::string fuzz_pieces16(std::mt19937_64& rng, const char16_t* const (&pieces)[N], size_t most) {
    std::u16string s;
    const size_t n = rng() % most;
    for (size_t i = 0; i < n; i++) s += pieces[rng() % N];
    return fuzz_bytes16(s);
}
