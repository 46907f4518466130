// SQL text of any kind through the client stand-in's public calls, as the
// Oracle layer makes them: OCIStmtPrepare, OCIStmtExecute and, for a query,
// a few rows fetched as text, on a scratch copy of the DEMO database logged
// on as DEMO, its dates and timestamps shown in the stored form's order.
// Checks: every failure comes back as an Oracle error, its code and
// "ORA-nnnnn: ..." text from OCIErrorGet and its parse offset inside the
// text; a DATE, timestamp or NUMBER fetched is one in range; after a
// rollback a second session sees every table as it was, so nothing was
// committed. Statements that commit by themselves in Oracle (DDL, COMMIT,
// ALTER SESSION, blocks) are only described, never run.
// An input that begins with byte 1 is a value instead: the next byte picks a
// column of ALL_TYPES, the rest is bound to it as text. Accepted, it reads
// back in range, the text shown writes again and reads back the same, and
// compares equal to the value stored.
#include <unistd.h>

#include <cctype>
#include <cmath>
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
std::remove_pointer_t<pfn_OCIBindByName> OCIBindByName;
std::remove_pointer_t<pfn_OCIParamGet> OCIParamGet;
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
    // Runs sql with :X0 bound to value (none when null): the status, and
    // when a row comes, its first column's text (nullopt for NULL).
    sword run(const std::string& sql, const std::string* value, std::string* first = nullptr,
              bool* null = nullptr) {
        OCIStmt* stmt = nullptr;
        OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
        sword rc = OCIStmtPrepare(stmt, err, reinterpret_cast<const OraText*>(sql.data()), ub4(sql.size()),
                                  OCI_NTV_SYNTAX, 0);
        std::string bound = value ? *value : std::string();
        sb2 bindInd = bound.empty() ? -1 : 0;
        OCIBind* bind = nullptr;
        if (rc == OCI_SUCCESS && value)
            rc = OCIBindByName(stmt, &bind, err, reinterpret_cast<const OraText*>(":X0"), 3, bound.data(),
                               sb4(bound.size() + 1), SQLT_STR, &bindInd, nullptr, nullptr, 0, nullptr, 0);
        const bool query = first != nullptr;
        if (rc == OCI_SUCCESS) rc = OCIStmtExecute(svc, stmt, err, query ? 0 : 1, 0, nullptr, nullptr, 0);
        if (rc == OCI_SUCCESS && query) {
            char out[4096] = {};
            sb2 ind = 0;
            OCIDefine* def = nullptr;
            OCIDefineByPos(stmt, &def, err, 1, out, sizeof out, SQLT_STR, &ind, nullptr, nullptr,
                           OCI_DEFAULT);
            rc = OCIStmtFetch(stmt, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
            *first = out;
            if (null) *null = ind == -1;
        }
        OCIHandleFree(stmt, OCI_HTYPE_STMT);
        return rc;
    }
};

// "dddd-dd-dd dd:dd:dd" and a valid date (the year from 1 to 9999), then
// for a timestamp a fraction and, with a zone, " +hh:mm" from -12:00 to +14:00.
bool DateInRange(const std::string& s, bool fraction, bool zone) {
    auto digits = [&](size_t at, size_t n, int& v) {
        v = 0;
        if (at + n > s.size()) return false;
        for (size_t k = at; k < at + n; ++k) {
            if (s[k] < '0' || s[k] > '9') return false;
            v = v * 10 + (s[k] - '0');
        }
        return true;
    };
    int y, mo, d, h, mi, se;
    if (s.size() < 19 || !digits(0, 4, y) || s[4] != '-' || !digits(5, 2, mo) || s[7] != '-' ||
        !digits(8, 2, d) || s[10] != ' ' || !digits(11, 2, h) || s[13] != ':' || !digits(14, 2, mi) ||
        s[16] != ':' || !digits(17, 2, se))
        return false;
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (y < 1 || mo < 1 || mo > 12 || d < 1 || d > days[mo - 1] || (mo == 2 && d == 29 && !leap) || h > 23 ||
        mi > 59 || se > 59)
        return false;
    size_t p = 19;
    if (fraction) {
        if (p >= s.size() || s[p] != '.') return false;
        ++p;
        while (p < s.size() && s[p] >= '0' && s[p] <= '9') ++p;
    }
    if (zone) {
        int zh, zm;
        if (s.size() != p + 7 || s[p] != ' ' || (s[p + 1] != '+' && s[p + 1] != '-') ||
            !digits(p + 2, 2, zh) || s[p + 4] != ':' || !digits(p + 5, 2, zm) || zm > 59)
            return false;
        int minutes = (s[p + 1] == '-' ? -1 : 1) * (zh * 60 + zm);
        return minutes >= -12 * 60 && minutes <= 14 * 60;
    }
    return p == s.size();
}

// "+D HH:MI:SS.FFFFFF": a difference of timestamps (which the stand-in
// describes as NUMBER), its fields in range.
bool IntervalText(const std::string& s) {
    int h = 0, m = 0, sec = 0, n = 0;
    long long days = 0;
    char sign = 0;
    return std::sscanf(s.c_str(), "%c%lld %2d:%2d:%2d.%*6d%n", &sign, &days, &h, &m, &sec, &n) == 5 &&
           size_t(n) == s.size() && (sign == '+' || sign == '-') && days >= 0 && h < 24 && m < 60 &&
           sec < 60 && h >= 0 && m >= 0 && sec >= 0;
}

// A number as Oracle shows it: finite and below 1E126 in magnitude.
bool NumberInRange(const std::string& s) {
    if (s.empty()) return false;
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size() && std::isfinite(v) && std::fabs(v) < 1e126;
}

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
        // Dates and timestamps shown in the stored form's order, in full.
        for (const char* sql :
             {"alter session set NLS_DATE_FORMAT = 'YYYY-MM-DD HH24:MI:SS'",
              "alter session set NLS_TIMESTAMP_FORMAT = 'YYYY-MM-DD HH24:MI:SS.FF'",
              "alter session set NLS_TIMESTAMP_TZ_FORMAT = 'YYYY-MM-DD HH24:MI:SS.FF TZH:TZM'",
              "alter session set TIME_ZONE = '+09:00'"}) {
            const std::string text = sql;
            ok = ok && work.run(text, nullptr) == OCI_SUCCESS;
        }
        if (ok) before = Snapshot(watch);
    }
};

Fixture& TheFixture() {
    static Fixture* f = new Fixture; // lives to the end of the process
    return *f;
}

// The last call's error record: an Oracle code and its "ORA-" text.
void CheckErrorRecord(Session& s) {
    sb4 code = 0;
    OraText text[2048] = {};
    fuzz_check(OCIErrorGet(s.err, 1, nullptr, &code, text, sizeof text, OCI_HTYPE_ERROR) == OCI_SUCCESS &&
                   code > 0 && std::strncmp(reinterpret_cast<const char*>(text), "ORA-", 4) == 0,
               "a refused value gives an Oracle error");
}

int LastCode(Session& s) {
    sb4 code = 0;
    OraText text[2048] = {};
    OCIErrorGet(s.err, 1, nullptr, &code, text, sizeof text, OCI_HTYPE_ERROR);
    return code;
}

// A value bound as text into a column of ALL_TYPES (a new row, rolled back).
void CheckValue(Session& s, unsigned pick, std::string value) {
    // A WITH LOCAL TIME ZONE value compared with text compares its stored form
    // (a limit of the stand-in): it is not compared here.
    enum Kind { Text, Number, Double, Date, Stamp, StampLocal, StampZone, Other };
    static const std::pair<const char*, Kind> columns[] = {
        {"C_VARCHAR2", Text},     {"C_VARCHAR2_CHAR", Text},     {"C_CHAR", Other},
        {"C_NUMBER", Number},     {"C_NUMBER_P", Number},        {"C_INTEGER", Number},
        {"C_FLOAT", Number},      {"C_BINARY_DOUBLE", Double},   {"C_DATE", Date},
        {"C_TIMESTAMP", Stamp},   {"C_TIMESTAMP_TZ", StampZone}, {"C_TIMESTAMP_LTZ", StampLocal},
        {"C_INTERVAL_YM", Other}, {"C_INTERVAL_DS", Other},      {"C_RAW", Other}};
    const char* const column = columns[pick % std::size(columns)].first;
    const Kind kind = columns[pick % std::size(columns)].second;
    value = value.substr(0, value.find('\0')); // a bound string ends at its terminator
    const std::string col = column;
    if (s.run("insert into ALL_TYPES (ID, " + col + ") values (9999, :X0)", &value) != OCI_SUCCESS) {
        CheckErrorRecord(s);
        return;
    }
    const std::string select = "select " + col + " from ALL_TYPES where ID = 9999";
    std::string shown;
    bool null = false;
    auto check = [&](bool ok, const char* what) {
        if (!ok) std::fprintf(stderr, "%s: '%s' shown as '%s'\n", column, value.c_str(), shown.c_str());
        fuzz_check(ok, what);
    };
    check(s.run(select, nullptr, &shown, &null) == OCI_SUCCESS, "the row written reads");
    check(null == value.empty(), "an empty text is NULL, any other a value");
    if (null) return;
    switch (kind) {
    case Text: check(shown == value, "a text reads back as written"); break;
    case Number: check(NumberInRange(shown), "an accepted number is in range"); break;
    case Double:
        check(std::isfinite(std::strtod(shown.c_str(), nullptr)), "an accepted number is finite");
        break;
    case Date: check(DateInRange(shown, false, false), "an accepted date is in range"); break;
    case Stamp:
    case StampLocal: check(DateInRange(shown, true, false), "an accepted timestamp is in range"); break;
    case StampZone: check(DateInRange(shown, true, true), "an accepted timestamp is in range"); break;
    case Other: break;
    }
    if (kind == Date) {
        // It computes without leaving the range (a step past its ends is 1841).
        std::string next;
        sword rc = s.run("select " + col + " + 1 from ALL_TYPES where ID = 9999", nullptr, &next);
        check((rc == OCI_SUCCESS && DateInRange(next, false, false)) ||
                  (rc == OCI_ERROR && LastCode(s) == 1841),
              "an accepted date computes");
    }
    if (kind == Number || kind == Date || kind == Stamp) {
        std::string count;
        check(s.run("select count(*) from ALL_TYPES where ID = 9999 and " + col + " = :X0", &shown, &count) ==
                      OCI_SUCCESS &&
                  count == "1",
              "the value shown compares equal to the value stored");
    }
    // The text shown is a value of the column, the same again.
    check(s.run("update ALL_TYPES set " + col + " = :X0 where ID = 9999", &shown) == OCI_SUCCESS,
          "the value shown writes");
    std::string again;
    check(s.run(select, nullptr, &again) == OCI_SUCCESS && again == shown,
          "the value shown reads back as itself");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4000) return 0;
    Fixture& f = TheFixture();
    fuzz_check(f.ok, "DEMO/demo@DEMO logs on");
    Session& s = f.work;
    if (size >= 2 && data[0] == 1) {
        CheckValue(s, data[1], std::string(reinterpret_cast<const char*>(data) + 2, size - 2));
        OCITransRollback(s.svc, s.err, OCI_DEFAULT);
        fuzz_check(Snapshot(f.watch) == f.before, "nothing was committed");
        return 0;
    }
    const std::string sql(reinterpret_cast<const char*>(data), size);
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
            std::vector<ub2> types(columns);
            for (ub4 i = 0; i < columns; ++i) {
                void* param = nullptr;
                if (OCIParamGet(stmt, OCI_HTYPE_STMT, s.err, &param, i + 1) == OCI_SUCCESS)
                    OCIAttrGet(param, OCI_DTYPE_PARAM, &types[i], nullptr, OCI_ATTR_DATA_TYPE, s.err);
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
                for (ub4 i = 0; i < columns; ++i) {
                    fuzz_check(std::memchr(values[i].data(), 0, values[i].size()) != nullptr,
                               "a fetched text is terminated within its buffer");
                    if (rc != OCI_SUCCESS || inds[i] != 0) continue;
                    // Dates, timestamps and numbers fetched are values in range.
                    const std::string v = values[i].data();
                    const ub2 t = types[i];
                    if (t == SQLT_DAT) fuzz_check(DateInRange(v, false, false), "a fetched DATE is a date");
                    if (t == SQLT_TIMESTAMP || t == SQLT_TIMESTAMP_LTZ)
                        fuzz_check(DateInRange(v, true, false), "a fetched TIMESTAMP is a timestamp");
                    if (t == SQLT_TIMESTAMP_TZ)
                        fuzz_check(DateInRange(v, true, true), "a fetched TIMESTAMP WITH TIME ZONE is one");
                    if (t == SQLT_NUM)
                        fuzz_check(NumberInRange(v) || IntervalText(v),
                                   "a fetched NUMBER is a number in range");
                }
            }
        }
    }
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    OCITransRollback(s.svc, s.err, OCI_DEFAULT);
    fuzz_check(Snapshot(f.watch) == f.before, "nothing was committed");
    return 0;
}

std::string fuzz_generate(std::mt19937_64& rng) {
    if (rng() % 3 == 0) {
        // A value for a column of ALL_TYPES.
        static const char* const pieces[] = {
            "2020", "-",      "01",     "12",  "31",   "29",   " ",
            ":",    "59",     "60",     "24",  "0000", "9999", ".",
            "5",    "+09:00", "-12:00", "1e5", "0.1",  "e",    "123456789012345",
            "9",    "+",      "AM",     "あ",  "ff"};
        std::string s = "\x01";
        s += char(rng() % 15);
        for (size_t n = rng() % 12; n > 0; --n) s += pieces[rng() % std::size(pieces)];
        return s;
    }
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
