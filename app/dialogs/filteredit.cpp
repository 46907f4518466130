#include "app/dialogs/filteredit.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "base/safesave.h"
#include "res/resource.h"

BEGIN_MESSAGE_MAP(CFilterEditCtrl, CComboBox)
ON_WM_DESTROY()
ON_MESSAGE(WM_CTLCOLOREDIT, OnCtlColorEdit)
ON_MESSAGE(WM_CTLCOLORLISTBOX, OnCtlColorEdit)
END_MESSAGE_MAP()

namespace {

// The boxes whose edit fields are subclassed, by edit field.
std::map<HWND, CFilterEditCtrl*>& Boxes() {
    static std::map<HWND, CFilterEditCtrl*> boxes;
    return boxes;
}

bool IsTrimmed(char16_t c) {
    return c == u' ' || c == u'\r' || c == u'\n';
}

} // namespace

BOOL CFilterEditCtrl::Create(const char16_t* historyPath, const RECT& rect, CWnd* parent) {
    m_historyPath = historyPath;
    if (!CComboBox::Create(WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWN | CBS_AUTOHSCROLL,
                           rect, parent, IDC_LOGIN_FILTER))
        return FALSE;
    HWND edit = ::ChildWindowFromPoint(m_hWnd, POINT{10, 10});
    if (edit && edit != m_hWnd) {
        m_editField = edit;
        Boxes()[edit] = this;
        m_editProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditProc)));
    }
    ResetContent();
    ReadHistory();
    return TRUE;
}

LRESULT CFilterEditCtrl::EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto it = Boxes().find(hwnd);
    CFilterEditCtrl* box = it == Boxes().end() ? nullptr : it->second;
    if (!box) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_RBUTTONDOWN) {
        ::SetFocus(hwnd);
    } else if (message == WM_CONTEXTMENU) {
        HMENU menu = ::LoadMenuW(nullptr, MAKEINTRESOURCEW(IDR_LOGIN_FILTER_MENU));
        if (menu) {
            HWND dialog = ::GetParent(box->m_hWnd);
            ::TrackPopupMenu(::GetSubMenu(menu, 0), TPM_RIGHTBUTTON, GET_X_LPARAM(lParam),
                             GET_Y_LPARAM(lParam), 0, dialog, nullptr);
            ::DestroyMenu(menu);
        }
        return 0;
    }
    return ::CallWindowProcW(box->m_editProc, hwnd, message, wParam, lParam);
}

CString CFilterEditCtrl::GetText() const {
    CString text;
    const int n = GetWindowTextLength();
    if (n > 0) {
        GetWindowText(text.GetBuffer(n), n + 1);
        text.ReleaseBuffer(n);
    }
    return text;
}

CString CFilterEditCtrl::GetFilterText() {
    return m_hWnd && IsWindowVisible() ? GetText() : CString();
}

void CFilterEditCtrl::AddCurrentText() {
    m_dirty = 1;
    const CString text = GetText();
    if (text.IsEmpty() || text.GetLength() >= kMaxEntryLength) return;
    RemoveEntry(text);
    InsertString(0, text);
    while (GetCount() > kMaxWritten) DeleteString(kMaxWritten);
    SetCurSel(0);
}

void CFilterEditCtrl::RemoveEntry(const CString& text) {
    m_dirty = 1;
    if (text.IsEmpty()) return;
    const int n = std::min(GetCount(), kMaxWritten);
    for (int i = 0; i < n; ++i) {
        CString entry;
        GetLBText(i, entry);
        if (entry == text) {
            DeleteString(i);
            return;
        }
    }
}

void CFilterEditCtrl::ReadHistory() {
    FILE* f = _wfopen(m_historyPath, u"rb");
    if (!f) return;
    std::vector<char16_t> units;
    unsigned char pair[2];
    while (fread(pair, 1, 2, f) == 2) units.push_back(static_cast<char16_t>(pair[0] | (pair[1] << 8)));
    fclose(f);
    // Lines as a wide-text reader gives them: at most 1023 units at a time.
    size_t i = 0;
    while (i < units.size()) {
        std::u16string piece;
        while (i < units.size() && piece.size() < 1023) {
            piece += units[i++];
            if (piece.back() == u'\n') break;
        }
        if (piece.empty() || piece[0] == 0) continue;
        size_t end = piece.size();
        while (end > 0 && IsTrimmed(piece[end - 1])) --end;
        piece.resize(end);
        if (!piece.empty() && piece.size() < static_cast<size_t>(kMaxEntryLength)) AddString(piece.c_str());
    }
}

void CFilterEditCtrl::WriteHistory() {
    // Written beside the old history, which it replaces only when whole: a
    // failure keeps the old one.
    SafeSave save;
    if (!safesave_begin(&save, m_historyPath)) return;
    FILE* f = _wfopen(save.temp_path, u"wb");
    if (!f) return;
    std::string bytes;
    const int n = std::min(GetCount(), kMaxWritten);
    for (int i = 0; i < n; ++i) {
        CString entry;
        GetLBText(i, entry);
        std::u16string line = std::u16string(entry.GetString()) + u"\n";
        for (char16_t c : line) {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>(c >> 8);
        }
    }
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = fclose(f) == 0 && ok;
    if (ok) safesave_commit(&save);
}

void CFilterEditCtrl::OnDestroy() {
    if (m_dirty == 1) WriteHistory();
    if (m_editField) {
        ::SetWindowLongPtrW(m_editField, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_editProc));
        Boxes().erase(m_editField);
        m_editField = nullptr;
    }
    CComboBox::OnDestroy();
}

LRESULT CFilterEditCtrl::OnCtlColorEdit(WPARAM wParam, LPARAM) {
    LRESULT brush = Default();
    if (m_patternValid == 0) ::SetTextColor(reinterpret_cast<HDC>(wParam), RGB(255, 0, 0));
    return brush;
}
