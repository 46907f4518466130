#include <cstring>
#include <vector>

#include "oracle/oci_api.h"

namespace {

const char16_t* const kLibraryNames[] = {u"OCI.DLL", u"ORA72.DLL", u"ORA73.DLL", u"ORA803.DLL",
                                         u"OCIW32.DLL"};

template <class F> bool Resolve(F& slot, const char* name) {
    slot = reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(g_oci_module, name)));
    return slot != nullptr;
}

void SetMsg(CString* msg, const char16_t* text) {
    if (msg) *msg = text;
}

} // namespace

int oci_load_library(CString* msg) {
    if (g_oci_module) return ORARC_OK;
    HMODULE module = nullptr;
    for (const char16_t* name : kLibraryNames)
        if ((module = LoadLibraryW(name)) != nullptr) break;
    if (!module) {
        SetMsg(msg, u"OCIライブラリの初期化に失敗しました\n");
        return ORARC_NO_LIBRARY;
    }
    g_oci_module = module;
    g_oci = OciEntryPoints{};
    g_oci8_available = 1;
    g_oci_object_api = 1;

#define RESOLVE_CORE(n)                                                                                      \
    if (!Resolve(g_oci.n, #n)) g_oci8_available = 0;
#define RESOLVE_OBJECT(n)                                                                                    \
    if (!Resolve(g_oci.n, #n)) g_oci_object_api = 0;
#define RESOLVE_OPTIONAL(n) Resolve(g_oci.n, #n);

    if (!Resolve(g_oci.OCIEnvCreate, "OCIEnvCreate")) {
        RESOLVE_CORE(OCIInitialize)
        RESOLVE_CORE(OCIEnvInit)
    }
    OCI_ENTRIES_CORE1(RESOLVE_CORE)
    OCI_ENTRIES_FETCH2(RESOLVE_OPTIONAL)
    OCI_ENTRIES_CORE2(RESOLVE_CORE)
    OCI_ENTRIES_OBJECT1(RESOLVE_OBJECT)
    OCI_ENTRIES_DATETIME(RESOLVE_OPTIONAL)
    OCI_ENTRIES_OBJECT2(RESOLVE_OBJECT)

    bool complete = true;
#define RESOLVE_V7(n)                                                                                        \
    if (complete && !Resolve(g_oci.n, #n)) complete = false;
    OCI_ENTRIES_V7(RESOLVE_V7)
#undef RESOLVE_CORE
#undef RESOLVE_OBJECT
#undef RESOLVE_OPTIONAL
#undef RESOLVE_V7

    if (!complete) {
        FreeLibrary(g_oci_module);
        g_oci_module = nullptr;
        g_oci = OciEntryPoints{};
        g_oci8_available = 0;
        g_oci_object_api = 0;
        SetMsg(msg, u"OCIライブラリの初期化に失敗しました\n");
        return ORARC_NO_LIBRARY;
    }
    return ORARC_OK;
}

int oci8_init_env(CString* msg) {
    if (!g_oci8_available || g_oci_env_ready) return ORARC_OK;
    ub4 mode = g_oci_object_api ? OCI_THREADED | OCI_OBJECT : OCI_THREADED;
    OCIEnv* env = nullptr;
    auto fail = [&](const char16_t* text) {
        if (env) g_oci.OCIHandleFree(env, OCI_HTYPE_ENV);
        SetMsg(msg, text);
        return ORARC_INIT_FAILED;
    };
    if (g_oci.OCIEnvCreate) {
        if (g_oci.OCIEnvCreate(&env, mode, nullptr, nullptr, nullptr, nullptr, 0, nullptr) != OCI_SUCCESS)
            return fail(u"FAILED: OCIEnvCreate()\n");
    } else {
        if (g_oci.OCIInitialize(mode, nullptr, nullptr, nullptr, nullptr) != OCI_SUCCESS)
            return fail(u"FAILED: OCIInitialize()\n");
        if (g_oci.OCIEnvInit(&env, OCI_DEFAULT, 0, nullptr) != OCI_SUCCESS)
            return fail(u"FAILED: OCIEnvInit()\n");
    }
    OCIError* err = nullptr;
    if (g_oci.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&err), OCI_HTYPE_ERROR, 0, nullptr) !=
        OCI_SUCCESS)
        return fail(u"FAILED: OCIHandleALloc()\n");
    char name[1024] = {};
    sword r =
        g_oci.OCINlsGetInfo(env, err, reinterpret_cast<OraText*>(name), sizeof name, OCI_NLS_CHARSET_NAME);
    g_oci.OCIHandleFree(err, OCI_HTYPE_ERROR);
    if (r != OCI_SUCCESS) return fail(u"FAILED: OCINlsGetInfo()\n");
    name[sizeof name - 1] = 0;
    int code_page = 0;
    if (std::strstr(name, "UTF8")) {
        if (!std::strstr(name, "AL32UTF8")) {
            char16_t wname[1024];
            g_mb_to_wide(name, wname, 1024);
            if (env) g_oci.OCIHandleFree(env, OCI_HTYPE_ENV);
            if (msg) msg->Format(u"NLS_LANG=%sはサポートしていません", wname);
            return ORARC_INIT_FAILED;
        }
        code_page = 65001;
    }
    g_oci_env = env;
    g_oci_code_page = code_page;
    g_oci_env_ready = 1;
    return ORARC_OK;
}
