// The part of a text buffer that concerns its views: the selection, the
// registered view windows and the broadcast to them, the colour table, the
// pens and caret bitmap, the character-width cache and the word-wrap index.
#pragma once

#include <windows.h>

#include "editor/textdraw.h"

#include <climits>
#include <cstdint>

// A buffer position: column in UTF-16 units, line index.
struct EditPos {
    int32_t col;
    int32_t line;
};

inline bool operator==(const EditPos& a, const EditPos& b) {
    return a.col == b.col && a.line == b.line;
}
inline bool operator<(const EditPos& a, const EditPos& b) {
    return a.line < b.line || (a.line == b.line && a.col < b.col);
}

class CEditData;

// Attribute of one UTF-16 unit of a painted line.
struct CharAttr {
    COLORREF color;
    uint8_t cls;   // 0 text, 1 tab, 2 ideographic space, 3 end of line, 4 space
    uint8_t flags; // 1 selected, 2 search match, 4 link, 8 matching bracket
    bool operator==(const CharAttr& o) const { return color == o.color && cls == o.cls && flags == o.flags; }
};

// The painting code's per-line attribute cache: a line's entry is
// line index modulo the entry count.
struct LinePaintEntry {
    int32_t capacity = 0;
    CharAttr* attrs = nullptr;
    const void* line = nullptr; // the line record it was built for
    int32_t index = -1;
    int32_t count = 0;
    uint32_t carried = 0; // lexical flags and depth it was coloured with
    int32_t depth = 0;
};

struct LinePaintCache {
    static constexpr int kEntries = 128;
    LinePaintEntry entries[kEntries];
    LinePaintCache() = default;
    ~LinePaintCache();
    LinePaintCache(const LinePaintCache&) = delete;
    LinePaintCache& operator=(const LinePaintCache&) = delete;
    LinePaintEntry& For(int line) { return entries[static_cast<unsigned>(line) % kEntries]; }
    // Unbinds every entry.
    void InvalidateAll();
};

class CEditDispData {
public:
    CEditDispData();
    ~CEditDispData();
    CEditDispData(const CEditDispData&) = delete;
    CEditDispData& operator=(const CEditDispData&) = delete;

    // Stores the window in the first free slot; its index, or -1 when all four
    // slots are taken.
    virtual int RegisterView(HWND hwnd);
    virtual void UnregisterView(HWND hwnd);
    // Sends the message to every registered view but the sender, in slot order.
    void SendToViews(HWND sender, UINT msg, WPARAM wParam, LPARAM lParam);
    void ClearSelection();
    // The caret bitmap for the size and colour key, filled with colour 3 XOR
    // colour 11; the last one is kept while they stay the same. Null when no
    // DC or bitmap can be made.
    HBITMAP MakeCaretBitmap(int width, int height, COLORREF key);

    bool HasSelection() const { return m_selStart.line != -1; }

    int32_t* m_rowIndex = nullptr;
    int32_t m_rowIndexSize = 0;
    int32_t m_layout[5] = {0, 0, 0, 0, INT_MAX};
    int32_t m_wrapWidth = INT_MAX;
    int32_t m_viewState0 = 0;
    EditPos m_mouseAnchor = {-1, -1};
    EditPos m_mouseCurrent = {-1, -1};
    EditPos m_selStart = {-1, -1};
    EditPos m_selEnd = {-1, -1};
    int32_t m_boxX[2] = {0, 0}; // anchor and moving edge of a box selection
    int32_t m_boxMode = 0;
    int32_t m_viewState1 = 0;
    int32_t m_viewState2 = 0;
    LazyClientDC* m_clientDC = nullptr; // measuring DC when no paint DC is at hand
    HWND m_views[4] = {};
    int32_t m_viewState3 = 0;
    HBITMAP m_caretBitmap = nullptr;
    CEditData* m_owner = nullptr;
    LinePaintCache m_paintCache;
    int32_t m_viewState4 = 1;
    EditPos m_viewPos[2] = {{-1, -1}, {-1, -1}};
    EditPos m_bracket[2] = {{-1, -1}, {-1, -1}}; // the two highlighted matching brackets
    int32_t m_viewState5[3] = {-1, -1, -1};
    int32_t m_caretWidth = -1;
    int32_t m_caretHeight = -1;
    COLORREF m_caretKey = 0;
    COLORREF m_colors[16]; // 0x00BBGGRR; 3 the background, 11 the caret
    HPEN m_pens[2] = {nullptr, nullptr};
    int32_t m_viewState6 = 0;
    CharWidthCache m_widths;
};

// Pixel width of the first n units of text (n < 0: up to the NUL), with the
// display data's widths and tab stops.
int textdraw_text_width(const char16_t* text, CEditDispData* disp, HDC dc, int n);
// Number of units of the text left of x: a character counts from its middle on.
int textdraw_column_at_x(const char16_t* text, CEditDispData* disp, HDC dc, int x);

#ifndef EDM_UPDATEMODIFIED
#define EDM_UPDATEMODIFIED 0x8217
#endif
