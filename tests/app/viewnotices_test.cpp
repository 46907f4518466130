// What the frame shows after the view's commands, through the frame's
// command routing and the user's mouse on 社員 and ALL_TYPES: the counts
// item after conversions, sequences and sorts (and the commit question's
// counts), the message pane each command starts from, the calculation pane
// while the mouse selects (and emptied with the data), and the question
// before edits are dropped only when there are edits.
#include <set>

#include "docview_fixture.h"

#include "app/dialogs/inputdlg.h"
#include "res/dialogs4.h"
#include "testing/framework.h"

namespace {

using apptest::DocViewTest;
using apptest::Narrow;

class ViewNoticeTest : public DocViewTest {
public:
    void Command(UINT id) {
        frame->SendMessage(WM_COMMAND, id);
        tvtest::Pump();
    }
    std::u16string Pane() { return frame->m_wndStatusBar.GetPaneText(0).str(); }
    std::u16string CalcPane() {
        return frame->m_wndStatusBar.GetPaneText(frame->m_wndStatusBar.CommandToIndex(ID_INDICATOR_CALC))
            .str();
    }
    std::u16string Counts() {
        char16_t buf[128] = {};
        ::GetMenuStringW(::GetMenu(frame->m_hWnd), ID_EDIT_COUNTS, buf, 128, MF_BYCOMMAND);
        return buf;
    }
    void Scribble() {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STRING;
        info.dwTypeData = const_cast<LPWSTR>(u"?");
        ::SetMenuItemInfoW(::GetMenu(frame->m_hWnd), ID_EDIT_COUNTS, FALSE, &info);
    }
    void Cursor(int col, int row) {
        view->m_grid.ClearSelection(0);
        view->m_grid.SetCursorCell(col, row);
        tvtest::Pump();
    }
    void Select(POINT anchor, POINT end) {
        view->m_grid.SetSelectArea(end, anchor, end);
        tvtest::Pump();
    }
    POINT Centre(int col, int row) {
        CRect r = view->m_grid.GetCellRect(col, row);
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    // A press on one cell, the drag over the cells between, the release on
    // the other: as the user selects, without idle processing in between.
    void Drag(int col, int fromRow, int toRow) {
        HWND grid = view->m_grid.m_hWnd;
        POINT p = Centre(col, fromRow);
        tvtest::MouseDown(grid, p.x, p.y);
        for (int r = fromRow + 1; r <= toRow; ++r) {
            p = Centre(col, r);
            tvtest::MouseMove(grid, p.x, p.y);
        }
        tvtest::MouseUp(grid, p.x, p.y);
        tvtest::Pump();
    }
    int ColumnOf(const char16_t* name) {
        for (int c = 0; c < doc->m_data.GetColCount(); ++c)
            if (std::u16string(doc->m_data.GetColName(c)) == name) return c;
        return -1;
    }
    // The commit's question, answered No; its text.
    std::u16string CommitQuestion() {
        tvtest::ClearBoxes();
        tvtest::AnswerBox(IDNO);
        Command(ID_FILE_COMMIT);
        return tvtest::Boxes().empty() ? std::u16string() : tvtest::Boxes()[0].text;
    }
};

TEST_F(ViewNoticeTest, ConversionsSequencesAndSortsCountTheirRows) {
    Load(u"社員");
    const int notes = ColumnOf(u"備考"), pay = ColumnOf(u"給与");
    ASSERT_GE(notes, 0);
    ASSERT_GE(pay, 0);
    EXPECT_EQ(Counts(), u" Insert:0, Update:0, Delete:0 ");
    // "東京都千代田区丸の内１－１－１" to half width: one row updated.
    Cursor(notes, 0);
    Command(ID_EDIT_TO_HANKAKU);
    EXPECT_EQ(Pane(), u"1件置換しました");
    EXPECT_TRUE(doc->m_data.IsUpdatedRow(0));
    EXPECT_EQ(Counts(), u" Insert:0, Update:1, Delete:0 ");
    // "ﾊﾝｶｸｶﾀｶﾅのﾒﾓ" to full width: a second.
    Cursor(notes, 4);
    Command(ID_EDIT_TO_ZENKAKU);
    EXPECT_EQ(Pane(), u"1件置換しました");
    EXPECT_EQ(Counts(), u" Insert:0, Update:2, Delete:0 ");
    // Upper and lower case over a cell of Latin letters: the item is
    // written again after each (scribbled over first to see it).
    ASSERT_EQ(view->m_grid.SetCellText(9, notes, u"xyz", -1), 0);
    tvtest::Pump();
    EXPECT_EQ(Counts(), u" Insert:0, Update:3, Delete:0 ");
    Cursor(notes, 9);
    for (UINT id : {UINT(ID_EDIT_TO_UPPER), UINT(ID_EDIT_TO_LOWER)}) {
        Scribble();
        Command(id);
        EXPECT_EQ(Pane(), u"1件置換しました") << id;
        EXPECT_EQ(Counts(), u" Insert:0, Update:3, Delete:0 ") << id;
    }
    EXPECT_EQ(Narrow(doc->m_data.GetText(9, notes)), "xyz");
    // A sequence down three rows of 給与: three more.
    Select(POINT{pay, 10}, POINT{pay, 12});
    tvtest::ExpectDialog(u"連番を入力", [](HWND h) {
        ::SetDlgItemTextW(h, IDC_SEQ_START, u"1");
        tvtest::ClickControl(h, IDOK);
        return true;
    });
    Command(ID_EDIT_INPUT_SEQUENCE);
    EXPECT_TRUE(doc->m_data.IsUpdatedRow(11));
    EXPECT_EQ(Counts(), u" Insert:0, Update:6, Delete:0 ");
    // A sort by 給与, descending, moves the rows and their edits with them:
    // the same six rows (by 社員番号) are updated, the counts are the same.
    auto updatedRows = [&] {
        std::set<std::u16string> ids;
        for (int r = 0; r < doc->m_data.GetRowCount(); ++r)
            if (doc->m_data.IsUpdatedRow(r)) ids.insert(doc->m_data.GetText(r, 0));
        return ids;
    };
    const std::set<std::u16string> updated = updatedRows();
    ASSERT_EQ(updated.size(), 6u);
    Cursor(pay, 0);
    tvtest::ExpectDialog(u"Gridのソート", [](HWND h) {
        tvtest::ClickControl(h, IDC_SORT_DESC1);
        tvtest::ClickControl(h, IDOK);
        return true;
    });
    Command(ID_DATA_SORT_GRID);
    tvtest::VerifyDialogs();
    std::vector<long long> pays;
    for (int r = 0; r < doc->m_data.GetRowCount(); ++r)
        pays.push_back(std::stoll(Narrow(doc->m_data.GetText(r, pay))));
    EXPECT_TRUE(std::is_sorted(pays.rbegin(), pays.rend()));
    EXPECT_EQ(pays.back(), 1); // the sequence's first value
    EXPECT_EQ(updatedRows(), updated);
    EXPECT_EQ(Counts(), u" Insert:0, Update:6, Delete:0 ");
    // The commit asks with the same counts.
    const std::u16string question = CommitQuestion();
    EXPECT_NE(question.find(u"  insert: 0\n  update: 6\n"), std::u16string::npos) << Narrow(question.c_str());
}

TEST_F(ViewNoticeTest, EveryCommandStartsFromAnEmptyMessagePane) {
    Load(u"社員");
    const char16_t old[] = u"見つかりません";
    Cursor(1, 0);
    // Commands that report nothing of their own.
    for (UINT id : {UINT(ID_EDIT_INSERT_NEWLINE), UINT(ID_EDIT_SEARCH), UINT(ID_EDIT_SEARCH_REPLACE),
                    UINT(ID_EDIT_CLEAR_SEARCH_HIGHLIGHT)}) {
        frame->SetMessageText(old);
        Command(id);
        EXPECT_EQ(Pane(), u"") << id;
    }
    view->HideSearchDialogs();
    // Dialogs: the pane is empty while they are up, and once they are
    // cancelled.
    struct Case {
        UINT command;
        int dialog;
    };
    Select(POINT{1, 0}, POINT{1, 2});
    for (Case c : {Case{ID_EDIT_INPUT_SEQUENCE, IDD_INPUT_SEQUENCE}, Case{ID_DATA_SORT_GRID, IDD_GRID_SORT},
                   Case{ID_DATA_COLUMN_WIDTH, 0}, Case{ID_DATA_ADD_RECORDS, IDD_INSERT_ROWS},
                   Case{ID_EDIT_DATA, IDD_DATA_EDIT}}) {
        if (c.command == ID_EDIT_DATA) Cursor(1, 0);
        frame->SetMessageText(old);
        std::u16string during = u"(not shown)";
        auto answer = [&](HWND h) {
            during = Pane();
            tvtest::ClickControl(h, IDCANCEL);
            return true;
        };
        if (c.dialog)
            tvtest::ExpectDialog(c.dialog, answer);
        else
            tvtest::ExpectDialog(u"列幅", answer);
        Command(c.command);
        tvtest::VerifyDialogs();
        EXPECT_EQ(during, u"") << c.command;
        EXPECT_EQ(Pane(), u"") << c.command;
    }

    // The column-name search: emptied before the dialog, so what the dialog
    // found (here nothing) is its own.
    Cursor(1, 0);
    frame->SetMessageText(u"ファイルの末尾まで検索しました");
    std::u16string before, found;
    tvtest::ExpectDialog(u"カラム名を検索", [&](HWND h) {
        before = Pane();
        tvtest::TypeInto(h, IDC_SEARCH_TEXT, u"該当しない列");
        tvtest::ClickControl(h, IDC_SEARCH_NEXT);
        found = Pane();
        tvtest::ClickControl(h, IDCANCEL);
        return true;
    });
    Command(ID_EDIT_FIND_COLUMN_NAME);
    tvtest::VerifyDialogs();
    EXPECT_EQ(before, u"");
    EXPECT_EQ(found, old);
}

TEST_F(ViewNoticeTest, TheLobDownloadStartsFromAnEmptyMessagePane) {
    Load(u"ALL_TYPES");
    const int blob = ColumnOf(u"C_BLOB");
    ASSERT_GE(blob, 0);
    int row = -1;
    for (int r = 0; r < doc->m_data.GetRowCount() && row < 0; ++r)
        if (doc->m_data.GetLobLocator(r, blob)) row = r;
    ASSERT_GE(row, 0);
    Cursor(blob, row);
    frame->SetMessageText(u"見つかりません");
    std::u16string during = u"(not shown)";
    tvtest::AnswerFile(u"", -1, [&](HWND) { during = Pane(); });
    Command(ID_DATA_LOB_DOWNLOAD);
    ASSERT_EQ(tvtest::FileRequests().size(), 1u);
    EXPECT_EQ(during, u"");
    EXPECT_EQ(Pane(), u"");
}

TEST_F(ViewNoticeTest, TheCalculationPaneFollowsTheMouse) {
    Load(u"社員");
    AppSettings.GRID_CALC_TYPE = 0;
    const int pay = ColumnOf(u"給与");
    ASSERT_GE(pay, 0);
    // 250000 + 262500 + 275000, with no idle time for the bars to update.
    Drag(pay, 0, 2);
    EXPECT_EQ(Narrow(CalcPane().c_str()), "合計:787,500");
    // The values under the selection change: Delete empties the cells, and the sum with them.
    HWND grid = view->m_grid.m_hWnd;
    tvtest::Key(grid, qtplatform::Key_Delete);
    tvtest::Pump();
    EXPECT_EQ(CalcPane(), u"");
    Command(ID_EDIT_UNDO);
    Drag(pay, 3, 4);
    EXPECT_EQ(Narrow(CalcPane().c_str()), "合計:587,500");
    // One cell is no selection: the pane empties.
    POINT p = Centre(pay, 5);
    tvtest::Click(grid, p.x, p.y);
    tvtest::Pump();
    EXPECT_EQ(CalcPane(), u"");
    // The type chosen from the pane's menu applies at once to the next drag.
    Command(ID_CALC_AVERAGE);
    Drag(pay, 7, 9);
    EXPECT_EQ(Narrow(CalcPane().c_str()), "平均:350,000.0");
    Command(ID_CALC_SUM);
    // The pane goes with the data it summed: another table, and no table.
    Drag(pay, 0, 2);
    ASSERT_EQ(Narrow(CalcPane().c_str()), "合計:787,500");
    Load(u"ALL_TYPES");
    EXPECT_EQ(CalcPane(), u"");
    EXPECT_EQ(Narrow(g_calc_text), "");
    Load(u"社員");
    Drag(pay, 0, 2);
    ASSERT_EQ(Narrow(CalcPane().c_str()), "合計:787,500");
    Command(ID_FILE_CLEAR_DATA);
    EXPECT_EQ(CalcPane(), u"");
}

TEST_F(ViewNoticeTest, OnlyPendingEditsAreAskedAbout) {
    Load(u"社員");
    const int pay = ColumnOf(u"給与");
    // A sort leaves an undo step but no edit.
    Cursor(pay, 0);
    tvtest::ExpectDialog(u"Gridのソート", [](HWND h) {
        tvtest::ClickControl(h, IDOK);
        return true;
    });
    Command(ID_DATA_SORT_GRID);
    tvtest::VerifyDialogs();
    ASSERT_TRUE(doc->m_data.CanUndo());
    EXPECT_EQ(Counts(), u" Insert:0, Update:0, Delete:0 ");
    EXPECT_FALSE(doc->HasUnsavedEdits());
    tvtest::ClearBoxes();
    Refresh();
    EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();
    EXPECT_TRUE(doc->IsTableLoaded());

    // Empty rows added and deleted again.
    Cursor(1, 3);
    Command(ID_DATA_ADD_RECORD);
    Command(ID_DATA_ADD_RECORD);
    ASSERT_EQ(doc->m_data.GetRowCount(), 22);
    Command(ID_DATA_DELETE_EMPTY_ADDED_ROWS);
    ASSERT_EQ(doc->m_data.GetRowCount(), 20);
    // And one added and removed with the record command.
    Command(ID_DATA_ADD_RECORD);
    Command(ID_DATA_DELETE_RECORD);
    EXPECT_EQ(Counts(), u" Insert:0, Update:0, Delete:0 ");
    EXPECT_FALSE(doc->HasUnsavedEdits());
    tvtest::ClearBoxes();
    EXPECT_TRUE(doc->SaveModified());
    EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();
    Command(ID_FILE_CLEAR_DATA);
    EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();
    EXPECT_FALSE(doc->IsTableLoaded());

    // An edit undone is no edit; done again it is asked about.
    Load(u"社員");
    Cursor(1, 0);
    ASSERT_EQ(view->m_grid.SetCellText(0, 1, u"変更", -1), 0);
    tvtest::Pump();
    EXPECT_TRUE(doc->HasUnsavedEdits());
    Command(ID_EDIT_UNDO);
    EXPECT_FALSE(doc->HasUnsavedEdits());
    Command(ID_EDIT_REDO);
    ASSERT_TRUE(doc->HasUnsavedEdits());
    tvtest::ClearBoxes();
    tvtest::AnswerBox(IDNO);
    Command(ID_FILE_CLEAR_DATA);
    EXPECT_EQ(tvtest::Boxes().size(), 1u);
    EXPECT_TRUE(doc->IsTableLoaded());
}

} // namespace
