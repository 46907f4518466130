// The editor window's message handlers, window procedure, positions, caret
// placement and the re-layout family.
#include <algorithm>
#include <climits>

#include "base/utf16.h"
#include "editor/editctrl.h"
#include "win32/ime.h"

HCURSOR edit_link_cursor();
UINT edit_system_blink_time();

BEGIN_MESSAGE_MAP(CEditCtrl, CScrollWnd)
ON_WM_CREATE()
ON_WM_DESTROY()
ON_WM_PAINT()
ON_WM_ERASEBKGND()
ON_WM_SETFOCUS()
ON_WM_KILLFOCUS()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_LBUTTONDBLCLK()
ON_WM_MOUSEMOVE()
ON_WM_RBUTTONDOWN()
ON_WM_SIZE()
ON_WM_TIMER()
ON_WM_KEYDOWN()
ON_WM_CHAR()
ON_WM_GETDLGCODE()
ON_WM_HSCROLL()
ON_WM_VSCROLL()
END_MESSAGE_MAP()

int CEditCtrl::OnCreate(LPCREATESTRUCT cs) {
    if (CScrollWnd::OnCreate(cs) == -1) return -1;
    if (!m_data) return -1;
    m_data->m_disp.RegisterView(m_hWnd);
    if (!edit_register_drop_target(this)) return -1;
    m_created = 1;
    LOGFONTW lf{};
    lf.lfHeight = -18;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = 128;
    lf.lfOutPrecision = 2;
    lf.lfClipPrecision = 1;
    lf.lfQuality = 0;
    lf.lfPitchAndFamily = 1;
    const char16_t face[] = u"Terminal";
    std::copy(face, face + 9, lf.lfFaceName);
    CreateFonts(&lf);
    ApplyFont();
    if (m_options & EDOPT_HIDE_POINTER) {
        m_pointerCountdown = 3;
        SetTimer(EDIT_TIMER_POINTER, 1000, nullptr);
    }
    return 0;
}

void CEditCtrl::OnDestroy() {
    CWnd::OnDestroy();
    edit_revoke_drop_target(this);
    DropBackground();
    DropMemorySurface();
    if (m_data) {
        CEditDispData& d = m_data->m_disp;
        if (d.m_clientDC) {
            delete d.m_clientDC;
            d.m_clientDC = nullptr;
        }
        d.UnregisterView(m_hWnd);
    }
    for (CFont& f : m_fonts) f.DeleteObject();
    m_created = 0;
}

void CEditCtrl::OnSetFocus(CWnd* old) {
    CWnd::OnSetFocus(old);
    CreateEditCaret(0);
    UpdateCaret(0, 0, 0);
    if (m_fonts[0].m_hObject) {
        LOGFONTW lf{};
        m_fonts[0].GetLogFont(&lf);
        ImmSetCompositionFontW(ImmGetContext(m_hWnd), &lf);
        NotifyParent(EDN_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    }
}

void CEditCtrl::OnKillFocus(CWnd* next) {
    Default();
    ::HideCaret(m_hWnd);
    ::DestroyCaret();
    SetCaretBlinkTime(edit_system_blink_time());
    if (m_mouseState) EndMouseSelection();
    NotifyParent(EDN_KILLFOCUS, reinterpret_cast<WPARAM>(next), 0);
}

void CEditCtrl::CreateEditCaret(int destroy) {
    if (destroy) {
        ::HideCaret(m_hWnd);
        ::DestroyCaret();
    }
    m_caretWidth = 2;
    if ((m_options & EDOPT_IME_CARET) && ImmGetOpenStatus(ImmGetContext(m_hWnd))) {
        CEditDispData& d = m_data->m_disp;
        HBITMAP bmp = d.MakeCaretBitmap(m_caretWidth, m_textHeight, d.m_colors[3] ^ d.m_colors[11]);
        if (bmp)
            ::CreateCaret(m_hWnd, bmp, m_caretWidth, m_textHeight);
        else
            ::CreateCaret(m_hWnd, reinterpret_cast<HBITMAP>(1), m_caretWidth, m_textHeight);
    } else {
        ::CreateCaret(m_hWnd, nullptr, m_caretWidth, m_textHeight);
    }
    if (m_options & EDOPT_STEADY_CARET) SetCaretBlinkTime(86400000);
    ::ShowCaret(m_hWnd);
}

void CEditCtrl::OnSize(UINT type, int cx, int cy) {
    CWnd::OnSize(type, cx, cy);
    if (cx == 0 || !m_data || !m_created) return;
    int32_t* layout = m_data->m_disp.m_layout;
    if (layout[0] == 1) {
        int col = (cx - m_rightMargin - m_leftMargin) / m_charWidth - (m_data->m_kinsoku ? 3 : 1);
        if (col < 20) col = 20;
        layout[4] = col;
        m_data->m_disp.m_wrapWidth = m_charWidth * col > 0 ? m_charWidth * col : 400;
        RebuildRowIndex(1, 0, 0);
        InvalidatePaintCache();
    }
    UpdatePageRows();
    UpdateScrollBars();
    UpdateCaret(1, 0, 0);
    UpdateWrapGuide();
    DropBackground();
}

void CEditCtrl::OnTimer(UINT_PTR id) {
    switch (id) {
    case EDIT_TIMER_SELECT:
        if (m_mouseState) {
            POINT p;
            ::GetCursorPos(&p);
            ::ScreenToClient(m_hWnd, &p);
            RECT client;
            ::GetClientRect(m_hWnd, &client);
            bool outside = p.x < m_leftMargin || p.y < m_topMargin || p.x >= client.right - m_rightMargin ||
                           p.y >= client.bottom - m_bottomMargin;
            if (outside) {
                if (m_mouseState == 1) m_mouseState = 2;
                ExtendMouseSelection(CPoint(p.x, p.y), 1);
            }
        }
        break;
    case EDIT_TIMER_DBLCLK:
        KillTimer(EDIT_TIMER_DBLCLK);
        m_dblClickRunning = 0;
        break;
    case EDIT_TIMER_BRACKET:
        KillTimer(EDIT_TIMER_BRACKET);
        ClearBracketHighlight();
        break;
    case EDIT_TIMER_POINTER:
        if (m_pointerCountdown > 0 && --m_pointerCountdown == 0) {
            UpdateMouseCursor();
            Invalidate(FALSE);
        }
        break;
    default: break;
    }
    Default();
}

UINT CEditCtrl::OnGetDlgCode() {
    return m_dlgCode;
}

void CEditCtrl::OnHScroll(UINT code, UINT pos, CScrollBar* bar) {
    CScrollWnd::OnHScroll(code, pos, bar ? bar : GetScrollBarCtrl(SB_HORZ));
}

void CEditCtrl::OnVScroll(UINT code, UINT pos, CScrollBar* bar) {
    CScrollWnd::OnVScroll(code, pos, bar ? bar : GetScrollBarCtrl(SB_VERT));
}

LRESULT CEditCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_ENDCOMPOSITION:
        if (m_data) m_data->m_undo->recordingType = 0;
        break;
    case WM_IME_NOTIFY:
        if (wParam == IMN_SETOPENSTATUS && (m_options & EDOPT_IME_CARET) && ::GetFocus() == m_hWnd)
            CreateEditCaret(1), UpdateCaret(0, 0, 0);
        break;
    case WM_IME_CHAR: TypeChar(static_cast<uint32_t>(wParam)); return 0;
    case WM_IME_REQUEST:
        if (wParam == IMR_RECONVERTSTRING) {
            CEditDispData& d = m_data->m_disp;
            if (!d.HasSelection() || d.m_selStart == d.m_selEnd || d.m_selStart.line != d.m_selEnd.line ||
                d.m_boxMode)
                return 0;
            int len = d.m_selEnd.col - d.m_selStart.col;
            DWORD size = static_cast<DWORD>(len) * 2 + 34;
            if (!lParam) return size;
            auto* rs = reinterpret_cast<RECONVERTSTRING*>(lParam);
            if (rs->dwSize < size) return 0;
            EditPos start = d.m_selStart;
            m_data->SetCaret(start.line, start.col);
            UpdateCaret(1, 0, 0);
            rs->dwSize = size;
            rs->dwVersion = 0;
            rs->dwStrLen = static_cast<DWORD>(len);
            rs->dwStrOffset = 32;
            rs->dwCompStrLen = static_cast<DWORD>(len);
            rs->dwCompStrOffset = 0;
            rs->dwTargetStrLen = static_cast<DWORD>(len);
            rs->dwTargetStrOffset = 0;
            auto* text = reinterpret_cast<char16_t*>(reinterpret_cast<BYTE*>(rs) + 32);
            const char16_t* src = m_data->GetLineText(start.line) + start.col;
            std::copy(src, src + len, text);
            text[len] = 0;
            return lParam;
        }
        return 0;
    case EDM_INSERTTEXT:
        if (wParam) ReplaceSelection(reinterpret_cast<const char16_t*>(wParam), 0);
        break;
    case EDM_REFRESH: Invalidate(static_cast<BOOL>(wParam)); break;
    case EDM_LINESCHANGED:
        if (wParam) {
            const int* four = reinterpret_cast<const int*>(wParam);
            RelayoutLines(four[0], four[2], four[3], 0);
        }
        break;
    case EDM_REDRAWLINE: InvalidateLine(static_cast<int>(wParam)); break;
    case EDM_REDRAWLINES: RedrawLinesLocal(static_cast<int>(wParam), static_cast<int>(lParam)); break;
    case EDM_REDRAWROW: InvalidateMarginRow(static_cast<int>(wParam)); break;
    case EDM_REDRAWCOLUMN: InvalidateRulerColumn(static_cast<int>(wParam)); break;
    case EDM_RELAYOUT: Relayout(static_cast<int>(wParam), 0); break;
    case EDM_UPDATEMODIFIED: UpdateModifiedColor(); break;
    case EDM_RELAYOUTFROM: RelayoutFrom(static_cast<int>(wParam)); break;
    default: break;
    }
    return CScrollWnd::WindowProc(message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Colours and the modified indicator

void CEditCtrl::SetColor(int index, COLORREF color) {
    if (!m_data || index < 0 || index > 15) return;
    CEditDispData& d = m_data->m_disp;
    if (d.m_colors[index] != color) {
        d.m_colors[index] = color;
        if (index == 3 || index == 11) {
            d.m_caretWidth = d.m_caretHeight = -1;
            return;
        }
        if (index == 4 || index == 8) {
            int slot = index == 4 ? 0 : 1;
            if (d.m_pens[slot]) DeleteObject(d.m_pens[slot]);
            d.m_pens[slot] = CreatePen(PS_SOLID, 0, color);
            return;
        }
    }
    if (index == 9 || (index >= 13 && index <= 15)) {
        const COLORREF* c = d.m_colors;
        bool differ = !(c[9] == c[13] && c[9] == c[14] && c[9] == c[15]);
        if ((m_options & EDOPT_DEPTH_REQUEST) && differ)
            m_options |= EDOPT_DEPTH_COLORS;
        else
            m_options &= ~EDOPT_DEPTH_COLORS;
    }
}

void CEditCtrl::UpdateModifiedColor() {
    if (!(m_options & EDOPT_MODIFIED_BG) || !m_data) return;
    bool saved = m_data->CurrentStepId() == m_data->m_savedStepId;
    SetColor(3, saved ? m_modifiedBg[0] : m_modifiedBg[1]);
    // OnPaint repaints the whole window when colour 3 changed since its
    // last paint; make sure a paint comes.
    if (m_hWnd && m_data->m_disp.m_colors[3] != m_paintedBg) ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CEditCtrl::ScrollToOrigin() {
    if (HasSelection()) ClearSelection(1);
    ResetCompletion();
    SetScrollPosition(SB_HORZ, 0);
    SetScrollPosition(SB_VERT, 0);
    Invalidate(TRUE);
}

// ---------------------------------------------------------------------------
// Positions

EditPos CEditCtrl::PosToRowOffset(EditPos pos, int rowEnd) {
    pos = m_data->ClampPosition(pos);
    const EditLine* l = m_data->GetLine(pos.line);
    int row = 0;
    for (int k = 1; k < l->rowCount && l->breaks; k++) {
        int start = l->breaks[k - 1];
        if (start < pos.col || (start == pos.col && !rowEnd)) row = k;
    }
    return EditPos{pos.col - RowStartOffset(pos.line, row), RowOfLine(pos.line) + row};
}

CPoint CEditCtrl::PosToPoint(EditPos pos) {
    pos = m_data->ClampPosition(pos);
    EditPos ro = PosToRowOffset(pos, 0);
    int vpos = GetScrollPosition(SB_VERT), hpos = GetScrollPosition(SB_HORZ);
    int rowStart = pos.col - ro.col;
    const char16_t* t = m_data->GetLineText(pos.line);
    int x = LinePixelWidth(pos.line, pos.col, nullptr) -
            (rowStart > 0 ? LinePixelWidth(pos.line, rowStart, nullptr) : 0);
    (void)t;
    if (m_data->m_disp.m_clientDC) m_data->m_disp.m_clientDC->Release();
    return CPoint(m_leftMargin + x - hpos * m_charWidth, (ro.line - vpos) * m_rowPitch + m_topMargin);
}

EditPos CEditCtrl::PointToPos(CPoint pt, int flag) {
    int vpos = GetScrollPosition(SB_VERT), hpos = GetScrollPosition(SB_HORZ);
    int dy = pt.y - m_topMargin;
    int offset = dy >= 0 ? dy / m_rowPitch : (dy - m_rowPitch + 1) / m_rowPitch;
    int row = vpos + offset;
    if (!flag && pt.y < m_topMargin) row = vpos;
    row = std::clamp(row, 0, std::max(DisplayRows() - 1, 0));
    int line = LineOfRow(row);
    const EditLine* l = m_data->GetLine(line);
    int rowInLine = row - RowOfLine(line);
    int start = RowStartOffset(line, rowInLine);
    int end = RowEndOffset(line, rowInLine);
    int x = pt.x - m_leftMargin + hpos * m_charWidth;
    CEditDispData& d = m_data->m_disp;
    if (!d.m_clientDC) d.m_clientDC = new LazyClientDC(m_hWnd, static_cast<HFONT>(m_fonts[0].m_hObject));
    int col;
    if (start == 0) {
        col = textdraw_column_at_x(l->text, &d, nullptr, x);
    } else {
        // Measure from the row's start, the tab stops still counted from the line's.
        int base = textdraw_text_width(l->text, &d, nullptr, start);
        col = textdraw_column_at_x(l->text, &d, nullptr, x + base);
        col = std::max(col, start);
    }
    d.m_clientDC->Release();
    bool continues = rowInLine + 1 < l->rowCount;
    if (continues && col > end) col = end;
    (void)end;
    return m_data->ClampPosition(EditPos{col, line});
}

int CEditCtrl::HitLineNumber(CPoint pt) {
    if (!(m_options & EDOPT_LINE_NUMBERS)) return -1;
    if (pt.y < m_topMargin || pt.x < 0 || pt.x > m_leftMargin - 1 - m_charWidth * 3 / 2) return -1;
    int row = GetScrollPosition(SB_VERT) + (pt.y - m_topMargin) / m_rowPitch;
    if (row >= DisplayRows()) return -1;
    return LineOfRow(row);
}

int CEditCtrl::IsPointOnText(CPoint pt) {
    if (pt.x <= m_leftMargin || pt.y < m_topMargin) return 0;
    int row = GetScrollPosition(SB_VERT) + (pt.y - m_topMargin) / m_rowPitch;
    if (row >= DisplayRows()) return 0;
    int line = LineOfRow(row);
    int rowInLine = row - RowOfLine(line);
    // The row's own right end: the end offset of a continued row is where the
    // next row starts, which as a position stands on that next row.
    int start = RowStartOffset(line, rowInLine), end = RowEndOffset(line, rowInLine);
    int width = LinePixelWidth(line, end, nullptr) - (start > 0 ? LinePixelWidth(line, start, nullptr) : 0);
    if (m_data->m_disp.m_clientDC) m_data->m_disp.m_clientDC->Release();
    int right = m_leftMargin + width - GetScrollPosition(SB_HORZ) * m_charWidth;
    return pt.x <= right ? 1 : 0;
}

int CEditCtrl::IsPointInSelection(CPoint pt) {
    CEditDispData& d = m_data->m_disp;
    if (!HasSelection()) return 0;
    EditPos p = PointToPos(pt, 1);
    if (d.m_boxMode) {
        int lo = std::min(d.m_selStart.line, d.m_selEnd.line),
            hi = std::max(d.m_selStart.line, d.m_selEnd.line);
        int l0, l1;
        if (p.line < lo || p.line > hi || !m_data->GetBoxColumns(p.line, &l0, &l1)) return 0;
        return p.col >= l0 && p.col < l1 ? 1 : 0;
    }
    return !(p < d.m_selStart) && p < d.m_selEnd ? 1 : 0;
}

void CEditCtrl::SetCaretPos(EditPos pos) {
    pos = m_data->ClampPosition(pos);
    m_data->SetCaret(pos.line, pos.col);
    m_caretX = LinePixelWidth(pos.line, pos.col, nullptr);
    if (m_data->m_disp.m_clientDC) m_data->m_disp.m_clientDC->Release();
}

void CEditCtrl::StartSelectionAt(EditPos pos) {
    CEditDispData& d = m_data->m_disp;
    int box = d.m_boxMode;
    d.ClearSelection();
    d.m_boxMode = box;
    pos = m_data->ClampPosition(pos);
    d.m_mouseAnchor = pos;
    d.m_selStart = d.m_selEnd = pos;
    m_data->SetCaret(pos.line, pos.col);
    int x = LinePixelWidth(pos.line, pos.col, nullptr);
    d.m_boxX[0] = d.m_boxX[1] = x;
    if (d.m_clientDC) d.m_clientDC->Release();
}

void CEditCtrl::ExtendSelectionTo(EditPos pos, int move) {
    CEditDispData& d = m_data->m_disp;
    pos = m_data->ClampPosition(pos);
    EditPos a = d.m_mouseAnchor;
    if (a.line < 0) a = d.m_selStart.line >= 0 ? d.m_selStart : m_data->GetCaret();
    d.m_mouseAnchor = a;
    d.m_selStart = pos < a ? pos : a;
    d.m_selEnd = pos < a ? a : pos;
    if (move) {
        m_data->SetCaret(pos.line, pos.col);
        UpdateCaret(1, 0, 0);
    }
}

int CEditCtrl::HasSelection() {
    CEditDispData& d = m_data->m_disp;
    if (!d.HasSelection()) return 0;
    if (d.m_boxMode) return d.m_selStart.line != d.m_selEnd.line || d.m_boxX[0] != d.m_boxX[1] ? 1 : 0;
    return d.m_selStart == d.m_selEnd ? 0 : 1;
}

void CEditCtrl::ClearSelection(int redraw) {
    CEditDispData& d = m_data->m_disp;
    if (d.HasSelection()) {
        bool nonEmpty = HasSelection();
        int a = std::min(d.m_selStart.line, d.m_selEnd.line),
            b = std::max(d.m_selStart.line, d.m_selEnd.line);
        d.ClearSelection();
        if (nonEmpty) {
            if (redraw) RedrawLines(a, b);
            NotifyParent(EDN_SELCHANGED);
        }
    }
    m_wordStart = m_wordEnd = EditPos{-1, -1};
    ResetCompletion();
}

void CEditCtrl::PrepareSelection(int extend) {
    if (!extend) {
        if (HasSelection())
            ClearSelection(1);
        else
            m_data->m_disp.ClearSelection();
    } else if (!HasSelection()) {
        CEditDispData& d = m_data->m_disp;
        int box = d.m_boxMode;
        StartSelectionAt(m_data->GetCaret());
        d.m_boxMode = box;
    }
    ResetCompletion();
}

void CEditCtrl::SelectToPosition(EditPos pos, int keepBoxX) {
    CEditDispData& d = m_data->m_disp;
    pos = m_data->ClampPosition(pos);
    if (d.m_boxMode && !keepBoxX) {
        d.m_boxX[1] = LinePixelWidth(pos.line, pos.col, nullptr);
        if (d.m_clientDC) d.m_clientDC->Release();
    }
    if (d.m_mouseAnchor.line < 0) d.m_mouseAnchor = d.m_selStart.line >= 0 ? d.m_selStart : pos;
    if (m_wordStart.line >= 0) {
        if (pos < m_wordStart)
            d.m_mouseAnchor = m_wordEnd;
        else if (m_wordEnd < pos)
            d.m_mouseAnchor = m_wordStart;
        else {
            d.m_mouseAnchor = m_wordStart;
            pos = m_wordEnd;
        }
    }
    EditPos oldS = d.m_selStart, oldE = d.m_selEnd;
    EditPos a = d.m_mouseAnchor;
    d.m_selStart = pos < a ? pos : a;
    d.m_selEnd = pos < a ? a : pos;
    if (d.m_boxMode) {
        int lo = std::min({oldS.line, oldE.line, d.m_selStart.line, d.m_selEnd.line});
        int hi = std::max({oldS.line, oldE.line, d.m_selStart.line, d.m_selEnd.line});
        if (lo < 0) lo = 0;
        RedrawLines(lo, hi);
    } else {
        int lo = std::min({oldS.line < 0 ? pos.line : oldS.line, d.m_selStart.line});
        int hi = std::max({oldE.line, d.m_selEnd.line});
        // Only the lines between the old and the new free end change.
        int prevFree = (oldS == a) ? oldE.line : oldS.line;
        if (prevFree < 0) prevFree = pos.line;
        lo = std::min(prevFree, pos.line);
        hi = std::max(prevFree, pos.line);
        RedrawLines(lo, hi);
        RedrawLineBroadcast(a.line);
    }
    NotifyParent(EDN_SELCHANGED);
}

void CEditCtrl::SelectRange(EditPos from, EditPos to, int box) {
    if (box || !(from == to)) {
        m_data->m_disp.m_boxMode = box;
        StartSelectionAt(from);
        m_data->m_disp.m_boxMode = box;
        m_data->SetCaret(to.line, to.col);
        SelectToPosition(to, 0);
        UpdateCaret(1, 1, 0);
    } else {
        ClearSelection(1);
        m_data->SetCaret(from.line, from.col);
        UpdateCaret(1, 1, 0);
    }
}

void CEditCtrl::SelectWordAtCaret() {
    EditPos c = m_data->GetCaret();
    m_data->MoveWord(1);
    m_data->MoveWord(-1);
    EditPos start = m_data->GetCaret();
    m_data->MoveWord(1);
    EditPos end = m_data->GetCaret();
    if (c.line != start.line || c < start) start = EditPos{c.col, c.line};
    if (end.line != start.line) end = EditPos{m_data->GetLineLength(start.line), start.line};
    m_wordStart = start;
    m_wordEnd = end;
    StartSelectionAt(start);
    m_data->SetCaret(end.line, end.col);
    SelectToPosition(end, 0);
    UpdateCaret(1, 0, 0);
}

void CEditCtrl::SelectLine(int line) {
    EditPos from{0, line};
    EditPos to =
        line + 1 < m_data->GetLineCount() ? EditPos{0, line + 1} : EditPos{m_data->GetLineLength(line), line};
    m_data->m_disp.m_boxMode = 0;
    m_wordStart = m_wordEnd = EditPos{-1, -1};
    StartSelectionAt(from);
    m_data->SetCaret(to.line, to.col);
    SelectToPosition(to, 0);
    UpdateCaret(1, 0, 0);
}

void CEditCtrl::ClickAt(CPoint pt, int shift) {
    EditPos p = PointToPos(pt, 0);
    if (shift) {
        PrepareSelection(1);
        m_data->SetCaret(p.line, p.col);
        SelectToPosition(p, 0);
    } else {
        int box = m_data->m_disp.m_boxMode;
        ClearSelection(1);
        m_data->m_disp.ClearSelection();
        m_data->m_disp.m_boxMode = box;
        SetCaretPos(p);
    }
    m_goalX = -1;
    UpdateCaret(1, 0, pt.x >= m_leftMargin + 2 * m_charWidth ? 1 : 0);
    if (!shift) {
        int line = HitLineNumber(pt);
        if (line >= 0) SelectLine(line);
    }
}

// ---------------------------------------------------------------------------
// Caret placement

void CEditCtrl::InvalidateCaretRow(int row) {
    InvalidateMarginRow(row);
    Broadcast(EDM_REDRAWROW, static_cast<WPARAM>(row), 0);
}

void CEditCtrl::UpdateCaret(int scroll, int force, int rowEnd) {
    if (!m_hWnd || !m_data) return;
    bool focus = ::GetFocus() == m_hWnd;
    if (!force && !focus) return;
    EditPos caret = m_data->GetCaret();
    EditPos ro = PosToRowOffset(caret, rowEnd);
    POINT old{0, 0};
    if (focus) {
        ::GetCaretPos(&old);
        Broadcast(EDM_REDRAWCOLUMN, static_cast<WPARAM>(old.x), 0);
        InvalidateRulerColumn(old.x);
    }
    if (scroll) ScrollCaretIntoView(ro);
    if (focus) {
        int vpos = GetScrollPosition(SB_VERT), hpos = GetScrollPosition(SB_HORZ);
        int rowStart = caret.col - ro.col;
        int x = LinePixelWidth(caret.line, caret.col, nullptr) -
                (rowStart > 0 ? LinePixelWidth(caret.line, rowStart, nullptr) : 0);
        if (m_data->m_disp.m_clientDC) m_data->m_disp.m_clientDC->Release();
        CPoint p(m_leftMargin + x - hpos * m_charWidth, (ro.line - vpos) * m_rowPitch + m_topMargin);
        p.y += m_textOffset;
        RECT client;
        ::GetClientRect(m_hWnd, &client);
        if (p.y < m_topMargin || p.x < m_leftMargin || p.y >= client.bottom - m_bottomMargin ||
            p.x >= client.right - m_rightMargin)
            p.y = -m_rowPitch;
        RECT oldRect{old.x, old.y, old.x + m_caretWidth, old.y + m_textHeight};
        ::InvalidateRect(m_hWnd, &oldRect, FALSE);
        ::SetCaretPos(p.x, p.y);
        HIMC imc = ImmGetContext(m_hWnd);
        COMPOSITIONFORM cf{};
        if (p.x < 0) {
            cf.dwStyle = CFS_DEFAULT;
        } else {
            cf.dwStyle = CFS_POINT;
            cf.ptCurrentPos = p;
            if (p.x >= m_textArea.right) cf.ptCurrentPos = POINT{m_textArea.left, p.y + m_rowPitch};
        }
        ImmSetCompositionWindow(imc, &cf);
        COMPOSITIONFORM area{};
        area.dwStyle = CFS_RECT;
        area.ptCurrentPos = cf.ptCurrentPos;
        area.rcArea = m_textArea;
        ImmSetCompositionWindow(imc, &area);
        ImmReleaseContext(m_hWnd, imc);
        Broadcast(EDM_REDRAWCOLUMN, static_cast<WPARAM>(p.x), 0);
        InvalidateRulerColumn(p.x);
        CEditDispData& d = m_data->m_disp;
        if (!d.m_clientDC) d.m_clientDC = new LazyClientDC(m_hWnd, static_cast<HFONT>(m_fonts[0].m_hObject));
        int column = m_data->DisplayColumn(caret.line, caret.col, nullptr);
        d.m_clientDC->Release();
        NotifyParent(EDN_CARETMOVED, static_cast<WPARAM>(column), static_cast<LPARAM>(caret.line));
    }
    OnCaretUpdated();
    if (ro.line != m_lastCaretRow) {
        if (m_lastCaretRow >= 0) InvalidateCaretRow(m_lastCaretRow);
        InvalidateCaretRow(ro.line);
        if (m_options & EDOPT_ROW_UNDERLINE) {
            if (m_lastCaretRow >= 0) RedrawLineBroadcast(LineOfRow(m_lastCaretRow));
            RedrawLineBroadcast(caret.line);
        }
        m_lastCaretRow = ro.line;
    }
    m_lastCaretCol = ro.col;
    if (m_options & EDOPT_BRACKET_MATCH) UpdateBracketMatch();
}

void CEditCtrl::ScrollCaretIntoView(EditPos ro) {
    int row = ro.line;
    int line = LineOfRow(row);
    int rowStart = RowStartOffset(line, row - RowOfLine(line));
    int x = LinePixelWidth(line, rowStart + ro.col, nullptr) -
            (rowStart > 0 ? LinePixelWidth(line, rowStart, nullptr) : 0);
    if (m_data->m_disp.m_clientDC) m_data->m_disp.m_clientDC->Release();
    int column = x / m_charWidth;
    int hpos = GetScrollPosition(SB_HORZ), vpos = GetScrollPosition(SB_VERT);
    int cols = GetPageCols();
    long long dx = 0, dy = 0;
    if (column < hpos)
        dx = column - hpos;
    else if (column > hpos + cols - 2)
        dx = column - (hpos + cols - 2);
    int page = m_pageRows;
    int m = (m_options & EDOPT_PAST_END) && page > 2 ? 3 : 2;
    if (page < 2) m = 1;
    if (row < vpos)
        dy = row - vpos;
    else if (row > vpos + page - m)
        dy = row - (vpos + page - m);
    if (dx || dy) ScrollBy(dx, dy, 0);
}

void CEditCtrl::ScrollRows(int rows, int extend, int scroll) {
    int goal = m_goalX;
    CPoint cp = PosToPoint(m_data->GetCaret());
    if (goal < 0) goal = cp.x;
    EditPos ro = PosToRowOffset(m_data->GetCaret(), 0);
    int vpos = GetScrollPosition(SB_VERT);
    CPoint target(goal, (ro.line + rows - vpos) * m_rowPitch + m_topMargin);
    EditPos p = PointToPos(target, 1);
    PrepareSelection(extend);
    m_data->SetCaret(p.line, p.col);
    if (extend) SelectToPosition(p, 0);
    if (scroll) ScrollBy(0, rows, 0);
    bool sameLine = m_data->GetCaret().line == p.line;
    UpdateCaret(1, 0, sameLine && goal >= m_leftMargin + 2 * m_charWidth ? 1 : 0);
    m_goalX = goal;
}

void CEditCtrl::MoveCaretTo(int line, int column) {
    ClearSelection(1);
    m_data->SetCaret(line, column);
    m_goalX = -1;
    UpdateCaret(1, 0, 0);
}

// ---------------------------------------------------------------------------
// The re-layout family

void CEditCtrl::Relayout(int scroll, int rebuild) {
    if (!m_hWnd || !m_data) return;
    InvalidatePaintCache();
    UpdateMargins();
    if (rebuild) {
        RebuildRowIndex(0, 0, INT_MAX);
        if (!(m_options & EDOPT_PLAIN_TEXT)) {
            int changed = 0;
            m_data->UpdateLexStates(0, m_data->GetLineCount() - 1, m_options, &changed);
        }
    }
    UpdatePageRows();
    UpdateScrollBars();
    UpdateCaret(scroll, 0, 0);
    DropBackground();
    UpdateWrapGuide();
    Invalidate(TRUE);
}

void CEditCtrl::RefreshAll() {
    Relayout(0, 1);
}

void CEditCtrl::RelayoutFrom(int scroll) {
    Relayout(scroll, 1);
    Broadcast(EDM_RELAYOUT, static_cast<WPARAM>(scroll), 0);
}

void CEditCtrl::InvalidateAll() {
    Broadcast(EDM_REFRESH, 1, 0);
    Invalidate(TRUE);
}

void CEditCtrl::Invalidate(BOOL erase) {
    if (!m_hWnd || !IsWindow(m_hWnd)) return;
    ::InvalidateRect(m_hWnd, nullptr, erase);
    NotifyParent(EDN_LAYOUTCHANGED);
}
