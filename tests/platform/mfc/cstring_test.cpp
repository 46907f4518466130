#include <gtest/gtest.h>
#include <afx.h>

TEST(CString, ConstructionAndCopies) {
    CString a(u"abc");
    CString b = a;
    b.SetAt(0, u'X');
    b += u"d";
    EXPECT_EQ(a, u"abc");
    EXPECT_EQ(b, u"Xbcd");
    EXPECT_EQ(CString(u"abcdef", 3), u"abc");
    EXPECT_EQ(CString("\x82\xA0z"), u"\u3042z"); // narrow text through CP_ACP
    EXPECT_EQ(CString(u'-', 3), u"---");
    EXPECT_TRUE(CString(static_cast<const char16_t*>(nullptr)).IsEmpty());
    const char16_t* p = a;
    EXPECT_EQ(std::u16string(p), u"abc");
    EXPECT_EQ(a + u"!" + CString(u"?") + u'.', u"abc!?.");
    EXPECT_EQ(u">" + a, u">abc");
}

TEST(CString, Comparison) {
    CString a(u"abc");
    EXPECT_TRUE(a == u"abc" && u"abc" == a && a != u"abd");
    EXPECT_TRUE(a < u"abd" && a > u"ab" && CString(u"b") > a);
    EXPECT_LT(a.Compare(u"abd"), 0);
    EXPECT_EQ(a.CompareNoCase(u"ABC"), 0);
    EXPECT_NE(CString(u"\uFF21").CompareNoCase(u"\uFF41"), 0); // ASCII folding only
    EXPECT_GT(CString(u"\u3042").Compare(u"z"), 0);
}

TEST(CString, ExtractionIsClamped) {
    CString s(u"abcdef");
    EXPECT_EQ(s.Left(2), u"ab");
    EXPECT_EQ(s.Left(99), u"abcdef");
    EXPECT_EQ(s.Left(-1), u"");
    EXPECT_EQ(s.Mid(4), u"ef");
    EXPECT_EQ(s.Mid(2, 2), u"cd");
    EXPECT_EQ(s.Mid(5, 9), u"f");
    EXPECT_EQ(s.Mid(-3, 2), u"ab");
    EXPECT_EQ(s.Mid(9), u"");
    EXPECT_EQ(s.Right(2), u"ef");
    EXPECT_EQ(s.Right(99), u"abcdef");
    int pos = 0;
    CString list(u"a,,b;c");
    EXPECT_EQ(list.Tokenize(u",;", pos), u"a");
    EXPECT_EQ(list.Tokenize(u",;", pos), u"b");
    EXPECT_EQ(list.Tokenize(u",;", pos), u"c");
    EXPECT_EQ(list.Tokenize(u",;", pos), u"");
    EXPECT_EQ(pos, -1);
}

TEST(CString, SearchAndEdit) {
    CString s(u"a.b.c");
    EXPECT_EQ(s.Find(u'.'), 1);
    EXPECT_EQ(s.Find(u'.', 2), 3);
    EXPECT_EQ(s.Find(u"b.c"), 2);
    EXPECT_EQ(s.Find(u'z'), -1);
    EXPECT_EQ(s.ReverseFind(u'.'), 3);
    EXPECT_EQ(s.FindOneOf(u"cb"), 2);
    EXPECT_EQ(s.Replace(u".", u"::"), 2);
    EXPECT_EQ(s, u"a::b::c");
    EXPECT_EQ(s.Replace(u':', u'-'), 4);
    EXPECT_EQ(s.Remove(u'-'), 4);
    EXPECT_EQ(s, u"abc");
    EXPECT_EQ(s.Insert(1, u"XY"), 5);
    EXPECT_EQ(s.Insert(99, u'!'), 6);
    EXPECT_EQ(s, u"aXYbc!");
    EXPECT_EQ(s.Delete(1, 2), 4);
    EXPECT_EQ(s.Delete(3, 99), 3);
    EXPECT_EQ(s, u"abc");
    CString t(u" \t x y \r\n");
    EXPECT_EQ(CString(t).Trim(), u"x y");
    EXPECT_EQ(CString(t).TrimLeft(), u"x y \r\n");
    EXPECT_EQ(CString(t).TrimRight(), u" \t x y");
    EXPECT_EQ(CString(u"xxaxx").Trim(u'x'), u"a");
    EXPECT_EQ(CString(u"abcab").TrimRight(u"ab"), u"abc");
    EXPECT_EQ(CString(u"aZ\uFF41").MakeUpper(), u"AZ\uFF41");
    EXPECT_EQ(CString(u"aZ").MakeLower(), u"az");
}

TEST(CString, Buffers) {
    CString s(u"abc");
    char16_t* p = s.GetBuffer(10);
    p[3] = u'd';
    p[4] = 0;
    s.ReleaseBuffer(-1);
    EXPECT_EQ(s.GetLength(), 4);
    EXPECT_EQ(s, u"abcd");
    p = s.GetBuffer(10);
    p[0] = u'z';
    s.ReleaseBuffer(2);
    EXPECT_EQ(s, u"zb");
    p = s.GetBufferSetLength(3);
    p[2] = u'!';
    s.ReleaseBuffer();
    EXPECT_EQ(s, u"zb!");
}
