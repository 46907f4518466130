// The catalogue queries against a schema made in the stand-in.
#include "oracle/ora_dict.h"

#include <algorithm>

#include "tests/oracle/standin_fixture.h"

namespace oratest {
namespace {

// Every statement the layer prepares, in order. Before a prepare, a hook may
// rewrite the text (standing in for a server with other contents) or arm a
// failure for the statement's execute.
std::vector<std::string> g_prepared;
std::function<std::string(const std::string&)> g_on_prepare;

sword RecordingPrepare(OCIStmt* stmt, OCIError* err, const OraText* text, ub4 len, ub4 language, ub4 mode) {
    std::string sql(reinterpret_cast<const char*>(text), len);
    g_prepared.push_back(sql);
    if (g_on_prepare) sql = g_on_prepare(sql);
    return g_real.OCIStmtPrepare(stmt, err, reinterpret_cast<const OraText*>(sql.c_str()), ub4(sql.size()),
                                 language, mode);
}

// The catalogue views the recorded statements read, in order.
std::vector<std::string> ViewsRead() {
    std::vector<std::string> v;
    for (const std::string& sql : g_prepared) {
        size_t at = sql.find("from all_");
        if (at == std::string::npos) continue;
        at += 5;
        size_t end = sql.find_first_of(" ,\n", at);
        std::string view = sql.substr(at, end - at);
        if (sql.find("char_used") != std::string::npos)
            view += "+char_used";
        else if (sql.find("char_col_decl_length") != std::string::npos)
            view += "+char_col_decl_length";
        v.push_back(view);
    }
    return v;
}

class DictTest : public SessionTest {
public:
    void SetUp() override {
        SessionTest::SetUp();
        g_oradict_no_char_used = g_oradict_no_char_decl = g_oradict_no_mview = 0;
        g_on_prepare = nullptr;
        g_oci.OCIStmtPrepare = RecordingPrepare;
        Exec(s, u"create table zeta (b number, a number, c varchar2(10 char), primary key (b, a))");
        Exec(s, u"comment on table zeta is 'last table'");
        Exec(s, u"create table alpha (x number)");
        Exec(s, u"create view mid_v as select x from alpha");
        Exec(s, u"comment on table mid_v is 'a view'");
        Exec(s, u"create synonym syn_zeta for zeta");
        Exec(s, u"create table iot_t (k number primary key) organization index");
        g_prepared.clear();
    }
    void TearDown() override {
        g_oradict_no_char_used = g_oradict_no_char_decl = g_oradict_no_mview = 0;
        g_on_prepare = nullptr;
        Layer2Test::TearDown();
    }
    std::vector<std::u16string> Column(const OraDataset& ds, const char16_t* name) {
        std::vector<std::u16string> v;
        int col = oci_get_dataset_col_no(&ds, name);
        EXPECT_GE(col, 0) << WideToUtf8(name);
        for (int r = 0; col >= 0 && r < ds.row_count; ++r) v.push_back(oci_get_dataset_data(&ds, r, col));
        return v;
    }
};

using V = std::vector<std::u16string>;

TEST_F(DictTest, ObjectListsByType) {
    Exec(s, u"create synonym m_syn for mid_v");
    Exec(s, u"create synonym a_syn for alpha");
    Exec(s, u"create synonym r_syn for zeta");
    // The server has no database links: R_SYN plays a remote synonym.
    g_on_prepare = [](std::string sql) {
        auto swap = [&](const std::string& from, const std::string& to) {
            size_t at = sql.find(from);
            if (at != std::string::npos) sql.replace(at, from.size(), to);
        };
        swap("a.db_link is not null", "a.synonym_name like 'R%'");
        swap("a.db_link is null", "a.synonym_name not like 'R%'");
        return sql;
    };
    CString msg;
    OraDataset ds{};
    auto list = [&](const char16_t* type) {
        oci_free_dataset(&ds);
        EXPECT_EQ(oradict_sel_objects(s, u"SYSTEM", type, &ds, &msg, nullptr), ORARC_OK)
            << WideToUtf8(type) << ": " << Narrow(msg);
    };
    list(u"TABLE");
    EXPECT_EQ(Column(ds, u"TABLE_NAME"), (V{u"ALPHA", u"IOT_T", u"ZETA"}));
    EXPECT_EQ(Column(ds, u"COMMENTS"), (V{u"", u"", u"last table"}));
    EXPECT_EQ(Column(ds, u"MVIEW_FLG"), (V{u"0", u"0", u"0"}));
    list(u"VIEW");
    EXPECT_EQ(Column(ds, u"VIEW_NAME"), (V{u"MID_V"}));
    EXPECT_EQ(Column(ds, u"COMMENTS"), (V{u"a view"}));
    list(u"SYNONYM");
    EXPECT_EQ(Column(ds, u"SYNONYM_NAME"), (V{u"A_SYN", u"M_SYN", u"R_SYN", u"SYN_ZETA"}));
    EXPECT_EQ(Column(ds, u"COMMENTS"), (V{u"", u"a view", u"", u"last table"}));
    EXPECT_EQ(Column(ds, u"TABLE_NAME"), (V{u"ALPHA", u"MID_V", u"ZETA", u"ZETA"}));
    EXPECT_EQ(Column(ds, u"TABLE_OWNER"), (V{u"SYSTEM", u"SYSTEM", u"SYSTEM", u"SYSTEM"}));
    list(u"TABLE|VIEW|SYNONYM");
    EXPECT_EQ(Column(ds, u"OBJECT_NAME"),
              (V{u"ALPHA", u"A_SYN", u"IOT_T", u"MID_V", u"M_SYN", u"R_SYN", u"SYN_ZETA", u"ZETA"}));
    EXPECT_EQ(Column(ds, u"OBJECT_TYPE"),
              (V{u"TABLE", u"SYNONYM", u"TABLE", u"VIEW", u"SYNONYM", u"SYNONYM", u"SYNONYM", u"TABLE"}));
    EXPECT_EQ(Column(ds, u"COMMENTS"),
              (V{u"", u"", u"", u"a view", u"a view", u"", u"last table", u"last table"}));
    for (const char16_t* type : {u"CLUSTER", u"DATABASE LINK", u"INDEX", u"TRIGGER", u"SNAPSHOT",
                                 u"SNAPSHOT LOG", u"SEQUENCE", u"PROCEDURE"})
        list(type);
    oci_free_dataset(&ds);
}

TEST_F(DictTest, ColumnListFallsBackOnlyForMissingCatalogueColumns) {
    CString msg;
    OraDataset ds{};
    EXPECT_EQ(oradict_sel_columns(s, u"", u"ZETA", &ds, &msg), ORARC_OK);
    EXPECT_EQ(oradict_sel_columns(s, u"SYSTEM", u"", &ds, &msg), ORARC_OK);
    EXPECT_TRUE(g_prepared.empty());
    Control("fail OCIStmtExecute 3113 1");
    EXPECT_EQ(oradict_sel_columns(s, u"SYSTEM", u"ZETA", &ds, &msg), ORARC_ORACLE_ERROR);
    EXPECT_EQ(g_oradict_no_char_used, 0);
    oci_free_dataset(&ds);
    g_prepared.clear();
    ASSERT_EQ(oradict_sel_columns(s, u"SYSTEM", u"ZETA", &ds, &msg), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(ViewsRead(), (std::vector<std::string>{"all_tab_columns+char_used"}));
    EXPECT_EQ(Column(ds, u"DATA_LENGTH"), (V{u"", u"", u"10"}));
    EXPECT_EQ(Column(ds, u"CHAR_USED"), (V{u"", u"", u"C"}));
    oci_free_dataset(&ds);

    Control("hide ALL_TAB_COLUMNS.CHAR_USED");
    g_prepared.clear();
    ASSERT_EQ(oradict_sel_columns(s, u"SYSTEM", u"ZETA", &ds, &msg), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(g_oradict_no_char_used, 1);
    EXPECT_EQ(ViewsRead(), (std::vector<std::string>{"all_tab_columns+char_used",
                                                     "all_tab_columns+char_col_decl_length"}));
    EXPECT_EQ(Column(ds, u"COLUMN_NAME"), (V{u"B", u"A", u"C"}));
    EXPECT_EQ(oci_get_dataset_col_no(&ds, u"CHAR_USED"), -1);
    oci_free_dataset(&ds);
    g_prepared.clear();
    ASSERT_EQ(oradict_sel_columns(s, u"SYSTEM", u"ZETA", &ds, &msg), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(ViewsRead(), (std::vector<std::string>{"all_tab_columns+char_col_decl_length"}));
    oci_free_dataset(&ds);

    Control("hide ALL_TAB_COLUMNS.CHAR_COL_DECL_LENGTH");
    g_prepared.clear();
    ASSERT_EQ(oradict_sel_columns(s, u"SYSTEM", u"ZETA", &ds, &msg), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(g_oradict_no_char_decl, 1);
    EXPECT_EQ(ViewsRead(),
              (std::vector<std::string>{"all_tab_columns+char_col_decl_length", "all_tab_columns"}));
    EXPECT_EQ(Column(ds, u"COLUMN_NAME"), (V{u"B", u"A", u"C"}));
    oci_free_dataset(&ds);
}

TEST_F(DictTest, MissingMaterialisedViewViewsAreRememberedAfterTheFirstList) {
    CString msg;
    OraDataset ds{};
    using Views = std::vector<std::string>;
    const Views all{"all_tables", "all_tab_comments", "all_mview_comments", "all_mviews"};

    // A broken connection is no reason to drop the queries.
    g_on_prepare = [](const std::string& sql) {
        if (sql.find("all_mviews") != std::string::npos) Control("fail OCIStmtExecute 3113 1");
        return sql;
    };
    EXPECT_EQ(oradict_sel_objects(s, u"SYSTEM", u"TABLE", &ds, &msg, nullptr), ORARC_ORACLE_ERROR);
    EXPECT_EQ(g_oradict_no_mview, 0);
    EXPECT_EQ(ViewsRead(), all);
    oci_free_dataset(&ds);
    g_on_prepare = nullptr;

    Control("hide ALL_MVIEWS");
    g_prepared.clear();
    ASSERT_EQ(oradict_sel_objects(s, u"SYSTEM", u"TABLE", &ds, &msg, nullptr), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(g_oradict_no_mview, 1);
    EXPECT_EQ(ViewsRead(), all);
    EXPECT_EQ(Column(ds, u"TABLE_NAME"), (V{u"ALPHA", u"IOT_T", u"ZETA"}));
    EXPECT_EQ(Column(ds, u"COMMENTS"), (V{u"", u"", u"last table"}));
    oci_free_dataset(&ds);
    g_prepared.clear();
    ASSERT_EQ(oradict_sel_objects(s, u"SYSTEM", u"TABLE", &ds, &msg, nullptr), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(ViewsRead(), (Views{"all_tables", "all_tab_comments"}));
    EXPECT_EQ(Column(ds, u"MVIEW_FLG"), (V{u"0", u"0", u"0"}));
    oci_free_dataset(&ds);
}

TEST_F(DictTest, KeyColumnsIotAndParameters) {
    CString msg;
    OraDataset ds{};
    ASSERT_EQ(oradict_get_key_columns(s, &ds, u"SYSTEM", u"SYN_ZETA", &msg), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(Column(ds, u"COLUMN_NAME"), (V{u"B", u"A"}));
    oci_free_dataset(&ds);
    ASSERT_EQ(oradict_get_key_columns(s, &ds, u"SYSTEM", u"ALPHA", &msg), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(ds.row_count, 0);
    oci_free_dataset(&ds);
    EXPECT_EQ(oradict_get_iot_type(s, u"SYSTEM", u"IOT_T", &msg), 1);
    EXPECT_EQ(oradict_get_iot_type(s, u"SYSTEM", u"ZETA", &msg), 0);

    const char16_t* format = u"YYYY\"年\"MM\"月\"DD\"日\"";
    ASSERT_EQ(oradict_set_nls_session_param(s, format, u"NLS_DATE_FORMAT", &msg), ORARC_OK) << Narrow(msg);
    CString value;
    ASSERT_EQ(oradict_get_nls_session_param(s, &value, u"NLS_DATE_FORMAT", &msg), ORARC_OK);
    EXPECT_EQ(value, format);
    // A quote stays inside the one literal.
    for (const char16_t* v : {u"O'Brien", u"x' , NLS_COMP = 'y", u"''"}) {
        ASSERT_EQ(oradict_set_nls_session_param(s, v, u"NLS_SORT", &msg), ORARC_OK) << Narrow(msg);
        ASSERT_EQ(oradict_get_nls_session_param(s, &value, u"NLS_SORT", &msg), ORARC_OK);
        EXPECT_EQ(value, v);
    }
    g_prepared.clear();
    ASSERT_EQ(oradict_set_nls_session_param(s, u"O'Brien", u"NLS_SORT", &msg), ORARC_OK);
    EXPECT_EQ(g_prepared, (std::vector<std::string>{"alter session set NLS_SORT = 'O''Brien'"}));
    g_prepared.clear();
    for (const char16_t* name : {u"NLS_DATE_FORMAT = 'x' --", u"nls_sort", u""}) {
        EXPECT_EQ(oradict_set_nls_session_param(s, u"x", name, &msg), ORARC_FAILED);
        EXPECT_EQ(msg, u"エラー(oradict_set_nls_session_param)\n");
    }
    EXPECT_TRUE(g_prepared.empty());

    CString date;
    ASSERT_EQ(oradict_get_sysdate_text(&date, u"YYYY", &msg), ORARC_OK);
    EXPECT_EQ(date.GetLength(), 4);
    ASSERT_EQ(oradict_get_nls_db_param(&value, s, u"NLS_CHARACTERSET", &msg), ORARC_OK);
    EXPECT_EQ(value, u"AL32UTF8");
    Control("fail OCIStmtExecute 3113 1");
    EXPECT_NE(oradict_get_nls_db_param(&value, s, u"NLS_CHARACTERSET", &msg), ORARC_OK);
    EXPECT_EQ(value, u"Unknown");
}

TEST_F(DictTest, DemoSchemaMaterialisedViewAndSynonymToAnotherSchema) {
    std::ofstream(home / "tns" / "services.conf", std::ios::app) << "DEMO = ../db/demo\n";
    OraSession* demo = nullptr;
    CString msg;
    ASSERT_EQ(oci_login2(&demo, u"demo", u"demo", u"DEMO", nullptr, 0, &msg, nullptr), ORARC_OK)
        << Narrow(msg);
    sessions.push_back(demo);
    OraDataset ds{};
    ASSERT_EQ(oradict_sel_objects(demo, u"DEMO", u"TABLE", &ds, &msg, nullptr), ORARC_OK) << Narrow(msg);
    V names = Column(ds, u"TABLE_NAME"), flags = Column(ds, u"MVIEW_FLG"), comments = Column(ds, u"COMMENTS");
    auto at = [&](const char16_t* name) {
        return size_t(std::find(names.begin(), names.end(), name) - names.begin());
    };
    ASSERT_LT(at(u"部署別給与_MV"), names.size());
    ASSERT_LT(at(u"社員"), names.size());
    EXPECT_EQ(flags[at(u"部署別給与_MV")], u"1");
    EXPECT_EQ(comments[at(u"部署別給与_MV")], u"部署別の人数と給与合計");
    EXPECT_EQ(flags[at(u"社員")], u"0");
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    oci_free_dataset(&ds);

    ASSERT_EQ(oradict_sel_objects(demo, u"DEMO", u"TABLE|VIEW|SYNONYM", &ds, &msg, nullptr), ORARC_OK);
    names = Column(ds, u"OBJECT_NAME");
    V types = Column(ds, u"OBJECT_TYPE");
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_EQ(types[at(u"部署別給与_MV")], u"SNAPSHOT");
    EXPECT_EQ(types[at(u"社員")], u"TABLE");
    EXPECT_EQ(types[at(u"社員_V")], u"VIEW");
    EXPECT_EQ(types[at(u"EMP")], u"SYNONYM");
    oci_free_dataset(&ds);

    ASSERT_EQ(oradict_sel_objects(demo, u"DEMO", u"SNAPSHOT", &ds, &msg, nullptr), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(Column(ds, u"NAME"), (V{u"部署別給与_MV"}));
    oci_free_dataset(&ds);

    // Without the comments view the flags still come in that call.
    Control("hide ALL_MVIEW_COMMENTS");
    g_prepared.clear();
    ASSERT_EQ(oradict_sel_objects(demo, u"DEMO", u"TABLE", &ds, &msg, nullptr), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(ViewsRead(), (std::vector<std::string>{"all_tables", "all_tab_comments", "all_mview_comments",
                                                     "all_mviews"}));
    EXPECT_EQ(g_oradict_no_mview, 1);
    names = Column(ds, u"TABLE_NAME");
    EXPECT_EQ(Column(ds, u"MVIEW_FLG")[at(u"部署別給与_MV")], u"1");
    oci_free_dataset(&ds);

    // SALES.社員 names DEMO.社員.
    ASSERT_EQ(oradict_get_key_columns(demo, &ds, u"SALES", u"社員", &msg), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(Column(ds, u"COLUMN_NAME"), (V{u"社員番号"}));
    oci_free_dataset(&ds);
}

} // namespace
} // namespace oratest
