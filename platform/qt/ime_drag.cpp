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
#include <QUrl>

#include <windows.h>

#include "clipboard_backend.h"
#include "qt_internal.h"
#include "win32/dragdrop.h"
#include "win32/ime.h"

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

void HostWidget::inputMethodEvent(QInputMethodEvent* ev) {
    HWND target = ImeTarget(hwnd_);
    if (!ev->commitString().isEmpty())
        win32bk::ImeCommit(target, ev->commitString().toStdU16String());
    else
        win32bk::ImePreedit(target, ev->preeditString().toStdU16String());
    ev->accept();
}

QVariant HostWidget::inputMethodQuery(Qt::InputMethodQuery query) const {
    HWND target = ImeTarget(hwnd_);
    const win32bk::ImeState* s = win32bk::GetImeState(target);
    switch (query) {
    case Qt::ImEnabled: return true;
    case Qt::ImCursorRectangle: {
        POINT p = win32bk::ImeCompositionPoint(target);
        MapWindowPoints(target, hwnd_, &p, 1);
        int h = s && s->hasFont ? std::abs(static_cast<int>(s->font.lfHeight)) : 18;
        return QRect(p.x + ClientOrigin().x(), p.y + ClientOrigin().y(), 1, h);
    }
    case Qt::ImFont: {
        QFont f;
        if (s && s->hasFont) {
            f.setFamily(QString::fromUtf16(s->font.lfFaceName));
            f.setPixelSize(std::max(1, std::abs(static_cast<int>(s->font.lfHeight))));
        }
        return f;
    }
    default: return QWidget::inputMethodQuery(query);
    }
}

void HostWidget::PaintPreedit(QPainter& p) {
    const win32bk::ImeState* s = win32bk::GetImeState(hwnd_);
    if (!s || !s->composing || s->preedit.empty()) return;
    LOGFONTW lf{};
    if (s->hasFont) {
        lf = s->font;
    } else {
        lf.lfHeight = -18;
        lf.lfWeight = 400;
    }
    lf.lfUnderline = 0;
    std::shared_ptr<win32bk::FontFace> face = RealizeFont(lf);
    TEXTMETRICW tm;
    face->Metrics(&tm);
    std::u32string cps;
    for (size_t i = 0; i < s->preedit.size(); ++i) {
        char32_t c = s->preedit[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s->preedit.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s->preedit[i + 1] - 0xDC00);
            ++i;
        }
        cps.push_back(c);
    }
    std::vector<int> xs(cps.size());
    int pen = 0;
    for (size_t i = 0; i < cps.size(); ++i) {
        xs[i] = pen;
        pen += face->Advance(cps[i]);
    }
    QImage img(std::max(pen, 1), std::max<int>(tm.tmHeight, 1), QImage::Format_RGB32);
    img.fill(Qt::white);
    win32bk::Region clip(RECT{0, 0, img.width(), img.height()});
    win32bk::GlyphRun run{cps.data(), xs.data(), cps.size(), 0};
    DrawGlyphs(img, clip, face.get(), run, 0);
    QPainter ip(&img);
    ip.fillRect(QRect(0, std::min<int>(tm.tmAscent + 1, img.height() - 1), img.width(), 1), Qt::black);
    ip.end();
    POINT at = win32bk::ImeCompositionPoint(hwnd_);
    p.drawImage(QPoint(at.x, at.y) + ClientOrigin(), img);
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

void SendInputMethod(HWND target, const std::u16string& preedit, const std::u16string& commit) {
    qtbk::HostWidget* w = qtbk::HostOf(target);
    if (!w) return;
    QList<QInputMethodEvent::Attribute> attrs;
    QInputMethodEvent ev(QString::fromStdU16String(preedit), attrs);
    if (!commit.empty()) ev.setCommitString(QString::fromStdU16String(commit));
    QCoreApplication::sendEvent(w, &ev);
}

} // namespace qtplatform
