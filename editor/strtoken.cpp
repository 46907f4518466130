#include "editor/strtoken.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/textfile.h"
#include "base/utf16.h"

CStrToken theStrToken;

CStrToken::CStrToken() {
    for (KeywordBucket& b : m_buckets) b = KeywordBucket{-1, -1, 0};
    initCharClasses();
}

CStrToken::~CStrToken() {
    free_comment_marks();
    free_keywords();
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

int CStrToken::findCompletion(const char16_t* prefix, int ordinal, char16_t* buffer, int capacityBytes,
                              int backward) {
    return searchCompletion(prefix, ordinal, buffer, capacityBytes, backward, m_completion, m_completionCount,
                            m_completionLongest);
}

const char16_t* CStrToken::skipSpaceAndComment(const char16_t* p) const {
    return p;
}

int CStrToken::findCompletionWords(CCompletionList* list, const char16_t* prefix) {
    return fillCompletionWords(list, prefix, m_completion, m_completionCount, m_completionLongest);
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

int q_quote_rest(const char16_t* p, char16_t close, int stopAtLineFeed, bool* closed) {
    const char16_t stop = stopAtLineFeed ? u'\n' : 0;
    int n = 0;
    for (;;) {
        char16_t c = p[n];
        if (c == 0 || (stop && c == stop)) {
            if (closed) *closed = false;
            return n;
        }
        if (c == close && p[n + 1] == u'\'') {
            if (closed) *closed = true;
            return n + 2;
        }
        if (utf16_is_high_surrogate(c) && utf16_is_low_surrogate(p[n + 1])) n++;
        n++;
    }
}

int CStrToken::hasCommentColumn() const {
    return 0;
}

// ---------------------------------------------------------------------------
// Text helpers

void utf16_ascii_lower(char16_t* s, int n) {
    for (int i = 0; n < 0 ? s[i] != 0 : i < n; i++)
        if (s[i] >= u'A' && s[i] <= u'Z') s[i] = static_cast<char16_t>(s[i] + 32);
}

void utf16_ascii_upper(char16_t* s, int n) {
    for (int i = 0; n < 0 ? s[i] != 0 : i < n; i++)
        if (s[i] >= u'a' && s[i] <= u'z') s[i] = static_cast<char16_t>(s[i] - 32);
}

int32_t keyword_letter_mask(const char16_t* s) {
    int32_t mask = 0;
    for (; *s; s++) {
        char16_t c = *s;
        if (c >= u'a' && c <= u'z')
            mask |= 1 << (c - u'a');
        else if (c >= u'A' && c <= u'Z')
            mask |= 1 << (c - u'A');
        else if (c == u'$')
            mask |= 0x4000000;
        else if (c >= u'0' && c <= u'9')
            mask |= 0x8000000;
    }
    return mask;
}

// Compares the first n units of key (keyLength units) with word: negative
// when the key sorts before, 0 when the key begins with the word.
static int compare_prefix(const char16_t* key, int32_t keyLength, const char16_t* word, int32_t n) {
    int32_t m = std::min(keyLength, n);
    for (int32_t i = 0; i < m; i++)
        if (key[i] != word[i]) return key[i] < word[i] ? -1 : 1;
    return keyLength < n ? -1 : 0;
}

void keyword_sort_table(KeywordEntry* rows, int32_t count) {
    for (int32_t i = 0; i < count; i++)
        rows[i].letterMask = rows[i].folded ? keyword_letter_mask(rows[i].folded) : 0;
    std::sort(rows, rows + count, [](const KeywordEntry& a, const KeywordEntry& b) {
        int32_t m = std::min(a.keyLength, b.keyLength);
        for (int32_t i = 0; i < m; i++)
            if (a.key[i] != b.key[i]) return a.key[i] < b.key[i];
        if (a.keyLength != b.keyLength) return a.keyLength < b.keyLength;
        return a.kind < b.kind;
    });
}

int32_t keyword_find_prefix(const KeywordEntry* rows, int32_t count, const char16_t* prefix, int32_t n) {
    int32_t lo = 0, hi = count;
    while (lo < hi) {
        int32_t mid = lo + (hi - lo) / 2;
        if (compare_prefix(rows[mid].key, rows[mid].keyLength, prefix, n) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo < count && compare_prefix(rows[lo].key, rows[lo].keyLength, prefix, n) == 0) return lo;
    return -1;
}

// ---------------------------------------------------------------------------
// Keyword table

void CStrToken::free_keywords() {
    if (m_keywords) {
        for (int32_t i = 0; i < m_keywordCount; i++) {
            std::free(m_keywords[i].display);
            std::free(m_keywords[i].folded);
        }
        std::free(m_keywords);
    }
    m_keywords = nullptr;
    m_keywordCount = 0;
    m_longest = 0;
    std::free(m_hash);
    m_hash = nullptr;
    m_hashMask = 0;
    m_completion = nullptr;
    m_completionCount = 0;
    m_completionLongest = 0;
    m_minFirstChar = 0xFFFF;
}

namespace {

// Reads one whole line (the pieces of textfile_gets joined), line end
// included. False at the end of the file.
bool read_whole_line(TextFile* file, std::u16string* line) {
    char16_t piece[1024];
    line->clear();
    while (textfile_gets(file, piece, 1024)) {
        line->append(piece);
        if (!line->empty() && (line->back() == u'\n' || line->back() == u'\r')) return true;
    }
    return !line->empty();
}

void cut_trailing(std::u16string* line) {
    while (!line->empty() && (line->back() == u'\n' || line->back() == u'\r' || line->back() == u' '))
        line->pop_back();
}

bool counts(const std::u16string& line) {
    return !line.empty() && !(line.size() >= 2 && line[0] == u'/' && line[1] == u'/');
}

int parse_kind(const char16_t* p) {
    while (*p == u' ' || *p == u'\t') p++;
    bool negative = false;
    if (*p == u'+' || *p == u'-') negative = *p++ == u'-';
    long value = 0;
    for (; *p >= u'0' && *p <= u'9'; p++)
        if (value < 1000) value = value * 10 + (*p - u'0');
    if (negative) value = -value;
    return value >= 1 && value <= 2 ? static_cast<int>(value) : 1;
}

char16_t* dup_units(const char16_t* s, size_t n) {
    auto* copy = static_cast<char16_t*>(std::malloc((n + 1) * sizeof(char16_t)));
    if (!copy) return nullptr;
    std::memcpy(copy, s, n * sizeof(char16_t));
    copy[n] = 0;
    return copy;
}

} // namespace

int CStrToken::initDefaultKeyword(const char16_t* path, CString* msg) {
    if (!path || !*path) return 0;
    TextFile file;
    if (!textfile_open(&file, path, u"r")) {
        if (msg) msg->Format(u"CStrToken::initDefaultKeyword(): fopen error(%s)", path);
        return 1;
    }
    std::u16string line;
    int64_t counted = 0;
    while (read_whole_line(&file, &line)) {
        cut_trailing(&line);
        if (counts(line)) counted++;
    }
    textfile_close(&file);
    if (counted == 0) return 0;

    int64_t total = static_cast<int64_t>(m_keywordCount) + counted;
    KeywordEntry* rows = total > INT32_MAX / 2
                             ? nullptr
                             : static_cast<KeywordEntry*>(std::realloc(
                                   m_keywords, static_cast<size_t>(total) * sizeof(KeywordEntry)));
    if (!rows) {
        if (msg) *msg = u"CStrToken::alloc_keywords(): memory allocate error";
        free_keywords();
        return 1;
    }
    std::memset(rows + m_keywordCount, 0, static_cast<size_t>(counted) * sizeof(KeywordEntry));
    m_keywords = rows;
    int32_t first = m_keywordCount;
    m_keywordCount = static_cast<int32_t>(total);

    if (!textfile_open(&file, path, u"r")) {
        if (msg) msg->Format(u"CStrToken::initDefaultKeyword(): fopen error(%s)", path);
        free_keywords();
        return 1;
    }
    int32_t row = first;
    while (row < m_keywordCount && read_whole_line(&file, &line)) {
        cut_trailing(&line);
        if (!counts(line)) continue;
        int kind = 1;
        size_t comma = line.find(u',');
        if (comma != std::u16string::npos) {
            kind = parse_kind(line.c_str() + comma + 1);
            line.resize(comma);
        }
        cut_trailing(&line);
        KeywordEntry& e = m_keywords[row++];
        e.kind = kind;
        e.type = kind == 2 ? u"KEYWORD2" : u"KEYWORD";
        e.comments = u"";
        e.display = dup_units(line.data(), line.size());
        e.folded = dup_units(line.data(), line.size());
        if (!e.display || !e.folded) {
            textfile_close(&file);
            if (msg) *msg = u"CStrToken::set_keyword(): memory allocate error";
            free_keywords();
            return 1;
        }
        utf16_ascii_lower(e.folded);
        e.key = m_ignoreCase ? e.folded : e.display;
        e.keyLength = static_cast<int32_t>(std::min<size_t>(line.size(), INT32_MAX / 4));
        m_longest = std::max(m_longest, e.keyLength);
        if (e.keyLength > 0) {
            m_minFirstChar = std::min<uint16_t>(m_minFirstChar, e.key[0]);
            m_maxFirstChar = std::max<uint16_t>(m_maxFirstChar, e.key[0]);
        }
    }
    textfile_close(&file);
    // A file shortened between the passes leaves fewer rows.
    m_keywordCount = row;
    if (m_ignoreCase && m_minFirstChar >= u'a' && m_minFirstChar <= u'z')
        m_minFirstChar = static_cast<char16_t>(m_minFirstChar - 32);

    if (m_workCapacity < m_longest + 2) {
        int32_t capacity = std::max(m_longest + 2, 128);
        auto* work = static_cast<char16_t*>(std::malloc(static_cast<size_t>(capacity) * sizeof(char16_t)));
        if (!work) {
            if (msg) *msg = u"CStrToken::initDefaultKeyword(): memory allocate error";
            free_keywords();
            return 1;
        }
        std::free(m_work);
        m_work = work;
        m_workCapacity = capacity;
    }
    keyword_sort_table(m_keywords, m_keywordCount);
    buildFirstCharIndex();
    m_completion = m_keywords;
    m_completionCount = m_keywordCount;
    m_completionLongest = m_longest;
    return 0;
}

void CStrToken::buildFirstCharIndex() {
    for (KeywordBucket& b : m_buckets) b = KeywordBucket{-1, -1, 0};
    for (int32_t i = 0; i < m_keywordCount; i++) {
        const KeywordEntry& e = m_keywords[i];
        if (e.keyLength <= 0) continue;
        KeywordBucket& b = m_buckets[e.key[0] < 128 ? e.key[0] : 128];
        if (b.first < 0) b.first = i;
        b.last = i;
        for (int32_t k = 0; k < e.keyLength; k++) {
            if (!isWordBreak(e.key[k])) continue;
            if (b.breakState < 1) b.breakState = 1;
            if (k <= 1) b.breakState = 2;
        }
    }
    buildHashIndex();
}

static inline uint32_t hash_step(uint32_t h, char16_t c) {
    return (h ^ c) * 16777619u;
}
static constexpr uint32_t kHashSeed = 2166136261u;

const CStrToken::HashSlot* CStrToken::findHash(const char16_t* text, int32_t length, uint32_t hash) const {
    for (uint32_t i = hash & m_hashMask;; i = (i + 1) & m_hashMask) {
        const HashSlot& slot = m_hash[i];
        if (slot.flags == 0) return nullptr;
        if (slot.hash == hash && slot.length == length &&
            std::memcmp(m_keywords[slot.row].key, text, static_cast<size_t>(length) * sizeof(char16_t)) == 0)
            return &slot;
    }
}

void CStrToken::buildHashIndex() {
    std::free(m_hash);
    m_hash = nullptr;
    m_hashMask = 0;
    int64_t entries = 0;
    for (int32_t i = 0; i < m_keywordCount; i++) {
        entries++;
        for (int32_t k = 1; k < m_keywords[i].keyLength; k++)
            entries +=
                isWordBreak(m_keywords[i].key[k]) || (k == 1 && isWordBreak(m_keywords[i].key[0])) ? 1 : 0;
    }
    uint64_t size = 16;
    while (size < static_cast<uint64_t>(entries) * 2) size *= 2;
    if (size > (uint64_t{1} << 30)) return;
    m_hash = static_cast<HashSlot*>(std::calloc(size, sizeof(HashSlot)));
    if (!m_hash) return; // lookups fall back to the binary searches
    m_hashMask = static_cast<uint32_t>(size - 1);
    auto insert = [this](int32_t row, int32_t length, uint32_t hash, int32_t flag) {
        const char16_t* text = m_keywords[row].key;
        for (uint32_t i = hash & m_hashMask;; i = (i + 1) & m_hashMask) {
            HashSlot& slot = m_hash[i];
            if (slot.flags == 0) {
                slot = HashSlot{hash, row, length, flag};
                return;
            }
            if (slot.hash == hash && slot.length == length &&
                std::memcmp(m_keywords[slot.row].key, text, static_cast<size_t>(length) * sizeof(char16_t)) ==
                    0) {
                if (flag == 1) slot.row = row;
                slot.flags |= flag;
                return;
            }
        }
    };
    for (int32_t i = 0; i < m_keywordCount; i++) {
        const KeywordEntry& e = m_keywords[i];
        if (e.keyLength <= 0) continue;
        uint32_t h = kHashSeed;
        for (int32_t k = 0; k < e.keyLength; k++) {
            if (k > 0 && (isWordBreak(e.key[k]) || (k == 1 && isWordBreak(e.key[0])))) insert(i, k, h, 2);
            h = hash_step(h, e.key[k]);
        }
        insert(i, e.keyLength, h, 1);
    }
}

// ---------------------------------------------------------------------------
// Words

int CStrToken::getWordLength(const char16_t* p, int stopAtLineFeed) const {
    if (isQuoteStart(p)) return getQuotedLength(p, stopAtLineFeed);
    return getPlainWordLength(p);
}

const char16_t* CStrToken::getNextWord(const char16_t* p, char16_t* buffer, int capacityBytes) const {
    if (!p) return nullptr;
    p = skipSpaceAndComment(p);
    if (!p || !*p) return nullptr;
    int n = getWordLength(p, 1);
    if (n <= 0) return nullptr;
    if (buffer && capacityBytes >= 2) {
        int m = std::min(n, capacityBytes / 2 - 1);
        std::memcpy(buffer, p, static_cast<size_t>(m) * sizeof(char16_t));
        buffer[m] = 0;
    }
    return p + n;
}

// ---------------------------------------------------------------------------
// Keyword lookup

static inline char16_t fold_unit(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

int CStrToken::findKeyword(const char16_t* p, int n) {
    if (n <= 0 || m_keywordCount == 0 || !m_work) return -1;
    uint32_t c = p[0];
    if (m_ignoreCase && ((c >= u'A' && c <= u'Z') || (c >= 0xFF21 && c <= 0xFF3A))) c += 32;
    const KeywordBucket& b = m_buckets[c < 128 ? c : 128];
    if (b.first < 0) return -1;
    if (n == 1 && b.breakState != 2) {
        const KeywordEntry& e = m_keywords[b.first];
        return e.keyLength == 1 && e.key[0] == c ? b.first : -1;
    }
    // No key can begin with a word longer than the longest keyword.
    if (n > m_longest || n + 1 > m_workCapacity) return -1;
    const char16_t* word = p;
    if (m_ignoreCase) {
        std::memcpy(m_work, p, static_cast<size_t>(n) * sizeof(char16_t));
        m_work[n] = 0;
        utf16_ascii_lower(m_work, n);
        word = m_work;
    }
    if (m_hash) {
        uint32_t h = kHashSeed;
        for (int i = 0; i < n; i++) h = hash_step(h, word[i]);
        if (b.breakState == 0) {
            const HashSlot* slot = findHash(word, n, h);
            return slot && (slot->flags & 1) ? slot->row : -1;
        }
        auto units = [p](int32_t k) {
            return utf16_is_high_surrogate(p[k]) && utf16_is_low_surrogate(p[k + 1]) ? 2 : 1;
        };
        auto breakAt = [&](int32_t k) {
            uint32_t c = p[k];
            if (units(k) == 2) c = 0x10000 + ((c - 0xD800) << 10) + (p[k + 1] - 0xDC00);
            return isWordBreak(c);
        };
        // The index holds a key's prefixes up to each break of the key, and
        // its first unit when that is a break: a word of the text that ends
        // elsewhere (a quoted literal) is matched by the binary searches.
        if (p[n] != 0 && !breakAt(n) && !(n == 1 && isWordBreak(p[0]))) return matchKeywordAt(p, b.first, n);
        int found = -1;
        for (int32_t k = n;;) {
            const HashSlot* slot = findHash(m_ignoreCase ? m_work : p, k, h);
            if (!slot) break;
            if ((slot->flags & 1) && breakAt(k)) found = slot->row;
            if (!(slot->flags & 2) || p[k] == 0) break;
            // On to the text's next word break, folding as the keys are.
            int32_t next = k + units(k);
            while (p[next] != 0 && !breakAt(next) && next <= m_longest) next += units(next);
            if (next > m_longest) break;
            for (; k < next; k++) {
                char16_t c = m_ignoreCase ? fold_unit(p[k]) : p[k];
                if (m_ignoreCase) m_work[k] = c;
                h = hash_step(h, c);
            }
        }
        return found;
    }
    const KeywordEntry* rows = m_keywords + b.first;
    int32_t count = b.last - b.first + 1;
    if (b.breakState == 0) {
        // Rows of one key sort by kind: the last of them is the one found,
        // as the hash index keeps it.
        int32_t lo = 0, hi = count - 1, found = -1;
        while (lo <= hi) {
            int32_t mid = lo + (hi - lo) / 2;
            int r = compare_prefix(rows[mid].key, rows[mid].keyLength, word, n);
            if (r == 0 && rows[mid].keyLength > n) r = 1;
            if (r == 0) found = b.first + mid;
            if (r <= 0)
                lo = mid + 1;
            else
                hi = mid - 1;
        }
        return found;
    }
    return matchKeywordAt(p, b.first, n);
}

// A key can only match up to a word break of the text, so the text at p is
// tried at each break from the word's end on: the run of rows that begin with
// the text up to there is found by a binary search, and a row of exactly that
// length matches. The result is the last matching row in sorted order (the
// longest key, then the highest kind).
int CStrToken::matchKeywordAt(const char16_t* p, int row, int n) const {
    const KeywordEntry* rows = m_keywords;
    const int32_t count = m_keywordCount;
    const char16_t* text = m_ignoreCase ? m_work : p;
    auto units = [p](int32_t k) {
        return utf16_is_high_surrogate(p[k]) && utf16_is_low_surrogate(p[k + 1]) ? 2 : 1;
    };
    auto breakAt = [&](int32_t k) {
        uint32_t c = p[k];
        if (units(k) == 2) c = 0x10000 + ((c - 0xD800) << 10) + (p[k + 1] - 0xDC00);
        return isWordBreak(c);
    };
    int found = -1;
    int32_t folded = n, lo = row;
    for (int32_t k = n; k <= m_longest;) {
        if (m_ignoreCase)
            for (; folded < k; folded++) m_work[folded] = fold_unit(p[folded]);
        int32_t a = lo, b = count;
        while (a < b) {
            int32_t mid = a + (b - a) / 2;
            if (compare_prefix(rows[mid].key, rows[mid].keyLength, text, k) < 0)
                a = mid + 1;
            else
                b = mid;
        }
        lo = a;
        if (lo >= count || compare_prefix(rows[lo].key, rows[lo].keyLength, text, k) != 0) break;
        int32_t longer = lo; // first row of the run whose key goes on past k
        if (rows[lo].keyLength == k) {
            while (longer + 1 < count && rows[longer + 1].keyLength == k &&
                   compare_prefix(rows[longer + 1].key, k, text, k) == 0)
                longer++;
            if (breakAt(k)) found = longer;
            longer++;
        }
        if (p[k] == 0) break;
        // The run's longer keys sort by their unit at k: when the smallest is
        // already above the text's, none goes on with the text.
        if (longer >= count || rows[longer].keyLength <= k ||
            compare_prefix(rows[longer].key, k, text, k) != 0)
            break;
        {
            char16_t c = m_ignoreCase ? fold_unit(p[k]) : p[k];
            if (rows[longer].key[k] > c) break;
        }
        lo = longer;
        k += units(k);
        while (p[k] != 0 && !breakAt(k) && k <= m_longest) k += units(k);
    }
    return found;
}

// ---------------------------------------------------------------------------
// Completion

int CStrToken::searchCompletion(const char16_t* prefix, int ordinal, char16_t* buffer, int capacityBytes,
                                int backward, const KeywordEntry* table, int32_t count, int32_t longest) {
    if (!table || count <= 0 || !prefix) return -1;
    int32_t n = 0;
    while (prefix[n]) {
        if (n > longest) return -1;
        n++;
    }
    if (n > longest || n + 1 > m_workCapacity || !m_work) return -1;
    std::memcpy(m_work, prefix, static_cast<size_t>(n) * sizeof(char16_t));
    m_work[n] = 0;
    if (m_ignoreCase) utf16_ascii_lower(m_work, n);
    int32_t first = keyword_find_prefix(table, count, m_work, n);
    if (first < 0) return -1;
    if (backward) {
        if (ordinal == 0) return -1;
        if (ordinal == -1) {
            int32_t last = first;
            while (last + 1 < count &&
                   compare_prefix(table[last + 1].key, table[last + 1].keyLength, m_work, n) == 0)
                last++;
            ordinal = last - first;
        } else {
            ordinal--;
        }
    } else {
        if (ordinal < -1 || ordinal >= INT32_MAX - 1) return -1;
        ordinal++;
    }
    if (ordinal < 0 || static_cast<int64_t>(first) + ordinal >= count) return -1;
    const KeywordEntry& e = table[first + ordinal];
    if (compare_prefix(e.key, e.keyLength, m_work, n) != 0) return -1;
    if (!buffer || static_cast<int64_t>(e.keyLength) * 2 >= capacityBytes) return -1;
    std::memcpy(buffer, e.key, static_cast<size_t>(e.keyLength) * sizeof(char16_t));
    buffer[e.keyLength] = 0;
    if (m_ignoreCase && prefix[0] >= u'A' && prefix[0] <= u'Z') utf16_ascii_upper(buffer, e.keyLength);
    return ordinal;
}

static bool begins_with(const char16_t* text, const char16_t* prefix, int32_t n) {
    for (int32_t i = 0; i < n; i++)
        if (text[i] != prefix[i]) return false;
    return true;
}

static bool contains(const char16_t* text, const char16_t* prefix, int32_t n) {
    for (; *text; text++)
        if (begins_with(text, prefix, n)) return true;
    return n == 0;
}

int CStrToken::fillCompletionWords(CCompletionList* list, const char16_t* prefix, const KeywordEntry* table,
                                   int32_t count, int32_t longest) {
    if (!list || !prefix) return 0;
    int32_t n = 0;
    while (prefix[n]) {
        if (n > longest) return 0;
        n++;
    }
    if (n > longest || n >= m_workCapacity || !m_work) return 0;
    int comments = hasCommentColumn();
    list->Setup(6, 64);
    uint32_t* widths = list->ColumnWidths();
    for (int c = 0; c < 6; c++) {
        bool shown = c < 2 || (c == 5 && comments == 1);
        uint32_t w = widths[c] & ~CCompletionList::kShown;
        if (shown && w == 0) w = 100;
        widths[c] = shown ? (w | CCompletionList::kShown) : w;
    }
    std::memcpy(m_work, prefix, static_cast<size_t>(n) * sizeof(char16_t));
    m_work[n] = 0;
    utf16_ascii_lower(m_work, n);
    auto append = [&](const KeywordEntry& e) {
        if (list->AddRow() != 0) return false;
        list->SetLastRowCell(0, e.display);
        list->SetLastRowCell(1, e.type);
        if (comments == 1) list->SetLastRowCell(5, e.comments);
        return true;
    };
    if (!table) count = 0;
    if (m_completionMode == 0 && m_ignoreCase) {
        int32_t first = keyword_find_prefix(table, count, m_work, n);
        if (first < 0) return 0;
        for (int32_t i = first; i < count && table[i].folded && begins_with(table[i].folded, m_work, n); i++)
            if (!append(table[i])) break;
    } else if (m_completionMode == 0) {
        for (int32_t i = 0; i < count; i++)
            if (table[i].folded && begins_with(table[i].folded, m_work, n) && !append(table[i])) break;
    } else {
        int32_t mask = keyword_letter_mask(m_work);
        for (int32_t i = 0; i < count; i++)
            if ((table[i].letterMask & mask) == mask && table[i].folded &&
                contains(table[i].folded, m_work, n) && !append(table[i]))
                break;
    }
    return list->GetRowCount() > 0 ? 1 : 0;
}
