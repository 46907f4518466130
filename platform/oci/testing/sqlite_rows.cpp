#include "platform/oci/testing/sqlite_rows.h"

#include <cmath>
#include <cstdio>

#include "platform/oci/internal.h"

namespace oci::testing {

namespace {

// A value as one comparable text.
std::string Cell(sqlite3_stmt* st, int col) {
    switch (sqlite3_column_type(st, col)) {
    case SQLITE_NULL: return "<NULL>";
    case SQLITE_INTEGER: return std::to_string(sqlite3_column_int64(st, col));
    case SQLITE_FLOAT: {
        double v = sqlite3_column_double(st, col);
        if (v == std::trunc(v) && std::fabs(v) < 1e15) return std::to_string(static_cast<long long>(v));
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.12g", v);
        return buf;
    }
    case SQLITE_BLOB: return "<BLOB " + std::to_string(sqlite3_column_bytes(st, col)) + ">";
    default: {
        const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
        std::string text = "'";
        text.append(p, size_t(sqlite3_column_bytes(st, col)));
        return text += '\'';
    }
    }
}

} // namespace

int sqlite_rows(const std::string& setup, const std::string& sql, bool oracleFunctions, int dropLast,
                std::vector<std::string>& rows, std::string* message, size_t maxRows) {
    rows.clear();
    // The session owns the connection and closes it.
    Session session;
    if (sqlite3_open_v2(":memory:", &session.conn, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK)
        return 0;
    if (sqlite3_exec(session.conn, setup.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        if (message) *message = sqlite3_errmsg(session.conn);
        return 0;
    }
    if (oracleFunctions) registerFunctions(session);
    // A budget of virtual-machine steps: a query past it is not compared.
    static thread_local long steps;
    steps = 0;
    sqlite3_progress_handler(
        session.conn, 1000, [](void*) { return ++steps > 2000 ? 1 : 0; }, nullptr);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(session.conn, sql.c_str(), int(sql.size()), &st, nullptr) != SQLITE_OK) {
        if (message) *message = sqlite3_errmsg(session.conn);
        return 0;
    }
    int rc, result = 1;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        if (rows.size() >= maxRows) {
            result = -1;
            break;
        }
        std::string row;
        const int columns = sqlite3_column_count(st) - dropLast;
        for (int c = 0; c < columns; ++c) {
            if (c) row += '\t';
            row += Cell(st, c);
        }
        rows.push_back(row);
    }
    if (result == 1 && rc != SQLITE_DONE) {
        result = rc == SQLITE_INTERRUPT ? -1 : 0;
        if (message) *message = sqlite3_errmsg(session.conn);
    }
    sqlite3_finalize(st);
    return result;
}

} // namespace oci::testing
