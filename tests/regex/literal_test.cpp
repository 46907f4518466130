// The skip-table literal search, literal patterns, replacement templates and
// replace-all.
#include "regex_test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

namespace {

const char16_t* lit_search(const char16_t* lit, const char16_t* text, bool icase) {
    size_t m = std::char_traits<char16_t>::length(lit);
    LiteralSearcher* s = literal_searcher_create(lit, static_cast<int64_t>(m), icase);
    const char16_t* r =
        literal_searcher_search(s, text, static_cast<int64_t>(std::char_traits<char16_t>::length(text)));
    literal_searcher_destroy(s);
    return r;
}

char16_t fold(char16_t u) {
    return ((u >= 'A' && u <= 'Z') || (u >= 0xFF21 && u <= 0xFF3A)) ? u + 32 : u;
}

// The first occurrence by brute force, with the same rules on pairs.
int64_t naive(const std::u16string& lit, const std::u16string& text, int64_t count, bool icase) {
    int64_t m = static_cast<int64_t>(lit.size());
    for (int64_t q = 0; q + m <= count; ++q) {
        bool eq = true;
        for (int64_t j = 0; j < m && eq; ++j)
            eq = icase ? fold(text[q + j]) == fold(lit[j]) : text[q + j] == lit[j];
        if (!eq) continue;
        if (q > 0 && utf16_is_low_surrogate(text[q]) && utf16_is_high_surrogate(text[q - 1])) continue;
        if (m > 0 && q + m < count && utf16_is_high_surrogate(text[q + m - 1]) &&
            utf16_is_low_surrogate(text[q + m]))
            continue;
        return q;
    }
    return -1;
}

std::u16string replace(const char16_t* pattern, const char16_t* text, const char16_t* repl, int all,
                       int flags = 0) {
    RegexHolder h(pattern, flags);
    if (!h) return u"<invalid>";
    char16_t buf[1024];
    char16_t* r = regex_replace_str(h.get(), text, repl, all, buf, 1024, nullptr, nullptr);
    if (!r) return u"<null>";
    std::u16string s(r);
    if (r != buf && r != text) free(r);
    return s;
}

} // namespace

TEST(RegexLiteral, Search) {
    const char16_t* t = u"ababa";
    EXPECT_EQ(lit_search(u"aba", t, false), t);
    const char16_t pair[] = {u'x', 0xD83D, 0xDE00, u'y', 0};
    const char16_t low[] = {0xDE00, u'y', 0};
    const char16_t high[] = {u'x', 0xD83D, 0};
    EXPECT_EQ(lit_search(low, pair, false), nullptr);
    EXPECT_EQ(lit_search(high, pair, false), nullptr);
    const char16_t lone[] = {u'x', 0xD83D, u'z', 0};
    EXPECT_EQ(lit_search(high, lone, false), lone);
    const char16_t* abc = u"xxABC";
    EXPECT_EQ(lit_search(u"abc", abc, true), abc + 2);
    EXPECT_EQ(lit_search(u"abc", u"ＡＢＣ", true), nullptr);
    const char16_t* wide = u"_ＡＢＣ";
    EXPECT_EQ(lit_search(u"ａｂｃ", wide, true), wide + 1);
    // a count-limited range is not read past
    char16_t* heap = static_cast<char16_t*>(malloc(3 * sizeof(char16_t)));
    heap[0] = u'a';
    heap[1] = u'b';
    heap[2] = u'c';
    LiteralSearcher* s = literal_searcher_create(u"bc", 2, 0);
    EXPECT_EQ(literal_searcher_search(s, heap, 3), heap + 1);
    EXPECT_EQ(literal_searcher_search(s, heap, 2), nullptr);
    literal_searcher_destroy(s);
    free(heap);
}

TEST(RegexLiteral, AgreesWithNaiveSearch) {
    std::mt19937 rng(12345);
    const char16_t alphabet[] = {u'a',   u'b',   u'A',   u'B',   u'あ', u'ア',
                                 0xFF21, 0xFF41, 0xD83D, 0xDE00, 0xD800};
    for (int round = 0; round < 3000; ++round) {
        bool icase = round % 2;
        int kinds = 2 + static_cast<int>(rng() % 10);
        auto gen = [&](int n) {
            std::u16string s;
            for (int k = 0; k < n; ++k) {
                char16_t c = alphabet[rng() % kinds];
                if (c == 0xD83D && rng() % 2) {
                    s += c;
                    s += static_cast<char16_t>(0xDE00);
                } else {
                    s += c;
                }
            }
            return s;
        };
        std::u16string lit = gen(1 + static_cast<int>(rng() % 4));
        std::u16string text = gen(static_cast<int>(rng() % 40));
        int64_t count = text.empty() ? 0 : static_cast<int64_t>(rng() % (text.size() + 1));
        LiteralSearcher* s = literal_searcher_create(lit.c_str(), static_cast<int64_t>(lit.size()), icase);
        const char16_t* r = literal_searcher_search(s, text.c_str(), count);
        literal_searcher_destroy(s);
        int64_t got = r ? r - text.c_str() : -1;
        ASSERT_EQ(got, naive(lit, text, count, icase))
            << narrow(lit) << " in " << narrow(text) << " count " << count;
    }
}

TEST(RegexLiteral, CompiledLiterals) {
    RegexHolder h(regex_compile_literal(u"a.b", 0));
    ASSERT_TRUE(h);
    EXPECT_EQ(h.get()->root, nullptr);
    EXPECT_EQ(find_in(h.get(), u"axb a.b"), (Found{1, 4, 3}));
    RegexHolder w(regex_compile_literal(u"a\\E(b", REGEX_IGNORE_WIDTH));
    ASSERT_TRUE(w);
    EXPECT_EQ(find_in(w.get(), u"xa\\E(b"), (Found{1, 1, 5}));
    EXPECT_EQ(find_in(w.get(), u"ａ\\E(ｂ"), (Found{1, 0, 5}));
    RegexHolder x(regex_compile_literal(u"x\\E.*", REGEX_IGNORE_WIDTH));
    ASSERT_TRUE(x);
    EXPECT_EQ(find_in(x.get(), u"x\\Eabc").result, 0);
    EXPECT_EQ(find_in(x.get(), u"x\\E.*"), (Found{1, 0, 5}));
    RegexHolder sp(regex_compile_literal(u"^$|[=A]{1}", REGEX_IGNORE_WIDTH | REGEX_IGNORE_CASE));
    ASSERT_TRUE(sp);
    EXPECT_EQ(find_in(sp.get(), u"_^$|[=a]{1}"), (Found{1, 1, 10}));
    RegexHolder crlf(regex_compile_literal(u"a\r\nb", REGEX_IGNORE_WIDTH));
    ASSERT_TRUE(crlf);
    EXPECT_EQ(find_in(crlf.get(), u"xa\r\nb"), (Found{1, 1, 4}));
    RegexHolder ic(regex_compile_literal(u"SELECT", REGEX_IGNORE_CASE));
    EXPECT_EQ(find_in(ic.get(), u"x select"), (Found{1, 2, 6}));
}

TEST(RegexTemplate, Expansion) {
    EXPECT_EQ(regex_template_has_refs(u"a$0b$"), 0);
    EXPECT_EQ(regex_template_has_refs(u"a$1"), 1);
    EXPECT_EQ(regex_template_has_refs(u"\\"), 1);
    EXPECT_EQ(regex_template_has_refs(u"$&"), 1);
    EXPECT_EQ(replace(u"(b)(c)", u"abcd", u"$1-$0", 0), u"ab-$0d");
    EXPECT_EQ(replace(u"(b)(c)", u"abcd", u"[$&|$`|$'|$+|$2$1]", 0), u"a[bc|a|d|c|cb]d");
    EXPECT_EQ(replace(u"(b)(c)", u"abcd", u"\\1\\n\\t\\x\\$", 0), u"ab\n\tx$d");
    EXPECT_EQ(replace(u"(b)", u"abc", u"$$1", 0), u"a$bc");
    EXPECT_EQ(replace(u"(?<n>b)", u"abc", u"<$+{n}$+{m}>", 0), u"a<b>c");
    EXPECT_EQ(replace(u"(b)|x", u"abc", u"[$1]", 1), u"a[b]c");
    EXPECT_EQ(replace(u"x|(b)", u"axc", u"[$1]", 1), u"a[]c");
    EXPECT_EQ(replace(u"b", u"a\r\nab\r\nc", u"[$`|$']", 0), u"a\r\na[a\r\na|]\r\nc");
    EXPECT_EQ(replace(u"b", u"ab\r\nc", u"X", 1), u"aX\r\nc");
    std::u16string ten;
    for (int i = 0; i < 10; ++i) ten += u"(.)";
    EXPECT_EQ(replace(ten.c_str(), u"abcdefghij", u"$10$9", 0), u"ji");
    EXPECT_EQ(replace(u"(a)", u"a", u"$10", 0), u"a0");
}

TEST(RegexReplace, ReplaceAll) {
    EXPECT_EQ(replace(u"x*", u"abc", u"-", 1), u"-a-b-c-");
    EXPECT_EQ(replace(u"x*", u"xa", u"-", 1), u"--a-");
    EXPECT_EQ(replace(u"x*", u"a\r\nb", u"-", 1), u"-a-\r\n-b-");
    EXPECT_EQ(replace(u"a", u"banana", u"o", 1), u"bonono");
    EXPECT_EQ(replace(u"a", u"banana", u"o", 0), u"bonana");
    RegexHolder h(u"z");
    const char16_t* text = u"abc";
    char16_t buf[1024];
    EXPECT_EQ(regex_replace_str(h.get(), text, u"-", 1, buf, 1024, nullptr, nullptr), text);
    EXPECT_EQ(regex_replace_str(nullptr, text, u"-", 1, buf, 1024, nullptr, nullptr), text);
    RegexHolder a(u"a");
    char16_t* r = regex_replace_str(a.get(), u"bab", u"-", 1, buf, 1024, nullptr, nullptr);
    EXPECT_EQ(r, buf);
    EXPECT_EQ(std::u16string(r), u"b-b");
    // outgrowing the caller's buffer moves to the heap
    std::u16string big(600, u'a');
    r = regex_replace_str(a.get(), big.c_str(), u"xy", 1, buf, 1024, nullptr, nullptr);
    ASSERT_NE(r, nullptr);
    EXPECT_NE(r, buf);
    EXPECT_EQ(std::u16string(r), std::u16string(1200, u'x').replace(0, 1200, [] {
        std::u16string s;
        for (int i = 0; i < 600; ++i) s += u"xy";
        return s;
    }()));
    free(r);
    // without a caller buffer
    r = regex_replace_str(a.get(), u"a", u"b", 1, nullptr, 0, nullptr, nullptr);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(std::u16string(r), u"b");
    free(r);
    // a small caller buffer
    char16_t small[4];
    r = regex_replace_str(a.get(), u"aaaa", u"bb", 1, small, 4, nullptr, nullptr);
    ASSERT_NE(r, nullptr);
    EXPECT_NE(r, small);
    EXPECT_EQ(std::u16string(r), u"bbbbbbbb");
    free(r);
}

TEST(RegexReplace, CallbacksAndFailures) {
    RegexHolder h(u"(\\d)");
    struct Ctx {
        int calls = 0;
        int stop_at = -1;
        std::u16string text;
    } ctx;
    auto cb = [](void* data, Regex* re) -> const char16_t* {
        Ctx* c = static_cast<Ctx*>(data);
        if (c->calls++ == c->stop_at) return nullptr;
        c->text = u"<" + std::u16string(1, static_cast<char16_t>(u'0' + re->groups[0].start.column)) + u">";
        return c->text.c_str();
    };
    char16_t buf[1024];
    char16_t* r = regex_replace_str(h.get(), u"a1b2", u"", 1, buf, 1024, cb, &ctx);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(std::u16string(r), u"a<1>b<3>");
    // NULL from the callback abandons the operation, also once on the heap
    std::u16string big(3000, u'7');
    ctx = Ctx();
    ctx.stop_at = 2000;
    EXPECT_EQ(regex_replace_str(h.get(), big.c_str(), u"", 1, buf, 1024, cb, &ctx), nullptr);
    // a search too complex to finish gives NULL, never a half-done result
    RegexHolder c(u"(a|aa)*b");
    int64_t saved = regex_backtrack_budget;
    regex_backtrack_budget = 10000;
    std::u16string text = u"b" + std::u16string(3000, u'x') + std::u16string(40, u'a') + u"xb";
    EXPECT_EQ(regex_replace_str(c.get(), text.c_str(), u"-", 1, buf, 1024, nullptr, nullptr), nullptr);
    regex_backtrack_budget = saved;
}

TEST(RegexReplace, CopyRange) {
    RegexStrSubject s;
    RegexPositionOps ops;
    regex_init_str_ops(&ops, &s, u"a\r\nb😀c");
    char16_t out[16] = {};
    char16_t* e = regex_copy_range(out, &ops, RegexPos{0, 0}, 6);
    EXPECT_EQ(e - out, 6);
    EXPECT_EQ(std::u16string(out, 6), u"a\r\nb😀");
    RegexHolder g(u"(b.)");
    ASSERT_EQ(find_in(g.get(), u"a\r\nb😀c").result, 1);
    int64_t n =
        regex_expand_template(&ops, g.get()->match_start, g.get()->match_end, u"[$1]", g.get(), nullptr);
    EXPECT_EQ(n, 6);
    char16_t x[8];
    regex_expand_template(&ops, g.get()->match_start, g.get()->match_end, u"[$1]", g.get(), x);
    EXPECT_EQ(std::u16string(x), u"[b😀]");
}
