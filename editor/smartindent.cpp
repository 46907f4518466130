#include "editor/smartindent.h"

#include "base/utf16.h"
#include "editor/editdata.h"

CEditData* SmartIndent::s_data = nullptr;

namespace {

bool indent_blank(char16_t c) {
    return c == u'\t' || c == u' ' || c == 0x3000;
}

bool starts_with(const char16_t* p, const char16_t* s, int n) {
    if (!s || n <= 0) return false;
    for (int i = 0; i < n; i++)
        if (p[i] != s[i]) return false;
    return true;
}

int indent_units(const char16_t* text) {
    int n = 0;
    while (indent_blank(text[n])) n++;
    return n;
}

} // namespace

bool SmartIndent::IsTrigger(uint32_t c) {
    static bool table[256];
    static bool built = false;
    if (!built) {
        table[u'\r'] = table[u'{'] = table[u'}'] = table[u':'] = true;
        built = true;
    }
    return c < 256 && table[c];
}

uint32_t SmartIndent::LastCodeChar(int line) {
    CEditData* d = s_data;
    const CStrToken* tok = d->m_token;
    const char16_t* p = d->GetLineText(line);
    if (d->GetLine(line)->lexFlags & LEXF_IN_COMMENT) {
        const char16_t* e = nullptr;
        if (tok->m_blockEnd && tok->m_blockEndLength > 0)
            for (const char16_t* q = p; *q; q++)
                if (starts_with(q, tok->m_blockEnd, tok->m_blockEndLength)) {
                    e = q + tok->m_blockEndLength;
                    break;
                }
        if (!e) return 0;
        p = e;
    }
    uint32_t last = 0;
    while (*p) {
        if (starts_with(p, tok->m_blockStart, tok->m_blockStartLength)) break;
        bool comment = false;
        for (int i = 0; i < tok->m_lineCommentCount; i++)
            if (starts_with(p, tok->m_lineComment[i], tok->m_lineCommentLength[i])) comment = true;
        if (comment) break;
        int units;
        uint32_t c = utf16_decode(p, &units);
        if (c != u'\t' && c != u' ') last = c;
        p += units;
    }
    return last;
}

uint32_t SmartIndent::FirstNonBlank(int line) {
    const char16_t* p = s_data->GetLineText(line);
    while (*p == u'\t' || *p == u' ') p++;
    int units;
    return utf16_decode(p, &units);
}

void SmartIndent::RemoveIndent(int line) {
    CEditData* d = s_data;
    const char16_t* text = d->GetLineText(line);
    int n = 0;
    while (text[n] == u'\t' || text[n] == u' ') n++;
    if (!n) return;
    int col = d->m_caretCol;
    int caretLine = d->m_caretLine;
    d->DeleteRange(EditPos{0, line}, EditPos{n, line}, 1);
    d->SetCaret(caretLine, col - n < 0 ? 0 : col - n);
}

int SmartIndent::PrevCodeLine(int line) {
    CEditData* d = s_data;
    for (int l = line - 1; l >= 0; l--) {
        if (!LastCodeChar(l)) continue;
        LexLineCache cache;
        if (d->LexStateAt(l, d->GetLineLength(l), &cache) == LEX_CODE) return l;
    }
    return -1;
}

int SmartIndent::StatementStart(int line) {
    while (line > 0) {
        uint32_t c = LastCodeChar(line - 1);
        if (!c || c == u':' || c == u';' || c == u'{' || c == u'}') break;
        line--;
    }
    return line < 0 ? 0 : line;
}

void SmartIndent::CopyIndent(int source, int mode, int extra, int replace) {
    CEditData* d = s_data;
    const int line = d->m_caretLine;
    const char16_t* caretText = d->GetLineText(line);
    const char16_t* sourceText = d->GetLineText(source);
    int c = indent_units(caretText);
    int n = indent_units(sourceText);
    if (replace) {
        bool same = c == n + (extra ? 1 : 0);
        for (int i = 0; same && i < c && i < n; i++) same = caretText[i] == sourceText[i];
        if (same && extra && caretText[c - 1] != u'\t') same = false;
        if (same) {
            if (mode == 1) d->SetCaret(line, c);
            return;
        }
        RemoveIndent(line);
    }
    int k = d->m_caretCol;
    d->SetCaret(line, 0);
    // The source's indent, copied before the caret line's own text changes it.
    sourceText = d->GetLineText(source);
    n = indent_units(sourceText);
    char16_t indent[256];
    int count = n < 255 ? n : 255;
    for (int i = 0; i < count; i++) indent[i] = sourceText[i];
    if (extra) indent[count++] = u'\t';
    for (int i = 0; i < count; i++) {
        if (d->TypeChar(indent[i])) break;
        k++; // one unit typed
    }
    d->SetCaret(line, k);
}

void SmartIndent::OnChar(uint32_t c) {
    CEditData* d = s_data;
    if (!IsTrigger(c)) return;
    int base = -1;
    int extra = 0;
    LexLineCache cache;
    if (c == u'\r') {
        int a = d->m_caretLine - 1;
        if (a < 0) return;
        if (d->LexStateAt(a, d->GetLineLength(a), &cache) == LEX_BLOCK_COMMENT) {
            base = a;
        } else {
            if (!LastCodeChar(a)) {
                const char16_t* t = d->GetLineText(a);
                bool blank = true;
                for (const char16_t* p = t; *p; p++)
                    if (*p != u'\t' && *p != u' ') blank = false;
                if (blank) RemoveIndent(a);
                a = PrevCodeLine(a);
                if (a < 0) return;
            }
            uint32_t last = LastCodeChar(a);
            if (FirstNonBlank(a) == u'#') {
                base = a;
            } else if (FirstNonBlank(d->m_caretLine) == u'}') {
                EditPos out;
                if (d->FindMatchingBracket(u'{', u'}', 1, nullptr, -1, &out))
                    CopyIndent(StatementStart(out.line), 2, 0, 1);
                return;
            } else if (last == u':' || last == u'{') {
                base = a;
                extra = 1;
            } else if (last == u';') {
                base = StatementStart(a);
            } else if (last == u'}') {
                base = a;
            } else {
                base = StatementStart(a);
                extra = 1;
            }
        }
        CopyIndent(base, 2, extra, 1);
        return;
    }
    // The typed character's own state: at the end of a line an open literal
    // reads as code again.
    uint8_t state = d->LexStateAt(d->m_caretLine, d->m_caretCol > 0 ? d->m_caretCol - 1 : 0, &cache);
    if (state == LEX_BLOCK_COMMENT || state == LEX_LINE_COMMENT || state == LEX_QUOTED) return;
    d->AddCaretRecord();
    const int line = d->m_caretLine;
    if (c == u':') {
        const char16_t* t = d->GetLineText(line);
        for (const char16_t* p = t; *p; p++)
            if (*p == u'?') return;
        if (d->m_caretCol >= 2 && t[d->m_caretCol - 2] == u':') {
            int b = line - 1;
            if (b < 0) return;
            if (!LastCodeChar(b)) b = PrevCodeLine(b);
            if (b < 0) return;
            base = StatementStart(b);
        } else {
            int top = line - 1;
            while (top >= 0) {
                char16_t f = d->GetLineText(top)[0];
                if ((f >= u'a' && f <= u'z') || (f >= u'A' && f <= u'Z')) break;
                top--;
            }
            EditPos limit{0, top};
            EditPos out;
            if (!d->FindMatchingBracket(u'{', u'}', 1, top >= 0 ? &limit : nullptr, -1, &out)) {
                RemoveIndent(line);
                return;
            }
            base = StatementStart(out.line);
        }
    } else if (c == u'{') {
        EditPos out;
        int t = d->FindMatchingBracket(u'{', u'}', 0, nullptr, -1, &out) ? out.line : -1;
        int col = d->m_caretCol;
        d->m_caretCol = col - 1;
        int u = d->FindMatchingBracket(u'{', u'}', 1, nullptr, -1, &out) ? out.line : -1;
        d->m_caretCol = col;
        if (u < t) {
            base = StatementStart(t);
        } else if (u < 0) {
            RemoveIndent(line);
            return;
        } else {
            base = StatementStart(u);
            extra = 1;
        }
    } else { // '}'
        const char16_t* t = d->GetLineText(line);
        int lead = 0;
        while (t[lead] == u'\t' || t[lead] == u' ') lead++;
        if (lead + 1 != d->m_caretCol) return;
        EditPos out;
        if (d->FindMatchingBracket(u'{', u'}', 0, nullptr, -1, &out))
            CopyIndent(StatementStart(out.line), 2, 0, 1);
        return;
    }
    CopyIndent(base, 2, extra, 1);
}
