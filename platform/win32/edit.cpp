// The edit control: single- and multi-line text in UTF-16 units with CR LF
// line breaks, painted through GDI; selection, keys, the mouse, the system
// clipboard, undo, the Japanese context menu and Windows' notifications.
// Multi-line text breaks at its line ends and, without ES_AUTOHSCROLL, wraps
// at the client width: after the last blank that fits, else before the first
// character that does not.
#include <algorithm>
#include <string>
#include <vector>

#include "win32/clipboard.h"
#include "win32/dialog.h"
#include "win32/gdi.h"
#include "win32/ime.h"
#include "win32/menu.h"
#include "control_internal.h"
#include "wnd_internal.h"

namespace win32ctl {

namespace {

struct EditState {
    HFONT font = nullptr;
    std::u16string text;
    int anchor = 0, caret = 0;
    int scroll = 0; // pixels scrolled off the left
    int top = 0;    // the first line shown (multi-line)
    int limit = 0x7FFFFFFE;
    bool modified = false;
    bool focused = false;
    bool selecting = false;
    char16_t passwordChar = 0;
    std::u16string undoText;
    bool canUndo = false;
};

EditState* StateOf(HWND hwnd) {
    return win32ctl::StateOf<EditState>(hwnd);
}

bool IsMulti(HWND hwnd) {
    return (GetWindowLongW(hwnd, GWL_STYLE) & ES_MULTILINE) != 0;
}

// A line: its first unit and its length without the line end.
struct Span {
    int start, length;
};

const int kEditMargin = 2;

// A multi-line edit without ES_AUTOHSCROLL wraps its lines at the client width.
bool Wraps(HWND hwnd) {
    LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    return (style & ES_MULTILINE) && !(style & ES_AUTOHSCROLL);
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

// Breaks the line [start, end) into rows of at most width pixels: after the
// last blank that fits (blanks at the break hang past the edge), else before
// the first character that does not fit; every row holds one character at least.
void WrapLine(HDC dc, const std::u16string& t, int start, int end, int width, std::vector<Span>* out) {
    if (start == end) {
        out->push_back({start, 0});
        return;
    }
    while (start < end) {
        int x = 0, i = start, afterBlank = -1;
        while (i < end) {
            int n = t[size_t(i)] >= 0xD800 && t[size_t(i)] <= 0xDBFF && i + 1 < end ? 2 : 1;
            SIZE ext{0, 0};
            GetTextExtentPoint32W(dc, t.c_str() + i, n, &ext);
            if (x + ext.cx > width && i > start && !IsBlank(t[size_t(i)])) break;
            x += ext.cx;
            i += n;
            if (IsBlank(t[size_t(i - 1)])) afterBlank = i;
        }
        int brk = i >= end ? end : afterBlank > start ? afterBlank : i;
        out->push_back({start, brk - start});
        start = brk;
    }
}

// Lines end at LF, a CR before it included; a single-line edit has one. A
// wrapping edit's lines are its rows.
std::vector<Span> Lines(HWND hwnd, const EditState* s) {
    std::vector<Span> out;
    const std::u16string& t = s->text;
    int n = int(t.size());
    if (!IsMulti(hwnd)) return {{0, n}};
    HDC dc = nullptr;
    HGDIOBJ old = nullptr;
    int width = 0;
    if (Wraps(hwnd)) {
        RECT r;
        GetClientRect(hwnd, &r);
        width = std::max(1, int(r.right) - 2 * kEditMargin);
        dc = GetDC(hwnd);
        if (s->font) old = SelectObject(dc, s->font);
    }
    auto add = [&](int from, int to) {
        if (dc)
            WrapLine(dc, t, from, to, width, &out);
        else
            out.push_back({from, to - from});
    };
    int start = 0;
    for (int i = 0; i < n; ++i)
        if (t[size_t(i)] == u'\n') {
            add(start, i > start && t[size_t(i - 1)] == u'\r' ? i - 1 : i);
            start = i + 1;
        }
    add(start, n);
    if (dc) {
        if (old) SelectObject(dc, old);
        ReleaseDC(hwnd, dc);
    }
    return out;
}

int LineOf(const std::vector<Span>& lines, int pos) {
    int i = 0;
    while (i + 1 < int(lines.size()) && lines[size_t(i + 1)].start <= pos) ++i;
    return i;
}

int SelStart(const EditState* s) {
    return std::min(s->anchor, s->caret);
}
int SelEnd(const EditState* s) {
    return std::max(s->anchor, s->caret);
}

bool IsPassword(HWND hwnd) {
    return (GetWindowLongW(hwnd, GWL_STYLE) & (ES_PASSWORD | ES_MULTILINE)) == ES_PASSWORD;
}

std::u16string Shown(HWND hwnd, const EditState* s) {
    if (IsPassword(hwnd)) return std::u16string(s->text.size(), s->passwordChar ? s->passwordChar : u'*');
    return s->text;
}

int TextWidth(HWND hwnd, const EditState* s, const char16_t* t, int count) {
    if (count <= 0) return 0;
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = s->font ? SelectObject(dc, s->font) : nullptr;
    SIZE ext{0, 0};
    GetTextExtentPoint32W(dc, t, count, &ext);
    if (old) SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return ext.cx;
}

int LineHeight(HWND hwnd, const EditState* s) {
    TEXTMETRICW tm = FontMetrics(hwnd, s->font);
    return tm.tmHeight > 0 ? tm.tmHeight : 16;
}

// The input method composes in the control's own font (the DC's default
// font when none was set), at the caret.
void ComposeInOwnFont(HWND hwnd, const EditState* s) {
    LOGFONTW lf{};
    HGDIOBJ font = s->font ? static_cast<HGDIOBJ>(s->font) : GetStockObject(SYSTEM_FONT);
    if (GetObjectW(font, sizeof lf, &lf) != static_cast<int>(sizeof lf)) return;
    ImmSetCompositionFontW(ImmGetContext(hwnd), &lf);
}

int VisibleLines(HWND hwnd, const EditState* s) {
    RECT r;
    GetClientRect(hwnd, &r);
    return std::max(1, int(r.bottom - 1) / LineHeight(hwnd, s));
}

// The vertical bar of a multi-line edit: one unit a line.
void SyncBar(HWND hwnd, const EditState* s, int lineCount) {
    if (!(GetWindowLongW(hwnd, GWL_STYLE) & WS_VSCROLL)) return;
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    si.nMin = 0;
    si.nMax = lineCount - 1;
    si.nPage = UINT(VisibleLines(hwnd, s));
    si.nPos = s->top;
    SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
}

void ScrollTo(HWND hwnd, EditState* s, int top) {
    int count = int(Lines(hwnd, s).size());
    top = std::clamp(top, 0, std::max(0, count - VisibleLines(hwnd, s)));
    if (top == s->top) return;
    s->top = top;
    InvalidateRect(hwnd, nullptr, TRUE);
    SyncBar(hwnd, s, count);
}

// Scrolls the caret into view and places the system caret on it.
void UpdateCaret(HWND hwnd, EditState* s) {
    bool multi = IsMulti(hwnd);
    if (!s->focused && !multi) return;
    std::vector<Span> lines = Lines(hwnd, s);
    int li = LineOf(lines, s->caret);
    std::u16string shown = Shown(hwnd, s);
    const Span& line = lines[size_t(li)];
    int x = TextWidth(hwnd, s, shown.c_str() + line.start, s->caret - line.start);
    RECT r;
    GetClientRect(hwnd, &r);
    int width = r.right - 2 * kEditMargin;
    int oldScroll = s->scroll, oldTop = s->top;
    if (x - s->scroll > width - 1) s->scroll = x - width + 1;
    if (x - s->scroll < 0) s->scroll = std::max(0, x - width / 3);
    if (Wraps(hwnd)) s->scroll = 0; // the rows fit the width
    int h = LineHeight(hwnd, s);
    if (multi) {
        int visible = VisibleLines(hwnd, s);
        if (li < s->top) s->top = li;
        if (li >= s->top + visible) s->top = li - visible + 1;
        s->top = std::clamp(s->top, 0, std::max(0, int(lines.size()) - 1));
        SyncBar(hwnd, s, int(lines.size()));
    }
    if (oldScroll != s->scroll || oldTop != s->top) InvalidateRect(hwnd, nullptr, TRUE);
    if (s->focused)
        SetCaretPos(kEditMargin + x - s->scroll, multi ? 1 + (li - s->top) * h : (r.bottom - h) / 2);
}

// Snaps a position off the middle of a surrogate pair or a CR LF.
int Snap(const std::u16string& t, int pos) {
    pos = std::clamp(pos, 0, int(t.size()));
    if (pos > 0 && pos < int(t.size())) {
        char16_t c = t[size_t(pos)], p = t[size_t(pos - 1)];
        if ((c >= 0xDC00 && c <= 0xDFFF && p >= 0xD800 && p <= 0xDBFF) || (c == u'\n' && p == u'\r')) --pos;
    }
    return pos;
}

// The positions one step left and right of pos: a surrogate pair and a CR LF are one step.
int StepLeft(const std::u16string& t, int pos) {
    if (pos <= 0) return 0;
    --pos;
    if (pos > 0) {
        char16_t c = t[size_t(pos)], p = t[size_t(pos - 1)];
        if ((c >= 0xDC00 && c <= 0xDFFF && p >= 0xD800 && p <= 0xDBFF) || (c == u'\n' && p == u'\r')) --pos;
    }
    return pos;
}
int StepRight(const std::u16string& t, int pos) {
    int n = int(t.size());
    if (pos >= n) return n;
    ++pos;
    if (pos < n) {
        char16_t c = t[size_t(pos)], p = t[size_t(pos - 1)];
        if ((c >= 0xDC00 && c <= 0xDFFF && p >= 0xD800 && p <= 0xDBFF) || (c == u'\n' && p == u'\r')) ++pos;
    }
    return pos;
}

void Changed(HWND hwnd, EditState* s) {
    s->modified = true;
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateCaret(hwnd, s);
    Notify(hwnd, EN_UPDATE);
    if (IsWindow(hwnd)) Notify(hwnd, EN_CHANGE);
}

// Replaces the selection with text (cut to the limit); true when the text changed.
bool ReplaceSelection(HWND hwnd, EditState* s, std::u16string text, bool undoable) {
    int a = SelStart(s), b = SelEnd(s);
    size_t room = size_t(std::max(0, s->limit - (int(s->text.size()) - (b - a))));
    if (text.size() > room) {
        text.resize(room);
        if (!text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) text.pop_back();
        if (!text.empty() && text.back() == u'\r') text.pop_back();
        Notify(hwnd, EN_MAXTEXT);
        if (!IsWindow(hwnd)) return false;
    }
    if (a == b && text.empty()) return false;
    if (undoable) {
        s->undoText = s->text;
        s->canUndo = true;
    }
    s->text.replace(size_t(a), size_t(b - a), text);
    s->anchor = s->caret = a + int(text.size());
    return true;
}

std::u16string ClipboardText() {
    std::u16string out;
    if (!OpenClipboard(nullptr)) return out;
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const char16_t*>(GlobalLock(h))) {
            out = p;
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return out;
}

// Puts the selection on the system clipboard; a password never leaves the control.
bool EditCopy(HWND hwnd, EditState* s) {
    int a = SelStart(s), b = SelEnd(s);
    if (a == b || IsPassword(hwnd)) return false;
    if (!OpenClipboard(hwnd)) return false;
    bool ok = false;
    if (EmptyClipboard()) {
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, SIZE_T(b - a + 1) * sizeof(char16_t));
        if (auto* p = h ? static_cast<char16_t*>(GlobalLock(h)) : nullptr) {
            std::copy(s->text.begin() + a, s->text.begin() + b, p);
            p[b - a] = 0;
            GlobalUnlock(h);
            ok = SetClipboardData(CF_UNICODETEXT, h) != nullptr;
            if (!ok) GlobalFree(h);
        }
    }
    CloseClipboard();
    return ok;
}

void EditPaste(HWND hwnd, EditState* s) {
    if (GetWindowLongW(hwnd, GWL_STYLE) & ES_READONLY) return;
    std::u16string t = ClipboardText();
    if (!IsMulti(hwnd)) {
        size_t nl = t.find_first_of(u"\r\n");
        if (nl != std::u16string::npos) t.resize(nl);
    }
    if (ReplaceSelection(hwnd, s, t, true)) Changed(hwnd, s);
}

void EditClear(HWND hwnd, EditState* s) {
    if (GetWindowLongW(hwnd, GWL_STYLE) & ES_READONLY) return;
    if (SelStart(s) != SelEnd(s) && ReplaceSelection(hwnd, s, u"", true)) Changed(hwnd, s);
}

void SelectAll(HWND hwnd, EditState* s) {
    s->anchor = 0;
    s->caret = int(s->text.size());
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateCaret(hwnd, s);
}

// The position nearest a client point.
int PosFromPoint(HWND hwnd, EditState* s, int x, int y) {
    std::vector<Span> lines = Lines(hwnd, s);
    int li = 0;
    if (IsMulti(hwnd)) li = std::clamp(s->top + (y - 1) / LineHeight(hwnd, s), 0, int(lines.size()) - 1);
    const Span& line = lines[size_t(li)];
    std::u16string shown = Shown(hwnd, s);
    const char16_t* p = shown.c_str() + line.start;
    x += s->scroll - kEditMargin;
    int best = 0;
    for (int i = 1; i <= line.length; ++i) {
        int w = TextWidth(hwnd, s, p, i);
        int prev = TextWidth(hwnd, s, p, i - 1);
        if (x >= (prev + w) / 2) best = i;
        if (prev > x) break;
    }
    return Snap(s->text, line.start + best);
}

// The position on another line at the same distance from the left.
int PosOnLine(HWND hwnd, EditState* s, int line) {
    std::vector<Span> lines = Lines(hwnd, s);
    const Span& from = lines[size_t(LineOf(lines, s->caret))];
    int x = TextWidth(hwnd, s, s->text.c_str() + from.start, s->caret - from.start);
    int h = LineHeight(hwnd, s);
    return PosFromPoint(hwnd, s, x - s->scroll + kEditMargin, 1 + (line - s->top) * h + h / 2);
}

bool IsWordChar(char16_t c) {
    return c != u' ' && c != u'\t' && c != u'\r' && c != u'\n';
}

// Command ids of the context menu: the messages they send.
const UINT kSelectAll = EM_SETSEL;

void ContextMenu(HWND hwnd, EditState* s, LPARAM lParam) {
    DWORD style = DWORD(GetWindowLongW(hwnd, GWL_STYLE));
    bool readOnly = (style & ES_READONLY) != 0, password = IsPassword(hwnd);
    bool sel = SelStart(s) != SelEnd(s);
    if (GetFocus() != hwnd) SetFocus(hwnd);
    if (!IsWindow(hwnd)) return;
    HMENU menu = CreatePopupMenu();
    auto item = [&](UINT id, const char16_t* text, bool enabled) {
        AppendMenuW(menu, MF_STRING | (enabled ? 0u : UINT(MF_GRAYED)), id, text);
    };
    item(WM_UNDO, u"元に戻す(&U)", s->canUndo && !readOnly);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    item(WM_CUT, u"切り取り(&T)", sel && !readOnly && !password);
    item(WM_COPY, u"コピー(&C)", sel && !password);
    item(WM_PASTE, u"貼り付け(&P)", !readOnly && IsClipboardFormatAvailable(CF_UNICODETEXT));
    item(WM_CLEAR, u"削除(&D)", sel && !readOnly);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    item(kSelectAll, u"すべて選択(&A)", !(SelStart(s) == 0 && SelEnd(s) == int(s->text.size())));
    POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (lParam == -1) {
        // From the keyboard: at the caret.
        GetCaretPos(&p);
        ClientToScreen(hwnd, &p);
    }
    UINT cmd = UINT(TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, p.x,
                                   p.y, 0, hwnd, nullptr));
    DestroyMenu(menu);
    if (!cmd || !IsWindow(hwnd)) return;
    if (cmd == kSelectAll)
        SendMessageW(hwnd, EM_SETSEL, 0, -1);
    else
        SendMessageW(hwnd, cmd, 0, 0);
}

} // namespace

LRESULT EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    EditState* s = StateOf(hwnd);
    DWORD style = DWORD(GetWindowLongW(hwnd, GWL_STYLE));
    switch (msg) {
    case WM_NCCREATE: {
        auto* n = CreateState<EditState>(hwnd);
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) n->text = cs->lpszName;
        return TRUE;
    }
    case WM_NCDESTROY: DestroyState<EditState>(hwnd); return 0;
    }
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    bool readOnly = (style & ES_READONLY) != 0;
    bool multi = (style & ES_MULTILINE) != 0;
    switch (msg) {
    case WM_SETFONT:
        s->font = reinterpret_cast<HFONT>(wParam);
        ComposeInOwnFont(hwnd, s);
        if (lParam) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_SIZE:
        // Wrapped rows follow the width.
        if (Wraps(hwnd)) {
            InvalidateRect(hwnd, nullptr, TRUE);
            ScrollTo(hwnd, s, s->top);
            SyncBar(hwnd, s, int(Lines(hwnd, s).size()));
        }
        break;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        if (!multi) return code;
        code |= DLGC_WANTALLKEYS;
        // In a dialog, Tab and Escape keep their meaning, and Enter too
        // without ES_WANTRETURN; with Ctrl, Enter and Tab go into the text.
        auto* m = reinterpret_cast<const MSG*>(lParam);
        if (m && m->message == WM_KEYDOWN) {
            bool ctrl = GetKeyState(VK_CONTROL) < 0;
            if (m->wParam == VK_ESCAPE || (m->wParam == VK_TAB && !ctrl) ||
                (m->wParam == VK_RETURN && !ctrl && !(style & ES_WANTRETURN)))
                code &= ~LRESULT(DLGC_WANTALLKEYS);
        }
        return code;
    }
    case WM_SETTEXT: {
        s->text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"";
        if (int(s->text.size()) > s->limit && s->limit >= 0) s->text.resize(size_t(s->limit));
        s->anchor = s->caret = 0;
        s->scroll = 0;
        s->top = 0;
        s->canUndo = false;
        s->modified = false;
        InvalidateRect(hwnd, nullptr, TRUE);
        UpdateCaret(hwnd, s);
        Notify(hwnd, EN_UPDATE);
        if (IsWindow(hwnd)) Notify(hwnd, EN_CHANGE);
        return TRUE;
    }
    case WM_GETTEXT: {
        if (wParam == 0 || !lParam) return 0;
        auto* buf = reinterpret_cast<LPWSTR>(lParam);
        size_t n = std::min<size_t>(s->text.size(), wParam - 1);
        std::copy_n(s->text.data(), n, buf);
        buf[n] = 0;
        return LRESULT(n);
    }
    case WM_GETTEXTLENGTH: return LRESULT(s->text.size());
    case EM_GETSEL: {
        if (wParam) *reinterpret_cast<DWORD*>(wParam) = DWORD(SelStart(s));
        if (lParam) *reinterpret_cast<DWORD*>(lParam) = DWORD(SelEnd(s));
        return MAKELONG(SelStart(s), SelEnd(s));
    }
    case EM_SETSEL: {
        int a = int(wParam), b = int(lParam);
        int n = int(s->text.size());
        if (a < 0) {
            s->anchor = s->caret = Snap(s->text, s->caret);
        } else {
            if (b < 0 || b > n) b = n;
            a = std::min(a, n);
            s->anchor = a;
            s->caret = b;
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        UpdateCaret(hwnd, s);
        return 0;
    }
    case EM_REPLACESEL:
        if (ReplaceSelection(hwnd, s, lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"", wParam != 0))
            Changed(hwnd, s);
        return 0;
    case EM_LIMITTEXT: s->limit = wParam ? int(std::min<WPARAM>(wParam, 0x7FFFFFFE)) : 0x7FFFFFFE; return 0;
    case EM_GETLIMITTEXT: return s->limit;
    case EM_SETREADONLY:
        SetWindowLongW(hwnd, GWL_STYLE, LONG(wParam ? style | ES_READONLY : style & ~DWORD(ES_READONLY)));
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    case EM_GETMODIFY: return s->modified;
    case EM_SETMODIFY: s->modified = wParam != 0; return 0;
    case EM_SETPASSWORDCHAR:
        s->passwordChar = char16_t(wParam);
        SetWindowLongW(hwnd, GWL_STYLE, LONG(wParam ? style | ES_PASSWORD : style & ~DWORD(ES_PASSWORD)));
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case EM_GETPASSWORDCHAR: return (style & ES_PASSWORD) ? (s->passwordChar ? s->passwordChar : u'*') : 0;
    case EM_CANUNDO: return s->canUndo;
    case EM_GETLINECOUNT: return LRESULT(Lines(hwnd, s).size());
    case EM_LINEINDEX: {
        std::vector<Span> lines = Lines(hwnd, s);
        int line = int(wParam) < 0 ? LineOf(lines, s->caret) : int(wParam);
        return line < int(lines.size()) ? lines[size_t(line)].start : -1;
    }
    case EM_LINEFROMCHAR: {
        std::vector<Span> lines = Lines(hwnd, s);
        return LineOf(lines, int(wParam) < 0 ? SelStart(s) : int(wParam));
    }
    case EM_LINELENGTH: {
        std::vector<Span> lines = Lines(hwnd, s);
        if (int(wParam) < 0) {
            // The units of the selection's lines that are not selected.
            const Span& a = lines[size_t(LineOf(lines, SelStart(s)))];
            const Span& b = lines[size_t(LineOf(lines, SelEnd(s)))];
            return (SelStart(s) - a.start) + (b.start + b.length - std::min(SelEnd(s), b.start + b.length));
        }
        return lines[size_t(LineOf(lines, int(wParam)))].length;
    }
    case EM_GETLINE: {
        // The buffer's first WORD gives its size in units; no terminator is written.
        std::vector<Span> lines = Lines(hwnd, s);
        if (!lParam || wParam >= lines.size()) return 0;
        auto* buf = reinterpret_cast<LPWSTR>(lParam);
        WORD room = *reinterpret_cast<const WORD*>(buf);
        const Span& line = lines[wParam];
        int n = std::min<int>(line.length, room);
        std::copy_n(s->text.data() + line.start, n, buf);
        return n;
    }
    case EM_GETFIRSTVISIBLELINE: return multi ? s->top : 0;
    case EM_LINESCROLL:
        if (!multi) return FALSE;
        ScrollTo(hwnd, s, s->top + int(lParam));
        return TRUE;
    case EM_SCROLLCARET: UpdateCaret(hwnd, s); return TRUE;
    case WM_VSCROLL: {
        if (!multi) return 0;
        int page = VisibleLines(hwnd, s);
        switch (LOWORD(wParam)) {
        case SB_LINEUP: ScrollTo(hwnd, s, s->top - 1); break;
        case SB_LINEDOWN: ScrollTo(hwnd, s, s->top + 1); break;
        case SB_PAGEUP: ScrollTo(hwnd, s, s->top - page); break;
        case SB_PAGEDOWN: ScrollTo(hwnd, s, s->top + page); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: ScrollTo(hwnd, s, int(HIWORD(wParam))); break;
        case SB_TOP: ScrollTo(hwnd, s, 0); break;
        case SB_BOTTOM: ScrollTo(hwnd, s, 0x7FFF); break;
        }
        return 0;
    }
    case WM_MOUSEWHEEL:
        if (!multi) return DefWindowProcW(hwnd, msg, wParam, lParam);
        ScrollTo(hwnd, s, s->top - GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA * 3);
        return 0;
    case WM_UNDO:
    case EM_UNDO:
        if (s->canUndo && !readOnly) {
            std::swap(s->text, s->undoText);
            s->anchor = s->caret = int(s->text.size());
            Changed(hwnd, s);
        }
        return TRUE;
    case WM_CLEAR: EditClear(hwnd, s); return 0;
    case WM_CUT:
        if (readOnly || IsPassword(hwnd)) return 0;
        if (EditCopy(hwnd, s)) EditClear(hwnd, s);
        return 0;
    case WM_COPY: EditCopy(hwnd, s); return 0;
    case WM_PASTE: EditPaste(hwnd, s); return 0;
    case WM_CONTEXTMENU: ContextMenu(hwnd, s, lParam); return 0;
    case WM_SETFOCUS: {
        s->focused = true;
        ComposeInOwnFont(hwnd, s);
        CreateCaret(hwnd, nullptr, 1, LineHeight(hwnd, s));
        UpdateCaret(hwnd, s);
        ShowCaret(hwnd);
        InvalidateRect(hwnd, nullptr, TRUE);
        Notify(hwnd, EN_SETFOCUS);
        return 0;
    }
    case WM_KILLFOCUS:
        s->focused = false;
        DestroyCaret();
        InvalidateRect(hwnd, nullptr, TRUE);
        Notify(hwnd, EN_KILLFOCUS);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if (GetFocus() != hwnd) SetFocus(hwnd);
        if (!IsWindow(hwnd)) return 0;
        int pos = PosFromPoint(hwnd, s, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        if (msg == WM_LBUTTONDBLCLK) {
            int a = pos, b = pos;
            while (a > 0 && IsWordChar(s->text[size_t(a - 1)])) --a;
            while (b < int(s->text.size()) && IsWordChar(s->text[size_t(b)])) ++b;
            s->anchor = a;
            s->caret = b;
        } else {
            s->caret = pos;
            if (!(wParam & MK_SHIFT)) s->anchor = pos;
            s->selecting = true;
            SetCapture(hwnd);
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        UpdateCaret(hwnd, s);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (s->selecting) {
            s->caret = PosFromPoint(hwnd, s, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            InvalidateRect(hwnd, nullptr, TRUE);
            UpdateCaret(hwnd, s);
        }
        return 0;
    case WM_LBUTTONUP:
        if (s->selecting) {
            s->selecting = false;
            ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED: s->selecting = false; return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_F10 && GetKeyState(VK_SHIFT) < 0) {
            SendMessageW(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), -1);
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_KEYDOWN: {
        bool shift = GetKeyState(VK_SHIFT) < 0;
        bool ctrl = GetKeyState(VK_CONTROL) < 0;
        const std::u16string& t = s->text;
        int n = int(t.size());
        int to = s->caret;
        std::vector<Span> lines = Lines(hwnd, s);
        int li = LineOf(lines, s->caret);
        const Span& line = lines[size_t(li)];
        switch (wParam) {
        case VK_LEFT:
            if (!shift && SelStart(s) != SelEnd(s))
                to = SelStart(s);
            else if (to > 0) {
                to = StepLeft(t, to);
                if (ctrl)
                    while (to > 0 && IsWordChar(t[size_t(to - 1)])) --to;
            }
            break;
        case VK_RIGHT:
            if (!shift && SelStart(s) != SelEnd(s))
                to = SelEnd(s);
            else if (to < n) {
                to = StepRight(t, to);
                if (ctrl)
                    while (to < n && IsWordChar(t[size_t(to)])) ++to;
            }
            break;
        case VK_HOME: to = multi && !ctrl ? line.start : 0; break;
        case VK_END: to = multi && !ctrl ? line.start + line.length : n; break;
        case VK_UP:
            if (!multi) {
                to = 0;
            } else if (li > 0) {
                if (li - 1 < s->top) ScrollTo(hwnd, s, li - 1);
                to = PosOnLine(hwnd, s, li - 1);
            }
            break;
        case VK_DOWN:
            if (!multi) {
                to = n;
            } else if (li + 1 < int(lines.size())) {
                if (li + 1 >= s->top + VisibleLines(hwnd, s))
                    ScrollTo(hwnd, s, li + 2 - VisibleLines(hwnd, s));
                to = PosOnLine(hwnd, s, li + 1);
            }
            break;
        case VK_PRIOR:
        case VK_NEXT: {
            if (!multi) return 0;
            int page = VisibleLines(hwnd, s) * (wParam == VK_PRIOR ? -1 : 1);
            int target = std::clamp(li + page, 0, int(lines.size()) - 1);
            ScrollTo(hwnd, s, s->top + page);
            to = PosOnLine(hwnd, s, target);
            break;
        }
        case VK_DELETE:
            if (readOnly) return 0;
            if (shift) {
                SendMessageW(hwnd, WM_CUT, 0, 0);
                return 0;
            }
            if (SelStart(s) == SelEnd(s) && s->caret < n) {
                s->anchor = s->caret;
                s->caret = StepRight(t, s->caret);
            }
            if (ReplaceSelection(hwnd, s, u"", true)) Changed(hwnd, s);
            return 0;
        case VK_INSERT:
            if (shift) SendMessageW(hwnd, WM_PASTE, 0, 0);
            if (ctrl) SendMessageW(hwnd, WM_COPY, 0, 0);
            return 0;
        case VK_APPS: SendMessageW(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), -1); return 0;
        default: return 0;
        }
        s->caret = to;
        if (!shift) s->anchor = to;
        InvalidateRect(hwnd, nullptr, TRUE);
        UpdateCaret(hwnd, s);
        return 0;
    }
    case WM_CHAR: {
        char16_t c = char16_t(wParam);
        switch (c) {
        case 1: SelectAll(hwnd, s); return 0; // Ctrl+A
        case 3: SendMessageW(hwnd, WM_COPY, 0, 0); return 0;
        case 22: SendMessageW(hwnd, WM_PASTE, 0, 0); return 0;
        case 24: SendMessageW(hwnd, WM_CUT, 0, 0); return 0;
        case 26: SendMessageW(hwnd, WM_UNDO, 0, 0); return 0;
        case 8:
            if (readOnly) return 0;
            if (SelStart(s) == SelEnd(s) && s->caret > 0) {
                s->anchor = s->caret;
                s->caret = StepLeft(s->text, s->caret);
            }
            if (ReplaceSelection(hwnd, s, u"", true)) Changed(hwnd, s);
            return 0;
        case u'\r':
        case u'\n': // Enter, and Ctrl+Enter
        case u'\t':
            if (!multi) return 0;
            if (readOnly) {
                MessageBeep(0);
                return 0;
            }
            if (ReplaceSelection(hwnd, s, c == u'\t' ? u"\t" : u"\r\n", true)) Changed(hwnd, s);
            return 0;
        }
        if (c < 0x20 || c == 0x7F) return 0;
        if (readOnly) {
            MessageBeep(0);
            return 0;
        }
        if ((style & ES_NUMBER) && !(c >= u'0' && c <= u'9')) {
            MessageBeep(0);
            return 0;
        }
        if (style & ES_UPPERCASE && c >= u'a' && c <= u'z') c = char16_t(c - 32);
        if (style & ES_LOWERCASE && c >= u'A' && c <= u'Z') c = char16_t(c + 32);
        if (ReplaceSelection(hwnd, s, std::u16string(1, c), true)) Changed(hwnd, s);
        return 0;
    }
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        bool enabled = IsWindowEnabled(hwnd);
        HBRUSH br = CtlColor(hwnd, dc, readOnly || !enabled ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT);
        COLORREF textColor = enabled ? GetTextColor(dc) : GetSysColor(COLOR_GRAYTEXT);
        COLORREF bk = GetBkColor(dc);
        FillRect(dc, &r, br);
        HGDIOBJ old = s->font ? SelectObject(dc, s->font) : nullptr;
        std::u16string shown = Shown(hwnd, s);
        int h = LineHeight(hwnd, s);
        int x0 = kEditMargin - s->scroll;
        int a = SelStart(s), b = SelEnd(s);
        bool showSel = (s->focused || (style & ES_NOHIDESEL)) && a != b;
        SetBkMode(dc, OPAQUE);
        std::vector<Span> lines = Lines(hwnd, s);
        int first = multi ? s->top : 0;
        for (int li = first; li < int(lines.size()); ++li) {
            int y = multi ? 1 + (li - first) * h : (r.bottom - h) / 2;
            if (multi && y >= r.bottom) break;
            const Span& line = lines[size_t(li)];
            int end = line.start + line.length;
            auto run = [&](int from, int to, bool sel) {
                if (to <= from) return;
                int x = x0 + TextWidth(hwnd, s, shown.c_str() + line.start, from - line.start);
                SetTextColor(dc, sel ? GetSysColor(COLOR_HIGHLIGHTTEXT) : textColor);
                SetBkColor(dc, sel ? GetSysColor(COLOR_HIGHLIGHT) : bk);
                ExtTextOutW(dc, x, y, 0, nullptr, shown.c_str() + from, UINT(to - from), nullptr);
            };
            if (showSel && a < end && b > line.start) {
                int sa = std::max(a, line.start), sb = std::min(b, end);
                run(line.start, sa, false);
                run(sa, sb, true);
                run(sb, end, false);
            } else {
                run(line.start, end, false);
            }
        }
        if (old) SelectObject(dc, old);
        EndPaint(hwnd, &ps);
        return 0;
    }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace win32ctl
