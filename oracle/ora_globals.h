// Process-wide state of the Oracle access layer and the application settings it
// reads. The application sets these at start-up and after every logon; the
// layer reads them everywhere.
#pragma once

#include <atomic>

#include <windows.h>

struct OraSession;

// Result codes shared by every caller of the layer.
enum : int {
    ORARC_OK = 0,
    ORARC_INIT_FAILED = 1,
    ORARC_CANCELLED = 9,
    ORARC_NO_MEMORY = 11,
    ORARC_FILE_OPEN = 12,
    ORARC_ORACLE_ERROR = 13,
    ORARC_UNSUPPORTED_TYPE = 14,
    ORARC_NO_COLUMN = 15,
    ORARC_NOT_NULL = 19, // a NULL value for a NOT NULL column
    ORARC_TOO_LONG = 20, // a value longer than its column, or malformed
    ORARC_FAILED = 21,
    ORARC_PLSQL_COMPILE = 23,
    ORARC_BAD_BIND_ARGS = 25,
    ORARC_TOO_MANY_COLUMNS = 26,
    ORARC_NO_LIBRARY = 30,
    ORARC_CONNECT_TOO_LONG = 33,
    ORARC_NO_ROW = 40,
};

// Cancel state of a worker's progress dialog: 0 running, 1 cancel requested,
// 2 while the dialog asks whether to cancel. Written by the UI thread, read by
// the worker at every poll.
using CancelState = std::atomic<int>;

// Messages of the query thread to its progress dialog.
#define QPM_SETTEXT 0x8065     // wParam: line 0 or 1, lParam: wide text (sent)
#define QPM_ROWSFETCHED 0x8067 // lParam: rows fetched so far (posted)

// Converter from Oracle text to UTF-16 (see oci_conv.h).
typedef int (*OciMbToWideFunc)(const char* mb, char16_t* buf, int size);

extern OraSession* g_session;        // the current session, null while not connected
extern int g_use_oci7_api;           // 1 when the current logon asked for the Oracle 7 calls
extern int g_oci_long_read_size;     // bytes fetched of a LONG value (1..16777216)
extern int g_oci_clob_read_size;     // bytes of a CLOB shown after a fetch (1..16777216)
extern OciMbToWideFunc g_mb_to_wide; // oci_mb_to_wide or oci_mb_to_wide_tilde
extern int g_oci_code_page;          // 65001 for UTF-8, else 0 (CP932)
extern char g_oci_date_format[101];  // DATE format of object attributes, at most 100 bytes
extern int g_oci_reprepare;          // 1: prepare every statement again after describing it

// Client library state (oci_lib.cpp).
extern HMODULE g_oci_module;
extern int g_oci8_available;
extern int g_oci_object_api;
extern void* g_oci_env; // OCIEnv*
extern int g_oci_env_ready;

#define ORA_LONG_READ_SIZE_DEFAULT 65536
#define ORA_CLOB_READ_SIZE_DEFAULT 4096
#define ORA_DATE_FORMAT_DEFAULT "YYYY-MM-DD HH24:MI:SS"

// Restores every global of the layer to its initial value (tests only; the
// library is not unloaded and the environment not freed).
void oci_reset_globals_for_test();
