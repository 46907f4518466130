// Dates typed into cells and saved, in either call set: a text that is no
// date fails the save with Oracle's error, the cursor on its cell and every
// edit kept, the table as it was; what is saved is what reads back and what
// computes.
#include "docview_fixture.h"
#include "employees.h"

namespace {

using namespace apptest;

class DateSaveTest : public DocViewTest, public ::testing::WithParamInterface<bool> {
public:
    static constexpr int kHired = 4; // 入社日
    std::vector<std::vector<std::u16string>> before;

    void SetUp() override {
        AppTest::SetUp();
        ASSERT_TRUE(Start({GetParam() ? u"LOGON=DEMO/demo@DEMO:OCI7" : u"LOGON=DEMO/demo@DEMO"}))
            << BoxTexts();
        frame = dynamic_cast<CMainFrame*>(theApp.m_pMainWnd);
        ASSERT_NE(frame, nullptr);
        doc = dynamic_cast<CTavexDoc*>(frame->GetActiveDocument());
        view = dynamic_cast<CTavexView*>(frame->m_wndSplitter.GetPane(0, 0));
        ASSERT_TRUE(doc && view);
        ASSERT_EQ(g_use_oci7_api, GetParam() ? 1 : 0);
        before = Hired();
        ASSERT_EQ(before.size(), 20u);
        Load(u"社員");
        ASSERT_EQ(doc->m_data.GetRowCount(), 20) << BoxTexts();
        ASSERT_EQ(Narrow(doc->m_data.GetColName(kHired)), "入社日");
    }
    // 社員番号, 入社日 and 入社日 + 1 as another session reads them.
    static std::vector<std::vector<std::u16string>> Hired() {
        return RowsOfAnotherSession(
            u"select 社員番号, to_char(入社日, 'YYYY-MM-DD HH24:MI:SS'), "
            u"to_char(入社日 + 1, 'YYYY-MM-DD HH24:MI:SS') from 社員 order by 社員番号");
    }
    void Type(int row, const char16_t* text) {
        view->m_grid.SetCursorCell(kHired, row);
        view->m_grid.SetCellText(row, kHired, text, -1);
    }
    // The commit answered Yes, the progress dialog let run; the error box's text.
    std::u16string CommitFails() {
        tvtest::ClearBoxes();
        tvtest::AnswerBox(IDYES);
        tvtest::ExpectDialog(u"実行中", [](HWND) { return true; });
        tvtest::AnswerBox(IDOK);
        view->m_grid.SetCursorCell(0, 0);
        frame->SendMessage(WM_COMMAND, ID_FILE_COMMIT);
        tvtest::Pump();
        auto errors = BoxesCaptioned(u"ERROR");
        EXPECT_EQ(errors.size(), 1u) << BoxTexts();
        return errors.empty() ? u"" : errors[0].text;
    }
};

} // namespace

TEST_P(DateSaveTest, ATextThatIsNoDateFailsOnItsCellAndTheRestIsSavedAsShown) {
    Type(2, u"2020-01-01 10:-5:00");
    Type(5, u"2020-01-01 24:00:00");
    Type(7, u"0000-01-01 00:00:00");
    Type(9, u"2020-01-01 -3:-5:-9");
    ASSERT_EQ(doc->m_data.m_updatedCount, 4);

    // Each failure in its turn, on its own cell, the table untouched.
    const std::pair<int, const char16_t*> failures[] = {{5, u"ORA-01850"}, {7, u"ORA-01841"}};
    for (auto& [row, code] : failures) {
        std::u16string text = CommitFails();
        EXPECT_NE(text.find(code), std::u16string::npos) << Narrow(text.c_str());
        EXPECT_EQ(doc->m_data.m_curCol, kHired) << Narrow(code);
        EXPECT_EQ(doc->m_data.m_curRow, row) << Narrow(code);
        EXPECT_EQ(Hired(), before) << Narrow(code);
        EXPECT_EQ(doc->m_data.m_updatedCount, 4) << "every edit is kept";
        EXPECT_EQ(Narrow(doc->m_data.GetText(7, kHired)), "0000-01-01 00:00:00");
        Type(row, u"2020-01-01 23:00:00");
    }

    // Saved: the sign between fields read as punctuation, the value shown
    // being the value stored and computed.
    tvtest::ClearBoxes();
    tvtest::AnswerBox(IDYES);
    tvtest::ExpectDialog(u"実行中", [](HWND) { return true; });
    tvtest::AnswerBox(IDNO);
    frame->SendMessage(WM_COMMAND, ID_FILE_COMMIT);
    tvtest::Pump();
    ASSERT_TRUE(BoxesCaptioned(u"ERROR").empty()) << BoxTexts();
    auto after = Hired();
    auto expected = before;
    expected[2] = {before[2][0], u"2020-01-01 10:05:00", u"2020-01-02 10:05:00"};
    expected[5] = {before[5][0], u"2020-01-01 23:00:00", u"2020-01-02 23:00:00"};
    expected[7] = {before[7][0], u"2020-01-01 23:00:00", u"2020-01-02 23:00:00"};
    expected[9] = {before[9][0], u"2020-01-01 03:05:09", u"2020-01-02 03:05:09"};
    EXPECT_EQ(after, expected);
    // And the program shows them so.
    Load(u"社員");
    EXPECT_EQ(Narrow(doc->m_data.GetText(2, kHired)), "2020-01-01 10:05:00");
    EXPECT_EQ(Narrow(doc->m_data.GetText(9, kHired)), "2020-01-01 03:05:09");
}

INSTANTIATE_TEST_SUITE_P(CallSets, DateSaveTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Oracle7" : "Oracle8"; });
