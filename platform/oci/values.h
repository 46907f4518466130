// Oracle values over SQLite storage: numbers, dates, row ids, declared types
// and the conversion of values written to columns.
#pragma once

#include "internal.h"

#include <string>

namespace oci {

// Oracle's shortest text of a number: no trailing zeros, no leading zero.
std::string numberText(double v);
// numberText written to out when it is short and quick to find (integers, and
// fractions of at most 15 significant digits); its length, or 0 when only
// numberText gives it.
constexpr size_t kShortNumberText = 32;
size_t shortNumberText(double v, char* out);

struct Number {
    bool integer = true;
    int64_t i = 0;
    double d = 0;
    double value() const { return integer ? double(i) : d; }
    void result(sqlite3_context* ctx) const;
};
// Number text read exactly: 0, 1722 for text that is no number, 1426 for one the
// stand-in cannot keep exactly (more than 15 significant digits, not a 64-bit integer).
int readNumber(const std::string& s, Number& out);
inline bool parseNumber(const std::string& s, Number& out) {
    return readNumber(s, out) == 0;
}
// v rounded (half away from zero) or truncated to scale decimal places (scale
// may be negative), on the digits of v's shortest decimal text, not its binary value.
double decimalRound(double v, int scale, bool truncate = false);
// v at 15 significant digits: the results of arithmetic compare as their decimal text reads.
double significant15(double v);

constexpr int kNoZone = -100000;
struct DateTime {
    int year = 1, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    int fraction = 0;   // nanoseconds
    int zone = kNoZone; // minutes east of UTC, when the text named a zone
};
// The database's time zone (DBTIMEZONE), in minutes: values WITH LOCAL TIME ZONE are kept in it.
constexpr int kDbZoneMinutes = 0;
extern const char* const kDefaultDateFormat;
DateTime nowLocal();
int localOffsetMinutes();
std::string zoneText(int minutes);
// The days of a month (0 for a month that is none).
int daysOfMonth(int year, int month);
// 0 when every field of d is in the range the stand-in keeps (years 1 to 9999,
// a zone from -12:00 to +14:00), else the error of the first field outside it:
// 1841 year, 1843 month, 1847 day, 1850 hour, 1851 minute, 1852 second, 1839
// a day past the month's end, 1880 fraction, 1874 zone.
int dateRangeError(const DateTime& d);
// Dates are stored as "YYYY-MM-DD HH:MM:SS".
std::string formatStoredDate(const DateTime& d);
// Reads the stored form (a field of fewer digits reads too, never a sign):
// false for any other text and for a date out of range.
bool parseStoredDate(const std::string& s, DateTime& d);
bool parseStoredDate(const char* s, size_t n, DateTime& d);
// Timestamps are stored as "YYYY-MM-DD HH:MM:SS.ffffff" (at least six digits), then
// " +hh:mm" WITH TIME ZONE, or "Z" WITH LOCAL TIME ZONE (kept in the database's zone).
// readStoredStamp also reads stored dates; stamp tells whether a fraction was there.
// 0, -1 for text of another shape, or the error of a field out of range.
int readStoredStamp(const char* s, size_t n, DateTime& d, bool* stamp = nullptr);
bool parseStoredStamp(const std::string& s, DateTime& d, bool* stamp = nullptr);
std::string formatStoredStamp(const DateTime& d, int digits = 6);
// Seconds since 0001-01-01 of the date and time (zone and fraction ignored).
int64_t secondsOf(const DateTime& d);
// The same instant seen in another zone (d.zone must be set); fraction kept.
DateTime inZone(const DateTime& d, int zone);
// Format models; 0 or the ORA number of the failure.
int formatDate(const DateTime& d, const std::string& fmt, std::string& out, bool japanese = false);
// Days since 0001-01-01 of the proleptic Gregorian calendar, and back from seconds.
int64_t dayNumber(const DateTime& d);
DateTime fromSeconds(int64_t secs);
// A number by a number format model (9 0 , . G D $ L S MI PR FM X V EEEE RN TM); chars holds
// the decimal character and the group separator. 0 or the ORA number.
int formatNumber(double v, const std::string& fmt, const std::string& chars, std::string& out,
                 const std::string& currency = "$");
// Fixes the clock ("YYYY-MM-DD HH24:MI:SS") or returns it to the system's ("system").
bool setClock(const std::string& text);
// Text read by a date format model, as TO_DATE reads it; 0 or the ORA number.
// Punctuation in the model matches any punctuation in the text, and a sign
// between fields reads as punctuation; a signed first field is refused.
int parseDate(const std::string& s, const std::string& fmt, DateTime& d);
// Interval text ("[+|-]Y-M" YEAR TO MONTH, "[+|-]D HH:MI:SS[.F]" DAY TO SECOND)
// in the stored form of a column of that leading and fractional precision
// ("+01-02", "+01 02:03:04.000000"); 0 or the ORA number.
int parseInterval(const std::string& s, bool yearToMonth, int leading, int fractional, std::string& stored);
// TRUNC (or ROUND) of a date to the unit of a format element (YYYY, Q, MM, DD, D, IW, HH, MI);
// 0 or the ORA number.
int truncDate(DateTime& d, const std::string& fmt, bool round);

// Row ids: 18 characters of Oracle's base-64 alphabet.
constexpr size_t kRowidLength = 18;
std::string encodeRowid(int64_t object, int64_t schema, int64_t row);
void encodeRowid(int64_t object, int64_t schema, int64_t row, char out[kRowidLength]);
bool decodeRowid(const std::string& s, int64_t& object, int64_t& schema, int64_t& row);

// A declared column type as describe reports it (DeclType, internal.h).
DeclType parseDeclType(const std::string& decl);

// Converts v for the column (its declared type parsed as t) into ctx's result
// by the session's formats and zone; 0 or the ORA number with its detail text.
int convertForColumn(sqlite3_context* ctx, sqlite3_value* v, const ColumnCheck& c, const DeclType& t,
                     std::string& detail, const Session& s);
// Number text written with the decimal character as parseNumber reads it; false
// when it holds a '.' that is not the decimal character.
bool withDecimalPoint(std::string& s, char decimal);

} // namespace oci
