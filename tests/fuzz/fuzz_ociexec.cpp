// SQL text of any kind through the client stand-in's public calls, as the
// Oracle layer makes them: OCIStmtPrepare, OCIStmtExecute and, for a query,
// a few rows fetched as text, on a scratch copy of the DEMO database logged
// on as DEMO. Checks: every failure comes back as an Oracle error, its code
// and "ORA-nnnnn: ..." text from OCIErrorGet and its parse offset inside the
// text; after a rollback a second session sees every table as it was, so
// nothing was committed. Statements that commit by themselves in Oracle
// (DDL, COMMIT, ALTER SESSION, blocks) are only described, never run.
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <type_traits>
#include <vector>

#include "fuzz.h"
#include "fuzz_sql.h"
#include "oci_client.h"

extern "C" {
std::remove_pointer_t<pfn_OCIEnvCreate> OCIEnvCreate;
std::remove_pointer_t<pfn_OCIHandleAlloc> OCIHandleAlloc;
std::remove_pointer_t<pfn_OCIHandleFree> OCIHandleFree;
std::remove_pointer_t<pfn_OCIServerAttach> OCIServerAttach;
std::remove_pointer_t<pfn_OCISessionBegin> OCISessionBegin;
std::remove_pointer_t<pfn_OCIAttrSet> OCIAttrSet;
std::remove_pointer_t<pfn_OCIAttrGet> OCIAttrGet;
std::remove_pointer_t<pfn_OCIErrorGet> OCIErrorGet;
std::remove_pointer_t<pfn_OCIStmtPrepare> OCIStmtPrepare;
std::remove_pointer_t<pfn_OCIStmtExecute> OCIStmtExecute;
std::remove_pointer_t<pfn_OCIDefineByPos> OCIDefineByPos;
std::remove_pointer_t<pfn_OCIStmtFetch> OCIStmtFetch;
std::remove_pointer_t<pfn_OCITransRollback> OCITransRollback;
}

namespace {

struct Session {
    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCIServer* srv = nullptr;
    OCISvcCtx* svc = nullptr;
    OCISession* ses = nullptr;

    bool logon() {
        if (OCIEnvCreate(&env, OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr, 0, nullptr) !=
            0)
            return false;
        OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
        OCIHandleAlloc(env, reinterpret_cast<void**>(&srv), OCI_HTYPE_SERVER, 0, nullptr);
        OCIHandleAlloc(env, reinterpret_cast<void**>(&svc), OCI_HTYPE_SVCCTX, 0, nullptr);
        OCIHandleAlloc(env, reinterpret_cast<void**>(&ses), OCI_HTYPE_SESSION, 0, nullptr);
        static const char service[] = "DEMO", user[] = "DEMO", password[] = "demo";
        if (OCIServerAttach(srv, err, reinterpret_cast<const OraText*>(service), 4, 0) != 0) return false;
        OCIAttrSet(svc, OCI_HTYPE_SVCCTX, srv, 0, OCI_ATTR_SERVER, err);
        OCIAttrSet(ses, OCI_HTYPE_SESSION, const_cast<char*>(user), 4, OCI_ATTR_USERNAME, err);
        OCIAttrSet(ses, OCI_HTYPE_SESSION, const_cast<char*>(password), 4, OCI_ATTR_PASSWORD, err);
        if (OCISessionBegin(svc, err, ses, OCI_CRED_RDBMS, OCI_DEFAULT) != 0) return false;
        OCIAttrSet(svc, OCI_HTYPE_SVCCTX, ses, 0, OCI_ATTR_SESSION, err);
        return true;
    }
};

// The first word of the statement, lower case, after blanks, comments and "(".
std::string FirstWord(const std::string& sql) {
    size_t i = 0;
    for (;;) {
        while (i < sql.size() && (std::isspace(static_cast<unsigned char>(sql[i])) || sql[i] == '(')) ++i;
        if (sql.compare(i, 2, "--") == 0) {
            i = sql.find('\n', i);
            if (i == std::string::npos) return "";
        } else if (sql.compare(i, 2, "/*") == 0) {
            i = sql.find("*/", i + 2);
            if (i == std::string::npos) return "";
            i += 2;
        } else {
            break;
        }
    }
    std::string w;
    while (i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i])))
        w += static_cast<char>(std::tolower(static_cast<unsigned char>(sql[i++])));
    return w;
}

bool CommitsByItself(const std::string& word) {
    static const char* const words[] = {"create",    "drop",    "alter",   "truncate", "rename",
                                        "grant",     "revoke",  "comment", "commit",   "analyze",
                                        "audit",     "purge",   "begin",   "declare",  "call",
                                        "flashback", "noaudit", "exec",    "execute"};
    for (const char* w : words)
        if (word == w) return true;
    return false;
}

// An Oracle error as OCIErrorGet gives it: a code, and text beginning "ORA-<code>".
void CheckError(Session& s, const std::string& sql, OCIStmt* stmt) {
    sb4 code = 0;
    OraText text[2048] = {};
    sword got = OCIErrorGet(s.err, 1, nullptr, &code, text, sizeof text, OCI_HTYPE_ERROR);
    fuzz_check(got == OCI_SUCCESS, "a failed call leaves an error record");
    fuzz_check(code > 0, "the error has an Oracle code");
    char head[16];
    std::snprintf(head, sizeof head, "ORA-%05d", static_cast<int>(code));
    fuzz_check(std::strncmp(reinterpret_cast<const char*>(text), head, std::strlen(head)) == 0,
               "the error text begins with its ORA- code");
    ub2 offset = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &offset, nullptr, OCI_ATTR_PARSE_ERROR_OFFSET, s.err);
    fuzz_check(offset <= sql.size(), "the parse error offset lies inside the text");
}

const char* const kTables[] = {"社員",      "顧客",          "売上",      "受注明細",        "ALL_TYPES",
                               "LONG_DATA", "LONG_RAW_DATA", "BIG_TABLE", "UNSUPPORTED_TYPE"};

// What the second session sees: the row count of every table.
std::string Snapshot(Session& s) {
    std::string out;
    OCIStmt* stmt = nullptr;
    OCIHandleAlloc(s.env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    for (const char* t : kTables) {
        std::string sql = std::string("select count(*) from \"") + t + "\"";
        OCIStmtPrepare(stmt, s.err, reinterpret_cast<const OraText*>(sql.data()), ub4(sql.size()),
                       OCI_NTV_SYNTAX, 0);
        char value[64] = {};
        sb2 ind = 0;
        OCIDefine* def = nullptr;
        if (OCIStmtExecute(s.svc, stmt, s.err, 0, 0, nullptr, nullptr, OCI_DEFAULT) != OCI_SUCCESS ||
            OCIDefineByPos(stmt, &def, s.err, 1, value, sizeof value, SQLT_STR, &ind, nullptr, nullptr,
                           OCI_DEFAULT) != OCI_SUCCESS ||
            OCIStmtFetch(stmt, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT) != OCI_SUCCESS)
            std::snprintf(value, sizeof value, "<error>");
        out += std::string(t) + "=" + value + ";";
    }
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return out;
}

struct Fixture {
    Session work, watch;
    std::string before;
    bool ok = false;

    Fixture() {
        // A scratch data directory: the stand-in makes DEMO there on first use.
        char tmpl[] = "/tmp/tavrelix-fuzz-oci-XXXXXX";
        if (!mkdtemp(tmpl)) return;
        static std::string scratch = tmpl;
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(scratch, ec);
        });
        setenv("XDG_DATA_HOME", tmpl, 1);
        unsetenv("TNS_ADMIN");
        setenv("NLS_LANG", "JAPANESE_JAPAN.AL32UTF8", 1);
        unsetenv("NLS_NCHAR");
        ok = work.logon() && watch.logon();
        if (ok) before = Snapshot(watch);
    }
};

Fixture& TheFixture() {
    static Fixture* f = new Fixture; // lives to the end of the process
    return *f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4000) return 0;
    Fixture& f = TheFixture();
    fuzz_check(f.ok, "DEMO/demo@DEMO logs on");
    const std::string sql(reinterpret_cast<const char*>(data), size);
    Session& s = f.work;
    OCIStmt* stmt = nullptr;
    OCIHandleAlloc(s.env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    sword rc = OCIStmtPrepare(stmt, s.err, reinterpret_cast<const OraText*>(sql.data()), ub4(sql.size()),
                              OCI_NTV_SYNTAX, 0);
    if (rc == OCI_ERROR) {
        CheckError(s, sql, stmt);
    } else {
        fuzz_check(rc == OCI_SUCCESS, "OCIStmtPrepare succeeds or gives an Oracle error");
        const std::string word = FirstWord(sql);
        const bool query = word == "select" || word == "with";
        const ub4 mode = CommitsByItself(word) ? OCI_DESCRIBE_ONLY : OCI_DEFAULT;
        rc = OCIStmtExecute(s.svc, stmt, s.err, query || mode == OCI_DESCRIBE_ONLY ? 0 : 1, 0, nullptr,
                            nullptr, mode);
        fuzz_check(rc == OCI_SUCCESS || rc == OCI_SUCCESS_WITH_INFO || rc == OCI_ERROR || rc == OCI_NO_DATA,
                   "OCIStmtExecute returns an Oracle status");
        if (rc == OCI_ERROR || rc == OCI_SUCCESS_WITH_INFO) CheckError(s, sql, stmt);
        ub4 columns = 0;
        OCIAttrGet(stmt, OCI_HTYPE_STMT, &columns, nullptr, OCI_ATTR_PARAM_COUNT, s.err);
        if (query && mode == OCI_DEFAULT && rc == OCI_SUCCESS && columns > 0 && columns < 64) {
            std::vector<std::vector<char>> values(columns, std::vector<char>(256));
            std::vector<sb2> inds(columns);
            for (ub4 i = 0; i < columns; ++i) {
                OCIDefine* def = nullptr;
                OCIDefineByPos(stmt, &def, s.err, i + 1, values[i].data(), sb4(values[i].size()), SQLT_STR,
                               &inds[i], nullptr, nullptr, OCI_DEFAULT);
            }
            for (int row = 0; row < 8; ++row) {
                rc = OCIStmtFetch(stmt, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
                if (rc == OCI_NO_DATA) break;
                if (rc == OCI_ERROR) {
                    CheckError(s, sql, stmt);
                    break;
                }
                for (ub4 i = 0; i < columns; ++i)
                    fuzz_check(std::memchr(values[i].data(), 0, values[i].size()) != nullptr,
                               "a fetched text is terminated within its buffer");
            }
        }
    }
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    OCITransRollback(s.svc, s.err, OCI_DEFAULT);
    fuzz_check(Snapshot(f.watch) == f.before, "nothing was committed");
    return 0;
}

std::string fuzz_generate(std::mt19937_64& rng) {
    return fuzz_sql_generate(rng,
                             {"社員 ",
                              "顧客 ",
                              "売上 ",
                              "BIG_TABLE ",
                              "ALL_TYPES ",
                              "社員番号 ",
                              "1001 ",
                              "count(*) ",
                              "氏名 ",
                              "\"社員\" ",
                              "demo.",
                              "rollback ",
                              "lock table ",
                              "in exclusive mode ",
                              "with ",
                              "as ",
                              "merge into ",
                              "truncate table ",
                              "alter session set ",
                              "nls_date_format ",
                              "begin ",
                              "end; "},
                             24);
}
const uint64_t fuzz_default_count = 300;
