// CEditableGridData: the in-memory editable model. Rows live in a gap buffer
// of 32-byte records; edited texts live in the undo records that set them;
// every change goes through the undo ring.
#pragma once

#include "editor/nodepool.h"
#include "editor/undo.h"
#include "grid/griddata.h"

// Record types of the grid model's undo steps.
enum {
    GUNDO_GROUP = 0,
    GUNDO_SET_NEW_ROW = 1, // cell set in a row without the updated flag
    GUNDO_SET_NEW_CELL = 2,
    GUNDO_SET_CELL = 3,
    GUNDO_NEW_TEXT = 4,
    GUNDO_EXTRA_OLD = 8,
    GUNDO_EXTRA_NEW = 9,
    GUNDO_DELETE_MARK = 10,
    GUNDO_REMOVE_ROW = 11,
    GUNDO_INSERT_ROWS = 20,
    GUNDO_SWAP = 30,
    GUNDO_SORT_BEGIN = 31,
    GUNDO_SORT_END = 32,
    GUNDO_SORT_ORDER = 33, // the order of the rows after the sort, 4 bytes per row
    GUNDO_CURSOR = 40,
    GUNDO_FILTER_SET = 50,
    GUNDO_FILTER_CLEAR = 51,
};

// Row flags.
enum : uint8_t { GROW_UPDATED = 1, GROW_DELETED = 2, GROW_INSERTED = 4, GROW_MARKED = 8 };

struct GridRow {
    int32_t id;
    uint8_t flags;
    uint8_t pad[3];
    uint8_t* modified;      // one bit per column
    const char16_t** texts; // one pointer per column, null until edited
    void* extra;
};
static_assert(sizeof(GridRow) == 32, "a row record is 32 bytes");

class CEditableGridData : public CGridData {
public:
    int m_rowsInsertable = 0;
    int m_rowsEditable = 0;
    UndoBuffer* m_undo = nullptr;
    NodePool* m_modPool = nullptr;
    NodePool* m_textPool = nullptr;
    NodePool* m_extraPool = nullptr;
    std::vector<int32_t> m_colFlags; // 1 editable, 4 editable in inserted rows
    int m_beep = 0;
    int m_cursorFollowsInsert = 1;
    int m_cursorFollowsRemove = 1;
    int64_t m_extraSize = 0;
    int m_insertedCount = 0;
    int m_deletedCount = 0;
    int m_updatedCount = 0;
    GridRow m_spare{};
    GridRow* m_rows = nullptr;
    int m_rowCount = 0;
    int m_capacity = 0;
    int m_gapStart = 0;
    int m_gapEnd = 0;
    int m_growMargin = 2;
    int m_setupMargin = 100;

    CEditableGridData();
    ~CEditableGridData() override;

    virtual int GetKeyColCount() = 0;
    virtual int IsModified();
    virtual int SetTextWithUndo(int row, int col, const char16_t* text, int length);
    virtual void DeleteRow(int row);

    int SetupRows(int rows, int cols);

    int GetRowCount() override;
    const char16_t* GetText(int row, int col) override;
    int IsEditable() override;
    int CanMarkRows() override;
    int GetColType(int row, int col) override;
    int IsColNullable(int col) override;
    int GetRowHeaderWidth() override;
    const char16_t* GetRowHeaderText(int row) override;
    int IsCellEditable(int row, int col) override;
    int IsRowEditable(int row) override;
    int CanInsertRows() override;
    int IsCellModified(int row, int col) override;
    int IsNullRow(int row) override;
    int IsInsertedRow(int row) override;
    int IsUpdatedRow(int row) override;
    int IsDeletedRow(int row) override;
    int SetText(int row, int col, const char16_t* text, int length) override;
    void SetAreaText(POINT a, POINT b, const char16_t* text, int length) override;
    int PasteText(const char16_t* text) override;
    int InsertRows(int afterRow, int count) override;
    int DeleteRows(int first, int last) override;
    int DeleteNullRows(int allRows) override;
    void BeginUndoGroup() override;
    void EndUndoGroup() override;
    UndoBuffer* GetUndoBuffer() override;
    int CanUndo() override;
    int CanRedo() override;
    int Undo() override;
    int Redo() override;
    void SwapRows(int a, int b) override;
    void Sort(const int* cols, const int* dirs, int keyCount) override;
    int SetFilter(int col, const char16_t* pattern, int matchCase, int matchWidth, int isRegex, int* count,
                  CString* err, int requireMatch) override;
    void ClearFilter() override;
    void SetRowMark(int row) override;
    void ClearRowMark(int row) override;
    int IsRowMarked(int row) override;

    // Marks exactly the given rows (ascending), clearing every other mark.
    void MarkRows(const int32_t* rows, int count);
    // The marked rows in order.
    void MarkedRows(std::vector<int32_t>* out);

    // The record of row i, or the spare (empty) record outside the rows.
    GridRow* Row(int i);

private:
    void FreeRows();
    // Takes the row's text and modified-bit nodes when missing: 0 or 1.
    int EnsureNodes(GridRow* r);
    void MoveGap(int pos);
    int Grow();
    // Inserts count empty inserted rows after row (no record): the rows added.
    int InsertEmptyRows(int afterRow, int count);
    // Takes row out (no record), nodes back to their pools.
    void RemoveRowRaw(int row);
    void ToggleDeleted(GridRow* r);
    void SetUpdated(GridRow* r);
    void ClearUpdated(GridRow* r);
    void ApplyOrder(const int32_t* order, int n, bool inverse);
    void ApplyUndoRecord(UndoRecord* rec, bool redo);
    int AddRecord(int type, int row, int col, int chained = 0);
};

// Test seam of the row array's growth: when set and returning false the
// array cannot grow.
extern bool (*grid_rows_grow_hook)(size_t bytes);
