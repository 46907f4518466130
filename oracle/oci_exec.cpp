#include "oracle/oci_exec.h"

#include <cstdio>

namespace {

const char16_t kCancelled[] = u"キャンセルしました\n";

// Issues call until it no longer reports that it is still executing, sleeping
// between polls from first_wait up in 10 ms steps to about half a second.
// brk is called once when cancel is requested; it returns 0 to go on polling,
// 1 to stop polling at once, -1 when the break failed.
template <class Call, class Break>
sword Poll(CancelState* cancel, int first_wait, bool* broke, int* break_failed, Call call, Break brk) {
    sword r = call();
    int wait = first_wait;
    while (r == OCI_STILL_EXECUTING) {
        if (cancel && !*broke && oci_cancel_requested(cancel)) {
            int b = brk();
            if (b < 0) {
                *break_failed = 1;
                return r;
            }
            *broke = true;
            if (b > 0) return r;
        }
        Sleep(DWORD(wait));
        if (wait < 500) wait += 10;
        r = call();
    }
    return r;
}

// A failed Oracle 8 execute: the statement's error, and the rows that went
// through before it (array DML stops at the failing row).
int Oci8Failed(OraSession* s, OraCursor* c, CString* msg) {
    oci8_get_stmt_error(s, c, msg);
    oci_write_log(s, u"\n---\nerror in oci8_exec_non_block_cursor:\n");
    int rows = 0;
    if (oci8_cur_get_row_cnt(s, c, &rows, nullptr) == ORARC_OK)
        ora_da_set_u32(c->cda, ORA_DA_ROWS, uint32_t(rows));
    return ORARC_ORACLE_ERROR;
}

// Rows processed of an Oracle 7 call: the end of the data or an error.
int Oci7Outcome(OraSession* s, OraCursor* c, sword r, CString* msg, bool nonblocking) {
    if (r != 0) {
        if (ora_cda_rc(c) == 1403 && c->rows_per_fetch > 0) {
            c->rows_in_buffer = int(ora_cda_rows(c) % uint32_t(c->rows_per_fetch));
            c->end_of_fetch = 1;
        } else {
            oci_write_log(s, u"\n---\nerror in oci_exec_non_block_cursor:\n");
            oci_get_cda_error(s, c, msg);
            if (nonblocking) g_oci.onbclr(ora_lda(s));
            return ORARC_ORACLE_ERROR;
        }
    } else {
        c->rows_in_buffer = int(ora_cda_rows(c));
    }
    return ORARC_OK;
}

int PlsqlCompileCheck(OraCursor* c, CString* msg) {
    unsigned char w = c->cda[ORA_DA_WARN];
    if ((w & OCI7_WARN_ANY) && (w & OCI7_WARN_PLSQL_COMPILE)) {
        if (msg) *msg = u"PL/SQLのコンパイルエラーです\n";
        return ORARC_PLSQL_COMPILE;
    }
    return ORARC_OK;
}

// Oracle 7 execution, polled when cancel is given. fetch: oexfet, else oexec.
int Oci7Exec(OraSession* s, OraCursor* c, CString* msg, CancelState* cancel, bool fetch) {
    if (cancel && g_oci.onbset(ora_lda(s)) != 0) {
        oci_write_log(s, u"\n---\nerror in oci_exec_non_block_cursor:\n");
        oci_get_lda_error(s, msg);
        g_oci.onbclr(ora_lda(s));
        return ORARC_ORACLE_ERROR;
    }
    bool broke = false;
    int break_failed = 0;
    sword r = Poll(
        cancel, 5, &broke, &break_failed,
        [&] {
            return fetch ? g_oci.oexfet(ora_cda(c), ub4(c->rows_per_fetch), 0, 0) : g_oci.oexec(ora_cda(c));
        },
        [&] {
            g_oci.obreak(ora_lda(s));
            return 1;
        });
    if (broke) {
        int rc = ora_lda_rc(s);
        if ((rc == 0 || rc == 1013 || rc == 1403) && g_oci.onbclr(ora_lda(s)) == 0) {
            if (msg) *msg = kCancelled;
            return ORARC_CANCELLED;
        }
        oci_write_log(s, u"\n---\nerror in oci_check_cancel_flg:\n");
        oci_get_lda_error(s, msg);
        g_oci.onbclr(ora_lda(s));
        return ORARC_ORACLE_ERROR;
    }
    int rc = Oci7Outcome(s, c, r, msg, cancel != nullptr);
    if (rc != ORARC_OK) return rc;
    c->cur_row = 0;
    if (cancel && g_oci.onbclr(ora_lda(s)) != 0) {
        oci_write_log(s, u"\n---\nerror in oci_exec_non_block_cursor:\n");
        oci_get_lda_error(s, msg);
        g_oci.onbclr(ora_lda(s));
        return ORARC_ORACLE_ERROR;
    }
    return fetch ? ORARC_OK : PlsqlCompileCheck(c, msg);
}

int BindLetters(OraSession* s, OraCursor* c, const char* letters, va_list args, CString* msg, bool arrays) {
    int n = 0;
    for (const char* p = letters ? letters : ""; *p; ++p) {
        char16_t name[16];
        auto next_name = [&] {
            char buf[16];
            std::snprintf(buf, sizeof buf, ":X%d", n++);
            for (int i = 0; i < 16; ++i) name[i] = char16_t(buf[i]);
        };
        int rc;
        if (*p == 'S') {
            next_name();
            rc = oci_bind_str(s, c, name, va_arg(args, const char16_t*), msg);
        } else if (*p == 'I') {
            next_name();
            rc = oci_bind_int(s, c, name, va_arg(args, int*), msg);
        } else if (*p == 'A' && arrays) {
            const char16_t* const* values = va_arg(args, const char16_t* const*);
            int count = va_arg(args, int);
            rc = ORARC_OK;
            for (int i = 0; i < count && rc == ORARC_OK; ++i) {
                next_name();
                rc = oci_bind_str(s, c, name, values[i], msg);
            }
        } else {
            if (msg) *msg = u"可変引数関数の引数が正しくありません\n";
            return ORARC_BAD_BIND_ARGS;
        }
        if (rc != ORARC_OK) return rc;
    }
    return ORARC_OK;
}

} // namespace

bool oci_cancel_requested(CancelState* cancel) {
    if (!cancel) return false;
    while (cancel->load(std::memory_order_relaxed) == 2) Sleep(500);
    return cancel->load(std::memory_order_relaxed) == 1;
}

int oci8_set_nonblocking(OraSession* s, int on) {
    ub1 v = ub1(on);
    return g_oci.OCIAttrSet(s->srv, OCI_HTYPE_SERVER, &v, 0, OCI_ATTR_NONBLOCKING_MODE, s->err) == OCI_SUCCESS
               ? 0
               : -1;
}

int oci_bind_letters(OraSession* s, OraCursor* c, const char* letters, va_list args, CString* msg) {
    return BindLetters(s, c, letters, args, msg, true);
}

int oci8_cur_get_row_cnt(OraSession* s, OraCursor* c, int* rows, CString* msg) {
    ub4 n = 0;
    if (g_oci.OCIAttrGet(c->stmt, OCI_HTYPE_STMT, &n, nullptr, OCI_ATTR_ROW_COUNT, s->err) != OCI_SUCCESS) {
        oci8_get_error(s, msg);
        oci_write_log(s, u"\n---\nerror in oci8_cur_get_row_cnt:\n");
        return ORARC_ORACLE_ERROR;
    }
    *rows = int(n);
    return ORARC_OK;
}

int oci8_exec_non_block_cursor(OraSession* s, OraCursor* c, CString* msg, CancelState* cancel, int fetch,
                               int iterations) {
    if (cancel && oci8_set_nonblocking(s, 1) != 0) {
        oci8_get_error(s, msg);
        oci_write_log(s, u"\n---\nerror in oci8_exec_non_block_cursor:\n");
        return ORARC_ORACLE_ERROR;
    }
    bool broke = false;
    int break_failed = 0;
    sword r = Poll(
        cancel, 5, &broke, &break_failed,
        [&] {
            return g_oci.OCIStmtExecute(s->svc, c->stmt, s->err, fetch ? 0 : ub4(iterations), 0, nullptr,
                                        nullptr, OCI_DEFAULT);
        },
        [&] {
            if (g_oci.OCIBreak(s->svc, s->err) != OCI_SUCCESS) return -1;
            if (msg) *msg = kCancelled;
            return 0;
        });
    int rc = ORARC_OK;
    if (break_failed) {
        oci8_get_error(s, msg);
        oci_write_log(s, u"\n---\nerror in oci8_check_cancel_flg:\n");
        rc = ORARC_ORACLE_ERROR;
    } else if (r == OCI_SUCCESS || r == OCI_SUCCESS_WITH_INFO) {
        ub2 fn = 0;
        if (g_oci.OCIAttrGet(c->stmt, OCI_HTYPE_STMT, &fn, nullptr, OCI_ATTR_SQLFNCODE, s->err) !=
            OCI_SUCCESS) {
            rc = Oci8Failed(s, c, msg);
        } else {
            ora_da_set_u16(c->cda, ORA_DA_FUNC, fn);
            if (fn == 3 || fn == 5 || fn == 9 || fn == 189) {
                int rows = 0;
                rc = oci8_cur_get_row_cnt(s, c, &rows, msg);
                if (rc == ORARC_OK) ora_da_set_u32(c->cda, ORA_DA_ROWS, uint32_t(rows));
            }
            if (rc == ORARC_OK && r == OCI_SUCCESS_WITH_INFO && !fetch) {
                CString text;
                oci8_get_stmt_error(s, c, &text);
                if (msg) *msg = text;
                rc = s->last_error == 24344 ? ORARC_PLSQL_COMPILE : ORARC_ORACLE_ERROR;
            }
        }
    } else if (broke) {
        // The rows that went through before the break, as after an error.
        int rows = 0;
        if (oci8_cur_get_row_cnt(s, c, &rows, nullptr) == ORARC_OK)
            ora_da_set_u32(c->cda, ORA_DA_ROWS, uint32_t(rows));
        g_oci.OCIReset(s->svc, s->err);
        if (msg) *msg = kCancelled;
        rc = ORARC_CANCELLED;
    } else {
        rc = Oci8Failed(s, c, msg);
    }
    if (cancel && oci8_set_nonblocking(s, 0) != 0) {
        if (rc == ORARC_OK) {
            oci8_get_error(s, msg);
            rc = ORARC_ORACLE_ERROR;
        } else {
            oci8_get_error(s, nullptr);
        }
        oci_write_log(s, u"\n---\nerror in oci8_exec_non_block_cursor:\n");
    }
    if (fetch && rc == ORARC_OK) rc = oci8_fetch_sel_cursor(s, c, msg, cancel);
    return rc;
}

int oci_exec_non_block_cursor(OraSession* s, OraCursor* c, CString* msg, CancelState* cancel) {
    if (!s->oci7) return oci8_exec_non_block_cursor(s, c, msg, cancel, 1, 0);
    return Oci7Exec(s, c, msg, cancel, true);
}

int oci_exec_cursor(OraSession* s, OraCursor* c, CString* msg) {
    if (!s->oci7) return oci8_exec_non_block_cursor(s, c, msg, nullptr, 0, 1);
    return Oci7Exec(s, c, msg, nullptr, false);
}

int oci_exec_sql(OraSession* s, const char16_t* sql, CString* msg) {
    OraCursor c{};
    int rc = oci_cre_cursor(s, &c, sql, msg);
    if (rc == ORARC_OK) rc = oci_exec_cursor(s, &c, msg);
    CString close_msg;
    int del = oci_del_cursor(s, &c, rc == ORARC_OK ? msg : &close_msg);
    if (rc == ORARC_OK && del != ORARC_OK) rc = ORARC_ORACLE_ERROR;
    return rc;
}

int oci_exec_sql_bind_v(OraSession* s, const char16_t* sql, CString* msg, void*, CancelState* cancel,
                        const char* letters, va_list args) {
    OraCursor c{};
    int rc = oci_cre_cursor(s, &c, sql, msg);
    if (rc == ORARC_OK) rc = BindLetters(s, &c, letters, args, msg, false);
    if (rc == ORARC_OK) {
        if (!s->oci7)
            rc = oci8_exec_non_block_cursor(s, &c, msg, cancel, 0, 1);
        else
            rc = Oci7Exec(s, &c, msg, cancel, false);
    }
    CString close_msg;
    int del = oci_del_cursor(s, &c, rc == ORARC_OK ? msg : &close_msg);
    if (rc == ORARC_OK && del != ORARC_OK) rc = ORARC_ORACLE_ERROR;
    return rc;
}

int oci_exec_sql_bind(OraSession* s, const char16_t* sql, CString* msg, void* unused, CancelState* cancel,
                      const char* letters, ...) {
    va_list args;
    va_start(args, letters);
    int rc = oci_exec_sql_bind_v(s, sql, msg, unused, cancel, letters, args);
    va_end(args);
    return rc;
}
