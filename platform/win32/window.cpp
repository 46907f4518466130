// Window registry, classes, creation and destruction, geometry, default
// window procedure, scroll-bar state and update regions.
#include <algorithm>
#include <map>
#include <mutex>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "platform/win32/wnd_internal.h"
#include "win32/dialog.h"
#include "win32/errors.h"
#include "win32/gdi.h"
#include "win32/menu.h"
#include "win32/sysinfo.h"
#include "win32/thread.h"
#include "win32/wstring.h"

namespace win32bk {

namespace {
std::mutex g_regMutex;
std::unordered_map<uintptr_t, std::shared_ptr<Wnd>>& Registry() {
    static auto* m = new std::unordered_map<uintptr_t, std::shared_ptr<Wnd>>;
    return *m;
}
uintptr_t g_nextId = 0x10000;

std::u16string Lower(LPCWSTR s) {
    std::u16string out;
    for (; s && *s; ++s) out.push_back(towlower16(*s));
    return out;
}
std::map<std::u16string, std::shared_ptr<ClassRec>>& Classes() {
    static auto* m = new std::map<std::u16string, std::shared_ptr<ClassRec>>;
    return *m;
}
std::mutex g_classMutex;
CreateHook g_createHook = nullptr;
Backend* g_backend = nullptr;

LRESULT ScrollBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_ERASEBKGND) return 1;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void EnsureBuiltinClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ScrollBarProc;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = u"ScrollBar";
        RegisterClassW(&wc);
    });
}

int BorderOf(const Wnd& w) {
    int b = 0;
    if ((w.style & WS_BORDER) && !IsDecorated(w)) b += 1;
    if (w.exStyle & WS_EX_CLIENTEDGE) b += 2;
    return b;
}
} // namespace

bool IsDecorated(const Wnd& w) {
    return !w.parent && !(w.style & WS_CHILD) &&
           ((w.style & WS_CAPTION) == WS_CAPTION || (w.style & WS_THICKFRAME));
}

// The caption and borders of a decorated window, by the fixed metrics: the
// window manager draws them as it likes, the window's rectangle keeps them.
RECT FrameInsets(const Wnd& w) {
    if (!IsDecorated(w)) return RECT{0, 0, 0, 0};
    int t = 0;
    if (w.style & WS_THICKFRAME)
        t = GetSystemMetrics(SM_CXFRAME);
    else if ((w.style & WS_DLGFRAME) || (w.exStyle & WS_EX_DLGMODALFRAME))
        t = GetSystemMetrics(SM_CXDLGFRAME);
    else if (w.style & WS_BORDER)
        t = GetSystemMetrics(SM_CXBORDER);
    int caption = (w.style & WS_CAPTION) == WS_CAPTION ? GetSystemMetrics(SM_CYCAPTION) : 0;
    return RECT{t, t + caption, t, t};
}

void InstallBackend(Backend* backend) {
    g_backend = backend;
}
Backend* GetBackend() {
    return g_backend;
}
void SetCreateHook(CreateHook hook) {
    g_createHook = hook;
}

std::shared_ptr<Wnd> Find(HWND hwnd) {
    std::lock_guard<std::mutex> lock(g_regMutex);
    auto it = Registry().find(reinterpret_cast<uintptr_t>(hwnd));
    if (it == Registry().end() || it->second->dead) return nullptr;
    return it->second;
}

void SetWindowObject(HWND hwnd, void* obj) {
    if (auto w = Find(hwnd)) w->object = obj;
}
void* GetWindowObject(HWND hwnd) {
    auto w = Find(hwnd);
    return w ? w->object : nullptr;
}

bool IsBarControl(const Wnd& w) {
    return w.cls && Lower(w.cls->name.c_str()) == u"scrollbar";
}

RECT ClientRectOf(const Wnd& w) {
    return RECT{0, 0, w.client.right - w.client.left, w.client.bottom - w.client.top};
}

// Recomputes the client rectangle from the window rectangle, border and bars.
static void Layout(Wnd& w) {
    int b = BorderOf(w);
    RECT f = FrameInsets(w);
    RECT c{f.left + b, f.top + b, w.rect.right - w.rect.left - f.right - b,
           w.rect.bottom - w.rect.top - f.bottom - b};
    if (!IsBarControl(w)) {
        w.vbar.visible = (w.style & WS_VSCROLL) != 0;
        w.hbar.visible = (w.style & WS_HSCROLL) != 0;
        if (w.vbar.visible) c.right -= GetSystemMetrics(SM_CXVSCROLL);
        if (w.hbar.visible) c.bottom -= GetSystemMetrics(SM_CYHSCROLL);
    }
    if (!w.parent && w.menu) c.top = std::min<LONG>(c.top + MenuBarHeight(), std::max(c.bottom, c.top));
    c.right = std::max(c.right, c.left);
    c.bottom = std::max(c.bottom, c.top);
    w.client = c;
}

static void Sync(HWND hwnd) {
    if (g_backend) g_backend->HostSync(hwnd);
}

// Re-lays out after a change of size, style or bars; sends WM_SIZE when the
// client size changed.
static void Relayout(const std::shared_ptr<Wnd>& w, bool sizeAnyway = false) {
    RECT before = ClientRectOf(*w);
    Layout(*w);
    RECT after = ClientRectOf(*w);
    Sync(w->hwnd);
    if (sizeAnyway || !EqualRect(&before, &after)) {
        if ((w->cls->style & (CS_HREDRAW | CS_VREDRAW)) || after.right > before.right ||
            after.bottom > before.bottom)
            InvalidateRect(w->hwnd, nullptr, TRUE);
        w->update.Intersect(after);
        WPARAM kind = (w->style & WS_MAXIMIZE) ? SIZE_MAXIMIZED : SIZE_RESTORED;
        SendMessageW(w->hwnd, WM_SIZE, kind, MAKELPARAM(after.right, after.bottom));
    }
}

void RelayoutWindow(HWND hwnd, bool sizeAnyway) {
    if (auto w = Find(hwnd)) Relayout(w, sizeAnyway);
}

bool GetHostView(HWND hwnd, HostView* v) {
    auto w = Find(hwnd);
    if (!w) return false;
    RECT f = FrameInsets(*w);
    v->parent = w->parent;
    v->owner = w->parent ? nullptr : w->owner;
    v->decorated = IsDecorated(*w);
    v->menuPopup = !w->parent && w->cls && w->cls->name == u"#32768";
    v->tip = !w->parent && !v->decorated && !v->menuPopup && (w->exStyle & WS_EX_TOOLWINDOW);
    v->window =
        RECT{w->rect.left + f.left, w->rect.top + f.top, w->rect.right - f.right, w->rect.bottom - f.bottom};
    v->window.right = std::max(v->window.right, v->window.left);
    v->window.bottom = std::max(v->window.bottom, v->window.top);
    v->client = w->client;
    OffsetRect(&v->client, -f.left, -f.top);
    v->resizable = v->decorated && (w->style & WS_THICKFRAME);
    v->minTrack = SIZE{std::max<LONG>(w->minTrack.x - f.left - f.right, 0),
                       std::max<LONG>(w->minTrack.y - f.top - f.bottom, 0)};
    v->maxTrack = SIZE{std::max<LONG>(w->maxTrack.x - f.left - f.right, 0),
                       std::max<LONG>(w->maxTrack.y - f.top - f.bottom, 0)};
    v->style = w->style;
    if (v->decorated) v->style &= ~WS_BORDER; // the window manager's frame has it
    v->exStyle = w->exStyle;
    v->visible = (w->style & WS_VISIBLE) != 0;
    v->isBarControl = IsBarControl(*w);
    v->vbar = w->vbar;
    v->hbar = w->hbar;
    if (w->tracking[SB_VERT]) v->vbar.info.nPos = w->vbar.info.nTrackPos;
    if (w->tracking[SB_HORZ]) v->hbar.info.nPos = w->hbar.info.nTrackPos;
    const RECT& c = v->client;
    v->vbarRect = v->hbarRect = v->menuBar = RECT{0, 0, 0, 0};
    if (!w->parent && w->menu) v->menuBar = RECT{c.left, c.top - MenuBarHeight(), c.right, c.top};
    if (!v->isBarControl) {
        if (w->vbar.visible)
            v->vbarRect = RECT{c.right, c.top, c.right + GetSystemMetrics(SM_CXVSCROLL), c.bottom};
        if (w->hbar.visible)
            v->hbarRect = RECT{c.left, c.bottom, c.right, c.bottom + GetSystemMetrics(SM_CYHSCROLL)};
    }
    return true;
}

Surface* BufferOf(HWND hwnd) {
    return g_backend ? g_backend->HostBuffer(hwnd) : nullptr;
}

extern thread_local int t_presentNow;
void Present(HWND hwnd, const RECT& r) {
    if (!g_backend || IsRectEmpty(&r)) return;
    if (t_presentNow)
        g_backend->HostPresentNow(hwnd, r);
    else
        g_backend->HostPresent(hwnd, r);
}

LRESULT CallProc(const std::shared_ptr<Wnd>& w, UINT msg, WPARAM wParam, LPARAM lParam);

} // namespace win32bk

using namespace win32bk;

// --- Classes -------------------------------------------------------------------

ATOM RegisterClassW(const WNDCLASSW* wc) {
    if (!wc || !wc->lpszClassName) return 0;
    auto c = std::make_shared<ClassRec>();
    c->name = wc->lpszClassName;
    c->style = wc->style;
    c->proc = wc->lpfnWndProc;
    c->cbWndExtra = wc->cbWndExtra;
    c->cursor = wc->hCursor;
    c->background = wc->hbrBackground;
    c->instance = wc->hInstance;
    std::lock_guard<std::mutex> lock(g_classMutex);
    auto key = Lower(wc->lpszClassName);
    if (Classes().count(key)) {
        SetLastError(1410); // ERROR_CLASS_ALREADY_EXISTS
        return 0;
    }
    Classes()[key] = c;
    return static_cast<ATOM>(0xC000 + Classes().size());
}

ATOM RegisterClassExW(const WNDCLASSEXW* wc) {
    WNDCLASSW w{wc->style, wc->lpfnWndProc, wc->cbClsExtra,    wc->cbWndExtra,   wc->hInstance,
                wc->hIcon, wc->hCursor,     wc->hbrBackground, wc->lpszMenuName, wc->lpszClassName};
    return RegisterClassW(&w);
}

BOOL UnregisterClassW(LPCWSTR name, HINSTANCE) {
    std::lock_guard<std::mutex> lock(g_classMutex);
    return Classes().erase(Lower(name)) ? TRUE : FALSE;
}

static std::shared_ptr<ClassRec> FindClass(LPCWSTR name) {
    EnsureBuiltinClasses();
    EnsureControlClasses();
    std::lock_guard<std::mutex> lock(g_classMutex);
    auto it = Classes().find(Lower(name));
    return it == Classes().end() ? nullptr : it->second;
}

BOOL GetClassInfoW(HINSTANCE, LPCWSTR name, WNDCLASSW* wc) {
    auto c = FindClass(name);
    if (!c) return FALSE;
    *wc = WNDCLASSW{};
    wc->style = c->style;
    wc->lpfnWndProc = c->proc;
    wc->cbWndExtra = c->cbWndExtra;
    wc->hCursor = c->cursor;
    wc->hbrBackground = c->background;
    wc->hInstance = c->instance;
    wc->lpszClassName = name;
    return TRUE;
}

int GetClassNameW(HWND hwnd, LPWSTR buf, int max) {
    auto w = Find(hwnd);
    if (!w || max <= 0) return 0;
    int n = std::min<int>(static_cast<int>(w->cls->name.size()), max - 1);
    std::copy_n(w->cls->name.data(), n, buf);
    buf[n] = 0;
    return n;
}

DWORD GetClassLongW(HWND hwnd, int index) {
    auto w = Find(hwnd);
    if (!w) return 0;
    if (index == GCL_STYLE) return w->cls->style;
    return 0;
}

// --- Tracking sizes -----------------------------------------------------------------

// Top-level windows with a sizing border are asked for their tracking sizes
// whenever their size is about to change, and held between them; others
// keep any size they are given (Windows holds plain overlapped windows too;
// nothing here relies on that).
static bool AsksMinMax(const Wnd& w) {
    return !w.parent && !(w.style & WS_CHILD) && (w.style & WS_THICKFRAME);
}

static void QueryMinMax(const std::shared_ptr<Wnd>& w) {
    if (!AsksMinMax(*w)) {
        w->minTrack = POINT{0, 0};
        w->maxTrack = POINT{0x7FFF, 0x7FFF};
        return;
    }
    RECT work = GetScreenInfo().work;
    RECT f = FrameInsets(*w);
    MINMAXINFO mmi{};
    mmi.ptMaxSize =
        POINT{work.right - work.left + f.left + f.right, work.bottom - work.top + f.left + f.right};
    mmi.ptMaxPosition = POINT{work.left - f.left, work.top - f.left};
    mmi.ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
    mmi.ptMaxTrackSize = POINT{GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
    SendMessageW(w->hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    w->minTrack = POINT{std::max<LONG>(mmi.ptMinTrackSize.x, 0), std::max<LONG>(mmi.ptMinTrackSize.y, 0)};
    w->maxTrack =
        POINT{std::max(mmi.ptMaxTrackSize.x, w->minTrack.x), std::max(mmi.ptMaxTrackSize.y, w->minTrack.y)};
}

static void HoldSize(const Wnd& w, RECT* r) {
    if (!AsksMinMax(w)) return;
    LONG cx = std::clamp<LONG>(r->right - r->left, w.minTrack.x, w.maxTrack.x);
    LONG cy = std::clamp<LONG>(r->bottom - r->top, w.minTrack.y, w.maxTrack.y);
    r->right = r->left + cx;
    r->bottom = r->top + cy;
}

BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle) {
    if (!rect) return FALSE;
    Wnd w;
    w.style = style;
    w.exStyle = exStyle;
    RECT f = (style & WS_CHILD) ? RECT{0, 0, 0, 0} : FrameInsets(w);
    int b = BorderOf(w);
    rect->left -= f.left + b;
    rect->top -= f.top + b + (menu && !(style & WS_CHILD) ? MenuBarHeight() : 0);
    rect->right += f.right + b;
    rect->bottom += f.bottom + b;
    return TRUE;
}

BOOL AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu) {
    return AdjustWindowRectEx(rect, style, menu, 0);
}

// --- Creation and destruction -------------------------------------------------------

// A decorated top-level window about to be shown is moved wholly onto the
// work area of the screen that holds its owner (its own, unowned), its
// top-left corner kept there when it is larger: a dialog placed by its
// owner's corner or by a stored size must not open with its buttons below
// the screen, nor on another screen than its owner. True when it moved.
static bool KeepOnWorkArea(Wnd& w) {
    if (!IsDecorated(w) || (w.style & (WS_MAXIMIZE | WS_MINIMIZE))) return false;
    RECT holder = w.rect;
    if (auto o = w.owner ? Find(GetAncestor(w.owner, GA_ROOT)) : nullptr) holder = o->rect;
    const RECT work = ScreenHolding(holder).work;
    if (IsRectEmpty(&work)) return false;
    const LONG cx = w.rect.right - w.rect.left, cy = w.rect.bottom - w.rect.top;
    const LONG x = std::max(work.left, std::min(w.rect.left, work.right - cx));
    const LONG y = std::max(work.top, std::min(w.rect.top, work.bottom - cy));
    if (x == w.rect.left && y == w.rect.top) return false;
    w.rect = RECT{x, y, x + cx, y + cy};
    return true;
}

static void Activate(HWND hwnd, WORD how = WA_ACTIVE);
static void PassActivationToOwner(const Wnd& w);

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int cx,
                     int cy, HWND parent, HMENU menu, HINSTANCE inst, LPVOID param) {
    auto cls = FindClass(className);
    if (!cls) {
        SetLastError(1407); // ERROR_CANNOT_FIND_WND_CLASS
        return nullptr;
    }
    std::shared_ptr<Wnd> parentRec;
    if (parent) {
        parentRec = Find(parent);
        if (!parentRec) {
            SetLastError(1400); // ERROR_INVALID_WINDOW_HANDLE
            return nullptr;
        }
    }
    if ((style & WS_CHILD) && !parentRec) {
        SetLastError(1406); // ERROR_TLW_WITH_WSCHILD
        return nullptr;
    }
    if (x == CW_USEDEFAULT) x = y = 0;
    if (cx == CW_USEDEFAULT) cx = 640, cy = 480;
    auto w = std::make_shared<Wnd>();
    {
        std::lock_guard<std::mutex> lock(g_regMutex);
        uintptr_t id = g_nextId;
        g_nextId += 4;
        w->hwnd = reinterpret_cast<HWND>(id);
        Registry()[id] = w;
    }
    HWND hwnd = w->hwnd;
    w->thread = std::this_thread::get_id();
    w->threadId = GetCurrentThreadId();
    w->cls = cls;
    w->proc = cls->proc;
    w->style = style;
    w->exStyle = exStyle;
    if (style & WS_CHILD) {
        w->parent = parent;
        w->id = reinterpret_cast<UINT_PTR>(menu);
        parentRec->children.push_back(hwnd);
    } else {
        w->owner = parent ? GetAncestor(parent, GA_ROOT) : nullptr;
        w->menu = IsMenu(menu) ? menu : nullptr;
    }
    w->rect = RECT{x, y, x + std::max(cx, 0), y + std::max(cy, 0)};
    w->extra.assign(std::max(cls->cbWndExtra, 0), 0);
    if (windowName && !IS_INTRESOURCE(windowName)) w->text = windowName;
    if (IsBarControl(*w)) {
        w->vbar.visible = true;
        w->vbar.info.nMax = 100;
    }
    Layout(*w);
    if (g_backend) {
        g_backend->HostCreate(hwnd);
        // The name it was made with is its caption until WM_SETTEXT changes it.
        if (!w->text.empty()) g_backend->HostSetText(hwnd, w->text);
    }

    CREATESTRUCTW cs{param,      inst,      menu,   parent, cy, cx, y, x, static_cast<LONG>(style),
                     windowName, className, exStyle};
    if (g_createHook) g_createHook(hwnd, &cs);
    if (AsksMinMax(*w)) {
        QueryMinMax(w);
        if (!IsWindow(hwnd)) return nullptr;
        RECT held = w->rect;
        HoldSize(*w, &held);
        if (!EqualRect(&held, &w->rect)) {
            w->rect = held;
            Layout(*w);
            cs.cx = held.right - held.left;
            cs.cy = held.bottom - held.top;
            Sync(hwnd);
        }
    }
    if (!SendMessageW(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!IsWindow(hwnd)) return nullptr;
    if (SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!IsWindow(hwnd)) return nullptr;
    w->created = true;
    RECT c = ClientRectOf(*w);
    SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.right, c.bottom));
    SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(w->rect.left + w->client.left, w->rect.top + w->client.top));
    if (!IsWindow(hwnd)) return nullptr;
    if (w->style & WS_VISIBLE) {
        if (KeepOnWorkArea(*w))
            SendMessageW(hwnd, WM_MOVE, 0,
                         MAKELPARAM(w->rect.left + w->client.left, w->rect.top + w->client.top));
        if (!IsWindow(hwnd)) return nullptr;
        Sync(hwnd);
        InvalidateRect(hwnd, nullptr, TRUE);
        if (!w->parent) NoteTopLevelShown(hwnd);
        if (!w->parent) Activate(hwnd);
    }
    return IsWindow(hwnd) ? hwnd : nullptr;
}

static void SendDestroy(HWND hwnd) {
    auto w = Find(hwnd);
    if (!w) return;
    SendMessageW(hwnd, WM_DESTROY, 0, 0);
    std::vector<HWND> kids = w->children;
    for (HWND k : kids) SendDestroy(k);
}

namespace win32bk {
void ForgetWindowInput(HWND hwnd);
void KillTimersOf(HWND hwnd);
} // namespace win32bk

static void SendNcDestroy(HWND hwnd) {
    auto w = Find(hwnd);
    if (!w) return;
    std::vector<HWND> kids = w->children;
    for (HWND k : kids) SendNcDestroy(k);
    SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
    w->dead = true;
    if (!w->parent && w->menu) DestroyMenu(std::exchange(w->menu, nullptr));
    KillTimersOf(hwnd);
    ForgetWindowInput(hwnd);
    if (w->parent)
        if (auto p = Find(w->parent)) std::erase(p->children, hwnd);
    {
        std::lock_guard<std::mutex> lock(g_regMutex);
        Registry().erase(reinterpret_cast<uintptr_t>(hwnd));
    }
    if (g_backend) g_backend->HostDestroy(hwnd);
}

BOOL DestroyWindow(HWND hwnd) {
    auto w = Find(hwnd);
    if (!w || w->destroying) return w ? TRUE : FALSE;
    w->destroying = true;
    // Owned top-level windows go first.
    std::vector<HWND> owned;
    {
        std::lock_guard<std::mutex> lock(g_regMutex);
        for (auto& [id, o] : Registry())
            if (o->owner == hwnd && !o->dead) owned.push_back(o->hwnd);
    }
    for (HWND o : owned) DestroyWindow(o);
    PassActivationToOwner(*w);
    HWND focus = GetFocus();
    if (focus && (focus == hwnd || IsChild(hwnd, focus))) SetFocus(nullptr);
    HWND cap = GetCapture();
    if (cap && (cap == hwnd || IsChild(hwnd, cap))) ReleaseCapture();
    if (w->style & WS_VISIBLE) {
        w->style &= ~WS_VISIBLE;
        Sync(hwnd);
    }
    SendDestroy(hwnd);
    SendNcDestroy(hwnd);
    return TRUE;
}

void win32bk::DestroyAllWindows() {
    for (;;) {
        HWND top = nullptr;
        {
            std::lock_guard<std::mutex> lock(g_regMutex);
            for (auto& [id, w] : Registry())
                if (!w->dead && !w->parent && !w->destroying && w->thread == std::this_thread::get_id()) {
                    top = w->hwnd;
                    break;
                }
        }
        if (!top) return;
        DestroyWindow(top);
    }
}

BOOL IsWindow(HWND hwnd) {
    return hwnd && Find(hwnd) ? TRUE : FALSE;
}

BOOL IsChild(HWND parent, HWND hwnd) {
    for (auto w = Find(hwnd); w && w->parent; w = Find(w->parent))
        if (w->parent == parent) return TRUE;
    return FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
    auto w = Find(hwnd);
    if (!w) return FALSE;
    for (; w; w = w->parent ? Find(w->parent) : nullptr)
        if (!(w->style & WS_VISIBLE)) return FALSE;
    return TRUE;
}

BOOL IsWindowEnabled(HWND hwnd) {
    auto w = Find(hwnd);
    return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    auto w = Find(hwnd);
    if (!w) return FALSE;
    BOOL wasDisabled = (w->style & WS_DISABLED) ? TRUE : FALSE;
    if (enable == !wasDisabled) return wasDisabled;
    if (enable)
        w->style &= ~WS_DISABLED;
    else {
        w->style |= WS_DISABLED;
        HWND focus = GetFocus();
        if (focus && (focus == hwnd || IsChild(hwnd, focus))) SetFocus(nullptr);
        if (GetCapture() == hwnd) ReleaseCapture();
    }
    Sync(hwnd);
    SendMessageW(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled;
}

// A top-level window shown (not SW_SHOWNA / SW_SHOWNOACTIVATE) becomes the active one.
namespace win32bk {
void ActivateWindow(HWND hwnd);
}
void win32bk::ActivateWindow(HWND hwnd) {
    Activate(hwnd);
}
void win32bk::ClickActivateWindow(HWND hwnd) {
    Activate(hwnd, WA_CLICKACTIVE);
}

static void Activate(HWND hwnd, WORD how) {
    HWND prev = GetActiveWindow();
    if (prev == hwnd || !IsWindowEnabled(hwnd)) return;
    if (prev) SendMessageW(prev, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
    if (IsWindow(hwnd)) SendMessageW(hwnd, WM_ACTIVATE, how, reinterpret_cast<LPARAM>(prev));
}

// The active window hidden or going away hands the activation to its owner
// when the owner can take it (shown, enabled and not going away itself).
static void PassActivationToOwner(const Wnd& w) {
    if (w.parent || !w.owner || GetActiveWindow() != w.hwnd) return;
    auto owner = Find(w.owner);
    if (!owner || owner->destroying || !(owner->style & WS_VISIBLE) || (owner->style & WS_DISABLED)) return;
    Activate(w.owner);
}

BOOL ShowWindow(HWND hwnd, int cmd) {
    auto w = Find(hwnd);
    if (!w) return FALSE;
    BOOL was = (w->style & WS_VISIBLE) ? TRUE : FALSE;
    bool show = cmd != SW_HIDE;
    if (!w->parent) {
        // A new state, even with the same rectangle (a minimised window
        // restored to maximised), is the display's to show.
        const DWORD state = w->style & (WS_MINIMIZE | WS_MAXIMIZE);
        ApplyShowCommand(hwnd, cmd);
        if (!IsWindow(hwnd)) return was;
        if ((w->style & (WS_MINIMIZE | WS_MAXIMIZE)) != state) Sync(hwnd);
    }
    if (show == static_cast<bool>(was)) return was;
    SendMessageW(hwnd, WM_SHOWWINDOW, show, 0);
    if (!IsWindow(hwnd)) return was;
    const bool moved = show && KeepOnWorkArea(*w);
    if (show)
        w->style |= WS_VISIBLE;
    else
        w->style &= ~WS_VISIBLE;
    Sync(hwnd);
    if (moved)
        SendMessageW(hwnd, WM_MOVE, 0,
                     MAKELPARAM(w->rect.left + w->client.left, w->rect.top + w->client.top));
    if (!IsWindow(hwnd)) return was;
    if (!show) PassActivationToOwner(*w);
    if (show && !w->parent) NoteTopLevelShown(hwnd);
    if (show && !w->parent && cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE && cmd != SW_SHOWMINIMIZED)
        Activate(hwnd);
    if (show)
        InvalidateRect(hwnd, nullptr, TRUE);
    else if (w->parent) {
        RECT r = w->rect;
        InvalidateRect(w->parent, &r, TRUE);
    }
    return was;
}

BOOL SetWindowPos(HWND hwnd, HWND after, int x, int y, int cx, int cy, UINT flags) {
    auto w = Find(hwnd);
    if (!w) return FALSE;
    RECT old = w->rect;
    RECT r = old;
    if (!(flags & SWP_NOMOVE)) r = RECT{x, y, x + (r.right - r.left), y + (r.bottom - r.top)};
    if (!(flags & SWP_NOSIZE)) {
        r.right = r.left + std::max(cx, 0), r.bottom = r.top + std::max(cy, 0);
        if (AsksMinMax(*w)) {
            QueryMinMax(w);
            if (!IsWindow(hwnd)) return FALSE;
            HoldSize(*w, &r);
        }
    }
    if (!(flags & SWP_NOZORDER) && w->parent && (after == HWND_TOP || after == HWND_BOTTOM)) {
        if (auto p = Find(w->parent)) {
            std::erase(p->children, hwnd);
            if (after == HWND_TOP)
                p->children.push_back(hwnd);
            else
                p->children.insert(p->children.begin(), hwnd);
        }
    }
    const bool shown = (flags & SWP_SHOWWINDOW) && !(w->style & WS_VISIBLE);
    if (flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
    const bool hidden = (flags & SWP_HIDEWINDOW) && (w->style & WS_VISIBLE);
    if (flags & SWP_HIDEWINDOW) w->style &= ~WS_VISIBLE;
    w->rect = r;
    if (shown && KeepOnWorkArea(*w)) r = w->rect;
    bool moved = old.left != r.left || old.top != r.top;
    Relayout(w, (flags & SWP_FRAMECHANGED) != 0);
    if (!IsWindow(hwnd)) return TRUE;
    if (hidden) PassActivationToOwner(*w);
    if (moved) SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(r.left + w->client.left, r.top + w->client.top));
    if (w->parent && !(flags & SWP_NOREDRAW) && (moved || !EqualRect(&old, &r)))
        InvalidateRect(w->parent, &old, TRUE);
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int w, int h, BOOL repaint) {
    return SetWindowPos(hwnd, nullptr, x, y, w, h,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

namespace win32bk {
void HostResized(HWND hwnd, int x, int y, int cx, int cy) {
    auto w = Find(hwnd);
    if (!w) return;
    RECT f = FrameInsets(*w);
    RECT r{x - f.left, y - f.top, x + cx + f.right, y + cy + f.bottom};
    if (EqualRect(&r, &w->rect)) return;
    bool moved = r.left != w->rect.left || r.top != w->rect.top;
    w->rect = r;
    Relayout(w);
    if (moved && IsWindow(hwnd))
        SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(r.left + w->client.left, r.top + w->client.top));
}
} // namespace win32bk

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
    auto w = Find(hwnd);
    if (!w || !rect) return FALSE;
    POINT p{0, 0};
    if (w->parent) ClientToScreen(w->parent, &p);
    *rect = w->rect;
    OffsetRect(rect, p.x, p.y);
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
    auto w = Find(hwnd);
    if (!w || !rect) return FALSE;
    *rect = ClientRectOf(*w);
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT pt) {
    auto w = Find(hwnd);
    if (!w) return FALSE;
    for (; w; w = w->parent ? Find(w->parent) : nullptr) {
        pt->x += w->rect.left + w->client.left;
        pt->y += w->rect.top + w->client.top;
    }
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT pt) {
    POINT o{0, 0};
    if (!ClientToScreen(hwnd, &o)) return FALSE;
    pt->x -= o.x;
    pt->y -= o.y;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, LPPOINT pts, UINT count) {
    POINT a{0, 0}, b{0, 0};
    if (from) ClientToScreen(from, &a);
    if (to) ClientToScreen(to, &b);
    int dx = a.x - b.x, dy = a.y - b.y;
    for (UINT i = 0; i < count; ++i) pts[i].x += dx, pts[i].y += dy;
    return MAKELONG(dx, dy);
}

HWND GetParent(HWND hwnd) {
    auto w = Find(hwnd);
    if (!w) return nullptr;
    return w->parent ? w->parent : w->owner;
}

HWND SetParent(HWND hwnd, HWND parent) {
    auto w = Find(hwnd);
    if (!w) return nullptr;
    HWND old = w->parent;
    if (old)
        if (auto p = Find(old)) std::erase(p->children, hwnd);
    w->parent = parent;
    if (parent)
        if (auto p = Find(parent)) p->children.push_back(hwnd);
    Sync(hwnd);
    return old;
}

HWND GetAncestor(HWND hwnd, UINT flags) {
    auto w = Find(hwnd);
    if (!w) return nullptr;
    if (flags == GA_PARENT) return w->parent;
    while (w->parent) w = Find(w->parent);
    return w->hwnd;
}

HWND GetWindow(HWND hwnd, UINT cmd) {
    auto w = Find(hwnd);
    if (!w) return nullptr;
    if (cmd == GW_OWNER) return w->owner;
    if (cmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.back();
    auto p = w->parent ? Find(w->parent) : nullptr;
    if (!p) return nullptr;
    auto& k = p->children;
    auto it = std::find(k.begin(), k.end(), hwnd);
    switch (cmd) {
    case GW_HWNDFIRST: return k.back();
    case GW_HWNDLAST: return k.front();
    case GW_HWNDNEXT: return it == k.begin() ? nullptr : *(it - 1);
    case GW_HWNDPREV: return it + 1 == k.end() ? nullptr : *(it + 1);
    }
    return nullptr;
}

HWND GetDlgItem(HWND hwnd, int id) {
    auto w = Find(hwnd);
    if (!w) return nullptr;
    for (HWND k : w->children)
        if (auto c = Find(k); c && c->id == static_cast<UINT_PTR>(id)) return k;
    return nullptr;
}

int GetDlgCtrlID(HWND hwnd) {
    auto w = Find(hwnd);
    return w ? static_cast<int>(w->id) : 0;
}

HWND ChildWindowFromPoint(HWND parent, POINT pt) {
    auto w = Find(parent);
    if (!w) return nullptr;
    for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
        auto c = Find(*it);
        if (c && (c->style & WS_VISIBLE) && PtInRect(&c->rect, pt)) return *it;
    }
    RECT cr = ClientRectOf(*w);
    return PtInRect(&cr, pt) ? parent : nullptr;
}

HWND WindowFromPoint(POINT pt) {
    std::vector<std::shared_ptr<Wnd>> tops;
    {
        std::lock_guard<std::mutex> lock(g_regMutex);
        for (auto& [id, w] : Registry())
            if (!w->parent && !w->dead && (w->style & WS_VISIBLE) && PtInRect(&w->rect, pt))
                tops.push_back(w);
    }
    if (tops.empty()) return nullptr;
    auto best =
        std::max_element(tops.begin(), tops.end(), [](auto& a, auto& b) { return a->hwnd < b->hwnd; });
    HWND h = (*best)->hwnd;
    for (;;) {
        POINT c = pt;
        ScreenToClient(h, &c);
        HWND k = ChildWindowFromPoint(h, c);
        if (!k || k == h) return h;
        h = k;
    }
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
    auto w = Find(hwnd);
    if (!w) return 0;
    switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->cls->instance);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    case GWLP_USERDATA: return w->userData;
    case GWLP_ID: return static_cast<LONG_PTR>(w->id);
    case GWL_STYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w->style));
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w->exStyle));
    }
    if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= w->extra.size()) {
        LONG_PTR v;
        std::memcpy(&v, w->extra.data() + index, sizeof v);
        return v;
    }
    return 0;
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    auto w = Find(hwnd);
    if (!w) return 0;
    LONG_PTR old = GetWindowLongPtrW(hwnd, index);
    switch (index) {
    case GWLP_WNDPROC: w->proc = reinterpret_cast<WNDPROC>(value); break;
    case GWLP_USERDATA: w->userData = value; break;
    case GWLP_ID: w->id = static_cast<UINT_PTR>(value); break;
    case GWLP_HWNDPARENT:
        w->owner = reinterpret_cast<HWND>(value);
        Sync(hwnd);
        break;
    case GWL_STYLE: {
        DWORD keep = w->style & (WS_VISIBLE | WS_DISABLED);
        DWORD before = w->style;
        w->style = (static_cast<DWORD>(value) & ~(WS_VISIBLE | WS_DISABLED)) | keep;
        // A window that becomes sizable learns its tracking sizes now (ModifyStyle(0, WS_THICKFRAME)).
        if (w->created && !w->parent && ((before ^ w->style) & (WS_THICKFRAME | WS_POPUP))) QueryMinMax(w);
        Relayout(w);
        break;
    }
    case GWL_EXSTYLE:
        w->exStyle = static_cast<DWORD>(value);
        Relayout(w);
        break;
    default:
        if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= w->extra.size())
            std::memcpy(w->extra.data() + index, &value, sizeof value);
    }
    return old;
}

LONG GetWindowLongW(HWND hwnd, int index) {
    return static_cast<LONG>(GetWindowLongPtrW(hwnd, index));
}
LONG SetWindowLongW(HWND hwnd, int index, LONG value) {
    return static_cast<LONG>(SetWindowLongPtrW(hwnd, index, value));
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
    return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}
int GetWindowTextW(HWND hwnd, LPWSTR buf, int max) {
    return static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, max, reinterpret_cast<LPARAM>(buf)));
}
int GetWindowTextLengthW(HWND hwnd) {
    return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

// --- Default window procedure ---------------------------------------------------

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto w = Find(hwnd);
    if (!w) return 0;
    if (LRESULT ime = 0; msg >= 0x010D && ImeDefault(hwnd, msg, wParam, lParam, &ime)) return ime;
    switch (msg) {
    case WM_NCCREATE: return TRUE;
    case WM_SETCURSOR:
        if (w->parent && SendMessageW(w->parent, WM_SETCURSOR, wParam, lParam)) return TRUE;
        if (LOWORD(lParam) == HTCLIENT) {
            if (w->cls->cursor) SetCursor(w->cls->cursor);
            return w->cls->cursor ? TRUE : FALSE;
        }
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        return FALSE;
    case WM_MOUSEACTIVATE:
        // The parent decides first; without its word the press activates.
        if (w->parent && (w->style & WS_CHILD))
            if (LRESULT parent = SendMessageW(w->parent, msg, wParam, lParam)) return parent;
        return MA_ACTIVATE;
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
    case WM_CONTEXTMENU:
        if (w->parent && (w->style & WS_CHILD)) return SendMessageW(w->parent, msg, wParam, lParam);
        return 0;
    case WM_RBUTTONUP: {
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(hwnd, &p);
        SendMessageW(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(p.x, p.y));
        return 0;
    }
    case WM_KEYUP:
        // The context-menu key, pressed and released: a context menu asked
        // for from the keyboard, at the position -1, -1.
        if (wParam == VK_APPS)
            SendMessageW(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(-1, -1));
        return 0;
    case WM_ERASEBKGND: {
        HBRUSH br = w->cls->background;
        if (!br) return 0;
        if (reinterpret_cast<uintptr_t>(br) <= 31)
            br = GetSysColorBrush(static_cast<int>(reinterpret_cast<uintptr_t>(br)) - 1);
        RECT r = ClientRectOf(*w);
        FillRect(reinterpret_cast<HDC>(wParam), &r, br);
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR: {
        // A lone Alt (down and up with no other key between) opens the menu bar.
        thread_local bool altAlone = false;
        if (msg == WM_SYSKEYDOWN) {
            if (wParam != VK_MENU)
                altAlone = false;
            else if (!(lParam & (1 << 30)))
                altAlone = true;
        }
        if (msg == WM_SYSKEYUP && wParam == VK_MENU && !altAlone) return 0;
        if (msg == WM_SYSKEYUP) altAlone = false;
        // Shift+F10 asks for a context menu, as the context-menu key does.
        if (msg == WM_SYSKEYDOWN && wParam == VK_F10 && GetKeyState(VK_SHIFT) < 0) {
            SendMessageW(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(-1, -1));
            return 0;
        }
        MenuBarKey(hwnd, msg, wParam);
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !w->parent) SetFocus(hwnd);
        return 0;
    case WM_SETTEXT:
        w->text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"";
        if (g_backend) g_backend->HostSetText(hwnd, w->text);
        return TRUE;
    case WM_GETTEXT: {
        if (wParam == 0) return 0;
        auto* buf = reinterpret_cast<LPWSTR>(lParam);
        size_t n = std::min<size_t>(w->text.size(), wParam - 1);
        std::copy_n(w->text.data(), n, buf);
        buf[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(w->text.size());
    }
    return 0;
}

// --- Update regions and scrolling ----------------------------------------------------

namespace win32bk {
void NotePaintPending(HWND hwnd);
}

BOOL InvalidateRect(HWND hwnd, LPCRECT rect, BOOL erase) {
    auto w = Find(hwnd);
    if (!w) return FALSE;
    RECT c = ClientRectOf(*w);
    RECT r = c;
    if (rect && !IntersectRect(&r, rect, &c)) return TRUE;
    w->update.Add(r);
    if (erase) w->erase = true;
    NotePaintPending(hwnd);
    return TRUE;
}

BOOL InvalidateRgn(HWND hwnd, HRGN rgn, BOOL erase) {
    if (!rgn) return InvalidateRect(hwnd, nullptr, erase);
    Region* reg = RegionOf(rgn);
    for (const RECT& r : reg->Rects()) InvalidateRect(hwnd, &r, erase);
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, LPCRECT rect) {
    auto w = Find(hwnd);
    if (!w) return FALSE;
    if (rect)
        w->update.Subtract(*rect);
    else
        w->update.Clear();
    if (w->update.Empty()) w->erase = false;
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL) {
    auto w = Find(hwnd);
    if (!w) return FALSE;
    if (rect) *rect = w->update.Bounds();
    return w->update.Empty() ? FALSE : TRUE;
}

int GetUpdateRgn(HWND hwnd, HRGN rgn, BOOL) {
    auto w = Find(hwnd);
    if (!w || !rgn) return ERROR;
    *RegionOf(rgn) = w->update;
    return w->update.Empty() ? NULLREGION : COMPLEXREGION;
}

namespace win32bk {
// Set while UpdateWindow paints: what it paints reaches the screen at once.
thread_local int t_presentNow = 0;
} // namespace win32bk

BOOL UpdateWindow(HWND hwnd) {
    auto w = Find(hwnd);
    if (!w) return FALSE;
    ++t_presentNow;
    if (!w->update.Empty() && IsWindowVisible(hwnd)) SendMessageW(hwnd, WM_PAINT, 0, 0);
    --t_presentNow;
    std::vector<HWND> kids = w->children;
    for (HWND k : kids) UpdateWindow(k);
    return TRUE;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN rgn, UINT flags) {
    if (flags & RDW_INVALIDATE) {
        if (rgn)
            InvalidateRgn(hwnd, rgn, (flags & RDW_ERASE) != 0);
        else
            InvalidateRect(hwnd, rect, (flags & RDW_ERASE) != 0);
        if (flags & RDW_ALLCHILDREN)
            if (auto w = Find(hwnd))
                for (HWND k : std::vector<HWND>(w->children))
                    RedrawWindow(k, nullptr, nullptr, flags & ~RDW_UPDATENOW);
    }
    if (flags & RDW_VALIDATE) ValidateRect(hwnd, rect);
    if (flags & RDW_UPDATENOW) UpdateWindow(hwnd);
    return TRUE;
}

int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN update,
                   LPRECT updateRect, UINT flags) {
    auto w = Find(hwnd);
    if (!w) return ERROR;
    RECT c = ClientRectOf(*w);
    RECT s = c, k = c;
    if (scroll && !IntersectRect(&s, scroll, &c)) SetRectEmpty(&s);
    if (clip && !IntersectRect(&k, clip, &c)) SetRectEmpty(&k);
    Region uncovered;
    if (!IsRectEmpty(&s) && !IsRectEmpty(&k)) {
        RECT area;
        if (IntersectRect(&area, &s, &k)) {
            uncovered.Add(area);
            RECT moved = s;
            OffsetRect(&moved, dx, dy);
            uncovered.Subtract(moved);
            if (Surface* buf = BufferOf(hwnd)) g_backend->ScrollPixels(buf, s, dx, dy, k);
            // Pending invalid areas inside the scrolled rectangle move along.
            Region inside = w->update;
            inside.Intersect(s);
            w->update.Subtract(area);
            inside.Offset(dx, dy);
            inside.Intersect(k);
            w->update.Unite(inside);
            Present(hwnd, area);
        }
    }
    if (update) *RegionOf(update) = uncovered;
    if (updateRect) *updateRect = uncovered.Bounds();
    if (!uncovered.Empty() && (flags & SW_INVALIDATE || !update)) {
        for (const RECT& r : uncovered.Rects()) InvalidateRect(hwnd, &r, (flags & SW_ERASE) != 0);
    }
    return uncovered.Empty() ? NULLREGION : COMPLEXREGION;
}

BOOL ScrollWindow(HWND hwnd, int dx, int dy, LPCRECT rect, LPCRECT clip) {
    auto w = Find(hwnd);
    if (!w) return FALSE;
    if (!rect) {
        // The whole client area: children move along.
        for (HWND k : std::vector<HWND>(w->children))
            if (auto c = Find(k)) {
                c->rect.left += dx, c->rect.right += dx, c->rect.top += dy, c->rect.bottom += dy;
                Sync(k);
            }
    }
    ScrollWindowEx(hwnd, dx, dy, rect, clip, nullptr, nullptr, SW_INVALIDATE | SW_ERASE);
    return TRUE;
}

// --- Scroll bars ----------------------------------------------------------------------------

static BarState* BarOf(Wnd& w, int bar) {
    if (bar == SB_CTL) return IsBarControl(w) ? &w.vbar : nullptr;
    if (IsBarControl(w)) return nullptr;
    if (bar == SB_VERT) return &w.vbar;
    if (bar == SB_HORZ) return &w.hbar;
    return nullptr;
}

static int Limit(const SCROLLINFO& i) {
    return i.nMax - std::max<int>(static_cast<int>(i.nPage) - 1, 0);
}

static void Clamp(SCROLLINFO& i) {
    long long range = static_cast<long long>(i.nMax) - i.nMin + 1;
    if (range < 0) range = 0;
    if (static_cast<long long>(i.nPage) > range) i.nPage = static_cast<UINT>(range);
    int lim = Limit(i);
    if (i.nPos > lim) i.nPos = lim;
    if (i.nPos < i.nMin) i.nPos = i.nMin;
}

int SetScrollInfo(HWND hwnd, int bar, LPCSCROLLINFO si, BOOL) {
    auto w = Find(hwnd);
    if (!w || !si) return 0;
    BarState* b = BarOf(*w, bar);
    if (!b) return 0;
    SCROLLINFO& i = b->info;
    if (si->fMask & SIF_RANGE) i.nMin = si->nMin, i.nMax = si->nMax;
    if (si->fMask & SIF_PAGE) i.nPage = si->nPage;
    if (si->fMask & SIF_POS) i.nPos = si->nPos;
    Clamp(i);
    // A new range (not a page alone) that leaves room to scroll enables a bar
    // disabled before, as Windows does; with SIF_DISABLENOSCROLL one that
    // leaves none disables it.
    if (si->fMask & (SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL)) {
        bool scrolls = Limit(i) > i.nMin;
        UINT arrows = b->disabled;
        if (scrolls && (si->fMask & ~SIF_PAGE & (SIF_RANGE | SIF_DISABLENOSCROLL)))
            arrows = ESB_ENABLE_BOTH;
        else if (!scrolls && (si->fMask & SIF_DISABLENOSCROLL))
            arrows = ESB_DISABLE_BOTH;
        if (arrows != b->disabled) {
            EnableScrollBar(hwnd, static_cast<UINT>(bar), arrows);
            if (!IsWindow(hwnd)) return 0;
        }
    }
    Sync(hwnd);
    return i.nPos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO si) {
    auto w = Find(hwnd);
    if (!w || !si) return FALSE;
    BarState* b = BarOf(*w, bar);
    if (!b) return FALSE;
    const SCROLLINFO& i = b->info;
    if (si->fMask & SIF_RANGE) si->nMin = i.nMin, si->nMax = i.nMax;
    if (si->fMask & SIF_PAGE) si->nPage = i.nPage;
    if (si->fMask & SIF_POS) si->nPos = i.nPos;
    if (si->fMask & SIF_TRACKPOS)
        si->nTrackPos = w->tracking[bar == SB_HORZ ? SB_HORZ : SB_VERT] ? i.nTrackPos : i.nPos;
    return TRUE;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw) {
    auto w = Find(hwnd);
    if (!w) return 0;
    BarState* b = BarOf(*w, bar);
    if (!b) return 0;
    int old = b->info.nPos;
    SCROLLINFO si{sizeof si, SIF_POS, 0, 0, 0, pos, 0};
    SetScrollInfo(hwnd, bar, &si, redraw);
    return old;
}

int GetScrollPos(HWND hwnd, int bar) {
    SCROLLINFO si{sizeof si, SIF_POS, 0, 0, 0, 0, 0};
    return GetScrollInfo(hwnd, bar, &si) ? si.nPos : 0;
}

BOOL SetScrollRange(HWND hwnd, int bar, int min, int max, BOOL redraw) {
    SCROLLINFO si{sizeof si, SIF_RANGE, min, max, 0, 0, 0};
    SetScrollInfo(hwnd, bar, &si, redraw);
    return IsWindow(hwnd);
}

BOOL GetScrollRange(HWND hwnd, int bar, LPINT min, LPINT max) {
    SCROLLINFO si{sizeof si, SIF_RANGE, 0, 0, 0, 0, 0};
    if (!GetScrollInfo(hwnd, bar, &si)) return FALSE;
    if (min) *min = si.nMin;
    if (max) *max = si.nMax;
    return TRUE;
}

BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show) {
    auto w = Find(hwnd);
    if (!w) return FALSE;
    if (bar == SB_CTL) return ShowWindow(hwnd, show ? SW_SHOW : SW_HIDE), TRUE;
    DWORD bits = bar == SB_VERT ? WS_VSCROLL : bar == SB_HORZ ? WS_HSCROLL : (WS_VSCROLL | WS_HSCROLL);
    DWORD style = show ? (w->style | bits) : (w->style & ~bits);
    if (style == w->style) return TRUE;
    w->style = style;
    Relayout(w);
    return TRUE;
}

BOOL EnableScrollBar(HWND hwnd, UINT bar, UINT arrows) {
    auto w = Find(hwnd);
    if (!w) return FALSE;
    if (bar == SB_BOTH) {
        EnableScrollBar(hwnd, SB_VERT, arrows);
        return EnableScrollBar(hwnd, SB_HORZ, arrows);
    }
    BarState* b = BarOf(*w, static_cast<int>(bar));
    if (!b) return FALSE;
    // A bar control disabled in both directions is a disabled window.
    if (bar == SB_CTL) EnableWindow(hwnd, arrows != ESB_DISABLE_BOTH);
    if (b->disabled == arrows) return FALSE;
    b->disabled = arrows;
    Sync(hwnd);
    return TRUE;
}
