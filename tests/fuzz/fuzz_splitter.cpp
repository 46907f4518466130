// SQL-like scripts of any UTF-16 units split to their end.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "editor/editdata.h"
#include "editor/sqlsplit.h"
#include "editor/sqltoken.h"
#include "fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2) {
        char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        text += c ? c : u' ';
    }
    CEditData d;
    if (d.InsertTextAtCaret(text.c_str()) != 0) return 0;
    SqlBuf buf{&theSqlStrToken, nullptr, 0, nullptr, 5};
    const int count = d.GetLineCount();
    int line = 0, calls = 0;
    while (line < count) {
        int next = GetNextSqlStatement(&buf, line, &d);
        calls++;
        fuzz_check(next > line && next <= count, "returned line");
        fuzz_check(calls <= count + 1, "calls");
        fuzz_check(buf.kind >= 0 && buf.kind <= 4, "kind");
        if (buf.firstToken) {
            size_t length = std::char_traits<char16_t>::length(buf.text);
            fuzz_check(buf.firstToken >= buf.text && buf.firstToken < buf.text + length, "first token");
        }
        line = next;
    }
    FreeSqlBuf(&buf);
    return 0;
}

std::string fuzz_generate(std::mt19937_64& rng) {
    static const char16_t* const pieces[] = {
        u"select ",  u"from t",   u";",         u"\n",          u"\r\n",     u"/",
        u"\n/\n",    u"@",        u"!",         u"REM ",        u"rem",      u"BEGIN ",
        u"END;",     u"DECLARE ", u"CREATE ",   u"OR REPLACE ", u"PACKAGE ", u"BODY ",
        u"TRIGGER ", u"TYPE ",    u"FUNCTION ", u"WITH ",       u"q'[",      u"]'",
        u"Q'{",      u"'",        u"''",        u"\"",          u"--",       u"/*",
        u"*/",       u"<<l>>",    u"desc ",     u"(",           u")",        u" ",
        u"\t",       u"\u3000",   u"社員",      u"\xD800",      u"\xDC00",   u"\U0001F600",
        u"x",        u"."};
    std::u16string s;
    size_t n = rng() % 120;
    for (size_t i = 0; i < n; i++) {
        if (rng() % 8 == 0)
            s += static_cast<char16_t>(1 + rng() % 0xFFFF);
        else
            s += pieces[rng() % (sizeof(pieces) / sizeof(pieces[0]))];
    }
    std::string bytes;
    for (char16_t c : s) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}
const uint64_t fuzz_default_count = 5000;
