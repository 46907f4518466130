// Command line, executable path, environment, current directory, screen
// metrics and the placement of top-level windows.
#include "win32/sysinfo.h"

#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/win32/wnd_internal.h"
#include "win32/errors.h"
#include "win32/process.h"
#include "win32/thread.h"
#include "win32/wstring.h"

int __argc = 0;
char16_t** __wargv = nullptr;

namespace {

struct Args {
    std::vector<std::u16string> args;
    std::vector<char16_t*> pointers;
    std::u16string line;
};
Args& TheArgs() {
    static Args a;
    return a;
}
std::mutex g_exeMutex;
std::u16string& ExeOverride() {
    static std::u16string s;
    return s;
}

bool NeedsQuotes(const std::u16string& s) {
    return s.empty() || s.find_first_of(u" \t\"") != std::u16string::npos;
}

// Quoted by the rules SplitCommandLine reads: backslashes before a quote
// (or before the closing quote) doubled, the quote escaped.
std::u16string Quoted(const std::u16string& s) {
    std::u16string out = u"\"";
    size_t slashes = 0;
    for (char16_t c : s) {
        if (c == u'\\') {
            ++slashes;
            continue;
        }
        if (c == u'"') {
            out.append(slashes * 2 + 1, u'\\');
            out.push_back(u'"');
        } else {
            out.append(slashes, u'\\');
            out.push_back(c);
        }
        slashes = 0;
    }
    out.append(slashes * 2, u'\\');
    out.push_back(u'"');
    return out;
}

std::mutex g_screenMutex;
std::vector<win32bk::ScreenInfo> g_screens{{{0, 0, 1920, 1080}, {0, 0, 1920, 1080}}};

struct Placement {
    RECT normal;
    bool minimized = false, maximized = false;
};
std::mutex g_placeMutex;
std::vector<std::pair<HWND, Placement>>& Placements() {
    static std::vector<std::pair<HWND, Placement>> v;
    return v;
}
Placement* PlacementOf(HWND hwnd, bool create) {
    for (auto& [h, p] : Placements())
        if (h == hwnd) return &p;
    if (!create) return nullptr;
    for (auto it = Placements().begin(); it != Placements().end();)
        it = IsWindow(it->first) ? it + 1 : Placements().erase(it);
    RECT r{};
    GetWindowRect(hwnd, &r);
    Placements().push_back({hwnd, Placement{r}});
    return &Placements().back().second;
}

} // namespace

std::u16string QuoteCommandArgument(const std::u16string& arg) {
    if (!NeedsQuotes(arg)) return arg;
    // NAME=value keeps its name outside the quotes.
    size_t eq = arg.find(u'=');
    if (eq != std::u16string::npos && eq > 0) {
        bool name = true;
        for (size_t i = 0; i < eq; ++i) {
            char16_t c = arg[i];
            if (!((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
                  c == u'_'))
                name = false;
        }
        if (name) return arg.substr(0, eq + 1) + Quoted(arg.substr(eq + 1));
    }
    return Quoted(arg);
}

void SetProcessArgumentsW(const std::vector<std::u16string>& args) {
    Args& a = TheArgs();
    a.args = args;
    a.pointers.clear();
    a.line.clear();
    for (size_t i = 0; i < a.args.size(); ++i) {
        a.pointers.push_back(a.args[i].data());
        if (i) a.line.push_back(u' ');
        a.line += QuoteCommandArgument(a.args[i]);
    }
    a.pointers.push_back(nullptr);
    __argc = static_cast<int>(a.args.size());
    __wargv = a.pointers.data();
}

void SetProcessArguments(int argc, char** argv) {
    std::vector<std::u16string> args;
    for (int i = 0; i < argc; ++i) args.push_back(Utf8ToWide(argv[i]));
    SetProcessArgumentsW(args);
}

LPWSTR GetCommandLineW() {
    Args& a = TheArgs();
    if (a.args.empty()) SetProcessArgumentsW({ExecutablePath()});
    return a.line.data();
}

std::u16string ExecutablePath() {
    {
        std::lock_guard<std::mutex> lock(g_exeMutex);
        if (!ExeOverride().empty()) return ExeOverride();
    }
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return Utf8ToWide(std::string(buf, static_cast<size_t>(n)).c_str());
}

void SetExecutablePath(const std::u16string& path) {
    std::lock_guard<std::mutex> lock(g_exeMutex);
    ExeOverride() = path;
}

namespace {
// The arrays and strings this process's environment has been given, kept:
// another thread may still be reading them. Never destroyed, since the
// environment is read after static destruction too (libraries' finalizers).
struct KeptEnvironment {
    std::mutex mutex;
    std::vector<std::unique_ptr<char*[]>> arrays;
    std::vector<std::unique_ptr<char[]>> strings;
};
KeptEnvironment& Kept() {
    static auto* kept = new KeptEnvironment;
    return *kept;
}
} // namespace

// Other threads read the environment while the program changes it (the font
// database worker at start-up, a logon on another thread), and the C
// library's setenv frees the array such a reader may be walking. The array
// is replaced instead: a new one is made with the change and put in place
// whole, and the old one and its strings are kept.
int _wputenv(const char16_t* entry) {
    if (!entry) return -1;
    std::string s = WideToUtf8(entry);
    size_t eq = s.find('=');
    if (eq == std::string::npos || eq == 0) return -1;
    const std::string prefix = s.substr(0, eq + 1);
    const bool set = eq + 1 < s.size();
    KeptEnvironment& kept = Kept();
    std::lock_guard<std::mutex> lock(kept.mutex);
    size_t count = 0;
    while (environ && environ[count]) ++count;
    auto next = std::make_unique<char*[]>(count + 2);
    size_t n = 0;
    for (size_t i = 0; i < count; ++i)
        if (std::strncmp(environ[i], prefix.c_str(), prefix.size()) != 0) next[n++] = environ[i];
    if (set) {
        auto text = std::make_unique<char[]>(s.size() + 1);
        std::memcpy(text.get(), s.c_str(), s.size() + 1);
        next[n++] = text.get();
        kept.strings.push_back(std::move(text));
    }
    next[n] = nullptr;
    environ = next.get();
    kept.arrays.push_back(std::move(next));
    return 0;
}

void _wsplitpath(const char16_t* path, char16_t* drive, char16_t* dir, char16_t* fname, char16_t* ext) {
    std::u16string p = path ? path : u"";
    std::u16string d, di, f, e;
    if (p.size() >= 2 && p[1] == u':') d = p.substr(0, 2), p = p.substr(2);
    size_t slash = p.find_last_of(u"\\/");
    if (slash != std::u16string::npos) di = p.substr(0, slash + 1), p = p.substr(slash + 1);
    size_t dot = p.rfind(u'.');
    if (dot != std::u16string::npos) e = p.substr(dot), p = p.substr(0, dot);
    f = p;
    auto put = [](char16_t* out, const std::u16string& s, size_t max) {
        if (!out) return;
        size_t n = std::min(s.size(), max - 1);
        std::copy_n(s.data(), n, out);
        out[n] = 0;
    };
    put(drive, d, _MAX_DRIVE);
    put(dir, di, _MAX_DIR);
    put(fname, f, _MAX_FNAME);
    put(ext, e, _MAX_EXT);
}

DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer) {
    char buf[PATH_MAX];
    if (!getcwd(buf, sizeof buf)) return 0;
    std::u16string w = Utf8ToWide(buf);
    if (!buffer || size <= w.size()) return static_cast<DWORD>(w.size() + 1);
    std::copy(w.begin(), w.end(), buffer);
    buffer[w.size()] = 0;
    return static_cast<DWORD>(w.size());
}

BOOL SetCurrentDirectoryW(LPCWSTR path) {
    if (!path) return FALSE;
    std::string p = WideToUtf8(path);
    for (char& c : p)
        if (c == '\\') c = '/';
    if (chdir(p.c_str()) != 0) {
        SetLastError(3); // ERROR_PATH_NOT_FOUND
        return FALSE;
    }
    return TRUE;
}

win32bk::ScreenInfo win32bk::GetScreenInfo() {
    std::lock_guard<std::mutex> lock(g_screenMutex);
    return g_screens.front();
}
void win32bk::SetScreenInfo(const ScreenInfo& info) {
    SetScreens({info});
}
void win32bk::SetScreens(const std::vector<ScreenInfo>& screens) {
    if (screens.empty()) return;
    std::lock_guard<std::mutex> lock(g_screenMutex);
    g_screens = screens;
}

win32bk::ScreenInfo win32bk::ScreenHolding(const RECT& r) {
    std::lock_guard<std::mutex> lock(g_screenMutex);
    const ScreenInfo* best = &g_screens.front();
    long long most = 0;
    for (const ScreenInfo& s : g_screens) {
        RECT in;
        if (!IntersectRect(&in, &s.screen, &r)) continue;
        const long long area = static_cast<long long>(in.right - in.left) * (in.bottom - in.top);
        if (area > most) most = area, best = &s;
    }
    if (most > 0) return *best;
    // On no screen: the one nearest to its centre.
    const long long cx = (static_cast<long long>(r.left) + r.right) / 2,
                    cy = (static_cast<long long>(r.top) + r.bottom) / 2;
    long long nearest = -1;
    for (const ScreenInfo& s : g_screens) {
        const long long dx = cx < s.screen.left     ? s.screen.left - cx
                             : cx >= s.screen.right ? cx - s.screen.right + 1
                                                    : 0;
        const long long dy = cy < s.screen.top       ? s.screen.top - cy
                             : cy >= s.screen.bottom ? cy - s.screen.bottom + 1
                                                     : 0;
        const long long d = dx * dx + dy * dy;
        if (nearest < 0 || d < nearest) nearest = d, best = &s;
    }
    return *best;
}

BOOL SystemParametersInfoW(UINT action, UINT, LPVOID data, UINT) {
    if (action == SPI_GETWORKAREA && data) {
        *static_cast<RECT*>(data) = win32bk::GetScreenInfo().work;
        return TRUE;
    }
    return FALSE;
}

void win32bk::ApplyShowCommand(HWND hwnd, int cmd) {
    auto w = win32bk::Find(hwnd);
    if (!w || w->parent) return;
    std::lock_guard<std::mutex> lock(g_placeMutex);
    Placement* p = PlacementOf(hwnd, true);
    switch (cmd) {
    case SW_MAXIMIZE: {
        if (!p->maximized && !p->minimized) p->normal = w->rect;
        p->maximized = true, p->minimized = false;
        w->style = (w->style | WS_MAXIMIZE) & ~WS_MINIMIZE;
        RECT work = ScreenHolding(w->rect).work;
        SetWindowPos(hwnd, nullptr, work.left, work.top, work.right - work.left, work.bottom - work.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        break;
    }
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
        // A maximised window minimised is restored to maximised: the
        // placement keeps that, the style says minimised only (as when the
        // window manager minimises it).
        if (!p->maximized && !p->minimized) p->normal = w->rect;
        p->minimized = true;
        w->style = (w->style | WS_MINIMIZE) & ~WS_MAXIMIZE;
        break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
        if (p->minimized) {
            p->minimized = false;
            w->style &= ~WS_MINIMIZE;
            if (p->maximized && cmd == SW_RESTORE) {
                w->style |= WS_MAXIMIZE;
                break;
            }
        }
        if (p->maximized || cmd == SW_RESTORE) {
            p->maximized = false;
            w->style &= ~WS_MAXIMIZE;
            RECT r = p->normal;
            SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
        break;
    }
}

// The window manager keeps a top-level's state and, while it is maximised,
// its geometry: the window's style and its place to restore to follow it.
// Restored by the window manager, the window has the geometry the window
// manager gives it, which is its place before: some tell the state before
// that geometry, others (xfwm4) after it, so the window asks for no place
// of its own here. A maximised window it minimises (told as both, or as
// minimised alone) is minimised and restored to maximised, as after
// SW_MINIMIZE.
void win32bk::HostStateChanged(HWND hwnd, bool maximized, bool minimized) {
    auto w = win32bk::Find(hwnd);
    if (!w || w->parent) return;
    {
        std::lock_guard<std::mutex> lock(g_placeMutex);
        Placement* p = PlacementOf(hwnd, true);
        if ((maximized || minimized) && !p->maximized && !p->minimized) p->normal = w->rect;
        p->minimized = minimized;
        if (!minimized) p->maximized = maximized;
    }
    const DWORD before = w->style;
    DWORD style = w->style & ~(WS_MAXIMIZE | WS_MINIMIZE);
    if (minimized)
        style |= WS_MINIMIZE;
    else if (maximized)
        style |= WS_MAXIMIZE;
    w->style = style;
    // Maximised or restored: WM_SIZE says which, with the size the window
    // has now; the geometry that goes with it follows.
    if (!minimized && ((before ^ style) & (WS_MAXIMIZE | WS_MINIMIZE))) RelayoutWindow(hwnd, true);
}

BOOL IsIconic(HWND hwnd) {
    auto w = win32bk::Find(hwnd);
    return w && (w->style & WS_MINIMIZE) ? TRUE : FALSE;
}
BOOL IsZoomed(HWND hwnd) {
    auto w = win32bk::Find(hwnd);
    return w && (w->style & WS_MAXIMIZE) ? TRUE : FALSE;
}
BOOL BringWindowToTop(HWND hwnd) {
    if (!IsWindow(hwnd)) return FALSE;
    HWND root = GetAncestor(hwnd, GA_ROOT);
    if (IsWindowVisible(root)) SetForegroundWindow(root);
    return TRUE;
}
BOOL AttachThreadInput(DWORD, DWORD, BOOL) {
    return TRUE;
}

DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD pid) {
    auto w = win32bk::Find(hwnd);
    if (!w) return 0;
    if (pid) *pid = static_cast<DWORD>(getpid());
    return w->threadId;
}

namespace {
std::atomic<HWND> g_firstShown{nullptr};
win32bk::IdleHook g_idleHook = nullptr;
} // namespace

HWND win32bk::FirstShownTopLevel() {
    return g_firstShown.load();
}
void win32bk::NoteTopLevelShown(HWND hwnd) {
    if (g_firstShown.load()) return;
    WCHAR cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    std::u16string c = cls;
    if (c == u"#32768" || c == u"tooltips_class32") return;
    HWND none = nullptr;
    g_firstShown.compare_exchange_strong(none, hwnd);
}
void win32bk::SetIdleHook(IdleHook hook) {
    g_idleHook = hook;
}
void win32bk::RunIdleHook() {
    if (g_idleHook) g_idleHook();
}
