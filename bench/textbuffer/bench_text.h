// The generated text of the text-buffer benchmarks: lines of 20 to 120 units
// of SQL words, Japanese comments and tabs, joined with CR LF.
#pragma once

#include <cstdio>
#include <random>
#include <string>

namespace {

[[maybe_unused]] const int kLines = 1000000;

[[maybe_unused]] const std::u16string& Text() {
    static std::u16string text = [] {
        std::mt19937 rng(42);
        const char16_t* words[] = {
            u"select", u"from", u"where", u"order by", u"emp_no",       u"dept_name", u"sal",      u"=",
            u"and",    u"(",    u")",     u"'東京'",   u"nvl(comm, 0)", u"t1.",       u"hire_date"};
        const char16_t* notes[] = {u"社員の一覧を取り出す", u"部署ごとの集計", u"日付の条件は後で見直す",
                                   u"ここは索引を使う"};
        std::u16string t;
        t.reserve(static_cast<size_t>(kLines) * 72);
        for (int i = 0; i < kLines; i++) {
            size_t want = 20 + rng() % 101;
            std::u16string line;
            if (rng() % 8 == 0) {
                line = u"\t-- ";
                while (line.size() < want) line += notes[rng() % 4];
            } else {
                line = rng() % 3 == 0 ? u"\t\t" : u"";
                while (line.size() < want) {
                    line += words[rng() % 15];
                    line += u' ';
                }
            }
            line.resize(want);
            if (line.back() >= 0xD800 && line.back() <= 0xDBFF) line.back() = u'x';
            t += line;
            t += u"\r\n";
        }
        t.resize(t.size() - 2);
        return t;
    }();
    return text;
}

[[maybe_unused]] long ResidentKiB() {
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    long pages = 0, resident = 0;
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
    return resident * 4;
}

// Peak resident memory of the process in KiB.
[[maybe_unused]] long PeakKiB() {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return 0;
    char line[256];
    long kib = 0;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmHWM: %ld", &kib) == 1) break;
    std::fclose(f);
    return kib;
}

// A text's shape as the result of a benchmark: its lines and its units, a
// line end counted as one unit (as QTextDocument counts a block's end).
[[maybe_unused]] std::string TextShape(long lines, long long units) {
    return std::to_string(lines) + " lines, " + std::to_string(units) + " units";
}

// The shape of a text buffer's text (TextShape).
template <class Buffer> std::string BufferShape(const Buffer& d) {
    long lines = d.GetLineCount();
    return TextShape(lines, static_cast<long long>(d.m_totalLength) + lines - 1);
}

} // namespace
