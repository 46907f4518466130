// Rows per second reading all of DEMO.BIG_TABLE through OCIStmtFetch2 with
// string defines, against a raw sqlite3_step loop over the same file.
#include "oci_client.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <string>
#include <vector>
#include "bench/common/bench_summary.h"

namespace {

const int kColumns = 5;
const int kSizes[kColumns] = {14, 121, 16, 32, 601}; // the layer's buffer sizes for these types

struct Api {
    pfn_OCIEnvCreate envCreate;
    pfn_OCIHandleAlloc handleAlloc;
    pfn_OCIHandleFree handleFree;
    pfn_OCIServerAttach attach;
    pfn_OCIAttrSet attrSet;
    pfn_OCIAttrGet attrGet;
    pfn_OCISessionBegin begin;
    pfn_OCISessionEnd end;
    pfn_OCIStmtPrepare prepare;
    pfn_OCIStmtExecute execute;
    pfn_OCIDefineByPos define;
    pfn_OCIStmtFetch2 fetch2;
};

template <class T> void resolve(void* m, const char* name, T& out) {
    out = reinterpret_cast<T>(dlsym(m, name));
}

// Rows the statement has fetched so far.
long rowCount(Api& a, OCIStmt* st, OCIError* err) {
    ub4 n = 0, size = 0;
    return a.attrGet(st, OCI_HTYPE_STMT, &n, &size, OCI_ATTR_ROW_COUNT, err) == 0 ? long(n) : -1;
}

// What a read of the table gave: its rows, and the digest of their IDs in
// order (the same rows in both character sets, where the other columns'
// bytes differ).
std::string fetchResult(long rows, const BenchDigest& ids) {
    return std::to_string(rows) + " rows, IDs " + ids.Text();
}

// One read of the table; with ids, a run that checks (its time does not
// count): each fetch's rows are hashed, their IDs into ids.
double ociRun(Api& a, ub4 perFetch, long& rows, BenchDigest* ids = nullptr) {
    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCIServer* srv = nullptr;
    OCISvcCtx* svc = nullptr;
    OCISession* ses = nullptr;
    OCIStmt* st = nullptr;
    a.envCreate(&env, OCI_THREADED, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    a.handleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
    a.handleAlloc(env, reinterpret_cast<void**>(&srv), OCI_HTYPE_SERVER, 0, nullptr);
    a.handleAlloc(env, reinterpret_cast<void**>(&svc), OCI_HTYPE_SVCCTX, 0, nullptr);
    a.handleAlloc(env, reinterpret_cast<void**>(&ses), OCI_HTYPE_SESSION, 0, nullptr);
    a.attach(srv, err, reinterpret_cast<const OraText*>("DEMO"), 4, 0);
    a.attrSet(svc, OCI_HTYPE_SVCCTX, srv, 0, OCI_ATTR_SERVER, err);
    a.attrSet(ses, OCI_HTYPE_SESSION, const_cast<char*>("demo"), 4, OCI_ATTR_USERNAME, err);
    a.attrSet(ses, OCI_HTYPE_SESSION, const_cast<char*>("demo"), 4, OCI_ATTR_PASSWORD, err);
    if (a.begin(svc, err, ses, OCI_CRED_RDBMS, 0) != 0) {
        std::fprintf(stderr, "logon failed\n");
        std::exit(1);
    }
    a.attrSet(svc, OCI_HTYPE_SVCCTX, ses, 0, OCI_ATTR_SESSION, err);
    a.handleAlloc(env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    const char* sql = "SELECT ROWID, A.* FROM \"DEMO\".\"BIG_TABLE\" A";
    auto t0 = std::chrono::steady_clock::now();
    a.prepare(st, err, reinterpret_cast<const OraText*>(sql), ub4(std::strlen(sql)), 1, 0);
    a.execute(svc, st, err, 0, 0, nullptr, nullptr, 0);
    std::vector<std::vector<char>> bufs;
    std::vector<std::vector<sb2>> inds;
    std::vector<std::vector<ub2>> lens, codes;
    const int sizes[6] = {24, kSizes[0], kSizes[1], kSizes[2], kSizes[3], kSizes[4]};
    for (int c = 0; c < 6; ++c) {
        bufs.emplace_back(size_t(sizes[c]) * perFetch);
        inds.emplace_back(perFetch);
        lens.emplace_back(perFetch);
        codes.emplace_back(perFetch);
        OCIDefine* d = nullptr;
        a.define(st, &d, err, ub4(c + 1), bufs[size_t(c)].data(), sizes[c], SQLT_STR, inds[size_t(c)].data(),
                 lens[size_t(c)].data(), codes[size_t(c)].data(), 0);
    }
    long before = 0;
    for (;;) {
        sword r = a.fetch2(st, err, perFetch, OCI_FETCH_NEXT, 0, 0);
        if (r != 0 && r != 1 && r != 100) break;
        if (ids) {
            long now = rowCount(a, st, err);
            for (long i = 0; i < now - before; ++i) {
                const char* id = bufs[1].data() + size_t(i) * size_t(sizes[1]);
                ids->Add(inds[1][size_t(i)] == -1 ? std::string_view() : std::string_view(id));
                ids->Add("\n");
            }
            before = now;
        }
        if (r == 100) break;
    }
    // The statement's count of rows fetched, as the layer reads it.
    rows = rowCount(a, st, err);
    auto t1 = std::chrono::steady_clock::now();
    a.handleFree(st, OCI_HTYPE_STMT);
    a.end(svc, err, ses, 0);
    a.handleFree(env, OCI_HTYPE_ENV);
    return std::chrono::duration<double>(t1 - t0).count();
}

double rawRun(const std::string& dir, long& rows, BenchDigest* ids = nullptr) {
    sqlite3* db = nullptr;
    sqlite3_open_v2((dir + "/catalog.db").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    // The DEMO schema file, attached under the owner's name as the library does.
    sqlite3_stmt* q = nullptr;
    sqlite3_prepare_v2(db, "SELECT user_id FROM users WHERE username = 'DEMO'", -1, &q, nullptr);
    std::string file =
        sqlite3_step(q) == SQLITE_ROW ? dir + "/u" + std::to_string(sqlite3_column_int(q, 0)) + ".db" : "";
    sqlite3_finalize(q);
    sqlite3_exec(db, ("ATTACH DATABASE '" + file + "' AS \"DEMO\"").c_str(), nullptr, nullptr, nullptr);
    auto t0 = std::chrono::steady_clock::now();
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT rowid, * FROM \"DEMO\".\"BIG_TABLE\"", -1, &st, nullptr) != SQLITE_OK)
        std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
    const int sizes[6] = {24, kSizes[0], kSizes[1], kSizes[2], kSizes[3], kSizes[4]};
    std::vector<std::vector<char>> bufs;
    for (int c = 0; c < 6; ++c) bufs.emplace_back(size_t(sizes[c]));
    rows = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < 6; ++c) {
            const unsigned char* t = sqlite3_column_text(st, c);
            int n = sqlite3_column_bytes(st, c);
            if (!t) continue;
            size_t k = std::min<size_t>(size_t(n), size_t(sizes[c] - 1));
            std::memcpy(bufs[size_t(c)].data(), t, k);
            bufs[size_t(c)][k] = '\0';
        }
        if (ids) {
            ids->Add(sqlite3_column_type(st, 1) == SQLITE_NULL ? std::string_view()
                                                               : std::string_view(bufs[1].data()));
            ids->Add("\n");
        }
        ++rows;
    }
    sqlite3_finalize(st);
    auto t1 = std::chrono::steady_clock::now();
    sqlite3_close(db);
    return std::chrono::duration<double>(t1 - t0).count();
}

} // namespace

// Arguments: [repeats] (default 1; each figure is then the median of that many
// runs, the cases interleaved so that load on the machine falls on all alike)
// and optionally a client character set and rows per fetch to run only that
// case, for profiling.
int main(int argc, char** argv) {
    int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    const char* onlyLang = argc > 3 ? argv[2] : nullptr;
    ub4 onlyRows = argc > 3 ? ub4(std::atoi(argv[3])) : 0;
    char tmpl[] = "/tmp/oci-bench-XXXXXX";
    std::string home = mkdtemp(tmpl);
    std::filesystem::create_directories(home + "/tns");
    FILE* f = std::fopen((home + "/tns/services.conf").c_str(), "w");
    std::fputs("DEMO = demo\n", f);
    std::fclose(f);
    setenv("TNS_ADMIN", (home + "/tns").c_str(), 1);
    void* m = dlopen((std::string(OCI_LIBRARY_DIR) + "/liboci.so").c_str(), RTLD_NOW);
    if (!m) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    Api a{};
    resolve(m, "OCIEnvCreate", a.envCreate);
    resolve(m, "OCIHandleAlloc", a.handleAlloc);
    resolve(m, "OCIHandleFree", a.handleFree);
    resolve(m, "OCIServerAttach", a.attach);
    resolve(m, "OCIAttrSet", a.attrSet);
    resolve(m, "OCIAttrGet", a.attrGet);
    resolve(m, "OCISessionBegin", a.begin);
    resolve(m, "OCISessionEnd", a.end);
    resolve(m, "OCIStmtPrepare", a.prepare);
    resolve(m, "OCIStmtExecute", a.execute);
    resolve(m, "OCIDefineByPos", a.define);
    resolve(m, "OCIStmtFetch2", a.fetch2);
    long rows = 0;
    setenv("NLS_LANG", "JAPANESE_JAPAN.AL32UTF8", 1);
    ociRun(a, 100, rows); // builds the demo database
    struct Case {
        const char* lang;
        ub4 perFetch;
        std::vector<double> times;
        long rows = 0;
    };
    std::vector<Case> cases;
    for (const char* lang : {"JAPANESE_JAPAN.AL32UTF8", "JAPANESE_JAPAN.JA16SJISTILDE"})
        for (ub4 n : {100u, 400u})
            if (!onlyLang || (std::strstr(lang, onlyLang) && n == onlyRows)) cases.push_back({lang, n, {}});
    std::vector<double> raws;
    long rawRows = 0;
    for (int k = 0; k < repeats; ++k) {
        if (!onlyLang) raws.push_back(rawRun(home + "/tns/demo", rawRows));
        for (Case& c : cases) {
            setenv("NLS_LANG", c.lang, 1);
            c.times.push_back(ociRun(a, c.perFetch, c.rows));
        }
    }
    auto median = [](std::vector<double> v) {
        if (v.empty()) return 0.0;
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    };
    double raw = median(raws);
    // What each read gave, from runs of their own after the timed ones.
    std::string rawResult;
    if (!onlyLang) {
        std::printf("%-34s %10ld rows %8.3f s %12.0f rows/s\n", "raw sqlite3_step", rawRows, raw,
                    rawRows / raw);
        BenchDigest ids;
        long n = 0;
        rawRun(home + "/tns/demo", n, &ids);
        rawResult = fetchResult(n, ids);
    }
    bool agree = true;
    for (Case& c : cases) {
        double t = median(c.times);
        char label[80];
        std::snprintf(label, sizeof label, "OCIStmtFetch2 %s x%u", std::strchr(c.lang, '.') + 1, c.perFetch);
        if (onlyLang)
            std::printf("%-34s %10ld rows %8.3f s %12.0f rows/s\n", label, c.rows, t, c.rows / t);
        else {
            std::printf("%-34s %10ld rows %8.3f s %12.0f rows/s  %.2fx raw\n", label, c.rows, t, c.rows / t,
                        t / raw);
            // Within 1.1x of the raw loop over the same file, reading the same rows.
            setenv("NLS_LANG", c.lang, 1);
            BenchDigest ids;
            long n = 0;
            ociRun(a, c.perFetch, n, &ids);
            const std::string ours = fetchResult(n, ids);
            agree &= ours == rawResult;
            BenchSummary(std::string(label) + ", against a raw sqlite3_step loop", t, raw, "s", 1.1,
                         {ours, rawResult});
        }
    }
    dlclose(m);
    std::filesystem::remove_all(home);
    return agree ? 0 : 1;
}
