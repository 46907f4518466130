// The application object and the thread it belongs to.
#include "mfc/app.h"

#include <atomic>
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
    if (appName) AfxSetAppTitle(appName);
    m_appName = AfxGetAppTitle();
    m_pszAppName = m_appName.c_str();
    AppState& s = State();
    s.thread.store(std::this_thread::get_id(), std::memory_order_relaxed);
    s.app.store(this, std::memory_order_release);
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
