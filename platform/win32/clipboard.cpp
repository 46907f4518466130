// Clipboard text through the backend's reader. The data handle is a block
// owned by the clipboard until it is closed.
#include <windows.h>

#include <mutex>
#include <vector>

namespace {

struct GlobalBlock {
    uint32_t magic;
    std::vector<char16_t> text;
};
constexpr uint32_t kGlobalMagic = 0x474c4f42;

std::mutex clipMutex;
std::function<std::optional<std::u16string>()> reader;
bool clipOpen = false;
GlobalBlock* data = nullptr;

std::optional<std::u16string> read_text() {
    std::function<std::optional<std::u16string>()> r;
    {
        std::lock_guard<std::mutex> lock(clipMutex);
        r = reader;
    }
    if (!r) return std::nullopt;
    return r();
}

GlobalBlock* block_of(HGLOBAL h) {
    GlobalBlock* b = static_cast<GlobalBlock*>(h);
    return b && b->magic == kGlobalMagic ? b : nullptr;
}

} // namespace

BOOL IsClipboardFormatAvailable(UINT format) {
    if (format != CF_UNICODETEXT) return FALSE;
    return read_text().has_value() ? TRUE : FALSE;
}

BOOL OpenClipboard(HWND) {
    if (clipOpen) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    clipOpen = true;
    return TRUE;
}

BOOL CloseClipboard() {
    if (!clipOpen) return FALSE;
    clipOpen = false;
    if (data) {
        data->magic = 0;
        delete data;
        data = nullptr;
    }
    return TRUE;
}

HANDLE GetClipboardData(UINT format) {
    if (!clipOpen || format != CF_UNICODETEXT) return nullptr;
    std::optional<std::u16string> text = read_text();
    if (!text) return nullptr;
    if (!data) data = new GlobalBlock{kGlobalMagic, {}};
    data->text.assign(text->begin(), text->end());
    data->text.push_back(0);
    return data;
}

LPVOID GlobalLock(HGLOBAL memory) {
    GlobalBlock* b = block_of(memory);
    return b ? b->text.data() : nullptr;
}

BOOL GlobalUnlock(HGLOBAL memory) {
    return block_of(memory) ? TRUE : FALSE;
}

SIZE_T GlobalSize(HGLOBAL memory) {
    GlobalBlock* b = block_of(memory);
    return b ? b->text.size() * sizeof(char16_t) : 0;
}

namespace win32bk {
void SetClipboardTextReader(std::function<std::optional<std::u16string>()> r) {
    std::lock_guard<std::mutex> lock(clipMutex);
    reader = std::move(r);
}
} // namespace win32bk
