// GDI: device contexts and their state, GDI objects, drawing and text output.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <optional>

#include "platform/win32/wnd_internal.h"
#include "win32/dialog.h"
#include "win32/wstring.h"

namespace win32bk {

struct GdiObj {
    DWORD type;
    bool stock = false;
    explicit GdiObj(DWORD t) : type(t) {}
    virtual ~GdiObj() = default;
};
struct PenObj : GdiObj {
    int style, width;
    COLORREF color;
    PenObj(int s, int w, COLORREF c) : GdiObj(OBJ_PEN), style(s), width(w), color(c) {}
};
struct BrushObj : GdiObj {
    bool null;
    COLORREF color;
    BrushObj(bool n, COLORREF c) : GdiObj(OBJ_BRUSH), null(n), color(c) {}
};
struct FontObj : GdiObj {
    LOGFONTW lf;
    std::shared_ptr<FontFace> face;
    explicit FontObj(const LOGFONTW& l) : GdiObj(OBJ_FONT), lf(l) {}
    FontFace* Face() {
        if (!face && GetBackend()) face = GetBackend()->Realize(lf);
        return face.get();
    }
};
struct BitmapObj : GdiObj {
    std::unique_ptr<Surface> surface;
    int w, h;
    BitmapObj(int cx, int cy) : GdiObj(OBJ_BITMAP), w(cx), h(cy) {
        if (GetBackend()) surface = GetBackend()->CreateSurface(std::max(cx, 1), std::max(cy, 1));
    }
};
struct RgnObj : GdiObj {
    Region region;
    RgnObj() : GdiObj(OBJ_REGION) {}
};

struct DCState {
    PenObj* pen;
    BrushObj* brush;
    FontObj* font;
    BitmapObj* bitmap;
    COLORREF text = 0, bk = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    UINT align = 0;
    int rop2 = R2_COPYPEN;
    int extra = 0;
    POINT pos{0, 0};
    POINT org{0, 0};
    std::optional<Region> user; // device coordinates
};

struct DCObj : GdiObj {
    HWND hwnd = nullptr;
    bool paint = false;
    Region base; // device clip: update region, client area or bitmap
    DCState s;
    std::vector<DCState> saved;
    RECT dirty{0, 0, 0, 0};
    DCObj() : GdiObj(OBJ_DC) {}
};

namespace {
std::vector<TextOutRecord>* g_trace = nullptr;

GdiObj* Obj(HGDIOBJ h) {
    return reinterpret_cast<GdiObj*>(h);
}
DCObj* DCOf(HDC dc) {
    auto* o = reinterpret_cast<GdiObj*>(dc);
    return o && (o->type == OBJ_DC || o->type == OBJ_MEMDC) ? static_cast<DCObj*>(o) : nullptr;
}

const COLORREF kSysColors[] = {
    RGB(200, 200, 200), RGB(0, 0, 0),       RGB(153, 180, 209), RGB(191, 205, 219), RGB(240, 240, 240),
    RGB(255, 255, 255), RGB(100, 100, 100), RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(0, 0, 0),
    RGB(180, 180, 180), RGB(244, 247, 252), RGB(171, 171, 171), RGB(0, 120, 215),   RGB(255, 255, 255),
    RGB(240, 240, 240), RGB(160, 160, 160), RGB(109, 109, 109), RGB(0, 0, 0),       RGB(67, 78, 84),
    RGB(255, 255, 255), RGB(105, 105, 105), RGB(227, 227, 227), RGB(0, 0, 0),       RGB(255, 255, 225),
};

LOGFONTW DefaultLogFont() {
    LOGFONTW lf{};
    lf.lfHeight = -12;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lf.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    std::u16string face = u"ＭＳ Ｐゴシック";
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    return lf;
}

GdiObj* Stock(int index) {
    static GdiObj* objs[20] = {};
    static std::once_flag once;
    std::call_once(once, [] {
        auto mk = [](GdiObj* o) {
            o->stock = true;
            return o;
        };
        objs[WHITE_BRUSH] = mk(new BrushObj(false, RGB(255, 255, 255)));
        objs[LTGRAY_BRUSH] = mk(new BrushObj(false, RGB(192, 192, 192)));
        objs[GRAY_BRUSH] = mk(new BrushObj(false, RGB(128, 128, 128)));
        objs[DKGRAY_BRUSH] = mk(new BrushObj(false, RGB(64, 64, 64)));
        objs[BLACK_BRUSH] = mk(new BrushObj(false, RGB(0, 0, 0)));
        objs[NULL_BRUSH] = mk(new BrushObj(true, 0));
        objs[WHITE_PEN] = mk(new PenObj(PS_SOLID, 1, RGB(255, 255, 255)));
        objs[BLACK_PEN] = mk(new PenObj(PS_SOLID, 1, RGB(0, 0, 0)));
        objs[NULL_PEN] = mk(new PenObj(PS_NULL, 1, 0));
        LOGFONTW lf = DefaultLogFont();
        for (int i : {OEM_FIXED_FONT, ANSI_FIXED_FONT, ANSI_VAR_FONT, SYSTEM_FONT, DEVICE_DEFAULT_FONT,
                      SYSTEM_FIXED_FONT, DEFAULT_GUI_FONT})
            objs[i] = mk(new FontObj(lf));
        objs[19] = mk(new BitmapObj(1, 1));
    });
    if (index < 0 || index >= 20) return nullptr;
    return objs[index];
}
BitmapObj* DefaultBitmap() {
    return static_cast<BitmapObj*>(Stock(19));
}

void InitState(DCState& s) {
    s.pen = static_cast<PenObj*>(Stock(BLACK_PEN));
    s.brush = static_cast<BrushObj*>(Stock(WHITE_BRUSH));
    s.font = static_cast<FontObj*>(Stock(SYSTEM_FONT));
    s.bitmap = nullptr;
}

Surface* SurfaceOf(DCObj* dc) {
    if (dc->type == OBJ_MEMDC) return dc->s.bitmap ? dc->s.bitmap->surface.get() : nullptr;
    return dc->hwnd ? BufferOf(dc->hwnd) : nullptr;
}

Region ClipOf(DCObj* dc) {
    Region r = dc->base;
    if (dc->s.user) r.Intersect(*dc->s.user);
    return r;
}

void Touch(DCObj* dc, const RECT& r) {
    UnionRect(&dc->dirty, &dc->dirty, &r);
}

RECT ToDevice(DCObj* dc, RECT r) {
    OffsetRect(&r, dc->s.org.x, dc->s.org.y);
    return r;
}

void FillDevice(DCObj* dc, const RECT& r, COLORREF c) {
    Surface* s = SurfaceOf(dc);
    if (!s || IsRectEmpty(&r)) return;
    GetBackend()->Fill(s, ClipOf(dc), r, c);
    Touch(dc, r);
}

HDC MakeWindowDC(HWND hwnd) {
    auto w = Find(hwnd);
    if (!w) return nullptr;
    auto* dc = new DCObj;
    dc->hwnd = hwnd;
    InitState(dc->s);
    dc->base = Region(ClientRectOf(*w));
    return reinterpret_cast<HDC>(dc);
}

std::u32string CodePoints(LPCWSTR text, UINT count, std::vector<int>* unitIndex) {
    std::u32string cps;
    for (UINT i = 0; i < count; ++i) {
        char32_t c = text[i];
        if (unitIndex) unitIndex->push_back(static_cast<int>(i));
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < count && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        cps.push_back(c);
    }
    return cps;
}
} // namespace

Region* RegionOf(HRGN rgn) {
    auto* o = reinterpret_cast<GdiObj*>(rgn);
    return o && o->type == OBJ_REGION ? &static_cast<RgnObj*>(o)->region : nullptr;
}

Surface* BitmapSurface(HBITMAP bmp) {
    auto* o = reinterpret_cast<GdiObj*>(bmp);
    return o && o->type == OBJ_BITMAP ? static_cast<BitmapObj*>(o)->surface.get() : nullptr;
}

HBRUSH StockBrush(int index) {
    return reinterpret_cast<HBRUSH>(Stock(index));
}

void SetTextOutTrace(std::vector<TextOutRecord>* trace) {
    g_trace = trace;
}

} // namespace win32bk

using namespace win32bk;

// --- Device contexts ------------------------------------------------------------

HDC GetDC(HWND hwnd) {
    return MakeWindowDC(hwnd);
}
HDC GetWindowDC(HWND hwnd) {
    return MakeWindowDC(hwnd);
}

int ReleaseDC(HWND, HDC hdc) {
    DCObj* dc = DCOf(hdc);
    if (!dc || dc->paint) return 0;
    if (dc->hwnd && IsWindow(dc->hwnd)) Present(dc->hwnd, dc->dirty);
    delete dc;
    return 1;
}

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
    auto w = Find(hwnd);
    if (!w || !ps) return nullptr;
    *ps = PAINTSTRUCT{};
    auto* dc = new DCObj;
    dc->hwnd = hwnd;
    dc->paint = true;
    InitState(dc->s);
    Region upd = w->update;
    upd.Intersect(ClientRectOf(*w));
    dc->base = upd;
    bool erase = w->erase;
    w->update.Clear();
    w->erase = false;
    ps->hdc = reinterpret_cast<HDC>(dc);
    ps->rcPaint = upd.Bounds();
    ps->fErase = TRUE;
    if (erase)
        ps->fErase = SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(ps->hdc), 0) ? FALSE : TRUE;
    return ps->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
    if (!ps) return FALSE;
    DCObj* dc = DCOf(ps->hdc);
    if (!dc) return FALSE;
    // Only the update region changed: present its rectangles rather than
    // their bounds (a band and a ruler cell are not the half window between).
    if (IsWindow(hwnd)) {
        const std::vector<RECT>& parts = dc->base.Rects();
        if (parts.size() <= 16)
            for (const RECT& r : parts) Present(hwnd, r);
        else
            Present(hwnd, ps->rcPaint);
    }
    delete dc;
    return TRUE;
}

HDC CreateCompatibleDC(HDC) {
    auto* dc = new DCObj;
    dc->type = OBJ_MEMDC;
    InitState(dc->s);
    dc->s.bitmap = DefaultBitmap();
    dc->base = Region(RECT{0, 0, 1, 1});
    return reinterpret_cast<HDC>(dc);
}

BOOL DeleteDC(HDC hdc) {
    DCObj* dc = DCOf(hdc);
    if (!dc) return FALSE;
    delete dc;
    return TRUE;
}

HWND WindowFromDC(HDC hdc) {
    DCObj* dc = DCOf(hdc);
    return dc ? dc->hwnd : nullptr;
}

int SaveDC(HDC hdc) {
    DCObj* dc = DCOf(hdc);
    if (!dc) return 0;
    dc->saved.push_back(dc->s);
    return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC hdc, int level) {
    DCObj* dc = DCOf(hdc);
    if (!dc || dc->saved.empty()) return FALSE;
    size_t n = level < 0 ? dc->saved.size() + level : static_cast<size_t>(level - 1);
    if (n >= dc->saved.size()) return FALSE;
    dc->s = dc->saved[n];
    dc->saved.resize(n);
    if (dc->type == OBJ_MEMDC && dc->s.bitmap)
        dc->base = Region(RECT{0, 0, dc->s.bitmap->w, dc->s.bitmap->h});
    return TRUE;
}

int GetDeviceCaps(HDC, int index) {
    switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    case HORZRES: return GetSystemMetrics(SM_CXSCREEN);
    case VERTRES: return GetSystemMetrics(SM_CYSCREEN);
    case BITSPIXEL: return 32;
    }
    return 0;
}

// --- Objects ----------------------------------------------------------------------------

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h) {
    DCObj* dc = DCOf(hdc);
    GdiObj* o = Obj(h);
    if (!dc || !o) return nullptr;
    switch (o->type) {
    case OBJ_PEN: {
        auto* old = dc->s.pen;
        dc->s.pen = static_cast<PenObj*>(o);
        return reinterpret_cast<HGDIOBJ>(old);
    }
    case OBJ_BRUSH: {
        auto* old = dc->s.brush;
        dc->s.brush = static_cast<BrushObj*>(o);
        return reinterpret_cast<HGDIOBJ>(old);
    }
    case OBJ_FONT: {
        auto* old = dc->s.font;
        dc->s.font = static_cast<FontObj*>(o);
        return reinterpret_cast<HGDIOBJ>(old);
    }
    case OBJ_BITMAP: {
        if (dc->type != OBJ_MEMDC) return nullptr;
        auto* old = dc->s.bitmap;
        auto* b = static_cast<BitmapObj*>(o);
        dc->s.bitmap = b;
        dc->base = Region(RECT{0, 0, b->w, b->h});
        return reinterpret_cast<HGDIOBJ>(old);
    }
    case OBJ_REGION:
        SelectClipRgn(hdc, reinterpret_cast<HRGN>(h));
        return reinterpret_cast<HGDIOBJ>(SIMPLEREGION);
    }
    return nullptr;
}

BOOL DeleteObject(HGDIOBJ h) {
    GdiObj* o = Obj(h);
    if (!o || o->stock || o->type == OBJ_DC || o->type == OBJ_MEMDC) return o ? TRUE : FALSE;
    delete o;
    return TRUE;
}

HGDIOBJ GetStockObject(int index) {
    return reinterpret_cast<HGDIOBJ>(Stock(index));
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
    DCObj* dc = DCOf(hdc);
    if (!dc) return nullptr;
    switch (type) {
    case OBJ_PEN: return reinterpret_cast<HGDIOBJ>(dc->s.pen);
    case OBJ_BRUSH: return reinterpret_cast<HGDIOBJ>(dc->s.brush);
    case OBJ_FONT: return reinterpret_cast<HGDIOBJ>(dc->s.font);
    case OBJ_BITMAP: return reinterpret_cast<HGDIOBJ>(dc->s.bitmap);
    }
    return nullptr;
}

DWORD GetObjectType(HGDIOBJ h) {
    GdiObj* o = Obj(h);
    return o ? o->type : 0;
}

int GetObjectW(HGDIOBJ h, int size, LPVOID out) {
    GdiObj* o = Obj(h);
    if (!o) return 0;
    switch (o->type) {
    case OBJ_FONT:
        if (out && size >= static_cast<int>(sizeof(LOGFONTW)))
            std::memcpy(out, &static_cast<FontObj*>(o)->lf, sizeof(LOGFONTW));
        return sizeof(LOGFONTW);
    case OBJ_PEN: {
        auto* p = static_cast<PenObj*>(o);
        LOGPEN lp{static_cast<UINT>(p->style), {p->width, 0}, p->color};
        if (out && size >= static_cast<int>(sizeof lp)) std::memcpy(out, &lp, sizeof lp);
        return sizeof lp;
    }
    case OBJ_BRUSH: {
        auto* b = static_cast<BrushObj*>(o);
        LOGBRUSH lb{static_cast<UINT>(b->null ? BS_NULL : BS_SOLID), b->color, 0};
        if (out && size >= static_cast<int>(sizeof lb)) std::memcpy(out, &lb, sizeof lb);
        return sizeof lb;
    }
    case OBJ_BITMAP: {
        auto* b = static_cast<BitmapObj*>(o);
        BITMAP bm{0, b->w, b->h, b->w * 4, 1, 32, nullptr};
        if (out && size >= static_cast<int>(sizeof bm)) std::memcpy(out, &bm, sizeof bm);
        return sizeof bm;
    }
    }
    return 0;
}

HPEN CreatePen(int style, int width, COLORREF color) {
    return reinterpret_cast<HPEN>(new PenObj(style, std::max(width, 1), color));
}
HBRUSH CreateSolidBrush(COLORREF color) {
    return reinterpret_cast<HBRUSH>(new BrushObj(false, color));
}

COLORREF GetSysColor(int index) {
    if (index < 0 || index >= static_cast<int>(std::size(kSysColors))) return 0;
    return kSysColors[index];
}

HBRUSH GetSysColorBrush(int index) {
    static BrushObj* brushes[std::size(kSysColors)] = {};
    static std::once_flag once;
    std::call_once(once, [] {
        for (size_t i = 0; i < std::size(kSysColors); ++i) {
            brushes[i] = new BrushObj(false, kSysColors[i]);
            brushes[i]->stock = true;
        }
    });
    if (index < 0 || index >= static_cast<int>(std::size(kSysColors))) return nullptr;
    return reinterpret_cast<HBRUSH>(brushes[index]);
}

HBITMAP CreateCompatibleBitmap(HDC, int w, int h) {
    return reinterpret_cast<HBITMAP>(new BitmapObj(w, h));
}

HBITMAP CreateBitmap(int w, int h, UINT, UINT bits, const void* data) {
    auto* b = new BitmapObj(w, h);
    if (data && bits == 1 && b->surface) {
        // Monochrome rows padded to 16 bits; a set bit is white.
        const auto* p = static_cast<const BYTE*>(data);
        int stride = ((w + 15) / 16) * 2;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                bool set = (p[y * stride + x / 8] >> (7 - x % 8)) & 1;
                GetBackend()->SetPixelColor(b->surface.get(), x, y, set ? RGB(255, 255, 255) : 0);
            }
    } else if (data && bits == 32 && b->surface) {
        // A DWORD a pixel, 0x00RRGGBB, the rows top to bottom.
        const auto* p = static_cast<const BYTE*>(data);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const BYTE* q =
                    p + (static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 4;
                GetBackend()->SetPixelColor(b->surface.get(), x, y, RGB(q[2], q[1], q[0]));
            }
    }
    return reinterpret_cast<HBITMAP>(b);
}

HFONT CreateFontIndirectW(const LOGFONTW* lf) {
    return lf ? reinterpret_cast<HFONT>(new FontObj(*lf)) : nullptr;
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCWSTR face) {
    LOGFONTW lf{height,
                width,
                escapement,
                orientation,
                weight,
                static_cast<BYTE>(italic),
                static_cast<BYTE>(underline),
                static_cast<BYTE>(strikeOut),
                static_cast<BYTE>(charSet),
                static_cast<BYTE>(outPrecision),
                static_cast<BYTE>(clipPrecision),
                static_cast<BYTE>(quality),
                static_cast<BYTE>(pitchAndFamily),
                {}};
    if (face) wcsncpy_s(lf.lfFaceName, LF_FACESIZE, face, LF_FACESIZE - 1);
    return CreateFontIndirectW(&lf);
}

// --- Attributes --------------------------------------------------------------------------

#define DC_ATTR(getter, setter, field, type)                                                                 \
    type setter(HDC hdc, type v) {                                                                           \
        DCObj* dc = DCOf(hdc);                                                                               \
        if (!dc) return 0;                                                                                   \
        type old = dc->s.field;                                                                              \
        dc->s.field = v;                                                                                     \
        return old;                                                                                          \
    }                                                                                                        \
    type getter(HDC hdc) {                                                                                   \
        DCObj* dc = DCOf(hdc);                                                                               \
        return dc ? dc->s.field : 0;                                                                         \
    }
DC_ATTR(GetTextColor, SetTextColor, text, COLORREF)
DC_ATTR(GetBkColor, SetBkColor, bk, COLORREF)
DC_ATTR(GetBkMode, SetBkMode, bkMode, int)
DC_ATTR(GetTextAlign, SetTextAlign, align, UINT)
#undef DC_ATTR

int SetROP2(HDC hdc, int rop) {
    DCObj* dc = DCOf(hdc);
    if (!dc) return 0;
    int old = dc->s.rop2;
    dc->s.rop2 = rop;
    return old;
}

int SetTextCharacterExtra(HDC hdc, int extra) {
    DCObj* dc = DCOf(hdc);
    if (!dc) return 0;
    int old = dc->s.extra;
    dc->s.extra = extra;
    return old;
}

BOOL SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT old) {
    DCObj* dc = DCOf(hdc);
    if (!dc) return FALSE;
    if (old) *old = dc->s.org;
    dc->s.org = POINT{x, y};
    return TRUE;
}
BOOL GetViewportOrgEx(HDC hdc, LPPOINT pt) {
    DCObj* dc = DCOf(hdc);
    if (!dc) return FALSE;
    *pt = dc->s.org;
    return TRUE;
}
BOOL OffsetViewportOrgEx(HDC hdc, int x, int y, LPPOINT old) {
    DCObj* dc = DCOf(hdc);
    if (!dc) return FALSE;
    return SetViewportOrgEx(hdc, dc->s.org.x + x, dc->s.org.y + y, old);
}

// --- Drawing -------------------------------------------------------------------------------

BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT old) {
    DCObj* dc = DCOf(hdc);
    if (!dc) return FALSE;
    if (old) *old = dc->s.pos;
    dc->s.pos = POINT{x, y};
    return TRUE;
}

static void StrokeSegments(DCObj* dc, const POINT* pts, int n) {
    Surface* s = SurfaceOf(dc);
    PenObj* pen = dc->s.pen;
    if (!s || n < 2 || pen->style == PS_NULL) return;
    std::vector<POINT> dev(pts, pts + n);
    for (auto& p : dev) p.x += dc->s.org.x, p.y += dc->s.org.y;
    GetBackend()->Line(s, ClipOf(dc), dev.data(), n, pen->width, pen->style, pen->color);
    RECT b{dev[0].x, dev[0].y, dev[0].x + 1, dev[0].y + 1};
    for (auto& p : dev) {
        RECT r{p.x - pen->width, p.y - pen->width, p.x + pen->width + 1, p.y + pen->width + 1};
        UnionRect(&b, &b, &r);
    }
    Touch(dc, b);
}

BOOL LineTo(HDC hdc, int x, int y) {
    DCObj* dc = DCOf(hdc);
    if (!dc) return FALSE;
    POINT pts[2] = {dc->s.pos, {x, y}};
    StrokeSegments(dc, pts, 2);
    dc->s.pos = POINT{x, y};
    return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* pts, int count) {
    DCObj* dc = DCOf(hdc);
    if (!dc) return FALSE;
    StrokeSegments(dc, pts, count);
    return TRUE;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
    DCObj* dc = DCOf(hdc);
    if (!dc) return FALSE;
    RECT r = ToDevice(dc, RECT{left, top, right, bottom});
    if (!dc->s.brush->null) FillDevice(dc, r, dc->s.brush->color);
    PenObj* pen = dc->s.pen;
    if (pen->style != PS_NULL) {
        int w = pen->width;
        COLORREF c = pen->color;
        FillDevice(dc, RECT{r.left, r.top, r.right, r.top + w}, c);
        FillDevice(dc, RECT{r.left, r.bottom - w, r.right, r.bottom}, c);
        FillDevice(dc, RECT{r.left, r.top, r.left + w, r.bottom}, c);
        FillDevice(dc, RECT{r.right - w, r.top, r.right, r.bottom}, c);
    }
    return TRUE;
}

// The ellipse inscribed in the rectangle, row by row: the pen's ring, then
// the brush inside it. Each row spans the pixels whose centres lie inside.
static void EllipseRows(DCObj* dc, const RECT& r, COLORREF c) {
    const double a = (r.right - r.left) / 2.0, b = (r.bottom - r.top) / 2.0;
    if (a <= 0 || b <= 0) return;
    const double cx = r.left + a, cy = r.top + b;
    for (int y = r.top; y < r.bottom; ++y) {
        const double dy = (y + 0.5 - cy) / b;
        if (dy * dy > 1.0) continue;
        const double half = a * std::sqrt(1.0 - dy * dy);
        const int left = int(std::lround(cx - half)), right = int(std::lround(cx + half));
        if (right > left) FillDevice(dc, RECT{left, y, right, y + 1}, c);
    }
}

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom) {
    DCObj* dc = DCOf(hdc);
    if (!dc) return FALSE;
    RECT r = ToDevice(dc, RECT{left, top, right, bottom});
    PenObj* pen = dc->s.pen;
    int w = pen->style == PS_NULL ? 0 : std::max(1, pen->width);
    if (w) EllipseRows(dc, r, pen->color);
    RECT inner{r.left + w, r.top + w, r.right - w, r.bottom - w};
    if (!dc->s.brush->null && !IsRectEmpty(&inner)) EllipseRows(dc, inner, dc->s.brush->color);
    return TRUE;
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH hbr) {
    DCObj* dc = DCOf(hdc);
    if (!dc || !rect) return 0;
    if (reinterpret_cast<uintptr_t>(hbr) <= 31 && hbr)
        hbr = GetSysColorBrush(static_cast<int>(reinterpret_cast<uintptr_t>(hbr)) - 1);
    auto* b = reinterpret_cast<BrushObj*>(hbr);
    if (!b || b->type != OBJ_BRUSH || b->null) return 1;
    FillDevice(dc, ToDevice(dc, *rect), b->color);
    return 1;
}

// Only the check box's box is asked for (DFC_BUTTON, DFCS_BUTTONCHECK or
// DFCS_BUTTON3STATE). Without the display's style: a sunken white box with
// a tick, a grey square for the third state.
BOOL DrawFrameControl(HDC hdc, LPRECT rect, UINT type, UINT state) {
    DCObj* dc = DCOf(hdc);
    if (!dc || !rect || type != DFC_BUTTON || (state & 0x00FF & ~DFCS_BUTTON3STATE)) return FALSE;
    const RECT r = ToDevice(dc, *rect);
    if (Surface* s = SurfaceOf(dc); s && GetBackend()->CheckBox(s, ClipOf(dc), r, state)) {
        Touch(dc, r);
        return TRUE;
    }
    const bool inactive = (state & (DFCS_INACTIVE | DFCS_PUSHED)) != 0;
    FillDevice(dc, r, GetSysColor(inactive ? COLOR_BTNFACE : COLOR_WINDOW));
    RECT edge = *rect;
    DrawEdge(hdc, &edge, EDGE_SUNKEN, BF_RECT);
    if (!(state & DFCS_CHECKED)) return TRUE;
    const COLORREF mark = GetSysColor(inactive ? COLOR_GRAYTEXT : COLOR_BTNTEXT);
    if (state & DFCS_BUTTON3STATE) {
        FillDevice(dc, RECT{r.left + 4, r.top + 4, r.right - 4, r.bottom - 4}, GetSysColor(COLOR_BTNSHADOW));
        return TRUE;
    }
    Surface* s = SurfaceOf(dc);
    if (!s) return TRUE;
    const int x = r.left, y = r.top, h = r.bottom - r.top;
    for (int d = 0; d < 3; ++d) {
        const POINT tick[3] = {
            {x + 3, y + h / 2 - 1 + d}, {x + 5, y + h / 2 + 1 + d}, {x + 9, y + h / 2 - 3 + d}};
        GetBackend()->Line(s, ClipOf(dc), tick, 3, 1, PS_SOLID, mark);
    }
    Touch(dc, r);
    return TRUE;
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH hbr) {
    DCObj* dc = DCOf(hdc);
    auto* b = reinterpret_cast<BrushObj*>(hbr);
    if (!dc || !rect || !b || b->null) return 0;
    RECT r = ToDevice(dc, *rect);
    FillDevice(dc, RECT{r.left, r.top, r.right, r.top + 1}, b->color);
    FillDevice(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, b->color);
    FillDevice(dc, RECT{r.left, r.top, r.left + 1, r.bottom}, b->color);
    FillDevice(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, b->color);
    return 1;
}

BOOL InvertRect(HDC hdc, const RECT* rect) {
    DCObj* dc = DCOf(hdc);
    Surface* s = dc ? SurfaceOf(dc) : nullptr;
    if (!s || !rect) return FALSE;
    RECT r = ToDevice(dc, *rect);
    GetBackend()->Invert(s, ClipOf(dc), r);
    Touch(dc, r);
    return TRUE;
}

BOOL PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop) {
    DCObj* dc = DCOf(hdc);
    if (!dc) return FALSE;
    RECT r = ToDevice(dc, RECT{x, y, x + w, y + h});
    if (r.right < r.left) std::swap(r.left, r.right);
    if (r.bottom < r.top) std::swap(r.top, r.bottom);
    switch (rop) {
    case PATCOPY:
        if (!dc->s.brush->null) FillDevice(dc, r, dc->s.brush->color);
        break;
    case BLACKNESS: FillDevice(dc, r, 0); break;
    case WHITENESS: FillDevice(dc, r, RGB(255, 255, 255)); break;
    case DSTINVERT:
    case PATINVERT: InvertRect(hdc, &r); break;
    }
    return TRUE;
}

BOOL BitBlt(HDC hdst, int x, int y, int w, int h, HDC hsrc, int sx, int sy, DWORD rop) {
    DCObj* dst = DCOf(hdst);
    if (!dst) return FALSE;
    if (rop == PATCOPY || rop == BLACKNESS || rop == WHITENESS || rop == DSTINVERT || rop == PATINVERT)
        return PatBlt(hdst, x, y, w, h, rop);
    DCObj* src = DCOf(hsrc);
    Surface* ds = SurfaceOf(dst);
    Surface* ss = src ? SurfaceOf(src) : nullptr;
    if (!ds || !ss) return FALSE;
    RECT r = ToDevice(dst, RECT{x, y, x + w, y + h});
    GetBackend()->Blit(ds, ClipOf(dst), r.left, r.top, w, h, ss, sx + src->s.org.x, sy + src->s.org.y, rop);
    Touch(dst, r);
    return TRUE;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
    DCObj* dc = DCOf(hdc);
    Surface* s = dc ? SurfaceOf(dc) : nullptr;
    if (!s) return CLR_INVALID;
    x += dc->s.org.x, y += dc->s.org.y;
    if (x < 0 || y < 0 || x >= s->Width() || y >= s->Height()) return CLR_INVALID;
    return GetBackend()->Pixel(s, x, y);
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF c) {
    DCObj* dc = DCOf(hdc);
    if (!dc) return CLR_INVALID;
    RECT r = ToDevice(dc, RECT{x, y, x + 1, y + 1});
    FillDevice(dc, r, c);
    return c;
}

// --- Text -----------------------------------------------------------------------------------

static FontFace* FaceOf(DCObj* dc) {
    return dc->s.font ? dc->s.font->Face() : nullptr;
}

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                 const INT* dx) {
    DCObj* dc = DCOf(hdc);
    if (!dc) return FALSE;
    if (g_trace) {
        TextOutRecord t{x,
                        y,
                        options,
                        rect != nullptr,
                        rect ? *rect : RECT{},
                        std::u16string(text ? text : u"", text ? count : 0),
                        {},
                        0,
                        0,
                        {},
                        0,
                        false};
        if (dx) t.dx.assign(dx, dx + count);
        t.textColor = dc->s.text;
        t.bkColor = dc->s.bk;
        if (dc->s.font) {
            t.face = dc->s.font->lf.lfFaceName;
            t.weight = dc->s.font->lf.lfWeight;
            t.underline = dc->s.font->lf.lfUnderline != 0;
        }
        g_trace->push_back(std::move(t));
    }
    FontFace* face = FaceOf(dc);
    Surface* s = SurfaceOf(dc);
    if (!face || !s) return FALSE;
    TEXTMETRICW tm;
    face->Metrics(&tm);
    if ((dc->s.align & TA_BASELINE) == TA_BASELINE)
        y -= tm.tmAscent;
    else if (dc->s.align & TA_BOTTOM)
        y -= tm.tmHeight;
    std::vector<int> unitIndex;
    std::u32string cps = count && text ? CodePoints(text, count, &unitIndex) : std::u32string();
    std::vector<int> xs(cps.size());
    int pen = x;
    for (size_t i = 0; i < cps.size(); ++i) {
        xs[i] = pen + dc->s.org.x;
        if (dx) {
            int u = unitIndex[i];
            pen += dx[u];
            if (cps[i] > 0xFFFF && static_cast<UINT>(u + 1) < count) pen += dx[u + 1];
        } else {
            pen += face->Advance(cps[i]) + dc->s.extra;
        }
    }
    RECT dr = rect ? ToDevice(dc, *rect) : RECT{0, 0, 0, 0};
    if ((options & ETO_OPAQUE) && rect)
        FillDevice(dc, dr, dc->s.bk);
    else if (dc->s.bkMode == OPAQUE && !cps.empty()) {
        RECT cell = ToDevice(dc, RECT{x, y, pen, y + tm.tmHeight});
        if (options & ETO_CLIPPED && rect) IntersectRect(&cell, &cell, &dr);
        FillDevice(dc, cell, dc->s.bk);
    }
    if (cps.empty()) return TRUE;
    Region clip = ClipOf(dc);
    if ((options & ETO_CLIPPED) && rect) clip.Intersect(dr);
    GlyphRun run{cps.data(), xs.data(), cps.size(), y + dc->s.org.y};
    GetBackend()->Text(s, clip, face, run, dc->s.text);
    const LOGFONTW& lf = dc->s.font->lf;
    if (lf.lfUnderline || lf.lfStrikeOut) {
        int thick = std::max(1, static_cast<int>(tm.tmHeight) / 16);
        int left = std::min(x, pen) + dc->s.org.x, right = std::max(x, pen) + dc->s.org.x;
        int top = y + dc->s.org.y;
        if (lf.lfUnderline)
            GetBackend()->Fill(
                s, clip, RECT{left, top + tm.tmAscent + 1, right, top + tm.tmAscent + 1 + thick}, dc->s.text);
        if (lf.lfStrikeOut) {
            int mid = top + tm.tmAscent - tm.tmAscent / 3;
            GetBackend()->Fill(s, clip, RECT{left, mid, right, mid + thick}, dc->s.text);
        }
    }
    RECT touched = ToDevice(
        dc, RECT{std::min(x, pen) - tm.tmHeight, y, std::max(x, pen) + tm.tmHeight, y + tm.tmHeight});
    Touch(dc, touched);
    return TRUE;
}

DWORD GetGlyphOutlineW(HDC hdc, UINT ch, UINT format, GLYPHMETRICS* gm, DWORD bytes, LPVOID buffer,
                       const MAT2*) {
    DCObj* dc = DCOf(hdc);
    FontFace* face = dc ? FaceOf(dc) : nullptr;
    if (!face || !gm || format != GGO_GRAY8_BITMAP) return GDI_ERROR;
    std::vector<uint8_t> alpha;
    int w = 0, h = 0, ox = 0, oy = 0, adv = 0;
    if (!GetBackend()->GlyphAlpha(face, ch, &alpha, &w, &h, &ox, &oy, &adv)) return GDI_ERROR;
    gm->gmBlackBoxX = static_cast<UINT>(std::max(w, 1));
    gm->gmBlackBoxY = static_cast<UINT>(std::max(h, 1));
    gm->gmptGlyphOrigin = POINT{ox, oy};
    gm->gmCellIncX = static_cast<short>(adv);
    gm->gmCellIncY = 0;
    DWORD pitch = (static_cast<DWORD>(w) + 3) & ~3u;
    DWORD size = pitch * static_cast<DWORD>(h);
    if (!buffer || bytes == 0) return size;
    if (bytes < size) return GDI_ERROR;
    auto* out = static_cast<uint8_t*>(buffer);
    std::memset(out, 0, size);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            out[y * pitch + x] = static_cast<uint8_t>((alpha[y * w + x] * 64 + 127) / 255);
    return size;
}

BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count) {
    return ExtTextOutW(hdc, x, y, 0, nullptr, text, static_cast<UINT>(std::max(count, 0)), nullptr);
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, LPSIZE size) {
    DCObj* dc = DCOf(hdc);
    FontFace* face = dc ? FaceOf(dc) : nullptr;
    if (!face || !size) return FALSE;
    TEXTMETRICW tm;
    face->Metrics(&tm);
    std::u32string cps =
        count > 0 && text ? CodePoints(text, static_cast<UINT>(count), nullptr) : std::u32string();
    LONG w = 0;
    for (char32_t c : cps) w += face->Advance(c) + dc->s.extra;
    size->cx = w;
    size->cy = tm.tmHeight;
    return TRUE;
}

BOOL GetCharWidth32W(HDC hdc, UINT first, UINT last, LPINT widths) {
    DCObj* dc = DCOf(hdc);
    FontFace* face = dc ? FaceOf(dc) : nullptr;
    if (!face || !widths || last < first) return FALSE;
    for (UINT c = first; c <= last; ++c) widths[c - first] = face->Advance(c);
    return TRUE;
}

BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW tm) {
    DCObj* dc = DCOf(hdc);
    FontFace* face = dc ? FaceOf(dc) : nullptr;
    if (!face || !tm) return FALSE;
    face->Metrics(tm);
    const LOGFONTW& lf = dc->s.font->lf;
    tm->tmCharSet = lf.lfCharSet;
    tm->tmItalic = lf.lfItalic;
    tm->tmUnderlined = lf.lfUnderline;
    tm->tmStruckOut = lf.lfStrikeOut;
    return TRUE;
}

int GetTextFaceW(HDC hdc, int count, LPWSTR face) {
    DCObj* dc = DCOf(hdc);
    if (!dc || !dc->s.font) return 0;
    const WCHAR* name = dc->s.font->lf.lfFaceName;
    int n = static_cast<int>(wcsnlen(name, LF_FACESIZE));
    if (face && count > 0) {
        int k = std::min(n, count - 1);
        std::copy_n(name, k, face);
        face[k] = 0;
    }
    return n + 1;
}

int DrawTextW(HDC hdc, LPCWSTR text, int count, LPRECT rect, UINT format) {
    DCObj* dc = DCOf(hdc);
    FontFace* face = dc ? FaceOf(dc) : nullptr;
    if (!face || !rect || !text) return 0;
    if (count < 0) count = static_cast<int>(wcslen(text));
    TEXTMETRICW tm;
    face->Metrics(&tm);
    // Lines split at LF (single-line format keeps one line).
    std::vector<std::pair<int, int>> lines;
    int start = 0;
    for (int i = 0; i <= count; ++i) {
        if (i == count || (!(format & DT_SINGLELINE) && text[i] == u'\n')) {
            int end = i;
            if (end > start && text[end - 1] == u'\r') --end;
            lines.emplace_back(start, end - start);
            start = i + 1;
        }
    }
    int height = static_cast<int>(lines.size()) * tm.tmHeight;
    int maxw = 0;
    for (auto& [s, n] : lines) {
        SIZE sz;
        GetTextExtentPoint32W(hdc, text + s, n, &sz);
        maxw = std::max<int>(maxw, sz.cx);
    }
    if (format & DT_CALCRECT) {
        rect->right = rect->left + maxw;
        rect->bottom = rect->top + height;
        return height;
    }
    int y = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            y = rect->top + (rect->bottom - rect->top - tm.tmHeight) / 2;
        else if (format & DT_BOTTOM)
            y = rect->bottom - tm.tmHeight;
    }
    for (auto& [s, n] : lines) {
        SIZE sz;
        GetTextExtentPoint32W(hdc, text + s, n, &sz);
        int x = rect->left;
        if (format & DT_CENTER)
            x = rect->left + (rect->right - rect->left - sz.cx) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - sz.cx;
        ExtTextOutW(hdc, x, y, (format & DT_NOCLIP) ? 0 : ETO_CLIPPED, rect, text + s, static_cast<UINT>(n),
                    nullptr);
        y += tm.tmHeight;
    }
    return height;
}

int EnumFontFamiliesExW(HDC hdc, LPLOGFONTW lf, FONTENUMPROCW proc, LPARAM lParam, DWORD) {
    Backend* b = GetBackend();
    if (!b || !proc) return 0;
    std::vector<std::u16string> names = {u"Terminal", u"ＭＳ ゴシック", u"MS Gothic", u"ＭＳ Ｐゴシック"};
    // The face table's names write Japanese; of the installed families, those that do.
    bool japanese = lf && lf->lfCharSet == SHIFTJIS_CHARSET;
    for (auto& f : b->Families())
        if (!japanese || b->FamilyWritesJapanese(f)) names.push_back(f);
    std::u16string want = lf && lf->lfFaceName[0] ? std::u16string(lf->lfFaceName) : std::u16string();
    int result = 0;
    for (auto& name : names) {
        if (!want.empty() && _wcsicmp(want.c_str(), name.c_str()) != 0) continue;
        LOGFONTW l{};
        l.lfHeight = lf && lf->lfHeight ? lf->lfHeight : -12;
        l.lfWeight = FW_NORMAL;
        l.lfCharSet = lf ? lf->lfCharSet : DEFAULT_CHARSET;
        wcsncpy_s(l.lfFaceName, LF_FACESIZE, name.c_str(), LF_FACESIZE - 1);
        NEWTEXTMETRICW tm{};
        if (auto face = b->Realize(l)) face->Metrics(&tm);
        l.lfPitchAndFamily = (tm.tmPitchAndFamily & TMPF_FIXED_PITCH) ? VARIABLE_PITCH : FIXED_PITCH;
        DWORD type = name == u"Terminal" ? RASTER_FONTTYPE : TRUETYPE_FONTTYPE;
        result = proc(&l, &tm, type, lParam);
        if (!result) break;
        if (!want.empty()) break;
    }
    (void)hdc;
    return result;
}

// --- Clipping and regions ---------------------------------------------------------------------

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
    DCObj* dc = DCOf(hdc);
    if (!dc) return ERROR;
    RECT r = ToDevice(dc, RECT{left, top, right, bottom});
    if (!dc->s.user) dc->s.user = dc->base;
    dc->s.user->Intersect(r);
    return dc->s.user->Empty() ? NULLREGION : COMPLEXREGION;
}

int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom) {
    DCObj* dc = DCOf(hdc);
    if (!dc) return ERROR;
    RECT r = ToDevice(dc, RECT{left, top, right, bottom});
    if (!dc->s.user) dc->s.user = dc->base;
    dc->s.user->Subtract(r);
    return dc->s.user->Empty() ? NULLREGION : COMPLEXREGION;
}

int SelectClipRgn(HDC hdc, HRGN rgn) {
    DCObj* dc = DCOf(hdc);
    if (!dc) return ERROR;
    if (!rgn)
        dc->s.user.reset();
    else if (Region* r = RegionOf(rgn))
        dc->s.user = *r;
    return SIMPLEREGION;
}

int GetClipBox(HDC hdc, LPRECT rect) {
    DCObj* dc = DCOf(hdc);
    if (!dc || !rect) return ERROR;
    *rect = ClipOf(dc).Bounds();
    OffsetRect(rect, -dc->s.org.x, -dc->s.org.y);
    return IsRectEmpty(rect) ? NULLREGION : SIMPLEREGION;
}

BOOL RectVisible(HDC hdc, const RECT* rect) {
    DCObj* dc = DCOf(hdc);
    if (!dc || !rect) return FALSE;
    return ClipOf(dc).Intersects(ToDevice(dc, *rect)) ? TRUE : FALSE;
}

BOOL PtVisible(HDC hdc, int x, int y) {
    DCObj* dc = DCOf(hdc);
    if (!dc) return FALSE;
    return ClipOf(dc).Contains(x + dc->s.org.x, y + dc->s.org.y) ? TRUE : FALSE;
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    auto* r = new RgnObj;
    r->region.Add(RECT{left, top, right, bottom});
    return reinterpret_cast<HRGN>(r);
}
HRGN CreateRectRgnIndirect(const RECT* rect) {
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom) {
    Region* r = RegionOf(rgn);
    if (!r) return FALSE;
    r->Clear();
    r->Add(RECT{left, top, right, bottom});
    return TRUE;
}

int CombineRgn(HRGN dst, HRGN a, HRGN b, int mode) {
    Region* d = RegionOf(dst);
    Region* ra = RegionOf(a);
    Region* rb = RegionOf(b);
    if (!d || !ra) return ERROR;
    Region out = *ra;
    switch (mode) {
    case RGN_COPY: break;
    case RGN_AND:
        if (rb) out.Intersect(*rb);
        break;
    case RGN_OR:
        if (rb) out.Unite(*rb);
        break;
    case RGN_DIFF:
        if (rb)
            for (const RECT& r : rb->Rects()) out.Subtract(r);
        break;
    case RGN_XOR:
        if (rb) {
            Region both = *ra;
            both.Intersect(*rb);
            out.Unite(*rb);
            for (const RECT& r : both.Rects()) out.Subtract(r);
        }
        break;
    }
    *d = out;
    return d->Empty() ? NULLREGION : (d->Rects().size() == 1 ? SIMPLEREGION : COMPLEXREGION);
}

int GetRgnBox(HRGN rgn, LPRECT rect) {
    Region* r = RegionOf(rgn);
    if (!r || !rect) return ERROR;
    *rect = r->Bounds();
    return r->Empty() ? NULLREGION : SIMPLEREGION;
}

BOOL PtInRegion(HRGN rgn, int x, int y) {
    Region* r = RegionOf(rgn);
    return r && r->Contains(x, y) ? TRUE : FALSE;
}
