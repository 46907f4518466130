// Values written to columns are converted and checked; numbers read as Oracle prints them.
#include "oci_fixture.h"

#include <cstring>

using namespace ocitest;

namespace {

class ValuesTest : public SystemSessionTest {};

} // namespace

TEST_F(ValuesTest, NumbersReadAsOraclePrintsThem) {
    EXPECT_EQ(s->value("select .5 from dual"), ".5");
    EXPECT_EQ(s->value("select -0.5 from dual"), "-.5");
    EXPECT_EQ(s->value("select 1234567890 from dual"), "1234567890");
    EXPECT_EQ(s->value("select 1 / 4 from dual"), ".25");
    EXPECT_EQ(s->value("select 0.1 + 0.2 from dual"), ".3");
    EXPECT_EQ(s->value("select 2.50 * 2 from dual"), "5");
    ASSERT_EQ(s->exec("create table t (a number(10,2), b number)"), 0);
    ASSERT_EQ(s->exec("insert into t values (:X0, :X1)", {"12.345", "0.000123"}), 0) << s->errorText();
    EXPECT_EQ(s->value("select a from t"), "12.35");
    EXPECT_EQ(s->value("select b from t"), ".000123");
}

TEST_F(ValuesTest, ChecksGiveOraclesErrors) {
    ASSERT_EQ(s->exec("create table t (a varchar2(5), b number(4,1), c char(3), d varchar2(3 char), e date)"),
              0);
    EXPECT_EQ(s->exec("insert into t (a) values (:X0)", {"abcdef"}), -1);
    EXPECT_EQ(s->errorCode(), 12899);
    EXPECT_NE(s->errorText().find("\"SYSTEM\".\"T\".\"A\" (actual: 6, maximum: 5)"), std::string::npos)
        << s->errorText();
    EXPECT_EQ(s->exec("insert into t (a) values ('あい')"), -1) << "byte lengths in UTF-8";
    EXPECT_EQ(s->errorCode(), 12899);
    EXPECT_EQ(s->exec("insert into t (d) values ('あいう')"), 0) << "character semantics";
    EXPECT_EQ(s->exec("insert into t (b) values (:X0)", {"1234.5"}), -1);
    EXPECT_EQ(s->errorCode(), 1438);
    EXPECT_EQ(s->exec("insert into t (b) values (:X0)", {"999.94"}), 0) << "rounds to the scale first";
    EXPECT_EQ(s->exec("insert into t (b) values (:X0)", {"12x"}), -1);
    EXPECT_EQ(s->errorCode(), 1722);
    EXPECT_EQ(s->exec("insert into t (c) values ('x')"), 0);
    EXPECT_EQ(s->value("select '[' || c || ']' from t where c is not null"), "[x  ]");
    ASSERT_EQ(s->exec("alter session set NLS_DATE_FORMAT = 'YYYY-MM-DD'"), 0);
    EXPECT_EQ(s->exec("insert into t (e) values ('2024-13-01')"), -1);
    EXPECT_EQ(s->errorCode(), 1843);
    ASSERT_EQ(s->exec("create table r (x raw(2))"), 0);
    EXPECT_EQ(s->exec("insert into r values ('0aFf')"), 0) << s->errorText();
    EXPECT_EQ(s->value("select x from r"), "0AFF");
    EXPECT_EQ(s->exec("insert into r values ('0G')"), -1);
    EXPECT_EQ(s->errorCode(), 1465);
    EXPECT_EQ(s->exec("insert into r values ('010203')"), -1);
    EXPECT_EQ(s->errorCode(), 12899);
    EXPECT_EQ(s->exec("update t set b = 'zz'"), -1);
    EXPECT_EQ(s->errorCode(), 1722);
}

// Dates in the stored form are read without the format model, numbers with
// no more decimals than the scale without rounding: the same values and the
// same errors as the general reading, under the default session format and
// under the stored form's own.
TEST_F(ValuesTest, StoredFormDatesAndExactNumbersReadAsTheModelReadsThem) {
    ASSERT_EQ(s->exec("create table t (id number, e date, n number(6,2), v varchar2(4))"), 0);
    for (const char* format : {"", "YYYY-MM-DD HH24:MI:SS"}) {
        SCOPED_TRACE(format);
        if (*format) {
            ASSERT_EQ(s->exec(std::string("alter session set NLS_DATE_FORMAT = '") + format + "'"), 0);
        }
        const std::pair<const char*, int> dates[] = {
            {"2024-13-01 10:00:00", 1843}, {"2024-00-01 10:00:00", 1843}, {"2024-01-32 10:00:00", 1847},
            {"2024-01-01 24:00:00", 1850}, {"2024-01-01 23:60:00", 1851}, {"2024-01-01 23:59:60", 1852},
            {"2023-02-29 00:00:00", 1839}, {"2024-02-30 12:00:00", 1839}};
        for (auto& [text, code] : dates) {
            EXPECT_EQ(s->exec("insert into t (e) values (:X0)", {text}), -1) << text;
            // Under another session format its own error stands.
            EXPECT_EQ(s->errorCode(), *format ? code : 1861) << text;
        }
        ASSERT_EQ(s->exec("delete from t"), 0);
        ASSERT_EQ(s->exec("insert into t (id, e) values (1, :X0)", {"2024-02-29 23:59:59"}), 0)
            << s->errorText();
        ASSERT_EQ(s->exec("insert into t (id, e) values (2, :X0)", {"0999-01-01 00:00:00"}), 0)
            << s->errorText();
        ASSERT_EQ(s->exec("insert into t (id, e) values (3, :X0)", {"2024-3-4 5:06:07"}), 0)
            << s->errorText();
        EXPECT_EQ(s->value("select to_char(e, 'YYYY-MM-DD HH24:MI:SS') from t where id = 1"),
                  "2024-02-29 23:59:59");
        EXPECT_EQ(s->value("select to_char(e, 'YYYY-MM-DD HH24:MI:SS') from t where id = 2"),
                  "0999-01-01 00:00:00");
        EXPECT_EQ(s->value("select to_char(e, 'YYYY-MM-DD HH24:MI:SS') from t where id = 3"),
                  "2024-03-04 05:06:07");
        EXPECT_EQ(
            s->value(
                "select count(*) from t where e = to_date('2024-02-29 23:59:59', 'YYYY-MM-DD HH24:MI:SS')"),
            "1");

        // Numbers: fewer decimals than the scale, more (rounded), an exponent.
        const std::pair<const char*, const char*> numbers[] = {
            {"1234.5", "1234.5"},   {"1234.25", "1234.25"},  {"12.345", "12.35"},     {"-12.344", "-12.34"},
            {"1.2345e2", "123.45"}, {"1.23456e2", "123.46"}, {"9999.994", "9999.99"}, {"0.005", ".01"}};
        for (auto& [text, stored] : numbers) {
            ASSERT_EQ(s->exec("delete from t"), 0);
            ASSERT_EQ(s->exec("insert into t (n) values (:X0)", {text}), 0) << text << ": " << s->errorText();
            EXPECT_EQ(s->value("select n from t"), stored) << text;
        }
        EXPECT_EQ(s->exec("insert into t (n) values (:X0)", {"9999.995"}), -1) << "rounds past the precision";
        EXPECT_EQ(s->errorCode(), 1438);
        EXPECT_EQ(s->exec("insert into t (n) values (:X0)", {"10000.00"}), -1);
        EXPECT_EQ(s->errorCode(), 1438);

        // Texts that fit are stored as bound; one too long is refused.
        ASSERT_EQ(s->exec("delete from t"), 0);
        ASSERT_EQ(s->exec("insert into t (v) values (:X0)", {"ab c"}), 0);
        EXPECT_EQ(s->value("select '[' || v || ']' from t"), "[ab c]");
        EXPECT_EQ(s->exec("insert into t (v) values (:X0)", {"abcde"}), -1);
        EXPECT_EQ(s->errorCode(), 12899);
        ASSERT_EQ(s->exec("delete from t"), 0);
    }
}

TEST_F(ValuesTest, ArrayInsertRefusesANumberAtItsRow) {
    ASSERT_EQ(s->exec("create table t (a number(5), b varchar2(10), c number)"), 0);
    const int rows = 40;
    std::vector<char> a(rows * 8), b(rows * 11), c(rows * 8);
    for (int i = 0; i < rows; ++i) {
        std::string va = std::to_string(i), vc = i == 36 ? "abc" : std::to_string(i);
        std::memcpy(&a[size_t(i) * 8], va.c_str(), va.size() + 1);
        std::memcpy(&b[size_t(i) * 11], va.c_str(), va.size() + 1);
        std::memcpy(&c[size_t(i) * 8], vc.c_str(), vc.size() + 1);
    }
    OCIStmt* st = nullptr;
    api.OCIHandleAlloc(s->env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    std::string sql = "insert into \"SYSTEM\".\"T\" (\"A\", \"B\", \"C\") \nvalues (:X0, \n:X1, \n:X2)";
    api.OCIStmtPrepare(st, s->err, reinterpret_cast<const OraText*>(sql.data()), ub4(sql.size()), 1, 0);
    OCIBind* bh[3] = {};
    char* bufs[3] = {a.data(), b.data(), c.data()};
    sb4 sizes[3] = {8, 11, 8};
    for (int k = 0; k < 3; ++k) {
        std::string name = ":X" + std::to_string(k);
        api.OCIBindByName(st, &bh[k], s->err, reinterpret_cast<const OraText*>(name.data()), sb4(name.size()),
                          bufs[k], sizes[k], SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, 0);
    }
    EXPECT_EQ(api.OCIStmtExecute(s->svc, st, s->err, rows, 0, nullptr, nullptr, 0), -1);
    EXPECT_EQ(s->errorCode(), 1722);
    ub4 count = 0;
    ub2 offset = 0;
    api.OCIAttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, s->err);
    api.OCIAttrGet(st, OCI_HTYPE_STMT, &offset, nullptr, OCI_ATTR_PARSE_ERROR_OFFSET, s->err);
    EXPECT_EQ(count, 36u);
    int line = 1;
    for (ub2 k = 0; k < offset; ++k) line += sql[k] == '\n';
    EXPECT_EQ(line, 4);
    api.OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(ValuesTest, SessionNlsFormats) {
    ASSERT_EQ(s->exec("create table t (d date)"), 0);
    ASSERT_EQ(s->exec("insert into t values (:X0)", {"2024-04-01 10:20:30"}), 0) << s->errorText();
    EXPECT_EQ(s->value("select d from t"), "24-04-01") << "JAPAN's default format";
    ASSERT_EQ(s->exec("alter session set NLS_DATE_FORMAT = 'YYYY/MM/DD'"), 0) << s->errorText();
    EXPECT_EQ(s->value("select d from t"), "2024/04/01");
    EXPECT_EQ(s->value("select value from nls_session_parameters \nwhere parameter = 'NLS_DATE_FORMAT'"),
              "YYYY/MM/DD");
    ASSERT_EQ(s->exec("insert into t values ('2024/05/06')"), 0) << s->errorText();
    EXPECT_EQ(s->value("select to_char(max(d), 'YYYY-MM-DD HH24:MI:SS DY') from t"),
              "2024-05-06 00:00:00 月");
    EXPECT_EQ(s->exec("alter session set NLS_DATE_FORMAT = 'YYYY/QQ'"), -1);
    EXPECT_EQ(s->errorCode(), 1821);
    EXPECT_EQ(s->exec("alter session set TIME_ZONE = '+25:00'"), -1);
    EXPECT_EQ(s->errorCode(), 1874);
    EXPECT_EQ(s->exec("alter session set TIME_ZONE = 'Asia/Tokyo'"), -1);
    EXPECT_EQ(s->errorCode(), 1882);
    EXPECT_EQ(s->exec("alter session set NLS_DATE_LANGUAGE = 'KLINGON'"), -1);
    EXPECT_EQ(s->errorCode(), 12705);
    EXPECT_EQ(s->exec("alter session set NO_SUCH_THING = 'x'"), -1);
    EXPECT_EQ(s->errorCode(), 2248);
    ASSERT_EQ(api.ctl("clock 2024-04-01 09:30:00"), "ok");
    std::vector<Row> rows;
    ASSERT_EQ(s->query("select to_char(sysdate, :X0) from dual \n", rows, {"YYYY-MM-DD"}), 0)
        << s->errorText();
    EXPECT_EQ(*rows[0][0], "2024-04-01");
    EXPECT_EQ(s->value("select to_date('06.05.2024', 'DD.MM.YYYY') from dual"), "2024/05/06");
    EXPECT_EQ(
        s->value("select to_timestamp('2024-04-01 10:20:30.5', 'YYYY-MM-DD HH24:MI:SS.FF') x from dual"),
        "24-04-01 10:20:30.500000000");
    ASSERT_EQ(s->exec("create table ts (a timestamp(3), b timestamp(6) with time zone)"), 0)
        << s->errorText();
    ASSERT_EQ(s->exec("insert into ts values ('2024-04-01 10:20:30.123456', '2024-04-01 10:20:30.5 +09:00')"),
              0);
    EXPECT_EQ(s->value("select a from ts"), "24-04-01 10:20:30.123");
    EXPECT_EQ(s->value("select b from ts"), "24-04-01 10:20:30.500000 +09:00");
    ASSERT_EQ(s->exec("alter session set NLS_DATE_LANGUAGE = 'AMERICAN'"), 0);
    EXPECT_EQ(s->value("select to_char(sysdate, 'DD-MON-YYYY HH:MI AM') from dual"), "01-APR-2024 09:30 AM");
}

TEST_F(ValuesTest, InsertSelectChecksEveryRow) {
    ASSERT_EQ(s->exec("create table src (a varchar2(20), b varchar2(20), c varchar2(20))"), 0);
    ASSERT_EQ(s->exec("create table dst (a varchar2(3) not null, b number(3,1), c char(4))"), 0);
    ASSERT_EQ(s->exec("insert into src values ('ab', '12.34', 'x')"), 0);
    ASSERT_EQ(s->exec("insert into dst select a, b, c from src"), 0) << s->errorText();
    EXPECT_EQ(s->value("select b || '[' || c || ']' from dst"), "12.3[x   ]") << "converted and padded";
    ASSERT_EQ(s->exec("insert into dst (c, a) (select c, a from src)"), 0) << s->errorText();
    EXPECT_EQ(s->value("select count(*) from dst where b is null"), "1");

    ASSERT_EQ(s->exec("insert into src values ('abcd', '1', 'x')"), 0);
    EXPECT_EQ(s->exec("insert into dst select a, b, c from src"), -1);
    EXPECT_EQ(s->errorCode(), 12899);
    EXPECT_NE(s->errorText().find("\"SYSTEM\".\"DST\".\"A\" (actual: 4, maximum: 3)"), std::string::npos)
        << s->errorText();
    EXPECT_EQ(s->value("select count(*) from dst"), "2") << "the statement undone";
    ASSERT_EQ(s->exec("delete from src where a = 'abcd'"), 0);

    ASSERT_EQ(s->exec("insert into src values (null, '1', 'x')"), 0);
    EXPECT_EQ(s->exec("insert into dst select * from src"), -1);
    EXPECT_EQ(s->errorCode(), 1400);
    ASSERT_EQ(s->exec("update src set a = 'q', b = '999'"), 0);
    EXPECT_EQ(s->exec("insert into dst select * from src"), -1);
    EXPECT_EQ(s->errorCode(), 1438);
    ASSERT_EQ(s->exec("update src set b = 'x1'"), 0);
    EXPECT_EQ(s->exec("insert into dst select * from src"), -1);
    EXPECT_EQ(s->errorCode(), 1722);
    ASSERT_EQ(s->exec("create table dd (d date)"), 0);
    ASSERT_EQ(s->exec("alter session set NLS_DATE_FORMAT = 'YYYY-MM-DD'"), 0);
    EXPECT_EQ(s->exec("insert into dd select 'x2024-01-01' from dual"), -1);
    EXPECT_EQ(s->errorCode(), 1858) << s->errorText();
    ASSERT_EQ(s->exec("alter session set NLS_DATE_FORMAT = '\"D\"YYYY-MM-DD'"), 0);
    EXPECT_EQ(s->exec("insert into dd select 'E2024-01-01' from dual"), -1);
    EXPECT_EQ(s->errorCode(), 1861) << s->errorText();
    ASSERT_EQ(s->exec("alter session set NLS_DATE_FORMAT = 'YYYY-MM-DD'"), 0);
    EXPECT_EQ(s->exec("insert into dd select '2024-01-02' from dual"), 0) << s->errorText();
    EXPECT_EQ(s->value("select d from dd"), "2024-01-02");

    EXPECT_EQ(s->exec("insert into dst select a, b from src"), -1);
    EXPECT_EQ(s->errorCode(), 947);
    EXPECT_EQ(s->exec("insert into dst (a) select a, b from src"), -1);
    EXPECT_EQ(s->errorCode(), 913);
}

TEST_F(ValuesTest, VirtualColumnsUseOracleExpressions) {
    ASSERT_EQ(s->exec("create table v (a varchar2(10), d date, n number, "
                      "label varchar2(30) generated always as (a || '-' || nvl(to_char(n), 'none')) virtual, "
                      "due date as (d + 30), half number as (n / 4))"),
              0)
        << s->errorText();
    ASSERT_EQ(s->exec("alter session set NLS_DATE_FORMAT = 'YYYY-MM-DD'"), 0);
    ASSERT_EQ(s->exec("insert into v (a, d, n) values ('x', '2024-01-15', 2)"), 0) << s->errorText();
    ASSERT_EQ(s->exec("insert into v (a, d, n) values (null, null, null)"), 0) << s->errorText();
    std::vector<Row> rows;
    ASSERT_EQ(s->query("select label, due, half from v order by a nulls last", rows), 0) << s->errorText();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(*rows[0][0], "x-2") << "|| and NVL as Oracle evaluates them";
    EXPECT_EQ(*rows[0][1], "2024-02-14");
    EXPECT_EQ(*rows[0][2], ".5");
    EXPECT_EQ(*rows[1][0], "-none") << "NULL concatenates as empty text";
    EXPECT_FALSE(rows[1][1]);
    EXPECT_EQ(
        s->value("select virtual_column from all_tab_cols where table_name = 'V' and column_name = 'DUE'"),
        "YES");
}

TEST_F(ValuesTest, DefaultsUseOracleExpressions) {
    ASSERT_EQ(s->exec("create table df (id number primary key, d date default sysdate not null, "
                      "t varchar2(20) default 'x' || 'y', u varchar2(30) default user null, "
                      "e varchar2(5) default '', n number default (2 + 3) * 2, "
                      "s varchar2(20) default nvl(null, 'z') check (s is not null))"),
              0)
        << s->errorText();
    ASSERT_EQ(s->exec("alter session set NLS_DATE_FORMAT = 'YYYY-MM-DD'"), 0);
    ASSERT_EQ(s->exec("insert into df (id) values (1)"), 0) << s->errorText();
    std::vector<Row> rows;
    ASSERT_EQ(s->query("select d, t, u, e, n, s, to_char(sysdate, 'YYYY-MM-DD'), user from df", rows), 0)
        << s->errorText();
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_TRUE(rows[0][0]);
    EXPECT_EQ(*rows[0][0], *rows[0][6]) << "a date in the session's format";
    EXPECT_EQ(*rows[0][1], "xy");
    EXPECT_EQ(*rows[0][2], *rows[0][7]);
    EXPECT_FALSE(rows[0][3]) << "empty text is NULL";
    EXPECT_EQ(*rows[0][4], "10");
    EXPECT_EQ(*rows[0][5], "z");
    EXPECT_EQ(s->value("select count(*) from df where d > sysdate - 1"), "1");
    EXPECT_EQ(s->exec("insert into df (id, s) values (2, null)"), -1) << "the check after the default stays";
    // The dictionary shows each default as written.
    std::vector<Row> defaults;
    ASSERT_EQ(
        s->query("select column_name, data_default from all_tab_columns where table_name = 'DF' order by "
                 "column_id",
                 defaults),
        0);
    std::vector<std::string> texts;
    for (auto& r : defaults) texts.push_back(r[1] ? *r[1] : "<NULL>");
    EXPECT_EQ(texts, (std::vector<std::string>{"<NULL>", "sysdate", "'x' || 'y'", "user", "''", "(2 + 3) * 2",
                                               "nvl(null, 'z')"}));
    ASSERT_EQ(s->exec("alter table df add (w number default 7 * 6, g varchar2(9) default 'abc')"), 0)
        << s->errorText();
    EXPECT_EQ(s->value("select data_default from all_tab_cols where table_name = 'DF' and column_name = 'W'"),
              "7 * 6");
    // An expression default fills the rows already there and the rows to come.
    ASSERT_EQ(s->exec("insert into df (id) values (2)"), 0) << s->errorText();
    EXPECT_EQ(s->value("select sum(w) || g from df group by g"), "84abc");
    ASSERT_EQ(s->exec("alter table df add (z date default sysdate not null)"), 0) << s->errorText();
    EXPECT_EQ(s->value("select count(*) from df where z > sysdate - 1"), "2");
    ASSERT_EQ(s->exec("drop table df"), 0);
    ASSERT_EQ(s->exec("create table df (id number, d date)"), 0);
    EXPECT_EQ(s->value("select count(data_default) from all_tab_columns where table_name = 'DF'"), "0")
        << "nothing left of the dropped table";
}

TEST_F(ValuesTest, VirtualColumnsWithoutATypeDescribeByTheirExpression) {
    ASSERT_EQ(s->exec("create table vt (a varchar2(10), b char(4), n number(5), d date, "
                      "ab as (a || b), up as (upper(a)), len as (length(a)), tw as (n * 2), due as (d + 1), "
                      "days as (d - d), lit as ('abc'), same as (n), odd as (case when n > 0 then n end))"),
              0)
        << s->errorText();
    std::vector<Row> rows;
    ASSERT_EQ(s->query("select column_name, data_type, data_length, data_default, virtual_column from "
                       "all_tab_cols where table_name = 'VT' and column_id > 4 order by column_id",
                       rows),
              0);
    std::vector<std::string> got;
    for (auto& r : rows) got.push_back(*r[0] + " " + (r[1] ? *r[1] : "?") + " " + (r[2] ? *r[2] : "?"));
    EXPECT_EQ(got, (std::vector<std::string>{"AB VARCHAR2 14", "UP VARCHAR2 10", "LEN NUMBER 22",
                                             "TW NUMBER 22", "DUE DATE 7", "DAYS NUMBER 22", "LIT VARCHAR2 3",
                                             "SAME NUMBER 22", "ODD VARCHAR2 4000"}));
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(*rows[0][3], "a || b") << "the expression as written";
    EXPECT_EQ(*rows[0][4], "YES");
    ASSERT_EQ(s->exec("insert into vt (a, b, n, d) values ('x', 'y', 3, '2024-01-01')"), 0) << s->errorText();
    ASSERT_EQ(s->query("select ab, up, len, tw from vt", rows), 0) << s->errorText();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(*rows[0][0], "xy   ");
    EXPECT_EQ(*rows[0][1], "X");
    EXPECT_EQ(*rows[0][2], "1");
    EXPECT_EQ(*rows[0][3], "6");
}
