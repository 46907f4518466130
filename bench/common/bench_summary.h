// The figures of scripts/bench.sh's summary table. A benchmark program
// reports each figure with BenchSummary: one tab-separated line appended to
// the file named by TAVRELIX_BENCH_SUMMARY (nothing when it is not set),
// holding the program, the figure, our time, the reference's time, their
// unit, the target (the highest ratio ours / reference that meets it) and an
// error text, empty for a figure honestly obtained. A figure with a bound of
// its own rather than a reference (BenchSummaryLimit) has "-" for the
// reference, and its target is the bound in the figure's unit. A figure that
// could not be obtained (a run that failed, a result that disagrees with the
// reference's) is reported with BenchSummaryFailed and its error: the
// summary shows it FAILED (scripts/bench_summary.sh reads the rows).
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace bench_summary_detail {

// A field of the row: tabs and line ends would split it.
inline std::string Field(std::string s) {
    for (char& c : s)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return s;
}

inline void Append(const std::string& figure, const std::string& ours, const std::string& reference,
                   const char* unit, double target, const std::string& error) {
    const char* path = std::getenv("TAVRELIX_BENCH_SUMMARY");
    if (!path || !*path) return;
    FILE* f = std::fopen(path, "a");
    if (!f) return;
    std::fprintf(f, "%s\t%s\t%s\t%s\t%s\t%.6g\t%s\n", program_invocation_short_name, Field(figure).c_str(),
                 ours.c_str(), reference.c_str(), unit, target, Field(error).c_str());
    std::fclose(f);
}

inline std::string Number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

} // namespace bench_summary_detail

inline void BenchSummary(const std::string& figure, double ours, double reference, const char* unit,
                         double target) {
    bench_summary_detail::Append(figure, bench_summary_detail::Number(ours),
                                 bench_summary_detail::Number(reference), unit, target, "");
}

inline void BenchSummaryLimit(const std::string& figure, double ours, const char* unit, double limit) {
    bench_summary_detail::Append(figure, bench_summary_detail::Number(ours), "-", unit, limit, "");
}

// A figure without an honest time; also said on the standard error.
inline void BenchSummaryFailed(const std::string& figure, const std::string& error) {
    std::fprintf(stderr, "FAILED: %s: %s\n", figure.c_str(), error.c_str());
    bench_summary_detail::Append(figure, "", "", "", 0, error);
}
