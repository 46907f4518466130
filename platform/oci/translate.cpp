#include "translate.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

namespace oci {

std::string upperAscii(const std::string& s) {
    std::string r = s;
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return r;
}

namespace {

enum class T { Ident, QIdent, String, Number, Bind, Op };

struct Tok {
    T t;
    std::string text; // Ident: upper case; QIdent/String: content; Bind: upper name; Op: the operator
    int off = 0;
    int len = 0;
    bool national = false;
};

bool identStart(unsigned char c) {
    return std::isalpha(c) || c == '_' || c >= 0x80;
}
bool identPart(unsigned char c) {
    return std::isalnum(c) || c == '_' || c == '$' || c == '#' || c >= 0x80;
}

// Words that never start a value term.
const std::set<std::string>& reserved() {
    static const std::set<std::string> words = {
        "SELECT", "FROM",    "WHERE", "AND",       "OR",    "NOT",      "AS",     "IS",     "IN",
        "LIKE",   "BETWEEN", "THEN",  "ELSE",      "WHEN",  "END",      "BY",     "ORDER",  "GROUP",
        "HAVING", "UNION",   "MINUS", "INTERSECT", "ON",    "JOIN",     "INNER",  "LEFT",   "RIGHT",
        "FULL",   "OUTER",   "CROSS", "NATURAL",   "USING", "SET",      "VALUES", "INTO",   "RETURNING",
        "ASC",    "DESC",    "NULLS", "ESCAPE",    "FOR",   "DISTINCT", "ALL",    "EXISTS", "UPDATE",
        "DELETE", "INSERT",  "WITH",  "CONNECT",   "START", "PRIOR",    "UNIQUE", "ANY",    "SOME",
        "NOWAIT", "OF",      "EXCEPT"};
    return words;
}

struct Piece {
    std::string text;
    int src;
};

class Translator {
public:
    Translator(const std::string& sql, Resolver& r, const std::string& schema, Translation& out)
        : sql_(sql), r_(r), schema_(schema), out_(out) {}

    bool run();

private:
    struct Deferred {
        size_t piece;
        std::string qual;
        int src;
        bool key; // "rowid = operand"
        std::string operand;
        int slot = -1;
        bool hidden = false; // the hidden row id column of the outer query
    };
    // "left op right", its operands' types told once the tables are known:
    // the four pieces around the operands receive the conversions.
    struct Comparison {
        size_t leftFrom, leftTo, rightFrom, rightTo; // token ranges
        size_t pieces[4];                            // before and after each operand
    };
    struct Level {
        bool query = false;
        bool fromList = false;
        bool expectTable = false;
        std::vector<std::pair<std::string, TableRef>> tables;
        std::vector<Deferred> deferred;
        std::vector<Comparison> comparisons;
        std::vector<Comparison> concatTerms; // an operand of ||: only leftFrom/leftTo and pieces[0..1]
    };

    const std::string& sql_;
    Resolver& r_;
    std::string schema_;
    Translation& out_;
    std::vector<Tok> toks_;
    std::vector<Piece> pieces_;
    std::vector<Level> levels_;
    std::map<int, std::string> aliasAfter_;
    mutable bool failed_ = false;
    // Every recursion over the tokens (emitting a range, typing an operand)
    // counts here: nesting beyond the bound ends the translation with
    // ORA-03001 instead of exhausting the stack.
    static constexpr int kMaxNesting = 256;
    mutable int nesting_ = 0;
    static constexpr int kMaxScalarNesting = 10;
    int scalarDepth_ = 0;
    struct Nested {
        const Translator& t;
        bool ok;
        Nested(const Translator& tr, size_t at) : t(tr), ok(++tr.nesting_ <= kMaxNesting) {
            if (!ok) t.fail(3001, at < t.toks_.size() ? t.toks_[at].off : int(t.sql_.size()));
        }
        ~Nested() { --t.nesting_; }
        Nested(const Nested&) = delete;
        Nested& operator=(const Nested&) = delete;
    };
    int inChain_ = 0;
    bool whereOpen_ = false;
    bool hiddenDone_ = false;
    // One table, no joins, grouping, DISTINCT or set operators at the top level.
    bool simpleQuery() const {
        int depth = 0, tables = 0;
        bool from = false;
        for (size_t k = 0; k < toks_.size(); ++k) {
            if (isOp(k, "(")) ++depth;
            if (isOp(k, ")")) --depth;
            if (depth != 0) continue;
            if (isWord(k, "DISTINCT") || isWord(k, "UNIQUE") || isWord(k, "GROUP") || isWord(k, "UNION") ||
                isWord(k, "MINUS") || isWord(k, "INTERSECT") || isWord(k, "JOIN") || isWord(k, "HAVING"))
                return false;
            if (isWord(k, "FROM")) {
                if (from) return false;
                from = true;
                tables = 1;
                continue;
            }
            if (from && isOp(k, ",")) ++tables;
            if (isWord(k, "WHERE") || isWord(k, "ORDER") || isWord(k, "FOR")) from = false;
        }
        for (size_t k = 0; k < toks_.size(); ++k) {
            static const std::set<std::string> aggregates = {"COUNT", "SUM", "AVG", "MIN", "MAX"};
            if (toks_[k].t == T::Ident && aggregates.count(toks_[k].text) && isOp(k + 1, "(")) return false;
        }
        return tables == 1;
    }
    bool tickAdded_ = false;
    void addTick() {
        // UPDATE and DELETE call ora_tick() once per row, so a break can end them.
        if (tickAdded_ || (out_.kind != Kind::Update && out_.kind != Kind::Delete)) return;
        tickAdded_ = true;
        emit(whereOpen_ ? ") AND ora_tick()" : "WHERE ora_tick()", int(sql_.size()));
    }

    bool fail(int code, int off, const std::string& detail = std::string()) const {
        if (!failed_) {
            failed_ = true;
            out_.errorCode = code;
            out_.errorOffset = off;
            out_.errorDetail = detail;
        }
        return false;
    }
    bool tokenize();
    void emit(const std::string& s, int src) { pieces_.push_back({s, src}); }
    bool isOp(size_t i, const char* op) const {
        return i < toks_.size() && toks_[i].t == T::Op && toks_[i].text == op;
    }
    bool isWord(size_t i, const char* w) const {
        return i < toks_.size() && toks_[i].t == T::Ident && toks_[i].text == w;
    }
    bool isKeyword(size_t i) const {
        return i < toks_.size() && toks_[i].t == T::Ident && reserved().count(toks_[i].text);
    }
    size_t matchParen(size_t i, size_t end) const;
    int srcEnd(size_t i) const { return toks_[i].off + toks_[i].len; }

    int parsePrimary(size_t i, size_t end) const;
    int parseTerm(size_t i, size_t end) const;
    bool emitRange(size_t i, size_t end);
    bool emitOne(size_t& i, size_t end);
    bool emitChain(size_t i, size_t end, size_t& next);
    bool emitTerm(size_t a, size_t b, bool only);
    int parseChain(size_t i, size_t end) const;
    bool emitComparison(size_t i, size_t end, size_t& next);
    bool emitOrderBy(size_t& i, size_t end);
    enum class VT { Unknown, Char, CharLit, Text, Number, Date, Bind, Null };
    VT typeOf(size_t a, size_t b) const;
    VT columnType(const std::string& qual, const std::string& name, std::string* decl = nullptr) const;
    std::string columnDecl(size_t a, size_t b) const; // a column operand's declared type, else
    void resolveComparison(const Comparison& c);
    // A value position for our functions' errors: the slot number of the original offset.
    std::string slotAt(int off) {
        // Stored SQL (defaults, virtual columns, views) outlives this statement's slots.
        if (out_.kind == Kind::CreateTable || out_.kind == Kind::AlterTable ||
            out_.kind == Kind::CreateView || out_.kind == Kind::CreateMView)
            return "-1";
        out_.slots.push_back(off);
        return std::to_string(out_.slots.size() - 1);
    }
    void typeItems();
    bool scalarSubquery(size_t i) const;
    bool checkGrouping();
    std::vector<std::pair<size_t, size_t>> itemRanges_; // token ranges of out_.items
    mutable std::map<std::string, std::vector<TableColumn>> columnCache_;
    size_t noComparisonAt_ = size_t(-1);
    // Sequences whose NEXTVAL the statement took: a row takes one number however
    // often it names NEXTVAL, so later references read it back as CURRVAL.
    std::set<std::string> nextvalSeen_;
    bool emitTableRef(size_t& i, size_t end);
    bool emitName(size_t& i, size_t end, std::string& owner, std::string& name, int& off);
    bool emitNewName(size_t& i, size_t end, std::string& owner, std::string& name, int& off, bool replacing);
    bool emitSetList(size_t& i, size_t end);
    bool emitInsert(size_t& i, size_t end);
    bool emitReturning(size_t& i, size_t end);
    void selectList(size_t i, size_t end);
    bool closeLevel();
    bool resolveDeferred(Deferred& d);
    std::string checkWrap(const TableRef& t, const TableColumn& c, bool update, size_t from, size_t to,
                          bool& ok);
    std::string nameText(size_t from, size_t to) const;
    bool simpleStatement();
    bool tableBody(size_t from, size_t to, std::string& out);
    bool foreignKey(size_t& k, size_t to, const std::string& column, const std::string& constraintName,
                    std::string& out);
    std::string expressionType(size_t a, size_t b, const std::map<std::string, std::string>& types) const;
};

bool Translator::tokenize() {
    const std::string& s = sql_;
    size_t i = 0, n = s.size();
    while (i < n) {
        unsigned char c = s[i];
        if (std::isspace(c)) {
            ++i;
            continue;
        }
        if (c == '-' && i + 1 < n && s[i + 1] == '-') {
            while (i < n && s[i] != '\n') ++i;
            continue;
        }
        if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            size_t e = s.find("*/", i + 2);
            if (e == std::string::npos) return fail(1742, int(i));
            i = e + 2;
            continue;
        }
        Tok t;
        t.off = int(i);
        bool national = false;
        if ((c == 'N' || c == 'n') && i + 1 < n && s[i + 1] == '\'') {
            national = true;
            ++i;
            c = '\'';
        }
        if (c == '\'') {
            std::string v;
            size_t j = i + 1;
            for (;;) {
                if (j >= n) return fail(1756, t.off);
                if (s[j] == '\'') {
                    if (j + 1 < n && s[j + 1] == '\'') {
                        v += '\'';
                        j += 2;
                        continue;
                    }
                    break;
                }
                v += s[j++];
            }
            t.t = T::String;
            t.text = v;
            t.national = national;
            i = j + 1;
        } else if (c == '"') {
            size_t e = s.find('"', i + 1);
            if (e == std::string::npos) return fail(1740, t.off);
            if (e == i + 1) return fail(1741, t.off);
            t.t = T::QIdent;
            t.text = s.substr(i + 1, e - i - 1);
            i = e + 1;
        } else if (identStart(c)) {
            size_t j = i;
            while (j < n && identPart(s[j])) ++j;
            t.t = T::Ident;
            t.text = upperAscii(s.substr(i, j - i));
            i = j;
        } else if (std::isdigit(c) || (c == '.' && i + 1 < n && std::isdigit((unsigned char)s[i + 1]))) {
            size_t j = i;
            while (j < n && std::isdigit((unsigned char)s[j])) ++j;
            if (j < n && s[j] == '.') {
                ++j;
                while (j < n && std::isdigit((unsigned char)s[j])) ++j;
            }
            if (j < n && (s[j] == 'e' || s[j] == 'E')) {
                size_t k = j + 1;
                if (k < n && (s[k] == '+' || s[k] == '-')) ++k;
                if (k < n && std::isdigit((unsigned char)s[k])) {
                    j = k;
                    while (j < n && std::isdigit((unsigned char)s[j])) ++j;
                }
            }
            t.t = T::Number;
            t.text = s.substr(i, j - i);
            i = j;
        } else if (c == ':' && i + 1 < n && (identPart(s[i + 1]))) {
            size_t j = i + 1;
            while (j < n && identPart(s[j])) ++j;
            t.t = T::Bind;
            t.text = upperAscii(s.substr(i + 1, j - i - 1));
            i = j;
        } else if (c == ':' && i + 1 < n && s[i + 1] == '"') {
            size_t e = s.find('"', i + 2);
            if (e == std::string::npos) return fail(1740, t.off);
            t.t = T::Bind;
            t.text = s.substr(i + 2, e - i - 2);
            i = e + 1;
        } else {
            static const char* two[] = {"||", "<=", ">=", "<>", "!=", "^=", ":=", "=>"};
            t.t = T::Op;
            t.text = std::string(1, char(c));
            for (const char* op : two)
                if (i + 1 < n && s[i] == op[0] && s[i + 1] == op[1]) t.text = op;
            if (t.text == ";") {
                t.len = 1;
                toks_.push_back(t);
                i += 1;
                continue;
            }
            if (!std::strchr("()+-*/,.=<>|!^:@%", c) && t.text.size() == 1) return fail(911, t.off);
            i += t.text.size();
        }
        t.len = int(i) - t.off;
        toks_.push_back(t);
    }
    for (size_t k = 0; k < toks_.size(); ++k) {
        if (toks_[k].t == T::Op && toks_[k].text == ";") return fail(911, toks_[k].off);
        if (isOp(k, "(") && isOp(k + 1, "+") && isOp(k + 2, ")")) return fail(3001, toks_[k].off);
    }
    // Parentheses, CASE ... END and runs of signs nest the operands the
    // emitter and the typing walk into; deeper than the bound is refused at
    // once, before any work that grows with the depth.
    int parens = 0, cases = 0, signs = 0;
    for (size_t k = 0; k < toks_.size(); ++k) {
        signs = isOp(k, "+") || isOp(k, "-") ? signs + 1 : 0;
        if (isOp(k, "(")) ++parens;
        if (isOp(k, ")") && parens > 0) --parens;
        if (isWord(k, "CASE")) ++cases;
        if (isWord(k, "END") && cases > 0) --cases;
        if (parens + cases + signs > kMaxNesting) return fail(3001, toks_[k].off);
    }
    return true;
}

size_t Translator::matchParen(size_t i, size_t end) const {
    int depth = 0;
    for (size_t k = i; k < end; ++k) {
        if (isOp(k, "(")) ++depth;
        if (isOp(k, ")") && --depth == 0) return k;
    }
    return end;
}

int Translator::parsePrimary(size_t i, size_t end) const {
    if (i >= end) return -1;
    const Tok& t = toks_[i];
    if (t.t == T::String || t.t == T::Number || t.t == T::Bind) return int(i + 1);
    if (isOp(i, "(")) {
        size_t m = matchParen(i, end);
        return m < end ? int(m + 1) : -1;
    }
    if (t.t == T::Ident && t.text == "CASE") {
        int depth = 0;
        for (size_t k = i; k < end; ++k) {
            if (isWord(k, "CASE")) ++depth;
            if (isWord(k, "END") && --depth == 0) return int(k + 1);
        }
        return -1;
    }
    if (t.t == T::Ident && reserved().count(t.text)) return -1;
    if ((isWord(i, "DATE") || isWord(i, "TIMESTAMP")) && i + 1 < end && toks_[i + 1].t == T::String)
        return int(i + 2);
    if (t.t == T::Ident || t.t == T::QIdent) {
        size_t j = i + 1;
        while (j + 1 < end && isOp(j, ".") &&
               (toks_[j + 1].t == T::Ident || toks_[j + 1].t == T::QIdent || isOp(j + 1, "*")))
            j += 2;
        if (j < end && isOp(j, "(")) {
            size_t m = matchParen(j, end);
            if (m >= end) return -1;
            j = m + 1;
        }
        return int(j);
    }
    return -1;
}

int Translator::parseTerm(size_t i, size_t end) const {
    while (i < end && (isOp(i, "+") || isOp(i, "-"))) ++i;
    int j = parsePrimary(i, end);
    if (j < 0) return -1;
    while (size_t(j) < end && (isOp(j, "*") || isOp(j, "/"))) {
        size_t k = j + 1;
        while (k < end && (isOp(k, "+") || isOp(k, "-"))) ++k;
        int j2 = parsePrimary(k, end);
        if (j2 < 0) break;
        j = j2;
    }
    return j;
}

// Oracle gives || the precedence of binary + and -, left to right, with NULL
// read as the empty text; SQLite binds || tighter and propagates NULL.
bool Translator::emitChain(size_t i, size_t end, size_t& next) {
    std::vector<std::pair<size_t, size_t>> terms;
    std::vector<std::string> ops;
    int j = parseTerm(i, end);
    if (j < 0) return false;
    terms.push_back({i, size_t(j)});
    while (size_t(j) < end && (isOp(j, "+") || isOp(j, "-") || isOp(j, "||"))) {
        int k = parseTerm(j + 1, end);
        if (k < 0) break;
        ops.push_back(toks_[j].text);
        terms.push_back({size_t(j + 1), size_t(k)});
        j = k;
    }
    if (ops.empty()) return emitTerm(i, size_t(j), true) && (next = size_t(j), true);
    ++inChain_;
    // Prefix the chain with one opening per operator, then close after each term.
    // + and - go through functions too: they add days to dates and subtract dates.
    auto fn = [](const std::string& op) {
        return op == "||" ? "ora_concat((" : op == "+" ? "ora_add((" : "ora_sub((";
    };
    for (size_t k = 0; k < ops.size(); ++k) emit(fn(ops[ops.size() - 1 - k]), toks_[i].off);
    // An operand next to || gets two empty pieces, for ora_to_char once its type is known.
    auto term = [&](size_t k) {
        bool joined = (k > 0 && ops[k - 1] == "||") || (k < ops.size() && ops[k] == "||");
        Comparison c{terms[k].first, terms[k].second, 0, 0, {pieces_.size(), 0, 0, 0}};
        if (joined) emit("", toks_[terms[k].first].off);
        bool done = emitTerm(terms[k].first, terms[k].second, false);
        if (joined) {
            c.pieces[1] = pieces_.size();
            emit("", toks_[terms[k].second - 1].off);
            levels_.back().concatTerms.push_back(c);
        }
        return done;
    };
    bool ok = term(0);
    for (size_t k = 0; ok && k < ops.size(); ++k) {
        int src = toks_[terms[k + 1].first - 1].off;
        emit("), (", src);
        ok = term(k + 1);
        // An error of + or - points at its operator.
        emit(ops[k] == "||" ? "))" : "), " + slotAt(src) + ")", src);
    }
    --inChain_;
    next = size_t(j);
    return true;
}

int Translator::parseChain(size_t i, size_t end) const {
    int j = parseTerm(i, end);
    while (j >= 0 && size_t(j) < end && (isOp(j, "+") || isOp(j, "-") || isOp(j, "||"))) {
        int k = parseTerm(j + 1, end);
        if (k < 0) break;
        j = k;
    }
    return j;
}

// "a op b" with op a comparison: emitted with an empty piece on each side of
// each operand, filled once the level's tables tell the operands' types.
bool Translator::emitComparison(size_t i, size_t end, size_t& next) {
    if (i == noComparisonAt_ || (i > 0 && isOp(i - 1, "."))) return false;
    static const std::set<std::string> ops = {"=", "<>", "!=", "^=", "<", ">", "<=", ">="};
    int j = parseChain(i, end);
    if (j < 0 || size_t(j) >= end || toks_[j].t != T::Op || !ops.count(toks_[j].text)) return false;
    int k = parseChain(j + 1, end);
    if (k < 0 || (size_t(k) < end && !isKeyword(k) && !isOp(k, ")") && !isOp(k, ","))) return false;
    for (size_t q = i; q < size_t(k); ++q)
        if ((toks_[q].t == T::Ident || toks_[q].t == T::QIdent) && toks_[q].text == "ROWID") return false;
    Comparison c{i, size_t(j), size_t(j) + 1, size_t(k), {}};
    ++inChain_;
    c.pieces[0] = pieces_.size();
    emit("", toks_[i].off);
    noComparisonAt_ = i;
    bool ok = emitRange(i, size_t(j));
    noComparisonAt_ = size_t(-1);
    c.pieces[1] = pieces_.size();
    emit("", toks_[j].off);
    emit(toks_[j].text == "^=" ? "<>" : toks_[j].text, toks_[j].off);
    c.pieces[2] = pieces_.size();
    emit("", toks_[j + 1].off);
    ok = ok && emitRange(size_t(j) + 1, size_t(k));
    c.pieces[3] = pieces_.size();
    emit("", toks_[k - 1].off);
    --inChain_;
    if (!ok) return false;
    levels_.back().comparisons.push_back(c);
    next = size_t(k);
    return true;
}

// ORDER BY: Oracle sorts NULL after every value ascending and before every
// value descending unless the key says NULLS FIRST or NULLS LAST.
bool Translator::emitOrderBy(size_t& i, size_t end) {
    emit("ORDER BY", toks_[i].off);
    i += 2;
    size_t stop = i;
    int depth = 0;
    for (; stop < end; ++stop) {
        if (isOp(stop, "(")) ++depth;
        if (isOp(stop, ")")) --depth;
        if (depth == 0 && isWord(stop, "FOR") && isWord(stop + 1, "UPDATE")) break;
    }
    while (i < stop && !failed_) {
        size_t e = i;
        depth = 0;
        for (; e < stop; ++e) {
            if (isOp(e, "(")) ++depth;
            if (isOp(e, ")")) --depth;
            if (depth == 0 && isOp(e, ",")) break;
        }
        if (e == i) return fail(936, toks_[i].off);
        bool explicitNulls =
            e >= i + 2 && isWord(e - 2, "NULLS") && (isWord(e - 1, "FIRST") || isWord(e - 1, "LAST"));
        size_t last = explicitNulls ? e - 3 : e - 1;
        bool desc = last >= i && isWord(last, "DESC");
        if (!emitRange(i, e)) return false;
        if (!explicitNulls) emit(desc ? "NULLS FIRST" : "NULLS LAST", srcEnd(e - 1));
        i = e;
        if (i < stop) {
            emit(",", toks_[i].off);
            ++i;
        }
    }
    return !failed_;
}

// The type of an expression as far as comparisons need it.
Translator::VT Translator::typeOf(size_t a, size_t b) const {
    if (a >= b || failed_) return VT::Unknown;
    Nested nested(*this, a);
    if (!nested.ok) return VT::Unknown;
    // Operators inside parentheses or inside a CASE ... END belong to an operand.
    int depth = 0, cases = 0;
    bool concat = false, arith = false, factor = false;
    for (size_t k = a; k < b; ++k) {
        if (isOp(k, "(")) ++depth;
        if (isOp(k, ")")) --depth;
        if (depth == 0 && isWord(k, "CASE")) ++cases;
        if (depth == 0 && isWord(k, "END") && cases > 0) {
            --cases;
            continue;
        }
        if (depth != 0 || cases != 0) continue;
        if (isOp(k, "||")) concat = true;
        if (k > a && (isOp(k, "+") || isOp(k, "-")) && !(toks_[k - 1].t == T::Op && !isOp(k - 1, ")")))
            arith = true;
        if (isOp(k, "*") || isOp(k, "/")) factor = true;
    }
    if (concat) return VT::Text;
    if (factor && !arith) return VT::Number;
    if (arith) {
        // date ± number is a date, date - date a number. Each term is shorter
        // than the whole: an operator stands between two of them.
        int dates = 0, first = parseTerm(a, b);
        if (first <= int(a) || size_t(first) >= b) return VT::Number;
        if (typeOf(a, size_t(first)) == VT::Date) ++dates;
        for (size_t k = size_t(first); k < b;) {
            int n = parseTerm(k + 1, b);
            if (n < 0) break;
            if (typeOf(k + 1, size_t(n)) == VT::Date) ++dates;
            k = size_t(n);
        }
        return dates == 1 ? VT::Date : VT::Number;
    }
    if (isOp(a, "-") || isOp(a, "+")) return typeOf(a + 1, b) == VT::Unknown ? VT::Unknown : VT::Number;
    const Tok& t = toks_[a];
    if (isWord(a, "CASE") && isWord(b - 1, "END")) {
        // The first THEN or ELSE value that is not NULL.
        int nest = 0;
        for (size_t k = a + 1; k + 1 < b; ++k) {
            if (isWord(k, "CASE")) ++nest;
            if (isWord(k, "END")) --nest;
            if (nest != 0 || !(isWord(k, "THEN") || isWord(k, "ELSE"))) continue;
            size_t e = k + 1;
            int inner = 0;
            for (; e + 1 < b; ++e) {
                if (isWord(e, "CASE")) ++inner;
                if (isWord(e, "END")) --inner;
                if (inner == 0 && (isWord(e, "WHEN") || isWord(e, "ELSE") || isWord(e, "END"))) break;
            }
            VT v = typeOf(k + 1, e);
            if (v != VT::Null) return v;
        }
        return VT::Unknown;
    }
    if (b == a + 1) {
        if (t.t == T::String) return t.text.empty() ? VT::Null : VT::CharLit;
        if (t.t == T::Number) return VT::Number;
        if (t.t == T::Bind) return VT::Bind;
        if (isWord(a, "NULL")) return VT::Null;
        if (isWord(a, "USER")) return VT::CharLit;
        if (isWord(a, "SYSDATE") || isWord(a, "CURRENT_DATE")) return VT::Date;
        if (t.t == T::Ident || t.t == T::QIdent) return columnType("", t.text);
        return VT::Unknown;
    }
    if (b == a + 2 && isWord(a, "DATE") && toks_[a + 1].t == T::String) return VT::Date;
    auto name = [&](size_t k) { return toks_[k].t == T::Ident || toks_[k].t == T::QIdent; };
    if (b == a + 3 && name(a) && isOp(a + 1, ".") && name(a + 2))
        return columnType(t.text, toks_[a + 2].text);
    if (b == a + 5 && name(a) && isOp(a + 1, ".") && name(a + 2) && isOp(a + 3, ".") && name(a + 4))
        return columnType(toks_[a + 2].text, toks_[a + 4].text);
    if (isOp(a, "(") && matchParen(a, b) == b - 1)
        return isWord(a + 1, "SELECT") || isWord(a + 1, "WITH") ? VT::Unknown : typeOf(a + 1, b - 1);
    if (t.t == T::Ident && isOp(a + 1, "(") && matchParen(a + 1, b) == b - 1) {
        // The arguments at the top level of the call.
        std::vector<std::pair<size_t, size_t>> args;
        size_t from = a + 2;
        depth = 0;
        for (size_t k = a + 2; k < b - 1; ++k) {
            if (isOp(k, "(")) ++depth;
            if (isOp(k, ")")) --depth;
            if (depth == 0 && isOp(k, ",")) {
                args.push_back({from, k});
                from = k + 1;
            }
        }
        args.push_back({from, b - 1});
        auto arg = [&](size_t n) {
            return n < args.size() ? typeOf(args[n].first, args[n].second) : VT::Unknown;
        };
        static const std::set<std::string> dates = {"TO_DATE", "ADD_MONTHS", "LAST_DAY", "NEXT_DAY"};
        static const std::set<std::string> numbers = {
            "TO_NUMBER", "LENGTH", "LENGTHB", "INSTR", "COUNT",          "SUM", "AVG", "ABS",  "MOD", "CEIL",
            "FLOOR",     "SIGN",   "POWER",   "SQRT",  "MONTHS_BETWEEN", "EXP", "LN",  "ASCII"};
        static const std::set<std::string> texts = {"TO_CHAR", "SUBSTR", "UPPER", "LOWER",    "INITCAP",
                                                    "TRIM",    "LTRIM",  "RTRIM", "LPAD",     "RPAD",
                                                    "REPLACE", "CONCAT", "CHR",   "TRANSLATE"};
        const std::string& f = t.text;
        if (dates.count(f)) return VT::Date;
        if (numbers.count(f)) return VT::Number;
        if (texts.count(f)) return VT::Text;
        if (f == "TRUNC" || f == "ROUND") return arg(0) == VT::Date ? VT::Date : VT::Number;
        if (f == "NVL" || f == "COALESCE" || f == "MAX" || f == "MIN" || f == "GREATEST" || f == "LEAST") {
            VT v = arg(0);
            return v == VT::Null ? arg(1) : v;
        }
        if (f == "DECODE") {
            // Each result typed once: a nested DECODE is not typed again per level.
            for (size_t n = 2; n < args.size(); n += 2) {
                VT v = arg(n);
                if (v != VT::Null) return v;
            }
            return args.size() % 2 == 0 ? arg(args.size() - 1) : VT::Unknown;
        }
        if (f == "CAST") {
            for (size_t k = a + 2; k + 1 < b; ++k)
                if (isWord(k, "AS")) {
                    std::string ty = toks_[k + 1].text;
                    if (ty == "DATE") return VT::Date;
                    if (ty == "NUMBER" || ty == "INTEGER" || ty == "INT" || ty == "FLOAT") return VT::Number;
                    if (ty == "CHAR" || ty == "NCHAR") return VT::Char;
                    if (ty.find("CHAR") != std::string::npos) return VT::Text;
                }
        }
    }
    return VT::Unknown;
}

// "(SELECT ...)" where a value goes: after an operator, a comma or an opening
// of a call's arguments, SELECT, THEN, ELSE, WHEN or a condition's start.
bool Translator::scalarSubquery(size_t i) const {
    if (i == 0 || !(isWord(i + 1, "SELECT") || isWord(i + 1, "WITH"))) return false;
    const Tok& p = toks_[i - 1];
    static const std::set<std::string> ops = {
        "=", "<>", "!=", "^=", "<", ">", "<=", ">=", "+", "-", "*", "/", "||", ","};
    if (p.t == T::Op) {
        if (ops.count(p.text)) return !(p.text == "," && levels_.back().fromList);
        return p.text == "(" && i >= 2 && toks_[i - 2].t == T::Ident && !isKeyword(i - 2);
    }
    static const std::set<std::string> words = {"SELECT", "THEN", "ELSE", "WHEN",
                                                "WHERE",  "AND",  "OR",   "HAVING"};
    return p.t == T::Ident && words.count(p.text);
}

// ORA-00937 and ORA-00979 for the outer query: with an aggregate in the select
// list, every column outside an aggregate must be grouped.
bool Translator::checkGrouping() {
    static const std::set<std::string> aggregates = {"COUNT",  "SUM",      "AVG",    "MIN",    "MAX",
                                                     "STDDEV", "VARIANCE", "MEDIAN", "LISTAGG"};
    static const std::set<std::string> pseudo = {"USER",
                                                 "SYSDATE",
                                                 "SYSTIMESTAMP",
                                                 "CURRENT_DATE",
                                                 "NULL",
                                                 "CURRENT_TIMESTAMP",
                                                 "LOCALTIMESTAMP",
                                                 "ROWNUM",
                                                 "LEVEL",
                                                 "CASE",
                                                 "SESSIONTIMEZONE",
                                                 "DBTIMEZONE",
                                                 "DATE",
                                                 "TIMESTAMP"};
    size_t groupFrom = 0, groupTo = 0;
    int depth = 0;
    for (size_t k = 0; k < toks_.size(); ++k) {
        if (isOp(k, "(")) ++depth;
        if (isOp(k, ")")) --depth;
        if (depth != 0) continue;
        if (isWord(k, "UNION") || isWord(k, "MINUS") || isWord(k, "INTERSECT") || isWord(k, "EXCEPT"))
            return true;
        if (isWord(k, "GROUP") && isWord(k + 1, "BY")) {
            groupFrom = k + 2;
            groupTo = groupFrom;
            while (groupTo < toks_.size() && !isWord(groupTo, "HAVING") && !isWord(groupTo, "ORDER") &&
                   !isWord(groupTo, "FOR") && !isWord(groupTo, "UNION"))
                ++groupTo;
        }
    }
    // Column names outside aggregates, subqueries, OVER windows and CAST types, per item.
    struct Use {
        size_t item;
        std::vector<size_t> columns;
        bool aggregate = false;
    };
    std::vector<Use> uses;
    bool anyAggregate = false;
    for (size_t n = 0; n < itemRanges_.size(); ++n) {
        auto [a, b] = itemRanges_[n];
        if (out_.items[n].star) return true;
        Use u{n, {}, false};
        for (size_t k = a; k < b; ++k) {
            bool call = isOp(k + 1, "(");
            if (isOp(k, "(") && (isWord(k + 1, "SELECT") || isWord(k + 1, "WITH") || isWord(k - 1, "OVER"))) {
                k = matchParen(k, b);
                continue;
            }
            if (toks_[k].t == T::Ident && call && aggregates.count(toks_[k].text)) {
                size_t m = matchParen(k + 1, b);
                if (isWord(m + 1, "OVER")) continue; // analytic: its arguments are columns
                u.aggregate = true;
                k = m;
                continue;
            }
            if (isWord(k, "AS") && k > a) {
                // CAST(x AS type): the type is no column.
                while (k + 1 < b && !isOp(k + 1, ")")) ++k;
                continue;
            }
            if ((toks_[k].t != T::Ident && toks_[k].t != T::QIdent) || call || isOp(k + 1, ".")) continue;
            if (toks_[k].t == T::Ident && (isKeyword(k) || pseudo.count(toks_[k].text))) continue;
            if (isOp(k + 1, "'") || (k > a && toks_[k - 1].t == T::Op && toks_[k - 1].text == "." &&
                                     (isWord(k, "NEXTVAL") || isWord(k, "CURRVAL"))))
                continue;
            u.columns.push_back(k);
        }
        anyAggregate = anyAggregate || u.aggregate;
        uses.push_back(u);
    }
    if (groupFrom == 0 && !anyAggregate) return true;
    std::set<std::string> groupedText, groupedColumns;
    if (groupFrom) {
        size_t from = groupFrom;
        depth = 0;
        for (size_t k = groupFrom; k <= groupTo; ++k) {
            if (k < groupTo && isOp(k, "(")) ++depth;
            if (k < groupTo && isOp(k, ")")) --depth;
            if (k == groupTo || (depth == 0 && isOp(k, ","))) {
                if (k > from) groupedText.insert(nameText(from, k));
                from = k + 1;
            }
            if (k < groupTo && (toks_[k].t == T::Ident || toks_[k].t == T::QIdent))
                groupedColumns.insert(toks_[k].text);
        }
    }
    for (auto& u : uses) {
        auto [a, b] = itemRanges_[u.item];
        if (u.columns.empty() || groupedText.count(nameText(a, b))) continue;
        for (size_t k : u.columns)
            if (!groupedColumns.count(toks_[k].text))
                return fail(groupFrom ? 979 : 937, toks_[groupFrom ? k : a].off);
    }
    return true;
}

// Select-list expressions describe by their operands' types once the tables are known:
// date arithmetic and date functions as DATE, numeric ones as NUMBER.
void Translator::typeItems() {
    if (out_.kind != Kind::Select && out_.kind != Kind::CreateView) return;
    for (size_t k = 0; k < out_.items.size() && k < itemRanges_.size(); ++k) {
        SelectItem& it = out_.items[k];
        auto [a, b] = itemRanges_[k];
        if (it.kind == ItemKind::Column && isWord(b - 1, "DUMMY") && (b == a + 1 || b == a + 3)) {
            // DUAL's one column is VARCHAR2(1).
            for (auto& [q, ref] : levels_.back().tables)
                if (ref.name == "DUAL" && (b == a + 1 || toks_[a].text == q)) {
                    it.kind = ItemKind::Text;
                    it.length = 1;
                }
            continue;
        }
        if (it.kind != ItemKind::Other && it.kind != ItemKind::Numeric) continue;
        VT v = typeOf(a, b);
        if (v == VT::Date) it.kind = ItemKind::Date;
        if (v == VT::Number) it.kind = ItemKind::Numeric;
    }
}

// A column's type by its declared type, looked for in the open levels' tables.
Translator::VT Translator::columnType(const std::string& qual, const std::string& name,
                                      std::string* decl) const {
    for (size_t l = levels_.size(); l-- > 0;) {
        for (auto& [q, ref] : levels_[l].tables) {
            if (!qual.empty() && q != qual && ref.name != qual) continue;
            std::string key = ref.owner + "." + ref.name;
            auto c = columnCache_.find(key);
            if (c == columnCache_.end()) {
                std::vector<TableColumn> cols;
                r_.columns(ref, cols);
                c = columnCache_.emplace(key, std::move(cols)).first;
            }
            for (auto& col : c->second) {
                if (col.name != name) continue;
                if (decl) *decl = col.type;
                std::string ty = upperAscii(col.type);
                auto starts = [&](const char* p) { return ty.compare(0, std::strlen(p), p) == 0; };
                if (starts("CHAR") || starts("NCHAR")) return VT::Char;
                if (starts("NUMBER") || starts("INTEGER") || starts("INT") || starts("FLOAT") ||
                    starts("DECIMAL") || starts("NUMERIC") || starts("SMALLINT") || starts("BINARY_") ||
                    starts("REAL"))
                    return VT::Number;
                if (ty == "DATE") return VT::Date;
                if (ty.find("RAW") == std::string::npos &&
                    (ty.find("CHAR") != std::string::npos || ty.find("CLOB") != std::string::npos ||
                     starts("LONG")))
                    return VT::Text;
                return VT::Unknown;
            }
            if (!qual.empty()) return VT::Unknown;
        }
    }
    return VT::Unknown;
}

std::string Translator::columnDecl(size_t a, size_t b) const {
    auto name = [&](size_t k) { return toks_[k].t == T::Ident || toks_[k].t == T::QIdent; };
    std::string decl;
    if (b == a + 1 && name(a))
        columnType("", toks_[a].text, &decl);
    else if (b == a + 3 && name(a) && isOp(a + 1, ".") && name(a + 2))
        columnType(toks_[a].text, toks_[a + 2].text, &decl);
    else if (b == a + 5 && name(a) && isOp(a + 1, ".") && name(a + 2) && isOp(a + 3, ".") && name(a + 4))
        columnType(toks_[a + 2].text, toks_[a + 4].text, &decl);
    return decl;
}

// Oracle's rules where a comparison meets typed operands: CHAR with CHAR or a
// literal compares blank-padded, text with a DATE converts by the session's
// date format, text with a NUMBER converts as TO_NUMBER.
void Translator::resolveComparison(const Comparison& c) {
    VT l = typeOf(c.leftFrom, c.leftTo), r = typeOf(c.rightFrom, c.rightTo);
    auto wrap = [&](bool right, const std::string& open, const std::string& close) {
        pieces_[c.pieces[right ? 2 : 0]].text = open;
        pieces_[c.pieces[right ? 3 : 1]].text = close;
    };
    auto padded = [](VT t) { return t == VT::Char || t == VT::CharLit; };
    auto text = [](VT t) { return t == VT::Char || t == VT::CharLit || t == VT::Text || t == VT::Bind; };
    // A CHAR column against a bind: a SQLT_AFC value is padded to the column's length when bound.
    if (l == VT::Char && r == VT::Bind && c.rightTo == c.rightFrom + 1)
        out_.charBinds.push_back({toks_[c.rightFrom].text, columnDecl(c.leftFrom, c.leftTo)});
    if (r == VT::Char && l == VT::Bind && c.leftTo == c.leftFrom + 1)
        out_.charBinds.push_back({toks_[c.leftFrom].text, columnDecl(c.rightFrom, c.rightTo)});
    if (padded(l) && padded(r)) {
        // Trimmed on both sides: an explicit collation is lost to SQLite's automatic indexes.
        wrap(false, "rtrim(", ")");
        wrap(true, "rtrim(", ")");
    } else if (l == VT::Date && text(r)) {
        wrap(true, "ora_to_date(", ", NULL, " + slotAt(toks_[c.rightFrom].off) + ")");
    } else if (r == VT::Date && text(l)) {
        wrap(false, "ora_to_date(", ", NULL, " + slotAt(toks_[c.leftFrom].off) + ")");
    } else if (l == VT::Number && text(r)) {
        wrap(true, "ora_to_number(", ", NULL, " + slotAt(toks_[c.rightFrom].off) + ")");
    } else if (r == VT::Number && text(l)) {
        wrap(false, "ora_to_number(", ", NULL, " + slotAt(toks_[c.leftFrom].off) + ")");
    }
}

// A term's * and / go through ora_mul and ora_div, nested left to right as
// the chain's operators are. only: false, emitting nothing, when it has none.
bool Translator::emitTerm(size_t a, size_t b, bool only) {
    std::vector<std::pair<size_t, size_t>> factors;
    std::vector<std::string> ops;
    size_t i = a;
    while (i < b && (isOp(i, "+") || isOp(i, "-"))) ++i;
    int j = parsePrimary(i, b);
    if (j >= 0) {
        factors.push_back({a, size_t(j)});
        while (size_t(j) < b && (isOp(j, "*") || isOp(j, "/"))) {
            size_t k = j + 1;
            while (k < b && (isOp(k, "+") || isOp(k, "-"))) ++k;
            int j2 = parsePrimary(k, b);
            if (j2 < 0) break;
            ops.push_back(toks_[j].text);
            factors.push_back({size_t(j) + 1, size_t(j2)});
            j = j2;
        }
    }
    if (ops.empty() || size_t(j) != b) return only ? false : emitRange(a, b);
    ++inChain_;
    for (size_t k = ops.size(); k-- > 0;) emit(ops[k] == "*" ? "ora_mul((" : "ora_div((", toks_[a].off);
    bool ok = emitRange(factors[0].first, factors[0].second);
    for (size_t k = 0; ok && k < ops.size(); ++k) {
        int src = toks_[factors[k + 1].first - 1].off;
        emit("), (", src);
        ok = emitRange(factors[k + 1].first, factors[k + 1].second);
        emit("), " + slotAt(src) + ")", src);
    }
    --inChain_;
    return ok;
}

std::string quote(const std::string& s) {
    std::string r = "\"";
    for (char c : s) {
        if (c == '"') r += '"';
        r += c;
    }
    return r + "\"";
}

std::string sqlString(const std::string& s) {
    std::string r = "'";
    for (char c : s) {
        if (c == '\'') r += '\'';
        r += c;
    }
    return r + "'";
}

bool Translator::emitName(size_t& i, size_t end, std::string& owner, std::string& name, int& off) {
    if (i >= end || (toks_[i].t != T::Ident && toks_[i].t != T::QIdent))
        return fail(903, i < end ? toks_[i].off : int(sql_.size()));
    off = toks_[i].off;
    name = toks_[i].text;
    ++i;
    if (isOp(i, ".") && i + 1 < end && (toks_[i + 1].t == T::Ident || toks_[i + 1].t == T::QIdent)) {
        owner = name;
        name = toks_[i + 1].text;
        i += 2;
    }
    if (isOp(i, "@")) return fail(3001, toks_[i].off);
    return true;
}

// The name of a table or view about to be created: the owner defaults to the
// session's schema and must exist; the name must be free unless replacing.
bool Translator::emitNewName(size_t& i, size_t end, std::string& owner, std::string& name, int& off,
                             bool replacing) {
    if (!emitName(i, end, owner, name, off)) return false;
    if (owner.empty()) owner = schema_;
    if (!r_.userExists(owner)) return fail(1918, off, quote(owner));
    TableRef ref;
    if (!replacing && r_.findTable(owner, name, ref) && ref.owner == owner) return fail(955, off);
    return true;
}

bool Translator::emitTableRef(size_t& i, size_t end) {
    Level& lv = levels_.back();
    lv.expectTable = false;
    if (isOp(i, "(")) {
        size_t m = matchParen(i, end);
        if (m >= end) return fail(907, toks_[i].off);
        emit("(", toks_[i].off);
        levels_.push_back(Level{});
        if (!emitRange(i + 1, m) || !closeLevel()) return false;
        emit(")", toks_[m].off);
        i = m + 1;
        if (i < end && toks_[i].t != T::Op && !isKeyword(i)) {
            emit(quote(toks_[i].text), toks_[i].off);
            ++i;
        }
        return true;
    }
    std::string owner, name;
    int off;
    if (!emitName(i, end, owner, name, off)) return false;
    TableRef ref;
    if (!r_.findTable(owner, name, ref)) {
        return fail(ref.missingCode, off);
    }
    // DML through a key-preserved view reaches its table.
    bool dmlTarget = levels_.size() == 1 && out_.target.name.empty() &&
                     (out_.kind == Kind::Update || out_.kind == Kind::Delete || out_.kind == Kind::Insert);
    if (dmlTarget && ref.mview) return fail(1732, off);
    if (dmlTarget && ref.view && !ref.baseName.empty()) {
        TableRef base;
        if (r_.findTable(ref.baseOwner, ref.baseName, base)) ref = base;
    }
    emit(quote(ref.owner) + "." + quote(ref.name), off);
    if (!ref.dictionaryView.empty()) out_.dictionaryViews.push_back(ref.dictionaryView);
    std::string qual = name;
    if (isWord(i, "AS")) ++i;
    if (i < end && (toks_[i].t == T::QIdent || (toks_[i].t == T::Ident && !isKeyword(i)))) {
        qual = toks_[i].text;
        emit("AS " + quote(qual), toks_[i].off);
        ++i;
    } else if (qual != ref.name) {
        emit("AS " + quote(qual), off);
    }
    levels_.back().tables.push_back({qual, ref});
    if (out_.target.name.empty()) out_.target = ref;
    return true;
}

std::string Translator::nameText(size_t from, size_t to) const {
    std::string s = sql_.substr(toks_[from].off, srcEnd(to - 1) - toks_[from].off);
    std::string r;
    char q = 0;
    for (char c : s) {
        if (q) {
            r += c;
            if (c == q) q = 0;
            continue;
        }
        if (c == '\'' || c == '"') {
            q = c;
            r += c;
            continue;
        }
        if (std::isspace((unsigned char)c)) continue;
        r += (c >= 'a' && c <= 'z') ? char(c - 32) : c;
    }
    return r;
}

// Names and describe kinds of the outer select list; an alias is added where
// the item has none, so SQLite reports Oracle's name.
void Translator::selectList(size_t i, size_t end) {
    size_t k = i;
    if (isWord(k, "DISTINCT") || isWord(k, "UNIQUE") || isWord(k, "ALL")) ++k;
    int depth = 0;
    size_t start = k;
    for (size_t p = k; p <= end; ++p) {
        bool stop = p == end;
        if (!stop) {
            if (isOp(p, "(")) ++depth;
            if (isOp(p, ")")) --depth;
            if (depth < 0) stop = true;
            if (depth == 0 && (isWord(p, "FROM") || isOp(p, ","))) stop = true;
        }
        if (!stop) continue;
        if (p > start) {
            SelectItem it;
            size_t last = p - 1;
            bool alias = false;
            if (p - start >= 2 &&
                (toks_[last].t == T::QIdent || (toks_[last].t == T::Ident && !isKeyword(last)))) {
                size_t prev = last - 1;
                if (isWord(prev, "AS") || toks_[prev].t == T::Number || toks_[prev].t == T::String ||
                    toks_[prev].t == T::Bind || isOp(prev, ")") ||
                    ((toks_[prev].t == T::Ident || toks_[prev].t == T::QIdent) && !isKeyword(prev)))
                    alias = true;
            }
            size_t exprEnd = alias ? (isWord(last - 1, "AS") ? last - 1 : last) : p;
            if (alias) it.name = toks_[last].text;
            size_t n = exprEnd - start;
            if (isOp(exprEnd - 1, "*")) {
                it.star = true;
            } else if (n == 1 && toks_[start].t == T::String) {
                it.kind = toks_[start].text.empty() ? ItemKind::Null : ItemKind::String;
                it.length = int(toks_[start].text.size());
            } else if (n == 1 && toks_[start].t == T::Number) {
                it.kind = ItemKind::Number;
            } else if (n == 1 && isWord(start, "NULL")) {
                it.kind = ItemKind::Null;
            } else if (n == 1 && (isWord(start, "SYSDATE") || isWord(start, "CURRENT_DATE"))) {
                it.kind = ItemKind::Date;
            } else if (n == 1 && (isWord(start, "SYSTIMESTAMP") || isWord(start, "CURRENT_TIMESTAMP"))) {
                it.kind = ItemKind::TimestampTz;
            } else if (n == 1 && isWord(start, "LOCALTIMESTAMP")) {
                it.kind = ItemKind::Timestamp;
            } else if (n >= 3 && isOp(start + 1, "(") && matchParen(start + 1, exprEnd) == exprEnd - 1 &&
                       (isWord(start, "TO_DATE") || isWord(start, "TO_TIMESTAMP"))) {
                // A conversion standing alone keeps its type, so it fetches by the NLS formats.
                it.kind = isWord(start, "TO_DATE") ? ItemKind::Date : ItemKind::Timestamp;
                it.fraction = 9;
            } else if (n == 1 && toks_[start].t == T::Bind) {
                it.kind = ItemKind::Bind;
                it.bindName = toks_[start].text;
            } else if ((isWord(exprEnd - 1, "ROWID") && (n == 1 || isOp(exprEnd - 2, "."))) ||
                       (n == 1 && toks_[start].t == T::QIdent && toks_[start].text == "ROWID")) {
                it.kind = ItemKind::RowId;
            } else {
                bool plain = true;
                for (size_t q = start; q < exprEnd; ++q)
                    if (!(toks_[q].t == T::Ident || toks_[q].t == T::QIdent || isOp(q, "."))) plain = false;
                if (!plain) {
                    it.kind = ItemKind::Other;
                    int d = 0;
                    bool concat = false, arith = false;
                    for (size_t q = start; q < exprEnd; ++q) {
                        if (isOp(q, "(")) ++d;
                        if (isOp(q, ")")) --d;
                        if (isOp(q, "||")) concat = true;
                        if (d == 0 && (isOp(q, "+") || isOp(q, "-") || isOp(q, "*") || isOp(q, "/")))
                            arith = true;
                    }
                    static const std::set<std::string> numeric = {
                        "COUNT", "SUM", "AVG",       "LENGTH", "INSTR", "ROUND", "TRUNC",
                        "ABS",   "MOD", "TO_NUMBER", "CEIL",   "FLOOR", "SIGN",  "LENGTHB"};
                    if (!concat && (arith || (toks_[start].t == T::Ident &&
                                              numeric.count(toks_[start].text) && isOp(start + 1, "("))))
                        it.kind = ItemKind::Numeric;
                }
            }
            if (!alias && !it.star) {
                if (it.kind == ItemKind::Column || it.kind == ItemKind::RowId)
                    it.name = toks_[exprEnd - 1].text;
                else
                    it.name = nameText(start, exprEnd);
                aliasAfter_[int(p - 1)] = "AS " + quote(it.name);
            }
            out_.items.push_back(it);
            itemRanges_.push_back({start, exprEnd});
        }
        if (p == end || !isOp(p, ",")) break;
        start = p + 1;
    }
}

std::string Translator::checkWrap(const TableRef& t, const TableColumn& c, bool update, size_t from,
                                  size_t to, bool& ok) {
    size_t mark = pieces_.size();
    int idx = r_.checkFor(t, c, update);
    int slot = int(out_.slots.size());
    out_.slots.push_back(toks_[from].off);
    emit("ora_check(", toks_[from].off);
    ok = emitRange(from, to);
    emit(", " + std::to_string(idx) + ", " + std::to_string(slot) + ")", toks_[to - 1].off);
    (void)mark;
    return std::string();
}

bool Translator::emitSetList(size_t& i, size_t end) {
    const TableRef& t = levels_.back().tables.empty() ? out_.target : levels_.back().tables.front().second;
    std::vector<TableColumn> cols;
    r_.columns(t, cols);
    for (;;) {
        if (i >= end || (toks_[i].t != T::Ident && toks_[i].t != T::QIdent))
            return fail(927, i < end ? toks_[i].off : int(sql_.size()));
        std::string col = toks_[i].text;
        int colOff = toks_[i].off;
        ++i;
        if (!isOp(i, "=")) return fail(927, i < end ? toks_[i].off : int(sql_.size()));
        ++i;
        size_t e = i;
        int depth = 0;
        while (e < end) {
            if (isOp(e, "(")) ++depth;
            if (isOp(e, ")")) --depth;
            if (depth == 0 && (isOp(e, ",") || isWord(e, "WHERE") || isWord(e, "RETURNING"))) break;
            ++e;
        }
        if (e == i) return fail(936, e < end ? toks_[e].off : int(sql_.size()));
        auto it = std::find_if(cols.begin(), cols.end(), [&](const TableColumn& c) { return c.name == col; });
        if (it == cols.end()) return fail(904, colOff, quote(col));
        out_.setColumns.push_back(col);
        emit(quote(col) + " =", colOff);
        bool ok;
        checkWrap(t, *it, true, i, e, ok);
        if (!ok) return false;
        i = e;
        if (!isOp(i, ",")) return true;
        emit(",", toks_[i].off);
        ++i;
    }
}

bool Translator::emitInsert(size_t& i, size_t end) {
    // INSERT INTO name [alias] [(cols)] VALUES (...) | query
    emit("INSERT", toks_[i].off);
    ++i;
    if (!isWord(i, "INTO")) return fail(925, i < end ? toks_[i].off : int(sql_.size()));
    emit("INTO", toks_[i].off);
    ++i;
    if (!emitTableRef(i, end)) return false;
    const TableRef t = levels_.back().tables.back().second;
    std::vector<TableColumn> all, cols;
    r_.columns(t, all);
    if (isOp(i, "(") && !isWord(i + 1, "SELECT") && !isWord(i + 1, "WITH")) {
        size_t m = matchParen(i, end);
        if (m >= end) return fail(907, toks_[i].off);
        emit("(", toks_[i].off);
        for (size_t k = i + 1; k < m; ++k) {
            if (isOp(k, ",")) {
                emit(",", toks_[k].off);
                continue;
            }
            if (toks_[k].t != T::Ident && toks_[k].t != T::QIdent) return fail(928, toks_[k].off);
            auto it = std::find_if(all.begin(), all.end(),
                                   [&](const TableColumn& c) { return c.name == toks_[k].text; });
            if (it == all.end()) return fail(904, toks_[k].off, quote(toks_[k].text));
            cols.push_back(*it);
            emit(quote(it->name), toks_[k].off);
        }
        emit(")", toks_[m].off);
        i = m + 1;
    } else {
        cols = all;
    }
    if (!isWord(i, "VALUES")) {
        // A query: its rows pass the same checks as VALUES, column by column.
        if (i >= end) return fail(928, int(sql_.size()));
        int off = toks_[i].off;
        // "(query)": SQLite takes the query bare.
        if (isOp(i, "(") && matchParen(i, end) == end - 1) {
            ++i;
            --end;
        }
        std::string names, checks;
        for (size_t n = 0; n < cols.size(); ++n) {
            std::string c = "\"ORA$C" + std::to_string(n + 1) + "\"";
            names += (n ? ", " : "") + c;
            int idx = r_.checkFor(t, cols[n], false);
            int slot = int(out_.slots.size());
            out_.slots.push_back(off);
            checks += std::string(n ? ", " : "") + "ora_check(" + c + ", " + std::to_string(idx) + ", " +
                      std::to_string(slot) + ")";
        }
        emit("WITH \"ORA$SRC\"(" + names + ") AS (", off);
        if (!emitRange(i, end)) return false;
        emit(") SELECT " + checks + " FROM \"ORA$SRC\"", toks_[end - 1].off);
        i = end;
        return true;
    }
    emit("VALUES", toks_[i].off);
    ++i;
    if (!isOp(i, "(")) return fail(928, i < end ? toks_[i].off : int(sql_.size()));
    size_t m = matchParen(i, end);
    if (m >= end) return fail(907, toks_[i].off);
    emit("(", toks_[i].off);
    size_t k = i + 1, n = 0;
    while (k < m) {
        size_t e = k;
        int depth = 0;
        while (e < m) {
            if (isOp(e, "(")) ++depth;
            if (isOp(e, ")")) --depth;
            if (depth == 0 && isOp(e, ",")) break;
            ++e;
        }
        if (e == k) return fail(936, toks_[e].off);
        if (n >= cols.size()) return fail(913, toks_[k].off);
        bool ok;
        checkWrap(t, cols[n], false, k, e, ok);
        if (!ok) return false;
        ++n;
        k = e;
        if (isOp(k, ",")) {
            emit(",", toks_[k].off);
            ++k;
        }
    }
    if (n < cols.size()) return fail(947, toks_[m].off);
    emit(")", toks_[m].off);
    i = m + 1;
    return emitRange(i, end);
}

bool Translator::emitReturning(size_t& i, size_t end) {
    emit("RETURNING", toks_[i].off);
    ++i;
    size_t into = i;
    int depth = 0;
    while (into < end) {
        if (isOp(into, "(")) ++depth;
        if (isOp(into, ")")) --depth;
        if (depth == 0 && isWord(into, "INTO")) break;
        ++into;
    }
    if (into >= end) return fail(925, int(sql_.size()));
    if (!emitRange(i, into)) return false;
    for (size_t k = into + 1; k < end; ++k) {
        if (isOp(k, ",")) continue;
        if (toks_[k].t != T::Bind) return fail(1745, toks_[k].off);
        out_.returningBinds.push_back(toks_[k].text);
    }
    i = end;
    return true;
}

bool Translator::resolveDeferred(Deferred& d) {
    for (size_t l = levels_.size(); l-- > 0;) {
        if (d.qual.empty() && !d.hidden && levels_[l].tables.size() > 1) return fail(918, d.src);
        for (auto& [qual, ref] : levels_[l].tables) {
            if (!d.qual.empty() && qual != d.qual && ref.name != d.qual) continue;
            std::string q = quote(qual);
            if (d.hidden) {
                // The hidden row id of a simple query, for LOB locators.
                if (!ref.rowidColumn.empty())
                    pieces_[d.piece].text = ", " + q + "." + ref.rowidColumn + " AS \"ORA$ROWID\"";
                else
                    out_.hiddenRowid = false; // none to read (DUAL, an index-organised table)
                return true;
            }
            if (ref.rowidColumn.empty() && !ref.pkColumns.empty()) {
                // Index-organised: a logical row id over the key.
                std::string call = "ora_urowid(" + std::to_string(ref.objectId);
                for (auto& c : ref.pkColumns) call += ", " + q + "." + quote(c);
                call += ")";
                pieces_[d.piece].text = d.key ? call + " = " + d.operand : call;
                return true;
            }
            if (ref.rowidColumn.empty() || ref.rowidObject == 0) return fail(1445, d.src);
            std::string col = q + "." + ref.rowidColumn;
            if (d.key)
                pieces_[d.piece].text = col + " = ora_rowid_key(" + d.operand + ", " +
                                        std::to_string(ref.rowidObject) + ", " + std::to_string(d.slot) + ")";
            else
                pieces_[d.piece].text = "ora_rowid(" + std::to_string(ref.rowidObject) + ", " +
                                        std::to_string(ref.schemaId) + ", " + col + ")";
            return true;
        }
        if (levels_[l].query && !levels_[l].tables.empty() && d.qual.empty()) break;
    }
    return fail(904, d.src, "\"ROWID\"");
}

bool Translator::closeLevel() {
    Level lv = std::move(levels_.back());
    levels_.pop_back();
    if (!lv.query && !levels_.empty()) {
        for (auto& d : lv.deferred) levels_.back().deferred.push_back(d);
        for (auto& c : lv.comparisons) levels_.back().comparisons.push_back(c);
        for (auto& c : lv.concatTerms) levels_.back().concatTerms.push_back(c);
        return true;
    }
    levels_.push_back(std::move(lv));
    for (auto& d : levels_.back().deferred)
        if (!resolveDeferred(d)) return false;
    for (auto& c : levels_.back().comparisons) resolveComparison(c);
    // A DATE joined by || reads by the session's format, as a fetched one does.
    for (auto& c : levels_.back().concatTerms)
        if (typeOf(c.leftFrom, c.leftTo) == VT::Date) {
            pieces_[c.pieces[0]].text = "ora_to_char(";
            pieces_[c.pieces[1]].text = ")";
        }
    if (levels_.size() == 1) typeItems();
    levels_.pop_back();
    return true;
}

bool Translator::emitRange(size_t i, size_t end) {
    Nested nested(*this, i);
    if (!nested.ok) return false;
    while (i < end && !failed_) {
        size_t before = i;
        if (!levels_.back().expectTable && (toks_[i].t != T::Ident || !reserved().count(toks_[i].text))) {
            size_t next;
            if (emitComparison(i, end, next)) {
                if (failed_) return false;
                i = next;
                continue;
            }
            if (emitChain(i, end, next)) {
                if (failed_) return false;
                i = next;
                auto a = aliasAfter_.find(int(i - 1));
                if (a != aliasAfter_.end() && inChain_ == 0) emit(a->second, toks_[i - 1].off);
                continue;
            }
        }
        if (!emitOne(i, end)) return false;
        if (i > before && inChain_ == 0) {
            auto a = aliasAfter_.find(int(i - 1));
            if (a != aliasAfter_.end()) emit(a->second, toks_[i - 1].off);
        }
    }
    return !failed_;
}

// Whether SQLite keeps a number literal exactly: a 64-bit integer, or at most 15
// significant digits (a double reads them back unchanged).
bool exactNumber(const std::string& text) {
    size_t e = text.find_first_of("eE");
    std::string mantissa = text.substr(0, e);
    std::string digits;
    for (char c : mantissa)
        if (c >= '0' && c <= '9') digits += c;
    if (e == std::string::npos && mantissa.find('.') == std::string::npos) {
        size_t first = digits.find_first_not_of('0');
        std::string v = first == std::string::npos ? "0" : digits.substr(first);
        if (v.size() < 19 || (v.size() == 19 && v <= "9223372036854775807")) return true;
    }
    size_t first = digits.find_first_not_of('0'), last = digits.find_last_not_of('0');
    return first == std::string::npos || last - first + 1 <= 15;
}

bool Translator::emitOne(size_t& i, size_t end) {
    Level& lv = levels_.back();
    const Tok& t = toks_[i];
    if (lv.expectTable && (t.t == T::Ident || t.t == T::QIdent || isOp(i, "("))) return emitTableRef(i, end);
    switch (t.t) {
    case T::String:
        emit(t.text.empty() ? "NULL" : sqlString(t.text), t.off);
        ++i;
        return true;
    case T::Number:
        if (!exactNumber(t.text)) return fail(1426, t.off);
        emit(t.text, t.off);
        ++i;
        return true;
    case T::Bind: {
        auto it = std::find(out_.bindNames.begin(), out_.bindNames.end(), t.text);
        size_t n = it - out_.bindNames.begin();
        if (it == out_.bindNames.end()) out_.bindNames.push_back(t.text);
        emit("?" + std::to_string(n + 1), t.off);
        ++i;
        return true;
    }
    case T::Op: {
        if (t.text == "(" && scalarSubquery(i)) {
            // A scalar subquery: its value, or 1427 when it has more than one row.
            size_t m = matchParen(i, end);
            if (m >= end) return fail(907, t.off);
            emit("ora_scalar((SELECT count(*) FROM (", t.off);
            // Its text appears twice at every level: nested subqueries double
            // the translation per level, so their nesting is bounded.
            if (scalarDepth_ >= kMaxScalarNesting) return fail(3001, t.off);
            ++scalarDepth_;
            levels_.push_back(Level{});
            bool ok = emitRange(i + 1, m) && closeLevel();
            if (ok) emit("LIMIT 2)), (", toks_[m].off);
            if (ok) levels_.push_back(Level{});
            ok = ok && emitRange(i + 1, m) && closeLevel();
            --scalarDepth_;
            if (!ok) return false;
            emit("), " + slotAt(t.off) + ")", toks_[m].off);
            i = m + 1;
            return true;
        }
        if (t.text == "(") {
            size_t m = matchParen(i, end);
            if (m >= end) return fail(907, t.off);
            emit("(", t.off);
            levels_.push_back(Level{});
            if (!emitRange(i + 1, m) || !closeLevel()) return false;
            emit(")", toks_[m].off);
            i = m + 1;
            return true;
        }
        if (t.text == ")") return fail(933, t.off);
        if (t.text == "^=") {
            emit("<>", t.off);
        } else if (t.text == "/") {
            // NUMBER division is decimal, never integer division.
            emit("* 1.0 /", t.off);
        } else if (t.text == "," && lv.fromList) {
            emit(",", t.off);
            lv.expectTable = true;
        } else {
            emit(t.text, t.off);
        }
        ++i;
        return true;
    }
    case T::QIdent:
        if (t.text == "ROWID" && !isWord(i - 1, "AS") && !isOp(i + 1, "(")) break;
        emit(quote(t.text), t.off);
        ++i;
        return true;
    case T::Ident: break;
    }
    const std::string& w = t.text;
    bool qualified = i > 0 && isOp(i - 1, ".");
    // ROWID, possibly qualified, possibly compared with one value.
    auto isRowid = [&](size_t k) {
        return k < end && (toks_[k].t == T::Ident || toks_[k].t == T::QIdent) && toks_[k].text == "ROWID";
    };
    bool qualifiedRowid =
        (t.t == T::Ident || t.t == T::QIdent) && isOp(i + 1, ".") && isRowid(i + 2) && !isOp(i + 3, "(");
    if (qualifiedRowid || (isRowid(i) && !qualified)) {
        Deferred d{pieces_.size(), qualifiedRowid ? w : std::string(), t.off, false, "", -1};
        emit("", t.off);
        i += qualifiedRowid ? 3 : 1;
        if (isOp(i, "=") && i + 1 < end && (toks_[i + 1].t == T::Bind || toks_[i + 1].t == T::String)) {
            d.key = true;
            size_t save = pieces_.size();
            size_t k = i + 1;
            if (!emitOne(k, end)) return false;
            d.operand = pieces_.back().text;
            pieces_.resize(save);
            d.slot = int(out_.slots.size());
            out_.slots.push_back(toks_[i + 1].off);
            i = k;
        }
        lv.deferred.push_back(d);
        return true;
    }
    if (t.t != T::Ident) {
        emit(quote(w), t.off);
        ++i;
        return true;
    }
    bool call = isOp(i + 1, "(");
    // DATE 'YYYY-MM-DD' and TIMESTAMP 'YYYY-MM-DD HH24:MI:SS[.FF]' literals.
    if (!qualified && (w == "DATE" || w == "TIMESTAMP") && i + 1 < end && toks_[i + 1].t == T::String) {
        emit(std::string(w == "DATE" ? "ora_to_date(" : "ora_to_timestamp(") + sqlString(toks_[i + 1].text) +
                 (w == "DATE" ? ", 'YYYY-MM-DD')" : ", 'YYYY-MM-DD HH24:MI:SS.FF')"),
             t.off);
        i += 2;
        return true;
    }
    // seq.NEXTVAL, owner.seq.CURRVAL
    if (!qualified && isOp(i + 1, ".") && (isWord(i + 2, "NEXTVAL") || isWord(i + 2, "CURRVAL"))) {
        bool next = isWord(i + 2, "NEXTVAL") && nextvalSeen_.insert(schema_ + "." + w).second;
        emit(std::string(next ? "ora_nextval(" : "ora_currval(") + sqlString(schema_) + ", " + sqlString(w) +
                 ")",
             t.off);
        i += 3;
        return true;
    }
    if (!qualified && isOp(i + 1, ".") && isOp(i + 3, ".") &&
        (isWord(i + 4, "NEXTVAL") || isWord(i + 4, "CURRVAL"))) {
        bool next = isWord(i + 4, "NEXTVAL") && nextvalSeen_.insert(w + "." + toks_[i + 2].text).second;
        emit(std::string(next ? "ora_nextval(" : "ora_currval(") + sqlString(w) + ", " +
                 sqlString(toks_[i + 2].text) + ")",
             t.off);
        i += 5;
        return true;
    }
    if (w == "SELECT") {
        lv.query = true;
        if (levels_.size() == 1 && out_.items.empty()) selectList(i + 1, end);
    } else if (w == "FROM") {
        if (levels_.size() == 1 && (out_.kind == Kind::Select || out_.kind == Kind::CreateView) &&
            !hiddenDone_ && simpleQuery()) {
            hiddenDone_ = true;
            Deferred d{pieces_.size(), "", t.off, false, "", -1};
            d.hidden = true;
            emit("", t.off);
            lv.deferred.push_back(d);
            out_.hiddenRowid = true;
        }
        lv.fromList = true;
        lv.expectTable = true;
    } else if (w == "JOIN") {
        lv.expectTable = true;
    } else if (w == "WHERE" && levels_.size() == 1 &&
               (out_.kind == Kind::Update || out_.kind == Kind::Delete)) {
        lv.fromList = false;
        emit("WHERE (", t.off);
        whereOpen_ = true;
        ++i;
        return true;
    } else if (w == "ORDER" && isWord(i + 1, "BY")) {
        lv.fromList = false;
        return emitOrderBy(i, end);
    } else if (w == "WHERE" || w == "GROUP" || w == "ORDER" || w == "HAVING" || w == "ON" || w == "USING" ||
               w == "UNION" || w == "INTERSECT" || w == "MINUS") {
        lv.fromList = false;
        if (w == "MINUS") {
            emit("EXCEPT", t.off);
            ++i;
            return true;
        }
    } else if (w == "CONNECT" || w == "PRIOR" || w == "ROWNUM" || (w == "START" && isWord(i + 1, "WITH")) ||
               w == "MERGE" || w == "BEGIN" || w == "DECLARE") {
        return fail(3001, t.off);
    } else if (w == "FOR" && isWord(i + 1, "UPDATE") && levels_.size() == 1) {
        out_.forUpdate = true;
        size_t k = i + 2;
        if (isWord(k, "OF")) {
            ++k;
            while (k < end && !isWord(k, "NOWAIT") && !isWord(k, "WAIT")) ++k;
        }
        if (isWord(k, "NOWAIT")) {
            out_.nowait = true;
            ++k;
        } else if (isWord(k, "WAIT") && k + 1 < end && toks_[k + 1].t == T::Number) {
            k += 2;
        }
        if (k < end) return fail(933, toks_[k].off);
        i = end;
        return true;
    } else if (w == "SET" && out_.kind == Kind::Update && levels_.size() == 1) {
        lv.fromList = false;
        emit("SET", t.off);
        ++i;
        return emitSetList(i, end);
    } else if (w == "RETURNING" && levels_.size() == 1) {
        addTick();
        return emitReturning(i, end);

    } else if (!call && !qualified && !isOp(i + 1, ".")) {
        static const std::map<std::string, std::string> pseudo = {
            {"USER", "ora_user()"},
            {"SYSDATE", "ora_sysdate()"},
            {"SYSTIMESTAMP", "ora_systimestamp()"},
            {"SESSIONTIMEZONE", "ora_sessiontimezone()"},
            {"DBTIMEZONE", "ora_dbtimezone()"},
            {"CURRENT_DATE", "ora_current_date()"},
            {"CURRENT_TIMESTAMP", "ora_current_timestamp()"},
            {"LOCALTIMESTAMP", "ora_localtimestamp()"}};
        auto p = pseudo.find(w);
        if (p != pseudo.end()) {
            emit(p->second, t.off);
            ++i;
            return true;
        }
    } else if (call && !qualified) {
        static const std::map<std::string, std::string> fn = {{"DECODE", "ora_decode"},
                                                              {"NVL", "ora_nvl"},
                                                              {"SUBSTR", "ora_substr"},
                                                              {"INSTR", "ora_instr"},
                                                              {"TO_CHAR", "ora_to_char"},
                                                              {"TO_DATE", "ora_to_date"},
                                                              {"TO_TIMESTAMP", "ora_to_timestamp"},
                                                              {"TO_NUMBER", "ora_to_number"},
                                                              {"LENGTH", "ora_length"},
                                                              {"LENGTHB", "ora_lengthb"},
                                                              {"TRUNC", "ora_trunc"},
                                                              {"NVL2", "ora_nvl2"},
                                                              {"CONCAT", "ora_concat"},
                                                              {"MOD", "ora_mod"},
                                                              {"ROUND", "ora_round"},
                                                              {"UPPER", "ora_upper"},
                                                              {"LOWER", "ora_lower"},
                                                              {"INITCAP", "ora_initcap"},
                                                              {"LTRIM", "ora_ltrim"},
                                                              {"RTRIM", "ora_rtrim"},
                                                              {"REPLACE", "ora_replace"},
                                                              {"LPAD", "ora_lpad"},
                                                              {"RPAD", "ora_rpad"},
                                                              {"ADD_MONTHS", "ora_add_months"},
                                                              {"LAST_DAY", "ora_last_day"},
                                                              {"MONTHS_BETWEEN", "ora_months_between"},
                                                              {"GREATEST", "ora_greatest"},
                                                              {"LEAST", "ora_least"},
                                                              {"SUM", "ora_sum"},
                                                              {"AVG", "ora_avg"}};
        // TRIM(s) of one argument; TRIM(LEADING x FROM s) and the like stay SQLite's to refuse.
        if (w == "TRIM") {
            size_t m = matchParen(i + 1, end);
            bool plain = m < end;
            int depth = 0;
            for (size_t k = i + 2; plain && k < m; ++k) {
                if (isOp(k, "(")) ++depth;
                if (isOp(k, ")")) --depth;
                if (depth == 0 && (isOp(k, ",") || isWord(k, "FROM") || isWord(k, "LEADING") ||
                                   isWord(k, "TRAILING") || isWord(k, "BOTH")))
                    plain = false;
            }
            if (plain) {
                emit("ora_trim", t.off);
                ++i;
                return true;
            }
        }
        // CAST to NUMBER converts as TO_NUMBER (rounded to a given scale), to DATE as TO_DATE.
        if (w == "CAST") {
            size_t m = matchParen(i + 1, end), as = m;
            int depth = 0;
            for (size_t k = i + 2; k < m; ++k) {
                if (isOp(k, "(")) ++depth;
                if (isOp(k, ")")) --depth;
                if (depth == 0 && isWord(k, "AS")) as = k;
            }
            if (m < end && as + 1 < m &&
                (isWord(as + 1, "NUMBER") || isWord(as + 1, "DATE") || isWord(as + 1, "INTEGER"))) {
                bool date = isWord(as + 1, "DATE");
                std::string scale;
                if (isWord(as + 1, "INTEGER"))
                    scale = "0";
                else if (isOp(as + 2, "(") && isOp(as + 4, ",") && as + 5 < m && toks_[as + 5].t == T::Number)
                    scale = toks_[as + 5].text;
                else if (isOp(as + 2, "(") && isOp(as + 4, ",") && isOp(as + 5, "-") && as + 6 < m)
                    scale = "-" + toks_[as + 6].text;
                else if (isOp(as + 2, "(") && isOp(as + 4, ")"))
                    scale = "0";
                emit(date            ? "ora_to_date(("
                     : scale.empty() ? "ora_to_number(("
                                     : "ora_round(ora_to_number((",
                     t.off);
                if (!emitRange(i + 2, as)) return false;
                emit(scale.empty() || date ? "))" : ")), " + scale + ")", toks_[m].off);
                i = m + 1;
                return true;
            }
        }
        auto f = fn.find(w);
        if (f != fn.end()) {
            emit(f->second, t.off);
            ++i;
            return true;
        }
    }
    emit(w, t.off);
    ++i;
    return true;
}

// Column definitions of CREATE TABLE with Oracle type names in a form SQLite
// keeps as the declared type: "VARCHAR2(10 CHAR)" becomes "VARCHAR2 CHAR(10)",
// "TIMESTAMP(6) WITH TIME ZONE" becomes "TIMESTAMP WITH TIME ZONE(6)".
// The declared type of a virtual column from its expression, given the types of
// the columns before it; empty when it cannot be told.
std::string Translator::expressionType(size_t a, size_t b,
                                       const std::map<std::string, std::string>& types) const {
    auto typeOf = [&](size_t k) -> std::string {
        if (toks_[k].t != T::Ident && toks_[k].t != T::QIdent) return "";
        auto f = types.find(toks_[k].text);
        return f == types.end() ? "" : f->second;
    };
    auto lengthOf = [&](const std::string& type) -> int {
        std::string up = upperAscii(type);
        if (up.compare(0, 6, "NUMBER") == 0 || up.compare(0, 7, "INTEGER") == 0 ||
            up.compare(0, 5, "FLOAT") == 0)
            return 40;
        size_t p = up.find('(');
        if ((up.find("CHAR") == std::string::npos) || p == std::string::npos) return 0;
        return std::atoi(up.c_str() + p + 1);
    };
    static const std::set<std::string> textFunctions = {"SUBSTR", "UPPER",   "LOWER", "TRIM",    "LTRIM",
                                                        "RTRIM",  "LPAD",    "RPAD",  "INITCAP", "REPLACE",
                                                        "CONCAT", "TO_CHAR", "NVL"};
    static const std::set<std::string> numberFunctions = {"LENGTH",    "LENGTHB", "INSTR", "ROUND", "TRUNC",
                                                          "ABS",       "MOD",     "CEIL",  "FLOOR", "SIGN",
                                                          "TO_NUMBER", "POWER",   "SQRT"};
    if (b == a + 1) {
        if (toks_[a].t == T::Number) return "NUMBER";
        if (toks_[a].t == T::String)
            return "VARCHAR2(" + std::to_string(std::max<size_t>(1, toks_[a].text.size())) + ")";
        return typeOf(a);
    }
    // Split at the top level.
    bool concat = false, arith = false, minus = false;
    int dates = 0, depth = 0;
    int length = 0;
    bool lengthKnown = true;
    for (size_t k = a; k < b; ++k) {
        if (isOp(k, "(")) ++depth;
        if (isOp(k, ")")) --depth;
        if (depth != 0) continue;
        if (isOp(k, "||")) concat = true;
        if (isOp(k, "+") || isOp(k, "*") || isOp(k, "/")) arith = true;
        if (isOp(k, "-")) arith = minus = true;
        std::string ty = typeOf(k);
        if (!ty.empty() && !isOp(k + 1, "(")) {
            if (upperAscii(ty) == "DATE") ++dates;
            int n = lengthOf(ty);
            if (n)
                length += n;
            else
                lengthKnown = false;
        } else if (toks_[k].t == T::String) {
            length += int(toks_[k].text.size());
        } else if (toks_[k].t == T::Number) {
            length += int(toks_[k].text.size());
        } else if (toks_[k].t == T::Ident && isOp(k + 1, "(")) {
            lengthKnown = false;
        }
    }
    if (concat)
        return "VARCHAR2(" + std::to_string(lengthKnown && length > 0 ? std::min(length, 4000) : 4000) + ")";
    if (arith) return dates == 1 ? "DATE" : "NUMBER";
    if (toks_[a].t == T::Ident && isOp(a + 1, "(") && matchParen(a + 1, b) == b - 1) {
        const std::string& f = toks_[a].text;
        if (numberFunctions.count(f)) {
            if ((f == "ROUND" || f == "TRUNC") && upperAscii(typeOf(a + 2)) == "DATE") return "DATE";
            return "NUMBER";
        }
        if (textFunctions.count(f)) {
            int n = lengthOf(typeOf(a + 2));
            if (f == "LPAD" || f == "RPAD" || f == "REPLACE" || f == "CONCAT" || f == "TO_CHAR") n = 0;
            return "VARCHAR2(" + std::to_string(n > 0 ? n : 4000) + ")";
        }
    }
    return "";
}

bool Translator::tableBody(size_t from, size_t to, std::string& out) {
    static const std::set<std::string> stops = {"NOT",   "NULL",       "PRIMARY",    "UNIQUE",    "DEFAULT",
                                                "CHECK", "CONSTRAINT", "REFERENCES", "GENERATED", "AS"};
    size_t k = from;
    bool itemStart = true;
    int depth = 0;
    std::string column;         // the column being defined
    std::string constraintName; // after CONSTRAINT name, for the constraint that follows
    size_t typePos = 0;         // where its type goes in out
    std::map<std::string, std::string> types;
    auto original = [&](size_t a, size_t b) {
        return sql_.substr(size_t(toks_[a].off), size_t(toks_[b - 1].off + toks_[b - 1].len - toks_[a].off));
    };
    while (k < to) {
        const Tok& t = toks_[k];
        if (itemStart && depth == 0 && (t.t == T::Ident || t.t == T::QIdent) &&
            !(t.t == T::Ident && (t.text == "CONSTRAINT" || t.text == "PRIMARY" || t.text == "UNIQUE" ||
                                  t.text == "CHECK" || t.text == "FOREIGN"))) {
            column = t.text;
            out += quote(t.text) + " ";
            typePos = out.size();
            ++k;
            // The type: words and one argument list.
            std::vector<std::string> words, args;
            while (k < to && toks_[k].t == T::Ident && !stops.count(toks_[k].text)) {
                words.push_back(toks_[k].text);
                ++k;
                if (isOp(k, "(")) {
                    size_t m = matchParen(k, to);
                    for (size_t q = k + 1; q < m; ++q) {
                        if (toks_[q].t == T::Number)
                            args.push_back(toks_[q].text);
                        else if (isWord(q, "CHAR"))
                            words.push_back("CHAR");
                        else if (isOp(q, "-") && q + 1 < m) {
                            args.push_back("-" + toks_[q + 1].text);
                            ++q;
                        }
                    }
                    k = m + 1;
                }
            }
            std::string type;
            // SQLite refuses TO inside a type name: "INTERVAL DAY_TO_SECOND".
            for (size_t w = 0; w < words.size(); ++w) {
                if (words[w] == "TO" && w > 0 && w + 1 < words.size()) {
                    type += "_TO_" + words[++w];
                    continue;
                }
                type += (type.empty() ? "" : " ") + words[w];
            }
            if (!args.empty()) {
                type += "(";
                for (size_t a = 0; a < args.size(); ++a) type += (a ? "," : "") + args[a];
                type += ")";
            }
            out += type;
            types[column] = type;
            itemStart = false;
            continue;
        }
        if (isOp(k, "(")) ++depth;
        if (isOp(k, ")")) --depth;
        if (depth == 0 && isOp(k, ",")) {
            out += ", ";
            itemStart = true;
            column.clear();
            constraintName.clear();
            ++k;
            continue;
        }
        itemStart = false;
        if (depth == 0 && (isWord(k, "NOT") || isWord(k, "NULL"))) constraintName.clear();
        // Every key and check constraint is named, so a violation can name it.
        if (depth == 0 && isWord(k, "CONSTRAINT") && k + 1 < to &&
            (toks_[k + 1].t == T::Ident || toks_[k + 1].t == T::QIdent)) {
            constraintName = toks_[k + 1].text;
            out += " CONSTRAINT " + quote(constraintName);
            k += 2;
            continue;
        }
        if (depth == 0 && (isWord(k, "REFERENCES") || (isWord(k, "FOREIGN") && isWord(k + 1, "KEY")))) {
            if (!foreignKey(k, to, column, constraintName, out)) return false;
            constraintName.clear();
            continue;
        }
        if (depth == 0 &&
            ((isWord(k, "PRIMARY") && isWord(k + 1, "KEY")) || isWord(k, "UNIQUE") || isWord(k, "CHECK"))) {
            ConstraintDef c;
            c.name = constraintName;
            c.type = isWord(k, "PRIMARY") ? 'P' : isWord(k, "UNIQUE") ? 'U' : 'C';
            size_t list = c.type == 'P' ? k + 2 : k + 1;
            if (c.type != 'C' && column.empty() && isOp(list, "(")) {
                size_t m = matchParen(list, to);
                for (size_t q = list + 1; q < m; ++q)
                    if (toks_[q].t == T::Ident || toks_[q].t == T::QIdent) c.columns.push_back(toks_[q].text);
            } else if (c.type != 'C' && !column.empty()) {
                c.columns.push_back(column);
            }
            if (c.name.empty())
                out += " CONSTRAINT " + quote("ORA$C" + std::to_string(out_.constraints.size()));
            out_.constraints.push_back(std::move(c));
            constraintName.clear();
        }
        if (depth == 0 && isWord(k, "DEFAULT")) {
            // The default runs through the translator too; it ends at the
            // next constraint word or comma of the column list.
            static const std::set<std::string> ends = {"NOT",        "PRIMARY",    "UNIQUE", "CHECK",
                                                       "CONSTRAINT", "REFERENCES", "ENABLE", "DISABLE"};
            size_t b = k + 1;
            if (isWord(b, "ON") && isWord(b + 1, "NULL")) b += 2;
            size_t e = b;
            int d = 0;
            while (e < to) {
                if (isOp(e, "(")) ++d;
                if (isOp(e, ")")) {
                    if (d == 0) break;
                    --d;
                }
                if (d == 0) {
                    if (isOp(e, ",")) break;
                    if (toks_[e].t == T::Ident && ends.count(toks_[e].text)) break;
                    // NULL after an operand is the nullability, not part of the default.
                    if (e > b && isWord(e, "NULL") && (toks_[e - 1].t != T::Op || isOp(e - 1, ")"))) break;
                }
                ++e;
            }
            if (e == b) return fail(936, b < to ? toks_[b].off : int(sql_.size()));
            if (!column.empty()) out_.defaults.push_back({column, original(b, e)});
            size_t mark = pieces_.size();
            levels_.push_back(Level{});
            bool ok = emitRange(b, e);
            levels_.pop_back();
            if (!ok) return false;
            std::string expr;
            for (size_t p = mark; p < pieces_.size(); ++p) expr += " " + pieces_[p].text;
            out += " DEFAULT (" + expr + ")";
            if (!column.empty()) out_.defaultSql.push_back({column, expr});
            pieces_.resize(mark);
            k = e;
            continue;
        }
        if (depth == 0 && isWord(k, "AS") && isOp(k + 1, "(")) {
            // A virtual column's expression, translated as any other.
            size_t m = matchParen(k + 1, to);
            if (m >= to) return fail(907, toks_[k + 1].off);
            if (!column.empty() && m > k + 2) out_.defaults.push_back({column, original(k + 2, m)});
            // Without a declared type the column takes its expression's.
            if (!column.empty() && types[column].empty()) {
                std::string type = expressionType(k + 2, m, types);
                out.insert(typePos, type);
                types[column] = type;
            }
            size_t mark = pieces_.size();
            levels_.push_back(Level{});
            bool ok = emitRange(k + 2, m);
            levels_.pop_back();
            if (!ok) return false;
            out += " AS (";
            for (size_t p = mark; p < pieces_.size(); ++p) out += " " + pieces_[p].text;
            out += ")";
            pieces_.resize(mark);
            k = m + 1;
            continue;
        }
        if (t.t == T::QIdent)
            out += " " + quote(t.text);
        else if (t.t == T::String)
            out += " " + (t.text.empty() ? std::string("NULL") : sqlString(t.text));
        else if (t.t == T::Bind)
            return fail(1027, t.off);
        else
            out += " " + t.text;
        ++k;
    }
    return true;
}

// A foreign key: REFERENCES after a column, or a table's FOREIGN KEY (...)
// REFERENCES. SQLite keeps it as a foreign key of its own, checked at the end
// of each statement as Oracle checks one: its parent must be in the same
// schema (one database file), and it is neither deferred nor disabled. ALTER
// TABLE cannot add one to SQLite's table.
bool Translator::foreignKey(size_t& k, size_t to, const std::string& column,
                            const std::string& constraintName, std::string& out) {
    const int at = toks_[k].off;
    if (out_.kind != Kind::CreateTable) return fail(3001, at);
    auto end = [&](size_t q) { return q < to ? toks_[q].off : int(sql_.size()); };
    // A parenthesised list of column names; k after it.
    auto names = [&](std::vector<std::string>& into) {
        size_t m = matchParen(k, to);
        if (m >= to) return fail(907, toks_[k].off);
        bool want = true;
        for (size_t q = k + 1; q < m; ++q) {
            if (want && (toks_[q].t == T::Ident || toks_[q].t == T::QIdent)) {
                into.push_back(toks_[q].text);
                want = false;
            } else if (!want && isOp(q, ",")) {
                want = true;
            } else {
                return fail(want ? 904 : 907, toks_[q].off);
            }
        }
        if (want) return fail(904, toks_[m].off);
        k = m + 1;
        return true;
    };
    ConstraintDef c;
    c.type = 'R';
    c.name = constraintName;
    c.offset = at;
    const bool tableLevel = isWord(k, "FOREIGN");
    if (tableLevel) {
        k += 2;
        if (!isOp(k, "(")) return fail(906, end(k));
        if (!names(c.columns)) return false;
        if (!isWord(k, "REFERENCES")) return fail(905, end(k));
    } else {
        if (column.empty()) return fail(904, at);
        c.columns.push_back(column);
    }
    ++k;
    std::string owner, name;
    int off;
    if (!emitName(k, to, owner, name, off)) return false;
    const std::string& schema = out_.target.owner;
    if ((owner.empty() ? schema_ : owner) == schema && name == out_.target.name) {
        c.refTable = name;
    } else {
        TableRef ref;
        if (!r_.findTable(owner, name, ref)) return fail(942, off);
        if (ref.view || ref.mview) return fail(2270, at);
        if (ref.owner != schema) return fail(3001, off);
        c.refTable = ref.name;
    }
    if (isOp(k, "(") && !names(c.refColumns)) return false;
    if (!c.refColumns.empty() && c.refColumns.size() != c.columns.size()) return fail(2256, at);
    c.deleteRule = "NO ACTION";
    if (isWord(k, "ON")) {
        if (isWord(k + 1, "DELETE") && isWord(k + 2, "CASCADE")) {
            c.deleteRule = "CASCADE";
            k += 3;
        } else if (isWord(k + 1, "DELETE") && isWord(k + 2, "SET") && isWord(k + 3, "NULL")) {
            c.deleteRule = "SET NULL";
            k += 4;
        } else {
            return fail(905, end(k + 1));
        }
    }
    for (;;) {
        if ((isWord(k, "NOT") && isWord(k + 1, "DEFERRABLE")) ||
            (isWord(k, "INITIALLY") && isWord(k + 1, "IMMEDIATE")))
            k += 2;
        else if (isWord(k, "ENABLE") || isWord(k, "VALIDATE"))
            ++k;
        else if (isWord(k, "DEFERRABLE") || isWord(k, "INITIALLY") || isWord(k, "DISABLE") ||
                 isWord(k, "NOVALIDATE") || isWord(k, "RELY"))
            return fail(3001, toks_[k].off);
        else
            break;
    }
    auto list = [&](const std::vector<std::string>& cols) {
        std::string l;
        for (const std::string& col : cols) l += (l.empty() ? "" : ", ") + quote(col);
        return " (" + l + ")";
    };
    if (c.name.empty()) out += " CONSTRAINT " + quote("ORA$C" + std::to_string(out_.constraints.size()));
    if (tableLevel) out += " FOREIGN KEY" + list(c.columns);
    out += " REFERENCES " + quote(c.refTable);
    if (!c.refColumns.empty()) out += list(c.refColumns);
    if (c.deleteRule != "NO ACTION") out += " ON DELETE " + c.deleteRule;
    out_.constraints.push_back(std::move(c));
    return true;
}

bool Translator::simpleStatement() {
    // Transaction control and user administration.
    const size_t n = toks_.size();
    auto word = [&](size_t k) { return k < n && toks_[k].t == T::Ident ? toks_[k].text : std::string(); };
    std::string w0 = word(0);
    if (w0 == "COMMIT") {
        out_.kind = Kind::Commit;
        out_.functionCode = 54;
        return true;
    }
    if (w0 == "ROLLBACK") {
        size_t k = 1;
        if (word(k) == "WORK") ++k;
        if (word(k) == "TO") {
            ++k;
            if (word(k) == "SAVEPOINT") ++k;
            if (k >= n || (toks_[k].t != T::Ident && toks_[k].t != T::QIdent))
                return fail(933, k < n ? toks_[k].off : int(sql_.size()));
            out_.kind = Kind::RollbackTo;
            out_.functionCode = 55;
            out_.words = {toks_[k].text};
            out_.sql = "ROLLBACK TO " + quote(toks_[k].text);
            if (k + 1 < n) return fail(933, toks_[k + 1].off);
            return true;
        }
        if (k < n) return fail(933, toks_[k].off);
        out_.kind = Kind::Rollback;
        out_.functionCode = 55;
        return true;
    }
    if (w0 == "SAVEPOINT") {
        if (n != 2 || (toks_[1].t != T::Ident && toks_[1].t != T::QIdent))
            return fail(933, n > 1 ? toks_[1].off : int(sql_.size()));
        out_.kind = Kind::Savepoint;
        out_.functionCode = 56;
        out_.words = {toks_[1].text};
        out_.sql = "SAVEPOINT " + quote(toks_[1].text);
        return true;
    }
    if ((w0 == "CREATE" || w0 == "ALTER" || w0 == "DROP") && word(1) == "USER") {
        out_.kind = Kind::UserAdmin;
        out_.functionCode = w0 == "CREATE" ? 51 : w0 == "ALTER" ? 43 : 53;
    } else if (w0 == "GRANT") {
        out_.kind = Kind::UserAdmin;
        out_.functionCode = 17;
    } else if (w0 == "ALTER" && word(1) == "SESSION") {
        out_.kind = Kind::Other;
        out_.functionCode = 42;
    } else {
        return false;
    }
    for (auto& t : toks_) {
        out_.words.push_back(t.text);
        out_.raw.push_back(t.t == T::Ident ? sql_.substr(t.off, t.len) : t.text);
    }
    return true;
}

bool Translator::run() {
    if (!tokenize()) return false;
    if (toks_.empty()) return fail(900, 0);
    levels_.push_back(Level{});
    if (simpleStatement()) return !failed_;
    const std::string w0 = toks_[0].t == T::Ident ? toks_[0].text : std::string();
    size_t i = 0, end = toks_.size();
    if (w0 == "SELECT" || w0 == "WITH" || isOp(0, "(")) {
        out_.kind = Kind::Select;
        out_.functionCode = 4;
        if (!emitRange(0, end)) return false;
    } else if (w0 == "INSERT") {
        out_.kind = Kind::Insert;
        out_.functionCode = 3;
        levels_.back().query = true;
        if (!emitInsert(i, end)) return false;
    } else if (w0 == "UPDATE") {
        out_.kind = Kind::Update;
        out_.functionCode = 5;
        levels_.back().query = true;
        emit("UPDATE", toks_[0].off);
        i = 1;
        if (!emitTableRef(i, end) || !emitRange(i, end)) return false;
    } else if (w0 == "DELETE") {
        out_.kind = Kind::Delete;
        out_.functionCode = 9;
        levels_.back().query = true;
        emit("DELETE FROM", toks_[0].off);
        i = 1;
        if (isWord(i, "FROM")) ++i;
        if (!emitTableRef(i, end) || !emitRange(i, end)) return false;
    } else if (w0 == "CREATE" && isWord(1, "TABLE")) {
        out_.kind = Kind::CreateTable;
        out_.functionCode = 1;
        i = 2;
        std::string owner, name;
        int off;
        if (!emitNewName(i, end, owner, name, off, false)) return false;
        out_.target = tableRef(owner, name, false);
        if (!isOp(i, "(")) return fail(906, i < end ? toks_[i].off : int(sql_.size()));
        size_t m = matchParen(i, end);
        if (m >= end) return fail(907, toks_[i].off);
        std::string body;
        if (!tableBody(i + 1, m, body)) return false;
        // One LONG or LONG RAW column per table.
        int longs = 0;
        for (size_t k = i + 1; k < m; ++k)
            if (isWord(k, "LONG")) ++longs;
        if (longs > 1) return fail(1754, toks_[i].off);
        for (size_t k = m + 1; k < end; ++k) {
            if (isWord(k, "ORGANIZATION") && isWord(k + 1, "INDEX")) {
                out_.organizationIndex = true;
                ++k;
            } else if (isWord(k, "TABLESPACE") && k + 1 < end) {
                ++k;
            } else {
                return fail(922, toks_[k].off);
            }
        }
        emit("CREATE TABLE " + quote(owner) + "." + quote(name) + " (" + body + ")" +
                 (out_.organizationIndex ? " WITHOUT ROWID" : ""),
             toks_[0].off);
    } else if (w0 == "CREATE" && (isWord(1, "MATERIALIZED") || isWord(1, "SNAPSHOT")) &&
               (isWord(1, "SNAPSHOT") || isWord(2, "VIEW"))) {
        // CREATE MATERIALIZED VIEW m [options] AS query: a table filled from the query.
        out_.kind = Kind::CreateMView;
        out_.functionCode = 74;
        i = isWord(1, "SNAPSHOT") ? 2 : 3;
        std::string owner, name;
        int off;
        if (!emitNewName(i, end, owner, name, off, false)) return false;
        std::string mode = "DEMAND", method = "FORCE", build = "IMMEDIATE";
        while (i < end && !isWord(i, "AS")) {
            if (isWord(i, "BUILD") && (isWord(i + 1, "IMMEDIATE") || isWord(i + 1, "DEFERRED"))) {
                build = toks_[i + 1].text;
                i += 2;
            } else if (isWord(i, "NEVER") && isWord(i + 1, "REFRESH")) {
                mode = method = "NEVER";
                i += 2;
            } else if (isWord(i, "REFRESH")) {
                ++i;
                if (isWord(i, "FAST") || isWord(i, "COMPLETE") || isWord(i, "FORCE"))
                    method = toks_[i++].text;
                if (isWord(i, "ON") && (isWord(i + 1, "DEMAND") || isWord(i + 1, "COMMIT"))) {
                    mode = toks_[i + 1].text;
                    i += 2;
                }
            } else if ((isWord(i, "ENABLE") || isWord(i, "DISABLE")) && isWord(i + 1, "QUERY") &&
                       isWord(i + 2, "REWRITE")) {
                i += 3;
            } else if (isWord(i, "TABLESPACE") && i + 1 < end) {
                i += 2;
            } else if (isWord(i, "LOGGING") || isWord(i, "NOLOGGING") || isWord(i, "CACHE") ||
                       isWord(i, "NOCACHE") || isWord(i, "PARALLEL") || isWord(i, "NOPARALLEL")) {
                ++i;
            } else {
                return fail(922, toks_[i].off);
            }
        }
        if (!isWord(i, "AS")) return fail(905, int(sql_.size()));
        ++i;
        if (!(isWord(i, "SELECT") || isWord(i, "WITH") || isOp(i, "(")))
            return fail(928, i < end ? toks_[i].off : int(sql_.size()));
        out_.target = tableRef(owner, name, false);
        out_.words = {sql_.substr(size_t(toks_[i].off)), mode, method, build};
        levels_.back().query = true;
        if (!emitRange(i, end)) return false;
        if (!levels_.back().tables.empty()) out_.viewBase = levels_.back().tables.front().second;
    } else if (w0 == "DROP" && ((isWord(1, "MATERIALIZED") && isWord(2, "VIEW")) || isWord(1, "SNAPSHOT"))) {
        out_.kind = Kind::DropMView;
        out_.functionCode = 75;
        i = isWord(1, "SNAPSHOT") ? 2 : 3;
        std::string owner, name;
        int off;
        if (!emitName(i, end, owner, name, off)) return false;
        if (i < end) return fail(933, toks_[i].off);
        TableRef ref;
        if (!r_.findTable(owner.empty() ? schema_ : owner, name, ref) || !ref.mview)
            return fail(12003, off, quote(owner.empty() ? schema_ : owner) + "." + quote(name));
        out_.target = ref;
        out_.sql = "DROP TABLE " + quote(ref.owner) + "." + quote(ref.name);
        return true;
    } else if (w0 == "CREATE" &&
               (isWord(1, "VIEW") || (isWord(1, "OR") && isWord(2, "REPLACE") && isWord(3, "VIEW")))) {
        out_.kind = Kind::CreateView;
        out_.functionCode = 21;
        out_.orReplace = isWord(1, "OR");
        i = out_.orReplace ? 4 : 2;
        std::string owner, name;
        int off;
        if (!emitNewName(i, end, owner, name, off, out_.orReplace)) return false;
        std::string cols;
        if (isOp(i, "(")) {
            size_t m = matchParen(i, end);
            for (size_t k = i + 1; k < m; ++k) {
                if (isOp(k, ",")) continue;
                if (!cols.empty()) cols += ", ";
                cols += quote(toks_[k].text);
            }
            i = m + 1;
        }
        if (!isWord(i, "AS")) return fail(905, i < end ? toks_[i].off : int(sql_.size()));
        ++i;
        out_.target = tableRef(owner, name, true);
        out_.words = {sql_.substr(i < end ? size_t(toks_[i].off) : sql_.size())};
        emit("CREATE VIEW " + quote(owner) + "." + quote(name) + (cols.empty() ? "" : " (" + cols + ")") +
                 " AS",
             toks_[0].off);
        levels_.back().query = true;
        if (!emitRange(i, end)) return false;
        if (out_.hiddenRowid && levels_.back().tables.size() == 1)
            out_.viewBase = levels_.back().tables.front().second;
    } else if (w0 == "CREATE" && (isWord(1, "SYNONYM") || (isWord(1, "PUBLIC") && isWord(2, "SYNONYM")))) {
        out_.kind = Kind::CreateSynonym;
        out_.functionCode = 19;
        bool pub = isWord(1, "PUBLIC");
        i = pub ? 3 : 2;
        std::string owner, name, towner, tname;
        int off, toff;
        if (!emitName(i, end, owner, name, off)) return false;
        if (!isWord(i, "FOR")) return fail(905, i < end ? toks_[i].off : int(sql_.size()));
        ++i;
        if (!emitName(i, end, towner, tname, toff)) return false;
        if (i < end) return fail(933, toks_[i].off);
        TableRef ref;
        if (!r_.findTable(towner, tname, ref)) {
            // A synonym may also name a procedure, function or package.
            if (ref.missingCode != 4044) return fail(942, toff);
            ref.owner = towner.empty() ? schema_ : towner;
            ref.name = tname;
        }
        out_.words = {pub ? "PUBLIC" : owner.empty() ? schema_ : owner, name, ref.owner, ref.name};
        return true;
    } else if (w0 == "COMMENT" && isWord(1, "ON") &&
               (isWord(2, "TABLE") || isWord(2, "COLUMN") ||
                (isWord(2, "MATERIALIZED") && isWord(3, "VIEW")))) {
        out_.kind = Kind::Comment;
        out_.functionCode = 29;
        bool column = isWord(2, "COLUMN");
        bool mview = isWord(2, "MATERIALIZED");
        i = mview ? 4 : 3;
        std::vector<std::string> parts;
        int off = i < end ? toks_[i].off : 0;
        while (i < end && (toks_[i].t == T::Ident || toks_[i].t == T::QIdent)) {
            parts.push_back(toks_[i].text);
            ++i;
            if (!isOp(i, ".")) break;
            ++i;
        }
        std::string col;
        if (column) {
            if (parts.size() < 2) return fail(904, off);
            col = parts.back();
            parts.pop_back();
        }
        if (parts.empty() || parts.size() > 2) return fail(903, off);
        TableRef ref;
        bool found = r_.findTable(parts.size() == 2 ? parts[0] : "", parts.back(), ref);
        if (mview && (!found || !ref.mview))
            return fail(12003, off,
                        quote(parts.size() == 2 ? parts[0] : schema_) + "." + quote(parts.back()));
        if (!found) return fail(942, off);
        if (!isWord(i, "IS") || i + 1 >= end || toks_[i + 1].t != T::String)
            return fail(1780, i < end ? toks_[i].off : int(sql_.size()));
        if (column) {
            std::vector<TableColumn> cols;
            r_.columns(ref, cols);
            if (std::none_of(cols.begin(), cols.end(), [&](const TableColumn& c) { return c.name == col; }))
                return fail(904, off, quote(col));
        }
        out_.words = {ref.owner, ref.name, col, toks_[i + 1].text};
        return true;
    } else if (w0 == "ALTER" && isWord(1, "TABLE")) {
        out_.kind = Kind::AlterTable;
        out_.functionCode = 15;
        i = 2;
        std::string owner, name;
        int off;
        if (!emitName(i, end, owner, name, off)) return false;
        TableRef ref;
        if (!r_.findTable(owner.empty() ? schema_ : owner, name, ref) || ref.view) return fail(942, off);
        if (!isWord(i, "ADD")) return fail(3001, i < end ? toks_[i].off : int(sql_.size()));
        ++i;
        size_t from = i, to = end;
        if (isOp(i, "(")) {
            to = matchParen(i, end);
            if (to >= end) return fail(907, toks_[i].off);
            from = i + 1;
        }
        std::string body;
        if (!tableBody(from, to, body)) return false;
        // One ADD COLUMN per definition, split at the top-level commas tableBody wrote.
        std::string sql;
        int depth = 0;
        size_t start = 0;
        for (size_t k = 0; k <= body.size(); ++k) {
            if (k < body.size() && body[k] == '(') ++depth;
            if (k < body.size() && body[k] == ')') --depth;
            if (k == body.size() || (depth == 0 && body[k] == ',')) {
                std::string def = body.substr(start, k - start);
                size_t a = def.find_first_not_of(' ');
                if (a != std::string::npos) {
                    std::string one = "ALTER TABLE " + quote(ref.owner) + "." + quote(ref.name) +
                                      " ADD COLUMN " + def.substr(a);
                    size_t q = def.find('"', a + 1);
                    out_.words.push_back(q == std::string::npos ? "" : def.substr(a + 1, q - a - 1));
                    out_.words.push_back(one);
                    sql += one + ";";
                }
                start = k + 1;
            }
        }
        out_.target = ref;
        out_.sql = sql;
        return true;
    } else if (w0 == "CREATE" && isWord(1, "SEQUENCE")) {
        out_.kind = Kind::CreateSequence;
        out_.functionCode = 13;
        i = 2;
        std::string owner, name;
        int off;
        if (!emitName(i, end, owner, name, off)) return false;
        std::string start = "1", step = "1";
        while (i < end) {
            if (isWord(i, "START") && isWord(i + 1, "WITH") && i + 2 < end && toks_[i + 2].t == T::Number) {
                start = toks_[i + 2].text;
                i += 3;
            } else if (isWord(i, "INCREMENT") && isWord(i + 1, "BY") && i + 2 < end) {
                size_t k = i + 2;
                std::string sign;
                if (isOp(k, "-")) {
                    sign = "-";
                    ++k;
                }
                if (k >= end || toks_[k].t != T::Number) return fail(922, toks_[i].off);
                step = sign + toks_[k].text;
                i = k + 1;
            } else if (isWord(i, "NOCACHE") || isWord(i, "NOCYCLE") || isWord(i, "ORDER") ||
                       isWord(i, "NOORDER")) {
                ++i;
            } else if ((isWord(i, "CACHE") || isWord(i, "MAXVALUE") || isWord(i, "MINVALUE")) &&
                       i + 1 < end) {
                i += 2;
            } else {
                return fail(922, toks_[i].off);
            }
        }
        out_.words = {owner.empty() ? schema_ : owner, name, start, step};
        return true;
    } else if (w0 == "CREATE" && (isWord(1, "INDEX") || (isWord(1, "UNIQUE") && isWord(2, "INDEX")))) {
        out_.kind = Kind::CreateIndex;
        out_.functionCode = 9;
        bool unique = isWord(1, "UNIQUE");
        i = unique ? 3 : 2;
        std::string owner, name, towner, tname;
        int off, toff;
        if (!emitName(i, end, owner, name, off)) return false;
        if (!isWord(i, "ON")) return fail(969, i < end ? toks_[i].off : int(sql_.size()));
        ++i;
        if (!emitName(i, end, towner, tname, toff)) return false;
        TableRef ref;
        if (!r_.findTable(towner, tname, ref) || ref.view) return fail(942, toff);
        if (!isOp(i, "(")) return fail(906, i < end ? toks_[i].off : int(sql_.size()));
        size_t m = matchParen(i, end);
        if (m >= end) return fail(907, toks_[i].off);
        std::string cols;
        out_.words = {ref.owner, name, unique ? "UNIQUE" : "NONUNIQUE"};
        for (size_t k = i + 1; k < m; ++k) {
            if (isOp(k, ",") || isWord(k, "ASC") || isWord(k, "DESC")) continue;
            if (toks_[k].t != T::Ident && toks_[k].t != T::QIdent) return fail(904, toks_[k].off);
            cols += (cols.empty() ? "" : ", ") + quote(toks_[k].text);
            out_.words.push_back(toks_[k].text);
        }
        out_.target = ref;
        emit(std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX " + quote(ref.owner) + "." +
                 quote(name) + " ON " + quote(ref.name) + " (" + cols + ")",
             toks_[0].off);
    } else if (w0 == "DROP" && (isWord(1, "SEQUENCE") || isWord(1, "INDEX"))) {
        bool seq = isWord(1, "SEQUENCE");
        out_.kind = seq ? Kind::DropSequence : Kind::DropIndex;
        out_.functionCode = seq ? 16 : 10;
        i = 2;
        std::string owner, name;
        int off;
        if (!emitName(i, end, owner, name, off)) return false;
        out_.words = {owner.empty() ? schema_ : owner, name};
        if (!seq) emit("DROP INDEX " + quote(out_.words[0]) + "." + quote(name), toks_[0].off);
        if (seq) return true;
    } else if (w0 == "CREATE" && (isWord(1, "DIRECTORY") ||
                                  (isWord(1, "OR") && isWord(2, "REPLACE") && isWord(3, "DIRECTORY")))) {
        out_.kind = Kind::CreateDirectory;
        out_.functionCode = 157;
        i = isWord(1, "OR") ? 4 : 2;
        if (i + 2 >= end || (toks_[i].t != T::Ident && toks_[i].t != T::QIdent) || !isWord(i + 1, "AS") ||
            toks_[i + 2].t != T::String)
            return fail(922, i < end ? toks_[i].off : int(sql_.size()));
        out_.words = {toks_[i].text, toks_[i + 2].text};
        return true;
    } else if (w0 == "DROP" && (isWord(1, "PROCEDURE") || isWord(1, "FUNCTION") || isWord(1, "PACKAGE") ||
                                isWord(1, "TRIGGER"))) {
        out_.kind = Kind::DropProcedure;
        out_.functionCode = 25;
        i = 2;
        std::string owner, name;
        int off;
        if (!emitName(i, end, owner, name, off)) return false;
        out_.words = {owner.empty() ? schema_ : owner, name, toks_[1].text};
        return true;
    } else if (w0 == "DROP" &&
               (isWord(1, "VIEW") || isWord(1, "SYNONYM") || (isWord(1, "PUBLIC") && isWord(2, "SYNONYM")))) {
        bool pub = isWord(1, "PUBLIC");
        bool view = isWord(1, "VIEW");
        out_.kind = view ? Kind::DropView : Kind::DropSynonym;
        out_.functionCode = view ? 22 : 20;
        i = pub ? 3 : 2;
        std::string owner, name;
        int off;
        if (!emitName(i, end, owner, name, off)) return false;
        if (view) {
            TableRef ref;
            if (!r_.findTable(owner.empty() ? schema_ : owner, name, ref) || !ref.view) return fail(942, off);
            out_.target = ref;
            emit("DROP VIEW " + quote(ref.owner) + "." + quote(ref.name), toks_[0].off);
        } else {
            out_.words = {pub ? "PUBLIC" : owner.empty() ? schema_ : owner, name};
            return true;
        }
    } else if (w0 == "DROP" && isWord(1, "TABLE")) {
        out_.kind = Kind::DropTable;
        out_.functionCode = 12;
        i = 2;
        std::string owner, name;
        int off;
        if (!emitName(i, end, owner, name, off)) return false;
        TableRef ref;
        if (!r_.findTable(owner.empty() ? schema_ : owner, name, ref)) return fail(942, off);
        if (ref.mview) return fail(12083, off, quote(ref.owner) + "." + quote(ref.name));
        out_.target = ref;
        if (isWord(i, "CASCADE") && isWord(i + 1, "CONSTRAINTS")) out_.words = {"CASCADE CONSTRAINTS"};
        emit("DROP TABLE " + quote(ref.owner) + "." + quote(ref.name), toks_[0].off);
    } else {
        return fail(w0.empty() ? 900 : 3001, toks_[0].off);
    }
    if (failed_) return false;
    if (out_.kind == Kind::Select && !checkGrouping()) return false;
    addTick();
    if (!closeLevel() || failed_) return false;
    // Join the pieces.
    std::string sql;
    for (auto& p : pieces_) {
        if (p.text.empty()) continue;
        if (!sql.empty()) sql += ' ';
        out_.map.push_back({int(sql.size()), p.src});
        sql += p.text;
    }
    out_.sql = sql;
    return true;
}

} // namespace

namespace {

// CREATE [OR REPLACE] PROCEDURE|FUNCTION|PACKAGE|TRIGGER: kept as text and
// checked only for balanced BEGIN ... END and a final "END [name];".
bool storedUnit(const std::string& sql, const std::string& schema, Translation& out) {
    std::vector<std::string> words;
    std::vector<size_t> starts;
    size_t i = 0, n = sql.size();
    while (i < n) {
        unsigned char c = sql[i];
        if (c == '\'') {
            size_t e = sql.find('\'', i + 1);
            i = e == std::string::npos ? n : e + 1;
            continue;
        }
        if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n') ++i;
            continue;
        }
        if (identStart(c) || c == '"') {
            size_t j = i + 1;
            if (c == '"') {
                j = sql.find('"', i + 1);
                j = j == std::string::npos ? n : j + 1;
            } else {
                while (j < n && identPart(sql[j])) ++j;
            }
            words.push_back(c == '"' ? sql.substr(i + 1, j - i - 2) : upperAscii(sql.substr(i, j - i)));
            starts.push_back(i);
            i = j;
            continue;
        }
        if (c == ';') {
            words.push_back(";");
            starts.push_back(i);
        }
        ++i;
    }
    size_t k = 0;
    if (words.size() < 3 || words[0] != "CREATE") return false;
    k = 1;
    if (words[k] == "OR" && k + 1 < words.size() && words[k + 1] == "REPLACE") k += 2;
    static const std::set<std::string> kinds = {"PROCEDURE", "FUNCTION", "PACKAGE", "TRIGGER"};
    if (k >= words.size() || !kinds.count(words[k])) return false;
    std::string type = words[k++];
    if (type == "PACKAGE" && k < words.size() && words[k] == "BODY") {
        type = "PACKAGE BODY";
        ++k;
    }
    if (k >= words.size()) return false;
    std::string owner = schema, name = words[k];
    if (k + 1 < words.size() && sql[starts[k] + words[k].size()] == '.') {
        owner = words[k];
        name = words[++k];
    }
    int depth = 0;
    bool balanced = true;
    for (size_t w = k; w < words.size(); ++w) {
        if (words[w] == "BEGIN") ++depth;
        if (words[w] == "END" && !(w + 1 < words.size() && (words[w + 1] == "IF" || words[w + 1] == "LOOP" ||
                                                            words[w + 1] == "CASE"))) {
            if (--depth < 0) balanced = false;
        }
    }
    size_t m = words.size();
    bool ending = m >= 2 && words[m - 1] == ";" &&
                  (words[m - 2] == "END" || (m >= 3 && words[m - 3] == "END" && words[m - 2] == name));
    std::string tail = sql.substr(starts.back() + 1);
    bool trailing = tail.find_first_not_of(" \t\r\n/") == std::string::npos;
    out.kind = Kind::CreateProcedure;
    out.functionCode = type == "PROCEDURE" ? 24 : type == "FUNCTION" ? 91 : type == "TRIGGER" ? 59 : 94;
    out.words = {owner, name, type, sql, balanced && depth == 0 && ending && trailing ? "VALID" : "INVALID"};
    return true;
}

} // namespace

bool translate(const std::string& sql, Resolver& r, const std::string& schema, Translation& out) {
    out = Translation{};
    if (storedUnit(sql, schema, out)) return true;
    Translator t(sql, r, schema, out);
    bool ok = t.run();
    if (!ok && out.errorCode == 0) out.errorCode = 900;
    return ok;
}

int originalOffset(const Translation& t, int off) {
    int src = 0;
    for (auto& [o, s] : t.map) {
        if (o > off) break;
        src = s;
    }
    return src;
}

} // namespace oci
