// Mouse gestures, box drags, the wrap question of find, the input-method
// caret and preedit, and smoothed glyphs of the editor window.
#include <algorithm>
#include <cstring>

#include <afxole.h>

#include "editctrl_fixture.h"
#include "win32/ime.h"

using namespace edtest;

namespace {

constexpr unsigned kCtrl = static_cast<unsigned>(qtplatform::Mods::Ctrl);

uint32_t argb(COLORREF c) {
    return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

std::u16string Numbered(int n) {
    std::u16string s;
    for (int i = 0; i < n; i++) {
        std::string t = "line " + std::to_string(i);
        s.append(t.begin(), t.end());
        if (i + 1 < n) s += u"\r\n";
    }
    return s;
}

} // namespace

class MouseSelection : public EditorTest {};

// Held below the window, the selection timer scrolls and extends every 100 ms.
TEST_F(MouseSelection, DragBelowTheWindowScrollsOnTheSelectionTimer) {
    SetText(data.get(), Numbered(200));
    CEditCtrl* e = Make(0, nullptr, 640, 400);
    Focus(e);
    HWND w = e->m_hWnd;
    int x = e->m_leftMargin + 2;
    tvtest::MouseDown(w, x, e->m_topMargin + 3);
    tvtest::MouseMove(w, x + 20, e->m_topMargin + 3);
    tvtest::Pump();
    EXPECT_EQ(e->GetScrollPosition(SB_VERT), 0);
    tvtest::MouseMove(w, x + 20, 430);
    tvtest::Pump();
    int vpos = e->GetScrollPosition(SB_VERT);
    int line = data->GetCaret().line;
    EXPECT_LT(line, 20);
    for (int i = 1; i <= 3; i++) {
        tvtest::Advance(100);
        tvtest::Pump();
        EXPECT_GT(e->GetScrollPosition(SB_VERT), vpos) << i;
        EXPECT_GE(data->GetCaret().line, line) << i;
        vpos = e->GetScrollPosition(SB_VERT);
        line = data->GetCaret().line;
    }
    // The caret follows a tick behind the scroll, to the row under the pointer.
    EXPECT_GE(line, 19);
    EXPECT_EQ(data->m_disp.m_selStart, (EditPos{0, 0}));
    EXPECT_EQ(data->m_disp.m_selEnd, data->GetCaret());
    // Released, the timer stops: the clock moves nothing any more.
    tvtest::MouseUp(w, x + 20, 430);
    tvtest::Pump();
    tvtest::Advance(500);
    tvtest::Pump();
    EXPECT_EQ(e->GetScrollPosition(SB_VERT), vpos);
    EXPECT_EQ(data->GetCaret().line, line);
    EXPECT_EQ(::GetCapture(), nullptr);
}

// Ctrl held at the press makes the drag a box.
TEST_F(MouseSelection, CtrlDragMakesABox) {
    SetText(data.get(), u"abcd\r\nefgh\r\nijkl\r\nmnop");
    CEditCtrl* e = Make(0x10);
    Focus(e);
    HWND w = e->m_hWnd;
    CPoint from = e->PosToPoint(EditPos{1, 0}), to = e->PosToPoint(EditPos{3, 2});
    tvtest::MouseDown(w, from.x + 1, from.y + 3, 0, kCtrl);
    tvtest::MouseMove(w, (from.x + to.x) / 2, (from.y + to.y) / 2 + 3, kCtrl);
    tvtest::MouseMove(w, to.x + 1, to.y + 3, kCtrl);
    tvtest::MouseUp(w, to.x + 1, to.y + 3, 0, kCtrl);
    tvtest::Pump();
    CEditDispData& d = data->m_disp;
    EXPECT_EQ(d.m_boxMode, 1);
    EXPECT_TRUE(e->HasSelection());
    for (int line = 0; line < 3; line++) {
        int l0 = -1, l1 = -1;
        ASSERT_TRUE(data->GetBoxColumns(line, &l0, &l1)) << line;
        EXPECT_EQ(l0, 1) << line;
        EXPECT_EQ(l1, 3) << line;
    }
    tvtest::Key(parent, qtplatform::Key_Delete);
    tvtest::Pump();
    EXPECT_EQ(TextOf(data.get()), u"ad\neh\nil\nmnop");
    // Without Ctrl the same drag is a stream (past the double-click time).
    SetText(data.get(), u"abcd\r\nefgh\r\nijkl\r\nmnop");
    e->Relayout(0, 1);
    tvtest::Advance(1000);
    tvtest::MouseDown(w, from.x + 1, from.y + 3);
    tvtest::MouseMove(w, to.x + 1, to.y + 3);
    tvtest::MouseUp(w, to.x + 1, to.y + 3);
    tvtest::Pump();
    EXPECT_EQ(d.m_boxMode, 0);
    tvtest::Key(parent, qtplatform::Key_Delete);
    tvtest::Pump();
    EXPECT_EQ(TextOf(data.get()), u"al\nmnop");
}

class BoxDrag : public EditorTest {};

// A box moved by drag lands as a box and stays selected as one.
TEST_F(BoxDrag, BoxMovesAsABox) {
    SetText(data.get(), u"abcd\r\nefgh\r\nijkl");
    CEditCtrl* e = Make(0x2000);
    Focus(e);
    e->SelectRange(EditPos{1, 0}, EditPos{2, 1}, 1);
    ASSERT_EQ(data->m_disp.m_boxMode, 1);
    CPoint in = e->PosToPoint(EditPos{1, 0});
    CPoint to = e->PosToPoint(EditPos{3, 1});
    tvtest::DragScript({{win32bk::DragStep::LeaveStart, nullptr, {}, 0},
                        {win32bk::DragStep::Move, e->m_hWnd, {to.x + 1, to.y + 3}, 0},
                        {win32bk::DragStep::Drop, e->m_hWnd, {to.x + 1, to.y + 3}, 0}});
    EXPECT_EQ(e->StartDrag(in), 1);
    tvtest::Pump();
    // "b" and "f" leave their column and go in at column 2 (3 before the
    // removal) of lines 1 and 2.
    EXPECT_EQ(TextOf(data.get()), u"acd\negbh\nijfkl");
    EXPECT_EQ(data->m_disp.m_boxMode, 1);
    int l0 = -1, l1 = -1;
    ASSERT_TRUE(data->GetBoxColumns(1, &l0, &l1));
    EXPECT_EQ(l0, 2);
    EXPECT_EQ(l1, 3);
    ASSERT_TRUE(data->GetBoxColumns(2, &l0, &l1));
    EXPECT_EQ(l0, 2);
    EXPECT_EQ(l1, 3);
    // One undo step brings the text back.
    e->Undo();
    EXPECT_EQ(TextOf(data.get()), u"abcd\nefgh\nijkl");
}

// Copied with Ctrl into another buffer, the box keeps its shape there.
TEST_F(BoxDrag, BoxCopiedToAnotherBufferIsABoxThere) {
    SetText(data.get(), u"abcd\r\nefgh");
    CEditData other;
    other.m_token = &theSqlStrToken;
    SetText(&other, u"12345\r\n67890\r\nxyz");
    CEditCtrl* a = Make(0x2000);
    CEditCtrl* b = Make(0x2000, &other);
    Focus(a);
    a->SelectRange(EditPos{0, 0}, EditPos{2, 1}, 1);
    CPoint to = b->PosToPoint(EditPos{1, 1});
    tvtest::DragScript({{win32bk::DragStep::LeaveStart, nullptr, {}, 0},
                        {win32bk::DragStep::Drop, b->m_hWnd, {to.x + 1, to.y + 3}, MK_CONTROL}});
    EXPECT_EQ(a->StartDrag(a->PosToPoint(EditPos{1, 0})), 1);
    tvtest::Pump();
    EXPECT_EQ(TextOf(data.get()), u"abcd\nefgh");
    EXPECT_EQ(TextOf(&other), u"12345\n6ab7890\nxefyz");
    b->DestroyWindow();
}

class WrapQuestion : public EditorTest {};

// Cancel at "search from the start?" leaves the caret and the selection.
TEST_F(WrapQuestion, CancelKeepsCaretAndSelection) {
    SetText(data.get(), u"two one\r\nthree four");
    CEditCtrl* e = Make(0x800);
    Focus(e);
    e->SelectRange(EditPos{0, 1}, EditPos{3, 1}, 0);
    tvtest::AnswerBox(IDCANCEL);
    EXPECT_EQ(e->Find(u"two", 1, 0, 0, 0), 1);
    ASSERT_EQ(tvtest::Boxes().size(), 1u);
    EXPECT_NE(tvtest::Boxes()[0].flags & MB_OKCANCEL, 0u);
    EXPECT_EQ(data->m_disp.m_selStart, (EditPos{0, 1}));
    EXPECT_EQ(data->m_disp.m_selEnd, (EditPos{3, 1}));
    EXPECT_EQ(data->GetCaret(), (EditPos{3, 1}));
    // Without a selection the caret stays where it was.
    e->MoveCaretTo(1, 5);
    tvtest::AnswerBox(IDCANCEL);
    EXPECT_EQ(e->Find(u"two", 1, 0, 0, 0), 1);
    EXPECT_EQ(data->GetCaret(), (EditPos{5, 1}));
    EXPECT_FALSE(e->HasSelection());
    // OK wraps and finds the first line's word.
    tvtest::AnswerBox(IDOK);
    EXPECT_EQ(e->Find(u"two", 1, 0, 0, 0), 0);
    EXPECT_EQ(data->m_disp.m_selStart, (EditPos{0, 0}));
    EXPECT_EQ(data->m_disp.m_selEnd, (EditPos{3, 0}));
}

class ImeDisplay : public EditorTest {};

// With 0x800000 the caret is the bitmap caret of colour 11 while the input
// method is on, the plain inverting caret when it is off.
TEST_F(ImeDisplay, BitmapCaretWhileTheInputMethodIsOn) {
    SetText(data.get(), u"abc");
    CEditCtrl* e = Make(0x800000 | 0x40000);
    e->SetColor(11, 0x2080F0);
    Focus(e);
    HWND w = e->m_hWnd;
    const COLORREF* c = data->m_disp.m_colors;
    POINT caret{};
    ASSERT_TRUE(::GetCaretPos(&caret));
    int cx = caret.x, cy = caret.y + 3;
    auto img = tvtest::Capture(w);
    EXPECT_NE(img.At(cx, cy), argb(c[11]));
    tvtest::ImeSetOpen(w, true);
    tvtest::Pump();
    img = tvtest::Capture(w);
    EXPECT_EQ(img.At(cx, cy), argb(c[11]));
    EXPECT_EQ(img.At(cx + 1, cy), argb(c[11]));
    EXPECT_NE(img.At(cx + 3, cy + 20), argb(c[11]));
    tvtest::ImeSetOpen(w, false);
    tvtest::Pump();
    img = tvtest::Capture(w);
    EXPECT_NE(img.At(cx, cy), argb(c[11]));
    // Without the option the input method changes nothing.
    e->SetOptions(0x40000);
    tvtest::ImeSetOpen(w, true);
    tvtest::Pump();
    img = tvtest::Capture(w);
    EXPECT_NE(img.At(cx, cy), argb(c[11]));
    tvtest::ImeSetOpen(w, false);
}

// A preedit is drawn underlined at the composition point, which is the
// caret's; the buffer does not change until the commit.
TEST_F(ImeDisplay, PreeditShowsAtTheCompositionPoint) {
    SetText(data.get(), u"select x\r\nfrom t");
    CEditCtrl* e = Make(0x40000);
    Focus(e);
    e->MoveCaretTo(1, 4);
    tvtest::Pump();
    HWND w = e->m_hWnd;
    POINT at = tvtest::ImeCompositionPoint(w);
    CPoint expect = e->PosToPoint(EditPos{4, 1});
    EXPECT_EQ(at.x, expect.x);
    EXPECT_EQ(at.y, expect.y + e->m_textOffset);
    auto before = tvtest::Capture(w);
    tvtest::ImePreedit(w, u"へんかん");
    tvtest::Pump();
    EXPECT_EQ(TextOf(data.get()), u"select x\nfrom t");
    auto img = tvtest::Capture(w);
    // Ink appears to the right of the composition point, within its row, and
    // nowhere on the row above.
    int changed = 0, above = 0;
    for (int y = 0; y < img.height; y++)
        for (int x = 0; x < img.width; x++) {
            if (img.At(x, y) == before.At(x, y)) continue;
            if (y >= at.y && y < at.y + e->m_rowPitch + 2 && x >= at.x - 1)
                changed++;
            else if (y < at.y)
                above++;
        }
    EXPECT_GT(changed, 40);
    EXPECT_EQ(above, 0);
    tvtest::ImeCommit(w, u"変換");
    tvtest::Pump();
    EXPECT_EQ(TextOf(data.get()), u"select x\nfrom変換 t");
}

class Smooth : public EditorTest {};

// Option 0x8000000 draws glyph by glyph from their coverage maps ("ＭＳ
// ゴシック" through the platform's Japanese families): no text runs, and the
// ink holds blended pixels between the text and the background colour.
TEST_F(Smooth, GlyphsBlendWithTheBackground) {
    SetText(data.get(), u"漢字 abc");
    CEditCtrl* e = Make(0);
    LOGFONTW lf{};
    lf.lfHeight = -18;
    lf.lfCharSet = 128;
    wcscpy_s(lf.lfFaceName, LF_FACESIZE, u"ＭＳ ゴシック");
    CFont f;
    f.CreateFontIndirect(&lf);
    e->SetTextFont(&f);
    e->SetOptions(0x8000000);
    e->Relayout(0, 1);
    tvtest::Pump();
    const COLORREF* c = data->m_disp.m_colors;
    uint32_t fg = argb(c[0]), bg = argb(c[3]);
    tvtest::TraceTextOut(true);
    tvtest::TextOuts().clear();
    ::InvalidateRect(e->m_hWnd, nullptr, FALSE);
    ::UpdateWindow(e->m_hWnd);
    for (const auto& r : tvtest::TextOuts()) {
        EXPECT_EQ(r.text.find(u"漢"), std::u16string::npos);
        EXPECT_EQ(r.text.find(u"abc"), std::u16string::npos);
    }
    tvtest::TraceTextOut(false);
    auto img = tvtest::Capture(e->m_hWnd);
    CPoint p0 = e->PosToPoint(EditPos{0, 0}), p1 = e->PosToPoint(EditPos{2, 0});
    int full = 0, blended = 0;
    for (int y = p0.y; y < p0.y + e->m_rowPitch; y++)
        for (int x = p0.x; x < p1.x; x++) {
            uint32_t px = img.At(x, y);
            if (px == fg)
                full++;
            else if (px != bg)
                blended++;
        }
    EXPECT_GT(full + blended, 40);
    EXPECT_GT(blended, 5);
    // Nothing is drawn past the end of the text on its row.
    CPoint end = e->PosToPoint(EditPos{6, 0});
    int past = 0;
    for (int y = p0.y; y < p0.y + e->m_rowPitch; y++)
        for (int x = end.x + e->m_charWidth + 2; x < end.x + 100; x++) past += img.At(x, y) != bg;
    EXPECT_EQ(past, 0);
}

class CaretAndSearch : public EditorTest {};

// A triple click within the double-click time at the same place selects the line.
TEST_F(CaretAndSearch, TripleClickSelectsTheLine) {
    SetText(data.get(), u"select a\r\nfrom t\r\nwhere");
    CEditCtrl* e = Make(0);
    Focus(e);
    CPoint p = e->PosToPoint(EditPos{2, 1});
    for (int i = 0; i < 3; i++) tvtest::Click(e->m_hWnd, p.x + 1, p.y + 3);
    tvtest::Pump();
    EXPECT_EQ(data->m_disp.m_selStart, (EditPos{0, 1}));
    EXPECT_EQ(data->m_disp.m_selEnd, (EditPos{0, 2}));
}

// The caret keeps one row above a partial last row, two with option 0x20000.
TEST_F(CaretAndSearch, DownKeepsRowsAboveThePartialLastRow) {
    SetText(data.get(), Numbered(60));
    for (uint64_t options : {0ull, 0x20000ull}) {
        CEditCtrl* e = Make(options);
        RECT c;
        ::GetClientRect(e->m_hWnd, &c);
        int want = e->m_topMargin + 9 * e->m_rowPitch + e->m_rowPitch / 2;
        RECT w;
        ::GetWindowRect(e->m_hWnd, &w);
        ::MoveWindow(e->m_hWnd, 0, 0, w.right - w.left, w.bottom - w.top + want - c.bottom, TRUE);
        tvtest::Pump();
        ASSERT_EQ(e->m_pageRows, 10);
        Focus(e);
        e->MoveCaretTo(0, 0);
        int lowest = 0;
        for (int i = 0; i < 30; i++) {
            tvtest::Key(parent, qtplatform::Key_Down);
            tvtest::Pump();
            lowest = std::max(lowest, data->GetCaret().line - e->GetScrollPosition(SB_VERT));
        }
        EXPECT_EQ(lowest, options ? 7 : 8) << options;
        e->DestroyWindow();
    }
}

// Scrolled out of the text area, the caret and the composition window go
// to the same hidden point, a row pitch above the window.
TEST_F(CaretAndSearch, HiddenCaretTakesTheCompositionWindowAlong) {
    SetText(data.get(), Numbered(100));
    CEditCtrl* e = Make(0);
    Focus(e);
    e->MoveCaretTo(0, 3);
    e->ScrollBy(0, 50, 0);
    tvtest::Pump();
    ASSERT_EQ(e->GetScrollPosition(SB_VERT), 50);
    POINT caret{};
    ASSERT_TRUE(::GetCaretPos(&caret));
    EXPECT_EQ(caret.y, -e->m_rowPitch);
    POINT ime = tvtest::ImeCompositionPoint(e->m_hWnd);
    EXPECT_EQ(ime.y, caret.y);
    EXPECT_EQ(ime.x, caret.x);
}

// A pattern matching the empty string moves on one character per search and
// restarts at the text's start after its end.
TEST_F(CaretAndSearch, EmptyMatchesAdvanceAndRestart) {
    SetText(data.get(), u"ab\r\nc");
    CEditCtrl* e = Make(0);
    Focus(e);
    std::vector<EditPos> seen;
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(e->Find(u"x*", 1, 0, 0, 1), 0);
        seen.push_back(data->GetCaret());
    }
    std::vector<EditPos> want = {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {0, 0}};
    EXPECT_EQ(seen, want);
}

// A match over a line end is selected across it.
TEST_F(CaretAndSearch, MatchOverALineEndIsSelectedAcrossIt) {
    SetText(data.get(), u"xab\r\ncdy");
    CEditCtrl* e = Make(0);
    Focus(e);
    EXPECT_EQ(e->Find(u"b\\ncd", 1, 0, 0, 1), 0);
    EXPECT_EQ(data->m_disp.m_selStart, (EditPos{2, 0}));
    EXPECT_EQ(data->m_disp.m_selEnd, (EditPos{2, 1}));
}

// Cell mode leaves Tab and Enter to the grid; 0x1000 leaves the arrows to the parent.
TEST_F(CaretAndSearch, CellModeAndNoKeysLeaveTheirKeys) {
    SetText(data.get(), u"abc");
    CEditCtrl* e = Make(0x8);
    Focus(e);
    e->MoveCaretTo(0, 1);
    tvtest::Key(parent, qtplatform::Key_Tab, 0, u"\t");
    tvtest::Key(parent, qtplatform::Key_Return, 0, u"\r");
    tvtest::Pump();
    EXPECT_EQ(TextOf(data.get()), u"abc");
    e->SetOptions(0x1000);
    tvtest::Key(parent, qtplatform::Key_Right);
    tvtest::Key(parent, qtplatform::Key_Down);
    tvtest::Pump();
    EXPECT_EQ(data->GetCaret(), (EditPos{1, 0}));
}
