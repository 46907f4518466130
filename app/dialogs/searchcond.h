// Search-condition files (*.tvx) on their own: the text the table-selection
// dialog writes, and what a file holds as the dialog reads it.
#pragma once

#include <afx.h>

#include <string>
#include <vector>

// A file as read: what it names, and where a file that is not a search
// condition stopped. The dialog acts on the parts in the file's order and
// reports the format error where the reading stopped.
struct SearchConditionFile {
    enum Stop {
        kComplete,       // read through "[WHERE]"
        kNoTableHeader,  // ended before "[TABLE_NAME]"
        kNoTable,        // ended before the table's line
        kNoColumnHeader, // ended after the table (or its alias), or "[COLUMN_NAME]" did not follow
        kNoWhere,        // ended among the columns, before "[WHERE]"
    };
    Stop stop = kComplete;
    bool swap = false;     // "[SWAP_ROW_COL_MODE]" stood above "[OWNER_NAME]"
    bool hasOwner = false; // without "[OWNER_NAME]" the dialog keeps its own
    CString owner, table;
    bool hasAlias = false;
    CString alias;
    std::vector<CString> columns; // up to "[WHERE]" or the end
    // The lines after "[WHERE]" as read, each with its line end; a line
    // longer than 1023 units comes in several pieces.
    std::vector<CString> where;
};

// Reads path as CP932 text, lines of at most 1023 units with their trailing
// CR and LF trimmed (a longer line reads as several); false when it cannot
// be opened.
bool ReadSearchConditionFile(const char16_t* path, SearchConditionFile* out);

// The text of a file naming owner, table, columns and the condition (whose
// lines are joined by LF), every line ended by CR LF but the condition's
// last.
std::u16string SearchConditionText(const CString& owner, const CString& table,
                                   const std::vector<CString>& columns, const CString& where);

// True when the file can hold every character of text: each has a CP932
// code of its own (the yen sign and the JIS wave dash count, as they do in
// every text file; a surrogate or a character CP932 has only a look-alike
// for does not).
bool SearchConditionFits(const CString& text);
