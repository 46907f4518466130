// SQL text of any kind through the client stand-in's translator with a fixed
// catalogue: either SQLite SQL whose offsets map back into the original
// text and which SQLite's compiler accepts or refuses (without a crash), or
// an Oracle error at an offset inside the original text.
#include <string>
#include <vector>

#include "fuzz.h"
#include "fuzz_sql.h"
#include "platform/oci/testing/sqlite_accepts.h"
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
    return 0;
}

std::string fuzz_generate(std::mt19937_64& rng) {
    return fuzz_sql_generate(rng,
                             {"emp ", "dept ", "empno ", "1 ", "\"EMP\" ", "scott.", "system.t ",
                              "connect by ", "start with ", "\xE3\x81\x82 ", "returning ", "into "},
                             30);
}
const uint64_t fuzz_default_count = 1000;
