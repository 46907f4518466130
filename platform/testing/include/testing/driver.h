// Drivers for tests of windows: the offscreen display, a fake clock, message
// box answers, input injection, an ExtTextOutW trace and window captures.
// Nothing of Qt appears here.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "display/display.h"
#include "win32/backend.h"
#include "win32/clipboard.h"
#include "win32/dragdrop.h"

namespace tvtest {

// Sets the offscreen platform at 96 DPI, starts the display backend and the
// fake clock, and installs the message-box recorder. Stops with a message
// when the pinned fonts are missing.
void Init();

// Handles everything pending (sends, posts, paints, due timers) without waiting.
void Pump();
// Moves the fake clock on by ms, firing due timers in order.
void Advance(unsigned ms);

// Message boxes. Their answers join the one ordered queue that modal
// dialogs (ExpectDialog) and the common dialogs (AnswerFile, ...) share:
// queue answers in the order the program asks. An answer of another kind at
// the front fails the test, naming what was asked and what was queued, and
// the box gets IDCANCEL. Answers queued inside a callback of an answer (a
// dialog's poll) go ahead of those queued before it: they answer what that
// dialog asks.
struct Box {
    HWND owner;
    std::u16string caption;
    std::u16string text;
    UINT flags;
};
// An answer given at once.
void AnswerBox(int id);
// An answer decided inside the box's running loop: polled until it returns an id.
void AnswerBoxWith(std::function<std::optional<int>(const Box&)> poll);
const std::vector<Box>& Boxes();
// Forgets the boxes shown and the box answers still queued.
void ClearBoxes();
int Beeps();

// Keys: Qt key codes (qtplatform::Key_*, or characters' codes such as 'A').
void KeyDown(HWND host, int key, unsigned mods = 0, const std::u16string& text = u"");
void KeyUp(HWND host, int key, unsigned mods = 0);
void Key(HWND host, int key, unsigned mods = 0, const std::u16string& text = u"");
// Types each code point as a key carrying that text.
void Type(HWND host, const std::u16string& text);

// Mouse, in client coordinates of host. button: 0 left, 1 right, 2 middle.
void MouseDown(HWND host, int x, int y, int button = 0, unsigned mods = 0);
void MouseUp(HWND host, int x, int y, int button = 0, unsigned mods = 0);
void MouseMove(HWND host, int x, int y, unsigned mods = 0);
void Click(HWND host, int x, int y, int button = 0, unsigned mods = 0);
void Wheel(HWND host, int x, int y, int angleY, int angleX = 0, unsigned mods = 0);

// Scroll-bar gestures (bar SB_VERT, SB_HORZ, or SB_CTL for a bar control), in the bar's pixels.
qtplatform::BarGeometry BarParts(HWND hwnd, int bar);
void BarDown(HWND hwnd, int bar, int x, int y);
void BarMove(HWND hwnd, int bar, int x, int y);
void BarUp(HWND hwnd, int bar);

// ExtTextOutW calls, recorded while on.
void TraceTextOut(bool on);
std::vector<win32bk::TextOutRecord>& TextOuts();

// Input method, through the host widget's input-method events.
void ImePreedit(HWND host, const std::u16string& text);
void ImeCommit(HWND host, const std::u16string& text);
void ImeCancel(HWND host);
void ImeSetOpen(HWND host, bool open);
// The reconversion request: WM_IME_REQUEST with lParam 0, then a zeroed
// block of the size answered. The selected text, or nothing when refused
// or the answer's offsets do not lie in the block.
std::optional<std::u16string> ImeReconvert(HWND hwnd);
POINT ImeCompositionPoint(HWND hwnd);
bool ImeCompositionFont(HWND hwnd, LOGFONTW* font);
// A composition of clauses as an input method formats them, its caret at
// cursor (< 0: hidden).
void ImeCompose(HWND host, const std::u16string& text, const std::vector<qtplatform::PreeditClause>& clauses,
                int cursor);
// The composition window while shown: the composing window, its place on
// the screen, its picture.
bool ShownComposition(HWND* owner, RECT* screen, qtplatform::Image* image);

// The model input method: a Qt input context of the tests' own that turns
// the keys sent to the windows into compositions as a desktop input method
// does (romaji, conversion, commits, drops). UseModelInputMethod before the
// first Init of the program loads it; it is off in every top-level window
// until ModelImeOn is called for it (the window with the focus by default),
// as the user switches it on there.
void UseModelInputMethod();
bool ModelImeLoaded();
void ModelImeOn(bool on = true, HWND window = GetFocus());
// Whether its reset commits the composition (the default) or drops it silently.
void ModelImeCommitsOnReset(bool commits);
std::u16string ModelImePreedit();
int ModelImeResets();

// Drags: the steps run inside the next DoDragDrop in place of the drag.
void DragScript(std::vector<win32bk::DragStep> steps);
// A drop from another program: enter, over and drop at (x, y); the effect.
DWORD ForeignDrop(HWND hwnd, int x, int y, const win32bk::ClipFormats& formats, DWORD keyState = 0);

// Clipboard contents as another program would put them, failure seams and
// the count of live global blocks.
void SetClipboard(const win32bk::ClipFormats& formats);
void FailNext(win32bk::ClipFailure what);
int LiveGlobalBlocks();

// The shell: every ShellExecuteW's verb and file, recorded while on (nothing is opened).
struct ShellCall {
    std::u16string verb, file;
};
void RecordShell(bool on);
const std::vector<ShellCall>& ShellCalls();

qtplatform::Image Capture(HWND hwnd);
bool SavePng(HWND hwnd, const std::string& path);

} // namespace tvtest
