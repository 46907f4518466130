// Non-blocking calls, gates and breaks in both call sets.
#include "oci_fixture.h"

#include <cstring>
#include <thread>

using namespace ocitest;

namespace {

class NonBlockingTest : public OciTest {
protected:
    void SetUp() override {
        OciTest::SetUp();
        s = std::make_unique<Session8>(api);
        ASSERT_EQ(s->logon("system", "manager"), 0) << s->errorText();
        ASSERT_EQ(s->exec("create table t (id number(4) primary key, name varchar2(10))"), 0);
        for (int i = 1; i <= 20; ++i)
            ASSERT_EQ(s->exec("insert into t values (:X0, 'n')", {std::to_string(i)}), 0) << s->errorText();
        ASSERT_EQ(s->exec("commit"), 0);
        ub1 on = 1;
        ASSERT_EQ(api.OCIAttrSet(s->srv, OCI_HTYPE_SERVER, &on, 1, OCI_ATTR_NONBLOCKING_MODE, s->err), 0);
        api.OCIHandleAlloc(s->env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    }
    void TearDown() override {
        api.OCIHandleFree(st, OCI_HTYPE_STMT);
        s.reset();
        OciTest::TearDown();
    }
    void prepare(const char* sql) {
        api.OCIStmtPrepare(st, s->err, reinterpret_cast<const OraText*>(sql), ub4(std::strlen(sql)), 1, 0);
    }
    sword execute() { return api.OCIStmtExecute(s->svc, st, s->err, 1, 0, nullptr, nullptr, 0); }
    // Polls until the call completes; the gate, not time, decides when.
    sword finish() {
        sword r;
        while ((r = execute()) == OCI_STILL_EXECUTING) std::this_thread::yield();
        return r;
    }
    void blocking() {
        ub1 off = 0;
        api.OCIAttrSet(s->srv, OCI_HTYPE_SERVER, &off, 1, OCI_ATTR_NONBLOCKING_MODE, s->err);
    }
    std::unique_ptr<Session8> s;
    OCIStmt* st = nullptr;
};

} // namespace

TEST_F(NonBlockingTest, GatedCallRunsAfterTheGateOpens) {
    ASSERT_EQ(api.ctl("gate OCIStmtExecute"), "ok");
    prepare("update t set name = 'x' where id = 1");
    EXPECT_EQ(execute(), OCI_STILL_EXECUTING);
    ASSERT_EQ(api.ctl("gate_wait 5000"), "ok");
    EXPECT_EQ(execute(), OCI_STILL_EXECUTING);
    EXPECT_EQ(api.OCITransCommit(s->svc, s->err, 0), -1) << "other calls wait for the pending one";
    EXPECT_EQ(s->errorCode(), 3127);
    ASSERT_EQ(api.ctl("gate_open"), "ok");
    EXPECT_EQ(finish(), 0);
    ub4 count = 0;
    api.OCIAttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, s->err);
    EXPECT_EQ(count, 1u);
    // Inline mode completes an ungated call at once.
    ASSERT_EQ(api.ctl("nonblocking inline"), "ok");
    EXPECT_EQ(execute(), 0);
}

TEST_F(NonBlockingTest, BreakWhileGatedEndsTheCall) {
    ASSERT_EQ(api.ctl("gate OCIStmtExecute"), "ok");
    prepare("select count(*) from t");
    EXPECT_EQ(execute(), OCI_STILL_EXECUTING);
    ASSERT_EQ(api.ctl("gate_wait 5000"), "ok");
    EXPECT_EQ(api.OCIBreak(s->svc, s->err), 0);
    EXPECT_EQ(finish(), -1);
    EXPECT_EQ(s->errorCode(), 1013);
    EXPECT_EQ(api.OCIReset(s->svc, s->err), 0);
    blocking();
    EXPECT_EQ(s->value("select count(*) from t"), "20");
}

TEST_F(NonBlockingTest, BreakInAnUpdateUndoesOnlyThatStatement) {
    blocking();
    ASSERT_EQ(s->exec("savepoint tavex_p1"), 0);
    ASSERT_EQ(s->exec("delete from t where id = 20"), 0);
    ub1 on = 1;
    api.OCIAttrSet(s->srv, OCI_HTYPE_SERVER, &on, 1, OCI_ATTR_NONBLOCKING_MODE, s->err);
    ASSERT_EQ(api.ctl("gate OCIStmtExecute 1 row 10"), "ok");
    prepare("update t set name = 'z'");
    EXPECT_EQ(execute(), OCI_STILL_EXECUTING);
    ASSERT_EQ(api.ctl("gate_wait 5000"), "ok");
    EXPECT_EQ(api.OCIBreak(s->svc, s->err), 0);
    EXPECT_EQ(finish(), -1);
    EXPECT_EQ(s->errorCode(), 1013);
    api.OCIReset(s->svc, s->err);
    blocking();
    EXPECT_EQ(s->value("select count(*) from t where name = 'z'"), "0");
    EXPECT_EQ(s->value("select count(*) from t"), "19");
    ASSERT_EQ(s->exec("rollback to tavex_p1"), 0) << s->errorText();
    EXPECT_EQ(s->value("select count(*) from t"), "20");
}

TEST_F(NonBlockingTest, OracleSevenCallsPollAndBreak) {
    blocking();
    Lda_Def lda{};
    ASSERT_EQ(api.OCISvcCtxToLda(s->svc, s->err, &lda), 0);
    Cda_Def cda{};
    ASSERT_EQ(api.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    api.oparse(&cda, reinterpret_cast<OraText*>(const_cast<char*>("update t set name = 'q'")), -1, 1, 1);
    ASSERT_EQ(api.onbset(&lda), 0);
    ASSERT_EQ(api.ctl("gate oexec"), "ok");
    EXPECT_EQ(api.oexec(&cda), OCI_STILL_EXECUTING);
    ASSERT_EQ(api.ctl("gate_wait 5000"), "ok");
    EXPECT_EQ(api.obreak(&lda), 0);
    EXPECT_EQ(lda.rc, 1013);
    EXPECT_EQ(cda.rc, 1013);
    EXPECT_EQ(api.onbclr(&lda), 0);
    EXPECT_EQ(api.oexec(&cda), 0);
    EXPECT_EQ(cda.rpc, 20u);
    api.oclose(&cda);
}

TEST_F(NonBlockingTest, AfterAnOracleSevenBreakTheSessionGoesOn) {
    blocking();
    ASSERT_EQ(s->exec("savepoint tavex_p1"), 0);
    ASSERT_EQ(s->exec("delete from t where id = 20"), 0);
    Lda_Def lda{};
    ASSERT_EQ(api.OCISvcCtxToLda(s->svc, s->err, &lda), 0);
    Cda_Def cda{};
    ASSERT_EQ(api.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    api.oparse(&cda, reinterpret_cast<OraText*>(const_cast<char*>("update t set name = 'q'")), -1, 1, 1);
    ASSERT_EQ(api.onbset(&lda), 0);
    ASSERT_EQ(api.ctl("gate oexec 1 row 5"), "ok");
    EXPECT_EQ(api.oexec(&cda), OCI_STILL_EXECUTING);
    ASSERT_EQ(api.ctl("gate_wait 5000"), "ok");
    EXPECT_EQ(api.obreak(&lda), 0);
    EXPECT_EQ(lda.rc, 1013);
    EXPECT_EQ(cda.rc, 1013);
    ASSERT_EQ(api.onbclr(&lda), 0);
    // Another cursor on the same session, then the broken cursor itself.
    Cda_Def other{};
    ASSERT_EQ(api.oopen(&other, &lda, nullptr, -1, -1, nullptr, -1), 0);
    api.oparse(&other, reinterpret_cast<OraText*>(const_cast<char*>("delete from t where id = 19")), -1, 1,
               1);
    EXPECT_EQ(api.oexec(&other), 0) << other.rc;
    EXPECT_EQ(other.rpc, 1u);
    api.oclose(&other);
    EXPECT_EQ(s->value("select count(*) from t where name = 'q'"), "0");
    api.oparse(&cda, reinterpret_cast<OraText*>(const_cast<char*>("update t set name = 'r'")), -1, 1, 1);
    EXPECT_EQ(api.oexec(&cda), 0) << cda.rc;
    EXPECT_EQ(cda.rpc, 18u);
    api.oclose(&cda);
    ASSERT_EQ(s->exec("rollback to tavex_p1"), 0) << s->errorText();
    EXPECT_EQ(s->value("select count(*) from t"), "20");
    EXPECT_EQ(s->value("select count(*) from t where name = 'n'"), "20");
}

// An ungated array execution answers on its first call when it finishes
// within the first-answer time, else after polls: either way it reports the
// same rows, the failing iteration, and then runs again with new values in
// the same cursor. Each way is forced: a first-answer time of 0 polls every
// call, one of ten minutes answers every one of these at once.
TEST_F(NonBlockingTest, ArrayExecutionAnswersAlikeWhetherPolledOrNot) {
    ub1 on = 1;
    std::vector<char> ids(5 * 5, '\0'), names(5 * 11, '\0');
    auto fill = [&](int first) {
        for (int i = 0; i < 5; ++i) {
            std::string id = std::to_string(first + i), name = "a" + id;
            std::memcpy(&ids[size_t(i) * 5], id.c_str(), id.size() + 1);
            std::memcpy(&names[size_t(i) * 11], name.c_str(), name.size() + 1);
        }
    };
    prepare("insert into t values (:X0, :X1)");
    OCIBind* b0 = nullptr;
    OCIBind* b1 = nullptr;
    api.OCIBindByName(st, &b0, s->err, reinterpret_cast<const OraText*>(":X0"), 3, ids.data(), 5, SQLT_STR,
                      nullptr, nullptr, nullptr, 0, nullptr, 0);
    api.OCIBindByName(st, &b1, s->err, reinterpret_cast<const OraText*>(":X1"), 3, names.data(), 11, SQLT_STR,
                      nullptr, nullptr, nullptr, 0, nullptr, 0);
    // Each execution: its result, error, row count and whether it was polled.
    std::vector<std::string> outcomes;
    auto run = [&] {
        sword r = api.OCIStmtExecute(s->svc, st, s->err, 5, 0, nullptr, nullptr, 0);
        const bool polled = r == OCI_STILL_EXECUTING;
        while (r == OCI_STILL_EXECUTING) {
            std::this_thread::yield();
            r = api.OCIStmtExecute(s->svc, st, s->err, 5, 0, nullptr, nullptr, 0);
        }
        ub4 count = 0;
        api.OCIAttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, s->err);
        outcomes.push_back(std::to_string(r) + " " + std::to_string(r ? s->errorCode() : 0) + " " +
                           std::to_string(count));
        return polled;
    };
    std::vector<std::string> alike;
    for (const char* firstAnswer : {"first_answer 0", "first_answer 600000"}) {
        SCOPED_TRACE(firstAnswer);
        const bool polled = std::string(firstAnswer) == "first_answer 0";
        blocking();
        ASSERT_EQ(s->exec("savepoint tavex_p1"), 0);
        api.OCIAttrSet(s->srv, OCI_HTYPE_SERVER, &on, 1, OCI_ATTR_NONBLOCKING_MODE, s->err);
        ASSERT_EQ(api.ctl(firstAnswer), "ok");
        outcomes.clear();
        fill(101);
        EXPECT_EQ(run(), polled);
        // The fourth row's key is taken: iterations 0-2 stay, the error names it.
        fill(201);
        std::memcpy(&ids[3 * 5], "101", 4);
        EXPECT_EQ(run(), polled);
        ASSERT_EQ(api.ctl("fail_iteration 1 1013"), "ok");
        fill(301);
        EXPECT_EQ(run(), polled);
        fill(401);
        EXPECT_EQ(run(), polled);
        EXPECT_EQ(outcomes, (std::vector<std::string>{"0 0 5", "-1 1 3", "-1 1013 1", "0 0 5"}));
        blocking();
        EXPECT_EQ(s->value("select count(*) from t where id > 100"), "14");
        EXPECT_EQ(s->value("select name from t where id = 404"), "a404");
        ASSERT_EQ(s->exec("rollback to tavex_p1"), 0) << s->errorText();
        EXPECT_EQ(s->value("select count(*) from t"), "20");
    }
}
