#include "tb_helpers.h"

#include <cstring>
#include <set>

#include "base/mempool.h"
#include "editor/nodepool.h"
#include "win32/backend.h"

int TestBeeps() {
    return win32bk::BeepCount();
}

namespace {
int g_failAt = 0;
bool g_failFrom = false;
void* (*g_alloc)(size_t) = nullptr;
void* (*g_realloc)(void*, size_t) = nullptr;
void* (*g_poolAlloc)(size_t) = nullptr;
bool Fails() {
    int n = ++FailingHeap::calls;
    return n == g_failAt || (g_failFrom && n > g_failAt);
}
} // namespace

FailingHeap::FailingHeap(int n, bool from) {
    g_failAt = n;
    g_failFrom = from;
    calls = 0;
    g_alloc = edit_heap_alloc;
    g_realloc = edit_heap_realloc;
    g_poolAlloc = mempool_heap_alloc;
    edit_heap_alloc = [](size_t size) { return Fails() ? nullptr : g_alloc(size); };
    edit_heap_realloc = [](void* p, size_t size) { return Fails() ? nullptr : g_realloc(p, size); };
    mempool_heap_alloc = [](size_t size) { return Fails() ? nullptr : g_poolAlloc(size); };
}

FailingHeap::~FailingHeap() {
    edit_heap_alloc = g_alloc;
    edit_heap_realloc = g_realloc;
    mempool_heap_alloc = g_poolAlloc;
}

HWND MakeWindow(const char16_t* className, WNDPROC proc) {
    static std::set<std::u16string> registered;
    if (registered.insert(className).second) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = proc;
        wc.lpszClassName = className;
        RegisterClassW(&wc);
    }
    return CreateWindowExW(0, className, u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

void RandomText::AppendChar(Rng& rng, std::u16string& s) const {
    switch (Pick(rng, 12)) {
    case 0: s += u'\t'; break;
    case 1: s += static_cast<char16_t>(u'あ' + Pick(rng, 80)); break;
    case 2: s += static_cast<char16_t>(0x4E00 + Pick(rng, kanji)); break;
    case 3:
        s += static_cast<char16_t>(0xD840 + Pick(rng, 4));
        s += static_cast<char16_t>(0xDC00 + Pick(rng, 200));
        break;
    case 4:
        if (lone && Pick(rng, 4) == 0)
            s += static_cast<char16_t>(Pick(rng, 2) ? 0xD855 : 0xDC55);
        else
            s += u' ';
        break;
    default: s += letters[Pick(rng, static_cast<int>(std::char_traits<char16_t>::length(letters)))]; break;
    }
}

std::u16string RandomText::Piece(Rng& rng, int maxUnits) const {
    std::u16string s;
    int n = Pick(rng, maxUnits + 1);
    while (static_cast<int>(s.size()) < n) {
        int k = Pick(rng, 10);
        if (k < 3)
            s += k == 0 ? u"\r\n" : k == 1 ? u"\r" : u"\n";
        else
            AppendChar(rng, s);
    }
    return s;
}

uint64_t Hash(const CEditData& d, int from, int tail) {
    uint64_t h = 1469598103934665603ull;
    h = (h ^ static_cast<uint64_t>(d.GetLineCount())) * 1099511628211ull;
    h = (h ^ static_cast<uint64_t>(d.m_totalLength)) * 1099511628211ull;
    for (int i = from; i < d.GetLineCount() - tail; i++) {
        const EditLine* l = d.GetLine(i);
        int k = 0;
        for (; k + 4 <= l->length; k += 4) {
            uint64_t w;
            std::memcpy(&w, l->text + k, 8);
            h = (h ^ w) * 0x9E3779B97F4A7C15ull;
            h ^= h >> 29;
        }
        for (; k < l->length; k++) h = (h ^ l->text[k]) * 1099511628211ull;
    }
    return h;
}
