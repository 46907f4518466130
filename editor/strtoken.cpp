#include "editor/strtoken.h"

#include <cstdlib>
#include <cstring>

#include "base/utf16.h"

CStrToken theStrToken;

CStrToken::CStrToken() {
    for (KeywordBucket& b : m_buckets) b = KeywordBucket{-1, -1, 0};
    initCharClasses();
}

CStrToken::~CStrToken() {
    free_comment_marks();
    std::free(m_work);
    m_work = nullptr;
}

void CStrToken::initCharClasses() {
    std::memset(m_delimiter, 0, sizeof(m_delimiter));
    std::memset(m_quoteStart, 0, sizeof(m_quoteStart));
    std::memset(m_lexState, 0, sizeof(m_lexState));
    std::memset(m_bracket, 0, sizeof(m_bracket));
    std::memset(m_operator, 0, sizeof(m_operator));
    std::memset(m_bindPrefix, 0, sizeof(m_bindPrefix));
    m_escape = 0;
    for (char16_t c : {u'\0', u'\t', u'\n', u'\r', u' '}) m_delimiter[c] = 1;
}

static char16_t* dup_text(const char16_t* s, int32_t* length) {
    int32_t n = 0;
    while (s[n]) n++;
    auto* copy = static_cast<char16_t*>(std::malloc((static_cast<size_t>(n) + 1) * 2));
    if (!copy) return nullptr;
    std::memcpy(copy, s, (static_cast<size_t>(n) + 1) * 2);
    *length = n;
    return copy;
}

void CStrToken::free_comment_marks() {
    std::free(m_blockStart);
    std::free(m_blockEnd);
    m_blockStart = m_blockEnd = nullptr;
    m_blockStartLength = m_blockEndLength = 0;
    for (int i = 0; i < 4; i++) {
        std::free(m_lineComment[i]);
        m_lineComment[i] = nullptr;
        m_lineCommentLength[i] = 0;
    }
    m_lineCommentCount = 0;
}

int CStrToken::setBlockComment(const char16_t* start, const char16_t* end) {
    std::free(m_blockStart);
    std::free(m_blockEnd);
    m_blockStart = m_blockEnd = nullptr;
    m_blockStartLength = m_blockEndLength = 0;
    if (!start || !end || !*start || !*end) return 0;
    m_blockStart = dup_text(start, &m_blockStartLength);
    m_blockEnd = dup_text(end, &m_blockEndLength);
    if (!m_blockStart || !m_blockEnd) {
        setBlockComment(nullptr, nullptr);
        return 1;
    }
    return 0;
}

int CStrToken::addLineComment(const char16_t* mark) {
    if (m_lineCommentCount >= 4 || !mark || !*mark) return 1;
    char16_t* copy = dup_text(mark, &m_lineCommentLength[m_lineCommentCount]);
    if (!copy) return 1;
    m_lineComment[m_lineCommentCount++] = copy;
    return 0;
}

int CStrToken::isQuoteStart(const char16_t* p) const {
    return *p < 256 && m_quoteStart[*p] != 0;
}

int CStrToken::isQuoteEnd(const char16_t* p, int quote, int* count) const {
    *count = 1;
    if (*p >= 256) return 0;
    if ((m_doubledQuote != 0 && p[0] == quote && p[1] == quote) ||
        (m_escape != 0 && p[0] == m_escape && p[1] == quote)) {
        *count = 2;
        return 0;
    }
    return *p == quote;
}

int CStrToken::findCompletion(const char16_t*, int, char16_t*, int, int) {
    return -1;
}

const char16_t* CStrToken::skipSpaceAndComment(const char16_t* p) const {
    return p;
}

int CStrToken::findCompletionWords(CCompletionList*, const char16_t*) {
    return 0;
}

int CStrToken::getQuotedLength(const char16_t* p, int stopAtLineFeed) const {
    char16_t quote = p[0];
    if (!quote) return 0;
    const char16_t stop = stopAtLineFeed ? u'\n' : 0;
    int n = 1;
    for (;;) {
        char16_t c = p[n];
        if (c == 0 || (stop && c == stop)) return n;
        if (utf16_is_high_surrogate(c) || (m_escape != 0 && c == m_escape)) {
            char16_t d = p[n + 1];
            n += (d == 0 || (stop && d == stop)) ? 1 : 2;
            continue;
        }
        if (c == quote) {
            if (m_doubledQuote != 0 && quote == m_doubledQuote && p[n + 1] == quote) {
                n += 2;
                continue;
            }
            return n + 1;
        }
        n++;
    }
}

int CStrToken::hasCommentColumn() const {
    return 0;
}
