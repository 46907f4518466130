// Grid model benchmarks: sort (with undo and redo), filter, find and export
// over 1,000,000 rows x 10 columns (GRID_BENCH_ROWS overrides the count),
// against SQLite in process, GNU sort and grep, the sqlite3 shell and iconv.
// Each half says what it produced: the sorted key sequence, the count of
// matching rows, whether any cell matches, the exported bytes. The files the
// references read and write live in a folder of this run's own under the
// system's temporary directory, removed when the program ends (also when it
// fails, or is stopped by a signal).
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "grid/editgrid.h"
#include "grid/gridfilter.h"
#include "regex/regex.h"
#include "bench/common/bench_pairs.h"

namespace {

constexpr int kCols = 10;
const char16_t* kNames[kCols] = {u"id",   u"amount", u"big",  u"name", u"kana",
                                 u"word", u"code",   u"date", u"ch10", u"note"};

// Column-wise text arenas: every cell NUL-terminated.
class BenchModel : public CEditableGridData {
public:
    std::u16string arena[kCols];
    std::vector<uint32_t> off[kCols];
    std::vector<char> nulls[kCols];

    int GetKeyColCount() override { return 0; }
    int GetColCount() override { return kCols; }
    const char16_t* GetColName(int col) override { return col >= 0 && col < kCols ? kNames[col] : u""; }
    int GetColType(int, int col) override { return col <= 2 ? 0 : 1; }
    int GetMaxInputLen(int, int) override { return 4000; }
    const char16_t* GetOriginalText(int row, int col) override {
        if (row < 0 || row >= GetRowCount() || col < 0 || col >= kCols) return u"";
        int id = Row(row)->id;
        if (id < 0) return u"";
        return arena[col].data() + off[col][static_cast<size_t>(id)];
    }
    int IsNull(int row, int col) override {
        if (row < 0 || row >= GetRowCount() || col < 0 || col >= kCols) return 1;
        GridRow* r = Row(row);
        if (r->texts && r->texts[col]) return r->texts[col][0] == 0;
        if (r->id < 0) return 1;
        return nulls[col][static_cast<size_t>(r->id)];
    }
};

// This run's folder, and its removal: at exit, and on the signals that stop
// a run (with the command made beforehand: a signal handler only forks and
// executes).
std::string g_dir;
char* g_removeArgv[4];

void RemoveDir() {
    if (g_dir.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(g_dir, ec);
    g_dir.clear();
}

void RemoveDirOnSignal(int sig) {
    pid_t pid = fork();
    if (pid == 0) {
        execv("/bin/rm", g_removeArgv);
        _exit(127);
    }
    if (pid > 0) waitpid(pid, nullptr, 0);
    signal(sig, SIG_DFL);
    raise(sig);
}

// Makes the run's folder and sees that it goes; false when it cannot be made.
bool MakeDir() {
    std::error_code ec;
    std::string tmpl = (std::filesystem::temp_directory_path(ec) / "grid_models_bench-XXXXXX").string();
    if (ec || !mkdtemp(tmpl.data())) return false;
    g_dir = tmpl;
    static std::string rm = "/bin/rm", flag = "-rf";
    static std::string dir = g_dir;
    g_removeArgv[0] = rm.data();
    g_removeArgv[1] = flag.data();
    g_removeArgv[2] = dir.data();
    g_removeArgv[3] = nullptr;
    std::atexit(RemoveDir);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGABRT, SIGSEGV}) signal(sig, RemoveDirOnSignal);
    return true;
}

// A path in the run's folder, quoted for the shell.
std::string InDir(const std::string& name) {
    return "'" + g_dir + "/" + name + "'";
}

struct Data {
    int rows = 0;
    std::vector<std::vector<std::string>> utf8; // [col][row]
    std::vector<std::vector<char>> nulls;
    BenchModel model;
    sqlite3* db = nullptr;
    std::string dir = g_dir;
};

std::u16string Widen(const std::string& s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp;
        int n;
        if (c < 0x80)
            cp = c, n = 1;
        else if (c < 0xE0)
            cp = c & 0x1F, n = 2;
        else if (c < 0xF0)
            cp = c & 0x0F, n = 3;
        else
            cp = c & 0x07, n = 4;
        for (int k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        i += static_cast<size_t>(n);
        if (cp > 0xFFFF) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

const char* kKana[] = {"さくら", "もみじ",   "ひまわり", "つばき", "すみれ",
                       "あやめ", "ききょう", "なでしこ", "ゆり",   "ふじ"};

Data* Build() {
    static Data* d = nullptr;
    if (d) return d;
    d = new Data;
    const char* env = std::getenv("GRID_BENCH_ROWS");
    d->rows = env ? std::atoi(env) : 1000000;
    int n = d->rows;
    std::mt19937 rng(20261208);
    auto R = [&rng](unsigned m) { return static_cast<unsigned>(rng() % m); };
    d->utf8.assign(kCols, std::vector<std::string>(static_cast<size_t>(n)));
    d->nulls.assign(kCols, std::vector<char>(static_cast<size_t>(n), 0));
    char buf[256];
    for (int r = 0; r < n; ++r) {
        auto& u = d->utf8;
        size_t i = static_cast<size_t>(r);
        u[0][i] = std::to_string(R(1000000));
        if (R(20) == 0) {
            d->nulls[1][i] = 1;
        } else {
            int v = static_cast<int>(R(2000000)) - 1000000;
            std::snprintf(buf, sizeof buf, "%s%d.%02d", v < 0 ? "-" : "", std::abs(v) / 100,
                          std::abs(v) % 100);
            u[1][i] = buf;
        }
        std::string big;
        for (int k = 0; k < 20; ++k) big += static_cast<char>('0' + (k == 0 ? 1 + R(9) : R(10)));
        u[2][i] = big;
        std::snprintf(buf, sizeof buf, "item%02u %s", R(100), kKana[R(10)]);
        u[3][i] = buf;
        unsigned k = R(100);
        std::snprintf(buf, sizeof buf, "%s%02uです", kKana[k % 10], k);
        u[4][i] = buf;
        std::string w;
        for (int c = 0; c < 8; ++c) w += static_cast<char>('a' + R(26));
        u[5][i] = w;
        std::snprintf(buf, sizeof buf, "%c%c-%04u%s", static_cast<int>('A' + R(26)),
                      static_cast<int>('A' + R(26)), R(10000), r % 100 == 0 ? "-56" : "");
        u[6][i] = buf;
        std::snprintf(buf, sizeof buf, "20%02u-%02u-%02u", R(30), 1 + R(12), 1 + R(28));
        u[7][i] = buf;
        std::string ch = w.substr(0, 1 + R(6));
        ch.resize(10, ' ');
        u[8][i] = ch;
        std::string note;
        while (note.size() < 100) note += static_cast<char>('a' + R(26));
        u[9][i] = note;
    }
    BenchModel& m = d->model;
    for (int c = 0; c < kCols; ++c) {
        m.off[c].resize(static_cast<size_t>(n));
        m.nulls[c] = d->nulls[static_cast<size_t>(c)];
        for (int r = 0; r < n; ++r) {
            m.off[c][static_cast<size_t>(r)] = static_cast<uint32_t>(m.arena[c].size());
            if (!d->nulls[static_cast<size_t>(c)][static_cast<size_t>(r)])
                m.arena[c] += Widen(d->utf8[static_cast<size_t>(c)][static_cast<size_t>(r)]);
            m.arena[c] += u'\0';
        }
    }
    m.SetupRows(n, kCols);

    // The TSV, one file per filtered column, and SQLite (memory and a file copy).
    {
        std::ofstream tsv(d->dir + "/all.tsv", std::ios::binary);
        std::vector<std::ofstream> colFiles;
        for (int c = 0; c < kCols; ++c)
            colFiles.emplace_back(d->dir + "/col" + std::to_string(c) + ".txt", std::ios::binary);
        for (int r = 0; r < n; ++r) {
            for (int c = 0; c < kCols; ++c) {
                const std::string& v = d->utf8[static_cast<size_t>(c)][static_cast<size_t>(r)];
                if (c) tsv << '\t';
                tsv << v;
                colFiles[static_cast<size_t>(c)] << v << '\n';
            }
            tsv << '\n';
        }
    }
    sqlite3_open(":memory:", &d->db);
    sqlite3_exec(
        d->db,
        "CREATE TABLE t(id INTEGER, amount REAL, big TEXT, name TEXT, kana TEXT, word TEXT, code TEXT, "
        "date TEXT, ch10 TEXT, note TEXT)",
        nullptr, nullptr, nullptr);
    sqlite3_exec(d->db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(d->db, "INSERT INTO t VALUES(?,?,?,?,?,?,?,?,?,?)", -1, &ins, nullptr);
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < kCols; ++c) {
            const std::string& v = d->utf8[static_cast<size_t>(c)][static_cast<size_t>(r)];
            if (d->nulls[static_cast<size_t>(c)][static_cast<size_t>(r)])
                sqlite3_bind_null(ins, c + 1);
            else if (c <= 1)
                sqlite3_bind_double(ins, c + 1, std::strtod(v.c_str(), nullptr));
            else
                sqlite3_bind_text(ins, c + 1, v.c_str(), static_cast<int>(v.size()), SQLITE_STATIC);
        }
        sqlite3_step(ins);
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    sqlite3_exec(d->db, "COMMIT", nullptr, nullptr, nullptr);
    std::remove((d->dir + "/t.db").c_str());
    sqlite3_exec(d->db, ("VACUUM INTO '" + d->dir + "/t.db'").c_str(), nullptr, nullptr, nullptr);
    // Warm the page cache.
    std::system(("cat " + InDir("") + "* > /dev/null").c_str());
    return d;
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

long PeakRssMb() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss / 1024;
}

// ---------------------------------------------------------------------------
// Sort

// A sort of the model, and SQLite's ORDER BY of the same order: the grid puts
// NULL numbers last when ascending, first when descending.
struct SortCase {
    const char* name;
    std::vector<int> cols, dirs;
    const char* orderBy;
    const char* sortKeys;
};

const SortCase kSorts[] = {
    {"int", {0}, {1}, "id", "-k1,1n"},
    {"decimal_nulls", {1}, {1}, "amount NULLS LAST", "-k2,2g"},
    {"text", {3}, {1}, "name", "-k4,4"},
    {"text_decimal_desc", {3, 1}, {1, -1}, "name, amount DESC NULLS FIRST", "-k4,4 -k2,2gr"},
};

// The sort keys' texts of the rows in an order (source row indices): the
// result of a sort, the same whatever order rows of equal keys take.
std::string KeyDigest(Data* d, const SortCase* c, const std::vector<int>& order) {
    BenchDigest digest;
    for (int idx : order)
        for (int col : c->cols) {
            size_t k = static_cast<size_t>(col), i = static_cast<size_t>(idx);
            digest.Add(d->nulls[k][i] ? std::string_view("\x01null") : std::string_view(d->utf8[k][i]));
            digest.Add("\t");
        }
    return digest.Text();
}

void BM_Sort(benchmark::State& state, const SortCase* c) {
    Data* d = Build();
    BenchModel& m = d->model;
    double undoTime = 0, redoTime = 0;
    uint64_t undoBytes = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        m.Sort(c->cols.data(), c->dirs.data(), static_cast<int>(c->cols.size()));
        auto t1 = std::chrono::steady_clock::now();
        undoBytes = 0;
        for (UndoRecord* r = m.GetUndoBuffer()->TopStep(); r; r = r->next)
            undoBytes += r->capacity + sizeof(UndoRecord);
        m.Undo();
        auto t2 = std::chrono::steady_clock::now();
        m.Redo();
        auto t3 = std::chrono::steady_clock::now();
        m.Undo();
        state.SetIterationTime(Seconds(t0, t1));
        undoTime += Seconds(t1, t2);
        redoTime += Seconds(t2, t3);
    }
    m.Sort(c->cols.data(), c->dirs.data(), static_cast<int>(c->cols.size()));
    std::vector<int> order;
    for (int r = 0; r < m.GetRowCount(); ++r) order.push_back(m.Row(r)->id);
    m.Undo();
    BenchResult(KeyDigest(d, c, order));
    state.counters["undo_ms"] = undoTime * 1000 / static_cast<double>(state.iterations());
    state.counters["redo_ms"] = redoTime * 1000 / static_cast<double>(state.iterations());
    state.counters["undo_bytes_per_row"] = static_cast<double>(undoBytes) / d->rows;
    state.counters["peak_rss_mb"] = static_cast<double>(PeakRssMb());
}

void BM_SortSqlite(benchmark::State& state, const SortCase* c) {
    Data* d = Build();
    std::string sql = std::string("SELECT rowid FROM t ORDER BY ") + c->orderBy;
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(d->db, sql.c_str(), -1, &st, nullptr);
        int64_t sum = 0;
        while (sqlite3_step(st) == SQLITE_ROW) sum += sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(sum);
    }
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(d->db, sql.c_str(), -1, &st, nullptr);
    std::vector<int> order;
    while (sqlite3_step(st) == SQLITE_ROW) order.push_back(static_cast<int>(sqlite3_column_int64(st, 0) - 1));
    sqlite3_finalize(st);
    BenchResult(KeyDigest(d, c, order));
}

// A command of the shell as a reference, and how its result is read after
// the timed runs: none; the count a grep wrote to a file, as rows; whether
// that count found any match; the digest of a file it wrote.
struct ShellCommand {
    enum Result { kNone, kRows, kAnyMatch, kFile } result;
    std::string command, file;
};

// A count a grep left in a file, -1 when there is none.
long ReadCount(const std::string& file) {
    FILE* f = std::fopen(file.c_str(), "r");
    long n = -1;
    if (f && std::fscanf(f, "%ld", &n) != 1) n = -1;
    if (f) std::fclose(f);
    return n;
}

std::string Rows(long n) {
    return std::to_string(n) + " rows";
}

std::string AnyMatch(bool any) {
    return any ? "a match" : "no match";
}

void BM_Shell(benchmark::State& state, ShellCommand cmd) {
    Build();
    for (auto _ : state)
        if (std::system(cmd.command.c_str()) != 0) state.SkipWithError("command failed");
    long n =
        cmd.result == ShellCommand::kRows || cmd.result == ShellCommand::kAnyMatch ? ReadCount(cmd.file) : 0;
    if (cmd.result == ShellCommand::kRows) BenchResult(n < 0 ? "no count" : Rows(n));
    if (cmd.result == ShellCommand::kAnyMatch) BenchResult(n < 0 ? "no count" : AnyMatch(n > 0));
    if (cmd.result == ShellCommand::kFile) {
        BenchResult(BenchFileDigest(cmd.file));
        std::remove(cmd.file.c_str());
    }
}

// ---------------------------------------------------------------------------
// Filter

struct FilterCase {
    const char* name;
    int col;
    const char16_t* pattern;
    int matchCase, matchWidth, isRegex;
    const char* grepFlags; // null: no grep reference
    const char* needle;    // UTF-8 for grep and instr
};

const FilterCase kFilters[] = {
    {"ascii_none", 3, u"qqqq", 1, 1, 0, "-F", "qqqq"},
    {"ascii_1pct", 3, u"item42", 1, 1, 0, "-F", "item42"},
    {"ascii_all", 3, u"item", 1, 1, 0, "-F", "item"},
    {"japanese_none", 4, u"ぬぬぬ", 1, 1, 0, "-F", "ぬぬぬ"},
    {"japanese_1pct", 4, u"さくら40", 1, 1, 0, "-F", "さくら40"},
    {"japanese_all", 4, u"です", 1, 1, 0, "-F", "です"},
    {"nocase_none", 3, u"QQQQ", 0, 1, 0, "-F -i", "qqqq"},
    {"nocase_1pct", 3, u"ITEM42", 0, 1, 0, "-F -i", "item42"},
    {"nocase_all", 3, u"ITEM", 0, 1, 0, "-F -i", "item"},
    {"nocase_width_none", 3, u"ＱＱＱＱ", 0, 0, 0, nullptr, nullptr},
    {"nocase_width_1pct", 3, u"ＩＴＥＭ４２", 0, 0, 0, nullptr, nullptr},
    {"nocase_width_all", 3, u"ＩＴＥＭ", 0, 0, 0, nullptr, nullptr},
    {"regex_none", 3, u"[0-9]{4}-[0-9]{2}", 1, 1, 1, "-E", nullptr},
    {"regex_1pct", 6, u"[0-9]{4}-[0-9]{2}", 1, 1, 1, "-E", nullptr},
    {"regex_all", 7, u"[0-9]{4}-[0-9]{2}", 1, 1, 1, "-E", nullptr},
};

// grep counts the matching lines into a file: with its output on /dev/null
// grep stops at the first match, which would leave most of the text unread.
ShellCommand GrepCommand(const FilterCase* f) {
    std::string pattern = f->needle ? f->needle : "[0-9]{4}-[0-9]{2}";
    return {ShellCommand::kRows,
            std::string("LC_ALL=C grep -c ") + f->grepFlags + " -e '" + pattern + "' " +
                InDir("col" + std::to_string(f->col) + ".txt") + " > " + InDir("grep.count") +
                "; [ $? -le 1 ]",
            g_dir + "/grep.count"};
}

int64_t SqliteCount(Data* d, int col, const char* needle) {
    static const char* names[kCols] = {"id",   "amount", "big",  "name", "kana",
                                       "word", "code",   "date", "ch10", "note"};
    std::string sql = std::string("SELECT count(*) FROM t WHERE instr(") + names[col] + ", ?) > 0";
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(d->db, sql.c_str(), -1, &st, nullptr);
    sqlite3_bind_text(st, 1, needle, -1, SQLITE_STATIC);
    int64_t n = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : -1;
    sqlite3_finalize(st);
    return n;
}

void BM_Filter(benchmark::State& state, const FilterCase* f) {
    Data* d = Build();
    BenchModel& m = d->model;
    int count = 0;
    for (auto _ : state) {
        CString err;
        m.SetFilter(f->col, f->pattern, f->matchCase, f->matchWidth, f->isRegex, &count, &err, 0);
        state.PauseTiming();
        m.ClearFilter();
        m.Undo();
        m.Undo();
        state.ResumeTiming();
    }
    state.counters["rows"] = count;
    BenchResult(Rows(count));
}

void BM_FilterSqlite(benchmark::State& state, const FilterCase* f) {
    Data* d = Build();
    int64_t count = 0;
    for (auto _ : state) benchmark::DoNotOptimize(count = SqliteCount(d, f->col, f->needle));
    BenchResult(Rows(static_cast<long>(count)));
}

// ---------------------------------------------------------------------------
// Find

void BM_Find(benchmark::State& state, bool regex) {
    Data* d = Build();
    BenchModel& m = d->model;
    Regex* re = regex ? regex_compile(u"[0-9]{4}-[0-9]{3}x", 0) : regex_compile_literal(u"qqqqzz", 0);
    int found = 0;
    for (auto _ : state) {
        POINT out;
        int wrapped = 0;
        benchmark::DoNotOptimize(found = m.FindCell(POINT{0, 0}, &out, 1, 1, &wrapped, 1, 0, re));
    }
    regex_free(&re);
    BenchResult(AnyMatch(found != 0));
}

void BM_FindSqlite(benchmark::State& state) {
    Data* d = Build();
    const char* sql = "SELECT count(*) FROM t WHERE instr(id,?1)>0 OR instr(amount,?1)>0 OR instr(big,?1)>0 "
                      "OR instr(name,?1)>0 "
                      "OR instr(kana,?1)>0 OR instr(word,?1)>0 OR instr(code,?1)>0 OR instr(date,?1)>0 OR "
                      "instr(ch10,?1)>0 OR "
                      "instr(note,?1)>0";
    int64_t count = -1;
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(d->db, sql, -1, &st, nullptr);
        sqlite3_bind_text(st, 1, "qqqqzz", -1, SQLITE_STATIC);
        count = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : -1;
        benchmark::DoNotOptimize(count);
        sqlite3_finalize(st);
    }
    BenchResult(count < 0 ? "no count" : AnyMatch(count > 0));
}

// ---------------------------------------------------------------------------
// Export

void BM_Export(benchmark::State& state, CharCode code) {
    Data* d = Build();
    std::string path = d->dir + "/export.csv";
    std::u16string wpath(path.begin(), path.end());
    for (auto _ : state) {
        CString err;
        if (!d->model.ExportToFile(wpath.c_str(), code, LINE_END_CRLF, 0, 1, 1, &err))
            state.SkipWithError("export");
    }
    BenchResult(BenchFileDigest(path));
    std::remove(path.c_str());
}

// The export's reference: the sqlite3 shell writing the same CSV from the
// stored values (every value quoted, quotes doubled, a NULL as nothing, the
// quoted names in the first line, CR LF; the numbers as the grid shows
// them) into the file named, through the command given when there is one.
ShellCommand ExportCommand(const std::string& file, const std::string& pipe) {
    static const char* names[kCols] = {"id",   "amount", "big",  "name", "kana",
                                       "word", "code",   "date", "ch10", "note"};
    // Inside the shell's single quotes: '' is ' '\'' ' and so on, kept apart.
    const std::string q = "'\\''";       // a single quote of the SQL
    const std::string dq = q + "\"" + q; // the SQL literal '"'
    std::string select = "SELECT ";
    for (int c = 0; c < kCols; ++c) {
        std::string n = names[c];
        std::string value = c == 0   ? "CAST(id AS INTEGER)"
                            : c == 1 ? "printf(" + q + "%.2f" + q + ", amount)"
                                     : "replace(" + n + ", " + dq + ", " + q + "\"\"" + q + ")";
        select += std::string(c ? ", " : "") + "CASE WHEN " + n + " IS NULL THEN " + q + q + " ELSE " + dq +
                  " || " + value + " || " + dq + " END AS \"\"\"" + n + "\"\"\"";
    }
    select += " FROM t";
    return {ShellCommand::kFile,
            "sqlite3 -batch -list -header -cmd '.separator , \"\\r\\n\"' " + InDir("t.db") + " '" + select +
                "'" + (pipe.empty() ? "" : " | " + pipe) + " > " + InDir(file),
            g_dir + "/" + file};
}

void Register() {
    for (const SortCase& c : kSorts) {
        std::string n = c.name;
        benchmark::RegisterBenchmark(("Sort/" + n + "/grid").c_str(), BM_Sort, &c)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Sort/" + n + "/sqlite").c_str(), BM_SortSqlite, &c)
            ->Unit(benchmark::kMillisecond);
        ShellCommand cmd{ShellCommand::kNone,
                         std::string("LC_ALL=C sort --parallel=1 -s -t \"$(printf '\\t')\" ") + c.sortKeys +
                             " " + InDir("all.tsv") + " > /dev/null",
                         ""};
        benchmark::RegisterBenchmark(("Sort/" + n + "/gnu_sort").c_str(), BM_Shell, cmd)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    for (const FilterCase& f : kFilters) {
        std::string n = f.name;
        benchmark::RegisterBenchmark(("Filter/" + n + "/grid").c_str(), BM_Filter, &f)
            ->Unit(benchmark::kMillisecond);
        if (f.needle)
            benchmark::RegisterBenchmark(("Filter/" + n + "/sqlite").c_str(), BM_FilterSqlite, &f)
                ->Unit(benchmark::kMillisecond);
        if (f.grepFlags) {
            benchmark::RegisterBenchmark(("Filter/" + n + "/grep").c_str(), BM_Shell, GrepCommand(&f))
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    benchmark::RegisterBenchmark("Find/literal/grid", BM_Find, false)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Find/regex/grid", BM_Find, true)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Find/literal/sqlite", BM_FindSqlite)->Unit(benchmark::kMillisecond);
    // Into a file, as the filters' grep: on /dev/null grep stops at a first
    // match. No pattern of the finds spans a tab, so a line of the table
    // matches when one of its cells does.
    for (const char* kind : {"literal", "regex"}) {
        bool regex = kind[0] == 'r';
        benchmark::RegisterBenchmark(("Find/" + std::string(kind) + "/grep").c_str(), BM_Shell,
                                     ShellCommand{ShellCommand::kAnyMatch,
                                                  std::string("LC_ALL=C grep -c ") +
                                                      (regex ? "-E '[0-9]{4}-[0-9]{3}x'" : "-F qqqqzz") +
                                                      " " + InDir("all.tsv") + " > " + InDir("grep.count") +
                                                      "; [ $? -le 1 ]",
                                                  g_dir + "/grep.count"})
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    benchmark::RegisterBenchmark("Export/utf8/grid", BM_Export, CHARCODE_UTF8_NOSIG)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Export/sjis/grid", BM_Export, CHARCODE_SJIS)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Export/utf16le/grid", BM_Export, CHARCODE_UNICODE_NOSIG)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Export/utf8/sqlite3_shell", BM_Shell, ExportCommand("ref.csv", ""))
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("Export/sjis/sqlite3_shell_iconv", BM_Shell,
                                 ExportCommand("ref_sjis.csv", "iconv -f UTF-8 -t CP932"))
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

// The summary's figures: every sort against SQLite's ORDER BY (no slower),
// every filter with a grep reference within 2x of it; the finds within 2x
// of grep's scan of the table's text and no slower than SQLite's instr over
// every column; the exports no slower than the sqlite3 shell (through iconv
// for Shift_JIS) writing the same bytes.
std::vector<BenchPair> Pairs() {
    std::vector<BenchPair> pairs;
    for (const SortCase& c : kSorts) {
        std::string n = c.name;
        pairs.push_back({"model sort " + n + ", against SQLite's ORDER BY", "Sort/" + n + "/grid",
                         "Sort/" + n + "/sqlite", 1});
    }
    for (const FilterCase& f : kFilters) {
        std::string n = f.name;
        if (f.grepFlags)
            pairs.push_back({"model filter " + n + ", against grep", "Filter/" + n + "/grid",
                             "Filter/" + n + "/grep", 2});
    }
    pairs.push_back(
        {"model find of a missing literal, against grep -F", "Find/literal/grid", "Find/literal/grep", 2});
    pairs.push_back({"model find of a missing literal, against SQLite's instr", "Find/literal/grid",
                     "Find/literal/sqlite", 1});
    pairs.push_back(
        {"model find of a missing regex, against grep -E", "Find/regex/grid", "Find/regex/grep", 2});
    pairs.push_back(
        {"model export utf8, against the sqlite3 shell", "Export/utf8/grid", "Export/utf8/sqlite3_shell", 1});
    pairs.push_back({"model export sjis, against the sqlite3 shell | iconv", "Export/sjis/grid",
                     "Export/sjis/sqlite3_shell_iconv", 1});
    return pairs;
}

} // namespace

int main(int argc, char** argv) {
    if (!MakeDir()) {
        std::fprintf(stderr, "grid_models: no folder of its own in the temporary directory\n");
        return 1;
    }
    Register();
    int rc = BenchPairsMain(argc, argv, Pairs());
    RemoveDir();
    return rc;
}
