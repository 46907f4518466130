// Seeded random scripts mixing replacing, box operations and indenting
// typing with plain edits: undo and redo must give back the exact texts.
// TAVRELIX_EDIT_SEED and TAVRELIX_REPLACE_SCRIPTS override seed and count.
#include <cstdlib>
#include <cstring>
#include <random>

#include "tb2_fixture.h"

namespace {

const RandomText kText{u"abcdef{};:", 200, false};

class ReplaceProperty : public MeasuredBuffer {
protected:
    void Operation(Rng& rng) {
        int line = Pick(rng, d_.GetLineCount());
        d_.SetCaret(line, Pick(rng, d_.GetLineLength(line) + 1));
        d_.m_disp.ClearSelection();
        int k = Pick(rng, 100);
        if (k < 25) {
            d_.m_autoIndent = Pick(rng, 3);
            d_.m_expandTabs = Pick(rng, 2);
            static const char16_t typed[] = u"\r\r{}:a \t";
            d_.TypeChar(typed[Pick(rng, 8)]);
            d_.m_autoIndent = 0;
        } else if (k < 32) {
            d_.Backspace();
        } else if (k < 40) {
            d_.InsertText(kText.Piece(rng, 20).c_str());
        } else if (k < 48) {
            EditPos a = RandomPosNear(rng, d_, line);
            d_.DeleteRange(a, RandomPosNear(rng, d_, a.line), 1);
        } else if (k < 60) {
            EditPos a = RandomPosNear(rng, d_, line);
            d_.ReplaceRange(a, RandomPosNear(rng, d_, a.line), kText.Piece(rng, 12).c_str());
        } else if (k < 61 && wholeAllowed_) {
            d_.ReplaceWholeText(kText.Piece(rng, 40).c_str());
        } else if (k < 80) {
            static const char16_t* patterns[] = {u"a",          u"b+c?", u"(a)(b)", u"x*",
                                                 u"[あ-ん]{2}", u"\\t",  u"^\\s+"};
            static const char16_t* with[] = {u"", u"Z", u"$2$1", u"-", u"$&\r\n", u"\t"};
            Regex* regex = Pick(rng, 4) == 0 ? regex_compile_literal(u"ab", 0)
                                             : regex_compile(patterns[Pick(rng, 7)], 0);
            int tmpl = Pick(rng, 2);
            const char16_t* w = with[Pick(rng, 6)];
            int box = Pick(rng, 3) == 0;
            EditPos s = RandomPosNear(rng, d_, line), e = RandomPosNear(rng, d_, line + Pick(rng, 5));
            s = d_.ClampPosition(s);
            e = d_.ClampPosition(e);
            if (box) SetBox(s.line, e.line, Pick(rng, 200), Pick(rng, 200));
            if (!box && Pick(rng, 20) == 0)
                d_.ReplaceAll(u"?", 0, nullptr, nullptr, regex_literal_rare_, 0);
            else
                d_.ReplaceAll(w, tmpl, &s, &e, regex, box);
            regex_destroy(regex);
        } else if (k < 90) {
            EditPos s = d_.ClampPosition(RandomPosNear(rng, d_, line));
            EditPos e = d_.ClampPosition(RandomPosNear(rng, d_, line + Pick(rng, 4)));
            SetBox(s.line, e.line, Pick(rng, 200), Pick(rng, 3) ? Pick(rng, 200) : -1);
            d_.PasteBox(kText.Piece(rng, 30).c_str());
        } else {
            EditPos s = d_.ClampPosition(RandomPosNear(rng, d_, line));
            EditPos e = d_.ClampPosition(RandomPosNear(rng, d_, line + Pick(rng, 4)));
            SetBox(s.line, e.line, Pick(rng, 200), Pick(rng, 200));
            d_.DeleteBox();
        }
        d_.m_disp.ClearSelection();
    }
    Regex* regex_literal_rare_ = nullptr;
    bool wholeAllowed_ = false;
};

} // namespace

TEST_F(ReplaceProperty, UndoAndRedoGiveBackTheTexts) {
    const int seed = EnvInt("TAVRELIX_EDIT_SEED", 20261208);
    const int scripts = EnvInt("TAVRELIX_REPLACE_SCRIPTS", 500);
    Rng rng(static_cast<unsigned>(seed));
    std::u16string text;
    for (int i = 0; i < 10000; i++) {
        std::u16string line;
        int n = Pick(rng, 121);
        while (static_cast<int>(line.size()) < n) kText.AppendChar(rng, line);
        if (i) text += u"\r\n";
        text += line;
    }
    Width(text.c_str()); // every width into the cache
    Width(u"ab{};: \t");
    regex_literal_rare_ = regex_compile_literal(u"あい", 0);
    SetText(d_, text.c_str());
    for (int script = 0; script < scripts; script++) {
        SCOPED_TRACE(script);
        // The whole text is replaced in every 25th script only; the next
        // starts from the full buffer again.
        wholeAllowed_ = script % 25 == 24;
        if (script % 25 == 0) SetText(d_, text.c_str());
        d_.SetUnlimitedUndo();
        d_.MarkSaved();
        const uint64_t original = Hash(d_);
        int ops = 1 + Pick(rng, 40);
        for (int i = 0; i < ops; i++) Operation(rng);
        ASSERT_TRUE(Consistent(d_));
        const uint64_t final = Hash(d_);
        while (d_.Undo() == 0) {
        }
        ASSERT_EQ(Hash(d_), original);
        while (d_.Redo() == 0) {
        }
        ASSERT_EQ(Hash(d_), final);
    }
    regex_destroy(regex_literal_rare_);
}
