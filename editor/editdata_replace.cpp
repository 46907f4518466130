// Replacing a range, the whole text and every match, each as one undo step.
#include <utility>

#include "editor/editdata.h"

int CEditData::ReplaceRange(EditPos start, EditPos end, const char16_t* text) {
    m_undo->BeginGroup(0);
    UndoGroupGuard guard(m_undo, true);
    int result = AddCaretRecord();
    if (!result) result = DeleteRange(start, end, 1);
    if (!result) result = InsertText(text, 1);
    return result;
}

int CEditData::ReplaceWholeText(const char16_t* text) {
    int result = ReplaceRange(EditPos{0, 0}, GetEndPosition(), text);
    m_undo->recordingType = 0;
    m_caretCol = 0;
    m_caretLine = 0;
    m_goalColumn = -1;
    return result;
}

int CEditData::ReplaceAll(const char16_t* replacement, int isTemplate, const EditPos* rangeStart,
                          const EditPos* rangeEnd, Regex* regex, int box, int* count) {
    if (count) *count = 0;
    if (!replacement) replacement = u"";
    const bool expand = isTemplate && regex_template_has_refs(replacement);
    const EditPos saved = GetCaret();
    const bool hasRange = rangeStart && rangeEnd;
    EditPos rs{0, 0}, re{0, 0};
    int endDistance = 0;
    EditPos from{0, 0};
    if (hasRange) {
        rs = ClampRange(*rangeStart);
        re = ClampRange(*rangeEnd);
        if (re < rs) std::swap(rs, re);
        endDistance = GetLineLength(re.line) - re.col;
        from = rs;
        if (box) {
            int left, right;
            GetBoxColumns(rs.line, &left, &right);
            from.col = left;
        }
    }
    m_undo->recordingType = 0;
    m_caretCol = from.col;
    m_caretLine = from.line;

    UndoGroupGuard guard(m_undo, false);
    bool opened = false;
    int result = 0;
    // Start of the previous match as it stands after its own replacement:
    // for an empty match the place right after the inserted text.
    EditPos prevStart{-1, -1};
    bool haveNext = false;
    EditPos nextPos{0, 0};
    int nextLength = 0;
    CString nextText, text;

    auto search_from = [&](EditPos at, EditPos* out, int* length) {
        int col = SearchLine(at.line, at.col, 1, length, regex);
        if (col >= 0) {
            *out = EditPos{col, at.line};
            return true;
        }
        *length = SearchLines(out, 1, at.line + 1, m_lines.count - 1 - at.line, regex);
        return *length >= 0;
    };
    auto at_text_end = [&](EditPos p) {
        return p.line == m_lines.count - 1 && p.col >= GetLineLength(p.line);
    };
    auto step_one = [&]() {
        EditPos p = GetCaret();
        StepPosition(&p, 1);
        m_caretCol = p.col;
        m_caretLine = p.line;
    };

    for (;;) {
        EditPos mpos;
        int mlen;
        if (haveNext) {
            mpos = nextPos;
            mlen = nextLength;
            text = nextText;
            haveNext = false;
        } else {
            if (!search_from(GetCaret(), &mpos, &mlen)) break;
            if (expand) text = ExpandTemplate(mpos, mlen, replacement, regex);
        }
        if (mlen == 0 && mpos == prevStart) {
            if (at_text_end(mpos)) break;
            m_caretCol = mpos.col;
            m_caretLine = mpos.line;
            step_one();
            continue;
        }
        EditPos mend = mpos;
        AdvancePosition(&mend, mlen);
        if (hasRange) {
            if (!box) {
                if (re < mend) break;
            } else {
                if (mend.line > re.line) break;
                int left, right;
                GetBoxColumns(mpos.line, &left, &right);
                if (mend.line != mpos.line || mpos.col < left) {
                    m_caretCol = mpos.col;
                    m_caretLine = mpos.line;
                    step_one();
                    continue;
                }
                if (mend.col > right) {
                    if (mpos.line >= re.line) break;
                    m_caretCol = 0;
                    m_caretLine = mpos.line + 1;
                    continue;
                }
            }
        }
        if (isTemplate) {
            m_undo->recordingType = 0;
            m_caretCol = mend.col;
            m_caretLine = mend.line;
            m_goalColumn = -1;
            EditPos at = mend;
            if (mlen == 0 && !at_text_end(at)) StepPosition(&at, 1);
            haveNext = search_from(at, &nextPos, &nextLength);
            if (haveNext && expand) nextText = ExpandTemplate(nextPos, nextLength, replacement, regex);
        }
        if (!opened) {
            m_undo->BeginGroup(0);
            guard.Arm();
            opened = true;
        }
        const char16_t* insert = expand ? static_cast<const char16_t*>(text) : replacement;
        if (DeleteRange(mpos, mend, 1) || InsertText(insert, 0)) {
            result = 1;
            break;
        }
        if (count) ++*count;
        // The caret stands where the match end went.
        const int lineDelta = m_caretLine - mend.line;
        prevStart = mlen == 0 ? GetCaret() : mpos;
        if (haveNext) {
            EditPos shifted = nextPos;
            if (shifted.line == mend.line) shifted.col = shifted.col - mend.col + m_caretCol;
            shifted.line += lineDelta;
            if (!(ClampRange(shifted) == shifted)) break;
            nextPos = shifted;
        }
        if (hasRange) {
            // The text after the match end moved with it: when the match ended
            // on the range's last line, the end keeps its distance from the
            // end of the line that now holds it.
            const bool endedOnLastLine = mend.line == re.line;
            re.line += lineDelta;
            if (endedOnLastLine) re.col = GetLineLength(re.line) - endDistance;
            re = ClampRange(re);
        }
        if (isTemplate && !haveNext) break;
    }

    m_goalColumn = -1;
    EditPos caret = saved;
    if (hasRange && !(rs == saved)) caret = re;
    caret = ClampPosition(caret);
    m_caretCol = caret.col;
    m_caretLine = caret.line;
    m_undo->recordingType = 0;
    return result;
}
