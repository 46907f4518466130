// Moving, replacing and deleting files by name, and the attributes that tell
// a file from a folder or a device.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <windows.h>

#include "win32/fileattr.h"
#include "win32/fileops.h"

namespace {

namespace fs = std::filesystem;

class FileOps : public ::testing::Test {
protected:
    fs::path dir;
    void SetUp() override {
        dir = fs::path(::testing::TempDir()) / ("fileops_" + std::to_string(getpid()));
        fs::create_directories(dir / "sub");
    }
    void TearDown() override { fs::remove_all(dir); }
    std::u16string w(const char* name) const { return Utf8ToWide((dir / name).string().c_str()); }
    void put(const char* name, const std::string& bytes) const {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    std::string get(const char* name) const {
        std::ifstream in(dir / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    unsigned mode(const char* name) const {
        struct stat st {};
        stat((dir / name).c_str(), &st);
        return st.st_mode & 07777;
    }
};

} // namespace

TEST_F(FileOps, MoveReplacesOnlyWhenAskedAndNeverAFolder) {
    put("a", "A");
    put("b", "B");
    SetLastError(0);
    EXPECT_FALSE(MoveFileExW(w("a").c_str(), w("b").c_str(), 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(get("b"), "B");
    EXPECT_TRUE(
        MoveFileExW(w("a").c_str(), w("b").c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(get("b"), "A");
    EXPECT_FALSE(fs::exists(dir / "a"));

    // A folder is not replaced; a missing source is told; backslashes separate.
    EXPECT_FALSE(MoveFileExW(w("b").c_str(), w("sub").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(MoveFileExW(w("nothing").c_str(), w("c").c_str(), 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    std::u16string back = w("sub/c");
    back[back.size() - 2] = u'\\';
    EXPECT_TRUE(MoveFileExW(w("b").c_str(), back.c_str(), 0));
    EXPECT_EQ(get("sub/c"), "A");

    EXPECT_TRUE(DeleteFileW(w("sub/c").c_str()));
    EXPECT_FALSE(fs::exists(dir / "sub/c"));
    EXPECT_FALSE(DeleteFileW(w("sub/c").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(DeleteFileW(w("sub").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(fs::is_directory(dir / "sub"));
}

TEST_F(FileOps, ReplaceKeepsTheReplacedFilesPermissionsAndFollowsALink) {
    put("old", "old content");
    chmod((dir / "old").c_str(), 0640);
    put("new", "new");
    chmod((dir / "new").c_str(), 0600);
    ASSERT_TRUE(ReplaceFileW(w("old").c_str(), w("new").c_str(), nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(get("old"), "new");
    EXPECT_EQ(mode("old"), 0640u);
    EXPECT_FALSE(fs::exists(dir / "new"));

    // The replaced file must be there; a missing replacement changes nothing.
    put("new", "x");
    EXPECT_FALSE(ReplaceFileW(w("gone").c_str(), w("new").c_str(), nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(fs::exists(dir / "new"));
    EXPECT_FALSE(ReplaceFileW(w("old").c_str(), w("missing").c_str(), nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNABLE_TO_MOVE_REPLACEMENT));
    EXPECT_EQ(get("old"), "new");

    // Through a link: the file behind it is replaced, the link stays a link.
    fs::create_symlink("old", dir / "link");
    ASSERT_TRUE(ReplaceFileW(w("link").c_str(), w("new").c_str(), nullptr, 0, nullptr, nullptr));
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(get("old"), "x");
    EXPECT_EQ(mode("old"), 0640u);
}

TEST_F(FileOps, AttributesTellFilesFoldersAndDevicesApart) {
    put("f", "1");
    EXPECT_EQ(GetFileAttributesW(w("f").c_str()) & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE), 0u);
    EXPECT_EQ(GetFileAttributesW(w("sub").c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_NE(GetFileAttributesW(u"/dev/null") & FILE_ATTRIBUTE_DEVICE, 0u);
    EXPECT_EQ(GetFileAttributesW(w("none").c_str()), INVALID_FILE_ATTRIBUTES);
}
