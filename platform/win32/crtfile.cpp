#include <windows.h>

#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// UTF-8 form of a path, with every backslash turned into a slash.
std::string nativePath(LPCWSTR s) {
    std::string out;
    for (; s && *s; ++s) {
        uint32_t c = *s;
        if (c >= 0xD800 && c <= 0xDBFF && s[1] >= 0xDC00 && s[1] <= 0xDFFF) {
            c = 0x10000 + ((c & 0x3FF) << 10) + (s[1] & 0x3FF);
            ++s;
        }
        if (c == '\\') c = '/';
        Utf8AppendCodePoint(out, c);
    }
    return out;
}

} // namespace

FILE* _wfopen(LPCWSTR path, LPCWSTR mode) {
    if (!path || !mode) return nullptr;
    std::string m;
    for (; *mode; ++mode) {
        if (*mode >= 0x80) return nullptr;
        m += static_cast<char>(*mode);
    }
    FILE* f = fopen(nativePath(path).c_str(), m.c_str());
    // A directory is no file: reading mode would open it here and fail only
    // at the first read. It is refused in every mode, with EACCES.
    struct stat st;
    if (f && fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        fclose(f);
        errno = EACCES;
        return nullptr;
    }
    return f;
}

int _waccess(LPCWSTR path, int mode) {
    if (!path) return -1;
    int how = F_OK;
    if (mode & 2) how |= W_OK;
    if (mode & 4) how |= R_OK;
    return access(nativePath(path).c_str(), how) == 0 ? 0 : -1;
}
