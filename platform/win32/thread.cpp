#include "win32/thread.h"

#include <chrono>
#include <thread>

void (*win32_sleep_hook)(DWORD milliseconds) = nullptr;

void Sleep(DWORD milliseconds) {
    if (win32_sleep_hook) {
        win32_sleep_hook(milliseconds);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
