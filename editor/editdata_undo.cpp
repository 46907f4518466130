// Undo and redo of the text buffer's records, and the per-line saved marks.
#include <new>

#include "editor/editdata.h"
#include "editor/nodepool.h"

void CEditData::ClearMarks() {
    for (int i = 0; i < m_lines.count; i++) m_lines.At(i)->modified = -1;
}

int CEditData::InsertAt(EditPos pos, const char16_t* text, int64_t count) {
    pos = ClampRange(pos);
    m_caretCol = pos.col;
    m_caretLine = pos.line;
    if (count <= 0) return 0;
    auto* copy = static_cast<char16_t*>(edit_heap_alloc(static_cast<size_t>(count + 1) * 2));
    if (!copy) return 1;
    for (int64_t i = 0; i < count; i++) copy[i] = text[i];
    copy[count] = 0;
    int result = InsertTextAtCaret(copy);
    edit_heap_free(copy);
    return result;
}

void CEditData::DeleteUnits(EditPos pos, int64_t count) {
    EditPos start = ClampRange(pos);
    EditPos end = start;
    AdvancePosition(&end, count);
    if (!(start == end)) DeleteSpan(start, end);
    m_caretCol = start.col;
    m_caretLine = start.line;
    UpdateLineMark(start.line);
}

int CEditData::Undo() {
    m_editCounter++;
    m_undo->recordingType = 0;
    if (!m_undo->current) return 1;
    m_undoState = 1;
    UndoRecord* head = m_undo->TopStep();
    UndoRecord* r = head;
    while (r && r->next) r = r->next;
    for (; r; r = r->previous) {
        EditPos pos{r->column, static_cast<int32_t>(r->line)};
        switch (r->type) {
        case EDIT_UNDO_INSERT:
            if (r->length) DeleteUnits(pos, static_cast<int64_t>(r->length));
            break;
        case EDIT_UNDO_BACKSPACE:
            if (r->length) {
                auto* reversed = static_cast<char16_t*>(edit_heap_alloc(r->length * 2));
                if (reversed) {
                    for (uint64_t i = 0; i < r->length; i++) reversed[i] = r->text[r->length - 1 - i];
                    InsertAt(pos, reversed, static_cast<int64_t>(r->length));
                    edit_heap_free(reversed);
                }
            }
            break;
        case EDIT_UNDO_DELETE:
            if (r->length) {
                InsertAt(pos, r->text, static_cast<int64_t>(r->length));
                pos = ClampRange(pos);
                m_caretCol = pos.col;
                m_caretLine = pos.line;
            }
            break;
        case EDIT_UNDO_CARET:
            pos = ClampPosition(pos);
            m_caretCol = pos.col;
            m_caretLine = pos.line;
            break;
        case EDIT_UNDO_SWAP: m_lines.SwapLines(static_cast<int>(r->line), r->column); break;
        default: break;
        }
        if (r == head) break;
    }
    m_goalColumn = -1;
    m_undo->StepBack();
    if (CurrentStepId() == m_savedStepId) ClearMarks();
    m_undoState = 0;
    Notify();
    return 0;
}

int CEditData::Redo() {
    m_editCounter++;
    m_undo->recordingType = 0;
    if (m_undo->StepForward()) return 1;
    m_undoState = 2;
    for (UndoRecord* r = m_undo->TopStep(); r; r = r->next) {
        EditPos pos{r->column, static_cast<int32_t>(r->line)};
        switch (r->type) {
        case EDIT_UNDO_INSERT:
            if (r->length) InsertAt(pos, r->text, static_cast<int64_t>(r->length));
            break;
        case EDIT_UNDO_BACKSPACE:
        case EDIT_UNDO_DELETE:
            if (r->length) DeleteUnits(pos, static_cast<int64_t>(r->length));
            break;
        case EDIT_UNDO_CARET:
            pos = ClampPosition(pos);
            m_caretCol = pos.col;
            m_caretLine = pos.line;
            break;
        case EDIT_UNDO_SWAP: m_lines.SwapLines(static_cast<int>(r->line), r->column); break;
        default: break;
        }
    }
    m_goalColumn = -1;
    if (CurrentStepId() == m_savedStepId) ClearMarks();
    m_undoState = 0;
    Notify();
    return 0;
}

void CEditData::UpdateLineMark(int line) {
    if (line < 0 || line >= m_lines.count) return;
    EditLine* l = m_lines.At(line);
    int id = CurrentStepId();
    if (m_undo->recordingType != 0) {
        if (l->modified == -1) l->modified = id;
    } else if (m_undoState == 1) {
        if (m_savedStepId < id) {
            if (l->modified == id) l->modified = -1;
        } else if (l->modified == -1) {
            l->modified = id;
        }
    } else if (m_undoState == 2) {
        if (m_savedStepId >= id) {
            if (l->modified == id) l->modified = -1;
        } else if (l->modified == -1) {
            l->modified = id;
        }
    }
}

int CEditData::MarkSaved() {
    ClearMarks();
    m_savedStepId = CurrentStepId();
    return m_savedStepId;
}

void CEditData::ClearUndo() {
    m_undo->Reinit();
    MarkSaved();
}

void CEditData::SetUnlimitedUndo() {
    auto* fresh = new (std::nothrow) UndoBuffer(INT_MAX, 64);
    if (!fresh) return;
    if (fresh->allocated == 0) {
        delete fresh;
        return;
    }
    delete m_undo;
    m_undo = fresh;
}

int CEditData::Reset() {
    m_disp.ClearSelection();
    ClearText();
    ClearUndo();
    return 0;
}

int CEditData::AddCaretRecord() {
    if (m_undo->AddRecord(EDIT_UNDO_CARET, 1)) return 1;
    m_undo->current->column = m_caretCol;
    m_undo->current->line = static_cast<uint32_t>(m_caretLine);
    m_undo->recordingType = EDIT_UNDO_CARET;
    return 0;
}

void CEditData::SwapLines(int a, int b) {
    m_editCounter++;
    m_lines.SwapLines(a, b);
    Notify();
}
