// Find and replace with a regular expression on 社員, as a user does it:
// Ctrl+F and Ctrl+H open the modeless dialogs, the pattern typed and the
// boxes and buttons clicked, F3 and Shift+F3 on the main window after the
// dialog is closed, Ctrl+Z, and the commit a second session reads.
#include "docview_fixture.h"
#include "employees.h"
#include "res/dialogs4.h"

namespace {

using namespace apptest;

constexpr unsigned kCtrl = static_cast<unsigned>(qtplatform::Mods::Ctrl);
constexpr unsigned kShift = static_cast<unsigned>(qtplatform::Mods::Shift);
constexpr int kF3 = qtplatform::Key_F1 + 2;

class FindReplaceTest : public DocViewTest {
public:
    void SetUp() override {
        DocViewTest::SetUp();
        Load(u"社員");
        ASSERT_EQ(doc->m_data.GetRowCount(), 20) << BoxTexts();
    }
    std::u16string Message() { return frame->m_wndStatusBar.GetPaneText(0).GetString(); }
    std::u16string Name(int row) { return doc->m_data.GetText(row, 1); }
    // A key where the keyboard's input goes now.
    void Press(int key, unsigned mods = 0) {
        ASSERT_NE(::GetFocus(), nullptr) << "no window takes the keys";
        tvtest::Key(::GetFocus(), key, mods);
        tvtest::RunUntilIdle();
    }
    void ClickCell(int col, int row, unsigned mods = 0) {
        CRect r = view->m_grid.GetCellRect(col, row);
        tvtest::Click(view->m_grid.m_hWnd, r.CenterPoint().x, r.CenterPoint().y, 0, mods);
        tvtest::RunUntilIdle();
    }
    // The main window has the keyboard again, in the grid.
    void ExpectTheGridHasTheKeys() {
        EXPECT_EQ(::GetActiveWindow(), frame->m_hWnd);
        EXPECT_EQ(::GetFocus(), view->m_grid.m_hWnd);
    }
    static bool Checked(HWND dlg, int id) { return ::IsDlgButtonChecked(dlg, id) == BST_CHECKED; }
};

TEST_F(FindReplaceTest, ARegularExpressionFindsAndF3WrapsBothWays) {
    ClickCell(1, 0);
    Press('F', kCtrl);
    CSearchDlg* search = CTavexView::GetSearchDlg();
    HWND dlg = search->m_hWnd;
    ASSERT_TRUE(::IsWindowVisible(dlg));
    EXPECT_EQ(::GetActiveWindow(), dlg);
    // The focus is in the text field: typing goes there.
    tvtest::Type(::GetFocus(), u"^髙");
    tvtest::RunUntilIdle();
    EXPECT_EQ(tvtest::TextOf(tvtest::Control(dlg, IDC_SEARCH_TEXT)), u"^髙");
    ASSERT_FALSE(Checked(dlg, IDC_SEARCH_REGEX));
    tvtest::ClickControl(dlg, IDC_SEARCH_REGEX);
    EXPECT_TRUE(Checked(dlg, IDC_SEARCH_REGEX));
    tvtest::ClickControl(dlg, IDC_SEARCH_NEXT);
    tvtest::RunUntilIdle();
    EXPECT_EQ(doc->m_data.m_curRow, 2);
    EXPECT_EQ(doc->m_data.m_curCol, 1);
    EXPECT_EQ(Name(doc->m_data.m_curRow), u"髙橋 一郎");
    EXPECT_EQ(Message(), u"");

    // "閉じる": the main window takes the keys again, F3 goes on from the cell
    // found (備考 of rows 7 and 15 begin with 髙島屋) and wraps past the last.
    tvtest::ClickControl(dlg, IDCANCEL);
    tvtest::RunUntilIdle();
    EXPECT_FALSE(::IsWindow(dlg));
    ExpectTheGridHasTheKeys();
    for (int row : {7, 15}) {
        Press(kF3);
        EXPECT_EQ(doc->m_data.m_curRow, row);
        EXPECT_EQ(Message(), u"");
    }
    Press(kF3);
    EXPECT_EQ(doc->m_data.m_curRow, 2);
    EXPECT_EQ(doc->m_data.m_curCol, 1);
    EXPECT_EQ(Message(), u"ファイルの末尾まで検索しました");
    Press(kF3, kShift);
    EXPECT_EQ(doc->m_data.m_curRow, 15);
    EXPECT_EQ(Message(), u"ファイルの先頭まで検索しました");

    // "(": the dialog opens again with the last search; the bad pattern is
    // told in a box and the cursor stays.
    Press('F', kCtrl);
    dlg = search->m_hWnd;
    ASSERT_TRUE(::IsWindowVisible(dlg));
    EXPECT_TRUE(Checked(dlg, IDC_SEARCH_REGEX));
    TypeIntoCombo(dlg, IDC_SEARCH_TEXT, u"(", true);
    EXPECT_EQ(tvtest::TextOf(tvtest::Control(dlg, IDC_SEARCH_TEXT)), u"(");
    tvtest::ClearBoxes();
    tvtest::AnswerBox(IDOK);
    tvtest::ClickControl(dlg, IDC_SEARCH_NEXT);
    tvtest::RunUntilIdle();
    ASSERT_EQ(tvtest::Boxes().size(), 1u);
    EXPECT_EQ(tvtest::Boxes()[0].text, u"不正な正規表現です");
    EXPECT_EQ(tvtest::Boxes()[0].caption, u"メッセージ");
    EXPECT_EQ(doc->m_data.m_curRow, 15);
    // Esc closes it as "閉じる" does.
    Press(qtplatform::Key_Escape);
    EXPECT_FALSE(::IsWindow(dlg));
    ExpectTheGridHasTheKeys();
}

TEST_F(FindReplaceTest, ReplaceAllInTheNameColumnUndoneAtOnceThenCommitted) {
    const auto before = Employees();
    ASSERT_EQ(before.size(), 20u);
    std::vector<std::u16string> names, swapped;
    for (int r = 0; r < 20; ++r) {
        names.push_back(Name(r));
        const size_t space = names.back().find(u' ');
        ASSERT_NE(space, std::u16string::npos);
        swapped.push_back(names.back().substr(space + 1) + u" " + names.back().substr(0, space));
    }
    auto allNames = [this] {
        std::vector<std::u16string> out;
        for (int r = 0; r < 20; ++r) out.push_back(Name(r));
        return out;
    };
    // 氏名 selected by a click on its header.
    CRect first = view->m_grid.GetCellRect(1, 0);
    tvtest::Click(view->m_grid.m_hWnd, first.CenterPoint().x, first.top / 2);
    tvtest::RunUntilIdle();
    ASSERT_TRUE(view->m_grid.IsColumnSelected(1));

    auto replaceAll = [&](bool typePatterns) {
        Press('H', kCtrl);
        HWND dlg = CTavexView::GetReplaceDlg()->m_hWnd;
        EXPECT_TRUE(::IsWindowVisible(dlg));
        EXPECT_TRUE(Checked(dlg, IDC_REPLACE_IN_SELECTION)) << "a selection: 選択範囲";
        if (typePatterns) {
            tvtest::Type(::GetFocus(), u"^(.+) (.+)$");
            TypeIntoCombo(dlg, IDC_REPLACE_TEXT, u"$2 $1");
            tvtest::ClickControl(dlg, IDC_SEARCH_REGEX);
        }
        EXPECT_TRUE(Checked(dlg, IDC_SEARCH_REGEX));
        tvtest::ClickControl(dlg, IDC_REPLACE_ALL);
        tvtest::RunUntilIdle();
        EXPECT_EQ(Message(), u"20件置換しました");
        tvtest::ClickControl(dlg, IDCANCEL);
        tvtest::RunUntilIdle();
        ExpectTheGridHasTheKeys();
    };
    replaceAll(true);
    EXPECT_EQ(Name(0), u"太郎 山田");
    EXPECT_EQ(allNames(), swapped);
    EXPECT_EQ(doc->m_data.m_updatedCount, 20);

    // One Ctrl+Z ("元に戻す(&U)") takes back all twenty.
    Press('Z', kCtrl);
    EXPECT_EQ(allNames(), names);
    EXPECT_EQ(doc->m_data.m_updatedCount, 0);

    // Again, from the dialog's remembered texts, and committed.
    tvtest::Click(view->m_grid.m_hWnd, first.CenterPoint().x, first.top / 2);
    tvtest::RunUntilIdle();
    replaceAll(false);
    EXPECT_EQ(allNames(), swapped);
    tvtest::ClearBoxes();
    ExpectCommitAndLookAgain();
    tvtest::AnswerMenu(ID_FILE_COMMIT);
    tvtest::Key(frame->m_hWnd, qtplatform::Key_F10);
    tvtest::RunUntilIdle();
    tvtest::VerifyDialogs();
    ASSERT_EQ(tvtest::Boxes().size(), 2u) << BoxTexts();
    EXPECT_EQ(tvtest::Boxes()[1].text.rfind(u"編集結果を保存しました。", 0), 0u);
    EXPECT_EQ(allNames(), swapped);

    // A second session reads the new names.
    auto expected = before;
    for (int r = 0; r < 20; ++r) expected[static_cast<size_t>(r)].second = swapped[static_cast<size_t>(r)];
    EXPECT_EQ(Employees(), expected);
}

} // namespace
