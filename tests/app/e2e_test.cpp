// The road a new user walks, every step real input: the menu, the filter,
// the table, the condition, Enter, the progress dialog, the rows on screen;
// then a big table cancelled during its fetch.
#include "app/mainfrm.h"
#include "editor/editctrl.h"
#include "app/tavexdoc.h"
#include "app/tavexview.h"
#include "docview_fixture.h"
#include "res/resource.h"
#include "res/tablelist.h"

namespace {

using namespace apptest;
using oratest::Tap;

TEST_F(AppTest, ANewUserSeesTheRowsOfATable) {
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
    auto* frame = dynamic_cast<CMainFrame*>(theApp.m_pMainWnd);
    ASSERT_NE(frame, nullptr);
    auto* doc = dynamic_cast<CTavexDoc*>(frame->GetActiveDocument());
    auto* view = dynamic_cast<CTavexView*>(frame->m_wndSplitter.GetPane(0, 0));
    ASSERT_NE(doc, nullptr);
    ASSERT_NE(view, nullptr);
    oratest::g_real = g_oci;

    // "テーブル選択..." from the menu; the dialog as the user fills it.
    static std::thread::id ui;
    ui = std::this_thread::get_id();
    static std::atomic<bool> held;
    held = false;
    apptest::WaitForKeywordLoader();
    TAP(OCIStmtExecute) = [](auto...) {
        if (std::this_thread::get_id() != ui && !held.exchange(true)) Control("gate OCIStmtExecute self");
    };
    bool progressShown = false;
    tvtest::ExpectDialog(u"テーブル選択(検索条件設定)", [&](HWND h) {
        tvtest::TypeInto(h, IDC_TL_FILTER, u"^社");
        HWND objects = GetDlgItem(h, IDC_TL_OBJECTS);
        RECT r;
        GetClientRect(objects, &r);
        // The first row under the header: 社員.
        auto* list = static_cast<CListCtrl*>(CWnd::FromHandle(objects));
        EXPECT_EQ(list->GetItemText(0, 0), CString(u"社員"));
        tvtest::Click(objects, 40, 30);
        tvtest::Pump();
        HWND where = GetDlgItem(h, IDC_TL_WHERE);
        RECT w;
        GetClientRect(where, &w);
        tvtest::Click(where, w.right / 2, w.bottom / 2);
        tvtest::Type(where, u"部署 = '営業部' order by 給与 desc");
        tvtest::Pump();
        tvtest::ExpectDialog(u"実行中", [&](HWND) {
            if (!Parked()) return false;
            progressShown = true;
            Control("gate_open");
            return true;
        });
        // Enter on the table list runs the default button.
        tvtest::Key(GetFocus(), 'T', unsigned(qtplatform::Mods::Alt));
        tvtest::Pump();
        tvtest::Key(GetFocus(), qtplatform::Key_Return);
        tvtest::Pump();
        return true;
    });
    tvtest::AnswerMenu(ID_FILE_SELECT_TABLE);
    tvtest::Key(frame->GetSafeHwnd(), qtplatform::Key_F10);
    tvtest::RunUntilIdle();
    EXPECT_TRUE(progressShown);
    ASSERT_EQ(doc->m_data.GetRowCount(), 4);
    std::vector<std::u16string> ids;
    for (int r = 0; r < 4; ++r) ids.push_back(doc->m_data.GetText(r, 0));
    EXPECT_EQ(ids, (std::vector<std::u16string>{u"1016", u"1011", u"1006", u"1001"}));
    // On screen: text in the four rows' cells, nothing below them.
    view->m_grid.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    tvtest::Pump();
    qtplatform::Image shot = tvtest::Capture(view->m_grid.GetSafeHwnd());
    for (int r = 0; r < 4; ++r) EXPECT_GT(InkIn(view->m_grid, shot, 0, r), 10) << r;
    EXPECT_EQ(InkIn(view->m_grid, shot, 0, 5), 0);
    EXPECT_TRUE(tvtest::SavePng(frame->GetSafeHwnd(), std::string(TAVRELIX_BIN_DIR) + "/../mainwnd.png"));

    // BIG_TABLE, no condition; a later fetch held; Cancel, Yes.
    static std::atomic<int> fetches;
    fetches = 0;
    TAP(OCIStmtExecute) = [](auto...) {};
    TAP(OCIStmtFetch2) = [](auto...) {};
    TAPPED(OCIStmtFetch2)::after = [](sword r, auto...) {
        if (r != OCI_STILL_EXECUTING && std::this_thread::get_id() != ui && ++fetches == 5)
            Control("gate OCIStmtFetch2");
    };
    std::u16string shownLine;
    tvtest::ExpectDialog(u"テーブル選択(検索条件設定)", [&](HWND h) {
        tvtest::TypeInto(h, IDC_TL_FILTER, u"^big");
        HWND where = GetDlgItem(h, IDC_TL_WHERE);
        auto* ed = static_cast<CEditCtrl*>(CWnd::FromHandle(where));
        ed->GetData()->Reset();
        tvtest::ExpectDialog(u"実行中", [&](HWND q) {
            if (!Parked()) return false;
            tvtest::Pump();
            shownLine = tvtest::TextOf(GetDlgItem(q, IDC_QC_LINE1));
            tvtest::AnswerBox(IDYES);
            tvtest::ClickControl(q, IDCANCEL);
            Control("gate_open");
            return true;
        });
        tvtest::ClickControl(h, IDOK);
        return true;
    });
    tvtest::ClearBoxes();
    tvtest::AnswerMenu(ID_FILE_SELECT_TABLE);
    tvtest::Key(frame->GetSafeHwnd(), qtplatform::Key_F10);
    tvtest::RunUntilIdle();
    EXPECT_EQ(shownLine.rfind(u"検索結果転送中(", 0), 0u) << Narrow(shownLine.c_str());
    ASSERT_EQ(tvtest::Boxes().size(), 1u); // the question only
    EXPECT_EQ(tvtest::Boxes()[0].text, u"キャンセルしますか？");
    int rows = doc->m_data.GetRowCount();
    EXPECT_GT(rows, 0);
    EXPECT_LT(rows, 200000);
    EXPECT_EQ(rows % 100, 0);
    EXPECT_EQ(Narrow(tvtest::TextOf(frame->GetSafeHwnd()).c_str()), "DEMO@DEMO - BIG_TABLE");
}

} // namespace
