// The completion loader: the data-dictionary names of the demo schema merged
// with the keyword file, stops during a query and while merging, and a UI
// thread looking up completions while loads run.
#include <atomic>
#include <memory>
#include <thread>

#include "../tokenizer/tok_helpers.h"
#include "editor/sqltoken.h"
#include "../standin_fixture.h"
#include "oracle/ora_dict.h"

namespace {

namespace fs = std::filesystem;
using edtest::Narrow;
using tok_test::TestList;

// A private session as DEMO on the stand-in's demo database, the shipped
// keyword file loaded into tok.
class CompletionTest : public edtest::StandinTest {
public:
    OraSession* session = nullptr;
    std::unique_ptr<CSQLStrToken> owner = std::make_unique<CSQLStrToken>();
    CSQLStrToken& tok = *owner; // gone before the client library
    CString msg;

    void SetUp() override {
        StandinTest::SetUp();
        session = Logon(u"demo", u"demo", u"DEMO");
        ASSERT_NE(session, nullptr);
    }
    void TearDown() override {
        owner.reset();
        StandinTest::TearDown();
    }
    void LoadKeywords() {
        ASSERT_EQ(tok.initDefaultKeyword(Utf8ToWide(TAVRELIX_KEYWORD_FILE).c_str(), &msg), 0) << Narrow(msg);
    }
    void LoadDemo() { ASSERT_EQ(tok.initKeywordForCompletion(session, u"DEMO", &msg), 0) << Narrow(msg); }
    // Rows of a query on the demo schema, counted apart from the loader.
    int CountRows(const char16_t* sql) {
        OraDataset ds{};
        EXPECT_EQ(oradict_sel_dataset(session, &ds, sql, 100, &msg, nullptr, nullptr, "S", u"DEMO"), 0)
            << Narrow(msg);
        int n = ds.row_count;
        oci_free_dataset(&ds);
        return n;
    }
};

const std::vector<std::u16string>* Find(const TestList& list, const std::u16string& display) {
    for (const auto& r : list.rows)
        if (r[0] == display) return &r;
    return nullptr;
}

// All completions of prefix, in order (each call continues from the
// ordinal the previous one returned).
std::vector<std::u16string> Completions(CSQLStrToken& tok, const char16_t* prefix) {
    std::vector<std::u16string> out;
    char16_t buf[512];
    for (int r = -1; out.size() < 100000;) {
        r = tok.findCompletion(prefix, r, buf, sizeof buf, 0);
        if (r < 0) break;
        out.emplace_back(buf);
    }
    return out;
}

bool Contains(const std::vector<std::u16string>& v, const std::u16string& s) {
    for (const auto& x : v)
        if (x == s) return true;
    return false;
}

const char16_t kObjectQuery[] =
    u"select distinct object_name, object_name as org_object_name, \n\tobject_type \n"
    u", '' as comments \nfrom $DICT$_objects a \nwhere owner = :X0 \n";
const char16_t kColumnQuery[] =
    u"select distinct column_name, column_name as org_column_name, data_type \nfrom "
    u"$DICT$_tab_columns \nwhere owner = :X0";

TEST_F(CompletionTest, MergesSchemaNamesWithKeywords) {
    LoadKeywords();
    ASSERT_GT(tok.m_keywordCount, 0);
    const int objects = CountRows(kObjectQuery), columns = CountRows(kColumnQuery);
    ASSERT_GT(objects, 0);
    ASSERT_GT(columns, 0);
    const std::string words = std::to_string(tok.m_keywordCount + objects + columns) + " words";

    LoadDemo();
    EXPECT_EQ(Narrow(msg), words);
    EXPECT_TRUE(Contains(Completions(tok, u"BIG_"), u"BIG_TABLE"));
    EXPECT_TRUE(Contains(Completions(tok, u"big_"), u"big_table"));
    EXPECT_TRUE(Contains(Completions(tok, u"社"), u"社員"));
    EXPECT_TRUE(Contains(Completions(tok, u"SEL"), u"SELECT"));
    // Colouring still knows only the keyword file's words.
    EXPECT_EQ(tok.findKeyword(u"big_table", 9), -1);
    EXPECT_GE(tok.findKeyword(u"select", 6), 0);

    TestList list;
    tok.findCompletionWords(&list, u"社員");
    ASSERT_NE(Find(list, u"社員"), nullptr);
    EXPECT_EQ((*Find(list, u"社員"))[1], u"TABLE");
    ASSERT_NE(Find(list, u"社員_V"), nullptr);
    EXPECT_EQ((*Find(list, u"社員_V"))[1], u"VIEW");
    EXPECT_EQ(list.widths[5] & CCompletionList::kShown, 0u);

    // A second run frees the first one's table and datasets (LeakSanitizer).
    LoadDemo();
    EXPECT_EQ(Narrow(msg), words);
}

// A schema of 300 tables with 900 distinct (column, type) pairs and a file
// of 1200 keywords: 2400 completion words.
TEST_F(CompletionTest, ScratchSchemaCountsEveryName) {
    // In memory when it can be: each table is a committed transaction.
    char tmpl[] = "/dev/shm/tavrelix-scratch-XXXXXX";
    const fs::path db = fs::exists("/dev/shm") && mkdtemp(tmpl) ? fs::path(tmpl) : home / "scratch";
    std::ofstream(home / "tns" / "services.conf", std::ios::app)
        << "SCRATCH = " << (db / "db").string() << "\n";
    struct Remove {
        fs::path p;
        ~Remove() {
            std::error_code ec;
            fs::remove_all(p, ec);
        }
    } remove{db};
    OraSession* scratch = nullptr;
    ASSERT_EQ(oci_login2(&scratch, u"system", u"manager", u"SCRATCH", nullptr, 0, &msg, nullptr), ORARC_OK)
        << Narrow(msg);
    Exec(scratch, u"create user scratch identified by scratch");
    oci_ora_logout(&scratch);
    scratch = Logon(u"scratch", u"scratch", u"SCRATCH");
    ASSERT_NE(scratch, nullptr);
    for (int i = 0; i < 300; i++) {
        // The second 150 tables repeat the first ones' column names with
        // other types.
        const char16_t* types[] = {u"number", u"varchar2(10)", u"date"};
        const int k = i % 150, t = i / 150;
        CString sql;
        sql.Format(u"create table tab%03d (col%03d_a %s, col%03d_b %s, col%03d_c %s)", i, k, types[t], k,
                   types[(t + 1) % 3], k, types[(t + 2) % 3]);
        Exec(scratch, sql.GetString());
    }
    std::string keywords;
    for (int i = 0; i < 1200; i++) keywords += "word" + std::to_string(i) + (i % 2 ? ",2\n" : "\n");
    tok_test::TempFile file(keywords);
    ASSERT_EQ(tok.initDefaultKeyword(file.wpath().c_str(), &msg), 0) << Narrow(msg);
    ASSERT_EQ(tok.m_keywordCount, 1200);
    ASSERT_EQ(tok.initKeywordForCompletion(scratch, u"SCRATCH", &msg), 0) << Narrow(msg);
    EXPECT_EQ(Narrow(msg), "2400 words");
    EXPECT_EQ(Completions(tok, u"TAB1").size(), 100u);
}

TEST_F(CompletionTest, CommentsSettingBringsObjectComments) {
    tok.SetCommentsSetting(1);
    LoadKeywords();
    LoadDemo();
    TestList list;
    tok.findCompletionWords(&list, u"社員");
    ASSERT_NE(Find(list, u"社員"), nullptr);
    EXPECT_EQ((*Find(list, u"社員"))[5], u"社員マスタ");
    EXPECT_NE(list.widths[5] & CCompletionList::kShown, 0u);
}

// After a stopped load only the keyword table is active.
void ExpectKeywordsAlone(CSQLStrToken& tok) {
    EXPECT_EQ(tok.m_completion, tok.m_keywords);
    EXPECT_EQ(tok.m_completionCount, tok.m_keywordCount);
    EXPECT_TRUE(Completions(tok, u"社").empty());
    EXPECT_FALSE(Completions(tok, u"SEL").empty());
}

TEST_F(CompletionTest, StopWhileMergingLeavesTheKeywordTableActive) {
    LoadKeywords();
    LoadDemo();
    ASSERT_NE(tok.m_completion, tok.m_keywords);
    // Stopped after the column query, while the rows are merged.
    tok.m_afterColumnQuery = [](CSQLStrToken* t) { t->m_stop.store(1); };
    EXPECT_EQ(tok.initKeywordForCompletion(session, u"DEMO", &msg), 1);
    ExpectKeywordsAlone(tok);
}

// A stop set before the load began (a disconnect while the completion
// thread logged on) is kept: no query runs and the table stays as it was.
TEST_F(CompletionTest, AStopSetBeforeTheLoadEndsItBeforeAnyQuery) {
    LoadKeywords();
    LoadDemo();
    const KeywordEntry* active = tok.m_completion;
    tok.m_stop.store(1);
    oratest::g_calls.clear();
    oratest::Tap<&OciEntryPoints::OCIStmtExecute>::Install("OCIStmtExecute");
    EXPECT_EQ(tok.initKeywordForCompletion(session, u"DEMO", &msg), 1);
    EXPECT_EQ(oratest::Calls("OCIStmtExecute"), 0);
    EXPECT_EQ(tok.m_completion, active);
    tok.m_stop.store(0);
    g_oci = edtest::g_real;
    LoadDemo();
    EXPECT_FALSE(Completions(tok, u"社").empty());
}

// Cancelled while the object query is parked in the client: the break ends
// the parked call and the load reports the cancel.
TEST_F(CompletionTest, CancelDuringParkedObjectQuery) {
    LoadKeywords();
    LoadDemo();
    ASSERT_FALSE(Completions(tok, u"社").empty());
    // Describing the query runs blocking, on this thread: a gate armed for it
    // would park the only thread that could break it. The gate is armed for
    // the polled execution alone.
    static bool armed;
    armed = false;
    g_oci.OCIStmtExecute = [](OCISvcCtx* svc, OCIStmt* stmt, OCIError* err, ub4 iters, ub4 rowoff,
                              const OCISnapshot* in, OCISnapshot* out, ub4 mode) {
        if (mode == OCI_DEFAULT && !armed) {
            armed = true;
            Control("gate OCIStmtExecute");
        }
        return edtest::g_real.OCIStmtExecute(svc, stmt, err, iters, rowoff, in, out, mode);
    };
    edtest::g_on_wait = [&](DWORD) { tok.m_stop.store(1); };
    EXPECT_EQ(tok.initKeywordForCompletion(session, u"DEMO", &msg), 9) << Narrow(msg);
    edtest::g_on_wait = nullptr;
    EXPECT_TRUE(armed);
    ExpectKeywordsAlone(tok);
}

// Each candidate list is filled inside the lock: it shows the keyword table
// alone or the whole merged one, never a table being switched.
TEST_F(CompletionTest, LookupsDuringLoadsSeeOneWholeTable) {
    LoadKeywords();
    TestList list;
    tok.findCompletionWords(&list, u"");
    const int alone = list.GetRowCount();
    LoadDemo();
    tok.findCompletionWords(&list, u"");
    const int whole = list.GetRowCount();
    ASSERT_GT(whole, alone);

    std::atomic<bool> done{false};
    std::atomic<int> failures{0};
    std::thread loader([&] {
        CString m;
        for (int i = 0; i < 4; i++)
            if (tok.initKeywordForCompletion(session, u"DEMO", &m) != 0) failures++;
        done = true;
    });
    int seen = 0, torn = 0;
    char16_t buf[256];
    while (!done) {
        tok.findCompletionWords(&list, u"");
        const int n = list.GetRowCount();
        if (n == alone || n == whole)
            seen++;
        else
            torn++;
        if (tok.findCompletion(u"SEL", -1, buf, sizeof buf, 0) != 0) torn++;
    }
    loader.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(torn, 0);
    EXPECT_GT(seen, 0);
    tok.findCompletionWords(&list, u"");
    EXPECT_EQ(list.GetRowCount(), whole);
}

} // namespace
