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

TEST(Fuzz, Corpus) {
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

TEST(Fuzz, Generated) {
    std::mt19937_64 rng(env_number("TAVRELIX_FUZZ_SEED", 20261208));
    uint64_t count = env_number("TAVRELIX_FUZZ_COUNT", fuzz_default_count);
    for (uint64_t i = 0; i < count; i++) {
        std::string input = fuzz_generate(rng);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "input " << i;
            break;
        }
    }
}
