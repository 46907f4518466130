// Drivers for tests of the application framework: menu answers and the
// popups shown, the asynchronous key state, the screen and work area, the
// executable's path, running until idle.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include <functional>

#include "win32/commdlg.h"
#include "win32/menu.h"

namespace tvtest {

// The next menu loop (a popup of TrackPopupMenu or of the menu bar) ends with
// this command; 0 cancels it. Answers are taken in order; a loop without one
// fails the test and is cancelled.
void AnswerMenu(UINT command);
// Instead of an answer: the function runs inside the next menu loop, its
// popup shown, and gives input as the user would (a click, a key); the loop
// goes on with what that input did. A loop the input left running fails the
// test ("the menu stayed open") and is cancelled.
void InMenu(std::function<void(const win32bk::ShownMenu&)> act);
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

// Common dialogs, answered in the order the program asks, in the queue
// message boxes and modal dialogs share (testing/driver.h); a dialog without
// its answer at the front fails the test and is cancelled. The requests are
// recorded.
// A file dialog's answer: a path (relative to the dialog's directory or
// absolute) and the filter chosen (-1 keeps it); an empty path cancels.
// panel, when given, sets the controls of the dialog's panel first, as the
// user would (it gets the panel's window, null when there is none).
void AnswerFile(const std::u16string& path, int filterIndex = -1, std::function<void(HWND panel)> panel = {});
const std::vector<win32bk::FileDialogRequest>& FileRequests();
// The folder browser's answer; its request keeps the callback's BFFM_SETSELECTIONW.
void AnswerFolder(const std::u16string& path);
const std::vector<win32bk::FolderDialogRequest>& FolderRequests();
// The colour and font dialogs: the function changes the request as a user
// would and returns whether OK was pressed.
void AnswerColor(std::function<bool(win32bk::ColorDialogRequest&)> answer);
void AnswerFont(std::function<bool(win32bk::FontDialogRequest&)> answer);
// Installs the recorders (tvtest::Init does).
void InstallFrameworkDrivers();
// Forgets the requests, the common-dialog answers still queued and the
// folders the file dialogs remember.
void ClearDialogs();

// Property sheets: the window of the page shown, and a click on the tab of
// page index (the page in front refuses it as a user's click would be refused).
HWND SheetPage(HWND sheet);
void ChoosePage(HWND sheet, int index);

// Handles everything pending and runs one round of the application's idle
// processing, as its loop does when the queue is empty.
void RunUntilIdle();

} // namespace tvtest
