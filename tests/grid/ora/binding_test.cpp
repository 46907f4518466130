// Binding the model to query results: hidden key columns, column
// descriptions, updatable-column rules and the full texts of CLOB cells.
#include <climits>

#include "grid/gridfilter.h"
#include "tests/editor/box_recorder.h"
#include "tests/grid/ora/ora_fixture.h"

namespace oratest {
namespace {

class BindingTest : public OraGridTest {
public:
    void MakeTypes() {
        Exec(s, u"create table tt (n number(10), v varchar2(20), c char(5), d date, cl clob, bl blob, "
                u"bf bfile)");
        Exec(s, u"insert into tt values (1, 'one', 'a', to_date('2024-01-02', 'YYYY-MM-DD'), 'clob text', "
                u"empty_blob(), null)");
    }
};

TEST_F(BindingTest, ColumnsKeysAndDescriptions) {
    MakeTypes();
    OraDataset* ds = Query(u"TT", {u"N", u"V", u"C", u"D", u"CL", u"BL", u"BF"});
    CEditableOraGridData* g = Bind(ds, u"TT");
    EXPECT_EQ(g->GetColCount(), 7);
    EXPECT_EQ(g->GetRowCount(), 1);
    EXPECT_EQ(g->GetKeyColCount(), 1);
    ASSERT_EQ(g->GetKeyColNames().size(), 1u);
    EXPECT_EQ(N(g->GetKeyColNames()[0]), "ROWID");
    EXPECT_EQ(N(g->GetColName(1)), "V");
    EXPECT_EQ(N(g->GetColName(99)), "");
    EXPECT_EQ(N(g->GetColTypeName(1)), "VARCHAR2(20)");
    EXPECT_EQ(g->GetColType(0, 0), 0);
    EXPECT_EQ(g->GetColType(0, 1), 1);
    EXPECT_EQ(g->GetColType(0, 2), 2);
    EXPECT_EQ(g->GetMaxInputLen(0, 4), INT_MAX);
    EXPECT_EQ(g->GetMaxInputLen(0, 5), 260);
    EXPECT_EQ(g->GetMaxInputLen(0, 6), 260);
    EXPECT_EQ(g->GetMaxInputLen(0, 1), ds->cols[1].buffer_size - 1);
    EXPECT_EQ(N(g->GetText(0, 1)), "one");
    EXPECT_EQ(N(g->GetOriginalText(0, 1)), "one");
    EXPECT_TRUE(g->IsNull(0, 6));
    // Large objects other than CLOB change only through SetLobCellText.
    EXPECT_TRUE(g->IsCellEditable(0, 0));
    EXPECT_TRUE(g->IsCellEditable(0, 4));
    EXPECT_FALSE(g->IsCellEditable(0, 5));
    EXPECT_FALSE(g->IsCellEditable(0, 6));
    EXPECT_TRUE(g->CanInsertRows());
    EXPECT_TRUE(g->IsRowEditable(0));
    EXPECT_EQ(g->SetLobCellText(0, 1, u"x"), 0);
    EXPECT_EQ(g->SetLobCellText(0, 6, u"<BFILE dir_alias:D file_name:f 1byte>"), 1);
    EXPECT_TRUE(g->IsCellModified(0, 6));
    EXPECT_TRUE(g->IsUpdatedRow(0));
    EXPECT_NE(g->GetLobLocator(0, 4), nullptr);
    EXPECT_EQ(g->GetLobLocator(0, 1), nullptr);

    // An inserted row has no fetched values.
    ASSERT_EQ(g->InsertRows(0, 1), 0);
    EXPECT_EQ(N(g->GetOriginalText(1, 1)), "");
    EXPECT_EQ(g->GetLobLocator(1, 4), nullptr);
    EXPECT_TRUE(g->IsCellEditable(1, 0));
}

TEST_F(BindingTest, IndexOrganisedKeysAMissingRowidAndTheEmptyModel) {
    Exec(s, u"create table iot (k1 number, k2 varchar2(10), v varchar2(10), primary key (k1, k2)) "
            u"organization index");
    Exec(s, u"insert into iot values (1, 'a', 'x')");
    CEditableOraGridData* g = Bind(Query(u"IOT", {u"K1", u"K2", u"V"}, {u"K1", u"K2"}), u"IOT");
    EXPECT_EQ(g->GetKeyColCount(), 3);
    EXPECT_EQ(g->GetColCount(), 3);
    ASSERT_EQ(g->GetKeyColNames().size(), 2u);
    EXPECT_EQ(N(g->GetKeyColNames()[0]), "K1");
    EXPECT_EQ(N(g->GetKeyColNames()[1]), "K2");
    EXPECT_EQ(N(g->GetOriginalText(0, 3)), "X");

    // Without a ROWID column the last column is the key.
    OraDataset* plain = new OraDataset{};
    CString msg;
    ASSERT_EQ(oci_sel_dataset(s, plain, u"select v, k1 from iot", 100, &msg, ""), ORARC_OK);
    datasets.push_back(plain);
    g = Bind(plain, u"IOT");
    EXPECT_EQ(g->GetKeyColCount(), 1);
    EXPECT_EQ(g->GetColCount(), 1);
    EXPECT_EQ(N(g->GetKeyColNames()[0]), "ROWID");

    // The empty model has no columns and no flags.
    CEditableOraGridData empty;
    EXPECT_EQ(empty.GetColCount(), 0);
    EXPECT_EQ(empty.SetDataset(nullptr, nullptr, u"", u"", 0, 0), 0);
    EXPECT_EQ(empty.GetColCount(), 0);
    EXPECT_EQ(empty.GetRowCount(), 0);
    EXPECT_FALSE(empty.CanInsertRows());
    EXPECT_EQ(empty.GetColType(0, 0), 1);
    EXPECT_EQ(N(empty.GetColName(0)), "");
}

TEST_F(BindingTest, AFloatingNumberHasNoScaleInBothCallSets) {
    Exec(s, u"create table fs (p number(7,2), n number, f float, m number(5,-2))");
    Exec(s, u"insert into fs values (1.5, 2, 3.5, 400)");
    Exec(s, u"commit");
    for (int oci7 = 0; oci7 < 2; ++oci7) {
        SCOPED_TRACE(oci7 ? "Oracle 7 calls" : "Oracle 8 calls");
        if (oci7) LogonAs(1);
        CEditableOraGridData* g = Bind(Query(u"FS", {u"P", u"N", u"F", u"M"}), u"FS");
        EXPECT_EQ(g->GetColScale(0), 2);
        EXPECT_EQ(g->GetColScale(1), 129);
        EXPECT_EQ(g->GetColScale(2), 129);
        EXPECT_EQ(g->GetColScale(3), -2);
        // The sum takes the scale's decimals, unless a column of no scale is
        // in the selection.
        EXPECT_EQ(N(g->GetCalcText(GRID_CALC_SUM, POINT{0, 0}, POINT{0, 0}).GetString()), "合計:1.50");
        EXPECT_EQ(N(g->GetCalcText(GRID_CALC_SUM, POINT{0, 0}, POINT{1, 0}).GetString()), "合計:3.5");
    }
}

TEST_F(BindingTest, NewRowsStartUnfilteredWithNothingToUndo) {
    Exec(s, u"create table ft (id number, name varchar2(10))");
    Exec(s, u"insert into ft values (1, 'apple')");
    Exec(s, u"insert into ft values (2, 'banana')");
    CEditableOraGridData* g = Bind(Query(u"FT", {u"ID", u"NAME"}), u"FT");
    int count = 0;
    CString err;
    ASSERT_EQ(g->SetFilter(1, u"apple", 1, 1, 0, &count, &err, 1), 0) << Narrow(err);
    ASSERT_TRUE(g->m_filtered);
    ASSERT_EQ(g->m_filter->GetRowCount(), 1);
    Exec(s, u"insert into ft values (3, 'cherry')");
    // The query runs again: the model is let go of, then bound to the new rows.
    for (int release = 0; release < 2; ++release) {
        SCOPED_TRACE(release ? "released first" : "bound over");
        if (release) {
            ASSERT_EQ(g->SetFilter(1, u"apple", 1, 1, 0, &count, &err, 1), 0) << Narrow(err);
            EXPECT_EQ(g->SetDataset(nullptr, nullptr, u"", u"", 0, 0), 0);
        }
        ASSERT_EQ(g->SetDataset(s, Query(u"FT", {u"ID", u"NAME"}), u"SYSTEM", u"FT", 0, 1), 0);
        EXPECT_FALSE(g->m_filtered);
        EXPECT_EQ(g->m_filter->GetRowCount(), 0); // nothing left of the old rows
        EXPECT_EQ(g->GetRowCount(), 3);
        EXPECT_FALSE(g->IsModified());
        EXPECT_FALSE(g->CanUndo());
        // Clearing what is not there records nothing; undo brings no filter back.
        g->ClearFilter();
        EXPECT_FALSE(g->IsModified());
        EXPECT_EQ(g->Undo(), 1);
        EXPECT_FALSE(g->m_filtered);
        EXPECT_EQ(N(g->GetText(2, 1)), "cherry");
    }
    // The kept filter object serves the next filtering.
    ASSERT_EQ(g->SetFilter(1, u"an", 1, 1, 0, &count, &err, 1), 0) << Narrow(err);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(N(g->m_filter->GetText(0, 1)), "banana");
    EXPECT_EQ(g->Undo(), 0);
    EXPECT_FALSE(g->m_filtered);
}

TEST_F(BindingTest, UpdatableColumnsOfViews) {
    MakeTypes();
    Exec(s, u"create table base (id number primary key, name varchar2(10), qty number)");
    Exec(s, u"insert into base values (1, 'a', 2)");
    Exec(s, u"create view kv as select id, name, qty * 2 dbl from base");
    CEditableOraGridData* g = Bind(Query(u"KV", {u"ID", u"NAME", u"DBL"}), u"KV");
    // The expression column is read-only; the others stay editable.
    EXPECT_TRUE(g->IsCellEditable(0, 1));
    EXPECT_FALSE(g->IsCellEditable(0, 2));
    EXPECT_TRUE(g->CanInsertRows());
    EXPECT_TRUE(g->IsRowEditable(0));

    // A view that refuses inserts and deletes.
    Control("updatable SYSTEM.KV.ID YES NO NO");
    Control("updatable SYSTEM.KV.NAME YES NO NO");
    Control("updatable SYSTEM.KV.DBL NO NO NO");
    g = Bind(Query(u"KV", {u"ID", u"NAME", u"DBL"}), u"KV");
    EXPECT_TRUE(g->IsCellEditable(0, 1));
    EXPECT_FALSE(g->IsCellEditable(0, 2));
    EXPECT_FALSE(g->CanInsertRows());
    EXPECT_FALSE(g->IsRowEditable(0));

    // Without the setting, or when the dictionary view is missing, every
    // column but BLOB and BFILE is editable.
    g = Bind(Query(u"KV", {u"ID", u"NAME", u"DBL"}), u"KV", 0);
    EXPECT_TRUE(g->IsCellEditable(0, 2));
    EXPECT_TRUE(g->CanInsertRows());
    Control("hide USER_UPDATABLE_COLUMNS");
    g = Bind(Query(u"KV", {u"ID", u"NAME", u"DBL"}), u"KV");
    EXPECT_TRUE(g->IsCellEditable(0, 2));
    EXPECT_TRUE(g->IsRowEditable(0));
    g = Bind(Query(u"TT", {u"N", u"V", u"C", u"D", u"CL", u"BL", u"BF"}), u"TT");
    EXPECT_FALSE(g->IsCellEditable(0, 5));
}

TEST_F(BindingTest, ClobCellsReadWholeOrStayReadOnly) {
    Exec(s, u"create table ct (id number, c clob)");
    std::u16string big;
    for (int i = 0; i < 10000; ++i) big += char16_t(u'a' + i % 26);
    for (int i = 1; i <= 100; ++i) {
        CString msg;
        ASSERT_EQ(oci_exec_sql_bind(s, u"insert into ct values (:X0, :X1)", &msg, nullptr, nullptr, "IS", &i,
                                    big.c_str()),
                  ORARC_OK)
            << Narrow(msg);
    }
    Exec(s, u"insert into ct values (101, null)");
    CEditableOraGridData* g = Bind(Query(u"CT", {u"ID", u"C"}, {}, u"order by a.\"ID\""), u"CT");
    ASSERT_EQ(g->GetRowCount(), 101);
    std::u16string fetched = g->GetText(0, 1);
    EXPECT_LT(fetched.size(), big.size());
    EXPECT_EQ(std::u16string(g->GetEditText(0, 1)), big);
    EXPECT_EQ(g->GetTextLength(0, 1, 0, 0), 10000 * 8 + 2);
    EXPECT_EQ(g->GetTextLength(100, 1, 0, 0), 2);
    EXPECT_EQ(N(g->GetEditText(100, 1)), "");

    // An edited cell gives its own text.
    Set(1, 1, u"edited");
    EXPECT_EQ(N(g->GetEditText(1, 1)), "edited");

    // Reads failing: the fetched text, one box, read-only cells.
    BoxRecorder boxes;
    Control("fail OCILobRead 3113 1000");
    for (int r = 2; r < 100; ++r) {
        EXPECT_EQ(std::u16string(g->GetEditText(r, 1)), fetched) << r;
        EXPECT_FALSE(g->IsCellEditable(r, 1));
    }
    EXPECT_EQ(BoxRecorder::last.count, 1);
    EXPECT_EQ(BoxRecorder::last.caption, u"メッセージ");
    EXPECT_EQ(BoxRecorder::last.type, UINT(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(g->SetText(2, 1, u"cut", -1), 1);
    EXPECT_EQ(N(g->GetErrorMessage()), "CLOBデータを読み込めないため編集できません");
    EXPECT_EQ(g->SetTextWithUndo(2, 1, u"cut", -1), 1);
    EXPECT_FALSE(g->IsCellModified(2, 1));
    // Asking again does not read again.
    Control("reset");
    EXPECT_EQ(std::u16string(g->GetEditText(2, 1)), fetched);
    EXPECT_EQ(BoxRecorder::last.count, 1);
    // Other cells of the column still read, and a new binding forgets.
    EXPECT_EQ(std::u16string(g->GetEditText(0, 1)), big);
    g = Bind(Query(u"CT", {u"ID", u"C"}, {}, u"order by a.\"ID\""), u"CT");
    EXPECT_EQ(std::u16string(g->GetEditText(2, 1)), big);
    EXPECT_TRUE(g->IsCellEditable(2, 1));
}

// The export writes every value whole, a CLOB beyond its read size included;
// what the model holds only in part (a LONG cut at its read buffer, a CLOB
// whose text cannot be read) is written as held and counted.
TEST_F(BindingTest, ExportWritesWholeValuesAndCountsTheCutOnes) {
    g_oci_long_read_size = 21;
    Exec(s, u"create table ex (id number, c clob, l long)");
    std::u16string big;
    for (int i = 0; i < 7200; ++i) big += char16_t(u'0' + i % 10);
    big += u"end";
    const std::u16string longText(100, u'x');
    int id = 1;
    CString msg;
    ASSERT_EQ(oci_exec_sql_bind(s, u"insert into ex values (:X0, :X1, :X2)", &msg, nullptr, nullptr, "ISS",
                                &id, big.c_str(), longText.c_str()),
              ORARC_OK)
        << Narrow(msg);
    Exec(s, u"insert into ex values (2, 'short', 'fits')");
    Exec(s, u"insert into ex values (3, null, null)");
    CEditableOraGridData* g = Bind(Query(u"EX", {u"ID", u"C", u"L"}, {}, u"order by a.\"ID\""), u"EX");
    ASSERT_EQ(g->GetRowCount(), 3);
    ASSERT_LT(std::u16string(g->GetText(0, 1)).size(), big.size()) << "the fetch shows the beginning";
    const fs::path path = home / "ex.csv";
    auto exportRows = [&](int* cut) {
        CString err;
        EXPECT_EQ(g->ExportToFile(Utf8ToWide(path.c_str()).c_str(), CHARCODE_UTF8_NOSIG, LINE_END_LF, 0, 0, 0,
                                  &err, nullptr, cut),
                  1)
            << Narrow(err);
        return ReadFile(path);
    };
    int cut = -1;
    EXPECT_EQ(exportRows(&cut), "1," + N(big.c_str()) + "," + std::string(20, 'x') + "\n2,short,fits\n3,,\n");
    EXPECT_EQ(cut, 1);
    // The LONG edited holds the user's text: nothing is cut.
    Set(0, 2, u"typed");
    EXPECT_EQ(exportRows(&cut), "1," + N(big.c_str()) + ",typed\n2,short,fits\n3,,\n");
    EXPECT_EQ(cut, 0);
    // The CLOB's text cannot be read: its beginning goes out, counted.
    BoxRecorder boxes;
    Control("fail OCILobRead 3113 1000");
    const std::string fetched = N(g->GetText(0, 1));
    EXPECT_EQ(exportRows(&cut), "1," + fetched + ",typed\n2,short,fits\n3,,\n");
    EXPECT_EQ(cut, 1);
    EXPECT_EQ(BoxRecorder::last.count, 1);
}

} // namespace
} // namespace oratest
