// The application object and the thread it belongs to.
#include "mfc/app.h"

#include <atomic>
#include <iterator>
#include <thread>

IMPLEMENT_DYNAMIC(CWinThread, CCmdTarget)
IMPLEMENT_DYNAMIC(CWinApp, CWinThread)

namespace {

// The application object and the thread that constructed it; any thread
// may read them.
struct AppState {
    std::atomic<CWinApp*> app{nullptr};
    std::atomic<std::thread::id> thread{};
};

AppState& State() {
    static AppState s;
    return s;
}

} // namespace

CWnd* CWinThread::GetMainWnd() {
    return m_pMainWnd;
}

BOOL CWinThread::InitInstance() {
    return FALSE;
}

int CWinThread::ExitInstance() {
    return 0;
}

CWinApp::CWinApp(LPCWSTR appName) {
    if (appName) {
        m_appName = appName;
        m_appNameGiven = true;
    }
    SetCurrentHandles();
    AppState& s = State();
    s.thread.store(std::this_thread::get_id(), std::memory_order_relaxed);
    s.app.store(this, std::memory_order_release);
}

void CWinApp::SetCurrentHandles() {
    char16_t path[4096];
    DWORD n = GetModuleFileNameW(nullptr, path, DWORD(std::size(path)));
    std::u16string exe(path, n);
    size_t slash = exe.find_last_of(u"/\\");
    if (slash != std::u16string::npos) exe.erase(0, slash + 1);
    size_t dot = exe.rfind(u'.');
    if (dot != std::u16string::npos && dot > 0) exe.erase(dot);
    m_exeName = exe;
    m_pszExeName = m_exeName.c_str();
    if (!m_appNameGiven) {
        CString title;
        m_appName = title.LoadString(AFX_IDS_APP_TITLE) ? std::u16string(title.GetString()) : m_exeName;
    }
    m_pszAppName = m_appName.c_str();
    AfxSetAppTitle(m_pszAppName);
}

CWinApp::~CWinApp() {
    for (CDocTemplate* t : m_templates) delete t;
    CWinApp* self = this;
    State().app.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
}

CWinApp* AfxGetApp() {
    return State().app.load(std::memory_order_acquire);
}

CWinThread* AfxGetThread() {
    CWinApp* app = AfxGetApp();
    if (!app || State().thread.load(std::memory_order_relaxed) != std::this_thread::get_id()) return nullptr;
    return app;
}

CWnd* AfxGetMainWnd() {
    CWinThread* thread = AfxGetThread();
    return thread ? thread->GetMainWnd() : nullptr;
}
