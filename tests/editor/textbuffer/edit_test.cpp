#include <gtest/gtest.h>

#include "tb_helpers.h"

namespace {

// A tokenizer whose delimiters also hold "-".
struct DashToken : CStrToken {
    DashToken() { m_delimiter[u'-'] = 1; }
};

} // namespace

TEST(Editing, TypingGroupsWordsAndDelimiters) {
    CEditData d;
    d.SetUnlimitedUndo();
    for (char16_t c : std::u16string(u"abc def")) d.TypeChar(c);
    EXPECT_EQ(Joined(d), u"abc def");
    for (const char16_t* before : {u"abc ", u"abc", u""}) {
        ASSERT_EQ(d.Undo(), 0);
        EXPECT_EQ(Joined(d), before);
    }
    EXPECT_EQ(d.Undo(), 1);

    DashToken dash;
    CEditData e;
    e.m_token = &dash;
    e.SetUnlimitedUndo();
    for (char16_t c : std::u16string(u"ab----cd")) e.TypeChar(c);
    int steps = 0;
    while (e.Undo() == 0) steps++;
    EXPECT_EQ(steps, 3);
}

TEST(Editing, BackspaceAndJoins) {
    CEditData d;
    d.SetUnlimitedUndo();
    SetText(d, u"ab\r\ncd");
    EXPECT_EQ(d.Backspace(), 0); // at (0, 0)
    EXPECT_EQ(d.Undo(), 1);      // nothing was recorded
    d.SetCaret(1, 0);
    EXPECT_EQ(d.Backspace(), 0);
    EXPECT_EQ(Lines(d), L({u"abcd"}));
    EXPECT_EQ(d.m_undo->current->type, EDIT_UNDO_BACKSPACE);
    EXPECT_EQ(std::u16string(d.m_undo->current->text, d.m_undo->current->length), u"\r");
    d.Undo();
    EXPECT_EQ(Lines(d), L({u"ab", u"cd"}));
    EXPECT_EQ(d.GetCaret(), (EditPos{0, 1}));
}

TEST(Editing, InsertTextBreaks) {
    CEditData d;
    d.InsertText(u"a\r\nb\rc\nd");
    EXPECT_EQ(Lines(d), L({u"a", u"b", u"c", u"d"}));
    EXPECT_EQ(d.GetCaret(), (EditPos{1, 3}));
    EXPECT_EQ(d.m_totalLength, 4);
    d.SetCaret(1, 1);
    d.InsertText(u"X\nY");
    EXPECT_EQ(Lines(d), L({u"a", u"bX", u"Y", u"c", u"d"}));
    EXPECT_TRUE(Consistent(d));
}

TEST(Editing, LengthLimit) {
    CEditData d;
    d.m_limit = 3;
    int beeps = TestBeeps();
    EXPECT_EQ(d.InsertText(u"abcd"), 1);
    EXPECT_EQ(Joined(d), u"abc");
    EXPECT_EQ(TestBeeps(), beeps + 1);

    CEditData e;
    e.m_limit = 3;
    e.InsertText(u"ab");
    EXPECT_EQ(e.InsertText(u"\r"), 1); // a break needs two free units
    EXPECT_EQ(Joined(e), u"ab");
}

TEST(Editing, LimitNeverLeavesHalfAPair) {
    for (bool typed : {false, true}) {
        SCOPED_TRACE(typed);
        CEditData d;
        d.SetUnlimitedUndo();
        SetText(d, u"xyz");
        d.m_limit = 5;
        d.SetCaret(0, 1);
        if (typed) {
            d.TypeChar(u'a');
            EXPECT_EQ(d.TypeChar(0x2000B), 1);
        } else {
            EXPECT_EQ(d.InsertText(u"a\U0002000B"), 1);
        }
        EXPECT_EQ(Joined(d), u"xayz");
        d.Undo();
        EXPECT_EQ(Joined(d), u"xyz");
        EXPECT_EQ(d.Undo(), 1);
    }
}

TEST(Editing, DeleteRangeRecordsAndJoins) {
    CEditData d;
    d.SetUnlimitedUndo();
    SetText(d, u"abcd\r\nefgh\r\nijkl");
    EXPECT_EQ(d.DeleteRange(EditPos{2, 0}, EditPos{2, 2}, 1), 0);
    EXPECT_EQ(Lines(d), L({u"abkl"}));
    UndoRecord* r = d.m_undo->current;
    EXPECT_EQ(r->type, EDIT_UNDO_DELETE);
    EXPECT_EQ(std::u16string(r->text, r->length), u"cd\refgh\rij");
    EXPECT_EQ(d.GetCaret(), (EditPos{2, 0}));
    d.Undo();
    EXPECT_EQ(Lines(d), L({u"abcd", u"efgh", u"ijkl"}));
    d.Redo();
    EXPECT_EQ(Lines(d), L({u"abkl"}));
}

TEST(Editing, UnrecordedDeleteClosesTheOpenRecord) {
    CEditData d;
    d.SetUnlimitedUndo();
    SetText(d, u"xx\r\nyy\r\nzz");
    d.SetCaret(0, 2);
    for (char16_t c : std::u16string(u"abc")) d.TypeChar(c);
    d.DeleteRange(EditPos{0, 1}, EditPos{0, 2}, 0);
    EXPECT_EQ(Lines(d), L({u"xxabc", u"zz"}));
    d.Undo();
    EXPECT_EQ(Lines(d), L({u"xx", u"zz"}));
}

TEST(Editing, ReversedAndOutOfRangeRanges) {
    CEditData d;
    d.SetUnlimitedUndo();
    SetText(d, u"abcd\r\nefgh");
    EXPECT_EQ(d.GetRangeTextSize(EditPos{2, 1}, EditPos{1, 0}), (3 + 2 + 2) * 2 + 2);
    EXPECT_EQ(d.GetRangeTextSize(EditPos{-5, -3}, EditPos{99, 99}), (4 + 2 + 4) * 2 + 2);
    d.DeleteRange(EditPos{2, 1}, EditPos{1, 0}, 1);
    EXPECT_EQ(Lines(d), L({u"agh"}));
    d.Undo();
    EXPECT_EQ(Lines(d), L({u"abcd", u"efgh"}));
    d.DeleteRange(EditPos{99, 5}, EditPos{-1, -1}, 1);
    EXPECT_EQ(Lines(d), L({u""}));
    EXPECT_EQ(g_editEmptyLine.length, 1);
    EXPECT_EQ(g_editEmptyText[0], 0);
    d.Undo();
    EXPECT_EQ(Lines(d), L({u"abcd", u"efgh"}));
    EXPECT_TRUE(Consistent(d));
}

TEST(Editing, DeleteNextCharAndSurrogates) {
    CEditData d;
    d.SetUnlimitedUndo();
    SetText(d, u"a\U0002000Bb\r\nc");
    d.SetCaret(1, 1);
    int counter = d.m_undo->stepCounter;
    EXPECT_EQ(d.DeleteNextChar(), 0); // at the end of the text
    EXPECT_EQ(d.m_undo->stepCounter, counter);
    EXPECT_EQ(Lines(d), L({u"a\U0002000Bb", u"c"}));
    d.SetCaret(0, 1);
    d.DeleteNextChar(); // the whole pair
    EXPECT_EQ(Lines(d), L({u"ab", u"c"}));
    d.Undo();
    // A lone high surrogate at a line end is one code point: the break stays
    // until the next delete.
    const char16_t lone[] = {u'x', 0xD840, u'\r', u'\n', u'y', 0};
    SetText(d, lone);
    d.SetCaret(0, 1);
    d.DeleteNextChar();
    EXPECT_EQ(d.GetLineCount(), 2);
    EXPECT_EQ(Joined(d), u"x\ny");
    SetText(d, lone);
    d.SetCaret(0, 2); // the caret may rest after a lone high surrogate
    EXPECT_EQ(d.GetCaret(), (EditPos{2, 0}));
    d.DeleteNextChar();
    EXPECT_EQ(d.GetLineCount(), 1);
    d.Backspace();
    EXPECT_EQ(Joined(d), u"xy");
    d.Undo();
    d.Undo();
    EXPECT_EQ(Joined(d), std::u16string(u"x\xD840\ny"));
}

TEST(Editing, StepAndClampOverPairsAndBreaks) {
    CEditData d;
    SetText(d, u"a\U0002000B\r\nb");
    EXPECT_EQ(d.ClampPosition(EditPos{2, 0}), (EditPos{1, 0}));
    EXPECT_EQ(d.ClampPosition(EditPos{9, 9}), (EditPos{1, 1}));
    EditPos p{1, 0};
    d.StepPosition(&p, 1);
    EXPECT_EQ(p, (EditPos{3, 0}));
    d.StepPosition(&p, 1);
    EXPECT_EQ(p, (EditPos{0, 1}));
    d.StepPosition(&p, 5);
    EXPECT_EQ(p, (EditPos{1, 1}));
    d.StepPosition(&p, -2);
    EXPECT_EQ(p, (EditPos{3, 0}));
    d.StepPosition(&p, -1);
    EXPECT_EQ(p, (EditPos{1, 0}));
    d.StepPosition(&p, -9);
    EXPECT_EQ(p, (EditPos{0, 0}));
    d.SetCaret(0, 3);
    EXPECT_EQ(d.GetCharBeforeCaret(), 0x2000Bu);
    d.SetCaret(0, 1);
    EXPECT_EQ(d.GetCharAtCaret(), 0x2000Bu);
    p = EditPos{3, 0};
    d.StepPositionLines(&p, 1);
    EXPECT_EQ(p, (EditPos{1, 1}));
}

TEST(Editing, WidestLineFollowsDeletion) {
    CEditData d;
    SetText(d, u"a\r\nbb\r\nccc\r\ndd");
    for (int i = 0; i < 4; i++) d.GetLine(i)->width = 10 * (i == 2 ? 5 : i + 1);
    d.FindWidestLine();
    EXPECT_EQ(d.m_widestLine, d.GetLine(2));
    d.DeleteRange(EditPos{2, 1}, EditPos{3, 2}, 0); // releases line 2's record
    EXPECT_EQ(Lines(d), L({u"a", u"bb", u"dd"}));
    EXPECT_EQ(d.m_widestLine, d.GetLine(2));
    EXPECT_EQ(d.m_widestWidth, 40);
}
