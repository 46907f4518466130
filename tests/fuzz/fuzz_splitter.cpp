// SQL-like scripts of any UTF-16 units split to their end. The buffer holds
// the script's lines (CR LF, CR and LF each end one); every call takes the
// lines from where the last one stopped, and its statement is exactly the
// text of those lines joined by LF, but for the edits the splitter makes: a
// "/" line that ends a statement is consumed, not kept; the ";" that ends a
// statement (on its last line) becomes a blank; a ";" or a LF at the very end
// goes; a statement ending in a double quote gets a blank after it. So the
// statements and the "/" lines between them give back the script, nothing
// lost and nothing repeated.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "editor/editdata.h"
#include "editor/sqlsplit.h"
#include "editor/sqltoken.h"
#include "fuzz.h"

namespace {

// The lines of text as a text buffer keeps them.
std::vector<std::u16string> lines_of(const std::u16string& text) {
    std::vector<std::u16string> out(1);
    for (size_t i = 0; i < text.size(); i++) {
        char16_t c = text[i];
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') i++;
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

std::u16string joined(const std::vector<std::u16string>& lines, size_t from, size_t to) {
    std::u16string s;
    for (size_t i = from; i < to; i++) {
        if (i > from) s += u'\n';
        s += lines[i];
    }
    return s;
}

bool starts_with_word(const char16_t* p, const char16_t* upper) {
    for (; *upper; ++p, ++upper) {
        char16_t c = *p >= u'a' && *p <= u'z' ? char16_t(*p - 32) : *p;
        if (c != *upper) return false;
    }
    return true;
}

enum class End { Keep, Semicolon, LineFeed };

// The statement the splitter makes of text: the ";" at blank (npos for
// none) made a blank, then the end as asked, then the blank after a quote.
std::u16string edited(std::u16string text, size_t blank, End end) {
    if (blank != std::u16string::npos) text[blank] = u' ';
    if (!text.empty()) {
        if (end == End::Semicolon && text.back() == u';') text.pop_back();
        if (end == End::LineFeed && text.back() == u'\n') text.pop_back();
    }
    if (!text.empty() && text.back() == u'"') text += u' ';
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text = fuzz_text16(data, size);
    CEditData d;
    if (d.InsertTextAtCaret(text.c_str()) != 0) return 0;
    const std::vector<std::u16string> lines = lines_of(text);
    const int count = d.GetLineCount();
    fuzz_check(count == static_cast<int>(lines.size()), "line count");
    for (int i = 0; i < count; i++)
        fuzz_check(std::u16string(d.GetLineText(i), static_cast<size_t>(d.GetLineLength(i))) ==
                       lines[static_cast<size_t>(i)],
                   "line text");

    SqlBuf buf{&theSqlStrToken, nullptr, 0, nullptr, 5};
    int line = 0;
    while (line < count) {
        const int next = GetNextSqlStatement(&buf, line, &d);
        fuzz_check(next > line && next <= count, "returned line");
        fuzz_check(buf.kind >= 0 && buf.kind <= 4, "kind");
        const std::u16string got(buf.text);
        const size_t first =
            buf.firstToken ? static_cast<size_t>(buf.firstToken - buf.text) : std::u16string::npos;
        fuzz_check(first == std::u16string::npos || first < got.size(), "first token inside the text");

        // A "/" line after the statement's first token ends it and is not
        // kept; one before any token is the statement's own text.
        const size_t from = static_cast<size_t>(line), to = static_cast<size_t>(next);
        std::u16string whole = joined(lines, from, to);
        if (to - from >= 2 && lines[to - 1] == u"/") {
            std::u16string before = joined(lines, from, to - 1);
            if (first != std::u16string::npos && first < before.size()) whole = before;
        }

        // The ending ";" made a blank can only be the first place where the
        // two differ (a ";" taken off the end can look the same when a blank
        // follows the quote before it).
        size_t blank = std::u16string::npos;
        for (size_t i = 0; i < whole.size() && i < got.size(); i++) {
            if (whole[i] == got[i]) continue;
            if (whole[i] == u';' && got[i] == u' ') blank = i;
            break;
        }
        // Client commands and scripts lose a last ";"; a WITH that declares a
        // function may too (the splitter knows which it was); the others a
        // last LF.
        std::vector<End> ends;
        if (buf.kind == 3 || buf.kind == 4) {
            ends = {End::Semicolon};
        } else {
            ends = {End::LineFeed};
            if (buf.kind == 2 && first != std::u16string::npos && starts_with_word(buf.firstToken, u"WITH"))
                ends = {End::LineFeed, End::Semicolon, End::Keep};
        }
        bool ok = false, blanked = false;
        for (End end : ends) {
            if (got == edited(whole, std::u16string::npos, end)) ok = true;
            if (!ok && blank != std::u16string::npos && got == edited(whole, blank, end)) ok = blanked = true;
            if (ok) break;
        }
        if (!ok) {
            std::fprintf(stderr, "lines %d..%d, kind %d: statement of %zu units, its lines %zu\n", line, next,
                         buf.kind, got.size(), whole.size());
            fuzz_check(false, "the statement is not the text of its lines");
        }
        if (blanked) {
            const size_t lastLine = whole.rfind(u'\n');
            fuzz_check(lastLine == std::u16string::npos || blank > lastLine,
                       "the ending ';' is on the last line");
            fuzz_check(buf.kind != 3 && buf.kind != 4, "a client command ended at a ';'");
        }
        if (first != std::u16string::npos && (got[first] == u'@' || got[first] == u'!'))
            fuzz_check(buf.kind == (got[first] == u'@' ? 4 : 3), "a script call or client command");
        line = next;
    }
    fuzz_check(line == count, "the script is used up");
    FreeSqlBuf(&buf);
    fuzz_check(buf.kind == 5 && !buf.text && buf.capacity == 0, "freed");
    return 0;
}

std::string fuzz_generate(std::mt19937_64& rng) {
    static const char16_t* const pieces[] = {
        u"select ", u"from t",      u";",        u"\n",     u"\r\n",     u"/",      u"\n/\n",
        u"@",       u"!",           u"REM ",     u"rem",    u"BEGIN ",   u"END;",   u"DECLARE ",
        u"CREATE ", u"OR REPLACE ", u"PACKAGE ", u"BODY ",  u"TRIGGER ", u"TYPE ",  u"FUNCTION ",
        u"WITH ",   u"q'[",         u"]'",       u"Q'{",    u"'",        u"''",     u"\"",
        u"--",      u"/*",          u"*/",       u"<<l>>",  u"desc ",    u"(",      u")",
        u" ",       u"\t",          u"\u3000",   u"社員",   u"\xD800",   u"\xDC00", u"\U0001F600",
        u"x",       u".",           u"\r",       u"; -- c", u"\";"};
    std::u16string s;
    size_t n = rng() % 120;
    for (size_t i = 0; i < n; i++) {
        if (rng() % 8 == 0)
            s += static_cast<char16_t>(1 + rng() % 0xFFFF);
        else
            s += pieces[rng() % (sizeof(pieces) / sizeof(pieces[0]))];
    }
    return fuzz_bytes16(s);
}
const uint64_t fuzz_default_count = 5000;
