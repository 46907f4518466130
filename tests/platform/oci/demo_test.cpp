// The demo database and the dictionary views over it.
#include "oci_fixture.h"

#include "platform/oci/testing/sqlite_file.h"

#include <cstring>

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
                                  "受注明細", "社員", "部署別給与_MV"}));
    EXPECT_EQ(
        column(s,
               "select b.mview_name table_name, b.comments \nfrom all_mview_comments b \nwhere b.owner = "
               ":X0 \n",
               {"DEMO"}),
        (std::vector<std::string>{"部署別給与_MV"}));
    EXPECT_EQ(s.value("select comments from all_mview_comments where owner = 'DEMO'"),
              "部署別の人数と給与合計");
    EXPECT_EQ(s.value("select sum(人数) || '/' || count(*) from 部署別給与_MV"), "20/5");
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
    EXPECT_EQ(again.value(
                  "select count(*) from all_objects where owner = 'DEMO' and object_name = '部署別給与_MV'"),
              "2");
}

// A demo an older build made (contents version 1: no materialised view) gets
// the later objects at its next attach, once: at the latest version nothing
// is made again.
TEST_F(DemoTest, AnOlderDemoGetsTheLaterObjectsOnce) {
    const std::string catalog = (home->dir / "db" / "demo" / "catalog.db").string();
    const std::string mview = "select sum(人数) || '/' || count(*) from 部署別給与_MV";
    {
        Session8 s(api);
        ASSERT_EQ(s.logon("demo", "demo", "demo"), 0) << s.errorText();
        ASSERT_EQ(s.exec("drop materialized view 部署別給与_MV"), 0) << s.errorText();
        s.logoff();
    }
    EXPECT_EQ(oci::testing::sqlite_run(catalog, "pragma user_version"), "3\n");
    EXPECT_EQ(oci::testing::sqlite_run(catalog, "pragma user_version = 1"), "");
    {
        Session8 s(api);
        ASSERT_EQ(s.logon("demo", "demo", "demo"), 0) << s.errorText();
        EXPECT_EQ(s.value(mview), "20/5");
        ASSERT_EQ(s.exec("drop materialized view 部署別給与_MV"), 0) << s.errorText();
        s.logoff();
    }
    EXPECT_EQ(oci::testing::sqlite_run(catalog, "pragma user_version"), "3\n");
    Session8 s(api);
    ASSERT_EQ(s.logon("demo", "demo", "demo"), 0) << s.errorText();
    EXPECT_EQ(s.value(mview), "<ERR 942>");
}

// A demo an older build made names, as its BFILE directory, the temporary
// folder it was built in: its next attach points the directory at the demo's
// own files, once, and leaves any other path as it is.
TEST_F(DemoTest, AnOlderDemoFindsItsFilesAgain) {
    const std::string demo = (home->dir / "db" / "demo").string();
    const std::string catalog = demo + "/catalog.db";
    const std::string path = "select directory_path from all_directories where directory_name = 'DEMO_DIR'";
    {
        Session8 s(api);
        ASSERT_EQ(s.logon("demo", "demo", "demo"), 0) << s.errorText();
        EXPECT_EQ(s.value(path), demo + "/files");
    }
    auto age = [&](const std::string& dir) {
        EXPECT_EQ(oci::testing::sqlite_run(
                      catalog, "update directories set directory_path = '" + dir +
                                   "' where directory_name = 'DEMO_DIR'; pragma user_version = 2"),
                  "");
    };
    for (const std::string& old : {demo + ".new-4242/files", std::string("/elsewhere/demo.new-17/files")}) {
        age(old);
        Session8 s(api);
        ASSERT_EQ(s.logon("demo", "demo", "demo"), 0) << s.errorText();
        EXPECT_EQ(s.value(path), demo + "/files") << old;
    }
    EXPECT_EQ(oci::testing::sqlite_run(catalog, "pragma user_version"), "3\n");
    // Folders that are there, and other names, are the user's own.
    std::filesystem::create_directories(home->dir / "db" / "demo.new-99" / "files");
    for (const std::string& own :
         {demo + ".new-99/files", demo + ".new-x1/files", demo + "/mine", std::string("/srv/files")}) {
        age(own);
        Session8 s(api);
        ASSERT_EQ(s.logon("demo", "demo", "demo"), 0) << s.errorText();
        EXPECT_EQ(s.value(path), own);
    }
}

TEST_F(DemoTest, EveryTypeDescribes) {
    Session8 s(api);
    ASSERT_EQ(s.logon("demo", "demo", "DEMO"), 0) << s.errorText();
    struct Want {
        const char* column;
        ub2 type;
        ub2 size;
        int scale; // -1: not checked
        ub1 form;
    };
    const Want want[] = {{"C_VARCHAR2", 1, 40, -1, 1},       {"C_VARCHAR2_CHAR", 1, 40, -1, 1},
                         {"C_NVARCHAR2", 1, 40, -1, 2},      {"C_CHAR", 96, 10, -1, 1},
                         {"C_NCHAR", 96, 10, -1, 2},         {"C_NUMBER", 2, 22, 129, 1},
                         {"C_NUMBER_P", 2, 22, 2, 1},        {"C_INTEGER", 2, 22, 0, 1},
                         {"C_FLOAT", 2, 22, 129, 1},         {"C_DATE", 12, 7, -1, 1},
                         {"C_TIMESTAMP", 180, 11, 6, 1},     {"C_TIMESTAMP_TZ", 181, 13, 6, 1},
                         {"C_TIMESTAMP_LTZ", 231, 11, 6, 1}, {"C_INTERVAL_YM", 182, 5, -1, 1},
                         {"C_INTERVAL_DS", 183, 11, -1, 1},  {"C_RAW", 23, 16, -1, 1},
                         {"C_ROWID", 11, 10, -1, 1},         {"C_UROWID", 104, 4000, -1, 1},
                         {"C_BINARY_FLOAT", 100, 4, -1, 1},  {"C_BINARY_DOUBLE", 101, 8, -1, 1},
                         {"C_CLOB", 112, 4000, -1, 1},       {"C_NCLOB", 112, 4000, -1, 2},
                         {"C_BLOB", 113, 4000, -1, 1},       {"C_BFILE", 114, 530, -1, 1}};
    OCIStmt* st = nullptr;
    api.OCIHandleAlloc(s.env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    const char* sql = "SELECT ROWID, A.* FROM \"DEMO\".\"ALL_TYPES\" A";
    api.OCIStmtPrepare(st, s.err, reinterpret_cast<const OraText*>(sql), ub4(std::strlen(sql)), 1, 0);
    ASSERT_EQ(api.OCIStmtExecute(s.svc, st, s.err, 1, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY), 0)
        << s.errorText();
    ub4 n = 0;
    api.OCIAttrGet(st, OCI_HTYPE_STMT, &n, nullptr, OCI_ATTR_PARAM_COUNT, s.err);
    EXPECT_EQ(n, 27u) << "ROWID, ID, 24 typed columns and the virtual one";
    for (ub4 i = 0; i < sizeof want / sizeof want[0]; ++i) {
        void* p = nullptr;
        ASSERT_EQ(api.OCIParamGet(st, OCI_HTYPE_STMT, s.err, &p, i + 3), 0);
        char* name = nullptr;
        ub4 len = 0;
        ub2 type = 0, size = 0;
        sb2 scale = 0;
        ub1 form = 0;
        api.OCIAttrGet(p, OCI_DTYPE_PARAM, &name, &len, OCI_ATTR_NAME, s.err);
        api.OCIAttrGet(p, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, s.err);
        api.OCIAttrGet(p, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, s.err);
        api.OCIAttrGet(p, OCI_DTYPE_PARAM, &scale, nullptr, OCI_ATTR_SCALE, s.err);
        api.OCIAttrGet(p, OCI_DTYPE_PARAM, &form, nullptr, OCI_ATTR_CHARSET_FORM, s.err);
        EXPECT_EQ(std::string(name, len), want[i].column);
        EXPECT_EQ(type, want[i].type) << want[i].column;
        EXPECT_EQ(size, want[i].size) << want[i].column;
        if (want[i].scale >= 0) {
            EXPECT_EQ(scale, want[i].scale) << want[i].column;
        }
        EXPECT_EQ(form, want[i].form) << want[i].column;
    }
    // FLOAT(126) reads precision 126; NUMBER(10,2) 10.
    for (auto [pos, precision] : {std::pair<ub4, sb2>{11, 126}, {9, 10}}) {
        void* p = nullptr;
        ASSERT_EQ(api.OCIParamGet(st, OCI_HTYPE_STMT, s.err, &p, pos), 0);
        sb2 got = 0;
        api.OCIAttrGet(p, OCI_DTYPE_PARAM, &got, nullptr, OCI_ATTR_PRECISION, s.err);
        EXPECT_EQ(got, precision) << pos;
    }
    api.OCIHandleFree(st, OCI_HTYPE_STMT);
    // MLSLABEL describes as 106.
    api.OCIHandleAlloc(s.env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    const char* label = "select label from unsupported_type";
    api.OCIStmtPrepare(st, s.err, reinterpret_cast<const OraText*>(label), ub4(std::strlen(label)), 1, 0);
    ASSERT_EQ(api.OCIStmtExecute(s.svc, st, s.err, 1, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY), 0);
    {
        void* p = nullptr;
        ub2 type = 0;
        ASSERT_EQ(api.OCIParamGet(st, OCI_HTYPE_STMT, s.err, &p, 1), 0);
        api.OCIAttrGet(p, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, s.err);
        EXPECT_EQ(type, 106);
    }
    api.OCIHandleFree(st, OCI_HTYPE_STMT);
    EXPECT_EQ(s.value("select c_varchar2_char from all_types where id = 1"), "ｶﾅ①～髙1");
    EXPECT_EQ(s.value("select c_nvarchar2 from all_types where id = 1"), "𠮷野家1");
    EXPECT_EQ(s.value("select c_virtual from all_types where id = 1"), "山田 太郎様");
    EXPECT_EQ(s.value("select count(*) from all_types where c_varchar2 is null"), "4");
    std::vector<Row> rows;
    ASSERT_EQ(s.query("SELECT ROWID, A.* FROM \"DEMO\".\"受注明細\" A", rows), 0) << s.errorText();
    EXPECT_EQ(rows.size(), 30u);
    ASSERT_EQ(s.query("SELECT ROWID, A.* FROM \"DEMO\".\"社員_V\" A", rows), 0) << s.errorText();
    EXPECT_EQ(rows.size(), 20u);
}

TEST_F(DemoTest, CompletionAndDocumentQueries) {
    Session8 s(api);
    ASSERT_EQ(s.logon("demo", "demo", "DEMO"), 0) << s.errorText();
    std::vector<Row> rows;
    for (const char* comments : {", (select comments from all_tab_comments b where a.owner = b.owner and "
                                 "a.object_name = b.table_name and "
                                 "a.object_type = b.table_type) as comments \n",
                                 ", '' as comments \n"}) {
        std::string sql =
            std::string("select distinct object_name, object_name as org_object_name, \n\tobject_type \n") +
            comments + "from all_objects a \nwhere owner = :X0 \n";
        ASSERT_EQ(s.query(sql, rows, {"DEMO"}), 0) << s.errorText();
        EXPECT_GE(rows.size(), 10u);
    }
    ASSERT_EQ(
        s.query(
            "select distinct column_name, column_name as org_column_name, data_type \nfrom all_tab_columns "
            "\nwhere owner = :X0",
            rows, {"DEMO"}),
        0)
        << s.errorText();
    EXPECT_GE(rows.size(), 30u);
    ASSERT_EQ(s.query("select column_name from all_tab_cols c where c.owner = :X0 and c.table_name = :X1 and "
                      "c.virtual_column = 'YES' ",
                      rows, {"DEMO", "ALL_TYPES"}),
              0)
        << s.errorText();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(*rows[0][0], "C_VIRTUAL");
    ASSERT_EQ(
        s.query(
            "select u.column_name, u.updatable, u.insertable, u.deletable \nfrom user_updatable_columns u "
            "\nwhere u.owner = :X0 \nand u.table_name = :X1 \n",
            rows, {"DEMO", "社員_V"}),
        0);
    ASSERT_EQ(rows.size(), 5u);
    for (auto& r : rows) EXPECT_EQ(*r[1], *r[0] == "年収" ? "NO" : "YES") << *r[0];
    EXPECT_EQ(s.value("select sessiontimezone from dual").size(), 6u);
}

TEST_F(DemoTest, JapaneseTextUnderShiftJis) {
    setenv("NLS_LANG", "JAPANESE_JAPAN.JA16SJISTILDE", 1);
    Session8 s(api);
    ASSERT_EQ(s.logon("demo", "demo", "DEMO"), 0) << s.errorText();
    // "～①ｶﾅ髙" as Windows' code page 932 writes it.
    const std::string text = "\x81\x60\x87\x40\xb6\xc5\xfb\xfc";
    std::string update = "update \x8e\xd0\x88\xf5 set \x94\xf5\x8d\x6c = :X0 where 1 = 1"; // 社員, 備考
    ASSERT_EQ(s.exec(update, {text}), 0) << s.errorText();
    EXPECT_EQ(s.value("select max(\x94\xf5\x8d\x6c) from \x8e\xd0\x88\xf5"), text);
    ASSERT_EQ(s.exec("rollback"), 0);
}
