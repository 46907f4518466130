// CreateProcessW over posix_spawn; started programs are reaped by a
// detached waiter so none is left a zombie.
#include <windows.h>

#include <cerrno>
#include <climits>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct ProcessHandle {
    uint32_t magic;
    pid_t pid;
};
constexpr uint32_t kProcessMagic = 0x50524f43;
constexpr uint32_t kThreadMagic = 0x54485244;

std::mutex hookMutex;
std::function<BOOL(const std::u16string&)> startHook;

bool has_separator(const std::string& s) {
    return s.find('/') != std::string::npos || s.find('\\') != std::string::npos;
}

bool executable(const std::string& path) {
    return !path.empty() && ::access(path.c_str(), X_OK) == 0;
}

std::string exe_dir() {
    std::string p = WideToUtf8(ExecutablePath().c_str());
    size_t slash = p.rfind('/');
    return slash == std::string::npos ? std::string() : p.substr(0, slash);
}

std::string join(const std::string& dir, const std::string& name) {
    std::string out;
    out.reserve(dir.size() + name.size() + 1);
    out.append(dir);
    out.push_back('/');
    out.append(name);
    return out;
}

std::string resolve(const std::string& program) {
    if (has_separator(program)) {
        std::string p = program;
        for (char& c : p) {
            if (c == '\\') c = '/';
        }
        return executable(p) ? p : std::string();
    }
    std::string dir = exe_dir();
    if (!dir.empty() && executable(join(dir, program))) return join(dir, program);
    if (executable(join(".", program))) return join(".", program);
    const char* path = ::getenv("PATH");
    std::string all = path ? path : "";
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find(':', start);
        if (end == std::string::npos) end = all.size();
        std::string d = end > start ? all.substr(start, end - start) : std::string(1, '.');
        std::string candidate = join(d, program);
        if (executable(candidate)) return candidate;
        start = end + 1;
    }
    return {};
}

} // namespace

std::vector<std::u16string> SplitCommandLine(const std::u16string& line) {
    std::vector<std::u16string> out;
    size_t i = 0, n = line.size();
    // The program name: quotes group, backslashes are literal.
    while (i < n && (line[i] == u' ' || line[i] == u'\t')) ++i;
    if (i >= n) return out;
    std::u16string arg;
    bool quoted = false;
    for (; i < n; ++i) {
        char16_t c = line[i];
        if (c == u'"') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && (c == u' ' || c == u'\t')) break;
        arg += c;
    }
    out.push_back(arg);
    for (;;) {
        while (i < n && (line[i] == u' ' || line[i] == u'\t')) ++i;
        if (i >= n) break;
        arg.clear();
        quoted = false;
        while (i < n) {
            char16_t c = line[i];
            if (!quoted && (c == u' ' || c == u'\t')) break;
            if (c == u'\\') {
                size_t k = 0;
                while (i < n && line[i] == u'\\') ++k, ++i;
                if (i < n && line[i] == u'"') {
                    arg.append(k / 2, u'\\');
                    if (k % 2) {
                        arg += u'"';
                        ++i;
                    }
                } else {
                    arg.append(k, u'\\');
                }
                continue;
            }
            if (c == u'"') {
                if (quoted && i + 1 < n && line[i + 1] == u'"') {
                    arg += u'"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            arg += c;
            ++i;
        }
        out.push_back(arg);
    }
    return out;
}

BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                    BOOL, DWORD, LPVOID, LPCWSTR currentDirectory, LPSTARTUPINFOW,
                    LPPROCESS_INFORMATION info) {
    std::u16string line = commandLine ? commandLine : u"";
    {
        std::lock_guard<std::mutex> lock(hookMutex);
        if (startHook) {
            BOOL ok = startHook(line);
            if (info) *info = {};
            if (!ok) SetLastError(ERROR_FILE_NOT_FOUND);
            return ok;
        }
    }
    std::vector<std::u16string> args = SplitCommandLine(line);
    if (applicationName) {
        if (args.empty())
            args.push_back(applicationName);
        else
            args[0] = applicationName;
    }
    if (args.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string program = resolve(WideToUtf8(args[0].c_str()));
    if (program.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    std::vector<std::string> utf8;
    for (const auto& a : args) utf8.push_back(WideToUtf8(a.c_str()));
    std::vector<char*> argv;
    for (auto& a : utf8) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    std::string cwd;
    if (currentDirectory) {
        cwd = WideToUtf8(currentDirectory);
        posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    }
    pid_t pid = 0;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        SetLastError(rc == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
        return FALSE;
    }
    std::thread([pid] {
        int status;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    if (info) {
        info->hProcess = new ProcessHandle{kProcessMagic, pid};
        info->hThread = new ProcessHandle{kThreadMagic, pid};
        info->dwProcessId = static_cast<DWORD>(pid);
        info->dwThreadId = static_cast<DWORD>(pid);
    }
    return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
    if (win32detail::CloseThreadHandle(handle)) return TRUE;
    ProcessHandle* h = static_cast<ProcessHandle*>(handle);
    if (!h || (h->magic != kProcessMagic && h->magic != kThreadMagic)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    h->magic = 0;
    delete h;
    return TRUE;
}

namespace win32test {
void SetProcessStartHook(std::function<BOOL(const std::u16string&)> hook) {
    std::lock_guard<std::mutex> lock(hookMutex);
    startHook = std::move(hook);
}
} // namespace win32test

namespace {
std::function<bool(int, const std::u16string&)> g_shellOpener;
std::function<void(const std::u16string&, const std::u16string&)> g_shellRecorder;

bool starts_with_ci(const std::u16string& s, const char16_t* prefix) {
    size_t n = std::char_traits<char16_t>::length(prefix);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; i++) {
        char16_t c = s[i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
        if (c != prefix[i]) return false;
    }
    return true;
}
} // namespace

namespace win32bk {
void SetShellOpener(std::function<bool(int, const std::u16string&)> opener) {
    std::lock_guard<std::mutex> lock(hookMutex);
    g_shellOpener = std::move(opener);
}
} // namespace win32bk

namespace win32test {
void SetShellRecorder(std::function<void(const std::u16string&, const std::u16string&)> recorder) {
    std::lock_guard<std::mutex> lock(hookMutex);
    g_shellRecorder = std::move(recorder);
}
} // namespace win32test

HINSTANCE ShellExecuteW(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR, int) {
    auto code = [](intptr_t v) { return reinterpret_cast<HINSTANCE>(v); };
    std::u16string v = verb ? verb : u"";
    if (!v.empty() && v != u"open") return code(2);
    std::u16string target = file ? file : u"";
    int kind = -1;
    static const char16_t* const kSchemes[] = {u"http://", u"https://", u"ftp://", u"mailto:"};
    for (const char16_t* scheme : kSchemes)
        if (starts_with_ci(target, scheme) && target.size() > std::char_traits<char16_t>::length(scheme))
            kind = 0;
    if (kind >= 0) {
    } else if (!target.empty() && target[0] == u'/') {
        struct stat st {};
        if (stat(WideToUtf8(target.c_str()).c_str(), &st) == 0 && S_ISREG(st.st_mode)) kind = 1;
    }
    if (kind < 0) return code(2);
    std::function<bool(int, const std::u16string&)> opener;
    std::function<void(const std::u16string&, const std::u16string&)> recorder;
    {
        std::lock_guard<std::mutex> lock(hookMutex);
        opener = g_shellOpener;
        recorder = g_shellRecorder;
    }
    if (recorder) {
        recorder(v, target);
        return code(42);
    }
    if (!opener || !opener(kind, target)) return code(kind == 1 ? 31 : 2);
    return code(42);
}
