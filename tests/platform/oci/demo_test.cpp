// The demo database and the dictionary views over it.
#include "oci_fixture.h"

using namespace ocitest;

namespace {

class DemoTest : public OciTest {
protected:
    static std::vector<std::string> column(Session8& s, const std::string& sql,
                                           const std::vector<std::string>& binds = {}) {
        std::vector<Row> rows;
        std::vector<std::string> out;
        if (s.query(sql, rows, binds) != 0) {
            out.push_back("<ERR " + std::to_string(s.errorCode()) + ">");
            return out;
        }
        for (auto& r : rows) out.push_back(r[0] ? *r[0] : "<NULL>");
        return out;
    }
};

} // namespace

TEST_F(DemoTest, FirstAttachBuildsTheDemoOnce) {
    Session8 s(api);
    ASSERT_EQ(s.logon("demo", "demo", ""), 0) << s.errorText();
    EXPECT_EQ(s.value("select count(*) from big_table"), "200000");
    EXPECT_EQ(s.value("select count(*) from 社員"), "20");
    EXPECT_EQ(s.value("select count(*) from emp"), "20");
    EXPECT_EQ(s.value("select count(*) from demo_emp"), "20");
    EXPECT_EQ(s.value("select 氏名 from 社員 where 社員番号 = 1003"), "髙橋 一郎");
    EXPECT_EQ(s.value("select max(年収) from 社員_V"), std::to_string((250000 + 19 * 12500) * 12));
    EXPECT_EQ(s.value("select count(*) from all_types"), "20");
    EXPECT_EQ(column(s, "select username \nfrom all_users \norder by username \n"),
              (std::vector<std::string>{"DEMO", "SALES", "SYS", "SYSTEM"}));
    EXPECT_EQ(
        column(s,
               "select a.table_name, a.tablespace_name, 0 as mview_flg \nfrom all_tables a \nwhere a.owner = "
               ":X0 \norder by table_name",
               {"DEMO"}),
        (std::vector<std::string>{"ALL_TYPES", "BIG_TABLE", "LONG_DATA", "LONG_RAW_DATA", "UNSUPPORTED_TYPE",
                                  "受注明細", "社員"}));
    EXPECT_EQ(s.value("select iot_type \nfrom all_tables t \nwhere t.owner = 'DEMO' \nand t.table_name = "
                      "'受注明細' \n"),
              "IOT");
    EXPECT_EQ(
        column(s,
               "select i.column_name \nfrom all_ind_columns i, all_constraints c \nwhere c.owner = "
               "i.table_owner \nand c.table_name = i.table_name \nand c.constraint_name = i.index_name \nand "
               "c.owner = :X0 \nand c.table_name = :X1 \nand c.constraint_type = 'P' \n",
               {"DEMO", "受注明細"}),
        (std::vector<std::string>{"受注番号", "明細番号"}));
    EXPECT_EQ(column(s,
                     "select b.comments \nfrom all_tab_comments b \nwhere b.owner = :X0 \nand b.table_type = "
                     ":X1 \nand "
                     "b.table_name = '社員'",
                     {"DEMO", "TABLE"}),
              (std::vector<std::string>{"社員マスタ"}));
    EXPECT_EQ(column(s, "select table_owner || '.' || table_name from all_synonyms where owner = 'SALES'"),
              (std::vector<std::string>{"DEMO.社員"}));
    EXPECT_EQ(s.value("select value from nls_database_parameters where parameter = 'NLS_CHARACTERSET'"),
              "AL32UTF8");
    std::vector<Row> rows;
    ASSERT_EQ(
        s.query("select column_name, data_type, data_length, data_precision, data_scale, char_used from "
                "all_tab_columns where owner = 'DEMO' and table_name = 'ALL_TYPES' order by column_id",
                rows),
        0)
        << s.errorText();
    ASSERT_GE(rows.size(), 10u);
    EXPECT_EQ(*rows[2][0], "C_VARCHAR2_CHAR");
    EXPECT_EQ(*rows[2][2], "40");
    EXPECT_EQ(*rows[2][5], "C");
    EXPECT_EQ(*rows[3][2], "40") << "NVARCHAR2(20)";
    EXPECT_FALSE(rows[6][3].has_value()) << "NUMBER has no precision";
    EXPECT_EQ(*rows[7][3], "10");
    EXPECT_EQ(*rows[7][4], "2");
    s.logoff();

    // A second attach changes nothing.
    Session8 again(api);
    ASSERT_EQ(again.logon("sales", "sales", "demo"), 0);
    EXPECT_EQ(again.value("select count(*) from 社員"), "20");
    EXPECT_EQ(again.value("select count(*) from all_users"), "4");
}
