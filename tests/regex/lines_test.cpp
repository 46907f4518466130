// Searches over a subject of several lines whose line breaks are presented as
// a text of their own (as the editor's text buffer does).
#include "regex_test_util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char16_t line_break[2] = {u'\n', 0};
const char16_t nothing[1] = {0};

struct Lines {
    std::vector<std::u16string> lines;
    int64_t len(int64_t l) const { return static_cast<int64_t>(lines[l].size()); }
    bool last(int64_t l) const { return l + 1 == static_cast<int64_t>(lines.size()); }
};

Lines* L(void* c) {
    return static_cast<Lines*>(c);
}

const char16_t* char_at(void* c, const RegexPos* p) {
    Lines* s = L(c);
    if (p->line < 0 || p->line >= static_cast<int64_t>(s->lines.size())) return nothing;
    if (p->column < s->len(p->line) || s->last(p->line)) return s->lines[p->line].c_str() + p->column;
    return line_break;
}
const char16_t* line_text(void* c, int64_t line, int64_t* length) {
    Lines* s = L(c);
    if (line < 0 || line >= static_cast<int64_t>(s->lines.size())) return nullptr;
    *length = s->len(line);
    if (s->lines[line].empty() && !s->last(line)) return line_break;
    return s->lines[line].c_str();
}
const char16_t* next_char(void* c, RegexPos* p) {
    Lines* s = L(c);
    const char16_t* t = s->lines[p->line].c_str();
    if (p->column < s->len(p->line)) {
        int u;
        utf16_decode(t + p->column, &u);
        p->column += u;
    } else if (!s->last(p->line)) {
        p->line++;
        p->column = 0;
    }
    return char_at(c, p);
}
const char16_t* prev_char(void* c, RegexPos* p) {
    Lines* s = L(c);
    if (p->column > 0) {
        const char16_t* t = s->lines[p->line].c_str();
        p->column -= (p->column >= 2 && utf16_is_low_surrogate(t[p->column - 1]) &&
                      utf16_is_high_surrogate(t[p->column - 2]))
                         ? 2
                         : 1;
    } else if (p->line > 0) {
        p->line--;
        p->column = s->len(p->line);
    } else {
        return nothing;
    }
    return char_at(c, p);
}
const char16_t* next_line(void* c, RegexPos* p) {
    Lines* s = L(c);
    if (s->last(p->line)) return nullptr;
    p->line++;
    p->column = 0;
    return char_at(c, p);
}
int64_t distance(void* c, const RegexPos* a, const RegexPos* b) {
    Lines* s = L(c);
    if (a->line == b->line) return b->column - a->column;
    int64_t n = s->len(a->line) - a->column + 1;
    for (int64_t l = a->line + 1; l < b->line; ++l) n += s->len(l) + 1;
    return n + b->column;
}
int at_line_start(void*, const RegexPos* p) {
    return p->column == 0;
}

struct Hit {
    int result;
    int64_t l0, c0, l1, c1;
    bool operator==(const Hit& o) const {
        return result == o.result && l0 == o.l0 && c0 == o.c0 && l1 == o.l1 && c1 == o.c1;
    }
};

Hit search(const char16_t* pattern, Lines& text, RegexPos from, RegexPos limit = {-1, -1}, int flags = 0) {
    RegexPositionOps ops{&text,    char_at,       line_text, next_char, prev_char, next_line,
                         distance, at_line_start, nullptr,   nullptr,   nullptr,   nullptr};
    RegexHolder h(pattern, flags);
    if (!h) return {-99, 0, 0, 0, 0};
    RegexPos end{-1, -1};
    int r = regex_search(h.get(), &ops, &from, &end, limit);
    if (r != 1) return {r, -1, -1, -1, -1};
    return {1, from.line, from.column, end.line, end.column};
}

} // namespace

TEST(RegexLines, SearchesAcrossLines) {
    Lines t{{u"ab", u"", u"xcab", u"end"}};
    for (int flags : {0, static_cast<int>(REGEX_NO_OPTIMIZE)}) {
        EXPECT_EQ(search(u"b", t, {0, 0}, {-1, -1}, flags), (Hit{1, 0, 1, 0, 2}));
        EXPECT_EQ(search(u"b", t, {0, 2}, {-1, -1}, flags), (Hit{1, 2, 3, 2, 4}));
        EXPECT_EQ(search(u"cab", t, {0, 2}, {-1, -1}, flags), (Hit{1, 2, 1, 2, 4}));
        EXPECT_EQ(search(u"\\n", t, {0, 0}, {-1, -1}, flags), (Hit{1, 0, 2, 1, 0}));
        EXPECT_EQ(search(u"\\n\\n", t, {0, 0}, {-1, -1}, flags), (Hit{1, 0, 2, 2, 0}));
        EXPECT_EQ(search(u"^x", t, {0, 1}, {-1, -1}, flags), (Hit{1, 2, 0, 2, 1}));
        EXPECT_EQ(search(u"^$", t, {0, 0}, {-1, -1}, flags), (Hit{1, 1, 0, 1, 0}));
        EXPECT_EQ(search(u"[c-e]+", t, {1, 0}, {-1, -1}, flags), (Hit{1, 2, 1, 2, 2}));
        EXPECT_EQ(search(u"\\bend", t, {0, 0}, {-1, -1}, flags), (Hit{1, 3, 0, 3, 3}));
        EXPECT_EQ(search(u"b\\n\\nx", t, {0, 0}, {-1, -1}, flags), (Hit{1, 0, 1, 2, 1}));
        EXPECT_EQ(search(u"(?<=b\\n\\n)x", t, {0, 0}, {-1, -1}, flags), (Hit{1, 2, 0, 2, 1}));
        EXPECT_EQ(search(u"d$", t, {0, 0}, {-1, -1}, flags), (Hit{1, 3, 2, 3, 3}));
        EXPECT_EQ(search(u"b\\Z", t, {0, 0}, {-1, -1}, flags).result, 0);
        // a limit stops the search on its line
        EXPECT_EQ(search(u"cab", t, {0, 0}, {1, 0}, flags).result, 0);
        EXPECT_EQ(search(u"x", t, {1, 0}, {2, 0}, flags), (Hit{1, 2, 0, 2, 1}));
        EXPECT_EQ(search(u"e", t, {1, 0}, {2, 3}, flags).result, 0);
        // a search starting at an empty line or at a line end
        EXPECT_EQ(search(u"x", t, {1, 0}, {-1, -1}, flags), (Hit{1, 2, 0, 2, 1}));
        EXPECT_EQ(search(u"[x]", t, {0, 2}, {-1, -1}, flags), (Hit{1, 2, 0, 2, 1}));
        EXPECT_EQ(search(u"\\bx", t, {0, 2}, {-1, -1}, flags), (Hit{1, 2, 0, 2, 1}));
        // runs of one character end at a line's end
        EXPECT_EQ(search(u"b.*", t, {0, 0}, {-1, -1}, flags), (Hit{1, 0, 1, 0, 2}));
        EXPECT_EQ(search(u"[a-z]+\\n", t, {0, 0}, {-1, -1}, flags), (Hit{1, 0, 0, 1, 0}));
        EXPECT_EQ(search(u"a[^z]*?\\n\\n", t, {0, 0}, {-1, -1}, flags), (Hit{1, 0, 0, 2, 0}));
        EXPECT_EQ(search(u"a.*$", t, {0, 0}, {-1, -1}, flags), (Hit{1, 0, 0, 0, 2}));
        EXPECT_EQ(search(u"c.*?b$", t, {0, 0}, {-1, -1}, flags), (Hit{1, 2, 1, 2, 4}));
    }
    // template references over lines
    RegexPositionOps ops{&t,       char_at,       line_text, next_char, prev_char, next_line,
                         distance, at_line_start, nullptr,   nullptr,   nullptr,   nullptr};
    RegexHolder h(u"(b\\n)\\n(x)");
    RegexPos s{0, 0}, e{0, 0};
    ASSERT_EQ(regex_search(h.get(), &ops, &s, &e, RegexPos{-1, -1}), 1);
    char16_t out[32];
    regex_expand_template(&ops, s, e, u"[$&|$1|$2|$`|$']", h.get(), out);
    EXPECT_EQ(std::u16string(out), u"[b\n\nx|b\n|x|a|cab]");
}
