// A top-level test window whose procedure records messages.
#pragma once

#include <functional>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "testing/driver.h"

struct Logged {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

class WindowTest : public ::testing::Test {
protected:
    static std::vector<Logged>& Log() {
        static std::vector<Logged> log;
        return log;
    }
    static std::function<LRESULT(HWND, UINT, WPARAM, LPARAM, bool*)>& Hook() {
        static std::function<LRESULT(HWND, UINT, WPARAM, LPARAM, bool*)> hook;
        return hook;
    }
    static LRESULT Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        Log().push_back({hwnd, msg, wParam, lParam});
        if (Hook()) {
            bool handled = false;
            LRESULT r = Hook()(hwnd, msg, wParam, lParam, &handled);
            if (handled) return r;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    static void Register(LPCWSTR name, UINT style) {
        WNDCLASSW wc{};
        wc.style = style;
        wc.lpfnWndProc = Proc;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = name;
        RegisterClassW(&wc);
    }
    void SetUp() override {
        tvtest::Init();
        Register(u"TestWnd", CS_DBLCLKS);
        Register(u"TestWndNoDbl", 0);
        Log().clear();
        Hook() = nullptr;
        tvtest::ClearBoxes();
    }
    void TearDown() override {
        for (HWND h : created_)
            if (IsWindow(h)) DestroyWindow(h);
        Hook() = nullptr;
        tvtest::Pump();
    }
    HWND Make(DWORD style = WS_OVERLAPPED | WS_VISIBLE, LPCWSTR cls = u"TestWnd", int w = 300, int h = 200,
              HWND parent = nullptr) {
        HWND h2 = CreateWindowExW(0, cls, u"test", style, 0, 0, w, h, parent, nullptr, nullptr, nullptr);
        if (h2) created_.push_back(h2);
        return h2;
    }
    // A frame with the menu bar ファイル(&F), its one item 開く(&O) (101).
    HWND MakeWithMenu(int w = 400, int h = 300) {
        HWND frame = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, u"TestWnd", w, h);
        HMENU bar = CreateMenu();
        HMENU file = CreatePopupMenu();
        AppendMenuW(file, MF_STRING, 101, u"開く(&O)");
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), u"ファイル(&F)");
        SetMenu(frame, bar);
        return frame;
    }
    std::vector<UINT> Messages(HWND hwnd, std::initializer_list<UINT> only) const {
        std::vector<UINT> out;
        for (auto& l : Log())
            if (l.hwnd == hwnd && std::find(only.begin(), only.end(), l.msg) != only.end())
                out.push_back(l.msg);
        return out;
    }
    std::vector<Logged> Of(UINT msg) const {
        std::vector<Logged> out;
        for (auto& l : Log())
            if (l.msg == msg) out.push_back(l);
        return out;
    }
    // The logged WM_ACTIVATE pair of one change of the active window: `from`
    // told it is inactive, then `to` that it is active, each naming the other.
    ::testing::AssertionResult ActivationMoved(HWND from, HWND to) const {
        const std::vector<Logged> act = Of(WM_ACTIVATE);
        if (act.size() != 2)
            return ::testing::AssertionFailure() << act.size() << " WM_ACTIVATE messages, not 2";
        if (act[0].hwnd != from || LOWORD(act[0].wParam) != WA_INACTIVE ||
            reinterpret_cast<HWND>(act[0].lParam) != to)
            return ::testing::AssertionFailure()
                   << "the first is not the old window's WA_INACTIVE naming the new";
        if (act[1].hwnd != to || LOWORD(act[1].wParam) == WA_INACTIVE ||
            reinterpret_cast<HWND>(act[1].lParam) != from)
            return ::testing::AssertionFailure()
                   << "the second is not the new window's activation naming the old";
        return ::testing::AssertionSuccess();
    }
    std::vector<HWND> created_;
};
