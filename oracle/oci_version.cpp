#include <vector>

#include "oracle/oci_api.h"

namespace {

// Reads "%d.%d.%d.%d" as sscanf does; true when all four numbers are there.
bool ParseVersion(const char16_t* s, int v[4]) {
    for (int i = 0; i < 4; ++i) {
        while (*s == u' ' || *s == u'\t') ++s;
        bool neg = false;
        if (*s == u'-' || *s == u'+') neg = *s++ == u'-';
        if (*s < u'0' || *s > u'9') return false;
        long long n = 0;
        while (*s >= u'0' && *s <= u'9') {
            if (n < 100000000) n = n * 10 + (*s - u'0');
            ++s;
        }
        v[i] = int(neg ? -n : n);
        if (i < 3 && *s++ != u'.') return false;
    }
    return true;
}

} // namespace

double oci_get_dll_version(CString* version) {
    if (!g_oci_module) return 0;
    char16_t path[MAX_PATH + 1] = {};
    if (GetModuleFileNameW(g_oci_module, path, MAX_PATH) == 0 || !path[0]) return 0;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (size == 0) return 0;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path, 0, size, block.data())) return 0;
    LPVOID value = nullptr;
    UINT len = 0;
    if (!VerQueryValueW(block.data(), u"\\StringFileInfo\\040904b0\\ProductVersion", &value, &len) &&
        !VerQueryValueW(block.data(), u"\\StringFileInfo\\040904b0\\FileVersion", &value, &len))
        return 0;
    const char16_t* text = static_cast<const char16_t*>(value);
    if (!text) return 0;
    if (version) *version = text;
    int v[4];
    if (!ParseVersion(text, v)) return 0;
    return v[0] + v[1] / 10.0;
}
