// Keys, typed characters, deletion, the mouse, bracket highlights and
// keyword completion of the editor window.
#include <algorithm>
#include <climits>
#include <cstring>

#include "base/utf16.h"
#include "editor/editctrl.h"
#include "editor/sqltoken.h"
#include "win32/ime.h"

namespace {

bool key_down(int vk) {
    return (GetKeyState(vk) & 0x8000) != 0;
}

bool is_blank(uint32_t c) {
    return c == u' ' || c == u'\t' || c == 0x3000;
}

} // namespace

void CEditCtrl::AfterEdit(int oldLines, int oldRows, int firstLine, int lexChanged) {
    ResetCompletion();
    LinesChanged(oldLines, 0, oldRows, firstLine);
    if (lexChanged) UpdateLexicalStates(firstLine, m_data->GetCaret().line);
    m_goalX = -1;
    UpdateCaret(1, 0, 0);
}

// ---------------------------------------------------------------------------
// Keys

void CEditCtrl::OnKeyDown(UINT ch, UINT repeat, UINT flags) {
    if (!m_data) return;
    bool shift = key_down(VK_SHIFT), ctrl = key_down(VK_CONTROL);
    if (m_options & EDOPT_NO_KEYS) {
        if (ch == VK_ESCAPE && HasSelection()) ClearSelection(1);
        CWnd::OnKeyDown(ch, repeat, flags);
        return;
    }
    int page = std::max(GetPageRows() - 1, 1);
    switch (ch) {
    case VK_BACK: DeleteBack(); break;
    case VK_ESCAPE:
        if (HasSelection())
            ClearSelection(1);
        else
            CompleteWord(shift);
        break;
    case VK_PRIOR:
        if (ctrl)
            ScrollByCode(MAKEWORD(0xFF, SB_PAGEUP), 0);
        else
            ScrollRows(-page, shift, 1);
        break;
    case VK_NEXT:
        if (ctrl)
            ScrollByCode(MAKEWORD(0xFF, SB_PAGEDOWN), 0);
        else
            ScrollRows(page, shift, 1);
        break;
    case VK_END:
        if (ctrl)
            MoveTextEnd(shift);
        else
            MoveLineEnd(shift);
        break;
    case VK_HOME:
        if (ctrl) {
            PrepareSelection(shift);
            m_data->SetCaret(0, 0);
            if (shift) SelectToPosition(EditPos{0, 0}, 0);
            m_goalX = -1;
            UpdateCaret(1, 0, 0);
        } else {
            MoveHome(shift, 0);
        }
        break;
    case VK_LEFT:
        if (ctrl) {
            PrepareSelection(shift);
            m_data->SkipBlanks(-1);
            m_data->MoveWord(-1);
            if (shift) SelectToPosition(m_data->GetCaret(), 0);
            m_goalX = -1;
            UpdateCaret(1, 0, 0);
        } else {
            MoveLeft(shift);
        }
        break;
    case VK_RIGHT:
        if (ctrl) {
            PrepareSelection(shift);
            m_data->MoveWord(1);
            m_data->SkipBlanks(1);
            if (shift) SelectToPosition(m_data->GetCaret(), 0);
            m_goalX = -1;
            UpdateCaret(1, 0, 0);
        } else {
            MoveRight(shift);
        }
        break;
    case VK_UP:
        if (ctrl)
            ScrollByCode(MAKEWORD(0xFF, SB_LINEUP), 0);
        else
            ScrollRows(-1, shift, 0);
        break;
    case VK_DOWN:
        if (ctrl)
            ScrollByCode(MAKEWORD(0xFF, SB_LINEDOWN), 0);
        else
            ScrollRows(1, shift, 0);
        break;
    case VK_DELETE: DeleteForward(); break;
    default: break;
    }
    CWnd::OnKeyDown(ch, repeat, flags);
}

void CEditCtrl::OnChar(UINT ch, UINT repeat, UINT flags) {
    if (!m_data) return;
    if (!key_down(VK_CONTROL)) {
        TypeChar(ch);
        CWnd::OnChar(ch, repeat, flags);
        return;
    }
    if (!(m_options & EDOPT_CTRL_KEYS)) return;
    switch (ch) {
    case 1: SelectAll(); break;
    case 3: Copy(); break;
    case 22: Paste(); break;
    case 24: Cut(); break;
    case 25: Redo(); break;
    case 26: Undo(); break;
    default: break;
    }
}

// ---------------------------------------------------------------------------
// Movers

void CEditCtrl::MoveLeft(int shift) {
    CEditDispData& d = m_data->m_disp;
    EditPos c = m_data->GetCaret();
    if (!shift && HasSelection() && (c == d.m_selStart || c == d.m_selEnd)) {
        EditPos s = d.m_selStart;
        ClearSelection(1);
        m_data->SetCaret(s.line, s.col);
    } else {
        PrepareSelection(shift);
        m_data->CaretLeft();
        if (shift) SelectToPosition(m_data->GetCaret(), 0);
    }
    m_goalX = -1;
    UpdateCaret(1, 0, 0);
}

void CEditCtrl::MoveRight(int shift) {
    CEditDispData& d = m_data->m_disp;
    EditPos c = m_data->GetCaret();
    if (!shift && HasSelection() && (c == d.m_selStart || c == d.m_selEnd)) {
        EditPos e = d.m_selEnd;
        ClearSelection(1);
        m_data->SetCaret(e.line, e.col);
    } else {
        PrepareSelection(shift);
        EditPos p = NextPosition(c);
        m_data->SetCaret(p.line, p.col);
        if (shift) SelectToPosition(p, 0);
    }
    m_goalX = -1;
    UpdateCaret(1, 0, 0);
}

void CEditCtrl::MoveHome(int shift, int stopAtZero) {
    PrepareSelection(shift);
    EditPos c = m_data->GetCaret();
    int col = 0;
    if (!stopAtZero) {
        const char16_t* t = m_data->GetLineText(c.line);
        while (t[col] && is_blank(t[col])) col++;
        if (col == c.col && c.col != 0) col = 0;
    }
    m_data->SetCaret(c.line, col);
    if (shift) SelectToPosition(m_data->GetCaret(), 0);
    m_goalX = -1;
    UpdateCaret(1, 0, 0);
}

void CEditCtrl::MoveLineEnd(int shift) {
    PrepareSelection(shift);
    int line = m_data->GetCaret().line;
    m_data->SetCaret(line, m_data->GetLineLength(line));
    if (shift) SelectToPosition(m_data->GetCaret(), 0);
    m_goalX = -1;
    UpdateCaret(1, 0, 0);
}

void CEditCtrl::MoveTextEnd(int shift) {
    PrepareSelection(shift);
    EditPos e = m_data->GetEndPosition();
    m_data->SetCaret(e.line, e.col);
    if (shift) SelectToPosition(e, 0);
    m_goalX = -1;
    UpdateCaret(1, 0, 0);
}

void CEditCtrl::SelectWholeLines() {
    CEditDispData& d = m_data->m_disp;
    EditPos from, to;
    if (HasSelection()) {
        from = EditPos{0, d.m_selStart.line};
        int last = d.m_selEnd.line;
        if (d.m_selEnd.col == 0 && last > d.m_selStart.line) last--;
        to = EditPos{m_data->GetLineLength(last), last};
    } else {
        int line = m_data->GetCaret().line;
        from = EditPos{0, line};
        to = EditPos{m_data->GetLineLength(line), line};
    }
    d.m_boxMode = 0;
    StartSelectionAt(from);
    m_data->SetCaret(to.line, to.col);
    SelectToPosition(to, 0);
}

// ---------------------------------------------------------------------------
// Deletion and typing

void CEditCtrl::DeleteRange(EditPos from, EditPos to) {
    if (m_readOnly) return;
    CEditDispData& d = m_data->m_disp;
    int oldLines = m_data->GetLineCount();
    int first = std::min(from.line, to.line);
    int oldRows = m_data->GetLine(first)->rowCount;
    if (d.m_boxMode && d.HasSelection()) {
        m_data->DeleteBox();
        m_data->SetCaret(std::min(d.m_selStart.line, d.m_selEnd.line), m_data->GetCaret().col);
    } else {
        EditPos s = from < to ? from : to, e = from < to ? to : from;
        m_data->DeleteRange(s, e, 1);
        m_data->SetCaret(s.line, s.col);
    }
    if (d.m_boxMode) {
        RebuildRowIndex(0, first, std::abs(to.line - from.line) + 1);
        Invalidate(TRUE);
    }
    LinesChanged(oldLines, 0, oldRows, first);
    ClearSelection(1);
    d.ClearSelection();
    ResetCompletion();
    m_goalX = -1;
    UpdateCaret(1, 0, 0);
    UpdateLexicalStates(m_data->GetCaret().line, m_data->GetCaret().line);
}

void CEditCtrl::DeleteBack() {
    if (m_readOnly) return;
    if (HasSelection()) {
        DeleteRange(m_data->m_disp.m_selStart, m_data->m_disp.m_selEnd);
        return;
    }
    EditPos c = m_data->GetCaret();
    if (c.line == 0 && c.col == 0) return;
    uint32_t before = c.col > 0 ? m_data->GetCharBeforeCaret() : u'\n';
    m_data->m_disp.ClearSelection();
    int oldLines = m_data->GetLineCount();
    int first = c.col > 0 ? c.line : c.line - 1;
    int oldRows = m_data->GetLine(first)->rowCount;
    m_data->Backspace();
    bool lex = AffectsLexicalState(before) || m_data->GetLineCount() != oldLines;
    AfterEdit(oldLines, oldRows, first, lex ? 1 : 0);
}

void CEditCtrl::DeleteForward() {
    if (m_readOnly) return;
    if (HasSelection()) {
        DeleteRange(m_data->m_disp.m_selStart, m_data->m_disp.m_selEnd);
        return;
    }
    EditPos c = m_data->GetCaret();
    EditPos end = m_data->GetEndPosition();
    if (c == end) return;
    uint32_t at = m_data->GetCharAtCaret();
    m_data->m_disp.ClearSelection();
    int oldLines = m_data->GetLineCount();
    int oldRows = m_data->GetLine(c.line)->rowCount;
    m_data->DeleteNextChar();
    bool lex = AffectsLexicalState(at) || m_data->GetLineCount() != oldLines;
    AfterEdit(oldLines, oldRows, c.line, lex ? 1 : 0);
}

void CEditCtrl::InsertTypedChar(uint32_t c) {
    if (c == u'\t' && m_data->m_expandTabs) {
        EditPos p = m_data->GetCaret();
        CharWidthCache& w = m_data->m_disp.m_widths;
        int x = LinePixelWidth(p.line, p.col, nullptr);
        int stop = w.TabStopWidth();
        int space = std::max(w.Advance(w.GetWidth(nullptr, u' ', m_data->m_disp.m_clientDC)), 1);
        if (m_data->m_disp.m_clientDC) m_data->m_disp.m_clientDC->Release();
        int adv = textdraw_tab_advance(x, 0, stop, space);
        int n = std::max(adv / space, 1);
        std::u16string spaces(static_cast<size_t>(n), u' ');
        m_data->InsertText(spaces.c_str());
        return;
    }
    m_data->TypeChar(c);
}

void CEditCtrl::TypeChar(uint32_t c) {
    if (m_readOnly || !m_data) return;
    if (c == 8 || c == 27) return;
    CEditDispData& d = m_data->m_disp;
    if (c == u'\t') {
        if (m_options & EDOPT_CELL_MODE) return;
        if (HasSelection() && d.m_selStart.line != d.m_selEnd.line) {
            IndentLines(key_down(VK_SHIFT), m_data->m_expandTabs, m_data->m_disp.m_widths.m_tabWidth);
            return;
        }
    }
    if (c == u'\r' && (m_options & EDOPT_CELL_MODE)) return;
    if (c < 0x20 && c != u'\t' && c != u'\r') return;
    int oldLines = m_data->GetLineCount();
    int lexChanged = 0;
    int first;
    int oldRows;
    if (HasSelection()) {
        first = std::min(d.m_selStart.line, d.m_selEnd.line);
        oldRows = m_data->GetLine(first)->rowCount;
        m_data->m_undo->BeginGroup(0);
        if (d.m_boxMode) {
            m_data->DeleteBox();
            m_data->SetCaret(first, m_data->GetCaret().col);
        } else {
            EditPos s = d.m_selStart, e = d.m_selEnd;
            m_data->DeleteRange(s, e, 1);
            m_data->SetCaret(s.line, s.col);
        }
        InsertTypedChar(c);
        m_data->m_undo->EndGroup();
        bool had = HasSelection();
        d.ClearSelection();
        if (had) NotifyParent(EDN_SELCHANGED);
        RebuildRowIndex(0, first, 0);
        lexChanged = 1;
    } else {
        first = m_data->GetCaret().line;
        oldRows = m_data->GetLine(first)->rowCount;
        d.ClearSelection();
        InsertTypedChar(c);
        lexChanged = AffectsLexicalState(c) || m_data->GetLineCount() != oldLines;
    }
    ResetCompletion();
    LinesChanged(oldLines, 0, oldRows, first);
    if (lexChanged) UpdateLexicalStates(first, m_data->GetCaret().line);
    m_goalX = -1;
    UpdateCaret(1, 0, 0);
    if ((m_options & EDOPT_BRACKET_FLASH) && c < 256 && m_data->m_token->m_bracket[c] == 1) {
        EditPos keep = m_data->GetCaret();
        m_data->CaretLeft();
        HighlightMatchingBracket(c);
        m_data->SetCaret(keep.line, keep.col);
    }
}

void CEditCtrl::IndentLines(int unindent, int expandTabs, int width) {
    if (m_readOnly) return;
    CEditDispData& d = m_data->m_disp;
    m_data->m_undo->BeginGroup(0);
    m_data->AddCaretRecord();
    if (!d.m_boxMode) SelectWholeLines();
    char16_t pattern[64];
    const char16_t* replacement;
    std::u16string spaces(static_cast<size_t>(std::max(width, 1)), u' ');
    if (!unindent) {
        std::char_traits<char16_t>::copy(pattern, d.m_boxMode ? u"\\=^" : u"^", d.m_boxMode ? 4 : 2);
        replacement = expandTabs ? spaces.c_str() : u"\t";
    } else {
        char buf[64];
        std::snprintf(buf, sizeof buf, d.m_boxMode ? "\\=^((\\t)|(\\s{1,%d}))" : "^((\\t)|(\\s{1,%d}))",
                      std::max(width, 1));
        int i = 0;
        for (; buf[i]; i++) pattern[i] = static_cast<char16_t>(buf[i]);
        pattern[i] = 0;
        replacement = u"";
    }
    ReplaceAll(pattern, replacement, 1, 1, 1, 1);
    m_data->m_undo->EndGroup();
}

void CEditCtrl::CompleteWord(int backward) {
    if (m_readOnly) return;
    uint32_t at = m_data->GetCharAtCaret();
    if (at != 0 && !m_data->m_token->isWordBreak(at)) return;
    int ordinal = m_completionIndex;
    if (ordinal != -1) {
        Undo();
        m_completionIndex = ordinal; // Undo resets it; the cycle goes on from here
        // The undo leaves the caret at the word's start; the word part ends the prefix on.
        EditPos at = m_completionAt;
        int n = static_cast<int>(std::char_traits<char16_t>::length(m_completionPrefix));
        m_data->SetCaret(at.line, at.col + n);
    }
    EditPos caret = m_data->GetCaret();
    if (caret.col == 0) return;
    m_data->MoveWord(-1);
    EditPos start = m_data->GetCaret();
    if (start.line != caret.line) start = EditPos{0, caret.line};
    m_data->SetCaret(caret.line, caret.col);
    int len = caret.col - start.col;
    if (len <= 0) return;
    if (ordinal == -1) {
        if (len > 99) {
            m_completionIndex = -1;
            return;
        }
        std::memcpy(m_completionPrefix, m_data->GetLineText(caret.line) + start.col,
                    static_cast<size_t>(len) * sizeof(char16_t));
        m_completionPrefix[len] = 0;
    }
    char16_t found[100] = {};
    CStrToken* tok = m_data->m_token;
    int next;
    auto* sql = dynamic_cast<CSQLStrToken*>(tok);
    if (sql) EnterCriticalSection(&sql->m_section);
    next = tok->findCompletion(m_completionPrefix, ordinal, found, sizeof found, backward);
    if (sql) LeaveCriticalSection(&sql->m_section);
    m_completionIndex = next;
    if (next < 0 || !found[0]) {
        m_completionIndex = -1;
        UpdateCaret(1, 0, 0);
        return;
    }
    int oldLines = m_data->GetLineCount();
    int oldRows = m_data->GetLine(caret.line)->rowCount;
    m_completionAt = start;
    m_data->m_undo->BeginGroup(0);
    m_data->DeleteRange(start, caret, 1);
    m_data->SetCaret(start.line, start.col);
    m_data->InsertText(found);
    m_data->m_undo->EndGroup();
    LinesChanged(oldLines, 0, oldRows, caret.line);
    UpdateScrollBars();
    InvalidateLine(caret.line);
    UpdateCaret(1, 0, 0);
}

// ---------------------------------------------------------------------------
// Undo, redo, select all

void CEditCtrl::ShowBufferChange() {
    ClearSelection(1);
    m_data->m_disp.ClearSelection();
    ResetCompletion();
    RelayoutFrom(1);
}

void CEditCtrl::Undo() {
    if (m_readOnly || !m_data) return;
    m_data->Undo();
    ShowBufferChange();
}

void CEditCtrl::Redo() {
    if (m_readOnly || !m_data) return;
    m_data->Redo();
    ShowBufferChange();
}

void CEditCtrl::SelectAll() {
    CEditDispData& d = m_data->m_disp;
    d.ClearSelection();
    d.m_selStart = d.m_mouseAnchor = EditPos{0, 0};
    d.m_selEnd = m_data->GetEndPosition();
    m_data->SetCaret(d.m_selEnd.line, d.m_selEnd.col);
    InvalidateAll();
    NotifyParent(EDN_SELCHANGED);
    UpdateCaret(0, 0, 0);
}

// ---------------------------------------------------------------------------
// Mouse

void CEditCtrl::OnLButtonDown(UINT flags, CPoint pt) {
    if (!m_data) return;
    if (::GetFocus() != m_hWnd) ::SetFocus(m_hWnd);
    HIMC imc = ImmGetContext(m_hWnd);
    if (ImmGetOpenStatus(imc) && ImmGetCompositionStringW(imc, GCS_COMPSTR, nullptr, 0) > 0) {
        ImmNotifyIME(imc, NI_COMPOSITIONSTR, CPS_COMPLETE, 0);
        return;
    }
    if (m_options & EDOPT_HIDE_POINTER) {
        RECT client;
        ::GetClientRect(m_hWnd, &client);
        if (pt.x < m_baseLeft - 40 || pt.y < m_baseTop - 40 || pt.x > client.right - m_rightMargin + 40 ||
            pt.y > client.bottom - m_bottomMargin + 40)
            return;
    }
    bool shift = (flags & MK_SHIFT) != 0, ctrl = (flags & MK_CONTROL) != 0;
    if (m_dblClickRunning) {
        KillTimer(EDIT_TIMER_DBLCLK);
        m_dblClickRunning = 0;
        EditPos p = PointToPos(pt, 0);
        if (p == m_tripleClickPos) {
            ClearSelection(1);
            BeginMouseSelection(0);
            SelectLine(p.line);
            return;
        }
    }
    if ((m_options & EDOPT_DRAG) && IsPointInSelection(pt)) {
        if (!edit_start_drag(this, pt)) ClickAt(pt, shift);
        return;
    }
    m_data->m_disp.m_boxMode = ctrl ? 1 : 0;
    ClickAt(pt, shift);
    BeginMouseSelection(0);
    Default();
}

void CEditCtrl::OnLButtonUp(UINT, CPoint) {
    if (m_mouseState) EndMouseSelection();
    Default();
}

void CEditCtrl::OnLButtonDblClk(UINT, CPoint pt) {
    if (!m_data) return;
    if ((m_options & EDOPT_LINKS) && IsPointOnUrl(pt)) {
        OpenUrlAtCaret();
        return;
    }
    if (HasSelection()) {
        ClearSelection(1);
        return;
    }
    m_tripleClickPos = m_data->GetCaret();
    m_dblClickRunning = 1;
    SetTimer(EDIT_TIMER_DBLCLK, GetDoubleClickTime(), nullptr);
    BeginMouseSelection(1);
    SelectWordAtCaret();
    NotifyParent(EDN_DBLCLK, static_cast<WPARAM>(m_data->GetCaret().col),
                 static_cast<LPARAM>(m_data->GetCaret().line));
    Default();
}

void CEditCtrl::OnMouseMove(UINT, CPoint pt) {
    if (!m_data) return;
    if (m_mouseState == 1) m_mouseState = 2;
    if (m_mouseState == 2) {
        ExtendMouseSelection(pt, 0);
    } else if (m_options & EDOPT_HIDE_POINTER) {
        if (m_pointerCountdown == 0 && !(pt == m_lastMouse)) {
            m_pointerCountdown = 3;
            Invalidate(FALSE);
        }
        m_lastMouse = pt;
    }
    UpdateMouseCursor();
    Default();
}

void CEditCtrl::OnRButtonDown(UINT flags, CPoint pt) {
    if (!m_data) return;
    if (::GetFocus() != m_hWnd) ::SetFocus(m_hWnd);
    if (m_mouseState) EndMouseSelection();
    if (!IsPointInSelection(pt)) ClickAt(pt, (flags & MK_SHIFT) != 0);
    CScrollWnd::OnRButtonDown(flags, pt);
}

void CEditCtrl::BeginMouseSelection(int word) {
    m_mouseState = 1;
    if (!HasSelection()) {
        SetCaretPos(m_data->GetCaret());
        m_mouseWord = word;
        // A box dragged from here has its fixed side at the caret.
        m_data->m_disp.m_boxX[0] = m_data->m_disp.m_boxX[1] = m_caretX;
    }
    m_data->m_disp.m_mouseAnchor = HasSelection() ? m_data->m_disp.m_mouseAnchor : m_data->GetCaret();
    if (!word) m_wordStart = m_wordEnd = EditPos{-1, -1};
    ::SetCapture(m_hWnd);
    SetTimer(EDIT_TIMER_SELECT, 100, nullptr);
}

void CEditCtrl::ExtendMouseSelection(CPoint pt, int scroll) {
    CEditDispData& d = m_data->m_disp;
    EditPos p = PointToPos(pt, 1);
    EditPos anchor = d.m_mouseAnchor.line >= 0 ? d.m_mouseAnchor : m_data->GetCaret();
    if ((m_options & EDOPT_LINE_NUMBERS) && pt.x < m_leftMargin && pt.x >= 0 && p.line > anchor.line) {
        p = p.line + 1 < m_data->GetLineCount() ? EditPos{0, p.line + 1}
                                                : EditPos{m_data->GetLineLength(p.line), p.line};
    }
    m_data->SetCaret(p.line, p.col);
    if ((m_options & EDOPT_WORD_SELECT) && m_mouseWord) {
        uint32_t a = m_data->GetCharAtCaret(), b = p.col > 0 ? m_data->GetCharBeforeCaret() : u' ';
        bool delims = m_data->m_token->isWordBreak(a) && m_data->m_token->isWordBreak(b);
        if (!delims && p.col < m_data->GetLineLength(p.line)) m_data->MoveWord(anchor < p ? 1 : -1);
    }
    UpdateCaret(scroll, 0, 0);
    if (d.m_boxMode) d.m_boxX[1] = GetScrollPosition(SB_HORZ) * m_charWidth + pt.x - m_leftMargin;
    SelectToPosition(m_data->GetCaret(), 1);
}

void CEditCtrl::EndMouseSelection() {
    KillTimer(EDIT_TIMER_SELECT);
    if (::GetCapture() == m_hWnd) ::ReleaseCapture();
    m_mouseState = 0;
    if ((m_options & EDOPT_COPY_ON_SELECT) && HasSelection()) {
        CEditDispData& d = m_data->m_disp;
        CopyRangeToClipboard(d.m_selStart, d.m_selEnd, d.m_boxMode);
    }
}

void CEditCtrl::UpdateMouseCursor() {
    if ((m_options & EDOPT_HIDE_POINTER) && m_pointerCountdown == 0) {
        ::SetCursor(nullptr);
        return;
    }
    if (!(m_options & (EDOPT_HIDE_POINTER | EDOPT_LINKS))) return;
    POINT p;
    ::GetCursorPos(&p);
    ::ScreenToClient(m_hWnd, &p);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    if (p.x <= m_leftMargin || p.y < m_topMargin || p.x >= client.right || p.y >= client.bottom) return;
    extern HCURSOR edit_link_cursor();
    ::SetCursor((m_options & EDOPT_LINKS) && IsPointOnUrl(CPoint(p.x, p.y))
                    ? edit_link_cursor()
                    : LoadCursorW(nullptr, IDC_IBEAM));
}

// ---------------------------------------------------------------------------
// Brackets

int CEditCtrl::FindMatchingBracket(uint32_t c, EditPos* out) {
    if (c >= 256) return 0;
    int kind = m_data->m_token->m_bracket[c];
    if (!kind) return 0;
    EditPos caret = m_data->GetCaret();
    LexLineCache cache;
    if (m_data->LexStateAt(caret.line, caret.col, &cache) != LEX_CODE) return 0;
    static const char16_t kOpen[] = u"(<[{", kClose[] = u")>]}";
    for (int i = 0; i < 4; i++) {
        // Forward the closer lowers the depth: the pair goes in swapped.
        if (kind == 2 && c == kOpen[i])
            return m_data->FindMatchingBracket(kClose[i], kOpen[i], 1, nullptr, 1, out);
        if (kind == 1 && c == kClose[i])
            return m_data->FindMatchingBracket(kOpen[i], kClose[i], 1, nullptr, -1, out);
    }
    return 0;
}

void CEditCtrl::HighlightMatchingBracket(uint32_t c) {
    if (m_blinkPeriod <= 0) return;
    ClearBracketHighlight();
    KillTimer(EDIT_TIMER_BRACKET);
    EditPos match;
    if (!FindMatchingBracket(c, &match)) return;
    CEditDispData& d = m_data->m_disp;
    d.m_viewPos[0] = match;
    d.m_viewPos[1] = m_data->GetCaret();
    RedrawLineBroadcast(match.line);
    RedrawLineBroadcast(d.m_viewPos[1].line);
    SetTimer(EDIT_TIMER_BRACKET, static_cast<UINT>(m_blinkPeriod), nullptr);
}

void CEditCtrl::ClearBracketHighlight() {
    CEditDispData& d = m_data->m_disp;
    for (EditPos& p : d.m_viewPos) {
        if (p.line < 0) continue;
        RedrawLineBroadcast(p.line);
        p = EditPos{-1, -1};
    }
}

void CEditCtrl::UpdateBracketMatch() {
    CEditDispData& d = m_data->m_disp;
    EditPos caret = m_data->GetCaret();
    int first = GetFirstVisibleLine(), last = GetLastVisibleLine();
    if (caret.line < first || caret.line > last) return;
    if (DisplayRows() == 1 && m_data->GetLineCount() > 1) return;
    EditPos lo{0, first}, hi{m_data->GetLineLength(last), last};
    static const char16_t kOpen[] = u"(<[{", kClose[] = u")>]}";
    EditPos best{-1, -1};
    int which = -1;
    for (int i = 0; i < 4; i++) {
        if (m_data->m_token->m_bracket[kOpen[i]] != 2) continue;
        EditPos out;
        if (m_data->FindMatchingBracket(kOpen[i], kClose[i], 1, &lo, -1, &out) &&
            (best.line < 0 || best < out)) {
            best = out;
            which = i;
        }
    }
    EditPos second{-1, -1};
    if (which >= 0) {
        m_data->SetCaret(best.line, best.col);
        EditPos out;
        // The scan starts after the opener, which counts as one level.
        if (m_data->FindMatchingBracket(kClose[which], kOpen[which], 1, &hi, 1, &out)) second = out;
        m_data->SetCaret(caret.line, caret.col);
        if (second.line < 0) best = EditPos{-1, -1};
    } else {
        uint32_t c = m_data->GetCharAtCaret();
        LexLineCache cache;
        if (c < 256 && m_data->m_token->m_bracket[c] &&
            m_data->LexStateAt(caret.line, caret.col, &cache) == LEX_CODE) {
            for (int i = 0; i < 4; i++) {
                EditPos out;
                if (c == kOpen[i]) {
                    m_data->SetCaret(caret.line, caret.col);
                    if (m_data->FindMatchingBracket(kClose[i], kOpen[i], 1, &hi, 1, &out))
                        best = caret, second = out;
                } else if (c == kClose[i]) {
                    if (m_data->FindMatchingBracket(kOpen[i], kClose[i], 1, &lo, -1, &out))
                        best = caret, second = out;
                }
            }
            m_data->SetCaret(caret.line, caret.col);
        }
    }
    EditPos old0 = d.m_bracket[0], old1 = d.m_bracket[1];
    if (!(old0 == best)) {
        if (old0.line >= 0) d.m_paintCache.For(old0.line).index = -1, InvalidateLine(old0.line);
        if (best.line >= 0) InvalidateLine(best.line);
    }
    if (!(old1 == second)) {
        if (old1.line >= 0) d.m_paintCache.For(old1.line).index = -1, InvalidateLine(old1.line);
        if (second.line >= 0) InvalidateLine(second.line);
    }
    d.m_bracket[0] = best;
    d.m_bracket[1] = second;
}
