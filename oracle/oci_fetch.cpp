#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "oracle/oci_exec.h"
#include "oracle/oci_lob.h"
#include "oracle/ora_dataset.h"

namespace {

// Reads the first warning of a fetch into the cursor, once per cursor.
int ReadFetchWarning(OraSession* s, OraCursor* c, CString* msg) {
    if (c->fetch_warning) return ORARC_OK;
    if (!c->fetch_warning_text) {
        c->fetch_warning_text = static_cast<char16_t*>(calloc(2048, sizeof(char16_t)));
        if (!c->fetch_warning_text) {
            if (msg) *msg = u"メモリ確保に失敗しました\n";
            return ORARC_NO_MEMORY;
        }
    }
    char buf[2048] = {};
    sb4 code = 0;
    g_oci.OCIErrorGet(s->err, 1, nullptr, &code, reinterpret_cast<OraText*>(buf), sizeof buf,
                      OCI_HTYPE_ERROR);
    buf[sizeof buf - 1] = 0;
    size_t n = std::strlen(buf);
    if (n && buf[n - 1] == '\n') buf[n - 1] = 0;
    c->fetch_warning = code ? code : 1;
    if (g_mb_to_wide(buf, c->fetch_warning_text, 2048) <= 0) c->fetch_warning_text[2047] = 0;
    return ORARC_OK;
}

} // namespace

int oci8_fetch_sel_cursor(OraSession* s, OraCursor* c, CString* msg, CancelState* cancel) {
    if (cancel && oci8_set_nonblocking(s, 1) != 0) {
        oci8_get_error(s, msg);
        oci_write_log(s, u"\n---\nerror in oci8_exec_non_block_cursor:\n");
        return ORARC_ORACLE_ERROR;
    }
    for (int k = 0; k < c->col_count; ++k)
        if (c->desc[k].define_type == SQLT_NTY || c->desc[k].define_type == SQLT_REF)
            std::memset(c->data[k] - 16, 0, size_t(c->desc[k].buffer_size) * size_t(c->rows_per_fetch));
    auto call = [&] {
        if (g_oci.OCIStmtFetch2)
            return g_oci.OCIStmtFetch2(c->stmt, s->err, ub4(c->rows_per_fetch), OCI_FETCH_NEXT, 0,
                                       OCI_DEFAULT);
        return g_oci.OCIStmtFetch(c->stmt, s->err, ub4(c->rows_per_fetch), OCI_FETCH_NEXT, OCI_DEFAULT);
    };
    bool broke = false;
    int rc = ORARC_OK;
    sword r = call();
    int wait = 10;
    while (r == OCI_STILL_EXECUTING) {
        if (cancel && !broke && oci_cancel_requested(cancel)) {
            if (g_oci.OCIBreak(s->svc, s->err) != OCI_SUCCESS) {
                oci8_get_error(s, msg);
                oci_write_log(s, u"\n---\nerror in oci8_check_cancel_flg:\n");
                rc = ORARC_ORACLE_ERROR;
                break;
            }
            broke = true;
            if (msg) *msg = u"キャンセルしました\n";
        }
        Sleep(DWORD(wait));
        if (wait < 500) wait += 10;
        r = call();
    }
    if (rc == ORARC_OK) {
        int rows = 0;
        if (r == OCI_NO_DATA || r == OCI_SUCCESS || r == OCI_SUCCESS_WITH_INFO) {
            if (r == OCI_SUCCESS_WITH_INFO) rc = ReadFetchWarning(s, c, msg);
            if (rc == ORARC_OK) rc = oci8_cur_get_row_cnt(s, c, &rows, msg);
            if (rc == ORARC_OK) {
                ora_da_set_u32(c->cda, ORA_DA_ROWS, uint32_t(rows));
                if (r == OCI_NO_DATA) {
                    c->rows_in_buffer = c->rows_per_fetch > 0 ? rows % c->rows_per_fetch : 0;
                    c->end_of_fetch = 1;
                } else {
                    c->rows_in_buffer = c->rows_per_fetch;
                }
                c->cur_row = 0;
            }
        } else if (broke) {
            g_oci.OCIReset(s->svc, s->err);
            if (msg) *msg = u"キャンセルしました\n";
            rc = ORARC_CANCELLED;
        } else {
            oci8_get_stmt_error(s, c, msg);
            oci_write_log(s, u"\n---\nerror in oci8_exec_non_block_cursor:\n");
            rc = ORARC_ORACLE_ERROR;
        }
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
    if (rc == ORARC_OK && c->lob_col_count) rc = oci_get_lob_text(s, c, c->rows_in_buffer, msg);
    return rc;
}

int oci_fetch_sel_cursor(OraSession* s, OraCursor* c, CString* msg) {
    if (!s->oci7) return oci8_fetch_sel_cursor(s, c, msg, nullptr);
    if (g_oci.ofen(ora_cda(c), c->rows_per_fetch) == 0) {
        c->rows_in_buffer = c->rows_per_fetch;
    } else if (ora_cda_rc(c) == 1403) {
        if (c->rows_per_fetch > 0) c->rows_in_buffer = int(ora_cda_rows(c) % uint32_t(c->rows_per_fetch));
        c->end_of_fetch = 1;
    } else if (ora_cda_rc(c) == 1002) {
        c->end_of_fetch = 1;
    } else {
        oci_write_log(s, u"\n---\nerror in oci_fetch_sel_cursor: \n");
        oci_get_cda_error(s, c, msg);
        return ORARC_ORACLE_ERROR;
    }
    c->cur_row = 0;
    return ORARC_OK;
}

int oci7_define_cursor(OraSession* s, OraCursor* c, CString* msg) {
    for (int i = 0; i < c->col_count; ++i) {
        const OraColumnDesc& d = c->desc[i];
        if (g_oci.odefin(ora_cda(c), i + 1, reinterpret_cast<ub1*>(c->data[i]), d.buffer_size, d.define_type,
                         -1, c->ind[i], nullptr, -1, -1, c->len[i], c->rcode[i]) != 0) {
            oci_write_log(s, u"\n---\nerror in oci_cre_sel_cursor:\n");
            oci_get_cda_error(s, c, msg);
            return ORARC_ORACLE_ERROR;
        }
    }
    return ORARC_OK;
}

int oci_cre_sel_cursor(OraSession* s, OraDataset* ds, const char16_t* sql, int rows, CString* msg, HWND wnd,
                       CancelState* cancel, const char* letters, va_list args) {
    OraCursor c{};
    int rc = oci_cre_cursor(s, &c, sql, msg);
    if (rc == ORARC_OK) rc = oci_desc_cursor(s, &c, msg);
    if (rc == ORARC_OK) rc = oci_alloc_fetch_bufs(&c, rows, msg);
    if (rc == ORARC_OK) rc = s->oci7 ? oci7_define_cursor(s, &c, msg) : oci8_define_by_pos(s, &c, msg);
    if (rc == ORARC_OK) rc = oci_bind_letters(s, &c, letters, args, msg);
    if (rc == ORARC_OK) rc = oci_fetch_dataset(s, &c, ds, msg, wnd, cancel);
    CString close_msg;
    if (oci_del_cursor(s, &c, rc == ORARC_OK ? msg : &close_msg) != ORARC_OK && rc == ORARC_OK)
        rc = ORARC_ORACLE_ERROR;
    return rc;
}

int oci_sel_dataset_with_cancel(OraSession* s, OraDataset* ds, const char16_t* sql, int rows, CString* msg,
                                HWND wnd, CancelState* cancel, const char* letters, ...) {
    va_list args;
    va_start(args, letters);
    int rc = oci_cre_sel_cursor(s, ds, sql, rows, msg, wnd, cancel, letters, args);
    va_end(args);
    return rc;
}

int oci_sel_dataset(OraSession* s, OraDataset* ds, const char16_t* sql, int rows, CString* msg,
                    const char* letters, ...) {
    va_list args;
    va_start(args, letters);
    int rc = oci_cre_sel_cursor(s, ds, sql, rows, msg, nullptr, nullptr, letters, args);
    va_end(args);
    return rc;
}

int oci_get_sysdate(char16_t* value) {
    value[0] = 0;
    OraDataset ds{};
    int rc = oci_sel_dataset(g_session, &ds, u"select to_char(sysdate, :X0) from dual", 1, nullptr, "S",
                             u"YYYY-MM-DD");
    if (rc == ORARC_OK) {
        if (ds.row_count == 1) {
            wcsncpy(value, oci_get_dataset_data(&ds, 0, 0), 10);
            value[10] = 0;
        } else {
            rc = ORARC_NO_ROW;
        }
    }
    oci_free_dataset(&ds);
    return rc;
}

int oci_get_table_def2(OraSession* s, OraTableDef* def, const char16_t* sql, const char16_t* table,
                       CString* msg) {
    OraCursor c{};
    def->col_count = 0;
    def->columns = nullptr;
    int rc = oci_cre_cursor(s, &c, sql, msg);
    if (rc == ORARC_OK) {
        rc = oci_desc_cursor(s, &c, msg);
        if (rc == ORARC_UNSUPPORTED_TYPE) rc = ORARC_OK;
    }
    if (rc == ORARC_OK) {
        if (table && wcslen(table) < 100) wcscpy(def->table_name, table);
        def->columns = static_cast<OraTableColumn*>(
            calloc(size_t(c.col_count ? c.col_count : 1), sizeof(OraTableColumn)));
        if (!def->columns) {
            if (msg) *msg = u"メモリ確保に失敗しました\n";
            rc = ORARC_NO_MEMORY;
        }
    }
    for (int i = 0; rc == ORARC_OK && i < c.col_count; ++i) {
        OraTableColumn& col = def->columns[i];
        col.desc = c.desc[i];
        int r = oci_get_col_type_str(s, &col.desc, col.type_text, col.size_text, msg);
        if (r != ORARC_OK) {
            std::snprintf(col.type_text, sizeof col.type_text, "-UNKNOWN-%d", col.desc.data_type);
            std::snprintf(col.size_text, sizeof col.size_text, "%d", col.desc.data_size);
        }
        if (g_mb_to_wide(col.type_text, col.wtype_text, 100) <= 0) col.wtype_text[99] = 0;
        if (g_mb_to_wide(col.size_text, col.wsize_text, 20) <= 0) col.wsize_text[19] = 0;
        def->col_count = i + 1;
        if (r != ORARC_OK) rc = r;
    }
    CString close_msg;
    if (oci_del_cursor(s, &c, rc == ORARC_OK ? msg : &close_msg) != ORARC_OK && rc == ORARC_OK)
        rc = ORARC_ORACLE_ERROR;
    if (rc != ORARC_OK) {
        free(def->columns);
        def->columns = nullptr;
        def->col_count = 0;
    }
    return rc;
}

namespace {

int TableDef(OraSession* s, OraTableDef* def, const char16_t* table, CString* msg, const char16_t* head) {
    if (wcslen(table) >= 3997) {
        if (msg) msg->Format(u"エラー(%s)\n", u"oci_get_table_def2()");
        return ORARC_FAILED;
    }
    std::u16string sql = head;
    sql += table;
    sql += u" A";
    return oci_get_table_def2(s, def, sql.c_str(), table, msg);
}

} // namespace

int oci_get_table_def_with_rowid(OraSession* s, OraTableDef* def, const char16_t* table, CString* msg) {
    return TableDef(s, def, table, msg, u"SELECT ROWID, A.* FROM ");
}

int oci_get_table_def(OraSession* s, OraTableDef* def, const char16_t* table, CString* msg) {
    return TableDef(s, def, table, msg, u"SELECT A.* FROM ");
}
