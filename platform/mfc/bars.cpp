// Control bars of a frame: the status bar with its panes and the toolbar
// with its buttons, both updated from the command routing at idle.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "mfc/docview.h"

IMPLEMENT_DYNAMIC(CControlBar, CWnd)
IMPLEMENT_DYNAMIC(CStatusBar, CControlBar)
IMPLEMENT_DYNAMIC(CToolBar, CControlBar)

namespace {
// The string of an id up to its first "\n" (what a pane or a prompt shows),
// and the part after it (a button's tooltip).
std::u16string StringPart(UINT id, bool tip) {
    const char16_t* s = AfxFindResourceString(id);
    if (!s) return {};
    std::u16string all = s;
    size_t nl = all.find(u'\n');
    if (tip) return nl == std::u16string::npos ? std::u16string() : all.substr(nl + 1);
    return all.substr(0, nl);
}

int TextWidth(const std::u16string& text) {
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SIZE sz{0, 0};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &sz);
    DeleteDC(dc);
    return sz.cx;
}

void Bevel(CDC& dc, const RECT& r, bool raised) {
    COLORREF light = GetSysColor(COLOR_3DHIGHLIGHT), dark = GetSysColor(COLOR_3DSHADOW);
    CRect k(r);
    dc.FillSolidRect(k.left, k.top, k.Width(), 1, raised ? light : dark);
    dc.FillSolidRect(k.left, k.top, 1, k.Height(), raised ? light : dark);
    dc.FillSolidRect(k.left, k.bottom - 1, k.Width(), 1, raised ? dark : light);
    dc.FillSolidRect(k.right - 1, k.top, 1, k.Height(), raised ? dark : light);
}

std::map<UINT, std::vector<UINT>>& ToolBarResources() {
    static std::map<UINT, std::vector<UINT>> m;
    return m;
}

constexpr int kStatusHeight = 22;
constexpr int kButtonWidth = 24;
constexpr int kButtonHeight = 23;
constexpr int kSeparatorWidth = 8;

// A DIB (a BITMAP resource's bytes: the header, the colour table, the rows
// bottom-up) as colours, top row first; 1, 4, 8, 24 and 32 bits, uncompressed.
bool DecodeDib(const BYTE* data, DWORD size, int* width, int* height, std::vector<COLORREF>* out) {
    auto u32 = [&](size_t at) {
        DWORD v = 0;
        if (at + 4 <= size) std::memcpy(&v, data + at, 4);
        return v;
    };
    auto u16 = [&](size_t at) {
        WORD v = 0;
        if (at + 2 <= size) std::memcpy(&v, data + at, 2);
        return v;
    };
    if (!data || size < 40) return false;
    DWORD headerSize = u32(0);
    int w = int(u32(4)), h = int(u32(8));
    int bits = u16(14);
    DWORD compression = u32(16), used = u32(32);
    if (headerSize < 40 || headerSize > size || w <= 0 || h == 0 || w > 4096 || std::abs(h) > 4096 ||
        compression != 0)
        return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
    size_t colors = bits <= 8 ? (used ? used : (1u << bits)) : 0;
    if (colors > 256) return false;
    size_t table = headerSize, pixels = table + colors * 4;
    size_t stride = (size_t(w) * size_t(bits) + 31) / 32 * 4;
    int rows = std::abs(h);
    if (pixels + stride * size_t(rows) > size) return false;
    out->assign(size_t(w) * size_t(rows), 0);
    for (int y = 0; y < rows; ++y) {
        const BYTE* row = data + pixels + stride * size_t(h > 0 ? rows - 1 - y : y);
        for (int x = 0; x < w; ++x) {
            COLORREF c;
            if (bits <= 8) {
                int per = 8 / bits;
                int index = (row[x / per] >> ((per - 1 - x % per) * bits)) & ((1 << bits) - 1);
                if (size_t(index) >= colors) index = 0;
                const BYTE* q = data + table + size_t(index) * 4;
                c = RGB(q[2], q[1], q[0]);
            } else {
                const BYTE* q = row + size_t(x) * size_t(bits / 8);
                c = RGB(q[2], q[1], q[0]);
            }
            (*out)[size_t(y) * size_t(w) + size_t(x)] = c;
        }
    }
    *width = w;
    *height = rows;
    return true;
}

// The tip window: a small bordered popup with one line of text.
LRESULT TipProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(dc, &r, GetSysColorBrush(COLOR_INFOBK));
        HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
        char16_t text[256];
        int n = GetWindowTextW(hwnd, text, 256);
        DrawTextW(dc, text, n, &r, DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
        SelectObject(dc, old);
        EndPaint(hwnd, &ps);
        return 0;
    }
    if (msg == WM_ERASEBKGND) return 1;
    if (msg == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

constexpr const char16_t* kTipClass = u"tooltips_class32";
constexpr UINT_PTR kTipTimer = 0xE0F0;
constexpr UINT kTipDelay = 500;
// While a tip shows, where the pointer is, every so often.
constexpr UINT_PTR kTipWatch = 0xE0F1;
constexpr UINT kTipWatchEvery = 100;
void TipWatch(HWND hwnd, UINT, UINT_PTR id, DWORD);

// What a toolbar keeps beside its buttons: the images of its BITMAP (in a
// row, their greyed forms below) and its tip window.
struct ToolExtras {
    SIZE imageSize{16, 15};
    int imageCount = 0;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    HWND tip = nullptr;
    int tipFor = -1;
    void DropImages() {
        if (!dc) return;
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
        dc = nullptr, bitmap = nullptr, imageCount = 0;
    }
};
std::map<const CControlBar*, ToolExtras>& Extras() {
    static std::map<const CControlBar*, ToolExtras> m;
    return m;
}

// Loads the BITMAP resource id as the bar's images; light grey is the face,
// the greyed form keeps only the dark pixels, in the shadow colour.
bool LoadImages(ToolExtras& x, UINT id) {
    HRSRC res = FindResourceW(nullptr, MAKEINTRESOURCEW(id), RT_BITMAP);
    if (!res) return false;
    int w = 0, h = 0;
    std::vector<COLORREF> px;
    if (!DecodeDib(static_cast<const BYTE*>(LockResource(LoadResource(nullptr, res))),
                   SizeofResource(nullptr, res), &w, &h, &px))
        return false;
    x.DropImages();
    COLORREF face = GetSysColor(COLOR_3DFACE), shadow = GetSysColor(COLOR_3DSHADOW);
    // The images in the top half, their greyed forms below, 0x00RRGGBB a pixel.
    auto bgr = [](COLORREF c) {
        return static_cast<DWORD>(GetRValue(c)) << 16 | static_cast<DWORD>(GetGValue(c)) << 8 | GetBValue(c);
    };
    std::vector<DWORD> pixels(size_t(w) * size_t(h) * 2);
    for (int y = 0; y < h; ++y)
        for (int i = 0; i < w; ++i) {
            COLORREF c = px[size_t(y) * size_t(w) + size_t(i)];
            bool background = c == RGB(192, 192, 192);
            pixels[size_t(y) * size_t(w) + size_t(i)] = bgr(background ? face : c);
            int luma = (GetRValue(c) * 3 + GetGValue(c) * 6 + GetBValue(c)) / 10;
            pixels[size_t(h + y) * size_t(w) + size_t(i)] = bgr(!background && luma < 128 ? shadow : face);
        }
    x.dc = CreateCompatibleDC(nullptr);
    x.bitmap = CreateBitmap(w, 2 * h, 1, 32, pixels.data());
    x.old = SelectObject(x.dc, x.bitmap);
    x.imageSize.cy = h;
    if (x.imageSize.cx <= 0 || x.imageSize.cx > w) x.imageSize.cx = std::min(16, w);
    x.imageCount = w / x.imageSize.cx;
    return true;
}

// The tip of button index below it; index -1 hides it.
void ShowTip(CToolBar* bar, int index) {
    ToolExtras& x = Extras()[bar];
    std::u16string text = index >= 0 ? std::u16string(static_cast<LPCWSTR>(bar->GetToolTipText(index))) : u"";
    if (text.empty()) {
        if (x.tip && IsWindowVisible(x.tip)) ShowWindow(x.tip, SW_HIDE);
        x.tipFor = -1;
        if (bar->m_hWnd) KillTimer(bar->m_hWnd, kTipWatch);
        return;
    }
    if (!x.tip) {
        static bool registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = TipProc;
            wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            wc.lpszClassName = kTipClass;
            return RegisterClassW(&wc) != 0;
        }();
        (void)registered;
        x.tip = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kTipClass, u"", WS_POPUP | WS_BORDER, 0, 0,
                                10, 10, GetAncestor(bar->m_hWnd, GA_ROOT), nullptr, nullptr, nullptr);
        if (!x.tip) return;
    }
    SetWindowTextW(x.tip, text.c_str());
    CRect r;
    bar->GetItemRect(index, &r);
    POINT at{r.left, r.bottom + 2};
    ClientToScreen(bar->m_hWnd, &at);
    SetWindowPos(x.tip, HWND_TOPMOST, at.x, at.y, TextWidth(text) + 10, 19, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(x.tip, nullptr, TRUE);
    x.tipFor = index;
    SetTimer(bar->m_hWnd, kTipWatch, kTipWatchEvery, TipWatch);
}

// The button under the pointer, -1 when it is off the bar's buttons.
int ButtonUnderPointer(CToolBar* bar) {
    POINT pt;
    GetCursorPos(&pt);
    if (WindowFromPoint(pt) != bar->m_hWnd) return -1;
    ScreenToClient(bar->m_hWnd, &pt);
    for (int i = 0; i < bar->GetCount(); ++i) {
        CRect r;
        bar->GetItemRect(i, &r);
        if (!(bar->GetButtonStyle(i) & TBBS_SEPARATOR) && r.PtInRect(pt)) return i;
    }
    return -1;
}

// A pointer that left the bar for another window is never reported to the
// bar: the bar is told of a move off its buttons, which takes the tip away.
void TipWatch(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    POINT pt;
    GetCursorPos(&pt);
    if (WindowFromPoint(pt) == hwnd) return;
    KillTimer(hwnd, id);
    ScreenToClient(hwnd, &pt);
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
}

// The pointer has rested: the tip of the button it rests on.
void TipTimer(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    KillTimer(hwnd, id);
    if (auto* bar = dynamic_cast<CToolBar*>(CWnd::FromHandlePermanent(hwnd)))
        ShowTip(bar, ButtonUnderPointer(bar));
}
} // namespace

// --- CControlBar ----------------------------------------------------------------------------------

CControlBar::~CControlBar() {
    if (CFrameWnd* f = m_hWnd ? GetParentFrame() : nullptr) f->RemoveControlBar(this);
    auto it = Extras().find(this);
    if (it != Extras().end()) {
        it->second.DropImages();
        if (it->second.tip && ::IsWindow(it->second.tip)) ::DestroyWindow(it->second.tip);
        Extras().erase(it);
    }
}

CFrameWnd* CControlBar::GetParentFrame() const {
    return CWnd::GetParentFrame();
}

BOOL CControlBar::CreateBar(CWnd* parent, DWORD style, UINT id) {
    m_dwStyle = style & (CBRS_ALIGN_ANY | CBRS_BORDER_LEFT | CBRS_BORDER_TOP | CBRS_BORDER_RIGHT |
                         CBRS_BORDER_BOTTOM | CBRS_TOOLTIPS | CBRS_FLYBY | CBRS_GRIPPER | CBRS_SIZE_DYNAMIC |
                         CBRS_SIZE_FIXED);
    DWORD wstyle = (style & (WS_VISIBLE | WS_DISABLED)) | WS_CHILD | WS_CLIPSIBLINGS;
    if (!CreateEx(0, AfxRegisterWndClass(CS_DBLCLKS, LoadCursorW(nullptr, IDC_ARROW)), nullptr, wstyle,
                  CRect(0, 0, 1, BarHeight()), parent, id))
        return FALSE;
    if (CFrameWnd* f = GetParentFrame()) f->AddControlBar(this);
    return TRUE;
}

// --- CStatusBar -----------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CStatusBar, CControlBar)
ON_WM_PAINT()
ON_WM_ERASEBKGND()
ON_WM_SIZE()
END_MESSAGE_MAP()

BOOL CStatusBar::Create(CWnd* parent, DWORD style, UINT id) {
    return CreateBar(parent, style, id);
}

int CStatusBar::BarHeight() const {
    return kStatusHeight;
}

BOOL CStatusBar::SetIndicators(const UINT* ids, int count) {
    m_panes.clear();
    for (int i = 0; i < count; ++i) {
        Pane p{ids[i], SBPS_NORMAL, 0, CString()};
        if (p.id == ID_SEPARATOR) {
            p.style = i == 0 ? (SBPS_NOBORDERS | SBPS_STRETCH) : SBPS_NORMAL;
            if (i == 0) p.text = StringPart(AFX_IDS_IDLEMESSAGE, false).c_str();
        } else {
            std::u16string text = StringPart(p.id, false);
            p.text = text.c_str();
            p.width = TextWidth(text);
        }
        m_panes.push_back(p);
    }
    if (m_hWnd) Invalidate();
    return TRUE;
}

void CStatusBar::SetPaneInfo(int index, UINT id, UINT style, int width) {
    if (index < 0 || index >= GetCount()) return;
    Pane& p = m_panes[static_cast<size_t>(index)];
    p.id = id, p.style = style, p.width = width;
    if (m_hWnd) Invalidate();
}

void CStatusBar::GetPaneInfo(int index, UINT& id, UINT& style, int& width) const {
    if (index < 0 || index >= GetCount()) return;
    const Pane& p = m_panes[static_cast<size_t>(index)];
    id = p.id, style = p.style, width = p.width;
}

UINT CStatusBar::GetItemID(int index) const {
    return index >= 0 && index < GetCount() ? m_panes[static_cast<size_t>(index)].id : 0;
}

int CStatusBar::CommandToIndex(UINT id) const {
    for (int i = 0; i < GetCount(); ++i)
        if (m_panes[static_cast<size_t>(i)].id == id) return i;
    return -1;
}

void CStatusBar::GetItemRect(int index, LPRECT rect) const {
    CRect client;
    GetClientRect(&client);
    // Fixed panes from the right; the stretching one takes the rest.
    int x = client.right - 2;
    std::vector<RECT> rects(m_panes.size());
    for (int i = GetCount() - 1; i >= 0; --i) {
        const Pane& p = m_panes[static_cast<size_t>(i)];
        if (p.style & SBPS_STRETCH) continue;
        int w = p.width + 8;
        rects[static_cast<size_t>(i)] = RECT{x - w, 2, x, client.bottom - 1};
        x -= w + 2;
    }
    for (int i = 0; i < GetCount(); ++i)
        if (m_panes[static_cast<size_t>(i)].style & SBPS_STRETCH)
            rects[static_cast<size_t>(i)] = RECT{2, 2, x, client.bottom - 1};
    if (index >= 0 && index < GetCount()) *rect = rects[static_cast<size_t>(index)];
}

BOOL CStatusBar::SetPaneText(int index, LPCWSTR text, BOOL update) {
    if (index < 0 || index >= GetCount()) return FALSE;
    Pane& p = m_panes[static_cast<size_t>(index)];
    CString t = text ? text : u"";
    if (p.text == t) return TRUE;
    p.text = t;
    if (m_hWnd) {
        CRect r;
        GetItemRect(index, &r);
        InvalidateRect(&r, TRUE);
        // Shown at once, even while the thread does not return to its loop.
        if (update) UpdateWindow();
    }
    return TRUE;
}

CString CStatusBar::GetPaneText(int index) const {
    return index >= 0 && index < GetCount() ? m_panes[static_cast<size_t>(index)].text : CString();
}

BOOL CStatusBar::OnEraseBkgnd(CDC*) {
    return TRUE;
}

void CStatusBar::OnSize(UINT, int, int) {
    Invalidate();
}

void CStatusBar::OnPaint() {
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    dc.FillSolidRect(&client, GetSysColor(COLOR_3DFACE));
    HGDIOBJ old = ::SelectObject(dc.m_hDC, GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(dc.m_hDC, TRANSPARENT);
    for (int i = 0; i < GetCount(); ++i) {
        const Pane& p = m_panes[static_cast<size_t>(i)];
        CRect r;
        GetItemRect(i, &r);
        if (!(p.style & SBPS_NOBORDERS)) Bevel(dc, r, (p.style & SBPS_POPOUT) != 0);
        if (p.style & SBPS_DISABLED) continue;
        ::SetTextColor(dc.m_hDC, GetSysColor(COLOR_BTNTEXT));
        CRect t = r;
        t.DeflateRect(4, 0);
        ::DrawTextW(dc.m_hDC, p.text, p.text.GetLength(), &t,
                    DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT);
    }
    ::SelectObject(dc.m_hDC, old);
}

namespace {
class CStatusCmdUI : public CCmdUI {
public:
    CStatusBar* bar = nullptr;
    void Enable(BOOL on) override {
        m_bEnableChanged = TRUE;
        UINT id = 0, style = 0;
        int width = 0;
        bar->GetPaneInfo(static_cast<int>(m_nIndex), id, style, width);
        UINT next = on ? (style & ~SBPS_DISABLED) : (style | SBPS_DISABLED);
        if (next != style) bar->SetPaneInfo(static_cast<int>(m_nIndex), id, next, width);
    }
    void SetCheck(int check) override {
        UINT id = 0, style = 0;
        int width = 0;
        bar->GetPaneInfo(static_cast<int>(m_nIndex), id, style, width);
        UINT next = check ? (style | SBPS_POPOUT) : (style & ~SBPS_POPOUT);
        if (next != style) bar->SetPaneInfo(static_cast<int>(m_nIndex), id, next, width);
    }
    void SetText(LPCWSTR text) override { bar->SetPaneText(static_cast<int>(m_nIndex), text, FALSE); }
};
} // namespace

// Panes keep their state when no handler speaks for them.
void CStatusBar::OnUpdateCmdUI(CFrameWnd* target, BOOL) {
    CStatusCmdUI state;
    state.bar = this;
    state.m_pOther = this;
    state.m_nIndexMax = static_cast<UINT>(GetCount());
    for (state.m_nIndex = 0; state.m_nIndex < state.m_nIndexMax; ++state.m_nIndex) {
        state.m_nID = GetItemID(static_cast<int>(state.m_nIndex));
        if (state.m_nID == ID_SEPARATOR) continue;
        state.DoUpdate(target, FALSE);
    }
}

// --- CToolBar -------------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CToolBar, CControlBar)
ON_WM_PAINT()
ON_WM_ERASEBKGND()
ON_WM_MOUSEMOVE()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
END_MESSAGE_MAP()

void CToolBar::RegisterToolBarResource(UINT id, std::vector<UINT> buttons) {
    ToolBarResources()[id] = std::move(buttons);
}

BOOL CToolBar::Create(CWnd* parent, DWORD style, UINT id) {
    return CreateBar(parent, style, id);
}

int CToolBar::BarHeight() const {
    return kButtonHeight + 6;
}

BOOL CToolBar::LoadToolBar(UINT id) {
    auto it = ToolBarResources().find(id);
    if (it != ToolBarResources().end())
        return SetButtons(it->second.data(), static_cast<int>(it->second.size()));
    // Compiled: version, button width and height, count, then the ids (0 a separator).
    HRSRC res = FindResourceW(nullptr, MAKEINTRESOURCEW(id), RT_TOOLBAR);
    if (!res) return FALSE;
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, res)));
    DWORD size = SizeofResource(nullptr, res);
    if (!data || size < 8) return FALSE;
    WORD head[4];
    std::memcpy(head, data, 8);
    // The images: the BITMAP of the same id, in buttons of the given size.
    ToolExtras& extras = Extras()[this];
    if (head[1] > 0 && head[2] > 0) extras.imageSize = SIZE{head[1], head[2]};
    LoadImages(extras, id);
    std::vector<UINT> ids;
    for (DWORD i = 0; i < head[3] && 8 + 2 * i + 2 <= size; ++i) {
        WORD w = 0;
        std::memcpy(&w, data + 8 + 2 * i, 2);
        ids.push_back(w);
    }
    return SetButtons(ids.data(), static_cast<int>(ids.size()));
}

BOOL CToolBar::SetButtons(const UINT* ids, int count) {
    m_buttons.clear();
    int image = 0;
    for (int i = 0; i < count; ++i) {
        UINT id = ids ? ids[i] : 0;
        m_buttons.push_back(Button{id, id == ID_SEPARATOR ? static_cast<UINT>(TBBS_SEPARATOR) : 0u,
                                   id == ID_SEPARATOR ? -1 : image});
        if (id != ID_SEPARATOR) ++image;
    }
    if (m_hWnd) Invalidate();
    return TRUE;
}

UINT CToolBar::GetItemID(int index) const {
    return index >= 0 && index < GetCount() ? m_buttons[static_cast<size_t>(index)].id : 0;
}

int CToolBar::CommandToIndex(UINT id) const {
    for (int i = 0; i < GetCount(); ++i)
        if (m_buttons[static_cast<size_t>(i)].id == id) return i;
    return -1;
}

void CToolBar::GetItemRect(int index, LPRECT rect) const {
    int x = (m_dwStyle & CBRS_GRIPPER) ? 8 : 2;
    for (int i = 0; i < GetCount(); ++i) {
        const Button& b = m_buttons[static_cast<size_t>(i)];
        int w = (b.style & TBBS_SEPARATOR) ? kSeparatorWidth : kButtonWidth;
        if (i == index) {
            *rect = RECT{x, 3, x + w, 3 + kButtonHeight};
            return;
        }
        x += w;
    }
    *rect = RECT{0, 0, 0, 0};
}

UINT CToolBar::GetButtonStyle(int index) const {
    return index >= 0 && index < GetCount() ? m_buttons[static_cast<size_t>(index)].style : 0;
}

void CToolBar::SetButtonStyle(int index, UINT style) {
    if (index < 0 || index >= GetCount()) return;
    Button& b = m_buttons[static_cast<size_t>(index)];
    if (b.style == style) return;
    b.style = style;
    if (m_hWnd) {
        CRect r;
        GetItemRect(index, &r);
        InvalidateRect(&r, TRUE);
    }
}

CString CToolBar::GetToolTipText(int index) const {
    return StringPart(GetItemID(index), true).c_str();
}

int CToolBar::HitTest(CPoint pt) const {
    for (int i = 0; i < GetCount(); ++i) {
        if (m_buttons[static_cast<size_t>(i)].style & TBBS_SEPARATOR) continue;
        CRect r;
        GetItemRect(i, &r);
        if (r.PtInRect(pt)) return i;
    }
    return -1;
}

BOOL CToolBar::OnEraseBkgnd(CDC*) {
    return TRUE;
}

void CToolBar::OnPaint() {
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    dc.FillSolidRect(&client, GetSysColor(COLOR_3DFACE));
    dc.FillSolidRect(client.left, client.bottom - 1, client.Width(), 1, GetSysColor(COLOR_3DSHADOW));
    if (m_dwStyle & CBRS_GRIPPER) {
        dc.FillSolidRect(3, 5, 1, client.Height() - 10, GetSysColor(COLOR_3DSHADOW));
        dc.FillSolidRect(4, 5, 1, client.Height() - 10, GetSysColor(COLOR_3DHIGHLIGHT));
    }
    HGDIOBJ old = ::SelectObject(dc.m_hDC, GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(dc.m_hDC, TRANSPARENT);
    auto found = Extras().find(this);
    const ToolExtras* images = found == Extras().end() ? nullptr : &found->second;
    for (int i = 0; i < GetCount(); ++i) {
        const Button& b = m_buttons[static_cast<size_t>(i)];
        CRect r;
        GetItemRect(i, &r);
        if (b.style & TBBS_SEPARATOR) {
            dc.FillSolidRect(r.left + r.Width() / 2 - 1, r.top + 2, 1, r.Height() - 4,
                             GetSysColor(COLOR_3DSHADOW));
            continue;
        }
        bool disabled = (b.style & TBBS_DISABLED) != 0;
        if (b.style & TBBS_CHECKED || (i == m_pressed && i == m_hot))
            Bevel(dc, r, false);
        else if (i == m_hot && !disabled)
            Bevel(dc, r, true);
        if (images && images->dc && b.image >= 0 && b.image < images->imageCount) {
            SIZE is = images->imageSize;
            int x = r.left + (r.Width() - is.cx) / 2, y = r.top + (r.Height() - is.cy) / 2;
            if (i == m_pressed && i == m_hot) ++x, ++y;
            ::BitBlt(dc.m_hDC, x, y, is.cx, is.cy, images->dc, b.image * is.cx, disabled ? is.cy : 0,
                     SRCCOPY);
            continue;
        }
        // The button's face: the first character of its tooltip in a small tile.
        CRect face(r.left + 4, r.top + 4, r.right - 4, r.bottom - 4);
        dc.FillSolidRect(&face, disabled ? GetSysColor(COLOR_3DFACE) : RGB(255, 255, 255));
        Bevel(dc, face, false);
        std::u16string tip = StringPart(b.id, true);
        std::u16string glyph = tip.empty() ? std::u16string(u"?") : tip.substr(0, 1);
        ::SetTextColor(dc.m_hDC, disabled ? GetSysColor(COLOR_GRAYTEXT) : RGB(0, 64, 160));
        ::DrawTextW(dc.m_hDC, glyph.c_str(), static_cast<int>(glyph.size()), &face,
                    DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
    }
    ::SelectObject(dc.m_hDC, old);
}

void CToolBar::OnMouseMove(UINT, CPoint pt) {
    int hot = HitTest(pt);
    if (hot >= 0 && (m_buttons[static_cast<size_t>(hot)].style & TBBS_DISABLED)) hot = -1;
    if (hot == m_hot) return;
    m_hot = hot;
    Invalidate();
    // A tip shown moves to the next button at once; otherwise it waits for the pointer to rest.
    auto shown = Extras().find(this);
    if (shown != Extras().end() && shown->second.tipFor >= 0 && hot >= 0) {
        ShowTip(this, hot);
    } else {
        ShowTip(this, -1);
        if (hot >= 0) ::SetTimer(m_hWnd, kTipTimer, kTipDelay, TipTimer);
    }
    // The hovered button's prompt shows in the message pane.
    if (CFrameWnd* f = GetParentFrame()) {
        if (hot >= 0)
            f->SetMessageText(GetItemID(hot));
        else
            f->SetMessageText(AFX_IDS_IDLEMESSAGE);
    }
}

void CToolBar::OnLButtonDown(UINT, CPoint pt) {
    int hit = HitTest(pt);
    ShowTip(this, -1);
    ::KillTimer(m_hWnd, kTipTimer);
    if (hit < 0 || (m_buttons[static_cast<size_t>(hit)].style & TBBS_DISABLED)) return;
    m_pressed = m_hot = hit;
    SetCapture();
    Invalidate();
}

void CToolBar::OnLButtonUp(UINT, CPoint pt) {
    int pressed = m_pressed;
    m_pressed = -1;
    if (GetCapture() == this) ::ReleaseCapture();
    Invalidate();
    if (pressed < 0 || HitTest(pt) != pressed) return;
    UINT id = GetItemID(pressed);
    if (CFrameWnd* f = GetParentFrame()) f->PostMessage(WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

namespace {
class CToolCmdUI : public CCmdUI {
public:
    CToolBar* bar = nullptr;
    void Enable(BOOL on) override {
        m_bEnableChanged = TRUE;
        UINT style = bar->GetButtonStyle(static_cast<int>(m_nIndex));
        bar->SetButtonStyle(static_cast<int>(m_nIndex),
                            on ? (style & ~TBBS_DISABLED) : (style | TBBS_DISABLED));
    }
    void SetCheck(int check) override {
        UINT style = bar->GetButtonStyle(static_cast<int>(m_nIndex));
        bar->SetButtonStyle(static_cast<int>(m_nIndex),
                            check ? (style | TBBS_CHECKED) : (style & ~TBBS_CHECKED));
    }
    void SetText(LPCWSTR) override {}
};
} // namespace

void CToolBar::OnUpdateCmdUI(CFrameWnd* target, BOOL disableIfNoHandler) {
    CToolCmdUI state;
    state.bar = this;
    state.m_pOther = this;
    state.m_nIndexMax = static_cast<UINT>(GetCount());
    for (state.m_nIndex = 0; state.m_nIndex < state.m_nIndexMax; ++state.m_nIndex) {
        if (GetButtonStyle(static_cast<int>(state.m_nIndex)) & TBBS_SEPARATOR) continue;
        state.m_nID = GetItemID(static_cast<int>(state.m_nIndex));
        state.DoUpdate(target, disableIfNoHandler);
    }
}
