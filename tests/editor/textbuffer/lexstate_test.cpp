#include <gtest/gtest.h>

#include <random>

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
