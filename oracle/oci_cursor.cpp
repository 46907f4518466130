#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "oracle/oci_api.h"

namespace {

const int64_t kMaxFetchBytes = 4194304;
const int kMaxRowsPerFetch = 400;
const int64_t kMaxRowBytes = int64_t(1) << 30;

void SetMsg(CString* msg, const char16_t* text) {
    if (msg) *msg = text;
}

void NoMemory(CString* msg) {
    SetMsg(msg, u"メモリ確保に失敗しました\n");
}

void Failed(CString* msg, const char16_t* operation) {
    if (msg) msg->Format(u"エラー(%s)\n", operation);
}

bool IsLob(int type) {
    return type == SQLT_CLOB || type == SQLT_BLOB || type == SQLT_BFILEE;
}
bool NeedsAlignedArea(int type) {
    return IsLob(type) || type == SQLT_NTY || type == SQLT_REF;
}

bool Oci7(const OraSession* s) {
    return !s || s->oci7;
}

OraLobValue* LobHeader(OraCursor* c, int col, int row) {
    return reinterpret_cast<OraLobValue*>(c->data[col] - sizeof(OraLobValue) +
                                          int64_t(row) * c->desc[col].buffer_size);
}

} // namespace

int oci_alloc_col_desc(OraCursor* c, CString* msg) {
    free(c->data);
    c->data = nullptr;
    c->ind = nullptr;
    c->len = nullptr;
    c->rcode = nullptr;
    c->desc = nullptr;
    int n = c->col_count > 0 ? c->col_count : 0;
    size_t bytes = size_t(n) * (4 * sizeof(void*) + sizeof(OraColumnDesc));
    void* block = calloc(1, bytes ? bytes : 1);
    if (!block) {
        NoMemory(msg);
        return ORARC_NO_MEMORY;
    }
    char** p = static_cast<char**>(block);
    c->data = p;
    c->ind = reinterpret_cast<int16_t**>(p + n);
    c->len = reinterpret_cast<uint16_t**>(p + 2 * n);
    c->rcode = reinterpret_cast<uint16_t**>(p + 3 * n);
    c->desc = reinterpret_cast<OraColumnDesc*>(p + 4 * n);
    return ORARC_OK;
}

void oci_free_lob_locators(OraCursor* c) {
    if (!c->fetch_block || !c->desc || !g_oci.OCIDescriptorFree) return;
    for (int k = 0; k < c->col_count; ++k) {
        int type = c->desc[k].define_type;
        if (!IsLob(type)) continue;
        for (int r = 0; r < c->rows_per_fetch; ++r) {
            OraLobValue* h = LobHeader(c, k, r);
            if (h->locator)
                g_oci.OCIDescriptorFree(h->locator, type == SQLT_BFILEE ? OCI_DTYPE_FILE : OCI_DTYPE_LOB);
            h->locator = nullptr;
        }
    }
}

int oci_alloc_fetch_bufs(OraCursor* c, int rows, CString* msg) {
    int64_t row_size = 0;
    for (int k = 0; k < c->col_count; ++k)
        row_size += c->desc[k].buffer_size > 0 ? c->desc[k].buffer_size : 0;
    if (row_size > kMaxRowBytes) {
        NoMemory(msg);
        return ORARC_NO_MEMORY;
    }
    int64_t r = rows;
    if (r >= 2 && row_size > 0 && r * row_size > kMaxFetchBytes) r = kMaxFetchBytes / row_size;
    if (r > kMaxRowsPerFetch) r = kMaxRowsPerFetch;
    if (r < 1) r = 1;
    while (r > 1 && INT32_MAX / (r * 8) < row_size) r /= 2;

    if (c->fetch_block) {
        oci_free_lob_locators(c);
        free(c->fetch_block);
        c->fetch_block = nullptr;
    }
    // Value areas in column order; a LOB or object area starts 8-aligned so
    // that its row headers are aligned records.
    int64_t values = 0;
    for (int k = 0; k < c->col_count; ++k) {
        if (NeedsAlignedArea(c->desc[k].define_type)) values = (values + 7) & ~int64_t(7);
        values += int64_t(c->desc[k].buffer_size > 0 ? c->desc[k].buffer_size : 0) * r;
    }
    values = (values + 7) & ~int64_t(7);
    int64_t total = values + 3 * 2 * int64_t(c->col_count) * r;
    char* block = static_cast<char*>(calloc(1, size_t(total > 0 ? total : 1)));
    if (!block) {
        NoMemory(msg);
        oci_free_cursor_bufs(c);
        return ORARC_NO_MEMORY;
    }
    c->fetch_block = block;
    c->rows_per_fetch = int(r);
    c->lob_col_count = 0;
    c->obj_col_count = 0;
    char* area = block;
    int16_t* ind = reinterpret_cast<int16_t*>(block + values);
    uint16_t* len = reinterpret_cast<uint16_t*>(ind + int64_t(c->col_count) * r);
    uint16_t* rcode = len + int64_t(c->col_count) * r;
    for (int k = 0; k < c->col_count; ++k) {
        const OraColumnDesc& d = c->desc[k];
        if (NeedsAlignedArea(d.define_type)) area = block + ((area - block + 7) & ~int64_t(7));
        c->data[k] = area;
        c->ind[k] = ind + int64_t(k) * r;
        c->len[k] = len + int64_t(k) * r;
        c->rcode[k] = rcode + int64_t(k) * r;
        if (IsLob(d.define_type)) {
            c->data[k] += sizeof(OraLobValue);
            ++c->lob_col_count;
        } else if (d.define_type == SQLT_NTY || d.define_type == SQLT_REF) {
            c->data[k] += 16;
            ++c->obj_col_count;
        }
        area += int64_t(d.buffer_size > 0 ? d.buffer_size : 0) * r;
    }
    for (int k = 0; k < c->col_count; ++k) {
        int type = c->desc[k].define_type;
        if (!IsLob(type)) continue;
        for (int i = 0; i < c->rows_per_fetch; ++i) {
            OraLobValue* h = LobHeader(c, k, i);
            h->define_type = int16_t(type);
            if (!g_oci.OCIDescriptorAlloc ||
                g_oci.OCIDescriptorAlloc(g_oci_env, reinterpret_cast<dvoid**>(&h->locator),
                                         type == SQLT_BFILEE ? OCI_DTYPE_FILE : OCI_DTYPE_LOB, 0,
                                         nullptr) != OCI_SUCCESS) {
                h->locator = nullptr;
                NoMemory(msg);
                oci_free_lob_locators(c);
                oci_free_cursor_bufs(c);
                return ORARC_NO_MEMORY;
            }
        }
    }
    return ORARC_OK;
}

void oci_free_cursor_bufs(OraCursor* c) {
    while (c->binds) {
        OraBindNode* next = c->binds->next;
        free(c->binds);
        c->binds = next;
    }
    free(c->fetch_block);
    c->fetch_block = nullptr;
    free(c->data);
    c->data = nullptr;
    c->ind = nullptr;
    c->len = nullptr;
    c->rcode = nullptr;
    c->desc = nullptr;
    free(c->fetch_warning_text);
    c->fetch_warning_text = nullptr;
    free(c->sql);
    c->sql = nullptr;
}

int oci_cre_cursor(OraSession* s, OraCursor* c, const char16_t* sql, CString* msg) {
    int need = oci_wide_to_mb(sql, nullptr, 0);
    if (need <= 0) {
        Failed(msg, u"oci_cre_cursor()");
        return ORARC_FAILED;
    }
    free(c->sql);
    c->sql = static_cast<char*>(malloc(size_t(need)));
    if (!c->sql) {
        NoMemory(msg);
        return ORARC_NO_MEMORY;
    }
    oci_wide_to_mb(sql, c->sql, need);
    c->wsql = sql;

    if (!Oci7(s)) {
        if (g_oci.OCIHandleAlloc(g_oci_env, reinterpret_cast<dvoid**>(&c->stmt), OCI_HTYPE_STMT, 0,
                                 nullptr) != OCI_SUCCESS) {
            c->stmt = nullptr;
            oci8_get_error(s, msg);
            oci_write_log(s, u"\n---\nerror in oci8_cre_cursor:\n");
            return ORARC_ORACLE_ERROR;
        }
        if (g_oci.OCIStmtPrepare(c->stmt, s->err, reinterpret_cast<const OraText*>(c->sql),
                                 ub4(std::strlen(c->sql)), OCI_NTV_SYNTAX, OCI_DEFAULT) != OCI_SUCCESS) {
            oci8_get_stmt_error(s, c, msg);
            oci_write_log(s, u"\n---\nerror in oci8_cre_cursor:\n");
            return ORARC_ORACLE_ERROR;
        }
        ora_da_set_u32(c->cda, ORA_DA_ROWS, 0);
        return ORARC_OK;
    }
    if (g_oci.oopen(ora_cda(c), ora_lda(s), nullptr, -1, -1, nullptr, -1) != 0) {
        oci_write_log(s, u"\n---\nerror in oci_cre_cursor:\n");
        oci_get_cda_error(s, c, msg);
        free(c->sql); // not opened: nothing to close
        c->sql = nullptr;
        return ORARC_ORACLE_ERROR;
    }
    if (g_oci.oparse(ora_cda(c), reinterpret_cast<OraText*>(c->sql), -1, 1, 1) != 0) {
        oci_write_log(s, u"\n---\nerror in oci_cre_cursor:\n");
        oci_get_cda_error(s, c, msg);
        return ORARC_ORACLE_ERROR;
    }
    return ORARC_OK;
}

int oci_del_cursor(OraSession* s, OraCursor* c, CString* msg) {
    int rc = ORARC_OK;
    oci_free_lob_locators(c);
    if (Oci7(s)) {
        if (c->sql && g_oci.oclose(ora_cda(c)) != 0) {
            rc = ORARC_ORACLE_ERROR;
            if (ora_cda_rc(c) != 1001) {
                oci_write_log(s, u"\n---\nerror in oci_del_cursor:\n");
                oci_get_cda_error(s, c, msg);
            }
        }
    }
    oci_free_cursor_bufs(c);
    if (c->stmt) g_oci.OCIHandleFree(c->stmt, OCI_HTYPE_STMT);
    *c = OraCursor{};
    return rc;
}

int oci_bind_cursor(OraSession* s, OraCursor* c, const char* name, void* value, int size, int type, sb2* ind,
                    int charset_form, CString* msg) {
    if (Oci7(s)) {
        if (g_oci.obndra(ora_cda(c), reinterpret_cast<OraText*>(const_cast<char*>(name)), -1,
                         static_cast<ub1*>(value), size, type, -1, ind, nullptr, nullptr, 0, nullptr, nullptr,
                         -1, -1) != 0) {
            oci_write_log(s, u"\n---\nerror in oci_bind_cursor: \n");
            oci_get_cda_error(s, c, msg);
            return ORARC_ORACLE_ERROR;
        }
        return ORARC_OK;
    }
    OCIBind* bind = nullptr;
    if (g_oci.OCIBindByName(c->stmt, &bind, s->err, reinterpret_cast<const OraText*>(name),
                            sb4(std::strlen(name)), value, size, ub2(type), ind, nullptr, nullptr, 0, nullptr,
                            OCI_DEFAULT) != OCI_SUCCESS) {
        oci8_get_stmt_error(s, c, msg);
        oci_write_log(s, u"\n---\nerror in oci8_bind_cursor:\n");
        return ORARC_ORACLE_ERROR;
    }
    if (type == SQLT_STR && g_oci_code_page == 65001 && charset_form == SQLCS_NCHAR) {
        ub1 form = SQLCS_NCHAR;
        if (g_oci.OCIAttrSet(bind, OCI_HTYPE_BIND, &form, 0, OCI_ATTR_CHARSET_FORM, s->err) != OCI_SUCCESS) {
            oci8_get_stmt_error(s, c, msg);
            oci_write_log(s, u"\n---\nerror in oci8_bind_cursor:\n");
            return ORARC_ORACLE_ERROR;
        }
    }
    return ORARC_OK;
}

int oci_new_bind_node(OraCursor* c, const char16_t* name, const void* value, int size, int kind,
                      CString* msg) {
    int name_len = oci_wide_to_mb(name, nullptr, 0);
    int value_len = 0;
    if (kind == 5) value_len = oci_wide_to_mb(static_cast<const char16_t*>(value), nullptr, 0);
    if (name_len <= 0 || (kind == 5 && value_len <= 0)) {
        Failed(msg, u"oci_new_bind_node()");
        return ORARC_FAILED;
    }
    char* p = static_cast<char*>(malloc(sizeof(OraBindNode) + size_t(name_len) + size_t(value_len)));
    if (!p) {
        NoMemory(msg);
        return ORARC_NO_MEMORY;
    }
    OraBindNode* node = reinterpret_cast<OraBindNode*>(p);
    node->name = p + sizeof(OraBindNode);
    oci_wide_to_mb(name, node->name, name_len);
    if (kind == 5) {
        node->value = node->name + name_len;
        oci_wide_to_mb(static_cast<const char16_t*>(value), static_cast<char*>(node->value), value_len);
        node->value_size = value_len;
    } else {
        node->value = const_cast<void*>(value);
        node->value_size = size;
    }
    node->next = c->binds;
    c->binds = node;
    return ORARC_OK;
}

int oci_bind_int(OraSession* s, OraCursor* c, const char16_t* name, int* value, CString* msg) {
    int rc = oci_new_bind_node(c, name, value, sizeof(int), 3, msg);
    if (rc != ORARC_OK) return rc;
    return oci_bind_cursor(s, c, c->binds->name, value, sizeof(int), SQLT_INT, nullptr, SQLCS_IMPLICIT, msg);
}

int oci_bind_str_csform(OraSession* s, OraCursor* c, const char16_t* name, const char16_t* value,
                        int charset_form, CString* msg) {
    if (!value) value = u"";
    int rc = oci_new_bind_node(c, name, value, 0, 5, msg);
    if (rc == ORARC_FAILED) Failed(msg, u"oci_bind_str()");
    if (rc != ORARC_OK) return rc;
    return oci_bind_cursor(s, c, c->binds->name, c->binds->value, c->binds->value_size, SQLT_STR, nullptr,
                           charset_form, msg);
}

int oci_bind_str(OraSession* s, OraCursor* c, const char16_t* name, const char16_t* value, CString* msg) {
    int form = SQLCS_IMPLICIT;
    if (g_oci_code_page == 65001 && value && *value) {
        // A character outside the system code page goes through the national
        // character set.
        if (!oci_wide_fits_acp(value)) form = SQLCS_NCHAR;
    }
    return oci_bind_str_csform(s, c, name, value, form, msg);
}

int oci_bind_rowid(OraSession* s, OraCursor* c, char* rowid, int size, CString* msg) {
    int rc = oci_new_bind_node(c, u":rid", rowid, size, 3, msg);
    if (rc != ORARC_OK) return rc;
    return oci_bind_cursor(s, c, c->binds->name, rowid, size, SQLT_STR, nullptr, SQLCS_NCHAR, msg);
}

int oci_cre_array_dml_cursor(OraSession* s, OraCursor* c, OraTableDef* def, const char16_t* sql,
                             CString* msg) {
    for (int i = 0; i < c->col_count; ++i) {
        OraColumnDesc& d = c->desc[i];
        const OraTableColumn* found = nullptr;
        for (int j = 0; def && j < def->col_count && !found; ++j)
            if (std::strcmp(def->columns[j].desc.name, d.name) == 0) found = &def->columns[j];
        if (!found) {
            char16_t wname[256];
            wname[0] = 0;
            g_mb_to_wide(d.name, wname, 256);
            if (msg) msg->Format(u"項目が存在しません(項目名:%s)\n", wname);
            return ORARC_NO_COLUMN;
        }
        d = found->desc;
    }
    int rc = oci_cre_cursor(s, c, sql, msg);
    if (rc != ORARC_OK) return rc;
    rc = oci_alloc_fetch_bufs(c, 50, msg);
    if (rc != ORARC_OK) return rc;
    for (int i = 0; i < c->col_count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, ":X%d", i);
        rc = oci_bind_cursor(s, c, name, c->data[i], c->desc[i].buffer_size, SQLT_STR, c->ind[i],
                             c->desc[i].charset_form, msg);
        if (rc != ORARC_OK) return rc;
    }
    return ORARC_OK;
}
