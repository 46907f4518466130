#include "grid/gridswap.h"

#include <algorithm>

#include "base/utf16.h"

template <class F> auto CGridData_SwapRowCol::Synced(F f) {
    if (m_curCol >= 0 && m_curRow >= 0) m_source->SetCursor(m_curCol, m_curRow);
    auto result = f();
    m_curCol = m_source->m_curRow;
    m_curRow = m_source->m_curCol;
    return result;
}

void CGridData_SwapRowCol::ResetLayout() {
    m_colWidths.clear();
    AllocColumnWidths();
    int width = 6;
    if (m_source) {
        int n = m_source->GetColCount();
        for (int c = 0; c < n; ++c) {
            const char16_t* name = m_source->GetColName(c);
            int len = 0;
            while (name && name[len]) ++len;
            width = std::max(width, len);
        }
        if (m_source->IsEditable()) width += 2;
    }
    m_rowHeaderWidth = width;
}

int CGridData_SwapRowCol::GetColCount() {
    return m_source ? m_source->GetRowCount() : 0;
}
int CGridData_SwapRowCol::GetRowCount() {
    return m_source ? m_source->GetColCount() : 0;
}
const char16_t* CGridData_SwapRowCol::GetText(int row, int col) {
    return m_source->GetText(col, row);
}
const char16_t* CGridData_SwapRowCol::GetDispText(int row, int col) {
    return m_source->GetDispText(col, row);
}
const char16_t* CGridData_SwapRowCol::GetEditText(int row, int col) {
    return m_source->GetEditText(col, row);
}
const char16_t* CGridData_SwapRowCol::GetCopyText(int row, int col) {
    return m_source->GetCopyText(col, row);
}
int CGridData_SwapRowCol::IsValueCut(int row, int col) {
    return m_source->IsValueCut(col, row);
}
int CGridData_SwapRowCol::GetTextLength(int row, int col, int countFlag, uint32_t ch) {
    return m_source->GetTextLength(col, row, countFlag, ch);
}
int CGridData_SwapRowCol::IsNull(int row, int col) {
    return m_source->IsNull(col, row);
}
int CGridData_SwapRowCol::GetColType(int row, int col) {
    return m_source->GetColType(col, row);
}
int CGridData_SwapRowCol::GetMaxInputLen(int row, int col) {
    return m_source->GetMaxInputLen(col, row);
}
int CGridData_SwapRowCol::IsCellEditable(int row, int col) {
    return m_source->IsCellEditable(col, row);
}
int CGridData_SwapRowCol::IsCellModified(int row, int col) {
    return m_source->IsCellModified(col, row);
}
const char16_t* CGridData_SwapRowCol::GetOriginalText(int row, int col) {
    return m_source->GetOriginalText(col, row);
}

int CGridData_SwapRowCol::SetText(int row, int col, const char16_t* text, int length) {
    return Synced([&] { return m_source->SetText(col, row, text, length); });
}

void CGridData_SwapRowCol::SetAreaText(POINT a, POINT b, const char16_t* text, int length) {
    // The wrapper's columns are the source's rows, and the source's area runs
    // from its first row down: the corners are put in order before they are
    // exchanged, so an area dragged from right to left reaches the source.
    POINT first{std::min(a.y, b.y), std::min(a.x, b.x)};
    POINT last{std::max(a.y, b.y), std::max(a.x, b.x)};
    Synced([&] {
        m_source->SetAreaText(first, last, text, length);
        return 0;
    });
}

int CGridData_SwapRowCol::InsertRows(int afterRow, int count) {
    int rc = Synced([&] { return m_source->InsertRows(afterRow, count); });
    AllocColumnWidths();
    return rc;
}

int CGridData_SwapRowCol::DeleteRows(int first, int last) {
    return Synced([&] { return m_source->DeleteRows(first, last); });
}

int CGridData_SwapRowCol::Undo() {
    return Synced([&] { return m_source->Undo(); });
}

int CGridData_SwapRowCol::Redo() {
    return Synced([&] { return m_source->Redo(); });
}

int CGridData_SwapRowCol::DeleteNullRows(int allRows) {
    return m_source->DeleteNullRows(allRows);
}
int CGridData_SwapRowCol::IsEditable() {
    return m_source ? m_source->IsEditable() : 0;
}
void CGridData_SwapRowCol::BeginUndoGroup() {
    m_source->BeginUndoGroup();
}
void CGridData_SwapRowCol::EndUndoGroup() {
    m_source->EndUndoGroup();
}
UndoBuffer* CGridData_SwapRowCol::GetUndoBuffer() {
    return m_source->GetUndoBuffer();
}
int CGridData_SwapRowCol::CanUndo() {
    return m_source->CanUndo();
}
int CGridData_SwapRowCol::CanRedo() {
    return m_source->CanRedo();
}
int CGridData_SwapRowCol::CanInsertRows() {
    return m_source->CanInsertRows();
}
int CGridData_SwapRowCol::IsRowEditable(int row) {
    return m_source->IsRowEditable(row);
}
int CGridData_SwapRowCol::IsInsertedRow(int row) {
    return m_source->IsInsertedRow(row);
}
int CGridData_SwapRowCol::IsUpdatedRow(int row) {
    return m_source->IsUpdatedRow(row);
}
int CGridData_SwapRowCol::IsDeletedRow(int row) {
    return m_source->IsDeletedRow(row);
}
int CGridData_SwapRowCol::FindColumn(int startCol, int* outCol, int direction, int includeStart,
                                     Regex* regex) {
    return m_source->FindColumn(startCol, outCol, direction, includeStart, regex);
}

const char16_t* CGridData_SwapRowCol::GetColName(int col) {
    swprintf_s(m_colName, u"%d", col + 1);
    return m_colName;
}

const char16_t* CGridData_SwapRowCol::GetRowHeaderText(int row) {
    return m_source->GetColName(row);
}
int CGridData_SwapRowCol::GetRowHeaderWidth() {
    return m_rowHeaderWidth;
}
int CGridData_SwapRowCol::HasCursor() {
    return m_curCol != -1;
}
int CGridData_SwapRowCol::GetColDataSize(int) {
    return 100;
}
int CGridData_SwapRowCol::GetColScale(int) {
    return 0;
}
int CGridData_SwapRowCol::IsColNullable(int) {
    return 1;
}
int CGridData_SwapRowCol::IsNullRow(int) {
    return 0;
}
int CGridData_SwapRowCol::PasteText(const char16_t* text) {
    return PasteTextOver(text, true);
}
void CGridData_SwapRowCol::Sort(const int*, const int*, int) {}
