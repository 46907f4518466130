// The table-selection dialog "テーブル選択(検索条件設定)": owner, object
// (table, view or synonym under a regular-expression name filter), columns,
// the condition editor and the lock box; on OK it builds the SELECT and runs
// it on the query worker. It also saves and loads search-condition files.
#pragma once

#include <afxwin.h>

#include <vector>

#include "editor/editctrl.h"
#include "editor/editdata.h"
#include "editor/sqltoken.h"
#include "oracle/ora_dataset.h"

#define TLM_SELECTPREV 0x8001
#define TLM_SELECTNEXT 0x8002
#define IDT_TABLELIST_AUTOOK 1
#define IDT_TYPEAHEAD 1122
#define IDT_TYPEAHEAD_WHEEL 1123

class CTableListDlg : public CDialog {
public:
    explicit CTableListDlg(CWnd* parent = nullptr);
    ~CTableListDlg() override;

    // In and out; see the document's table selection.
    OraSession* m_session = nullptr;
    CString m_owner;
    CString m_table;
    std::vector<CString> m_columns;
    CString m_where;
    CString m_alias;
    int m_autoRun = 0;
    int m_swapMode = 0;
    CFont* m_font = nullptr;
    CStrToken* m_token = nullptr;
    CString m_path;
    int m_lock = 0;
    OraDataset* m_result = nullptr; // owned by the caller after IDOK

    CString m_errText;

    // Search-condition files: 1 on success, 0 after the error was shown.
    int LoadSearchCondition(const char16_t* path);
    void OnSaveCondition();
    void OnLoadCondition();

    // Access for the owner of the dialog and for tests.
    CEditCtrl& WhereEditor() { return m_whereEdit; }
    CEditData& WhereData() { return m_whereData; }
    int FilterValid() const { return m_filterValid; }

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    CComboBox* Owners() const;
    CListCtrl* Objects() const;
    CListCtrl* Columns() const;
    CListCtrl* Chosen() const;

    int LoadOwnerList();
    int LoadObjectList();
    void FillObjectList(int filterChanged);
    int LoadColumnList(const CString& owner, const CString& object, const CString& type, int selectAll);
    int AddChosenColumn(const CString& name);
    void AddSelectedColumns();
    void MoveChosen(int delta);
    void UpdateButtons();
    void CopyToWhere();
    void MoveObjectSelection(int delta);
    void Layout();
    int SelectedObject() const;
    void ForgetColumns();
    int RebuildColumnList(int checkTypes);
    int RunQuery();
    void LeaveAutoRun();
    bool FilterHides(const CString& name);
    void ClearFilterText();
    void OnCommandFrom(int id, int code);
    LRESULT OnNotifyFrom(NMHDR* nm);

    OraDataset m_objects{};
    int m_haveObjects = 0;
    CString m_loadedOwner, m_loadedTable;
    int m_filterValid = 1;
    CEditData m_whereData;
    CEditCtrl m_whereEdit;
    int m_initialised = 0;
    int m_filling = 0;
    int m_settingFilter = 0;
};

// The rules of the dialog, on their own.
// 1 when the condition needs "WHERE " in front: its first word after blanks
// and comments is neither "order" nor "where" (any case), and there is one.
int TableList_NeedsWherePrefix(const char16_t* text, const CStrToken* token);
// How "Where句へコピー" inserts a name at the caret: 0 nothing (a word
// character at the caret), 1 the name as is, 2 ", " and the name.
int TableList_CopyForm(uint32_t atCaret, uint32_t beforeCaret, const CStrToken* token);
// The select statement. keys: the key columns of an index-organised table
// (then the 'X' as "ROWID" form), else empty.
CString TableList_BuildSelect(const std::vector<CString>& columns, const std::vector<CString>& keys,
                              const CString& owner, const CString& table, const CString& alias,
                              const CString& where, int lock);
