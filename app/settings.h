// The settings record: one field per general setting, read at start-up from
// the current store (registry stand-in or "tavrelix.ini"), written by the
// options command; GRID_CALC_TYPE and DATA_LOCK are also written at exit.
#pragma once

#include <afx.h>

#include "grid/gridstyle.h"

struct FontSettings {
    CString FACENAME;
    int POINT = 0; // tenths of a point
    int WEIGHT = 0;
    int ITALIC = 0;
};

struct AppSettingsRecord {
    int LONG_READ_BUF_SIZE = 0;
    int CLOB_READ_BUF_SIZE = 0;
    FontSettings font;

    int SHOW_SPACE = 0;
    int SHOW_2BYTE_SPACE = 0;
    int SHOW_TAB = 0;
    int SHOW_LINE_FEED = 0;
    int ADJUST_COL_WIDTH_NO_USE_COLNAME = 0;
    int ADJUST_MIN_COL_CHARS = 0;
    int INVERT_SELECT_TEXT = 0;
    int COPY_ESCAPE_DBLQUOTE = 0;
    int IME_CARET_COLOR = 0;
    int END_KEY_LIKE_EXCEL = 0;
    int DISP_COLUMN_NAME_TOOL_TIP = 0;
    int SHOW_NOT_NULL_COLL = 0;
    int NO_MOVE_CELL_AT_DELETE_ROWS = 0;
    int NO_MOVE_CELL_AT_INSERT_ROWS = 0;

    // In the grid's colour-index order; 12 and 13 have no key.
    COLORREF colors[16] = {};

    CString NULL_TEXT;
    int CELL_PADDING_TOP = 1;
    int CELL_PADDING_BOTTOM = 1;
    int CELL_PADDING_LEFT = 2;
    int CELL_PADDING_RIGHT = 2;

    int completionQuery = 0; // no key; always 0

    int PUT_COLUMN_NAME = 0;
    int ADJUST_COL_WIDTH = 0;
    int USE_MESSAGE_BEEP = 0;
    int DISP_DELETE_ALL_NULL_ROWS_WARNING = 0;
    int USE_USER_UPDATABLE_COLUMNS = 0;
    int SHARE_CONNECT_INFO = 0;
    int SEARCH_DLG_CLOSE_AT_FOUND = 0;

    int DATA_LOCK = 0;

    CString NLS_DATE_FORMAT;
    CString NLS_DATE_LANGUAGE;
    CString NLS_TIMESTAMP_FORMAT;
    CString NLS_TIMESTAMP_TZ_FORMAT;
    CString TIMEZONE;

    CString INITIAL_DIR;
    CString STARTUP_SQL_FILE;

    int GRID_CALC_TYPE = 0;
    int USE_INI_FILE = 0;

    CString OCI_PATH_64;
    CString TNS_ADMIN;

    int NLS_UTF8 = 0;
    int REPLACE_WAVE_DASH = 0;
};

// Colour indexes of AppSettingsRecord::colors: the grid's (grid/gridstyle.h).

extern AppSettingsRecord AppSettings;

// Where the sibling editor "pelvoxan" keeps its settings: profile name and
// registry key (empty for an ini file).
void GetSiblingProfileLocation(CString& profileName, CString& registryKey);

// Small file-system utilities.
CString util_get_tool_dir(); // ends with a backslash
// A file the program keeps beside itself (a path relative to its directory):
// that one while the program may write there, else a per-user copy under
// $XDG_DATA_HOME/tavrelix/ (~/.local/share when unset), which starts as a copy
// of the one beside the program the first time it is asked for.
CString util_user_file(const char16_t* relative);
int util_file_exists(const char16_t* path);
int util_dir_exists(const char16_t* path);
CString util_get_exe_version();
int util_browse_folder_callback(HWND window, UINT message, LPARAM lParam, LPARAM data);
