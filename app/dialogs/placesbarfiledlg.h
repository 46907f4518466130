// The file dialog of every open and save command: always the classic common
// file dialog, its owner disabled while it runs.
#pragma once

#include <afxwin.h>

#include "mfc/commondlg.h"

class CPlacesBarFileDlg : public CFileDialog {
public:
    CPlacesBarFileDlg(BOOL openFileDialog, LPCWSTR defExt = nullptr, LPCWSTR fileName = nullptr,
                      DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCWSTR filter = nullptr,
                      CWnd* parent = nullptr);
    // IDOK when a name was chosen, else IDCANCEL.
    INT_PTR DoModal() override;
    // The directory the dialog starts in (empty: the current one).
    void SetInitialDir(const CString& dir) { m_initialDir = dir.GetString(); }
};
