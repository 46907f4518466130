#include "win32/profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "win32/codepage.h"
#include "win32/errors.h"
#include "win32/wstring.h"

namespace win32ini {

namespace {

char16_t Fold(char16_t c) {
    return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
}

bool SameName(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

std::u16string Trim(const std::u16string& s) {
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == u' ' || s[a] == u'\t')) ++a;
    while (b > a && (s[b - 1] == u' ' || s[b - 1] == u'\t' || s[b - 1] == u'\r')) --b;
    return s.substr(a, b - a);
}

// A section header: "[name]" gives name.
bool SectionOf(const std::u16string& line, std::u16string* name) {
    std::u16string t = Trim(line);
    if (t.size() < 2 || t[0] != u'[') return false;
    size_t close = t.find(u']');
    if (close == std::u16string::npos) return false;
    *name = Trim(t.substr(1, close - 1));
    return true;
}

// A key line: "key=value" (comments start with ';').
bool KeyOf(const std::u16string& line, std::u16string* key, std::u16string* value) {
    std::u16string t = Trim(line);
    if (t.empty() || t[0] == u';' || t[0] == u'[') return false;
    size_t eq = t.find(u'=');
    if (eq == std::u16string::npos) return false;
    *key = Trim(t.substr(0, eq));
    if (value) *value = Trim(t.substr(eq + 1));
    return true;
}

std::u16string Widen(UINT cp, const std::string& bytes, bool strict, bool* ok) {
    *ok = true;
    if (bytes.empty()) return {};
    int n = MultiByteToWideChar(cp, strict ? MB_ERR_INVALID_CHARS : 0, bytes.data(), int(bytes.size()),
                                nullptr, 0);
    if (n <= 0) {
        *ok = false;
        return {};
    }
    std::u16string out(size_t(n), u'\0');
    MultiByteToWideChar(cp, strict ? MB_ERR_INVALID_CHARS : 0, bytes.data(), int(bytes.size()), out.data(),
                        n);
    return out;
}

} // namespace

Document Decode(const std::string& bytes) {
    Document doc;
    std::u16string text;
    if (bytes.size() >= 2 && BYTE(bytes[0]) == 0xFF && BYTE(bytes[1]) == 0xFE) {
        doc.encoding = Encoding::Utf16Le;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text.push_back(char16_t(BYTE(bytes[i]) | (BYTE(bytes[i + 1]) << 8)));
    } else if (bytes.size() >= 3 && BYTE(bytes[0]) == 0xEF && BYTE(bytes[1]) == 0xBB &&
               BYTE(bytes[2]) == 0xBF) {
        doc.encoding = Encoding::Utf8Bom;
        bool ok;
        text = Widen(CP_UTF8, bytes.substr(3), false, &ok);
    } else {
        bool ok;
        text = Widen(CP_UTF8, bytes, true, &ok);
        if (!ok) {
            doc.encoding = Encoding::Cp932;
            text = Widen(932, bytes, false, &ok);
        }
    }
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find(u'\n', start);
        size_t end = nl == std::u16string::npos ? text.size() : nl;
        std::u16string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == u'\r') {
            line.pop_back();
            doc.crlf = true;
        }
        doc.lines.push_back(line);
        if (nl == std::u16string::npos) break;
        start = nl + 1;
    }
    return doc;
}

std::string Encode(Document& doc) {
    std::u16string text;
    const char16_t* eol = doc.crlf ? u"\r\n" : u"\n";
    for (const std::u16string& l : doc.lines) {
        text += l;
        text += eol;
    }
    std::string out;
    if (doc.encoding == Encoding::Utf16Le) {
        out = "\xFF\xFE";
        for (char16_t c : text) {
            out.push_back(char(c & 0xFF));
            out.push_back(char(c >> 8));
        }
        return out;
    }
    if (doc.encoding == Encoding::Cp932 && !text.empty()) {
        BOOL lossy = FALSE;
        int n = WideCharToMultiByte(932, 0, text.data(), int(text.size()), nullptr, 0, nullptr, &lossy);
        if (n > 0 && !lossy) {
            out.resize(size_t(n));
            WideCharToMultiByte(932, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
            // The reader takes bytes that are valid UTF-8 as UTF-8: CP932
            // bytes that happen to be (a damaged byte read as "・" can make
            // them so) would read back as other text.
            bool utf8;
            if (Widen(CP_UTF8, out, true, &utf8) == text || !utf8) return out;
            out.clear();
        }
        // CP932 lacks a character, or its bytes would read as UTF-8: the
        // file becomes UTF-8.
        doc.encoding = Encoding::Utf8;
    }
    if (doc.encoding == Encoding::Utf8Bom) out = "\xEF\xBB\xBF";
    // Counted: a NUL in the file must not cut off the rest of it.
    out += WideToUtf8(text.data(), ptrdiff_t(text.size()));
    return out;
}

bool Find(const Document& doc, const std::u16string& section, const std::u16string& key,
          std::u16string* value) {
    bool in = false, seenSection = false;
    for (const std::u16string& l : doc.lines) {
        std::u16string name, k, v;
        if (SectionOf(l, &name)) {
            if (in) return false; // the first section of the name wins
            in = !seenSection && SameName(name, section);
            seenSection = seenSection || in;
            continue;
        }
        if (in && KeyOf(l, &k, &v) && SameName(k, key)) {
            if (v.size() >= 2 &&
                ((v.front() == u'"' && v.back() == u'"') || (v.front() == u'\'' && v.back() == u'\'')))
                v = v.substr(1, v.size() - 2);
            *value = v;
            return true;
        }
    }
    return false;
}

std::vector<std::u16string> Sections(const Document& doc) {
    std::vector<std::u16string> out;
    for (const std::u16string& l : doc.lines) {
        std::u16string name;
        if (SectionOf(l, &name) &&
            std::none_of(out.begin(), out.end(), [&](const std::u16string& s) { return SameName(s, name); }))
            out.push_back(name);
    }
    return out;
}

std::vector<std::u16string> Keys(const Document& doc, const std::u16string& section) {
    std::vector<std::u16string> out;
    bool in = false, seen = false;
    for (const std::u16string& l : doc.lines) {
        std::u16string name, k;
        if (SectionOf(l, &name)) {
            if (in) break;
            in = !seen && SameName(name, section);
            seen = seen || in;
            continue;
        }
        if (in && KeyOf(l, &k, nullptr) &&
            std::none_of(out.begin(), out.end(), [&](const std::u16string& s) { return SameName(s, k); }))
            out.push_back(k);
    }
    return out;
}

void Set(Document& doc, const std::u16string& section, const std::u16string* key,
         const std::u16string* value) {
    // The first section of the name: its header line and the end of its lines.
    size_t header = doc.lines.size(), end = doc.lines.size();
    for (size_t i = 0; i < doc.lines.size(); ++i) {
        std::u16string name;
        if (!SectionOf(doc.lines[i], &name)) continue;
        if (header == doc.lines.size()) {
            if (SameName(name, section)) header = i;
        } else {
            end = i;
            break;
        }
    }
    if (!key) {
        if (header == doc.lines.size()) return;
        doc.lines.erase(doc.lines.begin() + long(header), doc.lines.begin() + long(end));
        return;
    }
    if (header == doc.lines.size()) {
        if (!value) return;
        if (!doc.lines.empty() && !Trim(doc.lines.back()).empty()) doc.lines.push_back(u"");
        doc.lines.push_back(u"[" + section + u"]");
        doc.lines.push_back(*key + u"=" + *value);
        return;
    }
    size_t last = header; // the last key line, so an added key follows the section's keys
    for (size_t i = header + 1; i < end; ++i) {
        std::u16string k;
        if (!KeyOf(doc.lines[i], &k, nullptr)) continue;
        last = i;
        if (!SameName(k, *key)) continue;
        if (value)
            doc.lines[i] = k + u"=" + *value;
        else
            doc.lines.erase(doc.lines.begin() + long(i));
        return;
    }
    if (value) doc.lines.insert(doc.lines.begin() + long(last + 1), *key + u"=" + *value);
}

std::string NativePath(LPCWSTR file) {
    std::string s = WideToUtf8(file ? file : u"");
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

bool ReadFile(const std::string& path, std::string* bytes) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || S_ISDIR(st.st_mode)) {
        fclose(f);
        return false;
    }
    bytes->clear();
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes->append(buf, n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

namespace {
std::string DirOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}
} // namespace

bool ReplaceFile(const std::string& path, const std::string& bytes, unsigned mode) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;
    std::string tmp = path + ".tmp-XXXXXX";
    int fd = mkstemp(tmp.data());
    if (fd < 0) return false;
    bool ok = fchmod(fd, mode) == 0;
    size_t at = 0;
    while (ok && at < bytes.size()) {
        ssize_t w = write(fd, bytes.data() + at, bytes.size() - at);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0)
            ok = false;
        else
            at += size_t(w);
    }
    ok = fsync(fd) == 0 && ok;
    ok = close(fd) == 0 && ok;
    if (ok) ok = rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) unlink(tmp.c_str());
    return ok;
}

bool WithDirectoryLock(const std::string& path, const std::function<bool()>& fn) {
    int fd = open(DirOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    while (flock(fd, LOCK_EX) != 0)
        if (errno != EINTR) {
            close(fd);
            return false;
        }
    bool ok = fn();
    flock(fd, LOCK_UN);
    close(fd);
    return ok;
}

} // namespace win32ini

using namespace win32ini;

namespace {

DWORD CopyOut(const std::u16string& s, LPWSTR out, DWORD size) {
    if (!out || size == 0) return 0;
    size_t n = std::min<size_t>(s.size(), size - 1);
    std::copy_n(s.data(), n, out);
    out[n] = 0;
    return DWORD(n);
}

// A list of names, each terminated, then one more NUL; cut to fit.
DWORD CopyList(const std::vector<std::u16string>& names, LPWSTR out, DWORD size) {
    if (!out || size == 0) return 0;
    if (size == 1) {
        out[0] = 0;
        return 0;
    }
    std::u16string all;
    for (const std::u16string& n : names) {
        all += n;
        all.push_back(0);
    }
    if (all.size() + 1 <= size) {
        std::copy(all.begin(), all.end(), out);
        out[all.size()] = 0;
        return DWORD(all.size());
    }
    // Windows gives size - 2, the last name cut, two NULs at the end.
    std::copy_n(all.data(), size - 2, out);
    out[size - 2] = 0;
    out[size - 1] = 0;
    return size - 2;
}

bool Load(LPCWSTR file, Document* doc) {
    std::string bytes;
    if (!file || !ReadFile(NativePath(file), &bytes)) return false;
    *doc = Decode(bytes);
    return true;
}

} // namespace

DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR def, LPWSTR out, DWORD size,
                               LPCWSTR file) {
    Document doc;
    bool loaded = Load(file, &doc);
    if (!section) return CopyList(loaded ? Sections(doc) : std::vector<std::u16string>{}, out, size);
    if (!key) return CopyList(loaded ? Keys(doc, section) : std::vector<std::u16string>{}, out, size);
    std::u16string value;
    if (loaded && Find(doc, section, key, &value)) return CopyOut(value, out, size);
    std::u16string d = def ? def : u"";
    while (!d.empty() && d.back() == u' ') d.pop_back();
    if (!loaded) SetLastError(ERROR_FILE_NOT_FOUND);
    return CopyOut(d, out, size);
}

UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT def, LPCWSTR file) {
    Document doc;
    std::u16string value;
    if (!section || !key || !Load(file, &doc) || !Find(doc, section, key, &value)) return UINT(def);
    size_t i = 0;
    bool neg = false;
    if (i < value.size() && (value[i] == u'-' || value[i] == u'+')) neg = value[i++] == u'-';
    long long v = 0;
    for (; i < value.size() && value[i] >= u'0' && value[i] <= u'9'; ++i) {
        v = v * 10 + (value[i] - u'0');
        if (v > 0xFFFFFFFFll) v = 0xFFFFFFFFll;
    }
    return UINT(neg ? -v : v);
}

BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file) {
    if (!file || !*file) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string path = NativePath(file);
    if (!section) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    bool ok = WithDirectoryLock(path, [&] {
        std::string bytes;
        Document doc;
        bool exists = ReadFile(path, &bytes);
        if (exists) doc = Decode(bytes);
        std::u16string k = key ? key : u"", v = value ? value : u"";
        const std::vector<std::u16string> before = doc.lines;
        Set(doc, section, key ? &k : nullptr, value ? &v : nullptr);
        if (!exists && doc.lines.empty()) return true;
        // A value written again as it was costs no write.
        if (exists && doc.lines == before) return true;
        return ReplaceFile(path, Encode(doc), 0644);
    });
    if (!ok) SetLastError(ERROR_ACCESS_DENIED);
    return ok ? TRUE : FALSE;
}
