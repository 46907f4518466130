// Moving, replacing and deleting files by name. '\' and '/' both separate
// directories. Failures return FALSE with the reason in GetLastError.
#pragma once

#include "win32/types.h"

#define MOVEFILE_REPLACE_EXISTING 0x00000001
#define MOVEFILE_COPY_ALLOWED 0x00000002
#define MOVEFILE_WRITE_THROUGH 0x00000008

#define REPLACEFILE_WRITE_THROUGH 0x00000001
#define REPLACEFILE_IGNORE_MERGE_ERRORS 0x00000002

#define ERROR_NOT_SAME_DEVICE 17
#define ERROR_GEN_FAILURE 31
#define ERROR_HANDLE_DISK_FULL 39
#define ERROR_FILE_EXISTS 80
#define ERROR_DISK_FULL 112
#define ERROR_ALREADY_EXISTS 183
#define ERROR_FILENAME_EXCED_RANGE 206
#define ERROR_UNABLE_TO_MOVE_REPLACEMENT 1176

// Renames existing to newName, on the same file system (a copy across file
// systems is not made: ERROR_NOT_SAME_DEVICE). Without
// MOVEFILE_REPLACE_EXISTING an existing newName fails with
// ERROR_ALREADY_EXISTS; with it a file is replaced in one step, a directory
// never (ERROR_ACCESS_DENIED). MOVEFILE_WRITE_THROUGH returns only when the
// new name is on the disk.
BOOL MoveFileExW(LPCWSTR existing, LPCWSTR newName, DWORD flags);

// Puts replacement in the place of replaced in one step: the file at
// replaced's name then holds replacement's content and keeps replaced's
// permissions and, where the caller may set it, its owner. A replaced name
// that is a symbolic link has the file it points to replaced. replaced must
// exist (ERROR_FILE_NOT_FOUND) and be writable (ERROR_ACCESS_DENIED). On
// failure replaced is as it was and replacement still exists
// (ERROR_UNABLE_TO_MOVE_REPLACEMENT). The new name is on the disk when the
// call returns. backup must be null.
BOOL ReplaceFileW(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags, LPVOID exclude,
                  LPVOID reserved);

// Removes a file; a directory is refused (ERROR_ACCESS_DENIED), a missing name
// gives ERROR_FILE_NOT_FOUND.
BOOL DeleteFileW(LPCWSTR path);
