#include <array>
#include <cstdlib>
#include <random>
#include <string>

#include "tb2_fixture.h"

namespace {

class Replace : public MeasuredBuffer {
protected:
    void SetUp() override {
        MeasuredBuffer::SetUp();
        d_.SetUnlimitedUndo();
    }
    std::u16string All() { return std::u16string(static_cast<const char16_t*>(d_.GetAllText())); }
    void Box(int firstLine, int lastLine, int x0, int x1) {
        for (int i = 0; i < d_.GetLineCount(); i++) Width(d_.GetLineText(i)); // widths into the cache
        Width(u" ");
        SetBox(firstLine, lastLine, x0, x1);
    }
    int ReplaceAll(const char16_t* pattern, const char16_t* with, int tmpl, const EditPos* s = nullptr,
                   const EditPos* e = nullptr, int box = 0) {
        Pattern p(pattern);
        return d_.ReplaceAll(with, tmpl, s, e, p.regex, box);
    }
};

} // namespace

TEST_F(Replace, RangeAndWholeTextAreOneStepEach) {
    SetText(d_, u"hello world\r\nsecond");
    d_.SetCaret(1, 2);
    EXPECT_EQ(d_.ReplaceRange(EditPos{6, 0}, EditPos{3, 1}, u"there\r\nfir"), 0);
    EXPECT_EQ(Lines(d_), L({u"hello there", u"firond"}));
    EXPECT_EQ(d_.ReplaceWholeText(u"new\r\ntext"), 0);
    EXPECT_EQ(Lines(d_), L({u"new", u"text"}));
    EXPECT_EQ(d_.GetCaret(), (EditPos{0, 0}));
    EXPECT_EQ(d_.Undo(), 0);
    EXPECT_EQ(Lines(d_), L({u"hello there", u"firond"}));
    EXPECT_EQ(d_.Undo(), 0);
    EXPECT_EQ(Lines(d_), L({u"hello world", u"second"}));
    EXPECT_EQ(d_.GetCaret(), (EditPos{2, 1}));
    EXPECT_EQ(d_.Undo(), 1);
    EXPECT_EQ(d_.Redo(), 0);
    EXPECT_EQ(d_.Redo(), 0);
    EXPECT_EQ(Lines(d_), L({u"new", u"text"}));
}

TEST_F(Replace, EmptyMatchesEnd) {
    for (int tmpl : {0, 1}) {
        SetText(d_, u"abc");
        EXPECT_EQ(ReplaceAll(u"x*", u"-", tmpl), 0);
        EXPECT_EQ(All(), u"-a-b-c-") << tmpl;
        SetText(d_, u"xa");
        EXPECT_EQ(ReplaceAll(u"x*", u"-", tmpl), 0);
        EXPECT_EQ(All(), u"--a-") << tmpl;
        SetText(d_, u"ab\r\n\r\nc");
        EXPECT_EQ(ReplaceAll(u"x*", u"-", tmpl), 0);
        EXPECT_EQ(All(), u"-a-b-\r\n-\r\n-c-") << tmpl;
    }
}

TEST_F(Replace, TemplatesAndUndo) {
    SetText(d_, u"ab ab\r\nab");
    d_.SetCaret(0, 2);
    EXPECT_EQ(ReplaceAll(u"(a)(b)", u"$2$1", 1), 0);
    EXPECT_EQ(All(), u"ba ba\r\nba");
    EXPECT_EQ(d_.GetCaret(), (EditPos{2, 0}));
    // A replacement holding the pattern is not searched again.
    EXPECT_EQ(ReplaceAll(u"a", u"aa$&", 1), 0);
    EXPECT_EQ(All(), u"baaa baaa\r\nbaaa");
    EXPECT_EQ(ReplaceAll(u"a", u"aa", 0), 0);
    EXPECT_EQ(All(), u"baaaaaa baaaaaa\r\nbaaaaaa");
    EXPECT_EQ(d_.Undo(), 0);
    EXPECT_EQ(All(), u"baaa baaa\r\nbaaa");
    EXPECT_EQ(d_.Undo(), 0);
    EXPECT_EQ(d_.Undo(), 0);
    EXPECT_EQ(All(), u"ab ab\r\nab");
    EXPECT_EQ(d_.Redo(), 0);
    EXPECT_EQ(All(), u"ba ba\r\nba");
    // Nothing found: no step, the caret stays.
    d_.SetCaret(1, 1);
    EXPECT_EQ(ReplaceAll(u"zz", u"y", 0), 0);
    EXPECT_EQ(d_.GetCaret(), (EditPos{1, 1}));
    EXPECT_EQ(d_.Undo(), 0);
    EXPECT_EQ(All(), u"ab ab\r\nab");
}

TEST_F(Replace, RangeEndStaysOnItsText) {
    for (int tmpl : {0, 1}) {
        SetText(d_, u"xa\r\nya\r\nzz END a");
        d_.SetCaret(2, 1);
        EditPos s{0, 0}, e{3, 2};
        EXPECT_EQ(ReplaceAll(u"a", u"a\r\n", tmpl, &s, &e), 0);
        EXPECT_EQ(Lines(d_), L({u"xa", u"", u"ya", u"", u"zz END a"}));
        EXPECT_EQ(d_.GetCaret(), (EditPos{3, 4}));

        SetText(d_, u"a\r\nb a c");
        d_.SetCaret(1, 1);
        e = EditPos{4, 1};
        EXPECT_EQ(ReplaceAll(u"a", u"a\r\n", tmpl, &s, &e), 0);
        EXPECT_EQ(Lines(d_), L({u"a", u"", u"b a", u" c"}));
        EXPECT_EQ(d_.GetCaret(), (EditPos{1, 3}));
        // The range start at the caret leaves the caret there.
        SetText(d_, u"aaa");
        d_.SetCaret(0, 1);
        s = EditPos{1, 0};
        e = EditPos{2, 0};
        EXPECT_EQ(ReplaceAll(u"a", u"bb", tmpl, &s, &e), 0);
        EXPECT_EQ(All(), u"abba");
        EXPECT_EQ(d_.GetCaret(), (EditPos{1, 0}));
        s = EditPos{0, 0};
    }
}

TEST_F(Replace, RangeEndFollowsAMatchEndingOnItsLine) {
    // A match from an earlier line that ends on the range's last line joins
    // the lines; the range end keeps its distance from that line's end.
    for (int tmpl : {0, 1}) {
        SetText(d_, u"ab\ncdef");
        d_.SetLineEndType(LINEEND_LF);
        d_.SetCaret(1, 1);
        EditPos s{0, 0}, e{3, 1};
        EXPECT_EQ(ReplaceAll(u"b\nc|e", u"X", tmpl, &s, &e), 0);
        EXPECT_EQ(All(), u"aXdXf") << tmpl;
        EXPECT_EQ(d_.GetCaret(), (EditPos{4, 0})) << tmpl;

        // The same with the joined lines growing.
        SetText(d_, u"a\nb\nqq");
        d_.SetLineEndType(LINEEND_LF);
        s = EditPos{0, 0};
        e = EditPos{2, 2};
        EXPECT_EQ(ReplaceAll(u"a\nb\n|q", u"<>", tmpl, &s, &e), 0);
        EXPECT_EQ(All(), u"<><><>") << tmpl;
    }
}

TEST_F(Replace, BoxModeSkipsMatchesOutsideTheBox) {
    SetText(d_, u"aaaa\r\naaaa\r\naaaa");
    Box(0, 1, 8, 24); // columns 1 to 3
    EditPos s{1, 0}, e{3, 1};
    EXPECT_EQ(ReplaceAll(u"a", u"b", 0, &s, &e, 1), 0);
    EXPECT_EQ(Lines(d_), L({u"abba", u"abba", u"aaaa"}));
    EXPECT_EQ(d_.Undo(), 0);
    EXPECT_EQ(Lines(d_), L({u"aaaa", u"aaaa", u"aaaa"}));
    // Spanning lines and reaching right of the box.
    EXPECT_EQ(ReplaceAll(u"a\\na|aaa", u"X", 1, &s, &e, 1), 0);
    EXPECT_EQ(Lines(d_), L({u"aaaa", u"aaaa", u"aaaa"}));
    EXPECT_EQ(ReplaceAll(u"aa", u"X", 1, &s, &e, 1), 0);
    EXPECT_EQ(Lines(d_), L({u"aXa", u"aXa", u"aaaa"}));
    // The selection anchors sit at each line's box columns.
    SetText(d_, u"aaaa\r\n\tbcd");
    Box(0, 1, 8, 40);
    int len;
    Pattern first(u"\\=^.");
    EXPECT_EQ(d_.SearchLine(0, 0, 1, &len, first.regex), 1);
    EXPECT_EQ(d_.SearchLine(1, 0, 1, &len, first.regex), 0); // the TAB's middle is right of x
    Pattern last(u".\\=$");
    EXPECT_EQ(d_.SearchLine(0, 0, 1, &len, last.regex), 3);
    EXPECT_EQ(d_.SearchLine(1, 0, 1, &len, last.regex), 1);
}

TEST_F(Replace, AgreesWithStringReplaceOnRandomText) {
    std::mt19937 rng(7);
    const char16_t* pieces[] = {u"a", u"b", u"ab", u" ", u"\t", u"あ", u"\U00020BB7", u"\n", u"x", u"AB_ID"};
    struct Case {
        const char16_t* pattern;
        const char16_t* with;
        int tmpl;
    };
    const Case cases[] = {{u"a", u"bb", 0},
                          {u"ab", u"", 0},
                          {u"b*", u"-", 0},
                          {u"b*", u"-", 1},
                          {u"(a)(b)?", u"[$2$1]", 1},
                          {u"\\b[A-Z]+_ID\\b", u"[$0]", 1},
                          {u"x|\U00020BB7", u"$0$0", 1},
                          {u"[^\\n]", u".", 0}};
    for (int round = 0; round < 40; round++) {
        std::u16string text;
        int n = rng() % 40;
        for (int i = 0; i < n; i++) text += pieces[rng() % 10];
        for (const Case& c : cases) {
            SetText(d_, text.c_str());
            d_.SetLineEndType(LINEEND_LF);
            Pattern p(c.pattern);
            EXPECT_EQ(d_.ReplaceAll(c.with, c.tmpl, nullptr, nullptr, p.regex, 0), 0);
            char16_t* want =
                regex_replace_str(p.regex, text.c_str(), c.with, 1, nullptr, 0, nullptr, nullptr);
            ASSERT_NE(want, nullptr);
            EXPECT_EQ(All(), std::u16string(want)) << "round " << round << " pattern " << (&c - cases);
            if (want != text.c_str()) std::free(want);
            if (d_.Undo() == 0) {
                EXPECT_EQ(All(), text);
            }
        }
    }
}

TEST_F(Replace, BoxText) {
    SetText(d_, u"a\tb\r\nあいう\r\nabcdefg");
    Box(0, 2, 20, 52);
    int size = d_.GetBoxTextSize();
    std::u16string buf(static_cast<size_t>(size) / 2 + 8, u'#');
    d_.CopyBoxText(buf.data());
    EXPECT_EQ(std::u16string(buf.c_str()), u"b\nいう\ndefg\n");
    EXPECT_LE((std::u16string(buf.c_str()).size() + 1) * 2, static_cast<size_t>(size));
    for (size_t i = static_cast<size_t>(size) / 2; i < buf.size(); i++) EXPECT_EQ(buf[i], u'#');
    d_.SetLineEndType(LINEEND_LF);
    d_.CopyBoxText(buf.data());
    EXPECT_EQ(std::u16string(buf.c_str()), u"b\nいう\ndefg\n");
}

TEST_F(Replace, PasteAndDeleteBoxes) {
    struct Case {
        const char16_t* text;
        int first, last, x0, x1;
        const char16_t* paste; // none: DeleteBox
        std::vector<std::u16string> after;
    };
    // A box of no width puts each piece at x on its line.
    // clang-format off
    const Case cases[] = {
        {u"ab\r\nabcdefgh", 0, 1, 40, 56, u"X\r\nY", {u"ab   X", u"abcdeYh"}},
        {u"abc\r\nxyz", 1, 1, 8, 16, u"1\n2\n3", {u"abc", u"x1z", u" 2", u" 3"}},
        {u"abc\r\nabc\r\nab", 0, 1, 8, 8, u"1\n2\n3\n", {u"a1bc", u"a2bc", u"a3b"}},
        {u"abcd\r\nあいう\r\nab", 0, 2, 8, 24, nullptr, {u"ad", u"あう", u"a"}}};
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        SetText(d_, c.text);
        Box(c.first, c.last, c.x0, c.x1);
        EXPECT_EQ(c.paste ? d_.PasteBox(c.paste) : d_.DeleteBox(), 0);
        EXPECT_EQ(Lines(d_), c.after);
        EXPECT_EQ(d_.Undo(), 0);
        EXPECT_EQ(All(), c.text);
    }
}

namespace {

// "/*" "*/" and "//" comments, quotes, braces.
struct CLikeToken : CStrToken {
    CLikeToken() {
        for (char16_t c : std::u16string(u"(){}<>,;:=+-*/'\"?#")) m_delimiter[c] = 1;
        for (char16_t c : std::u16string(u"/*'\"")) m_lexState[c] = 1;
        m_quoteStart[u'\''] = 1;
        m_quoteStart[u'"'] = 1;
        setBlockComment(u"/*", u"*/");
        addLineComment(u"//");
    }
};

CLikeToken& CTok() {
    static CLikeToken t;
    return t;
}

} // namespace

class Indent : public Replace {
protected:
    void Type(const std::u16string& s) {
        for (char16_t c : s) {
            d_.TypeChar(c);
            int changed;
            d_.UpdateLexStates(0, -1, 0, &changed);
        }
    }
    void Start(const char16_t* text, int mode) {
        d_.m_token = &CTok();
        d_.m_autoIndent = mode;
        SetText(d_, text);
        int changed;
        d_.UpdateLexStates(0, -1, 0, &changed);
        EditPos end = d_.GetEndPosition();
        d_.SetCaret(end.line, end.col);
    }
};

TEST_F(Indent, CopiesThePreviousIndent) {
    Start(u"\t\tfoo();", 1);
    Type(u"\r");
    EXPECT_EQ(Lines(d_), L({u"\t\tfoo();", u"\t\t"}));
    EXPECT_EQ(d_.GetCaret(), (EditPos{2, 1}));
    EXPECT_EQ(d_.Undo(), 0);
    EXPECT_EQ(Lines(d_), L({u"\t\tfoo();"}));
    // With expand-tabs on, Enter mid-line leaves the caret after the copied TAB.
    for (int expand : {0, 1}) {
        Start(u"\tabcd", 1);
        d_.m_expandTabs = expand;
        d_.SetCaret(0, 3);
        Type(u"\r");
        EXPECT_EQ(Lines(d_), L({u"\tab", u"\tcd"}));
        EXPECT_EQ(d_.GetCaret(), (EditPos{1, 1}));
    }
}

TEST_F(Indent, SmartIndent) {
    Start(u"if (a) {", 2);
    Type(u"\r");
    EXPECT_EQ(Lines(d_), L({u"if (a) {", u"\t"}));
    Type(u"x = 1 +\r");
    EXPECT_EQ(Lines(d_).back(), u"\t\t");
    Type(u"2 +\r");
    EXPECT_EQ(Lines(d_).back(), u"\t\t");
    Type(u"3;\r");
    EXPECT_EQ(Lines(d_).back(), u"\t");
    Type(u"}");
    EXPECT_EQ(Lines(d_).back(), u"}");
    EXPECT_EQ(d_.Undo(), 0);
    EXPECT_EQ(Lines(d_).back(), u"\t");
    EXPECT_EQ(d_.Redo(), 0);
    // "}" after other text changes nothing; ":" in a line holding "?" neither;
    // inside a comment or string nothing happens; a label goes to the
    // enclosing block's statement indent; Enter after a line ending in "{"
    // inside a block.
    // clang-format off
    const std::array<const char16_t*, 3> cases[] = {
        {u"\tint a;\r\n\tx", u"}", u"\tx}"}, {u"{\r\n\t\ta ? b", u":", u"\t\ta ? b:"},
        {u"{\r\n\t\t// case x", u":", u"\t\t// case x:"}, {u"{\r\n\t\t\"{", u"{", u"\t\t\"{{"},
        {u"void f()\r\n{\r\n\t\tcase 1", u":", u"case 1:"}, {u"{\r\n\tif (a)\r\n\t{", u"\r", u"\t\t"}};
    // clang-format on
    for (const auto& c : cases) {
        Start(c[0], 2);
        Type(c[1]);
        EXPECT_EQ(Lines(d_).back(), c[2]) << (&c - cases);
    }
}
