// The cell value editor.
#include "app/dialogs/dataeditdlg.h"

#include <algorithm>
#include <climits>
#include <string>

#include "res/dialogs4.h"

namespace {

struct LineEndItem {
    const char16_t* text;
    int type;
};
// The backslashes and letters are part of the texts.
constexpr LineEndItem kLineEnds[] = {{u"CR+LF(\\r\\n)", 1}, {u"LF(\\n)", 2}, {u"CR(\\r)", 3}};

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

} // namespace

BEGIN_MESSAGE_MAP(CDataEditDlg, CDialog)
ON_BN_CLICKED(IDC_CELL_OK, OnOkButton)
ON_CBN_SELENDOK(IDC_DATA_EDIT_LINE_END, OnLineEndChosen)
ON_BN_CLICKED(IDC_DATA_EDIT_WRAP, OnWrapClicked)
END_MESSAGE_MAP()

CDataEditDlg::CDataEditDlg(CWnd* parent) : CDialog(IDD_DATA_EDIT, parent) {}

bool CDataEditDlg::IsModified(const CEditData& data) {
    return data.CurrentStepId() != data.m_savedStepId;
}

bool CDataEditDlg::LoadText(CEditData* data, const char16_t* text, int maxLength) {
    if (!data) return false;
    if (!text) text = u"";
    bool whole = true;
    if (maxLength == INT_MAX) {
        data->InsertTextAtCaret(text);
    } else {
        // The text that fits, with its line breaks as they are.
        std::u16string kept;
        int64_t running = 0;
        const int64_t limit = maxLength;
        for (const char16_t* p = text; *p;) {
            if (*p == u'\r' || *p == u'\n') {
                if (running + 2 > limit) {
                    whole = false;
                    break;
                }
                const char16_t* next = p + ((p[0] == u'\r' && p[1] == u'\n') ? 2 : 1);
                kept.append(p, next);
                running += data->m_lineEndLength;
                p = next;
                continue;
            }
            if (running + 1 > limit) {
                whole = false;
                // Half a surrogate pair is never kept.
                if (!kept.empty() && IsHighSurrogate(kept.back())) kept.pop_back();
                break;
            }
            kept.push_back(*p++);
            running += 1;
        }
        data->InsertTextAtCaret(kept.c_str());
    }
    data->ClearUndo();
    if (!whole) ::MessageBeep(MB_ICONEXCLAMATION);
    return whole;
}

BOOL CDataEditDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    CWinApp* app = AfxGetApp();
    if (m_lineEndType == 0)
        m_lineEndType = static_cast<int>(app->GetProfileInt(u"DATA_EDIT", u"LINE_TYPE", 1));
    for (const LineEndItem& item : kLineEnds) {
        LRESULT i =
            SendDlgItemMessage(IDC_DATA_EDIT_LINE_END, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.text));
        SendDlgItemMessage(IDC_DATA_EDIT_LINE_END, CB_SETITEMDATA, static_cast<WPARAM>(i), item.type);
        if (item.type == m_lineEndType)
            SendDlgItemMessage(IDC_DATA_EDIT_LINE_END, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
    }

    RECT client{}, button{};
    GetClientRect(&client);
    ::GetWindowRect(::GetDlgItem(m_hWnd, IDC_CELL_OK), &button);
    ::ScreenToClient(m_hWnd, reinterpret_cast<POINT*>(&button));
    RECT r{5, 5, client.right - 5, std::max<LONG>(button.top - 5, 6)};
    m_edit.SetData(m_data);
    m_edit.Create(WS_CHILD | WS_VISIBLE | WS_BORDER, r, this, 0);
    if (m_font) m_edit.SetTextFont(m_font);
    if (m_colors) {
        m_edit.SetColor(3, m_colors[0]);
        m_edit.SetColor(0, m_colors[8]);
        m_edit.SetColor(4, m_colors[10]);
        m_edit.SetColor(7, m_colors[3]);
    }
    m_edit.SetOptions(m_options);
    if (m_readOnly) m_edit.SetReadOnly(1);
    HWND editor = m_edit.GetSafeHwnd();
    if (editor) {
        ::SetWindowLongPtrW(editor, GWLP_USERDATA, ::GetWindowLongPtrW(editor, GWLP_WNDPROC));
        ::SetWindowLongPtrW(editor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CDataEditDlg::EditorProc));
    }

    // The narrowest window whose bottom line holds its controls apart: the
    // buttons either side of the centre, the label and the combo right of
    // the cancel button, the check box left of OK.
    auto width = [this](int id) {
        RECT w{};
        ::GetWindowRect(::GetDlgItem(m_hWnd, id), &w);
        return static_cast<int>(w.right - w.left);
    };
    RECT window{};
    GetWindowRect(&window);
    const int frame = (window.right - window.left) - client.right;
    const int right =
        10 + width(IDCANCEL) + 5 + width(IDC_DATA_EDIT_LINE_LABEL) + 5 + width(IDC_DATA_EDIT_LINE_END) + 20;
    const int left = 10 + width(IDC_DATA_EDIT_WRAP) + 5 + width(IDC_CELL_OK);
    m_minWidth = std::max(400, 2 * std::max(right, left) + frame);
    if (window.right - window.left < m_minWidth)
        SetWindowPos(nullptr, 0, 0, m_minWidth, window.bottom - window.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    m_wrap = static_cast<int>(app->GetProfileInt(u"SHOW_DATA_DLG", u"LINE_MODE_RIGHT", 0)) ? 1 : 0;
    CheckDlgButton(IDC_DATA_EDIT_WRAP, m_wrap ? BST_CHECKED : BST_UNCHECKED);
    ApplyWrap();
    if (editor) ::SetFocus(editor);
    if (!m_title.IsEmpty()) SetWindowText(m_title);
    GetClientRect(&client);
    Layout(client.right, client.bottom);
    return FALSE;
}

LRESULT CALLBACK CDataEditDlg::EditorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto own = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    HWND dlg = ::GetParent(hwnd);
    if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
        ::PostMessageW(dlg, DEM_CANCEL, 0, 0);
        return 0;
    }
    if (message == WM_SYSKEYDOWN && wParam == VK_RETURN && ::GetKeyState(VK_MENU) < 0) {
        ::PostMessageW(dlg, DEM_OK, 0, 0);
        return 0;
    }
    return ::CallWindowProcW(own, hwnd, message, wParam, lParam);
}

void CDataEditDlg::ApplyWrap() {
    if (!m_edit.GetSafeHwnd()) return;
    if (m_wrap) {
        RECT r{};
        m_edit.GetClientRect(&r);
        m_edit.SetWrapWidth(std::max<LONG>(r.right - r.left, 1));
    } else {
        m_edit.SetWrapWidth(INT_MAX);
    }
}

void CDataEditDlg::OnLineEndChosen() {
    LRESULT i = SendDlgItemMessage(IDC_DATA_EDIT_LINE_END, CB_GETCURSEL, 0, 0);
    if (i < 0) return;
    const int type = static_cast<int>(
        SendDlgItemMessage(IDC_DATA_EDIT_LINE_END, CB_GETITEMDATA, static_cast<WPARAM>(i), 0));
    if (m_data) m_data->SetLineEndType(static_cast<uint32_t>(type));
    m_lineEndType = type;
}

void CDataEditDlg::OnWrapClicked() {
    m_wrap = IsDlgButtonChecked(IDC_DATA_EDIT_WRAP) == BST_CHECKED ? 1 : 0;
    ApplyWrap();
}

void CDataEditDlg::SaveChoices() {
    CWinApp* app = AfxGetApp();
    app->WriteProfileInt(u"DATA_EDIT", u"LINE_TYPE", m_lineEndType);
    app->WriteProfileInt(u"SHOW_DATA_DLG", u"LINE_MODE_RIGHT", m_wrap);
}

void CDataEditDlg::OnOkButton() {
    SaveChoices();
    EndDialog(IDOK);
}

// Enter belongs to the editor: a line break, never the dialog's end.
void CDataEditDlg::OnOK() {}

void CDataEditDlg::OnCancel() {
    SaveChoices();
    EndDialog(IDCANCEL);
}

void CDataEditDlg::Layout(int cx, int cy) {
    auto place = [&](int id, int x, int w) {
        HWND h = ::GetDlgItem(m_hWnd, id);
        if (!h) return;
        RECT r{};
        ::GetWindowRect(h, &r);
        const int height = r.bottom - r.top;
        ::SetWindowPos(h, nullptr, x, cy - 15 - height, w < 0 ? r.right - r.left : w, height,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    };
    auto width = [&](int id) {
        RECT r{};
        ::GetWindowRect(::GetDlgItem(m_hWnd, id), &r);
        return static_cast<int>(r.right - r.left);
    };
    const int centre = cx / 2;
    place(IDC_DATA_EDIT_WRAP, 10, -1);
    place(IDC_CELL_OK, centre - width(IDC_CELL_OK), -1);
    place(IDCANCEL, centre + 10, -1);
    const int comboX = cx - 20 - width(IDC_DATA_EDIT_LINE_END);
    place(IDC_DATA_EDIT_LINE_END, comboX, -1);
    place(IDC_DATA_EDIT_LINE_LABEL, comboX - 5 - width(IDC_DATA_EDIT_LINE_LABEL), -1);
    if (m_edit.GetSafeHwnd()) {
        RECT button{};
        ::GetWindowRect(::GetDlgItem(m_hWnd, IDC_CELL_OK), &button);
        ::ScreenToClient(m_hWnd, reinterpret_cast<POINT*>(&button));
        m_edit.MoveWindow(5, 5, std::max(cx - 10, 1), std::max<int>(button.top - 10, 1), TRUE);
        if (m_wrap) ApplyWrap();
    }
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

LRESULT CDataEditDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case DEM_CANCEL: OnCancel(); return 0;
    case DEM_OK: OnOkButton(); return 0;
    case DEM_NEXTCONTROL: SendMessage(WM_NEXTDLGCTL, 0, 0); return 0;
    case WM_GETMINMAXINFO: {
        LRESULT r = CDialog::WindowProc(message, wParam, lParam);
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize.x = m_minWidth;
        info->ptMinTrackSize.y = 200;
        return r;
    }
    case WM_SIZE: {
        LRESULT r = CDialog::WindowProc(message, wParam, lParam);
        if (wParam != SIZE_MINIMIZED) Layout(LOWORD(lParam), HIWORD(lParam));
        return r;
    }
    }
    return CDialog::WindowProc(message, wParam, lParam);
}
