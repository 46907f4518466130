// Values fetched as text: numbers at fifteen significant digits whichever way
// they are found, and UTF-8 text, dates and row ids read by a Shift_JIS client.
#include "oci_fixture.h"

#include <windows.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

using namespace ocitest;

namespace {

class FetchTextTest : public SystemSessionTest {};

// Oracle's text of a double worked out the long way: rounded to 15 significant
// digits, no exponent, no trailing zeros, no leading zero.
std::string referenceText(double v) {
    if (v == 0) return "0";
    if (std::fabs(v) < 1e15 && v == std::trunc(v)) return std::to_string(int64_t(v));
    char buf[64];
    if (std::fabs(v) >= 1e-4 && std::fabs(v) < 1e15) {
        auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed,
                               std::max(0, 14 - int(std::floor(std::log10(std::fabs(v))))));
        std::string s(buf, r.ptr);
        if (s.find('.') != std::string::npos) {
            while (s.back() == '0') s.pop_back();
            if (s.back() == '.') s.pop_back();
        }
        if (s.compare(0, 2, "0.") == 0) s.erase(0, 1);
        if (s.compare(0, 3, "-0.") == 0) s.erase(1, 1);
        return s;
    }
    return std::string(); // exponent range: not compared here
}

// Fetches the query's single column as a double and as text, row by row.
void fetchBoth(Session8& s, const std::string& sql, std::vector<double>& values,
               std::vector<std::string>& texts) {
    Api& api = s.api_;
    OCIStmt* st = nullptr;
    ASSERT_EQ(api.OCIHandleAlloc(s.env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr), 0);
    ASSERT_EQ(api.OCIStmtPrepare(st, s.err, reinterpret_cast<const OraText*>(sql.data()), ub4(sql.size()),
                                 OCI_NTV_SYNTAX, 0),
              0);
    ASSERT_EQ(api.OCIStmtExecute(s.svc, st, s.err, 0, 0, nullptr, nullptr, 0), 0) << s.errorText();
    const ub4 batch = 50;
    std::vector<double> d(batch);
    std::vector<char> t(size_t(batch) * 64);
    OCIDefine* d1 = nullptr;
    OCIDefine* d2 = nullptr;
    ASSERT_EQ(api.OCIDefineByPos(st, &d1, s.err, 1, d.data(), sizeof(double), SQLT_FLT, nullptr, nullptr,
                                 nullptr, 0),
              0);
    ASSERT_EQ(api.OCIDefineByPos(st, &d2, s.err, 2, t.data(), 64, SQLT_STR, nullptr, nullptr, nullptr, 0), 0);
    for (ub4 before = 0;;) {
        sword rc = api.OCIStmtFetch2(st, s.err, batch, OCI_FETCH_NEXT, 0, 0);
        ASSERT_TRUE(rc == 0 || rc == OCI_NO_DATA) << s.errorText();
        ub4 total = 0;
        api.OCIAttrGet(st, OCI_HTYPE_STMT, &total, nullptr, OCI_ATTR_ROW_COUNT, s.err);
        ub4 got = total - before;
        before = total;
        for (ub4 i = 0; i < got; ++i) {
            values.push_back(d[i]);
            texts.emplace_back(&t[size_t(i) * 64]);
        }
        if (rc == OCI_NO_DATA) break;
    }
    api.OCIHandleFree(st, OCI_HTYPE_STMT);
}

std::string toCp932(const std::u16string& w) {
    char out[256];
    int n = WideCharToMultiByte(932, 0, w.data(), int(w.size()), out, sizeof out, nullptr, nullptr);
    return std::string(out, size_t(n > 0 ? n : 0));
}

} // namespace

TEST_F(FetchTextTest, NumbersReadExactlyWithinFifteenDigits) {
    std::vector<std::string> inserted = {"99999.9999999999",
                                         "9.99999999999999",
                                         "0.999999999999999",
                                         "0.30000000000000004",
                                         "123456789012345.6",
                                         "12345678901234.56",
                                         "0.0001",
                                         "0.00012345678901234",
                                         "-0.5",
                                         "-1234.5",
                                         "100000000000000.5",
                                         "0.1",
                                         "1.0000000000000002",
                                         "9.5",
                                         "0.9",
                                         "2.675",
                                         "1e-5",
                                         "-99999999999999.9"};
    std::mt19937_64 rng(12345);
    for (int k = 0; k < 300; ++k) {
        // Random mantissas of 1 to 17 digits at exponents across the fixed range.
        int digits = 1 + int(rng() % 17);
        std::string m;
        for (int i = 0; i < digits; ++i) m += char('0' + (i == 0 ? 1 + rng() % 9 : rng() % 10));
        int exp = int(rng() % 20) - 4 - digits;
        inserted.push_back((rng() % 3 == 0 ? "-" : "") + m + "e" + std::to_string(exp));
    }
    ASSERT_EQ(s->exec("create table n (id number, x number)"), 0) << s->errorText();
    // More than 15 significant digits cannot be kept exactly: refused (1426), never rounded.
    auto significant = [](const std::string& v) {
        std::string d;
        for (char c : v.substr(0, v.find('e')))
            if (c >= '0' && c <= '9') d += c;
        size_t a = d.find_first_not_of('0'), b = d.find_last_not_of('0');
        return a == std::string::npos ? size_t(0) : b - a + 1;
    };
    std::vector<std::string> kept;
    int refused = 0;
    for (size_t i = 0; i < inserted.size(); ++i) {
        sword rc = s->exec("insert into n values (:X0, :X1)", {std::to_string(i), inserted[i]});
        if (significant(inserted[i]) > 15) {
            EXPECT_EQ(rc, -1) << inserted[i];
            EXPECT_EQ(s->errorCode(), 1426) << inserted[i];
            ++refused;
            continue;
        }
        ASSERT_EQ(rc, 0) << inserted[i] << ": " << s->errorText();
        kept.push_back(inserted[i]);
    }
    EXPECT_GT(refused, 10);
    std::vector<double> values;
    std::vector<std::string> texts;
    fetchBoth(*s, "select x, x from n order by id", values, texts);
    ASSERT_EQ(values.size(), kept.size());
    int compared = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        std::string want = referenceText(values[i]);
        if (want.empty()) continue;
        ++compared;
        EXPECT_EQ(texts[i], want) << kept[i];
    }
    EXPECT_GT(compared, 200);

    ASSERT_EQ(s->exec("alter session set NLS_NUMERIC_CHARACTERS = ',.'"), 0) << s->errorText();
    EXPECT_EQ(s->value("select x from n where id = 8"), "-,5");
    EXPECT_EQ(s->value("select count(*) from n where id = 4"), "0");
    EXPECT_EQ(s->value("select x from n where id = 6"), ",0001");
    EXPECT_EQ(s->value("select x from n where id = 9"), "-1234,5");
    EXPECT_EQ(s->value("select x from n where id = 0"), "99999,9999999999");
}

TEST_F(FetchTextTest, ShiftJisClientReadsUtf8Text) {
    ASSERT_EQ(s->exec("create table j (id number, t varchar2(100), d date)"), 0) << s->errorText();
    const std::u16string mixed = u"ｶﾅ漢字～①abc\u00E9😀";
    std::string utf8;
    for (char16_t c : u"ｶﾅ漢字～①abcé") {
        if (!c) break;
        char b[4];
        int n = WideCharToMultiByte(CP_UTF8, 0, &c, 1, b, 4, nullptr, nullptr);
        utf8.append(b, size_t(n));
    }
    utf8 += "\xF0\x9F\x98\x80"; // a character beyond the BMP
    ASSERT_EQ(s->exec("insert into j values (1, :X0, '2024-04-01 10:20:30')", {utf8}), 0) << s->errorText();
    ASSERT_EQ(s->exec("insert into j values (2, 'plain', '1999-12-31 23:59:59')"), 0) << s->errorText();
    ASSERT_EQ(s->exec("insert into j values (3, NULL, NULL)"), 0) << s->errorText();
    std::vector<Row> utf8Rows;
    ASSERT_EQ(s->query("select rowid, id, t, d from j order by id", utf8Rows), 0) << s->errorText();
    ASSERT_EQ(api.OCITransCommit(s->svc, s->err, 0), 0);

    setenv("NLS_LANG", "JAPANESE_JAPAN.JA16SJISTILDE", 1);
    Session8 sj(api);
    ASSERT_EQ(sj.logon("system", "manager"), 0) << sj.errorText();
    std::vector<Row> rows;
    ASSERT_EQ(sj.query("select rowid, id, t, d from j order by id", rows), 0) << sj.errorText();
    ASSERT_EQ(rows.size(), 3u);
    std::string want = toCp932(mixed);
    EXPECT_EQ(want.back(), '?') << "no mapping: the default character";
    EXPECT_EQ(rows[0][2], want);
    EXPECT_EQ(rows[1][2], "plain");
    EXPECT_FALSE(rows[2][2]);
    EXPECT_EQ(rows[0][3], "24-04-01");
    EXPECT_FALSE(rows[2][3]);
    for (size_t r = 0; r < 3; ++r) {
        EXPECT_EQ(rows[r][0], utf8Rows[r][0]) << "row ids are ASCII";
        EXPECT_EQ(rows[r][1], std::to_string(r + 1));
    }

    // Cut at a whole character of the client's bytes.
    OCIStmt* st = nullptr;
    ASSERT_EQ(api.OCIHandleAlloc(sj.env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr), 0);
    const std::string sql = "select t from j where id = 1";
    ASSERT_EQ(api.OCIStmtPrepare(st, sj.err, reinterpret_cast<const OraText*>(sql.data()), ub4(sql.size()),
                                 OCI_NTV_SYNTAX, 0),
              0);
    ASSERT_EQ(api.OCIStmtExecute(sj.svc, st, sj.err, 0, 0, nullptr, nullptr, 0), 0);
    char buf[6] = {};
    sb2 ind = 0;
    ub2 len = 0, code = 0;
    OCIDefine* d = nullptr;
    ASSERT_EQ(api.OCIDefineByPos(st, &d, sj.err, 1, buf, sizeof buf, SQLT_STR, &ind, &len, &code, 0), 0);
    EXPECT_EQ(api.OCIStmtFetch2(st, sj.err, 1, OCI_FETCH_NEXT, 0, 0), OCI_SUCCESS_WITH_INFO);
    EXPECT_EQ(std::string(buf), want.substr(0, 4)) << "two half-width kana and one double-byte character";
    EXPECT_EQ(len, 4);
    EXPECT_EQ(code, 1406);
    EXPECT_EQ(ind, sb2(want.size()));
    api.OCIHandleFree(st, OCI_HTYPE_STMT);
}
