#include "oci_fixture.h"

#include <cstring>
#include <unistd.h>

namespace ocitest {

std::string libraryPath() {
    return std::string(OCI_LIBRARY_DIR) + "/liboci.so";
}
std::string variantPath(const std::string& v, const std::string& name) {
    return std::string(OCI_VARIANT_DIR) + "/" + v + "/" + name;
}

bool Api::load(const std::string& path, bool keep) {
    module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | (keep ? RTLD_NODELETE : 0));
    if (!module) return false;
#define OCI_RESOLVE(name) name = reinterpret_cast<pfn_##name>(dlsym(module, #name));
    OCI_ENTRY_POINTS(OCI_RESOLVE)
#undef OCI_RESOLVE
    control = reinterpret_cast<pfn_oci_standin_control>(dlsym(module, "oci_standin_control"));
    return true;
}

void Api::unload() {
    if (module) dlclose(module);
    *this = Api{};
}

std::vector<std::string> Api::missing() const {
    std::vector<std::string> out;
#define OCI_MISSING(name)                                                                                    \
    if (!name) out.push_back(#name);
    OCI_ENTRY_POINTS(OCI_MISSING)
#undef OCI_MISSING
    return out;
}

std::string Api::ctl(const std::string& command) const {
    char reply[256];
    int rc = control(command.c_str(), reply, sizeof reply);
    return rc == 0 ? std::string("ok") : std::string("fail: ") + reply;
}

TempHome::TempHome() {
    char tmpl[] = "/tmp/oci-test-XXXXXX";
    dir = mkdtemp(tmpl);
    std::filesystem::create_directories(dir / "tns");
    std::filesystem::create_directories(dir / "data");
    FILE* f = std::fopen((dir / "tns" / "services.conf").c_str(), "w");
    std::fputs(
        "# test services\nTEST = ../db/test\ntest2 = ../db/test2\nBROKEN = ../db/broken\nDEMO = ../db/demo\n",
        f);
    std::fclose(f);
    setenv("TNS_ADMIN", (dir / "tns").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
}

TempHome::~TempHome() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

void OciTest::SetUp() {
    home = std::make_unique<TempHome>();
    setenv("NLS_LANG", "JAPANESE_JAPAN.AL32UTF8", 1);
    unsetenv("NLS_NCHAR");
    ASSERT_TRUE(api.load(libraryPath())) << dlerror();
    ASSERT_EQ(api.ctl("reset"), "ok");
}

void OciTest::TearDown() {
    api.unload();
    home.reset();
}

Session8::~Session8() {
    logoff();
}

sword Session8::logon(const std::string& user, const std::string& password, const std::string& service,
                      ub4 mode) {
    if (!env) {
        if (api_.OCIEnvCreate(&env, OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr, 0,
                              nullptr) != 0)
            return OCI_ERROR;
        api_.OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
        api_.OCIHandleAlloc(env, reinterpret_cast<void**>(&srv), OCI_HTYPE_SERVER, 0, nullptr);
        api_.OCIHandleAlloc(env, reinterpret_cast<void**>(&svc), OCI_HTYPE_SVCCTX, 0, nullptr);
        api_.OCIHandleAlloc(env, reinterpret_cast<void**>(&ses), OCI_HTYPE_SESSION, 0, nullptr);
    }
    sword rc = api_.OCIServerAttach(srv, err, reinterpret_cast<const OraText*>(service.data()),
                                    sb4(service.size()), 0);
    if (rc != 0) return rc;
    api_.OCIAttrSet(svc, OCI_HTYPE_SVCCTX, srv, 0, OCI_ATTR_SERVER, err);
    ub4 cred = OCI_CRED_RDBMS;
    if (user.empty() && password.empty()) {
        cred = OCI_CRED_EXT;
    } else {
        api_.OCIAttrSet(ses, OCI_HTYPE_SESSION, const_cast<char*>(user.data()), ub4(user.size()),
                        OCI_ATTR_USERNAME, err);
        api_.OCIAttrSet(ses, OCI_HTYPE_SESSION, const_cast<char*>(password.data()), ub4(password.size()),
                        OCI_ATTR_PASSWORD, err);
    }
    rc = api_.OCISessionBegin(svc, err, ses, cred, mode);
    if (rc == OCI_SUCCESS || rc == OCI_SUCCESS_WITH_INFO) {
        api_.OCIAttrSet(svc, OCI_HTYPE_SVCCTX, ses, 0, OCI_ATTR_SESSION, err);
        logged = true;
    }
    return rc;
}

void Session8::logoff() {
    if (!env) return;
    if (stmt) api_.OCIHandleFree(stmt, OCI_HTYPE_STMT);
    stmt = nullptr;
    if (logged) {
        api_.OCISessionEnd(svc, err, ses, 0);
        api_.OCIServerDetach(srv, err, 0);
    }
    logged = false;
    api_.OCIHandleFree(env, OCI_HTYPE_ENV);
    env = nullptr;
}

sword Session8::exec(const std::string& sql, const std::vector<std::string>& values, ub4 iters) {
    if (!stmt) api_.OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    api_.OCIStmtPrepare(stmt, err, reinterpret_cast<const OraText*>(sql.data()), ub4(sql.size()),
                        OCI_NTV_SYNTAX, 0);
    std::vector<OCIBind*> binds(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        std::string name = ":X" + std::to_string(i);
        sword rc =
            api_.OCIBindByName(stmt, &binds[i], err, reinterpret_cast<const OraText*>(name.data()),
                               sb4(name.size()), const_cast<char*>(values[i].c_str()),
                               sb4(values[i].size() + 1), SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, 0);
        if (rc != 0) return rc;
    }
    sword rc = api_.OCIStmtExecute(svc, stmt, err, iters, 0, nullptr, nullptr, 0);
    ub4 sz = 0;
    api_.OCIAttrGet(stmt, OCI_HTYPE_STMT, &offset_, &sz, OCI_ATTR_PARSE_ERROR_OFFSET, err);
    return rc;
}

sword Session8::query(const std::string& sql, std::vector<Row>& rows,
                      const std::vector<std::string>& values) {
    rows.clear();
    sword rc = exec(sql, values, 0);
    if (rc != 0) return rc;
    ub4 count = 0;
    api_.OCIAttrGet(stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, err);
    const int width = 4001;
    std::vector<std::vector<char>> bufs(count, std::vector<char>(width));
    std::vector<sb2> inds(count);
    for (ub4 i = 0; i < count; ++i) {
        OCIDefine* d = nullptr;
        api_.OCIDefineByPos(stmt, &d, err, i + 1, bufs[i].data(), width, SQLT_STR, &inds[i], nullptr, nullptr,
                            0);
    }
    for (;;) {
        rc = api_.OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, 0);
        if (rc == OCI_NO_DATA) return 0;
        if (rc != 0 && rc != 1) return rc;
        Row r;
        for (ub4 i = 0; i < count; ++i)
            r.push_back(inds[i] == -1 ? std::nullopt : std::optional<std::string>(bufs[i].data()));
        rows.push_back(r);
    }
}

std::string Session8::value(const std::string& sql) {
    std::vector<Row> rows;
    if (query(sql, rows) != 0) return "<ERR " + std::to_string(errorCode()) + ">";
    if (rows.empty() || rows[0].empty()) return "<NO ROW>";
    return rows[0][0] ? *rows[0][0] : "<NULL>";
}

int Session8::errorCode() {
    sb4 code = 0;
    char buf[1024];
    if (api_.OCIErrorGet(err, 1, nullptr, &code, reinterpret_cast<OraText*>(buf), sizeof buf,
                         OCI_HTYPE_ERROR) != 0)
        return 0;
    return code;
}

std::string Session8::errorText() {
    sb4 code = 0;
    char buf[1024] = {};
    api_.OCIErrorGet(err, 1, nullptr, &code, reinterpret_cast<OraText*>(buf), sizeof buf, OCI_HTYPE_ERROR);
    return buf;
}

Session7::~Session7() {
    if (logged) api_.ologof(&lda);
}

sword Session7::logon(const std::string& user, const std::string& password, const std::string& service) {
    sword rc = api_.olog(&lda, hda.data, reinterpret_cast<OraText*>(const_cast<char*>(user.c_str())), -1,
                         reinterpret_cast<OraText*>(const_cast<char*>(password.c_str())), -1,
                         reinterpret_cast<OraText*>(const_cast<char*>(service.c_str())), -1, 0);
    logged = rc == 0;
    return rc;
}

void SystemSessionTest::SetUp() {
    OciTest::SetUp();
    if (HasFatalFailure()) return;
    s = std::make_unique<Session8>(api);
    ASSERT_EQ(s->logon("system", "manager"), 0) << s->errorText();
}

void SystemSessionTest::TearDown() {
    s.reset();
    OciTest::TearDown();
}

} // namespace ocitest
