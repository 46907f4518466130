// Suites of the Oracle-bound model on the client stand-in: tables made in
// the session's schema, queried as the table-selection dialog queries them,
// and bound to a model.
#pragma once

#include <string>
#include <vector>

#include "grid/oragrid.h"
#include "tests/oracle/standin_fixture.h"

namespace oratest {

inline std::u16string U(const std::string& s) {
    return Utf8ToWide(s.c_str());
}
inline std::string N(const char16_t* s) {
    return WideToUtf8(s ? s : u"");
}

// Bound to one session's query results.
class OraGridTest : public Layer2Test {
public:
    OraSession* s = nullptr;
    std::vector<OraDataset*> datasets;
    CEditableOraGridData* grid = nullptr;

    void SetUp() override {
        Layer2Test::SetUp();
        LogonAs(0);
    }
    void TearDown() override {
        delete grid;
        grid = nullptr;
        FreeDatasets();
        Layer2Test::TearDown();
    }
    void FreeDatasets() {
        for (OraDataset* d : datasets) {
            oci_free_dataset(d);
            delete d;
        }
        datasets.clear();
    }
    void LogonAs(int oci7) {
        s = Logon(oci7);
        ASSERT_NE(s, nullptr);
        g_session = s;
    }
    // The rows of owner.table as the table-selection dialog selects them:
    // the columns, then the row id, or 'X' and the key columns for an
    // index-organised table.
    OraDataset* Query(const std::u16string& table, const std::vector<std::u16string>& cols,
                      const std::vector<std::u16string>& iotKeys = {}, const std::u16string& where = u"",
                      OraSession* session = nullptr, const std::u16string& owner = u"SYSTEM") {
        if (!session) session = s;
        std::u16string list;
        for (auto& c : cols) list += (list.empty() ? u"" : u", ") + (u"a.\"" + c + u"\"");
        std::u16string sql;
        if (iotKeys.empty()) {
            sql = u"select " + list + u", rowid \nfrom \"" + owner + u"\".\"" + table + u"\" a \n" + where;
        } else {
            std::u16string keys;
            for (auto& k : iotKeys) keys += (keys.empty() ? u"" : u", ") + (u"a.\"" + k + u"\"");
            sql = u"select " + list + u", 'X' as \"ROWID\" , " + keys + u" \nfrom \"" + owner + u"\".\"" +
                  table + u"\" a \n" + where;
        }
        auto* ds = new OraDataset{};
        CString msg;
        EXPECT_EQ(oci_sel_dataset(session, ds, sql.c_str(), 100, &msg, ""), ORARC_OK)
            << N(sql.c_str()) << ": " << Narrow(msg);
        datasets.push_back(ds);
        return ds;
    }
    // A fresh model bound to the dataset.
    CEditableOraGridData* Bind(OraDataset* ds, const std::u16string& table, int useUpdatable = 1,
                               const std::u16string& owner = u"SYSTEM") {
        delete grid;
        grid = new CEditableOraGridData;
        EXPECT_EQ(grid->SetDataset(s, ds, owner.c_str(), table.c_str(), 0, useUpdatable), 0);
        return grid;
    }
    // The rows of a query as text, cells joined by "|", rows by "\n".
    std::string Rows(OraSession* session, const char16_t* sql) {
        OraDataset ds{};
        CString msg;
        EXPECT_EQ(oci_sel_dataset(session, &ds, sql, 100, &msg, ""), ORARC_OK) << Narrow(msg);
        std::string out;
        for (int r = 0; r < ds.row_count; ++r) {
            for (int c = 0; c < ds.col_count; ++c) {
                if (c) out += "|";
                out += N(oci_get_dataset_data(&ds, r, c));
            }
            out += "\n";
        }
        oci_free_dataset(&ds);
        return out;
    }
    void Set(int row, int col, const char16_t* text) {
        ASSERT_EQ(grid->SetTextWithUndo(row, col, text, -1), 0) << "row " << row << " col " << col;
    }
};

} // namespace oratest
