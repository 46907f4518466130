#include "testing/framework.h"

#include <deque>
#include <optional>

#include <gtest/gtest.h>

#include "answers.h"
#include "mfc/app.h"
#include "testing/driver.h"
#include "win32/backend.h"
#include "win32/commctrl.h"
#include "win32/filepanel.h"
#include "win32/prsht.h"
#include "win32/sysinfo.h"

namespace tvtest {

namespace {
// A command, or input given inside the loop.
struct MenuAnswer {
    UINT command = 0;
    std::function<void(const win32bk::ShownMenu&)> act;
};
std::deque<MenuAnswer>& MenuAnswers() {
    static std::deque<MenuAnswer> q;
    return q;
}
std::vector<win32bk::ShownMenu>& MenuTrace() {
    static std::vector<win32bk::ShownMenu> v;
    return v;
}

bool AnswerHook(const win32bk::ShownMenu& shown, UINT* command) {
    if (MenuAnswers().empty()) {
        ADD_FAILURE() << "unanswered menu";
        *command = 0;
        return true;
    }
    MenuAnswer a = std::move(MenuAnswers().front());
    MenuAnswers().pop_front();
    if (!a.act) {
        *command = a.command;
        return true;
    }
    a.act(shown);
    // The loop goes on with what the input did to it.
    if (!win32bk::MenuLoopRunning()) return false;
    ADD_FAILURE() << "the menu stayed open";
    *command = 0;
    return true;
}

struct Requests {
    std::vector<win32bk::FileDialogRequest> files;
    std::vector<win32bk::FolderDialogRequest> folders;
};
Requests& R() {
    static Requests r;
    return r;
}

win32bk::FileDialogAnswer FileHook(const win32bk::FileDialogRequest& req) {
    R().files.push_back(req);
    win32bk::FileDialogAnswer a;
    std::optional<answers::Answer> given =
        answers::Take(answers::Kind::File, std::string(req.save ? "save" : "open") + " file dialog \"" +
                                               WideToUtf8(req.title.c_str()) + "\"");
    if (!given) return a;
    // The display shows the panel inside its dialog.
    if (win32bk::FileDialogPanel()) ShowWindow(win32bk::FileDialogPanel(), SW_SHOWNOACTIVATE);
    if (given->panel) {
        answers::Nested nested;
        given->panel(win32bk::FileDialogPanel());
    }
    a.ok = !given->path.empty();
    a.path = given->path;
    a.filterIndex = given->filterIndex;
    return a;
}

bool FolderHook(win32bk::FolderDialogRequest& req, std::u16string* path) {
    R().folders.push_back(req);
    std::optional<answers::Answer> given =
        answers::Take(answers::Kind::Folder, "folder browser \"" + WideToUtf8(req.title.c_str()) + "\"");
    if (!given) return false;
    *path = given->path;
    return !path->empty();
}

bool ColorHook(win32bk::ColorDialogRequest& req) {
    std::optional<answers::Answer> given = answers::Take(answers::Kind::Color, "colour dialog");
    answers::Nested nested;
    return given && given->color(req);
}

bool FontHook(win32bk::FontDialogRequest& req) {
    std::optional<answers::Answer> given = answers::Take(answers::Kind::Font, "font dialog");
    answers::Nested nested;
    return given && given->font(req);
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
    R() = Requests{};
    win32bk::ForgetFileDialogFolders();
    for (answers::Kind k :
         {answers::Kind::File, answers::Kind::Folder, answers::Kind::Color, answers::Kind::Font})
        answers::Drop(k);
}

void AnswerFile(const std::u16string& path, int filterIndex, std::function<void(HWND panel)> panel) {
    answers::Answer a;
    a.kind = answers::Kind::File;
    a.path = path;
    a.filterIndex = filterIndex;
    a.panel = std::move(panel);
    answers::Queue(std::move(a));
}
const std::vector<win32bk::FileDialogRequest>& FileRequests() {
    return R().files;
}
void AnswerFolder(const std::u16string& path) {
    answers::Answer a;
    a.kind = answers::Kind::Folder;
    a.path = path;
    answers::Queue(std::move(a));
}
const std::vector<win32bk::FolderDialogRequest>& FolderRequests() {
    return R().folders;
}
void AnswerColor(std::function<bool(win32bk::ColorDialogRequest&)> answer) {
    answers::Answer a;
    a.kind = answers::Kind::Color;
    a.color = std::move(answer);
    answers::Queue(std::move(a));
}
void AnswerFont(std::function<bool(win32bk::FontDialogRequest&)> answer) {
    answers::Answer a;
    a.kind = answers::Kind::Font;
    a.font = std::move(answer);
    answers::Queue(std::move(a));
}

void AnswerMenu(UINT command) {
    Install();
    MenuAnswers().push_back(MenuAnswer{command, {}});
}

void InMenu(std::function<void(const win32bk::ShownMenu&)> act) {
    Install();
    MenuAnswers().push_back(MenuAnswer{0, std::move(act)});
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
