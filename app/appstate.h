// The application's global state: the current login, the session's title,
// the matching saved connection's notes and colours, the grid font and the
// selection-calculation text. All live on the UI thread; the completion
// thread takes copies of the login strings when it is created.
#pragma once

#include <afxwin.h>

#include "oracle/ora_globals.h"

extern CFont g_app_font;
extern CString g_cur_user;
extern CString g_cur_password;
extern CString g_cur_tns;
extern CString g_cur_notes;
extern CString g_session_title;
extern CString g_calc_text;

extern int g_connected;           // 1 while g_session is logged on
extern int g_cur_connect_mode;    // 1 NORMAL, 2 SYSDBA, 4 SYSOPER
extern int g_custom_colors;       // 1 when the matching saved connection has its own grid colour
extern COLORREF g_custom_grid_bg; // that colour
extern int g_use_dba_views;

// Hints broadcast to every view (CTavexApp::BroadcastHint).
enum : int {
    HINT_FONT_CHANGED = 1001,
    HINT_SETTINGS_CHANGED = 1010,
    HINT_CLEAR_DATA = 1020,
    HINT_RESET_TITLE = 1021,
};
