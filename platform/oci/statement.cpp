// Statement execution over SQLite: translate, bind, run, describe and fetch.
#include "catalog.h"
#include "nonblock.h"
#include "values.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

namespace oci {

Stmt::~Stmt() {
    reset();
    for (auto* b : binds) delete b;
    for (auto* d : defines) delete d;
    for (auto* p : params) delete p;
}

void Stmt::reset(bool keepCompiled) {
    if (st && keepCompiled) {
        sqlite3_reset(st);
    } else {
        if (st) sqlite3_finalize(st);
        st = nullptr;
    }
    executed = rowPending = finished = endReported = false;
    rowCount = 0;
    if (!st) paramBindsFor = nullptr;
}

void stmtPrepare(Stmt& s, const char* text, size_t len) {
    s.reset();
    // A new statement text drops the binds and defines of the old one.
    for (auto* b : s.binds) delete b;
    for (auto* d : s.defines) delete d;
    s.binds.clear();
    s.paramBindsFor = nullptr;
    s.defines.clear();
    s.clientSql.assign(text ? text : "", text ? len : 0);
    s.env->codec.toUtf8(s.clientSql.data(), s.clientSql.size(), s.sql, &s.toClient);
    s.translated = false;
    s.described = false;
    s.prepared = true;
    s.session = nullptr;
    s.cols.clear();
    s.parseOffset = 0;
}

// Always inside the caller's text: an error at its very end points at the last byte.
int clientOffset(const Stmt& s, int off) {
    if (off < 0 || s.toClient.empty() || s.clientSql.empty()) return 0;
    int last = int(s.clientSql.size()) - 1;
    if (size_t(off) >= s.toClient.size()) return last;
    return std::min(s.toClient[size_t(off)], last);
}

OraError sqliteError(Session& s, int rc, const Translation* t, int outOffset) {
    std::string msg = sqlite3_errmsg(s.conn);
    OraError e;
    if (msg.compare(0, 4, "ORA-") == 0) {
        // Raised by one of our functions: "ORA-nnnnn|slot|detail".
        int code = std::atoi(msg.c_str() + 4);
        size_t a = msg.find('|'), b = a == std::string::npos ? a : msg.find('|', a + 1);
        int slot = a == std::string::npos ? -1 : std::atoi(msg.c_str() + a + 1);
        std::string detail = b == std::string::npos ? "" : msg.substr(b + 1);
        e = makeError(code, detail);
        if (t && slot >= 0 && size_t(slot) < t->slots.size()) e.offset = t->slots[size_t(slot)];
        return e;
    }
    auto after = [&](const char* prefix) {
        size_t p = msg.find(prefix);
        return p == std::string::npos ? std::string() : msg.substr(p + std::strlen(prefix));
    };
    if (rc == SQLITE_INTERRUPT || s.breakRequested) {
        e = makeError(1013);
    } else if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        e = makeError(54);
    } else if (msg.find("no such table") != std::string::npos) {
        e = makeError(942);
    } else if (msg.find("no such column") != std::string::npos) {
        std::string col = after("no such column: ");
        size_t dot = col.rfind('.');
        if (dot != std::string::npos) col = col.substr(dot + 1);
        e = makeError(904, "\"" + upperAscii(col) + "\"");
    } else if (msg.find("ambiguous column") != std::string::npos) {
        e = makeError(918);
    } else if (msg.find("UNIQUE constraint failed") != std::string::npos ||
               msg.find("PRIMARY KEY must be unique") != std::string::npos) {
        // Named as the dictionary lists the unique constraint or index over the failed columns.
        std::string cols = after("failed: ");
        std::vector<std::string> names;
        for (size_t a = 0; a <= cols.size();) {
            size_t b = cols.find(", ", a);
            if (b == std::string::npos) b = cols.size();
            std::string c = cols.substr(a, b - a);
            size_t dot = c.find('.');
            names.push_back(dot == std::string::npos ? c : c.substr(dot + 1));
            a = b + 2;
        }
        int off = outOffset >= 0 ? outOffset : sqlite3_error_offset(s.conn);
        std::string name = t ? uniqueConstraintName(s, t->target, names) : std::string();
        if (name.empty()) name = t ? t->target.owner + ".SYS_C_" + t->target.name : cols;
        e = makeError(1, name);
        if (t && off >= 0) e.offset = originalOffset(*t, off);
        return e;
    } else if (msg.find("CHECK constraint failed") != std::string::npos) {
        // Named constraints by their name; an unnamed one by the table's.
        std::string name = after("failed: ");
        bool plain = !name.empty() &&
                     name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_$#") == std::string::npos;
        std::string owner = t ? t->target.owner : "";
        e = makeError(2290, owner + "." + (plain ? name : "SYS_C_" + (t ? t->target.name : std::string())));
    } else if (msg.find("NOT NULL constraint failed") != std::string::npos) {
        std::string col = after("failed: ");
        std::string owner = t ? t->target.owner : "";
        size_t dot = col.find('.');
        std::string q = "\"" + owner + "\".\"" + col.substr(0, dot) + "\".\"" +
                        (dot == std::string::npos ? col : col.substr(dot + 1)) + "\"";
        // Another table's column is updated: a foreign key's ON DELETE SET NULL.
        bool update = t && (t->kind == Kind::Update ||
                            (dot != std::string::npos && col.substr(0, dot) != t->target.name));
        e = makeError(update ? 1407 : 1400, q);
    } else if (msg.find("FOREIGN KEY constraint failed") != std::string::npos) {
        // Which key, the statement's runner finds out.
        e = makeError(t && t->kind == Kind::Delete ? 2292 : 2291,
                      t ? t->target.owner + ".SYS_C_" + t->target.name : "");
    } else if (msg.find(" values for ") != std::string::npos && msg.find("ORA$SRC") != std::string::npos) {
        // A query inserted with more or fewer columns than named.
        int values = 0, columns = 0;
        std::sscanf(after("has ").c_str(), "%d values for %d", &values, &columns);
        e = makeError(values > columns ? 913 : 947);
    } else if (msg.find("because it is a view") != std::string::npos) {
        e = makeError(1732);
    } else if (msg.find("no such savepoint") != std::string::npos) {
        e = makeError(1086, upperAscii(after("no such savepoint: ")));
    } else if (msg.find("incomplete input") != std::string::npos) {
        e = makeError(936);
    } else if (msg.find("syntax error") != std::string::npos) {
        e = makeError(msg.find("near \"") != std::string::npos ? 933 : 900);
    } else if (msg.find("wrong number of arguments") != std::string::npos) {
        e = makeError(909);
    } else if (msg.find("no such function") != std::string::npos) {
        e = makeError(904, "\"" + upperAscii(after("no such function: ")) + "\"");
    } else {
        e = makeError(600, msg);
    }
    int off = outOffset >= 0 ? outOffset : sqlite3_error_offset(s.conn);
    if (t && off >= 0) e.offset = originalOffset(*t, off);
    return e;
}

namespace {

// A value of the caller's buffer, which need be neither aligned nor of type T.
template <class T> T readValue(const char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// A SQLT_AFC value compared with a CHAR column compares blank-padded: with its
// trailing blanks replaced by the column's padding it matches the stored value.
void padForChar(const Stmt& s, const std::string& name, std::string& utf8) {
    for (auto& [bind, decl] : s.tr.charBinds) {
        if (bind != name) continue;
        DeclType t = parseDeclType(decl);
        if (t.cls != TypeClass::Char || t.length <= 0) return;
        size_t end = utf8.find_last_not_of(' ');
        utf8.resize(end == std::string::npos ? 0 : end + 1);
        size_t actual = utf8.size();
        if (t.charSemantics) {
            actual = 0;
            for (unsigned char ch : utf8)
                if ((ch & 0xC0) != 0x80) ++actual;
        }
        if (actual < size_t(t.length)) utf8.append(size_t(t.length) - actual, ' ');
        return;
    }
}

// Reads bind value k into parameter p.
bool bindValue(Stmt& s, sqlite3_stmt* st, int p, BindH* b, ub4 k) {
    const Env& env = *s.env;
    sb2* ind = b->ind ? reinterpret_cast<sb2*>(reinterpret_cast<char*>(b->ind) + size_t(k) * 2) : nullptr;
    if ((ind && *ind == -1) || !b->value) return sqlite3_bind_null(st, p) == SQLITE_OK;
    const char* v = static_cast<const char*>(b->value) + size_t(k) * size_t(std::max<sb4>(b->size, 0));
    switch (b->dty) {
    case SQLT_INT:
        if (b->size == 8) return sqlite3_bind_int64(st, p, readValue<int64_t>(v)) == SQLITE_OK;
        if (b->size == 2) return sqlite3_bind_int(st, p, readValue<int16_t>(v)) == SQLITE_OK;
        if (b->size == 1) return sqlite3_bind_int(st, p, readValue<int8_t>(v)) == SQLITE_OK;
        return sqlite3_bind_int(st, p, readValue<int32_t>(v)) == SQLITE_OK;
    case SQLT_FLT:
        if (b->size == 4) return sqlite3_bind_double(st, p, readValue<float>(v)) == SQLITE_OK;
        return sqlite3_bind_double(st, p, readValue<double>(v)) == SQLITE_OK;
    default: {
        size_t n = 0;
        if (b->dty == SQLT_STR || b->dty == 0) {
            while (n < size_t(std::max<sb4>(b->size, 0)) && v[n]) ++n;
        } else {
            n = b->alen ? b->alen[k] : size_t(std::max<sb4>(b->size, 0));
        }
        if (n == 0) return sqlite3_bind_null(st, p) == SQLITE_OK;
        std::string& utf8 = s.bindUtf8[size_t(p - 1)];
        (b->form == SQLCS_NCHAR ? env.ncodec : env.codec).toUtf8(v, n, utf8);
        if (b->dty == SQLT_AFC) padForChar(s, b->name, utf8);
        return sqlite3_bind_text(st, p, utf8.data(), int(utf8.size()), SQLITE_STATIC) == SQLITE_OK;
    }
    }
}

BindH* findBind(Stmt& s, const std::string& name) {
    for (auto* b : s.binds)
        if (b->name == name) return b;
    return nullptr;
}

bool bindAll(Stmt& s, ub4 k, OraError& err) {
    int n = sqlite3_bind_parameter_count(s.st);
    // Sized before any bind: growing later would move the texts SQLite points at.
    if (s.bindUtf8.size() < size_t(n)) s.bindUtf8.resize(size_t(n));
    if (s.paramBindsFor != s.st || s.paramBindsCount != s.binds.size() || s.paramBinds.size() != size_t(n)) {
        s.paramBinds.resize(size_t(n));
        for (int p = 1; p <= n; ++p) s.paramBinds[size_t(p - 1)] = findBind(s, s.tr.bindNames[size_t(p - 1)]);
        s.paramBindsFor = s.st;
        s.paramBindsCount = s.binds.size();
    }
    for (int p = 1; p <= n; ++p) {
        BindH* b = s.paramBinds[size_t(p - 1)];
        if (!b) {
            err = makeError(1008);
            return false;
        }
        bindValue(s, s.st, p, b, k);
    }
    return true;
}

// Describes the result columns of the prepared query.
void describe(Stmt& s) {
    s.cols.clear();
    s.colMap.clear();
    s.rowidCol = -1;
    int n = sqlite3_column_count(s.st);
    const auto& items = s.tr.items;
    int stars = 0;
    for (auto& it : items) stars += it.star ? 1 : 0;
    // Expand the select list to one entry per result column.
    std::vector<const SelectItem*> perCol;
    for (auto& it : items) {
        if (!it.star) {
            perCol.push_back(&it);
            continue;
        }
        int width = stars ? (n - int(items.size() - size_t(stars)) - (s.tr.hiddenRowid ? 1 : 0)) / stars : 0;
        for (int k = 0; k < width; ++k) perCol.push_back(nullptr);
    }
    for (int i = 0; i < n; ++i) {
        Column c;
        const char* nm = sqlite3_column_name(s.st, i);
        c.name = nm ? nm : "";
        if (c.name == "ORA$ROWID") {
            // The row id kept for LOB locators, not part of the select list.
            if (s.tr.hiddenRowid && i == n - 1) s.rowidCol = i;
            continue;
        }
        s.colMap.push_back(i);
        const SelectItem* it = size_t(i) < perCol.size() ? perCol[size_t(i)] : nullptr;
        const char* decl = sqlite3_column_decltype(s.st, i);
        if (it && it->kind == ItemKind::RowId) {
            c.type = SQLT_RID;
            c.size = 10;
        } else if (decl && (!it || it->kind == ItemKind::Column)) {
            DeclType t = parseDeclType(decl);
            c.type = t.col.type;
            c.size = t.col.size;
            c.precision = t.col.precision;
            c.scale = t.col.scale;
            c.form = t.col.form;
            const char* db = sqlite3_column_database_name(s.st, i);
            const char* tab = sqlite3_column_table_name(s.st, i);
            const char* org = sqlite3_column_origin_name(s.st, i);
            int notNull = 0;
            if (db && tab && org &&
                sqlite3_table_column_metadata(s.session->conn, db, tab, org, nullptr, nullptr, &notNull,
                                              nullptr, nullptr) == SQLITE_OK)
                c.nullable = notNull ? 0 : 1;
        } else if (it && it->kind == ItemKind::String) {
            c.type = SQLT_AFC;
            c.size = ub2(it->length);
        } else if (it && (it->kind == ItemKind::Number || it->kind == ItemKind::Numeric)) {
            c.type = SQLT_NUM;
            c.size = 22;
            c.precision = 0;
            c.scale = -127;
        } else if (it && it->kind == ItemKind::Null) {
            c.type = SQLT_CHR;
            c.size = 0;
        } else if (it && it->kind == ItemKind::Date) {
            c.type = SQLT_DAT;
            c.size = 7;
        } else if (it && (it->kind == ItemKind::Timestamp || it->kind == ItemKind::TimestampTz)) {
            c.type = it->kind == ItemKind::Timestamp ? SQLT_TIMESTAMP : SQLT_TIMESTAMP_TZ;
            c.size = it->kind == ItemKind::Timestamp ? 11 : 13;
            c.scale = sb2(it->fraction);
        } else if (it && it->kind == ItemKind::Text) {
            c.type = SQLT_CHR;
            c.size = ub2(it->length);
        } else if (it && it->kind == ItemKind::Bind) {
            BindH* b = findBind(s, it->bindName);
            c.type = SQLT_CHR;
            c.size = ub2(b ? std::max<sb4>(b->size, 0) : 4000);
        } else {
            c.type = SQLT_CHR;
            c.size = 4000;
        }
        s.cols.push_back(c);
    }
    s.described = true;
}

// The current row's value of column i as Oracle text (UTF-8); false for NULL.
bool columnText(Stmt& s, int i, std::string& out) {
    sqlite3_stmt* st = s.st;
    switch (sqlite3_column_type(st, i)) {
    case SQLITE_NULL: return false;
    case SQLITE_INTEGER: out = std::to_string(sqlite3_column_int64(st, i)); return true;
    case SQLITE_FLOAT:
        out = numberText(sqlite3_column_double(st, i));
        // The session's decimal character.
        if (s.session && s.session->numericCharacters[0] != '.')
            for (char& c : out)
                if (c == '.') c = s.session->numericCharacters[0];
        return true;
    case SQLITE_BLOB: {
        static const char* hex = "0123456789ABCDEF";
        auto p = static_cast<const unsigned char*>(sqlite3_column_blob(st, i));
        int n = sqlite3_column_bytes(st, i);
        out.clear();
        for (int k = 0; k < n; ++k) {
            out += hex[p[k] >> 4];
            out += hex[p[k] & 15];
        }
        return true;
    }
    default: {
        const char* t = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
        out.assign(t, size_t(sqlite3_column_bytes(st, i)));
        return !out.empty();
    }
    }
}

// The current row's TEXT value of column i as stored. In a UTF-8 database that
// is the UTF-8 text itself; reading it as a blob spares SQLite copying it to
// add a terminator, which the caller does not need.
const char* storedText(const Stmt& s, sqlite3_value* v, size_t& n) {
    const void* p = s.session && s.session->utf8Storage ? sqlite3_value_blob(v) : sqlite3_value_text(v);
    n = size_t(sqlite3_value_bytes(v));
    return p ? static_cast<const char*>(p) : "";
}

// Places the current row into define slot r; true when a value was cut.
bool deliverRow(Stmt& s, ub4 r) {
    bool cut = false;
    std::string& utf8 = s.scratchUtf8;
    std::string& client = s.scratchClient;
    for (size_t i = 0; i < s.defines.size(); ++i) {
        DefineH* d = s.defines[i];
        if (!d) continue;
        if (i >= s.colMap.size()) continue;
        int col = s.colMap[i];
        int visible = int(i);
        sb2* ind = d->ind ? reinterpret_cast<sb2*>(reinterpret_cast<char*>(d->ind) + size_t(r) * d->indSkip)
                          : nullptr;
        ub2* rlen = d->rlen
                        ? reinterpret_cast<ub2*>(reinterpret_cast<char*>(d->rlen) + size_t(r) * d->lenSkip)
                        : nullptr;
        ub2* rcode = d->rcode
                         ? reinterpret_cast<ub2*>(reinterpret_cast<char*>(d->rcode) + size_t(r) * d->codeSkip)
                         : nullptr;
        char* val = d->value ? d->value + size_t(r) * d->valueSkip : nullptr;
        if (d->dty == SQLT_CLOB || d->dty == SQLT_BLOB || d->dty == SQLT_BFILEE) {
            // The caller's locator, whose pointer lies in the value area, is filled in place.
            LobH* l = nullptr;
            if (val) {
                void* p = nullptr;
                std::memcpy(&p, val, sizeof p);
                l = isHandle(p, OCI_DTYPE_LOB) ? as<LobH>(p, OCI_DTYPE_LOB) : as<LobH>(p, OCI_DTYPE_FILE);
            }
            int vt = sqlite3_column_type(s.st, col);
            bool null = vt == SQLITE_NULL;
            ub1 form = visible < int(s.cols.size()) ? s.cols[size_t(visible)].form : SQLCS_IMPLICIT;
            if (l) {
                const void* bytes =
                    vt == SQLITE_BLOB ? sqlite3_column_blob(s.st, col) : sqlite3_column_text(s.st, col);
                size_t n = size_t(sqlite3_column_bytes(s.st, col));
                if (d->dty == SQLT_BLOB && vt == SQLITE_TEXT) {
                    // Hexadecimal text written as a literal.
                    std::string hex(static_cast<const char*>(bytes), n), raw;
                    for (size_t k = 0; k + 1 < hex.size(); k += 2)
                        raw += char(std::stoi(hex.substr(k, 2), nullptr, 16));
                    fillLocator(*l, d->dty, form, raw.data(), raw.size(), null);
                } else {
                    fillLocator(*l, d->dty, form, bytes, n, null);
                }
                // The row it names, for writes.
                const char* db = sqlite3_column_database_name(s.st, col);
                const char* tab = sqlite3_column_table_name(s.st, col);
                const char* org = sqlite3_column_origin_name(s.st, col);
                l->hasRow = s.rowidCol >= 0 && db && tab && org;
                if (l->hasRow) {
                    l->owner = db;
                    l->table = tab;
                    l->column = org;
                    l->rowid = sqlite3_column_int64(s.st, s.rowidCol);
                }
            }
            if (ind) *ind = null ? -1 : 0;
            if (rcode) *rcode = null ? 1405 : 0;
            continue;
        }
        // The column's value read once; the connection is this thread's alone for the call.
        sqlite3_value* cv = sqlite3_column_value(s.st, col);
        int vt = sqlite3_value_type(cv);
        if (vt == SQLITE_NULL) {
            if (ind) *ind = -1;
            if (rcode) *rcode = 1405;
            if (rlen) *rlen = 0;
            continue;
        }
        if (d->dty == SQLT_INT && val) {
            int64_t v = sqlite3_value_int64(cv);
            if (d->size == 8)
                std::memcpy(val, &v, 8);
            else {
                int32_t x = int32_t(v);
                std::memcpy(val, &x, 4);
            }
            if (ind) *ind = 0;
            if (rcode) *rcode = 0;
            if (rlen) *rlen = ub2(d->size);
            continue;
        }
        if (d->dty == SQLT_FLT && val) {
            double v = sqlite3_value_double(cv);
            if (d->size == 4) {
                float f = float(v);
                std::memcpy(val, &f, 4);
            } else {
                std::memcpy(val, &v, 8);
            }
            if (ind) *ind = 0;
            if (rcode) *rcode = 0;
            if (rlen) *rlen = ub2(d->size);
            continue;
        }
        const Codec& codec = (d->form == SQLCS_NCHAR ||
                              (visible < int(s.cols.size()) && s.cols[size_t(visible)].form == SQLCS_NCHAR))
                                 ? s.env->ncodec
                                 : s.env->codec;
        // Text comes straight from SQLite's buffer when no conversion is needed.
        const char* text;
        size_t textLen;
        char number[kShortNumberText];
        ub2 vtype = visible < int(s.cols.size()) ? s.cols[size_t(visible)].type : 0;
        bool date = vtype == SQLT_DAT;
        bool stamp = vtype == SQLT_TIMESTAMP || vtype == SQLT_TIMESTAMP_TZ || vtype == SQLT_TIMESTAMP_LTZ;
        DateTime ts;
        if (stamp && vt == SQLITE_TEXT) {
            // A text that is no stored timestamp is shown as it is.
            const char* v = reinterpret_cast<const char*>(sqlite3_column_text(s.st, col));
            size_t n = size_t(sqlite3_column_bytes(s.st, col));
            if (readStoredStamp(v, n, ts) != 0) stamp = false;
            // WITH LOCAL TIME ZONE: kept in the database's zone, shown in the session's.
            if (stamp && n > 0 && v[n - 1] == 'Z') ts = inZone(ts, s.session->zone());
        }
        if (stamp && vt == SQLITE_TEXT) {
            // Timestamps by the session's format, the fraction at the column's precision.
            int digits = visible < int(s.cols.size()) ? s.cols[size_t(visible)].scale : 6;
            bool tz = vtype == SQLT_TIMESTAMP_TZ && ts.zone != kNoZone;
            std::string fmt = tz ? s.session->timestampTzFormat : s.session->timestampFormat;
            size_t p = fmt.find("XFF");
            if (p != std::string::npos && digits >= 0 && digits <= 9 &&
                !(p + 3 < fmt.size() && std::isdigit(static_cast<unsigned char>(fmt[p + 3]))))
                fmt.replace(p, 3, digits == 0 ? std::string() : "XFF" + std::to_string(digits));
            formatDate(ts, fmt, utf8, s.session->japaneseDates);
            codec.fromUtf8(utf8, client);
            text = client.data();
            textLen = client.size();
        } else if (date && vt == SQLITE_TEXT) {
            DateTime dt;
            size_t storedLen = 0;
            const char* stored = storedText(s, cv, storedLen);
            if (parseStoredDate(stored, storedLen, dt)) {
                formatDate(dt, s.session->dateFormat, utf8, s.session->japaneseDates);
                text = utf8.data();
                textLen = utf8.size();
            } else {
                text = stored;
                textLen = storedLen;
            }
            if (codec.toClient(text, textLen, client)) {
                text = client.data();
                textLen = client.size();
            }
        } else if (vt == SQLITE_INTEGER) {
            // Digits read alike in every client character set.
            text = number;
            textLen =
                size_t(std::to_chars(number, number + sizeof number, sqlite3_value_int64(cv)).ptr - number);
        } else if (vt == SQLITE_FLOAT && (textLen = shortNumberText(sqlite3_value_double(cv), number)) != 0) {
            text = number;
            if (s.session && s.session->numericCharacters[0] != '.')
                for (size_t k = 0; k < textLen; ++k)
                    if (number[k] == '.') number[k] = s.session->numericCharacters[0];
        } else if (vt == SQLITE_TEXT) {
            text = storedText(s, cv, textLen);
            if (codec.toClient(text, textLen, client)) {
                text = client.data();
                textLen = client.size();
            }
        } else {
            columnText(s, col, utf8);
            codec.fromUtf8(utf8, client);
            text = client.data();
            textLen = client.size();
        }
        size_t room =
            d->dty == SQLT_STR ? size_t(std::max<sb4>(d->size, 1) - 1) : size_t(std::max<sb4>(d->size, 0));
        size_t n = textLen;
        bool tooLong = n > room;
        if (tooLong) n = codec.wholeChars(text, textLen, room);
        if (val) {
            std::memcpy(val, text, n);
            if (d->dty == SQLT_STR) val[n] = '\0';
        }
        if (ind) *ind = tooLong ? sb2(std::min<size_t>(textLen, 32767)) : 0;
        if (rlen) *rlen = ub2(n);
        if (rcode) *rcode = tooLong ? 1406 : 0;
        cut = cut || tooLong;
    }
    return cut;
}

bool prepareSqlite(Stmt& s, Session& sess, OraError& err) {
    // DML executed again (each batch of an array write) keeps its compiled
    // statement; SQLite compiles it anew itself when the schema changed.
    bool query = s.tr.kind == Kind::Select;
    if (s.st && !query && s.preparedSession == &sess && sqlite3_db_handle(s.st) == sess.conn &&
        s.preparedSql == s.tr.sql) {
        sqlite3_reset(s.st);
        return true;
    }
    if (s.st) {
        sqlite3_finalize(s.st);
        s.st = nullptr;
    }
    s.preparedSession = nullptr;
    // A rollback since the translation may have taken a dictionary view away.
    for (const std::string& name : s.tr.dictionaryViews) {
        TableRef ref;
        dictionaryView(sess, name, ref);
    }
    const char* tail = nullptr;
    if (std::getenv("TAVRELIX_OCI_TRACE"))
        std::fprintf(stderr, "oci: %s\n    -> %s\n", s.sql.c_str(), s.tr.sql.c_str());
    int rc = sqlite3_prepare_v2(sess.conn, s.tr.sql.c_str(), int(s.tr.sql.size()), &s.st, &tail);
    if (rc != SQLITE_OK) {
        err = sqliteError(sess, rc, &s.tr, -1);
        return false;
    }
    s.preparedSession = &sess;
    s.preparedSql = s.tr.sql;
    s.paramBindsFor = nullptr;
    return true;
}

bool translateFor(Stmt& s, Session& sess, OraError& err) {
    if (s.translated && s.session == &sess) return true;
    s.session = &sess;
    if (!translate(s.sql, sess, sess.schema, s.tr)) {
        err = makeError(s.tr.errorCode, s.tr.errorDetail);
        err.offset = s.tr.errorOffset;
        s.translated = false;
        return false;
    }
    s.translated = true;
    return true;
}

// "alter session set P = 'V'" for the NLS parameters and the time zone.
bool alterSession(Session& sess, const Translation& t, OraError& err) {
    const auto& w = t.words;
    if (w.size() < 2 || w[0] != "ALTER" || w[1] != "SESSION") {
        err = makeError(3001);
        return false;
    }
    if (w.size() != 6 || w[2] != "SET" || w[4] != "=") {
        err = makeError(922);
        return false;
    }
    const std::string& name = w[3];
    std::string value = w[5];
    static const std::set<std::string> known = {"NLS_DATE_FORMAT",
                                                "NLS_DATE_LANGUAGE",
                                                "NLS_TIMESTAMP_FORMAT",
                                                "NLS_TIMESTAMP_TZ_FORMAT",
                                                "NLS_NUMERIC_CHARACTERS",
                                                "TIME_ZONE",
                                                "NLS_LANGUAGE",
                                                "NLS_TERRITORY",
                                                "NLS_SORT",
                                                "NLS_COMP"};
    if (!known.count(name)) {
        err = makeError(2248);
        return false;
    }
    if (name == "NLS_DATE_FORMAT" || name == "NLS_TIMESTAMP_FORMAT" || name == "NLS_TIMESTAMP_TZ_FORMAT") {
        std::string out;
        if (formatDate(DateTime{}, value, out) != 0) {
            err = makeError(1821);
            return false;
        }
        if (name == "NLS_DATE_FORMAT") sess.dateFormat = value;
        if (name == "NLS_TIMESTAMP_FORMAT") sess.timestampFormat = value;
        if (name == "NLS_TIMESTAMP_TZ_FORMAT") sess.timestampTzFormat = value;
    } else if (name == "NLS_DATE_LANGUAGE" || name == "NLS_LANGUAGE") {
        value = upperAscii(value);
        if (value != "AMERICAN" && value != "JAPANESE") {
            err = makeError(12705);
            return false;
        }
        sess.japaneseDates = value == "JAPANESE";
    } else if (name == "NLS_NUMERIC_CHARACTERS") {
        // Two different characters, neither a digit, sign or angle bracket.
        auto bad = [](char c) {
            return std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '<' ||
                   c == '>';
        };
        if (value.size() != 2 || value[0] == value[1] || bad(value[0]) || bad(value[1])) {
            err = makeError(12705);
            return false;
        }
        sess.numericCharacters = value;
    } else if (name == "TIME_ZONE") {
        std::string v = upperAscii(value);
        int h = 0, m = 0;
        char sign = 0;
        if (v == "LOCAL") {
            sess.zoneLocal = true;
        } else if (v == "DBTIMEZONE") {
            sess.zoneLocal = false;
            sess.zoneMinutes = kDbZoneMinutes;
        } else if (std::sscanf(v.c_str(), "%c%d:%d", &sign, &h, &m) == 3 && (sign == '+' || sign == '-')) {
            if (h > 14 || m > 59 || (h == 14 && m > 0)) {
                err = makeError(1874);
                return false;
            }
            sess.zoneLocal = false;
            sess.zoneMinutes = (sign == '-' ? -1 : 1) * (h * 60 + m);
        } else {
            err = makeError(1882);
            return false;
        }
    }
    sess.nlsSession[name] = value;
    return true;
}

// Runs one DML iteration; false with err (the iteration undone).
bool runIteration(Stmt& s, Session& sess, ub4 k, OraError& err) {
    if (int code = iterationFailure(k)) {
        err = makeError(code);
        return false;
    }
    if (s.tr.kind == Kind::Insert && !sessionTick(sess, sess.rowTicks++)) {
        err = makeError(1013);
        return false;
    }
    sqlite3_reset(s.st);
    if (!bindAll(s, k, err)) return false;
    bool returning = !s.tr.returningBinds.empty();
    if (returning) sqlite3_exec(sess.conn, "SAVEPOINT ora_returning", nullptr, nullptr, nullptr);
    int rc;
    bool first = true;
    while ((rc = sqlite3_step(s.st)) == SQLITE_ROW) {
        if (!first) continue;
        first = false;
        // Out binds receive the returned values as NUL-terminated text.
        for (size_t c = 0; c < s.tr.returningBinds.size() && int(c) < sqlite3_column_count(s.st); ++c) {
            BindH* b = findBind(s, s.tr.returningBinds[c]);
            if (!b) {
                err = makeError(1008);
                rc = SQLITE_ABORT;
                break;
            }
            std::string utf8, client;
            bool hasValue = columnText(s, int(c), utf8);
            s.env->codec.fromUtf8(utf8, client);
            char* v = static_cast<char*>(b->value) + size_t(k) * size_t(std::max<sb4>(b->size, 0));
            sb2* ind =
                b->ind ? reinterpret_cast<sb2*>(reinterpret_cast<char*>(b->ind) + size_t(k) * 2) : nullptr;
            if (!hasValue) {
                if (ind) *ind = -1;
                if (v && b->size > 0) v[0] = '\0';
                continue;
            }
            if (!v || client.size() + 1 > size_t(std::max<sb4>(b->size, 0))) {
                err = makeError(1406);
                rc = SQLITE_ABORT;
                break;
            }
            std::memcpy(v, client.data(), client.size());
            v[client.size()] = '\0';
            if (ind) *ind = 0;
            if (b->alen) b->alen[k] = ub2(client.size());
        }
        if (rc == SQLITE_ABORT) break;
    }
    if (rc == SQLITE_ABORT) {
        sqlite3_reset(s.st);
        sqlite3_exec(sess.conn, "ROLLBACK TO ora_returning; RELEASE ora_returning", nullptr, nullptr,
                     nullptr);
        return false;
    }
    if (rc != SQLITE_DONE) {
        err = sqliteError(sess, rc, &s.tr, -1);
        const bool foreignKey = std::strstr(sqlite3_errmsg(sess.conn), "FOREIGN KEY constraint failed");
        sqlite3_reset(s.st);
        if (returning)
            sqlite3_exec(sess.conn, "ROLLBACK TO ora_returning; RELEASE ora_returning", nullptr, nullptr,
                         nullptr);
        if (foreignKey)
            err = foreignKeyViolation(sess, s.tr, [&] {
                OraError ignored;
                int r = bindAll(s, k, ignored) ? SQLITE_ROW : SQLITE_ERROR;
                while (r == SQLITE_ROW) r = sqlite3_step(s.st);
                sqlite3_reset(s.st);
                return r;
            });
        return false;
    }
    s.rowCount += ub4(sqlite3_changes(sess.conn));
    sqlite3_reset(s.st);
    if (returning) sqlite3_exec(sess.conn, "RELEASE ora_returning", nullptr, nullptr, nullptr);
    return true;
}

} // namespace

namespace {

// The declared type of a query's result column for a table made from it.
std::string resultColumnType(sqlite3_stmt* st, int i, const SelectItem* it) {
    const char* decl = sqlite3_column_decltype(st, i);
    if (it && it->kind == ItemKind::RowId) return "ROWID";
    if (decl && (!it || it->kind == ItemKind::Column)) return decl;
    if (it && it->kind == ItemKind::String) return "CHAR(" + std::to_string(std::max(it->length, 1)) + ")";
    if (it && (it->kind == ItemKind::Number || it->kind == ItemKind::Numeric)) return "NUMBER";
    if (it && it->kind == ItemKind::Date) return "DATE";
    if (it && it->kind == ItemKind::Timestamp) return "TIMESTAMP(" + std::to_string(it->fraction) + ")";
    if (it && it->kind == ItemKind::TimestampTz) return "TIMESTAMP WITH TIME ZONE(6)";
    if (it && it->kind == ItemKind::Text) return "VARCHAR2(" + std::to_string(it->length) + ")";
    return "VARCHAR2(4000)";
}

// Creates a materialised view's container table, fills it from the query and
// writes its dictionary rows, inside the caller's transaction.
OraError buildMView(Session& sess, const Translation& t) {
    sqlite3_stmt* q = nullptr;
    int rc = sqlite3_prepare_v2(sess.conn, t.sql.c_str(), -1, &q, nullptr);
    if (rc != SQLITE_OK) return sqliteError(sess, rc, &t, -1);
    int n = sqlite3_column_count(q);
    std::vector<const SelectItem*> perCol;
    int stars = 0;
    for (auto& it : t.items) stars += it.star ? 1 : 0;
    for (auto& it : t.items) {
        if (!it.star) {
            perCol.push_back(&it);
            continue;
        }
        int width = stars ? (n - int(t.items.size() - size_t(stars))) / stars : 0;
        for (int k = 0; k < width; ++k) perCol.push_back(nullptr);
    }
    const std::string table = "\"" + t.target.owner + "\".\"" + t.target.name + "\"";
    std::string create = "CREATE TABLE " + table + " (", marks;
    std::set<std::string> names;
    for (int i = 0; i < n; ++i) {
        std::string name = sqlite3_column_name(q, i);
        if (!names.insert(name).second) {
            sqlite3_finalize(q);
            return makeError(957);
        }
        const SelectItem* it = size_t(i) < perCol.size() ? perCol[size_t(i)] : nullptr;
        std::string type = resultColumnType(q, i, it);
        // NOT NULL carries over from a plain column.
        const char *db = sqlite3_column_database_name(q, i), *tab = sqlite3_column_table_name(q, i),
                   *org = sqlite3_column_origin_name(q, i);
        int notNull = 0;
        if (db && tab && org)
            sqlite3_table_column_metadata(sess.conn, db, tab, org, nullptr, nullptr, &notNull, nullptr,
                                          nullptr);
        create += (i ? ", \"" : "\"") + name + "\" " + type + (notNull ? " NOT NULL" : "");
        marks += i ? ", ?" : "?";
    }
    create += ")";
    OraError e;
    if (!sess.exec(create, e)) {
        sqlite3_finalize(q);
        return e;
    }
    if (t.words[3] != "DEFERRED") {
        sqlite3_stmt* ins = nullptr;
        std::string insert = "INSERT INTO " + table + " VALUES (" + marks + ")";
        rc = sqlite3_prepare_v2(sess.conn, insert.c_str(), -1, &ins, nullptr);
        while (rc == SQLITE_OK && (rc = sqlite3_step(q)) == SQLITE_ROW) {
            for (int i = 0; i < n; ++i) sqlite3_bind_value(ins, i + 1, sqlite3_column_value(q, i));
            rc = sqlite3_step(ins);
            sqlite3_reset(ins);
            rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
        }
        sqlite3_finalize(ins);
        if (rc != SQLITE_DONE) {
            sqlite3_finalize(q);
            return sqliteError(sess, rc, &t, -1);
        }
    }
    sqlite3_finalize(q);
    registerObject(sess, t.target, "TABLE", true);
    registerObject(sess, t.target, "MATERIALIZED VIEW", true);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(
        sess.conn,
        "INSERT OR REPLACE INTO main.mviews VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, CASE WHEN ?6 = "
        "'DEFERRED' THEN NULL ELSE datetime('now','localtime') END)",
        -1, &st, nullptr);
    const std::string* args[] = {&t.target.owner, &t.target.name, &t.words[0],       &t.words[1],
                                 &t.words[2],     &t.words[3],    &t.viewBase.owner, &t.viewBase.name};
    for (int k = 0; k < 8; ++k)
        if (args[k]->empty())
            sqlite3_bind_null(st, k + 1);
        else
            sqlite3_bind_text(st, k + 1, args[k]->c_str(), -1, SQLITE_TRANSIENT);
    rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) return sqliteError(sess, rc, &t, -1);
    return OraError{};
}

} // namespace

namespace {

// ALTER TABLE ADD COLUMN with a default SQLite will not add (an expression): the
// column definition goes into the table's stored CREATE TABLE text, and the rows
// already there get the default's value now, as Oracle fills them.
int addColumnWithExpressionDefault(Session& sess, const Translation& t, const std::string& column,
                                   const std::string& statement) {
    const std::string& owner = t.target.owner;
    std::string def = statement.substr(statement.find(" ADD COLUMN ") + 12);
    std::string expr;
    for (auto& [c, sql] : t.defaultSql)
        if (c == column) expr = sql;
    char* q = sqlite3_mprintf("SELECT sql FROM %Q.sqlite_schema WHERE type = 'table' AND name = %Q",
                              owner.c_str(), t.target.name.c_str());
    sqlite3_stmt* st = nullptr;
    std::string create;
    int rc = sqlite3_prepare_v2(sess.conn, q, -1, &st, nullptr);
    sqlite3_free(q);
    if (rc == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        create = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    size_t close = create.rfind(')');
    if (close == std::string::npos || expr.empty()) return SQLITE_ERROR;
    create.insert(close, ", " + def);
    int version = 0;
    q = sqlite3_mprintf("PRAGMA %Q.schema_version", owner.c_str());
    if (sqlite3_prepare_v2(sess.conn, q, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        version = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    sqlite3_free(q);
    q = sqlite3_mprintf(
        "PRAGMA writable_schema = ON; UPDATE %Q.sqlite_schema SET sql = %Q WHERE type = 'table' AND "
        "name = %Q; PRAGMA writable_schema = OFF; PRAGMA %Q.schema_version = %d",
        owner.c_str(), create.c_str(), t.target.name.c_str(), owner.c_str(), version + 1);
    rc = sqlite3_exec(sess.conn, q, nullptr, nullptr, nullptr);
    sqlite3_free(q);
    if (rc != SQLITE_OK) return rc;
    std::string fill =
        "UPDATE \"" + owner + "\".\"" + t.target.name + "\" SET \"" + column + "\" = (" + expr + ")";
    return sqlite3_exec(sess.conn, fill.c_str(), nullptr, nullptr, nullptr);
}

} // namespace

int stmtExecute(Stmt& s, Session& sess, ub4 iters, bool describeOnly, OraError& err) {
    s.reset(true);
    s.parseOffset = 0;
    auto failed = [&](OraError e) {
        if (e.offset >= 0) s.parseOffset = ub2(clientOffset(s, e.offset));
        e.offset = s.parseOffset;
        err = e;
        return -1;
    };
    if (!s.prepared) return failed(makeError(1003));
    if (!translateFor(s, sess, err)) return failed(err);
    const Translation& t = s.tr;
    sess.currentQuery = t.kind == Kind::Select;
    OraError e;
    switch (t.kind) {
    case Kind::Commit:
        if (!describeOnly && !sess.commit(e)) return failed(e);
        s.executed = true;
        return 0;
    case Kind::Rollback:
        if (!describeOnly) sess.rollback(e);
        s.executed = true;
        return 0;
    case Kind::Savepoint:
        if (!describeOnly && !sess.savepoint(t.sql.substr(t.sql.find(' ') + 1), e)) return failed(e);
        s.executed = true;
        return 0;
    case Kind::RollbackTo:
        if (describeOnly) return 0;
        if (!sess.rollbackTo(t.sql.substr(std::strlen("ROLLBACK TO ")), e)) {
            if (e.code == 1086) e = makeError(1086, t.words[0]);
            return failed(e);
        }
        s.executed = true;
        return 0;
    case Kind::UserAdmin:
        if (!describeOnly && !runUserStatement(sess, t, e)) return failed(e);
        s.executed = true;
        return 0;
    case Kind::Other:
        if (!describeOnly && !alterSession(sess, t, e)) return failed(e);
        s.executed = true;
        return 0;
    case Kind::CreateTable:
    case Kind::DropTable:
    case Kind::CreateView:
    case Kind::DropView: {
        if (describeOnly) return 0;
        if (!sess.commit(e)) return failed(e);
        bool create = t.kind == Kind::CreateTable || t.kind == Kind::CreateView;
        bool view = t.kind == Kind::CreateView || t.kind == Kind::DropView;
        if (t.kind == Kind::CreateView && t.orReplace) {
            TableRef old;
            if (sess.findTable(t.target.owner, t.target.name, old) && old.owner == t.target.owner &&
                old.view) {
                std::string drop = "DROP VIEW \"" + old.owner + "\".\"" + old.name + "\"";
                sqlite3_exec(sess.conn, drop.c_str(), nullptr, nullptr, nullptr);
                registerObject(sess, old, "VIEW", false);
            }
        }
        if (t.kind == Kind::CreateTable) {
            nameConstraints(sess, s.tr);
            OraError keys = matchForeignKeys(sess, s.tr);
            if (!keys.empty()) return failed(keys);
        }
        // A table another table's foreign key references stays; CASCADE
        // CONSTRAINTS, which would take that key from the other table, is not done.
        if (t.kind == Kind::DropTable && referencedElsewhere(sess, t.target))
            return failed(makeError(t.words.empty() ? 2449 : 3001));
        if (std::getenv("TAVRELIX_OCI_TRACE"))
            std::fprintf(stderr, "oci: %s\n    -> %s\n", s.sql.c_str(), t.sql.c_str());
        int rc = sqlite3_exec(sess.conn, t.sql.c_str(), nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) return failed(sqliteError(sess, rc, &t, -1));
        if (t.kind == Kind::CreateTable) setColumnDefaults(sess, t.target, t.defaults);
        registerObject(sess, t.target, view ? "VIEW" : "TABLE", create);
        if (t.kind == Kind::CreateTable) recordConstraints(sess, t.target, t.constraints, true);
        if (t.kind == Kind::CreateView) {
            std::string text = t.words.empty() ? "" : t.words[0];
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(sess.conn, "INSERT OR REPLACE INTO main.views VALUES (?1, ?2, ?3, ?4)", -1,
                               &st, nullptr);
            sqlite3_bind_text(st, 1, t.target.owner.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, t.target.name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 3, text.c_str(), -1, SQLITE_TRANSIENT);
            if (t.viewBase.rowidObject)
                sqlite3_bind_int64(st, 4, t.viewBase.rowidObject);
            else
                sqlite3_bind_null(st, 4);
            sqlite3_step(st);
            sqlite3_finalize(st);
        }
        if (t.kind == Kind::CreateTable && t.organizationIndex) {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(sess.conn, "INSERT OR REPLACE INTO main.tab_info VALUES (?1, ?2, 'IOT', NULL)",
                               -1, &st, nullptr);
            sqlite3_bind_text(st, 1, t.target.owner.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, t.target.name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_step(st);
            sqlite3_finalize(st);
        }
        s.translated = false;
        s.executed = true;
        return 0;
    }
    case Kind::CreateMView:
    case Kind::DropMView: {
        if (describeOnly) return 0;
        if (!sess.commit(e)) return failed(e);
        if (t.kind == Kind::DropMView) {
            if (!sess.exec(t.sql, e)) return failed(e);
            registerObject(sess, t.target, "TABLE", false);
            registerObject(sess, t.target, "MATERIALIZED VIEW", false);
            s.translated = false;
            s.executed = true;
            return 0;
        }
        if (!sess.beginWrite(false, e)) return failed(e);
        OraError built = buildMView(sess, t);
        if (!built.empty()) {
            sess.rollback(e);
            return failed(built);
        }
        if (!sess.commit(e)) return failed(e);
        s.translated = false;
        s.executed = true;
        return 0;
    }
    case Kind::CreateProcedure:
    case Kind::DropProcedure: {
        if (describeOnly) return 0;
        if (!sess.commit(e)) return failed(e);
        TableRef unit = tableRef(t.words[0], t.words[1], false);
        registerObject(sess, unit, t.words[2].c_str(), false);
        auto runSource = [&](const char* sql, const std::vector<std::string>& args, int64_t line) {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(sess.conn, sql, -1, &st, nullptr);
            for (size_t k = 0; k < args.size(); ++k)
                sqlite3_bind_text(st, int(k + 1), args[k].c_str(), -1, SQLITE_TRANSIENT);
            if (line > 0) sqlite3_bind_int64(st, int(args.size() + 1), line);
            sqlite3_step(st);
            sqlite3_finalize(st);
        };
        runSource("DELETE FROM main.source WHERE owner = ?1 AND name = ?2 AND type = ?3",
                  {t.words[0], t.words[1], t.words[2]}, 0);
        if (t.kind == Kind::DropProcedure) {
            s.executed = true;
            return 0;
        }
        registerObject(sess, unit, t.words[2].c_str(), true);
        {
            // The source as written from the unit's kind on, a row per line, without a closing "/".
            const std::string& sql = t.words[3];
            std::string upper = upperAscii(sql);
            std::string kind = t.words[2] == "PACKAGE BODY" ? "PACKAGE" : t.words[2];
            size_t from = upper.find(kind);
            std::string text = sql.substr(from == std::string::npos ? 0 : from);
            size_t last = text.find_last_not_of(" \t\r\n");
            if (last != std::string::npos && text[last] == '/') text.erase(last);
            last = text.find_last_not_of(" \t\r\n");
            text.erase(last == std::string::npos ? 0 : last + 1);
            int64_t line = 0;
            for (size_t p = 0; p < text.size();) {
                size_t e = text.find('\n', p);
                std::string one = text.substr(p, e == std::string::npos ? std::string::npos : e - p + 1);
                runSource("INSERT INTO main.source VALUES (?1, ?2, ?3, ?5, ?4)",
                          {t.words[0], t.words[1], t.words[2], one}, ++line);
                p = e == std::string::npos ? text.size() : e + 1;
            }
        }
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(sess.conn,
                           "UPDATE main.objects SET status = ?3 WHERE owner = ?1 AND object_name = ?2 AND "
                           "object_type = ?4",
                           -1, &st, nullptr);
        sqlite3_bind_text(st, 1, t.words[0].c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, t.words[1].c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, t.words[4].c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 4, t.words[2].c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_finalize(st);
        s.executed = true;
        if (t.words[4] == "INVALID") {
            err = makeError(24344);
            return OCI_SUCCESS_WITH_INFO;
        }
        return 0;
    }
    case Kind::CreateSequence:
    case Kind::DropSequence:
    case Kind::CreateIndex:
    case Kind::DropIndex: {
        if (describeOnly) return 0;
        if (!sess.commit(e)) return failed(e);
        const auto& w = t.words;
        auto run = [&](const char* sql, std::vector<std::string> args) {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(sess.conn, sql, -1, &st, nullptr);
            for (size_t k = 0; k < args.size(); ++k)
                sqlite3_bind_text(st, int(k + 1), args[k].c_str(), -1, SQLITE_TRANSIENT);
            int rc = sqlite3_step(st);
            sqlite3_finalize(st);
            return rc == SQLITE_DONE || rc == SQLITE_ROW;
        };
        if (t.kind == Kind::CreateSequence) {
            if (!sess.userExists(w[0])) return failed(makeError(1918, w[0]));
            if (!run("INSERT INTO main.sequences VALUES (?1, ?2, 1, 999999999999999999, ?4, ?3)",
                     {w[0], w[1], w[2], w[3]}))
                return failed(makeError(955));
            forgetSequence(sess, w[0], w[1]);
            registerObject(sess, tableRef(w[0], w[1], false), "SEQUENCE", true);
        } else if (t.kind == Kind::DropSequence) {
            if (!run(
                    "DELETE FROM main.sequences WHERE sequence_owner = ?1 AND sequence_name = ?2 RETURNING 1",
                    {w[0], w[1]}))
                return failed(makeError(2289));
            forgetSequence(sess, w[0], w[1]);
            registerObject(sess, tableRef(w[0], w[1], false), "SEQUENCE", false);
        } else {
            int rc = sqlite3_exec(sess.conn, t.sql.c_str(), nullptr, nullptr, nullptr);
            if (rc != SQLITE_OK && t.kind == Kind::CreateIndex &&
                std::strstr(sqlite3_errmsg(sess.conn), "UNIQUE constraint failed"))
                return failed(makeError(1452));
            if (rc != SQLITE_OK)
                return failed(t.kind == Kind::DropIndex ? makeError(1418) : sqliteError(sess, rc, &t, -1));
            if (t.kind == Kind::CreateIndex) {
                run("INSERT INTO main.indexes VALUES (?1, ?2, ?1, ?3, ?4, NULL)",
                    {w[0], w[1], t.target.name, w[2]});
                for (size_t k = 3; k < w.size(); ++k)
                    run("INSERT INTO main.ind_columns VALUES (?1, ?2, ?1, ?3, ?4, ?5)",
                        {w[0], w[1], t.target.name, w[k], std::to_string(k - 2)});
                registerObject(sess, tableRef(w[0], w[1], false), "INDEX", true);
            } else {
                run("DELETE FROM main.indexes WHERE owner = ?1 AND index_name = ?2", {w[0], w[1]});
                run("DELETE FROM main.ind_columns WHERE index_owner = ?1 AND index_name = ?2", {w[0], w[1]});
                registerObject(sess, tableRef(w[0], w[1], false), "INDEX", false);
            }
        }
        s.translated = false;
        s.executed = true;
        return 0;
    }
    case Kind::AlterTable: {
        if (describeOnly) return 0;
        if (!sess.commit(e)) return failed(e);
        if (!sess.exec("SAVEPOINT ora_alter", e)) return failed(e);
        nameConstraints(sess, s.tr);
        for (size_t k = 0; k + 1 < t.words.size(); k += 2) {
            int rc = sqlite3_exec(sess.conn, t.words[k + 1].c_str(), nullptr, nullptr, nullptr);
            if (rc != SQLITE_OK && std::strstr(sqlite3_errmsg(sess.conn), "non-constant default"))
                rc = addColumnWithExpressionDefault(sess, t, t.words[k], t.words[k + 1]);
            if (rc != SQLITE_OK) {
                OraError x = sqliteError(sess, rc, &t, -1);
                sqlite3_exec(sess.conn, "ROLLBACK TO ora_alter; RELEASE ora_alter", nullptr, nullptr,
                             nullptr);
                return failed(x.code == 600 ? makeError(1430) : x);
            }
        }
        sqlite3_exec(sess.conn, "RELEASE ora_alter", nullptr, nullptr, nullptr);
        setColumnDefaults(sess, t.target, t.defaults);
        syncTable(sess, t.target, "TABLE");
        recordConstraints(sess, t.target, t.constraints, false);
        s.translated = false;
        s.executed = true;
        return 0;
    }
    case Kind::CreateDirectory: {
        if (describeOnly) return 0;
        if (!sess.commit(e)) return failed(e);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(sess.conn, "INSERT OR REPLACE INTO main.directories VALUES ('SYS', ?1, ?2)", -1,
                           &st, nullptr);
        sqlite3_bind_text(st, 1, t.words[0].c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, t.words[1].c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_finalize(st);
        TableRef dir = tableRef("SYS", t.words[0], false);
        registerObject(sess, dir, "DIRECTORY", true);
        s.executed = true;
        return 0;
    }
    case Kind::Comment: {
        if (describeOnly) return 0;
        if (!sess.commit(e)) return failed(e);
        const std::string& text = t.words[3];
        setComment(sess, t.words[0], t.words[1], t.words[2], text.empty() ? nullptr : &text);
        s.executed = true;
        return 0;
    }
    case Kind::CreateSynonym:
    case Kind::DropSynonym: {
        if (describeOnly) return 0;
        if (!sess.commit(e)) return failed(e);
        if (t.kind == Kind::CreateSynonym) {
            addSynonym(sess, t.words[0], t.words[1], t.words[2], t.words[3]);
        } else {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(sess.conn,
                               "DELETE FROM main.synonyms WHERE owner = ?1 AND synonym_name = ?2 RETURNING 1",
                               -1, &st, nullptr);
            sqlite3_bind_text(st, 1, t.words[0].c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, t.words[1].c_str(), -1, SQLITE_TRANSIENT);
            bool found = sqlite3_step(st) == SQLITE_ROW;
            sqlite3_finalize(st);
            if (!found) return failed(makeError(1434));
            TableRef syn = tableRef(t.words[0], t.words[1], false);
            registerObject(sess, syn, "SYNONYM", false);
        }
        s.executed = true;
        return 0;
    }
    default: break;
    }
    bool query = t.kind == Kind::Select;
    if (!query && !describeOnly && !sess.beginWrite(false, e)) return failed(e);
    if (!prepareSqlite(s, sess, e)) return failed(e);
    if (query) describe(s);
    if (describeOnly) return 0;
    if (query) {
        if (t.forUpdate && !sess.beginWrite(t.nowait, e)) return failed(e);
        if (!bindAll(s, 0, e)) return failed(e);
        int rc = sqlite3_step(s.st);
        if (rc == SQLITE_ROW) {
            s.rowPending = true;
        } else if (rc == SQLITE_DONE) {
            s.finished = true;
            sqlite3_reset(s.st);
        } else {
            OraError x = sqliteError(sess, rc, &t, -1);
            sqlite3_reset(s.st);
            return failed(x);
        }
        s.executed = true;
        if (iters > 0 && !s.oracle7) {
            int r = stmtFetch(s, iters, err);
            if (r == OCI_NO_DATA && iters > 0) return OCI_NO_DATA;
            return r;
        }
        return 0;
    }
    for (ub4 k = 0; k < std::max<ub4>(iters, 1); ++k) {
        if (!runIteration(s, sess, k, e)) {
            s.executed = true;
            return failed(e);
        }
    }
    s.executed = true;
    return 0;
}

int stmtFetch(Stmt& s, ub4 n, OraError& err, ub4* delivered) {
    if (delivered) *delivered = 0;
    if (!s.executed || !s.st || s.tr.kind != Kind::Select) {
        err = makeError(s.executed ? 1002 : 24338);
        return -1;
    }
    ub4 rows = 0;
    bool cut = false;
    while (rows < n) {
        if (!sessionTick(*s.session, s.session->rowTicks++)) {
            err = makeError(1013);
            return -1;
        }
        if (!s.rowPending) {
            if (s.finished) break;
            int rc = sqlite3_step(s.st);
            if (rc == SQLITE_DONE) {
                s.finished = true;
                sqlite3_reset(s.st);
                break;
            }
            if (rc != SQLITE_ROW) {
                err = sqliteError(*s.session, rc, &s.tr, -1);
                sqlite3_reset(s.st);
                s.finished = true;
                return -1;
            }
            s.rowPending = true;
        }
        cut = deliverRow(s, rows) || cut;
        s.rowPending = false;
        ++rows;
        ++s.rowCount;
    }
    if (delivered) *delivered = rows;
    if (rows < n) return OCI_NO_DATA;
    if (cut) {
        err = makeError(24345);
        return OCI_SUCCESS_WITH_INFO;
    }
    return OCI_SUCCESS;
}

} // namespace oci
