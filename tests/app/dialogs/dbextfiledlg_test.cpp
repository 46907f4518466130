// The export's save dialog: its panel filled from the members, read back on
// the confirmed name; auto-detect only when reading; an unknown stored code.
#include "settings_fixture.h"

#include "app/dialogs/dbextfiledlg.h"
#include "res/dialogs4.h"
#include "testing/framework.h"

namespace {

using dlgtest::SettingsTest;

std::vector<std::u16string> Entries(HWND panel, int id) {
    std::vector<std::u16string> out;
    auto* c = static_cast<CComboBox*>(CWnd::FromHandle(GetDlgItem(panel, id)));
    for (int i = 0; i < c->GetCount(); ++i) {
        CString s;
        c->GetLBText(i, s);
        out.push_back(s.str());
    }
    return out;
}

TEST_F(SettingsTest, ExportPanelOptionsInAndOut) {
    const std::u16string path = Utf8ToWide((home / "out.csv").c_str());
    CDBExtFileDialog dlg(FALSE, u"csv", nullptr, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST,
                         u"CSV Files (*.csv)|*.csv|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||");
    dlg.charCode = 9; // auto-detect is not for writing
    dlg.lineEnd = 2;
    dlg.putDoubleQuote = 1;
    dlg.putColumnName = 0;
    tvtest::AnswerFile(path, -1, [&](HWND panel) {
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(Entries(panel, IDC_EXT_CHAR_CODE),
                  (std::vector<std::u16string>{u"SJIS", u"EUC", u"JIS", u"UNICODE", u"UNICODE(no signature)",
                                               u"UTF16BE", u"UTF16BE(no signature)", u"UTF8",
                                               u"UTF8(no signature)"}));
        EXPECT_EQ(Entries(panel, IDC_EXT_LINE_END),
                  (std::vector<std::u16string>{u"CR+LF(\\r\\n)", u"LF(\\n)", u"CR(\\r)"}));
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(panel, IDC_EXT_CHAR_CODE)), u"SJIS");
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(panel, IDC_EXT_LINE_END)), u"CR+LF(\\r\\n)");
        EXPECT_EQ(IsDlgButtonChecked(panel, IDC_EXT_DQUOTE), UINT(BST_CHECKED));
        EXPECT_EQ(IsDlgButtonChecked(panel, IDC_EXT_COLUMN_NAME), UINT(BST_UNCHECKED));
        tvtest::Choose(panel, IDC_EXT_CHAR_CODE, u"UTF8(no signature)");
        tvtest::Choose(panel, IDC_EXT_LINE_END, u"LF(\\n)");
        tvtest::Tick(panel, IDC_EXT_COLUMN_NAME);
    });
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.GetPathName().str(), path);
    EXPECT_EQ(dlg.charCode, 8);
    EXPECT_EQ(dlg.lineEnd, 2);
    EXPECT_EQ(dlg.putDoubleQuote, 1);
    EXPECT_EQ(dlg.putColumnName, 1);

    // Reading offers "自動判別" first; a code not in the list selects
    // nothing and the member keeps its value.
    CDBExtFileDialog reading(TRUE, nullptr, nullptr, OFN_PATHMUSTEXIST, u"All Files (*.*)|*.*||");
    reading.allowAutoDetect = 1;
    reading.charCode = 4;
    reading.lineEnd = 3;
    std::ofstream(home / "in.txt") << "x\n";
    tvtest::AnswerFile(Utf8ToWide((home / "in.txt").c_str()), -1, [](HWND panel) {
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(Entries(panel, IDC_EXT_CHAR_CODE).front(), u"自動判別");
        EXPECT_EQ(Entries(panel, IDC_EXT_CHAR_CODE).size(), 10u);
        EXPECT_EQ(SendDlgItemMessageW(panel, IDC_EXT_CHAR_CODE, CB_GETCURSEL, 0, 0), CB_ERR);
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(panel, IDC_EXT_LINE_END)), u"CR(\\r)");
    });
    ASSERT_EQ(reading.DoModal(), IDOK);
    EXPECT_EQ(reading.charCode, 4);
    EXPECT_EQ(reading.lineEnd, 3);

    // Cancelled: the members stay.
    CDBExtFileDialog cancelled(FALSE, u"csv");
    cancelled.charCode = 2;
    tvtest::AnswerFile(u"");
    EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
    EXPECT_EQ(cancelled.charCode, 2);
}

} // namespace
