// Loads the client library with dlopen, as the Oracle layer does, and wraps
// the calls the suites need.
#pragma once

#include "oci_client.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ocitest {

// clang-format off
#define OCI_ENTRY_POINTS(X) \
    X(OCIEnvCreate) X(OCIInitialize) X(OCIEnvInit) X(OCINlsGetInfo) X(OCIServerRelease) \
    X(OCIHandleAlloc) X(OCIHandleFree) X(OCIServerAttach) X(OCIServerDetach) X(OCISessionBegin) \
    X(OCISessionEnd) X(OCIAttrSet) X(OCIAttrGet) X(OCIErrorGet) X(OCIStmtPrepare) \
    X(OCIStmtExecute) X(OCIDefineByPos) X(OCIDefineArrayOfStruct) X(OCIParamGet) X(OCIStmtFetch) \
    X(OCIStmtFetch2) X(OCIBindByName) X(OCIBreak) X(OCIReset) X(OCIDescriptorAlloc) \
    X(OCIDescriptorFree) X(OCILobAssign) X(OCILobIsTemporary) X(OCILobLocatorAssign) X(OCILobOpen) \
    X(OCILobClose) X(OCILobGetLength) X(OCILobRead) X(OCILobWrite) X(OCILobCharSetForm) \
    X(OCILobCharSetId) X(OCILobTrim) X(OCILobFileGetName) X(OCITransCommit) X(OCITransRollback) \
    X(OCISvcCtxToLda) X(OCILdaToSvcCtx) X(OCIDescribeAny) X(OCINumberToReal) X(OCIStringPtr) \
    X(OCIDateToText) X(OCITypeByRef) X(OCIDefineObject) X(OCIObjectPin) X(OCIObjectGetInd) \
    X(OCIObjectGetAttr) X(OCIIterCreate) X(OCIIterNext) X(OCIIterDelete) X(OCICollSize) \
    X(OCITableFirst) X(OCITableNext) X(OCICollGetElem) X(OCIRefToHex) X(OCIRefHexSize) \
    X(OCIDateTimeToText) X(obreak) X(oclose) X(ocom) X(odescr) \
    X(oerhms) X(oexec) X(oexfet) X(oexn) X(ofen) \
    X(olog) X(ologof) X(oopen) X(oparse) X(orol) \
    X(onbset) X(onbclr) X(obndra) X(odefin)
// clang-format on

struct Api {
    void* module = nullptr;
#define OCI_FIELD(name) pfn_##name name = nullptr;
    OCI_ENTRY_POINTS(OCI_FIELD)
#undef OCI_FIELD
    pfn_oci_standin_control control = nullptr;

    // keep: the library stays mapped after unload (RTLD_NODELETE).
    bool load(const std::string& path, bool keep = false);
    void unload();
    // Names the library does not export.
    std::vector<std::string> missing() const;
    std::string ctl(const std::string& command) const;
};

// Temporary TNS_ADMIN and XDG_DATA_HOME with services TEST (and TEST2).
class TempHome {
public:
    TempHome();
    ~TempHome();
    std::filesystem::path dir;
};

// Text of a fetched value; nullopt for NULL.
using Row = std::vector<std::optional<std::string>>;

// One Oracle 8 session.
class Session8 {
public:
    explicit Session8(Api& api) : api_(api) {}
    ~Session8();
    sword logon(const std::string& user, const std::string& password, const std::string& service = "TEST",
                ub4 mode = OCI_DEFAULT);
    void logoff();
    // Prepares and executes; binds ":X0".. from values ("" = NULL).
    sword exec(const std::string& sql, const std::vector<std::string>& values = {}, ub4 iters = 1);
    // Runs a query and fetches every row as text.
    sword query(const std::string& sql, std::vector<Row>& rows, const std::vector<std::string>& values = {});
    std::string value(const std::string& sql); // first column of the first row, "<NULL>" or "<ERR n>"
    int errorCode();
    std::string errorText();
    ub2 lastOffset() const { return offset_; }

    Api& api_;
    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCIServer* srv = nullptr;
    OCISvcCtx* svc = nullptr;
    OCISession* ses = nullptr;
    OCIStmt* stmt = nullptr;
    bool logged = false;
    ub2 offset_ = 0;
};

// One Oracle 7 session.
class Session7 {
public:
    explicit Session7(Api& api) : api_(api) {}
    ~Session7();
    sword logon(const std::string& user, const std::string& password, const std::string& service = "TEST");
    Api& api_;
    Lda_Def lda{};
    Hda_Def hda{};
    bool logged = false;
};

class OciTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    Api api;
    std::unique_ptr<TempHome> home;
};

// A test with an Oracle 8 session logged on as SYSTEM.
class SystemSessionTest : public OciTest {
protected:
    void SetUp() override;
    void TearDown() override;
    std::unique_ptr<Session8> s;
};

std::string libraryPath();
std::string variantPath(const std::string& variant, const std::string& name = "liboci.so");

} // namespace ocitest
