#include <gtest/gtest.h>

#include <random>

#include "editor/sqltoken.h"
#include "tb_helpers.h"

namespace {

// "/*" "*/" block comments, "--" line comments, "'" literals with doubled
// quotes, '"' literals.
struct SqlLikeToken : CStrToken {
    SqlLikeToken() {
        for (char16_t c : std::u16string(u"()<>,;=+-*/'\"")) m_delimiter[c] = 1;
        for (char16_t c : std::u16string(u"/*-'\"")) m_lexState[c] = 1;
        m_quoteStart[u'\''] = 1;
        m_quoteStart[u'"'] = 1;
        m_doubledQuote = u'\'';
        setBlockComment(u"/*", u"*/");
        addLineComment(u"--");
    }
};

SqlLikeToken& Tok() {
    static SqlLikeToken t;
    return t;
}

std::vector<uint32_t> Flags(const CEditData& d) {
    std::vector<uint32_t> f;
    for (int i = 0; i < d.GetLineCount(); i++)
        f.push_back(d.GetLine(i)->lexFlags & (LEXF_IN_COMMENT | LEXF_IN_TAG));
    return f;
}

} // namespace

TEST(LexStates, BlockCommentCascade) {
    CEditData d;
    d.m_token = &Tok();
    SetText(d, u"a\r\nb\r\nc */ d\r\ne");
    int changed = 0;
    d.UpdateLexStates(0, -1, 0, &changed);
    EXPECT_EQ(changed, 0);
    d.SetCaret(0, 1);
    d.InsertText(u"/*");
    d.UpdateLexStates(0, 0, 0, &changed);
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(Flags(d), (std::vector<uint32_t>{0, 1, 1, 0}));
    d.UpdateLexStates(0, 0, EDIT_OPT_NO_LEXICAL, &changed);
    EXPECT_EQ(changed, 0);
    d.DeleteRange(EditPos{1, 0}, EditPos{3, 0}, 0);
    d.UpdateLexStates(0, 0, EDIT_OPT_NO_LEXICAL, &changed);
    EXPECT_EQ(Flags(d), (std::vector<uint32_t>{0, 1, 1, 0}));
    d.UpdateLexStates(0, 0, 0, &changed);
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(Flags(d), (std::vector<uint32_t>{0, 0, 0, 0}));
}

TEST(LexStates, StatesWithinALine) {
    CEditData d;
    d.m_token = &Tok();
    std::u16string text = u"x 'a--''b' -- c\r\ny /* z */ w\r\n";
    for (int i = 0; i < 40; i++) text += u"ab '--' /* c */ "; // past the cache's inline states
    SetText(d, text.c_str());
    // "--" inside the literal; the end marker is inside the comment.
    const int states[][3] = {{0, 0, LEX_CODE},          {0, 4, LEX_QUOTED}, {0, 8, LEX_QUOTED},
                             {0, 14, LEX_LINE_COMMENT}, {1, 0, LEX_CODE},   {1, 5, LEX_BLOCK_COMMENT},
                             {1, 8, LEX_BLOCK_COMMENT}, {1, 9, LEX_CODE},   {1, 12, LEX_CODE}};
    for (const auto& s : states) EXPECT_EQ(d.LexStateAt(s[0], s[1], nullptr), s[2]) << s[0] << ":" << s[1];
    for (int line = 0; line < 3; line++) {
        LexLineCache cache;
        for (int col = 0; col <= d.GetLineLength(line) + 1; col++)
            EXPECT_EQ(d.LexStateAt(line, col, &cache), d.LexStateAt(line, col, nullptr))
                << line << ":" << col;
        LexLineCache back;
        for (int col = d.GetLineLength(line) + 1; col >= 0; col--)
            EXPECT_EQ(d.LexStateAt(line, col, &back), d.LexStateAt(line, col, nullptr)) << line << ":" << col;
    }
}

TEST(LexStates, BracketsSkipCommentsAndLiterals) {
    CEditData d;
    d.m_token = &Tok();
    SetText(d, u"f(a, ')', /* ( */ g(b)\r\n-- )\r\n)");
    d.SetCaret(0, 1); // at the "("
    EditPos out{-1, -1};
    ASSERT_EQ(d.FindMatchingBracket(u')', u'(', 1, nullptr, 1, &out), 1);
    EXPECT_EQ(out, (EditPos{0, 2}));
    d.SetCaret(2, 1); // after the last ")": look back for its "("
    ASSERT_EQ(d.FindMatchingBracket(u'(', u')', 0, nullptr, -1, &out), 1);
    EXPECT_EQ(out, (EditPos{1, 0}));
    d.SetCaret(0, 19);
    EditPos limit{0, 0};
    EXPECT_EQ(d.FindMatchingBracket(u')', u'(', 1, &limit, 1, &out), 0);
}

TEST(LexStates, TagRuleAndDepths) {
    CEditData d;
    d.m_token = &Tok();
    SetText(d, u"<a href='x'\r\n>(('\r\n)\r\ny");
    const uint64_t opts = EDIT_OPT_TAG_RULE | EDIT_OPT_BRACKET_DEPTH;
    int changed = 0;
    d.UpdateLexStates(0, -1, opts, &changed);
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(Flags(d), (std::vector<uint32_t>{0, LEXF_IN_TAG, 0, 0}));
    EXPECT_EQ(d.GetLine(2)->depth, 2); // the quote outside a tag is an ordinary character
    EXPECT_EQ(d.GetLine(3)->depth, 1);
}

TEST(LexStates, IncrementalUpdateMatchesAFullRecomputation) {
    std::mt19937 rng(7);
    const char16_t* pieces[] = {u"/*", u"*/", u"--", u"'",    u"''", u"\"", u"(",
                                u")",  u"a",  u" ",  u"\r\n", u"x*", u"/"};
    const uint64_t opts = EDIT_OPT_BRACKET_DEPTH;
    for (int round = 0; round < 40; round++) {
        CEditData d;
        d.m_token = &Tok();
        std::u16string text;
        for (int i = 0; i < 200; i++) text += pieces[rng() % 13];
        SetText(d, text.c_str());
        d.UpdateLexStates(0, -1, opts, nullptr);
        for (int edit = 0; edit < 20; edit++) {
            int line = static_cast<int>(rng() % d.GetLineCount());
            d.SetCaret(line, static_cast<int>(rng() % (d.GetLineLength(line) + 1)));
            if (rng() % 3 == 0) {
                d.DeleteNextChar();
            } else {
                d.InsertText(pieces[rng() % 13]);
            }
            int first = d.m_caretLine < line ? d.m_caretLine : line;
            d.UpdateLexStates(first, d.m_caretLine, opts, nullptr);
            std::vector<uint32_t> flags = Flags(d);
            std::vector<int> depths;
            for (int i = 0; i < d.GetLineCount(); i++) depths.push_back(d.GetLine(i)->depth);
            for (int i = 0; i < d.GetLineCount(); i++) {
                d.GetLine(i)->lexFlags = 0;
                d.GetLine(i)->depth = 0;
            }
            d.UpdateLexStates(0, -1, opts, nullptr);
            ASSERT_EQ(Flags(d), flags) << round << "/" << edit;
            for (int i = 0; i < d.GetLineCount(); i++) ASSERT_EQ(d.GetLine(i)->depth, depths[i]);
        }
    }
}

namespace {

// The ASCII text of a case, for messages.
std::string Ascii(const char16_t* s) {
    std::string out;
    for (; *s; s++) out += static_cast<char>(*s < 128 ? *s : '?');
    return out;
}

CSQLStrToken& Sql() {
    static CSQLStrToken t;
    return t;
}

std::vector<uint32_t> Carried(const CEditData& d) {
    std::vector<uint32_t> f;
    for (int i = 0; i < d.GetLineCount(); i++) f.push_back(d.GetLine(i)->lexFlags & LEXF_CARRIED);
    return f;
}

} // namespace

// A q-quoted literal is one literal whatever it holds: the apostrophe inside
// opens nothing, and a comment after it starts where it stands.
TEST(QQuotes, ApostropheInsideDoesNotHideALaterComment) {
    CEditData d;
    d.m_token = &Sql();
    SetText(d, u"select q'[it's]' /* note\r\n(still) */ x\r\ny");
    d.UpdateLexStates(0, -1, 0, nullptr);
    EXPECT_EQ(Carried(d), (std::vector<uint32_t>{0, LEXF_IN_COMMENT, 0}));
    EXPECT_EQ(d.LexStateAt(0, 7, nullptr), LEX_QUOTED);
    EXPECT_EQ(d.LexStateAt(0, 11, nullptr), LEX_QUOTED);
    EXPECT_EQ(d.LexStateAt(0, 15, nullptr), LEX_QUOTED);
    EXPECT_EQ(d.LexStateAt(0, 16, nullptr), LEX_CODE);
    EXPECT_EQ(d.LexStateAt(0, 17, nullptr), LEX_BLOCK_COMMENT);
    EXPECT_EQ(d.LexStateAt(1, 1, nullptr), LEX_BLOCK_COMMENT);
    EXPECT_EQ(d.LexStateAt(1, 11, nullptr), LEX_CODE);
    // The brackets in the comment do not count.
    SetText(d, u"f(q'[it's]' /*\r\n) */\r\n)");
    d.UpdateLexStates(0, -1, 0, nullptr);
    d.SetCaret(0, 1);
    EditPos out{-1, -1};
    ASSERT_EQ(d.FindMatchingBracket(u')', u'(', 1, nullptr, 1, &out), 1);
    EXPECT_EQ(out, (EditPos{0, 2}));
}

TEST(QQuotes, EveryDelimiterPairAndPrefix) {
    CEditData d;
    d.m_token = &Sql();
    // The text between the two bars is the literal each time.
    const char16_t* cases[] = {u"x |q'[a'b]'| y",  u"x |q'{a'}'| y", u"x |q'(a)'| y",  u"x |q'<a>'| y",
                               u"x |Q'!it's!'| y", u"x |q'#a'#'| y", u"x |nq'[a]'| y", u"x |Nq'[a]'| y",
                               u"x |NQ'[a' ]'| y", u"(|q'(())'|) y"};
    for (const char16_t* c : cases) {
        std::u16string text(c);
        size_t from = text.find(u'|');
        text.erase(from, 1);
        size_t to = text.find(u'|');
        text.erase(to, 1);
        SetText(d, (text + u"/*\r\nz").c_str());
        d.UpdateLexStates(0, -1, 0, nullptr);
        for (size_t col = 0; col < text.size(); col++) {
            uint8_t want = col >= from && col < to ? LEX_QUOTED : LEX_CODE;
            EXPECT_EQ(d.LexStateAt(0, static_cast<int>(col), nullptr), want) << Ascii(c) << " " << col;
        }
        EXPECT_EQ(Carried(d), (std::vector<uint32_t>{0, LEXF_IN_COMMENT})) << Ascii(c);
    }
    // No q-quoting: a blank after the apostrophe, or the q ending a word.
    // The apostrophe then opens a plain literal, which ends with the line.
    for (const char16_t* c : {u"q' a /*", u"seq'[x /*", u"xnq'[x /*"}) {
        SetText(d, (std::u16string(c) + u"\r\nz").c_str());
        d.UpdateLexStates(0, -1, 0, nullptr);
        EXPECT_EQ(Carried(d), (std::vector<uint32_t>{0, 0})) << Ascii(c);
        EXPECT_EQ(d.LexStateAt(0, d.GetLineLength(0) - 1, nullptr), LEX_QUOTED) << Ascii(c);
    }
}

// A q-quoted literal may run over several lines: the lines after its start
// begin inside it until the line that closes it.
TEST(QQuotes, SpanLines) {
    CEditData d;
    d.m_token = &Sql();
    SetText(d, u"v := q'{one\r\nit's /* not\r\n} x }' -- c\r\n/* real\r\n*/ w");
    int changed = 0;
    d.UpdateLexStates(0, -1, 0, &changed);
    EXPECT_EQ(changed, 1);
    const uint32_t inQuote = lexf_quote(u'}');
    EXPECT_EQ(Carried(d), (std::vector<uint32_t>{0, inQuote, inQuote, 0, LEXF_IN_COMMENT}));
    EXPECT_EQ(d.LexStateAt(0, 8, nullptr), LEX_QUOTED);
    EXPECT_EQ(d.LexStateAt(1, 0, nullptr), LEX_QUOTED);
    EXPECT_EQ(d.LexStateAt(1, 7, nullptr), LEX_QUOTED);
    EXPECT_EQ(d.LexStateAt(2, 4, nullptr), LEX_QUOTED);
    EXPECT_EQ(d.LexStateAt(2, 5, nullptr), LEX_QUOTED);
    EXPECT_EQ(d.LexStateAt(2, 6, nullptr), LEX_CODE);
    EXPECT_EQ(d.LexStateAt(2, 7, nullptr), LEX_LINE_COMMENT);
    LexLineCache cache;
    for (int col = 0; col <= d.GetLineLength(2); col++)
        EXPECT_EQ(d.LexStateAt(2, col, &cache), d.LexStateAt(2, col, nullptr)) << col;
    // Closing it early ends it there (the next apostrophe then opens a plain
    // literal that hides the comment); removing the close carries it on.
    d.SetCaret(1, 0);
    d.InsertText(u"}'");
    d.UpdateLexStates(1, 1, 0, &changed);
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(Carried(d), (std::vector<uint32_t>{0, inQuote, 0, 0, LEXF_IN_COMMENT}));
    d.DeleteRange(EditPos{0, 1}, EditPos{2, 1}, 0);
    d.UpdateLexStates(1, 1, 0, &changed);
    EXPECT_EQ(Carried(d), (std::vector<uint32_t>{0, inQuote, inQuote, 0, LEXF_IN_COMMENT}));
    // With lexical analysis off nothing is stored.
    SetText(d, u"q'[a\r\nb");
    d.UpdateLexStates(0, -1, EDIT_OPT_NO_LEXICAL, nullptr);
    EXPECT_EQ(Carried(d), (std::vector<uint32_t>{0, 0}));
}

TEST(QQuotes, IncrementalUpdateMatchesAFullRecomputation) {
    std::mt19937 rng(11);
    const char16_t* pieces[] = {u"q'[", u"]'", u"q'x", u"x'", u"Q'{", u"}'",   u"/*", u"*/",
                                u"--",  u"'",  u"n",   u"a",  u" ",   u"\r\n", u"("};
    const int n = sizeof pieces / sizeof pieces[0];
    for (int round = 0; round < 40; round++) {
        CEditData d;
        d.m_token = &Sql();
        std::u16string text;
        for (int i = 0; i < 200; i++) text += pieces[rng() % n];
        SetText(d, text.c_str());
        d.UpdateLexStates(0, -1, EDIT_OPT_BRACKET_DEPTH, nullptr);
        for (int edit = 0; edit < 20; edit++) {
            int line = static_cast<int>(rng() % d.GetLineCount());
            d.SetCaret(line, static_cast<int>(rng() % (d.GetLineLength(line) + 1)));
            if (rng() % 3 == 0)
                d.DeleteNextChar();
            else
                d.InsertText(pieces[rng() % n]);
            int first = d.m_caretLine < line ? d.m_caretLine : line;
            d.UpdateLexStates(first, d.m_caretLine, EDIT_OPT_BRACKET_DEPTH, nullptr);
            std::vector<uint32_t> flags = Carried(d);
            for (int i = 0; i < d.GetLineCount(); i++) {
                d.GetLine(i)->lexFlags = 0;
                d.GetLine(i)->depth = 0;
            }
            d.UpdateLexStates(0, -1, EDIT_OPT_BRACKET_DEPTH, nullptr);
            ASSERT_EQ(Carried(d), flags) << round << "/" << edit;
        }
    }
}
