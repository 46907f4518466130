// Run-time loading of shared libraries with the Win32 module calls.
// "NAME.DLL" is looked for as "libname.so" (lower case): first in the directory
// set by SetDllDirectoryW, then beside the executable, then along the system's
// library search path.
#pragma once

#include <string>

#include "win32/types.h"

struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef INT_PTR (*FARPROC)();

// Sets the first directory searched by LoadLibraryW; null or "" clears it.
BOOL SetDllDirectoryW(LPCWSTR path);
// Null when no candidate loads (last error ERROR_MOD_NOT_FOUND).
HMODULE LoadLibraryW(LPCWSTR name);
// Null for a name the library does not export (last error ERROR_PROC_NOT_FOUND).
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);
// The absolute path of the loaded file (the executable for a null module).
// A path that does not fit is cut to size - 1 characters and terminated; the
// result is then size, with ERROR_INSUFFICIENT_BUFFER. Otherwise the length
// without the terminator.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);

// The library file name LoadLibraryW looks for: "OCI.DLL" -> "liboci.so".
std::u16string ModuleFileNameFor(LPCWSTR name);
