// Every character of code page 932 written and read back through a Shift_JIS
// client in one array-bound INSERT and one query.
#include "oci_fixture.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

using namespace ocitest;

namespace {

// Code page 932 bytes as Windows writes the character they decode to, or
// empty when they decode to none.
std::string canonical(const std::string& bytes) {
    char16_t w[4];
    int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), int(bytes.size()), w, 4);
    if (n != 1) return std::string();
    char out[4];
    int m = WideCharToMultiByte(932, 0, w, 1, out, 4, nullptr, nullptr);
    return std::string(out, size_t(m > 0 ? m : 0));
}

} // namespace

TEST_F(OciTest, EveryCp932CharacterRoundTripsUnderShiftJis) {
    std::vector<std::string> sent, expected;
    for (int b = 1; b < 0x100; ++b) {
        std::string one(1, char(b));
        std::string c = canonical(one);
        if (c.empty()) continue;
        sent.push_back(one);
        expected.push_back(c);
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead > 0x9F && lead < 0xE0) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F) continue;
            std::string two{char(lead), char(trail)};
            std::string c = canonical(two);
            if (c.empty()) continue;
            sent.push_back(two);
            expected.push_back(c);
        }
    }
    ASSERT_GT(sent.size(), 9000u);

    setenv("NLS_LANG", "JAPANESE_JAPAN.JA16SJISTILDE", 1);
    Session8 s(api);
    ASSERT_EQ(s.logon("system", "manager"), 0) << s.errorText();
    ASSERT_EQ(s.exec("create table cp (id number primary key, c varchar2(4))"), 0) << s.errorText();

    // One statement, one row per character: ids and values as arrays.
    const size_t n = sent.size(), width = 3;
    std::vector<char> values(n * width, 0);
    std::vector<int> ids(n);
    for (size_t i = 0; i < n; ++i) {
        std::memcpy(&values[i * width], sent[i].data(), sent[i].size());
        ids[i] = int(i);
    }
    OCIStmt* st = nullptr;
    ASSERT_EQ(api.OCIHandleAlloc(s.env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr), 0);
    const std::string sql = "insert into cp values (:ID, :C)";
    ASSERT_EQ(api.OCIStmtPrepare(st, s.err, reinterpret_cast<const OraText*>(sql.data()), ub4(sql.size()),
                                 OCI_NTV_SYNTAX, 0),
              0);
    OCIBind* b1 = nullptr;
    OCIBind* b2 = nullptr;
    ASSERT_EQ(api.OCIBindByName(st, &b1, s.err, reinterpret_cast<const OraText*>(":ID"), 3, ids.data(),
                                sizeof(int), SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, 0),
              0);
    ASSERT_EQ(api.OCIBindByName(st, &b2, s.err, reinterpret_cast<const OraText*>(":C"), 2, values.data(),
                                sb4(width), SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, 0),
              0);
    ASSERT_EQ(api.OCIStmtExecute(s.svc, st, s.err, ub4(n), 0, nullptr, nullptr, 0), 0) << s.errorText();
    api.OCIHandleFree(st, OCI_HTYPE_STMT);

    std::vector<Row> rows;
    ASSERT_EQ(s.query("select c from cp order by id", rows), 0) << s.errorText();
    ASSERT_EQ(rows.size(), n);
    size_t bad = 0;
    for (size_t i = 0; i < n; ++i) {
        if (rows[i][0] && *rows[i][0] == expected[i]) continue;
        if (++bad <= 5) {
            char code[8];
            std::snprintf(code, sizeof code, "%02X%02X", static_cast<unsigned char>(sent[i][0]),
                          sent[i].size() > 1 ? static_cast<unsigned char>(sent[i][1]) : 0);
            ADD_FAILURE() << "code " << code << " read back as " << (rows[i][0] ? *rows[i][0] : "NULL");
        }
    }
    EXPECT_EQ(bad, 0u);
}
