// The cell editor's life and the edit commands over the model.
#include <algorithm>
#include <climits>

#include "editor/editdata.h"
#include "grid/gridctrl.h"
#include "win32/clipboard.h"

namespace {

void PostTo(HWND hwnd, UINT msg, int col, int row) {
    if (HWND parent = hwnd ? ::GetParent(hwnd) : nullptr)
        ::PostMessageW(parent, msg, static_cast<WPARAM>(col), row);
}

} // namespace

int CGridCtrl::CreateCellEditor() {
    if (m_editData) return 1;
    m_editData = new CEditData;
    m_editData->SetUnlimitedUndo();
    return 1;
}

int CGridCtrl::IsCellEditorVisible() {
    return m_editWnd && m_editWnd->m_hWnd && m_editWnd->IsWindowVisible() ? 1 : 0;
}

int CGridCtrl::StartEdit(int, int) {
    if (IsCellEditorVisible() || !m_editWnd) return 0;
    CGridData* d = m_data;
    if (d->m_curRow < 0 || d->m_curCol < 0 || !d->IsEditable() ||
        !d->IsCellEditable(d->m_curRow, d->m_curCol))
        return 0;
    OnStartEdit();
    return 0;
}

int CGridCtrl::EndEdit() {
    if (!IsCellEditorVisible()) return 0;
    return 0;
}

void CGridCtrl::UpdateEditPos() {
    if (!m_hWnd || !IsCellEditorVisible()) return;
    CRect r = GetCellRect(m_data->m_curCol, m_data->m_curRow);
    int left = r.left + m_padLeft, top = r.top + m_padTop;
    int width = r.right - m_padRight - left + (m_padRight > 0 ? 1 : 0);
    int height = r.bottom - m_padBottom - top + (m_padBottom > 0 ? 1 : 0);
    m_editWnd->MoveWindow(left, top, width, height, TRUE);
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

int CGridCtrl::Undo() {
    EndEdit();
    m_data->Undo();
    ShowUndoStep();
    return 0;
}

int CGridCtrl::Redo() {
    EndEdit();
    m_data->Redo();
    ShowUndoStep();
    return 0;
}

int CGridCtrl::Paste() {
    if (!m_data->IsEditable()) return 0;
    int result = 0;
    if (IsClipboardFormatAvailable(CF_UNICODETEXT) && OpenClipboard(m_hWnd)) {
        HANDLE h = GetClipboardData(CF_UNICODETEXT);
        auto* text = h ? static_cast<const char16_t*>(GlobalLock(h)) : nullptr;
        if (text) {
            CString copy = text;
            GlobalUnlock(h);
            CloseClipboard();
            result = PasteText(copy.GetString());
            const char16_t* err = m_data->GetErrorMessage();
            if (result != 0 && err && *err) ::MessageBoxW(m_hWnd, err, u"Error", MB_ICONERROR);
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
    if (d->HasSelection()) {
        POINT saved{d->m_curCol, d->m_curRow};
        d->m_curCol = d->m_sel1.x;
        d->m_curRow = d->m_sel1.y;
        d->PasteText(text);
        d->m_curCol = saved.x;
        d->m_curRow = saved.y;
    } else {
        d->PasteText(text);
    }
    ToPanes(GDM_RELAYOUT);
    Relayout();
    PostDataChanged();
    return 0;
}

int CGridCtrl::Cut() {
    CopyToClipboard(2);
    OnDeleteKey();
    PostDataChanged();
    return 0;
}

void CGridCtrl::OnDeleteKey() {
    CGridData* d = m_data;
    if (!d->IsEditable() || !IsCursorValid()) return;
    if (d->HasSelection()) {
        POINT a = d->m_sel1, b = d->m_sel2;
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
    return m_data->HasCursor();
}

int CGridCtrl::CanPaste() {
    if (!m_data->IsEditable()) return 0;
    return IsClipboardFormatAvailable(CF_UNICODETEXT) && m_data->HasCursor() ? 1 : 0;
}
