// Start-up of the Qt display backend, and the hooks test drivers use. No Qt
// type appears here: callers outside platform/qt include only this header.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <windows.h>

namespace qtplatform {

// Creates the application object (once) and installs the backend, the message
// box and the asynchronous key state. argc/argv may be null.
void Init(int* argc = nullptr, char** argv = nullptr);
bool Initialized();
// The display platform Init asks Qt for (what QT_QPA_PLATFORM would name),
// from the environment: QT_QPA_PLATFORM itself when it is set; on a Wayland
// session (WAYLAND_DISPLAY set, or XDG_SESSION_TYPE "wayland") that also
// offers an X display (DISPLAY set, as XWayland does), that X display, with
// Wayland when it cannot be reached; otherwise "": Qt's own choice.
std::string ChooseDisplayPlatform(const char* qpaPlatform, const char* waylandDisplay, const char* display,
                                  const char* sessionType);
std::string ChooseDisplayPlatform();

// Fills Qt's font database (fontconfig's set-up and the walk over every face)
// on a worker while the caller goes on setting itself up; the first text
// measured or drawn waits for it. FinishFontDatabase joins the worker: call
// it before the program ends.
void StartFontDatabase();
void FinishFontDatabase();

// Ends the program in order when the desktop or a terminal asks it to
// (SIGTERM, SIGHUP, SIGINT): its windows are destroyed as at a normal end,
// then the process exits with 128 + the signal's number. The program's main
// calls it once the display is up.
void EndOnSignals();

// Runs the default message loop until WM_QUIT; returns its exit code.
int Run();
// When TAVRELIX_SCREENSHOT names a file, the first top-level window shown is
// written there as PNG at its first idle and then closed.
void InstallScreenshotFromEnvironment();

// The Qt message box (installed by Init; tests install their recorder over it),
// and a click on a button (IDOK, IDYES, ...) of the innermost box now open.
void UseQtMessageBox();
bool AnswerOpenMessageBox(int id);

// An image of a window as shown (client, border, bars, children, caret),
// as 0xAARRGGBB pixels, row by row.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
Image Capture(HWND hwnd);
// What the display shows of a window now: its part of the picture last put
// on the screen for its top-level window (empty when there is none).
Image Shown(HWND hwnd);
bool SavePng(const Image& image, const std::string& path);
// The display's own common dialogs (file, folder, colour, font), as Init
// installs them; test drivers install their recorders over them.
void UseQtCommonDialogs();
// Calls this, from the dialog's modal loop, once the next common dialog the
// display shows is on the screen.
void WhenCommonDialogShown(std::function<void()> call);
// The common dialog now shown (the innermost): its image with what it holds,
// a click on its Cancel, and whether a window's host is laid inside it.
bool CaptureCommonDialog(Image* image);
bool CancelCommonDialog();
bool CommonDialogHolds(HWND hwnd);
// Whether a top-level window is kept above it (a list its panel opens).
bool KeptAboveCommonDialog(HWND hwnd);
// The texts of its visible push buttons, mnemonics included.
std::vector<std::u16string> CommonDialogButtons();
bool FamilyInstalled(const char16_t* family);
// How many of the code points' advances in the family at px pixels, as the
// font layer reads them from the face's tables, differ from Qt's design
// advances; -1 when the face has no tables to read them from.
int TableAdvanceMismatches(const char16_t* family, int px, bool bold, const std::u32string& cps);
// Whether the window's host is shown on the display (a 0 x 0 top-level is not).
bool IsMapped(HWND hwnd);
// Where the window's host is on the screen, as the display lays it out.
RECT ShownRect(HWND hwnd);
// The title the window manager shows for a top-level window's host.
std::u16string ShownTitle(HWND hwnd);
// The window a top-level window is kept above (its owner's, as the window
// manager's transient parent), or null.
HWND KeptAbove(HWND hwnd);
// The same for the innermost message box and common dialog now open.
HWND OpenMessageBoxKeptAbove();
HWND CommonDialogKeptAbove();
// The top-level window the display has made active (the one its keys go to), or null.
HWND ActiveTopLevel();
// Whether the window manager draws the window's caption and borders.
bool IsFramedByWindowManager(HWND hwnd);
// How many times the window's host was mapped on the display as a top-level
// window: once per showing, never again while it stays on the screen.
int TimesMapped(HWND hwnd);
// Puts plain text on the system clipboard, as another program would.
void SetSystemClipboardText(const std::u16string& text);

// Input as the windowing system delivers it, sent as events to the host widget.
enum class Mods : unsigned { None = 0, Shift = 1, Ctrl = 2, Alt = 4, Keypad = 8 };
inline Mods operator|(Mods a, Mods b) {
    return static_cast<Mods>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
// key: a Qt key code given as its numeric value (the Key enum's values are stable).
void SendKey(HWND target, int key, unsigned mods, const std::u16string& text, bool press,
             bool autoRepeat = false);
void SendMouse(HWND target, int x, int y, int button, unsigned mods,
               int kind); // kind: 0 press, 1 release, 2 move
void SendWheel(HWND target, int x, int y, int angleY, int angleX, unsigned mods);
// The display tells the program that its input went to another program.
void SendInputToOtherProgram();
// The window manager asks a top-level window to close (its close button),
// through the display's queue: the program takes it with its next events.
void AskToClose(HWND hwnd);
// The window manager moves a top-level window's host (its client area's
// corner to x, y on the screen), as a drag of its frame does.
void MoveByWindowManager(HWND hwnd, int x, int y);
// The window manager sizes a top-level window's host (its client area), as a
// drag of its frame's edge does, and maximises, minimises or restores it.
void ResizeByWindowManager(HWND hwnd, int width, int height);
// As the X window managers tell it, a maximised window minimised is both
// (Minimized keeps the maximised state) and shown again (ShownAgain, as by a
// click in a task bar) it is maximised again.
enum class ShownState { Normal, Maximized, Minimized, ShownAgain };
void SetStateByWindowManager(HWND hwnd, ShownState state);
// The same through the display's queue: the program takes it with its next events.
void PostStateByWindowManager(HWND hwnd, ShownState state);
// Whether the display holds a top-level window's host minimised, maximised.
bool ShownMinimized(HWND hwnd);
bool ShownMaximized(HWND hwnd);
// Mouse gestures on a window's scroll bar (bar SB_VERT/SB_HORZ, or SB_CTL for a bar control); x, y in the
// bar's own pixels.
void SendBarMouse(HWND hwnd, int bar, int x, int y, int kind);
// An input-method event (a preedit, a commit, or an empty preedit to cancel)
// to the host widget, as the system's input method sends it.
void SendInputMethod(HWND target, const std::u16string& preedit, const std::u16string& commit);
// An input-method event with the composition's clauses as the input method
// formats them: each clause [start, start + length) plain (underlined) or
// highlighted (the target), and its caret (cursor < 0: hidden).
struct PreeditClause {
    int start, length;
    bool highlighted;
};
void SendComposition(HWND target, const std::u16string& preedit, const std::vector<PreeditClause>& clauses,
                     int cursor);
// The composition window while it is shown: the window composing, its place
// on the screen and its picture.
bool ShownComposition(HWND* owner, RECT* screen, Image* image);
// The model input method of the tests (loaded when Qt's input-method module
// names it): whether it is loaded; turning it on or off for the focused
// window; whether its reset commits the composition (else drops it
// silently); its composition for the focused window; how often it was reset.
// On and off is for the top-level window of the window given (the focus
// window when null).
// The rectangle the focused window answers the input method for its
// cursor (where a candidate list opens), on the screen.
RECT InputMethodCursorRectangle();
bool ModelInputMethodLoaded();
void ModelInputMethodOn(HWND window, bool on);
void ModelInputMethodCommitsOnReset(bool commits);
std::u16string ModelInputMethodPreedit();
int ModelInputMethodResets();
// Geometry of a scroll bar's parts, in the bar's own pixels.
struct BarGeometry {
    RECT bar, groove, slider, subLine, addLine;
};
bool GetBarGeometry(HWND hwnd, int bar, BarGeometry* geometry);

// Qt key codes the tests use.
enum Key : int {
    Key_Escape = 0x01000000,
    Key_Tab = 0x01000001,
    Key_Backtab = 0x01000002,
    Key_Backspace = 0x01000003,
    Key_Return = 0x01000004,
    Key_Enter = 0x01000005,
    Key_Insert = 0x01000006,
    Key_Delete = 0x01000007,
    Key_Home = 0x01000010,
    Key_End = 0x01000011,
    Key_Left = 0x01000012,
    Key_Up = 0x01000013,
    Key_Right = 0x01000014,
    Key_Down = 0x01000015,
    Key_PageUp = 0x01000016,
    Key_PageDown = 0x01000017,
    Key_Shift = 0x01000020,
    Key_Control = 0x01000021,
    Key_Alt = 0x01000023,
    Key_F1 = 0x01000030,
    Key_F10 = 0x01000039,
    Key_Menu = 0x01000055,
    Key_unknown = 0x01ffffff,
};

} // namespace qtplatform

namespace qtplatform {

// The reference for text-drawing benchmarks: Qt's own QPainter::drawText of the
// same lines into a width x height image, `rounds` times; returns the ink count
// of the last round so that the work cannot be optimised away.
// The reference for the key-routing benchmark: `presses` Ctrl+Z on a
// QMainWindow with that many shortcut actions, toolbar buttons and status
// labels, each press followed by the buttons' and labels' update; returns the
// seconds taken and, in fired, the actions triggered.
double ActionReference(int presses, int actions, int buttons, int panes, long* fired);

long DrawTextReference(const std::vector<std::u16string>& lines, const char16_t* family, int pixelSize,
                       int lineHeight, int width, int height, int rounds);

} // namespace qtplatform

namespace qtplatform {

// What Qt's own check box paints as its indicator (check 0 off, 1 on, 2
// partly), size x size pixels over a background of 0xRRGGBB.
Image CheckBoxReference(int check, bool enabled, int size, uint32_t background);

// The reference for the list-view benchmark: a QTreeWidget of `columns`
// columns emptied and filled with `rows` rows of the given texts, updates off
// while filling, then drawn into an image once, `rounds` times. Returns the
// item count of the last round.
long FillTreeReference(const std::vector<std::vector<std::u16string>>& rows, int columns, int width,
                       int height, int rounds);

} // namespace qtplatform
