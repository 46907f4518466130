// Oracle's answers to the filters, sorts and writes users send: NULL ordering,
// blank-padded CHAR comparison, dates and numbers compared with text, and the
// errors Oracle gives instead of an answer.
#include "oci_fixture.h"

#include <cstring>
#include <memory>

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
TEST_F(SemanticsTest, NumberScaleRoundsTheDecimalDigitsHalfAwayFromZero) {
    EXPECT_EQ(column("select p from t order by id"), "1.01,2.5,-,-1.01");
    ASSERT_EQ(s->exec("create table r (a number(5,2), b number(3), c number(5,-2), e number(4,2))"), 0);
    ASSERT_EQ(s->exec("insert into r (a, b, c) values (0.125, 2.5, 1250)"), 0) << s->errorText();
    ASSERT_EQ(s->exec("insert into r (a, b, c) values (2.675, -2.5, -1249.9)"), 0) << s->errorText();
    ASSERT_EQ(s->exec("insert into r (a, b, c) values (:X0, :X1, :X2)", {"1.005", "0.5", "49"}), 0);
    EXPECT_EQ(column("select a || ' ' || b || ' ' || c from r"), ".13 3 1300,2.68 -3 -1200,1.01 1 0");
    EXPECT_EQ(s->exec("insert into r (e) values (99.995)"), -1);
    EXPECT_EQ(s->errorCode(), 1438);
    EXPECT_EQ(s->exec("insert into r (e) values (99.994)"), 0);
    // ROUND, TRUNC and number formats round the same digits.
    EXPECT_EQ(s->value("select round(1234, -2) from dual"), "1200");
    EXPECT_EQ(s->value("select round(1250, -2) from dual"), "1300");
    EXPECT_EQ(s->value("select round(2.675, 2) from dual"), "2.68");
    EXPECT_EQ(s->value("select round(-2.5) from dual"), "-3");
    EXPECT_EQ(s->value("select round('2.45', 1) from dual"), "2.5");
    EXPECT_EQ(s->value("select trunc(1.15, 2) from dual"), "1.15");
    EXPECT_EQ(s->value("select trunc(-1.99) from dual"), "-1");
    EXPECT_EQ(s->value("select trunc(1299, -2) from dual"), "1200");
    EXPECT_EQ(s->value("select to_char(2.5, 'FM9') from dual"), "3");
    EXPECT_EQ(s->value("select to_char(-2.5, 'FM9') from dual"), "-3");
    EXPECT_EQ(s->value("select to_char(0.125, 'FM0.00') from dual"), "0.13");
    EXPECT_EQ(s->value("select to_char(1.005, '0.00') from dual"), " 1.01");
}

TEST_F(SemanticsTest, ArithmeticIsExactWithinFifteenDigits) {
    EXPECT_EQ(s->value("select count(*) from dual where 0.1 + 0.2 = 0.3"), "1");
    EXPECT_EQ(s->value("select count(*) from dual where 0.3 - 0.1 = 0.2"), "1");
    EXPECT_EQ(s->value("select count(*) from dual where 0.1 * 3 = 0.3"), "1");
    EXPECT_EQ(s->value("select 0.3 / 0.1 from dual"), "3");
    EXPECT_EQ(s->value("select 7 / 2 from dual"), "3.5");
    EXPECT_EQ(s->value("select 6 / 3 * 2 from dual"), "4");
    EXPECT_EQ(s->value("select 2 + 3 * 4 - 10 / 5 from dual"), "12");
    EXPECT_EQ(s->value("select -2 * -3 from dual"), "6");
    EXPECT_EQ(s->value("select 3037000500 * 3037000500 from dual"), "9223372037000250000");
    EXPECT_EQ(s->value("select count(*) from (select 0.1 x from dual union all select 0.2 from dual) "
                       "having sum(x) = 0.3"),
              "2");
    EXPECT_EQ(column("select sum(n) over (order by id) from t order by id"), "3,3,4,6");
    EXPECT_EQ(s->value("select avg(x) from (select 0.1 x from dual union all select 0.2 from dual)"), ".15");
}

TEST_F(SemanticsTest, OracleErrorsInsteadOfAnswers) {
    EXPECT_EQ(s->value("select 1/0 from dual"), "<ERR 1476>");
    EXPECT_EQ(s->value("select 1.5 / (2 - 2) from dual"), "<ERR 1476>");
    EXPECT_EQ(column("select id from t where n / (id - 1) > 0"), "<ERR 1476>");
    EXPECT_EQ(s->value("select 'x' * 2 from dual"), "<ERR 1722>");
    EXPECT_EQ(s->value("select '3' * 2 from dual"), "6");
    EXPECT_EQ(s->value("select 2 / 'y' from dual"), "<ERR 1722>");
    EXPECT_EQ(s->value("select cast('abc' as number) from dual"), "<ERR 1722>");
    EXPECT_EQ(s->value("select cast(' 12.345 ' as number(5,2)) from dual"), "12.35");
    EXPECT_EQ(s->value("select cast('7.5' as integer) from dual"), "8");
    EXPECT_EQ(s->value("select cast('x' as varchar2(3)) from dual"), "x");
    EXPECT_EQ(column("select id from t where d * 2 > 0"), "<ERR 932>");
    EXPECT_EQ(s->exec("insert into t (id, d) values (9, 5)"), -1);
    EXPECT_EQ(s->errorCode(), 932);
    EXPECT_EQ(s->exec("update t set d = :X0 where id = 1", {"24-01-02"}), 0) << s->errorText();
    EXPECT_EQ(s->value("select to_char(d, 'YYYY-MM-DD') from t where id = 1"), "2024-01-02");
}

TEST_F(SemanticsTest, TextFunctionsGiveNullForEmptyResults) {
    for (const char* e :
         {"trim('  ')", "ltrim('xx', 'x')", "rtrim('  ')", "substr('a', 5)", "replace('a', 'a')", "lower('')",
          "upper(null)", "lpad('a', 0)", "replace('aa', 'a', null)"})
        EXPECT_EQ(s->value(std::string("select count(*) from dual where ") + e + " is null"), "1") << e;
    EXPECT_EQ(s->value("select replace('abca', 'a', null) from dual"), "bc");
    EXPECT_EQ(s->value("select replace('abca', 'a') from dual"), "bc");
    EXPECT_EQ(s->value("select replace('abc', null, 'y') from dual"), "abc");
    EXPECT_EQ(s->value("select replace('abc', 'b', 'xy') from dual"), "axyc");
    EXPECT_EQ(s->value("select '[' || trim('  a b  ') || ']' from dual"), "[a b]");
    EXPECT_EQ(s->value("select ltrim('xyxa', 'xy') from dual"), "a");
    EXPECT_EQ(s->value("select rtrim('a　', '　') || '|' from dual"), "a|");
    // Case mapping beyond ASCII; kana and kanji unchanged.
    EXPECT_EQ(s->value("select upper('ａｂｃéñß') from dual"), "ＡＢＣÉÑß");
    EXPECT_EQ(s->value("select lower('ÀÉＺŁΣД') from dual"), "àéｚłσд");
    EXPECT_EQ(s->value("select upper('かなカナｶﾅ漢字') from dual"), "かなカナｶﾅ漢字");
    EXPECT_EQ(s->value("select initcap('hello wORLD-ｆｏｏ élan') from dual"), "Hello World-Ｆｏｏ Élan");
    EXPECT_EQ(column("select id from t where upper(v) = 'X'"), "2");
    // Padding counts characters and cuts to the length.
    EXPECT_EQ(s->value("select lpad('a', 3, '*') from dual"), "**a");
    EXPECT_EQ(s->value("select rpad('ab', 5, 'xy') from dual"), "abxyx");
    EXPECT_EQ(s->value("select lpad('abcd', 2) from dual"), "ab");
    EXPECT_EQ(s->value("select '[' || lpad('髙', 3) || ']' from dual"), "[  髙]");
    EXPECT_EQ(s->value("select rpad('a', 3, null) from dual"), "<NULL>");
    EXPECT_EQ(s->value("select greatest(1, 3, 2) from dual"), "3");
    EXPECT_EQ(s->value("select least('b', 'a', 'c') from dual"), "a");
    EXPECT_EQ(s->value("select greatest(2, '10') from dual"), "10");
    EXPECT_EQ(s->value("select greatest('2', '10') from dual"), "2");
    EXPECT_EQ(s->value("select least(1, null) from dual"), "<NULL>");
    EXPECT_EQ(s->value("select greatest(1, 'x') from dual"), "<ERR 1722>");
}

TEST_F(SemanticsTest, MonthArithmeticTruncationAndRoundingOfDates) {
    ASSERT_EQ(s->exec("alter session set NLS_DATE_FORMAT = 'YYYY-MM-DD HH24:MI:SS'"), 0);
    auto date = [&](const std::string& e) { return s->value("select " + e + " from dual"); };
    EXPECT_EQ(date("add_months(date '2024-01-31', 1)"), date("to_date('2024-02-29')"));
    EXPECT_EQ(date("add_months(to_date('2024-01-31'), 1)"), "2024-02-29 00:00:00");
    EXPECT_EQ(date("date '2024-01-31' + 1"), "2024-02-01 00:00:00");
    EXPECT_EQ(s->value("select count(*) from dual where date '2024-01-31' < '2024-02-01 00:00:00'"), "1");
    EXPECT_EQ(date("add_months(to_date('2024-02-29 10:00:00'), 1)"), "2024-03-31 10:00:00");
    EXPECT_EQ(date("add_months(to_date('2024-02-29'), 12)"), "2025-02-28 00:00:00");
    EXPECT_EQ(date("add_months(to_date('2024-01-15'), -1)"), "2023-12-15 00:00:00");
    EXPECT_EQ(date("add_months(to_date('9999-12-01'), 1)"), "<ERR 1841>");
    EXPECT_EQ(date("months_between(to_date('2024-03-31'), to_date('2024-02-29'))"), "1");
    EXPECT_EQ(date("months_between(to_date('2024-03-15'), to_date('2024-02-14'))"), "1.03225806451613");
    EXPECT_EQ(date("months_between(to_date('2024-01-15'), to_date('2024-03-15'))"), "-2");
    EXPECT_EQ(date("last_day(to_date('2024-02-10 13:00:00'))"), "2024-02-29 13:00:00");
    const std::string d = "to_date('2024-08-17 14:35:40')";
    EXPECT_EQ(date("trunc(" + d + ")"), "2024-08-17 00:00:00");
    EXPECT_EQ(date("trunc(" + d + ", 'YYYY')"), "2024-01-01 00:00:00");
    EXPECT_EQ(date("trunc(" + d + ", 'Q')"), "2024-07-01 00:00:00");
    EXPECT_EQ(date("trunc(" + d + ", 'MM')"), "2024-08-01 00:00:00");
    EXPECT_EQ(date("trunc(" + d + ", 'HH24')"), "2024-08-17 14:00:00");
    EXPECT_EQ(date("trunc(" + d + ", 'MI')"), "2024-08-17 14:35:00");
    EXPECT_EQ(date("trunc(" + d + ", 'IW')"), "2024-08-12 00:00:00");
    EXPECT_EQ(date("trunc(" + d + ", 'D')"), "2024-08-11 00:00:00");
    EXPECT_EQ(date("trunc(" + d + ", 'XX')"), "<ERR 1899>");
    EXPECT_EQ(date("round(" + d + ")"), "2024-08-18 00:00:00");
    EXPECT_EQ(date("round(" + d + ", 'YYYY')"), "2025-01-01 00:00:00");
    EXPECT_EQ(date("round(" + d + ", 'MM')"), "2024-09-01 00:00:00");
    EXPECT_EQ(date("round(" + d + ", 'Q')"), "2024-10-01 00:00:00");
    EXPECT_EQ(date("round(to_date('2024-08-15'), 'Q')"), "2024-07-01 00:00:00");
    EXPECT_EQ(date("round(" + d + ", 'HH')"), "2024-08-17 15:00:00");
    EXPECT_EQ(date("round(" + d + ", 'MI')"), "2024-08-17 14:36:00");
    EXPECT_EQ(date("round(to_date('2024-06-30'), 'YYYY')"), "2024-01-01 00:00:00");
    EXPECT_EQ(date("round(to_date('2024-12-31 12:00:00'), 'DD')"), "2025-01-01 00:00:00");
}

TEST_F(SemanticsTest, ExpressionsDescribeByTheirOperandsTypes) {
    ASSERT_EQ(s->exec("alter session set NLS_DATE_FORMAT = 'YYYY/MM/DD'"), 0);
    const std::string sql = "select d + 1, 1 + d, trunc(d), round(d, 'MM'), max(d), min(n), nvl(d, sysdate), "
                            "decode(id, 1, d), case when id = 1 then null else d end, d - 1 / 24, "
                            "add_months(d, 1), 'd=' || d, d || '', max(n) * 2, dummy from t, dual "
                            "where id = 1 group by id, d, dummy";
    OCIStmt* st = nullptr;
    api.OCIHandleAlloc(s->env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    api.OCIStmtPrepare(st, s->err, reinterpret_cast<const OraText*>(sql.c_str()), ub4(sql.size()), 1, 0);
    ASSERT_EQ(api.OCIStmtExecute(s->svc, st, s->err, 1, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY), 0)
        << s->errorText();
    const ub2 types[] = {SQLT_DAT, SQLT_DAT, SQLT_DAT, SQLT_DAT, SQLT_DAT, SQLT_NUM, SQLT_DAT, SQLT_DAT,
                         SQLT_DAT, SQLT_DAT, SQLT_DAT, SQLT_CHR, SQLT_CHR, SQLT_NUM, SQLT_CHR};
    for (ub4 i = 0; i < sizeof types / sizeof types[0]; ++i) {
        void* p = nullptr;
        ASSERT_EQ(api.OCIParamGet(st, OCI_HTYPE_STMT, s->err, &p, i + 1), 0);
        ub2 type = 0, size = 0;
        api.OCIAttrGet(p, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, s->err);
        api.OCIAttrGet(p, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, s->err);
        EXPECT_EQ(type, types[i]) << "item " << i + 1;
        if (i == 14) {
            EXPECT_EQ(size, 1) << "dual.dummy";
        }
    }
    // DUAL's column read through "*" is the same VARCHAR2(1).
    for (const char* star :
         {"select * from dual", "select d.*, 1 from dual d", "select * from dual, t where id = 1"}) {
        api.OCIStmtPrepare(st, s->err, reinterpret_cast<const OraText*>(star), ub4(std::strlen(star)), 1, 0);
        ASSERT_EQ(api.OCIStmtExecute(s->svc, st, s->err, 1, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY), 0)
            << s->errorText();
        void* p = nullptr;
        ASSERT_EQ(api.OCIParamGet(st, OCI_HTYPE_STMT, s->err, &p, 1), 0);
        ub2 type = 0, size = 0;
        api.OCIAttrGet(p, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, s->err);
        api.OCIAttrGet(p, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, s->err);
        EXPECT_EQ(type, SQLT_CHR) << star;
        EXPECT_EQ(size, 1) << star;
        EXPECT_EQ(s->value(star), "X");
    }
    api.OCIHandleFree(st, OCI_HTYPE_STMT);
    std::vector<Row> rows;
    ASSERT_EQ(s->query(sql, rows), 0) << s->errorText();
    ASSERT_EQ(rows.size(), 1u);
    const char* texts[] = {"2024/03/06", "2024/03/06",   "2024/03/05", "2024/03/01", "2024/03/05",
                           "3",          "2024/03/05",   "2024/03/05", nullptr,      "2024/03/04",
                           "2024/04/05", "d=2024/03/05", "2024/03/05", "6",          "X"};
    for (size_t i = 0; i < rows[0].size(); ++i) {
        if (!texts[i])
            EXPECT_FALSE(rows[0][i]) << "item " << i + 1;
        else
            EXPECT_EQ(rows[0][i].value_or("<NULL>"), texts[i]) << "item " << i + 1;
    }
}

TEST_F(SemanticsTest, DecodeComparesAsItsFirstSearchValue) {
    EXPECT_EQ(s->value("select decode('01', 1, 'one', 'other') from dual"), "one");
    EXPECT_EQ(s->value("select decode(1, '01', 'one', 'other') from dual"), "other");
    EXPECT_EQ(s->value("select decode(1, '1', 'one', 'other') from dual"), "one");
    EXPECT_EQ(s->value("select decode('x', 1, 'one', 'other') from dual"), "<ERR 1722>");
    EXPECT_EQ(s->value("select decode(null, 1, 'one', null, 'null') from dual"), "null");
    EXPECT_EQ(column("select decode(v, 1, 'one', 'other') from t where id in (1, 4) order by id"), "one,one");
}

TEST_F(SemanticsTest, SubqueriesAndGroupingRefuseWhatOracleRefuses) {
    EXPECT_EQ(s->value("select (select id from t) from dual"), "<ERR 1427>");
    EXPECT_EQ(s->value("select (select id from t where id = 3) from dual"), "3");
    EXPECT_EQ(s->value("select nvl((select n from t where id = 2), 0) from dual"), "0");
    EXPECT_EQ(column("select id from t where n = (select n from t)"), "<ERR 1427>");
    EXPECT_EQ(column("select id from t where n = (select max(n) from t)"), "1");
    EXPECT_EQ(column("select id from t a where n = (select n from t b where b.id = a.id) order by id"),
              "1,3,4");
    EXPECT_EQ(column("select id from t where id in (select id from t where n > 1) order by id"), "1,4");
    EXPECT_EQ(s->exec("update t set n = (select n from t) where id = 1"), -1);
    EXPECT_EQ(s->errorCode(), 1427);
    // Aggregates with columns outside them.
    EXPECT_EQ(s->value("select id, count(*) from t"), "<ERR 937>");
    EXPECT_EQ(s->value("select count(*), n + 1 from t"), "<ERR 937>");
    EXPECT_EQ(s->value("select id, count(*) from t group by n"), "<ERR 979>");
    EXPECT_EQ(column("select n, count(*) from t group by n order by n"), "1,2,3,-");
    EXPECT_EQ(column("select nvl(n, 0) + 1, count(*) from t group by nvl(n, 0) + 1 order by 1"), "1,2,3,4");
    EXPECT_EQ(column("select t.n, max(id) from t group by t.n order by 2"), "3,-,1,2");
    EXPECT_EQ(s->value("select count(*) + 1, 'x', sysdate - sysdate from t"), "5");
    EXPECT_EQ(column("select id, sum(n) over (order by id) from t order by id"), "1,2,3,4");
    EXPECT_EQ(column("select decode(n, 1, 'a', 'b'), count(*) from t group by n order by n"), "a,b,b,b");
}

TEST_F(SemanticsTest, ConstraintsNameTheirViolation) {
    ASSERT_EQ(
        s->exec("create table k (id number primary key, q number constraint k_q_positive check (q > 0), "
                "r number check (r < 10))"),
        0)
        << s->errorText();
    EXPECT_EQ(s->exec("insert into k values (1, 0, 1)"), -1);
    EXPECT_EQ(s->errorCode(), 2290);
    EXPECT_NE(s->errorText().find("SYSTEM.K_Q_POSITIVE"), std::string::npos) << s->errorText();
    EXPECT_EQ(s->exec("insert into k values (1, 1, 10)"), -1);
    EXPECT_EQ(s->errorCode(), 2290);
    EXPECT_EQ(s->exec("insert into k values (1, 1, 1)"), 0);
    EXPECT_EQ(s->exec("update k set q = -1"), -1);
    EXPECT_EQ(s->errorCode(), 2290);
}

// Foreign keys as Oracle keeps them: a child row needs its parent (2291), a
// parent keeps its children (2292), each naming the constraint as the
// dictionary lists it; ON DELETE CASCADE and SET NULL act on the children.
// A failing statement changes nothing, and an array execution keeps the
// iterations before the failing one.
TEST_F(SemanticsTest, ForeignKeysKeepChildrenWithTheirParents) {
    ASSERT_EQ(s->exec("create table p (id number(4) primary key, code varchar2(4) constraint p_code unique)"),
              0)
        << s->errorText();
    for (const char* row : {"1, 'a'", "2, 'b'", "3, 'c'", "4, 'd'"})
        ASSERT_EQ(s->exec(std::string("insert into p values (") + row + ")"), 0);
    ASSERT_EQ(s->exec("create table c (id number primary key, p_id number(4) constraint c_p references p, "
                      "code varchar2(4), foreign key (code) references p (code) on delete cascade)"),
              0)
        << s->errorText();
    ASSERT_EQ(s->exec("create table n (id number, p_id number(4) references p (id) on delete set null, "
                      "p_must number(4) not null, constraint n_must foreign key (p_must) references p on "
                      "delete set null)"),
              0)
        << s->errorText();
    const std::string cascade = s->value("select constraint_name from all_constraints where table_name = 'C' "
                                         "and constraint_type = 'R' and delete_rule = 'CASCADE'");
    ASSERT_EQ(cascade.rfind("SYS_C", 0), 0u) << cascade;
    const std::string key = s->value(
        "select constraint_name from all_constraints where table_name = 'P' and constraint_type = 'P'");
    EXPECT_EQ(
        column("select constraint_name || ' ' || r_owner || '.' || r_constraint_name || ' ' || delete_rule "
               "from all_constraints where constraint_type = 'R' and table_name = 'C' order by 1"),
        "C_P SYSTEM." + key + " NO ACTION," + cascade + " SYSTEM.P_CODE CASCADE");
    auto fails = [&](const std::string& sql, int code, const std::string& name) {
        EXPECT_EQ(s->exec(sql), -1) << sql;
        EXPECT_EQ(s->errorCode(), code) << sql;
        EXPECT_NE(s->errorText().find("(SYSTEM." + name + ")"), std::string::npos)
            << sql << ": " << s->errorText();
    };
    // Children need parents; NULL needs none.
    fails("insert into c values (1, 9, null)", 2291, "C_P");
    fails("insert into c values (1, null, 'z')", 2291, cascade);
    ASSERT_EQ(s->exec("insert into c values (1, 1, null)"), 0) << s->errorText();
    ASSERT_EQ(s->exec("insert into c values (2, null, 'b')"), 0) << s->errorText();
    fails("update c set p_id = 7 where id = 1", 2291, "C_P");
    // Parents keep their children: neither deleted nor re-keyed, and the
    // statement that tried changes nothing, earlier rows included.
    fails("delete from p where id = 1", 2292, "C_P");
    fails("delete from p where id >= 0", 2292, "C_P");
    fails("update p set id = id + 10 where id in (4, 1)", 2292, "C_P");
    fails("update p set code = 'x' where id = 2", 2292, cascade);
    EXPECT_EQ(column("select id || code from p order by id"), "1a,2b,3c,4d");
    // CASCADE takes the children; SET NULL empties their key, and a key that
    // must not be NULL keeps its parent.
    ASSERT_EQ(s->exec("insert into n values (1, 3, 4)"), 0) << s->errorText();
    ASSERT_EQ(s->exec("delete from p where id = 2"), 0) << s->errorText();
    EXPECT_EQ(column("select id from c order by id"), "1");
    ASSERT_EQ(s->exec("delete from p where id = 3"), 0) << s->errorText();
    EXPECT_EQ(column("select nvl(to_char(p_id), 'null') from n"), "null");
    EXPECT_EQ(s->exec("delete from p where id = 4"), -1);
    EXPECT_EQ(s->errorCode(), 1407) << s->errorText();
    EXPECT_EQ(column("select id from p order by id"), "1,4");
    // An array delete: the first iteration stays, the second fails.
    OCIStmt* st = nullptr;
    api.OCIHandleAlloc(s->env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    const char* sql = "delete from p where id = :X0";
    api.OCIStmtPrepare(st, s->err, reinterpret_cast<const OraText*>(sql), ub4(std::strlen(sql)), 1, 0);
    ASSERT_EQ(s->exec("insert into p values (5, 'e')"), 0);
    char ids[3][4] = {"5", "1", "4"};
    OCIBind* b = nullptr;
    api.OCIBindByName(st, &b, s->err, reinterpret_cast<const OraText*>(":X0"), 3, ids, 4, SQLT_STR, nullptr,
                      nullptr, nullptr, 0, nullptr, 0);
    EXPECT_EQ(api.OCIStmtExecute(s->svc, st, s->err, 3, 0, nullptr, nullptr, 0), -1);
    EXPECT_EQ(s->errorCode(), 2292);
    EXPECT_NE(s->errorText().find("(SYSTEM.C_P)"), std::string::npos) << s->errorText();
    ub4 rows = 0;
    api.OCIAttrGet(st, OCI_HTYPE_STMT, &rows, nullptr, OCI_ATTR_ROW_COUNT, s->err);
    EXPECT_EQ(rows, 1u);
    api.OCIHandleFree(st, OCI_HTYPE_STMT);
    EXPECT_EQ(column("select id from p order by id"), "1,4");

    // A table refers to itself; the Oracle 7 calls get the same errors.
    ASSERT_EQ(s->exec("create table e (id number primary key, boss number constraint e_boss references e)"),
              0)
        << s->errorText();
    ASSERT_EQ(s->exec("insert into e values (1, null)"), 0);
    ASSERT_EQ(s->exec("insert into e values (2, 1)"), 0) << s->errorText();
    fails("insert into e values (3, 4)", 2291, "E_BOSS");
    fails("delete from e where id = 1", 2292, "E_BOSS");
    fails("update e set id = 5 where id = 1", 2292, "E_BOSS");
    fails("update e set boss = 7 where id = 2", 2291, "E_BOSS");
    ASSERT_EQ(s->exec("delete from e"), 0) << s->errorText();
    ASSERT_EQ(s->exec("commit"), 0);
    {
        Session7 seven(api);
        ASSERT_EQ(seven.logon("system", "manager"), 0);
        for (auto [text, code] : {std::pair<const char*, int>{"delete from p where id = 1", 2292},
                                  {"insert into c values (7, 8, null)", 2291}}) {
            Cda_Def cda{};
            ASSERT_EQ(api.oopen(&cda, &seven.lda, nullptr, -1, -1, nullptr, -1), 0);
            ASSERT_EQ(api.oparse(&cda, reinterpret_cast<OraText*>(const_cast<char*>(text)), -1, 1, 1), 0);
            EXPECT_NE(api.oexec(&cda), 0) << text;
            EXPECT_EQ(cda.rc, code) << text;
            char msg[512] = {};
            api.oerhms(&seven.lda, cda.rc, reinterpret_cast<OraText*>(msg), sizeof msg);
            EXPECT_NE(std::string(msg).find("(SYSTEM.C_P)"), std::string::npos) << msg;
            api.oclose(&cda);
        }
    }
    EXPECT_EQ(column("select count(*) from p"), "2");

    // What Oracle refuses at CREATE and DROP.
    auto refused = [&](const std::string& ddl, int code) {
        EXPECT_EQ(s->exec(ddl), -1) << ddl;
        EXPECT_EQ(s->errorCode(), code) << ddl;
    };
    refused("create table x (k varchar2(4) references p (code, id))", 2256);
    refused("create table x (k number references t)", 2268);
    refused("create table x (k varchar2(4) references t (v))", 2270);
    refused("create table x (k number references nowhere)", 942);
    refused("drop table p", 2449);
    EXPECT_EQ(s->value("select count(*) from all_tables where table_name = 'X'"), "0");
    ASSERT_EQ(s->exec("drop table n"), 0) << s->errorText();
    ASSERT_EQ(s->exec("drop table c"), 0) << s->errorText();
    ASSERT_EQ(s->exec("drop table p"), 0) << s->errorText();
    EXPECT_EQ(
        s->value("select count(*) from all_constraints where constraint_type = 'R' and table_name <> 'E'"),
        "0");
}

TEST_F(SemanticsTest, WhatTheStandInDoesNotDoIsRefused) {
    // Each limit the README lists gives an ORA- error, never an answer.
    EXPECT_EQ(s->value("select rownum from t"), "<ERR 3001>");
    EXPECT_EQ(s->value("select id from t where rownum <= 2"), "<ERR 3001>");
    EXPECT_EQ(s->value("select a.id from t a, t b where a.id = b.id(+)"), "<ERR 3001>");
    EXPECT_EQ(s->value("select id from t start with id = 1 connect by prior id = n"), "<ERR 3001>");
    EXPECT_EQ(s->value("select count(*) from user_tables"), "<ERR 942>");
    EXPECT_EQ(s->value("select count(*) from user_tab_columns"), "<ERR 942>");
    for (const char* f : {"Q", "J", "WW", "IW", "DDD", "SSSSS", "CC", "YEAR", "BC"})
        EXPECT_EQ(s->value(std::string("select to_char(d, '") + f + "') from t where id = 1"), "<ERR 1821>")
            << f;
    EXPECT_EQ(s->value("select to_date('2024 1', 'YYYY Q') from dual"), "<ERR 1821>");
    // Foreign keys across schemas, deferred ones and ones added later.
    ASSERT_EQ(s->exec("create table k (id number primary key)"), 0);
    ASSERT_EQ(s->exec("create user other identified by other"), 0);
    ASSERT_EQ(s->exec("create table other.k (id number primary key)"), 0) << s->errorText();
    EXPECT_EQ(s->exec("create table f (id number references other.k (id))"), -1);
    EXPECT_EQ(s->errorCode(), 3001);
    EXPECT_EQ(s->exec("create table f (id number references k deferrable initially deferred)"), -1);
    EXPECT_EQ(s->errorCode(), 3001);
    EXPECT_EQ(s->exec("alter table t add (k_id number references k)"), -1);
    EXPECT_EQ(s->errorCode(), 3001);
    // Writes lock the whole schema file: another session's FOR UPDATE NOWAIT on another row waits for it.
    ASSERT_EQ(s->exec("commit"), 0);
    ASSERT_EQ(s->exec("update t set n = 5 where id = 1"), 0);
    Session8 other(api);
    ASSERT_EQ(other.logon("system", "manager"), 0);
    EXPECT_EQ(other.exec("select id from t where id = 4 for update nowait"), -1);
    EXPECT_EQ(other.errorCode(), 54);
    ASSERT_EQ(s->exec("rollback"), 0);
    EXPECT_EQ(other.exec("select id from t where id = 4 for update nowait"), 0) << other.errorText();
}

// A savepoint takes no lock, as Oracle's takes none: set while another
// session writes, it is there to roll back to after a write of this session
// met that lock. Set before the first write it still marks the transaction's
// start, and a rollback to it releases the lock; set again it moves.
TEST_F(SemanticsTest, SavepointsTakeNoLock) {
    ASSERT_EQ(s->exec("commit"), 0);
    Session8 other(api);
    ASSERT_EQ(other.logon("system", "manager"), 0);
    ASSERT_EQ(other.exec("update t set n = 9 where id = 2"), 0);
    ASSERT_EQ(s->exec("savepoint tavex_p1"), 0) << s->errorText();
    EXPECT_EQ(s->exec("select id from t where id = 1 for update nowait"), -1);
    EXPECT_EQ(s->errorCode(), 54);
    EXPECT_EQ(s->exec("rollback to tavex_p1"), 0) << s->errorText();
    EXPECT_EQ(s->exec("rollback to elsewhere"), -1);
    EXPECT_EQ(s->errorCode(), 1086);
    ASSERT_EQ(other.exec("rollback"), 0);

    ASSERT_EQ(s->exec("savepoint a"), 0);
    ASSERT_EQ(s->exec("savepoint b"), 0);
    ASSERT_EQ(s->exec("savepoint a"), 0);
    ASSERT_EQ(s->exec("update t set n = 7 where id = 1"), 0) << s->errorText();
    ASSERT_EQ(s->exec("savepoint c"), 0);
    ASSERT_EQ(s->exec("update t set n = 8 where id = 1"), 0);
    ASSERT_EQ(s->exec("rollback to c"), 0) << s->errorText();
    EXPECT_EQ(column("select n from t where id = 1"), "7");
    ASSERT_EQ(s->exec("rollback to a"), 0) << s->errorText();
    EXPECT_EQ(column("select n from t where id = 1"), "3");
    // Back at the transaction's start, the lock is gone.
    EXPECT_EQ(other.exec("select id from t where id = 1 for update nowait"), 0) << other.errorText();
    ASSERT_EQ(other.exec("rollback"), 0);
    EXPECT_EQ(s->exec("rollback to c"), -1);
    ASSERT_EQ(s->exec("rollback to b"), 0) << s->errorText();
    ASSERT_EQ(s->exec("commit"), 0);
    EXPECT_EQ(s->exec("rollback to b"), -1);
    EXPECT_EQ(s->errorCode(), 1086);
}

TEST_F(SemanticsTest, PlaceholdersOnlyOutsideLiteralsAndComments) {
    auto bind8 = [&](const char* sql) {
        OCIStmt* st = nullptr;
        api.OCIHandleAlloc(s->env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
        api.OCIStmtPrepare(st, s->err, reinterpret_cast<const OraText*>(sql), ub4(std::strlen(sql)), 1, 0);
        OCIBind* b = nullptr;
        char v[] = "1";
        sword rc = api.OCIBindByName(st, &b, s->err, reinterpret_cast<const OraText*>(":X0"), 3, v, 2,
                                     SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, 0);
        api.OCIHandleFree(st, OCI_HTYPE_STMT);
        return rc == 0 ? 0 : s->errorCode();
    };
    Session7 s7(api);
    ASSERT_EQ(s7.logon("system", "manager"), 0);
    auto bind7 = [&](const char* sql) {
        Cda_Def cda{};
        api.oopen(&cda, &s7.lda, nullptr, -1, -1, nullptr, -1);
        api.oparse(&cda, reinterpret_cast<OraText*>(const_cast<char*>(sql)), -1, 1, 1);
        char v[] = "1";
        sword rc = api.obndra(&cda, reinterpret_cast<OraText*>(const_cast<char*>(":X0")), -1,
                              reinterpret_cast<ub1*>(v), 2, SQLT_STR, -1, nullptr, nullptr, nullptr, 0,
                              nullptr, nullptr, -1, -1);
        int code = rc == 0 ? 0 : cda.rc;
        api.oclose(&cda);
        return code;
    };
    for (const char* sql :
         {"select ':X0' from dual", "select 1 from dual -- :X0", "select /* :X0 */ 1 from dual",
          "select 1 \":X0\" from dual", "select :X01 from dual"}) {
        EXPECT_EQ(bind8(sql), 1036) << sql;
        EXPECT_EQ(bind7(sql), 1036) << sql;
    }
    for (const char* sql :
         {"select :x0 from dual", "select ':' || :X0 from dual -- x", "select 1 from dual where :X0=1"}) {
        EXPECT_EQ(bind8(sql), 0) << sql;
        EXPECT_EQ(bind7(sql), 0) << sql;
    }
}

TEST_F(SemanticsTest, NarrowIntegerBindsReadOnlyTheirBytes) {
    for (int size : {1, 2}) {
        OCIStmt* st = nullptr;
        api.OCIHandleAlloc(s->env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
        const char* sql = "select :X0 + 1 from dual";
        api.OCIStmtPrepare(st, s->err, reinterpret_cast<const OraText*>(sql), ub4(std::strlen(sql)), 1, 0);
        // The element alone on the heap: a wider read is past its end.
        std::unique_ptr<char[]> v(new char[size_t(size)]);
        std::memset(v.get(), 0xFF, size_t(size)); // -1
        OCIBind* b = nullptr;
        ASSERT_EQ(api.OCIBindByName(st, &b, s->err, reinterpret_cast<const OraText*>(":X0"), 3, v.get(), size,
                                    SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0),
                  0);
        char out[32] = {};
        OCIDefine* d = nullptr;
        ASSERT_EQ(api.OCIStmtExecute(s->svc, st, s->err, 0, 0, nullptr, nullptr, 0), 0) << s->errorText();
        api.OCIDefineByPos(st, &d, s->err, 1, out, sizeof out, SQLT_STR, nullptr, nullptr, nullptr, 0);
        ASSERT_EQ(api.OCIStmtFetch2(st, s->err, 1, OCI_FETCH_NEXT, 0, 0), 0) << s->errorText();
        EXPECT_STREQ(out, "0") << size;
        api.OCIHandleFree(st, OCI_HTYPE_STMT);
    }
}

TEST_F(SemanticsTest, NextvalOncePerRowAndNeverIssuedAgain) {
    ASSERT_EQ(s->exec("create sequence q start with 10"), 0) << s->errorText();
    EXPECT_EQ(column("select q.nextval || ',' || q.nextval || ',' || q.currval from dual"), "10,10,10");
    ASSERT_EQ(s->exec("rollback"), 0);
    EXPECT_EQ(s->value("select q.nextval from dual"), "11");
    Session8 other(api);
    ASSERT_EQ(other.logon("system", "manager"), 0);
    EXPECT_EQ(other.value("select q.nextval from dual"), "12");
    EXPECT_EQ(s->value("select system.q.nextval from dual"), "13");
    EXPECT_EQ(s->value("select q.currval from dual"), "13");
    ASSERT_EQ(s->exec("create table sq (a number, b number)"), 0);
    ASSERT_EQ(s->exec("insert into sq select q.nextval, q.nextval from t"), 0) << s->errorText();
    EXPECT_EQ(column("select a || '=' || b from sq order by a"), "14=14,15=15,16=16,17=17");
}

TEST_F(SemanticsTest, UniqueViolationsNameTheConstraintTheDictionaryLists) {
    ASSERT_EQ(s->exec("create table u (id number constraint u_pk primary key, code varchar2(5) constraint "
                      "u_code unique, x number unique, y number, z number, w number check (w > 0), "
                      "constraint u_yz unique (y, z))"),
              0)
        << s->errorText();
    ASSERT_EQ(s->exec("insert into u values (1, 'a', 1, 1, 1, 1)"), 0) << s->errorText();
    auto violated = [&](const char* sql) {
        if (s->exec(sql) != -1) return std::string("accepted");
        std::string text = s->errorText();
        size_t a = text.find('('), b = text.find(')');
        return std::to_string(s->errorCode()) + " " +
               (a == std::string::npos || b == std::string::npos ? text : text.substr(a + 1, b - a - 1));
    };
    EXPECT_EQ(violated("insert into u values (1, 'b', 2, 2, 2, 1)"), "1 SYSTEM.U_PK");
    EXPECT_EQ(violated("insert into u values (2, 'a', 2, 2, 2, 1)"), "1 SYSTEM.U_CODE");
    EXPECT_EQ(violated("insert into u values (2, 'b', 2, 1, 1, 1)"), "1 SYSTEM.U_YZ");
    EXPECT_EQ(s->exec("insert into u values (2, 'b', 2, 1, 2, 1)"), 0) << s->errorText();
    EXPECT_EQ(violated("update u set id = 1 where id = 2"), "1 SYSTEM.U_PK");
    // Unnamed constraints get one SYS_C name, in the error and in ALL_CONSTRAINTS.
    std::string unique = s->value("select constraint_name from all_constraints where table_name = 'U' and "
                                  "constraint_type = 'U' and constraint_name like 'SYS_C%'");
    std::string check = s->value("select constraint_name from all_constraints where table_name = 'U' and "
                                 "constraint_type = 'C'");
    EXPECT_EQ(unique.size(), 11u) << unique;
    EXPECT_EQ(unique.rfind("SYS_C", 0), 0u);
    EXPECT_NE(unique, check);
    EXPECT_EQ(violated("insert into u values (3, 'c', 1, 3, 3, 1)"), "1 SYSTEM." + unique);
    EXPECT_EQ(violated("insert into u values (3, 'c', 3, 3, 3, 0)"), "2290 SYSTEM." + check);
    EXPECT_EQ(column("select constraint_type || ':' || constraint_name from all_constraints where "
                     "table_name = 'U' and constraint_name not like 'SYS_C%' order by 1"),
              "P:U_PK,U:U_CODE,U:U_YZ");
    EXPECT_EQ(column("select i.column_name from all_ind_columns i, all_constraints c where c.owner = "
                     "i.table_owner and c.index_name = i.index_name and c.table_name = 'U' and "
                     "c.constraint_name = 'U_YZ' order by i.column_position"),
              "Y,Z");
    // A unique index is named by itself; a table made again keeps its constraint names.
    EXPECT_EQ(violated("create unique index u_w on u (w)").substr(0, 5), "1452 ");
    ASSERT_EQ(s->exec("create unique index u_zw on u (z, w)"), 0) << s->errorText();
    EXPECT_EQ(violated("insert into u values (3, 'c', 3, 3, 1, 1)"), "1 SYSTEM.U_ZW");
    ASSERT_EQ(s->exec("alter table u add (v number)"), 0) << s->errorText();
    EXPECT_EQ(violated("insert into u (id) values (1)"), "1 SYSTEM.U_PK");
    EXPECT_EQ(s->value("select count(*) from all_constraints where table_name = 'U'"), "5");
    ASSERT_EQ(s->exec("drop table u"), 0);
    EXPECT_EQ(s->value("select count(*) from all_constraints where table_name = 'U'"), "0");
}

TEST_F(SemanticsTest, FixedCharBindComparesBlankPadded) {
    auto ids = [&](const char* sql, const char* value, ub2 type) {
        OCIStmt* st = nullptr;
        api.OCIHandleAlloc(s->env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
        api.OCIStmtPrepare(st, s->err, reinterpret_cast<const OraText*>(sql), ub4(std::strlen(sql)), 1, 0);
        OCIBind* b = nullptr;
        sb4 size = sb4(std::strlen(value) + (type == SQLT_STR ? 1 : 0));
        api.OCIBindByName(st, &b, s->err, reinterpret_cast<const OraText*>(":X0"), 3,
                          const_cast<char*>(value), size, type, nullptr, nullptr, nullptr, 0, nullptr, 0);
        std::string r;
        if (api.OCIStmtExecute(s->svc, st, s->err, 0, 0, nullptr, nullptr, 0) != 0) {
            r = "<ERR " + std::to_string(s->errorCode()) + ">";
        } else {
            char out[16] = {};
            OCIDefine* d = nullptr;
            api.OCIDefineByPos(st, &d, s->err, 1, out, sizeof out, SQLT_STR, nullptr, nullptr, nullptr, 0);
            while (api.OCIStmtFetch2(st, s->err, 1, OCI_FETCH_NEXT, 0, 0) == 0)
                r += (r.empty() ? "" : ",") + std::string(out);
        }
        api.OCIHandleFree(st, OCI_HTYPE_STMT);
        return r;
    };
    EXPECT_EQ(ids("select id from t where c = :X0 order by id", "ABC", SQLT_AFC), "1,4");
    EXPECT_EQ(ids("select id from t where :X0 = c order by id", "ABC  ", SQLT_AFC), "1,4");
    EXPECT_EQ(ids("select id from t where c > :X0 order by id", "AB", SQLT_AFC), "1,4");
    EXPECT_EQ(ids("select id from t where nc = :X0 order by id", "AB", SQLT_AFC), "1,2");
    EXPECT_EQ(ids("select id from t where c = :X0 order by id", "ABC", SQLT_STR), "");
    EXPECT_EQ(ids("select id from t where c = :X0 order by id", "ABC", SQLT_CHR), "");
    EXPECT_EQ(ids("select id from t where v = :X0 order by id", "1", SQLT_AFC), "1");
}

TEST_F(SemanticsTest, NextvalSurvivesTheRollbackOfAWrittenTransaction) {
    ASSERT_EQ(s->exec("create sequence w start with 5"), 0) << s->errorText();
    ASSERT_EQ(s->exec("insert into t (id) values (7)"), 0);
    EXPECT_EQ(s->value("select w.nextval from dual"), "5");
    ASSERT_EQ(s->exec("insert into t (id) values (w.nextval)"), 0) << s->errorText();
    // Another session takes the next number while the transaction is open.
    Session8 other(api);
    ASSERT_EQ(other.logon("system", "manager"), 0);
    EXPECT_EQ(other.value("select system.w.nextval from dual"), "7");
    ASSERT_EQ(s->exec("rollback"), 0);
    EXPECT_EQ(s->value("select count(*) from t where id in (6, 7)"), "0");
    EXPECT_EQ(s->value("select w.nextval from dual"), "8");
    EXPECT_EQ(s->value("select last_number from all_sequences where sequence_name = 'W'"), "9");
    // A sequence made again starts afresh.
    ASSERT_EQ(s->exec("drop sequence w"), 0);
    ASSERT_EQ(s->exec("create sequence w start with 5"), 0);
    EXPECT_EQ(s->value("select w.nextval from dual"), "5");
}

TEST_F(SemanticsTest, NumbersBeyondExactStorageAreRefused) {
    // 64-bit integers and 15 significant digits are kept exactly; more gives 1426, never a rounded value.
    EXPECT_EQ(s->value("select 9223372036854775807 from dual"), "9223372036854775807");
    EXPECT_EQ(s->value("select -9223372036854775807 - 1 from dual"), "-9223372036854775808");
    EXPECT_EQ(s->value("select 123456789012345 / 1000 from dual"), "123456789012.345");
    EXPECT_EQ(s->value("select 1000000000000000000000 from dual"), "1000000000000000000000");
    EXPECT_EQ(s->value("select 9223372036854775808 from dual"), "<ERR 1426>");
    EXPECT_EQ(s->value("select 0.1234567890123456 from dual"), "<ERR 1426>");
    EXPECT_EQ(s->value("select 9223372036854775807 + 1 from dual"), "<ERR 1426>");
    EXPECT_EQ(s->value("select 4611686018427387904 * 3 from dual"), "<ERR 1426>");
    EXPECT_EQ(s->value("select 100000000000 * 100000000000 from dual"), "10000000000000000000000");
    EXPECT_EQ(s->value("select to_number('12345678901234567.5') from dual"), "<ERR 1426>");
    EXPECT_EQ(s->exec("insert into t (id, n) values (8, :X0)", {"1234567890123456789012"}), -1);
    EXPECT_EQ(s->errorCode(), 1426);
    EXPECT_EQ(s->exec("insert into t (id, n) values (8, :X0)", {"-9223372036854775808"}), 0)
        << s->errorText();
    EXPECT_EQ(s->value("select n from t where id = 8"), "-9223372036854775808");
    EXPECT_EQ(column("select id from t where n = '0.12345678901234567'"), "<ERR 1426>");
    // SUM of integers is exact to 64 bits, and refused past them.
    EXPECT_EQ(s->value("select sum(x) from (select 1234567890123456789 x from dual union all select 1 from "
                       "dual)"),
              "1234567890123456790");
    EXPECT_EQ(s->value("select sum(x) from (select 9223372036854775807 x from dual union all select 1 from "
                       "dual)"),
              "<ERR 1426>");
}

TEST_F(SemanticsTest, ErrorsOfRewrittenExpressionsPointAtTheUsersText) {
    auto offset = [&](const std::string& sql) {
        std::vector<Row> rows;
        if (s->query(sql, rows) == 0) return std::string("no error");
        return std::to_string(s->errorCode()) + "@" + std::to_string(s->lastOffset());
    };
    EXPECT_EQ(offset("select 'x' * 2 from dual"), "1722@11");
    EXPECT_EQ(offset("select 1 + 'x' from dual"), "1722@9");
    EXPECT_EQ(offset("select id from t where n / (id - 1) > 0"), "1476@25");
    EXPECT_EQ(offset("select id from t where n = 'x'"), "1722@27");
    std::string date = offset("select id from t where d < 'xx-yy'");
    EXPECT_EQ(date.substr(date.find('@')), "@27") << date;
    EXPECT_EQ(offset("select (select id from t) from dual"), "1427@7");
    EXPECT_EQ(offset("select 9223372036854775807 + 1 from dual"), "1426@27");
}
