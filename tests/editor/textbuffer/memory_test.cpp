#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

#include <windows.h>

#include "editor/nodepool.h"
#include "../box_recorder.h"
#include "tb_helpers.h"

namespace {

// A seeded script of edits; returns a hash of the final text.
uint64_t RunScript(unsigned seed, int ops) {
    std::mt19937 rng(seed);
    CEditData d;
    d.SetUnlimitedUndo();
    for (int i = 0; i < ops; i++) {
        int line = static_cast<int>(rng() % d.GetLineCount());
        d.SetCaret(line, static_cast<int>(rng() % (d.GetLineLength(line) + 1)));
        switch (rng() % 6) {
        case 0: d.InsertText(u"alpha\r\nbeta gamma\rδ\n"); break;
        case 1: d.TypeChar(u'a' + rng() % 26); break;
        case 2: d.Backspace(); break;
        case 3: d.DeleteNextChar(); break;
        case 4: d.DeleteRange(EditPos{0, line}, EditPos{3, line + 2}, 1); break;
        default:
            if (rng() % 2)
                d.Undo();
            else
                d.Redo();
            break;
        }
    }
    uint64_t h = 1469598103934665603ull;
    for (int i = 0; i < d.GetLineCount(); i++)
        for (const char16_t* p = d.GetLineText(i); *p; p++) h = (h ^ *p) * 1099511628211ull;
    return h ^ static_cast<uint64_t>(d.GetLineCount());
}

int RecordsOf(const UndoBuffer& u) {
    int n = 0;
    for (int i = 0; i < u.allocated; i++)
        for (UndoRecord* r = u.slots[i]; r; r = r->next) n++;
    return n;
}

} // namespace

TEST(PoolThreads, TwoThreadsGetTheSequentialTexts) {
    uint64_t a = RunScript(1, 3000);
    uint64_t b = RunScript(2, 3000);
    uint64_t ta = 0, tb = 0;
    std::thread t1([&] { ta = RunScript(1, 3000); });
    std::thread t2([&] { tb = RunScript(2, 3000); });
    t1.join();
    t2.join();
    EXPECT_EQ(ta, a);
    EXPECT_EQ(tb, b);
}

TEST(PoolMemory, EveryFailedAllocationLeavesASoundBuffer) {
    BoxRecorder quiet;
    std::u16string big(9000, u'w');
    std::u16string many;
    for (int i = 0; i < 300; i++) many += u"line\r\n";
    int total = 0;
    for (int n = 1;; n++) {
        SCOPED_TRACE(n);
        int lineBase = EditLinePool.InUse();
        int recordBase = UndoRecordPool.InUse();
        bool reached;
        {
            CEditData d;
            d.SetUnlimitedUndo();
            FailingHeap heap(n);
            auto check = [&](int result) {
                ASSERT_TRUE(result == 0 || result == 1);
                ASSERT_TRUE(Consistent(d));
                ASSERT_EQ(EditLinePool.InUse() - lineBase, d.GetLineCount());
                ASSERT_EQ(UndoRecordPool.InUse() - recordBase, RecordsOf(*d.m_undo));
            };
            check(d.InsertText(many.c_str()));
            for (int i = 0; i < 70; i++) {
                d.SetCaret(i * 3, 2);
                check(d.TypeChar(u'x'));
            }
            check(d.InsertText(big.c_str()));
            check(d.InsertText(u"\U0002000B\r\n\U0002000B"));
            d.SetCaret(5, 0);
            check(d.Backspace());
            check(d.DeleteNextChar());
            check(d.DeleteRange(EditPos{1, 3}, EditPos{2, 40}, 1));
            check(d.Undo());
            check(d.Undo());
            check(d.Redo());
            d.SetCaret(1, 0);
            for (int i = 0; i < 40; i++) check(d.TypeChar(u'\r'));
            d.m_limit = d.GetTextSize() + 1;
            check(d.InsertText(u"q\U0002000B"));
            d.m_limit = -1;
            while (d.Undo() == 0) ASSERT_TRUE(Consistent(d));
            check(0);
            reached = FailingHeap::calls < n;
            total = FailingHeap::calls;
        }
        if (reached) break;
        ASSERT_LT(n, 5000);
    }
    EXPECT_GT(total, 10);
    std::printf("allocations swept: %d\n", total);
}
