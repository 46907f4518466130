// The data dictionary kept in catalog.db and the Oracle views over it.
#pragma once

#include "internal.h"
#include "values.h"

namespace oci {

extern const char* const kCatalogTables;

// Creates the session's dictionary views (ALL_*, NLS_*, DUAL) as temporary views.
void createCatalogViews(Session& s);
// Adds or removes an object; tables and views get their column rows.
void registerObject(Session& s, const TableRef& t, const char* type, bool add);
// Rewrites the column rows (and primary key) of a table or view from its definition.
void syncTable(Session& s, const TableRef& t, const std::string& objectType);
// Keeps the column defaults as the DDL wrote them (column, text), for the dictionary.
void setColumnDefaults(Session& s, const TableRef& t,
                       const std::vector<std::pair<std::string, std::string>>& defaults);
void setComment(Session& s, const std::string& owner, const std::string& table, const std::string& column,
                const std::string* text);
bool addSynonym(Session& s, const std::string& owner, const std::string& name, const std::string& tableOwner,
                const std::string& table);

} // namespace oci
