// Fixtures of the grid window suites, the demonstration and the benchmark: a
// generated editable model whose texts come from row and column (a million
// rows cost only the row records), a parent that records every GDN_*
// notification, and a 2 x 1 splitter whose panes each hold a grid.
#pragma once

#include <afxwin.h>

#include <cstdio>
#include <string>
#include <vector>

#include "grid/editgrid.h"
#include "grid/gridctrl.h"

// Column 0 is numeric ("ID", NOT NULL); column 1 is NULL in every seventh
// row; column 2 Japanese; column 3 holds double quotes; column 4 a TAB;
// column 5 a two-line LF text every 97 rows; the rest "r<row>c<col>".
class GeneratedGridData : public CEditableGridData {
public:
    int cols;
    std::vector<std::u16string> names;
    // Row r shows the texts of source row r + textBase (a small model can show
    // the texts of a large one's middle).
    int textBase = 0;

    GeneratedGridData(int rowCount, int colCount) : cols(colCount) {
        static const char16_t* const fixed[] = {u"ID", u"NAME", u"日本語", u"QUOTE", u"TABBED", u"MEMO"};
        for (int c = 0; c < colCount; ++c)
            names.push_back(c < 6 ? std::u16string(fixed[c]) : u"COL" + Num(c));
        SetupRows(rowCount, colCount);
    }

    static std::u16string Num(long long v) {
        std::string s = std::to_string(v);
        return std::u16string(s.begin(), s.end());
    }
    // The generated text of a row record's source row.
    static std::u16string Text(int row, int col) {
        switch (col) {
        case 0: return Num(row + 1);
        case 1: return row % 7 == 3 ? u"" : u"name" + Num(row);
        case 2: return u"日本語" + Num(row);
        case 3: return u"say \"hi\" " + Num(row);
        case 4: return u"a\tb" + Num(row);
        case 5: return row % 97 == 0 ? u"line" + Num(row) + u"\nnext" : u"memo" + Num(row);
        default: return u"r" + Num(row) + u"c" + Num(col);
        }
    }

    int GetKeyColCount() override { return 1; }
    int GetColCount() override { return cols; }
    const char16_t* GetColName(int col) override {
        return col >= 0 && col < cols ? names[static_cast<size_t>(col)].c_str() : u"";
    }
    const char16_t* GetDispColName(int col) override { return GetColName(col); }
    int GetColType(int, int col) override { return col == 0 ? 0 : 1; }
    int IsColNullable(int col) override { return col == 0 ? 0 : 1; }
    int GetColDataSize(int col) override { return col == 0 ? 8 : 12; }
    int GetMaxInputLen(int, int col) override { return col == 0 ? 10 : INT_MAX; }
    const char16_t* GetOriginalText(int row, int col) override {
        if (row < 0 || row >= GetRowCount() || col < 0 || col >= cols) return u"";
        GridRow* r = Row(row);
        if (r->flags & GROW_INSERTED) return u"";
        std::u16string& slot = m_ring[m_next++ % kRing];
        slot = Text(r->id + textBase, col);
        return slot.c_str();
    }
    int IsNull(int row, int col) override {
        const char16_t* t = GetText(row, col);
        return !t || !*t;
    }

private:
    static const int kRing = 16;
    std::u16string m_ring[kRing];
    unsigned m_next = 0;
};

// A parent window that records the notifications of its grid children.
struct GridNote {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

class NoteParent : public CWnd {
public:
    std::vector<GridNote> notes;
    BOOL Make(CWnd* parent, const RECT& r) {
        return CreateEx(0, nullptr, nullptr, WS_CHILD | WS_VISIBLE, r, parent, 1);
    }
    BOOL MakeTop(int w, int h) {
        return CreateEx(0, nullptr, u"grid", WS_OVERLAPPED | WS_VISIBLE, 0, 0, w, h, nullptr, nullptr);
    }
    int Count(UINT msg) const {
        int n = 0;
        for (const GridNote& g : notes) n += g.msg == msg;
        return n;
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if ((msg >= 0x8301 && msg <= 0x8340) || msg == WM_CONTEXTMENU)
            notes.push_back(GridNote{msg, wParam, lParam});
        return CWnd::WindowProc(msg, wParam, lParam);
    }
};

// Sets a grid up as the application's views do.
inline void SetUpGrid(CGridCtrl& grid, uint32_t extra = 0) {
    grid.SetGridStyle(GRS_COLHEADER | GRS_ROWHEADER | GRS_MULTISELECT | GRS_EDITKEYS | GRS_NULLCOLOR | extra,
                      1);
    grid.SetNullText(u"(null)");
}

// A splitter pane: a view holding one grid over the shared scroll bars.
class GridPaneView : public CView {
    DECLARE_DYNCREATE(GridPaneView)
public:
    CGridCtrl grid;
    std::vector<GridNote> notes;
    static CGridData* s_model;
    static uint32_t s_style;
    afx_msg int OnCreate(LPCREATESTRUCT cs);
    afx_msg void OnSize(UINT type, int cx, int cy);
    afx_msg void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
    afx_msg void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
    afx_msg void OnSetFocus(CWnd* old);
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    DECLARE_MESSAGE_MAP()
};

// Two panes of one model in a 2 x 1 static splitter.
class GridSplitFrame : public CWnd {
public:
    CSplitterWnd split;
    BOOL Make(CGridData* model, int w, int h, uint32_t style = 0);
    CGridCtrl& Pane(int i) { return static_cast<GridPaneView*>(split.GetPane(i, 0))->grid; }
};
