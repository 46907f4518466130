// The Oracle 7 entry points over the same sessions and statements.
#include "nonblock.h"

#include <algorithm>
#include <cstdio>

using namespace oci;

namespace {

SvcCtxH* ldaSvc(Lda_Def* lda) {
    return lda ? as<SvcCtxH>(lda->rcsp, OCI_HTYPE_SVCCTX) : nullptr;
}
Stmt* cdaStmt(Cda_Def* cda) {
    return cda ? as<Stmt>(cda->rcsp, OCI_HTYPE_STMT) : nullptr;
}

// Keeps an error of a logon's or cursor's call for oerhms, which gives its
// whole text (the constraint a statement broke, for one).
void remember(Cda_Def* area, const OraError& e) {
    if (!area) return;
    SvcCtxH* svc = ldaSvc(area);
    if (Stmt* s = cdaStmt(area)) svc = s->svc;
    if (svc) svc->lastError7 = e;
}

sword ldaFail(Lda_Def* lda, int code) {
    if (lda) {
        lda->rc = ub2(code);
        lda->v2_rc = sb2(-code);
        remember(lda, makeError(code));
    }
    return code;
}

sword cdaFail(Cda_Def* cda, const OraError& e) {
    if (cda) {
        cda->rc = ub2(e.code);
        cda->v2_rc = sb2(-e.code);
        if (e.offset >= 0) cda->peo = ub2(e.offset);
        remember(cda, e);
    }
    return e.code;
}

void cdaOk(Cda_Def* cda) {
    cda->rc = 0;
    cda->v2_rc = 0;
    cda->wrn = 0;
}

// An armed control failure or a lost session: recorded in the data area.
bool injected7(const char* entry, Cda_Def* area, Session* sess = nullptr) {
    int code = sessionLoss(entry, sess);
    if (!code) code = takeFailure(entry);
    if (code) {
        if (area) {
            area->rc = ub2(code);
            area->v2_rc = sb2(-code);
            remember(area, makeError(code));
        }
        return true;
    }
    return false;
}

std::string part(OraText* p, sword len) {
    if (!p) return std::string();
    return len < 0 ? std::string(reinterpret_cast<const char*>(p))
                   : std::string(reinterpret_cast<const char*>(p), size_t(len));
}

} // namespace

OCI_EXPORT sword olog(Lda_Def* lda, ub1* hda, OraText* uid, sword uidl, OraText* pswd, sword pswdl,
                      OraText* conn, sword connl, ub4) {
    if (!lda) return -1;
    std::memset(lda, 0, sizeof *lda);
    if (hda) std::memset(hda, 0, HDA_SIZE);
    if (injected7("olog", lda)) return lda->rc;
    std::string user = part(uid, uidl), pass = part(pswd, pswdl), service = part(conn, connl);
    // "user/password@service" in the user argument.
    if (pass.empty()) {
        size_t at = user.find('@');
        if (at != std::string::npos && service.empty()) service = user.substr(at + 1);
        if (at != std::string::npos) user.erase(at);
        size_t slash = user.find('/');
        if (slash != std::string::npos) {
            pass = user.substr(slash + 1);
            user.erase(slash);
        }
    }
    Env* env = makeEnv();
    if (!env) return ldaFail(lda, 12705);
    auto* srv = new ServerH(env);
    auto* ses = new SessionH(env);
    auto* svc = new SvcCtxH(env);
    adopt(env, srv);
    adopt(env, ses);
    adopt(env, svc);
    svc->internal = true;
    svc->server = srv;
    OraError e, warn;
    std::string su, sp, ss;
    env->codec.toUtf8(user.data(), user.size(), su);
    env->codec.toUtf8(pass.data(), pass.size(), sp);
    env->codec.toUtf8(service.data(), service.size(), ss);
    srv->db = attachService(ss, e);
    if (srv->db)
        ses->live =
            logon(srv->db, env, su, sp, su.empty() && sp.empty() ? OCI_CRED_EXT : OCI_CRED_RDBMS, 0, e, warn);
    if (!ses->live) {
        delete env;
        return ldaFail(lda, e.code);
    }
    svc->session = ses;
    ses->live->nonBlocking = &srv->nonBlocking;
    srv->session = ses->live.get();
    lda->rcsp = static_cast<Handle*>(svc);
    if (!warn.empty()) {
        lda->rc = ub2(warn.code);
        lda->wrn = OCI7_WARN_ANY;
    }
    return 0;
}

OCI_EXPORT sword ologof(Lda_Def* lda) {
    SvcCtxH* svc = ldaSvc(lda);
    if (!svc) return ldaFail(lda, 1012);
    if (injected7("ologof", lda)) return lda->rc;
    if (Session* s = liveSession(svc)) {
        OraError e;
        s->rollback(e);
    }
    if (svc->internal) delete svc->env;
    lda->rcsp = nullptr;
    lda->rc = 0;
    return 0;
}

OCI_EXPORT sword oerhms(Lda_Def* lda, sb2 rcode, OraText* buf, sword bufsiz) {
    if (!buf || bufsiz <= 0) return 0;
    const int code = rcode < 0 ? -rcode : rcode;
    // The logon's last error when it is this one: its text names what it names.
    SvcCtxH* svc = ldaSvc(lda);
    const Codec codec = svc ? svc->env->codec : Codec{65001};
    std::string text;
    codec.fromUtf8(formatError(svc && svc->lastError7.code == code ? svc->lastError7 : makeError(code)),
                   text);
    copyOut(codec, text, reinterpret_cast<char*>(buf), size_t(bufsiz));
    return sword(std::strlen(reinterpret_cast<char*>(buf)));
}

OCI_EXPORT sword ocom(Lda_Def* lda) {
    SvcCtxH* svc = ldaSvc(lda);
    Session* s = liveSession(svc);
    if (!s) return ldaFail(lda, 1012);
    if (injected7("ocom", lda, liveSession(svc))) return lda->rc;
    OraError e;
    if (!s->commit(e)) return ldaFail(lda, e.code);
    lda->rc = 0;
    return 0;
}

OCI_EXPORT sword orol(Lda_Def* lda) {
    SvcCtxH* svc = ldaSvc(lda);
    Session* s = liveSession(svc);
    if (!s) return ldaFail(lda, 1012);
    if (injected7("orol", lda, liveSession(svc))) return lda->rc;
    OraError e;
    s->rollback(e);
    lda->rc = 0;
    return 0;
}

OCI_EXPORT sword onbset(Lda_Def* lda) {
    SvcCtxH* svc = ldaSvc(lda);
    if (!svc || !svc->server) return ldaFail(lda, 1012);
    if (injected7("onbset", lda)) return lda->rc;
    svc->server->nonBlocking = 1;
    lda->rc = 0;
    return 0;
}

OCI_EXPORT sword onbclr(Lda_Def* lda) {
    SvcCtxH* svc = ldaSvc(lda);
    if (!svc || !svc->server) return ldaFail(lda, 1012);
    if (injected7("onbclr", lda)) return lda->rc;
    svc->server->nonBlocking = 0;
    lda->rc = 0;
    return 0;
}

// Returns once the pending call has stopped.
OCI_EXPORT sword obreak(Lda_Def* lda) {
    SvcCtxH* svc = ldaSvc(lda);
    if (!svc) return ldaFail(lda, 1012);
    if (injected7("obreak", lda)) return lda->rc;
    Session* s = liveSession(svc);
    if (!s) return ldaFail(lda, 3114);
    bool pending = requestBreak(*s);
    waitPending(*s);
    bool broken = s->pendingErr.code == 1013 || s->pendingResult == 1013;
    lda->rc = pending && broken ? 1013 : 0;
    // The broken call is over: its cursor reports 1013 and the session takes
    // the next call at once.
    if (pending) {
        if (auto* cursor = static_cast<Cda_Def*>(s->pendingCursor)) cdaFail(cursor, makeError(1013));
        s->pendingActive = false;
    }
    s->pendingCursor = nullptr;
    s->breakRequested = false;
    return 0;
}

OCI_EXPORT sword oopen(Cda_Def* cursor, Lda_Def* lda, OraText*, sword, sword, OraText*, sword) {
    if (!cursor) return -1;
    SvcCtxH* svc = ldaSvc(lda);
    std::memset(cursor, 0, sizeof *cursor);
    if (!svc) return cdaFail(cursor, makeError(1012));
    if (injected7("oopen", cursor)) return cursor->rc;
    auto* s = new Stmt(svc->env);
    adopt(svc->env, s);
    s->svc = svc;
    s->oracle7 = true;
    cursor->rcsp = static_cast<Handle*>(s);
    return 0;
}

OCI_EXPORT sword oclose(Cda_Def* cursor) {
    Stmt* s = cdaStmt(cursor);
    if (!s) return cdaFail(cursor, makeError(1001));
    if (injected7("oclose", cursor)) return cursor->rc;
    disown(s);
    delete s;
    cursor->rcsp = nullptr;
    cdaOk(cursor);
    return 0;
}

OCI_EXPORT sword oparse(Cda_Def* cursor, OraText* sqlstm, sb4 sqllen, sword, ub4) {
    Stmt* s = cdaStmt(cursor);
    if (!s) return cdaFail(cursor, makeError(1001));
    if (injected7("oparse", cursor, stmtSession(s))) return cursor->rc;
    const char* text = reinterpret_cast<const char*>(sqlstm);
    size_t n = !text ? 0 : sqllen < 0 ? std::strlen(text) : size_t(sqllen);
    stmtPrepare(*s, text, n);
    cdaOk(cursor);
    cursor->peo = 0;
    cursor->rpc = 0;
    return 0;
}

namespace {

// Runs the statement of a cursor: iters DML rows, or the query.
sword run7(Cda_Def* cursor, Stmt* s, ub4 iters, bool describeOnly) {
    Session* sess = liveSession(s->svc);
    if (!sess) return cdaFail(cursor, makeError(3114));
    OraError e;
    int r = stmtExecute(*s, *sess, iters, describeOnly, e);
    cursor->ft = ub2(s->translated ? s->tr.functionCode : 0);
    cursor->rpc = s->rowCount;
    if (r == OCI_ERROR) return cdaFail(cursor, e);
    cdaOk(cursor);
    // A PL/SQL unit created with compilation errors.
    if (r == OCI_SUCCESS_WITH_INFO && e.code == 24344) cursor->wrn = OCI7_WARN_ANY | OCI7_WARN_PLSQL_COMPILE;
    return 0;
}

sword fetch7(Cda_Def* cursor, Stmt* s, ub4 n) {
    if (s->endReported) return cdaFail(cursor, makeError(1002));
    OraError e;
    ub4 got = 0;
    int r = stmtFetch(*s, n, e, &got);
    cursor->rpc = s->rowCount;
    if (r == OCI_ERROR) return cdaFail(cursor, e);
    cdaOk(cursor);
    if (r == OCI_SUCCESS_WITH_INFO) cursor->wrn = OCI7_WARN_ANY | 0x02;
    if (r == OCI_NO_DATA) {
        s->endReported = true;
        return cdaFail(cursor, makeError(1403));
    }
    return 0;
}

} // namespace

OCI_EXPORT sword odescr(Cda_Def* cursor, sword pos, sb4* dbsize, sb2* dbtype, sb1* cbuf, sb4* cbufl,
                        sb4* dsize, sb2* prec, sb2* scale, sb2* nullok) {
    Stmt* s = cdaStmt(cursor);
    if (!s) return cdaFail(cursor, makeError(1001));
    if (injected7("odescr", cursor, stmtSession(s))) return cursor->rc;
    if (!s->described) {
        sword r = run7(cursor, s, 0, true);
        if (r) return r;
        if (!s->described) return cdaFail(cursor, makeError(1007));
    }
    if (pos < 1 || size_t(pos) > s->cols.size()) return cdaFail(cursor, makeError(1007));
    const Column& c = s->cols[size_t(pos - 1)];
    if (dbsize) *dbsize = c.size;
    if (dbtype) *dbtype = sb2(c.type);
    if (dsize) *dsize = c.type == SQLT_NUM ? 40 : c.size;
    if (prec) *prec = c.precision;
    if (scale) *scale = c.scale;
    if (nullok) *nullok = c.nullable;
    if (cbufl) {
        std::string name;
        s->env->codec.fromUtf8(c.name, name);
        size_t room = *cbufl > 0 ? size_t(*cbufl) : 0;
        size_t n = s->env->codec.wholeChars(name.data(), name.size(), room);
        if (cbuf) std::memcpy(cbuf, name.data(), n);
        *cbufl = sb4(n);
    }
    cdaOk(cursor);
    return 0;
}

OCI_EXPORT sword odefin(Cda_Def* cursor, sword pos, ub1* buf, sword bufl, sword ftype, sword, sb2* indp,
                        OraText*, sword, sword, ub2* rlen, ub2* rcode) {
    Stmt* s = cdaStmt(cursor);
    if (!s) return cdaFail(cursor, makeError(1001));
    if (injected7("odefin", cursor, stmtSession(s))) return cursor->rc;
    if (pos < 1) return cdaFail(cursor, makeError(1007));
    if (s->defines.size() < size_t(pos)) s->defines.resize(size_t(pos), nullptr);
    DefineH*& d = s->defines[size_t(pos - 1)];
    if (!d) d = new DefineH(s->env);
    d->stmt = s;
    d->pos = ub4(pos);
    d->value = reinterpret_cast<char*>(buf);
    d->size = bufl;
    d->dty = ub2(ftype);
    d->ind = indp;
    d->rlen = rlen;
    d->rcode = rcode;
    d->valueSkip = ub4(std::max(bufl, 0));
    d->indSkip = d->lenSkip = d->codeSkip = 2;
    cdaOk(cursor);
    return 0;
}

OCI_EXPORT sword obndra(Cda_Def* cursor, OraText* sqlvar, sword sqlvl, ub1* progv, sword progvl, sword ftype,
                        sword, sb2* indp, ub2* alen, ub2*, ub4, ub4*, OraText*, sword, sword) {
    Stmt* s = cdaStmt(cursor);
    if (!s) return cdaFail(cursor, makeError(1001));
    if (injected7("obndra", cursor, stmtSession(s))) return cursor->rc;
    std::string name = clientText(s->env, sqlvar, sqlvl);
    if (!name.empty() && name[0] == ':') name.erase(0, 1);
    name = upperAscii(name);
    if (name.empty()) return cdaFail(cursor, makeError(1036));
    bool found = hasPlaceholder(s->sql, name);
    if (!found) return cdaFail(cursor, makeError(1036));
    BindH* b = nullptr;
    for (auto* x : s->binds)
        if (x->name == name) b = x;
    if (!b) {
        b = new BindH(s->env);
        s->binds.push_back(b);
    }
    b->stmt = s;
    b->name = name;
    b->value = progv;
    b->size = progvl;
    b->dty = ub2(ftype);
    b->ind = indp;
    b->alen = alen;
    cdaOk(cursor);
    return 0;
}

namespace {

// Runs an Oracle 7 call under the session's non-blocking protocol.
sword call7(Cda_Def* cursor, Stmt* s, const char* entry, std::function<sword()> work) {
    Session* sess = liveSession(s->svc);
    if (!sess) return cdaFail(cursor, makeError(3114));
    OraError e;
    int r = runCall(
        *sess, entry, s, [work](OraError&) { return int(work()); }, e);
    if (r == OCI_STILL_EXECUTING) {
        if (sess->pendingKey == s) sess->pendingCursor = cursor;
        return OCI_STILL_EXECUTING;
    }
    if (e.code == 3127 || e.code == 1013) return cdaFail(cursor, e);
    return r;
}

} // namespace

OCI_EXPORT sword oexec(Cda_Def* cursor) {
    Stmt* s = cdaStmt(cursor);
    if (!s) return cdaFail(cursor, makeError(1001));
    if (injected7("oexec", cursor, stmtSession(s))) return cursor->rc;
    return call7(cursor, s, "oexec", [=] { return run7(cursor, s, 1, false); });
}

OCI_EXPORT sword oexn(Cda_Def* cursor, sword iters, sword) {
    Stmt* s = cdaStmt(cursor);
    if (!s) return cdaFail(cursor, makeError(1001));
    if (injected7("oexn", cursor, stmtSession(s))) return cursor->rc;
    return call7(cursor, s, "oexn", [=] { return run7(cursor, s, ub4(std::max(iters, 1)), false); });
}

OCI_EXPORT sword oexfet(Cda_Def* cursor, ub4 nrows, sword, sword) {
    Stmt* s = cdaStmt(cursor);
    if (!s) return cdaFail(cursor, makeError(1001));
    if (injected7("oexfet", cursor, stmtSession(s))) return cursor->rc;
    return call7(cursor, s, "oexfet", [=] {
        sword r = run7(cursor, s, 0, false);
        if (r) return r;
        if (s->tr.kind != Kind::Select) return sword(0);
        return fetch7(cursor, s, nrows);
    });
}

OCI_EXPORT sword ofen(Cda_Def* cursor, sword nrows) {
    Stmt* s = cdaStmt(cursor);
    if (!s) return cdaFail(cursor, makeError(1001));
    if (injected7("ofen", cursor, stmtSession(s))) return cursor->rc;
    return call7(cursor, s, "ofen", [=] { return fetch7(cursor, s, ub4(std::max(nrows, 1))); });
}
