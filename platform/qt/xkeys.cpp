// Key and lock state from the X server. GetAsyncKeyState must see keys that
// were never delivered (a script holding the UI thread watches for its
// cancel key), so on xcb the pressed keys come from the server's keymap,
// reused for a few milliseconds; the lock toggles are taken from its
// modifier state when the application starts and becomes active. Offscreen
// and on Wayland the tracked state answers alone. The transient parent of a
// window already mapped is written to the server here too.
//
// A key tapped between two looks at the keymap is down in neither: a
// connection of this file's own watches the key presses on the program's
// top-level windows, and while the UI thread is held away from its loop a
// press seen since it left counts as down once, with the modifiers that were
// down with it (a run polling Ctrl+Pause sees the tap at its next poll).
#include "qt_internal.h"
#include "win32/backend.h"
#include "win32/msgbox.h"
#include "win32/window.h"

#if defined(TAVRELIX_HAVE_XCB)
#include <QGuiApplication>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <mutex>
#include <vector>

namespace win32bk {
void SetKeyToggled(int vk, bool on); // platform/win32/input.cpp
}

namespace qtbk {

namespace {

// The keys this program asks for, by the X keysym on the key's first level.
int VkOfKeysym(uint32_t sym) {
    if (sym >= 'a' && sym <= 'z') return int(sym - 'a' + 'A');
    if ((sym >= 'A' && sym <= 'Z') || (sym >= '0' && sym <= '9') || sym == ' ') return int(sym);
    if (sym >= 0xFFBE && sym <= 0xFFD5) return VK_F1 + int(sym - 0xFFBE); // F1..F24
    switch (sym) {
    case 0xFF08: return VK_BACK;
    case 0xFF09: return VK_TAB;
    case 0xFF0D: return VK_RETURN;
    case 0xFF13: return VK_PAUSE;
    case 0xFF14: return VK_SCROLL;
    case 0xFF1B: return VK_ESCAPE;
    case 0xFF50: return VK_HOME;
    case 0xFF51: return VK_LEFT;
    case 0xFF52: return VK_UP;
    case 0xFF53: return VK_RIGHT;
    case 0xFF54: return VK_DOWN;
    case 0xFF55: return VK_PRIOR;
    case 0xFF56: return VK_NEXT;
    case 0xFF57: return VK_END;
    case 0xFF63: return VK_INSERT;
    case 0xFF6B: return VK_CANCEL; // Break
    case 0xFF7F: return VK_NUMLOCK;
    case 0xFFE1: return VK_LSHIFT;
    case 0xFFE2: return VK_RSHIFT;
    case 0xFFE3: return VK_LCONTROL;
    case 0xFFE4: return VK_RCONTROL;
    case 0xFFE5: return VK_CAPITAL;
    case 0xFFE9: return VK_LMENU;
    case 0xFFEA: return VK_RMENU;
    case 0xFFFF: return VK_DELETE;
    }
    return 0;
}

struct XKeys {
    xcb_connection_t* conn = nullptr;  // the display's own connection
    xcb_connection_t* watch = nullptr; // this file's: the keymap and the key presses
    xcb_window_t root = 0;
    std::array<std::vector<uint8_t>, 256> codes; // key codes of each virtual key
    std::array<std::vector<int>, 256> vks;       // virtual keys of each key code
    // Key codes whose Control level is Break (the Pause key of a standard
    // keymap: Pause on its first level): Ctrl with them is VK_CANCEL.
    std::vector<uint8_t> breakCodes;
    uint16_t numLockMask = 0;
    std::mutex lock;
    std::array<uint8_t, 32> keymap{};
    std::chrono::steady_clock::time_point asked{};
    bool haveKeymap = false;
    // The program's top-level windows whose key presses the watch sees.
    std::vector<xcb_window_t> watched;
    // Presses seen since the UI thread left its loop: the virtual key and
    // the modifier state of the press.
    struct Press {
        int vk;
        uint16_t state;
    };
    std::vector<Press> presses;
    // The modifiers that came with the press last taken as down, for the
    // modifier asked next (a cancel key with its modifiers is asked as the
    // key, then each modifier).
    uint16_t chordState = 0;
    bool chord = false;
};

XKeys* Keys() {
    static XKeys* keys = [] {
        auto* k = new XKeys;
        if (QGuiApplication::platformName() != QLatin1String("xcb")) return k;
        auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        xcb_connection_t* c = x11 ? x11->connection() : nullptr;
        if (!c) return k;
        const xcb_setup_t* setup = xcb_get_setup(c);
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
        if (!screens.rem) return k;
        k->root = screens.data->root;
        uint8_t first = setup->min_keycode, count = uint8_t(setup->max_keycode - setup->min_keycode + 1);
        xcb_get_keyboard_mapping_reply_t* map =
            xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, first, count), nullptr);
        if (!map) return k;
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
        int per = map->keysyms_per_keycode;
        std::vector<uint8_t> numLockCodes;
        for (int i = 0; i < count && per > 0; ++i) {
            uint8_t code = uint8_t(first + i);
            for (int level = 1; level < per; ++level)
                if (syms[i * per + level] == 0xFF6B) k->breakCodes.push_back(code); // Break
            int vk = VkOfKeysym(syms[i * per]);
            if (!vk) continue;
            k->codes[size_t(vk)].push_back(code);
            k->vks[code].push_back(vk);
            // The sided keys also answer for their pair.
            int both = vk == VK_LSHIFT || vk == VK_RSHIFT       ? VK_SHIFT
                       : vk == VK_LCONTROL || vk == VK_RCONTROL ? VK_CONTROL
                       : vk == VK_LMENU || vk == VK_RMENU       ? VK_MENU
                                                                : 0;
            if (both) {
                k->codes[size_t(both)].push_back(code);
                k->vks[code].push_back(both);
            }
            if (vk == VK_NUMLOCK) numLockCodes.push_back(code);
        }
        free(map);
        // The modifier that Num Lock sets.
        if (xcb_get_modifier_mapping_reply_t* mods =
                xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr)) {
            const xcb_keycode_t* mc = xcb_get_modifier_mapping_keycodes(mods);
            for (int m = 0; m < 8; ++m)
                for (int j = 0; j < mods->keycodes_per_modifier; ++j)
                    for (uint8_t code : numLockCodes)
                        if (mc[m * mods->keycodes_per_modifier + j] == code)
                            k->numLockMask = uint16_t(1u << m);
            free(mods);
        }
        k->conn = c;
        // The watch: a connection of its own to the same display, so that
        // its events are its own and never taken from the display's queue.
        const QByteArray name = qgetenv("DISPLAY");
        xcb_connection_t* w = xcb_connect(name.isEmpty() ? nullptr : name.constData(), nullptr);
        if (w && !xcb_connection_has_error(w))
            k->watch = w;
        else if (w)
            xcb_disconnect(w);
        return k;
    }();
    return keys;
}

bool IsModifier(int vk) {
    return vk == VK_SHIFT || vk == VK_LSHIFT || vk == VK_RSHIFT || vk == VK_CONTROL || vk == VK_LCONTROL ||
           vk == VK_RCONTROL || vk == VK_MENU || vk == VK_LMENU || vk == VK_RMENU;
}

// The X modifier bit a modifier key sets (Shift, Control, Mod1 for Alt).
uint16_t ModifierMask(int vk) {
    if (vk == VK_SHIFT || vk == VK_LSHIFT || vk == VK_RSHIFT) return XCB_MOD_MASK_SHIFT;
    if (vk == VK_CONTROL || vk == VK_LCONTROL || vk == VK_RCONTROL) return XCB_MOD_MASK_CONTROL;
    return XCB_MOD_MASK_1;
}

// The watch selects the key presses of every top-level window of the
// program that is on the display (asked on the UI thread only).
void WatchTopLevels(XKeys* k) {
    if (!k->watch || !win32bk::IsUiThread()) return;
    std::vector<xcb_window_t> now;
    for (QWindow* w : QGuiApplication::topLevelWindows())
        if (w->handle()) now.push_back(static_cast<xcb_window_t>(w->winId()));
    const uint32_t mask = XCB_EVENT_MASK_KEY_PRESS;
    bool added = false;
    for (xcb_window_t id : now)
        if (std::find(k->watched.begin(), k->watched.end(), id) == k->watched.end()) {
            xcb_change_window_attributes(k->watch, id, XCB_CW_EVENT_MASK, &mask);
            added = true;
        }
    // Sent now: a window watched only from the next keymap query would miss
    // the presses made before it (the first tap in a dialog just opened).
    if (added) xcb_flush(k->watch);
    k->watched = std::move(now);
}

// The presses the watch has seen: kept when keep, else dropped.
void TakePresses(XKeys* k, bool keep) {
    if (!k->watch) return;
    while (xcb_generic_event_t* ev = xcb_poll_for_event(k->watch)) {
        if ((ev->response_type & 0x7F) == XCB_KEY_PRESS && keep) {
            auto* key = reinterpret_cast<xcb_key_press_event_t*>(ev);
            for (int vk : k->vks[key->detail]) k->presses.push_back(XKeys::Press{vk, key->state});
            // Ctrl+Pause (or Ctrl+Break) is VK_CANCEL, as a Windows keyboard reports it.
            const bool breakKey =
                std::find(k->breakCodes.begin(), k->breakCodes.end(), key->detail) != k->breakCodes.end() ||
                std::find(k->codes[VK_PAUSE].begin(), k->codes[VK_PAUSE].end(), key->detail) !=
                    k->codes[VK_PAUSE].end();
            if (breakKey && (key->state & XCB_MOD_MASK_CONTROL))
                k->presses.push_back(XKeys::Press{VK_CANCEL, key->state});
        }
        free(ev);
    }
    if (!keep) k->presses.clear();
}

// The server's keymap, asked again after 5 ms; asked on the watch, whose
// events up to the answer are then in its queue.
bool Keymap(XKeys* k, std::array<uint8_t, 32>* out) {
    auto now = std::chrono::steady_clock::now();
    if (!k->haveKeymap || now - k->asked > std::chrono::milliseconds(5)) {
        WatchTopLevels(k);
        xcb_connection_t* c = k->watch ? k->watch : k->conn;
        xcb_query_keymap_reply_t* r = xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr);
        if (!r) return false;
        std::memcpy(k->keymap.data(), r->keys, 32);
        free(r);
        k->asked = now;
        k->haveKeymap = true;
        TakePresses(k, true);
    }
    *out = k->keymap;
    return true;
}

bool CodeDown(const std::array<uint8_t, 32>& map, const std::vector<uint8_t>& codes) {
    for (uint8_t c : codes)
        if (map[c / 8] & (1u << (c % 8))) return true;
    return false;
}

// A press of the key seen while the thread was held, taken once: its
// modifiers answer for the modifiers asked next.
bool TakeRememberedPress(XKeys* k, int vk) {
    if (IsModifier(vk)) return k->chord && (k->chordState & ModifierMask(vk));
    k->chord = false;
    auto it = std::find_if(k->presses.begin(), k->presses.end(),
                           [vk](const XKeys::Press& p) { return p.vk == vk; });
    if (it == k->presses.end()) return false;
    k->chord = true;
    k->chordState = it->state;
    std::erase_if(k->presses, [vk](const XKeys::Press& p) { return p.vk == vk; });
    return true;
}

} // namespace

bool XKeyDown(int vk, bool* down) {
    XKeys* k = Keys();
    if (!k->conn || vk <= 0 || vk > 255) return false;
    std::lock_guard<std::mutex> guard(k->lock);
    std::array<uint8_t, 32> map;
    if (!Keymap(k, &map)) return false;
    // Ctrl+Pause is VK_CANCEL, as a Windows keyboard reports it.
    if (vk == VK_CANCEL)
        *down = CodeDown(map, k->codes[VK_CANCEL]) ||
                ((CodeDown(map, k->codes[VK_PAUSE]) || CodeDown(map, k->breakCodes)) &&
                 CodeDown(map, k->codes[VK_CONTROL]));
    else
        *down = CodeDown(map, k->codes[size_t(vk)]);
    // A press the keymap already shows is taken too, so that it does not
    // count again once the key is up.
    if (win32bk::IsUiThread() && TakeRememberedPress(k, vk) && ThreadHeld()) *down = true;
    return true;
}

void ForgetKeyPresses() {
    XKeys* k = Keys();
    if (!k->watch) return;
    std::lock_guard<std::mutex> guard(k->lock);
    WatchTopLevels(k);
    TakePresses(k, false);
    k->chord = false;
}

void SyncLockKeysFromX() {
    XKeys* k = Keys();
    if (!k->conn) return;
    xcb_query_pointer_reply_t* r =
        xcb_query_pointer_reply(k->conn, xcb_query_pointer(k->conn, k->root), nullptr);
    if (!r) return;
    win32bk::SetKeyToggled(VK_CAPITAL, (r->mask & XCB_MOD_MASK_LOCK) != 0);
    if (k->numLockMask) win32bk::SetKeyToggled(VK_NUMLOCK, (r->mask & k->numLockMask) != 0);
    free(r);
}

void SetTransientForOnServer(QWindow* window, QWindow* parent) {
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb")) return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    if (parent) {
        const auto above = static_cast<xcb_window_t>(parent->winId());
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1,
                            &above);
    } else {
        xcb_delete_property(c, id, XCB_ATOM_WM_TRANSIENT_FOR);
    }
    xcb_flush(c);
}

} // namespace qtbk
#else
namespace qtbk {
void SetTransientForOnServer(QWindow*, QWindow*) {}
bool XKeyDown(int, bool*) {
    return false;
}
void ForgetKeyPresses() {}
void SyncLockKeysFromX() {}
} // namespace qtbk
#endif
