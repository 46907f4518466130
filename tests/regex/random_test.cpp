// Random patterns, valid and invalid, under every flag combination over
// random subjects with CR, LF, CR LF, pairs and lone surrogates. Nothing may
// crash; every result must be well formed and the same without the tree
// passes. The seed and the count can be raised by hand: REGEX_RANDOM_SEED,
// REGEX_RANDOM_COUNT.
#include "regex_test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

namespace {

uint32_t env_or(const char* name, uint32_t dflt) {
    const char* v = getenv(name);
    return v ? static_cast<uint32_t>(strtoul(v, nullptr, 10)) : dflt;
}

const char16_t* const tokens[] = {
    u"a",          u"b",         u"x",           u"A",     u"あ",       u"😀",           u"\xD83D",
    u"\xDE00",     u"\r",        u"\n",          u".",     u"*",        u"+",           u"?",
    u"{2}",        u"{1,3}",     u"{,2}",        u"{2,}",  u"{65535}",  u"{65536}",     u"{x}",
    u"{",          u"}",         u"(",           u")",     u"(?:",      u"(?=",         u"(?!",
    u"(?<=",       u"(?<!",      u"(?>",         u"(?<n>", u"(?'m'",    u"(?i)",        u"(?s)",
    u"(?S)",       u"(?w)",      u"(?-i)",       u"(?i:",  u"(?q)",     u"[",           u"]",
    u"[^",         u"a-z",       u"[a-c]",       u"[^x]",  u"[\\d\\W]", u"[[:alpha:]]", u"[z-a]",
    u"|",          u"^",         u"$",           u"\\",    u"\\A",      u"\\z",         u"\\Z",
    u"\\b",        u"\\B",       u"\\K",         u"\\d",   u"\\D",      u"\\s",         u"\\S",
    u"\\w",        u"\\W",       u"\\l",         u"\\f",   u"\\n",      u"\\r",         u"\\t",
    u"\\Q",        u"\\E",       u"\\=A",        u"\\=z",  u"\\=^",     u"\\=$",        u"\\=",
    u"\\k<n>",     u"\\k'm'",    u"\\k",         u"\\g1",  u"\\g{-1}",  u"\\g{11}",     u"\\x41",
    u"\\x{1F600}", u"\\x{D800}", u"\\x{110000}", u"\\1",   u"\\2",      u"\\10",        u"(?1)",
    u"(?R)",       u"(?&n)",     u"(?(1)",       u"(?(R)", u"(?(<n>)",  u"(?(?=a)",     u"(?#c)",
    u"*?",         u"+?",        u"?+",          u"++",    u"{2,}+",    u"(a|aa)*",     u"(?:a*)*",
    u"\xFF21",     u"\x3000",
};
const int token_count = sizeof tokens / sizeof tokens[0];

const char16_t* const subject_parts[] = {u"a",  u"b",  u"A",    u"\xFF41", u"あ", u"😀", u"\xD83D", u"\xDE00",
                                         u"\r", u"\n", u"\r\n", u"x",      u"1",  u" ", u"_",      u"aa"};

bool is_pair_inside(const std::u16string& s, int at) {
    return at > 0 && at < static_cast<int>(s.size()) && utf16_is_low_surrogate(s[at]) &&
           utf16_is_high_surrogate(s[at - 1]);
}
bool is_crlf_inside(const std::u16string& s, int at) {
    return at > 0 && at < static_cast<int>(s.size()) && s[at] == u'\n' && s[at - 1] == u'\r';
}

struct Outcome {
    int result;
    int start, length;
    std::vector<int64_t> groups;
    bool operator==(const Outcome& o) const {
        return result == o.result && start == o.start && length == o.length && groups == o.groups;
    }
};

// A search from a column; with known_length the caller passes the length.
Outcome run(Regex* re, const std::u16string& s, int from, bool known_length) {
    Outcome o{};
    o.result = known_length ? regex_search_str_len(re, s.c_str(), static_cast<int64_t>(s.size()), from,
                                                   &o.start, &o.length)
                            : regex_search_str(re, s.c_str(), from, &o.start, &o.length);
    if (o.result != 1) {
        o.start = o.length = -1;
        return o;
    }
    for (int g = 0; g < re->group_count; ++g) {
        o.groups.push_back(re->groups[g].length < 0 ? -1 : re->groups[g].start.column);
        o.groups.push_back(re->groups[g].length);
    }
    return o;
}

} // namespace

TEST(RegexRandom, PatternsNeverMisbehave) {
    std::mt19937 rng(env_or("REGEX_RANDOM_SEED", 777));
    uint32_t count = env_or("REGEX_RANDOM_COUNT", 400);
    int64_t saved_budget = regex_backtrack_budget;
    regex_backtrack_budget = 20000;
    int compiled = 0, matches = 0;
    for (uint32_t round = 0; round < count; ++round) {
        std::u16string pat;
        int n = 1 + static_cast<int>(rng() % 12);
        for (int k = 0; k < n; ++k) pat += tokens[rng() % token_count];
        if (rng() % 50 == 0) pat = std::u16string(300, u'(') + pat + std::u16string(300, u')');
        std::vector<std::u16string> subjects;
        for (int k = 0; k < 3; ++k) {
            std::u16string s;
            int len = static_cast<int>(rng() % 16);
            for (int j = 0; j < len; ++j) s += subject_parts[rng() % 16];
            subjects.push_back(s);
        }
        if (getenv("REGEX_RANDOM_TRACE")) fprintf(stderr, "%u %s\n", round, narrow(pat).c_str());
        for (int flags = 0; flags < 4; ++flags) {
            int f = flags | ((round % 2) ? REGEX_IGNORE_WIDTH : 0);
            RegexHolder opt(pat.c_str(), f);
            RegexHolder plain(pat.c_str(), f | REGEX_NO_OPTIMIZE);
            if (!opt || !plain) continue;
            ++compiled;
            for (const std::u16string& s : subjects) {
                for (int from = 0; from <= static_cast<int>(s.size()); ++from) {
                    if (is_pair_inside(s, from) || is_crlf_inside(s, from)) continue;
                    Outcome a = run(opt.get(), s, from, false);
                    Outcome b = run(plain.get(), s, from, true);
                    std::string where = "pattern " + narrow(pat) + " flags " + std::to_string(f) +
                                        " subject \"" + narrow(s) + "\" from " + std::to_string(from);
                    ASSERT_TRUE(a.result == 1 || a.result == 0 || a.result == -2) << where;
                    if (a.result != -2 && b.result != -2) {
                        ASSERT_EQ(a.result, b.result) << where;
                        ASSERT_EQ(a.start, b.start) << where;
                        ASSERT_EQ(a.length, b.length) << where;
                        ASSERT_EQ(a.groups, b.groups) << where;
                    }
                    if (a.result != 1) continue;
                    ++matches;
                    int end = a.start + a.length;
                    ASSERT_GE(a.start, from) << where;
                    ASSERT_LE(end, static_cast<int>(s.size())) << where;
                    ASSERT_GE(a.length, 0) << where;
                    ASSERT_FALSE(is_pair_inside(s, a.start)) << where;
                    ASSERT_FALSE(is_pair_inside(s, end)) << where;
                    ASSERT_FALSE(is_crlf_inside(s, end) && a.length > 0) << where;
                    ASSERT_FALSE(is_crlf_inside(s, a.start) && a.length == 0) << where;
                    // no group boundary rests inside a pair, nor a non-empty
                    // group's start on the CR of a CR LF
                    for (size_t g = 0; g < a.groups.size(); g += 2) {
                        int gs = static_cast<int>(a.groups[g]), gl = static_cast<int>(a.groups[g + 1]);
                        if (gl < 0) continue;
                        ASSERT_FALSE(is_pair_inside(s, gs) || is_pair_inside(s, gs + gl)) << where;
                        ASSERT_FALSE(gl > 0 && is_crlf_inside(s, gs + 1)) << where << " group " << g / 2 + 1;
                        ASSERT_FALSE(gl > 0 && is_crlf_inside(s, gs + gl)) << where << " group " << g / 2 + 1;
                    }
                }
                char16_t buf[64];
                char16_t* ra = regex_replace_str(opt.get(), s.c_str(), u"<$&>", 1, buf, 64, nullptr, nullptr);
                std::u16string sa = ra ? std::u16string(ra) : u"<null>";
                if (ra && ra != buf && ra != s.c_str()) free(ra);
                char16_t* rb =
                    regex_replace_str(plain.get(), s.c_str(), u"<$&>", 1, buf, 64, nullptr, nullptr);
                std::u16string sb = rb ? std::u16string(rb) : u"<null>";
                if (rb && rb != buf && rb != s.c_str()) free(rb);
                if (ra && rb) {
                    ASSERT_EQ(narrow(sa), narrow(sb)) << narrow(pat) << " on " << narrow(s);
                    // every unit of the subject is kept, in order
                    size_t k = 0;
                    for (char16_t c : sa)
                        if (k < s.size() && c == s[k]) ++k;
                    ASSERT_EQ(k, s.size()) << narrow(pat) << " on " << narrow(s);
                }
            }
        }
    }
    regex_backtrack_budget = saved_budget;
    EXPECT_GT(compiled, 50);
    EXPECT_GT(matches, 50);
}
