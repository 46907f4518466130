#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "fuzz.h"

namespace {

uint64_t env_number(const char* name, uint64_t fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::strtoull(v, nullptr, 10) : fallback;
}

} // namespace

TEST(TAVRELIX_FUZZ_SUITE, Corpus) {
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(TAVRELIX_FUZZ_CORPUS)) {
        std::ifstream in(e.path(), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        std::string bytes = s.str();
        SCOPED_TRACE(e.path().filename().string());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        files++;
    }
    EXPECT_GT(files, 0);
}

TEST(TAVRELIX_FUZZ_SUITE, Generated) {
    std::mt19937_64 rng(env_number("TAVRELIX_FUZZ_SEED", 20261208));
    uint64_t count = env_number("TAVRELIX_FUZZ_COUNT", fuzz_default_count);
    for (uint64_t i = 0; i < count; i++) {
        std::string input = fuzz_generate(rng);
        // With TAVRELIX_FUZZ_SAVE set, the input about to run is kept there:
        // after a failed check the file holds the input that failed.
        if (const char* save = std::getenv("TAVRELIX_FUZZ_SAVE"))
            std::ofstream(save, std::ios::binary)
                .write(input.data(), static_cast<std::streamsize>(input.size()));
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "input " << i;
            break;
        }
    }
}
