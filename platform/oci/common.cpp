// Handle registry, Oracle error texts, code-page conversion and the control entry point.
#include "nonblock.h"
#include "values.h"

#include "win32/codepage.h"
#include "win32/wstring.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <iterator>
#include <set>
#include <sstream>
#include <unordered_set>

namespace oci {

// ---- Handles --------------------------------------------------------------

namespace {
std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}
std::unordered_set<const Handle*>& registry() {
    static std::unordered_set<const Handle*> r;
    return r;
}
} // namespace

Handle::Handle(uint32_t t, Env* e) : type(t), env(e) {
    std::lock_guard<std::mutex> g(registryMutex());
    registry().insert(this);
}

Handle::~Handle() {
    std::lock_guard<std::mutex> g(registryMutex());
    registry().erase(this);
    magic = 0;
}

bool isHandle(const void* p, uint32_t type) {
    if (!p) return false;
    std::lock_guard<std::mutex> g(registryMutex());
    auto h = static_cast<const Handle*>(p);
    if (!registry().count(h)) return false;
    return type == 0 || h->type == type;
}

Env::~Env() {
    // Children still alive when their environment goes are freed with it,
    // statements before sessions before servers.
    std::vector<Handle*> kids;
    {
        std::lock_guard<std::mutex> g(mutex);
        kids.swap(children);
    }
    auto rank = [](uint32_t t) {
        switch (t) {
        case OCI_HTYPE_BIND:
        case OCI_HTYPE_DEFINE: return 0;
        case OCI_HTYPE_STMT: return 1;
        case OCI_HTYPE_SVCCTX: return 2;
        case OCI_HTYPE_SESSION: return 3;
        default: return 4;
        }
    };
    std::stable_sort(kids.begin(), kids.end(),
                     [&](Handle* a, Handle* b) { return rank(a->type) < rank(b->type); });
    for (Handle* h : kids)
        if (isHandle(h)) delete h;
}

// ---- Errors ---------------------------------------------------------------

std::string oraMessage(int code) {
    static const std::map<int, const char*> texts = {
        {1, "unique constraint (%s) violated"},
        {54, "resource busy and acquire with NOWAIT specified or timeout expired"},
        {600, "internal error code, arguments: [%s]"},
        {900, "invalid SQL statement"},
        {903, "invalid table name"},
        {904, "%s: invalid identifier"},
        {905, "missing keyword"},
        {906, "missing left parenthesis"},
        {907, "missing right parenthesis"},
        {909, "invalid number of arguments"},
        {911, "invalid character"},
        {913, "too many values"},
        {918, "column ambiguously defined"},
        {922, "missing or invalid option"},
        {925, "missing INTO keyword"},
        {927, "missing equal sign"},
        {928, "missing SELECT keyword"},
        {933, "SQL command not properly ended"},
        {936, "missing expression"},
        {942, "table or view does not exist"},
        {957, "duplicate column name"},
        {947, "not enough values"},
        {955, "name is already used by an existing object"},
        {969, "missing ON keyword"},
        {1001, "invalid cursor"},
        {1002, "fetch out of sequence"},
        {1003, "no statement parsed"},
        {1007, "variable not in select list"},
        {1008, "not all variables bound"},
        {1013, "user requested cancel of current operation"},
        {1017, "invalid username/password; logon denied"},
        {1027, "bind variables not allowed for data definition operations"},
        {1031, "insufficient privileges"},
        {1034, "ORACLE not available"},
        {1036, "illegal variable name/number"},
        {1086, "savepoint '%s' never established in this session or is invalid"},
        {1400, "cannot insert NULL into (%s)"},
        {1403, "no data found"},
        {1405, "fetched column value is NULL"},
        {1406, "fetched column value was truncated"},
        {1407, "cannot update (%s) to NULL"},
        {1410, "invalid ROWID"},
        {1434, "private synonym to be dropped does not exist"},
        {1430, "column being added already exists in table"},
        {1426, "numeric overflow"},
        {1452, "cannot CREATE UNIQUE INDEX; duplicate keys found"},
        {1438, "value larger than specified precision allowed for this column"},
        {1445, "cannot select ROWID from, or sample, a join view without a key-preserved table"},
        {1465, "invalid hex number"},
        {1481, "invalid number format model"},
        {1722, "invalid number"},
        {4044, "procedure, function, package, or type is not allowed here"},
        {932, "inconsistent datatypes: %s"},
        {937, "not a single-group group function"},
        {979, "not a GROUP BY expression"},
        {1427, "single-row subquery returns more than one row"},
        {1476, "divisor is equal to zero"},
        {1899, "bad precision specifier"},
        {2290, "check constraint (%s) violated"},
        {2256, "number of referencing columns must match referenced columns"},
        {2268, "referenced table does not have a primary key"},
        {2270, "no matching unique or primary key for this column-list"},
        {2291, "integrity constraint (%s) violated - parent key not found"},
        {2292, "integrity constraint (%s) violated - child record found"},
        {2449, "unique/primary keys in table referenced by foreign keys"},
        {975, "date + date not allowed"},
        {1841, "(full) year must be between -4713 and +9999, and not be 0"},
        {1732, "data manipulation operation not legal on this view"},
        {1740, "missing double quote in identifier"},
        {1741, "illegal zero-length identifier"},
        {1742, "comment not terminated properly"},
        {1745, "invalid host/bind variable name"},
        {1754, "a table may contain only one column of type LONG"},
        {1756, "quoted string not properly terminated"},
        {1780, "string literal required"},
        {1810, "format code appears twice"},
        {1812, "year may only be specified once"},
        {1813, "hour may only be specified once"},
        {1816, "month may only be specified once"},
        {1817, "day of week may only be specified once"},
        {1818, "'HH24' precludes use of meridian indicator"},
        {1821, "date format not recognized"},
        {1830, "date format picture ends before converting entire input string"},
        {1839, "date not valid for month specified"},
        {1849, "hour must be between 1 and 12"},
        {1850, "hour must be between 0 and 23"},
        {1851, "minutes must be between 0 and 59"},
        {1852, "seconds must be between 0 and 59"},
        {1855, "AM/A.M. or PM/P.M. required"},
        {1867, "the interval is invalid"},
        {1873, "the leading precision of the interval is too small"},
        {1874, "time zone hour must be between -12 and 14"},
        {1875, "time zone minute must be between -59 and 59"},
        {1880, "the fractional seconds must be between 0 and 999999999"},
        {1882, "timezone region not found"},
        {1418, "specified index does not exist"},
        {2248, "invalid option for ALTER SESSION"},
        {12705, "Cannot access NLS data files or invalid environment specified"},
        {1840, "input value not long enough for date format"},
        {1843, "not a valid month"},
        {1846, "not a valid day of the week"},
        {1847, "day of month must be between 1 and last day of month"},
        {1858, "a non-numeric character was found where a numeric was expected"},
        {1861, "literal does not match format string"},
        {1918, "user %s does not exist"},
        {1920, "user name %s conflicts with another user or role name"},
        {1940, "cannot drop a user that is currently connected"},
        {2289, "sequence does not exist"},
        {3001, "unimplemented feature"},
        {3113, "end-of-file on communication channel"},
        {3114, "not connected to ORACLE"},
        {3127, "no new operations allowed until the active operation ends"},
        {8002, "sequence %s.CURRVAL is not yet defined in this session"},
        {12003, "materialized view %s does not exist"},
        {12083, "must use DROP MATERIALIZED VIEW to drop %s"},
        {12154, "TNS:could not resolve the connect identifier specified"},
        {12899, "value too large for column %s"},
        {22275, "invalid LOB locator specified"},
        {22285, "non-existent directory or file for FILEOPEN operation"},
        {22286, "insufficient privileges on file or directory to perform FILEWRITE operation"},
        {22288, "file or LOB operation FILEOPEN failed"},
        {22920, "row containing the LOB value is not locked"},
        {24344, "success with compilation error"},
        {24338, "statement handle not executed"},
        {24345, "A Truncation or null fetch error occurred"},
        {28000, "the account is locked"},
        {28002, "the password will expire within 7 days"},
        {28011, "the account will expire soon; change your password now"},
    };
    auto it = texts.find(code);
    return it == texts.end() ? std::string("Message ") + std::to_string(code) + " not found" : it->second;
}

OraError makeError(int code, const std::string& detail) {
    OraError e;
    e.code = code;
    std::string t = oraMessage(code);
    size_t p = t.find("%s");
    if (p != std::string::npos)
        t.replace(p, 2, detail);
    else if (!detail.empty() && code == 600)
        t += detail;
    e.text = t;
    return e;
}

std::string formatError(const OraError& e) {
    char head[16];
    std::snprintf(head, sizeof head, "ORA-%05d: ", e.code);
    return head + e.text + "\n";
}

// ---- Code pages -----------------------------------------------------------

size_t utf8Prefix(const char* s, size_t n, size_t limit) {
    if (n <= limit) return n;
    size_t k = limit;
    while (k > 0 && (static_cast<unsigned char>(s[k]) & 0xC0) == 0x80) --k;
    return k;
}

namespace {

void utf16ToUtf8(const char16_t* w, size_t n, std::string& out) {
    for (size_t i = 0; i < n; ++i) {
        char32_t c = w[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && w[i + 1] >= 0xDC00 && w[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (w[i + 1] - 0xDC00);
            ++i;
        }
        Utf8AppendCodePoint(out, c);
    }
}

// Widens UTF-8 into out, which has room for n units (never more are needed); the count.
size_t utf8ToUtf16(const char* s, size_t n, char16_t* outp) {
    size_t i = 0, k = 0;
    struct Sink {
        char16_t* p;
        size_t& k;
        void operator+=(char16_t c) { p[k++] = c; }
    } out{outp, k};
    while (i < n) {
        unsigned char b = s[i];
        char32_t c;
        int len;
        if (b < 0x80) {
            c = b;
            len = 1;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            len = 2;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            len = 3;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            len = 4;
        } else {
            out += u'?';
            ++i;
            continue;
        }
        if (i + len > n) {
            out += u'?';
            break;
        }
        for (int k = 1; k < len; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        i += len;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += char16_t(0xD800 + (c >> 10));
            out += char16_t(0xDC00 + (c & 0x3FF));
        } else {
            out += char16_t(c);
        }
    }
    return k;
}

} // namespace

bool Codec::toUtf8(const char* s, size_t n, std::string& out, std::vector<int>* map) const {
    out.clear();
    if (cp == 65001) {
        out.assign(s, n);
        if (map) {
            map->resize(n + 1);
            for (size_t i = 0; i <= n; ++i) (*map)[i] = int(i);
        }
        return true;
    }
    if (map) map->clear();
    size_t i = 0;
    while (i < n) {
        unsigned char b = s[i];
        if (b < 0x80) {
            if (map) map->push_back(int(i));
            out += char(b);
            ++i;
            continue;
        }
        int len = (IsDBCSLeadByteEx(cp, b) && i + 1 < n) ? 2 : 1;
        char16_t w[2];
        int got = MultiByteToWideChar(cp, 0, s + i, len, w, 2);
        size_t before = out.size();
        if (got <= 0)
            out += '?';
        else
            utf16ToUtf8(w, size_t(got), out);
        if (map)
            for (size_t k = before; k < out.size(); ++k) map->push_back(int(i));
        i += len;
    }
    if (map) map->push_back(int(n));
    return true;
}

void Codec::fromUtf8(const std::string& s, std::string& out) const {
    fromUtf8(s.data(), s.size(), out);
}

namespace {

bool plainAscii(const char* s, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, s + i, 8);
        if (w & 0x8080808080808080ull) return false;
    }
    for (; i < n; ++i)
        if (static_cast<unsigned char>(s[i]) >= 0x80) return false;
    return true;
}

} // namespace

void Codec::fromUtf8(const char* s, size_t n, std::string& out) const {
    if (!toClient(s, n, out)) out.assign(s, n);
}

bool Codec::toClient(const char* s, size_t n, std::string& out) const {
    if (cp == 65001 || plainAscii(s, n)) return false;
    // Short texts are widened on the stack.
    char16_t local[256];
    std::u16string heap;
    char16_t* w = local;
    if (n > std::size(local)) {
        heap.resize(n);
        w = heap.data();
    }
    size_t units = utf8ToUtf16(s, n, w);
    // A code unit never takes more than two bytes of a double-byte code page:
    // one pass when that room is enough, else measure first.
    out.resize(2 * units);
    int got = WideCharToMultiByte(cp, 0, w, int(units), out.data(), int(out.size()), nullptr, nullptr);
    if (got > 0) {
        out.resize(size_t(got));
        return true;
    }
    int need = WideCharToMultiByte(cp, 0, w, int(units), nullptr, 0, nullptr, nullptr);
    out.assign(size_t(need > 0 ? need : 0), '\0');
    if (need > 0) WideCharToMultiByte(cp, 0, w, int(units), out.data(), need, nullptr, nullptr);
    return true;
}

size_t Codec::wholeChars(const char* s, size_t n, size_t limit) const {
    if (n <= limit) return n;
    if (cp == 65001) return utf8Prefix(s, n, limit);
    size_t i = 0;
    while (i < n) {
        size_t len =
            (static_cast<unsigned char>(s[i]) >= 0x80 && IsDBCSLeadByteEx(cp, s[i]) && i + 1 < n) ? 2 : 1;
        if (i + len > limit) break;
        i += len;
    }
    return i;
}

void copyOut(const Codec& c, const std::string& text, char* buf, size_t size) {
    if (!buf || size == 0) return;
    size_t n = c.wholeChars(text.data(), text.size(), size - 1);
    std::memcpy(buf, text.data(), n);
    buf[n] = '\0';
}

// ---- Control ----------------------------------------------------------------

namespace {
struct Control {
    std::mutex m;
    struct Failure {
        int code = 0;
        int remaining = 0; // calls that fail
        int skip = 0;      // calls let through first
    };
    std::map<std::string, Failure> failures;            // entry point -> failure
    std::map<std::string, int> losses;                  // entry point -> calls let through first
    std::map<unsigned, std::pair<int, int>> iterations; // iteration -> (ORA, executions to skip)
    std::map<std::string, std::string> updatable;       // OWNER.TABLE.COLUMN -> "UID" flags
    std::map<std::string, int> warnings;                // user -> 28002 / 28011
    std::string release = "11.2.0.4.0";
    std::string rdbms = "11.2.0.4.0";
    std::string charset = "AL32UTF8";
    std::set<std::string> hiddenViews;
    std::map<std::string, std::vector<std::string>> hiddenColumns;
};
Control& control() {
    static Control c;
    return c;
}
} // namespace

int takeFailure(const char* entry) {
    Control& c = control();
    std::lock_guard<std::mutex> g(c.m);
    auto it = c.failures.find(entry);
    if (it == c.failures.end()) return 0;
    if (it->second.skip > 0) {
        --it->second.skip;
        return 0;
    }
    int code = it->second.code;
    if (--it->second.remaining <= 0) c.failures.erase(it);
    return code;
}

bool takeLoss(const char* entry) {
    Control& c = control();
    std::lock_guard<std::mutex> g(c.m);
    auto it = c.losses.find(entry);
    if (it == c.losses.end()) return false;
    if (it->second > 0) {
        --it->second;
        return false;
    }
    c.losses.erase(it);
    return true;
}

int sessionLoss(const char* entry, Session* sess) {
    if (sess && sess->lost) return 3114;
    // A call still running on a worker keeps the connection; the loss waits for the next call.
    if (sess && sess->pendingActive) return 0;
    if (!takeLoss(entry)) return 0;
    if (sess) {
        sqlite3_exec(sess->conn, "ROLLBACK", nullptr, nullptr, nullptr);
        sess->inTransaction = false;
        sess->earlySavepoints.clear();
        sess->lost = true;
    }
    return 3113;
}

int iterationFailure(ub4 k) {
    Control& c = control();
    std::lock_guard<std::mutex> g(c.m);
    auto it = c.iterations.find(k);
    if (it == c.iterations.end()) return 0;
    if (it->second.second > 0) {
        --it->second.second;
        return 0;
    }
    int code = it->second.first;
    c.iterations.erase(it);
    return code;
}

std::string updatableOverride(const std::string& owner, const std::string& table, const std::string& column,
                              char kind, const std::string& fallback) {
    Control& c = control();
    std::lock_guard<std::mutex> g(c.m);
    auto it = c.updatable.find(owner + "." + table + "." + column);
    if (it == c.updatable.end()) return fallback;
    size_t at = kind == 'U' ? 0 : kind == 'I' ? 1 : 2;
    return it->second[at] == 'Y' ? "YES" : "NO";
}

int userWarning(const std::string& user) {
    Control& c = control();
    std::lock_guard<std::mutex> g(c.m);
    auto it = c.warnings.find(user);
    return it == c.warnings.end() ? 0 : it->second;
}

std::string rdbmsVersion() {
    Control& c = control();
    std::lock_guard<std::mutex> g(c.m);
    return c.rdbms;
}

std::string dbCharset() {
    Control& c = control();
    std::lock_guard<std::mutex> g(c.m);
    return c.charset;
}

bool viewHidden(const std::string& view) {
    Control& c = control();
    std::lock_guard<std::mutex> g(c.m);
    return c.hiddenViews.count(view) > 0;
}

std::vector<std::string> hiddenColumns(const std::string& view) {
    Control& c = control();
    std::lock_guard<std::mutex> g(c.m);
    auto it = c.hiddenColumns.find(view);
    return it == c.hiddenColumns.end() ? std::vector<std::string>{} : it->second;
}

std::string serverRelease() {
    Control& c = control();
    std::lock_guard<std::mutex> g(c.m);
    return c.release;
}

} // namespace oci

using namespace oci;

OCI_EXPORT int oci_standin_control(const char* command, char* reply, unsigned reply_size) {
    auto answer = [&](int rc, const std::string& text) {
        if (reply && reply_size) {
            size_t n = std::min<size_t>(text.size(), reply_size - 1);
            std::memcpy(reply, text.data(), n);
            reply[n] = '\0';
        }
        return rc;
    };
    if (!command) return answer(-1, "no command");
    std::istringstream in(command);
    std::string verb;
    in >> verb;
    {
        std::string text;
        int rc = nonblockControl(verb, in, text);
        if (rc != -2) return answer(rc, rc == 0 ? "ok" : text);
    }
    Control& c = control();
    std::lock_guard<std::mutex> g(c.m);
    if (verb == "reset") {
        c.failures.clear();
        c.losses.clear();
        c.iterations.clear();
        c.updatable.clear();
        c.warnings.clear();
        c.release = "11.2.0.4.0";
        c.rdbms = "11.2.0.4.0";
        c.charset = "AL32UTF8";
        c.hiddenViews.clear();
        c.hiddenColumns.clear();
        setClock("system");
        return answer(0, "ok");
    }
    if (verb == "server_release") {
        std::string v;
        if (!(in >> v)) return answer(-1, "server_release <version>");
        int a, b, d, e, f;
        if (std::sscanf(v.c_str(), "%d.%d.%d.%d.%d", &a, &b, &d, &e, &f) != 5)
            return answer(-1, "bad version");
        c.release = v;
        return answer(0, "ok");
    }
    // "[count] [after <n>]" / "[after <n>]": false when the words are not that.
    auto readTail = [&](int* count, int* after) {
        std::string word;
        while (in >> word) {
            if (word == "after") {
                if (!(in >> *after) || *after < 0) return false;
            } else if (count && std::isdigit(static_cast<unsigned char>(word[0]))) {
                *count = std::atoi(word.c_str());
            } else {
                return false;
            }
        }
        return true;
    };
    if (verb == "lose_session") {
        std::string entry;
        int after = 0;
        if (!(in >> entry) || !readTail(nullptr, &after))
            return answer(-1, "lose_session <entry point> [after <n>]");
        c.losses[entry] = after;
        return answer(0, "ok");
    }
    if (verb == "fail") {
        std::string entry;
        int code = 0, count = 1, after = 0;
        if (!(in >> entry >> code) || code <= 0 || !readTail(&count, &after))
            return answer(-1, "fail <entry point> <ORA> [count] [after <n>]");
        if (count <= 0) count = 1;
        c.failures[entry] = {code, count, after};
        return answer(0, "ok");
    }
    if (verb == "updatable") {
        std::string what, u, i, d;
        if (!(in >> what >> u >> i >> d) || std::count(what.begin(), what.end(), '.') != 2)
            return answer(-1, "updatable <OWNER>.<TABLE>.<COLUMN> <U> <I> <D>");
        auto yes = [](std::string v) {
            v = upperAscii(v);
            return v == "YES" || v == "Y" || v == "1" ? 'Y' : 'N';
        };
        c.updatable[what] = std::string{yes(u), yes(i), yes(d)};
        return answer(0, "ok");
    }
    if (verb == "clock") {
        std::string rest;
        std::getline(in, rest);
        size_t a = rest.find_first_not_of(' ');
        rest = a == std::string::npos ? "" : rest.substr(a);
        return setClock(rest) ? answer(0, "ok") : answer(-1, "clock <YYYY-MM-DD HH24:MI:SS>|system");
    }
    if (verb == "hide") {
        std::string what;
        if (!(in >> what)) return answer(-1, "hide <VIEW>[.<COLUMN>]");
        what = upperAscii(what);
        size_t dot = what.find('.');
        if (dot == std::string::npos)
            c.hiddenViews.insert(what);
        else
            c.hiddenColumns[what.substr(0, dot)].push_back(what.substr(dot + 1));
        return answer(0, "ok");
    }
    if (verb == "rdbms_version") {
        std::string v;
        if (!(in >> v)) return answer(-1, "rdbms_version <text>|absent");
        c.rdbms = v == "absent" ? "" : v;
        return answer(0, "ok");
    }
    if (verb == "db_charset") {
        std::string v;
        if (!(in >> v)) return answer(-1, "db_charset <name>");
        c.charset = upperAscii(v);
        return answer(0, "ok");
    }
    if (verb == "fail_iteration") {
        unsigned k;
        int code, after = 0;
        if (!(in >> k >> code) || code <= 0 || !readTail(nullptr, &after))
            return answer(-1, "fail_iteration <k> <ORA> [after <n>]");
        c.iterations[k] = {code, after};
        return answer(0, "ok");
    }
    if (verb == "user_warning") {
        std::string user, what;
        if (!(in >> user >> what)) return answer(-1, "user_warning <user> 28002|28011|none");
        user = upperAscii(user);
        if (what == "none")
            c.warnings.erase(user);
        else if (what == "28002" || what == "28011")
            c.warnings[user] = std::stoi(what);
        else
            return answer(-1, "bad warning");
        return answer(0, "ok");
    }
    return answer(-1, "unknown command");
}
