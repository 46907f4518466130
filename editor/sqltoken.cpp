#include "editor/sqltoken.h"

#include <cstdlib>

#include "base/utf16.h"

CSQLStrToken theSqlStrToken;

CSQLStrToken::CSQLStrToken() {
    initSqlSyntax();
    InitializeCriticalSection(&m_section);
}

CSQLStrToken::~CSQLStrToken() {
    std::free(m_merged);
    m_merged = nullptr;
    m_mergedCount = 0;
    DeleteCriticalSection(&m_section);
}

void CSQLStrToken::initSqlSyntax() {
    initCharClasses();
    setBlockComment(u"/*", u"*/");
    for (char16_t c : {u'/', u'*'}) m_lexState[c] = m_delimiter[c] = 1;
    if (m_lineCommentCount < 4) addLineComment(u"--");
    m_lexState[u'-'] = m_delimiter[u'-'] = 1;
    for (char16_t c : {u'\'', u'"'}) m_quoteStart[c] = m_delimiter[c] = m_lexState[c] = 1;
    m_doubledQuote = u'\'';
    m_escape = 0;
    for (const char16_t* p = u" ,;'\".%()=><|@"; *p; p++) m_delimiter[*p] = 1;
    m_closeBrackets = CString(std::u16string(1, u')'));
    for (int i = 0; i < m_closeBrackets.GetLength(); i++) {
        char16_t c = m_closeBrackets[i];
        if (c >= 256) continue;
        m_bracket[c] = 1;
        m_delimiter[c] = 1;
        char16_t open = c == u')' ? u'(' : c == u'>' ? u'<' : c == u']' ? u'[' : c == u'}' ? u'{' : 0;
        if (open) {
            m_bracket[open] = 2;
            m_delimiter[open] = 1;
        }
    }
    for (const char16_t* p = u"=!*/+-%;.,(){}|^"; *p; p++) m_operator[*p] = m_delimiter[*p] = 1;
    m_bindPrefix[u':'] = 1;
}

int CSQLStrToken::isQuoteStart(const char16_t* p) const {
    if (p[0] == u'q' && p[1] == u'\'' && p[2] != 0) return 1;
    return CStrToken::isQuoteStart(p);
}

int CSQLStrToken::getQuotedLength(const char16_t* p, int stopAtLineFeed) const {
    if (!(p[0] == u'q' && p[1] == u'\'' && p[2] != 0)) return CStrToken::getQuotedLength(p, stopAtLineFeed);
    char16_t open = p[2];
    char16_t close = open == u'('   ? u')'
                     : open == u'<' ? u'>'
                     : open == u'[' ? u']'
                     : open == u'{' ? u'}'
                                    : open;
    const char16_t stop = stopAtLineFeed ? u'\n' : 0;
    int n = 3;
    for (;;) {
        char16_t c = p[n];
        if (c == 0 || (stop && c == stop)) return n;
        if (c == close && p[n + 1] == u'\'') return n + 2;
        if (utf16_is_high_surrogate(c) && utf16_is_low_surrogate(p[n + 1])) n++;
        n++;
    }
}

const char16_t* CSQLStrToken::skipSpaceAndComment(const char16_t* p) const {
    if (!p) return nullptr;
    for (;;) {
        p = skip_blanks(p);
        if (*p == 0) return nullptr;
        if (p[0] == u'-' && p[1] == u'-') {
            while (*p && *p != u'\n') p++;
            if (!*p) return nullptr;
            p++;
            continue;
        }
        if (m_blockStart && std::char_traits<char16_t>::compare(p, m_blockStart, m_blockStartLength) == 0) {
            const char16_t* q = p + m_blockStartLength;
            for (;; q++) {
                if (!*q) return nullptr;
                if (std::char_traits<char16_t>::compare(q, m_blockEnd, m_blockEndLength) == 0) break;
            }
            p = q + m_blockEndLength;
            continue;
        }
        return p;
    }
}

int CSQLStrToken::findCompletion(const char16_t* prefix, int ordinal, char16_t* buffer, int capacityBytes,
                                 int backward) {
    EnterCriticalSection(&m_section);
    int r = CStrToken::findCompletion(prefix, ordinal, buffer, capacityBytes, backward);
    LeaveCriticalSection(&m_section);
    return r;
}

int CSQLStrToken::findCompletionWords(CCompletionList* list, const char16_t* prefix) {
    EnterCriticalSection(&m_section);
    int r = CStrToken::findCompletionWords(list, prefix);
    LeaveCriticalSection(&m_section);
    return r;
}

void CSQLStrToken::SwitchCompletionTable(const KeywordEntry* table, int32_t count, int32_t longest) {
    EnterCriticalSection(&m_section);
    if (table) {
        m_completion = table;
        m_completionCount = count;
        m_completionLongest = longest;
    } else {
        m_completion = m_keywords;
        m_completionCount = m_keywordCount;
        m_completionLongest = m_longest;
    }
    LeaveCriticalSection(&m_section);
}
