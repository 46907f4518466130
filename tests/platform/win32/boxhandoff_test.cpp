// A message box called off the UI thread is shown on the UI thread, hook
// included, and its answer goes back to the caller.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>

#include "win32/backend.h"

namespace {

std::atomic<int> g_shownOn{0};
std::thread::id g_ui;
std::u16string g_text;

int Recorder(HWND owner, LPCWSTR text, LPCWSTR, UINT) {
    g_shownOn = std::this_thread::get_id() == g_ui ? 1 : 2;
    g_text = text ? text : u"";
    return owner ? IDNO : IDYES; // the owner is gone: none
}

TEST(BoxHandOff, AWorkersBoxIsAnsweredOnTheUiThread) {
    Win32HostHooks saved = Win32GetHostHooks();
    Win32HostHooks hooks = saved;
    hooks.messageBox = Recorder;
    Win32SetHostHooks(hooks);
    g_ui = std::this_thread::get_id();
    win32bk::SetUiThread();

    std::atomic<int> answer{0};
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        answer = MessageBoxW(reinterpret_cast<HWND>(0x7777), u"起動スレッドから", u"Message", MB_YESNO);
        finished = true;
    });
    // The UI thread waits serving what other threads hand it.
    while (!finished) {
        win32bk::ServeSends();
        std::this_thread::yield();
    }
    worker.join();
    EXPECT_EQ(g_shownOn.load(), 1);
    EXPECT_EQ(answer.load(), IDYES);
    EXPECT_EQ(g_text, u"起動スレッドから");
    // On the UI thread itself the box is shown at once.
    EXPECT_EQ(MessageBoxW(nullptr, u"直接", u"Message", MB_OK), IDYES);
    Win32SetHostHooks(saved);
}

} // namespace

namespace {

struct Flag {
    std::atomic<bool> set{false};
};
bool IsSet(void* p) {
    return static_cast<Flag*>(p)->set.load();
}

TEST(BoxHandOff, AWaitForAThreadShowsItsBoxes) {
    Win32HostHooks saved = Win32GetHostHooks();
    Win32HostHooks hooks = saved;
    hooks.messageBox = Recorder;
    Win32SetHostHooks(hooks);
    g_ui = std::this_thread::get_id();
    win32bk::SetUiThread();
    g_shownOn = 0;
    Flag ended;
    std::thread worker([&] {
        MessageBoxW(nullptr, u"スクリプトの初期化", u"Message", MB_OK);
        ended.set = true;
    });
    win32bk::WaitServingBoxes(IsSet, &ended);
    worker.join();
    EXPECT_EQ(g_shownOn.load(), 1);
    Win32SetHostHooks(saved);
}

} // namespace
