// Resources: the tables the resource compiler emits, found with the Win32
// resource calls. Each resource's bytes are in Windows' binary layout (string
// blocks of 16 counted strings, dialog templates, menu templates, ...).
// Compiled tables register themselves at start-up; a table of a higher
// priority hides a resource of the same type and name in a lower one, so the
// program's script overrides the framework's strings.
#pragma once

#include <cstddef>

#include "win32/types.h"

struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
struct HRSRC__;
typedef HRSRC__* HRSRC;
typedef HANDLE HGLOBAL;

#ifndef MAKEINTRESOURCEW
#define MAKEINTRESOURCEW(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))
#endif
#ifndef IS_INTRESOURCE
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)
#endif
#define MAKEINTRESOURCE MAKEINTRESOURCEW

#define RT_CURSOR MAKEINTRESOURCEW(1)
#define RT_BITMAP MAKEINTRESOURCEW(2)
#define RT_ICON MAKEINTRESOURCEW(3)
#define RT_MENU MAKEINTRESOURCEW(4)
#define RT_DIALOG MAKEINTRESOURCEW(5)
#define RT_STRING MAKEINTRESOURCEW(6)
#define RT_ACCELERATOR MAKEINTRESOURCEW(9)
#define RT_RCDATA MAKEINTRESOURCEW(10)
#define RT_GROUP_ICON MAKEINTRESOURCEW(14)
#define RT_VERSION MAKEINTRESOURCEW(16)
#define RT_DLGINIT MAKEINTRESOURCEW(240)
#define RT_TOOLBAR MAKEINTRESOURCEW(241)

// Finds a resource of any registered table; the module is not consulted (all
// resources belong to the executable). Null with ERROR_RESOURCE_NAME_NOT_FOUND
// or ERROR_RESOURCE_TYPE_NOT_FOUND when none matches. String names compare
// case-insensitively.
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC res);
LPVOID LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC res);
BOOL FreeResource(HGLOBAL data);
// Copies string id into buffer (at most max - 1 units, terminated) and gives
// the units copied; max 0 stores a read-only pointer to the string (not
// terminated) in *(LPCWSTR*)buffer and gives its length. 0 when there is no
// such string.
int LoadStringW(HINSTANCE inst, UINT id, LPWSTR buffer, int max);

namespace win32rc {

// One compiled resource. Exactly one of typeId / typeName and of id / name is
// used: a name of null means the numeric form.
struct Resource {
    WORD typeId;
    const char16_t* typeName;
    WORD id;
    const char16_t* name;
    const BYTE* data;
    DWORD size;
};

// Priority of the framework's own tables; the program's tables use kProgram.
constexpr int kFramework = 0;
constexpr int kProgram = 10;

// Adds a table (which must outlive every lookup); returns true so it can
// initialise a static. Later registrations of the same priority win.
bool RegisterResources(const Resource* table, size_t count, int priority);
// Removes a table registered earlier (tests load and drop scripts).
void UnregisterResources(const Resource* table);

} // namespace win32rc
