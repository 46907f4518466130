// The skip-table literal search, literal patterns, replacement templates and
// replace-all.
#include "regex_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

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

// Longer texts and literals, so that whole blocks of windows are scanned
// at once, with the literal often taken from the text itself.
TEST(RegexLiteral, LongTextsAgreeWithNaiveSearch) {
    std::mt19937 rng(777);
    const char16_t alphabet[] = {u'a',   u'A',   u'b',   u'z',   u'Z',  u' ',  u'テ',  u'ー', u'名',
                                 0xFF21, 0xFF41, 0xFF3A, 0xFF5A, u'\r', u'\n', 0xD83D, 0xDE00};
    for (int round = 0; round < 2000; ++round) {
        bool icase = round % 2;
        int kinds = 3 + static_cast<int>(rng() % 15);
        std::u16string text;
        int n = static_cast<int>(rng() % 300);
        for (int k = 0; k < n; ++k) text += alphabet[rng() % kinds];
        std::u16string lit;
        int m = 1 + static_cast<int>(rng() % 40);
        if (rng() % 3 && n > 0) {
            size_t at = rng() % text.size();
            lit = text.substr(at, static_cast<size_t>(m));
            if (rng() % 2 && !lit.empty()) lit[rng() % lit.size()] ^= 0x20; // the other case, or a miss
        } else {
            for (int k = 0; k < m; ++k) lit += alphabet[rng() % kinds];
        }
        int64_t count =
            static_cast<int64_t>(text.size()) - (rng() % 4 ? 0 : static_cast<int64_t>(rng() % 20));
        if (count < 0) count = 0;
        LiteralSearcher* s = literal_searcher_create(lit.c_str(), static_cast<int64_t>(lit.size()), icase);
        // every occurrence in turn, each search starting past the last
        int64_t from = 0;
        for (;;) {
            const char16_t* r = literal_searcher_search(s, text.c_str() + from, count - from);
            int64_t want = naive(lit, text.substr(static_cast<size_t>(from)), count - from, icase);
            int64_t got = r ? r - (text.c_str() + from) : -1;
            ASSERT_EQ(got, want) << narrow(lit) << " in " << narrow(text) << " from " << from << " count "
                                 << count << (icase ? " folding" : "");
            if (got < 0) break;
            from += got + 1;
        }
        literal_searcher_destroy(s);
    }
}

// A pattern that begins with plain characters finds the places where they
// stand before running the matcher: it must find what a search trying every
// position finds ((?!\z) makes the search try every position).
TEST(RegexLiteral, LeadingCharactersAgreeWithEveryPosition) {
    std::mt19937 rng(4242);
    const char16_t* pieces[] = {u"テ", u"ー", u"ブ", u"a", u"b", u"😀", u"\r", u"\n", u" ", u"名"};
    const char16_t* tails[] = {u"", u"(x|y)?", u".", u"\\d*", u"(?=b)", u"$", u"\\b", u"b+?"};
    for (int round = 0; round < 400; ++round) {
        std::u16string lit;
        int m = 1 + static_cast<int>(rng() % 5);
        for (int k = 0; k < m; ++k) lit += pieces[rng() % 10];
        std::u16string pat = lit + tails[rng() % 8];
        std::u16string text;
        int n = static_cast<int>(rng() % 60);
        for (int k = 0; k < n; ++k) text += rng() % 4 ? pieces[rng() % 10] : u"x";
        if (rng() % 2) text += lit;
        RegexHolder fast(pat.c_str(), 0), every((u"(?!\\z)" + pat).c_str(), 0);
        ASSERT_TRUE(fast && every) << narrow(pat);
        EXPECT_EQ(every.get()->strategy, REGEX_STRATEGY_ANY);
        for (int from = 0; from <= static_cast<int>(text.size()); ++from) {
            ASSERT_EQ(find_in(fast.get(), text.c_str(), from), find_in(every.get(), text.c_str(), from))
                << narrow(pat) << " in " << narrow(text) << " from " << from;
        }
    }
}

// The length of a plain-string subject is found without reading past the
// page its terminator lies on.
TEST(RegexLiteral, SubjectEndingAtAPage) {
    const long page = sysconf(_SC_PAGESIZE);
    void* mem = mmap(nullptr, static_cast<size_t>(2 * page), PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mem, MAP_FAILED);
    char* base = static_cast<char*>(mem);
    ASSERT_EQ(mprotect(base + page, static_cast<size_t>(page), PROT_NONE), 0);
    RegexHolder h(u"b", 0);
    for (int len = 0; len < 70; ++len) {
        auto* text = reinterpret_cast<char16_t*>(base + page) - (len + 1);
        for (int k = 0; k < len; ++k) text[k] = k == len - 1 ? u'b' : u'a';
        text[len] = 0;
        EXPECT_EQ(find_in(h.get(), text), len ? (Found{1, len - 1, 1}) : (Found{0, -1, -1})) << len;
    }
    munmap(mem, static_cast<size_t>(2 * page));
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
    // a named reference finds only a named group
    EXPECT_EQ(replace(u"(a)(?<x>b)", u"ab", u"[$+{}|$+{x}]", 0), u"[|b]");
    EXPECT_EQ(replace(u"(a)(?<x>b)(c)", u"abc", u"[$+{}]", 0), u"[]");
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

// The search of a NUL-terminated text finds what the search of the counted
// text finds, whatever the text's alignment, with folding, pairs and
// windows that would begin before the text or end past it.
TEST(RegexLiteral, TerminatedSearchAgreesWithCountedSearch) {
    std::mt19937 rng(9001);
    const char16_t alphabet[] = {u'a', u'b', u'A', u'B', u'-', u'あ', 0xFF21, 0xFF41, 0xD83D, 0xDE00, u'\n'};
    alignas(16) char16_t buffer[128];
    for (int round = 0; round < 6000; ++round) {
        bool icase = round % 2;
        int kinds = 2 + static_cast<int>(rng() % 10);
        auto gen = [&](int n) {
            std::u16string s;
            for (int k = 0; k < n; ++k) s += alphabet[rng() % kinds];
            return s;
        };
        std::u16string lit = gen(1 + static_cast<int>(rng() % 5));
        std::u16string text = gen(static_cast<int>(rng() % 60));
        if (rng() % 3 && !text.empty()) text.insert(rng() % text.size(), lit);
        if (rng() % 4 == 0) text += lit.substr(0, rng() % lit.size()); // cut off by the terminator
        if (text.size() > 100) text.resize(100);
        size_t shift = rng() % 8;
        std::fill(std::begin(buffer), std::end(buffer), lit[0]); // beside the text: what the probe looks for
        std::copy(text.begin(), text.end(), buffer + shift);
        buffer[shift + text.size()] = 0;
        const char16_t* t = buffer + shift;
        LiteralSearcher* s = literal_searcher_create(lit.c_str(), static_cast<int64_t>(lit.size()), icase);
        const char16_t* want = literal_searcher_search(s, t, static_cast<int64_t>(text.size()));
        const char16_t* got = literal_searcher_find(s, t);
        literal_searcher_destroy(s);
        ASSERT_EQ(got ? got - t : -1, want ? want - t : -1)
            << narrow(lit) << " in " << narrow(text) << " at " << shift << (icase ? " folding" : "");
    }
    // an empty literal is found at the start; one holding a 0 unit never
    // within a terminated text
    LiteralSearcher* empty = literal_searcher_create(u"", 0, 0);
    const char16_t* abc = u"abc";
    EXPECT_EQ(literal_searcher_find(empty, abc), abc);
    literal_searcher_destroy(empty);
    const char16_t zeroed[] = {u'b', 0, u'c'};
    LiteralSearcher* z = literal_searcher_create(zeroed, 3, 0);
    EXPECT_EQ(literal_searcher_find(z, u"abcabc"), nullptr);
    literal_searcher_destroy(z);
}

// The terminated search reads no page beyond the one its terminator is on.
TEST(RegexLiteral, TerminatedSearchEndingAtAPage) {
    const long page = sysconf(_SC_PAGESIZE);
    void* mem = mmap(nullptr, static_cast<size_t>(2 * page), PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mem, MAP_FAILED);
    char* base = static_cast<char*>(mem);
    ASSERT_EQ(mprotect(base + page, static_cast<size_t>(page), PROT_NONE), 0);
    LiteralSearcher* s = literal_searcher_create(u"xy", 2, 1);
    for (int len = 0; len < 40; ++len) {
        auto* text = reinterpret_cast<char16_t*>(base + page) - (len + 1);
        for (int k = 0; k < len; ++k) text[k] = u'a';
        if (len >= 2) text[len - 2] = u'X', text[len - 1] = u'y';
        text[len] = 0;
        const char16_t* r = literal_searcher_find(s, text);
        EXPECT_EQ(r ? r - text : -1, len >= 2 ? len - 2 : -1) << len;
    }
    literal_searcher_destroy(s);
    munmap(mem, static_cast<size_t>(2 * page));
}
