// The application object: CWinThread with its main window, CWinApp, and the
// global accessors AfxGetApp, AfxGetThread and AfxGetMainWnd.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "mfc/cstring.h"
#include "mfc/docview.h"
#include "mfc/wnd.h"

// A thread of the user interface. The application object is the one of the
// thread that constructed it (the program's primary thread).
class CWinThread : public CCmdTarget {
    DECLARE_DYNAMIC(CWinThread)
public:
    CWinThread() = default;

    // The thread's main window, or null. The framework does not own it.
    CWnd* m_pMainWnd = nullptr;

    // The window AfxGetMainWnd gives on this thread: m_pMainWnd.
    virtual CWnd* GetMainWnd();
    virtual BOOL InitInstance();
    virtual int ExitInstance();

    // The message loop: OnIdle(0, 1, ...) while the queue is empty and it
    // returns TRUE, again after the next message; ends at WM_QUIT with
    // ExitInstance's result.
    virtual int Run();
    virtual BOOL OnIdle(LONG count);
    virtual BOOL PumpMessage();
    virtual BOOL IsIdleMessage(MSG* msg);
    // The pre-translation of every message of this thread: from the target up
    // to the main window, then the main window's when the target's top-level
    // window is another.
    virtual BOOL PreTranslateMessage(MSG* msg);

    MSG m_msgCur{};
};

// The application. A program has at most one; it registers itself on
// construction and unregisters on destruction.
class CWinApp : public CWinThread {
    DECLARE_DYNAMIC(CWinApp)
public:
    // appName null keeps the current application title (AfxGetAppTitle);
    // otherwise it becomes that title.
    explicit CWinApp(LPCWSTR appName = nullptr);
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The application's name (the caption of AfxMessageBox): the name given
    // to the constructor, else string AFX_IDS_APP_TITLE, else the executable's
    // name without its extension (m_pszExeName).
    LPCWSTR m_pszAppName = nullptr;
    LPCWSTR m_pszExeName = nullptr;
    // Sets m_pszExeName, and m_pszAppName when no name was given; AfxWinMain
    // calls it again, once every string table is registered.
    void SetCurrentHandles();

    // Where the profile functions keep settings, read afresh by every call:
    // with a registry key, the registry's HKEY_CURRENT_USER key
    // Software\<key>\<profile name>\<section>; without one the profile name is an ini file's path. Both are
    // strings from _wcsdup, freed with free (callers may swap them).
    LPCWSTR m_pszRegistryKey = nullptr;
    LPCWSTR m_pszProfileName = nullptr;
    // Sets the registry key; the profile name becomes the application's name.
    void SetRegistryKey(LPCWSTR key);
    void SetRegistryKey(UINT idKey);
    UINT GetProfileInt(LPCWSTR section, LPCWSTR entry, int def);
    CString GetProfileString(LPCWSTR section, LPCWSTR entry, LPCWSTR def = nullptr);
    // A null value deletes the entry, a null entry the section.
    BOOL WriteProfileInt(LPCWSTR section, LPCWSTR entry, int value);
    BOOL WriteProfileString(LPCWSTR section, LPCWSTR entry, LPCWSTR value);

    // --- Run and documents ---
    HINSTANCE m_hInstance = nullptr;
    LPWSTR m_lpCmdLine = nullptr;
    int m_nCmdShow = SW_SHOWNORMAL;

    BOOL OnIdle(LONG count) override;
    int ExitInstance() override;
    void AddDocTemplate(CDocTemplate* tmpl);
    POSITION GetFirstDocTemplatePosition() const;
    CDocTemplate* GetNextDocTemplate(POSITION& pos) const;
    virtual CDocument* OpenDocumentFile(LPCWSTR path);
    // Reads __wargv: "-" starts a flag; the first other argument is the file.
    void ParseCommandLine(CCommandLineInfo& info);
    // FileNew or FileOpen of the parsed command line; FALSE when that fails.
    BOOL ProcessShellCommand(CCommandLineInfo& info);
    void LoadStdProfileSettings(UINT maxMRU = 4);
    // The file type of the document templates: MFC's HKEY_CLASSES_ROOT keys
    // and the desktop's MIME type, entry and default application.
    void RegisterShellFileTypes(BOOL compat = FALSE);
    void UnregisterShellFileTypes();
    virtual BOOL SaveAllModified();
    void CloseAllDocuments(BOOL endSession);
    afx_msg void OnFileNew();
    afx_msg void OnFileOpen();
    afx_msg void OnAppExit();

private:
    std::u16string m_appName, m_exeName;
    bool m_appNameGiven = false;
    struct ProfileStrings {
        CWinApp* app;
        ~ProfileStrings();
    } m_profileStrings{this};
    std::vector<CDocTemplate*> m_templates;

    DECLARE_MESSAGE_MAP()
};

// The application object, or null before it is constructed and after it is
// destroyed. Callable from any thread.
CWinApp* AfxGetApp();
// The CWinThread of the calling thread: the application object on the
// thread that constructed it, null on every other thread.
CWinThread* AfxGetThread();
// The calling thread's main window: AfxGetThread()->GetMainWnd(), or null
// when the thread has no CWinThread.
CWnd* AfxGetMainWnd();
