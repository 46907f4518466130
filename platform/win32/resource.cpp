#include "win32/resource.h"

#include <cstring>
#include <mutex>
#include <vector>

#include "win32/errors.h"

namespace {

struct Table {
    const win32rc::Resource* items;
    size_t count;
    int priority;
    size_t order;
};

std::mutex g_lock;
std::vector<Table> g_tables;
size_t g_order = 0;

char16_t fold(char16_t c) {
    return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
}

bool sameName(const char16_t* a, const char16_t* b) {
    for (; *a && *b; ++a, ++b)
        if (fold(*a) != fold(*b)) return false;
    return *a == *b;
}

// A requested name: an integer resource or a string, "#123" meaning 123.
bool matches(LPCWSTR want, WORD id, const char16_t* name) {
    if (IS_INTRESOURCE(want)) return !name && id == WORD(reinterpret_cast<ULONG_PTR>(want));
    if (want[0] == u'#') {
        unsigned v = 0;
        const char16_t* p = want + 1;
        if (!*p) return false;
        for (; *p; ++p) {
            if (*p < u'0' || *p > u'9' || v > 65535) return false;
            v = v * 10 + unsigned(*p - u'0');
        }
        return !name && v == id;
    }
    return name && sameName(want, name);
}

} // namespace

namespace win32rc {

bool RegisterResources(const Resource* table, size_t count, int priority) {
    std::lock_guard<std::mutex> lock(g_lock);
    for (const Table& t : g_tables)
        if (t.items == table) return true;
    g_tables.push_back({table, count, priority, g_order++});
    return true;
}

void UnregisterResources(const Resource* table) {
    std::lock_guard<std::mutex> lock(g_lock);
    for (size_t i = 0; i < g_tables.size(); ++i)
        if (g_tables[i].items == table) {
            g_tables.erase(g_tables.begin() + long(i));
            return;
        }
}

} // namespace win32rc

HRSRC FindResourceW(HMODULE, LPCWSTR name, LPCWSTR type) {
    if (!name || !type) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(g_lock);
    const win32rc::Resource* best = nullptr;
    const Table* bestTable = nullptr;
    bool typeSeen = false;
    for (const Table& t : g_tables) {
        for (size_t i = 0; i < t.count; ++i) {
            const win32rc::Resource& r = t.items[i];
            if (!matches(type, r.typeId, r.typeName)) continue;
            typeSeen = true;
            if (!matches(name, r.id, r.name)) continue;
            if (!bestTable || t.priority > bestTable->priority ||
                (t.priority == bestTable->priority && t.order > bestTable->order)) {
                best = &r;
                bestTable = &t;
            }
        }
    }
    if (!best) {
        SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(const_cast<win32rc::Resource*>(best));
}

HGLOBAL LoadResource(HMODULE, HRSRC res) {
    if (!res) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return const_cast<BYTE*>(reinterpret_cast<const win32rc::Resource*>(res)->data);
}

LPVOID LockResource(HGLOBAL data) {
    return data;
}

DWORD SizeofResource(HMODULE, HRSRC res) {
    return res ? reinterpret_cast<const win32rc::Resource*>(res)->size : 0;
}

BOOL FreeResource(HGLOBAL) {
    return FALSE;
}

namespace {

// String id's text in one block of sixteen counted strings, or null when the
// block holds none (an empty entry) or is cut short.
const char16_t* stringInBlock(const win32rc::Resource& r, UINT index, WORD* length) {
    size_t at = 0;
    for (UINT i = 0; i < index; ++i) {
        if (at + 2 > r.size) return nullptr;
        WORD n;
        memcpy(&n, r.data + at, 2);
        at += 2 + size_t(n) * 2;
    }
    if (at + 2 > r.size) return nullptr;
    WORD n;
    memcpy(&n, r.data + at, 2);
    at += 2;
    if (n == 0 || at + size_t(n) * 2 > r.size) return nullptr;
    *length = n;
    return reinterpret_cast<const char16_t*>(r.data + at);
}

} // namespace

// Each string is looked up on its own: a table of a higher priority that has
// the string's block but not the string leaves it to the lower ones, so the
// program's script overrides single framework strings.
int LoadStringW(HINSTANCE, UINT id, LPWSTR buffer, int max) {
    if (!buffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto fail = [&] {
        if (max > 0) buffer[0] = 0;
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    };
    if (id > 0xFFFF) return fail();
    const WORD block = WORD((id >> 4) + 1);
    const char16_t* text = nullptr;
    WORD n = 0;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        const Table* bestTable = nullptr;
        for (const Table& t : g_tables) {
            if (bestTable && (t.priority < bestTable->priority ||
                              (t.priority == bestTable->priority && t.order < bestTable->order)))
                continue;
            for (size_t i = 0; i < t.count; ++i) {
                const win32rc::Resource& r = t.items[i];
                if (r.typeName || r.typeId != 6 || r.name || r.id != block) continue;
                WORD len = 0;
                if (const char16_t* s = stringInBlock(r, id & 15, &len)) {
                    text = s;
                    n = len;
                    bestTable = &t;
                }
                break;
            }
        }
    }
    if (!text) return fail();
    if (max == 0) {
        *reinterpret_cast<LPCWSTR*>(buffer) = text;
        return n;
    }
    int copy = n < max - 1 ? n : max - 1;
    if (copy < 0) copy = 0;
    memcpy(buffer, text, size_t(copy) * 2);
    buffer[copy] = 0;
    return copy;
}
