// Large objects: size labels, display texts, uploads and downloads.
#include "oracle/oci_lob.h"

#include <fcntl.h>

#include "layer2_fixture.h"

namespace layer2 {
namespace {

struct Write {
    unsigned piece;
    unsigned bytes;
};
std::vector<Write> g_writes;

std::string Label(uint64_t n) {
    char buf[32];
    oci_lob_size_label(n, buf, sizeof buf);
    return buf;
}

TEST(LobLabelTest, SizeLabels) {
    EXPECT_EQ(Label(1023), "1023byte");
    EXPECT_EQ(Label(1024), "1kbyte");
    EXPECT_EQ(Label(1048575), "1023kbyte");
    EXPECT_EQ(Label(1048576), "1Mbyte");
    EXPECT_EQ(Label(1073741823), "1023Mbyte");
    EXPECT_EQ(Label(1073741824), "1Gbyte");
}

class LobTest : public Layer2Test {
public:
    OraSession* s = nullptr;
    void SetUp() override {
        Layer2Test::SetUp();
        g_writes.clear();
        s = Logon(0);
        ASSERT_NE(s, nullptr);
        g_session = s;
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
    static std::string ReadAll(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Uploads a file into row 1's BLOB through a dataset's locator.
    int Upload(const std::string& path) {
        OraDataset ds{};
        CString msg;
        EXPECT_EQ(oci_sel_dataset(s, &ds, u"select b from lt where id = 1 for update", 10, &msg, ""),
                  ORARC_OK)
            << Narrow(msg);
        if (ds.row_count != 1) return -1;
        auto* cell = reinterpret_cast<OraLobCell*>(ds.row_index[0] + ds.col_offsets[0]);
        OraLobValue v{};
        v.locator = cell->locator;
        v.length = cell->length;
        v.define_type = SQLT_BLOB;
        g_writes.clear();
        int rc = oci_hlob_upload(s, &v, Utf8ToWide(path.c_str()).c_str(), &msg);
        oci_free_dataset(&ds);
        return rc;
    }
    std::string Download() {
        OraDataset ds{};
        CString msg;
        EXPECT_EQ(oci_sel_dataset(s, &ds, u"select b from lt where id = 1", 10, &msg, ""), ORARC_OK);
        auto* cell = reinterpret_cast<OraLobCell*>(ds.row_index[0] + ds.col_offsets[0]);
        OraLobValue v{};
        v.locator = cell->locator;
        v.define_type = SQLT_BLOB;
        std::string out = (home / "down.bin").string();
        EXPECT_EQ(oci_hlob_download(&v, Utf8ToWide(out.c_str()).c_str(), &msg), ORARC_OK) << Narrow(msg);
        oci_free_dataset(&ds);
        return ReadAll(out);
    }
};

TEST_F(LobTest, DisplayTextsAndFlags) {
    g_oci_clob_read_size = 41;
    OraDataset ds{};
    CString msg;
    ASSERT_EQ(oci_sel_dataset(s, &ds, u"select c, b from lt order by id", 100, &msg, ""), ORARC_OK)
        << Narrow(msg);
    ASSERT_EQ(ds.row_count, 3);
    auto cell = [&](int r, int k) {
        return reinterpret_cast<OraLobCell*>(ds.row_index[r] + ds.col_offsets[k]);
    };
    EXPECT_EQ(std::u16string(cell(0, 0)->text), u"short text");
    EXPECT_EQ(cell(0, 0)->complete_flag, 1);
    EXPECT_EQ(std::u16string(cell(0, 1)->text), u"<BLOB 3byte>");
    EXPECT_EQ(cell(1, 1)->null_flag, 1);
    EXPECT_EQ(cell(1, 1)->text[0], 0);
    // (41 - 1) / 4 characters under UTF-8.
    EXPECT_EQ(std::u16string(cell(2, 0)->text), std::u16string(10, u'あ'));
    EXPECT_EQ(cell(2, 0)->complete_flag, 0);
    EXPECT_EQ(cell(2, 0)->length, 2000u);
    // The copied locators outlive the cursor.
    ub4 len = 0;
    ASSERT_EQ(g_oci.OCILobGetLength(s->svc, s->err, cell(0, 1)->locator, &len), OCI_SUCCESS);
    EXPECT_EQ(len, 3u);
    oci_free_dataset(&ds);
}

TEST_F(LobTest, UploadPiecesAndDownloadRoundTrip) {
    g_oci.OCILobWrite = [](OCISvcCtx* svc, OCIError* err, OCILobLocator* loc, ub4* amt, ub4 off, dvoid* buf,
                           ub4 len, ub1 piece, dvoid* ctx, OCICallbackLobWrite cb, ub2 csid, ub1 csfrm) {
        g_writes.push_back({piece, len});
        return g_real.OCILobWrite(svc, err, loc, amt, off, buf, len, piece, ctx, cb, csid, csfrm);
    };
    auto pieces = [] {
        std::vector<std::pair<unsigned, unsigned>> v;
        for (auto& w : g_writes) v.emplace_back(w.piece, w.bytes);
        return v;
    };
    using P = std::vector<std::pair<unsigned, unsigned>>;
    ASSERT_EQ(Upload(WriteFile("a.bin", 10000)), ORARC_OK);
    EXPECT_EQ(pieces(), (P{{1, 4096}, {2, 4096}, {3, 1808}}));
    std::string expected = ReadAll((home / "a.bin").string());
    EXPECT_EQ(Download(), expected);
    ASSERT_EQ(Upload(WriteFile("b.bin", 8192)), ORARC_OK);
    EXPECT_EQ(pieces(), (P{{1, 4096}, {3, 4096}}));
    ASSERT_EQ(Upload(WriteFile("c.bin", 4096)), ORARC_OK);
    EXPECT_EQ(pieces(), (P{{0, 4096}}));
    EXPECT_EQ(Download(), ReadAll((home / "c.bin").string()));
    ASSERT_EQ(Upload(WriteFile("d.bin", 0)), ORARC_OK);
    EXPECT_TRUE(pieces().empty());
    EXPECT_EQ(Download(), "");

    ASSERT_EQ(Upload(WriteFile("e.bin", 100)), ORARC_OK);
    std::string big = (home / "big.bin").string();
    int fd = open(big.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t(4294967296LL + 1)), 0);
    close(fd);
    CString msg;
    EXPECT_EQ(Upload(big), ORARC_FAILED);
    EXPECT_TRUE(pieces().empty());
    EXPECT_EQ(Download().size(), 100u);
}

} // namespace
} // namespace layer2

namespace layer2 {
namespace {

TEST_F(LobTest, BfileTextsDownloadAndMissingFiles) {
    fs::create_directories(home / "files");
    std::ofstream(home / "files" / "here.bin", std::ios::binary) << std::string("bfile\0bytes", 11);
    std::u16string dir = u"create directory FILES as '" + Utf8ToWide((home / "files").c_str()) + u"'";
    Exec(s, dir.c_str());
    Exec(s, u"create table bf (id number, f bfile)");
    Exec(s, u"insert into bf values (1, bfilename('FILES', 'here.bin'))");
    Exec(s, u"insert into bf values (2, bfilename('FILES', 'missing.bin'))");
    std::u16string long_name =
        u"insert into bf values (3, bfilename('FILES', '" + std::u16string(200, u'名') + u"'))";
    Exec(s, long_name.c_str());
    OraDataset ds{};
    CString msg;
    ASSERT_EQ(oci_sel_dataset(s, &ds, u"select f from bf order by id", 10, &msg, ""), ORARC_OK)
        << Narrow(msg);
    ASSERT_EQ(ds.row_count, 3);
    auto cell = [&](int r) { return reinterpret_cast<OraLobCell*>(ds.row_index[r] + ds.col_offsets[0]); };
    EXPECT_EQ(std::u16string(cell(0)->text), u"<BFILE dir_alias:FILES file_name:here.bin 11byte>");
    EXPECT_EQ(std::u16string(cell(1)->text), u"<BFILE dir_alias:FILES file_name:missing.bin not found>");
    // 600 bytes of name: the text is cut within 512 bytes at a whole character.
    std::string cut = WideToUtf8(cell(2)->text);
    EXPECT_LE(cut.size(), 511u);
    EXPECT_EQ(Utf8ToWide(cut.c_str()), std::u16string(cell(2)->text));
    OraLobValue v{};
    v.locator = cell(0)->locator;
    v.define_type = SQLT_BFILEE;
    std::string out = (home / "bf.out").string();
    ASSERT_EQ(oci_hlob_download(&v, Utf8ToWide(out.c_str()).c_str(), &msg), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(ReadAll(out), std::string("bfile\0bytes", 11));
    oci_free_dataset(&ds);
}

} // namespace
} // namespace layer2
