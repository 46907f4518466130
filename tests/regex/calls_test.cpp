// Subroutine calls: nested calls that return at one position, recursive
// grammars, and calls in other positions, each checked against PCRE2 over
// every start of many generated subjects.
#include "regex_test_util.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

struct Reference {
    pcre2_code* code = nullptr;
    pcre2_match_data* md = nullptr;
    explicit Reference(const std::u16string& p) {
        int err;
        PCRE2_SIZE off;
        code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(p.c_str()), p.size(),
                             PCRE2_UTF | PCRE2_MULTILINE | PCRE2_ALT_CIRCUMFLEX | PCRE2_NO_AUTO_POSSESS |
                                 PCRE2_NO_START_OPTIMIZE,
                             &err, &off, nullptr);
        if (code) md = pcre2_match_data_create_from_pattern(code, nullptr);
    }
    ~Reference() {
        pcre2_match_data_free(md);
        pcre2_code_free(code);
    }
};

// Compares every search from every start of subject with the reference:
// the match and each group's capture.
void expect_same(const std::u16string& pattern, const std::u16string& subject) {
    Reference ref(pattern);
    ASSERT_NE(ref.code, nullptr) << narrow(pattern);
    RegexHolder ours(pattern.c_str());
    ASSERT_TRUE(ours) << narrow(pattern);
    for (size_t off = 0; off <= subject.size(); ++off) {
        Found f = find_in(ours.get(), subject.c_str(), static_cast<int>(off));
        int pr = pcre2_match(ref.code, reinterpret_cast<PCRE2_SPTR>(subject.c_str()), subject.size(), off, 0,
                             ref.md, nullptr);
        std::string where = narrow(pattern) + " on \"" + narrow(subject) + "\" from " + std::to_string(off);
        ASSERT_TRUE(pr > 0 || pr == PCRE2_ERROR_NOMATCH) << where << ": " << pr;
        ASSERT_EQ(f.result == 1, pr > 0) << where;
        if (pr <= 0) continue;
        PCRE2_SIZE* ov = pcre2_get_ovector_pointer(ref.md);
        ASSERT_EQ(f.start, static_cast<int>(ov[0])) << where;
        ASSERT_EQ(f.length, static_cast<int>(ov[1] - ov[0])) << where;
        for (int k = 0; k < ours.get()->group_count; ++k) {
            const RegexGroup& g = ours.get()->groups[k];
            bool unset = k + 1 >= pr || ov[2 * (k + 1)] == PCRE2_UNSET;
            ASSERT_EQ(g.length < 0, unset) << where << " group " << k + 1;
            if (unset) continue;
            ASSERT_EQ(g.start.column, static_cast<int64_t>(ov[2 * (k + 1)])) << where << " group " << k + 1;
            ASSERT_EQ(g.length, static_cast<int64_t>(ov[2 * (k + 1) + 1] - ov[2 * (k + 1)]))
                << where << " group " << k + 1;
        }
    }
}

} // namespace

TEST(RegexCalls, NestedCallsReturningAtOnePosition) {
    // a comma list: each call's optional tail returns where the enclosing
    // call returns too
    RegexHolder list(u"(?<n>\\d(?:,(?&n))?)");
    ASSERT_TRUE(list);
    EXPECT_EQ(find_in(list.get(), u"1,2,3"), (Found{1, 0, 5}));
    EXPECT_EQ(list.get()->groups[0].start.column, 0);
    EXPECT_EQ(list.get()->groups[0].length, 5);
    EXPECT_EQ(find_in(list.get(), u"1,2,3,44,5"), (Found{1, 0, 7}));
    // tail-recursive grammars
    EXPECT_EQ(find(u"(a|b(?1))", u"bba"), (Found{1, 0, 3}));
    EXPECT_EQ(find(u"a|b(?R)", u"bba"), (Found{1, 0, 3}));
    EXPECT_EQ(find(u"a|b(?R)", u"bbbbbbba"), (Found{1, 0, 8}));
    EXPECT_EQ(find(u"(?<p>a|b(?&p)|c(?&p))", u"bca"), (Found{1, 0, 3}));
    // calls in other positions keep their answers
    EXPECT_EQ(find(u"(a(?1)?b)", u"xaabb"), (Found{1, 1, 4}));
    EXPECT_EQ(match_text(u"\\((?:[^()]|(?R))*\\)", u"x((a)(b(c)))"), u"((a)(b(c)))");
    // a loop whose body matches nothing still stops
    EXPECT_EQ(find(u"(?:(a?)(?1))*b", u"aab"), (Found{1, 0, 3}));
    EXPECT_EQ(find(u"(?:()(?1))*b", u"b"), (Found{1, 0, 1}));
}

TEST(RegexCalls, AgreeWithPcre2) {
    struct Case {
        const char16_t* pattern;
        const char16_t* alphabet;
    };
    const Case cases[] = {
        {u"(?<n>\\d(?:,(?&n))?)", u"12,,x"},
        {u"(a|b(?1))", u"abx"},
        {u"a|b(?R)", u"abx"},
        {u"(?<p>a|b(?&p)|c(?&p))", u"abcx"},
        {u"(a(?1)?b)", u"abx"},
        {u"\\((?:[^()]|(?R))*\\)", u"()ax"},
        {u"(\\w+)=(?:(?1)(?:,(?1))*)?;", u"ab=,;"},
        {u"x(?1)y(a|b)", u"xyab"},
        {u"(a|b)x(?1)y", u"xyab"},
        {u"(?:(a)|b)(?1)+c", u"abc"},
        {u"^(\\[(?:[^\\[\\]]|(?1))*\\])$", u"[]a"},
        {u"(\\d+)(?:-(?1))*", u"12-"},
        {u"<(?<t>\\w)(?:[^<>]|<(?&t)>)*>", u"<>ab"},
        {u"(a(?:b(?1))?c)", u"abc"},
    };
    std::mt19937 rng(2411);
    for (const Case& c : cases) {
        std::u16string alphabet(c.alphabet);
        for (int round = 0; round < 60; ++round) {
            std::u16string s;
            int n = static_cast<int>(rng() % 12);
            for (int k = 0; k < n; ++k) s += alphabet[rng() % alphabet.size()];
            expect_same(c.pattern, s);
            if (HasFatalFailure()) return;
        }
    }
}
