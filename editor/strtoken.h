// The plain tokenizer: character classes, comment and quote syntax, and the
// keyword and completion tables that a text buffer colours and breaks words by.
#pragma once

#include <afx.h>

#include <cstdint>

#include "base/utf16.h"

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
    int32_t first;
    int32_t last;
    int32_t breakState; // 0 no word break in its keys, 1 some, 2 at the first or second character
};

// A candidate list that CStrToken::findCompletionWords fills: a table of
// text cells with per-column widths whose top bit marks a shown column.
class CCompletionList {
public:
    static constexpr uint32_t kShown = 0x80000000u;
    virtual ~CCompletionList() = default;
    // Prepares the list for columns and an initial row allocation; empties it.
    virtual void Setup(int columns, int rows) = 0;
    // The column-width array (at least the columns given to Setup).
    virtual uint32_t* ColumnWidths() = 0;
    // Appends an empty row; 0 on success, 1 on no memory.
    virtual int AddRow() = 0;
    virtual int GetRowCount() const = 0;
    // Writes a text pointer (not copied by the caller's contract) into a cell
    // of the last row.
    virtual void SetLastRowCell(int column, const char16_t* text) = 0;
};

// Free text helpers.
// Skips space, TAB, LF, CR and the ideographic space.
inline const char16_t* skip_blanks(const char16_t* p) {
    while (*p == u' ' || *p == u'\t' || *p == u'\n' || *p == u'\r' || *p == 0x3000) p++;
    return p;
}
// Oracle q-quoting: [nN]?[qQ]'<open> ... <close>'. The unit that closes the
// literal at p (before its final apostrophe: ")", ">", "]" or "}" for the
// four opening brackets, else the opening unit itself), with *prefix the
// units up to and including the opening one; 0 when p has no such shape (the
// opening unit is no blank, line break, surrogate or NUL).
inline char16_t q_quote_closer(const char16_t* p, int* prefix = nullptr) {
    int n = (p[0] == u'n' || p[0] == u'N') ? 1 : 0;
    if ((p[n] != u'q' && p[n] != u'Q') || p[n + 1] != u'\'') return 0;
    char16_t open = p[n + 2];
    if (open == 0 || open == u' ' || open == u'\t' || open == u'\n' || open == u'\r' ||
        utf16_is_high_surrogate(open) || utf16_is_low_surrogate(open))
        return 0;
    if (prefix) *prefix = n + 3;
    switch (open) {
    case u'(': return u')';
    case u'<': return u'>';
    case u'[': return u']';
    case u'{': return u'}';
    default: return open;
    }
}
// Units of the rest of a q-quoted literal from p (after its opening unit, or
// a line start inside it) up to and including the closing unit and its
// apostrophe. *closed is false when the text, or a LF with the flag, ends
// first; the length then runs up to that end.
int q_quote_rest(const char16_t* p, char16_t close, int stopAtLineFeed, bool* closed);

// Fold ASCII letters in place up to the NUL (or n units when n >= 0).
void utf16_ascii_lower(char16_t* s, int n = -1);
void utf16_ascii_upper(char16_t* s, int n = -1);
// Bit n for the n-th letter of the alphabet in either case, 0x4000000 for
// "$", 0x8000000 for a digit.
int32_t keyword_letter_mask(const char16_t* s);
// Computes each row's letter mask and sorts the rows by key, then kind.
void keyword_sort_table(KeywordEntry* rows, int32_t count);
// First row whose key begins with the n units of prefix, or -1.
int32_t keyword_find_prefix(const KeywordEntry* rows, int32_t count, const char16_t* prefix, int32_t n);

class CStrToken {
public:
    CStrToken();
    virtual ~CStrToken();
    CStrToken(const CStrToken&) = delete;
    CStrToken& operator=(const CStrToken&) = delete;

    // 1 when the character at p opens a quoted literal.
    virtual int isQuoteStart(const char16_t* p) const { return *p < 256 && m_quoteStart[*p] != 0; }
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
    // Appends the words of a keyword file; 0, or 1 with a message in msg.
    int initDefaultKeyword(const char16_t* path, CString* msg);
    void free_keywords();
    void buildFirstCharIndex();
    // Units of the token at p.
    int getWordLength(const char16_t* p, int stopAtLineFeed) const;
    // Units of the word or delimiter at p read as no quoted literal; 0 at the
    // end of the text.
    int getPlainWordLength(const char16_t* p) const {
        if (*p == 0) return 0;
        int n = 0;
        for (;;) {
            uint32_t c = p[n];
            if (c < 256) {
                if (m_delimiter[c]) return n == 0 ? 1 : n;
                n++;
                continue;
            }
            int units = 1;
            if (utf16_is_high_surrogate(c) && utf16_is_low_surrogate(p[n + 1])) {
                c = 0x10000 + ((c - 0xD800) << 10) + (p[n + 1] - 0xDC00);
                units = 2;
            }
            if (isWordBreak(c)) return n == 0 ? units : n;
            n += units;
        }
    }
    // Copies the next word into buffer; the position after it, or null.
    const char16_t* getNextWord(const char16_t* p, char16_t* buffer, int capacityBytes) const;
    // Row of the keyword the word of n units at p is (or starts), or -1.
    int findKeyword(const char16_t* p, int n);
    int matchKeywordAt(const char16_t* p, int row, int n) const;
    // Cycles through the rows of table that begin with prefix; see
    // findCompletion. longest is the table's longest key.
    int searchCompletion(const char16_t* prefix, int ordinal, char16_t* buffer, int capacityBytes,
                         int backward, const KeywordEntry* table, int32_t count, int32_t longest);
    // Fills list from table (see findCompletionWords).
    int fillCompletionWords(CCompletionList* list, const char16_t* prefix, const KeywordEntry* table,
                            int32_t count, int32_t longest);
    // 1 when text opens a PL/SQL block (BEGIN, DECLARE, a label, CREATE of
    // a stored unit with its name).
    int isPlsqlBlockStart(const char16_t* text) const;
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
    const KeywordEntry* m_completion = nullptr;
    int32_t m_completionCount = 0;
    // Longest key of the active completion table, switched with it.
    int32_t m_completionLongest = 0;
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

    // Hash index of the keyword table built with the first-character index:
    // every key, and every key's text up to a word break inside it.
    struct HashSlot {
        uint32_t hash;
        int32_t row;    // last row with this key, or a row whose key begins with it
        int32_t length; // units
        int32_t flags;  // 1 a whole key, 2 a key goes on past a word break here
    };
    HashSlot* m_hash = nullptr;
    uint32_t m_hashMask = 0;

private:
    void buildHashIndex();
    const HashSlot* findHash(const char16_t* text, int32_t length, uint32_t hash) const;
};

extern CStrToken theStrToken;
