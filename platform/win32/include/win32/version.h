// File version resources. Our shared libraries carry their version block in an
// ELF section named ".winver": NUL-terminated UTF-8 lines "Key=Value"
// (ProductVersion, FileVersion). GetFileVersionInfoW copies them into a block
// from which VerQueryValueW answers "\StringFileInfo\<lang-cp>\<Key>".
#pragma once

#include "win32/types.h"

#define WIN32_VERSION_SECTION ".winver"

DWORD GetFileVersionInfoSizeW(LPCWSTR fileName, LPDWORD handle);
BOOL GetFileVersionInfoW(LPCWSTR fileName, DWORD handle, DWORD len, LPVOID data);
BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, UINT* len);
