// PCRE2 is a test and benchmark reference only: neither the engine library
// nor the program may refer to it.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

// Whether the file mentions PCRE2 (a needed library or an undefined symbol);
// -1 when the file does not exist.
int mentions_pcre(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return -1;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return bytes.find("pcre2_") != std::string::npos || bytes.find("libpcre2") != std::string::npos;
}

} // namespace

TEST(RegexLink, NoReferenceLibraryInTheProgram) {
    EXPECT_EQ(mentions_pcre(REGEX_LIBRARY_FILE), 0);
#ifdef TAVRELIX_PROGRAM_FILE
    int program = mentions_pcre(TAVRELIX_PROGRAM_FILE);
    if (program >= 0) {
        EXPECT_EQ(program, 0);
    }
#endif
}
