// Oracle SQL semantics on SQLite: expressions, names, transactions and refusals.
#include "oci_fixture.h"

using namespace ocitest;

namespace {

class TranslatorTest : public SystemSessionTest {};

} // namespace

TEST_F(TranslatorTest, ConcatenationAndNullRules) {
    EXPECT_EQ(s->value("select '1' || 2 + 3 from dual"), "15");
    EXPECT_EQ(s->value("select 2 * 3 || 4 from dual"), "64");
    EXPECT_EQ(s->value("select 'a' || NULL || 'b' from dual"), "ab");
    EXPECT_EQ(s->value("select NULL || NULL from dual"), "<NULL>");
    EXPECT_EQ(s->value("select 'x' || .5 from dual"), "x.5");
    EXPECT_EQ(s->value("select decode(NULL, NULL, 'y', 'n') from dual"), "y");
    EXPECT_EQ(s->value("select decode(2, 1, 'one', 2, 'two') from dual"), "two");
    EXPECT_EQ(s->value("select decode(3, 1, 'one', 2, 'two') from dual"), "<NULL>");
    EXPECT_EQ(s->value("select nvl('', 'x') from dual"), "x");
    EXPECT_EQ(s->value("select substr('abc', 0, 2) from dual"), "ab");
    EXPECT_EQ(s->value("select substr('あいうえお', -2) from dual"), "えお");
    EXPECT_EQ(s->value("select instr('abcabc', 'c', 1, 2) from dual"), "6");
    EXPECT_EQ(s->value("select length('あいう') from dual"), "3");
    EXPECT_EQ(s->value("select count(*) from dual where '' is null"), "1");
    EXPECT_EQ(s->value("select count(*) from dual where 1 ^= 2"), "1");
    EXPECT_EQ(s->value("select to_char(to_date('2024/04/01', 'YYYY/MM/DD'), 'YYYY-MM-DD') from dual"),
              "2024-04-01");
}

TEST_F(TranslatorTest, NamesAndQueries) {
    ASSERT_EQ(s->exec("create table emp (id number(4) primary key, name varchar2(20), dept number(2))"), 0);
    ASSERT_EQ(s->exec("create table dept (id number(2) primary key, dname varchar2(20))"), 0);
    ASSERT_EQ(s->exec("insert into dept values (10, 'SALES')"), 0);
    ASSERT_EQ(s->exec("insert into dept values (20, 'RESEARCH')"), 0);
    for (int i = 1; i <= 4; ++i)
        ASSERT_EQ(s->exec("insert into emp values (:X0, :X1, :X2)",
                          {std::to_string(i), "abc" + std::to_string(i), i % 2 ? "10" : "20"}),
                  0)
            << s->errorText();
    EXPECT_EQ(s->value("select count(*) from emp where name like 'A%'"), "0");
    EXPECT_EQ(s->value("select count(*) from emp where name like 'a%'"), "4");
    EXPECT_EQ(
        s->value(
            "select count(*) from \"SYSTEM\".\"EMP\" e, dept d where e.dept = d.id and d.dname = 'SALES'"),
        "2");
    EXPECT_EQ(s->value("select max(d.dname) from emp e join dept d on e.dept = d.id"), "SALES");
    EXPECT_EQ(s->value("select count(distinct dept) from emp"), "2");
    EXPECT_EQ(s->value("select count(*) from (select dept from emp group by dept)"), "2");
    EXPECT_EQ(s->value("select count(*) from (select id from emp minus select id from emp where id > 1)"),
              "1");
    EXPECT_EQ(s->value("select name from emp where id = (select max(id) from emp) order by name"), "abc4");
    EXPECT_EQ(s->value("select count(*) from emp a where exists (select 1 from dept where dept.id = a.dept)"),
              "4");
    EXPECT_EQ(s->exec("select * from Emp"), 0) << "unquoted names are upper-cased";
    EXPECT_EQ(s->exec("select * from \"emp\""), -1);
    EXPECT_EQ(s->errorCode(), 942);
    EXPECT_EQ(s->exec("select nosuch from emp"), -1);
    EXPECT_EQ(s->errorCode(), 904);
    EXPECT_EQ(s->lastOffset(), 7);
    EXPECT_EQ(s->exec("select id from emp, dept"), -1);
    EXPECT_EQ(s->errorCode(), 918);
    EXPECT_EQ(s->exec("insert into dept values (10, 'DUP')"), -1);
    EXPECT_EQ(s->errorCode(), 1);
}

TEST_F(TranslatorTest, RefusalsNeverSucceedSilently) {
    EXPECT_EQ(s->exec("select 1 from dual connect by level < 3"), -1);
    EXPECT_EQ(s->errorCode(), 3001);
    EXPECT_EQ(s->lastOffset(), 19);
    EXPECT_EQ(s->exec("select rownum from dual"), -1);
    EXPECT_EQ(s->errorCode(), 3001);
    EXPECT_EQ(s->exec("select 1 from dual a, dual b where a.dummy = b.dummy(+)"), -1);
    EXPECT_EQ(s->errorCode(), 3001);
    EXPECT_EQ(s->exec("begin null; end;"), -1);
    EXPECT_EQ(s->exec("select 1 from dual;"), -1);
    EXPECT_EQ(s->errorCode(), 911);
    EXPECT_EQ(s->lastOffset(), 18);
    EXPECT_EQ(s->exec("select from"), -1);
    EXPECT_NE(s->errorCode(), 0);
    EXPECT_EQ(s->exec("select 'abc from dual"), -1);
    EXPECT_EQ(s->errorCode(), 1756);
}

TEST_F(TranslatorTest, SavepointsAndRollback) {
    ASSERT_EQ(s->exec("create table t (a number)"), 0);
    ASSERT_EQ(s->exec("insert into t values (1)"), 0);
    ASSERT_EQ(s->exec("savepoint tavex_p1"), 0);
    ASSERT_EQ(s->exec("insert into t values (2)"), 0);
    ASSERT_EQ(s->exec("rollback to tavex_p1"), 0) << s->errorText();
    EXPECT_EQ(s->value("select count(*) from t"), "1");
    EXPECT_EQ(s->exec("rollback to savepoint nosuch"), -1);
    EXPECT_EQ(s->errorCode(), 1086);
    ASSERT_EQ(s->exec("commit"), 0);
    EXPECT_EQ(s->exec("rollback to tavex_p1"), -1);
    EXPECT_EQ(s->errorCode(), 1086);
    ASSERT_EQ(s->exec("insert into t values (3)"), 0);
    ASSERT_EQ(s->exec("rollback"), 0);
    EXPECT_EQ(s->value("select count(*) from t"), "1");
}

TEST_F(TranslatorTest, ForUpdateLocksAgainstOtherSessions) {
    ASSERT_EQ(s->exec("create table t (a number)"), 0);
    ASSERT_EQ(s->exec("insert into t values (1)"), 0);
    ASSERT_EQ(s->exec("commit"), 0);
    ASSERT_EQ(s->exec("select a from t for update"), 0) << s->errorText();
    Session8 other(api);
    ASSERT_EQ(other.logon("system", "manager"), 0);
    EXPECT_EQ(other.exec("select a from t where a = 1 for update nowait"), -1);
    EXPECT_EQ(other.errorCode(), 54);
    EXPECT_EQ(other.value("select count(*) from t"), "1") << "reads are not blocked";
    ASSERT_EQ(s->exec("commit"), 0);
    EXPECT_EQ(other.exec("select a from t for update nowait"), 0) << other.errorText();
}

TEST_F(TranslatorTest, SynonymsAndOtherSchemas) {
    ASSERT_EQ(s->exec("create user app identified by app"), 0);
    Session8 app(api);
    ASSERT_EQ(app.logon("app", "app"), 0);
    ASSERT_EQ(app.exec("create table items (code varchar2(5) primary key)"), 0);
    ASSERT_EQ(app.exec("insert into items values ('k1')"), 0);
    ASSERT_EQ(app.exec("commit"), 0);
    EXPECT_EQ(s->value("select code from app.items"), "k1");
    EXPECT_EQ(s->exec("select code from items"), -1);
    EXPECT_EQ(s->errorCode(), 942);
    EXPECT_EQ(app.exec("drop table items"), 0);
    EXPECT_EQ(s->exec("select code from app.items"), -1);
    EXPECT_EQ(s->errorCode(), 942);
}

// Conditions holding arithmetic inside CASE, DECODE, parentheses and unary
// minus are typed operand by operand: they answer, in the select list and in
// WHERE, and never recurse without end.
TEST_F(TranslatorTest, ArithmeticInsideCaseAndDecodeConditions) {
    ASSERT_EQ(s->exec("create table t (a number, b number, c number, d date)"), 0);
    ASSERT_EQ(s->exec("insert into t values (1, 2, 3, to_date('2024-04-01', 'YYYY-MM-DD'))"), 0);
    EXPECT_EQ(s->value("select case when a + b = c then 'x' else 'y' end from t"), "x");
    EXPECT_EQ(s->value("select count(*) from t where case when a + b = c then 'x' else 'y' end = 'x'"), "1");
    EXPECT_EQ(s->value("select case when 1 + 2 = 3 then 'x' else 'y' end from dual"), "x");
    EXPECT_EQ(s->value("select case when a * b - c = -1 then 'x' end from t"), "x");
    EXPECT_EQ(s->value("select case when ((a + b)) = (c) then 'x' end from t"), "x");
    EXPECT_EQ(s->value("select case when -a + b = 1 then 'x' end from t"), "x");
    EXPECT_EQ(s->value("select case when - (a - b) = 1 then 'x' end from t"), "x");
    EXPECT_EQ(s->value("select case when a + b = c then 1 else 0 end + 1 from t"), "2");
    EXPECT_EQ(s->value("select case when case when a + b = c then 1 end + 1 = 2 then 'x' end from t"), "x");
    EXPECT_EQ(s->value("select count(*) from t where a + case when a + b = c then 1 else 0 end = 2"), "1");
    EXPECT_EQ(s->value("select decode(a + b, c, 'x', 'y') from t"), "x");
    EXPECT_EQ(s->value("select decode(case when a + b = c then 1 end, 1, 'x', 'y') from t"), "x");
    EXPECT_EQ(s->value("select count(*) from t where decode(a + b, c, 1, 0) + 1 = 2"), "1");
    EXPECT_EQ(s->value("select to_char(case when a + b = c then d + 1 end, 'YYYY-MM-DD') from t"),
              "2024-04-02");
    EXPECT_EQ(s->value("select count(*) from t where case when d + 1 > d then '2024-04-01' end = d"), "1");
}

// Absurdly deep nesting gives an Oracle error, never a crashed stack; nesting
// of ordinary depth still translates.
TEST_F(TranslatorTest, NestingDepthIsBounded) {
    auto nested = [](int n, const std::string& open, const std::string& inner, const std::string& close) {
        std::string s;
        for (int i = 0; i < n; ++i) s += open;
        s += inner;
        for (int i = 0; i < n; ++i) s += close;
        return s;
    };
    const int kDeep = 100000;
    EXPECT_EQ(s->exec("select " + nested(kDeep, "(", "1", ")") + " from dual"), -1);
    EXPECT_EQ(s->errorCode(), 3001);
    EXPECT_EQ(s->exec("select 1 from dual where " + nested(kDeep, "(", "1 = 1", ")")), -1);
    EXPECT_EQ(s->errorCode(), 3001);
    EXPECT_EQ(s->exec("select " + nested(kDeep, "- ", "1", "") + " from dual"), -1);
    EXPECT_EQ(s->errorCode(), 3001);
    EXPECT_EQ(s->exec("select " + nested(kDeep, "case when 1 + 1 = 2 then ", "1", " end") + " from dual"),
              -1);
    EXPECT_EQ(s->errorCode(), 3001);
    EXPECT_EQ(s->exec("select " + nested(kDeep, "decode(1, 1, ", "1", ")") + " from dual"), -1);
    EXPECT_EQ(s->errorCode(), 3001);
    EXPECT_EQ(s->exec("select " + nested(kDeep, "nvl(", "1", ", 0) + 1") + " from dual"), -1);
    EXPECT_EQ(s->errorCode(), 3001);

    // A scalar subquery's text is used twice: nested ones are bounded early.
    EXPECT_EQ(s->exec("select " + nested(40, "(select ", "1", " from dual)") + " from dual"), -1);
    EXPECT_EQ(s->errorCode(), 3001);

    EXPECT_EQ(s->value("select " + nested(3, "(select ", "1", " from dual)") + " from dual"), "1");
    EXPECT_EQ(s->value("select " + nested(40, "(", "1 + 1", ")") + " from dual"), "2");
    EXPECT_EQ(s->value("select " + nested(8, "case when 1 + 1 = 2 then ", "7", " end") + " from dual"), "7");
    EXPECT_EQ(s->value("select " + nested(8, "decode(1, 1, ", "7", ")") + " from dual"), "7");
    EXPECT_EQ(s->value("select " + nested(20, "- (", "7", ")") + " from dual"), "7");
    EXPECT_EQ(s->value("select " + nested(20, "- ", "7", "") + " from dual"), "7");
}
