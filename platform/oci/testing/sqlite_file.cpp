#include "platform/oci/testing/sqlite_file.h"

#include <sqlite3.h>

namespace oci::testing {

std::string sqlite_run(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        std::string e = "<ERR " + std::string(db ? sqlite3_errmsg(db) : "open") + ">";
        sqlite3_close(db);
        return e;
    }
    sqlite3_busy_timeout(db, 5000);
    std::string out;
    const char* at = sql.c_str();
    while (at && *at) {
        sqlite3_stmt* st = nullptr;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(db, at, -1, &st, &tail) != SQLITE_OK) {
            out = "<ERR " + std::string(sqlite3_errmsg(db)) + ">";
            break;
        }
        at = tail;
        if (!st) continue;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                if (c) out += '\t';
                const unsigned char* v = sqlite3_column_text(st, c);
                out += v ? reinterpret_cast<const char*>(v) : "<NULL>";
            }
            out += '\n';
        }
        if (rc != SQLITE_DONE) out = "<ERR " + std::string(sqlite3_errmsg(db)) + ">";
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE) break;
    }
    sqlite3_close(db);
    return out;
}

} // namespace oci::testing
