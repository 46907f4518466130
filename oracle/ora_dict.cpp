#include "oracle/ora_dict.h"

#include <string>

#include "oracle/oci_exec.h"

int g_oradict_no_char_used = 0;
int g_oradict_no_char_decl = 0;
int g_oradict_no_mview = 0;

namespace {

// A failure that says the catalogue lacks a column or a view.
bool MissingInCatalogue(OraSession* s, int rc) {
    return rc == ORARC_ORACLE_ERROR && s && (s->last_error == 904 || s->last_error == 942);
}

struct ScopedDataset {
    OraDataset ds{};
    ~ScopedDataset() { oci_free_dataset(&ds); }
};

const char16_t kClusters[] =
    u"select cluster_name, cluster_type, tablespace_name \nfrom $DICT$_clusters \nwhere owner = "
    u":X0 \norder by cluster_name";
const char16_t kDbLinks[] =
    u"select db_link, username, host \nfrom $DICT$_db_links \nwhere owner = :X0 \norder by db_link";
const char16_t kIndexes[] = u"select index_name, uniqueness, table_owner, table_name, tablespace_name \nfrom "
                            u"$DICT$_indexes \nwhere owner = :X0 \norder by index_name";
const char16_t kTriggers[] =
    u"select trigger_name, table_owner, table_name, trigger_type, triggering_event, status "
    u"\nfrom $DICT$_triggers \nwhere owner = :X0 \norder by trigger_name";
const char16_t kSnapshots[] =
    u"select name, table_name, master_view, master_owner, master,  \n\tmaster_link, "
    u"last_refresh \nfrom $DICT$_snapshots \nwhere owner = :X0 \norder by name";
const char16_t kSnapshotLogs[] = u"select master, log_table, log_trigger, current_snapshots \nfrom "
                                 u"$DICT$_snapshot_logs \nwhere log_owner = :X0 \norder by log_table";
const char16_t kSequences[] = u"select object_name, \n\t(select s.last_number from $DICT$_sequences s where "
                              u"s.sequence_owner = o.owner and "
                              u"s.sequence_name = o.object_name) last_number, \n\tstatus, last_ddl_time, "
                              u"created \nfrom $DICT$_objects o "
                              u"\nwhere owner = :X0 \nand object_type = :X1 \norder by object_name";
const char16_t kObjects[] =
    u"select object_name, status, last_ddl_time, created \nfrom $DICT$_objects \nwhere owner "
    u"= :X0 \nand object_type = :X1 \norder by object_name";

const char16_t kTables[] =
    u"select a.table_name, a.tablespace_name, 0 as mview_flg \nfrom $DICT$_tables a \nwhere "
    u"a.owner = :X0 \norder by table_name";
const char16_t kTabComments[] =
    u"select b.table_name, b.comments \nfrom $DICT$_tab_comments b \nwhere b.owner = :X0 "
    u"\nand b.table_type = :X1 \n";
const char16_t kMviewComments[] =
    u"select b.mview_name table_name, b.comments \nfrom $DICT$_mview_comments b \nwhere "
    u"b.owner = :X0 \n";
const char16_t kMviews[] =
    u"select b.mview_name table_name, 1 as mview_flg \nfrom $DICT$_mviews b \nwhere b.owner "
    u"= :X0 \n";
const char16_t kViews[] =
    u"select a.view_name \nfrom $DICT$_views a \nwhere a.owner = :X0 \norder by view_name";
const char16_t kViewComments[] =
    u"select b.table_name view_name, b.comments \nfrom $DICT$_tab_comments b \nwhere "
    u"b.owner = :X0 \nand b.table_type = :X1 \n";
const char16_t kLocalSynonyms[] = u"select a.synonym_name, a.table_owner, a.table_name, a.db_link \nfrom "
                                  u"$DICT$_synonyms a \nwhere a.owner = :X0 \nand a.db_link is null \n";
const char16_t kOwnerComments[] =
    u"select b.table_name, b.comments \nfrom $DICT$_tab_comments b \nwhere b.owner = "
    u":X0 \n";
const char16_t kRemoteSynonyms[] =
    u"select a.synonym_name, :X1 comments, a.table_owner, a.table_name, a.db_link "
    u"\nfrom $DICT$_synonyms a \nwhere a.owner = :X0 \nand a.db_link is not null \n";

const char16_t kColumns1[] =
    u"select a.column_id, a.column_name, \n\tdecode(a.data_type_mod, NULL, NULL, a.data_type_mod ||  ' ') || "
    u"a.data_type as data_type, \ndecode(a.data_type_owner, NULL, \tdecode(a.data_type,  \n\t\t'NUMBER', "
    u"a.data_precision || decode(a.data_scale, 0, NULL, NULL, NULL, ',' || a.data_scale), \n\t\t'FLOAT', "
    u"a.data_precision, \n\t\t'BINARY_FLOAT', NULL, \n\t\t'BINARY_DOUBLE', NULL, \n\t\t'NVARCHAR2', "
    u"decode(a.char_used, 'C', a.char_length, a.data_length), \n\t\t'NCHAR', decode(a.char_used, 'C', "
    u"a.char_length, a.data_length), \n\t\t'VARCHAR2', decode(a.char_used, 'C', a.char_length, "
    u"a.data_length), "
    u"\n\t\t'CHAR', decode(a.char_used, 'C', a.char_length, a.data_length), \n\t\t'DATE', NULL, "
    u"\n\t\t'ROWID', "
    u"NULL, \n\t\t'LONG', NULL, \n\t\t'LONG RAW', NULL, \n\t\t'INTERVAL YEAR(2) TO MONTH', NULL, "
    u"\n\t\t'INTERVAL "
    u"DAY(2) TO SECOND(6)', NULL, \n\t\t'BLOB', NULL, \n\t\t'CLOB', NULL, \n\t\t'NCLOB', NULL, "
    u"\n\t\t'BFILE', "
    u"NULL, \n\t\ta.data_length), NULL) data_length, a.char_used, \n\ta.nullable, a.data_default, b.comments "
    u" "
    u"\nfrom $DICT$_tab_columns a, $DICT$_col_comments b \nwhere a.table_name = b.table_name \nand "
    u"a.column_name = "
    u"b.column_name \nand a.owner = b.owner \nand a.owner = :X0 \nand a.table_name = :X1 \norder by "
    u"a.column_id";
const char16_t kColumns2[] =
    u"select a.column_id, a.column_name, \n\tdecode(a.data_type_mod, NULL, NULL, a.data_type_mod ||  ' ') || "
    u"a.data_type as data_type, \ndecode(a.data_type_owner, NULL, \tdecode(a.data_type,  \n\t\t'NUMBER', "
    u"a.data_precision || decode(a.data_scale, 0, NULL, NULL, NULL, ',' || a.data_scale), \n\t\t'FLOAT', "
    u"a.data_precision, \n\t\t'NVARCHAR2', a.char_col_decl_length, \n\t\t'NCHAR', a.char_col_decl_length, "
    u"\n\t\t'DATE', NULL, \n\t\t'ROWID', NULL, \n\t\t'LONG', NULL, \n\t\t'BLOB', NULL, \n\t\t'CLOB', NULL, "
    u"\n\t\t'NCLOB', NULL, \n\t\t'BFILE', NULL, \n\t\ta.data_length), NULL) data_length, \n\ta.nullable, "
    u"a.data_default, b.comments \nfrom $DICT$_tab_columns a, $DICT$_col_comments b \nwhere a.table_name = "
    u"b.table_name \nand a.column_name = b.column_name \nand a.owner = b.owner \nand a.owner = :X0 \nand "
    u"a.table_name = :X1 \norder by a.column_id";
const char16_t kColumns3[] =
    u"select a.column_id, a.column_name, a.data_type, \n\tdecode(a.data_type,  \n\t\t'NUMBER', "
    u"a.data_precision || "
    u"decode(a.data_scale, 0, NULL, NULL, NULL, ',' || a.data_scale), \n\t\t'NVARCHAR2', data_length / 2, "
    u"\n\t\t'DATE', NULL, \n\t\t'ROWID', NULL, \n\t\t'LONG', NULL, \n\t\ta.data_length) data_length, "
    u"\n\ta.nullable, a.data_default, b.comments \nfrom $DICT$_tab_columns a, $DICT$_col_comments b \nwhere "
    u"a.table_name = b.table_name \nand a.column_name = b.column_name \nand a.owner = b.owner \nand a.owner "
    u"= :X0 "
    u"\nand a.table_name = :X1 \norder by a.column_id";

const char16_t kSynonymTarget[] =
    u"select table_owner, table_name \nfrom $DICT$_synonyms \nwhere owner = :X0 \nand "
    u"synonym_name = :X1 \n";
const char16_t kKeys1[] =
    u"select i.column_name \nfrom all_ind_columns i, all_constraints c \nwhere c.owner = "
    u"i.table_owner \nand c.table_name = i.table_name \nand c.constraint_name = i.index_name "
    u"\nand c.owner = :X0 \nand c.table_name = :X1 \nand c.constraint_type = 'P' \norder by "
    u"i.column_position \n";
const char16_t kKeys2[] =
    u"select i.column_name \nfrom all_ind_columns i, all_constraints c \nwhere c.owner = "
    u"i.table_owner \nand c.table_name = i.table_name \nand c.index_name = i.index_name \nand "
    u"c.owner = :X0 \nand c.table_name = :X1 \nand c.constraint_type = 'P' \norder by "
    u"i.column_position \n";

int TableList(OraSession* s, const char16_t* owner, OraDataset* ds, CString* msg, CancelState* cancel) {
    ScopedDataset tables, comments;
    int rc = oradict_sel_dataset(s, &tables.ds, kTables, 100, msg, nullptr, cancel, "S", owner);
    if (rc == ORARC_OK)
        rc = oradict_sel_dataset(s, &comments.ds, kTabComments, 100, msg, nullptr, cancel, "SS", owner,
                                 u"TABLE");
    const char16_t* cols[] = {u"TABLE_NAME", u"COMMENTS", u"TABLESPACE_NAME", u"MVIEW_FLG"};
    if (rc == ORARC_OK) rc = oci_join_dataset(ds, &tables.ds, &comments.ds, u"TABLE_NAME", cols, 4, msg);
    if (rc != ORARC_OK || g_oradict_no_mview) return rc;
    // Each of the two queries sets the flag when its view is missing; the
    // second still runs in the call whose first query failed.
    ScopedDataset mcomments, mviews;
    CString ignored;
    int r = oradict_sel_dataset(s, &mcomments.ds, kMviewComments, 100, &ignored, nullptr, cancel, "S", owner);
    if (r == ORARC_OK) {
        rc = oci_overwrite_dataset(ds, &mcomments.ds, u"COMMENTS", 1, msg);
        if (rc != ORARC_OK) return rc;
    } else if (MissingInCatalogue(s, r)) {
        g_oradict_no_mview = 1;
    } else {
        if (msg) *msg = ignored;
        return r;
    }
    r = oradict_sel_dataset(s, &mviews.ds, kMviews, 100, &ignored, nullptr, cancel, "S", owner);
    if (r == ORARC_OK) return oci_overwrite_dataset(ds, &mviews.ds, u"MVIEW_FLG", 0, msg);
    if (!MissingInCatalogue(s, r)) {
        if (msg) *msg = ignored;
        return r;
    }
    g_oradict_no_mview = 1;
    return ORARC_OK;
}

int ViewList(OraSession* s, const char16_t* owner, OraDataset* ds, CString* msg, CancelState* cancel) {
    ScopedDataset views, comments;
    int rc = oradict_sel_dataset(s, &views.ds, kViews, 100, msg, nullptr, cancel, "S", owner);
    if (rc == ORARC_OK)
        rc = oradict_sel_dataset(s, &comments.ds, kViewComments, 100, msg, nullptr, cancel, "SS", owner,
                                 u"VIEW");
    const char16_t* cols[] = {u"VIEW_NAME", u"COMMENTS"};
    if (rc == ORARC_OK) rc = oci_join_dataset(ds, &views.ds, &comments.ds, u"VIEW_NAME", cols, 2, msg);
    return rc;
}

int SynonymList(OraSession* s, const char16_t* owner, OraDataset* ds, CString* msg, CancelState* cancel) {
    ScopedDataset local, comments, remote, joined;
    int rc = oradict_sel_dataset(s, &local.ds, kLocalSynonyms, 100, msg, nullptr, cancel, "S", owner);
    if (rc == ORARC_OK)
        rc = oradict_sel_dataset(s, &comments.ds, kOwnerComments, 100, msg, nullptr, cancel, "S", owner);
    if (rc == ORARC_OK)
        rc = oradict_sel_dataset(s, &remote.ds, kRemoteSynonyms, 100, msg, nullptr, cancel, "SS", owner, u"");
    const char16_t* cols[] = {u"SYNONYM_NAME", u"COMMENTS", u"TABLE_OWNER", u"TABLE_NAME", u"DB_LINK"};
    if (rc == ORARC_OK)
        rc = oci_join_dataset(&joined.ds, &local.ds, &comments.ds, u"TABLE_NAME", cols, 5, msg);
    OraDataset* pair[] = {&joined.ds, &remote.ds};
    if (rc == ORARC_OK) rc = oci_merge_dataset(ds, pair, msg);
    if (rc == ORARC_OK) oci_sort_dataset(ds, u"SYNONYM_NAME");
    return rc;
}

} // namespace

int oradict_vsel_dataset(OraSession* s, OraDataset* ds, const char16_t* sql, int rows, CString* msg, HWND wnd,
                         CancelState* cancel, const char* letters, va_list args) {
    std::u16string text = sql;
    for (size_t at; (at = text.find(u"$DICT$")) != std::u16string::npos;) text.replace(at, 6, u"all");
    return oci_cre_sel_cursor(s, ds, text.c_str(), rows, msg, wnd, cancel, letters, args);
}

int oradict_sel_dataset(OraSession* s, OraDataset* ds, const char16_t* sql, int rows, CString* msg, HWND wnd,
                        CancelState* cancel, const char* letters, ...) {
    va_list args;
    va_start(args, letters);
    int rc = oradict_vsel_dataset(s, ds, sql, rows, msg, wnd, cancel, letters, args);
    va_end(args);
    return rc;
}

int oradict_sel_objects(OraSession* s, const char16_t* owner, const char16_t* type, OraDataset* ds,
                        CString* msg, CancelState* cancel) {
    std::u16string t = type;
    if (t == u"TABLE") return TableList(s, owner, ds, msg, cancel);
    if (t == u"VIEW") return ViewList(s, owner, ds, msg, cancel);
    if (t == u"SYNONYM") return SynonymList(s, owner, ds, msg, cancel);
    if (t == u"TABLE|VIEW|SYNONYM") return oradict_sel_table_objects(s, owner, type, ds, msg, cancel);
    const char16_t* by_owner = t == u"CLUSTER"         ? kClusters
                               : t == u"DATABASE LINK" ? kDbLinks
                               : t == u"INDEX"         ? kIndexes
                               : t == u"TRIGGER"       ? kTriggers
                               : t == u"SNAPSHOT"      ? kSnapshots
                               : t == u"SNAPSHOT LOG"  ? kSnapshotLogs
                                                       : nullptr;
    if (by_owner) return oradict_sel_dataset(s, ds, by_owner, 100, msg, nullptr, cancel, "S", owner);
    return oradict_sel_dataset(s, ds, t == u"SEQUENCE" ? kSequences : kObjects, 100, msg, nullptr, cancel,
                               "SS", owner, type);
}

int oradict_sel_table_objects(OraSession* s, const char16_t* owner, const char16_t*, OraDataset* ds,
                              CString* msg, CancelState* cancel) {
    ScopedDataset tables, views, synonyms;
    int rc = TableList(s, owner, &tables.ds, msg, cancel);
    if (rc == ORARC_OK) rc = ViewList(s, owner, &views.ds, msg, cancel);
    if (rc == ORARC_OK) rc = SynonymList(s, owner, &synonyms.ds, msg, cancel);
    if (rc != ORARC_OK) return rc;
    const char16_t* names[] = {u"OBJECT_NAME", u"OBJECT_TYPE", u"COMMENTS"};
    OraDatasetBuilder* b = nullptr;
    rc = oci_init_dataset_builder(ds, names, 100, 3, &b, msg);
    if (rc != ORARC_OK) return rc;
    auto add = [&](OraDataset& src, const char16_t* name_col, const char16_t* type) {
        int name = oci_get_dataset_col_no(&src, name_col),
            comments = oci_get_dataset_col_no(&src, u"COMMENTS");
        int flag = oci_get_dataset_col_no(&src, u"MVIEW_FLG");
        for (int r = 0; r < src.row_count && rc == ORARC_OK; ++r) {
            const char16_t* kind = type;
            if (flag >= 0 && std::u16string(oci_get_dataset_data(&src, r, flag)) == u"1") kind = u"SNAPSHOT";
            rc = oci_add_dataset_row(ds, b, msg);
            if (rc == ORARC_OK) rc = oci_set_dataset_data(ds, b, 0, oci_get_dataset_data(&src, r, name), msg);
            if (rc == ORARC_OK) rc = oci_set_dataset_data(ds, b, 1, kind, msg);
            if (rc == ORARC_OK && comments >= 0)
                rc = oci_set_dataset_data(ds, b, 2, oci_get_dataset_data(&src, r, comments), msg);
        }
    };
    add(tables.ds, u"TABLE_NAME", u"TABLE");
    add(views.ds, u"VIEW_NAME", u"VIEW");
    add(synonyms.ds, u"SYNONYM_NAME", u"SYNONYM");
    int rpb = b->rows_per_block;
    ds->row_count = b->cur_row + 1;
    free(b);
    if (rc == ORARC_OK) rc = oci_make_row_index(ds, rpb, ds->row_size, msg);
    if (rc == ORARC_OK) oci_sort_dataset(ds, u"OBJECT_NAME");
    return rc;
}

int oradict_sel_columns(OraSession* s, const char16_t* owner, const char16_t* table, OraDataset* ds,
                        CString* msg) {
    if (!owner || !*owner || !table || !*table) return ORARC_OK;
    if (!g_oradict_no_char_used) {
        int rc = oradict_sel_dataset(s, ds, kColumns1, 100, msg, nullptr, nullptr, "SS", owner, table);
        if (rc == ORARC_OK || !MissingInCatalogue(s, rc)) return rc;
        g_oradict_no_char_used = 1;
        oci_init_dataset(ds);
    }
    if (!g_oradict_no_char_decl) {
        int rc = oradict_sel_dataset(s, ds, kColumns2, 100, msg, nullptr, nullptr, "SS", owner, table);
        if (rc == ORARC_OK || !MissingInCatalogue(s, rc)) return rc;
        g_oradict_no_char_decl = 1;
        oci_init_dataset(ds);
    }
    return oradict_sel_dataset(s, ds, kColumns3, 100, msg, nullptr, nullptr, "SS", owner, table);
}

int oradict_get_key_columns(OraSession* s, OraDataset* ds, const char16_t* owner, const char16_t* table,
                            CString* msg) {
    std::u16string o = owner, t = table;
    {
        ScopedDataset syn;
        int rc =
            oradict_sel_dataset(s, &syn.ds, kSynonymTarget, 1, msg, nullptr, nullptr, "SS", owner, table);
        if (rc != ORARC_OK) return rc;
        if (syn.ds.row_count > 0) {
            o = oci_get_dataset_data(&syn.ds, 0, 0);
            t = oci_get_dataset_data(&syn.ds, 0, 1);
        }
    }
    int rc = oci_sel_dataset(s, ds, kKeys1, 10, msg, "SS", o.c_str(), t.c_str());
    if (rc == ORARC_OK && ds->row_count == 0) {
        oci_init_dataset(ds);
        rc = oci_sel_dataset(s, ds, kKeys2, 10, msg, "SS", o.c_str(), t.c_str());
    }
    return rc;
}

int oradict_get_iot_type(OraSession* s, const char16_t* owner, const char16_t* table, CString* msg) {
    ScopedDataset r;
    if (oci_sel_dataset(
            s, &r.ds,
            u"select iot_type \nfrom all_tables t \nwhere t.owner = :X0 \nand t.table_name = :X1 \n", 2, msg,
            "SS", owner, table) != ORARC_OK ||
        r.ds.row_count == 0)
        return 0;
    return std::u16string(oci_get_dataset_data(&r.ds, 0, 0)) == u"IOT" ? 1 : 0;
}

int oradict_get_nls_session_param(OraSession* s, CString* value, const char16_t* name, CString* msg) {
    ScopedDataset r;
    int rc = oci_sel_dataset(s, &r.ds, u"select value from nls_session_parameters \nwhere parameter = :X0", 1,
                             msg, "S", name);
    if (rc != ORARC_OK) return rc;
    if (r.ds.row_count > 0) {
        int col = oci_get_dataset_col_no(&r.ds, u"VALUE");
        *value = col >= 0 ? oci_get_dataset_data(&r.ds, 0, col) : u"";
    }
    return ORARC_OK;
}

int oradict_set_nls_session_param(OraSession* s, const char16_t* value, const char16_t* name, CString* msg) {
    bool ok = name && *name;
    for (const char16_t* p = name; ok && *p; ++p)
        ok = (*p >= u'A' && *p <= u'Z') || (*p >= u'0' && *p <= u'9') || *p == u'_';
    if (!ok) {
        if (msg) msg->Format(u"エラー(%s)\n", u"oradict_set_nls_session_param");
        return ORARC_FAILED;
    }
    std::u16string sql = u"alter session set ";
    sql += name;
    sql += u" = '";
    for (const char16_t* p = value ? value : u""; *p; ++p) {
        if (*p == u'\'') sql += u'\'';
        sql += *p;
    }
    sql += u"'";
    return oci_exec_sql(s, sql.c_str(), msg);
}

int oradict_get_session_timezone(CString* value, CString* msg) {
    *value = u"";
    ScopedDataset r;
    int rc = oci_sel_dataset(g_session, &r.ds, u"select sessiontimezone from dual", 1, msg, "");
    if (rc == ORARC_OK && r.ds.row_count > 0) *value = oci_get_dataset_data(&r.ds, 0, 0);
    return rc;
}

int oradict_get_nls_db_param(CString* value, OraSession* s, const char16_t* name, CString* msg) {
    ScopedDataset r;
    int rc =
        oci_sel_dataset(s, &r.ds, u"select value \nfrom nls_database_parameters \nwhere parameter = :X0 \n",
                        1, msg, "S", name);
    if (rc != ORARC_OK)
        *value = u"Unknown";
    else
        *value = r.ds.row_count > 0 ? oci_get_dataset_data(&r.ds, 0, 0) : u"";
    return rc;
}

int oradict_get_sysdate_text(CString* value, const char16_t* format, CString* msg) {
    *value = u"";
    ScopedDataset r;
    int rc = oci_sel_dataset_with_cancel(g_session, &r.ds, u"select to_char(sysdate, :X0) from dual \n", 1,
                                         msg, nullptr, nullptr, "S", format);
    if (rc == ORARC_OK && r.ds.row_count > 0) *value = oci_get_dataset_data(&r.ds, 0, 0);
    return rc;
}
