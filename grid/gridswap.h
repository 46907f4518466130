// CGridData_SwapRowCol: another model with rows and columns exchanged.
#pragma once

#include "grid/griddata.h"

class CGridData_SwapRowCol : public CGridData {
public:
    int m_rowHeaderWidth = 6;
    CGridData* m_source = nullptr;
    char16_t m_colName[32] = {};

    CGridData_SwapRowCol() = default;
    explicit CGridData_SwapRowCol(CGridData* source) : m_source(source) {}

    void SetSource(CGridData* source) { m_source = source; }
    // Widths again for the wrapper's columns, and the row-header width.
    void ResetLayout();

    int GetColCount() override;
    int GetRowCount() override;
    const char16_t* GetText(int row, int col) override;
    const char16_t* GetDispText(int row, int col) override;
    const char16_t* GetEditText(int row, int col) override;
    const char16_t* GetCopyText(int row, int col) override;
    int IsValueCut(int row, int col) override;
    int GetTextLength(int row, int col, int countFlag, uint32_t ch) override;
    int IsNull(int row, int col) override;
    int GetColType(int row, int col) override;
    int GetMaxInputLen(int row, int col) override;
    int IsCellEditable(int row, int col) override;
    int IsCellModified(int row, int col) override;
    const char16_t* GetOriginalText(int row, int col) override;
    int SetText(int row, int col, const char16_t* text, int length) override;
    void SetAreaText(POINT a, POINT b, const char16_t* text, int length) override;
    int InsertRows(int afterRow, int count) override;
    int DeleteRows(int first, int last) override;
    int Undo() override;
    int Redo() override;
    int DeleteNullRows(int allRows) override;
    int IsEditable() override;
    void BeginUndoGroup() override;
    void EndUndoGroup() override;
    UndoBuffer* GetUndoBuffer() override;
    int CanUndo() override;
    int CanRedo() override;
    int CanInsertRows() override;
    int IsRowEditable(int row) override;
    int IsInsertedRow(int row) override;
    int IsUpdatedRow(int row) override;
    int IsDeletedRow(int row) override;
    int FindColumn(int startCol, int* outCol, int direction, int includeStart, Regex* regex) override;
    const char16_t* GetColName(int col) override;
    const char16_t* GetRowHeaderText(int row) override;
    int GetRowHeaderWidth() override;
    int HasCursor() override;
    int GetColDataSize(int col) override;
    int GetColScale(int col) override;
    int IsColNullable(int col) override;
    int IsNullRow(int row) override;
    int PasteText(const char16_t* text) override;
    void Sort(const int* cols, const int* dirs, int keyCount) override;

private:
    template <class F> auto Synced(F f);
};
