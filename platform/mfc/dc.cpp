// CDC and GDI object wrappers.
#include <algorithm>
#include <map>
#include <memory>

#include "mfc/wnd.h"

IMPLEMENT_DYNAMIC(CGdiObject, CObject)
IMPLEMENT_DYNAMIC(CPen, CGdiObject)
IMPLEMENT_DYNAMIC(CBrush, CGdiObject)
IMPLEMENT_DYNAMIC(CFont, CGdiObject)
IMPLEMENT_DYNAMIC(CBitmap, CGdiObject)
IMPLEMENT_DYNAMIC(CRgn, CGdiObject)
IMPLEMENT_DYNAMIC(CDC, CObject)
IMPLEMENT_DYNAMIC(CPaintDC, CDC)
IMPLEMENT_DYNAMIC(CClientDC, CDC)
IMPLEMENT_DYNAMIC(CWindowDC, CDC)

namespace {
// Temporary wrappers for handles the program did not wrap itself; they live
// as long as the thread (handles are few and reused).
// They never own their handle.
template <class T> struct TempHolder {
    std::unique_ptr<T> p;
    ~TempHolder() {
        if (p) p->Detach();
    }
};
template <class T, class H> T* Temp(H h) {
    if (!h) return nullptr;
    thread_local std::map<H, TempHolder<T>> map;
    auto& slot = map[h];
    if (!slot.p) slot.p = std::make_unique<T>();
    return slot.p.get();
}
} // namespace

CDC* CDC::FromHandle(HDC dc) {
    CDC* d = Temp<CDC>(dc);
    if (d) d->m_hDC = d->m_hAttribDC = dc;
    return d;
}

CWnd* CDC::GetWindow() const {
    return CWnd::FromHandle(WindowFromDC(m_hDC));
}

CBrush* CBrush::FromHandle(HBRUSH h) {
    CBrush* b = Temp<CBrush>(h);
    if (b) b->m_hObject = reinterpret_cast<HGDIOBJ>(h);
    return b;
}

CFont* CFont::FromHandle(HFONT h) {
    CFont* f = Temp<CFont>(h);
    if (f) f->m_hObject = reinterpret_cast<HGDIOBJ>(h);
    return f;
}

BOOL CFont::CreatePointFont(int tenths, LPCWSTR face, CDC*) {
    LOGFONTW lf{};
    lf.lfHeight = -((tenths * 96 / 72 + 5) / 10);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    if (face) wcsncpy_s(lf.lfFaceName, LF_FACESIZE, face, LF_FACESIZE - 1);
    return CreateFontIndirect(&lf);
}

BOOL CFont::CreatePointFontIndirect(const LOGFONTW* lf, CDC*) {
    if (!lf) return FALSE;
    LOGFONTW l = *lf;
    l.lfHeight = -((lf->lfHeight * 96 / 72 + 5) / 10);
    return CreateFontIndirect(&l);
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int w, int h) {
    return Attach(::CreateCompatibleBitmap(dc ? dc->m_hDC : nullptr, w, h));
}

CGdiObject* CDC::SelectObject(CGdiObject* obj) {
    if (!obj) return nullptr;
    HGDIOBJ old = ::SelectObject(m_hDC, obj->m_hObject);
    if (!old) return nullptr;
    // The previous object comes back wrapped, as the framework's temporary objects do.
    switch (GetObjectType(old)) {
    case OBJ_PEN: {
        auto* p = Temp<CPen>(old);
        p->m_hObject = old;
        return p;
    }
    case OBJ_BRUSH: return CBrush::FromHandle(reinterpret_cast<HBRUSH>(old));
    case OBJ_FONT: return CFont::FromHandle(reinterpret_cast<HFONT>(old));
    case OBJ_BITMAP: {
        auto* b = Temp<CBitmap>(old);
        b->m_hObject = old;
        return b;
    }
    }
    return nullptr;
}

CGdiObject* CDC::SelectStockObject(int index) {
    HGDIOBJ old = ::SelectObject(m_hDC, ::GetStockObject(index));
    auto* o = Temp<CGdiObject>(old);
    if (o) o->m_hObject = old;
    return o;
}

CFont* CDC::GetCurrentFont() const {
    return CFont::FromHandle(reinterpret_cast<HFONT>(::GetCurrentObject(m_hDC, OBJ_FONT)));
}

void CDC::Draw3dRect(LPCRECT r, COLORREF tl, COLORREF br) {
    int w = r->right - r->left, h = r->bottom - r->top;
    FillSolidRect(r->left, r->top, w - 1, 1, tl);
    FillSolidRect(r->left, r->top, 1, h - 1, tl);
    FillSolidRect(r->right - 1, r->top, 1, h, br);
    FillSolidRect(r->left, r->bottom - 1, w, 1, br);
}

namespace {

void InvertFrame(HDC dc, const RECT& r, SIZE size) {
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return;
    int cx = std::max(0L, static_cast<long>(size.cx)), cy = std::max(0L, static_cast<long>(size.cy));
    // A frame as thick as the rectangle is the whole rectangle.
    if (2 * cx >= w || 2 * cy >= h) {
        ::PatBlt(dc, r.left, r.top, w, h, PATINVERT);
        return;
    }
    ::PatBlt(dc, r.left, r.top, w, cy, PATINVERT);
    ::PatBlt(dc, r.left, r.bottom - cy, w, cy, PATINVERT);
    ::PatBlt(dc, r.left, r.top + cy, cx, h - 2 * cy, PATINVERT);
    ::PatBlt(dc, r.right - cx, r.top + cy, cx, h - 2 * cy, PATINVERT);
}

} // namespace

void CDC::DrawDragRect(LPCRECT rect, SIZE size, LPCRECT lastRect, SIZE lastSize, CBrush*, CBrush*) {
    if (lastRect) InvertFrame(m_hDC, *lastRect, lastSize);
    if (rect) InvertFrame(m_hDC, *rect, size);
}

CPaintDC::CPaintDC(CWnd* wnd) : m_hWnd(wnd->m_hWnd) {
    Attach(::BeginPaint(m_hWnd, &m_ps));
}
CPaintDC::~CPaintDC() {
    ::EndPaint(m_hWnd, &m_ps);
    Detach();
}

CClientDC::CClientDC(CWnd* wnd) : m_hWnd(wnd ? wnd->m_hWnd : nullptr) {
    Attach(::GetDC(m_hWnd));
}
CClientDC::~CClientDC() {
    ::ReleaseDC(m_hWnd, Detach());
}

CWindowDC::CWindowDC(CWnd* wnd) : m_hWnd(wnd ? wnd->m_hWnd : nullptr) {
    Attach(::GetWindowDC(m_hWnd));
}
CWindowDC::~CWindowDC() {
    ::ReleaseDC(m_hWnd, Detach());
}
