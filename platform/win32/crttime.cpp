// Clock, local time, formatting, file status and environment over glibc.
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace {
constexpr __time64_t kLastTime = 32535215999; // 3000-12-31 23:59:59 UTC
}

__time64_t _time64(__time64_t* t) {
    __time64_t now = static_cast<__time64_t>(::time(nullptr));
    if (t) *t = now;
    return now;
}

struct tm* _localtime64(const __time64_t* t) {
    static thread_local struct tm result;
    if (!t || *t < 0 || *t > kLastTime) return nullptr;
    time_t v = static_cast<time_t>(*t);
    tzset();
    if (!localtime_r(&v, &result)) return nullptr;
    return &result;
}

size_t wcsftime(char16_t* out, size_t max, const char16_t* format, const struct tm* tm) {
    if (!out || max == 0 || !format || !tm) return 0;
    std::string fmt = WideToUtf8(format);
    // Room for the formatted text in UTF-8: at most three bytes per unit.
    std::string buffer(max * 3 + 16, '\0');
    size_t n = fmt.empty() ? 0 : ::strftime(buffer.data(), buffer.size(), fmt.c_str(), tm);
    if (n == 0 && !fmt.empty()) {
        out[0] = 0;
        return 0;
    }
    std::u16string text = Utf8ToWide(buffer.data(), static_cast<ptrdiff_t>(n));
    if (text.size() + 1 > max) {
        out[0] = 0;
        return 0;
    }
    for (size_t i = 0; i < text.size(); ++i) out[i] = text[i];
    out[text.size()] = 0;
    return text.size();
}

int _wstat64(const char16_t* path, struct _stat64* out) {
    if (!path || !out) {
        errno = EINVAL;
        return -1;
    }
    std::string p = WideToUtf8(path);
    for (char& c : p) {
        if (c == '\\') c = '/';
    }
    struct stat st;
    if (::stat(p.c_str(), &st) != 0) return -1;
    *out = {};
    out->st_mode = static_cast<uint16_t>(st.st_mode);
    out->st_nlink = static_cast<int16_t>(st.st_nlink);
    out->st_size = static_cast<int64_t>(st.st_size);
    out->st_atime = static_cast<__time64_t>(st.st_atim.tv_sec);
    out->st_mtime = static_cast<__time64_t>(st.st_mtim.tv_sec);
    out->st_ctime = static_cast<__time64_t>(st.st_ctim.tv_sec);
    return 0;
}

char16_t* _wgetenv(const char16_t* name) {
    static thread_local std::u16string value;
    if (!name) return nullptr;
    const char* v = ::getenv(WideToUtf8(name).c_str());
    if (!v) return nullptr;
    value = Utf8ToWide(v);
    return value.data();
}
