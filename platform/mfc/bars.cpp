// Control bars of a frame: the status bar with its panes and the toolbar
// with its buttons, both updated from the command routing at idle.
#include <algorithm>
#include <cstring>
#include <map>

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
} // namespace

// --- CControlBar ----------------------------------------------------------------------------------

CControlBar::~CControlBar() {
    if (CFrameWnd* f = m_hWnd ? GetParentFrame() : nullptr) f->RemoveControlBar(this);
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
