// Test support for the client stand-in's translator: hands translated SQL to
// SQLite's own compiler, so that tests outside platform/oci need not reach
// SQLite themselves.
#pragma once

#include <string>

namespace oci::testing {

// Compiles sql (one statement) on an empty database in memory: 1 when SQLite
// accepts it, 0 when it refuses it (its message in *message when given), -1
// when no database could be opened. Nothing is run.
int sqlite_accepts(const std::string& sql, std::string* message = nullptr);

} // namespace oci::testing
