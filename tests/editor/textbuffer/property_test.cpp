// Seeded random edit scripts: undo and redo must give back the exact texts.
// TAVRELIX_EDIT_SEED and TAVRELIX_EDIT_SCRIPTS override the seed and count.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "editor/nodepool.h"
#include "tb_helpers.h"

namespace {

const RandomText kText{u"abcdefghijklmnopqrstuvwxyz", 2000, true};

uint32_t RandomTyped(Rng& rng) {
    switch (Pick(rng, 10)) {
    case 0: return u' ';
    case 1: return u'\r';
    case 2: return u'\t';
    case 3: return 0x2000B;
    case 4: return u'あ';
    default: return u'a' + Pick(rng, 26);
    }
}

// One operation, the caret first set to a line in [lo, hi).
void RandomOperation(Rng& rng, CEditData& d, bool setCaret, int lo, int hi) {
    if (setCaret) {
        int line = lo + Pick(rng, hi > lo ? hi - lo : 1);
        d.SetCaret(line, Pick(rng, d.GetLineLength(line) + 1));
    }
    int k = Pick(rng, 100);
    if (k < 30) {
        d.TypeChar(RandomTyped(rng));
    } else if (k < 40) {
        d.Backspace();
    } else if (k < 50) {
        d.DeleteNextChar();
    } else if (k < 62) {
        d.InsertText(kText.Piece(rng, 30).c_str());
    } else if (k < 72) {
        EditPos a = RandomPosNear(rng, d, d.m_caretLine);
        d.DeleteRange(a, RandomPosNear(rng, d, a.line), 1);
    } else if (k < 84) {
        d.m_limit = d.GetTextSize() + Pick(rng, 4);
        if (Pick(rng, 2))
            d.TypeChar(RandomTyped(rng));
        else
            d.InsertText(kText.Piece(rng, 6).c_str());
        d.m_limit = -1;
    } else if (k < 92) {
        d.MoveCaretChars(Pick(rng, 11) - 5);
    } else {
        d.MoveCaretLines(Pick(rng, 7) - 3);
    }
}

} // namespace

TEST(EditProperty, UndoAndRedoGiveBackTheTexts) {
    const int seed = EnvInt("TAVRELIX_EDIT_SEED", 20261208);
    const int scripts = EnvInt("TAVRELIX_EDIT_SCRIPTS", 1000);
    Rng rng(static_cast<unsigned>(seed));
    CEditData d;
    std::u16string text;
    for (int i = 0; i < 10000; i++) {
        int n = Pick(rng, 121);
        std::u16string line;
        while (static_cast<int>(line.size()) < n) kText.AppendChar(rng, line);
        text += line;
        text += u"\r\n";
    }
    SetText(d, text.c_str());
    ASSERT_EQ(d.GetLineCount(), 10001);
    int beforeNodes = EditLinePool.InUse() - d.GetLineCount();
    for (int script = 0; script < scripts; script++) {
        SCOPED_TRACE(script);
        if (script % 100 == 99) SetText(d, text.c_str());
        d.SetUnlimitedUndo();
        d.MarkSaved();
        const uint64_t original = Hash(d);
        // Every tenth script edits a window of lines and checks each single
        // undo against the text before the operation that made the step; the
        // others edit anywhere, with or without closing records in between.
        const bool stepwise = script % 10 == 0;
        const bool setCaret = stepwise || script % 2 == 0;
        const int w = Pick(rng, d.GetLineCount());
        const int from = w > 20 ? w - 20 : 0;
        const int tail = d.GetLineCount() - (w + 70) > 0 ? d.GetLineCount() - (w + 70) : 0;
        std::vector<uint64_t> before;
        int ops = 1 + Pick(rng, 200);
        for (int i = 0; i < ops; i++) {
            int lo = 0, hi = d.GetLineCount();
            if (stepwise) {
                lo = w;
                hi = d.GetLineCount() - tail - 8;
                if (hi > w + 50) hi = w + 50;
                if (hi <= lo) lo = hi = from + 8 < d.GetLineCount() ? from + 8 : from;
            }
            uint64_t h = stepwise ? Hash(d, from, tail) : 0;
            int counter = d.m_undo->stepCounter;
            RandomOperation(rng, d, setCaret, lo, hi);
            if (stepwise && d.m_undo->stepCounter != counter) before.push_back(h);
        }
        ASSERT_TRUE(Consistent(d));
        const uint64_t final = Hash(d);
        if (stepwise) {
            while (!before.empty()) {
                ASSERT_EQ(d.Undo(), 0);
                ASSERT_EQ(Hash(d, from, tail), before.back());
                before.pop_back();
            }
        }
        while (d.Undo() == 0) {
        }
        ASSERT_EQ(Hash(d), original);
        for (int i = 0; i < d.GetLineCount(); i++) ASSERT_EQ(d.GetLine(i)->modified, -1);
        while (d.Redo() == 0) {
        }
        ASSERT_EQ(Hash(d), final);
    }
    ASSERT_TRUE(Consistent(d));
    SetText(d, text.c_str());
    std::u16string back;
    for (int i = 0; i < d.GetLineCount(); i++) back += d.GetLineText(i), back += u"\r\n";
    back.resize(back.size() - 2);
    EXPECT_EQ(back, text);
    d.ClearUndo();
    EXPECT_EQ(EditLinePool.InUse() - d.GetLineCount(), beforeNodes);
}
