// The system clipboard's plain text for the clipboard functions of the
// platform layer, and the MIME data of clipboard formats that it and the
// drags share.
#pragma once

#include "win32/clipboard.h"

class QMimeData;

namespace qtbk {
// CF_UNICODETEXT as text/plain (up to its NUL), every other format a private
// MIME type named from it; a new object the caller owns.
QMimeData* MimeDataOf(const win32bk::ClipFormats& formats);
// The formats of MIME data: text/plain as CF_UNICODETEXT with its NUL, and
// the private types back as their formats.
win32bk::ClipFormats FormatsOf(const QMimeData* data);

// Installs the reader behind IsClipboardFormatAvailable and GetClipboardData
// (CF_UNICODETEXT is the clipboard's text/plain); called once the
// application object exists.
void InstallClipboardReader();
} // namespace qtbk
