// Statements through both call sets: binds, array DML, fetch rules, describe.
#include "oci_fixture.h"

#include <cstring>

using namespace ocitest;

namespace {

class StatementTest : public SystemSessionTest {
protected:
    void fill(int rows) {
        ASSERT_EQ(s->exec("create table big (id number(10) primary key, name varchar2(20))"), 0)
            << s->errorText();
        std::vector<std::string> ids, names;
        std::vector<char> idBuf(size_t(rows) * 12), nameBuf(size_t(rows) * 21);
        for (int i = 0; i < rows; ++i) {
            std::string id = std::to_string(i + 1), name = "name" + id;
            std::memcpy(&idBuf[size_t(i) * 12], id.c_str(), id.size() + 1);
            std::memcpy(&nameBuf[size_t(i) * 21], name.c_str(), name.size() + 1);
        }
        OCIStmt* st = nullptr;
        api.OCIHandleAlloc(s->env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
        const char* sql = "insert into big (id, name) values (:X0, :X1)";
        api.OCIStmtPrepare(st, s->err, reinterpret_cast<const OraText*>(sql), ub4(std::strlen(sql)), 1, 0);
        OCIBind *b0 = nullptr, *b1 = nullptr;
        api.OCIBindByName(st, &b0, s->err, reinterpret_cast<const OraText*>(":X0"), 3, idBuf.data(), 12,
                          SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, 0);
        api.OCIBindByName(st, &b1, s->err, reinterpret_cast<const OraText*>(":x1"), 3, nameBuf.data(), 21,
                          SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, 0);
        ASSERT_EQ(api.OCIStmtExecute(s->svc, st, s->err, ub4(rows), 0, nullptr, nullptr, 0), 0)
            << s->errorText();
        ub4 count = 0;
        api.OCIAttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, s->err);
        EXPECT_EQ(count, ub4(rows));
        api.OCIHandleFree(st, OCI_HTYPE_STMT);
        ASSERT_EQ(api.OCITransCommit(s->svc, s->err, 0), 0);
    }
};

} // namespace

TEST_F(StatementTest, ArrayFetchReturnsNoDataOnlyOnAShortBatch) {
    fill(250);
    OCIStmt* st = nullptr;
    api.OCIHandleAlloc(s->env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    const char* sql = "select id, name from big order by id";
    api.OCIStmtPrepare(st, s->err, reinterpret_cast<const OraText*>(sql), ub4(std::strlen(sql)), 1, 0);
    ASSERT_EQ(api.OCIStmtExecute(s->svc, st, s->err, 0, 0, nullptr, nullptr, 0), 0);
    std::vector<char> ids(100 * 12), names(100 * 21);
    std::vector<sb2> ind(100);
    OCIDefine *d0 = nullptr, *d1 = nullptr;
    api.OCIDefineByPos(st, &d0, s->err, 1, ids.data(), 12, SQLT_STR, ind.data(), nullptr, nullptr, 0);
    api.OCIDefineByPos(st, &d1, s->err, 2, names.data(), 21, SQLT_STR, nullptr, nullptr, nullptr, 0);
    std::vector<sword> results;
    std::vector<ub4> counts;
    for (int k = 0; k < 3; ++k) {
        results.push_back(api.OCIStmtFetch2(st, s->err, 100, OCI_FETCH_NEXT, 0, 0));
        ub4 c = 0;
        api.OCIAttrGet(st, OCI_HTYPE_STMT, &c, nullptr, OCI_ATTR_ROW_COUNT, s->err);
        counts.push_back(c);
    }
    EXPECT_EQ(results, (std::vector<sword>{0, 0, 100}));
    EXPECT_EQ(counts, (std::vector<ub4>{100, 200, 250}));
    EXPECT_STREQ(&ids[49 * 12], "250");
    EXPECT_STREQ(&names[49 * 21], "name250");
    api.OCIHandleFree(st, OCI_HTYPE_STMT);

    // The same through the Oracle 7 calls.
    Session7 s7(api);
    ASSERT_EQ(s7.logon("system", "manager"), 0);
    Cda_Def cda{};
    ASSERT_EQ(api.oopen(&cda, &s7.lda, nullptr, -1, -1, nullptr, -1), 0);
    ASSERT_EQ(api.oparse(&cda, reinterpret_cast<OraText*>(const_cast<char*>(sql)), -1, 1, 1), 0);
    api.odefin(&cda, 1, reinterpret_cast<ub1*>(ids.data()), 12, SQLT_STR, -1, ind.data(), nullptr, -1, -1,
               nullptr, nullptr);
    EXPECT_EQ(api.oexfet(&cda, 100, 0, 0), 0);
    EXPECT_EQ(cda.rpc, 100u);
    EXPECT_EQ(api.ofen(&cda, 100), 0);
    EXPECT_EQ(cda.rpc, 200u);
    EXPECT_NE(api.ofen(&cda, 100), 0);
    EXPECT_EQ(cda.rc, 1403);
    EXPECT_EQ(cda.rpc, 250u);
    EXPECT_EQ(api.oclose(&cda), 0);
}

TEST_F(StatementTest, ExactMultipleEndsWithAnEmptyBatchThenOutOfSequence) {
    fill(200);
    Session7 s7(api);
    ASSERT_EQ(s7.logon("system", "manager"), 0);
    Cda_Def cda{};
    api.oopen(&cda, &s7.lda, nullptr, -1, -1, nullptr, -1);
    api.oparse(&cda, reinterpret_cast<OraText*>(const_cast<char*>("select id from big")), -1, 1, 1);
    std::vector<char> ids(100 * 12);
    api.odefin(&cda, 1, reinterpret_cast<ub1*>(ids.data()), 12, SQLT_STR, -1, nullptr, nullptr, -1, -1,
               nullptr, nullptr);
    EXPECT_EQ(api.oexfet(&cda, 100, 0, 0), 0);
    EXPECT_EQ(api.ofen(&cda, 100), 0);
    EXPECT_NE(api.ofen(&cda, 100), 0);
    EXPECT_EQ(cda.rc, 1403);
    EXPECT_EQ(cda.rpc, 200u);
    EXPECT_NE(api.ofen(&cda, 100), 0);
    EXPECT_EQ(cda.rc, 1002);
    api.oclose(&cda);
}

TEST_F(StatementTest, NullAndTruncatedValues) {
    ASSERT_EQ(s->exec("create table t (a varchar2(40), b varchar2(40))"), 0);
    ASSERT_EQ(s->exec("insert into t (a, b) values (:X0, :X1)", {"あいうえお", ""}), 0) << s->errorText();
    OCIStmt* st = nullptr;
    api.OCIHandleAlloc(s->env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    const char* sql = "select a, b from t";
    api.OCIStmtPrepare(st, s->err, reinterpret_cast<const OraText*>(sql), ub4(std::strlen(sql)), 1, 0);
    ASSERT_EQ(api.OCIStmtExecute(s->svc, st, s->err, 0, 0, nullptr, nullptr, 0), 0);
    char a[8], b[16];
    std::memset(b, 0xA5, sizeof b);
    sb2 ia = 0, ib = 0;
    ub2 ca = 0, cb = 0;
    OCIDefine *d0 = nullptr, *d1 = nullptr;
    api.OCIDefineByPos(st, &d0, s->err, 1, a, sizeof a, SQLT_STR, &ia, nullptr, &ca, 0);
    api.OCIDefineByPos(st, &d1, s->err, 2, b, sizeof b, SQLT_STR, &ib, nullptr, &cb, 0);
    EXPECT_EQ(api.OCIStmtFetch2(st, s->err, 1, OCI_FETCH_NEXT, 0, 0), 1);
    EXPECT_EQ(s->errorCode(), 24345);
    EXPECT_STREQ(a, "あい");
    EXPECT_EQ(ia, 15);
    EXPECT_EQ(ca, 1406);
    EXPECT_EQ(ib, -1);
    EXPECT_EQ(cb, 1405);
    for (unsigned char c : b) EXPECT_EQ(c, 0xA5);
    EXPECT_EQ(api.OCIStmtFetch2(st, s->err, 1, OCI_FETCH_NEXT, 0, 0), 100);
    api.OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(StatementTest, MissingTableOffsetInCallerBytes) {
    EXPECT_EQ(s->exec("select * from nosuch where x = 1"), -1);
    EXPECT_EQ(s->errorCode(), 942);
    EXPECT_EQ(s->lastOffset(), 14);
    s.reset();
    setenv("NLS_LANG", "JAPANESE_JAPAN.JA16SJISTILDE", 1);
    Session8 sj(api);
    ASSERT_EQ(sj.logon("system", "manager"), 0);
    // "select 'あい' from nosuch": the two kana are 4 bytes in CP932, 6 in UTF-8.
    std::string sql = "select '\x82\xa0\x82\xa2' from nosuch";
    EXPECT_EQ(sj.exec(sql), -1);
    EXPECT_EQ(sj.errorCode(), 942);
    EXPECT_EQ(sj.lastOffset(), 19);
}

TEST_F(StatementTest, TextsStayWithinTheirBuffers) {
    EXPECT_EQ(s->exec("select 1 from"), -1);
    EXPECT_LT(s->lastOffset(), 13) << "the offset lies inside the text";
    s.reset();
    setenv("NLS_LANG", "JAPANESE_JAPAN.JA16SJISTILDE", 1);
    Session8 sj(api);
    ASSERT_EQ(sj.logon("system", "manager"), 0);
    // The message names a column in Japanese; a 56-byte buffer cuts it at a whole character.
    ASSERT_EQ(sj.exec("create table t (\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8 varchar2(1))"), 0)
        << sj.errorText();
    EXPECT_EQ(sj.exec("insert into t values ('xx')"), -1);
    char buf[56];
    std::memset(buf, 'Z', sizeof buf);
    sb4 code = 0;
    ASSERT_EQ(
        api.OCIErrorGet(sj.err, 1, nullptr, &code, reinterpret_cast<OraText*>(buf), 56, OCI_HTYPE_ERROR), 0);
    EXPECT_EQ(code, 12899);
    size_t n = std::strlen(buf);
    EXPECT_EQ(n, 54u) << buf;
    // No half character at the end: count lead bytes from the start.
    size_t k = 0;
    while (k < n)
        k += (static_cast<unsigned char>(buf[k]) >= 0x81 && static_cast<unsigned char>(buf[k]) <= 0x9f) ? 2
                                                                                                        : 1;
    EXPECT_EQ(k, n);
}

TEST_F(StatementTest, BindsAreReadAtExecute) {
    ASSERT_EQ(s->exec("create table t (a number, b varchar2(5))"), 0);
    OCIStmt* st = nullptr;
    api.OCIHandleAlloc(s->env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    const char* sql = "insert into t (a, b) values (:v, :X1)";
    api.OCIStmtPrepare(st, s->err, reinterpret_cast<const OraText*>(sql), ub4(std::strlen(sql)), 1, 0);
    int value = 1;
    char text[6] = "";
    OCIBind *b0 = nullptr, *b1 = nullptr, *b2 = nullptr;
    ASSERT_EQ(api.OCIBindByName(st, &b0, s->err, reinterpret_cast<const OraText*>(":V"), 2, &value, 4,
                                SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0),
              0);
    EXPECT_EQ(api.OCIBindByName(st, &b2, s->err, reinterpret_cast<const OraText*>(":nosuch"), 7, &value, 4,
                                SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0),
              -1);
    EXPECT_EQ(s->errorCode(), 1036);
    EXPECT_EQ(api.OCIStmtExecute(s->svc, st, s->err, 1, 0, nullptr, nullptr, 0), -1);
    EXPECT_EQ(s->errorCode(), 1008);
    api.OCIBindByName(st, &b1, s->err, reinterpret_cast<const OraText*>(":X1"), 3, text, sizeof text,
                      SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, 0);
    value = 7;
    ASSERT_EQ(api.OCIStmtExecute(s->svc, st, s->err, 1, 0, nullptr, nullptr, 0), 0) << s->errorText();
    api.OCIHandleFree(st, OCI_HTYPE_STMT);
    EXPECT_EQ(s->value("select a from t"), "7");
    EXPECT_EQ(s->value("select b from t"), "<NULL>");
    EXPECT_EQ(s->value("select count(*) from t where b is null"), "1");
}

TEST_F(StatementTest, ArrayInsertStopsAtTheFailingRow) {
    ASSERT_EQ(s->exec("create table t (a number(5), b varchar2(10) not null, c number)"), 0);
    const int rows = 50;
    std::vector<char> a(rows * 8), b(rows * 11), c(rows * 8);
    std::vector<sb2> ib(rows, 0);
    for (int i = 0; i < rows; ++i) {
        std::string va = std::to_string(i), vb = "b" + va, vc = std::to_string(i * 2);
        std::memcpy(&a[size_t(i) * 8], va.c_str(), va.size() + 1);
        std::memcpy(&b[size_t(i) * 11], vb.c_str(), vb.size() + 1);
        std::memcpy(&c[size_t(i) * 8], vc.c_str(), vc.size() + 1);
    }
    ib[36] = -1;
    OCIStmt* st = nullptr;
    api.OCIHandleAlloc(s->env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    std::string sql = "insert into \"SYSTEM\".\"T\" (\"A\", \"B\", \"C\") \nvalues (:X0, \n:X1, \n:X2)";
    api.OCIStmtPrepare(st, s->err, reinterpret_cast<const OraText*>(sql.data()), ub4(sql.size()), 1, 0);
    OCIBind* bh[3] = {};
    api.OCIBindByName(st, &bh[0], s->err, reinterpret_cast<const OraText*>(":X0"), 3, a.data(), 8, SQLT_STR,
                      nullptr, nullptr, nullptr, 0, nullptr, 0);
    api.OCIBindByName(st, &bh[1], s->err, reinterpret_cast<const OraText*>(":X1"), 3, b.data(), 11, SQLT_STR,
                      ib.data(), nullptr, nullptr, 0, nullptr, 0);
    api.OCIBindByName(st, &bh[2], s->err, reinterpret_cast<const OraText*>(":X2"), 3, c.data(), 8, SQLT_STR,
                      nullptr, nullptr, nullptr, 0, nullptr, 0);
    EXPECT_EQ(api.OCIStmtExecute(s->svc, st, s->err, rows, 0, nullptr, nullptr, 0), -1);
    EXPECT_EQ(s->errorCode(), 1400);
    EXPECT_NE(s->errorText().find("(\"SYSTEM\".\"T\".\"B\")"), std::string::npos) << s->errorText();
    ub4 count = 0;
    ub2 offset = 0;
    api.OCIAttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, s->err);
    api.OCIAttrGet(st, OCI_HTYPE_STMT, &offset, nullptr, OCI_ATTR_PARSE_ERROR_OFFSET, s->err);
    EXPECT_EQ(count, 36u);
    // The offset lies on line 3, the second value: "line - 2" names column 1 (B).
    int line = 1;
    for (ub2 k = 0; k < offset; ++k) line += sql[k] == '\n';
    EXPECT_EQ(line, 3);
    EXPECT_EQ(sql.compare(offset, 3, ":X1"), 0);
    api.OCIHandleFree(st, OCI_HTYPE_STMT);
    EXPECT_EQ(s->value("select count(*) from t"), "36");
    EXPECT_EQ(s->value("select max(a) from t"), "35");
}

TEST_F(StatementTest, ReturningRowidFindsTheRow) {
    ASSERT_EQ(s->exec("create table t (a varchar2(10))"), 0);
    OCIStmt* st = nullptr;
    api.OCIHandleAlloc(s->env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    std::string sql = "insert into \"SYSTEM\".\"T\" (\"A\") \nvalues (:X0) \nreturning rowid into :rid";
    api.OCIStmtPrepare(st, s->err, reinterpret_cast<const OraText*>(sql.data()), ub4(sql.size()), 1, 0);
    char value[] = "hello";
    char rid[24];
    OCIBind *b0 = nullptr, *b1 = nullptr;
    api.OCIBindByName(st, &b0, s->err, reinterpret_cast<const OraText*>(":X0"), 3, value, sizeof value,
                      SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, 0);
    api.OCIBindByName(st, &b1, s->err, reinterpret_cast<const OraText*>(":rid"), 4, rid, sizeof rid, SQLT_STR,
                      nullptr, nullptr, nullptr, 0, nullptr, 0);
    ASSERT_EQ(api.OCIStmtExecute(s->svc, st, s->err, 1, 0, nullptr, nullptr, 0), 0) << s->errorText();
    EXPECT_EQ(std::strlen(rid), 18u);
    api.OCIHandleFree(st, OCI_HTYPE_STMT);
    std::vector<Row> rows;
    ASSERT_EQ(s->query("select a from \"SYSTEM\".\"T\" where \"ROWID\" = :X0", rows, {rid}), 0)
        << s->errorText();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(*rows[0][0], "hello");
    ASSERT_EQ(s->query("select a from t where rowid = :X0", rows, {rid}), 0);
    EXPECT_EQ(rows.size(), 1u);
    EXPECT_EQ(s->query("select a from t where rowid = :X0", rows, {"not-a-rowid"}), -1);
    EXPECT_EQ(s->errorCode(), 1410);

    // A row id that does not fit its buffer fails and undoes the insert.
    api.OCIHandleAlloc(s->env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    api.OCIStmtPrepare(st, s->err, reinterpret_cast<const OraText*>(sql.data()), ub4(sql.size()), 1, 0);
    char small[8];
    api.OCIBindByName(st, &b0, s->err, reinterpret_cast<const OraText*>(":X0"), 3, value, sizeof value,
                      SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, 0);
    api.OCIBindByName(st, &b1, s->err, reinterpret_cast<const OraText*>(":rid"), 4, small, sizeof small,
                      SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, 0);
    EXPECT_EQ(api.OCIStmtExecute(s->svc, st, s->err, 1, 0, nullptr, nullptr, 0), -1);
    api.OCIHandleFree(st, OCI_HTYPE_STMT);
    EXPECT_EQ(s->value("select count(*) from t"), "1");
}

TEST_F(StatementTest, UpdateCountsRowsAndNamesTheFunction) {
    fill(20);
    ASSERT_EQ(s->exec("update big set name = 'x' where id <= 7"), 0);
    ub4 count = 0;
    ub2 code = 0;
    api.OCIAttrGet(s->stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, s->err);
    api.OCIAttrGet(s->stmt, OCI_HTYPE_STMT, &code, nullptr, OCI_ATTR_SQLFNCODE, s->err);
    EXPECT_EQ(count, 7u);
    EXPECT_EQ(code, OCI_FNCODE_UPDATE);
    ASSERT_EQ(s->exec("delete from big where id > 18"), 0);
    api.OCIAttrGet(s->stmt, OCI_HTYPE_STMT, &code, nullptr, OCI_ATTR_SQLFNCODE, s->err);
    EXPECT_EQ(code, OCI_FNCODE_DELETE);
    // Oracle 7: an UPDATE through oexec sets rows processed and the function type.
    Lda_Def lda{};
    ASSERT_EQ(api.OCISvcCtxToLda(s->svc, s->err, &lda), 0);
    Cda_Def cda{};
    api.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1);
    api.oparse(&cda, reinterpret_cast<OraText*>(const_cast<char*>("update big set name = 'y' where id <= 7")),
               -1, 1, 1);
    EXPECT_EQ(api.oexec(&cda), 0);
    EXPECT_EQ(cda.rpc, 7u);
    EXPECT_EQ(cda.ft, OCI_FNCODE_UPDATE);
    api.oclose(&cda);
}

TEST_F(StatementTest, DescribeOnlyOfTheRowidQuery) {
    ASSERT_EQ(s->exec("create table t (id number(10,2) not null, name varchar2(30), price number, "
                      "code char(3), born date)"),
              0);
    const char* sql = "SELECT ROWID, A.* FROM \"SYSTEM\".\"T\" A";
    OCIStmt* st = nullptr;
    api.OCIHandleAlloc(s->env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    api.OCIStmtPrepare(st, s->err, reinterpret_cast<const OraText*>(sql), ub4(std::strlen(sql)), 1, 0);
    ASSERT_EQ(api.OCIStmtExecute(s->svc, st, s->err, 1, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY), 0)
        << s->errorText();
    ub4 n = 0;
    api.OCIAttrGet(st, OCI_HTYPE_STMT, &n, nullptr, OCI_ATTR_PARAM_COUNT, s->err);
    ASSERT_EQ(n, 6u);
    struct Want {
        const char* name;
        ub2 type, size;
        int precision, scale;
        int nullable;
    };
    const Want want[] = {{"ROWID", SQLT_RID, 10, 0, 0, 1}, {"ID", SQLT_NUM, 22, 10, 2, 0},
                         {"NAME", SQLT_CHR, 30, 0, 0, 1},  {"PRICE", SQLT_NUM, 22, 0, 129, 1},
                         {"CODE", SQLT_AFC, 3, 0, 0, 1},   {"BORN", SQLT_DAT, 7, 0, 0, 1}};
    for (ub4 i = 0; i < n; ++i) {
        void* p = nullptr;
        ASSERT_EQ(api.OCIParamGet(st, OCI_HTYPE_STMT, s->err, &p, i + 1), 0);
        ub2 type = 0, size = 0;
        sb2 precision = 0;
        sb2 scale = 0; // one byte is written: -127 reads 129
        ub1 nullable = 0;
        char* name = nullptr;
        ub4 len = 0;
        api.OCIAttrGet(p, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, s->err);
        api.OCIAttrGet(p, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, s->err);
        api.OCIAttrGet(p, OCI_DTYPE_PARAM, &name, &len, OCI_ATTR_NAME, s->err);
        api.OCIAttrGet(p, OCI_DTYPE_PARAM, &precision, nullptr, OCI_ATTR_PRECISION, s->err);
        api.OCIAttrGet(p, OCI_DTYPE_PARAM, &scale, nullptr, OCI_ATTR_SCALE, s->err);
        api.OCIAttrGet(p, OCI_DTYPE_PARAM, &nullable, nullptr, OCI_ATTR_IS_NULL, s->err);
        EXPECT_EQ(std::string(name, len), want[i].name);
        EXPECT_EQ(type, want[i].type) << want[i].name;
        EXPECT_EQ(size, want[i].size) << want[i].name;
        if (type == SQLT_NUM) {
            EXPECT_EQ(precision, want[i].precision) << want[i].name;
            EXPECT_EQ(scale, want[i].scale) << want[i].name;
        }
        EXPECT_EQ(nullable, want[i].nullable) << want[i].name;
    }
    api.OCIHandleFree(st, OCI_HTYPE_STMT);

    // Oracle 7 describe: names, and 1007 past the last column.
    Lda_Def lda{};
    api.OCISvcCtxToLda(s->svc, s->err, &lda);
    Cda_Def cda{};
    api.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1);
    api.oparse(&cda, reinterpret_cast<OraText*>(const_cast<char*>(sql)), -1, 1, 1);
    sb4 dbsize = 0, cbufl = 3, dsize = 0;
    sb2 dbtype = 0, prec = 0, scale = 0, nullok = 0;
    sb1 cbuf[8] = {};
    EXPECT_EQ(api.odescr(&cda, 3, &dbsize, &dbtype, cbuf, &cbufl, &dsize, &prec, &scale, &nullok), 0);
    EXPECT_EQ(cbufl, 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(cbuf), 3), "NAM");
    EXPECT_EQ(dbtype, SQLT_CHR);
    EXPECT_NE(api.odescr(&cda, 7, &dbsize, &dbtype, cbuf, &cbufl, &dsize, &prec, &scale, &nullok), 0);
    EXPECT_EQ(cda.rc, 1007);
    api.oclose(&cda);
}

TEST_F(StatementTest, SelectListNamesAndTypes) {
    OCIStmt* st = nullptr;
    api.OCIHandleAlloc(s->env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    const char* sql =
        "select user, 0 as mview_flg, 'X' as \"ROWID\", 'abc', nvl(null, 'q') x, 1 + 2, '' from dual \n";
    api.OCIStmtPrepare(st, s->err, reinterpret_cast<const OraText*>(sql), ub4(std::strlen(sql)), 1, 0);
    ASSERT_EQ(api.OCIStmtExecute(s->svc, st, s->err, 1, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY), 0)
        << s->errorText();
    const char* names[] = {"USER", "MVIEW_FLG", "ROWID", "'abc'", "X", "1+2", "''"};
    const ub2 types[] = {SQLT_CHR, SQLT_NUM, SQLT_AFC, SQLT_AFC, SQLT_CHR, SQLT_NUM, SQLT_CHR};
    const ub2 sizes[] = {4000, 22, 1, 3, 4000, 22, 0};
    for (ub4 i = 0; i < 7; ++i) {
        void* p = nullptr;
        ASSERT_EQ(api.OCIParamGet(st, OCI_HTYPE_STMT, s->err, &p, i + 1), 0);
        char* name = nullptr;
        ub4 len = 0;
        ub2 type = 0, size = 0;
        api.OCIAttrGet(p, OCI_DTYPE_PARAM, &name, &len, OCI_ATTR_NAME, s->err);
        api.OCIAttrGet(p, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, s->err);
        api.OCIAttrGet(p, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, s->err);
        EXPECT_EQ(std::string(name, len), names[i]);
        EXPECT_EQ(type, types[i]) << names[i];
        EXPECT_EQ(size, sizes[i]) << names[i];
    }
    api.OCIHandleFree(st, OCI_HTYPE_STMT);
}

TEST_F(StatementTest, ControlInjectsFailures) {
    ASSERT_EQ(api.ctl("fail OCIStmtExecute 1013"), "ok");
    EXPECT_EQ(s->exec("select 1 from dual"), -1);
    EXPECT_EQ(s->errorCode(), 1013);
    EXPECT_EQ(s->exec("select 1 from dual"), 0);
    ASSERT_EQ(s->exec("create table t (a number)"), 0);
    ASSERT_EQ(api.ctl("fail_iteration 2 1013"), "ok");
    std::vector<char> a(5 * 4, '\0');
    for (int i = 0; i < 5; ++i) a[size_t(i) * 4] = char('1' + i);
    OCIStmt* st = nullptr;
    api.OCIHandleAlloc(s->env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    const char* sql = "insert into t values (:X0)";
    api.OCIStmtPrepare(st, s->err, reinterpret_cast<const OraText*>(sql), ub4(std::strlen(sql)), 1, 0);
    OCIBind* b = nullptr;
    api.OCIBindByName(st, &b, s->err, reinterpret_cast<const OraText*>(":X0"), 3, a.data(), 4, SQLT_STR,
                      nullptr, nullptr, nullptr, 0, nullptr, 0);
    EXPECT_EQ(api.OCIStmtExecute(s->svc, st, s->err, 5, 0, nullptr, nullptr, 0), -1);
    ub4 count = 0;
    api.OCIAttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, s->err);
    EXPECT_EQ(count, 2u);
    api.OCIHandleFree(st, OCI_HTYPE_STMT);
    EXPECT_EQ(api.ctl("bogus"), "fail: unknown command");
}

TEST_F(StatementTest, LostSessionRollsBackAndRefusesLaterCalls) {
    ASSERT_EQ(s->exec("create table t (a number)"), 0);
    ASSERT_EQ(s->exec("insert into t values (1)"), 0);
    Session8 other(api);
    ASSERT_EQ(other.logon("system", "manager"), 0);
    ASSERT_EQ(api.ctl("lose_session OCIStmtExecute after 1"), "ok");
    EXPECT_EQ(other.exec("select 1 from dual"), 0); // the other session's call is let through
    EXPECT_EQ(s->exec("insert into t values (2)"), -1);
    EXPECT_EQ(s->errorCode(), 3113);
    EXPECT_EQ(s->exec("select 1 from dual"), -1);
    EXPECT_EQ(s->errorCode(), 3114);
    EXPECT_EQ(api.OCITransCommit(s->svc, s->err, 0), -1);
    EXPECT_EQ(s->errorCode(), 3114);
    // Rolled back and unlocked: the other session writes at once.
    EXPECT_EQ(other.value("select count(*) from t"), "0");
    EXPECT_EQ(other.exec("insert into t values (3)"), 0) << other.errorText();
    EXPECT_EQ(other.exec("commit"), 0);
    // A fresh logon works.
    Session8 fresh(api);
    ASSERT_EQ(fresh.logon("system", "manager"), 0);
    EXPECT_EQ(fresh.value("select count(*) from t"), "1");

    // Oracle 7: the loss at ocom, then every cursor call of that logon gives 3114.
    Session7 s7(api);
    ASSERT_EQ(s7.logon("system", "manager"), 0);
    Cda_Def cda{};
    api.oopen(&cda, &s7.lda, nullptr, -1, -1, nullptr, -1);
    const char* sql = "insert into t values (4)";
    ASSERT_EQ(api.oparse(&cda, reinterpret_cast<OraText*>(const_cast<char*>(sql)), -1, 1, 1), 0);
    ASSERT_EQ(api.oexec(&cda), 0);
    ASSERT_EQ(api.ctl("lose_session ocom"), "ok");
    EXPECT_NE(api.ocom(&s7.lda), 0);
    EXPECT_EQ(s7.lda.rc, 3113);
    EXPECT_NE(api.oexec(&cda), 0);
    EXPECT_EQ(cda.rc, 3114);
    EXPECT_NE(api.orol(&s7.lda), 0);
    EXPECT_EQ(s7.lda.rc, 3114);
    api.oclose(&cda);
    EXPECT_EQ(fresh.value("select count(*) from t"), "1");
    EXPECT_EQ(api.ctl("lose_session"), "fail: lose_session <entry point> [after <n>]");
}
