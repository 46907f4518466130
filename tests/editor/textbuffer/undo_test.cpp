#include <gtest/gtest.h>

#include <stdexcept>

#include <windows.h>

#include "editor/nodepool.h"
#include "editor/undo.h"
#include "../box_recorder.h"
#include "tb_helpers.h"

namespace {

int Steps(UndoBuffer& u) {
    int n = 0;
    while (u.current) {
        u.StepBack();
        n++;
    }
    return n;
}

} // namespace

TEST(UndoRing, CapacityTwoKeepsOneStep) {
    UndoBuffer u(2, 2);
    ASSERT_EQ(u.AddRecord(1, 0), 0);
    uint32_t first = u.CurrentStepId();
    ASSERT_EQ(u.AddRecord(1, 0), 0);
    EXPECT_EQ(u.CurrentStepId(), first + 1);
    EXPECT_EQ(Steps(u), 1);
    EXPECT_EQ(u.StepForward(), 0);
    EXPECT_EQ(u.CurrentStepId(), first + 1);
    EXPECT_EQ(u.StepForward(), 1);
}

TEST(UndoRing, UnlimitedGrowsBy64) {
    UndoBuffer u(INT_MAX, 64);
    for (int i = 0; i < 200; i++) ASSERT_EQ(u.AddRecord(1, 0), 0);
    EXPECT_EQ(u.allocated, 256);
    EXPECT_EQ(Steps(u), 200);
    for (int i = 0; i < 200; i++) ASSERT_EQ(u.StepForward(), 0);
    EXPECT_EQ(u.StepForward(), 1);
}

TEST(UndoRing, NewStepAfterUndoDropsTheRedo) {
    UndoBuffer u(INT_MAX, 64);
    u.AddRecord(1, 0);
    u.AddRecord(1, 0);
    u.StepBack();
    int inUse = UndoRecordPool.InUse();
    u.AddRecord(3, 0);
    EXPECT_EQ(UndoRecordPool.InUse(), inUse); // one freed, one taken
    EXPECT_EQ(u.StepForward(), 1);
    EXPECT_EQ(u.current->type, 3);
}

TEST(UndoRing, EmptyGroupsLeaveNoStep) {
    UndoBuffer u(INT_MAX, 64);
    u.AddRecord(1, 0);
    int top = u.top;
    int inUse = UndoRecordPool.InUse();
    u.BeginGroup(0);
    u.BeginGroup(0); // nested: a type-0 record in the same step
    u.EndGroup();
    EXPECT_EQ(u.depth, 1);
    EXPECT_EQ(u.top, top + 1);
    u.EndGroup();
    EXPECT_EQ(u.top, top);
    EXPECT_EQ(u.current->type, 1);
    EXPECT_EQ(UndoRecordPool.InUse(), inUse);

    u.BeginGroup(1);
    u.BeginGroup(0);
    u.EndGroup();
    u.EndGroup();
    EXPECT_EQ(u.top, top);
    EXPECT_EQ(u.current->type, 1);
    EXPECT_EQ(UndoRecordPool.InUse(), inUse);
}

TEST(UndoRing, NestedGroupsFinaliseOnlyAtTheOutermost) {
    UndoBuffer u(INT_MAX, 64);
    u.BeginGroup(0);
    u.AddRecord(1, 0);
    u.BeginGroup(0);
    u.AddRecord(3, 0);
    u.EndGroup();
    u.AddRecord(1, 0);
    u.EndGroup();
    EXPECT_EQ(Steps(u), 1);
}

TEST(UndoRing, LazyGroupBecomesOneStep) {
    UndoBuffer u(INT_MAX, 64);
    u.AddRecord(1, 0);
    uint32_t before = u.CurrentStepId();
    u.BeginGroup(1);
    UndoRecord* detached = u.current;
    EXPECT_EQ(u.top, 1); // the ring is not touched yet
    u.AddRecord(1, 0);
    UndoRecord* a = u.current;
    u.AddRecord(3, 0);
    UndoRecord* b = u.current;
    u.EndGroup();
    UndoRecord* head = u.TopStep();
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(u.top, 2);
    EXPECT_EQ(head->type, 0);
    EXPECT_EQ(head->next, detached);
    EXPECT_EQ(detached->previous, head);
    EXPECT_EQ(a->previous, detached);
    EXPECT_EQ(b->previous, a);
    EXPECT_EQ(u.current, b);
    for (UndoRecord* r = head; r; r = r->next) EXPECT_EQ(r->stepId, before + 1);
    // A chained record joins the group's step.
    u.AddRecord(4, 1);
    EXPECT_EQ(u.current->previous, b);
    EXPECT_EQ(b->next, u.current);
    EXPECT_EQ(u.current->stepId, before + 1);
    EXPECT_EQ(Steps(u), 2);
    // The next step gets the next id.
    u.StepForward();
    u.StepForward();
    u.AddRecord(1, 0);
    EXPECT_EQ(u.CurrentStepId(), before + 2);
}

TEST(UndoRing, GuardEndsTheGroupOnException) {
    UndoBuffer u(INT_MAX, 64);
    try {
        u.BeginGroup(0);
        UndoGroupGuard guard(&u, true);
        u.AddRecord(1, 0);
        throw std::runtime_error("x");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(u.depth, 0);
    EXPECT_EQ(Steps(u), 1);
}

TEST(UndoRing, TextGrowsByDoubling) {
    UndoBuffer u(INT_MAX, 64);
    u.AddRecord(1, 0);
    UndoRecord* r = u.current;
    EXPECT_EQ(r->AppendText(u"abc", -1), 0); // up to the NUL
    EXPECT_EQ(r->capacity, 64u);
    std::u16string big(40, u'x');
    EXPECT_EQ(r->AppendText(big.c_str(), 40), 0);
    EXPECT_EQ(r->capacity, 128u);
    EXPECT_EQ(r->length, 43u);
    EXPECT_EQ(std::u16string(r->text, 3), u"abc");
}

TEST(UndoRing, NoMemoryShowsTheBoxAndKeepsTheHistory) {
    BoxRecorder boxes;
    UndoBuffer u(INT_MAX, 64);
    for (int i = 0; i < 62; i++) u.AddRecord(1, 0);
    {
        FailingHeap heap(1); // the slot array cannot grow
        EXPECT_EQ(u.AddRecord(1, 0), 1);
    }
    EXPECT_EQ(boxes.last.count, 1);
    EXPECT_EQ(boxes.last.text, u"メモリが確保できません");
    EXPECT_EQ(boxes.last.caption, u"メッセージ");
    EXPECT_EQ(boxes.last.type, static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_EQ(u.top, 62);
    EXPECT_EQ(Steps(u), 62);
}

TEST(UndoRing, NoRecordShowsTheBoxOnce) {
    BoxRecorder boxes;
    UndoBuffer u(INT_MAX, 64);
    u.AddRecord(1, 0);
    u.AddRecord(3, 0);
    std::vector<void*> drained;
    while (UndoRecordPool.FreeCount() > 0) drained.push_back(UndoRecordPool.Take());
    {
        FailingHeap heap(1, true); // the pool cannot add a block
        EXPECT_EQ(u.AddRecord(1, 0), 1);
        EXPECT_EQ(u.AddRecord(4, 1), 1); // chained: no box on this path
    }
    for (void* n : drained) UndoRecordPool.Give(n);
    EXPECT_EQ(boxes.last.count, 1);
    EXPECT_EQ(u.current->type, 3);
    EXPECT_EQ(Steps(u), 2);
}
