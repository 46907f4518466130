// Two panes of one model in a splitter keep each other up to date.
#include <gtest/gtest.h>

#include <memory>

#include "gridwnd_fixture.h"
#include "testing/driver.h"

namespace {

CRect UpdateBox(HWND hwnd) {
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    GetUpdateRgn(hwnd, rgn, FALSE);
    RECT box{};
    GetRgnBox(rgn, &box);
    DeleteObject(rgn);
    return box;
}

CRect Grown(CRect r) {
    r.right += 1;
    r.bottom += 1;
    return r;
}

int Differing(const qtplatform::Image& a, const qtplatform::Image& b) {
    if (a.width != b.width || a.height != b.height) return -1;
    int n = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) n += a.At(x, y) != b.At(x, y);
    return n;
}

class GridPaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        tvtest::Init();
        model_ = std::make_unique<GeneratedGridData>(1000, 20);
        ASSERT_TRUE(frame_.Make(model_.get(), 900, 600));
        tvtest::Pump();
        Top().SetFocus();
        tvtest::Pump();
    }
    void TearDown() override {
        frame_.DestroyWindow();
        tvtest::Pump();
    }
    CGridCtrl& Top() { return frame_.Pane(0); }
    CGridCtrl& Bottom() { return frame_.Pane(1); }

    std::unique_ptr<GeneratedGridData> model_;
    GridSplitFrame frame_;
};

} // namespace

TEST_F(GridPaneTest, ACursorMoveRepaintsOnlyTheTwoCellsInTheOtherPane) {
    ASSERT_TRUE(Top().IsSplitterPane());
    EXPECT_EQ(Top().m_hasFocus, 1);
    EXPECT_EQ(Bottom().m_hasFocus, 0);
    Top().MoveCursor(POINT{1, 2}, 1, 0);
    tvtest::Pump();
    Top().MoveCursor(POINT{2, 3}, 1, 0);
    CRect expect = Grown(Bottom().GetCellRect(1, 2));
    expect.UnionRect(&expect, Grown(Bottom().GetCellRect(2, 3)));
    EXPECT_EQ(UpdateBox(Bottom().m_hWnd), expect);
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    GetUpdateRgn(Bottom().m_hWnd, rgn, FALSE);
    CRect between = Bottom().GetCellRect(1, 3); // inside the box, not a cursor cell
    EXPECT_FALSE(PtInRegion(rgn, between.left + 5, between.top + 5));
    DeleteObject(rgn);
    tvtest::Pump();
    // The other pane shows the cursor cell in the selection colour.
    EXPECT_EQ(Bottom().IsCellSelected(3, 2), 1);
    EXPECT_EQ(Top().IsCellSelected(3, 2), 0);
}

TEST_F(GridPaneTest, SelectionsAndAreasRepaintTheSameInBothPanes) {
    Top().SetSelectArea(POINT{1, 1}, POINT{1, 1}, POINT{3, 4});
    tvtest::Pump();
    Top().ExtendSelection(POINT{4, 6});
    EXPECT_EQ(UpdateBox(Bottom().m_hWnd), UpdateBox(Top().m_hWnd));
    tvtest::Pump();
    POINT a{2, 2}, b{3, 5};
    Bottom().SendMessage(GDM_REDRAWAREA, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    CRect expect(Bottom().GetCellRect(2, 2).TopLeft(), Grown(Bottom().GetCellRect(3, 5)).BottomRight());
    EXPECT_EQ(UpdateBox(Bottom().m_hWnd), expect);
    tvtest::Pump();
}

TEST_F(GridPaneTest, AfterEditsTheOtherPaneLooksFresh) {
    Top().SetCellText(2, 7, u"edited", -1);
    Top().SetCellText(3, 7, u"again", -1);
    Top().Undo();
    int y = Top().m_colHeaderHeight / 2;
    int l, r;
    Top().GetColumnExtent(2, &l, &r);
    HWND t = Top().m_hWnd;
    tvtest::MouseDown(t, r + 1, y);
    tvtest::MouseMove(t, r + 31, y);
    tvtest::MouseUp(t, r + 31, y);
    EXPECT_EQ(model_->GetColWidth(2), 130);
    tvtest::Pump();
    auto seen = tvtest::Capture(Bottom().m_hWnd);
    POINT cursor{model_->m_curCol, model_->m_curRow};
    GridSplitFrame fresh;
    ASSERT_TRUE(fresh.Make(model_.get(), 900, 600));
    // Binding resets the shared cursor, and the new frame took the focus.
    model_->m_curCol = cursor.x;
    model_->m_curRow = cursor.y;
    Top().SetFocus();
    tvtest::Pump();
    fresh.Pane(1).Invalidate(FALSE);
    tvtest::Pump();
    auto other = tvtest::Capture(fresh.Pane(1).m_hWnd);
    EXPECT_EQ(Differing(seen, other), 0);
    EXPECT_EQ(std::u16string(model_->GetText(2, 7)), u"edited");
    fresh.DestroyWindow();
    tvtest::Pump();
}

TEST_F(GridPaneTest, FocusNotices) {
    auto* topView = static_cast<GridPaneView*>(frame_.split.GetPane(0, 0));
    auto* bottomView = static_cast<GridPaneView*>(frame_.split.GetPane(1, 0));
    topView->notes.clear();
    bottomView->notes.clear();
    Bottom().SetFocus();
    tvtest::Pump();
    EXPECT_EQ(Top().m_hasFocus, 0);
    EXPECT_EQ(Bottom().m_hasFocus, 1);
    int kill = 0, set = 0, moved = 0;
    for (auto& n : topView->notes) kill += n.msg == GDN_KILLFOCUS;
    for (auto& n : bottomView->notes) {
        set += n.msg == GDN_SETFOCUS;
        moved += n.msg == GDN_CURSORMOVED;
    }
    EXPECT_EQ(kill, 1);
    EXPECT_EQ(set, 1);
    EXPECT_EQ(moved, 1);
    // Data changes are posted.
    bottomView->notes.clear();
    Bottom().SetCellText(1, 1, u"p", -1);
    EXPECT_EQ(bottomView->notes.size(), 0u);
    tvtest::Pump();
    ASSERT_EQ(bottomView->notes.size(), 1u);
    EXPECT_EQ(bottomView->notes[0].msg, GDN_DATACHANGED);
}
