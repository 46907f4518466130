// The figures of scripts/bench.sh's summary table. A benchmark program
// reports each figure with BenchSummary: one tab-separated line appended to
// the file named by TAVRELIX_BENCH_SUMMARY (nothing when it is not set),
// holding the program, the figure, our time, the reference's time, their
// unit, the target (the highest ratio ours / reference that meets it), an
// error text (empty for a figure honestly obtained) and what each half
// produced (BenchResults). The summary compares the two results: a figure
// whose halves did not produce the same result is FAILED, whatever its
// times, as one side did other work. A figure whose halves produce nothing
// comparable says so with BenchNotComparable.
//
// A figure with a bound of its own rather than a reference
// (BenchSummaryLimit) has "-" for the reference, and its target is the bound
// in the figure's unit. A figure that could not be obtained (a run that
// failed) is reported with BenchSummaryFailed and its error: the summary
// shows it FAILED (scripts/bench_summary.sh reads the rows).
#pragma once

#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

// What the two halves of a figure produced, as short texts that are equal
// exactly when the results are (a count, a size and a digest of the bytes).
// "-" on both sides: the halves produce nothing that could be compared.
struct BenchResults {
    std::string ours, reference;
};

inline BenchResults BenchNotComparable() {
    return {"-", "-"};
}

// A digest of bytes as a result text: their count and a 64-bit FNV-1a hash.
class BenchDigest {
public:
    void Add(const void* data, size_t bytes) {
        const auto* p = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < bytes; ++i) hash_ = (hash_ ^ p[i]) * 1099511628211u;
        bytes_ += bytes;
    }
    void Add(std::string_view s) { Add(s.data(), s.size()); }
    void Add(std::u16string_view s) { Add(s.data(), s.size() * sizeof(char16_t)); }
    uint64_t Bytes() const { return bytes_; }
    std::string Text() const {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%" PRIu64 " bytes, fnv %016" PRIx64, bytes_, hash_);
        return buf;
    }

private:
    uint64_t hash_ = 14695981039346656037u;
    uint64_t bytes_ = 0;
};

// The digest of a file's bytes; "no file PATH" when it cannot be read.
inline std::string BenchFileDigest(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "no file " + path;
    BenchDigest d;
    std::vector<char> buf(1 << 16);
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0) d.Add(buf.data(), n);
    std::fclose(f);
    return d.Text();
}

namespace bench_summary_detail {

// A field of the row: tabs and line ends would split it.
inline std::string Field(std::string s) {
    for (char& c : s)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return s;
}

inline void Append(const std::string& figure, const std::string& ours, const std::string& reference,
                   const char* unit, double target, const std::string& error, const BenchResults* results) {
    const char* path = std::getenv("TAVRELIX_BENCH_SUMMARY");
    if (!path || !*path) return;
    FILE* f = std::fopen(path, "a");
    if (!f) return;
    std::fprintf(f, "%s\t%s\t%s\t%s\t%s\t%.6g\t%s", program_invocation_short_name, Field(figure).c_str(),
                 ours.c_str(), reference.c_str(), unit, target, Field(error).c_str());
    if (results) std::fprintf(f, "\t%s\t%s", Field(results->ours).c_str(), Field(results->reference).c_str());
    std::fputc('\n', f);
    std::fclose(f);
}

inline std::string Number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

} // namespace bench_summary_detail

// A figure against a reference, with what each half produced. Results that
// differ are also said on the standard error; the caller's exit status is
// its own.
inline void BenchSummary(const std::string& figure, double ours, double reference, const char* unit,
                         double target, const BenchResults& results) {
    if (results.ours != results.reference)
        std::fprintf(stderr, "FAILED: %s: results differ: ours %s, the reference %s\n", figure.c_str(),
                     results.ours.c_str(), results.reference.c_str());
    bench_summary_detail::Append(figure, bench_summary_detail::Number(ours),
                                 bench_summary_detail::Number(reference), unit, target, "", &results);
}

inline void BenchSummaryLimit(const std::string& figure, double ours, const char* unit, double limit) {
    bench_summary_detail::Append(figure, bench_summary_detail::Number(ours), "-", unit, limit, "", nullptr);
}

// A figure without an honest time; also said on the standard error.
inline void BenchSummaryFailed(const std::string& figure, const std::string& error) {
    std::fprintf(stderr, "FAILED: %s: %s\n", figure.c_str(), error.c_str());
    bench_summary_detail::Append(figure, "", "", "", 0, error, nullptr);
}
