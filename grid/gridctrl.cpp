#include "grid/gridctrl.h"

#include <algorithm>
#include <climits>

#include "editor/editctrl.h"
#include "editor/editdata.h"
#include "win32/ime.h"
#include "editor/textdraw.h"

IMPLEMENT_DYNAMIC(CGridCtrl, CScrollWnd)

BEGIN_MESSAGE_MAP(CGridCtrl, CScrollWnd)
ON_WM_CREATE()
ON_WM_DESTROY()
ON_WM_SIZE()
ON_WM_PAINT()
ON_WM_ERASEBKGND()
ON_WM_KEYDOWN()
ON_WM_SYSKEYDOWN()
ON_WM_CHAR()
ON_WM_GETDLGCODE()
ON_WM_LBUTTONDOWN()
ON_WM_MOUSEMOVE()
ON_WM_LBUTTONUP()
ON_WM_LBUTTONDBLCLK()
ON_WM_RBUTTONDOWN()
ON_WM_CONTEXTMENU()
ON_WM_TIMER()
ON_WM_SETFOCUS()
ON_WM_KILLFOCUS()
END_MESSAGE_MAP()

namespace {

const char16_t kGridClass[] = u"QUARN_GridCtrl";

int Clamp64(long long v) {
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

} // namespace

CGridData* GridDefaultData() {
    // Never destroyed: windows of the display may outlive static destruction.
    static CGridData* data = new CGridData;
    return data;
}

CGridCtrl::CGridCtrl() {
    WNDCLASSW wc{};
    if (!GetClassInfoW(nullptr, kGridClass, &wc)) {
        wc = WNDCLASSW{};
        wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_BYTEALIGNCLIENT | CS_BYTEALIGNWINDOW;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(4 + 1));
        wc.lpszClassName = kGridClass;
        if (!RegisterClassW(&wc)) throw new CException();
    }
    m_data = GridDefaultData();
    m_data->AllocColumnWidths();
    m_data->m_curCol = m_data->m_curRow = -1;
    m_data->m_sel1.y = m_data->m_sel2.y = -1;
    m_data->m_selKind = 0;
    m_data->m_selDrag = 0;
    ResetScroll();
}

CGridCtrl::~CGridCtrl() {
    if (m_editWnd) {
        if (m_editWnd->m_hWnd) m_editWnd->DestroyWindow();
        delete m_editWnd;
    }
    delete m_editData;
    delete m_font;
    if (m_hWnd) DestroyWindow();
}

BOOL CGridCtrl::Create(LPCWSTR, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                       void*) {
    return CreateEx(0, kGridClass, windowName, style | WS_CHILD, rect, parent, id, nullptr);
}

int CGridCtrl::OnCreate(LPCREATESTRUCT cs) {
    if (CScrollWnd::OnCreate(cs) == -1) return -1;
    m_data->AddView(m_hWnd);
    if (m_data->IsEditable()) CreateCellEditor();
    LOGFONTW lf{};
    lf.lfHeight = -18;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lf.lfOutPrecision = OUT_STRING_PRECIS;
    lf.lfClipPrecision = CLIP_CHARACTER_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = FIXED_PITCH;
    std::copy_n(u"Terminal", 9, lf.lfFaceName);
    delete m_font;
    m_font = new CFont;
    m_font->CreateFontIndirect(&lf);
    RecalcFontMetrics();
    return 0;
}

void CGridCtrl::OnDestroy() {
    KillTimer(GRID_RESIZE_TIMER);
    KillTimer(GRID_DRAG_TIMER);
    KillTimer(GRID_TIP_DELAY_TIMER);
    m_data->RemoveView(m_hWnd);
    CScrollWnd::OnDestroy();
}

void CGridCtrl::OnSize(UINT type, int cx, int cy) {
    CScrollWnd::OnSize(type, cx, cy);
    Relayout();
}

CRect CGridCtrl::ClientArea() {
    CRect r(0, 0, 0, 0);
    if (!m_hWnd) return r;
    CWnd* parent = IsSplitterPane() ? GetParent() : nullptr;
    if (parent)
        parent->GetClientRect(&r);
    else
        GetClientRect(&r);
    return r;
}

void CGridCtrl::ToPanes(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_hWnd && IsSplitterPane()) m_data->BroadcastToViews(m_hWnd, msg, wParam, lParam);
}

void CGridCtrl::Notify(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!m_hWnd) return;
    if (HWND parent = ::GetParent(m_hWnd)) ::SendMessageW(parent, msg, wParam, lParam);
}

void CGridCtrl::PostDataChanged() {
    if (!m_hWnd) return;
    if (HWND parent = ::GetParent(m_hWnd))
        ::PostMessageW(parent, GDN_DATACHANGED, static_cast<WPARAM>(m_data->m_curCol), m_data->m_curRow);
}

int CGridCtrl::ModelRows() {
    return std::max(0, m_data->GetRowCount());
}
int CGridCtrl::ModelCols() {
    return std::max(0, m_data->GetColCount());
}

bool CGridCtrl::ColumnHidden(int col) {
    if (col < 0 || col >= static_cast<int>(m_data->m_colWidths.size())) return false;
    return !(m_data->m_colWidths[static_cast<size_t>(col)] & 0x8000);
}

// --- binding and settings -------------------------------------------------

void CGridCtrl::SetData(CGridData* data) {
    // An open edit belongs to the model being left: its text goes there.
    if (IsCellEditorVisible()) EndEdit();
    if (m_hWnd) m_data->RemoveView(m_hWnd);
    m_data = data ? data : GridDefaultData();
    m_data->AllocColumnWidths();
    if (m_hWnd) m_data->AddView(m_hWnd);
    m_data->m_curCol = m_data->m_curRow = -1;
    m_data->m_sel1.y = m_data->m_sel2.y = -1;
    m_data->m_selKind = 0;
    m_data->m_selDrag = 0;
    m_refocusEditor = 0;
    m_resizeState = 0;
    if (!m_hWnd) return;
    if (ModelRows() > 0 && ModelCols() > 0) MoveCursor(POINT{0, 0}, 1, 0);
    if (m_data->IsEditable()) CreateCellEditor();
    // The width cache lives in the model's style: measure for this model.
    if (!m_data->m_styleInUse->measure)
        RecalcFontMetrics();
    else
        Relayout();
}

BOOL CGridCtrl::SetFont(CFont* font) {
    if (!font) return FALSE;
    LOGFONTW lf{};
    font->GetLogFont(&lf);
    auto* made = new CFont;
    BOOL ok = made->CreateFontIndirect(&lf);
    delete m_font;
    m_font = made;
    if (m_hWnd) RecalcFontMetrics();
    return ok;
}

void CGridCtrl::SetGridStyle(uint32_t style, int relayout) {
    m_style = style;
    if (relayout) Relayout();
    if (m_editWnd) {
        // The modified-background bit belongs to the open edit.
        uint64_t keep = m_editWnd->GetOptions() & EDOPT_MODIFIED_BG;
        m_editWnd->SetOptions(CellEditorOptions() | keep);
    }
}

void CGridCtrl::SetColor(int index, COLORREF color) {
    if (index < 0 || index >= GRID_COLOR_COUNT) return;
    GridStyle& s = *m_data->m_styleInUse;
    if (s.colors[index] != color) s.colors[index] = color;
    if (index == GRID_BG_COLOR) {
        double b = GetBValue(color) * 0.9;
        s.tip.bkColor = RGB(GetRValue(color), GetGValue(color), b > 255 ? 255 : static_cast<int>(b));
    }
    if (index == GRID_TEXT_COLOR) {
        m_data->m_textColor = color;
        s.tip.textColor = color;
        SetColor(GRID_CUR_ROW_TEXT_COLOR, color);
    }
    if (index == GRID_CUR_ROW_TEXT_COLOR) m_curRowColor = s.colors[15] != s.colors[8] ? 1 : 0;
}

void CGridCtrl::SetTopLeftCellColor(COLORREF color) {
    m_data->m_styleInUse->cornerColor = color;
    ToPanes(GDM_REDRAW);
    if (m_hWnd) Invalidate(FALSE);
}

void CGridCtrl::SetCellPadding(int top, int bottom, int left, int right) {
    m_padTop = top;
    m_padBottom = bottom;
    m_padLeft = left;
    m_padRight = right;
    if (m_hWnd) RecalcFontMetrics();
}

void CGridCtrl::SetNullText(const char16_t* text) {
    m_nullText = text ? text : u"";
}

// --- layout ---------------------------------------------------------------

void CGridCtrl::RecalcFontMetrics() {
    if (!m_hWnd || !m_font) return;
    GridStyle& s = *m_data->m_styleInUse;
    if (!s.measure) s.measure = new CharWidthCache;
    TEXTMETRICW tm{};
    {
        CClientDC dc(this);
        CFont* old = dc.SelectObject(m_font);
        dc.GetTextMetrics(&tm);
        s.measure->Reset(dc.m_hDC);
        m_digitWidth = s.measure->Advance(s.measure->GetWidth(dc.m_hDC, u'0', nullptr));
        dc.SelectObject(old);
    }
    CharWidthCache* c = s.measure;
    int spacing =
        (m_digitWidth >= c->m_doubleWidthThreshold && c->m_doubleWidthThreshold > 0 ? 2 : 1) * c->m_spacing;
    m_textHeight = tm.tmHeight + tm.tmExternalLeading;
    m_aveCharWidth = tm.tmAveCharWidth + spacing;
    // Negative paddings must not make the row height, the divisor of every
    // row computation, zero or less.
    m_rowHeight = std::max(1, m_padTop + m_padBottom + tm.tmHeight + 1);
    CalcHeaderSizes();
    if (m_editWnd) m_editWnd->SetTextFont(m_font);
    LOGFONTW lf{};
    m_font->GetLogFont(&lf);
    if (HIMC imc = ImmGetContext(m_hWnd)) {
        ImmSetCompositionFontW(imc, &lf);
        ImmReleaseContext(m_hWnd, imc);
    }
    s.tip.font = static_cast<HFONT>(*m_font);
    s.MeasureTip();
    Relayout();
}

void CGridCtrl::CalcHeaderSizes() {
    m_colHeaderHeight = (m_style & GRS_COLHEADER) ? m_headerLines * m_rowHeight : 0;
    if (!(m_style & GRS_ROWHEADER)) {
        m_rowHeaderWidth = 0;
    } else if ((m_style & GRS_SWAPPED) && m_hWnd) {
        LazyClientDC lazy(m_hWnd, m_font ? static_cast<HFONT>(*m_font) : nullptr);
        CacheGridMeasurer m(m_data->m_styleInUse->measure, &lazy);
        int widest = 0, rows = ModelRows();
        for (int r = 0; r < rows; ++r)
            widest = std::max(
                widest, m_data->MeasureText(m_data->GetRowHeaderText(r), INT_MAX, nullptr, &m, nullptr));
        m_rowHeaderWidth = widest + 5;
    } else {
        m_rowHeaderWidth = m_data->GetRowHeaderWidth() * m_digitWidth + m_padRight + m_padLeft + 1;
    }
}

void CGridCtrl::Relayout() {
    if (!m_hWnd) return;
    CalcHeaderSizes();
    UpdateScrollBars();
    m_pageRows = std::max(0, (ClientHeight() - m_colHeaderHeight) / m_rowHeight);
    m_data->m_styleInUse->HideTip();
    EndEdit();
    UpdateEditPos();
    Invalidate(FALSE);
    UpdateWindow();
}

void CGridCtrl::ResetScroll() {
    if (!m_hWnd) return;
    UpdateScrollBars();
    SetScrollPosition(SB_HORZ, 0);
    Invalidate(FALSE);
}

void CGridCtrl::ResetColumnWidths() {
    CWaitCursor wait;
    for (uint16_t& e : m_data->m_colWidths) e = static_cast<uint16_t>((e & 0x8000) | 100);
    ToPanes(GDM_RELAYOUT);
    Relayout();
}

int CGridCtrl::FitColumnWidths(int withName) {
    CWaitCursor wait;
    if (ModelRows() == 0) withName = 1;
    for (int c = 0, n = ModelCols(); c < n; ++c) FitColumnWidth(c, withName);
    ToPanes(GDM_RELAYOUT);
    Relayout();
    return 0;
}

int CGridCtrl::FitColumnWidth(int col, int withName) {
    if (col < 0 || col >= ModelCols()) return 0;
    if (ColumnHidden(col)) {
        m_data->SetColWidth(col, 0);
        return 0;
    }
    int limit = ClientWidth() - m_rowHeaderWidth;
    LazyClientDC lazy(m_hWnd, m_font ? static_cast<HFONT>(*m_font) : nullptr);
    CacheGridMeasurer m(m_data->m_styleInUse->measure, &lazy);
    int measured = (m_style & GRS_FITTRIM) && m_data->GetColType(0, col) == 2
                       ? m_data->GetMaxColWidthTrim(col, limit, &m, nullptr)
                       : m_data->GetMaxColWidth(col, limit, &m, nullptr);
    long long width = std::max<long long>(measured, static_cast<long long>(m_minFitChars) * m_aveCharWidth);
    if (withName) {
        CString name = GetHeaderText(col);
        width =
            std::max<long long>(width, m_data->MeasureText(name.GetString(), INT_MAX, nullptr, &m, nullptr));
    }
    long long w = m_padRight + m_padLeft + width;
    // The cap stays at the minimum drag width so a narrow window never hides
    // the column.
    long long cap =
        std::max<long long>(m_minColWidth, static_cast<long long>(ClientWidth()) - m_rowHeaderWidth - 10);
    if (w > cap) w = cap;
    w = std::clamp<long long>(w, 1, 32767);
    m_data->SetColWidth(col, static_cast<int>(w));
    return 0;
}

int CGridCtrl::GetDataAreaWidth() {
    return ClientWidth() - m_rowHeaderWidth;
}

// --- scrolling geometry ---------------------------------------------------

int CGridCtrl::GetPageCols() {
    int client = ClientWidth(), cols = ModelCols();
    long long sum = m_rowHeaderWidth;
    int count = 0;
    for (int c = std::max(0, FirstCol()); sum < client && c < cols; ++c) {
        sum += m_data->GetColWidth(c);
        ++count;
    }
    if (count > 0 && sum > client) --count;
    return count;
}

int CGridCtrl::GetHScrollPage() {
    long long room = static_cast<long long>(ClientWidth()) - m_rowHeaderWidth, sum = 0;
    int count = 0;
    for (int c = ModelCols() - 1; c >= 0; --c) {
        sum += m_data->GetColWidth(c);
        if (sum >= room) break;
        ++count;
    }
    return count;
}

int CGridCtrl::GetTotalWidth() {
    long long sum = m_rowHeaderWidth;
    for (int c = 0, n = ModelCols(); c < n; ++c) sum += m_data->GetColWidth(c);
    return Clamp64(sum);
}

int CGridCtrl::GetTotalHeight() {
    return Clamp64(static_cast<long long>(ModelRows()) * m_rowHeight + m_colHeaderHeight);
}

int CGridCtrl::ColsToPixels(int from, int to) {
    long long sum = 0;
    if (to < from) {
        for (int c = std::max(0, to); c < from; ++c) sum += m_data->GetColWidth(c);
        return Clamp64(sum);
    }
    for (int c = std::max(0, from); c < to; ++c) sum += m_data->GetColWidth(c);
    return Clamp64(-sum);
}

int CGridCtrl::RowsToPixels(int from, int to) {
    return Clamp64(static_cast<long long>(from - to) * m_rowHeight);
}

int CGridCtrl::GetVScrollMax() {
    return std::max(0, ModelRows() - 1);
}

int CGridCtrl::GetVScrollPage() {
    return m_rowHeight > 0 ? std::max(0, (ClientHeight() - m_colHeaderHeight) / m_rowHeight) : 0;
}

int CGridCtrl::GetHScrollMin() {
    for (int c = 0, n = ModelCols(); c < n; ++c)
        if (m_data->GetColWidth(c) != 0) return c;
    return 0;
}

int CGridCtrl::GetHScrollMax() {
    return std::max(0, ModelCols() - 1);
}

void CGridCtrl::OnScrolled(int, int, int tracking) {
    if (IsSplitterPane() && !tracking) ToPanes(GDM_REDRAW);
    InvalidateCell(POINT{m_data->m_curCol, m_data->m_curRow});
    UpdateEditPos();
}

// --- cell geometry --------------------------------------------------------

void CGridCtrl::GetColumnExtent(int col, int* left, int* right) {
    int first = std::max(0, FirstCol());
    if (col < first || col >= ModelCols()) {
        *left = *right = 0;
        return;
    }
    long long l = m_rowHeaderWidth;
    for (int c = first; c < col; ++c) {
        l += m_data->GetColWidth(c);
        if (l > INT_MAX / 2) break;
    }
    int lx = Clamp64(l);
    int rx = Clamp64(l + m_data->GetColWidth(col));
    if (lx != 0) --lx;
    if (rx != lx) --rx;
    *left = lx;
    *right = rx;
}

CRect CGridCtrl::GetCellRect(int col, int row) {
    CRect r(0, 0, 0, 0);
    if (row < FirstRow()) return r;
    int left, right;
    GetColumnExtent(col, &left, &right);
    if (left == 0 && right == 0) return r;
    int top = Clamp64(static_cast<long long>(m_colHeaderHeight) +
                      static_cast<long long>(row - FirstRow()) * m_rowHeight);
    int bottom = Clamp64(static_cast<long long>(top) + m_rowHeight - 1);
    if (top != 0) --top;
    return CRect(left, top, right, bottom);
}

POINT CGridCtrl::PointToCell(POINT pt, int clamp) {
    POINT cell{-1, -1};
    int first = std::max(0, FirstCol()), cols = ModelCols();
    if (pt.y >= m_colHeaderHeight || clamp) {
        if (pt.x < m_rowHeaderWidth) {
            long long edge = m_rowHeaderWidth;
            for (int c = std::min(first, cols) - 1; c >= 0; --c) {
                edge -= m_data->GetColWidth(c);
                if (pt.x >= edge) {
                    cell.x = c;
                    break;
                }
            }
            if (cell.x < 0 && clamp) cell.x = std::max(0, first - 1);
        } else {
            int visible = std::min(GetPageCols() + 1, cols - first);
            long long x = m_rowHeaderWidth;
            int c = first;
            for (; c < first + visible; ++c) {
                x += m_data->GetColWidth(c);
                if (pt.x < x) break;
            }
            cell.x = c;
        }
    }
    if ((pt.x >= m_rowHeaderWidth || clamp) && m_rowHeight > 0) {
        int dy = pt.y - m_colHeaderHeight;
        int q = dy >= 0 ? dy / m_rowHeight : -((-dy + m_rowHeight - 1) / m_rowHeight);
        cell.y = Clamp64(static_cast<long long>(FirstRow()) + q);
    }
    return cell;
}

int CGridCtrl::HitTestRowHeader(POINT pt) {
    if (pt.y < m_colHeaderHeight || pt.x >= m_rowHeaderWidth || pt.x < 0 || m_rowHeight <= 0) return -1;
    long long r = FirstRow() + (pt.y - m_colHeaderHeight) / m_rowHeight;
    return r < ModelRows() ? static_cast<int>(r) : -1;
}

int CGridCtrl::HitTestColumnHeader(POINT pt) {
    if (pt.x < m_rowHeaderWidth || pt.y >= m_colHeaderHeight || pt.y < 0) return -1;
    int first = std::max(0, FirstCol()), cols = ModelCols(), client = ClientWidth();
    long long left = m_rowHeaderWidth;
    for (int c = first; c < cols && left < client; ++c) {
        int w = m_data->GetColWidth(c);
        if (left < pt.x && pt.x < left + w) return c;
        left += w;
    }
    return -1;
}

// --- invalidation ---------------------------------------------------------

void CGridCtrl::InvalidateCell(POINT cell) {
    if (!m_hWnd || cell.y < 0 || cell.x < 0) return;
    int first = FirstRow();
    if (cell.y < first || cell.y > first + m_pageRows) return;
    CRect r = GetCellRect(cell.x, cell.y);
    if (m_style & GRS_ROWCURSOR) {
        if (r.IsRectNull()) {
            int top = m_colHeaderHeight + (cell.y - first) * m_rowHeight;
            r = CRect(0, top > 0 ? top - 1 : top, 0, top + m_rowHeight - 1);
        }
        r.left = 0;
        r.right = ClientWidth();
    } else if (r.IsRectNull()) {
        return;
    }
    r.right += 1;
    r.bottom += 1;
    InvalidateRect(&r, FALSE);
}

void CGridCtrl::RedrawCell(POINT cell) {
    ToPanes(GDM_REDRAWCELL, static_cast<WPARAM>(cell.y), cell.x);
    InvalidateCell(cell);
}

void CGridCtrl::InvalidateRow(int row) {
    if (!m_hWnd || row < 0) return;
    int first = FirstRow();
    if (row < first || row > first + m_pageRows) return;
    int top = m_colHeaderHeight + (row - first) * m_rowHeight;
    CRect r(-1, top - 2, ClientWidth() + 1, top + m_rowHeight);
    InvalidateRect(&r, FALSE);
}

void CGridCtrl::RedrawRow(int row) {
    ToPanes(GDM_REDRAWROW, static_cast<WPARAM>(row));
    InvalidateRow(row);
}

void CGridCtrl::InvalidateRowHeader(int row) {
    if (!m_hWnd || row < 0 || m_rowHeaderWidth <= 0) return;
    int first = FirstRow();
    if (row < first || row > first + m_pageRows) return;
    int top = m_colHeaderHeight + (row - first) * m_rowHeight;
    CRect r(0, top, m_rowHeaderWidth, top + m_rowHeight);
    InvalidateRect(&r, FALSE);
}

void CGridCtrl::RedrawRowHeader(int row) {
    ToPanes(GDM_REDRAWROWHEADER, static_cast<WPARAM>(row));
    InvalidateRowHeader(row);
}

void CGridCtrl::InvalidateColumnHeader(int col) {
    ToPanes(GDM_REDRAWCOLHEADER, static_cast<WPARAM>(col));
    if (!m_hWnd || col < 0 || m_colHeaderHeight <= 0) return;
    int left, right;
    GetColumnExtent(col, &left, &right);
    if (left == 0 && right == 0) return;
    CRect r(left, 0, right + 1, m_colHeaderHeight + 1);
    InvalidateRect(&r, FALSE);
}

void CGridCtrl::InvalidateArea(POINT a, POINT b) {
    if (!m_hWnd) return;
    int r1 = std::max(std::min(a.y, b.y), FirstRow());
    int r2 = std::min(std::max(a.y, b.y), FirstRow() + m_pageRows);
    int c1 = std::max(std::min(a.x, b.x), std::max(0, FirstCol()));
    int c2 = std::min(std::max(a.x, b.x), FirstCol() + GetPageCols());
    c2 = std::min(c2, ModelCols() - 1);
    if (r1 > r2 || c1 > c2 || r1 < 0) return;
    // The cells form one block: the union of its corner cells covers it.
    CRect tl = GetCellRect(c1, r1), br = GetCellRect(c2, r2);
    if (tl.IsRectNull() || br.IsRectNull()) return;
    CRect r(tl.left, tl.top, br.right + 1, br.bottom + 1);
    if (m_style & GRS_ROWCURSOR) {
        r.left = 0;
        r.right = ClientWidth();
    }
    InvalidateRect(&r, FALSE);
}

void CGridCtrl::RedrawArea(POINT a, POINT b) {
    ToPanes(GDM_REDRAWAREA, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    InvalidateArea(a, b);
}

void CGridCtrl::InvalidateCorner() {
    if (!m_hWnd || !(m_style & (GRS_COLHEADER | GRS_ROWHEADER))) return;
    CRect r(0, 0, m_rowHeaderWidth, m_colHeaderHeight);
    InvalidateRect(&r, FALSE);
}

void CGridCtrl::RedrawAll() {
    ToPanes(GDM_REDRAW);
    if (m_hWnd) Invalidate(FALSE);
}

// --- messages -------------------------------------------------------------

LRESULT CGridCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case 0x8205: // the cell editor lost the focus
        if (reinterpret_cast<CWnd*>(wParam) == this || IsSplitterPane()) {
            m_refocusEditor = 0;
            EndEdit();
        } else {
            m_refocusEditor = 1;
        }
        break;
    case GDM_RELAYOUT: Relayout(); break;
    case GDM_REDRAW: Invalidate(FALSE); break;
    case GDM_REDRAWCELL: InvalidateCell(POINT{static_cast<int>(lParam), static_cast<int>(wParam)}); break;
    case GDM_REDRAWROW: InvalidateRow(static_cast<int>(wParam)); break;
    case GDM_REDRAWROWHEADER: InvalidateRowHeader(static_cast<int>(wParam)); break;
    case GDM_REDRAWAREA:
        if (wParam && lParam)
            InvalidateArea(*reinterpret_cast<const POINT*>(wParam), *reinterpret_cast<const POINT*>(lParam));
        break;
    case GDM_PEERKILLFOCUS: InvalidateCorner(); break;
    case GDM_REDRAWCOLHEADER: {
        int col = static_cast<int>(wParam), left, right;
        GetColumnExtent(col, &left, &right);
        if (m_colHeaderHeight > 0 && !(left == 0 && right == 0)) {
            CRect r(left, 0, right + 1, m_colHeaderHeight + 1);
            InvalidateRect(&r, FALSE);
        }
        break;
    }
    case GDM_PEERSETFOCUS: m_hasFocus = 0; break;
    case GDM_EDITKEYDOWN:
        if (wParam == VK_TAB || wParam == VK_RETURN) {
            if (EndEdit()) PostMessage(WM_KEYDOWN, wParam, lParam & 0xFFFF);
        } else if (wParam == VK_ESCAPE) {
            EndEdit();
            EnsureVisible(POINT{m_data->m_curCol, m_data->m_curRow});
        }
        break;
    default: break;
    }
    return CScrollWnd::WindowProc(message, wParam, lParam);
}

UINT CGridCtrl::OnGetDlgCode() {
    return DLGC_WANTALLKEYS;
}
