// The query worker and its progress dialog on the DEMO database: the lines
// shown, cancelling answered No and Yes, a worker ending while the question
// is open, the delayed show and a worker that cannot be made.
#include <atomic>
#include <chrono>
#include <thread>

#include "app/dialogs/querydlg.h"
#include "dialog_fixture.h"
#include "res/tablelist.h"

namespace {

using dlgtest::DemoTest;
using namespace oratest;

// Records every first-line text the dialog takes, and its size when it ends.
class RecordingCancelDlg : public CCancelDlg {
public:
    std::vector<std::u16string> lines;
    SIZE endSize{-1, -1};

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_DESTROY) {
            RECT r;
            GetWindowRect(&r);
            endSize = {r.right - r.left, r.bottom - r.top};
        }
        LRESULT result = CCancelDlg::WindowProc(message, wParam, lParam);
        if (message == QPM_SETTEXT || message == QPM_ROWSFETCHED) {
            std::u16string l = m_line1.GetString();
            if (lines.empty() || lines.back() != l) lines.push_back(l);
        }
        return result;
    }
};

int Count(const std::u16string& line) {
    size_t open = line.find(u'(');
    return open == std::u16string::npos ? -1 : std::stoi(WideToUtf8(line.substr(open + 1).c_str()));
}

class QueryTest : public DemoTest {
public:
    OraDataset ds{};
    std::atomic<int> fetches{0};
    void SetUp() override {
        DemoTest::SetUp();
        oci_init_dataset(&ds);
    }
    void TearDown() override {
        oci_free_dataset(&ds);
        DemoTest::TearDown();
    }
    // The fetch after n finished fetches parks until gate_open (a blocking
    // fetch: the polled first one cannot lose its rows to a break).
    void GateFetch(int n) {
        TAP(OCIStmtFetch2) = [](auto...) {};
        TAPPED(OCIStmtFetch2)::after = [this, n](sword r, auto...) {
            if (r != OCI_STILL_EXECUTING && ++fetches == n) Control("gate OCIStmtFetch2");
        };
    }
    // Clicks Cancel once the worker is parked in a gated fetch, answering the question with answer.
    std::function<bool(HWND)> CancelWhenParked(int answer) {
        return [answer](HWND dlg) {
            if (!dlgtest::Parked()) return false;
            tvtest::AnswerBox(answer);
            tvtest::ClickControl(dlg, IDCANCEL);
            Control("gate_open");
            return true;
        };
    }
};

TEST_F(QueryTest, LinesGoFromExecutionToGrowingCounts) {
    RecordingCancelDlg dlg;
    dlg.m_delayedShow = 0;
    CString msg;
    ExpectQuery();
    int rc =
        RunQueryInDialog(dlg, s, &ds, u"select a.ID, a.NAME, rowid from BIG_TABLE a where ID <= 5000", &msg);
    ASSERT_EQ(rc, ORARC_OK) << Narrow(msg);
    EXPECT_EQ(ds.row_count, 5000);
    ASSERT_GE(dlg.lines.size(), 4u);
    EXPECT_EQ(dlg.lines[0], u"SQL実行中");
    EXPECT_EQ(dlg.lines[1], u"データベース検索中");
    int last = 0;
    for (size_t i = 2; i < dlg.lines.size(); ++i) {
        EXPECT_EQ(dlg.lines[i].rfind(u"検索結果転送中(", 0), 0u) << WideToUtf8(dlg.lines[i].c_str());
        EXPECT_GT(Count(dlg.lines[i]), last);
        last = Count(dlg.lines[i]);
    }
    EXPECT_EQ(last, 5000);
    EXPECT_GT(dlg.endSize.cx, 0); // shown at once
}

TEST_F(QueryTest, CancelAnsweredNoGoesOnToEveryRow) {
    GateFetch(2);
    tvtest::ExpectDialog(u"実行中", CancelWhenParked(IDNO));
    CString msg;
    int rc =
        RunQueryWithProgress(s, &ds, u"select a.ID, rowid from BIG_TABLE a where ID <= 5000", &msg, nullptr);
    EXPECT_EQ(rc, ORARC_OK) << Narrow(msg);
    EXPECT_EQ(ds.row_count, 5000);
    ASSERT_EQ(tvtest::Boxes().size(), 1u) << BoxTexts();
    EXPECT_EQ(tvtest::Boxes()[0].caption, u"確認");
    EXPECT_EQ(tvtest::Boxes()[0].text, u"キャンセルしますか？");
}

TEST_F(QueryTest, CancelAnsweredYesKeepsTheRowsFetched) {
    GateFetch(2);
    tvtest::ExpectDialog(u"実行中", CancelWhenParked(IDYES));
    CString msg;
    int rc =
        RunQueryWithProgress(s, &ds, u"select a.ID, rowid from BIG_TABLE a where ID <= 5000", &msg, nullptr);
    EXPECT_EQ(rc, ORARC_CANCELLED);
    EXPECT_EQ(Narrow(msg), "キャンセルしました\n");
    EXPECT_GT(ds.row_count, 0);
    EXPECT_LT(ds.row_count, 5000);
    EXPECT_EQ(ds.row_count % 100, 0);
    EXPECT_EQ(tvtest::Boxes().size(), 1u) << BoxTexts(); // the question only, no error
}

// The worker's last fetch ends while the question is open: the worker waits
// for the answer.
class FinishWhileAskingTest : public QueryTest, public ::testing::WithParamInterface<int> {};

TEST_P(FinishWhileAskingTest, AnswerDecidesTheResult) {
    Control("gate OCIStmtExecute");
    bool opened = false;
    tvtest::ExpectDialog(u"実行中", [](HWND dlg) {
        if (!dlgtest::Parked()) return false;
        tvtest::ClickControl(dlg, IDCANCEL);
        return true;
    });
    tvtest::AnswerBoxWith([&](const tvtest::Box&) -> std::optional<int> {
        if (!opened) {
            opened = true;
            Control("gate_open");
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        return GetParam();
    });
    CString msg;
    int rc = RunQueryWithProgress(s, &ds, u"select a.\"社員番号\", rowid from \"社員\" a", &msg, nullptr);
    EXPECT_EQ(rc, GetParam() == IDYES ? ORARC_CANCELLED : ORARC_OK) << Narrow(msg);
}

INSTANTIATE_TEST_SUITE_P(YesNo, FinishWhileAskingTest, ::testing::Values(IDYES, IDNO));

TEST_F(QueryTest, DelayedShowNeverSizesAShortQuery) {
    RecordingCancelDlg dlg;
    dlg.m_delayedShow = 1;
    CString msg;
    ExpectQuery();
    ASSERT_EQ(RunQueryInDialog(dlg, s, &ds, u"select a.\"氏名\", rowid from \"社員\" a", &msg), ORARC_OK)
        << Narrow(msg);
    EXPECT_EQ(dlg.endSize.cx, 0);
    EXPECT_EQ(dlg.endSize.cy, 0);
    for (const auto& l : dlg.lines) EXPECT_EQ(l.find(u"検索結果転送中"), std::u16string::npos);
}

TEST_F(QueryTest, DelayedShowSizesTheDialogAfterHalfASecond) {
    Control("gate OCIStmtExecute");
    RecordingCancelDlg dlg;
    dlg.m_delayedShow = 1;
    SIZE before{-1, -1}, after{-1, -1};
    tvtest::ExpectDialog(u"実行中", [&](HWND h) {
        if (!dlgtest::Parked()) return false;
        RECT r;
        GetWindowRect(h, &r);
        before = {r.right - r.left, r.bottom - r.top};
        tvtest::Advance(500);
        GetWindowRect(h, &r);
        after = {r.right - r.left, r.bottom - r.top};
        Control("gate_open");
        return true;
    });
    CString msg;
    ASSERT_EQ(RunQueryInDialog(dlg, s, &ds, u"select a.\"氏名\", rowid from \"社員\" a", &msg), ORARC_OK)
        << Narrow(msg);
    EXPECT_EQ(before.cx, 0);
    EXPECT_GT(after.cx, 100);
    EXPECT_GT(after.cy, 50);
}

// LONG values longer than the read buffer are cut: the rows come back and a
// box says how many values were cut and where; a query that cuts nothing
// shows no box.
TEST_F(QueryTest, CutLongValuesAreToldInABox) {
    Exec(s, u"create table LG (ID number, L long)");
    Exec(s, u"insert into LG values (1, 'short')");
    Exec(s, (u"insert into LG values (2, '" + std::u16string(100, u'x') + u"')").c_str());
    Exec(s, u"commit");
    const int saved = g_oci_long_read_size;
    g_oci_long_read_size = 21;
    ExpectQuery();
    tvtest::AnswerBox(IDOK);
    CString msg;
    int rc = RunQueryWithProgress(s, &ds, u"select a.ID, a.L, rowid from LG a order by a.ID", &msg, nullptr);
    EXPECT_EQ(rc, ORARC_OK) << Narrow(msg);
    EXPECT_EQ(ds.row_count, 2);
    EXPECT_EQ(std::u16string(oci_get_dataset_data(&ds, 1, 1)), std::u16string(20, u'x'));
    ASSERT_EQ(tvtest::Boxes().size(), 1u) << BoxTexts();
    EXPECT_EQ(tvtest::Boxes()[0].caption, u"Message");
    EXPECT_EQ(tvtest::Boxes()[0].text, u"LONG型の値を20byteで切り捨てました(1件)\n");

    tvtest::ClearBoxes();
    oci_init_dataset(&ds);
    ExpectQuery();
    rc = RunQueryWithProgress(s, &ds, u"select a.ID, a.L, rowid from LG a where a.ID = 1", &msg, nullptr);
    g_oci_long_read_size = saved;
    EXPECT_EQ(rc, ORARC_OK) << Narrow(msg);
    EXPECT_EQ(ds.row_count, 1);
    EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();
}

TEST_F(QueryTest, AWorkerThatCannotBeMadeOpensNoDialog) {
    win32test::FailThreadStarts(1);
    CString msg;
    int rc = RunQueryWithProgress(s, &ds, u"select a.\"氏名\", rowid from \"社員\" a", &msg, nullptr);
    win32test::FailThreadStarts(0);
    EXPECT_NE(rc, ORARC_OK);
    EXPECT_NE(rc, ORARC_CANCELLED);
    EXPECT_EQ(Narrow(msg), "スレッド作成エラー");
}

} // namespace
