// The completion loader: the data-dictionary names of the demo schema merged
// with the keyword file, stops during a query and while merging, and a UI
// thread looking up completions while loads run.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "editor/sqltoken.h"
#include "oracle/oci_exec.h"
#include "oracle/ora_dict.h"

namespace {

namespace fs = std::filesystem;

std::function<void(DWORD)> g_on_wait;

void OnWait(DWORD ms) {
    if (g_on_wait) g_on_wait(ms);
    sched_yield();
}

std::string Narrow(const CString& s) {
    return WideToUtf8(s.GetString());
}

class CompletionTest : public ::testing::Test {
public:
    fs::path home;
    OraSession* session = nullptr;
    OciEntryPoints real{};

    void SetUp() override {
        oci_reset_globals_for_test();
        char tmpl[] = "/tmp/tavrelix-completion-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        home = tmpl;
        fs::create_directories(home / "tns");
        fs::create_directories(home / "data");
        std::ofstream(home / "tns" / "services.conf") << "DEMO = ../db/demo\n";
        setenv("TNS_ADMIN", (home / "tns").c_str(), 1);
        setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
        setenv("NLS_LANG", "JAPANESE_JAPAN.AL32UTF8", 1);
        g_on_wait = nullptr;
        win32_sleep_hook = OnWait;
        SetDllDirectoryW(Utf8ToWide(ORACLE_BIN_DIR).c_str());
        CString msg;
        ASSERT_EQ(oci_load_library(&msg), ORARC_OK);
        real = g_oci;
        Control("reset");
        g_use_oci7_api = 0;
        ASSERT_EQ(oci_login2(&session, u"demo", u"demo", u"DEMO", nullptr, 0, &msg, nullptr), ORARC_OK)
            << Narrow(msg);
    }
    void TearDown() override {
        win32_sleep_hook = nullptr;
        g_on_wait = nullptr;
        if (g_oci_module) Control("reset");
        g_oci = real;
        g_session = nullptr;
        if (session) oci_ora_logout(&session);
        if (g_oci_env_ready) g_oci.OCIHandleFree(g_oci_env, OCI_HTYPE_ENV);
        if (g_oci_module) FreeLibrary(g_oci_module);
        oci_reset_globals_for_test();
        SetDllDirectoryW(nullptr);
        std::error_code ec;
        fs::remove_all(home, ec);
    }
    static void Control(const std::string& command) {
        auto control = reinterpret_cast<pfn_oci_standin_control>(
            reinterpret_cast<void (*)()>(GetProcAddress(g_oci_module, "oci_standin_control")));
        ASSERT_NE(control, nullptr);
        char reply[256];
        ASSERT_EQ(control(command.c_str(), reply, sizeof reply), 0) << command << ": " << reply;
    }
    // Rows of a query on the demo schema, counted apart from the loader.
    int CountRows(const char16_t* sql) {
        OraDataset ds{};
        CString msg;
        EXPECT_EQ(oradict_sel_dataset(session, &ds, sql, 100, &msg, nullptr, nullptr, "S", u"DEMO"), 0)
            << Narrow(msg);
        int n = ds.row_count;
        oci_free_dataset(&ds);
        return n;
    }
};

// Copies the texts of the candidate rows (the merged table's texts go with
// the next load).
class TestList : public CCompletionList {
public:
    std::vector<std::vector<std::u16string>> rows;
    uint32_t widths[8] = {};
    int columns = 0;
    void Setup(int c, int) override {
        columns = c;
        rows.clear();
        for (uint32_t& w : widths) w = 0;
    }
    uint32_t* ColumnWidths() override { return widths; }
    int AddRow() override {
        rows.emplace_back(8);
        return 0;
    }
    int GetRowCount() const override { return static_cast<int>(rows.size()); }
    void SetLastRowCell(int column, const char16_t* text) override {
        rows.back()[column] = text ? text : u"";
    }
    const std::vector<std::u16string>* Find(const std::u16string& display) const {
        for (const auto& r : rows)
            if (r[0] == display) return &r;
        return nullptr;
    }
};

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
    CSQLStrToken tok;
    CString msg;
    ASSERT_EQ(tok.initDefaultKeyword(Utf8ToWide(TAVRELIX_KEYWORD_FILE).c_str(), &msg), 0) << Narrow(msg);
    ASSERT_GT(tok.m_keywordCount, 0);
    const int objects = CountRows(kObjectQuery), columns = CountRows(kColumnQuery);
    ASSERT_GT(objects, 0);
    ASSERT_GT(columns, 0);

    ASSERT_EQ(tok.initKeywordForCompletion(session, u"DEMO", &msg), 0) << Narrow(msg);
    EXPECT_EQ(Narrow(msg), std::to_string(tok.m_keywordCount + objects + columns) + " words");
    EXPECT_TRUE(Contains(Completions(tok, u"BIG_"), u"BIG_TABLE"));
    EXPECT_TRUE(Contains(Completions(tok, u"big_"), u"big_table"));
    EXPECT_TRUE(Contains(Completions(tok, u"社"), u"社員"));
    EXPECT_TRUE(Contains(Completions(tok, u"SEL"), u"SELECT"));
    // Colouring still knows only the keyword file's words.
    EXPECT_EQ(tok.findKeyword(u"big_table", 9), -1);
    EXPECT_GE(tok.findKeyword(u"select", 6), 0);

    TestList list;
    tok.findCompletionWords(&list, u"社員");
    ASSERT_NE(list.Find(u"社員"), nullptr);
    EXPECT_EQ((*list.Find(u"社員"))[1], u"TABLE");
    ASSERT_NE(list.Find(u"社員_V"), nullptr);
    EXPECT_EQ((*list.Find(u"社員_V"))[1], u"VIEW");
    EXPECT_EQ(list.widths[5] & CCompletionList::kShown, 0u);

    // A second run frees the first one's table and datasets (LeakSanitizer).
    ASSERT_EQ(tok.initKeywordForCompletion(session, u"DEMO", &msg), 0) << Narrow(msg);
    EXPECT_EQ(Narrow(msg), std::to_string(tok.m_keywordCount + objects + columns) + " words");
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
    CString msg;
    ASSERT_EQ(oci_login2(&scratch, u"system", u"manager", u"SCRATCH", nullptr, 0, &msg, nullptr), ORARC_OK)
        << Narrow(msg);
    ASSERT_EQ(oci_exec_sql(scratch, u"create user scratch identified by scratch", &msg), ORARC_OK)
        << Narrow(msg);
    oci_ora_logout(&scratch);
    ASSERT_EQ(oci_login2(&scratch, u"scratch", u"scratch", u"SCRATCH", nullptr, 0, &msg, nullptr), ORARC_OK)
        << Narrow(msg);
    for (int i = 0; i < 300; i++) {
        // The second 150 tables repeat the first ones' column names with
        // other types.
        const char16_t* types[] = {u"number", u"varchar2(10)", u"date"};
        const int k = i % 150, t = i / 150;
        CString sql;
        sql.Format(u"create table tab%03d (col%03d_a %s, col%03d_b %s, col%03d_c %s)", i, k, types[t], k,
                   types[(t + 1) % 3], k, types[(t + 2) % 3]);
        ASSERT_EQ(oci_exec_sql(scratch, sql.GetString(), &msg), ORARC_OK) << Narrow(msg);
    }
    std::string keywords;
    for (int i = 0; i < 1200; i++) keywords += "word" + std::to_string(i) + (i % 2 ? ",2\n" : "\n");
    std::ofstream(home / "keywords.txt") << keywords;

    CSQLStrToken tok;
    ASSERT_EQ(tok.initDefaultKeyword(Utf8ToWide((home / "keywords.txt").c_str()).c_str(), &msg), 0)
        << Narrow(msg);
    ASSERT_EQ(tok.m_keywordCount, 1200);
    ASSERT_EQ(tok.initKeywordForCompletion(scratch, u"SCRATCH", &msg), 0) << Narrow(msg);
    EXPECT_EQ(Narrow(msg), "2400 words");
    EXPECT_EQ(Completions(tok, u"TAB1").size(), 100u);
    oci_ora_logout(&scratch);
}

TEST_F(CompletionTest, CommentsSettingBringsObjectComments) {
    CSQLStrToken tok;
    tok.SetCommentsSetting(1);
    CString msg;
    ASSERT_EQ(tok.initDefaultKeyword(Utf8ToWide(TAVRELIX_KEYWORD_FILE).c_str(), &msg), 0) << Narrow(msg);
    ASSERT_EQ(tok.initKeywordForCompletion(session, u"DEMO", &msg), 0) << Narrow(msg);
    TestList list;
    tok.findCompletionWords(&list, u"社員");
    ASSERT_NE(list.Find(u"社員"), nullptr);
    EXPECT_EQ((*list.Find(u"社員"))[5], u"社員マスタ");
    EXPECT_NE(list.widths[5] & CCompletionList::kShown, 0u);
}

TEST_F(CompletionTest, StopWhileMergingLeavesTheKeywordTableActive) {
    CSQLStrToken tok;
    CString msg;
    ASSERT_EQ(tok.initDefaultKeyword(Utf8ToWide(TAVRELIX_KEYWORD_FILE).c_str(), &msg), 0) << Narrow(msg);
    ASSERT_EQ(tok.initKeywordForCompletion(session, u"DEMO", &msg), 0) << Narrow(msg);
    ASSERT_NE(tok.m_completion, tok.m_keywords);

    // Stopped after the column query, while the rows are merged.
    tok.m_afterColumnQuery = [](CSQLStrToken* t) { t->m_stop.store(1); };
    EXPECT_EQ(tok.initKeywordForCompletion(session, u"DEMO", &msg), 1);
    EXPECT_EQ(tok.m_completion, tok.m_keywords);
    EXPECT_EQ(tok.m_completionCount, tok.m_keywordCount);
    EXPECT_TRUE(Completions(tok, u"社").empty());
    EXPECT_FALSE(Completions(tok, u"SEL").empty());
}

// Cancelled while the object query is parked in the client: the break ends
// the parked call and the load reports the cancel.
TEST_F(CompletionTest, CancelDuringParkedObjectQuery) {
    CSQLStrToken tok;
    CString msg;
    ASSERT_EQ(tok.initDefaultKeyword(Utf8ToWide(TAVRELIX_KEYWORD_FILE).c_str(), &msg), 0) << Narrow(msg);
    ASSERT_EQ(tok.initKeywordForCompletion(session, u"DEMO", &msg), 0) << Narrow(msg);
    ASSERT_FALSE(Completions(tok, u"社").empty());
    // Describing the query runs blocking, on this thread: a gate armed for it
    // would park the only thread that could break it. The gate is armed for
    // the polled execution alone.
    static pfn_OCIStmtExecute execute;
    static bool armed;
    execute = g_oci.OCIStmtExecute;
    armed = false;
    g_oci.OCIStmtExecute = [](OCISvcCtx* svc, OCIStmt* stmt, OCIError* err, ub4 iters, ub4 rowoff,
                              const OCISnapshot* in, OCISnapshot* out, ub4 mode) {
        if (mode == OCI_DEFAULT && !armed) {
            armed = true;
            Control("gate OCIStmtExecute");
        }
        return execute(svc, stmt, err, iters, rowoff, in, out, mode);
    };
    g_on_wait = [&](DWORD) { tok.m_stop.store(1); };
    EXPECT_EQ(tok.initKeywordForCompletion(session, u"DEMO", &msg), 9) << Narrow(msg);
    g_on_wait = nullptr;
    EXPECT_TRUE(armed);
    EXPECT_EQ(tok.m_completion, tok.m_keywords);
    EXPECT_TRUE(Completions(tok, u"社").empty());
    EXPECT_FALSE(Completions(tok, u"SEL").empty());
}

// Each candidate list is filled inside the lock: it shows the keyword table
// alone or the whole merged one, never a table being switched.
TEST_F(CompletionTest, LookupsDuringLoadsSeeOneWholeTable) {
    CSQLStrToken tok;
    CString msg;
    ASSERT_EQ(tok.initDefaultKeyword(Utf8ToWide(TAVRELIX_KEYWORD_FILE).c_str(), &msg), 0) << Narrow(msg);
    TestList list;
    tok.findCompletionWords(&list, u"");
    const int alone = list.GetRowCount();
    ASSERT_EQ(tok.initKeywordForCompletion(session, u"DEMO", &msg), 0) << Narrow(msg);
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
    int sawAlone = 0, sawWhole = 0, torn = 0;
    char16_t buf[256];
    while (!done) {
        tok.findCompletionWords(&list, u"");
        int n = list.GetRowCount();
        if (n == alone)
            sawAlone++;
        else if (n == whole)
            sawWhole++;
        else
            torn++;
        if (tok.findCompletion(u"SEL", -1, buf, sizeof buf, 0) != 0) torn++;
    }
    loader.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(torn, 0);
    EXPECT_GT(sawAlone + sawWhole, 0);
    tok.findCompletionWords(&list, u"");
    EXPECT_EQ(list.GetRowCount(), whole);
}

} // namespace
