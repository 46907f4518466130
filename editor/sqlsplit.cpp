#include "editor/sqlsplit.h"

#include <afxwin.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/utf16.h"
#include "editor/editdata.h"
#include "editor/strtoken.h"

void* (*sqlbuf_realloc_hook)(void* block, size_t bytes) = nullptr;

char16_t* AllocSqlBuf(SqlBuf* buf, int64_t n) {
    if (n < buf->capacity && buf->text) return buf->text;
    int64_t capacity = buf->capacity > 0 ? buf->capacity : 2048;
    while (capacity <= n && capacity <= INT32_MAX) capacity *= 2;
    void* text = nullptr;
    if (capacity <= INT32_MAX) {
        size_t bytes = static_cast<size_t>(capacity) * sizeof(char16_t);
        text = sqlbuf_realloc_hook ? sqlbuf_realloc_hook(buf->text, bytes) : std::realloc(buf->text, bytes);
    }
    if (!text) {
        CWnd* main = AfxGetMainWnd();
        MessageBoxW(main ? main->GetSafeHwnd() : nullptr, u"メモリが確保できません(error in AllocSqlBuf())",
                    u"メッセージ", MB_OK | MB_ICONINFORMATION);
        std::free(buf->text);
        buf->text = nullptr;
        buf->capacity = 0;
        buf->firstToken = nullptr;
        return nullptr;
    }
    buf->text = static_cast<char16_t*>(text);
    buf->capacity = static_cast<int32_t>(capacity);
    buf->firstToken = nullptr;
    return buf->text;
}

void FreeSqlBuf(SqlBuf* buf) {
    std::free(buf->text);
    buf->text = nullptr;
    buf->capacity = 0;
    buf->firstToken = nullptr;
    buf->kind = 5;
}

static bool is_break(const CStrToken* tok, const char16_t* p) {
    uint32_t c = p[0];
    if (utf16_is_high_surrogate(c) && utf16_is_low_surrogate(p[1]))
        c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
    return tok->isWordBreak(c);
}

static bool ascii_letter_is(char16_t c, char16_t upper) {
    return c == upper || c == upper + 32;
}

// Past the next LF, or null when there is none.
static char16_t* past_line(char16_t* p) {
    while (*p && *p != u'\n') p++;
    return *p ? p + 1 : nullptr;
}

char16_t* sql_skip_to_token(const CStrToken* tok, char16_t* p, int rem) {
    while (p) {
        p = const_cast<char16_t*>(skip_blanks(p));
        if (!*p) return nullptr;
        if (p[0] == u'-' && p[1] == u'-') {
            p = past_line(p);
            continue;
        }
        if (rem && ascii_letter_is(p[0], u'R') && ascii_letter_is(p[1], u'E') &&
            ascii_letter_is(p[2], u'M') && is_break(tok, p + 3)) {
            p = past_line(p);
            continue;
        }
        if (tok->m_blockStart &&
            std::char_traits<char16_t>::compare(p, tok->m_blockStart, tok->m_blockStartLength) == 0) {
            char16_t* q = p + tok->m_blockStartLength;
            for (;; q++) {
                if (!*q) return nullptr;
                if (std::char_traits<char16_t>::compare(q, tok->m_blockEnd, tok->m_blockEndLength) == 0)
                    break;
            }
            p = q + tok->m_blockEndLength;
            continue;
        }
        return p;
    }
    return nullptr;
}

namespace {

constexpr int kWordUnits = 99;

// The first word of p, upper-cased, at most kWordUnits units; the position
// after it (null when there is none).
const char16_t* first_word(const CStrToken* tok, const char16_t* p, char16_t* out) {
    out[0] = 0;
    const char16_t* q = tok->skipSpaceAndComment(p);
    if (!q || !*q) return nullptr;
    int n = tok->getWordLength(q, 1);
    int m = n < kWordUnits ? n : kWordUnits;
    std::memcpy(out, q, static_cast<size_t>(m) * sizeof(char16_t));
    out[m] = 0;
    utf16_ascii_upper(out, m);
    return q + n;
}

bool same(const char16_t* a, std::u16string_view b) {
    return std::u16string_view(a) == b;
}

const char16_t* next_upper_word(const CStrToken* tok, const char16_t* p, char16_t* out) {
    out[0] = 0;
    const char16_t* next = tok->getNextWord(p, out, 200);
    if (next) utf16_ascii_upper(out);
    return next;
}

} // namespace

int CStrToken::isPlsqlBlockStart(const char16_t* text) const {
    if (!text) return 0;
    char16_t word[kWordUnits + 1];
    const char16_t* after = first_word(this, text, word);
    if (!after) return 0;
    if (same(word, u"BEGIN") || same(word, u"DECLARE")) return 1;
    if (text[0] == u'<' && text[1] == u'<') {
        for (const char16_t* q = text + 2; *q; q++)
            if (q[0] == u'>' && q[1] == u'>') return 1;
    }
    if (!same(word, u"CREATE")) return 0;
    char16_t next[100];
    after = next_upper_word(this, after, next);
    if (!after) return 0;
    if (same(next, u"OR")) {
        after = next_upper_word(this, after, next);
        if (!after || !same(next, u"REPLACE")) return 0;
        after = next_upper_word(this, after, next);
        if (!after) return 0;
    }
    static const char16_t* const kinds[] = {u"FUNCTION",  u"JAVA",    u"LIBRARY", u"PACKAGE",
                                            u"PROCEDURE", u"TRIGGER", u"TYPE"};
    bool stored = false;
    for (const char16_t* k : kinds) stored = stored || same(next, k);
    if (!stored) return 0;
    after = next_upper_word(this, after, next);
    if (!after) return 0;
    if (*after == u'.' && !next_upper_word(this, after + 1, next)) return 0;
    return 1;
}

int GetNextSqlStatement(SqlBuf* buf, int firstLine, CEditData* data) {
    const CStrToken* tok = buf->tokenizer;
    buf->kind = 0;
    if (!buf->text && !AllocSqlBuf(buf, 1024)) return -1;
    buf->text[0] = 0;
    buf->firstToken = nullptr;
    int64_t length = 0;
    int64_t first = -1;  // offset of the first token
    int64_t resume = -1; // where the walk for a ";" goes on
    bool block = false, withFunction = false, ended = false;
    const int lineCount = data->GetLineCount();
    int line = firstLine < 0 ? 0 : firstLine;
    bool firstOfStatement = true;
    char16_t word[kWordUnits + 1];

    for (; line < lineCount && !ended; line++) {
        const char16_t* lineText = data->GetLineText(line);
        int lineLength = data->GetLineLength(line);
        if (lineLength == 1 && lineText[0] == u'/' && first >= 0) {
            ended = true;
            continue; // consumed, not added
        }
        int64_t need = length + 1 + lineLength + 10;
        if (need >= buf->capacity && !AllocSqlBuf(buf, need)) return -1;
        char16_t* text = buf->text;
        if (!firstOfStatement) text[length++] = u'\n';
        firstOfStatement = false;
        std::memcpy(text + length, lineText, static_cast<size_t>(lineLength) * sizeof(char16_t));
        length += lineLength;
        text[length] = 0;
        if (block || withFunction || lineLength == 0) continue;

        if (first < 0) {
            char16_t* p = sql_skip_to_token(tok, text, 1);
            if (p) first = resume = p - text;
        }
        if (first < 0) continue;
        char16_t* ft = text + first;
        if (*ft == u'@' || *ft == u'!') {
            buf->kind = *ft == u'@' ? 4 : 3;
            ended = true;
            continue;
        }
        first_word(tok, ft, word);
        if (same(word, u"DESC") || same(word, u"DESCRIBE") || same(word, u"CONNECT") ||
            same(word, u"DISCONNECT")) {
            buf->kind = 3;
            ended = true;
            continue;
        }
        bool semicolon = false;
        for (int i = 0; i < lineLength && !semicolon; i++) semicolon = lineText[i] == u';';
        if (!semicolon) continue;
        if (tok->isPlsqlBlockStart(ft)) {
            block = true;
            continue;
        }
        if (same(word, u"WITH")) {
            const char16_t* p = first_word(tok, ft, word);
            char16_t w[100];
            while (p && (p = next_upper_word(tok, p, w)) != nullptr && !same(w, u"SELECT"))
                if (same(w, u"FUNCTION")) withFunction = true;
            if (withFunction) continue;
            // A WITH without a function ends at its ";" like any statement.
        }
        // Walk the tokens from where the last walk stopped: a token touching
        // the end of the text may still grow with the next line.
        const char16_t* pos = text + resume;
        for (;;) {
            const char16_t* q = tok->skipSpaceAndComment(pos);
            if (!q) break;
            int n = tok->getWordLength(q, 0);
            if (n <= 0) break;
            if (*q == u';' && n == 1 && !tok->skipSpaceAndComment(q + 1)) {
                text[q - text] = u' ';
                ended = true;
                break;
            }
            if (q + n >= text + length) break;
            pos = q + n;
        }
        resume = pos - text;
    }

    char16_t* text = buf->text;
    if (length > 0) {
        if (buf->kind == 3 || buf->kind == 4 || withFunction) {
            if (text[length - 1] == u';') text[--length] = 0;
        } else if (text[length - 1] == u'\n') {
            text[--length] = 0;
        }
    }
    if (block) {
        buf->kind = 1;
    } else if (buf->kind == 0 && first >= 0) {
        const char16_t* p = text + first;
        while (p && *p == u'(') p = tok->skipSpaceAndComment(p + 1);
        if (p) {
            first_word(tok, p, word);
            if (same(word, u"SELECT") || same(word, u"WITH")) buf->kind = 2;
        }
        if (buf->kind == 0 && tok->isPlsqlBlockStart(text + first)) buf->kind = 1;
    }
    if (length > 0 && text[length - 1] == u'"') {
        text[length++] = u' ';
        text[length] = 0;
    }
    buf->firstToken = first >= 0 ? text + first : nullptr;
    return ended ? line : lineCount;
}
