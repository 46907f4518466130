// The figures of scripts/bench.sh's summary table. A benchmark program
// reports each figure that has a target with BenchSummary: one tab-separated
// line appended to the file named by TAVRELIX_BENCH_SUMMARY (nothing when it
// is not set), holding the program, the figure, our time, the reference's
// time, their unit and the target: the highest ratio ours / reference that
// meets it. A figure with a bound of its own rather than a reference
// (BenchSummaryLimit) leaves the reference empty, and its target is the bound
// in the figure's unit.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace bench_summary_detail {

inline void Append(const std::string& figure, double ours, const std::string& reference, const char* unit,
                   double target) {
    const char* path = std::getenv("TAVRELIX_BENCH_SUMMARY");
    if (!path || !*path) return;
    FILE* f = std::fopen(path, "a");
    if (!f) return;
    std::fprintf(f, "%s\t%s\t%.6g\t%s\t%s\t%.6g\n", program_invocation_short_name, figure.c_str(), ours,
                 reference.c_str(), unit, target);
    std::fclose(f);
}

} // namespace bench_summary_detail

inline void BenchSummary(const std::string& figure, double ours, double reference, const char* unit,
                         double target) {
    char ref[32];
    std::snprintf(ref, sizeof ref, "%.6g", reference);
    bench_summary_detail::Append(figure, ours, ref, unit, target);
}

inline void BenchSummaryLimit(const std::string& figure, double ours, const char* unit, double limit) {
    bench_summary_detail::Append(figure, ours, "", unit, limit);
}
