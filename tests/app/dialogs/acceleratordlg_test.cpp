// "キー割り当て" through real input: the capture box names the pressed keys,
// the enabling of "割り当て" and "解除", moving and removing a binding, the
// question before the defaults; a picture of the dialog.
#include "settings_fixture.h"
#include "tablelist_fixture.h"

#include "app/dialogs/acceleratordlg.h"
#include "res/dialogs4.h"
#include "res/resource.h"

namespace {

using dlgtest::SettingsTest;
constexpr unsigned kCtrl = static_cast<unsigned>(qtplatform::Mods::Ctrl);
constexpr unsigned kShift = static_cast<unsigned>(qtplatform::Mods::Shift);

std::u16string Cell(HWND list, int row, int sub) {
    return static_cast<CListCtrl*>(CWnd::FromHandle(list))->GetItemText(row, sub).str();
}

int Rows(HWND list) {
    return static_cast<CListCtrl*>(CWnd::FromHandle(list))->GetItemCount();
}

int RowOf(HWND list, const std::u16string& text) {
    for (int i = 0; i < Rows(list); ++i)
        if (Cell(list, i, 0) == text) return i;
    return -1;
}

std::u16string Keys(HWND list) {
    std::u16string out;
    for (int i = 0; i < Rows(list); ++i) out += (i ? u"|" : u"") + Cell(list, i, 0);
    return out;
}

TEST_F(SettingsTest, KeyDialogCapturesAssignsMovesAndRemoves) {
    CAcceleratorDlg dlg;
    dlg.m_table.LoadDefaults();
    tvtest::ExpectDialog(u"キー割り当て", [](HWND h) -> bool {
        HWND cats = GetDlgItem(h, IDC_ACCEL_CATEGORIES), cmds = GetDlgItem(h, IDC_ACCEL_COMMANDS),
             keys = GetDlgItem(h, IDC_ACCEL_KEYS), capture = GetDlgItem(h, IDC_ACCEL_CAPTURE);
        EXPECT_EQ(Keys(cats), u"ファイル|編集|データ|表示|ツール|ヘルプ");
        EXPECT_EQ(Rows(cmds), 0);
        EXPECT_EQ(Rows(keys), 0);
        EXPECT_FALSE(dlgtest::Enabled(h, IDC_ACCEL_ASSIGN));
        EXPECT_FALSE(dlgtest::Enabled(h, IDC_ACCEL_REMOVE));

        dlgtest::ListSelect(cats, 1);
        EXPECT_EQ(Rows(cmds), 33);
        const int copy = RowOf(cmds, u"コピー"), next = RowOf(cmds, u"次を検索"), find = RowOf(cmds, u"検索");
        EXPECT_GE(copy, 0);
        EXPECT_GE(next, 0);
        EXPECT_GE(find, 0);
        if (copy < 0 || next < 0 || find < 0) return true;
        EXPECT_EQ(Cell(cmds, copy, 2), u"Ctrl+C, Ctrl+INSERT");
        EXPECT_EQ(Cell(cmds, next, 1), u"次を検索します");
        EXPECT_EQ(Cell(cmds, next, 2), u"F3");
        dlgtest::ListSelect(cmds, next);
        EXPECT_EQ(Keys(keys), u"F3");

        // Keys pressed in the capture box: a lone modifier and a plain letter
        // cannot be assigned, a function key can.
        tvtest::ClickControl(h, IDC_ACCEL_CAPTURE);
        tvtest::KeyDown(capture, qtplatform::Key_Control, kCtrl);
        EXPECT_EQ(tvtest::TextOf(capture), u"Ctrl+");
        EXPECT_FALSE(dlgtest::Enabled(h, IDC_ACCEL_ASSIGN));
        tvtest::KeyUp(capture, qtplatform::Key_Control);
        tvtest::Key(capture, 'A', 0, u"a");
        EXPECT_EQ(tvtest::TextOf(capture), u"A"); // the character was swallowed
        EXPECT_FALSE(dlgtest::Enabled(h, IDC_ACCEL_ASSIGN));
        tvtest::Key(capture, qtplatform::Key_F1 + 1);
        EXPECT_EQ(tvtest::TextOf(capture), u"F2");
        EXPECT_TRUE(dlgtest::Enabled(h, IDC_ACCEL_ASSIGN));
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(h, IDC_ACCEL_CURRENT)), u"現在の割り当て：セル編集");
        tvtest::Key(capture, qtplatform::Key_F1 + 2, kCtrl | kShift);
        EXPECT_EQ(tvtest::TextOf(capture), u"Ctrl+Shift+F3");
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(h, IDC_ACCEL_CURRENT)), u"");

        // Ctrl+F belongs to "検索": assigning it moves it.
        tvtest::Key(capture, 'F', kCtrl);
        EXPECT_EQ(tvtest::TextOf(capture), u"Ctrl+F");
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(h, IDC_ACCEL_CURRENT)), u"現在の割り当て：検索");
        tvtest::ClickControl(h, IDC_ACCEL_ASSIGN);
        EXPECT_EQ(Keys(keys), u"F3|Ctrl+F");
        EXPECT_EQ(Cell(cmds, next, 2), u"F3, Ctrl+F");
        EXPECT_EQ(Cell(cmds, find, 2), u"");
        EXPECT_EQ(tvtest::TextOf(capture), u"");
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(h, IDC_ACCEL_CURRENT)), u"");
        EXPECT_FALSE(dlgtest::Enabled(h, IDC_ACCEL_ASSIGN));

        // "解除" of the selected key.
        dlgtest::ListSelect(keys, 0);
        EXPECT_TRUE(dlgtest::Enabled(h, IDC_ACCEL_REMOVE));
        tvtest::ClickControl(h, IDC_ACCEL_REMOVE);
        EXPECT_EQ(Keys(keys), u"Ctrl+F");
        EXPECT_EQ(Cell(cmds, next, 2), u"Ctrl+F");
        EXPECT_FALSE(dlgtest::Enabled(h, IDC_ACCEL_REMOVE));

        // The defaults only after the question; Cancel keeps the copy.
        tvtest::AnswerBox(IDCANCEL);
        tvtest::ClickControl(h, IDC_ACCEL_DEFAULTS);
        EXPECT_EQ(Keys(keys), u"Ctrl+F");
        tvtest::Pump();
        EXPECT_TRUE(tvtest::SavePng(h, std::string(TAVRELIX_BIN_DIR) + "/../keydialog.png"));
        tvtest::ClickControl(h, IDOK);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    ASSERT_EQ(tvtest::Boxes().size(), 1u);
    EXPECT_EQ(tvtest::Boxes()[0].caption, u"確認");
    EXPECT_EQ(tvtest::Boxes()[0].text, u"キー割り当てをデフォルトの設定に戻します。\nよろしいですか？");
    EXPECT_EQ(tvtest::Boxes()[0].flags, UINT(MB_ICONQUESTION | MB_OKCANCEL));
    EXPECT_EQ(dlg.m_table.FindCommand(u"Ctrl+F"), ID_EDIT_SEARCH_NEXT);
    EXPECT_EQ(dlg.m_table.FindCommand(u"F3"), -1);
    EXPECT_EQ(dlg.m_table.GetCount(), 16);

    // The defaults confirmed empty the lists; Cancel drops the copy's edits
    // only for the caller, who keeps its own table.
    tvtest::ClearBoxes();
    tvtest::ExpectDialog(u"キー割り当て", [](HWND h) -> bool {
        HWND cats = GetDlgItem(h, IDC_ACCEL_CATEGORIES), cmds = GetDlgItem(h, IDC_ACCEL_COMMANDS);
        dlgtest::ListSelect(cats, 1);
        EXPECT_EQ(Rows(cmds), 33);
        tvtest::AnswerBox(IDOK);
        tvtest::ClickControl(h, IDC_ACCEL_DEFAULTS);
        EXPECT_EQ(Rows(cmds), 0);
        EXPECT_EQ(Rows(cats), 6);
        tvtest::ClickControl(h, IDCANCEL);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.m_table.GetCount(), 17);
    EXPECT_EQ(dlg.m_table.FindCommand(u"Ctrl+F"), ID_EDIT_SEARCH);
}

TEST(KeyDialog, CommandTableCoversTheCategoriesInOrder) {
    int counts[8] = {};
    for (const auto& row : CAcceleratorDlg::kCommands) {
        ASSERT_GE(row.category, 0);
        ASSERT_LT(row.category, 8);
        ++counts[row.category];
        EXPECT_FALSE(AccelTable::CommandShortName(row.cmd).IsEmpty()) << row.cmd;
    }
    EXPECT_EQ(counts[0], 7);
    EXPECT_EQ(counts[1], 33);
    EXPECT_EQ(counts[3], 13);
    EXPECT_EQ(counts[4], 3);
    EXPECT_EQ(counts[5], 4);
    EXPECT_EQ(counts[7], 1);
}

} // namespace
