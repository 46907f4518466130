// "データをファイルに保存..." on 社員: the file's bytes in the chosen code and
// line end, the separator by extension, the notice of characters the code
// cannot hold, and the options proposed again after a restart.
#include "docview_fixture.h"

#include <optional>
#include <utility>
#include <iconv.h>

#include "oracle/oci_exec.h"
#include "res/dialogs4.h"
#include "tests/base/filefault.h"

namespace {

using apptest::DocViewTest;
using apptest::Narrow;
namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// glibc's CP932 conversion of UTF-8 text (the reference).
std::string Cp932(const std::string& utf8) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string out(utf8.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size(), outLeft = out.size();
    char* o = out.data();
    EXPECT_NE(iconv(cd, &in, &inLeft, &o, &outLeft), static_cast<size_t>(-1)) << "at " << (in - utf8.data());
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

class ExportTest : public DocViewTest {
public:
    // The grid's rows as the file should hold them, in UTF-8.
    std::string Expected(const char* sep, const char* eol, bool quotes, bool names) {
        CEditableOraGridData& d = doc->m_data;
        auto field = [&](const char16_t* t) {
            std::string s = Narrow(t ? t : u"");
            if (!quotes) return s;
            std::string q = "\"";
            for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
            return q + "\"";
        };
        std::string out;
        if (names) {
            for (int c = 0; c < d.GetColCount(); ++c) out += (c ? sep : "") + field(d.GetColName(c));
            out += eol;
        }
        for (int r = 0; r < d.GetRowCount(); ++r) {
            for (int c = 0; c < d.GetColCount(); ++c) {
                if (c) out += sep;
                if (!d.IsNull(r, c)) out += field(d.GetText(r, c));
            }
            out += eol;
        }
        return out;
    }
    // The next export's box answer, queued after the file dialog's.
    int boxAfterFile_ = 0;
    void Export(const fs::path& path, std::function<void(HWND)> panel = {}) {
        tvtest::AnswerFile(Wide(path.string()), -1, std::move(panel));
        if (boxAfterFile_) tvtest::AnswerBox(std::exchange(boxAfterFile_, 0));
        frame->SendMessage(WM_COMMAND, ID_FILE_SAVE_DATA);
        tvtest::Pump();
    }
    static std::u16string Wide(const std::string& s) { return Utf8ToWide(s.c_str()); }
};

TEST_F(ExportTest, SjisWithCrLfQuotesAndNamesEqualsTheReference) {
    Load(u"社員");
    ASSERT_EQ(doc->m_data.GetRowCount(), 20);
    const fs::path out = root / "out.csv";
    boxAfterFile_ = IDOK;
    Export(out, [](HWND panel) {
        ASSERT_NE(panel, nullptr);
        tvtest::Choose(panel, IDC_EXT_CHAR_CODE, u"SJIS");
        tvtest::Choose(panel, IDC_EXT_LINE_END, u"CR+LF(\\r\\n)");
        if (::IsDlgButtonChecked(panel, IDC_EXT_DQUOTE) != BST_CHECKED) tvtest::Tick(panel, IDC_EXT_DQUOTE);
        if (::IsDlgButtonChecked(panel, IDC_EXT_COLUMN_NAME) != BST_CHECKED)
            tvtest::Tick(panel, IDC_EXT_COLUMN_NAME);
    });
    // A save dialog over the main window, with the panel and the overwrite prompt.
    ASSERT_FALSE(tvtest::FileRequests().empty());
    const win32bk::FileDialogRequest& asked = tvtest::FileRequests().back();
    EXPECT_TRUE(asked.save);
    EXPECT_EQ(asked.owner, frame->m_hWnd);
    const DWORD flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_ENABLETEMPLATE | OFN_PATHMUSTEXIST |
                        OFN_EXPLORER | OFN_NOREADONLYRETURN;
    EXPECT_EQ(asked.flags & flags, flags);
    ASSERT_EQ(asked.filters.size(), 3u);
    EXPECT_EQ(asked.filters[0].second, u"*.csv");
    std::string expected = Expected(",", "\r\n", true, true);
    // The one character SJIS cannot hold is written as "?".
    const std::string yoshi = "\xF0\xA0\xAE\xB7";
    ASSERT_NE(expected.find(yoshi), std::string::npos) << "社員 holds 𠮷";
    expected.replace(expected.find(yoshi), yoshi.size(), "?");
    ASSERT_EQ(expected.find(yoshi), std::string::npos);
    EXPECT_EQ(ReadBytes(out), Cp932(expected));
    auto notices = BoxesCaptioned(u"Message");
    ASSERT_EQ(notices.size(), 1u) << BoxTexts();
    EXPECT_EQ(notices[0].text, u"選択した文字コードで表せない文字が1文字あり，\"?\"で出力しました");
    EXPECT_EQ(notices[0].flags & 0xF0u, static_cast<UINT>(MB_ICONWARNING));

    // UTF-8 holds everything: no notice; the options are stored in their order.
    tvtest::ClearBoxes();
    const fs::path utf = root / "utf";
    Export(utf, [](HWND panel) {
        tvtest::Choose(panel, IDC_EXT_CHAR_CODE, u"UTF8(no signature)");
        tvtest::Choose(panel, IDC_EXT_LINE_END, u"LF(\\n)");
        tvtest::Tick(panel, IDC_EXT_DQUOTE);
    });
    // The dialog adds the default extension.
    EXPECT_EQ(ReadBytes(root / "utf.csv"), Expected(",", "\n", false, true));
    EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();
    EXPECT_EQ(GetInt(u"GRID_SAVE", u"KANJI_CODE"), 8);
    EXPECT_EQ(GetInt(u"GRID_SAVE", u"LINE_TYPE"), 2);
    EXPECT_EQ(GetInt(u"GRID_SAVE", u"PUT_DQUOTE"), 0);
    EXPECT_EQ(GetInt(u"GRID_SAVE", u"PUT_COLUMN_NAME"), 1);
}

TEST_F(ExportTest, TxtInCapitalsIsTabSeparatedAndTheModelIsExportedUnfiltered) {
    Load(u"社員");
    // The views show a filter and the swap; the file holds every row.
    int count = 0;
    CString err;
    ASSERT_EQ(doc->m_data.SetFilter(3, u"営業部", 0, 0, 0, &count, &err, 1), 0) << Narrow(err);
    doc->UpdateAllViews(nullptr, HINT_DATA_VIEW_CHANGED);
    frame->SendMessage(WM_COMMAND, ID_DATA_SWAP_ROW_COL);
    tvtest::Pump();
    PutInt(u"GRID_SAVE", u"KANJI_CODE", 8);
    PutInt(u"GRID_SAVE", u"PUT_DQUOTE", 0);
    PutInt(u"GRID_SAVE", u"PUT_COLUMN_NAME", 0);
    PutInt(u"GRID_SAVE", u"LINE_TYPE", 3);
    const fs::path out = root / "a.TXT";
    Export(out);
    EXPECT_EQ(ReadBytes(out), Expected("\t", "\r", false, false));
    EXPECT_EQ(doc->m_data.GetRowCount(), 20);

    // A file the export cannot write: one box, nothing else.
    tvtest::ClearBoxes();
    boxAfterFile_ = IDOK;
    Export("/proc/tavrelix-export.csv");
    auto errors = BoxesCaptioned(u"Error");
    ASSERT_EQ(errors.size(), 1u) << BoxTexts();
    EXPECT_NE(errors[0].text.find(u"Error: File can not open"), std::u16string::npos);
}

// A CLOB beyond its read size is written whole, as the grid and a copy show
// it; a LONG cut at its read buffer goes out as the grid holds it, and the
// export says so once.
TEST_F(ExportTest, LongValuesAreWrittenWholeAndCutOnesAreTold) {
    CString msg;
    ASSERT_EQ(oci_exec_sql(g_session, u"create table 長い値 (番号 number, 本文 clob, 備考 long)", &msg),
              ORARC_OK)
        << Narrow(msg);
    std::u16string big;
    for (int i = 0; i < 7200; ++i) big += u"あいうえおかきくけこ"[i % 10];
    const std::u16string longText(100, u'x');
    int id = 1;
    ASSERT_EQ(oci_exec_sql_bind(g_session, u"insert into 長い値 values (:X0, :X1, :X2)", &msg, nullptr,
                                nullptr, "ISS", &id, big.c_str(), longText.c_str()),
              ORARC_OK)
        << Narrow(msg);
    ASSERT_EQ(oci_exec_sql(g_session, u"insert into 長い値 values (2, '短い', 'fits')", &msg), ORARC_OK);
    ASSERT_EQ(oci_exec_sql(g_session, u"commit", &msg), ORARC_OK);
    const int saved = g_oci_long_read_size;
    g_oci_long_read_size = 21;
    SelectTable(ID_FILE_SELECT_TABLE, [&](HWND h) {
        Choose(h, u"長い値");
        apptest::ExpectQuery();
        tvtest::AnswerBox(IDOK); // the query's word on the LONG it cut
        tvtest::ClickControl(h, IDOK);
    });
    g_oci_long_read_size = saved;
    ASSERT_EQ(doc->m_data.GetRowCount(), 2) << BoxTexts();
    ASSERT_LT(std::u16string(doc->m_data.GetText(0, 1)).size(), big.size());
    tvtest::ClearBoxes();
    PutInt(u"GRID_SAVE", u"KANJI_CODE", 8);
    PutInt(u"GRID_SAVE", u"PUT_DQUOTE", 0);
    PutInt(u"GRID_SAVE", u"PUT_COLUMN_NAME", 0);
    PutInt(u"GRID_SAVE", u"LINE_TYPE", 2);
    const fs::path out = root / "long.csv";
    boxAfterFile_ = IDOK;
    Export(out);
    EXPECT_EQ(ReadBytes(out), "1," + Narrow(big.c_str()) + "," + std::string(20, 'x') + "\n2,短い,fits\n");
    auto notices = BoxesCaptioned(u"Message");
    ASSERT_EQ(notices.size(), 1u) << BoxTexts();
    EXPECT_EQ(notices[0].text, u"読み込みで切り捨てられた値が1件あり，切り捨てられたまま出力しました");
    EXPECT_EQ(notices[0].flags & 0xF0u, static_cast<UINT>(MB_ICONWARNING));
}

// The export of a table of some 100 KB onto a file the user agreed to
// overwrite, on a disk that fills up part of the way: the error is shown,
// the old file is as it was and nothing of the new one is left; the same
// export with room replaces the old file whole, with its permissions.
class FullDiskExportTest : public ExportTest {
public:
    std::string old;
    void SetUp() override {
        ExportTest::SetUp();
        CString msg;
        ASSERT_EQ(
            oci_exec_sql(g_session, u"create table 大きい出力 (番号 number(6), 本文 varchar2(1000))", &msg),
            ORARC_OK)
            << Narrow(msg);
        for (int i = 0; i < 200; ++i) {
            const std::u16string text = Wide(std::to_string(i)) + std::u16string(500, u'x');
            ASSERT_EQ(oci_exec_sql_bind(g_session, u"insert into 大きい出力 values (:X0, :X1)", &msg, nullptr,
                                        nullptr, "IS", &i, text.c_str()),
                      ORARC_OK)
                << Narrow(msg);
        }
        ASSERT_EQ(oci_exec_sql(g_session, u"commit", &msg), ORARC_OK);
        Load(u"大きい出力");
        ASSERT_EQ(doc->m_data.GetRowCount(), 200) << BoxTexts();
        PutInt(u"GRID_SAVE", u"KANJI_CODE", 8);
        PutInt(u"GRID_SAVE", u"PUT_DQUOTE", 0);
        PutInt(u"GRID_SAVE", u"PUT_COLUMN_NAME", 1);
        PutInt(u"GRID_SAVE", u"LINE_TYPE", 1);
        for (int i = 0; old.size() < 8893; ++i) old += "\"old\"," + std::to_string(i) + "\r\n";
        old.resize(8893);
    }
    // The export onto an existing file: its overwrite prompt answered Yes,
    // the box after it (if any) OK; the disk's room limited while it runs.
    void ExportOver(const fs::path& path, rlim_t room) {
        tvtest::ClearBoxes();
        tvtest::AnswerFile(Wide(path.string()));
        tvtest::AnswerBox(IDYES);
        tvtest::AnswerBox(IDOK);
        std::optional<filefault::FileSizeLimit> disk;
        if (room != RLIM_INFINITY) {
            disk.emplace(room);
            ASSERT_TRUE(disk->active());
        }
        frame->SendMessage(WM_COMMAND, ID_FILE_SAVE_DATA);
        tvtest::Pump();
    }
    // The files of a folder but the program's own folders.
    static std::set<std::string> Files(const fs::path& dir) {
        std::set<std::string> out;
        for (const auto& e : fs::directory_iterator(dir))
            if (!e.is_directory()) out.insert(e.path().filename().string());
        return out;
    }
    void ExpectError(const fs::path& path) {
        auto errors = BoxesCaptioned(u"Error");
        ASSERT_EQ(errors.size(), 1u) << BoxTexts();
        EXPECT_EQ(errors[0].text, u"Error: File can not write (" + Wide(path.string()) + u")");
        EXPECT_EQ(errors[0].flags & 0xF0u, static_cast<UINT>(MB_ICONWARNING));
    }
};

TEST_F(FullDiskExportTest, AnExportTheDiskCannotHoldKeepsTheChosenFileWhole) {
    const fs::path out = root / "export.csv";
    std::ofstream(out, std::ios::binary) << old;
    fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const std::set<std::string> before = Files(root);
    ExportOver(out, 65536);
    ExpectError(out);
    EXPECT_EQ(ReadBytes(out), old);
    EXPECT_EQ(Files(root), before);

    // With room: the whole export, the old permissions.
    ExportOver(out, RLIM_INFINITY);
    EXPECT_TRUE(BoxesCaptioned(u"Error").empty()) << BoxTexts();
    EXPECT_EQ(ReadBytes(out), Expected(",", "\r\n", false, true));
    EXPECT_GT(ReadBytes(out).size(), 100000u);
    EXPECT_EQ(fs::status(out).permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(Files(root), before);
}

// A real 64 KB disk, when the sandbox lets the test mount one.
TEST_F(FullDiskExportTest, ASmallDiskThatFillsUpKeepsTheChosenFileWhole) {
    filefault::SmallDisk small(root / "small", "64k");
    if (!small.mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
    const fs::path out = small.path() / "export.csv";
    std::ofstream(out, std::ios::binary) << old;
    ExportOver(out, RLIM_INFINITY);
    ExpectError(out);
    EXPECT_EQ(ReadBytes(out), old);
    EXPECT_EQ(filefault::Names(small.path()), std::set<std::string>{"export.csv"});
}

TEST_F(ExportTest, OptionsAreProposedAgainAfterARestartAndAnUnknownCodeIsKept) {
    Load(u"社員");
    boxAfterFile_ = IDOK; // EUC cannot hold 𠮷 either
    Export(root / "first.csv", [](HWND panel) {
        tvtest::Choose(panel, IDC_EXT_CHAR_CODE, u"EUC");
        tvtest::Choose(panel, IDC_EXT_LINE_END, u"CR(\\r)");
        tvtest::Tick(panel, IDC_EXT_COLUMN_NAME);
    });
    Exit();
    // The quit message of the closed window ends that run, as a new process
    // would start without it.
    MSG m;
    while (::PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"})) << BoxTexts();
    frame = dynamic_cast<CMainFrame*>(theApp.m_pMainWnd);
    ASSERT_NE(frame, nullptr);
    doc = dynamic_cast<CTavexDoc*>(frame->GetActiveDocument());
    ASSERT_NE(doc, nullptr);
    Load(u"社員");
    boxAfterFile_ = IDOK;
    Export(root / "second.csv", [](HWND panel) {
        EXPECT_EQ(tvtest::TextOf(::GetDlgItem(panel, IDC_EXT_CHAR_CODE)), u"EUC");
        EXPECT_EQ(tvtest::TextOf(::GetDlgItem(panel, IDC_EXT_LINE_END)), u"CR(\\r)");
        EXPECT_EQ(::IsDlgButtonChecked(panel, IDC_EXT_DQUOTE), static_cast<UINT>(BST_CHECKED));
        EXPECT_EQ(::IsDlgButtonChecked(panel, IDC_EXT_COLUMN_NAME), static_cast<UINT>(BST_UNCHECKED));
    });
    EXPECT_EQ(ReadBytes(root / "first.csv"), ReadBytes(root / "second.csv"));

    // Auto-detect (9) is for reading: saving starts on SJIS and CR LF. A code
    // the list does not hold selects nothing and is kept.
    PutInt(u"GRID_SAVE", u"KANJI_CODE", 9);
    PutInt(u"GRID_SAVE", u"LINE_TYPE", 2);
    boxAfterFile_ = IDOK;
    Export(root / "third.csv", [](HWND panel) {
        EXPECT_EQ(tvtest::TextOf(::GetDlgItem(panel, IDC_EXT_CHAR_CODE)), u"SJIS");
        EXPECT_EQ(tvtest::TextOf(::GetDlgItem(panel, IDC_EXT_LINE_END)), u"CR+LF(\\r\\n)");
    });
    EXPECT_EQ(GetInt(u"GRID_SAVE", u"KANJI_CODE"), 1);
    PutInt(u"GRID_SAVE", u"KANJI_CODE", 4);
    boxAfterFile_ = IDOK;
    Export(root / "fourth.csv", [](HWND panel) {
        EXPECT_EQ(::SendDlgItemMessageW(panel, IDC_EXT_CHAR_CODE, CB_GETCURSEL, 0, 0), CB_ERR);
    });
    EXPECT_EQ(GetInt(u"GRID_SAVE", u"KANJI_CODE"), 4);
}

// Without a start folder set, the file dialogs open in the user's home, not
// beside the program; each kind opens next where its last name was chosen.
// A start folder that is set is where they open.
TEST_F(ExportTest, FileDialogsOpenInTheHomeThenWhereTheirLastNameWasChosen) {
    Load(u"社員");
    fs::create_directories(root / "out");
    fs::create_directories(root / "start");
    auto directory = [] { return Narrow(tvtest::FileRequests().back().directory.c_str()); };
    auto macroFolder = [&] {
        tvtest::AnswerFile(u"");
        frame->SendMessage(WM_COMMAND, ID_TOOL_RUN_MACRO_FILE);
        tvtest::Pump();
        return directory();
    };
    auto uploadFolder = [&] {
        tvtest::AnswerFile(u"");
        doc->LobUpload(0, 0);
        return directory();
    };
    boxAfterFile_ = IDOK;
    Export(root / "out" / "a.csv");
    EXPECT_TRUE(fs::exists(root / "out" / "a.csv"));
    EXPECT_EQ(directory(), home.string());
    EXPECT_EQ(macroFolder(), home.string());
    EXPECT_EQ(uploadFolder(), home.string());
    Export("");
    EXPECT_EQ(directory(), (root / "out").string());
    EXPECT_EQ(macroFolder(), home.string());
    // The start folder chosen in the options.
    AppSettings.INITIAL_DIR = Wide((root / "start").string()).c_str();
    ASSERT_TRUE(SetCurrentDirectoryW(AppSettings.INITIAL_DIR));
    EXPECT_EQ(macroFolder(), (root / "start").string());
    Export("");
    EXPECT_EQ(directory(), (root / "start").string());
}

} // namespace
