// The Oracle 8 entry points.
#include "nonblock.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace oci;

namespace oci {

SessionH::~SessionH() = default;

SvcCtxH::~SvcCtxH() = default;

} // namespace oci

namespace {
std::mutex gInitMutex;
ub4 gInitMode = 0;
bool gInitialized = false;
} // namespace

namespace oci {

sword setError(OCIError* errhp, const OraError& e) {
    if (auto* eh = as<ErrorH>(errhp, OCI_HTYPE_ERROR)) eh->err = e;
    return OCI_ERROR;
}

// An armed control failure or a lost session for the entry point, recorded in the error handle.
bool injected(const char* entry, OCIError* errhp, Session* sess) {
    if (int code = sessionLoss(entry, sess)) {
        setError(errhp, makeError(code));
        return true;
    }
    if (int code = takeFailure(entry)) {
        setError(errhp, makeError(code));
        return true;
    }
    return false;
}

// The charset of NLS_LANG ("language_territory.charset").
static bool charsetFromEnv(const char* var, std::string& name, unsigned& cp) {
    const char* v = std::getenv(var);
    std::string s = v ? v : "";
    size_t dot = s.find('.');
    std::string cs = dot == std::string::npos ? std::string() : upperAscii(s.substr(dot + 1));
    if (cs.empty()) {
        name = "JA16SJISTILDE";
        cp = 932;
        return true;
    }
    if (cs == "AL32UTF8" || cs == "UTF8") {
        name = cs;
        cp = 65001;
        return true;
    }
    if (cs == "JA16SJISTILDE" || cs == "JA16SJIS") {
        name = cs;
        cp = 932;
        return true;
    }
    return false;
}

Env* makeEnv() {
    std::string name, nname;
    unsigned cp, ncp;
    if (!charsetFromEnv("NLS_LANG", name, cp)) return nullptr;
    const char* nchar = std::getenv("NLS_NCHAR");
    if (nchar && *nchar) {
        std::string n = upperAscii(nchar);
        if (n == "AL32UTF8" || n == "UTF8" || n == "AL16UTF16") {
            nname = n;
            ncp = 65001;
        } else if (n == "JA16SJISTILDE" || n == "JA16SJIS") {
            nname = n;
            ncp = 932;
        } else {
            return nullptr;
        }
    } else {
        nname = name;
        ncp = cp;
    }
    auto* env = new Env();
    env->codec.cp = cp;
    env->ncodec.cp = ncp;
    env->charsetName = name;
    env->ncharsetName = nname;
    const char* lang = std::getenv("NLS_LANG");
    std::string l = lang ? lang : "";
    size_t us = l.find('_'), dot = l.find('.');
    if (us != std::string::npos)
        env->territory = upperAscii(l.substr(us + 1, dot == std::string::npos ? dot : dot - us - 1));
    return env;
}

void adopt(Env* env, Handle* h) {
    std::lock_guard<std::mutex> g(env->mutex);
    env->children.push_back(h);
}

void disown(Handle* h) {
    if (!h->env || h->env == h) return;
    std::lock_guard<std::mutex> g(h->env->mutex);
    auto& c = h->env->children;
    c.erase(std::remove(c.begin(), c.end(), h), c.end());
}

SvcCtxH* svcOf(const void* p) {
    return as<SvcCtxH>(p, OCI_HTYPE_SVCCTX);
}

Session* liveSession(SvcCtxH* svc) {
    if (!svc || !svc->session || !isHandle(svc->session, OCI_HTYPE_SESSION)) return nullptr;
    return svc->session->live.get();
}

Session* stmtSession(Stmt* s) {
    if (!s) return nullptr;
    // An Oracle 7 cursor runs under its logon's session: read it from the
    // service context, which no worker writes, rather than from the statement,
    // which a non-blocking worker is binding to it while the caller polls.
    if (s->svc && isHandle(s->svc, OCI_HTYPE_SVCCTX)) return liveSession(s->svc);
    return s->session;
}

std::string clientText(const Env* env, const OraText* p, sb4 len) {
    if (!p) return std::string();
    size_t n = len < 0 ? std::strlen(reinterpret_cast<const char*>(p)) : size_t(len);
    std::string utf8;
    env->codec.toUtf8(reinterpret_cast<const char*>(p), n, utf8);
    return utf8;
}

} // namespace oci

OCI_EXPORT sword OCIEnvCreate(OCIEnv** envhpp, ub4 mode, dvoid*, dvoid* (*)(dvoid*, size_t),
                              dvoid* (*)(dvoid*, dvoid*, size_t), void (*)(dvoid*, dvoid*), size_t,
                              dvoid** usrmempp) {
    if (!envhpp) return OCI_INVALID_HANDLE;
    *envhpp = nullptr;
    if (usrmempp) *usrmempp = nullptr;
    if (takeFailure("OCIEnvCreate")) return OCI_ERROR;
    (void)mode;
    Env* env = makeEnv();
    if (!env) return OCI_ERROR;
    *envhpp = reinterpret_cast<OCIEnv*>(static_cast<Handle*>(env));
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCIInitialize(ub4 mode, dvoid*, dvoid* (*)(dvoid*, size_t),
                               dvoid* (*)(dvoid*, dvoid*, size_t), void (*)(dvoid*, dvoid*)) {
    if (takeFailure("OCIInitialize")) return OCI_ERROR;
    std::lock_guard<std::mutex> g(gInitMutex);
    gInitMode = mode;
    gInitialized = true;
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCIEnvInit(OCIEnv** envp, ub4, size_t, dvoid** usrmempp) {
    if (!envp) return OCI_INVALID_HANDLE;
    *envp = nullptr;
    if (usrmempp) *usrmempp = nullptr;
    {
        std::lock_guard<std::mutex> g(gInitMutex);
        if (!gInitialized) return OCI_ERROR;
    }
    if (takeFailure("OCIEnvInit")) return OCI_ERROR;
    Env* env = makeEnv();
    if (!env) return OCI_ERROR;
    *envp = reinterpret_cast<OCIEnv*>(static_cast<Handle*>(env));
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCINlsGetInfo(dvoid* hndl, OCIError* errhp, OraText* buf, size_t buflen, ub2 item) {
    auto* h = as<Handle>(hndl, 0);
    if (!h || !h->env) return OCI_INVALID_HANDLE;
    if (injected("OCINlsGetInfo", errhp)) return OCI_ERROR;
    if (item != OCI_NLS_CHARSET_NAME) return setError(errhp, makeError(3001));
    copyOut(Codec{65001}, h->env->charsetName, reinterpret_cast<char*>(buf), buflen);
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCIServerRelease(dvoid* hndlp, OCIError* errhp, OraText* bufp, ub4 bufsz, ub1,
                                  ub4* version) {
    if (!isHandle(hndlp)) return OCI_INVALID_HANDLE;
    if (injected("OCIServerRelease", errhp)) return OCI_ERROR;
    std::string rel = serverRelease();
    int a = 0, b = 0, c = 0, d = 0, e = 0;
    std::sscanf(rel.c_str(), "%d.%d.%d.%d.%d", &a, &b, &c, &d, &e);
    std::string text = "Oracle Database " + std::to_string(a) + "g Enterprise Edition Release " + rel +
                       " - 64bit Production";
    copyOut(Codec{65001}, text, reinterpret_cast<char*>(bufp), bufsz);
    if (version) *version = ub4(a) << 24 | ub4(b) << 20 | ub4(c) << 12 | ub4(d) << 8 | ub4(e);
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCIHandleAlloc(const dvoid* parenth, dvoid** hndlpp, ub4 type, size_t, dvoid** usrmempp) {
    if (!hndlpp) return OCI_INVALID_HANDLE;
    *hndlpp = nullptr;
    if (usrmempp) *usrmempp = nullptr;
    auto* parent = as<Handle>(parenth, 0);
    if (!parent || !parent->env) return OCI_INVALID_HANDLE;
    if (takeFailure("OCIHandleAlloc")) return OCI_ERROR;
    Env* env = parent->env;
    Handle* h = nullptr;
    switch (type) {
    case OCI_HTYPE_ERROR: h = new ErrorH(env); break;
    case OCI_HTYPE_SVCCTX: h = new SvcCtxH(env); break;
    case OCI_HTYPE_STMT: h = new Stmt(env); break;
    case OCI_HTYPE_SERVER: h = new ServerH(env); break;
    case OCI_HTYPE_SESSION: h = new SessionH(env); break;
    case OCI_HTYPE_DESCRIBE: h = new DescribeH(env); break;
    default: return OCI_INVALID_HANDLE;
    }
    adopt(env, h);
    *hndlpp = h;
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCIHandleFree(dvoid* hndlp, ub4 type) {
    auto* h = as<Handle>(hndlp, type);
    if (!h) return OCI_INVALID_HANDLE;
    if (type == OCI_HTYPE_ENV) {
        delete static_cast<Env*>(h);
        return OCI_SUCCESS;
    }
    if (type == OCI_HTYPE_BIND || type == OCI_HTYPE_DEFINE) return OCI_SUCCESS; // owned by the statement
    disown(h);
    delete h;
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCIServerAttach(OCIServer* srvhp, OCIError* errhp, const OraText* dblink, sb4 dblink_len,
                                 ub4) {
    auto* srv = as<ServerH>(srvhp, OCI_HTYPE_SERVER);
    if (!srv) return OCI_INVALID_HANDLE;
    if (injected("OCIServerAttach", errhp)) return OCI_ERROR;
    OraError e;
    srv->db = attachService(clientText(srv->env, dblink, dblink ? dblink_len : 0), e);
    if (!srv->db) return setError(errhp, e);
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCIServerDetach(OCIServer* srvhp, OCIError* errhp, ub4) {
    auto* srv = as<ServerH>(srvhp, OCI_HTYPE_SERVER);
    if (!srv) return OCI_INVALID_HANDLE;
    if (injected("OCIServerDetach", errhp)) return OCI_ERROR;
    srv->db.reset();
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCISessionBegin(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 credt, ub4 mode) {
    auto* svc = svcOf(svchp);
    auto* ses = as<SessionH>(usrhp, OCI_HTYPE_SESSION);
    if (!svc || !ses) return OCI_INVALID_HANDLE;
    if (injected("OCISessionBegin", errhp)) return OCI_ERROR;
    if (!svc->server || !isHandle(svc->server, OCI_HTYPE_SERVER) || !svc->server->db)
        return setError(errhp, makeError(3114));
    OraError e, warn;
    std::string user, pass;
    svc->env->codec.toUtf8(ses->user.data(), ses->user.size(), user);
    svc->env->codec.toUtf8(ses->password.data(), ses->password.size(), pass);
    auto live = logon(svc->server->db, svc->env, user, pass, credt, mode, e, warn);
    if (!live) return setError(errhp, e);
    ses->live = std::move(live);
    ses->live->nonBlocking = &svc->server->nonBlocking;
    svc->server->session = ses->live.get();
    svc->session = ses;
    if (!warn.empty()) {
        setError(errhp, warn);
        return OCI_SUCCESS_WITH_INFO;
    }
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCISessionEnd(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4) {
    auto* svc = svcOf(svchp);
    if (!svc) return OCI_INVALID_HANDLE;
    if (injected("OCISessionEnd", errhp)) return OCI_ERROR;
    SessionH* ses = usrhp ? as<SessionH>(usrhp, OCI_HTYPE_SESSION) : svc->session;
    if (!ses) return OCI_INVALID_HANDLE;
    if (svc->server && isHandle(svc->server, OCI_HTYPE_SERVER) && svc->server->session == ses->live.get())
        svc->server->session = nullptr;
    ses->live.reset(); // rolls back
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCIAttrSet(dvoid* trgthndlp, ub4 trghndltyp, dvoid* attributep, ub4 size, ub4 attrtype,
                            OCIError* errhp) {
    auto* h = as<Handle>(trgthndlp, trghndltyp);
    if (!h) return OCI_INVALID_HANDLE;
    if (injected("OCIAttrSet", errhp)) return OCI_ERROR;
    switch (trghndltyp) {
    case OCI_HTYPE_SVCCTX: {
        auto* svc = static_cast<SvcCtxH*>(h);
        if (attrtype == OCI_ATTR_SERVER) {
            svc->server = as<ServerH>(attributep, OCI_HTYPE_SERVER);
            return svc->server ? OCI_SUCCESS : OCI_INVALID_HANDLE;
        }
        if (attrtype == OCI_ATTR_SESSION) {
            svc->session = as<SessionH>(attributep, OCI_HTYPE_SESSION);
            return svc->session ? OCI_SUCCESS : OCI_INVALID_HANDLE;
        }
        break;
    }
    case OCI_HTYPE_SESSION: {
        auto* ses = static_cast<SessionH*>(h);
        const char* p = static_cast<const char*>(attributep);
        std::string v = p ? std::string(p, size) : std::string();
        if (attrtype == OCI_ATTR_USERNAME) {
            ses->user = v;
            return OCI_SUCCESS;
        }
        if (attrtype == OCI_ATTR_PASSWORD) {
            ses->password = v;
            return OCI_SUCCESS;
        }
        break;
    }
    case OCI_HTYPE_SERVER:
        if (attrtype == OCI_ATTR_NONBLOCKING_MODE) {
            static_cast<ServerH*>(h)->nonBlocking = attributep ? *static_cast<ub1*>(attributep) : 0;
            return OCI_SUCCESS;
        }
        break;
    case OCI_HTYPE_STMT:
        if (attrtype == OCI_ATTR_PREFETCH_ROWS) return OCI_SUCCESS;
        break;
    case OCI_HTYPE_BIND:
        if (attrtype == OCI_ATTR_CHARSET_FORM && attributep) {
            static_cast<BindH*>(h)->form = *static_cast<ub1*>(attributep);
            return OCI_SUCCESS;
        }
        break;
    case OCI_HTYPE_DEFINE:
        if (attrtype == OCI_ATTR_CHARSET_FORM && attributep) {
            static_cast<DefineH*>(h)->form = *static_cast<ub1*>(attributep);
            return OCI_SUCCESS;
        }
        break;
    default: break;
    }
    return setError(errhp, makeError(3001));
}

namespace {
template <class T> sword put(dvoid* attributep, ub4* sizep, T v) {
    if (attributep) std::memcpy(attributep, &v, sizeof v);
    if (sizep) *sizep = sizeof v;
    return OCI_SUCCESS;
}
} // namespace

OCI_EXPORT sword OCIAttrGet(const dvoid* trgthndlp, ub4 trghndltyp, dvoid* attributep, ub4* sizep,
                            ub4 attrtype, OCIError* errhp) {
    auto* h = as<Handle>(trgthndlp, trghndltyp);
    if (!h) return OCI_INVALID_HANDLE;
    if (injected("OCIAttrGet", errhp)) return OCI_ERROR;
    switch (trghndltyp) {
    case OCI_HTYPE_STMT: {
        auto* s = static_cast<Stmt*>(h);
        switch (attrtype) {
        case OCI_ATTR_ROW_COUNT: return put<ub4>(attributep, sizep, s->rowCount);
        case OCI_ATTR_SQLFNCODE:
            return put<ub2>(attributep, sizep, ub2(s->translated ? s->tr.functionCode : 0));
        case OCI_ATTR_PARAM_COUNT: return put<ub4>(attributep, sizep, ub4(s->cols.size()));
        case OCI_ATTR_PARSE_ERROR_OFFSET: return put<ub2>(attributep, sizep, s->parseOffset);
        case OCI_ATTR_PREFETCH_ROWS: return put<ub4>(attributep, sizep, 0);
        default: break;
        }
        break;
    }
    case OCI_HTYPE_SERVER:
        if (attrtype == OCI_ATTR_NONBLOCKING_MODE)
            return put<ub1>(attributep, sizep, ub1(static_cast<const ServerH*>(h)->nonBlocking.load()));
        break;
    case OCI_HTYPE_SVCCTX:
        if (attrtype == OCI_ATTR_SERVER)
            return put<void*>(attributep, sizep, static_cast<SvcCtxH*>(h)->server);
        if (attrtype == OCI_ATTR_SESSION)
            return put<void*>(attributep, sizep, static_cast<SvcCtxH*>(h)->session);
        break;
    case OCI_HTYPE_BIND:
        if (attrtype == OCI_ATTR_CHARSET_FORM)
            return put<ub1>(attributep, sizep, static_cast<BindH*>(h)->form);
        break;
    case OCI_HTYPE_DEFINE:
        if (attrtype == OCI_ATTR_CHARSET_FORM)
            return put<ub1>(attributep, sizep, static_cast<DefineH*>(h)->form);
        break;
    case OCI_DTYPE_PARAM: {
        auto* p = static_cast<ParamH*>(h);
        switch (attrtype) {
        case OCI_ATTR_DATA_SIZE: return put<ub2>(attributep, sizep, p->col.size);
        case OCI_ATTR_DATA_TYPE: return put<ub2>(attributep, sizep, p->col.type);
        case OCI_ATTR_NAME:
            if (attributep) *static_cast<const char**>(attributep) = p->clientName.c_str();
            if (sizep) *sizep = ub4(p->clientName.size());
            return OCI_SUCCESS;
        case OCI_ATTR_PRECISION: return put<sb2>(attributep, sizep, p->col.precision);
        case OCI_ATTR_SCALE:
            // One byte, as the real client writes it.
            if (attributep) *static_cast<sb1*>(attributep) = sb1(p->col.scale);
            if (sizep) *sizep = 1;
            return OCI_SUCCESS;
        case OCI_ATTR_IS_NULL: return put<ub1>(attributep, sizep, p->col.nullable);
        case OCI_ATTR_CHARSET_FORM: return put<ub1>(attributep, sizep, p->col.form);
        default: break;
        }
        break;
    }
    default: break;
    }
    return setError(errhp, makeError(3001));
}

OCI_EXPORT sword OCIErrorGet(dvoid* hndlp, ub4 recordno, OraText*, sb4* errcodep, OraText* bufp, ub4 bufsiz,
                             ub4 type) {
    auto* h = as<Handle>(hndlp, type);
    if (!h) return OCI_INVALID_HANDLE;
    if (type != OCI_HTYPE_ERROR) return OCI_NO_DATA;
    auto* eh = static_cast<ErrorH*>(h);
    if (recordno != 1 || eh->err.empty()) return OCI_NO_DATA;
    if (errcodep) *errcodep = eh->err.code;
    std::string client;
    eh->env->codec.fromUtf8(formatError(eh->err), client);
    copyOut(eh->env->codec, client, reinterpret_cast<char*>(bufp), bufsiz);
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCIStmtPrepare(OCIStmt* stmtp, OCIError* errhp, const OraText* stmt, ub4 stmt_len, ub4,
                                ub4) {
    auto* s = as<Stmt>(stmtp, OCI_HTYPE_STMT);
    if (!s) return OCI_INVALID_HANDLE;
    if (injected("OCIStmtPrepare", errhp, stmtSession(s))) return OCI_ERROR;
    stmtPrepare(*s, reinterpret_cast<const char*>(stmt), stmt ? stmt_len : 0);
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCIStmtExecute(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters, ub4,
                                const OCISnapshot*, OCISnapshot*, ub4 mode) {
    auto* svc = svcOf(svchp);
    auto* s = as<Stmt>(stmtp, OCI_HTYPE_STMT);
    if (!svc || !s) return OCI_INVALID_HANDLE;
    if (injected("OCIStmtExecute", errhp, liveSession(svc))) return OCI_ERROR;
    Session* sess = liveSession(svc);
    if (!sess) return setError(errhp, makeError(3114));
    OraError e;
    bool describeOnly = (mode & OCI_DESCRIBE_ONLY) != 0;
    int r = runCall(
        *sess, "OCIStmtExecute", s,
        [s, sess, iters, describeOnly](OraError& err) {
            return stmtExecute(*s, *sess, iters, describeOnly, err);
        },
        e);
    if (r == OCI_ERROR || r == OCI_SUCCESS_WITH_INFO) setError(errhp, e);
    return r;
}

OCI_EXPORT sword OCIDefineByPos(OCIStmt* stmtp, OCIDefine** defnp, OCIError* errhp, ub4 position,
                                dvoid* valuep, sb4 value_sz, ub2 dty, dvoid* indp, ub2* rlenp, ub2* rcodep,
                                ub4) {
    auto* s = as<Stmt>(stmtp, OCI_HTYPE_STMT);
    if (!s || !defnp) return OCI_INVALID_HANDLE;
    if (injected("OCIDefineByPos", errhp, stmtSession(s))) return OCI_ERROR;
    if (position == 0) return setError(errhp, makeError(1007));
    if (s->defines.size() < position) s->defines.resize(position, nullptr);
    DefineH*& d = s->defines[position - 1];
    if (!d) d = new DefineH(s->env);
    d->stmt = s;
    d->pos = position;
    d->value = static_cast<char*>(valuep);
    d->size = value_sz;
    d->dty = dty;
    d->ind = static_cast<sb2*>(indp);
    d->rlen = rlenp;
    d->rcode = rcodep;
    d->valueSkip = ub4(value_sz < 0 ? 0 : value_sz);
    d->indSkip = d->lenSkip = d->codeSkip = 2;
    *defnp = reinterpret_cast<OCIDefine*>(static_cast<Handle*>(d));
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCIDefineArrayOfStruct(OCIDefine* defnp, OCIError* errhp, ub4 pvskip, ub4 indskip,
                                        ub4 rlskip, ub4 rcskip) {
    auto* d = as<DefineH>(defnp, OCI_HTYPE_DEFINE);
    if (!d) return OCI_INVALID_HANDLE;
    if (injected("OCIDefineArrayOfStruct", errhp)) return OCI_ERROR;
    d->valueSkip = pvskip;
    d->indSkip = indskip;
    d->lenSkip = rlskip;
    d->codeSkip = rcskip;
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCIParamGet(const dvoid* hndlp, ub4 htype, OCIError* errhp, dvoid** parmdpp, ub4 pos) {
    auto* s = as<Stmt>(hndlp, OCI_HTYPE_STMT);
    if (!s || htype != OCI_HTYPE_STMT || !parmdpp) return OCI_INVALID_HANDLE;
    if (injected("OCIParamGet", errhp)) return OCI_ERROR;
    if (pos == 0 || pos > s->cols.size()) return setError(errhp, makeError(1007));
    auto* p = new ParamH(s->env);
    p->col = s->cols[pos - 1];
    s->env->codec.fromUtf8(p->col.name, p->clientName);
    s->params.push_back(p);
    *parmdpp = static_cast<Handle*>(p);
    return OCI_SUCCESS;
}

namespace {
sword fetch(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, const char* entry) {
    auto* s = as<Stmt>(stmtp, OCI_HTYPE_STMT);
    if (!s) return OCI_INVALID_HANDLE;
    if (injected(entry, errhp, stmtSession(s))) return OCI_ERROR;
    if (orientation != OCI_FETCH_NEXT && orientation != 0) return setError(errhp, makeError(3001));
    OraError e;
    int r;
    if (s->session)
        r = runCall(
            *s->session, entry, s, [s, nrows](OraError& err) { return stmtFetch(*s, nrows, err); }, e);
    else
        r = stmtFetch(*s, nrows, e);
    if (r == OCI_ERROR || r == OCI_SUCCESS_WITH_INFO) setError(errhp, e);
    return r;
}
} // namespace

OCI_EXPORT sword OCIStmtFetch(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, ub4) {
    return fetch(stmtp, errhp, nrows, orientation, "OCIStmtFetch");
}

OCI_EXPORT sword OCIStmtFetch2(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, sb4, ub4) {
    return fetch(stmtp, errhp, nrows, orientation, "OCIStmtFetch2");
}

// Whether sql has the placeholder :name (name in upper case) outside string
// literals, quoted identifiers and comments.
bool oci::hasPlaceholder(const std::string& sql, const std::string& name) {
    std::string up = upperAscii(sql);
    for (size_t i = 0; i < sql.size(); ++i) {
        char c = sql[i];
        if (c == '\'' || c == '"') {
            size_t e = sql.find(c, i + 1);
            if (e == std::string::npos) return false;
            i = e;
            continue;
        }
        if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            size_t e = sql.find('\n', i);
            if (e == std::string::npos) return false;
            i = e;
            continue;
        }
        if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            size_t e = sql.find("*/", i + 2);
            if (e == std::string::npos) return false;
            i = e + 1;
            continue;
        }
        if (c == ':' && up.compare(i + 1, name.size(), name) == 0) {
            size_t p = i + 1 + name.size();
            unsigned char after = p < sql.size() ? static_cast<unsigned char>(sql[p]) : ' ';
            if (!(std::isalnum(after) || after == '_' || after == '$' || after == '#' || after >= 0x80))
                return true;
        }
    }
    return false;
}

OCI_EXPORT sword OCIBindByName(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, const OraText* placeholder,
                               sb4 placeh_len, dvoid* valuep, sb4 value_sz, ub2 dty, dvoid* indp, ub2* alenp,
                               ub2*, ub4, ub4*, ub4) {
    auto* s = as<Stmt>(stmtp, OCI_HTYPE_STMT);
    if (!s || !bindp || !placeholder) return OCI_INVALID_HANDLE;
    if (injected("OCIBindByName", errhp, stmtSession(s))) return OCI_ERROR;
    std::string name = clientText(s->env, placeholder, placeh_len);
    if (!name.empty() && name[0] == ':') name.erase(0, 1);
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        name = name.substr(1, name.size() - 2);
    else
        name = upperAscii(name);
    // The name must occur in the statement as a placeholder.
    bool found = hasPlaceholder(s->sql, name);
    if (!found) return setError(errhp, makeError(1036));
    BindH* b = nullptr;
    for (auto* x : s->binds)
        if (x->name == name) b = x;
    if (!b) {
        b = new BindH(s->env);
        s->binds.push_back(b);
    }
    b->stmt = s;
    b->name = name;
    b->value = valuep;
    b->size = value_sz;
    b->dty = dty;
    b->ind = static_cast<sb2*>(indp);
    b->alen = alenp;
    *bindp = reinterpret_cast<OCIBind*>(static_cast<Handle*>(b));
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCITransCommit(OCISvcCtx* svchp, OCIError* errhp, ub4) {
    auto* svc = svcOf(svchp);
    if (!svc) return OCI_INVALID_HANDLE;
    if (injected("OCITransCommit", errhp, liveSession(svc))) return OCI_ERROR;
    Session* sess = liveSession(svc);
    if (!sess) return setError(errhp, makeError(3114));
    if (sess->pendingActive) return setError(errhp, makeError(3127));
    OraError e;
    return sess->commit(e) ? OCI_SUCCESS : setError(errhp, e);
}

OCI_EXPORT sword OCITransRollback(OCISvcCtx* svchp, OCIError* errhp, ub4) {
    auto* svc = svcOf(svchp);
    if (!svc) return OCI_INVALID_HANDLE;
    if (injected("OCITransRollback", errhp, liveSession(svc))) return OCI_ERROR;
    Session* sess = liveSession(svc);
    if (!sess) return setError(errhp, makeError(3114));
    if (sess->pendingActive) return setError(errhp, makeError(3127));
    OraError e;
    return sess->rollback(e) ? OCI_SUCCESS : setError(errhp, e);
}

OCI_EXPORT sword OCISvcCtxToLda(OCISvcCtx* svchp, OCIError* errhp, Lda_Def* ldap) {
    auto* svc = svcOf(svchp);
    if (!svc || !ldap) return OCI_INVALID_HANDLE;
    if (injected("OCISvcCtxToLda", errhp)) return OCI_ERROR;
    if (!liveSession(svc)) return setError(errhp, makeError(3114));
    std::memset(ldap, 0, sizeof *ldap);
    ldap->rcsp = static_cast<Handle*>(svc);
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCILdaToSvcCtx(OCISvcCtx** svchpp, OCIError* errhp, Lda_Def* ldap) {
    if (!svchpp || !ldap) return OCI_INVALID_HANDLE;
    auto* svc = svcOf(ldap->rcsp);
    if (!svc) return OCI_INVALID_HANDLE;
    if (injected("OCILdaToSvcCtx", errhp)) return OCI_ERROR;
    *svchpp = reinterpret_cast<OCISvcCtx*>(static_cast<Handle*>(svc));
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCIDescriptorAlloc(const dvoid* parenth, dvoid** descpp, ub4 type, size_t,
                                    dvoid** usrmempp) {
    if (!descpp) return OCI_INVALID_HANDLE;
    *descpp = nullptr;
    if (usrmempp) *usrmempp = nullptr;
    auto* parent = as<Handle>(parenth, 0);
    if (!parent || !parent->env) return OCI_INVALID_HANDLE;
    if (takeFailure("OCIDescriptorAlloc")) return OCI_ERROR;
    if (type != OCI_DTYPE_LOB && type != OCI_DTYPE_FILE) return OCI_INVALID_HANDLE;
    auto* l = new LobH(parent->env, type);
    adopt(parent->env, l);
    *descpp = static_cast<Handle*>(l);
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCIDescriptorFree(dvoid* descp, ub4 type) {
    auto* h = as<Handle>(descp, type);
    if (!h) return OCI_INVALID_HANDLE;
    if (type == OCI_DTYPE_PARAM) return OCI_SUCCESS; // owned by the statement
    disown(h);
    delete h;
    return OCI_SUCCESS;
}

namespace {
Session* sessionOfHandle(void* h) {
    if (auto* svc = as<SvcCtxH>(h, OCI_HTYPE_SVCCTX)) return liveSession(svc);
    if (auto* srv = as<ServerH>(h, OCI_HTYPE_SERVER)) return srv->session;
    return nullptr;
}
} // namespace

OCI_EXPORT sword OCIBreak(dvoid* hndlp, OCIError* errhp) {
    if (!isHandle(hndlp)) return OCI_INVALID_HANDLE;
    if (injected("OCIBreak", errhp)) return OCI_ERROR;
    if (Session* s = sessionOfHandle(hndlp)) requestBreak(*s);
    return OCI_SUCCESS;
}

OCI_EXPORT sword OCIReset(dvoid* hndlp, OCIError* errhp) {
    if (!isHandle(hndlp)) return OCI_INVALID_HANDLE;
    if (injected("OCIReset", errhp)) return OCI_ERROR;
    if (Session* s = sessionOfHandle(hndlp)) {
        waitPending(*s);
        s->pendingActive = false;
        s->breakRequested = false;
    }
    return OCI_SUCCESS;
}
