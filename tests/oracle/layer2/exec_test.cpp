// Execution: results of DML, DDL and binds, the polling schedule, pause and
// cancel, in both call sets.
#include <cstring>

#include "tests/oracle/standin_fixture.h"

namespace oratest {
namespace {

// Bind names and the break, reset and commit calls, in the order made.
void TraceCalls() {
    g_calls.clear();
    TAP(OCIBindByName) = [](auto, auto, auto, const OraText* name, sb4 len, auto...) {
        g_calls.emplace_back(reinterpret_cast<const char*>(name), size_t(len));
    };
    TAP(obndra) = [](auto, OraText* name, sword len, auto...) {
        const char* n = reinterpret_cast<const char*>(name);
        g_calls.emplace_back(n, len < 0 ? std::strlen(n) : size_t(len));
    };
    TAP(OCIBreak), TAP(OCIReset), TAP(obreak), TAP(onbset), TAP(onbclr), TAP(ocom);
}

// The waits from `first` up in steps of 10 below 500, then `last` for good.
void ExpectSchedule(int first, int last) {
    std::vector<DWORD> expected;
    for (int w = first; w < 500; w += 10) expected.push_back(DWORD(w));
    expected.insert(expected.end(), 2, DWORD(last));
    ASSERT_GE(g_waits.size(), expected.size());
    for (size_t i = 0; i < g_waits.size(); ++i)
        ASSERT_EQ(g_waits[i], i < expected.size() ? expected[i] : DWORD(last)) << i;
}

// Opens the gate once the call has parked there.
void OpenGate() {
    StandinTest::Control("gate_wait 5000");
    StandinTest::Control("gate_open");
}

class ExecTest : public Layer2Test {
public:
    // A session of the call set with an empty table Q0 or Q1; '#' in a
    // statement names it.
    OraSession* Session(int oci7) {
        Control("reset");
        OraSession* s = Logon(oci7);
        if (s) Exec(s, Q(oci7, u"create table q# (a number)").c_str());
        return s;
    }
    static std::u16string Q(int oci7, std::u16string sql) {
        sql[sql.find(u'#')] = char16_t(u'0' + oci7);
        return sql;
    }
    static int Run(OraSession* s, const std::u16string& sql, CancelState* cancel, CString* msg) {
        return oci_exec_sql_bind(s, sql.c_str(), msg, nullptr, cancel, "");
    }
};

TEST_F(ExecTest, DmlDdlAndBindResultsInBothCallSets) {
    for (int oci7 : {0, 1}) {
        SCOPED_TRACE(oci7);
        OraSession* s = Logon(oci7);
        ASSERT_NE(s, nullptr);
        MakeRows(s, 7);
        OraCursor c{};
        CString msg;
        ASSERT_EQ(oci_cre_cursor(s, &c, u"update t set b = 'x'", &msg), ORARC_OK);
        ASSERT_EQ(oci_exec_cursor(s, &c, &msg), ORARC_OK) << Narrow(msg);
        EXPECT_EQ(ora_cda_rows(&c), 7u);
        oci_del_cursor(s, &c, nullptr);

        EXPECT_EQ(oci_exec_sql(s, u"create or replace procedure p is begin null;", &msg),
                  ORARC_PLSQL_COMPILE);
        int v = 1;
        msg = u"";
        TraceCalls();
        EXPECT_EQ(
            oci_exec_sql_bind(s, u"select :X0, :X1, :X2 from dual", &msg, nullptr, nullptr, "SIX", u"a", &v),
            ORARC_BAD_BIND_ARGS);
        EXPECT_EQ(msg, u"可変引数関数の引数が正しくありません\n");
        EXPECT_EQ(g_calls, (std::vector<std::string>{":X0", ":X1"}));
        g_oci = g_real;
        EXPECT_EQ(oci_exec_sql(s, u"drop table t", &msg), ORARC_OK) << Narrow(msg);
        EXPECT_EQ(oci_exec_sql(s, u"insert into nosuch values (1)", &msg), ORARC_ORACLE_ERROR);
        EXPECT_GE(msg.Find(u"ORA-00942"), 0) << Narrow(msg);
    }
}

// A parent row its children need is neither deleted nor re-keyed, a child
// needs its parent: the layer's message names the constraint in both call
// sets, and the failing statement changes nothing.
TEST_F(ExecTest, ForeignKeysNameTheirConstraintInBothCallSets) {
    for (int oci7 : {0, 1}) {
        SCOPED_TRACE(oci7);
        OraSession* s = Session(oci7);
        ASSERT_NE(s, nullptr);
        // Every '#' names the call set.
        auto q = [oci7](std::u16string sql) {
            for (char16_t& ch : sql)
                if (ch == u'#') ch = char16_t(u'0' + oci7);
            return sql;
        };
        auto failsWith = [&](const char16_t* sql, const std::string& text) {
            CString msg;
            EXPECT_EQ(oci_exec_sql(s, q(sql).c_str(), &msg), ORARC_ORACLE_ERROR) << WideToUtf8(sql);
            const std::string name = "(SYSTEM.C" + std::to_string(oci7) + "_P)";
            EXPECT_GE(
                msg.Find(
                    Utf8ToWide(("integrity constraint " + name + " violated - " + text).c_str()).c_str()),
                0)
                << Narrow(msg);
        };
        Exec(s, q(u"create table p# (id number primary key)").c_str());
        Exec(s, q(u"create table c# (id number, p_id number constraint c#_p references p#)").c_str());
        for (const char16_t* sql :
             {u"insert into p# values (1)", u"insert into p# values (2)", u"insert into c# values (1, 1)"})
            Exec(s, q(sql).c_str());
        failsWith(u"delete from p#", "child record found");
        failsWith(u"delete from p# where id = 1", "child record found");
        failsWith(u"update p# set id = 3 where id = 1", "child record found");
        failsWith(u"insert into c# values (2, 9)", "parent key not found");
        Exec(s, q(u"delete from p# where id = 2").c_str());
        char16_t value[20];
        ASSERT_EQ(oci_sel_value(s, q(u"select count(*) || '/' || min(id) from p#").c_str(), value,
                                sizeof value, nullptr, ""),
                  ORARC_OK);
        EXPECT_EQ(std::u16string(value), u"1/1");
        ASSERT_EQ(oci_ora_rollback(s, nullptr), ORARC_OK);
    }
}

TEST_F(ExecTest, Oracle8InsertSurvivesTheSwitchAndIsCommittedByOcom) {
    OraSession* s = Logon(0);
    ASSERT_NE(s, nullptr);
    MakeRows(s, 1);
    ASSERT_EQ(oci_ora_commit(s, nullptr), ORARC_OK);
    Exec(s, u"insert into t values (2, 'two')");
    ASSERT_EQ(oci_set_api_mode(s, 1, nullptr), ORARC_OK);
    TraceCalls();
    ASSERT_EQ(oci_ora_commit(s, nullptr), ORARC_OK);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"ocom"}));
    ASSERT_EQ(oci_ora_rollback(s, nullptr), ORARC_OK);
    char16_t value[20];
    ASSERT_EQ(oci_sel_value(s, u"select count(*) from t", value, sizeof value, nullptr, ""), ORARC_OK);
    EXPECT_EQ(std::u16string(value), u"2");
}

TEST_F(ExecTest, QuickAndGatedStatementsFollowTheirSchedules) {
    for (int oci7 : {0, 1}) {
        SCOPED_TRACE(oci7);
        OraSession* s = Session(oci7);
        ASSERT_NE(s, nullptr);
        CancelState cancel{0};
        CString msg;
        // Finished on the first call: no wait at all.
        Control("nonblocking inline");
        g_waits.clear();
        ASSERT_EQ(Run(s, Q(oci7, u"insert into q# values (1)"), &cancel, &msg), ORARC_OK) << Narrow(msg);
        EXPECT_TRUE(g_waits.empty());

        Control("reset");
        Control(oci7 ? "gate oexec" : "gate OCIStmtExecute");
        g_waits.clear();
        g_on_wait = [](DWORD) {
            if (g_waits.size() == 52) OpenGate();
        };
        ASSERT_EQ(Run(s, Q(oci7, u"insert into q# values (2)"), &cancel, &msg), ORARC_OK) << Narrow(msg);
        ExpectSchedule(5, 505);

        // The first batch of a select: Oracle 8 polls the fetch on its own
        // schedule, Oracle 7 executes and fetches in one polled call.
        Control("reset");
        Control("nonblocking inline");
        Control(oci7 ? "gate oexfet" : "gate OCIStmtFetch2");
        g_waits.clear();
        static int gate_at;
        gate_at = oci7 ? 52 : 51;
        g_on_wait = [](DWORD) {
            if (int(g_waits.size()) == gate_at) OpenGate();
        };
        OraDataset ds{};
        ASSERT_EQ(oci_sel_dataset_with_cancel(s, &ds, Q(oci7, u"select a from q#").c_str(), 100, &msg,
                                              nullptr, &cancel, ""),
                  ORARC_OK)
            << Narrow(msg);
        EXPECT_EQ(ds.row_count, 2);
        oci_free_dataset(&ds);
        oci7 ? ExpectSchedule(5, 505) : ExpectSchedule(10, 500);
        g_on_wait = nullptr;
        ASSERT_EQ(oci_ora_commit(s, nullptr), ORARC_OK);
    }
}

TEST_F(ExecTest, PauseWaitsInHalfSecondStepsAndCompletes) {
    for (int oci7 : {0, 1}) {
        SCOPED_TRACE(oci7);
        OraSession* s = Session(oci7);
        ASSERT_NE(s, nullptr);
        static CancelState cancel;
        cancel = 2;
        Control(oci7 ? "gate oexec" : "gate OCIStmtExecute");
        g_waits.clear();
        g_on_wait = [](DWORD) {
            if (g_waits.size() == 6) {
                cancel = 0;
                OpenGate();
            }
        };
        TraceCalls();
        CString msg;
        ASSERT_EQ(Run(s, Q(oci7, u"insert into q# values (1)"), &cancel, &msg), ORARC_OK) << Narrow(msg);
        g_on_wait = nullptr;
        ASSERT_GE(g_waits.size(), 7u);
        EXPECT_EQ(std::vector<DWORD>(g_waits.begin(), g_waits.begin() + 7),
                  (std::vector<DWORD>{500, 500, 500, 500, 500, 500, 5}));
        EXPECT_EQ(Calls("OCIBreak") + Calls("obreak"), 0); // nothing was broken
        g_oci = g_real;
        char16_t value[20];
        ASSERT_EQ(
            oci_sel_value(s, Q(oci7, u"select count(*) from q#").c_str(), value, sizeof value, &msg, ""),
            ORARC_OK);
        EXPECT_EQ(std::u16string(value), u"1");
        ASSERT_EQ(oci_ora_commit(s, nullptr), ORARC_OK);
    }
}

TEST_F(ExecTest, CancelBreaksResetsAndTheSessionGoesOn) {
    for (int oci7 : {0, 1}) {
        SCOPED_TRACE(oci7);
        Control("reset");
        OraSession* s = Logon(oci7);
        ASSERT_NE(s, nullptr);
        TraceCalls();
        static CancelState cancel;
        cancel = 0;
        Control(oci7 ? "gate oexec" : "gate OCIStmtExecute");
        g_waits.clear();
        g_on_wait = [](DWORD) {
            if (g_waits.size() == 3) cancel = 1;
        };
        CString msg;
        EXPECT_EQ(Run(s, u"create table c (a number)", &cancel, &msg), ORARC_CANCELLED);
        EXPECT_EQ(msg, u"キャンセルしました\n");
        // One break, then the session is reset (Oracle 8) or leaves
        // non-blocking mode (Oracle 7).
        EXPECT_EQ(g_calls, (oci7 ? std::vector<std::string>{"onbset", "obreak", "onbclr"}
                                 : std::vector<std::string>{"OCIBreak", "OCIReset"}));
        g_on_wait = nullptr;
        Control("reset");
        g_oci = g_real;
        char16_t value[20];
        EXPECT_EQ(oci_sel_value(s, u"select 1 from dual", value, sizeof value, &msg, ""), ORARC_OK)
            << Narrow(msg);
    }
}

TEST_F(Layer2Test, ArrayInsertStopsAtTheNullInANotNullColumn) {
    OraSession* s = Logon(0);
    ASSERT_NE(s, nullptr);
    Exec(s, u"create table ad (a number(5), b varchar2(10) not null)");
    OraTableDef def{};
    CString msg;
    ASSERT_EQ(oci_get_table_def(s, &def, u"ad", &msg), ORARC_OK) << Narrow(msg);
    OraCursor c{};
    c.col_count = 2;
    ASSERT_EQ(oci_alloc_col_desc(&c, &msg), ORARC_OK);
    std::strcpy(c.desc[0].name, "A");
    std::strcpy(c.desc[1].name, "B");
    ASSERT_EQ(oci_cre_array_dml_cursor(s, &c, &def, u"insert into ad values (:X0, :X1)", &msg), ORARC_OK)
        << Narrow(msg);
    for (int r = 0; r < 5; ++r) {
        std::snprintf(c.data[0] + r * c.desc[0].buffer_size, size_t(c.desc[0].buffer_size), "%d", r);
        std::snprintf(c.data[1] + r * c.desc[1].buffer_size, size_t(c.desc[1].buffer_size), "v%d", r);
        c.ind[0][r] = 0;
        c.ind[1][r] = r == 2 ? -1 : 0;
    }
    EXPECT_EQ(oci8_exec_non_block_cursor(s, &c, &msg, nullptr, 0, 5), ORARC_ORACLE_ERROR);
    EXPECT_GE(msg.Find(u"ORA-01400"), 0) << Narrow(msg);
    EXPECT_EQ(ora_cda_rows(&c), 2u);
    oci_del_cursor(s, &c, nullptr);
    free(def.columns);
}

} // namespace
} // namespace oratest
