#include "oci_fixture.h"

using namespace ocitest;

TEST_F(OciTest, Smoke) {
    Session8 s(api);
    ASSERT_EQ(s.logon("system", "manager"), 0) << s.errorText();
    EXPECT_EQ(s.value("select user from dual \n"), "SYSTEM");
    ASSERT_EQ(s.exec("create table t (a number(10,2), b varchar2(10) not null, c date)"), 0) << s.errorText();
    ASSERT_EQ(s.exec("insert into t (a, b, c) values (:X0, :X1, :X2)", {"1.5", "abc", "2024-04-01"}), 0)
        << s.errorText();
    std::vector<Row> rows;
    ASSERT_EQ(s.query("select a, b, c, rowid from t", rows), 0) << s.errorText();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(*rows[0][0], "1.5");
    EXPECT_EQ(*rows[0][1], "abc");
    EXPECT_EQ(*rows[0][2], "2024-04-01 00:00:00");
    EXPECT_EQ(rows[0][3]->size(), 18u);
}
