// The Qt display backend: host widgets, back buffers, drawing and event processing.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMoveEvent>
#include <QLibraryInfo>
#include <QPainter>
#include <QScreen>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionSlider>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QTranslator>
#include <QWindow>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "clipboard_backend.h"
#include "qt_internal.h"
#include "win32/dialog.h"
#include "win32/menu.h"
#include "win32/sysinfo.h"

namespace qtbk {

namespace {
std::unordered_map<HWND, QPointer<HostWidget>> g_hosts;
std::vector<QPointer<HostWidget>> g_graveyard;
int g_eventDepth = 0;
QApplication* g_app = nullptr;

struct DepthGuard {
    DepthGuard() { ++g_eventDepth; }
    ~DepthGuard() { --g_eventDepth; }
};

QColor ToQColor(COLORREF c) {
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

class Pump : public QObject {
public:
    std::atomic<bool> pending{false};
    // Bumped after a waking event is made on another thread and read before
    // an event is looked at: Qt's own queue orders the two, but its locks are
    // not seen by the thread checker, which this pair makes see the order.
    std::atomic<unsigned> made{0};
    bool event(QEvent* ev) override {
        made.load(std::memory_order_acquire);
        if (ev->type() == QEvent::User) {
            pending = false;
            if (ServingPicturesOnly())
                HoldBackSends();
            else
                win32bk::ServeSends();
            return true;
        }
        return QObject::event(ev);
    }
};
Pump* g_pump = nullptr;

void Bury() {
    if (g_eventDepth > 0) return;
    auto graves = std::move(g_graveyard);
    g_graveyard.clear();
    for (auto& w : graves)
        if (w) delete w.data();
}
} // namespace

QObject* WakeTarget() {
    return g_pump;
}

int EventDepth() {
    return g_eventDepth;
}

QRegion ToQRegion(const win32bk::Region& r) {
    QRegion q;
    for (const RECT& x : r.Rects()) q += QRect(x.left, x.top, x.right - x.left, x.bottom - x.top);
    return q;
}

HostWidget* HostOf(HWND hwnd) {
    auto it = g_hosts.find(hwnd);
    return it == g_hosts.end() ? nullptr : it->second.data();
}

HWND WindowOfTopLevel(const QWindow* top) {
    if (!top) return nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowHandle() == top)
            if (auto* h = dynamic_cast<HostWidget*>(w)) return h->hwnd();
    return nullptr;
}

void KeepAboveOwner(QWidget* dialog, HWND owner) {
    HostWidget* host = owner ? HostOf(GetAncestor(owner, GA_ROOT)) : nullptr;
    if (!host) return;
    QWidget* top = host->window();
    top->winId();
    dialog->winId();
    if (dialog->windowHandle()) dialog->windowHandle()->setTransientParent(top->windowHandle());
}

QPixmap Grab(HWND hwnd) {
    HostWidget* w = HostOf(hwnd);
    return w ? w->grab() : QPixmap();
}

qtplatform::Image ToImage(const QPixmap& pixmap) {
    qtplatform::Image out;
    if (pixmap.isNull()) return out;
    QImage img = pixmap.toImage().convertToFormat(QImage::Format_RGB32);
    out.width = img.width();
    out.height = img.height();
    // Row by row into reserved room: the pixels are written once, not zeroed first.
    out.pixels.reserve(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
    for (int y = 0; y < out.height; ++y) {
        auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        out.pixels.insert(out.pixels.end(), line, line + out.width);
    }
    return out;
}

// --- Host widget ---------------------------------------------------------------------

HostWidget::HostWidget(HWND hwnd, QWidget* parent) : QWidget(parent), hwnd_(hwnd) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_InputMethodEnabled, true);
    setAcceptDrops(true);
    // The keyboard focus of the display stays on the top-level window's
    // host: the windows inside it share its input context, as a Windows
    // thread's windows do, so the input method sees no focus change (and
    // keeps its composition) when the focus moves between them. Keys and
    // input-method events go to the window that has the focus.
    setFocusPolicy(parent ? Qt::NoFocus : Qt::ClickFocus);
    setMouseTracking(true);
    buffer_ = std::make_unique<QtSurface>(1, 1);
}

QScrollBar* HostWidget::MakeBar(int bar, Qt::Orientation o) {
    auto* sb = new QScrollBar(o, this);
    sb->setFocusPolicy(Qt::NoFocus);
    sb->installEventFilter(new BarFilter(hwnd_, bar, sb));
    sb->setMouseTracking(false);
    return sb;
}

void HostWidget::SyncBar(QScrollBar* sb, const win32bk::BarState& st, const RECT& r, Qt::Orientation o) {
    sb->setOrientation(o);
    const SCROLLINFO& i = st.info;
    int limit = i.nMax - std::max<int>(static_cast<int>(i.nPage) - 1, 0);
    sb->setRange(i.nMin, std::max(limit, i.nMin));
    // Setting the steps repaints a bar even when they stay: set only changes.
    int page = static_cast<int>(std::max<UINT>(i.nPage, 1));
    if (sb->pageStep() != page) sb->setPageStep(page);
    if (sb->singleStep() != 1) sb->setSingleStep(1);
    sb->setValue(i.nPos);
    sb->setEnabled((st.disabled & ESB_DISABLE_BOTH) != ESB_DISABLE_BOTH && !(view_.style & WS_DISABLED));
    sb->setGeometry(r.left, r.top, r.right - r.left, r.bottom - r.top);
    sb->setVisible(!IsRectEmpty(&r));
    // Child windows are clipped to the client area, so they never cover a
    // bar. Raising a bar that is already above every child window would
    // still reorder the two bars and repaint one of them: raise only below one.
    if (sb->isVisibleTo(this)) {
        const QObjectList& kids = children();
        bool below = false;
        for (qsizetype k = kids.indexOf(sb) + 1; k < kids.size() && !below; k++)
            below = kids[k] != vbar_ && kids[k] != hbar_ && kids[k]->isWidgetType();
        if (below) sb->raise();
    }
}

QtSurface* HostWidget::Buffer() {
    if (buffer_->image.size() != bufferSize_) {
        // The old image is kept in the corner it shares; the rest is white.
        auto nb = std::make_unique<QtSurface>(bufferSize_.width(), bufferSize_.height(), false);
        const QImage& old = buffer_->image;
        QPainter p(&nb->image);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(0, 0, old);
        if (bufferSize_.width() > old.width())
            p.fillRect(QRect(old.width(), 0, bufferSize_.width() - old.width(), bufferSize_.height()),
                       Qt::white);
        if (bufferSize_.height() > old.height())
            p.fillRect(QRect(0, old.height(), std::min(old.width(), bufferSize_.width()),
                             bufferSize_.height() - old.height()),
                       Qt::white);
        p.end();
        buffer_ = std::move(nb);
    }
    return buffer_.get();
}

void HostWidget::SyncFromRecord() {
    win32bk::HostView before = view_;
    if (!win32bk::GetHostView(hwnd_, &view_)) return;
    bool frameChanged = !EqualRect(&before.client, &view_.client) || before.style != view_.style ||
                        before.exStyle != view_.exStyle;
    syncing_ = true;
    bool restoring = false;
    QRect geo(view_.window.left, view_.window.top, view_.window.right - view_.window.left,
              view_.window.bottom - view_.window.top);
    if (view_.parent) {
        if (HostWidget* p = HostOf(view_.parent)) geo.translate(p->ClientOrigin());
    } else if (embedded_) {
        if (QWidget* holder = parentWidget()) geo.translate(-holder->mapToGlobal(QPoint(0, 0)));
    } else {
        restoring = SyncTopLevel(geo.size());
    }
    // A maximised or minimised window's geometry is the window manager's, and
    // so is the place of one it is asked to restore.
    const bool managed = restoring || (!view_.parent && !embedded_ &&
                                       (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)));
    if (geometry() != geo && !managed) setGeometry(geo);
    int cw = view_.client.right - view_.client.left, ch = view_.client.bottom - view_.client.top;
    bufferSize_ = QSize(std::max(cw, 1), std::max(ch, 1));
    if (view_.isBarControl) {
        if (!vbar_) vbar_ = MakeBar(SB_CTL, Qt::Vertical);
        RECT r = view_.client;
        SyncBar(vbar_, view_.vbar, r, (view_.style & SBS_VERT) ? Qt::Vertical : Qt::Horizontal);
    } else {
        if (view_.vbar.visible && !vbar_) vbar_ = MakeBar(SB_VERT, Qt::Vertical);
        if (view_.hbar.visible && !hbar_) hbar_ = MakeBar(SB_HORZ, Qt::Horizontal);
        if (vbar_) SyncBar(vbar_, view_.vbar, view_.vbarRect, Qt::Vertical);
        if (hbar_) SyncBar(hbar_, view_.hbar, view_.hbarRect, Qt::Horizontal);
    }
    setEnabled(!(view_.style & WS_DISABLED));
    // A top-level window of no size stays unmapped, though visible to the program.
    bool mapped = view_.visible && (view_.parent || embedded_ || (geo.width() > 0 && geo.height() > 0));
    // A widget never shown or hidden on its own is shown with its parent, so
    // a hidden window is hidden explicitly even while its parent is unmapped.
    if (isVisible() != mapped || (!mapped && !testAttribute(Qt::WA_WState_ExplicitShowHide)))
        setVisible(mapped);
    syncing_ = false;
    // Bars repaint themselves; the rest only when the frame or client area changed.
    if (frameChanged) update();
}

namespace {
// A window of these kinds is in the window manager's hands (framed, stacked,
// given the keyboard); a popup or a tip is placed and stacked by the display alone.
bool Managed(Qt::WindowFlags flags) {
    const Qt::WindowFlags type = flags & Qt::WindowType_Mask;
    return type != Qt::Popup && type != Qt::ToolTip;
}
} // namespace

// The kind of top-level window shown for the record. A menu's popup is the
// display's popup: it holds the pointer and the keys while shown (a press
// anywhere comes to it), and the window manager neither frames it nor stacks
// it under the window that was clicked. A tip is shown above the windows and
// never takes the keyboard. An owned window is a dialog, which the window
// manager keeps above its owner (its transient parent); any other a plain
// window. A decorated one has the caption buttons its style asks for.
Qt::WindowFlags HostWidget::TopLevelFlags() const {
    if (view_.menuPopup) return Qt::Popup;
    if (view_.tip) return Qt::ToolTip | Qt::WindowDoesNotAcceptFocus;
    Qt::WindowFlags flags = view_.owner ? Qt::Dialog : Qt::Window;
    if (!view_.decorated) return flags | Qt::FramelessWindowHint;
    flags |= Qt::WindowTitleHint;
    if (view_.style & WS_SYSMENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (view_.style & WS_MINIMIZEBOX) flags |= Qt::WindowMinimizeButtonHint;
    if (view_.style & WS_MAXIMIZEBOX) flags |= Qt::WindowMaximizeButtonHint;
    return flags;
}

// A top-level window: its kind, the user's sizing only within its tracking
// sizes, and an owned window kept above its owner. A window on the screen
// stays mapped through all of it: unmapping and mapping it again makes the
// window manager withdraw it and frame it anew, and a withdrawal it handles
// after the new mapping leaves the window gone from the screen.
bool HostWidget::SyncTopLevel(QSize size) {
    const Qt::WindowFlags want = TopLevelFlags();
    if (!flagsSet_ || want != flags_) {
        const bool stayed = flagsSet_ && Managed(want) == Managed(flags_);
        flagsSet_ = true;
        flags_ = want;
        if (isVisible() && windowHandle() && stayed) {
            // Its kind and buttons are properties the window manager reads again.
            overrideWindowFlags(want);
            windowHandle()->setFlags(want);
        } else {
            // Not on the screen yet, or passing in or out of the window
            // manager's hands, which only a new mapping does: hidden here,
            // mapped again below as it was.
            setWindowFlags(want);
        }
    }
    if (view_.resizable) {
        setMinimumSize(view_.minTrack.cx, view_.minTrack.cy);
        setMaximumSize(std::min<int>(view_.maxTrack.cx, QWIDGETSIZE_MAX),
                       std::min<int>(view_.maxTrack.cy, QWIDGETSIZE_MAX));
    } else {
        setMinimumSize(size);
        setMaximumSize(size);
    }
    // The window manager's maximised or minimised state is left as it is
    // unless the program changed its window's state since the two last
    // agreed: then the program restored a window the window manager
    // maximised or minimised (Windows' SW_RESTORE, SW_SHOWNORMAL), and a
    // minimised one comes back maximised when its record says so. A state
    // the window manager gave and the record has not been told yet (held
    // while a run holds the thread) is no change of the program's. The
    // window manager gives the place of a window it is asked to restore.
    bool restoring = false;
    const DWORD state = view_.style & (WS_MAXIMIZE | WS_MINIMIZE);
    if (state != agreedState_) {
        agreedState_ = state;
        const Qt::WindowStates kept =
            windowState() & ~Qt::WindowStates(Qt::WindowMaximized | Qt::WindowMinimized);
        if ((windowState() & Qt::WindowMinimized) && !(state & WS_MINIMIZE)) {
            setWindowState(kept | ((state & WS_MAXIMIZE) ? Qt::WindowMaximized : Qt::WindowNoState));
            restoring = true;
        } else if ((windowState() & Qt::WindowMaximized) && !state) {
            setWindowState(kept);
            restoring = true;
        }
    }
    // The owner's own window, or the one it is laid in (an embedded panel's
    // dialog): a transient parent is always a top-level window.
    QWidget* owner = view_.owner && HostOf(view_.owner) ? HostOf(view_.owner)->window() : nullptr;
    if (!owner && !windowHandle()) return restoring;
    winId();
    QWindow* above = nullptr;
    if (owner) {
        owner->winId();
        above = owner->windowHandle();
    }
    if (windowHandle() && windowHandle()->transientParent() != above) {
        windowHandle()->setTransientParent(above);
        // The display writes the transient parent when it maps a window; a
        // window on the screen learns its new owner now.
        if (isVisible()) SetTransientForOnServer(windowHandle(), above);
    }
    return restoring;
}

bool HostWidget::event(QEvent* ev) {
    DepthGuard guard;
    if (ev->type() == QEvent::Show && isWindow() && !embedded_) ++mappings_;
    switch (ev->type()) {
    case QEvent::ShortcutOverride: ev->accept(); return true;
    case QEvent::KeyPress: keyPressEvent(static_cast<QKeyEvent*>(ev)); return true;
    case QEvent::KeyRelease: keyReleaseEvent(static_cast<QKeyEvent*>(ev)); return true;
    default: return QWidget::event(ev);
    }
}

void HostWidget::paintEvent(QPaintEvent* ev) {
    Buffer();
    QPainter p(this);
    p.setClipRegion(ev->region());
    QRect all = rect();
    QPoint o = ClientOrigin();
    // Frame and the corner between two bars.
    QRegion frame = ev->region() - QRect(o, buffer_->image.size());
    for (const QRect& r : frame) p.fillRect(r, QColor(240, 240, 240));
    PaintMenuBar(p);
    if (view_.style & WS_BORDER) {
        p.setPen(QColor(100, 100, 100));
        p.drawRect(all.adjusted(0, 0, -1, -1));
    }
    if (view_.exStyle & WS_EX_CLIENTEDGE) {
        int b = (view_.style & WS_BORDER) ? 1 : 0;
        QRect e = all.adjusted(b, b, -b - 1, -b - 1);
        p.setPen(QColor(160, 160, 160));
        p.drawLine(e.topLeft(), e.topRight());
        p.drawLine(e.topLeft(), e.bottomLeft());
        p.setPen(QColor(255, 255, 255));
        p.drawLine(e.bottomLeft(), e.bottomRight());
        p.drawLine(e.topRight(), e.bottomRight());
        e.adjust(1, 1, -1, -1);
        p.setPen(QColor(105, 105, 105));
        p.drawLine(e.topLeft(), e.topRight());
        p.drawLine(e.topLeft(), e.bottomLeft());
        p.setPen(QColor(227, 227, 227));
        p.drawLine(e.bottomLeft(), e.bottomRight());
        p.drawLine(e.topRight(), e.bottomRight());
    }
    if (!view_.isBarControl)
        for (const QRect& r : ev->region()) {
            QRect part = r & QRect(o, buffer_->image.size());
            if (!part.isEmpty()) p.drawImage(part.topLeft(), buffer_->image, part.translated(-o));
        }
    RECT cr;
    int kind;
    win32bk::Surface* bmp;
    if (win32bk::CaretShown(hwnd_, &cr, &kind, &bmp)) {
        QRect r(cr.left + o.x(), cr.top + o.y(), cr.right - cr.left, cr.bottom - cr.top);
        r &= QRect(o, buffer_->image.size());
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        if (kind == 2 && bmp) {
            p.drawImage(r.topLeft(), static_cast<QtSurface*>(bmp)->image, QRect(QPoint(0, 0), r.size()));
        } else if (kind == 1) {
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    if (((x - o.x()) + (y - o.y())) % 2 == 0) p.fillRect(QRect(x, y, 1, 1), Qt::white);
        } else {
            p.fillRect(r, Qt::white);
        }
    }
}

void HostWidget::UpdateMenuBar() {
    if (!IsRectEmpty(&view_.menuBar))
        update(QRect(view_.menuBar.left, view_.menuBar.top, view_.menuBar.right - view_.menuBar.left,
                     view_.menuBar.bottom - view_.menuBar.top));
}

// The menu bar: the items' texts with their mnemonics underlined, the open one raised.
void HostWidget::PaintMenuBar(QPainter& p) {
    RECT bar;
    std::vector<win32bk::MenuBarItem> items;
    if (IsRectEmpty(&view_.menuBar) || !win32bk::GetMenuBarItems(hwnd_, &bar, &items)) return;
    QRect barRect(view_.menuBar.left, view_.menuBar.top, view_.menuBar.right - view_.menuBar.left,
                  view_.menuBar.bottom - view_.menuBar.top);
    p.fillRect(barRect, QColor(240, 240, 240));
    for (const win32bk::MenuBarItem& it : items) {
        QRect r(barRect.left() + it.rect.left, barRect.top() + it.rect.top, it.rect.right - it.rect.left,
                it.rect.bottom - it.rect.top);
        if (it.hot) p.fillRect(r, QColor(0, 120, 215));
        DrawMenuText(p, r, it.text,
                     it.grayed ? QColor(160, 160, 160)
                     : it.hot  ? QColor(255, 255, 255)
                               : QColor(0, 0, 0));
    }
}

void HostWidget::Key(QKeyEvent* ev, bool down) {
    Qt::KeyboardModifiers m = ev->modifiers();
    bool shift = m & Qt::ShiftModifier, ctrl = m & Qt::ControlModifier, alt = m & Qt::AltModifier;
    int key = ev->key();
    if (key == Qt::Key_Shift) shift = down;
    if (key == Qt::Key_Control) ctrl = down;
    if (key == Qt::Key_Alt) alt = down;
    if (key == Qt::Key_Backtab) shift = true;
    win32bk::InputModifiers(shift, ctrl, alt);
    bool extended = false;
    UINT vk = VirtualKey(key, m, ev->text(), &extended);
    QString t = ev->text();
    std::u16string text(reinterpret_cast<const char16_t*>(t.utf16()), static_cast<size_t>(t.size()));
    bool altKey = alt || key == Qt::Key_Alt;
    win32bk::InputKey(hwnd_, down, vk, ev->nativeScanCode() & 0xFF, extended, ev->isAutoRepeat(),
                      altKey && !ctrl, down ? text : std::u16string());
}

void HostWidget::keyPressEvent(QKeyEvent* ev) {
    Key(ev, true);
    ev->accept();
}
void HostWidget::keyReleaseEvent(QKeyEvent* ev) {
    Key(ev, false);
    ev->accept();
}

void HostWidget::Mouse(QMouseEvent* ev, int kind) {
    Qt::KeyboardModifiers m = ev->modifiers();
    win32bk::InputModifiers(m & Qt::ShiftModifier, m & Qt::ControlModifier, m & Qt::AltModifier);
    QPoint p = ev->position().toPoint() - ClientOrigin();
    POINT pt{p.x(), p.y()};
    QPoint at = ev->position().toPoint();
    POINT win{at.x(), at.y()};
    if (kind == 0 && PtInRect(&view_.menuBar, win) && ev->button() == Qt::LeftButton) {
        ev->accept();
        win32bk::MenuBarClick(hwnd_, win.x - view_.menuBar.left, win.y - view_.menuBar.top);
        return;
    }
    if (kind == 2) {
        win32bk::InputMouseMove(hwnd_, pt);
    } else {
        win32bk::Button b = ev->button() == Qt::RightButton    ? win32bk::Button::Right
                            : ev->button() == Qt::MiddleButton ? win32bk::Button::Middle
                                                               : win32bk::Button::Left;
        win32bk::InputMouseButton(hwnd_, pt, b, kind == 0);
    }
    ev->accept();
}

void HostWidget::mousePressEvent(QMouseEvent* ev) {
    Mouse(ev, 0);
}
void HostWidget::mouseDoubleClickEvent(QMouseEvent* ev) {
    Mouse(ev, 0);
}
void HostWidget::mouseReleaseEvent(QMouseEvent* ev) {
    Mouse(ev, 1);
}
void HostWidget::mouseMoveEvent(QMouseEvent* ev) {
    Mouse(ev, 2);
}

void HostWidget::wheelEvent(QWheelEvent* ev) {
    Qt::KeyboardModifiers m = ev->modifiers();
    win32bk::InputModifiers(m & Qt::ShiftModifier, m & Qt::ControlModifier, m & Qt::AltModifier);
    QPoint p = ev->position().toPoint() - ClientOrigin();
    win32bk::InputWheel(hwnd_, POINT{p.x(), p.y()}, ev->angleDelta().y(), ev->angleDelta().x());
    ev->accept();
}

void HostWidget::closeEvent(QCloseEvent* ev) {
    ev->ignore();
    win32bk::InputClose(hwnd_);
}

void HostWidget::TellGeometry() {
    const QRect g = geometry();
    win32bk::HostResized(hwnd_, g.x(), g.y(), g.width(), g.height());
}

void HostWidget::resizeEvent(QResizeEvent* ev) {
    QWidget::resizeEvent(ev);
    if (syncing_ || parentWidget()) return;
    TellGeometry();
}

// A top-level window moved by the window manager (the user dragged its
// frame, or it was placed where it wanted): the window's record follows.
void HostWidget::moveEvent(QMoveEvent* ev) {
    QWidget::moveEvent(ev);
    // A composition shown over the window moves with it.
    if (!parentWidget()) RefreshComposition(nullptr);
    if (syncing_ || parentWidget()) return;
    TellGeometry();
}

// A top-level maximised, minimised or restored by the window manager.
void HostWidget::changeEvent(QEvent* ev) {
    QWidget::changeEvent(ev);
    if (ev->type() != QEvent::WindowStateChange || parentWidget() || syncing_) return;
    const Qt::WindowStates mask = Qt::WindowMaximized | Qt::WindowMinimized;
    if ((static_cast<QWindowStateChangeEvent*>(ev)->oldState() & mask) == (windowState() & mask)) return;
    TellState();
}

void HostWidget::TellState() {
    win32bk::HostStateChanged(hwnd_, windowState() & Qt::WindowMaximized,
                              windowState() & Qt::WindowMinimized);
    win32bk::HostView now{};
    if (win32bk::GetHostView(hwnd_, &now)) agreedState_ = now.style & (WS_MAXIMIZE | WS_MINIMIZE);
}

// --- Scroll-bar gestures ------------------------------------------------------------------

QStyleOptionSlider ScrollBarOption(QScrollBar* sb) {
    QStyleOptionSlider opt;
    opt.initFrom(sb);
    opt.subControls = QStyle::SC_All;
    opt.orientation = sb->orientation();
    opt.minimum = sb->minimum();
    opt.maximum = sb->maximum();
    opt.sliderPosition = sb->sliderPosition();
    opt.sliderValue = sb->value();
    opt.singleStep = sb->singleStep();
    opt.pageStep = sb->pageStep();
    opt.upsideDown = false;
    if (sb->orientation() == Qt::Horizontal) opt.state |= QStyle::State_Horizontal;
    return opt;
}

void BarFilter::Gesture(QScrollBar* sb, int kind, QPoint pos) {
    QStyleOptionSlider opt = ScrollBarOption(sb);
    QStyle* st = sb->style();
    bool vert = sb->orientation() == Qt::Vertical;
    if (kind == 0) {
        if (!sb->isEnabled()) return;
        auto sc = st->hitTestComplexControl(QStyle::CC_ScrollBar, &opt, pos, sb);
        int part = -1;
        switch (sc) {
        case QStyle::SC_ScrollBarSubLine: part = SB_LINEUP; break;
        case QStyle::SC_ScrollBarAddLine: part = SB_LINEDOWN; break;
        case QStyle::SC_ScrollBarSubPage: part = SB_PAGEUP; break;
        case QStyle::SC_ScrollBarAddPage: part = SB_PAGEDOWN; break;
        case QStyle::SC_ScrollBarSlider: part = SB_THUMBTRACK; break;
        default: return;
        }
        if (part == SB_THUMBTRACK) {
            QRect slider = st->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, sb);
            grab_ = vert ? pos.y() - slider.top() : pos.x() - slider.left();
            dragging_ = true;
        }
        win32bk::InputBarPress(hwnd_, bar_, part, POINT{pos.x(), pos.y()});
    } else if (kind == 2) {
        if (!dragging_) return;
        QRect groove = st->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarGroove, sb);
        QRect slider = st->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, sb);
        int span = vert ? groove.height() - slider.height() : groove.width() - slider.width();
        int at = (vert ? pos.y() - groove.top() : pos.x() - groove.left()) - grab_;
        int v = QStyle::sliderValueFromPosition(sb->minimum(), sb->maximum(), at, std::max(span, 1));
        win32bk::InputBarMove(hwnd_, bar_, v);
    } else {
        dragging_ = false;
        win32bk::InputBarRelease(hwnd_, bar_);
    }
}

void BarFilter::OtherButton(QScrollBar* sb, QMouseEvent* ev, bool down) {
    HostWidget* host = HostOf(hwnd_);
    if (!host) return;
    Qt::KeyboardModifiers m = ev->modifiers();
    win32bk::InputModifiers(m & Qt::ShiftModifier, m & Qt::ControlModifier, m & Qt::AltModifier);
    const QPoint at = sb->mapTo(host, ev->position().toPoint()) - host->ClientOrigin();
    win32bk::InputMouseButton(
        hwnd_, POINT{at.x(), at.y()},
        ev->button() == Qt::RightButton ? win32bk::Button::Right : win32bk::Button::Middle, down);
}

bool BarFilter::eventFilter(QObject* obj, QEvent* ev) {
    auto* sb = qobject_cast<QScrollBar*>(obj);
    if (!sb) return false;
    DepthGuard guard;
    switch (ev->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* me = static_cast<QMouseEvent*>(ev);
        if (me->button() == Qt::LeftButton)
            Gesture(sb, 0, me->position().toPoint());
        else if (me->button() == Qt::RightButton || me->button() == Qt::MiddleButton)
            OtherButton(sb, me, true);
        return true;
    }
    case QEvent::MouseMove: Gesture(sb, 2, static_cast<QMouseEvent*>(ev)->position().toPoint()); return true;
    case QEvent::MouseButtonRelease: {
        auto* me = static_cast<QMouseEvent*>(ev);
        if (me->button() == Qt::LeftButton)
            Gesture(sb, 1, QPoint());
        else if (me->button() == Qt::RightButton || me->button() == Qt::MiddleButton)
            OtherButton(sb, me, false);
        return true;
    }
    case QEvent::Wheel: {
        auto* we = static_cast<QWheelEvent*>(ev);
        win32bk::InputWheel(hwnd_, POINT{0, 0}, we->angleDelta().y(), we->angleDelta().x());
        return true;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: return true;
    default: return false;
    }
}

// --- The backend --------------------------------------------------------------------------

class QtBackend : public win32bk::Backend {
public:
    void HostCreate(HWND hwnd) override {
        win32bk::HostView v{};
        win32bk::GetHostView(hwnd, &v);
        QWidget* parent = v.parent ? HostOf(v.parent) : nullptr;
        auto* w = new HostWidget(hwnd, parent);
        g_hosts[hwnd] = w;
        w->SyncFromRecord();
        if (auto* p = static_cast<HostWidget*>(parent)) p->RaiseBars();
    }
    void HostDestroy(HWND hwnd) override {
        auto it = g_hosts.find(hwnd);
        if (it == g_hosts.end()) return;
        QPointer<HostWidget> w = it->second;
        g_hosts.erase(it);
        if (!w) return;
        w->hide();
        RefreshComposition(hwnd);
        // Children's widgets die with this one; take them out of Qt's hands first
        // is not needed: they were destroyed (and buried) before their parent.
        g_graveyard.push_back(w);
        Bury();
    }
    void HostSync(HWND hwnd) override {
        if (HostWidget* w = HostOf(hwnd)) w->SyncFromRecord();
    }
    void HostRedrawMenuBar(HWND hwnd) override {
        if (HostWidget* w = HostOf(hwnd)) {
            w->SyncFromRecord();
            w->UpdateMenuBar();
        }
    }
    void HostSetText(HWND hwnd, const std::u16string& text) override {
        if (HostWidget* w = HostOf(hwnd))
            w->setWindowTitle(QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
    }
    win32bk::Surface* HostBuffer(HWND hwnd) override {
        HostWidget* w = HostOf(hwnd);
        return w ? w->Buffer() : nullptr;
    }
    void HostPresent(HWND hwnd, const RECT& r) override {
        if (HostWidget* w = HostOf(hwnd))
            w->update(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top).translated(w->ClientOrigin()));
    }
    void HostPresentNow(HWND hwnd, const RECT& r) override {
        if (HostWidget* w = HostOf(hwnd))
            w->repaint(
                QRect(r.left, r.top, r.right - r.left, r.bottom - r.top).translated(w->ClientOrigin()));
    }
    void HostFocus(HWND hwnd) override {
        HostWidget* w = HostOf(hwnd);
        if (!w) return;
        // A popup gets the keys through its hold on them, and takes no
        // activation; nor does a tip.
        if (w->window()->isVisible() && !w->window()->isActiveWindow() && Managed(w->window()->windowFlags()))
            w->window()->activateWindow();
        // The host of the window's top-level window holds the display's focus.
        HostWidget* holder = HostOf(GetAncestor(hwnd, GA_ROOT));
        if (!holder) holder = w;
        if (!holder->hasFocus()) holder->setFocus(Qt::OtherFocusReason);
    }
    void HostCursor(HWND hwnd, HCURSOR cursor) override {
        HostWidget* w = HostOf(hwnd);
        if (!w) return;
        if (win32bk::CursorShape* c = win32bk::CursorShapeOf(cursor)) {
            // AND 0, XOR 0: black; AND 0, XOR 1: white; AND 1: transparent.
            QImage img(c->width, c->height, QImage::Format_ARGB32);
            int stride = (c->width + 15) / 16 * 2;
            for (int y = 0; y < c->height; ++y)
                for (int x = 0; x < c->width; ++x) {
                    size_t i = static_cast<size_t>(y * stride + x / 8);
                    int bit = 0x80 >> (x % 8);
                    bool andBit = i < c->andMask.size() && (c->andMask[i] & bit);
                    bool xorBit = i < c->xorMask.size() && (c->xorMask[i] & bit);
                    img.setPixel(x, y, andBit ? 0 : xorBit ? 0xFFFFFFFFu : 0xFF000000u);
                }
            w->setCursor(QCursor(QPixmap::fromImage(img), c->hotX, c->hotY));
            return;
        }
        Qt::CursorShape shape = Qt::ArrowCursor;
        switch (reinterpret_cast<uintptr_t>(cursor)) {
        case 0: shape = Qt::BlankCursor; break;
        case 32513: shape = Qt::IBeamCursor; break;
        case 32514: shape = Qt::WaitCursor; break;
        case 32515: shape = Qt::CrossCursor; break;
        case 32516: shape = Qt::UpArrowCursor; break;
        case 32642: shape = Qt::SizeFDiagCursor; break;
        case 32643: shape = Qt::SizeBDiagCursor; break;
        case 32644: shape = Qt::SizeHorCursor; break;
        case 32645: shape = Qt::SizeVerCursor; break;
        case 32646: shape = Qt::SizeAllCursor; break;
        case 32648: shape = Qt::ForbiddenCursor; break;
        case 32649: shape = Qt::PointingHandCursor; break;
        case 32650: shape = Qt::BusyCursor; break;
        }
        w->setCursor(shape);
    }

    void WaitEvents(int timeoutMs) override {
        InLoop();
        Bury();
        if (timeoutMs == 0) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        } else {
            QTimer t;
            if (timeoutMs > 0) {
                t.setSingleShot(true);
                t.start(timeoutMs);
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        win32bk::ServeSends();
        Bury();
        InLoop();
    }
    void Wake() override {
        if (!g_pump) return;
        if (!g_pump->pending.exchange(true)) {
            auto* ev = new QEvent(QEvent::User);
            g_pump->made.fetch_add(1, std::memory_order_release);
            QCoreApplication::postEvent(g_pump, ev);
        } else if (auto* d = QAbstractEventDispatcher::instance(g_pump->thread()))
            d->wakeUp();
    }

    int Metric(int index) override {
        QStyle* st = QApplication::style();
        switch (index) {
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
        case SM_CYVSCROLL:
        case SM_CXHSCROLL: return st->pixelMetric(QStyle::PM_ScrollBarExtent);
        case SM_CXBORDER:
        case SM_CYBORDER: return 1;
        case SM_CXEDGE:
        case SM_CYEDGE: return 2;
        case SM_CXDOUBLECLK:
        case SM_CYDOUBLECLK: return 4;
        case SM_CXDRAG:
        case SM_CYDRAG: return QApplication::startDragDistance();
        case SM_CYCAPTION: return 23;
        case SM_CYVTHUMB:
        case SM_CXHTHUMB: return st->pixelMetric(QStyle::PM_ScrollBarSliderMin);
        }
        return 0;
    }
    UINT DoubleClickTime() override { return static_cast<UINT>(QApplication::doubleClickInterval()); }
    UINT CursorFlashTime() override {
        return static_cast<UINT>(std::max(QApplication::cursorFlashTime(), 0));
    }
    void Beep() override { QApplication::beep(); }

    std::unique_ptr<win32bk::Surface> CreateSurface(int w, int h) override {
        return std::make_unique<QtSurface>(w, h);
    }

    void Fill(win32bk::Surface* s, const win32bk::Region& clip, const RECT& r, COLORREF c) override {
        QImage& img = static_cast<QtSurface*>(s)->image;
        QColor col = ToQColor(c);
        QRect fr(r.left, r.top, r.right - r.left, r.bottom - r.top);
        fr &= img.rect();
        if (fr.isEmpty()) return;
        if (clip.Rects().size() == 1) {
            const RECT& k = clip.Rects()[0];
            QRect kr = fr & QRect(k.left, k.top, k.right - k.left, k.bottom - k.top);
            if (kr.isEmpty()) return;
            QRgb px = col.rgb();
            for (int y = kr.top(); y <= kr.bottom(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
                std::fill(line + kr.left(), line + kr.right() + 1, px);
            }
            return;
        }
        QPainter p(&img);
        p.setClipRegion(ToQRegion(clip));
        p.fillRect(fr, col);
    }
    void Invert(win32bk::Surface* s, const win32bk::Region& clip, const RECT& r) override {
        QPainter p(&static_cast<QtSurface*>(s)->image);
        p.setClipRegion(ToQRegion(clip));
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.fillRect(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top), Qt::white);
    }
    void Line(win32bk::Surface* s, const win32bk::Region& clip, const POINT* pts, int n, int width, int style,
              COLORREF c) override {
        QPainter p(&static_cast<QtSurface*>(s)->image);
        p.setClipRegion(ToQRegion(clip));
        p.setRenderHint(QPainter::Antialiasing, false);
        QPen pen(ToQColor(c));
        pen.setWidth(width <= 1 ? 0 : width);
        pen.setCapStyle(Qt::FlatCap);
        switch (style) {
        case PS_DASH: pen.setStyle(Qt::DashLine); break;
        case PS_DOT: pen.setStyle(Qt::DotLine); break;
        case PS_DASHDOT: pen.setStyle(Qt::DashDotLine); break;
        case PS_DASHDOTDOT: pen.setStyle(Qt::DashDotDotLine); break;
        default: break;
        }
        p.setPen(pen);
        QVector<QPoint> qp;
        for (int i = 0; i < n; ++i) qp.push_back(QPoint(pts[i].x, pts[i].y));
        p.drawPolyline(qp.data(), static_cast<int>(qp.size()));
    }
    // The style's check-box indicator, as a QCheckBox of the style paints it.
    bool CheckBox(win32bk::Surface* s, const win32bk::Region& clip, const RECT& r, UINT state) override {
        QStyle* style = QApplication::style();
        if (!style) return false;
        QPainter p(&static_cast<QtSurface*>(s)->image);
        p.setClipRegion(ToQRegion(clip));
        QStyleOptionButton opt;
        opt.rect = QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
        opt.palette = QApplication::palette();
        opt.state = QStyle::State_Active;
        opt.palette.setCurrentColorGroup((state & DFCS_INACTIVE) ? QPalette::Disabled : QPalette::Active);
        if (!(state & DFCS_INACTIVE)) opt.state |= QStyle::State_Enabled;
        if (state & DFCS_PUSHED) opt.state |= QStyle::State_Sunken;
        if (!(state & DFCS_CHECKED))
            opt.state |= QStyle::State_Off;
        else if (state & DFCS_BUTTON3STATE)
            opt.state |= QStyle::State_NoChange;
        else
            opt.state |= QStyle::State_On;
        style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &opt, &p, nullptr);
        return true;
    }
    void Blit(win32bk::Surface* dst, const win32bk::Region& clip, int x, int y, int w, int h,
              win32bk::Surface* src, int sx, int sy, DWORD rop) override {
        QImage& d = static_cast<QtSurface*>(dst)->image;
        QImage srcImg = static_cast<QtSurface*>(src)->image;
        QPainter p(&d);
        p.setClipRegion(ToQRegion(clip));
        switch (rop) {
        case SRCINVERT: p.setCompositionMode(QPainter::RasterOp_SourceXorDestination); break;
        case SRCAND: p.setCompositionMode(QPainter::RasterOp_SourceAndDestination); break;
        case SRCPAINT: p.setCompositionMode(QPainter::RasterOp_SourceOrDestination); break;
        default: p.setCompositionMode(QPainter::CompositionMode_Source); break;
        }
        p.drawImage(QPoint(x, y), srcImg, QRect(sx, sy, w, h));
    }
    COLORREF Pixel(win32bk::Surface* s, int x, int y) override {
        QRgb c = static_cast<QtSurface*>(s)->image.pixel(x, y);
        return RGB(qRed(c), qGreen(c), qBlue(c));
    }
    void SetPixelColor(win32bk::Surface* s, int x, int y, COLORREF c) override {
        QImage& img = static_cast<QtSurface*>(s)->image;
        if (img.rect().contains(x, y)) img.setPixel(x, y, ToQColor(c).rgb());
    }
    void Text(win32bk::Surface* s, const win32bk::Region& clip, win32bk::FontFace* font,
              const win32bk::GlyphRun& run, COLORREF c) override {
        DrawGlyphs(static_cast<QtSurface*>(s)->image, clip, font, run, c);
    }
    void ScrollPixels(win32bk::Surface* s, const RECT& r, int dx, int dy, const RECT& clip) override {
        // Moved in place, row by row, in the order that never reads a row already written.
        QImage& img = static_cast<QtSurface*>(s)->image;
        QRect src(r.left, r.top, r.right - r.left, r.bottom - r.top);
        QRect dst = src.translated(dx, dy) &
                    QRect(clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top) & img.rect();
        if (dst.isEmpty()) return;
        int width = dst.width();
        auto row = [&](int y) {
            const uchar* from = img.constScanLine(y - dy) + (dst.left() - dx) * 4;
            uchar* to = img.scanLine(y) + dst.left() * 4;
            std::memmove(to, from, static_cast<size_t>(width) * 4);
        };
        if (dy > 0)
            for (int y = dst.bottom(); y >= dst.top(); --y) row(y);
        else
            for (int y = dst.top(); y <= dst.bottom(); ++y) row(y);
    }

    std::shared_ptr<win32bk::FontFace> Realize(const LOGFONTW& lf) override { return RealizeFont(lf); }
    bool FamilyWritesJapanese(const std::u16string& family) override {
        QString f = QString::fromUtf16(family.data(), static_cast<qsizetype>(family.size()));
        return QFontDatabase::writingSystems(f).contains(QFontDatabase::Japanese);
    }
    bool GlyphAlpha(win32bk::FontFace* font, char32_t cp, std::vector<uint8_t>* alpha, int* width,
                    int* height, int* originX, int* originY, int* advance) override {
        return GlyphAlphaMap(font, cp, alpha, width, height, originX, originY, advance);
    }
    std::vector<std::u16string> Families() override {
        std::vector<std::u16string> out;
        for (const QString& f : InstalledFamilies())
            out.emplace_back(reinterpret_cast<const char16_t*>(f.utf16()), static_cast<size_t>(f.size()));
        return out;
    }
};

// The desktop's screens, the primary first, told to the window layer at the
// start and again whenever a screen comes, goes or changes its size or its
// panels.
void TellScreens() {
    std::vector<win32bk::ScreenInfo> screens;
    auto add = [&](QScreen* screen) {
        const QRect all = screen->geometry(), work = screen->availableGeometry();
        screens.push_back(
            win32bk::ScreenInfo{RECT{all.left(), all.top(), all.right() + 1, all.bottom() + 1},
                                RECT{work.left(), work.top(), work.right() + 1, work.bottom() + 1}});
    };
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary) add(primary);
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != primary) add(screen);
    win32bk::SetScreens(screens);
}

void WatchScreen(QScreen* screen) {
    QObject::connect(screen, &QScreen::geometryChanged, g_app, [] { TellScreens(); });
    QObject::connect(screen, &QScreen::availableGeometryChanged, g_app, [] { TellScreens(); });
}

void WatchScreens() {
    for (QScreen* screen : QGuiApplication::screens()) WatchScreen(screen);
    QObject::connect(g_app, &QGuiApplication::screenAdded, g_app, [](QScreen* screen) {
        WatchScreen(screen);
        TellScreens();
    });
    // Told after the screen has left the list.
    QObject::connect(g_app, &QGuiApplication::screenRemoved, g_app,
                     [] { QTimer::singleShot(0, g_app, TellScreens); });
    QObject::connect(g_app, &QGuiApplication::primaryScreenChanged, g_app, [] { TellScreens(); });
    TellScreens();
}

} // namespace qtbk

namespace qtplatform {

namespace {
int g_argc = 1;
char g_arg0[] = "tavrelix";
char* g_argv[] = {g_arg0, nullptr};

short AsyncKeyState(int vk) {
    // A run that holds the UI thread polls its cancel key: the windows keep
    // their pictures meanwhile.
    qtbk::ServePicturesWhileHeld();
    bool x = false;
    bool down = win32bk::AsyncKeyDown(vk) || (qtbk::XKeyDown(vk, &x) && x);
    return down ? static_cast<short>(0x8000) : 0;
}
} // namespace

void Init(int* argc, char** argv) {
    if (qtbk::g_app) return;
    if (!QCoreApplication::instance()) {
        // The platform chosen is asked for through the environment for the
        // application's start only: programs the user starts from here choose
        // their own.
        const std::string platform = ChooseDisplayPlatform();
        const char* given = std::getenv("QT_QPA_PLATFORM");
        const bool choosing = !platform.empty() && !(given && *given);
        if (choosing) setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
        if (argc && argv)
            qtbk::g_app = new QApplication(*argc, argv);
        else
            qtbk::g_app = new QApplication(g_argc, g_argv);
        if (choosing) unsetenv("QT_QPA_PLATFORM");
    } else {
        qtbk::g_app = qobject_cast<QApplication*>(QCoreApplication::instance());
    }
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt's own texts (the file dialog's buttons, labels and columns) in
    // Japanese like the rest of the program, when its translations are installed.
    auto* translator = new QTranslator(qtbk::g_app);
    if (translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
    // Message boxes of other threads are shown on this one.
    win32bk::SetUiThread();
    // Qt hands large image operations to its thread pool; for the small
    // updates of this program the hand-over costs more than it saves.
    QThreadPool::globalInstance()->setMaxThreadCount(1);
    qtbk::g_pump = new qtbk::Pump;
    qtbk::WatchEvents();
    qtbk::WatchScreens();
    static qtbk::QtBackend backend;
    win32bk::InstallBackend(&backend);
    Win32HostHooks hooks = Win32GetHostHooks();
    hooks.asyncKeyState = AsyncKeyState;
    Win32SetHostHooks(hooks);
    qtbk::InstallMessageBox();
    qtbk::InstallCommonDialogs();
    qtbk::InstallClipboardReader();
    qtbk::SyncLockKeysFromX();
    QObject::connect(qtbk::g_app, &QGuiApplication::applicationStateChanged, qtbk::ApplicationStateChanged);
}

bool Initialized() {
    return qtbk::g_app != nullptr;
}

int Run() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    // Sends still waiting for this thread get 0.
    win32bk::CancelPendingSends();
    return static_cast<int>(msg.wParam);
}

// The window as drawn, with a composition window over it as on the screen.
Image Capture(HWND hwnd) {
    QPixmap picture = qtbk::Grab(hwnd);
    if (!picture.isNull()) qtbk::OverlayComposition(qtbk::HostOf(hwnd), &picture);
    return qtbk::ToImage(picture);
}

bool SavePng(const Image& image, const std::string& path) {
    QImage img(reinterpret_cast<const uchar*>(image.pixels.data()), image.width, image.height,
               image.width * 4, QImage::Format_RGB32);
    return img.save(QString::fromStdString(path), "PNG");
}

} // namespace qtplatform

// The font configuration library keeps its caches to the end of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\nleak:libfreetype\nleak:libQt6Gui\nleak:libQt6Core\nleak:libQt6Widgets\n";
}

namespace qtplatform {
bool IsMapped(HWND hwnd) {
    qtbk::HostWidget* w = qtbk::HostOf(hwnd);
    return w && w->isVisible();
}
std::u16string ShownTitle(HWND hwnd) {
    qtbk::HostWidget* w = qtbk::HostOf(hwnd);
    if (!w) return u"";
    const QString t = w->windowTitle();
    return std::u16string(reinterpret_cast<const char16_t*>(t.utf16()), static_cast<size_t>(t.size()));
}
RECT ShownRect(HWND hwnd) {
    qtbk::HostWidget* w = qtbk::HostOf(hwnd);
    if (!w) return RECT{};
    const QPoint at = w->mapToGlobal(QPoint(0, 0));
    return RECT{at.x(), at.y(), at.x() + w->width(), at.y() + w->height()};
}
HWND KeptAbove(HWND hwnd) {
    qtbk::HostWidget* w = qtbk::HostOf(hwnd);
    // A plain window is no transient of any: the display leaves it to the
    // window manager's stacking whatever its transient parent.
    if (!w || !w->isWindow() || w->windowType() == Qt::Window) return nullptr;
    return w->windowHandle() ? qtbk::WindowOfTopLevel(w->windowHandle()->transientParent()) : nullptr;
}
HWND OpenMessageBoxKeptAbove() {
    return qtbk::OpenBoxKeptAbove();
}
HWND CommonDialogKeptAbove() {
    return qtbk::ShownCommonDialogKeptAbove();
}
HWND ActiveTopLevel() {
    QWidget* active = QApplication::activeWindow();
    return active ? qtbk::WindowOfTopLevel(active->windowHandle()) : nullptr;
}
bool IsFramedByWindowManager(HWND hwnd) {
    qtbk::HostWidget* w = qtbk::HostOf(hwnd);
    return w && !w->parentWidget() && qtbk::Managed(w->windowFlags()) &&
           !(w->windowFlags() & Qt::FramelessWindowHint);
}
int TimesMapped(HWND hwnd) {
    qtbk::HostWidget* w = qtbk::HostOf(hwnd);
    return w ? w->TimesMapped() : 0;
}
} // namespace qtplatform
