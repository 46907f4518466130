#include <windows.h>

#include <cstdio>
#include <string>

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

} // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
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
