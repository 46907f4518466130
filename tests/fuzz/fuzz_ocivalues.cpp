// The client stand-in's value parsers: dates by format models, the stored
// forms of dates and timestamps, intervals and numbers, and date formatting.
// The first byte chooses what the rest is. Checks: an accepted value is in
// the range the stand-in keeps (or Oracle's error names why not); what is
// stored reads back the same; a date written by a model of separated
// elements reads back through the same model to the same text, and to the
// same value when the model names every field.
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "fuzz.h"
#include "platform/oci/values.h"

namespace {

using oci::DateTime;

// The models the stand-in itself uses, for a text without a model of its own.
const char* const kModels[] = {"YYYY-MM-DD HH24:MI:SS",
                               "YYYY-MM-DD HH24:MI:SS.FF",
                               "DD-MON-RR",
                               "DD-MON-RR HH.MI.SSXFF AM",
                               "DD-MON-RR HH.MI.SSXFF AM TZR",
                               "YYYY/MM/DD",
                               "HH24:MI:SS",
                               "YYYY-MM-DD HH:MI AM",
                               "DY DD MONTH YYYY",
                               "RRRR-MM-DD\"T\"HH24:MI:SS.FF3 TZH:TZM"};

bool SameDate(const DateTime& a, const DateTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
           a.minute == b.minute && a.second == b.second;
}

// The stored forms of an accepted value read back as that value.
void CheckStored(const DateTime& d) {
    fuzz_check(oci::dateRangeError(d) == 0, "an accepted date is in range");
    DateTime back;
    fuzz_check(oci::parseStoredDate(oci::formatStoredDate(d), back) && SameDate(back, d),
               "a stored date reads back");
    std::string stamp = oci::formatStoredStamp(d, 9);
    if (d.zone != oci::kNoZone) {
        stamp += ' ';
        stamp += oci::zoneText(d.zone);
    }
    bool fraction = false;
    fuzz_check(oci::readStoredStamp(stamp.data(), stamp.size(), back, &fraction) == 0 && fraction &&
                   SameDate(back, d) && back.fraction == d.fraction && back.zone == d.zone,
               "a stored timestamp reads back with its fraction and zone");
}

const std::set<int> kDateErrors = {1810, 1812, 1813, 1816, 1817, 1818, 1821, 1830, 1839, 1841, 1843, 1846,
                                   1847, 1849, 1850, 1851, 1852, 1855, 1858, 1861, 1874, 1875, 1880, 1882};

// Bytes read in turn; zeros past the end.
struct Bytes {
    const uint8_t* p;
    size_t n, at = 0;
    unsigned next() { return at < n ? p[at++] : 0; }
    unsigned wide() { return next() << 8 | next(); }
    std::string rest() {
        return std::string(reinterpret_cast<const char*>(p + std::min(at, n)), n - std::min(at, n));
    }
};

DateTime SomeDate(Bytes& b) {
    DateTime d;
    d.year = 1 + int(b.wide() % 9999);
    d.month = 1 + int(b.next() % 12);
    d.day = 1 + int(b.next() % unsigned(oci::daysOfMonth(d.year, d.month)));
    d.hour = int(b.next() % 24);
    d.minute = int(b.next() % 60);
    d.second = int(b.next() % 60);
    d.fraction = int((b.wide() << 16 | b.wide()) % 1000000000u);
    unsigned z = b.wide();
    d.zone = z % 3 == 0 ? oci::kNoZone : int(z % (26 * 60 + 1)) - 12 * 60;
    return d;
}

// A model of elements (each field at most once) between separators, the
// date written by it and read back.
void RoundTrip(Bytes& b) {
    DateTime d = SomeDate(b);
    static const std::vector<std::vector<const char*>> fields = {{"YYYY", "RRRR", "YYY", "YY", "RR", "Y"},
                                                                 {"MM", "MON", "MONTH", "Mon", "month"},
                                                                 {"DD"},
                                                                 {"HH24", "HH", "HH12"},
                                                                 {"MI"},
                                                                 {"SS"},
                                                                 {"FF", "FF3", "FF6", "FF9", "FF1"},
                                                                 {"AM", "PM"},
                                                                 {"DY", "DAY", "Dy"},
                                                                 {"TZH"},
                                                                 {"TZM"},
                                                                 {"TZR"},
                                                                 {"X"}};
    static const char separators[] = " -/:.,;";
    std::vector<std::string> chosen;
    unsigned mask = b.wide();
    for (size_t k = 0; k < fields.size(); ++k)
        if (mask >> k & 1) chosen.push_back(fields[k][b.next() % fields[k].size()]);
    // Their order.
    for (size_t k = chosen.size(); k > 1; --k) std::swap(chosen[k - 1], chosen[b.next() % k]);
    std::string model;
    bool hh24 = false, hour12 = false, meridian = false, weekday = false, fullYear = false, month = false,
         day = false, minute = false, second = false, region = false, zoneParts = false, tzh = false,
         tzm = false;
    for (size_t k = 0; k < chosen.size(); ++k) {
        const std::string& e = chosen[k];
        model += e;
        // A zone region is read up to a blank.
        if (k + 1 < chosen.size()) model += e == "TZR" ? ' ' : separators[b.next() % (sizeof separators - 1)];
        hh24 |= e == "HH24";
        hour12 |= e == "HH" || e == "HH12";
        meridian |= e == "AM" || e == "PM";
        weekday |= e == "DY" || e == "DAY" || e == "Dy";
        fullYear |= e == "YYYY" || e == "RRRR";
        month |= e == "MM" || e == "MON" || e == "MONTH" || e == "Mon" || e == "month";
        day |= e == "DD";
        minute |= e == "MI";
        second |= e == "SS";
        region |= e == "TZR";
        tzh |= e == "TZH";
        tzm |= e == "TZM";
        zoneParts |= e == "TZH" || e == "TZM";
    }
    DateTime back;
    if (region && zoneParts) {
        fuzz_check(oci::parseDate("", model, back) == 1810,
                   "a zone region with zone hours or minutes reads none");
        return;
    }
    if (hh24 && meridian) {
        fuzz_check(oci::parseDate("", model, back) == 1818, "HH24 with AM or PM reads no date");
        return;
    }
    // What a model prints of fields it does not read cannot come back.
    if ((weekday && !(fullYear && month && day)) || (meridian && !hour12)) return;
    // TZH alone prints the sign of a zone's hours only: "-00" of -00:30 is +00.
    if (tzh && !tzm && d.zone != oci::kNoZone) d.zone = d.zone / 60 * 60;
    std::string text;
    fuzz_check(oci::formatDate(d, model, text) == 0, "a model of known elements writes");
    int code = oci::parseDate(text, model, back);
    if (code) std::fprintf(stderr, "model '%s' text '%s': ORA-%d\n", model.c_str(), text.c_str(), code);
    fuzz_check(code == 0, "a date written by a model reads back through it");
    CheckStored(back);
    std::string again;
    fuzz_check(oci::formatDate(back, model, again) == 0, "a date read writes");
    if (again != text)
        std::fprintf(stderr, "model '%s': '%s' reads back as '%s'\n", model.c_str(), text.c_str(),
                     again.c_str());
    fuzz_check(again == text, "it reads back to the same text");
    if (fullYear && month && day && (hh24 || (hour12 && meridian)) && minute && second)
        fuzz_check(SameDate(back, d), "a model of every field reads back the same date");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 4096) return 0;
    Bytes b{data, size};
    const unsigned mode = b.next() % 6;
    switch (mode) {
    case 0: { // a text by a model: "model\ntext", else one of ours
        std::string rest = b.rest(), model, text;
        size_t nl = rest.find('\n');
        if (nl == std::string::npos) {
            model = kModels[size % std::size(kModels)];
            text = rest;
        } else {
            model = rest.substr(0, nl);
            text = rest.substr(nl + 1);
        }
        DateTime d;
        int code = oci::parseDate(text, model, d);
        fuzz_check(code == 0 || kDateErrors.count(code), "a refused date names Oracle's date error");
        if (code) return 0;
        CheckStored(d);
        std::string out;
        fuzz_check(oci::formatDate(d, model, out) == 0, "a model that reads also writes");
        return 0;
    }
    case 1: RoundTrip(b); return 0;
    case 2: { // the stored form of a timestamp
        std::string text = b.rest();
        DateTime d;
        int code = oci::readStoredStamp(text.data(), text.size(), d);
        fuzz_check(code <= 0 || kDateErrors.count(code), "a refused stored value names Oracle's error");
        if (code == 0) CheckStored(d);
        return 0;
    }
    case 3: { // an interval of a column's precisions
        bool yearToMonth = b.next() & 1;
        int leading = int(b.next() % 10), fractional = int(b.next() % 10);
        std::string text = b.rest(), stored, again;
        int code = oci::parseInterval(text, yearToMonth, leading, fractional, stored);
        fuzz_check(code == 0 || code == 1843 || code == 1850 || code == 1851 || code == 1852 ||
                       code == 1867 || code == 1873 || code == 1880,
                   "a refused interval names Oracle's interval error");
        if (code) return 0;
        fuzz_check(oci::parseInterval(stored, yearToMonth, leading, fractional, again) == 0 &&
                       again == stored,
                   "a stored interval reads back as itself");
        return 0;
    }
    case 4: { // a number
        std::string text = b.rest();
        oci::Number n;
        int code = oci::readNumber(text, n);
        fuzz_check(code == 0 || code == 1722 || code == 1426, "a refused number is 1722 or 1426");
        if (code) return 0;
        fuzz_check(std::isfinite(n.value()) && std::fabs(n.value()) < 1e126,
                   "an accepted number is in range");
        oci::Number back;
        if (n.integer) {
            fuzz_check(oci::readNumber(std::to_string(n.i), back) == 0 && back.integer && back.i == n.i,
                       "an integer reads back");
        } else {
            std::string shown = oci::numberText(n.d);
            fuzz_check(oci::readNumber(shown, back) == 0 && back.value() == n.d,
                       "a number shown reads back as itself");
        }
        return 0;
    }
    default: { // any model writing a date in range
        DateTime d = SomeDate(b);
        std::string model = b.rest(), out, again;
        DateTime none;
        int reads = oci::parseDate("", model, none);
        int writes = oci::formatDate(d, model, out);
        fuzz_check(reads != 0 || writes == 0, "a model that reads also writes");
        fuzz_check(oci::formatDate(d, model, again) == writes && again == out,
                   "writing is the same each time");
        return 0;
    }
    }
}

std::string fuzz_generate(std::mt19937_64& rng) {
    static const char* const pieces[] = {"2020",   "-",      "01",
                                         "12",     "31",     " ",
                                         ":",      "59",     "60",
                                         "24",     "23",     "0000",
                                         "9999",   ".",      "5",
                                         "PM",     "AM",     "JAN",
                                         "MAY",    "+09:00", "Z",
                                         "-12:00", "YYYY",   "MM",
                                         "DD",     "HH24",   "HH",
                                         "MI",     "SS",     "FF",
                                         "TZH",    "TZM",    "MON",
                                         "DY",     "\n",     "1e5",
                                         "0.1",    "e",      "123456789012345",
                                         "9"};
    std::string s(1, char(rng() % 6));
    const size_t n = rng() % 24;
    for (size_t i = 0; i < n; ++i) {
        if (rng() % 10 == 0)
            s += char(rng() % 256);
        else
            s += pieces[rng() % std::size(pieces)];
    }
    return s;
}
const uint64_t fuzz_default_count = 20000;
