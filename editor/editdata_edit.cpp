// Editing primitives of the text buffer: characters, line breaks, texts and
// ranges, with the undo records they write.
#include <windows.h>

#include "base/utf16.h"
#include "editor/editdata.h"
#include "editor/smartindent.h"
#include "editor/nodepool.h"

namespace {

void beep() {
    MessageBeep(MB_ICONEXCLAMATION);
}

bool is_break(char16_t c) {
    return c == u'\r' || c == u'\n';
}

// Length of the piece of text up to the next CR, LF or NUL. Almost every unit
// lies above CR, which one comparison settles.
int piece_length(const char16_t* p) {
    int n = 0;
    for (;;) {
        char16_t c = p[n];
        if (c > u'\r') {
            n++;
            continue;
        }
        if (c == 0 || c == u'\r' || c == u'\n') return n;
        n++;
    }
}

// Steps over one line break (CR LF counts as one).
const char16_t* skip_break(const char16_t* p) {
    if (p[0] == u'\r' && p[1] == u'\n') return p + 2;
    return p + 1;
}

} // namespace

int CEditData::ReserveRecord(uint64_t units) {
    if (!RecordOpen()) return 0;
    return m_undo->current->EnsureRoom(units);
}

void CEditData::AppendRecord(const char16_t* chars, int count) {
    if (RecordOpen()) m_undo->current->AppendText(chars, count);
}

int CEditData::InsertChar(uint32_t c) {
    if (c == u'\n') return 0;
    if (c > 0xFFFF) {
        char16_t pair[2] = {0, 0};
        int n = utf16_encode(c, pair);
        if (InsertChar(pair[0])) return 1;
        return n == 2 ? InsertChar(pair[1]) : 0;
    }
    if (m_limit > 0) {
        int size = GetTextSize();
        if (c == u'\r') {
            if (size + 2 > m_limit) {
                beep();
                return 1;
            }
        } else if (size + 1 > m_limit) {
            EditLine* line = m_lines.At(m_caretLine);
            if (utf16_is_low_surrogate(c) && m_caretCol > 0 &&
                utf16_is_high_surrogate(line->text[m_caretCol - 1])) {
                // The first half of a pair whose second half cannot follow goes,
                // unrecorded; an open insert record that ends with it is cut back.
                char16_t high = line->text[m_caretCol - 1];
                line->DeleteChars(m_caretCol - 1, 1);
                m_caretCol--;
                m_totalLength--;
                UndoRecord* rec = m_undo->current;
                if (m_undo->recordingType == EDIT_UNDO_INSERT && rec && rec->length > 0 &&
                    rec->text[rec->length - 1] == high)
                    rec->length--;
            }
            beep();
            return 1;
        }
    }
    if (c == u'\r') return InsertNewLine();
    if (ReserveRecord(1)) return 1;
    char16_t unit = static_cast<char16_t>(c);
    if (m_lines.At(m_caretLine)->InsertChars(m_caretCol, &unit, 1)) return 1;
    m_caretCol++;
    AppendRecord(&unit, 1);
    UpdateLineMark(m_caretLine);
    m_totalLength++;
    return 0;
}

int CEditData::InsertNewLine() {
    if (ReserveRecord(1)) return 1;
    EditLine* old = m_lines.At(m_caretLine);
    EditLine* line = EditLine::New();
    if (!line) return 1;
    int tail = old->length - 1 - m_caretCol;
    if (tail > 0 && line->InsertChars(0, old->text + m_caretCol, tail)) {
        line->Release();
        return 1;
    }
    if (m_lines.InsertLine(m_caretLine + 1, line)) {
        line->Release();
        return 1;
    }
    if (tail > 0) {
        old->DeleteChars(m_caretCol, tail);
        line->lexFlags = old->lexFlags;
        old->lexFlags = LEXF_CHANGED;
    }
    int id = CurrentStepId();
    old->modified = id;
    line->modified = id;
    m_caretLine++;
    m_caretCol = 0;
    AppendRecord(u"\r", 1);
    return 0;
}

int CEditData::DeletePrevChar() {
    EditLine* line = m_lines.At(m_caretLine);
    if (m_caretCol > 0) {
        if (ReserveRecord(1)) return 1;
        char16_t unit = line->text[m_caretCol - 1];
        line->DeleteChars(m_caretCol - 1, 1);
        m_caretCol--;
        m_totalLength--;
        AppendRecord(&unit, 1);
    } else if (m_caretLine == 0) {
        return 0;
    } else {
        if (ReserveRecord(1)) return 1;
        EditLine* prev = m_lines.At(m_caretLine - 1);
        int prevLength = prev->length - 1;
        if (prev->InsertChars(prevLength, line->text, line->length - 1)) return 1;
        prev->lexFlags = line->lexFlags | LEXF_CHANGED;
        bool widest = line == m_widestLine;
        m_lines.DeleteLine(m_caretLine);
        m_caretLine--;
        m_caretCol = prevLength;
        AppendRecord(u"\r", 1);
        if (widest) FindWidestLine();
    }
    UpdateLineMark(m_caretLine);
    return 0;
}

int CEditData::Backspace() {
    m_editCounter++;
    int result = 0;
    if (m_caretCol > 0 || m_caretLine > 0) {
        if (m_undo->recordingType != EDIT_UNDO_BACKSPACE || !m_undo->current) {
            if (m_undo->AddRecord(EDIT_UNDO_BACKSPACE, 0)) {
                m_goalColumn = -1;
                return 1;
            }
        }
        const EditLine* line = m_lines.At(m_caretLine);
        bool pair = m_caretCol >= 2 && utf16_is_low_surrogate(line->text[m_caretCol - 1]) &&
                    utf16_is_high_surrogate(line->text[m_caretCol - 2]);
        result = DeletePrevChar();
        if (result == 0 && pair) result = DeletePrevChar();
        m_undo->current->column = m_caretCol;
        m_undo->current->line = static_cast<uint32_t>(m_caretLine);
    }
    m_goalColumn = -1;
    Notify();
    return result;
}

int CEditData::DeleteNextChar() {
    m_editCounter++;
    EditLine* line = m_lines.At(m_caretLine);
    int length = line->length - 1;
    int result = 0;
    if (m_caretCol < length || m_caretLine < m_lines.count - 1) {
        if (m_undo->recordingType != EDIT_UNDO_DELETE || !m_undo->current) {
            if (m_undo->AddRecord(EDIT_UNDO_DELETE, 0)) {
                m_goalColumn = -1;
                return 1;
            }
        }
        if (m_caretCol < length) {
            int n = utf16_char_units(line->text + m_caretCol);
            char16_t units[2] = {line->text[m_caretCol], line->text[m_caretCol + 1]};
            if (ReserveRecord(n)) {
                result = 1;
            } else {
                line->DeleteChars(m_caretCol, n);
                m_totalLength -= n;
                AppendRecord(units, n);
                UpdateLineMark(m_caretLine);
            }
        } else {
            EditLine* next = m_lines.At(m_caretLine + 1);
            if (ReserveRecord(1) || line->InsertChars(length, next->text, next->length - 1)) {
                result = 1;
            } else {
                line->lexFlags = next->lexFlags | LEXF_CHANGED;
                bool widest = next == m_widestLine;
                m_lines.DeleteLine(m_caretLine + 1);
                AppendRecord(u"\r", 1);
                if (widest) FindWidestLine();
                UpdateLineMark(m_caretLine);
            }
        }
        m_undo->current->column = m_caretCol;
        m_undo->current->line = static_cast<uint32_t>(m_caretLine);
    }
    m_goalColumn = -1;
    Notify();
    return result;
}

int CEditData::InsertTextAtCaret(const char16_t* text) {
    if (!text || !*text) return 0;
    UndoRecord* rec = RecordOpen() ? m_undo->current : nullptr;
    if (rec) {
        // Room for the whole text first (a line break is one unit), so that
        // the record cannot fail once the lines have changed.
        uint64_t units = 0;
        for (const char16_t* p = text; *p; units++) p = is_break(*p) ? skip_break(p) : p + 1;
        if (ReserveRecord(units)) return 1;
    }
    uint64_t recLength = rec ? rec->length : 0;
    EditLine* line = m_lines.At(m_caretLine);
    int startCol = m_caretCol;
    int first = piece_length(text);
    if (line->InsertChars(m_caretCol, text, first)) return 1;
    m_totalLength += first;
    m_caretCol += first;
    AppendRecord(text, first);
    if (!text[first]) {
        line->modified = CurrentStepId();
        return 0;
    }
    // The lines after the first break, built detached and inserted at once.
    int made = 0, slots = 0;
    int64_t added = 0;
    int lastLength = 0;
    EditLine** lines = nullptr;
    bool failed = false;
    for (const char16_t* p = text + first; *p;) {
        p = skip_break(p);
        int k = piece_length(p);
        if (made == slots) {
            int more = slots ? slots * 2 : 256;
            auto** grown = static_cast<EditLine**>(
                edit_heap_realloc(lines, static_cast<size_t>(more) * sizeof(EditLine*)));
            if (!grown) {
                failed = true;
                break;
            }
            lines = grown;
            slots = more;
        }
        EditLine* fresh = EditLine::New();
        if (!fresh) {
            failed = true;
            break;
        }
        lines[made++] = fresh;
        if (fresh->InsertChars(0, p, k)) {
            failed = true;
            break;
        }
        added += k;
        lastLength = k;
        p += k;
    }
    if (failed || m_lines.InsertLines(lines, made - 1, lastLength, made, m_caretCol, m_caretLine)) {
        for (int i = 0; i < made; i++) lines[i]->Release();
        edit_heap_free(lines);
        line->DeleteChars(startCol, first);
        m_caretCol = startCol;
        m_totalLength -= first;
        if (rec) rec->length = recLength;
        return 1;
    }
    if (rec) {
        const char16_t* p = text + first;
        for (int i = 0; i < made; i++) {
            p = skip_break(p);
            int k = piece_length(p);
            AppendRecord(u"\r", 1);
            AppendRecord(p, k);
            p += k;
        }
    }
    m_totalLength += static_cast<int32_t>(added);
    int id = CurrentStepId();
    for (int i = m_caretLine; i <= m_caretLine + made; i++) m_lines.At(i)->modified = id;
    edit_heap_free(lines);
    m_caretLine += made;
    m_caretCol = lastLength;
    return 0;
}

int CEditData::InsertText(const char16_t* text, int forgetGoal) {
    m_editCounter++;
    if (text && *text) {
        if (m_undo->AddRecord(EDIT_UNDO_INSERT, 0)) {
            m_undo->recordingType = 0;
            m_goalColumn = -1;
            return 1;
        }
        m_undo->current->column = m_caretCol;
        m_undo->current->line = static_cast<uint32_t>(m_caretLine);
        int failed = 0;
        if (m_limit <= 0) {
            failed = InsertTextAtCaret(text);
        } else {
            char16_t prev = 0;
            for (const char16_t* p = text; *p && !failed; prev = *p, p++) {
                if (*p == u'\n') {
                    if (prev == u'\r') continue;
                    if (GetTextSize() + 2 > m_limit) {
                        beep();
                        failed = 1;
                    } else {
                        failed = InsertNewLine();
                    }
                } else {
                    failed = InsertChar(*p);
                }
            }
        }
        if (failed) {
            m_undo->recordingType = 0;
            m_goalColumn = -1;
            return 1;
        }
    }
    m_undo->recordingType = 0;
    if (forgetGoal) m_goalColumn = -1;
    Notify();
    return 0;
}

int CEditData::DeleteSpan(EditPos start, EditPos end) {
    EditLine* first = m_lines.At(start.line);
    if (start.line == end.line) {
        first->DeleteChars(start.col, end.col - start.col);
        m_totalLength -= end.col - start.col;
        return 0;
    }
    EditLine* last = m_lines.At(end.line);
    int firstLength = first->length - 1;
    int tail = last->length - 1 - end.col;
    if (tail > 0 && first->InsertChars(firstLength, last->text + end.col, tail)) return 1;
    int64_t deleted = static_cast<int64_t>(firstLength - start.col) + end.col;
    for (int i = start.line + 1; i < end.line; i++) deleted += m_lines.At(i)->length - 1;
    first->DeleteChars(start.col, firstLength - start.col);
    first->lexFlags = last->lexFlags | LEXF_CHANGED;
    bool widest = false;
    for (int i = start.line; i < end.line; i++) {
        if (m_lines.At(start.line + 1) == m_widestLine) widest = true;
        m_lines.DeleteLine(start.line + 1);
    }
    m_totalLength -= static_cast<int32_t>(deleted);
    if (widest) FindWidestLine();
    return 0;
}

int CEditData::DeleteRange(EditPos start, EditPos end, int record) {
    m_undo->recordingType = 0;
    m_editCounter++;
    OrderAndClamp(&start, &end);
    UndoRecord* rec = nullptr;
    if (record) {
        if (m_undo->AddRecord(EDIT_UNDO_DELETE, 0)) {
            m_undo->recordingType = 0;
            return 1;
        }
        rec = m_undo->current;
        rec->column = start.col;
        rec->line = static_cast<uint32_t>(start.line);
        m_undo->recordingType = 0;
        uint64_t units = static_cast<uint64_t>(GetRangeTextSize(start, end) / 2);
        if (rec->EnsureRoom(units)) return 1;
        const EditLine* first = m_lines.At(start.line);
        if (start.line == end.line) {
            rec->AppendText(first->text + start.col, end.col - start.col);
        } else {
            rec->AppendText(first->text + start.col, first->length - 1 - start.col);
            for (int i = start.line + 1; i < end.line; i++) {
                const EditLine* mid = m_lines.At(i);
                rec->AppendText(u"\r", 1);
                rec->AppendText(mid->text, mid->length - 1);
            }
            rec->AppendText(u"\r", 1);
            rec->AppendText(m_lines.At(end.line)->text, end.col);
        }
    }
    if (!(start == end) && DeleteSpan(start, end)) {
        if (rec) rec->length = 0;
        return 1;
    }
    m_caretCol = start.col;
    m_caretLine = start.line;
    if (record)
        m_lines.At(start.line)->modified = CurrentStepId();
    else
        UpdateLineMark(start.line);
    m_goalColumn = -1;
    Notify();
    return 0;
}

int CEditData::TypeChar(uint32_t c) {
    m_editCounter++;
    const bool indenting = m_autoIndent == 1 || m_autoIndent == 2;
    const bool smartTrigger = m_autoIndent == 2 && (c == u'\r' || c == u'{' || c == u'}' || c == u':');
    // A smart-indent trigger starts its own record, so that the character and
    // the re-indent it causes undo as one step.
    bool extend = m_undo->recordingType == EDIT_UNDO_INSERT && m_undo->current && !smartTrigger &&
                  (c == m_lastTyped || (!IsDelimiter(c) && !IsDelimiter(m_lastTyped)));
    UndoGroupGuard group(m_undo, false);
    if (!extend) {
        // The line break and its indent undo together.
        if ((indenting && c == u'\r') || (smartTrigger && m_undo->depth == 0)) {
            m_undo->BeginGroup(0);
            group.Arm();
        }
        if (m_undo->AddRecord(EDIT_UNDO_INSERT, 0)) {
            m_goalColumn = -1;
            return 1;
        }
        m_undo->current->column = m_caretCol;
        m_undo->current->line = static_cast<uint32_t>(m_caretLine);
    }
    m_lastTyped = c;
    int result = InsertChar(c);
    if (!result && smartTrigger) {
        SmartIndent::s_data = this;
        SmartIndent::OnChar(c);
    } else if (!result && m_autoIndent == 1 && c == u'\r' && m_caretLine > 0) {
        SmartIndent::s_data = this;
        SmartIndent::CopyIndent(m_caretLine - 1, 1, 0, SmartIndent::LastCodeChar(m_caretLine - 1) != 0);
    }
    m_goalColumn = -1;
    Notify();
    return result;
}
