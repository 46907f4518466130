#include <gtest/gtest.h>

#include <random>

#include "tb_helpers.h"

namespace {

struct Found {
    bool ok;
    RegexPos start, end;
};

Found Search(CEditData& d, const char16_t* pattern, RegexPos from = {0, 0}) {
    Regex* re = regex_compile(pattern, 0);
    EXPECT_NE(re, nullptr) << "pattern";
    Found f{false, from, {0, 0}};
    if (!re) return f;
    f.ok = regex_search(re, &d.m_regexOps, &f.start, &f.end, RegexPos{-1, 0}) == 1;
    regex_destroy(re);
    return f;
}

} // namespace

TEST(RegexSubject, LineBreaksReadAsLineFeeds) {
    CEditData d;
    SetText(d, u"abc\r\ndef");
    Found f = Search(d, u"\n");
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.start.line, 0);
    EXPECT_EQ(f.start.column, 3);
    EXPECT_EQ(d.m_regexOps.distance(&d, &f.start, &f.end), 1);

    RegexPos p{0, 0};
    const char16_t* t = d.m_regexOps.prev_char(&d, &p);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(*t, 0);
    EXPECT_EQ(p.line, 0);
    EXPECT_EQ(p.column, 0);
    p = RegexPos{1, 1};
    EXPECT_EQ(d.m_regexOps.next_line(&d, &p), nullptr);
    EXPECT_EQ(p.column, 1);

    SetText(d, u"abcde\r\nfg");
    RegexPos a{0, 2}, b{1, 1};
    EXPECT_EQ(d.m_regexOps.distance(&d, &a, &b), 5);
    int64_t len = -1;
    SetText(d, u"\r\n\r\nx");
    EXPECT_EQ(*d.m_regexOps.line_text(&d, 0, &len), u'\n');
    EXPECT_EQ(len, 0);
    EXPECT_EQ(d.m_regexOps.line_text(&d, 3, &len), nullptr);
}

TEST(RegexSubject, PairsAndLoneSurrogates) {
    CEditData d;
    const char16_t text[] = {u'a', 0xD840, 0xDC0B, u'b', 0xD840, u'\r', u'\n', 0xDC00, 0};
    SetText(d, text);
    RegexPos p{0, 1};
    d.m_regexOps.next_char(&d, &p);
    EXPECT_EQ(p.column, 3);
    p = RegexPos{0, 4};
    const char16_t* t = d.m_regexOps.next_char(&d, &p); // a lone high surrogate is one unit
    EXPECT_EQ(p.column, 5);
    EXPECT_EQ(*t, u'\n');
    t = d.m_regexOps.next_char(&d, &p);
    EXPECT_EQ(p.line, 1);
    EXPECT_EQ(p.column, 0);
    d.m_regexOps.next_char(&d, &p);
    t = d.m_regexOps.next_char(&d, &p); // the end of the subject stays put
    EXPECT_EQ(p.column, 1);
    EXPECT_EQ(*t, 0);
    p = RegexPos{0, 3};
    d.m_regexOps.prev_char(&d, &p);
    EXPECT_EQ(p.column, 1);
}

TEST(RegexSubject, DollarAndSelectionAnchors) {
    CEditData d;
    SetText(d, u"select 1 from\r\ndual\r\nwhere");
    Found f = Search(d, u"dual$");
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.start.line, 1);
    EXPECT_EQ(f.start.column, 0);

    SetText(d, u"abcdef\r\nghij\r\nklmno");
    d.m_disp.m_selStart = EditPos{2, 0};
    d.m_disp.m_selEnd = EditPos{3, 2};
    struct Case {
        const char16_t* pattern;
        RegexPos from;
        int64_t line, column;
    };
    const Case cases[] = {{u"\\=A.", {0, 0}, 0, 2},
                          {u".\\=z", {0, 0}, 2, 2},
                          {u"\\=^.", {1, 0}, 1, 0},
                          {u".\\=$", {0, 0}, 0, 5}};
    for (const Case& c : cases) {
        f = Search(d, c.pattern, c.from);
        ASSERT_TRUE(f.ok) << (&c - cases);
        EXPECT_EQ(f.start.line, c.line) << (&c - cases);
        EXPECT_EQ(f.start.column, c.column) << (&c - cases);
    }

    d.m_disp.m_selEnd = d.m_disp.m_selStart; // empty: no anchor holds
    for (const char16_t* p : {u"\\=A", u"\\=z", u"\\=^", u"\\=$"}) EXPECT_FALSE(Search(d, p).ok) << 1;
    d.m_disp.ClearSelection();
    EXPECT_FALSE(Search(d, u"\\=A").ok);
}

TEST(RegexSubject, SearchesAgreeWithTheJoinedText) {
    std::mt19937 rng(11);
    const char16_t* patterns[] = {u"a+b",          u"^b",      u"c$",    u"\\n",   u"a.b",
                                  u"[ab]{2}\\n?c", u"(ab|c)+", u"\\w+$", u"b\\n^a"};
    for (int round = 0; round < 150; round++) {
        std::u16string text;
        int n = static_cast<int>(rng() % 40);
        for (int i = 0; i < n; i++) {
            int k = static_cast<int>(rng() % 8);
            text += k < 2 ? u'\n' : static_cast<char16_t>(u'a' + k % 4);
        }
        CEditData d;
        SetText(d, text.c_str());
        std::u16string joined = Joined(d);
        std::vector<int> lineStart{0};
        for (size_t i = 0; i < joined.size(); i++)
            if (joined[i] == u'\n') lineStart.push_back(static_cast<int>(i) + 1);
        for (const char16_t* pattern : patterns) {
            Regex* re = regex_compile(pattern, 0);
            ASSERT_NE(re, nullptr);
            for (size_t from = 0; from <= joined.size(); from++) {
                int ms = -1, ml = -1;
                int r1 = regex_search_str(re, joined.c_str(), static_cast<int>(from), &ms, &ml);
                int line = 0;
                while (line + 1 < static_cast<int>(lineStart.size()) &&
                       lineStart[line + 1] <= static_cast<int>(from))
                    line++;
                RegexPos start{line, static_cast<int64_t>(from) - lineStart[line]}, end{0, 0};
                int r2 = regex_search(re, &d.m_regexOps, &start, &end, RegexPos{-1, 0});
                ASSERT_EQ(r1 == 1, r2 == 1) << round << " " << from;
                if (r1 == 1) {
                    ASSERT_EQ(lineStart[start.line] + start.column, ms) << round << " " << from;
                    ASSERT_EQ(d.m_regexOps.distance(&d, &start, &end), ml);
                }
            }
            regex_destroy(re);
        }
    }
}
