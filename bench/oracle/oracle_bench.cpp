// The dataset fill against a raw SQLite loop over the same schema file, and
// the dataset sort against std::sort of parsed keys. A timed program: prints
// one line per measurement.
#include <iconv.h>
#include <sqlite3.h>

#include <malloc.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/common/bench_oracle.h"
#include "oracle/oci_exec.h"
#include "oracle/ora_dataset.h"
#include "bench/common/bench_summary.h"

namespace {

const int kDoublings = 16; // 16 rows doubled: 1,048,576 rows

void Fill(OraSession* s) {
    CString msg;
    Check(oci_exec_sql(s,
                       u"create table big (c1 varchar2(20 char), c2 varchar2(20 char), c3 varchar2(20 char), "
                       u"c4 varchar2(20 char), "
                       u"c5 varchar2(20 char), c6 varchar2(20 char), c7 varchar2(20 char), c8 varchar2(20 "
                       u"char), c9 varchar2(20 char), "
                       u"c10 varchar2(20 char), n1 number, n2 number(10,2), d date, t varchar2(400))",
                       &msg),
          msg, "create");
    std::mt19937 rng(7);
    for (int i = 0; i < 16; ++i) {
        std::u16string v[10];
        for (auto& x : v) {
            int len = 8 + int(rng() % 5);
            for (int k = 0; k < len; ++k)
                x += (rng() % 2) ? char16_t(u'a' + rng() % 26) : char16_t(u'あ' + rng() % 80);
        }
        std::u16string t(100, char16_t(u'A' + i));
        int n1 = int(rng() % 100000);
        Check(oci_exec_sql_bind(
                  s,
                  u"insert into big values (:X0, :X1, :X2, :X3, :X4, :X5, :X6, :X7, :X8, :X9, :X10, "
                  u"123.45, sysdate, :X11)",
                  &msg, nullptr, nullptr, "SSSSSSSSSSIS", v[0].c_str(), v[1].c_str(), v[2].c_str(),
                  v[3].c_str(), v[4].c_str(), v[5].c_str(), v[6].c_str(), v[7].c_str(), v[8].c_str(),
                  v[9].c_str(), &n1, t.c_str()),
              msg, "insert");
    }
    for (int i = 0; i < kDoublings; ++i)
        Check(oci_exec_sql(s, u"insert into big select * from big", &msg), msg, "double");
    Check(oci_ora_commit(s, &msg), msg, "commit");
}

// Resident and peak resident kilobytes of this process (VmRSS, VmHWM).
long StatusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    size_t n = std::strlen(key);
    while (std::getline(in, line))
        if (line.compare(0, n, key) == 0) return std::atol(line.c_str() + n);
    return 0;
}

// Runs this program again as a fresh process with the given arguments and
// waits for it. A fresh process (not a fork) has no thread of the client
// stand-in's, and its peak resident memory is its own measurement's.
void RunFresh(const std::vector<std::string>& args) {
    std::fflush(stdout);
    std::vector<char*> argv;
    static char self[] = "/proc/self/exe";
    argv.push_back(self);
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, self, nullptr, nullptr, argv.data(), environ) != 0) {
        std::perror("posix_spawn");
        std::exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s %s failed (status %d)\n", args[0].c_str(), args[1].c_str(), status);
        std::exit(1);
    }
}

// Each fill's seconds, written by the process that measured it for the one
// that started it.
void WriteSeconds(const std::filesystem::path& home, const char* kind, double seconds) {
    std::ofstream(home / kind) << seconds << "\n";
}

double ReadSeconds(const std::filesystem::path& home, const char* kind) {
    double seconds = 0;
    std::ifstream(home / kind) >> seconds;
    return seconds;
}

// What a fill gave, beside its seconds: its rows and the digest of their
// text columns (c1 to c10 and t, the same text through either road), in
// order.
const int kTextColumns[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 13};
std::string FillResult(size_t rows, const BenchDigest& texts) {
    return std::to_string(rows) + " rows, texts " + texts.Text();
}

void WriteResult(const std::filesystem::path& home, const char* kind, const std::string& result) {
    std::ofstream(home / (std::string(kind) + ".result")) << result << "\n";
}

std::string ReadResult(const std::filesystem::path& home, const char* kind) {
    std::string result;
    std::ifstream in(home / (std::string(kind) + ".result"));
    std::getline(in, result);
    return result;
}

// The dataset fill of the table, in a fresh process logged on by itself.
void FillOurs(const std::filesystem::path& home, OraSession* s) {
    CString msg;
    CancelState cancel{0};
    OraDataset ds{};
    long base = StatusKb("VmRSS:");
    double t0 = Now();
    Check(oci_sel_dataset_with_cancel(s, &ds, u"select * from big", 100, &msg, nullptr, &cancel, ""), msg,
          "fill");
    double t1 = Now();
    long peak = StatusKb("VmHWM:") - base, held = StatusKb("VmRSS:") - base;
    double rows = ds.row_count;
    int64_t blocks = 0, chunks = 0;
    for (OraRowBlock* b = ds.blocks; b; b = b->next) blocks += int64_t(malloc_usable_size(b));
    for (OraTextChunk* c = ds.text_heap; c; c = c->next) chunks += int64_t(malloc_usable_size(c));
    int64_t index = int64_t(malloc_usable_size(ds.row_index));
    std::printf("fill: %d rows in %.3f s = %.0f rows/s; %.1f bytes/row (blocks %.1f, chunks %.1f, index "
                "%.1f); peak memory +%.1f MB (%.1f bytes/row), held +%.1f MB\n",
                ds.row_count, t1 - t0, rows / (t1 - t0), double(blocks + chunks + index) / rows,
                double(blocks) / rows, double(chunks) / rows, double(index) / rows, peak / 1024.0,
                peak * 1024.0 / rows, held / 1024.0);
    BenchDigest texts;
    for (int r = 0; r < ds.row_count; ++r)
        for (int c : kTextColumns) {
            const char16_t* t = oci_get_dataset_data(&ds, r, c);
            texts.Add(std::u16string_view(t ? t : u""));
            texts.Add(std::u16string_view(u"\t"));
        }
    WriteResult(home, "fill-ours", FillResult(size_t(ds.row_count), texts));
    oci_free_dataset(&ds);
    WriteSeconds(home, "fill-ours", t1 - t0);
}

// Reference: sqlite3_step and sqlite3_column_text16 into vectors of strings.
void FillRaw(const std::filesystem::path& home) {
    const std::string db_dir = (home / "db" / "bench").string();
    sqlite3* db = nullptr;
    sqlite3_open_v2((db_dir + "/catalog.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* q = nullptr;
    sqlite3_prepare_v2(db, "SELECT user_id FROM users WHERE username = 'SYSTEM'", -1, &q, nullptr);
    std::string file =
        sqlite3_step(q) == SQLITE_ROW ? db_dir + "/u" + std::to_string(sqlite3_column_int(q, 0)) + ".db" : "";
    sqlite3_finalize(q);
    sqlite3_exec(db, ("ATTACH DATABASE '" + file + "' AS \"SYSTEM\"").c_str(), nullptr, nullptr, nullptr);
    long base = StatusKb("VmRSS:");
    double t0 = Now();
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT * FROM \"SYSTEM\".\"BIG\"", -1, &st, nullptr) != SQLITE_OK)
        std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
    std::vector<std::vector<std::u16string>> table;
    while (sqlite3_step(st) == SQLITE_ROW) {
        int n = sqlite3_column_count(st);
        std::vector<std::u16string> row;
        row.reserve(size_t(n));
        for (int c = 0; c < n; ++c) {
            auto* t = static_cast<const char16_t*>(sqlite3_column_text16(st, c));
            row.emplace_back(t ? t : u"");
        }
        table.push_back(std::move(row));
    }
    sqlite3_finalize(st);
    double t1 = Now();
    long peak = StatusKb("VmHWM:") - base, held = StatusKb("VmRSS:") - base;
    // What the vectors hold: the row vector, its strings and their
    // buffers beyond the inline capacity, the outer vector's slot.
    int64_t bytes = int64_t(table.capacity() * sizeof(table[0]));
    for (const auto& row : table) {
        bytes += int64_t(malloc_usable_size(const_cast<std::u16string*>(row.data())));
        for (const auto& v : row)
            if (v.capacity() > 7) bytes += int64_t(malloc_usable_size(const_cast<char16_t*>(v.data())));
    }
    double rows = double(table.size());
    std::printf("raw loop: %zu rows in %.3f s = %.0f rows/s; %.1f bytes/row; peak memory +%.1f MB (%.1f "
                "bytes/row), held +%.1f MB\n",
                table.size(), t1 - t0, rows / (t1 - t0), double(bytes) / rows, peak / 1024.0,
                peak * 1024.0 / rows, held / 1024.0);
    sqlite3_close(db);
    BenchDigest texts;
    for (const auto& row : table)
        for (int c : kTextColumns) {
            texts.Add(size_t(c) < row.size() ? std::u16string_view(row[size_t(c)]) : std::u16string_view());
            texts.Add(std::u16string_view(u"\t"));
        }
    WriteResult(home, "fill-raw", FillResult(table.size(), texts));
    WriteSeconds(home, "fill-raw", t1 - t0);
}

// False when the dataset's order is not std::sort's.
bool SortBench() {
    const int n = 1000000;
    OraDataset ds{};
    OraDatasetBuilder* b = nullptr;
    const char16_t* names[] = {u"N"};
    oci_init_dataset_builder(&ds, names, n, 1, &b, nullptr);
    ds.cols[0].data_type = SQLT_NUM;
    std::mt19937 rng(11);
    std::vector<std::pair<double, int>> ref;
    std::vector<std::u16string> keys;
    for (int i = 0; i < n; ++i) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%u.%02u", unsigned(rng() % 1000000), unsigned(rng() % 100));
        std::u16string w = Utf8ToWide(buf);
        oci_add_dataset_row(&ds, b, nullptr);
        oci_set_dataset_data(&ds, b, 0, w.c_str(), nullptr);
        keys.push_back(w);
    }
    ds.row_count = n;
    oci_make_row_index(&ds, n, ds.row_size, nullptr);
    free(b);
    double t0 = Now();
    oci_sort_dataset(&ds, u"N");
    double t1 = Now();
    for (int i = 0; i < n; ++i)
        ref.emplace_back(std::strtod(WideToUtf8(keys[size_t(i)].c_str()).c_str(), nullptr), i);
    double t2 = Now();
    std::sort(ref.begin(), ref.end());
    double t3 = Now();
    std::printf("sort: dataset %.3f s, std::sort of parsed keys %.3f s (ratio %.1f)\n", t1 - t0, t3 - t2,
                (t1 - t0) / (t3 - t2));
    // Both orders hold the same keys in the same order.
    bool same = ds.row_count == n;
    for (int i = 0; i < n && same; ++i) {
        const char16_t* t = oci_get_dataset_data(&ds, i, 0);
        same = t && std::strtod(WideToUtf8(t).c_str(), nullptr) == ref[size_t(i)].first;
    }
    oci_free_dataset(&ds);
    if (!same) BenchSummaryFailed("dataset sort of 1,000,000 numbers", "its order differs from std::sort's");
    return same;
}

// ns per call of fn over the texts, repeated.
template <class F> double NsPerCall(const std::vector<std::string>& texts, F fn) {
    const int reps = 200000;
    double t0 = Now();
    for (int r = 0; r < reps; ++r) fn(texts[size_t(r) % texts.size()]);
    return (Now() - t0) * 1e9 / reps;
}

// False when a conversion gave back another text than the one converted.
bool ConversionBench() {
    bool same = true;
    struct Case {
        const char* name;
        int code_page;
        const char* charset;
        bool japanese;
    } cases[] = {{"UTF-8 ASCII", 65001, "UTF-8", false},
                 {"UTF-8 Japanese", 65001, "UTF-8", true},
                 {"CP932 ASCII", 0, "CP932", false},
                 {"CP932 Japanese", 0, "CP932", true}};
    char16_t out[512];
    for (const Case& c : cases) {
        g_oci_code_page = c.code_page;
        for (int bytes : {5, 20, 200}) {
            std::u16string w;
            while (int(w.size()) * (c.japanese ? (c.code_page ? 3 : 2) : 1) < bytes)
                w += c.japanese ? u'日' : u'a';
            char mb[1024];
            oci_wide_to_mb(w.c_str(), mb, sizeof mb);
            std::vector<std::string> texts{mb};
            iconv_t cd = iconv_open("UTF-16LE", c.charset);
            double ours =
                NsPerCall(texts, [&](const std::string& t) { oci_mb_to_wide(t.c_str(), out, 512); });
            double tilde =
                NsPerCall(texts, [&](const std::string& t) { oci_mb_to_wide_tilde(t.c_str(), out, 512); });
            double ref = NsPerCall(texts, [&](const std::string& t) {
                char* in = const_cast<char*>(t.data());
                size_t inleft = t.size() + 1;
                char* o = reinterpret_cast<char*>(out);
                size_t oleft = sizeof out;
                iconv(cd, &in, &inleft, &o, &oleft);
            });
            // The text each gave back, the last time: the text converted.
            std::u16string back[3];
            oci_mb_to_wide(mb, out, 512);
            back[0] = out;
            oci_mb_to_wide_tilde(mb, out, 512);
            back[1] = out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            char* in = mb;
            size_t inleft = std::strlen(mb) + 1;
            char* o = reinterpret_cast<char*>(out);
            size_t oleft = sizeof out;
            iconv(cd, &in, &inleft, &o, &oleft);
            back[2] = out;
            iconv_close(cd);
            std::printf("conversion %s %d bytes: mb_to_wide %.0f ns, tilde %.0f ns, iconv %.0f ns\n", c.name,
                        int(std::strlen(mb)), ours, tilde, ref);
            if (back[0] != w || back[1] != w || back[2] != w) {
                BenchSummaryFailed(std::string("conversion ") + c.name + " " + std::to_string(bytes) +
                                       " bytes",
                                   "a conversion gave another text");
                same = false;
            }
        }
    }
    return same;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void PollingBench(OraSession* s) {
    CString msg;
    Check(oci_exec_sql(s, u"create table p (x number)", &msg), msg, "create p");
    for (int i = 1; i <= 50; ++i)
        Check(oci_exec_sql_bind(s, u"insert into p values (:X0)", &msg, nullptr, nullptr, "I", &i), msg,
              "insert p");
    auto control = reinterpret_cast<pfn_oci_standin_control>(
        reinterpret_cast<void (*)()>(GetProcAddress(g_oci_module, "oci_standin_control")));
    char reply[128];
    control("delay_rows 1000", reply, sizeof reply); // 1 ms per row
    for (int rows : {1, 6, 50}) {
        std::vector<double> polled, blocking;
        for (int k = 0; k < 9; ++k) {
            CancelState cancel{0};
            double t0 = Now();
            Check(oci_exec_sql_bind(s, u"update p set x = x where x <= :X0", &msg, nullptr, &cancel, "I",
                                    &rows),
                  msg, "polled");
            double t1 = Now();
            Check(oci_exec_sql_bind(s, u"update p set x = x where x <= :X0", &msg, nullptr, nullptr, "I",
                                    &rows),
                  msg, "blocking");
            double t2 = Now();
            polled.push_back((t1 - t0) * 1000);
            blocking.push_back((t2 - t1) * 1000);
        }
        std::printf("polling %d ms statement: polled median %.1f ms, blocking median %.1f ms\n", rows,
                    Median(polled), Median(blocking));
    }
    control("delay_rows 0", reply, sizeof reply);
}

// Logs on to the service BENCH of the set-up below.
OraSession* Logon() {
    SetDllDirectoryW(Utf8ToWide(ORACLE_BIN_DIR).c_str());
    CString msg;
    Check(oci_load_library(&msg), msg, "load");
    OraSession* s = nullptr;
    Check(oci_login2(&s, u"system", u"manager", u"BENCH", nullptr, 0, &msg, nullptr), msg, "logon");
    g_oci_code_page = 65001;
    return s;
}

} // namespace

// With arguments, runs only the named parts: sort, conversion, polling, fill.
// The fill's two measurements run as fresh processes of this program
// ("--fill-ours" and "--fill-raw", with the set-up's directory), after the
// table was made.
int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    if (argc == 3 && (std::strcmp(argv[1], "--fill-ours") == 0 || std::strcmp(argv[1], "--fill-raw") == 0)) {
        fs::path home = argv[2];
        if (std::strcmp(argv[1], "--fill-raw") == 0) {
            FillRaw(home);
            return 0;
        }
        OraSession* s = Logon();
        FillOurs(home, s);
        oci_ora_logout(&s);
        return 0;
    }
    auto wanted = [&](const char* part) {
        if (argc < 2) return true;
        for (int i = 1; i < argc; ++i)
            if (std::strcmp(argv[i], part) == 0) return true;
        return false;
    };
    char tmpl[] = "/tmp/oracle-bench-XXXXXX";
    fs::path home = mkdtemp(tmpl);
    fs::create_directories(home / "tns");
    std::ofstream(home / "tns" / "services.conf") << "BENCH = ../db/bench\n";
    setenv("TNS_ADMIN", (home / "tns").c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    setenv("NLS_LANG", "JAPANESE_JAPAN.AL32UTF8", 1);
    bool failed = false;
    if (wanted("sort")) failed |= !SortBench();

    if (wanted("conversion")) failed |= !ConversionBench();

    if (wanted("polling") || wanted("fill")) {
        OraSession* s = Logon();
        if (wanted("polling")) PollingBench(s);
        if (wanted("fill")) {
            Fill(s);
            RunFresh({"--fill-ours", home.string()});
            RunFresh({"--fill-raw", home.string()});
            // Within 0.75x of the raw loop, which keeps every value as a
            // string of its own.
            const BenchResults results{ReadResult(home, "fill-ours"), ReadResult(home, "fill-raw")};
            BenchSummary("dataset fill of 1,048,576 rows, against a raw sqlite3_step loop",
                         ReadSeconds(home, "fill-ours"), ReadSeconds(home, "fill-raw"), "s", 0.75, results);
            failed |= results.ours != results.reference;
        }
        oci_ora_logout(&s);
    }
    std::error_code ec;
    fs::remove_all(home, ec);
    return failed ? 1 : 0;
}
