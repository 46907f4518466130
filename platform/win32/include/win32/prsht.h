// Property sheet structures: the sheet's header and its pages' records, as
// MFC's CPropertySheet and CPropertyPage keep them (m_psh, m_psp). The sheet
// itself is MFC's (mfc/propsheet.h); these are its data.
#pragma once

#include "win32/dialog.h"

#ifndef CALLBACK
#define CALLBACK
#endif

#define PSP_DEFAULT 0x00000000
#define PSP_DLGINDIRECT 0x00000001
#define PSP_USEHICON 0x00000002
#define PSP_USEICONID 0x00000004
#define PSP_USETITLE 0x00000008
#define PSP_HASHELP 0x00000020

#define PSH_DEFAULT 0x00000000
#define PSH_PROPTITLE 0x00000001
#define PSH_USEHICON 0x00000002
#define PSH_USEICONID 0x00000004
#define PSH_PROPSHEETPAGE 0x00000008
#define PSH_NOAPPLYNOW 0x00000080
#define PSH_USECALLBACK 0x00000100
#define PSH_HASHELP 0x00000200
#define PSH_MODELESS 0x00000400

// The sheet callback's messages: PSCB_PRECREATE's lParam is the sheet's
// dialog template (writable, with room for a longer font name).
#define PSCB_INITIALIZED 1
#define PSCB_PRECREATE 2

#define PSM_SETCURSEL (WM_USER + 101)
#define PSM_CHANGED (WM_USER + 104)
#define PSM_UNCHANGED (WM_USER + 109)
#define PSM_PRESSBUTTON (WM_USER + 113)
#define PSM_GETTABCONTROL (WM_USER + 116)
#define PSM_GETCURRENTPAGEHWND (WM_USER + 118)
#define PSM_CANCELTOCLOSE (WM_USER + 107)

#define PSBTN_OK 1
#define PSBTN_APPLYNOW 4
#define PSBTN_CANCEL 5

#define ID_APPLY_NOW 0x3021

typedef int(CALLBACK* PFNPROPSHEETCALLBACK)(HWND hwnd, UINT msg, LPARAM lParam);

struct PROPSHEETPAGEW {
    DWORD dwSize;
    DWORD dwFlags;
    HINSTANCE hInstance;
    union {
        LPCWSTR pszTemplate;
        LPCDLGTEMPLATE pResource; // with PSP_DLGINDIRECT
    };
    union {
        HICON hIcon;
        LPCWSTR pszIcon;
    };
    LPCWSTR pszTitle; // with PSP_USETITLE
    DLGPROC pfnDlgProc;
    LPARAM lParam;
    void* pfnCallback;
    UINT* pcRefParent;
};
typedef PROPSHEETPAGEW PROPSHEETPAGE;
typedef PROPSHEETPAGEW* LPPROPSHEETPAGEW;
typedef const PROPSHEETPAGEW* LPCPROPSHEETPAGEW;
typedef const PROPSHEETPAGEW* LPCPROPSHEETPAGE;

struct PROPSHEETHEADERW {
    DWORD dwSize;
    DWORD dwFlags;
    HWND hwndParent;
    HINSTANCE hInstance;
    union {
        HICON hIcon;
        LPCWSTR pszIcon;
    };
    LPCWSTR pszCaption;
    UINT nPages;
    union {
        UINT nStartPage;
        LPCWSTR pStartPage;
    };
    union {
        LPCPROPSHEETPAGEW ppsp; // with PSH_PROPSHEETPAGE: nPages records of dwSize bytes each
        void* phpage;
    };
    PFNPROPSHEETCALLBACK pfnCallback; // with PSH_USECALLBACK
};
typedef PROPSHEETHEADERW PROPSHEETHEADER;
