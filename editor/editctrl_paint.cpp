// Painting of the editor window: a double-buffered WM_PAINT over the cached
// per-line attributes (colours, selection, matches, links, brackets), the
// margins with line numbers, the ruler and the whitespace marks.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/utf16.h"
#include "editor/editctrl.h"
#include "win32/ime.h"

namespace {

constexpr uint8_t kSelected = 1, kMatch = 2, kLink = 4, kBracket = 8;
// Whitespace marks; plain text is 0.
constexpr uint8_t kTab = 1, kWideSpace = 2, kEnd = 3, kSpace = 4;

bool starts_with(const char16_t* p, const char16_t* mark, int n) {
    if (!mark || n <= 0) return false;
    for (int i = 0; i < n; i++)
        if (p[i] != mark[i]) return false;
    return true;
}

bool is_url_stop(char16_t c) {
    return c == 0 || c == u' ' || c == u'"' || c == u'<' || c == u'>' || c == u'[' || c == u']' ||
           c == u'\t' || c >= 0x80;
}

bool is_alnum(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

// End of the URL whose prefix starts at i (prefix length n); i when none.
int url_end(const char16_t* t, int i, int n) {
    int j = i + n;
    if (is_url_stop(t[j])) return i;
    while (!is_url_stop(t[j])) {
        if (t[j] == u'(' || t[j] == u')') {
            // A parenthesis belongs to the URL only when, past punctuation,
            // a letter, digit, full stop or slash follows.
            int k = j + 1;
            bool keep = false;
            while (!is_url_stop(t[k])) {
                char16_t c = t[k];
                if (is_alnum(c) || c == u'.' || c == u'/') {
                    keep = true;
                    break;
                }
                k++;
            }
            if (!keep) break;
        }
        j++;
    }
    return j > i + n ? j : i;
}

bool mail_local(char16_t c) {
    return is_alnum(c) || c == u'+' || c == u'-' || c == u'.' || c == u'_';
}
bool mail_domain(char16_t c) {
    return is_alnum(c) || c == u'-' || c == u'.' || c == u'_';
}

HPEN pen_of(CEditDispData& d, int slot, int color) {
    if (!d.m_pens[slot]) d.m_pens[slot] = CreatePen(PS_SOLID, 0, d.m_colors[color]);
    return d.m_pens[slot];
}

void line_to(HDC dc, int x0, int y0, int x1, int y1) {
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

} // namespace

// Marks every character of a URL or e-mail address with the link flag.
void edit_mark_links(const char16_t* t, int length, CharAttr* attrs) {
    static const char16_t* const kPrefixes[] = {u"http://", u"https://", u"ftp://", u"www."};
    for (int i = 0; i < length;) {
        int end = i;
        for (const char16_t* p : kPrefixes) {
            int n = static_cast<int>(std::char_traits<char16_t>::length(p));
            if (starts_with(t + i, p, n)) {
                end = url_end(t, i, n);
                if (end > i) break;
            }
        }
        if (end > i) {
            for (int k = i; k < end; k++) attrs[k].flags |= kLink, attrs[k].color = 1;
            i = end;
            continue;
        }
        i++;
    }
    for (int i = 0; i < length; i++) {
        if (t[i] != u'@') continue;
        int a = i;
        while (a > 0 && mail_local(t[a - 1])) a--;
        int b = i + 1;
        while (b < length && mail_domain(t[b])) b++;
        if (a == i || b == i + 1) continue;
        for (int k = a; k < b; k++) attrs[k].flags |= kLink, attrs[k].color = 1;
    }
}

void CEditCtrl::InvalidatePaintCache() {
    if (m_data) m_data->m_disp.m_paintCache.InvalidateAll();
}

namespace {
// Frees a memory DC with its bitmap and forgets its size.
void drop_surface(HDC& dc, HBITMAP& bitmap, HGDIOBJ& old, int& width, int& height) {
    if (dc) {
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    if (bitmap) DeleteObject(bitmap);
    dc = nullptr;
    bitmap = nullptr;
    old = nullptr;
    width = height = -1;
}

// A memory DC holding a new bitmap of the size.
void make_surface(HDC paintDC, int w, int h, HDC& dc, HBITMAP& bitmap, HGDIOBJ& old, int& width,
                  int& height) {
    dc = CreateCompatibleDC(paintDC);
    bitmap = CreateCompatibleBitmap(paintDC, w, h);
    old = SelectObject(dc, bitmap);
    width = w;
    height = h;
}
} // namespace

void CEditCtrl::DropBackground() {
    drop_surface(m_bgDC, m_bgBitmap, m_bgOld, m_bgWidth, m_bgHeight);
}

void CEditCtrl::DropMemorySurface() {
    drop_surface(m_memDC, m_memBitmap, m_memOld, m_memWidth, m_memHeight);
}

void CEditCtrl::PrepareBackground(HDC paintDC, int width, int height) {
    COLORREF bg = m_data->m_disp.m_colors[3];
    if (m_bgDC && width == m_bgWidth && height == m_bgHeight && bg == m_bgColor) return;
    DropBackground();
    make_surface(paintDC, width, height, m_bgDC, m_bgBitmap, m_bgOld, m_bgWidth, m_bgHeight);
    RECT all{0, 0, width, height};
    HBRUSH b = CreateSolidBrush(bg);
    FillRect(m_bgDC, &all, b);
    DeleteObject(b);
    if (m_options & EDOPT_RULED_LINES) {
        HBRUSH rule = CreateSolidBrush(m_data->m_disp.m_colors[12]);
        int right =
            m_data->m_disp.m_layout[0] == 2 ? m_data->m_disp.m_wrapWidth + m_baseLeft : width - m_rightMargin;
        for (int i = 1; i <= m_pageRows; i++) {
            int y = i * m_rowPitch + m_topMargin;
            if (y > height - m_bottomMargin) break;
            RECT r{m_baseLeft, y - 1, right, y};
            if (RectVisible(paintDC, &r)) FillRect(m_bgDC, &r, rule);
        }
        DeleteObject(rule);
    }
    m_bgColor = bg;
}

void CEditCtrl::FillBackground(HDC dc, const RECT& r, COLORREF color) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    if (m_bgDC && color == m_data->m_disp.m_colors[3] && color == m_bgColor) {
        BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, m_bgDC, r.left, r.top, SRCCOPY);
        return;
    }
    COLORREF old = SetBkColor(dc, color);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    SetBkColor(dc, old);
}

BOOL CEditCtrl::OnEraseBkgnd(CDC*) {
    return FALSE;
}

void CEditCtrl::OnPaint() {
    if (!m_data) {
        CWnd::OnPaint();
        return;
    }
    // A new normal background (the modified indicator, another view's
    // colour change) repaints the whole window, never a band of it.
    COLORREF bg = m_data->m_disp.m_colors[3];
    if (m_paintedBg != 0xFFFFFFFF && m_paintedBg != bg) ::InvalidateRect(m_hWnd, nullptr, FALSE);
    PAINTSTRUCT ps;
    HDC pdc = BeginPaint(m_hWnd, &ps);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    if (!RectVisible(pdc, &client)) {
        EndPaint(m_hWnd, &ps);
        return;
    }
    int w = client.right, h = client.bottom;
    // The client-sized memory surface stays from paint to paint; a paint
    // draws and copies only what is invalid.
    if (!m_memDC || m_memWidth != w || m_memHeight != h) {
        DropMemorySurface();
        make_surface(pdc, w, h, m_memDC, m_memBitmap, m_memOld, m_memWidth, m_memHeight);
    }
    HDC mem = m_memDC;
    SetBkMode(mem, TRANSPARENT);
    if (m_options & EDOPT_RULED_LINES) {
        PrepareBackground(pdc, w, h);
        BitBlt(mem, 0, 0, w, h, m_bgDC, 0, 0, SRCCOPY);
    }
    DrawAllRows(mem, pdc, client);
    if ((m_options & EDOPT_HIDE_POINTER) && m_pointerCountdown > 0) {
        int right =
            m_data->m_disp.m_layout[0] == 2 ? m_data->m_disp.m_wrapWidth + m_baseLeft : w - m_rightMargin;
        RECT frame{m_baseLeft - 10, m_baseTop - 10, right + 10, h - m_bottomMargin + 10};
        HBRUSH b = CreateSolidBrush(m_data->m_disp.m_colors[12]);
        FrameRect(mem, &frame, b);
        DeleteObject(b);
    }
    const RECT& part = ps.rcPaint;
    BitBlt(pdc, part.left, part.top, part.right - part.left, part.bottom - part.top, mem, part.left, part.top,
           SRCCOPY);
    EndPaint(m_hWnd, &ps);
    m_paintedBg = bg;
}

void CEditCtrl::DrawAllRows(HDC dc, HDC visDC, const RECT& client) {
    CEditDispData& d = m_data->m_disp;
    SetBkColor(dc, d.m_colors[3]);
    SelectObject(dc, m_fonts[0].m_hObject);
    DrawRuler(dc, client, visDC);
    SelectObject(dc, m_fonts[0].m_hObject);
    int hpos = GetScrollPosition(SB_HORZ);
    int first = GetFirstVisibleLine(), last = GetLastVisibleLine();
    int y = first < m_data->GetLineCount() ? LineToY(first) : m_topMargin;
    for (int line = first; line <= last && line < m_data->GetLineCount(); line++) {
        y = DrawLine(dc, visDC, hpos, y, line, client);
        if (y >= client.bottom) break;
    }
    if (m_options & EDOPT_ROW_UNDERLINE) DrawCurrentRowUnderline(dc, client);
    RECT rest{0, std::max<int>(y, m_topMargin), client.right, client.bottom};
    FillBackground(dc, rest, d.m_colors[3]);
    RECT strip{0, 0, client.right, m_baseTop};
    FillBackground(dc, strip, d.m_colors[3]);
}

int CEditCtrl::DrawLine(HDC dc, HDC visDC, int hpos, int y, int line, const RECT& client) {
    CEditDispData& d = m_data->m_disp;
    EditLine* l = m_data->GetLine(line);
    int rows = std::max(l->rowCount, 1);
    int next = y + m_rowPitch * rows;
    int bottom = std::min<int>(client.bottom - m_bottomMargin, next);
    RECT band{0, y, client.right, bottom};
    if (y >= client.bottom || bottom <= m_topMargin || !RectVisible(visDC, &band)) return next;

    const char16_t* t = l->text;
    const int length = l->length - 1;
    LinePaintEntry& e = d.m_paintCache.For(line);
    const uint32_t carried = l->lexFlags & LEXF_CARRIED;
    bool valid = e.line == l && e.index == line && !(l->lexFlags & LEXF_CHANGED) && e.carried == carried &&
                 e.depth == l->depth && e.count == length + 1;
    if (!valid) {
        int n = length + 1;
        if (e.capacity < n) {
            int cap = (n / 1024 + 1) * 1024;
            auto* a =
                static_cast<CharAttr*>(std::realloc(e.attrs, static_cast<size_t>(cap) * sizeof(CharAttr)));
            if (!a) return next;
            e.attrs = a;
            e.capacity = cap;
        }
        CharAttr* a = e.attrs;
        std::memset(a, 0, static_cast<size_t>(n) * sizeof(CharAttr));
        e.count = n;
        // The colour pass (colours are table indexes here).
        const CStrToken* tok = m_data->m_token;
        CStrToken* ktok = m_data->m_token;
        const bool plain = (m_options & EDOPT_PLAIN_TEXT) != 0;
        const bool tagRule = (m_options & EDOPT_TAG_RULE) != 0;
        const bool depths = (m_options & EDOPT_DEPTH_COLORS) != 0;
        bool inComment = !plain && (l->lexFlags & LEXF_IN_COMMENT);
        bool inTag = tagRule && (l->lexFlags & LEXF_IN_TAG);
        int depth = depths ? l->depth : 0;
        auto paint = [&](int from, int to, uint32_t color) {
            for (int k = from; k < to && k < length; k++) a[k].color = color;
        };
        int i = 0;
        if (char16_t close = plain ? 0 : lexf_closer(l->lexFlags)) {
            // The rest of a q-quoted literal opened on an earlier line.
            i = q_quote_rest(t, close, 1, nullptr);
            paint(0, i, 5);
        }
        while (i < length) {
            if (inComment) {
                int j = i;
                while (j < length && !starts_with(t + j, tok->m_blockEnd, tok->m_blockEndLength)) j++;
                if (j >= length) {
                    paint(i, length, 2);
                    break;
                }
                j += tok->m_blockEndLength;
                paint(i, j, 2);
                i = j;
                inComment = false;
                continue;
            }
            char16_t c = t[i];
            if (!plain) {
                if (tagRule && c == u'<' && !starts_with(t + i, tok->m_blockStart, tok->m_blockStartLength)) {
                    inTag = true;
                    a[i++].color = 9;
                    continue;
                }
                if (tagRule && c == u'>' && inTag) {
                    inTag = false;
                    a[i++].color = 9;
                    continue;
                }
                if (c < 256 && tok->m_lexState[c]) {
                    bool lineComment = false;
                    for (int k = 0; k < tok->m_lineCommentCount; k++)
                        if (starts_with(t + i, tok->m_lineComment[k], tok->m_lineCommentLength[k]))
                            lineComment = true;
                    if (lineComment) {
                        paint(i, length, 2);
                        break;
                    }
                    if (starts_with(t + i, tok->m_blockStart, tok->m_blockStartLength)) {
                        paint(i, i + tok->m_blockStartLength, 2);
                        i += tok->m_blockStartLength;
                        inComment = true;
                        continue;
                    }
                    if (tok->isQuoteStart(t + i) && (!tagRule || inTag)) {
                        int q = std::max(tok->getQuotedLength(t + i, 1), 1);
                        paint(i, i + q, 5);
                        i += q;
                        continue;
                    }
                }
            }
            if (c < 256 && tok->m_delimiter[c]) {
                if (depths && c == u'(') {
                    a[i].color = 13 + depth % 3;
                    depth++;
                } else if (depths && c == u')' && depth > 0) {
                    depth--;
                    a[i].color = 13 + depth % 3;
                } else if (tok->m_operator[c]) {
                    a[i].color = 9;
                }
                i++;
                continue;
            }
            int n = tok->getPlainWordLength(t + i);
            if (n <= 0) n = 1;
            int row = ktok->findKeyword(t + i, n);
            if (row >= 0) {
                const KeywordEntry& k = ktok->m_keywords[row];
                int len = std::min(std::max(k.keyLength, n), length - i);
                paint(i, i + len, k.kind == 2 ? 10 : 1);
                i += len;
                continue;
            }
            i += n;
        }
        for (int k = 0; k < length; k++) {
            if (t[k] == u'\t')
                a[k].cls = kTab;
            else if (t[k] == 0x3000)
                a[k].cls = kWideSpace;
            else if (t[k] == u' ')
                a[k].cls = kSpace;
        }
        a[length].cls = kEnd;
        if (m_search.highlight && m_search.compiled) {
            int col = 0;
            while (col <= length) {
                int mlen = 0;
                int at = m_data->SearchLine(line, col, 1, &mlen, m_search.compiled);
                if (at < 0) break;
                int end = at + mlen;
                if (end > length) end = length + 1;
                for (int k = at; k < end; k++) a[k].flags |= kMatch;
                col = mlen > 0 ? at + mlen : at + 1;
            }
        }
        if (m_options & EDOPT_LINKS) edit_mark_links(t, length, a);
        e.line = l;
        e.index = line;
        e.carried = carried;
        e.depth = l->depth;
        l->lexFlags &= ~LEXF_CHANGED;
    }
    CharAttr* a = e.attrs;
    // Per-paint flags: selection and the matched bracket pair.
    bool stream = d.HasSelection() && !d.m_boxMode && !(d.m_selStart == d.m_selEnd);
    int selFrom = 0, selTo = 0;
    if (stream && line >= d.m_selStart.line && line <= d.m_selEnd.line) {
        selFrom = line == d.m_selStart.line ? d.m_selStart.col : 0;
        selTo = line == d.m_selEnd.line ? d.m_selEnd.col : length;
    } else if (d.HasSelection() && d.m_boxMode) {
        int l0, l1;
        int lo = std::min(d.m_selStart.line, d.m_selEnd.line),
            hi = std::max(d.m_selStart.line, d.m_selEnd.line);
        if (line >= lo && line <= hi && m_data->GetBoxColumns(line, &l0, &l1)) {
            selFrom = l0;
            selTo = l1;
        }
    }
    selTo = std::min(selTo, length);
    for (int k = selFrom; k < selTo; k++) a[k].flags |= kSelected;
    for (const EditPos& b : d.m_bracket)
        if (b.line == line && b.col >= 0 && b.col < length) a[b.col].flags |= kBracket;

    // The runs, row by row.
    const COLORREF* colors = d.m_colors;
    const int x0 = m_leftMargin - hpos * m_charWidth;
    const int right = client.right - m_rightMargin;
    const bool bgCache = m_bgDC != nullptr;
    CharWidthCache* widths = &d.m_widths;
    HGDIOBJ currentFont = m_fonts[0].m_hObject;
    SelectObject(dc, currentFont);
    for (int r = 0; r < rows; r++) {
        int rowTop = y + r * m_rowPitch;
        if (rowTop >= client.bottom - m_bottomMargin) break;
        if (rowTop + m_rowPitch <= m_topMargin) continue;
        int from = RowStartOffset(line, r), to = RowEndOffset(line, r);
        if (to > length) to = length;
        int x = x0;
        int k = from;
        while (k < to && x < right) {
            CharAttr at = a[k];
            int n = 1;
            if (utf16_is_high_surrogate(t[k]) && k + 1 < to) n = 2;
            while (k + n < to && a[k + n] == at && at.cls != kTab && at.cls != kWideSpace) n++;
            if (n < to - k && utf16_is_high_surrogate(t[k + n - 1])) n++;
            bool selected = at.flags & kSelected;
            COLORREF text = colors[at.color & 15];
            COLORREF back = selected ? colors[7] : (at.flags & kMatch) ? colors[6] : colors[3];
            if (selected && !(m_options & EDOPT_KEEP_SEL_COLOR)) text ^= 0xFFFFFF;
            SetTextColor(dc, text);
            SetBkColor(dc, back);
            HGDIOBJ font = (at.flags & kLink)      ? m_fonts[1].m_hObject
                           : (at.flags & kBracket) ? m_fonts[2].m_hObject
                                                   : m_fonts[0].m_hObject;
            if (font != currentFont) SelectObject(dc, currentFont = font);
            RECT clip{x, rowTop, right, rowTop + m_rowPitch};
            UINT opts = bgCache && back == colors[3] ? 0 : ETO_OPAQUE;
            int startX = x;
            if ((m_options & EDOPT_SMOOTH) && m_trueType) {
                x = edit_draw_run_smooth(this, dc, t + k, n, clip, text, back);
            } else {
                x = textdraw_draw_run(FALSE, dc, visDC, reinterpret_cast<const WCHAR*>(t + k), n, &clip,
                                      widths, x0, opts, m_textOffset, 0);
            }
            if (x <= startX && n > 0) x = startX + 1;
            HPEN pen = nullptr;
            if ((at.cls == kSpace && (m_options & EDOPT_SPACE_MARKS)) ||
                (at.cls == kWideSpace && (m_options & EDOPT_WIDE_SPACE_MARKS)) ||
                (at.cls == kTab && (m_options & EDOPT_TAB_MARKS)))
                pen = pen_of(d, 0, 4);
            if (pen) {
                HGDIOBJ oldPen = SelectObject(dc, pen);
                int w = (x - startX) / n;
                int th = m_textHeight;
                for (int u = 0; u < n; u++) {
                    int cx = startX + u * w;
                    if (cx < m_leftMargin) continue;
                    if (at.cls == kSpace) {
                        int b = rowTop + th - 1;
                        POINT pts[4] = {{cx, b - 1}, {cx, b}, {cx + w - 2, b}, {cx + w - 2, b - 2}};
                        Polyline(dc, pts, 4);
                    } else if (at.cls == kWideSpace) {
                        POINT pts[5] = {{cx + 1, rowTop + 2},
                                        {cx + w - 2, rowTop + 2},
                                        {cx + w - 2, rowTop + th - 2},
                                        {cx + 1, rowTop + th - 2},
                                        {cx + 1, rowTop + 2}};
                        Polyline(dc, pts, 5);
                    } else {
                        int xw = widths->Advance(widths->GetWidth(dc, u'x', nullptr));
                        int m = rowTop + th / 2;
                        int tip = startX + xw - xw / 4 - 1;
                        line_to(dc, tip, m, startX + xw / 4, m + th / 4);
                        line_to(dc, tip, m, startX + xw / 4, m - th / 4);
                    }
                }
                SelectObject(dc, oldPen);
            }
            k += n;
        }
        if (currentFont != m_fonts[0].m_hObject) SelectObject(dc, currentFont = m_fonts[0].m_hObject);
        edit_draw_row_end(this, dc, line, r, rows, rowTop, x, client, a[length].flags & kMatch);
    }
    // The highlighted bracket cells.
    for (const EditPos& b : d.m_viewPos) {
        if (b.line != line || b.col < 0 || b.col > length) continue;
        CPoint p = PosToPoint(b);
        int adv = widths->Advance(widths->GetWidth(dc, t[b.col] ? t[b.col] : u' ', nullptr));
        RECT cell{p.x, p.y + m_textOffset, p.x + adv, p.y + m_textOffset + m_textHeight};
        if (p.y >= m_topMargin) InvertRect(dc, &cell);
    }
    if (stream)
        for (int k = 0; k <= length; k++) a[k].flags &= static_cast<uint8_t>(~kSelected);
    else
        for (int k = selFrom; k < selTo; k++) a[k].flags &= static_cast<uint8_t>(~kSelected);
    for (const EditPos& b : d.m_bracket)
        if (b.line == line && b.col >= 0 && b.col < length) a[b.col].flags &= static_cast<uint8_t>(~kBracket);
    return next;
}

// The end of a display row: the rest of the row, the line-end cell and
// marks, the left margin and the line number.
void edit_draw_row_end(CEditCtrl* w, HDC dc, int line, int row, int rows, int y, int xEnd, const RECT& client,
                       bool endMatch) {
    CEditDispData& d = w->m_data->m_disp;
    const COLORREF* colors = d.m_colors;
    if (y + w->m_rowPitch <= w->m_topMargin) return;
    RECT rest{std::max(xEnd, w->m_leftMargin), y, client.right, y + w->m_rowPitch};
    w->FillBackground(dc, rest, colors[3]);
    const bool last = row == rows - 1;
    const int textRight = client.right - w->m_rightMargin;
    if (xEnd >= w->m_leftMargin && xEnd < w->m_textArea.right) {
        if (last) {
            bool selected =
                d.HasSelection() && !d.m_boxMode && line >= d.m_selStart.line && line < d.m_selEnd.line;
            RECT cell{xEnd, y, std::min(xEnd + w->m_charWidth, textRight), y + w->m_rowPitch};
            if (selected)
                w->FillBackground(dc, cell, colors[7]);
            else if (endMatch)
                w->FillBackground(dc, cell, colors[6]);
        }
        int xw = d.m_widths.Advance(d.m_widths.GetWidth(dc, u'x', nullptr));
        int h = w->m_textHeight, m = y + h / 2, x = xEnd;
        bool fits = x + xw <= textRight && y + h <= client.bottom - w->m_bottomMargin && y >= w->m_topMargin;
        if (fits && ((last && (w->m_options & EDOPT_LINE_END_MARKS)) ||
                     (!last && (w->m_options & EDOPT_WRAP_MARKS)))) {
            HGDIOBJ oldPen = SelectObject(dc, pen_of(d, 0, 4));
            if (!last) {
                int tip = x + xw / 4;
                line_to(dc, tip, m, x + xw - w->m_charWidth / 4 - 1, m + h / 4);
                line_to(dc, tip, m, x + xw - w->m_charWidth / 4 - 1, m - h / 4);
            } else if (line == w->m_data->GetLineCount() - 1) {
                int tip = x + xw / 4 + 1;
                line_to(dc, x + 2 * xw - w->m_charWidth / 4 - 3, m, tip, m);
                line_to(dc, tip, m, tip + xw / 2, m + h / 4);
                line_to(dc, tip, m, tip + xw / 2, m - h / 4);
            } else {
                int sx = x + xw / 2 + 1;
                int top = y + h / 8 + 2, low = y + h - h / 8 - 2;
                line_to(dc, sx, top, sx, low);
                line_to(dc, sx, low, x + 2 * (xw / 2) + 1, low - h / 4);
                line_to(dc, sx, low, x + 1, low - h / 4);
            }
            SelectObject(dc, oldPen);
        }
    }
    RECT margin{0, y, w->m_leftMargin, y + w->m_rowPitch};
    w->FillBackground(dc, margin, colors[3]);
    if (w->m_options & EDOPT_LINE_NUMBERS) {
        EditPos caret = w->m_data->GetCaret();
        EditPos ro = w->PosToRowOffset(caret, 0);
        int displayRow = w->m_data->GetLine(line)->firstRow + row;
        bool caretRow = ro.line == displayRow;
        if (caretRow) {
            RECT col{w->m_baseLeft, y, w->m_leftMargin - w->m_digitWidth, y + w->m_rowPitch};
            w->FillBackground(dc, col, colors[7]);
        }
        if (row == 0) {
            char16_t num[16];
            char buf[16];
            int len = std::snprintf(buf, sizeof buf, "%d", line + 1);
            for (int i = 0; i <= len; i++) num[i] = static_cast<char16_t>(buf[i]);
            int nx = (w->m_digits - len + 1) * w->m_digitWidth + w->m_baseLeft;
            COLORREF fg = caretRow ? colors[1] : colors[8];
            if (caretRow && !(w->m_options & EDOPT_KEEP_SEL_COLOR)) fg ^= 0xFFFFFF;
            SetTextColor(dc, fg);
            SetBkColor(dc, caretRow ? colors[7] : colors[3]);
            SelectObject(dc, w->m_fonts[0].m_hObject);
            ExtTextOutW(dc, nx, y + w->m_textOffset, 0, nullptr, reinterpret_cast<LPCWSTR>(num),
                        static_cast<UINT>(len), nullptr);
        }
        HGDIOBJ oldPen = SelectObject(dc, pen_of(d, 1, 8));
        int sx = w->m_leftMargin - w->m_charWidth / 2 - 1;
        line_to(dc, sx, y, sx, y + w->m_rowPitch);
        SelectObject(dc, oldPen);
    }
}

void CEditCtrl::DrawCurrentRowUnderline(HDC dc, const RECT& client) {
    EditPos ro = PosToRowOffset(m_data->GetCaret(), 0);
    int vpos = GetScrollPosition(SB_VERT);
    int y = m_topMargin + (ro.line - vpos + 1) * m_rowPitch - 1;
    if (y < m_topMargin || y >= client.bottom) return;
    int right = client.right;
    if (m_data->m_disp.m_layout[0] == 2)
        right = std::min<int>(
            right, m_leftMargin + (m_data->m_disp.m_layout[4] - GetScrollPosition(SB_HORZ)) * m_charWidth);
    HGDIOBJ old = SelectObject(dc, pen_of(m_data->m_disp, 1, 8));
    line_to(dc, m_leftMargin, y, right, y);
    SelectObject(dc, old);
}

void CEditCtrl::DrawRuler(HDC dc, const RECT& client, HDC visDC) {
    if (!(m_options & EDOPT_RULER)) return;
    RECT band{0, 0, client.right, m_topMargin};
    if (visDC && !RectVisible(visDC, &band)) return;
    CEditDispData& d = m_data->m_disp;
    const COLORREF* colors = d.m_colors;
    int hpos = GetScrollPosition(SB_HORZ);
    int x0 = m_leftMargin - hpos * m_charWidth;
    int right = client.right - m_rightMargin;
    int top = m_baseTop, bottom = m_topMargin - 2;
    int baseY = m_topMargin - 3;
    CPoint cp = PosToPoint(m_data->GetCaret());
    int caretL = cp.x + 1, caretR = cp.x + m_charWidth;
    int wrapCol = d.m_layout[4];
    int segW = 10 * m_charWidth;
    RECT all{0, 0, client.right, m_topMargin};
    FillBackground(dc, all, colors[3]);
    HGDIOBJ oldPen = SelectObject(dc, pen_of(d, 1, 8));
    int endX = right;
    if (wrapCol != INT_MAX) endX = std::min<int>(endX, x0 + wrapCol * m_charWidth);
    for (int seg = 0;; seg++) {
        int sx = x0 + seg * segW;
        if (sx >= endX) break;
        if (sx + segW <= m_leftMargin) continue;
        // A segment's ticks reach one pixel past it (the next one's first tick).
        RECT seen{sx, 0, sx + segW + 1, m_topMargin};
        if (visDC && !RectVisible(visDC, &seen)) continue;
        RECT cell{std::max(sx, m_leftMargin), top, std::min(sx + segW, right), bottom};
        FillBackground(dc, cell, colors[3]);
        RECT caretCell{std::max<int>(caretL, cell.left), top, std::min<int>(caretR, cell.right), bottom};
        if (caretCell.right > caretCell.left) FillBackground(dc, caretCell, colors[7]);
        char buf[16];
        int len = std::snprintf(buf, sizeof buf, "%d", seg * 10);
        for (int k = 0; k < len; k++) {
            int dx = sx + 2 + k * m_charWidth;
            if (dx < m_leftMargin || dx + m_charWidth > right) continue;
            bool over = dx < caretR && dx + m_charWidth > caretL;
            COLORREF fg = over ? colors[1] : colors[8];
            if (over && !(m_options & EDOPT_KEEP_SEL_COLOR)) fg ^= 0xFFFFFF;
            SetTextColor(dc, fg);
            SetBkColor(dc, over ? colors[7] : colors[3]);
            char16_t ch = static_cast<char16_t>(buf[k]);
            ExtTextOutW(dc, dx, top + m_textOffset, 0, nullptr, reinterpret_cast<LPCWSTR>(&ch), 1, nullptr);
        }
        for (int c = 0; c < 10; c++) {
            int tx = sx + c * m_charWidth;
            if (tx < m_leftMargin || tx >= endX) continue;
            int hgt = c == 0 ? baseY - top : c == 5 ? m_rowPitch / 2 : m_rowPitch / 4;
            line_to(dc, tx, baseY, tx, baseY - hgt);
        }
    }
    line_to(dc, std::max(x0, m_leftMargin), baseY, endX, baseY);
    line_to(dc, m_baseLeft, baseY, m_leftMargin, baseY);
    SelectObject(dc, oldPen);
}

// Glyph by glyph with gray-scale smoothing: the coverage blends the text
// colour into the background.
int edit_draw_run_smooth(CEditCtrl* w, HDC dc, const char16_t* text, int n, const RECT& clip, COLORREF fg,
                         COLORREF bg) {
    CharWidthCache& widths = w->m_data->m_disp.m_widths;
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    int x = clip.left;
    int tabStop = widths.TabStopWidth();
    MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    unsigned char stackBuf[8192];
    for (int i = 0; i < n && x < clip.right;) {
        int units = 1;
        uint32_t cp = utf16_decode(text + i, &units);
        int adv;
        if (cp == u'\t')
            adv = textdraw_tab_advance(x, w->m_leftMargin - w->GetScrollPosition(SB_HORZ) * w->m_charWidth,
                                       tabStop, widths.Advance(widths.GetWidth(dc, u' ', nullptr)));
        else
            adv = widths.Advance(widths.GetWidth(dc, cp, nullptr));
        RECT cell{x, clip.top, std::min<int>(x + adv, clip.right), clip.bottom};
        w->FillBackground(dc, cell, bg);
        if (cp != u' ' && cp != u'\t') {
            GLYPHMETRICS gm{};
            DWORD size = GetGlyphOutlineW(dc, cp, GGO_GRAY8_BITMAP, &gm, 0, nullptr, &identity);
            if (size != GDI_ERROR && size > 0) {
                unsigned char* buf =
                    size <= sizeof stackBuf ? stackBuf : static_cast<unsigned char*>(std::malloc(size));
                if (buf &&
                    GetGlyphOutlineW(dc, cp, GGO_GRAY8_BITMAP, &gm, size, buf, &identity) != GDI_ERROR) {
                    int pitch = (static_cast<int>(gm.gmBlackBoxX) + 3) & ~3;
                    for (int row = 0; row < static_cast<int>(gm.gmBlackBoxY); row++) {
                        for (int col = 0; col < static_cast<int>(gm.gmBlackBoxX); col++) {
                            int b = buf[row * pitch + col];
                            if (b <= 0) continue;
                            int px = x + gm.gmptGlyphOrigin.x + col;
                            int py = clip.top + w->m_textOffset + tm.tmAscent - gm.gmptGlyphOrigin.y + row;
                            if (px < clip.left || px >= clip.right || py < clip.top || py >= clip.bottom)
                                continue;
                            auto mix = [&](int shift) {
                                int t = (fg >> shift) & 0xFF, g = (bg >> shift) & 0xFF;
                                return static_cast<COLORREF>((b * t / 64 + (64 - b) * g / 64) & 0xFF)
                                       << shift;
                            };
                            SetPixel(dc, px, py, mix(0) | mix(8) | mix(16));
                        }
                    }
                }
                if (buf && buf != stackBuf) std::free(buf);
            }
        }
        x += adv;
        i += units;
    }
    return std::min<int>(x, clip.right);
}

// ---------------------------------------------------------------------------
// Invalidation

int CEditCtrl::LineToY(int line) {
    if (line >= m_data->GetLineCount()) return 0;
    return (RowOfLine(line) - GetScrollPosition(SB_VERT)) * m_rowPitch + m_topMargin;
}

int CEditCtrl::GetFirstVisibleLine() {
    return LineOfRow(GetScrollPosition(SB_VERT));
}

int CEditCtrl::GetLastVisibleLine() {
    int row = GetScrollPosition(SB_VERT) + m_pageRows - 1;
    if (row >= DisplayRows()) return m_data->GetLineCount() - 1;
    return LineOfRow(row);
}

void CEditCtrl::InvalidateLine(int line) {
    if (!m_hWnd || !m_data) return;
    if (line < GetFirstVisibleLine() || line > GetLastVisibleLine()) return;
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    int y = LineToY(line);
    int rows = std::max(m_data->GetLine(line)->rowCount, 1);
    int top = std::max(y, m_topMargin), bottom = std::min<int>(y + rows * m_rowPitch, client.bottom);
    if (bottom <= top) return;
    RECT r{m_leftMargin, top, client.right, bottom};
    ::InvalidateRect(m_hWnd, &r, TRUE);
    RECT margin{0, top, m_baseLeft, bottom};
    ::InvalidateRect(m_hWnd, &margin, TRUE);
}

void CEditCtrl::InvalidateMarginRow(int row) {
    if (!m_hWnd) return;
    int vpos = GetScrollPosition(SB_VERT);
    if (row < vpos || row >= vpos + m_pageRows) return;
    int y = (row - vpos) * m_rowPitch + m_topMargin;
    RECT r{0, y, m_leftMargin, y + m_rowPitch};
    ::InvalidateRect(m_hWnd, &r, TRUE);
}

void CEditCtrl::InvalidateRulerColumn(int x) {
    if (!m_hWnd || !(m_options & EDOPT_RULER)) return;
    if (x < m_textArea.left || x >= m_textArea.right) return;
    RECT r{x, 0, x + m_charWidth, m_topMargin};
    ::InvalidateRect(m_hWnd, &r, TRUE);
}

void CEditCtrl::RedrawLinesLocal(int first, int last) {
    if (!m_hWnd || !m_data) return;
    if (first > last) std::swap(first, last);
    first = std::max(first, GetFirstVisibleLine());
    last = std::min(last, GetLastVisibleLine());
    for (int l = first; l <= last; l++) InvalidateLine(l);
}

void CEditCtrl::RedrawLines(int first, int last) {
    Broadcast(EDM_REDRAWLINES, static_cast<WPARAM>(first), static_cast<LPARAM>(last));
    RedrawLinesLocal(first, last);
}

void CEditCtrl::RedrawLineBroadcast(int line) {
    Broadcast(EDM_REDRAWLINE, static_cast<WPARAM>(line), 0);
    InvalidateLine(line);
}

void CEditCtrl::LinesChanged(int oldLines, int passThrough, int oldRows, int line) {
    RelayoutLines(oldLines, oldRows, line, 1);
    int four[4] = {oldLines, passThrough, oldRows, line};
    Broadcast(EDM_LINESCHANGED, reinterpret_cast<WPARAM>(four), 0);
}

void CEditCtrl::RelayoutLines(int oldLines, int oldRows, int line, int remeasure) {
    if (!m_hWnd || !m_data) return;
    int lines = m_data->GetLineCount();
    int caretLine = m_data->GetCaret().line;
    EditLine* cl = m_data->GetLine(caretLine);
    if (lines == oldLines && cl != m_data->m_widestLine) {
        int rows = remeasure ? MeasureLineRows(caretLine) : cl->rowCount;
        if (m_data->m_disp.m_clientDC) m_data->m_disp.m_clientDC->Release();
        if (rows != oldRows || rows != cl->rowCount) {
            cl->rowCount = rows;
            RebuildRowIndex(0, line, remeasure ? 1 : 0);
            Invalidate(TRUE);
        }
        UpdateScrollBars();
        InvalidateLine(caretLine);
        return;
    }
    RebuildRowIndex(0, line, remeasure ? std::max(lines - oldLines + 1, 2) : 0);
    if (lines == oldLines && remeasure) {
        // The widest line changed its width: find the widest again.
        m_data->FindWidestLine();
    }
    UpdateMargins();
    UpdateScrollBars();
    InvalidatePaintCache();
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    NotifyParent(EDN_LAYOUTCHANGED);
}
