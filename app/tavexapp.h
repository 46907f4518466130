// The application object: start-up and exit, settings, the login and the
// current session's life cycle.
#pragma once

#include <afxwin.h>

struct OraSession;

class CTavexApp : public CWinApp {
public:
    CTavexApp();
    ~CTavexApp() override;

    // The application's name (the registry's profile name), from the string table.
    void LoadAppTitle();
    BOOL InitInstance() override;
    int ExitInstance() override;

    // Settings (the store, AppSettings, the grid font).
    void SetupSettingsLocation();
    void ReadSettings();
    void WriteSettings();
    void ReadFontSettings();
    void WriteFontSettings();
    static void CreateFonts();
    // Switches the store (1 "tavrelix.ini", 0 the registry) and copies the
    // settings, the font, the key bindings and the saved connections into it.
    void MoveSettingsStorage(int useIniFile);

    // The shell association of the document file type.
    int IsFileTypeRegistered();
    void UnregisterFileTypes();

    // The session.
    void BroadcastHint(int hint, CObject* hintObject = nullptr);
    int RunLoginDialog(OraSession** session, int keepFocus);
    int ConnectSetup();
    static int ApplySessionNls();
    static int RunStartupSqlFile(const char16_t* path);
    void Disconnect();

    HANDLE m_hKeywordThread = nullptr;

protected:
    CString m_appTitle;
    afx_msg void OnViewFont();
    afx_msg void OnFileChangeConnection();
    afx_msg void OnUpdateFileChangeConnection(CCmdUI* ui);
    afx_msg void OnToolOption();
    afx_msg void OnToolLoginInfo();
    afx_msg void OnHelpCredits();
    afx_msg void OnAppAbout();
    afx_msg void OnToolRunMacroClipboard();
    afx_msg void OnToolRunMacroFile();
    DECLARE_MESSAGE_MAP()

private:
    void UseIniStore(const CString& path);
    void UseRegistryStore();
};

extern CTavexApp theApp;

// A "LOGON=" value split into its parts; oci7 when it ended with ":OCI7".
struct LogonArgument {
    CString user, password, service;
    int oci7 = 0;
};
// Finds "LOGON=" anywhere in the command line; false when there is none.
bool ParseLogonArgument(const char16_t* commandLine, LogonArgument* out);

// The value of a "LOGON=" token, text pointing just behind the "=".
CString GetLogonArgument(const char16_t* text);
CString UnescapeLogonArgument(const char16_t* text);
