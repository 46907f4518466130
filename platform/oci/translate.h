// Translation of Oracle SQL into SQLite SQL, token by token, with a map from
// the translated text back to the original for error positions.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace oci {

struct TableRef {
    std::string owner; // schema (exact)
    std::string name;  // table or view (exact)
    int64_t objectId = 0;
    int64_t schemaId = 0;
    bool view = false;
    bool mview = false; // a materialised view's container table: read-only
    // How ROWID reads: "rowid" for a table, the hidden column of a key-preserved
    // view, empty for an index-organised table (keyed by pkColumns) or a view without one.
    std::string rowidColumn;
    int64_t rowidObject = 0; // the object the row ids name (a view's base table)
    std::vector<std::string> pkColumns;
    std::string baseOwner, baseName; // a key-preserved view's table
    int missingCode = 942;           // when not found: 942, or 4044 for a stored unit
    std::string dictionaryView;      // a dictionary view read: its name
};

inline TableRef tableRef(const std::string& owner, const std::string& name, bool view) {
    TableRef t;
    t.owner = owner;
    t.name = name;
    t.view = view;
    return t;
}

struct TableColumn {
    std::string name;
    std::string type; // declared type
    bool notNull = false;
};

// What a value written to a column must satisfy.
struct ColumnCheck {
    std::string owner, table, column, type;
    bool notNull = false;
    bool update = false;
};

// Catalogue look-ups the translator needs.
struct Resolver {
    virtual ~Resolver() = default;
    // owner empty: the current schema, then synonyms. Exact names.
    virtual bool findTable(const std::string& owner, const std::string& name, TableRef& out) = 0;
    virtual bool columns(const TableRef& t, std::vector<TableColumn>& out) = 0;
    // Index of the check for a column (registered on first use).
    virtual int checkFor(const TableRef& t, const TableColumn& c, bool update) = 0;
    virtual bool userExists(const std::string& name) = 0;
};

enum class Kind {
    Select,
    Insert,
    Update,
    Delete,
    Savepoint,
    RollbackTo,
    Commit,
    Rollback,
    CreateTable,
    DropTable,
    UserAdmin,     // create/alter/drop user, grant
    Comment,       // words: owner, table, column ("" for the table), text
    CreateSynonym, // words: owner (PUBLIC), name, target owner, target name
    CreateView,
    DropView,
    CreateMView, // sql: the translated query; words: query text, refresh mode, method, build mode
    DropMView,
    DropSynonym,     // words: owner, name
    CreateProcedure, // words: owner, name, type, source text, "VALID"/"INVALID"
    DropProcedure,   // words: owner, name, type
    CreateDirectory, // words: name, path
    AlterTable,      // ALTER TABLE t ADD (...): words: column, its ADD COLUMN statement, for each
    CreateSequence,  // words: owner, name, start, increment
    DropSequence,    // words: owner, name
    CreateIndex,     // words: owner, index, unique ("UNIQUE"/"NONUNIQUE"), then the column names
    DropIndex,       // words: owner, index
    Other,
};

// How a select-list column describes when SQLite has no declared type for it.
enum class ItemKind {
    Column,
    String,
    Number,
    Null,
    Bind,
    Numeric,
    RowId,
    Date,
    Timestamp,
    TimestampTz,
    Text, // VARCHAR2(length)
    Other
};

struct SelectItem {
    std::string name; // Oracle's column name ("" for * items)
    ItemKind kind = ItemKind::Column;
    int length = 0;       // string literal bytes; a Text item's length
    int fraction = 6;     // fractional digits of a timestamp item
    std::string bindName; // select-list bind
    bool star = false;
};

// A PRIMARY KEY, UNIQUE or CHECK constraint of CREATE TABLE or ALTER TABLE ADD,
// or a foreign key of CREATE TABLE. An unnamed one is written to SQLite as
// "ORA$C<k>" (k its index here) until the statement runs and gives it its
// SYS_C name.
struct ConstraintDef {
    std::string name; // as written; empty when unnamed
    char type = 'C';  // 'P', 'U', 'C' or 'R'
    std::vector<std::string> columns;
    // A foreign key ('R'): the table it references (in the same schema), the
    // columns named there (empty: its primary key), the key it matches once
    // the statement runs, and what deleting a parent row does.
    std::string refTable;
    std::vector<std::string> refColumns;
    std::string refConstraint;
    std::string deleteRule; // "NO ACTION", "CASCADE" or "SET NULL"
    int offset = -1;        // the REFERENCES word, for errors
};

struct Translation {
    Kind kind = Kind::Other;
    int functionCode = 0;
    std::string sql;                          // SQLite text
    std::vector<std::pair<int, int>> map;     // (translated offset, original offset), ascending
    std::vector<std::string> bindNames;       // parameter ?N is bindNames[N-1]
    std::vector<SelectItem> items;            // the outer select list
    std::vector<int> slots;                   // value positions (original offsets) for error reports
    std::vector<std::string> returningBinds;  // out binds of RETURNING ... INTO
    std::vector<std::string> dictionaryViews; // the dictionary views read, made before each run
    bool forUpdate = false;
    bool nowait = false;
    TableRef target;                // created / dropped / written table
    bool organizationIndex = false; // CREATE TABLE ... ORGANIZATION INDEX
    bool hiddenRowid = false;       // the query ends with the row id column "ORA$ROWID"
    TableRef viewBase;              // CREATE VIEW over one table: that table
    // CREATE TABLE, ALTER TABLE ADD: (column, default or virtual expression as written)
    std::vector<std::pair<std::string, std::string>> defaults;
    std::vector<std::pair<std::string, std::string>> defaultSql; // (column, default as SQLite SQL)
    std::vector<ConstraintDef> constraints;
    std::vector<std::string> setColumns; // UPDATE: the columns SET names
    // Binds compared with a CHAR column: (bind name, the column's declared type)
    std::vector<std::pair<std::string, std::string>> charBinds;
    bool orReplace = false;
    std::vector<std::string> words; // user statements: the words, upper-cased unless quoted
    std::vector<std::string> raw;   // the same words as written (quotes removed)
    int errorCode = 0;              // translation failure: ORA number
    int errorOffset = 0;            // in the original text
    std::string errorDetail;
};

// Translates sql (UTF-8). False with errorCode/errorOffset set when it fails.
bool translate(const std::string& sql, Resolver& r, const std::string& schema, Translation& out);
// Original offset of a translated offset.
int originalOffset(const Translation& t, int translatedOffset);
// Oracle's name for an unquoted identifier (ASCII upper case).
std::string upperAscii(const std::string& s);

} // namespace oci
