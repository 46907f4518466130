// Copy formats: comma-separated with double quotes, TAB-separated and
// fixed-width, each with or without a line of column names.
#include <algorithm>
#include <climits>

#include "editor/editctrl.h"
#include "grid/gridctrl.h"
#include "win32/clipboard.h"

namespace {

// Appends units to a bounded buffer, or only counts them when there is none.
class CopySink {
public:
    CopySink(char16_t* buffer, int64_t capacity) : m_buf(buffer), m_cap(capacity) {}
    void Put(char16_t c) {
        // One unit is kept for the terminating NUL.
        if (m_buf) {
            if (m_len + 1 >= m_cap) {
                m_overflow = true;
                return;
            }
            m_buf[m_len] = c;
        }
        ++m_len;
    }
    void Put(const char16_t* s, int64_t n) {
        for (int64_t i = 0; i < n && !m_overflow; ++i) Put(s[i]);
    }
    void Blanks(int64_t n) {
        for (int64_t i = 0; i < n && !m_overflow; ++i) Put(u' ');
    }
    int64_t Length() const { return m_len; }
    bool Overflow() const { return m_overflow; }
    void Truncate(int64_t len) { m_len = len; }
    char16_t At(int64_t i) const { return m_buf ? m_buf[i] : 0; }
    void Finish() {
        if (m_buf && m_cap > 0) m_buf[std::min(m_len, m_cap - 1)] = 0;
    }

private:
    char16_t* m_buf;
    int64_t m_cap;
    int64_t m_len = 0;
    bool m_overflow = false;
};

int64_t Len(const char16_t* s) {
    int64_t n = 0;
    if (s)
        while (s[n]) ++n;
    return n;
}

void QuoteDouble(CopySink& out, const char16_t* v) {
    out.Put(u'"');
    for (const char16_t* p = v; p && *p; ++p) {
        if (*p == u'"') out.Put(u'"');
        out.Put(*p);
    }
    out.Put(u'"');
}

void QuoteIfNeeded(CopySink& out, const char16_t* v) {
    if (!v || !*v) return;
    bool quote = *v == u'"';
    for (const char16_t* p = v; !quote && *p; ++p) quote = *p == u'\t' || *p == u'\n' || *p == u'\r';
    if (quote)
        QuoteDouble(out, v);
    else
        out.Put(v, Len(v));
}

void PadFixed(CopySink& out, const char16_t* v, int64_t n) {
    if (n <= 0) return;
    int64_t take = std::min(Len(v), n - 1);
    out.Put(v, take);
    out.Blanks(n - take);
}

} // namespace

int64_t CGridCtrl::MakeCopyText(char16_t* buffer, int64_t capacity, int type, int firstRow, int lastRow,
                                int firstCol, int lastCol) {
    CopySink out(buffer, capacity);
    bool swapped = (m_style & GRS_SWAPPED) != 0;
    bool names = type == 3 || type == 4 || type == 6;
    const char16_t* sep = type == 1 || type == 3 ? u"," : (type == 2 || type == 4 ? u"\t" : u"");
    int64_t sepLen = Len(sep);
    auto write = [&](const char16_t* v, int width) {
        if (!v) v = u"";
        switch (type) {
        case 1:
        case 3: QuoteDouble(out, v); break;
        case 2:
        case 4:
            if (m_style & GRS_COPYQUOTE)
                QuoteIfNeeded(out, v);
            else
                out.Put(v, Len(v));
            break;
        default: PadFixed(out, v, width); break;
        }
    };
    if (names && !swapped) {
        for (int c = firstCol; c <= lastCol && !out.Overflow(); ++c) {
            if (c > firstCol) out.Put(sep, sepLen);
            write(m_data->GetDispColName(c), m_data->GetColDataSize(c));
        }
        out.Put(u"\r\n", 2);
    }
    for (int r = firstRow; r <= lastRow && !out.Overflow(); ++r) {
        if (swapped && names) {
            write(m_data->GetRowHeaderText(r), m_data->GetRowHeaderWidth());
            out.Put(sep, sepLen);
        }
        for (int c = firstCol; c <= lastCol && !out.Overflow(); ++c) {
            if (c > firstCol) out.Put(sep, sepLen);
            write(m_data->GetCopyText(r, c), m_data->GetColDataSize(c));
        }
        out.Put(u"\r\n", 2);
    }
    if (out.Overflow()) {
        out.Finish();
        return -1;
    }
    bool oneLine = swapped ? firstCol == lastCol : firstRow == lastRow;
    if (out.Length() >= 2 && oneLine) out.Truncate(out.Length() - 2);
    out.Finish();
    return out.Length();
}

int64_t CGridCtrl::GetCopyTextSize(int type, int firstRow, int lastRow, int firstCol, int lastCol) {
    bool swapped = (m_style & GRS_SWAPPED) != 0;
    bool names = type == 3 || type == 4 || type == 6;
    bool quoted = type == 1 || type == 3 || ((type == 2 || type == 4) && (m_style & GRS_COPYQUOTE));
    bool fixed = type == 5 || type == 6;
    int64_t cols = std::max(0, lastCol - firstCol + 1), rows = std::max(0, lastRow - firstRow + 1);
    // Each value: its length, doubled quotes and the two around it; or the
    // fixed width. Separators and line ends come on top.
    auto value = [&](const char16_t* v, int64_t len, int64_t quotes, int width) -> int64_t {
        (void)v;
        if (fixed) return std::max(0, width);
        return quoted ? len + quotes + 2 : len;
    };
    int64_t units = rows * (cols + 2) + 2 * cols + 8;
    if (names && !swapped)
        for (int c = firstCol; c <= lastCol; ++c) {
            const char16_t* n = m_data->GetDispColName(c);
            int64_t q = 0;
            for (const char16_t* p = n; p && *p; ++p) q += *p == u'"';
            units += value(n, Len(n), q, m_data->GetColDataSize(c));
        }
    for (int r = firstRow; r <= lastRow; ++r) {
        if (swapped && names) {
            const char16_t* h = m_data->GetRowHeaderText(r);
            units += value(h, Len(h), Len(h), m_data->GetRowHeaderWidth()) + 1;
        }
        for (int c = firstCol; c <= lastCol; ++c) {
            if (fixed) {
                units += std::max(0, m_data->GetColDataSize(c));
                continue;
            }
            int64_t len = std::max(0, m_data->GetTextLength(r, c, quoted ? 1 : 0, u'"'));
            units += quoted ? len + 2 : len;
        }
    }
    return (units + 1) * static_cast<int64_t>(sizeof(char16_t));
}

void CGridCtrl::CopyToClipboard(int type) {
    CGridData* d = m_data;
    int r1, r2, c1, c2;
    if (d->HasSelection()) {
        r1 = std::min(d->m_sel1.y, d->m_sel2.y);
        r2 = std::max(d->m_sel1.y, d->m_sel2.y);
        c1 = std::min(d->m_sel1.x, d->m_sel2.x);
        c2 = std::max(d->m_sel1.x, d->m_sel2.x);
    } else {
        // Without a cursor inside the model there is nothing to copy.
        if (!IsCursorValid()) return;
        r1 = r2 = d->m_curRow;
        c1 = c2 = d->m_curCol;
    }
    long long cells = static_cast<long long>(r2 - r1 + 1) * (c2 - c1 + 1);
    if (cells > 100) {
        CWaitCursor wait;
        CopyAreaToClipboard(type, r1, r2, c1, c2);
    } else {
        CopyAreaToClipboard(type, r1, r2, c1, c2);
    }
}

void CGridCtrl::CopyAreaToClipboard(int type, int firstRow, int lastRow, int firstCol, int lastCol) {
    if (!m_data->HasCursor()) return;
    if (IsCellEditorVisible()) {
        m_editWnd->Copy();
        return;
    }
    int64_t bytes = GetCopyTextSize(type, firstRow, lastRow, firstCol, lastCol);
    HGLOBAL mem = nullptr;
    for (int attempt = 0; attempt < 2; ++attempt) {
        mem = bytes > 0 && static_cast<uint64_t>(bytes) <= SIZE_MAX
                  ? GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(bytes))
                  : nullptr;
        auto* text = mem ? static_cast<char16_t*>(GlobalLock(mem)) : nullptr;
        if (!text) {
            if (mem) GlobalFree(mem);
            AfxMessageBox(u"メモリ確保に失敗しました");
            return;
        }
        int64_t written = MakeCopyText(text, bytes / 2, type, firstRow, lastRow, firstCol, lastCol);
        GlobalUnlock(mem);
        if (written >= 0) break;
        // A value grew past its measured length: size the block from the text itself.
        GlobalFree(mem);
        mem = nullptr;
        bytes = (MakeCopyText(nullptr, INT64_MAX, type, firstRow, lastRow, firstCol, lastCol) + 1) * 2;
    }
    if (!mem) {
        AfxMessageBox(u"メモリ確保に失敗しました");
        return;
    }
    if (!OpenClipboard(m_hWnd)) {
        GlobalFree(mem);
        AfxMessageBox(u"Cannot open the Clipboard");
        return;
    }
    if (!EmptyClipboard()) {
        CloseClipboard();
        GlobalFree(mem);
        AfxMessageBox(u"Cannot empty the Clipboard");
        return;
    }
    if (!SetClipboardData(CF_UNICODETEXT, mem)) {
        CloseClipboard();
        GlobalFree(mem);
        AfxMessageBox(u"Unable to set Clipboard data");
        return;
    }
    CloseClipboard();
}
