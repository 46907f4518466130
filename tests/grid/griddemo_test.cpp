// A script over the demonstration's frame: two panes on a million rows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/editctrl.h"
#include "griddemo_window.h"
#include "testing/driver.h"
#include "testing/framework.h"

namespace {

int Differing(const qtplatform::Image& a, const qtplatform::Image& b) {
    if (a.width != b.width || a.height != b.height) return -1;
    int n = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) n += a.At(x, y) != b.At(x, y);
    return n;
}

std::u16string CopyText(CGridCtrl& g, int type, int r1, int r2, int c1, int c2) {
    int64_t bytes = g.GetCopyTextSize(type, r1, r2, c1, c2);
    std::vector<char16_t> buf(static_cast<size_t>(bytes / 2));
    int64_t n = g.MakeCopyText(buf.data(), bytes / 2, type, r1, r2, c1, c2);
    return n < 0 ? u"<overflow>" : std::u16string(buf.data(), static_cast<size_t>(n));
}

// A key sent with a modifier leaves it down for the next direct call: the
// demo's staged typing must not see an earlier case's Shift or Ctrl.
void ReleaseModifiers() {
    for (int vk : {VK_SHIFT, VK_CONTROL, VK_MENU}) tvtest::SetKeyState(vk, false);
}

} // namespace

TEST(GridDemo, AMillionRowScript) {
    ReleaseModifiers();
    tvtest::Init();
    GridDemoFrame frame;
    ASSERT_TRUE(frame.CreateDemo(1000000, 900, 620));
    tvtest::Pump();
    CGridCtrl& top = frame.Pane(0);
    CGridCtrl& bottom = frame.Pane(1);
    GeneratedGridData& m = *frame.model;
    HWND h = frame.m_hWnd;
    top.SetFocus();
    tvtest::Pump();

    tvtest::Key(h, qtplatform::Key_End, 2);
    EXPECT_EQ(m.m_curRow, 999999);
    EXPECT_EQ(m.m_curCol, 19);
    tvtest::Key(h, qtplatform::Key_PageUp);
    EXPECT_EQ(m.m_curRow, 999999 - top.GetPageRows());
    tvtest::Key(h, qtplatform::Key_Up, 1);
    tvtest::Key(h, qtplatform::Key_Left, 1);
    EXPECT_TRUE(m.HasSelection());
    tvtest::Key(h, qtplatform::Key_Escape);

    // A border drag widens the first visible column.
    int first = top.FirstCol(), l, r;
    top.GetColumnExtent(first, &l, &r);
    int y = top.m_colHeaderHeight / 2;
    tvtest::MouseDown(top.m_hWnd, r + 1, y);
    tvtest::MouseMove(top.m_hWnd, r + 21, y);
    tvtest::MouseUp(top.m_hWnd, r + 21, y);
    EXPECT_EQ(m.GetColWidth(first), 120);

    // An edit, then Enter moves down; Ctrl+Z and Ctrl+Y.
    top.MoveCursor(POINT{7, 10}, 0, 0);
    tvtest::Type(h, u"edited");
    tvtest::Pump();
    ASSERT_TRUE(top.IsCellEditorVisible());
    tvtest::Key(h, qtplatform::Key_Return);
    tvtest::Pump();
    EXPECT_FALSE(top.IsCellEditorVisible());
    EXPECT_EQ(std::u16string(m.GetText(10, 7)), u"edited");
    EXPECT_EQ(m.m_curRow, 11);
    tvtest::Key(h, 'Z', 2);
    tvtest::Pump(); // the character message is posted
    EXPECT_EQ(std::u16string(m.GetText(10, 7)), u"r10c7");
    tvtest::Key(h, 'Y', 2);
    tvtest::Pump();
    EXPECT_EQ(std::u16string(m.GetText(10, 7)), u"edited");
    tvtest::KeyUp(h, qtplatform::Key_Control, 0);

    // Copies of a 3 x 3 selection.
    top.SetSelectArea(POINT{1, 20}, POINT{1, 20}, POINT{3, 22});
    auto t = [](int row, int col) { return GeneratedGridData::Text(row, col); };
    std::u16string expect2;
    for (int row = 20; row <= 22; ++row) {
        for (int col = 1; col <= 3; ++col) {
            if (col > 1) expect2 += u'\t';
            expect2 += t(row, col);
        }
        expect2 += u"\r\n";
    }
    EXPECT_EQ(CopyText(top, 2, 20, 22, 1, 3), expect2);
    EXPECT_EQ(CopyText(top, 4, 20, 22, 1, 3), u"NAME\t日本語\tQUOTE\r\n" + expect2);
    std::u16string q = CopyText(top, 1, 20, 22, 1, 3);
    EXPECT_NE(q.find(u"\"say \"\"hi\"\" 20\""), std::u16string::npos);
    EXPECT_EQ(CopyText(top, 3, 20, 22, 1, 3).rfind(u"\"NAME\",\"日本語\",\"QUOTE\"\r\n", 0), 0u);
    std::u16string f5 = CopyText(top, 5, 20, 20, 1, 3);
    EXPECT_EQ(f5, u"name20      日本語20       say \"hi\" 20 ");
    EXPECT_EQ(CopyText(top, 6, 20, 20, 1, 1), u"NAME        \r\nname20      ");

    // A find of a text only in row 999,998.
    top.MoveCursor(POINT{0, 999990}, 0, 0);
    int wrapped = 0;
    EXPECT_EQ(top.Find(u"r999998c1", 1, 1, 1, 0, &wrapped, 0), 0);
    EXPECT_EQ(m.m_curRow, 999998);
    EXPECT_EQ(m.m_curCol, 10);
    EXPECT_EQ(wrapped, 0);

    // A replace-all in 100 rows, undone by one Ctrl+Z.
    top.SetGridStyle(top.GetGridStyle() | GRS_INSELECTION, 0);
    top.SetSelectArea(POINT{0, 500}, POINT{0, 500}, POINT{19, 599});
    int count = 0;
    EXPECT_EQ(top.Replace(u"c1", u"C1", 1, 1, 1, 0, 1, 1, &count, &wrapped), 0);
    EXPECT_EQ(count, 100 * 10); // columns 10..19 hold "c1"
    EXPECT_EQ(std::u16string(m.GetText(550, 12)), u"r550C12");
    tvtest::Key(h, 'Z', 2);
    tvtest::KeyUp(h, qtplatform::Key_Control, 0);
    tvtest::Pump();
    EXPECT_EQ(std::u16string(m.GetText(550, 12)), u"r550c12");
    EXPECT_EQ(std::u16string(m.GetText(10, 7)), u"edited");

    // The next changed cell is the edited one.
    top.MoveCursor(POINT{0, 0}, 0, 0);
    EXPECT_EQ(top.NextModifiedCell(&wrapped), 1);
    EXPECT_EQ(m.m_curRow, 10);
    EXPECT_EQ(m.m_curCol, 7);
    tvtest::Pump();

    // The other pane shows what a fresh pane shows at its position.
    auto seen = tvtest::Capture(bottom.m_hWnd);
    GridDemoFrame fresh;
    fresh.model.reset(); // share the demo's model
    ASSERT_TRUE(fresh.Make(&m, 900, 620, top.GetGridStyle() & ~GRS_INSELECTION));
    // Binding resets the shared cursor: put it back where the script left it.
    m.m_curCol = 7;
    m.m_curRow = 10;
    top.SetFocus(); // the new frame took the focus
    tvtest::Pump();
    fresh.Pane(0).Invalidate(FALSE);
    fresh.Pane(1).Invalidate(FALSE);
    tvtest::Pump();
    CGridCtrl& other = fresh.Pane(1);
    other.ScrollBy(bottom.FirstCol() - other.FirstCol(), bottom.FirstRow() - other.FirstRow(), 0);
    tvtest::Pump();
    EXPECT_EQ(Differing(seen, tvtest::Capture(other.m_hWnd)), 0);
    fresh.DestroyWindow();
    frame.DestroyWindow();
    tvtest::Pump();
}

TEST(GridDemo, ShotShowsTheStagedState) {
    ReleaseModifiers();
    tvtest::Init();
    GridDemoFrame frame;
    ASSERT_TRUE(frame.CreateDemo(1000000, 900, 620));
    frame.StageShot();
    qtplatform::Image img = frame.Shot();
    CGridCtrl& top = frame.Pane(0);
    GridStyle& s = frame.model->m_style;
    auto at = [&](CGridCtrl& g, int col, int row) {
        CRect c = g.GetCellRect(col, row);
        POINT p{c.right - 4, c.top + 3};
        g.MapWindowPoints(&frame, &p, 1);
        RECT fr;
        ::GetWindowRect(frame.m_hWnd, &fr);
        POINT o{0, 0};
        ::ClientToScreen(frame.m_hWnd, &o);
        return img.At(p.x + o.x - fr.left, p.y + o.y - fr.top) & 0xFFFFFF;
    };
    auto rgb = [](COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); };
    EXPECT_EQ(at(top, 3, 3), rgb(s.colors[GRID_SELECT_COLOR]));
    EXPECT_EQ(at(top, 3, 1), rgb(s.colors[GRID_UPDATE_COLOR]));
    CGridCtrl& bottom = frame.Pane(1);
    EXPECT_EQ(at(bottom, 1, 3), rgb(frame.second->m_style.colors[GRID_NULL_CELL_COLOR]));
    // The open editor shows its typed-into text on the modified colour.
    ASSERT_TRUE(bottom.IsCellEditorVisible());
    EXPECT_EQ(std::u16string(bottom.m_editData->GetAllText().GetString()), u"name2 typed here");
    EXPECT_EQ(at(bottom, 1, 2), rgb(frame.second->m_style.colors[GRID_UPDATE_COLOR]));
    ASSERT_EQ(s.tip.shown, 1);
    RECT tr, fr;
    ::GetWindowRect(s.tip.wnd, &tr);
    ::GetWindowRect(frame.m_hWnd, &fr);
    EXPECT_EQ(img.At(tr.left - fr.left + 1, tr.top - fr.top + 1) & 0xFFFFFF, rgb(s.tip.bkColor));
    if (const char* dir = getenv("GRIDDEMO_PNG"))
        qtplatform::SavePng(img, std::string(dir) + "/griddemo.png");
    s.HideTip();
    frame.DestroyWindow();
    tvtest::Pump();
}
