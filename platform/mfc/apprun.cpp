// The application's run: AfxWinMain, the message loop with idle processing,
// the command line and the shell command, the application's commands.
#include <algorithm>

#include "mfc/app.h"
#include "mfc/docview.h"
#include "win32/backend.h"
#include "win32/sysinfo.h"

BEGIN_MESSAGE_MAP(CWinApp, CWinThread)
ON_COMMAND(ID_APP_EXIT, OnAppExit)
END_MESSAGE_MAP()

// --- The loop ---------------------------------------------------------------------------------

BOOL CWinThread::OnIdle(LONG count) {
    return count <= 0;
}

BOOL CWinThread::IsIdleMessage(MSG* msg) {
    // Messages that change nothing the user sees do not restart idle processing.
    return msg->message != WM_PAINT && msg->message != WM_TIMER && msg->message != WM_NULL;
}

BOOL CWinThread::PreTranslateMessage(MSG* msg) {
    CWnd* main = AfxGetMainWnd();
    if (CWnd::WalkPreTranslateTree(main ? main->m_hWnd : nullptr, msg)) return TRUE;
    if (main && main->m_hWnd && msg->hwnd) {
        HWND top = ::GetAncestor(msg->hwnd, GA_ROOT);
        if (top != main->m_hWnd) return main->PreTranslateMessage(msg);
    }
    return FALSE;
}

BOOL CWinThread::PumpMessage() {
    if (!::GetMessageW(&m_msgCur, nullptr, 0, 0)) return FALSE;
    if (!PreTranslateMessage(&m_msgCur)) {
        ::TranslateMessage(&m_msgCur);
        ::DispatchMessageW(&m_msgCur);
    }
    return TRUE;
}

int CWinThread::Run() {
    BOOL idle = TRUE;
    LONG count = 0;
    for (;;) {
        MSG peek;
        while (idle && !::PeekMessageW(&peek, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(count++)) idle = FALSE;
            win32bk::RunIdleHook();
        }
        do {
            if (!PumpMessage()) {
                win32bk::CancelPendingSends();
                return ExitInstance();
            }
            if (IsIdleMessage(&m_msgCur)) {
                idle = TRUE;
                count = 0;
            }
        } while (::PeekMessageW(&peek, nullptr, 0, 0, PM_NOREMOVE));
    }
}

BOOL CWinApp::OnIdle(LONG count) {
    if (count <= 0) {
        // The frames' bars show their commands' state.
        for (CDocTemplate* t : m_templates) {
            POSITION pos = t->GetFirstDocPosition();
            while (pos)
                if (CDocument* doc = t->GetNextDoc(pos)) {
                    POSITION vp = doc->GetFirstViewPosition();
                    while (vp)
                        if (CView* v = doc->GetNextView(vp))
                            if (CFrameWnd* f = v->GetParentFrame()) f->OnIdleUpdateCmdUI();
                }
        }
        CWnd* main = m_pMainWnd;
        if (main && main->m_hWnd && main->IsKindOf(RUNTIME_CLASS(CFrameWnd)))
            static_cast<CFrameWnd*>(main)->OnIdleUpdateCmdUI();
        return TRUE;
    }
    return FALSE;
}

int CWinApp::ExitInstance() {
    return static_cast<int>(m_msgCur.message == WM_QUIT ? m_msgCur.wParam : 0);
}

// --- Templates and documents ---------------------------------------------------------------------

void CWinApp::AddDocTemplate(CDocTemplate* tmpl) {
    if (tmpl) m_templates.push_back(tmpl);
}

POSITION CWinApp::GetFirstDocTemplatePosition() const {
    return m_templates.empty() ? nullptr : reinterpret_cast<POSITION>(static_cast<uintptr_t>(1));
}

CDocTemplate* CWinApp::GetNextDocTemplate(POSITION& pos) const {
    auto i = reinterpret_cast<uintptr_t>(pos);
    if (i == 0 || i > m_templates.size()) {
        pos = nullptr;
        return nullptr;
    }
    CDocTemplate* t = m_templates[i - 1];
    pos = i < m_templates.size() ? reinterpret_cast<POSITION>(i + 1) : nullptr;
    return t;
}

CDocument* CWinApp::OpenDocumentFile(LPCWSTR path) {
    if (m_templates.empty()) return nullptr;
    return m_templates.front()->OpenDocumentFile(path);
}

BOOL CWinApp::SaveAllModified() {
    for (CDocTemplate* t : m_templates)
        if (!t->SaveAllModified()) return FALSE;
    return TRUE;
}

void CWinApp::CloseAllDocuments(BOOL endSession) {
    for (CDocTemplate* t : m_templates) t->CloseAllDocuments(endSession);
}

void CWinApp::OnFileNew() {
    if (!m_templates.empty()) m_templates.front()->OpenDocumentFile(nullptr);
}

void CWinApp::OnFileOpen() {
    // The file comes from the document's own commands; the framework's
    // default names none.
}

void CWinApp::OnAppExit() {
    if (m_pMainWnd && m_pMainWnd->m_hWnd) m_pMainWnd->SendMessage(WM_CLOSE);
}

void CWinApp::LoadStdProfileSettings(UINT) {}

BOOL AfxOleInit() {
    return TRUE;
}

// --- Command line ----------------------------------------------------------------------------------

void CCommandLineInfo::ParseParam(LPCWSTR param, BOOL flag, BOOL) {
    if (flag || !param) return;
    if (m_strFileName.IsEmpty()) {
        m_strFileName = param;
        m_nShellCommand = FileOpen;
    }
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info) {
    for (int i = 1; i < __argc; ++i) {
        const char16_t* arg = __wargv[i];
        BOOL flag = arg[0] == u'-';
        info.ParseParam(flag ? arg + 1 : arg, flag, i == __argc - 1);
    }
}

BOOL CWinApp::ProcessShellCommand(CCommandLineInfo& info) {
    switch (info.m_nShellCommand) {
    case CCommandLineInfo::FileNew:
        if (m_templates.empty()) return FALSE;
        OnFileNew();
        return m_pMainWnd != nullptr;
    case CCommandLineInfo::FileOpen: return OpenDocumentFile(info.m_strFileName) != nullptr;
    default: return TRUE;
    }
}

// --- The entry -------------------------------------------------------------------------------------

int AfxWinMain(HINSTANCE instance, HINSTANCE, LPWSTR cmdLine, int cmdShow) {
    CWinApp* app = AfxGetApp();
    if (!app) return -1;
    app->m_hInstance = instance;
    app->m_lpCmdLine = cmdLine;
    app->m_nCmdShow = cmdShow;
    app->SetCurrentHandles();
    int code = 0;
    if (app->InitInstance())
        code = app->Run();
    else
        code = app->ExitInstance();
    // Windows left (modeless dialogs kept in function-local statics among
    // them) go before the display does.
    win32bk::DestroyAllWindows();
    return code;
}
