// Common dialogs: the file dialogs' filters, default extension and checks
// (refusals with a message, the overwrite question), the folder browser's
// callback, and the colour and font choosers over the display's dialogs.
#include "win32/commdlg.h"
#include "win32/filepanel.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "win32/msgbox.h"
#include "win32/resource.h"
#include "win32/sysinfo.h"
#include "win32/wstring.h"

namespace win32bk {

namespace {
std::mutex g_hooksMutex;
CommonDialogHooks g_hooks;

std::string Native(const std::u16string& path) {
    std::string s = WideToUtf8(path.c_str());
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

bool Exists(const std::u16string& path, bool* isDir = nullptr, bool* readOnly = nullptr) {
    struct stat st {};
    std::string p = Native(path);
    if (stat(p.c_str(), &st) != 0) return false;
    if (isDir) *isDir = S_ISDIR(st.st_mode);
    if (readOnly) *readOnly = access(p.c_str(), W_OK) != 0;
    return true;
}

std::u16string DirectoryOf(const std::u16string& path) {
    size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string::npos ? std::u16string(u".") : path.substr(0, slash == 0 ? 1 : slash);
}

std::u16string FileTitle(const std::u16string& path) {
    size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

bool HasExtension(const std::u16string& name) {
    std::u16string title = FileTitle(name);
    size_t dot = title.rfind(u'.');
    return dot != std::u16string::npos && dot > 0 && dot + 1 < title.size();
}

std::vector<std::pair<std::u16string, std::u16string>> NulFilters(LPCWSTR filter) {
    std::vector<std::pair<std::u16string, std::u16string>> out;
    if (!filter) return out;
    for (const char16_t* p = filter; *p;) {
        std::u16string name = p;
        p += name.size() + 1;
        std::u16string pattern = *p ? std::u16string(p) : std::u16string();
        if (*p) p += pattern.size() + 1;
        out.emplace_back(name, pattern);
    }
    return out;
}

// Copies the chosen path into the caller's structure: offsets, the title.
bool Return(LPOPENFILENAMEW ofn, const std::u16string& path) {
    if (!ofn->lpstrFile || ofn->nMaxFile <= path.size()) return false;
    std::copy(path.begin(), path.end(), ofn->lpstrFile);
    ofn->lpstrFile[path.size()] = 0;
    size_t slash = path.find_last_of(u"\\/");
    ofn->nFileOffset = static_cast<WORD>(slash == std::u16string::npos ? 0 : slash + 1);
    size_t dot = path.rfind(u'.');
    ofn->nFileExtension =
        static_cast<WORD>(dot != std::u16string::npos && dot > ofn->nFileOffset ? dot + 1 : path.size());
    if (ofn->lpstrFileTitle && ofn->nMaxFileTitle) {
        std::u16string title = FileTitle(path);
        size_t n = std::min<size_t>(title.size(), ofn->nMaxFileTitle - 1);
        std::copy_n(title.data(), n, ofn->lpstrFileTitle);
        ofn->lpstrFileTitle[n] = 0;
    }
    return true;
}

// The panel of an explorer-style dialog with a template or a hook: the
// template's dialog made as a hidden top-level window (the display places
// it in the file dialog), or an empty one for a hook alone.
HWND CreatePanel(LPOPENFILENAMEW ofn) {
    if (!(ofn->Flags & OFN_EXPLORER) || !(ofn->Flags & (OFN_ENABLETEMPLATE | OFN_ENABLEHOOK))) return nullptr;
    std::vector<BYTE> bytes;
    if ((ofn->Flags & OFN_ENABLETEMPLATE) && ofn->lpTemplateName) {
        HRSRC res = FindResourceW(reinterpret_cast<HMODULE>(ofn->hInstance), ofn->lpTemplateName, RT_DIALOG);
        const BYTE* p = res ? static_cast<const BYTE*>(LockResource(LoadResource(nullptr, res))) : nullptr;
        size_t n = p ? win32dlg::TemplateSize(p) : 0;
        if (n) bytes.assign(p, p + n);
    }
    if (bytes.empty()) {
        DLGTEMPLATE empty{WS_CHILD | DS_CONTROL | DS_3DLOOK, 0, 0, 0, 0, 0, 0};
        bytes.assign(reinterpret_cast<BYTE*>(&empty), reinterpret_cast<BYTE*>(&empty) + sizeof empty);
        bytes.resize(bytes.size() + 6, 0); // no menu, class or title
    }
    WORD ver, sig;
    memcpy(&ver, bytes.data(), 2);
    memcpy(&sig, bytes.data() + 2, 2);
    size_t at = ver == 1 && sig == 0xFFFF ? 12 : 0;
    DWORD style;
    memcpy(&style, bytes.data() + at, 4);
    style = (style & ~DWORD(WS_CHILD | DS_CONTROL | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME)) |
            WS_POPUP;
    memcpy(bytes.data() + at, &style, 4);
    auto proc = (ofn->Flags & OFN_ENABLEHOOK) ? reinterpret_cast<DLGPROC>(ofn->lpfnHook) : nullptr;
    return win32dlg::CreateFromTemplate(ofn->hInstance, reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()),
                                        nullptr, proc, reinterpret_cast<LPARAM>(ofn), false);
}

// CDN_FILEOK to the panel: true when it keeps the dialog open.
bool PanelKeepsOpen(HWND panel, LPOPENFILENAMEW ofn) {
    if (!panel || !IsWindow(panel)) return false;
    OFNOTIFYW n{{panel, 0, CDN_FILEOK}, ofn, ofn->lpstrFile};
    SetWindowLongPtrW(panel, DWLP_MSGRESULT, 0);
    SendMessageW(panel, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
    return IsWindow(panel) && GetWindowLongPtrW(panel, DWLP_MSGRESULT) != 0;
}

HWND g_panel = nullptr;

// The folders the file dialogs remember for the process's life, by kind (the
// filter and the default extension: the kind of file a dialog deals in):
// the folder the caller asked for when the dialog of that kind was last
// confirmed, and the folder of the name confirmed then.
struct LastFolder {
    std::u16string asked, used;
};
std::mutex g_foldersMutex;
std::map<std::u16string, LastFolder> g_folders;

std::u16string KindOf(LPOPENFILENAMEW ofn) {
    std::u16string kind = ofn->lpstrDefExt ? ofn->lpstrDefExt : u"";
    for (const auto& [name, patterns] : NulFilters(ofn->lpstrFilter)) kind += u'\0' + name + u'\0' + patterns;
    return kind;
}

std::u16string CurrentDirectory() {
    std::vector<char16_t> dir(MAX_PATH);
    for (;;) {
        DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(dir.size()), dir.data());
        if (n == 0) return std::u16string();
        if (n < dir.size()) return std::u16string(dir.data(), n);
        dir.resize(n + 1);
    }
}

// Where a dialog of this kind opens: the folder asked for (the current one
// when none is), unless the last dialog of its kind was asked for the same
// one and confirmed elsewhere; then that folder, while it still is one.
std::u16string StartFolder(const std::u16string& kind, const std::u16string& asked) {
    std::lock_guard<std::mutex> lock(g_foldersMutex);
    auto it = g_folders.find(kind);
    bool isDir = false;
    if (it != g_folders.end() && it->second.asked == asked && Exists(it->second.used, &isDir) && isDir)
        return it->second.used;
    return asked;
}

void RememberFolder(const std::u16string& kind, const std::u16string& asked, const std::u16string& path) {
    std::lock_guard<std::mutex> lock(g_foldersMutex);
    g_folders[kind] = LastFolder{asked, DirectoryOf(path)};
}

struct PanelGuard {
    HWND panel;
    HWND outer = g_panel;
    ~PanelGuard() {
        g_panel = outer;
        if (panel && IsWindow(panel)) DestroyWindow(panel);
    }
};

} // namespace

BOOL RunFileDialog(LPOPENFILENAMEW ofn, bool save,
                   const std::function<bool(const std::u16string&)>& keepOpen) {
    if (!ofn) return FALSE;
    CommonDialogHooks hooks = GetCommonDialogHooks();
    if (!hooks.file) return FALSE;
    FileDialogRequest req;
    req.owner = ofn->hwndOwner && IsWindow(ofn->hwndOwner) ? ofn->hwndOwner : nullptr;
    req.save = save;
    req.title = ofn->lpstrTitle ? ofn->lpstrTitle : (save ? u"名前を付けて保存" : u"開く");
    const std::u16string kind = KindOf(ofn);
    const std::u16string asked = ofn->lpstrInitialDir && *ofn->lpstrInitialDir
                                     ? std::u16string(ofn->lpstrInitialDir)
                                     : CurrentDirectory();
    req.directory = StartFolder(kind, asked);
    req.name = ofn->lpstrFile ? ofn->lpstrFile : u"";
    req.filters = NulFilters(ofn->lpstrFilter);
    req.filterIndex = ofn->nFilterIndex > 0 ? static_cast<int>(ofn->nFilterIndex) - 1 : 0;
    req.flags = ofn->Flags;
    std::u16string defExt = ofn->lpstrDefExt ? ofn->lpstrDefExt : u"";
    PanelGuard guard{CreatePanel(ofn)};
    g_panel = guard.panel;
    for (;;) {
        FileDialogAnswer a = hooks.file(req);
        if (!a.ok) return FALSE;
        if (a.filterIndex >= 0) req.filterIndex = a.filterIndex;
        std::u16string path = a.path;
        if (path.empty()) continue;
        if (path[0] != u'/' && !(path.size() > 1 && path[1] == u':') && !req.directory.empty())
            path = req.directory + u"/" + path;
        const std::u16string patterns =
            req.filterIndex >= 0 && static_cast<size_t>(req.filterIndex) < req.filters.size()
                ? req.filters[static_cast<size_t>(req.filterIndex)].second
                : std::u16string();
        path = WithDefaultExtension(path, patterns, defExt);
        bool isDir = false, readOnly = false;
        bool exists = Exists(path, &isDir, &readOnly);
        std::u16string title = FileTitle(path);
        std::u16string caption = req.title;
        if ((ofn->Flags & OFN_PATHMUSTEXIST) || (ofn->Flags & OFN_FILEMUSTEXIST)) {
            bool dirIsDir = false;
            if (!Exists(DirectoryOf(path), &dirIsDir) || !dirIsDir) {
                MessageBoxW(
                    req.owner,
                    (path + u"\nパスが存在しません。\nパス名が正しいかどうか確認してください。").c_str(),
                    caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
                req.name = title;
                continue;
            }
        }
        if ((ofn->Flags & OFN_FILEMUSTEXIST) && (!exists || isDir)) {
            MessageBoxW(
                req.owner,
                (title + u"\nファイルが見つかりません。\nファイル名を確認して再実行してください。").c_str(),
                caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
            req.name = title;
            continue;
        }
        if ((ofn->Flags & OFN_NOREADONLYRETURN) && exists && readOnly) {
            MessageBoxW(req.owner,
                        (title + u"\nこのファイルは読み取り専用です。\n別の名前を使用してください。").c_str(),
                        caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
            req.name = title;
            continue;
        }
        if (save && (ofn->Flags & OFN_OVERWRITEPROMPT) && exists) {
            int r = MessageBoxW(req.owner, (title + u" は既に存在します。\n上書きしますか?").c_str(),
                                caption.c_str(), MB_YESNO | MB_ICONEXCLAMATION);
            if (r != IDYES) {
                req.name = title;
                continue;
            }
        }
        if (!Return(ofn, path)) return FALSE;
        ofn->nFilterIndex = static_cast<DWORD>(req.filterIndex + 1);
        if (PanelKeepsOpen(guard.panel, ofn) || (keepOpen && keepOpen(path))) {
            req.name = title;
            continue;
        }
        RememberFolder(kind, asked, path);
        return TRUE;
    }
}

namespace {

// The browser's window: it takes the callback's BFFM_SETSELECTIONW.
FolderDialogRequest* g_folder = nullptr;
LRESULT FolderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == BFFM_SETSELECTIONW && g_folder) {
        // wParam TRUE: lParam is a path (an item list is not taken).
        if (wParam && lParam) g_folder->selection = reinterpret_cast<LPCWSTR>(lParam);
        return TRUE;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
} // namespace

HWND FileDialogPanel() {
    return g_panel;
}

void ForgetFileDialogFolders() {
    std::lock_guard<std::mutex> lock(g_foldersMutex);
    g_folders.clear();
}

void SetCommonDialogHooks(const CommonDialogHooks& hooks) {
    std::lock_guard<std::mutex> lock(g_hooksMutex);
    g_hooks = hooks;
}
CommonDialogHooks GetCommonDialogHooks() {
    std::lock_guard<std::mutex> lock(g_hooksMutex);
    return g_hooks;
}

std::vector<std::pair<std::u16string, std::u16string>> ParseBarFilter(const std::u16string& filter) {
    std::vector<std::pair<std::u16string, std::u16string>> out;
    std::vector<std::u16string> parts;
    size_t at = 0;
    while (at <= filter.size()) {
        size_t bar = filter.find(u'|', at);
        parts.push_back(filter.substr(at, bar == std::u16string::npos ? std::u16string::npos : bar - at));
        if (bar == std::u16string::npos) break;
        at = bar + 1;
    }
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty()) break;
        out.emplace_back(parts[i], parts[i + 1]);
    }
    return out;
}

std::u16string WithDefaultExtension(const std::u16string& name, const std::u16string& patterns,
                                    const std::u16string& defExt) {
    if (name.empty() || HasExtension(name)) return name;
    // The filter's single extension: "*.txt", not "*.txt;*.csv" nor "*.*".
    std::u16string ext;
    if (patterns.find(u';') == std::u16string::npos && patterns.size() > 2 &&
        patterns.compare(0, 2, u"*.") == 0 && patterns.find_first_of(u"*?", 2) == std::u16string::npos)
        ext = patterns.substr(2);
    if (ext.empty()) ext = defExt;
    if (!ext.empty() && ext[0] == u'.') ext = ext.substr(1);
    if (ext.empty()) return name;
    std::u16string out = name;
    if (out.back() != u'.') out.push_back(u'.');
    return out + ext;
}

} // namespace win32bk

using namespace win32bk;

BOOL GetOpenFileNameW(LPOPENFILENAMEW ofn) {
    return RunFileDialog(ofn, false, nullptr);
}

BOOL GetSaveFileNameW(LPOPENFILENAMEW ofn) {
    return RunFileDialog(ofn, true, nullptr);
}

BOOL ChooseColorW(CHOOSECOLORW* cc) {
    if (!cc) return FALSE;
    CommonDialogHooks hooks = GetCommonDialogHooks();
    if (!hooks.color) return FALSE;
    ColorDialogRequest req{cc->hwndOwner && IsWindow(cc->hwndOwner) ? cc->hwndOwner : nullptr,
                           (cc->Flags & CC_RGBINIT) ? cc->rgbResult : RGB(0, 0, 0),
                           {}};
    if (cc->lpCustColors) std::copy_n(cc->lpCustColors, 16, req.custom);
    bool ok = hooks.color(req);
    // The custom colours come back even when the dialog is cancelled, as the user left them.
    if (cc->lpCustColors) std::copy_n(req.custom, 16, cc->lpCustColors);
    if (!ok) return FALSE;
    cc->rgbResult = req.color;
    return TRUE;
}

BOOL ChooseFontW(CHOOSEFONTW* cf) {
    if (!cf || !cf->lpLogFont) return FALSE;
    CommonDialogHooks hooks = GetCommonDialogHooks();
    if (!hooks.font) return FALSE;
    LOGFONTW& lf = *cf->lpLogFont;
    int tenths = lf.lfHeight < 0 ? (-lf.lfHeight * 720 + 48) / 96 : (lf.lfHeight ? lf.lfHeight * 7 : 100);
    FontDialogRequest req{cf->hwndOwner && IsWindow(cf->hwndOwner) ? cf->hwndOwner : nullptr, lf.lfFaceName,
                          tenths, lf.lfWeight ? static_cast<int>(lf.lfWeight) : FW_NORMAL, lf.lfItalic != 0};
    FontDialogRequest before = req;
    if (!hooks.font(req)) return FALSE;
    // Fields the user left alone come back as they were given.
    if (req.face != before.face) wcsncpy_s(lf.lfFaceName, LF_FACESIZE, req.face.c_str(), LF_FACESIZE - 1);
    if (req.pointTenths != before.pointTenths) lf.lfHeight = -((req.pointTenths * 96 / 72 + 5) / 10);
    if (req.weight != before.weight) lf.lfWeight = req.weight;
    if (req.italic != before.italic) lf.lfItalic = req.italic ? 1 : 0;
    cf->iPointSize = req.pointTenths;
    return TRUE;
}

namespace {
struct Pidl {
    std::u16string path;
};
} // namespace

LPITEMIDLIST SHBrowseForFolderW(BROWSEINFOW* bi) {
    if (!bi) return nullptr;
    CommonDialogHooks hooks = GetCommonDialogHooks();
    FolderDialogRequest req{bi->hwndOwner && IsWindow(bi->hwndOwner) ? bi->hwndOwner : nullptr,
                            bi->lpszTitle ? bi->lpszTitle : u"", u""};
    static bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = FolderProc;
        wc.lpszClassName = u"TavrelixFolderBrowser";
        RegisterClassW(&wc);
        return true;
    }();
    (void)registered;
    HWND dlg = CreateWindowExW(0, u"TavrelixFolderBrowser", req.title.c_str(), WS_POPUP, 0, 0, 10, 10,
                               req.owner, nullptr, nullptr, nullptr);
    FolderDialogRequest* saved = g_folder;
    g_folder = &req;
    if (bi->lpfn) bi->lpfn(dlg, BFFM_INITIALIZED, 0, bi->lParam);
    std::u16string path;
    bool ok = hooks.folder && hooks.folder(req, &path);
    g_folder = saved;
    if (IsWindow(dlg)) DestroyWindow(dlg);
    if (!ok || path.empty()) return nullptr;
    if (bi->pszDisplayName) {
        std::u16string title = FileTitle(path);
        size_t n = std::min<size_t>(title.size(), 259);
        std::copy_n(title.data(), n, bi->pszDisplayName);
        bi->pszDisplayName[n] = 0;
    }
    return reinterpret_cast<LPITEMIDLIST>(new Pidl{path});
}

BOOL SHGetPathFromIDListW(LPCITEMIDLIST pidl, LPWSTR path) {
    if (!pidl || !path) return FALSE;
    const std::u16string& p = reinterpret_cast<const Pidl*>(pidl)->path;
    std::copy(p.begin(), p.end(), path);
    path[p.size()] = 0;
    return TRUE;
}

void CoTaskMemFree(void* p) {
    delete static_cast<Pidl*>(p);
}
