// The per-user registry stand-in: HKEY_CURRENT_USER and HKEY_CLASSES_ROOT
// trees of REG_DWORD and REG_SZ values (names compare case-insensitively) in
// one file, $XDG_CONFIG_HOME/tavrelix/registry.reg ($HOME/.config when the
// variable is unset, empty or relative), mode 0600, written in the .reg text
// form as UTF-8. Every change locks the directory, re-reads the file, applies
// itself and renames a new file over the old, so two running programs lose
// nothing.
#pragma once

#include <string>

#include "win32/types.h"

struct HKEY__;
typedef HKEY__* HKEY;
typedef HKEY* PHKEY;
typedef LONG LSTATUS;
typedef DWORD REGSAM;

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)0x80000000)
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)0x80000001)

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F
#define REG_OPTION_NON_VOLATILE 0
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2

#ifndef ERROR_MORE_DATA
#define ERROR_MORE_DATA 234
#endif
#ifndef ERROR_NO_MORE_ITEMS
#define ERROR_NO_MORE_ITEMS 259
#endif
#ifndef ERROR_BADKEY
#define ERROR_BADKEY 1010
#endif

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR cls, DWORD options, REGSAM sam,
                        void* security, PHKEY result, LPDWORD disposition);
LSTATUS RegCreateKeyW(HKEY key, LPCWSTR subKey, PHKEY result);
LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM sam, PHKEY result);
LSTATUS RegOpenKeyW(HKEY key, LPCWSTR subKey, PHKEY result);
LSTATUS RegCloseKey(HKEY key);
// size in bytes, the terminator of a string included.
LSTATUS RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);
LSTATUS RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
// Sets a value of key\subKey, making the subkey (and those above it) when
// missing, in one change of the file.
LSTATUS RegSetKeyValueW(HKEY key, LPCWSTR subKey, LPCWSTR name, DWORD type, const void* data, DWORD size);
LSTATUS RegDeleteValueW(HKEY key, LPCWSTR name);
// Fails (ERROR_ACCESS_DENIED) while the key has subkeys.
LSTATUS RegDeleteKeyW(HKEY key, LPCWSTR subKey);
// The default (unnamed) string of a subkey; *size in bytes.
LSTATUS RegQueryValueW(HKEY key, LPCWSTR subKey, LPWSTR data, LONG* size);
LSTATUS RegSetValueW(HKEY key, LPCWSTR subKey, DWORD type, LPCWSTR data, DWORD size);
LSTATUS RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD reserved, LPWSTR cls,
                      LPDWORD clsSize, void* lastWrite);

namespace win32reg {
// The directory of the program's per-user files: $XDG_CONFIG_HOME/tavrelix
// by the base-directory rules (UTF-8, no trailing slash).
std::string ConfigDir();
// The registry file's path.
std::string RegistryPath();
} // namespace win32reg
