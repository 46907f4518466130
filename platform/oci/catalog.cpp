// The data dictionary: catalogue tables written by DDL and the Oracle views over them.
#include "catalog.h"
#include "values.h"

#include <algorithm>
#include <climits>
#include <map>
#include <cstdio>

namespace oci {

const char* const kCatalogTables = R"(
CREATE TABLE IF NOT EXISTS users(
  user_id INTEGER PRIMARY KEY, username TEXT UNIQUE NOT NULL, password TEXT,
  external INTEGER NOT NULL DEFAULT 0, locked INTEGER NOT NULL DEFAULT 0,
  sysdba INTEGER NOT NULL DEFAULT 0, sysoper INTEGER NOT NULL DEFAULT 0, created TEXT);
CREATE TABLE IF NOT EXISTS objects(
  object_id INTEGER PRIMARY KEY, owner TEXT NOT NULL, object_name TEXT NOT NULL,
  object_type TEXT NOT NULL, created TEXT, status TEXT NOT NULL DEFAULT 'VALID',
  UNIQUE(owner, object_name, object_type));
CREATE TABLE IF NOT EXISTS synonyms(
  owner TEXT NOT NULL, synonym_name TEXT NOT NULL, table_owner TEXT NOT NULL, table_name TEXT NOT NULL,
  PRIMARY KEY(owner, synonym_name));
CREATE TABLE IF NOT EXISTS tab_info(
  owner TEXT NOT NULL, table_name TEXT NOT NULL, iot_type TEXT, tablespace_name TEXT,
  PRIMARY KEY(owner, table_name));
CREATE TABLE IF NOT EXISTS tab_columns(
  owner TEXT NOT NULL, table_name TEXT NOT NULL, column_id INTEGER, column_name TEXT NOT NULL,
  data_type TEXT, data_length INTEGER, data_precision INTEGER, data_scale INTEGER, nullable TEXT,
  data_default TEXT, char_length INTEGER, char_used TEXT, virtual_column TEXT NOT NULL DEFAULT 'NO',
  updatable TEXT NOT NULL DEFAULT 'YES',
  PRIMARY KEY(owner, table_name, column_name));
CREATE TABLE IF NOT EXISTS comments(
  owner TEXT NOT NULL, table_name TEXT NOT NULL, column_name TEXT NOT NULL DEFAULT '', comments TEXT,
  PRIMARY KEY(owner, table_name, column_name));
CREATE TABLE IF NOT EXISTS constraints(
  owner TEXT NOT NULL, constraint_name TEXT NOT NULL, constraint_type TEXT, table_name TEXT, index_name TEXT,
  PRIMARY KEY(owner, constraint_name));
CREATE TABLE IF NOT EXISTS ref_constraints(
  owner TEXT NOT NULL, constraint_name TEXT NOT NULL, table_name TEXT NOT NULL, columns TEXT NOT NULL,
  r_table TEXT NOT NULL, r_constraint_name TEXT, delete_rule TEXT NOT NULL,
  PRIMARY KEY(owner, constraint_name));
CREATE TABLE IF NOT EXISTS indexes(
  owner TEXT NOT NULL, index_name TEXT NOT NULL, table_owner TEXT, table_name TEXT, uniqueness TEXT,
  tablespace_name TEXT, PRIMARY KEY(owner, index_name));
CREATE TABLE IF NOT EXISTS ind_columns(
  index_owner TEXT NOT NULL, index_name TEXT NOT NULL, table_owner TEXT, table_name TEXT, column_name TEXT,
  column_position INTEGER);
CREATE TABLE IF NOT EXISTS views(owner TEXT NOT NULL, view_name TEXT NOT NULL, text TEXT, base_object_id INTEGER,
  PRIMARY KEY(owner, view_name));
CREATE TABLE IF NOT EXISTS directories(owner TEXT NOT NULL DEFAULT 'SYS', directory_name TEXT PRIMARY KEY,
  directory_path TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS source(owner TEXT NOT NULL, name TEXT NOT NULL, type TEXT NOT NULL,
  line INTEGER NOT NULL, text TEXT, PRIMARY KEY(owner, name, type, line));
CREATE TABLE IF NOT EXISTS col_defaults(owner TEXT NOT NULL, table_name TEXT NOT NULL, column_name TEXT NOT NULL,
  text TEXT, PRIMARY KEY(owner, table_name, column_name));
CREATE TABLE IF NOT EXISTS mviews(owner TEXT NOT NULL, mview_name TEXT NOT NULL, query TEXT,
  refresh_mode TEXT, refresh_method TEXT, build_mode TEXT, master_owner TEXT, master TEXT, last_refresh TEXT,
  PRIMARY KEY(owner, mview_name));
CREATE TABLE IF NOT EXISTS sequences(sequence_owner TEXT NOT NULL, sequence_name TEXT NOT NULL,
  min_value INTEGER, max_value INTEGER, increment_by INTEGER, last_number INTEGER,
  PRIMARY KEY(sequence_owner, sequence_name));
)";

bool catalogTablesPresent(sqlite3* conn) {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        const std::string ddl = kCatalogTables, lead = "CREATE TABLE IF NOT EXISTS ";
        for (size_t p = ddl.find(lead); p != std::string::npos; p = ddl.find(lead, p)) {
            p += lead.size();
            out.push_back(ddl.substr(p, ddl.find('(', p) - p));
        }
        return out;
    }();
    for (const std::string& name : names)
        if (sqlite3_table_column_metadata(conn, "main", name.c_str(), nullptr, nullptr, nullptr, nullptr,
                                          nullptr, nullptr) != SQLITE_OK)
            return false;
    return !names.empty();
}

namespace {

struct View {
    const char* name;
    const char* sql;
};

const View kViews[] = {
    {"ALL_USERS", "SELECT username AS USERNAME, user_id AS USER_ID, created AS CREATED FROM main.users"},
    {"ALL_OBJECTS",
     "SELECT owner AS OWNER, object_name AS OBJECT_NAME, NULL AS SUBOBJECT_NAME, object_id AS OBJECT_ID, "
     "object_id AS DATA_OBJECT_ID, object_type AS OBJECT_TYPE, created AS CREATED, created AS LAST_DDL_TIME, "
     "created AS TIMESTAMP, status AS STATUS, 'N' AS TEMPORARY, 'N' AS GENERATED, 'N' AS SECONDARY "
     "FROM main.objects"},
    {"ALL_TABLES",
     "SELECT o.owner AS OWNER, o.object_name AS TABLE_NAME, coalesce(t.tablespace_name, 'USERS') AS "
     "TABLESPACE_NAME, NULL AS CLUSTER_NAME, t.iot_type AS IOT_TYPE, 'VALID' AS STATUS, NULL AS NUM_ROWS, "
     "'N' AS TEMPORARY FROM main.objects o LEFT JOIN main.tab_info t ON t.owner = o.owner AND "
     "t.table_name = o.object_name WHERE o.object_type = 'TABLE'"},
    {"ALL_SOURCE", "SELECT owner AS OWNER, name AS NAME, type AS TYPE, line AS LINE, text AS TEXT "
                   "FROM main.source"},
    {"ALL_VIEWS", "SELECT owner AS OWNER, view_name AS VIEW_NAME, length(text) AS TEXT_LENGTH, text AS TEXT "
                  "FROM main.views"},
    {"ALL_SYNONYMS", "SELECT owner AS OWNER, synonym_name AS SYNONYM_NAME, table_owner AS TABLE_OWNER, "
                     "table_name AS TABLE_NAME, "
                     "NULL AS DB_LINK FROM main.synonyms"},
    {"ALL_TAB_COMMENTS", "SELECT o.owner AS OWNER, o.object_name AS TABLE_NAME, o.object_type AS TABLE_TYPE, "
                         "c.comments AS COMMENTS "
                         "FROM main.objects o LEFT JOIN main.comments c ON c.owner = o.owner AND "
                         "c.table_name = o.object_name AND "
                         "c.column_name = '' WHERE o.object_type IN ('TABLE', 'VIEW')"},
    {"ALL_COL_COMMENTS", "SELECT t.owner AS OWNER, t.table_name AS TABLE_NAME, t.column_name AS COLUMN_NAME, "
                         "c.comments AS COMMENTS "
                         "FROM main.tab_columns t LEFT JOIN main.comments c ON c.owner = t.owner AND "
                         "c.table_name = t.table_name AND "
                         "c.column_name = t.column_name"},
    {"ALL_TAB_COLUMNS",
     "SELECT owner AS OWNER, table_name AS TABLE_NAME, column_name AS COLUMN_NAME, data_type AS DATA_TYPE, "
     "NULL AS DATA_TYPE_MOD, NULL AS DATA_TYPE_OWNER, data_length AS DATA_LENGTH, data_precision AS "
     "DATA_PRECISION, data_scale AS DATA_SCALE, nullable AS NULLABLE, column_id AS COLUMN_ID, data_default "
     "AS "
     "DATA_DEFAULT, char_length AS CHAR_COL_DECL_LENGTH, char_length AS CHAR_LENGTH, char_used AS CHAR_USED "
     "FROM main.tab_columns"},
    {"ALL_TAB_COLS",
     "SELECT owner AS OWNER, table_name AS TABLE_NAME, column_name AS COLUMN_NAME, data_type AS DATA_TYPE, "
     "NULL AS DATA_TYPE_MOD, NULL AS DATA_TYPE_OWNER, data_length AS DATA_LENGTH, data_precision AS "
     "DATA_PRECISION, data_scale AS DATA_SCALE, nullable AS NULLABLE, column_id AS COLUMN_ID, data_default "
     "AS "
     "DATA_DEFAULT, char_length AS CHAR_COL_DECL_LENGTH, char_length AS CHAR_LENGTH, char_used AS CHAR_USED, "
     "'NO' AS HIDDEN_COLUMN, virtual_column AS VIRTUAL_COLUMN FROM main.tab_columns"},
    {"ALL_INDEXES",
     "SELECT owner AS OWNER, index_name AS INDEX_NAME, 'NORMAL' AS INDEX_TYPE, table_owner AS TABLE_OWNER, "
     "table_name AS TABLE_NAME, 'TABLE' AS TABLE_TYPE, uniqueness AS UNIQUENESS, coalesce(tablespace_name, "
     "'USERS') AS TABLESPACE_NAME FROM main.indexes"},
    {"ALL_IND_COLUMNS",
     "SELECT index_owner AS INDEX_OWNER, index_name AS INDEX_NAME, table_owner AS TABLE_OWNER, table_name AS "
     "TABLE_NAME, column_name AS COLUMN_NAME, column_position AS COLUMN_POSITION FROM main.ind_columns"},
    {"ALL_CONSTRAINTS",
     "SELECT c.owner AS OWNER, c.constraint_name AS CONSTRAINT_NAME, c.constraint_type AS CONSTRAINT_TYPE, "
     "c.table_name AS TABLE_NAME, CASE WHEN r.owner IS NULL THEN NULL ELSE c.owner END AS R_OWNER, "
     "r.r_constraint_name AS R_CONSTRAINT_NAME, r.delete_rule AS DELETE_RULE, 'ENABLED' AS STATUS, "
     "c.owner AS INDEX_OWNER, c.index_name AS INDEX_NAME FROM main.constraints c LEFT JOIN "
     "main.ref_constraints r ON r.owner = c.owner AND r.constraint_name = c.constraint_name"},
    {"ALL_SEQUENCES",
     "SELECT sequence_owner AS SEQUENCE_OWNER, sequence_name AS SEQUENCE_NAME, min_value AS MIN_VALUE, "
     "max_value "
     "AS MAX_VALUE, increment_by AS INCREMENT_BY, 'N' AS CYCLE_FLAG, 'Y' AS ORDER_FLAG, 20 AS CACHE_SIZE, "
     "ora_sequence_last(sequence_owner, sequence_name, last_number) AS LAST_NUMBER FROM main.sequences"},
    {"ALL_DIRECTORIES",
     "SELECT owner AS OWNER, directory_name AS DIRECTORY_NAME, directory_path AS DIRECTORY_PATH FROM "
     "main.directories"},
    {"ALL_MVIEWS",
     "SELECT owner AS OWNER, mview_name AS MVIEW_NAME, mview_name AS CONTAINER_NAME, query AS QUERY, "
     "length(query) AS QUERY_LEN, 'N' AS UPDATABLE, NULL AS UPDATE_LOG, NULL AS MASTER_ROLLBACK_SEG, "
     "NULL AS MASTER_LINK, 'N' AS REWRITE_ENABLED, 'GENERAL' AS REWRITE_CAPABILITY, refresh_mode AS "
     "REFRESH_MODE, refresh_method AS REFRESH_METHOD, build_mode AS BUILD_MODE, 'NO' AS FAST_REFRESHABLE, "
     "CASE WHEN last_refresh IS NULL THEN 'NA' ELSE 'COMPLETE' END AS LAST_REFRESH_TYPE, last_refresh AS "
     "LAST_REFRESH_DATE, CASE WHEN last_refresh IS NULL THEN 'UNUSABLE' ELSE 'FRESH' END AS STALENESS, "
     "'N' AS UNKNOWN_PREBUILT, 'VALID' AS COMPILE_STATE, 'N' AS USE_NO_INDEX FROM main.mviews"},
    {"ALL_MVIEW_COMMENTS",
     "SELECT m.owner AS OWNER, m.mview_name AS MVIEW_NAME, c.comments AS COMMENTS FROM main.mviews m "
     "LEFT JOIN main.comments c ON c.owner = m.owner AND c.table_name = m.mview_name AND c.column_name = ''"},
    {"ALL_CLUSTERS",
     "SELECT NULL AS OWNER, NULL AS CLUSTER_NAME, NULL AS CLUSTER_TYPE, NULL AS TABLESPACE_NAME WHERE 0"},
    {"ALL_DB_LINKS",
     "SELECT NULL AS OWNER, NULL AS DB_LINK, NULL AS USERNAME, NULL AS HOST, NULL AS CREATED WHERE 0"},
    {"ALL_TRIGGERS", "SELECT NULL AS OWNER, NULL AS TRIGGER_NAME, NULL AS TABLE_OWNER, NULL AS TABLE_NAME, "
                     "NULL AS TRIGGER_TYPE, "
                     "NULL AS TRIGGERING_EVENT, NULL AS STATUS WHERE 0"},
    {"ALL_SNAPSHOTS",
     "SELECT owner AS OWNER, mview_name AS NAME, mview_name AS TABLE_NAME, NULL AS MASTER_VIEW, master_owner "
     "AS MASTER_OWNER, master AS MASTER, NULL AS MASTER_LINK, 'NO' AS CAN_USE_LOG, 'NO' AS UPDATABLE, "
     "refresh_method AS REFRESH_METHOD, last_refresh AS LAST_REFRESH, 0 AS ERROR, 'REGENERATE' AS "
     "FR_OPERATIONS, 'REGENERATE' AS CR_OPERATIONS, refresh_method AS TYPE, NULL AS NEXT, NULL AS "
     "START_WITH, NULL AS REFRESH_GROUP, NULL AS UPDATE_TRIG, NULL AS UPDATE_LOG, query AS QUERY, NULL AS "
     "MASTER_ROLLBACK_SEG, 'VALID' AS STATUS, refresh_mode AS REFRESH_MODE, 'NO' AS PREBUILT "
     "FROM main.mviews"},
    {"ALL_SNAPSHOT_LOGS", "SELECT NULL AS LOG_OWNER, NULL AS MASTER, NULL AS LOG_TABLE, NULL AS LOG_TRIGGER, "
                          "NULL AS CURRENT_SNAPSHOTS "
                          "WHERE 0"},
    {"USER_UPDATABLE_COLUMNS",
     "SELECT owner AS OWNER, table_name AS TABLE_NAME, column_name AS COLUMN_NAME, "
     "ora_updatable(owner, table_name, column_name, 'U', updatable) AS UPDATABLE, "
     "ora_updatable(owner, table_name, column_name, 'I', updatable) AS INSERTABLE, "
     "ora_updatable(owner, table_name, column_name, 'D', updatable) AS DELETABLE FROM main.tab_columns"},
};

bool run(sqlite3* db, const std::string& sql) {
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Binds texts (nullptr = NULL) and steps once.
bool runBound(sqlite3* db, const char* sql, std::initializer_list<const std::string*> args) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) return false;
    int i = 1;
    for (const std::string* a : args) {
        if (a)
            sqlite3_bind_text(st, i, a->c_str(), int(a->size()), SQLITE_TRANSIENT);
        else
            sqlite3_bind_null(st, i);
        ++i;
    }
    int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    return rc == SQLITE_DONE || rc == SQLITE_ROW;
}

// Builds before this one kept the views over the catalogue in catalog.db,
// where every connection parsed them all as it read the schema; catalog.db
// holds no other views. They go at the first logon that finds them.
void dropStoredViews(sqlite3* conn) {
    std::vector<std::string> names;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(conn, "SELECT name FROM main.sqlite_schema WHERE type = 'view'", -1, &st,
                           nullptr) == SQLITE_OK)
        while (sqlite3_step(st) == SQLITE_ROW)
            if (const unsigned char* n = sqlite3_column_text(st, 0))
                names.emplace_back(reinterpret_cast<const char*>(n));
    sqlite3_finalize(st);
    if (names.empty()) return;
    // Another writer at work: the next logon does it.
    sqlite3_busy_timeout(conn, 0);
    if (run(conn, "BEGIN IMMEDIATE")) {
        bool ok = true;
        for (const std::string& name : names) {
            char* sql = sqlite3_mprintf("DROP VIEW IF EXISTS main.\"%w\"", name.c_str());
            ok = ok && run(conn, sql);
            sqlite3_free(sql);
        }
        if (!ok || !run(conn, "COMMIT")) run(conn, "ROLLBACK");
    }
    sqlite3_busy_timeout(conn, 5000);
}

// Whether the temporary view name is there (a rollback may have taken it).
bool tempViewExists(sqlite3* conn, const std::string& name) {
    sqlite3_stmt* st = nullptr;
    bool found = false;
    if (sqlite3_prepare_v2(conn, "SELECT 1 FROM temp.sqlite_schema WHERE type = 'view' AND name = ?1", -1,
                           &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, name.c_str(), int(name.size()), SQLITE_TRANSIENT);
        found = sqlite3_step(st) == SQLITE_ROW;
    }
    sqlite3_finalize(st);
    return found;
}

// Makes the temporary view name over select unless the session has it. One
// made inside a transaction is checked for at each later use until it is
// seen outside one: a rollback (to a savepoint too) takes it away again.
bool ensureTempView(Session& s, const std::string& name, const std::string& select) {
    auto it = s.tempViews.find(name);
    if (it != s.tempViews.end() && it->second) return true;
    const bool autocommit = sqlite3_get_autocommit(s.conn) != 0;
    if (it != s.tempViews.end() && tempViewExists(s.conn, name)) {
        it->second = autocommit;
        return true;
    }
    if (!run(s.conn, "CREATE TEMP VIEW IF NOT EXISTS \"" + name + "\" AS " + select)) return false;
    s.tempViews[name] = autocommit;
    return true;
}

// The parts every read-only table here shares: cursors and tables made and
// freed by type, a fixed estimate of the rows, and the module itself.
template <class Cursor> int vtabOpen(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
    *out = new Cursor();
    return SQLITE_OK;
}

template <class Cursor> int vtabClose(sqlite3_vtab_cursor* c) {
    delete static_cast<Cursor*>(c);
    return SQLITE_OK;
}

template <class Table> int vtabDisconnect(sqlite3_vtab* t) {
    delete static_cast<Table*>(t);
    return SQLITE_OK;
}

template <int Rows> int vtabBestIndex(sqlite3_vtab*, sqlite3_index_info* info) {
    info->estimatedCost = Rows;
    info->estimatedRows = Rows;
    return SQLITE_OK;
}

struct ReadOnlyCalls {
    decltype(sqlite3_module::xConnect) connect;
    decltype(sqlite3_module::xFilter) filter;
    decltype(sqlite3_module::xNext) next;
    decltype(sqlite3_module::xEof) eof;
    decltype(sqlite3_module::xColumn) column;
    decltype(sqlite3_module::xRowid) rowid;
};

template <class Table, class Cursor, int Rows> sqlite3_module readOnlyModule(const ReadOnlyCalls& calls) {
    sqlite3_module k{};
    k.xConnect = calls.connect;
    k.xBestIndex = vtabBestIndex<Rows>;
    k.xDisconnect = vtabDisconnect<Table>;
    k.xOpen = vtabOpen<Cursor>;
    k.xClose = vtabClose<Cursor>;
    k.xFilter = calls.filter;
    k.xNext = calls.next;
    k.xEof = calls.eof;
    k.xColumn = calls.column;
    k.xRowid = calls.rowid;
    return k;
}

// The NLS parameters as two read-only tables over the session's own maps,
// NLS_SESSION_PARAMETERS and NLS_DATABASE_PARAMETERS themselves (no storage:
// a rollback takes no ALTER SESSION back), in the order of the parameters'
// names.
using NlsRows = std::map<std::string, std::string>;

struct NlsTable : sqlite3_vtab {
    const NlsRows* rows = nullptr;
};

struct NlsCursor : sqlite3_vtab_cursor {
    NlsRows::const_iterator at, end;
    sqlite3_int64 row = 0;
};

int nlsConnect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char**) {
    int rc = sqlite3_declare_vtab(db, "CREATE TABLE x(PARAMETER TEXT, VALUE TEXT)");
    if (rc != SQLITE_OK) return rc;
    sqlite3_vtab_config(db, SQLITE_VTAB_INNOCUOUS);
    auto* t = new NlsTable();
    t->rows = static_cast<const NlsRows*>(aux);
    *out = t;
    return SQLITE_OK;
}

int nlsFilter(sqlite3_vtab_cursor* c, int, const char*, int, sqlite3_value**) {
    auto* cur = static_cast<NlsCursor*>(c);
    const NlsRows* rows = static_cast<NlsTable*>(c->pVtab)->rows;
    cur->at = rows->begin();
    cur->end = rows->end();
    cur->row = 0;
    return SQLITE_OK;
}

int nlsNext(sqlite3_vtab_cursor* c) {
    auto* cur = static_cast<NlsCursor*>(c);
    ++cur->at;
    ++cur->row;
    return SQLITE_OK;
}

int nlsEof(sqlite3_vtab_cursor* c) {
    auto* cur = static_cast<NlsCursor*>(c);
    return cur->at == cur->end;
}

int nlsColumn(sqlite3_vtab_cursor* c, sqlite3_context* ctx, int column) {
    auto* cur = static_cast<NlsCursor*>(c);
    const std::string& text = column == 0 ? cur->at->first : cur->at->second;
    sqlite3_result_text(ctx, text.c_str(), int(text.size()), SQLITE_TRANSIENT);
    return SQLITE_OK;
}

int nlsRowid(sqlite3_vtab_cursor* c, sqlite3_int64* row) {
    *row = static_cast<NlsCursor*>(c)->row;
    return SQLITE_OK;
}

const char* const kNlsSession = "NLS_SESSION_PARAMETERS";
const char* const kNlsDatabase = "NLS_DATABASE_PARAMETERS";

const sqlite3_module& nlsModule() {
    static const sqlite3_module m = readOnlyModule<NlsTable, NlsCursor, 10>(
        {nlsConnect, nlsFilter, nlsNext, nlsEof, nlsColumn, nlsRowid});
    return m;
}

// DUAL: one row whose one column is declared VARCHAR2(1), so that a query of
// it describes DUMMY by that type wherever it is named, "*" included.
const char* const kDual = "DUAL";

int dualConnect(sqlite3* db, void*, int, const char* const*, sqlite3_vtab** out, char**) {
    int rc = sqlite3_declare_vtab(db, "CREATE TABLE x(DUMMY VARCHAR2(1))");
    if (rc != SQLITE_OK) return rc;
    sqlite3_vtab_config(db, SQLITE_VTAB_INNOCUOUS);
    *out = new sqlite3_vtab();
    return SQLITE_OK;
}

struct DualCursor : sqlite3_vtab_cursor {
    bool done = false;
};

int dualFilter(sqlite3_vtab_cursor* c, int, const char*, int, sqlite3_value**) {
    static_cast<DualCursor*>(c)->done = false;
    return SQLITE_OK;
}

int dualNext(sqlite3_vtab_cursor* c) {
    static_cast<DualCursor*>(c)->done = true;
    return SQLITE_OK;
}

int dualEof(sqlite3_vtab_cursor* c) {
    return static_cast<DualCursor*>(c)->done;
}

int dualColumn(sqlite3_vtab_cursor*, sqlite3_context* ctx, int) {
    sqlite3_result_text(ctx, "X", 1, SQLITE_STATIC);
    return SQLITE_OK;
}

int dualRowid(sqlite3_vtab_cursor*, sqlite3_int64* row) {
    *row = 1;
    return SQLITE_OK;
}

const sqlite3_module& dualModule() {
    static const sqlite3_module m = readOnlyModule<sqlite3_vtab, DualCursor, 1>(
        {dualConnect, dualFilter, dualNext, dualEof, dualColumn, dualRowid});
    return m;
}

} // namespace

void openCatalog(Session& s) {
    dropStoredViews(s.conn);
    bool japan = s.env && s.env->territory == "JAPAN";
    s.nlsDatabase = {{"NLS_CHARACTERSET", dbCharset()},
                     {"NLS_NCHAR_CHARACTERSET", "AL16UTF16"},
                     {"NLS_LANGUAGE", "AMERICAN"},
                     {"NLS_TERRITORY", "AMERICA"}};
    std::string version = rdbmsVersion();
    if (!version.empty()) s.nlsDatabase["NLS_RDBMS_VERSION"] = version;
    s.nlsSession = {
        {"NLS_LANGUAGE", japan ? "JAPANESE" : "AMERICAN"},
        {"NLS_TERRITORY", japan ? "JAPAN" : "AMERICA"},
        {"NLS_DATE_FORMAT", japan ? "RR-MM-DD" : "DD-MON-RR"},
        {"NLS_DATE_LANGUAGE", japan ? "JAPANESE" : "AMERICAN"},
        {"NLS_TIMESTAMP_FORMAT", japan ? "RR-MM-DD HH24:MI:SSXFF" : "DD-MON-RR HH.MI.SSXFF AM"},
        {"NLS_TIMESTAMP_TZ_FORMAT", japan ? "RR-MM-DD HH24:MI:SSXFF TZR" : "DD-MON-RR HH.MI.SSXFF AM TZR"},
        {"NLS_NUMERIC_CHARACTERS", ".,"},
        {"NLS_SORT", "BINARY"},
        {"NLS_COMP", "BINARY"},
    };
    sqlite3_create_module(s.conn, kNlsSession, &nlsModule(), &s.nlsSession);
    sqlite3_create_module(s.conn, kNlsDatabase, &nlsModule(), &s.nlsDatabase);
    sqlite3_create_module(s.conn, kDual, &dualModule(), nullptr);
}

bool dictionaryView(Session& s, const std::string& name, TableRef& out) {
    if (viewHidden(name)) return false;
    if (name == kNlsSession || name == kNlsDatabase || name == kDual) {
        // Tables without a schema of their own, always there.
        out = tableRef("main", name, true);
    } else {
        const View* v = nullptr;
        for (const View& k : kViews)
            if (name == k.name) v = &k;
        if (!v || !ensureTempView(s, name, v->sql)) return false;
        out = tableRef("temp", name, true);
    }
    out.dictionaryView = name;
    std::vector<std::string> hidden = hiddenColumns(name);
    if (hidden.empty()) return true;
    // A copy of the view without the hidden columns.
    std::string copy = name + "$" + std::to_string(hidden.size());
    std::string cols;
    char* sql = sqlite3_mprintf("PRAGMA %s.table_info(%Q)", out.owner.c_str(), name.c_str());
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(s.conn, sql, -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::string c = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
            if (std::find(hidden.begin(), hidden.end(), c) != hidden.end()) continue;
            cols += (cols.empty() ? "\"" : ", \"") + c + "\"";
        }
    }
    sqlite3_finalize(st);
    sqlite3_free(sql);
    ensureTempView(s, copy, "SELECT " + cols + " FROM " + out.owner + ".\"" + name + "\"");
    out.owner = "temp";
    out.name = copy;
    return true;
}

static std::string oracleTypeName(const DeclType& t, const std::string& decl, int& length, int& precision,
                                  int& scale, int& charLength, std::string& charUsed) {
    precision = -1;
    scale = INT32_MIN;
    charLength = 0;
    charUsed.clear();
    length = t.col.size;
    std::string up = upperAscii(decl);
    std::string base = up.substr(0, up.find('('));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    switch (t.col.type) {
    case SQLT_CHR:
    case SQLT_AFC: {
        bool national = t.col.form == SQLCS_NCHAR;
        charLength = t.length;
        charUsed.assign(1, t.charSemantics || national ? 'C' : 'B');
        if (t.col.type == SQLT_CHR) return national ? "NVARCHAR2" : "VARCHAR2";
        return national ? "NCHAR" : "CHAR";
    }
    case SQLT_NUM:
        length = 22;
        if (base == "FLOAT") {
            precision = t.col.precision;
            return "FLOAT";
        }
        if (t.col.precision > 0) precision = t.col.precision;
        if (t.col.scale != -127) scale = t.col.scale;
        return "NUMBER";
    case SQLT_DAT: length = 7; return "DATE";
    case SQLT_TIMESTAMP:
    case SQLT_TIMESTAMP_TZ:
    case SQLT_TIMESTAMP_LTZ: {
        scale = t.col.scale;
        std::string name = "TIMESTAMP(" + std::to_string(t.col.scale) + ")";
        if (t.col.type == SQLT_TIMESTAMP_TZ) name += " WITH TIME ZONE";
        if (t.col.type == SQLT_TIMESTAMP_LTZ) name += " WITH LOCAL TIME ZONE";
        return name;
    }
    case SQLT_INTERVAL_YM:
        precision = t.col.precision;
        return "INTERVAL YEAR(" + std::to_string(t.col.precision) + ") TO MONTH";
    case SQLT_INTERVAL_DS:
        precision = t.col.precision;
        scale = t.col.scale;
        return "INTERVAL DAY(" + std::to_string(t.col.precision) + ") TO SECOND(" +
               std::to_string(t.col.scale) + ")";
    default: break;
    }
    if (base.empty()) return up;
    return base;
}

void syncTable(Session& s, const TableRef& t, const std::string& objectType) {
    sqlite3* db = s.conn;
    const std::string* owner = &t.owner;
    const std::string* name = &t.name;
    runBound(db, "DELETE FROM main.tab_columns WHERE owner = ?1 AND table_name = ?2", {owner, name});
    std::vector<TableColumn> cols;
    s.columns(t, cols);
    // A view column is updatable when it comes straight from a table column.
    std::vector<bool> plain;
    if (objectType == "VIEW") {
        char* q = sqlite3_mprintf("SELECT * FROM %Q.%Q", t.owner.c_str(), t.name.c_str());
        sqlite3_stmt* vs = nullptr;
        if (sqlite3_prepare_v2(db, q, -1, &vs, nullptr) == SQLITE_OK)
            for (int c = 0; c < sqlite3_column_count(vs); ++c)
                plain.push_back(sqlite3_column_origin_name(vs, c) != nullptr);
        sqlite3_finalize(vs);
        sqlite3_free(q);
    }
    char* pragma = sqlite3_mprintf("PRAGMA %Q.table_xinfo(%Q)", t.owner.c_str(), t.name.c_str());
    sqlite3_stmt* st = nullptr;
    std::vector<std::string> pk;
    std::vector<std::pair<int, std::string>> pkOrder;
    if (sqlite3_prepare_v2(db, pragma, -1, &st, nullptr) == SQLITE_OK) {
        int id = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::string col = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
            if (col == "ORA$ROWID") continue;
            const unsigned char* ty = sqlite3_column_text(st, 2);
            std::string decl = ty ? reinterpret_cast<const char*>(ty) : "";
            bool notNull = sqlite3_column_int(st, 3) != 0;
            const unsigned char* dflt = sqlite3_column_text(st, 4);
            int pkPos = sqlite3_column_int(st, 5);
            int hidden = sqlite3_column_int(st, 6);
            if (pkPos > 0) pkOrder.push_back({pkPos, col});
            DeclType dt = parseDeclType(decl);
            int length, precision, scale, charLength;
            std::string charUsed;
            std::string type = oracleTypeName(dt, decl, length, precision, scale, charLength, charUsed);
            int colId = ++id;
            bool updatable =
                objectType != "VIEW" || (size_t(colId - 1) < plain.size() && plain[size_t(colId - 1)]);
            char sql[512];
            std::snprintf(
                sql, sizeof sql,
                "INSERT OR REPLACE INTO main.tab_columns(owner, table_name, column_id, column_name, "
                "data_type, data_length, data_precision, data_scale, nullable, data_default, "
                "char_length, char_used, virtual_column, updatable) VALUES (?1, ?2, %d, ?3, ?4, %d, %s, "
                "%s, '%s', ?5, %d, ?6, '%s', '%s')",
                colId, length, precision < 0 ? "NULL" : std::to_string(precision).c_str(),
                scale == INT32_MIN ? "NULL" : std::to_string(scale).c_str(), notNull || pkPos > 0 ? "N" : "Y",
                charLength, hidden >= 2 ? "YES" : "NO", updatable ? "YES" : "NO");
            // The default (or a virtual column's expression) as the DDL wrote it.
            std::string d = dflt ? reinterpret_cast<const char*>(dflt) : "";
            bool hasDefault = dflt != nullptr;
            sqlite3_stmt* ds = nullptr;
            if (sqlite3_prepare_v2(
                    db,
                    "SELECT text FROM main.col_defaults WHERE owner = ?1 AND table_name = ?2 AND "
                    "column_name = ?3",
                    -1, &ds, nullptr) == SQLITE_OK) {
                sqlite3_bind_text(ds, 1, owner->c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(ds, 2, name->c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(ds, 3, col.c_str(), -1, SQLITE_TRANSIENT);
                if (sqlite3_step(ds) == SQLITE_ROW && sqlite3_column_text(ds, 0)) {
                    d = reinterpret_cast<const char*>(sqlite3_column_text(ds, 0));
                    hasDefault = true;
                }
            }
            sqlite3_finalize(ds);
            runBound(db, sql,
                     {owner, name, &col, &type, hasDefault ? &d : nullptr,
                      charUsed.empty() ? nullptr : &charUsed});
        }
    }
    sqlite3_finalize(st);
    sqlite3_free(pragma);
    std::sort(pkOrder.begin(), pkOrder.end());
    // A primary key without a dictionary row (a table of an older catalogue) gets one.
    bool listed = false;
    {
        sqlite3_stmt* q = nullptr;
        if (sqlite3_prepare_v2(db,
                               "SELECT 1 FROM main.constraints WHERE owner = ?1 AND table_name = ?2 AND "
                               "constraint_type = 'P'",
                               -1, &q, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(q, 1, owner->c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(q, 2, name->c_str(), -1, SQLITE_TRANSIENT);
            listed = sqlite3_step(q) == SQLITE_ROW;
        }
        sqlite3_finalize(q);
    }
    if (!pkOrder.empty() && objectType == "TABLE" && !listed) {
        std::string cname = "PK_" + t.name;
        runBound(db, "INSERT INTO main.constraints VALUES (?1, ?3, 'P', ?2, ?3)", {owner, name, &cname});
        runBound(db, "INSERT INTO main.indexes VALUES (?1, ?3, ?1, ?2, 'UNIQUE', NULL)",
                 {owner, name, &cname});
        for (auto& [pos, col] : pkOrder) {
            std::string p = std::to_string(pos);
            runBound(db, "INSERT INTO main.ind_columns VALUES (?1, ?3, ?1, ?2, ?4, ?5)",
                     {owner, name, &cname, &col, &p});
        }
    }
}

void nameConstraints(Session& s, Translation& t) {
    int next = 0;
    for (size_t k = 0; k < t.constraints.size(); ++k) {
        ConstraintDef& c = t.constraints[k];
        if (!c.name.empty()) continue;
        if (next == 0) {
            sqlite3_stmt* q = nullptr;
            if (sqlite3_prepare_v2(s.conn,
                                   "SELECT max(CAST(substr(constraint_name, 6) AS INTEGER)) FROM "
                                   "main.constraints WHERE constraint_name GLOB 'SYS_C[0-9]*'",
                                   -1, &q, nullptr) == SQLITE_OK &&
                sqlite3_step(q) == SQLITE_ROW)
                next = sqlite3_column_int(q, 0);
            sqlite3_finalize(q);
            next = std::max(next, 10000);
        }
        char buf[32];
        std::snprintf(buf, sizeof buf, "SYS_C%06d", ++next);
        c.name = buf;
        const std::string from = "\"ORA$C" + std::to_string(k) + "\"", to = "\"" + c.name + "\"";
        auto replace = [&](std::string& text) {
            for (size_t p = text.find(from); p != std::string::npos; p = text.find(from, p + to.size()))
                text.replace(p, from.size(), to);
        };
        replace(t.sql);
        for (std::string& w : t.words) replace(w);
    }
}

void recordConstraints(Session& s, const TableRef& t, const std::vector<ConstraintDef>& cs, bool replace) {
    sqlite3* db = s.conn;
    const std::string* owner = &t.owner;
    const std::string* name = &t.name;
    if (replace) {
        runBound(db,
                 "DELETE FROM main.ind_columns WHERE table_owner = ?1 AND table_name = ?2 AND index_name IN "
                 "(SELECT index_name FROM main.constraints WHERE owner = ?1 AND table_name = ?2)",
                 {owner, name});
        runBound(db,
                 "DELETE FROM main.indexes WHERE table_owner = ?1 AND table_name = ?2 AND index_name IN "
                 "(SELECT index_name FROM main.constraints WHERE owner = ?1 AND table_name = ?2)",
                 {owner, name});
        runBound(db, "DELETE FROM main.constraints WHERE owner = ?1 AND table_name = ?2", {owner, name});
        runBound(db, "DELETE FROM main.ref_constraints WHERE owner = ?1 AND table_name = ?2", {owner, name});
    }
    for (const ConstraintDef& c : cs) {
        const std::string type(1, c.type);
        const bool key = c.type == 'P' || c.type == 'U';
        runBound(db, "INSERT OR REPLACE INTO main.constraints VALUES (?1, ?3, ?4, ?2, ?5)",
                 {owner, name, &c.name, &type, key ? &c.name : nullptr});
        if (c.type == 'R') {
            const std::string columns = joinNames(c.columns);
            runBound(db, "INSERT OR REPLACE INTO main.ref_constraints VALUES (?1, ?3, ?2, ?4, ?5, ?6, ?7)",
                     {owner, name, &c.name, &columns, &c.refTable, &c.refConstraint, &c.deleteRule});
        }
        if (!key) continue;
        runBound(db, "INSERT OR REPLACE INTO main.indexes VALUES (?1, ?3, ?1, ?2, 'UNIQUE', NULL)",
                 {owner, name, &c.name});
        for (size_t k = 0; k < c.columns.size(); ++k) {
            std::string p = std::to_string(k + 1);
            runBound(db, "INSERT INTO main.ind_columns VALUES (?1, ?3, ?1, ?2, ?4, ?5)",
                     {owner, name, &c.name, &c.columns[k], &p});
        }
    }
}

std::string uniqueConstraintName(Session& s, const TableRef& t, const std::vector<std::string>& columns) {
    // Each unique index of the table with its columns in order, "A,B".
    sqlite3_stmt* q = nullptr;
    std::string found;
    if (sqlite3_prepare_v2(s.conn,
                           "SELECT i.owner, i.index_name, group_concat(c.column_name, char(1)) FROM "
                           "(SELECT * FROM main.indexes WHERE table_owner = ?1 AND table_name = ?2 AND "
                           "uniqueness = 'UNIQUE') i JOIN (SELECT * FROM main.ind_columns ORDER BY "
                           "column_position) c ON c.index_owner = i.owner AND c.index_name = i.index_name "
                           "GROUP BY i.owner, i.index_name",
                           -1, &q, nullptr) != SQLITE_OK) {
        sqlite3_finalize(q);
        return found;
    }
    sqlite3_bind_text(q, 1, t.owner.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(q, 2, t.name.c_str(), -1, SQLITE_TRANSIENT);
    while (found.empty() && sqlite3_step(q) == SQLITE_ROW) {
        if (sameSet(splitNames(reinterpret_cast<const char*>(sqlite3_column_text(q, 2))), columns))
            found = std::string(reinterpret_cast<const char*>(sqlite3_column_text(q, 0))) + "." +
                    reinterpret_cast<const char*>(sqlite3_column_text(q, 1));
    }
    sqlite3_finalize(q);
    return found;
}

void registerObject(Session& s, const TableRef& t, const char* type, bool add) {
    const std::string ty = type;
    if (add) {
        runBound(s.conn,
                 "INSERT OR IGNORE INTO main.objects(owner, object_name, object_type, created) "
                 "VALUES (?1, ?2, ?3, datetime('now','localtime'))",
                 {&t.owner, &t.name, &ty});
        if (ty == "TABLE" || ty == "VIEW") syncTable(s, t, ty);
        return;
    }
    runBound(s.conn, "DELETE FROM main.objects WHERE owner = ?1 AND object_name = ?2 AND object_type = ?3",
             {&t.owner, &t.name, &ty});
    if (ty != "TABLE" && ty != "VIEW") return;
    for (const char* sql : {"DELETE FROM main.tab_columns WHERE owner = ?1 AND table_name = ?2",
                            "DELETE FROM main.comments WHERE owner = ?1 AND table_name = ?2",
                            "DELETE FROM main.constraints WHERE owner = ?1 AND table_name = ?2",
                            "DELETE FROM main.ref_constraints WHERE owner = ?1 AND table_name = ?2",
                            "DELETE FROM main.indexes WHERE table_owner = ?1 AND table_name = ?2",
                            "DELETE FROM main.ind_columns WHERE table_owner = ?1 AND table_name = ?2",
                            "DELETE FROM main.tab_info WHERE owner = ?1 AND table_name = ?2",
                            "DELETE FROM main.views WHERE owner = ?1 AND view_name = ?2",
                            "DELETE FROM main.mviews WHERE owner = ?1 AND mview_name = ?2",
                            "DELETE FROM main.col_defaults WHERE owner = ?1 AND table_name = ?2"})
        runBound(s.conn, sql, {&t.owner, &t.name});
}

void setColumnDefaults(Session& s, const TableRef& t,
                       const std::vector<std::pair<std::string, std::string>>& defaults) {
    for (auto& [column, text] : defaults)
        runBound(s.conn, "INSERT OR REPLACE INTO main.col_defaults VALUES (?1, ?2, ?3, ?4)",
                 {&t.owner, &t.name, &column, &text});
}

void setComment(Session& s, const std::string& owner, const std::string& table, const std::string& column,
                const std::string* text) {
    runBound(s.conn, "INSERT OR REPLACE INTO main.comments VALUES (?1, ?2, ?3, ?4)",
             {&owner, &table, &column, text});
}

bool addSynonym(Session& s, const std::string& owner, const std::string& name, const std::string& tableOwner,
                const std::string& table) {
    if (!runBound(s.conn, "INSERT OR REPLACE INTO main.synonyms VALUES (?1, ?2, ?3, ?4)",
                  {&owner, &name, &tableOwner, &table}))
        return false;
    const std::string ty = "SYNONYM";
    runBound(s.conn,
             "INSERT OR IGNORE INTO main.objects(owner, object_name, object_type, created) "
             "VALUES (?1, ?2, ?3, datetime('now','localtime'))",
             {&owner, &name, &ty});
    return true;
}

} // namespace oci
