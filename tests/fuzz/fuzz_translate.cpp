// SQL text of any kind through the client stand-in's translator with a fixed
// catalogue: either SQLite SQL whose offsets map back into the original
// text and which SQLite's compiler accepts or refuses (without a crash), or
// an Oracle error at an offset inside the original text. A query that
// SQLite also runs as written, in the part of the language where the two
// dialects mean the same, gives the same rows translated (with the
// stand-in's functions) as SQLite gives for it, on the same tables.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "fuzz.h"
#include "fuzz_sql.h"
#include "platform/oci/testing/sqlite_accepts.h"
#include "platform/oci/testing/sqlite_rows.h"
#include "platform/oci/translate.h"

namespace {

// Two tables and a view of SCOTT, a table of SYSTEM.
struct FixedResolver : oci::Resolver {
    bool findTable(const std::string& owner, const std::string& name, oci::TableRef& out) override {
        std::string o = owner.empty() ? "SCOTT" : owner;
        if (o == "SCOTT" && (name == "EMP" || name == "DEPT" || name == "V_EMP")) {
            out = oci::tableRef(o, name, name == "V_EMP");
            out.rowidColumn = name == "V_EMP" ? "" : "rowid";
            out.objectId = name == "EMP" ? 100 : name == "DEPT" ? 101 : 102;
            out.schemaId = 5;
            return true;
        }
        if (o == "SYSTEM" && name == "T") {
            out = oci::tableRef(o, name, false);
            out.rowidColumn = "rowid";
            out.objectId = 200;
            return true;
        }
        return false;
    }
    bool columns(const oci::TableRef& t, std::vector<oci::TableColumn>& out) override {
        out.clear();
        if (t.name == "EMP" || t.name == "V_EMP") {
            out = {{"EMPNO", "NUMBER(4)", true},
                   {"ENAME", "VARCHAR2(10)", false},
                   {"DEPTNO", "NUMBER(2)", false},
                   {"HIREDATE", "DATE", false}};
        } else if (t.name == "DEPT") {
            out = {{"DEPTNO", "NUMBER(2)", true}, {"DNAME", "VARCHAR2(14)", false}};
        } else {
            out = {{"A", "VARCHAR2(4000)", false}, {"B", "CLOB", false}};
        }
        return true;
    }
    int checkFor(const oci::TableRef&, const oci::TableColumn&, bool) override { return checks++; }
    bool userExists(const std::string& name) override { return name == "SCOTT" || name == "SYSTEM"; }
    int checks = 0;
};

// The resolver's tables with rows (no NULLs, no empty texts), and DUAL.
const char kTables[] = R"(
ATTACH ':memory:' AS "SCOTT"; ATTACH ':memory:' AS "SYSTEM";
CREATE TABLE "SCOTT"."EMP" ("EMPNO" NUMBER(4), "ENAME" VARCHAR2(10), "DEPTNO" NUMBER(2), "HIREDATE" DATE);
INSERT INTO "SCOTT"."EMP" VALUES (7369, 'SMITH', 20, '1980-12-17 00:00:00'), (7499, 'ALLEN', 30,
  '1981-02-20 00:00:00'), (7521, 'WARD', 30, '1981-02-22 00:00:00'), (7566, 'JONES', 20,
  '1981-04-02 00:00:00'), (7839, 'KING', 10, '1981-11-17 00:00:00');
CREATE TABLE "SCOTT"."DEPT" ("DEPTNO" NUMBER(2), "DNAME" VARCHAR2(14));
INSERT INTO "SCOTT"."DEPT" VALUES (10, 'ACCOUNTING'), (20, 'RESEARCH'), (30, 'SALES'), (40, 'OPERATIONS');
CREATE VIEW "SCOTT"."V_EMP" AS SELECT * FROM "EMP";
CREATE TABLE "SYSTEM"."T" ("A" VARCHAR2(4000), "B" CLOB);
INSERT INTO "SYSTEM"."T" VALUES ('x', 'text of b'), ('y', 'more text');
CREATE TABLE "DUAL" ("DUMMY" VARCHAR2(1)); INSERT INTO "DUAL" VALUES ('X');
)";

// Whether the query, as written, means in SQLite what it means in Oracle, so
// that both must give the same rows. Left out: what the dialects read
// differently: division (integers), || and empty texts (NULL in Oracle),
// texts that read as numbers or end in a blank (Oracle converts and pads),
// numbers run into letters (0x10, 1d), LIKE's case, ROWID, dates and the
// functions of the same name and other semantics, LIMIT and windows (the
// rows they pick follow NULL ordering), and SQLite's own operators.
bool SameInBoth(const std::string& sql) {
    static const char* const words[] = {
        "like",     "substr",  "rowid",    "round",  "upper",     "lower",     "initcap", "trim",  "ltrim",
        "rtrim",    "replace", "lpad",     "rpad",   "to_char",   "to_number", "to_date", "nvl",   "decode",
        "sysdate",  "rownum",  "hiredate", "cast",   "random",    "limit",     "offset",  "fetch", "over",
        "glob",     "regexp",  "match",    "date",   "timestamp", "interval",  "escape",  "mod",   "trunc",
        "user",     "length",  "instr",    "printf", "format",    "char",      "unicode", "hex",   "quote",
        "zeroblob", "likely",  "unlikely", "iif",    "collate"};
    for (size_t i = 0; i < sql.size();) {
        const unsigned char c = static_cast<unsigned char>(sql[i]);
        if (sql.compare(i, 2, "--") == 0) {
            size_t e = sql.find('\n', i);
            i = e == std::string::npos ? sql.size() : e;
        } else if (sql.compare(i, 2, "/*") == 0) {
            size_t e = sql.find("*/", i + 2);
            if (e == std::string::npos) return false;
            i = e + 2;
        } else if (c == '\'') {
            std::string text;
            size_t k = i + 1;
            for (;; ++k) {
                if (k >= sql.size()) return false;
                if (sql[k] == '\'' && k + 1 < sql.size() && sql[k + 1] == '\'') {
                    text += '\'';
                    ++k;
                } else if (sql[k] == '\'') {
                    break;
                } else {
                    text += sql[k];
                }
            }
            if (text.empty() || text.back() == ' ' || text.front() == ' ') return false;
            char* end = nullptr;
            std::strtod(text.c_str(), &end);
            if (end != text.c_str()) return false; // begins like a number
            i = k + 1;
        } else if (c == '"') {
            size_t e = sql.find('"', i + 1);
            if (e == std::string::npos) return false;
            i = e + 1;
        } else if (std::isdigit(c) ||
                   (c == '.' && i + 1 < sql.size() && std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
            size_t k = i;
            while (k < sql.size() && (std::isdigit(static_cast<unsigned char>(sql[k])) || sql[k] == '.')) ++k;
            if (k < sql.size() && (sql[k] == 'e' || sql[k] == 'E')) {
                ++k;
                if (k < sql.size() && (sql[k] == '+' || sql[k] == '-')) ++k;
                if (k >= sql.size() || !std::isdigit(static_cast<unsigned char>(sql[k]))) return false;
                while (k < sql.size() && std::isdigit(static_cast<unsigned char>(sql[k]))) ++k;
            }
            if (k < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[k])) || sql[k] == '_'))
                return false;
            i = k;
        } else if (std::isalpha(c) || c == '_' || c >= 0x80) {
            std::string w;
            while (i < sql.size() &&
                   (std::isalnum(static_cast<unsigned char>(sql[i])) || sql[i] == '_' || sql[i] == '$' ||
                    sql[i] == '#' || static_cast<unsigned char>(sql[i]) >= 0x80))
                w += static_cast<char>(std::tolower(static_cast<unsigned char>(sql[i++])));
            for (const char* bad : words)
                if (w == bad) return false;
        } else {
            if (c == '/' || c == '|' || c == '%' || c == '&' || c == '~' || c == '[' || c == '`' ||
                c == '?' || c == '@' || c == '$' || c == '#' ||
                (c == '<' && i + 1 < sql.size() && sql[i + 1] == '<') ||
                (c == '>' && i + 1 < sql.size() && sql[i + 1] == '>'))
                return false;
            ++i;
        }
    }
    return true;
}

// The translated query run with the stand-in's functions, against the query
// as written run by SQLite: where both run to their end, the same rows.
void CompareWithSqlite(const std::string& sql, const oci::Translation& t) {
    if (t.kind != oci::Kind::Select || !t.dictionaryViews.empty() || t.forUpdate || !SameInBoth(sql)) return;
    std::vector<std::string> ours, theirs;
    std::string why;
    if (oci::testing::sqlite_rows(kTables, t.sql, true, t.hiddenRowid ? 1 : 0, ours, &why) != 1) return;
    if (oci::testing::sqlite_rows(kTables, sql, false, 0, theirs) != 1) return;
    std::sort(ours.begin(), ours.end());
    std::sort(theirs.begin(), theirs.end());
    if (ours != theirs) {
        std::fprintf(stderr, "query: %s\ntranslated: %s\n", sql.c_str(), t.sql.c_str());
        for (size_t k = 0; k < std::max(ours.size(), theirs.size()) && k < 8; ++k)
            std::fprintf(stderr, "  ours %-30s sqlite %s\n", k < ours.size() ? ours[k].c_str() : "-",
                         k < theirs.size() ? theirs[k].c_str() : "-");
    }
    fuzz_check(ours == theirs, "a translated query gives the rows SQLite gives for it");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 20000) return 0;
    std::string sql(reinterpret_cast<const char*>(data), size);
    FixedResolver resolver;
    oci::Translation t;
    bool ok = oci::translate(sql, resolver, "SCOTT", t);
    int length = static_cast<int>(sql.size());
    if (!ok) {
        fuzz_check(t.errorCode > 0, "a failed translation names an Oracle error");
        fuzz_check(t.errorOffset >= 0 && t.errorOffset <= length, "error offset outside the text");
        return 0;
    }
    int previous = -1;
    for (const auto& [translated, original] : t.map) {
        fuzz_check(translated >= previous, "offset map out of order");
        previous = translated;
        fuzz_check(original >= 0 && original <= length, "mapped offset outside the text");
    }
    for (int off = 0; off <= static_cast<int>(t.sql.size()); off += 1 + static_cast<int>(t.sql.size() / 64)) {
        int o = oci::originalOffset(t, off);
        fuzz_check(o >= 0 && o <= length, "original offset outside the text");
    }
    for (int slot : t.slots) fuzz_check(slot >= 0 && slot <= length, "value position outside the text");
    const int accepted = oci::testing::sqlite_accepts(t.sql);
    fuzz_check(accepted == 0 || accepted == 1, "SQLite compiles the translation");
    CompareWithSqlite(sql, t);
    return 0;
}

// A query of the part of the language both dialects read alike, over EMP
// and DEPT: the rows it gives are compared.
std::string SameInBothQuery(std::mt19937_64& rng) {
    auto pick = [&](std::initializer_list<const char*> l) {
        return std::string(l.begin()[rng() % l.size()]);
    };
    const bool join = rng() % 3 == 0;
    auto column = [&] {
        return join ? pick({"e.empno", "e.ename", "e.deptno", "d.deptno", "d.dname"})
                    : pick({"empno", "ename", "deptno"});
    };
    auto number = [&] { return pick({"10", "20", "7500", "7369", "0", "-1", "2.5", "1e3"}); };
    auto numeric = [&] {
        std::string n = join ? pick({"e.empno", "e.deptno", "d.deptno"}) : pick({"empno", "deptno"});
        if (rng() % 3 == 0) n += pick({" + ", " - ", " * "}) + number();
        return n;
    };
    std::function<std::string(int)> condition = [&](int level) -> std::string {
        switch (rng() % (level > 2 ? 5 : 9)) {
        case 0: return numeric() + pick({" = ", " <> ", " < ", " >= "}) + number();
        case 1:
            return (join ? pick({"e.ename", "d.dname"}) : std::string("ename")) +
                   pick({" = ", " > ", " <> "}) + pick({"'SMITH'", "'KING'", "'M'", "'SALES'", "'x''y'"});
        case 2: return numeric() + " between " + number() + " and " + number();
        case 3: return numeric() + pick({" in (10, 20)", " not in (30, 40)", " in (7369, 7839, 1)"});
        case 4: return column() + pick({" is null", " is not null"});
        case 5: return "(" + condition(level + 1) + pick({" and ", " or "}) + condition(level + 1) + ")";
        case 6: return "not (" + condition(level + 1) + ")";
        case 7:
            return (join ? "e.deptno" : "deptno") + pick({" in ", " not in "}) +
                   "(select deptno from dept where " + pick({"deptno > 10", "dname <> 'SALES'"}) + ")";
        default:
            return std::string(rng() % 2 ? "" : "not ") +
                   "exists (select 1 from dept x where x.deptno = " + (join ? "e.deptno" : "deptno") + ")";
        }
    };
    std::string items;
    const bool grouped = rng() % 4 == 0;
    if (grouped) {
        items = (join ? "d.dname, " : "deptno, ") +
                (join ? pick({"count(*)", "max(e.empno)", "min(e.ename)", "sum(e.empno)", "avg(e.deptno)",
                              "count(distinct e.ename)"})
                      : pick({"count(*)", "max(empno)", "min(ename)", "sum(empno)", "avg(deptno)",
                              "count(distinct ename)"}));
    } else {
        for (size_t n = 1 + rng() % 3; n > 0; --n)
            items += (items.empty() ? "" : ", ") +
                     (rng() % 4 == 0 ? "case when " + condition(2) + " then " + number() + " else 0 end"
                                     : column());
    }
    const std::string from = join ? pick({"emp e, dept d", "emp e join dept d on e.deptno = d.deptno",
                                          "dept d left join emp e on e.deptno = d.deptno"})
                                  : pick({"emp", "scott.emp", "v_emp"});
    auto where = [&] {
        std::string w = rng() % 4 != 0 ? condition(0) : "";
        if (from == "emp e, dept d") w = "e.deptno = d.deptno" + (w.empty() ? "" : " and " + w);
        return w.empty() ? w : " where " + w;
    };
    const std::string head =
        std::string("select ") + (rng() % 5 == 0 && !grouped ? "distinct " : "") + items + " from " + from;
    std::string q = head + where();
    if (grouped)
        q += std::string(" group by ") + (join ? "d.dname" : "deptno") +
             (rng() % 2 ? " having count(*) > 1" : "");
    else if (rng() % 6 == 0)
        q += pick({" union ", " union all ", " intersect "}) + head + where();
    return q;
}

std::string fuzz_generate(std::mt19937_64& rng) {
    if (rng() % 2) return SameInBothQuery(rng);
    return fuzz_sql_generate(rng,
                             {"emp ", "dept ", "empno ", "1 ", "\"EMP\" ", "scott.", "system.t ",
                              "connect by ", "start with ", "\xE3\x81\x82 ", "returning ", "into "},
                             30);
}
const uint64_t fuzz_default_count = 1000;
