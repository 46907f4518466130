// CGridData: the model behind every grid window, and a dummy model of 100
// columns by 1000 rows. It also holds what all views of a model share: the
// cursor, the selection, the column widths, the style and the filter.
#pragma once

#include <afx.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "base/textfile.h"
#include "grid/gridstyle.h"

struct Regex;
class UndoBuffer;
class CGridData_Filter;
struct GridFilterCond;

// Cancel state of a progress dialog: 0 running, 1 cancel, 2 while it asks.
using GridCancelState = std::atomic<int>;

// The measuring data the column-width fitting and painting use: the advance
// of a character and the character spacing.
class GridMeasurer {
public:
    virtual ~GridMeasurer() = default;
    // Width in pixels of code point cp (dc may be null).
    virtual int CharWidth(HDC dc, uint32_t cp) = 0;
    virtual int Spacing() const = 0;
    // Characters at least this wide get the spacing twice; 0 never.
    virtual int WideThreshold() const = 0;
};

// Statistics kinds of the status bar.
enum { GRID_CALC_SUM = 0, GRID_CALC_AVG = 1, GRID_CALC_MAX = 2, GRID_CALC_MIN = 3, GRID_CALC_ROWS = 4 };

class CGridData {
public:
    // A per-cell text transformation applied over the selection.
    class CGridUpdateProcess {
    public:
        virtual ~CGridUpdateProcess() = default;
        virtual CString MakeText(const char16_t* old) = 0;
    };

    COLORREF m_textColor = 0;
    int m_curCol = 0;
    int m_curRow = 0;
    int m_selDrag = 0;
    int m_selKind = 0;
    int m_anchorCol = 0;
    int m_anchorRow = 0;
    POINT m_sel1{0, -1}; // (column, row); row -1: no selection
    POINT m_sel2{0, -1};
    HWND m_views[4] = {};
    char16_t m_rowHeader[100] = {};
    std::vector<uint16_t> m_colWidths; // bit 15 shown, bits 0-14 pixels
    GridStyle m_style;
    GridStyle* m_styleInUse = &m_style;
    int m_filtered = 0;
    CGridData_Filter* m_filter = nullptr;

    CGridData();
    virtual ~CGridData();
    CGridData(const CGridData&) = delete;
    CGridData& operator=(const CGridData&) = delete;

    virtual int GetColCount();
    virtual int GetRowCount();
    virtual const char16_t* GetText(int row, int col);
    virtual const char16_t* GetDispText(int row, int col);
    virtual const char16_t* GetEditText(int row, int col);
    virtual const char16_t* GetCopyText(int row, int col);
    // 1 when the cell's edit text is less than its value: the read of the
    // value stopped short of it (asked after GetEditText).
    virtual int IsValueCut(int row, int col);
    virtual int GetTextLength(int row, int col, int countFlag, uint32_t ch);
    virtual int IsNull(int row, int col);
    virtual const char16_t* GetColName(int col);
    virtual const char16_t* GetDispColName(int col);
    virtual int GetColDataSize(int col);
    virtual int GetColScale(int col);
    virtual int GetColType(int row, int col);
    virtual int IsColNullable(int col);
    virtual int IsEditable();
    virtual int GetMaxInputLen(int row, int col);
    virtual int InsertRows(int afterRow, int count);
    virtual int DeleteRows(int first, int last);
    virtual int DeleteNullRows(int allRows);
    virtual void SetAreaText(POINT a, POINT b, const char16_t* text, int length);
    virtual int SetText(int row, int col, const char16_t* text, int length);
    virtual int IsCellEditable(int row, int col);
    virtual int GetMaxColWidth(int col, int limit, GridMeasurer* m, GridCancelState* cancel);
    virtual int GetMaxColWidthTrim(int col, int limit, GridMeasurer* m, GridCancelState* cancel);
    virtual void BeginUndoGroup();
    virtual void EndUndoGroup();
    virtual UndoBuffer* GetUndoBuffer();
    virtual int IsInsertedRow(int row);
    virtual int IsUpdatedRow(int row);
    virtual int IsDeletedRow(int row);
    virtual int IsCellModified(int row, int col);
    virtual int IsNullRow(int row);
    virtual int CanUndo();
    virtual int CanRedo();
    virtual int Undo();
    virtual int Redo();
    // 0 pasted (or nothing to paste); 1 refused because the text has more
    // lines than there are rows to take them, with nothing changed.
    virtual int PasteText(const char16_t* text);
    virtual int CanInsertRows();
    virtual int IsRowEditable(int row);
    virtual const char16_t* GetOriginalText(int row, int col);
    virtual int GetRowHeaderWidth();
    virtual const char16_t* GetRowHeaderText(int row);
    virtual COLORREF GetTextColor(int row, int col);
    virtual COLORREF GetColHeaderTextColor(int col);
    virtual int HasCellBkColor(int row, int col);
    virtual COLORREF GetCellBkColor(int row, int col);
    virtual int FindColumn(int startCol, int* outCol, int direction, int includeStart, Regex* regex);
    virtual int HasCursor();
    virtual void SetColWidth(int col, int width);
    virtual int GetColWidth(int col);
    virtual void AddView(HWND wnd);
    virtual void RemoveView(HWND wnd);
    virtual const char16_t* GetErrorMessage();
    virtual void Sort(const int* cols, const int* dirs, int keyCount);
    virtual const char16_t* GetColTypeName(int col);
    virtual int SetFilter(int col, const char16_t* pattern, int matchCase, int matchWidth, int isRegex,
                          int* count, CString* err, int requireMatch);
    virtual void ClearFilter();
    virtual int CanMarkRows();
    virtual void ClearRowMark(int row);
    virtual void SetRowMark(int row);
    virtual int IsRowMarked(int row);
    virtual void SwapRows(int a, int b);
    virtual void DeleteFilter();

    // Non-virtual helpers.
    void AllocColumnWidths();
    void SetCursor(int row, int col);
    int IsCursorInData();
    void BroadcastToViews(HWND sender, UINT msg, WPARAM wParam, LPARAM lParam);
    int FindCell(POINT start, POINT* out, int direction, int wrap, int* wrapped, int includeStart,
                 int selOnly, Regex* regex);
    // Pixels of text (up to end, or the first CR or LF, or the NUL), at most
    // limit.
    int MeasureText(const char16_t* text, int limit, HDC dc, GridMeasurer* m, const char16_t* end);
    // True when the selection covers more than one cell.
    bool HasSelection() const;

    // Cell processes: the number of cells changed.
    int ExecUpdateProcess(CGridUpdateProcess* process);
    int ToUpper();
    int ToLower();
    int ToHankaku(int ascii, int kana);
    int ToZenkaku(int ascii, int kana);
    void InputSequence(int64_t start, int64_t step);

    // Statistics of the status bar.
    CString GetCalcText(int type, POINT a, POINT b);
    double GetCalcValue(int type, POINT first, POINT last, POINT* cell, int* decimals);
    static CString FormatThousands(double value, int decimals, const char16_t* text);

    // Writes every row to a CSV (kind 0) or TAB-separated (kind 1) file: 1, or
    // 0 with err set. replaced receives the characters the code could not hold.
    // replaced: the characters the code could not hold; cut: the values
    // written as the model holds them although their read stopped short.
    int ExportToFile(const char16_t* path, CharCode code, LineEndCode lineEnd, int sepKind, int withNames,
                     int withQuotes, CString* err, int* replaced = nullptr, int* cut = nullptr);

    // The order the rows take after a sort on the keys: out[i] is the row that
    // goes to place i. Each key of each row is read once.
    void ComputeSortOrder(const int* cols, const int* dirs, int keyCount, std::vector<int32_t>* out);
    // Moves the rows to the order (through SwapRows, one exchange per row out
    // of place).
    void ApplyOrderBySwaps(const std::vector<int32_t>& order);

    // Rewrites the filter's row map from the row marks while filtered.
    void RefreshFilterMap();

protected:
    // The area and paste algorithms over this model's own operations.
    void SetAreaTextOver(POINT a, POINT b, const char16_t* text, int length);
    // swapped: the swapped view's rules (no widening, repeat when no LF).
    int PasteTextOver(const char16_t* text, bool swapped = false);
    // Formats the row header of an editable row state into m_rowHeader.
    const char16_t* FormatStateRowHeader(int row, int sourceRow, CGridData* states);
};

// Test seam for the paste's field buffer: when it returns false the buffer
// counts as not allocated.
extern bool (*grid_paste_alloc_hook)(size_t bytes);

class CharWidthCache;
class LazyClientDC;

// The measurer over a font's width cache.
class CacheGridMeasurer : public GridMeasurer {
public:
    CacheGridMeasurer(CharWidthCache* cache, LazyClientDC* lazy) : m_cache(cache), m_lazy(lazy) {}
    int CharWidth(HDC dc, uint32_t cp) override;
    int Spacing() const override;
    int WideThreshold() const override;

private:
    CharWidthCache* m_cache;
    LazyClientDC* m_lazy;
};
