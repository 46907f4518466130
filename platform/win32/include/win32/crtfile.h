// C-runtime file calls with UTF-16 paths. Paths are stored as UTF-8 on disk;
// '\' and '/' both separate directories.
#pragma once

#include <cstdio>

#include "win32/types.h"

// Opens a stream; mode is "rb", "wb" or another fopen mode. NULL on failure,
// and for a directory in any mode.
FILE* _wfopen(LPCWSTR path, LPCWSTR mode);

// Mode 0 tests existence (files and directories); 2 write, 4 read, 6 both.
// 0 when the test passes, -1 otherwise.
int _waccess(LPCWSTR path, int mode);
