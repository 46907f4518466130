// The text buffer against Qt's plain-text document (QTextDocument with a
// QPlainTextDocumentLayout) on 1,000,000 generated lines of SQL with Japanese
// comments and tabs: building, typing with undo, undo and redo of everything,
// and the comment cascade of typing and deleting "/*" at the first line.
#include <benchmark/benchmark.h>

#include <string>

#include "display/display.h"
#include "display/textdoc_reference.h"
#include "editor/editdata.h"
#include "bench_text.h"
#include "bench/common/bench_pairs.h"

namespace {

const int kTyped = 10000;

// The shape of the document's text (TextShape).
std::string DocShape(qtplatform::TextDocReference* doc) {
    return TextShape(qtplatform::TextDocBlockCount(doc), qtplatform::TextDocLength(doc));
}

// Whether a "/*" typed at the first line puts every line after it in the
// comment: ours when the last line begins in it, Qt's when every block ends
// in it.
std::string CommentReach(bool toTheEnd) {
    return toTheEnd ? "the comment reaches the last line" : "the comment stops short";
}

void TypeScript(CEditData& d) {
    for (int i = 1; i <= kTyped; i++) {
        if (i % 60 == 0)
            d.TypeChar(u'\r');
        else if (i % 25 == 0)
            d.Backspace();
        else
            d.TypeChar(u'a' + i % 26);
    }
}

// Resident memory is measured on the first build only: the pools keep their
// chunks for reuse, so later builds take nothing new from the system.
void BM_Build_EditData(benchmark::State& state) {
    const std::u16string& text = Text();
    static double resident = -1;
    for (auto _ : state) {
        long before = ResidentKiB();
        auto* d = new CEditData;
        d->InsertTextAtCaret(text.c_str());
        if (resident < 0) resident = static_cast<double>(ResidentKiB() - before) / 1024.0;
        state.counters["resident_MiB"] = resident;
        state.PauseTiming();
        BenchResult(BufferShape(*d));
        delete d;
        state.ResumeTiming();
    }
}

void BM_Build_QTextDocument(benchmark::State& state) {
    const std::u16string& text = Text();
    static double resident = -1;
    for (auto _ : state) {
        long before = ResidentKiB();
        qtplatform::TextDocReference* doc = qtplatform::TextDocCreate();
        qtplatform::TextDocSetPlainText(doc, text);
        if (resident < 0) resident = static_cast<double>(ResidentKiB() - before) / 1024.0;
        state.counters["resident_MiB"] = resident;
        state.PauseTiming();
        BenchResult(DocShape(doc));
        qtplatform::TextDocDestroy(doc);
        state.ResumeTiming();
    }
}

// Phase 0 typing, 1 undo of everything, 2 redo of everything.
void BM_Typing_EditData(benchmark::State& state) {
    const int phase = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto* d = new CEditData;
        d->InsertTextAtCaret(Text().c_str());
        d->SetUnlimitedUndo();
        d->SetCaret(kLines / 2, 0);
        if (phase > 0) TypeScript(*d);
        if (phase > 1)
            while (d->Undo() == 0) {
            }
        state.ResumeTiming();
        if (phase == 0)
            TypeScript(*d);
        else if (phase == 1)
            while (d->Undo() == 0) {
            }
        else
            while (d->Redo() == 0) {
            }
        state.PauseTiming();
        BenchResult(BufferShape(*d));
        delete d;
        state.ResumeTiming();
    }
}

void BM_Typing_QTextCursor(benchmark::State& state) {
    const int phase = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        qtplatform::TextDocReference* doc = qtplatform::TextDocCreate();
        qtplatform::TextDocSetPlainText(doc, Text());
        if (phase > 0) qtplatform::TextDocType(doc, kLines / 2, kTyped);
        if (phase > 1) qtplatform::TextDocUndoAll(doc);
        state.ResumeTiming();
        if (phase == 0)
            qtplatform::TextDocType(doc, kLines / 2, kTyped);
        else if (phase == 1)
            qtplatform::TextDocUndoAll(doc);
        else
            qtplatform::TextDocRedoAll(doc);
        state.PauseTiming();
        BenchResult(DocShape(doc));
        qtplatform::TextDocDestroy(doc);
        state.ResumeTiming();
    }
}

void BM_CommentCascade_EditData(benchmark::State& state) {
    CEditData d;
    CStrToken token;
    token.setBlockComment(u"/*", u"*/");
    token.addLineComment(u"--");
    token.m_lexState[u'/'] = token.m_lexState[u'*'] = token.m_lexState[u'-'] = 1;
    d.m_token = &token;
    d.InsertTextAtCaret(Text().c_str());
    d.UpdateLexStates(0, -1, 0, nullptr);
    for (auto _ : state) {
        d.SetCaret(0, 0);
        d.TypeChar(u'/');
        d.UpdateLexStates(0, 0, 0, nullptr);
        d.TypeChar(u'*');
        d.UpdateLexStates(0, 0, 0, nullptr);
        if (!(d.GetLine(kLines - 1)->lexFlags & LEXF_IN_COMMENT)) state.SkipWithError("no cascade");
        d.Backspace();
        d.UpdateLexStates(0, 0, 0, nullptr);
        d.Backspace();
        d.UpdateLexStates(0, 0, 0, nullptr);
    }
    // How far the comment reached, once more after the timed runs.
    d.SetCaret(0, 0);
    d.TypeChar(u'/');
    d.TypeChar(u'*');
    d.UpdateLexStates(0, 0, 0, nullptr);
    BenchResult(CommentReach(d.GetLine(d.GetLineCount() - 1)->lexFlags & LEXF_IN_COMMENT));
}

void BM_CommentCascade_QSyntaxHighlighter(benchmark::State& state) {
    qtplatform::TextDocReference* doc = qtplatform::TextDocCreate();
    qtplatform::TextDocSetPlainText(doc, Text());
    qtplatform::TextDocAttachHighlighter(doc);
    int commented = kLines;
    for (auto _ : state) {
        qtplatform::TextDocTypeCommentStart(doc);
        state.PauseTiming();
        int n = qtplatform::TextDocCommentBlocks(doc);
        if (n < commented) commented = n;
        state.ResumeTiming();
        qtplatform::TextDocDeleteCommentStart(doc);
    }
    state.counters["commented_blocks"] = commented;
    BenchResult(CommentReach(commented == qtplatform::TextDocBlockCount(doc)));
    qtplatform::TextDocDestroy(doc);
}

BENCHMARK(BM_Build_EditData)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Build_QTextDocument)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Typing_EditData)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Typing_QTextCursor)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CommentCascade_EditData)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CommentCascade_QSyntaxHighlighter)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    qtplatform::Init(&argc, argv);
    Text();
    // Every figure held to its Qt counterpart: no slower.
    return BenchPairsMain(
        argc, argv,
        {{"text buffer build of 1,000,000 lines, against QTextDocument", "BM_Build_EditData",
          "BM_Build_QTextDocument", 1},
         {"typing 0, against QTextCursor", "BM_Typing_EditData/0", "BM_Typing_QTextCursor/0", 1},
         {"typing 1, against QTextCursor", "BM_Typing_EditData/1", "BM_Typing_QTextCursor/1", 1},
         {"typing 2, against QTextCursor", "BM_Typing_EditData/2", "BM_Typing_QTextCursor/2", 1},
         {"comment cascade, against QSyntaxHighlighter", "BM_CommentCascade_EditData",
          "BM_CommentCascade_QSyntaxHighlighter", 1}});
}
