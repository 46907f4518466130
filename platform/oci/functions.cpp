// SQL functions that give translated statements Oracle's semantics.
#include "internal.h"
#include "nonblock.h"
#include "values.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace oci {

namespace {

Session& sessionOf(sqlite3_context* ctx) {
    return *static_cast<Session*>(sqlite3_user_data(ctx));
}

// Raises an Oracle error from a function: "ORA-nnnnn|slot|detail".
void raise(sqlite3_context* ctx, int code, int slot, const std::string& detail = std::string()) {
    std::string m = "ORA-" + std::to_string(code) + "|" + std::to_string(slot) + "|" + detail;
    sqlite3_result_error(ctx, m.c_str(), -1);
}

// A value as Oracle text; false for NULL.
bool textOf(sqlite3_value* v, std::string& out) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL: return false;
    case SQLITE_INTEGER: out = std::to_string(sqlite3_value_int64(v)); return true;
    case SQLITE_FLOAT: out = numberText(sqlite3_value_double(v)); return true;
    case SQLITE_BLOB: {
        static const char* hex = "0123456789ABCDEF";
        auto p = static_cast<const unsigned char*>(sqlite3_value_blob(v));
        int n = sqlite3_value_bytes(v);
        out.clear();
        for (int i = 0; i < n; ++i) {
            out += hex[p[i] >> 4];
            out += hex[p[i] & 15];
        }
        return true;
    }
    default:
        out.assign(reinterpret_cast<const char*>(sqlite3_value_text(v)), size_t(sqlite3_value_bytes(v)));
        return !out.empty();
    }
}

void resultText(sqlite3_context* ctx, const std::string& s) {
    if (s.empty())
        sqlite3_result_null(ctx);
    else
        sqlite3_result_text(ctx, s.data(), int(s.size()), SQLITE_TRANSIENT);
}

bool isNumeric(sqlite3_value* v) {
    int t = sqlite3_value_type(v);
    return t == SQLITE_INTEGER || t == SQLITE_FLOAT;
}

void fnConcat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::string r, part;
    for (int i = 0; i < argc; ++i)
        if (textOf(argv[i], part)) r += part;
    resultText(ctx, r);
}

// Oracle's comparison inside DECODE: NULL matches NULL.
bool same(sqlite3_value* a, sqlite3_value* b) {
    bool an = sqlite3_value_type(a) == SQLITE_NULL, bn = sqlite3_value_type(b) == SQLITE_NULL;
    if (an || bn) return an && bn;
    if (isNumeric(a) && isNumeric(b)) return sqlite3_value_double(a) == sqlite3_value_double(b);
    std::string x, y;
    textOf(a, x);
    textOf(b, y);
    return x == y;
}

void fnDecode(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 3) {
        sqlite3_result_error(ctx, "ORA-00938|-1|", -1);
        return;
    }
    // The expression and each search value compare as the first search value's type.
    bool numeric = isNumeric(argv[1]);
    Number x, y;
    bool xNull = sqlite3_value_type(argv[0]) == SQLITE_NULL;
    if (numeric && !xNull) {
        std::string t;
        if (!isNumeric(argv[0]) && (!textOf(argv[0], t) || !parseNumber(t, x))) {
            raise(ctx, 1722, -1);
            return;
        }
    }
    int i = 1;
    for (; i + 1 < argc; i += 2) {
        bool match;
        if (numeric && !xNull && sqlite3_value_type(argv[i]) != SQLITE_NULL) {
            std::string t;
            if (!isNumeric(argv[i]) && (!textOf(argv[i], t) || !parseNumber(t, y))) {
                raise(ctx, 1722, -1);
                return;
            }
            double a = isNumeric(argv[0]) ? sqlite3_value_double(argv[0]) : x.value();
            double b = isNumeric(argv[i]) ? sqlite3_value_double(argv[i]) : y.value();
            match = a == b;
        } else {
            match = same(argv[0], argv[i]);
        }
        if (match) {
            sqlite3_result_value(ctx, argv[i + 1]);
            return;
        }
    }
    if (i < argc)
        sqlite3_result_value(ctx, argv[i]);
    else
        sqlite3_result_null(ctx);
}

bool isNull(sqlite3_value* v) {
    return sqlite3_value_type(v) == SQLITE_NULL ||
           (sqlite3_value_type(v) == SQLITE_TEXT && sqlite3_value_bytes(v) == 0);
}

void fnNvl(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_value(ctx, isNull(argv[0]) ? argv[1] : argv[0]);
}
void fnNvl2(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_value(ctx, isNull(argv[0]) ? argv[2] : argv[1]);
}

// Characters of a UTF-8 text as byte offsets (with the end).
std::vector<size_t> charStarts(const std::string& s) {
    std::vector<size_t> r;
    for (size_t i = 0; i < s.size(); ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) r.push_back(i);
    r.push_back(s.size());
    return r;
}

void fnSubstr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::string s;
    if (!textOf(argv[0], s) || sqlite3_value_type(argv[1]) == SQLITE_NULL ||
        (argc > 2 && sqlite3_value_type(argv[2]) == SQLITE_NULL)) {
        sqlite3_result_null(ctx);
        return;
    }
    auto starts = charStarts(s);
    int64_t n = int64_t(starts.size()) - 1;
    int64_t pos = int64_t(std::trunc(sqlite3_value_double(argv[1])));
    if (pos == 0) pos = 1;
    if (pos < 0) pos = n + pos + 1;
    if (pos < 1 || pos > n) {
        sqlite3_result_null(ctx);
        return;
    }
    int64_t len = argc > 2 ? int64_t(std::trunc(sqlite3_value_double(argv[2]))) : n;
    if (len < 1) {
        sqlite3_result_null(ctx);
        return;
    }
    int64_t end = std::min(n, pos - 1 + len);
    resultText(ctx, s.substr(starts[pos - 1], starts[end] - starts[pos - 1]));
}

void fnInstr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::string s, sub;
    if (!textOf(argv[0], s) || !textOf(argv[1], sub)) {
        sqlite3_result_null(ctx);
        return;
    }
    auto starts = charStarts(s);
    int64_t n = int64_t(starts.size()) - 1;
    int64_t pos = argc > 2 ? sqlite3_value_int64(argv[2]) : 1;
    int64_t occ = argc > 3 ? sqlite3_value_int64(argv[3]) : 1;
    if (pos == 0 || occ <= 0) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    if (pos > 0) {
        for (int64_t p = pos - 1; p < n; ++p)
            if (s.compare(starts[p], sub.size(), sub) == 0 && --occ == 0) {
                sqlite3_result_int64(ctx, p + 1);
                return;
            }
    } else {
        for (int64_t p = n + pos; p >= 0; --p)
            if (s.compare(starts[p], sub.size(), sub) == 0 && --occ == 0) {
                sqlite3_result_int64(ctx, p + 1);
                return;
            }
    }
    sqlite3_result_int(ctx, 0);
}

void fnLength(sqlite3_context* ctx, int, sqlite3_value** argv) {
    std::string s;
    if (!textOf(argv[0], s)) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_int64(ctx, int64_t(charStarts(s).size()) - 1);
}

void fnLengthB(sqlite3_context* ctx, int, sqlite3_value** argv) {
    std::string s;
    if (!textOf(argv[0], s)) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_int64(ctx, int64_t(s.size()));
}

void fnUser(sqlite3_context* ctx, int, sqlite3_value**) {
    resultText(ctx, sessionOf(ctx).user);
}

void fnSysdate(sqlite3_context* ctx, int, sqlite3_value**) {
    resultText(ctx, formatStoredDate(nowLocal()));
}

void fnSystimestamp(sqlite3_context* ctx, int, sqlite3_value**) {
    resultText(ctx, formatStoredDate(nowLocal()) + ".000000 " + zoneText(localOffsetMinutes()));
}

void fnSessionTimeZone(sqlite3_context* ctx, int, sqlite3_value**) {
    resultText(ctx, zoneText(sessionOf(ctx).zone()));
}

void fnDbTimeZone(sqlite3_context* ctx, int, sqlite3_value**) {
    resultText(ctx, zoneText(kDbZoneMinutes));
}

// Now in the session's time zone.
DateTime sessionNow(sqlite3_context* ctx) {
    DateTime d = nowLocal();
    d.zone = localOffsetMinutes();
    return inZone(d, sessionOf(ctx).zone());
}

void fnCurrentDate(sqlite3_context* ctx, int, sqlite3_value**) {
    resultText(ctx, formatStoredDate(sessionNow(ctx)));
}

void fnCurrentTimestamp(sqlite3_context* ctx, int, sqlite3_value**) {
    DateTime d = sessionNow(ctx);
    resultText(ctx, formatStoredStamp(d) + " " + zoneText(d.zone));
}

void fnLocalTimestamp(sqlite3_context* ctx, int, sqlite3_value**) {
    resultText(ctx, formatStoredStamp(sessionNow(ctx)));
}

void fnToChar(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    std::string s, fmt;
    textOf(argv[0], s);
    Session& sess = sessionOf(ctx);
    if (isNumeric(argv[0])) {
        if (argc >= 2 && textOf(argv[1], fmt)) {
            std::string out;
            int code = formatNumber(sqlite3_value_double(argv[0]), fmt, sess.numericCharacters, out,
                                    sess.env && sess.env->territory == "JAPAN" ? "￥" : "$");
            if (code) {
                raise(ctx, code, -1);
                return;
            }
            s = out;
        } else if (sess.numericCharacters[0] != '.') {
            for (char& c : s)
                if (c == '.') c = sess.numericCharacters[0];
        }
        resultText(ctx, s);
        return;
    }
    DateTime d;
    bool stamp = false;
    bool parsed = parseStoredStamp(s, d, &stamp);
    if (argc < 2 || !textOf(argv[1], fmt))
        fmt = !stamp                                 ? sess.dateFormat
              : d.zone != kNoZone && s.back() != 'Z' ? sess.timestampTzFormat
                                                     : sess.timestampFormat;
    // WITH LOCAL TIME ZONE values read in the session's zone.
    if (parsed && s.back() == 'Z') d = inZone(d, sess.zone());
    if (!parsed) {
        if (argc < 2) {
            resultText(ctx, s);
            return;
        }
        sqlite3_result_error(ctx, "ORA-01722|-1|", -1);
        return;
    }
    std::string out;
    int code = formatDate(d, fmt, out, sess.japaneseDates);
    if (code) {
        raise(ctx, code, -1);
        return;
    }
    resultText(ctx, out);
}

void fnToDate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::string s, fmt;
    if (!textOf(argv[0], s)) {
        sqlite3_result_null(ctx);
        return;
    }
    bool given = argc >= 2 && textOf(argv[1], fmt);
    if (!given) fmt = sessionOf(ctx).dateFormat;
    DateTime d;
    int code = parseDate(s, fmt, d);
    if (code && !given && parseDate(s, kDefaultDateFormat, d) == 0) code = 0;
    if (code) {
        raise(ctx, code, argc > 2 ? sqlite3_value_int(argv[2]) : -1);
        return;
    }
    resultText(ctx, formatStoredDate(d));
}

void fnToTimestamp(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::string s, fmt;
    if (!textOf(argv[0], s)) {
        sqlite3_result_null(ctx);
        return;
    }
    bool given = argc >= 2 && textOf(argv[1], fmt);
    if (!given) fmt = sessionOf(ctx).timestampFormat;
    DateTime d;
    int code = parseDate(s, fmt, d);
    if (code && !given && parseDate(s, std::string(kDefaultDateFormat) + ".FF", d) == 0) code = 0;
    if (code) {
        raise(ctx, code, -1);
        return;
    }
    char frac[16];
    std::snprintf(frac, sizeof frac, ".%09d", d.fraction);
    resultText(ctx, formatStoredDate(d) + frac);
}

// A stored DATE or TIMESTAMP value as seconds since 0001-01-01 (fraction dropped);
// stamp (when given) receives the value, telling a timestamp by its fraction.
bool dateSeconds(sqlite3_value* v, int64_t& secs, DateTime* stamp = nullptr) {
    if (sqlite3_value_type(v) != SQLITE_TEXT || sqlite3_value_bytes(v) < 10) return false;
    const char* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    if (p[4] != '-' || p[7] != '-') return false;
    DateTime d;
    bool isStamp = false;
    if (!parseStoredStamp(std::string(p, size_t(sqlite3_value_bytes(v))), d, &isStamp)) return false;
    secs = secondsOf(d);
    if (stamp) {
        *stamp = d;
        if (!isStamp) stamp->fraction = -1;
    }
    return true;
}

// timestamp - timestamp: the difference as INTERVAL DAY TO SECOND text; values
// without a zone are in the session's.
void resultInterval(sqlite3_context* ctx, DateTime a, DateTime b) {
    int zone = sessionOf(ctx).zone();
    if (a.zone == kNoZone) a.zone = zone;
    if (b.zone == kNoZone) b.zone = zone;
    __int128 ns =
        (__int128(secondsOf(a) - int64_t(a.zone) * 60) - (secondsOf(b) - int64_t(b.zone) * 60)) * 1000000000 +
        std::max(a.fraction, 0) - std::max(b.fraction, 0);
    char sign = ns < 0 ? '-' : '+';
    if (ns < 0) ns = -ns;
    int64_t secs = int64_t(ns / 1000000000), frac = int64_t(ns % 1000000000) / 1000;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%c%02lld %02d:%02d:%02d.%06lld", sign,
                  static_cast<long long>(secs / 86400), int(secs / 3600 % 24), int(secs / 60 % 60),
                  int(secs % 60), static_cast<long long>(frac));
    resultText(ctx, buf);
}

// An integer result past 64 bits: a double when it keeps it exactly (at most 15
// significant digits), else 1426 rather than a rounded answer.
void wideResult(sqlite3_context* ctx, __int128 v, int slot) {
    unsigned __int128 m = v < 0 ? -static_cast<unsigned __int128>(v) : static_cast<unsigned __int128>(v);
    std::string digits;
    while (m) {
        digits.insert(digits.begin(), char('0' + int(m % 10)));
        m /= 10;
    }
    size_t last = digits.find_last_not_of('0');
    if (last != std::string::npos && last + 1 > 15) {
        raise(ctx, 1426, slot);
        return;
    }
    sqlite3_result_double(ctx, double(v));
}

// An operand of + or - as a number; 1722 for text that is none.
int numberOf(sqlite3_value* v, Number& n) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        n.integer = true;
        n.i = sqlite3_value_int64(v);
        return 0;
    case SQLITE_FLOAT:
        n.integer = false;
        n.d = sqlite3_value_double(v);
        return 0;
    default: {
        std::string s;
        textOf(v, s);
        return readNumber(s, n);
    }
    }
}

void resultDate(sqlite3_context* ctx, int64_t secs, double days, int slot = -1) {
    secs += int64_t(std::llround(days * 86400.0));
    if (secs < 0 || secs >= dayNumber(DateTime{10000, 1, 1}) * 86400) {
        raise(ctx, 1841, slot);
        return;
    }
    resultText(ctx, formatStoredDate(fromSeconds(secs)));
}

// date + days, days + date, and numbers as SQLite adds them.
void arith(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool minus) {
    const int slot = argc > 2 ? sqlite3_value_int(argv[2]) : -1;
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    int64_t da = 0, db = 0;
    DateTime sa, sb;
    bool isDateA = dateSeconds(argv[0], da, &sa), isDateB = dateSeconds(argv[1], db, &sb);
    if (isDateA && isDateB) {
        if (!minus) {
            raise(ctx, 975, slot);
            return;
        }
        if (sa.fraction >= 0 || sb.fraction >= 0) {
            resultInterval(ctx, sa, sb);
            return;
        }
        int64_t diff = da - db;
        if (diff % 86400 == 0)
            sqlite3_result_int64(ctx, diff / 86400);
        else
            sqlite3_result_double(ctx, double(diff) / 86400.0);
        return;
    }
    Number a, b;
    if (isDateA || isDateB) {
        if (isDateB && minus) {
            raise(ctx, 932, slot, "expected NUMBER got DATE");
            return;
        }
        int code = numberOf(isDateA ? argv[1] : argv[0], b);
        if (code) {
            raise(ctx, code, slot);
            return;
        }
        resultDate(ctx, isDateA ? da : db, minus ? -b.value() : b.value(), slot);
        return;
    }
    int code = numberOf(argv[0], a);
    if (!code) code = numberOf(argv[1], b);
    if (code) {
        raise(ctx, code, slot);
        return;
    }
    int64_t r;
    if (a.integer && b.integer) {
        if (!(minus ? __builtin_sub_overflow(a.i, b.i, &r) : __builtin_add_overflow(a.i, b.i, &r)))
            sqlite3_result_int64(ctx, r);
        else
            wideResult(ctx, minus ? __int128(a.i) - b.i : __int128(a.i) + b.i, slot);
        return;
    }
    sqlite3_result_double(ctx, significant15(minus ? a.value() - b.value() : a.value() + b.value()));
}

// * and /: numbers only (text read as a number, else 1722; a date 932), exact for
// integers, and division by zero 1476.
void product(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool divide) {
    const int slot = argc > 2 ? sqlite3_value_int(argv[2]) : -1;
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    int64_t secs;
    if (dateSeconds(argv[0], secs) || dateSeconds(argv[1], secs)) {
        raise(ctx, 932, slot, "expected NUMBER got DATE");
        return;
    }
    Number a, b;
    int code = numberOf(argv[0], a);
    if (!code) code = numberOf(argv[1], b);
    if (code) {
        raise(ctx, code, slot);
        return;
    }
    if (divide && b.value() == 0) {
        raise(ctx, 1476, slot);
        return;
    }
    int64_t r;
    if (a.integer && b.integer) {
        if (!divide) {
            if (!__builtin_mul_overflow(a.i, b.i, &r))
                sqlite3_result_int64(ctx, r);
            else
                wideResult(ctx, __int128(a.i) * b.i, slot);
            return;
        }
        if (divide && !(a.i == INT64_MIN && b.i == -1) && a.i % b.i == 0) {
            sqlite3_result_int64(ctx, a.i / b.i);
            return;
        }
    }
    double v = divide ? a.value() / b.value() : a.value() * b.value();
    if (v == std::trunc(v) && std::fabs(v) < 9e15)
        sqlite3_result_int64(ctx, int64_t(v));
    else
        sqlite3_result_double(ctx, significant15(v));
}

void fnMul(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    product(ctx, argc, argv, false);
}

void fnDiv(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    product(ctx, argc, argv, true);
}

void fnAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    arith(ctx, argc, argv, false);
}

void fnSub(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    arith(ctx, argc, argv, true);
}

void fnToNumber(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const int slot = argc > 2 ? sqlite3_value_int(argv[2]) : -1;
    if (isNumeric(argv[0])) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    std::string s;
    if (!textOf(argv[0], s)) {
        sqlite3_result_null(ctx);
        return;
    }
    Number n;
    int code = withDecimalPoint(s, sessionOf(ctx).numericCharacters[0]) ? readNumber(s, n) : 1722;
    if (code) {
        raise(ctx, code, slot);
        return;
    }
    n.result(ctx);
}

void fnTrunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    if (isNumeric(argv[0])) {
        double places = argc > 1 ? sqlite3_value_double(argv[1]) : 0;
        double v = decimalRound(sqlite3_value_double(argv[0]), int(std::trunc(places)), true);
        if (places <= 0 && std::fabs(v) < 9e15)
            sqlite3_result_int64(ctx, int64_t(v));
        else
            sqlite3_result_double(ctx, v);
        return;
    }
    std::string s;
    textOf(argv[0], s);
    DateTime d;
    if (!parseStoredDate(s, d)) {
        raise(ctx, 1722, -1);
        return;
    }
    std::string fmt = "DD";
    if (argc > 1) textOf(argv[1], fmt);
    if (int code = truncDate(d, fmt, false)) {
        raise(ctx, code, -1);
        return;
    }
    resultText(ctx, formatStoredDate(d));
}

void fnMod(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER && sqlite3_value_type(argv[1]) == SQLITE_INTEGER) {
        int64_t b = sqlite3_value_int64(argv[1]);
        sqlite3_result_int64(ctx, b == 0 ? sqlite3_value_int64(argv[0]) : sqlite3_value_int64(argv[0]) % b);
        return;
    }
    double b = sqlite3_value_double(argv[1]);
    sqlite3_result_double(ctx, b == 0 ? sqlite3_value_double(argv[0])
                                      : std::fmod(sqlite3_value_double(argv[0]), b));
}

void fnRowid(sqlite3_context* ctx, int, sqlite3_value** argv) {
    char id[kRowidLength];
    encodeRowid(sqlite3_value_int64(argv[0]), sqlite3_value_int64(argv[1]), sqlite3_value_int64(argv[2]), id);
    sqlite3_result_text(ctx, id, int(kRowidLength), SQLITE_TRANSIENT);
}

// A logical row id of an index-organised row: "*", the object id and the key in base 64.
void fnUrowid(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string key, part;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) key += '\x1f';
        if (textOf(argv[i], part)) key += part;
    }
    std::string out(1, '*');
    out.append(encodeRowid(sqlite3_value_int64(argv[0]), 0, 0), 0, 6);
    for (size_t i = 0; i < key.size(); i += 3) {
        uint32_t v = uint32_t(uint8_t(key[i])) << 16;
        if (i + 1 < key.size()) v |= uint32_t(uint8_t(key[i + 1])) << 8;
        if (i + 2 < key.size()) v |= uint8_t(key[i + 2]);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        if (i + 1 < key.size()) out += alphabet[(v >> 6) & 63];
        if (i + 2 < key.size()) out += alphabet[v & 63];
    }
    resultText(ctx, out);
}

void fnRowidKey(sqlite3_context* ctx, int, sqlite3_value** argv) {
    std::string s;
    int slot = sqlite3_value_int(argv[2]);
    if (!textOf(argv[0], s)) {
        sqlite3_result_null(ctx);
        return;
    }
    int64_t obj, schema, row;
    if (!decodeRowid(s, obj, schema, row)) {
        raise(ctx, 1410, slot);
        return;
    }
    if (obj != sqlite3_value_int64(argv[1])) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_int64(ctx, row);
}

// The value written to a column: converted from text by the column's type and checked.
void fnCheck(sqlite3_context* ctx, int, sqlite3_value** argv) {
    Session& s = sessionOf(ctx);
    int idx = sqlite3_value_int(argv[1]);
    int slot = sqlite3_value_int(argv[2]);
    if (idx < 0 || size_t(idx) >= s.checks.size()) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    const ColumnCheck& c = s.checks[size_t(idx)];
    std::string detail;
    int code = convertForColumn(ctx, argv[0], c, s.checkTypes[size_t(idx)], detail, s);
    if (code) raise(ctx, code, slot, detail);
}

void fnTick(sqlite3_context* ctx, int, sqlite3_value**) {
    Session& s = sessionOf(ctx);
    if (!sessionTick(s, s.rowTicks++)) {
        raise(ctx, 1013, -1);
        return;
    }
    sqlite3_result_int(ctx, 1);
}

// Sequences: NEXTVAL hands out the next number, CURRVAL repeats the session's last one.
// The numbers live in sequences.db beside the catalogue, written only through the
// session's own connection to it, one short transaction per number: a rollback of
// the session's work never gives a number back, whether or not it has written, and
// other sessions continue after it.
void fnNextval(sqlite3_context* ctx, int, sqlite3_value** argv) {
    Session& s = sessionOf(ctx);
    std::string owner, name;
    textOf(argv[0], owner);
    textOf(argv[1], name);
    sqlite3* seq = sequenceDb(s);
    if (!seq) {
        raise(ctx, 2289, -1);
        return;
    }
    // The sequence's definition, read in the session's own view of the catalogue.
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(s.conn,
                       "SELECT last_number, increment_by FROM main.sequences WHERE sequence_owner = ?1 AND "
                       "sequence_name = ?2",
                       -1, &st, nullptr);
    sqlite3_bind_text(st, 1, owner.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    bool found = sqlite3_step(st) == SQLITE_ROW;
    int64_t start = found ? sqlite3_column_int64(st, 0) : 0, step = found ? sqlite3_column_int64(st, 1) : 1;
    sqlite3_finalize(st);
    if (!found) {
        raise(ctx, 2289, -1);
        return;
    }
    if (sqlite3_exec(seq, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        raise(ctx, 54, -1);
        return;
    }
    sqlite3_prepare_v2(
        seq,
        "INSERT INTO seq VALUES (?1, ?2, ?3 + ?4) ON CONFLICT(owner, name) DO UPDATE SET next = "
        "next + ?4 RETURNING next - ?4",
        -1, &st, nullptr);
    sqlite3_bind_text(st, 1, owner.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(st, 3, start);
    sqlite3_bind_int64(st, 4, step);
    found = sqlite3_step(st) == SQLITE_ROW;
    int64_t v = found ? sqlite3_column_int64(st, 0) : 0;
    while (found && sqlite3_step(st) == SQLITE_ROW) {
    }
    sqlite3_finalize(st);
    if (!found || sqlite3_exec(seq, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_exec(seq, "ROLLBACK", nullptr, nullptr, nullptr);
        raise(ctx, 2289, -1);
        return;
    }
    s.currval[owner + "." + name] = v;
    sqlite3_result_int64(ctx, v);
}

// ALL_SEQUENCES.LAST_NUMBER: the next number to be handed out.
void fnSequenceLast(sqlite3_context* ctx, int, sqlite3_value** argv) {
    Session& s = sessionOf(ctx);
    std::string owner, name;
    textOf(argv[0], owner);
    textOf(argv[1], name);
    sqlite3_result_value(ctx, argv[2]);
    sqlite3* seq = sequenceDb(s);
    sqlite3_stmt* st = nullptr;
    if (seq && sqlite3_prepare_v2(seq, "SELECT next FROM seq WHERE owner = ?1 AND name = ?2", -1, &st,
                                  nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, owner.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st) == SQLITE_ROW) sqlite3_result_int64(ctx, sqlite3_column_int64(st, 0));
    }
    sqlite3_finalize(st);
}

} // namespace

sqlite3* sequenceDb(Session& s) {
    if (s.sequenceConn) return s.sequenceConn;
    std::string path = s.db ? s.db->dir + "/sequences.db" : std::string();
    if (path.empty() || sqlite3_open_v2(path.c_str(), &s.sequenceConn,
                                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                        nullptr) != SQLITE_OK) {
        sqlite3_close_v2(s.sequenceConn);
        s.sequenceConn = nullptr;
        return nullptr;
    }
    sqlite3_busy_timeout(s.sequenceConn, 5000);
    keepWalFiles(s.sequenceConn, "main");
    sqlite3_exec(s.sequenceConn,
                 "PRAGMA journal_mode=WAL; CREATE TABLE IF NOT EXISTS seq(owner TEXT NOT NULL, name TEXT NOT "
                 "NULL, next INTEGER NOT NULL, PRIMARY KEY(owner, name))",
                 nullptr, nullptr, nullptr);
    return s.sequenceConn;
}

void forgetSequence(Session& s, const std::string& owner, const std::string& name) {
    sqlite3* seq = sequenceDb(s);
    sqlite3_stmt* st = nullptr;
    if (seq && sqlite3_prepare_v2(seq, "DELETE FROM seq WHERE owner = ?1 AND name = ?2", -1, &st, nullptr) ==
                   SQLITE_OK) {
        sqlite3_bind_text(st, 1, owner.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
    }
    sqlite3_finalize(st);
}

namespace {

void fnCurrval(sqlite3_context* ctx, int, sqlite3_value** argv) {
    Session& s = sessionOf(ctx);
    std::string owner, name;
    textOf(argv[0], owner);
    textOf(argv[1], name);
    auto it = s.currval.find(owner + "." + name);
    if (it == s.currval.end()) {
        raise(ctx, 8002, -1, name);
        return;
    }
    sqlite3_result_int64(ctx, it->second);
}

void fnToClob(sqlite3_context* ctx, int, sqlite3_value** argv) {
    std::string v;
    if (!textOf(argv[0], v))
        sqlite3_result_null(ctx);
    else
        sqlite3_result_text(ctx, v.data(), int(v.size()), SQLITE_TRANSIENT);
}

void fnEmptyLob(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_zeroblob(ctx, 0);
}

// A BFILE value: "directory:file name".
void fnBfilename(sqlite3_context* ctx, int, sqlite3_value** argv) {
    std::string d, f;
    if (!textOf(argv[0], d) || !textOf(argv[1], f)) {
        sqlite3_result_null(ctx);
        return;
    }
    resultText(ctx, "BFILE:" + d + ":" + f);
}

// ora_updatable(owner, table, column, kind, default): the control's
// updatable-column flag.
void fnUpdatable(sqlite3_context* ctx, int, sqlite3_value** argv) {
    std::string o, t, c, k, d;
    textOf(argv[0], o);
    textOf(argv[1], t);
    textOf(argv[2], c);
    textOf(argv[3], k);
    textOf(argv[4], d);
    resultText(ctx, updatableOverride(o, t, c, k.empty() ? 'U' : k[0], d));
}

} // namespace

void registerFunctions(Session& s) {
    struct F {
        const char* name;
        int args;
        void (*fn)(sqlite3_context*, int, sqlite3_value**);
        bool deterministic;
    };
    static const F fns[] = {
        {"ora_concat", -1, fnConcat, true},
        {"ora_decode", -1, fnDecode, true},
        {"ora_nvl", 2, fnNvl, true},
        {"ora_nvl2", 3, fnNvl2, true},
        {"ora_substr", 2, fnSubstr, true},
        {"ora_substr", 3, fnSubstr, true},
        {"ora_instr", 2, fnInstr, true},
        {"ora_instr", 3, fnInstr, true},
        {"ora_instr", 4, fnInstr, true},
        {"ora_length", 1, fnLength, true},
        {"ora_lengthb", 1, fnLengthB, true},
        {"ora_user", 0, fnUser, false},
        {"ora_sysdate", 0, fnSysdate, false},
        {"ora_systimestamp", 0, fnSystimestamp, false},
        {"ora_sessiontimezone", 0, fnSessionTimeZone, false},
        {"ora_dbtimezone", 0, fnDbTimeZone, false},
        {"ora_current_date", 0, fnCurrentDate, false},
        {"ora_current_timestamp", 0, fnCurrentTimestamp, false},
        {"ora_localtimestamp", 0, fnLocalTimestamp, false},
        {"ora_to_char", 1, fnToChar, true},
        {"ora_to_char", 2, fnToChar, true},
        {"ora_to_date", 1, fnToDate, true},
        {"ora_to_date", 2, fnToDate, true},
        {"ora_to_date", 3, fnToDate, true},
        {"ora_to_number", 1, fnToNumber, true},
        {"ora_to_number", 3, fnToNumber, true},
        {"ora_to_timestamp", 1, fnToTimestamp, true},
        {"ora_to_timestamp", 2, fnToTimestamp, true},
        {"ora_add", 2, fnAdd, true},
        {"ora_sub", 2, fnSub, true},
        {"ora_mul", 2, fnMul, true},
        {"ora_div", 2, fnDiv, true},
        {"ora_add", 3, fnAdd, true},
        {"ora_sub", 3, fnSub, true},
        {"ora_mul", 3, fnMul, true},
        {"ora_div", 3, fnDiv, true},
        {"ora_trunc", 1, fnTrunc, true},
        {"ora_trunc", 2, fnTrunc, true},
        {"ora_mod", 2, fnMod, true},
        {"ora_rowid", 3, fnRowid, true},
        {"ora_rowid_key", 3, fnRowidKey, true},
        {"ora_urowid", -1, fnUrowid, true},
        {"ora_check", 3, fnCheck, false},
        {"empty_clob", 0, fnEmptyLob, true},
        {"empty_blob", 0, fnEmptyLob, true},
        {"ora_nextval", 2, fnNextval, false},
        {"ora_sequence_last", 3, fnSequenceLast, false},
        {"ora_currval", 2, fnCurrval, false},
        {"to_clob", 1, fnToClob, true},
        {"ora_tick", 0, fnTick, false},
        {"bfilename", 2, fnBfilename, true},
        {"ora_updatable", 5, fnUpdatable, false},
    };
    for (const F& f : fns)
        sqlite3_create_function_v2(s.conn, f.name, f.args,
                                   SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0), &s, f.fn,
                                   nullptr, nullptr, nullptr);
    registerScalarFunctions(s);
}

} // namespace oci
