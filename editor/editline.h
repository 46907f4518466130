// Line records of a text buffer and the gap buffer of line pointers.
#pragma once

#include <cstdint>

// Lexical flags of a line.
constexpr uint32_t LEXF_IN_COMMENT = 1; // the line begins inside a block comment
constexpr uint32_t LEXF_IN_TAG = 4;     // the line begins between '<' and '>' under the tag rule
constexpr uint32_t LEXF_CHANGED = 8;    // the text changed since the colouring state was computed
constexpr uint32_t LEXF_IN_QUOTE = 2;   // the line begins inside a q-quoted literal ...
constexpr int LEXF_CLOSER_SHIFT = 16;   // ... that the unit in bits 16 to 31 closes

inline uint32_t lexf_quote(char16_t closer) {
    return closer ? LEXF_IN_QUOTE | (static_cast<uint32_t>(closer) << LEXF_CLOSER_SHIFT) : 0;
}
inline char16_t lexf_closer(uint32_t flags) {
    return (flags & LEXF_IN_QUOTE) ? static_cast<char16_t>(flags >> LEXF_CLOSER_SHIFT) : 0;
}
// The flags a line's start state is made of.
constexpr uint32_t LEXF_CARRIED = LEXF_IN_COMMENT | LEXF_IN_TAG | LEXF_IN_QUOTE | 0xFFFF0000u;

// One line of text (a node of EditLinePool).
struct EditLine {
    char16_t* text;    // NUL-terminated; the shared empty text when it never held any
    uint64_t capacity; // bytes of the text block, 0 for the shared empty text
    int32_t length;    // units including the NUL
    int32_t width;     // pixel width, set by the editor window
    uint32_t lexFlags;
    int32_t depth;    // bracket depth carried into the line
    int32_t modified; // -1 unchanged since saved, else the id of the step that changed it
    int32_t firstRow; // first display row in the word-wrap index
    int32_t rowCount; // display rows with word wrap
    int32_t* breaks;  // unit offsets of wrapped rows after the first (line-text pool)
    int32_t breakCapacity;

    // A new empty line from EditLinePool; null when memory runs out.
    static EditLine* New();

    // Gives the text block the size class that holds bytes: 0, or 1 when no
    // block can be had (the line is unchanged).
    int Reserve(uint64_t bytes);
    // 0, or 1 when memory runs out (the line is unchanged).
    int InsertChars(int column, const char16_t* chars, int count);
    // Deletes count units at the column; the block shrinks when more than 128
    // bytes would stay free (it stays as it is when that cannot be done).
    int DeleteChars(int column, int count);
    // Frees the text and break blocks and returns the record to EditLinePool.
    void Release();

    int Units() const { return length - 1; }
    bool IsSharedText() const;
};

static_assert(sizeof(EditLine) == 64, "a line record is one 64-byte node");

// The text every new line points at, and the line that stands for every index
// outside the text. Neither is ever written.
extern char16_t g_editEmptyText[1];
extern EditLine g_editEmptyLine;

// Gap buffer of line pointers. Line i is in slot i below the gap start, else in
// slot i + gap length. Slots inside the gap are null.
struct LineArray {
    EditLine** slots = nullptr;
    int32_t count = 0;
    int32_t allocated = 0;
    int32_t growStep = 10;
    int32_t gapStart = 0;
    int32_t gapEnd = 0;

    LineArray() = default;
    ~LineArray() { FreeAll(); }
    LineArray(const LineArray&) = delete;
    LineArray& operator=(const LineArray&) = delete;

    // The line at the index; the shared empty line out of range.
    EditLine* At(int index) const {
        if (index < 0 || index >= count) return &g_editEmptyLine;
        return slots[index < gapStart ? index : index + (gapEnd - gapStart)];
    }
    EditLine*& Slot(int index) { return slots[index < gapStart ? index : index + (gapEnd - gapStart)]; }

    void MoveGap(int position);
    // Reallocates to slots entries (0: the grow step added); 0, or 1 with the
    // array as it was.
    int Resize(int slotCount);
    // Grows the allocation until more + count + 5 is below it; 0 or 1.
    int Reserve(int more);
    // Inserts one detached line at the index; 0 or 1 (the line is not taken).
    int InsertLine(int index, EditLine* line);
    // Inserts count detached lines after the split line; the split line's units
    // from the split column on move to the end (tail column) of the last new
    // line. 0, or 1 with nothing changed (the new lines are not taken).
    int InsertLines(EditLine** lines, int lastIndex, int tailColumn, int count, int splitColumn,
                    int splitLine);
    // Releases the line at the index and removes its slot.
    void DeleteLine(int index);
    void SwapLines(int a, int b);
    void FreeAll();
};
