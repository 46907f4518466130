// The text file benchmark as a build without ICU makes it: it runs, reports
// its pairs through iconv and has no ICU rows.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#ifdef TEXTFILE_BENCH_WITHOUT_ICU

namespace {

TEST(TextfileBenchWithoutIcu, RunsWithoutItsIcuRows) {
    char tmpl[] = "/tmp/textfile-bench-test-XXXXXX";
    int fd = mkstemp(tmpl);
    ASSERT_GE(fd, 0);
    close(fd);
    std::string out = tmpl;
    std::string cmd = std::string("'") + TEXTFILE_BENCH_WITHOUT_ICU +
                      "' --benchmark_filter='DetectCode|^Read/1/' --benchmark_min_time=0.01 > '" + out +
                      "' 2>&1";
    int status = std::system(cmd.c_str());
    std::ifstream in(out);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(out.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << text;
    EXPECT_EQ(WEXITSTATUS(status), 0) << text;
    EXPECT_NE(text.find("DetectCode/64KB"), std::string::npos) << text;
    EXPECT_NE(text.find("Read/1/fread+iconv"), std::string::npos) << text;
    EXPECT_EQ(text.find("fread+icu"), std::string::npos) << text;
}

} // namespace

#endif
