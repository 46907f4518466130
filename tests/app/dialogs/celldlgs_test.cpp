// The sequence, row-count, sort and BFILE dialogs through real input.
#include "settings_fixture.h"

#include "app/dialogs/celldlgs.h"
#include "grid/strgrid.h"
#include "res/dialogs4.h"

namespace {

using dlgtest::SettingsTest;

bool Enabled(HWND h, int id) {
    return ::IsWindowEnabled(::GetDlgItem(h, id)) != FALSE;
}

void Retype(HWND h, int id, const std::u16string& text) {
    ::SetDlgItemTextW(h, id, u"");
    tvtest::TypeInto(h, id, text);
}

TEST(SequenceNumbers, SignedSixtyFourBitsWithBlanksAround) {
    int64_t v = 0;
    EXPECT_TRUE(CInputSequenceDlg::ParseInt64(u"5000000000", &v));
    EXPECT_EQ(v, 5000000000LL);
    EXPECT_TRUE(CInputSequenceDlg::ParseInt64(u"  -2 ", &v));
    EXPECT_EQ(v, -2);
    EXPECT_TRUE(CInputSequenceDlg::ParseInt64(u"+7", &v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(CInputSequenceDlg::ParseInt64(u"-9223372036854775808", &v));
    EXPECT_EQ(v, INT64_MIN);
    EXPECT_TRUE(CInputSequenceDlg::ParseInt64(u"9223372036854775807", &v));
    EXPECT_EQ(v, INT64_MAX);
    for (const char16_t* bad : {u"1.5", u"1 2", u"-", u"", u"  ", u"9223372036854775808",
                                u"-9223372036854775809", u"１", u"1e3", u"--1", u"0x10"})
        EXPECT_FALSE(CInputSequenceDlg::ParseInt64(bad, &v)) << WideToUtf8(bad);
}

TEST_F(SettingsTest, SequenceDialogShowsAndReadsSixtyFourBits) {
    CInputSequenceDlg dlg;
    dlg.m_start = 5000000000LL;
    dlg.m_step = -2;
    tvtest::ExpectDialog(u"連番を入力", [](HWND h) -> bool {
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(h, IDC_SEQ_START)), u"5000000000");
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(h, IDC_SEQ_STEP)), u"-2");
        EXPECT_TRUE(Enabled(h, IDOK));
        for (const char16_t* bad : {u"1.5", u"1 2", u"-"}) {
            Retype(h, IDC_SEQ_STEP, bad);
            EXPECT_FALSE(Enabled(h, IDOK)) << WideToUtf8(bad);
        }
        Retype(h, IDC_SEQ_STEP, u" -3 ");
        EXPECT_TRUE(Enabled(h, IDOK));
        Retype(h, IDC_SEQ_START, u"-5");
        tvtest::ClickControl(h, IDOK);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_start, -5);
    EXPECT_EQ(dlg.m_step, -3);
}

TEST_F(SettingsTest, RowCountStartsAtOneAndNeedsMoreThanNothing) {
    CInsertRowsDlg dlg;
    dlg.m_count = 0;
    tvtest::ExpectDialog(u"レコード追加(複数行)", [](HWND h) -> bool {
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(h, IDC_ROWS_COUNT)), u"1");
        EXPECT_TRUE(Enabled(h, IDOK));
        Retype(h, IDC_ROWS_COUNT, u"0");
        EXPECT_FALSE(Enabled(h, IDOK));
        ::SetDlgItemTextW(h, IDC_ROWS_COUNT, u"");
        EXPECT_FALSE(Enabled(h, IDOK));
        Retype(h, IDC_ROWS_COUNT, u"25");
        EXPECT_TRUE(Enabled(h, IDOK));
        tvtest::ClickControl(h, IDOK);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_count, 25);
}

TEST_F(SettingsTest, SortDialogPacksTheChosenKeys) {
    CStrGridData model;
    model.AllocArrays(1, 3);
    model.m_colNames[0] = u"社員番号";
    model.m_colNames[1] = u"氏名";
    model.m_colNames[2] = u"給与";
    int keys[5] = {1, -1, -1, -1, -1}, orders[5] = {1, 1, 1, 1, 1};
    CGridSortDlg dlg;
    dlg.m_gridData = &model;
    dlg.m_keys = keys;
    dlg.m_orders = orders;
    dlg.m_keyCount = 1;
    tvtest::ExpectDialog(u"Gridのソート", [](HWND h) -> bool {
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(h, IDC_SORT_KEY1)), u"氏名");
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(h, IDC_SORT_KEY2)), u"");
        EXPECT_EQ(IsDlgButtonChecked(h, IDC_SORT_ASC3), UINT(BST_CHECKED));
        EXPECT_TRUE(Enabled(h, IDOK));
        // Only the third list set: one key.
        tvtest::Choose(h, IDC_SORT_KEY1, u"");
        EXPECT_FALSE(Enabled(h, IDOK));
        tvtest::Choose(h, IDC_SORT_KEY3, u"給与");
        tvtest::ClickControl(h, IDC_SORT_DESC3);
        EXPECT_TRUE(Enabled(h, IDOK));
        tvtest::Pump();
        EXPECT_TRUE(tvtest::SavePng(h, std::string(TAVRELIX_BIN_DIR) + "/../sortdlg.png"));
        tvtest::ClickControl(h, IDOK);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_keyCount, 1);
    EXPECT_EQ(keys[0], 2);
    EXPECT_EQ(orders[0], -1);

    // No key at all: the message, and the dialog stays.
    keys[0] = -1;
    dlg.m_keyCount = 0;
    tvtest::ExpectDialog(u"Gridのソート", [](HWND h) -> bool {
        EXPECT_FALSE(Enabled(h, IDOK));
        tvtest::AnswerBox(IDOK);
        ::SendMessageW(h, WM_COMMAND, IDOK, 0); // Enter
        EXPECT_TRUE(IsWindowVisible(h));
        tvtest::ClickControl(h, IDCANCEL);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    ASSERT_EQ(tvtest::Boxes().size(), 1u);
    EXPECT_EQ(tvtest::Boxes()[0].text, u"ソート条件が無効です");
}

TEST_F(SettingsTest, BfileDialogReadsAndWritesTheLocatorText) {
    CBfileDlg dlg;
    dlg.m_value = u"<BFILE dir_alias:DEMO_DIR file_name:readme.txt exists>";
    tvtest::ExpectDialog(u"BFILE Update", [](HWND h) -> bool {
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(h, IDC_BFILE_ALIAS)), u"DEMO_DIR");
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(h, IDC_BFILE_NAME)), u"readme.txt");
        EXPECT_TRUE(Enabled(h, IDC_CELL_OK));
        ::SetDlgItemTextW(h, IDC_BFILE_NAME, u"");
        EXPECT_FALSE(Enabled(h, IDC_CELL_OK));
        const std::u16string longName(600, u'n');
        tvtest::TypeInto(h, IDC_BFILE_NAME, longName + u".txt");
        EXPECT_TRUE(Enabled(h, IDC_CELL_OK));
        tvtest::ClickControl(h, IDC_CELL_OK);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_value.str(),
              u"<BFILE dir_alias:DEMO_DIR file_name:" + std::u16string(600, u'n') + u".txt update>");

    // Not a locator: both edits empty.
    CBfileDlg other;
    other.m_value = u"(null)";
    tvtest::ExpectDialog(u"BFILE Update", [](HWND h) -> bool {
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(h, IDC_BFILE_ALIAS)), u"");
        EXPECT_FALSE(Enabled(h, IDC_CELL_OK));
        tvtest::ClickControl(h, IDCANCEL);
        return true;
    });
    EXPECT_EQ(other.DoModal(), IDCANCEL);
    EXPECT_EQ(other.m_value, u"(null)");
    CString a, f;
    EXPECT_FALSE(CBfileDlg::ParseValue(u"<BFILE dir_alias: file_name:x y>", &a, &f));
    EXPECT_FALSE(CBfileDlg::ParseValue(u"<BFILE dir_alias:D file_name:x>", &a, &f));
    EXPECT_TRUE(CBfileDlg::ParseValue(u"<BFILE dir_alias:D file_name:dir/x.txt exists>", &a, &f));
    EXPECT_EQ(f, u"dir/x.txt");
    // A name holding a NUL is no locator (the boxes would show it cut).
    const std::u16string nul(u"<BFILE dir_alias:D file_name:re\0me.txt exists>", 46);
    EXPECT_FALSE(CBfileDlg::ParseValue(CString(std::u16string_view(nul)), &a, &f));
}

} // namespace
