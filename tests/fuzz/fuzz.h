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
