// The options sheet: the setup page (start-up, Oracle client and session
// settings, general switches) and the grid page (display options and
// colours with a live sample grid). The pages only hold values: the options
// command fills their members before the sheet runs and reads them after OK.
#pragma once

#include <afxdlgs.h>
#include <afxwin.h>

#include "grid/gridctrl.h"
#include "grid/strgrid.h"

class CSetupPage : public CPropertyPage {
public:
    CSetupPage();

    int m_registerFileType = 0; // the document file type is associated with the program
    int m_putColumnName = 0;
    int m_useMessageBeep = 0;
    CString m_nlsDateFormat;
    CString m_nlsDateLanguage;
    CString m_nlsTimestampFormat;
    CString m_nlsTimestampTzFormat;
    CString m_timezone;
    int m_adjustColWidth = 0;
    CString m_initialDir;
    CString m_startupSqlFile;
    CString m_ociPath;
    CString m_tnsAdmin;
    int m_useUserUpdatableColumns = 0;
    int m_shareConnectInfo = 0;
    int m_searchDlgCloseAtFound = 0;
    int m_dispDeleteAllNullRowsWarning = 0;
    int m_longReadBufSize = 0;
    int m_clobReadBufSize = 0;
    int m_nlsUtf8 = 0;
    int m_replaceWaveDash = 0;
    int m_useIniFile = 0;

    BOOL OnInitDialog() override;

    // The folder a browser opens on for a path: without one trailing "\" or
    // "/" (a surrogate pair counting as one character), "/" alone kept.
    static CString BrowseStart(const CString& path);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    afx_msg void OnBrowseInitialDir();
    afx_msg void OnBrowseStartupSql();
    afx_msg void OnBrowseOciPath();
    afx_msg void OnBrowseTnsAdmin();
    DECLARE_MESSAGE_MAP()

private:
    void BrowseFolder(CString* member, const char16_t* title);
};

class CGridOptionPage : public CPropertyPage {
public:
    CGridOptionPage();

    int m_show2ByteSpace = 0;
    int m_showSpace = 0;
    int m_adjustColWidthNoUseColName = 0;
    int m_invertSelectText = 0;
    int m_showLineFeed = 0;
    int m_showTab = 0;
    int m_copyEscapeDblQuote = 0;
    int m_imeCaretColor = 0;
    int m_endKeyLikeExcel = 0;
    int m_dispColumnNameToolTip = 0;
    int m_adjustMinColChars = 0;
    int m_showNotNullColl = 0;
    int m_noMoveCellAtDeleteRows = 0;
    int m_noMoveCellAtInsertRows = 0;
    CString m_nullText;
    UINT m_paddingTop = 0;
    UINT m_paddingBottom = 0;
    UINT m_paddingLeft = 0;
    UINT m_paddingRight = 0;
    COLORREF m_colors[16] = {};
    // The font the sample grid draws with (the application's grid font).
    CFont* m_gridFont = nullptr;

    CStrGridData m_sampleData;
    CGridCtrl m_sampleGrid;

    BOOL OnInitDialog() override;

    // The colour index a colour button edits, -1 for another control.
    static int ColorIndexOfButton(int id);
    // The sample grid's style bits for the members, from the current bits.
    uint32_t SampleStyle(uint32_t current) const;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    afx_msg void OnDrawItem(int id, DRAWITEMSTRUCT* di);
    afx_msg void OnDefaultColors();
    DECLARE_MESSAGE_MAP()

private:
    void BuildSampleGrid();
    // The controls into the members without a word to the user: a number
    // box that does not hold a number keeps its member until OK checks it.
    void ReadControlsQuietly();
    void ApplyToSample();
    void ChooseColor(int index);
    bool m_ready = false;
};

class COptionSheet : public CPropertySheet {
public:
    explicit COptionSheet(CWnd* parent = nullptr);

    CSetupPage m_setupPage;
    CGridOptionPage m_gridPage;

protected:
    void BuildPropPageArray() override;

private:
    static int CALLBACK SheetCallback(HWND hwnd, UINT message, LPARAM lParam);
};
