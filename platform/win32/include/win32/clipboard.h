// Reading the clipboard's text. The display backend supplies the text
// (CF_UNICODETEXT is the system clipboard's plain text); without a backend
// reader the clipboard offers no format.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "win32/types.h"
#include "win32/window.h"

typedef HANDLE HGLOBAL;

#define CF_TEXT 1
#define CF_UNICODETEXT 13

BOOL IsClipboardFormatAvailable(UINT format);
BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
// A handle to the NUL-terminated text while the clipboard is open; null
// otherwise or when the format is not offered.
HANDLE GetClipboardData(UINT format);

LPVOID GlobalLock(HGLOBAL memory);
BOOL GlobalUnlock(HGLOBAL memory);
SIZE_T GlobalSize(HGLOBAL memory);

namespace win32bk {
// The backend's reader: the clipboard's plain text, or nothing when it holds
// none (or there is no GUI application).
void SetClipboardTextReader(std::function<std::optional<std::u16string>()> reader);
} // namespace win32bk
