// Box (column) selections: their columns per line, their text, pasting a
// text as a box and deleting one, each as one undo step.
#include <algorithm>
#include <cstring>

#include "editor/editdata.h"
#include "editor/nodepool.h"

namespace {

void box_lines(const CEditDispData& disp, int caretLine, int* first, int* last) {
    if (disp.m_selStart.line == -1) {
        *first = *last = caretLine;
        return;
    }
    *first = std::min(disp.m_selStart.line, disp.m_selEnd.line);
    *last = std::max(disp.m_selStart.line, disp.m_selEnd.line);
}

} // namespace

int CEditData::GetBoxColumns(int line, int* left, int* right) {
    HDC dc = MeasureDC();
    const char16_t* text = GetLineText(line);
    int x0 = std::min(m_disp.m_boxX[0], m_disp.m_boxX[1]);
    int x1 = std::max(m_disp.m_boxX[0], m_disp.m_boxX[1]);
    *left = textdraw_column_at_x(text, &m_disp, dc, x0);
    *right = textdraw_column_at_x(text, &m_disp, dc, x1);
    return *right;
}

int CEditData::GetBoxTextSize() {
    int first, last;
    box_lines(m_disp, m_caretLine, &first, &last);
    int64_t units = 0;
    for (int line = first; line <= last; line++) {
        int left, right;
        GetBoxColumns(line, &left, &right);
        units += right - left + m_lineEndLength;
    }
    return static_cast<int>(units * 2 + 2);
}

void CEditData::CopyBoxText(char16_t* buffer) {
    int first, last;
    box_lines(m_disp, m_caretLine, &first, &last);
    for (int line = first; line <= last; line++) {
        int left, right;
        GetBoxColumns(line, &left, &right);
        std::memcpy(buffer, GetLineText(line) + left, static_cast<size_t>(right - left) * 2);
        buffer += right - left;
        *buffer++ = u'\n';
    }
    *buffer = 0;
}

void CEditData::PadToX(int x, HDC dc) {
    int w = textdraw_text_width(GetLineText(m_caretLine), &m_disp, dc, m_caretCol);
    CharWidthCache& cache = m_disp.m_widths;
    int s = cache.Advance(cache.GetWidth(dc, u' ', m_disp.m_clientDC));
    if (s <= 0 || s / 2 >= x - w) return;
    for (int n = (x - w) / s; n > 0; n--)
        if (TypeChar(u' ')) return;
}

int CEditData::PasteBox(const char16_t* text) {
    size_t units = 0;
    while (text[units]) units++;
    auto* copy = static_cast<char16_t*>(edit_heap_alloc((units + 1) * 2));
    if (!copy) return 1;
    std::memcpy(copy, text, (units + 1) * 2);
    const int x = std::min(m_disp.m_boxX[0], m_disp.m_boxX[1]);
    const bool hasWidth = m_disp.m_boxX[0] != m_disp.m_boxX[1];
    int first, last;
    box_lines(m_disp, m_caretLine, &first, &last);
    HDC dc = MeasureDC();

    m_undo->BeginGroup(0);
    UndoGroupGuard guard(m_undo, true);
    int result = 0;
    char16_t* piece = copy;
    // Cuts the next piece off the copy; null when none is left.
    auto next_piece = [&]() -> char16_t* {
        if (!piece || !*piece) return nullptr;
        char16_t* p = piece;
        char16_t* lf = p;
        while (*lf && *lf != u'\n') lf++;
        if (*lf) {
            piece = lf + 1;
            if (lf > p && lf[-1] == u'\r') lf--;
            *lf = 0;
        } else {
            piece = nullptr;
        }
        return p;
    };
    auto caret_to_x = [&](int line) {
        m_undo->recordingType = 0;
        EditPos p = ClampPosition(EditPos{textdraw_column_at_x(GetLineText(line), &m_disp, dc, x), line});
        m_caretCol = p.col;
        m_caretLine = p.line;
        m_goalColumn = -1;
    };
    for (int line = first; line <= last && !result; line++) {
        if (hasWidth) {
            int left, right;
            GetBoxColumns(line, &left, &right);
            if (DeleteRange(EditPos{left, line}, EditPos{right, line}, 1)) {
                result = 1;
                break;
            }
        } else {
            caret_to_x(line);
        }
        PadToX(x, dc);
        if (char16_t* p = next_piece())
            if (InsertText(p, 0)) result = 1;
    }
    while (!result) {
        char16_t* p = next_piece();
        if (!p) break;
        if (m_caretLine + 1 < m_lines.count) {
            caret_to_x(m_caretLine + 1);
        } else {
            m_undo->recordingType = 0;
            m_caretCol = GetLineLength(m_caretLine);
            if (InsertText(u"\n", 0)) {
                result = 1;
                break;
            }
        }
        PadToX(x, dc);
        if (InsertText(p, 0)) result = 1;
    }
    m_goalColumn = -1;
    edit_heap_free(copy);
    return result;
}

int CEditData::DeleteBox() {
    int first, last;
    box_lines(m_disp, m_caretLine, &first, &last);
    m_undo->BeginGroup(0);
    UndoGroupGuard guard(m_undo, true);
    int result = 0;
    for (int line = last; line >= first; line--) {
        int left, right;
        GetBoxColumns(line, &left, &right);
        if (DeleteRange(EditPos{left, line}, EditPos{right, line}, 1)) {
            result = 1;
            break;
        }
    }
    m_goalColumn = -1;
    return result;
}
