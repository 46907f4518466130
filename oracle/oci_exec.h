// Statement execution: blocking, or non-blocking and polled while a progress
// dialog may cancel it, and the select driver with its single-value queries
// and table definitions.
#pragma once

#include <cstdarg>

#include "oracle/oci_api.h"

struct OraDataset;

// Waits while a paused dialog (state 2) awaits its answer; true when cancel
// was requested. A null cancel never cancels.
bool oci_cancel_requested(CancelState* cancel);
// The server's non-blocking mode (Oracle 8 calls): 0 on success, -1 failed.
int oci8_set_nonblocking(OraSession* s, int on);

// Execution. A null cancel runs the call blocking.
int oci_exec_non_block_cursor(OraSession* s, OraCursor* c, CString* msg, CancelState* cancel);
int oci8_exec_non_block_cursor(OraSession* s, OraCursor* c, CString* msg, CancelState* cancel, int fetch,
                               int iterations);
int oci_exec_cursor(OraSession* s, OraCursor* c, CString* msg);
int oci_exec_sql(OraSession* s, const char16_t* sql, CString* msg);
// Letters "S" (UTF-16 string) and "I" (int*), bound as ":X0", ":X1", ...
int oci_exec_sql_bind(OraSession* s, const char16_t* sql, CString* msg, void* unused, CancelState* cancel,
                      const char* letters, ...);
int oci_exec_sql_bind_v(OraSession* s, const char16_t* sql, CString* msg, void* unused, CancelState* cancel,
                        const char* letters, va_list args);
// Binds the values of args by letters "S", "I" and "A" as ":X0", ":X1", ...
int oci_bind_letters(OraSession* s, OraCursor* c, const char* letters, va_list args, CString* msg);
int oci8_cur_get_row_cnt(OraSession* s, OraCursor* c, int* rows, CString* msg);

// Fetching.
int oci_fetch_sel_cursor(OraSession* s, OraCursor* c, CString* msg);
int oci8_fetch_sel_cursor(OraSession* s, OraCursor* c, CString* msg, CancelState* cancel);
// Oracle 7 define of every described column into the fetch buffers.
int oci7_define_cursor(OraSession* s, OraCursor* c, CString* msg);

// The select driver. Letters "S" (string), "I" (int*), "A" (array of
// strings, count).
int oci_cre_sel_cursor(OraSession* s, OraDataset* ds, const char16_t* sql, int rows, CString* msg, HWND wnd,
                       CancelState* cancel, const char* letters, va_list args);
int oci_sel_dataset_with_cancel(OraSession* s, OraDataset* ds, const char16_t* sql, int rows, CString* msg,
                                HWND wnd, CancelState* cancel, const char* letters, ...);
int oci_sel_dataset(OraSession* s, OraDataset* ds, const char16_t* sql, int rows, CString* msg,
                    const char* letters, ...);
int oci_get_sysdate(char16_t* value);

int oci_get_table_def2(OraSession* s, OraTableDef* def, const char16_t* sql, const char16_t* table,
                       CString* msg);
int oci_get_table_def_with_rowid(OraSession* s, OraTableDef* def, const char16_t* table, CString* msg);
int oci_get_table_def(OraSession* s, OraTableDef* def, const char16_t* table, CString* msg);
