// Input-method and drag-and-drop events of the host widgets, and the drag
// source and URL opener of the platform layer.
#include <QDesktopServices>
#include <QDrag>
#include <QDragEnterEvent>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QPainter>
#include <QTextCharFormat>
#include <QUrl>

#include <algorithm>

#include <windows.h>

#include "clipboard_backend.h"
#include "qt_internal.h"
#include "win32/dragdrop.h"
#include "win32/ime.h"
#include "win32/ime_composition.h"

namespace qtbk {

namespace {

HWND ImeTarget(HWND host) {
    HWND f = GetFocus();
    return f ? f : host;
}

DWORD KeysOf(Qt::KeyboardModifiers m) {
    win32bk::InputModifiers(m & Qt::ShiftModifier, m & Qt::ControlModifier, m & Qt::AltModifier);
    return (m & Qt::ShiftModifier ? MK_SHIFT : 0) | (m & Qt::ControlModifier ? MK_CONTROL : 0) | MK_LBUTTON;
}

Qt::DropAction ActionOf(DWORD effect) {
    return effect & 1   ? Qt::CopyAction
           : effect & 2 ? Qt::MoveAction
           : effect & 4 ? Qt::LinkAction
                        : Qt::IgnoreAction;
}

// A drag over a host: the window's effect at the event's client point
// becomes the drop action; none refuses the drag. True when accepted.
bool OfferDrag(HWND hwnd, QPoint origin, win32bk::DragPhase phase, QDropEvent* ev) {
    win32bk::ClipFormats f = FormatsOf(ev->mimeData());
    QPoint c = ev->position().toPoint() - origin;
    DWORD e = win32bk::DragTargetEvent(hwnd, phase, &f, KeysOf(ev->modifiers()), POINT{c.x(), c.y()});
    if (!e) {
        ev->ignore();
        return false;
    }
    ev->setDropAction(ActionOf(e));
    ev->accept();
    return true;
}

struct Installer {
    Installer() {
        win32bk::SetImeResetHook([](HWND) {
            if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
                QGuiApplication::inputMethod()->reset();
        });
        win32bk::SetImeChangedHook([](HWND hwnd) { RefreshComposition(hwnd); });
        win32bk::SetShellOpener([](int kind, const std::u16string& target) {
            if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
            QString t = QString::fromStdU16String(target);
            return QDesktopServices::openUrl(kind == 0 ? QUrl(t) : QUrl::fromLocalFile(t));
        });
        win32bk::SetDragExec([](const win32bk::ClipFormats& formats, DWORD allowed) -> DWORD {
            QWidget* source = HostOf(GetCapture() ? GetCapture() : GetFocus());
            if (!source) return 0;
            QMimeData* data = MimeDataOf(formats);
            auto* drag = new QDrag(source);
            drag->setMimeData(data);
            Qt::DropActions actions;
            if (allowed & 1) actions |= Qt::CopyAction;
            if (allowed & 2) actions |= Qt::MoveAction;
            Qt::DropAction r = drag->exec(actions, Qt::MoveAction);
            return r == Qt::CopyAction ? 1 : r == Qt::MoveAction ? 2 : 0;
        });
    }
} g_installer;

} // namespace

namespace {

// The composition of an input-method event: its clauses are the ranges of
// its text formats, and a highlighted one (a background) is the target of a
// conversion, the others then converted text; without a highlight all of it
// is input. The cursor attribute is the composition's caret.
win32bk::Composition CompositionOf(const QInputMethodEvent& ev) {
    win32bk::Composition c;
    c.text = ev.preeditString().toStdU16String();
    const int n = static_cast<int>(c.text.size());
    std::vector<bool> high(static_cast<size_t>(n), false);
    bool anyHigh = false;
    std::vector<DWORD> cuts;
    c.cursor = n;
    for (const QInputMethodEvent::Attribute& a : ev.attributes()) {
        if (a.type == QInputMethodEvent::Cursor) {
            c.cursor = a.start;
            c.cursorShown = a.length > 0;
            continue;
        }
        if (a.type != QInputMethodEvent::TextFormat) continue;
        int from = std::clamp(a.start, 0, n), to = std::clamp(a.start + a.length, 0, n);
        if (from >= to) continue;
        QTextCharFormat f = qvariant_cast<QTextFormat>(a.value).toCharFormat();
        bool h = f.background().style() != Qt::NoBrush;
        anyHigh = anyHigh || h;
        for (int i = from; i < to; ++i) high[static_cast<size_t>(i)] = h;
        cuts.push_back(static_cast<DWORD>(from));
        cuts.push_back(static_cast<DWORD>(to));
    }
    std::sort(cuts.begin(), cuts.end());
    c.clauses = cuts;
    c.attrs.resize(static_cast<size_t>(n), ATTR_INPUT);
    if (anyHigh)
        for (int i = 0; i < n; ++i)
            c.attrs[static_cast<size_t>(i)] =
                high[static_cast<size_t>(i)] ? ATTR_TARGET_CONVERTED : ATTR_CONVERTED;
    return c;
}

} // namespace

// The input method's events go to the window with the keyboard focus: one
// top-level window's windows share its input context. A commit comes first,
// then the composition the same event starts.
void HostWidget::inputMethodEvent(QInputMethodEvent* ev) {
    HWND target = ImeTarget(hwnd_);
    if (!ev->commitString().isEmpty()) {
        win32bk::ImeCommit(target, ev->commitString().toStdU16String());
        if (!ev->preeditString().isEmpty()) win32bk::ImePreedit(ImeTarget(hwnd_), CompositionOf(*ev));
    } else {
        win32bk::ImePreedit(target, CompositionOf(*ev));
    }
    ev->accept();
}

QVariant HostWidget::inputMethodQuery(Qt::InputMethodQuery query) const {
    HWND target = ImeTarget(hwnd_);
    switch (query) {
    case Qt::ImEnabled: return true;
    case Qt::ImCursorRectangle: {
        // While composing, the composition's caret, so that the candidate
        // list opens under the clause being converted; else the composition point.
        QRect caret;
        if (CompositionCaret(target, &caret)) return QRect(mapFromGlobal(caret.topLeft()), caret.size());
        POINT p = win32bk::ImeCompositionPoint(target);
        MapWindowPoints(target, hwnd_, &p, 1);
        LOGFONTW lf = win32bk::ImeDrawingFont(target);
        int h = lf.lfHeight ? std::abs(static_cast<int>(lf.lfHeight)) : 18;
        return QRect(p.x + ClientOrigin().x(), p.y + ClientOrigin().y(), 1, h);
    }
    case Qt::ImFont: {
        QFont f;
        LOGFONTW lf = win32bk::ImeDrawingFont(target);
        if (lf.lfFaceName[0]) f.setFamily(QString::fromUtf16(lf.lfFaceName));
        if (lf.lfHeight) f.setPixelSize(std::max(1, std::abs(static_cast<int>(lf.lfHeight))));
        return f;
    }
    default: return QWidget::inputMethodQuery(query);
    }
}

void HostWidget::dragEnterEvent(QDragEnterEvent* ev) {
    OfferDrag(hwnd_, ClientOrigin(), win32bk::DragPhase::Enter, ev);
}

void HostWidget::dragMoveEvent(QDragMoveEvent* ev) {
    OfferDrag(hwnd_, ClientOrigin(), win32bk::DragPhase::Over, ev);
}

void HostWidget::dragLeaveEvent(QDragLeaveEvent* ev) {
    win32bk::DragTargetEvent(hwnd_, win32bk::DragPhase::Leave, nullptr, 0, POINT{0, 0});
    ev->accept();
}

void HostWidget::dropEvent(QDropEvent* ev) {
    if (!OfferDrag(hwnd_, ClientOrigin(), win32bk::DragPhase::Drop, ev)) ev->setDropAction(Qt::IgnoreAction);
}

} // namespace qtbk

namespace qtplatform {

void SendComposition(HWND target, const std::u16string& preedit, const std::vector<PreeditClause>& clauses,
                     int cursor) {
    qtbk::HostWidget* w = qtbk::HostOf(target);
    if (!w) return;
    QList<QInputMethodEvent::Attribute> attrs;
    for (const PreeditClause& c : clauses) {
        QTextCharFormat f;
        if (c.highlighted) {
            f.setBackground(QColor(0, 120, 215));
            f.setForeground(Qt::white);
        } else {
            f.setUnderlineStyle(QTextCharFormat::DashUnderline);
        }
        attrs << QInputMethodEvent::Attribute(QInputMethodEvent::TextFormat, c.start, c.length, f);
    }
    attrs << QInputMethodEvent::Attribute(QInputMethodEvent::Cursor, std::max(cursor, 0), cursor < 0 ? 0 : 1);
    QInputMethodEvent ev(QString::fromStdU16String(preedit), attrs);
    QCoreApplication::sendEvent(w, &ev);
}

void SendInputMethod(HWND target, const std::u16string& preedit, const std::u16string& commit) {
    qtbk::HostWidget* w = qtbk::HostOf(target);
    if (!w) return;
    QList<QInputMethodEvent::Attribute> attrs;
    QInputMethodEvent ev(QString::fromStdU16String(preedit), attrs);
    if (!commit.empty()) ev.setCommitString(QString::fromStdU16String(commit));
    QCoreApplication::sendEvent(w, &ev);
}

} // namespace qtplatform
