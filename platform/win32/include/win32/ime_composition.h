// The composition as the input method shows it (its clauses, their
// attributes and its caret), the hooks by which the display backend learns
// of changes and resets its input method, and the font the composition is
// drawn in. For the display backend and the tests; programs use the Imm
// calls of win32/ime.h.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "win32/ime.h"

#define GCS_COMPATTR 0x0010
#define GCS_COMPCLAUSE 0x0020
#define GCS_CURSORPOS 0x0080
#define ATTR_INPUT 0x00
#define ATTR_TARGET_CONVERTED 0x01
#define ATTR_CONVERTED 0x02
#define ATTR_TARGET_NOTCONVERTED 0x03

namespace win32bk {

// A composition: the text, one ATTR_* per unit, the clause starts (from 0,
// ascending; the text's length is added last), and its caret.
struct Composition {
    std::u16string text;
    std::vector<BYTE> attrs;
    std::vector<DWORD> clauses;
    int cursor = 0;
    bool cursorShown = true;
};
// One clause of input, its caret at the end.
Composition PlainComposition(const std::u16string& text);

// The window's composition now (empty text when it has none), its clauses
// ending with the text's length.
Composition CurrentComposition(HWND hwnd);
// The composition area of the window (CFS_RECT), when it set one.
bool ImeCompositionArea(HWND hwnd, RECT* area);

void ImePreedit(HWND host, const Composition& composition);

// The font the composition is drawn in: the one set with
// ImmSetCompositionFontW, else the window's own (WM_GETFONT), else the
// default GUI font.
LOGFONTW ImeDrawingFont(HWND hwnd);
// Called after a window's composition, its composition window or its font
// changed: the backend shows the composition again.
void SetImeChangedHook(std::function<void(HWND)> hook);

} // namespace win32bk
