// CEditableOraGridData: the editable model bound to one Oracle query result.
// The dataset's trailing key columns (the row id, or the primary key of an
// index-organised table) are hidden from the grid and kept for saving. The
// edits are saved as DELETE, UPDATE and INSERT statements under a savepoint
// on a worker thread that reports to a progress window through WPM_*
// messages (grid/orasave.cpp), and can be shown as SQL text.
#pragma once

#include <set>
#include <utility>
#include <vector>

#include "grid/editgrid.h"
#include "oracle/ora_dataset.h"

class CEditData;

// Messages of the save to its progress window. WPM_FINISHED is posted, the
// others sent.
#define WPM_FINISHED 0x8401 // wParam: the save's result
#define WPM_SETTEXT 0x8402  // wParam: 1 the message line, 2 the second line; lParam: wide text
#define WPM_GETSTATE 0x8403 // returns the cancel state
#define WPM_SETRANGE 0x8404 // wParam: step; lParam: range end (position 0)
#define WPM_SETPOS 0x8405   // wParam: position
#define WPM_STEPIT 0x8406   // one step
#define WPM_SETVALUE 0x8490

class CEditableOraGridData;

// The save thread's parameter block, built by the commit command.
struct SaveThreadParams {
    CEditableOraGridData* grid = nullptr;
    OraSession* session = nullptr;
    int* failCell = nullptr;    // two ints: column, row (column -1: the whole row)
    CString* message = nullptr; // the summary or the error text
    HWND window = nullptr;      // the progress window, written before the thread is resumed
    CancelState* cancel = nullptr;
    int result = 0; // written by the thread
};

// The save thread's body: runs SaveChanges, stores the result, posts
// WPM_FINISHED with it when a window is set, returns it.
unsigned SaveThreadProc(void* params);

// While the window answers WPM_GETSTATE with 2 sleeps 500 ms and asks again;
// the answer that ends the wait decides: 1 writes "キャンセルしました\n" and
// returns 9, else 0. Without a window: 0.
int CheckSaveCancel(HWND window, CString* msg);

// "NULL" for a missing or empty text, else the text in single quotes with
// every quote doubled.
CString MakeSqlLiteral(const char16_t* text);

// The value checks of an object cell's text: one value expression (NULL, a
// constructor call with a balanced argument list of such expressions, a
// quoted string, a signed number, a hex word). True when it is one.
bool IsObjectValueText(const char16_t* text);

// Reads "<BFILE dir_alias:%s file_name:%s %s>": true with the alias and the
// file name (each a word without blanks: space, tab, CR or LF) when the text
// has that form.
bool ParseBfileText(const char16_t* text, CString* alias, CString* file);

// Runs the batch of an array-DML cursor (its rows_in_buffer counts the rows
// in the batch): counts one more row and runs the batch when it is full, or
// (flush) runs the rows left. rowMap gives the grid row of every batch
// position, colMap (when given) the visible column of every value line of
// the statement. With countFailed, the batch must change exactly the rows it
// sent; else 13 and the batch's rows in countFailed.
int ExecArrayDmlRow(OraSession* s, OraCursor* c, int* failCell, const std::vector<int>& rowMap,
                    const char16_t* phase, CString* msg, CancelState* cancel, int flush,
                    const std::vector<int>* colMap = nullptr, std::vector<int>* countFailed = nullptr);

class CEditableOraGridData : public CEditableGridData {
public:
    CEditableOraGridData();
    ~CEditableOraGridData() override;

    // Binds the model to a query result (null: the own empty dataset).
    // 0, or 1 when the rows could not be set up.
    int SetDataset(OraSession* session, OraDataset* dataset, const char16_t* owner, const char16_t* table,
                   int dataLock, int useUpdatableColumns);
    // Column flags and the two model flags, from user_updatable_columns when
    // asked.
    void LoadUpdatableColumns(OraSession* session, int flag);
    // The dataset cell of a CLOB, BLOB or BFILE cell of a fetched row, else
    // null.
    OraLobCell* GetLobLocator(int row, int col);
    // Sets a BLOB or BFILE cell's text with undo: 1, or 0 for other columns.
    int SetLobCellText(int row, int col, const char16_t* text);
    // The full text of a CLOB cell.
    const char16_t* ReadClobText(int row, int col);

    // Saving (on the save thread). Every call returns an ORARC_* code.
    int SaveChanges(OraSession* session, int* failCell, CString* msg, HWND window, CancelState* cancel);
    int SaveDeletes(OraTableDef* def, OraSession* session, int* failCell, int* deleted, CString* msg,
                    HWND window, CancelState* cancel);
    int SaveUpdates(OraTableDef* def, OraSession* session, int* failCell, int* updated, CString* msg,
                    HWND window, CancelState* cancel);
    int SaveColumnUpdates(OraTableDef* def, OraSession* session, int col, int* failCell, CString* msg,
                          HWND window, CancelState* cancel);
    int SaveInserts(OraTableDef* def, OraSession* session, int* failCell, int* inserted, CString* msg,
                    HWND window, CancelState* cancel);
    int SaveInsertsByRow(OraTableDef* def, OraSession* session, int* failCell, int* inserted, CString* msg,
                         HWND window, CancelState* cancel, bool literalMode);
    // Writes one LOB, BFILE or object cell. rowid: the row id text of an
    // inserted row (or of a fetched row keyed by row id); null: the row is
    // found by its key condition.
    int WriteLobCell(OraSession* session, const char16_t* rowid, int row, int col, int* failCell,
                     CString* msg, CancelState* cancel);
    // The key condition, "where" line first, binds numbered from firstBind.
    CString MakeKeyWhereClause(int firstBind);
    // The INSERT of one row (or the general one for row -1); bound receives a
    // flag per visible column (1: the value is bound as :X<column>).
    CString MakeInsertSql(int row, std::vector<int>* bound);
    bool NeedsLiteralLongText(OraSession* session);
    // The pending edits as SQL text into text: 0, 1 or a dictionary error.
    int MakeUpdateSqlText(CString* msg, CEditData* text);

    // CGridData / CEditableGridData.
    int GetColCount() override;
    const char16_t* GetEditText(int row, int col) override;
    int IsValueCut(int row, int col) override;
    int GetTextLength(int row, int col, int countFlag, uint32_t ch) override;
    int IsNull(int row, int col) override;
    const char16_t* GetColName(int col) override;
    int GetColDataSize(int col) override;
    int GetColScale(int col) override;
    int GetColType(int row, int col) override;
    int IsColNullable(int col) override;
    int GetMaxInputLen(int row, int col) override;
    const char16_t* GetOriginalText(int row, int col) override;
    const char16_t* GetColTypeName(int col) override;
    const char16_t* GetErrorMessage() override;
    int IsCellEditable(int row, int col) override;
    int SetText(int row, int col, const char16_t* text, int length) override;
    int SetTextWithUndo(int row, int col, const char16_t* text, int length) override;
    int GetKeyColCount() override;

    OraDataset* GetDataset() const { return m_dataset; }
    OraSession* GetSession() const { return m_session; }
    const CString& GetOwnerName() const { return m_owner; }
    const CString& GetTableName() const { return m_table; }
    int GetDataLock() const { return m_dataLock; }
    const std::vector<CString>& GetKeyColNames() const { return m_keyNames; }

private:
    // The descriptor of dataset column col, or null.
    const OraColumnDesc* Desc(int col) const;
    int ColDefineType(int col) const;
    // The dataset row of a grid row, -1 for inserted rows.
    int DatasetRow(int row);
    // Dataset column of the first key value.
    int FirstKeyColumn() const;
    bool ClobUnreadable(int row, int col);
    // The key values a row is found by during the save.
    std::vector<const char16_t*> CurrentKeyValues(int row);
    // Names the failing cell of a batch whose row count was wrong.
    void NameMissingRow(OraSession* s, int* failCell);

    OraSession* m_session = nullptr;
    OraDataset* m_dataset = nullptr;
    OraDataset* m_ownDataset = nullptr;
    CString m_owner;
    CString m_table;
    CString m_clobCache;
    CString m_errorMessage;
    CString m_typeName;
    int m_dataLock = 0;
    int m_keyColCount = 1;
    std::vector<CString> m_keyNames;
    // CLOB cells whose full text could not be read since the last binding
    // (dataset row, column), and whether the failure's box was shown.
    std::set<std::pair<int, int>> m_unreadableClobs;
    bool m_clobBoxShown = false;
    // Save state (the save thread's alone while it runs).
    std::vector<int> m_countFailedRows;
    int m_countFailedCol = -1;
    std::vector<int> m_updatedKeyCols;
};
