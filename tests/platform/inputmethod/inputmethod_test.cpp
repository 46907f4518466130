// The input-method bridge under a Qt input context that behaves as a
// desktop input method does (the tests' model: romaji to kana, conversion
// into clauses, commits inside its reset, compositions dropped when the
// focus object changes), driven by key events: the composition's clauses,
// attributes and caret as the Imm calls read them and as the composition
// window draws them, where the candidate list is told to open, completing
// a composition exactly once, a composition that survives a focus move
// inside one top-level window, and single-line edits composing in their
// own font.
#include <algorithm>

#include "testing/dialogs.h"
#include "tests/platform/window/fixture.h"
#include "win32/ime_composition.h"

namespace {

bool Dark(uint32_t p) {
    return ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 150;
}
bool Highlight(uint32_t p) {
    return (p & 0xFFFFFF) == 0x0078D7;
}

class ModelIme : public WindowTest {
protected:
    void SetUp() override {
        tvtest::UseModelInputMethod();
        WindowTest::SetUp();
        ASSERT_TRUE(tvtest::ModelImeLoaded());
        tvtest::ModelImeCommitsOnReset(true);
    }
    // A shown top-level window with the focus and the input method on in it.
    HWND Focused(int w = 300, int h = 200) {
        HWND hwnd = Make(WS_OVERLAPPED | WS_VISIBLE, u"TestWnd", w, h);
        SetFocus(hwnd);
        tvtest::Pump();
        tvtest::ModelImeOn(true);
        return hwnd;
    }
    static void Space(HWND w) { tvtest::Key(w, int(u' '), 0, u" "); }
    std::u16string Chars(HWND w) const {
        std::u16string out;
        for (const Logged& l : Log())
            if (l.hwnd == w && l.msg == WM_CHAR) out.push_back(static_cast<char16_t>(l.wParam));
        return out;
    }
    template <typename T> static std::vector<T> Read(HWND w, DWORD index) {
        HIMC imc = ImmGetContext(w);
        LONG bytes = ImmGetCompositionStringW(imc, index, nullptr, 0);
        std::vector<T> out(static_cast<size_t>(bytes) / sizeof(T));
        if (bytes > 0) ImmGetCompositionStringW(imc, index, out.data(), static_cast<DWORD>(bytes));
        return out;
    }
    static std::u16string CompString(HWND w) {
        std::vector<char16_t> v = Read<char16_t>(w, GCS_COMPSTR);
        return std::u16string(v.begin(), v.end());
    }
};

// The composition of a conversion: its clauses with their attributes, the
// target moving with Right, the caret at the target, all read back through
// ImmGetCompositionStringW.
TEST_F(ModelIme, ClausesAttributesAndCaretOfAConversion) {
    HWND w = Focused();
    tvtest::Type(w, u"watashihanihongowohanashimasu");
    EXPECT_EQ(CompString(w), u"わたしはにほんごをはなします");
    EXPECT_EQ(Read<BYTE>(w, GCS_COMPATTR), std::vector<BYTE>(14, ATTR_INPUT));
    EXPECT_EQ(Read<DWORD>(w, GCS_COMPCLAUSE), (std::vector<DWORD>{0, 14}));
    EXPECT_EQ(ImmGetCompositionStringW(ImmGetContext(w), GCS_CURSORPOS, nullptr, 0), 14);
    Space(w);
    EXPECT_EQ(CompString(w), u"私は日本語を話します");
    EXPECT_EQ(Read<BYTE>(w, GCS_COMPATTR), (std::vector<BYTE>{1, 1, 2, 2, 2, 2, 2, 2, 2, 2}));
    EXPECT_EQ(Read<DWORD>(w, GCS_COMPCLAUSE), (std::vector<DWORD>{0, 2, 6, 10}));
    EXPECT_EQ(ImmGetCompositionStringW(ImmGetContext(w), GCS_CURSORPOS, nullptr, 0), 0);
    tvtest::Key(w, qtplatform::Key_Right);
    EXPECT_EQ(Read<BYTE>(w, GCS_COMPATTR), (std::vector<BYTE>{2, 2, 1, 1, 1, 1, 2, 2, 2, 2}));
    EXPECT_EQ(ImmGetCompositionStringW(ImmGetContext(w), GCS_CURSORPOS, nullptr, 0), 2);
    tvtest::Key(w, qtplatform::Key_Return);
    EXPECT_EQ(Chars(w), u"私は日本語を話します");
    EXPECT_EQ(ImmGetCompositionStringW(ImmGetContext(w), GCS_COMPATTR, nullptr, 0), 0);
}

// The composition window: three clauses drawn as three underlined runs,
// the middle one (the target) highlighted, the caret at its start; the
// candidate list is told the caret's place, not the composition's start.
TEST_F(ModelIme, TheCompositionWindowShowsTheClausesTheTargetAndTheCaret) {
    HWND w = Focused();
    COMPOSITIONFORM at{CFS_POINT, {20, 30}, {}};
    ImmSetCompositionWindow(ImmGetContext(w), &at);
    tvtest::Type(w, u"watashihanihongowohanashimasu");
    Space(w);
    tvtest::Key(w, qtplatform::Key_Right);
    HWND owner = nullptr;
    RECT place{};
    qtplatform::Image img;
    ASSERT_TRUE(tvtest::ShownComposition(&owner, &place, &img));
    EXPECT_EQ(owner, w);
    POINT origin{20, 30};
    ClientToScreen(w, &origin);
    EXPECT_EQ(place.left, origin.x);
    EXPECT_EQ(place.top, origin.y);
    // The highlighted columns: one run, inside the text.
    std::vector<bool> lit(static_cast<size_t>(img.width), false);
    for (int x = 0; x < img.width; ++x)
        for (int y = 0; y < img.height; ++y)
            lit[static_cast<size_t>(x)] = lit[static_cast<size_t>(x)] || Highlight(img.At(x, y));
    int h0 = -1, h1 = -1, runs = 0;
    for (int x = 0; x < img.width; ++x)
        if (lit[static_cast<size_t>(x)] && (x == 0 || !lit[static_cast<size_t>(x - 1)])) {
            ++runs;
            h0 = x;
        }
    for (int x = img.width - 1; x >= 0 && h1 < 0; --x)
        if (lit[static_cast<size_t>(x)]) h1 = x + 1;
    ASSERT_EQ(runs, 1);
    EXPECT_GT(h0, 10);
    EXPECT_LT(h1, img.width - 10);
    // The underline row: the lowest row with dark pixels left of the target.
    int under = -1;
    for (int y = img.height - 1; y >= 0 && under < 0; --y)
        for (int x = 0; x < h0 - 2 && under < 0; ++x)
            if (Dark(img.At(x, y))) under = y;
    ASSERT_GT(under, 0);
    std::vector<std::pair<int, int>> marks;
    for (int x = 0; x < img.width; ++x) {
        bool d = Dark(img.At(x, under));
        if (d && (marks.empty() || marks.back().second != x))
            marks.push_back({x, x + 1});
        else if (d)
            marks.back().second = x + 1;
    }
    ASSERT_EQ(marks.size(), 3u) << "one underline per clause";
    // The target starts under the caret, two pixels left of the highlight it covers.
    const int bar = h0 - 2;
    EXPECT_LT(marks[0].second, bar);
    EXPECT_GE(marks[1].first, bar);
    EXPECT_LE(marks[1].second, h1);
    EXPECT_GT(marks[2].first, h1 - 1);
    // The target's underline is thick, the others thin.
    EXPECT_TRUE(Dark(img.At((marks[1].first + marks[1].second) / 2, under + 1)));
    EXPECT_FALSE(Dark(img.At((marks[0].first + marks[0].second) / 2, under + 1)));
    // The caret: a dark bar two pixels wide at the target's start, top to bottom.
    for (int y : {0, img.height / 2, img.height - 1}) {
        EXPECT_TRUE(Dark(img.At(bar, y))) << y;
        EXPECT_TRUE(Dark(img.At(bar + 1, y))) << y;
    }
    EXPECT_FALSE(Dark(img.At(bar - 3, 0)));
    EXPECT_TRUE(Highlight(img.At(h0 + 1, 0)));
    // The candidate list opens under the caret: the target's start.
    RECT caret = qtplatform::InputMethodCursorRectangle();
    EXPECT_EQ(caret.left, place.left + bar);
    EXPECT_EQ(caret.top, place.top);
    tvtest::Key(w, qtplatform::Key_Left);
    caret = qtplatform::InputMethodCursorRectangle();
    EXPECT_EQ(caret.left, place.left);
    tvtest::Key(w, qtplatform::Key_Escape);
    tvtest::Key(w, qtplatform::Key_Escape);
    EXPECT_FALSE(tvtest::ShownComposition(nullptr, nullptr, nullptr));
    EXPECT_EQ(Chars(w), u"");
}

// A composition started at the right edge of a narrow composition area
// wraps inside it: all of it is drawn, each line within the area.
TEST_F(ModelIme, ACompositionAtTheRightEdgeIsWhollyShown) {
    HWND top = Focused(400, 200);
    HWND narrow = Make(WS_CHILD | WS_VISIBLE, u"TestWnd", 90, 24, top);
    SetFocus(narrow);
    tvtest::Pump();
    COMPOSITIONFORM at{CFS_POINT, {84, 2}, {}};
    COMPOSITIONFORM area{CFS_RECT, {84, 2}, {2, 2, 88, 22}};
    ImmSetCompositionWindow(ImmGetContext(narrow), &at);
    ImmSetCompositionWindow(ImmGetContext(narrow), &area);
    tvtest::Type(narrow, u"naga");
    RECT place{};
    qtplatform::Image img;
    ASSERT_TRUE(tvtest::ShownComposition(nullptr, &place, &img));
    RECT client{2, 2, 88, 22};
    MapWindowPoints(narrow, nullptr, reinterpret_cast<POINT*>(&client), 2);
    // Too little room at the point: the composition starts one row lower at the area's left edge.
    EXPECT_EQ(place.left, client.left);
    EXPECT_GT(place.top, client.top);
    tvtest::Type(narrow, u"ibunshou");
    ASSERT_TRUE(tvtest::ShownComposition(nullptr, &place, &img));
    EXPECT_GE(place.left, client.left);
    EXPECT_LE(place.right, client.right + 2);
    // Every character shows: the ink equals that of the same text with room to spare.
    auto ink = [](const qtplatform::Image& i) {
        int n = 0;
        for (uint32_t p : i.pixels) n += Dark(p);
        return n;
    };
    int wrapped = ink(img);
    EXPECT_GT(img.height, 2 * (client.bottom - client.top) - 8) << "two lines or more";
    tvtest::Key(narrow, qtplatform::Key_Escape);
    COMPOSITIONFORM wide{CFS_RECT, {2, 2}, {2, 2, 390, 22}};
    SetFocus(top);
    tvtest::Pump();
    ImmSetCompositionWindow(ImmGetContext(top), &wide);
    tvtest::Type(top, u"nagaibunshou");
    qtplatform::Image one;
    ASSERT_TRUE(tvtest::ShownComposition(nullptr, nullptr, &one));
    int whole = ink(one);
    EXPECT_NEAR(wrapped, whole, whole / 10);
    tvtest::Key(top, qtplatform::Key_Escape);
}

// Completing a composition (a click in an editor) delivers it once, whether
// the input method commits it itself during its reset or drops it silently.
TEST_F(ModelIme, CompletingDeliversTheCompositionOnceInBothResetBehaviours) {
    for (bool commits : {true, false}) {
        tvtest::ModelImeCommitsOnReset(commits);
        Log().clear();
        HWND w = Focused();
        tvtest::Type(w, u"nihongo");
        Space(w);
        ASSERT_EQ(tvtest::ModelImePreedit(), u"日本語");
        int resets = tvtest::ModelImeResets();
        EXPECT_TRUE(ImmNotifyIME(ImmGetContext(w), NI_COMPOSITIONSTR, CPS_COMPLETE, 0));
        tvtest::Pump();
        EXPECT_EQ(tvtest::ModelImeResets(), resets + 1);
        EXPECT_EQ(Chars(w), u"日本語") << (commits ? "commits on reset" : "silent on reset");
        EXPECT_EQ(tvtest::ModelImePreedit(), u"");
        // Typing on starts a composition of its own.
        tvtest::Type(w, u"ka");
        EXPECT_EQ(CompString(w), u"か");
        tvtest::Key(w, qtplatform::Key_Return);
        EXPECT_EQ(Chars(w), u"日本語か");
        DestroyWindow(w);
        tvtest::Pump();
    }
}

// The windows of one top-level window share its input context: the focus
// moving between them keeps the input method's composition, which goes on
// in the window that now has the focus.
TEST_F(ModelIme, AFocusMoveInsideOneTopLevelWindowKeepsTheComposition) {
    HWND top = Focused(400, 200);
    HWND a = Make(WS_CHILD | WS_VISIBLE, u"TestWnd", 100, 30, top);
    HWND b = Make(WS_CHILD | WS_VISIBLE, u"TestWnd", 100, 30, top);
    SetFocus(a);
    tvtest::Pump();
    tvtest::Type(a, u"nihongo");
    ASSERT_EQ(tvtest::ModelImePreedit(), u"にほんご");
    SetFocus(b);
    tvtest::Pump();
    EXPECT_EQ(tvtest::ModelImePreedit(), u"にほんご");
    Space(b);
    tvtest::Key(b, qtplatform::Key_Return);
    EXPECT_EQ(Chars(b), u"日本語");
    // A click on the other child is no focus change for the input method either.
    tvtest::Type(b, u"ka");
    tvtest::Click(a, 5, 5);
    tvtest::Pump();
    EXPECT_EQ(tvtest::ModelImePreedit(), u"か");
}

// A single-line edit composes in its own font, whatever font it was given.
TEST_F(ModelIme, AnEditComposesInItsOwnFont) {
    HWND top = Focused(400, 200);
    HWND edit = CreateWindowExW(0, u"Edit", u"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 10, 200, 20, top,
                                nullptr, nullptr, nullptr);
    created_.push_back(edit);
    LOGFONTW lf{};
    lf.lfHeight = -12;
    lf.lfWeight = FW_NORMAL;
    std::u16string face = u"Noto Sans CJK JP";
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    HFONT font = CreateFontIndirectW(&lf);
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    SetFocus(edit);
    tvtest::Pump();
    LOGFONTW got{};
    ASSERT_TRUE(tvtest::ImeCompositionFont(edit, &got));
    EXPECT_EQ(got.lfHeight, -12);
    tvtest::Type(edit, u"ka");
    qtplatform::Image img;
    ASSERT_TRUE(tvtest::ShownComposition(nullptr, nullptr, &img));
    TEXTMETRICW tm{};
    HDC dc = GetDC(edit);
    HGDIOBJ old = SelectObject(dc, font);
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(edit, dc);
    EXPECT_EQ(img.height, tm.tmHeight + 2);
    tvtest::Key(edit, qtplatform::Key_Return);
    EXPECT_EQ(tvtest::TextOf(edit), u"か");
    DestroyWindow(edit);
    DeleteObject(font);
}

} // namespace
