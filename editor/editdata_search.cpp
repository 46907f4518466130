// Word movement with Japanese character classes, regular-expression search
// over the lines in both directions, and loading a text file.
#include "base/textfile.h"
#include "base/utf16.h"
#include "editor/editdata.h"

int CEditData::CharClass(uint32_t c) const {
    if (c == 0) return 0;
    if (c == u'\t' || c == u' ') return 2;
    if (c < 256) return IsDelimiter(c) ? 1 : 3;
    if (c == 0x3000 || c == 0x3001 || c == 0x3002 || c == 0xFF0C || c == 0xFF0E) return 1;
    if ((c >= 0xFF01 && c <= 0xFF0B) || c == 0xFF0D || c == 0xFF0F || (c >= 0xFF1A && c <= 0xFF20) ||
        (c >= 0xFF3B && c <= 0xFF40) || (c >= 0xFF5B && c <= 0xFF60))
        return 10;
    if ((c >= 0xFF10 && c <= 0xFF19) || (c >= 0xFF21 && c <= 0xFF3A) || (c >= 0xFF41 && c <= 0xFF5A))
        return 11;
    if (c >= 0x3040 && c <= 0x309F) return 12;
    if (c == 0x30FC) return 16;
    if ((c >= 0x30A0 && c <= 0x30FF) || (c >= 0x31F0 && c <= 0x31FF)) return 13;
    if (c >= 0xFF61 && c <= 0xFF9F) return 14;
    return 15;
}

namespace {

// The prolonged sound mark joins a run of kana on either side.
bool classes_join(int a, int b) {
    if (a == b) return true;
    if (a == 16) return b == 12 || b == 13;
    if (b == 16) return a == 12 || a == 13;
    return false;
}

} // namespace

void CEditData::MoveWord(int direction) {
    m_undo->recordingType = 0;
    if (direction >= 1) {
        EditPos p = GetCaret();
        int anchor = CharClass(GetCharAt(p.line, p.col));
        for (;;) {
            EditPos before = p;
            StepPosition(&p, 1);
            if (p == before) break;
            int c = CharClass(GetCharAt(p.line, p.col));
            if (c == 0 || !classes_join(anchor, c)) break;
            if (anchor == 16) anchor = c;
        }
        m_caretCol = p.col;
        m_caretLine = p.line;
    } else {
        if (m_caretCol == 0 && m_caretLine == 0) {
            m_goalColumn = -1;
            return;
        }
        CaretLeft();
        EditPos p = GetCaret();
        int anchor = CharClass(GetCharAt(p.line, p.col));
        for (;;) {
            if (p.col == 0 && p.line == 0) break; // the word starts at the text's start
            EditPos q = p;
            if (q.col == 0) {
                q.line--;
                q.col = GetLineLength(q.line);
            } else {
                q.col--;
                const char16_t* t = GetLineText(q.line);
                if (q.col > 0 && utf16_is_low_surrogate(t[q.col]) && utf16_is_high_surrogate(t[q.col - 1]))
                    q.col--;
            }
            int c = CharClass(GetCharAt(q.line, q.col));
            if (c == 0 || !classes_join(anchor, c)) break; // the word starts at p
            if (anchor == 16) anchor = c;
            p = q;
        }
        m_caretCol = p.col;
        m_caretLine = p.line;
    }
    m_goalColumn = -1;
}

void CEditData::SkipBlanks(int direction) {
    if (direction >= 1) {
        while (CharClass(GetCharAt(m_caretLine, m_caretCol)) == 2) m_caretCol++;
    } else if (m_caretCol != 0 || m_caretLine != 0) {
        for (;;) {
            CaretLeft();
            if (CharClass(GetCharAt(m_caretLine, m_caretCol)) != 2) {
                EditPos p = GetCaret();
                StepPosition(&p, 1);
                m_caretCol = p.col;
                m_caretLine = p.line;
                break;
            }
            if (m_caretCol == 0 && m_caretLine == 0) break;
        }
    }
    m_goalColumn = -1;
}

int CEditData::SearchLine(int line, int column, int direction, int* length, Regex* regex) {
    if (!regex || line < 0 || line >= m_lines.count) return -1;
    int len = GetLineLength(line);
    // Match starts never go beyond the searched line.
    RegexPos limit{line, len};
    if (direction == 1) {
        RegexPos start{line, column < 0 ? 0 : (column > len ? len : column)}, end{};
        if (regex_search(regex, &m_regexOps, &start, &end, limit) != 1) return -1;
        if (length) *length = static_cast<int>(m_regexOps.distance(m_regexOps.context, &start, &end));
        return static_cast<int>(start.column);
    }
    // Backward from a column: a match ending at it or before; an empty match
    // at the column itself is where the search starts (the one found last
    // time), not before it.
    auto qualifies = [&](const RegexPos& s, const RegexPos& e) {
        if (s.line != line) return false;
        if (column <= 0) return true;
        return e.line == line && e.column <= column && s.column < column;
    };
    RegexPos start{line, 0}, end{};
    if (regex_search(regex, &m_regexOps, &start, &end, limit) != 1) return -1;
    if (!qualifies(start, end)) return -1;
    RegexPos best = start, bestEnd = end;
    for (;;) {
        RegexPos next = best;
        if (next.column >= len) break; // the restart would leave the line
        next.column += utf16_char_units(GetLineText(line) + next.column);
        RegexPos e{};
        if (regex_search(regex, &m_regexOps, &next, &e, limit) != 1) break;
        if (!qualifies(next, e)) break;
        best = next;
        bestEnd = e;
    }
    if (length) *length = static_cast<int>(m_regexOps.distance(m_regexOps.context, &best, &bestEnd));
    return static_cast<int>(best.column);
}

int CEditData::SearchLines(EditPos* out, int direction, int firstLine, int count, Regex* regex) {
    int step = direction == 1 ? 1 : -1;
    for (int i = 0, line = firstLine; i < count; i++, line += step) {
        if (line < 0 || line >= m_lines.count) break;
        int length = 0;
        int col = SearchLine(line, 0, direction, &length, regex);
        if (col >= 0) {
            *out = EditPos{col, line};
            return length;
        }
    }
    return -1;
}

int CEditData::Find(EditPos* out, int direction, int wrap, const EditPos* from, HWND owner, Regex* regex) {
    if (direction != 1 && direction != -1) return -1;
    EditPos start = ClampRange(from ? *from : GetCaret());
    int last = m_lines.count - 1;
    int length = -1;
    if (direction == 1) {
        int col = SearchLine(start.line, start.col, 1, &length, regex);
        if (col >= 0) {
            *out = EditPos{col, start.line};
            return length;
        }
        length = SearchLines(out, 1, start.line + 1, last - start.line, regex);
    } else {
        int col = -1;
        if (start.col > 0) col = SearchLine(start.line, start.col, -1, &length, regex);
        if (col >= 0) {
            *out = EditPos{col, start.line};
            return length;
        }
        length = SearchLines(out, -1, start.line - 1, start.line, regex);
    }
    if (length >= 0) return length;
    if (wrap != 1) return -1;
    if (owner) {
        const char16_t* text = direction == 1
                                   ? u"ファイルの終わりまで検索しました。\nファイルの先頭から検索しますか？"
                                   : u"ファイルの先頭まで検索しました。\nファイルの終わりから検索しますか？";
        if (MessageBoxW(owner, text, u"Message", MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return -2;
    }
    if (direction == 1) return SearchLines(out, 1, 0, start.line + 1, regex);
    return SearchLines(out, -1, last, last - start.line + 1, regex);
}

int CEditData::LoadFile(CArchive* archive, int* code, int* lineEnd) {
    auto* rec = new TextFile;
    int failed = 0;
    textfile_init(rec, archive, *code == CHARCODE_AUTO ? CHARCODE_SJIS : *code, LINE_END_NONE);
    try {
        if (*code == CHARCODE_AUTO) *code = textfile_detect_code(rec);
        textfile_init(rec, archive, *code, LINE_END_NONE);
        int detected = textfile_detect_line_end(rec);
        if (lineEnd) *lineEnd = detected;
    } catch (CFileException* e) {
        e->Delete();
        failed = 1;
    }
    Reset();
    while (!failed) {
        const char16_t* block = nullptr;
        try {
            block = textfile_read_block(rec);
        } catch (CFileException* e) {
            e->Delete();
            failed = 1;
            break;
        }
        if (!block) break;
        if (InsertTextAtCaret(block)) failed = 1;
    }
    delete rec; // the reader is closed; the archive stays the caller's
    m_caretCol = 0;
    m_caretLine = 0;
    m_goalColumn = -1;
    ClearUndo();
    return failed;
}
