// Saving the model's edits: the statements sent, what the table holds
// afterwards, the value checks and the driver on its worker thread.
#include <algorithm>
#include <fstream>

#include "oracle/oci_lob.h"

#include "tests/grid/ora/ora_fixture.h"
#include "tests/grid/ora/progress_window.h"

namespace oratest {
namespace {

class SaveTest : public OraGridTest {
public:
    std::vector<std::string> statements;
    // Records every statement prepared, in both call sets.
    void RecordStatements() {
        statements.clear();
        TAP(OCIStmtPrepare) = [this](OCIStmt*, OCIError*, const OraText* text, ub4 len, ub4, ub4) {
            statements.emplace_back(reinterpret_cast<const char*>(text), len);
        };
        TAP(oparse) = [this](Cda_Def*, OraText* text, sb4 len, sword, ub4) {
            statements.push_back(len < 0 ? std::string(reinterpret_cast<const char*>(text))
                                         : std::string(reinterpret_cast<const char*>(text), size_t(len)));
        };
    }
    int Save(CString* msg, int* cell, HWND window = nullptr, CancelState* cancel = nullptr) {
        return grid->SaveChanges(s, cell, msg, window, cancel);
    }
    // The statements that change data or transactions, in order.
    std::vector<std::string> Dml() const {
        std::vector<std::string> out;
        for (auto& st : statements) {
            std::string head = st.substr(0, 6);
            if (head == "insert" || head == "update" || head == "delete" || head == "savepo" ||
                head == "rollba")
                out.push_back(st);
        }
        return out;
    }
    // A heap table of three rows.
    void MakeHeap() {
        Exec(s, u"create table h (id number(10) not null, name varchar2(10), qty number)");
        Exec(s, u"insert into h values (1, 'one', 10)");
        Exec(s, u"insert into h values (2, 'two', 20)");
        Exec(s, u"insert into h values (3, 'three', 30)");
        Exec(s, u"commit");
    }
    CEditableOraGridData* BindHeap() {
        return Bind(Query(u"H", {u"ID", u"NAME", u"QTY"}, {}, u"order by a.\"ID\""), u"H");
    }
    void MakeIot() {
        Exec(s, u"create table io (k1 number, k2 varchar2(10), v varchar2(10), primary key (k1, k2)) "
                u"organization index");
        Exec(s, u"insert into io values (1, 'a', 'x')");
        Exec(s, u"insert into io values (2, 'b', 'y')");
        Exec(s, u"commit");
    }
    CEditableOraGridData* BindIot() {
        return Bind(Query(u"IO", {u"K1", u"K2", u"V"}, {u"K1", u"K2"}, u"order by a.\"K1\""), u"IO");
    }
};

TEST_F(SaveTest, GoldenStatementsOfARowidTable) {
    for (int oci7 : {0, 1}) {
        SCOPED_TRACE(oci7);
        if (oci7) {
            Exec(s, u"drop table h");
            LogonAs(1);
        }
        MakeHeap();
        CEditableOraGridData* g = BindHeap();
        g->DeleteRows(0, 0);
        Set(1, 1, u"TWO");
        Set(1, 2, u"21");
        ASSERT_EQ(g->InsertRows(2, 1), 0);
        Set(3, 0, u"4");
        Set(3, 1, u"four");
        RecordStatements();
        CString msg;
        int cell[2];
        ASSERT_EQ(Save(&msg, cell), ORARC_OK) << Narrow(msg);
        EXPECT_EQ(Narrow(msg), "編集結果を保存しました。\n    delete: 1\n    insert 1\n    update 1");
        std::vector<std::string> want = {
            "savepoint tavex_p1",
            "delete from \"SYSTEM\".\"H\" \nwhere \"ROWID\" = :X0 \n",
            "update \"SYSTEM\".\"H\" \nset \"NAME\" = :X0 \nwhere \"ROWID\" = :X1 \n",
            "update \"SYSTEM\".\"H\" \nset \"QTY\" = :X0 \nwhere \"ROWID\" = :X1 \n",
            "insert into \"SYSTEM\".\"H\" (\"ID\", \"NAME\", \"QTY\") \nvalues (:X0, \n:X1, \n:X2)",
        };
        EXPECT_EQ(Dml(), want);
        g_oci = g_real;
        EXPECT_EQ(Rows(s, u"select id, name, qty from h order by id"), "2|TWO|21\n3|three|30\n4|four|\n");
    }
}

TEST_F(SaveTest, GoldenStatementsOfAnIndexOrganisedTable) {
    MakeIot();
    CEditableOraGridData* g = BindIot();
    // Both key columns and the third column of one row.
    Set(0, 0, u"10");
    Set(0, 1, u"aa");
    Set(0, 2, u"xx");
    g->DeleteRows(1, 1);
    RecordStatements();
    CString msg;
    int cell[2];
    ASSERT_EQ(Save(&msg, cell), ORARC_OK) << Narrow(msg);
    std::vector<std::string> want = {
        "savepoint tavex_p1",
        "delete from \"SYSTEM\".\"IO\" \nwhere \"K1\" = :X0 \nand \"K2\" = :X1 \n",
        "update \"SYSTEM\".\"IO\" \nset \"V\" = :X0 \nwhere \"K1\" = :X1 \nand \"K2\" = :X2 \n",
        "update \"SYSTEM\".\"IO\" \nset \"K1\" = :X0 \nwhere \"K1\" = :X1 \nand \"K2\" = :X2 \n",
        "update \"SYSTEM\".\"IO\" \nset \"K2\" = :X0 \nwhere \"K1\" = :X1 \nand \"K2\" = :X2 \n",
    };
    EXPECT_EQ(Dml(), want);
    g_oci = g_real;
    EXPECT_EQ(Rows(s, u"select k1, k2, v from io order by k1"), "10|aa|xx\n");
}

TEST_F(SaveTest, RowByRowInsertAndLobStatements) {
    Exec(s, (u"create or replace directory DEMO_DIR as '" + U(home.string()) + u"'").c_str());
    std::ofstream(home / "a.txt") << "bfile text";
    std::string blobPath = (home / "up.bin").string();
    {
        std::ofstream out(blobPath, std::ios::binary);
        for (int i = 0; i < 10000; ++i) out.put(char(i % 251));
    }
    Exec(s, u"create table lt (id number, c clob, b blob, f bfile)");
    Exec(s, u"insert into lt values (1, 'old', empty_blob(), null)");
    Exec(s, u"insert into lt values (2, null, null, null)");
    Exec(s, u"commit");
    CEditableOraGridData* g = Bind(Query(u"LT", {u"ID", u"C", u"B", u"F"}, {}, u"order by a.\"ID\""), u"LT");
    std::u16string big;
    for (int i = 0; i < 100000; ++i) big += char16_t(u'あ' + i % 50);
    Set(0, 1, big.c_str());
    ASSERT_EQ(g->SetLobCellText(0, 2, U(blobPath).c_str()), 1);
    ASSERT_EQ(g->SetLobCellText(0, 3, u"<BFILE dir_alias:DEMO_DIR file_name:a.txt 10byte>"), 1);
    Set(1, 1, u"now set");
    ASSERT_EQ(g->InsertRows(1, 1), 0);
    Set(2, 0, u"3");
    Set(2, 1, u"");
    RecordStatements();
    CString msg;
    int cell[2];
    ASSERT_EQ(Save(&msg, cell), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(Narrow(msg), "編集結果を保存しました。\n    delete: 0\n    insert 1\n    update 2");
    std::vector<std::string> want = {
        "savepoint tavex_p1",
        "update \"SYSTEM\".\"LT\" \nset \"C\" = empty_clob() \nwhere rowid = :X0 \n",
        "update \"SYSTEM\".\"LT\" \nset \"F\" = bfilename(:X0, :X1) \nwhere rowid = :X2 \n",
        // BFILE columns are not insertable: the row's empty cells are then
        // written as NULL.
        "insert into \"SYSTEM\".\"LT\" (\"ID\", \"C\", \"B\") \nvalues (:X0, \nempty_clob(), \nempty_blob()) "
        "\nreturning rowid into :rid",
        "update \"SYSTEM\".\"LT\" \nset \"C\" = '' \nwhere rowid = :X0 \n",
        "update \"SYSTEM\".\"LT\" \nset \"B\" = '' \nwhere rowid = :X0 \n",
        "update \"SYSTEM\".\"LT\" \nset \"F\" = '' \nwhere rowid = :X0 \n",
    };
    EXPECT_EQ(Dml(), want);
    int selects = 0;
    for (auto& st : statements)
        selects += st.rfind("select \"", 0) == 0 && st.find("for update") != std::string::npos;
    EXPECT_EQ(selects, 3); // two CLOBs and the BLOB of row 1
    g_oci = g_real;
    EXPECT_EQ(Rows(s, u"select id, length(c), f from lt order by id"),
              "1|100000|<BFILE dir_alias:DEMO_DIR file_name:a.txt 10byte>\n2|7|\n3||\n");
    {
        OraDataset* blob = Query(u"LT", {u"B"}, {}, u"where a.\"ID\" = 1");
        ASSERT_EQ(blob->row_count, 1);
        OraLobValue v =
            ora_lob_value(*reinterpret_cast<OraLobCell*>(blob->row_index[0] + blob->col_offsets[0]));
        std::string down = (home / "down.bin").string();
        CString m;
        ASSERT_EQ(oci_hlob_download(&v, U(down).c_str(), &m), ORARC_OK) << Narrow(m);
        EXPECT_EQ(ReadFile(down), ReadFile(blobPath));
    }
    OraDataset* after = Query(u"LT", {u"C"}, {}, u"where a.\"ID\" = 1");
    CEditableOraGridData check;
    ASSERT_EQ(check.SetDataset(s, after, u"SYSTEM", u"LT", 0, 0), 0);
    EXPECT_EQ(std::u16string(check.GetEditText(0, 0)), big);
}

TEST_F(SaveTest, ValueChecksAndLiteralMode) {
    Exec(s, u"create table vc (id number not null, v varchar2(10), w varchar2(2000), x varchar2(2000))");
    Exec(s, u"commit");
    CEditableOraGridData* g = Bind(Query(u"VC", {u"ID", u"V", u"W", u"X"}), u"VC");
    int size = g->GetDataset()->cols[1].buffer_size;
    ASSERT_EQ(g->InsertRows(-1, 1), 0);
    Set(0, 1, u"x");
    CString msg;
    int cell[2];
    EXPECT_EQ(Save(&msg, cell), ORARC_NOT_NULL);
    EXPECT_EQ(Narrow(msg), "insert error \n必須項目にNULLが設定されました(ID)\n");
    EXPECT_EQ(cell[0], 0);
    EXPECT_EQ(cell[1], 0);
    // size - 1 bytes in two-byte characters (within the ten characters).
    std::u16string fits(size_t((size - 1) / 2), u'\u00e9');
    if ((size - 1) % 2) fits += u'a';
    Set(0, 0, u"1");
    Set(0, 1, fits.c_str());
    // The check lets it through; the column's own limit is the database's.
    EXPECT_EQ(Save(&msg, cell), ORARC_ORACLE_ERROR) << Narrow(msg) << " size " << size;
    EXPECT_NE(Narrow(msg).find("ORA-12899"), std::string::npos) << Narrow(msg);
    Set(0, 1, u"ok");
    EXPECT_EQ(Save(&msg, cell), ORARC_OK) << Narrow(msg);
    g = Bind(Query(u"VC", {u"ID", u"V", u"W", u"X"}), u"VC");
    ASSERT_EQ(g->InsertRows(-1, 1), 0);
    Set(0, 0, u"2");
    Set(0, 1, (fits + u"a").c_str());
    EXPECT_EQ(Save(&msg, cell), ORARC_TOO_LONG);
    EXPECT_EQ(Narrow(msg), "insert error \nデータ長が不正です(V)\n");
    EXPECT_EQ(cell[0], 1);
    EXPECT_EQ(cell[1], 0);

    // Servers before 10.0 take two long texts of one row as literals.
    Control("server_release 9.2.0.1.0");
    g = Bind(Query(u"VC", {u"ID", u"V", u"W", u"X"}), u"VC");
    s->server_version = -1.0;
    EXPECT_TRUE(g->NeedsLiteralLongText(s));
    ASSERT_EQ(g->InsertRows(-1, 1), 0);
    Set(0, 0, u"5");
    std::u16string w1(1500, u'w'), x1 = u"it's" + std::u16string(1496, u'x');
    Set(0, 2, w1.c_str());
    Set(0, 3, x1.c_str());
    std::vector<int> bound;
    CString sql = g->MakeInsertSql(0, &bound);
    EXPECT_NE(Narrow(sql).find("'it''s"), std::string::npos);
    EXPECT_EQ(bound, (std::vector<int>{1, 1, 0, 0}));
    EXPECT_EQ(Save(&msg, cell), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(Rows(s, u"select length(w), length(x), substr(x, 1, 4) from vc where id = 5"),
              "1500|1500|it's\n");
}

TEST(ObjectAndBfileTexts, AcceptedAndRefused) {
    for (const char16_t* ok : {u"ADDRESS_T('Main St',NULL)", u"NULL", u"S.T(-1.5e+10,'it''s',N(2))",
                               u"\"Q\".\"T\"(1, 0AFF)", u"T()"}) {
        EXPECT_TRUE(IsObjectValueText(ok)) << N(ok);
    }
    for (const char16_t* bad :
         {u"NULL, \"X\" = 'y'", u"T(1); drop table t", u"T(1) -- c", u"T((select 1 from dual))", u"T(1",
          u"T('x)", u"T(1))", u"", u"T(1) /* c */", u"T(select)"}) {
        EXPECT_FALSE(IsObjectValueText(bad)) << N(bad);
    }
    CString alias, file;
    EXPECT_TRUE(ParseBfileText(u"<BFILE dir_alias:DEMO_DIR file_name:a.txt 28byte>", &alias, &file));
    EXPECT_EQ(N(alias), "DEMO_DIR");
    EXPECT_EQ(N(file), "a.txt");
    EXPECT_TRUE(ParseBfileText(u"<BFILE dir_alias:DEMO_DIR file_name:a.txt not found>", &alias, &file));
    EXPECT_EQ(N(file), "a.txt");
    EXPECT_FALSE(ParseBfileText(u"abc", &alias, &file));
    EXPECT_FALSE(ParseBfileText(u"<BFILE dir_alias: file_name:a.txt 1byte>", &alias, &file));
    EXPECT_FALSE(ParseBfileText(u"<BFILE dir_alias:D file_name:a.txt>", &alias, &file));
    // A tab or a line break ends a word as a blank does, as in the BFILE
    // dialog: no alias or file name holds one.
    EXPECT_FALSE(ParseBfileText(u"<BFILE dir_alias:D\tE file_name:a.txt 1byte>", &alias, &file));
    EXPECT_FALSE(ParseBfileText(u"<BFILE dir_alias:D file_name:a\nb.txt 1byte>", &alias, &file));
    EXPECT_FALSE(ParseBfileText(u"<BFILE dir_alias:D file_name:a.txt\r\nx 1byte>", &alias, &file));
    EXPECT_TRUE(ParseBfileText(u"<BFILE dir_alias:D file_name:a.txt status\tword>", &alias, &file));
    EXPECT_EQ(N(MakeSqlLiteral(u"it's")), "'it''s'");
    EXPECT_EQ(N(MakeSqlLiteral(u"")), "NULL");
    EXPECT_EQ(N(MakeSqlLiteral(nullptr)), "NULL");
}

TEST_F(SaveTest, DriverOnItsThreadReportsToTheWindow) {
    MakeRows(s, 250);
    Exec(s, u"commit");
    CEditableOraGridData* g = Bind(Query(u"T", {u"A", u"B"}, {}, u"order by a.\"A\""), u"T");
    for (int r = 0; r < 250; r += 2) Set(r, 1, u"even");
    g->DeleteRows(1, 1);
    ASSERT_EQ(g->InsertRows(249, 1), 0);
    Set(250, 0, u"251");
    ProgressWindow w;
    CString msg;
    int cell[2] = {9, 9};
    EXPECT_EQ(w.Save(g, s, cell, &msg), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(Narrow(msg), "編集結果を保存しました。\n    delete: 1\n    insert 1\n    update 125");
    EXPECT_EQ(cell[0], -1);
    EXPECT_EQ(cell[1], -1);
    EXPECT_EQ(w.Texts(), (std::vector<std::u16string>{u"データ保存開始", u"deleteを実行中", u"updateを実行中",
                                                      u"insertを実行中"}));
    ASSERT_GE(w.events.size(), 2u);
    EXPECT_EQ(w.events[1].msg, UINT(WPM_SETRANGE));
    EXPECT_EQ(w.events[1].wParam, 1u);
    EXPECT_EQ(w.rangeEnd, 9);
    // Three rows of 100 per phase, the update phase once per column.
    EXPECT_EQ(w.steps, 3 * 4);
    EXPECT_EQ(w.events.back().msg, UINT(WPM_FINISHED));
    EXPECT_EQ(w.finished, ORARC_OK);
    EXPECT_EQ(Rows(s, u"select count(*) from t where b = 'even'"), "125\n");
}

TEST_F(SaveTest, NoEditsAndPausedCancelStateAndNoWindow) {
    MakeHeap();
    CEditableOraGridData* g = BindHeap();
    RecordStatements();
    ProgressWindow w;
    w.stateAnswers = {2, 2, 2, 0};
    CString msg;
    int cell[2];
    EXPECT_EQ(w.Save(g, s, cell, &msg), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(Narrow(msg), "編集結果を保存しました。\n    delete: 0\n    insert 0\n    update 0");
    EXPECT_EQ(Dml(), (std::vector<std::string>{"savepoint tavex_p1"}));
    EXPECT_EQ(g_waits, (std::vector<DWORD>{500, 500, 500}));
    g_oci = g_real;

    // No window: no messages and no waits.
    g_waits.clear();
    Set(0, 1, u"ONE");
    EXPECT_EQ(Save(&msg, cell), ORARC_OK) << Narrow(msg);
    EXPECT_TRUE(g_waits.empty());
    EXPECT_EQ(Rows(s, u"select name from h where id = 1"), "ONE\n");
}

// A cancel check reads the state once a turn: a wait while the question is
// open (2) ends on the answer that decides, and a save reads it once at each
// 100-row step and once before the commit.
TEST_F(SaveTest, EachCancelCheckReadsTheStateOnceATurn) {
    MakeRows(s, 250);
    Exec(s, u"commit");
    CEditableOraGridData* g = Bind(Query(u"T", {u"A", u"B"}, {}, u"order by a.\"A\""), u"T");
    for (int r = 0; r < 250; ++r) Set(r, 1, u"x");
    auto halfSeconds = [] { return std::count(g_waits.begin(), g_waits.end(), DWORD(500)); };
    {
        // The question answered "yes" after two turns, at the first check.
        ProgressWindow w;
        w.stateAnswers = {2, 2, 1};
        g_waits.clear();
        CString msg;
        int cell[2];
        EXPECT_EQ(w.Save(g, s, cell, &msg), ORARC_CANCELLED);
        EXPECT_EQ(Narrow(msg), "キャンセルしました\n");
        EXPECT_EQ(w.getStates, 3);
        EXPECT_EQ(halfSeconds(), 2);
        EXPECT_EQ(Rows(s, u"select count(*) from t where b = 'x'"), "0\n");
    }
    {
        ProgressWindow w;
        w.stateAnswers = {2, 0};
        g_waits.clear();
        CString msg;
        int cell[2];
        EXPECT_EQ(w.Save(g, s, cell, &msg), ORARC_OK) << Narrow(msg);
        EXPECT_EQ(halfSeconds(), 1);
        EXPECT_EQ(w.steps, 3 * 4);
        EXPECT_EQ(w.getStates, 1 + w.steps + 1);
        EXPECT_EQ(Rows(s, u"select count(*) from t where b = 'x'"), "250\n");
    }
}

// A failing commit leaves one record in the session's log, in either call
// set: the commit's own, with the Oracle error behind it.
TEST_F(SaveTest, FailingCommitIsLoggedOnce) {
    MakeHeap();
    for (int oci7 : {0, 1}) {
        SCOPED_TRACE(oci7 ? "oci7" : "oci8");
        fs::path log = home / (oci7 ? "save7.log" : "save8.log");
        s = Logon(oci7, u"system", u"manager", 0, nullptr, nullptr, Utf8ToWide(log.c_str()).c_str());
        ASSERT_NE(s, nullptr);
        g_session = s;
        delete grid;
        grid = nullptr;
        CEditableOraGridData* g = BindHeap();
        Set(0, 1, u"ONE");
        Control(oci7 ? "fail ocom 1013" : "fail OCITransCommit 1013");
        CString msg;
        int cell[2];
        EXPECT_EQ(g->SaveChanges(s, cell, &msg, nullptr, nullptr), ORARC_ORACLE_ERROR);
        EXPECT_NE(msg.Find(u"ORA-01013"), -1) << Narrow(msg);
        std::string text = ReadFile(log);
        const std::string header =
            oci7 ? "\n---\nerror in oci_ora_commit:\n" : "\n---\nerror in oci8_commit:\n";
        EXPECT_EQ(text.find(header), 0u) << text;
        size_t records = 0;
        for (size_t at = text.find("error in "); at != std::string::npos; at = text.find("error in ", at + 1))
            ++records;
        EXPECT_EQ(records, 1u) << text;
        EXPECT_EQ(Rows(s, u"select name from h where id = 1"), "one\n");
        Exec(s, u"rollback"); // the failed save leaves the transaction open
    }
}

} // namespace
} // namespace oratest
