#include "base/utf16.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// A heap copy of exactly the text and its terminator, so that ASan reports
// any read past the terminator.
std::unique_ptr<char16_t[]> exact(std::u16string_view s) {
    auto p = std::make_unique<char16_t[]>(s.size() + 1);
    for (size_t i = 0; i < s.size(); i++) p[i] = s[i];
    p[s.size()] = 0;
    return p;
}

std::u16string field(const char16_t* src, int capacity, const char16_t** end = nullptr) {
    char16_t buf[64];
    const char16_t* e = utf16_get_tsv_field(src, buf, capacity);
    if (end) *end = e;
    return buf;
}

} // namespace

TEST(Utf16, DecodeEncode) {
    int units;
    const char16_t pair[] = u"\U0001F600";
    EXPECT_EQ(utf16_decode(pair, &units), 0x1F600u);
    EXPECT_EQ(units, 2);
    const char16_t lone_high[] = {0xD800, u'b', 0};
    EXPECT_EQ(utf16_decode(lone_high, &units), 0xD800u);
    EXPECT_EQ(units, 1);
    const char16_t lone_low[] = {0xDC00, 0xD800, 0};
    EXPECT_EQ(utf16_decode(lone_low, &units), 0xDC00u);
    EXPECT_EQ(units, 1);
    EXPECT_EQ(utf16_decode_bounded(pair, pair + 1, &units), 0xD83Du);
    EXPECT_EQ(units, 1);

    char16_t out[2];
    EXPECT_EQ(utf16_encode(0x20BB7, out), 2);
    EXPECT_EQ(out[0], 0xD842);
    EXPECT_EQ(out[1], 0xDFB7);
    EXPECT_EQ(utf16_encode(u'あ', out), 1);
    EXPECT_EQ(out[0], u'あ');
}

TEST(Utf16, LoneSurrogatesNeverPassTheTerminator) {
    auto text = exact(u"a\xD800");
    EXPECT_EQ(utf16_count_char(text.get(), 0xD800), 1);
    EXPECT_EQ(utf16_nicmp(text.get(), text.get(), 5), 0);
    EXPECT_EQ(utf16_get_char(text.get() + 1), 0xD800u);
    EXPECT_EQ(utf16_advance(text.get(), 5), text.get() + 2);
    auto t = exact(u"\xD800");
    EXPECT_EQ(field(t.get(), 8), u"\xD800");

    auto before_b = exact(u"\xD800"
                          u"b");
    EXPECT_EQ(utf16_advance(before_b.get(), 1), before_b.get() + 1);
    EXPECT_EQ(utf16_advance(before_b.get(), 2), before_b.get() + 2);
    EXPECT_EQ(utf16_count_char(before_b.get(), u'b'), 1);
}

TEST(Utf16, CountAndAdvanceStepByCodePoints) {
    const char16_t* s = u"x\U0001F600x\U0001F600";
    EXPECT_EQ(utf16_count_char(s, u'x'), 2);
    EXPECT_EQ(utf16_count_char(s, 0xD83D), 2);
    EXPECT_EQ(utf16_count_char(s, 0xDE00), 0); // never lands on a low half
    EXPECT_EQ(utf16_advance(s, 2), s + 3);
    EXPECT_EQ(utf16_advance(s, 100), s + 6);
    EXPECT_EQ(utf16_get_char(s + 1), 0x1F600u);
}

TEST(Utf16, NicmpFoldsAsciiAndFullWidthCaseOnly) {
    EXPECT_EQ(utf16_nicmp(u"ＡＢＣ", u"ａｂｃ", 3), 0);
    EXPECT_EQ(utf16_nicmp(u"Abc", u"aBC", 3), 0);
    EXPECT_NE(utf16_nicmp(u"A", u"Ａ", 1), 0);
    EXPECT_LT(utf16_nicmp(u"ab", u"ac", 2), 0);
    EXPECT_GT(utf16_nicmp(u"abc", u"ab", 5), 0); // 'c' against the terminator
    EXPECT_EQ(utf16_nicmp(u"ab", u"AB", 10), 0);
    EXPECT_EQ(utf16_nicmp(u"abX", u"abY", 2), 0);
    EXPECT_EQ(utf16_nicmp(u"\U0001F600a", u"\U0001F600A", 2), 0);
}

TEST(Utf16, TsvFields) {
    const char16_t* end;
    const char16_t* s = u"\"a\"\"b\"\tnext";
    EXPECT_EQ(field(s, 64, &end), u"a\"b");
    EXPECT_EQ(*end, u'\t');

    s = u"abc\r\ndef";
    EXPECT_EQ(field(s, 64, &end), u"abc");
    EXPECT_EQ(end, s + 4); // the LF of CR LF

    s = u"abc\rdef";
    field(s, 64, &end);
    EXPECT_EQ(end, s + 3);

    s = u"\"x\ty\r\nz\"\r\n";
    EXPECT_EQ(field(s, 64, &end), u"x\ty\r\nz");
    EXPECT_EQ(end, s + 9);

    auto open = exact(u"\"abc");
    EXPECT_EQ(field(open.get(), 64, &end), u"abc");
    EXPECT_EQ(end, open.get() + 4);

    s = u"abcdef\tg";
    EXPECT_EQ(field(s, 3, &end), u"ab");
    EXPECT_EQ(end, s + 6);
    EXPECT_EQ(field(u"a\U0001F600b", 3), u"a"); // the pair does not fit with the terminator
    EXPECT_EQ(field(u"a\U0001F600b", 4), u"a\U0001F600");
    EXPECT_EQ(field(u"\tx", 8), u"");

    EXPECT_EQ(utf16_get_tsv_field(s, nullptr, 0), s + 6);
}

TEST(Utf16, NumbersAndIdentifiers) {
    for (const char16_t* yes : {u"-1.5", u"1-2", u"", u" 12 ", u"12.", u"-"})
        EXPECT_EQ(utf16_is_number(yes), 1) << std::u16string(yes).size();
    for (const char16_t* no : {u"1..2", u"1e5", u"--1", u"+1", u"１", u"1,000"})
        EXPECT_EQ(utf16_is_number(no), 0);

    EXPECT_EQ(utf16_needs_quotes(u"EMP_NO"), 0);
    EXPECT_EQ(utf16_needs_quotes(u"A#$.9"), 0);
    EXPECT_EQ(utf16_needs_quotes(u"emp"), 1);
    EXPECT_EQ(utf16_needs_quotes(u"ＥＭＰ"), 0);
    EXPECT_EQ(utf16_needs_quotes(u"社員番号"), 0);
    EXPECT_EQ(utf16_needs_quotes(u"EMP NO"), 1);
    EXPECT_EQ(utf16_needs_quotes(u"ｅｍｐ"), 1); // folds to lower case ASCII
    // The whole full-width ASCII range folds: the tilde is a '~', which needs quotes.
    EXPECT_EQ(utf16_needs_quotes(u"A\uFF5E"), 1);
    EXPECT_EQ(utf16_needs_quotes(u"\uFF5EA"), 1);
    EXPECT_EQ(utf16_needs_quotes(u"Ａ\uFF3F\uFF03"), 0); // full-width '_' and '#'
    EXPECT_EQ(utf16_needs_quotes(u"A\uFF5F"), 0);        // beyond the range: not ASCII
    EXPECT_EQ(utf16_needs_quotes(u"A-B"), 1);
}
