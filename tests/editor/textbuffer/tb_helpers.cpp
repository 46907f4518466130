#include "tb_helpers.h"

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
