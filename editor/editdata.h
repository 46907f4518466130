// CEditData: the text model behind every editor window. Lines are records of
// EditLinePool in a gap buffer; every edit writes records into the buffer's
// UndoBuffer; the regular-expression engine reads the lines in place through
// the buffer's RegexPositionOps.
#pragma once

#include <afx.h>

#include <cstdint>

#include "editor/editdisp.h"
#include "editor/editline.h"
#include "editor/strtoken.h"
#include "editor/undo.h"
#include "regex/regex.h"

// Line-end types.
enum : uint32_t { LINEEND_CRLF = 1, LINEEND_LF = 2, LINEEND_CR = 3 };

// Undo record types of the text buffer.
enum : int32_t {
    EDIT_UNDO_GROUP = 0,
    EDIT_UNDO_INSERT = 1,
    EDIT_UNDO_BACKSPACE = 2,
    EDIT_UNDO_DELETE = 3,
    EDIT_UNDO_CARET = 4,
    EDIT_UNDO_SWAP = 5,
};

// Lexical state of a position.
constexpr uint8_t LEX_CODE = 1;
constexpr uint8_t LEX_BLOCK_COMMENT = 2;
constexpr uint8_t LEX_LINE_COMMENT = 3;
constexpr uint8_t LEX_QUOTED = 4;

// Options of UpdateLexStates (bits of the editor option word).
constexpr uint64_t EDIT_OPT_NO_LEXICAL = 0x80;
constexpr uint64_t EDIT_OPT_TAG_RULE = 0x100;
constexpr uint64_t EDIT_OPT_BRACKET_DEPTH = 0x200000000ull;

// Per-line cache of LexStateAt: valid while its line is unchanged.
struct LexLineCache {
    int32_t line = -1;
    int32_t classified = 0;
    const char16_t* resumeText = nullptr;
    uint8_t resumeState = LEX_CODE;
    uint8_t* states = inlineStates;
    int32_t capacity = 256;
    uint8_t inlineStates[256];

    LexLineCache() = default;
    ~LexLineCache() { Free(); }
    LexLineCache(const LexLineCache&) = delete;
    LexLineCache& operator=(const LexLineCache&) = delete;
    void Free();
};

class CEditData {
public:
    CEditData();
    virtual ~CEditData();
    CEditData(const CEditData&) = delete;
    CEditData& operator=(const CEditData&) = delete;

    // Inserts a text at the caret as one undo record, honouring the length limit.
    virtual int InsertText(const char16_t* text, int forgetGoal = 1);

    // Record and lines.
    void ClearText();
    void SetLineEndType(uint32_t type);
    int GetLineCount() const { return m_lines.count; }
    EditLine* GetLine(int index) const { return m_lines.At(index); }
    const char16_t* GetLineText(int index) const { return m_lines.At(index)->text; }
    int GetLineLength(int index) const { return m_lines.At(index)->length - 1; }
    uint32_t GetCharAt(int line, int column) const;
    uint32_t GetCharAtCaret() const;
    uint32_t GetCharBeforeCaret();
    // Units of the text with line ends: (lines - 1) x line-end length + total length.
    int GetTextSize() const { return (m_lines.count - 1) * m_lineEndLength + m_totalLength; }
    EditPos GetCaret() const { return EditPos{m_caretCol, m_caretLine}; }
    EditPos GetEndPosition() const;

    // Caret and positions.
    EditPos ClampPosition(EditPos pos) const;
    // Line and column into the text, without the surrogate-pair rule.
    EditPos ClampRange(EditPos pos) const;
    void SetCaret(int line, int column);
    void MoveCaretChars(int n);
    void MoveCaretLines(int n);
    void CaretLeft();
    void StepPosition(EditPos* pos, int n) const;
    void StepPositionLines(EditPos* pos, int n) const;
    void SetWidestLine(int line);
    void FindWidestLine();

    // Editing: 0 success, 1 failure.
    int InsertChar(uint32_t c);
    int InsertNewLine();
    int DeletePrevChar();
    int Backspace();
    int DeleteNextChar();
    int InsertTextAtCaret(const char16_t* text);
    int DeleteRange(EditPos start, EditPos end, int record);
    int TypeChar(uint32_t c);

    // Undo, redo and saved marks.
    int Undo();
    int Redo();
    void UpdateLineMark(int line);
    int MarkSaved();
    void ClearUndo();
    void SetUnlimitedUndo();
    int Reset();
    int AddCaretRecord();
    void SwapLines(int a, int b);

    // Text extraction (positions are ordered and clamped).
    int GetRangeTextSize(EditPos start, EditPos end) const;
    void CopyRange(EditPos start, EditPos end, char16_t* buffer) const;
    CString GetAllText() const;
    void AdvancePosition(EditPos* pos, int64_t n) const;
    CString ExpandTemplate(EditPos matchStart, int64_t matchLength, const char16_t* tmpl, const Regex* regex);

    // Lexical states and brackets.
    uint8_t LexStateAt(int line, int column, LexLineCache* cache);
    void UpdateLexStates(int firstLine, int lastLine, uint64_t options, int* changed);
    int FindMatchingBracket(uint32_t open, uint32_t close, int depth, const EditPos* limit, int direction,
                            EditPos* out);

    // Measuring and word wrap.
    HDC MeasureDC();
    int DisplayColumn(int line, int column, HDC dc);
    int FitUnits(const char16_t* text, int width, HDC dc, CharWidthCache* cache);
    int ApplyKinsoku(const char16_t* text, int n);
    int WrapAtWord(const char16_t* text, int n);
    int WrapLine(int line, LazyClientDC* holder);
    int CaretRowInLine();

    // Words, search and loading.
    int CharClass(uint32_t c) const;
    void MoveWord(int direction);
    void SkipBlanks(int direction);
    int SearchLine(int line, int column, int direction, int* length, Regex* regex);
    int SearchLines(EditPos* out, int direction, int firstLine, int count, Regex* regex);
    int Find(EditPos* out, int direction, int wrap, const EditPos* from, HWND owner, Regex* regex);
    int LoadFile(CArchive* archive, int* code, int* lineEnd);

    // Replacing: 0, or 1 when a step failed. ReplaceAll counts the matches
    // it replaced into count when one is given.
    int ReplaceRange(EditPos start, EditPos end, const char16_t* text);
    int ReplaceWholeText(const char16_t* text);
    int ReplaceAll(const char16_t* replacement, int isTemplate, const EditPos* rangeStart,
                   const EditPos* rangeEnd, Regex* regex, int box, int* count = nullptr);

    // Box selections.
    int GetBoxColumns(int line, int* left, int* right);
    int GetBoxTextSize();
    void CopyBoxText(char16_t* buffer);
    void PadToX(int x, HDC dc);
    int PasteBox(const char16_t* text);
    int DeleteBox();

    bool IsDelimiter(uint32_t c) const { return m_token->isWordBreak(c); }
    int CurrentStepId() const { return static_cast<int>(m_undo->CurrentStepId()); }
    void Notify() { m_disp.SendToViews(nullptr, EDM_UPDATEMODIFIED, 0, 0); }

    LineArray m_lines;
    int32_t m_totalLength = 0;
    int32_t m_limit = -1;
    UndoBuffer* m_undo = nullptr;
    int32_t m_caretCol = 0;
    int32_t m_caretLine = 0;
    int32_t m_expandTabs = 0;
    int32_t m_autoIndent = 0;
    int32_t m_widestWidth = 0;
    EditLine* m_widestLine = nullptr;
    int32_t m_goalColumn = -1;
    CStrToken* m_token;
    int32_t m_savedStepId = 0;
    int32_t m_undoState = 0;
    int32_t m_editCounter = 0;
    uint32_t m_lastTyped = 0;
    CEditDispData m_disp;
    char16_t* m_lineEndProhibited = nullptr;
    char16_t* m_lineStartProhibited = nullptr;
    int32_t m_wrapAtWord = 0;
    int32_t m_kinsoku = 0;
    RegexPositionOps m_regexOps;
    uint32_t m_lineEndType = LINEEND_CRLF;
    char16_t m_lineEnd[3] = {u'\r', u'\n', 0};
    int32_t m_lineEndLength = 2;

private:
    bool RecordOpen() const { return m_undo->recordingType != 0 && m_undo->current; }
    int ReserveRecord(uint64_t units);
    void AppendRecord(const char16_t* chars, int count);
    void ReleasedLine(EditLine* line);
    int DeleteSpan(EditPos start, EditPos end);
    int InsertAt(EditPos pos, const char16_t* text, int64_t count);
    void DeleteUnits(EditPos pos, int64_t count);
    void ClearMarks();
    void OrderAndClamp(EditPos* start, EditPos* end) const;
    int TokenLength(const char16_t* p) const;
};

// The buffer's subject callbacks for the regular-expression engine.
void editdata_init_regex_ops(CEditData* data, RegexPositionOps* ops);
