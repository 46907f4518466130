// Reading stream text out of the buffer.
#include "editor/editdata.h"

#include <cstring>

int CEditData::GetRangeTextSize(EditPos start, EditPos end) const {
    OrderAndClamp(&start, &end);
    if (start.line == end.line) return (end.col - start.col) * 2 + 2;
    int64_t units = GetLineLength(start.line) - start.col;
    for (int i = start.line + 1; i < end.line; i++) units += m_lineEndLength + GetLineLength(i);
    units += m_lineEndLength + end.col;
    return static_cast<int>(units * 2 + 2);
}

void CEditData::CopyRange(EditPos start, EditPos end, char16_t* buffer) const {
    OrderAndClamp(&start, &end);
    const EditLine* first = m_lines.At(start.line);
    if (start.line == end.line) {
        std::memcpy(buffer, first->text + start.col, static_cast<size_t>(end.col - start.col) * 2);
        buffer[end.col - start.col] = 0;
        return;
    }
    char16_t* out = buffer;
    int n = first->length - 1 - start.col;
    std::memcpy(out, first->text + start.col, static_cast<size_t>(n) * 2);
    out += n;
    for (int i = start.line + 1; i <= end.line; i++) {
        std::memcpy(out, m_lineEnd, static_cast<size_t>(m_lineEndLength) * 2);
        out += m_lineEndLength;
        const EditLine* line = m_lines.At(i);
        n = i == end.line ? end.col : line->length - 1;
        std::memcpy(out, line->text, static_cast<size_t>(n) * 2);
        out += n;
    }
    *out = 0;
}

void CEditData::AdvancePosition(EditPos* pos, int64_t n) const {
    EditPos p = ClampRange(*pos);
    int last = m_lines.count - 1;
    while (n > 0) {
        int64_t room = GetLineLength(p.line) - p.col;
        if (n <= room) {
            p.col += static_cast<int32_t>(n);
            break;
        }
        if (p.line >= last) {
            p.col = GetLineLength(p.line);
            break;
        }
        n -= room + 1;
        p.line++;
        p.col = 0;
    }
    *pos = p;
}
