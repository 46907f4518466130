// Input contexts and the composition messages.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <vector>
#include <mutex>

#include "win32/ime.h"
#include "win32/ime_composition.h"
#include "wnd_internal.h"

namespace {

struct Context {
    win32bk::ImeState state;
    // The composition's clauses (the preedit's length last), one attribute
    // per unit, and its caret.
    std::vector<BYTE> attrs;
    std::vector<DWORD> clauses;
    int cursor = 0;
    bool cursorShown = true;
    std::u16string result; // the committed text while its WM_IME_COMPOSITION runs
    bool dropping = false; // a composition being dropped: a commit sent back is ignored
    // A composition being completed: the input method's own commit during
    // its reset is the result, taken once.
    bool completing = false;
    std::optional<std::u16string> echo;
    // Closed while the composition was all that made it open: reopening
    // puts it back as the input method had it.
    std::optional<bool> reopenTo;
};

std::map<HWND, Context>& Contexts() {
    static std::map<HWND, Context> m;
    return m;
}

std::function<void(HWND)>& ResetHook() {
    static std::function<void(HWND)> h;
    return h;
}

std::function<void(HWND)>& ChangedHook() {
    static std::function<void(HWND)> h;
    return h;
}

void Changed(HWND hwnd) {
    if (ChangedHook()) ChangedHook()(hwnd);
}

void ClearComposition(Context& c) {
    c.state.preedit.clear();
    c.attrs.clear();
    c.clauses.clear();
    c.cursor = 0;
    c.cursorShown = true;
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
    ClearComposition(c);
    c.result = text;
    Changed(hwnd);
    if (!text.empty()) SendMessageW(hwnd, WM_IME_COMPOSITION, text.back(), GCS_RESULTSTR);
    if (Context* again = Of(hwnd)) {
        again->result.clear();
        again->state.composing = false;
    }
    if (IsWindow(hwnd)) {
        SendMessageW(hwnd, WM_IME_ENDCOMPOSITION, 0, 0);
        InvalidateRect(hwnd, nullptr, FALSE);
    }
    Changed(hwnd);
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
    if (open) {
        // Reopened after a close that only ended a composition: the input
        // method is as it was (the desktop's input method is switched by
        // the user, not by the program).
        bool to = c->reopenTo.value_or(true);
        c->reopenTo.reset();
        win32bk::ImeSetOpen(hwnd, to);
        return TRUE;
    }
    c->reopenTo.reset();
    if (c->state.composing) {
        if (!c->state.open) c->reopenTo = false;
        // Turning the input method off ends the composition without a result.
        c->dropping = true;
        if (ResetHook()) ResetHook()(hwnd);
        if (Context* again = Of(imc)) {
            again->dropping = false;
            ClearComposition(*again);
            again->state.composing = false;
        }
        if (!IsWindow(hwnd)) return TRUE;
        SendMessageW(hwnd, WM_IME_ENDCOMPOSITION, 0, 0);
        InvalidateRect(hwnd, nullptr, FALSE);
        Changed(hwnd);
        if (!Of(imc)) return TRUE;
    }
    win32bk::ImeSetOpen(hwnd, false);
    return TRUE;
}

LONG ImmGetCompositionStringW(HIMC imc, DWORD index, LPVOID buffer, DWORD bytes) {
    Context* c = Of(imc);
    if (!c) return 0;
    if (index == GCS_CURSORPOS) return c->state.composing ? c->cursor : 0;
    const void* data = nullptr;
    DWORD size = 0, unit = 1;
    switch (index) {
    case GCS_COMPSTR:
        data = c->state.preedit.data();
        size = static_cast<DWORD>(c->state.preedit.size() * sizeof(char16_t));
        unit = sizeof(char16_t);
        break;
    case GCS_RESULTSTR:
        data = c->result.data();
        size = static_cast<DWORD>(c->result.size() * sizeof(char16_t));
        unit = sizeof(char16_t);
        break;
    case GCS_COMPATTR:
        data = c->attrs.data();
        size = static_cast<DWORD>(c->attrs.size());
        break;
    case GCS_COMPCLAUSE:
        data = c->clauses.data();
        size = static_cast<DWORD>(c->clauses.size() * sizeof(DWORD));
        unit = sizeof(DWORD);
        break;
    default: return 0;
    }
    if (!buffer || bytes == 0) return static_cast<LONG>(size);
    DWORD n = std::min(size, bytes) / unit * unit;
    if (n) std::memcpy(buffer, data, n);
    return static_cast<LONG>(n);
}

BOOL ImmNotifyIME(HIMC imc, DWORD action, DWORD index, DWORD) {
    Context* c = Of(imc);
    if (!c || action != NI_COMPOSITIONSTR) return FALSE;
    HWND hwnd = static_cast<HWND>(imc);
    if (!c->state.composing) return TRUE;
    if (index == CPS_COMPLETE) {
        // The input method may commit the composition itself while it is
        // reset, or drop it silently: its commit, else the composition as
        // shown, is the result, once.
        std::u16string text = c->state.preedit;
        c->completing = true;
        c->echo.reset();
        if (ResetHook()) ResetHook()(hwnd);
        c = Of(imc);
        if (!c) return TRUE;
        c->completing = false;
        if (c->echo) text = *c->echo;
        c->echo.reset();
        if (c->state.composing) Commit(hwnd, *c, text);
        return TRUE;
    }
    if (index == CPS_CANCEL) {
        c->dropping = true;
        if (ResetHook()) ResetHook()(hwnd);
        c = Of(imc);
        if (!c) return TRUE;
        c->dropping = false;
        if (c->state.composing) Commit(hwnd, *c, u"");
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
    if (c->state.composing) Changed(static_cast<HWND>(imc));
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
    if (c->state.composing) Changed(static_cast<HWND>(imc));
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

Composition PlainComposition(const std::u16string& text) {
    Composition c;
    c.text = text;
    c.attrs.assign(text.size(), ATTR_INPUT);
    if (!text.empty()) c.clauses = {0, static_cast<DWORD>(text.size())};
    c.cursor = static_cast<int>(text.size());
    return c;
}

void ImePreedit(HWND host, const std::u16string& text) {
    ImePreedit(host, PlainComposition(text));
}

void ImePreedit(HWND host, const Composition& comp) {
    Context* c = Of(ImmGetContext(host));
    // While a composition is completed or dropped, what the input method
    // shows meanwhile is part of its reset.
    if (!c || c->dropping || c->completing) return;
    if (comp.text.empty()) {
        if (c->state.composing) Commit(host, *c, u"");
        return;
    }
    if (!c->state.composing) {
        c->state.composing = true;
        SendMessageW(host, WM_IME_STARTCOMPOSITION, 0, 0);
        c = Of(ImmGetContext(host));
        if (!c) return;
    }
    const size_t n = comp.text.size();
    c->state.preedit = comp.text;
    c->attrs = comp.attrs;
    c->attrs.resize(n, ATTR_INPUT);
    // Clauses: ascending starts inside the text, from 0, the length last.
    c->clauses = {0};
    for (DWORD at : comp.clauses)
        if (at > c->clauses.back() && at < n) c->clauses.push_back(at);
    c->clauses.push_back(static_cast<DWORD>(n));
    c->cursor = std::clamp(comp.cursor, 0, static_cast<int>(n));
    c->cursorShown = comp.cursorShown;
    SendMessageW(host, WM_IME_COMPOSITION, comp.text.back(),
                 GCS_COMPSTR | GCS_COMPATTR | GCS_COMPCLAUSE | GCS_CURSORPOS);
    if (IsWindow(host)) InvalidateRect(host, nullptr, FALSE);
    Changed(host);
}

void ImeCommit(HWND host, const std::u16string& text) {
    Context* c = Of(ImmGetContext(host));
    if (!c || c->dropping) return;
    if (c->completing) {
        if (!c->echo) c->echo = text;
        return;
    }
    Commit(host, *c, text);
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

void SetImeChangedHook(std::function<void(HWND)> hook) {
    ChangedHook() = std::move(hook);
}

Composition CurrentComposition(HWND hwnd) {
    Composition out;
    auto it = Contexts().find(hwnd);
    if (it == Contexts().end() || !IsWindow(hwnd) || !it->second.state.composing) return out;
    const Context& c = it->second;
    out.text = c.state.preedit;
    out.attrs = c.attrs;
    out.clauses = c.clauses;
    out.cursor = c.cursor;
    out.cursorShown = c.cursorShown;
    return out;
}

bool ImeCompositionArea(HWND hwnd, RECT* area) {
    const ImeState* s = GetImeState(hwnd);
    if (!s || s->area.dwStyle != CFS_RECT) return false;
    *area = s->area.rcArea;
    return true;
}

LOGFONTW ImeDrawingFont(HWND hwnd) {
    LOGFONTW lf{};
    if (const ImeState* s = GetImeState(hwnd); s && s->hasFont) return s->font;
    HGDIOBJ font =
        hwnd && IsWindow(hwnd) ? reinterpret_cast<HGDIOBJ>(SendMessageW(hwnd, WM_GETFONT, 0, 0)) : nullptr;
    if (!font || GetObjectW(font, sizeof lf, &lf) != static_cast<int>(sizeof lf))
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    return lf;
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
