// The one-line input dialog through real input: its controls where the
// dialog puts them, OK taking the typed text, Cancel leaving the member.
#include "settings_fixture.h"

#include "app/dialogs/inputdlg.h"

namespace {

using dlgtest::SettingsTest;

RECT ChildRect(HWND dlg, int id) {
    RECT r{};
    HWND child = GetDlgItem(dlg, id);
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

TEST_F(SettingsTest, InputDialogControlsTextAndButtons) {
    CInputDlg dlg;
    dlg.m_title = u"列幅";
    dlg.m_text = u"120";
    tvtest::ExpectDialog(u"列幅", [](HWND h) -> bool {
        RECT window{}, client{};
        GetWindowRect(h, &window);
        GetClientRect(h, &client);
        // The controls were placed on the template's client width; the
        // window then grew to that width plus its frames and 10.
        const int w = (window.right - window.left) - 2 * GetSystemMetrics(SM_CXDLGFRAME) - 10;
        EXPECT_EQ(window.bottom - window.top,
                  GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYDLGFRAME) + 93);
        RECT e = ChildRect(h, CInputDlg::IDC_INPUT_EDIT);
        EXPECT_EQ(e.left, 10);
        EXPECT_EQ(e.top, 15);
        EXPECT_EQ(e.right, w - 10);
        EXPECT_EQ(e.bottom, 39);
        RECT ok = ChildRect(h, IDOK), cancel = ChildRect(h, IDCANCEL);
        EXPECT_EQ(ok.left, w / 2 - 90);
        EXPECT_EQ(ok.top, 49);
        EXPECT_EQ(ok.right, w / 2 - 10);
        EXPECT_EQ(ok.bottom, 73);
        EXPECT_EQ(cancel.left, w / 2 + 10);
        EXPECT_EQ(cancel.right, w / 2 + 90);
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(h, IDOK)), u"OK");
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(h, IDCANCEL)), u"CANCEL");
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(h, CInputDlg::IDC_INPUT_EDIT)), u"120");
        // The edit has the focus with its text selected: typing replaces it.
        EXPECT_EQ(GetFocus(), GetDlgItem(h, CInputDlg::IDC_INPUT_EDIT));
        tvtest::Type(GetDlgItem(h, CInputDlg::IDC_INPUT_EDIT), u"80");
        tvtest::ClickControl(h, IDOK);
        return true;
    });
    EXPECT_EQ(dlg.RunModal(nullptr), IDOK);
    EXPECT_EQ(WideToUtf8(dlg.m_text.GetString()), "80");

    CInputDlg again;
    again.m_title = u"入力";
    again.m_text = u"abc";
    tvtest::ExpectDialog(u"入力", [](HWND h) -> bool {
        tvtest::TypeInto(h, CInputDlg::IDC_INPUT_EDIT, u"xyz");
        tvtest::ClickControl(h, IDCANCEL);
        return true;
    });
    EXPECT_EQ(again.RunModal(nullptr), IDCANCEL);
    EXPECT_EQ(WideToUtf8(again.m_text.GetString()), "abc");
}

} // namespace
