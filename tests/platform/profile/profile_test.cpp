// Ini files, the registry stand-in and CWinApp's profile functions, in a
// temporary configuration directory.
#include <gtest/gtest.h>

#include <afxwin.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "win32/profile.h"
#include "win32/registry.h"

namespace fs = std::filesystem;

namespace {

CWinApp& App() {
    static CWinApp app(u"tavrelix");
    return app;
}

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tvprofileXXXXXX";
        dir_ = mkdtemp(tmpl);
        setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
        setenv("HOME", (dir_ + "/home").c_str(), 1);
        ini_ = Utf8ToWide((dir_ + "/test.ini").c_str());
        CWinApp& app = App();
        free(const_cast<char16_t*>(app.m_pszRegistryKey));
        free(const_cast<char16_t*>(app.m_pszProfileName));
        app.m_pszRegistryKey = nullptr;
        app.m_pszProfileName = _wcsdup(ini_.c_str());
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path() const { return dir_ + "/test.ini"; }
    void WriteBytes(const std::string& bytes) { std::ofstream(Path(), std::ios::binary) << bytes; }
    std::string ReadBytes(const std::string& path) const {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::u16string Get(LPCWSTR section, LPCWSTR key, LPCWSTR def = u"-") {
        char16_t buf[256];
        DWORD n = GetPrivateProfileStringW(section, key, def, buf, 256, ini_.c_str());
        return std::u16string(buf, n);
    }

    std::string dir_;
    std::u16string ini_;
};

TEST_F(ProfileTest, IniRulesOfWindows) {
    WriteBytes("; settings\r\n[Setup]\r\nCount=55zz\r\ncount=1\r\nName = \"quoted\" \r\nNeg=-12\r\n"
               "[SETUP]\r\nCount=99\r\nOther=2\r\n[Grid]\r\nA=1\r\n");
    EXPECT_EQ(GetPrivateProfileIntW(u"setup", u"COUNT", 7, ini_.c_str()),
              55u); // first duplicate, leading digits
    EXPECT_EQ(GetPrivateProfileIntW(u"setup", u"Neg", 0, ini_.c_str()), UINT(-12));
    EXPECT_EQ(GetPrivateProfileIntW(u"setup", u"Other", 7, ini_.c_str()), 7u); // the second section is hidden
    EXPECT_EQ(Get(u"Setup", u"name"), u"quoted");
    EXPECT_EQ(Get(u"Setup", u"missing", u"def  "), u"def");

    char16_t list[64];
    DWORD n = GetPrivateProfileStringW(nullptr, nullptr, u"", list, 64, ini_.c_str());
    EXPECT_EQ(std::u16string(list, n), std::u16string(u"Setup\0Grid\0", 11));
    n = GetPrivateProfileStringW(u"grid", nullptr, u"", list, 64, ini_.c_str());
    EXPECT_EQ(std::u16string(list, n), std::u16string(u"A\0", 2));

    ASSERT_TRUE(WritePrivateProfileStringW(u"setup", u"COUNT", u"3", ini_.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(u"setup", u"Added", u"x", ini_.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(u"setup", u"neg", nullptr, ini_.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(u"grid", nullptr, nullptr, ini_.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(u"New", u"K", u"v", ini_.c_str()));
    EXPECT_EQ(ReadBytes(Path()),
              "; settings\r\n[Setup]\r\nCount=3\r\ncount=1\r\nName = \"quoted\" \r\nAdded=x\r\n"
              "[SETUP]\r\nCount=99\r\nOther=2\r\n\r\n[New]\r\nK=v\r\n");
}

TEST_F(ProfileTest, EachEncodingIsReadAndKept) {
    // UTF-16LE with its mark.
    std::u16string text = u"[S]\r\nK=社員番号\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) bytes += char(c & 0xFF), bytes += char(c >> 8);
    WriteBytes(bytes);
    EXPECT_EQ(Get(u"S", u"K"), u"社員番号");
    ASSERT_TRUE(WritePrivateProfileStringW(u"S", u"L", u"𠮷", ini_.c_str()));
    std::string after = ReadBytes(Path());
    EXPECT_EQ(after.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(Get(u"S", u"L"), u"𠮷");

    // CP932: kept while it can hold the text, UTF-8 once it cannot.
    WriteBytes("[S]\nK=\x8E\xD0\x88\xF5\n"); // 社員
    EXPECT_EQ(Get(u"S", u"K"), u"社員");
    ASSERT_TRUE(WritePrivateProfileStringW(u"S", u"L", u"番号", ini_.c_str()));
    EXPECT_EQ(ReadBytes(Path()), "[S]\nK=\x8E\xD0\x88\xF5\nL=\x94\xD4\x8D\x86\n");
    ASSERT_TRUE(WritePrivateProfileStringW(u"S", u"M", u"𠮷", ini_.c_str()));
    EXPECT_EQ(ReadBytes(Path()), "[S]\nK=社員\nL=番号\nM=𠮷\n");
    EXPECT_EQ(Get(u"S", u"M"), u"𠮷");

    // A damaged byte read as "・" must not leave CP932 bytes that read as UTF-8.
    WriteBytes("[M\xDD\xE8\n");
    EXPECT_EQ(Get(u"M", u"x", u"none"), u"none");
    ASSERT_TRUE(WritePrivateProfileStringW(u"S", u"K", u"1", ini_.c_str()));
    EXPECT_EQ(ReadBytes(Path()), "[Mﾝ・\n\n[S]\nK=1\n");
    EXPECT_EQ(Get(u"S", u"K"), u"1");

    // A NUL in a UTF-8 file does not cut off what follows it when the file is written.
    WriteBytes(std::string("[S]\nA=x\0y\n[T]\nB=1\n", 18));
    ASSERT_TRUE(WritePrivateProfileStringW(u"S", u"C", u"2", ini_.c_str()));
    EXPECT_EQ(ReadBytes(Path()), std::string("[S]\nA=x\0y\nC=2\n[T]\nB=1\n", 22));
    EXPECT_EQ(Get(u"T", u"B"), u"1");

    // A new file is UTF-8.
    fs::remove(Path());
    ASSERT_TRUE(WritePrivateProfileStringW(u"S", u"K", u"値", ini_.c_str()));
    EXPECT_EQ(ReadBytes(Path()), "[S]\nK=値\n");
}

TEST_F(ProfileTest, ProfileFunctionsFollowTheMembersOfEachCall) {
    CWinApp& app = App();
    EXPECT_TRUE(app.WriteProfileInt(u"SETUP", u"N", 5));
    EXPECT_TRUE(app.WriteProfileString(u"SETUP", u"S", u"ini text"));
    EXPECT_EQ(ReadBytes(Path()), "[SETUP]\nN=5\nS=ini text\n");

    app.SetRegistryKey(u"QUARN\\ORACLE");
    EXPECT_EQ(std::u16string(app.m_pszProfileName), u"tavrelix");
    EXPECT_EQ(app.GetProfileInt(u"SETUP", u"N", 9), 9u); // the registry has nothing yet
    EXPECT_TRUE(app.WriteProfileInt(u"SETUP", u"N", 6));
    EXPECT_TRUE(app.WriteProfileString(u"SETUP", u"S", u"レジストリ"));
    EXPECT_EQ(app.GetProfileInt(u"setup", u"n", 9), 6u);
    EXPECT_EQ(app.GetProfileString(u"SETUP", u"S"), u"レジストリ");
    // Each reads only its own type.
    EXPECT_EQ(app.GetProfileInt(u"SETUP", u"S", 42), 42u);
    EXPECT_EQ(app.GetProfileString(u"SETUP", u"N", u"def"), u"def");

    HKEY key = nullptr;
    ASSERT_EQ(
        RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\quarn\\oracle\\TAVRELIX\\setup", 0, KEY_READ, &key),
        ERROR_SUCCESS);
    RegCloseKey(key);

    // Swap the members, as a scoped switch does: the next call lands in the ini file.
    LPCWSTR savedKey = app.m_pszRegistryKey, savedName = app.m_pszProfileName;
    app.m_pszRegistryKey = nullptr;
    app.m_pszProfileName = _wcsdup(ini_.c_str());
    EXPECT_EQ(app.GetProfileInt(u"SETUP", u"N", 9), 5u);
    EXPECT_EQ(app.GetProfileString(u"SETUP", u"S"), u"ini text");
    free(const_cast<char16_t*>(app.m_pszProfileName));
    app.m_pszRegistryKey = savedKey;
    app.m_pszProfileName = savedName;
    EXPECT_EQ(app.GetProfileInt(u"SETUP", u"N", 9), 6u);

    // Deletions: an entry, then the section.
    EXPECT_TRUE(app.WriteProfileString(u"SETUP", u"S", nullptr));
    EXPECT_EQ(app.GetProfileString(u"SETUP", u"S", u"gone"), u"gone");
    EXPECT_TRUE(app.WriteProfileString(u"SETUP", nullptr, nullptr));
    EXPECT_EQ(app.GetProfileInt(u"SETUP", u"N", 9), 9u);
    free(const_cast<char16_t*>(app.m_pszRegistryKey));
    app.m_pszRegistryKey = nullptr;
}

TEST_F(ProfileTest, RegistryRulesAndFileMode) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u".tvx\\shell", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(RegSetValueW(HKEY_CLASSES_ROOT, u".tvx", REG_SZ, u"Tavrelix.Document", 0), ERROR_SUCCESS);
    char16_t buf[64];
    LONG size = sizeof buf;
    ASSERT_EQ(RegQueryValueW(HKEY_CLASSES_ROOT, u".TVX", buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, LONG(sizeof(u"Tavrelix.Document")));
    EXPECT_EQ(std::u16string(buf), u"Tavrelix.Document");
    EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u".tvx"), ERROR_ACCESS_DENIED); // a subkey remains
    EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u".tvx\\shell"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u".tvx"), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u".tvx", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);

    struct stat st;
    ASSERT_EQ(stat((dir_ + "/config/tavrelix/registry.reg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // A relative XDG_CONFIG_HOME is ignored for $HOME/.config.
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    EXPECT_EQ(win32reg::RegistryPath(), dir_ + "/home/.config/tavrelix/registry.reg");
    ASSERT_EQ(RegSetValueW(HKEY_CURRENT_USER, u"Software\\T", REG_SZ, u"x", 0), ERROR_SUCCESS);
    ASSERT_EQ(stat((dir_ + "/home/.config/tavrelix/registry.reg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(win32reg::RegistryPath(), dir_ + "/home/.config/tavrelix/registry.reg");
}

// A key opened or a value written again as it was leaves the store's file as
// it is (each write replaces it, durably, by a new file); a change replaces it.
TEST_F(ProfileTest, OnlyChangesAreWritten) {
    auto inode = [](const std::string& path) {
        struct stat st;
        return stat(path.c_str(), &st) == 0 ? st.st_ino : ino_t(0);
    };
    for (int store = 0; store < 2; ++store) {
        CWinApp& app = App();
        if (store == 1) app.SetRegistryKey(u"QUARN\\ORACLE");
        const std::string file = store == 1 ? dir_ + "/config/tavrelix/registry.reg" : Path();
        ASSERT_TRUE(app.WriteProfileInt(u"WINDOW", u"TOP", 40));
        ASSERT_TRUE(app.WriteProfileString(u"WINDOW", u"NAME", u"main"));
        const ino_t first = inode(file);
        ASSERT_NE(first, ino_t(0)) << store;
        EXPECT_TRUE(app.WriteProfileInt(u"WINDOW", u"TOP", 40));
        EXPECT_TRUE(app.WriteProfileString(u"WINDOW", u"NAME", u"main"));
        EXPECT_TRUE(app.WriteProfileString(u"WINDOW", u"GONE", nullptr));
        EXPECT_EQ(inode(file), first) << store;
        EXPECT_TRUE(app.WriteProfileInt(u"WINDOW", u"TOP", 63));
        EXPECT_NE(inode(file), first) << store;
        EXPECT_EQ(app.GetProfileInt(u"WINDOW", u"TOP", 0), 63u) << store;
        EXPECT_EQ(app.GetProfileString(u"WINDOW", u"NAME"), CString(u"main")) << store;
        if (store == 1) {
            HKEY key = nullptr;
            const ino_t before = inode(file);
            ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\QUARN\\ORACLE\\tavrelix\\WINDOW", 0,
                                      nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                      ERROR_SUCCESS);
            RegCloseKey(key);
            EXPECT_EQ(inode(file), before);
            // A value of a key not made yet makes it, and the keys above it.
            DWORD seven = 7, got = 0, size = sizeof got;
            EXPECT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, u"Software\\New\\Deep", u"V", REG_DWORD, &seven, 4),
                      ERROR_SUCCESS);
            EXPECT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, nullptr, u"V", REG_DWORD, &seven, 4),
                      ERROR_INVALID_HANDLE);
            ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\New", 0, KEY_READ, &key), ERROR_SUCCESS);
            RegCloseKey(key);
            ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\New\\Deep", 0, KEY_READ, &key),
                      ERROR_SUCCESS);
            EXPECT_EQ(RegQueryValueExW(key, u"v", nullptr, nullptr, reinterpret_cast<LPBYTE>(&got), &size),
                      ERROR_SUCCESS);
            EXPECT_EQ(got, 7u);
            RegCloseKey(key);
            free(const_cast<char16_t*>(app.m_pszRegistryKey));
            app.m_pszRegistryKey = nullptr;
        }
    }
}

TEST_F(ProfileTest, TwoProcessesWritingInTurnKeepBothKeys) {
    for (int store = 0; store < 2; ++store) {
        CWinApp& app = App();
        if (store == 1) app.SetRegistryKey(u"QUARN\\ORACLE");
        pid_t child = fork();
        ASSERT_GE(child, 0);
        const char16_t* me = child == 0 ? u"CHILD_%d" : u"PARENT_%d";
        for (int i = 0; i < 40; ++i) {
            CString key;
            key.Format(me, i);
            app.WriteProfileInt(u"RACE", key, i);
        }
        if (child == 0) _exit(0);
        int status = 0;
        waitpid(child, &status, 0);
        for (int i = 0; i < 40; ++i) {
            CString a, b;
            a.Format(u"CHILD_%d", i);
            b.Format(u"PARENT_%d", i);
            EXPECT_EQ(app.GetProfileInt(u"RACE", a, -1), UINT(i)) << store;
            EXPECT_EQ(app.GetProfileInt(u"RACE", b, -1), UINT(i)) << store;
        }
        if (store == 1) {
            free(const_cast<char16_t*>(app.m_pszRegistryKey));
            app.m_pszRegistryKey = nullptr;
        }
    }
}

} // namespace
