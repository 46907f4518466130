// The pattern language, the compiler's limits and the matcher's node kinds.
#include "regex_test_util.h"

#include <gtest/gtest.h>

#include <string>

TEST(RegexSyntax, Quantifiers) {
    EXPECT_EQ(match_text(u"^a{2,3}$", u"aa"), u"aa");
    EXPECT_EQ(match_text(u"^a{2,3}$", u"aaa"), u"aaa");
    EXPECT_EQ(match_text(u"^a{2,3}$", u"aaaa"), u"<none>");
    EXPECT_EQ(match_text(u"^a{2}$", u"aa"), u"aa");
    EXPECT_EQ(match_text(u"^a{2}$", u"aaa"), u"<none>");
    EXPECT_EQ(match_text(u"^a{,2}$", u""), u"");
    EXPECT_EQ(match_text(u"^a{,2}$", u"aa"), u"aa");
    EXPECT_EQ(match_text(u"^a{,2}$", u"aaa"), u"<none>");
    EXPECT_EQ(match_text(u"a{ 1 , 2 }", u"aaa"), u"aa");
    EXPECT_EQ(match_text(u"xa{0}y", u"xy"), u"xy");
    EXPECT_EQ(match_text(u"a{3}", u"aaaa"), u"aaa");
    EXPECT_EQ(match_text(u"(?:ab){2,4}", u"abababababab"), u"abababab");
    EXPECT_EQ(match_text(u"(a|b){3,}", u"abbax"), u"abba");
    EXPECT_TRUE(valid(u"(?w){65535}"));
    EXPECT_EQ(match_text(u"a{2,}?", u"aaaa"), u"aa");
    EXPECT_EQ(match_text(u"a+?", u"aaa"), u"a");
    EXPECT_FALSE(valid(u"a{x}"));
    EXPECT_FALSE(valid(u"a{3,2}"));
    EXPECT_FALSE(valid(u"a{65536}"));
    EXPECT_FALSE(valid(u"*a"));
    EXPECT_FALSE(valid(u"a**"));
    EXPECT_TRUE(valid(u"a(?#c)*"));
    EXPECT_EQ(match_text(u"a(?#c)+", u"aaa"), u"aaa");
}

TEST(RegexSyntax, SizeLimits) {
    EXPECT_FALSE(valid(u"((a{1000}){1000}){1000}"));
    EXPECT_FALSE(valid(u"(a{0,65535}){0,65535}"));
    {
        RegexHolder h(u"a{0,65535}");
        ASSERT_TRUE(h);
        EXPECT_EQ(find_in(h.get(), u"aaa"), (Found{1, 0, 3}));
    }
    // deep nesting is compiled (or refused) without recursion
    std::u16string deep(10000, u'(');
    deep += u"a";
    deep += std::u16string(10000, u')');
    {
        RegexHolder h(deep.c_str());
        if (h) {
            EXPECT_EQ(find_in(h.get(), u"xa"), (Found{1, 1, 1}));
        }
    }
    std::u16string look;
    for (int i = 0; i < 5000; ++i) look += u"(?=";
    look += u"a";
    look += std::u16string(5000, u')');
    {
        RegexHolder h(look.c_str());
        if (h) {
            EXPECT_EQ(find_in(h.get(), u"xa"), (Found{1, 1, 0}));
        }
    }
    EXPECT_FALSE(valid(u"abc\\"));
    EXPECT_FALSE(valid(u"("));
    EXPECT_FALSE(valid(u"(a"));
    EXPECT_FALSE(valid(u"[ab"));
    EXPECT_EQ(match_text(u"a)", u"xa)"), u"a)");
    EXPECT_EQ(match_text(u"]}", u"]}"), u"]}");
}

TEST(RegexSyntax, CaseAndWidth) {
    EXPECT_EQ(match_text(u"(?i)abc", u"xABC"), u"ABC");
    EXPECT_EQ(match_text(u"(?i)abc", u"ＡＢＣ"), u"<none>");
    EXPECT_EQ(match_text(u"(?i)abc", u"ａｂｃ"), u"<none>");
    EXPECT_EQ(match_text(u"(?iw)abc", u"ＡＢＣ"), u"ＡＢＣ");
    EXPECT_EQ(match_text(u"(?w)abc", u"ａｂｃ"), u"ａｂｃ");
    EXPECT_EQ(match_text(u"abc", u"ABC", REGEX_IGNORE_CASE), u"ABC");
    EXPECT_EQ(match_text(u"(?i)ＡＢ", u"ａｂ"), u"ａｂ");
    EXPECT_EQ(match_text(u"(?i)é", u"É"), u"<none>");
    EXPECT_EQ(match_text(u"(?i)[a-c]+", u"xAbC"), u"AbC");
    EXPECT_EQ(match_text(u"(?i)[Z-a]+", u"z_A"), u"z_A");
    EXPECT_EQ(match_text(u"(?w)[0-9]+", u"１２3"), u"１２3");
    EXPECT_EQ(match_text(u"a(?i:b)c", u"aBc"), u"aBc");
    EXPECT_EQ(match_text(u"a(?i:b)c", u"aBC"), u"<none>");
    EXPECT_EQ(match_text(u"(?i)a(?-i)b", u"Ab"), u"Ab");
    EXPECT_EQ(match_text(u"(?i)a(?-i)b", u"AB"), u"<none>");
    EXPECT_EQ(match_text(u"(a(?i)b)c", u"aBc"), u"aBc");
    EXPECT_EQ(match_text(u"(a(?i)b)c", u"aBC"), u"<none>");
    EXPECT_FALSE(valid(u"(?x)a"));
}

TEST(RegexSyntax, ShorthandsAndClasses) {
    EXPECT_EQ(find(u"\\s", u"a\tb").start, 1);
    EXPECT_EQ(find(u"\\s", u"a\fb").start, 1);
    EXPECT_EQ(find(u"\\s", u"a b").start, 1);
    EXPECT_EQ(find(u"\\s", u"a\rb").result, 0);
    EXPECT_EQ(find(u"\\s", u"a\nb").result, 0);
    EXPECT_EQ(find(u"(?S)\\s", u"a\nb").start, 1);
    EXPECT_EQ(find(u"\\l", u"a\rb").start, 1);
    EXPECT_EQ(find(u"\\l", u"a\nb").start, 1);
    EXPECT_EQ(find(u"[^a]", u"a\nb").start, 2);
    EXPECT_EQ(find(u"\\D", u"1\n2b").start, 3);
    EXPECT_EQ(find(u"\\W", u"a\n-").start, 2);
    EXPECT_EQ(find(u"\\S", u" \nx").start, 2);
    EXPECT_EQ(find(u"\\w", u"あa").start, 1);
    EXPECT_EQ(find(u"\\W", u"aあ").start, 1);
    EXPECT_EQ(find(u"[a-あ]", u"b").result, 1);
    EXPECT_EQ(find(u"[a-あ]", u"é").result, 1);
    EXPECT_EQ(find(u"[a-あ]", u"い").result, 0);
    EXPECT_EQ(match_text(u"[\\x]", u"x"), u"x");
    EXPECT_EQ(match_text(u"[\\b]", u"b"), u"b");
    EXPECT_EQ(match_text(u"[]a]+", u"]a]"), u"]a]");
    EXPECT_EQ(match_text(u"[a-c-e]+", u"b-e"), u"b-e");
    EXPECT_EQ(match_text(u"[-a]+", u"-a"), u"-a");
    EXPECT_EQ(match_text(u"[[:digit:][:upper:]]+", u"x1A2b"), u"1A2");
    EXPECT_EQ(match_text(u"[\\d\\s]+", u"x1 2y"), u"1 2");
    EXPECT_EQ(match_text(u"[^\\D]+", u"x12y"), u"12");
    EXPECT_EQ(match_text(u"[😀-😂]", u"a😁"), u"😁");
    EXPECT_EQ(match_text(u"[^😀]", u"😀x"), u"x");
    EXPECT_FALSE(valid(u"[z-a]"));
    EXPECT_FALSE(valid(u"[[:nope:]]"));
    EXPECT_EQ(match_text(u"x[]y", u"xy"), u"xy");
    EXPECT_EQ(match_text(u".", u"\n😀"), u"😀");
    EXPECT_EQ(match_text(u"(?s).", u"\n"), u"\n");
}

TEST(RegexSyntax, Escapes) {
    EXPECT_EQ(match_text(u"\\x41\\x{3042}\\x{1F600}", u"Aあ😀"), u"Aあ😀");
    EXPECT_FALSE(valid(u"\\x{110000}"));
    EXPECT_FALSE(valid(u"\\x{D800}"));
    EXPECT_FALSE(valid(u"\\x{}"));
    EXPECT_FALSE(valid(u"\\x4"));
    EXPECT_FALSE(valid(u"\\x{12g}"));
    EXPECT_EQ(match_text(u"\\Q.*(\\E+", u"a.*(("), u".*((");
    EXPECT_EQ(match_text(u"\\Q[x", u"a[x"), u"[x");
    EXPECT_EQ(match_text(u"\\t\\n\\r\\f", u"\t\n\r\f"), u"\t\n\r\f");
    EXPECT_EQ(match_text(u"a\\=b", u"ab"), u"ab");
    EXPECT_EQ(match_text(u"a\\==", u"a="), u"a=");
    EXPECT_EQ(find(u"\\=A", u"abc").result, 0);
    EXPECT_EQ(find(u"a\\=z", u"a").result, 0);
    EXPECT_FALSE(valid(u"\\k"));
    EXPECT_FALSE(valid(u"\\k<a"));
    EXPECT_FALSE(valid(u"\\g"));
    EXPECT_FALSE(valid(u"\\g{1"));
}

TEST(RegexSyntax, GroupsAndBackreferences) {
    std::u16string ten;
    for (int i = 0; i < 10; ++i) ten += u"(.)";
    {
        RegexHolder h((ten + u"\\10").c_str());
        ASSERT_TRUE(h);
        EXPECT_EQ(h.get()->group_count, 10);
        EXPECT_EQ(find_in(h.get(), u"abcdefghijj").result, 1);
        EXPECT_EQ(find_in(h.get(), u"abcdefghija0").result, 0);
    }
    {
        RegexHolder h((ten + u"\\g{10}").c_str());
        ASSERT_TRUE(h);
        EXPECT_EQ(find_in(h.get(), u"abcdefghijj").result, 1);
    }
    EXPECT_FALSE(valid((ten + u"\\g{11}").c_str()));
    EXPECT_FALSE(valid(u"(a)\\g{0}"));
    // \10 with one group: group 1 then the digit 0
    EXPECT_EQ(match_text(u"(a)\\10", u"aa0"), u"aa0");
    // the eleventh pair of parentheses only groups
    {
        RegexHolder h((ten + u"(x)\\11").c_str());
        ASSERT_TRUE(h);
        EXPECT_EQ(h.get()->group_count, 10);
        EXPECT_EQ(find_in(h.get(), u"abcdefghijxa1").result, 1);
    }
    EXPECT_EQ(match_text(u"(?<q>['\"])x\\k<q>", u"'x\"x\""), u"\"x\"");
    EXPECT_EQ(match_text(u"(?P<q>a)(?'r'b)\\k'r'\\k<q>", u"abba"), u"abba");
    EXPECT_EQ(match_text(u"(a)(b)\\g-1\\g{-2}", u"abba"), u"abba");
    EXPECT_EQ(match_text(u"(?i)(a)\\1", u"aA"), u"aA");
    EXPECT_FALSE(valid(u"(?&x)(?<x>a)"));
    EXPECT_TRUE(valid(u"(?<x>a)(?&x)"));
    EXPECT_FALSE(valid(u"(?2)(a)"));
    EXPECT_FALSE(valid(u"(?1x)(a)"));
    // (a){2} uses group 1 in both copies
    RegexHolder h(u"(a){2}", REGEX_NO_OPTIMIZE);
    ASSERT_TRUE(h);
    int opens = 0, others = 0;
    for (const RegexNode* n : regex_tree_nodes(h.get())) {
        if (n->kind == RN_OPEN || n->kind == RN_CLOSE) (n->value == 0 ? opens : others)++;
    }
    EXPECT_EQ(opens, 4) << regex_tree_dump(h.get());
    EXPECT_EQ(others, 0);
    EXPECT_EQ(h.get()->group_count, 1);
}

TEST(RegexSyntax, Lookbehind) {
    EXPECT_TRUE(valid(u"(?<=ab|cd)x"));
    EXPECT_FALSE(valid(u"(?<=a|bc)x"));
    EXPECT_FALSE(valid(u"(?<=a+)x"));
    EXPECT_FALSE(valid(u"(?<=a?)x"));
    EXPECT_FALSE(valid(u"(?<=(a)\\1)x"));
    EXPECT_TRUE(valid(u"(?<=a{3})x"));
    EXPECT_TRUE(valid(u"(?<=(?=a+)b)x"));
    EXPECT_EQ(find(u"(?<=ab|cd)x", u"cdx abx").start, 2);
    EXPECT_EQ(find(u"(?<=ab)c", u"abc").start, 2);
    EXPECT_EQ(find(u"(?<=ab)c", u"c").result, 0);
    EXPECT_EQ(find(u"(?<!a)b", u"abcb").start, 3);
    EXPECT_EQ(find(u"(?<!a)b", u"b").start, 0);
    EXPECT_EQ(find(u"(?<=😀)x", u"😀x").start, 2);
    EXPECT_EQ(find(u"(?<=^a)b", u"x\nab").start, 3);
}

TEST(RegexMatcher, Backtracking) {
    EXPECT_EQ(match_text(u"(a|ab)c", u"abc"), u"abc");
    EXPECT_EQ(find(u"a*?", u"aaa"), (Found{1, 0, 0}));
    EXPECT_EQ(find(u"a*", u"aaa"), (Found{1, 0, 3}));
    std::u16string run(100, u'a');
    EXPECT_EQ(find(u"(a*)*b", run.c_str()).result == 1, false);
    EXPECT_EQ(find(u"(a*)*", run.c_str()).start, 0);
    EXPECT_EQ(match_text(u"(a|)*b", u"aab"), u"aab");
    EXPECT_EQ(match_text(u"(?:x?)+y", u"xxy"), u"xxy");
}

TEST(RegexMatcher, Anchors) {
    EXPECT_EQ(find(u"\\Z", u"abc\n"), (Found{1, 3, 0}));
    EXPECT_EQ(find(u"\\Z", u"abc"), (Found{1, 3, 0}));
    EXPECT_EQ(find(u"\\n\\Z", u"abc\n").result, 0);
    EXPECT_EQ(find(u"\\z", u"abc\n"), (Found{1, 4, 0}));
    EXPECT_EQ(find(u"c$", u"abc\nd").start, 2);
    EXPECT_EQ(find(u"^d", u"abc\nd").start, 4);
    EXPECT_EQ(find(u"\\Ad", u"abc\nd").result, 0);
    EXPECT_EQ(find(u"\\bfoo", u"xfoo foo").start, 5);
    EXPECT_EQ(find(u"\\Boo", u"foo").start, 1);
    EXPECT_EQ(find(u"\\bfoo", u"あfoo").start, 1);
    EXPECT_EQ(find(u"ab\\Kcd", u"xabcd"), (Found{1, 3, 2}));
}

TEST(RegexMatcher, Captures) {
    RegexHolder h(u"(a)|b");
    ASSERT_TRUE(h);
    EXPECT_EQ(find_in(h.get(), u"b").result, 1);
    EXPECT_EQ(h.get()->groups[0].length, -1);
    EXPECT_EQ(find(u"(?:(a)|b)\\1", u"b").result, 0);
    RegexHolder x(u"x(?1)y(a|b)");
    ASSERT_TRUE(x);
    EXPECT_EQ(find_in(x.get(), u"xayb"), (Found{1, 0, 4}));
    EXPECT_EQ(x.get()->groups[0].start.column, 3);
    EXPECT_EQ(find_in(x.get(), u"xbya"), (Found{1, 0, 4}));
    EXPECT_EQ(find_in(x.get(), u"xcya").result, 0);
    RegexHolder y(u"(a|b)x(?1)y");
    ASSERT_TRUE(y);
    EXPECT_EQ(find_in(y.get(), u"axby"), (Found{1, 0, 4}));
    EXPECT_EQ(y.get()->groups[0].start.column, 0);
    EXPECT_EQ(y.get()->groups[0].length, 1);
    RegexHolder c(u"(b)(c)?");
    ASSERT_TRUE(c);
    EXPECT_EQ(find_in(c.get(), u"abc").result, 1);
    EXPECT_EQ(c.get()->last_group, 1);
    EXPECT_EQ(find_in(c.get(), u"ab").result, 1);
    EXPECT_EQ(c.get()->last_group, 0);
    EXPECT_EQ(c.get()->groups[1].length, -1);
}

TEST(RegexMatcher, AtomicPossessiveConditionalRecursion) {
    EXPECT_EQ(find(u"(?>a+)a", u"aaa").result, 0);
    EXPECT_EQ(find(u"a++a", u"aaa").result, 0);
    EXPECT_EQ(match_text(u"a++b", u"aab"), u"aab");
    EXPECT_EQ(match_text(u"a{2,3}+", u"aaaa"), u"aaa");
    EXPECT_EQ(find(u"x(?:a){3,}+", u"xaa").result, 0);
    EXPECT_EQ(match_text(u"(ab)?+c", u"abc"), u"abc");
    EXPECT_EQ(match_text(u"(?:(a)|b)*+", u"abab"), u"abab");
    EXPECT_EQ(match_text(u"(?>(a)|b)c\\1", u"aca"), u"aca");
    // a group-number condition is true when the group exists in the pattern
    EXPECT_EQ(match_text(u"(a)?(?(1)b|c)", u"xb"), u"b");
    EXPECT_EQ(match_text(u"(?(1)b|c)", u"xc"), u"c");
    EXPECT_EQ(match_text(u"(?<n>a)?(?(<n>)b|c)", u"c b"), u"b");
    EXPECT_EQ(match_text(u"(?(?=a)ab|cd)", u"xcdab"), u"cd");
    EXPECT_EQ(match_text(u"(?(?!a)cd|ab)", u"xab"), u"ab");
    EXPECT_FALSE(valid(u"(?(12)a|b)"));
    EXPECT_FALSE(valid(u"(?(0)a|b)"));
    EXPECT_EQ(match_text(u"\\((?:[^()]|(?R))*\\)", u"x(a(b)c)"), u"(a(b)c)");
    EXPECT_EQ(match_text(u"(a(?1)?b)", u"xaaabbb"), u"aaabbb");
    EXPECT_EQ(match_text(u"^(a(?(R)x|y))", u"ay"), u"ay");
    EXPECT_EQ(match_text(u"(?=(a))\\1b", u"ab"), u"ab");
    EXPECT_EQ(find(u"(?!a)b", u"b"), (Found{1, 0, 1}));
    EXPECT_EQ(find(u"(?=a)", u"xa"), (Found{1, 1, 0}));
}

TEST(RegexMatcher, TooComplex) {
    // more than 32768 backtrack points
    std::u16string run = std::u16string(40000, u'a') + u"c";
    EXPECT_EQ(find(u"(?:a|.)*c", run.c_str()).result, -2);
    // a loop of one character takes its run with one frame, however long
    EXPECT_EQ(find(u"(?:.)*c", run.c_str()), (Found{1, 0, 40001}));
    EXPECT_EQ(find(u".*?c", run.c_str()), (Found{1, 0, 40001}));
    EXPECT_EQ(find(u"[a-z]*a", run.c_str()), (Found{1, 0, 40000}));
    RegexHolder h(u"(a|aa)*b");
    ASSERT_TRUE(h);
    int64_t saved = regex_backtrack_budget;
    regex_backtrack_budget = 100000;
    std::u16string sixty = std::u16string(60, u'a') + u"xb";
    EXPECT_EQ(find_in(h.get(), sixty.c_str()).result, -2);
    EXPECT_EQ(regex_test_str(h.get(), sixty.c_str()), -2);
    regex_backtrack_budget = saved;
    EXPECT_EQ(find_in(h.get(), u"aaab").result, 1);
    // a character every match needs is looked for first
    EXPECT_EQ(h.get()->required_unit, u'b');
    std::u16string many(2000, u'a');
    EXPECT_EQ(find_in(h.get(), many.c_str()).result, 0);
    EXPECT_EQ(RegexHolder(u"a?[bc]x+y*").get()->required_unit, u'x');
    EXPECT_EQ(RegexHolder(u"ab|ac").get()->required_unit, u'a');
    // a folded character is required by all its forms
    {
        const int folded = REGEX_IGNORE_CASE | REGEX_IGNORE_WIDTH;
        RegexHolder f(u"[0-9]+_", folded);
        ASSERT_TRUE(f);
        EXPECT_EQ(f.get()->required_unit, u'_');
        EXPECT_EQ(f.get()->required_also[0], u'＿');
        EXPECT_EQ(f.get()->required_also[1], 0);
        EXPECT_EQ(find_in(f.get(), u"ab １２＿"), (Found{1, 3, 3}));
        EXPECT_EQ(find_in(f.get(), u"x 3４_"), (Found{1, 2, 3}));
        EXPECT_EQ(find_in(f.get(), u"12 34").result, 0);
        RegexHolder o(u"order", folded);
        EXPECT_EQ(find_in(o.get(), u"ＯＲＤＥＲ").result, 1);
        EXPECT_EQ(find_in(o.get(), u"OrdeＲ x").result, 1);
        EXPECT_EQ(find_in(o.get(), u"orde").result, 0);
    }
    // infinite recursion ends on the stack limit
    EXPECT_EQ(find(u"(?R)a", u"aaa").result, -2);
    // a counted assertion is one test, not 65535 walked at every level
    {
        RegexHolder b(u"\\b{65535}(?R)");
        ASSERT_TRUE(b);
        EXPECT_LT(b.get()->node_count, 16);
        EXPECT_EQ(find_in(b.get(), u"ab cd").result, -2);
    }
    EXPECT_EQ(match_text(u"a\\b{2,}", u"ab a"), u"a");
    EXPECT_EQ(match_text(u"x^{0,3}y", u"xy"), u"xy");
    EXPECT_EQ(match_text(u"^{3}b", u"a\nb"), u"b");
    // a conditional whose sub-match cannot be pushed ends the match
    RegexHolder c(u"^(?:a|.)(?:a|.)(?:a|.)(?(?=b)b|c)", REGEX_NO_OPTIMIZE);
    ASSERT_TRUE(c);
    int first_ok = 0;
    for (int limit = 2; limit <= 10; ++limit) {
        regex_max_frames = limit;
        int r = find_in(c.get(), u"aaab").result;
        EXPECT_TRUE(r == 1 || r == -2) << limit;
        if (r == 1 && !first_ok) first_ok = limit;
    }
    regex_max_frames = REGEX_MAX_FRAMES;
    EXPECT_GT(first_ok, 4);
}

TEST(RegexMatcher, OneBudgetPerSearch) {
    int64_t saved = regex_backtrack_budget;
    regex_backtrack_budget = 200000;
    // Every attempt of this search fits in the budget on its own (a lone
    // match at the first position finishes), but the attempts together do
    // not: the search ends with -2 instead of running for one budget per
    // start position (a fuzzer's find that ran for many seconds).
    RegexHolder h(u".*?\\K*.*?\\K?\\K\\K*.*?\\K?[xy]");
    ASSERT_TRUE(h);
    std::u16string s(24, u'a');
    RegexStrSubject sub;
    RegexPositionOps ops;
    regex_init_str_ops(&ops, &sub, s.c_str());
    RegexPos start{0, 0}, end{0, 0};
    EXPECT_EQ(regex_match_at(h.get(), &ops, &start, &end, nullptr, nullptr), 0);
    EXPECT_EQ(find_in(h.get(), s.c_str()).result, -2);
    start = {0, 0};
    EXPECT_EQ(regex_search(h.get(), &ops, &start, &end, RegexPos{-1, 0}), -2);
    EXPECT_EQ(regex_replace_str(h.get(), s.c_str(), u"-", 1, nullptr, 0, nullptr, nullptr), nullptr);
    // ... and the next search has the whole budget again
    EXPECT_EQ(find_in(h.get(), u"aax").result, 1);
    // A search of many cheap attempts never runs out, however long the subject.
    std::u16string words;
    while (words.size() < 200000) words += u"abc def_12 ";
    EXPECT_EQ(find(u"\\w+x", words.c_str()).result, 0);
    EXPECT_EQ(find(u"(?:a|b)*\\d{3}", words.c_str()).result, 0);
    regex_backtrack_budget = saved;
}

TEST(RegexStrategy, Kinds) {
    {
        RegexHolder h(u"abc");
        ASSERT_TRUE(h);
        EXPECT_EQ(h.get()->strategy, REGEX_STRATEGY_LITERAL);
        EXPECT_EQ(h.get()->root, nullptr);
        EXPECT_EQ(find_in(h.get(), u"xxabc"), (Found{1, 2, 3}));
    }
    {
        RegexHolder h(u"abc.d");
        ASSERT_TRUE(h);
        EXPECT_EQ(h.get()->strategy, REGEX_STRATEGY_LITERAL);
        EXPECT_NE(h.get()->root, nullptr);
        EXPECT_EQ(find_in(h.get(), u"abc abcxd"), (Found{1, 4, 5}));
    }
    {
        RegexHolder h(u"ab");
        EXPECT_EQ(h.get()->strategy, REGEX_STRATEGY_CHAR);
    }
    {
        RegexHolder h(u"あいうえお");
        EXPECT_NE(h.get()->strategy, REGEX_STRATEGY_LITERAL);
        EXPECT_EQ(find_in(h.get(), u"xあいうえお"), (Found{1, 1, 5}));
    }
    EXPECT_EQ(RegexHolder(u"[0-9]+").get()->strategy, REGEX_STRATEGY_CLASS);
    EXPECT_EQ(RegexHolder(u"^\\s*--").get()->strategy, REGEX_STRATEGY_LINE);
    EXPECT_EQ(RegexHolder(u"\\bSELECT\\b").get()->strategy, REGEX_STRATEGY_WORD);
    EXPECT_EQ(RegexHolder(u"foo|bar|baz").get()->strategy, REGEX_STRATEGY_CLASS);
    EXPECT_EQ(RegexHolder(u"(?!a)b").get()->strategy, REGEX_STRATEGY_ANY);
    {
        RegexHolder h(u"ab|ac");
        ASSERT_TRUE(h);
        EXPECT_EQ(h.get()->root->kind, RN_CHAR);
        EXPECT_EQ(match_text(u"ab|ac", u"xac"), u"ac");
        RegexHolder g(u"abc|abd");
        EXPECT_EQ(g.get()->root->kind, RN_STRING);
        EXPECT_EQ(match_text(u"abc|abd", u"abxabd"), u"abd");
    }
    // a limited search stops at its limit though a later match exists
    RegexHolder h(u"b");
    RegexStrSubject s;
    RegexPositionOps ops;
    regex_init_str_ops(&ops, &s, u"aaab");
    RegexPos start{0, 0}, end{0, 0};
    EXPECT_EQ(regex_search(h.get(), &ops, &start, &end, RegexPos{0, 2}), 0);
    start = {0, 0};
    EXPECT_EQ(regex_search(h.get(), &ops, &start, &end, RegexPos{0, 3}), 1);
    for (const char16_t* p : {u"abcd", u"ab.d", u"[ab]x", u"^ab", u"\\bab"}) {
        RegexHolder l(p);
        start = {0, 0};
        EXPECT_EQ(regex_search(l.get(), &ops, &start, &end, RegexPos{0, 0}), 0) << narrow(p);
    }
}

TEST(RegexPlain, Positions) {
    RegexHolder e(u"");
    EXPECT_EQ(find_in(e.get(), u"abc", 3), (Found{1, 3, 0}));
    EXPECT_EQ(find_in(e.get(), u"abc", 4).result, 0);
    EXPECT_EQ(find(u"\\n", u"ab\r\ncd"), (Found{1, 3, 1}));
    EXPECT_EQ(find(u"^c", u"ab\r\ncd"), (Found{1, 4, 1}));
    EXPECT_EQ(find(u"^", u"ab\r\ncd", 0, 1), (Found{1, 4, 0}));
    EXPECT_EQ(find(u"\\r", u"ab\r\ncd").result, 0);
    EXPECT_EQ(find(u"b$", u"ab\r\ncd").start, 1);
    EXPECT_EQ(find(u"(?s)..", u"\r\nab"), (Found{1, 1, 2}));
    EXPECT_EQ(find(u"b", u"ab\r\n"), (Found{1, 1, 1}));
    EXPECT_EQ(find(u"b.", u"ab\r\n").result, 0);
    EXPECT_EQ(find(u"(?s)b.", u"ab\r\n"), (Found{1, 1, 3}));
    EXPECT_EQ(find(u"(?<=b\n)c", u"ab\r\nc"), (Found{1, 4, 1}));
    EXPECT_EQ(find(u"..", u"\r\nab"), (Found{1, 2, 2}));
    EXPECT_EQ(find(u"\\=A", u"abc").result, 0);
    EXPECT_EQ(regex_search_str(nullptr, u"a", 0, nullptr, nullptr), -1);
    EXPECT_EQ(regex_test_str(nullptr, u"a"), 0);
    // a lone high surrogate before the terminator is one character
    const char16_t lone[] = {u'a', 0xD83D, 0};
    EXPECT_EQ(find(u".$", lone), (Found{1, 1, 1}));
    const char16_t high[] = {0xD83D, 0};
    EXPECT_EQ(find(high, lone), (Found{1, 1, 1}));
    const char16_t pair[] = {u'x', 0xD83D, 0xDE00, u'y', 0};
    EXPECT_EQ(find(u"x.y", pair), (Found{1, 0, 4}));
    EXPECT_EQ(find(u"[^x]", pair), (Found{1, 1, 2}));
    EXPECT_EQ(find(u"(?<=.)y", pair), (Found{1, 3, 1}));
    RegexHolder t(u"b+");
    EXPECT_EQ(regex_test_str(t.get(), u"abbc"), 1);
    EXPECT_EQ(t.get()->match_start.column, 1);
    EXPECT_EQ(t.get()->match_end.column, 3);
    EXPECT_EQ(regex_test_str(t.get(), u"ac"), 0);
}
