// CString::Format of a grid message against snprintf of its narrow form.
#include <cstdio>

#include <benchmark/benchmark.h>
#include <afx.h>

namespace {

void CStringFormat(benchmark::State& state) {
    CString s;
    int row = 0;
    for (auto _ : state) {
        s.Format(u"[row:%d,col:%d] %s", ++row, 14, u"ORA-00942");
        benchmark::DoNotOptimize(s.GetString());
    }
}

void BoundedFormat(benchmark::State& state) {
    char16_t buf[128];
    int row = 0;
    for (auto _ : state) {
        int n = swprintf(buf, 128, u"[row:%d,col:%d] %s", ++row, 14, u"ORA-00942");
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(buf);
    }
}

void SnprintfNarrow(benchmark::State& state) {
    char buf[128];
    int row = 0;
    for (auto _ : state) {
        int n = std::snprintf(buf, sizeof buf, "[row:%d,col:%d] %s", ++row, 14, "ORA-00942");
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(buf);
    }
}

} // namespace

BENCHMARK(CStringFormat);
BENCHMARK(BoundedFormat);
BENCHMARK(SnprintfNarrow);

BENCHMARK_MAIN();
