// Pictures of the two dialogs for a developer to look at: the table
// selection on 社員 with chosen columns and a condition, and "実行中" during a
// gated fetch of BIG_TABLE. Written beside the test binary.
#include "tablelist_fixture.h"

namespace {

using namespace dlgtest;

std::string ShotPath(const char* name) {
    return std::string(TAVRELIX_BIN_DIR) + "/../" + name;
}

TEST_F(TableDlgTest, ShotOfTheDialogs) {
    dlg->m_table = u"社員";
    dlg->m_columns = {u"社員番号", u"氏名", u"部署", u"給与"};
    dlg->m_where = u"部署 = '営業部'\norder by 給与 desc";
    qtplatform::Image table, progress;
    Run([&](HWND h) {
        tvtest::Pump();
        table = tvtest::Capture(h);
        EXPECT_TRUE(tvtest::SavePng(h, ShotPath("tablelist.png")));
        ListSelect(GetDlgItem(h, IDC_TL_OBJECTS), ListFind(GetDlgItem(h, IDC_TL_OBJECTS), u"BIG_TABLE"));
        tvtest::Pump();
        HWND columns = GetDlgItem(h, IDC_TL_COLUMNS);
        ListSelect(columns, 0);
        tvtest::ClickControl(h, IDC_TL_ADD);
        dlg->WhereData().Reset();
        int fetches = 0;
        TAP(OCIStmtFetch2) = [](auto...) {};
        TAPPED(OCIStmtFetch2)::after = [&fetches](sword r, auto...) {
            if (r != OCI_STILL_EXECUTING && ++fetches == 3) Control("gate OCIStmtFetch2");
        };
        tvtest::ExpectDialog(u"実行中", [&](HWND q) {
            if (!Parked()) return false;
            tvtest::Pump();
            progress = tvtest::Capture(q);
            EXPECT_TRUE(tvtest::SavePng(q, ShotPath("querycancel.png")));
            EXPECT_EQ(tvtest::TextOf(GetDlgItem(q, IDC_QC_LINE1)).rfind(u"検索結果転送中(", 0), 0u);
            tvtest::AnswerBox(IDYES);
            tvtest::ClickControl(q, IDCANCEL);
            Control("gate_open");
            return true;
        });
        tvtest::ClickControl(h, IDOK);
    });
    EXPECT_GT(table.width, 400);
    EXPECT_GT(progress.width, 200);
    ASSERT_NE(dlg->m_result, nullptr);
    EXPECT_EQ(dlg->m_result->row_count, 300);
}

} // namespace
