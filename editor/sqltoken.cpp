#include "editor/sqltoken.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "base/utf16.h"
#include "oracle/ora_dict.h"

CSQLStrToken theSqlStrToken;

CSQLStrToken::CSQLStrToken() {
    initSqlSyntax();
    InitializeCriticalSection(&m_section);
}

CSQLStrToken::~CSQLStrToken() {
    std::free(m_merged);
    m_merged = nullptr;
    m_mergedCount = 0;
    oci_free_dataset(&m_objectNames);
    oci_free_dataset(&m_otherNames);
    oci_free_dataset(&m_columnNames);
    DeleteCriticalSection(&m_section);
}

void CSQLStrToken::initSqlSyntax() {
    initCharClasses();
    setBlockComment(u"/*", u"*/");
    for (char16_t c : {u'/', u'*'}) m_lexState[c] = m_delimiter[c] = 1;
    if (m_lineCommentCount < 4) addLineComment(u"--");
    m_lexState[u'-'] = m_delimiter[u'-'] = 1;
    for (char16_t c : {u'\'', u'"'}) m_quoteStart[c] = m_delimiter[c] = m_lexState[c] = 1;
    // The letters that open q-quoted literals; they stay word characters.
    for (char16_t c : {u'N', u'Q', u'n', u'q'}) m_lexState[c] = 1;
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

int CSQLStrToken::getQuotedLength(const char16_t* p, int stopAtLineFeed) const {
    int prefix = 0;
    char16_t close = q_quote_closer(p, &prefix);
    if (!close) return CStrToken::getQuotedLength(p, stopAtLineFeed);
    return prefix + q_quote_rest(p + prefix, close, stopAtLineFeed, nullptr);
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

int CSQLStrToken::loadObjectNames(OraSession* s, const char16_t* owner, CString* msg) {
    std::u16string sql = u"select distinct object_name, object_name as org_object_name, \n\tobject_type \n";
    if (hasCommentColumn() == 1)
        sql += u", (select comments from $DICT$_tab_comments b where a.owner = b.owner and a.object_name = "
               u"b.table_name and a.object_type = b.table_type) as comments \n";
    else
        sql += u", '' as comments \n";
    sql += u"from $DICT$_objects a \nwhere owner = :X0 \n";
    return oradict_sel_dataset(s, &m_objectNames, sql.c_str(), 100, msg, nullptr, &m_stop, "S", owner);
}

int CSQLStrToken::appendDatasetEntries(const OraDataset* ds, int hasComments, int32_t* row,
                                       int32_t* longest) {
    for (int32_t i = 0; i < ds->row_count; i++) {
        if (m_stop.load(std::memory_order_relaxed) == 1) return 1;
        KeywordEntry& e = m_merged[(*row)++];
        // The dataset owns the cells; the key is folded where it lies.
        auto* name = const_cast<char16_t*>(oci_get_dataset_data(ds, i, 0));
        utf16_ascii_lower(name);
        e.folded = name;
        e.display = const_cast<char16_t*>(oci_get_dataset_data(ds, i, 1));
        e.key = m_ignoreCase ? e.folded : e.display;
        e.keyLength = static_cast<int32_t>(std::char_traits<char16_t>::length(e.key));
        e.kind = 4;
        e.type = oci_get_dataset_data(ds, i, 2);
        e.comments = hasComments ? oci_get_dataset_data(ds, i, 3) : u"";
        e.letterMask = 0;
        *longest = std::max(*longest, e.keyLength);
    }
    return 0;
}

int CSQLStrToken::initKeywordForCompletion(OraSession* s, const char16_t* owner, CString* msg) {
    // The stop flag is the caller's to clear before the load is started: a
    // stop that came meanwhile ends the load before any query.
    if (m_stop.load() == 1) return 1;
    SwitchCompletionTable(nullptr, 0, 0);

    std::free(m_merged);
    m_merged = nullptr;
    m_mergedCount = 0;
    oci_init_dataset(&m_objectNames);
    oci_init_dataset(&m_otherNames);
    oci_init_dataset(&m_columnNames);

    int rc = loadObjectNames(s, owner, msg);
    if (rc != 0) return rc;
    rc = oradict_sel_dataset(s, &m_columnNames,
                             u"select distinct column_name, column_name as org_column_name, data_type \nfrom "
                             u"$DICT$_tab_columns \nwhere owner = :X0",
                             100, msg, nullptr, &m_stop, "S", owner);
    if (rc != 0) return rc;
    if (m_afterColumnQuery) m_afterColumnQuery(this);

    int64_t total =
        int64_t(m_keywordCount) + m_objectNames.row_count + m_otherNames.row_count + m_columnNames.row_count;
    auto* merged = total > INT32_MAX
                       ? nullptr
                       : static_cast<KeywordEntry*>(std::calloc(
                             static_cast<size_t>(std::max<int64_t>(total, 1)), sizeof(KeywordEntry)));
    if (!merged) {
        if (msg) *msg = u"CSQLStrToken::initKeywordForCompletion(): memory allocate error";
        return 1;
    }
    std::copy(m_keywords, m_keywords + m_keywordCount, merged);
    m_merged = merged;
    int32_t row = m_keywordCount;
    int32_t longest = m_longest;
    if (appendDatasetEntries(&m_objectNames, 1, &row, &longest) != 0 ||
        appendDatasetEntries(&m_columnNames, 0, &row, &longest) != 0) {
        std::free(m_merged);
        m_merged = nullptr;
        return 1;
    }
    m_mergedCount = row;
    keyword_sort_table(m_merged, m_mergedCount);
    SwitchCompletionTable(m_merged, m_mergedCount, longest);
    if (msg) msg->Format(u"%d words", m_mergedCount);
    return 0;
}
