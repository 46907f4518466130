// Cases where a plain reading of the save would lose or corrupt data: object
// texts spliced into SQL, malformed BFILE texts, large-object writes of
// index-organised rows, huge LOB lengths and the failing column of inserts.
#include <climits>

#include "tests/grid/ora/ora_fixture.h"

namespace oratest {
namespace {

class MendTest : public OraGridTest {
public:
    std::vector<std::string> statements;
    void RecordStatements() {
        statements.clear();
        TAP(OCIStmtPrepare) = [this](OCIStmt*, OCIError*, const OraText* text, ub4 len, ub4, ub4) {
            statements.emplace_back(reinterpret_cast<const char*>(text), len);
        };
    }
    int Updates() const {
        int n = 0;
        for (auto& st : statements) n += st.rfind("update", 0) == 0;
        return n;
    }
};

TEST_F(MendTest, ObjectAndBfileTextsAreCheckedBeforeAnySql) {
    Exec(s, u"create table ob (id number(5), v varchar2(10), f bfile)");
    Exec(s, u"insert into ob values (1, 'a', null)");
    Exec(s, u"commit");
    CEditableOraGridData* g = Bind(Query(u"OB", {u"ID", u"V", u"F"}), u"OB");
    // No object types in the stand-in: the NUMBER column stands for one.
    OraColumnDesc& d = g->GetDataset()->cols[0];
    ASSERT_LT(d.text_size, 33); // an inline cell, so its reading does not change
    d.define_type = 108;
    d.buffer_size = 200;
    Set(0, 0, u"NULL, \"V\" = 'y'");
    RecordStatements();
    CString msg;
    int cell[2];
    EXPECT_EQ(g->SaveChanges(s, cell, &msg, nullptr, nullptr), ORARC_TOO_LONG);
    EXPECT_EQ(Narrow(msg), "insert/update lob error\nオブジェクトの値が不正です(ID)\n");
    EXPECT_EQ(cell[0], 0);
    EXPECT_EQ(cell[1], 0);
    EXPECT_EQ(Updates(), 0);
    g_oci = g_real;
    EXPECT_EQ(Rows(s, u"select id, v from ob"), "1|a\n");

    g = Bind(Query(u"OB", {u"ID", u"V", u"F"}), u"OB");
    ASSERT_EQ(g->SetLobCellText(0, 2, u"abc"), 1);
    EXPECT_EQ(g->SaveChanges(s, cell, &msg, nullptr, nullptr), ORARC_TOO_LONG);
    EXPECT_EQ(Narrow(msg), "insert/update lob error\nBFILEの値が不正です(F)\n");
    EXPECT_EQ(cell[0], 2);
    ASSERT_EQ(g->SetLobCellText(0, 2, u"<BFILE dir_alias:DEMO_DIR file_name:a.txt not found>"), 1);
    EXPECT_EQ(g->SaveChanges(s, cell, &msg, nullptr, nullptr), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(Rows(s, u"select f from ob"), "<BFILE dir_alias:DEMO_DIR file_name:a.txt not found>\n");
}

TEST_F(MendTest, LobWritesOfIndexOrganisedRowsFindThemByKey) {
    // (The stand-in's locators of index-organised rows cannot be written, so
    // the LOB writes here are the ones made by UPDATE statements.)
    Exec(s, u"create table il (k1 number, k2 varchar2(5), c clob, f bfile, primary key (k1, k2)) "
            u"organization index");
    Exec(s, u"insert into il values (1, 'a', 'one', null)");
    Exec(s, u"insert into il values (2, 'b', 'two', null)");
    Exec(s, u"commit");
    CEditableOraGridData* g =
        Bind(Query(u"IL", {u"K1", u"K2", u"C", u"F"}, {u"K1", u"K2"}, u"order by a.\"K1\""), u"IL");
    Set(0, 2, u"");
    // A new key and a new BFILE in one row: the BFILE is written first, by the
    // fetched key, the key after it.
    ASSERT_EQ(g->SetLobCellText(1, 3, u"<BFILE dir_alias:D file_name:b.txt 1byte>"), 1);
    Set(1, 1, u"bb");
    // An inserted row is found by its logical row id, longer than 24 bytes.
    ASSERT_EQ(g->InsertRows(1, 1), 0);
    Set(2, 0, u"3");
    Set(2, 1, u"c");
    RecordStatements();
    CString msg;
    int cell[2];
    ASSERT_EQ(g->SaveChanges(s, cell, &msg, nullptr, nullptr), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(Narrow(msg), "編集結果を保存しました。\n    delete: 0\n    insert 1\n    update 2");
    std::vector<std::string> updates;
    for (auto& st : statements)
        if (st.rfind("update", 0) == 0) updates.push_back(st);
    std::vector<std::string> want = {
        "update \"SYSTEM\".\"IL\" \nset \"C\" = '' \nwhere \"K1\" = :X0 \nand \"K2\" = :X1 \n",
        "update \"SYSTEM\".\"IL\" \nset \"F\" = bfilename(:X0, :X1) \nwhere \"K1\" = :X2 \nand \"K2\" = :X3 "
        "\n",
        "update \"SYSTEM\".\"IL\" \nset \"K2\" = :X0 \nwhere \"K1\" = :X1 \nand \"K2\" = :X2 \n",
        "update \"SYSTEM\".\"IL\" \nset \"C\" = '' \nwhere rowid = :X0 \n",
        "update \"SYSTEM\".\"IL\" \nset \"F\" = '' \nwhere rowid = :X0 \n",
    };
    EXPECT_EQ(updates, want);
    g_oci = g_real;
    EXPECT_EQ(Rows(s, u"select k1, k2, c, f from il order by k1"),
              "1|a||\n2|bb|two|<BFILE dir_alias:D file_name:b.txt not found>\n3|c||\n");
}

TEST_F(MendTest, HugeLobLengthsAndTheFailingInsertColumn) {
    Exec(s, u"create table hl (id number, c clob)");
    Exec(s, u"insert into hl values (1, 'x')");
    Exec(s, u"commit");
    CEditableOraGridData* g = Bind(Query(u"HL", {u"ID", u"C"}), u"HL");
    OraLobCell* cell = g->GetLobLocator(0, 1);
    ASSERT_NE(cell, nullptr);
    cell->length = 0x40000000;
    EXPECT_EQ(g->GetTextLength(0, 1, 0, 0), INT_MAX);

    // The first column cannot be inserted: the failing value is still named
    // by its own column.
    Exec(s, u"create table fc (a number, b number, c varchar2(5))");
    Exec(s, u"commit");
    g = Bind(Query(u"FC", {u"A", u"B", u"C"}), u"FC", 0);
    g->m_colFlags[0] = 1;
    ASSERT_EQ(g->InsertRows(-1, 1), 0);
    Set(0, 1, u"abc");
    Set(0, 2, u"x");
    CString msg;
    int fail[2];
    EXPECT_EQ(g->SaveChanges(s, fail, &msg, nullptr, nullptr), ORARC_ORACLE_ERROR);
    EXPECT_EQ(Narrow(msg).rfind("insert error\nORA-01722", 0), 0u) << Narrow(msg);
    EXPECT_EQ(fail[1], 0);
    EXPECT_EQ(fail[0], 1) << Narrow(msg);
}

} // namespace
} // namespace oratest
