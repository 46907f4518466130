#include "fake_client.h"

#include <algorithm>
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
sword ServerAttach(OCIServer*, OCIError*, const OraText*, sb4, ub4) {
    Call("OCIServerAttach");
    return OCI_SUCCESS;
}
sword ServerDetach(OCIServer*, OCIError*, ub4) {
    Call("OCIServerDetach");
    return F().detach;
}
sword AttrSet(dvoid*, ub4 htype, dvoid* value, ub4 size, ub4 attr, OCIError*) {
    Call("OCIAttrSet");
    if (htype == OCI_HTYPE_SESSION) F().attr_set[attr] = std::string(static_cast<const char*>(value), size);
    return OCI_SUCCESS;
}
sword SessionBegin(OCISvcCtx*, OCIError*, OCISession*, ub4 cred, ub4 mode) {
    Call("OCISessionBegin");
    F().session_credentials = cred;
    F().session_mode = mode;
    return F().session_begin;
}
sword SessionEnd(OCISvcCtx*, OCIError*, OCISession*, ub4) {
    Call("OCISessionEnd");
    return F().session_end;
}
sword SvcCtxToLda(OCISvcCtx*, OCIError*, Lda_Def*) {
    Call("OCISvcCtxToLda");
    return F().svc_to_lda;
}
sword LdaToSvcCtx(OCISvcCtx**, OCIError*, Lda_Def*) {
    Call("OCILdaToSvcCtx");
    return F().lda_to_svc;
}
sword TransRollback(OCISvcCtx*, OCIError*, ub4) {
    Call("OCITransRollback");
    return OCI_SUCCESS;
}
sword ErrorGet(dvoid*, ub4, OraText*, sb4* code, OraText* buf, ub4 size, ub4) {
    Call("OCIErrorGet");
    *code = F().error_code;
    std::snprintf(reinterpret_cast<char*>(buf), size, "%s", F().error_text.c_str());
    return OCI_SUCCESS;
}
sword ServerRelease(dvoid*, OCIError*, OraText* buf, ub4 size, ub1, ub4* version) {
    Call("OCIServerRelease");
    if (F().server_release != OCI_SUCCESS) return F().server_release;
    std::snprintf(reinterpret_cast<char*>(buf), size, "Oracle");
    *version = F().release;
    return OCI_SUCCESS;
}
sword Orol(Lda_Def*) {
    Call("orol");
    return 0;
}
sword Oclose(Cda_Def*) {
    Call("oclose");
    ++F().oclose_calls;
    return 0;
}
sword Oopen(Cda_Def*, Lda_Def*, OraText*, sword, sword, OraText*, sword) {
    Call("oopen");
    return 0;
}
sword Oparse(Cda_Def*, OraText*, sb4, sword, ub4) {
    Call("oparse");
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
    g_oci.OCIHandleAlloc = HandleAlloc;
    g_oci.OCIHandleFree = HandleFree;
    g_oci.OCIDescriptorAlloc = DescriptorAlloc;
    g_oci.OCIDescriptorFree = DescriptorFree;
    g_oci.OCIServerAttach = ServerAttach;
    g_oci.OCIServerDetach = ServerDetach;
    g_oci.OCIAttrSet = AttrSet;
    g_oci.OCISessionBegin = SessionBegin;
    g_oci.OCISessionEnd = SessionEnd;
    g_oci.OCISvcCtxToLda = SvcCtxToLda;
    g_oci.OCILdaToSvcCtx = LdaToSvcCtx;
    g_oci.OCITransRollback = TransRollback;
    g_oci.OCIErrorGet = ErrorGet;
    g_oci.OCIServerRelease = ServerRelease;
    g_oci.orol = Orol;
    g_oci.oclose = Oclose;
    g_oci.oopen = Oopen;
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

int FakeClient::Index(const std::string& name) const {
    auto it = std::find(calls.begin(), calls.end(), name);
    return it == calls.end() ? -1 : int(it - calls.begin());
}
