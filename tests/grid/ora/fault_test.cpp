// Saves under injected faults: whatever fails, the database is left as it
// was, the model keeps every edit, and the failing cell is named; with the
// fault removed the next save commits everything.
#include <cstring>
#include <functional>
#include <set>
#include <thread>

#include "tests/grid/ora/ora_fixture.h"
#include "tests/grid/ora/progress_window.h"

namespace oratest {
namespace {

const int kRows[] = {0, 36, 49, 50, 86, 119};

class FaultTest : public OraGridTest {
public:
    OraSession* other = nullptr;

    void SetUp() override {
        OraGridTest::SetUp();
        other = Logon(0);
        ASSERT_NE(other, nullptr);
        g_session = s;
    }
    // F: 120 rows (ids 1..120) and a 121st row that no edit touches.
    void MakeTable() {
        Exec(s, u"create table f (id number primary key, u varchar2(20) unique, v varchar2(20))");
        for (int i = 1; i <= 121; ++i) {
            std::u16string u = u"u" + U(std::to_string(i)), v = u"v" + U(std::to_string(i));
            CString msg;
            ASSERT_EQ(oci_exec_sql_bind(s, u"insert into f values (:X0, :X1, :X2)", &msg, nullptr, nullptr,
                                        "ISS", &i, u.c_str(), v.c_str()),
                      ORARC_OK);
        }
        Exec(s, u"commit");
    }
    CEditableOraGridData* BindTable() {
        return Bind(Query(u"F", {u"ID", u"U", u"V"}, {}, u"order by a.\"ID\""), u"F");
    }
    // The query whose rows a failing save must leave as they were.
    std::u16string tableQuery = u"select id, u, v from f order by id";
    std::string Table() { return Rows(other, tableQuery.c_str()); }
    // Every text, flag, modified bit and count of the model, and its undo state.
    std::string ModelState() {
        std::string out;
        for (int r = 0; r < grid->GetRowCount(); ++r) {
            out += std::to_string(grid->IsInsertedRow(r)) + std::to_string(grid->IsUpdatedRow(r)) +
                   std::to_string(grid->IsDeletedRow(r));
            for (int c = 0; c < grid->GetColCount(); ++c)
                out += "|" + N(grid->GetText(r, c)) + (grid->IsCellModified(r, c) ? "*" : "");
            out += "\n";
        }
        out += std::to_string(grid->m_insertedCount) + "/" + std::to_string(grid->m_updatedCount) + "/" +
               std::to_string(grid->m_deletedCount) + "/" + std::to_string(grid->CanUndo()) +
               std::to_string(grid->CanRedo());
        return out;
    }
    // A control command whose failure the caller judges (gate_wait).
    static int RawControl(const char* command, char* reply, unsigned size) {
        auto control = reinterpret_cast<pfn_oci_standin_control>(
            reinterpret_cast<void (*)()>(GetProcAddress(g_oci_module, "oci_standin_control")));
        return control ? control(command, reply, size) : -1;
    }
    struct Outcome {
        int rc;
        std::string msg;
        int col, row;
    };
    // One failing save: the database and the model unchanged afterwards.
    // during, when given, runs on a thread of its own while the save runs.
    Outcome FailingSave(const std::function<void(ProgressWindow&)>& during = nullptr) {
        std::string before = Table();
        std::string model = ModelState();
        ProgressWindow w;
        CString msg;
        int cell[2] = {-9, -9};
        std::thread helper;
        if (during) helper = std::thread([&] { during(w); });
        int rc = w.Save(grid, s, cell, &msg);
        if (helper.joinable()) helper.join();
        EXPECT_EQ(w.finished, rc);
        Exec(s, u"commit");
        EXPECT_EQ(Table(), before);
        EXPECT_EQ(ModelState(), model);
        return {rc, Narrow(msg), cell[0], cell[1]};
    }
    void GoodSave() {
        ProgressWindow w;
        CString msg;
        int cell[2];
        EXPECT_EQ(w.Save(grid, s, cell, &msg), ORARC_OK) << Narrow(msg);
    }
};

// Both call sets: the saving session by Oracle 8 or Oracle 7 calls.
class ConstraintTest : public FaultTest, public ::testing::WithParamInterface<int> {
    void SetUp() override {
        FaultTest::SetUp();
        if (GetParam()) LogonAs(1);
    }
};

TEST_P(ConstraintTest, ConstraintErrorsNameTheRowInEveryBatch) {
    MakeTable();
    for (int k : kRows) {
        SCOPED_TRACE(k);
        // Deletes: an iteration of the array execution fails.
        CEditableOraGridData* g = BindTable();
        g->DeleteRows(0, 119);
        Control("fail_iteration " + std::to_string(k % 50) + " 1 after " + std::to_string(k / 50));
        Outcome o = FailingSave();
        EXPECT_EQ(o.rc, ORARC_ORACLE_ERROR);
        EXPECT_EQ(o.msg.rfind("delete error\nORA-00001", 0), 0u) << o.msg;
        EXPECT_EQ(o.col, -1);
        EXPECT_EQ(o.row, k);
        Control("reset");

        // Updates: a unique key taken by the row no edit touches.
        g = BindTable();
        for (int r = 0; r < 120; ++r) Set(r, 1, r == k ? u"u121" : (u"n" + U(std::to_string(r))).c_str());
        o = FailingSave();
        EXPECT_EQ(o.rc, ORARC_ORACLE_ERROR);
        EXPECT_EQ(o.msg.rfind("update error\nORA-00001", 0), 0u) << o.msg;
        EXPECT_EQ(o.col, 1);
        EXPECT_EQ(o.row, k);

        // Inserts: a duplicate key, then a text in a NUMBER column.
        g = BindTable();
        ASSERT_EQ(g->InsertRows(120, 120), 0);
        for (int i = 0; i < 120; ++i) {
            Set(121 + i, 0, i == k ? u"1" : U(std::to_string(1001 + i)).c_str());
            Set(121 + i, 1, (u"i" + U(std::to_string(i))).c_str());
        }
        o = FailingSave();
        EXPECT_EQ(o.rc, ORARC_ORACLE_ERROR);
        EXPECT_EQ(o.msg.rfind("insert error\nORA-00001", 0), 0u) << o.msg;
        EXPECT_EQ(o.row, 121 + k);
        Set(121 + k, 0, u"abc");
        o = FailingSave();
        EXPECT_EQ(o.rc, ORARC_ORACLE_ERROR);
        EXPECT_EQ(o.msg.rfind("insert error\nORA-01722", 0), 0u) << o.msg;
        EXPECT_EQ(o.row, 121 + k);
    }
    // With the fault gone every edit is saved.
    CEditableOraGridData* g = BindTable();
    g->DeleteRows(0, 9);
    Set(20, 2, u"changed");
    GoodSave();
    EXPECT_EQ(Rows(other, u"select count(*) from f"), "111\n");
    EXPECT_EQ(Rows(other, u"select v from f where id = 21"), "changed\n");
}

// A row that child rows reference is neither deleted nor re-keyed: the save
// fails on it with the constraint's name and keeps every edit, in every
// batch; a child row needs its parent. Without them the rows are saved, a
// child whose key says ON DELETE CASCADE going with its parent.
TEST_P(ConstraintTest, ForeignKeysKeepTheRowsChildRowsNeed) {
    MakeTable();
    Exec(s, u"create table kid (id number primary key, f_id number constraint kid_f references f)");
    Exec(s, u"create table pet (id number primary key, f_id number references f on delete cascade)");
    Exec(s, u"insert into pet values (1, 3)");
    const std::string childFound =
        "ORA-02292: integrity constraint (SYSTEM.KID_F) violated - child record found";
    for (int k : kRows) {
        SCOPED_TRACE(k);
        Exec(s, (u"insert into kid values (1, " + U(std::to_string(k + 1)) + u")").c_str());
        Exec(s, u"commit");
        CEditableOraGridData* g = BindTable();
        g->DeleteRows(0, 119);
        Outcome o = FailingSave();
        EXPECT_EQ(o.rc, ORARC_ORACLE_ERROR);
        EXPECT_EQ(o.msg.rfind("delete error\n" + childFound, 0), 0u) << o.msg;
        EXPECT_EQ(o.row, k);
        BindTable();
        Set(k, 0, u"1000");
        o = FailingSave();
        EXPECT_EQ(o.rc, ORARC_ORACLE_ERROR);
        EXPECT_EQ(o.msg.rfind("update error\n" + childFound, 0), 0u) << o.msg;
        EXPECT_EQ(o.row, k);
        EXPECT_EQ(o.col, 0);
        Exec(s, u"delete from kid");
    }
    Exec(s, u"insert into kid values (1, 1)");
    Exec(s, u"commit");
    CEditableOraGridData* g = Bind(Query(u"KID", {u"ID", u"F_ID"}), u"KID");
    ASSERT_EQ(g->InsertRows(0, 1), 0);
    Set(1, 0, u"2");
    Set(1, 1, u"999");
    tableQuery = u"select id, f_id from kid order by id";
    Outcome o = FailingSave();
    EXPECT_EQ(o.rc, ORARC_ORACLE_ERROR);
    EXPECT_EQ(
        o.msg.rfind("insert error\nORA-02291: integrity constraint (SYSTEM.KID_F) violated - parent key not "
                    "found",
                    0),
        0u)
        << o.msg;
    EXPECT_EQ(o.row, 1);
    Set(1, 1, u"2");
    GoodSave();
    EXPECT_EQ(Rows(other, u"select id || ':' || f_id from kid order by id"), "1:1\n2:2\n");

    Exec(s, u"delete from kid");
    Exec(s, u"commit");
    g = BindTable();
    g->DeleteRows(0, 9);
    GoodSave();
    EXPECT_EQ(Rows(other, u"select count(*) from f"), "111\n");
    EXPECT_EQ(Rows(other, u"select count(*) from pet"), "0\n");
}

INSTANTIATE_TEST_SUITE_P(BothCallSets, ConstraintTest, ::testing::Values(0, 1));

// A row another session holds: after the wait the save fails with the lock's
// error, not with a failed rollback, and keeps every edit; once the other
// session's transaction ends the same edits are saved.
TEST_F(FaultTest, ALockHeldElsewhereFailsTheSaveWithItsError) {
    MakeTable();
    BindTable();
    Set(5, 2, u"mine");
    Exec(other, u"update f set v = 'theirs' where id = 6");
    Outcome o = FailingSave();
    EXPECT_EQ(o.rc, ORARC_ORACLE_ERROR);
    EXPECT_EQ(
        o.msg.rfind("update error\nORA-00054: resource busy and acquire with NOWAIT specified or timeout "
                    "expired",
                    0),
        0u)
        << o.msg;
    EXPECT_EQ(o.row, 5);
    Exec(other, u"rollback");
    GoodSave();
    EXPECT_EQ(Rows(other, u"select v from f where id in (6, 7) order by id"), "mine\nv7\n");
}

TEST_F(FaultTest, RowsChangedByAnotherSessionAreNamed) {
    MakeTable();
    for (int k : kRows) {
        SCOPED_TRACE(k);
        // Deleted elsewhere after the fetch: the delete misses it.
        CEditableOraGridData* g = BindTable();
        g->DeleteRows(0, 119);
        std::u16string id = U(std::to_string(k + 1));
        std::u16string keep =
            Narrow(CString(g->GetText(k, 1))) == "" ? u"" : std::u16string(g->GetText(k, 1));
        Exec(other, (u"delete from f where id = " + id).c_str());
        Exec(other, u"commit");
        Outcome o = FailingSave();
        EXPECT_EQ(o.rc, ORARC_ORACLE_ERROR);
        EXPECT_EQ(o.msg, "delete error\n対象の行が見つかりません\n");
        EXPECT_EQ(o.col, -1);
        EXPECT_EQ(o.row, k);
        // Still gone: the same failure.
        o = FailingSave();
        EXPECT_EQ(o.msg, "delete error\n対象の行が見つかりません\n");
        EXPECT_EQ(o.row, k);

        // The same for an update of its column.
        g = BindTable();
        Exec(other, (u"insert into f values (" + id + u", 'u" + id + u"', 'v" + id + u"')").c_str());
        Exec(other, u"commit");
        g = BindTable();
        for (int r = 0; r < 120; ++r) Set(r, 2, u"w");
        Exec(other, (u"delete from f where id = " + id).c_str());
        Exec(other, u"commit");
        o = FailingSave();
        EXPECT_EQ(o.msg, "update error\n対象の行が見つかりません\n");
        EXPECT_EQ(o.col, 2);
        EXPECT_EQ(o.row, k);
        Exec(other, (u"insert into f values (" + id + u", 'u" + id + u"', 'v" + id + u"')").c_str());
        Exec(other, u"commit");

        (void)keep;
    }
}

// Rows deleted and inserted again by a second session after the fetch (the
// same values under a new row id), at both ends of each batch: the deletes,
// the updates and the CLOB writes (new texts, and emptied ones) miss them and
// name the row, each time they are tried.
TEST_F(FaultTest, RowsDeletedAndInsertedAgainElsewhereAreNamed) {
    Exec(s, u"create table fd (id number primary key, v varchar2(20), c clob)");
    for (int i = 1; i <= 121; ++i) {
        std::u16string v = u"v" + U(std::to_string(i)), c = u"c" + U(std::to_string(i));
        CString msg;
        ASSERT_EQ(oci_exec_sql_bind(s, u"insert into fd values (:X0, :X1, :X2)", &msg, nullptr, nullptr,
                                    "ISS", &i, v.c_str(), c.c_str()),
                  ORARC_OK);
    }
    Exec(s, u"commit");
    tableQuery = u"select id, v, c from fd order by id";
    auto bind = [&] { return Bind(Query(u"FD", {u"ID", u"V", u"C"}, {}, u"order by a.\"ID\""), u"FD"); };
    struct Case {
        const char* name;
        int col;
        const char16_t* text;
        const char* msg;
    };
    const Case cases[] = {
        {"delete", -1, nullptr, "delete error\n対象の行が見つかりません\n"},
        {"update", 1, u"w", "update error\n対象の行が見つかりません\n"},
        {"clob", 2, u"new text", "insert/update lob error\nLOBデータが見つかりません"},
        {"empty clob", 2, u"", "insert/update lob error\n対象の行が見つかりません\n"},
    };
    int fillers = 0;
    for (int k : kRows) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " " + std::to_string(k));
            CEditableOraGridData* g = bind();
            if (c.col < 0)
                g->DeleteRows(0, 119);
            else
                for (int r = 0; r < 120; ++r) Set(r, c.col, c.text);
            // A row made after it (and kept, beyond the rows the edits
            // touch) holds the highest row id, so no later insert is given
            // the one freed here.
            std::u16string id = U(std::to_string(k + 1));
            Exec(other, (u"delete from fd where id = " + id).c_str());
            Exec(other, (u"insert into fd values (" + id + u", 'v" + id + u"', 'c" + id + u"')").c_str());
            Exec(
                other,
                (u"insert into fd values (" + U(std::to_string(1000 + fillers++)) + u", 'f', NULL)").c_str());
            Exec(other, u"commit");
            for (int attempt = 0; attempt < 2; ++attempt) {
                Outcome o = FailingSave();
                EXPECT_EQ(o.rc, ORARC_ORACLE_ERROR);
                EXPECT_EQ(o.msg, c.msg);
                EXPECT_EQ(o.col, c.col);
                EXPECT_EQ(o.row, k);
            }
        }
    }
    // Fetched again, the rows are found under their new row ids.
    CEditableOraGridData* g = bind();
    g->DeleteRows(0, 0);
    Set(36, 1, u"w");
    Set(49, 2, u"");
    Set(86, 2, u"new text");
    GoodSave();
    EXPECT_EQ(Rows(other, u"select id, v, c from fd where id in (1, 37, 50, 87) order by id"),
              "37|w|c37\n50|v50|\n87|v87|new text\n");
}

TEST_F(FaultTest, ReKeyedIndexOrganisedRowsAndLobRowsGoneElsewhere) {
    Exec(s, u"create table fi (k1 number, k2 varchar2(10), v varchar2(10), c clob, primary key (k1, k2)) "
            u"organization index");
    for (int i = 1; i <= 120; ++i) {
        std::u16string k2 = u"k" + U(std::to_string(i));
        CString msg;
        ASSERT_EQ(oci_exec_sql_bind(s, u"insert into fi values (:X0, :X1, 'v', 'c')", &msg, nullptr, nullptr,
                                    "IS", &i, k2.c_str()),
                  ORARC_OK);
    }
    Exec(s, u"commit");
    tableQuery = u"select k1, k2, v, c from fi order by k1";
    // Re-keyed elsewhere: the deletes, the updates and the CLOB writes (by
    // key, emptying it) miss the row, each time they are tried.
    struct Case {
        int col;
        const char* msg;
    };
    const Case cases[] = {{-1, "delete error\n対象の行が見つかりません\n"},
                          {2, "update error\n対象の行が見つかりません\n"},
                          {3, "insert/update lob error\n対象の行が見つかりません\n"}};
    for (int k : kRows) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(c.col) + " " + std::to_string(k));
            CEditableOraGridData* g =
                Bind(Query(u"FI", {u"K1", u"K2", u"V", u"C"}, {u"K1", u"K2"}, u"order by a.\"K1\""), u"FI");
            if (c.col < 0)
                g->DeleteRows(0, 119);
            else
                for (int r = 0; r < 120; ++r) Set(r, c.col, c.col == 2 ? u"w" : u"");
            std::u16string id = U(std::to_string(k + 1));
            Exec(other, (u"update fi set k2 = 'moved' where k1 = " + id).c_str());
            Exec(other, u"commit");
            for (int attempt = 0; attempt < 2; ++attempt) {
                Outcome o = FailingSave();
                EXPECT_EQ(o.rc, ORARC_ORACLE_ERROR);
                EXPECT_EQ(o.msg, c.msg);
                EXPECT_EQ(o.col, c.col);
                EXPECT_EQ(o.row, k);
            }
            Exec(other, (u"update fi set k2 = 'k" + id + u"' where k1 = " + id).c_str());
            Exec(other, u"commit");
        }
    }

    // With the keys back every edit is saved.
    {
        CEditableOraGridData* g =
            Bind(Query(u"FI", {u"K1", u"K2", u"V", u"C"}, {u"K1", u"K2"}, u"order by a.\"K1\""), u"FI");
        g->DeleteRows(0, 0);
        Set(35, 2, u"w");
        Set(85, 3, u"");
        GoodSave();
        EXPECT_EQ(Rows(other, u"select k1, v, c from fi where k1 in (1, 36, 86) order by k1"),
                  "36|w|c\n86|v|\n");
    }

    // A CLOB row deleted elsewhere: its write finds nothing.
    Exec(s, u"create table fc (id number primary key, c clob)");
    Exec(s, u"insert into fc values (1, 'a')");
    Exec(s, u"insert into fc values (2, 'b')");
    Exec(s, u"commit");
    CEditableOraGridData* g = Bind(Query(u"FC", {u"ID", u"C"}, {}, u"order by a.\"ID\""), u"FC");
    Set(0, 1, u"");
    Set(1, 1, u"new");
    Exec(other, u"delete from fc");
    Exec(other, u"commit");
    CString msg;
    int cell[2];
    EXPECT_EQ(g->SaveChanges(s, cell, &msg, nullptr, nullptr), ORARC_ORACLE_ERROR);
    EXPECT_EQ(Narrow(msg), "insert/update lob error\n対象の行が見つかりません\n");
    EXPECT_EQ(cell[0], 1);
    EXPECT_EQ(cell[1], 0);
    Set(0, 1, u"a");
    g->Undo();
    EXPECT_EQ(g->SaveChanges(s, cell, &msg, nullptr, nullptr), ORARC_ORACLE_ERROR);
    EXPECT_EQ(cell[1], 0);
    Exec(s, u"rollback");
}

TEST_F(FaultTest, CancelAtAHundredRowCheck) {
    MakeTable();
    CEditableOraGridData* g = BindTable();
    for (int r = 0; r < 120; ++r) Set(r, 2, u"w");
    // State 1 from the second step: the check of row 100 of the update phase.
    {
        std::string before = Table();
        ProgressWindow w;
        w.cancelFromStep = 3;
        CString msg;
        int cell[2];
        EXPECT_EQ(w.Save(g, s, cell, &msg), ORARC_CANCELLED);
        EXPECT_EQ(Narrow(msg), "キャンセルしました\n");
        Exec(s, u"commit");
        EXPECT_EQ(Table(), before);
    }
    GoodSave();
    EXPECT_EQ(Rows(other, u"select count(*) from f where v = 'w'"), "120\n");
}

// A cancel while a phase's array execution is parked at row k (the gate lets
// the earlier batches through): the execution is broken there, before row k
// changes; the database stays as it was and row k is named.
TEST_F(FaultTest, CancelWhileParkedAtRowKOfEachPhase) {
    MakeTable();
    const char* phases[] = {"delete", "update", "insert"};
    for (int phase = 0; phase < 3; ++phase) {
        for (int k : kRows) {
            SCOPED_TRACE(std::string(phases[phase]) + " " + std::to_string(k));
            CEditableOraGridData* g = BindTable();
            int first = 0;
            if (phase == 0) {
                g->DeleteRows(0, 119);
            } else if (phase == 1) {
                for (int r = 0; r < 120; ++r) Set(r, 2, u"w");
            } else {
                ASSERT_EQ(g->InsertRows(121, 120), 0);
                for (int i = 0; i < 120; ++i) {
                    Set(121 + i, 0, U(std::to_string(1001 + i)).c_str());
                    Set(121 + i, 1, (u"i" + U(std::to_string(i))).c_str());
                }
                first = 121;
            }
            Control("gate OCIStmtExecute row " + std::to_string(k % 50) + " after " + std::to_string(k / 50));
            bool parked = false;
            Outcome o = FailingSave([&](ProgressWindow& w) {
                char reply[64];
                parked = RawControl("gate_wait 20000", reply, sizeof reply) == 0;
                w.cancel = 1;
            });
            Control("reset");
            EXPECT_TRUE(parked);
            EXPECT_EQ(o.rc, ORARC_CANCELLED);
            EXPECT_EQ(o.msg, "キャンセルしました\n");
            EXPECT_EQ(o.row, first + k);
            EXPECT_EQ(o.col, phase == 1 ? 2 : -1);
        }
    }
    CEditableOraGridData* g = BindTable();
    g->DeleteRows(0, 0);
    Set(1, 2, u"w");
    ASSERT_EQ(g->InsertRows(120, 1), 0);
    Set(120, 0, u"1001");
    GoodSave();
    EXPECT_EQ(Rows(other, u"select count(*) from f"), "121\n");
    EXPECT_EQ(Rows(other, u"select id from f where v = 'w' or id > 1000 order by id"), "2\n1001\n");
}

TEST_F(FaultTest, LobWritesFailingLeaveTheLobsUntouched) {
    Exec(s, u"create table fl (id number primary key, c clob, b blob)");
    Exec(s, u"insert into fl values (1, 'first text', empty_blob())");
    Exec(s, u"insert into fl values (2, 'second', empty_blob())");
    Exec(s, u"commit");
    std::string path = (home / "big.bin").string();
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < 10000; ++i) out.put(char('a' + i % 26));
    }
    auto snapshot = [&] { return Rows(other, u"select id, c, length(b) from fl order by id"); };
    std::string before = snapshot();
    CEditableOraGridData* g = Bind(Query(u"FL", {u"ID", u"C", u"B"}, {}, u"order by a.\"ID\""), u"FL");
    Set(0, 1, u"new text");
    ASSERT_EQ(g->SetLobCellText(1, 2, U(path).c_str()), 1);
    // The CLOB write fails after the trim.
    Control("fail OCILobWrite 1 1");
    ProgressWindow w1;
    CString msg;
    int cell[2];
    EXPECT_EQ(w1.Save(g, s, cell, &msg), ORARC_ORACLE_ERROR);
    EXPECT_EQ(Narrow(msg).rfind("insert/update lob error\nORA-00001", 0), 0u) << Narrow(msg);
    EXPECT_EQ(cell[0], 1);
    EXPECT_EQ(cell[1], 0);
    Exec(s, u"commit");
    EXPECT_EQ(snapshot(), before);
    // The upload fails at its second piece.
    Control("reset");
    Control("fail OCILobWrite 1 1 after 2");
    ProgressWindow w2;
    EXPECT_EQ(w2.Save(g, s, cell, &msg), ORARC_ORACLE_ERROR);
    EXPECT_EQ(cell[0], 2);
    EXPECT_EQ(cell[1], 1);
    Exec(s, u"commit");
    EXPECT_EQ(snapshot(), before);
    Control("reset");
    ProgressWindow w3;
    EXPECT_EQ(w3.Save(g, s, cell, &msg), ORARC_OK) << Narrow(msg);
    // (The stand-in's LENGTH of a BLOB counts its hexadecimal digits.)
    EXPECT_EQ(snapshot(), "1|new text|0\n2|second|20000\n");
}

// A lost connection in each phase and at the commit: 21 and the fatal
// rollback message; the table as it was (the loss rolled the work back), the
// model unchanged, and a save through a fresh logon commits every edit.
class LostSessionTest : public FaultTest, public ::testing::WithParamInterface<int> {};

TEST_P(LostSessionTest, InEachPhaseAndAtTheCommit) {
    const int oci7 = GetParam();
    for (const char* phase : {"delete", "update", "insert", "commit"}) {
        SCOPED_TRACE(phase);
        LogonAs(oci7);
        if (HasFatalFailure()) return;
        CString ignored;
        oci_exec_sql(s, u"drop table f", &ignored);
        MakeTable();
        BindTable();
        grid->DeleteRows(0, 9);
        for (int r = 20; r < 30; ++r) Set(r, 2, u"lost?");
        ASSERT_EQ(grid->InsertRows(121, 5), 0);
        for (int i = 0; i < 5; ++i) {
            Set(121 + i, 0, U(std::to_string(1001 + i)).c_str());
            Set(121 + i, 1, (u"new" + U(std::to_string(i))).c_str());
        }
        std::string before = Table();
        std::string model = ModelState();
        // The loss comes at the first execution of the phase's statement.
        std::string last;
        bool armed = std::string(phase) != "commit";
        auto arm = [&] {
            if (armed && last.rfind(phase, 0) == 0) {
                Control(std::string("lose_session ") + (oci7 ? "oexn" : "OCIStmtExecute"));
                Control("lose_session oexec");
                armed = false;
            }
        };
        if (oci7) {
            TAP(oparse) = [&](Cda_Def*, OraText* text, sb4 len, sword, ub4) {
                last.assign(reinterpret_cast<const char*>(text),
                            len < 0 ? std::strlen(reinterpret_cast<const char*>(text)) : size_t(len));
            };
            TAP(oexn) = [&](Cda_Def*, sword, sword) { arm(); };
            TAP(oexec) = [&](Cda_Def*) { arm(); };
        } else {
            TAP(OCIStmtPrepare) = [&](OCIStmt*, OCIError*, const OraText* text, ub4 len, ub4, ub4) {
                last.assign(reinterpret_cast<const char*>(text), len);
            };
            TAP(OCIStmtExecute) = [&](OCISvcCtx*, OCIStmt*, OCIError*, ub4, ub4, const OCISnapshot*,
                                      OCISnapshot*, ub4) { arm(); };
        }
        if (!armed) Control(oci7 ? "lose_session ocom" : "lose_session OCITransCommit");
        ProgressWindow w;
        CString msg;
        int cell[2] = {-9, -9};
        EXPECT_EQ(w.Save(grid, s, cell, &msg), ORARC_FAILED);
        EXPECT_EQ(Narrow(msg), "fatal error: rollback to tavex_p1");
        EXPECT_FALSE(armed);
        // The first row of the batch the loss hit (the update its column);
        // nothing at the commit.
        const std::string p = phase;
        int col = p == "update" ? 2 : -1;
        int row = p == "delete" ? 0 : p == "update" ? 20 : p == "insert" ? 121 : -1;
        EXPECT_EQ(cell[0], col);
        EXPECT_EQ(cell[1], row);
        Control("reset");
        g_oci = g_real;
        EXPECT_EQ(Table(), before);
        EXPECT_EQ(ModelState(), model);
        // A fresh logon saves every edit.
        LogonAs(oci7);
        GoodSave();
        EXPECT_EQ(Rows(other, u"select count(*) from f"), "116\n");
        EXPECT_EQ(Rows(other, u"select count(*) from f where v = 'lost?'"), "10\n");
        EXPECT_EQ(Rows(other, u"select count(*) from f where id > 1000"), "5\n");
    }
}

INSTANTIATE_TEST_SUITE_P(BothCallSets, LostSessionTest, ::testing::Values(0, 1));

// The connection lost while a CLOB is written, after the other edits went
// through: the LOB write's cell named, the table and its LOBs as they were,
// every edit pending; a fresh logon saves them all.
TEST_F(FaultTest, LostSessionDuringALobWrite) {
    Exec(s, u"create table fw (id number primary key, v varchar2(10), c clob)");
    for (int i = 1; i <= 3; ++i) {
        CString m;
        ASSERT_EQ(
            oci_exec_sql_bind(s, u"insert into fw values (:X0, 'v', 'text')", &m, nullptr, nullptr, "I", &i),
            ORARC_OK);
    }
    Exec(s, u"commit");
    auto table = [&] { return Rows(other, u"select id, v, c from fw order by id"); };
    Bind(Query(u"FW", {u"ID", u"V", u"C"}, {}, u"order by a.\"ID\""), u"FW");
    grid->DeleteRows(0, 0);
    Set(1, 1, u"changed");
    Set(2, 2, u"a new text");
    std::string before = table();
    std::string model = ModelState();
    Control("lose_session OCILobWrite");
    ProgressWindow w;
    CString msg;
    int cell[2] = {-9, -9};
    EXPECT_EQ(w.Save(grid, s, cell, &msg), ORARC_FAILED);
    EXPECT_EQ(Narrow(msg), "fatal error: rollback to tavex_p1");
    EXPECT_EQ(cell[0], 2);
    EXPECT_EQ(cell[1], 2);
    Control("reset");
    EXPECT_EQ(table(), before);
    EXPECT_EQ(ModelState(), model);
    LogonAs(0);
    GoodSave();
    EXPECT_EQ(table(), "2|changed|text\n3|v|a new text\n");
}

TEST_F(FaultTest, CancelBetweenRowsOfTheRowByRowInsert) {
    Exec(s, u"create table fr (id number primary key, c clob)");
    Exec(s, u"insert into fr values (1, 'kept')");
    Exec(s, u"commit");
    auto table = [&] { return Rows(other, u"select id, c from fr order by id"); };
    for (int k : kRows) {
        SCOPED_TRACE(k);
        CEditableOraGridData* g = Bind(Query(u"FR", {u"ID", u"C"}, {}, u"order by a.\"ID\""), u"FR");
        ASSERT_EQ(g->InsertRows(1, 120), 0);
        for (int i = 0; i < 120; ++i) {
            Set(1 + i, 0, U(std::to_string(100 + i)).c_str());
            Set(1 + i, 1, (u"text " + U(std::to_string(i))).c_str());
        }
        std::string before = table();
        std::string model = ModelState();
        ProgressWindow w;
        // The cancel arrives once row k has been inserted (with its CLOB).
        std::set<OCIStmt*> insertCursors;
        int inserts = 0;
        TAP(OCIStmtPrepare) = [&](OCIStmt* st, OCIError*, const OraText* text, ub4 len, ub4, ub4) {
            if (std::string(reinterpret_cast<const char*>(text), len).rfind("insert", 0) == 0)
                insertCursors.insert(st);
            else
                insertCursors.erase(st);
        };
        TAP(OCIStmtExecute);
        TAPPED(OCIStmtExecute)::after = [&](sword rc, OCISvcCtx*, OCIStmt* st, OCIError*, ub4 iters, ub4,
                                            const OCISnapshot*, OCISnapshot*, ub4 mode) {
            if (rc == OCI_SUCCESS && iters > 0 && !(mode & OCI_DESCRIBE_ONLY) && insertCursors.count(st) &&
                inserts++ == k)
                w.cancel = 1;
        };
        CString msg;
        int cell[2];
        EXPECT_EQ(w.Save(g, s, cell, &msg), ORARC_CANCELLED);
        EXPECT_EQ(Narrow(msg), "キャンセルしました\n");
        EXPECT_EQ(inserts, k + 1);
        g_oci = g_real;
        Exec(s, u"commit");
        EXPECT_EQ(table(), before);
        EXPECT_EQ(ModelState(), model);
    }
    GoodSave();
    EXPECT_EQ(Rows(other, u"select count(*) from fr"), "121\n");
    EXPECT_EQ(Rows(other, u"select c from fr where id = 219"), "text 119\n");
}

} // namespace
} // namespace oratest
