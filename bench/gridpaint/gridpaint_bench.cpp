// The grid window's repaint and page-down at 1,000 and 1,000,000 rows against
// Qt's table view over the same generated texts; the other keys, a highlighted
// repaint with every mark and a large copy without a target.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/common/bench_display.h"
#include "display/display.h"
#include "display/table_reference.h"
#include "gridwnd_fixture.h"
#include "win32/backend.h"
#include "bench/common/bench_pairs.h"

namespace {

const int kWidth = 1920, kHeight = 1080, kCols = 20, kColWidth = 150;
const int kMillion = 1000000;

// The texts are those of a million-row model's middle at either size: a
// thousand rows start at source row 499,500, so that both show the texts of
// row 500,000 on and only the row count differs (the generated numbers grow
// with the row, and longer texts take longer to draw).
int TextBase(int rows) {
    return kMillion / 2 - rows / 2;
}

// What a page-down did: the rows the view's first row moved by.
std::string PageResult(int rows) {
    return "first row moved by " + std::to_string(rows);
}

// A top-level frame holding one grid over the generated model.

struct GridBench {
    std::unique_ptr<GeneratedGridData> model;
    NoteParent frame;
    CGridCtrl grid;
    explicit GridBench(int rows, uint32_t extra = 0) {
        InitBenchDisplay();
        model = std::make_unique<GeneratedGridData>(rows, kCols);
        model->textBase = TextBase(rows);
        frame.MakeTop(kWidth, kHeight);
        grid.CreateGrid(WS_CHILD | WS_VISIBLE, CRect(0, 0, kWidth, kHeight), &frame, 1);
        grid.SetGridStyle(GRS_COLHEADER | GRS_ROWHEADER | GRS_MULTISELECT | GRS_EDITKEYS | extra, 1);
        grid.SetData(model.get());
        for (int c = 0; c < kCols; ++c) model->SetColWidth(c, kColWidth);
        grid.Relayout();
        Middle();
        win32bk::PumpPending();
    }
    ~GridBench() {
        grid.DestroyWindow();
        frame.DestroyWindow();
        win32bk::PumpPending();
    }
    void Middle() {
        int row = model->GetRowCount() / 2;
        grid.ScrollBy(0, row - grid.FirstRow(), 0);
        grid.MoveCursor(POINT{0, row}, 0, 0);
        win32bk::PumpPending();
    }
    void Key(UINT vk) { grid.SendMessage(WM_KEYDOWN, vk, 1); }
};

void BM_GridRepaint(benchmark::State& state) {
    GridBench b(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        b.grid.Invalidate(FALSE);
        b.grid.UpdateWindow();
    }
}
BENCHMARK(BM_GridRepaint)->Arg(1000)->Arg(kMillion)->Unit(benchmark::kMicrosecond);

void BM_GridPageDown(benchmark::State& state) {
    GridBench b(static_cast<int>(state.range(0)));
    int rows = static_cast<int>(state.range(0));
    for (auto _ : state) {
        if (b.model->m_curRow > rows - 3 * b.grid.GetPageRows()) {
            state.PauseTiming();
            b.Middle();
            state.ResumeTiming();
        }
        b.Key(VK_NEXT);
        b.grid.UpdateWindow();
    }
    b.Middle();
    b.Key(VK_NEXT);
    b.grid.UpdateWindow();
    int first = b.grid.FirstRow();
    b.Key(VK_NEXT);
    b.grid.UpdateWindow();
    BenchResult(PageResult(b.grid.FirstRow() - first));
}
BENCHMARK(BM_GridPageDown)->Arg(1000)->Arg(kMillion)->Unit(benchmark::kMicrosecond);

struct QtBench {
    qtplatform::TableReference* table;
    explicit QtBench(int rows, int rowHeight) {
        InitBenchDisplay();
        table = qtplatform::TableReferenceCreate(
            rows, kCols, kColWidth, rowHeight, u"Noto Sans Mono CJK JP", 18, kWidth, kHeight,
            [base = TextBase(rows)](int r, int c) { return GeneratedGridData::Text(r + base, c); },
            [](int c) { return c < 6 ? std::u16string(u"COLUMN") : u"COL" + GeneratedGridData::Num(c); });
        qtplatform::TableReferenceScrollTo(table, rows / 2);
    }
    ~QtBench() { qtplatform::TableReferenceFree(table); }
};

int GridRowHeight() {
    static int h = [] {
        GridBench b(10);
        return b.grid.m_rowHeight;
    }();
    return h;
}

void BM_QtRepaint(benchmark::State& state) {
    QtBench q(static_cast<int>(state.range(0)), GridRowHeight());
    for (auto _ : state) benchmark::DoNotOptimize(qtplatform::TableReferenceRepaint(q.table));
}
BENCHMARK(BM_QtRepaint)->Arg(1000)->Arg(kMillion)->Unit(benchmark::kMicrosecond);

void BM_QtPageDown(benchmark::State& state) {
    int rows = static_cast<int>(state.range(0));
    QtBench q(rows, GridRowHeight());
    for (auto _ : state) {
        if (qtplatform::TableReferenceFirstRow(q.table) > rows - 200) {
            state.PauseTiming();
            qtplatform::TableReferenceScrollTo(q.table, rows / 2);
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(qtplatform::TableReferencePageDown(q.table));
    }
    qtplatform::TableReferenceScrollTo(q.table, rows / 2);
    qtplatform::TableReferencePageDown(q.table);
    int first = qtplatform::TableReferenceFirstRow(q.table);
    qtplatform::TableReferencePageDown(q.table);
    BenchResult(PageResult(qtplatform::TableReferenceFirstRow(q.table) - first));
}
BENCHMARK(BM_QtPageDown)->Arg(1000)->Arg(kMillion)->Unit(benchmark::kMicrosecond);

// Without targets.
void BM_GridDown(benchmark::State& state) {
    GridBench b(1000000);
    for (auto _ : state) {
        if (b.model->m_curRow > 999000) {
            state.PauseTiming();
            b.Middle();
            state.ResumeTiming();
        }
        b.Key(VK_DOWN);
        b.grid.UpdateWindow();
    }
}
BENCHMARK(BM_GridDown)->Unit(benchmark::kMicrosecond);

void BM_GridCtrlEnd(benchmark::State& state) {
    GridBench b(1000000);
    for (auto _ : state) {
        state.PauseTiming();
        b.Middle();
        win32bk::InputModifiers(false, true, false);
        state.ResumeTiming();
        b.Key(VK_END);
        b.grid.UpdateWindow();
        state.PauseTiming();
        win32bk::InputModifiers(false, false, false);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_GridCtrlEnd)->Unit(benchmark::kMicrosecond);

void BM_GridLineDown(benchmark::State& state) {
    GridBench b(1000000);
    for (auto _ : state) {
        b.grid.ScrollByCode(MAKEWORD(0xFF, SB_LINEDOWN), 0);
        b.grid.UpdateWindow();
    }
}
BENCHMARK(BM_GridLineDown)->Unit(benchmark::kMicrosecond);

void BM_GridShiftPageDownAllRows(benchmark::State& state) {
    GridBench b(1000000);
    b.grid.SelectRow(b.model->m_curRow);
    b.model->m_selKind = 1;
    for (auto _ : state) {
        if (b.model->m_curRow > 999000) {
            state.PauseTiming();
            b.Middle();
            b.grid.SelectRow(b.model->m_curRow);
            b.model->m_selKind = 1;
            state.ResumeTiming();
        }
        win32bk::InputModifiers(true, false, false);
        b.Key(VK_NEXT);
        b.grid.UpdateWindow();
    }
    win32bk::InputModifiers(false, false, false);
}
BENCHMARK(BM_GridShiftPageDownAllRows)->Unit(benchmark::kMicrosecond);

void BM_GridRepaintHighlightMarks(benchmark::State& state) {
    GridBench b(1000000, GRS_SPACEMARK | GRS_WIDESPACEMARK | GRS_TABMARK | GRS_LINEFEEDMARK | GRS_NULLCOLOR);
    b.grid.SetNullText(u"(null)");
    b.grid.SetSearchHighlight(u"5", 1, 1, 0);
    for (auto _ : state) {
        b.grid.Invalidate(FALSE);
        b.grid.UpdateWindow();
    }
}
BENCHMARK(BM_GridRepaintHighlightMarks)->Unit(benchmark::kMicrosecond);

void BM_GridCopy100kBy10(benchmark::State& state) {
    GridBench b(100000);
    int64_t bytes = b.grid.GetCopyTextSize(2, 0, 99999, 0, 9);
    std::vector<char16_t> buf(static_cast<size_t>(bytes / 2));
    for (auto _ : state) {
        int64_t size = b.grid.GetCopyTextSize(2, 0, 99999, 0, 9);
        benchmark::DoNotOptimize(b.grid.MakeCopyText(buf.data(), size / 2, 2, 0, 99999, 0, 9));
    }
}
BENCHMARK(BM_GridCopy100kBy10)->Unit(benchmark::kMillisecond);

} // namespace

// The summary's figures: the repaint and the page-down, no slower than Qt's
// table view. A page-down scrolls both views by the same rows; a repaint's
// pixels are two toolkits' own, nothing to compare.
int main(int argc, char** argv) {
    return BenchPairsMain(
        argc, argv,
        {{"grid repaint, 1,000 rows, against QTableView", "BM_GridRepaint/1000", "BM_QtRepaint/1000", 1,
          false},
         {"grid repaint, 1,000,000 rows, against QTableView", "BM_GridRepaint/1000000",
          "BM_QtRepaint/1000000", 1, false},
         {"grid page-down, 1,000 rows, against QTableView", "BM_GridPageDown/1000", "BM_QtPageDown/1000", 1},
         {"grid page-down, 1,000,000 rows, against QTableView", "BM_GridPageDown/1000000",
          "BM_QtPageDown/1000000", 1}});
}
