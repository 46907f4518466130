// Loading, replacing all and searching in the text buffer against Qt's
// plain-text document: a 1,000,000-line file loaded in UTF-8 and CP932, two
// replace-alls over 10 MB of text with their undo and redo, the scan for a
// missing literal; alone, a backward search on a line of 10,000 matches and
// the word wrap of every line at 400 pixels.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

#include <afx.h>
#include <windows.h>

#include "base/textfile.h"
#include "bench_text.h"
#include "display/display.h"
#include "display/textdoc_reference.h"
#include "editor/editdata.h"
#include "bench/common/bench_pairs.h"

namespace {

const int kReplaceUnits = 5242880;

std::string& Dir() {
    static std::string dir = [] {
        char tmpl[] = "/tmp/tavrelix-textbuffer-bench-XXXXXX";
        return std::string(mkdtemp(tmpl) ? tmpl : "/tmp");
    }();
    return dir;
}

std::string FilePath(int code) {
    return Dir() + (code == CHARCODE_SJIS ? "/cp932.txt" : "/utf8.txt");
}

void WriteFiles() {
    for (int code : {CHARCODE_UTF8_NOSIG, CHARCODE_SJIS}) {
        std::string path = FilePath(code);
        std::u16string wide(path.begin(), path.end());
        TextFile w;
        if (textfile_open(&w, wide.c_str(), u"w") != 1) std::abort();
        textfile_init(&w, w.archive, code, LINE_END_CRLF);
        textfile_write(&w, Text().c_str());
        textfile_close(&w);
    }
}

// 10 MB of the generated text with about one word in a hundred an upper-case
// "_ID" name.
const std::u16string& ReplaceText() {
    static std::u16string text = [] {
        std::mt19937 rng(7);
        const std::u16string& base = Text();
        std::u16string t;
        t.reserve(kReplaceUnits + 16);
        const char16_t* ids[] = {u"EMP_ID", u"DEPT_ID", u"MGR_ID"};
        for (size_t i = 0; t.size() < kReplaceUnits; i++) {
            char16_t c = base[i % base.size()];
            t += c;
            if (c == u' ' && rng() % 100 == 0) {
                t += ids[rng() % 3];
                t += u' ';
            }
        }
        t.resize(kReplaceUnits);
        if (t.back() == u'\r' || (t.back() >= 0xD800 && t.back() < 0xDC00)) t.back() = u'x';
        return t;
    }();
    return text;
}

// The shape of the document's text (TextShape).
std::string DocShape(qtplatform::TextDocReference* doc) {
    return TextShape(qtplatform::TextDocBlockCount(doc), qtplatform::TextDocLength(doc));
}

// The unit whose count in the replace text is nearest 500,000.

char16_t FrequentUnit(int* count) {
    static int counts[128];
    static char16_t best = 0;
    if (!best) {
        for (char16_t c : ReplaceText())
            if (c < 128) counts[c]++;
        for (char16_t c = u'a'; c <= u'z'; c++)
            if (!best || std::abs(counts[c] - 500000) < std::abs(counts[best] - 500000)) best = c;
    }
    *count = counts[best];
    return best;
}

void BM_Load_EditData(benchmark::State& state) {
    const int code = static_cast<int>(state.range(0));
    std::string path = FilePath(code);
    std::u16string wide(path.begin(), path.end());
    static double resident[16] = {};
    for (auto _ : state) {
        long before = ResidentKiB();
        auto* d = new CEditData;
        CFile file;
        file.Open(wide.c_str(), CFile::modeRead);
        CArchive ar(&file, CArchive::load);
        int given = CHARCODE_AUTO, lineEnd = 0;
        if (d->LoadFile(&ar, &given, &lineEnd) != 0 || given != code || d->GetLineCount() != kLines)
            state.SkipWithError("load failed");
        ar.Close();
        file.Close();
        if (resident[code] == 0) resident[code] = static_cast<double>(ResidentKiB() - before) / 1024.0;
        state.counters["resident_MiB"] = resident[code];
        state.PauseTiming();
        BenchResult(BufferShape(*d));
        delete d;
        state.ResumeTiming();
    }
}

void BM_Load_QTextDocument(benchmark::State& state) {
    static double resident = 0;
    for (auto _ : state) {
        long before = ResidentKiB();
        qtplatform::TextDocReference* doc =
            qtplatform::TextDocLoadUtf8(FilePath(CHARCODE_UTF8_NOSIG).c_str());
        if (!doc || qtplatform::TextDocBlockCount(doc) != kLines) state.SkipWithError("load failed");
        if (resident == 0) resident = static_cast<double>(ResidentKiB() - before) / 1024.0;
        state.counters["resident_MiB"] = resident;
        state.PauseTiming();
        if (doc) BenchResult(DocShape(doc));
        qtplatform::TextDocDestroy(doc);
        state.ResumeTiming();
    }
}

// Kind 0: the frequent unit by two units; kind 1: \b[A-Z]+_ID\b by "[$&]".
// Phase 0 times the replace-all, 1 its undo, 2 the redo.
void BM_ReplaceAll_EditData(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    const int phase = static_cast<int>(state.range(1));
    int count = 0;
    char16_t unit[2] = {FrequentUnit(&count), 0};
    char16_t twice[3] = {unit[0], unit[0], 0};
    Regex* regex = kind == 0 ? regex_compile_literal(unit, 0) : regex_compile(u"\\b[A-Z]+_ID\\b", 0);
    const char16_t* with = kind == 0 ? twice : u"[$&]";
    for (auto _ : state) {
        state.PauseTiming();
        auto* d = new CEditData;
        d->InsertTextAtCaret(ReplaceText().c_str());
        d->SetUnlimitedUndo();
        if (phase > 0) d->ReplaceAll(with, kind, nullptr, nullptr, regex, 0);
        if (phase > 1) d->Undo();
        const int size = d->GetTextSize();
        state.ResumeTiming();
        if (phase == 0)
            d->ReplaceAll(with, kind, nullptr, nullptr, regex, 0);
        else if (phase == 1)
            d->Undo();
        else
            d->Redo();
        state.PauseTiming();
        if (phase != 1 && d->GetTextSize() == size && phase == 0) state.SkipWithError("nothing replaced");
        state.counters["text_units"] = d->GetTextSize();
        BenchResult(BufferShape(*d));
        state.counters["peak_MiB"] = static_cast<double>(PeakKiB()) / 1024.0;
        delete d;
        state.ResumeTiming();
    }
    if (kind == 0) state.counters["matches"] = count;
    regex_destroy(regex);
}

void BM_ReplaceAll_QTextDocument(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    const int phase = static_cast<int>(state.range(1));
    int count = 0;
    char16_t unit = FrequentUnit(&count);
    std::u16string find = kind == 0 ? std::u16string(1, unit) : u"\\b[A-Z]+_ID\\b";
    std::u16string with = kind == 0 ? std::u16string(2, unit) : u"[$0]";
    for (auto _ : state) {
        state.PauseTiming();
        qtplatform::TextDocReference* doc = qtplatform::TextDocCreate();
        qtplatform::TextDocSetPlainText(doc, ReplaceText());
        if (phase > 0) qtplatform::TextDocReplaceAll(doc, find, with, kind == 1);
        if (phase > 1) qtplatform::TextDocUndo(doc);
        state.ResumeTiming();
        if (phase == 0)
            state.counters["replaced"] = qtplatform::TextDocReplaceAll(doc, find, with, kind == 1);
        else if (phase == 1)
            qtplatform::TextDocUndo(doc);
        else
            qtplatform::TextDocRedo(doc);
        state.PauseTiming();
        state.counters["text_units"] = qtplatform::TextDocLength(doc);
        BenchResult(DocShape(doc));
        state.counters["peak_MiB"] = static_cast<double>(PeakKiB()) / 1024.0;
        qtplatform::TextDocDestroy(doc);
        state.ResumeTiming();
    }
}

void BM_FindMissing_EditData(benchmark::State& state) {
    CEditData d;
    d.InsertTextAtCaret(Text().c_str());
    Regex* regex = regex_compile_literal(u"no_such_column", 0);
    int found = -1;
    for (auto _ : state) {
        EditPos out, from{0, 0};
        found = d.Find(&out, 1, 0, &from, nullptr, regex);
    }
    regex_destroy(regex);
    BenchResult(found == -1 ? "not found" : "found");
}

void BM_FindMissing_QTextDocument(benchmark::State& state) {
    qtplatform::TextDocReference* doc = qtplatform::TextDocCreate();
    qtplatform::TextDocSetPlainText(doc, Text());
    int found = -1;
    for (auto _ : state) found = qtplatform::TextDocFind(doc, u"no_such_column");
    qtplatform::TextDocDestroy(doc);
    BenchResult(found == -1 ? "not found" : "found");
}

void BM_FindBackwardOnALineOf10000Matches_EditData(benchmark::State& state) {
    CEditData d;
    std::u16string line;
    for (int i = 0; i < 10000; i++) line += u"ab ";
    d.InsertTextAtCaret(line.c_str());
    Regex* regex = regex_compile_literal(u"ab", 0);
    for (auto _ : state) {
        EditPos out, from{static_cast<int32_t>(line.size()), 0};
        if (d.Find(&out, -1, 0, &from, nullptr, regex) != 2 || out.col != 29997)
            state.SkipWithError("wrong match");
    }
    regex_destroy(regex);
}

void BM_WrapLineAll400_EditData(benchmark::State& state) {
    CEditData d;
    d.InsertTextAtCaret(Text().c_str());
    HDC dc = CreateCompatibleDC(nullptr);
    LOGFONTW lf{};
    lf.lfHeight = -16;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lf.lfPitchAndFamily = FIXED_PITCH;
    const char16_t face[] = u"Noto Sans Mono CJK JP";
    for (size_t i = 0; i < sizeof face / 2; i++) lf.lfFaceName[i] = face[i];
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    d.m_disp.m_widths.Reset(dc);
    textdraw_text_width(Text().c_str(), &d.m_disp, dc, -1); // every width into the cache
    d.m_disp.m_wrapWidth = 400;
    for (auto _ : state) {
        long rows = 0;
        for (int i = 0; i < d.GetLineCount(); i++) rows += d.WrapLine(i, nullptr);
        state.counters["rows"] = static_cast<double>(rows);
    }
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
}

BENCHMARK(BM_Load_EditData)
    ->Arg(CHARCODE_UTF8_NOSIG)
    ->Arg(CHARCODE_SJIS)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_Load_QTextDocument)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReplaceAll_EditData)
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(BM_ReplaceAll_QTextDocument)
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(BM_FindMissing_EditData)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FindMissing_QTextDocument)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FindBackwardOnALineOf10000Matches_EditData)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WrapLineAll400_EditData)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    qtplatform::Init(&argc, argv);
    WriteFiles();
    ReplaceText();
    // Every figure held to QTextDocument: no slower.
    std::vector<BenchPair> pairs = {{"text buffer load, UTF-8, against QTextDocument",
                                     "BM_Load_EditData/" + std::to_string(CHARCODE_UTF8_NOSIG),
                                     "BM_Load_QTextDocument", 1},
                                    {"scan for a missing literal, against QTextDocument",
                                     "BM_FindMissing_EditData", "BM_FindMissing_QTextDocument", 1}};
    for (int a : {0, 1})
        for (int b : {0, 1, 2}) {
            std::string args = std::to_string(a) + "/" + std::to_string(b);
            pairs.push_back({"replace-all " + args + ", against QTextDocument",
                             "BM_ReplaceAll_EditData/" + args, "BM_ReplaceAll_QTextDocument/" + args, 1});
        }
    int rc = BenchPairsMain(argc, argv, pairs);
    std::string cmd = "rm -rf '" + Dir() + "'";
    if (Dir().rfind("/tmp/tavrelix-textbuffer-bench-", 0) == 0 && std::system(cmd.c_str()) != 0) return 1;
    return rc;
}
