// Shared by the fuzz entry points and their test driver.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// One generated input for the entry point of this executable.
std::string fuzz_generate(std::mt19937_64& rng);

// Generated inputs per run unless TAVRELIX_FUZZ_COUNT says otherwise.
extern const uint64_t fuzz_default_count;
