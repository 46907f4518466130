// Loading the client library by name and sorting its entry points into the
// three call groups, against stub libraries in directories of their own.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>

#include "oracle/oci_api.h"

namespace {

std::u16string StubDir(const char* variant) {
    return Utf8ToWide((std::string(ORACLE_STUB_DIR) + "/" + variant).c_str());
}

class LoadTest : public ::testing::Test {
protected:
    void SetUp() override { oci_reset_globals_for_test(); }
    void TearDown() override {
        if (g_oci_module) FreeLibrary(g_oci_module);
        oci_reset_globals_for_test();
        SetDllDirectoryW(nullptr);
    }
    int Load(const char* variant, CString* msg = nullptr) {
        SetDllDirectoryW(StubDir(variant).c_str());
        return oci_load_library(msg);
    }
};

TEST_F(LoadTest, OnlyTheLastNameIsPresent) {
    ASSERT_EQ(Load("only_w32"), ORARC_OK);
    ASSERT_NE(g_oci_module, nullptr);
    char16_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(g_oci_module, path, MAX_PATH);
    ASSERT_GT(n, 0u);
    std::u16string p(path, n);
    EXPECT_EQ(p.substr(p.rfind(u'/') + 1), u"libociw32.so");
    EXPECT_EQ(p[0], u'/');
    EXPECT_EQ(g_oci8_available, 1);
    EXPECT_EQ(g_oci_object_api, 1);
    EXPECT_NE(g_oci.OCIEnvCreate, nullptr);
    EXPECT_EQ(g_oci.OCIInitialize, nullptr); // only resolved without OCIEnvCreate
    EXPECT_NE(g_oci.odefin, nullptr);

    // Truncated as Windows does: size - 1 characters and a terminator.
    char16_t small[5];
    EXPECT_EQ(GetModuleFileNameW(g_oci_module, small, 5), 5u);
    EXPECT_EQ(std::u16string(small), p.substr(0, 4));
}

TEST_F(LoadTest, MissingOracle7CallFailsWithoutTryingLaterNames) {
    CString msg;
    EXPECT_EQ(Load("no_oexfet", &msg), ORARC_NO_LIBRARY);
    EXPECT_EQ(msg, u"OCIライブラリの初期化に失敗しました\n");
    EXPECT_EQ(g_oci_module, nullptr);
    std::string w32 = std::string(ORACLE_STUB_DIR) + "/no_oexfet/libociw32.so";
    std::string oci = std::string(ORACLE_STUB_DIR) + "/no_oexfet/liboci.so";
    EXPECT_EQ(dlopen(w32.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
    EXPECT_EQ(dlopen(oci.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr); // freed again
}

TEST_F(LoadTest, NothingToLoad) {
    CString msg;
    EXPECT_EQ(Load("empty", &msg), ORARC_NO_LIBRARY);
    EXPECT_EQ(msg, u"OCIライブラリの初期化に失敗しました\n");
    EXPECT_EQ(oci_load_library(nullptr), ORARC_NO_LIBRARY);
}

TEST_F(LoadTest, WithoutEnvCreateTheOlderCallsAreResolved) {
    ASSERT_EQ(Load("no_envcreate"), ORARC_OK);
    EXPECT_EQ(g_oci.OCIEnvCreate, nullptr);
    EXPECT_NE(g_oci.OCIInitialize, nullptr);
    EXPECT_NE(g_oci.OCIEnvInit, nullptr);
    EXPECT_EQ(g_oci8_available, 1);
}

TEST_F(LoadTest, WithoutDefineByPosTheOracle8CallsAreOff) {
    ASSERT_EQ(Load("no_define"), ORARC_OK);
    EXPECT_EQ(g_oci8_available, 0);
    EXPECT_EQ(g_oci_object_api, 1);
    EXPECT_NE(g_oci.OCIStmtFetch, nullptr); // resolution goes on after a miss
    EXPECT_EQ(oci8_init_env(nullptr), ORARC_OK);
    EXPECT_EQ(g_oci_env_ready, 0);
}

TEST_F(LoadTest, WithoutObjectPinTheObjectCallsAreOff) {
    ASSERT_EQ(Load("no_pin"), ORARC_OK);
    EXPECT_EQ(g_oci8_available, 1);
    EXPECT_EQ(g_oci_object_api, 0);
    EXPECT_NE(g_oci.OCIRefHexSize, nullptr);
}

TEST_F(LoadTest, LibraryNamesMapToSharedObjects) {
    EXPECT_EQ(ModuleFileNameFor(u"OCI.DLL"), u"liboci.so");
    EXPECT_EQ(ModuleFileNameFor(u"ORA803.DLL"), u"libora803.so");
    EXPECT_EQ(ModuleFileNameFor(u"Ocia"), u"libocia.so");
    EXPECT_EQ(ModuleFileNameFor(u"C:\\x\\OCI.dll"), u"C:/x/liboci.so");
    EXPECT_EQ(LoadLibraryW(u"NOSUCHLIBRARY.DLL"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
}

} // namespace
