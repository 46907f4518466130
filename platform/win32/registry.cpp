#include "win32/registry.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "win32/errors.h"
#include "win32/profile.h"
#include "win32/wstring.h"

namespace {

struct Value {
    std::u16string name; // empty: the default value
    DWORD type = REG_SZ;
    std::u16string text;
    DWORD number = 0;
};

struct Key {
    std::u16string path; // as first written
    std::vector<Value> values;
};

// Keys by folded path ("HKEY_CURRENT_USER\SOFTWARE\...").
using Tree = std::map<std::u16string, Key>;

struct Handle {
    std::u16string path;
};

std::u16string Fold(const std::u16string& s) {
    std::u16string out = s;
    for (char16_t& c : out)
        if (c >= u'a' && c <= u'z') c = char16_t(c - 32);
    return out;
}

bool Same(const std::u16string& a, const std::u16string& b) {
    return Fold(a) == Fold(b);
}

// The full path of key\subKey; false for an unknown handle.
bool PathOf(HKEY key, LPCWSTR subKey, std::u16string* out) {
    std::u16string base;
    if (key == HKEY_CURRENT_USER)
        base = u"HKEY_CURRENT_USER";
    else if (key == HKEY_CLASSES_ROOT)
        base = u"HKEY_CLASSES_ROOT";
    else if (key)
        base = reinterpret_cast<Handle*>(key)->path;
    else
        return false;
    std::u16string sub = subKey ? subKey : u"";
    // Backslash-separated; empty parts dropped.
    std::u16string part;
    for (size_t i = 0; i <= sub.size(); ++i) {
        if (i == sub.size() || sub[i] == u'\\') {
            if (!part.empty()) base += u"\\" + part;
            part.clear();
        } else {
            part.push_back(sub[i]);
        }
    }
    *out = base;
    return true;
}

std::u16string Unescape(const std::u16string& s, size_t* at) {
    std::u16string out;
    size_t i = *at + 1; // past the opening quote
    for (; i < s.size() && s[i] != u'"'; ++i) {
        if (s[i] == u'\\' && i + 1 < s.size()) ++i;
        out.push_back(s[i]);
    }
    *at = i + 1;
    return out;
}

std::u16string Escape(const std::u16string& s) {
    std::u16string out = u"\"";
    for (char16_t c : s) {
        if (c == u'\\' || c == u'"') out.push_back(u'\\');
        if (c == u'\n') {
            out += u"\\n";
            continue;
        }
        out.push_back(c);
    }
    return out + u"\"";
}

Tree Parse(const std::string& bytes) {
    Tree tree;
    win32ini::Document doc = win32ini::Decode(bytes);
    Key* current = nullptr;
    for (const std::u16string& raw : doc.lines) {
        std::u16string l = raw;
        while (!l.empty() && (l.back() == u' ' || l.back() == u'\t')) l.pop_back();
        if (l.size() >= 2 && l[0] == u'[' && l.back() == u']') {
            std::u16string path = l.substr(1, l.size() - 2);
            Key& k = tree[Fold(path)];
            if (k.path.empty()) k.path = path;
            current = &k;
            continue;
        }
        if (!current || l.empty()) continue;
        Value v;
        size_t at = 0;
        if (l[0] == u'@') {
            at = 1;
        } else if (l[0] == u'"') {
            v.name = Unescape(l, &at);
            if (v.name.empty()) continue;
        } else {
            continue;
        }
        if (at >= l.size() || l[at] != u'=') continue;
        ++at;
        if (at < l.size() && l[at] == u'"') {
            v.type = REG_SZ;
            std::u16string text = Unescape(l, &at);
            std::u16string un;
            for (size_t i = 0; i < text.size(); ++i) un.push_back(text[i]);
            v.text = un;
        } else if (l.compare(at, 6, u"dword:") == 0) {
            v.type = REG_DWORD;
            DWORD n = 0;
            for (size_t i = at + 6; i < l.size(); ++i) {
                char16_t c = l[i];
                int d = c >= u'0' && c <= u'9'   ? c - u'0'
                        : c >= u'a' && c <= u'f' ? c - u'a' + 10
                        : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                                 : -1;
                if (d < 0) break;
                n = (n << 4) | DWORD(d);
            }
            v.number = n;
        } else {
            continue;
        }
        bool dup = false;
        for (const Value& o : current->values)
            if (Same(o.name, v.name)) dup = true;
        if (!dup) current->values.push_back(v);
    }
    return tree;
}

std::string Serialize(const Tree& tree) {
    std::u16string text = u"Windows Registry Editor Version 5.00\n";
    for (const auto& [folded, key] : tree) {
        text += u"\n[" + key.path + u"]\n";
        for (const Value& v : key.values) {
            text += v.name.empty() ? u"@" : Escape(v.name);
            text += u"=";
            if (v.type == REG_DWORD) {
                char buf[16];
                snprintf(buf, sizeof buf, "dword:%08x", v.number);
                for (const char* p = buf; *p; ++p) text.push_back(char16_t(*p));
            } else {
                text += Escape(v.text);
            }
            text += u"\n";
        }
    }
    return WideToUtf8(text.c_str());
}

bool EnsureDir(const std::string& dir) {
    struct stat st;
    if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    size_t slash = dir.rfind('/');
    if (slash != std::string::npos && slash > 0 && !EnsureDir(dir.substr(0, slash))) return false;
    return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

Tree Load() {
    std::string bytes;
    if (!win32ini::ReadFile(win32reg::RegistryPath(), &bytes)) return {};
    return Parse(bytes);
}

// Applies change to the tree read afresh under the lock, then writes it when
// it changed anything (each write is made durable before it replaces the
// file: a key opened or a value set again as it was costs no write).
LSTATUS Change(const std::function<LSTATUS(Tree&)>& change) {
    std::string path = win32reg::RegistryPath();
    if (!EnsureDir(win32reg::ConfigDir())) return ERROR_ACCESS_DENIED;
    LSTATUS status = ERROR_SUCCESS;
    bool ok = win32ini::WithDirectoryLock(path, [&] {
        Tree tree = Load();
        const std::string before = Serialize(tree);
        status = change(tree);
        if (status != ERROR_SUCCESS) return true;
        std::string after = Serialize(tree);
        if (after == before) return true;
        return win32ini::ReplaceFile(path, after, 0600);
    });
    return ok ? status : ERROR_ACCESS_DENIED;
}

bool HasSubkeys(const Tree& tree, const std::u16string& folded) {
    std::u16string prefix = folded + u"\\";
    auto it = tree.lower_bound(prefix);
    return it != tree.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

// Creates path and its ancestors below the root.
void CreatePath(Tree& tree, const std::u16string& path) {
    size_t at = path.find(u'\\');
    while (true) {
        std::u16string p = at == std::u16string::npos ? path : path.substr(0, at);
        if (p.find(u'\\') != std::u16string::npos) {
            Key& k = tree[Fold(p)];
            if (k.path.empty()) k.path = p;
        }
        if (at == std::u16string::npos) break;
        at = path.find(u'\\', at + 1);
    }
}

HKEY NewHandle(const std::u16string& path) {
    return reinterpret_cast<HKEY>(new Handle{path});
}

bool IsRoot(HKEY key) {
    return key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT;
}

} // namespace

namespace win32reg {

std::string ConfigDir() {
    const char* xdg = getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && *xdg == '/') {
        base = xdg;
    } else {
        const char* home = getenv("HOME");
        base = std::string(home && *home ? home : "") + "/.config";
    }
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/tavrelix";
}

std::string RegistryPath() {
    return ConfigDir() + "/registry.reg";
}

} // namespace win32reg

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM, void*, PHKEY result,
                        LPDWORD disposition) {
    std::u16string path;
    if (!result || !PathOf(key, subKey, &path)) return ERROR_INVALID_HANDLE;
    bool existed = false;
    LSTATUS s = Change([&](Tree& tree) {
        existed = tree.count(Fold(path)) != 0;
        CreatePath(tree, path);
        return LSTATUS(ERROR_SUCCESS);
    });
    if (s != ERROR_SUCCESS) return s;
    if (disposition) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    *result = NewHandle(path);
    return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyW(HKEY key, LPCWSTR subKey, PHKEY result) {
    return RegCreateKeyExW(key, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, result, nullptr);
}

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM, PHKEY result) {
    std::u16string path;
    if (!result || !PathOf(key, subKey, &path)) return ERROR_INVALID_HANDLE;
    if (path.find(u'\\') != std::u16string::npos) {
        Tree tree = Load();
        if (!tree.count(Fold(path))) return ERROR_FILE_NOT_FOUND;
    }
    *result = NewHandle(path);
    return ERROR_SUCCESS;
}

LSTATUS RegOpenKeyW(HKEY key, LPCWSTR subKey, PHKEY result) {
    return RegOpenKeyExW(key, subKey, 0, KEY_ALL_ACCESS, result);
}

LSTATUS RegCloseKey(HKEY key) {
    if (!key) return ERROR_INVALID_HANDLE;
    if (!IsRoot(key)) delete reinterpret_cast<Handle*>(key);
    return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
    std::u16string path;
    if (!PathOf(key, nullptr, &path)) return ERROR_INVALID_HANDLE;
    Tree tree = Load();
    auto it = tree.find(Fold(path));
    if (it == tree.end()) return ERROR_FILE_NOT_FOUND;
    std::u16string want = name ? name : u"";
    for (const Value& v : it->second.values) {
        if (!Same(v.name, want)) continue;
        if (type) *type = v.type;
        DWORD need = v.type == REG_DWORD ? 4 : DWORD((v.text.size() + 1) * 2);
        if (!size) return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
        if (!data) {
            *size = need;
            return ERROR_SUCCESS;
        }
        if (*size < need) {
            *size = need;
            return ERROR_MORE_DATA;
        }
        if (v.type == REG_DWORD)
            memcpy(data, &v.number, 4);
        else
            memcpy(data, v.text.c_str(), need);
        *size = need;
        return ERROR_SUCCESS;
    }
    return ERROR_FILE_NOT_FOUND;
}

namespace {

// The value a set call describes; an error for a type or size the store
// does not keep.
LSTATUS MakeValue(LPCWSTR name, DWORD type, const BYTE* data, DWORD size, Value* v) {
    v->name = name ? name : u"";
    v->type = type;
    if (type == REG_DWORD) {
        if (size < 4 || !data) return ERROR_INVALID_PARAMETER;
        memcpy(&v->number, data, 4);
    } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
        v->type = REG_SZ;
        size_t units = data ? size / 2 : 0;
        v->text.assign(reinterpret_cast<const char16_t*>(data), units);
        while (!v->text.empty() && v->text.back() == 0) v->text.pop_back();
        size_t nul = v->text.find(u'\0');
        if (nul != std::u16string::npos) v->text.resize(nul);
    } else {
        return ERROR_INVALID_PARAMETER;
    }
    return ERROR_SUCCESS;
}

// Sets v in key, keeping the spelling of a name already there.
void Put(Key& key, const Value& v) {
    for (Value& o : key.values)
        if (Same(o.name, v.name)) {
            std::u16string keep = o.name;
            o = v;
            o.name = keep;
            return;
        }
    key.values.push_back(v);
}

} // namespace

LSTATUS RegSetValueExW(HKEY key, LPCWSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
    std::u16string path;
    if (!PathOf(key, nullptr, &path) || IsRoot(key)) return ERROR_INVALID_HANDLE;
    Value v;
    if (LSTATUS s = MakeValue(name, type, data, size, &v); s != ERROR_SUCCESS) return s;
    return Change([&](Tree& tree) {
        auto it = tree.find(Fold(path));
        if (it == tree.end()) return LSTATUS(ERROR_FILE_NOT_FOUND);
        Put(it->second, v);
        return LSTATUS(ERROR_SUCCESS);
    });
}

LSTATUS RegSetKeyValueW(HKEY key, LPCWSTR subKey, LPCWSTR name, DWORD type, const void* data, DWORD size) {
    std::u16string path;
    if (!PathOf(key, subKey, &path) || path.find(u'\\') == std::u16string::npos) return ERROR_INVALID_HANDLE;
    Value v;
    if (LSTATUS s = MakeValue(name, type, static_cast<const BYTE*>(data), size, &v); s != ERROR_SUCCESS)
        return s;
    return Change([&](Tree& tree) {
        CreatePath(tree, path);
        Put(tree[Fold(path)], v);
        return LSTATUS(ERROR_SUCCESS);
    });
}

LSTATUS RegDeleteValueW(HKEY key, LPCWSTR name) {
    std::u16string path;
    if (!PathOf(key, nullptr, &path)) return ERROR_INVALID_HANDLE;
    std::u16string want = name ? name : u"";
    return Change([&](Tree& tree) {
        auto it = tree.find(Fold(path));
        if (it == tree.end()) return LSTATUS(ERROR_FILE_NOT_FOUND);
        auto& vs = it->second.values;
        for (size_t i = 0; i < vs.size(); ++i)
            if (Same(vs[i].name, want)) {
                vs.erase(vs.begin() + long(i));
                return LSTATUS(ERROR_SUCCESS);
            }
        return LSTATUS(ERROR_FILE_NOT_FOUND);
    });
}

LSTATUS RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
    std::u16string path;
    if (!subKey || !*subKey || !PathOf(key, subKey, &path)) return ERROR_INVALID_PARAMETER;
    return Change([&](Tree& tree) {
        std::u16string f = Fold(path);
        if (!tree.count(f)) return LSTATUS(ERROR_FILE_NOT_FOUND);
        if (HasSubkeys(tree, f)) return LSTATUS(ERROR_ACCESS_DENIED);
        tree.erase(f);
        return LSTATUS(ERROR_SUCCESS);
    });
}

LSTATUS RegQueryValueW(HKEY key, LPCWSTR subKey, LPWSTR data, LONG* size) {
    HKEY k = nullptr;
    LSTATUS s = RegOpenKeyExW(key, subKey, 0, KEY_READ, &k);
    if (s != ERROR_SUCCESS) return s;
    DWORD type = 0;
    DWORD bytes = size ? DWORD(*size) : 0;
    s = RegQueryValueExW(k, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(data), size ? &bytes : nullptr);
    RegCloseKey(k);
    if (s == ERROR_FILE_NOT_FOUND) {
        // A key without a default value reads as the empty string.
        if (size) {
            if (data && *size >= 2) data[0] = 0;
            *size = 2;
        }
        return ERROR_SUCCESS;
    }
    if (s == ERROR_SUCCESS && type != REG_SZ) return ERROR_FILE_NOT_FOUND;
    if (size) *size = LONG(bytes);
    return s;
}

LSTATUS RegSetValueW(HKEY key, LPCWSTR subKey, DWORD type, LPCWSTR data, DWORD) {
    if (type != REG_SZ || !data) return ERROR_INVALID_PARAMETER;
    HKEY k = nullptr;
    LSTATUS s = RegCreateKeyW(key, subKey, &k);
    if (s != ERROR_SUCCESS) return s;
    s = RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                       DWORD((wcslen(data) + 1) * 2));
    RegCloseKey(k);
    return s;
}

LSTATUS RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD, LPWSTR, LPDWORD, void*) {
    std::u16string path;
    if (!PathOf(key, nullptr, &path) || !name || !nameSize) return ERROR_INVALID_PARAMETER;
    Tree tree = Load();
    std::u16string prefix = Fold(path) + u"\\";
    DWORD i = 0;
    for (const auto& [folded, k] : tree) {
        if (folded.compare(0, prefix.size(), prefix) != 0) continue;
        if (folded.find(u'\\', prefix.size()) != std::u16string::npos) continue;
        if (i++ != index) continue;
        std::u16string child = k.path.substr(prefix.size());
        if (child.size() + 1 > *nameSize) {
            *nameSize = DWORD(child.size() + 1);
            return ERROR_MORE_DATA;
        }
        std::copy(child.begin(), child.end(), name);
        name[child.size()] = 0;
        *nameSize = DWORD(child.size());
        return ERROR_SUCCESS;
    }
    return ERROR_NO_MORE_ITEMS;
}
