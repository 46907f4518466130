// The clipboard and global memory blocks. The display backend supplies the
// system clipboard through a reader and a writer of (format, bytes) pairs;
// without one the clipboard lives in the process.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "win32/types.h"
#include "win32/window.h"

typedef HANDLE HGLOBAL;

#define CF_TEXT 1
#define CF_OEMTEXT 7
#define CF_UNICODETEXT 13

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)

// One id per name (case ignored), from 0xC000; 0 for an empty name.
UINT RegisterClipboardFormatW(LPCWSTR name);
// The name of a registered format; 0 for a standard one.
int GetClipboardFormatNameW(UINT format, LPWSTR name, int max);

BOOL IsClipboardFormatAvailable(UINT format);
// Fails while another window holds the clipboard open.
BOOL OpenClipboard(HWND owner);
// Publishes what was set since EmptyClipboard.
BOOL CloseClipboard();
BOOL EmptyClipboard();
// Only while open; the clipboard takes the block. Null on failure (the
// block stays the caller's).
HANDLE SetClipboardData(UINT format, HANDLE memory);
// A block owned by the clipboard while it is open; null otherwise or when
// the format is not offered.
HANDLE GetClipboardData(UINT format);
HWND GetOpenClipboardWindow();

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
// Null on success.
HGLOBAL GlobalFree(HGLOBAL memory);
LPVOID GlobalLock(HGLOBAL memory);
BOOL GlobalUnlock(HGLOBAL memory);
SIZE_T GlobalSize(HGLOBAL memory);

namespace win32bk {

using ClipFormats = std::vector<std::pair<UINT, std::vector<uint8_t>>>;

// The backend's reader: the clipboard's plain text, or nothing when it holds
// none (or there is no GUI application).
void SetClipboardTextReader(std::function<std::optional<std::u16string>()> reader);
// The backend's full reader and writer: every format with its bytes
// (CF_UNICODETEXT as UTF-16 with its terminator).
void SetClipboardBackend(std::function<std::optional<ClipFormats>()> reader,
                         std::function<void(const ClipFormats&)> writer);

// Test seams.
enum class ClipFailure { GlobalAlloc, GlobalLock, EmptyClipboard, SetClipboardData };
void FailNext(ClipFailure what);
int LiveGlobalBlocks();
// Puts formats on the clipboard as another program would.
void InjectClipboard(const ClipFormats& formats);

} // namespace win32bk
