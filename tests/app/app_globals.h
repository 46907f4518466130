// The application's process-wide state, put back as a fresh process has it:
// the login and session globals, the settings record, the completion lists
// of the SQL tokenizer, the thread hooks and the client stand-in's globals.
// Fixtures call it as a case begins and after it ends, so that cases run in
// one process, in any order, do not see what an earlier one left.
#pragma once

#include <windows.h>

#include <cstdlib>

#include "app/apphooks.h"
#include "app/appstate.h"
#include "app/settings.h"
#include "app/tavexapp.h"
#include "editor/sqltoken.h"
#include "oracle/ora_dataset.h"
#include "oracle/ora_globals.h"
#include "scheme/macro.h"

namespace apptest {

// The completion table back to the keywords alone, the merged list and the
// name lists behind it freed, the stop flag down.
inline void ResetCompletionLists() {
    theSqlStrToken.SwitchCompletionTable(nullptr, 0, 0);
    std::free(theSqlStrToken.m_merged);
    theSqlStrToken.m_merged = nullptr;
    theSqlStrToken.m_mergedCount = 0;
    oci_free_dataset(&theSqlStrToken.m_objectNames);
    oci_free_dataset(&theSqlStrToken.m_otherNames);
    oci_free_dataset(&theSqlStrToken.m_columnNames);
    theSqlStrToken.m_objectNames = OraDataset{};
    theSqlStrToken.m_otherNames = OraDataset{};
    theSqlStrToken.m_columnNames = OraDataset{};
    theSqlStrToken.m_afterColumnQuery = nullptr;
    theSqlStrToken.SetCommentsSetting(0);
    theSqlStrToken.m_stop.store(0);
}

// Everything above; the caller has ended what it started (the application's
// exit, its sessions, the client library it loaded).
inline void ResetAppGlobals() {
    apphooks::startupThreadBegins = nullptr;
    apphooks::keywordThreadLoggedOn = nullptr;
    if (theApp.m_hKeywordThread) {
        theSqlStrToken.m_stop.store(1);
        WaitForSingleObject(theApp.m_hKeywordThread, INFINITE);
        CloseHandle(theApp.m_hKeywordThread);
        theApp.m_hKeywordThread = nullptr;
    }
    ResetCompletionLists();
    g_cur_user.Empty();
    g_cur_password.Empty();
    g_cur_tns.Empty();
    g_cur_notes.Empty();
    g_session_title.Empty();
    g_calc_text.Empty();
    g_connected = 0;
    g_cur_connect_mode = 1;
    g_custom_colors = 0;
    g_custom_grid_bg = 0xFFFFFF;
    g_use_dba_views = 0;
    AppSettings = AppSettingsRecord{};
    if (!g_oci_module) oci_reset_globals_for_test();
    SetDllDirectoryW(nullptr);
}

} // namespace apptest
