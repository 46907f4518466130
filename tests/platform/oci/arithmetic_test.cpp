// Date arithmetic, number format models, to_timestamp and the session's
// numeric characters and time zone.
#include "oci_fixture.h"

using namespace ocitest;

namespace {

class ArithmeticTest : public SystemSessionTest {
protected:
    void SetUp() override {
        SystemSessionTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(s->exec("alter session set NLS_DATE_FORMAT = 'YYYY-MM-DD HH24:MI:SS'"), 0);
    }
};

} // namespace

TEST_F(ArithmeticTest, DatesPlusAndMinusDays) {
    EXPECT_EQ(s->value("select to_date('2024-02-28', 'YYYY-MM-DD') + 1 from dual"), "2024-02-29 00:00:00");
    EXPECT_EQ(s->value("select 2 + to_date('2023-12-31', 'YYYY-MM-DD') from dual"), "2024-01-02 00:00:00");
    EXPECT_EQ(s->value("select to_date('2024-03-01', 'YYYY-MM-DD') - 1 from dual"), "2024-02-29 00:00:00");
    EXPECT_EQ(s->value("select to_date('2024-03-01', 'YYYY-MM-DD') - 1/24 from dual"), "2024-02-29 23:00:00");
    EXPECT_EQ(s->value("select to_date('2024-03-01', 'YYYY-MM-DD') + .5 - 1 from dual"),
              "2024-02-29 12:00:00");
    EXPECT_EQ(s->value("select to_date('0001-01-01', 'YYYY-MM-DD') + 738976 from dual"),
              "2024-04-01 00:00:00");
    EXPECT_EQ(s->value("select to_date('2024-03-01', 'YYYY-MM-DD') - to_date('2023-03-01', 'YYYY-MM-DD') "
                       "from dual"),
              "366");
    EXPECT_EQ(s->value("select to_date('2024-03-01 18:00:00', 'YYYY-MM-DD HH24:MI:SS') - "
                       "to_date('2024-03-01', 'YYYY-MM-DD') from dual"),
              ".75");
    EXPECT_EQ(s->value("select to_date('2024-03-01', 'YYYY-MM-DD') + to_date('2024-03-01', 'YYYY-MM-DD') "
                       "from dual"),
              "<ERR 975>");
    EXPECT_EQ(s->value("select 1 - to_date('2024-03-01', 'YYYY-MM-DD') from dual"), "<ERR 932>");
    EXPECT_EQ(s->value("select to_date('9999-12-31', 'YYYY-MM-DD') + 1 from dual"), "<ERR 1841>");
    EXPECT_EQ(s->value("select to_date('2024-03-01', 'YYYY-MM-DD') + null from dual"), "<NULL>");
    // Numbers still add as numbers, text as numbers, and || keeps its place.
    EXPECT_EQ(s->value("select 9223372036854775807 - 1 from dual"), "9223372036854775806");
    EXPECT_EQ(s->value("select '2' + 3 from dual"), "5");
    EXPECT_EQ(s->value("select 'x' + 3 from dual"), "<ERR 1722>");
    EXPECT_EQ(s->value("select 'a' || 1 + 2 from dual"), "<ERR 1722>");
    EXPECT_EQ(s->value("select 1 + 2 || 'a' from dual"), "3a");
    EXPECT_EQ(s->value("select -2 - -3 from dual"), "1");
    // Columns and binds.
    ASSERT_EQ(s->exec("create table d (id number, at date)"), 0);
    ASSERT_EQ(s->exec("insert into d values (1, to_date('2024-04-01', 'YYYY-MM-DD'))"), 0);
    ASSERT_EQ(s->exec("update d set at = at + :X0 where id + 1 = 2", {"7"}), 0) << s->errorText();
    EXPECT_EQ(s->value("select at from d"), "2024-04-08 00:00:00");
    EXPECT_EQ(s->value("select count(*) from d where at - 7 = to_date('2024-04-01', 'YYYY-MM-DD')"), "1");
}

TEST_F(ArithmeticTest, NumberFormatModels) {
    EXPECT_EQ(s->value("select to_char(1234.5, '9999.99') from dual"), " 1234.50");
    EXPECT_EQ(s->value("select to_char(-1234.5, '9,999.99') from dual"), "-1,234.50");
    EXPECT_EQ(s->value("select to_char(5, '999') from dual"), "   5");
    EXPECT_EQ(s->value("select to_char(-5, '999') from dual"), "  -5");
    EXPECT_EQ(s->value("select to_char(5, '000') from dual"), " 005");
    EXPECT_EQ(s->value("select to_char(0, '999') from dual"), "   0");
    EXPECT_EQ(s->value("select to_char(.5, '9.99') from dual"), "  .50");
    EXPECT_EQ(s->value("select to_char(.5, '0.99') from dual"), " 0.50");
    EXPECT_EQ(s->value("select to_char(1.5, 'FM9.99') from dual"), "1.5");
    EXPECT_EQ(s->value("select to_char(1234567, 'FM9G999G999') from dual"), "1,234,567");
    EXPECT_EQ(s->value("select to_char(12345, '999') from dual"), "####");
    EXPECT_EQ(s->value("select to_char(2.456, '9.9') from dual"), " 2.5");
    EXPECT_EQ(s->value("select to_char(-7, 'S99') from dual"), " -7");
    EXPECT_EQ(s->value("select to_char(7, 'FMS99') from dual"), "+7");
    EXPECT_EQ(s->value("select to_char(-7, '99MI') from dual"), " 7-");
    EXPECT_EQ(s->value("select to_char(-7, '99PR') from dual"), " <7>");
    EXPECT_EQ(s->value("select to_char(12, '$999') from dual"), "  $12");
    EXPECT_EQ(s->value("select to_char(255, 'XXXX') from dual"), "   FF");
    EXPECT_EQ(s->value("select to_char(255, 'FMXX') from dual"), "FF");
    EXPECT_EQ(s->value("select to_char(255, '0XXX') from dual"), " 00FF");
    EXPECT_EQ(s->value("select to_char(1, '9A9') from dual"), "<ERR 1481>");
    EXPECT_EQ(s->value("select to_char(123.456, '9.999EEEE') from dual"), " 1.235E+02");
    EXPECT_EQ(s->value("select to_char(-0.00012, 'FM9.9EEEE') from dual"), "-1.2E-04");
    EXPECT_EQ(s->value("select to_char(12.345, '99V99') from dual"), " 1235");
    EXPECT_EQ(s->value("select to_char(1999, 'RN') from dual"), "        MCMXCIX");
    EXPECT_EQ(s->value("select to_char(14, 'FMrn') from dual"), "xiv");
    EXPECT_EQ(s->value("select to_char(4000, 'RN') from dual"), "###############");
    EXPECT_EQ(s->value("select to_char(1234.5, 'TM') || ' ' || to_char(-.25, 'TM9') from dual"),
              "1234.5 -.25");
    EXPECT_EQ(s->value("select to_char(1234.5, 'TME') from dual"), "1.2345E+03");
    EXPECT_EQ(s->value("select to_char(12, 'FML999') || to_char(3, '9L') from dual"), "￥12 3￥")
        << "the currency of the client's territory";
    std::vector<Row> rows;
    ASSERT_EQ(s->query("select to_char(12, :X0) from dual", rows, {"FM000"}), 0) << s->errorText();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "012") << "bound format";
}

TEST_F(ArithmeticTest, ToTimestamp) {
    ASSERT_EQ(s->exec("create table ts (t timestamp(6))"), 0);
    ASSERT_EQ(s->exec("insert into ts values (to_timestamp('2024-04-01 09:30:15.25', "
                      "'YYYY-MM-DD HH24:MI:SS.FF'))"),
              0)
        << s->errorText();
    ASSERT_EQ(s->exec("alter session set NLS_TIMESTAMP_FORMAT = 'YYYY/MM/DD HH24:MI:SSXFF'"), 0);
    EXPECT_EQ(s->value("select t from ts"), "2024/04/01 09:30:15.250000");
    EXPECT_EQ(s->value("select to_char(to_timestamp('2024/04/01 01:02:03.5') + 1) from dual"),
              "2024-04-02 01:02:03")
        << "the session's format by default; plus days gives a date";
    EXPECT_EQ(s->value("select to_timestamp('2024-99-01', 'YYYY-MM-DD') from dual"), "<ERR 1843>");
    EXPECT_EQ(s->value("select to_timestamp(null) from dual"), "<NULL>");
}

TEST_F(ArithmeticTest, SessionNumericCharactersAndTimeZone) {
    ASSERT_EQ(s->exec("alter session set NLS_NUMERIC_CHARACTERS = ',.'"), 0);
    EXPECT_EQ(s->value("select 1.5 from dual"), "1,5");
    EXPECT_EQ(s->value("select to_char(1234.5, '9G999D99') from dual"), " 1.234,50");
    EXPECT_EQ(s->value("select to_char(-.25) from dual"), "-,25");
    EXPECT_EQ(s->value("select value from nls_session_parameters where parameter = 'NLS_NUMERIC_CHARACTERS'"),
              ",.");
    ASSERT_EQ(s->exec("create table nc (n number)"), 0);
    ASSERT_EQ(s->exec("insert into nc values (:X0)", {"2,75"}), 0) << s->errorText();
    EXPECT_EQ(s->exec("insert into nc values (:X0)", {"2.75"}), -1);
    EXPECT_EQ(s->errorCode(), 1722);
    EXPECT_EQ(s->value("select n * 2 from nc"), "5,5");
    EXPECT_EQ(s->value("select to_number('0,5') + 1 from dual"), "1,5");
    EXPECT_EQ(s->exec("alter session set NLS_NUMERIC_CHARACTERS = '..'"), -1);
    EXPECT_EQ(s->errorCode(), 12705);
    EXPECT_EQ(s->exec("alter session set NLS_NUMERIC_CHARACTERS = '1,'"), -1);
    ASSERT_EQ(s->exec("alter session set TIME_ZONE = '-03:30'"), 0);
    EXPECT_EQ(s->value("select sessiontimezone from dual"), "-03:30");
    ASSERT_EQ(s->exec("alter session set TIME_ZONE = '+09:00'"), 0);
    EXPECT_EQ(s->value("select sessiontimezone from dual"), "+09:00");
}

TEST_F(ArithmeticTest, LocalTimeZoneValuesFollowTheSession) {
    ASSERT_EQ(api.ctl("clock 2024-04-01 09:30:00"), "ok");
    ASSERT_EQ(s->exec("alter session set NLS_TIMESTAMP_FORMAT = 'YYYY-MM-DD HH24:MI:SSXFF'"), 0);
    ASSERT_EQ(s->exec("alter session set NLS_TIMESTAMP_TZ_FORMAT = 'YYYY-MM-DD HH24:MI:SSXFF TZR'"), 0);
    ASSERT_EQ(s->exec("create table tz (id number, l timestamp(6) with local time zone, z timestamp(3) with "
                      "time zone, p timestamp(2))"),
              0);
    ASSERT_EQ(s->exec("alter session set TIME_ZONE = '+09:00'"), 0);
    ASSERT_EQ(s->exec("insert into tz values (1, :X0, :X0, :X0)", {"2024-04-01 09:00:00.1234567"}), 0)
        << s->errorText();
    // Written by the session's formats; an explicit zone wins.
    ASSERT_EQ(s->exec("insert into tz values (2, :X0, :X0, null)", {"2024-04-01 23:30:00.5 -05:00"}), 0)
        << s->errorText();
    std::vector<Row> rows;
    ASSERT_EQ(s->query("select l, z, p, to_char(l, 'HH24:MI TZR') from tz order by id", rows), 0)
        << s->errorText();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(*rows[0][0], "2024-04-01 09:00:00.123457");
    EXPECT_EQ(*rows[0][1], "2024-04-01 09:00:00.123 +09:00");
    EXPECT_EQ(*rows[0][2], "2024-04-01 09:00:00.12");
    EXPECT_EQ(*rows[0][3], "09:00 +09:00");
    EXPECT_EQ(*rows[1][0], "2024-04-02 13:30:00.500000");
    EXPECT_EQ(*rows[1][1], "2024-04-01 23:30:00.500 -05:00");

    // Another zone shows the same instants in its own time; the others stay as written.
    ASSERT_EQ(s->exec("alter session set TIME_ZONE = '-03:30'"), 0);
    ASSERT_EQ(s->query("select l, z, p, to_char(l, 'YYYY-MM-DD HH24:MI') from tz order by id", rows), 0);
    EXPECT_EQ(*rows[0][0], "2024-03-31 20:30:00.123457");
    EXPECT_EQ(*rows[0][1], "2024-04-01 09:00:00.123 +09:00");
    EXPECT_EQ(*rows[0][2], "2024-04-01 09:00:00.12");
    EXPECT_EQ(*rows[0][3], "2024-03-31 20:30");
    EXPECT_EQ(*rows[1][0], "2024-04-02 01:00:00.500000");
    ASSERT_EQ(s->exec("alter session set TIME_ZONE = 'DBTIMEZONE'"), 0);
    EXPECT_EQ(s->value("select sessiontimezone || ' ' || dbtimezone from dual"), "+00:00 +00:00");
    EXPECT_EQ(s->value("select l from tz where id = 1"), "2024-04-01 00:00:00.123457");
    EXPECT_EQ(s->exec("insert into tz (id, l) values (3, :X0)", {"2024-13-01 00:00:00"}), -1);
    EXPECT_EQ(s->errorCode(), 1843);
    EXPECT_EQ(s->exec("insert into tz (id, z) values (3, :X0)", {"2024-01-01 00:00:00.0 Mars/Base"}), -1);
    EXPECT_EQ(s->errorCode(), 1882);

    // The session's clock functions, under a fixed clock in the process's zone.
    ASSERT_EQ(s->exec("alter session set TIME_ZONE = 'LOCAL'"), 0);
    std::string local = s->value("select sessiontimezone from dual");
    EXPECT_EQ(s->value("select to_char(current_date, 'YYYY-MM-DD HH24:MI:SS') from dual"),
              "2024-04-01 09:30:00");
    EXPECT_EQ(s->value("select localtimestamp from dual"), "2024-04-01 09:30:00.000000");
    EXPECT_EQ(s->value("select current_timestamp from dual"), "2024-04-01 09:30:00.000000 " + local);
    EXPECT_EQ(s->value("select sysdate from dual"), "2024-04-01 09:30:00") << "a DATE by NLS_DATE_FORMAT";
    int hours = std::stoi(local.substr(1, 2)) * (local[0] == '-' ? -1 : 1);
    ASSERT_EQ(s->exec(std::string("alter session set TIME_ZONE = '") + (hours + 1 < 0 ? "-" : "+") +
                      (std::abs(hours + 1) < 10 ? "0" : "") + std::to_string(std::abs(hours + 1)) +
                      local.substr(3) + "'"),
              0)
        << s->errorText();
    EXPECT_EQ(s->value("select to_char(current_date, 'HH24:MI') || ' ' || to_char(sysdate, 'HH24:MI') from "
                       "dual"),
              "10:30 09:30");
    EXPECT_EQ(s->value("select localtimestamp from dual"), "2024-04-01 10:30:00.000000");
    ASSERT_EQ(api.ctl("clock system"), "ok");
}

TEST_F(ArithmeticTest, TimestampDifferencesAreIntervals) {
    EXPECT_EQ(s->value("select to_timestamp('2024-04-02 03:04:05', 'YYYY-MM-DD HH24:MI:SS') - "
                       "to_timestamp('2024-04-01 01:01:01', 'YYYY-MM-DD HH24:MI:SS') from dual"),
              "+01 02:03:04.000000");
    EXPECT_EQ(s->value("select to_timestamp('2024-04-01 00:00:00.25', 'YYYY-MM-DD HH24:MI:SS.FF') - "
                       "to_timestamp('2024-04-01 00:00:01', 'YYYY-MM-DD HH24:MI:SS') from dual"),
              "-00 00:00:00.750000");
    EXPECT_EQ(
        s->value("select to_timestamp('2024-04-01', 'YYYY-MM-DD') - to_date('2024-03-01', 'YYYY-MM-DD') "
                 "from dual"),
        "+31 00:00:00.000000");
    EXPECT_EQ(
        s->value("select to_date('2024-04-02', 'YYYY-MM-DD') - to_date('2024-04-01', 'YYYY-MM-DD') from "
                 "dual"),
        "1")
        << "dates still give days";
    ASSERT_EQ(s->exec("create table iv (a timestamp with time zone, b timestamp with local time zone)"), 0);
    ASSERT_EQ(s->exec("insert into iv values (:X0, :X1)",
                      {"2024-04-01 09:00:00 +09:00", "2024-04-01 00:00:00 +00:00"}),
              0)
        << s->errorText();
    EXPECT_EQ(s->value("select a - b from iv"), "+00 00:00:00.000000") << "the same instant";
}
