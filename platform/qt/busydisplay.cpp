// The display while the UI thread is held by a long run of the program's own
// (a script polls its cancel key between procedure applications, and reads
// no messages): the windows keep the pictures last painted into them. Such a
// poll, once the thread has been away from its loop for a while, lets the
// display have what it asks for to show them (an area uncovered by a window
// that closed, a window mapped again) and nothing else: input stays queued,
// and what the display would tell the program (a close, a move or resize or
// a new state (maximised, minimised, restored) given by the window manager,
// the input going to another program, another thread's send) is told when
// the thread is back in its loop. No window procedure runs meanwhile: the
// pictures come from the windows' buffers as they are.
#include <QApplication>
#include <QCloseEvent>
#include <QWindow>
#include <QEvent>
#include <QScreen>

#include <algorithm>
#include <chrono>
#include <vector>

#include "qt_internal.h"
#include "win32/msgbox.h"
#include "win32/window.h"

namespace qtbk {

namespace {

using Clock = std::chrono::steady_clock;
// How long the thread is away from its loop before the display is served,
// and how often it is served while the thread stays away.
constexpr auto kHeld = std::chrono::milliseconds(100);

// When the thread last took an event from the display or was in its loop,
// when it was last in its loop, and when the display was last served.
Clock::time_point g_active = Clock::now();
Clock::time_point g_inLoop = Clock::now();
Clock::time_point g_served;
bool g_serving = false;

// What the display told while only its pictures were served.
struct HeldBack {
    std::vector<HWND> closed;
    std::vector<HWND> states;
    std::vector<HWND> moved;
    bool applicationState = false;
    bool sends = false;
};
HeldBack g_held;

void Note(std::vector<HWND>* list, HWND hwnd) {
    if (std::find(list->begin(), list->end(), hwnd) == list->end()) list->push_back(hwnd);
}

// Sees every event of the UI thread: one that comes from the display means
// the thread took it from its loop (a paint is no such sign: a window's
// repaint, asked for by the program itself, comes as one). While only pictures are served, it holds back what
// the display tells the windows beyond their pictures.
class Watcher : public QObject {
public:
    bool eventFilter(QObject* obj, QEvent* ev) override {
        // The wakes other threads post are no sign of the display, nor held
        // back; they are left unread here, as the pump reads them once it
        // has ordered itself after the thread that made them.
        if (obj == WakeTarget()) return false;
        if (ev->spontaneous() && ev->type() != QEvent::Paint) g_active = Clock::now();
        if (!g_serving) return false;
        auto* host = dynamic_cast<HostWidget*>(obj);
        if (!host) return false;
        switch (ev->type()) {
        case QEvent::Close:
            ev->ignore();
            Note(&g_held.closed, host->hwnd());
            return true;
        case QEvent::Move:
        case QEvent::Resize:
            if (host->parentWidget()) return false;
            Note(&g_held.moved, host->hwnd());
            return true;
        case QEvent::WindowStateChange:
            if (host->parentWidget()) return false;
            Note(&g_held.states, host->hwnd());
            return true;
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: ev->ignore(); return true;
        default: return false;
        }
    }
};

void ApplyApplicationState(Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive)
        SyncLockKeysFromX();
    else
        win32bk::InputFocus(nullptr, false);
}

} // namespace

bool ServingPicturesOnly() {
    return g_serving;
}

void HoldBackSends() {
    g_held.sends = true;
}

void ApplicationStateChanged(Qt::ApplicationState state) {
    if (g_serving) {
        g_held.applicationState = true;
        return;
    }
    ApplyApplicationState(state);
}

void WatchEvents() {
    static Watcher* watcher = nullptr;
    if (watcher || !QCoreApplication::instance()) return;
    watcher = new Watcher;
    QCoreApplication::instance()->installEventFilter(watcher);
}

bool ThreadHeld() {
    return Clock::now() - g_inLoop >= kHeld;
}

void InLoop() {
    g_active = g_inLoop = Clock::now();
    if (g_serving) return;
    ForgetKeyPresses();
    HeldBack held = std::move(g_held);
    g_held = HeldBack{};
    // The state first, then the geometry that goes with it.
    for (HWND hwnd : held.states)
        if (HostWidget* w = HostOf(hwnd); w && !w->parentWidget()) w->TellState();
    for (HWND hwnd : held.moved)
        if (HostWidget* w = HostOf(hwnd); w && !w->parentWidget()) w->TellGeometry();
    if (held.applicationState) ApplyApplicationState(QGuiApplication::applicationState());
    if (held.sends) win32bk::ServeSends();
    for (HWND hwnd : held.closed)
        if (IsWindow(hwnd)) win32bk::InputClose(hwnd);
}

void ServePicturesWhileHeld() {
    if (g_serving || !QCoreApplication::instance() || !win32bk::IsUiThread()) return;
    const Clock::time_point now = Clock::now();
    if (now - g_active < kHeld || now - g_served < kHeld) return;
    g_served = now;
    g_serving = true;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers |
                                    QEventLoop::X11ExcludeTimers);
    g_serving = false;
}

} // namespace qtbk

namespace qtplatform {

void AskToClose(HWND hwnd) {
    qtbk::HostWidget* w = qtbk::HostOf(hwnd);
    if (w && w->window()->windowHandle())
        QCoreApplication::postEvent(w->window()->windowHandle(), new QCloseEvent);
}

Image Shown(HWND hwnd) {
    qtbk::HostWidget* w = qtbk::HostOf(hwnd);
    if (!w || !w->isVisible()) return Image{};
    QWidget* top = w->window();
    QScreen* screen = top->screen();
    if (!screen) return Image{};
    const QPoint at = w->mapTo(top, QPoint(0, 0));
    return qtbk::ToImage(screen->grabWindow(top->winId(), at.x(), at.y(), w->width(), w->height()));
}

} // namespace qtplatform
