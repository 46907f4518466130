// File attributes: GetFileAttributesW over stat. '\' and '/' both separate
// directories.
#pragma once

#include "win32/types.h"

#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_DEVICE 0x00000040
#define FILE_ATTRIBUTE_NORMAL 0x00000080

// FILE_ATTRIBUTE_DIRECTORY for a directory, FILE_ATTRIBUTE_NORMAL for a file
// and FILE_ATTRIBUTE_DEVICE for a device, pipe or socket (either with
// FILE_ATTRIBUTE_READONLY when it cannot be written), INVALID_FILE_ATTRIBUTES
// with ERROR_FILE_NOT_FOUND when nothing exists.
DWORD GetFileAttributesW(LPCWSTR path);
