// Rows per second of a grid save on the client stand-in, on a worker with a
// progress window, against sqlite3 running the same statements on a copy of
// the schema's file: (a) NAME changed in every row of a 10,000-row table;
// (b) 10,000 inserted rows; all four non-key columns changed, against the
// four UPDATE statements the save runs. The stand-in runs its non-blocking
// calls as the program has it by default, on its worker while the caller
// polls; the same saves with the calls run inline are figures of their own.
// Each save also prints the messages it sent to the progress window.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "grid/oragrid.h"
#include "oracle/oci_exec.h"
#include "bench/common/bench_summary.h"

namespace fs = std::filesystem;

namespace {

const int kRows = 10000;
std::string g_home;
OraSession* g_s = nullptr;

using ControlFn = int (*)(const char*, char*, unsigned);
ControlFn g_control = nullptr;

void control(const char* command) {
    char reply[256];
    if (g_control(command, reply, sizeof reply) != 0) std::fprintf(stderr, "%s: %s\n", command, reply);
}

void exec(const char16_t* sql) {
    CString msg;
    if (oci_exec_sql(g_s, sql, &msg) != ORARC_OK) {
        std::fprintf(stderr, "%s: %s\n", WideToUtf8(sql).c_str(), WideToUtf8(msg.GetString()).c_str());
        std::exit(1);
    }
}

// The save's progress window: answers the WPM_* messages on this thread and
// counts the ones sent (all but WPM_FINISHED) and, of them, the steps and
// the reads of the cancel state.
int g_finished = -1;
int g_sent = 0, g_steps = 0, g_states = 0;
LRESULT ProgressProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WPM_FINISHED) {
        g_finished = static_cast<int>(w);
        return 1;
    }
    if (m > WPM_FINISHED && m <= WPM_SETVALUE) {
        ++g_sent;
        g_steps += m == WPM_STEPIT;
        g_states += m == WPM_GETSTATE;
        return 0;
    }
    return DefWindowProcW(h, m, w, l);
}

double saveOnWorker(CEditableOraGridData* grid) {
    static HWND wnd = [] {
        WNDCLASSW wc{};
        wc.lpszClassName = u"BenchProgress";
        wc.lpfnWndProc = ProgressProc;
        RegisterClassW(&wc);
        return CreateWindowExW(0, u"BenchProgress", u"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    }();
    CancelState cancel{0};
    CString msg;
    int cell[2];
    SaveThreadParams p;
    p.grid = grid;
    p.session = g_s;
    p.failCell = cell;
    p.message = &msg;
    p.cancel = &cancel;
    g_finished = -1;
    g_sent = g_steps = g_states = 0;
    auto t0 = std::chrono::steady_clock::now();
    HANDLE t =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, SaveThreadProc, &p, CREATE_SUSPENDED, nullptr));
    p.window = wnd;
    ResumeThread(t);
    MSG m;
    while (g_finished < 0 && GetMessageW(&m, nullptr, 0, 0)) DispatchMessageW(&m);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    auto t1 = std::chrono::steady_clock::now();
    if (p.result != ORARC_OK) {
        std::fprintf(stderr, "save failed: %s\n", WideToUtf8(msg.GetString()).c_str());
        std::exit(1);
    }
    return std::chrono::duration<double>(t1 - t0).count();
}

// The DEMO schema's file name in the database directory ("u<id>.db").
std::string schemaFileName(const std::string& dir) {
    sqlite3* db = nullptr;
    sqlite3_open_v2((dir + "/catalog.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* q = nullptr;
    sqlite3_prepare_v2(db, "SELECT user_id FROM users WHERE username = 'DEMO'", -1, &q, nullptr);
    std::string file;
    if (sqlite3_step(q) == SQLITE_ROW) {
        file = std::to_string(sqlite3_column_int(q, 0));
        file.insert(0, 1, 'u');
        file += ".db";
    }
    sqlite3_finalize(q);
    sqlite3_close(db);
    return file;
}

// A copy of the catalogue and the DEMO schema, write-ahead logs included, taken
// while the stand-in's session is idle: the database as the save will find it.
std::string copyDatabase() {
    std::string dir = g_home + "/tns/demo", copy = g_home + "/copy";
    std::error_code ec;
    fs::remove_all(copy, ec);
    fs::create_directories(copy);
    std::string schema = schemaFileName(dir);
    for (const std::string& base : {std::string("catalog.db"), schema})
        for (const char* suffix : {"", "-wal"})
            if (fs::exists(dir + "/" + base + suffix))
                fs::copy_file(dir + "/" + base + suffix, copy + "/" + base + suffix,
                              fs::copy_options::overwrite_existing);
    return copy;
}

struct Ref {
    std::vector<std::string> values[5];
    bool byRowid = false; // the rows' SQLite row ids bound last, in ID order
};

// A statement of the reference and the value columns it binds, in order.
struct Statement {
    const char* sql;
    std::vector<int> columns;
};

// The same statements, each prepared once and run for every row, in one
// transaction, on the copy: its catalogue opened and the schema attached
// under the owner's name, as the library does.
double reference(const std::string& copy, const std::vector<Statement>& statements, const Ref& ref) {
    sqlite3* db = nullptr;
    sqlite3_open_v2((copy + "/catalog.db").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    std::string attach = "ATTACH DATABASE '" + copy + "/" + schemaFileName(copy) + "' AS \"DEMO\"";
    if (sqlite3_exec(db, attach.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
    // The row ids the grid's row id texts stand for, read before the clock starts.
    std::vector<long long> rowids;
    if (ref.byRowid) {
        sqlite3_stmt* q = nullptr;
        sqlite3_prepare_v2(db, "SELECT rowid FROM \"DEMO\".\"GS\" ORDER BY \"ID\"", -1, &q, nullptr);
        while (sqlite3_step(q) == SQLITE_ROW) rowids.push_back(sqlite3_column_int64(q, 0));
        sqlite3_finalize(q);
    }
    auto t0 = std::chrono::steady_clock::now();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    size_t n = ref.values[statements.front().columns.front()].size();
    long long changed = 0;
    for (const Statement& statement : statements) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, statement.sql, -1, &st, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
            std::exit(1);
        }
        int binds = static_cast<int>(statement.columns.size());
        for (size_t i = 0; i < n; ++i) {
            sqlite3_reset(st);
            for (int b = 0; b < binds; ++b) {
                const std::string& v = ref.values[statement.columns[static_cast<size_t>(b)]][i];
                if (v.empty())
                    sqlite3_bind_null(st, b + 1);
                else
                    sqlite3_bind_text(st, b + 1, v.c_str(), int(v.size()), SQLITE_STATIC);
            }
            if (ref.byRowid) sqlite3_bind_int64(st, binds + 1, i < rowids.size() ? rowids[i] : -1);
            if (sqlite3_step(st) != SQLITE_DONE) {
                std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
                std::exit(1);
            }
            changed += sqlite3_changes(db);
        }
        sqlite3_finalize(st);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    auto t1 = std::chrono::steady_clock::now();
    sqlite3_close(db);
    long long want = static_cast<long long>(n * statements.size());
    if (changed != want) {
        std::fprintf(stderr, "sqlite3 changed %lld rows of %lld\n", changed, want);
        std::exit(1);
    }
    return std::chrono::duration<double>(t1 - t0).count();
}

// What a table of the database in dir holds after a save: its rows and the
// digest of every value (as SQLite quotes it: type and text) in ID order.
std::string tableResult(const std::string& dir) {
    sqlite3* db = nullptr;
    sqlite3_open_v2((dir + "/catalog.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    std::string attach = "ATTACH DATABASE 'file:" + dir + "/" + schemaFileName(dir) + "?mode=ro' AS \"DEMO\"";
    sqlite3_stmt* q = nullptr;
    std::string result = "no table";
    if (sqlite3_exec(db, attach.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db,
                           "SELECT quote(\"ID\"), quote(\"NAME\"), quote(\"AMOUNT\"), quote(\"CREATED\"), "
                           "quote(\"NOTE\") FROM \"DEMO\".\"GS\" ORDER BY \"ID\"",
                           -1, &q, nullptr) == SQLITE_OK) {
        BenchDigest d;
        long rows = 0;
        while (sqlite3_step(q) == SQLITE_ROW) {
            for (int c = 0; c < 5; ++c) {
                d.Add(reinterpret_cast<const char*>(sqlite3_column_text(q, c)));
                d.Add("\t");
            }
            ++rows;
        }
        result = std::to_string(rows) + " rows, " + d.Text();
    }
    sqlite3_finalize(q);
    sqlite3_close(db);
    return result;
}

OraDataset* query() {
    auto* ds = new OraDataset{};
    CString msg;
    if (oci_sel_dataset(g_s, ds,
                        u"select a.\"ID\", a.\"NAME\", a.\"AMOUNT\", a.\"CREATED\", a.\"NOTE\", rowid \n"
                        u"from \"DEMO\".\"GS\" a \norder by a.\"ID\"",
                        100, &msg, "") != ORARC_OK) {
        std::fprintf(stderr, "%s\n", WideToUtf8(msg.GetString()).c_str());
        std::exit(1);
    }
    return ds;
}

void freeDataset(OraDataset* ds) {
    oci_free_dataset(ds);
    delete ds;
}

void fillTable() {
    exec(u"delete from gs");
    exec(u"insert into gs select * from big_table where id <= 10000");
    exec(u"commit");
}

// Every figure is held to within 2x of sqlite3 running the same statements,
// both leaving the same table (the program's database against the copy).
bool g_failed = false;
void report(const char* label, double t, double ref, const std::string& copy) {
    std::printf("%-40s %8.3f s %10.0f rows/s   sqlite3 %8.3f s %10.0f rows/s   ratio %.2f   "
                "%d sends (%d steps, %d cancel state reads)\n",
                label, t, kRows / t, ref, kRows / ref, t / ref, g_sent, g_steps, g_states);
    const BenchResults results{tableResult(g_home + "/tns/demo"), tableResult(copy)};
    g_failed |= results.ours != results.reference;
    BenchSummary(std::string("grid save ") + label + ", against sqlite3", t, ref, "s", 2, results);
}

// (a), or with all set all four non-key columns.
void updates(const char* label, bool all) {
    fillTable();
    OraDataset* ds = query();
    CEditableOraGridData grid;
    grid.SetDataset(g_s, ds, u"DEMO", u"GS", 0, 1);
    Ref ref;
    ref.byRowid = true;
    for (int r = 0; r < grid.GetRowCount(); ++r) {
        std::u16string name = u"改名" + Utf8ToWide(std::to_string(r).c_str());
        grid.SetTextWithUndo(r, 1, name.c_str(), -1);
        ref.values[1].push_back(WideToUtf8(name.c_str()));
        if (all) {
            grid.SetTextWithUndo(r, 2, u"12.5", -1);
            grid.SetTextWithUndo(r, 3, u"2024-01-02 03:04:05", -1);
            grid.SetTextWithUndo(r, 4, u"備考", -1);
            ref.values[2].push_back("12.5");
            ref.values[3].push_back("2024-01-02 03:04:05");
            ref.values[4].push_back("備考");
        }
    }
    std::string copy = copyDatabase();
    double t = saveOnWorker(&grid);
    // The save's update phase: one statement a changed column, in column order.
    std::vector<Statement> statements = {{"UPDATE \"DEMO\".\"GS\" SET \"NAME\" = ?1 WHERE rowid = ?2", {1}}};
    if (all) {
        statements.push_back({"UPDATE \"DEMO\".\"GS\" SET \"AMOUNT\" = ?1 WHERE rowid = ?2", {2}});
        statements.push_back({"UPDATE \"DEMO\".\"GS\" SET \"CREATED\" = ?1 WHERE rowid = ?2", {3}});
        statements.push_back({"UPDATE \"DEMO\".\"GS\" SET \"NOTE\" = ?1 WHERE rowid = ?2", {4}});
    }
    double rt = reference(copy, statements, ref);
    report(label, t, rt, copy);
    freeDataset(ds);
}

// (b)
void inserts(const char* label) {
    exec(u"delete from gs");
    exec(u"commit");
    OraDataset* ds = query();
    CEditableOraGridData grid;
    grid.SetDataset(g_s, ds, u"DEMO", u"GS", 0, 1);
    grid.InsertRows(-1, kRows);
    Ref ref;
    for (int r = 0; r < kRows; ++r) {
        std::string id = std::to_string(r + 1), name = "名前" + id,
                    amount = std::to_string((r * 37) % 100000) + ".25";
        std::string created = "2021-03-04 05:06:07", note = r % 2 ? "備考の行" + id : "";
        const std::string* v[5] = {&id, &name, &amount, &created, &note};
        for (int c = 0; c < 5; ++c) {
            grid.SetTextWithUndo(r, c, Utf8ToWide(v[c]->c_str()).c_str(), -1);
            ref.values[c].push_back(*v[c]);
        }
    }
    std::string copy = copyDatabase();
    double t = saveOnWorker(&grid);
    double rt =
        reference(copy, {{"INSERT INTO \"DEMO\".\"GS\" VALUES (?1, ?2, ?3, ?4, ?5)", {0, 1, 2, 3, 4}}}, ref);
    report(label, t, rt, copy);
    freeDataset(ds);
}

} // namespace

int main(int argc, char** argv) {
    // Cases by name (a, b, all, inline), every case when none is named.
    auto run = [&](const char* name) {
        if (argc < 2) return true;
        for (int i = 1; i < argc; ++i)
            if (std::strcmp(argv[i], name) == 0) return true;
        return false;
    };
    char tmpl[] = "/tmp/grid-save-bench-XXXXXX";
    g_home = mkdtemp(tmpl);
    fs::create_directories(g_home + "/tns");
    FILE* f = std::fopen((g_home + "/tns/services.conf").c_str(), "w");
    std::fputs("DEMO = demo\n", f);
    std::fclose(f);
    setenv("TNS_ADMIN", (g_home + "/tns").c_str(), 1);
    setenv("NLS_LANG", "JAPANESE_JAPAN.AL32UTF8", 1);
    SetDllDirectoryW(Utf8ToWide(OCI_LIBRARY_DIR).c_str());
    CString msg;
    if (oci_load_library(&msg) != ORARC_OK) {
        std::fprintf(stderr, "%s\n", WideToUtf8(msg.GetString()).c_str());
        return 1;
    }
    g_control = reinterpret_cast<ControlFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(g_oci_module, "oci_standin_control")));
    int warning = 0;
    if (oci_login2(&g_s, u"demo", u"demo", u"DEMO", nullptr, 0, &msg, &warning) != ORARC_OK) {
        std::fprintf(stderr, "%s\n", WideToUtf8(msg.GetString()).c_str());
        return 1;
    }
    g_session = g_s;
    exec(u"create table gs (ID number(10) primary key, NAME varchar2(40), AMOUNT number(12,2), CREATED date, "
         u"NOTE varchar2(200))");
    // The program's own path: the stand-in's non-blocking calls on its
    // worker, polled (its default, set here all the same).
    control("nonblocking async");
    if (run("a")) updates("(a) NAME of 10,000 rows", false);
    if (run("b")) inserts("(b) 10,000 inserted rows");
    if (run("all")) updates("all four columns of 10,000 rows", true);
    control("nonblocking inline");
    if (run("inline")) {
        updates("(a) with the calls inline", false);
        inserts("(b) with the calls inline");
    }
    oci_ora_logout(&g_s);
    std::error_code ec;
    fs::remove_all(g_home, ec);
    return g_failed ? 1 : 0;
}
