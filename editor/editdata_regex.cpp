// The buffer's subject callbacks: the regular-expression engine reads the
// lines in place. A line break reads as one LF; the end of the last line is
// its own NUL, which ends the subject.
#include "base/utf16.h"
#include "editor/editdata.h"

namespace {

const char16_t kLineFeed[2] = {u'\n', 0};
const char16_t kEmpty[1] = {0};

const CEditData* data_of(void* context) {
    return static_cast<const CEditData*>(context);
}

// The line and a column clamped into it.
const EditLine* clamp(const CEditData* d, RegexPos* pos) {
    const EditLine* line = d->GetLine(static_cast<int>(pos->line));
    if (pos->column < 0) pos->column = 0;
    if (pos->column > line->length - 1) pos->column = line->length - 1;
    return line;
}

bool is_last(const CEditData* d, int64_t line) {
    return line >= d->GetLineCount() - 1;
}

const char16_t* char_at(void* context, const RegexPos* pos) {
    const CEditData* d = data_of(context);
    RegexPos p = *pos;
    const EditLine* line = clamp(d, &p);
    if (line->text[p.column] != 0 || is_last(d, p.line)) return line->text + p.column;
    return kLineFeed;
}

const char16_t* line_text(void* context, int64_t line, int64_t* length) {
    const CEditData* d = data_of(context);
    if (line < 0 || line >= d->GetLineCount()) return nullptr;
    const EditLine* l = d->GetLine(static_cast<int>(line));
    *length = l->length - 1;
    if (l->length == 1 && !is_last(d, line)) return kLineFeed;
    return l->text;
}

const char16_t* next_char(void* context, RegexPos* pos) {
    const CEditData* d = data_of(context);
    const EditLine* line = clamp(d, pos);
    if (line->text[pos->column] != 0) {
        int units;
        utf16_decode(line->text + pos->column, &units);
        pos->column += units;
    } else if (!is_last(d, pos->line)) {
        pos->line++;
        pos->column = 0;
    }
    return char_at(context, pos);
}

const char16_t* prev_char(void* context, RegexPos* pos) {
    const CEditData* d = data_of(context);
    const EditLine* line = clamp(d, pos);
    if (pos->column > 0) {
        int64_t c = pos->column;
        if (c >= 2 && utf16_is_low_surrogate(line->text[c - 1]) && utf16_is_high_surrogate(line->text[c - 2]))
            pos->column -= 2;
        else
            pos->column -= 1;
    } else if (pos->line > 0) {
        pos->line--;
        pos->column = d->GetLineLength(static_cast<int>(pos->line));
    } else {
        return kEmpty;
    }
    return char_at(context, pos);
}

const char16_t* next_line(void* context, RegexPos* pos) {
    const CEditData* d = data_of(context);
    if (pos->line < 0) pos->line = 0;
    if (is_last(d, pos->line)) return nullptr;
    pos->line++;
    pos->column = 0;
    return char_at(context, pos);
}

int64_t distance(void* context, const RegexPos* from, const RegexPos* to) {
    const CEditData* d = data_of(context);
    if (from->line == to->line) return to->column - from->column;
    int64_t n = d->GetLineLength(static_cast<int>(from->line)) - from->column;
    for (int64_t i = from->line + 1; i < to->line; i++) n += d->GetLineLength(static_cast<int>(i)) + 1;
    return n + to->column + 1;
}

int at_line_start(void*, const RegexPos* pos) {
    return pos->column == 0;
}

// The stream selection, ordered; false when there is none or it is empty.
bool selection(const CEditData* d, EditPos* start, EditPos* end) {
    *start = d->m_disp.m_selStart;
    *end = d->m_disp.m_selEnd;
    if (start->line == -1 || *start == *end) return false;
    if (*end < *start) {
        EditPos t = *start;
        *start = *end;
        *end = t;
    }
    return true;
}

// The box's left (side 0) or right (side 1) column on a line.
int box_column(const CEditData* d, int64_t line, int side) {
    int left, right;
    const_cast<CEditData*>(d)->GetBoxColumns(static_cast<int>(line), &left, &right);
    return side ? right : left;
}

int at_sel_start(void* context, const RegexPos* pos) {
    const CEditData* d = data_of(context);
    EditPos s, e;
    if (!selection(d, &s, &e)) return 0;
    if (pos->line != s.line) return 0;
    return pos->column == (d->m_disp.m_boxMode ? box_column(d, pos->line, 0) : s.col);
}

int at_sel_end(void* context, const RegexPos* pos) {
    const CEditData* d = data_of(context);
    EditPos s, e;
    if (!selection(d, &s, &e)) return 0;
    if (pos->line != e.line) return 0;
    return pos->column == (d->m_disp.m_boxMode ? box_column(d, pos->line, 1) : e.col);
}

int at_sel_line_start(void* context, const RegexPos* pos) {
    const CEditData* d = data_of(context);
    EditPos s, e;
    if (!selection(d, &s, &e)) return 0;
    if (pos->line < s.line || pos->line > e.line) return 0;
    if (d->m_disp.m_boxMode) return pos->column == box_column(d, pos->line, 0);
    return pos->column == (pos->line == s.line ? s.col : 0);
}

int at_sel_line_end(void* context, const RegexPos* pos) {
    const CEditData* d = data_of(context);
    EditPos s, e;
    if (!selection(d, &s, &e)) return 0;
    if (pos->line < s.line || pos->line > e.line) return 0;
    if (d->m_disp.m_boxMode) return pos->column == box_column(d, pos->line, 1);
    return pos->column == (pos->line == e.line ? e.col : d->GetLineLength(static_cast<int>(pos->line)));
}

} // namespace

void editdata_init_regex_ops(CEditData* data, RegexPositionOps* ops) {
    ops->context = data;
    ops->char_at = char_at;
    ops->line_text = line_text;
    ops->next_char = next_char;
    ops->prev_char = prev_char;
    ops->next_line = next_line;
    ops->distance = distance;
    ops->at_line_start = at_line_start;
    ops->at_anchor_start = at_sel_start;
    ops->at_anchor_end = at_sel_end;
    ops->at_anchor_line_start = at_sel_line_start;
    ops->at_anchor_line_end = at_sel_line_end;
}
