// The export's save dialog: the classic file dialog with a panel for the
// character code, the line end and the two output options.
#pragma once

#include "app/dialogs/placesbarfiledlg.h"

class CDBExtFileDialog : public CPlacesBarFileDlg {
public:
    CDBExtFileDialog(BOOL openFileDialog, LPCWSTR defExt = nullptr, LPCWSTR fileName = nullptr,
                     DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCWSTR filter = nullptr,
                     CWnd* parent = nullptr);

    int charCode = 1;        // CharCode; 9 auto-detect (reading only)
    int lineEnd = 1;         // 1 CR LF, 2 LF, 3 CR
    int allowAutoDetect = 0; // 1 when "自動判別" may be offered
    int putDoubleQuote = 0;
    int putColumnName = 0;

    INT_PTR DoModal() override;

private:
    void InitPanel(HWND panel);
    void ReadPanel(HWND panel);
    static INT_PTR CALLBACK HookProc(HWND panel, UINT msg, WPARAM wParam, LPARAM lParam);
};
