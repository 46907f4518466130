// Clipboard, text replacement, search and replace, and URLs of the editor
// window.
#include <algorithm>
#include <cstring>
#include <vector>

#include <afxole.h>

#include "base/utf16.h"
#include "editor/editctrl.h"

namespace {

// A movable zero-initialised block holding the bytes; null when none can be had.
HGLOBAL make_block(const void* bytes, size_t size) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!h) return nullptr;
    void* p = GlobalLock(h);
    if (!p) {
        GlobalFree(h);
        return nullptr;
    }
    if (bytes && size) std::memcpy(p, bytes, size);
    GlobalUnlock(h);
    return h;
}

HGLOBAL make_marker(bool box) {
    char16_t text[10] = {};
    const char16_t* word = box ? u"TRUE" : u"FALSE";
    std::char_traits<char16_t>::copy(text, word, std::char_traits<char16_t>::length(word));
    return make_block(text, 20);
}

} // namespace

// The marker block says "TRUE" only when it holds exactly those letters and a
// terminator within its size.
bool edit_marker_is_box(HGLOBAL h) {
    if (!h) return false;
    SIZE_T size = GlobalSize(h);
    if (size < 10) return false;
    const auto* p = static_cast<const char16_t*>(GlobalLock(h));
    if (!p) return false;
    static const char16_t kTrue[5] = {u'T', u'R', u'U', u'E', 0};
    bool box = std::memcmp(p, kTrue, 10) == 0;
    GlobalUnlock(h);
    return box;
}

// The text of a clipboard or drop block of the format, read within its size:
// up to its first NUL or the block's end.
bool edit_block_text(HGLOBAL h, UINT format, CString* out) {
    if (!h) return false;
    SIZE_T size = GlobalSize(h);
    const void* p = GlobalLock(h);
    if (!p) return false;
    if (format == CF_UNICODETEXT) {
        const auto* t = static_cast<const char16_t*>(p);
        size_t n = 0, max = size / 2;
        while (n < max && t[n]) n++;
        *out = CString(t, static_cast<int>(n));
    } else {
        const auto* t = static_cast<const char*>(p);
        size_t n = 0;
        while (n < size && t[n]) n++;
        *out = ansi_to_cstring(t, static_cast<int>(n));
    }
    GlobalUnlock(h);
    return true;
}

// The text on offer: Unicode text first, else OEM text, else ANSI text.
bool edit_data_text(COleDataObject* data, CString* out) {
    static const UINT kFormats[] = {CF_UNICODETEXT, CF_OEMTEXT, CF_TEXT};
    for (UINT f : kFormats) {
        if (!data->IsDataAvailable(static_cast<CLIPFORMAT>(f))) continue;
        HGLOBAL h = data->GetGlobalData(static_cast<CLIPFORMAT>(f));
        bool ok = edit_block_text(h, f, out);
        if (h) GlobalFree(h);
        if (ok) return true;
    }
    return false;
}

bool edit_data_is_box(COleDataObject* data, UINT boxFormat) {
    if (!boxFormat || !data->IsDataAvailable(static_cast<CLIPFORMAT>(boxFormat))) return false;
    HGLOBAL h = data->GetGlobalData(static_cast<CLIPFORMAT>(boxFormat));
    bool box = edit_marker_is_box(h);
    if (h) GlobalFree(h);
    return box;
}

// ---------------------------------------------------------------------------
// Clipboard

void CEditCtrl::CopyRangeToClipboard(EditPos from, EditPos to, int box) {
    std::vector<char16_t> text;
    if (box) {
        int n = m_data->GetBoxTextSize();
        text.assign(static_cast<size_t>(std::max(n, 0)) + 1, 0);
        m_data->CopyBoxText(text.data());
    } else {
        if (to < from) std::swap(from, to);
        int n = m_data->GetRangeTextSize(from, to);
        text.assign(static_cast<size_t>(std::max(n, 0)) + 1, 0);
        m_data->CopyRange(from, to, text.data());
    }
    size_t units = 0;
    while (units < text.size() && text[units]) units++;
    HGLOBAL textBlock = make_block(text.data(), (units + 1) * sizeof(char16_t));
    HGLOBAL marker = make_marker(m_data->m_disp.m_boxMode != 0);
    if (!textBlock || !marker) {
        if (textBlock) GlobalFree(textBlock);
        if (marker) GlobalFree(marker);
        AfxMessageBox(u"Unable to set Clipboard data");
        return;
    }
    if (!OpenClipboard(m_hWnd)) {
        GlobalFree(textBlock);
        GlobalFree(marker);
        AfxMessageBox(u"Cannot open the Clipboard");
        return;
    }
    if (!EmptyClipboard()) {
        CloseClipboard();
        GlobalFree(textBlock);
        GlobalFree(marker);
        AfxMessageBox(u"Cannot empty the Clipboard");
        return;
    }
    bool failed = false;
    if (!SetClipboardData(CF_UNICODETEXT, textBlock)) {
        GlobalFree(textBlock);
        failed = true;
    }
    if (!SetClipboardData(m_boxFormat, marker)) {
        GlobalFree(marker);
        failed = true;
    }
    if (failed) AfxMessageBox(u"Unable to set Clipboard data");
    CloseClipboard();
}

void CEditCtrl::CopySelection() {
    CEditDispData& d = m_data->m_disp;
    if (HasSelection())
        CopyRangeToClipboard(d.m_selStart, d.m_selEnd, d.m_boxMode);
    else if (m_options & EDOPT_COPY_LINE)
        CopyCaretLine();
}

void CEditCtrl::CopyCaretLine() {
    int line = m_data->GetCaret().line;
    EditPos to =
        line + 1 < m_data->GetLineCount() ? EditPos{0, line + 1} : EditPos{m_data->GetLineLength(line), line};
    int box = m_data->m_disp.m_boxMode;
    m_data->m_disp.m_boxMode = 0;
    CopyRangeToClipboard(EditPos{0, line}, to, 0);
    m_data->m_disp.m_boxMode = box;
}

void CEditCtrl::Copy() {
    CopySelection();
    if ((m_options & EDOPT_COPY_CLEARS) && HasSelection()) ClearSelection(1);
}

void CEditCtrl::Cut() {
    if (m_readOnly || !HasSelection()) return;
    CopySelection();
    DeleteRange(m_data->m_disp.m_selStart, m_data->m_disp.m_selEnd);
}

void CEditCtrl::Paste() {
    if (m_readOnly) return;
    COleDataObject data;
    if (!data.AttachClipboard()) return;
    if (!data.IsDataAvailable(CF_TEXT) && !data.IsDataAvailable(CF_OEMTEXT) &&
        !data.IsDataAvailable(CF_UNICODETEXT)) {
        data.Release();
        return;
    }
    CString text;
    bool ok = edit_data_text(&data, &text);
    bool box = edit_data_is_box(&data, m_boxFormat);
    data.Release();
    if (ok) ReplaceSelection(text, box ? 1 : 0);
}

void CEditCtrl::PasteBox(const char16_t* text) {
    CEditDispData& d = m_data->m_disp;
    EditPos c = m_data->GetCaret();
    d.m_boxMode = 1;
    int x = LinePixelWidth(c.line, c.col, nullptr);
    if (d.m_clientDC) d.m_clientDC->Release();
    d.m_selStart = d.m_selEnd = d.m_mouseAnchor = c;
    d.m_boxX[0] = d.m_boxX[1] = x;
    if (!d.m_clientDC) d.m_clientDC = new LazyClientDC(m_hWnd, static_cast<HFONT>(m_fonts[0].m_hObject));
    m_data->PasteBox(text);
    if (d.m_clientDC) d.m_clientDC->Release();
}

void CEditCtrl::ReplaceSelection(const char16_t* text, int box) {
    if (!m_data || !text) return;
    if (m_readOnly) return;
    CEditDispData& d = m_data->m_disp;
    int oldLines = m_data->GetLineCount();
    bool sel = HasSelection();
    int first = sel ? std::min(d.m_selStart.line, d.m_selEnd.line) : m_data->GetCaret().line;
    int last = sel ? std::max(d.m_selStart.line, d.m_selEnd.line) : first;
    int oldRows = m_data->GetLine(first)->rowCount;
    // Over a selection the selection's own kind decides how the text goes in,
    // whatever the clipboard said; the flag counts only at a bare caret.
    if (sel) box = d.m_boxMode ? 1 : 0;
    if (!sel) {
        if (box) {
            PasteBox(text);
            d.ClearSelection();
        } else {
            d.ClearSelection();
            m_data->InsertText(text);
        }
    } else {
        if (box) {
            m_data->m_undo->BeginGroup(0);
            m_data->DeleteBox();
            m_data->SetCaret(first, m_data->GetCaret().col);
            PasteBox(text);
            m_data->m_undo->EndGroup();
        } else {
            EditPos s = d.m_selStart, e = d.m_selEnd;
            m_data->m_undo->BeginGroup(0);
            m_data->DeleteRange(s, e, 1);
            m_data->SetCaret(s.line, s.col);
            m_data->InsertText(text);
            m_data->m_undo->EndGroup();
        }
        d.ClearSelection();
        RedrawLines(first, last);
        NotifyParent(EDN_SELCHANGED);
    }
    ResetCompletion();
    if (box) RebuildRowIndex(0, first, m_data->GetLineCount() - first);
    LinesChanged(oldLines, 0, oldRows, first);
    if (box || m_data->GetLineCount() == oldLines) Invalidate(TRUE);
    m_goalX = -1;
    UpdateCaret(1, 0, 0);
    if (!(m_options & EDOPT_PLAIN_TEXT)) UpdateLexicalStates(first, m_data->GetCaret().line);
}

// ---------------------------------------------------------------------------
// Search highlight, find and replace

void CEditCtrl::SetSearchHighlight(const char16_t* pattern, int matchCase, int matchWidth, int isRegex) {
    CString text;
    if (!pattern)
        text = u"";
    else if (reinterpret_cast<uintptr_t>(pattern) <= 0xFFFF)
        text.LoadString(static_cast<UINT>(reinterpret_cast<uintptr_t>(pattern)));
    else
        text = pattern;
    m_search.highlight = 1;
    m_search.Get(text, matchCase, matchWidth, isRegex);
    InvalidatePaintCache();
    InvalidateAll();
}

void CEditCtrl::ClearSearchHighlight() {
    if (!m_search.highlight) return;
    m_search.highlight = 0;
    InvalidatePaintCache();
    InvalidateAll();
}

int CEditCtrl::OnSearchResult(int result, EditPos pos) {
    if (result == -1) {
        if (m_options & EDOPT_NOT_FOUND_BOX)
            MessageBoxW(m_hWnd, u"見つかりません", u"検索", MB_ICONINFORMATION);
        return 1;
    }
    if (result < 0) return 1;
    EditPos end = pos;
    m_data->AdvancePosition(&end, result);
    ScrollCaretIntoView(PosToRowOffset(pos, 0));
    m_data->m_disp.m_boxMode = 0;
    StartSelectionAt(pos);
    m_data->SetCaret(end.line, end.col);
    SelectToPosition(end, 0);
    m_goalX = -1;
    UpdateCaret(1, 1, 0);
    return 0;
}

int CEditCtrl::Find(const char16_t* pattern, int direction, int matchCase, int matchWidth, int isRegex) {
    if (direction != 1 && direction != -1) return 1;
    if (!pattern || !*pattern) {
        ClearSearchHighlight();
        return 1;
    }
    CEditDispData& d = m_data->m_disp;
    bool sel = HasSelection();
    EditPos caret = m_data->GetCaret();
    if (isRegex && direction == 1 && !sel && d.HasSelection() && d.m_selStart == caret) {
        EditPos end = m_data->GetEndPosition();
        if (caret == end)
            m_data->SetCaret(0, 0);
        else if (caret.col >= m_data->GetLineLength(caret.line))
            m_data->SetCaret(caret.line + 1, 0);
        else
            m_data->MoveCaretChars(1);
    } else if (sel) {
        EditPos s = d.m_selStart, e = d.m_selEnd;
        if (direction == 1) {
            EditPos p = NextPosition(s);
            m_data->SetCaret(p.line, p.col);
        } else if (s.line == e.line) {
            EditPos p = e;
            if (p.col > 0)
                m_data->StepPosition(&p, -1);
            else if (p.line > 0)
                p = EditPos{m_data->GetLineLength(p.line - 1), p.line - 1};
            m_data->SetCaret(p.line, p.col);
        } else {
            m_data->SetCaret(s.line, s.col);
        }
    }
    Regex* re = m_search.Get(pattern, matchCase, matchWidth, isRegex);
    if (!re) {
        m_data->SetCaret(caret.line, caret.col);
        MessageBoxW(m_hWnd, u"不正な正規表現です", u"メッセージ", MB_ICONINFORMATION);
        return 1;
    }
    SetSearchHighlight(pattern, matchCase, matchWidth, isRegex);
    re = m_search.compiled;
    EditPos out{0, 0};
    EditPos from = m_data->GetCaret();
    int result =
        m_data->Find(&out, direction, 1, &from, (m_options & EDOPT_NOT_FOUND_BOX) ? m_hWnd : nullptr, re);
    if (result == -2) {
        m_data->SetCaret(caret.line, caret.col);
        return 1;
    }
    if (result < 0 && sel) {
        m_data->SetCaret(d.m_selEnd.line, d.m_selEnd.col);
        UpdateCaret(1, 0, 0);
    }
    return OnSearchResult(result, out);
}

int CEditCtrl::Replace(const char16_t* pattern, const char16_t* replacement, int direction, int matchCase,
                       int matchWidth, int isRegex, int all, int inSelection) {
    if (all) return ReplaceAll(pattern, replacement, matchCase, matchWidth, isRegex, inSelection);
    if (direction != 1 && direction != -1) return 1;
    Regex* re = m_search.Get(pattern, matchCase, matchWidth, isRegex);
    if (!re) {
        MessageBoxW(m_hWnd, u"不正な正規表現です", u"メッセージ", MB_ICONINFORMATION);
        return 1;
    }
    SetSearchHighlight(pattern, matchCase, matchWidth, isRegex);
    re = m_search.compiled;
    CEditDispData& d = m_data->m_disp;
    bool sel = HasSelection();
    EditPos start = sel ? d.m_selStart : m_data->GetCaret();
    // The empty match found last is selected as an empty selection at the caret.
    bool emptyMatch = !sel && d.HasSelection() && d.m_selStart == start && d.m_selEnd == start;
    EditPos out{0, 0};
    int length = -1;
    int col = -1;
    // Whether the selection is a match is asked forward in both directions: a
    // backward search finds only matches ending before its start.
    if (direction == -1 && (sel || emptyMatch)) {
        col = m_data->SearchLine(start.line, start.col, 1, &length, re);
        EditPos end{col, start.line};
        if (col == start.col) m_data->AdvancePosition(&end, length);
        if (col != start.col || !(end == d.m_selEnd)) {
            col = -1;
            length = -1;
        }
    }
    if (col < 0 && (direction == 1 || start.col > 0))
        col = m_data->SearchLine(start.line, start.col, direction, &length, re);
    if (col >= 0) {
        out = EditPos{col, start.line};
    } else {
        int last = m_data->GetLineCount() - 1;
        length = direction == 1 ? m_data->SearchLines(&out, 1, start.line + 1, last - start.line, re)
                                : m_data->SearchLines(&out, -1, start.line - 1, start.line, re);
        if (length < 0) {
            if (m_options & EDOPT_NOT_FOUND_BOX) {
                const char16_t* q =
                    direction == 1 ? u"ファイルの終わりまで検索しました。\nファイルの先頭から検索しますか？"
                                   : u"ファイルの先頭まで検索しました。\nファイルの終わりから検索しますか？";
                if (MessageBoxW(m_hWnd, q, u"Message", MB_ICONQUESTION | MB_OKCANCEL) != IDOK)
                    return OnSearchResult(-2, out);
            }
            length = direction == 1 ? m_data->SearchLines(&out, 1, 0, start.line + 1, re)
                                    : m_data->SearchLines(&out, -1, last, last - start.line + 1, re);
        }
    }
    if (length >= 0 && out == start && (length == 0 || sel)) {
        EditPos end = out;
        m_data->AdvancePosition(&end, length);
        EditPos selEnd = sel ? d.m_selEnd : start;
        if (end == selEnd) {
            CString text =
                isRegex ? m_data->ExpandTemplate(out, length, replacement, re) : CString(replacement);
            if (!sel) {
                d.m_boxMode = 0;
                StartSelectionAt(out);
                d.m_selEnd = end;
            }
            ReplaceSelection(text, 0);
            const EditPos after = m_data->GetCaret();
            if (direction == -1) {
                // Backward the next match ends before the replaced text.
                m_data->SetCaret(out.line, out.col);
            } else if (length == 0) {
                // Forward the search goes on past the place replaced, as
                // after an empty match found.
                StartSelectionAt(after);
            }
            int result = Find(pattern, direction, matchCase, matchWidth, isRegex);
            // An empty match found again at either end of the replaced text
            // is the place just replaced: nothing new was found.
            if (result == 0 && length == 0 && !HasSelection() && d.HasSelection() &&
                (d.m_selStart == out || d.m_selStart == after)) {
                d.ClearSelection();
                const EditPos caret = direction == -1 ? out : after;
                m_data->SetCaret(caret.line, caret.col);
                UpdateCaret(1, 0, 0);
                return OnSearchResult(-1, caret);
            }
            return result;
        }
    }
    return OnSearchResult(length, out);
}

int CEditCtrl::ReplaceAll(const char16_t* pattern, const char16_t* replacement, int matchCase, int matchWidth,
                          int isRegex, int inSelection, int* count) {
    if (count) *count = 0;
    if (m_readOnly) return 0;
    int flags = (matchCase ? 0 : REGEX_IGNORE_CASE) | (matchWidth ? 0 : REGEX_IGNORE_WIDTH);
    Regex* re = isRegex ? regex_compile(pattern, flags) : regex_compile_literal(pattern, flags);
    if (!re) {
        MessageBoxW(m_hWnd, u"不正な正規表現です", u"メッセージ", MB_ICONINFORMATION);
        return 1;
    }
    CEditDispData& d = m_data->m_disp;
    if (inSelection && HasSelection()) {
        EditPos s = d.m_selStart, e = d.m_selEnd;
        if (d.m_boxMode && !d.m_clientDC)
            d.m_clientDC = new LazyClientDC(m_hWnd, static_cast<HFONT>(m_fonts[0].m_hObject));
        m_data->ReplaceAll(replacement, isRegex, &s, &e, re, d.m_boxMode, count);
        if (d.m_clientDC) d.m_clientDC->Release();
    } else {
        if (HasSelection()) ClearSelection(1);
        d.ClearSelection();
        m_data->ReplaceAll(replacement, isRegex, nullptr, nullptr, re, 0, count);
        ResetCompletion();
    }
    Relayout(0, 1);
    Broadcast(EDM_RELAYOUT, 0, 0);
    regex_free(&re);
    return 0;
}

// ---------------------------------------------------------------------------
// URLs

int CEditCtrl::IsPointOnUrl(CPoint pt) {
    if (!IsPointOnText(pt)) return 0;
    EditPos p = PointToPos(pt, 1);
    LinePaintEntry& e = m_data->m_disp.m_paintCache.For(p.line);
    if (e.index != p.line || p.col >= e.count) return 0;
    return (e.attrs[p.col].flags & 4) ? 1 : 0;
}

int CEditCtrl::GetUrlRange(int* from, int* to) {
    EditPos c = m_data->GetCaret();
    LinePaintEntry& e = m_data->m_disp.m_paintCache.For(c.line);
    if (e.index != c.line || c.col >= e.count || !(e.attrs[c.col].flags & 4)) return 0;
    int a = c.col, b = c.col;
    while (a > 0 && (e.attrs[a - 1].flags & 4)) a--;
    while (b < e.count - 1 && (e.attrs[b].flags & 4)) b++;
    *from = a;
    *to = b;
    return 1;
}

CString CEditCtrl::GetUrlAtCaret() {
    int a, b;
    if (!GetUrlRange(&a, &b)) return CString();
    return CString(m_data->GetLineText(m_data->GetCaret().line) + a, b - a);
}

int CEditCtrl::OpenUrlAtCaret() {
    if (!(m_options & EDOPT_LINKS)) return 0;
    CString url = GetUrlAtCaret();
    if (url.IsEmpty()) return 0;
    // A scheme-less "www." text would be taken for a file name by the shell.
    CString target;
    const char16_t* t = url;
    if (std::char_traits<char16_t>::compare(t, u"www.", 4) == 0)
        target = CString(u"http://") + url;
    else if (HasUrlScheme(t))
        target = url;
    else
        target = CString(u"mailto:") + url;
    ShellExecuteW(nullptr, nullptr, target, nullptr, nullptr, SW_SHOWNORMAL);
    return 1;
}
