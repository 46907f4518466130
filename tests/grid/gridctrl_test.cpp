#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>

#include "gridwnd_fixture.h"
#include "testing/driver.h"
#include "testmodel.h"

namespace {

// Qt captures are 0xAARRGGBB; colours are 0x00BBGGRR.
uint32_t Rgb(COLORREF c) {
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

class GridWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        tvtest::Init();
        ASSERT_TRUE(parent_.MakeTop(1100, 700));
        model_ = std::make_unique<VectorGridData>(200, 10);
        model_->Bind();
        ASSERT_TRUE(grid_.CreateGrid(WS_CHILD | WS_VISIBLE, CRect(0, 0, 1000, 500), &parent_, 5));
        SetUpGrid(grid_);
        grid_.SetData(model_.get());
        SizeClient(1000, 500);
        tvtest::Pump();
        parent_.notes.clear();
    }
    void TearDown() override {
        grid_.DestroyWindow();
        parent_.DestroyWindow();
        tvtest::Pump();
    }
    // Sizes the grid so that its client area is w x h.
    void SizeClient(int w, int h) {
        for (int i = 0; i < 3; ++i) {
            CRect wr, cr;
            grid_.GetWindowRect(&wr);
            grid_.GetClientRect(&cr);
            grid_.MoveWindow(0, 0, w + wr.Width() - cr.Width(), h + wr.Height() - cr.Height());
        }
        tvtest::Pump();
    }
    CRect Cell(int col, int row) { return grid_.GetCellRect(col, row); }
    // A background pixel of a cell (right of its text).
    uint32_t CellPixel(const qtplatform::Image& img, int col, int row) {
        CRect r = Cell(col, row);
        return img.At(r.right - 4, r.top + 3) & 0xFFFFFF;
    }
    CRect UpdateBox(CWnd& w) {
        HRGN rgn = CreateRectRgn(0, 0, 0, 0);
        GetUpdateRgn(w.m_hWnd, rgn, FALSE);
        RECT box{};
        GetRgnBox(rgn, &box);
        DeleteObject(rgn);
        return box;
    }
    POINT Cur() { return POINT{model_->m_curCol, model_->m_curRow}; }

    NoteParent parent_;
    std::unique_ptr<VectorGridData> model_;
    CGridCtrl grid_;
};

} // namespace

TEST_F(GridWndTest, GeometryOfTenColumnsInAThousandPixels) {
    ASSERT_EQ(grid_.m_digitWidth, 9);
    EXPECT_EQ(grid_.m_rowHeaderWidth, 68);
    EXPECT_EQ(grid_.m_rowHeight, grid_.m_textHeight + 3);
    EXPECT_EQ(grid_.GetPageCols(), 9);
    EXPECT_EQ(grid_.GetHScrollPage(), 9);
    int l, r;
    grid_.GetColumnExtent(0, &l, &r);
    EXPECT_EQ(l, 67);
    EXPECT_EQ(r, 167);
    int y = grid_.m_colHeaderHeight / 2;
    EXPECT_EQ(grid_.HitTestColumnBorder(POINT{165, y}), -1);
    for (int x = 166; x <= 170; ++x) EXPECT_EQ(grid_.HitTestColumnBorder(POINT{x, y}), 0) << x;
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_SIZEWE));
    EXPECT_EQ(grid_.HitTestColumnBorder(POINT{171, y}), -1);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(grid_.GetTotalWidth(), 68 + 1000);
    EXPECT_EQ(grid_.GetTotalHeight(), 200 * grid_.m_rowHeight + grid_.m_colHeaderHeight);
    EXPECT_EQ(grid_.ColsToPixels(3, 1), 200);
    EXPECT_EQ(grid_.ColsToPixels(1, 3), -200);
    // Hit tests: a cell, a row header, a column header.
    POINT cell = grid_.PointToCell(POINT{250, grid_.m_colHeaderHeight + 2 * grid_.m_rowHeight + 3}, 0);
    EXPECT_EQ(cell.x, 1);
    EXPECT_EQ(cell.y, 2);
    EXPECT_EQ(grid_.HitTestRowHeader(POINT{10, grid_.m_colHeaderHeight + 1}), 0);
    EXPECT_EQ(grid_.HitTestColumnHeader(POINT{300, 3}), 2);
}

TEST_F(GridWndTest, FittingCapsAndNeverHides) {
    model_->cells[0][3] = std::u16string(300, u'w');
    grid_.FitColumnWidth(3, 1);
    EXPECT_EQ(model_->GetColWidth(3), 922);
    // A hidden column stays hidden through fitting and keeps its bit through a reset.
    model_->SetColWidth(4, 0);
    grid_.FitColumnWidths(1);
    EXPECT_EQ(model_->GetColWidth(4), 0);
    grid_.ResetColumnWidths();
    EXPECT_EQ(model_->GetColWidth(4), 0);
    EXPECT_EQ(model_->GetColWidth(3), 100);
    // A 40-pixel window: the cap is below the row header, yet no column is hidden.
    SizeClient(40, 200);
    grid_.FitColumnWidths(1);
    for (int c = 0; c < 10; ++c) {
        if (c != 4) {
            EXPECT_GE(model_->GetColWidth(c), 5) << c;
        }
    }
}

TEST_F(GridWndTest, NegativePaddingsKeepARowHeight) {
    grid_.SetCellPadding(-20, -20, 2, 2);
    EXPECT_EQ(grid_.m_rowHeight, 1);
    EXPECT_GT(grid_.GetPageRows(), 100);
    tvtest::Pump(); // paints without dividing by zero
}

TEST_F(GridWndTest, ColoursAndBinding) {
    grid_.SetColor(15, RGB(1, 2, 3));
    EXPECT_EQ(grid_.m_curRowColor, 1);
    grid_.SetColor(8, RGB(9, 9, 9));
    EXPECT_EQ(model_->m_style.colors[15], RGB(9, 9, 9));
    EXPECT_EQ(grid_.m_curRowColor, 0);
    grid_.SetColor(0, RGB(100, 100, 200));
    EXPECT_EQ(model_->m_style.tip.bkColor, RGB(100, 100, 180));
    // The default model when given none.
    grid_.SetData(nullptr);
    EXPECT_EQ(grid_.GetData(), GridDefaultData());
    grid_.SetData(model_.get());
    EXPECT_EQ(Cur().x, 0);
    EXPECT_EQ(Cur().y, 0);
}

TEST_F(GridWndTest, BackgroundsByRowState) {
    GridStyle& s = model_->m_style;
    for (int i = 0; i < 16; ++i) grid_.SetColor(i, RGB(10 * i + 5, 200 - 7 * i, 40 + 9 * i));
    grid_.SetColor(8, RGB(0, 0, 0));
    model_->SetText(2, 1, u"changed", -1); // modified
    model_->SetText(3, 1, u"changed", -1); // modified, then the row deleted
    model_->DeleteRows(3, 3);
    model_->InsertRows(5, 1); // row 6 inserted
    model_->SetText(6, 1, u"new", -1);
    model_->m_colFlags[2] = 0;       // read-only column
    model_->nulls[8][3] = 1;         // a NULL cell (row 9 after the insertion)
    model_->SetText(9, 1, u"m", -1); // modified and selected
    model_->m_sel1 = POINT{1, 9};
    model_->m_sel2 = POINT{2, 10};
    model_->m_curCol = model_->m_curRow = 0;
    grid_.SetGridStyle(grid_.GetGridStyle() | GRS_NULLCOLOR, 1);
    tvtest::Pump();
    auto img = tvtest::Capture(grid_.m_hWnd);
    EXPECT_EQ(CellPixel(img, 1, 2), Rgb(s.colors[6]));
    EXPECT_EQ(CellPixel(img, 1, 3), Rgb(s.colors[4]));
    EXPECT_EQ(CellPixel(img, 1, 6), Rgb(s.colors[5]));
    EXPECT_EQ(CellPixel(img, 2, 4), Rgb(s.colors[7]));
    EXPECT_EQ(CellPixel(img, 3, 9), Rgb(s.colors[9]));
    EXPECT_EQ(CellPixel(img, 1, 9), Rgb(s.colors[3]));
    EXPECT_EQ(CellPixel(img, 2, 10), Rgb(s.colors[3]));
    EXPECT_EQ(CellPixel(img, 4, 4), Rgb(s.colors[0]));
    // The cursor frame in colour 12 at the cell's corner; none with whole-row cursors.
    CRect c = Cell(0, 0);
    EXPECT_EQ(img.At(c.left, c.top + 5) & 0xFFFFFF, Rgb(s.colors[12]));
    grid_.SetGridStyle(grid_.GetGridStyle() | GRS_ROWCURSOR, 1);
    tvtest::Pump();
    img = tvtest::Capture(grid_.m_hWnd);
    EXPECT_NE(img.At(c.left, c.top + 5) & 0xFFFFFF, Rgb(s.colors[12]));
}

TEST_F(GridWndTest, ReadOnlyModelAndCursorInASelection) {
    GridStyle& s = model_->m_style;
    // The cursor cell in a selection keeps its own background.
    model_->m_curCol = 1;
    model_->m_curRow = 1;
    model_->m_sel1 = POINT{1, 1};
    model_->m_sel2 = POINT{3, 3};
    grid_.Invalidate(FALSE);
    tvtest::Pump();
    auto img = tvtest::Capture(grid_.m_hWnd);
    EXPECT_EQ(CellPixel(img, 1, 1), Rgb(s.colors[0]));
    EXPECT_EQ(CellPixel(img, 2, 2), Rgb(s.colors[3]));
    EXPECT_EQ(grid_.IsCellSelected(1, 1), 0);
    EXPECT_EQ(grid_.IsCellSelected(2, 2), 1);
}

TEST_F(GridWndTest, CellTextsAndMarks) {
    model_->cells[0][1] = u"a\r\nb";
    model_->kinds[0] = 0;
    model_->cells[1][0] = u"42";
    model_->nulls[2][2] = 1;
    model_->cells[2][2] = u"";
    model_->names[0] = u"ID";
    grid_.SetGridStyle(grid_.GetGridStyle() | GRS_NOTNULLMARK | GRS_LINEFEEDMARK, 1);
    EXPECT_EQ(grid_.GetHeaderText(1), CString(u"c1"));
    tvtest::TraceTextOut(true);
    grid_.Invalidate(FALSE);
    tvtest::Pump();
    auto trace = tvtest::TextOuts();
    tvtest::TraceTextOut(false);
    bool sawA = false, sawB = false, sawNull = false;
    int numberX = -1;
    for (auto& t : trace) {
        if (t.text == u"a") sawA = true;
        if (t.text.find(u'b') != std::u16string::npos && t.text.size() <= 3) sawB = true;
        if (t.text == u"(null)") sawNull = true;
        if (t.text == u"42") numberX = t.x;
    }
    EXPECT_TRUE(sawA);
    EXPECT_FALSE(sawB);
    EXPECT_TRUE(sawNull);
    CRect n = Cell(0, 1);
    EXPECT_EQ(numberX, n.right + 1 - grid_.m_padRight - 18); // right-aligned, two 9-pixel digits
    // The NULL text is drawn in colour 10.
    auto img = tvtest::Capture(grid_.m_hWnd);
    CRect nc = Cell(2, 2);
    int marks = 0;
    for (int y = nc.top + 1; y < nc.bottom; ++y)
        for (int x = nc.left + 1; x < nc.right; ++x)
            marks += (img.At(x, y) & 0xFFFFFF) == Rgb(model_->m_style.colors[10]);
    EXPECT_GT(marks, 5);
    // Only the invalidated cell is drawn again.
    tvtest::TextOuts().clear();
    tvtest::TraceTextOut(true);
    grid_.InvalidateCell(POINT{3, 5});
    tvtest::Pump();
    trace = tvtest::TextOuts();
    tvtest::TraceTextOut(false);
    std::vector<std::u16string> texts;
    for (auto& t : trace)
        if (!t.text.empty()) texts.push_back(t.text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], u"5-3");
}

// A number wider than its column never reads as another number: the cut is
// marked by an ellipsis, a sign stays in front, and no digits of both sides
// of the decimal point are drawn without the point. What is drawn stays
// inside the cell.
TEST_F(GridWndTest, ANumberTooWideForItsColumnShowsThatItIsCut) {
    const std::u16string mark = u"\u2026";
    const std::vector<std::u16string> values = {
        u"1234567",        u"-1234567890",     u"0.333333333333",  u"-123456789.5",   u"-98765.4321",
        u".0001220703125", u"-.0001220703125", u"123.4567",        u"-3.14159265358", u"42",
        u"-4.5",           u"98765432109876",  u"-98765432109876", u"1234567.5",
    };
    model_->kinds[2] = 0;
    for (size_t i = 0; i < values.size(); ++i) model_->cells[i][2] = values[i];
    // Room for six digits.
    model_->SetColWidth(2, grid_.m_padLeft + grid_.m_padRight + 6 * grid_.m_digitWidth + 1);
    grid_.Relayout();
    tvtest::TraceTextOut(true);
    grid_.Invalidate(FALSE);
    tvtest::Pump();
    auto trace = tvtest::TextOuts();
    tvtest::TraceTextOut(false);
    auto drawnIn = [&](int row) {
        CRect c = Cell(2, row);
        std::u16string text;
        for (auto& t : trace)
            if (!t.text.empty() && t.y >= c.top && t.y < c.bottom && t.x >= c.left - 40 && t.x < c.right) {
                text += t.text;
                EXPECT_GE(t.x, c.left + grid_.m_padLeft)
                    << "drawn left of the cell: " << WideToUtf8(t.text.c_str());
            }
        return text;
    };
    // What the reader can take from a cut form: a prefix ending in the mark
    // holds the whole integer part and the point; a suffix after the sign
    // and the mark never starts inside the fraction.
    enum Form { Whole, Prefix, Suffix, MarkOnly, Misread };
    auto formOf = [&](const std::u16string& value, const std::u16string& shown) {
        if (shown == value) return Whole;
        const size_t sign = !value.empty() && value[0] == u'-' ? 1 : 0;
        const size_t point = value.find(u'.');
        if (std::count(shown.begin(), shown.end(), mark[0]) != 1) return Misread;
        if (shown.back() == mark[0]) {
            std::u16string head = shown.substr(0, shown.size() - 1);
            if (head == value.substr(0, sign)) return MarkOnly;
            if (point != std::u16string::npos && head.size() > point &&
                value.compare(0, head.size(), head) == 0)
                return Prefix;
            return Misread;
        }
        if (shown.compare(0, sign, value, 0, sign) != 0 || shown[sign] != mark[0]) return Misread;
        std::u16string tail = shown.substr(sign + 1);
        if (tail.empty() || tail.size() >= value.size() - sign) return Misread;
        if (value.compare(value.size() - tail.size(), tail.size(), tail) != 0) return Misread;
        if (point != std::u16string::npos && value.size() - tail.size() > point) return Misread;
        return Suffix;
    };
    const Form want[] = {Suffix, Suffix, Prefix, Suffix, MarkOnly, Prefix, Prefix,
                         Prefix, Prefix, Whole,  Whole,  Suffix,   Suffix, Suffix};
    for (size_t i = 0; i < values.size(); ++i) {
        const std::u16string shown = drawnIn(static_cast<int>(i));
        SCOPED_TRACE(WideToUtf8(values[i].c_str()) + " drawn as " + WideToUtf8(shown.c_str()));
        EXPECT_EQ(formOf(values[i], shown), want[i]);
        if (values[i][0] == u'-') {
            EXPECT_EQ(shown[0], u'-') << "the sign is drawn first";
        }
    }
    // A form that tells something is drawn where one fits.
    EXPECT_EQ(drawnIn(3).substr(drawnIn(3).size() - 2), u".5");
    EXPECT_EQ(drawnIn(4), u"-" + mark);
    EXPECT_EQ(drawnIn(2).substr(0, 3), u"0.3");
}

TEST_F(GridWndTest, NotNullHeaderAndSearchHighlight) {
    class NotNull : public VectorGridData {
    public:
        using VectorGridData::VectorGridData;
        int IsColNullable(int col) override { return col == 0 ? 0 : 1; }
    };
    NotNull m(5, 3);
    m.names[0] = u"ID";
    m.Bind();
    grid_.SetData(&m);
    grid_.SetGridStyle(grid_.GetGridStyle() | GRS_NOTNULLMARK, 1);
    EXPECT_EQ(grid_.GetHeaderText(0), CString(u"ID(*)"));
    m.cells[1][1] = u"xxfindxx";
    grid_.SetSearchHighlight(u"find", 1, 1, 0);
    tvtest::Pump();
    auto img = tvtest::Capture(grid_.m_hWnd);
    CRect c = grid_.GetCellRect(1, 1);
    uint32_t hl = Rgb(m.m_style.colors[14]);
    int found = 0;
    for (int x = c.left; x < c.right; ++x) found += (img.At(x, c.top + 4) & 0xFFFFFF) == hl;
    EXPECT_GT(found, 20);
    // An empty match highlights nothing.
    grid_.SetSearchHighlight(u"q*", 1, 1, 1);
    tvtest::Pump();
    img = tvtest::Capture(grid_.m_hWnd);
    found = 0;
    for (int x = c.left; x < c.right; ++x) found += (img.At(x, c.top + 4) & 0xFFFFFF) == hl;
    EXPECT_EQ(found, 0);
    grid_.SetData(model_.get());
}

TEST_F(GridWndTest, KeysMoveTheCursor) {
    grid_.SetFocus();
    tvtest::Pump();
    HWND h = parent_.m_hWnd;
    tvtest::Key(h, qtplatform::Key_Right);
    EXPECT_EQ(Cur().x, 1);
    tvtest::Key(h, qtplatform::Key_Down);
    EXPECT_EQ(Cur().y, 1);
    tvtest::Key(h, qtplatform::Key_End, 2);
    EXPECT_EQ(Cur().x, 9);
    EXPECT_EQ(Cur().y, 199);
    EXPECT_GT(grid_.FirstRow(), 150);
    tvtest::Key(h, qtplatform::Key_Home, 2);
    EXPECT_EQ(Cur().x, 0);
    EXPECT_EQ(Cur().y, 0);
    EXPECT_EQ(grid_.FirstRow(), 0);
    tvtest::Key(h, qtplatform::Key_PageDown);
    EXPECT_EQ(Cur().y, grid_.GetPageRows());
    tvtest::Key(h, qtplatform::Key_PageUp);
    EXPECT_EQ(Cur().y, 0);
    tvtest::Key(h, qtplatform::Key_End);
    EXPECT_EQ(Cur().x, 9);
    tvtest::Key(h, qtplatform::Key_Home);
    EXPECT_EQ(Cur().x, 0);
    // Tab and Enter; Shift+Tab goes back and leaves no selection.
    tvtest::Key(h, qtplatform::Key_Tab);
    EXPECT_EQ(Cur().x, 1);
    tvtest::Key(h, qtplatform::Key_Return);
    EXPECT_EQ(Cur().y, 1);
    tvtest::Key(h, qtplatform::Key_Backtab, 1);
    EXPECT_EQ(Cur().x, 0);
    EXPECT_FALSE(model_->HasSelection());
    // Shift+arrows extend from the anchor.
    tvtest::Key(h, qtplatform::Key_Down, 1);
    tvtest::Key(h, qtplatform::Key_Right, 1);
    EXPECT_TRUE(model_->HasSelection());
    EXPECT_EQ(model_->m_sel1.y, 1);
    EXPECT_EQ(model_->m_sel2.y, 2);
    EXPECT_EQ(parent_.Count(GDN_SELCHANGED) > 0, true);
    tvtest::Key(h, qtplatform::Key_Escape);
    EXPECT_FALSE(model_->HasSelection());
    // Ctrl+arrows scroll without moving.
    POINT before = Cur();
    tvtest::Key(h, qtplatform::Key_Down, 2);
    EXPECT_EQ(grid_.FirstRow(), 1);
    EXPECT_EQ(Cur().y, before.y);
    // Alt+End and Alt+Home.
    tvtest::Key(h, qtplatform::Key_End, 4);
    EXPECT_EQ(Cur().y, 199);
    tvtest::Key(h, qtplatform::Key_Home, 4);
    EXPECT_EQ(Cur().y, 0);
    // Ctrl+End goes to column 0 with whole-row cursors.
    grid_.SetGridStyle(grid_.GetGridStyle() | GRS_ROWCURSOR, 1);
    tvtest::Key(h, qtplatform::Key_End, 2);
    EXPECT_EQ(Cur().x, 0);
    EXPECT_EQ(Cur().y, 199);
}

TEST_F(GridWndTest, EndModeAndHiddenColumns) {
    grid_.SetGridStyle(grid_.GetGridStyle() | GRS_ENDMODE, 1);
    grid_.SetFocus();
    HWND h = parent_.m_hWnd;
    tvtest::Key(h, qtplatform::Key_End);
    EXPECT_EQ(grid_.IsEndMode(), 1);
    tvtest::Key(h, qtplatform::Key_Down);
    EXPECT_EQ(Cur().y, 199);
    EXPECT_EQ(grid_.IsEndMode(), 0);
    tvtest::Key(h, qtplatform::Key_End);
    tvtest::Key(h, qtplatform::Key_Right);
    EXPECT_EQ(Cur().x, 9);
    EXPECT_EQ(grid_.IsEndMode(), 0);
    // Hidden columns are stepped over; when only hidden ones follow, the cursor stays.
    grid_.MoveCursor(POINT{2, 0}, 1, 0);
    model_->SetColWidth(3, 0);
    model_->SetColWidth(4, 0);
    tvtest::Key(h, qtplatform::Key_Right);
    EXPECT_EQ(Cur().x, 5);
    tvtest::Key(h, qtplatform::Key_Left);
    EXPECT_EQ(Cur().x, 2);
    for (int c = 6; c < 10; ++c) model_->SetColWidth(c, 0);
    grid_.MoveCursor(POINT{5, 0}, 1, 0);
    tvtest::Key(h, qtplatform::Key_Right);
    EXPECT_EQ(Cur().x, 5);
}

TEST_F(GridWndTest, WideSelectionsRepaintTheWholeClient) {
    CRect client;
    grid_.GetClientRect(&client);
    grid_.SetSelectArea(POINT{0, 0}, POINT{0, 0}, POINT{2, 52});
    CRect box = UpdateBox(grid_);
    EXPECT_EQ(box, client);
    tvtest::Pump();
    grid_.ClearSelection(1);
    tvtest::Pump();
    grid_.SetSelectArea(POINT{0, 0}, POINT{0, 0}, POINT{2, 5});
    box = UpdateBox(grid_);
    EXPECT_LT(box.bottom, Cell(0, 7).bottom);
}

TEST_F(GridWndTest, MouseClicksAndTheContextClick) {
    HWND g = grid_.m_hWnd;
    CRect c = Cell(2, 3);
    tvtest::Click(g, c.left + 5, c.top + 5);
    EXPECT_EQ(Cur().x, 2);
    EXPECT_EQ(Cur().y, 3);
    CRect d = Cell(4, 6);
    tvtest::Click(g, d.left + 5, d.top + 5, 0, 1);
    EXPECT_TRUE(model_->HasSelection());
    EXPECT_EQ(model_->m_sel1.y, 3);
    EXPECT_EQ(model_->m_sel2.y, 6);
    // A right click inside keeps it.
    CRect e = Cell(3, 4);
    tvtest::Click(g, e.left + 5, e.top + 5, 1);
    EXPECT_TRUE(model_->HasSelection());
    // A plain click clears it and says so.
    parent_.notes.clear();
    tvtest::Click(g, e.left + 5, e.top + 5);
    EXPECT_FALSE(model_->HasSelection());
    EXPECT_GE(parent_.Count(GDN_SELCHANGED), 1);
    EXPECT_GE(parent_.Count(GDN_CURSORMOVED), 1);
    // A row header selects the row, a column header the column.
    tvtest::Click(g, 10, Cell(0, 2).top + 5);
    EXPECT_EQ(model_->m_sel1.y, 2);
    EXPECT_EQ(model_->m_sel2.y, 2);
    EXPECT_EQ(std::max(model_->m_sel1.x, model_->m_sel2.x), 9);
    tvtest::Click(g, Cell(5, 0).left + 20, 3);
    EXPECT_EQ(grid_.IsColumnSelected(5), 1);
}

// The context menu is asked of the parent: a right click at its point, the
// context-menu key and Shift+F10 (from the keyboard, -1, -1) under the cursor
// cell, scrolled back into view.
TEST_F(GridWndTest, TheContextMenuKeyAsksForTheMenuAtTheCursorCell) {
    HWND g = grid_.m_hWnd;
    auto menus = [&] {
        std::vector<POINT> at;
        for (const GridNote& n : parent_.notes)
            if (n.msg == WM_CONTEXTMENU) {
                EXPECT_EQ(n.wParam, reinterpret_cast<WPARAM>(g));
                at.push_back(POINT{GET_X_LPARAM(n.lParam), GET_Y_LPARAM(n.lParam)});
            }
        return at;
    };
    grid_.SetFocus();
    CRect c = Cell(2, 3);
    tvtest::Click(g, c.left + 5, c.top + 5, 1);
    ASSERT_EQ(menus().size(), 1u);
    POINT click{c.left + 5, c.top + 5};
    grid_.ClientToScreen(&click);
    EXPECT_EQ(menus()[0].x, click.x);
    EXPECT_EQ(menus()[0].y, click.y);

    // The cursor cell scrolled out of view.
    for (int i = 0; i < 10; ++i) tvtest::Key(g, qtplatform::Key_Down, 2);
    ASSERT_GT(grid_.FirstRow(), 3);
    parent_.notes.clear();
    tvtest::Key(g, qtplatform::Key_Menu);
    ASSERT_EQ(menus().size(), 1u);
    EXPECT_LE(grid_.FirstRow(), 3);
    CRect cell = Cell(2, 3);
    POINT under{cell.left, cell.bottom};
    grid_.ClientToScreen(&under);
    EXPECT_EQ(menus()[0].x, under.x);
    EXPECT_EQ(menus()[0].y, under.y);
    EXPECT_EQ(Cur().x, 2);
    EXPECT_EQ(Cur().y, 3);

    parent_.notes.clear();
    tvtest::Key(g, qtplatform::Key_F10, 1);
    ASSERT_EQ(menus().size(), 1u);
    EXPECT_EQ(menus()[0].x, under.x);
    EXPECT_EQ(menus()[0].y, under.y);
}

TEST_F(GridWndTest, DragBelowTheDataScrollsOnTheTimer) {
    HWND g = grid_.m_hWnd;
    CRect c = Cell(1, 1);
    tvtest::MouseDown(g, c.left + 5, c.top + 5);
    CRect client;
    grid_.GetClientRect(&client);
    tvtest::MouseMove(g, c.left + 5, client.bottom + 30);
    int row = Cur().y;
    int first = grid_.FirstRow();
    tvtest::Advance(100);
    EXPECT_GT(Cur().y, row);
    EXPECT_GT(grid_.FirstRow(), first);
    int afterOne = grid_.FirstRow();
    tvtest::Advance(100);
    EXPECT_GT(grid_.FirstRow(), afterOne);
    tvtest::MouseUp(g, c.left + 5, client.bottom + 30);
    int stopped = grid_.FirstRow();
    tvtest::Advance(300);
    EXPECT_EQ(grid_.FirstRow(), stopped);
    EXPECT_TRUE(model_->HasSelection());
}

TEST_F(GridWndTest, BorderDragsResizeWithoutLeavingAGuide) {
    HWND g = grid_.m_hWnd;
    int y = grid_.m_colHeaderHeight / 2;
    grid_.SetFocus();
    tvtest::Pump();
    auto before = tvtest::Capture(g);
    tvtest::MouseDown(g, 168, y);
    tvtest::MouseMove(g, 188, y);
    tvtest::MouseMove(g, 208, y);
    tvtest::MouseUp(g, 208, y);
    EXPECT_EQ(model_->GetColWidth(0), 140);
    tvtest::Pump();
    tvtest::MouseDown(g, 208, y);
    tvtest::MouseMove(g, 100, y);
    tvtest::MouseMove(g, 8, y);
    tvtest::MouseUp(g, 8, y);
    EXPECT_EQ(model_->GetColWidth(0), 5);
    // Back to 100: every pixel as before, no guide left.
    model_->SetColWidth(0, 100);
    grid_.Relayout();
    tvtest::Pump();
    auto after = tvtest::Capture(g);
    int differing = 0;
    for (int yy = 0; yy < before.height; ++yy)
        for (int xx = 0; xx < before.width; ++xx) differing += before.At(xx, yy) != after.At(xx, yy);
    EXPECT_EQ(differing, 0);
}

TEST_F(GridWndTest, ColumnNameTipOverANarrowHeader) {
    grid_.SetGridStyle(grid_.GetGridStyle() | GRS_NAMETIP, 1);
    model_->names[2] = u"A_RATHER_LONG_COLUMN_NAME";
    model_->SetColWidth(2, 40);
    grid_.Relayout();
    tvtest::Pump();
    int l, r;
    grid_.GetColumnExtent(2, &l, &r);
    POINT p{l + 10, 5};
    POINT s = p;
    grid_.ClientToScreen(&s);
    SetCursorPos(s.x, s.y);
    tvtest::MouseMove(grid_.m_hWnd, p.x, p.y);
    tvtest::Advance(150);
    EXPECT_EQ(model_->m_style.tip.shown, 0);
    tvtest::Advance(60);
    EXPECT_EQ(model_->m_style.tip.shown, 1);
    EXPECT_EQ(grid_.m_tipCol, 2);
    model_->m_style.HideTip();
}
