#include <string>
#include <vector>

#include "tb2_fixture.h"

namespace {

class Measure : public MeasuredBuffer {
protected:
    // The rows WrapLine makes of the text at the width.
    std::vector<std::u16string> Rows(const char16_t* text, int width) {
        SetText(d_, text);
        d_.m_disp.m_wrapWidth = width;
        int rows = WrapWith(0);
        const EditLine* l = d_.GetLine(0);
        std::vector<std::u16string> out;
        std::u16string s = l->text;
        int from = 0;
        for (int k = 0; k < rows - 1; k++) {
            out.push_back(s.substr(from, l->breaks[k] - from));
            from = l->breaks[k];
        }
        out.push_back(s.substr(from));
        return out;
    }
    // WrapLine with the fixture's DC as the measuring DC.
    int WrapWith(int line) {
        // FitUnits takes the DC directly; the holder is only for windows.
        int width = d_.m_disp.m_wrapWidth;
        if (width == INT_MAX) return d_.WrapLine(line, nullptr);
        EditLine* l = d_.GetLine(line);
        int count = 0;
        int b = d_.FitUnits(l->text, width, dc_, &d_.m_disp.m_widths);
        std::vector<int> breaks;
        while (l->text[b]) {
            breaks.push_back(b);
            b += d_.FitUnits(l->text + b, width, dc_, &d_.m_disp.m_widths);
            count++;
        }
        int rows = d_.WrapLine(line, nullptr);
        EXPECT_EQ(rows, count + 1);
        for (int k = 0; k < count; k++) EXPECT_EQ(l->breaks[k], breaks[k]);
        return rows;
    }
};

} // namespace

TEST_F(Measure, WidthsAndColumns) {
    ASSERT_EQ(Width(u"a"), 8);
    ASSERT_EQ(Width(u"あ"), 16);
    EXPECT_EQ(Width(u"ab\tc"), 40);
    EXPECT_EQ(Width(u"ab\tc", 3), 32);
    EXPECT_EQ(Width(u"a\U00020BB7b"), 8 + Width(u"\U00020BB7") + 8);
    // "xaあb": the middle of "あ" is at 24.
    for (auto [x, column] : {std::pair{23, 2}, {24, 3}, {3, 0}, {4, 1}, {1000, 4}})
        EXPECT_EQ(ColumnAt(u"xaあb", x), column) << x;
    // A pair counts as two units.
    EXPECT_EQ(ColumnAt(u"\U00020BB7z", 1000), 3);
    SetText(d_, u"a\tあ");
    EXPECT_EQ(d_.DisplayColumn(0, 4, dc_), 6);
    EXPECT_EQ(d_.DisplayColumn(0, 2, dc_), 4);
    EXPECT_EQ(d_.DisplayColumn(0, 99, dc_), 6);
}

TEST(MeasureNoFont, NothingDividesByZero) {
    CEditData d;
    SetText(d, u"a\tb\tc");
    // No reset yet: no tab stop width, no DC.
    EXPECT_GE(textdraw_text_width(u"a\tb", &d.m_disp, nullptr, -1), 0);
    EXPECT_GE(textdraw_column_at_x(u"a\tb", &d.m_disp, nullptr, 5), 0);
    d.m_disp.m_widths.m_tabWidth = 0;
    EXPECT_EQ(d.DisplayColumn(0, 5, nullptr), 5);
    d.m_disp.m_wrapWidth = 1;
    EXPECT_GE(d.WrapLine(0, nullptr), 1);
    EXPECT_EQ(d.FitUnits(u"\t\t", 1, nullptr, &d.m_disp.m_widths), 1);
    // Padding without a space advance inserts nothing.
    d.PadToX(100, nullptr);
    EXPECT_EQ(Lines(d), L({u"a\tb\tc"}));
}

TEST_F(Measure, TabWidthZeroIsOneCharacter) {
    d_.m_disp.m_widths.m_tabWidth = 0;
    EXPECT_EQ(Width(u"\t"), 8);
    SetText(d_, u"\ta");
    EXPECT_EQ(d_.DisplayColumn(0, 2, dc_), 2);
}

TEST_F(Measure, Kinsoku) {
    d_.m_kinsoku = 1;
    std::u16string start = u"。、";
    d_.m_lineStartProhibited = start.data();
    EXPECT_EQ(Rows(u"あいうえお。か", 80), (std::vector<std::u16string>{u"あいうえお。", u"か"}));
    EXPECT_EQ(Rows(u"あいうえお。、か", 80), (std::vector<std::u16string>{u"あいうえ", u"お。、か"}));
    d_.m_lineStartProhibited = nullptr;
    std::u16string end = u"「";
    d_.m_lineEndProhibited = end.data();
    EXPECT_EQ(Rows(u"あいうえ「お", 80), (std::vector<std::u16string>{u"あいうえ", u"「お"}));
    d_.m_lineEndProhibited = nullptr;
    d_.m_kinsoku = 0;
    EXPECT_EQ(Rows(u"あいうえお。か", 80), (std::vector<std::u16string>{u"あいうえお", u"。か"}));
}

TEST_F(Measure, WrapAtWord) {
    d_.m_wrapAtWord = 1;
    // 10 characters per row of 80 pixels.
    EXPECT_EQ(Rows(u"abc defghijk", 80), (std::vector<std::u16string>{u"abc ", u"defghijk"}));
    std::u16string longWord(60, u'w');
    std::u16string text = u"a " + longWord;
    // The blank lies 41 units before the break at 43: no word break.
    auto rows = Rows(text.c_str(), 43 * 8);
    EXPECT_EQ(rows[0].size(), 43u);
    // Within 40 units it breaks after the blank.
    rows = Rows(text.c_str(), 40 * 8);
    EXPECT_EQ(rows[0], u"a ");
}

TEST_F(Measure, NarrowWidthPutsOneCodePointPerRow) {
    auto rows = Rows(u"aあ\U00020BB7\tb", 1);
    EXPECT_EQ(rows, (std::vector<std::u16string>{u"a", u"あ", u"\U00020BB7", u"\t", u"b"}));
    // The break array grew 4, 8, 16.
    std::u16string many(17, u'x');
    SetText(d_, many.c_str());
    d_.m_disp.m_wrapWidth = 1;
    EXPECT_EQ(d_.WrapLine(0, nullptr), 17);
    EXPECT_EQ(d_.GetLine(0)->breakCapacity, 16);
}

TEST_F(Measure, FailedGrowthEndsTheLineAtTheRowsStored) {
    // One unit per row: the break array must reach blocks that only fresh
    // heap chunks can give.
    std::u16string many(70000, u'x');
    SetText(d_, many.c_str());
    d_.m_disp.m_wrapWidth = 1;
    int rows;
    {
        FailingHeap heap(1, true);
        rows = d_.WrapLine(0, nullptr);
    }
    const EditLine* l = d_.GetLine(0);
    EXPECT_LT(rows, 70000);
    EXPECT_EQ(rows, l->breakCapacity + 1);
    for (int k = 0; k < rows - 1; k++) ASSERT_EQ(l->breaks[k], k + 1);
    EXPECT_EQ(d_.WrapLine(0, nullptr), 70000);
}

TEST_F(Measure, CaretRowInLine) {
    SetText(d_, u"abcdefghij");
    d_.m_disp.m_wrapWidth = 32;
    EditLine* l = d_.GetLine(0);
    l->rowCount = d_.WrapLine(0, nullptr);
    ASSERT_EQ(l->rowCount, 3);
    for (auto [column, row] : {std::pair{3, 0}, {4, 1}, {10, 2}}) {
        d_.SetCaret(0, column);
        EXPECT_EQ(d_.CaretRowInLine(), row) << column;
    }
    l->rowCount = 1;
    EXPECT_EQ(d_.CaretRowInLine(), 0);
}

TEST_F(Measure, CaretBitmap) {
    HBITMAP a = d_.m_disp.MakeCaretBitmap(2, 16, 7);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(d_.m_disp.MakeCaretBitmap(2, 16, 7), a);
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, a);
    EXPECT_EQ(GetPixel(mem, 0, 0), 0xFF5FFFu);
    EXPECT_EQ(GetPixel(mem, 1, 15), 0xFF5FFFu);
    SelectObject(mem, old);
    HBITMAP b = d_.m_disp.MakeCaretBitmap(3, 16, 7);
    ASSERT_NE(b, nullptr);
    d_.m_disp.m_colors[11] = 0x0000FF;
    HBITMAP c = d_.m_disp.MakeCaretBitmap(3, 16, 8);
    ASSERT_NE(c, nullptr);
    old = SelectObject(mem, c);
    EXPECT_EQ(GetPixel(mem, 2, 3), 0xFFFF00u);
    SelectObject(mem, old);
    DeleteDC(mem);
}
