// The two macro commands of the application: run the clipboard's text or a
// chosen file as a macro.
#include <afxole.h>
#include <afxwin.h>

#include <vector>

#include "app/dialogs/placesbarfiledlg.h"
#include "app/tavexapp.h"
#include "scheme/macro.h"

void CTavexApp::OnToolRunMacroClipboard() {
    if (!g_macro) return;
    COleDataObject data;
    if (!data.AttachClipboard()) return;
    CString text;
    bool found = false;
    if (data.IsDataAvailable(CF_UNICODETEXT)) {
        if (HGLOBAL block = data.GetGlobalData(CF_UNICODETEXT)) {
            // Another program's block need not end with a NUL: the copy stops
            // at the first NUL or at the block's end.
            SIZE_T units = GlobalSize(block) / sizeof(char16_t);
            if (auto* p = static_cast<const char16_t*>(GlobalLock(block))) {
                SIZE_T n = 0;
                while (n < units && p[n]) ++n;
                text = CString(std::u16string(p, n).c_str());
                found = true;
                GlobalUnlock(block);
            }
            GlobalFree(block);
        }
    }
    data.Release();
    if (found) macro_run_string(text);
}

void CTavexApp::OnToolRunMacroFile() {
    if (!g_macro) return;
    CPlacesBarFileDlg dlg(TRUE, u"scm", nullptr, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_EXPLORER,
                          u"Scheme Macro Files (*.scm)|*.scm|All Files (*.*)|*.*||", m_pMainWnd);
    dlg.m_ofn.lpstrTitle = u"マクロの実行";
    // The current directory, whatever its length.
    std::vector<char16_t> dir(MAX_PATH);
    for (;;) {
        DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(dir.size()), dir.data());
        if (n == 0) dir[0] = 0;
        if (n < dir.size()) break;
        dir.resize(n + 1);
    }
    dlg.SetInitialDir(CString(dir.data()));
    if (dlg.DoModal() != IDOK) return;
    macro_run_file(dlg.GetPathName());
}
