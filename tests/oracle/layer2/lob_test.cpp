// Large objects: size labels, display texts, uploads and downloads.
#include "oracle/oci_lob.h"

#include <fcntl.h>

#include <algorithm>
#include <cstring>

#include "tests/oracle/standin_fixture.h"

namespace oratest {
namespace {

std::string Label(uint64_t n) {
    char buf[32];
    oci_lob_size_label(n, buf, sizeof buf);
    return buf;
}

OraLobCell* LobCell(const OraDataset& ds, int row, int col) {
    return reinterpret_cast<OraLobCell*>(ds.row_index[row] + ds.col_offsets[col]);
}

TEST(LobLabelTest, SizeLabels) {
    for (auto [n, label] : {std::pair<uint64_t, const char*>{1023, "1023byte"},
                            {1024, "1kbyte"},
                            {1048575, "1023kbyte"},
                            {1048576, "1Mbyte"},
                            {1073741823, "1023Mbyte"},
                            {1073741824, "1Gbyte"}})
        EXPECT_EQ(Label(n), label) << n;
}

class LobTest : public SessionTest {
public:
    void SetUp() override {
        SessionTest::SetUp();
        Exec(s, u"create table lt (id number, c clob, b blob)");
        Exec(s, u"insert into lt values (1, 'short text', '00FF10')");
        Exec(s, u"insert into lt values (2, NULL, NULL)");
        std::u16string longtext = u"insert into lt values (3, '" + std::u16string(2000, u'あ') + u"', NULL)";
        Exec(s, longtext.c_str());
    }
    std::string WriteFile(const char* name, size_t n) {
        std::string path = (home / name).string();
        std::ofstream out(path, std::ios::binary);
        for (size_t i = 0; i < n; ++i) out.put(char(i % 256));
        return path;
    }
    CString upload_msg;
    // Uploads a file into row 1's BLOB through a dataset's locator.
    int Upload(const std::string& path) {
        OraDataset ds{};
        CString msg;
        EXPECT_EQ(oci_sel_dataset(s, &ds, u"select b from lt where id = 1 for update", 10, &msg, ""),
                  ORARC_OK)
            << Narrow(msg);
        if (ds.row_count != 1) return -1;
        OraLobCell* cell = LobCell(ds, 0, 0);
        OraLobValue v{};
        v.locator = cell->locator;
        v.length = cell->length;
        v.define_type = SQLT_BLOB;
        g_calls.clear();
        int rc = oci_hlob_upload(s, &v, Utf8ToWide(path.c_str()).c_str(), &upload_msg);
        oci_free_dataset(&ds);
        return rc;
    }
    std::string Download() {
        OraDataset ds{};
        CString msg;
        EXPECT_EQ(oci_sel_dataset(s, &ds, u"select b from lt where id = 1", 10, &msg, ""), ORARC_OK);
        OraLobCell* cell = LobCell(ds, 0, 0);
        OraLobValue v{};
        v.locator = cell->locator;
        v.define_type = SQLT_BLOB;
        std::string out = (home / "down.bin").string();
        EXPECT_EQ(oci_hlob_download(&v, Utf8ToWide(out.c_str()).c_str(), &msg), ORARC_OK) << Narrow(msg);
        oci_free_dataset(&ds);
        return ReadFile(out);
    }
};

TEST_F(LobTest, UploadPiecesAndDownloadRoundTrip) {
    TAP(OCILobWrite) = [](auto, auto, auto, auto, auto, auto, ub4 len, ub1 piece, auto...) {
        g_calls.push_back(std::to_string(piece) + ":" + std::to_string(len));
    };
    using P = std::vector<std::string>;
    ASSERT_EQ(Upload(WriteFile("a.bin", 10000)), ORARC_OK);
    EXPECT_EQ(g_calls, (P{"1:4096", "2:4096", "3:1808"}));
    EXPECT_EQ(Download(), ReadFile((home / "a.bin").string()));
    ASSERT_EQ(Upload(WriteFile("b.bin", 8192)), ORARC_OK);
    EXPECT_EQ(g_calls, (P{"1:4096", "3:4096"}));
    ASSERT_EQ(Upload(WriteFile("c.bin", 4096)), ORARC_OK);
    EXPECT_EQ(g_calls, (P{"0:4096"}));
    EXPECT_EQ(Download(), ReadFile((home / "c.bin").string()));
    ASSERT_EQ(Upload(WriteFile("d.bin", 0)), ORARC_OK);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(Download(), "");

    ASSERT_EQ(Upload(WriteFile("e.bin", 100)), ORARC_OK);
    std::string big = (home / "big.bin").string();
    int fd = open(big.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t(4294967296LL + 1)), 0);
    close(fd);
    EXPECT_EQ(Upload(big), ORARC_FAILED);
    EXPECT_EQ(upload_msg, u"エラー(oci_hlob_upload)\n");
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(Download().size(), 100u);
}

// A file that comes up short while it is read (cut to 5000 of its 10000
// bytes once the first piece is written) fails the upload with the file's
// message; no piece completes the write, and the transaction rolls back to
// the LOB as it was.
TEST_F(LobTest, ShortReadFailsTheUploadAndCompletesNothing) {
    Exec(s, u"commit");
    const std::string before = Download();
    ASSERT_EQ(before.size(), 3u);
    std::string path = WriteFile("short.bin", 10000);
    TAP(OCILobWrite) = [&](auto, auto, auto, auto, auto, auto, ub4 len, ub1 piece, auto...) {
        if (g_calls.empty()) {
            ASSERT_EQ(truncate(path.c_str(), 5000), 0);
        }
        g_calls.push_back(std::to_string(piece) + ":" + std::to_string(len));
    };
    EXPECT_EQ(Upload(path), ORARC_FILE_OPEN);
    EXPECT_EQ(Narrow(upload_msg), "ファイルが開けません(ファイル名:" + path + ")\n");
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ(g_calls.front(), "1:4096");
    for (const std::string& call : g_calls) EXPECT_NE(call.substr(0, 2), "3:") << call;
    Exec(s, u"rollback");
    EXPECT_EQ(Download(), before);
}

// Counts of the LOB calls made and the amounts each read asks for.
void CountLobCalls() {
    g_calls.clear();
    TAP(OCILobGetLength), TAP(OCILobCharSetForm), TAP(OCILobFileGetName), TAP(OCILobOpen), TAP(OCILobClose);
    TAP(OCILobRead) = [](auto, auto, auto, ub4* amt, auto...) {
        g_calls.push_back("read" + std::to_string(*amt));
    };
}

TEST_F(LobTest, BfileTextsDownloadsAndMissingFiles) {
    fs::create_directories(home / "files");
    std::ofstream(home / "files" / "here.bin", std::ios::binary) << std::string("bfile\0bytes", 11);
    Exec(s, (u"create directory FILES as '" + Utf8ToWide((home / "files").c_str()) + u"'").c_str());
    Exec(s, u"create table bf (id number, f bfile)");
    Exec(s, u"insert into bf values (1, bfilename('FILES', 'here.bin'))");
    Exec(s, u"insert into bf values (2, bfilename('FILES', 'missing.bin'))");
    Exec(s,
         (u"insert into bf values (3, bfilename('FILES', '" + std::u16string(200, u'名') + u"'))").c_str());
    OraDataset ds{};
    CString msg;
    ASSERT_EQ(oci_sel_dataset(s, &ds, u"select f from bf order by id", 10, &msg, ""), ORARC_OK)
        << Narrow(msg);
    ASSERT_EQ(ds.row_count, 3);
    EXPECT_EQ(std::u16string(LobCell(ds, 0, 0)->text), u"<BFILE dir_alias:FILES file_name:here.bin 11byte>");
    EXPECT_EQ(std::u16string(LobCell(ds, 1, 0)->text),
              u"<BFILE dir_alias:FILES file_name:missing.bin not found>");
    // 600 bytes of name: the text is cut within 512 bytes at a whole character.
    std::string cut = WideToUtf8(LobCell(ds, 2, 0)->text);
    EXPECT_LE(cut.size(), 511u);
    EXPECT_EQ(Utf8ToWide(cut.c_str()), std::u16string(LobCell(ds, 2, 0)->text));

    // Every download closes the file it opened: a good one, one to a file
    // that cannot be written, one whose read fails.
    OraLobValue v{};
    v.locator = LobCell(ds, 0, 0)->locator;
    v.define_type = SQLT_BFILEE;
    CountLobCalls();
    std::string out = (home / "bf.out").string();
    ASSERT_EQ(oci_hlob_download(&v, Utf8ToWide(out.c_str()).c_str(), &msg), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(ReadFile(out), std::string("bfile\0bytes", 11));
    std::u16string bad = Utf8ToWide((home / "nodir" / "f.out").c_str());
    EXPECT_EQ(oci_hlob_download(&v, bad.c_str(), &msg), ORARC_FILE_OPEN);
    Control("fail OCILobRead 22288 1");
    EXPECT_EQ(oci_hlob_download(&v, Utf8ToWide(out.c_str()).c_str(), &msg), ORARC_ORACLE_ERROR);
    EXPECT_GE(msg.Find(u"ORA-22288"), 0) << Narrow(msg);
    EXPECT_EQ(Calls("OCILobOpen"), 3);
    EXPECT_EQ(Calls("OCILobClose"), 3);
    oci_free_dataset(&ds);

    // A BLOB is read without being opened.
    g_calls.clear();
    EXPECT_EQ(Download(), std::string("\x00\xFF\x10", 3));
    EXPECT_EQ(Calls("OCILobOpen") + Calls("OCILobClose"), 0);
}

// A new user's demo (no TNS_ADMIN, an empty data folder: the first logon
// makes it): its BFILEs are there and download byte for byte.
TEST_F(Layer2Test, TheDemosBfilesDownloadForANewUser) {
    unsetenv("TNS_ADMIN");
    OraSession* demo = nullptr;
    CString msg;
    ASSERT_EQ(oci_login2(&demo, u"DEMO", u"demo", u"DEMO", nullptr, 0, &msg, nullptr), ORARC_OK)
        << Narrow(msg);
    sessions.push_back(demo);
    g_session = demo;
    const fs::path files = home / "data" / "tavrelix" / "oci" / "demo" / "files";
    OraDataset ds{};
    ASSERT_EQ(oci_sel_dataset(demo, &ds, u"select C_BFILE from ALL_TYPES where ID in (1, 2) order by ID", 10,
                              &msg, ""),
              ORARC_OK)
        << Narrow(msg);
    ASSERT_EQ(ds.row_count, 2);
    const std::string text = "BFILE のサンプルです。\n";
    EXPECT_EQ(WideToUtf8(LobCell(ds, 0, 0)->text),
              "<BFILE dir_alias:DEMO_DIR file_name:readme.txt " + std::to_string(text.size()) + "byte>");
    EXPECT_EQ(std::u16string(LobCell(ds, 1, 0)->text),
              u"<BFILE dir_alias:DEMO_DIR file_name:missing.txt not found>");
    OraLobValue v{};
    v.locator = LobCell(ds, 0, 0)->locator;
    v.define_type = SQLT_BFILEE;
    const fs::path out = home / "readme.out";
    ASSERT_EQ(oci_hlob_download(&v, Utf8ToWide(out.c_str()).c_str(), &msg), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(ReadFile(out), text);
    EXPECT_EQ(ReadFile(files / "readme.txt"), text);
    oci_free_dataset(&ds);
}

TEST_F(LobTest, DisplayTextsFlagsAndTheClobBudget) {
    CountLobCalls();
    OraDataset ds{};
    CString msg;
    ASSERT_EQ(oci_sel_dataset(s, &ds, u"select b from lt where id = 2", 10, &msg, ""), ORARC_OK)
        << Narrow(msg);
    ASSERT_EQ(ds.row_count, 1);
    EXPECT_EQ(LobCell(ds, 0, 0)->null_flag, 1);
    EXPECT_EQ(LobCell(ds, 0, 0)->text, g_ora_empty_text);
    EXPECT_TRUE(g_calls.empty()); // a NULL costs no client call
    oci_free_dataset(&ds);

    // A read size of 4096 under UTF-8 asks for (4096 - 1) / 4 characters.
    g_oci_clob_read_size = 4096;
    ASSERT_EQ(oci_sel_dataset(s, &ds, u"select c, b from lt order by id", 100, &msg, ""), ORARC_OK)
        << Narrow(msg);
    ASSERT_EQ(ds.row_count, 3);
    EXPECT_EQ(Calls("read1023"), 2);
    EXPECT_EQ(std::u16string(LobCell(ds, 0, 0)->text), u"short text");
    EXPECT_EQ(LobCell(ds, 0, 0)->complete_flag, 1);
    EXPECT_EQ(std::u16string(LobCell(ds, 0, 1)->text), u"<BLOB 3byte>");
    EXPECT_EQ(LobCell(ds, 1, 1)->null_flag, 1);
    EXPECT_EQ(std::u16string(LobCell(ds, 2, 0)->text), std::u16string(1023, u'あ'));
    EXPECT_EQ(LobCell(ds, 2, 0)->complete_flag, 0);
    EXPECT_EQ(LobCell(ds, 2, 0)->length, 2000u);
    // The copied locators outlive the cursor.
    ub4 len = 0;
    ASSERT_EQ(g_real.OCILobGetLength(s->svc, s->err, LobCell(ds, 0, 1)->locator, &len), OCI_SUCCESS);
    EXPECT_EQ(len, 3u);
    oci_free_dataset(&ds);
}

TEST_F(LobTest, Oracle7CallsRefuseLobColumnsButDefineTheTable) {
    ASSERT_EQ(oci_ora_commit(s, nullptr), ORARC_OK);
    OraSession* s7 = Logon(1);
    ASSERT_NE(s7, nullptr);
    TAP(oexfet);
    OraDataset ds{};
    CString msg;
    EXPECT_EQ(oci_sel_dataset(s7, &ds, u"select id, c from lt", 10, &msg, ""), ORARC_UNSUPPORTED_TYPE);
    EXPECT_EQ(msg, u"サポートしていないデータ型です(項目名:C, データ型:112)\n");
    EXPECT_EQ(Calls("oexfet"), 0);
    EXPECT_EQ(ds.row_count, 0);
    oci_free_dataset(&ds);
    EXPECT_EQ(oci_sel_dataset(s7, &ds, u"select b from lt", 10, &msg, ""), ORARC_UNSUPPORTED_TYPE);
    EXPECT_EQ(msg, u"サポートしていないデータ型です(項目名:B, データ型:113)\n");
    oci_free_dataset(&ds);

    OraTableDef def{};
    ASSERT_EQ(oci_get_table_def(s7, &def, u"lt", &msg), ORARC_OK) << Narrow(msg);
    ASSERT_EQ(def.col_count, 3);
    EXPECT_EQ(std::u16string(def.columns[1].wtype_text), u"CLOB");
    EXPECT_EQ(std::u16string(def.columns[2].wtype_text), u"BLOB");
    free(def.columns);
    // The session goes on with plain columns.
    ASSERT_EQ(oci_sel_dataset(s7, &ds, u"select id from lt order by id", 10, &msg, ""), ORARC_OK);
    EXPECT_EQ(ds.row_count, 3);
    EXPECT_EQ(Calls("oexfet"), 1);
    oci_free_dataset(&ds);
}

// A client whose BLOB is generated piece by piece, never held whole.
struct GeneratedLob {
    uint64_t size = 0;
    uint64_t pos = 0;
    uint64_t limit = 0; // bytes the read in progress may still deliver
    bool reading = false;
    uint64_t served = 0;
    int calls = 0;
    sword last = OCI_ERROR;
    int opens = 0, closes = 0;
};
GeneratedLob* g_gen = nullptr;

sword GeneratedRead(OCISvcCtx*, OCIError*, OCILobLocator*, ub4* amt, ub4 offset, dvoid* buf, ub4 bufl, dvoid*,
                    OCICallbackLobRead, ub2, ub1) {
    GeneratedLob& g = *g_gen;
    ++g.calls;
    if (!g.reading) {
        g.pos = offset - 1;
        g.limit = *amt ? *amt : UINT64_MAX; // amount 0 streams to the end
        g.reading = true;
    }
    uint64_t left = std::min(g.size - g.pos, g.limit);
    ub4 n = ub4(std::min<uint64_t>(left, bufl));
    std::memset(buf, int(g.pos >> 12), n);
    g.pos += n;
    g.limit -= n;
    g.served += n;
    *amt = n;
    g.last = n == left ? OCI_SUCCESS : OCI_NEED_DATA;
    if (g.last == OCI_SUCCESS) g.reading = false;
    return g.last;
}

uint64_t BytesWritten() {
    std::ifstream io("/proc/self/io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value)
        if (key == "wchar:") return value;
    return 0;
}

TEST(LobStreamTest, DownloadOfMoreThanOneGibibyteReachesTheEnd) {
    OciEntryPoints saved = g_oci;
    GeneratedLob gen;
    gen.size = 1073741824ULL + 5;
    g_gen = &gen;
    OraSession session{};
    g_session = &session;
    g_oci.OCILobRead = GeneratedRead;
    g_oci.OCILobOpen = [](OCISvcCtx*, OCIError*, OCILobLocator*, ub1) {
        ++g_gen->opens;
        return sword(OCI_SUCCESS);
    };
    g_oci.OCILobClose = [](OCISvcCtx*, OCIError*, OCILobLocator*) {
        ++g_gen->closes;
        return sword(OCI_SUCCESS);
    };
    for (int16_t type : {int16_t(SQLT_BLOB), int16_t(SQLT_BFILEE)}) {
        SCOPED_TRACE(type);
        gen.served = 0;
        gen.calls = 0;
        OraLobValue v{};
        v.define_type = type;
        CString msg;
        uint64_t before = BytesWritten();
        ASSERT_EQ(oci_hlob_download(&v, u"/dev/null", &msg), ORARC_OK) << Narrow(msg);
        uint64_t written = BytesWritten() - before;
        EXPECT_EQ(gen.served, gen.size);
        EXPECT_EQ(gen.last, OCI_SUCCESS);
        EXPECT_EQ(uint64_t(gen.calls), (gen.size + 4095) / 4096);
        if (before) {
            EXPECT_GE(written, gen.size);
        }
    }
    EXPECT_EQ(gen.opens, 1);
    EXPECT_EQ(gen.closes, 1);
    g_session = nullptr;
    g_gen = nullptr;
    g_oci = saved;
}

} // namespace
} // namespace oratest
