#include "values.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <set>
#include <string_view>

namespace oci {

const char* const kDefaultDateFormat = "YYYY-MM-DD HH24:MI:SS";

size_t shortNumberText(double v, char* out) {
    if (v == 0) {
        out[0] = '0';
        return 1;
    }
    double a = std::fabs(v);
    if (!(a < 1e15)) return 0; // large, infinite or NaN
    if (v == std::trunc(v)) return size_t(std::to_chars(out, out + kShortNumberText, int64_t(v)).ptr - out);
    if (a < 1e-4) return 0;
    // The shortest text that reads back as v. When it has at most 15 significant
    // digits it is also v rounded to 15 of them. A leading 9 is left to the full
    // path: there the decimal exponent may round up to the next power of ten.
    char buf[48];
    char* end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed).ptr;
    const char* p = buf + (buf[0] == '-' ? 1 : 0);
    const char* q = p;
    while (q < end && (*q == '0' || *q == '.')) ++q;
    if (q == end || *q == '9') return 0;
    int significant = 0;
    for (const char* r = q; r < end; ++r) significant += *r != '.';
    if (significant > 15) return 0;
    size_t n = 0;
    if (buf[0] == '-') out[n++] = '-';
    if (p[0] == '0') ++p; // "0.5" reads ".5"
    std::memcpy(out + n, p, size_t(end - p));
    return n + size_t(end - p);
}

std::string numberText(double v) {
    char quick[kShortNumberText];
    if (size_t n = shortNumberText(v, quick)) return std::string(quick, n);
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "~" : "-~";
    if (v == 0) return "0";
    if (std::fabs(v) < 1e15 && v == std::trunc(v)) return std::to_string(int64_t(v));
    char buf[64];
    if (std::fabs(v) >= 1e-4 && std::fabs(v) < 1e15) {
        // 15 significant digits without an exponent: strip trailing zeros and the leading zero.
        auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed,
                               std::max(0, 14 - int(std::floor(std::log10(std::fabs(v))))));
        std::string s(buf, r.ptr);
        if (s.find('.') != std::string::npos) {
            while (s.back() == '0') s.pop_back();
            if (s.back() == '.') s.pop_back();
        }
        if (s.compare(0, 2, "0.") == 0) s.erase(0, 1);
        if (s.compare(0, 3, "-0.") == 0) s.erase(1, 1);
        return s;
    }
    std::snprintf(buf, sizeof buf, "%.14e", v);
    // d.ddddddddddddddde[+-]xx
    std::string s = buf;
    bool neg = s[0] == '-';
    if (neg) s.erase(0, 1);
    size_t e = s.find('e');
    int exp = std::atoi(s.c_str() + e + 1);
    std::string digits = s.substr(0, 1) + s.substr(2, e - 2);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    std::string out;
    int point = exp + 1; // digits before the decimal point
    if (point <= 0) {
        out.assign(1, '.');
        out.append(size_t(-point), '0');
        out += digits;
    } else if (size_t(point) >= digits.size()) {
        out = digits + std::string(size_t(point) - digits.size(), '0');
    } else {
        out = digits.substr(0, size_t(point)) + "." + digits.substr(size_t(point));
    }
    if (neg) out.insert(out.begin(), '-');
    return out;
}

void Number::result(sqlite3_context* ctx) const {
    if (integer)
        sqlite3_result_int64(ctx, i);
    else
        sqlite3_result_double(ctx, d);
}

int readNumber(const std::string& in, Number& out) {
    size_t a = in.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return 1722;
    size_t b = in.find_last_not_of(" \t\r\n");
    std::string s = in.substr(a, b - a + 1);
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t intStart = i;
    while (i < s.size() && std::isdigit((unsigned char)s[i])) ++i;
    size_t intDigits = i - intStart;
    size_t fracStart = i, fracDigits = 0;
    bool point = false;
    if (i < s.size() && s[i] == '.') {
        point = true;
        ++i;
        fracStart = i;
        while (i < s.size() && std::isdigit((unsigned char)s[i])) ++i;
        fracDigits = i - fracStart;
    }
    if (intDigits + fracDigits == 0) return 1722;
    bool exp = false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        exp = true;
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t e = i;
        while (i < s.size() && std::isdigit((unsigned char)s[i])) ++i;
        if (i == e) return 1722;
    }
    if (i != s.size()) return 1722;
    if (!point && !exp && intDigits <= 19) {
        errno = 0;
        long long v = std::strtoll(s.c_str(), nullptr, 10);
        if (errno == 0) {
            out.integer = true;
            out.i = v;
            return 0;
        }
    }
    // The significant digits, without leading and trailing zeros.
    std::string digits = s.substr(intStart, intDigits) + s.substr(fracStart, fracDigits);
    size_t first = digits.find_first_not_of('0'), last = digits.find_last_not_of('0');
    size_t significant = first == std::string::npos ? 0 : last - first + 1;
    out.integer = false;
    out.d = std::strtod(s.c_str(), nullptr);
    if (out.d == std::trunc(out.d) && std::fabs(out.d) < 9e15) {
        out.integer = true;
        out.i = int64_t(out.d);
    }
    if (significant > 15 || !std::isfinite(out.d)) return 1426;
    // Oracle keeps magnitudes below 1E126; below 1E-130 a value is 0.
    if (std::fabs(out.d) >= 1e126) return 1426;
    if (std::fabs(out.d) < 1e-130) {
        out.integer = true;
        out.i = 0;
        out.d = 0;
    }
    return 0;
}

namespace {
std::mutex gClockMutex;
bool gClockFixed = false;
DateTime gClock;
} // namespace

bool setClock(const std::string& text) {
    std::lock_guard<std::mutex> g(gClockMutex);
    if (text == "system") {
        gClockFixed = false;
        return true;
    }
    DateTime d;
    if (!parseStoredDate(text, d)) return false;
    gClock = d;
    gClockFixed = true;
    return true;
}

DateTime nowLocal() {
    {
        std::lock_guard<std::mutex> g(gClockMutex);
        if (gClockFixed) return gClock;
    }
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    DateTime d;
    d.year = tm.tm_year + 1900;
    d.month = tm.tm_mon + 1;
    d.day = tm.tm_mday;
    d.hour = tm.tm_hour;
    d.minute = tm.tm_min;
    d.second = tm.tm_sec;
    return d;
}

int localOffsetMinutes() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return int(tm.tm_gmtoff / 60);
}

std::string zoneText(int m) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%c%02d:%02d", m < 0 ? '-' : '+', std::abs(m) / 60, std::abs(m) % 60);
    return buf;
}

std::string formatStoredDate(const DateTime& d) {
    auto fits = [](int v, int limit) { return v >= 0 && v < limit; };
    if (!fits(d.year, 10000) || !fits(d.month, 100) || !fits(d.day, 100) || !fits(d.hour, 100) ||
        !fits(d.minute, 100) || !fits(d.second, 100)) {
        char buf[80];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour,
                      d.minute, d.second);
        return buf;
    }
    // Written digit by digit: every date a write stores passes here.
    char buf[19];
    auto put = [&](int at, int v, int width) {
        for (int k = width - 1; k >= 0; --k, v /= 10) buf[at + k] = char('0' + v % 10);
    };
    put(0, d.year, 4);
    buf[4] = '-';
    put(5, d.month, 2);
    buf[7] = '-';
    put(8, d.day, 2);
    buf[10] = ' ';
    put(11, d.hour, 2);
    buf[13] = ':';
    put(14, d.minute, 2);
    buf[16] = ':';
    put(17, d.second, 2);
    return std::string(buf, sizeof buf);
}

int dateRangeError(const DateTime& d) {
    if (d.year < 1 || d.year > 9999) return 1841;
    if (d.month < 1 || d.month > 12) return 1843;
    if (d.day < 1 || d.day > 31) return 1847;
    if (d.hour < 0 || d.hour > 23) return 1850;
    if (d.minute < 0 || d.minute > 59) return 1851;
    if (d.second < 0 || d.second > 59) return 1852;
    if (d.day > daysOfMonth(d.year, d.month)) return 1839;
    if (d.fraction < 0 || d.fraction > 999999999) return 1880;
    if (d.zone != kNoZone && (d.zone < -12 * 60 || d.zone > 14 * 60)) return 1874;
    return 0;
}

int daysOfMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12) return 0;
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

namespace {

// Digits only: at least one and at most most of them; false for anything else.
bool digitsAt(const char* s, size_t size, size_t& at, size_t most, int& out) {
    size_t from = at;
    int v = 0;
    while (at < size && at - from < most && s[at] >= '0' && s[at] <= '9') v = v * 10 + (s[at++] - '0');
    out = v;
    return at > from;
}

// The date part of the stored form: 0, -1 when the text has another shape, or
// the error of its first field out of range (in the order a format model
// reads them, the days of the month last).
int readStoredDate(const char* s, size_t size, DateTime& d) {
    d = DateTime{};
    // "YYYY-MM-DD[ HH:MM:SS]" as written; with fewer digits a field reads too
    // (text given in SQL), never with a sign or a blank inside.
    size_t p = 0;
    auto field = [&](size_t most, int& out, char after) {
        if (!digitsAt(s, size, p, most, out)) return false;
        if (!after) return true;
        if (p >= size || s[p] != after) return false;
        ++p;
        return true;
    };
    if (!field(4, d.year, '-') || !field(2, d.month, '-') || !field(2, d.day, 0)) return -1;
    if (p < size) {
        if (s[p] != ' ') return -1;
        ++p;
        if (!field(2, d.hour, ':') || !field(2, d.minute, ':') || !field(2, d.second, 0)) return -1;
    }
    if (p != size) return -1;
    return dateRangeError(d);
}

} // namespace

bool parseStoredDate(const std::string& s, DateTime& d) {
    return parseStoredDate(s.data(), s.size(), d);
}

bool parseStoredDate(const char* s, size_t size, DateTime& d) {
    return readStoredDate(s, size, d) == 0;
}

int readStoredStamp(const char* s, size_t size, DateTime& d, bool* stamp) {
    if (stamp) *stamp = false;
    // The date and time, then a fraction, then " +hh:mm" or "Z".
    size_t end = size > 19 && s[10] == ' ' ? 19 : size;
    int code = readStoredDate(s, end, d);
    if (code || end == size) return code;
    size_t p = end;
    if (s[p] == '.') {
        if (stamp) *stamp = true;
        ++p;
        int frac = 0, n = 0;
        while (p < size && s[p] >= '0' && s[p] <= '9') {
            if (++n > 9) return 1880;
            frac = frac * 10 + (s[p++] - '0');
        }
        for (int k = n; k < 9; ++k) frac *= 10;
        d.fraction = frac;
    }
    while (p < size && s[p] == ' ') ++p;
    if (p == size) return 0;
    if (s[p] == 'Z' && p + 1 == size) {
        d.zone = 0;
        return 0;
    }
    if ((s[p] != '+' && s[p] != '-') || size - p != 6 || s[p + 3] != ':') return -1;
    int h = 0, m = 0;
    size_t at = p + 1;
    if (!digitsAt(s, size, at, 2, h) || at != p + 3) return -1;
    at = p + 4;
    if (!digitsAt(s, size, at, 2, m) || at != size) return -1;
    if (m > 59) return 1875;
    d.zone = (s[p] == '-' ? -1 : 1) * (h * 60 + m);
    if (d.zone < -12 * 60 || d.zone > 14 * 60) return 1874;
    return 0;
}

bool parseStoredStamp(const std::string& s, DateTime& d, bool* stamp) {
    return readStoredStamp(s.data(), s.size(), d, stamp) == 0;
}

std::string formatStoredStamp(const DateTime& d, int digits) {
    std::string out = formatStoredDate(d);
    char frac[16];
    std::snprintf(frac, sizeof frac, "%09d", d.fraction);
    out += '.';
    out.append(frac, size_t(std::clamp(digits, 6, 9)));
    return out;
}

int64_t secondsOf(const DateTime& d) {
    return dayNumber(d) * 86400 + d.hour * 3600 + d.minute * 60 + d.second;
}

DateTime inZone(const DateTime& d, int zone) {
    DateTime r = fromSeconds(secondsOf(d) + int64_t(zone - d.zone) * 60);
    r.fraction = d.fraction;
    r.zone = zone;
    return r;
}

namespace {

const char* kMonths[] = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
                         "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
const char* kDays[] = {"SUNDAY", "MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY"};

int weekday(const DateTime& d) {
    int y = d.year, m = d.month;
    if (m < 3) {
        m += 12;
        --y;
    }
    int k = y % 100, j = y / 100;
    int h = (d.day + 13 * (m + 1) / 5 + k + k / 4 + j / 4 + 5 * j) % 7; // 0 = Saturday
    return (h + 6) % 7;
}

// The next element of a format model at fmt[i]; empty for punctuation.
const char* element(const std::string& f, size_t i) {
    static const char* elems[] = {"YYYY", "RRRR", "MONTH", "HH24", "HH12", "FF1", "FF2", "FF3", "FF4",
                                  "FF5",  "TZH",  "TZM",   "TZR",  "FF6",  "FF7", "FF8", "FF9", "YYY",
                                  "MON",  "DAY",  "YY",    "RR",   "MM",   "DD",  "DY",  "HH",  "MI",
                                  "SS",   "FF",   "AM",    "PM",   "Y",    "X"};
    // The elements by first letter, each list in the order above.
    static const auto byFirst = [] {
        std::array<std::vector<const char*>, 26> t;
        for (const char* e : elems) t[size_t(e[0] - 'A')].push_back(e);
        return t;
    }();
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
    if (i >= f.size()) return "";
    char first = upper(f[i]);
    if (first < 'A' || first > 'Z') return "";
    for (const char* e : byFirst[size_t(first - 'A')]) {
        size_t k = 1;
        while (e[k] && i + k < f.size() && upper(f[i + k]) == e[k]) ++k;
        if (!e[k]) return e;
    }
    return "";
}

std::string two(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}

std::string cased(const std::string& name, const std::string& model) {
    // "Mon" -> "Jan", "MON" -> "JAN", "mon" -> "jan"
    if (model.size() >= 2 && std::islower((unsigned char)model[0])) {
        std::string r = name;
        for (char& c : r) c = char(std::tolower((unsigned char)c));
        return r;
    }
    if (model.size() >= 2 && std::isupper((unsigned char)model[0]) && std::islower((unsigned char)model[1])) {
        std::string r = name;
        for (size_t k = 1; k < r.size(); ++k) r[k] = char(std::tolower((unsigned char)r[k]));
        return r;
    }
    return name;
}

} // namespace

namespace {
const char* kJaDays[] = {"日曜日", "月曜日", "火曜日", "水曜日", "木曜日", "金曜日", "土曜日"};
const char* kJaDy[] = {"日", "月", "火", "水", "木", "金", "土"};
} // namespace

namespace {

// A format made only of numeric elements and literals, compiled once.
struct FastFormat {
    std::string source;
    bool usable = false;
    std::vector<std::pair<int, std::string>> ops; // (element code, literal); code 0 = literal
};

enum { kLit, kYYYY, kYY, kMM, kDD, kHH24, kHH12, kMI, kSS, kFF, kX };

bool compileFast(const std::string& f, FastFormat& out) {
    out.source = f;
    out.ops.clear();
    out.usable = false;
    size_t i = 0;
    while (i < f.size()) {
        if (f[i] == '"') {
            size_t e = f.find('"', i + 1);
            if (e == std::string::npos) return false;
            out.ops.push_back({kLit, f.substr(i + 1, e - i - 1)});
            i = e + 1;
            continue;
        }
        std::string e = element(f, i);
        if (e.empty()) {
            if (std::isalnum(static_cast<unsigned char>(f[i]))) return false;
            out.ops.push_back({kLit, std::string(1, f[i])});
            ++i;
            continue;
        }
        int code;
        if (e == "YYYY" || e == "RRRR")
            code = kYYYY;
        else if (e == "YY" || e == "RR")
            code = kYY;
        else if (e == "MM")
            code = kMM;
        else if (e == "DD")
            code = kDD;
        else if (e == "HH24")
            code = kHH24;
        else if (e == "HH" || e == "HH12")
            code = kHH12;
        else if (e == "MI")
            code = kMI;
        else if (e == "SS")
            code = kSS;
        else if (e.compare(0, 2, "FF") == 0)
            code = kFF;
        else if (e == "X")
            code = kX;
        else
            return false;
        out.ops.push_back({code, e.size() == 3 && code == kFF ? std::string(1, e[2]) : std::string()});
        i += e.size();
    }
    out.usable = true;
    return true;
}

void digits(std::string& out, int v, int width) {
    char b[12];
    int n = 12;
    unsigned u = unsigned(v < 0 ? -v : v);
    do {
        b[--n] = char('0' + u % 10);
        u /= 10;
    } while (u && n > 1);
    while (12 - n < width && n > 1) b[--n] = '0';
    out.append(b + n, size_t(12 - n));
}

} // namespace

int formatDate(const DateTime& d, const std::string& f, std::string& out, bool japanese) {
    out.clear();
    // One compiled format for the process, under a lock: a thread_local one
    // (a destructor per thread) would keep the library loaded after its last
    // FreeLibrary, so a later load would get this one's state.
    static std::mutex fastLock;
    static FastFormat fast;
    std::unique_lock<std::mutex> hold(fastLock);
    if (fast.source != f) compileFast(f, fast);
    if (fast.usable) {
        for (auto& [code, lit] : fast.ops) {
            switch (code) {
            case kLit: out += lit; break;
            case kYYYY: digits(out, d.year, 4); break;
            case kYY: digits(out, d.year % 100, 2); break;
            case kMM: digits(out, d.month, 2); break;
            case kDD: digits(out, d.day, 2); break;
            case kHH24: digits(out, d.hour, 2); break;
            case kHH12: digits(out, d.hour % 12 == 0 ? 12 : d.hour % 12, 2); break;
            case kMI: digits(out, d.minute, 2); break;
            case kSS: digits(out, d.second, 2); break;
            case kX: out += '.'; break;
            case kFF: {
                std::string all;
                digits(all, d.fraction, 9);
                out += all.substr(0, lit.empty() ? 6 : size_t(lit[0] - '0'));
                break;
            }
            }
        }
        return 0;
    }
    hold.unlock();
    size_t i = 0;
    while (i < f.size()) {
        char c = f[i];
        if (c == '"') {
            size_t e = f.find('"', i + 1);
            if (e == std::string::npos) return 1821;
            out += f.substr(i + 1, e - i - 1);
            i = e + 1;
            continue;
        }
        std::string e = element(f, i);
        if (e.empty()) {
            if (std::isalnum((unsigned char)c)) return 1821;
            out += c;
            ++i;
            continue;
        }
        std::string model = f.substr(i, e.size());
        i += e.size();
        char buf[16];
        if (e == "YYYY" || e == "RRRR") {
            std::snprintf(buf, sizeof buf, "%04d", d.year);
            out += buf;
        } else if (e == "YYY") {
            std::snprintf(buf, sizeof buf, "%03d", d.year % 1000);
            out += buf;
        } else if (e == "YY" || e == "RR") {
            out += two(d.year % 100);
        } else if (e == "Y") {
            out += char('0' + d.year % 10);
        } else if (e == "MM") {
            out += two(d.month);
        } else if ((e == "MON" || e == "MONTH") && japanese) {
            out += std::to_string(d.month) + "月";
        } else if ((e == "DY" || e == "DAY") && japanese) {
            out += e == "DY" ? kJaDy[weekday(d)] : kJaDays[weekday(d)];
        } else if ((e == "AM" || e == "PM") && japanese) {
            out += d.hour < 12 ? "午前" : "午後";
        } else if (e == "X") {
            out += '.';
        } else if (e == "TZH" || e == "TZM" || e == "TZR") {
            std::string z = zoneText(d.zone != kNoZone ? d.zone : localOffsetMinutes());
            out += e == "TZH" ? z.substr(0, 3) : e == "TZM" ? z.substr(4, 2) : z;
        } else if (e == "MON") {
            out += cased(std::string(kMonths[d.month - 1]).substr(0, 3), model);
        } else if (e == "MONTH") {
            char pad[16];
            std::snprintf(pad, sizeof pad, "%-9s", kMonths[d.month - 1]);
            out += cased(pad, model);
        } else if (e == "DD") {
            out += two(d.day);
        } else if (e == "DY") {
            out += cased(std::string(kDays[weekday(d)]).substr(0, 3), model);
        } else if (e == "DAY") {
            char pad[16];
            std::snprintf(pad, sizeof pad, "%-9s", kDays[weekday(d)]);
            out += cased(pad, model);
        } else if (e == "HH24") {
            out += two(d.hour);
        } else if (e == "HH" || e == "HH12") {
            out += two(d.hour % 12 == 0 ? 12 : d.hour % 12);
        } else if (e == "MI") {
            out += two(d.minute);
        } else if (e == "SS") {
            out += two(d.second);
        } else if (e.compare(0, 2, "FF") == 0) {
            int digits = e.size() == 3 ? e[2] - '0' : 6;
            std::snprintf(buf, sizeof buf, "%09d", d.fraction);
            out += std::string(buf, size_t(digits));
        } else if (e == "AM" || e == "PM") {
            out += d.hour < 12 ? "AM" : "PM";
        }
    }
    return 0;
}

int64_t dayNumber(const DateTime& d) {
    // Civil-from-days inverse, with the era starting in March.
    int64_t y = d.year - (d.month <= 2);
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (d.month + (d.month > 2 ? -3 : 9)) + 2) / 5 + d.day - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 306 - 365; // day 0 is 0001-01-01
}

DateTime fromSeconds(int64_t secs) {
    // Whole days rounded down, so a time before 0001-01-01 is a day of year 0.
    int64_t days = secs / 86400, rest = secs % 86400;
    if (rest < 0) {
        --days;
        rest += 86400;
    }
    int64_t z = days + 306 + 365;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    DateTime d;
    d.day = int(doy - (153 * mp + 2) / 5 + 1);
    d.month = int(mp < 10 ? mp + 3 : mp - 9);
    d.year = int(yoe + era * 400 + (d.month <= 2));
    d.hour = int(rest / 3600);
    d.minute = int(rest / 60 % 60);
    d.second = int(rest % 60);
    return d;
}

namespace {

std::string roman(int n) {
    static const std::pair<int, const char*> parts[] = {
        {1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"},
        {40, "XL"},  {10, "X"},   {9, "IX"},  {5, "V"},    {4, "IV"},  {1, "I"}};
    std::string r;
    for (auto& [value, text] : parts)
        while (n >= value) {
            r += text;
            n -= value;
        }
    return r;
}

// Scientific notation as Oracle writes it: "1.23E+04".
std::string scientific(double a, int fracDigits, char dec) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*E", fracDigits, a);
    std::string t = buf;
    size_t e = t.find('E');
    std::string mant = t.substr(0, e), exp = t.substr(e + 1);
    for (char& c : mant)
        if (c == '.') c = dec;
    char sign = exp[0];
    std::string digits = exp.substr(1);
    while (digits.size() > 2 && digits[0] == '0') digits.erase(0, 1);
    return mant + "E" + sign + digits;
}

} // namespace

int formatNumber(double v, const std::string& fmtIn, const std::string& chars, std::string& out,
                 const std::string& currency) {
    std::string f = upperAscii(fmtIn);
    out.clear();
    bool fm = false;
    if (f.compare(0, 2, "FM") == 0) {
        fm = true;
        f.erase(0, 2);
    }
    char dec = chars.size() > 0 ? chars[0] : '.', grp = chars.size() > 1 ? chars[1] : ',';
    bool neg = v < 0;
    double a = std::fabs(v);
    // Roman numerals of 1 to 3999, right-aligned in 15 places.
    if (f == "RN") {
        bool lower = fmtIn.size() >= 2 && fmtIn[fmtIn.size() - 1] == 'n';
        int n = int(std::llround(v));
        if (n < 1 || n > 3999) {
            out.assign(15, '#');
            return 0;
        }
        std::string r = roman(n);
        if (lower)
            for (char& c : r) c = char(std::tolower(static_cast<unsigned char>(c)));
        out = fm ? r : std::string(15 - r.size(), ' ') + r;
        return 0;
    }
    // Text minimum: the shortest text, scientific past 64 characters or with TME.
    if (f == "TM" || f == "TM9" || f == "TME") {
        std::string t = numberText(v);
        if (f == "TME" || t.size() > 64) {
            std::string m = scientific(a, 15, dec);
            // Trailing zeros of the mantissa go.
            size_t e = m.find('E');
            size_t keep = e;
            while (keep > 0 && m[keep - 1] == '0') --keep;
            if (keep > 0 && m[keep - 1] == dec) --keep;
            out = (neg ? "-" : "") + m.substr(0, keep) + m.substr(e);
            return 0;
        }
        for (char& c : t)
            if (c == '.') c = dec;
        out = t;
        return 0;
    }
    // Scientific notation: one digit before the decimal character.
    if (f.size() > 4 && f.compare(f.size() - 4, 4, "EEEE") == 0) {
        std::string m = f.substr(0, f.size() - 4);
        size_t point = m.find_first_of(".D");
        if (m.find_first_not_of("90.D") != std::string::npos || m.empty()) return 1481;
        int fracDigits = point == std::string::npos ? 0 : int(m.size() - point - 1);
        std::string body = scientific(a, fracDigits, dec);
        if (neg) body.insert(0, "-");
        size_t width = f.size() + 1;
        out = fm || body.size() >= width ? body : std::string(width - body.size(), ' ') + body;
        return 0;
    }
    // V: the value times ten to the number of digits after it.
    if (size_t vpos = f.find('V'); vpos != std::string::npos) {
        int shift = 0;
        for (size_t k = vpos + 1; k < f.size(); ++k)
            if (f[k] == '9' || f[k] == '0') ++shift;
        if (f.find_first_of(".D") != std::string::npos) return 1481;
        f.erase(vpos, 1);
        return formatNumber(std::round(v * std::pow(10.0, shift)), (fm ? "FM" : "") + f, chars, out,
                            currency);
    }
    // L: the local currency symbol where $ would go.
    std::string symbol = "$";
    if (size_t l = f.find('L'); // the L element
        l != std::string::npos && (l == 0 || l == f.size() - 1 || (l == 1 && f[0] == 'S'))) {
        f[l] = '$';
        symbol = currency;
    }
    // Hexadecimal: X elements, optionally after zeros.
    if (!f.empty() && f.find_first_not_of("0X") == std::string::npos && f.back() == 'X') {
        if (neg || a >= 1.8e19) {
            out.assign(f.size() + 1, '#');
            return 0;
        }
        char buf[32];
        std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(std::llround(a)));
        std::string h = buf;
        if (h.size() > f.size()) {
            out.assign(f.size() + 1, '#');
            return 0;
        }
        size_t zeros = f.find('X'); // leading 0 elements pad with zeros
        std::string padded = std::string(f.size() - h.size(), zeros > 0 ? '0' : ' ') + h;
        out = fm ? (zeros > 0 ? padded : h) : " " + padded;
        return 0;
    }
    bool leadS = false, trailS = false, mi = false, pr = false, dollar = false;
    if (!f.empty() && f[0] == 'S') {
        leadS = true;
        f.erase(0, 1);
    }
    if (!f.empty() && f[0] == '$') {
        dollar = true;
        f.erase(0, 1);
    }
    bool trailDollar = false;
    if (!f.empty() && f.back() == '$') {
        trailDollar = true;
        f.pop_back();
    }
    if (f.size() >= 2 && f.compare(f.size() - 2, 2, "MI") == 0) {
        mi = true;
        f.erase(f.size() - 2);
    } else if (f.size() >= 2 && f.compare(f.size() - 2, 2, "PR") == 0) {
        pr = true;
        f.erase(f.size() - 2);
    } else if (!leadS && !f.empty() && f.back() == 'S') {
        trailS = true;
        f.pop_back();
    }
    size_t point = std::string::npos;
    int intDigits = 0, fracDigits = 0;
    for (size_t k = 0; k < f.size(); ++k) {
        char c = f[k];
        if (c == '9' || c == '0') {
            (point == std::string::npos ? intDigits : fracDigits)++;
        } else if (c == '.' || c == 'D') {
            if (point != std::string::npos) return 1481;
            point = k;
        } else if (c == ',' || c == 'G') {
            if (point != std::string::npos) return 1481;
        } else {
            return 1481;
        }
    }
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", fracDigits, decimalRound(a, fracDigits));
    std::string digitsText = buf;
    size_t dot = digitsText.find('.');
    std::string ip = digitsText.substr(0, dot),
                fp = dot == std::string::npos ? "" : digitsText.substr(dot + 1);
    if (ip == "0") ip.clear();
    size_t width = f.size() + 1 + (dollar || trailDollar ? 1 : 0);
    if (int(ip.size()) > intDigits) {
        out.assign(width, '#');
        return 0;
    }
    size_t firstZero = f.find('0');
    size_t intEnd = point == std::string::npos ? f.size() : point;
    if (ip.empty() && fp.empty() && (firstZero == std::string::npos || firstZero >= intEnd))
        ip.assign(1, '0');
    if (ip.empty() && fracDigits == 0) ip.assign(1, '0');
    // The integer part, right to left.
    std::string body;
    int next = int(ip.size()) - 1;
    for (size_t k = intEnd; k-- > 0;) {
        char c = f[k];
        if (c == '9' || c == '0') {
            if (next >= 0)
                body.insert(body.begin(), ip[size_t(next--)]);
            else
                body.insert(body.begin(), firstZero != std::string::npos && k >= firstZero ? '0' : ' ');
        } else {
            bool digitLeft = next >= 0 || (firstZero != std::string::npos && k > firstZero);
            body.insert(body.begin(), digitLeft ? grp : ' ');
        }
    }
    if (point != std::string::npos) {
        body += dec;
        body += fp;
    }
    if (fm) {
        size_t s = body.find_first_not_of(' ');
        body.erase(0, s == std::string::npos ? body.size() : s);
        if (point != std::string::npos) {
            // Trailing zeros of 9 positions go.
            size_t keep = body.size();
            for (size_t k = f.size(); k-- > point + 1 && keep > 0 && body[keep - 1] == '0' && f[k] == '9';)
                --keep;
            body.erase(keep);
        }
    }
    if (dollar) {
        size_t s = body.find_first_not_of(' ');
        body.insert(s == std::string::npos ? body.size() : s, symbol);
    }
    if (trailDollar) body += symbol;
    size_t s = body.find_first_not_of(' ');
    if (s == std::string::npos) s = body.size();
    if (leadS)
        body.insert(s, neg ? "-" : "+");
    else if (trailS)
        body += neg ? "-" : "+";
    else if (mi)
        body += neg ? "-" : (fm ? "" : " ");
    else if (pr)
        body = neg ? body.substr(0, s) + "<" + body.substr(s) + ">"
                   : (fm ? body : body.substr(0, s) + " " + body.substr(s) + " ");
    else if (neg)
        body.insert(s, "-");
    else if (!fm)
        body.insert(0, " ");
    out = body;
    return 0;
}

namespace {

// The model as a whole, before any text is read: 1821 for an element the
// reading does not know (or an unfinished quote), 1818 for HH24 with a
// meridian indicator, and Oracle's errors for a field named twice (1812 the
// year, 1813 the hour, 1816 the month, 1817 the day of the week, 1810 any
// other); else 0.
int checkReadModel(const std::string& f) {
    bool hh24 = false, meridian = false;
    std::set<std::string> seen;
    for (size_t i = 0; i < f.size();) {
        if (f[i] == '"') {
            size_t e = f.find('"', i + 1);
            if (e == std::string::npos) return 1821;
            i = e + 1;
            continue;
        }
        std::string_view e = element(f, i);
        if (e.empty()) {
            if (std::isalnum(static_cast<unsigned char>(f[i]))) return 1821;
            ++i;
            continue;
        }
        i += e.size();
        hh24 = hh24 || e == "HH24";
        meridian = meridian || e == "AM" || e == "PM";
        if (e == "X") continue;
        // The field an element reads, and the error for reading it twice.
        std::pair<std::string, int> field{std::string(e), 1810};
        if (e[0] == 'Y' || e[0] == 'R')
            field = {"year", 1812};
        else if (e[0] == 'H')
            field = {"hour", 1813};
        else if (e == "MM" || e == "MON" || e == "MONTH")
            field = {"month", 1816};
        else if (e == "DY" || e == "DAY")
            field = {"weekday", 1817};
        else if (e == "AM" || e == "PM")
            field = {"meridian", 1810};
        else if (e[0] == 'F')
            field = {"fraction", 1810};
        // A zone region names the zone's hours and minutes at once.
        if (e == "TZR" && !seen.insert("TZH").second) return 1810;
        if (e == "TZR") field = {"TZM", 1810};
        if (!seen.insert(field.first).second) return field.second;
    }
    return hh24 && meridian ? 1818 : 0;
}

// A month's or a day's name at the text's position (the full name, else its
// first three letters): its index, or -1.
int nameAt(const std::string& s, size_t& p, const char* const* names, int count) {
    std::string up = upperAscii(s.substr(p, 9));
    for (int k = 0; k < count; ++k) {
        std::string full = names[k];
        if (up.compare(0, full.size(), full) == 0) {
            p += full.size();
            return k;
        }
        if (up.compare(0, 3, full, 0, 3) == 0) {
            p += 3;
            return k;
        }
    }
    return -1;
}

} // namespace

int parseDate(const std::string& s, const std::string& f, DateTime& d) {
    d = DateTime{};
    if (int code = checkReadModel(f)) return code;
    // The clock gives the year and month the text leaves out; read only when needed.
    bool haveNow = false, gotYear = false, gotMonth = false;
    DateTime now;
    auto clock = [&]() -> const DateTime& {
        if (!haveNow) now = nowLocal(), haveNow = true;
        return now;
    };
    size_t i = 0, p = 0;
    bool pm = false, hour12 = false;
    // TZH and TZM in either order: the zone is put together at the end, the
    // minutes taking the hours' sign ("-00:30").
    int zoneSign = 1, zoneHours = -1, zoneMinutes = -1;
    // Once a field or punctuation has been read, a sign in front of a number
    // is punctuation as well ("10:-5:00" reads as 10:05:00); only the text's
    // first field can carry one, and then it is read as signed.
    bool started = false;
    auto skipBlank = [&] {
        while (p < s.size() && s[p] == ' ') ++p;
    };
    auto padded = [&](size_t from) {
        while (p < s.size() && p - from < 9 && s[p] == ' ') ++p;
    };
    auto number = [&](size_t maxDigits, int& v) -> int {
        skipBlank();
        bool neg = false;
        if (p < s.size() && (s[p] == '-' || s[p] == '+')) {
            if (started) {
                while (p < s.size() && (s[p] == '-' || s[p] == '+' || s[p] == ' ')) ++p;
            } else {
                neg = s[p] == '-';
                ++p;
            }
        }
        size_t start = p;
        v = 0;
        while (p < s.size() && p - start < maxDigits && s[p] >= '0' && s[p] <= '9')
            v = v * 10 + (s[p++] - '0');
        if (p == start) return 1858;
        if (neg) v = -v;
        return 0;
    };
    while (i < f.size()) {
        if (p >= s.size()) break;
        char c = f[i];
        if (c == '"') {
            size_t e = f.find('"', i + 1);
            if (e == std::string::npos) return 1821;
            std::string_view lit(f.data() + i + 1, e - i - 1);
            if (std::string_view(s).substr(p, lit.size()) != lit) return 1861;
            p += lit.size();
            i = e + 1;
            started = true;
            continue;
        }
        std::string_view e = element(f, i);
        if (e.empty()) {
            if (std::isalnum((unsigned char)c)) return 1821;
            // Punctuation in the model matches any punctuation in the input.
            if (std::isalnum((unsigned char)s[p])) return 1861;
            ++p;
            ++i;
            started = true;
            continue;
        }
        i += e.size();
        int v = 0, code = 0;
        if (e == "YYYY" || e == "RRRR") {
            if ((code = number(4, v))) return code;
            if (v < 1) return 1841;
            d.year = v;
            gotYear = true;
        } else if (e == "YYY" || e == "Y") {
            // The last digits of the year, the others the clock's.
            if ((code = number(e.size(), v))) return code;
            if (v < 0) return 1841;
            d.year = e == "Y" ? clock().year / 10 * 10 + v : clock().year / 1000 * 1000 + v;
            if (d.year < 1) return 1841;
            gotYear = true;
        } else if (e == "YY" || e == "RR") {
            if ((code = number(2, v))) return code;
            if (v < 0) return 1841;
            if (e == "RR")
                d.year = v < 50 ? 2000 + v : 1900 + v;
            else
                d.year = clock().year / 100 * 100 + v;
            if (d.year < 1) return 1841;
            gotYear = true;
        } else if (e == "MM") {
            if ((code = number(2, v))) return code;
            if (v < 1 || v > 12) return 1843;
            d.month = v;
            gotMonth = true;
        } else if (e == "MON" || e == "MONTH") {
            skipBlank();
            size_t from = p;
            int m = nameAt(s, p, kMonths, 12);
            if (m < 0) return 1843;
            d.month = m + 1;
            gotMonth = true;
            // MONTH pads its name with blanks to nine letters.
            if (e == "MONTH") padded(from);
        } else if (e == "DD") {
            if ((code = number(2, v))) return code;
            if (v < 1 || v > 31) return 1847;
            d.day = v;
        } else if (e == "HH24") {
            if ((code = number(2, v))) return code;
            if (v < 0 || v > 23) return 1850;
            d.hour = v;
        } else if (e == "HH" || e == "HH12") {
            if ((code = number(2, v))) return code;
            if (v < 1 || v > 12) return 1849;
            d.hour = v % 12;
            hour12 = true;
        } else if (e == "MI") {
            if ((code = number(2, v))) return code;
            if (v < 0 || v > 59) return 1851;
            d.minute = v;
        } else if (e == "SS") {
            if ((code = number(2, v))) return code;
            if (v < 0 || v > 59) return 1852;
            d.second = v;
        } else if (e.substr(0, 2) == "FF") {
            int frac = 0, n = 0;
            while (p < s.size() && std::isdigit((unsigned char)s[p])) {
                if (++n > 9) return 1880;
                frac = frac * 10 + (s[p++] - '0');
            }
            for (int k = n; k < 9; ++k) frac *= 10;
            d.fraction = frac;
        } else if (e == "AM" || e == "PM") {
            skipBlank();
            std::string up = upperAscii(s.substr(p, 2));
            if (up != "AM" && up != "PM") return 1855;
            pm = up == "PM";
            p += 2;
        } else if (e == "DY" || e == "DAY") {
            // A day's name, read and not checked against the date.
            skipBlank();
            size_t from = p;
            if (nameAt(s, p, kDays, 7) < 0) return 1846;
            if (e == "DAY") padded(from);
        } else if (e == "X") {
            if (s[p] == '.' || s[p] == ',') ++p;
        } else if (e == "TZR") {
            size_t start = p;
            while (p < s.size() && s[p] != ' ') ++p;
            std::string z = upperAscii(s.substr(start, p - start));
            // "+hh:mm": two digits each, no sign inside.
            int h = 0, m = 0;
            auto offset = [&] {
                size_t at = 1, mat = 4;
                return z.size() == 6 && (z[0] == '+' || z[0] == '-') && z[3] == ':' &&
                       digitsAt(z.data(), 3, at, 2, h) && at == 3 && digitsAt(z.data(), 6, mat, 2, m) &&
                       mat == 6;
            };
            if (z == "UTC" || z == "GMT" || z == "Z") {
                d.zone = 0;
            } else if (offset()) {
                if (m > 59) return 1875;
                d.zone = (z[0] == '-' ? -1 : 1) * (h * 60 + m);
                if (d.zone < -12 * 60 || d.zone > 14 * 60) return 1874;
            } else {
                return 1882;
            }
        } else if (e == "TZH") {
            skipBlank();
            int sign = 1;
            if (p < s.size() && (s[p] == '+' || s[p] == '-')) sign = s[p++] == '-' ? -1 : 1;
            bool was = started;
            started = true; // a second sign is punctuation
            code = number(2, v);
            started = was;
            if (code) return code;
            if (v > (sign < 0 ? 12 : 14)) return 1874;
            zoneSign = sign;
            zoneHours = v;
        } else if (e == "TZM") {
            if ((code = number(2, v))) return code;
            if (v < 0 || v > 59) return 1875;
            zoneMinutes = v;
        } else {
            return 1821;
        }
        started = true;
    }
    if (!gotYear) d.year = clock().year;
    if (!gotMonth) d.month = clock().month;
    skipBlank();
    if (p < s.size()) return 1830;
    if (zoneHours >= 0 || zoneMinutes >= 0) {
        d.zone = zoneSign * (std::max(zoneHours, 0) * 60 + std::max(zoneMinutes, 0));
        if (d.zone < -12 * 60 || d.zone > 14 * 60) return 1874;
    }
    // The meridian moves a 12-hour clock's hour only.
    if (pm && hour12) d.hour += 12;
    if (d.day > daysOfMonth(d.year, d.month)) return 1839;
    return 0;
}

int parseInterval(const std::string& text, bool yearToMonth, int leading, int fractional,
                  std::string& stored) {
    leading = std::clamp(leading, 0, 9);
    fractional = std::clamp(fractional, 0, 9);
    const char* s = text.data();
    size_t n = text.size(), p = 0;
    while (p < n && s[p] == ' ') ++p;
    while (n > p && s[n - 1] == ' ') --n;
    bool neg = false;
    if (p < n && (s[p] == '+' || s[p] == '-')) neg = s[p++] == '-';
    // The leading field: as many digits as there are (too many for the
    // precision is 1873, as Oracle says), then each further field.
    size_t from = p;
    while (p < n && s[p] >= '0' && s[p] <= '9') ++p;
    if (p == from) return 1867;
    size_t first = from;
    while (first + 1 < p && s[first] == '0') ++first;
    if (p - first > size_t(std::max(leading, 1)) || (leading == 0 && s[first] != '0')) return 1873;
    int64_t lead = std::strtoll(std::string(s + first, p - first).c_str(), nullptr, 10);
    auto field = [&](char before, int& out) {
        if (p >= n || s[p] != before) return false;
        ++p;
        return digitsAt(s, n, p, 2, out);
    };
    char buf[64];
    if (yearToMonth) {
        int months = 0;
        if (!field('-', months) || p != n) return 1867;
        if (months > 11) return 1843;
        if (lead == 0 && months == 0) neg = false;
        std::snprintf(buf, sizeof buf, "%c%0*lld-%02d", neg ? '-' : '+', std::max(leading, 1),
                      static_cast<long long>(lead), months);
        stored = buf;
        return 0;
    }
    int hour = 0, minute = 0, second = 0;
    if (!field(' ', hour) || !field(':', minute) || !field(':', second)) return 1867;
    int64_t nanos = 0;
    if (p < n && s[p] == '.') {
        ++p;
        int digits = 0;
        while (p < n && s[p] >= '0' && s[p] <= '9') {
            if (++digits > 9) return 1880;
            nanos = nanos * 10 + (s[p++] - '0');
        }
        for (int k = digits; k < 9; ++k) nanos *= 10;
    }
    if (p != n) return 1867;
    if (hour > 23) return 1850;
    if (minute > 59) return 1851;
    if (second > 59) return 1852;
    // The fraction rounded to the column's digits, which may carry into the days.
    int64_t unit = 1;
    for (int k = fractional; k < 9; ++k) unit *= 10;
    nanos = (nanos + unit / 2) / unit * unit;
    int64_t secs = ((lead * 24 + hour) * 60 + minute) * 60 + second + nanos / 1000000000;
    nanos %= 1000000000;
    int64_t days = secs / 86400;
    int64_t most = 1;
    for (int k = 0; k < std::max(leading, 1); ++k) most *= 10;
    if (days >= most || (leading == 0 && days > 0)) return 1873;
    if (secs == 0 && nanos == 0) neg = false;
    int len = std::snprintf(buf, sizeof buf, "%c%0*lld %02d:%02d:%02d", neg ? '-' : '+', std::max(leading, 1),
                            static_cast<long long>(days), int(secs / 3600 % 24), int(secs / 60 % 60),
                            int(secs % 60));
    if (fractional > 0) {
        char frac[16];
        std::snprintf(frac, sizeof frac, "%09lld", static_cast<long long>(nanos));
        std::snprintf(buf + len, sizeof buf - size_t(len), ".%.*s", fractional, frac);
    }
    stored = buf;
    return 0;
}

// ---- Row ids --------------------------------------------------------------------

namespace {
const char kRowidAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
char* put64(char* out, uint64_t v, int width) {
    for (int k = width - 1; k >= 0; --k) *out++ = kRowidAlphabet[(v >> (6 * k)) & 63];
    return out;
}
bool get64(const std::string& s, size_t from, int width, int64_t& v) {
    uint64_t r = 0;
    for (int k = 0; k < width; ++k) {
        const char* p = std::strchr(kRowidAlphabet, s[from + size_t(k)]);
        if (!p || !*p) return false;
        r = (r << 6) | uint64_t(p - kRowidAlphabet);
    }
    v = int64_t(r);
    return true;
}
} // namespace

void encodeRowid(int64_t object, int64_t schema, int64_t row, char out[kRowidLength]) {
    put64(put64(put64(out, uint64_t(object), 6), uint64_t(schema), 3), uint64_t(row), 9);
}

std::string encodeRowid(int64_t object, int64_t schema, int64_t row) {
    char buf[kRowidLength];
    encodeRowid(object, schema, row, buf);
    return std::string(buf, kRowidLength);
}

bool decodeRowid(const std::string& s, int64_t& object, int64_t& schema, int64_t& row) {
    return s.size() == 18 && get64(s, 0, 6, object) && get64(s, 6, 3, schema) && get64(s, 9, 9, row);
}

// ---- Declared types -------------------------------------------------------------

namespace {
DeclType parseDeclTypeText(const std::string& declIn);
} // namespace

// A write checks every value by its column's declared type: the last few
// declarations parsed are kept for the process, under a lock (not per
// thread: see formatDate).
DeclType parseDeclType(const std::string& decl) {
    struct Entry {
        std::string decl;
        DeclType type;
        bool used = false;
    };
    static std::mutex lock;
    static Entry recent[8];
    static unsigned next = 0;
    std::lock_guard<std::mutex> hold(lock);
    for (const Entry& e : recent)
        if (e.used && e.decl == decl) return e.type;
    Entry& e = recent[next++ % 8];
    e.decl = decl;
    e.type = parseDeclTypeText(decl);
    e.used = true;
    return e.type;
}

namespace {
DeclType parseDeclTypeText(const std::string& declIn) {
    DeclType t;
    std::string decl = upperAscii(declIn);
    for (size_t p; (p = decl.find("_TO_")) != std::string::npos;) decl.replace(p, 4, " TO ");
    std::string base = decl.substr(0, decl.find('('));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    int a = -1, b = INT32_MIN;
    size_t lp = decl.find('(');
    if (lp != std::string::npos) {
        a = std::atoi(decl.c_str() + lp + 1);
        size_t comma = decl.find(',', lp);
        if (comma != std::string::npos) b = std::atoi(decl.c_str() + comma + 1);
    }
    bool charSem = decl.find(" CHAR)") != std::string::npos || base.find(" CHAR") != std::string::npos;
    Column& c = t.col;
    c.form = SQLCS_IMPLICIT;
    if (base == "VARCHAR2" || base == "VARCHAR" || base == "VARCHAR2 CHAR" || base == "NVARCHAR2") {
        t.cls = TypeClass::Text;
        c.type = SQLT_CHR;
        t.length = a < 0 ? 1 : a;
        t.charSemantics = charSem || base == "NVARCHAR2";
        c.size = ub2(base == "NVARCHAR2" ? 2 * t.length : charSem ? 4 * t.length : t.length);
        if (base == "NVARCHAR2") c.form = SQLCS_NCHAR;
    } else if (base == "CHAR" || base == "NCHAR" || base == "CHAR CHAR") {
        t.cls = TypeClass::Char;
        c.type = SQLT_AFC;
        t.length = a < 0 ? 1 : a;
        t.charSemantics = charSem || base == "NCHAR";
        c.size = ub2(base == "NCHAR" ? 2 * t.length : charSem ? 4 * t.length : t.length);
        if (base == "NCHAR") c.form = SQLCS_NCHAR;
    } else if (base == "NUMBER" || base == "NUMERIC" || base == "DECIMAL") {
        t.cls = TypeClass::Number;
        c.type = SQLT_NUM;
        c.size = 22;
        c.precision = sb2(a < 0 ? 0 : a);
        c.scale = sb2(a < 0 ? -127 : b == INT32_MIN ? 0 : b);
    } else if (base == "INTEGER" || base == "INT" || base == "SMALLINT") {
        t.cls = TypeClass::Number;
        c.type = SQLT_NUM;
        c.size = 22;
        c.precision = 38;
        c.scale = 0;
    } else if (base == "FLOAT") {
        t.cls = TypeClass::Number;
        c.type = SQLT_NUM;
        c.size = 22;
        c.precision = sb2(a < 0 ? 126 : a);
        c.scale = -127;
    } else if (base == "DATE") {
        t.cls = TypeClass::Date;
        c.type = SQLT_DAT;
        c.size = 7;
    } else if (base == "RAW") {
        t.cls = TypeClass::Raw;
        c.type = SQLT_BIN;
        t.length = a;
        c.size = ub2(a < 0 ? 0 : a);
    } else if (base == "ROWID") {
        c.type = SQLT_RID;
        c.size = 10;
    } else if (base == "UROWID") {
        c.type = SQLT_RDD;
        c.size = ub2(a < 0 ? 4000 : a);
    } else if (base == "CLOB" || base == "NCLOB") {
        c.type = SQLT_CLOB;
        c.size = 4000;
        if (base == "NCLOB") c.form = SQLCS_NCHAR;
    } else if (base == "BLOB") {
        c.type = SQLT_BLOB;
        c.size = 4000;
    } else if (base == "BFILE") {
        c.type = SQLT_BFILEE;
        c.size = 530;
    } else if (base == "LONG") {
        c.type = SQLT_LNG;
        c.size = 0;
    } else if (base == "LONG RAW") {
        c.type = SQLT_LBI;
        c.size = 0;
    } else if (base == "BINARY_FLOAT") {
        c.type = SQLT_IBFLOAT;
        c.size = 4;
    } else if (base == "BINARY_DOUBLE") {
        c.type = SQLT_IBDOUBLE;
        c.size = 8;
    } else if (base == "MLSLABEL") {
        c.type = SQLT_LAB;
        c.size = 255;
    } else if (base == "TIMESTAMP" || base == "TIMESTAMP WITH TIME ZONE" ||
               base == "TIMESTAMP WITH LOCAL TIME ZONE") {
        c.type = base == "TIMESTAMP"                  ? SQLT_TIMESTAMP
                 : base == "TIMESTAMP WITH TIME ZONE" ? SQLT_TIMESTAMP_TZ
                                                      : SQLT_TIMESTAMP_LTZ;
        c.size = base == "TIMESTAMP WITH TIME ZONE" ? 13 : 11;
        c.scale = sb2(a < 0 ? 6 : a);
    } else if (base == "INTERVAL YEAR TO MONTH") {
        c.type = SQLT_INTERVAL_YM;
        c.size = 5;
        c.precision = sb2(a < 0 ? 2 : a);
    } else if (base == "INTERVAL DAY TO SECOND") {
        c.type = SQLT_INTERVAL_DS;
        c.size = 11;
        c.precision = sb2(a < 0 ? 2 : a);
        c.scale = sb2(b == INT32_MIN ? 6 : b);
    } else {
        t.cls = TypeClass::Text;
        c.type = SQLT_CHR;
        c.size = 4000;
        t.length = 4000;
    }
    return t;
}
} // namespace

bool withDecimalPoint(std::string& s, char decimal) {
    if (decimal == '.') return true;
    for (char& c : s) {
        if (c == '.') return false;
        if (c == decimal) c = '.';
    }
    return true;
}

namespace {
// A value as text. A TEXT value is read as stored (the database is UTF-8),
// which spares SQLite copying a bound text to add a terminator.
std::string_view valueText(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_TEXT) {
        const char* p = static_cast<const char*>(sqlite3_value_blob(v));
        return p ? std::string_view(p, size_t(sqlite3_value_bytes(v))) : std::string_view();
    }
    const char* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p ? std::string_view(p, size_t(sqlite3_value_bytes(v))) : std::string_view();
}
} // namespace

namespace {

// Digits after the decimal point of a number text; SIZE_MAX with an exponent.
size_t fractionDigits(const std::string& s, char decimal) {
    size_t n = 0;
    bool after = false;
    for (char ch : s) {
        if (ch == 'e' || ch == 'E') return SIZE_MAX;
        if (ch == decimal || ch == '.') {
            after = true;
        } else if (after && ch >= '0' && ch <= '9') {
            ++n;
        }
    }
    return n;
}

double powerOfTen(int e) {
    static const double exact[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    return e >= 0 && e <= 22 ? exact[e] : std::pow(10.0, e);
}

// A date text in the stored form "YYYY-MM-DD HH:MM:SS" exactly: read as the
// format model of that form reads it, with the same checks in the same order.
// False when the text has another shape (the model then reads it).
bool storedShapeDate(const std::string& s, DateTime& d, int& code) {
    static const char shape[] = "dddd-dd-dd dd:dd:dd";
    if (s.size() != sizeof shape - 1) return false;
    for (size_t k = 0; k < s.size(); ++k)
        if (shape[k] == 'd' ? (s[k] < '0' || s[k] > '9') : s[k] != shape[k]) return false;
    auto num = [&](size_t at, size_t len) {
        int v = 0;
        for (size_t k = at; k < at + len; ++k) v = v * 10 + (s[k] - '0');
        return v;
    };
    d = DateTime{};
    d.year = num(0, 4);
    d.month = num(5, 2);
    d.day = num(8, 2);
    d.hour = num(11, 2);
    d.minute = num(14, 2);
    d.second = num(17, 2);
    code = dateRangeError(d);
    return true;
}

} // namespace

int convertForColumn(sqlite3_context* ctx, sqlite3_value* v, const ColumnCheck& c, const DeclType& t,
                     std::string& detail, const Session& session) {
    const std::string& dateFormat = session.dateFormat;
    const char decimal = session.numericCharacters[0];
    auto columnName = [&] { return "\"" + c.owner + "\".\"" + c.table + "\".\"" + c.column + "\""; };
    int vt = sqlite3_value_type(v);
    bool null = vt == SQLITE_NULL || (vt == SQLITE_TEXT && sqlite3_value_bytes(v) == 0);
    if (null) {
        if (c.notNull) {
            detail = columnName();
            return c.update ? 1407 : 1400;
        }
        sqlite3_result_null(ctx);
        return 0;
    }
    switch (t.cls) {
    case TypeClass::Number: {
        Number n;
        // A text with no more decimals than the scale needs no rounding.
        bool exact = false;
        int p = t.col.precision, s = t.col.scale;
        if (vt == SQLITE_INTEGER) {
            n.i = sqlite3_value_int64(v);
        } else if (vt == SQLITE_FLOAT) {
            n.integer = false;
            n.d = sqlite3_value_double(v);
        } else {
            std::string text(valueText(v));
            if (!withDecimalPoint(text, decimal)) return 1722;
            if (int code = readNumber(text, n)) return code;
            exact = s >= 0 && s != -127 && !n.integer && fractionDigits(text, decimal) <= size_t(s);
        }
        if (s != -127 && p > 0) {
            double r = (n.integer && s >= 0) || exact ? n.value() : decimalRound(n.value(), s);
            if (std::fabs(r) >= powerOfTen(p - s)) return 1438;
            if (!n.integer || s < 0) {
                if (r == std::trunc(r) && std::fabs(r) < 9e15) {
                    n.integer = true;
                    n.i = int64_t(r);
                } else {
                    n.integer = false;
                    n.d = r;
                }
            }
        }
        n.result(ctx);
        return 0;
    }
    case TypeClass::Text:
    case TypeClass::Char: {
        // The length in bytes, or in characters under character semantics;
        // 12899 names the column when it is over the maximum.
        size_t actual = 0;
        auto tooLong = [&](std::string_view s) {
            actual = s.size();
            if (t.charSemantics) {
                actual = 0;
                for (unsigned char ch : s)
                    if ((ch & 0xC0) != 0x80) ++actual;
            }
            if (actual <= size_t(t.length)) return false;
            detail = columnName() + " (actual: " + std::to_string(actual) +
                     ", maximum: " + std::to_string(t.length) + ")";
            return true;
        };
        if (vt == SQLITE_TEXT && t.cls == TypeClass::Text) {
            // A text that fits is stored as it is.
            if (tooLong(valueText(v))) return 12899;
            sqlite3_result_value(ctx, v);
            return 0;
        }
        std::string s;
        if (vt == SQLITE_INTEGER)
            s = std::to_string(sqlite3_value_int64(v));
        else if (vt == SQLITE_FLOAT)
            s = numberText(sqlite3_value_double(v));
        else
            s.assign(valueText(v));
        if (tooLong(s)) return 12899;
        if (t.cls == TypeClass::Char) s.append(size_t(t.length) - actual, ' ');
        sqlite3_result_text(ctx, s.data(), int(s.size()), SQLITE_TRANSIENT);
        return 0;
    }
    case TypeClass::Raw: {
        // Hexadecimal text becomes bytes; bytes pass.
        std::string bytes;
        if (vt == SQLITE_BLOB) {
            bytes.assign(static_cast<const char*>(sqlite3_value_blob(v)), size_t(sqlite3_value_bytes(v)));
        } else {
            std::string hex(valueText(v));
            if (hex.size() % 2) hex.insert(hex.begin(), '0');
            for (size_t k = 0; k < hex.size(); k += 2) {
                int hi = std::isxdigit(static_cast<unsigned char>(hex[k]))
                             ? std::stoi(hex.substr(k, 1), nullptr, 16)
                             : -1;
                int lo = std::isxdigit(static_cast<unsigned char>(hex[k + 1]))
                             ? std::stoi(hex.substr(k + 1, 1), nullptr, 16)
                             : -1;
                if (hi < 0 || lo < 0) return 1465;
                bytes += char(hi * 16 + lo);
            }
        }
        if (t.length > 0 && bytes.size() > size_t(t.length)) {
            detail = columnName() + " (actual: " + std::to_string(bytes.size()) +
                     ", maximum: " + std::to_string(t.length) + ")";
            return 12899;
        }
        sqlite3_result_blob(ctx, bytes.data(), int(bytes.size()), SQLITE_TRANSIENT);
        return 0;
    }
    case TypeClass::Date: {
        if (vt == SQLITE_INTEGER || vt == SQLITE_FLOAT) {
            detail = "expected DATE got NUMBER";
            return 932;
        }
        std::string s(valueText(v));
        DateTime d;
        // The session's format first, then the stored form; a text of the
        // stored form's exact shape is read without the model.
        static const std::string storedFormat(kDefaultDateFormat);
        int code = 0;
        bool stored = dateFormat == storedFormat, shaped = false;
        if (stored) shaped = storedShapeDate(s, d, code);
        if (!shaped) code = parseDate(s, dateFormat, d);
        if (code && !stored) {
            int second = 0;
            shaped = storedShapeDate(s, d, second);
            if (!shaped) second = parseDate(s, storedFormat, d);
            if (second == 0) code = 0;
        }
        if (code) return code;
        if (shaped && vt == SQLITE_TEXT) {
            // Already the stored text.
            sqlite3_result_value(ctx, v);
            return 0;
        }
        std::string out = formatStoredDate(d);
        sqlite3_result_text(ctx, out.data(), int(out.size()), SQLITE_TRANSIENT);
        return 0;
    }
    default: break;
    }
    ub2 type = t.col.type;
    if (type == SQLT_INTERVAL_YM || type == SQLT_INTERVAL_DS) {
        std::string text = vt == SQLITE_INTEGER ? std::to_string(sqlite3_value_int64(v))
                           : vt == SQLITE_FLOAT ? numberText(sqlite3_value_double(v))
                                                : std::string(valueText(v));
        std::string out;
        if (int code = parseInterval(text, type == SQLT_INTERVAL_YM, t.col.precision, t.col.scale, out))
            return code;
        sqlite3_result_text(ctx, out.data(), int(out.size()), SQLITE_TRANSIENT);
        return 0;
    }
    if (type != SQLT_TIMESTAMP && type != SQLT_TIMESTAMP_TZ && type != SQLT_TIMESTAMP_LTZ) {
        sqlite3_result_value(ctx, v);
        return 0;
    }
    // Timestamps: the stored form, else the session's formats.
    std::string s(valueText(v));
    DateTime d;
    int code = readStoredStamp(s.data(), s.size(), d);
    if (code > 0) return code;
    if (code < 0) {
        code = parseDate(s, type == SQLT_TIMESTAMP ? session.timestampFormat : session.timestampTzFormat, d);
        if (code && type != SQLT_TIMESTAMP && parseDate(s, session.timestampFormat, d) == 0) code = 0;
        if (code) return code;
    }
    // The fraction rounded to the column's precision.
    int digits = std::clamp<int>(t.col.scale, 0, 9);
    int unit = 1;
    for (int k = digits; k < 9; ++k) unit *= 10;
    int64_t frac = (int64_t(d.fraction) + unit / 2) / unit * unit;
    if (frac >= 1000000000) {
        int zone = d.zone;
        d = fromSeconds(secondsOf(d) + 1);
        d.zone = zone;
        frac -= 1000000000;
    }
    d.fraction = int(frac);
    std::string out;
    if (type == SQLT_TIMESTAMP) {
        d.zone = kNoZone;
    } else {
        if (d.zone == kNoZone) d.zone = session.zone();
        // Kept in the database's zone, where it may fall outside the years kept.
        if (type == SQLT_TIMESTAMP_LTZ) d = inZone(d, kDbZoneMinutes);
    }
    // A fraction rounded up past 9999-12-31 23:59:59 is no date.
    if (int range = dateRangeError(d)) return range;
    if (type == SQLT_TIMESTAMP)
        out = formatStoredStamp(d, digits);
    else if (type == SQLT_TIMESTAMP_TZ)
        out = formatStoredStamp(d, digits) + " " + zoneText(d.zone);
    else
        out = formatStoredStamp(d, digits) + "Z";
    sqlite3_result_text(ctx, out.data(), int(out.size()), SQLITE_TRANSIENT);
    return 0;
}

} // namespace oci
