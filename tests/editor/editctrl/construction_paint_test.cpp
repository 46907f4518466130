// Construction, options, metrics and painting of the editor window.
#include <algorithm>

#include "editctrl_fixture.h"

using namespace edtest;

namespace {

uint32_t argb(COLORREF c) {
    return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

std::u16string Lines(int n) {
    std::u16string s;
    for (int i = 0; i < n; i++) s += i + 1 < n ? u"x\r\n" : u"x";
    return s;
}

// The traced text runs of one repaint.
std::vector<win32bk::TextOutRecord> Repaint(CEditCtrl* e) {
    tvtest::TraceTextOut(true);
    tvtest::TextOuts().clear();
    ::InvalidateRect(e->m_hWnd, nullptr, FALSE);
    ::UpdateWindow(e->m_hWnd);
    std::vector<win32bk::TextOutRecord> runs = tvtest::TextOuts();
    tvtest::TraceTextOut(false);
    return runs;
}

const win32bk::TextOutRecord* Find(const std::vector<win32bk::TextOutRecord>& runs,
                                   const std::u16string& text) {
    for (const auto& r : runs)
        if (r.text == text) return &r;
    return nullptr;
}

// The first run whose text holds part.
const win32bk::TextOutRecord* FindHaving(const std::vector<win32bk::TextOutRecord>& runs,
                                         const std::u16string& part) {
    for (const auto& r : runs)
        if (r.text.find(part) != std::u16string::npos) return &r;
    return nullptr;
}

} // namespace

class Construction : public EditorTest {};

TEST_F(Construction, DefaultFontMetricsAndMargins) {
    SetText(data.get(), Lines(10000));
    CEditCtrl* e = Make(0x20 | 0x40);
    EXPECT_EQ(e->m_charWidth, 9);
    EXPECT_EQ(e->m_digits, 5);
    EXPECT_EQ(e->m_leftMargin, 64);
    EXPECT_EQ(e->m_topMargin, e->m_rowPitch + 5);
    EXPECT_EQ(e->GetFixedLeftWidth(), 64);
    EXPECT_EQ(data->m_disp.m_layout[1], 10000); // display rows
}

TEST_F(Construction, DigitsFollowTheLineCount) {
    CEditCtrl* e = Make(0x20);
    EXPECT_EQ(e->m_digits, 2); // one line
    SetText(data.get(), Lines(100));
    e->Relayout(0, 1);
    EXPECT_EQ(e->m_digits, 3);
}

TEST_F(Construction, OptionsSetTwiceDoNothingTheSecondTime) {
    CEditCtrl* e = Make(0);
    e->SetOptions(0x200000000ull);
    EXPECT_EQ(e->GetOptions(), 0u); // the granted bit needs the request
    e->SetOptions(0x8);
    EXPECT_TRUE(e->m_flags & CScrollWnd::kNoOwnHBar);
    e->SetOptions(0);
    EXPECT_TRUE(e->m_flags & CScrollWnd::kNoOwnHBar); // stays set
    e->SetOptions(0x100000000ull);
    EXPECT_FALSE(e->GetOptions() & 0x200000000ull); // entries 9, 13-15 are all equal by default
    e->SetColor(13, 0x112233);
    EXPECT_TRUE(e->GetOptions() & 0x200000000ull);
    e->SetColor(13, data->m_disp.m_colors[9]);
    EXPECT_FALSE(e->GetOptions() & 0x200000000ull);
}

TEST_F(Construction, PointerTimerRunsExactlyWhileItsOptionIsSet) {
    CEditCtrl* e = Make(0x10000000);
    EXPECT_EQ(e->m_pointerCountdown, 3);
    tvtest::Advance(1000);
    EXPECT_EQ(e->m_pointerCountdown, 2);
    e->SetOptions(0);
    tvtest::Advance(3000);
    EXPECT_EQ(e->m_pointerCountdown, 2); // timer 103 is gone
    e->SetOptions(0x10000000);
    tvtest::Advance(3000);
    EXPECT_EQ(e->m_pointerCountdown, 0);
}

TEST_F(Construction, BoldVariantWeights) {
    CEditCtrl* e = Make(0);
    LOGFONTW lf{};
    lf.lfHeight = -16;
    lf.lfWeight = 800;
    e->CreateFonts(&lf);
    LOGFONTW bold{};
    e->m_fonts[2].GetLogFont(&bold);
    EXPECT_EQ(bold.lfWeight, 900);
    lf.lfWeight = 900;
    e->CreateFonts(&lf);
    e->m_fonts[2].GetLogFont(&bold);
    EXPECT_EQ(bold.lfWeight, 900);
    e->ApplyFont();
}

// A face whose metrics round to nothing must not make a divisor 0.
TEST_F(Construction, TinyFaceKeepsDivisorsPositive) {
    CEditCtrl* e = Make(0x20 | 0x40);
    CFont f;
    LOGFONTW lf{};
    lf.lfHeight = -1;
    lf.lfWidth = 1;
    f.CreateFontIndirect(&lf);
    e->SetTextFont(&f);
    EXPECT_GE(e->m_charWidth, 1);
    EXPECT_GE(e->m_digitWidth, 1);
    EXPECT_GE(e->m_rowPitch, 1);
    EXPECT_GT(e->GetPageCols(), 0);
    tvtest::Pump();
}

TEST_F(Construction, PastEndRowAddsOneScrollRow) {
    SetText(data.get(), Lines(10));
    CEditCtrl* e = Make(0);
    EXPECT_EQ(e->GetVScrollMax(), 9);
    EXPECT_EQ(e->GetTotalHeight(), e->m_topMargin + 10 * e->m_rowPitch);
    e->SetOptions(0x20000);
    EXPECT_EQ(e->GetVScrollMax(), 10);
    EXPECT_EQ(e->GetTotalHeight(), e->m_topMargin + 11 * e->m_rowPitch);
}

TEST_F(Construction, WindowWidthWrapNeverBelowTwentyColumns) {
    SetText(data.get(), std::u16string(100, u'a'));
    data->m_disp.m_layout[0] = 1;
    CEditCtrl* e = Make(0, nullptr, 100, 200);
    EXPECT_EQ(data->m_disp.m_layout[4], 20);
    EXPECT_EQ(data->GetLine(0)->rowCount, 5);
    (void)e;
}

class Painting : public EditorTest {};

TEST_F(Painting, SqlColoursByClass) {
    SetText(data.get(),
            u"select a, 'str' from t -- note\r\n/* one\r\ntwo\r\nthree */ where upper(x) = 1\r\nafter");
    CEditCtrl* e = Make(0);
    const COLORREF* c = data->m_disp.m_colors;
    auto runs = Repaint(e);
    const auto* kw = Find(runs, u"select");
    ASSERT_NE(kw, nullptr);
    EXPECT_EQ(kw->textColor, c[1]);
    const auto* str = Find(runs, u"'str'");
    ASSERT_NE(str, nullptr);
    EXPECT_EQ(str->textColor, c[5]);
    const auto* comment = Find(runs, u"note");
    ASSERT_NE(comment, nullptr);
    EXPECT_EQ(comment->textColor, c[2]);
    const auto* two = Find(runs, u"two");
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->textColor, c[2]);
    const auto* fn = Find(runs, u"upper");
    ASSERT_NE(fn, nullptr);
    EXPECT_EQ(fn->textColor, c[10]);
    const auto* op = Find(runs, u"=");
    ASSERT_NE(op, nullptr);
    EXPECT_EQ(op->textColor, c[9]);
    const auto* after = Find(runs, u"after");
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->textColor, c[0]);

    // Removing the "/*" ends the comment on the following lines.
    data->SetCaret(1, 2);
    Focus(e);
    e->DeleteBack();
    e->DeleteBack();
    runs = Repaint(e);
    two = Find(runs, u"two");
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->textColor, c[0]);
}

// A q-quoted literal is painted as one literal, over lines too; the comment
// after one holding an apostrophe is painted as a comment on its next line.
TEST_F(Painting, QQuotedLiterals) {
    SetText(data.get(), u"select q'[it's]' /* note\r\ntwo */ x\r\nv := Q'{a\r\nb /* c\r\n}' after");
    CEditCtrl* e = Make(0);
    const COLORREF* c = data->m_disp.m_colors;
    auto runs = Repaint(e);
    const auto* lit = FindHaving(runs, u"q'[it's]'");
    ASSERT_NE(lit, nullptr);
    EXPECT_EQ(lit->textColor, c[5]);
    const auto* two = FindHaving(runs, u"two");
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->textColor, c[2]);
    for (const char16_t* part : {u"Q'{a", u"b", u"c", u"}'"}) {
        const auto* inside = Find(runs, part);
        ASSERT_NE(inside, nullptr);
        EXPECT_EQ(inside->textColor, c[5]);
    }
    const auto* after = Find(runs, u"after");
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->textColor, c[0]);

    // Typing the opening bracket after "q'" opens the literal on the next line.
    SetText(data.get(), u"v := q'\r\nb ]' -- c");
    e->Relayout(0, 1);
    Focus(e);
    data->SetCaret(0, 7);
    runs = Repaint(e);
    const auto* close = Find(runs, u"]");
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->textColor, c[0]);
    tvtest::Type(parent, u"[");
    tvtest::Pump();
    runs = Repaint(e);
    close = Find(runs, u"]'");
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->textColor, c[5]);
}

TEST_F(Painting, ParenthesesByDepth) {
    SetText(data.get(), u"f((a))");
    CEditCtrl* e = Make(0x100000000ull);
    e->SetColor(13, 0x0000FF);
    e->SetColor(14, 0x00FF00);
    e->SetColor(15, 0xFF0000);
    e->SetOptions(0x100000000ull);
    e->Relayout(0, 1);
    auto runs = Repaint(e);
    std::vector<COLORREF> parens;
    for (const auto& r : runs)
        if (r.text == u"(" || r.text == u")" || r.text == u"((" || r.text == u"))")
            parens.push_back(r.textColor);
    ASSERT_GE(parens.size(), 2u);
    EXPECT_EQ(parens.front(), 0x0000FFu);
}

TEST_F(Painting, LineNumbersRulerAndMarginPositions) {
    SetText(data.get(), Lines(10000));
    CEditCtrl* e = Make(0x20 | 0x40);
    auto runs = Repaint(e);
    bool oneAt46 = false;
    for (const auto& r : runs) oneAt46 |= r.text == u"1" && r.x == 46;
    EXPECT_TRUE(oneAt46);
    // The ruler's "0" and the "1" "0" of 10.
    bool zeroAt66 = false, oneAt156 = false;
    for (const auto& r : runs) {
        if (r.text == u"0" && r.x == 66) zeroAt66 = true;
        if (r.text == u"1" && r.x == 156) oneAt156 = true;
    }
    EXPECT_TRUE(zeroAt66);
    EXPECT_TRUE(oneAt156);
    // The separator in pen 8 at x 59.
    auto img = tvtest::Capture(e->m_hWnd);
    int y = e->m_topMargin + e->m_rowPitch / 2;
    EXPECT_EQ(img.At(59, y), argb(data->m_disp.m_colors[8]));
    // Line 10000 starts at x 10 when scrolled there.
    Focus(e);
    e->MoveCaretTo(9999, 0);
    runs = Repaint(e);
    const auto* last = Find(runs, u"10000");
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->x, 10);
}

TEST_F(Painting, SelectedTextIsInvertedOnColourSeven) {
    SetText(data.get(), u"select x");
    CEditCtrl* e = Make(0);
    e->SelectRange(EditPos{0, 0}, EditPos{6, 0}, 0);
    const COLORREF* c = data->m_disp.m_colors;
    auto runs = Repaint(e);
    const auto* kw = Find(runs, u"select");
    ASSERT_NE(kw, nullptr);
    EXPECT_EQ(kw->textColor, c[1] ^ 0xFFFFFFu);
    EXPECT_EQ(kw->bkColor, c[7]);
    e->SetOptions(0x400000);
    runs = Repaint(e);
    kw = Find(runs, u"select");
    ASSERT_NE(kw, nullptr);
    EXPECT_EQ(kw->textColor, c[1]);
}

TEST_F(Painting, SelectionEndingAtColumnZeroSelectsOnlyTheLineEnd) {
    SetText(data.get(), u"ab\r\ncd");
    CEditCtrl* e = Make(0);
    e->SelectRange(EditPos{0, 0}, EditPos{0, 1}, 0);
    auto img = tvtest::Capture(e->m_hWnd);
    COLORREF sel = data->m_disp.m_colors[7];
    int y0 = e->m_topMargin + 2, y1 = e->m_topMargin + e->m_rowPitch + 2;
    // The line end cell of line 0 is selected, nothing of line 1.
    EXPECT_EQ(img.At(e->m_leftMargin + 2 * 9 + 3, y0), argb(sel));
    EXPECT_NE(img.At(e->m_leftMargin + 1, y1), argb(sel));
}

TEST_F(Painting, LinksAreUnderlinedInColourOne) {
    SetText(data.get(), u"see http://a.jp/x) and (http://b.jp/(y)z) mail a.b@c.jp www.");
    CEditCtrl* e = Make(0x400);
    auto runs = Repaint(e);
    const auto* a = Find(runs, u"http://a.jp/x");
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->underline);
    EXPECT_EQ(a->textColor, data->m_disp.m_colors[1]);
    EXPECT_NE(Find(runs, u"http://b.jp/(y)z"), nullptr);
    EXPECT_NE(Find(runs, u"a.b@c.jp"), nullptr);
    for (const auto& r : runs) EXPECT_NE(r.text, u"www.");
}

TEST_F(Painting, MarksInPenFour) {
    SetText(data.get(), u"a b");
    CEditCtrl* e = Make(0x100000 | 0x1);
    auto img = tvtest::Capture(e->m_hWnd);
    uint32_t pen = argb(data->m_disp.m_colors[4]);
    int found = 0;
    for (int y = e->m_topMargin; y < e->m_topMargin + e->m_rowPitch; y++)
        for (int x = e->m_leftMargin; x < e->m_leftMargin + 5 * 9; x++) found += img.At(x, y) == pen;
    EXPECT_GT(found, 4);
}

TEST_F(Painting, TypingInAShortLineInvalidatesOnlyItsBand) {
    SetText(data.get(), u"abc\r\ndef\r\nghi");
    CEditCtrl* e = Make(0x20);
    Focus(e);
    data->SetCaret(1, 3);
    e->UpdateCaret(0, 0, 0);
    ::UpdateWindow(e->m_hWnd);
    ASSERT_EQ(::GetFocus(), e->m_hWnd);
    ::SendMessageW(e->m_hWnd, WM_CHAR, u'x', 1);
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    GetUpdateRgn(e->m_hWnd, rgn, FALSE);
    RECT box;
    GetRgnBox(rgn, &box);
    DeleteObject(rgn);
    EXPECT_GE(box.top, e->m_topMargin + e->m_rowPitch - 1);
    EXPECT_LE(box.bottom, e->m_topMargin + 2 * e->m_rowPitch + 1);
    EXPECT_EQ(TextOf(data.get()), u"abc\ndefx\nghi");
    tvtest::Type(parent, u"yz");
    tvtest::Pump();
    EXPECT_EQ(TextOf(data.get()), u"abc\ndefxyz\nghi");
}
