// The pending edits as SQL text.
#include "editor/editdata.h"
#include "tests/grid/ora/ora_fixture.h"

namespace oratest {
namespace {

class PreviewTest : public OraGridTest {
public:
    std::string Preview(int* rc, std::string* message = nullptr) {
        CEditData text;
        CString msg;
        *rc = grid->MakeUpdateSqlText(&msg, &text);
        if (message) *message = Narrow(msg);
        // The buffer joins its lines with its own line end.
        std::string out = Narrow(text.GetAllText()), lf;
        for (char c : out)
            if (c != '\r') lf += c;
        return lf;
    }
};

TEST_F(PreviewTest, DeletesUpdatesAndInsertsAsLiterals) {
    Exec(s, u"create table p (id number primary key, name varchar2(10), qty number)");
    Exec(s, u"insert into p values (1, 'one', 10)");
    Exec(s, u"insert into p values (2, 'two', 20)");
    Exec(s, u"insert into p values (3, 'three', 30)");
    CEditableOraGridData* g = Bind(Query(u"P", {u"ID", u"NAME", u"QTY"}, {}, u"order by a.\"ID\""), u"P");
    int rc = -1;
    EXPECT_EQ(Preview(&rc), "");
    EXPECT_EQ(rc, 0);

    g->DeleteRows(2, 2);
    Set(0, 0, u"10");
    Set(0, 1, u"it's");
    Set(1, 2, u"");
    ASSERT_EQ(g->InsertRows(2, 1), 0);
    Set(3, 0, u"4");
    Set(3, 1, u"four");
    EXPECT_EQ(Preview(&rc),
              "delete from \"SYSTEM\".\"P\" where \"ID\" = '3';\n"
              "update \"SYSTEM\".\"P\" set \"ID\" = '10', \"NAME\" = 'it''s' where \"ID\" = '1';\n"
              "update \"SYSTEM\".\"P\" set \"QTY\" = NULL where \"ID\" = '2';\n"
              "insert into \"SYSTEM\".\"P\" (\"ID\", \"NAME\", \"QTY\") values ('4', 'four', NULL);\n");
    EXPECT_EQ(rc, 0);
}

TEST_F(PreviewTest, Refusals) {
    Exec(s, u"create table nk (a number, b varchar2(10))");
    Exec(s, u"insert into nk values (1, 'x')");
    Bind(Query(u"NK", {u"A", u"B"}), u"NK");
    int rc = -1;
    std::string msg;
    EXPECT_EQ(Preview(&rc, &msg), "");
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(msg, "Primary Keyの無いテーブルでは，この機能を利用できません");

    Exec(s, u"create table pk (a number primary key, b varchar2(10))");
    Exec(s, u"insert into pk values (1, 'x')");
    CEditableOraGridData* g = Bind(Query(u"PK", {u"B"}), u"PK");
    Set(0, 0, u"y");
    EXPECT_EQ(Preview(&rc, &msg), "");
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(msg, "Primary Keyのカラムが表示されていないため，この機能を利用できません(A)");
    (void)g;

    Exec(s, u"create table pl (a number primary key, c clob)");
    Exec(s, u"insert into pl values (1, 'x')");
    Bind(Query(u"PL", {u"A", u"C"}), u"PL");
    EXPECT_EQ(Preview(&rc, &msg), "");
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(msg, "LOBデータには対応していません");
}

} // namespace
} // namespace oratest
