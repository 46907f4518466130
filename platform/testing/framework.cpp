#include "testing/framework.h"

#include <deque>

#include <gtest/gtest.h>

#include "mfc/app.h"
#include "testing/driver.h"
#include "win32/backend.h"
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

void RunUntilIdle() {
    Install();
    Pump();
    if (CWinThread* thread = AfxGetThread())
        for (LONG count = 0; thread->OnIdle(count); ++count) Pump();
    Pump();
}

} // namespace tvtest
