#include <cstdint>
#include <string>

#include <gtest/gtest.h>
#include <afx.h>

namespace {

template <class... A> CString fmt(const char16_t* f, const A&... a) {
    CString s;
    s.Format(f, a...);
    return s;
}

CString viaVaList(const char16_t* f, ...) {
    va_list ap;
    va_start(ap, f);
    CString s;
    s.FormatV(f, ap);
    va_end(ap);
    return s;
}

int boundedVa(char16_t* buf, size_t size, const char16_t* f, ...) {
    va_list ap;
    va_start(ap, f);
    int n = vswprintf(buf, size, f, ap);
    va_end(ap);
    return n;
}

} // namespace

TEST(Format, WindowsWideMeanings) {
    EXPECT_EQ(fmt(u"[row:%d,col:%d] %s", 3, 14, u"ORA-00942"), u"[row:3,col:14] ORA-00942");
    EXPECT_EQ(fmt(u"%hs|%S|%ls|%ws", "abc", "\x82\xA0", u"w", u"x"), u"abc|\u3042|w|x");
    EXPECT_EQ(fmt(u"%c%hc%C", u'\u3042', 'a', 'b'), u"\u3042ab");
    EXPECT_EQ(fmt(u"%s|%hs", static_cast<const char16_t*>(nullptr), static_cast<const char*>(nullptr)),
              u"(null)|(null)");
    CString arg(u"cs");
    std::u16string str(u"st");
    EXPECT_EQ(fmt(u"%s %s", arg, str), u"cs st");
    EXPECT_EQ(fmt(u"100%% %y %"), u"100% %y %");
    EXPECT_EQ(fmt(u"[%5s|%-3s|%05s|%.2s]", u"ab", u"ab", u"ab", u"abc"), u"[   ab|ab |000ab|ab]");
}

TEST(Format, Integers) {
    EXPECT_EQ(fmt(u"%.4d", 7), u"0007");
    EXPECT_EQ(fmt(u"%6d|%-6d|%06d", 42, 42, -42), u"    42|42    |-00042");
    EXPECT_EQ(fmt(u"%I64d", INT64_MIN), u"-9223372036854775808");
    EXPECT_EQ(fmt(u"%lld %I64u", INT64_MAX, UINT64_MAX), u"9223372036854775807 18446744073709551615");
    LONG minusOne = -1;
    EXPECT_EQ(fmt(u"%ld %lu %lx", minusOne, minusOne, minusOne), u"-1 4294967295 ffffffff");
    EXPECT_EQ(fmt(u"%08X|%#x|%#o|%o", 255, 255, 8, 8), u"000000FF|0xff|010|10");
    EXPECT_EQ(fmt(u"%+d|% d|%+u", 5, 5, 5u), u"+5| 5|5");
    EXPECT_EQ(fmt(u"%.0d|%5.3d", 0, -7), u"| -007");
    EXPECT_EQ(fmt(u"%hd %hu %hhu", 70000, 70000, 300), u"4464 4464 44");
    EXPECT_EQ(fmt(u"%Id %Iu", static_cast<INT_PTR>(-5), static_cast<size_t>(5)), u"-5 5");
    EXPECT_EQ(fmt(u"%*d|%-*d|%.*d", 4, 1, 3, 2, 3, 3), u"   1|2  |003");
    EXPECT_EQ(fmt(u"%*d", -4, 1), u"1   ");
    EXPECT_EQ(fmt(u"%p", reinterpret_cast<void*>(0xABCDEF)), u"0000000000ABCDEF");
}

TEST(Format, FloatingPoint) {
    EXPECT_EQ(fmt(u"%lg", 1234567.0), u"1.23457e+06");
    EXPECT_EQ(fmt(u"%.*f", 2, 3.14159), u"3.14");
    EXPECT_EQ(fmt(u"%f|%e|%g", 0.5, 1500.0, 0.0001), u"0.500000|1.500000e+03|0.0001");
    EXPECT_EQ(fmt(u"%08.2f|%-8.1f|%+.0f", -1.5, 2.25, 2.0), u"-0001.50|2.2     |+2");
    EXPECT_EQ(fmt(u"%.3f", 1e300).GetLength(), 305);
}

TEST(Format, LongResultsAndBoundedForm) {
    std::u16string big(100000, u'x');
    CString s = fmt(u"<%s>", big.c_str());
    ASSERT_EQ(s.GetLength(), 100002);
    EXPECT_EQ(s[0], u'<');
    EXPECT_EQ(s[100001], u'>');
    EXPECT_EQ(fmt(u"%100000d", 1).GetLength(), 100000);

    char16_t buf[8];
    for (auto& c : buf) c = u'#';
    EXPECT_EQ(swprintf(buf, 6, u"%d", 12345), 5);
    EXPECT_EQ(std::u16string(buf), u"12345");
    EXPECT_EQ(swprintf(buf, 6, u"%d", 123456), -1);
    EXPECT_EQ(std::u16string(buf), u"12345");
    EXPECT_EQ(buf[6], u'#'); // never past the capacity
    // A pair is not split by the cut.
    EXPECT_EQ(_snwprintf(buf, 3, u"a%s", u"\U0001F600"), -1);
    EXPECT_EQ(std::u16string(buf), u"a");
    EXPECT_EQ(swprintf(nullptr, 0, u"%s-%d", u"ab", 10), 5);
    EXPECT_EQ(boundedVa(buf, 8, u"%s=%ld", u"k", 7), 3);
    EXPECT_EQ(std::u16string(buf), u"k=7");
    EXPECT_EQ(boundedVa(buf, 2, u"%I64d", static_cast<INT64>(99)), -1);
    EXPECT_EQ(std::u16string(buf), u"9");
}

TEST(Format, VaListAndAppend) {
    EXPECT_EQ(viaVaList(u"%s:%d:%I64d:%hs:%.1f", u"a", -2, static_cast<INT64>(1) << 40, "n", 0.25),
              u"a:-2:1099511627776:n:0.2");
    CString s(u"x=");
    s.AppendFormat(u"%d", 5);
    s.AppendFormat(u"/%s", s);
    EXPECT_EQ(s, u"x=5/x=5");
    s.Format(u"%s%s", s, s); // the arguments may be the string itself
    EXPECT_EQ(s, u"x=5/x=5x=5/x=5");
    CString f(u"<%d:%s>");
    f.Format(f, 5, f.Mid(1, 2)); // the format itself too
    EXPECT_EQ(f, u"<5:%d>");
}

#ifndef NDEBUG
TEST(FormatDeathTest, MismatchedArgumentsAssert) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(fmt(u"%d", static_cast<INT64>(1)), "does not match");
    EXPECT_DEATH(fmt(u"%I64d", 1), "does not match");
    EXPECT_DEATH(fmt(u"%s", "narrow"), "does not match");
    EXPECT_DEATH(fmt(u"%d %d", 1), "does not match");
}
#endif
