// Menus: handles and items, the menu bar of a top-level window, popup
// windows and the menu loop; accelerator tables; the keyboard layout table.
#include "win32/menu.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/win32/wnd_internal.h"
#include "win32/gdi.h"
#include "win32/msgbox.h"
#include "win32/resource.h"

namespace win32bk {

namespace {

struct Item {
    UINT flags = 0; // MF_GRAYED, MF_DISABLED, MF_CHECKED, MF_POPUP, MF_SEPARATOR, MF_HILITE, MF_DEFAULT
    UINT_PTR id = 0;
    HMENU sub = nullptr;
    std::u16string text;
};

struct Menu {
    bool popup = false;
    std::vector<Item> items;
};

std::mutex g_menuMutex;
std::map<uintptr_t, std::unique_ptr<Menu>>& Menus() {
    static auto* m = new std::map<uintptr_t, std::unique_ptr<Menu>>;
    return *m;
}
uintptr_t g_nextMenu = 0x20000;

Menu* MenuOf(HMENU h) {
    std::lock_guard<std::mutex> lock(g_menuMutex);
    auto it = Menus().find(reinterpret_cast<uintptr_t>(h));
    return it == Menus().end() ? nullptr : it->second.get();
}

HMENU NewMenu(bool popup) {
    auto m = std::make_unique<Menu>();
    m->popup = popup;
    std::lock_guard<std::mutex> lock(g_menuMutex);
    uintptr_t id = g_nextMenu;
    g_nextMenu += 4;
    Menus()[id] = std::move(m);
    return reinterpret_cast<HMENU>(id);
}

// The item at a position, or the first item with that command in the menu or
// its submenus (depth first). The menu that holds it and its index come back.
Item* FindItem(HMENU h, UINT item, UINT flags, HMENU* owner = nullptr, int* index = nullptr) {
    Menu* m = MenuOf(h);
    if (!m) return nullptr;
    if (flags & MF_BYPOSITION) {
        if (item >= m->items.size()) return nullptr;
        if (owner) *owner = h;
        if (index) *index = static_cast<int>(item);
        return &m->items[item];
    }
    for (size_t i = 0; i < m->items.size(); ++i) {
        Item& it = m->items[i];
        if (!(it.flags & MF_POPUP) && !(it.flags & MF_SEPARATOR) && it.id == item) {
            if (owner) *owner = h;
            if (index) *index = static_cast<int>(i);
            return &it;
        }
    }
    for (auto& it : m->items)
        if (it.flags & MF_POPUP)
            if (Item* found = FindItem(it.sub, item, flags, owner, index)) return found;
    return nullptr;
}

constexpr UINT kStateBits = MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_HILITE | MF_DEFAULT | MFT_RADIOCHECK;

void Fill(Item& it, UINT flags, UINT_PTR idOrPopup, LPCWSTR text) {
    it.flags = flags & (kStateBits | MF_POPUP | MF_SEPARATOR | MF_MENUBREAK | MF_MENUBARBREAK |
                        MF_RIGHTJUSTIFY | MF_OWNERDRAW);
    if (flags & MF_POPUP) {
        it.sub = reinterpret_cast<HMENU>(idOrPopup);
        it.id = idOrPopup;
        if (Menu* sub = MenuOf(it.sub)) sub->popup = true;
    } else {
        it.sub = nullptr;
        it.id = idOrPopup;
    }
    if (!(flags & (MF_SEPARATOR | MF_OWNERDRAW))) it.text = text ? text : u"";
    if (flags & MF_SEPARATOR) it.text.clear();
}

std::u16string StripMnemonic(const std::u16string& s, int* mnemonicAt = nullptr) {
    std::u16string out;
    if (mnemonicAt) *mnemonicAt = -1;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == u'&' && i + 1 < s.size()) {
            ++i;
            if (s[i] != u'&' && mnemonicAt && *mnemonicAt < 0) *mnemonicAt = static_cast<int>(out.size());
        }
        out.push_back(s[i]);
    }
    return out;
}

char16_t MnemonicOf(const std::u16string& s) {
    for (size_t i = 0; i + 1 < s.size(); ++i) {
        if (s[i] != u'&') continue;
        if (s[i + 1] == u'&') {
            ++i;
            continue;
        }
        char16_t c = s[i + 1];
        return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
    }
    return 0;
}

// --- Registered resources ---------------------------------------------------------------------

std::map<UINT, std::vector<MenuTemplateItem>>& MenuResources() {
    static auto* m = new std::map<UINT, std::vector<MenuTemplateItem>>;
    return *m;
}

struct AccelTable {
    std::vector<ACCEL> entries;
};
std::map<uintptr_t, std::unique_ptr<AccelTable>>& Accels() {
    static auto* m = new std::map<uintptr_t, std::unique_ptr<AccelTable>>;
    return *m;
}
uintptr_t g_nextAccel = 0x30000;
std::map<UINT, std::vector<ACCEL>>& AccelResources() {
    static auto* m = new std::map<UINT, std::vector<ACCEL>>;
    return *m;
}

MenuAnswerHook g_answerHook = nullptr;
std::vector<ShownMenu>* g_menuTrace = nullptr;

} // namespace

HMENU MenuOfWindow(HWND hwnd);

} // namespace win32bk

using namespace win32bk;

// --- Menu handles and items ------------------------------------------------------------------

HMENU CreateMenu() {
    return NewMenu(false);
}
HMENU CreatePopupMenu() {
    return NewMenu(true);
}

BOOL DestroyMenu(HMENU h) {
    std::vector<HMENU> subs;
    {
        std::lock_guard<std::mutex> lock(g_menuMutex);
        auto it = Menus().find(reinterpret_cast<uintptr_t>(h));
        if (it == Menus().end()) return FALSE;
        for (auto& item : it->second->items)
            if (item.flags & MF_POPUP) subs.push_back(item.sub);
        Menus().erase(it);
    }
    for (HMENU s : subs) DestroyMenu(s);
    return TRUE;
}

BOOL IsMenu(HMENU h) {
    return MenuOf(h) ? TRUE : FALSE;
}

BOOL AppendMenuW(HMENU h, UINT flags, UINT_PTR idOrPopup, LPCWSTR text) {
    Menu* m = MenuOf(h);
    if (!m) return FALSE;
    Item it;
    Fill(it, flags, idOrPopup, text);
    m->items.push_back(std::move(it));
    return TRUE;
}

BOOL InsertMenuW(HMENU h, UINT position, UINT flags, UINT_PTR idOrPopup, LPCWSTR text) {
    Menu* m = MenuOf(h);
    if (!m) return FALSE;
    size_t at = m->items.size();
    if (flags & MF_BYPOSITION) {
        if (position != static_cast<UINT>(-1)) at = std::min<size_t>(position, m->items.size());
    } else {
        HMENU owner = nullptr;
        int index = 0;
        if (!FindItem(h, position, MF_BYCOMMAND, &owner, &index))
            return AppendMenuW(h, flags, idOrPopup, text);
        m = MenuOf(owner);
        at = static_cast<size_t>(index);
    }
    Item it;
    Fill(it, flags & ~MF_BYPOSITION, idOrPopup, text);
    m->items.insert(m->items.begin() + static_cast<ptrdiff_t>(at), std::move(it));
    return TRUE;
}

BOOL ModifyMenuW(HMENU h, UINT position, UINT flags, UINT_PTR idOrPopup, LPCWSTR text) {
    Item* it = FindItem(h, position, flags & MF_BYPOSITION);
    if (!it) return FALSE;
    Fill(*it, flags & ~MF_BYPOSITION, idOrPopup, text);
    return TRUE;
}

static BOOL Remove(HMENU h, UINT position, UINT flags, bool destroy) {
    HMENU owner = nullptr;
    int index = 0;
    Item* it = FindItem(h, position, flags & MF_BYPOSITION, &owner, &index);
    if (!it) return FALSE;
    HMENU sub = (it->flags & MF_POPUP) ? it->sub : nullptr;
    Menu* m = MenuOf(owner);
    m->items.erase(m->items.begin() + index);
    if (destroy && sub) DestroyMenu(sub);
    return TRUE;
}

BOOL DeleteMenu(HMENU h, UINT position, UINT flags) {
    return Remove(h, position, flags, true);
}
BOOL RemoveMenu(HMENU h, UINT position, UINT flags) {
    return Remove(h, position, flags, false);
}

int GetMenuItemCount(HMENU h) {
    Menu* m = MenuOf(h);
    return m ? static_cast<int>(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU h, int position) {
    Menu* m = MenuOf(h);
    if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size()) return static_cast<UINT>(-1);
    const Item& it = m->items[static_cast<size_t>(position)];
    if (it.flags & MF_POPUP) return static_cast<UINT>(-1);
    if (it.flags & MF_SEPARATOR) return 0;
    return static_cast<UINT>(it.id);
}

HMENU GetSubMenu(HMENU h, int position) {
    Menu* m = MenuOf(h);
    if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size()) return nullptr;
    const Item& it = m->items[static_cast<size_t>(position)];
    return (it.flags & MF_POPUP) ? it.sub : nullptr;
}

UINT GetMenuState(HMENU h, UINT item, UINT flags) {
    Item* it = FindItem(h, item, flags & MF_BYPOSITION);
    if (!it) return static_cast<UINT>(-1);
    UINT state = it->flags & (kStateBits | MF_POPUP | MF_SEPARATOR | MF_MENUBREAK | MF_MENUBARBREAK);
    if (it->flags & MF_POPUP) {
        int n = GetMenuItemCount(it->sub);
        state = (static_cast<UINT>(std::max(n, 0)) << 8) | (state & 0xFF);
    }
    return state;
}

int GetMenuStringW(HMENU h, UINT item, LPWSTR buffer, int max, UINT flags) {
    Item* it = FindItem(h, item, flags & MF_BYPOSITION);
    if (!it) return 0;
    int n = static_cast<int>(it->text.size());
    if (!buffer || max <= 0) return n;
    n = std::min(n, max - 1);
    std::copy_n(it->text.data(), n, buffer);
    buffer[n] = 0;
    return n;
}

UINT EnableMenuItem(HMENU h, UINT item, UINT flags) {
    Item* it = FindItem(h, item, flags & MF_BYPOSITION);
    if (!it) return static_cast<UINT>(-1);
    UINT old = it->flags & (MF_GRAYED | MF_DISABLED);
    it->flags = (it->flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
    return old;
}

DWORD CheckMenuItem(HMENU h, UINT item, UINT flags) {
    Item* it = FindItem(h, item, flags & MF_BYPOSITION);
    if (!it) return static_cast<DWORD>(-1);
    DWORD old = it->flags & MF_CHECKED;
    it->flags = (it->flags & ~MF_CHECKED) | (flags & MF_CHECKED);
    return old;
}

BOOL CheckMenuRadioItem(HMENU h, UINT first, UINT last, UINT check, UINT flags) {
    bool any = false;
    if (flags & MF_BYPOSITION) {
        Menu* m = MenuOf(h);
        if (!m) return FALSE;
        for (UINT i = first; i <= last && i < m->items.size(); ++i) {
            Item& it = m->items[i];
            it.flags &= ~(MF_CHECKED | MFT_RADIOCHECK);
            if (i == check) it.flags |= MF_CHECKED | MFT_RADIOCHECK, any = true;
        }
        return any ? TRUE : FALSE;
    }
    for (UINT id = first; id <= last; ++id)
        if (Item* it = FindItem(h, id, MF_BYCOMMAND)) {
            it->flags &= ~(MF_CHECKED | MFT_RADIOCHECK);
            if (id == check) it->flags |= MF_CHECKED | MFT_RADIOCHECK, any = true;
        }
    return any ? TRUE : FALSE;
}

BOOL GetMenuItemInfoW(HMENU h, UINT item, BOOL byPosition, LPMENUITEMINFOW info) {
    Item* it = FindItem(h, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
    if (!it || !info) return FALSE;
    if (info->fMask & (MIIM_FTYPE | MIIM_TYPE)) info->fType = it->flags & (MF_SEPARATOR | MFT_RADIOCHECK);
    if (info->fMask & MIIM_STATE)
        info->fState = it->flags & (MFS_GRAYED | MF_CHECKED | MF_HILITE | MF_DEFAULT);
    if (info->fMask & MIIM_ID) info->wID = (it->flags & MF_POPUP) ? 0 : static_cast<UINT>(it->id);
    if (info->fMask & MIIM_SUBMENU) info->hSubMenu = (it->flags & MF_POPUP) ? it->sub : nullptr;
    if (info->fMask & (MIIM_STRING | MIIM_TYPE)) {
        UINT n = static_cast<UINT>(it->text.size());
        if (info->dwTypeData && info->cch > 0) {
            UINT k = std::min(n, info->cch - 1);
            std::copy_n(it->text.data(), k, info->dwTypeData);
            info->dwTypeData[k] = 0;
            info->cch = k;
        } else {
            info->cch = n;
        }
    }
    return TRUE;
}

BOOL SetMenuItemInfoW(HMENU h, UINT item, BOOL byPosition, LPCMENUITEMINFOW info) {
    Item* it = FindItem(h, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
    if (!it || !info) return FALSE;
    if (info->fMask & (MIIM_STRING | MIIM_TYPE))
        it->text = info->dwTypeData ? std::u16string(info->dwTypeData) : std::u16string();
    if (info->fMask & (MIIM_FTYPE | MIIM_TYPE))
        it->flags =
            (it->flags & ~(MF_SEPARATOR | MFT_RADIOCHECK)) | (info->fType & (MF_SEPARATOR | MFT_RADIOCHECK));
    if (info->fMask & MIIM_STATE)
        it->flags = (it->flags & ~(MFS_GRAYED | MF_CHECKED | MF_HILITE | MF_DEFAULT)) |
                    (info->fState & (MFS_GRAYED | MF_CHECKED | MF_HILITE | MF_DEFAULT));
    if (info->fMask & MIIM_ID && !(it->flags & MF_POPUP)) it->id = info->wID;
    if (info->fMask & MIIM_SUBMENU) {
        if (info->hSubMenu)
            it->flags |= MF_POPUP, it->sub = info->hSubMenu,
                                   it->id = reinterpret_cast<UINT_PTR>(info->hSubMenu);
        else if (it->flags & MF_POPUP)
            it->flags &= ~MF_POPUP, it->sub = nullptr, it->id = 0;
    }
    return TRUE;
}

// --- Resources ------------------------------------------------------------------------------

void RegisterMenuResource(UINT id, std::vector<MenuTemplateItem> items) {
    std::lock_guard<std::mutex> lock(g_menuMutex);
    MenuResources()[id] = std::move(items);
}

static size_t BuildLevel(HMENU into, const MenuTemplateItem* items, size_t count, size_t at) {
    while (at < count) {
        const MenuTemplateItem& t = items[at++];
        bool last = (t.flags & MF_END) != 0;
        UINT flags = t.flags & ~MF_END;
        if (flags & MF_POPUP) {
            HMENU sub = CreatePopupMenu();
            at = BuildLevel(sub, items, count, at);
            AppendMenuW(into, flags, reinterpret_cast<UINT_PTR>(sub), t.text);
        } else {
            if (!t.text && !t.id) flags |= MF_SEPARATOR;
            AppendMenuW(into, flags, t.id, t.text);
        }
        if (last) break;
    }
    return at;
}

HMENU LoadMenuIndirectItems(const MenuTemplateItem* items, size_t count) {
    HMENU bar = CreateMenu();
    BuildLevel(bar, items, count, 0);
    return bar;
}

// A menu template in Windows' binary layout: a header of two words, then
// items: flags, the id unless MF_POPUP, the text; MF_END closes a level.
static std::vector<MenuTemplateItem> ParseMenuTemplate(const BYTE* data, DWORD size,
                                                       std::vector<std::u16string>& texts) {
    std::vector<MenuTemplateItem> items;
    auto word = [&](size_t at) {
        WORD w = 0;
        if (at + 2 <= size) std::memcpy(&w, data + at, 2);
        return w;
    };
    size_t at = 4 + word(2);
    std::vector<std::pair<UINT, UINT>> raw;
    std::vector<size_t> textIndex;
    texts.reserve(size / 4 + 1);
    while (at + 2 <= size) {
        UINT flags = word(at);
        at += 2;
        UINT id = 0;
        if (!(flags & MF_POPUP)) {
            id = word(at);
            at += 2;
        }
        std::u16string text;
        while (at + 2 <= size) {
            WORD c = word(at);
            at += 2;
            if (!c) break;
            text.push_back(static_cast<char16_t>(c));
        }
        texts.push_back(text);
        bool separator = !(flags & MF_POPUP) && id == 0 && text.empty();
        items.push_back(
            MenuTemplateItem{flags & ~static_cast<UINT>(MF_SEPARATOR), id, separator ? nullptr : u""});
        textIndex.push_back(texts.size() - 1);
    }
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].text) items[i].text = texts[textIndex[i]].c_str();
    return items;
}

HMENU LoadMenuW(HINSTANCE, LPCWSTR name) {
    std::vector<MenuTemplateItem> items;
    bool found = false;
    if (IS_INTRESOURCE(name)) {
        std::lock_guard<std::mutex> lock(g_menuMutex);
        auto it = MenuResources().find(static_cast<UINT>(reinterpret_cast<uintptr_t>(name)));
        if (it != MenuResources().end()) items = it->second, found = true;
    }
    if (found) return LoadMenuIndirectItems(items.data(), items.size());
    // The compiled resources.
    HRSRC res = FindResourceW(nullptr, name, RT_MENU);
    if (!res) return nullptr;
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, res)));
    if (!data) return nullptr;
    std::vector<std::u16string> texts;
    items = ParseMenuTemplate(data, SizeofResource(nullptr, res), texts);
    return LoadMenuIndirectItems(items.data(), items.size());
}

// --- Accelerators ---------------------------------------------------------------------------

HACCEL CreateAcceleratorTableW(LPACCEL entries, int count) {
    if (!entries || count <= 0) return nullptr;
    auto t = std::make_unique<AccelTable>();
    t->entries.assign(entries, entries + count);
    std::lock_guard<std::mutex> lock(g_menuMutex);
    uintptr_t id = g_nextAccel;
    g_nextAccel += 4;
    Accels()[id] = std::move(t);
    return reinterpret_cast<HACCEL>(id);
}

BOOL DestroyAcceleratorTable(HACCEL table) {
    std::lock_guard<std::mutex> lock(g_menuMutex);
    return Accels().erase(reinterpret_cast<uintptr_t>(table)) ? TRUE : FALSE;
}

static const AccelTable* AccelOf(HACCEL table) {
    std::lock_guard<std::mutex> lock(g_menuMutex);
    auto it = Accels().find(reinterpret_cast<uintptr_t>(table));
    return it == Accels().end() ? nullptr : it->second.get();
}

int CopyAcceleratorTableW(HACCEL table, LPACCEL entries, int count) {
    const AccelTable* t = AccelOf(table);
    if (!t) return 0;
    int n = static_cast<int>(t->entries.size());
    if (!entries) return n;
    n = std::min(n, count);
    std::copy_n(t->entries.begin(), n, entries);
    return n;
}

void RegisterAcceleratorResource(UINT id, std::vector<ACCEL> entries) {
    std::lock_guard<std::mutex> lock(g_menuMutex);
    AccelResources()[id] = std::move(entries);
}

HACCEL LoadAcceleratorsW(HINSTANCE, LPCWSTR name) {
    std::vector<ACCEL> entries;
    bool found = false;
    if (IS_INTRESOURCE(name)) {
        std::lock_guard<std::mutex> lock(g_menuMutex);
        auto it = AccelResources().find(static_cast<UINT>(reinterpret_cast<uintptr_t>(name)));
        if (it != AccelResources().end()) entries = it->second, found = true;
    }
    if (!found) {
        // Compiled: entries of four words (flags, key, command, padding); 0x80 marks the last.
        HRSRC res = FindResourceW(nullptr, name, RT_ACCELERATOR);
        if (!res) return nullptr;
        const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, res)));
        DWORD size = SizeofResource(nullptr, res);
        for (DWORD at = 0; data && at + 8 <= size; at += 8) {
            WORD w[4];
            std::memcpy(w, data + at, 8);
            entries.push_back(ACCEL{static_cast<BYTE>(w[0] & 0x7F), w[1], w[2]});
            if (w[0] & 0x80) break;
        }
    }
    if (entries.empty()) return nullptr;
    return CreateAcceleratorTableW(entries.data(), static_cast<int>(entries.size()));
}

int TranslateAcceleratorW(HWND hwnd, HACCEL table, LPMSG msg) {
    if (!hwnd || !msg) return 0;
    const AccelTable* t = AccelOf(table);
    if (!t) return 0;
    bool keyMsg = msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN;
    bool charMsg = msg->message == WM_CHAR || msg->message == WM_SYSCHAR;
    if (!keyMsg && !charMsg) return 0;
    BYTE mods = 0;
    if (GetKeyState(VK_SHIFT) < 0) mods |= FSHIFT;
    if (GetKeyState(VK_CONTROL) < 0) mods |= FCONTROL;
    if (GetKeyState(VK_MENU) < 0) mods |= FALT;
    const ACCEL* hit = nullptr;
    for (const ACCEL& a : t->entries) {
        if (keyMsg && (a.fVirt & FVIRTKEY)) {
            if (a.key == (msg->wParam & 0xFFFF) && (a.fVirt & (FSHIFT | FCONTROL | FALT)) == mods) {
                hit = &a;
                break;
            }
        } else if (charMsg && !(a.fVirt & FVIRTKEY)) {
            bool altWanted = (a.fVirt & FALT) != 0;
            if (a.key == (msg->wParam & 0xFFFF) && altWanted == ((mods & FALT) != 0)) {
                hit = &a;
                break;
            }
        }
    }
    if (!hit) return 0;
    UINT cmd = hit->cmd;
    HMENU bar = GetMenu(hwnd);
    HMENU owner = nullptr;
    int index = 0;
    if (bar && FindItem(bar, cmd, MF_BYCOMMAND, &owner, &index)) {
        SendMessageW(hwnd, WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0);
        if (owner != bar && IsWindow(hwnd)) {
            // The popup that holds the command, by its place in its parent.
            HMENU parent = bar;
            int pos = 0;
            std::function<bool(HMENU)> find = [&](HMENU m) {
                int n = GetMenuItemCount(m);
                for (int i = 0; i < n; ++i) {
                    HMENU sub = GetSubMenu(m, i);
                    if (!sub) continue;
                    if (sub == owner) {
                        parent = m, pos = i;
                        return true;
                    }
                    if (find(sub)) return true;
                }
                return false;
            };
            find(bar);
            (void)parent;
            SendMessageW(hwnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(owner), MAKELPARAM(pos, 0));
        }
        Item* it = IsWindow(hwnd) ? FindItem(bar, cmd, MF_BYCOMMAND) : nullptr;
        if (!it || (it->flags & (MF_GRAYED | MF_DISABLED))) return 1;
    }
    if (IsWindow(hwnd))
        SendMessageW(hwnd, (hit->fVirt & 0x80) ? WM_SYSCOMMAND : WM_COMMAND, MAKEWPARAM(cmd, 1), 0);
    return 1;
}

// --- Keyboard layout -------------------------------------------------------------------------

const std::vector<LayoutKey>& win32bk::Jp106Keys() {
    static const std::vector<LayoutKey> keys = [] {
        std::vector<LayoutKey> k = {
            {'1', u'1', u'!'},          {'2', u'2', u'"'},
            {'3', u'3', u'#'},          {'4', u'4', u'$'},
            {'5', u'5', u'%'},          {'6', u'6', u'&'},
            {'7', u'7', u'\''},         {'8', u'8', u'('},
            {'9', u'9', u')'},          {'0', u'0', 0},
            {VK_OEM_MINUS, u'-', u'='}, {VK_OEM_7, u'^', u'~'},
            {VK_OEM_5, u'\\', u'|'},    {VK_OEM_3, u'@', u'`'},
            {VK_OEM_4, u'[', u'{'},     {VK_OEM_PLUS, u';', u'+'},
            {VK_OEM_1, u':', u'*'},     {VK_OEM_6, u']', u'}'},
            {VK_OEM_COMMA, u',', u'<'}, {VK_OEM_PERIOD, u'.', u'>'},
            {VK_OEM_2, u'/', u'?'},     {VK_OEM_102, u'\\', u'_'},
            {VK_SPACE, u' ', u' '},
        };
        for (char16_t c = u'A'; c <= u'Z'; ++c) k.push_back({c, static_cast<char16_t>(c - u'A' + u'a'), c});
        return k;
    }();
    return keys;
}

short VkKeyScanW(WCHAR ch) {
    switch (ch) {
    case u'\b': return VK_BACK;
    case u'\t': return VK_TAB;
    case u'\r': return VK_RETURN;
    case u'\n': return 0x200 | VK_RETURN;
    case 0x1B: return VK_ESCAPE;
    case 0x03: return 0x200 | VK_CANCEL;
    }
    if (ch >= 1 && ch <= 26) return static_cast<short>(0x200 | ('A' + ch - 1));
    // The key that types it alone wins over a shifted one; of two keys typing
    // "\" the one beside the right Shift (as on Windows).
    short best = -1;
    for (const LayoutKey& k : Jp106Keys()) {
        if (k.normal == ch) {
            if (best < 0 || (best & 0x100) || (ch == u'\\' && k.vk == VK_OEM_102))
                best = static_cast<short>(k.vk);
        } else if (k.shifted == ch && best < 0) {
            best = static_cast<short>(0x100 | k.vk);
        }
    }
    return best;
}

UINT MapVirtualKeyW(UINT code, UINT type) {
    if (type == MAPVK_VK_TO_CHAR) {
        switch (code) {
        case VK_BACK: return 8;
        case VK_TAB: return 9;
        case VK_RETURN: return 13;
        case VK_ESCAPE: return 27;
        }
        for (const LayoutKey& k : Jp106Keys())
            if (k.vk == code)
                return (k.normal >= u'a' && k.normal <= u'z') ? k.normal - u'a' + u'A' : k.normal;
        if (code >= VK_NUMPAD0 && code <= VK_NUMPAD0 + 9) return u'0' + (code - VK_NUMPAD0);
        switch (code) {
        case VK_MULTIPLY: return u'*';
        case VK_ADD: return u'+';
        case VK_SUBTRACT: return u'-';
        case VK_DECIMAL: return u'.';
        case VK_DIVIDE: return u'/';
        }
        return 0;
    }
    return 0;
}

// --- The menu bar and popups ------------------------------------------------------------------

namespace win32bk {

namespace {

constexpr int kBarHeight = 20;
constexpr int kItemHeight = 22;
constexpr int kSeparatorHeight = 8;

struct TextMeasure {
    HDC dc;
    TextMeasure() : dc(CreateCompatibleDC(nullptr)) { SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT)); }
    ~TextMeasure() { DeleteDC(dc); }
    int Width(const std::u16string& s) {
        SIZE sz{0, 0};
        GetTextExtentPoint32W(dc, s.c_str(), static_cast<int>(s.size()), &sz);
        return sz.cx;
    }
};

// The open menu loop of this thread (one at a time).
struct Loop {
    HWND owner = nullptr;
    bool fromBar = false;
    int barIndex = -1;
    // Entered from the keyboard (a lone Alt, F10, Alt+mnemonic): Esc in the
    // bar's menu goes back to its title instead of leaving the menus.
    bool keyboard = false;
    std::vector<HWND> popups; // the open cascade; none while a title is only selected
    bool done = false;
    UINT command = 0;
};

// Commands that end a bar's loop to go on at another title: the next or the
// previous one, a title's menu opened (kOpenBarTitle | position), a title
// selected without its menu (kSelectBarTitle | position).
constexpr UINT kNextTitle = 0x10001;
constexpr UINT kPreviousTitle = 0x10002;
constexpr UINT kOpenBarTitle = 0x20000;
constexpr UINT kSelectBarTitle = 0x40000;
Loop* g_loop = nullptr;
int g_hotBarItem = -1;
HWND g_hotBarWindow = nullptr;

void EndLoop(UINT command) {
    g_loop->done = true;
    g_loop->command = command;
}

struct PopupData {
    HMENU menu;
    int hot = -1;
    std::vector<RECT> rows;
    int textWidth = 0;
};
std::map<HWND, PopupData>& PopupInfo() {
    static auto* m = new std::map<HWND, PopupData>;
    return *m;
}

std::pair<std::u16string, std::u16string> SplitTab(const std::u16string& s) {
    size_t tab = s.find(u'\t');
    if (tab == std::u16string::npos) return {s, u""};
    return {s.substr(0, tab), s.substr(tab + 1)};
}

void DrawPrefixed(HDC dc, int x, int y, const std::u16string& text) {
    int at = -1;
    std::u16string plain = StripMnemonic(text, &at);
    TextOutW(dc, x, y, plain.c_str(), static_cast<int>(plain.size()));
    if (at >= 0) {
        SIZE a{0, 0}, b{0, 0};
        GetTextExtentPoint32W(dc, plain.c_str(), at, &a);
        GetTextExtentPoint32W(dc, plain.c_str(), at + 1, &b);
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        MoveToEx(dc, x + a.cx, y + tm.tmAscent + 1, nullptr);
        LineTo(dc, x + b.cx, y + tm.tmAscent + 1);
    }
}

void LayoutPopup(HWND hwnd, PopupData& d, int* width, int* height) {
    Menu* m = MenuOf(d.menu);
    TextMeasure tm;
    int left = 0, right = 0;
    if (m)
        for (const Item& it : m->items) {
            auto [label, keys] = SplitTab(StripMnemonic(it.text));
            left = std::max(left, tm.Width(label));
            right = std::max(right, tm.Width(keys));
        }
    d.textWidth = left;
    int w = 24 + left + (right ? 24 + right : 0) + 24;
    int y = 2;
    d.rows.clear();
    if (m)
        for (const Item& it : m->items) {
            int h = (it.flags & MF_SEPARATOR) ? kSeparatorHeight : kItemHeight;
            d.rows.push_back(RECT{2, y, w - 2, y + h});
            y += h;
        }
    (void)hwnd;
    *width = std::max(w, 60);
    *height = y + 2;
}

bool Selectable(const Item& it) {
    return !(it.flags & MF_SEPARATOR);
}

void ShowTrace(HMENU menu, HWND owner) {
    if (!g_menuTrace) return;
    ShownMenu s{menu, owner, {}};
    if (Menu* m = MenuOf(menu))
        for (const Item& it : m->items)
            s.items.push_back(
                ShownMenuItem{(it.flags & MF_POPUP) ? static_cast<UINT>(-1) : static_cast<UINT>(it.id),
                              static_cast<UINT>(it.flags & (kStateBits | MF_SEPARATOR | MF_POPUP)), it.text});
    g_menuTrace->push_back(std::move(s));
}

void PaintPopup(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    auto it = PopupInfo().find(hwnd);
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_3DFACE));
    FrameRect(dc, &client, GetSysColorBrush(COLOR_3DSHADOW));
    if (it != PopupInfo().end()) {
        PopupData& d = it->second;
        Menu* m = MenuOf(d.menu);
        SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(dc, TRANSPARENT);
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        for (size_t i = 0; m && i < m->items.size() && i < d.rows.size(); ++i) {
            const Item& item = m->items[i];
            RECT r = d.rows[i];
            if (item.flags & MF_SEPARATOR) {
                RECT line{r.left + 2, (r.top + r.bottom) / 2, r.right - 2, (r.top + r.bottom) / 2 + 1};
                FillRect(dc, &line, GetSysColorBrush(COLOR_3DSHADOW));
                continue;
            }
            bool grayed = (item.flags & (MF_GRAYED | MF_DISABLED)) != 0;
            if (static_cast<int>(i) == d.hot) FillRect(dc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
            SetTextColor(dc, GetSysColor(grayed                         ? COLOR_GRAYTEXT
                                         : static_cast<int>(i) == d.hot ? COLOR_HIGHLIGHTTEXT
                                                                        : COLOR_BTNTEXT));
            int ty = r.top + (kItemHeight - tm.tmHeight) / 2;
            auto [label, keys] = SplitTab(item.text);
            DrawPrefixed(dc, r.left + 22, ty, label);
            if (!keys.empty())
                TextOutW(dc, r.left + 22 + d.textWidth + 24, ty, keys.c_str(), static_cast<int>(keys.size()));
            if (item.flags & MF_CHECKED) TextOutW(dc, r.left + 6, ty, u"✓", 1);
            if (item.flags & MF_POPUP) TextOutW(dc, r.right - 14, ty, u"▶", 1);
        }
    }
    EndPaint(hwnd, &ps);
}

int RowAt(HWND hwnd, POINT p) {
    auto it = PopupInfo().find(hwnd);
    if (it == PopupInfo().end()) return -1;
    for (size_t i = 0; i < it->second.rows.size(); ++i)
        if (PtInRect(&it->second.rows[i], p)) return static_cast<int>(i);
    return -1;
}

void CloseFrom(size_t level);
HWND OpenPopup(HMENU menu, HWND owner, int x, int y, int itemInParent);
void Choose(HWND popup, int row);

void SetHot(HWND popup, int row) {
    auto it = PopupInfo().find(popup);
    if (it == PopupInfo().end() || it->second.hot == row) return;
    it->second.hot = row;
    InvalidateRect(popup, nullptr, TRUE);
    if (g_loop && row >= 0) {
        Menu* m = MenuOf(it->second.menu);
        if (m && static_cast<size_t>(row) < m->items.size()) {
            const Item& item = m->items[static_cast<size_t>(row)];
            UINT id = (item.flags & MF_POPUP) ? static_cast<UINT>(row) : static_cast<UINT>(item.id);
            SendMessageW(g_loop->owner, WM_MENUSELECT, MAKEWPARAM(id, item.flags & 0xFFFF),
                         reinterpret_cast<LPARAM>(it->second.menu));
        }
    }
}

size_t LevelOf(HWND popup) {
    if (!g_loop) return 0;
    auto it = std::find(g_loop->popups.begin(), g_loop->popups.end(), popup);
    return static_cast<size_t>(it - g_loop->popups.begin());
}

void OpenSub(HWND popup, int row) {
    auto it = PopupInfo().find(popup);
    if (it == PopupInfo().end() || !g_loop) return;
    Menu* m = MenuOf(it->second.menu);
    if (!m || row < 0 || static_cast<size_t>(row) >= m->items.size()) return;
    const Item& item = m->items[static_cast<size_t>(row)];
    if (!(item.flags & MF_POPUP) || (item.flags & (MF_GRAYED | MF_DISABLED))) return;
    CloseFrom(LevelOf(popup) + 1);
    RECT wr;
    GetWindowRect(popup, &wr);
    RECT r = it->second.rows[static_cast<size_t>(row)];
    OpenPopup(item.sub, g_loop->owner, wr.right - 2, wr.top + r.top, row);
}

void Choose(HWND popup, int row) {
    auto it = PopupInfo().find(popup);
    if (it == PopupInfo().end() || !g_loop) return;
    Menu* m = MenuOf(it->second.menu);
    if (!m || row < 0 || static_cast<size_t>(row) >= m->items.size()) return;
    const Item& item = m->items[static_cast<size_t>(row)];
    if (!Selectable(item) || (item.flags & (MF_GRAYED | MF_DISABLED))) return;
    if (item.flags & MF_POPUP) {
        OpenSub(popup, row);
        return;
    }
    g_loop->command = static_cast<UINT>(item.id);
    g_loop->done = true;
}

void Step(HWND popup, int dir) {
    auto it = PopupInfo().find(popup);
    if (it == PopupInfo().end()) return;
    Menu* m = MenuOf(it->second.menu);
    if (!m || m->items.empty()) return;
    int n = static_cast<int>(m->items.size());
    int row = it->second.hot;
    for (int k = 0; k < n; ++k) {
        row = ((row < 0 ? (dir > 0 ? -1 : 0) : row) + dir + n) % n;
        if (Selectable(m->items[static_cast<size_t>(row)])) break;
    }
    SetHot(popup, row);
}

LRESULT PopupProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: PaintPopup(hwnd); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_MOUSEMOVE: {
        int row = RowAt(hwnd, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        if (row >= 0) SetHot(hwnd, row);
        return 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
        int row = RowAt(hwnd, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        Choose(hwnd, row);
        return 0;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        HWND top = g_loop && !g_loop->popups.empty() ? g_loop->popups.back() : hwnd;
        auto it = PopupInfo().find(top);
        int hot = it != PopupInfo().end() ? it->second.hot : -1;
        switch (wParam) {
        case VK_UP: Step(top, -1); break;
        case VK_DOWN: Step(top, 1); break;
        case VK_RIGHT:
            if (it != PopupInfo().end() && hot >= 0 && GetSubMenu(it->second.menu, hot))
                OpenSub(top, hot);
            else if (g_loop && g_loop->fromBar)
                EndLoop(kNextTitle); // move along the bar
            break;
        case VK_LEFT:
            if (g_loop && g_loop->popups.size() > 1)
                CloseFrom(g_loop->popups.size() - 1);
            else if (g_loop && g_loop->fromBar)
                EndLoop(kPreviousTitle);
            break;
        case VK_RETURN: Choose(top, hot); break;
        case VK_ESCAPE:
        case VK_MENU:
        case VK_F10:
            if (g_loop && g_loop->popups.size() > 1 && wParam == VK_ESCAPE)
                CloseFrom(g_loop->popups.size() - 1);
            else if (g_loop && g_loop->fromBar && g_loop->keyboard && wParam == VK_ESCAPE)
                EndLoop(kSelectBarTitle | static_cast<UINT>(g_loop->barIndex));
            else if (g_loop)
                EndLoop(0);
            break;
        }
        return 0;
    }
    case WM_CHAR:
    case WM_SYSCHAR: {
        HWND top = g_loop && !g_loop->popups.empty() ? g_loop->popups.back() : hwnd;
        auto it = PopupInfo().find(top);
        if (it == PopupInfo().end()) return 0;
        Menu* m = MenuOf(it->second.menu);
        char16_t c = static_cast<char16_t>(wParam);
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
        for (size_t i = 0; m && i < m->items.size(); ++i)
            if (MnemonicOf(m->items[i].text) == c) {
                SetHot(top, static_cast<int>(i));
                Choose(top, static_cast<int>(i));
                break;
            }
        return 0;
    }
    case WM_CLOSE:
        // The display closed the popup (it gave the input to another program):
        // the menu is cancelled; the loop destroys its popups.
        if (g_loop && LevelOf(hwnd) < g_loop->popups.size()) g_loop->done = true, g_loop->command = 0;
        return 0;
    case WM_NCDESTROY: PopupInfo().erase(hwnd); return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The title of the bar whose mnemonic is the character, or -1.
int MnemonicTitle(HMENU bar, WPARAM ch) {
    char16_t c = static_cast<char16_t>(ch);
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    Menu* m = MenuOf(bar);
    for (size_t i = 0; m && i < m->items.size(); ++i)
        if (MnemonicOf(m->items[i].text) == c) return static_cast<int>(i);
    return -1;
}

// While a title of the bar is selected without its menu (after a lone Alt),
// the keys come to this window of no size, which holds the focus: the arrows
// move along the bar, Down, Up and Enter open the title's menu, a mnemonic
// opens its title's, Esc and Alt leave the bar.
LRESULT BarKeysProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (!g_loop || g_loop->done) return 0;
        switch (wParam) {
        case VK_LEFT: EndLoop(kPreviousTitle); break;
        case VK_RIGHT: EndLoop(kNextTitle); break;
        case VK_UP:
        case VK_DOWN:
        case VK_RETURN: EndLoop(kOpenBarTitle | static_cast<UINT>(g_loop->barIndex)); break;
        case VK_ESCAPE:
        case VK_MENU:
        case VK_F10: EndLoop(0); break;
        }
        return 0;
    case WM_KEYUP:
    case WM_SYSKEYUP: return 0;
    case WM_CHAR:
    case WM_SYSCHAR: {
        if (!g_loop || g_loop->done || wParam < 0x20) return 0;
        int title = MnemonicTitle(GetMenu(g_loop->owner), wParam);
        if (title >= 0)
            EndLoop(kOpenBarTitle | static_cast<UINT>(title));
        else
            MessageBeep(0);
        return 0;
    }
    case WM_CLOSE: return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void EnsurePopupClass() {
    static std::once_flag once;
    std::call_once(once, [] {
        WNDCLASSW wc{};
        wc.style = CS_SAVEBITS;
        wc.lpfnWndProc = PopupProc;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = u"#32768";
        RegisterClassW(&wc);
        WNDCLASSW keys{};
        keys.lpfnWndProc = BarKeysProc;
        keys.lpszClassName = u"MenuBarKeys";
        RegisterClassW(&keys);
    });
}

HWND OpenPopup(HMENU menu, HWND owner, int x, int y, int itemInParent) {
    if (!g_loop) return nullptr;
    SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(itemInParent, 0));
    if (!IsWindow(owner)) return nullptr;
    ShowTrace(menu, owner);
    EnsurePopupClass();
    PopupData d{menu, -1, {}, 0};
    int w = 0, h = 0;
    LayoutPopup(nullptr, d, &w, &h);
    HWND popup =
        CreateWindowExW(0, u"#32768", nullptr, WS_POPUP, x, y, w, h, owner, nullptr, nullptr, nullptr);
    if (!popup) return nullptr;
    PopupInfo()[popup] = d;
    ShowWindow(popup, SW_SHOWNA);
    g_loop->popups.push_back(popup);
    return popup;
}

void CloseFrom(size_t level) {
    if (!g_loop) return;
    while (g_loop->popups.size() > level) {
        HWND p = g_loop->popups.back();
        g_loop->popups.pop_back();
        DestroyWindow(p);
    }
}

// The title of the loop owner's menu bar under a point on the screen, or -1.
int BarTitleAt(POINT screen) {
    RECT bar;
    std::vector<MenuBarItem> items;
    auto w = g_loop ? Find(g_loop->owner) : nullptr;
    if (!w || !GetMenuBarItems(g_loop->owner, &bar, &items)) return -1;
    POINT p{screen.x - w->rect.left - bar.left, screen.y - w->rect.top - bar.top};
    for (size_t i = 0; i < items.size(); ++i)
        if (PtInRect(&items[i].rect, p)) return static_cast<int>(i);
    return -1;
}

// Whether a title of the loop owner's bar has a menu that can open.
bool TitleOpens(int title) {
    HMENU bar = GetMenu(g_loop->owner);
    return GetSubMenu(bar, title) &&
           !(GetMenuState(bar, static_cast<UINT>(title), MF_BYPOSITION) & MF_GRAYED);
}

// A press outside the popups: on the open title it closes the menu, on
// another title of the bar (or on any, while a title is only selected) it
// opens that one, anywhere else it cancels.
void PressOutside(POINT screen) {
    int title = g_loop->fromBar ? BarTitleAt(screen) : -1;
    bool open = title >= 0 && (title != g_loop->barIndex || g_loop->popups.empty());
    EndLoop(open ? kOpenBarTitle | static_cast<UINT>(title) : 0);
}

// The pointer moved outside the popups: over another title of the bar that
// has a menu it opens that menu in place of the open one, as a desktop's
// menu bar does; over any other title, while a title is only selected, it
// selects that one.
void HoverOutside(POINT screen) {
    if (!g_loop->fromBar || g_loop->done) return;
    int title = BarTitleAt(screen);
    if (title < 0 || title == g_loop->barIndex) return;
    if (g_loop->popups.empty())
        EndLoop(kSelectBarTitle | static_cast<UINT>(title));
    else if (TitleOpens(title))
        EndLoop(kOpenBarTitle | static_cast<UINT>(title));
}

// Runs one popup's loop, or with no menu the loop of a title of the bar
// only selected; the chosen command, 0 when cancelled, or one of the
// commands that go on at another title.
UINT RunLoop(HMENU menu, HWND owner, int x, int y, bool fromBar, int barIndex, bool keyboard) {
    Loop loop;
    loop.owner = owner;
    loop.fromBar = fromBar;
    loop.barIndex = barIndex;
    loop.keyboard = keyboard;
    Loop* saved = g_loop;
    g_loop = &loop;
    HWND focus = GetFocus();
    HWND popup = nullptr;
    if (menu) {
        popup = OpenPopup(menu, owner, x, y, fromBar ? barIndex : 0);
    } else {
        EnsurePopupClass();
        popup = CreateWindowExW(0, u"MenuBarKeys", nullptr, WS_POPUP, 0, 0, 0, 0, owner, nullptr, nullptr,
                                nullptr);
    }
    if (!popup) {
        g_loop = saved;
        return 0;
    }
    SetFocus(popup);
    if (g_answerHook) {
        // A title only selected shows the bar itself.
        HMENU showing = menu ? menu : GetMenu(owner);
        ShownMenu shown{showing, owner, {}};
        if (Menu* m = MenuOf(showing))
            for (const Item& it : m->items)
                shown.items.push_back(ShownMenuItem{
                    (it.flags & MF_POPUP) ? static_cast<UINT>(-1) : static_cast<UINT>(it.id),
                    static_cast<UINT>(it.flags & (kStateBits | MF_SEPARATOR | MF_POPUP)), it.text});
        UINT cmd = 0;
        if (g_answerHook(shown, &cmd)) {
            // An answer names a command of this popup or its submenus; a
            // disabled one is refused as a click on it would be.
            Item* it = cmd ? FindItem(showing, cmd, MF_BYCOMMAND) : nullptr;
            loop.command = it && !(it->flags & (MF_GRAYED | MF_DISABLED)) ? cmd : 0;
            loop.done = true;
        }
    }
    while (!loop.done) {
        MSG m;
        if (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(m.wParam));
                break;
            }
            if (m.message == WM_NULL && !m.hwnd) continue;
            TranslateMessage(&m);
            DispatchMessageW(&m);
            continue;
        }
        if (!IsWindow(owner)) break;
        if (Backend* b = GetBackend())
            b->WaitEvents(10);
        else
            break;
    }
    CloseFrom(0);
    if (!menu && IsWindow(popup)) DestroyWindow(popup);
    g_loop = saved;
    if (IsWindow(focus)) SetFocus(focus);
    return loop.command;
}

} // namespace

MenuAnswerHook SetMenuAnswerHook(MenuAnswerHook hook) {
    return std::exchange(g_answerHook, hook);
}
void SetMenuTrace(std::vector<ShownMenu>* trace) {
    g_menuTrace = trace;
}
bool MenuLoopRunning() {
    return g_loop && !g_loop->done;
}

int MenuBarHeight() {
    return kBarHeight;
}

// The owner hears that the menu is closed (no item selected) and that the loop ended.
static void EndLoopMessages(HWND owner, bool popup) {
    if (!IsWindow(owner)) return;
    SendMessageW(owner, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    if (IsWindow(owner)) SendMessageW(owner, WM_EXITMENULOOP, popup ? TRUE : FALSE, 0);
}

bool MenuLoopMouse(POINT screen, UINT msg, WPARAM keys) {
    if (!g_loop) return false;
    // The innermost popup under the point takes it, in its own coordinates.
    for (auto it = g_loop->popups.rbegin(); it != g_loop->popups.rend(); ++it) {
        RECT r;
        if (!GetWindowRect(*it, &r) || !PtInRect(&r, screen)) continue;
        HWND popup = *it;
        POINT p = screen;
        ScreenToClient(popup, &p);
        SendMessageW(popup, msg, keys, MAKELPARAM(p.x, p.y));
        return true;
    }
    if (msg == WM_MOUSEMOVE)
        HoverOutside(screen);
    else if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN ||
             msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK)
        PressOutside(screen);
    return true;
}

void CancelMenuLoop() {
    if (g_loop) g_loop->done = true, g_loop->command = 0;
}

bool GetMenuBarItems(HWND hwnd, RECT* bar, std::vector<MenuBarItem>* items) {
    auto w = Find(hwnd);
    if (!w || w->parent || !w->menu) return false;
    Menu* m = MenuOf(w->menu);
    if (!m) return false;
    *bar = RECT{w->client.left, w->client.top - kBarHeight, w->client.right, w->client.top};
    items->clear();
    TextMeasure tm;
    int x = 0;
    for (size_t i = 0; i < m->items.size(); ++i) {
        const Item& it = m->items[i];
        int width = tm.Width(StripMnemonic(it.text)) + 16;
        items->push_back(MenuBarItem{it.text, RECT{x, 0, x + width, kBarHeight},
                                     (it.flags & (MF_GRAYED | MF_DISABLED)) != 0,
                                     g_hotBarWindow == hwnd && g_hotBarItem == static_cast<int>(i)});
        x += width;
    }
    return true;
}

// The bar's loop from a title: its menu open, or the title only selected
// (a lone Alt). The arrows, a hover and a click go on at another title; a
// title stepped onto with the arrows while the menus are open shows its
// menu, or is only selected when it has none.
static void RunMenuBar(HWND hwnd, int position, bool open, bool keyboard) {
    HMENU bar = GetMenu(hwnd);
    if (!bar || g_loop) return;
    SendMessageW(hwnd, WM_ENTERMENULOOP, FALSE, 0);
    if (!IsWindow(hwnd)) return;
    SendMessageW(hwnd, WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0);
    int n = GetMenuItemCount(bar);
    UINT chosen = 0;
    bool stepped = false;
    while (IsWindow(hwnd) && position >= 0 && position < n) {
        std::vector<MenuBarItem> items;
        RECT barRect;
        if (!GetMenuBarItems(hwnd, &barRect, &items)) break;
        HMENU sub = GetSubMenu(bar, position);
        bool drop = open && sub && !items[static_cast<size_t>(position)].grayed;
        // A click, or Enter, on a title without a menu opens nothing.
        if (open && !drop && !stepped) break;
        g_hotBarWindow = hwnd, g_hotBarItem = position;
        DrawMenuBar(hwnd);
        POINT p{barRect.left + items[static_cast<size_t>(position)].rect.left, barRect.bottom};
        auto w = Find(hwnd);
        p.x += w->rect.left, p.y += w->rect.top;
        UINT cmd = RunLoop(drop ? sub : nullptr, hwnd, p.x, p.y, true, position, keyboard);
        g_hotBarWindow = nullptr, g_hotBarItem = -1;
        if (IsWindow(hwnd)) DrawMenuBar(hwnd);
        stepped = cmd == kNextTitle || cmd == kPreviousTitle;
        if (stepped) {
            position = (position + (cmd == kNextTitle ? 1 : n - 1)) % n;
            continue;
        }
        if ((cmd & ~0xFFFFu) == kOpenBarTitle || (cmd & ~0xFFFFu) == kSelectBarTitle) {
            open = (cmd & ~0xFFFFu) == kOpenBarTitle;
            position = static_cast<int>(cmd & 0xFFFF);
            continue;
        }
        chosen = cmd;
        break;
    }
    EndLoopMessages(hwnd, false);
    if (chosen && IsWindow(hwnd)) PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
}

void OpenMenuBarPopup(HWND hwnd, int position) {
    RunMenuBar(hwnd, position, true, true);
}

void MenuBarClick(HWND hwnd, int x, int y) {
    if (g_loop) {
        // The bar's own click while its menu is open (the display gave it to the window).
        auto w = Find(hwnd);
        RECT bar;
        std::vector<MenuBarItem> items;
        if (w && GetMenuBarItems(hwnd, &bar, &items))
            MenuLoopMouse(POINT{w->rect.left + bar.left + x, w->rect.top + bar.top + y}, WM_LBUTTONDOWN,
                          MK_LBUTTON);
        return;
    }
    // A press on the bar of a window that is not active activates it first.
    if (!IsWindow(hwnd) || !MouseActivate(hwnd, HTMENU, WM_NCLBUTTONDOWN)) return;
    RECT bar;
    std::vector<MenuBarItem> items;
    if (!GetMenuBarItems(hwnd, &bar, &items)) return;
    POINT p{x, y};
    for (size_t i = 0; i < items.size(); ++i)
        if (PtInRect(&items[i].rect, p)) {
            RunMenuBar(hwnd, static_cast<int>(i), true, false);
            return;
        }
}

// The menu bar's keys, from DefWindowProc: Alt+mnemonic opens its title's
// menu, F10 the first one, and a lone Alt selects the first title.
bool MenuBarKey(HWND hwnd, UINT msg, WPARAM wParam) {
    HWND top = GetAncestor(hwnd, GA_ROOT);
    HMENU bar = top ? GetMenu(top) : nullptr;
    if (!bar) return false;
    if (msg == WM_SYSCHAR) {
        int title = MnemonicTitle(bar, wParam);
        if (title >= 0)
            RunMenuBar(top, title, true, true);
        else
            MessageBeep(0);
        return true;
    }
    if (msg == WM_SYSKEYDOWN && wParam == VK_F10) {
        RunMenuBar(top, 0, true, true);
        return true;
    }
    if (msg == WM_SYSKEYUP && wParam == VK_MENU) {
        RunMenuBar(top, 0, false, true);
        return true;
    }
    return false;
}

} // namespace win32bk

BOOL SetMenu(HWND hwnd, HMENU menu) {
    auto w = Find(hwnd);
    if (!w || w->parent) return FALSE;
    w->menu = menu;
    win32bk::RelayoutWindow(hwnd);
    return TRUE;
}

HMENU GetMenu(HWND hwnd) {
    auto w = Find(hwnd);
    return w && !w->parent ? w->menu : nullptr;
}

BOOL DrawMenuBar(HWND hwnd) {
    auto w = Find(hwnd);
    if (!w) return FALSE;
    if (Backend* b = GetBackend()) b->HostRedrawMenuBar(hwnd);
    return TRUE;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, LPCRECT) {
    if (!IsMenu(menu) || !IsWindow(owner) || g_loop) return FALSE;
    SendMessageW(owner, WM_ENTERMENULOOP, TRUE, 0);
    if (!IsWindow(owner)) return FALSE;
    UINT cmd = RunLoop(menu, owner, x, y, false, -1, false);
    EndLoopMessages(owner, true);
    if (flags & TPM_RETURNCMD) return static_cast<BOOL>(cmd);
    if (cmd && !(flags & TPM_NONOTIFY) && IsWindow(owner))
        PostMessageW(owner, WM_COMMAND, MAKEWPARAM(cmd, 0), 0);
    return TRUE;
}

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPVOID) {
    return TrackPopupMenu(menu, flags, x, y, 0, owner, nullptr);
}

BOOL EndMenu() {
    if (!g_loop) return FALSE;
    g_loop->done = true;
    g_loop->command = 0;
    return TRUE;
}
