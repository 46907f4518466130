// Positions at CR LF line breaks: group boundaries, \K, the match range and
// look-behinds, on plain strings and on a subject of several lines whose
// line breaks are presented as a CR LF text of their own.
#include "regex_test_util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Group {
    int64_t start, length;
    bool operator==(const Group& o) const { return start == o.start && length == o.length; }
};

std::vector<Group> groups_of(const Regex* re) {
    std::vector<Group> out;
    for (int k = 0; k < re->group_count; ++k)
        out.push_back({re->groups[k].length < 0 ? -1 : re->groups[k].start.column, re->groups[k].length});
    return out;
}

std::u16string replace(const char16_t* pattern, const char16_t* text, const char16_t* tmpl) {
    RegexHolder h(pattern);
    char16_t buf[256];
    char16_t* r = regex_replace_str(h.get(), text, tmpl, 1, buf, 256, nullptr, nullptr);
    if (!r) return u"<null>";
    std::u16string s(r);
    if (r != buf && r != text) free(r);
    return s;
}

// Lines whose line break reads as a CR LF text: the CR at the line's
// length, the LF one column after it.
struct CrLfLines {
    std::vector<std::u16string> lines;
    int64_t len(int64_t l) const { return static_cast<int64_t>(lines[l].size()); }
    bool last(int64_t l) const { return l + 1 == static_cast<int64_t>(lines.size()); }
    int64_t offset(const RegexPos& p) const {
        int64_t n = 0;
        for (int64_t l = 0; l < p.line; ++l) n += len(l) + 2;
        return n + p.column;
    }
};

CrLfLines* S(void* c) {
    return static_cast<CrLfLines*>(c);
}

const char16_t crlf[3] = {u'\r', u'\n', 0};
const char16_t nothing[1] = {0};

const char16_t* char_at(void* c, const RegexPos* p) {
    CrLfLines* s = S(c);
    if (p->line < 0 || p->line >= static_cast<int64_t>(s->lines.size())) return nothing;
    if (p->column < s->len(p->line) || s->last(p->line)) return s->lines[p->line].c_str() + p->column;
    return crlf + (p->column - s->len(p->line));
}
const char16_t* line_text(void* c, int64_t line, int64_t* length) {
    CrLfLines* s = S(c);
    if (line < 0 || line >= static_cast<int64_t>(s->lines.size())) return nullptr;
    *length = s->len(line);
    if (s->lines[line].empty() && !s->last(line)) return crlf;
    return s->lines[line].c_str();
}
const char16_t* next_char(void* c, RegexPos* p) {
    CrLfLines* s = S(c);
    if (p->column < s->len(p->line)) {
        int u;
        utf16_decode(s->lines[p->line].c_str() + p->column, &u);
        p->column += u;
    } else if (!s->last(p->line)) {
        p->line++;
        p->column = 0;
    }
    return char_at(c, p);
}
const char16_t* prev_char(void* c, RegexPos* p) {
    CrLfLines* s = S(c);
    if (p->column > s->len(p->line)) {
        p->column = s->len(p->line); // from the LF of the break to the character before it
    }
    if (p->column > 0) {
        const char16_t* t = s->lines[p->line].c_str();
        p->column -= (p->column >= 2 && utf16_is_low_surrogate(t[p->column - 1]) &&
                      utf16_is_high_surrogate(t[p->column - 2]))
                         ? 2
                         : 1;
    } else if (p->line > 0) {
        p->line--;
        p->column = s->len(p->line) + 1;
    } else {
        return nothing;
    }
    return char_at(c, p);
}
const char16_t* next_line(void* c, RegexPos* p) {
    CrLfLines* s = S(c);
    if (s->last(p->line)) return nullptr;
    p->line++;
    p->column = 0;
    return char_at(c, p);
}
int64_t distance(void* c, const RegexPos* a, const RegexPos* b) {
    return S(c)->offset(*b) - S(c)->offset(*a);
}
int at_line_start(void*, const RegexPos* p) {
    return p->column == 0;
}

struct LinesHit {
    int result;
    RegexPos start, end;
    std::vector<RegexGroup> groups;
};

LinesHit search_lines(Regex* re, CrLfLines& text, RegexPositionOps* ops) {
    *ops = RegexPositionOps{&text,    char_at,       line_text, next_char, prev_char, next_line,
                            distance, at_line_start, nullptr,   nullptr,   nullptr,   nullptr};
    LinesHit h{0, {0, 0}, {-1, -1}, {}};
    h.result = regex_search(re, ops, &h.start, &h.end, RegexPos{-1, -1});
    for (int k = 0; k < re->group_count; ++k) h.groups.push_back(re->groups[k]);
    return h;
}

bool at(const RegexPos& p, int64_t line, int64_t column) {
    return p.line == line && p.column == column;
}

} // namespace

TEST(RegexCrLf, GroupsAndKeepOnPlainStrings) {
    struct Case {
        const char16_t* pattern;
        const char16_t* text;
        Found match;
        std::vector<Group> groups;
    };
    const Case cases[] = {
        // a group opening at a CR LF opens at its LF, as the match does
        {u"(\\n)", u"a\r\nb", {1, 2, 1}, {{2, 1}}},
        {u"(\\n)", u"\r\n", {1, 1, 1}, {{1, 1}}},
        {u"a(\\nb)", u"xa\r\nb", {1, 1, 4}, {{3, 2}}},
        {u"(a)(\\n)(b)", u"a\r\nb", {1, 0, 4}, {{0, 1}, {2, 1}, {3, 1}}},
        {u"((\\n)+)", u"x\r\n\r\ny", {1, 2, 3}, {{2, 3}, {4, 1}}},
        {u"(\\n)\\1", u"\r\n\r\n", {1, 1, 3}, {{1, 1}}},
        {u"(?:(\\n)|x)+", u"x\r\n", {1, 0, 3}, {{2, 1}}},
        {u"(?<n>\\n)\\k<n>", u"a\r\n\r\nb", {1, 2, 3}, {{2, 1}}},
        // ends before a CR LF stay before the CR, empty groups there too
        {u"(a)", u"a\r\n", {1, 0, 1}, {{0, 1}}},
        {u"a()\\n", u"a\r\nb", {1, 0, 3}, {{1, 0}}},
        {u"a(\\n?)$", u"a\r\n", {1, 0, 3}, {{2, 1}}},
        {u"a(\\n?\?)$", u"a\r\n", {1, 0, 1}, {{1, 0}}},
        {u"(a$)", u"a\r\nb", {1, 0, 1}, {{0, 1}}},
        // \K at a CR LF
        {u"a\\K\\n", u"a\r\nb", {1, 2, 1}, {}},
        {u"a\\K", u"a\r\nb", {1, 1, 0}, {}},
        {u"a\\K(\\nb)", u"a\r\nb", {1, 2, 2}, {{2, 2}}},
        {u"\\n\\K(b)", u"a\r\nb", {1, 3, 1}, {{3, 1}}},
    };
    for (const Case& c : cases) {
        RegexHolder h(c.pattern);
        ASSERT_TRUE(h) << narrow(c.pattern);
        EXPECT_EQ(find_in(h.get(), c.text), c.match) << narrow(c.pattern) << " on " << narrow(c.text);
        EXPECT_EQ(groups_of(h.get()), c.groups) << narrow(c.pattern) << " on " << narrow(c.text);
    }
    // the replacement inserts the LF alone, the CR stays in the copied text
    EXPECT_EQ(replace(u"(\\n)", u"a\r\nb", u"[$1]"), u"a\r[\n]b");
    EXPECT_EQ(replace(u"(\\n)", u"a\nb", u"[$1]"), u"a[\n]b");
    EXPECT_EQ(replace(u"(b\\n)", u"ab\r\nc", u"[$1]"), u"a[b\r\n]c");
    EXPECT_EQ(replace(u"\\n", u"a\r\nb\r\n", u"<$&>"), u"a\r<\n>b\r<\n>");
}

TEST(RegexCrLf, LookBehindsAfterALineBreak) {
    // a CR LF that opens the subject has no character before it
    EXPECT_EQ(find(u"(?<=\\n.).", u"\r\nab"), (Found{1, 3, 1}));
    EXPECT_EQ(find(u"(?<=\\n.).", u"\nab"), (Found{1, 2, 1}));
    EXPECT_EQ(find(u"(?s)(?<=..)a", u"\r\na").result, 0);
    EXPECT_EQ(find(u"(?s)(?<=..)a", u"\na").result, 0);
    EXPECT_EQ(find(u"(?s)(?<=.)a", u"\r\na"), (Found{1, 2, 1}));
    EXPECT_EQ(find(u"(?<!.)\\n", u"\r\n"), (Found{1, 1, 1}));
    // anchors at the LF of that CR LF answer as at the start
    EXPECT_EQ(find(u"(?<=^\\n)a", u"\r\na"), (Found{1, 2, 1}));
    EXPECT_EQ(find(u"(?<=\\A\\n)a", u"\r\na"), (Found{1, 2, 1}));
    EXPECT_EQ(find(u"(?<=\\b\\n)a", u"\r\na").result, 0);
    EXPECT_EQ(find(u"^\\n", u"\r\na", 0, 1), (Found{1, 1, 1}));
    // stepping back over a CR LF passes a surrogate pair before it whole
    EXPECT_EQ(find(u"(?<=😀\\n).", u"😀\r\nx"), (Found{1, 4, 1}));
    EXPECT_EQ(find(u"(?<!😀\\n)x", u"😀\r\nx").result, 0);
    // look-behinds in the middle of a CR LF subject
    EXPECT_EQ(find(u"(?<=b\\n)c", u"ab\r\nc"), (Found{1, 4, 1}));
    EXPECT_EQ(find(u"(?<=\\n)\\n", u"a\r\n\r\n"), (Found{1, 4, 1}));
    EXPECT_EQ(find(u"(?<=a)\\n", u"a\r\n"), (Found{1, 2, 1}));
}

TEST(RegexCrLf, MultiLineSubject) {
    CrLfLines t{{u"ab", u"", u"cd"}};
    RegexPositionOps ops;
    {
        RegexHolder h(u"(\\n)");
        LinesHit r = search_lines(h.get(), t, &ops);
        ASSERT_EQ(r.result, 1);
        EXPECT_TRUE(at(r.start, 0, 3));
        EXPECT_TRUE(at(r.end, 1, 0));
        EXPECT_TRUE(at(r.groups[0].start, 0, 3));
        EXPECT_EQ(r.groups[0].length, 1);
        char16_t out[16];
        regex_expand_template(&ops, r.start, r.end, u"[$1]", h.get(), out);
        EXPECT_EQ(std::u16string(out), u"[\n]");
    }
    {
        RegexHolder h(u"(b)(\\n)(\\n)(c)");
        LinesHit r = search_lines(h.get(), t, &ops);
        ASSERT_EQ(r.result, 1);
        EXPECT_TRUE(at(r.start, 0, 1));
        EXPECT_TRUE(at(r.groups[1].start, 0, 3));
        EXPECT_EQ(r.groups[1].length, 1);
        EXPECT_TRUE(at(r.groups[2].start, 1, 1));
        EXPECT_EQ(r.groups[2].length, 1);
        EXPECT_TRUE(at(r.groups[3].start, 2, 0));
    }
    {
        RegexHolder h(u"b()\\n\\K\\n");
        LinesHit r = search_lines(h.get(), t, &ops);
        ASSERT_EQ(r.result, 1);
        EXPECT_TRUE(at(r.start, 1, 1));
        EXPECT_TRUE(at(r.end, 2, 0));
        EXPECT_TRUE(at(r.groups[0].start, 0, 2));
        EXPECT_EQ(r.groups[0].length, 0);
    }
    {
        RegexHolder h(u"(?<=b\\n\\n)c");
        LinesHit r = search_lines(h.get(), t, &ops);
        ASSERT_EQ(r.result, 1);
        EXPECT_TRUE(at(r.start, 2, 0));
    }
    {
        RegexHolder h(u"(?<=\\n.)d");
        LinesHit r = search_lines(h.get(), t, &ops);
        ASSERT_EQ(r.result, 1);
        EXPECT_TRUE(at(r.start, 2, 1));
    }
}
