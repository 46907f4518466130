// Services, databases, users and the per-session SQLite connection.
#include "catalog.h"
#include "nonblock.h"
#include "values.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace oci {

void buildDemo(sqlite3* catalog, const std::string& dir, const std::string& finalDir);
void upgradeDemo(const std::string& dir);

namespace {

// SQLite keeps memory statistics under a global mutex at every allocation,
// which this library never reads. The setting is taken before SQLite starts
// (at load); when the host started it already, it is refused, harmlessly.
[[maybe_unused]] const int kNoMemoryStatistics = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);

bool isDir(const std::string& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
bool isFile(const std::string& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
void makeDirs(const std::string& p) {
    std::string cur;
    std::stringstream ss(p);
    std::string part;
    if (!p.empty() && p[0] == '/') cur = "/";
    while (std::getline(ss, part, '/')) {
        if (part.empty()) continue;
        cur += part + "/";
        ::mkdir(cur.c_str(), 0755);
    }
}
std::string trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return "";
    size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

// The services file: $TNS_ADMIN/services.conf, else the user's data directory.
std::string servicesFile() {
    if (const char* t = std::getenv("TNS_ADMIN"); t && *t) {
        std::string f = std::string(t) + "/services.conf";
        if (isFile(f)) return f;
    }
    std::string base;
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) {
        base = x;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            struct passwd* pw = ::getpwuid(::getuid());
            home = pw ? pw->pw_dir : "/tmp";
        }
        base = std::string(home) + "/.local/share";
    }
    std::string dir = base + "/tavrelix/oci";
    std::string f = dir + "/services.conf";
    if (!isFile(f)) {
        makeDirs(dir);
        std::ofstream out(f);
        out << "DEMO = demo\n";
    }
    return f;
}

bool execSql(sqlite3* db, const std::string& sql) {
    char* msg = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &msg);
    sqlite3_free(msg);
    return rc == SQLITE_OK;
}

// Whether the schema's database file is in WAL mode already, so that a
// connection opening it is in WAL mode without asking.
bool walFile(sqlite3* db, const char* schema) {
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db, schema, SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
        !file->pMethods)
        return false;
    unsigned char header[20];
    return file->pMethods->xRead(file, header, sizeof header, 0) == SQLITE_OK && walHeader(header);
}

// Sets the schema's database in WAL mode unless it is already.
bool setWal(sqlite3* db, const char* schema) {
    if (walFile(db, schema)) return true;
    char* sql = sqlite3_mprintf("PRAGMA %Q.journal_mode=WAL", schema);
    bool ok = execSql(db, sql);
    sqlite3_free(sql);
    return ok;
}

// WAL mode, its files kept between starts.
bool useWal(sqlite3* db) {
    if (!setWal(db, "main")) return false;
    keepWalFiles(db, "main");
    return true;
}

std::string schemaFile(const std::string& dir, int64_t id) {
    return dir + "/u" + std::to_string(id) + ".db";
}

bool createDatabase(const std::string& dir, bool demo) {
    std::string tmp = dir + ".new-" + std::to_string(::getpid());
    makeDirs(tmp);
    sqlite3* db = nullptr;
    bool ok = sqlite3_open((tmp + "/catalog.db").c_str(), &db) == SQLITE_OK && useWal(db) &&
              execSql(db, kCatalogTables) && execSql(db, "BEGIN") &&
              execSql(db, "INSERT INTO users(username, password, sysdba, sysoper, created) VALUES "
                          "('SYS', 'change_on_install', 1, 1, datetime('now','localtime')),"
                          "('SYSTEM', 'manager', 0, 0, datetime('now','localtime'))") &&
              execSql(db, "COMMIT");
    if (ok && demo) buildDemo(db, tmp, dir);
    sqlite3_close(db);
    if (!ok) return false;
    if (std::rename(tmp.c_str(), dir.c_str()) != 0) {
        // Another process made it first: use theirs.
        std::string cmd;
        for (const char* f : {"/catalog.db", "/catalog.db-wal", "/catalog.db-shm"})
            std::remove((tmp + f).c_str());
        return isDir(dir);
    }
    return true;
}

std::mutex& dbMutex() {
    static std::mutex m;
    return m;
}

} // namespace

void keepWalFiles(sqlite3* conn, const char* schema) {
    // The size limit 0 empties the kept file at the last close (and after a
    // checkpoint's restart), so nothing is read back at the next open.
    int keep = 1;
    sqlite3_file_control(conn, schema, SQLITE_FCNTL_PERSIST_WAL, &keep);
    char* limit = sqlite3_mprintf("PRAGMA %Q.journal_size_limit=0", schema);
    sqlite3_exec(conn, limit, nullptr, nullptr, nullptr);
    sqlite3_free(limit);
}

std::shared_ptr<Database> attachService(const std::string& serviceIn, OraError& err) {
    std::string service = upperAscii(trim(serviceIn));
    if (service.empty()) service = "DEMO";
    std::string file = servicesFile();
    std::ifstream in(file);
    if (!in) {
        err = makeError(12154);
        return nullptr;
    }
    std::string fileDir = file.substr(0, file.rfind('/'));
    std::string line, dir;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        if (upperAscii(trim(line.substr(0, eq))) != service) continue;
        dir = trim(line.substr(eq + 1));
        break;
    }
    if (dir.empty()) {
        err = makeError(12154);
        return nullptr;
    }
    // Relative to the file; "a/tns/../db" is "a/db", as paths the database
    // keeps (its BFILE directories) read.
    if (dir[0] != '/') dir = std::filesystem::path(fileDir + "/" + dir).lexically_normal().string();
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    std::lock_guard<std::mutex> g(dbMutex());
    if (!isDir(dir) && !createDatabase(dir, service == "DEMO")) {
        err = makeError(1034);
        return nullptr;
    }
    if (::access((dir + "/catalog.db").c_str(), R_OK | W_OK) != 0) {
        err = makeError(1034);
        return nullptr;
    }
    if (service == "DEMO") upgradeDemo(dir);
    auto db = std::make_shared<Database>();
    db->dir = dir;
    db->service = service;
    return db;
}

// ---- Sessions -----------------------------------------------------------------

Session::~Session() {
    if (pendingActive) {
        requestBreak(*this);
        waitPending(*this);
    }
    stopWorker(*this);
    if (conn) {
        if (inTransaction) sqlite3_exec(conn, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close_v2(conn);
    }
    if (sequenceConn) sqlite3_close_v2(sequenceConn);
}

bool Session::exec(const std::string& sql, OraError& err) {
    int rc = sqlite3_exec(conn, sql.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        err = sqliteError(*this, rc, nullptr, -1);
        return false;
    }
    return true;
}

void Session::attachAll() {
    sqlite3_stmt* st = nullptr;
    std::vector<std::pair<std::string, int64_t>> users;
    if (sqlite3_prepare_v2(conn, "SELECT username, user_id FROM main.users ORDER BY user_id", -1, &st,
                           nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW)
            users.push_back(
                {reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), sqlite3_column_int64(st, 1)});
    }
    sqlite3_finalize(st);
    userIds.clear();
    for (auto& [name, id] : users) {
        userIds[name] = id;
        if (std::find(attached.begin(), attached.end(), name) != attached.end()) continue;
        if (attached.size() >= 10) continue;
        char* sql =
            sqlite3_mprintf("ATTACH DATABASE %Q AS %Q", schemaFile(db->dir, id).c_str(), name.c_str());
        int rc = sqlite3_exec(conn, sql, nullptr, nullptr, nullptr);
        sqlite3_free(sql);
        if (rc != SQLITE_OK) continue;
        attached.push_back(name);
        setWal(conn, name.c_str());
        keepWalFiles(conn, name.c_str());
    }
}

bool Session::open(OraError& err) {
    const std::string catalog = db->dir + "/catalog.db";
    if (sqlite3_open_v2(catalog.c_str(), &conn,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        err = makeError(1034);
        return false;
    }
    sqlite3_busy_timeout(conn, 5000);
    sqlite3_extended_result_codes(conn, 0);
    useWal(conn);
    execSql(conn, "PRAGMA case_sensitive_like=ON");
    // Foreign keys are checked (SQLite checks them only when asked, per connection).
    execSql(conn, "PRAGMA foreign_keys=ON");
    // The dictionary views in catalog.db call this library's functions.
    sqlite3_db_config(conn, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 1, nullptr);
    // A catalogue made by an older build may lack the later tables.
    if (!catalogTablesPresent(conn)) execSql(conn, kCatalogTables);
    attachAll();
    registerFunctions(*this);
    sqlite3_stmt* enc = nullptr;
    if (sqlite3_prepare_v2(conn, "PRAGMA encoding", -1, &enc, nullptr) == SQLITE_OK &&
        sqlite3_step(enc) == SQLITE_ROW) {
        const unsigned char* name = sqlite3_column_text(enc, 0);
        utf8Storage = name && std::strcmp(reinterpret_cast<const char*>(name), "UTF-8") == 0;
    }
    sqlite3_finalize(enc);
    if (env && env->territory == "JAPAN") {
        dateFormat = "RR-MM-DD";
        timestampFormat = "RR-MM-DD HH24:MI:SSXFF";
        timestampTzFormat = "RR-MM-DD HH24:MI:SSXFF TZR";
        japaneseDates = true;
    }
    openCatalog(*this);
    return true;
}

int Session::zone() const {
    return zoneLocal ? localOffsetMinutes() : zoneMinutes;
}

bool Session::beginWrite(bool nowait, OraError& err) {
    if (inTransaction) return true;
    if (nowait) sqlite3_busy_timeout(conn, 0);
    int rc = sqlite3_exec(conn, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (nowait) sqlite3_busy_timeout(conn, 5000);
    if (rc != SQLITE_OK) {
        err = makeError(rc == SQLITE_BUSY || rc == SQLITE_LOCKED ? 54 : 600, sqlite3_errmsg(conn));
        return false;
    }
    inTransaction = true;
    for (const std::string& name : earlySavepoints) execSql(conn, "SAVEPOINT " + name);
    return true;
}

bool Session::commit(OraError& err) {
    earlySavepoints.clear();
    if (!inTransaction) return true;
    int rc = sqlite3_exec(conn, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        err = sqliteError(*this, rc, nullptr, -1);
        return false;
    }
    inTransaction = false;
    return true;
}

bool Session::rollback(OraError&) {
    earlySavepoints.clear();
    if (!inTransaction) return true;
    sqlite3_exec(conn, "ROLLBACK", nullptr, nullptr, nullptr);
    inTransaction = sqlite3_get_autocommit(conn) == 0;
    return true;
}

bool Session::savepoint(const std::string& name, OraError& err) {
    // Set again, a savepoint moves: no longer at the start once a write began.
    earlySavepoints.erase(std::remove(earlySavepoints.begin(), earlySavepoints.end(), name),
                          earlySavepoints.end());
    if (inTransaction) return exec("SAVEPOINT " + name, err);
    earlySavepoints.push_back(name);
    return true;
}

bool Session::rollbackTo(const std::string& name, OraError& err) {
    auto at = std::find(earlySavepoints.begin(), earlySavepoints.end(), name);
    if (at == earlySavepoints.end()) {
        if (inTransaction) return exec("ROLLBACK TO " + name, err);
        err = makeError(1086);
        return false;
    }
    // Back to the transaction's start: everything is undone and, as Oracle
    // releases the locks taken after a savepoint, the write lock goes too.
    earlySavepoints.erase(at + 1, earlySavepoints.end());
    if (inTransaction) {
        sqlite3_exec(conn, "ROLLBACK", nullptr, nullptr, nullptr);
        inTransaction = sqlite3_get_autocommit(conn) == 0;
    }
    return true;
}

bool Session::userExists(const std::string& name) {
    return userIds.count(name) > 0;
}

bool Session::findTable(const std::string& owner, const std::string& name, TableRef& out) {
    auto lookup = [&](const std::string& o, const std::string& n) {
        if (std::find(attached.begin(), attached.end(), o) == attached.end()) return false;
        char* sql = sqlite3_mprintf(
            "SELECT type FROM %Q.sqlite_schema WHERE name = ?1 AND type IN ('table','view')", o.c_str());
        sqlite3_stmt* st = nullptr;
        bool found = false;
        if (sqlite3_prepare_v2(conn, sql, -1, &st, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(st, 1, n.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(st) == SQLITE_ROW) {
                found = true;
                out.owner = o;
                out.name = n;
                out.view = std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) == "view";
            }
        }
        sqlite3_finalize(st);
        sqlite3_free(sql);
        if (!found) return false;
        out.schemaId = userIds.count(o) ? userIds[o] : 0;
        out.objectId = 0;
        if (sqlite3_prepare_v2(conn,
                               "SELECT object_id FROM main.objects WHERE owner = ?1 AND object_name = ?2 "
                               "AND object_type IN ('TABLE','VIEW')",
                               -1, &st, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(st, 1, o.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, n.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(st) == SQLITE_ROW) out.objectId = sqlite3_column_int64(st, 0);
        }
        sqlite3_finalize(st);
        st = nullptr;
        out.mview = false;
        if (!out.view &&
            sqlite3_prepare_v2(conn, "SELECT 1 FROM main.mviews WHERE owner = ?1 AND mview_name = ?2", -1,
                               &st, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(st, 1, o.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, n.c_str(), -1, SQLITE_TRANSIENT);
            out.mview = sqlite3_step(st) == SQLITE_ROW;
        }
        sqlite3_finalize(st);
        st = nullptr;
        // How its ROWID reads.
        out.rowidColumn.clear();
        out.rowidObject = 0;
        out.pkColumns.clear();
        char* info = sqlite3_mprintf("PRAGMA %Q.table_info(%Q)", o.c_str(), n.c_str());
        bool hiddenRowid = false;
        std::vector<std::pair<int, std::string>> pk;
        if (sqlite3_prepare_v2(conn, info, -1, &st, nullptr) == SQLITE_OK)
            while (sqlite3_step(st) == SQLITE_ROW) {
                std::string c = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
                if (c == "ORA$ROWID") hiddenRowid = true;
                if (sqlite3_column_int(st, 5) > 0) pk.push_back({sqlite3_column_int(st, 5), c});
            }
        sqlite3_finalize(st);
        st = nullptr;
        sqlite3_free(info);
        std::sort(pk.begin(), pk.end());
        if (!out.view) {
            char* q = sqlite3_mprintf(
                "SELECT sql LIKE '%%WITHOUT ROWID%%' FROM %Q.sqlite_schema WHERE name = ?1", o.c_str());
            bool iot = false;
            if (sqlite3_prepare_v2(conn, q, -1, &st, nullptr) == SQLITE_OK) {
                sqlite3_bind_text(st, 1, n.c_str(), -1, SQLITE_TRANSIENT);
                iot = sqlite3_step(st) == SQLITE_ROW && sqlite3_column_int(st, 0);
            }
            sqlite3_finalize(st);
            st = nullptr;
            sqlite3_free(q);
            if (iot) {
                for (auto& p : pk) out.pkColumns.push_back(p.second);
            } else {
                out.rowidColumn = "rowid";
                out.rowidObject = out.objectId;
            }
        } else if (hiddenRowid) {
            out.rowidColumn = "\"ORA$ROWID\"";
            if (sqlite3_prepare_v2(conn,
                                   "SELECT v.base_object_id, o.owner, o.object_name FROM main.views v JOIN "
                                   "main.objects o ON "
                                   "o.object_id = v.base_object_id WHERE v.owner = ?1 AND v.view_name = ?2",
                                   -1, &st, nullptr) == SQLITE_OK) {
                sqlite3_bind_text(st, 1, o.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(st, 2, n.c_str(), -1, SQLITE_TRANSIENT);
                if (sqlite3_step(st) == SQLITE_ROW) {
                    out.rowidObject = sqlite3_column_int64(st, 0);
                    out.baseOwner = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
                    out.baseName = reinterpret_cast<const char*>(sqlite3_column_text(st, 2));
                }
            }
        }
        sqlite3_finalize(st);
        return true;
    };
    auto synonym = [&](const std::string& o, const std::string& n, std::string& to, std::string& tn) {
        sqlite3_stmt* st = nullptr;
        bool found = false;
        if (sqlite3_prepare_v2(conn,
                               "SELECT table_owner, table_name FROM main.synonyms WHERE owner = ?1 AND "
                               "synonym_name = ?2",
                               -1, &st, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(st, 1, o.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, n.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(st) == SQLITE_ROW) {
                to = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
                tn = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
                found = true;
            }
        }
        sqlite3_finalize(st);
        return found;
    };
    // A procedure, function or package where a table belongs: 4044, not 942.
    auto storedUnit = [&](const std::string& o, const std::string& n) {
        sqlite3_stmt* st = nullptr;
        bool found = false;
        if (sqlite3_prepare_v2(conn,
                               "SELECT 1 FROM main.objects WHERE owner = ?1 AND object_name = ?2 AND "
                               "object_type IN ('PROCEDURE', 'FUNCTION', 'PACKAGE')",
                               -1, &st, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(st, 1, o.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, n.c_str(), -1, SQLITE_TRANSIENT);
            found = sqlite3_step(st) == SQLITE_ROW;
        }
        sqlite3_finalize(st);
        if (found) out.missingCode = 4044;
        return found;
    };
    std::string o = owner.empty() ? schema : owner;
    if (lookup(o, name)) return true;
    if (storedUnit(o, name)) return false;
    std::string to, tn;
    if (synonym(o, name, to, tn)) {
        if (lookup(to, tn)) return true;
        if (storedUnit(to, tn)) return false;
    }
    if (owner.empty() && synonym("PUBLIC", name, to, tn)) {
        if (lookup(to, tn)) return true;
        if (storedUnit(to, tn)) return false;
    }
    return owner.empty() && dictionaryView(*this, name, out);
}

bool Session::columns(const TableRef& t, std::vector<TableColumn>& out) {
    out.clear();
    char* sql = sqlite3_mprintf("PRAGMA %Q.table_info(%Q)", t.owner.c_str(), t.name.c_str());
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(conn, sql, -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            TableColumn c;
            c.name = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
            const unsigned char* ty = sqlite3_column_text(st, 2);
            c.type = ty ? reinterpret_cast<const char*>(ty) : "";
            c.notNull = sqlite3_column_int(st, 3) != 0;
            out.push_back(c);
        }
    }
    sqlite3_finalize(st);
    sqlite3_free(sql);
    return !out.empty();
}

int Session::checkFor(const TableRef& t, const TableColumn& c, bool update) {
    std::string key = t.owner + "\x1f" + t.name + "\x1f" + c.name + "\x1f" + c.type + (c.notNull ? "N" : "") +
                      (update ? "U" : "I");
    auto it = checkIndex.find(key);
    if (it != checkIndex.end()) return it->second;
    checks.push_back(ColumnCheck{t.owner, t.name, c.name, c.type, c.notNull, update});
    checkTypes.push_back(parseDeclType(c.type));
    int idx = int(checks.size() - 1);
    checkIndex[key] = idx;
    return idx;
}

namespace {

std::string osUser() {
    struct passwd* pw = ::getpwuid(::getuid());
    return upperAscii(pw ? pw->pw_name : "");
}

std::string oracleName(const std::string& s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
    return upperAscii(s);
}

} // namespace

std::unique_ptr<Session> logon(std::shared_ptr<Database> db, Env* env, const std::string& userIn,
                               const std::string& password, ub4 credt, ub4 mode, OraError& err,
                               OraError& warn) {
    auto s = std::make_unique<Session>();
    s->db = db;
    s->env = env;
    if (!s->open(err)) return nullptr;
    std::string user = credt == OCI_CRED_EXT ? "OPS$" + osUser() : oracleName(userIn);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(
        s->conn, "SELECT password, external, locked, sysdba, sysoper FROM main.users WHERE username = ?1", -1,
        &st, nullptr);
    sqlite3_bind_text(st, 1, user.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(st) != SQLITE_ROW) {
        sqlite3_finalize(st);
        err = makeError(1017);
        return nullptr;
    }
    const unsigned char* pw = sqlite3_column_text(st, 0);
    bool external = sqlite3_column_int(st, 1) != 0;
    bool locked = sqlite3_column_int(st, 2) != 0;
    bool sysdba = sqlite3_column_int(st, 3) != 0;
    bool sysoper = sqlite3_column_int(st, 4) != 0;
    bool ok =
        credt == OCI_CRED_EXT ? external : (!external && pw && password == reinterpret_cast<const char*>(pw));
    sqlite3_finalize(st);
    if (!ok) {
        err = makeError(1017);
        return nullptr;
    }
    if (locked) {
        err = makeError(28000);
        return nullptr;
    }
    if ((mode & OCI_SYSDBA) && !sysdba) {
        err = makeError(1031);
        return nullptr;
    }
    if ((mode & OCI_SYSOPER) && !sysoper) {
        err = makeError(1031);
        return nullptr;
    }
    s->user = (mode & OCI_SYSDBA) ? "SYS" : (mode & OCI_SYSOPER) ? "PUBLIC" : user;
    s->schema = s->user;
    if (int w = userWarning(user)) warn = makeError(w);
    return s;
}

bool runUserStatement(Session& s, const Translation& t, OraError& err) {
    const auto& w = t.words;
    auto word = [&](size_t k) { return k < w.size() ? w[k] : std::string(); };
    auto fail = [&](int code, const std::string& d = std::string()) {
        err = makeError(code, d);
        return false;
    };
    if (!s.commit(err)) return false;
    auto run = [&](const char* sql, std::initializer_list<std::string> args) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(s.conn, sql, -1, &st, nullptr) != SQLITE_OK)
            return fail(600, sqlite3_errmsg(s.conn));
        int i = 1;
        for (auto& a : args) sqlite3_bind_text(st, i++, a.c_str(), -1, SQLITE_TRANSIENT);
        int rc = sqlite3_step(st);
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE) return fail(600, sqlite3_errmsg(s.conn));
        return true;
    };
    std::string name = word(2);
    if (word(0) == "CREATE") {
        if (s.userIds.count(name)) return fail(1920, name);
        bool ext = word(3) == "IDENTIFIED" && word(4) == "EXTERNALLY";
        if (word(3) != "IDENTIFIED" || (!ext && (word(4) != "BY" || w.size() < 6))) return fail(922);
        if (!run("INSERT INTO main.users(username, password, external, created) VALUES (?1, ?2, ?3, "
                 "datetime('now','localtime'))",
                 {name, ext ? std::string() : t.raw[5], ext ? "1" : "0"}))
            return false;
        s.attachAll();
        return true;
    }
    if (word(0) == "ALTER") {
        if (!s.userIds.count(name)) return fail(1918, name);
        if (word(3) == "ACCOUNT" && (word(4) == "LOCK" || word(4) == "UNLOCK"))
            return run("UPDATE main.users SET locked = ?2 WHERE username = ?1",
                       {name, word(4) == "LOCK" ? "1" : "0"});
        if (word(3) == "IDENTIFIED" && word(4) == "BY" && w.size() > 5)
            return run("UPDATE main.users SET password = ?2, external = 0 WHERE username = ?1",
                       {name, t.raw[5]});
        return fail(922);
    }
    if (word(0) == "GRANT") {
        std::string priv = word(1), to = word(3);
        if (word(2) != "TO" || (priv != "SYSDBA" && priv != "SYSOPER")) return fail(3001);
        if (!s.userIds.count(to)) return fail(1918, to);
        return run(priv == "SYSDBA" ? "UPDATE main.users SET sysdba = 1 WHERE username = ?1"
                                    : "UPDATE main.users SET sysoper = 1 WHERE username = ?1",
                   {to});
    }
    if (word(0) == "DROP") {
        if (!s.userIds.count(name)) return fail(1918, name);
        if (name == "SYS" || name == "SYSTEM" || name == s.user) return fail(1940);
        int64_t id = s.userIds[name];
        auto at = std::find(s.attached.begin(), s.attached.end(), name);
        if (at != s.attached.end()) {
            char* sql = sqlite3_mprintf("DETACH DATABASE %Q", name.c_str());
            sqlite3_exec(s.conn, sql, nullptr, nullptr, nullptr);
            sqlite3_free(sql);
            s.attached.erase(at);
        }
        if (!run("DELETE FROM main.users WHERE username = ?1", {name}) ||
            !run("DELETE FROM main.objects WHERE owner = ?1", {name}) ||
            !run("DELETE FROM main.synonyms WHERE owner = ?1 OR table_owner = ?1", {name}))
            return false;
        std::string f = schemaFile(s.db->dir, id);
        for (const char* suffix : {"", "-wal", "-shm"}) std::remove((f + suffix).c_str());
        s.attachAll();
        return true;
    }
    return fail(3001);
}

} // namespace oci
