// UTF-16 string functions over char16_t with the wide C runtime's meanings.
// They carry the wide CRT's names, overloaded for char16_t (the C++ wide character type is 32 bits
// here and is never used for text). No locale is involved anywhere: case
// folding is ASCII only and numbers are read from ASCII digits with '.'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "win32/types.h"

size_t wcslen(const char16_t* s);
size_t wcsnlen(const char16_t* s, size_t max);
char16_t* wcscpy(char16_t* dst, const char16_t* src);
char16_t* wcsncpy(char16_t* dst, const char16_t* src, size_t n);
// Copies at most size - 1 units and always terminates; returns 0, or an errno
// value (and an empty dst) when src does not fit, as wcscpy_s/wcsncpy_s do.
int wcscpy_s(char16_t* dst, size_t size, const char16_t* src);
int wcsncpy_s(char16_t* dst, size_t size, const char16_t* src, size_t count);
int wcscat_s(char16_t* dst, size_t size, const char16_t* src);
char16_t* wcscat(char16_t* dst, const char16_t* src);
int wcscmp(const char16_t* a, const char16_t* b);
int wcsncmp(const char16_t* a, const char16_t* b, size_t n);
int _wcsicmp(const char16_t* a, const char16_t* b);
int _wcsnicmp(const char16_t* a, const char16_t* b, size_t n);
const char16_t* wcschr(const char16_t* s, char16_t c);
char16_t* wcschr(char16_t* s, char16_t c);
const char16_t* wcsrchr(const char16_t* s, char16_t c);
char16_t* wcsrchr(char16_t* s, char16_t c);
const char16_t* wcsstr(const char16_t* s, const char16_t* find);
char16_t* wcsstr(char16_t* s, const char16_t* find);
size_t wcsspn(const char16_t* s, const char16_t* accept);
size_t wcscspn(const char16_t* s, const char16_t* reject);
char16_t* _wcsupr(char16_t* s);
char16_t* _wcslwr(char16_t* s);
char16_t* _wcsdup(const char16_t* s); // free() it
int _wtoi(const char16_t* s);
long long _wtoi64(const char16_t* s);
long wcstol(const char16_t* s, char16_t** end, int base);
unsigned long wcstoul(const char16_t* s, char16_t** end, int base);
long long _wcstoi64(const char16_t* s, char16_t** end, int base);
unsigned long long _wcstoui64(const char16_t* s, char16_t** end, int base);
double wcstod(const char16_t* s, char16_t** end);
double _wtof(const char16_t* s);
int iswspace16(char16_t c);
int iswdigit16(char16_t c);
char16_t towupper16(char16_t c); // ASCII only
char16_t towlower16(char16_t c); // ASCII only

// UTF-16 <-> UTF-8 for output and file names (lone surrogates become U+FFFD).
// Utf8AppendCodePoint writes one code point (up to U+10FFFF) as 1 to 4 bytes.
void Utf8AppendCodePoint(std::string& out, uint32_t cp);
std::string WideToUtf8(const char16_t* s, ptrdiff_t len = -1);
std::u16string Utf8ToWide(const char* s, ptrdiff_t len = -1);
