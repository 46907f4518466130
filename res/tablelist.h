// Resource ids of the table-selection dialog, its column-list menu and the
// query progress dialog.
#pragma once

#define IDD_TABLE_LIST 320
#define IDD_QUERY_CANCEL 321
#define IDR_COLUMN_LIST_MENU 322

// Table-selection dialog.
#define IDC_TL_OWNER 1100
#define IDC_TL_FILTER 1036
#define IDC_TL_FILTER_CLEAR 1041
#define IDC_TL_OBJECTS 1010
#define IDC_TL_ALL 1012
#define IDC_TL_COLUMNS 1007
#define IDC_TL_ADD 1043
#define IDC_TL_DEL 1045
#define IDC_TL_CLEAR 1047
#define IDC_TL_UPDOWN 1050
#define IDC_TL_CHOSEN 1027
#define IDC_TL_SAVE 1032
#define IDC_TL_LOAD 1034
#define IDC_TL_LOCK 1031
#define IDC_TL_OWNER_LABEL 1025
#define IDC_TL_FILTER_LABEL 1023
#define IDC_TL_TABLE_LABEL 1014
#define IDC_TL_COLUMN_LABEL 1016
#define IDC_TL_WHERE_LABEL 1020
#define IDC_TL_WHERE 1058 // the condition editor, made at run time

#define ID_COPY_TO_WHERE 34014

// Query progress dialog.
#define IDC_QC_LINE1 1003
#define IDC_QC_LINE2 1006
