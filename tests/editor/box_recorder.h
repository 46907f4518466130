// Records the message boxes shown while it lives, through the host's box
// hook, and answers each with IDOK (for suites without the test driver).
#pragma once

#include <windows.h>

#include <string>

struct SeenBoxes {
    int count = 0;
    HWND owner = nullptr;
    std::u16string text, caption; // of the latest
    UINT type = 0;
};

struct BoxRecorder {
    static inline SeenBoxes last;
    Win32HostHooks saved = Win32GetHostHooks();
    BoxRecorder() {
        Win32HostHooks hooks = saved;
        hooks.messageBox = [](HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
            last = SeenBoxes{last.count + 1, owner, text, caption, type};
            return IDOK;
        };
        Win32SetHostHooks(hooks);
        last = SeenBoxes{};
    }
    ~BoxRecorder() { Win32SetHostHooks(saved); }
};
