// Automatic indentation while typing: copying the previous line's indent
// (mode 1) and the smart indent of C-like text (mode 2), which re-indents the
// caret line after a line break, "{", "}" or ":" from braces, statement ends
// and labels. One static object: not re-entrant, UI thread only.
#pragma once

#include <cstdint>

class CEditData;

class SmartIndent {
public:
    // The last code point of the line outside comments that is not TAB or
    // space; 0 when none.
    static uint32_t LastCodeChar(int line);
    // The first code point that is not TAB or space; 0 for a blank line.
    static uint32_t FirstNonBlank(int line);
    static void RemoveIndent(int line);
    static int PrevCodeLine(int line);
    static int StatementStart(int line);
    static void CopyIndent(int source, int mode, int extra, int replace);
    static void OnChar(uint32_t c);

    static CEditData* s_data;

private:
    static bool IsTrigger(uint32_t c);
};
