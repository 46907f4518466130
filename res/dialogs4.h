// Ids of the about box, the key dialog, the search dialogs, the cell
// dialogs and the export panel.
#pragma once

#define IDD_ABOUTBOX 100
#define IDD_SEARCH 133
#define IDD_REPLACE 135
#define IDD_INSERT_ROWS 136
#define IDD_DATA_EDIT 142
#define IDD_INPUT_SEQUENCE 144
#define IDD_BFILE 145
#define IDD_ACCELERATOR 155
#define IDD_GRID_SORT 175
#define IDD_DB_EXT_FILE 202
#define IDD_GRID_FILTER 217

// About box.
#define IDC_ABOUT_VERSION 2108
#define IDC_ABOUT_CLIENT 2012
#define IDC_ABOUT_ADDRESS 2031

// Key dialog.
#define IDC_ACCEL_CATEGORIES 2098
#define IDC_ACCEL_COMMANDS 2100
#define IDC_ACCEL_KEYS 2101
#define IDC_ACCEL_CAPTURE 2018
#define IDC_ACCEL_CURRENT 2103
#define IDC_ACCEL_ASSIGN 1071
#define IDC_ACCEL_REMOVE 2030
#define IDC_ACCEL_DEFAULTS 2102
