// The system clipboard's plain text for the clipboard functions of the
// platform layer.
#pragma once

namespace qtbk {
// Installs the reader behind IsClipboardFormatAvailable and GetClipboardData
// (CF_UNICODETEXT is the clipboard's text/plain); called once the
// application object exists.
void InstallClipboardReader();
} // namespace qtbk
