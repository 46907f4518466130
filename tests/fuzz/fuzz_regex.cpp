// Regular expressions: the input is split into flags, a pattern and a
// subject; the pattern is compiled with and without the tree passes and
// searched in the subject as a plain string and as a subject of lines.
#include <string>
#include <vector>

#include "base/utf16.h"
#include "fuzz.h"
#include "regex/regex.h"
#include "regex/regex_internal.h"

namespace {

const char16_t kLineBreak[2] = {u'\n', 0};
const char16_t kNothing[1] = {0};

// Lines whose breaks read as LF of their own, as the editor's buffer presents them.
struct Lines {
    std::vector<std::u16string> lines;
    int64_t len(int64_t l) const { return static_cast<int64_t>(lines[static_cast<size_t>(l)].size()); }
    bool last(int64_t l) const { return l + 1 == static_cast<int64_t>(lines.size()); }
    const std::u16string& at(int64_t l) const { return lines[static_cast<size_t>(l)]; }
};

Lines* L(void* c) {
    return static_cast<Lines*>(c);
}
const char16_t* char_at(void* c, const RegexPos* p) {
    Lines* s = L(c);
    if (p->line < 0 || p->line >= static_cast<int64_t>(s->lines.size())) return kNothing;
    if (p->column < s->len(p->line) || s->last(p->line)) return s->at(p->line).c_str() + p->column;
    return kLineBreak;
}
const char16_t* line_text(void* c, int64_t line, int64_t* length) {
    Lines* s = L(c);
    if (line < 0 || line >= static_cast<int64_t>(s->lines.size())) return nullptr;
    *length = s->len(line);
    if (s->at(line).empty() && !s->last(line)) return kLineBreak;
    return s->at(line).c_str();
}
const char16_t* next_char(void* c, RegexPos* p) {
    Lines* s = L(c);
    const char16_t* t = s->at(p->line).c_str();
    if (p->column < s->len(p->line)) {
        int u;
        utf16_decode(t + p->column, &u);
        p->column += u;
    } else if (!s->last(p->line)) {
        p->line++;
        p->column = 0;
    }
    return char_at(c, p);
}
const char16_t* prev_char(void* c, RegexPos* p) {
    Lines* s = L(c);
    if (p->column > 0) {
        const char16_t* t = s->at(p->line).c_str();
        p->column -= (p->column >= 2 && utf16_is_low_surrogate(t[p->column - 1]) &&
                      utf16_is_high_surrogate(t[p->column - 2]))
                         ? 2
                         : 1;
    } else if (p->line > 0) {
        p->line--;
        p->column = s->len(p->line);
    } else {
        return kNothing;
    }
    return char_at(c, p);
}
const char16_t* next_line(void* c, RegexPos* p) {
    Lines* s = L(c);
    if (s->last(p->line)) return nullptr;
    p->line++;
    p->column = 0;
    return char_at(c, p);
}
int64_t distance(void* c, const RegexPos* a, const RegexPos* b) {
    Lines* s = L(c);
    if (a->line == b->line) return b->column - a->column;
    int64_t n = s->len(a->line) - a->column + 1;
    for (int64_t l = a->line + 1; l < b->line; ++l) n += s->len(l) + 1;
    return n + b->column;
}
int at_line_start(void*, const RegexPos* p) {
    return p->column == 0;
}

RegexPositionOps lines_ops(Lines* lines) {
    RegexPositionOps ops{};
    ops.context = lines;
    ops.char_at = char_at;
    ops.line_text = line_text;
    ops.next_char = next_char;
    ops.prev_char = prev_char;
    ops.next_line = next_line;
    ops.distance = distance;
    ops.at_line_start = at_line_start;
    return ops;
}

// A match boundary lies on a whole character: not inside a pair. (A CR LF
// pair is one line break positioned at its LF, so a boundary before that LF
// is the break's own position.)
bool whole_boundary(const std::u16string& t, int64_t i) {
    if (i < 0 || i > static_cast<int64_t>(t.size())) return false;
    if (i == 0 || i == static_cast<int64_t>(t.size())) return true;
    char16_t a = t[static_cast<size_t>(i - 1)], b = t[static_cast<size_t>(i)];
    return !(utf16_is_high_surrogate(a) && utf16_is_low_surrogate(b));
}

struct Found {
    int result;
    int start;
    int length;
};

Found search_str(Regex* re, const std::u16string& subject, int from) {
    Found f{0, -1, -1};
    f.result = regex_search_str(re, subject.c_str(), from, &f.start, &f.length);
    if (f.result == 1) {
        fuzz_check(f.start >= from && f.length >= 0 && f.start + f.length <= static_cast<int>(subject.size()),
                   "string match outside the subject");
        fuzz_check(whole_boundary(subject, f.start) && whole_boundary(subject, f.start + f.length),
                   "string match boundary inside a character");
    } else {
        fuzz_check(f.result == 0 || f.result == -2, "string search result");
    }
    return f;
}

bool plain_literal(const std::u16string& p) {
    if (p.empty()) return false;
    for (char16_t c : p)
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u' ' ||
              (c >= 0x3040 && c <= 0x9FFF)))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // A budget of 200,000 steps a search (the engine's own is 10,000,000,
    // some seconds of an instrumented build): every call must end within it,
    // whatever the pattern, in time proportional to it.
    regex_backtrack_budget = 200000;
    int flags = data[0] & (REGEX_IGNORE_CASE | REGEX_IGNORE_WIDTH);
    std::u16string units;
    for (size_t i = 1; i + 1 < size; i += 2) units += static_cast<char16_t>(data[i] | data[i + 1] << 8);
    size_t cut = units.find(u'\0');
    std::u16string pattern = units.substr(0, cut);
    std::u16string subject = cut == std::u16string::npos ? u"" : units.substr(cut + 1);
    for (char16_t& c : subject)
        if (c == 0) c = u'\n';
    if (pattern.size() > 2000 || subject.size() > 4000) return 0;

    Regex* opt = regex_compile(pattern.c_str(), flags);
    Regex* plain = regex_compile(pattern.c_str(), flags | REGEX_NO_OPTIMIZE);
    fuzz_check((opt == nullptr) == (plain == nullptr),
               "optimised and plain compilations disagree on validity");
    if (!opt) return 0;

    int from = subject.empty() ? 0 : data[0] >> 2;
    if (from > static_cast<int>(subject.size())) from = 0;
    // Searches start on a whole character, and not between CR and LF.
    while (!whole_boundary(subject, from) || (from > 0 && subject[static_cast<size_t>(from - 1)] == u'\r' &&
                                              subject[static_cast<size_t>(from)] == u'\n'))
        from++;
    Found a = search_str(opt, subject, from);
    Found b = search_str(plain, subject, from);
    if (a.result != -2 && b.result != -2) {
        fuzz_check(a.result == b.result, "optimised and plain searches disagree on a match");
        if (a.result == 1)
            fuzz_check(a.start == b.start && a.length == b.length, "optimised and plain spans differ");
    }
    if (plain_literal(pattern)) {
        Regex* lit = regex_compile_literal(pattern.c_str(), flags);
        if (lit) {
            Found c = search_str(lit, subject, from);
            if (a.result != -2 && c.result != -2) {
                fuzz_check(a.result == c.result, "literal and pattern disagree on a match");
                if (a.result == 1)
                    fuzz_check(a.start == c.start && a.length == c.length, "literal span differs");
            }
            regex_destroy(lit);
        }
    }

    // The same subject as lines.
    Lines lines;
    lines.lines.emplace_back();
    for (char16_t c : subject) {
        if (c == u'\n')
            lines.lines.emplace_back();
        else
            lines.lines.back() += c;
    }
    RegexPositionOps ops = lines_ops(&lines);
    RegexPos results[2][2];
    int found[2];
    Regex* both[2] = {opt, plain};
    for (int k = 0; k < 2; k++) {
        RegexPos start{0, 0}, end{0, 0};
        int r = regex_search(both[k], &ops, &start, &end, RegexPos{-1, 0});
        found[k] = r;
        results[k][0] = start;
        results[k][1] = end;
        fuzz_check(r == 0 || r == 1 || r == -2, "lines search result");
        if (r != 1) continue;
        for (const RegexPos* p : {&start, &end}) {
            fuzz_check(p->line >= 0 && p->line < static_cast<int64_t>(lines.lines.size()),
                       "lines match line");
            fuzz_check(p->column >= 0 && p->column <= lines.len(p->line), "lines match column");
            fuzz_check(whole_boundary(lines.at(p->line), p->column),
                       "lines match boundary inside a character");
        }
        fuzz_check(start.line < end.line || (start.line == end.line && start.column <= end.column),
                   "lines match ends before it starts");
    }
    if (found[0] != -2 && found[1] != -2) {
        fuzz_check(found[0] == found[1], "optimised and plain disagree over lines");
        if (found[0] == 1)
            fuzz_check(
                results[0][0].line == results[1][0].line && results[0][0].column == results[1][0].column &&
                    results[0][1].line == results[1][1].line && results[0][1].column == results[1][1].column,
                "optimised and plain spans differ over lines");
    }
    regex_destroy(opt);
    regex_destroy(plain);
    return 0;
}

std::string fuzz_generate(std::mt19937_64& rng) {
    static const char16_t* const pieces[] = {
        u"a",   u"b",    u"あ",    u"ア",   u"ｱ",          u"Ａ",     u".",      u"*",       u"+",
        u"?",   u"*?",   u"+?",    u"|",    u"(",          u")",      u"(?:",    u"[",       u"]",
        u"[^",  u"-",    u"^",     u"$",    u"\\b",        u"\\B",    u"\\w",    u"\\s",     u"\\d",
        u"\\K", u"{2}",  u"{1,3}", u"{0,}", u"\\1",        u"(?i)",   u"(?s)",   u"\\=A",    u"\\=z",
        u"\\n", u"\\r",  u"\r\n",  u"\n",   u"\U0001F600", u"\xD800", u"\xDC00", u"\\x{41}", u"(?=",
        u"(?!", u"(?<=", u"(?<!",  u"\\"};
    std::u16string pattern, subject;
    size_t n = 1 + rng() % 14;
    for (size_t i = 0; i < n; i++) pattern += pieces[rng() % (sizeof(pieces) / sizeof(pieces[0]))];
    size_t m = rng() % 30;
    for (size_t i = 0; i < m; i++) {
        const char16_t* p = pieces[rng() % 6];
        if (rng() % 5 == 0) p = pieces[38 + rng() % 5];
        subject += p;
    }
    std::string s(1, static_cast<char>(rng() % 256));
    auto put = [&](const std::u16string& t) {
        for (char16_t c : t) {
            s += static_cast<char>(c & 0xFF);
            s += static_cast<char>(c >> 8);
        }
    };
    put(pattern);
    s += std::string(2, '\0');
    put(subject);
    return s;
}
const uint64_t fuzz_default_count = 800;
