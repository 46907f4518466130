// Execution: results of DML, DDL and binds, the polling schedule, pause and
// cancel, in both call sets.
#include <cstring>

#include "layer2_fixture.h"

namespace layer2 {
namespace {

// Client calls of interest in the order made, with bind names.
std::vector<std::string> g_trace;

void TraceCalls() {
    g_trace.clear();
    g_oci.OCIBindByName = [](OCIStmt* st, OCIBind** b, OCIError* e, const OraText* name, sb4 len, dvoid* v,
                             sb4 size, ub2 type, dvoid* ind, ub2* alen, ub2* rc, ub4 max, ub4* cur,
                             ub4 mode) {
        g_trace.emplace_back(reinterpret_cast<const char*>(name), size_t(len));
        return g_real.OCIBindByName(st, b, e, name, len, v, size, type, ind, alen, rc, max, cur, mode);
    };
    g_oci.obndra = [](Cda_Def* c, OraText* name, sword len, ub1* v, sword size, sword type, sword scale,
                      sb2* ind, ub2* alen, ub2* rc, ub4 max, ub4* cur, OraText* fmt, sword fmtl, sword fmtt) {
        const char* n = reinterpret_cast<const char*>(name);
        g_trace.emplace_back(n, len < 0 ? std::strlen(n) : size_t(len));
        return g_real.obndra(c, name, len, v, size, type, scale, ind, alen, rc, max, cur, fmt, fmtl, fmtt);
    };
    g_oci.OCIBreak = [](dvoid* h, OCIError* e) {
        g_trace.push_back("OCIBreak");
        return g_real.OCIBreak(h, e);
    };
    g_oci.OCIReset = [](dvoid* h, OCIError* e) {
        g_trace.push_back("OCIReset");
        return g_real.OCIReset(h, e);
    };
    g_oci.obreak = [](Lda_Def* lda) {
        g_trace.push_back("obreak");
        return g_real.obreak(lda);
    };
    g_oci.onbset = [](Lda_Def* lda) {
        g_trace.push_back("onbset");
        return g_real.onbset(lda);
    };
    g_oci.onbclr = [](Lda_Def* lda) {
        g_trace.push_back("onbclr");
        return g_real.onbclr(lda);
    };
    g_oci.ocom = [](Lda_Def* lda) {
        g_trace.push_back("ocom");
        return g_real.ocom(lda);
    };
}

std::vector<DWORD> Schedule(int first, int last) {
    std::vector<DWORD> v;
    for (int w = first; w < 500; w += 10) v.push_back(DWORD(w));
    v.push_back(DWORD(last));
    v.push_back(DWORD(last));
    return v;
}

// The recorded waits begin with the expected schedule and continue only
// with its last value.
void ExpectSchedule(const std::vector<DWORD>& expected) {
    ASSERT_GE(g_waits.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(g_waits[i], expected[i]) << i;
    for (size_t i = expected.size(); i < g_waits.size(); ++i) ASSERT_EQ(g_waits[i], expected.back()) << i;
}

using ExecTest = Layer2Test;

// Opens the gate once the call has parked there.
void OpenGate() {
    Layer2Test::Control("gate_wait 5000");
    Layer2Test::Control("gate_open");
}

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
        EXPECT_EQ(g_trace, (std::vector<std::string>{":X0", ":X1"}));
        g_oci = g_real;
        EXPECT_EQ(oci_exec_sql(s, u"drop table t", &msg), ORARC_OK) << Narrow(msg);
        EXPECT_EQ(oci_exec_sql(s, u"insert into nosuch values (1)", &msg), ORARC_ORACLE_ERROR);
        EXPECT_GE(msg.Find(u"ORA-00942"), 0) << Narrow(msg);
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
    EXPECT_EQ(g_trace, (std::vector<std::string>{"ocom"}));
    ASSERT_EQ(oci_ora_rollback(s, nullptr), ORARC_OK);
    char16_t value[20];
    ASSERT_EQ(oci_sel_value(s, u"select count(*) from t", value, sizeof value, nullptr, ""), ORARC_OK);
    EXPECT_EQ(std::u16string(value), u"2");
}

TEST_F(ExecTest, QuickStatementReturnsWithoutAWait) {
    for (int oci7 : {0, 1}) {
        SCOPED_TRACE(oci7);
        Control("reset");
        Control("nonblocking inline");
        CancelState cancel{0};
        OraSession* s = Logon(oci7);
        ASSERT_NE(s, nullptr);
        g_waits.clear();
        CString msg;
        ASSERT_EQ(oci_exec_sql_bind(s, oci7 ? u"create table q7 (a number)" : u"create table q (a number)",
                                    &msg, nullptr, &cancel, ""),
                  ORARC_OK)
            << Narrow(msg);
        EXPECT_TRUE(g_waits.empty());
    }
}

TEST_F(ExecTest, GatedExecuteAndFetchFollowTheirSchedules) {
    for (int oci7 : {0, 1}) {
        SCOPED_TRACE(oci7);
        Control("reset");
        OraSession* s = Logon(oci7);
        ASSERT_NE(s, nullptr);
        Exec(s, oci7 ? u"create table q7 (a number)" : u"create table q (a number)");
        CancelState cancel{0};
        Control(oci7 ? "gate oexec" : "gate OCIStmtExecute");
        g_waits.clear();
        g_on_wait = [](DWORD) {
            if (g_waits.size() == 52) OpenGate();
        };
        CString msg;
        ASSERT_EQ(oci_exec_sql_bind(s, oci7 ? u"insert into q7 values (1)" : u"insert into q values (1)",
                                    &msg, nullptr, &cancel, ""),
                  ORARC_OK)
            << Narrow(msg);
        ExpectSchedule(Schedule(5, 505));

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
        ASSERT_EQ(oci_sel_dataset_with_cancel(s, &ds, oci7 ? u"select a from q7" : u"select a from q", 100,
                                              &msg, nullptr, &cancel, ""),
                  ORARC_OK)
            << Narrow(msg);
        EXPECT_EQ(ds.row_count, 1);
        oci_free_dataset(&ds);
        ExpectSchedule(oci7 ? Schedule(5, 505) : Schedule(10, 500));
        g_on_wait = nullptr;
        ASSERT_EQ(oci_ora_commit(s, nullptr), ORARC_OK);
    }
}

TEST_F(ExecTest, PauseWaitsInHalfSecondStepsAndCompletes) {
    for (int oci7 : {0, 1}) {
        SCOPED_TRACE(oci7);
        Control("reset");
        OraSession* s = Logon(oci7);
        ASSERT_NE(s, nullptr);
        Exec(s, oci7 ? u"create table q7 (a number)" : u"create table q (a number)");
        static CancelState cancel{2};
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
        ASSERT_EQ(oci_exec_sql_bind(s, oci7 ? u"insert into q7 values (1)" : u"insert into q values (1)",
                                    &msg, nullptr, &cancel, ""),
                  ORARC_OK)
            << Narrow(msg);
        g_on_wait = nullptr;
        ASSERT_GE(g_waits.size(), 7u);
        for (int i = 0; i < 6; ++i) EXPECT_EQ(g_waits[i], 500u);
        EXPECT_EQ(g_waits[6], 5u);
        // Nothing was broken.
        for (const std::string& call : g_trace) EXPECT_TRUE(call != "OCIBreak" && call != "obreak") << call;
        g_oci = g_real;
        char16_t value[20];
        ASSERT_EQ(oci_sel_value(s, oci7 ? u"select count(*) from q7" : u"select count(*) from q", value,
                                sizeof value, &msg, ""),
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
        static CancelState cancel{0};
        cancel = 0;
        Control(oci7 ? "gate oexec" : "gate OCIStmtExecute");
        g_waits.clear();
        g_on_wait = [](DWORD) {
            if (g_waits.size() == 3) cancel = 1;
        };
        CString msg;
        EXPECT_EQ(oci_exec_sql_bind(s, u"create table c (a number)", &msg, nullptr, &cancel, ""),
                  ORARC_CANCELLED);
        EXPECT_EQ(msg, u"キャンセルしました\n");
        // One break, then the session is reset (Oracle 8) or leaves
        // non-blocking mode (Oracle 7).
        if (oci7)
            EXPECT_EQ(g_trace, (std::vector<std::string>{"onbset", "obreak", "onbclr"}));
        else
            EXPECT_EQ(g_trace, (std::vector<std::string>{"OCIBreak", "OCIReset"}));
        g_on_wait = nullptr;
        Control("reset");
        g_oci = g_real;
        char16_t value[20];
        EXPECT_EQ(oci_sel_value(s, u"select 1 from dual", value, sizeof value, &msg, ""), ORARC_OK)
            << Narrow(msg);
    }
}

} // namespace
} // namespace layer2

namespace layer2 {
namespace {

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
} // namespace layer2
