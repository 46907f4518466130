#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "grid/gridfilter.h"
#include "grid/gridswap.h"
#include "testmodel.h"

namespace {

std::u16string S(const char16_t* s) {
    return s ? std::u16string(s) : std::u16string();
}

std::vector<int> StepTypes(CGridData& g) {
    std::vector<int> types;
    UndoBuffer* u = g.GetUndoBuffer();
    for (UndoRecord* r = u ? u->TopStep() : nullptr; r; r = r->next) types.push_back(r->type);
    return types;
}

// Counts computed from the row states.
void ExpectCounts(VectorGridData& g) {
    int ins = 0, upd = 0, del = 0;
    for (int r = 0; r < g.GetRowCount(); ++r) {
        ins += g.IsInsertedRow(r);
        upd += g.IsUpdatedRow(r);
        del += g.IsDeletedRow(r);
    }
    EXPECT_EQ(g.m_insertedCount, ins);
    EXPECT_EQ(g.m_updatedCount, upd);
    EXPECT_EQ(g.m_deletedCount, del);
}

} // namespace

TEST(GridEditable, GapBufferAgreesWithVector) {
    VectorGridData g(20, 2);
    g.Bind();
    std::vector<std::u16string> want;
    for (int r = 0; r < 20; ++r) want.push_back(g.cells[static_cast<size_t>(r)][0]);
    std::mt19937 rng(7);
    int tag = 0;
    for (int step = 0; step < 400; ++step) {
        int n = static_cast<int>(want.size());
        if (rng() % 3 != 0 || n == 0) {
            int after = static_cast<int>(rng() % static_cast<unsigned>(n + 1)) - 1;
            int count = 1 + static_cast<int>(rng() % 3);
            ASSERT_EQ(g.InsertRows(after, count), 0);
            for (int i = 0; i < count; ++i) {
                std::u16string t = u"t" + VectorGridData::Num(tag++);
                ASSERT_EQ(g.SetText(after + 1 + i, 0, t.c_str(), -1), 0);
                want.insert(want.begin() + after + 1 + i, t);
            }
        } else {
            int row = static_cast<int>(rng() % static_cast<unsigned>(n));
            if (!g.IsInsertedRow(row)) continue;
            g.DeleteRow(row);
            want.erase(want.begin() + row);
        }
        ASSERT_EQ(g.GetRowCount(), static_cast<int>(want.size()));
        for (int r = 0; r < g.GetRowCount(); ++r)
            ASSERT_EQ(S(g.GetText(r, 0)), want[static_cast<size_t>(r)]) << r;
    }
    ExpectCounts(g);
}

TEST(GridEditable, RecordTypesAndRowHeaders) {
    VectorGridData g(4, 3);
    g.Bind();
    EXPECT_EQ(g.SetText(0, 0, u"0-0", -1), 0); // same text: nothing
    EXPECT_FALSE(g.CanUndo());
    EXPECT_FALSE(g.IsUpdatedRow(0));
    EXPECT_EQ(g.SetText(0, 0, u"x", -1), 0);
    EXPECT_EQ(StepTypes(g), (std::vector<int>{1, 4}));
    EXPECT_EQ(g.SetText(0, 1, u"y", -1), 0);
    EXPECT_EQ(StepTypes(g), (std::vector<int>{2, 4}));
    EXPECT_EQ(g.SetText(0, 1, u"z", -1), 0);
    EXPECT_EQ(StepTypes(g), (std::vector<int>{3, 4}));
    EXPECT_EQ(g.m_updatedCount, 1);
    ASSERT_EQ(g.InsertRows(0, 1), 0);
    EXPECT_EQ(StepTypes(g), (std::vector<int>{0, 20}));
    g.DeleteRow(2);
    EXPECT_EQ(S(g.GetRowHeaderText(0)), u"*     1");
    EXPECT_EQ(S(g.GetRowHeaderText(1)), u"+     2");
    EXPECT_EQ(S(g.GetRowHeaderText(2)), u"-     3");
    EXPECT_EQ(S(g.GetRowHeaderText(3)), u"      4");
    EXPECT_EQ(g.GetRowHeaderWidth(), 7);
    ExpectCounts(g);
    // Too long: refused.
    g.maxLen[2] = 3;
    EXPECT_EQ(g.SetText(3, 2, u"abcd", -1), 1);
    EXPECT_EQ(g.SetText(3, 2, u"abc", -1), 0);
    EXPECT_EQ(g.SetText(-1, 0, u"a", -1), 1);
}

TEST(GridEditable, UndoRedoOfEdits) {
    VectorGridData g(3, 3);
    g.Bind();
    g.SetText(1, 0, u"a", -1);
    g.SetText(1, 2, u"b", -1);
    EXPECT_EQ(g.m_updatedCount, 1);
    EXPECT_TRUE(g.IsCellModified(1, 2));
    EXPECT_EQ(g.Undo(), 0);
    EXPECT_EQ(g.m_curRow, 1);
    EXPECT_EQ(g.m_curCol, 2);
    EXPECT_EQ(g.Undo(), 0);
    EXPECT_EQ(g.Undo(), 1);
    EXPECT_FALSE(g.IsUpdatedRow(1));
    EXPECT_FALSE(g.IsCellModified(1, 0));
    EXPECT_EQ(g.m_updatedCount, 0);
    EXPECT_EQ(S(g.GetText(1, 0)), u"1-0");
    EXPECT_TRUE(g.CanRedo());
    EXPECT_EQ(g.Redo(), 0);
    EXPECT_EQ(g.Redo(), 0);
    EXPECT_EQ(g.Redo(), 1);
    EXPECT_EQ(S(g.GetText(1, 2)), u"b");
    EXPECT_EQ(g.m_updatedCount, 1);
    EXPECT_TRUE(g.IsModified());
}

TEST(GridEditable, DeletingRows) {
    VectorGridData g(3, 2);
    g.Bind();
    ASSERT_EQ(g.InsertRows(0, 1), 0);
    g.SetText(1, 0, u"new", -1);
    g.SetText(1, 1, u"row", -1);
    EXPECT_EQ(g.m_insertedCount, 1);
    g.DeleteRows(1, 1);
    EXPECT_EQ(g.GetRowCount(), 3);
    EXPECT_EQ(g.m_insertedCount, 0);
    EXPECT_EQ(S(g.GetText(1, 0)), u"1-0");
    EXPECT_EQ(g.Undo(), 0);
    EXPECT_EQ(g.GetRowCount(), 4);
    EXPECT_TRUE(g.IsInsertedRow(1));
    EXPECT_EQ(S(g.GetText(1, 0)), u"new");
    EXPECT_EQ(S(g.GetText(1, 1)), u"row");
    EXPECT_TRUE(g.IsCellModified(1, 1));
    ExpectCounts(g);
    // An existing row toggles.
    g.SetText(2, 0, u"e", -1);
    EXPECT_EQ(g.m_updatedCount, 1);
    g.DeleteRows(2, 2);
    EXPECT_TRUE(g.IsDeletedRow(2));
    EXPECT_EQ(g.m_deletedCount, 1);
    EXPECT_EQ(g.m_updatedCount, 0);
    g.DeleteRows(2, 2);
    EXPECT_FALSE(g.IsDeletedRow(2));
    EXPECT_EQ(g.m_deletedCount, 0);
    EXPECT_EQ(g.m_updatedCount, 1);
    ExpectCounts(g);
}

TEST(GridEditable, UpdatedFlagSurvivesEditOfDeletedRow) {
    VectorGridData g(2, 2);
    g.Bind();
    g.SetText(0, 0, u"a", -1);
    g.DeleteRow(0);
    g.SetText(0, 1, u"b", -1);
    EXPECT_EQ(StepTypes(g), (std::vector<int>{2, 4}));
    g.Undo();
    g.DeleteRow(0); // undelete
    EXPECT_TRUE(g.IsUpdatedRow(0));
    EXPECT_TRUE(g.IsCellModified(0, 0));
    EXPECT_EQ(g.m_updatedCount, 1);
    ExpectCounts(g);
}

TEST(GridEditable, InsertRowsRecordsWhatItDid) {
    VectorGridData g(8, 2);
    g.Bind();
    g.SetCursor(5, 1);
    ASSERT_EQ(g.InsertRows(-1, 3), 0);
    EXPECT_EQ(g.m_curRow, 2);
    EXPECT_EQ(g.GetRowCount(), 11);
    EXPECT_TRUE(g.IsInsertedRow(0));
    g.Undo();
    EXPECT_EQ(g.GetRowCount(), 8);
    for (int r = 0; r < 8; ++r) EXPECT_EQ(S(g.GetText(r, 0)), VectorGridData::Num(r) + u"-0");
    EXPECT_EQ(g.m_insertedCount, 0);
    g.Redo();
    EXPECT_EQ(g.GetRowCount(), 11);
    EXPECT_EQ(S(g.GetText(3, 0)), u"0-0");

    VectorGridData full(10, 2);
    full.m_setupMargin = 0;
    full.Bind();
    grid_rows_grow_hook = [](size_t) { return false; };
    EXPECT_EQ(full.InsertRows(3, 2), 1);
    grid_rows_grow_hook = nullptr;
    EXPECT_EQ(full.GetRowCount(), 10);
    EXPECT_FALSE(full.CanUndo());
    EXPECT_EQ(full.InsertRows(3, 2), 0); // growth works again
    EXPECT_EQ(full.GetRowCount(), 12);

    // No rows asked for: success, and nothing inserted or recorded.
    int steps = full.GetUndoBuffer()->stepCounter;
    int cursorRow = full.m_curRow;
    for (int count : {0, -1, -5}) {
        EXPECT_EQ(full.InsertRows(3, count), 0) << count;
        EXPECT_EQ(full.GetRowCount(), 12);
        EXPECT_EQ(full.m_insertedCount, 2);
        EXPECT_EQ(full.GetUndoBuffer()->stepCounter, steps);
        EXPECT_EQ(full.m_curRow, cursorRow);
    }
}

TEST(GridEditable, Paste) {
    VectorGridData g(6, 4);
    g.Bind();
    // One field, one line, into three rows by two columns.
    g.m_sel1 = POINT{1, 0};
    g.m_sel2 = POINT{2, 2};
    g.SetCursor(0, 1);
    g.PasteText(u"v");
    for (int r = 0; r <= 2; ++r)
        for (int c = 1; c <= 2; ++c) EXPECT_EQ(S(g.GetText(r, c)), u"v");
    EXPECT_EQ(S(g.GetText(0, 3)), u"0-3");
    EXPECT_EQ(StepTypes(g).size(), 1u + 6u * 2u);
    // Three fields into two columns widen the selection.
    g.m_sel1 = POINT{0, 3};
    g.m_sel2 = POINT{1, 3};
    g.PasteText(u"a\tb\tc");
    EXPECT_EQ(g.m_sel2.x, 2);
    EXPECT_EQ(S(g.GetText(3, 2)), u"c");
    // A trailing line break ends the paste.
    g.m_sel1 = POINT{0, -1};
    g.SetCursor(4, 0);
    g.PasteText(u"p\tq\r\n");
    EXPECT_EQ(S(g.GetText(4, 1)), u"q");
    EXPECT_EQ(S(g.GetText(5, 0)), u"5-0");
    // Lines go down, extra fields are dropped, quotes are read.
    g.SetCursor(4, 2);
    EXPECT_EQ(g.PasteText(u"1\t2\t3\n\"4\t\"\n"), 0);
    EXPECT_EQ(S(g.GetText(4, 3)), u"2");
    EXPECT_EQ(S(g.GetText(5, 2)), u"4\t");
    EXPECT_EQ(g.GetRowCount(), 6);
    // No field buffer: nothing pasted, no step.
    int steps = g.GetUndoBuffer()->stepCounter;
    grid_paste_alloc_hook = [](size_t) { return false; };
    g.PasteText(u"never");
    grid_paste_alloc_hook = nullptr;
    EXPECT_EQ(g.GetUndoBuffer()->stepCounter, steps);
    EXPECT_EQ(S(g.GetText(4, 2)), u"1");
    // A 5 MB field arrives whole.
    g.maxLen[0] = INT_MAX;
    std::u16string big(5 * 1024 * 1024, u'a');
    g.SetCursor(0, 0);
    g.PasteText((big + u"\tz").c_str());
    EXPECT_EQ(S(g.GetText(0, 0)).size(), big.size());
    EXPECT_EQ(S(g.GetText(0, 1)), u"z");
    // Area: nothing when every editable cell already holds the text.
    int before = g.GetUndoBuffer()->stepCounter;
    g.SetAreaText(POINT{1, 1}, POINT{2, 2}, u"v", -1);
    EXPECT_EQ(g.GetUndoBuffer()->stepCounter, before);
    g.SetAreaText(POINT{2, 0}, POINT{1, 1}, u"w", -1);
    EXPECT_EQ(S(g.GetText(1, 1)), u"w");
    EXPECT_EQ(S(g.GetText(2, 1)), u"v");
}

TEST(GridEditable, APasteWithMoreLinesThanRowsIsRefusedWhole) {
    VectorGridData g(20, 3);
    g.Bind();
    auto unchanged = [&] {
        for (int r = 0; r < 20; ++r)
            for (int c = 0; c < 3; ++c)
                if (S(g.GetText(r, c)) != VectorGridData::Num(r) + u"-" + VectorGridData::Num(c))
                    return false;
        return g.GetRowCount() == 20 && !g.CanUndo() && g.m_updatedCount == 0;
    };
    // 100,000 lines into 20 rows: nothing of it lands, rather than 20.
    std::u16string many;
    for (int i = 0; i < 100000; ++i) many += u"v" + VectorGridData::Num(i) + u"\r\n";
    g.SetCursor(0, 0);
    EXPECT_EQ(g.PasteText(many.c_str()), 1);
    EXPECT_TRUE(unchanged());
    // One line too many from the cursor row, however the lines end; quoted
    // line breaks stay inside their field.
    g.SetCursor(17, 1);
    for (const char16_t* text : {u"a\nb\nc\nd", u"a\rb\rc\rd\r", u"a\r\nb\r\nc\r\nd\r\n"}) {
        EXPECT_EQ(g.PasteText(text), 1) << S(text).size();
        EXPECT_TRUE(unchanged());
    }
    // Exactly as many lines as rows are left (a final line break starts none).
    EXPECT_EQ(g.PasteText(u"a\n\"b\nb\"\nc\r\n"), 0);
    EXPECT_EQ(S(g.GetText(17, 1)), u"a");
    EXPECT_EQ(S(g.GetText(18, 1)), u"b\nb");
    EXPECT_EQ(S(g.GetText(19, 1)), u"c");
    g.Undo();
    EXPECT_TRUE(unchanged());
    // A selection takes as many lines as it has rows; the selection stays as
    // it was when the paste is refused, even when the text is wider.
    g.m_sel1 = POINT{1, 2};
    g.m_sel2 = POINT{0, 4};
    EXPECT_EQ(g.PasteText(u"x\ty\tz\nx\nx\nx"), 1);
    EXPECT_TRUE(unchanged());
    EXPECT_EQ(g.m_sel1.x, 1);
    EXPECT_EQ(g.m_sel2.x, 0);
    EXPECT_EQ(g.PasteText(u"x\ty\tz\nx\nx"), 0);
    EXPECT_EQ(g.m_sel1.x, 2); // widened to the text
    EXPECT_EQ(S(g.GetText(2, 2)), u"z");
    EXPECT_EQ(S(g.GetText(4, 0)), u"x");
    g.Undo();
    // One line repeats over every selected row, however many.
    EXPECT_EQ(g.PasteText(u"r\ts"), 0);
    for (int r = 2; r <= 4; ++r) EXPECT_EQ(S(g.GetText(r, 1)), u"s");

    // The filtered and the swapped views refuse the same way.
    VectorGridData src(6, 4);
    src.Bind();
    int count = 0;
    CString err;
    ASSERT_EQ(src.SetFilter(0, u"[0-2]-", 1, 1, 1, &count, &err, 1), 0);
    ASSERT_EQ(src.m_filter->GetRowCount(), 3);
    src.m_filter->SetCursor(1, 0);
    EXPECT_EQ(src.m_filter->PasteText(u"p\nq\nr"), 1);
    EXPECT_EQ(S(src.GetText(1, 0)), u"1-0");
    EXPECT_EQ(src.m_filter->PasteText(u"p\nq"), 0);
    EXPECT_EQ(S(src.GetText(2, 0)), u"q");
    src.ClearFilter();
    CGridData_SwapRowCol swapped(&src);
    swapped.ResetLayout();
    swapped.SetCursor(2, 0); // four rows: the source's columns
    EXPECT_EQ(swapped.PasteText(u"p\nq\nr"), 1);
    EXPECT_EQ(S(src.GetText(0, 3)), u"0-3");
    EXPECT_EQ(swapped.PasteText(u"p\nq"), 0);
    EXPECT_EQ(S(src.GetText(0, 3)), u"q");
}

namespace {

struct Snapshot {
    std::vector<std::vector<std::u16string>> texts;
    std::vector<int> flags, bits;
    int ins, upd, del, filtered;
    bool operator==(const Snapshot&) const = default;
};

Snapshot Take(VectorGridData& g) {
    Snapshot s;
    for (int r = 0; r < g.GetRowCount(); ++r) {
        std::vector<std::u16string> row;
        int bits = 0;
        for (int c = 0; c < g.GetColCount(); ++c) {
            row.push_back(S(g.GetText(r, c)));
            bits |= g.IsCellModified(r, c) << c;
        }
        s.texts.push_back(row);
        s.flags.push_back(g.Row(r)->flags & 7);
        s.bits.push_back(bits);
    }
    s.ins = g.m_insertedCount;
    s.upd = g.m_updatedCount;
    s.del = g.m_deletedCount;
    s.filtered = g.m_filtered;
    return s;
}

void CheckFilterMap(VectorGridData& g) {
    if (!g.m_filtered) return;
    CGridData_Filter* f = g.m_filter;
    std::vector<int> marked;
    for (int r = 0; r < g.GetRowCount(); ++r)
        if (g.IsRowMarked(r)) marked.push_back(r);
    ASSERT_EQ(f->m_rowCount, static_cast<int>(marked.size()));
    for (int i = 0; i < f->m_rowCount; ++i) ASSERT_EQ(f->m_map[i], marked[static_cast<size_t>(i)]);
}

} // namespace

TEST(GridEditable, RandomOperationsUndoAndRedoExactly) {
    std::mt19937 rng(12345);
    const char16_t* texts[] = {u"", u"a", u"b", u"10", u"9", u"x\ty", u"あ"};
    for (int round = 0; round < 6; ++round) {
        VectorGridData g(12, 3);
        g.kinds[2] = 0;
        for (int r = 0; r < 12; r += 4) g.nulls[static_cast<size_t>(r)] = {1, 1, 1};
        g.Bind();
        Snapshot initial = Take(g);
        for (int step = 0; step < 120; ++step) {
            int rows = g.GetRowCount();
            auto rr = [&] { return rows ? static_cast<int>(rng() % static_cast<unsigned>(rows)) : 0; };
            int c = static_cast<int>(rng() % 3);
            const char16_t* t = texts[rng() % 7];
            switch (rng() % 12) {
            case 0:
            case 1: g.SetText(rr(), c, t, -1); break;
            case 2: g.SetAreaText(POINT{c, rr()}, POINT{static_cast<int>(rng() % 3), rows - 1}, t, -1); break;
            case 3:
                g.SetCursor(rr(), c);
                g.m_sel1 = POINT{0, -1};
                g.PasteText(u"p\tq\nr\t\ns");
                break;
            case 4: g.InsertRows(rr() - 1, 1 + static_cast<int>(rng() % 3)); break;
            case 5: {
                int a = rr();
                g.DeleteRows(a, std::min(rows - 1, a + static_cast<int>(rng() % 3)));
                break;
            }
            case 6: g.DeleteNullRows(static_cast<int>(rng() % 2)); break;
            case 7: {
                int cols[2] = {c, (c + 1) % 3};
                int dirs[2] = {rng() % 2 ? 1 : -1, 1};
                g.Sort(cols, dirs, 1 + static_cast<int>(rng() % 2));
                break;
            }
            case 8: {
                int count;
                CString err;
                g.SetFilter(c, rng() % 2 ? u"1" : u"[", 0, 0, static_cast<int>(rng() % 2), &count, &err, 1);
                break;
            }
            case 9: g.ClearFilter(); break;
            case 10: g.Undo(); break;
            case 11: g.Redo(); break;
            }
            ExpectCounts(g);
            CheckFilterMap(g);
        }
        Snapshot final = Take(g);
        int undone = 0;
        while (g.Undo() == 0) {
            ExpectCounts(g);
            CheckFilterMap(g);
            ++undone;
        }
        ASSERT_TRUE(Take(g) == initial) << "round " << round;
        for (int i = 0; i < undone; ++i) {
            ASSERT_EQ(g.Redo(), 0);
            ExpectCounts(g);
        }
        ASSERT_TRUE(Take(g) == final) << "round " << round;
    }
}
