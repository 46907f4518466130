// The application object: CWinThread with its main window, CWinApp, and the
// global accessors AfxGetApp, AfxGetThread and AfxGetMainWnd.
#pragma once

#include <string>

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

private:
    std::u16string m_appName;
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
