// Oracle's scalar functions that SQLite lacks or answers differently: text
// functions whose empty result is NULL, case mapping beyond ASCII, padding,
// month arithmetic, date truncation and rounding, GREATEST and LEAST, and
// numbers rounded on their decimal digits.
#include "internal.h"
#include "values.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace oci {

double decimalRound(double v, int scale, bool truncate) {
    if (!std::isfinite(v) || v == 0) return v;
    // The shortest decimal text that reads back as v: 1.005 is "1.005e+00".
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    std::string s(buf, res.ptr);
    bool neg = s[0] == '-';
    if (neg) s.erase(0, 1);
    size_t e = s.find('e');
    int exp = std::atoi(s.c_str() + e + 1);
    std::string digits;
    for (size_t k = 0; k < e; ++k)
        if (s[k] != '.') digits += s[k];
    long keep = long(exp) + 1 + scale; // digits before the cut
    if (keep >= long(digits.size())) return v;
    bool up = !truncate && keep >= 0 && digits[size_t(keep)] >= '5';
    digits.resize(size_t(std::max(keep, 0L)));
    int top = exp; // the power of ten of the first digit
    if (keep < 0) return 0.0;
    if (up) {
        long k = keep - 1;
        while (k >= 0 && digits[size_t(k)] == '9') digits[size_t(k--)] = '0';
        if (k < 0) {
            digits.insert(digits.begin(), '1');
            ++top;
        } else {
            ++digits[size_t(k)];
        }
    }
    if (digits.empty()) return 0.0;
    std::string t = std::string(1, digits[0]) + "." + digits.substr(1) + "e" + std::to_string(top);
    double r = 0;
    std::from_chars(t.data(), t.data() + t.size(), r);
    return neg ? -r : r;
}

double significant15(double v) {
    if (!std::isfinite(v) || v == std::trunc(v)) return v;
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    double r = v;
    std::from_chars(buf, res.ptr, r);
    return r;
}

namespace {

int daysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

} // namespace

int truncDate(DateTime& d, const std::string& fmtIn, bool round) {
    std::string f = upperAscii(fmtIn);
    d.fraction = 0;
    d.zone = kNoZone;
    auto startOfDay = [&] { d.hour = d.minute = d.second = 0; };
    int64_t secs = secondsOf(d);
    if (f == "SYYYY" || f == "YYYY" || f == "YEAR" || f == "SYEAR" || f == "YYY" || f == "YY" || f == "Y" ||
        f == "RRRR" || f == "RR") {
        bool next = round && d.month >= 7;
        d = DateTime{d.year + (next ? 1 : 0), 1, 1};
    } else if (f == "Q") {
        int first = (d.month - 1) / 3 * 3 + 1;
        bool next = round && (d.month > first + 1 || (d.month == first + 1 && d.day >= 16));
        d = DateTime{d.year, first, 1};
        if (next) d = d.month == 10 ? DateTime{d.year + 1, 1, 1} : DateTime{d.year, d.month + 3, 1};
    } else if (f == "MONTH" || f == "MON" || f == "MM" || f == "RM") {
        bool next = round && d.day >= 16;
        d = DateTime{d.year, d.month, 1};
        if (next) d = d.month == 12 ? DateTime{d.year + 1, 1, 1} : DateTime{d.year, d.month + 1, 1};
    } else if (f == "DDD" || f == "DD" || f == "J") {
        bool next = round && d.hour >= 12;
        startOfDay();
        if (next) d = fromSeconds(secondsOf(d) + 86400);
    } else if (f == "DAY" || f == "DY" || f == "D" || f == "IW") {
        // The week's first day: Sunday, or Monday for the ISO week.
        int64_t day = dayNumber(d);
        int y = d.year, m = d.month;
        if (m < 3) {
            m += 12;
            --y;
        }
        int zeller = (d.day + 13 * (m + 1) / 5 + y % 100 + y % 100 / 4 + y / 400 + 5 * (y / 100)) % 7;
        int weekday = (zeller + 6) % 7; // 0 = Sunday
        int back = f == "IW" ? (weekday + 6) % 7 : weekday;
        int64_t start = day - back;
        if (round && secs - start * 86400 >= int64_t(7) * 86400 / 2) start += 7;
        d = fromSeconds(start * 86400);
    } else if (f == "HH" || f == "HH12" || f == "HH24") {
        bool next = round && d.minute >= 30;
        d.minute = d.second = 0;
        if (next) d = fromSeconds(secondsOf(d) + 3600);
    } else if (f == "MI") {
        bool next = round && d.second >= 30;
        d.second = 0;
        if (next) d = fromSeconds(secondsOf(d) + 60);
    } else {
        return 1899;
    }
    if (d.year > 9999) return 1841;
    return 0;
}

namespace {

void raise(sqlite3_context* ctx, int code, const std::string& detail = std::string()) {
    std::string m = "ORA-" + std::to_string(code) + "|-1|" + detail;
    sqlite3_result_error(ctx, m.c_str(), -1);
}

bool isNumeric(sqlite3_value* v) {
    int t = sqlite3_value_type(v);
    return t == SQLITE_INTEGER || t == SQLITE_FLOAT;
}

// A value as text; false for NULL and the empty text.
bool textOf(sqlite3_value* v, std::string& out) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL: return false;
    case SQLITE_INTEGER: out = std::to_string(sqlite3_value_int64(v)); return true;
    case SQLITE_FLOAT: out = numberText(sqlite3_value_double(v)); return true;
    default:
        out.assign(reinterpret_cast<const char*>(sqlite3_value_text(v)), size_t(sqlite3_value_bytes(v)));
        return !out.empty();
    }
}

// Oracle has no empty text: a function's empty result is NULL.
void resultText(sqlite3_context* ctx, const std::string& s) {
    if (s.empty())
        sqlite3_result_null(ctx);
    else
        sqlite3_result_text(ctx, s.data(), int(s.size()), SQLITE_TRANSIENT);
}

void resultNumber(sqlite3_context* ctx, double v) {
    if (v == std::trunc(v) && std::fabs(v) < 9e15)
        sqlite3_result_int64(ctx, int64_t(v));
    else
        sqlite3_result_double(ctx, v);
}

// A number argument; 1722 for text that is none.
int numberArg(sqlite3_value* v, double& out) {
    if (isNumeric(v)) {
        out = sqlite3_value_double(v);
        return 0;
    }
    std::string s;
    textOf(v, s);
    Number n;
    if (int code = readNumber(s, n)) return code;
    out = n.value();
    return 0;
}

// A DATE argument (the stored form of a date or timestamp); 1861 for other text, 932 for a number.
int dateArg(sqlite3_value* v, DateTime& d) {
    if (isNumeric(v)) return 932;
    std::string s;
    textOf(v, s);
    return parseStoredStamp(s, d) ? 0 : 1861;
}

// UTF-8 to code points and back; a byte that starts no UTF-8 sequence stands for itself.
std::u32string decode(const std::string& s) {
    std::u32string r;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 0;
        char32_t cp = n ? char32_t(c & (0x3F >> n)) : char32_t(c);
        bool ok = i + n < s.size();
        for (size_t k = 1; ok && k <= n; ++k) {
            unsigned char t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (t & 0x3F);
        }
        if (!ok) {
            cp = c;
            n = 0;
        }
        r += cp;
        i += n + 1;
    }
    return r;
}

std::string encode(const std::u32string& s) {
    std::string r;
    for (char32_t c : s) {
        if (c < 0x80) {
            r += char(c);
        } else if (c < 0x800) {
            r += char(0xC0 | (c >> 6));
            r += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            r += char(0xE0 | (c >> 12));
            r += char(0x80 | ((c >> 6) & 0x3F));
            r += char(0x80 | (c & 0x3F));
        } else {
            r += char(0xF0 | (c >> 18));
            r += char(0x80 | ((c >> 12) & 0x3F));
            r += char(0x80 | ((c >> 6) & 0x3F));
            r += char(0x80 | (c & 0x3F));
        }
    }
    return r;
}

// Simple case mapping of Latin (with Latin-1 and Extended-A), Greek, Cyrillic and
// full-width Latin letters; kana, kanji and everything else map to themselves.
char32_t upperOf(char32_t c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c < 0x80) return c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
    if (c == 0xFF) return 0x178;
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return (c & 1) ? c - 1 : c;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : c - 1;
    if (c == 0x131) return 'I';
    if (c == 0x3C2) return 0x3A3;
    if (c >= 0x3B1 && c <= 0x3C9) return c - 0x20;
    if (c >= 0x430 && c <= 0x44F) return c - 0x20;
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;
    if (c >= 0xFF41 && c <= 0xFF5A) return c - 0x20;
    return c;
}

char32_t lowerOf(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c < 0x80) return c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    if (c == 0x178) return 0xFF;
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return (c & 1) ? c : c + 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
    if (c == 0x130) return 'i';
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;
    return c;
}

// Letters and digits continue a word for INITCAP; spaces and punctuation end it.
bool wordChar(char32_t c) {
    if (c < 0x80) return std::isalnum(int(c)) != 0;
    if (c == 0xD7 || c == 0xF7 || (c >= 0x80 && c <= 0xBF)) return false;
    if ((c >= 0x2000 && c <= 0x206F) || (c >= 0x3000 && c <= 0x3003) || (c >= 0x3008 && c <= 0x3011) ||
        (c >= 0xFF01 && c <= 0xFF0F) || (c >= 0xFF1A && c <= 0xFF20) || (c >= 0xFF3B && c <= 0xFF40) ||
        (c >= 0xFF5B && c <= 0xFF65))
        return false;
    return true;
}

void caseMap(sqlite3_context* ctx, sqlite3_value** argv, int mode) {
    std::string s;
    if (!textOf(argv[0], s)) {
        sqlite3_result_null(ctx);
        return;
    }
    std::u32string u = decode(s);
    bool start = true;
    for (char32_t& c : u) {
        if (mode == 0) {
            c = upperOf(c);
        } else if (mode == 1) {
            c = lowerOf(c);
        } else {
            c = start ? upperOf(c) : lowerOf(c);
            start = !wordChar(c);
        }
    }
    resultText(ctx, encode(u));
}

void fnUpper(sqlite3_context* ctx, int, sqlite3_value** argv) {
    caseMap(ctx, argv, 0);
}
void fnLower(sqlite3_context* ctx, int, sqlite3_value** argv) {
    caseMap(ctx, argv, 1);
}
void fnInitcap(sqlite3_context* ctx, int, sqlite3_value** argv) {
    caseMap(ctx, argv, 2);
}

// TRIM, LTRIM and RTRIM of a set of characters (blank by default).
void trimSides(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool left, bool right) {
    std::string s, set = " ";
    if (!textOf(argv[0], s) || (argc > 1 && !textOf(argv[1], set))) {
        sqlite3_result_null(ctx);
        return;
    }
    std::u32string u = decode(s), chars = decode(set);
    size_t a = 0, b = u.size();
    while (left && a < b && chars.find(u[a]) != std::u32string::npos) ++a;
    while (right && b > a && chars.find(u[b - 1]) != std::u32string::npos) --b;
    resultText(ctx, encode(u.substr(a, b - a)));
}
void fnTrim(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    trimSides(ctx, argc, argv, true, true);
}
void fnLtrim(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    trimSides(ctx, argc, argv, true, false);
}
void fnRtrim(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    trimSides(ctx, argc, argv, false, true);
}

// REPLACE(s, x[, y]): a NULL or absent y removes x; a NULL x leaves s.
void fnReplace(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::string s, x, y;
    if (!textOf(argv[0], s)) {
        sqlite3_result_null(ctx);
        return;
    }
    if (!textOf(argv[1], x)) {
        resultText(ctx, s);
        return;
    }
    if (argc > 2) textOf(argv[2], y);
    std::string r;
    size_t p = 0;
    for (size_t f; (f = s.find(x, p)) != std::string::npos; p = f + x.size()) r += s.substr(p, f - p) + y;
    r += s.substr(p);
    resultText(ctx, r);
}

// LPAD and RPAD to n characters, cutting a longer text to its first n.
void pad(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool left) {
    std::string s, with = " ";
    double n = 0;
    if (!textOf(argv[0], s) || sqlite3_value_type(argv[1]) == SQLITE_NULL ||
        (argc > 2 && !textOf(argv[2], with))) {
        sqlite3_result_null(ctx);
        return;
    }
    if (int code = numberArg(argv[1], n)) {
        raise(ctx, code);
        return;
    }
    if (n < 1 || n > 32767) {
        sqlite3_result_null(ctx);
        return;
    }
    size_t want = size_t(n);
    std::u32string u = decode(s), p = decode(with);
    if (u.size() >= want) {
        resultText(ctx, encode(u.substr(0, want)));
        return;
    }
    std::u32string fill;
    while (fill.size() < want - u.size()) fill += p[fill.size() % p.size()];
    resultText(ctx, encode(left ? fill + u : u + fill));
}
void fnLpad(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    pad(ctx, argc, argv, true);
}
void fnRpad(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    pad(ctx, argc, argv, false);
}

void resultDate(sqlite3_context* ctx, const DateTime& d) {
    if (d.year < 1 || d.year > 9999) {
        raise(ctx, 1841);
        return;
    }
    DateTime t = d;
    t.fraction = 0;
    resultText(ctx, formatStoredDate(t));
}

// ADD_MONTHS: the last day of a month, or a day past the new month's end, gives its last day.
void fnAddMonths(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    DateTime d;
    double n = 0;
    int code = dateArg(argv[0], d);
    if (!code) code = numberArg(argv[1], n);
    if (code) {
        raise(ctx, code);
        return;
    }
    int64_t months = int64_t(d.year) * 12 + (d.month - 1) + int64_t(std::trunc(n));
    if (months < 12 || months >= int64_t(10000) * 12) {
        raise(ctx, 1841);
        return;
    }
    int y = int(months / 12), m = int(months % 12) + 1;
    bool last = d.day == daysInMonth(d.year, d.month);
    d.day = last || d.day > daysInMonth(y, m) ? daysInMonth(y, m) : d.day;
    d.year = y;
    d.month = m;
    resultDate(ctx, d);
}

void fnLastDay(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    DateTime d;
    if (int code = dateArg(argv[0], d)) {
        raise(ctx, code);
        return;
    }
    d.day = daysInMonth(d.year, d.month);
    resultDate(ctx, d);
}

// MONTHS_BETWEEN: whole months when the days agree or both are month ends, else
// the rest in 31-day months.
void fnMonthsBetween(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    DateTime a, b;
    int code = dateArg(argv[0], a);
    if (!code) code = dateArg(argv[1], b);
    if (code) {
        raise(ctx, code);
        return;
    }
    int64_t months = (int64_t(a.year) - b.year) * 12 + (a.month - b.month);
    bool lastA = a.day == daysInMonth(a.year, a.month), lastB = b.day == daysInMonth(b.year, b.month);
    if (a.day == b.day || (lastA && lastB)) {
        sqlite3_result_int64(ctx, months);
        return;
    }
    double secsA = a.hour * 3600 + a.minute * 60 + a.second, secsB = b.hour * 3600 + b.minute * 60 + b.second;
    double rest = ((a.day - b.day) + (secsA - secsB) / 86400.0) / 31.0;
    sqlite3_result_double(ctx, significant15(double(months) + rest));
}

// GREATEST and LEAST: the first argument's type decides how all compare; any NULL gives NULL.
void extreme(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool greatest) {
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL ||
            (sqlite3_value_type(argv[i]) == SQLITE_TEXT && sqlite3_value_bytes(argv[i]) == 0)) {
            sqlite3_result_null(ctx);
            return;
        }
    if (isNumeric(argv[0])) {
        int best = 0;
        double bv = sqlite3_value_double(argv[0]);
        for (int i = 1; i < argc; ++i) {
            double v = 0;
            if (int code = numberArg(argv[i], v)) {
                raise(ctx, code);
                return;
            }
            if (greatest ? v > bv : v < bv) {
                bv = v;
                best = i;
            }
        }
        if (isNumeric(argv[best]))
            sqlite3_result_value(ctx, argv[best]);
        else
            resultNumber(ctx, bv);
        return;
    }
    std::string best, v;
    textOf(argv[0], best);
    for (int i = 1; i < argc; ++i) {
        textOf(argv[i], v);
        if (greatest ? v > best : v < best) best = v;
    }
    resultText(ctx, best);
}
void fnGreatest(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 1) {
        raise(ctx, 938);
        return;
    }
    extreme(ctx, argc, argv, true);
}
void fnLeast(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 1) {
        raise(ctx, 938);
        return;
    }
    extreme(ctx, argc, argv, false);
}

// ROUND of a number to n places (n may be negative), half away from zero; of a date to a unit.
void fnRound(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL ||
        (argc > 1 && sqlite3_value_type(argv[1]) == SQLITE_NULL)) {
        sqlite3_result_null(ctx);
        return;
    }
    if (isNumeric(argv[0]) || sqlite3_value_type(argv[0]) != SQLITE_TEXT) {
        double places = 0;
        if (argc > 1 && numberArg(argv[1], places)) {
            raise(ctx, 1722);
            return;
        }
        if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER && places >= 0) {
            sqlite3_result_value(ctx, argv[0]);
            return;
        }
        resultNumber(ctx, decimalRound(sqlite3_value_double(argv[0]), int(std::trunc(places)), false));
        return;
    }
    std::string s, fmt = "DD";
    textOf(argv[0], s);
    DateTime d;
    if (!parseStoredStamp(s, d)) {
        // Text that reads as a number rounds as one.
        Number n;
        double places = 0;
        if (!parseNumber(s, n) || (argc > 1 && numberArg(argv[1], places))) {
            raise(ctx, 1722);
            return;
        }
        resultNumber(ctx, decimalRound(n.value(), int(std::trunc(places)), false));
        return;
    }
    if (argc > 1) textOf(argv[1], fmt);
    if (int code = truncDate(d, fmt, true)) {
        raise(ctx, code);
        return;
    }
    resultDate(ctx, d);
}

// SUM and AVG: exact over integers, decimal (15 digits) otherwise, as
// aggregates and over windows.
// Zero-filled by SQLite: every member starts at zero.
struct Sum {
    int64_t count;
    bool inexact;  // a value that is no integer was added
    bool overflow; // the integers' sum left 64 bits
    int64_t i;
    double d, carry; // compensated (Neumaier) sum of the non-integers
    bool failed;
    void add(double x) {
        double t = d + x;
        carry += std::fabs(d) >= std::fabs(x) ? (d - t) + x : (x - t) + d;
        d = t;
    }
};

void sumStep(sqlite3_context* ctx, int, sqlite3_value** argv, int sign) {
    Sum* a = static_cast<Sum*>(sqlite3_aggregate_context(ctx, sizeof(Sum)));
    if (!a || sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
    double v = 0;
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
        int64_t x = sqlite3_value_int64(argv[0]), r;
        if (!(sign > 0 ? __builtin_add_overflow(a->i, x, &r) : __builtin_sub_overflow(a->i, x, &r)))
            a->i = r;
        else
            a->overflow = true;
    } else if (numberArg(argv[0], v) == 0) {
        if (v == std::trunc(v) && std::fabs(v) < 9e15) {
            int64_t r;
            if (!(sign > 0 ? __builtin_add_overflow(a->i, int64_t(v), &r)
                           : __builtin_sub_overflow(a->i, int64_t(v), &r)))
                a->i = r;
            else
                a->overflow = true;
        } else {
            a->inexact = true;
            a->add(double(sign) * v);
        }
    } else {
        a->failed = true;
    }
    a->count += sign;
}

void sumFinal(sqlite3_context* ctx, bool average, bool keep) {
    Sum* a = static_cast<Sum*>(sqlite3_aggregate_context(ctx, keep ? int(sizeof(Sum)) : 0));
    if (a && a->failed) {
        raise(ctx, 1722);
        return;
    }
    if (a && a->overflow) {
        raise(ctx, 1426);
        return;
    }
    if (!a || a->count == 0) {
        sqlite3_result_null(ctx);
        return;
    }
    double total = double(a->i) + (a->d + a->carry);
    if (!average && !a->inexact) {
        sqlite3_result_int64(ctx, a->i);
        return;
    }
    resultNumber(ctx, significant15(average ? total / double(a->count) : total));
}

void fnSumStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    sumStep(ctx, argc, argv, 1);
}
void fnSumInverse(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    sumStep(ctx, argc, argv, -1);
}
void fnSumFinal(sqlite3_context* ctx) {
    sumFinal(ctx, false, false);
}
void fnSumValue(sqlite3_context* ctx) {
    sumFinal(ctx, false, true);
}
void fnAvgFinal(sqlite3_context* ctx) {
    sumFinal(ctx, true, false);
}
void fnAvgValue(sqlite3_context* ctx) {
    sumFinal(ctx, true, true);
}

// A scalar subquery's value, given how many rows (at most 2) it has.
void fnScalar(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_int64(argv[0]) > 1) {
        char m[48];
        std::snprintf(m, sizeof m, "ORA-1427|%d|", argc > 2 ? sqlite3_value_int(argv[2]) : -1);
        sqlite3_result_error(ctx, m, -1);
        return;
    }
    sqlite3_result_value(ctx, argv[1]);
}

} // namespace

void registerScalarFunctions(Session& s) {
    sqlite3_create_window_function(s.conn, "ora_sum", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, &s, fnSumStep,
                                   fnSumFinal, fnSumValue, fnSumInverse, nullptr);
    sqlite3_create_window_function(s.conn, "ora_avg", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, &s, fnSumStep,
                                   fnAvgFinal, fnAvgValue, fnSumInverse, nullptr);
    struct F {
        const char* name;
        int args;
        void (*fn)(sqlite3_context*, int, sqlite3_value**);
    };
    static const F fns[] = {
        {"ora_upper", 1, fnUpper},
        {"ora_lower", 1, fnLower},
        {"ora_initcap", 1, fnInitcap},
        {"ora_trim", 1, fnTrim},
        {"ora_ltrim", 1, fnLtrim},
        {"ora_ltrim", 2, fnLtrim},
        {"ora_rtrim", 1, fnRtrim},
        {"ora_rtrim", 2, fnRtrim},
        {"ora_replace", 2, fnReplace},
        {"ora_replace", 3, fnReplace},
        {"ora_lpad", 2, fnLpad},
        {"ora_lpad", 3, fnLpad},
        {"ora_rpad", 2, fnRpad},
        {"ora_rpad", 3, fnRpad},
        {"ora_add_months", 2, fnAddMonths},
        {"ora_last_day", 1, fnLastDay},
        {"ora_months_between", 2, fnMonthsBetween},
        {"ora_greatest", -1, fnGreatest},
        {"ora_least", -1, fnLeast},
        {"ora_round", 1, fnRound},
        {"ora_round", 2, fnRound},
        {"ora_scalar", 2, fnScalar},
        {"ora_scalar", 3, fnScalar},
    };
    for (const F& f : fns)
        sqlite3_create_function_v2(s.conn, f.name, f.args, SQLITE_UTF8 | SQLITE_DETERMINISTIC, &s, f.fn,
                                   nullptr, nullptr, nullptr);
}

} // namespace oci
