// The cursor, the selection, the keyboard, the mouse and the focus.
#include <algorithm>
#include <climits>

#include "editor/editctrl.h"
#include "grid/gridctrl.h"
#include "win32/tipsupport.h"

namespace {

bool KeyDown(int vk) {
    return GetKeyState(vk) < 0;
}

} // namespace

void CGridCtrl::MoveCursor(POINT target, int extend, int keepSelection) {
    EndEdit();
    int cols = ModelCols(), rows = ModelRows();
    if (cols <= 0 || rows <= 0) return;
    CGridData* d = m_data;
    POINT cur{d->m_curCol, d->m_curRow};
    int col = std::max(0, static_cast<int>(target.x));
    if (col < cols && ColumnHidden(col)) {
        if (col < cur.x) {
            while (col > 0 && ColumnHidden(col)) --col;
        } else {
            while (col < cols - 1 && ColumnHidden(col)) ++col;
        }
        if (ColumnHidden(col)) col = cur.x;
    }
    if (col >= cols) col = cols - 1;
    int row = std::max(0, static_cast<int>(target.y));
    if (row >= rows) row = rows - 1;

    bool extending = extend && (GetAsyncKeyState(VK_SHIFT) < 0 || d->m_selDrag == 2);
    if (!extending) {
        if (!keepSelection) ClearSelection(1);
    } else if (!d->HasSelection()) {
        d->m_selKind = 0;
        d->m_anchorCol = cur.x;
        d->m_anchorRow = cur.y;
    }
    if (col == cur.x && row == cur.y) return;
    DropEditorComposition();

    if ((m_style & (GRS_CURSORHEADERS | GRS_REDRAWROWHEADERS)) && row != cur.y) {
        RedrawRowHeader(cur.y);
        RedrawRowHeader(row);
    }
    if ((m_style & GRS_CURSORHEADERS) && col != cur.x) {
        InvalidateColumnHeader(cur.x);
        InvalidateColumnHeader(col);
    }
    if (m_curRowColor) {
        if (m_style & GRS_SWAPPED) {
            RedrawAll();
        } else {
            RedrawRow(cur.y);
            RedrawRow(row);
        }
    }
    RedrawCell(cur);
    int fc = FirstCol(), fr = FirstRow();
    if (col < fc || col >= fc + GetPageCols() || row < fr || row >= fr + GetPageRows())
        EnsureVisible(POINT{col, row});
    RedrawCell(POINT{col, row});
    d->m_curCol = std::clamp(col, 0, cols - 1);
    d->m_curRow = std::clamp(row, 0, rows - 1);
    if (extending) ExtendSelection(POINT{col, row});
    UpdateEditPos();
    Notify(GDN_CURSORMOVED, static_cast<WPARAM>(d->m_curCol), d->m_curRow);
}

void CGridCtrl::SetCursorCell(int col, int row) {
    if (m_hWnd) MoveCursor(POINT{col, row}, 1, 0);
}

void CGridCtrl::EnsureVisible(POINT cell) {
    if (!m_hWnd) return;
    int fc = FirstCol(), fr = FirstRow(), pc = GetPageCols(), pr = GetPageRows();
    if (cell.x >= fc && cell.x < fc + pc && cell.y >= fr && cell.y < fr + pr) return;
    long long dx = 0, dy = 0;
    if (cell.x < fc) {
        dx = cell.x - fc;
    } else if (cell.x >= fc + pc) {
        long long sum = m_rowHeaderWidth, client = ClientWidth();
        int n = cell.x;
        for (int c = cell.x; c >= 0; --c) {
            sum += m_data->GetColWidth(c);
            if (sum > client) break;
            n = c;
        }
        dx = n - fc;
    }
    if (pr <= 0)
        dy = static_cast<long long>(cell.y) - fr;
    else if (m_style & GRS_ENSURECENTER)
        dy = static_cast<long long>(cell.y) - pr / 2 - fr + 1;
    else if ((m_style & GRS_ENSURETOP) || cell.y < fr)
        dy = static_cast<long long>(cell.y) - fr;
    else if (cell.y >= fr + pr)
        dy = static_cast<long long>(cell.y) - fr - pr + 1;
    ScrollBy(dx, dy, 0);
}

void CGridCtrl::ExtendSelection(POINT cell) {
    CGridData* d = m_data;
    int cols = ModelCols(), rows = ModelRows();
    if (!(m_style & GRS_MULTISELECT) || cell.x < 0 || cell.x >= cols || cell.y < 0 || cell.y >= rows) return;
    POINT anchor{d->m_anchorCol, d->m_anchorRow};
    POINT first = anchor, last = cell;
    if (cell.y < anchor.y || (cell.y == anchor.y && cell.x < anchor.x)) {
        first = cell;
        last = anchor;
    }
    if (d->m_selKind == 1) {
        first.x = 0;
        last.x = cols - 1;
    } else if (d->m_selKind == 2) {
        first.y = 0;
        last.y = rows - 1;
    }
    bool had = d->HasSelection();
    POINT o1 = d->m_sel1, o2 = d->m_sel2;
    d->m_sel1 = first;
    d->m_sel2 = last;
    if (!had) {
        if (last.y - first.y > 50) {
            RedrawAll();
        } else {
            for (int r = first.y; r <= last.y; ++r) RedrawRow(r);
        }
    } else {
        int bc1 = std::min({o1.x, o2.x, first.x, last.x}), bc2 = std::max({o1.x, o2.x, first.x, last.x});
        int br1 = std::min({o1.y, o2.y, first.y, last.y}), br2 = std::max({o1.y, o2.y, first.y, last.y});
        if (IsSplitterPane()) {
            RedrawArea(POINT{bc1, br1}, POINT{bc2, br2});
        } else if (m_hWnd) {
            // Only the visible cells that changed state.
            int oc1 = std::min(o1.x, o2.x), oc2 = std::max(o1.x, o2.x);
            int nc1 = std::min(first.x, last.x), nc2 = std::max(first.x, last.x);
            int r1 = std::max(br1, FirstRow()), r2 = std::min(br2, FirstRow() + m_pageRows);
            int c1 = std::max(bc1, std::max(0, FirstCol())), c2 = std::min(bc2, FirstCol() + GetPageCols());
            for (int r = r1; r <= r2; ++r)
                for (int c = c1; c <= c2; ++c) {
                    bool inOld = r >= o1.y && r <= o2.y && c >= oc1 && c <= oc2;
                    bool inNew = r >= first.y && r <= last.y && c >= nc1 && c <= nc2;
                    if (!(inOld && inNew)) InvalidateCell(POINT{c, r});
                }
        }
    }
    Notify(GDN_SELCHANGED, 0, 0);
}

void CGridCtrl::ClearSelection(int notify) {
    CGridData* d = m_data;
    if (d->m_sel1.y == -1) return;
    int r1 = std::max(std::min(d->m_sel1.y, d->m_sel2.y), FirstRow());
    int r2 = std::min(std::max(d->m_sel1.y, d->m_sel2.y), FirstRow() + m_pageRows);
    int c1 = std::min(d->m_sel1.x, d->m_sel2.x), c2 = std::max(d->m_sel1.x, d->m_sel2.x);
    if (r1 <= r2) {
        if (IsSplitterPane())
            RedrawArea(POINT{c1, r1}, POINT{c2, r2});
        else
            InvalidateArea(POINT{c1, r1}, POINT{c2, r2});
    }
    d->m_sel1.y = d->m_sel2.y = -1;
    d->m_selKind = 0;
    if (notify) Notify(GDN_SELCHANGED, 0, 0);
}

void CGridCtrl::SelectRow(int row) {
    if (!(m_style & GRS_MULTISELECT)) return;
    CGridData* d = m_data;
    int anchorRow = row;
    if (KeyDown(VK_SHIFT)) anchorRow = d->HasSelection() ? d->m_anchorRow : d->m_curRow;
    MoveCursor(POINT{std::max(0, FirstCol()), row}, 1, 0);
    ClearSelection(0);
    d->m_anchorCol = 0;
    d->m_anchorRow = anchorRow;
    ExtendSelection(POINT{ModelCols() - 1, row});
}

void CGridCtrl::SelectColumn(int col) {
    if (!(m_style & GRS_MULTISELECT)) return;
    CGridData* d = m_data;
    int anchorCol = col;
    if (KeyDown(VK_SHIFT)) anchorCol = d->HasSelection() ? d->m_anchorCol : d->m_curCol;
    MoveCursor(POINT{col, std::max(0, FirstRow())}, 1, 0);
    ClearSelection(0);
    d->m_anchorCol = anchorCol;
    d->m_anchorRow = 0;
    ExtendSelection(POINT{col, ModelRows() - 1});
}

void CGridCtrl::SelectAll() {
    if (IsCellEditorVisible()) {
        m_editWnd->SelectAll();
        return;
    }
    if (!(m_style & GRS_MULTISELECT)) return;
    MoveCursor(POINT{m_data->m_curCol, m_data->m_curRow}, 1, 0);
    ClearSelection(0);
    m_data->m_anchorCol = 0;
    m_data->m_anchorRow = 0;
    ExtendSelection(POINT{ModelCols() - 1, ModelRows() - 1});
}

void CGridCtrl::SetSelectArea(POINT cursor, POINT anchor, POINT end) {
    if (!(m_style & GRS_MULTISELECT)) return;
    MoveCursor(cursor, 1, 0);
    ClearSelection(0);
    m_data->m_anchorCol = anchor.x;
    m_data->m_anchorRow = anchor.y;
    ExtendSelection(end);
}

int CGridCtrl::HasSelection() {
    if (IsCellEditorVisible()) return m_editWnd->HasSelection() ? 1 : 0;
    return m_data->HasSelection() ? 1 : 0;
}

int CGridCtrl::IsCursorValid() {
    CGridData* d = m_data;
    return d->m_curCol >= 0 && d->m_curCol < ModelCols() && d->m_curRow >= 0 && d->m_curRow < ModelRows();
}

int CGridCtrl::IsColumnSelected(int col) {
    CGridData* d = m_data;
    if (!d->HasSelection()) return 0;
    int c1 = std::min(d->m_sel1.x, d->m_sel2.x), c2 = std::max(d->m_sel1.x, d->m_sel2.x);
    return col >= c1 && col <= c2 && std::min(d->m_sel1.y, d->m_sel2.y) == 0 &&
                   std::max(d->m_sel1.y, d->m_sel2.y) == ModelRows() - 1
               ? 1
               : 0;
}

void CGridCtrl::MoveToRowStart() {
    MoveCursor(POINT{0, m_data->m_curRow}, 1, 0);
}
void CGridCtrl::MoveToRowEnd() {
    MoveCursor(POINT{ModelCols() - 1, m_data->m_curRow}, 1, 0);
}
void CGridCtrl::MoveToColumnTop() {
    MoveCursor(POINT{m_data->m_curCol, 0}, 1, 0);
}
void CGridCtrl::MoveToColumnBottom() {
    MoveCursor(POINT{m_data->m_curCol, ModelRows() - 1}, 1, 0);
}

// --- keyboard -------------------------------------------------------------

void CGridCtrl::OnKeyDown(UINT ch, UINT, UINT) {
    bool ctrl = KeyDown(VK_CONTROL), shift = KeyDown(VK_SHIFT);
    int cc = m_data->m_curCol, cr = m_data->m_curRow;
    int lastCol = ModelCols() - 1, lastRow = ModelRows() - 1;
    auto move = [&](int c, int r) { MoveCursor(POINT{c, r}, 1, 0); };
    auto scroll = [&](int h, int v) {
        ScrollByCode(MAKEWORD(h, v), GetScrollPosition(v != 0xFF ? SB_VERT : SB_HORZ));
    };
    switch (ch) {
    case VK_TAB:
        if (shift) {
            move(cc - 1, cr);
            ClearSelection(1);
        } else {
            move(cc + 1, cr);
        }
        break;
    case VK_ESCAPE: ClearSelection(1); break;
    case VK_RETURN:
        if (shift) {
            move(cc, cr - 1);
            ClearSelection(1);
        } else {
            move(cc, cr + 1);
        }
        break;
    case VK_PRIOR:
        if (ctrl)
            scroll(0xFF, SB_PAGEUP);
        else
            move(cc, cr - GetPageRows());
        break;
    case VK_NEXT:
        if (ctrl)
            scroll(0xFF, SB_PAGEDOWN);
        else
            move(cc, cr + GetPageRows());
        break;
    case VK_END:
        if (ctrl)
            move((m_style & GRS_ROWCURSOR) ? 0 : lastCol, lastRow);
        else if (m_style & GRS_ENDMODE)
            m_endMode = !m_endMode;
        else
            MoveToRowEnd();
        break;
    case VK_HOME:
        if (ctrl)
            move(0, 0);
        else
            MoveToRowStart();
        break;
    case VK_LEFT:
        if (ctrl)
            scroll(SB_LINELEFT, 0xFF);
        else
            move(m_endMode ? 0 : cc - 1, cr);
        break;
    case VK_UP:
        if (ctrl)
            scroll(0xFF, SB_LINEUP);
        else if (m_endMode)
            MoveToColumnTop();
        else
            move(cc, cr - 1);
        break;
    case VK_RIGHT:
        if (ctrl)
            scroll(SB_LINERIGHT, 0xFF);
        else
            move(m_endMode ? lastCol : cc + 1, cr);
        break;
    case VK_DOWN:
        if (ctrl)
            scroll(0xFF, SB_LINEDOWN);
        else if (m_endMode)
            MoveToColumnBottom();
        else
            move(cc, cr + 1);
        break;
    case VK_DELETE: OnDeleteKey(); break;
    case VK_F2:
        if (m_style & (GRS_EDITKEYS | GRS_F2EDIT)) StartEdit(0, 1);
        break;
    default: break;
    }
    if (ch != VK_END && ch != VK_SHIFT && ch != VK_CONTROL) m_endMode = 0;
}

void CGridCtrl::OnSysKeyDown(UINT ch, UINT, UINT) {
    if (ch == VK_END) MoveCursor(POINT{m_data->m_curCol, ModelRows() - 1}, 1, 0);
    if (ch == VK_HOME) MoveCursor(POINT{m_data->m_curCol, 0}, 1, 0);
    Default();
}

void CGridCtrl::OnChar(UINT ch, UINT repeat, UINT flags) {
    if (m_data->m_selDrag == 2) return;
    if (!KeyDown(VK_CONTROL)) {
        if (m_data->IsEditable() && ch != u'\t' && ch != u'\r' && ch != 27) {
            if (!IsCellEditorVisible() && !StartEdit(0, 1)) {
                Default();
                return;
            }
            // The typed character replaces the cell's text.
            if (!m_editWnd->HasSelection()) m_editWnd->SelectAll();
            if (ch == 8) {
                keybd_event(VK_BACK, 0, 0, 0);
                keybd_event(VK_BACK, 0, KEYEVENTF_KEYUP, 0);
                return;
            }
            m_editWnd->PostMessage(WM_CHAR, ch, MAKELPARAM(repeat, flags));
        }
        return;
    }
    if (!(m_style & GRS_EDITKEYS)) return;
    UINT key = ch < 32 ? ch + 'A' - 1 : (ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch);
    switch (key) {
    case 'A': SelectAll(); break;
    case 'C': CopyToClipboard(2); break;
    case 'V': Paste(); break;
    case 'X': Cut(); break;
    case 'Y': Redo(); break;
    case 'Z': Undo(); break;
    default: break;
    }
}

// --- mouse ----------------------------------------------------------------

void CGridCtrl::OnLButtonDown(UINT, CPoint pt) {
    if (IsCellEditorVisible() && !EndEdit()) return;
    if (::GetFocus() != m_hWnd) SetFocus();
    int border = HitTestColumnBorder(pt);
    if (border >= 0) {
        m_resizeState = 1;
        m_resizeCol = border;
        m_resizePressX = pt.x;
        m_dragDrawn = 0;
        SetCapture();
        SetTimer(GRID_RESIZE_TIMER, 100, nullptr);
        return;
    }
    int row = HitTestRowHeader(pt);
    if (row >= 0) {
        SelectRow(row);
        BeginDragSelect(1);
        return;
    }
    int col = HitTestColumnHeader(pt);
    if (col >= 0) {
        SelectColumn(col);
        BeginDragSelect(2);
        return;
    }
    if (pt.y >= 0 && pt.y <= m_colHeaderHeight && pt.x >= 0 && pt.x <= m_rowHeaderWidth) {
        SelectAll();
        return;
    }
    POINT cell = PointToCell(pt, 0);
    if (cell.x == -1 || cell.y == -1) return;
    m_data->m_selKind = 0;
    MoveCursor(cell, 1, 0);
    BeginDragSelect(0);
}

void CGridCtrl::BeginDragSelect(int kind) {
    if (!(m_style & GRS_MULTISELECT)) return;
    CGridData* d = m_data;
    d->m_selDrag = 1;
    d->m_selKind = kind;
    if (!d->HasSelection()) {
        d->m_anchorCol = d->m_curCol;
        d->m_anchorRow = d->m_curRow;
    }
    SetCapture();
    SetTimer(GRID_DRAG_TIMER, 100, nullptr);
}

void CGridCtrl::DragSelectTo(POINT pt) {
    POINT cell = PointToCell(pt, 1);
    if (m_data->m_selKind == 1) cell.x = m_data->m_curCol;
    if (m_data->m_selKind == 2) cell.y = m_data->m_curRow;
    MoveCursor(cell, 1, 0);
}

void CGridCtrl::OnMouseMove(UINT, CPoint pt) {
    int border = -1;
    if (m_resizeState == 0) {
        border = HitTestColumnBorder(pt);
    } else if (m_resizeState == 1) {
        m_resizeState = 2;
        TrackColumnResize(pt.x, 1);
        ::SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
    } else {
        TrackColumnResize(pt.x, 0);
    }
    if (m_data->m_selDrag == 1) m_data->m_selDrag = 2;
    if (m_data->m_selDrag == 2) DragSelectTo(pt);
    if (m_style & GRS_NAMETIP) {
        int col = HitTestColumnHeader(pt);
        if (col != m_tipCol) m_tipCol = -1;
        if (m_resizeState == 0 && m_data->m_selDrag == 0 && border < 0 && col >= 0 && col != m_tipCol) {
            m_tipPoint = pt;
            SetTimer(GRID_TIP_DELAY_TIMER, 200, nullptr);
        }
    }
}

void CGridCtrl::OnLButtonUp(UINT, CPoint pt) {
    if (m_resizeState) EndColumnResize(pt.x);
    if (m_data->m_selDrag) {
        KillTimer(GRID_DRAG_TIMER);
        ReleaseCapture();
        m_data->m_selDrag = 0;
    }
    HitTestColumnBorder(pt);
}

int CGridCtrl::HitTestColumnBorder(POINT pt) {
    int found = -1;
    if (pt.y >= 0 && pt.y < m_colHeaderHeight) {
        int cols = ModelCols(), client = ClientWidth();
        int start = std::min(std::max(0, FirstCol()), cols);
        while (start > 0 && m_data->GetColWidth(start - 1) == 0) --start;
        long long e = m_rowHeaderWidth;
        for (int c = start; c < cols && e - 3 < client; ++c) {
            e += m_data->GetColWidth(c);
            if (e - 3 < pt.x && pt.x < e + 3) {
                found = c;
                break;
            }
        }
        if (found >= 0 && pt.x > e)
            while (found + 1 < cols && m_data->GetColWidth(found + 1) == 0) ++found;
    }
    ::SetCursor(LoadCursorW(nullptr, found >= 0 ? IDC_SIZEWE : IDC_ARROW));
    return found;
}

void CGridCtrl::TrackColumnResize(int x, int first) {
    if (!first && m_dragDrawn && x == m_dragRect.left) return;
    CRect r(x, 2, x + 2, ClientHeight() - 2);
    CClientDC dc(this);
    SIZE size{2, 2};
    dc.DrawDragRect(&r, size, m_dragDrawn ? &m_dragRect : nullptr, size);
    m_dragRect = r;
    m_dragDrawn = 1;
}

void CGridCtrl::EndColumnResize(int x) {
    if (m_dragDrawn) {
        CClientDC dc(this);
        SIZE size{2, 2};
        dc.DrawDragRect(nullptr, size, &m_dragRect, size);
        m_dragDrawn = 0;
    }
    if (m_resizeState == 2 && m_resizeCol >= 0) {
        long long w = static_cast<long long>(m_data->GetColWidth(m_resizeCol)) + (x - m_resizePressX);
        w = std::clamp<long long>(w, m_minColWidth, 32767);
        m_data->SetColWidth(m_resizeCol, static_cast<int>(w));
        ToPanes(GDM_RELAYOUT);
        Relayout();
        EnsureVisible(POINT{m_resizeCol, FirstRow()});
    }
    KillTimer(GRID_RESIZE_TIMER);
    ReleaseCapture();
    m_resizeState = 0;
    UpdateEditPos();
}

void CGridCtrl::OnTimer(UINT_PTR id) {
    POINT pt{};
    GetCursorPos(&pt);
    ScreenToClient(&pt);
    CRect client = ClientArea();
    if (id == GRID_RESIZE_TIMER) {
        if (m_resizeState && !client.PtInRect(pt)) {
            if (m_resizeState == 1) {
                m_resizeState = 2;
                TrackColumnResize(pt.x, 1);
            } else {
                TrackColumnResize(pt.x, 0);
            }
        }
        return;
    }
    if (id == GRID_DRAG_TIMER) {
        CRect data(m_rowHeaderWidth, m_colHeaderHeight, client.right, client.bottom);
        if (!data.PtInRect(pt)) {
            if (m_data->m_selDrag == 1) m_data->m_selDrag = 2;
            if (m_data->m_selDrag == 2) DragSelectTo(pt);
        }
        return;
    }
    if (id == GRID_TIP_DELAY_TIMER) {
        KillTimer(GRID_TIP_DELAY_TIMER);
        if (pt.x == m_tipPoint.x && pt.y == m_tipPoint.y) ShowColumnTip();
        return;
    }
    Default();
}

void CGridCtrl::ShowColumnTip() {
    int col = HitTestColumnHeader(m_tipPoint);
    if (col < 0) return;
    GridStyle& s = *m_data->m_styleInUse;
    int left, right;
    GetColumnExtent(col, &left, &right);
    CRect r(left, 0, right, m_colHeaderHeight);
    ClientToScreen(&r);
    r.top -= 1;
    s.HideTip();
    s.ShowTip(m_hWnd, m_data->GetDispColName(col), m_font ? static_cast<HFONT>(*m_font) : nullptr, r);
    m_tipCol = col;
}

void CGridCtrl::OnLButtonDblClk(UINT, CPoint pt) {
    CGridData* d = m_data;
    int border = HitTestColumnBorder(pt);
    int withName = (m_style & GRS_FITNONAME) ? 0 : 1;
    if (border >= 0) {
        if (IsColumnSelected(border)) {
            int c1 = std::min(d->m_sel1.x, d->m_sel2.x), c2 = std::max(d->m_sel1.x, d->m_sel2.x);
            for (int c = c1; c <= c2; ++c) FitColumnWidth(c, withName);
        } else {
            FitColumnWidth(border, withName);
        }
        ToPanes(GDM_RELAYOUT);
        Relayout();
        return;
    }
    POINT cell = PointToCell(pt, 0);
    if (cell.x >= 0 && cell.y >= 0 && pt.y >= m_colHeaderHeight && pt.x >= m_rowHeaderWidth &&
        StartEdit(1, 1)) {
        // A press and release where the user clicked reach the editor, which
        // puts its caret there.
        bool swap = GetSystemMetrics(SM_SWAPBUTTON) != 0;
        INPUT in[2]{};
        in[0].type = in[1].type = INPUT_MOUSE;
        in[0].mi.dwFlags = swap ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
        in[1].mi.dwFlags = swap ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
        SendInput(2, in, sizeof(INPUT));
    }
    if (!(m_style & GRS_SWAPPED)) {
        int col = HitTestColumnHeader(pt);
        if (col >= 0) {
            bool sel = d->HasSelection();
            int a = sel ? std::min(d->m_sel1.x, d->m_sel2.x) : col,
                b = sel ? std::max(d->m_sel1.x, d->m_sel2.x) : col;
            Notify(GDN_HEADERDBLCLK, static_cast<WPARAM>(a), b);
        }
    } else {
        int row = HitTestRowHeader(pt);
        if (row >= 0) {
            bool sel = d->HasSelection();
            int a = sel ? d->m_sel1.y : row, b = sel ? d->m_sel2.y : row;
            Notify(GDN_HEADERDBLCLK, static_cast<WPARAM>(a), b);
        }
    }
}

void CGridCtrl::OnRButtonDown(UINT flags, CPoint pt) {
    CGridData* d = m_data;
    int col = HitTestColumnHeader(pt);
    int row = HitTestRowHeader(pt);
    if (col >= 0) {
        if (!IsColumnSelected(col)) SelectColumn(col);
    } else if (pt.y >= 0 && pt.y <= m_colHeaderHeight && pt.x >= 0 && pt.x <= m_rowHeaderWidth) {
        SelectAll();
    } else if (row >= 0) {
        bool spans = d->HasSelection() && std::min(d->m_sel1.x, d->m_sel2.x) == 0 &&
                     std::max(d->m_sel1.x, d->m_sel2.x) == ModelCols() - 1 && row >= d->m_sel1.y &&
                     row <= d->m_sel2.y;
        if (!spans) SelectRow(row);
    } else {
        POINT cell = PointToCell(pt, 0);
        if (cell.x >= 0 && cell.y >= 0) {
            bool inside = d->HasSelection() && cell.y >= d->m_sel1.y && cell.y <= d->m_sel2.y &&
                          cell.x >= std::min(d->m_sel1.x, d->m_sel2.x) &&
                          cell.x <= std::max(d->m_sel1.x, d->m_sel2.x);
            if (!inside) {
                d->m_selKind = 0;
                MoveCursor(cell, 1, 0);
            }
        }
    }
    CScrollWnd::OnRButtonDown(flags, pt);
}

// A context menu asked for from the keyboard comes at -1, -1: it opens under
// the cursor cell, brought into view, as a right click on that cell opens it.
void CGridCtrl::OnContextMenu(CWnd*, CPoint pt) {
    CWnd* parent = GetParent();
    if (!parent) return;
    if (pt.x == -1 && pt.y == -1) {
        CRect client;
        GetClientRect(&client);
        POINT at{std::min<int>(m_rowHeaderWidth, client.right),
                 std::min<int>(m_colHeaderHeight, client.bottom)};
        if (IsCursorValid()) {
            const POINT cell{m_data->m_curCol, m_data->m_curRow};
            EnsureVisible(cell);
            const CRect r = GetCellRect(cell.x, cell.y);
            if (!r.IsRectEmpty())
                at = POINT{std::clamp<int>(r.left, 0, std::max<int>(client.right - 1, 0)),
                           std::clamp<int>(r.bottom, 0, std::max<int>(client.bottom - 1, 0))};
        }
        ClientToScreen(&at);
        pt = at;
    }
    parent->SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(m_hWnd), MAKELPARAM(pt.x, pt.y));
}

// --- focus ----------------------------------------------------------------

void CGridCtrl::OnSetFocus(CWnd* old) {
    CScrollWnd::OnSetFocus(old);
    InvalidateCorner();
    UpdateEditPos();
    bool pane = IsSplitterPane();
    if (pane) {
        InvalidateCell(POINT{m_data->m_curCol, m_data->m_curRow});
        EndEdit();
    }
    Notify(GDN_CURSORMOVED, static_cast<WPARAM>(m_data->m_curCol), m_data->m_curRow);
    if (m_refocusEditor && IsCellEditorVisible()) {
        m_editWnd->SetFocus();
        m_refocusEditor = 0;
    }
    m_hasFocus = 1;
    if (pane) ToPanes(GDM_PEERSETFOCUS);
    Notify(GDN_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
}

void CGridCtrl::OnKillFocus(CWnd* next) {
    Default();
    if (IsSplitterPane()) {
        InvalidateCell(POINT{m_data->m_curCol, m_data->m_curRow});
        ToPanes(GDM_PEERKILLFOCUS);
    }
    InvalidateCorner();
    Notify(GDN_KILLFOCUS, reinterpret_cast<WPARAM>(next), 0);
}
