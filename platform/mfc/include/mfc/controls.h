// The MFC classes of the standard controls: thin wrappers of their messages.
#pragma once

#include "mfc/cstring.h"
#include "mfc/wnd.h"
#include "win32/dialog.h"

class CButton : public CWnd {
    DECLARE_DYNAMIC(CButton)
public:
    BOOL Create(LPCWSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
        return CWnd::Create(u"Button", caption, style, rect, parent, id);
    }
    int GetCheck() const { return int(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) { SendMessage(BM_SETCHECK, WPARAM(check)); }
    UINT GetState() const { return UINT(SendMessage(BM_GETSTATE)); }
    void SetState(BOOL highlight) { SendMessage(BM_SETSTATE, WPARAM(highlight)); }
    UINT GetButtonStyle() const { return GetStyle() & 0xFFFF; }
    void SetButtonStyle(UINT style, BOOL redraw = TRUE) { SendMessage(BM_SETSTYLE, style, redraw); }
    void Click() { SendMessage(BM_CLICK); }
    virtual void DrawItem(LPDRAWITEMSTRUCT) {}
};

class CStatic : public CWnd {
    DECLARE_DYNAMIC(CStatic)
public:
    BOOL Create(LPCWSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id = 0xFFFF) {
        return CWnd::Create(u"Static", text, style, rect, parent, id);
    }
    HICON SetIcon(HICON icon) { return reinterpret_cast<HICON>(SendMessage(STM_SETICON, WPARAM(icon))); }
    HICON GetIcon() const { return reinterpret_cast<HICON>(SendMessage(STM_GETICON)); }
};

class CEdit : public CWnd {
    DECLARE_DYNAMIC(CEdit)
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
        return CWnd::Create(u"Edit", nullptr, style, rect, parent, id);
    }
    void SetSel(int start, int end, BOOL noScroll = FALSE) {
        (void)noScroll;
        SendMessage(EM_SETSEL, WPARAM(start), LPARAM(end));
    }
    void GetSel(int& start, int& end) const {
        DWORD a = 0, b = 0;
        SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
        start = int(a);
        end = int(b);
    }
    DWORD GetSel() const { return DWORD(SendMessage(EM_GETSEL)); }
    void ReplaceSel(LPCWSTR text, BOOL canUndo = FALSE) {
        SendMessage(EM_REPLACESEL, WPARAM(canUndo), reinterpret_cast<LPARAM>(text));
    }
    BOOL SetReadOnly(BOOL readOnly = TRUE) { return BOOL(SendMessage(EM_SETREADONLY, WPARAM(readOnly))); }
    void LimitText(int max = 0) { SendMessage(EM_LIMITTEXT, WPARAM(max)); }
    void SetLimitText(UINT max) { SendMessage(EM_LIMITTEXT, max); }
    UINT GetLimitText() const { return UINT(SendMessage(EM_GETLIMITTEXT)); }
    BOOL GetModify() const { return BOOL(SendMessage(EM_GETMODIFY)); }
    void SetModify(BOOL modified = TRUE) { SendMessage(EM_SETMODIFY, WPARAM(modified)); }
    void SetPasswordChar(char16_t ch) { SendMessage(EM_SETPASSWORDCHAR, ch); }
    BOOL CanUndo() const { return BOOL(SendMessage(EM_CANUNDO)); }
    BOOL Undo() { return BOOL(SendMessage(EM_UNDO)); }
    void Clear() { SendMessage(WM_CLEAR); }
    void Copy() { SendMessage(WM_COPY); }
    void Cut() { SendMessage(WM_CUT); }
    void Paste() { SendMessage(WM_PASTE); }
};

// The platform-owned wrapper FromHandle gives a window without an object of
// its own: an object of the MFC class of its window class.
CWnd* AfxNewTempWnd(HWND hwnd);
