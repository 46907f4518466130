#include "testing/framework.h"

#include <deque>

#include <gtest/gtest.h>

#include "mfc/app.h"
#include "testing/driver.h"
#include "win32/backend.h"
#include "win32/commctrl.h"
#include "win32/filepanel.h"
#include "win32/prsht.h"
#include "win32/sysinfo.h"

namespace tvtest {

namespace {
std::deque<UINT>& MenuAnswers() {
    static std::deque<UINT> q;
    return q;
}
std::vector<win32bk::ShownMenu>& MenuTrace() {
    static std::vector<win32bk::ShownMenu> v;
    return v;
}

bool AnswerHook(const win32bk::ShownMenu&, UINT* command) {
    if (MenuAnswers().empty()) {
        ADD_FAILURE() << "unanswered menu";
        *command = 0;
        return true;
    }
    *command = MenuAnswers().front();
    MenuAnswers().pop_front();
    return true;
}

struct Dialogs {
    struct FileAnswer {
        std::u16string path;
        int index;
        std::function<void(HWND)> panel;
    };
    std::deque<FileAnswer> files;
    std::vector<win32bk::FileDialogRequest> fileRequests;
    std::deque<std::u16string> folders;
    std::vector<win32bk::FolderDialogRequest> folderRequests;
    std::deque<std::function<bool(win32bk::ColorDialogRequest&)>> colors;
    std::deque<std::function<bool(win32bk::FontDialogRequest&)>> fonts;
};
Dialogs& D() {
    static Dialogs d;
    return d;
}

win32bk::FileDialogAnswer FileHook(const win32bk::FileDialogRequest& req) {
    D().fileRequests.push_back(req);
    win32bk::FileDialogAnswer a;
    if (D().files.empty()) {
        ADD_FAILURE() << "unanswered file dialog \"" << WideToUtf8(req.title.c_str()) << "\"";
        return a;
    }
    auto [path, index, panel] = D().files.front();
    D().files.pop_front();
    // The display shows the panel inside its dialog.
    if (win32bk::FileDialogPanel()) ShowWindow(win32bk::FileDialogPanel(), SW_SHOWNOACTIVATE);
    if (panel) panel(win32bk::FileDialogPanel());
    a.ok = !path.empty();
    a.path = path;
    a.filterIndex = index;
    return a;
}

bool FolderHook(win32bk::FolderDialogRequest& req, std::u16string* path) {
    D().folderRequests.push_back(req);
    if (D().folders.empty()) {
        ADD_FAILURE() << "unanswered folder browser";
        return false;
    }
    *path = D().folders.front();
    D().folders.pop_front();
    return !path->empty();
}

bool ColorHook(win32bk::ColorDialogRequest& req) {
    if (D().colors.empty()) {
        ADD_FAILURE() << "unanswered colour dialog";
        return false;
    }
    auto f = std::move(D().colors.front());
    D().colors.pop_front();
    return f(req);
}

bool FontHook(win32bk::FontDialogRequest& req) {
    if (D().fonts.empty()) {
        ADD_FAILURE() << "unanswered font dialog";
        return false;
    }
    auto f = std::move(D().fonts.front());
    D().fonts.pop_front();
    return f(req);
}

struct Installer {
    Installer() {
        win32bk::SetMenuAnswerHook(AnswerHook);
        win32bk::SetMenuTrace(&MenuTrace());
    }
};
void Install() {
    static Installer once;
}
} // namespace

void InstallFrameworkDrivers() {
    Install();
    win32bk::CommonDialogHooks hooks;
    hooks.file = FileHook;
    hooks.folder = FolderHook;
    hooks.color = ColorHook;
    hooks.font = FontHook;
    win32bk::SetCommonDialogHooks(hooks);
}

void ClearDialogs() {
    D() = Dialogs{};
}

void AnswerFile(const std::u16string& path, int filterIndex, std::function<void(HWND panel)> panel) {
    D().files.push_back({path, filterIndex, std::move(panel)});
}
const std::vector<win32bk::FileDialogRequest>& FileRequests() {
    return D().fileRequests;
}
void AnswerFolder(const std::u16string& path) {
    D().folders.push_back(path);
}
const std::vector<win32bk::FolderDialogRequest>& FolderRequests() {
    return D().folderRequests;
}
void AnswerColor(std::function<bool(win32bk::ColorDialogRequest&)> answer) {
    D().colors.push_back(std::move(answer));
}
void AnswerFont(std::function<bool(win32bk::FontDialogRequest&)> answer) {
    D().fonts.push_back(std::move(answer));
}

void AnswerMenu(UINT command) {
    Install();
    MenuAnswers().push_back(command);
}

const std::vector<win32bk::ShownMenu>& Menus() {
    Install();
    return MenuTrace();
}

void ClearMenus() {
    Install();
    MenuTrace().clear();
    MenuAnswers().clear();
}

int ShownState(const win32bk::ShownMenu& menu, UINT command) {
    for (const auto& item : menu.items)
        if (item.id == command) return static_cast<int>(item.state);
    return -1;
}

void SetKeyState(int vk, bool down) {
    win32bk::SetAsyncKey(vk, down);
}

void SetScreen(const RECT& screen, const RECT& work) {
    win32bk::SetScreenInfo(win32bk::ScreenInfo{screen, work});
}

void SetExecutablePath(const std::u16string& path) {
    ::SetExecutablePath(path);
}

HWND SheetPage(HWND sheet) {
    return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

void ChoosePage(HWND sheet, int index) {
    HWND tab = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
    RECT r{};
    if (!tab || !SendMessageW(tab, TCM_GETITEMRECT, WPARAM(index), reinterpret_cast<LPARAM>(&r))) {
        ADD_FAILURE() << "the sheet has no tab " << index;
        return;
    }
    Click(tab, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

void RunUntilIdle() {
    Install();
    Pump();
    if (CWinThread* thread = AfxGetThread())
        for (LONG count = 0; thread->OnIdle(count); ++count) Pump();
    Pump();
}

} // namespace tvtest
