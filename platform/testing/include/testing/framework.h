// Drivers for tests of the application framework: menu answers and the
// popups shown, the asynchronous key state, the screen and work area, the
// executable's path, running until idle.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "win32/menu.h"

namespace tvtest {

// The next menu loop (a popup of TrackPopupMenu or of the menu bar) ends with
// this command; 0 cancels it. Answers are taken in order; a loop without one
// fails the test and is cancelled.
void AnswerMenu(UINT command);
// Every popup shown since the last ClearMenus, as it was after WM_INITMENUPOPUP.
const std::vector<win32bk::ShownMenu>& Menus();
void ClearMenus();
// The state of the popup's item with that command (MF_GRAYED, MF_CHECKED, ...), -1 when absent.
int ShownState(const win32bk::ShownMenu& menu, UINT command);

// Takes effect at once, from any thread: GetAsyncKeyState reads it.
void SetKeyState(int vk, bool down);

// The primary screen and its work area, as SM_CXSCREEN, SM_CYSCREEN and SPI_GETWORKAREA give them.
void SetScreen(const RECT& screen, const RECT& work);
// The path GetModuleFileNameW(NULL) gives and LoadLibraryW looks beside; "" restores the real one.
void SetExecutablePath(const std::u16string& path);

// Handles everything pending and runs one round of the application's idle
// processing, as its loop does when the queue is empty.
void RunUntilIdle();

} // namespace tvtest
