// Find, replace, the search highlight, column search and the moves to the
// next and previous changed cell.
#include <algorithm>
#include <climits>

#include "editor/editctrl.h"
#include "editor/editdata.h"
#include "grid/gridctrl.h"
#include "regex/regex.h"

namespace {

void BadPattern(HWND owner) {
    ::MessageBoxW(owner, u"不正な正規表現です", u"メッセージ", MB_ICONINFORMATION);
}

Regex* CompileOwn(const char16_t* pattern, int matchCase, int matchWidth, int isRegex) {
    int flags = (matchCase ? 0 : REGEX_IGNORE_CASE) | (matchWidth ? 0 : REGEX_IGNORE_WIDTH);
    return isRegex ? regex_compile(pattern, flags) : regex_compile_literal(pattern, flags);
}

} // namespace

int CGridCtrl::Find(const char16_t* pattern, int direction, int matchCase, int matchWidth, int regex,
                    int* wrapped, int includeCurrent) {
    if (wrapped) *wrapped = 0;
    if (!pattern || !*pattern) return 1;
    Regex* re = m_search.Get(pattern, matchCase, matchWidth, regex);
    if (!re) {
        BadPattern(m_hWnd);
        return 1;
    }
    SetSearchHighlight(pattern, matchCase, matchWidth, regex);
    re = m_search.compiled;
    if (!re) return 1;
    int inSel = (m_style & GRS_INSELECTION) && m_data->HasSelection() ? 1 : 0;
    int cols = ModelCols(), rows = ModelRows();
    if (cols <= 0 || rows <= 0) return 1;
    POINT start{m_data->m_curCol, m_data->m_curRow};
    if (!IsCursorValid()) {
        // Without a cursor the search starts at the first cell (backward: the last).
        start = direction == 1 ? POINT{0, 0} : POINT{cols - 1, rows - 1};
        includeCurrent = 1;
    }
    POINT out{-1, -1};
    int w = 0;
    int found = m_data->FindCell(start, &out, direction, 1, &w, includeCurrent, inSel, re);
    if (wrapped) *wrapped = w;
    if (!found) return 1;
    MoveCursor(out, 0, inSel);
    return 0;
}

void CGridCtrl::SetSearchHighlight(const char16_t* pattern, int matchCase, int matchWidth, int regex) {
    m_search.highlight = 1;
    m_search.Get(pattern ? pattern : u"", matchCase, matchWidth, regex);
    ToPanes(GDM_REDRAW);
    if (m_hWnd) Invalidate(FALSE);
}

int CGridCtrl::Replace(const char16_t* pattern, const char16_t* replacement, int direction, int matchCase,
                       int matchWidth, int regex, int all, int inSelection, int* count, int* wrapped) {
    if (wrapped) *wrapped = 0;
    if (count) *count = 0;
    // Nothing can be replaced in read-only data: reported as not found.
    if (!m_data->IsEditable()) return 1;
    if (all) {
        int r;
        if (inSelection && IsCellEditorVisible() && m_editWnd->HasSelection()) {
            // Inside the open editor's selection: the count is the matches it replaced.
            r = m_editWnd->ReplaceAll(pattern, replacement, matchCase, matchWidth, regex, 1, count);
        } else {
            r = ReplaceAll(pattern, replacement, matchCase, matchWidth, regex, inSelection, count);
        }
        PostDataChanged();
        return r;
    }
    if (IsCellEditorVisible() && !m_editWnd->HasSelection()) {
        ClearSelection(1);
        m_editData->SetCaret(0, 0);
    }
    POINT before{m_data->m_curCol, m_data->m_curRow};
    bool valid = IsCursorValid() != 0;
    if (Find(pattern, direction, matchCase, matchWidth, regex, wrapped, 1) != 0) return 1; // no match
    if (!valid || m_data->m_curCol != before.x || m_data->m_curRow != before.y) return 0;
    // The current cell matches: every match in it is replaced through the
    // editor, whose end writes the text through the model; then the search
    // goes on.
    if (StartEdit(1, 0)) {
        m_editWnd->ReplaceAll(pattern, replacement, matchCase, matchWidth, regex, 0);
        EndEdit();
    }
    return Find(pattern, direction, matchCase, matchWidth, regex, wrapped, 0);
}

int CGridCtrl::ReplaceAll(const char16_t* pattern, const char16_t* replacement, int matchCase, int matchWidth,
                          int regex, int inSelection, int* count) {
    if (count) *count = 0;
    if (!m_data->IsEditable()) return 1;
    Regex* re = CompileOwn(pattern ? pattern : u"", matchCase, matchWidth, regex);
    if (!re) {
        BadPattern(m_hWnd);
        return 1;
    }
    // The work buffer is the cell editor's: an open edit ends first, so its
    // text is written where it belongs and nothing of it is lost.
    if (IsCellEditorVisible()) EndEdit();
    CreateCellEditor();
    CGridData* d = m_data;
    int rows = ModelRows(), cols = ModelCols();
    int r1 = 0, r2 = rows - 1, c1 = 0, c2 = cols - 1;
    if (inSelection) {
        if (d->HasSelection()) {
            r1 = std::max(0, std::min(d->m_sel1.y, d->m_sel2.y));
            r2 = std::min(rows - 1, std::max(d->m_sel1.y, d->m_sel2.y));
            c1 = std::max(0, std::min(d->m_sel1.x, d->m_sel2.x));
            c2 = std::min(cols - 1, std::max(d->m_sel1.x, d->m_sel2.x));
        } else {
            r2 = -1; // nothing selected: nothing to replace in
        }
    }
    int changed = 0;
    d->BeginUndoGroup();
    for (int r = r1; r <= r2; ++r)
        for (int c = c1; c <= c2; ++c) {
            const char16_t* text = d->GetEditText(r, c);
            if (regex_test_str(re, text ? text : u"") != 1) continue;
            if (!d->IsCellEditable(r, c)) continue;
            CString old = text ? text : u"";
            LoadCellText(m_editData, old.GetString(), d->GetMaxInputLen(r, c), 1);
            m_editData->ReplaceAll(replacement, 1, nullptr, nullptr, re, 0);
            CString now = m_editData->GetAllText();
            if (now != old && d->SetText(r, c, now.GetString(), -1) == 0) ++changed;
        }
    d->EndUndoGroup();
    m_editData->Reset();
    regex_free(&re);
    if (count) *count = changed;
    ToPanes(GDM_REDRAW);
    if (m_hWnd) Invalidate(FALSE);
    return 0;
}

int CGridCtrl::FindColumn(const char16_t* pattern, int direction, int matchCase, int matchWidth, int regex,
                          int* wrapped) {
    if (wrapped) *wrapped = 0;
    if (!pattern || !*pattern) return 1;
    Regex* re = CompileOwn(pattern, matchCase, matchWidth, regex);
    if (!re) {
        BadPattern(m_hWnd);
        return 1;
    }
    bool swapped = (m_style & GRS_SWAPPED) != 0;
    int start = swapped ? m_data->m_curRow : m_data->m_curCol;
    int found = -1;
    int ok = m_data->FindColumn(start, &found, direction, 0, re);
    regex_free(&re);
    if (!ok || found < 0) return 1;
    if (wrapped) *wrapped = direction == 1 ? found <= start : found >= start;
    if (swapped)
        SelectRow(found);
    else
        SelectColumn(found);
    return 0;
}

namespace {

struct ScanRange {
    int r1, r2, c1, c2;
};

// The cells a changed-cell move scans: the whole model, or the selection
// clipped to it.
ScanRange ModifiedScanRange(const CGridData* d, bool inSel, int rows, int cols) {
    if (!inSel) return ScanRange{0, rows - 1, 0, cols - 1};
    return ScanRange{std::max(0, std::min(d->m_sel1.y, d->m_sel2.y)),
                     std::min(rows - 1, std::max(d->m_sel1.y, d->m_sel2.y)),
                     std::max(0, std::min(d->m_sel1.x, d->m_sel2.x)),
                     std::min(cols - 1, std::max(d->m_sel1.x, d->m_sel2.x))};
}

} // namespace

// The cells of the range in reading order, from the cursor in the
// direction: the rest of the range, then (wrapped) its start up to the
// cursor. Without a cursor in the range the whole range is scanned.
int CGridCtrl::MoveToModifiedCell(int direction, int* wrapped) {
    CGridData* d = m_data;
    bool inSel = (m_style & GRS_INSELECTION) && d->HasSelection();
    int rows = ModelRows(), cols = ModelCols();
    if (wrapped) *wrapped = 0;
    if (rows <= 0 || cols <= 0) return 0;
    ScanRange g = ModifiedScanRange(d, inSel, rows, cols);
    bool swapped = (m_style & GRS_SWAPPED) != 0;
    int64_t w = g.c2 - g.c1 + 1, n = static_cast<int64_t>(g.r2 - g.r1 + 1) * w;
    auto hit = [&](int64_t k) {
        int r = g.r1 + static_cast<int>(k / w), c = g.c1 + static_cast<int>(k % w);
        if (!d->IsUpdatedRow(swapped ? c : r) || !d->IsCellModified(r, c)) return false;
        MoveCursor(POINT{c, r}, 0, inSel ? 1 : 0);
        return true;
    };
    auto scan = [&](int64_t from, int64_t to) { // both included, in the direction
        for (int64_t k = from; direction > 0 ? k <= to : k >= to; k += direction)
            if (hit(k)) return true;
        return false;
    };
    int cr = d->m_curRow;
    if (!IsCursorValid() || cr < g.r1 || cr > g.r2) {
        if (direction > 0 ? scan(0, n - 1) : scan(n - 1, 0)) return 1;
        if (wrapped) *wrapped = 1;
        return 0;
    }
    int64_t row = static_cast<int64_t>(cr - g.r1) * w, offset = d->m_curCol - g.c1;
    if (direction > 0) {
        int64_t s = row + std::clamp<int64_t>(offset, -1, w - 1);
        if (scan(s + 1, n - 1)) return 1;
        if (wrapped) *wrapped = 1;
        return scan(0, s) ? 1 : 0;
    }
    int64_t s = row + std::clamp<int64_t>(offset, 0, w);
    if (scan(s - 1, 0)) return 1;
    if (wrapped) *wrapped = 1;
    return scan(n - 1, s) ? 1 : 0;
}

int CGridCtrl::NextModifiedCell(int* wrapped) {
    return MoveToModifiedCell(1, wrapped);
}

int CGridCtrl::PrevModifiedCell(int* wrapped) {
    return MoveToModifiedCell(-1, wrapped);
}
