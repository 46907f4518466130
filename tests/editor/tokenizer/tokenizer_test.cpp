#include <gtest/gtest.h>

#include <string>

#include "editor/sqltoken.h"
#include "tok_helpers.h"

using namespace tok_test;

namespace {

std::u16string key_of(const CStrToken& t, int row) {
    return row < 0 ? u"<none>" : std::u16string(t.m_keywords[row].key);
}

int find_in(CStrToken& t, const std::u16string& text) {
    return t.findKeyword(text.c_str(), t.getWordLength(text.c_str(), 1));
}

// A data-dictionary row over name (kept by the caller).
KeywordEntry name_entry(std::u16string& name, int32_t kind = 4) {
    KeywordEntry e{};
    e.key = e.display = e.folded = name.data();
    e.keyLength = static_cast<int32_t>(name.size());
    e.kind = kind;
    e.type = u"TABLE";
    e.comments = u"";
    return e;
}

} // namespace

TEST(KeywordFile, EmptyCommentOnlyAndMissing) {
    CStrToken t;
    CString msg;
    EXPECT_EQ(load_keywords(&t, "\n// only comments\n\n//x,2\n", &msg), 0);
    EXPECT_EQ(t.m_keywordCount, 0);
    EXPECT_EQ(t.initDefaultKeyword(u"", &msg), 0);
    EXPECT_EQ(t.initDefaultKeyword(nullptr, &msg), 0);
    EXPECT_EQ(t.m_keywordCount, 0);
    EXPECT_EQ(t.initDefaultKeyword(u"/nonexistent/dir/keywords.txt", &msg), 1);
    EXPECT_EQ(msg.str(), u"CStrToken::initDefaultKeyword(): fopen error(/nonexistent/dir/keywords.txt)");
}

TEST(KeywordFile, KindsLabelsBlanksAndMask) {
    CStrToken t;
    ASSERT_EQ(load_keywords(&t, "ORDER BY,2\nselect,7\nfrom,\n  lead  \t  \na$1,-1\nzz,0\n"), 0);
    ASSERT_EQ(t.m_keywordCount, 6);
    auto row = [&](const std::u16string& key) -> const KeywordEntry* {
        for (int i = 0; i < t.m_keywordCount; i++)
            if (t.m_keywords[i].key == key) return &t.m_keywords[i];
        return nullptr;
    };
    const KeywordEntry* ob = row(u"order by");
    ASSERT_TRUE(ob);
    EXPECT_EQ(ob->kind, 2);
    EXPECT_EQ(std::u16string(ob->type), u"KEYWORD2");
    EXPECT_EQ(std::u16string(ob->display), u"ORDER BY");
    EXPECT_EQ(row(u"select")->kind, 1);
    EXPECT_EQ(std::u16string(row(u"select")->type), u"KEYWORD");
    EXPECT_EQ(row(u"from")->kind, 1);
    EXPECT_EQ(row(u"zz")->kind, 1);
    // Trailing blanks are cut, leading ones kept (a TAB is not cut).
    EXPECT_TRUE(row(u"  lead  \t"));
    EXPECT_EQ(row(u"a$1")->letterMask, 0xC000001);
    EXPECT_EQ(row(u"a$1")->kind, 1);
    EXPECT_EQ(t.m_workCapacity, 128);
    EXPECT_EQ(t.m_minFirstChar, u' ');
    // Sorted by key.
    for (int i = 1; i < t.m_keywordCount; i++)
        EXPECT_LT(std::u16string(t.m_keywords[i - 1].key), std::u16string(t.m_keywords[i].key));

    // Equal keys by kind.
    ASSERT_EQ(load_keywords(&t, "Sum,2\nb\nsum\na\n"), 0);
    ASSERT_EQ(t.m_keywordCount, 4);
    EXPECT_EQ(std::u16string(t.m_keywords[2].display), u"sum");
    EXPECT_EQ(t.m_keywords[2].kind, 1);
    EXPECT_EQ(std::u16string(t.m_keywords[3].display), u"Sum");
    EXPECT_EQ(t.m_keywords[3].kind, 2);
}

TEST(KeywordFile, EveryCodeAndLineEndGivesTheSameTable) {
    const std::u16string text = u"// 社員\nselect\n社員 番号,2\nＡＢＣ\nemp_no\n";
    auto table = [](const CStrToken& t) {
        std::u16string s;
        for (int i = 0; i < t.m_keywordCount; i++) s += std::u16string(t.m_keywords[i].display) + u"|";
        return s;
    };
    CStrToken ref;
    ASSERT_EQ(load_keywords(&ref, utf8(text)), 0);
    ASSERT_EQ(ref.m_keywordCount, 4);
    std::u16string crlf, cr;
    for (char16_t c : text) {
        crlf += c == u'\n' ? std::u16string(u"\r\n") : std::u16string(1, c);
        cr += c == u'\n' ? u'\r' : c;
    }
    for (const std::u16string* v :
         {&text, const_cast<const std::u16string*>(&crlf), const_cast<const std::u16string*>(&cr)}) {
        for (const std::string& bytes :
             {encode(*v, 932), encode(*v, 20932), utf8(*v), "\xEF\xBB\xBF" + utf8(*v), utf16_bytes(*v, false),
              utf16_bytes(*v, true)}) {
            CStrToken t;
            ASSERT_EQ(load_keywords(&t, bytes), 0);
            EXPECT_EQ(table(t), table(ref));
        }
    }
}

TEST(KeywordFile, LongLineAndManyRows) {
    CStrToken t;
    std::string longWord(10000, 'k');
    ASSERT_EQ(load_keywords(&t, "a\n" + longWord + "\nb\n"), 0);
    EXPECT_EQ(t.m_keywordCount, 3);
    EXPECT_EQ(t.m_longest, 10000);
    EXPECT_EQ(t.m_workCapacity, 10002);
    std::u16string w(10000, u'k');
    EXPECT_EQ(key_of(t, find_in(t, w)), w);

    // 40,000 keywords in one bucket: rows past 32,767 are found.
    std::string many;
    for (int i = 0; i < 40000; i++) many += "w" + std::to_string(100000 + i) + "\n";
    ASSERT_EQ(load_keywords(&t, many), 0);
    ASSERT_EQ(t.m_keywordCount, 40000);
    EXPECT_EQ(t.m_buckets[u'w'].last, 39999);
    int row = find_in(t, u"w139999");
    EXPECT_EQ(row, 39999);
    EXPECT_EQ(find_in(t, u"W133000"), 33000);
}

TEST(KeywordFile, BucketBreakStates) {
    // "ab" + U+3000 at the third unit gives state 1; "x y" a delimiter second: 2.
    CStrToken u;
    ASSERT_EQ(load_keywords(&u, utf8(u"ab\u3000c\nx y\nm\nmn\n")), 0);
    EXPECT_EQ(u.m_buckets[u'a'].breakState, 1);
    EXPECT_EQ(u.m_buckets[u'x'].breakState, 2);
    EXPECT_EQ(u.m_buckets[u'm'].breakState, 0);
    EXPECT_EQ(u.m_buckets[u'b'].first, -1);
    EXPECT_EQ(key_of(u, find_in(u, u"m")), u"m");
    EXPECT_EQ(key_of(u, find_in(u, u"MN")), u"mn");
    EXPECT_EQ(find_in(u, u"mno"), -1);
}

TEST(Lookup, CaseMultiWordAndOverlongWords) {
    CStrToken t;
    ASSERT_EQ(load_keywords(&t, "select\norder\norder by\nby\n"), 0);
    // One unit past the longest keyword is not copied; 200 and 100,000 units neither.
    // clang-format off
    const std::pair<std::u16string, const char16_t*> cases[] = {
        {u"Select x", u"select"}, {u"SELECT", u"select"}, {u"order by x", u"order by"},
        {u"ORDER  by", u"order"}, {u"order x", u"order"}, {u"order byx", u"order"},
        {u"selects", u"<none>"}, {u"selectx", u"<none>"}, {std::u16string(200, u'o'), u"<none>"},
        {std::u16string(100000, u's'), u"<none>"}};
    // clang-format on
    for (const auto& [text, key] : cases)
        EXPECT_EQ(key_of(t, find_in(t, text)), key) << utf8(text.substr(0, 20));
    CStrToken empty;
    EXPECT_EQ(find_in(empty, u"select"), -1);

    // Rows of one key sort by kind: the binary search finds the last, as the
    // hash index does, whichever row its halving lands on first.
    CStrToken dup;
    ASSERT_EQ(load_keywords(&dup, "sum,2\nsum\nSum\nb\na\nc\nd\ne\nf\n"), 0);
    const int hashed = find_in(dup, u"SUM x");
    ASSERT_GE(hashed, 0);
    EXPECT_EQ(dup.m_keywords[hashed].kind, 2);
    CStrToken::HashSlot* index = dup.m_hash;
    dup.m_hash = nullptr;
    EXPECT_EQ(find_in(dup, u"SUM x"), hashed);
    dup.m_hash = index;
}

TEST(Words, LengthsAndQuotedLiterals) {
    CStrToken plain;
    CSQLStrToken sql;
    struct Case {
        CStrToken* tok;
        const char16_t* text;
        int lineFeedStop, length;
    };
    // q-quoting in either case, with an optional n or N; a blank after the
    // apostrophe makes a word and then a plain literal.
    // clang-format off
    const Case cases[] = {
        {&plain, u"abc def", 1, 3}, {&plain, u" x", 1, 1}, {&plain, u"\U0001F600 ", 1, 2},
        {&plain, u"", 1, 0}, {&plain, u"ab\u3001c", 1, 2}, {&sql, u", ", 1, 1},
        {&sql, u"'it''s' x", 1, 7}, {&sql, u"'open\nnext'", 1, 5}, {&sql, u"'open\nnext'", 0, 11},
        {&sql, u"q'[it's]' x", 1, 9}, {&sql, u"q'xa'bx' y", 1, 8}, {&sql, u"q'{a}'", 1, 6},
        {&sql, u"q'(ab\nc)'", 1, 5}, {&sql, u"q'<\U0001F600>'", 1, 7}, {&sql, u"q'[unterminated", 0, 15},
        {&sql, u"Q'[a]'", 1, 6}, {&sql, u"\"a b\"c", 1, 5}, {&sql, u"q", 1, 1}, {&sql, u"q'", 1, 1},
        {&sql, u"nq'[it's]' x", 1, 10}, {&sql, u"NQ'!a'b!' x", 1, 9}, {&sql, u"Nq'(a)' x", 1, 7},
        {&sql, u"q' a' x", 1, 1}, {&sql, u"q'\ta'", 1, 1}, {&sql, u"n'x'", 1, 1}, {&sql, u"nq", 1, 2}};
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(c.tok->getWordLength(c.text, c.lineFeedStop), c.length) << utf8(c.text) << c.lineFeedStop;

    int count = 0;
    EXPECT_EQ(sql.isQuoteEnd(u"''", u'\'', &count), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(sql.isQuoteEnd(u"' ", u'\'', &count), 1);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(sql.isQuoteEnd(u"\u3042", u'\'', &count), 0);
}

TEST(Words, SqlSyntaxTablesAndSkipping) {
    CSQLStrToken sql;
    std::u16string delimiters, quotes, lex, brackets, ops, binds;
    for (int c = 0; c < 256; c++) {
        if (sql.m_delimiter[c]) delimiters += static_cast<char16_t>(c);
        if (sql.m_quoteStart[c]) quotes += static_cast<char16_t>(c);
        if (sql.m_lexState[c]) lex += static_cast<char16_t>(c);
        if (sql.m_bracket[c])
            brackets += static_cast<char16_t>(c) + std::u16string(1, u'0' + sql.m_bracket[c]);
        if (sql.m_operator[c]) ops += static_cast<char16_t>(c);
        if (sql.m_bindPrefix[c]) binds += static_cast<char16_t>(c);
    }
    EXPECT_EQ(delimiters, std::u16string(u"\0\t\n\r !\"%'()*+,-./;<=>@^{|}", 26));
    EXPECT_EQ(quotes, u"\"'");
    EXPECT_EQ(lex, u"\"'*-/NQnq");
    EXPECT_EQ(brackets, u"(2)1");
    EXPECT_EQ(ops, u"!%()*+,-./;=^{|}");
    EXPECT_EQ(binds, u":");
    EXPECT_EQ(sql.m_doubledQuote, u'\'');
    EXPECT_EQ(sql.m_escape, 0);
    EXPECT_EQ(sql.m_closeBrackets.str(), u")");
    EXPECT_EQ(sql.m_lineCommentCount, 1);

    const char16_t* text = u" \t\u3000-- c\n/* b\n */ x";
    EXPECT_EQ(std::u16string(sql.skipSpaceAndComment(text)), u"x");
    EXPECT_EQ(sql.skipSpaceAndComment(u"  /* open"), nullptr);
    EXPECT_EQ(sql.skipSpaceAndComment(u"-- no end"), nullptr);
    EXPECT_EQ(sql.skipSpaceAndComment(u"   "), nullptr);
    char16_t word[8];
    const char16_t* after = sql.getNextWord(u" /*c*/ abcdefghij k", word, 8);
    EXPECT_EQ(std::u16string(word), u"abc");
    EXPECT_EQ(std::u16string(after), u" k");
    EXPECT_EQ(sql.getNextWord(u"  ", word, 8), nullptr);
}

TEST(Completion, CyclingBothWays) {
    CStrToken t;
    ASSERT_EQ(load_keywords(&t, "select\nselective\nfrom\n"), 0);
    struct Step {
        const char16_t* prefix;
        int from, backward;
        size_t capacity;
        int ordinal;
        const char16_t* text;
    };
    // The capacity must exceed the key's bytes.
    // clang-format off
    const Step steps[] = {
        {u"SEL", -1, 0, 64, 0, u"SELECT"}, {u"SEL", 0, 0, 64, 1, u"SELECTIVE"}, {u"SEL", 1, 0, 64, -1, nullptr},
        {u"sel", -1, 0, 64, 0, u"select"}, {u"sel", -1, 1, 64, 1, u"selective"}, {u"sel", 1, 1, 64, 0, nullptr},
        {u"sel", 0, 1, 64, -1, nullptr}, {u"x", -1, 0, 64, -1, nullptr}, {u"from", -1, 0, 8, -1, nullptr},
        {u"from", -1, 0, 10, 0, nullptr}};
    // clang-format on
    char16_t out[32];
    for (const Step& s : steps) {
        SCOPED_TRACE(utf8(s.prefix) + " from " + std::to_string(s.from));
        EXPECT_EQ(t.findCompletion(s.prefix, s.from, out, s.capacity, s.backward), s.ordinal);
        if (s.text) {
            EXPECT_EQ(std::u16string(out), s.text);
        }
    }
    // A prefix longer than the longest key, or than the work buffer.
    std::u16string longPrefix(500, u's');
    EXPECT_EQ(t.findCompletion(longPrefix.c_str(), -1, out, sizeof(out), 0), -1);
    std::u16string bigKey(1000, u'b');
    KeywordEntry big = name_entry(bigKey, 0);
    EXPECT_EQ(t.searchCompletion(bigKey.c_str(), -1, out, sizeof(out), 0, &big, 1, 1000), -1);
    TestList list;
    EXPECT_EQ(t.fillCompletionWords(&list, bigKey.c_str(), &big, 1, 1000), 0);
}

TEST(Completion, CandidateLists) {
    CSQLStrToken t;
    TempFile f("select,1\nselective\nsum,2\nset\n");
    CString msg;
    ASSERT_EQ(t.initDefaultKeyword(f.wpath().c_str(), &msg), 0);
    TestList list;
    list.widths[0] = 0;
    list.widths[1] = 40;
    list.widths[5] = 70 | CCompletionList::kShown;
    ASSERT_EQ(t.findCompletionWords(&list, u"SEL"), 1);
    EXPECT_EQ(list.columns, 6);
    EXPECT_EQ(list.setupRows, 64);
    ASSERT_EQ(list.rows.size(), 2u);
    EXPECT_EQ(list.rows[0][0], u"select");
    EXPECT_EQ(list.rows[0][1], u"KEYWORD");
    EXPECT_EQ(list.widths[0], 100 | CCompletionList::kShown);
    EXPECT_EQ(list.widths[1], 40 | CCompletionList::kShown);
    EXPECT_EQ(list.widths[5], 70u); // hidden without the comments setting
    EXPECT_EQ(list.widths[2] & CCompletionList::kShown, 0u);

    t.SetCommentsSetting(1);
    ASSERT_EQ(t.findCompletionWords(&list, u"s"), 1);
    EXPECT_EQ(list.rows.size(), 4u);
    EXPECT_EQ(list.widths[5], 70 | CCompletionList::kShown);
    EXPECT_EQ(t.findCompletionWords(&list, u"zz"), 0);

    // Mode 0 without the ignore-case flag walks the table in order.
    t.m_ignoreCase = 0;
    ASSERT_EQ(t.findCompletionWords(&list, u"SE"), 1);
    EXPECT_EQ(list.rows.size(), 3u);
    t.m_ignoreCase = 1;
    // Mode 1: letter set and substring.
    t.m_completionMode = 1;
    ASSERT_EQ(t.findCompletionWords(&list, u"ECT"), 1);
    EXPECT_EQ(list.rows.size(), 2u);
    EXPECT_EQ(list.rows[1][0], u"selective");
    EXPECT_EQ(t.findCompletionWords(&list, u"um"), 1);
    EXPECT_EQ(list.rows[0][1], u"KEYWORD2");
}

TEST(Completion, SwitchedTableCarriesItsLongest) {
    CSQLStrToken t;
    TempFile f("select\n");
    CString msg;
    ASSERT_EQ(t.initDefaultKeyword(f.wpath().c_str(), &msg), 0);
    std::u16string name = u"employee_table_name";
    KeywordEntry rows[2] = {t.m_keywords[0], name_entry(name)};
    keyword_sort_table(rows, 2);
    char16_t out[64];
    EXPECT_EQ(t.findCompletion(u"EMPLOYEE_T", -1, out, sizeof(out), 0), -1);
    t.SwitchCompletionTable(rows, 2, static_cast<int32_t>(name.size()));
    EXPECT_EQ(t.findCompletion(u"EMPLOYEE_T", -1, out, sizeof(out), 0), 0);
    EXPECT_EQ(std::u16string(out), u"EMPLOYEE_TABLE_NAME");
    EXPECT_EQ(t.m_longest, 6); // colouring's longest is the keyword table's
    EXPECT_EQ(t.findKeyword(name.c_str(), static_cast<int>(name.size())), -1);
    t.SwitchCompletionTable(nullptr, 0, 0);
    EXPECT_EQ(t.findCompletion(u"EMPLOYEE_T", -1, out, sizeof(out), 0), -1);
}

TEST(KeywordFile, ShippedFileLoads) {
    CSQLStrToken t;
    CString msg;
    std::u16string path = decode_utf8(TAVRELIX_KEYWORD_FILE);
    ASSERT_EQ(t.initDefaultKeyword(path.c_str(), &msg), 0);
    EXPECT_GT(t.m_keywordCount, 200);
    const std::u16string text = u"SELECT a FROM t ORDER BY a";
    int row = t.findKeyword(text.c_str() + 16, 5);
    ASSERT_GE(row, 0);
    EXPECT_EQ(std::u16string(t.m_keywords[row].key), u"order by");
    int nvl = t.findKeyword(u"NVL(", 3);
    ASSERT_GE(nvl, 0);
    EXPECT_EQ(t.m_keywords[nvl].kind, 2);
}
