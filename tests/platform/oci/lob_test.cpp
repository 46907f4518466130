// LOB locators: defines, lengths, piecewise reads and writes, BFILE names.
#include "oci_fixture.h"

#include <cstring>
#include <fstream>

using namespace ocitest;

namespace {

class LobTest : public OciTest {
protected:
    void open(const char* nls) {
        setenv("NLS_LANG", nls, 1);
        s = std::make_unique<Session8>(api);
        ASSERT_EQ(s->logon("system", "manager"), 0) << s->errorText();
        ASSERT_EQ(s->exec("create table docs (id number(4) primary key, c clob, b blob, f bfile)"), 0);
        std::string dir = (home->dir / "files").string();
        std::filesystem::create_directories(dir);
        std::ofstream(dir + "/present.txt") << "hello";
        ASSERT_EQ(s->exec("create or replace directory DOC_DIR as '" + dir + "'"), 0)
            << s->errorText() << s->lastOffset();
        ASSERT_EQ(s->exec("insert into docs values (1, empty_clob(), empty_blob(), bfilename('DOC_DIR', "
                          "'present.txt'))"),
                  0)
            << s->errorText();
        ASSERT_EQ(s->exec("insert into docs values (2, NULL, NULL, bfilename('DOC_DIR', 'missing.txt'))"), 0);
        ASSERT_EQ(s->exec("commit"), 0);
        for (int k = 0; k < 3; ++k)
            api.OCIDescriptorAlloc(s->env, reinterpret_cast<void**>(&loc[k]),
                                   k == 2 ? OCI_DTYPE_FILE : OCI_DTYPE_LOB, 0, nullptr);
        api.OCIHandleAlloc(s->env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    }
    void TearDown() override {
        if (s) {
            api.OCIHandleFree(st, OCI_HTYPE_STMT);
            for (auto* l : loc) api.OCIDescriptorFree(l, l == loc[2] ? OCI_DTYPE_FILE : OCI_DTYPE_LOB);
        }
        s.reset();
        OciTest::TearDown();
    }
    // Selects one row's three LOBs into the locators.
    sword select(const std::string& sql) {
        api.OCIStmtPrepare(st, s->err, reinterpret_cast<const OraText*>(sql.data()), ub4(sql.size()), 1, 0);
        sword r = api.OCIStmtExecute(s->svc, st, s->err, 0, 0, nullptr, nullptr, 0);
        if (r != 0) return r;
        const ub2 types[] = {SQLT_CLOB, SQLT_BLOB, SQLT_BFILEE};
        for (ub4 k = 0; k < 3; ++k) {
            OCIDefine* d = nullptr;
            api.OCIDefineByPos(st, &d, s->err, k + 1, &loc[k], -1, types[k], &ind[k], nullptr, nullptr, 0);
        }
        return api.OCIStmtFetch2(st, s->err, 1, OCI_FETCH_NEXT, 0, 0);
    }
    ub4 length(OCILobLocator* l) {
        ub4 n = 12345;
        EXPECT_EQ(api.OCILobGetLength(s->svc, s->err, l, &n), 0) << s->errorText();
        return n;
    }
    // Reads the whole CLOB with amount 0 into pieces of at most bufl bytes.
    std::vector<std::string> readAll(OCILobLocator* l, ub4 bufl) {
        std::vector<std::string> pieces;
        std::vector<char> buf(bufl);
        ub4 amount = 0;
        sword r;
        do {
            r = api.OCILobRead(s->svc, s->err, l, &amount, 1, buf.data(), bufl, nullptr, nullptr, 0,
                               SQLCS_IMPLICIT);
            if (r != 0 && r != OCI_NEED_DATA) break;
            pieces.emplace_back(buf.data(), amount);
        } while (r == OCI_NEED_DATA);
        return pieces;
    }
    std::unique_ptr<Session8> s;
    OCILobLocator* loc[3] = {};
    sb2 ind[3] = {};
    OCIStmt* st = nullptr;
};

} // namespace

TEST_F(LobTest, ClobWrittenAndReadInWholeCharacters) {
    open("JAPANESE_JAPAN.AL32UTF8");
    ASSERT_EQ(select("select c, b, f from docs where id = 1 for update"), 0) << s->errorText();
    EXPECT_EQ(ind[0], 0) << "empty, not NULL";
    EXPECT_EQ(length(loc[0]), 0u);
    std::string text;
    for (int i = 0; i < 9998; ++i) text += "あ";
    text += "𠮷";
    ub4 amount = 0;
    ASSERT_EQ(api.OCILobWrite(s->svc, s->err, loc[0], &amount, 1, text.data(), ub4(text.size()),
                              OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT),
              0)
        << s->errorText();
    EXPECT_EQ(length(loc[0]), 10000u);
    ASSERT_EQ(s->exec("commit"), 0);
    ASSERT_EQ(select("select c, b, f from docs where id = 1"), 0);
    EXPECT_EQ(length(loc[0]), 10000u);
    auto pieces = readAll(loc[0], 4096);
    std::string joined;
    for (auto& p : pieces) {
        EXPECT_LE(p.size(), 4096u);
        EXPECT_EQ(p.size() % 3, p.back() == '\xb7' && p.size() % 3 == 1 ? 1u : 0u) << "whole characters";
        joined += p;
    }
    EXPECT_EQ(joined, text);

    // A copied locator still reads after its statement is gone.
    OCILobLocator* copy = nullptr;
    api.OCIDescriptorAlloc(s->env, reinterpret_cast<void**>(&copy), OCI_DTYPE_LOB, 0, nullptr);
    ASSERT_EQ(api.OCILobLocatorAssign(s->svc, s->err, loc[0], &copy), 0);
    api.OCIHandleFree(st, OCI_HTYPE_STMT);
    api.OCIHandleAlloc(s->env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    EXPECT_EQ(length(copy), 10000u);
    boolean temporary = 1;
    api.OCILobIsTemporary(s->env, s->err, copy, &temporary);
    EXPECT_EQ(temporary, 0);
    api.OCIDescriptorFree(copy, OCI_DTYPE_LOB);
    // OCILobAssign copies a persistent locator into the caller's descriptor.
    OCILobLocator* assigned = nullptr;
    api.OCIDescriptorAlloc(s->env, reinterpret_cast<void**>(&assigned), OCI_DTYPE_LOB, 0, nullptr);
    ASSERT_EQ(api.OCILobAssign(s->env, s->err, loc[0], &assigned), 0);
    EXPECT_EQ(length(assigned), 10000u);
    api.OCIDescriptorFree(assigned, OCI_DTYPE_LOB);

    // Without the row locked a write is refused.
    amount = 1;
    EXPECT_EQ(api.OCILobWrite(s->svc, s->err, loc[0], &amount, 1, const_cast<char*>("x"), 1, OCI_ONE_PIECE,
                              nullptr, nullptr, 0, SQLCS_IMPLICIT),
              -1);
    EXPECT_EQ(s->errorCode(), 22920);
}

TEST_F(LobTest, ClobPiecesUnderShiftJis) {
    open("JAPANESE_JAPAN.JA16SJISTILDE");
    ASSERT_EQ(select("select c, b, f from docs where id = 1 for update"), 0) << s->errorText();
    std::string text;
    for (int i = 0; i < 9999; ++i) text += "\x82\xa0"; // あ in CP932
    text += "A";
    ub4 amount = 0;
    ASSERT_EQ(api.OCILobWrite(s->svc, s->err, loc[0], &amount, 1, text.data(), ub4(text.size()),
                              OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT),
              0)
        << s->errorText();
    EXPECT_EQ(length(loc[0]), 10000u);
    auto pieces = readAll(loc[0], 4095);
    std::string joined;
    for (auto& p : pieces) {
        EXPECT_LE(p.size(), 4095u);
        EXPECT_EQ(p[0], '\x82') << "no piece starts inside a character";
        joined += p;
    }
    EXPECT_EQ(joined, text);
}

TEST_F(LobTest, BlobPiecesAndFiles) {
    open("JAPANESE_JAPAN.AL32UTF8");
    ASSERT_EQ(select("select c, b, f from docs where id = 1 for update"), 0) << s->errorText();
    std::vector<char> data(10000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = char(i * 7);
    ub4 amount = 0;
    const ub4 sizes[] = {4096, 4096, 1808};
    const ub1 pieces[] = {OCI_FIRST_PIECE, OCI_NEXT_PIECE, OCI_LAST_PIECE};
    const sword want[] = {OCI_NEED_DATA, OCI_NEED_DATA, OCI_SUCCESS};
    size_t at = 0;
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(api.OCILobWrite(s->svc, s->err, loc[1], &amount, 1, data.data() + at, sizes[k], pieces[k],
                                  nullptr, nullptr, 0, 0),
                  want[k])
            << s->errorText();
        at += sizes[k];
    }
    EXPECT_EQ(length(loc[1]), 10000u);
    // A 0-byte last piece completes the write.
    EXPECT_EQ(api.OCILobWrite(s->svc, s->err, loc[1], &amount, 1, data.data(), 4096, OCI_FIRST_PIECE, nullptr,
                              nullptr, 0, 0),
              OCI_NEED_DATA);
    EXPECT_EQ(api.OCILobWrite(s->svc, s->err, loc[1], &amount, 1, data.data(), 0, OCI_LAST_PIECE, nullptr,
                              nullptr, 0, 0),
              0);
    EXPECT_EQ(api.OCILobTrim(s->svc, s->err, loc[1], 100), 0);
    EXPECT_EQ(length(loc[1]), 100u);

    // BFILEs: names, lengths, a missing file.
    EXPECT_EQ(length(loc[2]), 5u);
    char dir[32], file[32];
    std::memset(dir, 'Z', sizeof dir);
    ub2 dl = sizeof dir, fl = sizeof file;
    ASSERT_EQ(api.OCILobFileGetName(s->env, s->err, loc[2], reinterpret_cast<OraText*>(dir), &dl,
                                    reinterpret_cast<OraText*>(file), &fl),
              0);
    EXPECT_EQ(std::string(dir, dl), "DOC_DIR");
    EXPECT_EQ(dir[dl], 'Z') << "no terminator";
    EXPECT_EQ(std::string(file, fl), "present.txt");
    std::memset(dir, 'Z', sizeof dir);
    dl = 4;
    fl = sizeof file;
    EXPECT_EQ(api.OCILobFileGetName(s->env, s->err, loc[2], reinterpret_cast<OraText*>(dir), &dl,
                                    reinterpret_cast<OraText*>(file), &fl),
              -1);
    for (char c : dir) EXPECT_EQ(c, 'Z');
    ASSERT_EQ(s->exec("commit"), 0);
    ASSERT_EQ(select("select c, b, f from docs where id = 2"), 0) << s->errorText();
    EXPECT_EQ(ind[0], -1);
    ub4 n = 0;
    EXPECT_EQ(api.OCILobOpen(s->svc, s->err, loc[2], OCI_LOB_READONLY), -1);
    EXPECT_EQ(s->errorCode(), 22288);
    EXPECT_EQ(api.OCILobGetLength(s->svc, s->err, loc[2], &n), -1);
    EXPECT_EQ(s->errorCode(), 22288);
}

// A piecewise read that the caller breaks off (a download whose file could
// not be written) is over: the next read of the locator starts at its own
// offset, not where the broken one stopped.
TEST_F(LobTest, ABrokenPiecewiseReadIsOverAndTheNextStartsAfresh) {
    open("JAPANESE_JAPAN.AL32UTF8");
    ASSERT_EQ(select("select c, b, f from docs where id = 1 for update"), 0) << s->errorText();
    std::string data(10000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = char(i * 7 + i / 256);
    ub4 amount = ub4(data.size());
    ASSERT_EQ(api.OCILobWrite(s->svc, s->err, loc[1], &amount, 1, data.data(), amount, OCI_ONE_PIECE, nullptr,
                              nullptr, 0, 0),
              0)
        << s->errorText();
    char buf[4096];
    amount = 0;
    ASSERT_EQ(api.OCILobRead(s->svc, s->err, loc[1], &amount, 1, buf, sizeof buf, nullptr, nullptr, 0, 0),
              OCI_NEED_DATA);
    ASSERT_EQ(amount, 4096u);
    EXPECT_EQ(api.OCIBreak(s->svc, s->err), 0);

    std::string again;
    sword r;
    do {
        amount = 0;
        r = api.OCILobRead(s->svc, s->err, loc[1], &amount, 1, buf, sizeof buf, nullptr, nullptr, 0, 0);
        ASSERT_TRUE(r == 0 || r == OCI_NEED_DATA) << s->errorText();
        again.append(buf, amount);
    } while (r == OCI_NEED_DATA);
    EXPECT_EQ(again.size(), data.size());
    EXPECT_TRUE(again == data);

    // Unbroken, pieces go on where the last one stopped, and a finished read
    // is not continued either.
    amount = 0;
    ASSERT_EQ(api.OCILobRead(s->svc, s->err, loc[1], &amount, 1, buf, sizeof buf, nullptr, nullptr, 0, 0),
              OCI_NEED_DATA);
    EXPECT_EQ(std::string(buf, amount), data.substr(0, 4096));
    ASSERT_EQ(api.OCILobRead(s->svc, s->err, loc[1], &amount, 1, buf, sizeof buf, nullptr, nullptr, 0, 0),
              OCI_NEED_DATA);
    EXPECT_EQ(std::string(buf, amount), data.substr(4096, 4096));
}

// A CLOB of one-, two-, three- and four-byte characters (the last a surrogate
// pair, two units of the amounts) streamed in pieces of every small size:
// each piece ends on a whole character, the pieces give back the text, and a
// read from an offset for an amount of units sends the characters it names,
// a pair the amount's end cuts in two whole.
TEST_F(LobTest, ClobPiecesSplitNoCharacterOrPairAtAnyOffset) {
    open("JAPANESE_JAPAN.AL32UTF8");
    ASSERT_EQ(select("select c, b, f from docs where id = 1 for update"), 0) << s->errorText();
    const std::vector<std::string> chars = {"a",
                                            "\xc3\xa9",
                                            "\xe3\x81\x82",
                                            "\xf0\xa0\xae\xb7",
                                            "b",
                                            "\xf0\x9f\x98\x80",
                                            "\xe6\xbc\xa2",
                                            "\xc3\xbc",
                                            "\xf0\xa0\xae\xb7"};
    std::string text;
    std::vector<std::string> model; // the characters, in order
    std::vector<size_t> units;      // their UTF-16 units
    for (int round = 0; round < 7; ++round)
        for (const std::string& c : chars) {
            text += c;
            model.push_back(c);
            units.push_back(c.size() == 4 ? 2 : 1);
        }
    ub4 amount = 0;
    ASSERT_EQ(api.OCILobWrite(s->svc, s->err, loc[0], &amount, 1, text.data(), ub4(text.size()),
                              OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT),
              0)
        << s->errorText();
    size_t total = 0;
    for (size_t u : units) total += u;
    EXPECT_EQ(length(loc[0]), total);
    auto whole = [](const std::string& p) {
        // Starts on a lead byte and ends after a complete character.
        if (p.empty()) return true;
        if ((static_cast<unsigned char>(p[0]) & 0xC0) == 0x80) return false;
        size_t i = 0;
        while (i < p.size()) {
            unsigned char b = p[i];
            i += b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        }
        return i == p.size();
    };
    for (ub4 bufl = 4; bufl <= 13; ++bufl) {
        auto pieces = readAll(loc[0], bufl);
        std::string joined;
        for (auto& p : pieces) {
            EXPECT_LE(p.size(), bufl);
            EXPECT_FALSE(p.empty()) << bufl;
            EXPECT_TRUE(whole(p)) << bufl;
            joined += p;
        }
        EXPECT_EQ(joined, text) << bufl;
    }
    // An offset and an amount in units, the read in pieces of 5 bytes.
    auto expected = [&](size_t offset, size_t count) {
        size_t at = 0, k = 0;
        while (k < model.size() && at < offset - 1) at += units[k++];
        std::string out;
        for (size_t end = at + count; k < model.size() && at < end; ++k) {
            out += model[k];
            at += units[k];
        }
        return out;
    };
    for (size_t offset : {1u, 2u, 4u, 5u, 6u, 11u, 40u, 79u}) {
        for (size_t count : {1u, 3u, 4u, 9u, 30u}) {
            std::string got;
            std::vector<char> buf(5);
            ub4 n = ub4(count);
            sword r;
            int calls = 0;
            do {
                r = api.OCILobRead(s->svc, s->err, loc[0], &n, ub4(offset), buf.data(), 5, nullptr, nullptr,
                                   0, SQLCS_IMPLICIT);
                ASSERT_TRUE(r == OCI_SUCCESS || r == OCI_NEED_DATA) << s->errorText();
                got.append(buf.data(), n);
            } while (r == OCI_NEED_DATA && ++calls < 1000);
            EXPECT_EQ(got, expected(offset, count)) << "offset " << offset << " amount " << count;
        }
    }
    // A read past the end sends nothing and ends at once.
    ub4 n = 3;
    char buf[8];
    EXPECT_EQ(api.OCILobRead(s->svc, s->err, loc[0], &n, ub4(total + 5), buf, sizeof buf, nullptr, nullptr, 0,
                             SQLCS_IMPLICIT),
              OCI_SUCCESS);
    EXPECT_EQ(n, 0u);

    // Under Shift_JIS the same text comes in whole client characters, the
    // pairs and characters the code page lacks as '?'.
    ASSERT_EQ(s->exec("commit"), 0);
    s.reset();
    api.OCIHandleFree(st, OCI_HTYPE_STMT);
    setenv("NLS_LANG", "JAPANESE_JAPAN.JA16SJISTILDE", 1);
    s = std::make_unique<Session8>(api);
    ASSERT_EQ(s->logon("system", "manager"), 0) << s->errorText();
    // The environment took its descriptors with it.
    api.OCIHandleAlloc(s->env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    for (int k = 0; k < 3; ++k)
        api.OCIDescriptorAlloc(s->env, reinterpret_cast<void**>(&loc[k]),
                               k == 2 ? OCI_DTYPE_FILE : OCI_DTYPE_LOB, 0, nullptr);
    ASSERT_EQ(select("select c, b, f from docs where id = 1"), 0) << s->errorText();
    std::string sjis;
    for (int round = 0; round < 7; ++round) sjis += "a?\x82\xa0?b?\x8a\xbf??";
    for (ub4 bufl = 2; bufl <= 5; ++bufl) {
        std::string joined;
        for (auto& p : readAll(loc[0], bufl)) {
            EXPECT_LE(p.size(), bufl);
            joined += p;
        }
        EXPECT_EQ(joined, sjis) << bufl;
    }
}
