// Dictionary views on a small fixture, and stored units.
#include "oci_fixture.h"

#include <algorithm>
#include <filesystem>

#include "platform/oci/testing/sqlite_file.h"

using namespace ocitest;

namespace {

const char* kNewestColumns =
    "select a.column_id, a.column_name, \n\tdecode(a.data_type_mod, NULL, NULL, a.data_type_mod ||  ' ') || "
    "a.data_type as data_type, \ndecode(a.data_type_owner, NULL, \tdecode(a.data_type,  \n\t\t'NUMBER', "
    "a.data_precision || decode(a.data_scale, 0, NULL, NULL, NULL, ',' || a.data_scale), \n\t\t'FLOAT', "
    "a.data_precision, \n\t\t'BINARY_FLOAT', NULL, \n\t\t'BINARY_DOUBLE', NULL, \n\t\t'NVARCHAR2', "
    "decode(a.char_used, 'C', a.char_length, a.data_length), \n\t\t'NCHAR', decode(a.char_used, 'C', "
    "a.char_length, a.data_length), \n\t\t'VARCHAR2', decode(a.char_used, 'C', a.char_length, "
    "a.data_length), "
    "\n\t\t'CHAR', decode(a.char_used, 'C', a.char_length, a.data_length), \n\t\t'DATE', NULL, "
    "\n\t\t'ROWID', "
    "NULL, \n\t\t'LONG', NULL, \n\t\t'LONG RAW', NULL, \n\t\t'INTERVAL YEAR(2) TO MONTH', NULL, "
    "\n\t\t'INTERVAL "
    "DAY(2) TO SECOND(6)', NULL, \n\t\t'BLOB', NULL, \n\t\t'CLOB', NULL, \n\t\t'NCLOB', NULL, \n\t\t'BFILE', "
    "NULL, \n\t\ta.data_length), NULL) data_length, a.char_used, \n\ta.nullable, a.data_default, b.comments  "
    "\nfrom all_tab_columns a, all_col_comments b \nwhere a.table_name = b.table_name \nand a.column_name = "
    "b.column_name \nand a.owner = b.owner \nand a.owner = :X0 \nand a.table_name = :X1 \norder by "
    "a.column_id";

const char* kMiddleColumns =
    "select a.column_id, a.column_name, \n\tdecode(a.data_type_mod, NULL, NULL, a.data_type_mod ||  ' ') || "
    "a.data_type as data_type, \ndecode(a.data_type_owner, NULL, \tdecode(a.data_type,  \n\t\t'NUMBER', "
    "a.data_precision || decode(a.data_scale, 0, NULL, NULL, NULL, ',' || a.data_scale), \n\t\t'FLOAT', "
    "a.data_precision, \n\t\t'NVARCHAR2', a.char_col_decl_length, \n\t\t'NCHAR', a.char_col_decl_length, "
    "\n\t\t'DATE', NULL, \n\t\t'ROWID', NULL, \n\t\t'LONG', NULL, \n\t\t'BLOB', NULL, \n\t\t'CLOB', NULL, "
    "\n\t\t'NCLOB', NULL, \n\t\t'BFILE', NULL, \n\t\ta.data_length), NULL) data_length, \n\ta.nullable, "
    "a.data_default, b.comments \nfrom all_tab_columns a, all_col_comments b \nwhere a.table_name = "
    "b.table_name \nand a.column_name = b.column_name \nand a.owner = b.owner \nand a.owner = :X0 \nand "
    "a.table_name = :X1 \norder by a.column_id";

class DictionaryTest : public SystemSessionTest {
protected:
    void SetUp() override {
        SystemSessionTest::SetUp();
        if (HasFatalFailure()) return;
        for (const char* sql :
             {"create table zeta (id number(10,2) primary key, price number, name varchar2(10 char), born "
              "date, "
              "stamp timestamp(6))",
              "create table alpha (k1 number(4), k2 varchar2(5), v varchar2(20), primary key (k1, k2)) "
              "organization "
              "index",
              "comment on table zeta is 'the zeta table'", "comment on column zeta.name is 'a name'",
              "create view zeta_v as select id, name, price * 2 as twice from zeta",
              "create synonym al for alpha"})
            ASSERT_EQ(s->exec(sql), 0) << sql << ": " << s->errorText();
    }
    std::vector<std::string> column(const std::string& sql, const std::vector<std::string>& binds = {},
                                    size_t c = 0) {
        std::vector<Row> rows;
        std::vector<std::string> out;
        if (s->query(sql, rows, binds) != 0) return {"<ERR " + std::to_string(s->errorCode()) + ">"};
        for (auto& r : rows) out.push_back(r[c] ? *r[c] : "<NULL>");
        return out;
    }
};

} // namespace

TEST_F(DictionaryTest, ListsAndColumns) {
    EXPECT_EQ(
        column("select a.table_name, a.tablespace_name, 0 as mview_flg \nfrom all_tables a \nwhere a.owner = "
               ":X0 \norder by table_name",
               {"SYSTEM"}),
        (std::vector<std::string>{"ALPHA", "ZETA"}));
    EXPECT_EQ(column("select iot_type \nfrom all_tables t \nwhere t.owner = :X0 \nand t.table_name = :X1 \n",
                     {"SYSTEM", "ALPHA"}),
              (std::vector<std::string>{"IOT"}));
    auto comments =
        column("select b.table_name, b.comments \nfrom all_tab_comments b \nwhere b.owner = :X0 \nand "
               "b.table_type = :X1 \n",
               {"SYSTEM", "TABLE"}, 1);
    std::sort(comments.begin(), comments.end());
    EXPECT_EQ(comments, (std::vector<std::string>{"<NULL>", "the zeta table"}));
    EXPECT_EQ(column(kNewestColumns, {"SYSTEM", "ZETA"}, 3),
              (std::vector<std::string>{"10,2", "<NULL>", "10", "<NULL>", "11"}));
    EXPECT_EQ(column(kNewestColumns, {"SYSTEM", "ZETA"}, 2),
              (std::vector<std::string>{"NUMBER", "NUMBER", "VARCHAR2", "DATE", "TIMESTAMP(6)"}));
    ASSERT_EQ(api.ctl("hide ALL_TAB_COLUMNS.CHAR_USED"), "ok");
    Session8 later(api);
    ASSERT_EQ(later.logon("system", "manager"), 0);
    std::vector<Row> rows;
    EXPECT_EQ(later.query(kNewestColumns, rows, {"SYSTEM", "ZETA"}), -1);
    EXPECT_EQ(later.errorCode(), 904);
    EXPECT_EQ(later.query(kMiddleColumns, rows, {"SYSTEM", "ZETA"}), 0) << later.errorText();
    EXPECT_EQ(rows.size(), 5u);
    ASSERT_EQ(api.ctl("hide ALL_MVIEWS"), "ok");
    EXPECT_EQ(
        later.query(
            "select b.mview_name table_name, 1 as mview_flg \nfrom all_mviews b \nwhere b.owner = :X0 \n",
            rows, {"SYSTEM"}),
        -1);
    EXPECT_EQ(later.errorCode(), 942);
}

TEST_F(DictionaryTest, KeysThroughSynonymsAndUpdatableColumns) {
    EXPECT_EQ(column("select table_owner, table_name \nfrom all_synonyms \nwhere owner = :X0 \nand "
                     "synonym_name = :X1 \n",
                     {"SYSTEM", "AL"}, 1),
              (std::vector<std::string>{"ALPHA"}));
    EXPECT_EQ(
        column("select i.column_name \nfrom all_ind_columns i, all_constraints c \nwhere c.owner = "
               "i.table_owner \nand c.table_name = i.table_name \nand c.constraint_name = i.index_name \nand "
               "c.owner = :X0 \nand c.table_name = :X1 \nand c.constraint_type = 'P' \n",
               {"SYSTEM", "ALPHA"}),
        (std::vector<std::string>{"K1", "K2"}));
    EXPECT_EQ(
        column("select u.column_name, u.updatable, u.insertable, u.deletable \nfrom user_updatable_columns u "
               "\nwhere u.owner = :X0 \nand u.table_name = :X1 \n",
               {"SYSTEM", "ZETA_V"}, 1),
        (std::vector<std::string>{"YES", "YES", "NO"}));
    EXPECT_EQ(
        column("select object_name, object_type, '' comments \nfrom all_objects \nwhere owner = :X0 \nand "
               "object_name = :X1 \norder by object_name",
               {"SYSTEM", "AL"}, 1),
        (std::vector<std::string>{"SYNONYM"}));
    EXPECT_EQ(s->value("select count(*) from al"), "0");
}

TEST_F(DictionaryTest, ProcedureWithErrorsWarnsInBothCallSets) {
    EXPECT_EQ(s->exec("create or replace procedure ok_proc is begin null; end ok_proc;"), 0)
        << s->errorText();
    EXPECT_EQ(s->exec("create or replace procedure bad_proc is begin null;"), 1);
    EXPECT_EQ(s->errorCode(), 24344);
    EXPECT_EQ(s->value("select status from all_objects where object_name = 'BAD_PROC'"), "INVALID");
    Lda_Def lda{};
    ASSERT_EQ(api.OCISvcCtxToLda(s->svc, s->err, &lda), 0);
    Cda_Def cda{};
    api.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1);
    api.oparse(
        &cda,
        reinterpret_cast<OraText*>(const_cast<char*>("create procedure p7 is begin if 1 then null; end")), -1,
        1, 1);
    EXPECT_EQ(api.oexec(&cda), 0);
    EXPECT_EQ(cda.wrn & (OCI7_WARN_ANY | OCI7_WARN_PLSQL_COMPILE), OCI7_WARN_ANY | OCI7_WARN_PLSQL_COMPILE);
    api.oclose(&cda);
}

TEST_F(DictionaryTest, ProcedureSourceAndSynonymsOfProcedures) {
    ASSERT_EQ(s->exec("create or replace procedure src_proc is\nbegin\n  null;\nend src_proc;\n/\n"), 0)
        << s->errorText();
    std::vector<Row> rows;
    ASSERT_EQ(s->query("select line, text, type from all_source where name = 'SRC_PROC' order by line", rows),
              0)
        << s->errorText();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(*rows[0][1], "procedure src_proc is\n");
    EXPECT_EQ(*rows[2][1], "  null;\n");
    EXPECT_EQ(*rows[3][0], "4");
    EXPECT_EQ(*rows[3][1], "end src_proc;");
    EXPECT_EQ(*rows[0][2], "PROCEDURE");
    ASSERT_EQ(s->exec("create or replace procedure src_proc is begin null; end;"), 0);
    EXPECT_EQ(s->value("select count(*) from all_source where name = 'SRC_PROC'"), "1") << "replaced";

    ASSERT_EQ(s->exec("create synonym sp for src_proc"), 0) << s->errorText();
    ASSERT_EQ(s->exec("create public synonym psp for system.src_proc"), 0) << s->errorText();
    EXPECT_EQ(s->value("select * from sp"), "<ERR 4044>");
    EXPECT_EQ(s->value("select * from psp"), "<ERR 4044>");
    EXPECT_EQ(s->value("select * from src_proc"), "<ERR 4044>");
    EXPECT_EQ(s->value("select * from no_such_thing"), "<ERR 942>");
    ASSERT_EQ(s->exec("drop procedure src_proc"), 0) << s->errorText();
    EXPECT_EQ(s->value("select count(*) from all_source where name = 'SRC_PROC'"), "0");
    EXPECT_EQ(s->value("select * from sp"), "<ERR 942>");
}

TEST_F(DictionaryTest, RowidsOfViewsAndIndexOrganisedTables) {
    ASSERT_EQ(s->exec("insert into zeta (id, name, price) values (1, 'one', 10)"), 0) << s->errorText();
    ASSERT_EQ(s->exec("insert into alpha values (7, 'k', 'seven')"), 0) << s->errorText();
    std::vector<Row> rows;
    ASSERT_EQ(s->query("SELECT ROWID, A.* FROM \"SYSTEM\".\"ZETA_V\" A", rows), 0) << s->errorText();
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_EQ(rows[0].size(), 4u) << "ROWID, ID, NAME, TWICE: the hidden row id column stays hidden";
    EXPECT_EQ(*rows[0][3], "20");
    std::string viewRowid = *rows[0][0];
    ASSERT_EQ(s->query("SELECT ROWID, A.* FROM \"SYSTEM\".\"ZETA\" A", rows), 0);
    EXPECT_EQ(*rows[0][0], viewRowid) << "a key-preserved view gives the base row's id";
    ASSERT_EQ(s->query("select name from zeta_v where \"ROWID\" = :X0", rows, {viewRowid}), 0)
        << s->errorText();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(*rows[0][0], "one");

    ASSERT_EQ(s->query("SELECT ROWID, A.* FROM \"SYSTEM\".\"ALPHA\" A", rows), 0) << s->errorText();
    ASSERT_EQ(rows.size(), 1u);
    std::string urowid = *rows[0][0];
    EXPECT_EQ(urowid[0], '*');
    ASSERT_EQ(s->query("select v from alpha where rowid = :X0", rows, {urowid}), 0) << s->errorText();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(*rows[0][0], "seven");
    EXPECT_EQ(s->exec("select rowid from zeta z, alpha a"), -1);

    // DML through the key-preserved view reaches the table; a join view refuses it.
    ASSERT_EQ(s->exec("update \"SYSTEM\".\"ZETA_V\" \nset \"NAME\" = :X0 \nwhere \"ROWID\" = :X1 \n",
                      {"uno", viewRowid}),
              0)
        << s->errorText();
    EXPECT_EQ(s->value("select name from zeta where id = 1"), "uno");
    ASSERT_EQ(s->exec("create view both_v as select z.id, a.v from zeta z, alpha a"), 0) << s->errorText();
    EXPECT_EQ(s->exec("delete from both_v"), -1);
    EXPECT_EQ(s->errorCode(), 1732);
}

TEST_F(DictionaryTest, SequencesAndIndexes) {
    ASSERT_EQ(s->exec("create sequence zeta_seq start with 100 increment by 5"), 0) << s->errorText();
    EXPECT_EQ(s->value("select zeta_seq.currval from dual"), "<ERR 8002>");
    EXPECT_EQ(s->value("select zeta_seq.nextval from dual"), "100");
    EXPECT_EQ(s->value("select system.zeta_seq.nextval from dual"), "105");
    EXPECT_EQ(s->value("select zeta_seq.currval from dual"), "105");
    ASSERT_EQ(s->exec("insert into zeta (id, name) values (zeta_seq.nextval, 'seq')"), 0) << s->errorText();
    EXPECT_EQ(s->value("select id from zeta where name = 'seq'"), "110");
    EXPECT_EQ(s->value("select last_number from all_sequences where sequence_name = 'ZETA_SEQ'"), "115");
    ASSERT_EQ(s->exec("create unique index zeta_name_ix on zeta (name)"), 0) << s->errorText();
    EXPECT_EQ(s->value("select uniqueness from all_indexes where index_name = 'ZETA_NAME_IX'"), "UNIQUE");
    EXPECT_EQ(s->exec("insert into zeta (id, name) values (1000, 'seq')"), -1);
    EXPECT_EQ(s->errorCode(), 1);
    ASSERT_EQ(s->exec("drop index zeta_name_ix"), 0) << s->errorText();
    EXPECT_EQ(s->exec("insert into zeta (id, name) values (1000, 'seq')"), 0);
    ASSERT_EQ(s->exec("drop sequence zeta_seq"), 0);
    EXPECT_EQ(s->value("select zeta_seq.nextval from dual"), "<ERR 2289>");
}

TEST_F(DictionaryTest, AlterTableAddsColumns) {
    ASSERT_EQ(s->exec("alter table zeta add (extra varchar2(5) default 'x', more number(3))"), 0)
        << s->errorText();
    EXPECT_EQ(column("select column_name from all_tab_columns where table_name = 'ZETA' order by column_id"),
              (std::vector<std::string>{"ID", "PRICE", "NAME", "BORN", "STAMP", "EXTRA", "MORE"}));
    ASSERT_EQ(s->exec("insert into zeta (id) values (5)"), 0);
    EXPECT_EQ(s->value("select extra from zeta where id = 5"), "x");
    EXPECT_EQ(s->exec("alter table zeta add name varchar2(3)"), -1);
    EXPECT_EQ(s->exec("create table two_longs (a long, b long raw)"), -1);
    EXPECT_EQ(s->errorCode(), 1754);
}

TEST_F(DictionaryTest, MaterializedViews) {
    ASSERT_EQ(s->exec("insert into zeta (id, price, name) values (1, 10, 'a')"), 0) << s->errorText();
    ASSERT_EQ(s->exec("insert into zeta (id, price, name) values (2, 32, 'a')"), 0) << s->errorText();
    ASSERT_EQ(s->exec("create materialized view zeta_mv build immediate refresh complete on demand as "
                      "select name, count(*) as n, sum(price) total from zeta group by name"),
              0)
        << s->errorText();
    // A copy made at creation: later rows of the master do not show.
    ASSERT_EQ(s->exec("insert into zeta (id, price, name) values (3, 1, 'b')"), 0);
    EXPECT_EQ(column("select name || '=' || n || '/' || total from zeta_mv"),
              (std::vector<std::string>{"a=2/42"}));
    EXPECT_EQ(column("select object_type from all_objects where owner = :X0 and object_name = :X1 order by 1",
                     {"SYSTEM", "ZETA_MV"}),
              (std::vector<std::string>{"MATERIALIZED VIEW", "TABLE"}));
    EXPECT_EQ(column("select table_name from all_tables where owner = :X0 order by table_name", {"SYSTEM"}),
              (std::vector<std::string>{"ALPHA", "ZETA", "ZETA_MV"}));
    EXPECT_EQ(column("select data_type || ' ' || data_length from all_tab_columns where owner = :X0 and "
                     "table_name = :X1 order by column_id",
                     {"SYSTEM", "ZETA_MV"}),
              (std::vector<std::string>{"VARCHAR2 40", "NUMBER 22", "NUMBER 22"}));
    std::vector<Row> rows;
    ASSERT_EQ(s->query("select owner, mview_name, container_name, query, refresh_mode, refresh_method, "
                       "build_mode from all_mviews where owner = :X0",
                       rows, {"SYSTEM"}),
              0)
        << s->errorText();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(*rows[0][1], "ZETA_MV");
    EXPECT_EQ(*rows[0][2], "ZETA_MV");
    EXPECT_EQ(*rows[0][3], "select name, count(*) as n, sum(price) total from zeta group by name");
    EXPECT_EQ(*rows[0][4] + " " + *rows[0][5] + " " + *rows[0][6], "DEMAND COMPLETE IMMEDIATE");
    EXPECT_EQ(column("select name || ' ' || table_name || ' ' || master_owner || '.' || master from "
                     "all_snapshots where owner = :X0",
                     {"SYSTEM"}),
              (std::vector<std::string>{"ZETA_MV ZETA_MV SYSTEM.ZETA"}));

    // Comments: in the view's own list and as a TABLE comment.
    EXPECT_EQ(
        column("select b.mview_name table_name, b.comments \nfrom all_mview_comments b \nwhere b.owner = "
               ":X0 \n",
               {"SYSTEM"}, 1),
        (std::vector<std::string>{"<NULL>"}));
    ASSERT_EQ(s->exec("comment on materialized view zeta_mv is 'totals by name'"), 0) << s->errorText();
    EXPECT_EQ(
        column("select b.mview_name table_name, b.comments \nfrom all_mview_comments b \nwhere b.owner = "
               ":X0 \n",
               {"SYSTEM"}, 1),
        (std::vector<std::string>{"totals by name"}));
    EXPECT_EQ(column("select table_type || ' ' || comments from all_tab_comments where owner = :X0 and "
                     "table_name = :X1",
                     {"SYSTEM", "ZETA_MV"}),
              (std::vector<std::string>{"TABLE totals by name"}));

    // Read-only, dropped only as what it is.
    EXPECT_EQ(s->exec("delete from zeta_mv"), -1);
    EXPECT_EQ(s->errorCode(), 1732);
    EXPECT_EQ(s->exec("comment on materialized view zeta is 'x'"), -1);
    EXPECT_EQ(s->errorCode(), 12003);
    EXPECT_EQ(s->exec("drop table zeta_mv"), -1);
    EXPECT_EQ(s->errorCode(), 12083);
    EXPECT_EQ(s->exec("create materialized view zeta_mv as select * from zeta"), -1);
    EXPECT_EQ(s->errorCode(), 955);
    ASSERT_EQ(s->exec("drop materialized view zeta_mv"), 0) << s->errorText();
    EXPECT_EQ(column("select count(*) from all_objects where object_name = 'ZETA_MV'"),
              (std::vector<std::string>{"0"}));
    EXPECT_EQ(column("select count(*) from all_mviews"), (std::vector<std::string>{"0"}));
    EXPECT_EQ(column("select count(*) from all_mview_comments"), (std::vector<std::string>{"0"}));
    EXPECT_EQ(s->exec("drop materialized view zeta_mv"), -1);
    EXPECT_EQ(s->errorCode(), 12003);

    // Deferred: empty until refreshed, its columns from a star list.
    ASSERT_EQ(s->exec("create materialized view alpha_mv build deferred as select * from alpha"), 0)
        << s->errorText();
    EXPECT_EQ(s->value("select count(*) from alpha_mv"), "0");
    EXPECT_EQ(s->value("select staleness from all_mviews where mview_name = 'ALPHA_MV'"), "UNUSABLE");
    EXPECT_EQ(
        column("select column_name from all_tab_columns where table_name = 'ALPHA_MV' order by column_id"),
        (std::vector<std::string>{"K1", "K2", "V"}));
}

TEST_F(DictionaryTest, EveryListQueryRuns) {
    ASSERT_EQ(s->exec("create sequence zeta_seq start with 5"), 0) << s->errorText();
    ASSERT_EQ(s->exec("create index zeta_name on zeta (name)"), 0) << s->errorText();
    ASSERT_EQ(s->exec("create materialized view zeta_mv as select id, name from zeta"), 0) << s->errorText();
    struct Query {
        const char* sql;
        std::vector<std::string> binds;
        size_t rows;
    };
    const Query queries[] = {
        {"select cluster_name, cluster_type, tablespace_name \nfrom all_clusters \nwhere owner = :X0 \norder "
         "by "
         "cluster_name",
         {"SYSTEM"},
         0},
        {"select db_link, username, host \nfrom all_db_links \nwhere owner = :X0 \norder by db_link",
         {"SYSTEM"},
         0},
        {"select index_name, uniqueness, table_owner, table_name, tablespace_name \nfrom all_indexes \nwhere "
         "owner "
         "= :X0 \norder by index_name",
         {"SYSTEM"},
         3},
        {"select trigger_name, table_owner, table_name, trigger_type, triggering_event, status \nfrom "
         "all_triggers "
         "\nwhere owner = :X0 \norder by trigger_name",
         {"SYSTEM"},
         0},
        {"select name, table_name, master_view, master_owner, master,  \n\tmaster_link, last_refresh \nfrom "
         "all_snapshots \nwhere owner = :X0 \norder by name",
         {"SYSTEM"},
         1},
        {"select master, log_table, log_trigger, current_snapshots \nfrom all_snapshot_logs \nwhere "
         "log_owner = "
         ":X0 \norder by log_table",
         {"SYSTEM"},
         0},
        {"select object_name, \n\t(select s.last_number from all_sequences s where s.sequence_owner = "
         "o.owner "
         "and s.sequence_name = o.object_name) last_number, \n\tstatus, last_ddl_time, created \nfrom "
         "all_objects "
         "o \nwhere owner = :X0 \nand object_type = :X1 \norder by object_name",
         {"SYSTEM", "SEQUENCE"},
         1},
        {"select object_name, status, last_ddl_time, created \nfrom all_objects \nwhere owner = :X0 \nand "
         "object_type = :X1 \norder by object_name",
         {"SYSTEM", "MATERIALIZED VIEW"},
         1},
        {"select a.view_name \nfrom all_views a \nwhere a.owner = :X0 \norder by view_name", {"SYSTEM"}, 1},
        {"select b.table_name view_name, b.comments \nfrom all_tab_comments b \nwhere b.owner = :X0 \nand "
         "b.table_type = :X1 \n",
         {"SYSTEM", "VIEW"},
         1},
        {"select a.synonym_name, a.table_owner, a.table_name, a.db_link \nfrom all_synonyms a \nwhere "
         "a.owner = "
         ":X0 \nand a.db_link is null \n",
         {"SYSTEM"},
         1},
        {"select b.table_name, b.comments \nfrom all_tab_comments b \nwhere b.owner = :X0 \n", {"SYSTEM"}, 4},
        {"select a.synonym_name, :X1 comments, a.table_owner, a.table_name, a.db_link \nfrom all_synonyms a "
         "\nwhere a.owner = :X0 \nand a.db_link is not null \n",
         {"SYSTEM", ""},
         0},
        {"select a.column_id, a.column_name, a.data_type, \n\tdecode(a.data_type,  \n\t\t'NUMBER', "
         "a.data_precision || decode(a.data_scale, 0, NULL, NULL, NULL, ',' || a.data_scale), "
         "\n\t\t'NVARCHAR2', "
         "data_length / 2, \n\t\t'DATE', NULL, \n\t\t'ROWID', NULL, \n\t\t'LONG', NULL, \n\t\ta.data_length) "
         "data_length, \n\ta.nullable, a.data_default, b.comments \nfrom all_tab_columns a, all_col_comments "
         "b "
         "\nwhere a.table_name = b.table_name \nand a.column_name = b.column_name \nand a.owner = b.owner "
         "\nand "
         "a.owner = :X0 \nand a.table_name = :X1 \norder by a.column_id",
         {"SYSTEM", "ZETA"},
         5},
        {"select i.column_name \nfrom all_ind_columns i, all_constraints c \nwhere c.owner = i.table_owner "
         "\nand "
         "c.table_name = i.table_name \nand c.index_name = i.index_name \nand c.owner = :X0 \nand "
         "c.table_name = "
         ":X1 \nand c.constraint_type = 'P' \n",
         {"SYSTEM", "ZETA"},
         1},
        {"select value from nls_session_parameters \nwhere parameter = :X0", {"NLS_DATE_FORMAT"}, 1},
        {"select sessiontimezone from dual", {}, 1},
        {"select value \nfrom nls_database_parameters \nwhere parameter = :X0 \n",
         {"NLS_NCHAR_CHARACTERSET"},
         1},
    };
    for (const Query& q : queries) {
        std::vector<Row> rows;
        ASSERT_EQ(s->query(q.sql, rows, q.binds), 0) << q.sql << ": " << s->errorText();
        EXPECT_EQ(rows.size(), q.rows) << q.sql;
    }
    EXPECT_EQ(s->value("select last_number from all_sequences where sequence_name = 'ZETA_SEQ'"), "5");
    EXPECT_EQ(s->exec("alter session set NLS_DATE_FORMAT = 'YYYY-MM-DD'"), 0);
    EXPECT_EQ(s->value("select value from nls_session_parameters \nwhere parameter = 'NLS_DATE_FORMAT'"),
              "YYYY-MM-DD");
}

TEST_F(DictionaryTest, MaterializedViewColumnsFromViewsAndExpressions) {
    ASSERT_EQ(s->exec("create materialized view v_mv as select * from zeta_v"), 0) << s->errorText();
    std::vector<Row> rows;
    ASSERT_EQ(s->query("select * from v_mv", rows), 0) << s->errorText();
    EXPECT_EQ(column("select column_name from all_tab_columns where table_name = 'V_MV' order by column_id"),
              (std::vector<std::string>{"ID", "NAME", "TWICE"}));
    ASSERT_EQ(s->query("select rowid, a.* from v_mv a", rows), 0) << s->errorText();
    EXPECT_EQ(s->exec("create materialized view d_mv as select id, id from zeta"), -1);
    EXPECT_EQ(s->errorCode(), 957);
    EXPECT_EQ(
        s->exec(
            "create materialized view e_mv as select id, sysdate as now, systimestamp ts, 'ab' k from zeta"),
        0)
        << s->errorText();
    EXPECT_EQ(column("select data_type from all_tab_columns where table_name = 'E_MV' order by column_id"),
              (std::vector<std::string>{"NUMBER", "DATE", "TIMESTAMP(6) WITH TIME ZONE", "CHAR"}));
}

// The dictionary views are temporary, each made at its first use: catalog.db
// holds none (those an older build kept there go at the next logon, which
// then answers through its own); a view first read inside a transaction
// answers after that transaction or a savepoint is rolled back, also through
// a statement executed before the rollback and again after it; a logon
// writes nothing to catalog.db once the older views are gone.
TEST_F(DictionaryTest, ViewsAreTemporaryAndSurviveRollbacks) {
    namespace fs = std::filesystem;
    const std::string catalog = (home->dir / "db" / "test" / "catalog.db").string();
    const std::string views = "select count(*) from sqlite_schema where type = 'view'";
    EXPECT_EQ(oci::testing::sqlite_run(catalog, views), "0\n");

    ASSERT_EQ(s->exec("insert into zeta (id, name) values (1, 'one')"), 0) << s->errorText();
    EXPECT_EQ(column("select table_name from all_tables where owner = 'SYSTEM' order by 1"),
              (std::vector<std::string>{"ALPHA", "ZETA"}));
    // A statement of its own, run before and after the rollback.
    OCIStmt* st = nullptr;
    ASSERT_EQ(api.OCIHandleAlloc(s->env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr), 0);
    const std::string count = "select count(*) from all_indexes where table_name = 'ZETA'";
    ASSERT_EQ(api.OCIStmtPrepare(st, s->err, reinterpret_cast<const OraText*>(count.data()),
                                 ub4(count.size()), OCI_NTV_SYNTAX, 0),
              0);
    auto run = [&] {
        char buf[32] = {};
        sb2 ind = 0;
        OCIDefine* d = nullptr;
        if (api.OCIStmtExecute(s->svc, st, s->err, 0, 0, nullptr, nullptr, 0) != 0)
            return "<ERR " + std::to_string(s->errorCode()) + ">";
        api.OCIDefineByPos(st, &d, s->err, 1, buf, sizeof buf, SQLT_STR, &ind, nullptr, nullptr, 0);
        if (api.OCIStmtFetch2(st, s->err, 1, OCI_FETCH_NEXT, 0, 0) != 0) return std::string("<NO ROW>");
        return std::string(buf);
    };
    EXPECT_EQ(run(), "1");
    ASSERT_EQ(api.OCITransRollback(s->svc, s->err, 0), 0);
    EXPECT_EQ(column("select count(*) from zeta"), std::vector<std::string>{"0"});
    EXPECT_EQ(run(), "1");
    EXPECT_EQ(column("select table_name from all_tables where owner = 'SYSTEM' order by 1"),
              (std::vector<std::string>{"ALPHA", "ZETA"}));
    EXPECT_EQ(column("select value from nls_session_parameters where parameter = 'NLS_TERRITORY'"),
              std::vector<std::string>{"JAPAN"});

    // Back to a savepoint set before the first read of a view.
    ASSERT_EQ(s->exec("insert into zeta (id, name) values (2, 'two')"), 0) << s->errorText();
    ASSERT_EQ(s->exec("savepoint before_read"), 0) << s->errorText();
    EXPECT_EQ(column("select constraint_type from all_constraints where table_name = 'ZETA'"),
              std::vector<std::string>{"P"});
    ASSERT_EQ(s->exec("rollback to savepoint before_read"), 0) << s->errorText();
    EXPECT_EQ(column("select constraint_type from all_constraints where table_name = 'ZETA'"),
              std::vector<std::string>{"P"});
    ASSERT_EQ(api.OCITransCommit(s->svc, s->err, 0), 0);
    EXPECT_EQ(column("select count(*) from zeta"), std::vector<std::string>{"1"});
    api.OCIHandleFree(st, OCI_HTYPE_STMT);
    s->logoff();

    // Views an older build made in catalog.db, one with another text.
    const std::string schemaVersion = "pragma schema_version";
    EXPECT_EQ(oci::testing::sqlite_run(catalog, "create view \"ALL_USERS\" as select 'OLD' as USERNAME; "
                                                "create view \"DUAL\" as select 'X' as DUMMY"),
              "");
    Session8 again(api);
    ASSERT_EQ(again.logon("system", "manager"), 0) << again.errorText();
    EXPECT_EQ(again.value("select count(*) from all_users where username = 'SYSTEM'"), "1");
    EXPECT_EQ(again.value("select count(*) from all_tables where table_name = 'ZETA'"), "1");
    EXPECT_EQ(oci::testing::sqlite_run(catalog, views), "0\n");
    again.logoff();

    // Nothing is written at the next logon.
    const std::string before = oci::testing::sqlite_run(catalog, schemaVersion);
    Session8 third(api);
    ASSERT_EQ(third.logon("system", "manager"), 0) << third.errorText();
    EXPECT_EQ(fs::file_size(catalog + "-wal"), 0u);
    EXPECT_EQ(third.value("select dummy from dual"), "X");
    EXPECT_EQ(oci::testing::sqlite_run(catalog, schemaVersion), before);
}

// The session's parameters are the session's, not the transaction's: one set
// inside a transaction that is then rolled back still reads as set, as the
// session goes on using it. The parameters read in the order of their names.
TEST_F(DictionaryTest, SessionParametersOutliveARollback) {
    const std::string params = "select parameter from nls_session_parameters";
    const std::vector<std::string> before = column(params);
    ASSERT_EQ(before.size(), 9u);
    EXPECT_TRUE(std::is_sorted(before.begin(), before.end()));
    ASSERT_EQ(s->exec("insert into zeta (id, born) values (1, to_date('2024-05-06', 'YYYY-MM-DD'))"), 0)
        << s->errorText();
    ASSERT_EQ(s->exec("alter session set nls_date_format = 'YYYY/MM/DD'"), 0) << s->errorText();
    ASSERT_EQ(s->exec("alter session set time_zone = '+09:00'"), 0) << s->errorText();
    ASSERT_EQ(api.OCITransRollback(s->svc, s->err, 0), 0);
    EXPECT_EQ(column("select count(*) from zeta"), std::vector<std::string>{"0"});
    EXPECT_EQ(column("select to_char(to_date('2024-05-06', 'YYYY-MM-DD')) from dual"),
              std::vector<std::string>{"2024/05/06"});
    EXPECT_EQ(column("select value from nls_session_parameters where parameter = 'NLS_DATE_FORMAT'"),
              std::vector<std::string>{"YYYY/MM/DD"});
    std::vector<std::string> after = before;
    after.push_back("TIME_ZONE");
    std::sort(after.begin(), after.end());
    EXPECT_EQ(column(params), after);
    EXPECT_EQ(column("select value from nls_database_parameters where parameter = 'NLS_NCHAR_CHARACTERSET'"),
              std::vector<std::string>{"AL16UTF16"});
    // A hidden column is gone from them as from the other views.
    ASSERT_EQ(api.ctl("hide NLS_SESSION_PARAMETERS.VALUE"), "ok");
    std::vector<Row> rows;
    EXPECT_EQ(s->query("select * from nls_session_parameters where parameter = 'NLS_SORT'", rows), 0)
        << s->errorText();
    EXPECT_EQ(rows, (std::vector<Row>{Row{std::string("NLS_SORT")}}));
    EXPECT_EQ(s->query("select value from nls_session_parameters", rows), -1);
    EXPECT_EQ(s->errorCode(), 904);
}
