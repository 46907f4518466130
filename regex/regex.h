// The regular-expression engine over UTF-16 text: the pattern compiler, the
// search strategies, the backtracking matcher, the subject callbacks with the
// plain-string set, the skip-table literal search, replacement templates and
// replace-all.
//
// A Regex keeps the captures and the range of its last match, so one Regex
// serves one search at a time on one thread.
//
// Results of the search functions: 1 a match was found, 0 none, -2 the match
// was too complex to finish (the backtrack stack could not grow, or a match
// attempt used up its backtracking budget). Callers test for 1; one that
// cannot report "too complex" treats -2 as no match.
#pragma once

#include <cstdint>

// Compile flags.
enum {
    REGEX_IGNORE_CASE = 1,  // fold A-Z and full-width A-Z to lower case
    REGEX_IGNORE_WIDTH = 2, // compare after the width fold (width_fold_char)
    REGEX_NO_OPTIMIZE = 4,  // skip the tree passes (the search strategy is still chosen)
};

// Pattern flags of a Regex (changed by the inline flags s, S, i, w).
enum {
    REGEX_FLAG_DOTALL = 1,   // s: '.' also matches LF
    REGEX_FLAG_SPACE_LF = 2, // S: \s also matches LF
    REGEX_FLAG_ICASE = 4,    // i
    REGEX_FLAG_IWIDTH = 8,   // w
};

// Search strategy kinds (Regex::strategy).
enum {
    REGEX_STRATEGY_ANY = 1,     // every position is tried
    REGEX_STRATEGY_CHAR = 2,    // positions holding the first character
    REGEX_STRATEGY_LITERAL = 3, // the skip-table search finds a leading literal
    REGEX_STRATEGY_LINE = 4,    // line starts only
    REGEX_STRATEGY_CLASS = 5,   // positions whose character is in the start class
    REGEX_STRATEGY_WORD = 6,    // word boundaries only
};

enum { REGEX_MAX_GROUPS = 10 };

// A position in a subject: the column counts UTF-16 units within the line. A
// CR directly followed by LF is one line break positioned at the LF.
struct RegexPos {
    int64_t line;
    int64_t column;
};

// One group slot: start and end position and length in units (-1 when the
// group did not take part in the match).
struct RegexGroup {
    RegexPos start;
    RegexPos end;
    int64_t length;
};

// How a Regex reads its subject. The engine reads forward from a returned
// pointer until a 0 unit, which ends the line's text; the end of the subject
// is a 0 unit that no callback moves past. A line break reads as LF.
struct RegexPositionOps {
    void* context; // the subject
    // The character at pos.
    const char16_t* (*char_at)(void* context, const RegexPos* pos);
    // The text of a line and its length in units; NULL when there is no such line.
    const char16_t* (*line_text)(void* context, int64_t line, int64_t* length);
    // One character forward (a surrogate pair and a CR LF pair are one
    // character; at the end of a line's text to the next line); returns the
    // pointer at the new position.
    const char16_t* (*next_char)(void* context, RegexPos* pos);
    // One character back likewise; at the start of the subject NULL or an
    // empty text (no character before).
    const char16_t* (*prev_char)(void* context, RegexPos* pos);
    // The start of the next line; NULL when there is none (pos unchanged).
    const char16_t* (*next_line)(void* context, RegexPos* pos);
    // Units from one position to a later one.
    int64_t (*distance)(void* context, const RegexPos* from, const RegexPos* to);
    // 1 when pos starts a line.
    int (*at_line_start)(void* context, const RegexPos* pos);
    // Optional anchor tests for \=A, \=z, \=^ and \=$ (NULL: the escape never
    // matches); nonzero when the anchor holds at pos.
    int (*at_anchor_start)(void* context, const RegexPos* pos);
    int (*at_anchor_end)(void* context, const RegexPos* pos);
    int (*at_anchor_line_start)(void* context, const RegexPos* pos);
    int (*at_anchor_line_end)(void* context, const RegexPos* pos);
};

struct Regex;
struct RegexNode;
struct RegexFrame;
struct RegexClass;
struct RegexArenaBlock;
struct LiteralSearcher;

// A search from *start (in: where to begin; out: the match start) with the
// match end in *end; match starts beyond limit are not tried (a negative
// limit line means no limit). Returns 1, 0 or -2.
typedef int (*RegexSearchFunc)(Regex* regex, const RegexPositionOps* ops, RegexPos* start, RegexPos* end,
                               RegexPos limit);

struct Regex {
    // Arena of the compiled nodes and their data.
    RegexArenaBlock* arena_blocks; // newest first
    int arena_block_capacity;
    int arena_used; // bytes used in the newest block

    RegexNode* root; // NULL for a pure literal

    int strategy; // REGEX_STRATEGY_*
    RegexSearchFunc search;
    LiteralSearcher* literal; // strategy 3
    RegexClass* start_class;  // strategy 5
    uint32_t first_char;      // strategy 2
    int first_flags;          // strategy 2: bit 0 ignore case, bit 1 ignore width

    RegexGroup groups[REGEX_MAX_GROUPS];           // captures of the last successful match
    int last_group;                                // group that closed last in that match, -1 none
    int group_count;                               // capturing groups defined (at most 10)
    const char16_t* group_names[REGEX_MAX_GROUPS]; // empty for unnamed groups
    RegexNode* group_open[REGEX_MAX_GROUPS];

    RegexPos match_start; // last match found by the plain-string entry points and replace-all
    RegexPos match_end;

    RegexFrame* frames; // the matcher's backtrack stack
    int frame_top;
    int frame_capacity; // in frames
    int frame_size;     // bytes per frame

    int flags;          // pattern flags, REGEX_FLAG_*
    int64_t node_count; // nodes made (each node's serial)

    int has_keep;              // the pattern holds \K
    int has_call;              // the pattern holds a subroutine call
    int64_t literal_length;    // strategy 3: units of the leading literal
    int literal_whole;         // strategy 2: the leading literal is the whole pattern (no matcher needed)
    char16_t required_unit;    // a unit every match holds at or after its start (0: none known)
    char16_t required_also[3]; // other units, any of which may stand for it (0 after the last)

    // Matcher steps left to the search under way, shared by all its attempts
    // (-1 between searches: a lone regex_match_at has a budget of its own).
    int64_t search_budget;
};

// Compiles a pattern (NUL-terminated). NULL when the pattern is not valid,
// too large, or memory runs out.
Regex* regex_compile(const char16_t* pattern, int flags);

// A Regex that finds the literal text, or NULL on no memory. With
// REGEX_IGNORE_WIDTH the literal goes through regex_compile as quoted text.
Regex* regex_compile_literal(const char16_t* literal, int flags);

// An empty Regex (no tree, group lengths -1), or NULL.
Regex* regex_alloc();

// Frees a Regex and everything it owns; NULL is accepted.
void regex_destroy(Regex* regex);

// Destroys the Regex held by *regex, if any, and sets the variable to NULL.
void regex_free(Regex** regex);

// Runs the Regex's search (see RegexSearchFunc). -1 when regex is NULL.
int regex_search(Regex* regex, const RegexPositionOps* ops, RegexPos* start, RegexPos* end, RegexPos limit);

// Matches at one position only: 1, 0 or -2. On 1 *start becomes the match
// start (moved by \K) and *end the match end. text is the pointer at *start
// (NULL: fetched with char_at); prev the character before it, or NULL when
// not known.
int regex_match_at(Regex* regex, const RegexPositionOps* ops, RegexPos* start, RegexPos* end,
                   const char16_t* text, const char16_t* prev);

// The subject of the plain-string position callbacks.
struct RegexStrSubject {
    const char16_t* text;
    int64_t length; // -1 until measured
};

// The plain-string position callbacks over a NUL-terminated text (the whole
// text is line 0; a LF only ends a line for '^', '$' and at_line_start).
// subject must outlive the table.
void regex_init_str_ops(RegexPositionOps* ops, RegexStrSubject* subject, const char16_t* text);

// Searches text from start_column. 1 with the match's start column and length
// in units (the match range also stored in the Regex), 0 when there is none,
// -2 when the search was too complex, -1 when regex is NULL. Each call
// measures the text; a loop over the matches of one text uses
// regex_search_str_len.
int regex_search_str(Regex* regex, const char16_t* text, int start_column, int* match_start,
                     int* match_length);

// regex_search_str over a text whose length in units (those before its
// terminator) the caller knows; -1 measures it. A find-all that measures its
// text once and passes the length on every call is linear in the text.
int regex_search_str_len(Regex* regex, const char16_t* text, int64_t length, int start_column,
                         int* match_start, int* match_length);

// 1 when text holds a match anywhere (the range stored as above), 0 when not
// (also for a NULL regex), -2 when the search was too complex.
int regex_test_str(Regex* regex, const char16_t* text);

// 1 when the template holds a backslash anywhere, or a '$' followed by one of
// & ' ` + or 1-9; else 0.
int regex_template_has_refs(const char16_t* tmpl);

// Expands a replacement template for the match from match_start to
// match_end; the group slots of regex must hold the match's captures. Writes
// the expansion NUL-terminated to out (NULL: only measures) and returns its
// length plus one in units.
int64_t regex_expand_template(const RegexPositionOps* ops, RegexPos match_start, RegexPos match_end,
                              const char16_t* tmpl, const Regex* regex, char16_t* out);

// Copies count units of subject text from start to out; returns the output
// position after them (not terminated).
char16_t* regex_copy_range(char16_t* out, const RegexPositionOps* ops, RegexPos start, int64_t count);

// Supplies the replacement text of the current match (the Regex's group
// slots and match range hold it). The text must stay valid until the next
// call; NULL abandons the whole replacement.
typedef const char16_t* (*RegexReplaceCallback)(void* data, Regex* regex);

// Replaces the first match in text (every match with all nonzero) by the
// callback's text, else by the expanded template when it holds references,
// else by the replacement itself. buffer (capacity units, or NULL) is used
// while the result fits. Returns text itself when nothing matched, buffer
// when the result fitted, else a heap buffer the caller releases with free().
// NULL when memory runs out, the callback abandoned the operation, or the
// search was too complex (no half-done result is returned; any heap buffer is
// freed). A NULL regex returns text.
char16_t* regex_replace_str(Regex* regex, const char16_t* text, const char16_t* replacement, int all,
                            char16_t* buffer, int capacity, RegexReplaceCallback callback, void* data);

// The literal searcher: a vector scan for two rare units of the literal, with
// the skip table (a shift on the unit after the window) where vectors do not fit.
LiteralSearcher* literal_searcher_create(const char16_t* literal, int64_t length, int ignore_case);
void literal_searcher_destroy(LiteralSearcher* searcher);
// The first occurrence within the first count units of text, or NULL. An
// occurrence starting at the low half of a surrogate pair, or ending inside
// one, is not reported.
const char16_t* literal_searcher_search(LiteralSearcher* searcher, const char16_t* text, int64_t count);
// The same over the whole of a NUL-terminated text, measured as it is searched.
const char16_t* literal_searcher_find(LiteralSearcher* searcher, const char16_t* text);
