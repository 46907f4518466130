// The running program logged on as DEMO with its frame, document and first
// view, and the table-selection command driven as a user drives it (the
// query's progress dialog held open until it has shown).
#pragma once

#include <algorithm>
#include <atomic>
#include <thread>

#include "app/dialogs/tablelistdlg.h"
#include "app/mainfrm.h"
#include "app/tavexdoc.h"
#include "app/tavexview.h"
#include "app_fixture.h"
#include "query_fixture.h"
#include "grid/gridfilter.h"
#include "res/resource.h"
#include "res/tablelist.h"

namespace apptest {

using oratest::Tap;

// Dark pixels of a grid cell in a captured image of the grid: what is drawn
// there now (a capture reads what was painted, nothing is painted for it).
// An inset leaves out the cell's edge (the grid lines, the cursor's frame).
inline int InkIn(CGridCtrl& grid, const qtplatform::Image& img, int col, int row, int inset = 0) {
    CRect r = grid.GetCellRect(col, row);
    r.DeflateRect(inset, inset);
    int n = 0;
    for (int y = std::max<int>(0, r.top); y < std::min<int>(img.height, r.bottom); ++y)
        for (int x = std::max<int>(0, r.left); x < std::min<int>(img.width, r.right); ++x) {
            uint32_t p = img.At(x, y);
            n += ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 200;
        }
    return n;
}
inline int InkIn(CGridCtrl& grid, int col, int row, int inset = 0) {
    return InkIn(grid, tvtest::Capture(grid.m_hWnd), col, row, inset);
}

class DocViewTest : public AppTest {
public:
    CMainFrame* frame = nullptr;
    CTavexDoc* doc = nullptr;
    CTavexView* view = nullptr;

    void SetUp() override {
        AppTest::SetUp();
        ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"})) << BoxTexts();
        frame = dynamic_cast<CMainFrame*>(theApp.m_pMainWnd);
        ASSERT_NE(frame, nullptr);
        doc = dynamic_cast<CTavexDoc*>(frame->GetActiveDocument());
        ASSERT_NE(doc, nullptr);
        view = dynamic_cast<CTavexView*>(frame->m_wndSplitter.GetPane(0, 0));
        ASSERT_NE(view, nullptr);
    }
    static std::string BoxTexts() {
        std::string out;
        for (const tvtest::Box& b : tvtest::Boxes())
            out += Narrow(b.caption.c_str()) + ": " + Narrow(b.text.c_str()) + "\n";
        return out;
    }
    // The command through the frame, answering the table dialog with body.
    void SelectTable(UINT command, std::function<void(HWND)> body) {
        tvtest::ExpectDialog(u"テーブル選択(検索条件設定)", [body](HWND h) {
            body(h);
            return true;
        });
        frame->SendMessage(WM_COMMAND, command);
        tvtest::Pump();
    }
    void Choose(HWND h, const std::u16string& table) {
        HWND objects = GetDlgItem(h, IDC_TL_OBJECTS);
        auto* l = static_cast<CListCtrl*>(CWnd::FromHandle(objects));
        for (int i = 0; i < l->GetItemCount(); ++i)
            l->SetItemState(i, l->GetItemText(i, 0) == table.c_str() ? LVIS_SELECTED : 0, LVIS_SELECTED);
        tvtest::Pump();
    }
    void Load(const std::u16string& table, std::vector<std::u16string> columns = {}) {
        SelectTable(ID_FILE_SELECT_TABLE, [&](HWND h) {
            Choose(h, table);
            if (!columns.empty()) {
                auto* l = static_cast<CListCtrl*>(CWnd::FromHandle(GetDlgItem(h, IDC_TL_COLUMNS)));
                for (int i = 0; i < l->GetItemCount(); ++i) {
                    bool want = std::find(columns.begin(), columns.end(), l->GetItemText(i, 0).GetString()) !=
                                columns.end();
                    l->SetItemState(i, want ? LVIS_SELECTED : 0, LVIS_SELECTED);
                }
                tvtest::ClickControl(h, IDC_TL_ADD);
            }
            ExpectQuery();
            tvtest::ClickControl(h, IDOK);
        });
    }
    // "最新のデータを表示": the dialog runs its query by itself.
    void Refresh() {
        SelectTable(ID_FILE_REFRESH, [](HWND) {
            ExpectQuery();
            tvtest::Advance(10);
        });
    }
    std::u16string Title() { return tvtest::TextOf(frame->GetSafeHwnd()); }
};

} // namespace apptest
