// The application object: start-up, the command-line logon, the start-up
// thread, exit.
#include "app/tavexapp.h"

#include "app/apphooks.h"
#include "app/appstate.h"
#include "app/mainfrm.h"
#include "app/settings.h"
#include "app/tavexdoc.h"
#include "app/tavexview.h"
#include "editor/sqltoken.h"
#include "oracle/oci_api.h"
#include "oracle/oci_entry.h"
#include "res/resource.h"
#include "scheme/macro.h"

namespace apphooks {
std::function<void()> startupThreadBegins;
std::function<void()> keywordThreadLoggedOn;
} // namespace apphooks

BEGIN_MESSAGE_MAP(CTavexApp, CWinApp)
ON_COMMAND(ID_VIEW_FONT, OnViewFont)
ON_COMMAND(ID_FILE_CHANGE_CONNECTION, OnFileChangeConnection)
ON_UPDATE_COMMAND_UI(ID_FILE_CHANGE_CONNECTION, OnUpdateFileChangeConnection)
ON_COMMAND(ID_TOOL_OPTION, OnToolOption)
ON_COMMAND(ID_TOOL_LOGIN_INFO, OnToolLoginInfo)
ON_COMMAND(ID_HELP_CREDITS, OnHelpCredits)
ON_COMMAND(ID_APP_ABOUT, OnAppAbout)
ON_COMMAND(ID_FILE_NEW, CWinApp::OnFileNew)
ON_COMMAND(ID_FILE_OPEN, CWinApp::OnFileOpen)
ON_COMMAND(ID_TOOL_RUN_MACRO_CLIPBOARD, OnToolRunMacroClipboard)
ON_COMMAND(ID_TOOL_RUN_MACRO_FILE, OnToolRunMacroFile)
END_MESSAGE_MAP()

namespace {

// Creates the interpreter, then, when that worked, loads the keyword file.
unsigned StartupThreadProc(void*) {
    if (apphooks::startupThreadBegins) apphooks::startupThreadBegins();
    if (macro_init()) {
        theSqlStrToken.free_keywords();
        CString path = util_get_tool_dir() + u"data\\keywords.txt";
        CString msg;
        theSqlStrToken.initDefaultKeyword(path, &msg);
    }
    return 0;
}

// Joins the start-up thread on every way out of InitInstance once it runs.
class ThreadJoin {
public:
    explicit ThreadJoin(HANDLE thread) : m_thread(thread) {}
    ~ThreadJoin() { Join(); }
    ThreadJoin(const ThreadJoin&) = delete;
    ThreadJoin& operator=(const ThreadJoin&) = delete;
    void Join() {
        if (!m_thread) return;
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
        m_thread = nullptr;
    }

private:
    HANDLE m_thread;
};

// User up to the first "/" or "@"; a password after "/" up to the next "@";
// the service after that "@".
LogonArgument SplitLogon(CString value) {
    LogonArgument parts;
    const char16_t* v = value;
    const char16_t* oci7 = wcsstr(v, u":OCI7");
    if (oci7 && oci7[5] == 0) {
        parts.oci7 = 1;
        value = CString(std::u16string(v, static_cast<size_t>(oci7 - v)).c_str());
        v = value;
    }
    std::u16string s(v);
    size_t userEnd = s.find_first_of(u"/@");
    parts.user = CString(s.substr(0, userEnd).c_str());
    if (userEnd == std::u16string::npos) return parts;
    size_t at = s.find(u'@', userEnd);
    if (s[userEnd] == u'/')
        parts.password =
            CString(s.substr(userEnd + 1, at == std::u16string::npos ? at : at - userEnd - 1).c_str());
    if (at != std::u16string::npos) parts.service = CString(s.substr(at + 1).c_str());
    return parts;
}

} // namespace

// --- "LOGON=" -----------------------------------------------------------------------------------

CString UnescapeLogonArgument(const char16_t* text) {
    std::u16string first;
    for (const char16_t* p = text; *p; ++p) {
        if (p[0] == u'\\' && p[1] == u'"') {
            first += u'"';
            ++p;
        } else {
            first += *p;
        }
    }
    std::u16string second;
    for (size_t i = 0; i < first.size(); ++i) {
        second += first[i];
        if (first[i] == u'\\' && i + 1 < first.size() && first[i + 1] == u'\\') ++i;
    }
    return CString(second.c_str());
}

CString GetLogonArgument(const char16_t* text) {
    if (*text == u'"') {
        const char16_t* start = text + 1;
        const char16_t* p = start;
        while (*p && *p != u'"') {
            if (*p == u'\\' && p[1]) ++p;
            ++p;
        }
        return UnescapeLogonArgument(std::u16string(start, static_cast<size_t>(p - start)).c_str());
    }
    const char16_t* end = text;
    while (*end && *end != u' ') ++end;
    return CString(std::u16string(text, static_cast<size_t>(end - text)).c_str());
}

bool ParseLogonArgument(const char16_t* commandLine, LogonArgument* out) {
    const char16_t* logon = commandLine ? wcsstr(commandLine, u"LOGON=") : nullptr;
    if (!logon) return false;
    *out = SplitLogon(GetLogonArgument(logon + 6));
    return true;
}

// --- The application ----------------------------------------------------------------------------

CTavexApp::CTavexApp() : CWinApp(nullptr) {}

CTavexApp::~CTavexApp() = default;

void CTavexApp::LoadAppTitle() {
    if (m_appTitle.LoadString(AFX_IDS_APP_TITLE)) {
        AfxSetAppTitle(m_appTitle);
        m_pszAppName = m_appTitle;
    }
}

BOOL CTavexApp::InitInstance() {
    if (!AfxOleInit()) return FALSE;
    LoadAppTitle();

    SetupSettingsLocation();
    LoadStdProfileSettings(0);
    ReadSettings();
    ReadFontSettings();
    AppSettings.GRID_CALC_TYPE = static_cast<int>(GetProfileInt(u"APPLICATION", u"GRID_CALC_TYPE", 0));
    CreateFonts();

    if (util_dir_exists(AppSettings.OCI_PATH_64)) {
        if (HMODULE kernel = LoadLibraryW(u"KERNEL32.DLL")) {
            using SetDllDirectoryFn = BOOL (*)(LPCWSTR);
            auto setDllDirectory = reinterpret_cast<SetDllDirectoryFn>(
                reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDllDirectoryW")));
            if (setDllDirectory) setDllDirectory(AppSettings.OCI_PATH_64);
            FreeLibrary(kernel);
        }
    }
    if (!AppSettings.TNS_ADMIN.IsEmpty()) {
        CString entry;
        entry.Format(u"TNS_ADMIN=%s", AppSettings.TNS_ADMIN.GetString());
        _wputenv(entry);
    }

    CString msg;
    if (oci_load_library(&msg) != ORARC_OK) AfxMessageBox(msg);

    const CString commandLine = GetCommandLineW();
    if (wcsstr(commandLine, u"PRELOAD")) {
        CString envMsg;
        oci8_init_env(&envMsg);
        return FALSE;
    }

    if (AppSettings.NLS_UTF8 == 1 && oci_get_dll_version(nullptr) >= 9.2) {
        g_oci_code_page = 65001;
        _wputenv(u"NLS_LANG=JAPANESE_JAPAN.AL32UTF8");
        _wputenv(u"NLS_NCHAR=AL32UTF8");
    }
    g_mb_to_wide = AppSettings.REPLACE_WAVE_DASH == 1 ? oci_mb_to_wide_tilde : oci_mb_to_wide;

    AddDocTemplate(new CSingleDocTemplate(IDR_MAINFRAME, RUNTIME_CLASS(CTavexDoc), RUNTIME_CLASS(CMainFrame),
                                          RUNTIME_CLASS(CTavexView)));
    CCommandLineInfo cmdInfo;
    ParseCommandLine(cmdInfo);

    HANDLE startup =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, StartupThreadProc, nullptr, 0, nullptr));
    if (!startup) {
        AfxMessageBox(u"スレッド作成エラー");
        return FALSE;
    }
    // From here every return joins the thread first: the interpreter and the
    // keyword table must not be built while the program ends.
    ThreadJoin join(startup);

    if (LogonArgument parts; ParseLogonArgument(commandLine, &parts)) {
        if (parts.oci7) g_use_oci7_api = 1;
        if (g_oci_module) {
            CString logonMsg;
            int warning = 0;
            if (oci_login2(&g_session, parts.user, parts.password, parts.service, nullptr, 1, &logonMsg,
                           &warning) != ORARC_OK) {
                MessageBoxW(nullptr, logonMsg, u"Message", MB_ICONWARNING);
            } else {
                g_cur_user = parts.user;
                g_cur_password = parts.password;
                g_cur_tns = parts.service;
                g_cur_connect_mode = g_session->connect_mode;
                g_connected = 1;
                if (warning) MessageBoxW(nullptr, logonMsg, u"Message", MB_ICONWARNING);
            }
        }
        if (wcsncmp(cmdInfo.m_strFileName, u"LOGON=", 6) == 0) {
            cmdInfo.m_strFileName.Empty();
            cmdInfo.m_nShellCommand = CCommandLineInfo::FileNew;
        }
    }

    if (g_oci_module) {
        if (!g_connected && RunLoginDialog(&g_session, 0) != 0) return FALSE;
        g_connected = 1;
    }

    join.Join();
    if (ConnectSetup() != 0) return FALSE;
    if (!ProcessShellCommand(cmdInfo)) return FALSE;
    m_pMainWnd->ShowWindow(SW_SHOW);
    m_pMainWnd->UpdateWindow();
    if (g_connected == 1 && g_macro)
        if (SchemeCell* handler = macro_event_handler(u"on-connected")) macro_run_procedure(handler);
    if (auto* frame = dynamic_cast<CMainFrame*>(m_pMainWnd)) frame->RebuildAccelerators();

    if (cmdInfo.m_nShellCommand == CCommandLineInfo::FileOpen) {
        HWND foreground = GetForegroundWindow();
        DWORD mine = GetWindowThreadProcessId(m_pMainWnd->m_hWnd, nullptr);
        DWORD theirs = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
        AttachThreadInput(mine, theirs, TRUE);
        BringWindowToTop(m_pMainWnd->m_hWnd);
        AttachThreadInput(mine, theirs, FALSE);
    }
    SetCurrentDirectoryW(AppSettings.INITIAL_DIR);
    return TRUE;
}

int CTavexApp::ExitInstance() {
    Disconnect();
    macro_shutdown();
    if (g_oci8_available && g_oci_env_ready && g_oci.OCIHandleFree) {
        g_oci.OCIHandleFree(g_oci_env, OCI_HTYPE_ENV);
        g_oci_env = nullptr;
        g_oci_env_ready = 0;
    }
    if (g_oci_module) {
        FreeLibrary(g_oci_module);
        g_oci_module = nullptr;
    }
    WriteProfileInt(u"APPLICATION", u"GRID_CALC_TYPE", AppSettings.GRID_CALC_TYPE);
    WriteProfileInt(u"SESSION", u"DATA_LOCK", AppSettings.DATA_LOCK);
    return CWinApp::ExitInstance();
}
