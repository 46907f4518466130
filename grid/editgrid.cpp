#include "grid/editgrid.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "grid/gridfilter.h"

bool (*grid_rows_grow_hook)(size_t bytes) = nullptr;

namespace {

size_t Len16(const char16_t* s) {
    size_t n = 0;
    if (s)
        while (s[n]) ++n;
    return n;
}

// Stores bytes as the record's text (length in whole units, rounded up).
int SetRecordBytes(UndoRecord* rec, const void* data, size_t bytes) {
    if (rec->Reserve(bytes + 4)) return 1;
    if (bytes) std::memcpy(rec->text, data, bytes);
    rec->length = (bytes + 1) / 2;
    return 0;
}

const char16_t* RecordPointer(const UndoRecord* rec) {
    const char16_t* p = nullptr;
    if (rec->text && rec->length * 2 >= sizeof(p)) std::memcpy(&p, rec->text, sizeof(p));
    return p;
}

int RecordInt(const UndoRecord* rec) {
    int v = 0;
    if (rec->text && rec->length * 2 >= sizeof(v)) std::memcpy(&v, rec->text, sizeof(v));
    return v;
}

} // namespace

CEditableGridData::CEditableGridData() = default;

CEditableGridData::~CEditableGridData() {
    FreeRows();
}

void CEditableGridData::FreeRows() {
    delete m_undo;
    m_undo = nullptr;
    std::free(m_rows);
    m_rows = nullptr;
    delete m_modPool;
    delete m_textPool;
    delete m_extraPool;
    m_modPool = m_textPool = m_extraPool = nullptr;
    m_colFlags.clear();
    m_rowCount = m_capacity = m_gapStart = m_gapEnd = 0;
    m_insertedCount = m_deletedCount = m_updatedCount = 0;
}

int CEditableGridData::SetupRows(int rows, int cols) {
    FreeRows();
    // New rows start unfiltered: a condition and its row map belong to the
    // rows just freed, and the fresh ring has nothing that could restore it.
    if (m_filter) m_filter->DropCondition();
    m_filtered = 0;
    m_undo = new UndoBuffer(INT_MAX, 64);
    if (rows < 0) rows = 0;
    int cap = rows + m_setupMargin;
    if (cap <= 0) cap = 256;
    m_rows = static_cast<GridRow*>(std::calloc(static_cast<size_t>(cap), sizeof(GridRow)));
    if (!m_rows) return 1;
    m_capacity = cap;
    m_rowCount = m_gapStart = rows;
    m_gapEnd = cap;
    if (cols > 0) {
        m_modPool = new NodePool(static_cast<uint64_t>(std::max((cols + 7) / 8, 8)), 100);
        m_textPool = new NodePool(static_cast<uint64_t>(cols) * sizeof(char16_t*), 100);
        if (m_extraSize)
            m_extraPool = new NodePool(static_cast<uint64_t>(std::max<int64_t>(cols * m_extraSize, 8)), 100);
        m_colFlags.assign(static_cast<size_t>(cols), 7);
    }
    for (int i = 0; i < rows; ++i) m_rows[i].id = i;
    std::memset(&m_spare, 0, sizeof(m_spare));
    AllocColumnWidths();
    return 0;
}

GridRow* CEditableGridData::Row(int i) {
    if (i < 0 || i >= m_rowCount) {
        std::memset(&m_spare, 0, sizeof(m_spare));
        return &m_spare;
    }
    return i < m_gapStart ? &m_rows[i] : &m_rows[i + (m_gapEnd - m_gapStart)];
}

void CEditableGridData::MoveGap(int pos) {
    if (pos < m_gapStart) {
        int n = m_gapStart - pos;
        std::memmove(&m_rows[m_gapEnd - n], &m_rows[pos], static_cast<size_t>(n) * sizeof(GridRow));
        m_gapStart = pos;
        m_gapEnd -= n;
    } else if (pos > m_gapStart) {
        int n = pos - m_gapStart;
        std::memmove(&m_rows[m_gapStart], &m_rows[m_gapEnd], static_cast<size_t>(n) * sizeof(GridRow));
        m_gapStart = pos;
        m_gapEnd += n;
    }
}

int CEditableGridData::Grow() {
    int64_t cap = m_capacity == 0 ? 256 : (m_capacity >= 1048576 ? m_capacity + 1048576 : m_capacity * 2);
    if (cap > INT_MAX) return 1;
    size_t bytes = static_cast<size_t>(cap) * sizeof(GridRow);
    if (grid_rows_grow_hook && !grid_rows_grow_hook(bytes)) return 1;
    MoveGap(m_rowCount);
    auto* rows = static_cast<GridRow*>(std::realloc(m_rows, bytes));
    if (!rows) return 1;
    m_rows = rows;
    m_capacity = static_cast<int>(cap);
    m_gapEnd = m_capacity;
    return 0;
}

int CEditableGridData::InsertEmptyRows(int afterRow, int count) {
    if (afterRow < -1) afterRow = -1;
    if (afterRow >= m_rowCount) afterRow = m_rowCount - 1;
    int added = 0;
    for (int i = 0; i < count; ++i) {
        if (m_rowCount + m_growMargin >= m_capacity && Grow()) break;
        GridRow row{};
        row.id = -1;
        row.flags = GROW_INSERTED;
        if (m_modPool) {
            row.modified = static_cast<uint8_t*>(m_modPool->Take());
            if (!row.modified) break;
            std::memset(row.modified, 0, static_cast<size_t>(m_modPool->NodeSize()));
        }
        if (m_extraPool) {
            row.extra = m_extraPool->Take();
            if (row.extra) std::memset(row.extra, 0, static_cast<size_t>(m_extraPool->NodeSize()));
        }
        MoveGap(afterRow + 1 + i);
        m_rows[m_gapStart++] = row;
        ++m_rowCount;
        ++m_insertedCount;
        ++added;
    }
    return added;
}

void CEditableGridData::RemoveRowRaw(int row) {
    if (row < 0 || row >= m_rowCount) return;
    GridRow* r = Row(row);
    uint8_t f = r->flags;
    if (f & GROW_DELETED)
        --m_deletedCount;
    else if (f & GROW_INSERTED)
        --m_insertedCount;
    else if (f & GROW_UPDATED)
        --m_updatedCount;
    if (m_modPool) m_modPool->Give(r->modified);
    if (m_textPool) m_textPool->Give(r->texts);
    if (m_extraPool) m_extraPool->Give(r->extra);
    MoveGap(row + 1);
    --m_gapStart;
    --m_rowCount;
}

void CEditableGridData::SetUpdated(GridRow* r) {
    if (r->flags & GROW_UPDATED) return;
    r->flags |= GROW_UPDATED;
    if (!(r->flags & (GROW_DELETED | GROW_INSERTED))) ++m_updatedCount;
}

void CEditableGridData::ClearUpdated(GridRow* r) {
    if (!(r->flags & GROW_UPDATED)) return;
    r->flags &= static_cast<uint8_t>(~GROW_UPDATED);
    if (!(r->flags & (GROW_DELETED | GROW_INSERTED))) --m_updatedCount;
}

void CEditableGridData::ToggleDeleted(GridRow* r) {
    bool updated = (r->flags & GROW_UPDATED) && !(r->flags & GROW_INSERTED);
    if (r->flags & GROW_DELETED) {
        r->flags &= static_cast<uint8_t>(~GROW_DELETED);
        --m_deletedCount;
        if (updated) ++m_updatedCount;
        if (r->flags & GROW_INSERTED) ++m_insertedCount;
    } else {
        r->flags |= GROW_DELETED;
        ++m_deletedCount;
        if (updated) --m_updatedCount;
        if (r->flags & GROW_INSERTED) --m_insertedCount;
    }
}

int CEditableGridData::EnsureNodes(GridRow* r) {
    if (!m_textPool || !m_modPool) return 1;
    if (!r->texts) {
        r->texts = static_cast<const char16_t**>(m_textPool->Take());
        if (!r->texts) return 1;
        std::memset(r->texts, 0, static_cast<size_t>(m_textPool->NodeSize()));
    }
    if (!r->modified) {
        r->modified = static_cast<uint8_t*>(m_modPool->Take());
        if (!r->modified) return 1;
        std::memset(r->modified, 0, static_cast<size_t>(m_modPool->NodeSize()));
    }
    return 0;
}

int CEditableGridData::AddRecord(int type, int row, int col, int chained) {
    if (!m_undo) return 1;
    if (m_undo->AddRecord(type, chained)) return 1;
    m_undo->current->line = static_cast<uint32_t>(row);
    m_undo->current->column = col;
    return 0;
}

int CEditableGridData::GetRowCount() {
    return m_rowCount;
}

const char16_t* CEditableGridData::GetText(int row, int col) {
    if (col < 0 || col >= static_cast<int>(m_colFlags.size())) return u"";
    if (row >= 0 && row < m_rowCount) {
        GridRow* r = Row(row);
        if (r->texts && r->texts[col]) return r->texts[col];
        if (r->flags & GROW_INSERTED) return u"";
    }
    const char16_t* t = GetOriginalText(row, col);
    return t ? t : u"";
}

int CEditableGridData::IsEditable() {
    return 1;
}
int CEditableGridData::CanMarkRows() {
    return 1;
}
int CEditableGridData::GetColType(int, int) {
    return 1;
}
int CEditableGridData::IsColNullable(int) {
    return 1;
}
int CEditableGridData::GetRowHeaderWidth() {
    return 7;
}
const char16_t* CEditableGridData::GetRowHeaderText(int row) {
    return FormatStateRowHeader(row, row, this);
}

int CEditableGridData::IsCellEditable(int row, int col) {
    if (col < 0 || col >= static_cast<int>(m_colFlags.size()) || row < 0 || row >= m_rowCount) return 0;
    int32_t f = m_colFlags[static_cast<size_t>(col)];
    return (f & 1) || ((f & 4) && IsInsertedRow(row));
}

int CEditableGridData::IsRowEditable(int row) {
    if (row < 0 || row >= m_rowCount) return 0;
    return IsInsertedRow(row) ? 1 : m_rowsEditable;
}

int CEditableGridData::CanInsertRows() {
    return m_rowsInsertable;
}

int CEditableGridData::IsCellModified(int row, int col) {
    if (row < 0 || row >= m_rowCount || col < 0 || col >= static_cast<int>(m_colFlags.size())) return 0;
    GridRow* r = Row(row);
    return r->modified ? (r->modified[col / 8] >> (col % 8)) & 1 : 0;
}

int CEditableGridData::IsNullRow(int row) {
    int cols = GetColCount();
    for (int c = 0; c < cols; ++c)
        if (!IsNull(row, c)) return 0;
    return 1;
}

int CEditableGridData::IsInsertedRow(int row) {
    uint8_t f = Row(row)->flags;
    return (f & GROW_INSERTED) && !(f & GROW_DELETED);
}
int CEditableGridData::IsUpdatedRow(int row) {
    uint8_t f = Row(row)->flags;
    return (f & GROW_UPDATED) && !(f & (GROW_DELETED | GROW_INSERTED));
}
int CEditableGridData::IsDeletedRow(int row) {
    return (Row(row)->flags & GROW_DELETED) ? 1 : 0;
}

int CEditableGridData::IsModified() {
    return m_undo && m_undo->TopStep() ? 1 : 0;
}

int CEditableGridData::SetText(int row, int col, const char16_t* text, int length) {
    return SetTextWithUndo(row, col, text, length);
}

int CEditableGridData::SetTextWithUndo(int row, int col, const char16_t* text, int length) {
    if (row < 0 || row >= m_rowCount || col < 0 || col >= static_cast<int>(m_colFlags.size()) || !m_undo)
        return 1;
    if (!text) text = u"";
    size_t len = length < 0 ? Len16(text) : static_cast<size_t>(length);
    const char16_t* cur = GetText(row, col);
    if (Len16(cur) == len && std::memcmp(cur, text, len * sizeof(char16_t)) == 0) return 0;
    if (len > static_cast<size_t>(std::max(0, GetMaxInputLen(row, col)))) {
        if (m_beep) MessageBeep(MB_ICONEXCLAMATION);
        return 1;
    }
    GridRow* r = Row(row);
    if (EnsureNodes(r)) return 1;
    int type = !(r->flags & GROW_UPDATED) ? GUNDO_SET_NEW_ROW
                                          : (IsCellModified(row, col) ? GUNDO_SET_CELL : GUNDO_SET_NEW_CELL);
    if (AddRecord(type, row, col)) return 1;
    const char16_t* old = r->texts[col];
    SetRecordBytes(m_undo->current, &old, sizeof(old));
    if (m_undo->AddRecord(GUNDO_NEW_TEXT, 1)) return 1;
    UndoRecord* rec = m_undo->current;
    rec->line = static_cast<uint32_t>(row);
    rec->column = col;
    if (rec->Reserve((len + 2) * sizeof(char16_t))) return 1;
    if (len) std::memcpy(rec->text, text, len * sizeof(char16_t));
    rec->text[len] = 0;
    rec->length = len;
    m_undo->recordingType = 0;
    r->texts[col] = rec->text;
    SetUpdated(r);
    r->modified[col / 8] |= static_cast<uint8_t>(1 << (col % 8));
    return 0;
}

void CEditableGridData::SetAreaText(POINT a, POINT b, const char16_t* text, int length) {
    SetAreaTextOver(a, b, text, length);
}

int CEditableGridData::PasteText(const char16_t* text) {
    return PasteTextOver(text);
}

int CEditableGridData::InsertRows(int afterRow, int count) {
    if (count <= 0) return 0; // nothing asked, nothing inserted
    if (!m_undo) return 1;
    if (afterRow < -1) afterRow = -1;
    if (afterRow >= m_rowCount) afterRow = m_rowCount - 1;
    int curCol = m_curCol;
    BeginUndoGroup();
    int added = InsertEmptyRows(afterRow, count);
    if (added > 0 && AddRecord(GUNDO_INSERT_ROWS, afterRow, curCol) == 0)
        SetRecordBytes(m_undo->current, &added, sizeof(added));
    if (added > 0 && m_cursorFollowsInsert) m_curRow = afterRow + added;
    EndUndoGroup();
    RefreshFilterMap();
    return added > 0 ? 0 : 1;
}

void CEditableGridData::DeleteRow(int row) {
    if (m_rowCount == 0 || row < 0 || row >= m_rowCount) return;
    BeginUndoGroup();
    if (IsInsertedRow(row)) {
        int cols = static_cast<int>(m_colFlags.size());
        for (int c = 0; c < cols; ++c) SetTextWithUndo(row, c, u"", 0);
        if (AddRecord(GUNDO_REMOVE_ROW, row, m_curCol) == 0) {
            GridRow* r = Row(row);
            std::vector<uint8_t> state(1 + (m_modPool ? static_cast<size_t>(m_modPool->NodeSize()) : 0), 0);
            state[0] = r->flags;
            if (r->modified && m_modPool) std::memcpy(&state[1], r->modified, state.size() - 1);
            SetRecordBytes(m_undo->current, state.data(), state.size());
        }
        RemoveRowRaw(row);
        if (m_cursorFollowsRemove) m_curRow = m_rowCount == 0 ? -1 : std::max(0, row - 1);
    } else {
        ToggleDeleted(Row(row));
        AddRecord(GUNDO_DELETE_MARK, row, m_curCol);
    }
    EndUndoGroup();
}

int CEditableGridData::DeleteRows(int first, int last) {
    if (m_rowCount == 0) return 0;
    first = std::max(0, first);
    last = std::min(last, m_rowCount - 1);
    if (last < first) return 0;
    BeginUndoGroup();
    AddRecord(GUNDO_CURSOR, m_curRow, m_curCol);
    for (int r = last; r >= first; --r) DeleteRow(r);
    AddRecord(GUNDO_CURSOR, m_curRow, m_curCol);
    EndUndoGroup();
    RefreshFilterMap();
    return 0;
}

int CEditableGridData::DeleteNullRows(int allRows) {
    if (m_rowCount == 0) return 0;
    std::vector<int> rows;
    for (int r = m_rowCount - 1; r >= 0; --r)
        if (!IsDeletedRow(r) && (allRows || IsInsertedRow(r)) && IsNullRow(r)) rows.push_back(r);
    if (rows.empty()) return 0;
    BeginUndoGroup();
    AddRecord(GUNDO_CURSOR, m_curRow, m_curCol);
    for (int r : rows) DeleteRow(r);
    AddRecord(GUNDO_CURSOR, m_curRow, m_curCol);
    EndUndoGroup();
    RefreshFilterMap();
    return static_cast<int>(rows.size());
}

void CEditableGridData::BeginUndoGroup() {
    if (m_undo) m_undo->BeginGroup(0);
}

void CEditableGridData::EndUndoGroup() {
    if (m_undo) m_undo->EndGroup();
}

UndoBuffer* CEditableGridData::GetUndoBuffer() {
    return m_undo;
}
int CEditableGridData::CanUndo() {
    return m_undo && m_undo->TopStep() ? 1 : 0;
}

int CEditableGridData::CanRedo() {
    if (!m_undo) return 0;
    int64_t next = static_cast<int64_t>(m_undo->top) + 1;
    if (next >= m_undo->capacity) next = 0;
    return m_undo->SlotAt(static_cast<int32_t>(next)) ? 1 : 0;
}

void CEditableGridData::ApplyOrder(const int32_t* order, int n, bool inverse) {
    if (n != m_rowCount) return;
    MoveGap(m_rowCount);
    std::vector<GridRow> tmp(m_rows, m_rows + n);
    for (int i = 0; i < n; ++i) {
        if (inverse)
            m_rows[order[i]] = tmp[static_cast<size_t>(i)];
        else
            m_rows[i] = tmp[static_cast<size_t>(order[i])];
    }
}

void CEditableGridData::ApplyUndoRecord(UndoRecord* rec, bool redo) {
    int row = static_cast<int32_t>(rec->line);
    int col = rec->column;
    switch (rec->type) {
    case GUNDO_SET_NEW_ROW:
    case GUNDO_SET_NEW_CELL:
    case GUNDO_SET_CELL: {
        GridRow* r = Row(row);
        if (r == &m_spare || EnsureNodes(r)) break;
        if (rec->type == GUNDO_SET_NEW_ROW) {
            if (redo)
                SetUpdated(r);
            else
                ClearUpdated(r);
        }
        if (rec->type != GUNDO_SET_CELL) {
            uint8_t bit = static_cast<uint8_t>(1 << (col % 8));
            if (redo)
                r->modified[col / 8] |= bit;
            else
                r->modified[col / 8] &= static_cast<uint8_t>(~bit);
        }
        SetCursor(row, col);
        if (redo)
            r->texts[col] =
                rec->next && rec->next->type == GUNDO_NEW_TEXT ? rec->next->text : RecordPointer(rec);
        else
            r->texts[col] = RecordPointer(rec);
        break;
    }
    case GUNDO_EXTRA_OLD:
    case GUNDO_EXTRA_NEW: {
        GridRow* r = Row(row);
        SetCursor(row, col);
        if ((rec->type == GUNDO_EXTRA_OLD) != redo && r->extra && rec->text && m_extraSize)
            std::memcpy(
                static_cast<char*>(r->extra) + col * m_extraSize, rec->text,
                static_cast<size_t>(std::min<uint64_t>(rec->length * 2, static_cast<uint64_t>(m_extraSize))));
        break;
    }
    case GUNDO_DELETE_MARK:
        SetCursor(row, col);
        if (row >= 0 && row < m_rowCount) ToggleDeleted(Row(row));
        break;
    case GUNDO_REMOVE_ROW:
        if (redo) {
            RemoveRowRaw(row);
        } else if (InsertEmptyRows(row - 1, 1) == 1) {
            GridRow* r = Row(row);
            if (rec->text && rec->length > 0) {
                const auto* bytes = reinterpret_cast<const uint8_t*>(rec->text);
                r->flags = bytes[0];
                if (r->modified && m_modPool)
                    std::memcpy(
                        r->modified, bytes + 1,
                        std::min<size_t>(static_cast<size_t>(m_modPool->NodeSize()), rec->length * 2 - 1));
            }
        }
        SetCursor(row, col);
        break;
    case GUNDO_INSERT_ROWS: {
        int n = RecordInt(rec);
        if (redo) {
            InsertEmptyRows(row, n);
        } else {
            for (int i = 0; i < n; ++i) RemoveRowRaw(row + 1);
        }
        SetCursor(row, col);
        break;
    }
    case GUNDO_SWAP:
        if (row >= 0 && row < m_rowCount && col >= 0 && col < m_rowCount) std::swap(*Row(row), *Row(col));
        break;
    case GUNDO_SORT_BEGIN:
        if (!redo) RefreshFilterMap();
        break;
    case GUNDO_SORT_END:
        if (redo) RefreshFilterMap();
        break;
    case GUNDO_SORT_ORDER: {
        // The record keeps the order as bytes in its text: copied out, not
        // read through a pointer of another type.
        std::vector<int32_t> order(static_cast<size_t>(rec->length / 2));
        if (!order.empty()) std::memcpy(order.data(), rec->text, order.size() * sizeof(int32_t));
        ApplyOrder(order.data(), static_cast<int>(order.size()), !redo);
        break;
    }
    case GUNDO_CURSOR: SetCursor(row, col); break;
    case GUNDO_FILTER_SET:
    case GUNDO_FILTER_CLEAR:
        if ((rec->type == GUNDO_FILTER_SET) == redo) {
            CString err;
            if (rec->text)
                CGridData_Filter::RestoreGridDataFilterCond(
                    this, reinterpret_cast<GridFilterCond*>(rec->text), &err);
        } else {
            CGridData::ClearFilter();
        }
        break;
    default: break;
    }
}

int CEditableGridData::Undo() {
    if (!m_undo) return 1;
    UndoRecord* first = m_undo->TopStep();
    if (!first) return 1;
    m_undo->recordingType = 0;
    UndoRecord* last = first;
    while (last->next) last = last->next;
    for (UndoRecord* r = last; r; r = r->previous) ApplyUndoRecord(r, false);
    m_undo->StepBack();
    RefreshFilterMap();
    return 0;
}

int CEditableGridData::Redo() {
    if (!m_undo) return 1;
    m_undo->recordingType = 0;
    if (m_undo->StepForward()) return 1;
    for (UndoRecord* r = m_undo->TopStep(); r; r = r->next) ApplyUndoRecord(r, true);
    RefreshFilterMap();
    return 0;
}

void CEditableGridData::SwapRows(int a, int b) {
    if (a < 0 || b < 0 || a >= m_rowCount || b >= m_rowCount) return;
    AddRecord(GUNDO_SWAP, a, b);
    std::swap(*Row(a), *Row(b));
}

void CEditableGridData::Sort(const int* cols, const int* dirs, int keyCount) {
    if (!m_undo) return;
    std::vector<int32_t> order;
    ComputeSortOrder(cols, dirs, keyCount, &order);
    // One step of three records: begin, the order, end.
    if (AddRecord(GUNDO_SORT_BEGIN, m_curRow, m_curCol, 0)) return;
    if (AddRecord(GUNDO_SORT_ORDER, m_curRow, m_curCol, 1) == 0 &&
        SetRecordBytes(m_undo->current, order.data(), order.size() * sizeof(int32_t)) == 0) {
        ApplyOrder(order.data(), static_cast<int>(order.size()), false);
    } else if (m_undo->current && m_undo->current->type == GUNDO_SORT_ORDER) {
        m_undo->current->length = 0; // no order kept: undo and redo leave the rows
    }
    AddRecord(GUNDO_SORT_END, m_curRow, m_curCol, 1);
    m_undo->recordingType = 0;
    RefreshFilterMap();
}

int CEditableGridData::SetFilter(int col, const char16_t* pattern, int matchCase, int matchWidth, int isRegex,
                                 int* count, CString* err, int requireMatch) {
    BeginUndoGroup();
    bool cleared = false;
    if (m_filtered && m_filter && m_filter->m_cond) {
        const GridFilterCond* c = m_filter->m_cond;
        if (AddRecord(GUNDO_FILTER_CLEAR, m_curRow, m_curCol) == 0)
            SetRecordBytes(m_undo->current, c, static_cast<size_t>(c->size));
        CGridData::ClearFilter();
        cleared = true;
    }
    int rc = CGridData::SetFilter(col, pattern, matchCase, matchWidth, isRegex, count, err, requireMatch);
    if (rc != 0) {
        EndUndoGroup();
        if (cleared) Undo();
        return rc;
    }
    const GridFilterCond* c = m_filter->m_cond;
    if (AddRecord(GUNDO_FILTER_SET, m_curRow, m_curCol) == 0)
        SetRecordBytes(m_undo->current, c, static_cast<size_t>(c->size));
    EndUndoGroup();
    return 0;
}

void CEditableGridData::ClearFilter() {
    if (!m_filtered) return;
    if (m_filter && m_filter->m_cond) {
        const GridFilterCond* c = m_filter->m_cond;
        if (AddRecord(GUNDO_FILTER_CLEAR, m_curRow, m_curCol) == 0)
            SetRecordBytes(m_undo->current, c, static_cast<size_t>(c->size));
    }
    CGridData::ClearFilter();
}

void CEditableGridData::SetRowMark(int row) {
    if (row >= 0 && row < m_rowCount) Row(row)->flags |= GROW_MARKED;
}

void CEditableGridData::ClearRowMark(int row) {
    if (row >= 0 && row < m_rowCount) Row(row)->flags &= static_cast<uint8_t>(~GROW_MARKED);
}

int CEditableGridData::IsRowMarked(int row) {
    return (row >= 0 && row < m_rowCount && (Row(row)->flags & GROW_MARKED)) ? 1 : 0;
}

void CEditableGridData::MarkRows(const int32_t* rows, int count) {
    // Every mark cleared, one stretch of records at a time (the rows before
    // the gap, then those after it), then the listed rows marked: the list
    // is read in its order while it rises and stays within the rows.
    if (m_rowCount <= 0 || !m_rows) return;
    const uint8_t clear = static_cast<uint8_t>(~GROW_MARKED);
    const int before = std::min(m_gapStart, m_rowCount);
    for (GridRow *row = m_rows, *end = m_rows + before; row < end; ++row) row->flags &= clear;
    for (GridRow *row = m_rows + m_gapEnd, *end = m_rows + (m_rowCount + (m_gapEnd - m_gapStart)); row < end;
         ++row)
        row->flags &= clear;
    int previous = -1;
    for (int k = 0; k < count; ++k) {
        const int r = rows[k];
        if (r <= previous || r >= m_rowCount) break;
        m_rows[r < m_gapStart ? r : r + (m_gapEnd - m_gapStart)].flags |= GROW_MARKED;
        previous = r;
    }
}

void CEditableGridData::MarkedRows(std::vector<int32_t>* out) {
    out->clear();
    for (int r = 0; r < m_rowCount; ++r) {
        GridRow* row = r < m_gapStart ? &m_rows[r] : &m_rows[r + (m_gapEnd - m_gapStart)];
        if (row->flags & GROW_MARKED) out->push_back(r);
    }
}
