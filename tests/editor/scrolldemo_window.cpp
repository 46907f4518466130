#include "scrolldemo_window.h"

#include <string>

#include "display/display.h"

BEGIN_MESSAGE_MAP(CNumberGrid, CScrollWnd)
ON_WM_PAINT()
ON_WM_SIZE()
ON_WM_ERASEBKGND()
ON_WM_CREATE()
END_MESSAGE_MAP()

BEGIN_MESSAGE_MAP(CDemoFrame, CWnd)
ON_WM_SIZE()
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CNumberGrid::CNumberGrid() {
    LOGFONTW lf{};
    lf.lfHeight = -16;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lf.lfPitchAndFamily = FIXED_PITCH;
    wcscpy_s(lf.lfFaceName, LF_FACESIZE, u"ＭＳ ゴシック");
    m_font.CreateFontIndirect(&lf);
}

CNumberGrid::~CNumberGrid() {
    if (m_hWnd) DestroyWindow();
}

BOOL CNumberGrid::CreateGrid(CWnd* parent, const RECT& rect) {
    LPCWSTR cls = AfxRegisterWndClass(CS_DBLCLKS, LoadCursorW(nullptr, IDC_ARROW));
    return CreateEx(WS_EX_CLIENTEDGE, cls, nullptr, WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL, rect,
                    parent, 1);
}

int CNumberGrid::OnCreate(LPCREATESTRUCT cs) {
    if (CScrollWnd::OnCreate(cs) == -1) return -1;
    CClientDC dc(this);
    CFont* old = dc.SelectObject(&m_font);
    m_widths.Reset(dc);
    TEXTMETRICW tm{};
    dc.GetTextMetrics(&tm);
    m_rowHeight = tm.tmHeight + 4;
    m_colWidth = tm.tmAveCharWidth * 8 + 8;
    m_rowHeaderWidth = tm.tmAveCharWidth * 6 + 10;
    dc.SelectObject(old);
    return 0;
}

int CNumberGrid::GetPageCols() {
    CRect r;
    GetClientRect(&r);
    return std::max(1, (r.Width() - m_rowHeaderWidth) / m_colWidth);
}

int CNumberGrid::GetPageRows() {
    CRect r;
    GetClientRect(&r);
    return std::max(1, (r.Height() - m_rowHeight) / m_rowHeight);
}

void CNumberGrid::JumpTo(int row, int col) {
    SetScrollPosition(SB_VERT, row);
    SetScrollPosition(SB_HORZ, col);
    Invalidate(FALSE);
}

void CNumberGrid::OnSize(UINT, int, int) {
    UpdateScrollBars();
    Invalidate(FALSE);
}

BOOL CNumberGrid::OnEraseBkgnd(CDC*) {
    return TRUE;
}

void CNumberGrid::DrawCell(CDC& dc, const RECT& cell, const WCHAR* text, int len, COLORREF bk, bool right) {
    RECT inner{cell.left, cell.top, cell.right - 1, cell.bottom - 1};
    dc.FillSolidRect(&inner, bk);
    int width = 0;
    for (int i = 0; i < len; ++i) width += m_widths.Advance(m_widths.GetWidth(dc, text[i], nullptr));
    int pad = right ? std::max(2, static_cast<int>(inner.right - inner.left) - width - 4) : 4;
    textdraw_draw_run(FALSE, dc, dc, text, len, &inner, &m_widths, inner.left, ETO_CLIPPED | ETO_OPAQUE, 2,
                      pad);
    RECT bottom{cell.left, cell.bottom - 1, cell.right, cell.bottom};
    RECT side{cell.right - 1, cell.top, cell.right, cell.bottom};
    dc.FillSolidRect(&bottom, RGB(208, 208, 208));
    dc.FillSolidRect(&side, RGB(208, 208, 208));
}

void CNumberGrid::OnPaint() {
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    CFont* old = dc.SelectObject(&m_font);
    dc.SetTextColor(RGB(0, 0, 0));
    int top = Row(), left = Col();
    const COLORREF header = RGB(230, 234, 242);
    // Corner with the caption, then the column headers.
    RECT corner{0, 0, m_rowHeaderWidth, m_rowHeight};
    if (dc.RectVisible(&corner)) DrawCell(dc, corner, u"番号", 2, header, false);
    for (int c = left, x = m_rowHeaderWidth; c < kCols && x < client.right; ++c, x += m_colWidth) {
        RECT cell{x, 0, x + m_colWidth, m_rowHeight};
        if (!dc.RectVisible(&cell)) continue;
        std::u16string t = u"列" + Utf8ToWide(std::to_string(c + 1).c_str());
        DrawCell(dc, cell, t.c_str(), static_cast<int>(t.size()), header, false);
    }
    for (int r = top, y = m_rowHeight; r < kRows && y < client.bottom; ++r, y += m_rowHeight) {
        RECT head{0, y, m_rowHeaderWidth, y + m_rowHeight};
        if (dc.RectVisible(&head)) {
            std::u16string t = Utf8ToWide(std::to_string(r + 1).c_str());
            DrawCell(dc, head, t.c_str(), static_cast<int>(t.size()), header, true);
        }
        for (int c = left, x = m_rowHeaderWidth; c < kCols && x < client.right; ++c, x += m_colWidth) {
            RECT cell{x, y, x + m_colWidth, y + m_rowHeight};
            if (!dc.RectVisible(&cell)) continue;
            std::u16string t = Utf8ToWide(std::to_string(r * kCols + c + 1).c_str());
            COLORREF bk = (r % 2) ? RGB(248, 248, 255) : RGB(255, 255, 255);
            DrawCell(dc, cell, t.c_str(), static_cast<int>(t.size()), bk, true);
        }
    }
    // Below the last row and right of the last column.
    int bottomY = m_rowHeight + (kRows - top) * m_rowHeight;
    if (bottomY < client.bottom) {
        RECT rest{0, bottomY, client.right, client.bottom};
        dc.FillSolidRect(&rest, RGB(255, 255, 255));
    }
    int rightX = m_rowHeaderWidth + (kCols - left) * m_colWidth;
    if (rightX < client.right) {
        RECT rest{rightX, 0, client.right, client.bottom};
        dc.FillSolidRect(&rest, RGB(255, 255, 255));
    }
    dc.SelectObject(old);
}

BOOL CDemoFrame::CreateFrame(int width, int height) {
    LPCWSTR cls = AfxRegisterWndClass(0, LoadCursorW(nullptr, IDC_ARROW), GetSysColorBrush(COLOR_3DFACE));
    if (!CreateEx(0, cls, u"スクロールの見本", WS_OVERLAPPED | WS_VISIBLE, 0, 0, width, height, nullptr,
                  nullptr))
        return FALSE;
    CRect r;
    GetClientRect(&r);
    r.DeflateRect(4, 4);
    return m_grid.CreateGrid(this, r);
}

void CDemoFrame::OnSize(UINT, int cx, int cy) {
    if (m_grid.m_hWnd) m_grid.MoveWindow(4, 4, cx - 8, cy - 8);
}

BOOL CDemoFrame::OnEraseBkgnd(CDC* dc) {
    CRect r;
    GetClientRect(&r);
    dc->FillSolidRect(&r, GetSysColor(COLOR_3DFACE));
    return TRUE;
}

int ScrollDemoTo(CNumberGrid& grid, int row, int col) {
    int sent = 0;
    HWND h = grid.m_hWnd;
    auto send = [&](UINT msg, int code) {
        grid.SendMessage(msg, MAKEWPARAM(code, 0), 0);
        ++sent;
    };
    // The thumb: dragged by the mouse, part of the way.
    qtplatform::BarGeometry g{};
    if (qtplatform::GetBarGeometry(h, SB_VERT, &g)) {
        int x = (g.slider.left + g.slider.right) / 2;
        int y = (g.slider.top + g.slider.bottom) / 2;
        int span = (g.groove.bottom - g.groove.top) - (g.slider.bottom - g.slider.top);
        int target = y + span * row * 8 / 10 / CNumberGrid::kRows;
        qtplatform::SendBarMouse(h, SB_VERT, x, y, 0);
        for (int step = 1; step <= 4; ++step)
            qtplatform::SendBarMouse(h, SB_VERT, x, y + (target - y) * step / 4, 2);
        qtplatform::SendBarMouse(h, SB_VERT, x, target, 1);
        sent += 6;
    }
    // Pages, then lines.
    int page = grid.GetPageRows();
    while (grid.Row() + page - 1 <= row && page > 1) send(WM_VSCROLL, SB_PAGEDOWN);
    while (grid.Row() > row) send(WM_VSCROLL, SB_LINEUP);
    while (grid.Row() < row) send(WM_VSCROLL, SB_LINEDOWN);
    send(WM_VSCROLL, SB_ENDSCROLL);
    while (grid.Col() < col) send(WM_HSCROLL, SB_LINERIGHT);
    while (grid.Col() > col) send(WM_HSCROLL, SB_LINELEFT);
    send(WM_HSCROLL, SB_ENDSCROLL);
    return sent;
}
