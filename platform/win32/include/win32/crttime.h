// C-runtime clock, local time, time formatting, file status and environment
// calls with UTF-16 text. Text reaches the system as UTF-8.
#pragma once

#include <cstdint>
#include <ctime>
#include <sys/stat.h>

#include "win32/types.h"

typedef int64_t __time64_t;

// Seconds since 1970-01-01 00:00 UTC; also stored through t when not null.
__time64_t _time64(__time64_t* t);

// Local broken-down time (zone from TZ) in a per-thread buffer; null for a
// negative time, one beyond 3000-12-31 23:59:59 UTC, or a failed conversion.
struct tm* _localtime64(const __time64_t* t);

// Formats by the C locale's rules; the units written without the NUL, or 0
// when the text (with its NUL) does not fit in max units.
size_t wcsftime(char16_t* out, size_t max, const char16_t* format, const struct tm* tm);

// File status; the times are seconds since 1970 (st_ctime the change time).
// The C library spells st_atime, st_mtime and st_ctime as macros naming a
// member's seconds; the members here are laid out so those spellings read
// the times.
struct _stat64_time {
    __time64_t tv_sec;
};
struct _stat64 {
    uint32_t st_dev;
    uint16_t st_ino;
    uint16_t st_mode;
    int16_t st_nlink;
    int16_t st_uid;
    int16_t st_gid;
    uint32_t st_rdev;
    int64_t st_size;
    _stat64_time st_atim;
    _stat64_time st_mtim;
    _stat64_time st_ctim;
};
// 0 on success, -1 when the path cannot be examined.
int _wstat64(const char16_t* path, struct _stat64* out);

// The value of an environment variable, or null. The text stays valid until
// the next call on the same thread.
char16_t* _wgetenv(const char16_t* name);
