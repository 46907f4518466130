#include <gtest/gtest.h>

#include <cstring>

#include "editor/editline.h"
#include "editor/nodepool.h"
#include "tb_helpers.h"

TEST(LineStorage, NewLineGrowsAndShrinksBySizeClass) {
    EditLine* line = EditLine::New();
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->length, 1);
    EXPECT_EQ(line->text, g_editEmptyText);
    EXPECT_EQ(line->capacity, 0u);
    EXPECT_EQ(line->modified, -1);
    EXPECT_EQ(line->rowCount, 1);

    ASSERT_EQ(line->InsertChars(0, u"abc", 3), 0);
    EXPECT_EQ(line->capacity, 16u);
    EXPECT_EQ(line->lexFlags, LEXF_CHANGED);
    ASSERT_EQ(line->InsertChars(1, u"1234", 4), 0);
    EXPECT_EQ(line->capacity, 32u);
    EXPECT_EQ(std::u16string(line->text), u"a1234bc");

    line->lexFlags = 0;
    EXPECT_EQ(line->InsertChars(2, u"x", 0), 0);
    EXPECT_EQ(line->DeleteChars(2, 0), 0);
    EXPECT_EQ(line->lexFlags, 0u);
    EXPECT_EQ(line->length, 8);

    std::u16string hundred(100, u'z');
    ASSERT_EQ(line->InsertChars(0, hundred.c_str(), 100), 0);
    EXPECT_EQ(line->capacity, 256u);
    ASSERT_EQ(line->DeleteChars(1, line->length - 2), 0);
    EXPECT_EQ(std::u16string(line->text), u"z");
    EXPECT_EQ(line->capacity, 8u);
    line->Release();
}

TEST(LineStorage, GapMovesOnlyWhenNeeded) {
    LineArray a;
    for (int i = 0; i < 6; i++) {
        EditLine* l = EditLine::New();
        char16_t c = static_cast<char16_t>(u'a' + i);
        l->InsertChars(0, &c, 1);
        ASSERT_EQ(a.InsertLine(i, l), 0);
    }
    a.MoveGap(3);
    int gapEnd = a.gapEnd;
    a.DeleteLine(3); // at the gap start: the gap widens at its end
    EXPECT_EQ(a.gapStart, 3);
    EXPECT_EQ(a.gapEnd, gapEnd + 1);
    a.DeleteLine(0); // elsewhere: the gap moves to just after it first
    EXPECT_EQ(a.gapStart, 0);
    std::u16string all;
    for (int i = 0; i < a.count; i++) all += a.At(i)->text;
    EXPECT_EQ(all, u"bcef");
    for (int i = a.gapStart; i < a.gapEnd; i++) EXPECT_EQ(a.slots[i], nullptr);
    EXPECT_EQ(a.At(-1), &g_editEmptyLine);
    EXPECT_EQ(a.At(a.count), &g_editEmptyLine);
}

TEST(LineStorage, OutOfRangeLinesReadAsTheSharedEmptyLine) {
    CEditData d;
    SetText(d, u"one\r\ntwo");
    EXPECT_EQ(d.GetLine(-1), &g_editEmptyLine);
    EXPECT_EQ(d.GetLine(2), &g_editEmptyLine);
    EXPECT_EQ(d.GetLineLength(5), 0);
    EXPECT_EQ(std::u16string(d.GetLineText(-3)), u"");
    EXPECT_EQ(d.GetCharAt(7, 0), 0u);
}

TEST(NodePool, BlocksAndReuse) {
    NodePool pool(60, 256);
    std::vector<void*> nodes;
    for (int i = 0; i < 256; i++) nodes.push_back(pool.Take());
    EXPECT_EQ(pool.BlockCount(), 1);
    EXPECT_EQ(pool.NodeSize(), 64u);
    void* extra = pool.Take();
    EXPECT_EQ(pool.BlockCount(), 2);
    EXPECT_EQ(pool.InUse(), 257);
    pool.Give(nodes[10]);
    EXPECT_EQ(pool.Take(), nodes[10]);
    pool.Give(extra);
    for (void* n : nodes) pool.Give(n);
    EXPECT_EQ(pool.InUse(), 0);
    EXPECT_EQ(pool.BlockCount(), 2);
}

TEST(LineStorage, AMillionLinesAtStartMiddleAndEnd) {
    CEditData d;
    int before = EditLinePool.InUse();
    const int n = 1000000;
    std::u16string text;
    for (int i = 0; i < n / 4; i++) text += u"m\r\n";
    d.InsertTextAtCaret(text.c_str());
    // A batch of line breaks at the start, in the middle and at the end.
    d.SetCaret(0, 0);
    for (int i = 0; i < n / 4; i++) d.InsertNewLine();
    d.SetCaret(d.GetLineCount() / 2, 0);
    for (int i = 0; i < n / 4; i++) d.InsertNewLine();
    d.SetCaret(d.GetLineCount() - 1, 0);
    for (int i = 0; i < n / 4; i++) d.InsertNewLine();
    ASSERT_EQ(d.GetLineCount(), n + 1);
    EXPECT_GE(d.m_lines.allocated, d.GetLineCount() + 5);
    int m = 0;
    for (int i = 0; i < d.GetLineCount(); i++) m += d.GetLineLength(i);
    EXPECT_EQ(m, n / 4);
    EXPECT_TRUE(Consistent(d));
    // Join them again: at the end, at the start, in the middle.
    for (int i = 0; i < n / 4; i++) {
        d.SetCaret(d.GetLineCount() - 1, 0);
        d.DeletePrevChar();
    }
    for (int i = 0; i < n / 4; i++) {
        d.SetCaret(1, 0);
        d.DeletePrevChar();
    }
    int mid = d.GetLineCount() / 2;
    for (int i = 0; i < n / 4; i++) {
        d.SetCaret(mid, 0);
        d.DeletePrevChar();
        mid--;
    }
    EXPECT_EQ(d.GetLineCount(), n / 4 + 1);
    EXPECT_GE(d.m_lines.allocated, d.GetLineCount() + 5);
    int total = 0;
    bool onlyM = true;
    for (int i = 0; i < d.GetLineCount(); i++) {
        for (const char16_t* p = d.GetLineText(i); *p; p++) onlyM = onlyM && *p == u'm';
        total += d.GetLineLength(i);
    }
    EXPECT_TRUE(onlyM);
    EXPECT_EQ(total, n / 4);
    EXPECT_TRUE(Consistent(d));
    d.ClearText();
    EXPECT_EQ(EditLinePool.InUse(), before);
}
