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

#include "qt_internal.h"
#include "win32/dragdrop.h"
#include "win32/ime.h"

namespace qtbk {

namespace {

HWND ImeTarget(HWND host) {
    HWND f = GetFocus();
    return f ? f : host;
}

const QString kPrefix = QStringLiteral("application/x-tavrelix-clipboard-");

win32bk::ClipFormats FormatsOf(const QMimeData* data) {
    win32bk::ClipFormats out;
    if (!data) return out;
    if (data->hasText()) {
        std::u16string t = data->text().toStdU16String();
        std::vector<uint8_t> bytes((t.size() + 1) * 2, 0);
        std::memcpy(bytes.data(), t.data(), t.size() * 2);
        out.emplace_back(CF_UNICODETEXT, std::move(bytes));
    }
    for (const QString& f : data->formats()) {
        if (!f.startsWith(kPrefix)) continue;
        QString rest = f.mid(kPrefix.size());
        bool ok = false;
        UINT id = rest.toUInt(&ok);
        if (!ok) {
            std::u16string name = rest.toStdU16String();
            id = RegisterClipboardFormatW(name.c_str());
        }
        QByteArray b = data->data(f);
        out.emplace_back(id, std::vector<uint8_t>(b.begin(), b.end()));
    }
    return out;
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
            auto* data = new QMimeData;
            for (const auto& f : formats) {
                if (f.first == CF_UNICODETEXT) {
                    std::u16string t(reinterpret_cast<const char16_t*>(f.second.data()), f.second.size() / 2);
                    size_t end = t.find(u'\0');
                    if (end != std::u16string::npos) t.resize(end);
                    data->setText(QString::fromStdU16String(t));
                } else {
                    char16_t name[256];
                    int n = GetClipboardFormatNameW(f.first, name, 256);
                    QString mime = kPrefix + (n > 0 ? QString::fromUtf16(name, n) : QString::number(f.first));
                    data->setData(mime, QByteArray(reinterpret_cast<const char*>(f.second.data()),
                                                   static_cast<qsizetype>(f.second.size())));
                }
            }
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
    win32bk::ClipFormats f = FormatsOf(ev->mimeData());
    QPoint c = ev->position().toPoint() - ClientOrigin();
    DWORD e = win32bk::DragTargetEvent(hwnd_, win32bk::DragPhase::Enter, &f, KeysOf(ev->modifiers()),
                                       POINT{c.x(), c.y()});
    if (e) {
        ev->setDropAction(ActionOf(e));
        ev->accept();
    } else {
        ev->ignore();
    }
}

void HostWidget::dragMoveEvent(QDragMoveEvent* ev) {
    win32bk::ClipFormats f = FormatsOf(ev->mimeData());
    QPoint c = ev->position().toPoint() - ClientOrigin();
    DWORD e = win32bk::DragTargetEvent(hwnd_, win32bk::DragPhase::Over, &f, KeysOf(ev->modifiers()),
                                       POINT{c.x(), c.y()});
    if (e) {
        ev->setDropAction(ActionOf(e));
        ev->accept();
    } else {
        ev->ignore();
    }
}

void HostWidget::dragLeaveEvent(QDragLeaveEvent* ev) {
    win32bk::DragTargetEvent(hwnd_, win32bk::DragPhase::Leave, nullptr, 0, POINT{0, 0});
    ev->accept();
}

void HostWidget::dropEvent(QDropEvent* ev) {
    win32bk::ClipFormats f = FormatsOf(ev->mimeData());
    QPoint c = ev->position().toPoint() - ClientOrigin();
    DWORD e = win32bk::DragTargetEvent(hwnd_, win32bk::DragPhase::Drop, &f, KeysOf(ev->modifiers()),
                                       POINT{c.x(), c.y()});
    if (e) {
        ev->setDropAction(ActionOf(e));
        ev->accept();
    } else {
        ev->setDropAction(Qt::IgnoreAction);
        ev->ignore();
    }
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
