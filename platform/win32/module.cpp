#include "win32/module.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <mutex>
#include <string>

#include "win32/errors.h"
#include "win32/sysinfo.h"
#include "win32/wstring.h"

namespace {

std::mutex g_dll_dir_lock;
std::string g_dll_dir; // UTF-8, '/' separators, no trailing separator

std::string ToNativePath(LPCWSTR path) {
    std::string s = WideToUtf8(path);
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

std::string ExecutableDir() {
    std::string p = WideToUtf8(ExecutablePath().c_str());
    if (p.empty()) return {};
    size_t slash = p.rfind('/');
    return slash == std::string::npos ? std::string() : p.substr(0, slash);
}

// The system's own module: its functions are the platform's.
char g_kernel32 = 0;
HMODULE Kernel32() {
    return reinterpret_cast<HMODULE>(&g_kernel32);
}
bool IsKernel32(LPCWSTR name) {
    std::u16string n = name;
    for (char16_t& c : n)
        if (c >= u'a' && c <= u'z') c = char16_t(c - 32);
    return n == u"KERNEL32.DLL" || n == u"KERNEL32";
}

void* TryOpen(const std::string& path) {
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

} // namespace

std::u16string ModuleFileNameFor(LPCWSTR name) {
    std::u16string n = name ? name : u"";
    for (char16_t& c : n)
        if (c == u'\\') c = u'/';
    size_t slash = n.rfind(u'/');
    std::u16string dir = slash == std::u16string::npos ? std::u16string() : n.substr(0, slash + 1);
    std::u16string file = slash == std::u16string::npos ? n : n.substr(slash + 1);
    for (char16_t& c : file)
        if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
    if (file.size() >= 4 && file.compare(file.size() - 4, 4, u".dll") == 0) file.resize(file.size() - 4);
    return dir + u"lib" + file + u".so";
}

BOOL SetDllDirectoryW(LPCWSTR path) {
    std::lock_guard<std::mutex> lock(g_dll_dir_lock);
    g_dll_dir = path ? ToNativePath(path) : std::string();
    while (g_dll_dir.size() > 1 && g_dll_dir.back() == '/') g_dll_dir.pop_back();
    return TRUE;
}

HMODULE LoadLibraryW(LPCWSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (IsKernel32(name)) return Kernel32();
    std::string file = WideToUtf8(ModuleFileNameFor(name).c_str());
    void* h = nullptr;
    if (file.find('/') != std::string::npos) {
        h = TryOpen(file); // an explicit directory is the only place looked at
    } else {
        std::string first;
        {
            std::lock_guard<std::mutex> lock(g_dll_dir_lock);
            first = g_dll_dir;
        }
        if (!first.empty()) {
            char real[PATH_MAX];
            if (realpath(first.c_str(), real)) h = TryOpen(std::string(real) + "/" + file);
        }
        if (!h) {
            std::string exe = ExecutableDir();
            if (!exe.empty()) h = TryOpen(exe + "/" + file);
        }
        if (!h) h = TryOpen(file);
    }
    if (!h) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(h);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
    if (!module || !name) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (module == Kernel32()) {
        if (std::string(name) == "SetDllDirectoryW")
            return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&SetDllDirectoryW));
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    dlerror();
    void* p = dlsym(reinterpret_cast<void*>(module), name);
    if (!p) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(p);
}

BOOL FreeLibrary(HMODULE module) {
    if (!module) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (module == Kernel32()) return TRUE;
    return dlclose(reinterpret_cast<void*>(module)) == 0 ? TRUE : FALSE;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
    std::string path;
    if (!module) {
        path = WideToUtf8(ExecutablePath().c_str());
    } else if (module == Kernel32()) {
        path = "KERNEL32.DLL";
    } else {
        struct link_map* map = nullptr;
        if (dlinfo(reinterpret_cast<void*>(module), RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name) {
            char real[PATH_MAX];
            path = realpath(map->l_name, real) ? real : map->l_name;
        }
    }
    if (path.empty()) {
        SetLastError(ERROR_INVALID_HANDLE);
        if (buffer && size) buffer[0] = 0;
        return 0;
    }
    std::u16string w = Utf8ToWide(path.c_str());
    if (!buffer || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (w.size() >= size) {
        w.copy(buffer, size - 1);
        buffer[size - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    w.copy(buffer, w.size());
    buffer[w.size()] = 0;
    SetLastError(ERROR_SUCCESS);
    return DWORD(w.size());
}
