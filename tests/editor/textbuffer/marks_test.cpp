#include <gtest/gtest.h>

#include "tb_helpers.h"

TEST(UndoRedo, DefaultCapacityUndoesOneStep) {
    CEditData d;
    d.InsertText(u"one");
    d.InsertText(u" two");
    EXPECT_EQ(d.Undo(), 0);
    EXPECT_EQ(Joined(d), u"one");
    EXPECT_EQ(d.Undo(), 1);
    EXPECT_EQ(d.Redo(), 0);
    EXPECT_EQ(Joined(d), u"one two");
    EXPECT_EQ(d.Redo(), 1);
}

TEST(UndoRedo, TypingAfterUndoDropsTheRedo) {
    CEditData d;
    d.SetUnlimitedUndo();
    d.InsertText(u"abc");
    d.Undo();
    d.TypeChar(u'x');
    EXPECT_EQ(d.Redo(), 1);
    EXPECT_EQ(Joined(d), u"x");
}

TEST(UndoRedo, MarksFollowTheSavedStep) {
    CEditData d;
    d.SetUnlimitedUndo();
    SetText(d, u"l0\r\nl1\r\nl2");
    d.MarkSaved();
    d.SetCaret(1, 2);
    d.InsertText(u"A");
    int first = d.CurrentStepId();
    EXPECT_EQ(d.GetLine(1)->modified, first);
    EXPECT_EQ(d.GetLine(0)->modified, -1);
    d.MarkSaved();
    EXPECT_EQ(d.GetLine(1)->modified, -1);
    d.SetCaret(2, 0);
    d.InsertText(u"B");
    int second = d.CurrentStepId();
    EXPECT_EQ(d.GetLine(2)->modified, second);
    d.Undo(); // back to the saved step: no line is marked
    for (int i = 0; i < 3; i++) EXPECT_EQ(d.GetLine(i)->modified, -1);
    d.Undo(); // before the saved step
    EXPECT_EQ(Lines(d), L({u"l0", u"l1", u"l2"}));
    EXPECT_NE(d.GetLine(1)->modified, -1);
    d.Redo();
    for (int i = 0; i < 3; i++) EXPECT_EQ(d.GetLine(i)->modified, -1);
    d.Redo(); // past the saved step: the changed line carries the redone id
    EXPECT_EQ(d.GetLine(2)->modified, second);
    EXPECT_EQ(d.GetLine(1)->modified, -1);
}

TEST(UndoRedo, ResetAndUnlimited) {
    CEditData d;
    d.InsertText(u"a\r\nb");
    d.m_limit = 10;
    EXPECT_EQ(d.Reset(), 0);
    EXPECT_EQ(Lines(d), L({u""}));
    EXPECT_EQ(d.m_limit, -1);
    EXPECT_EQ(d.m_savedStepId, 0);
    EXPECT_EQ(d.Undo(), 1);

    d.InsertText(u"x");
    d.MarkSaved();
    int saved = d.m_savedStepId;
    EXPECT_NE(saved, 0);
    d.SetUnlimitedUndo(); // kept: callers mark saved themselves
    EXPECT_EQ(d.m_savedStepId, saved);
    EXPECT_EQ(d.m_undo->capacity, INT_MAX);
    EXPECT_EQ(d.Undo(), 1);
}

TEST(UndoRedo, CaretRecordRestoresTheCaret) {
    CEditData d;
    d.SetUnlimitedUndo();
    SetText(d, u"hello world");
    d.SetCaret(0, 3);
    d.m_undo->BeginGroup(0);
    d.AddCaretRecord();
    d.DeleteRange(EditPos{6, 0}, EditPos{11, 0}, 1);
    d.InsertText(u"there");
    d.m_undo->EndGroup();
    d.SetCaret(0, 0);
    d.Undo();
    EXPECT_EQ(Joined(d), u"hello world");
    EXPECT_EQ(d.GetCaret(), (EditPos{3, 0}));
    d.SetCaret(0, 0);
    d.Redo();
    EXPECT_EQ(Joined(d), u"hello there");
    EXPECT_EQ(d.GetCaret(), (EditPos{11, 0}));
}

TEST(UndoRedo, SwappedLines) {
    CEditData d;
    d.SetUnlimitedUndo();
    SetText(d, u"a\r\nb\r\nc");
    d.SwapLines(0, 2);
    EXPECT_EQ(Lines(d), L({u"c", u"b", u"a"}));
    d.m_undo->AddRecord(EDIT_UNDO_SWAP, 0);
    d.m_undo->current->line = 0;
    d.m_undo->current->column = 1;
    d.m_undo->recordingType = 0;
    d.SwapLines(0, 1);
    d.Undo();
    EXPECT_EQ(Lines(d), L({u"c", u"b", u"a"}));
    d.Redo();
    EXPECT_EQ(Lines(d), L({u"b", u"c", u"a"}));
}
