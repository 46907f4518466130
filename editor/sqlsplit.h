// Cutting an SQL script held in a text buffer into classified statements.
#pragma once

#include <cstddef>
#include <cstdint>

class CStrToken;
class CEditData;

// The growable statement buffer.
struct SqlBuf {
    CStrToken* tokenizer; // whose syntax the splitter reads by; not owned
    char16_t* text;       // the statement, lines joined by LF
    int32_t capacity;     // characters
    char16_t* firstToken; // past blanks, comments and REM lines; null when none
    int32_t kind;         // 0 other, 1 PL/SQL block, 2 query, 3 client command, 4 script call, 5 freed
};

// Makes the text hold more than n characters; the text, or null (with a
// message box) when memory runs out.
char16_t* AllocSqlBuf(SqlBuf* buf, int64_t n);
void FreeSqlBuf(SqlBuf* buf);

// Takes the statement that starts at line firstLine into buf. The line to
// pass to the next call (the line count when the script is used up), or -1
// when memory ran out.
int GetNextSqlStatement(SqlBuf* buf, int firstLine, CEditData* data);

// The first token of text past blanks, "--" and block comments and, with
// rem, REM lines; null when there is none.
char16_t* sql_skip_to_token(const CStrToken* tokenizer, char16_t* text, int rem);

// Test seam: replaces realloc for the statement buffer when set.
extern void* (*sqlbuf_realloc_hook)(void* block, size_t bytes);
