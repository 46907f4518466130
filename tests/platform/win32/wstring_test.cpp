#include <cerrno>
#include <cstdlib>

#include <gtest/gtest.h>
#include <windows.h>

TEST(WideString, LengthCopyAndCompare) {
    EXPECT_EQ(wcslen(u"\u3042bc"), 3u);
    EXPECT_EQ(wcsnlen(u"abc", 2), 2u);
    char16_t buf[4];
    EXPECT_EQ(wcscpy_s(buf, 4, u"abc"), 0);
    EXPECT_EQ(std::u16string(buf), u"abc");
    EXPECT_NE(wcscpy_s(buf, 4, u"abcd"), 0);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(wcsncpy_s(buf, 4, u"abcdef", 3), 0);
    EXPECT_EQ(std::u16string(buf), u"abc");
    EXPECT_EQ(wcscpy_s(buf, 4, u"a"), 0);
    EXPECT_EQ(wcscat_s(buf, 4, u"bc"), 0);
    EXPECT_NE(wcscat_s(buf, 4, u"d"), 0);
    char16_t pad[5] = {u'x', u'x', u'x', u'x', u'x'};
    wcsncpy(pad, u"ab", 4);
    EXPECT_EQ(pad[3], 0);
    EXPECT_EQ(pad[4], u'x');

    EXPECT_EQ(wcscmp(u"abc", u"abc"), 0);
    EXPECT_LT(wcscmp(u"abc", u"abd"), 0);
    EXPECT_GT(wcscmp(u"\uFF41", u"a"), 0); // units compare unsigned
    EXPECT_EQ(wcsncmp(u"abcx", u"abcy", 3), 0);
    EXPECT_EQ(_wcsicmp(u"Hello", u"hELLO"), 0);
    EXPECT_NE(_wcsicmp(u"\uFF21", u"\uFF41"), 0);
    EXPECT_LT(_wcsicmp(u"_", u"A"), 0); // letters fold to lower case
    EXPECT_EQ(_wcsnicmp(u"ABCx", u"abcy", 3), 0);
}

TEST(WideString, Search) {
    const char16_t* s = u"a/b/c";
    EXPECT_EQ(wcschr(s, u'/'), s + 1);
    EXPECT_EQ(wcsrchr(s, u'/'), s + 3);
    EXPECT_EQ(wcschr(s, 0), s + 5);
    EXPECT_EQ(wcschr(s, u'x'), nullptr);
    EXPECT_EQ(wcsstr(s, u"b/c"), s + 2);
    EXPECT_EQ(wcsstr(s, u""), s);
    EXPECT_EQ(wcsstr(s, u"c/"), nullptr);
    EXPECT_EQ(wcsspn(u"aab", u"a"), 2u);
    EXPECT_EQ(wcscspn(u"abc", u"c"), 2u);
    char16_t up[] = u"aZ\u3042";
    EXPECT_EQ(std::u16string(_wcsupr(up)), u"AZ\u3042");
    char16_t* dup = _wcsdup(u"xy");
    EXPECT_EQ(std::u16string(dup), u"xy");
    std::free(dup);
}

TEST(WideString, Numbers) {
    EXPECT_EQ(_wtoi(u"  -42x"), -42);
    EXPECT_EQ(_wtoi(u"\u30004"), 4);
    EXPECT_EQ(_wtoi(u"\uFF14"), 0); // ASCII digits only
    EXPECT_EQ(_wtoi64(u"-9223372036854775808"), INT64_MIN);
    char16_t* end = nullptr;
    const char16_t* text = u"0x1Fz";
    EXPECT_EQ(wcstol(text, &end, 16), 31);
    EXPECT_EQ(end, text + 4);
    EXPECT_EQ(wcstol(u"017", nullptr, 0), 15);
    errno = 0;
    EXPECT_EQ(wcstol(u"99999999999", nullptr, 10), 2147483647L); // Windows' long is 32 bits
    EXPECT_EQ(errno, ERANGE);
    EXPECT_EQ(wcstol(u"-2147483648", nullptr, 10), -2147483647L - 1);
    EXPECT_EQ(wcstoul(u"-1", nullptr, 10), 4294967295UL);
    EXPECT_EQ(_wcstoui64(u"18446744073709551615", nullptr, 10), UINT64_MAX);
    text = u"abc";
    EXPECT_EQ(wcstol(text, &end, 10), 0);
    EXPECT_EQ(end, text);

    text = u" -1.5e2ms";
    EXPECT_DOUBLE_EQ(wcstod(text, &end), -150.0);
    EXPECT_EQ(end, text + 7);
    EXPECT_DOUBLE_EQ(_wtof(u"3.25\u3042"), 3.25);
    text = u"x";
    EXPECT_EQ(wcstod(text, &end), 0.0);
    EXPECT_EQ(end, text);
}

TEST(WideString, Utf8ForOutput) {
    std::u16string text = u"a\u3042\U0001F600";
    EXPECT_EQ(WideToUtf8(text.c_str()), "a\xE3\x81\x82\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf8ToWide("a\xE3\x81\x82\xF0\x9F\x98\x80"), text);
    std::u16string lone(u"x");
    lone += char16_t(0xDC00);
    EXPECT_EQ(WideToUtf8(lone.c_str()), "x\xEF\xBF\xBD");
    EXPECT_EQ(WideToUtf8(u"abc", 2), "ab");
    EXPECT_EQ(Utf8ToWide(""), u"");
}
