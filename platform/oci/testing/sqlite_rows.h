// Test support for the client stand-in's translator: runs a query on a
// scratch database in memory, as SQLite runs it or, with the stand-in's SQL
// functions registered, as a translated statement runs, so that tests
// outside platform/oci can compare the two without reaching SQLite.
#pragma once

#include <string>
#include <vector>

namespace oci::testing {

// Runs setup (statements; ATTACH ':memory:' AS a schema makes one) and then
// the query sql, on a fresh database; with oracleFunctions the stand-in's
// functions (ora_add, ora_to_date, ...) are there, for a session with its
// default settings. Each row is one text: its values joined by tabs, NULL as
// "<NULL>", integers and numbers of integral value as digits, other numbers
// at 12 significant digits, text in single quotes; the last dropLast columns
// are left out. 1 when the query ran to its end, 0 when SQLite or a function
// refused it (the message in *message when given), -1 when it ran past a
// step budget or past maxRows rows.
int sqlite_rows(const std::string& setup, const std::string& sql, bool oracleFunctions, int dropLast,
                std::vector<std::string>& rows, std::string* message = nullptr, size_t maxRows = 500);

} // namespace oci::testing
