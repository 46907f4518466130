// Conversion between UTF-16 and the Oracle code page, and measuring of
// multibyte characters. No client library is involved.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "oracle/oci_api.h"

namespace {

class ConvTest : public ::testing::Test {
protected:
    void SetUp() override { oci_reset_globals_for_test(); }
    void TearDown() override { oci_reset_globals_for_test(); }
};

std::string Mb(const char16_t* w, int size = 256) {
    std::string out(size_t(size), '\x7f');
    int n = oci_wide_to_mb(w, out.data(), size);
    if (n == 0) return "<0:" + std::string(out.c_str()) + ">";
    return std::string(out.c_str());
}

TEST_F(ConvTest, WaveDashBecomesFullwidthTildeOnlyThroughTheTildeConverter) {
    g_oci_code_page = 65001;
    char16_t buf[8];
    EXPECT_EQ(oci_mb_to_wide("\xE3\x80\x9C", buf, 8), 2);
    EXPECT_EQ(buf[0], 0x301C);
    EXPECT_EQ(oci_mb_to_wide_tilde("a\xE3\x80\x9C", buf, 8), 3);
    EXPECT_EQ(std::u16string(buf), u"a\uFF5E");
}

TEST_F(ConvTest, CharacterLengths) {
    for (const char* two : {"\x81\x40", "\xFC\x40"}) EXPECT_EQ(oci_sjis_char_len(two), 2) << two;
    for (const char* one : {"\x80", "\xA0", "\xDF", "\xFD", "a"}) EXPECT_EQ(oci_sjis_char_len(one), 1) << one;
    for (auto [text, n] : {std::pair<const char*, int>{"\xC3\xA9", 2},
                           {"\xE3\x81", 1},
                           {"\xF0\x9F\x98\x80", 4},
                           {"\xC3"
                            "a",
                            1}})
        EXPECT_EQ(oci_utf8_char_len(text), n) << text;
}

TEST_F(ConvTest, BudgetCopyStopsAtAWholeCharacter) {
    g_oci_code_page = 65001;
    char dst[16];
    int budget = 6;
    char* end = oci_copy_mb_str(dst, "ab\xE3\x81\x82", &budget);
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(end, dst + 5);
    EXPECT_EQ(budget, 1);
    EXPECT_STREQ(dst, "ab\xE3\x81\x82");
    budget = 5;
    EXPECT_EQ(oci_copy_mb_str(dst, "ab\xE3\x81\x82", &budget), nullptr);
    EXPECT_STREQ(dst, "ab");
    budget = 0;
    EXPECT_EQ(oci_copy_mb_str(dst, "ab", &budget), nullptr);
    EXPECT_EQ(oci_copy_mb_str(nullptr, "ab", &budget), nullptr);
    // Pieces appended with the same budget; a null result skips the rest.
    budget = 4;
    char* p = oci_copy_mb_str(dst, "a", &budget);
    p = oci_copy_mb_str(p, "b", &budget);
    EXPECT_STREQ(dst, "ab");
    EXPECT_EQ(oci_copy_mb_str(p, "cd", &budget), nullptr);
    EXPECT_STREQ(dst, "abc");
}

TEST_F(ConvTest, ShiftJisLeadByteBeforeTheTerminatorIsNotOverrun) {
    g_oci_code_page = 0;
    char src[] = "a\x82";
    char dst[8];
    int budget = 8;
    ASSERT_NE(oci_copy_mb_str(dst, src, &budget), nullptr);
    EXPECT_STREQ(dst, "a\x82");
}

TEST_F(ConvTest, CodePage932RefusesCharactersItLacks) {
    g_oci_code_page = 0;
    EXPECT_EQ(Mb(u"\u301C"), "\x81\x60");
    EXPECT_EQ(oci_wide_to_mb(u"\u301C", nullptr, 0), 3);
    EXPECT_EQ(Mb(u"\u65E5\u672C"), "\x93\xFA\x96\x7B");
    for (const char16_t* lacking : {u"\U00020BB7", u"\uD55C", u"\U0001F600", u"a\uD55Cb"}) {
        EXPECT_EQ(oci_wide_to_mb(lacking, nullptr, 0), 0);
        char buf[16] = "xxxx";
        EXPECT_EQ(oci_wide_to_mb(lacking, buf, sizeof buf), 0);
        EXPECT_STREQ(buf, "");
    }
}

// A best-fit code would store another character than the one given (U+00A2
// as 81 91, which reads back as U+FFE0): refused like a character without a
// code. The yen sign as 5C and the wave dash as 81 60 are what Japanese text
// means by those codes; the four Windows has no code for are refused too.
TEST_F(ConvTest, CodePage932RefusesBestFitCodesButTheYenSignAndWaveDash) {
    g_oci_code_page = 0;
    for (const char16_t* changed : {u"\u00A2", u"caf\u00E9", u"x\u00A3", u"\u00AC", u"\u2014", u"\u2016",
                                    u"a\u203Eb", u"\u2212", u"\u65E5\u00A2"}) {
        EXPECT_EQ(oci_wide_to_mb(changed, nullptr, 0), 0);
        char buf[16] = "xxxx";
        EXPECT_EQ(oci_wide_to_mb(changed, buf, sizeof buf), 0);
        EXPECT_STREQ(buf, "");
        EXPECT_FALSE(oci_wide_fits_acp(changed));
    }
    EXPECT_EQ(Mb(u"\\\u00A5"
                 u"100"),
              "\\\\100");
    EXPECT_EQ(Mb(u"\uFFE0\uFF5E\u301C"), "\x81\x91\x81\x60\x81\x60");
    for (const char16_t* kept : {u"\u00A5", u"\u301C", u"\uFFE0", u"\u65E5\u672C"})
        EXPECT_TRUE(oci_wide_fits_acp(kept));
    // Too small a buffer still gets the whole characters that fit.
    EXPECT_EQ(Mb(u"\u00A5\u301C", 3), "<0:\\>");
}

TEST_F(ConvTest, Utf8ConvertsEverythingButLoneSurrogates) {
    g_oci_code_page = 65001;
    EXPECT_EQ(Mb(u"\U00020BB7"), "\xF0\xA0\xAE\xB7");
    EXPECT_EQ(Mb(u"\uD55C"), "\xED\x95\x9C");
    EXPECT_EQ(Mb(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(oci_wide_to_mb(u"\U0001F600", nullptr, 0), 5);
    const char16_t lone[] = {u'a', 0xD800, 0};
    EXPECT_EQ(oci_wide_to_mb(lone, nullptr, 0), 0);
    const char16_t lone_low[] = {0xDC00, u'a', 0};
    EXPECT_EQ(oci_wide_to_mb(lone_low, nullptr, 0), 0);
}

TEST_F(ConvTest, TooSmallOutputKeepsTheLongestWholePrefix) {
    g_oci_code_page = 65001;
    char16_t w[8];
    std::memset(w, 0x55, sizeof w);
    EXPECT_EQ(oci_mb_to_wide("\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86\xE3\x81\x88\xE3\x81\x8A", w, 4), 0);
    EXPECT_EQ(std::u16string(w), u"あいう");
    EXPECT_EQ(oci_mb_to_wide("a\xF0\x9F\x98\x80", w, 2), 0);
    EXPECT_EQ(std::u16string(w), u"a");
    EXPECT_EQ(oci_mb_to_wide("a\xF0\x9F\x98\x80", w, 3), 0);
    EXPECT_EQ(std::u16string(w), u"a");
    EXPECT_EQ(oci_mb_to_wide("a\xF0\x9F\x98\x80", w, 4), 4);

    // Bytes: never half a character.
    EXPECT_EQ(Mb(u"あいう", 8), "<0:あい>");
    EXPECT_EQ(Mb(u"あいう", 10), "あいう");
    EXPECT_EQ(Mb(u"a😀", 4), "<0:a>");
    g_oci_code_page = 0;
    EXPECT_EQ(Mb(u"あいう", 6), "<0:\x82\xA0\x82\xA2>");
    EXPECT_EQ(Mb(u"あいう", 7), "\x82\xA0\x82\xA2\x82\xA4");
    EXPECT_EQ(oci_mb_to_wide("\x82\xA0\x82\xA2\x82\xA4", w, 3), 0);
    EXPECT_EQ(std::u16string(w), u"あい");
}

} // namespace
