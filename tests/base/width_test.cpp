#include "base/width.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

struct Converted {
    std::u16string text;
    int changed;
};

Converted zen(std::u16string_view s, int ascii = 1, int kana = 1) {
    std::u16string src(s);
    auto buf = std::make_unique<char16_t[]>(2 * src.size() + 1);
    int r = width_to_zenkaku(src.c_str(), buf.get(), ascii, kana);
    return {buf.get(), r};
}

Converted han(std::u16string_view s, int ascii = 1, int kana = 1) {
    std::u16string src(s);
    auto buf = std::make_unique<char16_t[]>(2 * src.size() + 1);
    int r = width_to_hankaku(src.c_str(), buf.get(), ascii, kana);
    return {buf.get(), r};
}

} // namespace

TEST(Width, ToFullWidth) {
    EXPECT_EQ(zen(u"ABC").text, u"ＡＢＣ");
    EXPECT_EQ(zen(u" ").text, u"\u3000");
    EXPECT_EQ(zen(u"\\~\"'`").text, u"￥￣＂＇｀");
    EXPECT_EQ(zen(u"ｶﾞ").text, u"ガ");
    EXPECT_EQ(zen(u"ﾊﾟ").text, u"パ");
    EXPECT_EQ(zen(u"ｳﾞ").text, u"ウ゛");
    EXPECT_EQ(zen(u"ﾞｱ").text, u"゛ア");
    EXPECT_EQ(zen(u"ABｶ", 1, 0).text, u"ＡＢｶ");
    EXPECT_EQ(zen(u"ABｶ", 0, 1).text, u"ABカ");
    Converted off = zen(u"AｶあＡ", 0, 0);
    EXPECT_EQ(off.text, u"AｶあＡ");
    EXPECT_EQ(off.changed, 0);
    EXPECT_EQ(zen(u"あ").changed, 0);
    EXPECT_EQ(zen(u"a\U00020BB7b").text, u"ａ\U00020BB7ｂ");
    EXPECT_EQ(zen(u"a\xD800").text, u"ａ\xD800");
}

TEST(Width, ToHalfWidth) {
    Converted ga = han(u"ガ");
    EXPECT_EQ(ga.text, u"ｶﾞ");
    EXPECT_EQ(ga.text.size(), 2u);
    EXPECT_EQ(han(u"パ").text, u"ﾊﾟ");
    EXPECT_EQ(han(u"～").text, u"～");
    EXPECT_EQ(han(u"～").changed, 0);
    EXPECT_EQ(han(u"”’‘　￥￣").text, u"\"'` \\~");
    EXPECT_EQ(han(u"ヴヵヶあ").text, u"ヴヵヶあ");
    EXPECT_EQ(han(u"ＡカＡ", 1, 0).text, u"AカA");
    Converted off = han(u"ＡガＡ", 0, 0);
    EXPECT_EQ(off.text, u"ＡガＡ");
    EXPECT_EQ(off.changed, 0);
    EXPECT_EQ(han(u"Ａ\U0001F600").text, u"A\U0001F600");
    EXPECT_EQ(han(u"Ａ\xD800").text, u"A\xD800");
}

TEST(Width, EveryTableEntryConvertsThereAndBack) {
    for (char16_t c = 0x20; c <= 0x7E; c++) {
        std::u16string s(1, c);
        Converted full = zen(s);
        ASSERT_EQ(full.text.size(), 1u);
        EXPECT_EQ(han(full.text).text, s) << int(c);
        EXPECT_EQ(width_fold_char(full.text[0]), c);
    }
    for (char16_t c = 0xFF61; c <= 0xFF9F; c++) {
        std::u16string s(1, c);
        Converted full = zen(s);
        ASSERT_EQ(full.text.size(), 1u);
        EXPECT_EQ(han(full.text).text, s) << int(c);
        EXPECT_EQ(width_fold_char(full.text[0]), full.text[0]); // kana do not fold
    }
    const std::u16string voiced = u"ｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾊﾋﾌﾍﾎ";
    for (char16_t base : voiced) {
        std::u16string s{base, 0xFF9E};
        EXPECT_EQ(han(zen(s).text).text, s);
    }
    for (char16_t base : std::u16string(u"ﾊﾋﾌﾍﾎ")) {
        std::u16string s{base, 0xFF9F};
        EXPECT_EQ(zen(s).text.size(), 1u);
        EXPECT_EQ(han(zen(s).text).text, s);
    }
}

TEST(Width, FoldChar) {
    EXPECT_EQ(width_fold_char(u'Ａ'), u'A');
    EXPECT_EQ(width_fold_char(0xFF5D), 0x7Du);
    EXPECT_EQ(width_fold_char(0xFF5E), 0xFF5Eu);
    EXPECT_EQ(width_fold_char(0x3000), 0x20u);
    EXPECT_EQ(width_fold_char(0x201D), u'"');
    EXPECT_EQ(width_fold_char(0x1F600), 0x1F600u);
}
