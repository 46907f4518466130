// The display backend behind the window and GDI functions. platform/win32 keeps
// the state Windows keeps (window registry, queues, timers, scroll info, DC
// state); the backend shows windows, draws pixels, measures fonts and delivers
// input. platform/qt installs one at start-up; none of its types appear here.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "win32/gdi.h"
#include "win32/window.h"

namespace win32bk {

// A set of rectangles without overlaps: update regions and clip regions.
class Region {
public:
    Region() = default;
    explicit Region(const RECT& r) { Add(r); }
    bool Empty() const { return rects_.empty(); }
    const std::vector<RECT>& Rects() const { return rects_; }
    RECT Bounds() const;
    void Clear() { rects_.clear(); }
    void Add(const RECT& r);
    void Subtract(const RECT& r);
    void Intersect(const RECT& r);
    void Intersect(const Region& other);
    void Unite(const Region& other) {
        for (const RECT& r : other.rects_) Add(r);
    }
    void Offset(int dx, int dy);
    bool Intersects(const RECT& r) const;
    bool Contains(int x, int y) const;

private:
    std::vector<RECT> rects_;
};

// A pixel surface: a window's back buffer or a memory bitmap. ARGB32, opaque.
class Surface {
public:
    virtual ~Surface() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
};

// A realised font. Advances are whole pixels per code point.
class FontFace {
public:
    virtual ~FontFace() = default;
    virtual int Advance(char32_t cp) = 0;
    virtual void Metrics(TEXTMETRICW* tm) = 0;
    virtual std::u16string Family() const = 0;
};

struct GlyphRun {
    const char32_t* cps;
    const int* xs; // x of each code point
    size_t count;
    int y; // top of the text cell
};

class Backend {
public:
    virtual ~Backend() = default;

    // Host windows. The record (geometry, style, bars) is read back through
    // the win32bk accessors below.
    virtual void HostCreate(HWND hwnd) = 0;
    virtual void HostDestroy(HWND hwnd) = 0; // called once no dispatch to it is running
    virtual void HostSync(HWND hwnd) = 0;    // geometry, visibility, bars, enabled state
    // The menu bar drawn again from the window's menu (DrawMenuBar), the
    // window itself left as it is on the screen.
    virtual void HostRedrawMenuBar(HWND hwnd) { HostSync(hwnd); }
    virtual void HostSetText(HWND hwnd, const std::u16string& text) = 0;
    virtual Surface* HostBuffer(HWND hwnd) = 0; // back buffer of the client area
    virtual void HostPresent(HWND hwnd, const RECT& client) = 0;
    // Presents at once (UpdateWindow's painting), even while the UI thread is held.
    virtual void HostPresentNow(HWND hwnd, const RECT& client) { HostPresent(hwnd, client); }
    virtual void HostFocus(HWND hwnd) = 0;
    virtual void HostCursor(HWND hwnd, HCURSOR cursor) = 0;

    // Event processing on the UI thread: waits at most timeoutMs (-1: until
    // woken) for backend events and handles them. Wake is thread-safe.
    virtual void WaitEvents(int timeoutMs) = 0;
    virtual void Wake() = 0;

    virtual int Metric(int index) = 0;
    virtual UINT DoubleClickTime() = 0;
    virtual UINT CursorFlashTime() = 0;
    virtual void Beep() = 0;

    // Drawing.
    virtual std::unique_ptr<Surface> CreateSurface(int w, int h) = 0;
    virtual void Fill(Surface* s, const Region& clip, const RECT& r, COLORREF c) = 0;
    virtual void Invert(Surface* s, const Region& clip, const RECT& r) = 0;
    virtual void Line(Surface* s, const Region& clip, const POINT* pts, int n, int width, int style,
                      COLORREF c) = 0;
    virtual void Blit(Surface* dst, const Region& clip, int x, int y, int w, int h, Surface* src, int sx,
                      int sy, DWORD rop) = 0;
    virtual COLORREF Pixel(Surface* s, int x, int y) = 0;
    virtual void SetPixelColor(Surface* s, int x, int y, COLORREF c) = 0;
    virtual void Text(Surface* s, const Region& clip, FontFace* font, const GlyphRun& run, COLORREF c) = 0;
    virtual void ScrollPixels(Surface* s, const RECT& r, int dx, int dy, const RECT& clip) = 0;
    // A check box's box in r as the display's style draws it; state holds
    // DrawFrameControl's DFCS_ bits. False when the backend has no style.
    virtual bool CheckBox(Surface* s, const Region& clip, const RECT& r, UINT state) {
        (void)s, (void)clip, (void)r, (void)state;
        return false;
    }

    // Fonts.
    virtual std::shared_ptr<FontFace> Realize(const LOGFONTW& lf) = 0;
    virtual std::vector<std::u16string> Families() = 0;
    // Whether an installed family writes Japanese (EnumFontFamiliesExW's SHIFTJIS_CHARSET).
    virtual bool FamilyWritesJapanese(const std::u16string&) { return false; }
    // 8-bit coverage (0..255) of one glyph: width x height bytes, the box's
    // top-left relative to the pen on the baseline (y up), the advance.
    // False when the backend cannot render glyph images.
    virtual bool GlyphAlpha(FontFace* font, char32_t cp, std::vector<uint8_t>* alpha, int* width, int* height,
                            int* originX, int* originY, int* advance) {
        (void)font, (void)cp, (void)alpha, (void)width, (void)height, (void)originX, (void)originY,
            (void)advance;
        return false;
    }
};

// A cursor made by CreateCursor (HostCursor receives it as the handle).
struct CursorShape {
    static constexpr uint32_t kMagic = 0x43555253;
    uint32_t magic;
    int hotX, hotY, width, height;
    std::vector<BYTE> andMask, xorMask;
};
// Null for the built-in cursors.
CursorShape* CursorShapeOf(HCURSOR cursor);

void InstallBackend(Backend* backend);
Backend* GetBackend(); // null until installed

// --- What the backend reads and reports -------------------------------------

struct BarState {
    SCROLLINFO info{sizeof(SCROLLINFO), 0, 0, 100, 0, 0, 0};
    bool visible = false;
    UINT disabled = 0; // ESB_* bits
};

struct HostView {
    HWND parent; // parent window, or null for top-level
    HWND owner;  // a top-level window's owner, kept above it; or null
    // The host's rectangle in the parent's client coordinates (screen for
    // top-level): the window rectangle, less the caption and borders of a
    // decorated window, which the window manager draws. The rectangles below
    // are relative to it.
    RECT window;
    RECT client;             // client area
    bool decorated;          // a top-level window with a caption or sizing border
    bool menuPopup;          // a popup of a menu loop: it takes the mouse and keys while shown
    bool resizable;          // decorated with a sizing border: the user may size it
    SIZE minTrack, maxTrack; // a resizable host's limits (its own size, frame excluded)
    DWORD style;
    DWORD exStyle;
    bool visible;      // own WS_VISIBLE
    bool isBarControl; // SB_CTL window: the whole client area is one bar
    BarState vbar, hbar;
    RECT vbarRect, hbarRect; // in window coordinates, empty when hidden
    RECT menuBar;            // in window coordinates, empty without a menu
    // A tool window without a caption (a tooltip, a combo box's list): shown
    // above the windows, never activated, never given the keyboard.
    bool tip;
};
bool GetHostView(HWND hwnd, HostView* view);

// Caret rectangle (client coordinates of hwnd) when it is currently drawn.
bool CaretShown(HWND hwnd, RECT* rect, int* kind, Surface** bitmap);

// Input from the backend, in client coordinates of hwnd (the host window).
enum class Button { Left, Right, Middle };
void InputKey(HWND host, bool down, UINT vk, UINT scanCode, bool extended, bool autoRepeat, bool alt,
              const std::u16string& text);
void InputModifiers(bool shift, bool ctrl, bool alt);
void InputMouseMove(HWND host, POINT client);
void InputMouseButton(HWND host, POINT client, Button b, bool down);
void InputWheel(HWND host, POINT client, int angleY, int angleX);
void InputFocus(HWND host, bool in);                       // in false: the input went to another program
void InputBarPress(HWND hwnd, int bar, int part, POINT p); // part: SB_LINEUP.. SB_PAGEDOWN or SB_THUMBTRACK
void InputBarMove(HWND hwnd, int bar, int trackPos);
void InputBarRelease(HWND hwnd, int bar);
void InputClose(HWND host);
void HostResized(HWND host, int x, int y, int cx, int cy); // a top-level moved or resized by the user
// A top-level maximised, minimised or restored by the window manager.
void HostStateChanged(HWND host, bool maximized, bool minimized);
bool AsyncKeyDown(int vk);
void SetAsyncKey(int vk, bool down); // tests: takes effect at once, from any thread
int BeepCount();
void ServeSends();         // serve sends pending for the calling UI thread
void CancelPendingSends(); // answer 0 to every send still waiting for the calling thread
void PresentDone(HWND hwnd);

// The platform clock (milliseconds). A fake clock only moves through Advance.
uint64_t Now();
void UseFakeClock(bool fake);
bool FakeClock();
void Advance(uint64_t ms);

// Internal timers on the platform clock (caret blink, bar repeat).
uint64_t StartInternalTimer(uint32_t ms, bool repeat, std::function<void()> fn);
void StopInternalTimer(uint64_t id);

// Queues input for the calling UI thread: run after the messages already
// posted, from the message loop, as input from the display would be.
void QueueInjectedInput(std::function<void()> input);
// Handles the messages posted so far (input from the display calls it first).
void ServePostedBeforeInput();

// Processes everything pending without waiting: sends, posts, timers that are due, paints.
void PumpPending();

// ExtTextOutW trace for tests.
struct TextOutRecord {
    int x, y;
    UINT options;
    bool hasRect;
    RECT rect;
    std::u16string text;
    std::vector<int> dx;
    COLORREF textColor = 0;
    COLORREF bkColor = 0;
    std::u16string face;
    LONG weight = 0;
    bool underline = false;
};
void SetTextOutTrace(std::vector<TextOutRecord>* trace);

// Hook run when a window has just been allocated, before WM_NCCREATE (the MFC
// layer attaches its window object here).
using CreateHook = void (*)(HWND hwnd, const CREATESTRUCTW* cs);
void SetCreateHook(CreateHook hook);

// Per-window slot for the MFC layer's object pointer.
void SetWindowObject(HWND hwnd, void* obj);
void* GetWindowObject(HWND hwnd);

// Pre-translation hook of the message loops (MFC's PreTranslateMessage chain).
using PreTranslateHook = bool (*)(MSG* msg);
void SetPreTranslateHook(PreTranslateHook hook);

// Runs a nested loop until *done becomes true (or WM_QUIT arrives: then it is
// re-posted). The owner, if any, is disabled while it runs.
void RunModalLoop(HWND owner, const std::function<bool()>& done);

} // namespace win32bk
