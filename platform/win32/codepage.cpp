#include <windows.h>

// Interim converters: ASCII only until the code-page tables land.
int MultiByteToWideChar(UINT, DWORD, LPCSTR src, int srcLen, LPWSTR dst, int dstLen) {
    if (!src || srcLen == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = 0;
    if (srcLen < 0) {
        while (src[n]) ++n;
        ++n;
    } else {
        n = static_cast<size_t>(srcLen);
    }
    if (dstLen == 0) return static_cast<int>(n);
    if (static_cast<size_t>(dstLen) < n) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    for (size_t i = 0; i < n; ++i) {
        unsigned char b = static_cast<unsigned char>(src[i]);
        dst[i] = b < 0x80 ? b : u'\x30FB';
    }
    return static_cast<int>(n);
}

int WideCharToMultiByte(UINT, DWORD, LPCWSTR src, int srcLen, LPSTR dst, int dstLen, LPCSTR, LPBOOL used) {
    if (!src || srcLen == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = 0;
    if (srcLen < 0) {
        while (src[n]) ++n;
        ++n;
    } else {
        n = static_cast<size_t>(srcLen);
    }
    if (used) *used = FALSE;
    if (dstLen == 0) return static_cast<int>(n);
    if (static_cast<size_t>(dstLen) < n) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    for (size_t i = 0; i < n; ++i) dst[i] = src[i] < 0x80 ? static_cast<char>(src[i]) : '?';
    return static_cast<int>(n);
}

UINT GetACP() {
    return 932;
}

BOOL IsDBCSLeadByte(BYTE b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

BOOL IsDBCSLeadByteEx(UINT, BYTE b) {
    return IsDBCSLeadByte(b);
}
