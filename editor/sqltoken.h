// The SQL tokenizer: SQL comments, quotes and q-quoted literals, operators
// and bind prefixes, and a completion table that a loader may switch to a
// merged list of keywords and schema names under a critical section.
#pragma once

#include <windows.h>

#include <atomic>

#include "editor/strtoken.h"
#include "oracle/ora_dataset.h"

class CSQLStrToken : public CStrToken {
public:
    CSQLStrToken();
    ~CSQLStrToken() override;

    // Also a q-quoted literal (q'[...]', Q'{...}', nq'x...x', ...). Callers
    // ask at token starts only: the q of "seq'" opens nothing.
    int isQuoteStart(const char16_t* p) const override {
        return q_quote_closer(p) != 0 || CStrToken::isQuoteStart(p);
    }
    int findCompletion(const char16_t* prefix, int ordinal, char16_t* buffer, int capacityBytes,
                       int backward) override;
    const char16_t* skipSpaceAndComment(const char16_t* p) const override;
    int findCompletionWords(CCompletionList* list, const char16_t* prefix) override;
    int getQuotedLength(const char16_t* p, int stopAtLineFeed) const override;
    int hasCommentColumn() const override { return m_commentsSetting.load(std::memory_order_relaxed); }

    void initSqlSyntax();

    // Makes table the active completion table (its longest key with it), or
    // the keyword table when table is null. Lookups in progress finish on the
    // table they started with.
    void SwitchCompletionTable(const KeywordEntry* table, int32_t count, int32_t longest);

    // The application's setting asking for object comments in the candidate
    // list (0 by default).
    void SetCommentsSetting(int on) { m_commentsSetting.store(on ? 1 : 0, std::memory_order_relaxed); }

    // Reads the owner's object and column names on session s and makes the
    // keywords merged with them the active completion table. 0, the failing
    // query's result (9 when stopped), or 1 (stopped while merging, or no
    // memory) with the keyword table left active. msg (may be null) gets
    // "<n> words" or the error. A stop flag already set when it is called
    // ends it at once with 1, before any query and with the active table
    // untouched: the caller clears the flag before it starts a load.
    int initKeywordForCompletion(OraSession* s, const char16_t* owner, CString* msg);
    int loadObjectNames(OraSession* s, const char16_t* owner, CString* msg);
    int appendDatasetEntries(const OraDataset* ds, int hasComments, int32_t* row, int32_t* longest);

    CRITICAL_SECTION m_section;
    // 1 stops a completion load; the loader passes it on as the cancel state
    // of its queries.
    std::atomic<int> m_stop{0};
    KeywordEntry* m_merged = nullptr;
    int32_t m_mergedCount = 0;
    // Object names, a list nothing fills, and column names; the merged table
    // points into their cells.
    OraDataset m_objectNames{};
    OraDataset m_otherNames{};
    OraDataset m_columnNames{};
    // Test seam: called after the column query of a load.
    void (*m_afterColumnQuery)(CSQLStrToken*) = nullptr;

private:
    std::atomic<int> m_commentsSetting{0};
};

extern CSQLStrToken theSqlStrToken;
