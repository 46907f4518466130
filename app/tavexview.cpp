#include "app/tavexview.h"

#include "app/appstate.h"
#include "editor/editctrl.h"
#include "app/settings.h"
#include "app/tavexdoc.h"
#include "grid/gridfilter.h"
#include "res/resource.h"

IMPLEMENT_DYNCREATE(CTavexView, CView)

BEGIN_MESSAGE_MAP(CTavexView, CView)
ON_WM_CREATE()
ON_WM_SIZE()
ON_WM_SETFOCUS()
ON_WM_HSCROLL()
ON_WM_VSCROLL()
ON_WM_CONTEXTMENU()
ON_COMMAND(ID_DATA_ADD_RECORD, OnDataAddRecord)
ON_UPDATE_COMMAND_UI(ID_DATA_ADD_RECORD, OnUpdateDataAddRecord)
ON_COMMAND(ID_DATA_DELETE_RECORD, OnDataDeleteRecord)
ON_UPDATE_COMMAND_UI(ID_DATA_DELETE_RECORD, OnUpdateDataDeleteRecord)
ON_COMMAND(ID_DATA_ADJUST_COLUMN_WIDTH, OnDataAdjustColumnWidth)
ON_UPDATE_COMMAND_UI(ID_INDICATOR_END, OnUpdateIndicatorEnd)
END_MESSAGE_MAP()

CTavexView::CTavexView() = default;
CTavexView::~CTavexView() {
    ReleaseSearchDialogs();
}

CTavexDoc* CTavexView::GetDocument() const {
    return static_cast<CTavexDoc*>(m_pDocument);
}

void CTavexView::OnDraw(CDC*) {}

int CTavexView::OnCreate(LPCREATESTRUCT cs) {
    if (CView::OnCreate(cs) == -1) return -1;
    if (CTavexDoc* doc = GetDocument()) m_grid.SetData(doc->GetCurrentData());
    // The splitter's shared bars and the tilt wheel.
    m_grid.m_splitterMode = 1;
    m_grid.m_hWheelEnabled = 1;
    RECT r{0, 0, cs->cx, cs->cy};
    if (!m_grid.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL, r, this, 0))
        return -1;
    m_grid.SetGridStyle(TAVEX_GRID_STYLE, 0);
    if (g_app_font.GetSafeHandle()) m_grid.SetFont(&g_app_font);
    ApplySettings();
    m_grid.m_flags = 0x80;
    return 0;
}

void CTavexView::OnSize(UINT type, int cx, int cy) {
    CView::OnSize(type, cx, cy);
    if (!m_grid.GetSafeHwnd()) return;
    int w = cx, h = cy;
    if (m_grid.m_splitterMode) {
        w += ::GetSystemMetrics(SM_CXVSCROLL);
        h += ::GetSystemMetrics(SM_CYHSCROLL);
    }
    m_grid.MoveWindow(0, 0, w, h, TRUE);
    m_grid.Invalidate();
}

void CTavexView::OnSetFocus(CWnd* old) {
    CView::OnSetFocus(old);
    if (m_grid.GetSafeHwnd()) m_grid.SetFocus();
}

// The splitter's bars scroll the grid through the bar the grid itself uses
// for that direction (none while it has the bar's style: it then reads the
// splitter's bar through this view): the grid ignores any other bar.
void CTavexView::OnHScroll(UINT code, UINT, CScrollBar*) {
    if (!m_grid.GetSafeHwnd()) return;
    CScrollBar* own = m_grid.GetScrollBarCtrl(SB_HORZ);
    m_grid.SendMessage(WM_HSCROLL, MAKEWPARAM(code, 0),
                       reinterpret_cast<LPARAM>(own ? own->m_hWnd : nullptr));
}

void CTavexView::OnVScroll(UINT code, UINT, CScrollBar*) {
    if (!m_grid.GetSafeHwnd()) return;
    CScrollBar* own = m_grid.GetScrollBarCtrl(SB_VERT);
    m_grid.SendMessage(WM_VSCROLL, MAKEWPARAM(code, 0),
                       reinterpret_cast<LPARAM>(own ? own->m_hWnd : nullptr));
}

void CTavexView::OnInitialUpdate() {
    CView::OnInitialUpdate();
    UpdatePaneHeaders();
}

void CTavexView::OnUpdate(CView*, LPARAM hint, CObject* hintObject) {
    CTavexDoc* doc = GetDocument();
    if (!doc) return;
    switch (hint) {
    case HINT_FRAME_MOVED:
        if (m_grid.IsCellEditorVisible())
            m_grid.m_editWnd->UpdateCaret(0);
        else if (m_grid.GetSafeHwnd())
            m_grid.UpdateEditPos();
        break;
    case HINT_PANES_CHANGED: UpdatePaneHeaders(); break;
    case HINT_CELL_CHANGED:
        // A command changed the cell in the model, past the grid: its record's
        // header mark and the pending counts change with it.
        if (CGridData* cur = doc->GetCurrentData(); cur && cur->HasCursor() && m_grid.GetSafeHwnd()) {
            m_grid.InvalidateCell(POINT{cur->m_curCol, cur->m_curRow});
            if (doc->m_swapFlag)
                m_grid.InvalidateColumnHeader(cur->m_curCol);
            else
                m_grid.InvalidateRowHeader(cur->m_curRow);
        }
        UpdateCountsMenu();
        break;
    case HINT_FONT_CHANGED:
        if (hintObject) m_grid.SetFont(reinterpret_cast<CFont*>(hintObject));
        break;
    case HINT_SAVE_FAILED: ShowFailedCell(reinterpret_cast<const int*>(hintObject)); break;
    case HINT_END_EDIT: m_grid.EndEdit(); break;
    case HINT_DATA_LOADED:
        HideSearchDialogs();
        m_grid.SetData(doc->GetCurrentData());
        UpdateCountsMenu();
        if (hintObject) {
            if (AppSettings.ADJUST_COL_WIDTH)
                m_grid.FitColumnWidths(AppSettings.ADJUST_COL_WIDTH_NO_USE_COLNAME ? 0 : 1);
            else
                m_grid.ResetColumnWidths();
        }
        // The cursor cell's type in the message pane goes with the data (no
        // cursor move reports an empty grid); another text there stays.
        if (ShowsCursorText()) UpdateStatusText();
        break;
    case HINT_CALC_TYPE_CHANGED: doc->UpdateCalcText(); break;
    case HINT_SETTINGS_CHANGED: ApplySettings(); break;
    case HINT_CLEAR_DATA: doc->SetData(nullptr, u"", u"", 1); break;
    case HINT_RESET_TITLE:
        doc->SetTitle(u"");
        doc->m_owner = g_cur_user;
        break;
    case HINT_RELAYOUT: m_grid.Relayout(); break;
    case HINT_DATA_VIEW_CHANGED: RebindData(); break;
    case HINT_SWAP_CHANGED: {
        uint32_t style = m_grid.GetGridStyle() & ~0x100000u;
        if (doc->m_swapFlag) style |= 0x100000u;
        m_grid.SetGridStyle(style, 0);
        m_grid.SetData(doc->GetCurrentData());
        doc->UpdateCalcText();
        ApplySettings();
        break;
    }
    case HINT_OPEN_FILTER: OpenFilterDialog(); break;
    case HINT_CLEAR_FILTER: ClearFilter(); break;
    default: break;
    }
}

LRESULT CTavexView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const SearchRequest& q = m_searchRequest;
    switch (message) {
    case SRM_FINDCOLUMN: {
        int wrapped = 0;
        int r = m_grid.FindColumn(q.searchText, q.direction, q.matchCase, q.matchWidth, q.useRegex, &wrapped);
        ReportSearchResult(r, wrapped);
        return r;
    }
    case SRM_FIND: {
        int wrapped = 0;
        int r = m_grid.Find(q.searchText, q.direction, q.matchCase, q.matchWidth, q.useRegex, &wrapped, 0);
        ReportSearchResult(r, wrapped);
        return r;
    }
    case SRM_REPLACE: {
        int count = 0, wrapped = 0;
        int r = m_grid.Replace(q.searchText, q.replaceText, q.direction, q.matchCase, q.matchWidth,
                               q.useRegex, q.replaceAll, q.inSelection, &count, &wrapped);
        if (q.replaceAll) {
            CString text;
            text.Format(u"%d件置換しました", count);
            if (auto* frame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd()))
                frame->SetMessageText(text.GetString());
        } else {
            ReportSearchResult(r, wrapped);
        }
        break;
    }
    case SRM_FILTER: {
        CTavexDoc* doc = GetDocument();
        if (!doc) return 1;
        int count = 0;
        CString err;
        if (doc->m_data.SetFilter(static_cast<int>(wParam), q.searchText, q.matchCase, q.matchWidth,
                                  q.useRegex, &count, &err, 1) != 0) {
            if (err.IsEmpty()) err = doc->m_data.GetErrorMessage();
            ::MessageBoxW(GetSafeHwnd(), err.GetString(), u"Error", MB_ICONWARNING);
            return 1;
        }
        RebindData();
        doc->UpdateAllViews(this, HINT_DATA_VIEW_CHANGED);
        return 0;
    }
    case SRM_CLEARFILTER: ClearFilter(); break;
    case GDN_CURSORMOVED: UpdateStatusText(); break;
    case GDN_SELCHANGED:
        if (CTavexDoc* doc = GetDocument()) doc->UpdateCalcText();
        break;
    case GDN_DATACHANGED:
        // The selection's cells may hold other values now: the pane follows.
        UpdateCountsMenu();
        if (CTavexDoc* doc = GetDocument()) doc->UpdateCalcText();
        break;
    default: break;
    }
    return CView::WindowProc(message, wParam, lParam);
}

void CTavexView::ApplySettings() {
    CTavexDoc* doc = GetDocument();
    const AppSettingsRecord& a = AppSettings;
    if (m_grid.GetSafeHwnd()) {
        for (int i = 0; i < 16; ++i) m_grid.SetColor(i, a.colors[i]);
    }
    m_grid.SetMinFitChars(a.ADJUST_MIN_COL_CHARS);
    uint32_t style =
        m_grid.GetGridStyle() & ~(0x20u | 0x40u | 0x100u | 0x200u | 0x400u | 0x1000u | 0x2000u | 0x4000u |
                                  0x8000u | 0x10000u | 0x40000u | 0x80000u | 0x100000u);
    if (a.INVERT_SELECT_TEXT) style |= 0x20;
    if (a.colors[GRID_NULL_CELL_COLOR] != a.colors[GRID_BG_COLOR]) style |= 0x40;
    if (a.SHOW_SPACE) style |= 0x100;
    if (a.SHOW_2BYTE_SPACE) style |= 0x200;
    if (a.ADJUST_COL_WIDTH_NO_USE_COLNAME) style |= 0x400;
    if (a.SHOW_LINE_FEED) style |= 0x1000;
    if (a.SHOW_TAB) style |= 0x2000;
    if (a.COPY_ESCAPE_DBLQUOTE) style |= 0x4000;
    if (a.IME_CARET_COLOR) style |= 0x8000;
    if (a.END_KEY_LIKE_EXCEL) style |= 0x10000;
    if (a.DISP_COLUMN_NAME_TOOL_TIP) style |= 0x40000;
    if (a.SHOW_NOT_NULL_COLL) style |= 0x80000;
    if (doc && doc->m_swapFlag) style |= 0x100000;
    if (doc) {
        doc->m_data.m_cursorFollowsInsert = a.NO_MOVE_CELL_AT_INSERT_ROWS ? 0 : 1;
        doc->m_data.m_cursorFollowsRemove = a.NO_MOVE_CELL_AT_DELETE_ROWS ? 0 : 1;
        doc->m_data.m_beep = a.USE_MESSAGE_BEEP;
    }
    if (g_custom_colors && m_grid.GetSafeHwnd()) m_grid.SetColor(0, g_custom_grid_bg);
    m_grid.SetNullText(a.NULL_TEXT.GetString());
    m_grid.SetCellPadding(a.CELL_PADDING_TOP, a.CELL_PADDING_BOTTOM, a.CELL_PADDING_LEFT,
                          a.CELL_PADDING_RIGHT);
    if (m_grid.GetSafeHwnd()) m_grid.RecalcFontMetrics();
    m_grid.SetGridStyle(style, 0);
    if (m_grid.GetSafeHwnd())
        ::RedrawWindow(m_grid.GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CTavexView::UpdateCountsMenu() {
    CTavexDoc* doc = GetDocument();
    CWnd* main = AfxGetMainWnd();
    if (!doc || !main || !main->GetSafeHwnd()) return;
    HMENU menu = ::GetMenu(main->GetSafeHwnd());
    if (!menu) return;
    CString text;
    text.Format(u" Insert:%d, Update:%d, Delete:%d ", doc->m_data.m_insertedCount, doc->m_data.m_updatedCount,
                doc->m_data.m_deletedCount);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = const_cast<LPWSTR>(text.GetString());
    ::SetMenuItemInfoW(menu, ID_EDIT_COUNTS, FALSE, &info);
    ::DrawMenuBar(main->GetSafeHwnd());
}

void CTavexView::UpdatePaneHeaders() {
    auto* split = dynamic_cast<CSplitterWnd*>(GetParent());
    if (!split) return;
    int row = -1, col = -1;
    for (int r = 0; r < split->GetRowCount(); ++r)
        for (int c = 0; c < split->GetColumnCount(); ++c)
            if (split->GetPane(r, c) == this) row = r, col = c;
    uint32_t style = m_grid.GetGridStyle();
    if (row == 0 && col == 0) {
        style |= 0x3;
    } else {
        bool known = false;
        style &= ~0x3u;
        if (split->GetColumnCount() == 2 && row == 0 && col == 1) style |= 0x1, known = true;
        if (split->GetRowCount() == 2 && row == 1 && col == 0) style |= 0x2, known = true;
        if (split->GetRowCount() == 2 && split->GetColumnCount() == 2 && row == 1 && col == 1) known = true;
        if (!known) style = m_grid.GetGridStyle();
    }
    m_grid.SetGridStyle(style, 1);
}

void CTavexView::RebindData() {
    CTavexDoc* doc = GetDocument();
    if (!doc) return;
    int keptCol = doc->m_data.m_curCol;
    CGridData* plain = doc->m_data.m_filtered && doc->m_data.m_filter
                           ? static_cast<CGridData*>(doc->m_data.m_filter)
                           : &doc->m_data;
    doc->m_swap.SetSource(plain);
    doc->m_swap.m_styleInUse = plain->m_styleInUse;
    m_grid.SetData(doc->GetCurrentData());
    ApplySettings();
    doc->UpdateCalcText();
    if (m_grid.GetSafeHwnd())
        m_grid.MoveCursor(doc->m_swapFlag ? POINT{0, keptCol} : POINT{keptCol, 0}, 0, 0);
    UpdateStatusText();
}

void CTavexView::ClearFilter() {
    CTavexDoc* doc = GetDocument();
    if (!doc || !doc->m_data.m_filtered) return;
    doc->m_data.ClearFilter();
    RebindData();
    doc->UpdateAllViews(this, HINT_DATA_VIEW_CHANGED);
}

void CTavexView::ShowFailedCell(const int* cell) {
    CTavexDoc* doc = GetDocument();
    if (!m_grid.GetSafeHwnd()) return;
    m_grid.Relayout();
    m_grid.ClearSelection(1);
    // The save names the cell in the editable model's terms; a failure
    // outside any row (the savepoint, the commit, a cancel) names none.
    if (!doc || !cell || cell[1] < 0) return;
    int col = cell[0], row = cell[1];
    if (doc->m_data.m_filtered && doc->m_data.m_filter) {
        const int shown = doc->m_data.m_filter->FilteredRow(row);
        if (shown >= 0) {
            row = shown;
        } else {
            // The filter hides the failing row: it is lifted, as the
            // clear-filter command lifts it (one step that undo takes back),
            // so that the row can be shown.
            ClearFilter();
            m_grid.ClearSelection(1);
        }
    }
    if (doc->m_swapFlag) {
        if (col == -1)
            m_grid.SelectColumn(row);
        else
            m_grid.SetCursorCell(row, col);
        return;
    }
    if (col == -1)
        m_grid.SelectRow(row);
    else
        m_grid.SetCursorCell(col, row);
}

bool CTavexView::GetCursorCell(int* col, int* row) {
    CTavexDoc* doc = GetDocument();
    if (!doc) return false;
    CGridData* cur = doc->GetCurrentData();
    if (!cur || !cur->HasCursor()) return false;
    int c = cur->m_curCol, r = cur->m_curRow;
    if (doc->m_swapFlag) std::swap(c, r);
    if (c < 0 || r < 0) return false;
    if (doc->m_data.m_filtered && doc->m_data.m_filter) {
        // A row outside the filter's rows is no cell: row 0 of the model is not it.
        if (!doc->m_data.m_filter->InRows(r)) return false;
        r = doc->m_data.m_filter->SourceRow(r);
    }
    *col = c;
    *row = r;
    return true;
}

void CTavexView::UpdateStatusText() {
    CTavexDoc* doc = GetDocument();
    auto* frame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd());
    if (!doc || !frame) return;
    CString text;
    if (doc->m_data.m_filtered) text = u"Filter中";
    int col = 0, row = 0;
    if (m_grid.GetSafeHwnd() && m_grid.IsCursorValid() && GetCursorCell(&col, &row)) {
        if (!text.IsEmpty()) text += u", ";
        const char16_t* type = doc->m_data.GetColTypeName(col);
        CString part;
        if (doc->m_data.IsCellModified(row, col))
            part.Format(u"Type: %s, Original Text: %s", type ? type : u"",
                        doc->m_data.GetOriginalText(row, col));
        else
            part.Format(u"Type: %s", type ? type : u"");
        text += part;
    }
    frame->SetMessageText(text.GetString());
    m_cursorText = text;
}

bool CTavexView::ShowsCursorText() {
    auto* frame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd());
    auto* bar = frame ? dynamic_cast<CStatusBar*>(frame->GetMessageBar()) : nullptr;
    return bar && !m_cursorText.IsEmpty() && bar->GetPaneText(0) == m_cursorText;
}

void CTavexView::ReportSearchResult(int notFound, int wrapped) {
    auto* frame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd());
    if (notFound) {
        ::MessageBeep(MB_ICONEXCLAMATION);
        if (frame) frame->SetMessageText(u"見つかりません");
        return;
    }
    if (!frame) return;
    if (wrapped)
        frame->SetMessageText(m_searchRequest.direction == 1 ? u"ファイルの末尾まで検索しました"
                                                             : u"ファイルの先頭まで検索しました");
    else
        frame->SetMessageText(u"");
}

namespace {

// "%d", or the count shifted right by 10 and "k" from 1024 on.
CString Count(long long n) {
    CString s;
    if (n >= 1024)
        s.Format(u"%dk", static_cast<int>(n >> 10));
    else
        s.Format(u"%d", static_cast<int>(n));
    return s;
}

} // namespace

void CTavexView::BuildCellMenu(CMenu* popup) {
    CTavexDoc* doc = GetDocument();
    if (!doc || !popup) return;
    CGridData* cur = doc->GetCurrentData();
    int col = 0, row = 0;
    if (m_grid.GetSafeHwnd() && m_grid.IsCursorValid() && cur && !cur->HasSelection() &&
        GetCursorCell(&col, &row)) {
        CEditableOraGridData& data = doc->m_data;
        const int type = doc->m_dataset && doc->m_dataset->cols && col < doc->m_dataset->col_count
                             ? doc->m_dataset->cols[col].data_type
                             : 0;
        const char16_t* text = data.GetEditText(row, col);
        const long long length = text ? static_cast<long long>(std::char_traits<char16_t>::length(text)) : 0;
        CString item;
        switch (type) {
        case 112: {
            long long n = length;
            if (!data.IsInsertedRow(row) && !data.IsCellModified(row, col))
                if (OraLobCell* lob = data.GetLobLocator(row, col)) n = lob->length;
            item.Format(u"データ編集(文字数:%s)", Count(n).GetString());
            popup->InsertMenu(0, MF_BYPOSITION | MF_STRING, ID_EDIT_DATA, item);
            popup->InsertMenu(1, MF_BYPOSITION | MF_SEPARATOR);
            break;
        }
        case 113:
        case 114:
            popup->InsertMenu(0, MF_BYPOSITION | MF_STRING, ID_DATA_LOB_DOWNLOAD, u"LOB Download...");
            if (type == 113)
                popup->InsertMenu(1, MF_BYPOSITION | MF_STRING, ID_DATA_LOB_UPLOAD, u"LOB Upload...");
            else
                popup->InsertMenu(1, MF_BYPOSITION | MF_STRING, ID_DATA_BFILE_UPDATE, u"BFILE Update...");
            popup->InsertMenu(2, MF_BYPOSITION | MF_STRING, ID_DATA_SET_NULL, u"NULLにする");
            popup->InsertMenu(3, MF_BYPOSITION | MF_SEPARATOR);
            break;
        default:
            item.Format(u"データ参照(%sbyte)", Count(length * 2).GetString());
            popup->InsertMenu(0, MF_BYPOSITION | MF_STRING, ID_EDIT_DATA, item);
            popup->InsertMenu(1, MF_BYPOSITION | MF_SEPARATOR);
            break;
        }
    }
    if (doc->m_data.GetRowCount() > 0) {
        const UINT id = doc->m_data.m_filtered ? ID_DATA_CLEAR_FILTER : ID_DATA_FILTER;
        CString s;
        s.LoadString(id);
        const int lf = s.Find(u'\n');
        if (lf >= 0) s = s.Mid(lf + 1);
        popup->AppendMenu(MF_STRING, id, s);
    }
}

void CTavexView::OnContextMenu(CWnd*, CPoint pt) {
    CMenu menu;
    if (!menu.LoadMenu(IDR_CELL_MENU)) return;
    CMenu* popup = menu.GetSubMenu(0);
    if (!popup) return;
    BuildCellMenu(popup);
    CWnd* owner = GetParentFrame();
    popup->TrackPopupMenu(TPM_RIGHTBUTTON, pt.x, pt.y, owner ? owner : this);
}

void CTavexView::OnDataAddRecord() {
    m_grid.InsertRows(1);
    if (auto* frame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd())) frame->SetMessageText(u"");
}

void CTavexView::OnUpdateDataAddRecord(CCmdUI* cmdUI) {
    CTavexDoc* doc = GetDocument();
    CGridData* cur = doc ? doc->GetCurrentData() : nullptr;
    cmdUI->Enable(cur && cur->CanInsertRows() ? TRUE : FALSE);
}

void CTavexView::OnDataDeleteRecord() {
    m_grid.DeleteRows();
    if (auto* frame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd())) frame->SetMessageText(u"");
}

void CTavexView::OnUpdateDataDeleteRecord(CCmdUI* cmdUI) {
    CTavexDoc* doc = GetDocument();
    CGridData* cur = doc ? doc->GetCurrentData() : nullptr;
    BOOL on = FALSE;
    if (cur && cur->HasCursor())
        on = cur->IsRowEditable(doc->m_swapFlag ? cur->m_curCol : cur->m_curRow) ? 1 : 0;
    cmdUI->Enable(on);
}

void CTavexView::OnDataAdjustColumnWidth() {
    m_grid.FitColumnWidths(AppSettings.ADJUST_COL_WIDTH_NO_USE_COLNAME ? 0 : 1);
    if (auto* frame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd())) frame->SetMessageText(u"");
}

void CTavexView::OnUpdateIndicatorEnd(CCmdUI* cmdUI) {
    cmdUI->SetText(m_grid.GetSafeHwnd() && m_grid.IsEndMode() ? u"END" : u"");
}
