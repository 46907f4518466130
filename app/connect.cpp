// The current session's life cycle: the login dialog and the last login, the
// set-up after every logon, the completion-keyword thread, the disconnect,
// the change of connection and the hints to every view.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/apphooks.h"
#include "app/appstate.h"
#include "app/connectinfo.h"
#include "app/dialogs/login.h"
#include "app/settings.h"
#include "app/tavexapp.h"
#include "app/tavexdoc.h"
#include "editor/editdata.h"
#include "editor/sqlsplit.h"
#include "editor/sqltoken.h"
#include "oracle/oci_api.h"
#include "oracle/oci_exec.h"
#include "oracle/ora_dict.h"
#include "scheme/macro.h"

namespace {

const char16_t kConnectSection[] = u"CONNECT_INFO";

// The login the completion thread logs on with, copied when it is created:
// a change of connection may rewrite the globals while the thread runs.
struct KeywordThreadLogin {
    CString user, password, tns;
};

unsigned KeywordThreadProc(void* arg) {
    std::unique_ptr<KeywordThreadLogin> login(static_cast<KeywordThreadLogin*>(arg));
    OraSession* session = nullptr;
    int rc = oci_login2(&session, login->user, login->password, login->tns, nullptr, 1, nullptr, nullptr);
    if (rc != ORARC_OK) return static_cast<unsigned>(rc);
    if (apphooks::keywordThreadLoggedOn) apphooks::keywordThreadLoggedOn();
    // A disconnect that came while this thread logged on needs no dictionary load.
    if (theSqlStrToken.m_stop.load() == 1)
        rc = ORARC_CANCELLED;
    else
        rc = theSqlStrToken.initKeywordForCompletion(session, login->user, nullptr);
    oci_ora_logout(&session);
    return static_cast<unsigned>(rc);
}

void RunEventHandler(const char16_t* name) {
    if (!g_macro) return;
    if (SchemeCell* handler = macro_event_handler(name)) macro_run_procedure(handler);
}

} // namespace

void CTavexApp::BroadcastHint(int hint, CObject* hintObject) {
    POSITION tp = GetFirstDocTemplatePosition();
    while (tp) {
        CDocTemplate* t = GetNextDocTemplate(tp);
        POSITION dp = t->GetFirstDocPosition();
        while (dp)
            if (CDocument* doc = t->GetNextDoc(dp)) doc->UpdateAllViews(nullptr, hint, hintObject);
    }
}

int CTavexApp::RunLoginDialog(OraSession** session, int keepFocus) {
    CLogin dlg;
    dlg.m_captionText = u"Tavrelix Login";
    dlg.m_keepFocus = keepFocus;
    dlg.m_user = GetProfileString(kConnectSection, u"USER-CUR", u"");
    dlg.m_tns = GetProfileString(kConnectSection, u"TNS-CUR", u"");
    dlg.m_connectMode = static_cast<int>(GetProfileInt(kConnectSection, u"CONNECT_MODE-CUR", 1));
    dlg.m_useOci7 = static_cast<int>(GetProfileInt(kConnectSection, u"USE_OCI7_API-CUR", 0));
    if (AppSettings.SHARE_CONNECT_INFO == 1) GetSiblingProfileLocation(dlg.m_profileName, dlg.m_registryKey);
    dlg.m_connectList.m_profileName = dlg.m_profileName;
    dlg.m_connectList.m_registryKey = dlg.m_registryKey;
    if (dlg.DoModal() != IDOK) return 1;
    WriteProfileString(kConnectSection, u"USER-CUR", dlg.m_user);
    WriteProfileString(kConnectSection, u"TNS-CUR", dlg.m_tns);
    WriteProfileInt(kConnectSection, u"CONNECT_MODE-CUR", dlg.m_connectMode);
    WriteProfileInt(kConnectSection, u"USE_OCI7_API-CUR", dlg.m_useOci7);
    *session = dlg.m_session;
    g_cur_user = dlg.m_user;
    g_cur_tns = dlg.m_tns;
    g_cur_password = dlg.m_password;
    g_cur_connect_mode = dlg.m_connectMode;
    return 0;
}

int CTavexApp::ConnectSetup() {
    if (!g_connected) return 0;
    CString charset, version, msg;
    oradict_get_nls_db_param(&charset, g_session, u"NLS_CHARACTERSET", &msg);
    oradict_get_nls_db_param(&version, g_session, u"NLS_RDBMS_VERSION", &msg);
    g_oci_reprepare = g_oci_code_page == 65001 && wcstod(version, nullptr) <= 10.2 ? 1 : 0;

    g_session_title = g_cur_user + u"@" + g_cur_tns;
    if (g_use_oci7_api == 1) g_session_title += u" OCI7";

    {
        ConnectInfoList list;
        if (AppSettings.SHARE_CONNECT_INFO == 1)
            GetSiblingProfileLocation(list.m_profileName, list.m_registryKey);
        list.Load();
        const int oci7 = !g_session || g_session->oci7 ? 1 : 0;
        g_cur_notes.Empty();
        for (int i = 0; i < list.GetCount(); ++i) {
            const ConnectInfo& e = *list.GetAt(i);
            if (e.user.CompareNoCase(g_cur_user) != 0 || e.tns.CompareNoCase(g_cur_tns) != 0 ||
                e.connectMode != g_cur_connect_mode || e.useOci7 != oci7)
                continue;
            g_cur_notes = e.notes;
            if (e.customizeOption != 0) {
                g_custom_colors = 1;
                g_custom_grid_bg = e.gridBgColor;
            } else {
                g_custom_colors = 0;
            }
            BroadcastHint(HINT_SETTINGS_CHANGED);
            break;
        }
    }

    {
        OraDataset ds{};
        oci_init_dataset(&ds);
        int rc = oci_sel_dataset(g_session, &ds, u"select user from dual \n", 1, &msg, nullptr, nullptr);
        if (rc != ORARC_OK) {
            oci_free_dataset(&ds);
            return rc;
        }
        int col = oci_get_dataset_col_no(&ds, u"USER");
        g_cur_user = col >= 0 && ds.row_count > 0 ? CString(oci_get_dataset_data(&ds, 0, col)) : CString();
        oci_free_dataset(&ds);
    }

    if (ApplySessionNls() != 0) return 1;
    RunStartupSqlFile(AppSettings.STARTUP_SQL_FILE);

    // Cleared here, before the thread exists: a stop set while it logs on is kept.
    theSqlStrToken.m_stop.store(0);
    auto* login = new KeywordThreadLogin{g_cur_user, g_cur_password, g_cur_tns};
    m_hKeywordThread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, KeywordThreadProc, login, 0, nullptr));
    if (!m_hKeywordThread) {
        delete login;
        AfxMessageBox(u"スレッド作成エラー");
        return 1;
    }
    return 0;
}

int CTavexApp::ApplySessionNls() {
    if (!g_connected) return 0;
    AppSettingsRecord& s = AppSettings;
    CString msg, value;
    if (!s.NLS_DATE_FORMAT.IsEmpty() &&
        oradict_set_nls_session_param(g_session, s.NLS_DATE_FORMAT, u"NLS_DATE_FORMAT", &msg) == ORARC_OK) {
        char buf[sizeof g_oci_date_format] = {};
        int n = WideCharToMultiByte(g_oci_code_page == 65001 ? CP_UTF8 : CP_ACP, 0, s.NLS_DATE_FORMAT, -1,
                                    buf, static_cast<int>(sizeof buf), nullptr, nullptr);
        buf[n > 0 ? std::min<int>(n, sizeof buf - 1) : 0] = 0;
        memcpy(g_oci_date_format, buf, sizeof buf);
    }
    if (oradict_get_nls_session_param(g_session, &value, u"NLS_DATE_FORMAT", &msg) == ORARC_OK)
        s.NLS_DATE_FORMAT = value;
    if (!s.NLS_DATE_LANGUAGE.IsEmpty())
        oradict_set_nls_session_param(g_session, s.NLS_DATE_LANGUAGE, u"NLS_DATE_LANGUAGE", &msg);
    if (!s.NLS_TIMESTAMP_FORMAT.IsEmpty()) {
        oradict_set_nls_session_param(g_session, s.NLS_TIMESTAMP_FORMAT, u"NLS_TIMESTAMP_FORMAT", &msg);
        if (oradict_get_nls_session_param(g_session, &value, u"NLS_TIMESTAMP_FORMAT", &msg) == ORARC_OK)
            s.NLS_TIMESTAMP_FORMAT = value;
    }
    if (!s.NLS_TIMESTAMP_TZ_FORMAT.IsEmpty()) {
        oradict_set_nls_session_param(g_session, s.NLS_TIMESTAMP_TZ_FORMAT, u"NLS_TIMESTAMP_TZ_FORMAT", &msg);
        if (oradict_get_nls_session_param(g_session, &value, u"NLS_TIMESTAMP_TZ_FORMAT", &msg) == ORARC_OK)
            s.NLS_TIMESTAMP_TZ_FORMAT = value;
    }
    if (!s.TIMEZONE.IsEmpty()) {
        oradict_set_nls_session_param(g_session, s.TIMEZONE, u"TIME_ZONE", &msg);
        if (oradict_get_session_timezone(&value, &msg) == ORARC_OK)
            s.TIMEZONE = value;
        else
            s.TIMEZONE.Empty();
    }
    return 0;
}

int CTavexApp::RunStartupSqlFile(const char16_t* path) {
    if (!g_connected || !util_file_exists(path)) return -1;
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone)) return -1;
    CEditData data;
    {
        CArchive ar(&file, CArchive::load, 4096);
        int code = 9, lineEnd = 0;
        if (data.LoadFile(&ar, &code, &lineEnd) != 0) return -1;
    }
    SqlBuf buf{};
    buf.tokenizer = &theSqlStrToken;
    int result = 0;
    for (int line = 0; line >= 0 && line < data.GetLineCount();) {
        line = GetNextSqlStatement(&buf, line, &data);
        if (line < 0) break;
        if (!buf.firstToken || !*buf.firstToken || buf.kind == 3 || buf.kind == 4) continue;
        // From the first token on: the comments and REM lines before it are
        // the script's, not the database's.
        CString msg;
        int rc = oci_exec_sql(g_session, buf.firstToken, &msg);
        if (rc != ORARC_OK) {
            MessageBoxW(nullptr, msg, u"Error", MB_ICONWARNING);
            result = rc;
            break;
        }
    }
    FreeSqlBuf(&buf);
    return result;
}

void CTavexApp::Disconnect() {
    if (g_connected == 1) {
        CString msg;
        oci_ora_rollback(g_session, &msg);
    }
    if (m_hKeywordThread) {
        theSqlStrToken.m_stop.store(1);
        WaitForSingleObject(m_hKeywordThread, INFINITE);
        CloseHandle(m_hKeywordThread);
        m_hKeywordThread = nullptr;
    }
    if (g_connected == 1) {
        oci_ora_logout(&g_session);
        g_connected = 0;
    }
    g_custom_colors = 0;
    BroadcastHint(HINT_SETTINGS_CHANGED);
    RunEventHandler(u"on-disconnected");
}

void CTavexApp::OnFileChangeConnection() {
    // A cell still open in the editor is an edit too: end it before asking.
    BroadcastHint(HINT_END_EDIT);
    POSITION tp = GetFirstDocTemplatePosition();
    while (tp) {
        CDocTemplate* t = GetNextDocTemplate(tp);
        POSITION dp = t->GetFirstDocPosition();
        while (dp) {
            CDocument* next = t->GetNextDoc(dp);
            auto* doc = DYNAMIC_DOWNCAST(CTavexDoc, next);
            if (!doc || !doc->HasUnsavedEdits()) continue;
            if (::MessageBoxW(m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr,
                              u"編集中のデータは保存されません。よろしいですか？", u"MESSAGE",
                              MB_YESNO | MB_ICONQUESTION) == IDNO)
                return;
        }
    }
    OraSession* session = nullptr;
    if (RunLoginDialog(&session, 1) != 0) return;
    Disconnect();
    g_session = session;
    g_connected = 1;
    ConnectSetup();
    RunEventHandler(u"on-connected");
    BroadcastHint(HINT_CLEAR_DATA);
    BroadcastHint(HINT_RESET_TITLE);
}

// Without a client library no login dialog can run.
void CTavexApp::OnUpdateFileChangeConnection(CCmdUI* ui) {
    ui->Enable(g_oci_module != nullptr);
}
