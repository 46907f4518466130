// GDI object and device-context classes: CGdiObject, CPen, CBrush, CFont, CBitmap, CRgn, CDC and its
// paint, client and window variants.
#pragma once

#include "mfc/geometry.h"
#include "mfc/object.h"

class CWnd;

class CGdiObject : public CObject {
    DECLARE_DYNAMIC(CGdiObject)
public:
    CGdiObject() = default;
    ~CGdiObject() override { DeleteObject(); }
    HGDIOBJ m_hObject = nullptr;
    operator HGDIOBJ() const { return m_hObject; }
    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    BOOL Attach(HGDIOBJ h) {
        m_hObject = h;
        return h != nullptr;
    }
    HGDIOBJ Detach() {
        HGDIOBJ h = m_hObject;
        m_hObject = nullptr;
        return h;
    }
    BOOL DeleteObject() {
        if (!m_hObject) return FALSE;
        return ::DeleteObject(Detach());
    }
    int GetObject(int size, LPVOID out) const { return ::GetObjectW(m_hObject, size, out); }
    BOOL CreateStockObject(int index) { return Attach(::GetStockObject(index)); }

    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
};

class CPen : public CGdiObject {
    DECLARE_DYNAMIC(CPen)
public:
    CPen() = default;
    CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }
    BOOL CreatePen(int style, int width, COLORREF color) { return Attach(::CreatePen(style, width, color)); }
    operator HPEN() const { return reinterpret_cast<HPEN>(m_hObject); }
};

class CBrush : public CGdiObject {
    DECLARE_DYNAMIC(CBrush)
public:
    CBrush() = default;
    explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
    BOOL CreateSolidBrush(COLORREF color) { return Attach(::CreateSolidBrush(color)); }
    BOOL CreateSysColorBrush(int index) {
        return Attach(reinterpret_cast<HGDIOBJ>(::GetSysColorBrush(index)));
    }
    operator HBRUSH() const { return reinterpret_cast<HBRUSH>(m_hObject); }
    static CBrush* FromHandle(HBRUSH h);
};

class CFont : public CGdiObject {
    DECLARE_DYNAMIC(CFont)
public:
    BOOL CreateFontIndirect(const LOGFONTW* lf) { return Attach(::CreateFontIndirectW(lf)); }
    BOOL CreatePointFont(int tenthsOfPoint, LPCWSTR face, class CDC* dc = nullptr);
    // lf's height in tenths of a point (100 gives -13 at 96 DPI).
    BOOL CreatePointFontIndirect(const LOGFONTW* lf, class CDC* dc = nullptr);
    int GetLogFont(LOGFONTW* lf) const { return GetObject(sizeof(LOGFONTW), lf); }
    operator HFONT() const { return reinterpret_cast<HFONT>(m_hObject); }
    static CFont* FromHandle(HFONT h);
};

class CBitmap : public CGdiObject {
    DECLARE_DYNAMIC(CBitmap)
public:
    BOOL CreateCompatibleBitmap(class CDC* dc, int w, int h);
    BOOL CreateBitmap(int w, int h, UINT planes, UINT bits, const void* data) {
        return Attach(::CreateBitmap(w, h, planes, bits, data));
    }
    int GetBitmap(BITMAP* bm) const { return GetObject(sizeof(BITMAP), bm); }
    operator HBITMAP() const { return reinterpret_cast<HBITMAP>(m_hObject); }
};

class CRgn : public CGdiObject {
    DECLARE_DYNAMIC(CRgn)
public:
    BOOL CreateRectRgn(int l, int t, int r, int b) { return Attach(::CreateRectRgn(l, t, r, b)); }
    BOOL CreateRectRgnIndirect(LPCRECT r) { return Attach(::CreateRectRgnIndirect(r)); }
    int CombineRgn(const CRgn* a, const CRgn* b, int mode) {
        return ::CombineRgn(*this, a ? static_cast<HRGN>(*a) : nullptr, b ? static_cast<HRGN>(*b) : nullptr,
                            mode);
    }
    operator HRGN() const { return reinterpret_cast<HRGN>(m_hObject); }
};

class CDC : public CObject {
    DECLARE_DYNAMIC(CDC)
public:
    CDC() = default;
    ~CDC() override {
        if (m_hDC && m_owned) ::DeleteDC(m_hDC);
    }
    HDC m_hDC = nullptr;
    HDC m_hAttribDC = nullptr;
    operator HDC() const { return m_hDC; }
    HDC GetSafeHdc() const { return m_hDC; }
    static CDC* FromHandle(HDC dc);
    BOOL Attach(HDC dc) {
        m_hDC = m_hAttribDC = dc;
        return dc != nullptr;
    }
    HDC Detach() {
        HDC dc = m_hDC;
        m_hDC = m_hAttribDC = nullptr;
        m_owned = false;
        return dc;
    }
    BOOL CreateCompatibleDC(CDC* dc) {
        m_owned = true;
        return Attach(::CreateCompatibleDC(dc ? dc->m_hDC : nullptr));
    }
    BOOL DeleteDC() {
        if (!m_hDC) return FALSE;
        m_owned = false;
        return ::DeleteDC(Detach());
    }
    CWnd* GetWindow() const;

    CGdiObject* SelectObject(CGdiObject* obj);
    CPen* SelectObject(CPen* pen) { return static_cast<CPen*>(SelectObject(static_cast<CGdiObject*>(pen))); }
    CBrush* SelectObject(CBrush* br) {
        return static_cast<CBrush*>(SelectObject(static_cast<CGdiObject*>(br)));
    }
    CFont* SelectObject(CFont* f) { return static_cast<CFont*>(SelectObject(static_cast<CGdiObject*>(f))); }
    CBitmap* SelectObject(CBitmap* b) {
        return static_cast<CBitmap*>(SelectObject(static_cast<CGdiObject*>(b)));
    }
    HGDIOBJ SelectObject(HGDIOBJ h) { return ::SelectObject(m_hDC, h); }
    CGdiObject* SelectStockObject(int index);
    CFont* GetCurrentFont() const;

    COLORREF SetTextColor(COLORREF c) { return ::SetTextColor(m_hDC, c); }
    COLORREF GetTextColor() const { return ::GetTextColor(m_hDC); }
    COLORREF SetBkColor(COLORREF c) { return ::SetBkColor(m_hDC, c); }
    COLORREF GetBkColor() const { return ::GetBkColor(m_hDC); }
    int SetBkMode(int m) { return ::SetBkMode(m_hDC, m); }
    int GetBkMode() const { return ::GetBkMode(m_hDC); }
    UINT SetTextAlign(UINT a) { return ::SetTextAlign(m_hDC, a); }
    int SetROP2(int r) { return ::SetROP2(m_hDC, r); }
    int SaveDC() { return ::SaveDC(m_hDC); }
    BOOL RestoreDC(int n) { return ::RestoreDC(m_hDC, n); }
    int GetDeviceCaps(int i) const { return ::GetDeviceCaps(m_hDC, i); }
    CPoint SetViewportOrg(int x, int y) {
        POINT p{};
        ::SetViewportOrgEx(m_hDC, x, y, &p);
        return p;
    }
    CPoint GetViewportOrg() const {
        POINT p{};
        ::GetViewportOrgEx(m_hDC, &p);
        return p;
    }

    CPoint MoveTo(int x, int y) {
        POINT p{};
        ::MoveToEx(m_hDC, x, y, &p);
        return p;
    }
    CPoint MoveTo(POINT p) { return MoveTo(p.x, p.y); }
    BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
    BOOL LineTo(POINT p) { return ::LineTo(m_hDC, p.x, p.y); }
    BOOL Polyline(const POINT* pts, int n) { return ::Polyline(m_hDC, pts, n); }
    BOOL Rectangle(int l, int t, int r, int b) { return ::Rectangle(m_hDC, l, t, r, b); }
    BOOL Rectangle(LPCRECT r) { return ::Rectangle(m_hDC, r->left, r->top, r->right, r->bottom); }
    void FillRect(LPCRECT r, CBrush* br) { ::FillRect(m_hDC, r, br ? static_cast<HBRUSH>(*br) : nullptr); }
    void FrameRect(LPCRECT r, CBrush* br) { ::FrameRect(m_hDC, r, br ? static_cast<HBRUSH>(*br) : nullptr); }
    void InvertRect(LPCRECT r) { ::InvertRect(m_hDC, r); }
    // Leaves the background colour set, as the framework's does.
    void FillSolidRect(LPCRECT r, COLORREF c) {
        ::SetBkColor(m_hDC, c);
        ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, r, nullptr, 0, nullptr);
    }
    void FillSolidRect(int x, int y, int w, int h, COLORREF c) {
        RECT r{x, y, x + w, y + h};
        FillSolidRect(&r, c);
    }
    void Draw3dRect(LPCRECT r, COLORREF topLeft, COLORREF bottomRight);
    // Inverts the frame of lastRect (when given), then the frame of rect
    // (when given), each size.cx wide at the sides and size.cy at top and
    // bottom: drawing the same frame twice restores every pixel.
    void DrawDragRect(LPCRECT rect, SIZE size, LPCRECT lastRect, SIZE lastSize, CBrush* brush = nullptr,
                      CBrush* lastBrush = nullptr);
    BOOL PatBlt(int x, int y, int w, int h, DWORD rop) { return ::PatBlt(m_hDC, x, y, w, h, rop); }
    BOOL BitBlt(int x, int y, int w, int h, CDC* src, int sx, int sy, DWORD rop) {
        return ::BitBlt(m_hDC, x, y, w, h, src ? src->m_hDC : nullptr, sx, sy, rop);
    }
    COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
    COLORREF SetPixel(int x, int y, COLORREF c) { return ::SetPixel(m_hDC, x, y, c); }

    BOOL TextOut(int x, int y, LPCWSTR s, int n) { return ::TextOutW(m_hDC, x, y, s, n); }
    BOOL ExtTextOut(int x, int y, UINT opt, LPCRECT r, LPCWSTR s, UINT n, const INT* dx) {
        return ::ExtTextOutW(m_hDC, x, y, opt, r, s, n, dx);
    }
    int DrawText(LPCWSTR s, int n, LPRECT r, UINT fmt) { return ::DrawTextW(m_hDC, s, n, r, fmt); }
    CSize GetTextExtent(LPCWSTR s, int n) const {
        SIZE sz{0, 0};
        ::GetTextExtentPoint32W(m_hDC, s, n, &sz);
        return sz;
    }
    BOOL GetTextMetrics(LPTEXTMETRICW tm) const { return ::GetTextMetricsW(m_hDC, tm); }
    BOOL GetCharWidth(UINT first, UINT last, LPINT w) const {
        return ::GetCharWidth32W(m_hDC, first, last, w);
    }
    int SetTextCharacterExtra(int n) { return ::SetTextCharacterExtra(m_hDC, n); }

    int IntersectClipRect(int l, int t, int r, int b) { return ::IntersectClipRect(m_hDC, l, t, r, b); }
    int IntersectClipRect(LPCRECT r) {
        return ::IntersectClipRect(m_hDC, r->left, r->top, r->right, r->bottom);
    }
    int ExcludeClipRect(int l, int t, int r, int b) { return ::ExcludeClipRect(m_hDC, l, t, r, b); }
    int ExcludeClipRect(LPCRECT r) { return ::ExcludeClipRect(m_hDC, r->left, r->top, r->right, r->bottom); }
    int SelectClipRgn(CRgn* rgn) { return ::SelectClipRgn(m_hDC, rgn ? static_cast<HRGN>(*rgn) : nullptr); }
    int GetClipBox(LPRECT r) const { return ::GetClipBox(m_hDC, r); }
    BOOL RectVisible(LPCRECT r) const { return ::RectVisible(m_hDC, r); }
    BOOL PtVisible(int x, int y) const { return ::PtVisible(m_hDC, x, y); }

    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

protected:
    bool m_owned = false;
};

class CPaintDC : public CDC {
    DECLARE_DYNAMIC(CPaintDC)
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps{};

protected:
    HWND m_hWnd;
};

class CClientDC : public CDC {
    DECLARE_DYNAMIC(CClientDC)
public:
    explicit CClientDC(CWnd* wnd);
    ~CClientDC() override;

protected:
    HWND m_hWnd;
};

class CWindowDC : public CDC {
    DECLARE_DYNAMIC(CWindowDC)
public:
    explicit CWindowDC(CWnd* wnd);
    ~CWindowDC() override;

protected:
    HWND m_hWnd;
};
