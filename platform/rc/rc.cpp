// The resource compiler's parser. Reads a UTF-8 resource script (#pragma
// code_page(65001)) with its #include, #define and #if lines (headers are read
// for their preprocessor lines only, as Windows' compiler reads .h files), and
// writes a C++ file holding each resource in Windows' binary layout, with a
// static registration of the table. Errors name the file and line and fail.
#include "compiler.h"
#include "win32/template_writer.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

struct Failure {
    std::string message;
};

// Only plain files are read: a device could be endless.
bool IsFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

struct Where {
    std::string file;
    int line = 0;
};

[[noreturn]] void Fail(const Where& w, const std::string& message) {
    throw Failure{w.file + ":" + std::to_string(w.line) + ": error: " + message};
}

// --- Text ----------------------------------------------------------------------------------------

std::u16string Utf16(const std::string& s, const Where& w) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp;
        size_t n;
        if (c < 0x80)
            cp = c, n = 1;
        else if ((c & 0xE0) == 0xC0)
            cp = c & 0x1F, n = 2;
        else if ((c & 0xF0) == 0xE0)
            cp = c & 0x0F, n = 3;
        else if ((c & 0xF8) == 0xF0)
            cp = c & 0x07, n = 4;
        else
            Fail(w, "invalid UTF-8");
        if (i + n > s.size()) Fail(w, "invalid UTF-8");
        for (size_t k = 1; k < n; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) Fail(w, "invalid UTF-8");
            cp = (cp << 6) | (d & 0x3F);
        }
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(char16_t(0xD800 + (cp >> 10)));
            out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
    }
    return out;
}

// --- Preprocessor ----------------------------------------------------------------------------------

struct Line {
    std::string text;
    Where where;
};

class Preprocessor {
public:
    std::vector<std::string> includeDirs;
    std::map<std::string, std::string> macros;
    std::set<std::string> files; // every file read, for the depfile

    std::vector<Line> Run(const std::string& path) {
        std::vector<Line> out;
        Read(path, false, out, Where{path, 0});
        return out;
    }

    // Expands object-like macros in text, repeatedly (a macro is not expanded inside itself).
    // Macros defined by one another can double the text at each level (#define B A A,
    // #define C B B, ...), so a few lines could ask for gigabytes: the text the macros
    // put in, over the whole script and its headers, is bounded far above what a real
    // script uses (this program's own script with the Win32 headers: under 5 KB).
    std::string Expand(const std::string& text, std::set<std::string>& active, const Where& w) const {
        std::string out;
        for (size_t i = 0; i < text.size();) {
            char c = text[i];
            if (c == '"') {
                size_t j = i + 1;
                while (j < text.size() && !(text[j] == '"' && (j + 1 >= text.size() || text[j + 1] != '"'))) {
                    if (text[j] == '"' || text[j] == '\\') ++j;
                    ++j;
                }
                out += text.substr(i, j + 1 - i);
                i = j + 1;
                continue;
            }
            if (isalpha(static_cast<unsigned char>(c)) || c == '_') {
                size_t j = i;
                while (j < text.size() && (isalnum(static_cast<unsigned char>(text[j])) || text[j] == '_'))
                    ++j;
                std::string id = text.substr(i, j - i);
                auto it = macros.find(id);
                if (it != macros.end() && !active.count(id)) {
                    active.insert(id);
                    std::string replaced = Expand(it->second, active, w);
                    expanded_ += replaced.size();
                    if (expanded_ > kMaxExpansion) Fail(w, "macros expand to more than 1 MB");
                    out += " " + replaced + " ";
                    active.erase(id);
                } else {
                    out += id;
                }
                i = j;
                continue;
            }
            if (isdigit(static_cast<unsigned char>(c))) {
                size_t j = i;
                while (j < text.size() && (isalnum(static_cast<unsigned char>(text[j])))) ++j;
                out += text.substr(i, j - i);
                i = j;
                continue;
            }
            out.push_back(c);
            ++i;
        }
        return out;
    }

private:
    std::string Find(const std::string& name, const std::string& from, bool angled, const Where& w) {
        std::vector<std::string> dirs;
        if (!angled) {
            size_t slash = from.rfind('/');
            dirs.push_back(slash == std::string::npos ? "." : from.substr(0, slash));
        }
        for (const std::string& d : includeDirs) dirs.push_back(d);
        for (const std::string& d : dirs) {
            std::string p = d + "/" + name;
            if (IsFile(p)) return p;
        }
        Fail(w, "cannot find include file \"" + name + "\"");
    }

    bool Exists(const std::string& name, const std::string&) {
        for (const std::string& d : includeDirs)
            if (IsFile(d + "/" + name)) return true;
        return false;
    }

    static std::string Trim(const std::string& s) {
        size_t a = s.find_first_not_of(" \t\r");
        if (a == std::string::npos) return "";
        size_t b = s.find_last_not_of(" \t\r");
        return s.substr(a, b - a + 1);
    }

    static std::string StripComments(const std::string& s, bool& inBlock) {
        std::string out;
        bool inString = false;
        for (size_t i = 0; i < s.size(); ++i) {
            if (inBlock) {
                if (s.compare(i, 2, "*/") == 0) {
                    inBlock = false;
                    ++i;
                }
                continue;
            }
            if (s[i] == '"') inString = !inString;
            if (!inString && s.compare(i, 2, "//") == 0) break;
            if (!inString && s.compare(i, 2, "/*") == 0) {
                inBlock = true;
                ++i;
                out.push_back(' ');
                continue;
            }
            out.push_back(s[i]);
        }
        return out;
    }

    long long Evaluate(const std::string& expr, const Where& w);

    static constexpr size_t kMaxExpansion = size_t(1) << 20;
    mutable size_t expanded_ = 0; // bytes the macros have put in so far

    int depth_ = 0;              // of #include
    std::set<std::string> once_; // files that said #pragma once

    void Read(const std::string& path, bool header, std::vector<Line>& out, const Where& from) {
        if (depth_ >= 32) Fail(from, "#include nested too deeply");
        struct Depth {
            int& d;
            ~Depth() { --d; }
        } depth{++depth_};
        // A header that says #pragma once is read once, however it is named:
        // the Win32 headers include one another, and reading each again at
        // every include made a script's cost grow with every #include line.
        std::error_code ec;
        std::string identity = std::filesystem::weakly_canonical(path, ec).string();
        if (ec) identity = path;
        if (once_.count(identity)) return;
        std::ifstream in(path, std::ios::binary);
        if (!in) Fail(from, "cannot read \"" + path + "\"");
        files.insert(path);
        bool isHeader = header || (path.size() > 2 && (path.compare(path.size() - 2, 2, ".h") == 0));
        std::string raw;
        int lineNo = 0;
        bool inBlock = false;
        // Conditional stack: whether each level is active, and whether a branch was taken.
        std::vector<std::pair<bool, bool>> conds;
        auto active = [&] {
            for (auto& c : conds)
                if (!c.first) return false;
            return true;
        };
        while (std::getline(in, raw)) {
            ++lineNo;
            Where w{path, lineNo};
            if (lineNo == 1 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) raw = raw.substr(3);
            while (!raw.empty() && raw.back() == '\r') raw.pop_back();
            while (!raw.empty() && raw.back() == '\\') {
                raw.pop_back();
                std::string more;
                if (!std::getline(in, more)) break;
                ++lineNo;
                while (!more.empty() && more.back() == '\r') more.pop_back();
                raw += more;
            }
            std::string text = Trim(StripComments(raw, inBlock));
            if (!text.empty() && text[0] == '#') {
                std::string rest = Trim(text.substr(1));
                size_t sp = rest.find_first_of(" \t(");
                std::string dir = rest.substr(0, sp);
                std::string arg = sp == std::string::npos ? "" : Trim(rest.substr(sp));
                if (dir == "if" || dir == "ifdef" || dir == "ifndef") {
                    bool v = false;
                    if (active()) {
                        if (dir == "ifdef")
                            v = macros.count(arg) != 0;
                        else if (dir == "ifndef")
                            v = macros.count(arg) == 0;
                        else
                            v = Evaluate(arg, w) != 0;
                    }
                    conds.push_back({v, v});
                } else if (dir == "elif") {
                    if (conds.empty()) Fail(w, "#elif without #if");
                    bool taken = conds.back().second;
                    conds.back().first = false;
                    bool outer = true;
                    for (size_t i = 0; i + 1 < conds.size(); ++i) outer = outer && conds[i].first;
                    if (!taken && outer && Evaluate(arg, w)) conds.back() = {true, true};
                } else if (dir == "else") {
                    if (conds.empty()) Fail(w, "#else without #if");
                    conds.back().first = !conds.back().second;
                    conds.back().second = true;
                } else if (dir == "endif") {
                    if (conds.empty()) Fail(w, "#endif without #if");
                    conds.pop_back();
                } else if (!active()) {
                } else if (dir == "define") {
                    size_t e = arg.find_first_of(" \t(");
                    std::string name = arg.substr(0, e);
                    if (e != std::string::npos && arg[e] == '(')
                        continue; // function-like macros are not used
                    macros[name] = e == std::string::npos ? "" : Trim(arg.substr(e));
                } else if (dir == "undef") {
                    macros.erase(arg);
                } else if (dir == "include") {
                    bool angled = !arg.empty() && arg[0] == '<';
                    if (arg.size() < 2) Fail(w, "bad #include");
                    std::string name = arg.substr(1, arg.find(angled ? '>' : '"', 1) - 1);
                    // A header's own system includes (<cstddef>, ...) hold nothing for scripts.
                    if (isHeader && angled && !Exists(name, path)) continue;
                    Read(Find(name, path, angled, w), true, out, w);
                } else if (dir == "pragma") {
                    if (arg == "once") {
                        once_.insert(identity);
                    } else if (arg.compare(0, 9, "code_page") == 0) {
                        size_t a = arg.find('('), b = arg.find(')');
                        std::string cp = a == std::string::npos ? "" : Trim(arg.substr(a + 1, b - a - 1));
                        if (cp != "65001")
                            Fail(w, "code page " + cp + " is not supported: scripts are UTF-8 (65001)");
                    }
                } else if (dir == "error") {
                    Fail(w, "#error " + arg);
                }
                continue;
            }
            if (!active() || isHeader || text.empty()) continue;
            out.push_back({text, w});
        }
        if (!conds.empty()) Fail(Where{path, lineNo}, "#if without #endif");
    }
};

// --- Tokens and expressions --------------------------------------------------------------------------

struct Token {
    enum Kind { Ident, Number, String, Punct, End } kind = End;
    std::string text;
    long long value = 0;
    Where where;
};

class Lexer {
public:
    Lexer(const std::vector<Line>& lines, const Preprocessor& pp) {
        for (const Line& l : lines) {
            std::set<std::string> active;
            std::string text = pp.Expand(l.text, active, l.where);
            Tokenize(text, l.where);
        }
        Token end;
        end.where = lines.empty() ? Where{} : lines.back().where;
        tokens_.push_back(end);
    }
    const Token& Peek(size_t ahead = 0) const { return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)]; }
    Token Next() {
        Token t = Peek();
        if (pos_ < tokens_.size() - 1) ++pos_;
        return t;
    }
    bool IsWord(const char* w, size_t ahead = 0) const {
        const Token& t = Peek(ahead);
        return t.kind == Token::Ident && Upper(t.text) == w;
    }
    bool IsPunct(const char* p) const { return Peek().kind == Token::Punct && Peek().text == p; }
    static std::string Upper(std::string s) {
        for (char& c : s) c = char(toupper(static_cast<unsigned char>(c)));
        return s;
    }

private:
    void Tokenize(const std::string& s, const Where& w) {
        for (size_t i = 0; i < s.size();) {
            char c = s[i];
            if (isspace(static_cast<unsigned char>(c))) {
                ++i;
                continue;
            }
            Token t;
            t.where = w;
            if (c == '"' || ((c == 'L' || c == 'u') && i + 1 < s.size() && s[i + 1] == '"')) {
                if (c != '"') ++i;
                size_t j = i + 1;
                std::string v;
                while (true) {
                    if (j >= s.size()) Fail(w, "unterminated string");
                    if (s[j] == '"') {
                        if (j + 1 < s.size() && s[j + 1] == '"') {
                            v.push_back('"');
                            j += 2;
                            continue;
                        }
                        break;
                    }
                    if (s[j] == '\\' && j + 1 < s.size()) {
                        char e = s[++j];
                        if (e == 'n')
                            v.push_back('\n');
                        else if (e == 't')
                            v.push_back('\t');
                        else if (e == 'r')
                            v.push_back('\r');
                        else if (e == '0')
                            v.push_back('\0');
                        else if (e == 'a')
                            v.push_back('\b');
                        else
                            v.push_back(e);
                        ++j;
                        continue;
                    }
                    v.push_back(s[j++]);
                }
                t.kind = Token::String;
                t.text = v;
                i = j + 1;
            } else if (isdigit(static_cast<unsigned char>(c))) {
                size_t j = i;
                while (j < s.size() && isalnum(static_cast<unsigned char>(s[j]))) ++j;
                std::string num = s.substr(i, j - i);
                while (!num.empty() &&
                       (num.back() == 'L' || num.back() == 'l' || num.back() == 'U' || num.back() == 'u'))
                    num.pop_back();
                char* end = nullptr;
                t.value = static_cast<long long>(strtoull(num.c_str(), &end, 0));
                if (!end || *end) Fail(w, "bad number \"" + s.substr(i, j - i) + "\"");
                t.kind = Token::Number;
                t.text = num;
                i = j;
            } else if (isalpha(static_cast<unsigned char>(c)) || c == '_') {
                size_t j = i;
                while (j < s.size() &&
                       (isalnum(static_cast<unsigned char>(s[j])) || s[j] == '_' || s[j] == '.'))
                    ++j;
                t.kind = Token::Ident;
                t.text = s.substr(i, j - i);
                i = j;
            } else {
                t.kind = Token::Punct;
                if (s.compare(i, 2, "<<") == 0 || s.compare(i, 2, ">>") == 0 || s.compare(i, 2, "||") == 0 ||
                    s.compare(i, 2, "&&") == 0 || s.compare(i, 2, "==") == 0 || s.compare(i, 2, "!=") == 0 ||
                    s.compare(i, 2, ">=") == 0 || s.compare(i, 2, "<=") == 0) {
                    t.text = s.substr(i, 2);
                    i += 2;
                } else {
                    t.text = std::string(1, c);
                    ++i;
                }
            }
            tokens_.push_back(t);
        }
    }
    std::vector<Token> tokens_;
    size_t pos_ = 0;
};

// Expressions of numbers, | & + - ~ ( ) and NOT (which removes bits from what is ORed).
struct Expr {
    static long long Wrap(unsigned long long v) { return static_cast<long long>(v); }
    Lexer& lx;
    long long notMask = 0;
    int depth = 0;

    long long Primary() {
        Token t = lx.Next();
        if (++depth > 256) Fail(t.where, "expression nested too deeply");
        struct Depth {
            int& d;
            ~Depth() { --d; }
        } guard{depth};
        if (t.kind == Token::Number) return t.value;
        if (t.kind == Token::Punct && t.text == "(") {
            long long v = Or();
            if (!lx.IsPunct(")")) Fail(lx.Peek().where, "expected )");
            lx.Next();
            return v;
        }
        if (t.kind == Token::Punct && t.text == "~") return ~Primary();
        if (t.kind == Token::Punct && t.text == "-")
            return Wrap(0ull - static_cast<unsigned long long>(Primary()));
        if (t.kind == Token::Punct && t.text == "!") return !Primary();
        if (t.kind == Token::Ident && Lexer::Upper(t.text) == "NOT") {
            notMask |= Primary();
            return 0;
        }
        if (t.kind == Token::Ident) Fail(t.where, "unknown name \"" + t.text + "\"");
        Fail(t.where, "expected a number");
    }
    long long Sum() {
        long long v = Primary();
        while (lx.IsPunct("+") || lx.IsPunct("-") || lx.IsPunct("*") || lx.IsPunct("/")) {
            std::string op = lx.Next().text;
            long long r = Primary();
            // Numbers wrap as the 32-bit values they stand for would.
            unsigned long long a = static_cast<unsigned long long>(v), b = static_cast<unsigned long long>(r);
            if (op == "+")
                v = Wrap(a + b);
            else if (op == "-")
                v = Wrap(a - b);
            else if (op == "*")
                v = Wrap(a * b);
            else if (r && !(r == -1 && v == LLONG_MIN))
                v /= r;
        }
        return v;
    }
    long long Shift() {
        long long v = Sum();
        while (lx.IsPunct("<<") || lx.IsPunct(">>")) {
            std::string op = lx.Next().text;
            long long r = Sum();
            unsigned long long a = static_cast<unsigned long long>(v);
            unsigned n = static_cast<unsigned>(r) & 63;
            v = op == "<<" ? Wrap(a << n) : v >> n;
        }
        return v;
    }
    long long And() {
        long long v = Shift();
        while (lx.IsPunct("&")) {
            lx.Next();
            v &= Shift();
        }
        return v;
    }
    long long Or() {
        long long v = And();
        while (lx.IsPunct("|")) {
            lx.Next();
            v |= And();
        }
        return v;
    }
};

long long Preprocessor::Evaluate(const std::string& expr, const Where& w) {
    // defined(X) and defined X first.
    std::string e;
    for (size_t i = 0; i < expr.size();) {
        if (expr.compare(i, 7, "defined") == 0) {
            size_t j = i + 7;
            while (j < expr.size() && (expr[j] == ' ' || expr[j] == '(')) ++j;
            size_t k = j;
            while (k < expr.size() && (isalnum(static_cast<unsigned char>(expr[k])) || expr[k] == '_')) ++k;
            e += macros.count(expr.substr(j, k - j)) ? " 1 " : " 0 ";
            while (k < expr.size() && (expr[k] == ' ' || expr[k] == ')')) ++k;
            i = k;
            continue;
        }
        e.push_back(expr[i++]);
    }
    std::set<std::string> active;
    std::string expanded = Expand(e, active, w);
    // Names left undefined count 0 in #if.
    std::string cleaned;
    for (size_t i = 0; i < expanded.size();) {
        if (isalpha(static_cast<unsigned char>(expanded[i])) || expanded[i] == '_') {
            while (i < expanded.size() &&
                   (isalnum(static_cast<unsigned char>(expanded[i])) || expanded[i] == '_'))
                ++i;
            cleaned += " 0 ";
            continue;
        }
        cleaned.push_back(expanded[i++]);
    }
    Preprocessor none;
    Lexer lx({Line{cleaned, w}}, none);
    Expr x{lx};
    long long v = x.Or();
    while (lx.IsPunct("==") || lx.IsPunct("!=") || lx.IsPunct("&&") || lx.IsPunct("||") || lx.IsPunct(">") ||
           lx.IsPunct("<") || lx.IsPunct(">=") || lx.IsPunct("<=")) {
        std::string op = lx.Next().text;
        long long r = x.Or();
        if (op == ">")
            v = v > r;
        else if (op == "<")
            v = v < r;
        else if (op == ">=")
            v = v >= r;
        else if (op == "<=")
            v = v <= r;
        else if (op == "==")
            v = v == r;
        else if (op == "!=")
            v = v != r;
        else if (op == "&&")
            v = v && r;
        else
            v = v || r;
    }
    return v;
}

// --- Resources ----------------------------------------------------------------------------------------

struct Resource {
    int type = 0;
    int id = 0;
    std::string name; // a string name instead of an id
    std::vector<uint8_t> data;
    Where where;
};

struct Writer {
    std::vector<uint8_t> b;
    void u8(unsigned v) { b.push_back(uint8_t(v)); }
    void u16(unsigned v) {
        u8(v & 0xFF);
        u8((v >> 8) & 0xFF);
    }
    void u32(unsigned long long v) {
        u16(unsigned(v & 0xFFFF));
        u16(unsigned((v >> 16) & 0xFFFF));
    }
    void str(const std::u16string& s) {
        for (char16_t c : s) u16(c);
        u16(0);
    }
    void align4() {
        while (b.size() % 4) u8(0);
    }
};

class Compiler {
public:
    Compiler(Lexer& lx) : lx_(lx) {}
    std::vector<Resource> resources;
    std::map<int, std::pair<std::u16string, Where>> strings;

    void Run() {
        while (lx_.Peek().kind != Token::End) Statement();
        // String blocks of 16.
        std::map<int, std::vector<std::u16string>> blocks;
        for (auto& [id, s] : strings) {
            auto& block = blocks[(id >> 4) + 1];
            block.resize(16);
            block[size_t(id & 15)] = s.first;
        }
        for (auto& [blockId, block] : blocks) {
            Resource r;
            r.type = 6;
            r.id = blockId;
            Writer w;
            for (const std::u16string& s : block) {
                w.u16(unsigned(s.size()));
                for (char16_t c : s) w.u16(c);
            }
            r.data = w.b;
            resources.push_back(r);
        }
    }

private:
    Lexer& lx_;
    int nest_ = 0; // of menu and version blocks
    struct Nest {
        Compiler* c;
        explicit Nest(Compiler* compiler) : c(compiler) {
            if (++c->nest_ > 64) Fail(c->lx_.Peek().where, "blocks nested too deeply");
        }
        ~Nest() { --c->nest_; }
    };

    long long Number() {
        Expr e{lx_};
        long long v = e.Or();
        return v & ~e.notMask;
    }
    // A style: ORed into def, NOT removing bits.
    unsigned long long Style(unsigned long long def) {
        Expr e{lx_};
        long long v = e.Or();
        return (def | static_cast<unsigned long long>(v)) & ~static_cast<unsigned long long>(e.notMask);
    }
    int Id(const Token& at) {
        long long v = Number();
        if (v < 1 || v > 65535) Fail(at.where, "id " + std::to_string(v) + " outside 1-65535");
        return int(v);
    }
    int ControlId() {
        long long v = Number();
        return int(v & 0xFFFF);
    }
    void Comma() {
        if (lx_.IsPunct(",")) lx_.Next();
    }
    bool AtNumberStart() {
        const Token& t = lx_.Peek();
        return t.kind == Token::Number || t.kind == Token::Ident ||
               (t.kind == Token::Punct && (t.text == "(" || t.text == "-" || t.text == "~"));
    }
    std::u16string Text() {
        Token t = lx_.Next();
        if (t.kind != Token::String) Fail(t.where, "expected a string");
        return Utf16(t.text, t.where);
    }
    bool Begin() {
        if (lx_.IsWord("BEGIN") || lx_.IsPunct("{")) {
            lx_.Next();
            return true;
        }
        return false;
    }
    bool End() {
        if (lx_.IsWord("END") || lx_.IsPunct("}")) {
            lx_.Next();
            return true;
        }
        return false;
    }
    void ExpectBegin() {
        if (!Begin()) Fail(lx_.Peek().where, "expected BEGIN");
    }
    void SkipBlock() {
        ExpectBegin();
        int depth = 1;
        while (depth > 0) {
            if (lx_.Peek().kind == Token::End) Fail(lx_.Peek().where, "missing END");
            if (Begin())
                ++depth;
            else if (End())
                --depth;
            else
                lx_.Next();
        }
    }
    void Add(Resource r) {
        for (const Resource& o : resources)
            if (o.type == r.type && o.id == r.id && o.name == r.name)
                Fail(r.where, "duplicate id " + (r.name.empty() ? std::to_string(r.id) : r.name));
        resources.push_back(std::move(r));
    }

    void Statement() {
        Token first = lx_.Peek();
        if (lx_.IsWord("STRINGTABLE")) {
            lx_.Next();
            while (!Begin()) { // memory options
                if (lx_.Peek().kind == Token::End) Fail(first.where, "missing BEGIN");
                lx_.Next();
            }
            while (!End()) {
                Token at = lx_.Peek();
                int id = Id(at);
                Comma();
                std::u16string s = Text();
                if (strings.count(id)) Fail(at.where, "duplicate id " + std::to_string(id));
                strings[id] = {s, at.where};
            }
            return;
        }
        if (lx_.IsWord("LANGUAGE")) {
            lx_.Next();
            Number();
            Comma();
            Number();
            return;
        }
        // id TYPE ...
        Resource r;
        r.where = first.where;
        if (first.kind == Token::Ident && lx_.Peek(1).kind == Token::Ident && IsType(lx_.Peek(1).text) &&
            !IsDefinedLike(first)) {
            r.name = Lexer::Upper(first.text);
            lx_.Next();
        } else if (first.kind == Token::String) {
            r.name = first.text;
            lx_.Next();
        } else {
            r.id = Id(first);
        }
        Token type = lx_.Next();
        std::string t = Lexer::Upper(type.text);
        if (t == "DIALOGEX" || t == "DIALOG") {
            Dialog(r, t == "DIALOGEX");
        } else if (t == "MENU" || t == "MENUEX") {
            Menu(r);
        } else if (t == "ACCELERATORS") {
            Accelerators(r);
        } else if (t == "BITMAP" || t == "ICON" || t == "CURSOR" || t == "RCDATA" || t == "HTML") {
            r.type = t == "BITMAP" ? 2 : t == "ICON" ? 14 : t == "CURSOR" ? 12 : t == "HTML" ? 23 : 10;
            if (lx_.Peek().kind == Token::String) {
                Token f = lx_.Next();
                // Beside the script first; only plain files (a device could be endless).
                std::string path = f.where.file.substr(0, f.where.file.rfind('/') + 1) + f.text;
                if (f.text.empty() || f.text[0] == '/' || !IsFile(path)) path = f.text;
                std::ifstream in;
                if (IsFile(path)) in.open(path, std::ios::binary);
                if (!in) Fail(f.where, "cannot read \"" + f.text + "\"");
                std::stringstream ss;
                ss << in.rdbuf();
                std::string bytes = ss.str();
                // A bitmap resource is the DIB alone: the file's 14-byte
                // header ("BM", sizes, offset) is not part of it.
                size_t skip = 0;
                if (r.type == 2 && bytes.size() >= 14 + 40 && bytes[0] == 'B' && bytes[1] == 'M') skip = 14;
                r.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(skip), bytes.end());
            } else {
                SkipBlock();
            }
            Add(r);
        } else if (t == "VERSIONINFO") {
            Version(r);
        } else if (t == "TOOLBAR") {
            ToolBar(r);
        } else if (t == "DLGINIT" || t == "DESIGNINFO" || t == "TEXTINCLUDE" || t == "AFX_DIALOG_LAYOUT") {
            r.type = t == "DLGINIT" ? 240 : 0;
            while (!lx_.IsWord("BEGIN") && !lx_.IsPunct("{")) {
                if (lx_.Peek().kind == Token::End) Fail(type.where, "missing BEGIN");
                lx_.Next();
            }
            if (t == "DLGINIT") {
                DlgInit(r);
                Add(r);
            } else {
                SkipBlock();
            }
        } else {
            Fail(type.where, "unknown resource type \"" + type.text + "\"");
        }
    }

    bool IsType(const std::string& s) {
        static const std::set<std::string> types = {
            "DIALOGEX",   "DIALOG",      "MENU",   "MENUEX",           "ACCELERATORS", "BITMAP",
            "ICON",       "CURSOR",      "RCDATA", "VERSIONINFO",      "TOOLBAR",      "DLGINIT",
            "DESIGNINFO", "TEXTINCLUDE", "HTML",   "AFX_DIALOG_LAYOUT"};
        return types.count(Lexer::Upper(s)) != 0;
    }
    bool IsDefinedLike(const Token&) { return false; }

    void Dialog(Resource& r, bool extended) {
        r.type = 5;
        int x = int(Number());
        Comma();
        int y = int(Number());
        Comma();
        int cx = int(Number());
        Comma();
        int cy = int(Number());
        unsigned long long helpId = 0;
        if (lx_.IsPunct(",")) {
            lx_.Next();
            helpId = static_cast<unsigned long long>(Number());
        }
        unsigned long long style =
            0x80000000ull | 0x00800000ull | 0x00080000ull; // WS_POPUP | WS_BORDER | WS_SYSMENU
        unsigned long long exStyle = 0;
        bool styleSet = false, captionSet = false;
        std::u16string caption, face, cls, menu;
        int menuId = 0;
        unsigned points = 0, weight = 0, italic = 0, charset = 1;
        bool font = false;
        while (!Begin()) {
            Token k = lx_.Next();
            std::string w = Lexer::Upper(k.text);
            if (w == "STYLE") {
                style = Style(0);
                styleSet = true;
            } else if (w == "EXSTYLE") {
                exStyle = Style(0);
            } else if (w == "CAPTION") {
                caption = Text();
                captionSet = true;
            } else if (w == "FONT") {
                font = true;
                points = unsigned(Number());
                Comma();
                face = Text();
                if (lx_.IsPunct(",")) {
                    lx_.Next();
                    weight = unsigned(Number());
                    Comma();
                    italic = unsigned(Number());
                    Comma();
                    charset = unsigned(Number());
                }
            } else if (w == "CLASS") {
                cls = Text();
            } else if (w == "MENU") {
                if (lx_.Peek().kind == Token::String)
                    menu = Text();
                else
                    menuId = int(Number());
            } else if (w == "LANGUAGE") {
                Number();
                Comma();
                Number();
            } else if (k.kind == Token::End) {
                Fail(k.where, "missing BEGIN");
            } else {
                Fail(k.where, "unknown dialog statement \"" + k.text + "\"");
            }
        }
        if (captionSet && !styleSet) style |= 0x00C00000ull; // WS_CAPTION
        if (font) style |= 0x40;                             // DS_SETFONT
        struct Item {
            unsigned long long style, exStyle, helpId;
            int x, y, cx, cy, id;
            std::u16string cls, text;
            int clsOrd = 0, textOrd = -1;
        };
        std::vector<Item> items;
        while (!End()) {
            Token k = lx_.Next();
            std::string w = Lexer::Upper(k.text);
            Item it{};
            const unsigned long long child = 0x40000000ull | 0x10000000ull; // WS_CHILD | WS_VISIBLE
            const unsigned long long tab = 0x00010000ull, group = 0x00020000ull;
            auto rect = [&] {
                it.x = int(Number());
                Comma();
                it.y = int(Number());
                Comma();
                it.cx = int(Number());
                Comma();
                it.cy = int(Number());
            };
            // The statement's default style and WS_CHILD | WS_VISIBLE, the
            // given style ORed in; NOT removes bits from both (NOT WS_VISIBLE
            // makes a hidden control). replaced: default bits a given style
            // takes the place of (a combo's CBS_SIMPLE: its type is the one given).
            auto tail = [&](unsigned long long def, unsigned long long replaced = 0) {
                it.style = def | child;
                if (lx_.IsPunct(",")) {
                    lx_.Next();
                    it.style = Style((def & ~replaced) | child);
                    if (lx_.IsPunct(",")) {
                        lx_.Next();
                        it.exStyle = Style(0);
                    }
                }
            };
            static const std::map<std::string, std::pair<int, unsigned long long>> textual = {
                {"LTEXT", {0x82, 0x0 | group}},
                {"RTEXT", {0x82, 0x2 | group}},
                {"CTEXT", {0x82, 0x1 | group}},
                {"PUSHBUTTON", {0x80, 0x0 | tab}},
                {"DEFPUSHBUTTON", {0x80, 0x1 | tab}},
                {"CHECKBOX", {0x80, 0x2 | tab}},
                {"AUTOCHECKBOX", {0x80, 0x3 | tab}},
                {"RADIOBUTTON", {0x80, 0x4}},
                {"STATE3", {0x80, 0x5 | tab}},
                {"AUTO3STATE", {0x80, 0x6 | tab}},
                {"GROUPBOX", {0x80, 0x7}},
                {"AUTORADIOBUTTON", {0x80, 0x9}},
                {"PUSHBOX", {0x80, 0xA | tab}}};
            static const std::map<std::string, std::pair<int, unsigned long long>> plain = {
                {"EDITTEXT", {0x81, 0x0 | 0x00800000ull | tab}},
                {"COMBOBOX", {0x85, 0x1 | tab}},
                {"LISTBOX", {0x83, 0x1 | 0x00800000ull | 0x00200000ull}},
                {"SCROLLBAR", {0x84, 0x0}}};
            if (auto t = textual.find(w); t != textual.end()) {
                it.text = Text();
                Comma();
                it.id = ControlId();
                Comma();
                rect();
                tail(t->second.second);
                it.clsOrd = t->second.first;
            } else if (auto p = plain.find(w); p != plain.end()) {
                it.id = ControlId();
                Comma();
                rect();
                tail(p->second.second, w == "COMBOBOX" ? 0x3 : 0);
                it.clsOrd = p->second.first;
            } else if (w == "ICON") {
                if (lx_.Peek().kind == Token::String)
                    it.text = Text();
                else
                    it.textOrd = int(Number());
                Comma();
                it.id = ControlId();
                Comma();
                it.x = int(Number());
                Comma();
                it.y = int(Number());
                it.cx = it.cy = 0;
                if (lx_.IsPunct(",")) {
                    lx_.Next();
                    it.cx = int(Number());
                    Comma();
                    it.cy = int(Number());
                }
                tail(0x3);
                it.clsOrd = 0x82;
            } else if (w == "CONTROL") {
                if (lx_.Peek().kind == Token::String)
                    it.text = Text();
                else
                    it.textOrd = int(Number());
                Comma();
                it.id = ControlId();
                Comma();
                Token c = lx_.Next();
                std::string cn = c.kind == Token::String ? c.text : c.text;
                static const std::map<std::string, int> ords = {{"BUTTON", 0x80},    {"EDIT", 0x81},
                                                                {"STATIC", 0x82},    {"LISTBOX", 0x83},
                                                                {"SCROLLBAR", 0x84}, {"COMBOBOX", 0x85}};
                auto o = ords.find(Lexer::Upper(cn));
                if (o != ords.end())
                    it.clsOrd = o->second;
                else
                    it.cls = Utf16(cn, c.where);
                Comma();
                it.style = Style(child);
                Comma();
                rect();
                if (lx_.IsPunct(",")) {
                    lx_.Next();
                    it.exStyle = Style(0);
                }
            } else if (k.kind == Token::End) {
                Fail(k.where, "missing END");
            } else {
                Fail(k.where, "unknown control \"" + k.text + "\"");
            }
            items.push_back(it);
        }
        tmplwrite::Dialog d;
        d.extended = extended;
        d.style = uint32_t(style);
        d.exStyle = uint32_t(exStyle);
        d.helpId = uint32_t(helpId);
        d.x = x, d.y = y, d.cx = cx, d.cy = cy;
        d.menu = menu;
        d.menuOrdinal = unsigned(menuId);
        d.className = cls;
        d.title = caption;
        d.font = font;
        d.pointSize = points, d.weight = weight, d.italic = italic, d.charset = charset;
        d.face = face;
        for (const Item& it : items) {
            tmplwrite::Control c;
            c.style = uint32_t(it.style);
            c.exStyle = uint32_t(it.exStyle);
            c.helpId = uint32_t(it.helpId);
            c.x = it.x, c.y = it.y, c.cx = it.cx, c.cy = it.cy;
            c.id = uint32_t(it.id);
            c.className = it.cls;
            c.classOrdinal = unsigned(it.clsOrd);
            c.text = it.text;
            c.textOrdinal = it.textOrd;
            d.controls.push_back(std::move(c));
        }
        r.data = tmplwrite::Write(d);
        Add(r);
    }

    // MFC's toolbar resource: version 1, button width and height, the count,
    // then each button's command id (0 for a separator).
    void ToolBar(Resource& r) {
        r.type = 241;
        int cx = int(Number());
        Comma();
        int cy = int(Number());
        ExpectBegin();
        std::vector<unsigned> ids;
        while (!End()) {
            Token k = lx_.Next();
            std::string word = Lexer::Upper(k.text);
            if (word == "BUTTON") {
                Token at = lx_.Peek();
                ids.push_back(unsigned(Id(at)));
            } else if (word == "SEPARATOR") {
                ids.push_back(0);
            } else if (k.kind == Token::End) {
                Fail(k.where, "missing END");
            } else {
                Fail(k.where, "expected BUTTON or SEPARATOR");
            }
        }
        if (cx < 1 || cx > 255 || cy < 1 || cy > 255) Fail(r.where, "bad toolbar button size");
        Writer w;
        w.u16(1);
        w.u16(unsigned(cx));
        w.u16(unsigned(cy));
        w.u16(unsigned(ids.size()));
        for (unsigned id : ids) w.u16(id);
        r.data = w.b;
        Add(r);
    }

    // A node of a version resource: length, value length, type (1 text, 0
    // binary), key, then the value and the children, each on 4 bytes.
    struct VersionNode {
        std::u16string key;
        bool text = true;
        std::vector<uint8_t> value;
        unsigned valueLength = 0; // in characters for text, bytes for binary
        std::vector<VersionNode> children;
    };
    static std::vector<uint8_t> Serialize(const VersionNode& n) {
        Writer w;
        w.u16(0);
        w.u16(n.valueLength);
        w.u16(n.text ? 1 : 0);
        w.str(n.key);
        w.align4();
        w.b.insert(w.b.end(), n.value.begin(), n.value.end());
        for (const VersionNode& c : n.children) {
            w.align4();
            std::vector<uint8_t> child = Serialize(c);
            w.b.insert(w.b.end(), child.begin(), child.end());
        }
        w.b[0] = uint8_t(w.b.size() & 0xFF);
        w.b[1] = uint8_t(w.b.size() >> 8);
        return w.b;
    }
    // Four version numbers "a, b, c, d" (missing ones 0) as the two DWORDs.
    std::pair<unsigned, unsigned> VersionNumbers(const Token& at) {
        unsigned v[4] = {0, 0, 0, 0};
        for (int i = 0; i < 4; ++i) {
            long long n = Number();
            if (n < 0 || n > 65535)
                Fail(at.where, "version number " + std::to_string(n) + " outside 0-65535");
            v[i] = unsigned(n);
            if (!lx_.IsPunct(",")) break;
            lx_.Next();
        }
        return {(v[0] << 16) | v[1], (v[2] << 16) | v[3]};
    }
    void VersionBlock(VersionNode& parent) {
        Nest guard(this);
        ExpectBegin();
        while (!End()) {
            Token k = lx_.Next();
            std::string word = Lexer::Upper(k.text);
            VersionNode n;
            if (word == "BLOCK") {
                n.key = Text();
                VersionBlock(n);
            } else if (word == "VALUE") {
                n.key = Text();
                const std::u16string key = n.key;
                // Strings, or numbers stored as WORDs (a trailing L makes a DWORD in Windows' compiler;
                // the translation pairs are WORDs).
                std::u16string textValue;
                bool isText = false;
                std::vector<uint8_t> bin;
                while (lx_.IsPunct(",")) {
                    lx_.Next();
                    if (lx_.Peek().kind == Token::String) {
                        while (lx_.Peek().kind == Token::String) textValue += Text(); // "a" "b" is "ab"
                        isText = true;
                    } else {
                        unsigned v = unsigned(Number());
                        bin.push_back(uint8_t(v & 0xFF));
                        bin.push_back(uint8_t((v >> 8) & 0xFF));
                    }
                }
                if (isText && !bin.empty()) Fail(k.where, "a version value mixes text and numbers");
                if (isText) {
                    // Scripts often end the text with "\0"; the terminator is written anyway.
                    while (!textValue.empty() && textValue.back() == 0) textValue.pop_back();
                    if (textValue.find(char16_t(0)) != std::u16string::npos)
                        Fail(k.where, "a version text holds a NUL");
                    Writer w;
                    w.str(textValue);
                    n.value = w.b;
                    n.valueLength = unsigned(textValue.size() + 1);
                    versionStrings_.push_back({Utf8(key), textValue, k.where});
                } else {
                    n.text = false;
                    n.value = bin;
                    n.valueLength = unsigned(bin.size());
                }
            } else if (k.kind == Token::End) {
                Fail(k.where, "missing END");
            } else {
                Fail(k.where, "expected BLOCK or VALUE");
            }
            parent.children.push_back(std::move(n));
        }
    }
    void Version(Resource& r) {
        r.type = 16;
        unsigned fixed[13] = {0xFEEF04BDu, 0x00010000u, 0, 0, 0, 0, 0x3F, 0, 0x40004, 1, 0, 0, 0};
        bool productSet = false;
        while (!Begin()) {
            Token k = lx_.Next();
            std::string word = Lexer::Upper(k.text);
            if (word == "FILEVERSION") {
                auto v = VersionNumbers(k);
                fixed[2] = v.first;
                fixed[3] = v.second;
                if (!productSet) fixed[4] = v.first, fixed[5] = v.second;
            } else if (word == "PRODUCTVERSION") {
                auto v = VersionNumbers(k);
                fixed[4] = v.first;
                fixed[5] = v.second;
                productSet = true;
            } else if (word == "FILEFLAGSMASK") {
                fixed[6] = unsigned(Number());
            } else if (word == "FILEFLAGS") {
                fixed[7] = unsigned(Number());
            } else if (word == "FILEOS") {
                fixed[8] = unsigned(Number());
            } else if (word == "FILETYPE") {
                fixed[9] = unsigned(Number());
            } else if (word == "FILESUBTYPE") {
                fixed[10] = unsigned(Number());
            } else if (k.kind == Token::End) {
                Fail(k.where, "missing BEGIN");
            } else {
                Fail(k.where, "unknown version statement \"" + k.text + "\"");
            }
        }
        VersionNode root;
        root.key = u"VS_VERSION_INFO";
        root.text = false;
        Writer fw;
        for (unsigned v : fixed) fw.u32(v);
        root.value = fw.b;
        root.valueLength = unsigned(fw.b.size());
        VersionBody(root);
        r.data = Serialize(root);
        if (!version.empty()) Fail(r.where, "a second VERSIONINFO");
        // The executable's version lines: the string values, then the fixed information.
        for (const VersionString& s : versionStrings_) {
            version += s.key + "=" + Utf8(s.value);
            version.push_back('\0');
        }
        char line[200];
        snprintf(line, sizeof line, "@VS_FIXEDFILEINFO=%X,%X,%X,%X,%X,%X,%X,%X,%X,%X,%X,%X,%X", fixed[0],
                 fixed[1], fixed[2], fixed[3], fixed[4], fixed[5], fixed[6], fixed[7], fixed[8], fixed[9],
                 fixed[10], fixed[11], fixed[12]);
        version += line;
        version.push_back('\0');
        Add(r);
    }
    // The body of the root block, after its statements (Begin was consumed).
    void VersionBody(VersionNode& root) {
        while (!End()) {
            Token k = lx_.Next();
            if (Lexer::Upper(k.text) != "BLOCK") {
                if (k.kind == Token::End) Fail(k.where, "missing END");
                Fail(k.where, "expected BLOCK");
            }
            VersionNode n;
            n.key = Text();
            VersionBlock(n);
            root.children.push_back(std::move(n));
        }
    }
    static std::string Utf8(const std::u16string& s) {
        std::string out;
        for (size_t i = 0; i < s.size(); ++i) {
            uint32_t u = s[i];
            if (u >= 0xD800 && u < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000)
                u = 0x10000 + ((u - 0xD800) << 10) + (s[++i] - 0xDC00u);
            if (u < 0x80) {
                out.push_back(char(u));
            } else if (u < 0x800) {
                out.push_back(char(0xC0 | (u >> 6)));
                out.push_back(char(0x80 | (u & 0x3F)));
            } else if (u < 0x10000) {
                out.push_back(char(0xE0 | (u >> 12)));
                out.push_back(char(0x80 | ((u >> 6) & 0x3F)));
                out.push_back(char(0x80 | (u & 0x3F)));
            } else {
                out.push_back(char(0xF0 | (u >> 18)));
                out.push_back(char(0x80 | ((u >> 12) & 0x3F)));
                out.push_back(char(0x80 | ((u >> 6) & 0x3F)));
                out.push_back(char(0x80 | (u & 0x3F)));
            }
        }
        return out;
    }
    struct VersionString {
        std::string key;
        std::u16string value;
        Where where;
    };
    std::vector<VersionString> versionStrings_;

public:
    // NUL-ended "Key=Value" lines of the VERSIONINFO, for the executable's .winver section.
    std::string version;

private:
    // MF_ flags of menu templates.
    void MenuItems(Writer& w) {
        Nest guard(this);
        ExpectBegin();
        struct Entry {
            bool popup;
            unsigned flags;
            unsigned id;
            std::u16string text;
            Writer sub;
        };
        std::vector<Entry> entries;
        while (!End()) {
            Token k = lx_.Next();
            std::string word = Lexer::Upper(k.text);
            Entry e{};
            if (word == "MENUITEM") {
                if (lx_.IsWord("SEPARATOR")) {
                    lx_.Next();
                    e.flags = 0;
                    e.id = 0;
                } else {
                    e.text = Text();
                    Comma();
                    e.id = unsigned(Number()) & 0xFFFF;
                    e.flags = Options();
                }
            } else if (word == "POPUP") {
                e.popup = true;
                e.text = Text();
                e.flags = 0x10 | Options();
                MenuItems(e.sub);
            } else {
                Fail(k.where, "expected MENUITEM or POPUP");
            }
            entries.push_back(std::move(e));
        }
        for (size_t i = 0; i < entries.size(); ++i) {
            Entry& e = entries[i];
            unsigned flags = e.flags | (i + 1 == entries.size() ? 0x80 : 0);
            w.u16(flags);
            if (!e.popup) w.u16(e.id);
            w.str(e.text);
            if (e.popup) w.b.insert(w.b.end(), e.sub.b.begin(), e.sub.b.end());
        }
    }
    unsigned Options() {
        unsigned flags = 0;
        while (lx_.IsPunct(",") || lx_.Peek().kind == Token::Ident) {
            if (lx_.IsPunct(",")) {
                lx_.Next();
                continue;
            }
            std::string o = Lexer::Upper(lx_.Peek().text);
            if (o == "GRAYED")
                flags |= 0x1;
            else if (o == "INACTIVE")
                flags |= 0x2;
            else if (o == "CHECKED")
                flags |= 0x8;
            else if (o == "MENUBARBREAK")
                flags |= 0x20;
            else if (o == "MENUBREAK")
                flags |= 0x40;
            else if (o == "HELP")
                flags |= 0x4000;
            else
                break;
            lx_.Next();
        }
        return flags;
    }
    void Menu(Resource& r) {
        r.type = 4;
        Writer w;
        w.u16(0);
        w.u16(0);
        MenuItems(w);
        r.data = w.b;
        Add(r);
    }

    void Accelerators(Resource& r) {
        r.type = 9;
        ExpectBegin();
        struct Entry {
            unsigned flags, key, id;
        };
        std::vector<Entry> entries;
        while (!End()) {
            Entry e{};
            Token k = lx_.Peek();
            bool ascii = false;
            if (k.kind == Token::String) {
                lx_.Next();
                std::u16string s = Utf16(k.text, k.where);
                if (s.size() == 2 && s[0] == u'^')
                    e.key = unsigned(toupper(s[1]) - '@');
                else if (s.size() == 1)
                    e.key = s[0];
                else
                    Fail(k.where, "bad accelerator key");
                ascii = true;
            } else {
                e.key = unsigned(Number());
            }
            Comma();
            e.id = unsigned(Number()) & 0xFFFF;
            while (lx_.IsPunct(",")) {
                lx_.Next();
                std::string o = Lexer::Upper(lx_.Next().text);
                if (o == "VIRTKEY")
                    e.flags |= 0x01;
                else if (o == "NOINVERT")
                    e.flags |= 0x02;
                else if (o == "SHIFT")
                    e.flags |= 0x04;
                else if (o == "CONTROL")
                    e.flags |= 0x08;
                else if (o == "ALT")
                    e.flags |= 0x10;
                else if (o == "ASCII")
                    ascii = true;
                else
                    Fail(k.where, "unknown accelerator option \"" + o + "\"");
            }
            (void)ascii;
            entries.push_back(e);
        }
        Writer w;
        for (size_t i = 0; i < entries.size(); ++i) {
            w.u16(entries[i].flags | (i + 1 == entries.size() ? 0x80 : 0));
            w.u16(entries[i].key);
            w.u16(entries[i].id);
            w.u16(0);
        }
        r.data = w.b;
        Add(r);
    }

    // Initial data of dialog controls: control id, message, length, 0, then the bytes.
    void DlgInit(Resource& r) {
        ExpectBegin();
        Writer w;
        while (!End()) {
            unsigned ctl = unsigned(Number()) & 0xFFFF;
            Comma();
            unsigned msg = unsigned(Number()) & 0xFFFF;
            Comma();
            Token at = lx_.Peek();
            long long n = Number();
            if (n < 0 || n > 65535) Fail(at.where, "initial data of " + std::to_string(n) + " bytes");
            unsigned len = unsigned(n);
            Comma();
            Number();
            Comma();
            std::vector<uint8_t> bytes;
            while (bytes.size() < len) {
                Token t = lx_.Peek();
                if (t.kind == Token::String) {
                    lx_.Next();
                    bytes.insert(bytes.end(), t.text.begin(), t.text.end());
                } else {
                    unsigned v = unsigned(Number());
                    bytes.push_back(uint8_t(v & 0xFF));
                    bytes.push_back(uint8_t(v >> 8));
                }
                Comma();
            }
            bytes.resize(len);
            w.u16(ctl);
            w.u16(msg);
            w.u32(len);
            w.b.insert(w.b.end(), bytes.begin(), bytes.end());
        }
        w.u16(0);
        r.data = w.b;
    }
};

std::string CppString(const std::string& s) {
    std::string out = "u\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

} // namespace

namespace rc {

bool Compile(const std::string& path, const std::vector<std::string>& includeDirs,
             const std::map<std::string, std::string>& defines, Script* out, std::string* error) {
    Preprocessor pp;
    pp.includeDirs = includeDirs;
    pp.macros = defines;
    pp.macros["RC_INVOKED"] = "1";
    *out = Script{};
    try {
        std::vector<Line> lines = pp.Run(path);
        Lexer lx(lines, pp);
        Compiler c(lx);
        c.Run();
        for (const Resource& r : c.resources) out->resources.push_back({r.type, r.id, r.name, r.data});
        out->version = c.version;
        out->files = pp.files;
    } catch (const Failure& f) {
        if (error) *error = f.message;
        return false;
    }
    return true;
}

std::string EmitCpp(const Script& script, const std::string& source, bool framework) {
    const std::vector<CompiledResource>& resources = script.resources;
    const std::string& version = script.version;
    std::ostringstream out;
    out << "// Generated by tavrelix_rc from " << source << ". Do not edit.\n";
    out << "#include \"win32/resource.h\"\n\nnamespace {\n";
    for (size_t i = 0; i < resources.size(); ++i) {
        out << "const BYTE r" << i << "[] = {";
        for (size_t k = 0; k < resources[i].data.size(); ++k) {
            if (k % 24 == 0) out << "\n   ";
            out << ' ' << unsigned(resources[i].data[k]) << ',';
        }
        if (resources[i].data.empty()) out << "0";
        out << "};\n";
    }
    out << "const win32rc::Resource table[] = {\n";
    for (size_t i = 0; i < resources.size(); ++i) {
        const CompiledResource& r = resources[i];
        out << "    {" << r.type << ", nullptr, " << (r.name.empty() ? r.id : 0) << ", "
            << (r.name.empty() ? "nullptr" : CppString(r.name)) << ", r" << i << ", "
            << (r.data.empty() ? 0 : r.data.size()) << "},\n";
    }
    if (resources.empty()) out << "    {0, nullptr, 0, nullptr, nullptr, 0},\n";
    out << "};\n";
    if (!version.empty()) {
        // The version lines GetFileVersionInfoW reads back from the executable file.
        out << "__attribute__((section(\".winver\"), used)) const char winver[] = {";
        for (size_t k = 0; k < version.size(); ++k) {
            if (k % 24 == 0) out << "\n   ";
            out << ' ' << int(static_cast<signed char>(version[k])) << ',';
        }
        out << "};\n";
    }
    out << "const bool registered = win32rc::RegisterResources(table, " << resources.size() << ", "
        << (framework ? "win32rc::kFramework" : "win32rc::kProgram") << ");\n";
    out << "} // namespace\n";
    if (framework) {
        // A static library's member is linked only when referenced: the framework refers to this.
        out << "namespace win32rc {\nextern const bool frameworkTablesRegistered;\n"
               "const bool frameworkTablesRegistered = registered;\n}\n";
    }
    return out.str();
}

} // namespace rc
