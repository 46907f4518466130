// Oracle's answers to the filters, sorts and writes users send: NULL ordering,
// blank-padded CHAR comparison, dates and numbers compared with text, and the
// errors Oracle gives instead of an answer.
#include "oci_fixture.h"

using namespace ocitest;

namespace {

// The first column of every row, joined by commas, NULL as "-".
std::string column(Session8& s, const std::string& sql, const std::vector<std::string>& values = {}) {
    std::vector<Row> rows;
    if (s.query(sql, rows, values) != 0) return "<ERR " + std::to_string(s.errorCode()) + ">";
    std::string r;
    for (auto& row : rows) r += (r.empty() ? "" : ",") + (row[0] ? *row[0] : std::string("-"));
    return r;
}

class SemanticsTest : public SystemSessionTest {
protected:
    void SetUp() override {
        SystemSessionTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(s->exec("create table t (id number, n number, c char(6), nc nchar(4), v varchar2(10), "
                          "d date, p number(5,2))"),
                  0);
        const char* rows[] = {
            "1, 3, 'ABC', 'AB', '1', to_date('2024-03-05', 'YYYY-MM-DD'), 1.005",
            "2, null, 'AB', 'AB ', 'x', to_date('2024-05-05 10:00', 'YYYY-MM-DD HH24:MI'), 2.5",
            "3, 1, null, null, null, null, null",
            "4, 2, 'ABC ', 'Z', '01', to_date('2023-12-31', 'YYYY-MM-DD'), -1.005",
        };
        for (const char* r : rows)
            ASSERT_EQ(s->exec(std::string("insert into t values (") + r + ")"), 0) << r;
    }
    std::string column(const std::string& sql, const std::vector<std::string>& values = {}) {
        return ::column(*s, sql, values);
    }
};

} // namespace

TEST_F(SemanticsTest, NullsSortLastAscendingAndFirstDescending) {
    EXPECT_EQ(column("select id from t order by n"), "3,4,1,2");
    EXPECT_EQ(column("select id from t order by n asc"), "3,4,1,2");
    EXPECT_EQ(column("select id from t order by n desc"), "2,1,4,3");
    EXPECT_EQ(column("select id from t order by n nulls first"), "2,3,4,1");
    EXPECT_EQ(column("select id from t order by n desc nulls last"), "1,4,3,2");
    // Per key, by position and by expression, in subqueries and window orderings.
    EXPECT_EQ(column("select id from t order by c desc, n"), "3,4,1,2");
    EXPECT_EQ(column("select id, n from t order by 2 desc"), "2,1,4,3");
    EXPECT_EQ(column("select id from t order by nvl(n, p) desc"), "1,2,4,3");
    EXPECT_EQ(column("select id from (select id, n from t order by n) where rownum_ok = 1"), "<ERR 904>");
    EXPECT_EQ(column("select id from t where id in (select id from t order by n) order by id"), "1,2,3,4");
    EXPECT_EQ(column("select row_number() over (order by n) from t order by id"), "3,4,1,2");
    EXPECT_EQ(column("select id from t order by n for update"), "3,4,1,2");
}

TEST_F(SemanticsTest, CharComparesBlankPadded) {
    EXPECT_EQ(column("select id from t where c = 'ABC' order by id"), "1,4");
    EXPECT_EQ(column("select id from t where 'ABC' = c order by id"), "1,4");
    EXPECT_EQ(column("select id from t where t.c <> 'ABC' order by id"), "2");
    EXPECT_EQ(column("select id from t where nc = 'AB' order by id"), "1,2");
    EXPECT_EQ(column("select id from t where c > 'AB' order by id"), "1,4");
    EXPECT_EQ(s->value("select count(*) from dual where 'ab' = 'ab  '"), "1");
    EXPECT_EQ(s->value("select count(*) from dual where user = 'SYSTEM  '"), "1");
    EXPECT_EQ(column("select a.id from t a, t b where a.c = b.nc order by 1"), "2,2");
    // A VARCHAR2 compares without padding, with CHAR too; a text bind against CHAR is not padded.
    EXPECT_EQ(column("select id from t where v = '1 '"), "");
    EXPECT_EQ(column("select id from t where c = v"), "");
    EXPECT_EQ(column("select id from t where c = :X0", {"ABC"}), "");
    EXPECT_EQ(column("select id from t where c = :X0", {"ABC   "}), "1,4");
    // Inside CASE, subqueries and DML.
    EXPECT_EQ(column("select case when c = 'AB' then 'y' else 'n' end from t order by id"), "n,y,n,n");
    EXPECT_EQ(column("select id from t x where exists (select 1 from t y where y.c = 'AB' and y.id = x.id)"),
              "2");
    ASSERT_EQ(s->exec("update t set n = 9 where c = 'AB'"), 0) << s->errorText();
    EXPECT_EQ(column("select id from t where n = 9"), "2");
    ASSERT_EQ(s->exec("delete from t where c = 'ABC'"), 0);
    EXPECT_EQ(column("select id from t order by id"), "2,3");
}

TEST_F(SemanticsTest, TextComparedWithNumberConvertsAsToNumber) {
    EXPECT_EQ(s->value("select count(*) from dual where '1' = 1"), "1");
    EXPECT_EQ(s->value("select count(*) from dual where 1 = ' 1.0'"), "1");
    EXPECT_EQ(s->value("select count(*) from dual where 'x' = 1"), "<ERR 1722>");
    EXPECT_EQ(column("select id from t where n = '3'"), "1");
    EXPECT_EQ(column("select id from t where n > :X0 order by id", {"1.5"}), "1,4");
    EXPECT_EQ(column("select id from t where id in (1, 4) and v = 1 order by id"), "1,4");
    EXPECT_EQ(column("select id from t where v = 1"), "<ERR 1722>");
    EXPECT_EQ(column("select id from t where length(v) = '2'"), "4");
}

namespace {

// Dates compared with text by the session's format, in an AMERICAN and a JAPANESE session.
class DateTextTest : public OciTest, public ::testing::WithParamInterface<const char*> {};

} // namespace

TEST_P(DateTextTest, TextComparedWithDateUsesTheSessionsFormat) {
    setenv("NLS_LANG", GetParam(), 1);
    Session8 s(api);
    ASSERT_EQ(s.logon("system", "manager"), 0) << s.errorText();
    ASSERT_EQ(s.exec("create table d (id number, at date)"), 0);
    ASSERT_EQ(s.exec("insert into d values (1, to_date('2024-03-05', 'YYYY-MM-DD'))"), 0);
    ASSERT_EQ(s.exec("insert into d values (2, to_date('2024-05-05 10:00', 'YYYY-MM-DD HH24:MI'))"), 0);
    ASSERT_EQ(s.exec("insert into d values (3, null)"), 0);
    bool american = std::string(GetParam()).compare(0, 8, "AMERICAN") == 0;
    std::string mar5 = american ? "05-MAR-24" : "24-03-05", may1 = american ? "01-MAY-24" : "24-05-01";
    EXPECT_EQ(column(s, "select id from d where at < '" + may1 + "'"), "1");
    EXPECT_EQ(column(s, "select id from d where '" + may1 + "' < at"), "2");
    EXPECT_EQ(column(s, "select id from d where at = '" + mar5 + "'"), "1");
    EXPECT_EQ(column(s, "select id from d where trunc(at) = '" + mar5 + "' or at - 1 > '" + may1 + "'"),
              "1,2");
    EXPECT_EQ(column(s, "select id from d where at = :X0", {mar5}), "1");
    EXPECT_EQ(column(s, "select id from d where at >= :X0", {may1}), "2");
    // The format's errors, as TO_DATE gives them.
    for (const char* bad : {"2024/99/99 xx", "abc"})
        EXPECT_EQ(column(s, std::string("select id from d where at < '") + bad + "'"),
                  s.value(std::string("select to_date('") + bad + "') from dual"))
            << bad;
    EXPECT_NE(s.value("select to_date('abc') from dual").find("<ERR 18"), std::string::npos);
    // The stored form still reads, as a value written to a DATE column does.
    EXPECT_EQ(column(s, "select id from d where at = '2024-03-05 00:00:00'"), "1");
}

INSTANTIATE_TEST_SUITE_P(Sessions, DateTextTest,
                         ::testing::Values("AMERICAN_AMERICA.AL32UTF8", "JAPANESE_JAPAN.AL32UTF8"));

TEST_F(OciTest, DemoAllTypesSortsAndFiltersAsOracle) {
    Session8 s(api);
    ASSERT_EQ(s.logon("demo", "demo", ""), 0) << s.errorText();
    EXPECT_EQ(s.value("select count(*) from all_types where c_char = 'ABC'"), "16");
    EXPECT_EQ(column(s, "select id from all_types order by c_number desc, id fetch_ok"), "<ERR 933>");
    EXPECT_EQ(column(s, "select id from all_types where id > 12 order by c_number desc"),
              "15,20,19,18,17,16,14,13");
    EXPECT_EQ(column(s, "select id from all_types where id > 12 order by c_date"), "13,14,16,17,18,19,15,20");
    EXPECT_EQ(column(s, "select id from all_types where c_date < '24-04-13'"), "1,2");
    EXPECT_EQ(column(s, "select id from all_types where c_number_p = '200.25'"), "2");
}
