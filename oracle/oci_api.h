// The Oracle access layer: client library, environment, sessions, error
// texts and the error log, cursors with binds, describe and define.
// Every operation returns an ORARC_* code and, when the caller gives a
// message, leaves a text for the user there.
#pragma once

#include <string>

#include <afx.h>

#include "oracle/oci_conv.h"
#include "oracle/ora_globals.h"
#include "oracle/ora_types.h"

// Client library and environment.
int oci_load_library(CString* msg);
int oci8_init_env(CString* msg);
double oci_get_dll_version(CString* version);

// Sessions.
int oci_login2(OraSession** session, const char16_t* user, const char16_t* password, const char16_t* service,
               const char16_t* log_path, int connect_mode, CString* msg, int* warning);
int oci_ora_logout(OraSession** session);
int oci_ora_rollback(OraSession* s, CString* msg);
int oci_ora_commit(OraSession* s, CString* msg);
int oci_set_api_mode(OraSession* s, int mode, CString* msg);
void oci8_free_handles(OraSession* s);
double oci_get_server_version(OraSession* s);

// Error texts and the log.
int oci_write_log_text(OraSession* s, const char16_t* text);
template <class... A> int oci_write_log(OraSession* s, const char16_t* fmt, const A&... a) {
    if (!s || !s->log_path || !s->log_path[0]) return 0;
    std::u16string text;
    fmt16::Append(text, fmt, a...);
    return oci_write_log_text(s, text.c_str());
}
int oci8_get_error(OraSession* s, CString* msg);
void oci8_get_stmt_error(OraSession* s, OraCursor* c, CString* msg);
void oci_get_lda_error(OraSession* s, CString* msg);
void oci_get_cda_error(OraSession* s, OraCursor* c, CString* msg);
const char* oci_format_error_pos(OraCursor* c, int offset, CString* msg, const char16_t* text);

// Cursors, buffers and binds.
int oci_cre_cursor(OraSession* s, OraCursor* c, const char16_t* sql, CString* msg);
int oci_del_cursor(OraSession* s, OraCursor* c, CString* msg);
int oci_alloc_col_desc(OraCursor* c, CString* msg);
int oci_alloc_fetch_bufs(OraCursor* c, int rows, CString* msg);
void oci_free_cursor_bufs(OraCursor* c);
void oci_free_lob_locators(OraCursor* c);
int oci_bind_cursor(OraSession* s, OraCursor* c, const char* name, void* value, int size, int type, sb2* ind,
                    int charset_form, CString* msg);
int oci_bind_int(OraSession* s, OraCursor* c, const char16_t* name, int* value, CString* msg);
int oci_bind_str(OraSession* s, OraCursor* c, const char16_t* name, const char16_t* value, CString* msg);
int oci_bind_str_csform(OraSession* s, OraCursor* c, const char16_t* name, const char16_t* value,
                        int charset_form, CString* msg);
// Binds ":rid" to the caller's buffer of size bytes for a returned row id
// (a logical row id of an index-organised table needs more than 24).
int oci_bind_rowid(OraSession* s, OraCursor* c, char* rowid, int size, CString* msg);
// kind 3 keeps the caller's value pointer; kind 5 stores value (UTF-16)
// converted to the Oracle code page. The node becomes the cursor's newest.
int oci_new_bind_node(OraCursor* c, const char16_t* name, const void* value, int size, int kind,
                      CString* msg);
int oci_cre_array_dml_cursor(OraSession* s, OraCursor* c, OraTableDef* def, const char16_t* sql,
                             CString* msg);

// Describe, define and type texts.
int oci_desc_cursor(OraSession* s, OraCursor* c, CString* msg);
int oci8_desc_cursor(OraSession* s, OraCursor* c, CString* msg);
int oci8_define_by_pos(OraSession* s, OraCursor* c, CString* msg);
// type_text holds 100 bytes, size_text 20.
int oci_get_col_type_str(OraSession* s, const OraColumnDesc* d, char* type_text, char* size_text,
                         CString* msg);

// Single-value query: the first column of a one-row result, at most size / 2 - 1
// characters. Bind letters "S" (UTF-16 string), "I" (int*), "A" (array, count).
int oci_sel_value(OraSession* s, const char16_t* sql, char16_t* value, int size, CString* msg,
                  const char* letters, ...);
