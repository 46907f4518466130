// The application's global objects, in the order they are built (and so
// destroyed in the reverse order at exit). The tokenizers and the editor's
// pools are the editor's own globals; the pools are made on first use.
#include "app/appstate.h"
#include "app/settings.h"
#include "app/tavexapp.h"

CFont g_app_font;
CString g_cur_user;
CString g_cur_password;
CString g_cur_tns;
CString g_cur_notes;
CString g_session_title;
CString g_calc_text;
AppSettingsRecord AppSettings;

int g_connected = 0;
int g_cur_connect_mode = 1;
int g_custom_colors = 0;
COLORREF g_custom_grid_bg = 0xFFFFFF;
int g_use_dba_views = 0;

CTavexApp theApp;
