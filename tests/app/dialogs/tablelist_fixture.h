// The table-selection dialog run modally on the DEMO database and driven
// from its modal loop.
#pragma once

#include "app/dialogs/tablelistdlg.h"
#include "dialog_fixture.h"
#include "res/tablelist.h"

namespace dlgtest {

inline std::vector<std::u16string> ListTexts(HWND list, int col = 0) {
    std::vector<std::u16string> out;
    auto* l = static_cast<CListCtrl*>(CWnd::FromHandle(list));
    for (int i = 0; i < l->GetItemCount(); ++i) out.push_back(l->GetItemText(i, col).GetString());
    return out;
}
inline std::vector<int> ListSelected(HWND list) {
    std::vector<int> out;
    auto* l = static_cast<CListCtrl*>(CWnd::FromHandle(list));
    for (int i = l->GetNextItem(-1, LVNI_SELECTED); i >= 0; i = l->GetNextItem(i, LVNI_SELECTED))
        out.push_back(i);
    return out;
}
inline int ListFind(HWND list, const std::u16string& text) {
    auto t = ListTexts(list);
    for (size_t i = 0; i < t.size(); ++i)
        if (t[i] == text) return int(i);
    return -1;
}
inline void ListSelect(HWND list, int item, bool only = true) {
    auto* l = static_cast<CListCtrl*>(CWnd::FromHandle(list));
    if (only)
        for (int i = 0; i < l->GetItemCount(); ++i) l->SetItemState(i, 0, LVIS_SELECTED);
    l->SetItemState(item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}
inline bool Enabled(HWND dlg, int id) {
    return IsWindowEnabled(GetDlgItem(dlg, id)) != FALSE;
}
inline std::u16string ComboSelection(HWND dlg) {
    auto* c = static_cast<CComboBox*>(CWnd::FromHandle(GetDlgItem(dlg, IDC_TL_OWNER)));
    CString s;
    if (c->GetCurSel() >= 0) c->GetLBText(c->GetCurSel(), s);
    return s.GetString();
}
inline std::vector<std::u16string> ComboItems(HWND dlg) {
    auto* c = static_cast<CComboBox*>(CWnd::FromHandle(GetDlgItem(dlg, IDC_TL_OWNER)));
    std::vector<std::u16string> out;
    for (int i = 0; i < c->GetCount(); ++i) {
        CString s;
        c->GetLBText(i, s);
        out.push_back(s.GetString());
    }
    return out;
}

class TableDlgTest : public DemoTest {
public:
    std::unique_ptr<CTableListDlg> dlg;
    void SetUp() override {
        DemoTest::SetUp();
        dlg = std::make_unique<CTableListDlg>();
        dlg->m_session = s;
        dlg->m_owner = u"DEMO";
        dlg->m_token = &theSqlStrToken;
    }
    void TearDown() override {
        if (dlg && dlg->m_result) {
            oci_free_dataset(dlg->m_result);
            delete dlg->m_result;
        }
        dlg.reset();
        DemoTest::TearDown();
    }
    // Runs the dialog; body runs once in its loop (it may end the dialog).
    INT_PTR Run(std::function<void(HWND)> body) {
        tvtest::ExpectDialog(u"テーブル選択(検索条件設定)", [body](HWND h) {
            body(h);
            return true;
        });
        return dlg->DoModal();
    }
    // Types into the condition editor after a click into it.
    void TypeWhere(const std::u16string& text) {
        HWND ed = dlg->WhereEditor().GetSafeHwnd();
        RECT r;
        GetClientRect(ed, &r);
        tvtest::Click(ed, r.right - 5, r.bottom - 5);
        tvtest::Type(ed, text);
        tvtest::Pump();
    }
    std::string Where() { return WideToUtf8(dlg->WhereData().GetAllText().GetString()); }
};

} // namespace dlgtest
