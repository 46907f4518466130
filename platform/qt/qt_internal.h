// Classes of the Qt backend shared by its source files.
#pragma once

#include <QFont>
#include <QPainter>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QRawFont>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>
#include <unordered_map>

#include "display/display.h"
#include "win32/backend.h"

namespace qtbk {

// An image of RGB32 pixels for a surface, a window-sized one in memory that
// is kept for the next surface of its size once the image is gone.
QImage MakeSurfaceImage(int width, int height);

class QtSurface : public win32bk::Surface {
public:
    QtSurface(int w, int h, bool white = true) : image(MakeSurfaceImage(w, h)) {
        if (white) image.fill(Qt::white);
    }
    int Width() const override { return image.width(); }
    int Height() const override { return image.height(); }
    QImage image;
};

class HostWidget;

// A non-client scroll bar: input is taken over, the bar never moves itself.
class BarFilter : public QObject {
public:
    BarFilter(HWND hwnd, int bar, QObject* parent) : QObject(parent), hwnd_(hwnd), bar_(bar) {}
    bool eventFilter(QObject* obj, QEvent* ev) override;
    void Gesture(QScrollBar* sb, int kind, QPoint pos); // kind: 0 press, 1 release, 2 move
    // The right or middle button on the bar: the window's button message there.
    void OtherButton(QScrollBar* sb, QMouseEvent* ev, bool down);

private:
    HWND hwnd_;
    int bar_;
    bool dragging_ = false;
    int grab_ = 0;
};

class HostWidget : public QWidget {
public:
    HostWidget(HWND hwnd, QWidget* parent);
    HWND hwnd() const { return hwnd_; }
    // The client area's image, made (or remade) at the client size when first
    // asked for after a change of size: a window resized several times while
    // it is laid out makes it once.
    QtSurface* Buffer();
    void SyncFromRecord();
    // A top-level window laid inside a widget of the display (the file
    // dialog's panel): it stays a child widget there, at the place its
    // window rectangle gives in screen coordinates.
    void SetEmbedded(bool embedded) { embedded_ = embedded; }
    bool Embedded() const { return embedded_; }
    QPoint ClientOrigin() const { return QPoint(view_.client.left, view_.client.top); }
    QScrollBar* Bar(int bar) { return bar == SB_HORZ ? hbar_ : vbar_; }
    // How many times the window was mapped on the display (shown as a top-level window).
    int TimesMapped() const { return mappings_; }
    // Tells the window's record the top-level geometry the display gave it,
    // and the window manager's maximised and minimised state.
    void TellGeometry();
    void TellState();
    // The menu bar painted again on the screen.
    void UpdateMenuBar();
    void RaiseBars() {
        if (vbar_ && vbar_->isVisibleTo(this)) vbar_->raise();
        if (hbar_ && hbar_->isVisibleTo(this)) hbar_->raise();
    }

protected:
    bool event(QEvent* ev) override;
    void paintEvent(QPaintEvent* ev) override;
    void keyPressEvent(QKeyEvent* ev) override;
    void keyReleaseEvent(QKeyEvent* ev) override;
    void mousePressEvent(QMouseEvent* ev) override;
    void mouseReleaseEvent(QMouseEvent* ev) override;
    void mouseDoubleClickEvent(QMouseEvent* ev) override;
    void mouseMoveEvent(QMouseEvent* ev) override;
    void wheelEvent(QWheelEvent* ev) override;
    void closeEvent(QCloseEvent* ev) override;
    void resizeEvent(QResizeEvent* ev) override;
    void moveEvent(QMoveEvent* ev) override;
    void changeEvent(QEvent* ev) override;
    bool focusNextPrevChild(bool) override { return false; }
    void inputMethodEvent(QInputMethodEvent* ev) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void dragEnterEvent(QDragEnterEvent* ev) override;
    void dragMoveEvent(QDragMoveEvent* ev) override;
    void dragLeaveEvent(QDragLeaveEvent* ev) override;
    void dropEvent(QDropEvent* ev) override;

private:
    void Key(QKeyEvent* ev, bool down);
    Qt::WindowFlags TopLevelFlags() const;
    // True when the window manager is asked to restore the window.
    bool SyncTopLevel(QSize size);
    void PaintMenuBar(QPainter& p);
    void Mouse(QMouseEvent* ev, int kind);
    QScrollBar* MakeBar(int bar, Qt::Orientation o);
    void SyncBar(QScrollBar* sb, const win32bk::BarState& st, const RECT& r, Qt::Orientation o);

    HWND hwnd_;
    win32bk::HostView view_{};
    std::unique_ptr<QtSurface> buffer_;
    QSize bufferSize_{1, 1};
    QScrollBar* vbar_ = nullptr;
    QScrollBar* hbar_ = nullptr;
    bool syncing_ = false;
    bool embedded_ = false;
    // The top-level kind last given to the display.
    Qt::WindowFlags flags_{};
    bool flagsSet_ = false;
    int mappings_ = 0;
    // The record's WS_MAXIMIZE and WS_MINIMIZE when it and the display last agreed.
    DWORD agreedState_ = 0;
};

HostWidget* HostOf(HWND hwnd);
// The composition window shown again for the window's composition (hidden
// when it has none); null: the window shown now, placed again.
void RefreshComposition(HWND hwnd);
// The composition's caret on the screen while the window's composition is shown.
bool CompositionCaret(HWND hwnd, QRect* screen);
// The composition window drawn over a picture of a widget where it covers it.
void OverlayComposition(QWidget* w, QPixmap* picture);
// The window whose host is that top-level window of the display, or null.
HWND WindowOfTopLevel(const QWindow* top);
// A dialog of the display's own (a message box, a file dialog) made a
// transient of the top-level window of the owner, which the window manager
// keeps it above; call before it is shown.
void KeepAboveOwner(QWidget* dialog, HWND owner);
// A region of the window system as Qt's.
QRegion ToQRegion(const win32bk::Region& r);
// The window as drawn, and that picture as plain pixels.
QPixmap Grab(HWND hwnd);
qtplatform::Image ToImage(const QPixmap& pixmap);
// On xcb: whether the X server has the key down (false when it cannot say),
// and the lock toggles taken into the tracked key state.
// While the UI thread is held away from its loop (ThreadHeld), a press seen
// since it left counts as down once; ForgetKeyPresses, as the thread comes
// back, drops the presses seen meanwhile.
bool XKeyDown(int vk, bool* down);
void ForgetKeyPresses();
void SyncLockKeysFromX();
// On xcb: the window's WM_TRANSIENT_FOR set to the parent (removed for
// null) on the server at once, as for a window already mapped.
void SetTransientForOnServer(QWindow* window, QWindow* parent);
UINT VirtualKey(int key, Qt::KeyboardModifiers mods, const QString& text, bool* extended);
int EventDepth();

// The display while the UI thread is held by a long run of the program's own
// (busydisplay.cpp). WatchEvents (at start-up) notes each event the thread
// takes. ServePicturesWhileHeld, from a poll of that run, lets the display
// repaint the windows from their buffers once the thread has taken no event
// for a while; what else the display told meanwhile is told when InLoop (the
// thread back in its loop) comes.
void WatchEvents();
// The object other threads post their wakes to (platform/qt/backend.cpp).
QObject* WakeTarget();
void ServePicturesWhileHeld();
bool ServingPicturesOnly();
void InLoop();
// The UI thread has been away from its loop long enough to be held by a run.
bool ThreadHeld();
// Another thread's send to be served once the thread is back in its loop.
void HoldBackSends();
// The application became active or went to another program.
void ApplicationStateChanged(Qt::ApplicationState state);

// Fonts.
std::shared_ptr<win32bk::FontFace> RealizeFont(const LOGFONTW& lf);
void DrawGlyphs(QImage& image, const win32bk::Region& clip, win32bk::FontFace* face,
                const win32bk::GlyphRun& run, COLORREF color);
// A menu bar item's text centred in r, its "&" mnemonic underlined, in the
// face the menus are measured in (DEFAULT_GUI_FONT), through the same glyph
// path as the windows' text.
void DrawMenuText(QPainter& p, const QRect& r, const std::u16string& text, const QColor& color);
const QStringList& InstalledFamilies();
bool GlyphAlphaMap(win32bk::FontFace* face, char32_t cp, std::vector<uint8_t>* alpha, int* width, int* height,
                   int* originX, int* originY, int* advance);

void InstallMessageBox();
void InstallCommonDialogs();
// The common dialog now shown: its image, a Cancel, whether it holds the
// window's host; and a call made once the next one is shown.
bool CaptureShownCommonDialog(QImage* image);
bool CancelShownCommonDialog();
bool ShownCommonDialogHolds(HWND hwnd);
std::vector<std::u16string> ShownCommonDialogButtons();
bool KeptAboveShownCommonDialog(HWND hwnd);
HWND ShownCommonDialogKeptAbove();
HWND OpenBoxKeptAbove();
void WhenCommonDialogShown(std::function<void()> call);

// The style option describing a scroll bar's current state, for hit tests and
// geometry of its parts.
QStyleOptionSlider ScrollBarOption(QScrollBar* sb);

// Milliseconds since the process started. When TAVRELIX_SPAWN_NS holds the
// spawner's CLOCK_MONOTONIC nanoseconds at the spawn, the time is counted on
// that clock from there (to the microsecond); otherwise from the start time in
// /proc, which moves in clock ticks (10 ms). -1 when unknown.
double MillisecondsSinceStart();

} // namespace qtbk
