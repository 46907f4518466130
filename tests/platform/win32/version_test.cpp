#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

namespace {

std::u16string StandInPath() {
    return Utf8ToWide(TAVRELIX_BIN_DIR "/liboci.so");
}

} // namespace

TEST(VersionInfo, ReadsTheStringsOfTheVersionSection) {
    std::u16string path = StandInPath();
    DWORD handle = 1;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u) << "the client stand-in is built beside the program";
    EXPECT_EQ(handle, 0u);
    std::vector<BYTE> block(size);
    EXPECT_FALSE(GetFileVersionInfoW(path.c_str(), 0, size - 1, block.data()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    LPVOID value = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), u"\\StringFileInfo\\040904b0\\ProductVersion", &value, &len));
    EXPECT_EQ(std::u16string(static_cast<const char16_t*>(value)), u"11.2.0.4.0");
    EXPECT_EQ(len, 11u); // characters with the terminator
    ASSERT_TRUE(VerQueryValueW(block.data(), u"\\StringFileInfo\\040904B0\\fileversion", &value, &len));
    EXPECT_EQ(std::u16string(static_cast<const char16_t*>(value)), u"11.2.0.4.0");

    EXPECT_FALSE(VerQueryValueW(block.data(), u"\\StringFileInfo\\040904b0\\Product", &value, &len));
    EXPECT_EQ(value, nullptr);
    EXPECT_FALSE(VerQueryValueW(block.data(), u"\\StringFileInfo\\0409\\ProductVersion", &value, &len));
    EXPECT_FALSE(VerQueryValueW(block.data(), u"\\", &value, &len));
}

TEST(VersionInfo, FilesWithoutTheSectionHaveNoBlock) {
    DWORD handle = 0;
    EXPECT_EQ(GetFileVersionInfoSizeW(u"/proc/self/exe", &handle), 0u); // an ELF file without it
    EXPECT_EQ(GetFileVersionInfoSizeW(u"/nonexistent/liboci.so", &handle), 0u);
    EXPECT_EQ(GetFileVersionInfoSizeW(u"/etc/hostname", &handle), 0u); // not ELF
    BYTE buf[64];
    EXPECT_FALSE(GetFileVersionInfoW(u"/proc/self/exe", 0, sizeof buf, buf));
}
