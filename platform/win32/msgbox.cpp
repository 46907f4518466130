#include <windows.h>

#include <cstdio>
#include <string>

namespace {

void appendUtf8(std::string& out, LPCWSTR s) {
    if (!s) return;
    for (; *s; ++s) {
        uint32_t c = *s;
        if (c >= 0xD800 && c <= 0xDBFF && s[1] >= 0xDC00 && s[1] <= 0xDFFF) {
            c = 0x10000 + ((c & 0x3FF) << 10) + (s[1] & 0x3FF);
            ++s;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
}

int headlessMessageBox(HWND, LPCWSTR text, LPCWSTR caption, UINT) {
    std::string line = "[";
    appendUtf8(line, caption);
    line += "] ";
    appendUtf8(line, text);
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
