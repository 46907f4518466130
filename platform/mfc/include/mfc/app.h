// The application object: CWinThread with its main window, CWinApp, and the
// global accessors AfxGetApp, AfxGetThread and AfxGetMainWnd.
#pragma once

#include <string>

#include "mfc/cstring.h"
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

    // The application's name (the caption of AfxMessageBox).
    LPCWSTR m_pszAppName = nullptr;

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

private:
    std::u16string m_appName;
    struct ProfileStrings {
        CWinApp* app;
        ~ProfileStrings();
    } m_profileStrings{this};
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
