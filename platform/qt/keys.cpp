// Qt keys to virtual-key codes (Japanese 106/109 layout), and input injection.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>

#include "qt_internal.h"
#include "win32/menu.h"

namespace qtbk {

UINT VirtualKey(int key, Qt::KeyboardModifiers mods, const QString& text, bool* extended) {
    *extended = false;
    bool keypad = mods & Qt::KeypadModifier;
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<UINT>(key);
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return keypad ? VK_NUMPAD0 + (key - Qt::Key_0) : static_cast<UINT>(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return VK_F1 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Return: return VK_RETURN;
    case Qt::Key_Enter: *extended = true; return VK_RETURN;
    case Qt::Key_Insert: *extended = true; return VK_INSERT;
    case Qt::Key_Delete: *extended = true; return VK_DELETE;
    case Qt::Key_Pause: return (mods & Qt::ControlModifier) ? VK_CANCEL : VK_PAUSE;
    case Qt::Key_Cancel: return VK_CANCEL;
    case Qt::Key_Print: *extended = true; return VK_SNAPSHOT;
    case Qt::Key_Clear: return VK_CLEAR;
    case Qt::Key_Home: *extended = !keypad; return VK_HOME;
    case Qt::Key_End: *extended = !keypad; return VK_END;
    case Qt::Key_Left: *extended = !keypad; return VK_LEFT;
    case Qt::Key_Up: *extended = !keypad; return VK_UP;
    case Qt::Key_Right: *extended = !keypad; return VK_RIGHT;
    case Qt::Key_Down: *extended = !keypad; return VK_DOWN;
    case Qt::Key_PageUp: *extended = !keypad; return VK_PRIOR;
    case Qt::Key_PageDown: *extended = !keypad; return VK_NEXT;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_Meta: *extended = true; return VK_LWIN;
    case Qt::Key_Menu: *extended = true; return VK_APPS;
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_NumLock: *extended = true; return VK_NUMLOCK;
    case Qt::Key_ScrollLock: return VK_SCROLL;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_Henkan: return VK_CONVERT;
    case Qt::Key_Muhenkan: return VK_NONCONVERT;
    case Qt::Key_Hiragana_Katakana:
    case Qt::Key_Hiragana:
    case Qt::Key_Katakana: return VK_DBE_HIRAGANA;
    case Qt::Key_Zenkaku_Hankaku:
    case Qt::Key_Zenkaku:
    case Qt::Key_Hankaku: return VK_DBE_SBCSCHAR;
    case Qt::Key_Eisu_toggle: return VK_DBE_ALPHANUMERIC;
    case Qt::Key_Kanji: return VK_KANJI;
    }
    if (keypad) {
        switch (key) {
        case Qt::Key_Asterisk: return VK_MULTIPLY;
        case Qt::Key_Plus: return VK_ADD;
        case Qt::Key_Minus: return VK_SUBTRACT;
        case Qt::Key_Period: return VK_DECIMAL;
        case Qt::Key_Comma: return VK_SEPARATOR;
        case Qt::Key_Slash: *extended = true; return VK_DIVIDE;
        }
    }
    // The printable keys of the Japanese layout, shifted or not: Qt's codes
    // of printable keys are the characters' own.
    if (key == Qt::Key_yen) return VK_OEM_5;
    if (key > 0x20 && key < 0x7F) {
        short scan = VkKeyScanW(static_cast<WCHAR>(key));
        if (scan != -1) return static_cast<UINT>(scan & 0xFF);
    }
    // Anything else that types text (an input method's commit, for one).
    return text.isEmpty() ? 0 : 0xE7; // VK_PACKET
}

} // namespace qtbk

namespace qtplatform {

namespace {
Qt::KeyboardModifiers ToMods(unsigned m) {
    Qt::KeyboardModifiers q;
    if (m & static_cast<unsigned>(Mods::Shift)) q |= Qt::ShiftModifier;
    if (m & static_cast<unsigned>(Mods::Ctrl)) q |= Qt::ControlModifier;
    if (m & static_cast<unsigned>(Mods::Alt)) q |= Qt::AltModifier;
    if (m & static_cast<unsigned>(Mods::Keypad)) q |= Qt::KeypadModifier;
    return q;
}
Qt::MouseButtons g_buttons;

RECT ToRect(const QRect& r) {
    return RECT{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
}
} // namespace

void SendKey(HWND target, int key, unsigned mods, const std::u16string& text, bool press, bool autoRepeat) {
    qtbk::HostWidget* w = qtbk::HostOf(target);
    if (!w) return;
    QKeyEvent ev(press ? QEvent::KeyPress : QEvent::KeyRelease, key, ToMods(mods),
                 QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())), autoRepeat);
    QCoreApplication::sendEvent(w, &ev);
}

void SendMouse(HWND target, int x, int y, int button, unsigned mods, int kind) {
    qtbk::HostWidget* w = qtbk::HostOf(target);
    if (!w) return;
    Qt::MouseButton b = button == 1 ? Qt::RightButton : button == 2 ? Qt::MiddleButton : Qt::LeftButton;
    QPointF local = QPointF(x, y) + QPointF(w->ClientOrigin());
    QPointF global = w->mapToGlobal(local);
    QEvent::Type type = kind == 0   ? QEvent::MouseButtonPress
                        : kind == 1 ? QEvent::MouseButtonRelease
                                    : QEvent::MouseMove;
    if (kind == 0) g_buttons |= b;
    if (kind == 1) g_buttons &= ~b;
    QMouseEvent ev(type, local, global, kind == 2 ? Qt::NoButton : b, g_buttons, ToMods(mods));
    QCoreApplication::sendEvent(w, &ev);
}

void SendWheel(HWND target, int x, int y, int angleY, int angleX, unsigned mods) {
    qtbk::HostWidget* w = qtbk::HostOf(target);
    if (!w) return;
    QPointF local = QPointF(x, y) + QPointF(w->ClientOrigin());
    QWheelEvent ev(local, w->mapToGlobal(local), QPoint(), QPoint(angleX, angleY), g_buttons, ToMods(mods),
                   Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w, &ev);
}

void SendInputToOtherProgram() {
    Q_EMIT qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
}

void MoveByWindowManager(HWND hwnd, int x, int y) {
    // move() places the frame's corner; the frame is the display's own.
    if (qtbk::HostWidget* w = qtbk::HostOf(hwnd))
        w->move(QPoint(x, y) - (w->geometry().topLeft() - w->frameGeometry().topLeft()));
}

void ResizeByWindowManager(HWND hwnd, int width, int height) {
    if (qtbk::HostWidget* w = qtbk::HostOf(hwnd)) w->resize(width, height);
}

void SetStateByWindowManager(HWND hwnd, ShownState state) {
    qtbk::HostWidget* w = qtbk::HostOf(hwnd);
    if (!w) return;
    const Qt::WindowStates now = w->windowState();
    switch (state) {
    case ShownState::Normal: w->setWindowState(Qt::WindowNoState); break;
    case ShownState::Maximized: w->setWindowState(Qt::WindowMaximized); break;
    case ShownState::Minimized: w->setWindowState((now & Qt::WindowMaximized) | Qt::WindowMinimized); break;
    case ShownState::ShownAgain: w->setWindowState(now & ~Qt::WindowStates(Qt::WindowMinimized)); break;
    }
}

void PostStateByWindowManager(HWND hwnd, ShownState state) {
    QMetaObject::invokeMethod(
        qApp, [hwnd, state] { SetStateByWindowManager(hwnd, state); }, Qt::QueuedConnection);
}

bool ShownMinimized(HWND hwnd) {
    qtbk::HostWidget* w = qtbk::HostOf(hwnd);
    return w && (w->windowState() & Qt::WindowMinimized);
}
bool ShownMaximized(HWND hwnd) {
    qtbk::HostWidget* w = qtbk::HostOf(hwnd);
    return w && (w->windowState() & Qt::WindowMaximized);
}

void SendBarMouse(HWND hwnd, int bar, int x, int y, int kind) {
    qtbk::HostWidget* w = qtbk::HostOf(hwnd);
    QScrollBar* sb = w ? w->Bar(bar == SB_CTL ? SB_VERT : bar) : nullptr;
    if (!sb) return;
    QPointF local(x, y);
    QEvent::Type type = kind == 0   ? QEvent::MouseButtonPress
                        : kind == 1 ? QEvent::MouseButtonRelease
                                    : QEvent::MouseMove;
    QMouseEvent ev(type, local, sb->mapToGlobal(local), kind == 2 ? Qt::NoButton : Qt::LeftButton,
                   kind == 1 ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(sb, &ev);
}

bool GetBarGeometry(HWND hwnd, int bar, BarGeometry* g) {
    qtbk::HostWidget* w = qtbk::HostOf(hwnd);
    QScrollBar* sb = w ? w->Bar(bar == SB_CTL ? SB_VERT : bar) : nullptr;
    if (!sb || !sb->isVisibleTo(w)) return false;
    QStyleOptionSlider opt = qtbk::ScrollBarOption(sb);
    QStyle* st = sb->style();
    g->bar = ToRect(sb->rect());
    g->groove = ToRect(st->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarGroove, sb));
    g->slider = ToRect(st->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, sb));
    g->subLine = ToRect(st->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSubLine, sb));
    g->addLine = ToRect(st->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarAddLine, sb));
    return true;
}

} // namespace qtplatform
