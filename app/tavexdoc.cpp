#include "app/tavexdoc.h"

#include <set>
#include <system_error>
#include <thread>

#include "app/appstate.h"
#include "app/dialogs/commoncanceldlg.h"
#include "app/dialogs/tablelistdlg.h"
#include "app/mainfrm.h"
#include "app/settings.h"
#include "grid/gridfilter.h"
#include "mfc/waitcursor.h"
#include "oracle/oci_exec.h"
#include "res/resource.h"

IMPLEMENT_DYNCREATE(CTavexDoc, CDocument)

BEGIN_MESSAGE_MAP(CTavexDoc, CDocument)
ON_COMMAND(ID_FILE_SELECT_TABLE, OnFileSelectTable)
ON_UPDATE_COMMAND_UI(ID_FILE_SELECT_TABLE, OnUpdateFileSelectTable)
ON_COMMAND(ID_FILE_REFRESH, OnFileRefresh)
ON_UPDATE_COMMAND_UI(ID_FILE_REFRESH, OnUpdateFileSelectTable)
ON_COMMAND(ID_FILE_CLEAR_DATA, OnFileClearData)
ON_UPDATE_COMMAND_UI(ID_FILE_CLEAR_DATA, OnUpdateFileClearData)
ON_COMMAND(ID_FILE_COMMIT, OnFileCommit)
ON_UPDATE_COMMAND_UI(ID_FILE_COMMIT, OnUpdateFileCommit)
ON_COMMAND(ID_FILE_SAVE_DATA, OnFileSaveData)
ON_UPDATE_COMMAND_UI(ID_FILE_SAVE_DATA, OnUpdateFileCommit)
ON_COMMAND(ID_TOOL_SHOW_UPDATE_SQL, OnToolShowUpdateSql)
ON_UPDATE_COMMAND_UI(ID_TOOL_SHOW_UPDATE_SQL, OnUpdateFileCommit)
ON_COMMAND(ID_DATA_SWAP_ROW_COL, OnDataSwapRowCol)
ON_UPDATE_COMMAND_UI(ID_DATA_SWAP_ROW_COL, OnUpdateDataSwapRowCol)
ON_COMMAND(ID_DATA_FILTER, OnDataFilter)
ON_UPDATE_COMMAND_UI(ID_DATA_FILTER, OnUpdateDataFilter)
ON_COMMAND(ID_DATA_CLEAR_FILTER, OnDataClearFilter)
ON_UPDATE_COMMAND_UI(ID_DATA_CLEAR_FILTER, OnUpdateDataClearFilter)
ON_UPDATE_COMMAND_UI(ID_INDICATOR_DATA_LOCK, OnUpdateIndicatorDataLock)
END_MESSAGE_MAP()

namespace {

const char16_t kDiscardQuestion[] = u"編集中のデータは保存されません。よろしいですか？";

bool Ask(const char16_t* question) {
    CWnd* main = AfxGetMainWnd();
    return ::MessageBoxW(main ? main->GetSafeHwnd() : nullptr, question, u"MESSAGE",
                         MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool HoldsReadOnly(const CString& s) {
    return s.Find(u"/*READONLY*/") >= 0;
}

void FreeDataset(OraDataset* ds) {
    oci_free_dataset(ds);
    delete ds;
}

// Giving a large table's memory back to the system takes a while; the next
// rows need not wait for it. A dataset without large-object locators (freed
// through the client library) is freed on a thread of its own, which the
// next release and the program's end wait for.
class DatasetReleaser {
public:
    ~DatasetReleaser() { Join(); }
    void Release(OraDataset* ds) {
        Join();
        if (ds->row_count < 10000 || ds->lob_col_count > 0 || ds->object_col_count > 0) {
            FreeDataset(ds);
            return;
        }
        try {
            thread_ = std::thread(FreeDataset, ds);
        } catch (const std::system_error&) {
            FreeDataset(ds);
        }
    }

private:
    void Join() {
        if (thread_.joinable()) thread_.join();
    }
    std::thread thread_;
};

DatasetReleaser g_releaser;

} // namespace

CTavexDoc::CTavexDoc() {
    m_swap.SetSource(&m_data);
}

CTavexDoc::~CTavexDoc() {
    // Freed here: the document may outlive the releaser at the program's end.
    m_data.SetDataset(nullptr, nullptr, u"", u"", 0, 0);
    if (m_dataset) FreeDataset(m_dataset);
    m_dataset = nullptr;
}

void CTavexDoc::ReleaseData() {
    m_data.SetDataset(nullptr, nullptr, u"", u"", 0, 0);
    if (m_dataset) g_releaser.Release(m_dataset);
    m_dataset = nullptr;
}

BOOL CTavexDoc::OnNewDocument() {
    if (!CDocument::OnNewDocument()) return FALSE;
    SetData(nullptr, u"", u"", 1);
    return TRUE;
}

BOOL CTavexDoc::OnOpenDocument(LPCWSTR path) {
    // The framework does not read the file: the table-selection dialog does.
    if (!CDocument::OnNewDocument()) return FALSE;
    SetData(nullptr, u"", u"", 1);
    if (SelectTable(1, path) != 0) return FALSE;
    if (CWnd* main = AfxGetMainWnd(); main && main->GetSafeHwnd()) ::SetForegroundWindow(main->GetSafeHwnd());
    return TRUE;
}

BOOL CTavexDoc::HasUnsavedEdits() {
    // The rows a commit would write, as the counts show them: a sort, or rows
    // added and taken away again, leave undo steps but nothing to lose.
    if (!IsTableLoaded()) return FALSE;
    return m_data.m_insertedCount + m_data.m_updatedCount + m_data.m_deletedCount > 0 ? TRUE : FALSE;
}

BOOL CTavexDoc::ConfirmDiscardEdits() {
    if (!HasUnsavedEdits()) return TRUE;
    return Ask(kDiscardQuestion) ? TRUE : FALSE;
}

BOOL CTavexDoc::SaveModified() {
    if (!IsTableLoaded()) return TRUE;
    UpdateAllViews(nullptr, HINT_END_EDIT);
    if (!HasUnsavedEdits()) return TRUE;
    return Ask(u"アプリケーションを終了します。\n編集中のデータは保存されません。よろしいですか？") ? TRUE
                                                                                                    : FALSE;
}

CGridData* CTavexDoc::GetCurrentData() {
    if (m_swapFlag) return &m_swap;
    if (m_data.m_filtered && m_data.m_filter) return m_data.m_filter;
    return &m_data;
}

int CTavexDoc::SelectTable(int autoRun, const char16_t* path) {
    CTableListDlg dlg(AfxGetMainWnd());
    if (m_owner.IsEmpty()) m_owner = g_cur_user;
    dlg.m_session = g_session;
    dlg.m_autoRun = autoRun;
    dlg.m_swapMode = m_swapFlag;
    dlg.m_font = &g_app_font;
    dlg.m_owner = m_owner;
    dlg.m_table = m_table;
    dlg.m_alias = m_alias;
    dlg.m_where = m_where;
    dlg.m_token = &theSqlStrToken;
    dlg.m_lock = AppSettings.DATA_LOCK;
    if (path) dlg.m_path = path;
    dlg.m_columns = m_columns;
    if (dlg.DoModal() != IDOK) return 1;

    int fit = dlg.m_table != m_table || dlg.m_columns.size() != m_columns.size() ? 1 : 0;
    for (size_t i = 0; !fit && i < m_columns.size(); ++i) fit = dlg.m_columns[i] != m_columns[i];
    m_owner = dlg.m_owner;
    m_table = dlg.m_table;
    m_alias = dlg.m_alias;
    m_where = dlg.m_where;
    if (dlg.m_swapMode) {
        m_swapFlag = dlg.m_swapMode;
        UpdateAllViews(nullptr, HINT_SWAP_CHANGED);
    }
    AppSettings.DATA_LOCK = dlg.m_lock;
    m_columns = dlg.m_columns;
    OraDataset* result = dlg.m_result;
    dlg.m_result = nullptr;
    SetData(result, m_owner.GetString(), m_table.GetString(), fit);
    return 0;
}

int CTavexDoc::SetData(OraDataset* dataset, const char16_t* owner, const char16_t* table, int fitWidths) {
    CWaitCursor wait;
    m_owner = owner;
    m_table = table;
    SetTitle(table);
    // Binding starts the model unfiltered with an empty undo history; views
    // that showed the filter are put back on the model itself.
    const bool wasFiltered = m_data.m_filtered != 0;
    ReleaseData();
    m_dataset = dataset;
    if (m_table.IsEmpty()) {
        fitWidths = 0;
        if (wasFiltered) UpdateAllViews(nullptr, HINT_DATA_VIEW_CHANGED);
    } else {
        m_data.SetDataset(g_session, m_dataset, owner, table, AppSettings.DATA_LOCK,
                          AppSettings.USE_USER_UPDATABLE_COLUMNS);
        if (wasFiltered) UpdateAllViews(nullptr, HINT_DATA_VIEW_CHANGED);

        std::set<std::u16string> virtualColumns;
        if (g_session && oci_get_server_version(g_session) >= 11.0) {
            OraDataset vc{};
            oci_init_dataset(&vc);
            CString msg;
            if (oci_sel_dataset(
                    g_session, &vc,
                    u"select column_name from all_tab_cols c where c.owner = :X0 and c.table_name = "
                    u":X1 and c.virtual_column = 'YES' ",
                    10, &msg, "SS", owner, table) == ORARC_OK)
                for (int r = 0; r < vc.row_count; ++r) virtualColumns.insert(oci_get_dataset_data(&vc, r, 0));
            oci_free_dataset(&vc);
        }
        for (size_t i = 0; i < m_columns.size() && i < m_data.m_colFlags.size(); ++i)
            if (HoldsReadOnly(m_columns[i]) || virtualColumns.count(m_columns[i].GetString()))
                m_data.m_colFlags[i] &= ~5; // neither in fetched nor in inserted rows

        m_swapLaidOut = 0;
        if (m_swapFlag) {
            m_swap.ResetLayout();
            m_swapLaidOut = 1;
        }
    }
    UpdateAllViews(nullptr, HINT_DATA_LOADED, reinterpret_cast<CObject*>(static_cast<intptr_t>(fitWidths)));
    // The calculation pane summed the cells of the data just released.
    UpdateCalcText();
    return 0;
}

namespace {

CString CalcTextOf(CTavexDoc* doc, CMainFrame* frame) {
    if (!doc->m_dataset || doc->m_dataset->row_count == 0) return CString();
    if (AppSettings.GRID_CALC_TYPE == 5) return CString();
    CGridData* data = doc->GetCurrentData();
    if (!data || data->m_sel1.y < 0) return CString();
    if (data->m_sel1.x == data->m_sel2.x && data->m_sel1.y == data->m_sel2.y) return CString();
    if (!frame || !frame->m_wndStatusBar.GetSafeHwnd() || !frame->m_wndStatusBar.IsWindowVisible())
        return CString();
    return data->GetCalcText(AppSettings.GRID_CALC_TYPE, data->m_sel1, data->m_sel2);
}

} // namespace

void CTavexDoc::UpdateCalcText() {
    auto* frame = dynamic_cast<CMainFrame*>(AfxGetMainWnd());
    g_calc_text = CalcTextOf(this, frame);
    // Shown now: a mouse selection brings no idle time of its own to the
    // status bar, and the pane must not wait for the next command.
    if (frame && frame->m_wndStatusBar.GetSafeHwnd()) {
        const int pane = frame->m_wndStatusBar.CommandToIndex(ID_INDICATOR_CALC);
        if (pane >= 0 && frame->m_wndStatusBar.GetPaneText(pane) != g_calc_text)
            frame->m_wndStatusBar.SetPaneText(pane, g_calc_text);
    }
}

void CTavexDoc::OnFileSelectTable() {
    UpdateAllViews(nullptr, HINT_END_EDIT);
    if (!ConfirmDiscardEdits()) return;
    SelectTable(0, nullptr);
}

void CTavexDoc::OnUpdateFileSelectTable(CCmdUI* cmdUI) {
    cmdUI->Enable(g_connected ? TRUE : FALSE);
}

void CTavexDoc::OnFileRefresh() {
    UpdateAllViews(nullptr, HINT_END_EDIT);
    if (!ConfirmDiscardEdits()) return;
    SelectTable(1, nullptr);
}

void CTavexDoc::OnFileClearData() {
    UpdateAllViews(nullptr, HINT_END_EDIT);
    if (!ConfirmDiscardEdits()) return;
    SetData(nullptr, u"", u"", 1);
}

void CTavexDoc::OnUpdateFileClearData(CCmdUI* cmdUI) {
    cmdUI->Enable(IsTableLoaded());
}

void CTavexDoc::OnFileCommit() {
    CWaitCursor wait;
    UpdateAllViews(nullptr, HINT_END_EDIT);
    CWnd* main = AfxGetMainWnd();
    HWND owner = main ? main->GetSafeHwnd() : nullptr;
    CString counts, question;
    counts.Format(u"  delete: %d\n  insert: %d\n  update: %d\n", m_data.m_deletedCount,
                  m_data.m_insertedCount, m_data.m_updatedCount);
    question.Format(u"編集結果を保存します。\nよろしいですか？\n\n%s", counts.GetString());
    if (::MessageBoxW(owner, question, u"MESSAGE", MB_YESNO | MB_ICONQUESTION) == IDNO) return;

    CCommonCancelDlg dlg(main);
    int failCell[2] = {-1, -1};
    SaveThreadParams params;
    params.grid = &m_data;
    params.session = g_session;
    params.failCell = failCell;
    params.message = &m_message;
    params.cancel = &dlg.m_cancelState;
    unsigned id = 0;
    uintptr_t thread = _beginthreadex(nullptr, 0, SaveThreadProc, &params, CREATE_SUSPENDED, &id);
    if (!thread) {
        ::MessageBoxW(owner, u"スレッド作成エラー", u"ERROR", MB_ICONWARNING);
        return;
    }
    dlg.m_thread = reinterpret_cast<HANDLE>(thread);
    dlg.m_pWorkerWnd = &params.window;
    dlg.m_flags = CCommonCancelDlg::kCancel | CCommonCancelDlg::kProgress;
    dlg.DoModal();
    // A dialog that never started leaves the worker suspended: it saves without a window.
    if (!params.window) ::ResumeThread(dlg.m_thread);
    ::WaitForSingleObject(dlg.m_thread, INFINITE);
    ::CloseHandle(dlg.m_thread);
    dlg.m_thread = nullptr;

    if (params.result != 0) {
        ::MessageBoxW(owner, m_message, u"ERROR", MB_ICONWARNING);
        UpdateAllViews(nullptr, HINT_SAVE_FAILED, reinterpret_cast<CObject*>(failCell));
        return;
    }
    CString summary;
    summary.Format(u"%s\n再検索しますか？", m_message.GetString());
    // Committed: nothing of the grid is pending any more. Unless the same
    // selection reads the rows again, the grid goes, as after No; the rows
    // it held would otherwise be written a second time by the next commit.
    if (::MessageBoxW(owner, summary, u"MESSAGE", MB_YESNO | MB_ICONINFORMATION) != IDYES ||
        SelectTable(1, nullptr) != 0)
        SetData(nullptr, u"", u"", 1);
}

void CTavexDoc::OnUpdateFileCommit(CCmdUI* cmdUI) {
    cmdUI->Enable(IsTableLoaded());
}

void CTavexDoc::OnDataSwapRowCol() {
    if (!m_swapFlag) {
        if (!m_swapLaidOut) {
            m_swap.ResetLayout();
            m_swapLaidOut = 1;
        }
        m_swapFlag = 1;
    } else {
        m_swapFlag = 0;
    }
    UpdateAllViews(nullptr, HINT_SWAP_CHANGED);
}

void CTavexDoc::OnUpdateDataSwapRowCol(CCmdUI* cmdUI) {
    cmdUI->SetCheck(m_swapFlag);
    cmdUI->Enable(IsTableLoaded());
}

void CTavexDoc::OnDataFilter() {
    UpdateAllViews(nullptr, HINT_OPEN_FILTER);
}

void CTavexDoc::OnUpdateDataFilter(CCmdUI* cmdUI) {
    cmdUI->Enable(m_data.GetRowCount() > 0);
}

void CTavexDoc::OnDataClearFilter() {
    if (m_data.m_filtered) UpdateAllViews(nullptr, HINT_CLEAR_FILTER);
}

void CTavexDoc::OnUpdateDataClearFilter(CCmdUI* cmdUI) {
    cmdUI->Enable(m_data.m_filtered ? TRUE : FALSE);
}

void CTavexDoc::OnUpdateIndicatorDataLock(CCmdUI* cmdUI) {
    cmdUI->Enable(TRUE);
    cmdUI->SetText(IsTableLoaded() && AppSettings.DATA_LOCK ? u"Data Lock" : u"");
}
