// 社員 as another session sees it: a logon of its own, so that only what the
// program committed shows.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app_fixture.h"
#include "oracle/oci_api.h"

namespace apptest {

// (社員番号, 氏名) of every row, by 社員番号.
inline std::vector<std::pair<std::u16string, std::u16string>> Employees() {
    std::vector<std::pair<std::u16string, std::u16string>> out;
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
    EXPECT_EQ(oci_sel_dataset(s, &ds, u"select 社員番号, 氏名 from 社員 order by 社員番号", 100, &msg, ""),
              ORARC_OK)
        << Narrow(msg);
    for (int r = 0; r < ds.row_count; ++r)
        out.emplace_back(oci_get_dataset_data(&ds, r, 0), oci_get_dataset_data(&ds, r, 1));
    oci_free_dataset(&ds);
    oci_ora_logout(&s);
    return out;
}

} // namespace apptest
