// The clipboard over the backend's reader and writer, and global memory
// blocks. The data handles of GetClipboardData belong to the clipboard until
// it is closed.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

struct GlobalBlock {
    uint32_t magic;
    std::vector<uint8_t> bytes;
};
constexpr uint32_t kGlobalMagic = 0x474c4f42;

std::mutex clipMutex;
std::function<std::optional<std::u16string>()> textReader;
std::function<std::optional<win32bk::ClipFormats>()> fullReader;
std::function<void(const win32bk::ClipFormats&)> writer;
win32bk::ClipFormats local; // the clipboard when no backend holds it
HWND clipOwner = nullptr;
bool clipOpen = false;
bool emptied = false;
std::vector<std::pair<UINT, GlobalBlock*>> pending; // set since EmptyClipboard
std::vector<GlobalBlock*> readBlocks;               // handed out by GetClipboardData
std::atomic<int> liveBlocks{0};
bool failNext[4] = {false, false, false, false};

bool take_failure(win32bk::ClipFailure f) {
    bool& flag = failNext[static_cast<int>(f)];
    bool fail = flag;
    flag = false;
    return fail;
}

GlobalBlock* block_of(HGLOBAL h) {
    auto* b = static_cast<GlobalBlock*>(h);
    return b && b->magic == kGlobalMagic ? b : nullptr;
}

GlobalBlock* new_block(std::vector<uint8_t> bytes) {
    auto* b = new GlobalBlock{kGlobalMagic, std::move(bytes)};
    ++liveBlocks;
    return b;
}

void free_block(GlobalBlock* b) {
    b->magic = 0;
    delete b;
    --liveBlocks;
}

win32bk::ClipFormats read_formats() {
    std::function<std::optional<win32bk::ClipFormats>()> full;
    std::function<std::optional<std::u16string>()> text;
    {
        std::lock_guard<std::mutex> lock(clipMutex);
        full = fullReader;
        text = textReader;
    }
    if (text) {
        auto t = text();
        if (!t) return {};
        std::vector<uint8_t> bytes((t->size() + 1) * 2, 0);
        std::memcpy(bytes.data(), t->data(), t->size() * 2);
        return {{CF_UNICODETEXT, std::move(bytes)}};
    }
    if (full) {
        if (auto f = full()) return *f;
        return {};
    }
    std::lock_guard<std::mutex> lock(clipMutex);
    return local;
}

std::vector<std::u16string>& FormatNames() {
    static std::vector<std::u16string> names;
    return names;
}

char16_t fold(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

} // namespace

UINT RegisterClipboardFormatW(LPCWSTR name) {
    if (!name || !*name) return 0;
    std::lock_guard<std::mutex> lock(clipMutex);
    std::u16string key;
    for (const char16_t* p = name; *p; ++p) key.push_back(fold(*p));
    auto& names = FormatNames();
    for (size_t i = 0; i < names.size(); ++i) {
        std::u16string k;
        for (char16_t c : names[i]) k.push_back(fold(c));
        if (k == key) return static_cast<UINT>(0xC000 + i);
    }
    names.emplace_back(name);
    return static_cast<UINT>(0xC000 + names.size() - 1);
}

int GetClipboardFormatNameW(UINT format, LPWSTR name, int max) {
    std::lock_guard<std::mutex> lock(clipMutex);
    auto& names = FormatNames();
    if (format < 0xC000 || format - 0xC000 >= names.size() || !name || max <= 0) return 0;
    const std::u16string& n = names[format - 0xC000];
    int len = std::min(static_cast<int>(n.size()), max - 1);
    std::copy(n.begin(), n.begin() + len, name);
    name[len] = 0;
    return len;
}

BOOL IsClipboardFormatAvailable(UINT format) {
    for (auto& f : read_formats())
        if (f.first == format) return TRUE;
    return FALSE;
}

BOOL OpenClipboard(HWND owner) {
    if (clipOpen) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    clipOpen = true;
    clipOwner = owner;
    emptied = false;
    return TRUE;
}

HWND GetOpenClipboardWindow() {
    return clipOpen ? clipOwner : nullptr;
}

BOOL EmptyClipboard() {
    if (!clipOpen || take_failure(win32bk::ClipFailure::EmptyClipboard)) return FALSE;
    for (auto& p : pending) free_block(p.second);
    pending.clear();
    emptied = true;
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE memory) {
    GlobalBlock* b = block_of(memory);
    if (!clipOpen || !emptied || !b || take_failure(win32bk::ClipFailure::SetClipboardData)) return nullptr;
    for (auto& p : pending)
        if (p.first == format) {
            free_block(p.second);
            p.second = b;
            return memory;
        }
    pending.emplace_back(format, b);
    return memory;
}

BOOL CloseClipboard() {
    if (!clipOpen) return FALSE;
    clipOpen = false;
    clipOwner = nullptr;
    for (GlobalBlock* b : readBlocks) free_block(b);
    readBlocks.clear();
    if (emptied) {
        win32bk::ClipFormats formats;
        for (auto& p : pending) {
            std::vector<uint8_t> bytes = p.second->bytes;
            if (p.first == CF_UNICODETEXT) {
                // Text is published up to its first NUL, or the block's end.
                size_t n = 0;
                while (n + 1 < bytes.size() && (bytes[n] | bytes[n + 1])) n += 2;
                bytes.resize(n);
                bytes.push_back(0);
                bytes.push_back(0);
            }
            formats.emplace_back(p.first, std::move(bytes));
            free_block(p.second);
        }
        pending.clear();
        emptied = false;
        std::function<void(const win32bk::ClipFormats&)> w;
        {
            std::lock_guard<std::mutex> lock(clipMutex);
            w = writer;
            local = formats;
        }
        if (w) w(formats);
    }
    return TRUE;
}

HANDLE GetClipboardData(UINT format) {
    if (!clipOpen) return nullptr;
    for (auto& f : read_formats()) {
        if (f.first != format) continue;
        GlobalBlock* b = new_block(f.second);
        readBlocks.push_back(b);
        return b;
    }
    return nullptr;
}

HGLOBAL GlobalAlloc(UINT, SIZE_T bytes) {
    if (take_failure(win32bk::ClipFailure::GlobalAlloc)) return nullptr;
    return new_block(std::vector<uint8_t>(bytes, 0));
}

HGLOBAL GlobalFree(HGLOBAL memory) {
    GlobalBlock* b = block_of(memory);
    if (!b) return memory;
    free_block(b);
    return nullptr;
}

LPVOID GlobalLock(HGLOBAL memory) {
    GlobalBlock* b = block_of(memory);
    if (!b || take_failure(win32bk::ClipFailure::GlobalLock)) return nullptr;
    static uint8_t empty[2] = {0, 0};
    return b->bytes.empty() ? empty : b->bytes.data();
}

BOOL GlobalUnlock(HGLOBAL memory) {
    return block_of(memory) ? TRUE : FALSE;
}

SIZE_T GlobalSize(HGLOBAL memory) {
    GlobalBlock* b = block_of(memory);
    return b ? b->bytes.size() : 0;
}

namespace win32bk {

void SetClipboardTextReader(std::function<std::optional<std::u16string>()> r) {
    std::lock_guard<std::mutex> lock(clipMutex);
    textReader = std::move(r);
}

void SetClipboardBackend(std::function<std::optional<ClipFormats>()> r,
                         std::function<void(const ClipFormats&)> w) {
    std::lock_guard<std::mutex> lock(clipMutex);
    fullReader = std::move(r);
    writer = std::move(w);
}

void FailNext(ClipFailure what) {
    failNext[static_cast<int>(what)] = true;
}

int LiveGlobalBlocks() {
    return liveBlocks.load();
}

void InjectClipboard(const ClipFormats& formats) {
    std::function<void(const ClipFormats&)> w;
    {
        std::lock_guard<std::mutex> lock(clipMutex);
        w = writer;
        local = formats;
    }
    if (w) w(formats);
}

} // namespace win32bk
