// The summary's figures of a Google Benchmark program: it names its pairs
// and runs through BenchPairsMain, which reports as the library's console
// does and then sums up each pair from the real time per iteration of its two
// benchmarks. A benchmark that ends with SkipWithError makes its pair (or
// itself, outside a pair) a FAILED figure with the error text, and the
// program's exit status 1.
//
// Each half of a pair says what it produced with BenchResult (after its
// timed loop): the pair's row carries both results, and a pair whose halves
// produced different results, or one of them none, is FAILED. A pair whose
// halves produce nothing comparable is marked so (BenchPair::compared).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
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
    bool compared = true; // false: the halves produce nothing comparable
};

namespace bench_summary_detail {
// The result the running benchmark gave last; it goes to the benchmark the
// library reports next, which is the one that ran (the library reports each
// benchmark right after its last repetition).
inline std::string& PendingResult() {
    static std::string result;
    return result;
}
inline bool& HasPendingResult() {
    static bool has = false;
    return has;
}
} // namespace bench_summary_detail

// What the running benchmark produced (see BenchResults): called after its
// timed loop, on every run of it; the last run's result counts.
inline void BenchResult(const std::string& result) {
    bench_summary_detail::PendingResult() = result;
    bench_summary_detail::HasPendingResult() = true;
}

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
    std::map<std::string, std::string> errors;  // the benchmarks that ended with an error
    std::map<std::string, std::string> results; // what each benchmark said it produced

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.error_occurred)
                errors[BaseName(r.benchmark_name())] = r.error_message;
            else if (r.run_type == Run::RT_Iteration)
                times[BaseName(r.benchmark_name())] = {r.GetAdjustedRealTime(), r.time_unit};
            if (HasPendingResult()) results[BaseName(r.benchmark_name())] = PendingResult();
        }
        HasPendingResult() = false;
        PendingResult().clear();
        ConsoleReporter::ReportRuns(runs);
    }
};

// Whether the command line runs every benchmark (no filter of its own).
inline bool RunsAll() {
    std::string f = benchmark::GetBenchmarkFilter();
    return f.empty() || f == "." || f == ".*" || f == "all";
}

} // namespace bench_summary_detail

// The program's main: runs the benchmarks the command line selects and
// reports each pair whose two halves ran, with their results. A half that
// ended with an error fails its pair, as does a half that did not run when
// every benchmark was to run (a pair a filter leaves out is not reported); a
// benchmark outside the pairs that ended with an error fails under its own
// name. Returns 1 when anything failed, results that differ or are missing
// included.
inline int BenchPairsMain(int argc, char** argv, const std::vector<BenchPair>& pairs) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    bench_summary_detail::Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    bool all = bench_summary_detail::RunsAll();
    benchmark::Shutdown();
    int rc = 0;
    std::map<std::string, std::string> unpaired = collector.errors;
    for (const BenchPair& p : pairs) {
        std::string error;
        for (const std::string* half : {&p.ours, &p.reference}) {
            auto e = collector.errors.find(*half);
            if (e == collector.errors.end()) continue;
            error += (error.empty() ? "" : "; ") + *half + ": " + e->second;
            unpaired.erase(*half);
        }
        auto a = collector.times.find(p.ours), b = collector.times.find(p.reference);
        bool ranA = a != collector.times.end(), ranB = b != collector.times.end();
        if (error.empty() && (!ranA || !ranB) && all)
            error = ranA   ? p.reference + " did not run"
                    : ranB ? p.ours + " did not run"
                           : p.ours + " and " + p.reference + " did not run";
        if (!error.empty()) {
            BenchSummaryFailed(p.figure, error);
            rc = 1;
            continue;
        }
        if (!ranA || !ranB) continue;
        double ours = a->second.value;
        double ref = bench_summary_detail::InSeconds(b->second.value, b->second.unit);
        ref = ref / bench_summary_detail::InSeconds(1, a->second.unit);
        BenchResults results = BenchNotComparable();
        if (p.compared) {
            auto ra = collector.results.find(p.ours), rb = collector.results.find(p.reference);
            results = {ra == collector.results.end() ? "" : ra->second,
                       rb == collector.results.end() ? "" : rb->second};
            if (results.ours.empty() || results.reference.empty() || results.ours != results.reference)
                rc = 1;
            if (results.ours.empty() || results.reference.empty())
                std::fprintf(stderr, "FAILED: %s: %s gave no result\n", p.figure.c_str(),
                             (results.ours.empty() ? p.ours : p.reference).c_str());
        }
        BenchSummary(p.figure, ours, ref, bench_summary_detail::UnitName(a->second.unit), p.target, results);
    }
    for (const auto& [name, error] : unpaired) {
        BenchSummaryFailed(name, error);
        rc = 1;
    }
    return rc;
}
