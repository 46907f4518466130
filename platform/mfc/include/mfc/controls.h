// The MFC classes of the standard controls: thin wrappers of their messages.
#pragma once
// Like MFC's, the window classes here declare Create and CreateEx with their
// own parameters, hiding CWnd's on purpose: a control is made through its own
// form only. clang warns of each such hiding; the hiding is the interface.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Woverloaded-virtual"
#endif

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
    // Lines of a multi-line edit (one line otherwise).
    int GetLineCount() const { return int(SendMessage(EM_GETLINECOUNT)); }
    int LineIndex(int line = -1) const { return int(SendMessage(EM_LINEINDEX, WPARAM(line))); }
    int LineLength(int index = -1) const { return int(SendMessage(EM_LINELENGTH, WPARAM(index))); }
    int LineFromChar(int index = -1) const { return int(SendMessage(EM_LINEFROMCHAR, WPARAM(index))); }
    int GetFirstVisibleLine() const { return int(SendMessage(EM_GETFIRSTVISIBLELINE)); }
    void LineScroll(int lines, int chars = 0) { SendMessage(EM_LINESCROLL, WPARAM(chars), LPARAM(lines)); }
};

// The platform-owned wrapper FromHandle gives a window without an object of
// its own: an object of the MFC class of its window class.
CWnd* AfxNewTempWnd(HWND hwnd);

#include "win32/commctrl.h"

class CListCtrl : public CWnd {
    DECLARE_DYNAMIC(CListCtrl)
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
        return CWnd::Create(WC_LISTVIEWW, nullptr, style, rect, parent, id);
    }
    DWORD SetExtendedStyle(DWORD style) {
        return DWORD(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LPARAM(style)));
    }
    DWORD GetExtendedStyle() const { return DWORD(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
    int InsertColumn(int col, LPCWSTR heading, int format = LVCFMT_LEFT, int width = -1, int subItem = -1) {
        LVCOLUMNW c{LVCF_TEXT | LVCF_FMT, format, width, const_cast<LPWSTR>(heading), 0, subItem};
        if (width >= 0) c.mask |= LVCF_WIDTH;
        return int(SendMessage(LVM_INSERTCOLUMNW, WPARAM(col), reinterpret_cast<LPARAM>(&c)));
    }
    BOOL DeleteColumn(int col) { return BOOL(SendMessage(LVM_DELETECOLUMN, WPARAM(col))); }
    BOOL SetColumnWidth(int col, int cx) {
        return BOOL(SendMessage(LVM_SETCOLUMNWIDTH, WPARAM(col), MAKELPARAM(cx, 0)));
    }
    int GetColumnWidth(int col) const { return int(SendMessage(LVM_GETCOLUMNWIDTH, WPARAM(col))); }
    int GetItemCount() const { return int(SendMessage(LVM_GETITEMCOUNT)); }
    int InsertItem(int item, LPCWSTR text) {
        LVITEMW it{LVIF_TEXT, item, 0, 0, 0, const_cast<LPWSTR>(text), 0, 0, 0, 0};
        return int(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it)));
    }
    int InsertItem(const LVITEMW* item) {
        return int(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(item)));
    }
    BOOL SetItemText(int item, int sub, LPCWSTR text) {
        LVITEMW it{0, item, sub, 0, 0, const_cast<LPWSTR>(text), 0, 0, 0, 0};
        return BOOL(SendMessage(LVM_SETITEMTEXTW, WPARAM(item), reinterpret_cast<LPARAM>(&it)));
    }
    CString GetItemText(int item, int sub) const {
        CString s;
        LVITEMW it{0, item, sub, 0, 0, s.GetBuffer(1024), 1025, 0, 0, 0};
        int n = int(SendMessage(LVM_GETITEMTEXTW, WPARAM(item), reinterpret_cast<LPARAM>(&it)));
        s.ReleaseBuffer(n);
        return s;
    }
    BOOL SetItemData(int item, DWORD_PTR data) {
        LVITEMW it{LVIF_PARAM, item, 0, 0, 0, nullptr, 0, 0, LPARAM(data), 0};
        return BOOL(SendMessage(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&it)));
    }
    DWORD_PTR GetItemData(int item) const {
        LVITEMW it{LVIF_PARAM, item, 0, 0, 0, nullptr, 0, 0, 0, 0};
        SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
        return DWORD_PTR(it.lParam);
    }
    BOOL SetItemState(int item, UINT state, UINT mask) {
        LVITEMW it{LVIF_STATE, item, 0, state, mask, nullptr, 0, 0, 0, 0};
        return BOOL(SendMessage(LVM_SETITEMSTATE, WPARAM(item), reinterpret_cast<LPARAM>(&it)));
    }
    UINT GetItemState(int item, UINT mask) const {
        return UINT(SendMessage(LVM_GETITEMSTATE, WPARAM(item), LPARAM(mask)));
    }
    int GetNextItem(int item, int flags) const {
        return int(SendMessage(LVM_GETNEXTITEM, WPARAM(item), LPARAM(flags)));
    }
    UINT GetSelectedCount() const { return UINT(SendMessage(LVM_GETSELECTEDCOUNT)); }
    BOOL EnsureVisible(int item, BOOL partialOk) {
        return BOOL(SendMessage(LVM_ENSUREVISIBLE, WPARAM(item), LPARAM(partialOk)));
    }
    BOOL DeleteItem(int item) { return BOOL(SendMessage(LVM_DELETEITEM, WPARAM(item))); }
    BOOL DeleteAllItems() { return BOOL(SendMessage(LVM_DELETEALLITEMS)); }
    BOOL SortItems(PFNLVCOMPARE compare, DWORD_PTR data) {
        return BOOL(SendMessage(LVM_SORTITEMS, WPARAM(data), reinterpret_cast<LPARAM>(compare)));
    }
    int GetTopIndex() const { return int(SendMessage(LVM_GETTOPINDEX)); }
    int GetCountPerPage() const { return int(SendMessage(LVM_GETCOUNTPERPAGE)); }
    void SetRedraw(BOOL redraw = TRUE) { SendMessage(WM_SETREDRAW, WPARAM(redraw)); }
};

class CProgressCtrl : public CWnd {
    DECLARE_DYNAMIC(CProgressCtrl)
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
        return CWnd::Create(PROGRESS_CLASSW, nullptr, style, rect, parent, id);
    }
    void SetRange32(int low, int high) { SendMessage(PBM_SETRANGE32, WPARAM(low), LPARAM(high)); }
    int SetPos(int pos) { return int(SendMessage(PBM_SETPOS, WPARAM(pos))); }
    int GetPos() const { return int(SendMessage(PBM_GETPOS)); }
    int SetStep(int step) { return int(SendMessage(PBM_SETSTEP, WPARAM(step))); }
    int StepIt() { return int(SendMessage(PBM_STEPIT)); }
};

class CSpinButtonCtrl : public CWnd {
    DECLARE_DYNAMIC(CSpinButtonCtrl)
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
        return CWnd::Create(UPDOWN_CLASSW, nullptr, style, rect, parent, id);
    }
    void SetRange32(int low, int high) { SendMessage(UDM_SETRANGE32, WPARAM(low), LPARAM(high)); }
    int SetPos(int pos) { return int(SendMessage(UDM_SETPOS, 0, MAKELPARAM(pos, 0))); }
    int GetPos() const { return int(SendMessage(UDM_GETPOS)); }
};

class CComboBox : public CWnd {
    DECLARE_DYNAMIC(CComboBox)
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
        return CWnd::Create(u"ComboBox", nullptr, style, rect, parent, id);
    }
    int AddString(LPCWSTR s) { return int(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s))); }
    int InsertString(int index, LPCWSTR s) {
        return int(SendMessage(CB_INSERTSTRING, WPARAM(index), reinterpret_cast<LPARAM>(s)));
    }
    int DeleteString(UINT index) { return int(SendMessage(CB_DELETESTRING, index)); }
    void ResetContent() { SendMessage(CB_RESETCONTENT); }
    int GetCount() const { return int(SendMessage(CB_GETCOUNT)); }
    int GetCurSel() const { return int(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int index) { return int(SendMessage(CB_SETCURSEL, WPARAM(index))); }
    int GetLBTextLen(int index) const { return int(SendMessage(CB_GETLBTEXTLEN, WPARAM(index))); }
    void GetLBText(int index, CString& out) const {
        int n = GetLBTextLen(index);
        if (n < 0) {
            out.Empty();
            return;
        }
        LPWSTR buf = out.GetBuffer(n);
        SendMessage(CB_GETLBTEXT, WPARAM(index), reinterpret_cast<LPARAM>(buf));
        out.ReleaseBuffer(n);
    }
    int FindString(int start, LPCWSTR s) const {
        return int(SendMessage(CB_FINDSTRING, WPARAM(start), reinterpret_cast<LPARAM>(s)));
    }
    int FindStringExact(int start, LPCWSTR s) const {
        return int(SendMessage(CB_FINDSTRINGEXACT, WPARAM(start), reinterpret_cast<LPARAM>(s)));
    }
    int SelectString(int start, LPCWSTR s) {
        return int(SendMessage(CB_SELECTSTRING, WPARAM(start), reinterpret_cast<LPARAM>(s)));
    }
    int SetItemData(int index, DWORD_PTR data) {
        return int(SendMessage(CB_SETITEMDATA, WPARAM(index), LPARAM(data)));
    }
    DWORD_PTR GetItemData(int index) const { return DWORD_PTR(SendMessage(CB_GETITEMDATA, WPARAM(index))); }
    void ShowDropDown(BOOL show = TRUE) { SendMessage(CB_SHOWDROPDOWN, WPARAM(show)); }
    BOOL GetDroppedState() const { return BOOL(SendMessage(CB_GETDROPPEDSTATE)); }
    BOOL LimitText(int max) { return BOOL(SendMessage(CB_LIMITTEXT, WPARAM(max))); }
    BOOL SetEditSel(int start, int end) {
        return BOOL(SendMessage(CB_SETEDITSEL, 0, MAKELPARAM(start, end)));
    }
};

#if defined(__clang__)
#pragma clang diagnostic pop
#endif
