// The save's progress window for tests: a hidden window on the test's thread
// that answers the WPM_* messages as the save's progress dialog does and
// records them. Its cancel state can be scripted: answers per WPM_GETSTATE
// call, or 1 from the n-th WPM_STEPIT on; each answer is also written into
// the cancel state the Oracle layer polls.
#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include "grid/oragrid.h"

namespace oratest {

struct ProgressEvent {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    std::u16string text; // WPM_SETTEXT
};

class ProgressWindow {
public:
    std::vector<ProgressEvent> events;
    std::deque<int> stateAnswers; // scripted WPM_GETSTATE answers, in order
    int cancelFromStep = 0;       // 1 from this WPM_STEPIT on (1-based), 0 never
    CancelState cancel{0};
    int steps = 0;
    int finished = -1;
    int rangeEnd = -1;
    int getStates = 0;

    ProgressWindow() {
        static bool registered = false;
        if (!registered) {
            WNDCLASSW wc{};
            wc.lpszClassName = u"TestSaveProgress";
            wc.lpfnWndProc = Proc;
            RegisterClassW(&wc);
            registered = true;
        }
        hwnd_ =
            CreateWindowExW(0, u"TestSaveProgress", u"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~ProgressWindow() { DestroyWindow(hwnd_); }
    HWND hwnd() const { return hwnd_; }

    // As the commit command does: the worker started suspended, the window
    // written into its block, the cancel state cleared, the worker resumed;
    // the loop runs until WPM_FINISHED, then the worker is joined.
    int Save(CEditableOraGridData* grid, OraSession* s, int* failCell, CString* msg) {
        SaveThreadParams p;
        p.grid = grid;
        p.session = s;
        p.failCell = failCell;
        p.message = msg;
        p.cancel = &cancel;
        HANDLE thread = reinterpret_cast<HANDLE>(
            _beginthreadex(nullptr, 0, SaveThreadProc, &p, CREATE_SUSPENDED, nullptr));
        if (!thread) return -1;
        p.window = hwnd_;
        cancel = 0;
        ResumeThread(thread);
        MSG m;
        while (finished < 0 && GetMessageW(&m, nullptr, 0, 0)) DispatchMessageW(&m);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        return p.result;
    }
    // The texts of the WPM_SETTEXT messages.
    std::vector<std::u16string> Texts() const {
        std::vector<std::u16string> out;
        for (auto& e : events)
            if (e.msg == WPM_SETTEXT) out.push_back(e.text);
        return out;
    }
    int Count(UINT msg) const {
        int n = 0;
        for (auto& e : events) n += e.msg == msg;
        return n;
    }

private:
    HWND hwnd_ = nullptr;

    static LRESULT Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
        auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(h, GWLP_USERDATA));
        if (!self || m < WPM_FINISHED || m > WPM_SETVALUE) return DefWindowProcW(h, m, w, l);
        ProgressEvent e{m, w, l, {}};
        switch (m) {
        case WPM_FINISHED:
            self->finished = static_cast<int>(w);
            self->events.push_back(e);
            return 1;
        case WPM_SETTEXT: e.text = reinterpret_cast<const char16_t*>(l); break;
        case WPM_SETRANGE: self->rangeEnd = static_cast<int>(l); break;
        case WPM_STEPIT:
            ++self->steps;
            if (self->cancelFromStep && self->steps >= self->cancelFromStep) self->cancel = 1;
            break;
        case WPM_GETSTATE: {
            ++self->getStates;
            self->events.push_back(e);
            if (!self->stateAnswers.empty()) {
                self->cancel = self->stateAnswers.front();
                self->stateAnswers.pop_front();
            }
            return self->cancel.load();
        }
        default: break;
        }
        self->events.push_back(e);
        return 0;
    }
};

} // namespace oratest
