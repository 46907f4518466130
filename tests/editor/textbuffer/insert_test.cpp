// InsertTextAtCaret against a model of lines: random texts (CR, LF, CR LF,
// surrogate pairs, empty and long lines) inserted at random carets of random
// buffers, with and without an open undo record. Every line's text, length,
// flags, mark and block size, the caret, the total and the record's text are
// what the model says. TAVRELIX_EDIT_SEED and TAVRELIX_INSERT_SCRIPTS
// override the seed and the count.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/nodepool.h"
#include "tb_helpers.h"

namespace {

// The pieces of a text between its line breaks (CR LF is one break).
std::vector<std::u16string> Pieces(const std::u16string& text) {
    std::vector<std::u16string> out(1);
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == u'\r' || text[i] == u'\n') {
            if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') i++;
            out.emplace_back();
        } else {
            out.back() += text[i];
        }
    }
    return out;
}

// Bytes of the line-text block that a line of n units grown by insertion
// holds: the size class of 2n + 4 bytes, or above 8192 bytes the request
// rounded up to 1 KB.
uint64_t BlockFor(size_t n) {
    uint64_t want = 2 * n + 4;
    if (want > 8192) return (want + 1023) / 1024 * 1024;
    uint64_t size = 8;
    while (size < want) size <<= 1;
    return size;
}

struct LineState {
    std::u16string text;
    uint32_t lexFlags;
    int32_t modified;
    uint64_t capacity;
};

std::vector<LineState> States(const CEditData& d) {
    std::vector<LineState> out;
    for (int i = 0; i < d.GetLineCount(); i++) {
        const EditLine* l = d.GetLine(i);
        out.push_back(LineState{l->text, l->lexFlags, l->modified, l->capacity});
    }
    return out;
}

// A text of the given length: letters, kana, pairs, TABs and breaks of every
// kind, with runs of breaks (empty lines) and now and then a long line.
std::u16string RandomInsert(Rng& rng, int units) {
    const RandomText letters{u"abcxyz", 300, false};
    std::u16string s;
    while (static_cast<int>(s.size()) < units) {
        int k = Pick(rng, 40);
        if (k < 4)
            s += k == 0 ? u"\r\n" : k == 1 ? u"\r" : k == 2 ? u"\n" : u"\r\n\r\n\n\r";
        else if (k == 4)
            s.append(static_cast<size_t>(Pick(rng, 6000)), u'長');
        else
            letters.AppendChar(rng, s);
    }
    return s;
}

void CheckInsert(Rng& rng, int script) {
    SCOPED_TRACE(script);
    CEditData d;
    d.SetUnlimitedUndo();
    SetText(d, RandomInsert(rng, Pick(rng, 400)).c_str());
    if (Pick(rng, 2)) d.MarkSaved();
    int caretLine = Pick(rng, d.GetLineCount());
    d.SetCaret(caretLine, Pick(rng, d.GetLineLength(caretLine) + 1));
    const EditPos caret = d.GetCaret();
    const bool record = Pick(rng, 2);
    std::u16string recorded;
    if (record) {
        ASSERT_EQ(d.m_undo->AddRecord(EDIT_UNDO_INSERT, 0), 0);
        recorded = u"before";
        d.m_undo->current->AppendText(recorded.c_str(), -1);
    } else if (Pick(rng, 2)) {
        ASSERT_EQ(d.m_undo->AddRecord(EDIT_UNDO_INSERT, 0), 0);
        d.m_undo->recordingType = 0; // a step, but no record open
    }
    const int id = d.CurrentStepId();
    const std::vector<LineState> before = States(d);
    const int total = d.m_totalLength;
    const std::u16string text = RandomInsert(rng, Pick(rng, 3) ? Pick(rng, 60) : Pick(rng, 20000));
    const int lineNodes = EditLinePool.InUse();

    ASSERT_EQ(d.InsertTextAtCaret(text.c_str()), 0);

    const std::vector<std::u16string> pieces = Pieces(text);
    const size_t breaks = pieces.size() - 1;
    const LineState& split = before[static_cast<size_t>(caret.line)];
    const std::u16string head = split.text.substr(0, static_cast<size_t>(caret.col));
    const std::u16string tail = split.text.substr(static_cast<size_t>(caret.col));
    std::vector<LineState> want = before;
    want.insert(want.begin() + caret.line + 1, breaks, LineState{});
    int added = 0;
    for (size_t i = 0; i <= breaks && !text.empty(); i++) {
        LineState& line = want[static_cast<size_t>(caret.line) + i];
        line.text = (i == 0 ? head : u"") + pieces[i] + (i == breaks ? tail : u"");
        line.modified = id; // an empty text changes nothing
        added += static_cast<int>(pieces[i].size());
        if (i == 0) {
            // The caret line takes the first piece and, with a break, gives
            // its tail away; each change marks it.
            if (!pieces[0].empty() || (breaks > 0 && !tail.empty())) line.lexFlags |= LEXF_CHANGED;
            line.capacity = d.GetLine(caret.line)->capacity; // grown and shrunk in place
        } else {
            line.lexFlags = line.text.empty() ? 0 : LEXF_CHANGED;
            line.capacity = line.text.empty() ? 0 : BlockFor(line.text.size());
        }
    }
    const std::vector<LineState> got = States(d);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); i++) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(got[i].text == want[i].text);
        EXPECT_EQ(got[i].lexFlags, want[i].lexFlags);
        EXPECT_EQ(got[i].modified, want[i].modified);
        EXPECT_EQ(got[i].capacity, want[i].capacity);
        EXPECT_EQ(d.GetLine(static_cast<int>(i))->length, static_cast<int>(got[i].text.size()) + 1);
        if (got[i].capacity == 0) {
            EXPECT_EQ(d.GetLine(static_cast<int>(i))->text, g_editEmptyText);
        }
    }
    EXPECT_EQ(d.m_totalLength, total + added);
    EXPECT_TRUE(Consistent(d));
    EXPECT_EQ(EditLinePool.InUse() - lineNodes, static_cast<int>(breaks));
    const int lastCol = static_cast<int>(pieces.back().size()) + (breaks ? 0 : caret.col);
    EXPECT_EQ(d.GetCaret().line, caret.line + static_cast<int>(breaks));
    EXPECT_EQ(d.GetCaret().col, lastCol);
    if (record) {
        for (size_t i = 0; i <= breaks; i++) recorded += (i ? u"\r" : u"") + pieces[i];
        const UndoRecord* rec = d.m_undo->current;
        ASSERT_EQ(rec->length, recorded.size());
        EXPECT_TRUE(std::u16string(rec->text, rec->length) == recorded);
    }
}

} // namespace

TEST(InsertAtCaret, MatchesTheLinesOfItsText) {
    const int seed = EnvInt("TAVRELIX_EDIT_SEED", 11);
    const int scripts = EnvInt("TAVRELIX_INSERT_SCRIPTS", 300);
    Rng rng(static_cast<unsigned>(seed));
    for (int i = 0; i < scripts && !testing::Test::HasFailure(); i++) CheckInsert(rng, i);
}

TEST(InsertAtCaret, BreaksAtTheEdgesOfTheText) {
    struct Case {
        const char16_t* text;
        std::vector<std::u16string> lines;
    };
    const Case cases[] = {
        {u"\r\n", {u"ab", u"cd"}},
        {u"\n\r", {u"ab", u"", u"cd"}},
        {u"\r\r\n\n", {u"ab", u"", u"", u"cd"}},
        {u"x\r", {u"abx", u"cd"}},
        {u"\ry", {u"ab", u"ycd"}},
        {u"\U00020BB7\r\n\U00020BB7", {u"ab\U00020BB7", u"\U00020BB7cd"}},
    };
    for (const Case& c : cases) {
        CEditData d;
        SetText(d, u"abcd");
        d.SetCaret(0, 2);
        ASSERT_EQ(d.InsertTextAtCaret(c.text), 0);
        EXPECT_EQ(Lines(d), c.lines);
        EXPECT_EQ(d.GetCaret().line, static_cast<int>(c.lines.size()) - 1);
        EXPECT_EQ(d.GetCaret().col, d.GetLineLength(d.GetCaret().line) - 2);
    }
}
