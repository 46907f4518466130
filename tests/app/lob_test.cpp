// Large objects of ALL_TYPES through the view's commands: a file of every
// byte value uploaded, committed and downloaded again unchanged, the names
// the download proposes, a NULL that has nothing to download, and the
// update-SQL view.
#include "docview_fixture.h"

#include "oracle/oci_exec.h"
#include "res/dialogs4.h"
#include "tests/base/filefault.h"

namespace {

using apptest::DocViewTest;
using apptest::ExpectQuery;
using apptest::Narrow;
using oratest::Tap;
namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class LobTest : public DocViewTest {
public:
    int blob = -1, bfile = -1, clob = -1;

    void SetUp() override {
        DocViewTest::SetUp();
        LoadAllTypes();
    }
    void LoadAllTypes() {
        Load(u"ALL_TYPES");
        ASSERT_EQ(doc->m_data.GetRowCount(), 20) << BoxTexts();
        for (int c = 0; c < doc->m_data.GetColCount(); ++c) {
            const std::u16string name = doc->m_data.GetColName(c);
            if (name == u"C_BLOB") blob = c;
            if (name == u"C_BFILE") bfile = c;
            if (name == u"C_CLOB") clob = c;
        }
        ASSERT_GE(blob, 0);
        ASSERT_GE(bfile, 0);
        ASSERT_GE(clob, 0);
    }
    void Cursor(int col, int row) {
        view->m_grid.ClearSelection(0);
        view->m_grid.SetCursorCell(col, row);
        tvtest::Pump();
    }
    void Command(UINT id) {
        frame->SendMessage(WM_COMMAND, id);
        tvtest::Pump();
    }
    // The commit with Yes to both questions; the progress dialog is held by
    // the worker's first execution until it has shown; the re-query runs.
    void Commit() {
        static std::thread::id ui;
        static std::atomic<bool> armed;
        ui = std::this_thread::get_id();
        armed = false;
        apptest::WaitForKeywordLoader();
        TAP(OCIStmtExecute) = [](auto...) {
            if (std::this_thread::get_id() != ui && !armed.exchange(true))
                apptest::Control("gate OCIStmtExecute self");
        };
        tvtest::AnswerBox(IDYES);
        tvtest::ExpectDialog(u"実行中", [done = false](HWND) mutable {
            if (done) return true;
            if (!Parked()) return false;
            done = true;
            apptest::Control("gate_open");
            return true;
        });
        tvtest::AnswerBox(IDYES);
        tvtest::ExpectDialog(u"テーブル選択(検索条件設定)", [](HWND) {
            ExpectQuery();
            tvtest::Advance(10);
            return true;
        });
        Command(ID_FILE_COMMIT);
        tvtest::VerifyDialogs();
    }
    // "LOB Download..." of the cell into path: the name proposed.
    std::u16string Download(int col, int row, const fs::path& path) {
        Cursor(col, row);
        EXPECT_TRUE(IsEnabled(ID_DATA_LOB_DOWNLOAD));
        tvtest::ClearBoxes();
        tvtest::AnswerFile(Utf8ToWide(path.c_str()));
        tvtest::AnswerBox(IDOK);
        Command(ID_DATA_LOB_DOWNLOAD);
        EXPECT_EQ(BoxesCaptioned(u"MESSAGE").size(), 1u) << BoxTexts();
        if (!tvtest::Boxes().empty()) {
            EXPECT_EQ(tvtest::Boxes().back().text, u"ダウンロード完了");
        }
        const auto& requests = tvtest::FileRequests();
        if (requests.empty()) return u"<none>";
        EXPECT_EQ(requests.back().title, u"LOB Download");
        return requests.back().name;
    }
    void Upload(int col, int row, const fs::path& path) {
        Cursor(col, row);
        tvtest::AnswerFile(Utf8ToWide(path.c_str()));
        Command(ID_DATA_LOB_UPLOAD);
    }
    bool IsEnabled(UINT id) { return view->IsCommandEnabled(id); }
    std::u16string Counts() {
        char16_t buf[128] = {};
        GetMenuStringW(GetMenu(frame->m_hWnd), ID_EDIT_COUNTS, buf, 128, MF_BYCOMMAND);
        return buf;
    }
    static bool Parked() {
        auto control = reinterpret_cast<pfn_oci_standin_control>(
            reinterpret_cast<void (*)()>(GetProcAddress(g_oci_module, "oci_standin_control")));
        char reply[256];
        return control && control("gate_wait 0", reply, sizeof reply) == 0;
    }
};

TEST_F(LobTest, EveryByteValueGoesUpAndComesDownUnchanged) {
    std::string bytes(300000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    for (int v = 0; v < 256; ++v) bytes[static_cast<size_t>(v)] = static_cast<char>(v);
    const fs::path up = root / "every-byte.bin";
    std::ofstream(up, std::ios::binary) << bytes;

    Upload(blob, 0, up);
    EXPECT_EQ(Narrow(doc->m_data.GetText(0, blob)), up.string());
    Commit();
    EXPECT_EQ(doc->m_data.m_updatedCount, 0) << BoxTexts();
    const fs::path down = root / "down.bin";
    EXPECT_EQ(Download(blob, 0, down), u"") << "a BLOB proposes no name";
    EXPECT_EQ(ReadBytes(down), bytes);

    // The downloaded file into row 2, committed, comes down the same again.
    Upload(blob, 1, down);
    Commit();
    const fs::path again = root / "again.bin";
    Download(blob, 1, again);
    EXPECT_EQ(ReadBytes(again), bytes);

    // Row 3's "Hello" is its 5 bytes.
    const fs::path hello = root / "hello.bin";
    Download(blob, 2, hello);
    EXPECT_EQ(ReadBytes(hello), "Hello");
}

// A download the disk cannot hold, onto a file the user agreed to
// overwrite: the box names the chosen file, which is as it was, and nothing
// of the value is left beside it. With room the value replaces the file
// whole, with the file's permissions.
TEST_F(LobTest, ADownloadTheDiskCannotHoldKeepsTheChosenFileWhole) {
    std::string bytes(200000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 13 + i / 511) & 0xFF);
    const fs::path up = root / "value.bin";
    std::ofstream(up, std::ios::binary) << bytes;
    Upload(blob, 0, up);
    Commit();
    ASSERT_EQ(doc->m_data.m_updatedCount, 0) << BoxTexts();

    std::string old;
    for (int i = 0; old.size() < 8893; ++i) old += "earlier download " + std::to_string(i) + "\n";
    old.resize(8893);
    const fs::path down = root / "down.bin";
    std::ofstream(down, std::ios::binary) << old;
    fs::permissions(down, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    auto files = [&] {
        std::set<std::string> out;
        for (const auto& e : fs::directory_iterator(root))
            if (!e.is_directory()) out.insert(e.path().filename().string());
        return out;
    };
    const std::set<std::string> before = files();

    Cursor(blob, 0);
    tvtest::ClearBoxes();
    tvtest::AnswerFile(Utf8ToWide(down.c_str()));
    tvtest::AnswerBox(IDYES); // overwrite
    tvtest::AnswerBox(IDOK);
    {
        filefault::FileSizeLimit disk(65536);
        ASSERT_TRUE(disk.active());
        Command(ID_DATA_LOB_DOWNLOAD);
    }
    auto boxes = BoxesCaptioned(u"MESSAGE");
    ASSERT_EQ(boxes.size(), 1u) << BoxTexts();
    EXPECT_EQ(Narrow(boxes[0].text.c_str()), "ファイルが開けません(ファイル名:" + down.string() + ")\n");
    EXPECT_TRUE(ReadBytes(down) == old);
    EXPECT_EQ(files(), before);

    tvtest::ClearBoxes();
    tvtest::AnswerFile(Utf8ToWide(down.c_str()));
    tvtest::AnswerBox(IDYES);
    tvtest::AnswerBox(IDOK);
    Command(ID_DATA_LOB_DOWNLOAD);
    boxes = BoxesCaptioned(u"MESSAGE");
    ASSERT_EQ(boxes.size(), 1u) << BoxTexts();
    EXPECT_EQ(boxes[0].text, u"ダウンロード完了");
    const std::string got = ReadBytes(down);
    EXPECT_EQ(got.size(), bytes.size());
    EXPECT_TRUE(got == bytes) << "differs from byte "
                              << std::mismatch(got.begin(), got.end(), bytes.begin(), bytes.end()).first -
                                     got.begin();
    EXPECT_EQ(fs::status(down).permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(files(), before);
}

TEST_F(LobTest, NamesProposedUndoAndOtherColumns) {
    // A BFILE proposes its file name; one with directory parts only the last.
    Cursor(bfile, 0);
    tvtest::AnswerFile(u"");
    Command(ID_DATA_LOB_DOWNLOAD);
    ASSERT_FALSE(tvtest::FileRequests().empty());
    EXPECT_EQ(tvtest::FileRequests().back().name, u"readme.txt");
    EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();
    CString msg;
    ASSERT_EQ(oci_exec_sql(g_session,
                           u"update ALL_TYPES set C_BFILE = bfilename('DEMO_DIR', 'dir/x.txt') where ID = 3",
                           &msg),
              ORARC_OK)
        << Narrow(msg);
    ASSERT_EQ(oci_ora_commit(g_session, &msg), ORARC_OK) << Narrow(msg);
    Refresh();
    Cursor(bfile, 2);
    tvtest::ClearBoxes();
    tvtest::AnswerFile(u"");
    Command(ID_DATA_LOB_DOWNLOAD);
    ASSERT_FALSE(tvtest::FileRequests().empty());
    EXPECT_EQ(tvtest::FileRequests().back().name, u"x.txt");

    // An upload is one undo step, shown at once in the record's header mark
    // and the pending counts; a CLOB takes no upload.
    const fs::path file = root / "small.bin";
    std::ofstream(file, std::ios::binary) << "abc";
    const std::string before = Narrow(doc->m_data.GetText(0, blob));
    Cursor(blob, 0);
    ::UpdateWindow(view->m_grid.m_hWnd);
    const CRect first = view->m_grid.GetCellRect(blob, 0);
    auto header = [&] {
        const qtplatform::Image image = tvtest::Capture(view->m_grid.m_hWnd);
        std::vector<uint32_t> strip;
        for (int y = first.top; y < first.bottom && y < image.height; ++y)
            for (int x = 0; x < 40 && x < image.width; ++x) strip.push_back(image.At(x, y));
        return strip;
    };
    const std::vector<uint32_t> unmarked = header();
    Upload(blob, 0, file);
    EXPECT_TRUE(doc->m_data.IsCellModified(0, blob));
    EXPECT_EQ(Counts(), u" Insert:0, Update:1, Delete:0 ");
    EXPECT_NE(header(), unmarked);
    Command(ID_EDIT_UNDO);
    EXPECT_FALSE(doc->m_data.IsCellModified(0, blob));
    EXPECT_EQ(Counts(), u" Insert:0, Update:0, Delete:0 ");
    EXPECT_EQ(header(), unmarked);
    EXPECT_EQ(Narrow(doc->m_data.GetText(0, blob)), before);
    tvtest::AnswerFile(Utf8ToWide(file.c_str()));
    EXPECT_EQ(doc->LobUpload(0, clob), 0) << "the dialog is answered, the column refuses";
    Cursor(clob, 0);
    EXPECT_FALSE(IsEnabled(ID_DATA_LOB_UPLOAD));
    EXPECT_FALSE(doc->m_data.IsCellModified(0, clob));
}

TEST_F(LobTest, ANullHasNothingToDownloadAnEmptyBlobIsAnEmptyFile) {
    auto rowOf = [&](const char16_t* id) {
        for (int r = 0; r < doc->m_data.GetRowCount(); ++r)
            if (std::u16string(doc->m_data.GetText(r, 0)) == id) return r;
        return -1;
    };
    // ID 5 holds NULL in both; the command is offered, says so, and asks for no file.
    const int nulls = rowOf(u"5");
    ASSERT_GE(nulls, 0);
    for (int col : {blob, bfile}) {
        Cursor(col, nulls);
        EXPECT_TRUE(IsEnabled(ID_DATA_LOB_DOWNLOAD)) << col;
        const size_t asked = tvtest::FileRequests().size();
        tvtest::ClearBoxes();
        tvtest::AnswerBox(IDOK);
        Command(ID_DATA_LOB_DOWNLOAD);
        EXPECT_EQ(tvtest::FileRequests().size(), asked) << col;
        ASSERT_EQ(BoxesCaptioned(u"MESSAGE").size(), 1u) << BoxTexts();
        EXPECT_EQ(Narrow(tvtest::Boxes()[0].text.c_str()),
                  "値がNULLのため，ダウンロードするデータがありません");
    }
    // ID 4's empty BLOB is a value of no bytes: an empty file.
    const int empty = rowOf(u"4");
    ASSERT_GE(empty, 0);
    const fs::path down = root / "empty.bin";
    Download(blob, empty, down);
    ASSERT_TRUE(fs::exists(down));
    EXPECT_EQ(fs::file_size(down), 0u);
}

// A file the commit could not read is refused when it is chosen: the box
// names it, and the cell and the counts stay as they were.
TEST_F(LobTest, AnUploadOfAFileThatCannotBeReadIsRefusedAtOnce) {
    const std::string before = Narrow(doc->m_data.GetText(0, blob));
    for (const fs::path& path : {root / "no-such-file.bin", root}) {
        tvtest::ClearBoxes();
        Cursor(blob, 0);
        tvtest::AnswerFile(Utf8ToWide(path.c_str()));
        tvtest::AnswerBox(IDOK);
        Command(ID_DATA_LOB_UPLOAD);
        ASSERT_EQ(BoxesCaptioned(u"Error").size(), 1u) << BoxTexts();
        EXPECT_EQ(Narrow(tvtest::Boxes()[0].text.c_str()),
                  "ファイルが開けません(ファイル名:" + path.string() + ")");
        EXPECT_FALSE(doc->m_data.IsCellModified(0, blob)) << path;
        EXPECT_EQ(Narrow(doc->m_data.GetText(0, blob)), before);
        EXPECT_EQ(Counts(), u" Insert:0, Update:0, Delete:0 ");
    }
    tvtest::AnswerFile(Utf8ToWide((root / "none.bin").c_str()));
    tvtest::AnswerBox(IDOK);
    EXPECT_EQ(doc->LobUpload(0, bfile), 0);
    EXPECT_FALSE(doc->m_data.IsCellModified(0, bfile));
}

TEST_F(LobTest, UpdateSqlShowsThePendingDmlOrTheRefusal) {
    // ALL_TYPES: the model refuses (its LOB columns) in an "ERROR" box.
    ASSERT_EQ(view->m_grid.SetCellText(0, 1, u"変更", -1), 0);
    tvtest::AnswerBox(IDOK);
    Command(ID_TOOL_SHOW_UPDATE_SQL);
    auto errors = BoxesCaptioned(u"ERROR");
    ASSERT_EQ(errors.size(), 1u) << BoxTexts();
    EXPECT_EQ(errors[0].text, u"LOBデータには対応していません");
    EXPECT_EQ(errors[0].flags & 0xF0u, static_cast<UINT>(MB_ICONWARNING));

    // 社員: the pending UPDATE, read-only.
    tvtest::AnswerBox(IDYES);
    Load(u"社員");
    ASSERT_EQ(view->m_grid.SetCellText(0, 1, u"変更太郎", -1), 0);
    std::u16string text;
    tvtest::ExpectDialog(u"更新SQLを表示", [&text](HWND h) {
        HWND ed = ::GetDlgItem(h, 0);
        auto* editor = static_cast<CEditCtrl*>(CWnd::FromHandle(ed));
        text = editor->GetData()->GetAllText().GetString();
        tvtest::Type(ed, u"x");
        EXPECT_EQ(editor->GetData()->GetAllText().GetString(), text) << "read-only";
        tvtest::ClickControl(h, IDCANCEL);
        return true;
    });
    Command(ID_TOOL_SHOW_UPDATE_SQL);
    EXPECT_EQ(Narrow(text.c_str()),
              "update \"DEMO\".\"社員\" set \"氏名\" = '変更太郎' where \"社員番号\" = '1001';\r\n");
}

} // namespace
