// The texts the grid's save puts into SQL, over any UTF-16 text.
// - A literal (MakeSqlLiteral) is one quoted string whose content is the
//   text, or NULL for an empty one; it is a value an object cell may hold.
// - An object cell's text the guard lets through (IsObjectValueText) is
//   written into the UPDATE as it stands, so it must be one value: read by
//   an SQL lexer it closes every quote, balances its parentheses, holds no
//   comment, no ";" and no bind, and the statement around it still ends in
//   its own "where rowid = :X0"; no character of it becomes such a sign in
//   the code page; with anything after it that is no part of a value, it is
//   refused.
// - A BFILE cell's text is read alike by the save (ParseBfileText) and the
//   BFILE dialog, and a locator written with blank-free words reads back.
#include <string>
#include <vector>

#include "app/dialogs/celldlgs.h"
#include "base/cp932.h"
#include "fuzz.h"
#include "grid/oragrid.h"

const uint64_t fuzz_default_count = 3000;

namespace {

struct Token {
    enum Kind { Word, Number, String, QuotedName, Bind, Comment, Punct, Unclosed } kind;
    size_t at, length;
};

bool Blank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}
bool Letter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' || c >= 0x80;
}
bool Digit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// SQL as the server reads it: blanks, "--" and block comments, quoted strings
// ('' inside one), quoted names, binds, words, numbers, single signs.
std::vector<Token> Lex(const std::u16string& s) {
    std::vector<Token> out;
    size_t i = 0;
    while (i < s.size()) {
        const size_t at = i;
        const char16_t c = s[i];
        if (Blank(c)) {
            ++i;
            continue;
        }
        if (c == u'-' && i + 1 < s.size() && s[i + 1] == u'-') {
            while (i < s.size() && s[i] != u'\n') ++i;
            out.push_back({Token::Comment, at, i - at});
        } else if (c == u'/' && i + 1 < s.size() && s[i + 1] == u'*') {
            size_t end = s.find(u"*/", i + 2);
            i = end == std::u16string::npos ? s.size() : end + 2;
            out.push_back({end == std::u16string::npos ? Token::Unclosed : Token::Comment, at, i - at});
        } else if (c == u'\'') {
            bool closed = false;
            for (++i; i < s.size(); ++i) {
                if (s[i] != u'\'') continue;
                if (i + 1 < s.size() && s[i + 1] == u'\'') {
                    ++i;
                    continue;
                }
                ++i;
                closed = true;
                break;
            }
            out.push_back({closed ? Token::String : Token::Unclosed, at, i - at});
        } else if (c == u'"') {
            size_t end = s.find(u'"', i + 1);
            i = end == std::u16string::npos ? s.size() : end + 1;
            out.push_back({end == std::u16string::npos ? Token::Unclosed : Token::QuotedName, at, i - at});
        } else if (c == u':' && i + 1 < s.size() && (Letter(s[i + 1]) || Digit(s[i + 1]))) {
            for (++i; i < s.size() && (Letter(s[i]) || Digit(s[i])); ++i) {
            }
            out.push_back({Token::Bind, at, i - at});
        } else if (Letter(c)) {
            while (i < s.size() && (Letter(s[i]) || Digit(s[i]) || s[i] == u'$' || s[i] == u'#')) ++i;
            out.push_back({Token::Word, at, i - at});
        } else if (Digit(c)) {
            while (i < s.size() && Digit(s[i])) ++i;
            out.push_back({Token::Number, at, i - at});
        } else {
            ++i;
            out.push_back({Token::Punct, at, 1});
        }
    }
    return out;
}

void CheckLiteral(const std::u16string& text) {
    const CString lit = MakeSqlLiteral(text.c_str());
    const std::u16string l = lit.GetString();
    if (text.empty()) {
        fuzz_check(l == u"NULL", "an empty text is NULL");
        return;
    }
    std::vector<Token> tokens = Lex(l);
    fuzz_check(tokens.size() == 1 && tokens[0].kind == Token::String && tokens[0].length == l.size(),
               "a literal is one quoted string");
    std::u16string inner;
    for (size_t i = 1; i + 1 < l.size(); ++i) {
        inner += l[i];
        if (l[i] == u'\'') ++i;
    }
    fuzz_check(inner == text, "a literal holds its text");
    fuzz_check(IsObjectValueText(lit.GetString()), "a literal is a value");
}

// text is one value for the UPDATE of an object column.
void CheckValue(const std::u16string& text) {
    std::vector<Token> tokens = Lex(text);
    int depth = 0;
    for (size_t k = 0; k < tokens.size(); ++k) {
        const Token& t = tokens[k];
        fuzz_check(t.kind != Token::Unclosed, "a quote or comment left open");
        fuzz_check(t.kind != Token::Comment, "a comment in a value");
        fuzz_check(t.kind != Token::Bind, "a bind in a value");
        if (t.kind == Token::String && k > 0 && tokens[k - 1].kind == Token::Word &&
            tokens[k - 1].at + tokens[k - 1].length == t.at)
            fuzz_check(false, "a string right after a word (a prefixed literal)");
        if (t.kind == Token::Punct) {
            const char16_t c = text[t.at];
            fuzz_check(c == u'(' || c == u')' || c == u',' || c == u'.' || c == u'+' || c == u'-',
                       "a sign that is no part of a value");
            depth += c == u'(' ? 1 : c == u')' ? -1 : 0;
            fuzz_check(depth >= 0, "a parenthesis closed that was not open");
        }
        // A character outside quotes whose code-page form is an ASCII sign
        // would be that sign to the server.
        if (t.kind == Token::Word)
            for (size_t i = t.at; i < t.at + t.length; ++i) {
                unsigned char bytes[2];
                if (text[i] >= 0x80 && cp932_table().from_unit(text[i], bytes) == 1 && bytes[0] < 0x80)
                    fuzz_check(bytes[0] == u'\\' || Letter(bytes[0]) || Digit(bytes[0]),
                               "a letter that is a sign in the code page");
            }
    }
    fuzz_check(depth == 0, "parentheses left open");

    const std::u16string sql = u"update \"O\".\"T\" \nset \"C\" = " + text + u" \nwhere rowid = :X0 \n";
    std::vector<Token> all = Lex(sql);
    fuzz_check(all.size() >= 4, "the statement's tokens");
    const size_t n = all.size();
    auto is = [&](size_t k, Token::Kind kind, const char16_t* word) {
        return all[k].kind == kind && sql.compare(all[k].at, all[k].length, word) == 0;
    };
    fuzz_check(is(n - 4, Token::Word, u"where") && is(n - 3, Token::Word, u"rowid") &&
                   is(n - 2, Token::Punct, u"=") && is(n - 1, Token::Bind, u":X0"),
               "the statement ends in its own key condition");
    for (size_t k = 0; k + 1 < n; ++k) fuzz_check(all[k].kind != Token::Bind, "a second bind");

    // Whatever follows a value that is no part of one makes it no value.
    for (const char16_t* tail :
         {u";", u"; drop table t", u" --", u" /* c */", u")", u"(", u" :X0", u" x", u"'"})
        fuzz_check(!IsObjectValueText((text + tail).c_str()), "a value with more after it");
}

// The BFILE text read by the save and by the dialog.
void CheckBfile(const std::u16string& text) {
    CString alias, file, dlgAlias, dlgFile;
    const bool save = ParseBfileText(text.c_str(), &alias, &file);
    const bool dialog = CBfileDlg::ParseValue(CString(text), &dlgAlias, &dlgFile);
    if (text.find(u'\0') == std::u16string::npos) {
        fuzz_check(save == dialog, "the save and the dialog read a locator alike");
        if (save) fuzz_check(alias == dlgAlias && file == dlgFile, "the same alias and file name");
    }
    if (save) fuzz_check(!alias.IsEmpty() && !file.IsEmpty(), "a locator's words are not empty");
}

bool Word(const std::u16string& w) {
    if (w.empty()) return false;
    for (char16_t c : w)
        if (Blank(c) || c == 0) return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text = fuzz_text16(data, size);
    CheckLiteral(text);
    if (IsObjectValueText(text.c_str())) CheckValue(text);
    CheckBfile(text);

    // The text as a locator's alias, file name and label, split at U+001F.
    size_t a = text.find(u'\x1F'), b = a == std::u16string::npos ? a : text.find(u'\x1F', a + 1);
    if (b != std::u16string::npos) {
        const std::u16string alias = text.substr(0, a), file = text.substr(a + 1, b - a - 1);
        const std::u16string label = text.substr(b + 1);
        if (Word(alias) && Word(file) && !label.empty()) {
            const std::u16string locator =
                u"<BFILE dir_alias:" + alias + u" file_name:" + file + u" " + label + u">";
            CString got, gotFile;
            fuzz_check(ParseBfileText(locator.c_str(), &got, &gotFile), "a locator reads");
            fuzz_check(got == CString(alias) && gotFile == CString(file), "a locator's words read back");
        }
    }
    return 0;
}

std::string fuzz_generate(std::mt19937_64& rng) {
    static const char16_t* const pieces[] = {u"SDO_GEOMETRY(",
                                             u"ADDR_T(",
                                             u"\"Q\".\"T\"(",
                                             u"(",
                                             u")",
                                             u",",
                                             u" ",
                                             u"'a''b'",
                                             u"'",
                                             u"''",
                                             u"NULL",
                                             u"null",
                                             u"-1.5e3",
                                             u"+2",
                                             u".5",
                                             u"0AFF",
                                             u"DEADBEEF",
                                             u"x",
                                             u";",
                                             u"--",
                                             u"/*",
                                             u"*/",
                                             u":X0",
                                             u"\"",
                                             u"\n",
                                             u"\t",
                                             u"社員",
                                             u"¥",
                                             u"<BFILE dir_alias:",
                                             u" file_name:",
                                             u"DIR",
                                             u"a.txt",
                                             u" update>",
                                             u"not found>",
                                             u"\x1F",
                                             u">",
                                             u"select",
                                             u"(select 1 from dual)",
                                             u"q'[x]'",
                                             u"N'x'",
                                             u"\u3000"};
    return fuzz_pieces16(rng, pieces, 24);
}
