#include <cstring>
#include <new>
#include <string>

#include "oracle/oci_api.h"

namespace {

void SetMsg(CString* msg, const char16_t* text) {
    if (msg) *msg = text;
}

// Text in the Oracle code page, sized from the conversion; false when a
// character has no form there.
bool ToOracle(const char16_t* w, std::string& out) {
    int need = oci_wide_to_mb(w, nullptr, 0);
    if (need <= 0) return false;
    out.assign(size_t(need), '\0');
    if (oci_wide_to_mb(w, out.data(), need) != need) return false;
    out.resize(size_t(need) - 1);
    return true;
}

void FreeSession(OraSession* s) {
    free(s->log_path);
    delete s;
}

// The Oracle 8 logon of oci_login2.
int Oci8Logon(OraSession* s, const std::string& user, const std::string& password, const std::string& service,
              CString* msg, int* warning) {
    ub4 session_mode = s->connect_mode == 2 ? OCI_SYSDBA : s->connect_mode == 4 ? OCI_SYSOPER : OCI_DEFAULT;
    int rc = oci8_init_env(msg);
    if (rc != ORARC_OK) return rc;

    struct {
        void** slot;
        ub4 type;
    } handles[] = {{reinterpret_cast<void**>(&s->srv), OCI_HTYPE_SERVER},
                   {reinterpret_cast<void**>(&s->svc), OCI_HTYPE_SVCCTX},
                   {reinterpret_cast<void**>(&s->err), OCI_HTYPE_ERROR},
                   {reinterpret_cast<void**>(&s->ses), OCI_HTYPE_SESSION}};
    for (auto& h : handles) {
        if (g_oci.OCIHandleAlloc(g_oci_env, h.slot, h.type, 0, nullptr) != OCI_SUCCESS) {
            *h.slot = nullptr;
            oci8_free_handles(s);
            SetMsg(msg, u"FAILED: OCIHandleAlloc()\n");
            return ORARC_INIT_FAILED;
        }
    }

    bool attached = false, begun = false;
    auto fail = [&]() {
        oci8_get_error(s, msg);
        if (begun) g_oci.OCISessionEnd(s->svc, s->err, s->ses, OCI_DEFAULT);
        if (attached) g_oci.OCIServerDetach(s->srv, s->err, OCI_DEFAULT);
        oci8_free_handles(s);
        return ORARC_ORACLE_ERROR;
    };

    if (g_oci.OCIServerAttach(s->srv, s->err, reinterpret_cast<const OraText*>(service.c_str()),
                              sb4(service.size()), OCI_DEFAULT) != OCI_SUCCESS)
        return fail();
    attached = true;
    if (g_oci.OCIAttrSet(s->svc, OCI_HTYPE_SVCCTX, s->srv, 0, OCI_ATTR_SERVER, s->err) != OCI_SUCCESS)
        return fail();

    sword r;
    if (user.empty() && password.empty()) {
        r = g_oci.OCISessionBegin(s->svc, s->err, s->ses, OCI_CRED_EXT, session_mode);
    } else {
        if (g_oci.OCIAttrSet(s->ses, OCI_HTYPE_SESSION, const_cast<char*>(user.c_str()), ub4(user.size()),
                             OCI_ATTR_USERNAME, s->err) != OCI_SUCCESS ||
            g_oci.OCIAttrSet(s->ses, OCI_HTYPE_SESSION, const_cast<char*>(password.c_str()),
                             ub4(password.size()), OCI_ATTR_PASSWORD, s->err) != OCI_SUCCESS)
            return fail();
        r = g_oci.OCISessionBegin(s->svc, s->err, s->ses, OCI_CRED_RDBMS, session_mode);
    }
    if (r == OCI_SUCCESS_WITH_INFO) {
        // Logged on; a password-expiry warning goes to the caller.
        CString text;
        int code = oci8_get_error(s, &text);
        if (code == 28002 || code == 28011) {
            if (msg) *msg = text;
            if (warning) *warning = 1;
        }
    } else if (r != OCI_SUCCESS) {
        return fail();
    }
    begun = true;

    if (g_oci.OCIAttrSet(s->svc, OCI_HTYPE_SVCCTX, s->ses, 0, OCI_ATTR_SESSION, s->err) != OCI_SUCCESS)
        return fail();
    s->oci7 = 0;
    if (oci_set_api_mode(s, g_use_oci7_api ? 1 : 0, msg) != ORARC_OK) return fail();
    return ORARC_OK;
}

} // namespace

int oci_login2(OraSession** session, const char16_t* user, const char16_t* password, const char16_t* service,
               const char16_t* log_path, int connect_mode, CString* msg, int* warning) {
    if (warning) *warning = 0;
    *session = nullptr;
    if (!user) user = u"";
    if (!password) password = u"";
    if (!service) service = u"";
    if (wcslen(user) > 499 || wcslen(password) > 499 || wcslen(service) > 499) {
        SetMsg(msg, u"接続文字列が長すぎます\n");
        return ORARC_CONNECT_TOO_LONG;
    }
    std::string mb_user, mb_password, mb_service;
    if (!ToOracle(user, mb_user) || !ToOracle(password, mb_password) || !ToOracle(service, mb_service)) {
        if (msg) msg->Format(u"エラー(%s)\n", u"oci_login2()");
        return ORARC_FAILED;
    }

    OraSession* s = new (std::nothrow) OraSession{};
    if (!s) {
        SetMsg(msg, u"メモリ確保に失敗しました\n");
        return ORARC_NO_MEMORY;
    }
    int rc = ORARC_OK;
    if (log_path && log_path[0]) {
        s->log_path = _wcsdup(log_path);
        if (!s->log_path) rc = ORARC_NO_MEMORY;
    }
    if (rc != ORARC_OK) {
        SetMsg(msg, u"メモリ確保に失敗しました\n");
    } else {
        s->server_version = -1.0;
        s->client_version = -1.0;
        s->connect_mode = connect_mode;
        if (g_oci8_available) {
            rc = Oci8Logon(s, mb_user, mb_password, mb_service, msg, warning);
        } else if (g_oci.olog(ora_lda(s), s->hda, reinterpret_cast<OraText*>(mb_user.data()), -1,
                              reinterpret_cast<OraText*>(mb_password.data()), -1,
                              reinterpret_cast<OraText*>(mb_service.data()), -1, OCI_DEFAULT) == 0) {
            s->oci7 = 1;
        } else {
            oci_get_lda_error(s, msg);
            rc = ORARC_ORACLE_ERROR;
        }
    }
    if (rc != ORARC_OK) {
        oci_write_log(s, u"\n---\nerror in oci_login2:\n user:%s tns:%s\n", user, service);
        FreeSession(s);
        return rc;
    }

    char16_t charset[20] = {};
    if (oci_sel_value(s, u"select value from nls_database_parameters where parameter = 'NLS_CHARACTERSET'",
                      charset, sizeof charset, nullptr, "") == ORARC_OK) {
        charset[19] = 0;
        std::memcpy(s->db_charset, charset, sizeof charset);
        s->sjis = wcsstr(charset, u"SJIS") ? 1 : 0;
    } else {
        s->db_charset[0] = 0;
        s->sjis = 0;
    }
    *session = s;
    return ORARC_OK;
}

int oci_set_api_mode(OraSession* s, int mode, CString* msg) {
    if (!g_oci8_available || !s || s->oci7 == mode) return ORARC_OK;
    sword r = mode == 1 ? g_oci.OCISvcCtxToLda(s->svc, s->err, ora_lda(s))
                        : g_oci.OCILdaToSvcCtx(&s->svc, s->err, ora_lda(s));
    if (r != OCI_SUCCESS) {
        oci8_get_error(s, msg);
        return ORARC_ORACLE_ERROR;
    }
    s->oci7 = mode;
    return ORARC_OK;
}

int oci_ora_logout(OraSession** session) {
    OraSession* s = *session;
    *session = nullptr;
    if (!s) return ORARC_OK;
    oci_ora_rollback(s, nullptr);
    int rc = ORARC_OK;
    auto failed = [&]() {
        if (rc == ORARC_OK) {
            oci8_get_error(s, nullptr);
            rc = ORARC_ORACLE_ERROR;
        }
    };
    if (g_oci8_available) {
        // Every step is tried on every path; the first error is kept.
        if (s->oci7) {
            if (g_oci.OCILdaToSvcCtx(&s->svc, s->err, ora_lda(s)) == OCI_SUCCESS)
                s->oci7 = 0;
            else
                failed();
        }
        if (g_oci.OCISessionEnd(s->svc, s->err, s->ses, OCI_DEFAULT) != OCI_SUCCESS) failed();
        if (g_oci.OCIServerDetach(s->srv, s->err, OCI_DEFAULT) != OCI_SUCCESS) failed();
        oci8_free_handles(s);
    } else if (g_oci.ologof(ora_lda(s)) != 0) {
        oci_write_log(s, u"\n---\nerror in oci_ora_logout:\n");
        oci_get_lda_error(s, nullptr);
        rc = ORARC_ORACLE_ERROR;
    }
    FreeSession(s);
    return rc;
}

int oci_ora_rollback(OraSession* s, CString* msg) {
    if (!s) return ORARC_OK;
    if (!s->oci7) {
        if (g_oci.OCITransRollback(s->svc, s->err, OCI_DEFAULT) != OCI_SUCCESS) {
            oci_write_log(s, u"\n---\nerror in oci8_rollback:\n");
            oci8_get_error(s, msg);
            return ORARC_ORACLE_ERROR;
        }
    } else if (g_oci.orol(ora_lda(s)) != 0) {
        oci_write_log(s, u"\n---\nerror in oci_ora_rollback:\n");
        oci_get_lda_error(s, msg);
        return ORARC_ORACLE_ERROR;
    }
    return ORARC_OK;
}

int oci_ora_commit(OraSession* s, CString* msg) {
    if (!s) return ORARC_OK;
    if (!s->oci7) {
        if (g_oci.OCITransCommit(s->svc, s->err, OCI_DEFAULT) != OCI_SUCCESS) {
            oci_write_log(s, u"\n---\nerror in oci8_commit:\n");
            oci8_get_error(s, msg);
            return ORARC_ORACLE_ERROR;
        }
    } else if (g_oci.ocom(ora_lda(s)) != 0) {
        oci_write_log(s, u"\n---\nerror in oci_ora_commit:\n");
        oci_get_lda_error(s, msg);
        return ORARC_ORACLE_ERROR;
    }
    return ORARC_OK;
}

void oci8_free_handles(OraSession* s) {
    auto release = [](auto*& h, ub4 type) {
        if (h) g_oci.OCIHandleFree(h, type);
        h = nullptr;
    };
    release(s->srv, OCI_HTYPE_SERVER);
    release(s->svc, OCI_HTYPE_SVCCTX);
    release(s->err, OCI_HTYPE_ERROR);
    release(s->ses, OCI_HTYPE_SESSION);
}

double oci_get_server_version(OraSession* s) {
    if (!g_oci8_available || !s) return 0;
    if (s->server_version > 0) return s->server_version;
    char text[1024];
    ub4 version = 0;
    if (g_oci.OCIServerRelease(s->srv, s->err, reinterpret_cast<OraText*>(text), sizeof text,
                               OCI_HTYPE_SERVER, &version) != OCI_SUCCESS)
        return 0;
    s->server_version = double((version >> 24) & 0xFF) + double((version >> 20) & 0xF) / 10.0;
    return s->server_version;
}
