// Foreign keys: the key a new one references, the constraint a statement
// broke, and the tables that others reference.
#include "catalog.h"

#include <algorithm>

namespace oci {

std::string joinNames(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : "\x01") + n;
    return out;
}

std::vector<std::string> splitNames(const char* list) {
    std::vector<std::string> out;
    std::string cur;
    for (const char* p = list ? list : "";; ++p) {
        if (*p == '\x01' || *p == 0) {
            out.push_back(cur);
            cur.clear();
            if (*p == 0) break;
        } else {
            cur += *p;
        }
    }
    return out;
}

bool sameSet(std::vector<std::string> a, std::vector<std::string> b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

namespace {

struct Key {
    std::string name;
    char type = 'U';
    std::vector<std::string> columns; // in the key's order
};

// The primary and unique keys of owner.table as the dictionary lists them.
std::vector<Key> tableKeys(Session& s, const std::string& owner, const std::string& table) {
    std::vector<Key> keys;
    sqlite3_stmt* q = nullptr;
    if (sqlite3_prepare_v2(
            s.conn,
            "SELECT c.constraint_name, c.constraint_type, group_concat(i.column_name, char(1)) "
            "FROM main.constraints c JOIN (SELECT * FROM main.ind_columns ORDER BY "
            "column_position) i ON i.index_owner = c.owner AND i.index_name = c.index_name "
            "WHERE c.owner = ?1 AND c.table_name = ?2 AND c.constraint_type IN ('P', 'U') "
            "GROUP BY c.constraint_name, c.constraint_type",
            -1, &q, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(q, 1, owner.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(q, 2, table.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(q) == SQLITE_ROW) {
            Key k;
            k.name = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
            k.type = reinterpret_cast<const char*>(sqlite3_column_text(q, 1))[0];
            k.columns = splitNames(reinterpret_cast<const char*>(sqlite3_column_text(q, 2)));
            keys.push_back(std::move(k));
        }
    }
    sqlite3_finalize(q);
    return keys;
}

// A foreign key broken at the end of a statement, as PRAGMA foreign_key_check
// reports it: the child table, the key's columns there, its parent table.
struct Broken {
    std::string table, parent;
    std::vector<std::string> columns;
};

bool firstBroken(Session& s, const std::string& owner, Broken& out) {
    char* sql = sqlite3_mprintf("PRAGMA %Q.foreign_key_check", owner.c_str());
    sqlite3_stmt* q = nullptr;
    int fkid = -1;
    if (sqlite3_prepare_v2(s.conn, sql, -1, &q, nullptr) == SQLITE_OK && sqlite3_step(q) == SQLITE_ROW) {
        out.table = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
        out.parent = reinterpret_cast<const char*>(sqlite3_column_text(q, 2));
        fkid = sqlite3_column_int(q, 3);
    }
    sqlite3_finalize(q);
    sqlite3_free(sql);
    if (fkid < 0) return false;
    // The key's columns, by its number in the child table's list.
    sql = sqlite3_mprintf("PRAGMA %Q.foreign_key_list(%Q)", owner.c_str(), out.table.c_str());
    std::vector<std::pair<int, std::string>> columns;
    if (sqlite3_prepare_v2(s.conn, sql, -1, &q, nullptr) == SQLITE_OK)
        while (sqlite3_step(q) == SQLITE_ROW)
            if (sqlite3_column_int(q, 0) == fkid)
                columns.push_back(
                    {sqlite3_column_int(q, 1), reinterpret_cast<const char*>(sqlite3_column_text(q, 3))});
    sqlite3_finalize(q);
    sqlite3_free(sql);
    std::sort(columns.begin(), columns.end());
    for (auto& c : columns) out.columns.push_back(c.second);
    return !out.columns.empty();
}

std::string constraintOf(Session& s, const std::string& owner, const Broken& b) {
    sqlite3_stmt* q = nullptr;
    std::string name;
    const std::string columns = joinNames(b.columns);
    if (sqlite3_prepare_v2(
            s.conn,
            "SELECT constraint_name FROM main.ref_constraints WHERE owner = ?1 AND table_name = ?2 "
            "AND columns = ?3 AND r_table = ?4",
            -1, &q, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(q, 1, owner.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(q, 2, b.table.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(q, 3, columns.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(q, 4, b.parent.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(q) == SQLITE_ROW) name = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
    }
    sqlite3_finalize(q);
    return name;
}

} // namespace

OraError matchForeignKeys(Session& s, Translation& t) {
    for (ConstraintDef& c : t.constraints) {
        if (c.type != 'R') continue;
        std::vector<Key> keys;
        if (c.refTable == t.target.name) {
            for (const ConstraintDef& k : t.constraints)
                if (k.type == 'P' || k.type == 'U') keys.push_back({k.name, k.type, k.columns});
        } else {
            keys = tableKeys(s, t.target.owner, c.refTable);
        }
        const Key* match = nullptr;
        for (const Key& k : keys)
            if (c.refColumns.empty() ? k.type == 'P' : sameSet(k.columns, c.refColumns)) match = &k;
        OraError e;
        if (!match) {
            e = makeError(c.refColumns.empty() ? 2268 : 2270);
        } else if (c.refColumns.empty() && match->columns.size() != c.columns.size()) {
            e = makeError(2256);
        } else {
            if (c.refColumns.empty()) c.refColumns = match->columns;
            c.refConstraint = match->name;
            continue;
        }
        e.offset = c.offset;
        return e;
    }
    return OraError{};
}

OraError foreignKeyViolation(Session& s, const Translation& t, const std::function<int()>& rerun) {
    const std::string& owner = t.target.owner;
    int code = t.kind == Kind::Delete ? 2292 : 2291;
    std::string name;
    if (sqlite3_exec(s.conn, "SAVEPOINT ora_fk; PRAGMA defer_foreign_keys = ON", nullptr, nullptr, nullptr) ==
        SQLITE_OK) {
        Broken b;
        if (rerun() == SQLITE_DONE && firstBroken(s, owner, b)) {
            name = constraintOf(s, owner, b);
            // An update leaves a row without its parent (2291) when it set the
            // row's key columns, else it took a parent from its children.
            if (t.kind == Kind::Update) {
                bool setKey =
                    b.table == t.target.name &&
                    std::any_of(b.columns.begin(), b.columns.end(), [&](const std::string& c) {
                        return std::find(t.setColumns.begin(), t.setColumns.end(), c) != t.setColumns.end();
                    });
                code = setKey ? 2291 : 2292;
            }
        }
        sqlite3_exec(s.conn, "ROLLBACK TO ora_fk; RELEASE ora_fk; PRAGMA defer_foreign_keys = OFF", nullptr,
                     nullptr, nullptr);
    }
    return makeError(code, owner + "." + (name.empty() ? "SYS_C_" + t.target.name : name));
}

bool referencedElsewhere(Session& s, const TableRef& t) {
    sqlite3_stmt* q = nullptr;
    bool found = false;
    if (sqlite3_prepare_v2(
            s.conn,
            "SELECT 1 FROM main.ref_constraints WHERE owner = ?1 AND r_table = ?2 AND table_name "
            "<> ?2",
            -1, &q, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(q, 1, t.owner.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(q, 2, t.name.c_str(), -1, SQLITE_TRANSIENT);
        found = sqlite3_step(q) == SQLITE_ROW;
    }
    sqlite3_finalize(q);
    return found;
}

} // namespace oci
