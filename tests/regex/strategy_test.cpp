// The searches that skip positions (a leading dot-star moving on to the next
// line, a literal found after word-boundary tests, a class scanned a vector
// at a time) must find what trying the matcher at every position finds.
#include "regex_test_util.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

// The first match from `from`, trying every position in turn (a surrogate
// pair and a CR LF as one step), as the search of strategy kind 1 does.
Found every_position(Regex* re, const std::u16string& text, int from) {
    RegexStrSubject subject;
    RegexPositionOps ops;
    regex_init_str_ops(&ops, &subject, text.c_str());
    int col = from;
    for (;;) {
        RegexPos start{0, col}, end{0, 0};
        int r = regex_match_at(re, &ops, &start, &end, nullptr, nullptr);
        if (r == 1)
            return Found{1, static_cast<int>(start.column), static_cast<int>(end.column - start.column)};
        if (r != 0) return Found{r, -1, -1};
        if (col >= static_cast<int>(text.size())) return Found{0, -1, -1};
        if (text[col] == u'\r' && text[col + 1] == u'\n')
            col += 2;
        else if (utf16_is_high_surrogate(text[col]) && utf16_is_low_surrogate(text[col + 1]))
            col += 2;
        else
            col += 1;
    }
}

void expect_agree(const char16_t* pattern, int flags, std::mt19937& rng) {
    static const char16_t* pieces[] = {u"a", u"b",  u"x",  u",", u" ",  u"1",  u"42", u"\n", u"\r", u"テ",
                                       u"😀", u"AB", u"ab", u"_", u"ー", u"Ａ", u"ｂ", u"　", u"１", u"’"};
    RegexHolder h(pattern, flags);
    ASSERT_TRUE(h) << narrow(pattern);
    for (int round = 0; round < 60; ++round) {
        std::u16string text;
        int n = static_cast<int>(rng() % 24);
        for (int k = 0; k < n; ++k) text += pieces[rng() % 20];
        for (int from = 0; from <= static_cast<int>(text.size()); ++from) {
            if (from > 0 && ((text[from] == u'\n' && text[from - 1] == u'\r') ||
                             (utf16_is_low_surrogate(text[from]) && utf16_is_high_surrogate(text[from - 1]))))
                continue;
            Found want = every_position(h.get(), text, from);
            std::vector<RegexGroup> groups(h.get()->groups, h.get()->groups + h.get()->group_count);
            Found got = find_in(h.get(), text.c_str(), from);
            ASSERT_EQ(got, want) << narrow(pattern) << " in \"" << narrow(text) << "\" from " << from;
            for (int g = 0; got.result == 1 && g < h.get()->group_count; ++g) {
                ASSERT_EQ(h.get()->groups[g].start.column, groups[g].start.column)
                    << narrow(pattern) << " group " << g + 1;
                ASSERT_EQ(h.get()->groups[g].length, groups[g].length)
                    << narrow(pattern) << " group " << g + 1;
            }
        }
    }
}

} // namespace

TEST(RegexSearchSkips, LeadingDotStar) {
    std::mt19937 rng(91);
    for (const char16_t* p :
         {u".*,", u".*?,", u"(.*?),(.*?)", u".+a", u".+?b$", u"(?:.*)x", u"(.*)b\\b", u".*?(?<=ab)x",
          u".*\\n", u".*$", u".*", u"((.*?)a)+", u".*(?=1)", u"(?<n>.*)(?&n)a"})
        expect_agree(p, 0, rng);
    expect_agree(u".*?ab", REGEX_IGNORE_CASE, rng);
    // where a later start can match after an earlier one failed, every
    // start is still tried
    for (const char16_t* p : {u"(.*),\\1", u"(?<n>.*)a\\k<n>", u".*\\Ka", u"(?s).*?b", u"(?<=x).*b"})
        expect_agree(p, 0, rng);
    EXPECT_EQ(find(u"(.*)-\\1", u"ab-b"), (Found{1, 1, 3}));
    EXPECT_EQ(find(u".*?\\Kb", u"ab"), (Found{1, 1, 1}));
    EXPECT_EQ(find(u"(?<=x).*b", u"axab"), (Found{1, 2, 2}));
    EXPECT_EQ(find(u".*b", u"a\nab"), (Found{1, 2, 2}));
}

TEST(RegexSearchSkips, LiteralAfterWordBoundaries) {
    std::mt19937 rng(92);
    for (const char16_t* p :
         {u"\\bab\\b", u"\\bab", u"\\Bab", u"\\b\\bAB\\b", u"\\b(ab)\\b", u"\\bテー", u"\\b42\\b", u"\\Bb,"})
        expect_agree(p, 0, rng);
    expect_agree(u"\\bab\\b", REGEX_IGNORE_CASE, rng);
    expect_agree(u"\\bＡb", REGEX_IGNORE_WIDTH, rng);
    EXPECT_EQ(find(u"\\bSELECT\\b", u"XSELECT SELECT"), (Found{1, 8, 6}));
    EXPECT_EQ(find(u"\\bselect\\b", u"SELECTED Select", REGEX_IGNORE_CASE), (Found{1, 9, 6}));
    EXPECT_EQ(RegexHolder(u"\\bSELECT\\b").get()->strategy, REGEX_STRATEGY_WORD);
}

TEST(RegexSearchSkips, ClassScans) {
    std::mt19937 rng(93);
    for (const char16_t* p : {u"[0-9]+", u"\\d+,", u"[a-b]x", u"[テa]", u"[あ-ん]+", u"\\w+", u"[_,1]",
                              u"[ab1_, テー]+", u"[😀a]", u"[^a]", u"テ|b", u"[a-z]{2}"})
        expect_agree(p, 0, rng);
    expect_agree(u"[a-b]+", REGEX_IGNORE_CASE, rng);
    // under case and width folding the scan looks for every unit that folds
    // to a first character
    for (int flags : {1, 2, 3}) {
        for (const char16_t* p :
             {u"ab", u"b", u"テ|sel", u"[0-9]+_", u"[a-c]", u"1|x", u" a", u"'", u"Ａ|ｂ"})
            expect_agree(p, flags, rng);
    }
    // a class scan at every alignment of the text, up to its end
    for (int shift = 0; shift < 9; ++shift) {
        std::u16string text(static_cast<size_t>(shift), u'x');
        text += u"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx7";
        EXPECT_EQ(find(u"[0-9]", text.c_str() + (shift % 2 ? 1 : 0)).start,
                  static_cast<int>(text.size()) - 1 - (shift % 2 ? 1 : 0));
        EXPECT_EQ(find(u"[0-9]", text.substr(0, text.size() - 1).c_str()).result, 0);
    }
}

// Loops of one character take their run at once (greedy) or step by step
// (lazy), trying only the ends where the rest of the pattern can begin.
TEST(RegexSearchSkips, CharacterRuns) {
    EXPECT_EQ(find(u"a.*😀b", u"xa😀😀b😀"), (Found{1, 1, 6}));
    EXPECT_EQ(find(u"a.*?😀", u"xa😀😀b😀"), (Found{1, 1, 3}));
    EXPECT_EQ(find(u"a.*😀", u"xa😀😀b😀"), (Found{1, 1, 8}));
    EXPECT_EQ(find(u"\\d+\\r", u"12\r\n").result, 0);
    EXPECT_EQ(find(u"\\d+\\r", u"12\rx"), (Found{1, 0, 3}));
    EXPECT_EQ(find(u"[^x]*x", u"ab\r\ncx"), (Found{1, 4, 2}));
    EXPECT_EQ(find(u".*", u"ab\r\ncd"), (Found{1, 0, 2}));
    EXPECT_EQ(find(u".+$", u"ab\r\ncd"), (Found{1, 0, 2}));
    EXPECT_EQ(find(u"(?i)a+b", u"xAaAb"), (Found{1, 1, 4}));
    EXPECT_EQ(find(u"\\w+\\s+\\w", u"abc  d"), (Found{1, 0, 6}));
    EXPECT_EQ(find(u"\\w+\\s", u"abcdef").result, 0);
    RegexHolder g(u"(a+)(a+)");
    EXPECT_EQ(find_in(g.get(), u"aaaa"), (Found{1, 0, 4}));
    EXPECT_EQ(g.get()->groups[0].length, 3);
    EXPECT_EQ(g.get()->groups[1].start.column, 3);
    RegexHolder l(u"(a+?)(a+)");
    EXPECT_EQ(find_in(l.get(), u"aaaa"), (Found{1, 0, 4}));
    EXPECT_EQ(l.get()->groups[0].length, 1);
    // a run inside a look-ahead, an atomic group and a call
    EXPECT_EQ(find(u"(?=a*b)a", u"aaab"), (Found{1, 0, 1}));
    EXPECT_EQ(find(u"(?>a*)a", u"aaa").result, 0);
    EXPECT_EQ(find(u"(a*b)(?1)", u"abaab"), (Found{1, 0, 5}));
    EXPECT_EQ(find(u"x(a*)*y", u"xaay"), (Found{1, 0, 4}));
}

// A test of a whole text stops at the last unit every match needs (and does
// not search a text without it): the same answer, match range and captures
// as trying every position, for required units that fold, that stand first,
// last or alone, and texts with pairs and line breaks.
TEST(RegexSearchSkips, TestStopsAtTheLastRequiredUnit) {
    std::mt19937 rng(31337);
    const char16_t* pieces[] = {u"-", u"－",   u"1",  u"１", u"23", u"a", u"A",  u"ａ", u"Ａ", u"x",
                                u"😀", u"\r\n", u"\n", u" ",  u"テ", u"b", u"bb", u"-5", u"9-"};
    struct Case {
        const char16_t* pattern;
        int flags;
    } cases[] = {
        {u"[0-9]{4}-[0-9]{2}", 0},
        {u"\\d-", 0},
        {u"-", 0},
        {u"\\d+-\\d", REGEX_IGNORE_WIDTH},
        {u"x?a", REGEX_IGNORE_CASE},
        {u"(\\d)a", REGEX_IGNORE_CASE | REGEX_IGNORE_WIDTH},
        {u"b+a*-", 0},
        {u".*-", 0},
        {u"^\\d*a", 0},
        {u"(?=\\d)\\w-", 0},
        {u"(?<=-)\\d+b", 0},
        {u"\\d.?テ", 0},
        {u"😀-", 0},
    };
    for (const Case& c : cases) {
        RegexHolder h(c.pattern, c.flags);
        ASSERT_TRUE(h) << narrow(c.pattern);
        for (int round = 0; round < 400; ++round) {
            std::u16string text;
            int n = static_cast<int>(rng() % 30);
            for (int k = 0; k < n; ++k) text += pieces[rng() % 19];
            Found want = every_position(h.get(), text, 0);
            std::vector<RegexGroup> groups(h.get()->groups, h.get()->groups + h.get()->group_count);
            int got = regex_test_str(h.get(), text.c_str());
            ASSERT_EQ(got, want.result) << narrow(c.pattern) << " in \"" << narrow(text) << "\"";
            if (got != 1) continue;
            EXPECT_EQ(h.get()->match_start.column, want.start) << narrow(c.pattern) << " in " << narrow(text);
            EXPECT_EQ(h.get()->match_end.column - h.get()->match_start.column, want.length);
            for (int g = 0; g < h.get()->group_count; ++g)
                EXPECT_EQ(h.get()->groups[g].start.column, groups[g].start.column) << narrow(c.pattern);
        }
    }
}
