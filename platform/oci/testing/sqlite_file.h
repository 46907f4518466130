// Test support for the client stand-in's storage: runs SQL straight on one of
// its database files, so that tests can look at (or age) what the stand-in
// keeps there without reaching SQLite themselves.
#pragma once

#include <string>

namespace oci::testing {

// Runs the statements of sql on the database file at path, on a connection
// of its own: the rows' values, tab-separated, one row a line (NULL as
// "<NULL>"); "<ERR message>" when a statement fails.
std::string sqlite_run(const std::string& path, const std::string& sql);

} // namespace oci::testing
