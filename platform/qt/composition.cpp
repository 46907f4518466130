// The composition window: the input method's composition drawn as a window
// of its own above the composing window, as a Windows input method draws
// it, so that no editor clips it. It starts at the composition point and
// wraps within the composition area (CFS_RECT) when the window set one;
// without one it is moved into the screen. Each clause is drawn with its
// attribute and the composition's caret where the input method puts it.
#include <QGuiApplication>
#include <QInputMethod>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <windows.h>

#include <climits>

#include "qt_internal.h"
#include "win32/ime.h"
#include "win32/ime_composition.h"

namespace qtbk {

namespace {

// Colours of the clause kinds: a target clause is highlighted, the one
// being converted strongest.
const QColor kTargetBack(0, 120, 215);
const QColor kTargetPendingBack(204, 232, 255);

struct Layout {
    std::shared_ptr<win32bk::FontFace> face;
    int ascent = 0, row = 0;
    std::vector<char32_t> cps;
    std::vector<int> unit;           // the first unit of each code point
    std::vector<int> xs, ys, widths; // each code point's cell, in the composing window's client pixels
    QRect bounds;                    // all the cells and the caret, client pixels
    QPoint caret;                    // the composition caret's top, client pixels
};

Layout LayOut(HWND hwnd, const win32bk::Composition& s) {
    Layout l;
    LOGFONTW lf = win32bk::ImeDrawingFont(hwnd);
    lf.lfUnderline = 0;
    l.face = RealizeFont(lf);
    TEXTMETRICW tm{};
    l.face->Metrics(&tm);
    l.ascent = tm.tmAscent;
    l.row = std::max<int>(tm.tmHeight, 1) + 2;
    const std::u16string& t = s.text;
    for (size_t i = 0; i < t.size(); ++i) {
        char32_t c = t[i];
        l.unit.push_back(static_cast<int>(i));
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < t.size() && t[i + 1] >= 0xDC00 && t[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (t[i + 1] - 0xDC00);
            ++i;
        }
        l.cps.push_back(c);
    }
    POINT at = win32bk::ImeCompositionPoint(hwnd);
    RECT a{};
    const bool wrap = win32bk::ImeCompositionArea(hwnd, &a) && a.right > a.left;
    const int left = wrap ? a.left : at.x, right = wrap ? a.right : INT_MAX;
    int x = at.x, y = at.y;
    bool lineHasText = false;
    for (char32_t c : l.cps) {
        int w = l.face->Advance(c);
        // A line holds at least one character; a first line that cannot
        // starts at the area's left edge one row lower.
        if (wrap && x + w > right && (lineHasText || x > left)) {
            x = left;
            y += l.row;
            lineHasText = false;
        }
        l.xs.push_back(x);
        l.ys.push_back(y);
        l.widths.push_back(w);
        x += w;
        lineHasText = true;
    }
    // The caret: before the code point at the cursor, after the last one at the end.
    size_t k = 0;
    while (k < l.unit.size() && l.unit[k] < s.cursor) ++k;
    if (k < l.cps.size())
        l.caret = QPoint(l.xs[k], l.ys[k]);
    else if (!l.cps.empty())
        l.caret = QPoint(l.xs.back() + l.widths.back(), l.ys.back());
    else
        l.caret = QPoint(at.x, at.y);
    l.bounds = QRect(l.caret, QSize(2, l.row));
    for (size_t i = 0; i < l.cps.size(); ++i) l.bounds |= QRect(l.xs[i], l.ys[i], l.widths[i], l.row);
    return l;
}

BYTE AttrAt(const win32bk::Composition& s, int unit) {
    return unit >= 0 && static_cast<size_t>(unit) < s.attrs.size() ? s.attrs[static_cast<size_t>(unit)]
                                                                   : ATTR_INPUT;
}

size_t ClauseAt(const win32bk::Composition& s, int unit) {
    size_t c = 0;
    while (c + 1 < s.clauses.size() && static_cast<int>(s.clauses[c + 1]) <= unit) ++c;
    return c;
}

QImage Draw(const Layout& l, const win32bk::Composition& s) {
    QImage img(l.bounds.size(), QImage::Format_RGB32);
    img.fill(Qt::white);
    const QPoint o = l.bounds.topLeft();
    const size_t n = l.cps.size();
    for (size_t i = 0; i < n; ++i) {
        BYTE attr = AttrAt(s, l.unit[i]);
        QRect cell(l.xs[i] - o.x(), l.ys[i] - o.y(), l.widths[i], l.row);
        if (attr == ATTR_TARGET_CONVERTED) {
            QPainter(&img).fillRect(cell, kTargetBack);
        } else if (attr == ATTR_TARGET_NOTCONVERTED) {
            QPainter(&img).fillRect(cell, kTargetPendingBack);
        }
        win32bk::Region clip(RECT{0, 0, img.width(), img.height()});
        int x = cell.left();
        win32bk::GlyphRun run{&l.cps[i], &x, 1, cell.top()};
        DrawGlyphs(img, clip, l.face.get(), run,
                   attr == ATTR_TARGET_CONVERTED ? RGB(255, 255, 255) : RGB(0, 0, 0));
    }
    // Underlines, one per clause and line, a gap of two pixels between clauses:
    // dotted for input, solid for converted text, thick for the target.
    QPainter p(&img);
    size_t i = 0;
    while (i < n) {
        size_t j = i + 1;
        size_t clause = ClauseAt(s, l.unit[i]);
        while (j < n && l.ys[j] == l.ys[i] && ClauseAt(s, l.unit[j]) == clause) ++j;
        BYTE attr = AttrAt(s, l.unit[i]);
        int x0 = l.xs[i] - o.x() + 1, x1 = l.xs[j - 1] + l.widths[j - 1] - o.x() - 1;
        int y = std::min(l.ys[i] - o.y() + l.ascent + 1, img.height() - 2);
        bool thick = attr == ATTR_TARGET_CONVERTED || attr == ATTR_TARGET_NOTCONVERTED;
        bool dotted = attr == ATTR_INPUT || attr == ATTR_TARGET_NOTCONVERTED;
        for (int yy = y; yy < y + (thick ? 2 : 1); ++yy)
            for (int x = x0; x < x1; ++x)
                if (!dotted || (x - x0) % 2 == 0) p.fillRect(QRect(x, yy, 1, 1), Qt::black);
        i = j;
    }
    if (s.cursorShown) {
        QPoint c = l.caret - o;
        p.fillRect(QRect(c.x(), c.y(), 2, l.row), Qt::black);
    }
    return img;
}

// The window on the screen: a frameless window of the display's own, kept
// above its top-level window, never activated nor given the keys (the
// window manager neither frames nor focuses it), clicks going through to
// the window below.
class CompositionWindow : public QWidget {
public:
    CompositionWindow()
        : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                               Qt::WindowTransparentForInput) {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::NoFocus);
    }
    HWND owner = nullptr;
    QImage image;
    QPoint caret; // on the screen
    int row = 0;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, image); }
};

CompositionWindow* g_window = nullptr;

// The composition's place on the screen: at its client place, moved left
// into the screen when it reaches past the screen's right edge.
QPoint ScreenPlace(HostWidget* host, const Layout& l) {
    QPoint at = host->mapToGlobal(host->ClientOrigin() + l.bounds.topLeft());
    QScreen* screen = host->screen();
    if (screen) {
        QRect room = screen->availableGeometry();
        if (at.x() + l.bounds.width() > room.right() + 1)
            at.setX(std::max(room.left(), room.right() + 1 - l.bounds.width()));
    }
    return at;
}

} // namespace

void RefreshComposition(HWND hwnd) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
    if (!hwnd && g_window) hwnd = g_window->owner;
    const win32bk::Composition s = hwnd ? win32bk::CurrentComposition(hwnd) : win32bk::Composition{};
    HostWidget* host = hwnd ? HostOf(hwnd) : nullptr;
    const bool shown = !s.text.empty() && host && host->isVisible();
    if (!shown) {
        if (g_window && (g_window->owner == hwnd || !IsWindow(g_window->owner))) {
            g_window->owner = nullptr;
            g_window->hide();
        }
        return;
    }
    if (!g_window) g_window = new CompositionWindow;
    Layout l = LayOut(hwnd, s);
    g_window->owner = hwnd;
    g_window->image = Draw(l, s);
    g_window->row = l.row;
    const QPoint at = ScreenPlace(host, l);
    g_window->caret = at + (l.caret - l.bounds.topLeft());
    QWidget* top = host->window();
    top->winId();
    g_window->winId();
    if (g_window->windowHandle()->transientParent() != top->windowHandle())
        g_window->windowHandle()->setTransientParent(top->windowHandle());
    g_window->setGeometry(QRect(at, l.bounds.size()));
    if (!g_window->isVisible()) g_window->show();
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) g_window->raise();
    g_window->update();
    QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
}

bool CompositionCaret(HWND hwnd, QRect* screen) {
    if (!g_window || g_window->owner != hwnd || !g_window->isVisible()) return false;
    *screen = QRect(g_window->caret, QSize(1, g_window->row));
    return true;
}

void OverlayComposition(QWidget* w, QPixmap* picture) {
    if (!g_window || !g_window->isVisible() || !w) return;
    QRect on(w->mapToGlobal(QPoint(0, 0)), w->size());
    QRect comp = g_window->geometry();
    if (!on.intersects(comp)) return;
    QPainter p(picture);
    p.drawImage(comp.topLeft() - on.topLeft(), g_window->image);
}

} // namespace qtbk

namespace qtplatform {

bool ShownComposition(HWND* owner, RECT* screen, Image* image) {
    qtbk::CompositionWindow* w = qtbk::g_window;
    if (!w || !w->isVisible() || !w->owner) return false;
    QRect g = w->geometry();
    if (owner) *owner = w->owner;
    if (screen) *screen = RECT{g.left(), g.top(), g.right() + 1, g.bottom() + 1};
    if (image) *image = qtbk::ToImage(w->grab());
    return true;
}

} // namespace qtplatform
