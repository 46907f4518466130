// Reading a fetched CLOB value into a text buffer, so that it can be edited
// as text. Lives with the editor because it fills a CEditData.
#pragma once

#include <afx.h>

#include "oracle/oci_api.h"

class CEditData;

// Reads the whole value into data at its caret, piece by piece, then puts the
// caret at the start, empties the undo history and marks the buffer saved.
// The first line break of the value sets the buffer's line-end type (CR LF
// when there is none). A NULL value leaves the buffer untouched.
// Returns ORARC_OK, ORARC_NO_MEMORY (after the out-of-memory box) or
// ORARC_ORACLE_ERROR (logged, the Oracle message in msg).
int oci_read_clob_data(OraSession* s, CEditData* data, const OraLobValue* lob, CString* msg);

// Bytes at the end of p[0..n) that begin a character not complete within n,
// in the session's code page, the characters read from the start of p (a
// lead byte takes as many bytes as it announces, whatever they are).
size_t clobread_incomplete_tail(const char* p, size_t n);

// Test seams, never set by the program: the bytes asked for per piece (at
// least 4; 0 means the default of 1 MiB), an allocation failure, and a
// replacement for the insertion at the caret.
extern int g_clobread_piece_bytes;
extern int g_clobread_fail_alloc;
extern int (*g_clobread_insert_hook)(CEditData* data, const char16_t* text);
