// CGridData_Filter: a view of the rows of a source model whose text in one
// column matches a literal or a regular expression.
#pragma once

#include "grid/griddata.h"

// The filter condition: one allocation, copied whole into undo records. map
// points at the row indexes that follow the fixed part in the same block and
// is re-pointed after every copy.
struct GridFilterCond {
    int64_t size; // bytes of the whole block
    int32_t column;
    char16_t pattern[1024];
    int32_t matchCase;
    int32_t matchWidth;
    int32_t isRegex;
    int32_t rowCount;
    int32_t* map;
    // rowCount source rows follow.

    static size_t BytesFor(int rows) {
        return sizeof(GridFilterCond) + sizeof(int32_t) * static_cast<size_t>(rows);
    }
    // A new block of the size (map pointed, count set), or null.
    static GridFilterCond* Alloc(int rows);
    // A copy of a block of size bytes, re-pointed, or null.
    static GridFilterCond* Copy(const void* bytes, size_t size);
};

class CGridData_Filter : public CGridData {
public:
    CGridData* m_source;
    int m_rowCount = 0;
    int32_t* m_map = nullptr;
    GridFilterCond* m_cond = nullptr;

    explicit CGridData_Filter(CGridData* source);
    ~CGridData_Filter() override;

    int FilterData(int col, const char16_t* pattern, int matchCase, int matchWidth, int isRegex, int* count,
                   CString* err, int requireMatch);
    // Must not be used: writes why into err and returns 1.
    virtual int FilterDataStub(CString* err);
    // Makes source's filter when it has none and puts the condition in force.
    static int RestoreGridDataFilterCond(CGridData* source, const GridFilterCond* cond, CString* err);
    // The map from the source's row marks, in source order.
    void RefreshMap();
    // Forgets the condition and its rows (the source's rows are gone): no
    // rows, no selection. The object stays for reuse.
    void DropCondition();
    // Source row of filtered row r (source row 0 outside the rows).
    int SourceRow(int r) const { return (m_map && r >= 0 && r < m_rowCount) ? m_map[r] : 0; }
    bool InRows(int r) const { return m_map && r >= 0 && r < m_rowCount; }
    // The filtered row that shows source row sr, or -1 when the filter hides it.
    int FilteredRow(int sr) const {
        for (int r = 0; m_map && r < m_rowCount; ++r)
            if (m_map[r] == sr) return r;
        return -1;
    }

    int GetRowCount() override;
    int GetColCount() override;
    const char16_t* GetColName(int col) override;
    int GetColDataSize(int col) override;
    int GetColScale(int col) override;
    int IsEditable() override;
    void SetColWidth(int col, int width) override;
    int GetColWidth(int col) override;
    void BeginUndoGroup() override;
    void EndUndoGroup() override;
    UndoBuffer* GetUndoBuffer() override;
    int CanUndo() override;
    int CanRedo() override;
    const char16_t* GetText(int row, int col) override;
    const char16_t* GetDispText(int row, int col) override;
    const char16_t* GetEditText(int row, int col) override;
    int IsValueCut(int row, int col) override;
    int IsNull(int row, int col) override;
    int GetColType(int row, int col) override;
    int GetMaxInputLen(int row, int col) override;
    int SetText(int row, int col, const char16_t* text, int length) override;
    int IsCellEditable(int row, int col) override;
    int IsInsertedRow(int row) override;
    int IsUpdatedRow(int row) override;
    int IsDeletedRow(int row) override;
    int IsCellModified(int row, int col) override;
    const char16_t* GetOriginalText(int row, int col) override;
    int Undo() override;
    int Redo() override;
    void Sort(const int* cols, const int* dirs, int keyCount) override;
    void SetAreaText(POINT a, POINT b, const char16_t* text, int length) override;
    int PasteText(const char16_t* text) override;
    const char16_t* GetRowHeaderText(int row) override;
    int GetRowHeaderWidth() override;
    int InsertRows(int afterRow, int count) override;
    int DeleteRows(int first, int last) override;
    int DeleteNullRows(int allRows) override;
    int IsNullRow(int row) override;
    int CanInsertRows() override;
    int IsRowEditable(int row) override;
    int CanMarkRows() override;
    int IsRowMarked(int row) override;
    int SetFilter(int col, const char16_t* pattern, int matchCase, int matchWidth, int isRegex, int* count,
                  CString* err, int requireMatch) override;

private:
    int UndoRedo(bool redo);
};
