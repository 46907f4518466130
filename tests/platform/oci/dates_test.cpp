// Dates, timestamps and intervals written to columns: every field is checked
// both ways and a text that is no date is refused with Oracle's error, bound
// through either call set; what is stored is what reads back, what is shown
// and what computes and compares.
#include "oci_fixture.h"

#include <cstring>
#include <filesystem>

#include "platform/oci/testing/sqlite_file.h"

using namespace ocitest;

namespace {

class DateValuesTest : public SystemSessionTest {
public:
    std::unique_ptr<Session7> s7;

    void SetUp() override {
        SystemSessionTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(
            s->exec("create table t (id number, d date, ts timestamp(6), tz timestamp(6) with time zone, "
                    "ltz timestamp(6) with local time zone, ym interval year(2) to month, "
                    "ds interval day(2) to second(6))"),
            0)
            << s->errorText();
        ASSERT_EQ(api.OCITransCommit(s->svc, s->err, 0), 0);
        s7 = std::make_unique<Session7>(api);
        ASSERT_EQ(s7->logon("system", "manager"), 0);
    }
    void TearDown() override {
        s7.reset();
        SystemSessionTest::TearDown();
    }
    // Both sessions under one format.
    void Formats(const std::string& date, const std::string& stamp = "YYYY-MM-DD HH24:MI:SS.FF") {
        const std::string sql[] = {"alter session set NLS_DATE_FORMAT = '" + date + "'",
                                   "alter session set NLS_TIMESTAMP_FORMAT = '" + stamp + "'",
                                   "alter session set NLS_TIMESTAMP_TZ_FORMAT = '" + stamp + " TZR'"};
        for (const std::string& q : sql) {
            ASSERT_EQ(s->exec(q), 0) << q << ": " << s->errorText();
            ASSERT_EQ(exec7(q, nullptr), 0) << q;
        }
    }
    // An Oracle 7 statement with :X0 bound as a string (none when value is
    // null): 0 or the cursor's Oracle error.
    int exec7(const std::string& sql, const char* value) {
        Cda_Def cda{};
        api.oopen(&cda, &s7->lda, nullptr, -1, -1, nullptr, -1);
        int code = 0;
        std::string v = value ? value : ""; // bound until the execution
        if (api.oparse(&cda, reinterpret_cast<OraText*>(const_cast<char*>(sql.c_str())), -1, 1, 1) != 0)
            code = cda.rc;
        if (!code && value) {
            if (api.obndra(&cda, reinterpret_cast<OraText*>(const_cast<char*>(":X0")), -1,
                           reinterpret_cast<ub1*>(v.data()), sword(v.size() + 1), SQLT_STR, -1, nullptr,
                           nullptr, nullptr, 0, nullptr, nullptr, -1, -1) != 0)
                code = cda.rc;
        }
        if (!code && api.oexec(&cda) != 0) code = cda.rc;
        api.oclose(&cda);
        return code;
    }
    // The error of writing text to the column, the same through both call sets.
    int Refused(const std::string& column, const std::string& text) {
        const std::string sql = "insert into t (id, " + column + ") values (1, :X0)";
        // Each session's write lock is given back before the other writes.
        int eight = s->exec(sql, {text}) == 0 ? 0 : s->errorCode();
        EXPECT_EQ(s->value("select count(*) from t"), "0") << column << " '" << text << "'";
        s->exec("rollback");
        int seven = exec7(sql, text.c_str());
        exec7("rollback", nullptr);
        EXPECT_EQ(seven, eight) << column << " '" << text << "': the Oracle 7 calls answer alike";
        return eight;
    }
};

} // namespace

TEST_F(DateValuesTest, FieldsOutOfRangeAreRefusedWithOraclesErrors) {
    Formats("YYYY-MM-DD HH24:MI:SS");
    const std::pair<const char*, int> dates[] = {
        // The stored form's shape, and the model's reading of other text.
        {"-3:-5:-9", 1841}, // the first field of the model, signed
        {"0000-01-01 00:00:00", 1841},
        {"0000-1-1 0:0:0", 1841},
        {"-2020-01-01 00:00:00", 1841},
        {"-0001-06-01", 1841},
        {"2020-13-01 00:00:00", 1843},
        {"2020-00-01", 1843},
        {"2020-01-00", 1847},
        {"2020-01-32 00:00:00", 1847},
        {"2021-02-29 00:00:00", 1839},
        {"2020-01-01 24:00:00", 1850},
        {"2020-01-01 10:60:00", 1851},
        {"2020-01-01 10:00:60", 1852},
        {"2020-01-01 23:00:00 PM", 1830},
        {"10000-01-01", 1861}};
    for (auto& [text, code] : dates) EXPECT_EQ(Refused("d", text), code) << text;

    // HH24 and a meridian indicator in one model read no date at all.
    Formats("YYYY-MM-DD HH24:MI AM");
    EXPECT_EQ(Refused("d", "2020-01-01 23:00 PM"), 1818);
    EXPECT_EQ(Refused("d", "2020-01-01 11:00 AM"), 1818);
    // A signed first field of the model.
    Formats("HH24:MI:SS");
    EXPECT_EQ(Refused("d", "-3:-5:-9"), 1850);
    Formats("MI");
    EXPECT_EQ(Refused("d", "-5"), 1851);
    Formats("YYYY-MM-DD");
    EXPECT_EQ(Refused("d", "-2020-01-01"), 1841);
    EXPECT_EQ(Refused("d", "0000-01-01"), 1841);

    // Timestamps: the stored form and the session's formats.
    Formats("YYYY-MM-DD HH24:MI:SS", "YYYY-MM-DD HH24:MI:SS.FF");
    const std::pair<const char*, int> stamps[] = {
        {"0000-01-01 00:00:00.000000", 1841},  {"2020-02-30 00:00:00.5", 1839},
        {"2020-01-01 10:00:61.5", 1852},       {"2020-01-01 10:00:00.1234567891", 1880},
        {"9999-12-31 23:59:59.9999999", 1841}, // rounds to six digits past the last day
        {"-2020-01-01 00:00:00.5", 1841}};
    for (auto& [text, code] : stamps) EXPECT_EQ(Refused("ts", text), code) << text;
    EXPECT_EQ(Refused("tz", "2020-01-01 00:00:00.000000 +15:00"), 1874);
    EXPECT_EQ(Refused("tz", "2020-01-01 00:00:00.000000 -13:00"), 1874);
    EXPECT_EQ(Refused("tz", "2020-01-01 00:00:00.000000 +09:60"), 1875);
    // Kept in the database's zone, the first instant of year 1 east of it is before year 1.
    EXPECT_EQ(Refused("ltz", "0001-01-01 00:00:00.000000 +09:00"), 1841);

    // Intervals.
    const std::pair<const char*, int> ym[] = {{"1-12", 1843}, {"100-01", 1873}, {"abc", 1867},
                                              {"1", 1867},    {"1-2-3", 1867},  {"+-1-2", 1867}};
    for (auto& [text, code] : ym) EXPECT_EQ(Refused("ym", text), code) << text;
    const std::pair<const char*, int> ds[] = {
        {"1 24:00:00", 1850},          {"1 00:60:00", 1851}, {"1 00:00:60", 1852}, {"100 00:00:00", 1873},
        {"99 23:59:59.9999999", 1873}, {"1 2:3", 1867},      {"1 -2:03:04", 1867}, {"x", 1867}};
    for (auto& [text, code] : ds) EXPECT_EQ(Refused("ds", text), code) << text;
}

// "10:-5:00" reads as 10:05:00 (the sign is punctuation between fields): the
// value shown is the one that computes and compares; what the stand-in
// wrote reads back at the ends of its range.
TEST_F(DateValuesTest, TheValueStoredIsTheValueShownComputedAndCompared) {
    Formats("YYYY-MM-DD HH24:MI:SS");
    ASSERT_EQ(s->exec("insert into t (id, d) values (1, :X0)", {"2020-01-01 10:-5:00"}), 0) << s->errorText();
    ASSERT_EQ(api.OCITransCommit(s->svc, s->err, 0), 0);
    ASSERT_EQ(exec7("insert into t (id, d) values (2, :X0)", "2020-01-01 10:-5:00"), 0);
    ASSERT_EQ(exec7("insert into t (id, d) values (3, :X0)", "2020-01-01 11:00 PM"), 1858);
    ASSERT_EQ(exec7("commit", nullptr), 0);
    // A sign after the blank between date and time as well.
    ASSERT_EQ(s->exec("insert into t (id, d) values (3, :X0)", {"2020-01-01 -3:-5:-9"}), 0) << s->errorText();
    std::vector<Row> rows;
    ASSERT_EQ(s->query("select id, d, d + 1, to_char(d, 'HH24MISS') from t order by id", rows), 0)
        << s->errorText();
    ASSERT_EQ(rows.size(), 3u);
    for (const Row& r : rows) {
        const bool third = *r[0] == "3";
        EXPECT_EQ(*r[1], third ? "2020-01-01 03:05:09" : "2020-01-01 10:05:00");
        EXPECT_EQ(*r[2], third ? "2020-01-02 03:05:09" : "2020-01-02 10:05:00");
        EXPECT_EQ(*r[3], third ? "030509" : "100500");
    }
    EXPECT_EQ(s->value("select count(*) from t where d > to_date('2020-01-01 10:01:00')"), "2");
    EXPECT_EQ(s->value("select count(*) from t where d = to_date('2020-01-01 10:05:00')"), "2");
    EXPECT_EQ(s->value("select count(*) from t where d < to_date('2020-01-01 03:05:10')"), "1");

    // A 12-hour model: PM adds twelve hours to its own hour only.
    ASSERT_EQ(s->exec("delete from t"), 0);
    ASSERT_EQ(api.OCITransCommit(s->svc, s->err, 0), 0);
    Formats("YYYY-MM-DD HH:MI AM");
    EXPECT_EQ(Refused("d", "2020-01-01 13:00 PM"), 1849);
    ASSERT_EQ(s->exec("insert into t (id, d) values (1, :X0)", {"2020-01-01 11:30 PM"}), 0) << s->errorText();
    ASSERT_EQ(api.OCITransCommit(s->svc, s->err, 0), 0);
    ASSERT_EQ(exec7("insert into t (id, d) values (2, :X0)", "2020-01-01 12:15 AM"), 0);
    ASSERT_EQ(exec7("commit", nullptr), 0);
    EXPECT_EQ(s->value("select to_char(d, 'YYYY-MM-DD HH24:MI') from t where id = 1"), "2020-01-01 23:30");
    EXPECT_EQ(s->value("select to_char(d, 'YYYY-MM-DD HH24:MI') from t where id = 2"), "2020-01-01 00:15");

    // The ends of the range are kept and read back; a step past them is 1841.
    ASSERT_EQ(s->exec("delete from t"), 0);
    Formats("YYYY-MM-DD HH24:MI:SS");
    for (const char* text : {"0001-01-01 00:00:00", "9999-12-31 23:59:59", "2024-02-29 12:34:56"}) {
        ASSERT_EQ(s->exec("insert into t (id, d) values (1, :X0)", {text}), 0) << text << s->errorText();
        EXPECT_EQ(s->value("select d from t"), text);
        EXPECT_EQ(s->value("select to_char(d, 'YYYY-MM-DD HH24:MI:SS') from t"), text);
        ASSERT_EQ(s->exec("delete from t"), 0);
    }
    EXPECT_EQ(s->value("select to_date('9999-12-31 23:59:59') + 1 from dual"), "<ERR 1841>");
    EXPECT_EQ(s->value("select to_date('0001-01-01 00:00:00') - 1 from dual"), "<ERR 1841>");

    // Timestamps keep their zone and fraction as written.
    ASSERT_EQ(s->exec("insert into t (id, ts, tz) values (1, :X0, :X1)",
                      {"2020-01-01 10:-5:00.25", "2020-01-01 00:00:00.5 -12:00"}),
              0)
        << s->errorText();
    EXPECT_EQ(s->value("select ts from t"), "2020-01-01 10:05:00.250000");
    EXPECT_EQ(s->value("select tz from t"), "2020-01-01 00:00:00.500000 -12:00");
}

// Intervals are kept in the column's own form and read back as written there.
TEST_F(DateValuesTest, IntervalsAreKeptInTheColumnsForm) {
    const std::pair<const char*, const char*> ym[] = {
        {"1-2", "+01-02"}, {" -3-11 ", "-03-11"}, {"-0-0", "+00-00"}, {"+99-00", "+99-00"}};
    for (auto& [text, stored] : ym) {
        ASSERT_EQ(exec7("insert into t (id, ym) values (1, :X0)", text), 0) << text;
        ASSERT_EQ(exec7("commit", nullptr), 0);
        EXPECT_EQ(s->value("select ym from t"), stored) << text;
        ASSERT_EQ(exec7("delete from t", nullptr), 0);
        ASSERT_EQ(exec7("commit", nullptr), 0);
    }
    const std::pair<const char*, const char*> ds[] = {{"3 4:5:6.7", "+03 04:05:06.700000"},
                                                      {"-1 02:03:04", "-01 02:03:04.000000"},
                                                      {"0 23:59:59.9999996", "+01 00:00:00.000000"},
                                                      {"+01 02:03:04.000000", "+01 02:03:04.000000"}};
    for (auto& [text, stored] : ds) {
        ASSERT_EQ(s->exec("insert into t (id, ds) values (1, :X0)", {text}), 0) << text << s->errorText();
        EXPECT_EQ(s->value("select ds from t"), stored) << text;
        ASSERT_EQ(s->exec("delete from t"), 0);
    }
}

// A value an older build left in the file that is no date reads back as the
// text it is: never shown as another date.
TEST_F(DateValuesTest, ACorruptStoredValueReadsAsItsText) {
    ASSERT_EQ(s->exec("insert into t (id, d, ts) values (1, null, null)"), 0);
    ASSERT_EQ(api.OCITransCommit(s->svc, s->err, 0), 0);
    s->logoff();
    s7.reset();
    // SYSTEM's schema file: the one that holds T.
    std::string file;
    for (const auto& e : std::filesystem::directory_iterator(home->dir / "db" / "test"))
        if (e.path().extension() == ".db" &&
            oci::testing::sqlite_run(e.path().string(),
                                     "select count(*) from sqlite_schema where name = 'T'") == "1\n")
            file = e.path().string();
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(oci::testing::sqlite_run(file, "update \"T\" set \"D\" = '2020-01-01 -3:-5:-9', "
                                             "\"TS\" = '2020-01-01 10:-5:00.000000 +-1:05'"),
              "");
    Session8 again(api);
    ASSERT_EQ(again.logon("system", "manager"), 0) << again.errorText();
    ASSERT_EQ(again.exec("alter session set NLS_DATE_FORMAT = 'YYYY-MM-DD HH24:MI:SS'"), 0);
    EXPECT_EQ(again.value("select d from t"), "2020-01-01 -3:-5:-9");
    EXPECT_EQ(again.value("select ts from t"), "2020-01-01 10:-5:00.000000 +-1:05");
    EXPECT_EQ(again.value("select d + 1 from t"), "<ERR 1722>");
}

// Zones read by TZH and TZM in either order, the minutes taking the hours'
// sign; a field a model names twice, Oracle's error before any text; the
// year's last digits with the clock's others.
TEST_F(DateValuesTest, ZonePartsFieldsNamedTwiceAndShortYears) {
    const std::pair<const char*, const char*> zones[] = {
        {"YYYY-MM-DD HH24:MI:SS TZH:TZM", "2020-01-01 00:00:00 -0:30"},
        {"YYYY-MM-DD HH24:MI:SS TZM TZH", "2020-01-01 00:00:00 30 -0"},
        {"YYYY-MM-DD HH24:MI:SS TZM TZH", "2020-01-01 00:00:00 30 -00"}};
    for (auto& [model, text] : zones) {
        ASSERT_EQ(s->exec(std::string("alter session set NLS_TIMESTAMP_TZ_FORMAT = '") + model + "'"), 0);
        ASSERT_EQ(exec7(std::string("alter session set NLS_TIMESTAMP_TZ_FORMAT = '") + model + "'", nullptr),
                  0);
        ASSERT_EQ(s->exec("insert into t (id, tz) values (1, :X0)", {text}), 0) << text << s->errorText();
        ASSERT_EQ(api.OCITransCommit(s->svc, s->err, 0), 0);
        ASSERT_EQ(exec7("insert into t (id, tz) values (2, :X0)", text), 0) << text;
        ASSERT_EQ(exec7("commit", nullptr), 0);
        std::vector<Row> rows;
        ASSERT_EQ(s->query("select to_char(tz, 'YYYY-MM-DD HH24:MI TZH:TZM') from t", rows), 0);
        ASSERT_EQ(rows.size(), 2u);
        for (const Row& r : rows) EXPECT_EQ(*r[0], "2020-01-01 00:00 -00:30") << model << " " << text;
        ASSERT_EQ(s->exec("delete from t"), 0);
        ASSERT_EQ(api.OCITransCommit(s->svc, s->err, 0), 0);
    }
    const std::pair<const char*, const char*> twice[] = {
        {"select to_date('2020 20', 'YYYY RR') from dual", "<ERR 1812>"},
        {"select to_date('10 10', 'HH24 HH') from dual", "<ERR 1813>"},
        {"select to_date('01 JAN', 'MM MON') from dual", "<ERR 1816>"},
        {"select to_date('MON MONDAY', 'DY DAY') from dual", "<ERR 1817>"},
        {"select to_date('1 1', 'DD DD') from dual", "<ERR 1810>"},
        // Named twice even where the text ends before the second.
        {"select to_date('2020', 'YYYY-MM-YYYY') from dual", "<ERR 1812>"},
        {"select to_date('2020', 'YYYY-Q') from dual", "<ERR 1821>"},
        {"select to_date('2020 TUXDAY', 'YYYY DAY') from dual", "<ERR 1846>"}};
    for (auto& [sql, answer] : twice) EXPECT_EQ(s->value(sql), answer) << sql;
    ASSERT_EQ(api.ctl("clock 2024-05-01 00:00:00"), "ok");
    EXPECT_EQ(s->value("select to_char(to_date('5-02-03', 'Y-MM-DD'), 'YYYY-MM-DD') from dual"),
              "2025-02-03");
    EXPECT_EQ(s->value("select to_char(to_date('987-02-03', 'YYY-MM-DD'), 'YYYY-MM-DD') from dual"),
              "2987-02-03");
    ASSERT_EQ(api.ctl("clock system"), "ok");
}

// Numbers beyond Oracle's magnitudes are refused, and below them are 0.
TEST_F(DateValuesTest, NumbersBeyondOraclesRange) {
    ASSERT_EQ(s->exec("create table n (x number)"), 0);
    EXPECT_EQ(s->exec("insert into n values (:X0)", {"1e126"}), -1);
    EXPECT_EQ(s->errorCode(), 1426);
    EXPECT_EQ(s->value("select to_number('-9.5e200') from dual"), "<ERR 1426>");
    ASSERT_EQ(s->exec("insert into n values (:X0)", {"1e-200"}), 0) << s->errorText();
    ASSERT_EQ(s->exec("insert into n values (:X0)", {"9.99999999999999e125"}), 0) << s->errorText();
    EXPECT_EQ(s->value("select count(*) from n where x = 0"), "1");
}
