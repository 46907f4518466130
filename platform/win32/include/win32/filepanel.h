// The panel of the file dialogs. With OFN_EXPLORER and OFN_ENABLETEMPLATE (a
// dialog of the resources named by lpTemplateName) or OFN_ENABLEHOOK,
// GetOpenFileNameW and GetSaveFileNameW first make the panel: a dialog of
// real controls (empty without a template) as a hidden top-level window that
// the display places in its dialog, with lpfnHook (a DLGPROC, with
// OFN_ENABLEHOOK) as its procedure and the structure as WM_INITDIALOG's
// lParam. Each confirmed name is sent to it as WM_NOTIFY CDN_FILEOK; a
// non-zero DWLP_MSGRESULT keeps the dialog open.
#pragma once

#include "win32/commdlg.h"
#include "win32/dialog.h"

#define CDN_FIRST (0U - 601U)
#define CDN_INITDONE (CDN_FIRST - 0)
#define CDN_FILEOK (CDN_FIRST - 5)

struct OFNOTIFYW {
    NMHDR hdr;
    LPOPENFILENAMEW lpOFN;
    LPWSTR pszFile;
};
typedef OFNOTIFYW* LPOFNOTIFYW;

namespace win32bk {
// The panel of the file dialog being shown (for the display's hook), else null.
HWND FileDialogPanel();
// Forgets the folders the file dialogs remember (a new process's state).
void ForgetFileDialogFolders();
} // namespace win32bk
