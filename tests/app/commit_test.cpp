// "編集結果の保存(commit)" in the running program: the question with the
// counts, the progress dialog while the save runs on its worker, the summary
// and the re-query (a failing one leaving nothing pending), and every way the
// save fails (each leaving the table as it was and the edits in the grid),
// checked through a second session.
#include <optional>

#include "app/dialogs/commoncanceldlg.h"
#include "docview_fixture.h"
#include "employees.h"
#include "win32/thread.h"

namespace {

using namespace apptest;

class CommitTest : public DocViewTest {
public:
    std::vector<std::pair<std::u16string, std::u16string>> before;
    int insertedRow = -1;

    void SetUp() override {
        DocViewTest::SetUp();
        before = Employees();
        ASSERT_EQ(before.size(), 20u);
        Load(u"社員");
        ASSERT_EQ(doc->m_data.GetRowCount(), 20) << BoxTexts();
    }
    CGridCtrl& Grid() { return view->m_grid; }
    int RowOf(const std::u16string& id) {
        for (int r = 0; r < doc->m_data.GetRowCount(); ++r)
            if (doc->m_data.GetText(r, 0) == id) return r;
        return -1;
    }
    // Row 0's name changed, the row of 1006 deleted, a row inserted after row 0.
    void ThreeEdits(const std::u16string& newId = u"2001") {
        Grid().SetCursorCell(1, 0);
        Grid().SetCellText(0, 1, u"変更太郎", -1);
        Grid().SetCursorCell(0, RowOf(u"1006"));
        Grid().DeleteRows();
        Grid().SetCursorCell(0, 0);
        Grid().InsertRows(1);
        insertedRow = doc->m_data.m_curRow;
        ASSERT_TRUE(doc->m_data.IsInsertedRow(insertedRow));
        Grid().SetCellText(insertedRow, 0, newId.c_str(), -1);
        Grid().SetCellText(insertedRow, 1, u"新人花子", -1);
        tvtest::Pump();
        ASSERT_EQ(doc->m_data.m_updatedCount, 1);
        ASSERT_EQ(doc->m_data.m_insertedCount, 1);
        ASSERT_EQ(doc->m_data.m_deletedCount, 1);
    }
    // Holds the worker's n-th execution (savepoint 1, then its statements)
    // until poll has seen the dialog; poll returns whether it opened the gate.
    void ExpectSave(int n, std::function<void(HWND)> whileHeld) {
        static std::thread::id ui;
        static std::atomic<int> seen, at;
        ui = std::this_thread::get_id();
        seen = 0;
        at = n;
        apptest::WaitForKeywordLoader();
        TAP(OCIStmtExecute) = [](auto...) {
            if (std::this_thread::get_id() != ui && ++seen == at) Control("gate OCIStmtExecute self");
        };
        tvtest::ExpectDialog(u"実行中", [whileHeld, done = false](HWND h) mutable {
            if (done) return true;
            if (!Parked()) return false;
            done = true;
            if (whileHeld) whileHeld(h);
            Control("gate_open");
            return true;
        });
    }
    void Commit() {
        frame->SendMessage(WM_COMMAND, ID_FILE_COMMIT);
        tvtest::Pump();
    }
    std::vector<std::u16string> BoxesText() {
        std::vector<std::u16string> out;
        for (const tvtest::Box& b : tvtest::Boxes()) out.push_back(b.caption + u": " + b.text);
        return out;
    }
    void ExpectUnchanged() { EXPECT_EQ(Employees(), before); }
    // A commit, agreed to, that the save refuses with one error holding
    // text: the cursor, put in column fromCol of the first row, goes to the
    // refused cell.
    void CommitRefused(const char16_t* text, int col, int row, int fromCol) {
        SCOPED_TRACE(Narrow(text));
        tvtest::ClearBoxes();
        tvtest::AnswerBox(IDYES);
        ExpectSave(1, nullptr);
        tvtest::AnswerBox(IDOK);
        Grid().SetCursorCell(fromCol, 0);
        Commit();
        auto errors = BoxesCaptioned(u"ERROR");
        ASSERT_EQ(errors.size(), 1u) << BoxTexts();
        EXPECT_NE(errors[0].text.find(text), std::u16string::npos) << Narrow(errors[0].text.c_str());
        EXPECT_EQ(doc->m_data.m_curCol, col);
        EXPECT_EQ(doc->m_data.m_curRow, row);
    }
};

TEST_F(CommitTest, SavesTheThreeChangesAndShowsThemAgain) {
    ThreeEdits();
    doc->m_data.SetColWidth(1, 222);

    // No changes nothing.
    tvtest::AnswerBox(IDNO);
    Commit();
    ASSERT_EQ(tvtest::Boxes().size(), 1u);
    EXPECT_EQ(tvtest::Boxes()[0].caption, u"MESSAGE");
    EXPECT_EQ(Narrow(tvtest::Boxes()[0].text.c_str()),
              "編集結果を保存します。\nよろしいですか？\n\n  delete: 1\n  insert: 1\n  update: 1\n");
    EXPECT_EQ(doc->m_data.m_insertedCount, 1);
    ExpectUnchanged();

    // Yes: the progress dialog while the worker runs, then the summary.
    tvtest::ClearBoxes();
    tvtest::AnswerBox(IDYES);
    std::u16string cancelText;
    bool bar = false;
    ExpectSave(2, [&](HWND h) {
        cancelText = tvtest::TextOf(GetDlgItem(h, IDCANCEL));
        bar = GetDlgItem(h, IDC_CCD_PROGRESS) != nullptr;
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(h, IDC_CCD_LINE1)));
    });
    tvtest::AnswerBox(IDYES);
    // Yes to the re-query: the table dialog runs the same query at once.
    tvtest::ExpectDialog(u"テーブル選択(検索条件設定)", [](HWND) {
        ExpectQuery();
        tvtest::Advance(10);
        return true;
    });
    Commit();
    tvtest::VerifyDialogs();
    EXPECT_EQ(cancelText, u"Cancel");
    EXPECT_TRUE(bar);
    auto boxes = BoxesText();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(
        Narrow(boxes[1].c_str()),
        "MESSAGE: 編集結果を保存しました。\n    delete: 1\n    insert 1\n    update 1\n再検索しますか？");

    // The grid shows the saved rows with the widths kept.
    EXPECT_EQ(doc->m_data.GetRowCount(), 20);
    EXPECT_EQ(doc->m_data.m_insertedCount + doc->m_data.m_updatedCount + doc->m_data.m_deletedCount, 0);
    EXPECT_EQ(RowOf(u"1006"), -1);
    ASSERT_GE(RowOf(u"2001"), 0);
    EXPECT_EQ(Narrow(doc->m_data.GetText(RowOf(u"2001"), 1)), "新人花子");
    EXPECT_EQ(Narrow(doc->m_data.GetText(RowOf(before[0].first), 1)), "変更太郎");
    EXPECT_EQ(doc->m_data.GetColWidth(1), 222);

    // A second session sees exactly the three changes.
    auto expected = before;
    expected[0].second = u"変更太郎";
    expected.erase(expected.begin() + 5); // 1006
    expected.emplace_back(u"2001", u"新人花子");
    EXPECT_EQ(Employees(), expected);
}

TEST_F(CommitTest, NoToTheReQueryLeavesAnEmptyGrid) {
    Grid().SetCursorCell(1, 3);
    Grid().SetCellText(3, 1, u"山田", -1);
    tvtest::AnswerBox(IDYES);
    ExpectSave(1, nullptr);
    tvtest::AnswerBox(IDNO);
    Commit();
    EXPECT_EQ(doc->m_data.GetRowCount(), 0);
    EXPECT_FALSE(doc->IsTableLoaded());
    EXPECT_EQ(doc->GetTitle(), CString(u""));
    EXPECT_EQ(Employees()[3].second, u"山田");
}

} // namespace

namespace {

using namespace apptest;

// The failures: each leaves 社員 as it was and every edit in the grid.
TEST_F(CommitTest, ADuplicateKeyShowsTheOracleTextAndSelectsItsRow) {
    ThreeEdits(u"1010");
    tvtest::AnswerBox(IDYES);
    ExpectSave(1, nullptr);
    tvtest::AnswerBox(IDOK);
    Commit();
    auto errors = BoxesCaptioned(u"ERROR");
    ASSERT_EQ(errors.size(), 1u) << BoxTexts();
    EXPECT_NE(errors[0].text.find(u"ORA-00001"), std::u16string::npos) << Narrow(errors[0].text.c_str());
    ExpectUnchanged();
    EXPECT_EQ(doc->m_data.m_insertedCount + doc->m_data.m_updatedCount + doc->m_data.m_deletedCount, 3);
    // The inserted row is selected whole.
    EXPECT_EQ(doc->m_data.m_sel1.y, insertedRow);
    EXPECT_EQ(doc->m_data.m_sel2.y, insertedRow);
    EXPECT_EQ(std::abs(doc->m_data.m_sel2.x - doc->m_data.m_sel1.x), doc->m_data.GetColCount() - 1);
}

TEST_F(CommitTest, AValueTooLongPutsTheCursorOnItsCellPlainSwappedAndFiltered) {
    // 氏名 holds 40 bytes: fourteen kanji are 42 in the database's code.
    const std::u16string tooLong = u"寿限無寿限無五劫の擦り切れ海砂利";
    const int row = 7;
    Grid().SetCursorCell(1, row);
    Grid().SetCellText(row, 1, tooLong.c_str(), -1);
    ASSERT_EQ(doc->m_data.m_updatedCount, 1);
    auto commitFails = [&] {
        tvtest::ClearBoxes();
        tvtest::AnswerBox(IDYES);
        ExpectSave(1, nullptr);
        tvtest::AnswerBox(IDOK);
        Grid().SetCursorCell(0, 0);
        Commit();
        auto errors = BoxesCaptioned(u"ERROR");
        ASSERT_EQ(errors.size(), 1u) << BoxTexts();
        EXPECT_NE(errors[0].text.find(u"ORA-12899"), std::u16string::npos) << Narrow(errors[0].text.c_str());
    };
    commitFails();
    EXPECT_EQ(doc->m_data.m_curCol, 1);
    EXPECT_EQ(doc->m_data.m_curRow, row);

    // Swapped: the exchanged cell.
    frame->SendMessage(WM_COMMAND, ID_DATA_SWAP_ROW_COL);
    commitFails();
    EXPECT_EQ(doc->m_swap.m_curCol, row);
    EXPECT_EQ(doc->m_swap.m_curRow, 1);
    frame->SendMessage(WM_COMMAND, ID_DATA_SWAP_ROW_COL);

    // Filtered: the row's place among the filtered rows.
    const CString dept = doc->m_data.GetText(row, 3);
    int count = 0;
    CString err;
    ASSERT_EQ(doc->m_data.SetFilter(3, dept, 0, 0, 0, &count, &err, 1), 0) << Narrow(err);
    view->RebindData();
    ASSERT_GT(count, 1);
    int place = doc->m_data.m_filter->FilteredRow(row);
    ASSERT_GT(place, 0);
    commitFails();
    EXPECT_EQ(doc->m_data.m_filter->m_curCol, 1);
    EXPECT_EQ(doc->m_data.m_filter->m_curRow, place);
    // A failing row the filter hides: the filter is lifted to show it.
    view->ClearFilter();
    int hidden[2] = {1, row};
    ASSERT_EQ(doc->m_data.SetFilter(3, u"存在しない部署", 0, 0, 0, &count, &err, 0), 0) << Narrow(err);
    view->RebindData();
    ASSERT_TRUE(doc->m_data.m_filtered);
    doc->UpdateAllViews(nullptr, HINT_SAVE_FAILED, reinterpret_cast<CObject*>(hidden));
    EXPECT_FALSE(doc->m_data.m_filtered);
    EXPECT_EQ(view->m_grid.GetData(), &doc->m_data);
    EXPECT_FALSE(view->m_grid.HasSelection());
    EXPECT_EQ(doc->m_data.m_curCol, 1);
    EXPECT_EQ(doc->m_data.m_curRow, row);
    ExpectUnchanged();
    EXPECT_EQ(doc->m_data.GetText(row, 1), tooLong);
}

// 給与 set to a text that is no number fails the commit with ORA-01722. A
// filter that hides the row is lifted so that the cursor can go to the cell
// (undo puts the filter back); one that shows the row stays, the cursor on
// the cell among the filtered rows.
TEST_F(CommitTest, AnInvalidNumberShowsItsCellWhetherTheFilterHidesItsRowOrNot) {
    const int row = 7, salary = 5;
    ASSERT_EQ(std::u16string(doc->m_data.GetColName(salary)), u"給与");
    Grid().SetCursorCell(salary, row);
    Grid().SetCellText(row, salary, u"abc", -1);
    const CString dept = doc->m_data.GetText(row, 3);
    CString other;
    for (int r = 0; r < doc->m_data.GetRowCount() && other.IsEmpty(); ++r)
        if (doc->m_data.GetText(r, 3) != dept) other = doc->m_data.GetText(r, 3);
    ASSERT_FALSE(other.IsEmpty());
    auto filterOn = [&](const CString& text) {
        int count = 0;
        CString err;
        ASSERT_EQ(doc->m_data.SetFilter(3, text, 1, 1, 0, &count, &err, 1), 0) << Narrow(err);
        view->RebindData();
        ASSERT_TRUE(doc->m_data.m_filtered);
        Grid().SetCursorCell(0, 0);
    };
    auto commitFails = [&] {
        tvtest::ClearBoxes();
        tvtest::AnswerBox(IDYES);
        ExpectSave(1, nullptr);
        tvtest::AnswerBox(IDOK);
        Commit();
        auto errors = BoxesCaptioned(u"ERROR");
        ASSERT_EQ(errors.size(), 1u) << BoxTexts();
        EXPECT_NE(errors[0].text.find(u"ORA-01722"), std::u16string::npos) << Narrow(errors[0].text.c_str());
    };

    // Hidden: the filter goes, the cursor is on the cell.
    filterOn(other);
    ASSERT_LT(doc->m_data.m_filter->FilteredRow(row), 0);
    commitFails();
    EXPECT_FALSE(doc->m_data.m_filtered);
    EXPECT_EQ(Grid().GetData(), &doc->m_data);
    EXPECT_EQ(doc->m_data.m_curCol, salary);
    EXPECT_EQ(doc->m_data.m_curRow, row);
    EXPECT_EQ(frame->m_wndStatusBar.GetPaneText(0).Find(u"Filter中"), -1);
    // One undo gives the filter back, the edit stays.
    frame->SendMessage(WM_COMMAND, ID_EDIT_UNDO);
    tvtest::Pump();
    EXPECT_TRUE(doc->m_data.m_filtered);
    EXPECT_EQ(Grid().GetData(), static_cast<CGridData*>(doc->m_data.m_filter));
    EXPECT_EQ(doc->m_data.GetText(row, salary), CString(u"abc"));
    view->ClearFilter();

    // Shown: the filter stays, the cursor is on the cell's filtered row.
    filterOn(dept);
    const int place = doc->m_data.m_filter->FilteredRow(row);
    ASSERT_GE(place, 0);
    commitFails();
    EXPECT_TRUE(doc->m_data.m_filtered);
    EXPECT_EQ(Grid().GetData(), static_cast<CGridData*>(doc->m_data.m_filter));
    EXPECT_EQ(doc->m_data.m_filter->m_curCol, salary);
    EXPECT_EQ(doc->m_data.m_filter->m_curRow, place);
    ExpectUnchanged();
    EXPECT_EQ(doc->m_data.m_updatedCount, 1);
}

// Every value the save refuses puts the cursor on its cell: a number too
// long for its column ("データ長が不正です"), and full-width digits in a
// number column, refused as no number (ORA-01722) in an updated cell and in
// an inserted row, short or long.
TEST_F(CommitTest, EveryRefusedValuePutsTheCursorOnItsCell) {
    const int salary = 5;
    ASSERT_EQ(std::u16string(doc->m_data.GetColName(salary)), u"給与");
    auto commitFails = [&](const char16_t* text, int col, int row) {
        CommitRefused(text, col, row, 1);
        ExpectUnchanged();
    };
    // Twenty-eight kanji are more bytes than the client's buffer for 氏名.
    std::u16string kanji;
    for (int i = 0; i < 28; ++i) kanji += u"漢";
    Grid().SetCellText(2, 1, kanji.c_str(), -1);
    ASSERT_EQ(doc->m_data.m_updatedCount, 1);
    commitFails(u"update error\nデータ長が不正です(氏名)", 1, 2);
    frame->SendMessage(WM_COMMAND, ID_EDIT_UNDO);
    tvtest::Pump();
    ASSERT_EQ(doc->m_data.m_updatedCount, 0);
    for (const char16_t* wide : {u"３０００００", u"３"}) {
        Grid().SetCellText(3, salary, wide, -1);
        ASSERT_EQ(doc->m_data.GetText(3, salary), CString(wide));
        commitFails(u"ORA-01722", salary, 3);
    }
    for (int i = 0; i < 2; ++i) frame->SendMessage(WM_COMMAND, ID_EDIT_UNDO);
    tvtest::Pump();
    ASSERT_EQ(doc->m_data.m_updatedCount, 0);

    // An inserted row whose 社員番号 is typed in full-width digits.
    Grid().SetCursorCell(0, 4);
    Grid().InsertRows(1);
    const int inserted = doc->m_data.m_curRow;
    ASSERT_TRUE(doc->m_data.IsInsertedRow(inserted));
    Grid().SetCellText(inserted, 1, u"新人", -1);
    for (const char16_t* wide : {u"２００１", u"２"}) {
        Grid().SetCellText(inserted, 0, wide, -1);
        commitFails(u"ORA-01722", 0, inserted);
    }
    EXPECT_EQ(doc->m_data.m_insertedCount, 1);
}

// The same in a table with large objects, whose inserted rows are sent one
// by one: the refused cell of an updated and of an inserted row.
TEST_F(CommitTest, RefusedValuesOfATableWithLargeObjectsShowTheirCells) {
    Load(u"ALL_TYPES");
    ASSERT_GT(doc->m_data.GetRowCount(), 2) << BoxTexts();
    auto column = [&](const char16_t* name) {
        for (int c = 0; c < doc->m_data.GetColCount(); ++c)
            if (std::u16string(doc->m_data.GetColName(c)) == name) return c;
        return -1;
    };
    const int varchar = column(u"C_VARCHAR2"), number = column(u"C_NUMBER_P");
    ASSERT_GE(varchar, 0);
    ASSERT_GE(number, 0);
    auto commitFails = [&](const char16_t* text, int col, int row) { CommitRefused(text, col, row, 0); };
    std::u16string kanji;
    for (int i = 0; i < 28; ++i) kanji += u"漢";
    Grid().SetCellText(1, varchar, kanji.c_str(), -1);
    commitFails(u"データ長が不正です(C_VARCHAR2)", varchar, 1);
    frame->SendMessage(WM_COMMAND, ID_EDIT_UNDO);
    Grid().SetCellText(2, number, u"１２３４．５", -1);
    commitFails(u"ORA-01722", number, 2);
    frame->SendMessage(WM_COMMAND, ID_EDIT_UNDO);
    tvtest::Pump();
    ASSERT_EQ(doc->m_data.m_updatedCount, 0);

    Grid().SetCursorCell(0, 2);
    Grid().InsertRows(1);
    const int inserted = doc->m_data.m_curRow;
    ASSERT_TRUE(doc->m_data.IsInsertedRow(inserted));
    Grid().SetCellText(inserted, 0, u"99", -1);
    Grid().SetCellText(inserted, varchar, kanji.c_str(), -1);
    commitFails(u"データ長が不正です(C_VARCHAR2)", varchar, inserted);
    Grid().SetCellText(inserted, varchar, u"短い", -1);
    Grid().SetCellText(inserted, number, u"１２３４．５", -1);
    commitFails(u"ORA-01722", number, inserted);
}

TEST_F(CommitTest, AFailingCommitSelectsNothing) {
    ThreeEdits();
    Grid().SelectRow(4);
    Control("fail OCITransCommit 3113");
    tvtest::AnswerBox(IDYES);
    ExpectSave(1, nullptr);
    tvtest::AnswerBox(IDOK);
    Commit();
    auto errors = BoxesCaptioned(u"ERROR");
    ASSERT_EQ(errors.size(), 1u) << BoxTexts();
    EXPECT_NE(errors[0].text.find(u"ORA-03113"), std::u16string::npos) << Narrow(errors[0].text.c_str());
    EXPECT_FALSE(Grid().HasSelection());
    ExpectUnchanged();
    EXPECT_EQ(doc->m_data.m_insertedCount + doc->m_data.m_updatedCount + doc->m_data.m_deletedCount, 3);
}

TEST_F(CommitTest, CancelYesDuringTheUpdatesRollsBackEnterDoesNothing) {
    ThreeEdits();
    bool stillOpen = false;
    tvtest::AnswerBox(IDYES); // the commit's question
    // Savepoint, the delete, then the update is held.
    ExpectSave(3, [&](HWND h) {
        tvtest::Key(h, qtplatform::Key_Return);
        tvtest::Pump();
        stillOpen = IsWindow(h) && IsWindowVisible(h);
        tvtest::AnswerBox(IDYES); // "キャンセルしますか"
        tvtest::ClickControl(h, IDCANCEL);
    });
    tvtest::AnswerBox(IDOK); // the error box
    Commit();
    EXPECT_TRUE(stillOpen);
    auto boxes = BoxesText();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(Narrow(boxes[1].c_str()), "確認: キャンセルしますか");
    EXPECT_EQ(Narrow(boxes[2].c_str()), "ERROR: キャンセルしました\n");
    ExpectUnchanged();
    EXPECT_EQ(doc->m_data.m_insertedCount + doc->m_data.m_updatedCount + doc->m_data.m_deletedCount, 3);
}

TEST_F(CommitTest, CancelNoSaves) {
    ThreeEdits();
    tvtest::AnswerBox(IDYES);
    ExpectSave(3, [&](HWND h) {
        tvtest::AnswerBox(IDNO); // not cancelled
        tvtest::ClickControl(h, IDCANCEL);
    });
    tvtest::AnswerBox(IDNO); // no re-query
    Commit();
    EXPECT_TRUE(BoxesCaptioned(u"ERROR").empty()) << BoxTexts();
    EXPECT_EQ(Employees().size(), 20u);
    EXPECT_NE(Employees(), before);
}

TEST_F(CommitTest, AFailedThreadCreationKeepsTheEdits) {
    ThreeEdits();
    tvtest::AnswerBox(IDYES);
    tvtest::AnswerBox(IDOK);
    win32test::FailThreadStarts(1);
    Commit();
    win32test::FailThreadStarts(0);
    auto boxes = BoxesText();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(Narrow(boxes[1].c_str()), "ERROR: スレッド作成エラー");
    EXPECT_EQ(doc->m_data.m_insertedCount + doc->m_data.m_updatedCount + doc->m_data.m_deletedCount, 3);
    ExpectUnchanged();
}

} // namespace

namespace {

using namespace apptest;

// A session of its own, for what another user of the database does meanwhile.
class OtherSession {
public:
    OtherSession() {
        CString msg;
        const int oci7 = g_use_oci7_api;
        g_use_oci7_api = 0;
        EXPECT_EQ(oci_login2(&s_, u"DEMO", u"demo", u"DEMO", nullptr, 1, &msg, nullptr), ORARC_OK)
            << Narrow(msg);
        g_use_oci7_api = oci7;
    }
    ~OtherSession() {
        CString msg;
        if (s_) oci_ora_rollback(s_, &msg);
        if (s_) oci_ora_logout(&s_);
    }
    void Run(const char16_t* sql) {
        CString msg;
        ASSERT_NE(s_, nullptr);
        EXPECT_EQ(oci_exec_sql(s_, sql, &msg), ORARC_OK) << Narrow(sql) << ": " << Narrow(msg);
    }

private:
    OraSession* s_ = nullptr;
};

// A table without a key, whose rows a repeated INSERT would double.
TEST_F(CommitTest, AReQueryThatFailsLeavesNothingPendingToWriteTwice) {
    {
        OtherSession setup;
        setup.Run(u"create table メモ (本文 varchar2(40))");
        setup.Run(u"insert into メモ (本文) values ('最初')");
        setup.Run(u"commit");
    }
    Load(u"メモ");
    ASSERT_EQ(doc->m_data.GetRowCount(), 1) << BoxTexts();
    Grid().SetCursorCell(0, 0);
    Grid().InsertRows(1);
    const int row = doc->m_data.m_curRow;
    Grid().SetCellText(row, 0, u"追加", -1);
    tvtest::Pump();
    ASSERT_EQ(doc->m_data.m_insertedCount, 1);

    // The rows are read again under a lock; another session holds one, so
    // the re-query fails with ORA-00054 and its dialog ends cancelled.
    AppSettings.DATA_LOCK = 1;
    std::optional<OtherSession> holder;
    holder.emplace();
    tvtest::ClearBoxes();
    tvtest::AnswerBox(IDYES);
    ExpectSave(1, nullptr);
    tvtest::AnswerBox(IDYES);
    tvtest::ExpectDialog(u"テーブル選択(検索条件設定)", [&holder](HWND) {
        holder->Run(u"update メモ set 本文 = 本文");
        ExpectQuery();
        tvtest::AnswerBox(IDOK);
        tvtest::Advance(10);
        return true;
    });
    Commit();
    tvtest::VerifyDialogs();
    auto errors = BoxesCaptioned(u"ERROR");
    ASSERT_EQ(errors.size(), 1u) << BoxTexts();
    EXPECT_NE(errors[0].text.find(u"ORA-00054"), std::u16string::npos) << Narrow(errors[0].text.c_str());
    auto saved = RowsOfAnotherSession(u"select 本文 from メモ order by 本文");
    ASSERT_EQ(saved.size(), 2u);

    // Nothing is pending: the counts read nothing and the grid is gone, as
    // after No to the re-query.
    EXPECT_EQ(doc->m_data.m_insertedCount + doc->m_data.m_updatedCount + doc->m_data.m_deletedCount, 0);
    EXPECT_FALSE(doc->HasUnsavedEdits());
    EXPECT_FALSE(doc->IsTableLoaded());
    EXPECT_EQ(doc->m_data.GetRowCount(), 0);

    // The lock released, a second commit has nothing to write: it asks
    // nothing, and the row stays saved once. (Were it asked, it would be
    // answered Yes, save, and leave the grid; the answer left unused is
    // dropped.)
    holder.reset();
    tvtest::ClearBoxes();
    tvtest::AnswerBoxWith([](const tvtest::Box&) -> std::optional<int> {
        tvtest::ExpectDialog(u"実行中", [](HWND) { return true; });
        tvtest::AnswerBox(IDNO);
        return IDYES;
    });
    Commit();
    EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();
    tvtest::ClearBoxes();
    EXPECT_EQ(RowsOfAnotherSession(u"select 本文 from メモ where 本文 = '追加'").size(), 1u);
}

} // namespace
