#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "win32/backend.h"

namespace {

int headlessMessageBox(HWND, LPCWSTR text, LPCWSTR caption, UINT) {
    std::string line = "[";
    line += WideToUtf8(caption);
    line += "] ";
    line += WideToUtf8(text);
    line += '\n';
    fputs(line.c_str(), stderr);
    return IDOK;
}

short headlessKeyState(int) {
    return 0;
}

Win32HostHooks g_hooks = {headlessMessageBox, headlessKeyState};

// A box handed to the UI thread by another thread.
struct BoxRequest {
    int (*hook)(HWND, LPCWSTR, LPCWSTR, UINT);
    HWND owner;
    std::u16string text, caption;
    bool hasText, hasCaption;
    UINT type;
    int result = 0;
    bool done = false;
};
std::mutex g_boxMutex;
std::condition_variable g_boxDone;
std::condition_variable g_boxArrived;
std::deque<std::shared_ptr<BoxRequest>> g_boxes;
std::atomic<bool> g_uiSet{false};
std::thread::id g_uiThread;

int HandOver(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    auto req = std::make_shared<BoxRequest>();
    req->hook = g_hooks.messageBox;
    req->owner = owner;
    req->hasText = text != nullptr;
    req->hasCaption = caption != nullptr;
    if (text) req->text = text;
    if (caption) req->caption = caption;
    req->type = type;
    {
        std::lock_guard<std::mutex> lock(g_boxMutex);
        g_boxes.push_back(req);
    }
    g_boxArrived.notify_all();
    if (win32bk::Backend* b = win32bk::GetBackend()) b->Wake();
    std::unique_lock<std::mutex> lock(g_boxMutex);
    g_boxDone.wait(lock, [&] { return req->done; });
    return req->result;
}

} // namespace

void win32bk::SetUiThread() {
    std::lock_guard<std::mutex> lock(g_boxMutex);
    g_uiThread = std::this_thread::get_id();
    g_uiSet = true;
}

bool win32bk::IsUiThread() {
    if (!g_uiSet) return false;
    std::lock_guard<std::mutex> lock(g_boxMutex);
    return g_uiThread == std::this_thread::get_id();
}

void win32bk::ServeBoxes() {
    if (!IsUiThread()) return;
    for (;;) {
        std::shared_ptr<BoxRequest> req;
        {
            std::lock_guard<std::mutex> lock(g_boxMutex);
            if (g_boxes.empty()) return;
            req = g_boxes.front();
            g_boxes.pop_front();
        }
        // An owner that went away meanwhile counts as none.
        HWND owner = req->owner && IsWindow(req->owner) ? req->owner : nullptr;
        int r = req->hook(owner, req->hasText ? req->text.c_str() : nullptr,
                          req->hasCaption ? req->caption.c_str() : nullptr, req->type);
        {
            std::lock_guard<std::mutex> lock(g_boxMutex);
            req->result = r;
            req->done = true;
        }
        g_boxDone.notify_all();
    }
}

void win32bk::WaitServingBoxes(bool (*done)(void* context), void* context) {
    bool ui = IsUiThread();
    while (!done(context)) {
        if (ui) ServeBoxes();
        std::unique_lock<std::mutex> lock(g_boxMutex);
        // Woken by a box handed over, else polling the condition.
        g_boxArrived.wait_for(lock, std::chrono::milliseconds(2), [] { return !g_boxes.empty(); });
    }
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    if (g_uiSet && !win32bk::IsUiThread()) return HandOver(owner, text, caption, type);
    if (owner && !IsWindow(owner)) owner = nullptr;
    return g_hooks.messageBox(owner, text, caption, type);
}

short GetAsyncKeyState(int vk) {
    return g_hooks.asyncKeyState(vk);
}

void Win32SetHostHooks(const Win32HostHooks& hooks) {
    g_hooks.messageBox = hooks.messageBox ? hooks.messageBox : headlessMessageBox;
    g_hooks.asyncKeyState = hooks.asyncKeyState ? hooks.asyncKeyState : headlessKeyState;
}

Win32HostHooks Win32GetHostHooks() {
    return g_hooks;
}
