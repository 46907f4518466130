#include "editor/sqlsplit.h"

#include <afxwin.h>

#include <cstdlib>
#include <cstring>
#include <string_view>
#include <typeinfo>

#include "base/utf16.h"
#include "editor/editdata.h"
#include "editor/sqltoken.h"
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

// Token reading through the tokenizer's virtual slots.
struct AnyLex {
    const CStrToken* tok;
    const char16_t* skip(const char16_t* p) const { return tok->skipSpaceAndComment(p); }
    int length(const char16_t* p, int stopAtLineFeed) const { return tok->getWordLength(p, stopAtLineFeed); }
};

// The same reading for a tokenizer that is exactly the SQL tokenizer: blanks,
// plain words and delimiters inline, its own slots called directly (no
// virtual dispatch) only at a possible comment or a quoted literal. The
// statement walk reads every token of the script this way.
struct SqlLex {
    const CSQLStrToken* tok;
    const char16_t* skip(const char16_t* p) const {
        p = skip_blanks(p);
        if (!*p) return nullptr;
        // Only a "-" or the block-comment start can open a comment here.
        if (*p == u'-' || (tok->m_blockStart && *p == tok->m_blockStart[0]))
            return tok->CSQLStrToken::skipSpaceAndComment(p);
        return p;
    }
    int length(const char16_t* p, int stopAtLineFeed) const {
        if (tok->CSQLStrToken::isQuoteStart(p)) return tok->CSQLStrToken::getQuotedLength(p, stopAtLineFeed);
        return tok->getPlainWordLength(p);
    }
};

// A first word: at most kWordUnits units, upper-cased.
struct Word {
    char16_t text[kWordUnits + 1];
    int length;
    bool is(std::u16string_view w) const {
        return std::u16string_view(text, static_cast<size_t>(length)) == w;
    }
};

// The first word of p into out; the position after it (null when there is
// none).
template <class Lex> const char16_t* first_word(const Lex& lex, const char16_t* p, Word* out) {
    out->text[0] = 0;
    out->length = 0;
    const char16_t* q = lex.skip(p);
    if (!q || !*q) return nullptr;
    int n = lex.length(q, 1);
    int m = n < kWordUnits ? n : kWordUnits;
    std::memcpy(out->text, q, static_cast<size_t>(m) * sizeof(char16_t));
    out->text[m] = 0;
    utf16_ascii_upper(out->text, m);
    out->length = static_cast<int>(std::char_traits<char16_t>::length(out->text));
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

// isPlsqlBlockStart of text once its first word is read (after: past it).
int block_start(const CStrToken* tok, const char16_t* text, const Word& word, const char16_t* after) {
    if (!after) return 0;
    if (word.is(u"BEGIN") || word.is(u"DECLARE")) return 1;
    if (text[0] == u'<' && text[1] == u'<') {
        for (const char16_t* q = text + 2; *q; q++)
            if (q[0] == u'>' && q[1] == u'>') return 1;
    }
    if (!word.is(u"CREATE")) return 0;
    char16_t next[100];
    after = next_upper_word(tok, after, next);
    if (!after) return 0;
    if (same(next, u"OR")) {
        after = next_upper_word(tok, after, next);
        if (!after || !same(next, u"REPLACE")) return 0;
        after = next_upper_word(tok, after, next);
        if (!after) return 0;
    }
    static const char16_t* const kinds[] = {u"FUNCTION",  u"JAVA",    u"LIBRARY", u"PACKAGE",
                                            u"PROCEDURE", u"TRIGGER", u"TYPE"};
    bool stored = false;
    for (const char16_t* k : kinds) stored = stored || same(next, k);
    if (!stored) return 0;
    after = next_upper_word(tok, after, next);
    if (!after) return 0;
    if (*after == u'.' && !next_upper_word(tok, after + 1, next)) return 0;
    return 1;
}

bool has_semicolon(const char16_t* s, int n) {
    // Whole blocks without a branch per unit; the compiler vectorises them.
    int i = 0;
    for (; i + 32 <= n; i += 32) {
        unsigned hit = 0;
        for (int k = 0; k < 32; k++) hit |= s[i + k] == u';';
        if (hit) return true;
    }
    for (; i < n; i++)
        if (s[i] == u';') return true;
    return false;
}

// Walks the statement's tokens from *resume: a ";" token after which only
// blanks and comments remain ends the statement and becomes a space (true).
// *resume is left at the last token walked: one touching the end of the
// text may still grow with the next line.
template <class Lex> bool walk_to_end(const Lex& lex, char16_t* text, int64_t length, int64_t* resume) {
    const char16_t* end = text + length;
    const char16_t* pos = text + *resume;
    bool ended = false;
    for (;;) {
        const char16_t* q = lex.skip(pos);
        if (!q) break;
        int n = lex.length(q, 0);
        if (n <= 0) break;
        if (*q == u';' && n == 1 && !lex.skip(q + 1)) {
            text[q - text] = u' ';
            ended = true;
            break;
        }
        if (q + n >= end) break;
        pos = q + n;
    }
    *resume = pos - text;
    return ended;
}

template <class Lex> int next_statement(SqlBuf* buf, int firstLine, CEditData* data, const Lex& lex) {
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
    Word word;

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
        const char16_t* after = first_word(lex, ft, &word);
        if (word.is(u"DESC") || word.is(u"DESCRIBE") || word.is(u"CONNECT") || word.is(u"DISCONNECT")) {
            buf->kind = 3;
            ended = true;
            continue;
        }
        if (!has_semicolon(lineText, lineLength)) continue;
        if (block_start(tok, ft, word, after)) {
            block = true;
            continue;
        }
        if (word.is(u"WITH")) {
            const char16_t* p = after;
            char16_t w[100];
            while (p && (p = next_upper_word(tok, p, w)) != nullptr && !same(w, u"SELECT"))
                if (same(w, u"FUNCTION")) withFunction = true;
            if (withFunction) continue;
            // A WITH without a function ends at its ";" like any statement.
        }
        ended = walk_to_end(lex, text, length, &resume);
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
        while (p && *p == u'(') p = lex.skip(p + 1);
        if (p) {
            first_word(lex, p, &word);
            if (word.is(u"SELECT") || word.is(u"WITH")) buf->kind = 2;
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

} // namespace

int CStrToken::isPlsqlBlockStart(const char16_t* text) const {
    if (!text) return 0;
    Word word;
    const char16_t* after = first_word(AnyLex{this}, text, &word);
    return block_start(this, text, word, after);
}

int GetNextSqlStatement(SqlBuf* buf, int firstLine, CEditData* data) {
    const CStrToken* tok = buf->tokenizer;
    if (typeid(*tok) == typeid(CSQLStrToken))
        return next_statement(buf, firstLine, data, SqlLex{static_cast<const CSQLStrToken*>(tok)});
    return next_statement(buf, firstLine, data, AnyLex{tok});
}
