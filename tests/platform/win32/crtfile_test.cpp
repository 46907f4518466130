#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>
#include <windows.h>

namespace {

std::u16string wide(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

class CrtFile : public ::testing::Test {
protected:
    std::string dir;
    void SetUp() override {
        dir = ::testing::TempDir() + "crtfile_" + std::to_string(getpid());
        std::filesystem::create_directories(dir + "/sub");
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
};

} // namespace

TEST_F(CrtFile, DirectoriesOpenAsNoFileInAnyMode) {
    for (const std::string& d : {dir, dir + "/sub", dir + "/sub/", dir + "\\sub"}) {
        for (const char16_t* mode : {u"rb", u"r", u"wb", u"a", u"r+b"}) {
            errno = 0;
            FILE* f = _wfopen(wide(d).c_str(), mode);
            EXPECT_EQ(f, nullptr) << d;
            if (f) fclose(f);
            EXPECT_NE(errno, 0) << d;
        }
        // The existence test still sees it.
        EXPECT_EQ(_waccess(wide(d).c_str(), 0), 0) << d;
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir + "/sub"));
}

TEST_F(CrtFile, FilesOpenThroughEitherSeparator) {
    FILE* w = _wfopen(wide(dir + "\\sub\\a.txt").c_str(), u"wb");
    ASSERT_NE(w, nullptr);
    fputs("abc", w);
    fclose(w);
    FILE* r = _wfopen(wide(dir + "/sub/a.txt").c_str(), u"rb");
    ASSERT_NE(r, nullptr);
    char buf[8] = {};
    EXPECT_EQ(fread(buf, 1, sizeof buf, r), 3u);
    EXPECT_STREQ(buf, "abc");
    fclose(r);
    EXPECT_EQ(_wfopen(wide(dir + "/missing").c_str(), u"rb"), nullptr);
}
