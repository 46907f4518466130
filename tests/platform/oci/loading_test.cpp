// Loading the library by name: exports, variants and version blocks.
#include "oci_fixture.h"

#include <algorithm>
#include <dirent.h>
#include <elf.h>
#include <fstream>

using namespace ocitest;

namespace {

// The NUL-separated lines of the library's .winver section.
std::vector<std::string> versionLines(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;
    if (data.size() < sizeof(Elf64_Ehdr)) return lines;
    auto* eh = reinterpret_cast<const Elf64_Ehdr*>(data.data());
    auto* sh = reinterpret_cast<const Elf64_Shdr*>(data.data() + eh->e_shoff);
    const char* names = data.data() + sh[eh->e_shstrndx].sh_offset;
    for (int i = 0; i < eh->e_shnum; ++i) {
        if (std::string(names + sh[i].sh_name) != ".winver") continue;
        std::string block = data.substr(sh[i].sh_offset, sh[i].sh_size);
        size_t p = 0;
        while (p < block.size()) {
            size_t e = block.find('\0', p);
            if (e == std::string::npos) e = block.size();
            if (e > p) lines.push_back(block.substr(p, e - p));
            p = e + 1;
        }
    }
    return lines;
}

int threadCount() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') ++n;
        closedir(d);
    }
    return n;
}

} // namespace

TEST(OciLoading, CompleteBuildExportsEveryName) {
    Api api;
    ASSERT_TRUE(api.load(libraryPath())) << dlerror();
    EXPECT_TRUE(api.missing().empty());
    EXPECT_NE(api.control, nullptr);
    EXPECT_EQ(versionLines(libraryPath()),
              (std::vector<std::string>{"ProductVersion=11.2.0.4.0", "FileVersion=11.2.0.4.0"}));
    api.unload();
}

TEST(OciLoading, EachVariantLacksExactlyItsOwnNames) {
    const std::vector<std::string> objects = {
        "OCIDescribeAny",  "OCINumberToReal", "OCIStringPtr",    "OCIDateToText",    "OCITypeByRef",
        "OCIDefineObject", "OCIObjectPin",    "OCIObjectGetInd", "OCIObjectGetAttr", "OCIIterCreate",
        "OCIIterNext",     "OCIIterDelete",   "OCICollSize",     "OCITableFirst",    "OCITableNext",
        "OCICollGetElem",  "OCIRefToHex",     "OCIRefHexSize"};
    struct Case {
        std::string dir, file;
        std::vector<std::string> lacks;
    };
    const std::vector<Case> cases = {
        {"no_envcreate", "liboci.so", {"OCIEnvCreate"}},
        {"no_definebypos", "liboci.so", {"OCIDefineByPos"}},
        {"no_objects", "liboci.so", objects},
        {"no_oexfet", "liboci.so", {"oexfet"}},
        {"no_fetch2", "liboci.so", {"OCIStmtFetch2"}},
        {"no_datetimetotext", "liboci.so", {"OCIDateTimeToText"}},
        {"v9", "liboci.so", {}},
        {"w32", "libociw32.so", {}},
    };
    for (const Case& c : cases) {
        Api api;
        ASSERT_TRUE(api.load(variantPath(c.dir, c.file))) << c.dir << ": " << dlerror();
        auto missing = api.missing();
        auto want = c.lacks;
        std::sort(missing.begin(), missing.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(missing, want) << c.dir;
        api.unload();
    }
    EXPECT_FALSE(std::filesystem::exists(variantPath("w32", "liboci.so")));
}

TEST(OciLoading, VariantVersionBlocks) {
    EXPECT_EQ(versionLines(variantPath("v9")),
              (std::vector<std::string>{"ProductVersion=9.0.1.0.0", "FileVersion=9.0.1.0.0"}));
    EXPECT_EQ(versionLines(variantPath("v112")),
              (std::vector<std::string>{"ProductVersion=11.2", "FileVersion=11.2"}));
    EXPECT_EQ(versionLines(variantPath("file_version")),
              (std::vector<std::string>{"FileVersion=10.2.0.1.0"}));
}

TEST(OciLoading, RepeatedLoadUseUnloadLeavesNoThread) {
    TempHome home;
    setenv("NLS_LANG", "AMERICAN_AMERICA.AL32UTF8", 1);
    int before = threadCount();
    for (int round = 0; round < 3; ++round) {
        Api api;
        ASSERT_TRUE(api.load(libraryPath()));
        {
            Session8 s(api);
            ASSERT_EQ(s.logon("system", "manager"), 0) << s.errorText();
            EXPECT_EQ(s.value("select user from dual"), "SYSTEM");
            Session7 s7(api);
            ASSERT_EQ(s7.logon("system", "manager"), 0);
        }
        api.unload();
    }
    EXPECT_EQ(threadCount(), before);
}
