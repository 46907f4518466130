#include "platform/oci/testing/sqlite_accepts.h"

#include <sqlite3.h>

namespace oci::testing {

int sqlite_accepts(const std::string& sql, std::string* message) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return -1;
    }
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
    if (rc != SQLITE_OK && message) *message = sqlite3_errmsg(db);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rc == SQLITE_OK ? 1 : 0;
}

} // namespace oci::testing
