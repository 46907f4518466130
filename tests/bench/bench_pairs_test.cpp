#include "bench/common/bench_pairs.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

void Work(benchmark::State& state) {
    int sum = 0;
    for (auto _ : state) {
        sum = 0;
        for (int i = 0; i < 10000; ++i) benchmark::DoNotOptimize(sum += i);
    }
    BenchResult("sum " + std::to_string(sum));
}

// Work that gives another result, and work that gives none.
void OtherWork(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(state.iterations());
    BenchResult("sum 1");
}
void SilentWork(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(state.iterations());
}

void Fails(benchmark::State& state, const char* error) {
    for (auto _ : state) benchmark::DoNotOptimize(state.iterations());
    state.SkipWithError(error);
}

// The rows one run of BenchPairsMain appends to its summary file, split at
// the tabs, and its exit status.
struct MainRun {
    int rc = 0;
    std::vector<std::vector<std::string>> rows;
    std::string file;
    const std::vector<std::string>* Row(const std::string& figure) const {
        for (const auto& r : rows)
            if (r.size() > 1 && r[1] == figure) return &r;
        return nullptr;
    }
};

class BenchPairsTest : public ::testing::Test {
protected:
    void SetUp() override {
        benchmark::ClearRegisteredBenchmarks();
        char tmpl[] = "/tmp/bench-pairs-test-XXXXXX";
        int fd = mkstemp(tmpl);
        ASSERT_GE(fd, 0);
        close(fd);
        file_ = tmpl;
        setenv("TAVRELIX_BENCH_SUMMARY", file_.c_str(), 1);
    }
    void TearDown() override {
        benchmark::ClearRegisteredBenchmarks();
        unsetenv("TAVRELIX_BENCH_SUMMARY");
        std::remove(file_.c_str());
    }
    static void Register(const char* name, void (*fn)(benchmark::State&)) {
        benchmark::RegisterBenchmark(name, fn)->Iterations(3);
    }
    static void RegisterFailing(const char* name, const char* error) {
        benchmark::RegisterBenchmark(name, Fails, error)->Iterations(3);
    }
    MainRun Main(const std::vector<BenchPair>& pairs, const std::string& filter = "") {
        std::vector<std::string> args = {"bench", "--benchmark_format=console"};
        args.push_back("--benchmark_filter=" + filter);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int argc = static_cast<int>(args.size());
        MainRun run;
        run.rc = BenchPairsMain(argc, argv.data(), pairs);
        run.file = file_;
        std::ifstream in(file_);
        std::string line;
        while (std::getline(in, line)) {
            std::vector<std::string> fields;
            std::stringstream ss(line);
            std::string f;
            while (std::getline(ss, f, '\t')) fields.push_back(f);
            if (!line.empty() && line.back() == '\t') fields.push_back("");
            run.rows.push_back(fields);
        }
        return run;
    }
    // The table scripts/bench_summary.sh makes of the rows.
    std::string Summary() {
        std::string out = file_ + ".out";
        std::string cmd = std::string(TAVRELIX_SOURCE_DIR) + "/scripts/bench_summary.sh '" + file_ + "' > '" +
                          out + "' 2>&1";
        int status = std::system(cmd.c_str());
        (void)status;
        std::ifstream in(out);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::remove(out.c_str());
        return text;
    }
    std::string file_;
};

// A row: program, figure, ours, reference, unit, target, error and, for a
// figure obtained, the two results.
TEST_F(BenchPairsTest, AnErrorInEitherHalfFailsItsPairWithTheTextAndTheProgram) {
    Register("Good/ours", Work);
    Register("Good/ref", Work);
    RegisterFailing("Count/ours", "count differs from SQLite");
    Register("Count/ref", Work);
    Register("Length/ours", Work);
    RegisterFailing("Length/ref", "decoded text differs in length");
    MainRun run = Main({{"good figure", "Good/ours", "Good/ref", 1},
                        {"count figure", "Count/ours", "Count/ref", 2},
                        {"length figure", "Length/ours", "Length/ref", 1}});
    EXPECT_EQ(run.rc, 1);
    ASSERT_EQ(run.rows.size(), 3u);
    const auto* good = run.Row("good figure");
    ASSERT_NE(good, nullptr);
    ASSERT_EQ(good->size(), 9u);
    EXPECT_NE((*good)[2], "");
    EXPECT_NE((*good)[3], "");
    EXPECT_EQ((*good)[6], "");
    EXPECT_EQ((*good)[7], (*good)[8]);
    const auto* count = run.Row("count figure");
    ASSERT_NE(count, nullptr);
    ASSERT_EQ(count->size(), 7u);
    EXPECT_EQ((*count)[2], "");
    EXPECT_EQ((*count)[6], "Count/ours: count differs from SQLite");
    const auto* length = run.Row("length figure");
    ASSERT_NE(length, nullptr);
    EXPECT_EQ(length->back(), "Length/ref: decoded text differs in length");
}

TEST_F(BenchPairsTest, AnErrorOutsideThePairsFailsUnderItsOwnName) {
    Register("Good/ours", Work);
    Register("Good/ref", Work);
    RegisterFailing("DetectCode/64KB", "detection failed");
    MainRun run = Main({{"good figure", "Good/ours", "Good/ref", 1}});
    EXPECT_EQ(run.rc, 1);
    const auto* lone = run.Row("DetectCode/64KB");
    ASSERT_NE(lone, nullptr);
    EXPECT_EQ(lone->back(), "detection failed");
    ASSERT_NE(run.Row("good figure"), nullptr);
}

TEST_F(BenchPairsTest, AHalfThatNeverRanFailsAWholeRunButAFilterLeavesThePairOut) {
    Register("Good/ours", Work);
    Register("Good/ref", Work);
    Register("Lone/ours", Work);
    std::vector<BenchPair> pairs = {{"good figure", "Good/ours", "Good/ref", 1},
                                    {"lone figure", "Lone/ours", "Lone/reference", 1}};
    MainRun whole = Main(pairs);
    EXPECT_EQ(whole.rc, 1);
    const auto* lone = whole.Row("lone figure");
    ASSERT_NE(lone, nullptr);
    EXPECT_EQ(lone->back(), "Lone/reference did not run");

    std::remove(file_.c_str());
    MainRun filtered = Main(pairs, "Good/ours");
    EXPECT_EQ(filtered.rc, 0);
    EXPECT_TRUE(filtered.rows.empty());
}

TEST_F(BenchPairsTest, EachRowCarriesBothResultsAndResultsThatDifferOrAreMissingFail) {
    Register("Same/ours", Work);
    Register("Same/ref", Work);
    Register("Differ/ours", OtherWork);
    Register("Differ/ref", Work);
    Register("Missing/ours", SilentWork);
    Register("Missing/ref", Work);
    // A result given by one benchmark never goes to the next, silent one.
    Register("Silent/ours", Work);
    Register("Silent/ref", SilentWork);
    Register("Apart/ours", SilentWork);
    Register("Apart/ref", SilentWork);
    MainRun run = Main({{"same figure", "Same/ours", "Same/ref", 1000000},
                        {"differ figure", "Differ/ours", "Differ/ref", 1000000},
                        {"missing figure", "Missing/ours", "Missing/ref", 1000000},
                        {"silent figure", "Silent/ours", "Silent/ref", 1000000},
                        {"apart figure", "Apart/ours", "Apart/ref", 1000000, false}});
    EXPECT_EQ(run.rc, 1);
    const auto* same = run.Row("same figure");
    ASSERT_NE(same, nullptr);
    ASSERT_EQ(same->size(), 9u);
    EXPECT_EQ((*same)[7], "sum 49995000");
    EXPECT_EQ((*same)[8], "sum 49995000");
    const auto* differ = run.Row("differ figure");
    ASSERT_NE(differ, nullptr);
    ASSERT_EQ(differ->size(), 9u);
    EXPECT_EQ((*differ)[7], "sum 1");
    EXPECT_EQ((*differ)[8], "sum 49995000");
    const auto* missing = run.Row("missing figure");
    ASSERT_NE(missing, nullptr);
    ASSERT_EQ(missing->size(), 9u);
    EXPECT_EQ((*missing)[7], "");
    const auto* silent = run.Row("silent figure");
    ASSERT_NE(silent, nullptr);
    ASSERT_EQ(silent->size(), 9u);
    EXPECT_EQ((*silent)[8], "");
    const auto* apart = run.Row("apart figure");
    ASSERT_NE(apart, nullptr);
    ASSERT_EQ(apart->size(), 9u);
    EXPECT_EQ((*apart)[7], "-");
    EXPECT_EQ((*apart)[8], "-");

    std::string text = Summary();
    EXPECT_NE(text.find("FAILED (results differ: ours sum 1, the reference sum 49995000)"), std::string::npos)
        << text;
    EXPECT_NE(text.find("FAILED (no result of ours)"), std::string::npos) << text;
    EXPECT_NE(text.find("FAILED (no result of the reference)"), std::string::npos) << text;
    EXPECT_NE(text.find("2 met, 0 missed, 3 failed"), std::string::npos) << text;
}

TEST_F(BenchPairsTest, AllResultsTheSameAndEveryHalfRunIsAWholeRun) {
    Register("Same/ours", Work);
    Register("Same/ref", Work);
    MainRun run = Main({{"same figure", "Same/ours", "Same/ref", 1000000}});
    EXPECT_EQ(run.rc, 0);
    std::string text = Summary();
    EXPECT_NE(text.find(" same  met"), std::string::npos) << text;
}

// What scripts/bench.sh ends with: the summary of these rows says FAILED,
// lists the pair under "not run to the end" and exits non-zero.
TEST_F(BenchPairsTest, TheSummaryListsAFailedPairAndFails) {
    Register("Good/ours", Work);
    Register("Good/ref", Work);
    RegisterFailing("Count/ours", "count differs from SQLite");
    Register("Count/ref", Work);
    MainRun run = Main(
        {{"good figure", "Good/ours", "Good/ref", 1000000}, {"count figure", "Count/ours", "Count/ref", 2}});
    ASSERT_EQ(run.rc, 1);
    std::string out = file_ + ".out";
    std::string cmd =
        std::string(TAVRELIX_SOURCE_DIR) + "/scripts/bench_summary.sh '" + file_ + "' > '" + out + "' 2>&1";
    int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    std::ifstream in(out);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(out.c_str());
    EXPECT_NE(text.find("FAILED (Count/ours: count differs from SQLite)"), std::string::npos) << text;
    EXPECT_NE(
        text.find("not run to the end:\n  test_bench: count figure: Count/ours: count differs from SQLite"),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("1 met, 0 missed, 1 failed"), std::string::npos) << text;
}

} // namespace
