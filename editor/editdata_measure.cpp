// Measuring text in pixels and display columns, word-wrap breaks with the
// Japanese line-breaking rules, and the caret bitmap.
#include <algorithm>

#include "base/codepoint.h"
#include "base/utf16.h"
#include "editor/editdata.h"
#include "editor/nodepool.h"

namespace {

int space_advance(CEditDispData* disp, HDC dc) {
    CharWidthCache& w = disp->m_widths;
    return w.Advance(w.GetWidth(dc, u' ', disp->m_clientDC));
}

// The advance of a TAB whose pen stands at x: the platform's tab-stop rule.
int tab_advance(CEditDispData* disp, HDC dc, int x) {
    int stop = disp->m_widths.TabStopWidth();
    return textdraw_tab_advance(x, 0, stop, stop > 0 ? 0 : space_advance(disp, dc));
}

int char_advance(CEditDispData* disp, HDC dc, uint32_t cp) {
    CharWidthCache& w = disp->m_widths;
    return w.Advance(w.GetWidth(dc, cp, disp->m_clientDC));
}

bool is_wide_delimiter(uint32_t c) {
    return (c >= 0x3000 && c <= 0x3002) || c == 0xFF0C || c == 0xFF0E;
}

} // namespace

int textdraw_text_width(const char16_t* text, CEditDispData* disp, HDC dc, int n) {
    int sum = 0;
    for (int i = 0; (n < 0 || i < n) && text[i];) {
        if (text[i] == u'\t') {
            sum += tab_advance(disp, dc, sum);
            i++;
            continue;
        }
        int units;
        uint32_t cp = utf16_decode(text + i, &units);
        sum += char_advance(disp, dc, cp);
        i += units;
    }
    return sum;
}

int textdraw_column_at_x(const char16_t* text, CEditDispData* disp, HDC dc, int x) {
    int left = 0;
    int i = 0;
    while (text[i]) {
        int units = 1;
        int advance;
        if (text[i] == u'\t') {
            advance = tab_advance(disp, dc, left);
        } else {
            uint32_t cp = utf16_decode(text + i, &units);
            advance = char_advance(disp, dc, cp);
        }
        if (x < left + advance) return x >= left + advance / 2 ? i + units : i;
        left += advance;
        i += units;
    }
    return i;
}

HDC CEditData::MeasureDC() {
    return m_disp.m_clientDC ? m_disp.m_clientDC->Get() : nullptr;
}

int CEditData::DisplayColumn(int line, int column, HDC dc) {
    EditPos p = ClampPosition(EditPos{column, line});
    const char16_t* text = GetLineText(p.line);
    CharWidthCache& w = m_disp.m_widths;
    int tab = std::max(w.m_tabWidth, 1);
    int threshold = w.m_doubleWidthThreshold;
    int col = 0;
    for (int i = 0; i < p.col;) {
        if (text[i] == u'\t') {
            col = (col / tab + 1) * tab;
            i++;
            continue;
        }
        int units;
        uint32_t cp = utf16_decode(text + i, &units);
        int width = w.GetWidth(dc, cp, m_disp.m_clientDC);
        col += threshold > 0 && width >= threshold ? 2 : 1;
        i += units;
    }
    return col;
}

int CEditData::FitUnits(const char16_t* text, int width, HDC dc, CharWidthCache* cache) {
    (void)cache; // the buffer's own cache; kept for the callers' signature
    int sum = 0;
    int i = 0;
    while (text[i]) {
        int units = 1;
        if (text[i] == u'\t') {
            if (width < sum + 2) break;
            sum += tab_advance(&m_disp, dc, sum);
        } else {
            uint32_t cp = utf16_decode(text + i, &units);
            int advance = char_advance(&m_disp, dc, cp);
            if (width < sum + advance) break;
            sum += advance;
        }
        i += units;
    }
    if (!text[i]) return i;
    int n = WrapAtWord(text, ApplyKinsoku(text, i));
    // At least one whole code point goes on a row, however narrow it is.
    if (n <= 0) n = utf16_char_units(text);
    return n;
}

int CEditData::ApplyKinsoku(const char16_t* text, int n) {
    if (!m_kinsoku || n <= 2) return n;
    int atUnits;
    uint32_t at = utf16_decode(text + n, &atUnits);
    int beforeUnits = utf16_is_low_surrogate(text[n - 1]) && utf16_is_high_surrogate(text[n - 2]) ? 2 : 1;
    uint32_t before = utf16_decode(text + n - beforeUnits, &beforeUnits);
    if (m_lineStartProhibited && at && wcs_find_code_point(m_lineStartProhibited, at)) {
        int afterUnits;
        uint32_t after = utf16_decode(text + n + atUnits, &afterUnits);
        if (after && wcs_find_code_point(m_lineStartProhibited, after)) return n - beforeUnits;
        return n + atUnits;
    }
    if (m_lineEndProhibited && wcs_find_code_point(m_lineEndProhibited, before)) return n - beforeUnits;
    return n;
}

int CEditData::WrapAtWord(const char16_t* text, int n) {
    if (!m_wrapAtWord || n <= 0) return n;
    if (CharClass(text[n]) != 3) return n;
    for (int p = n - 1; p >= 0 && n - p < 40; p--) {
        uint32_t c = text[p];
        if (IsDelimiter(c) || is_wide_delimiter(c) || CharClass(c) != 3) return p + 1;
    }
    return n;
}

int CEditData::WrapLine(int line, LazyClientDC* holder) {
    int width = m_disp.m_wrapWidth;
    if (width == INT_MAX) return 1;
    HDC dc = holder ? holder->Get() : nullptr;
    EditLine* l = m_lines.At(line);
    const char16_t* text = l->text;
    int count = 0;
    int b = FitUnits(text, width, dc, &m_disp.m_widths);
    while (text[b]) {
        if (count == l->breakCapacity) {
            int32_t capacity = l->breakCapacity ? l->breakCapacity * 2 : 4;
            void* grown = l->breaks ? edittext_realloc(l->breaks, static_cast<uint64_t>(capacity) * 4)
                                    : edittext_alloc(static_cast<uint64_t>(capacity) * 4);
            if (!grown) break;
            l->breaks = static_cast<int32_t*>(grown);
            l->breakCapacity = capacity;
        }
        l->breaks[count++] = b;
        b += FitUnits(text + b, width, dc, &m_disp.m_widths);
    }
    return count + 1;
}

int CEditData::CaretRowInLine() {
    const EditLine* l = m_lines.At(m_caretLine);
    int rows = l->rowCount;
    if (rows <= 1 || !l->breaks) return 0;
    int row = 0;
    for (int k = 1; k < rows && k <= l->breakCapacity; k++)
        if (l->breaks[k - 1] <= m_caretCol) row = k;
    return std::min(row, rows - 1);
}

HBITMAP CEditDispData::MakeCaretBitmap(int width, int height, COLORREF key) {
    if (width == m_caretWidth && height == m_caretHeight && key == m_caretKey && m_caretBitmap)
        return m_caretBitmap;
    HDC screen = CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
    if (!screen) return nullptr;
    if (m_caretBitmap) DeleteObject(m_caretBitmap);
    m_caretBitmap = CreateCompatibleBitmap(screen, width, height);
    if (!m_caretBitmap) {
        DeleteDC(screen);
        m_caretWidth = m_caretHeight = -1;
        return nullptr;
    }
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, m_caretBitmap);
    HBRUSH brush = CreateSolidBrush((m_colors[3] ^ m_colors[11]) & 0xFFFFFF);
    RECT r{0, 0, width, height};
    FillRect(mem, &r, brush);
    DeleteObject(brush);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteDC(screen);
    m_caretWidth = width;
    m_caretHeight = height;
    m_caretKey = key;
    return m_caretBitmap;
}
