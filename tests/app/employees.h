// 社員 as another session sees it: a logon of its own, so that only what the
// program committed shows.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app_fixture.h"
#include "oracle/oci_api.h"
#include "oracle/oci_exec.h"

namespace apptest {

// Every row the query gives another session, each value as text.
inline std::vector<std::vector<std::u16string>> RowsOfAnotherSession(const char16_t* sql) {
    std::vector<std::vector<std::u16string>> out;
    OraSession* s = nullptr;
    CString msg;
    const int oci7 = g_use_oci7_api;
    g_use_oci7_api = 0;
    int rc = oci_login2(&s, u"DEMO", u"demo", u"DEMO", nullptr, 1, &msg, nullptr);
    g_use_oci7_api = oci7;
    EXPECT_EQ(rc, ORARC_OK) << Narrow(msg);
    if (rc != ORARC_OK) return out;
    OraDataset ds{};
    oci_init_dataset(&ds);
    EXPECT_EQ(oci_sel_dataset(s, &ds, sql, 100, &msg, ""), ORARC_OK) << Narrow(msg);
    for (int r = 0; r < ds.row_count; ++r) {
        std::vector<std::u16string> row;
        for (int c = 0; c < ds.col_count; ++c) row.emplace_back(oci_get_dataset_data(&ds, r, c));
        out.push_back(row);
    }
    oci_free_dataset(&ds);
    oci_ora_logout(&s);
    return out;
}

// (社員番号, 氏名) of every row, by 社員番号.
inline std::vector<std::pair<std::u16string, std::u16string>> Employees() {
    std::vector<std::pair<std::u16string, std::u16string>> out;
    for (auto& row : RowsOfAnotherSession(u"select 社員番号, 氏名 from 社員 order by 社員番号"))
        out.emplace_back(row[0], row[1]);
    return out;
}

} // namespace apptest
