// The system clipboard through Qt for the platform layer: CF_UNICODETEXT is
// text/plain, every other format a private MIME type named from it.
#include "clipboard_backend.h"
#include "display/display.h"

#include <cstring>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <windows.h>

namespace {

const QString kPrefix = QStringLiteral("application/x-tavrelix-clipboard-");

QString mime_of(UINT format) {
    char16_t name[256];
    int n = GetClipboardFormatNameW(format, name, 256);
    if (n > 0) return kPrefix + QString::fromUtf16(name, n);
    return kPrefix + QString::number(format);
}

UINT format_of(const QString& mime) {
    QString rest = mime.mid(kPrefix.size());
    bool ok = false;
    UINT id = rest.toUInt(&ok);
    if (ok) return id;
    std::u16string name = rest.toStdU16String();
    return RegisterClipboardFormatW(name.c_str());
}

bool have_gui() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

} // namespace

namespace qtbk {

QMimeData* MimeDataOf(const win32bk::ClipFormats& formats) {
    auto* data = new QMimeData;
    for (const auto& f : formats) {
        if (f.first == CF_UNICODETEXT) {
            std::u16string t(reinterpret_cast<const char16_t*>(f.second.data()), f.second.size() / 2);
            size_t end = t.find(u'\0');
            if (end != std::u16string::npos) t.resize(end);
            data->setText(QString::fromStdU16String(t));
        } else {
            data->setData(mime_of(f.first), QByteArray(reinterpret_cast<const char*>(f.second.data()),
                                                       static_cast<qsizetype>(f.second.size())));
        }
    }
    return data;
}

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
        QByteArray b = data->data(f);
        out.emplace_back(format_of(f), std::vector<uint8_t>(b.begin(), b.end()));
    }
    return out;
}

void InstallClipboardReader() {
    win32bk::SetClipboardBackend(
        []() -> std::optional<win32bk::ClipFormats> {
            if (!have_gui()) return std::nullopt;
            const QMimeData* data = QGuiApplication::clipboard()->mimeData();
            if (!data) return std::nullopt;
            return FormatsOf(data);
        },
        [](const win32bk::ClipFormats& formats) {
            if (!have_gui()) return;
            QGuiApplication::clipboard()->setMimeData(MimeDataOf(formats));
        });
}

} // namespace qtbk

namespace qtplatform {

void SetSystemClipboardText(const std::u16string& text) {
    QGuiApplication::clipboard()->setText(QString::fromStdU16String(text));
}

} // namespace qtplatform
