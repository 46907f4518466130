// The view's commands: each menu, toolbar, context-menu and key command with
// its enabling rule, almost all of them one operation of the grid window or
// of its model. Cell commands work on the cursor cell in the editable
// model's terms and do nothing where it maps to no row of that model.
#include <afxwin.h>

#include <algorithm>
#include <climits>

#include "app/appstate.h"
#include "app/dialogs/celldlgs.h"
#include "app/dialogs/dataeditdlg.h"
#include "app/dialogs/inputdlg.h"
#include "app/settings.h"
#include "app/tavexdoc.h"
#include "app/tavexview.h"
#include "base/textfile.h"
#include "grid/gridfilter.h"
#include "mfc/waitcursor.h"
#include "oracle/ora_dataset.h"
#include "oracle/ora_dict.h"
#include "oracle/ora_globals.h"
#include "res/resource.h"

namespace {

// The copy commands and their CopyToClipboard types.
struct CopyCommand {
    UINT id;
    int type;
};
constexpr CopyCommand kCopies[] = {
    {ID_EDIT_COPY, 2},
    {ID_EDIT_COPY_TAB, 2},
    {ID_EDIT_COPY_TAB_WITH_COLNAME, 4},
    {ID_EDIT_COPY_CSV, 1},
    {ID_EDIT_COPY_CSV_WITH_COLNAME, 3},
    {ID_EDIT_COPY_FIXED, 5},
    {ID_EDIT_COPY_FIXED_WITH_COLNAME, 6},
};

int CopyType(UINT id) {
    for (const CopyCommand& c : kCopies)
        if (c.id == id) return c.type;
    return 0;
}

// Every command this file handles.
constexpr UINT kCommands[] = {
    ID_DATA_ADD_RECORDS,
    ID_EDIT_UNDO,
    ID_EDIT_REDO,
    ID_EDIT_CUT,
    ID_EDIT_COPY,
    ID_EDIT_COPY_TAB,
    ID_EDIT_COPY_TAB_WITH_COLNAME,
    ID_EDIT_COPY_CSV,
    ID_EDIT_COPY_CSV_WITH_COLNAME,
    ID_EDIT_COPY_FIXED,
    ID_EDIT_COPY_FIXED_WITH_COLNAME,
    ID_EDIT_PASTE,
    ID_EDIT_PASTE_CELL,
    ID_EDIT_SELECT_ALL,
    ID_EDIT_CELL,
    ID_EDIT_INSERT_NEWLINE,
    ID_EDIT_SEARCH,
    ID_EDIT_SEARCH_NEXT,
    ID_EDIT_SEARCH_PREV,
    ID_EDIT_SEARCH_REPLACE,
    ID_EDIT_NEXT_CHANGED_CELL,
    ID_EDIT_PREV_CHANGED_CELL,
    ID_EDIT_CLEAR_SEARCH_HIGHLIGHT,
    ID_EDIT_FIND_COLUMN_NAME,
    ID_DATA_FIT_COLUMN_WIDTH,
    ID_DATA_FIT_COLUMN_WIDTH_WITH_NAME,
    ID_DATA_EQUAL_COLUMN_WIDTH,
    ID_DATA_COLUMN_WIDTH,
    ID_EDIT_DATA,
    ID_DATA_LOB_DOWNLOAD,
    ID_DATA_LOB_UPLOAD,
    ID_DATA_BFILE_UPDATE,
    ID_DATA_SET_NULL,
    ID_DATA_DELETE_EMPTY_ROWS,
    ID_DATA_DELETE_EMPTY_ADDED_ROWS,
    ID_EDIT_TO_LOWER,
    ID_EDIT_TO_UPPER,
    ID_EDIT_TO_ZENKAKU,
    ID_EDIT_TO_ZENKAKU_KANA,
    ID_EDIT_TO_ZENKAKU_ALNUM,
    ID_EDIT_TO_HANKAKU,
    ID_EDIT_TO_HANKAKU_KANA,
    ID_EDIT_TO_HANKAKU_ALNUM,
    ID_EDIT_INPUT_SEQUENCE,
    ID_EDIT_INPUT_CURRENT_TIME,
    ID_DATA_SORT_GRID,
};

bool Handles(UINT id) {
    return std::find(std::begin(kCommands), std::end(kCommands), id) != std::end(kCommands);
}

// The undo ring of an in-place editor has a step to redo.
bool CanRedoEditor(const CEditData* data) {
    const UndoBuffer* u = data ? data->m_undo : nullptr;
    if (!u) return false;
    const int32_t next = u->top + 1 >= u->capacity ? 0 : u->top + 1;
    return u->SlotAt(next) != nullptr;
}

// The selection's bounds, ordered.
void SelectionBounds(const CGridData* d, POINT* low, POINT* high) {
    low->x = std::min(d->m_sel1.x, d->m_sel2.x);
    low->y = std::min(d->m_sel1.y, d->m_sel2.y);
    high->x = std::max(d->m_sel1.x, d->m_sel2.x);
    high->y = std::max(d->m_sel1.y, d->m_sel2.y);
}

// The three modeless dialogs, made on first use and kept to the end.
CSearchDlg& SearchDlg() {
    static CSearchDlg dlg;
    return dlg;
}
CReplaceDlg& ReplaceDlg() {
    static CReplaceDlg dlg;
    return dlg;
}
CGridFilterDlg& FilterDlg() {
    static CGridFilterDlg dlg;
    return dlg;
}

} // namespace

CSearchDlg* CTavexView::GetSearchDlg() {
    SearchDlg().EnsureWindow();
    return &SearchDlg();
}

CReplaceDlg* CTavexView::GetReplaceDlg() {
    ReplaceDlg().EnsureWindow();
    return &ReplaceDlg();
}

CGridFilterDlg* CTavexView::GetFilterDlg() {
    FilterDlg().EnsureWindow();
    return &FilterDlg();
}

void CTavexView::HideSearchDialogs() {
    // Never makes a window: only those made and still there, when shown.
    for (CDialog* dlg : {static_cast<CDialog*>(&ReplaceDlg()), static_cast<CDialog*>(&SearchDlg()),
                         static_cast<CDialog*>(&FilterDlg())}) {
        HWND h = dlg->m_hWnd;
        if (h && ::IsWindow(h) && ::IsWindowVisible(h)) dlg->ShowWindow(SW_HIDE);
    }
}

void CTavexView::ReleaseSearchDialogs() {
    CGridFilterDlg& filter = FilterDlg();
    for (CSearchDlgBase* dlg :
         {static_cast<CSearchDlgBase*>(&ReplaceDlg()), static_cast<CSearchDlgBase*>(&SearchDlg()),
          static_cast<CSearchDlgBase*>(&filter)}) {
        if (dlg->m_request != &m_searchRequest) continue;
        dlg->m_request = nullptr;
        dlg->m_bound = 0;
        dlg->m_ownerWnd = nullptr;
        if (dlg == &filter) filter.m_gridData = nullptr;
        HWND h = dlg->m_hWnd;
        if (h && ::IsWindow(h) && ::IsWindowVisible(h)) dlg->ShowWindow(SW_HIDE);
    }
}

void CTavexView::OpenFilterDialog() {
    auto* split = dynamic_cast<CSplitterWnd*>(GetParent());
    if (split && split->GetPane(0, 0) != this) return;
    CTavexDoc* doc = GetDocument();
    if (!doc) return;
    HideSearchDialogs();
    CGridFilterDlg* dlg = GetFilterDlg();
    dlg->m_ownerWnd = m_hWnd;
    dlg->m_request = &m_searchRequest;
    dlg->m_gridData = &doc->m_data;
    dlg->m_bound = 1;
    dlg->m_closeAtFound = AppSettings.SEARCH_DLG_CLOSE_AT_FOUND;
    CGridData* cur = m_grid.GetData();
    dlg->m_initialColumn = cur ? (doc->m_swapFlag ? cur->m_curRow : cur->m_curCol) : 0;
    dlg->ShowDialog();
}

BOOL CTavexView::OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info) {
    if (Handles(id) && m_grid.GetSafeHwnd()) {
        if (code == static_cast<int>(CN_UPDATE_COMMAND_UI) && extra) {
            auto* ui = static_cast<CCmdUI*>(extra);
            const bool on = IsCommandEnabled(id);
            if (CopyType(id) && ui->m_pSubMenu && ui->m_pMenu) {
                // The popup "コピー(フォーマット指定)" itself, by its position.
                ui->m_pMenu->EnableMenuItem(ui->m_nIndex,
                                            MF_BYPOSITION | (on ? MF_ENABLED : MF_GRAYED | MF_DISABLED));
            } else {
                ui->Enable(on ? TRUE : FALSE);
            }
            return TRUE;
        }
        if (code == static_cast<int>(CN_COMMAND)) {
            if (info) {
                info->pTarget = this;
                return TRUE;
            }
            RunCommand(id);
            return TRUE;
        }
    }
    return CView::OnCmdMsg(id, code, extra, info);
}

// --- Enabling -------------------------------------------------------------------------------------

bool CTavexView::CursorOfType(int type, int* col, int* row) {
    CTavexDoc* doc = GetDocument();
    if (!doc || m_grid.HasSelection() || !m_grid.IsCursorValid()) return false;
    if (!GetCursorCell(col, row)) return false;
    return doc->ColumnTypeCode(*col) == type && !doc->m_data.IsDeletedRow(*row);
}

bool CTavexView::SelectionInOneLine() {
    CGridData* d = m_grid.GetData();
    if (!d || !m_grid.HasSelection()) return false;
    CTavexDoc* doc = GetDocument();
    return doc && doc->m_swapFlag ? d->m_sel1.y == d->m_sel2.y : d->m_sel1.x == d->m_sel2.x;
}

bool CTavexView::IsCommandEnabled(UINT id) {
    CTavexDoc* doc = GetDocument();
    CGridData* d = m_grid.GetData();
    if (!doc || !d) return false;
    const bool editorShown = m_grid.IsCellEditorVisible() != 0;
    int col = 0, row = 0;
    if (CopyType(id)) return m_grid.CanCopy() != 0;
    switch (id) {
    case ID_DATA_ADD_RECORDS:
    case ID_DATA_DELETE_EMPTY_ROWS:
    case ID_DATA_DELETE_EMPTY_ADDED_ROWS: return doc->GetCurrentData()->CanInsertRows() != 0;
    case ID_EDIT_UNDO:
    case ID_EDIT_REDO: {
        if (!d->IsEditable() || !m_grid.m_hasFocus) return false;
        const bool redo = id == ID_EDIT_REDO;
        if (editorShown) {
            CEditData* e = m_grid.m_editData;
            return redo ? CanRedoEditor(e) : e && e->m_undo && e->m_undo->current;
        }
        return (redo ? d->CanRedo() : d->CanUndo()) != 0;
    }
    case ID_EDIT_CUT:
        if (!d->IsEditable()) return false;
        return editorShown ? m_grid.m_editWnd && m_grid.m_editWnd->HasSelection() : d->HasCursor() != 0;
    case ID_EDIT_PASTE: return m_grid.CanPaste() != 0;
    case ID_EDIT_PASTE_CELL: return m_grid.CanPaste() && !m_grid.HasSelection();
    case ID_EDIT_SEARCH:
    case ID_EDIT_SEARCH_NEXT:
    case ID_EDIT_SEARCH_PREV:
    case ID_EDIT_SEARCH_REPLACE:
    case ID_EDIT_NEXT_CHANGED_CELL:
    case ID_EDIT_PREV_CHANGED_CELL: return doc->IsTableLoaded() != FALSE;
    case ID_DATA_COLUMN_WIDTH: return doc->m_data.GetColCount() > 0;
    case ID_EDIT_DATA:
        return !m_grid.HasSelection() && m_grid.IsCursorValid() &&
               d->IsCellEditable(d->m_curRow, d->m_curCol);
    case ID_DATA_LOB_DOWNLOAD: {
        if (!CursorOfType(SQLT_BLOB, &col, &row) && !CursorOfType(SQLT_BFILEE, &col, &row)) return false;
        return !doc->m_data.IsInsertedRow(row) && !doc->m_data.IsCellModified(row, col) &&
               doc->m_data.GetLobLocator(row, col) != nullptr;
    }
    case ID_DATA_LOB_UPLOAD: return CursorOfType(SQLT_BLOB, &col, &row);
    case ID_DATA_BFILE_UPDATE: return CursorOfType(SQLT_BFILEE, &col, &row);
    case ID_DATA_SET_NULL:
        return CursorOfType(SQLT_BLOB, &col, &row) || CursorOfType(SQLT_BFILEE, &col, &row);
    case ID_EDIT_TO_LOWER:
    case ID_EDIT_TO_UPPER:
    case ID_EDIT_TO_ZENKAKU:
    case ID_EDIT_TO_ZENKAKU_KANA:
    case ID_EDIT_TO_ZENKAKU_ALNUM:
    case ID_EDIT_TO_HANKAKU:
    case ID_EDIT_TO_HANKAKU_KANA:
    case ID_EDIT_TO_HANKAKU_ALNUM: return m_grid.IsCursorValid() != 0;
    case ID_EDIT_INPUT_SEQUENCE: return SelectionInOneLine();
    // The date comes from the database: only with a session.
    case ID_EDIT_INPUT_CURRENT_TIME: return g_connected && g_session;
    default: return true;
    }
}

// --- Commands -------------------------------------------------------------------------------------

void CTavexView::NotifyDataChanged() {
    // Sent to this view as the grid posts it: the counts are right once the
    // command returns.
    CGridData* d = m_grid.GetData();
    if (!d || !GetSafeHwnd()) return;
    SendMessage(GDN_DATACHANGED, static_cast<WPARAM>(d->m_curCol), d->m_curRow);
}

void CTavexView::ShowMessage(const char16_t* text) {
    if (auto* frame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd())) frame->SetMessageText(text);
}

void CTavexView::ReportFound(int notFound, int wrapped, int direction) {
    // The report names the end by the direction searched, not the request's.
    const int kept = m_searchRequest.direction;
    m_searchRequest.direction = direction;
    ReportSearchResult(notFound, wrapped);
    m_searchRequest.direction = kept;
}

void CTavexView::RunCommand(UINT id) {
    if (!IsCommandEnabled(id)) return;
    // Every command starts from an empty message pane: an old result (a
    // search's "見つかりません") is not this command's, whatever it ends with.
    ShowMessage(u"");
    if (const int type = CopyType(id)) {
        m_grid.CopyToClipboard(type);
        ShowMessage(u"");
        return;
    }
    switch (id) {
    // A dialog's command ends with the pane empty, also when it was cancelled.
    case ID_DATA_ADD_RECORDS:
        OnDataAddRecords();
        ShowMessage(u"");
        break;
    case ID_EDIT_UNDO: OnEditUndoRedo(false); break;
    case ID_EDIT_REDO: OnEditUndoRedo(true); break;
    case ID_EDIT_CUT:
        m_grid.Cut();
        ShowMessage(u"");
        break;
    case ID_EDIT_PASTE:
        m_grid.Paste();
        ShowMessage(u"");
        break;
    case ID_EDIT_PASTE_CELL: OnEditPasteCell(); break;
    case ID_EDIT_SELECT_ALL:
        m_grid.SelectAll();
        ShowMessage(u"");
        break;
    case ID_EDIT_CELL:
        m_grid.StartEdit(0, 1);
        ShowMessage(u"");
        break;
    case ID_EDIT_INSERT_NEWLINE:
        OnEditInsertNewline();
        ShowMessage(u"");
        break;
    case ID_EDIT_SEARCH:
        OnEditSearch();
        ShowMessage(u"");
        break;
    case ID_EDIT_SEARCH_NEXT: OnEditFindNext(1); break;
    case ID_EDIT_SEARCH_PREV: OnEditFindNext(-1); break;
    case ID_EDIT_SEARCH_REPLACE:
        // Hiding the other dialog gives the grid its focus back, and the
        // cursor's type with it: emptied after that too.
        OnEditReplace();
        ShowMessage(u"");
        break;
    case ID_EDIT_NEXT_CHANGED_CELL: OnEditChangedCell(1); break;
    case ID_EDIT_PREV_CHANGED_CELL: OnEditChangedCell(-1); break;
    case ID_EDIT_CLEAR_SEARCH_HIGHLIGHT:
        OnEditClearSearchHighlight();
        ShowMessage(u"");
        break;
    case ID_EDIT_FIND_COLUMN_NAME: OnEditFindColumnName(); break;
    case ID_DATA_FIT_COLUMN_WIDTH:
    case ID_DATA_FIT_COLUMN_WIDTH_WITH_NAME:
        m_grid.FitColumnWidths(id == ID_DATA_FIT_COLUMN_WIDTH_WITH_NAME ? 1 : 0);
        ShowMessage(u"");
        break;
    case ID_DATA_EQUAL_COLUMN_WIDTH:
        m_grid.ResetColumnWidths();
        ShowMessage(u"");
        break;
    case ID_DATA_COLUMN_WIDTH:
        OnDataColumnWidth();
        ShowMessage(u"");
        break;
    case ID_EDIT_DATA:
        OnEditData();
        ShowMessage(u"");
        break;
    case ID_DATA_LOB_DOWNLOAD:
        OnDataLobDownload();
        ShowMessage(u"");
        break;
    case ID_DATA_LOB_UPLOAD:
    case ID_DATA_BFILE_UPDATE: {
        int col = 0, row = 0;
        if (!GetCursorCell(&col, &row)) break;
        if (id == ID_DATA_LOB_UPLOAD)
            GetDocument()->LobUpload(row, col);
        else
            GetDocument()->BfileUpdate(row, col);
        ShowMessage(u"");
        break;
    }
    case ID_DATA_SET_NULL: OnDataSetNull(); break;
    case ID_DATA_DELETE_EMPTY_ROWS: OnDataDeleteEmptyRows(1); break;
    case ID_DATA_DELETE_EMPTY_ADDED_ROWS: OnDataDeleteEmptyRows(0); break;
    case ID_EDIT_TO_LOWER:
    case ID_EDIT_TO_UPPER:
    case ID_EDIT_TO_ZENKAKU:
    case ID_EDIT_TO_ZENKAKU_KANA:
    case ID_EDIT_TO_ZENKAKU_ALNUM:
    case ID_EDIT_TO_HANKAKU:
    case ID_EDIT_TO_HANKAKU_KANA:
    case ID_EDIT_TO_HANKAKU_ALNUM: OnEditConvert(id); break;
    case ID_EDIT_INPUT_SEQUENCE:
        OnEditInputSequence();
        ShowMessage(u"");
        break;
    case ID_EDIT_INPUT_CURRENT_TIME: OnEditInputCurrentTime(); break;
    case ID_DATA_SORT_GRID:
        OnDataSortGrid();
        ShowMessage(u"");
        break;
    default: break;
    }
}

void CTavexView::OnDataAddRecords() {
    CInsertRowsDlg dlg(AfxGetMainWnd());
    if (dlg.DoModal() != IDOK) return;
    m_grid.InsertRows(dlg.m_count);
}

void CTavexView::OnEditUndoRedo(bool redo) {
    CTavexDoc* doc = GetDocument();
    const int filtered = doc->m_data.m_filtered;
    if (redo)
        m_grid.Redo();
    else
        m_grid.Undo();
    ShowMessage(u"");
    if (filtered != doc->m_data.m_filtered) {
        RebindData();
        doc->UpdateAllViews(this, HINT_DATA_VIEW_CHANGED);
    }
}

void CTavexView::OnEditPasteCell() {
    if (m_grid.HasSelection()) return;
    m_grid.StartEdit(0, 1);
    if (m_grid.IsCellEditorVisible() && m_grid.m_editWnd) {
        m_grid.m_editWnd->SelectAll();
        m_grid.m_editWnd->Paste();
    }
    ShowMessage(u"");
}

void CTavexView::OnEditInsertNewline() {
    CGridData* d = m_grid.GetData();
    if (d->m_curCol < 0 || d->m_curRow < 0 || !d->IsEditable()) return;
    if (!d->IsCellEditable(d->m_curRow, d->m_curCol) || !m_grid.IsCellEditorVisible() || !m_grid.m_editWnd)
        return;
    m_grid.m_editWnd->ReplaceSelection(u"\n", 0);
}

void CTavexView::OnEditSearch() {
    HideSearchDialogs();
    CSearchDlg* dlg = GetSearchDlg();
    dlg->m_ownerWnd = m_hWnd;
    dlg->m_searchMessage = SRM_FIND;
    dlg->m_request = &m_searchRequest;
    dlg->m_bound = 1;
    dlg->m_closeAtFound = AppSettings.SEARCH_DLG_CLOSE_AT_FOUND;
    dlg->ShowDialog();
}

void CTavexView::OnEditReplace() {
    m_searchRequest.inSelection = m_grid.HasSelection() ? 1 : 0;
    HideSearchDialogs();
    CReplaceDlg* dlg = GetReplaceDlg();
    dlg->m_ownerWnd = m_hWnd;
    dlg->m_searchMessage = SRM_FIND;
    dlg->m_replaceMessage = SRM_REPLACE;
    dlg->m_request = &m_searchRequest;
    dlg->m_bound = 1;
    dlg->ShowDialog();
}

void CTavexView::OnEditFindNext(int direction) {
    // Always in the command's own direction, whatever the request holds.
    const SearchRequest& q = m_searchRequest;
    int wrapped = 0;
    const int notFound =
        m_grid.Find(q.searchText.GetString(), direction, q.matchCase, q.matchWidth, q.useRegex, &wrapped, 0);
    ReportFound(notFound, wrapped, direction);
}

void CTavexView::OnEditChangedCell(int direction) {
    int wrapped = 0;
    const int found = direction > 0 ? m_grid.NextModifiedCell(&wrapped) : m_grid.PrevModifiedCell(&wrapped);
    ReportFound(found ? 0 : 1, wrapped, direction);
}

void CTavexView::OnEditClearSearchHighlight() {
    if (!m_grid.m_search.highlight) return;
    m_grid.m_search.highlight = 0;
    m_grid.GetData()->BroadcastToViews(m_grid.GetSafeHwnd(), GDM_REDRAW, 0, 0);
    m_grid.Invalidate();
}

void CTavexView::OnEditFindColumnName() {
    CSearchDlg dlg(this);
    dlg.m_title = u"カラム名を検索";
    dlg.m_ownerWnd = m_hWnd;
    dlg.m_searchMessage = SRM_FINDCOLUMN;
    dlg.m_request = &m_searchRequest;
    dlg.m_bound = 1;
    dlg.m_modal = 1;
    dlg.DoModal();
}

bool CTavexView::ParseWidth(const CString& text, int* width) {
    const int n = text.GetLength();
    int i = 0;
    while (i < n && (text[i] == u' ' || text[i] == u'\t')) ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    int64_t v = 0;
    const int first = i;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i)
        v = std::min<int64_t>(v * 10 + (text[i] - u'0'), INT_MAX);
    if (i == first) return false;
    *width = negative ? static_cast<int>(-v) : static_cast<int>(v);
    return true;
}

void CTavexView::OnDataColumnWidth() {
    CTavexDoc* doc = GetDocument();
    CGridData* d = m_grid.GetData();
    // The model whose columns are the table's: the swapped view's rows are.
    CGridData* model = doc->m_swapFlag ? doc->m_swap.m_source : d;
    int first = 0, last = 0;
    if (m_grid.HasSelection()) {
        POINT low{}, high{};
        SelectionBounds(d, &low, &high);
        first = doc->m_swapFlag ? low.y : low.x;
        last = doc->m_swapFlag ? high.y : high.x;
    } else {
        first = last = doc->m_swapFlag ? d->m_curRow : d->m_curCol;
    }
    if (!model || first < 0 || last >= model->GetColCount()) return;
    CInputDlg dlg;
    dlg.m_title = u"列幅";
    dlg.m_text.Format(u"%d", model->GetColWidth(first));
    if (dlg.RunModal(AfxGetMainWnd()) != IDOK) return;
    int width = 0;
    if (!ParseWidth(dlg.m_text, &width)) return;
    width = std::max(width, m_grid.m_minColWidth);
    width = std::min(width, std::max(m_grid.GetDataAreaWidth(), m_grid.m_minColWidth));
    for (int c = first; c <= last; ++c) model->SetColWidth(c, width);
    if (IsWindowVisible()) m_grid.Relayout();
}

void CTavexView::OnEditData() {
    CTavexDoc* doc = GetDocument();
    CGridData* d = m_grid.GetData();
    if (m_grid.IsCellEditorVisible() || !d->IsCellEditable(d->m_curRow, d->m_curCol)) return;
    const int gridRow = d->m_curRow, gridCol = d->m_curCol;
    const char16_t* cell = d->GetEditText(gridRow, gridCol);
    const CString text = cell ? cell : u"";
    const int lineEnd = textfile_str_line_end(text.GetString());

    CEditData buffer;
    buffer.SetUnlimitedUndo();
    buffer.SetLineEndType(static_cast<uint32_t>(lineEnd == LINE_END_NONE ? LINE_END_CRLF : lineEnd));
    CDataEditDlg::LoadText(&buffer, text.GetString(), d->GetMaxInputLen(gridRow, gridCol));

    CDataEditDlg dlg(AfxGetMainWnd());
    dlg.m_data = &buffer;
    const int modelCol = doc->m_swapFlag ? gridRow : gridCol;
    const char16_t* name = doc->m_data.GetDispColName(modelCol);
    const char16_t* type = doc->m_data.GetColTypeName(modelCol);
    dlg.m_title.Format(u"データ編集 Name:%s Type:%s", name ? name : u"", type ? type : u"");
    dlg.m_font = g_app_font.GetSafeHandle() ? &g_app_font : nullptr;
    dlg.m_colors = AppSettings.colors;
    dlg.m_options = CTavexDoc::EditorOptionWord();
    dlg.m_lineEndType = lineEnd;
    if (dlg.DoModal() == IDCANCEL) return;
    const bool relined = lineEnd != LINE_END_NONE && dlg.m_lineEndType != lineEnd;
    if (!CDataEditDlg::IsModified(buffer) && !relined) return;
    // Joined with the line end the dialog ended on (a cell without breaks
    // starts on the stored one).
    buffer.SetLineEndType(static_cast<uint32_t>(dlg.m_lineEndType));
    const CString edited = buffer.GetAllText();
    m_grid.SetCellText(gridRow, gridCol, edited.GetString(), -1);
}

void CTavexView::OnDataLobDownload() {
    CTavexDoc* doc = GetDocument();
    int col = 0, row = 0;
    if (!GetCursorCell(&col, &row)) return;
    OraLobCell* cell = doc->m_data.GetLobLocator(row, col);
    if (!cell) return;
    OraLobValue value = ora_lob_value(*cell);
    doc->LobDownload(&value);
}

void CTavexView::OnDataSetNull() {
    int col = 0, row = 0;
    if (!CursorOfType(SQLT_BLOB, &col, &row) && !CursorOfType(SQLT_BFILEE, &col, &row)) return;
    CTavexDoc* doc = GetDocument();
    doc->m_data.SetTextWithUndo(row, col, u"", 0);
    doc->UpdateAllViews(nullptr, HINT_CELL_CHANGED);
    m_grid.Invalidate();
    ShowMessage(u"");
}

void CTavexView::OnDataDeleteEmptyRows(int allRows) {
    if (allRows && AppSettings.DISP_DELETE_ALL_NULL_ROWS_WARNING &&
        ::MessageBoxW(AfxGetMainWnd() ? AfxGetMainWnd()->GetSafeHwnd() : nullptr,
                      u"現在表示中のカラムが，すべてNULLの行を削除します。よろしいですか？\n("
                      u"すべてのカラムを表示していない場合，"
                      u"非表示のカラムにデータが入っていても空行と見なします)",
                      u"Message", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    CGridData* d = m_grid.GetData();
    int n = 0;
    if (d->IsEditable()) {
        m_grid.EndEdit();
        n = d->DeleteNullRows(allRows);
        if (n > 0) {
            POINT cursor{std::clamp(d->m_curCol, 0, std::max(d->GetColCount() - 1, 0)),
                         std::clamp(d->m_curRow, 0, std::max(d->GetRowCount() - 1, 0))};
            m_grid.MoveCursor(cursor, 0, 0);
            d->BroadcastToViews(m_grid.GetSafeHwnd(), GDM_RELAYOUT, 0, 0);
            m_grid.Relayout();
            m_grid.EnsureVisible(cursor);
        }
        // Sent, not posted: the status text they bring must come before the count.
        SendMessage(GDN_CURSORMOVED, static_cast<WPARAM>(d->m_curCol), d->m_curRow);
        NotifyDataChanged();
    }
    CString text;
    text.Format(u"%d行削除しました", n);
    ShowMessage(text.GetString());
}

void CTavexView::OnEditConvert(UINT id) {
    CGridData* d = m_grid.GetData();
    int n = 0;
    switch (id) {
    case ID_EDIT_TO_LOWER:
    case ID_EDIT_TO_UPPER:
        n = id == ID_EDIT_TO_LOWER ? d->ToLower() : d->ToUpper();
        d->BroadcastToViews(m_grid.GetSafeHwnd(), GDM_REDRAW, 0, 0);
        m_grid.Invalidate();
        break;
    case ID_EDIT_TO_ZENKAKU: n = m_grid.ToZenkaku(1, 1); break;
    case ID_EDIT_TO_ZENKAKU_KANA: n = m_grid.ToZenkaku(0, 1); break;
    case ID_EDIT_TO_ZENKAKU_ALNUM: n = m_grid.ToZenkaku(1, 0); break;
    case ID_EDIT_TO_HANKAKU: n = m_grid.ToHankaku(1, 1); break;
    case ID_EDIT_TO_HANKAKU_KANA: n = m_grid.ToHankaku(0, 1); break;
    case ID_EDIT_TO_HANKAKU_ALNUM: n = m_grid.ToHankaku(1, 0); break;
    default: return;
    }
    NotifyDataChanged();
    CString text;
    text.Format(u"%d件置換しました", n);
    ShowMessage(text.GetString());
}

void CTavexView::OnEditInputSequence() {
    CGridData* d = m_grid.GetData();
    if (!m_grid.HasSelection()) return;
    POINT low{}, high{};
    SelectionBounds(d, &low, &high);
    CInputSequenceDlg dlg(AfxGetMainWnd());
    const char16_t* first = d->GetDispText(low.y, low.x);
    int64_t start = 0;
    if (!first || !CInputSequenceDlg::ParseInt64(first, &start)) start = 0;
    dlg.m_start = start;
    dlg.m_step = 1;
    if (dlg.DoModal() != IDOK) return;
    d->InputSequence(dlg.m_start, dlg.m_step);
    d->BroadcastToViews(m_grid.GetSafeHwnd(), GDM_REDRAW, 0, 0);
    m_grid.Invalidate();
    NotifyDataChanged();
}

void CTavexView::OnEditInputCurrentTime() {
    // Checked again: the date needs the database.
    if (!g_connected || !g_session) return;
    CString value, msg;
    oradict_get_sysdate_text(&value, AppSettings.NLS_DATE_FORMAT.GetString(), &msg);
    if (value.IsEmpty()) {
        ShowMessage(msg.GetString());
        return;
    }
    m_grid.PasteText(value.GetString());
    ShowMessage(u"");
}

void CTavexView::OnDataSortGrid() {
    CTavexDoc* doc = GetDocument();
    CGridData* d = m_grid.GetData();
    int keys[5] = {-1, -1, -1, -1, -1};
    int orders[5] = {-1, -1, -1, -1, -1};
    int count = 0;
    if (m_grid.HasSelection()) {
        POINT low{}, high{};
        SelectionBounds(d, &low, &high);
        const int from = doc->m_swapFlag ? low.y : low.x, to = doc->m_swapFlag ? high.y : high.x;
        for (int c = from; c <= to && count < 5; ++c) keys[count++] = c;
    } else if (m_grid.IsCursorValid()) {
        keys[count++] = doc->m_swapFlag ? d->m_curRow : d->m_curCol;
    }
    for (int i = 0; i < count; ++i) orders[i] = 1;
    CGridSortDlg dlg(AfxGetMainWnd());
    dlg.m_gridData = &doc->m_data;
    dlg.m_keys = keys;
    dlg.m_orders = orders;
    dlg.m_keyCount = std::min(count, 3);
    if (dlg.DoModal() != IDOK) return;
    CWaitCursor wait;
    CGridData* target = doc->m_data.m_filtered && doc->m_data.m_filter
                            ? static_cast<CGridData*>(doc->m_data.m_filter)
                            : &doc->m_data;
    target->Sort(keys, orders, dlg.m_keyCount);
    doc->UpdateAllViews(nullptr, HINT_RELAYOUT);
    NotifyDataChanged();
}
