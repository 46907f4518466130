// The data dictionary kept in catalog.db and the Oracle views over it.
#pragma once

#include "internal.h"
#include "values.h"

#include <functional>

namespace oci {

extern const char* const kCatalogTables;
// Whether the connection's main database has every table kCatalogTables makes
// (running it could change nothing then: it only makes missing ones).
bool catalogTablesPresent(sqlite3* conn);

// Readies a new session's connection: the NLS parameters its NLS views read
// (temporary tables); views an older build kept in catalog.db go.
void openCatalog(Session& s);
// When name is a dictionary view (ALL_*, NLS_*, DUAL) the session may read:
// true, out where it reads. The views are temporary, each made at its first use.
bool dictionaryView(Session& s, const std::string& name, TableRef& out);
// Adds or removes an object; tables and views get their column rows.
void registerObject(Session& s, const TableRef& t, const char* type, bool add);
// Rewrites the column rows (and primary key) of a table or view from its definition.
void syncTable(Session& s, const TableRef& t, const std::string& objectType);
// Gives the unnamed constraints of a CREATE or ALTER TABLE their SYS_Cnnnnnn
// names, in the SQLite text too.
void nameConstraints(Session& s, Translation& t);
// Lists the table's key and check constraints in the dictionary, keys with their
// unique index of the same name; replace: the table's earlier ones go first.
void recordConstraints(Session& s, const TableRef& t, const std::vector<ConstraintDef>& cs, bool replace);
// Column names as the dictionary keeps a list of them (separated by char(1)).
std::string joinNames(const std::vector<std::string>& names);
// The names of such a list; a null list reads as one empty name.
std::vector<std::string> splitNames(const char* list);
// Whether two lists hold the same names, whatever their order.
bool sameSet(std::vector<std::string> a, std::vector<std::string> b);
// Matches each foreign key of a CREATE TABLE (named already) to the key of
// the table it references: its primary key when no columns are named (2268
// without one), else the primary or unique key over those columns (2270).
OraError matchForeignKeys(Session& s, Translation& t);
// The error of DML that broke a foreign key, which SQLite reports without
// naming it: 2291 (a row without its parent) or 2292 (a parent without its
// children), naming the constraint. rerun runs the same iteration again (its
// SQLite result); it runs with the checks deferred inside a savepoint, whose
// rollback then undoes it.
OraError foreignKeyViolation(Session& s, const Translation& t, const std::function<int()>& rerun);
// Whether a foreign key of another table references t.
bool referencedElsewhere(Session& s, const TableRef& t);
// "OWNER.NAME" of the table's unique constraint or index over exactly these columns, or "".
std::string uniqueConstraintName(Session& s, const TableRef& t, const std::vector<std::string>& columns);
// Keeps the column defaults as the DDL wrote them (column, text), for the dictionary.
void setColumnDefaults(Session& s, const TableRef& t,
                       const std::vector<std::pair<std::string, std::string>>& defaults);
void setComment(Session& s, const std::string& owner, const std::string& table, const std::string& column,
                const std::string* text);
bool addSynonym(Session& s, const std::string& owner, const std::string& name, const std::string& tableOwner,
                const std::string& table);

} // namespace oci
