// The catalogue queries against a schema made in the stand-in.
#include "oracle/ora_dict.h"

#include "layer2_fixture.h"

namespace layer2 {
namespace {

class DictTest : public Layer2Test {
public:
    OraSession* s = nullptr;
    void SetUp() override {
        Layer2Test::SetUp();
        g_oradict_no_char_used = g_oradict_no_char_decl = g_oradict_no_mview = 0;
        s = Logon(0);
        ASSERT_NE(s, nullptr);
        Exec(s, u"create table zeta (b number, a number, c varchar2(10 char), primary key (b, a))");
        Exec(s, u"comment on table zeta is 'last table'");
        Exec(s, u"create table alpha (x number)");
        Exec(s, u"create view mid_v as select x from alpha");
        Exec(s, u"comment on table mid_v is 'a view'");
        Exec(s, u"create synonym syn_zeta for zeta");
        Exec(s, u"create table iot_t (k number primary key) organization index");
    }
    void TearDown() override {
        g_oradict_no_char_used = g_oradict_no_char_decl = g_oradict_no_mview = 0;
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
    CString msg;
    OraDataset ds{};
    ASSERT_EQ(oradict_sel_objects(s, u"SYSTEM", u"TABLE", &ds, &msg, nullptr), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(Column(ds, u"TABLE_NAME"), (V{u"ALPHA", u"IOT_T", u"ZETA"}));
    EXPECT_EQ(Column(ds, u"COMMENTS"), (V{u"", u"", u"last table"}));
    EXPECT_EQ(Column(ds, u"MVIEW_FLG"), (V{u"0", u"0", u"0"}));
    oci_free_dataset(&ds);
    ASSERT_EQ(oradict_sel_objects(s, u"SYSTEM", u"VIEW", &ds, &msg, nullptr), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(Column(ds, u"VIEW_NAME"), (V{u"MID_V"}));
    EXPECT_EQ(Column(ds, u"COMMENTS"), (V{u"a view"}));
    oci_free_dataset(&ds);
    ASSERT_EQ(oradict_sel_objects(s, u"SYSTEM", u"SYNONYM", &ds, &msg, nullptr), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(Column(ds, u"SYNONYM_NAME"), (V{u"SYN_ZETA"}));
    EXPECT_EQ(Column(ds, u"COMMENTS"), (V{u"last table"}));
    oci_free_dataset(&ds);
    for (const char16_t* type : {u"TABLE|VIEW|SYNONYM"}) {
        ASSERT_EQ(oradict_sel_objects(s, u"SYSTEM", type, &ds, &msg, nullptr), ORARC_OK) << Narrow(msg);
        EXPECT_EQ(Column(ds, u"OBJECT_NAME"), (V{u"ALPHA", u"IOT_T", u"MID_V", u"SYN_ZETA", u"ZETA"}));
        EXPECT_EQ(Column(ds, u"OBJECT_TYPE"), (V{u"TABLE", u"TABLE", u"VIEW", u"SYNONYM", u"TABLE"}));
        oci_free_dataset(&ds);
    }
    for (const char16_t* type : {u"CLUSTER", u"DATABASE LINK", u"INDEX", u"TRIGGER", u"SNAPSHOT",
                                 u"SNAPSHOT LOG", u"SEQUENCE", u"PROCEDURE"}) {
        EXPECT_EQ(oradict_sel_objects(s, u"SYSTEM", type, &ds, &msg, nullptr), ORARC_OK)
            << WideToUtf8(type) << ": " << Narrow(msg);
        oci_free_dataset(&ds);
    }
}

TEST_F(DictTest, ColumnListFallsBackOnlyForMissingCatalogueColumns) {
    CString msg;
    OraDataset ds{};
    EXPECT_EQ(oradict_sel_columns(s, u"", u"ZETA", &ds, &msg), ORARC_OK);
    Control("fail OCIStmtExecute 3113 1");
    EXPECT_EQ(oradict_sel_columns(s, u"SYSTEM", u"ZETA", &ds, &msg), ORARC_ORACLE_ERROR);
    EXPECT_EQ(g_oradict_no_char_used, 0);
    oci_free_dataset(&ds);
    ASSERT_EQ(oradict_sel_columns(s, u"SYSTEM", u"ZETA", &ds, &msg), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(Column(ds, u"DATA_LENGTH"), (V{u"", u"", u"10"}));
    oci_free_dataset(&ds);

    Control("hide ALL_TAB_COLUMNS.CHAR_USED");
    ASSERT_EQ(oradict_sel_columns(s, u"SYSTEM", u"ZETA", &ds, &msg), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(g_oradict_no_char_used, 1);
    EXPECT_EQ(Column(ds, u"COLUMN_NAME"), (V{u"B", u"A", u"C"}));
    EXPECT_EQ(oci_get_dataset_col_no(&ds, u"CHAR_USED"), -1);
    oci_free_dataset(&ds);
}

TEST_F(DictTest, MissingMaterialisedViewViewsAreRememberedAfterTheFirstList) {
    Control("hide ALL_MVIEW_COMMENTS");
    CString msg;
    OraDataset ds{};
    ASSERT_EQ(oradict_sel_objects(s, u"SYSTEM", u"TABLE", &ds, &msg, nullptr), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(g_oradict_no_mview, 1);
    EXPECT_EQ(ds.row_count, 3);
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
    EXPECT_EQ(oradict_set_nls_session_param(s, u"x", u"NLS_DATE_FORMAT = 'x' --", &msg), ORARC_FAILED);
    EXPECT_EQ(msg, u"エラー(oradict_set_nls_session_param)\n");

    g_session = s;
    CString date;
    ASSERT_EQ(oradict_get_sysdate_text(&date, u"YYYY", &msg), ORARC_OK);
    EXPECT_EQ(date.GetLength(), 4);
    ASSERT_EQ(oradict_get_nls_db_param(&value, s, u"NLS_CHARACTERSET", &msg), ORARC_OK);
    EXPECT_EQ(value, u"AL32UTF8");
    Control("fail OCIStmtExecute 3113 1");
    EXPECT_NE(oradict_get_nls_db_param(&value, s, u"NLS_CHARACTERSET", &msg), ORARC_OK);
    EXPECT_EQ(value, u"Unknown");
}

} // namespace
} // namespace layer2
