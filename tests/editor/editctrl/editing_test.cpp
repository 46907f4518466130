// Keys, typing, clipboard, undo, IME, URLs and drag and drop of the editor
// window, through the platform's input translation.
#include <algorithm>
#include <cstring>

#include <afxole.h>

#include "editctrl_fixture.h"
#include "win32/ime.h"

using namespace edtest;

namespace {

constexpr unsigned kShift = static_cast<unsigned>(qtplatform::Mods::Shift);
constexpr unsigned kCtrl = static_cast<unsigned>(qtplatform::Mods::Ctrl);

win32bk::ClipFormats Unicode(const std::u16string& t) {
    // The text and its terminator, byte by byte.
    const auto* bytes = reinterpret_cast<const uint8_t*>(t.c_str());
    std::vector<uint8_t> b(bytes, bytes + (t.size() + 1) * 2);
    return {{CF_UNICODETEXT, b}};
}

std::vector<uint8_t> Marker(const char16_t* word, size_t bytes) {
    std::vector<uint8_t> b(bytes, 0);
    std::memcpy(b.data(), word, std::min(bytes, std::char_traits<char16_t>::length(word) * 2));
    return b;
}

std::u16string ClipText() {
    std::u16string out;
    if (!OpenClipboard(nullptr)) return u"<held>";
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) out = static_cast<const char16_t*>(GlobalLock(h));
    CloseClipboard();
    return out;
}

} // namespace

class Keyboard : public EditorTest {};

TEST_F(Keyboard, TypingMovingAndDeleting) {
    CEditCtrl* e = Make(0x10);
    Focus(e);
    tvtest::Type(parent, u"select");
    tvtest::Key(parent, qtplatform::Key_Return);
    tvtest::Type(parent, u"ab");
    tvtest::Pump();
    EXPECT_EQ(TextOf(data.get()), u"select\nab");
    tvtest::Key(parent, qtplatform::Key_Backspace);
    tvtest::Key(parent, qtplatform::Key_Home);
    tvtest::Key(parent, qtplatform::Key_Delete);
    tvtest::Pump();
    EXPECT_EQ(TextOf(data.get()), u"select\n");
    tvtest::Key(parent, qtplatform::Key_Backspace);
    tvtest::Pump();
    EXPECT_EQ(TextOf(data.get()), u"select");
    EXPECT_GT(Count(EDN_CARETMOVED), 0);
}

TEST_F(Keyboard, CaretColumnIsTheDisplayColumn) {
    SetText(data.get(), u"\tあx");
    CEditCtrl* e = Make(0);
    Focus(e);
    Notes().clear();
    tvtest::Key(parent, qtplatform::Key_End);
    tvtest::Pump();
    ASSERT_FALSE(Notes().empty());
    const Note& n = Notes().back();
    EXPECT_EQ(n.msg, static_cast<UINT>(EDN_CARETMOVED));
    EXPECT_EQ(n.wParam, 4u + 2u + 1u);
}

TEST_F(Keyboard, HomeAlternatesBetweenIndentAndColumnZero) {
    SetText(data.get(), u"    abc");
    CEditCtrl* e = Make(0);
    Focus(e);
    data->SetCaret(0, 6);
    e->MoveHome(0, 0);
    EXPECT_EQ(data->GetCaret().col, 4);
    e->MoveHome(0, 0);
    EXPECT_EQ(data->GetCaret().col, 0);
    e->MoveHome(0, 0);
    EXPECT_EQ(data->GetCaret().col, 4);
}

TEST_F(Keyboard, ShiftSelectsAndLeftCollapses) {
    SetText(data.get(), u"abcdef");
    CEditCtrl* e = Make(0);
    Focus(e);
    data->SetCaret(0, 1);
    tvtest::Key(parent, qtplatform::Key_Right, kShift);
    tvtest::Key(parent, qtplatform::Key_Right, kShift);
    tvtest::Pump();
    EXPECT_TRUE(e->HasSelection());
    EXPECT_EQ(data->m_disp.m_selEnd.col, 3);
    tvtest::Key(parent, qtplatform::Key_Left);
    tvtest::Pump();
    EXPECT_FALSE(e->HasSelection());
    EXPECT_EQ(data->GetCaret().col, 1);
}

TEST_F(Keyboard, CtrlShortcutsOnlyWithTheirOption) {
    SetText(data.get(), u"abc");
    CEditCtrl* e = Make(0);
    Focus(e);
    ::SendMessageW(e->m_hWnd, WM_CHAR, 1, 1); // Ctrl+A without Ctrl held is a control code
    EXPECT_FALSE(e->HasSelection());
    tvtest::Key(parent, 'A', kCtrl, u"\x01");
    tvtest::Pump();
    EXPECT_FALSE(e->HasSelection());
    EXPECT_EQ(TextOf(data.get()), u"abc");
    e->SetOptions(0x10);
    tvtest::Key(parent, 'A', kCtrl, u"\x01");
    tvtest::Pump();
    EXPECT_TRUE(e->HasSelection());
}

TEST_F(Keyboard, TabIndentsAndShiftTabUnindentsTheSelectedLines) {
    SetText(data.get(), u"aaaa\r\nbbbb\r\ncccc\r\ndddd");
    CEditCtrl* e = Make(0);
    Focus(e);
    e->SelectRange(EditPos{3, 0}, EditPos{0, 3}, 0);
    e->TypeChar(u'\t');
    EXPECT_EQ(TextOf(data.get()), u"\taaaa\n\tbbbb\n\tcccc\ndddd");
    SetText(data.get(), u"      x");
    e->Relayout(0, 1);
    data->m_disp.m_widths.m_tabWidth = 4;
    e->SelectRange(EditPos{0, 0}, EditPos{7, 0}, 0);
    e->IndentLines(1, 0, 4);
    EXPECT_EQ(TextOf(data.get()), u"  x");
}

TEST_F(Keyboard, EscapeCyclesThroughCompletions) {
    CEditCtrl* e = Make(0);
    Focus(e);
    tvtest::Type(parent, u"SEL");
    tvtest::Pump();
    tvtest::Key(parent, qtplatform::Key_Escape);
    tvtest::Pump();
    std::u16string first = TextOf(data.get());
    EXPECT_EQ(first.substr(0, 3), u"SEL");
    EXPECT_GT(first.size(), 3u);
    tvtest::Key(parent, qtplatform::Key_Escape);
    tvtest::Pump();
    std::u16string second = TextOf(data.get());
    EXPECT_NE(second, first);
    tvtest::Key(parent, qtplatform::Key_Escape, kShift);
    tvtest::Pump();
    EXPECT_EQ(TextOf(data.get()), first);
}

TEST_F(Keyboard, ReadOnlyRefusesEveryEdit) {
    SetText(data.get(), u"abc");
    CEditCtrl* e = Make(0x10);
    e->SetReadOnly(1);
    Focus(e);
    tvtest::Type(parent, u"x");
    tvtest::Key(parent, qtplatform::Key_Backspace);
    tvtest::Key(parent, qtplatform::Key_Delete);
    tvtest::Pump();
    e->SelectAll();
    e->Cut();
    e->Paste();
    e->Undo();
    e->TypeChar(u'q');
    EXPECT_EQ(TextOf(data.get()), u"abc");
    e->Copy(); // still works
    EXPECT_EQ(ClipText(), u"abc");
}

TEST_F(Keyboard, SteadyCaretShowsInEveryCapture) {
    CEditCtrl* e = Make(0x40000);
    Focus(e);
    COLORREF bg = data->m_disp.m_colors[3];
    uint32_t bgArgb = 0xFF000000u | ((bg & 0xFF) << 16) | (bg & 0xFF00) | ((bg >> 16) & 0xFF);
    for (int i = 0; i < 10; i++) {
        auto img = tvtest::Capture(e->m_hWnd);
        EXPECT_NE(img.At(e->m_leftMargin, e->m_topMargin + 3), bgArgb) << i;
        tvtest::Advance(500);
    }
}

class Clipboard : public EditorTest {};

TEST_F(Clipboard, BoxCopyCarriesTheMarkerAndPastesAsABox) {
    SetText(data.get(), u"abcd\r\nefgh\r\nijkl");
    CEditCtrl* e = Make(0x10);
    Focus(e);
    data->m_disp.m_boxMode = 1;
    e->SelectRange(EditPos{1, 0}, EditPos{3, 1}, 1);
    e->Copy();
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE m = GetClipboardData(e->m_boxFormat);
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(edit_marker_is_box(m));
    CloseClipboard();
    e->ClearSelection(1);
    data->SetCaret(2, 0);
    e->Paste();
    EXPECT_EQ(TextOf(data.get()), u"abcd\nefgh\nbcijkl\nfg");
}

TEST_F(Clipboard, StreamAndForeignTextPasteAsStreams) {
    SetText(data.get(), u"abc");
    CEditCtrl* e = Make(0x10);
    Focus(e);
    e->SelectRange(EditPos{0, 0}, EditPos{2, 0}, 0);
    e->Copy();
    data->SetCaret(0, 3);
    e->ClearSelection(1);
    e->Paste();
    EXPECT_EQ(TextOf(data.get()), u"abcab");
    tvtest::SetClipboard(Unicode(u"x\r\ny"));
    e->Paste();
    EXPECT_EQ(TextOf(data.get()), u"abcabx\ny");
}

// A marker from another program is read within its block: "TRUE" without a
// terminator, longer words and lower case all paste as a stream.
TEST_F(Clipboard, MarkerIsReadWithinItsBlock) {
    CEditCtrl* e = Make(0x10);
    Focus(e);
    UINT box = e->m_boxFormat;
    for (auto marker : {Marker(u"TRUE", 8), Marker(u"TRUEX", 20), Marker(u"true", 20)}) {
        SetText(data.get(), u"12\r\n34");
        e->Relayout(0, 1);
        data->SetCaret(0, 1);
        auto f = Unicode(u"a\r\nb");
        f.emplace_back(box, marker);
        tvtest::SetClipboard(f);
        e->Paste();
        EXPECT_EQ(TextOf(data.get()), u"1a\nb2\n34");
    }
    SetText(data.get(), u"12\r\n34");
    e->Relayout(0, 1);
    data->SetCaret(0, 1);
    auto f = Unicode(u"a\r\nb");
    f.emplace_back(box, Marker(u"TRUE", 10));
    tvtest::SetClipboard(f);
    e->Paste();
    EXPECT_EQ(TextOf(data.get()), u"1a2\n3b4");
}

TEST_F(Clipboard, AnsiTextEndsAtItsBlock) {
    CEditCtrl* e = Make(0x10);
    Focus(e);
    tvtest::SetClipboard({{CF_TEXT, {0x82, 0xA0, 'z'}}});
    e->Paste();
    EXPECT_EQ(TextOf(data.get()), u"あz");
}

TEST_F(Clipboard, FailuresAreReportedAndLeaveNoBlock) {
    SetText(data.get(), u"abc");
    CEditCtrl* e = Make(0x10);
    Focus(e);
    e->SelectAll();
    int live = win32bk::LiveGlobalBlocks();
    for (int i = 0; i < 4; i++) tvtest::AnswerBox(IDOK);
    ASSERT_TRUE(OpenClipboard(parent)); // another window holds it
    e->Copy();
    CloseClipboard();
    win32bk::FailNext(win32bk::ClipFailure::EmptyClipboard);
    e->Copy();
    win32bk::FailNext(win32bk::ClipFailure::SetClipboardData);
    e->Copy();
    win32bk::FailNext(win32bk::ClipFailure::GlobalAlloc);
    e->Copy();
    ASSERT_EQ(tvtest::Boxes().size(), 4u);
    EXPECT_EQ(tvtest::Boxes()[0].text, u"Cannot open the Clipboard");
    EXPECT_EQ(tvtest::Boxes()[1].text, u"Cannot empty the Clipboard");
    EXPECT_EQ(tvtest::Boxes()[2].text, u"Unable to set Clipboard data");
    EXPECT_EQ(tvtest::Boxes()[3].text, u"Unable to set Clipboard data");
    EXPECT_EQ(win32bk::LiveGlobalBlocks(), live);
}

TEST_F(Clipboard, CopyLineAndCopyClears) {
    SetText(data.get(), u"one\r\ntwo");
    CEditCtrl* e = Make(0x10 | 0x80000 | 0x40000000);
    Focus(e);
    e->Copy();
    EXPECT_EQ(ClipText(), u"one\r\n");
    data->SetCaret(1, 1);
    e->Copy();
    EXPECT_EQ(ClipText(), u"two");
    e->SelectAll();
    Notes().clear();
    e->Copy();
    EXPECT_FALSE(e->HasSelection());
    EXPECT_GT(Count(EDN_SELCHANGED), 0);
}

TEST_F(Clipboard, UndoRedoAndTwoViewsAlike) {
    CEditCtrl* a = Make(0x10);
    CEditCtrl* b = Make(0x10);
    Focus(a);
    tvtest::Type(parent, u"select 1");
    tvtest::Pump();
    tvtest::SetClipboard(Unicode(u" from dual"));
    a->Paste();
    a->Undo();
    tvtest::Pump();
    EXPECT_EQ(TextOf(data.get()), u"select 1");
    a->Redo();
    tvtest::Pump();
    EXPECT_EQ(TextOf(data.get()), u"select 1 from dual");
    ::HideCaret(a->m_hWnd);
    auto ia = tvtest::Capture(a->m_hWnd), ib = tvtest::Capture(b->m_hWnd);
    ASSERT_EQ(ia.pixels.size(), ib.pixels.size());
    int diff = 0;
    for (size_t i = 0; i < ia.pixels.size(); i++) diff += ia.pixels[i] != ib.pixels[i];
    EXPECT_LT(diff, 60); // only the caret
}

class Ime : public EditorTest {};

TEST_F(Ime, CommitAfterTypingIsItsOwnUndoStep) {
    CEditCtrl* e = Make(0);
    Focus(e);
    tvtest::Type(parent, u"abc");
    tvtest::Pump();
    tvtest::ImePreedit(e->m_hWnd, u"にほ");
    EXPECT_EQ(TextOf(data.get()), u"abc"); // the preedit is not in the buffer
    tvtest::ImePreedit(e->m_hWnd, u"にほんご");
    tvtest::ImeCommit(e->m_hWnd, u"日本語");
    EXPECT_EQ(TextOf(data.get()), u"abc日本語");
    e->Undo();
    EXPECT_EQ(TextOf(data.get()), u"abc");
}

TEST_F(Ime, ClickDuringPreeditCommitsWithoutMovingTheCaret) {
    SetText(data.get(), u"abcdef");
    CEditCtrl* e = Make(0);
    Focus(e);
    data->SetCaret(0, 2);
    e->UpdateCaret(0, 0, 0);
    tvtest::ImePreedit(e->m_hWnd, u"か");
    tvtest::Click(e->m_hWnd, 300, e->m_topMargin + 3);
    tvtest::Pump();
    EXPECT_EQ(TextOf(data.get()), u"abかcdef");
    EXPECT_EQ(data->GetCaret().col, 3);
}

TEST_F(Ime, ReconversionAsksForTheSelection) {
    SetText(data.get(), u"abcdefg\r\nx");
    CEditCtrl* e = Make(0);
    Focus(e);
    e->SelectRange(EditPos{1, 0}, EditPos{6, 0}, 0);
    EXPECT_EQ(::SendMessageW(e->m_hWnd, WM_IME_REQUEST, IMR_RECONVERTSTRING, 0), 44);
    std::vector<uint8_t> block(44, 0);
    reinterpret_cast<RECONVERTSTRING*>(block.data())->dwSize = 44;
    ::SendMessageW(e->m_hWnd, WM_IME_REQUEST, IMR_RECONVERTSTRING, reinterpret_cast<LPARAM>(block.data()));
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(block.data() + 32)), u"bcdef");
    e->SelectRange(EditPos{1, 0}, EditPos{1, 1}, 0);
    EXPECT_EQ(::SendMessageW(e->m_hWnd, WM_IME_REQUEST, IMR_RECONVERTSTRING, 0), 0);
}

class Links : public EditorTest {};

// "www." texts get a scheme, "ftp://" passes unchanged, only an address gets "mailto:".
TEST_F(Links, DoubleClicksOpenTheMendedTargets) {
    SetText(data.get(), u"www.a.jp\r\nftp://a.jp/f\r\na.b@c.jp");
    CEditCtrl* e = Make(0x400);
    Focus(e);
    tvtest::RecordShell(true);
    for (int line = 0; line < 3; line++) {
        int y = e->m_topMargin + line * e->m_rowPitch + 3;
        tvtest::Click(e->m_hWnd, e->m_leftMargin + 20, y);
        tvtest::Click(e->m_hWnd, e->m_leftMargin + 20, y);
        tvtest::Pump();
        tvtest::Advance(1000);
    }
    auto calls = tvtest::ShellCalls();
    tvtest::RecordShell(false);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].file, u"http://www.a.jp");
    EXPECT_EQ(calls[1].file, u"ftp://a.jp/f");
    EXPECT_EQ(calls[2].file, u"mailto:a.b@c.jp");
}

class DragDrop : public EditorTest {};

TEST_F(DragDrop, MoveCopyAndSelfDrop) {
    SetText(data.get(), u"abc\r\nxyz");
    CEditCtrl* e = Make(0x2000);
    Focus(e);
    auto point = [&](int col, int line) { return e->PosToPoint(EditPos{col, line}); };
    // A move onto its own selection keeps the text and only moves the caret.
    e->SelectRange(EditPos{0, 0}, EditPos{2, 0}, 0);
    CPoint in = point(1, 0);
    tvtest::DragScript({{win32bk::DragStep::LeaveStart, nullptr, {}, 0},
                        {win32bk::DragStep::Move, e->m_hWnd, {in.x + 2, in.y + 3}, 0},
                        {win32bk::DragStep::Drop, e->m_hWnd, {in.x + 2, in.y + 3}, 0}});
    e->StartDrag(in);
    EXPECT_EQ(TextOf(data.get()), u"abc\nxyz");
    // A move to the next line.
    e->SelectRange(EditPos{0, 0}, EditPos{2, 0}, 0);
    CPoint to = point(3, 1);
    tvtest::DragScript({{win32bk::DragStep::LeaveStart, nullptr, {}, 0},
                        {win32bk::DragStep::Drop, e->m_hWnd, {to.x + 1, to.y + 3}, 0}});
    e->StartDrag(in);
    EXPECT_EQ(TextOf(data.get()), u"c\nxyzab");
    // With Ctrl a copy.
    e->SelectRange(EditPos{0, 0}, EditPos{1, 0}, 0);
    tvtest::DragScript({{win32bk::DragStep::LeaveStart, nullptr, {}, 0},
                        {win32bk::DragStep::Drop, e->m_hWnd, {to.x + 1, to.y + 3}, MK_CONTROL}});
    e->StartDrag(in);
    EXPECT_EQ(TextOf(data.get()), u"c\nxyzcab");
    // Released in the start rectangle: nothing.
    e->SelectRange(EditPos{0, 0}, EditPos{1, 0}, 0);
    tvtest::DragScript({{win32bk::DragStep::ReleaseInStart, nullptr, {}, 0}});
    EXPECT_EQ(e->StartDrag(in), 0);
    EXPECT_EQ(TextOf(data.get()), u"c\nxyzcab");
}

TEST_F(DragDrop, MoveToAnotherBufferDeletesTheSource) {
    SetText(data.get(), u"hello");
    CEditData other;
    other.m_token = &theSqlStrToken;
    CEditCtrl* a = Make(0x2000);
    CEditCtrl* b = Make(0x2000, &other);
    Focus(a);
    a->SelectRange(EditPos{0, 0}, EditPos{5, 0}, 0);
    tvtest::DragScript({{win32bk::DragStep::LeaveStart, nullptr, {}, 0},
                        {win32bk::DragStep::Drop, b->m_hWnd, {b->m_leftMargin + 2, b->m_topMargin + 3}, 0}});
    a->StartDrag(CPoint(a->m_leftMargin + 5, a->m_topMargin + 3));
    EXPECT_EQ(TextOf(data.get()), u"");
    EXPECT_EQ(TextOf(&other), u"hello");
    b->DestroyWindow();
}

TEST_F(DragDrop, ForeignAnsiDropConverts) {
    CEditCtrl* e = Make(0x1000000);
    win32bk::ClipFormats f{{CF_TEXT, {0x82, 0xA0, 0}}};
    DWORD r = tvtest::ForeignDrop(e->m_hWnd, e->m_leftMargin + 2, e->m_topMargin + 2, f);
    EXPECT_EQ(r, static_cast<DWORD>(DROPEFFECT_MOVE));
    EXPECT_EQ(TextOf(data.get()), u"あ");
}

class ModifiedColour : public EditorTest {};

// Both views repaint their whole background when the modified state turns.
TEST_F(ModifiedColour, BackgroundFollowsTheModifiedStateInEveryView) {
    CEditCtrl* a = Make(0x80000000ull, nullptr, 300, 200);
    CEditCtrl* b = Make(0x80000000ull, nullptr, 300, 200);
    a->SetModifiedColors(0xFFFFFF, 0xC0FFC0);
    b->SetModifiedColors(0xFFFFFF, 0xC0FFC0);
    Focus(a);
    tvtest::Type(parent, u"x");
    tvtest::Pump();
    for (CEditCtrl* e : {a, b}) {
        auto img = tvtest::Capture(e->m_hWnd);
        EXPECT_EQ(img.At(250, 150), 0xFFC0FFC0u);
        EXPECT_EQ(img.At(e->m_leftMargin + 100, e->m_topMargin + 3), 0xFFC0FFC0u);
    }
    a->Undo();
    tvtest::Pump();
    for (CEditCtrl* e : {a, b}) {
        auto img = tvtest::Capture(e->m_hWnd);
        EXPECT_EQ(img.At(250, 150), 0xFFFFFFFFu);
    }
}

class Search : public EditorTest {};

TEST_F(Search, FindSelectsAndReportsFailures) {
    SetText(data.get(), u"one two\r\nthree two");
    CEditCtrl* e = Make(0);
    Focus(e);
    EXPECT_EQ(e->Find(u"two", 1, 0, 0, 0), 0);
    EXPECT_EQ(data->m_disp.m_selStart.col, 4);
    EXPECT_EQ(e->Find(u"two", 1, 0, 0, 0), 0);
    EXPECT_EQ(data->m_disp.m_selStart.line, 1);
    tvtest::AnswerBox(IDOK);
    EXPECT_EQ(e->Find(u"(", 1, 0, 0, 1), 1);
    ASSERT_EQ(tvtest::Boxes().size(), 1u);
    EXPECT_EQ(tvtest::Boxes()[0].text, u"不正な正規表現です");
    EXPECT_EQ(e->Find(u"zzz", 1, 0, 0, 0), 1);
    EXPECT_EQ(tvtest::Boxes().size(), 1u);
    e->SetOptions(0x800);
    tvtest::AnswerBox(IDOK); // the wrap question
    tvtest::AnswerBox(IDOK);
    EXPECT_EQ(e->Find(u"zzz", 1, 0, 0, 0), 1);
    EXPECT_EQ(tvtest::Boxes().back().text, u"見つかりません");
    EXPECT_EQ(e->Find(u"two", 0, 0, 0, 0), 1); // direction 0 does nothing
}

TEST_F(Search, ReplaceSelectsFirstThenReplaces) {
    SetText(data.get(), u"a b a");
    CEditCtrl* e = Make(0);
    Focus(e);
    e->Replace(u"a", u"X", 1, 1, 1, 0, 0, 0);
    EXPECT_EQ(TextOf(data.get()), u"a b a");
    EXPECT_TRUE(e->HasSelection());
    e->Replace(u"a", u"X", 1, 1, 1, 0, 0, 0);
    EXPECT_EQ(TextOf(data.get()), u"X b a");
    e->ReplaceAll(u"[ab]", u"Y", 1, 1, 1, 0);
    EXPECT_EQ(TextOf(data.get()), u"X Y Y");
}

TEST_F(Search, PatternCacheCompilesOnce) {
    SearchPatternCache c;
    c.Get(u"ab", 1, 1, 0);
    c.Get(u"ab", 1, 1, 0);
    EXPECT_EQ(c.compileCount, 1);
    c.Get(u"ab", 1, 0, 0);
    EXPECT_EQ(c.compileCount, 2);
}

// Backward replace works as forward does: a selected match is replaced and
// the match before it selected, and so on to the start.
TEST_F(Search, BackwardReplaceReplacesFromTheEnd) {
    SetText(data.get(), u"a b a\r\nab");
    CEditCtrl* e = Make(0);
    Focus(e);
    data->SetCaret(1, 2);
    e->Replace(u"a", u"XX", -1, 1, 1, 0, 0, 0);
    EXPECT_EQ(TextOf(data.get()), u"a b a\nab");
    ASSERT_TRUE(e->HasSelection());
    EXPECT_EQ(data->m_disp.m_selStart, (EditPos{0, 1}));
    EXPECT_EQ(e->Replace(u"a", u"XX", -1, 1, 1, 0, 0, 0), 0);
    EXPECT_EQ(TextOf(data.get()), u"a b a\nXXb");
    EXPECT_EQ(data->m_disp.m_selStart, (EditPos{4, 0}));
    EXPECT_EQ(e->Replace(u"a", u"XX", -1, 1, 1, 0, 0, 0), 0);
    EXPECT_EQ(TextOf(data.get()), u"a b XX\nXXb");
    EXPECT_EQ(data->m_disp.m_selStart, (EditPos{0, 0}));
    e->Replace(u"a", u"XX", -1, 1, 1, 0, 0, 0);
    EXPECT_EQ(TextOf(data.get()), u"XX b XX\nXXb");
    // A replacement holding the pattern is not found again going backward.
    SetText(data.get(), u"ab ab");
    e->Relayout(0, 1);
    data->SetCaret(0, 5);
    e->Replace(u"ab", u"abab", -1, 1, 1, 0, 0, 0);
    EXPECT_EQ(e->Replace(u"ab", u"abab", -1, 1, 1, 0, 0, 0), 0);
    EXPECT_EQ(TextOf(data.get()), u"ab abab");
    EXPECT_EQ(data->m_disp.m_selStart, (EditPos{0, 0}));
    EXPECT_EQ(data->m_disp.m_selEnd, (EditPos{2, 0}));
}

// A pattern matching the empty string is replaced going backward as going
// forward: each Replace replaces the match selected and selects the next one
// in its direction; a search that finds only the place just replaced says
// it found nothing.
TEST_F(Search, EmptyMatchesAreReplacedAndPassedInBothDirections) {
    struct Case {
        const char16_t* pattern;
        int direction;
        const char16_t* text;
        EditPos caret;
        std::vector<std::u16string> steps; // the text after each Replace
    };
    const Case cases[] = {
        {u"$", -1, u"ab cd\r\nef", {2, 1}, {u"ab cd\nef", u"ab cdX\nef", u"ab cdX\nefX"}},
        {u"^", -1, u"ab cd\r\nef", {2, 1}, {u"ab cd\nef", u"ab cd\nXef", u"Xab cd\nXef"}},
        {u"^\\s*", -1, u"ab\r\n  cd", {4, 1}, {u"ab\n  cd", u"ab\nXcd", u"Xab\nXcd"}},
        {u"\\b",
         -1,
         u"ab cd\r\nef",
         {2, 1},
         {u"ab cd\nef", u"ab cd\nXef", u"ab cdX\nXef", u"ab XcdX\nXef", u"abX XcdX\nXef", u"XabX XcdX\nXef"}},
        {u"$", 1, u"ab cd\r\nef", {0, 0}, {u"ab cd\nef", u"ab cdX\nef", u"ab cdX\nefX"}},
        {u"\\b", 1, u"ab cd", {0, 0}, {u"Xab cd", u"XabX cd", u"XabX Xcd", u"XabX XcdX"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << WideToUtf8(c.pattern) << " direction " << c.direction);
        SetText(data.get(), c.text);
        CEditCtrl* e = Make(0);
        Focus(e);
        data->SetCaret(c.caret.line, c.caret.col);
        for (size_t i = 0; i < c.steps.size(); ++i) {
            EXPECT_EQ(e->Replace(c.pattern, u"X", c.direction, 1, 1, 1, 0, 0), 0) << "step " << i;
            EXPECT_EQ(TextOf(data.get()), c.steps[i]) << "step " << i;
        }
        e->DestroyWindow();
    }
    // One line, one place: once it is replaced, nothing new is found.
    for (int direction : {-1, 1}) {
        SCOPED_TRACE(direction);
        SetText(data.get(), u"ab");
        CEditCtrl* e = Make(0x800);
        Focus(e);
        data->SetCaret(0, direction == 1 ? 0 : 2);
        tvtest::ClearBoxes();
        if (direction == -1) {
            EXPECT_EQ(e->Replace(u"^", u"X", -1, 1, 1, 1, 0, 0), 0); // selects
        }
        tvtest::AnswerBox(IDOK); // the wrap question
        tvtest::AnswerBox(IDOK);
        EXPECT_EQ(e->Replace(u"^", u"X", direction, 1, 1, 1, 0, 0), 1);
        EXPECT_EQ(TextOf(data.get()), u"Xab");
        ASSERT_FALSE(tvtest::Boxes().empty());
        EXPECT_EQ(tvtest::Boxes().back().text, u"見つかりません");
        EXPECT_FALSE(data->m_disp.HasSelection());
        e->DestroyWindow();
    }
}

// Over a selection the selection decides how the text goes in; the clipboard's
// marker counts only at a bare caret.
TEST_F(Clipboard, SelectionKindDecidesHowAPasteGoesIn) {
    CEditCtrl* e = Make(0x10);
    Focus(e);
    UINT marker = e->m_boxFormat;
    // Another program's two lines over a box of two lines: one line each.
    SetText(data.get(), u"abcd\r\nefgh\r\nijkl");
    e->Relayout(0, 1);
    data->m_disp.m_boxMode = 1;
    e->SelectRange(EditPos{1, 0}, EditPos{3, 1}, 1);
    tvtest::SetClipboard(Unicode(u"X\r\nY"));
    e->Paste();
    EXPECT_EQ(TextOf(data.get()), u"aXd\neYh\nijkl");
    EXPECT_EQ(data->Undo(), 0);
    EXPECT_EQ(TextOf(data.get()), u"abcd\nefgh\nijkl");
    // A box copy over a stream selection goes in as a stream.
    e->Relayout(0, 1);
    e->ClearSelection(1);
    data->m_disp.m_boxMode = 0;
    e->SelectRange(EditPos{1, 0}, EditPos{3, 0}, 0);
    auto f = Unicode(u"X\nY\n");
    f.emplace_back(marker, Marker(u"TRUE", 20));
    tvtest::SetClipboard(f);
    e->Paste();
    EXPECT_EQ(TextOf(data.get()), u"aX\nY\nd\nefgh\nijkl");
    EXPECT_FALSE(data->m_disp.m_boxMode);
}

class Brackets : public EditorTest {
protected:
    // The pair UpdateBracketMatch marks with the caret at (col, line).
    std::pair<EditPos, EditPos> Marked(CEditCtrl* e, int line, int col) {
        data->SetCaret(line, col);
        e->UpdateBracketMatch();
        return {data->m_disp.m_bracket[0], data->m_disp.m_bracket[1]};
    }
};

TEST_F(Brackets, PartnersForwardBackwardNestedAndAcrossLines) {
    CEditCtrl* e = Make(0x2000000);
    SetText(data.get(), u"((a))");
    e->Relayout(0, 1);
    EditPos out{-1, -1};
    data->SetCaret(0, 0);
    ASSERT_EQ(e->FindMatchingBracket(u'(', &out), 1);
    EXPECT_EQ(out, (EditPos{4, 0}));
    data->SetCaret(0, 1);
    ASSERT_EQ(e->FindMatchingBracket(u'(', &out), 1);
    EXPECT_EQ(out, (EditPos{3, 0}));
    data->SetCaret(0, 4);
    ASSERT_EQ(e->FindMatchingBracket(u')', &out), 1);
    EXPECT_EQ(out, (EditPos{0, 0}));

    SetText(data.get(), u"(a)");
    e->Relayout(0, 1);
    using Pair = std::pair<EditPos, EditPos>;
    EXPECT_EQ(Marked(e, 0, 0), (Pair{{0, 0}, {2, 0}}));
    EXPECT_EQ(Marked(e, 0, 1), (Pair{{0, 0}, {2, 0}}));
    EXPECT_EQ(Marked(e, 0, 3), (Pair{{-1, -1}, {-1, -1}}));

    SetText(data.get(), u"f(a, (b))");
    e->Relayout(0, 1);
    EXPECT_EQ(Marked(e, 0, 3), (Pair{{1, 0}, {8, 0}}));
    EXPECT_EQ(Marked(e, 0, 6), (Pair{{5, 0}, {7, 0}}));

    // Across lines, with a bracket in a literal and one in a comment skipped.
    SetText(data.get(), u"select (\r\n  ')' , (1)\r\n  /* ) */\r\n) x");
    e->Relayout(0, 1);
    EXPECT_EQ(Marked(e, 1, 7), (Pair{{7, 0}, {0, 3}}));
    data->SetCaret(0, 7);
    ASSERT_EQ(e->FindMatchingBracket(u'(', &out), 1);
    EXPECT_EQ(out, (EditPos{0, 3}));
    data->SetCaret(3, 0);
    ASSERT_EQ(e->FindMatchingBracket(u')', &out), 1);
    EXPECT_EQ(out, (EditPos{7, 0}));
}

// A URL that wraps over several display rows opens and shows the link
// cursor from every row, not only its last.
TEST_F(Links, WrappedUrlIsLiveOnEveryRow) {
    std::u16string url = u"http://a.jp/" + std::u16string(40, u'b');
    SetText(data.get(), url);
    data->m_disp.m_layout[0] = 1;
    CEditCtrl* e = Make(0x400, nullptr, 100, 200);
    ASSERT_EQ(data->GetLine(0)->rowCount, 3);
    Focus(e);
    tvtest::Pump();
    extern HCURSOR edit_link_cursor();
    for (int row = 0; row < 3; row++) {
        int y = e->m_topMargin + row * e->m_rowPitch + 3;
        EXPECT_TRUE(e->IsPointOnUrl(CPoint(e->m_leftMargin + 20, y))) << row;
        tvtest::MouseMove(e->m_hWnd, e->m_leftMargin + 20, y);
        tvtest::Pump();
        EXPECT_EQ(::GetCursor(), edit_link_cursor()) << row;
        tvtest::MouseMove(e->m_hWnd, e->m_leftMargin + 20, e->m_topMargin + 5 * e->m_rowPitch);
        tvtest::Pump();
        EXPECT_NE(::GetCursor(), edit_link_cursor()) << row;
    }
    tvtest::RecordShell(true);
    int y = e->m_topMargin + 3;
    tvtest::Click(e->m_hWnd, e->m_leftMargin + 20, y);
    tvtest::Click(e->m_hWnd, e->m_leftMargin + 20, y);
    tvtest::Pump();
    tvtest::Advance(1000);
    auto calls = tvtest::ShellCalls();
    tvtest::RecordShell(false);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].file, url);
}

// A read-only editor refuses drops from another program and from itself.
TEST_F(DragDrop, ReadOnlyRefusesDrops) {
    SetText(data.get(), u"abc\r\nxyz");
    CEditCtrl* e = Make(0x2000 | 0x1000000);
    e->SetReadOnly(1);
    Focus(e);
    win32bk::ClipFormats f = Unicode(u"new");
    EXPECT_EQ(tvtest::ForeignDrop(e->m_hWnd, e->m_leftMargin + 2, e->m_topMargin + 2, f),
              static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(TextOf(data.get()), u"abc\nxyz");
    e->SelectRange(EditPos{0, 0}, EditPos{2, 0}, 0);
    CPoint in = e->PosToPoint(EditPos{1, 0}), to = e->PosToPoint(EditPos{3, 1});
    tvtest::DragScript({{win32bk::DragStep::LeaveStart, nullptr, {}, 0},
                        {win32bk::DragStep::Drop, e->m_hWnd, {to.x + 1, to.y + 3}, 0}});
    e->StartDrag(in);
    EXPECT_EQ(TextOf(data.get()), u"abc\nxyz");
}
