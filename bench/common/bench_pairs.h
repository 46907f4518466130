// The summary's figures of a Google Benchmark program: it names its pairs
// and runs through BenchPairsMain, which reports as the library's console
// does and then sums up each pair from the real time per iteration of its two
// benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

#include "bench/common/bench_summary.h"

// One figure of a Google Benchmark program: the benchmark of ours and the
// reference's, by name as the console shows them (without the
// "/iterations:N", "/real_time" or "/manual_time" the library adds).
struct BenchPair {
    std::string figure;
    std::string ours;
    std::string reference;
    double target;
};

namespace bench_summary_detail {

inline std::string BaseName(std::string name) {
    std::string out;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        std::string part = name.substr(start, end - start);
        if (part.find(':') == std::string::npos && part != "real_time" && part != "manual_time" &&
            part != "process_time")
            out += (out.empty() ? "" : "/") + part;
        start = end + 1;
    }
    return out;
}

inline const char* UnitName(benchmark::TimeUnit u) {
    switch (u) {
    case benchmark::kNanosecond: return "ns";
    case benchmark::kMicrosecond: return "us";
    case benchmark::kMillisecond: return "ms";
    default: return "s";
    }
}

inline double InSeconds(double t, benchmark::TimeUnit u) {
    switch (u) {
    case benchmark::kNanosecond: return t * 1e-9;
    case benchmark::kMicrosecond: return t * 1e-6;
    case benchmark::kMillisecond: return t * 1e-3;
    default: return t;
    }
}

// The console's output, and the real time of every plain run kept by name.
class Collector : public benchmark::ConsoleReporter {
public:
    struct Time {
        double value;
        benchmark::TimeUnit unit;
    };
    std::map<std::string, Time> times;

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (!r.error_occurred && r.run_type == Run::RT_Iteration)
                times[BaseName(r.benchmark_name())] = {r.GetAdjustedRealTime(), r.time_unit};
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace bench_summary_detail

// The program's main: runs the benchmarks the command line selects and
// reports each pair whose two halves ran.
inline int BenchPairsMain(int argc, char** argv, const std::vector<BenchPair>& pairs) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    bench_summary_detail::Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();
    for (const BenchPair& p : pairs) {
        auto a = collector.times.find(p.ours), b = collector.times.find(p.reference);
        if (a == collector.times.end() || b == collector.times.end()) continue;
        double ours = a->second.value;
        double ref = bench_summary_detail::InSeconds(b->second.value, b->second.unit);
        ref = ref / bench_summary_detail::InSeconds(1, a->second.unit);
        BenchSummary(p.figure, ours, ref, bench_summary_detail::UnitName(a->second.unit), p.target);
    }
    return 0;
}
