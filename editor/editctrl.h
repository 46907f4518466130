// CEditCtrl: the multi-line text editor window over a CEditData buffer. It
// serves the SQL editor, the grid's in-place cell editor and the multi-line
// fields of dialogs; up to four editors may show one buffer.
#pragma once

#include <afxwin.h>

#include <cstdint>

#include "editor/editdata.h"
#include "editor/scrollwnd.h"
#include "editor/searchpattern.h"
#include "regex/regex.h"

#ifndef DLGC_WANTALLKEYS
#define DLGC_WANTALLKEYS 0x0004
#endif

// Notifications to the parent (SendMessageW).
#define EDN_DBLCLK 0x8201
#define EDN_LAYOUTCHANGED 0x8202
#define EDN_CARETMOVED 0x8203
#define EDN_SCROLLED 0x8204
#define EDN_KILLFOCUS 0x8205
#define EDN_SETFOCUS 0x8206
#define EDN_SELCHANGED 0x8207
// Messages to an editor.
#define EDM_INSERTTEXT 0x8208
#define EDM_REFRESH 0x8210
#define EDM_LINESCHANGED 0x8211
#define EDM_REDRAWLINE 0x8212
#define EDM_REDRAWLINES 0x8213
#define EDM_REDRAWROW 0x8214
#define EDM_REDRAWCOLUMN 0x8215
#define EDM_RELAYOUT 0x8216
#define EDM_RELAYOUTFROM 0x8220

// The editor's timers.
#define EDIT_TIMER_SELECT 100
#define EDIT_TIMER_DBLCLK 101
#define EDIT_TIMER_BRACKET 102
#define EDIT_TIMER_POINTER 103

// Bits of the editor option word.
enum : uint64_t {
    EDOPT_LINE_END_MARKS = 0x1,
    EDOPT_TAB_MARKS = 0x2,
    EDOPT_BRACKET_FLASH = 0x4,
    EDOPT_CELL_MODE = 0x8,
    EDOPT_CTRL_KEYS = 0x10,
    EDOPT_LINE_NUMBERS = 0x20,
    EDOPT_RULER = 0x40,
    EDOPT_PLAIN_TEXT = 0x80,
    EDOPT_TAG_RULE = 0x100,
    EDOPT_WIDE_SPACE_MARKS = 0x200,
    EDOPT_LINKS = 0x400,
    EDOPT_NOT_FOUND_BOX = 0x800,
    EDOPT_NO_KEYS = 0x1000,
    EDOPT_DRAG = 0x2000,
    EDOPT_ROW_UNDERLINE = 0x4000,
    EDOPT_COPY_ON_SELECT = 0x10000,
    EDOPT_PAST_END = 0x20000,
    EDOPT_STEADY_CARET = 0x40000,
    EDOPT_COPY_LINE = 0x80000,
    EDOPT_SPACE_MARKS = 0x100000,
    EDOPT_WRAP_MARKS = 0x200000,
    EDOPT_KEEP_SEL_COLOR = 0x400000,
    EDOPT_IME_CARET = 0x800000,
    EDOPT_DROP_TARGET = 0x1000000,
    EDOPT_BRACKET_MATCH = 0x2000000,
    EDOPT_WORD_SELECT = 0x4000000,
    EDOPT_SMOOTH = 0x8000000,
    EDOPT_HIDE_POINTER = 0x10000000,
    EDOPT_RULED_LINES = 0x20000000,
    EDOPT_COPY_CLEARS = 0x40000000,
    EDOPT_MODIFIED_BG = 0x80000000ull,
    EDOPT_DEPTH_REQUEST = 0x100000000ull,
    EDOPT_DEPTH_COLORS = 0x200000000ull,
};

// MultiByteToWideChar(CP_ACP) of count bytes.
CString ansi_to_cstring(const char* bytes, int count);
// 1 when the text begins with a scheme the shell opens as a URL.
int HasUrlScheme(const char16_t* text);

class COleDropTarget;
class COleDataObject;

// Create takes the editor's own parameters and hides CWnd's forms on
// purpose: an editor is made through this form only.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Woverloaded-virtual"
#endif
class CEditCtrl : public CScrollWnd {
    DECLARE_DYNAMIC(CEditCtrl)
public:
    CEditCtrl();
    ~CEditCtrl() override;

    // Creates the window of class "QUARN_EditCtrl" (the buffer must be set).
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    void SetData(CEditData* data) { m_data = data; }
    CEditData* GetData() const { return m_data; }

    // Options and fonts.
    void SetOptions(uint64_t options);
    uint64_t GetOptions() const { return m_options; }
    virtual void OnCaretUpdated() {}
    virtual void SetTextFont(CFont* font);
    virtual void SetColor(int index, COLORREF color);
    void CreateFonts(const LOGFONTW* lf);
    int ApplyFont();
    void UpdateMargins();
    void UpdatePageRows();
    int MeasureLineRows(int line);
    void RebuildRowIndex(int remeasure, int first, int count);
    int AffectsLexicalState(uint32_t c);
    void UpdateLexicalStates(int first, int last);
    // Wrap column from a pixel width (INT_MAX: no wrap).
    void SetWrapWidth(int width);
    void UpdateWrapGuide();
    void SetReadOnly(int on) { m_readOnly = on; }
    // Background (colour 3) while the text is as last saved, and while it has
    // unsaved edits (option 0x80000000).
    void SetModifiedColors(COLORREF saved, COLORREF modified) {
        m_modifiedBg[0] = saved;
        m_modifiedBg[1] = modified;
    }

    // Scrolling base slots.
    int GetPageCols() override;
    int GetPageRows() override { return m_pageRows; }
    int GetFixedLeftWidth() override { return m_leftMargin; }
    int GetFixedTopHeight() override { return m_topMargin; }
    int GetFixedRightWidth() override { return m_rightMargin; }
    int GetFixedBottomHeight() override { return m_bottomMargin; }
    int GetTotalWidth() override;
    int GetTotalHeight() override;
    int ColsToPixels(int from, int to) override { return (from - to) * m_charWidth; }
    int RowsToPixels(int from, int to) override { return (from - to) * m_rowPitch; }
    int GetVScrollMax() override;
    int GetVScrollPage() override { return GetPageRows() - 1; }
    int GetHScrollMax() override;
    int GetHScrollPage() override { return GetPageCols() - 1; }
    void OnScrolled(int dx, int dy, int tracking) override;

    // Painting and invalidation.
    void RedrawLines(int first, int last);
    void RedrawLinesLocal(int first, int last);
    void RedrawLineBroadcast(int line);
    void InvalidateLine(int line);
    void InvalidateMarginRow(int row);
    void InvalidateRulerColumn(int x);
    void LinesChanged(int oldLines, int passThrough, int oldRows, int line);
    void RelayoutLines(int oldLines, int oldRows, int line, int remeasure);
    int GetFirstVisibleLine();
    int GetLastVisibleLine();
    int LineToY(int line);

    // Caret, selection and search.
    void UpdateCaret(int scroll, int force = 0, int rowEnd = 0);
    void ScrollCaretIntoView(EditPos rowOffset);
    void ScrollRows(int rows, int extend, int scroll);
    void MoveCaretTo(int line, int column);
    void PrepareSelection(int extend);
    void SelectToPosition(EditPos pos, int keepBoxX);
    void SelectRange(EditPos from, EditPos to, int box);
    void ClearSelection(int redraw);
    int HasSelection();
    void BeginMouseSelection(int word);
    void ExtendMouseSelection(CPoint pt, int scroll);
    void EndMouseSelection();
    void UpdateBracketMatch();
    int Find(const char16_t* pattern, int direction, int matchCase, int matchWidth, int isRegex);
    int Replace(const char16_t* pattern, const char16_t* replacement, int direction, int matchCase,
                int matchWidth, int isRegex, int all, int inSelection);
    // count, when given, gets the number of matches replaced.
    int ReplaceAll(const char16_t* pattern, const char16_t* replacement, int matchCase, int matchWidth,
                   int isRegex, int inSelection, int* count = nullptr);
    int OnSearchResult(int result, EditPos pos);

    // Positions.
    EditPos PointToPos(CPoint pt, int flag);
    CPoint PosToPoint(EditPos pos);
    // (offset in the display row, display row).
    EditPos PosToRowOffset(EditPos pos, int rowEnd);
    int HitLineNumber(CPoint pt);
    int IsPointOnText(CPoint pt);
    int IsPointInSelection(CPoint pt);
    void SetCaretPos(EditPos pos);
    void StartSelectionAt(EditPos pos);
    void ExtendSelectionTo(EditPos pos, int move);
    void SelectWordAtCaret();
    void SelectLine(int line);
    void ClickAt(CPoint pt, int shift);

    // Keyboard and typing.
    void TypeChar(uint32_t c);
    void InsertTypedChar(uint32_t c);
    void IndentLines(int unindent, int expandTabs, int width);
    void CompleteWord(int backward);
    void DeleteBack();
    void DeleteForward();
    void DeleteRange(EditPos from, EditPos to);
    void MoveLeft(int shift);
    void MoveRight(int shift);
    void MoveHome(int shift, int stopAtZero);
    void MoveLineEnd(int shift);
    void MoveTextEnd(int shift);
    void SelectWholeLines();

    // Clipboard, undo and edit commands.
    void Cut();
    void Copy();
    void Paste();
    void Undo();
    void Redo();
    void SelectAll();
    void CopySelection();
    void CopyCaretLine();
    void CopyRangeToClipboard(EditPos from, EditPos to, int box);
    void ReplaceSelection(const char16_t* text, int box);
    void PasteBox(const char16_t* text);
    void SetSearchHighlight(const char16_t* pattern, int matchCase, int matchWidth, int isRegex);
    void ClearSearchHighlight();
    void Relayout(int scroll, int rebuild);
    void RefreshAll();
    void RelayoutFrom(int scroll);
    void InvalidateAll();
    void Invalidate(BOOL erase = TRUE);

    // Messages, URLs, brackets.
    void UpdateModifiedColor();
    void ScrollToOrigin();
    void HighlightMatchingBracket(uint32_t c);
    void ClearBracketHighlight();
    int FindMatchingBracket(uint32_t c, EditPos* out);
    void UpdateMouseCursor();
    void CreateEditCaret(int destroy);
    int IsPointOnUrl(CPoint pt);
    int GetUrlRange(int* from, int* to);
    CString GetUrlAtCaret();
    int OpenUrlAtCaret();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The record.
    CEditData* m_data = nullptr;
    UINT m_boxFormat = 0;
    SearchPatternCache m_search;
    int m_textHeight = 18;
    int m_charWidth = 9;
    int m_digitWidth = 0;
    int m_rowPitch = 18;
    int m_trueType = 0;
    int m_leftMargin = 1;
    int m_topMargin = 1;
    CFont m_fonts[3]; // normal, underline, bold
    int m_readOnly = 0;
    int m_pageRows = 0;
    uint64_t m_options = 0;
    char16_t m_completionPrefix[100] = {};
    int m_completionIndex = -1;
    EditPos m_completionAt = {-1, -1}; // where the completed word part starts
    int m_digits = 2;
    int m_lineSpacing = 0;
    int m_textOffset = 0;
    int m_baseTop = 1;
    int m_baseLeft = 1;
    int m_bottomMargin = 0;
    int m_rightMargin = 0;
    RECT m_textArea = {0, 0, 0, 0};
    int m_caretWidth = 2;
    int m_blinkPeriod = 500;
    UINT m_dlgCode = DLGC_WANTALLKEYS;
    COLORREF m_modifiedBg[2] = {0xFFFFFF, 0xFFFFFF}; // saved, modified
    CPoint m_lastMouse = {-1, -1};
    int m_pointerCountdown = 0;
    HDC m_bgDC = nullptr;
    HBITMAP m_bgBitmap = nullptr;
    HGDIOBJ m_bgOld = nullptr;
    int m_bgWidth = -1;
    int m_bgHeight = -1;
    HDC m_memDC = nullptr; // the kept memory surface of the double buffer
    HBITMAP m_memBitmap = nullptr;
    HGDIOBJ m_memOld = nullptr;
    int m_memWidth = -1;
    int m_memHeight = -1;
    COLORREF m_bgColor = 0;            // colour 3 the background cache was filled with
    COLORREF m_paintedBg = 0xFFFFFFFF; // colour 3 of the last paint

    // Caret and gesture state of this view.
    int m_mouseState = 0; // 0 none, 1 pressed, 2 dragging
    int m_mouseWord = 0;
    int m_goalX = -1;
    int m_lastCaretRow = -1;
    int m_lastCaretCol = -1;
    int m_caretX = 0; // pixel x of the caret in its line
    EditPos m_wordStart = {-1, -1};
    EditPos m_wordEnd = {-1, -1};
    EditPos m_tripleClickPos = {-1, -1};
    int m_dblClickRunning = 0;
    RECT m_dropMark = {-1, -1, -1, -1};
    COleDropTarget* m_dropTarget = nullptr;
    int m_created = 0;

protected:
    afx_msg int OnCreate(LPCREATESTRUCT cs);
    afx_msg void OnDestroy();
    afx_msg void OnPaint();
    afx_msg BOOL OnEraseBkgnd(CDC* dc);
    afx_msg void OnSetFocus(CWnd* old);
    afx_msg void OnKillFocus(CWnd* next);
    afx_msg void OnLButtonDown(UINT flags, CPoint pt);
    afx_msg void OnLButtonUp(UINT flags, CPoint pt);
    afx_msg void OnLButtonDblClk(UINT flags, CPoint pt);
    afx_msg void OnMouseMove(UINT flags, CPoint pt);
    afx_msg void OnRButtonDown(UINT flags, CPoint pt);
    afx_msg void OnSize(UINT type, int cx, int cy);
    afx_msg void OnTimer(UINT_PTR id);
    afx_msg void OnKeyDown(UINT ch, UINT repeat, UINT flags);
    afx_msg void OnChar(UINT ch, UINT repeat, UINT flags);
    afx_msg UINT OnGetDlgCode();
    afx_msg void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
    afx_msg void OnVScroll(UINT code, UINT pos, CScrollBar* bar);

    DECLARE_MESSAGE_MAP()

public:
    // Painting internals.
    void PrepareBackground(HDC paintDC, int width, int height);
    void DropBackground();
    void FillBackground(HDC dc, const RECT& r, COLORREF color);
    void DrawAllRows(HDC dc, HDC visDC, const RECT& client);
    int DrawLine(HDC dc, HDC visDC, int hpos, int y, int line, const RECT& client);
    // visDC: the paint DC; segments outside its update region are skipped.
    void DrawRuler(HDC dc, const RECT& client, HDC visDC = nullptr);
    void DropMemorySurface();
    void DrawCurrentRowUnderline(HDC dc, const RECT& client);
    void InvalidatePaintCache();

    // Drag and drop.
    int StartDrag(CPoint pt);
    BOOL OnDropText(COleDataObject* data, DWORD effect, CPoint pt);
    DWORD OnDragOverText(COleDataObject* data, CPoint pt);
    bool AcceptsDrop(COleDataObject* data) const;
    void ShowDropPosition(CPoint pt);
    void HideDropPosition();

    // Helpers.
    bool HasOtherViews() const;
    void Broadcast(UINT msg, WPARAM wParam, LPARAM lParam);
    void NotifyParent(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    int DisplayRows() const;
    int RowOfLine(int line) const;
    int LineOfRow(int row) const;
    int RowStartOffset(int line, int rowInLine) const;
    int RowEndOffset(int line, int rowInLine) const;
    int LinePixelWidth(int line, int units, HDC dc);
    void AfterEdit(int oldLines, int oldRows, int firstLine, int lexChanged);
    void ResetCompletion() { m_completionIndex = -1; }
    // The position one character on, the next line's start after a line end.
    EditPos NextPosition(EditPos p) const;
    // After undo, redo or a drop: no selection, no completion, every view laid out again.
    void ShowBufferChange();
    void InvalidateCaretRow(int row);
};
#if defined(__clang__)
#pragma clang diagnostic pop
#endif

// Glue between the window and its drop target and painter.
bool edit_register_drop_target(CEditCtrl* w);
void edit_revoke_drop_target(CEditCtrl* w);
int edit_start_drag(CEditCtrl* w, CPoint pt);
int edit_draw_run_smooth(CEditCtrl* w, HDC dc, const char16_t* text, int n, const RECT& clip, COLORREF fg,
                         COLORREF bg);
void edit_draw_row_end(CEditCtrl* w, HDC dc, int line, int row, int rows, int y, int xEnd, const RECT& client,
                       bool endMatch);
void edit_mark_links(const char16_t* t, int length, CharAttr* attrs);
bool edit_marker_is_box(HGLOBAL h);
bool edit_block_text(HGLOBAL h, UINT format, CString* out);
bool edit_data_text(COleDataObject* data, CString* out);
bool edit_data_is_box(COleDataObject* data, UINT boxFormat);
