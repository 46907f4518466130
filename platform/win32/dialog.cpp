// The dialog manager: templates, creation, modal loops, default buttons and
// keyboard navigation.
#include "win32/dialog.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "win32/backend.h"
#include "win32/errors.h"
#include "win32/sysinfo.h"
#include "win32/wstring.h"
#include "wnd_internal.h"

namespace win32bk {
void ActivateWindow(HWND hwnd);
}

namespace {

struct DlgState {
    HFONT font = nullptr;
    bool ownFont = false;
    SIZE base{8, 16};
    HWND lastFocus = nullptr;
    WORD defId = 0;
    bool hasDefId = false;
    bool ended = false;
    INT_PTR result = 0;
    int templateId = 0;
};

win32dlg::ModalHook g_modalHook = nullptr;

std::mutex g_lock;
std::map<HWND, DlgState>& States() {
    static std::map<HWND, DlgState> m;
    return m;
}
DlgState* StateOf(HWND dlg) {
    std::lock_guard<std::mutex> lock(g_lock);
    auto it = States().find(dlg);
    return it == States().end() ? nullptr : &it->second;
}

// --- Template reading -------------------------------------------------------------------

struct Reader {
    const BYTE* p;
    size_t size;
    size_t at = 0;
    bool ok = true;
    bool need(size_t n) {
        if (!ok || at + n > size) ok = false;
        return ok;
    }
    WORD word() {
        if (!need(2)) return 0;
        WORD v;
        memcpy(&v, p + at, 2);
        at += 2;
        return v;
    }
    DWORD dword() {
        if (!need(4)) return 0;
        DWORD v;
        memcpy(&v, p + at, 4);
        at += 4;
        return v;
    }
    short sword() { return static_cast<short>(word()); }
    BYTE byte() {
        if (!need(1)) return 0;
        return p[at++];
    }
    std::u16string sz() {
        std::u16string s;
        for (;;) {
            WORD c = word();
            if (!ok || c == 0) break;
            s.push_back(char16_t(c));
        }
        return s;
    }
    // A string or an ordinal: 0xFFFF then the ordinal.
    std::u16string szOrOrd(WORD* ord) {
        *ord = 0;
        if (!need(2)) return {};
        WORD first;
        memcpy(&first, p + at, 2);
        if (first == 0xFFFF) {
            at += 2;
            *ord = word();
            return {};
        }
        return sz();
    }
    void align4() { at = (at + 3) & ~size_t(3); }
};

const char16_t* PredefinedClass(WORD ord) {
    switch (ord) {
    case 0x80: return u"Button";
    case 0x81: return u"Edit";
    case 0x82: return u"Static";
    case 0x83: return u"ListBox";
    case 0x84: return u"ScrollBar";
    case 0x85: return u"ComboBox";
    }
    return nullptr;
}

bool IsClass(HWND hwnd, const char16_t* name) {
    char16_t buf[64];
    int n = GetClassNameW(hwnd, buf, 64);
    std::u16string a(buf, size_t(n > 0 ? n : 0));
    std::u16string b(name);
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i] >= u'A' && a[i] <= u'Z' ? char16_t(a[i] + 32) : a[i];
        char16_t y = b[i] >= u'A' && b[i] <= u'Z' ? char16_t(b[i] + 32) : b[i];
        if (x != y) return false;
    }
    return true;
}

UINT DlgCode(HWND ctl, MSG* msg) {
    return UINT(SendMessageW(ctl, WM_GETDLGCODE, msg ? msg->wParam : 0, reinterpret_cast<LPARAM>(msg)));
}

bool Usable(HWND h) {
    return IsWindowVisible(h) && IsWindowEnabled(h);
}

// The dialog's direct child containing hwnd.
HWND DirectChild(HWND dlg, HWND hwnd) {
    while (hwnd && GetParent(hwnd) != dlg) hwnd = GetParent(hwnd);
    return hwnd;
}

// The controls in tab order: creation order.
std::vector<HWND> Children(HWND dlg) {
    std::vector<HWND> out;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) out.push_back(c);
    std::reverse(out.begin(), out.end());
    return out;
}

void SetDefaultButtonLook(HWND dlg, HWND newFocus);

void FocusControl(HWND dlg, HWND ctl) {
    if (!ctl) return;
    if (DlgCode(ctl, nullptr) & DLGC_HASSETSEL) SendMessageW(ctl, EM_SETSEL, 0, -1);
    SetFocus(ctl);
    SetDefaultButtonLook(dlg, ctl);
}

// A push button with the focus shows as the default; otherwise the default id does.
void SetDefaultButtonLook(HWND dlg, HWND focus) {
    DlgState* st = StateOf(dlg);
    WORD defId = st && st->hasDefId ? st->defId : IDOK;
    UINT focusCode = focus ? DlgCode(focus, nullptr) : 0;
    for (HWND c : Children(dlg)) {
        UINT code = DlgCode(c, nullptr);
        if (!(code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) continue;
        bool def = (focusCode & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) ? c == focus
                                                                             : GetDlgCtrlID(c) == int(defId);
        bool isDef = (code & DLGC_DEFPUSHBUTTON) != 0;
        if (def != isDef) SendMessageW(c, BM_SETSTYLE, def ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
}

// Sends a click of control id to the dialog, or beeps when its control is disabled.
void ClickId(HWND dlg, int id) {
    HWND ctl = GetDlgItem(dlg, id);
    if (ctl && !IsWindowEnabled(ctl)) {
        MessageBeep(0);
        return;
    }
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(ctl));
}

char16_t Fold(char16_t c) {
    if (c >= u'a' && c <= u'z') return char16_t(c - 32);
    if (c >= 0xFF41 && c <= 0xFF5A) return char16_t(c - 0xFF41 + u'A'); // full-width letters
    if (c >= 0xFF21 && c <= 0xFF3A) return char16_t(c - 0xFF21 + u'A');
    return c;
}

// The mnemonic of a control's text: the character after a single '&'.
char16_t Mnemonic(HWND ctl) {
    char16_t buf[256];
    int n = GetWindowTextW(ctl, buf, 256);
    for (int i = 0; i + 1 < n; ++i) {
        if (buf[i] != u'&') continue;
        if (buf[i + 1] == u'&') {
            ++i;
            continue;
        }
        return Fold(buf[i + 1]);
    }
    return 0;
}

// Alt+letter or a letter outside an edit: clicks the button or focuses the
// tab stop after the label. True when a control matched.
bool DoMnemonic(HWND dlg, char16_t ch) {
    ch = Fold(ch);
    if (!ch) return false;
    std::vector<HWND> kids = Children(dlg);
    for (size_t i = 0; i < kids.size(); ++i) {
        HWND c = kids[i];
        if (!IsWindowVisible(c) || Mnemonic(c) != ch) continue;
        UINT code = DlgCode(c, nullptr);
        if (code & DLGC_STATIC ||
            ((code & DLGC_BUTTON) && (GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX)) {
            for (size_t j = i + 1; j < kids.size(); ++j) {
                HWND n = kids[j];
                if (Usable(n) && (GetWindowLongW(n, GWL_STYLE) & WS_TABSTOP)) {
                    FocusControl(dlg, n);
                    return true;
                }
            }
            return true;
        }
        if (!IsWindowEnabled(c)) return true;
        if (code & (DLGC_BUTTON | DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON | DLGC_RADIOBUTTON)) {
            if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) {
                SendMessageW(c, BM_CLICK, 0, 0);
            } else {
                FocusControl(dlg, c);
                SendMessageW(c, BM_CLICK, 0, 0);
            }
        } else {
            FocusControl(dlg, c);
        }
        return true;
    }
    return false;
}

HFONT FontFromTemplate(const win32dlg::Template& t, bool* own) {
    *own = false;
    if (!(t.style & DS_SETFONT)) return nullptr;
    LOGFONTW lf{};
    HDC dc = CreateCompatibleDC(nullptr);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) DeleteDC(dc);
    if (dpi <= 0) dpi = 96;
    lf.lfHeight = -MulDiv(t.pointSize, dpi, 72);
    lf.lfWeight = t.weight ? t.weight : FW_NORMAL;
    lf.lfItalic = t.italic;
    lf.lfCharSet = t.charset;
    size_t n = std::min<size_t>(t.face.size(), LF_FACESIZE - 1);
    std::copy_n(t.face.data(), n, lf.lfFaceName);
    lf.lfFaceName[n] = 0;
    *own = true;
    return CreateFontIndirectW(&lf);
}

} // namespace

namespace win32dlg {

bool ParseTemplate(const void* data, size_t size, Template* out) {
    if (!data) return false;
    Reader r{static_cast<const BYTE*>(data), size ? size : (size_t(1) << 24)};
    Template t;
    WORD ver = r.word();
    WORD sig = r.word();
    t.extended = ver == 1 && sig == 0xFFFF;
    WORD count = 0;
    if (t.extended) {
        t.helpId = r.dword();
        t.exStyle = r.dword();
        t.style = r.dword();
    } else {
        r.at = 0;
        t.style = r.dword();
        t.exStyle = r.dword();
    }
    count = r.word();
    t.x = r.sword();
    t.y = r.sword();
    t.cx = r.sword();
    t.cy = r.sword();
    t.menu = r.szOrOrd(&t.menuOrdinal);
    WORD clsOrd = 0;
    t.className = r.szOrOrd(&clsOrd);
    t.title = r.sz();
    if (t.style & DS_SETFONT) {
        t.pointSize = r.word();
        if (t.extended) {
            t.weight = r.word();
            t.italic = r.byte();
            t.charset = r.byte();
        }
        t.face = r.sz();
    }
    for (WORD i = 0; i < count && r.ok; ++i) {
        r.align4();
        Item it;
        if (t.extended) {
            it.helpId = r.dword();
            it.exStyle = r.dword();
            it.style = r.dword();
        } else {
            it.style = r.dword();
            it.exStyle = r.dword();
        }
        it.x = r.sword();
        it.y = r.sword();
        it.cx = r.sword();
        it.cy = r.sword();
        it.id = t.extended ? r.dword() : r.word();
        WORD ord = 0;
        it.className = r.szOrOrd(&ord);
        if (ord) {
            const char16_t* name = PredefinedClass(ord);
            if (!name) return false;
            it.className = name;
        }
        it.text = r.szOrOrd(&it.textOrdinal);
        WORD extra = r.word();
        if (extra && r.need(extra)) {
            it.creationData.assign(r.p + r.at, r.p + r.at + extra);
            r.at += extra;
        }
        t.items.push_back(std::move(it));
    }
    if (!r.ok || t.items.size() != count) return false;
    *out = std::move(t);
    return true;
}

size_t TemplateSize(const void* data) {
    Template t;
    if (!data || !ParseTemplate(data, 0, &t)) return 0;
    size_t low = 1, high = size_t(1) << 24;
    while (low < high) {
        size_t mid = low + (high - low) / 2;
        if (ParseTemplate(data, mid, &t))
            high = mid;
        else
            low = mid + 1;
    }
    return low;
}

SIZE BaseUnitsOf(HFONT font) {
    if (!font) return SIZE{8, 16};
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return SIZE{8, 16};
    HGDIOBJ old = SelectObject(dc, font);
    SIZE ext{0, 0};
    static const char16_t letters[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    GetTextExtentPoint32W(dc, letters, 52, &ext);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    DeleteDC(dc);
    SIZE s{(ext.cx / 26 + 1) / 2, tm.tmHeight};
    if (s.cx <= 0) s.cx = 8;
    if (s.cy <= 0) s.cy = 16;
    return s;
}

bool IsDialog(HWND hwnd) {
    return StateOf(hwnd) != nullptr;
}

void SetModalHook(ModalHook hook) {
    g_modalHook = hook;
}

void SetTemplateId(HWND dlg, int id) {
    if (DlgState* st = StateOf(dlg)) st->templateId = id;
}

int TemplateId(HWND dlg) {
    DlgState* st = StateOf(dlg);
    return st ? st->templateId : 0;
}

bool DialogEnded(HWND dlg, INT_PTR* result) {
    DlgState* st = StateOf(dlg);
    if (!st) return true;
    if (result) *result = st->result;
    return st->ended;
}

void SendCancel(HWND dlg) {
    ClickId(dlg, IDCANCEL);
}

} // namespace win32dlg

// --- Creation ---------------------------------------------------------------------------

LONG GetDialogBaseUnits() {
    return MAKELONG(8, 16);
}

BOOL MapDialogRect(HWND dlg, LPRECT r) {
    DlgState* st = StateOf(dlg);
    if (!st || !r) return FALSE;
    r->left = MulDiv(r->left, st->base.cx, 4);
    r->right = MulDiv(r->right, st->base.cx, 4);
    r->top = MulDiv(r->top, st->base.cy, 8);
    r->bottom = MulDiv(r->bottom, st->base.cy, 8);
    return TRUE;
}

HWND win32dlg::CreateFromTemplate(HINSTANCE inst, LPCDLGTEMPLATEW tmpl, HWND parent, DLGPROC proc,
                                  LPARAM init, bool allowShow) {
    win32dlg::Template t;
    if (!win32dlg::ParseTemplate(tmpl, 0, &t)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    win32bk::EnsureControlClasses();
    bool ownFont = false;
    HFONT font = FontFromTemplate(t, &ownFont);
    SIZE base = win32dlg::BaseUnitsOf(font);
    DWORD style = t.style;
    if (!(style & (WS_CHILD | WS_POPUP))) style |= WS_CAPTION;
    bool visible = (style & WS_VISIBLE) != 0;
    style &= ~WS_VISIBLE;
    int cx = MulDiv(t.cx, base.cx, 4), cy = MulDiv(t.cy, base.cy, 8);
    int x = MulDiv(t.x, base.cx, 4), y = MulDiv(t.y, base.cy, 8);
    if (!(style & WS_CHILD) && parent) {
        POINT o{0, 0};
        ClientToScreen(GetAncestor(parent, GA_ROOT), &o);
        x += o.x;
        y += o.y;
    }
    const char16_t* cls = t.className.empty() ? u"#32770" : t.className.c_str();
    DWORD exStyle = t.exStyle | ((style & DS_MODALFRAME) ? WS_EX_DLGMODALFRAME : 0);
    // The template gives the client area; the frame is added around it.
    RECT outer{0, 0, cx, cy};
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    HWND dlg = CreateWindowExW(exStyle, cls, t.title.c_str(), style, x, y, outer.right - outer.left,
                               outer.bottom - outer.top, parent, nullptr, inst, nullptr);
    if (!dlg) {
        if (ownFont) DeleteObject(font);
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(g_lock);
        DlgState& st = States()[dlg];
        st.font = font;
        st.ownFont = ownFont;
        st.base = base;
    }
    SetWindowLongPtrW(dlg, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    // A class's own frame (a menu, a client edge) may still take from the client area.
    RECT client, window;
    GetClientRect(dlg, &client);
    GetWindowRect(dlg, &window);
    if (client.right != cx || client.bottom != cy)
        SetWindowPos(dlg, nullptr, 0, 0, window.right - window.left + cx - client.right,
                     window.bottom - window.top + cy - client.bottom,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (font) SendMessageW(dlg, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (const win32dlg::Item& it : t.items) {
        DWORD cstyle = it.style | WS_CHILD;
        const char16_t* text = it.text.c_str();
        HWND c = CreateWindowExW(
            it.exStyle, it.className.c_str(), it.textOrdinal ? u"" : text, cstyle, MulDiv(it.x, base.cx, 4),
            MulDiv(it.y, base.cy, 8), MulDiv(it.cx, base.cx, 4), MulDiv(it.cy, base.cy, 8), dlg,
            reinterpret_cast<HMENU>(static_cast<UINT_PTR>(WORD(it.id))), inst,
            it.creationData.empty() ? nullptr : const_cast<BYTE*>(it.creationData.data()));
        if (!IsWindow(dlg)) return nullptr;
        if (!c) continue;
        if (font) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (it.textOrdinal && IsClass(c, u"Static")) SendMessageW(c, STM_SETICON, it.textOrdinal, 0);
    }
    HWND first = GetNextDlgTabItem(dlg, nullptr, FALSE);
    LRESULT focusFirst = SendMessageW(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), init);
    if (!IsWindow(dlg)) return nullptr;
    if (focusFirst) {
        first = GetNextDlgTabItem(dlg, nullptr, FALSE);
        if (first) FocusControl(dlg, first);
    }
    SetDefaultButtonLook(dlg, GetFocus());
    if (DlgState* st = StateOf(dlg))
        if (GetFocus() && IsChild(dlg, GetFocus())) st->lastFocus = GetFocus();
    if (visible && allowShow && !win32dlg::DialogEnded(dlg, nullptr)) ShowWindow(dlg, SW_SHOW);
    return dlg;
}

HWND CreateDialogIndirectParamW(HINSTANCE inst, LPCDLGTEMPLATEW tmpl, HWND parent, DLGPROC proc,
                                LPARAM init) {
    return win32dlg::CreateFromTemplate(inst, tmpl, parent, proc, init, true);
}

HWND CreateDialogParamW(HINSTANCE inst, LPCWSTR name, HWND parent, DLGPROC proc, LPARAM init) {
    HRSRC res = FindResourceW(reinterpret_cast<HMODULE>(inst), name, RT_DIALOG);
    if (!res) return nullptr;
    return CreateDialogIndirectParamW(
        inst, static_cast<LPCDLGTEMPLATEW>(LockResource(LoadResource(nullptr, res))), parent, proc, init);
}

namespace {
// The owner of a modal dialog: the parent's top-level window.
HWND ModalOwner(HWND parent) {
    return parent ? GetAncestor(parent, GA_ROOT) : nullptr;
}
} // namespace

INT_PTR win32dlg::RunModal(HWND dlg, HWND owner) {
    bool disabled = false;
    if (owner && IsWindowEnabled(owner)) {
        EnableWindow(owner, FALSE);
        disabled = true;
    }
    bool shown = false;
    INT_PTR result = 0;
    // The hook hears of the dialog as its loop starts (first true, not yet
    // shown: what the loop serves before its first idle comes after it),
    // then in each iteration once it shows.
    if (g_modalHook && IsWindow(dlg) && !win32dlg::DialogEnded(dlg, &result)) g_modalHook(dlg, true);
    win32bk::RunModalLoop(nullptr, [&] {
        if (!IsWindow(dlg) || win32dlg::DialogEnded(dlg, &result)) return true;
        MSG pending;
        if (!shown && PeekMessageW(&pending, nullptr, 0, 0, PM_NOREMOVE | PM_NOYIELD)) return false;
        if (!shown) {
            // The first idle moment: a dialog ended before it never appears.
            shown = true;
            ShowWindow(dlg, SW_SHOW);
        }
        if (g_modalHook && IsWindow(dlg)) g_modalHook(dlg, false);
        return !IsWindow(dlg) || win32dlg::DialogEnded(dlg, &result);
    });
    if (disabled && IsWindow(owner)) EnableWindow(owner, TRUE);
    if (owner && IsWindow(owner)) win32bk::ActivateWindow(owner);
    if (IsWindow(dlg)) DestroyWindow(dlg);
    return result;
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE inst, LPCDLGTEMPLATEW tmpl, HWND parent, DLGPROC proc,
                                LPARAM init) {
    HWND owner = ModalOwner(parent);
    HWND dlg = win32dlg::CreateFromTemplate(inst, tmpl, owner, proc, init, false);
    if (!dlg) return -1;
    return win32dlg::RunModal(dlg, owner);
}

INT_PTR DialogBoxParamW(HINSTANCE inst, LPCWSTR name, HWND parent, DLGPROC proc, LPARAM init) {
    HRSRC res = FindResourceW(reinterpret_cast<HMODULE>(inst), name, RT_DIALOG);
    if (!res) return -1;
    HWND owner = ModalOwner(parent);
    HWND dlg = win32dlg::CreateFromTemplate(
        inst, static_cast<LPCDLGTEMPLATEW>(LockResource(LoadResource(nullptr, res))), owner, proc, init,
        false);
    if (!dlg) return -1;
    if (IS_INTRESOURCE(name)) win32dlg::SetTemplateId(dlg, int(reinterpret_cast<ULONG_PTR>(name)));
    return win32dlg::RunModal(dlg, owner);
}

BOOL EndDialog(HWND dlg, INT_PTR result) {
    DlgState* st = StateOf(dlg);
    if (!st) return FALSE;
    st->ended = true;
    st->result = result;
    ShowWindow(dlg, SW_HIDE);
    if (win32bk::Backend* b = win32bk::GetBackend()) b->Wake();
    return TRUE;
}

// --- Navigation -------------------------------------------------------------------------

HWND GetNextDlgTabItem(HWND dlg, HWND ctl, BOOL previous) {
    std::vector<HWND> kids = Children(dlg);
    if (kids.empty()) return nullptr;
    HWND from = ctl ? DirectChild(dlg, ctl) : nullptr;
    size_t n = kids.size();
    size_t start;
    auto pos = std::find(kids.begin(), kids.end(), from);
    if (pos == kids.end())
        start = previous ? 0 : n - 1; // so the first step lands on the first (or last) item
    else
        start = size_t(pos - kids.begin());
    for (size_t step = 1; step <= n; ++step) {
        size_t i = previous ? (start + n - step % n) % n : (start + step) % n;
        HWND c = kids[i];
        if (Usable(c) && (GetWindowLongW(c, GWL_STYLE) & WS_TABSTOP)) {
            // Within a group of radio buttons, the checked one takes the stop.
            return c;
        }
    }
    return from;
}

HWND GetNextDlgGroupItem(HWND dlg, HWND ctl, BOOL previous) {
    std::vector<HWND> kids = Children(dlg);
    HWND from = DirectChild(dlg, ctl);
    auto pos = std::find(kids.begin(), kids.end(), from);
    if (pos == kids.end()) return nullptr;
    size_t i = size_t(pos - kids.begin());
    // The group: from the last WS_GROUP at or before i to before the next WS_GROUP.
    size_t first = i;
    while (first > 0 && !(GetWindowLongW(kids[first], GWL_STYLE) & WS_GROUP)) --first;
    size_t last = i;
    while (last + 1 < kids.size() && !(GetWindowLongW(kids[last + 1], GWL_STYLE) & WS_GROUP)) ++last;
    size_t n = last - first + 1;
    for (size_t step = 1; step <= n; ++step) {
        size_t k = previous ? first + (i - first + n - step % n) % n : first + (i - first + step) % n;
        if (Usable(kids[k])) return kids[k];
    }
    return from;
}

// --- The default dialog procedure ----------------------------------------------------------

LRESULT DefDlgProcW(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(dlg, DWLP_DLGPROC));
    if (proc) {
        SetWindowLongPtrW(dlg, DWLP_MSGRESULT, 0);
        INT_PTR r = proc(dlg, msg, wParam, lParam);
        if (r) {
            switch (msg) {
            case WM_INITDIALOG:
            case WM_CTLCOLORMSGBOX:
            case WM_CTLCOLOREDIT:
            case WM_CTLCOLORLISTBOX:
            case WM_CTLCOLORBTN:
            case WM_CTLCOLORDLG:
            case WM_CTLCOLORSTATIC:
            case WM_CTLCOLORSCROLLBAR:
            case WM_GETDLGCODE: return r;
            }
            return GetWindowLongPtrW(dlg, DWLP_MSGRESULT);
        }
    }
    DlgState* st = StateOf(dlg);
    switch (msg) {
    case WM_INITDIALOG: return TRUE;
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(dlg, &r);
        HBRUSH br = reinterpret_cast<HBRUSH>(
            SendMessageW(dlg, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(dlg)));
        FillRect(reinterpret_cast<HDC>(wParam), &r, br ? br : GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORMSGBOX:
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
        SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
        SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    case WM_GETFONT: return st ? reinterpret_cast<LRESULT>(st->font) : 0;
    case WM_SETFONT:
        if (st) st->font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case DM_GETDEFID:
        if (st && st->hasDefId) return MAKELONG(st->defId, DC_HASDEFID);
        return 0;
    case DM_SETDEFID:
        if (st) {
            st->defId = WORD(wParam);
            st->hasDefId = true;
            SetDefaultButtonLook(dlg, GetFocus());
        }
        return TRUE;
    case WM_NEXTDLGCTL: {
        HWND target;
        if (LOWORD(lParam))
            target = reinterpret_cast<HWND>(wParam);
        else
            target = GetNextDlgTabItem(dlg, GetFocus(), wParam != 0);
        if (target) FocusControl(dlg, target);
        return 0;
    }
    case WM_SETFOCUS:
        if (st && st->lastFocus && IsWindow(st->lastFocus) && IsChild(dlg, st->lastFocus))
            SetFocus(st->lastFocus);
        else if (HWND first = GetNextDlgTabItem(dlg, nullptr, FALSE))
            FocusControl(dlg, first);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND f = GetFocus();
            if (st && f && IsChild(dlg, f)) st->lastFocus = f;
        } else if (st && st->lastFocus && IsWindow(st->lastFocus)) {
            SetFocus(st->lastFocus);
        } else {
            DefWindowProcW(dlg, msg, wParam, lParam);
            if (GetFocus() == dlg)
                if (HWND first = GetNextDlgTabItem(dlg, nullptr, FALSE)) FocusControl(dlg, first);
        }
        return 0;
    case WM_CLOSE: win32dlg::SendCancel(dlg); return 0;
    case WM_GETMINMAXINFO: return 0;
    case WM_NCDESTROY: {
        std::lock_guard<std::mutex> lock(g_lock);
        auto it = States().find(dlg);
        if (it != States().end()) {
            if (it->second.ownFont) DeleteObject(it->second.font);
            States().erase(it);
        }
        break;
    }
    }
    return DefWindowProcW(dlg, msg, wParam, lParam);
}

// --- Keyboard ---------------------------------------------------------------------------

BOOL IsDialogMessageW(HWND dlg, LPMSG msg) {
    if (!dlg || !msg || !msg->hwnd) return FALSE;
    if (msg->hwnd != dlg && !IsChild(dlg, msg->hwnd)) return FALSE;
    auto dispatch = [&] {
        TranslateMessage(msg);
        DispatchMessageW(msg);
        return TRUE;
    };
    HWND focus = msg->hwnd;
    switch (msg->message) {
    case WM_KEYDOWN: {
        UINT code = DlgCode(focus, msg);
        if (code & DLGC_WANTALLKEYS) return dispatch();
        switch (msg->wParam) {
        case VK_TAB: {
            if (code & DLGC_WANTTAB) return dispatch();
            bool back = GetKeyState(VK_SHIFT) < 0;
            HWND next = GetNextDlgTabItem(dlg, focus == dlg ? nullptr : focus, back);
            if (next) FocusControl(dlg, next);
            return TRUE;
        }
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN: {
            if (code & DLGC_WANTARROWS) return dispatch();
            if (focus == dlg) return TRUE;
            bool back = msg->wParam == VK_LEFT || msg->wParam == VK_UP;
            HWND next = GetNextDlgGroupItem(dlg, focus, back);
            if (next && next != DirectChild(dlg, focus)) {
                FocusControl(dlg, next);
                if (DlgCode(next, nullptr) & DLGC_RADIOBUTTON) SendMessageW(next, BM_CLICK, 0, 0);
            }
            return TRUE;
        }
        case VK_RETURN: {
            if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) {
                if (IsWindowEnabled(focus)) SendMessageW(focus, BM_CLICK, 0, 0);
                return TRUE;
            }
            LRESULT def = SendMessageW(dlg, DM_GETDEFID, 0, 0);
            int id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
            ClickId(dlg, id);
            return TRUE;
        }
        case VK_ESCAPE: win32dlg::SendCancel(dlg); return TRUE;
        }
        return dispatch();
    }
    case WM_SYSKEYDOWN: {
        UINT code = DlgCode(focus, msg);
        if (code & DLGC_WANTALLKEYS) return dispatch();
        if (msg->wParam == VK_F4) {
            SendMessageW(dlg, WM_CLOSE, 0, 0);
            return TRUE;
        }
        if (msg->wParam == VK_F10 || msg->wParam == VK_MENU) return TRUE;
        return dispatch();
    }
    case WM_SYSCHAR: {
        UINT code = DlgCode(focus, msg);
        if (code & DLGC_WANTALLKEYS) return dispatch();
        if (!DoMnemonic(dlg, char16_t(msg->wParam))) MessageBeep(0);
        return TRUE;
    }
    case WM_CHAR: {
        UINT code = DlgCode(focus, msg);
        if (code & (DLGC_WANTCHARS | DLGC_WANTALLKEYS)) return dispatch();
        if (msg->wParam == u'\t' || msg->wParam == u'\r' || msg->wParam == 27) return TRUE;
        if (DoMnemonic(dlg, char16_t(msg->wParam))) return TRUE;
        return dispatch();
    }
    }
    return dispatch();
}

// --- Item helpers -----------------------------------------------------------------------

BOOL SetDlgItemTextW(HWND dlg, int id, LPCWSTR text) {
    HWND c = GetDlgItem(dlg, id);
    return c ? SetWindowTextW(c, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dlg, int id, LPWSTR text, int max) {
    HWND c = GetDlgItem(dlg, id);
    if (!c) {
        if (text && max > 0) text[0] = 0;
        return 0;
    }
    return UINT(GetWindowTextW(c, text, max));
}

BOOL SetDlgItemInt(HWND dlg, int id, UINT value, BOOL isSigned) {
    std::string s = isSigned ? std::to_string(int(value)) : std::to_string(value);
    std::u16string w(s.begin(), s.end());
    return SetDlgItemTextW(dlg, id, w.c_str());
}

UINT GetDlgItemInt(HWND dlg, int id, BOOL* translated, BOOL isSigned) {
    if (translated) *translated = FALSE;
    char16_t buf[64];
    UINT n = GetDlgItemTextW(dlg, id, buf, 64);
    size_t i = 0;
    while (i < n && (buf[i] == u' ' || buf[i] == u'\t')) ++i;
    bool neg = false;
    if (isSigned && i < n && (buf[i] == u'-' || buf[i] == u'+')) neg = buf[i++] == u'-';
    if (i >= n) return 0;
    unsigned long long v = 0;
    for (; i < n && buf[i] >= u'0' && buf[i] <= u'9'; ++i) {
        v = v * 10 + unsigned(buf[i] - u'0');
        if (v > (isSigned ? 0x80000000ull : 0xFFFFFFFFull)) return 0;
    }
    while (i < n && (buf[i] == u' ' || buf[i] == u'\t')) ++i;
    if (i != n) return 0;
    if (isSigned && !neg && v > 0x7FFFFFFFull) return 0;
    if (translated) *translated = TRUE;
    return neg ? UINT(-static_cast<long long>(v)) : UINT(v);
}

BOOL CheckDlgButton(HWND dlg, int id, UINT check) {
    return SendDlgItemMessageW(dlg, id, BM_SETCHECK, check, 0) ? TRUE : TRUE;
}

UINT IsDlgButtonChecked(HWND dlg, int id) {
    return UINT(SendDlgItemMessageW(dlg, id, BM_GETCHECK, 0, 0));
}

BOOL CheckRadioButton(HWND dlg, int first, int last, int check) {
    for (int id = first; id <= last; ++id) SendDlgItemMessageW(dlg, id, BM_SETCHECK, id == check, 0);
    return TRUE;
}

LRESULT SendDlgItemMessageW(HWND dlg, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND c = GetDlgItem(dlg, id);
    return c ? SendMessageW(c, msg, wParam, lParam) : 0;
}

BOOL CenterWindowOver(HWND hwnd, HWND over) {
    RECT r, o;
    if (!GetWindowRect(hwnd, &r)) return FALSE;
    if (over && IsWindowVisible(over) && !(GetWindowLongW(over, GWL_STYLE) & WS_MINIMIZE))
        GetWindowRect(over, &o);
    else
        o = win32bk::GetScreenInfo().work;
    RECT work = win32bk::ScreenHolding(o).work;
    int w = r.right - r.left, h = r.bottom - r.top;
    int x = o.left + ((o.right - o.left) - w) / 2, y = o.top + ((o.bottom - o.top) - h) / 2;
    // Kept on the work area, its top left corner first.
    x = std::max<int>(work.left, std::min<int>(x, work.right - w));
    y = std::max<int>(work.top, std::min<int>(y, work.bottom - h));
    return SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
