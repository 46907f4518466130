// The cell editor's life and the edit commands over the model.
#include <algorithm>
#include <climits>

#include "editor/editctrl.h"
#include "editor/editdata.h"
#include "grid/gridctrl.h"
#include "win32/clipboard.h"
#include "win32/ime.h"

namespace {

void PostTo(HWND hwnd, UINT msg, int col, int row) {
    if (HWND parent = hwnd ? ::GetParent(hwnd) : nullptr)
        ::PostMessageW(parent, msg, static_cast<WPARAM>(col), row);
}

// The cell editor's window procedure in front of its own: every key-down is
// also posted to the grid, which moves on Tab and Enter and ends on Esc.
LRESULT CellEditorProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_KEYDOWN)
        if (HWND grid = ::GetParent(hwnd)) ::PostMessageW(grid, GDM_EDITKEYDOWN, wParam, lParam);
    return previous ? CallWindowProcW(previous, hwnd, msg, wParam, lParam)
                    : DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The line-end type of a text: the kind of its first break (CR LF when none).
uint32_t FirstBreakType(const char16_t* text) {
    for (const char16_t* p = text; p && *p; ++p) {
        if (*p == u'\n') return LINEEND_LF;
        if (*p == u'\r') return p[1] == u'\n' ? LINEEND_CRLF : LINEEND_CR;
    }
    return LINEEND_CRLF;
}

// Closing and reopening a window's input method drops an unfinished composition.
void DropComposition(HWND hwnd) {
    if (!hwnd) return;
    HIMC imc = ImmGetContext(hwnd);
    if (imc && ImmGetOpenStatus(imc)) {
        ImmSetOpenStatus(imc, FALSE);
        ImmSetOpenStatus(imc, TRUE);
    }
    if (imc) ImmReleaseContext(hwnd, imc);
}

} // namespace

void CGridCtrl::LoadCellText(CEditData* buf, const char16_t* text, int maxLen, int caretAtStart) {
    // The whole text loads with its own line ends; the cell's length limit
    // (which counts a break as CR LF) then limits typing and pasting only.
    buf->Reset();
    buf->SetLineEndType(FirstBreakType(text));
    buf->m_limit = -1;
    buf->InsertText(text ? text : u"");
    buf->m_limit = maxLen == INT_MAX ? -1 : maxLen;
    buf->ClearUndo();
    buf->MarkSaved();
    if (caretAtStart) buf->SetCaret(0, 0);
}

void CGridCtrl::DropEditorComposition() {
    if (m_editWnd && m_editWnd->m_hWnd) DropComposition(m_editWnd->m_hWnd);
}

uint64_t CGridCtrl::CellEditorOptions() const {
    uint64_t o = EDOPT_CELL_MODE | EDOPT_PLAIN_TEXT;
    if (m_style & GRS_SPACEMARK) o |= EDOPT_SPACE_MARKS;
    if (m_style & GRS_TABMARK) o |= EDOPT_TAB_MARKS;
    if (m_style & GRS_WIDESPACEMARK) o |= EDOPT_WIDE_SPACE_MARKS;
    if (m_style & GRS_LINEFEEDMARK) o |= EDOPT_LINE_END_MARKS;
    if (!(m_style & GRS_INVERTSELTEXT)) o |= EDOPT_KEEP_SEL_COLOR;
    if (m_style & GRS_IMECARETCOLOR) o |= EDOPT_IME_CARET;
    if (m_style & GRS_EDITKEYS) o |= EDOPT_CTRL_KEYS;
    return o;
}

int CGridCtrl::CreateCellEditor() {
    if (!m_editData) {
        m_editData = new CEditData;
        m_editData->SetUnlimitedUndo();
    }
    if (m_editWnd || !m_hWnd) return 1;
    auto* editor = new CEditCtrl;
    editor->SetData(m_editData);
    if (!editor->Create(WS_CHILD, CRect(0, 0, 100, 10), this, 2001)) {
        delete editor;
        return 1;
    }
    editor->SetOptions(EDOPT_CELL_MODE | EDOPT_PLAIN_TEXT);
    if (m_font) editor->SetTextFont(m_font);
    HWND h = editor->m_hWnd;
    SetWindowLongPtrW(h, GWLP_USERDATA, GetWindowLongPtrW(h, GWLP_WNDPROC));
    SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CellEditorProc));
    m_editWnd = editor;
    return 1;
}

int CGridCtrl::IsCellEditorVisible() {
    return m_editWnd && m_editWnd->m_hWnd && m_editWnd->IsWindowVisible() ? 1 : 0;
}

int CGridCtrl::StartEdit(int caretAtStart, int takeFocus) {
    if (IsCellEditorVisible()) return 0;
    CGridData* d = m_data;
    int row = d->m_curRow, col = d->m_curCol;
    if (row < 0 || col < 0 || !d->IsEditable() || !d->IsCellEditable(row, col)) return 0;
    if (!m_hWnd) return 0;
    CreateCellEditor();
    if (!m_editWnd) return 0;
    OnStartEdit();
    CEditCtrl* ed = m_editWnd;
    const GridStyle& s = *d->m_styleInUse;
    ed->SetOptions(CellEditorOptions());
    ed->SetColor(3, GetCellBkColor(row, col));
    ed->SetColor(0, s.colors[GRID_TEXT_COLOR]);
    ed->SetColor(4, s.colors[GRID_MARK_COLOR]);
    ed->SetColor(7, s.colors[GRID_SELECT_COLOR]);
    ed->SetColor(6, s.colors[GRID_SEARCH_COLOR]);
    int rec = (m_style & GRS_SWAPPED) ? col : row;
    if (!d->IsCellModified(row, col) && !d->IsDeletedRow(rec) && !d->IsInsertedRow(rec)) {
        // The first colour shows while the text is as loaded, the second
        // once it differs.
        ed->m_modifiedBg[0] = m_editData->m_disp.m_colors[3];
        ed->m_modifiedBg[1] = s.colors[GRID_UPDATE_COLOR];
        ed->SetOptions(ed->GetOptions() | EDOPT_MODIFIED_BG);
    } else {
        ed->SetOptions(ed->GetOptions() & ~static_cast<uint64_t>(EDOPT_MODIFIED_BG));
    }
    ed->ScrollToOrigin();
    if (m_search.highlight && m_search.compiled)
        ed->SetSearchHighlight(m_search.pattern.GetString(), m_search.matchCase, m_search.matchWidth,
                               m_search.regex);
    else
        ed->ClearSearchHighlight();
    LoadCellText(m_editData, d->GetEditText(row, col), d->GetMaxInputLen(row, col), caretAtStart);
    ClearSelection(1);
    EnsureVisible(POINT{col, row});
    ed->UpdateModifiedColor();
    ed->RefreshAll();
    ed->ShowWindow(SW_SHOW);
    ed->UpdateCaret(1);
    if (takeFocus) ed->SetFocus();
    UpdateEditPos();
    return 1;
}

int CGridCtrl::EndEdit() {
    // A box shown while ending takes the focus from the editor, whose
    // notice must not end the edit a second time.
    if (!IsCellEditorVisible() || m_endingEdit) return 0;
    struct Ending {
        int& flag;
        explicit Ending(int& f) : flag(f) { flag = 1; }
        ~Ending() { flag = 0; }
    } ending(m_endingEdit);
    DropEditorComposition();
    CGridData* d = m_data;
    int row = d->m_curRow, col = d->m_curCol;
    if (row < 0 || col < 0 || !d->IsEditable() || !d->IsCellEditable(row, col)) return 0;
    int rec = (m_style & GRS_SWAPPED) ? col : row;
    bool wasUpdated = d->IsUpdatedRow(rec) != 0;
    int result = 1;
    if (m_editData->CurrentStepId() != m_editData->m_savedStepId) {
        CString text = m_editData->GetAllText();
        if (d->SetText(row, col, text.GetString(), -1) != 0) {
            result = 0;
            const char16_t* err = d->GetErrorMessage();
            if (err && *err) {
                CString message = err;
                m_editData->Reset();
                ::MessageBoxW(m_hWnd, message.GetString(), u"Error", MB_ICONERROR);
            }
        }
        if (IsSplitterPane()) {
            RedrawCell(POINT{col, row});
            RedrawRowHeader(row);
        } else {
            InvalidateCell(POINT{col, row});
            if (!wasUpdated && d->IsUpdatedRow(rec)) RedrawRowHeader(row);
        }
    }
    if (m_editWnd->HasSelection()) m_editWnd->ClearSelection(1);
    m_editData->Reset();
    m_editWnd->Relayout(0, 1);
    m_editData->m_disp.SendToViews(m_editWnd->m_hWnd, EDM_RELAYOUT, 0, 0);
    bool hadFocus = ::GetFocus() == m_editWnd->m_hWnd;
    m_editWnd->ShowWindow(SW_HIDE);
    // A hidden window keeps no focus: it goes back to the grid.
    if (hadFocus && m_hWnd) SetFocus();
    PostDataChanged();
    return result;
}

void CGridCtrl::UpdateEditPos() {
    if (!m_hWnd) return;
    CRect r = GetCellRect(m_data->m_curCol, m_data->m_curRow);
    int left = r.left + m_padLeft, top = r.top + m_padTop;
    int width = r.right - m_padRight - left + (m_padRight > 0 ? 1 : 0);
    int height = r.bottom - m_padBottom - top + (m_padBottom > 0 ? 1 : 0);
    if (IsCellEditorVisible()) m_editWnd->MoveWindow(left, top, width, height, TRUE);
    if (::GetFocus() == m_hWnd) {
        HIMC imc = ImmGetContext(m_hWnd);
        COMPOSITIONFORM form{};
        if (left + 1 < 0) {
            form.dwStyle = CFS_DEFAULT;
        } else {
            form.dwStyle = CFS_POINT;
            form.ptCurrentPos = POINT{left + 1, top + 1};
        }
        if (imc) {
            ImmSetCompositionWindow(imc, &form);
            ImmReleaseContext(m_hWnd, imc);
        }
    }
}

// After an undo or redo step: the cursor where the model left it, every pane
// laid out again, the cursor shown and the parent told.
void CGridCtrl::ShowUndoStep() {
    MoveCursor(POINT{m_data->m_curCol, m_data->m_curRow}, 1, 0);
    ToPanes(GDM_RELAYOUT);
    Relayout();
    EnsureVisible(POINT{m_data->m_curCol, m_data->m_curRow});
    PostTo(m_hWnd, GDN_CURSORMOVED, m_data->m_curCol, m_data->m_curRow);
    PostDataChanged();
}

int CGridCtrl::UndoStep(int redo) {
    if (IsCellEditorVisible()) {
        if (redo)
            m_editWnd->Redo();
        else
            m_editWnd->Undo();
        return 0;
    }
    EndEdit();
    if (redo)
        m_data->Redo();
    else
        m_data->Undo();
    ShowUndoStep();
    return 0;
}

int CGridCtrl::Undo() {
    return UndoStep(0);
}

int CGridCtrl::Redo() {
    return UndoStep(1);
}

int CGridCtrl::Paste() {
    if (!m_data->IsEditable()) return 0;
    if (IsCellEditorVisible()) {
        m_editWnd->Paste();
        return 0;
    }
    int result = 0;
    if (IsClipboardFormatAvailable(CF_UNICODETEXT) && OpenClipboard(m_hWnd)) {
        HANDLE h = GetClipboardData(CF_UNICODETEXT);
        auto* text = h ? static_cast<const char16_t*>(GlobalLock(h)) : nullptr;
        if (text) {
            CString copy = text;
            GlobalUnlock(h);
            CloseClipboard();
            result = PasteText(copy.GetString()); // a refusal is shown there
        } else {
            CloseClipboard();
        }
    }
    PostDataChanged();
    return result;
}

int CGridCtrl::PasteText(const char16_t* text) {
    CGridData* d = m_data;
    if (!d->HasCursor() || !IsCursorValid()) return 0;
    int result;
    if (d->HasSelection()) {
        POINT saved{d->m_curCol, d->m_curRow};
        d->m_curCol = d->m_sel1.x;
        d->m_curRow = d->m_sel1.y;
        result = d->PasteText(text);
        d->m_curCol = saved.x;
        d->m_curRow = saved.y;
    } else {
        result = d->PasteText(text);
    }
    if (result != 0) {
        // The model refuses a text whose lines do not all find a row, rather
        // than drop the rest; nothing was changed.
        ::MessageBoxW(m_hWnd, u"貼り付けるデータの行数が貼り付け先の行数を超えるため、貼り付けできません",
                      u"Error", MB_ICONERROR);
        return result;
    }
    ToPanes(GDM_RELAYOUT);
    Relayout();
    PostDataChanged();
    return 0;
}

int CGridCtrl::Cut() {
    if (IsCellEditorVisible()) {
        m_editWnd->Cut();
        PostDataChanged();
        return 0;
    }
    CopyToClipboard(2);
    OnDeleteKey();
    PostDataChanged();
    return 0;
}

void CGridCtrl::OnDeleteKey() {
    CGridData* d = m_data;
    if (!d->IsEditable() || !IsCursorValid()) return;
    if (d->HasSelection()) {
        // The area goes from its top left to its bottom right, whichever way
        // the selection was dragged.
        POINT a{std::min(d->m_sel1.x, d->m_sel2.x), std::min(d->m_sel1.y, d->m_sel2.y)};
        POINT b{std::max(d->m_sel1.x, d->m_sel2.x), std::max(d->m_sel1.y, d->m_sel2.y)};
        d->SetAreaText(a, b, u"", 0);
        RedrawArea(a, b);
        for (int r = std::max(a.y, FirstRow()); r <= std::min(b.y, FirstRow() + m_pageRows); ++r)
            RedrawRowHeader(r);
    } else if (d->IsCellEditable(d->m_curRow, d->m_curCol)) {
        d->SetText(d->m_curRow, d->m_curCol, u"", 0);
        RedrawCell(POINT{d->m_curCol, d->m_curRow});
        RedrawRowHeader(d->m_curRow);
    }
    PostDataChanged();
}

int CGridCtrl::SetCellText(int row, int col, const char16_t* text, int length) {
    if (!m_data->IsEditable()) return 0;
    int r = m_data->SetText(row, col, text, length);
    RedrawCell(POINT{col, row});
    RedrawRowHeader(row);
    PostDataChanged();
    return r;
}

int CGridCtrl::InsertRows(int count) {
    CGridData* d = m_data;
    bool swapped = (m_style & GRS_SWAPPED) != 0;
    int pos = swapped ? d->m_curCol : d->m_curRow;
    EndEdit();
    d->InsertRows(pos, count);
    MoveCursor(swapped ? POINT{pos + 1, 0} : POINT{0, pos + 1}, 1, 0);
    MoveCursor(POINT{d->m_curCol, d->m_curRow}, 1, 0);
    ToPanes(GDM_RELAYOUT);
    Relayout();
    EnsureVisible(POINT{d->m_curCol, d->m_curRow});
    PostTo(m_hWnd, GDN_CURSORMOVED, d->m_curCol, d->m_curRow);
    PostDataChanged();
    return 0;
}

int CGridCtrl::DeleteRows() {
    CGridData* d = m_data;
    if (!d->HasCursor() || !IsCursorValid()) return 0;
    bool swapped = (m_style & GRS_SWAPPED) != 0;
    EndEdit();
    int before = ModelRows();
    bool sel = d->HasSelection();
    int row = d->m_curRow;
    if (!sel) {
        int at = swapped ? d->m_curCol : d->m_curRow;
        d->DeleteRows(at, at);
    } else if (swapped) {
        d->DeleteRows(std::min(d->m_sel1.x, d->m_sel2.x), std::max(d->m_sel1.x, d->m_sel2.x));
    } else {
        d->DeleteRows(d->m_sel1.y, d->m_sel2.y);
    }
    MoveCursor(POINT{d->m_curCol, d->m_curRow}, 1, 0);
    if (ModelRows() != before || sel || swapped) {
        ToPanes(GDM_RELAYOUT);
        Relayout();
    } else {
        RedrawRow(row);
        RedrawRowHeader(row);
    }
    EnsureVisible(POINT{d->m_curCol, d->m_curRow});
    PostTo(m_hWnd, GDN_CURSORMOVED, d->m_curCol, d->m_curRow);
    PostDataChanged();
    return 0;
}

int CGridCtrl::ToHankaku(int alnum, int kana) {
    int n = m_data->ToHankaku(alnum, kana);
    RedrawAll();
    return n;
}

int CGridCtrl::ToZenkaku(int alnum, int kana) {
    int n = m_data->ToZenkaku(alnum, kana);
    RedrawAll();
    return n;
}

int CGridCtrl::CanCopy() {
    if (IsCellEditorVisible())
        return (m_editWnd->GetOptions() & EDOPT_COPY_LINE) || m_editWnd->HasSelection() ? 1 : 0;
    return m_data->HasCursor();
}

int CGridCtrl::CanPaste() {
    if (!m_data->IsEditable()) return 0;
    if (IsCellEditorVisible()) {
        if (m_editWnd->m_readOnly) return 0;
        return IsClipboardFormatAvailable(CF_UNICODETEXT) || IsClipboardFormatAvailable(CF_TEXT) ? 1 : 0;
    }
    return IsClipboardFormatAvailable(CF_UNICODETEXT) && m_data->HasCursor() ? 1 : 0;
}
