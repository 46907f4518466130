// Painting: double-buffered, only what lies in the update region, with the
// colours of the model's style record by index.
#include <algorithm>
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "editor/textdraw.h"
#include "editor/editctrl.h"
#include "grid/gridctrl.h"
#include "regex/regex.h"

namespace {

class PenScope {
public:
    PenScope(CDC* dc, COLORREF color) : m_dc(dc), m_pen(PS_SOLID, 1, color) {
        m_old = dc->SelectObject(&m_pen);
    }
    ~PenScope() { m_dc->SelectObject(m_old); }
    PenScope(const PenScope&) = delete;
    PenScope& operator=(const PenScope&) = delete;

private:
    CDC* m_dc;
    CPen m_pen;
    CPen* m_old;
};

void Line(CDC* dc, int x1, int y1, int x2, int y2) {
    dc->MoveTo(x1, y1);
    dc->LineTo(x2, y2);
}

int Len(const char16_t* s) {
    int n = 0;
    while (s[n]) ++n;
    return n;
}

// The form of a number drawn in a cell too narrow for it. The cut is marked
// by an ellipsis, a sign stays in front, and digits of both sides of the
// decimal point are never shown without the point between them:
// - with a decimal point: the integer part whole, the point and as many
//   leading fraction digits as fit, then the mark ("12.34…"); else the mark,
//   the last integer digits, the point and the whole fraction ("-…45.5");
// - without one: the mark and as many of the last characters as fit
//   ("-…09876");
// - the sign and the mark alone when no such form fits.
struct CutNumber {
    std::u16string text;
    int width = 0;
};

CutNumber ShortNumber(const char16_t* text, int length, int room,
                      const std::function<int(const char16_t*, const char16_t*)>& measure) {
    // Code points: where each starts, and the widths summed up to it.
    std::vector<int> at;
    std::vector<int> sum{0};
    for (int i = 0; i < length;) {
        int units = 1;
        utf16_decode_bounded(text + i, text + length, &units);
        at.push_back(i);
        sum.push_back(sum.back() + measure(text + i, text + i + units));
        i += units;
    }
    const int n = static_cast<int>(at.size());
    at.push_back(length);
    static const char16_t kMark[] = u"\u2026";
    const int mark = measure(kMark, kMark + 1);
    auto part = [&](int from, int to) { return std::u16string(text + at[from], text + at[to]); };
    const int sign = n > 0 && (text[0] == u'-' || text[0] == u'+') ? 1 : 0;
    // The decimal point: the first '.', else the first ',' (a session whose
    // decimal character is the comma).
    int point = -1;
    for (char16_t c : {u'.', u','})
        for (int k = sign; k < n && point < 0; ++k)
            if (text[at[k]] == c) point = k;
    if (point >= 0) {
        for (int k = n - 1; k > point; --k)
            if (sum[k] + mark <= room) return {part(0, k) + kMark, sum[k] + mark};
        for (int j = sign + 1; j <= point; ++j) {
            int w = sum[sign] + mark + sum[n] - sum[j];
            if (w <= room) return {part(0, sign) + kMark + part(j, n), w};
        }
    } else {
        for (int j = sign + 1; j < n; ++j) {
            int w = sum[sign] + mark + sum[n] - sum[j];
            if (w <= room) return {part(0, sign) + kMark + part(j, n), w};
        }
    }
    return {part(0, sign) + kMark, sum[sign] + mark};
}

bool Visible(CDC* paintDC, int l, int t, int r, int b) {
    RECT rc{l, t, r, b};
    return paintDC->RectVisible(&rc) != FALSE;
}

} // namespace

BOOL CGridCtrl::OnEraseBkgnd(CDC*) {
    return FALSE;
}

void CGridCtrl::OnPaint() {
    CPaintDC paint(this);
    CRect client = ClientArea();
    if (client.IsRectEmpty() || !paint.RectVisible(&client)) return;
    CDC mem;
    mem.CreateCompatibleDC(&paint);
    mem.SetBkMode(TRANSPARENT);
    CBitmap bitmap;
    bitmap.CreateCompatibleBitmap(&paint, client.Width(), client.Height());
    CBitmap* old = mem.SelectObject(&bitmap);
    DrawAll(&mem, &paint);
    paint.SetBkMode(TRANSPARENT);
    paint.BitBlt(0, 0, client.Width(), client.Height(), &mem, 0, 0, SRCCOPY);
    mem.SelectObject(old);
}

int CGridCtrl::CountsAsFocused() {
    if (m_style & GRS_CORNERFOCUSED) return 1;
    HWND focus = ::GetFocus();
    if (!focus) return 0;
    if (focus == m_hWnd) return 1;
    if (IsCellEditorVisible() && m_editWnd && focus == m_editWnd->m_hWnd) return 1;
    if (IsSplitterPane())
        for (HWND v : m_data->m_views)
            if (v && v == focus) return 1;
    return 0;
}

void CGridCtrl::DrawAll(CDC* dc, CDC* paintDC) {
    if (!m_data->m_styleInUse->measure) return;
    int rows = ModelRows(), cols = ModelCols();
    int firstCol = std::max(0, FirstCol()), firstRow = std::max(0, FirstRow());
    int visCols = std::max(0, std::min(GetPageCols() + 1, cols - firstCol));
    int visRows = std::max(0, std::min(m_pageRows + 1, rows - firstRow));
    GridStyle& s = *m_data->m_styleInUse;
    CFont* oldFont = m_font ? dc->SelectObject(m_font) : nullptr;
    COLORREF bk = dc->GetBkColor();
    if ((m_style & GRS_COLHEADER) && (m_style & GRS_ROWHEADER)) {
        COLORREF corner = s.colors[GRID_HEADER_BG_COLOR];
        if (CountsAsFocused())
            corner = s.cornerColor == static_cast<COLORREF>(-1) ? s.colors[GRID_BG_COLOR] : s.cornerColor;
        dc->FillSolidRect(0, 0, m_rowHeaderWidth, m_colHeaderHeight, corner);
    }
    DrawColumnHeaders(dc, paintDC, visCols);
    DrawRowHeaders(dc, paintDC, visRows);
    dc->SetBkColor(bk);
    DrawCells(dc, paintDC, visRows, visCols);
    if (oldFont) dc->SelectObject(oldFont);
    DrawGridLines(dc, paintDC, visRows, visCols);

    int cc = m_data->m_curCol, cr = m_data->m_curRow;
    if (!(m_style & GRS_ROWCURSOR) && cc >= firstCol && cc < firstCol + visCols && cr >= firstRow &&
        cr < firstRow + visRows) {
        CRect r = GetCellRect(cc, cr);
        PenScope pen(dc, s.colors[GRID_CURSOR_COLOR]);
        POINT pts[5] = {
            {r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}, {r.left, r.top}};
        dc->Polyline(pts, 5);
    }
}

void CGridCtrl::DrawColumnHeaders(CDC* dc, CDC* paintDC, int visCols) {
    if (!(m_style & GRS_COLHEADER)) return;
    GridStyle& s = *m_data->m_styleInUse;
    int first = std::max(0, FirstCol()), client = ClientWidth();
    long long x = m_rowHeaderWidth;
    for (int i = 0; i < visCols; ++i) {
        int w = m_data->GetColWidth(first + i);
        RECT r{static_cast<int>(std::min<long long>(x, INT_MAX)), 0,
               static_cast<int>(std::min<long long>(x + w, INT_MAX)), m_colHeaderHeight};
        DrawColumnHeader(dc, paintDC, first + i, r);
        x += w;
    }
    if (x < client && Visible(paintDC, static_cast<int>(x), 0, client, m_colHeaderHeight)) {
        dc->FillSolidRect(static_cast<int>(x), 0, client - static_cast<int>(x), m_colHeaderHeight,
                          s.colors[GRID_BG_COLOR]);
        if (ColumnHidden(ModelCols() - 1))
            DrawHiddenColumnMark(dc, static_cast<int>(x), 0, m_colHeaderHeight);
    }
    PenScope pen(dc, s.colors[GRID_HEADER_LINE_COLOR]);
    Line(dc, 0, m_colHeaderHeight - 1, client, m_colHeaderHeight - 1);
}

CString CGridCtrl::GetHeaderText(int col) {
    const char16_t* name = m_data->GetDispColName(col);
    CString text = name ? name : u"";
    if ((m_style & GRS_NOTNULLMARK) && m_data->IsColNullable(col) == 0) text += u"(*)";
    return text;
}

void CGridCtrl::DrawColumnHeader(CDC* dc, CDC* paintDC, int col, const RECT& rect) {
    if (!paintDC->RectVisible(&rect)) return;
    GridStyle& s = *m_data->m_styleInUse;
    CString text = GetHeaderText(col);
    COLORREF bg = s.colors[GRID_HEADER_BG_COLOR];
    if ((m_style & GRS_CURSORHEADERS) && col == m_data->m_curCol) bg = TintColor(bg, 0.8);
    dc->SetTextColor(m_data->GetColHeaderTextColor(col));
    dc->FillSolidRect(&rect, s.colors[GRID_HEADER_BG_COLOR]);
    const char16_t* p = text.GetString();
    for (int i = 0; i < m_headerLines; ++i) {
        const char16_t* e = p;
        while (*e && *e != u'\n') ++e;
        RECT band{rect.left + m_padLeft, rect.top + i * m_rowHeight + m_padTop, rect.right - m_padRight,
                  rect.top + (i + 1) * m_rowHeight - m_padBottom};
        if (band.right > band.left && band.bottom > band.top) {
            dc->FillSolidRect(&band, bg);
            textdraw_draw_run(TRUE, dc->m_hDC, paintDC->m_hDC, p, static_cast<int>(e - p), &band, s.measure,
                              band.left, ETO_CLIPPED, 0, 0);
        }
        p = *e ? e + 1 : e;
    }
    {
        PenScope pen(dc, s.colors[GRID_HEADER_LINE_COLOR]);
        Line(dc, rect.right - 1, rect.top, rect.right - 1, rect.bottom);
    }
    if (col > 0 && ColumnHidden(col - 1)) DrawHiddenColumnMark(dc, rect.left, rect.top, rect.bottom);
}

void CGridCtrl::DrawHiddenColumnMark(CDC* dc, int x, int y1, int y2) {
    PenScope pen(dc, m_data->m_styleInUse->colors[GRID_HIDDEN_COL_COLOR]);
    Line(dc, x, y1, x, y2);
}

void CGridCtrl::DrawRowHeaders(CDC* dc, CDC* paintDC, int visRows) {
    if (!(m_style & GRS_ROWHEADER)) return;
    GridStyle& s = *m_data->m_styleInUse;
    int first = std::max(0, FirstRow()), height = ClientHeight();
    int y = m_colHeaderHeight;
    for (int i = 0; i < visRows; ++i, y += m_rowHeight) {
        int row = first + i;
        RECT band{0, y, m_rowHeaderWidth, y + m_rowHeight};
        if (!paintDC->RectVisible(&band)) continue;
        const char16_t* text = m_data->GetRowHeaderText(row);
        if (!text) text = u"";
        COLORREF bg = s.colors[GRID_HEADER_BG_COLOR];
        if ((m_style & GRS_CURSORHEADERS) && row == m_data->m_curRow) bg = TintColor(bg, 0.8);
        dc->SetTextColor(s.colors[GRID_TEXT_COLOR]);
        int blanks = 0;
        while (text[blanks] == u' ') ++blanks;
        dc->FillSolidRect(&band, bg);
        int len = Len(text + blanks);
        textdraw_draw_run(TRUE, dc->m_hDC, paintDC->m_hDC, text + blanks, len, &band, s.measure, 0,
                          ETO_CLIPPED, m_padTop, blanks * m_digitWidth + m_padLeft);
        PenScope pen(dc, s.colors[GRID_HEADER_LINE_COLOR]);
        Line(dc, 0, band.bottom - 1, m_rowHeaderWidth, band.bottom - 1);
    }
    if (y < height && Visible(paintDC, 0, y, m_rowHeaderWidth, height))
        dc->FillSolidRect(0, y, m_rowHeaderWidth, height - y, s.colors[GRID_BG_COLOR]);
    PenScope pen(dc, s.colors[GRID_HEADER_LINE_COLOR]);
    Line(dc, m_rowHeaderWidth - 1, 0, m_rowHeaderWidth - 1, height);
}

void CGridCtrl::DrawCells(CDC* dc, CDC* paintDC, int visRows, int visCols) {
    GridStyle& s = *m_data->m_styleInUse;
    COLORREF bk = dc->GetBkColor();
    int firstRow = std::max(0, FirstRow()), firstCol = std::max(0, FirstCol());
    int width = ClientWidth(), height = ClientHeight();
    int y = m_colHeaderHeight;
    for (int i = 0; i < visRows; ++i, y += m_rowHeight) {
        if (!Visible(paintDC, m_rowHeaderWidth, y, width, y + m_rowHeight)) continue;
        long long x = m_rowHeaderWidth;
        for (int j = 0; j < visCols && x < width; ++j) {
            int w = m_data->GetColWidth(firstCol + j);
            RECT r{static_cast<int>(x), y, static_cast<int>(std::min<long long>(x + w, INT_MAX)),
                   y + m_rowHeight};
            if (w > 0) DrawCellBox(dc, paintDC, r, firstRow + i, firstCol + j);
            x += w;
        }
        if (x < width && Visible(paintDC, static_cast<int>(x), y, width, y + m_rowHeight))
            dc->FillSolidRect(static_cast<int>(x), y, width - static_cast<int>(x), m_rowHeight,
                              s.colors[GRID_BG_COLOR]);
    }
    if (y < height && Visible(paintDC, 0, y, width, height))
        dc->FillSolidRect(0, y, width, height - y, s.colors[GRID_BG_COLOR]);
    dc->SetBkColor(bk);
}

void CGridCtrl::DrawCellBox(CDC* dc, CDC* paintDC, const RECT& rect, int row, int col) {
    RECT test{rect.left, rect.top, rect.right - 1, rect.bottom - 1};
    if (!paintDC->RectVisible(&test)) return;
    dc->FillSolidRect(&rect, GetCellBkColor(row, col));
    RECT inner{rect.left + m_padLeft, rect.top + m_padTop, rect.right - m_padRight,
               rect.bottom - m_padBottom};
    DrawCell(dc, paintDC, inner, row, col);
}

COLORREF CGridCtrl::GetCellBkColor(int row, int col) {
    GridStyle& s = *m_data->m_styleInUse;
    int r = (m_style & GRS_SWAPPED) ? col : row;
    if (IsCellSelected(row, col)) return s.colors[GRID_SELECT_COLOR];
    if (m_data->HasCellBkColor(row, col)) return m_data->GetCellBkColor(row, col);
    bool nullColor = (m_style & GRS_NULLCOLOR) && m_data->IsNull(row, col);
    if (!m_data->IsEditable()) return nullColor ? s.colors[GRID_NULL_CELL_COLOR] : s.colors[GRID_BG_COLOR];
    if (m_data->IsDeletedRow(r)) return s.colors[GRID_DELETE_COLOR];
    bool inserted = m_data->IsInsertedRow(r) != 0;
    if (m_data->IsCellModified(row, col) && !inserted) return s.colors[GRID_UPDATE_COLOR];
    if (!m_data->IsCellEditable(row, col)) return s.colors[GRID_UNEDITABLE_COLOR];
    if (inserted) return s.colors[GRID_INSERT_COLOR];
    return nullColor ? s.colors[GRID_NULL_CELL_COLOR] : s.colors[GRID_BG_COLOR];
}

int CGridCtrl::IsCellSelected(int row, int col) {
    CGridData* d = m_data;
    bool isCursor = row == d->m_curRow && col == d->m_curCol;
    bool unfocusedPane = !m_hasFocus && IsSplitterPane();
    bool inside = false;
    int r1 = std::min(d->m_sel1.y, d->m_sel2.y), r2 = std::max(d->m_sel1.y, d->m_sel2.y);
    if (m_style & GRS_ROWCURSOR) {
        inside = row == d->m_curRow ||
                 ((m_style & GRS_MULTISELECT) && d->m_sel1.y != -1 && row >= r1 && row <= r2);
    } else if (m_style & GRS_MULTISELECT) {
        int c1 = std::min(d->m_sel1.x, d->m_sel2.x), c2 = std::max(d->m_sel1.x, d->m_sel2.x);
        inside = d->m_sel1.y != -1 && d->HasSelection() && row >= r1 && row <= r2 && col >= c1 && col <= c2;
    }
    if (inside) return !isCursor || (m_style & GRS_ROWCURSOR) || unfocusedPane ? 1 : 0;
    return unfocusedPane && isCursor ? 1 : 0;
}

int CGridCtrl::CharAdvance(uint32_t cp) {
    CharWidthCache* c = m_data->m_styleInUse->measure;
    if (!c) return 0;
    return c->Advance(c->GetWidth(nullptr, cp, nullptr));
}

void CGridCtrl::DrawCell(CDC* dc, CDC* paintDC, const RECT& rect, int row, int col) {
    GridStyle& s = *m_data->m_styleInUse;
    const char16_t* text = m_data->GetDispText(row, col);
    if (!text) text = u"";
    if (!m_nullText.IsEmpty() && m_data->IsNull(row, col)) {
        dc->SetTextColor(s.colors[GRID_MARK_COLOR]);
        DrawCellText(dc, paintDC, rect, m_nullText.GetString(), m_nullText.GetLength(), 0);
        return;
    }
    COLORREF color = m_data->GetTextColor(row, col);
    if (m_curRowColor && ((m_style & GRS_SWAPPED) ? col == m_data->m_curCol : row == m_data->m_curRow))
        color = s.colors[GRID_CUR_ROW_TEXT_COLOR];
    if ((m_style & GRS_INVERTSELTEXT) && IsCellSelected(row, col)) color = 0xFFFFFF - color;
    dc->SetTextColor(color);
    if (m_data->GetColType(row, col) == 0) {
        LazyClientDC lazy(m_hWnd, m_font ? static_cast<HFONT>(*m_font) : nullptr);
        CacheGridMeasurer m(s.measure, &lazy);
        const int room = rect.right - rect.left;
        const int length = Len(text);
        int w = m_data->MeasureText(text, INT_MAX, dc->m_hDC, &m, nullptr);
        if (w <= room) {
            DrawCellText(dc, paintDC, rect, text, length, room - w);
            return;
        }
        // Too wide: clipped on the left, its last digits would read as
        // another number. A short form that cannot be misread is drawn.
        CutNumber cut = ShortNumber(text, length, room, [&](const char16_t* from, const char16_t* to) {
            return m_data->MeasureText(from, INT_MAX, dc->m_hDC, &m, to);
        });
        DrawCellText(dc, paintDC, rect, cut.text.c_str(), static_cast<int>(cut.text.size()),
                     std::max(room - cut.width, 0));
        return;
    }
    int len = 0;
    while (text[len] && text[len] != u'\r' && text[len] != u'\n') ++len;
    int end = DrawCellText(dc, paintDC, rect, text, len, 0);
    if (m_style & (GRS_TABMARK | GRS_WIDESPACEMARK | GRS_SPACEMARK)) DrawWhitespaceMarks(dc, rect, text, len);
    if (text[len] && (m_style & GRS_LINEFEEDMARK) && end < rect.right) {
        int th = m_textHeight, c = CharAdvance(u'x') / 2, h = end + c + 1;
        int y2 = rect.top + th - th / 8 - 2;
        PenScope pen(dc, s.colors[GRID_MARK_COLOR]);
        Line(dc, h, rect.top + th / 8 + 2, h, y2);
        Line(dc, h, y2, end + 2 * c + 1, y2 - th / 4);
        Line(dc, h, y2, end + 1, y2 - th / 4);
    }
}

int CGridCtrl::DrawCellText(CDC* dc, CDC* paintDC, const RECT& rect, const char16_t* text, int length,
                            int firstOffset) {
    GridStyle& s = *m_data->m_styleInUse;
    int x = rect.left + firstOffset;
    if (!text || length <= 0) return x;
    auto run = [&](int from, int n, UINT options) {
        if (n <= 0 || x > rect.right) return;
        x = textdraw_draw_run(TRUE, dc->m_hDC, paintDC->m_hDC, text + from, n, &rect, s.measure, rect.left,
                              options, 0, x - rect.left);
    };
    int start = 0;
    if (m_search.highlight && m_search.compiled && s.colors[GRID_SEARCH_COLOR] != s.colors[GRID_BG_COLOR]) {
        while (start < length) {
            int ms = 0, ml = 0;
            if (regex_search_str(m_search.compiled, text, start, &ms, &ml) != 1 || ml <= 0 || ms >= length)
                break;
            run(start, ms - start, ETO_CLIPPED);
            COLORREF bk = dc->SetBkColor(s.colors[GRID_SEARCH_COLOR]);
            run(ms, std::min(ml, length - ms), ETO_CLIPPED | ETO_OPAQUE);
            dc->SetBkColor(bk);
            start = ms + ml;
        }
    }
    if (start < length) run(start, length - start, ETO_CLIPPED);
    return x;
}

void CGridCtrl::DrawWhitespaceMarks(CDC* dc, const RECT& rect, const char16_t* text, int length) {
    GridStyle& s = *m_data->m_styleInUse;
    PenScope pen(dc, s.colors[GRID_MARK_COLOR]);
    int th = m_textHeight, top = rect.top, right = rect.right;
    int x = rect.left;
    for (int i = 0; i < length && x <= right;) {
        int units = 1;
        uint32_t cp = utf16_decode_bounded(text + i, text + length, &units);
        if (cp == u'\r' || cp == u'\n') break;
        if (cp == u'\t' && (m_style & GRS_TABMARK)) {
            int wx = CharAdvance(u'x');
            int g = x + wx - wx / 4 - 1;
            if (right >= g) {
                int y = top + th / 2;
                Line(dc, g, y, x + wx / 4, y + th / 4);
                Line(dc, g, y, x + wx / 4, y - th / 4);
            }
        } else if (cp == u' ' && (m_style & GRS_SPACEMARK)) {
            int e = x + CharAdvance(u' ') - 2, y = top + th - 1;
            if (e < right) {
                POINT pts[4] = {{x, y - 1}, {x, y}, {e, y}, {e, y - 2}};
                dc->Polyline(pts, 4);
            } else if (x < right) {
                POINT pts[3] = {{x, y - 1}, {x, y}, {right, y}};
                dc->Polyline(pts, 3);
            }
        } else if (cp == 0x3000 && (m_style & GRS_WIDESPACEMARK)) {
            int l = x + 1, r = x + CharAdvance(0x3000) - 2, t = top + 2, b = top + th - 2;
            if (r < right) {
                POINT pts[5] = {{l, t}, {l, b}, {r, b}, {r, t}, {l, t}};
                dc->Polyline(pts, 5);
            } else if (l < right) {
                POINT pts[3] = {{l, t}, {l, b}, {right, b}};
                dc->Polyline(pts, 3);
                Line(dc, right - 1, t, l, t);
            }
        }
        x += CharAdvance(cp);
        i += units;
    }
}

void CGridCtrl::DrawGridLines(CDC* dc, CDC* paintDC, int visRows, int visCols) {
    PenScope pen(dc, m_data->m_styleInUse->colors[GRID_LINE_COLOR]);
    int width = ClientWidth();
    int y = m_colHeaderHeight;
    for (int i = 0; i < visRows; ++i, y += m_rowHeight) {
        int ly = y + m_rowHeight - 1;
        if (Visible(paintDC, m_rowHeaderWidth, ly, width, ly + 1)) Line(dc, m_rowHeaderWidth, ly, width, ly);
    }
    int bottom = m_colHeaderHeight + visRows * m_rowHeight;
    int first = std::max(0, FirstCol());
    long long x = m_rowHeaderWidth;
    for (int j = 0; j < visCols && x < width; ++j) {
        x += m_data->GetColWidth(first + j);
        int lx = static_cast<int>(std::min<long long>(x, INT_MAX)) - 1;
        if (Visible(paintDC, lx, m_colHeaderHeight, lx + 1, bottom))
            Line(dc, lx, m_colHeaderHeight, lx, bottom);
    }
}
