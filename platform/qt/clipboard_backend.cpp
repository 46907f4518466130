// Reads the system clipboard's text through Qt for the platform layer.
#include "clipboard_backend.h"
#include "display/display.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <windows.h>

namespace qtbk {

void InstallClipboardReader() {
    win32bk::SetClipboardTextReader([]() -> std::optional<std::u16string> {
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return std::nullopt;
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        if (!data || !data->hasFormat(QStringLiteral("text/plain"))) return std::nullopt;
        return data->text().toStdU16String();
    });
}

} // namespace qtbk

namespace qtplatform {

void SetSystemClipboardText(const std::u16string& text) {
    QGuiApplication::clipboard()->setText(QString::fromStdU16String(text));
}

} // namespace qtplatform
