// Menus (bars and popups, TrackPopupMenu), accelerator tables and the
// keyboard layout's character table (VkKeyScanW, MapVirtualKeyW).
#pragma once

#include <string>
#include <vector>

#include "win32/window.h"

struct HACCEL__;
typedef HACCEL__* HACCEL;

// Menu item flags (MF_*) and states.
#define MF_INSERT 0x00000000L
#define MF_CHANGE 0x00000080L
#define MF_APPEND 0x00000100L
#define MF_DELETE 0x00000200L
#define MF_REMOVE 0x00001000L
#define MF_BYCOMMAND 0x00000000L
#define MF_BYPOSITION 0x00000400L
#define MF_SEPARATOR 0x00000800L
#define MF_ENABLED 0x00000000L
#define MF_GRAYED 0x00000001L
#define MF_DISABLED 0x00000002L
#define MF_UNCHECKED 0x00000000L
#define MF_CHECKED 0x00000008L
#define MF_STRING 0x00000000L
#define MF_POPUP 0x00000010L
#define MF_MENUBARBREAK 0x00000020L
#define MF_MENUBREAK 0x00000040L
#define MF_HILITE 0x00000080L
#define MF_OWNERDRAW 0x00000100L
#define MF_DEFAULT 0x00001000L
#define MF_RIGHTJUSTIFY 0x00004000L
#define MF_END 0x00000080L // last item of a level in a menu template
#define MFS_GRAYED 0x00000003L
#define MFS_DISABLED MFS_GRAYED
#define MFS_CHECKED MF_CHECKED
#define MFS_HILITE MF_HILITE
#define MFS_ENABLED MF_ENABLED
#define MFS_DEFAULT MF_DEFAULT
#define MFT_STRING MF_STRING
#define MFT_SEPARATOR MF_SEPARATOR
#define MFT_RADIOCHECK 0x00000200L

#define MIIM_STATE 0x00000001
#define MIIM_ID 0x00000002
#define MIIM_SUBMENU 0x00000004
#define MIIM_CHECKMARKS 0x00000008
#define MIIM_TYPE 0x00000010
#define MIIM_DATA 0x00000020
#define MIIM_STRING 0x00000040
#define MIIM_BITMAP 0x00000080
#define MIIM_FTYPE 0x00000100

struct MENUITEMINFOW {
    UINT cbSize;
    UINT fMask;
    UINT fType;
    UINT fState;
    UINT wID;
    HMENU hSubMenu;
    HBITMAP hbmpChecked;
    HBITMAP hbmpUnchecked;
    ULONG_PTR dwItemData;
    LPWSTR dwTypeData;
    UINT cch;
    HBITMAP hbmpItem;
};
typedef MENUITEMINFOW* LPMENUITEMINFOW;
typedef const MENUITEMINFOW* LPCMENUITEMINFOW;

// TrackPopupMenu flags.
#define TPM_LEFTBUTTON 0x0000L
#define TPM_RIGHTBUTTON 0x0002L
#define TPM_LEFTALIGN 0x0000L
#define TPM_CENTERALIGN 0x0004L
#define TPM_RIGHTALIGN 0x0008L
#define TPM_TOPALIGN 0x0000L
#define TPM_VCENTERALIGN 0x0010L
#define TPM_BOTTOMALIGN 0x0020L
#define TPM_NONOTIFY 0x0080L
#define TPM_RETURNCMD 0x0100L

// Menu messages.
#define WM_INITMENU 0x0116
#define WM_INITMENUPOPUP 0x0117
#define WM_MENUSELECT 0x011F
#define WM_MENUCHAR 0x0120
#define WM_ENTERIDLE 0x0121
#define WM_UNINITMENUPOPUP 0x0125
#define WM_ENTERMENULOOP 0x0211
#define WM_EXITMENULOOP 0x0212
#define MF_MOUSESELECT 0x00008000L
#define MF_SYSMENU 0x00002000L

HMENU CreateMenu();
HMENU CreatePopupMenu();
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrPopup, LPCWSTR text);
BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, LPCWSTR text);
BOOL ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, LPCWSTR text);
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);
int GetMenuItemCount(HMENU menu);
// The command id at a position; -1 for a popup entry or a bad position, 0 for a separator.
UINT GetMenuItemID(HMENU menu, int position);
HMENU GetSubMenu(HMENU menu, int position);
// The item's MF_* state; for a popup entry the item count in the high byte, (UINT)-1 when none.
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int max, UINT flags);
// The previous MF_GRAYED/MF_DISABLED state, or (UINT)-1 when there is no such item.
UINT EnableMenuItem(HMENU menu, UINT item, UINT flags);
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);
BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags);
BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, LPMENUITEMINFOW info);
BOOL SetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOW info);
BOOL SetMenu(HWND hwnd, HMENU menu);
HMENU GetMenu(HWND hwnd);
BOOL DrawMenuBar(HWND hwnd);
// Shows a popup at (x, y) in screen coordinates and runs its loop. The owner
// gets WM_INITMENUPOPUP first; the chosen command is posted to it as
// WM_COMMAND (arriving after the call returns), or returned with TPM_RETURNCMD.
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, LPCRECT rect);
BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPVOID params);
BOOL EndMenu();

// Menu resources: LoadMenuW finds a template registered under its id, a
// sequence of items in which MF_POPUP opens a level and MF_END closes one.
struct MenuTemplateItem {
    UINT flags;
    UINT id;
    const char16_t* text;
};
void RegisterMenuResource(UINT id, std::vector<MenuTemplateItem> items);
HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name);
HMENU LoadMenuIndirectItems(const MenuTemplateItem* items, size_t count);

// Accelerators.
#define FVIRTKEY 0x01
#define FNOINVERT 0x02
#define FSHIFT 0x04
#define FCONTROL 0x08
#define FALT 0x10
struct ACCEL {
    BYTE fVirt;
    WORD key;
    WORD cmd;
};
typedef ACCEL* LPACCEL;

HACCEL CreateAcceleratorTableW(LPACCEL entries, int count);
BOOL DestroyAcceleratorTable(HACCEL table);
int CopyAcceleratorTableW(HACCEL table, LPACCEL entries, int count);
void RegisterAcceleratorResource(UINT id, std::vector<ACCEL> entries);
HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name);
// On WM_KEYDOWN/WM_SYSKEYDOWN (and the character messages for entries
// without FVIRTKEY): the first entry with that key and exactly that Shift,
// Ctrl and Alt state. Its command goes to hwnd as WM_COMMAND with HIWORD 1,
// unless it is a disabled item of hwnd's menu; TRUE (consumed) either way.
int TranslateAcceleratorW(HWND hwnd, HACCEL table, LPMSG msg);

// Keyboard layout (Japanese 106/109 keys).
#define MAPVK_VK_TO_VSC 0
#define MAPVK_VSC_TO_VK 1
#define MAPVK_VK_TO_CHAR 2
// Low byte the virtual key, high byte 1 Shift, 2 Ctrl, 4 Alt; -1 when no key types ch.
short VkKeyScanW(WCHAR ch);
UINT MapVirtualKeyW(UINT code, UINT type);

namespace win32bk {

// One key of the layout's character table: the virtual key and what it types
// without and with Shift (0: nothing).
struct LayoutKey {
    UINT vk;
    char16_t normal;
    char16_t shifted;
};
const std::vector<LayoutKey>& Jp106Keys();

// What the display backend draws in a top-level window's menu bar.
struct MenuBarItem {
    std::u16string text; // with "&" marks
    RECT rect;           // in the bar's coordinates
    bool grayed;
    bool hot; // open or highlighted
};
int MenuBarHeight();
bool GetMenuBarItems(HWND hwnd, RECT* bar, std::vector<MenuBarItem>* items);
// A click in a window's menu bar (x, y in the bar's coordinates).
void MenuBarClick(HWND hwnd, int x, int y);

// A popup as it was shown, after WM_INITMENUPOPUP (for tests).
struct ShownMenuItem {
    UINT id;    // -1 for a popup entry
    UINT state; // MF_* state bits
    std::u16string text;
};
struct ShownMenu {
    HMENU menu;
    HWND owner;
    std::vector<ShownMenuItem> items;
};
// Called while a menu loop runs; a value ends the loop with that command
// (0: cancelled). Null (the default) leaves the loop to user input. Returns
// the hook it replaces, for a caller that passes on what it does not answer.
using MenuAnswerHook = bool (*)(const ShownMenu& shown, UINT* command);
MenuAnswerHook SetMenuAnswerHook(MenuAnswerHook hook);
// Every popup shown, in order.
void SetMenuTrace(std::vector<ShownMenu>* trace);
// Whether a menu loop runs and nothing has ended it yet (for tests).
bool MenuLoopRunning();
// Opens the bar's popup at position (as Alt+mnemonic does) and runs the loop.
void OpenMenuBarPopup(HWND hwnd, int position);

} // namespace win32bk
