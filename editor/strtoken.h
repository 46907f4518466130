// The plain tokenizer: character classes, comment and quote syntax, and the
// keyword and completion tables that a text buffer colours and breaks words by.
#pragma once

#include <afx.h>

#include <cstdint>

// One row of a keyword or completion table.
struct KeywordEntry {
    const char16_t* key;      // the folded text with the ignore-case flag, else the display text
    char16_t* display;        // display text
    char16_t* folded;         // ASCII A-Z folded to a-z
    int32_t keyLength;        // units of the key
    int32_t kind;             // 1, 2 keyword classes; 4 a data-dictionary name
    const char16_t* type;     // type label, not owned
    const char16_t* comments; // not owned
    int32_t letterMask;
};

// First and last row of the sorted keyword table for one first character.
struct KeywordBucket {
    int16_t first;
    int16_t last;
    int32_t breakState; // 0 no word break in its keys, 1 some, 2 at the first or second character
};

class CCompletionList;

class CStrToken {
public:
    CStrToken();
    virtual ~CStrToken();
    CStrToken(const CStrToken&) = delete;
    CStrToken& operator=(const CStrToken&) = delete;

    // 1 when the character at p opens a quoted literal.
    virtual int isQuoteStart(const char16_t* p) const;
    // 1 when the character at p closes a literal opened by quote; *count is
    // the units the character takes (2 for a doubled or escaped quote).
    virtual int isQuoteEnd(const char16_t* p, int quote, int* count) const;
    virtual int findCompletion(const char16_t* prefix, int ordinal, char16_t* buffer, int capacityBytes,
                               int backward);
    virtual const char16_t* skipSpaceAndComment(const char16_t* p) const;
    virtual int findCompletionWords(CCompletionList* list, const char16_t* prefix);
    // Units of the quoted literal starting at p (stopping before a LF with the flag).
    virtual int getQuotedLength(const char16_t* p, int stopAtLineFeed) const;
    virtual int hasCommentColumn() const;

    void initCharClasses();
    void free_comment_marks();
    // Sets the block-comment texts (null: none); 0, or 1 on no memory.
    int setBlockComment(const char16_t* start, const char16_t* end);
    // Adds a line-comment marker (at most four); 0 or 1.
    int addLineComment(const char16_t* mark);

    // 1 when c breaks words: a delimiter-table character below 256, or one of
    // the ideographic space, comma, full stop and the full-width comma and stop.
    bool isWordBreak(uint32_t c) const {
        if (c < 256) return m_delimiter[c] != 0;
        return c == 0x3000 || c == 0x3001 || c == 0x3002 || c == 0xFF0C || c == 0xFF0E;
    }

    char16_t* m_work = nullptr;
    int32_t m_workCapacity = 0;
    uint16_t m_minFirstChar = 0xFFFF;
    uint16_t m_maxFirstChar = 0;
    int32_t m_completionMode = 0;
    KeywordBucket m_buckets[129];
    int32_t m_longest = 0;
    KeywordEntry* m_keywords = nullptr;
    int32_t m_keywordCount = 0;
    KeywordEntry* m_completion = nullptr;
    int32_t m_completionCount = 0;
    uint16_t m_delimiter[256];
    uint16_t m_quoteStart[256];
    uint16_t m_lexState[256];
    uint16_t m_bracket[256];
    uint16_t m_operator[256];
    uint16_t m_bindPrefix[256];
    CString m_closeBrackets;
    int32_t m_ignoreCase = 1;
    char16_t* m_blockStart = nullptr;
    char16_t* m_blockEnd = nullptr;
    int32_t m_blockStartLength = 0;
    int32_t m_blockEndLength = 0;
    char16_t* m_lineComment[4] = {};
    int32_t m_lineCommentLength[4] = {};
    int32_t m_lineCommentCount = 0;
    int32_t m_escape = 0;
    int32_t m_doubledQuote = 0;
};

extern CStrToken theStrToken;
