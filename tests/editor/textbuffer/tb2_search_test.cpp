#include <random>
#include <string>

#include "base/utf16.h"
#include "tb2_fixture.h"

namespace {

class Search : public MeasuredBuffer {};

} // namespace

TEST_F(Search, WordMovement) {
    SetText(d_, u"アイウー漢字 ab\r\nひらーカナ");
    d_.SetCaret(0, 0);
    // A line end is a boundary; the mark "ー" joins the hiragana before it
    // (the anchor stays hiragana); backward it goes over katakana and the
    // mark, and from a line start to the end of the previous line.
    // clang-format off
    const std::pair<int, EditPos> steps[] = {
        {1, {4, 0}}, {1, {6, 0}}, {1, {7, 0}}, {1, {9, 0}}, {1, {0, 1}}, {1, {3, 1}}, {1, {5, 1}},
        {0, {2, 1}}, {0, {0, 1}}, {0, {9, 0}}, {0, {7, 0}}, {0, {6, 0}}, {0, {4, 0}}, {0, {0, 0}}, {0, {0, 0}}};
    // clang-format on
    for (size_t i = 0; i < std::size(steps); i++) {
        d_.MoveWord(steps[i].first);
        ASSERT_EQ(d_.GetCaret(), steps[i].second) << "step " << i;
    }

    SetText(d_, u"a  \t b");
    d_.SetCaret(0, 1);
    d_.SkipBlanks(1);
    EXPECT_EQ(d_.GetCaret(), (EditPos{5, 0}));
    d_.SkipBlanks(-1);
    EXPECT_EQ(d_.GetCaret(), (EditPos{1, 0}));
}

TEST_F(Search, SearchLineBothWays) {
    SetText(d_, u"ab ab ab\r\nx ab");
    Pattern ab(u"ab");
    int len = -1;
    EXPECT_EQ(d_.SearchLine(0, 1, 1, &len, ab.regex), 3);
    EXPECT_EQ(len, 2);
    // Never a start on the next line.
    const int cases[][4] = {{7, 1, 'a', -1},  {0, -1, 'a', 6},  {5, -1, 'a', 3}, {4, -1, 'a', 0},
                            {1, -1, 'a', -1}, {0, -1, 'x', -1}, {0, 1, 'x', -1}};
    Pattern x(u"x");
    for (const auto& c : cases)
        EXPECT_EQ(d_.SearchLine(0, c[0], c[1], &len, (c[2] == 'a' ? ab : x).regex), c[3])
            << c[0] << " " << c[1];
    // A match over a line break counts it once, whatever the line end.
    Pattern over(u"b\\nx");
    EXPECT_EQ(d_.SearchLine(0, 0, 1, &len, over.regex), 7);
    EXPECT_EQ(len, 3);
    EXPECT_EQ(d_.SearchLine(0, 0, 1, &len, nullptr), -1);
}

TEST_F(Search, FindAndTheWrapQuestion) {
    SetText(d_, u"ab\r\ncd ab\r\nef");
    Pattern ab(u"ab");
    EditPos out{-1, -1};
    EditPos from{0, 1};
    EXPECT_EQ(d_.Find(&out, 0, 1, &from, nullptr, ab.regex), -1);
    EXPECT_EQ(d_.Find(&out, 1, 0, &from, nullptr, ab.regex), 2);
    EXPECT_EQ(out, (EditPos{3, 1}));
    // A backward search at column 0 of a line never searches that line.
    EXPECT_EQ(d_.Find(&out, -1, 0, &from, nullptr, ab.regex), 2);
    EXPECT_EQ(out, (EditPos{0, 0}));
    from = EditPos{5, 1};
    EXPECT_EQ(d_.Find(&out, -1, 0, &from, nullptr, ab.regex), 2);
    EXPECT_EQ(out, (EditPos{3, 1}));

    // Forward from (4, 1): nothing after it; the wrap covers line 1 again.
    from = EditPos{4, 1};
    HWND owner = MakeWindow(u"TextBufferFindOwner");
    tvtest::AnswerBox(IDCANCEL);
    EXPECT_EQ(d_.Find(&out, 1, 1, &from, owner, ab.regex), -2);
    ASSERT_EQ(tvtest::Boxes().size(), 1u);
    EXPECT_EQ(tvtest::Boxes()[0].caption, u"Message");
    EXPECT_EQ(tvtest::Boxes()[0].text,
              u"ファイルの終わりまで検索しました。\nファイルの先頭から検索しますか？");
    EXPECT_EQ(tvtest::Boxes()[0].flags, static_cast<UINT>(MB_OKCANCEL | MB_ICONQUESTION));
    Pattern cd(u"cd");
    tvtest::AnswerBox(IDOK);
    EXPECT_EQ(d_.Find(&out, 1, 1, &from, owner, cd.regex), 2);
    EXPECT_EQ(out, (EditPos{0, 1}));
    from = EditPos{0, 1};
    tvtest::AnswerBox(IDCANCEL);
    Pattern ef(u"ef");
    EXPECT_EQ(d_.Find(&out, -1, 1, &from, owner, ef.regex), -2);
    ASSERT_EQ(tvtest::Boxes().size(), 3u);
    EXPECT_EQ(tvtest::Boxes()[2].text,
              u"ファイルの先頭まで検索しました。\nファイルの終わりから検索しますか？");
    // Without a window the wrap runs without asking.
    EXPECT_EQ(d_.Find(&out, -1, 1, &from, nullptr, ef.regex), 2);
    EXPECT_EQ(out, (EditPos{0, 2}));
    EXPECT_EQ(tvtest::Boxes().size(), 3u);
    Pattern none(u"zz");
    EXPECT_EQ(d_.Find(&out, 1, 1, &from, nullptr, none.regex), -1);
    DestroyWindow(owner);
}

namespace {

// The reference: each line searched alone as a string.
int RefSearchLine(const std::u16string& text, int column, int direction, int* length, Regex* regex) {
    int s, n;
    if (direction == 1) {
        if (regex_search_str(regex, text.c_str(), column, &s, &n) != 1) return -1;
        *length = n;
        return s;
    }
    if (regex_search_str(regex, text.c_str(), 0, &s, &n) != 1) return -1;
    // Before the column: ending at it at the latest, and not the empty match
    // at the column itself.
    auto ok = [&](int st, int ln) { return column <= 0 || (st + ln <= column && st < column); };
    if (!ok(s, n)) return -1;
    int best = s, bestLen = n;
    for (;;) {
        if (best >= static_cast<int>(text.size())) break;
        int next =
            best + (utf16_is_high_surrogate(text[best]) && utf16_is_low_surrogate(text[best + 1]) ? 2 : 1);
        if (regex_search_str(regex, text.c_str(), next, &s, &n) != 1 || !ok(s, n)) break;
        best = s;
        bestLen = n;
    }
    *length = bestLen;
    return best;
}

int RefFind(const std::vector<std::u16string>& lines, EditPos* out, int dir, EditPos from, Regex* regex) {
    int len = 0;
    int last = static_cast<int>(lines.size()) - 1;
    auto lines_from = [&](int first, int count, int d) {
        for (int i = 0, l = first; i < count; i++, l += d) {
            if (l < 0 || l > last) break;
            int c = RefSearchLine(lines[l], 0, d, &len, regex);
            if (c >= 0) {
                *out = EditPos{c, l};
                return len;
            }
        }
        return -1;
    };
    int c = -1;
    if (dir == 1 || from.col > 0) c = RefSearchLine(lines[from.line], from.col, dir, &len, regex);
    if (c >= 0) {
        *out = EditPos{c, from.line};
        return len;
    }
    int r =
        dir == 1 ? lines_from(from.line + 1, last - from.line, 1) : lines_from(from.line - 1, from.line, -1);
    if (r >= 0) return r;
    return dir == 1 ? lines_from(0, from.line + 1, 1) : lines_from(last, last - from.line + 1, -1);
}

} // namespace

TEST_F(Search, FindAgreesWithALineByLineReference) {
    std::mt19937 rng(12);
    const char16_t alphabet[] = u"aab \tあい\U00020BB7x";
    std::vector<std::u16string> pieces;
    for (int i = 0; alphabet[i]; i++) pieces.emplace_back(1, alphabet[i]);
    pieces.push_back(u"\U00020BB7");
    const char16_t* patterns[] = {u"ab",       u"a+",  u"[あい]+", u"b.", u"\\bx", u"a|\U00020BB7",
                                  u"(?:ab)?b", u"\\b", u"^",       u"$",  u"x*",   u"^\\s*"};
    for (int round = 0; round < 60; round++) {
        std::vector<std::u16string> lines(1 + rng() % 6);
        std::u16string text;
        for (size_t l = 0; l < lines.size(); l++) {
            int n = rng() % 12;
            for (int k = 0; k < n; k++) lines[l] += pieces[rng() % pieces.size()];
            if (l) text += u"\r\n";
            text += lines[l];
        }
        SetText(d_, text.c_str());
        for (const char16_t* p : patterns) {
            Pattern pat(p);
            ASSERT_NE(pat.regex, nullptr);
            for (int probe = 0; probe < 8; probe++) {
                EditPos from{0, static_cast<int>(rng() % lines.size())};
                from.col = static_cast<int>(rng() % (lines[from.line].size() + 1));
                from = d_.ClampPosition(from);
                for (int dir : {1, -1}) {
                    EditPos got{-1, -1}, want{-1, -1};
                    int g = d_.Find(&got, dir, 1, &from, nullptr, pat.regex);
                    int w = RefFind(lines, &want, dir, from, pat.regex);
                    ASSERT_EQ(g, w) << "round " << round << " dir " << dir;
                    if (w >= 0) {
                        EXPECT_EQ(got, want) << "round " << round << " dir " << dir;
                    }
                }
            }
        }
    }
}
