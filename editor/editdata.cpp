#include "editor/editdata.h"

#include <cstdlib>
#include <new>

#include "base/utf16.h"
#include "editor/nodepool.h"

namespace {

// True when the column sits between the two halves of a surrogate pair.
bool splits_pair(const EditLine* line, int col) {
    return col > 0 && col < line->length - 1 && utf16_is_high_surrogate(line->text[col - 1]) &&
           utf16_is_low_surrogate(line->text[col]);
}

} // namespace

void LexLineCache::Free() {
    if (states != inlineStates) std::free(states);
    states = inlineStates;
    capacity = 256;
    line = -1;
    classified = 0;
}

CEditData::CEditData() : m_token(&theStrToken) {
    ClearText();
    m_undo = new UndoBuffer(2, 2);
    m_savedStepId = CurrentStepId();
    editdata_init_regex_ops(this, &m_regexOps);
    m_disp.m_owner = this;
}

CEditData::~CEditData() {
    m_lines.FreeAll();
    delete m_undo;
    std::free(m_lineEndProhibited);
    std::free(m_lineStartProhibited);
}

void CEditData::ClearText() {
    while (m_lines.count > 1) m_lines.DeleteLine(m_lines.count - 1);
    if (m_lines.count == 0) {
        EditLine* line = EditLine::New();
        if (!line) throw std::bad_alloc();
        if (m_lines.InsertLine(0, line)) {
            line->Release();
            throw std::bad_alloc();
        }
    } else {
        EditLine* line = m_lines.At(0);
        if (!line->IsSharedText()) edittext_free(line->text);
        edittext_free(line->breaks);
        *line = EditLine{g_editEmptyText, 0, 1, 0, 0, 0, -1, 0, 1, nullptr, 0};
    }
    m_totalLength = 0;
    m_limit = -1;
    m_caretCol = m_caretLine = 0;
    m_widestLine = m_lines.At(0);
    m_widestWidth = 0;
    m_goalColumn = 0;
    SetLineEndType(LINEEND_CRLF);
    m_editCounter = 0;
}

void CEditData::SetLineEndType(uint32_t type) {
    if (type == LINEEND_LF || type == LINEEND_CR) {
        m_lineEndType = type;
        m_lineEnd[0] = type == LINEEND_LF ? u'\n' : u'\r';
        m_lineEnd[1] = 0;
        m_lineEndLength = 1;
    } else {
        m_lineEndType = LINEEND_CRLF;
        m_lineEnd[0] = u'\r';
        m_lineEnd[1] = u'\n';
        m_lineEnd[2] = 0;
        m_lineEndLength = 2;
    }
}

uint32_t CEditData::GetCharAt(int line, int column) const {
    if (line < 0 || line >= m_lines.count || column < 0) return 0;
    const EditLine* l = m_lines.At(line);
    if (column >= l->length) return 0;
    int units;
    return utf16_decode(l->text + column, &units);
}

uint32_t CEditData::GetCharAtCaret() const {
    const EditLine* l = m_lines.At(m_caretLine);
    int col = m_caretCol;
    if (splits_pair(l, col)) col--;
    return GetCharAt(m_caretLine, col);
}

uint32_t CEditData::GetCharBeforeCaret() {
    if (m_caretCol <= 0) return 0;
    const EditLine* l = m_lines.At(m_caretLine);
    int col = m_caretCol > l->length - 1 ? l->length - 1 : m_caretCol;
    if (col >= 2 && utf16_is_low_surrogate(l->text[col - 1]) && utf16_is_high_surrogate(l->text[col - 2]))
        return GetCharAt(m_caretLine, col - 2);
    return col > 0 ? l->text[col - 1] : 0;
}

EditPos CEditData::GetEndPosition() const {
    int last = m_lines.count - 1;
    return EditPos{GetLineLength(last), last};
}

EditPos CEditData::ClampPosition(EditPos pos) const {
    if (pos.line < 0) pos.line = 0;
    if (pos.line > m_lines.count - 1) pos.line = m_lines.count - 1;
    const EditLine* l = m_lines.At(pos.line);
    if (pos.col < 0) pos.col = 0;
    if (pos.col > l->length - 1) pos.col = l->length - 1;
    if (splits_pair(l, pos.col)) pos.col--;
    return pos;
}

EditPos CEditData::ClampRange(EditPos pos) const {
    if (pos.line < 0) pos.line = 0;
    if (pos.line > m_lines.count - 1) pos.line = m_lines.count - 1;
    const EditLine* l = m_lines.At(pos.line);
    if (pos.col < 0) pos.col = 0;
    if (pos.col > l->length - 1) pos.col = l->length - 1;
    return pos;
}

void CEditData::OrderAndClamp(EditPos* start, EditPos* end) const {
    *start = ClampPosition(*start);
    *end = ClampPosition(*end);
    if (*end < *start) {
        EditPos t = *start;
        *start = *end;
        *end = t;
    }
}

void CEditData::SetCaret(int line, int column) {
    m_undo->recordingType = 0;
    EditPos p = ClampPosition(EditPos{column, line});
    m_caretCol = p.col;
    m_caretLine = p.line;
    m_goalColumn = -1;
}

void CEditData::MoveCaretChars(int n) {
    if (n == 0) return;
    m_undo->recordingType = 0;
    EditPos p = GetCaret();
    StepPosition(&p, n);
    m_caretCol = p.col;
    m_caretLine = p.line;
    m_goalColumn = -1;
}

void CEditData::MoveCaretLines(int n) {
    if (n == 0) return;
    m_undo->recordingType = 0;
    EditPos p = GetCaret();
    StepPositionLines(&p, n);
    m_caretLine = p.line;
    m_caretCol = 0;
    m_goalColumn = -1;
}

void CEditData::CaretLeft() {
    if (m_caretCol == 0 && m_caretLine == 0) return;
    EditPos p = GetCaret();
    StepPosition(&p, -1);
    m_caretCol = p.col;
    m_caretLine = p.line;
}

void CEditData::StepPosition(EditPos* pos, int n) const {
    EditPos p = ClampPosition(*pos);
    int last = m_lines.count - 1;
    if (n > 0) {
        for (int i = 0; i < n; i++) {
            int len = GetLineLength(p.line);
            if (p.col < len) {
                p.col++;
            } else if (p.line < last) {
                p.col = 0;
                p.line++;
            } else {
                break;
            }
        }
        if (splits_pair(m_lines.At(p.line), p.col)) p.col++;
    } else if (n < 0) {
        for (int i = 0; i > n; i--) {
            if (p.col > 0) {
                p.col--;
            } else if (p.line > 0) {
                p.line--;
                p.col = GetLineLength(p.line);
            } else {
                break;
            }
        }
        if (splits_pair(m_lines.At(p.line), p.col)) p.col--;
    }
    *pos = p;
}

void CEditData::StepPositionLines(EditPos* pos, int n) const {
    int64_t line = static_cast<int64_t>(pos->line) + n;
    if (line < 0) line = 0;
    if (line > m_lines.count - 1) line = m_lines.count - 1;
    pos->line = static_cast<int32_t>(line);
    const EditLine* l = m_lines.At(pos->line);
    if (pos->col < 0) pos->col = 0;
    if (pos->col > l->length - 1) pos->col = l->length - 1;
    if (splits_pair(l, pos->col)) pos->col--;
}

void CEditData::SetWidestLine(int line) {
    m_widestLine = m_lines.At(line);
    m_widestWidth = m_widestLine->width;
}

void CEditData::FindWidestLine() {
    m_widestLine = m_lines.At(0);
    m_widestWidth = m_widestLine->width;
    for (int i = 1; i < m_lines.count; i++) {
        EditLine* l = m_lines.At(i);
        if (l->width > m_widestWidth) {
            m_widestLine = l;
            m_widestWidth = l->width;
        }
    }
}
