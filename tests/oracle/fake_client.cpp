#include "fake_client.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

FakeClient* FakeClient::current = nullptr;

namespace {

char g_handles[4096];
int g_next_handle = 0;

FakeClient& F() {
    return *FakeClient::current;
}
void Call(const char* name) {
    F().calls.push_back(name);
}

dvoid* NewHandle() {
    return &g_handles[(g_next_handle++) % sizeof g_handles];
}

sword HandleAlloc(const dvoid*, dvoid** h, ub4 type, size_t, dvoid**) {
    Call("OCIHandleAlloc");
    *h = NewHandle();
    ++F().allocs[type];
    return OCI_SUCCESS;
}
sword HandleFree(dvoid*, ub4 type) {
    Call("OCIHandleFree");
    ++F().frees[type];
    return OCI_SUCCESS;
}
sword DescriptorAlloc(const dvoid*, dvoid** h, ub4 type, size_t, dvoid**) {
    Call("OCIDescriptorAlloc");
    if (F().alloc_fail_after == 0) return OCI_ERROR;
    if (F().alloc_fail_after > 0) --F().alloc_fail_after;
    *h = new char[8];
    ++F().allocs[type];
    return OCI_SUCCESS;
}
sword DescriptorFree(dvoid* h, ub4 type) {
    Call("OCIDescriptorFree");
    delete[] static_cast<char*>(h);
    ++F().frees[type];
    return OCI_SUCCESS;
}
sword AttrSet(dvoid*, ub4 htype, dvoid* value, ub4 size, ub4 attr, OCIError*) {
    Call("OCIAttrSet");
    if (htype == OCI_HTYPE_SESSION) F().attr_set[attr] = std::string(static_cast<const char*>(value), size);
    return OCI_SUCCESS;
}
// Statement handles answer the column count and the parse-error offset;
// parameters are pointers to a column index + 1.
sword AttrGet(const dvoid* h, ub4 htype, dvoid* value, ub4* size, ub4 attr, OCIError*) {
    Call("OCIAttrGet");
    if (htype == OCI_HTYPE_STMT) {
        if (attr == OCI_ATTR_PARAM_COUNT)
            *static_cast<ub4*>(value) = ub4(F().columns.size());
        else if (attr == OCI_ATTR_PARSE_ERROR_OFFSET)
            *static_cast<ub2*>(value) = F().parse_offset;
        else
            return OCI_ERROR;
        return OCI_SUCCESS;
    }
    if (htype != OCI_DTYPE_PARAM) return OCI_ERROR;
    const FakeClient::Column& c = F().columns[size_t(reinterpret_cast<uintptr_t>(h)) - 1];
    switch (attr) {
    case OCI_ATTR_DATA_SIZE: *static_cast<ub2*>(value) = ub2(c.size); break;
    case OCI_ATTR_DATA_TYPE: *static_cast<ub2*>(value) = ub2(c.type); break;
    case OCI_ATTR_NAME:
        *static_cast<const char**>(value) = c.name.c_str();
        *size = ub4(c.name.size());
        break;
    case OCI_ATTR_PRECISION: *static_cast<sb2*>(value) = c.precision; break;
    case OCI_ATTR_SCALE: *static_cast<ub1*>(value) = ub1(c.scale); break; // one byte, as the client writes it
    case OCI_ATTR_IS_NULL: *static_cast<ub1*>(value) = 1; break;
    case OCI_ATTR_CHARSET_FORM: *static_cast<ub1*>(value) = SQLCS_IMPLICIT; break;
    default: return OCI_ERROR;
    }
    return OCI_SUCCESS;
}
sword ParamGet(const dvoid*, ub4, OCIError*, dvoid** param, ub4 pos) {
    Call("OCIParamGet");
    if (pos < 1 || pos > F().columns.size()) return OCI_ERROR;
    *param = reinterpret_cast<dvoid*>(uintptr_t(pos));
    return OCI_SUCCESS;
}
// The database character set is not known here: its query fails at parse
// time, and the logon goes on without it.
bool IsCharsetQuery(const char* sql) {
    return std::strstr(sql, "nls_database_parameters") != nullptr;
}

sword StmtPrepare(OCIStmt*, OCIError*, const OraText* text, ub4 len, ub4, ub4) {
    Call("OCIStmtPrepare");
    F().prepared.assign(reinterpret_cast<const char*>(text), len);
    return IsCharsetQuery(F().prepared.c_str()) ? OCI_ERROR : OCI_SUCCESS;
}
sword StmtExecute(OCISvcCtx*, OCIStmt*, OCIError*, ub4, ub4, const OCISnapshot*, OCISnapshot*, ub4) {
    Call("OCIStmtExecute");
    return F().execute;
}
sword EnvCreate(OCIEnv** env, ub4, dvoid*, dvoid* (*)(dvoid*, size_t), dvoid* (*)(dvoid*, dvoid*, size_t),
                void (*)(dvoid*, dvoid*), size_t, dvoid**) {
    Call("OCIEnvCreate");
    *env = static_cast<OCIEnv*>(NewHandle());
    ++F().allocs[OCI_HTYPE_ENV];
    return OCI_SUCCESS;
}
sword NlsGetInfo(dvoid*, OCIError*, OraText* buf, size_t size, ub2) {
    Call("OCINlsGetInfo");
    std::snprintf(reinterpret_cast<char*>(buf), size, "JA16SJISTILDE");
    return F().nls_result;
}
sword SessionBegin(OCISvcCtx*, OCIError*, OCISession*, ub4 cred, ub4) {
    Call("OCISessionBegin");
    F().session_credentials = cred;
    return F().session_begin;
}
sword SvcCtxToLda(OCISvcCtx*, OCIError*, Lda_Def*) {
    Call("OCISvcCtxToLda");
    return F().svc_to_lda;
}
sword ErrorGet(dvoid*, ub4, OraText*, sb4* code, OraText* buf, ub4 size, ub4) {
    Call("OCIErrorGet");
    *code = F().error_code;
    std::snprintf(reinterpret_cast<char*>(buf), size, "%s", F().error_text.c_str());
    return OCI_SUCCESS;
}
sword Oparse(Cda_Def* cda, OraText* sql, sb4, sword, ub4) {
    Call("oparse");
    if (IsCharsetQuery(reinterpret_cast<const char*>(sql))) {
        cda->rc = 942;
        return -1;
    }
    return 0;
}
sword Odescr(Cda_Def* cda, sword pos, sb4* dbsize, sb2* dbtype, sb1* cbuf, sb4* cbufl, sb4* dsize, sb2* prec,
             sb2* scale, sb2* nullok) {
    Call("odescr");
    auto& cols = F().columns;
    if (pos < 1 || size_t(pos) > cols.size()) {
        cda->rc = 1007;
        return -1;
    }
    const auto& c = cols[size_t(pos) - 1];
    *dbsize = c.size;
    *dbtype = c.type;
    size_t n = std::min<size_t>(c.name.size(), size_t(*cbufl));
    std::memcpy(cbuf, c.name.data(), n);
    *cbufl = sb4(n);
    *dsize = c.size;
    *prec = c.precision;
    *scale = c.scale;
    *nullok = 1;
    cda->rc = 0;
    return 0;
}
sword Oerhms(Lda_Def*, sb2 code, OraText* buf, sword size) {
    Call("oerhms");
    std::snprintf(reinterpret_cast<char*>(buf), size_t(size), "ORA-%05d: fake\n", int(code));
    return 0;
}

} // namespace

void FakeClient::Install() {
    current = this;
    g_oci = OciEntryPoints{};
    // Entry points that only record the call and succeed.
#define SUCCEEDS(entry) g_oci.entry = [](auto...) { return Call(#entry), sword(OCI_SUCCESS); }
    SUCCEEDS(OCIServerAttach), SUCCEEDS(OCIServerDetach), SUCCEEDS(OCISessionEnd), SUCCEEDS(OCILdaToSvcCtx);
    SUCCEEDS(OCITransRollback), SUCCEEDS(oclose), SUCCEEDS(oopen);
#undef SUCCEEDS
    g_oci.OCIHandleAlloc = HandleAlloc;
    g_oci.OCIHandleFree = HandleFree;
    g_oci.OCIDescriptorAlloc = DescriptorAlloc;
    g_oci.OCIDescriptorFree = DescriptorFree;
    g_oci.OCIAttrSet = AttrSet;
    g_oci.OCIAttrGet = AttrGet;
    g_oci.OCIParamGet = ParamGet;
    g_oci.OCIStmtPrepare = StmtPrepare;
    g_oci.OCIStmtExecute = StmtExecute;
    g_oci.OCIEnvCreate = EnvCreate;
    g_oci.OCINlsGetInfo = NlsGetInfo;
    g_oci.OCISessionBegin = SessionBegin;
    g_oci.OCISvcCtxToLda = SvcCtxToLda;
    g_oci.OCIErrorGet = ErrorGet;
    g_oci.oparse = Oparse;
    g_oci.odescr = Odescr;
    g_oci.oerhms = Oerhms;
    g_oci8_available = 1;
    g_oci_object_api = 1;
    g_oci_env = NewHandle();
    g_oci_env_ready = 1;
}

int FakeClient::Count(const std::string& name) const {
    return int(std::count(calls.begin(), calls.end(), name));
}
