// The look a grid shares between its views: colours by index, the corner
// colour, the measuring data of the grid font and the header tooltip.
#pragma once

#include <afx.h>
#include <windows.h>

class CharWidthCache;

// Colour indexes of GridStyle::colors.
enum {
    GRID_BG_COLOR = 0,
    GRID_HEADER_BG_COLOR = 1,
    GRID_LINE_COLOR = 2,
    GRID_SELECT_COLOR = 3,
    GRID_DELETE_COLOR = 4,
    GRID_INSERT_COLOR = 5,
    GRID_UPDATE_COLOR = 6,
    GRID_UNEDITABLE_COLOR = 7,
    GRID_TEXT_COLOR = 8,
    GRID_NULL_CELL_COLOR = 9,
    GRID_MARK_COLOR = 10,
    GRID_HEADER_LINE_COLOR = 11,
    GRID_CURSOR_COLOR = 12,
    GRID_HIDDEN_COL_COLOR = 13,
    GRID_SEARCH_COLOR = 14,
    GRID_CUR_ROW_TEXT_COLOR = 15,
    GRID_COLOR_COUNT = 16,
};

// Timer of a shown tip that watches the pointer.
enum { GRID_TIP_TIMER = 0x8063 };

struct GridTip {
    CString text;
    HWND wnd = nullptr;
    RECT area{};     // the header cell in screen coordinates
    int offsetX = 0; // added to the area's top-left corner when placed
    int offsetY = 0;
    int width = 0; // measured text plus margins
    int height = 0;
    COLORREF bkColor = RGB(255, 255, 224);
    COLORREF textColor = 0;
    HFONT font = nullptr;
    int shown = 0;
    HWND owner = nullptr;
};

class GridStyle {
public:
    COLORREF colors[GRID_COLOR_COUNT];
    COLORREF cornerColor = static_cast<COLORREF>(-1); // -1: the header colour
    GridTip tip;
    CharWidthCache* measure = nullptr; // owned; null until the font is measured
    int ready = 0;

    // Sets the defaults. No window is made here.
    GridStyle();
    ~GridStyle();
    GridStyle(const GridStyle&) = delete;
    GridStyle& operator=(const GridStyle&) = delete;

private:
    int m_tipFailed = 0;
    int m_textWidth = 0;

public:
    // Registers the tip's window class once per process and makes the popup
    // when there is none yet: true when the tip has a window. A failure only
    // disables the tip; it is not tried again.
    bool EnsureTipWindow();
    // Measures the tip text into tip.width and tip.height (text + margins).
    void MeasureTip();
    // The grid window's show sequence: text, font and owner are set, the text
    // measured, and when the pointer is inside the header cell area (screen
    // coordinates) and the area is narrower than the text the tip is shown
    // over it without activation. 1 when shown.
    int ShowTip(HWND owner, const char16_t* text, HFONT font, const RECT& area);
    // Hides a shown tip: flag cleared, timer killed, window hidden.
    void HideTip();
};

// Tints a colour: the strongest channel stays, the others are multiplied by
// factor (all three when they are equal); channels are capped at 255.
COLORREF TintColor(COLORREF color, double factor);

// The tip window's procedure.
LRESULT TipWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Test seam: when set and returning false, making the tip window fails.
extern bool (*gridtip_create_hook)();
