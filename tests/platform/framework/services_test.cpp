// System services: the system module, the executable's path, environment,
// current directory and path splitting, Japanese font families, point fonts
// and the desktop's file type.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "sdi_fixture.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Services, TheSystemModuleGivesTheDllDirectoryFunction) {
    HMODULE k = LoadLibraryW(u"KERNEL32.DLL");
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(LoadLibraryW(u"kernel32.dll"), k);
    FARPROC f = GetProcAddress(k, "SetDllDirectoryW");
    ASSERT_NE(f, nullptr);
    auto fn = reinterpret_cast<BOOL (*)(LPCWSTR)>(reinterpret_cast<void (*)()>(f));
    EXPECT_EQ(fn, &SetDllDirectoryW);
    EXPECT_TRUE(fn(nullptr));
    EXPECT_EQ(GetProcAddress(k, "NoSuchFunction"), nullptr);
    EXPECT_TRUE(FreeLibrary(k));
    EXPECT_NE(GetProcAddress(k, "SetDllDirectoryW"), nullptr); // freeing it did nothing
}

TEST(Services, OneExecutablePathForTheModuleNameAndTheLibrariesBesideIt) {
    std::u16string exe = Utf8ToWide(TAVRELIX_BIN_DIR) + u"/tavrelix";
    tvtest::SetExecutablePath(exe);
    WCHAR buf[512];
    GetModuleFileNameW(nullptr, buf, 512);
    EXPECT_EQ(std::u16string(buf), exe);
    HMODULE oci = LoadLibraryW(u"OCI.DLL");
    EXPECT_NE(oci, nullptr) << "liboci.so beside the executable's path";
    if (oci) FreeLibrary(oci);
    tvtest::SetExecutablePath(u"/nonexistent/dir/tavrelix");
    EXPECT_EQ(LoadLibraryW(u"OCI.DLL"), nullptr);
    tvtest::SetExecutablePath(u"");
    GetModuleFileNameW(nullptr, buf, 512);
    EXPECT_NE(std::u16string(buf), u"/nonexistent/dir/tavrelix");
}

// Other threads read the environment while the program changes it (the
// font database worker while the session's NLS variables are set): the array
// such a reader holds stays as it was, however many variables are added or
// removed, and one reading all the time meanwhile sees each variable only
// whole.
TEST(Services, TheEnvironmentAReaderHoldsStaysValidWhileItChanges) {
    ASSERT_EQ(_wputenv(u"TAVRELIX_ENV_FIRST=1"), 0);
    char** held = environ;
    std::vector<std::string> seen;
    for (char** e = held; *e; ++e) seen.emplace_back(*e);
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!stop) {
            const char* v = std::getenv("TAVRELIX_ENV_LAST");
            if (v && std::strcmp(v, "whole") != 0) ++torn;
        }
    });
    for (int i = 0; i < 200; ++i) {
        const std::u16string name = u"TAVRELIX_ENV_" + Utf8ToWide(std::to_string(i).c_str());
        ASSERT_EQ(_wputenv((name + u"=x").c_str()), 0);
        if (i % 2) {
            ASSERT_EQ(_wputenv((name + u"=").c_str()), 0);
        }
        ASSERT_EQ(_wputenv(u"TAVRELIX_ENV_LAST=whole"), 0);
    }
    stop = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0);
    size_t i = 0;
    for (char** e = held; *e; ++e, ++i) {
        ASSERT_LT(i, seen.size());
        EXPECT_EQ(std::string(*e), seen[i]);
    }
    EXPECT_EQ(i, seen.size());
    EXPECT_STREQ(std::getenv("TAVRELIX_ENV_10"), "x");
    EXPECT_EQ(std::getenv("TAVRELIX_ENV_11"), nullptr);
    for (int k = 0; k < 200; ++k)
        _wputenv((u"TAVRELIX_ENV_" + Utf8ToWide(std::to_string(k).c_str()) + u"=").c_str());
    _wputenv(u"TAVRELIX_ENV_FIRST=");
    _wputenv(u"TAVRELIX_ENV_LAST=");
    EXPECT_EQ(std::getenv("TAVRELIX_ENV_FIRST"), nullptr);
}

TEST(Services, EnvironmentDirectoryAndPathParts) {
    EXPECT_EQ(_wputenv(u"TAVRELIX_TEST_VAR=値 1"), 0);
    ASSERT_NE(_wgetenv(u"TAVRELIX_TEST_VAR"), nullptr);
    EXPECT_EQ(std::u16string(_wgetenv(u"TAVRELIX_TEST_VAR")), u"値 1");
    EXPECT_STREQ(std::getenv("TAVRELIX_TEST_VAR"), "値 1"); // what the client library reads
    EXPECT_EQ(_wputenv(u"TAVRELIX_TEST_VAR="), 0);
    EXPECT_EQ(_wgetenv(u"TAVRELIX_TEST_VAR"), nullptr);
    EXPECT_EQ(_wputenv(u"no equals sign"), -1);

    WCHAR drive[_MAX_DRIVE], dir[_MAX_DIR], name[_MAX_FNAME], ext[_MAX_EXT];
    _wsplitpath(u"C:\\data\\sub/file.tar.gz", drive, dir, name, ext);
    EXPECT_EQ(std::u16string(drive), u"C:");
    EXPECT_EQ(std::u16string(dir), u"\\data\\sub/");
    EXPECT_EQ(std::u16string(name), u"file.tar");
    EXPECT_EQ(std::u16string(ext), u".gz");
    _wsplitpath(u"noext", nullptr, dir, name, ext);
    EXPECT_EQ(std::u16string(dir), u"");
    EXPECT_EQ(std::u16string(ext), u"");

    WCHAR cwd[1024];
    ASSERT_GT(GetCurrentDirectoryW(1024, cwd), 0u);
    std::u16string before = cwd;
    EXPECT_TRUE(SetCurrentDirectoryW(u"/tmp"));
    GetCurrentDirectoryW(1024, cwd);
    EXPECT_EQ(std::u16string(cwd), u"/tmp");
    EXPECT_FALSE(SetCurrentDirectoryW(u"/no/such/dir"));
    EXPECT_TRUE(SetCurrentDirectoryW(before.c_str()));
    EXPECT_EQ(GetCurrentDirectoryW(2, cwd), before.size() + 1); // the size it needs
}

int CollectFace(const LOGFONTW* lf, const TEXTMETRICW*, DWORD, LPARAM p) {
    reinterpret_cast<std::vector<std::u16string>*>(p)->push_back(lf->lfFaceName);
    return 1;
}

TEST(Services, JapaneseFamiliesAndPointFonts) {
    tvtest::Init();
    LOGFONTW lf{};
    lf.lfCharSet = SHIFTJIS_CHARSET;
    std::vector<std::u16string> faces;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(dc, &lf, CollectFace, reinterpret_cast<LPARAM>(&faces), 0);
    ReleaseDC(nullptr, dc);
    auto has = [&](const std::u16string& f) {
        return std::find(faces.begin(), faces.end(), f) != faces.end();
    };
    EXPECT_TRUE(has(u"Terminal"));
    EXPECT_TRUE(has(u"ＭＳ ゴシック"));
    EXPECT_TRUE(has(u"Noto Sans CJK JP"));
    EXPECT_FALSE(has(u"DejaVu Sans"));

    LOGFONTW pl{};
    pl.lfHeight = 100;
    pl.lfWeight = FW_BOLD;
    CFont font;
    ASSERT_TRUE(font.CreatePointFontIndirect(&pl));
    LOGFONTW back{};
    font.GetLogFont(&back);
    EXPECT_EQ(back.lfHeight, -13);
    EXPECT_EQ(back.lfWeight, FW_BOLD);
}

class ShellTypesTest : public SdiTest {
protected:
    void SetUp() override {
        SdiTest::SetUp();
        root_ = fs::temp_directory_path() / ("tavrelix-xdg-" + std::to_string(getpid()));
        fs::remove_all(root_);
        setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
        fs::create_directories(root_ / "config");
        std::ofstream(root_ / "config" / "mimeapps.list")
            << "[Default Applications]\ntext/plain=editor.desktop\n[Added "
               "Associations]\nimage/png=viewer.desktop\n";
        AfxRegisterResourceString(
            IDR_TEST, u"テスト\n検索条件\n\n検索条件 (*.tvx)\n.tvx\nTavrelix.Document\n検索条件ファイル");
        tvtest::SetExecutablePath(u"/opt/tavrelix/bin/tavrelix");
    }
    void TearDown() override {
        tvtest::SetExecutablePath(u"");
        unsetenv("XDG_DATA_HOME");
        unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(root_);
        SdiTest::TearDown();
    }
    fs::path root_;
};

TEST_F(ShellTypesTest, RegisteredTypesReachTheDesktopAndUnregisteringRemovesThem) {
    // An entry an earlier registration left under the entry's former name.
    fs::create_directories(root_ / "data" / "applications");
    std::ofstream(root_ / "data" / "applications" / "tavrelix.desktop") << "[Desktop Entry]\n";
    app_->RegisterShellFileTypes(FALSE);
    EXPECT_FALSE(fs::exists(root_ / "data" / "applications" / "tavrelix.desktop"));
    std::string mime = ReadAll(root_ / "data" / "mime" / "packages" / "tavrelix.xml");
    EXPECT_NE(mime.find("<mime-type type=\"application/x-tavrelix\">"), std::string::npos);
    EXPECT_NE(mime.find("<glob pattern=\"*.tvx\"/>"), std::string::npos);
    EXPECT_NE(mime.find("検索条件ファイル"), std::string::npos);
    // Named as the installed entry, which it stands in for.
    std::string desktop = ReadAll(root_ / "data" / "applications" / "org.tavrelix.tavrelix.desktop");
    EXPECT_NE(desktop.find("Exec=\"/opt/tavrelix/bin/tavrelix\" %f\n"), std::string::npos);
    EXPECT_NE(desktop.find("MimeType=application/x-tavrelix;\n"), std::string::npos);
    std::string apps = ReadAll(root_ / "config" / "mimeapps.list");
    EXPECT_NE(apps.find("[Default "
                        "Applications]\ntext/plain=editor.desktop\napplication/"
                        "x-tavrelix=org.tavrelix.tavrelix.desktop\n"),
              std::string::npos);
    EXPECT_NE(apps.find("image/png=viewer.desktop"), std::string::npos);
    // Registering again keeps one line.
    app_->RegisterShellFileTypes(FALSE);
    apps = ReadAll(root_ / "config" / "mimeapps.list");
    EXPECT_EQ(apps.find("application/x-tavrelix"), apps.rfind("application/x-tavrelix"));

    app_->UnregisterShellFileTypes();
    EXPECT_FALSE(fs::exists(root_ / "data" / "mime" / "packages" / "tavrelix.xml"));
    EXPECT_FALSE(fs::exists(root_ / "data" / "applications" / "org.tavrelix.tavrelix.desktop"));
    apps = ReadAll(root_ / "config" / "mimeapps.list");
    EXPECT_EQ(apps.find("application/x-tavrelix"), std::string::npos);
    EXPECT_NE(apps.find("text/plain=editor.desktop"), std::string::npos);
}

std::u16string ClassesValue(const char16_t* key) {
    char16_t buf[512] = {};
    LONG size = sizeof buf;
    if (RegQueryValueW(HKEY_CLASSES_ROOT, key, buf, &size) != ERROR_SUCCESS) return u"<none>";
    return buf;
}

TEST_F(ShellTypesTest, RegisteredTypesReadBackFromTheClassesKeys) {
    app_->RegisterShellFileTypes(FALSE);
    EXPECT_EQ(ClassesValue(u".tvx"), u"Tavrelix.Document");
    EXPECT_EQ(ClassesValue(u"Tavrelix.Document"), u"検索条件ファイル");
    EXPECT_EQ(ClassesValue(u"Tavrelix.Document\\DefaultIcon"), u"/opt/tavrelix/bin/tavrelix,0");
    EXPECT_EQ(ClassesValue(u"Tavrelix.Document\\shell\\open\\command"),
              u"\"/opt/tavrelix/bin/tavrelix\" \"%1\"");
    app_->UnregisterShellFileTypes();
    EXPECT_EQ(ClassesValue(u".tvx"), u"<none>");
    EXPECT_EQ(ClassesValue(u"Tavrelix.Document"), u"<none>");
    EXPECT_EQ(ClassesValue(u"Tavrelix.Document\\shell\\open\\command"), u"<none>");

    // An extension another type owns stays that type's, also after unregistering.
    ASSERT_EQ(RegSetValueW(HKEY_CLASSES_ROOT, u".tvx", REG_SZ, u"Other.Type", 22), ERROR_SUCCESS);
    app_->RegisterShellFileTypes(FALSE);
    EXPECT_EQ(ClassesValue(u".tvx"), u"Other.Type");
    EXPECT_EQ(ClassesValue(u"Tavrelix.Document"), u"検索条件ファイル");
    app_->UnregisterShellFileTypes();
    EXPECT_EQ(ClassesValue(u".tvx"), u"Other.Type");
}

} // namespace
