// Drivers for dialogs: expected modal dialogs answered in their own loops,
// and the user's input on controls found by id.
#pragma once

#include <functional>
#include <string>

#include <windows.h>

namespace tvtest {

// The next modal dialog must have this caption (or template id), in the
// queue message-box and common-dialog answers share (testing/driver.h); poll runs
// in its loop with the dialog's window once it shows, until it returns true
// (done: the dialog may stay open) or the dialog ends. A modal dialog nobody
// expects fails the test, naming its caption, and is ended with IDCANCEL.
void ExpectDialog(const std::u16string& caption, std::function<bool(HWND dlg)> poll);
void ExpectDialog(int templateId, std::function<bool(HWND dlg)> poll);
// Fails for every expectation no dialog used, then forgets them.
void VerifyDialogs();
size_t PendingDialogs();

// Controls, through the user's input: a click in the middle of the control,
// typing into it, ticking a box.
HWND Control(HWND dlg, int id);
void ClickControl(HWND dlg, int id);
void TypeInto(HWND dlg, int id, const std::u16string& text);
void Tick(HWND dlg, int id);
// Chooses the entry of a drop-down list or combo box by its text: opens the
// list and clicks the row.
void Choose(HWND dlg, int id, const std::u16string& text);
std::u16string TextOf(HWND hwnd);

} // namespace tvtest
