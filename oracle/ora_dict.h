// The fixed catalogue queries: object lists, column lists, key columns and
// session and database parameters.
#pragma once

#include <cstdarg>

#include "oracle/ora_dataset.h"

int oradict_sel_dataset(OraSession* s, OraDataset* ds, const char16_t* sql, int rows, CString* msg, HWND wnd,
                        CancelState* cancel, const char* letters, ...);
int oradict_vsel_dataset(OraSession* s, OraDataset* ds, const char16_t* sql, int rows, CString* msg, HWND wnd,
                         CancelState* cancel, const char* letters, va_list args);
int oradict_sel_objects(OraSession* s, const char16_t* owner, const char16_t* type, OraDataset* ds,
                        CString* msg, CancelState* cancel);
int oradict_sel_table_objects(OraSession* s, const char16_t* owner, const char16_t* type, OraDataset* ds,
                              CString* msg, CancelState* cancel);
int oradict_sel_columns(OraSession* s, const char16_t* owner, const char16_t* table, OraDataset* ds,
                        CString* msg);
int oradict_get_key_columns(OraSession* s, OraDataset* ds, const char16_t* owner, const char16_t* table,
                            CString* msg);
int oradict_get_iot_type(OraSession* s, const char16_t* owner, const char16_t* table, CString* msg);
int oradict_get_nls_session_param(OraSession* s, CString* value, const char16_t* name, CString* msg);
int oradict_set_nls_session_param(OraSession* s, const char16_t* value, const char16_t* name, CString* msg);
int oradict_get_session_timezone(CString* value, CString* msg);
int oradict_get_nls_db_param(CString* value, OraSession* s, const char16_t* name, CString* msg);
int oradict_get_sysdate_text(CString* value, const char16_t* format, CString* msg);

// Process-wide fallbacks of the column and table lists (tests reset them).
extern int g_oradict_no_char_used;
extern int g_oradict_no_char_decl;
extern int g_oradict_no_mview;
