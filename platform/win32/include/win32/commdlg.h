// Common dialogs: open and save file names, folder browser, colour and font
// choosers. The checks and conversions live here; the dialog itself is the
// display's (a hook), and tests answer it from a queue.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "win32/gdi.h"
#include "win32/window.h"

#define OFN_READONLY 0x00000001
#define OFN_OVERWRITEPROMPT 0x00000002
#define OFN_HIDEREADONLY 0x00000004
#define OFN_NOCHANGEDIR 0x00000008
#define OFN_ENABLEHOOK 0x00000020
#define OFN_ENABLETEMPLATE 0x00000040
#define OFN_NOVALIDATE 0x00000100
#define OFN_ALLOWMULTISELECT 0x00000200
#define OFN_PATHMUSTEXIST 0x00000800
#define OFN_FILEMUSTEXIST 0x00001000
#define OFN_CREATEPROMPT 0x00002000
#define OFN_NOREADONLYRETURN 0x00008000
#define OFN_EXPLORER 0x00080000
#define OFN_ENABLESIZING 0x00800000

struct OPENFILENAMEW {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCWSTR lpstrFilter; // pairs of NUL-terminated texts, ended by an empty one
    LPWSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex; // 1-based
    LPWSTR lpstrFile;
    DWORD nMaxFile;
    LPWSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCWSTR lpstrInitialDir;
    LPCWSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCWSTR lpstrDefExt;
    LPARAM lCustData;
    void* lpfnHook;
    LPCWSTR lpTemplateName;
};
typedef OPENFILENAMEW* LPOPENFILENAMEW;
BOOL GetOpenFileNameW(LPOPENFILENAMEW ofn);
BOOL GetSaveFileNameW(LPOPENFILENAMEW ofn);

#define CC_RGBINIT 0x00000001
#define CC_FULLOPEN 0x00000002
#define CC_ANYCOLOR 0x00000100
struct CHOOSECOLORW {
    DWORD lStructSize;
    HWND hwndOwner;
    HWND hInstance;
    COLORREF rgbResult;
    COLORREF* lpCustColors; // 16 entries
    DWORD Flags;
    LPARAM lCustData;
    void* lpfnHook;
    LPCWSTR lpTemplateName;
};
BOOL ChooseColorW(CHOOSECOLORW* cc);

#define CF_SCREENFONTS 0x00000001
#define CF_INITTOLOGFONTSTRUCT 0x00000040
#define CF_EFFECTS 0x00000100
#define CF_FORCEFONTEXIST 0x00010000
#define CF_NOVERTFONTS 0x01000000
struct CHOOSEFONTW {
    DWORD lStructSize;
    HWND hwndOwner;
    HDC hDC;
    LOGFONTW* lpLogFont;
    INT iPointSize; // tenths of a point
    DWORD Flags;
    COLORREF rgbColors;
    LPARAM lCustData;
    void* lpfnHook;
    LPCWSTR lpTemplateName;
    HINSTANCE hInstance;
    LPWSTR lpszStyle;
    WORD nFontType;
    INT nSizeMin;
    INT nSizeMax;
};
BOOL ChooseFontW(CHOOSEFONTW* cf);

// The folder browser.
struct ITEMIDLIST__;
typedef ITEMIDLIST__* LPITEMIDLIST;
typedef const ITEMIDLIST__* LPCITEMIDLIST;
typedef int (*BFFCALLBACK)(HWND hwnd, UINT msg, LPARAM lParam, LPARAM data);
#define BIF_RETURNONLYFSDIRS 0x00000001
#define BIF_NEWDIALOGSTYLE 0x00000040
#define BFFM_INITIALIZED 1
#define BFFM_SELCHANGED 2
#define BFFM_SETSELECTIONW (WM_USER + 103)
struct BROWSEINFOW {
    HWND hwndOwner;
    LPCITEMIDLIST pidlRoot;
    LPWSTR pszDisplayName;
    LPCWSTR lpszTitle;
    UINT ulFlags;
    BFFCALLBACK lpfn;
    LPARAM lParam;
    int iImage;
};
LPITEMIDLIST SHBrowseForFolderW(BROWSEINFOW* bi);
BOOL SHGetPathFromIDListW(LPCITEMIDLIST pidl, LPWSTR path);
// Frees what SHBrowseForFolderW returned.
void CoTaskMemFree(void* p);

namespace win32bk {

// What a file dialog shows and what its user chose.
struct FileDialogRequest {
    HWND owner;
    bool save;
    std::u16string title, directory, name;
    std::vector<std::pair<std::u16string, std::u16string>> filters; // (name, patterns)
    int filterIndex;                                                // 0-based
    DWORD flags;
};
struct FileDialogAnswer {
    bool ok = false;
    std::u16string path;
    int filterIndex = -1; // -1: as it was
};
struct FolderDialogRequest {
    HWND owner;
    std::u16string title;
    std::u16string selection; // set through BFFM_SETSELECTIONW
};
struct ColorDialogRequest {
    HWND owner;
    COLORREF color;
    COLORREF custom[16];
};
struct FontDialogRequest {
    HWND owner;
    std::u16string face;
    int pointTenths;
    int weight;
    bool italic;
};

struct CommonDialogHooks {
    FileDialogAnswer (*file)(const FileDialogRequest& request) = nullptr;
    bool (*folder)(FolderDialogRequest& request, std::u16string* path) = nullptr;
    bool (*color)(ColorDialogRequest& request) = nullptr;
    bool (*font)(FontDialogRequest& request) = nullptr;
};
// Null members leave that dialog cancelled.
void SetCommonDialogHooks(const CommonDialogHooks& hooks);
CommonDialogHooks GetCommonDialogHooks();

// "name (*.a)|*.a|...||" into (name, patterns) pairs, as MFC's file dialog reads its filter.
std::vector<std::pair<std::u16string, std::u16string>> ParseBarFilter(const std::u16string& filter);
// The name a file dialog returns: an extension of the chosen filter when it has
// exactly one, else the default one, added to a name without extension.
std::u16string WithDefaultExtension(const std::u16string& name, const std::u16string& patterns,
                                    const std::u16string& defExt);
// The file dialogs' run; keepOpen (may be empty) sees each confirmed name
// and keeps the dialog open by returning true.
BOOL RunFileDialog(LPOPENFILENAMEW ofn, bool save,
                   const std::function<bool(const std::u16string&)>& keepOpen);

} // namespace win32bk
