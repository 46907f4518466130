// Large objects: size labels, display texts, uploads and downloads.
#include "oracle/oci_lob.h"

#include <fcntl.h>

#include <algorithm>
#include <cstring>
#include <map>

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
    CString upload_msg;
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
        int rc = oci_hlob_upload(s, &v, Utf8ToWide(path.c_str()).c_str(), &upload_msg);
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
    EXPECT_EQ(Upload(big), ORARC_FAILED);
    EXPECT_EQ(upload_msg, u"エラー(oci_hlob_upload)\n");
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

namespace layer2 {
namespace {

// Client calls counted by name through wrappers over the stand-in's entry
// points.
std::map<std::string, int> g_count;
std::vector<ub4> g_read_amounts;

void CountLobCalls() {
    g_count.clear();
    g_read_amounts.clear();
    g_oci.OCILobGetLength = [](OCISvcCtx* svc, OCIError* err, OCILobLocator* loc, ub4* len) {
        ++g_count["OCILobGetLength"];
        return g_real.OCILobGetLength(svc, err, loc, len);
    };
    g_oci.OCILobRead = [](OCISvcCtx* svc, OCIError* err, OCILobLocator* loc, ub4* amt, ub4 off, dvoid* buf,
                          ub4 len, dvoid* ctx, OCICallbackLobRead cb, ub2 csid, ub1 csfrm) {
        ++g_count["OCILobRead"];
        g_read_amounts.push_back(*amt);
        return g_real.OCILobRead(svc, err, loc, amt, off, buf, len, ctx, cb, csid, csfrm);
    };
    g_oci.OCILobCharSetForm = [](OCIEnv* env, OCIError* err, const OCILobLocator* loc, ub1* form) {
        ++g_count["OCILobCharSetForm"];
        return g_real.OCILobCharSetForm(env, err, loc, form);
    };
    g_oci.OCILobFileGetName = [](OCIEnv* env, OCIError* err, const OCILobLocator* loc, OraText* a, ub2* al,
                                 OraText* n, ub2* nl) {
        ++g_count["OCILobFileGetName"];
        return g_real.OCILobFileGetName(env, err, loc, a, al, n, nl);
    };
    g_oci.OCILobOpen = [](OCISvcCtx* svc, OCIError* err, OCILobLocator* loc, ub1 mode) {
        ++g_count["OCILobOpen"];
        return g_real.OCILobOpen(svc, err, loc, mode);
    };
    g_oci.OCILobClose = [](OCISvcCtx* svc, OCIError* err, OCILobLocator* loc) {
        ++g_count["OCILobClose"];
        return g_real.OCILobClose(svc, err, loc);
    };
    g_oci.OCIDescriptorAlloc = [](const dvoid* parent, dvoid** desc, ub4 type, size_t extra, dvoid** mem) {
        sword r = g_real.OCIDescriptorAlloc(parent, desc, type, extra, mem);
        if (r == OCI_SUCCESS) ++g_count["alloc" + std::to_string(type)];
        return r;
    };
    g_oci.OCIDescriptorFree = [](dvoid* desc, ub4 type) {
        ++g_count["free" + std::to_string(type)];
        return g_real.OCIDescriptorFree(desc, type);
    };
}

OraLobCell* LobCell(const OraDataset& ds, int row, int col) {
    return reinterpret_cast<OraLobCell*>(ds.row_index[row] + ds.col_offsets[col]);
}

TEST_F(LobTest, NullBlobAndClobBudgetUnderUtf8) {
    CountLobCalls();
    OraDataset ds{};
    CString msg;
    ASSERT_EQ(oci_sel_dataset(s, &ds, u"select b from lt where id = 2", 10, &msg, ""), ORARC_OK)
        << Narrow(msg);
    ASSERT_EQ(ds.row_count, 1);
    EXPECT_EQ(LobCell(ds, 0, 0)->null_flag, 1);
    EXPECT_EQ(LobCell(ds, 0, 0)->text, g_ora_empty_text);
    EXPECT_TRUE(g_count.count("OCILobGetLength") == 0 && g_count.count("OCILobRead") == 0 &&
                g_count.count("OCILobCharSetForm") == 0);
    oci_free_dataset(&ds);

    // A read size of 4096 under UTF-8 asks for (4096 - 1) / 4 characters.
    g_oci_clob_read_size = 4096;
    ASSERT_EQ(oci_sel_dataset(s, &ds, u"select c from lt where id = 3", 10, &msg, ""), ORARC_OK)
        << Narrow(msg);
    ASSERT_EQ(ds.row_count, 1);
    EXPECT_EQ(g_read_amounts, (std::vector<ub4>{1023}));
    EXPECT_EQ(std::u16string(LobCell(ds, 0, 0)->text), std::u16string(1023, u'あ'));
    EXPECT_EQ(LobCell(ds, 0, 0)->complete_flag, 0);
    oci_free_dataset(&ds);
}

TEST_F(LobTest, EveryLocatorOfAFillOutlivesTheCursorAndIsFreed) {
    Exec(s, u"create table lb (id number, b blob)");
    for (int i = 0; i < 250; ++i) {
        std::string hex;
        for (int k = 0; k <= i % 7; ++k) hex += "AB";
        std::u16string sql = u"insert into lb values (" + Utf8ToWide(std::to_string(i).c_str()) + u", '" +
                             Utf8ToWide(hex.c_str()) + u"')";
        Exec(s, sql.c_str());
    }
    CountLobCalls();
    OraDataset ds{};
    CString msg;
    ASSERT_EQ(oci_sel_dataset(s, &ds, u"select b from lb order by id", 100, &msg, ""), ORARC_OK)
        << Narrow(msg);
    ASSERT_EQ(ds.row_count, 250);
    std::vector<int> blocks;
    for (OraRowBlock* b = ds.blocks; b; b = b->next) blocks.push_back(b->row_count);
    EXPECT_EQ(blocks, (std::vector<int>{100, 100, 50}));
    // The cursor's own locators are gone; the dataset holds one per row.
    EXPECT_EQ(g_count["alloc50"] - g_count["free50"], 250);
    for (int r = 0; r < 250; ++r) {
        ub4 len = 0;
        ASSERT_EQ(g_real.OCILobGetLength(s->svc, s->err, LobCell(ds, r, 0)->locator, &len), OCI_SUCCESS) << r;
        ASSERT_EQ(len, ub4(r % 7 + 1)) << r;
    }
    oci_free_dataset(&ds);
    EXPECT_EQ(g_count["alloc50"], g_count["free50"]);
}

TEST_F(LobTest, DownloadsCloseWhatTheyOpen) {
    fs::create_directories(home / "files");
    std::ofstream(home / "files" / "f.bin", std::ios::binary) << "12345";
    std::u16string dir = u"create directory FILES as '" + Utf8ToWide((home / "files").c_str()) + u"'";
    Exec(s, dir.c_str());
    Exec(s, u"create table bf (f bfile)");
    Exec(s, u"insert into bf values (bfilename('FILES', 'f.bin'))");
    OraDataset ds{};
    CString msg;
    ASSERT_EQ(oci_sel_dataset(s, &ds, u"select f from bf", 10, &msg, ""), ORARC_OK) << Narrow(msg);
    ASSERT_EQ(ds.row_count, 1);
    OraLobValue v{};
    v.locator = LobCell(ds, 0, 0)->locator;
    v.define_type = SQLT_BFILEE;
    CountLobCalls();
    std::u16string out = Utf8ToWide((home / "f.out").c_str());
    ASSERT_EQ(oci_hlob_download(&v, out.c_str(), &msg), ORARC_OK) << Narrow(msg);
    EXPECT_EQ(ReadAll((home / "f.out").string()), "12345");
    // A file that cannot be written, then a failing read.
    std::u16string bad = Utf8ToWide((home / "nodir" / "f.out").c_str());
    EXPECT_EQ(oci_hlob_download(&v, bad.c_str(), &msg), ORARC_FILE_OPEN);
    Control("fail OCILobRead 22288 1");
    EXPECT_EQ(oci_hlob_download(&v, out.c_str(), &msg), ORARC_ORACLE_ERROR);
    EXPECT_GE(msg.Find(u"ORA-22288"), 0) << Narrow(msg);
    EXPECT_EQ(g_count["OCILobOpen"], 3);
    EXPECT_EQ(g_count["OCILobClose"], 3);
    oci_free_dataset(&ds);

    // A BLOB is read without being opened.
    g_count.clear();
    EXPECT_EQ(Download(), std::string("\x00\xFF\x10", 3));
    EXPECT_EQ(g_count["OCILobOpen"], g_count["OCILobClose"]);
}

TEST_F(LobTest, Oracle7CallsRefuseLobColumnsButDefineTheTable) {
    ASSERT_EQ(oci_ora_commit(s, nullptr), ORARC_OK);
    OraSession* s7 = Logon(1);
    ASSERT_NE(s7, nullptr);
    g_count.clear();
    g_oci.oexfet = [](Cda_Def* c, ub4 n, sword cancel, sword exact) {
        ++g_count["oexfet"];
        return g_real.oexfet(c, n, cancel, exact);
    };
    OraDataset ds{};
    CString msg;
    EXPECT_EQ(oci_sel_dataset(s7, &ds, u"select id, c from lt", 10, &msg, ""), ORARC_UNSUPPORTED_TYPE);
    EXPECT_EQ(msg, u"サポートしていないデータ型です(項目名:C, データ型:112)\n");
    EXPECT_EQ(g_count["oexfet"], 0);
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
    EXPECT_EQ(g_count["oexfet"], 1);
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
} // namespace layer2
