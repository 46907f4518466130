#include <windows.h>

#include "win32/fileattr.h"

#include <string>
#include <sys/stat.h>
#include <unistd.h>

DWORD GetFileAttributesW(LPCWSTR path) {
    if (!path || !*path) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    std::u16string p(path);
    for (char16_t& c : p)
        if (c == u'\\') c = u'/';
    std::string native = WideToUtf8(p.c_str());
    struct stat st;
    if (stat(native.c_str(), &st) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
    DWORD attrs = S_ISREG(st.st_mode) ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_DEVICE;
    if (access(native.c_str(), W_OK) != 0) attrs |= FILE_ATTRIBUTE_READONLY;
    return attrs;
}
