// Input contexts and the composition messages.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "win32/ime.h"
#include "wnd_internal.h"

namespace {

struct Context {
    win32bk::ImeState state;
    std::u16string result; // the committed text while its WM_IME_COMPOSITION runs
    bool dropping = false; // a composition being dropped: a commit sent back is ignored
};

std::map<HWND, Context>& Contexts() {
    static std::map<HWND, Context> m;
    return m;
}

std::function<void(HWND)>& ResetHook() {
    static std::function<void(HWND)> h;
    return h;
}

Context* Of(HIMC imc) {
    HWND hwnd = static_cast<HWND>(imc);
    if (!hwnd || !IsWindow(hwnd)) return nullptr;
    return &Contexts()[hwnd];
}

void Commit(HWND hwnd, Context& c, const std::u16string& text) {
    if (!c.state.composing) {
        for (char16_t u : text) SendMessageW(hwnd, WM_CHAR, u, 1);
        return;
    }
    c.state.preedit.clear();
    c.result = text;
    if (!text.empty()) SendMessageW(hwnd, WM_IME_COMPOSITION, text.back(), GCS_RESULTSTR);
    if (Context* again = Of(hwnd)) {
        again->result.clear();
        again->state.composing = false;
    }
    if (IsWindow(hwnd)) {
        SendMessageW(hwnd, WM_IME_ENDCOMPOSITION, 0, 0);
        InvalidateRect(hwnd, nullptr, FALSE);
    }
}

} // namespace

HIMC ImmGetContext(HWND hwnd) {
    return hwnd && IsWindow(hwnd) ? static_cast<HIMC>(hwnd) : nullptr;
}

BOOL ImmReleaseContext(HWND, HIMC) {
    return TRUE;
}

BOOL ImmGetOpenStatus(HIMC imc) {
    Context* c = Of(imc);
    return c && (c->state.open || c->state.composing) ? TRUE : FALSE;
}

BOOL ImmSetOpenStatus(HIMC imc, BOOL open) {
    Context* c = Of(imc);
    if (!c) return FALSE;
    HWND hwnd = static_cast<HWND>(imc);
    if (!open && c->state.composing) {
        // Turning the input method off ends the composition without a result.
        c->dropping = true;
        if (ResetHook()) ResetHook()(hwnd);
        if (Context* again = Of(imc)) {
            again->dropping = false;
            again->state.preedit.clear();
            again->state.composing = false;
        }
        if (!IsWindow(hwnd)) return TRUE;
        SendMessageW(hwnd, WM_IME_ENDCOMPOSITION, 0, 0);
        InvalidateRect(hwnd, nullptr, FALSE);
        if (!Of(imc)) return TRUE;
    }
    win32bk::ImeSetOpen(hwnd, open != FALSE);
    return TRUE;
}

LONG ImmGetCompositionStringW(HIMC imc, DWORD index, LPVOID buffer, DWORD bytes) {
    Context* c = Of(imc);
    if (!c) return 0;
    const std::u16string* s = index == GCS_COMPSTR     ? &c->state.preedit
                              : index == GCS_RESULTSTR ? &c->result
                                                       : nullptr;
    if (!s) return 0;
    DWORD size = static_cast<DWORD>(s->size() * sizeof(char16_t));
    if (!buffer || bytes == 0) return static_cast<LONG>(size);
    DWORD n = std::min(size, bytes) / 2 * 2;
    std::memcpy(buffer, s->data(), n);
    return static_cast<LONG>(n);
}

BOOL ImmNotifyIME(HIMC imc, DWORD action, DWORD index, DWORD) {
    Context* c = Of(imc);
    if (!c || action != NI_COMPOSITIONSTR) return FALSE;
    HWND hwnd = static_cast<HWND>(imc);
    if (!c->state.composing) return TRUE;
    if (index == CPS_COMPLETE) {
        std::u16string text = c->state.preedit;
        if (ResetHook()) ResetHook()(hwnd);
        Commit(hwnd, *c, text);
        return TRUE;
    }
    if (index == CPS_CANCEL) {
        if (ResetHook()) ResetHook()(hwnd);
        Commit(hwnd, *c, u"");
        return TRUE;
    }
    return FALSE;
}

BOOL ImmSetCompositionWindow(HIMC imc, const COMPOSITIONFORM* form) {
    Context* c = Of(imc);
    if (!c || !form) return FALSE;
    if (form->dwStyle == CFS_RECT)
        c->state.area = *form;
    else
        c->state.form = *form;
    if (c->state.composing) InvalidateRect(static_cast<HWND>(imc), nullptr, FALSE);
    return TRUE;
}

BOOL ImmGetCompositionWindow(HIMC imc, COMPOSITIONFORM* form) {
    Context* c = Of(imc);
    if (!c || !form) return FALSE;
    *form = c->state.form;
    return TRUE;
}

BOOL ImmSetCompositionFontW(HIMC imc, const LOGFONTW* font) {
    Context* c = Of(imc);
    if (!c || !font) return FALSE;
    c->state.font = *font;
    c->state.hasFont = true;
    return TRUE;
}

BOOL ImmGetCompositionFontW(HIMC imc, LOGFONTW* font) {
    Context* c = Of(imc);
    if (!c || !font || !c->state.hasFont) return FALSE;
    *font = c->state.font;
    return TRUE;
}

namespace win32bk {

const ImeState* GetImeState(HWND hwnd) {
    auto it = Contexts().find(hwnd);
    return it == Contexts().end() || !IsWindow(hwnd) ? nullptr : &it->second.state;
}

void ImePreedit(HWND host, const std::u16string& text) {
    Context* c = Of(ImmGetContext(host));
    if (!c || c->dropping) return;
    if (text.empty()) {
        if (c->state.composing) Commit(host, *c, u"");
        return;
    }
    if (!c->state.composing) {
        c->state.composing = true;
        SendMessageW(host, WM_IME_STARTCOMPOSITION, 0, 0);
        c = Of(ImmGetContext(host));
        if (!c) return;
    }
    c->state.preedit = text;
    SendMessageW(host, WM_IME_COMPOSITION, text.back(), GCS_COMPSTR);
    if (IsWindow(host)) InvalidateRect(host, nullptr, FALSE);
}

void ImeCommit(HWND host, const std::u16string& text) {
    Context* c = Of(ImmGetContext(host));
    if (c && !c->dropping) Commit(host, *c, text);
}

void ImeSetOpen(HWND host, bool open) {
    Context* c = Of(ImmGetContext(host));
    if (!c || c->state.open == open) return;
    c->state.open = open;
    SendMessageW(host, WM_IME_NOTIFY, IMN_SETOPENSTATUS, 0);
}

POINT ImeCompositionPoint(HWND hwnd) {
    const ImeState* s = GetImeState(hwnd);
    POINT p{0, 0};
    if (s && s->form.dwStyle != CFS_DEFAULT) return s->form.ptCurrentPos;
    GetCaretPos(&p);
    return p;
}

void SetImeResetHook(std::function<void(HWND)> hook) {
    ResetHook() = std::move(hook);
}

// Default processing of the composition messages.
bool ImeDefault(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    *result = 0;
    if (msg == WM_IME_COMPOSITION) {
        if (lParam & GCS_RESULTSTR) {
            auto it = Contexts().find(hwnd);
            if (it == Contexts().end()) return true;
            std::u16string text = it->second.result;
            for (char16_t u : text) SendMessageW(hwnd, WM_IME_CHAR, u, 1);
        }
        return true;
    }
    if (msg == WM_IME_CHAR) {
        SendMessageW(hwnd, WM_CHAR, wParam, lParam);
        return true;
    }
    return msg == WM_IME_STARTCOMPOSITION || msg == WM_IME_ENDCOMPOSITION || msg == WM_IME_NOTIFY ||
           msg == WM_IME_REQUEST;
}

} // namespace win32bk
