// The document: the current table selection and the grid models showing its
// rows (the editable Oracle model, its row/column-swapped wrapper and its
// filter), the query through the table-selection dialog, and the guard
// against losing unsaved edits.
#pragma once

#include <afxwin.h>

#include <vector>

#include "grid/gridswap.h"
#include "grid/oragrid.h"

// Document hints (CView::OnUpdate's hint numbers).
enum : int {
    HINT_FRAME_MOVED = 115,
    HINT_PANES_CHANGED = 202,
    HINT_CELL_CHANGED = 203,
    HINT_SAVE_FAILED = 1002,
    HINT_END_EDIT = 1003,
    HINT_DATA_LOADED = 1004,
    HINT_CALC_TYPE_CHANGED = 1008,
    HINT_RELAYOUT = 1022,
    HINT_DATA_VIEW_CHANGED = 1023,
    HINT_SWAP_CHANGED = 1401,
    HINT_OPEN_FILTER = 1403,
    HINT_CLEAR_FILTER = 1404,
};

class CTavexDoc : public CDocument {
    DECLARE_DYNCREATE(CTavexDoc)
public:
    CTavexDoc();
    ~CTavexDoc() override;

    BOOL OnNewDocument() override;
    BOOL OnOpenDocument(LPCWSTR path) override;
    BOOL SaveModified() override;

    // A table is loaded and its editable model holds unsaved edits.
    virtual BOOL HasUnsavedEdits();
    // Asks before unsaved edits are dropped; FALSE on No.
    BOOL ConfirmDiscardEdits();
    // The swap wrapper, else the filter model, else the editable model.
    CGridData* GetCurrentData();
    // 0 after loading, 1 when the dialog was cancelled.
    int SelectTable(int autoRun, const char16_t* path);
    int SetData(OraDataset* dataset, const char16_t* owner, const char16_t* table, int fitWidths);
    void UpdateCalcText();
    BOOL IsTableLoaded() const { return !m_table.IsEmpty(); }

    // Files and large objects (the cell in the editable model's terms).
    void LobDownload(OraLobValue* lob);
    // 1 when the BLOB or BFILE cell took the chosen file's path, else 0.
    int LobUpload(int row, int col);
    // The result of setting the cell's new locator text; 0 when cancelled.
    int BfileUpdate(int row, int col);
    // The Oracle type code of a column of the query (0 without descriptors).
    int ColumnTypeCode(int col) const;
    // The text after the last slash or backslash of a name.
    static CString LastPathComponent(const CString& name);
    // The editor option word of the grid's display settings.
    static uint64_t EditorOptionWord();

    CEditableOraGridData m_data;
    CGridData_SwapRowCol m_swap;
    OraDataset* m_dataset = nullptr;
    CString m_owner;
    CString m_table;
    std::vector<CString> m_columns;
    CString m_where;
    CString m_alias;
    int m_swapFlag = 0;
    int m_swapLaidOut = 0;
    CString m_message;

protected:
    void ReleaseData();

    afx_msg void OnFileSelectTable();
    afx_msg void OnUpdateFileSelectTable(CCmdUI* cmdUI);
    afx_msg void OnFileRefresh();
    afx_msg void OnFileClearData();
    afx_msg void OnUpdateFileClearData(CCmdUI* cmdUI);
    afx_msg void OnFileCommit();
    afx_msg void OnUpdateFileCommit(CCmdUI* cmdUI);
    afx_msg void OnDataSwapRowCol();
    afx_msg void OnUpdateDataSwapRowCol(CCmdUI* cmdUI);
    afx_msg void OnDataFilter();
    afx_msg void OnUpdateDataFilter(CCmdUI* cmdUI);
    afx_msg void OnDataClearFilter();
    afx_msg void OnUpdateDataClearFilter(CCmdUI* cmdUI);
    afx_msg void OnUpdateIndicatorDataLock(CCmdUI* cmdUI);
    afx_msg void OnFileSaveData();
    afx_msg void OnToolShowUpdateSql();
    DECLARE_MESSAGE_MAP()
};
