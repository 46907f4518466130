#include "grid/griddata.h"

#include <cstring>

#include "base/utf16.h"
#include "editor/textdraw.h"
#include "grid/gridfilter.h"
#include "regex/regex.h"

bool (*grid_paste_alloc_hook)(size_t bytes) = nullptr;

namespace {

constexpr uint16_t kDefaultWidth = 0x8064;

size_t Len16(const char16_t* s) {
    size_t n = 0;
    if (s)
        while (s[n]) ++n;
    return n;
}

} // namespace

CGridData::CGridData() = default;

CGridData::~CGridData() {
    delete m_filter;
}

int CGridData::GetColCount() {
    return 100;
}
int CGridData::GetRowCount() {
    return 1000;
}
const char16_t* CGridData::GetText(int, int) {
    return u"data";
}
const char16_t* CGridData::GetDispText(int row, int col) {
    return GetText(row, col);
}
const char16_t* CGridData::GetEditText(int row, int col) {
    return GetText(row, col);
}
const char16_t* CGridData::GetCopyText(int row, int col) {
    return GetEditText(row, col);
}
int CGridData::IsValueCut(int, int) {
    return 0;
}

int CGridData::GetTextLength(int row, int col, int countFlag, uint32_t ch) {
    const char16_t* text = GetCopyText(row, col);
    if (!text) return 0;
    int len = static_cast<int>(Len16(text));
    if (countFlag) {
        for (const char16_t* p = text; *p;) {
            int units = 1;
            if (utf16_decode(p, &units) == ch) ++len;
            p += units;
        }
    }
    return len;
}

int CGridData::IsNull(int, int) {
    return 0;
}
const char16_t* CGridData::GetColName(int) {
    return u"test";
}
const char16_t* CGridData::GetDispColName(int col) {
    return GetColName(col);
}
int CGridData::GetColDataSize(int) {
    return -1;
}
int CGridData::GetColScale(int) {
    return 0;
}
int CGridData::GetColType(int, int) {
    return 1;
}
int CGridData::IsColNullable(int) {
    return 1;
}
int CGridData::IsEditable() {
    return 0;
}
int CGridData::GetMaxInputLen(int, int) {
    return 1024;
}
int CGridData::InsertRows(int, int) {
    return 0;
}
int CGridData::DeleteRows(int, int) {
    return 0;
}
int CGridData::DeleteNullRows(int) {
    return 0;
}
void CGridData::SetAreaText(POINT, POINT, const char16_t*, int) {}
int CGridData::SetText(int, int, const char16_t*, int) {
    return 0;
}
int CGridData::IsCellEditable(int, int) {
    return 0;
}
void CGridData::BeginUndoGroup() {}
void CGridData::EndUndoGroup() {}
UndoBuffer* CGridData::GetUndoBuffer() {
    return nullptr;
}
int CGridData::IsInsertedRow(int) {
    return 0;
}
int CGridData::IsUpdatedRow(int) {
    return 0;
}
int CGridData::IsDeletedRow(int) {
    return 0;
}
int CGridData::IsCellModified(int, int) {
    return 0;
}
int CGridData::IsNullRow(int) {
    return 0;
}
int CGridData::CanUndo() {
    return 0;
}
int CGridData::CanRedo() {
    return 0;
}
int CGridData::Undo() {
    return 0;
}
int CGridData::Redo() {
    return 0;
}
int CGridData::PasteText(const char16_t*) {
    return 0;
}
int CGridData::CanInsertRows() {
    return 0;
}
int CGridData::IsRowEditable(int) {
    return 0;
}
const char16_t* CGridData::GetOriginalText(int, int) {
    return u"";
}
int CGridData::GetRowHeaderWidth() {
    return 6;
}

const char16_t* CGridData::GetRowHeaderText(int row) {
    swprintf_s(m_rowHeader, u"%6d", row + 1);
    return m_rowHeader;
}

COLORREF CGridData::GetTextColor(int, int) {
    return m_textColor;
}
COLORREF CGridData::GetColHeaderTextColor(int) {
    return m_textColor;
}
int CGridData::HasCellBkColor(int, int) {
    return 0;
}
COLORREF CGridData::GetCellBkColor(int, int) {
    return 0xFFFFFF;
}

int CGridData::FindColumn(int startCol, int* outCol, int direction, int includeStart, Regex* regex) {
    int n = GetColCount();
    auto test = [&](int c) { return regex_test_str(regex, GetColName(c)) == 1; };
    auto found = [&](int c) {
        if (outCol) *outCol = c;
        return 1;
    };
    if (includeStart && startCol >= 0 && startCol < n && test(startCol)) return found(startCol);
    if (direction == 1) {
        for (int c = startCol + 1; c < n; ++c)
            if (c >= 0 && test(c)) return found(c);
        for (int c = 0; c < startCol && c < n; ++c)
            if (test(c)) return found(c);
    } else {
        for (int c = std::min(startCol - 1, n - 1); c >= 0; --c)
            if (test(c)) return found(c);
        for (int c = n - 1; c > startCol; --c)
            if (test(c)) return found(c);
    }
    return 0;
}

int CGridData::HasCursor() {
    return m_curRow != -1;
}

void CGridData::SetColWidth(int col, int width) {
    if (col < 0 || col >= static_cast<int>(m_colWidths.size())) return;
    uint16_t& e = m_colWidths[static_cast<size_t>(col)];
    if (width > 0)
        e = static_cast<uint16_t>(0x8000 | (width & 0x7FFF));
    else
        e = static_cast<uint16_t>(e & 0x7FFF);
    if (e == 0x8000) e = kDefaultWidth;
}

int CGridData::GetColWidth(int col) {
    if (col < 0 || col >= static_cast<int>(m_colWidths.size())) return 100;
    uint16_t e = m_colWidths[static_cast<size_t>(col)];
    return (e & 0x8000) ? (e & 0x7FFF) : 0;
}

void CGridData::AddView(HWND wnd) {
    for (HWND& v : m_views)
        if (!v) {
            v = wnd;
            return;
        }
}

void CGridData::RemoveView(HWND wnd) {
    for (HWND& v : m_views)
        if (v == wnd) {
            v = nullptr;
            return;
        }
}

const char16_t* CGridData::GetErrorMessage() {
    return u"";
}

void CGridData::Sort(const int* cols, const int* dirs, int keyCount) {
    std::vector<int32_t> order;
    ComputeSortOrder(cols, dirs, keyCount, &order);
    ApplyOrderBySwaps(order);
}

const char16_t* CGridData::GetColTypeName(int) {
    return u"";
}
int CGridData::CanMarkRows() {
    return 0;
}
void CGridData::ClearRowMark(int) {}
void CGridData::SetRowMark(int) {}
int CGridData::IsRowMarked(int) {
    return 0;
}
void CGridData::SwapRows(int, int) {}

void CGridData::DeleteFilter() {
    delete m_filter;
    m_filter = nullptr;
    m_filtered = 0;
}

void CGridData::AllocColumnWidths() {
    size_t n = static_cast<size_t>(std::max(0, GetColCount()));
    if (m_colWidths.size() < n) m_colWidths.resize(n, kDefaultWidth);
}

void CGridData::SetCursor(int row, int col) {
    int rows = GetRowCount(), cols = GetColCount();
    if (row >= rows) row = rows - 1;
    if (row < 0) row = 0;
    if (col >= cols) col = cols - 1;
    if (col < 0) col = 0;
    if (rows <= 0) row = -1;
    m_curRow = row;
    m_curCol = col;
}

int CGridData::IsCursorInData() {
    return m_curCol >= 0 && m_curCol < GetColCount() && m_curRow >= 0 && m_curRow < GetRowCount();
}

void CGridData::BroadcastToViews(HWND sender, UINT msg, WPARAM wParam, LPARAM lParam) {
    for (HWND v : m_views)
        if (v && v != sender) SendMessageW(v, msg, wParam, lParam);
}

bool CGridData::HasSelection() const {
    if (m_sel1.y < 0) return false;
    return !(m_sel1.x == m_sel2.x && m_sel1.y == m_sel2.y);
}

int CGridData::FindCell(POINT start, POINT* out, int direction, int wrap, int* wrapped, int includeStart,
                        int selOnly, Regex* regex) {
    int cols = GetColCount(), rows = GetRowCount();
    if (wrapped) *wrapped = 0;
    if (start.x < 0 || start.x > cols || start.y < 0 || start.y > rows) return 0;
    bool sel = HasSelection();
    if (selOnly && !sel) return 0;
    int c1 = std::min(m_sel1.x, m_sel2.x), c2 = std::max(m_sel1.x, m_sel2.x);
    int r1 = std::min(m_sel1.y, m_sel2.y), r2 = std::max(m_sel1.y, m_sel2.y);
    auto test = [&](int r, int c) {
        if (r < 0 || r >= rows || c < 0 || c >= cols) return false;
        if (selOnly && (c < c1 || c > c2 || r < r1 || r > r2)) return false;
        const char16_t* text = GetEditText(r, c);
        if (regex_test_str(regex, text ? text : u"") != 1) return false;
        if (out) *out = POINT{c, r};
        return true;
    };
    int sr = start.y, sc = start.x;
    if (includeStart && test(sr, sc)) return 1;
    if (direction == 1) {
        for (int c = sc + 1; c < cols; ++c)
            if (test(sr, c)) return 1;
        for (int r = sr + 1; r < rows; ++r)
            for (int c = 0; c < cols; ++c)
                if (test(r, c)) return 1;
        if (!wrap) return 0;
        if (wrapped) *wrapped = 1;
        for (int r = 0; r < sr; ++r)
            for (int c = 0; c < cols; ++c)
                if (test(r, c)) return 1;
        for (int c = 0; c < sc; ++c)
            if (test(sr, c)) return 1;
    } else {
        for (int c = std::min(sc - 1, cols - 1); c >= 0; --c)
            if (test(sr, c)) return 1;
        for (int r = std::min(sr - 1, rows - 1); r >= 0; --r)
            for (int c = cols - 1; c >= 0; --c)
                if (test(r, c)) return 1;
        if (!wrap) return 0;
        if (wrapped) *wrapped = 1;
        for (int r = rows - 1; r > sr; --r)
            for (int c = cols - 1; c >= 0; --c)
                if (test(r, c)) return 1;
        for (int c = cols - 1; c > sc; --c)
            if (test(sr, c)) return 1;
    }
    return 0;
}

int CGridData::MeasureText(const char16_t* text, int limit, HDC dc, GridMeasurer* m, const char16_t* end) {
    if (!text || !m) return 0;
    int spacing = m->Spacing(), wide = m->WideThreshold();
    auto advance = [&](uint32_t cp) {
        int w = m->CharWidth(dc, cp);
        return w + ((wide > 0 && w >= wide) ? 2 : 1) * spacing;
    };
    int sum = 0;
    for (const char16_t* p = text; (!end || p < end) && *p;) {
        if (*p == u'\r' || *p == u'\n') {
            sum += 2 * m->CharWidth(dc, u'x');
            break;
        }
        int units = 1;
        uint32_t cp = end ? utf16_decode_bounded(p, end, &units) : utf16_decode(p, &units);
        sum += advance(cp);
        p += units;
        if (sum >= limit) return limit;
    }
    return std::min(sum, limit);
}

namespace {

int MaxWidth(CGridData* g, int col, int limit, GridMeasurer* m, GridCancelState* cancel, bool trim) {
    int best = 0;
    int rows = g->GetRowCount();
    for (int r = 0; r < rows; ++r) {
        if (cancel) {
            while (cancel->load() == 2) Sleep(500);
            if (cancel->load() == 1) break;
        }
        const char16_t* text = g->GetDispText(r, col);
        if (!text) continue;
        const char16_t* end = nullptr;
        if (trim) {
            const char16_t* p = text;
            const char16_t* blanks = nullptr;
            for (; *p && *p != u'\n'; ++p) {
                if (*p == u' ') {
                    if (!blanks) blanks = p;
                } else {
                    blanks = nullptr;
                }
            }
            end = blanks ? blanks : p;
        }
        int w = g->MeasureText(text, limit, nullptr, m, end);
        if (w > best) best = w;
        if (best >= limit) break;
    }
    return best;
}

} // namespace

int CGridData::GetMaxColWidth(int col, int limit, GridMeasurer* m, GridCancelState* cancel) {
    return MaxWidth(this, col, limit, m, cancel, false);
}

int CGridData::GetMaxColWidthTrim(int col, int limit, GridMeasurer* m, GridCancelState* cancel) {
    return MaxWidth(this, col, limit, m, cancel, true);
}

const char16_t* CGridData::FormatStateRowHeader(int row, int sourceRow, CGridData* states) {
    const char16_t* fmt = u"%7d";
    if (states->IsUpdatedRow(sourceRow))
        fmt = u"*%6d";
    else if (states->IsInsertedRow(sourceRow))
        fmt = u"+%6d";
    else if (states->IsDeletedRow(sourceRow))
        fmt = u"-%6d";
    fmt16::Bounded(m_rowHeader, 100, fmt, row + 1);
    return m_rowHeader;
}

void CGridData::SetAreaTextOver(POINT a, POINT b, const char16_t* text, int length) {
    if (b.y < a.y) return;
    if (!text) text = u"";
    size_t len = length < 0 ? Len16(text) : static_cast<size_t>(length);
    int c1 = std::min(a.x, b.x), c2 = std::max(a.x, b.x);
    bool differs = false;
    for (int r = a.y; r <= b.y && !differs; ++r)
        for (int c = c1; c <= c2 && !differs; ++c) {
            if (!IsCellEditable(r, c)) continue;
            const char16_t* cur = GetText(r, c);
            if (!cur) cur = u"";
            if (Len16(cur) != len || std::memcmp(cur, text, len * sizeof(char16_t)) != 0) differs = true;
        }
    if (!differs) return;
    BeginUndoGroup();
    for (int r = a.y; r <= b.y; ++r)
        for (int c = c1; c <= c2; ++c)
            if (IsCellEditable(r, c)) SetText(r, c, text, static_cast<int>(len));
    EndUndoGroup();
}

int CGridData::PasteTextOver(const char16_t* text, bool swapped) {
    if (!text || !*text) return 0;
    int cols = GetColCount(), rows = GetRowCount();
    if (cols <= 0 || rows <= 0) return 0;
    int firstCol, lastCol, firstRow, lastRow;
    bool repeatLine = false, spreadOne = false;
    bool sel = HasSelection();
    // The first line's field count and the number of lines, read as the paste
    // reads them (a line break that ends the text starts no line).
    int firstLineFields = 1, lines = 1;
    for (const char16_t* p = text;;) {
        p = utf16_get_tsv_field(p, nullptr, 0);
        if (*p == u'\t') {
            if (lines == 1) ++firstLineFields;
            ++p;
            continue;
        }
        if (!*p || !p[1]) break;
        ++p;
        ++lines;
    }
    bool oneLine = lines == 1;
    if (!sel) {
        firstCol = m_curCol;
        firstRow = m_curRow;
        lastCol = cols - 1;
        lastRow = rows - 1;
    } else {
        firstCol = std::min(m_sel1.x, m_sel2.x);
        lastCol = std::max(m_sel1.x, m_sel2.x);
        firstRow = std::min(m_sel1.y, m_sel2.y);
        lastRow = std::max(m_sel1.y, m_sel2.y);
        if (swapped) {
            bool hasLf = false;
            for (const char16_t* q = text; *q; ++q)
                if (*q == u'\n') hasLf = true;
            repeatLine = !hasLf && lastRow > firstRow;
        } else if (firstLineFields > lastCol - firstCol + 1) {
            lastCol = std::min(cols - 1, firstCol + firstLineFields - 1);
        }
        if (!swapped && oneLine && lastRow > firstRow) repeatLine = true;
        if (!swapped && firstLineFields == 1 && lastCol > firstCol) spreadOne = true;
    }
    if (firstRow < 0 || firstCol < 0) return 0;
    // Lines past the last row would be lost: the paste is refused whole
    // instead, before anything changes (a repeated line fills its rows).
    if (!repeatLine && lines > lastRow - firstRow + 1) return 1;
    if (sel && !swapped && lastCol != std::max(m_sel1.x, m_sel2.x)) {
        if (m_sel1.x >= m_sel2.x)
            m_sel1.x = lastCol;
        else
            m_sel2.x = lastCol;
    }
    if (grid_paste_alloc_hook && !grid_paste_alloc_hook(0)) return 0;
    BeginUndoGroup();
    std::vector<char16_t> field;
    int row = firstRow, col = firstCol;
    const char16_t* p = text;
    for (;;) {
        const char16_t* end = utf16_get_tsv_field(p, nullptr, 0);
        size_t need = static_cast<size_t>(end - p) + 1;
        if (field.size() < need) field.resize(need);
        utf16_get_tsv_field(p, field.data(), static_cast<int>(std::min<size_t>(need, INT32_MAX)));
        if (spreadOne) {
            if (col == firstCol)
                for (int c = firstCol; c <= lastCol; ++c)
                    if (IsCellEditable(row, c)) SetText(row, c, field.data(), -1);
        } else if (col <= lastCol) {
            if (IsCellEditable(row, col)) SetText(row, col, field.data(), -1);
        }
        ++col;
        p = end;
        if (*p == u'\t') {
            ++p;
            continue;
        }
        // End of a line or of the text.
        bool atEnd = !*p || !p[1];
        if (repeatLine && row < lastRow) {
            ++row;
            col = firstCol;
            p = text;
            continue;
        }
        if (atEnd) break;
        ++p;
        ++row;
        col = firstCol;
        if (row > lastRow) break;
    }
    EndUndoGroup();
    return 0;
}

void CGridData::RefreshFilterMap() {
    if (m_filter && m_filtered && CanMarkRows()) m_filter->RefreshMap();
}

int CGridData::SetFilter(int col, const char16_t* pattern, int matchCase, int matchWidth, int isRegex,
                         int* count, CString* err, int requireMatch) {
    bool made = false;
    if (!m_filter) {
        m_filter = new CGridData_Filter(this);
        made = true;
    }
    if (m_filter->FilterData(col, pattern, matchCase, matchWidth, isRegex, count, err, requireMatch) != 0) {
        if (made) DeleteFilter();
        return 1;
    }
    m_filtered = 1;
    int rows = GetRowCount(), cols = GetColCount();
    m_curRow = rows > 0 ? 0 : -1;
    m_curCol = std::max(0, std::min(col, cols - 1));
    return 0;
}

void CGridData::ClearFilter() {
    if (!m_filtered) return;
    int rows = GetRowCount(), cols = GetColCount();
    m_curRow = rows > 0 ? 0 : -1;
    m_curCol = std::max(0, std::min(m_filter ? m_filter->m_curCol : 0, cols - 1));
    m_filtered = 0;
}

int CacheGridMeasurer::CharWidth(HDC dc, uint32_t cp) {
    return m_cache->GetWidth(dc, cp, m_lazy);
}
int CacheGridMeasurer::Spacing() const {
    return m_cache->m_spacing;
}
int CacheGridMeasurer::WideThreshold() const {
    return m_cache->m_doubleWidthThreshold;
}
