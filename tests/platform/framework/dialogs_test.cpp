// Common dialogs through the test answers: names, extensions, refusals and
// the overwrite question, the folder browser's callback, custom colours and
// the font dialog's untouched fields.
#include <filesystem>
#include <fstream>

#include "sdi_fixture.h"
#include "win32/filepanel.h"

namespace {

namespace fs = std::filesystem;

class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        tvtest::Init();
        tvtest::ClearBoxes();
        tvtest::ClearDialogs();
        dir_ = fs::temp_directory_path() / ("tavrelix-dlg-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        tvtest::ClearDialogs();
        fs::remove_all(dir_);
    }
    std::u16string At(const char* name) const { return Utf8ToWide((dir_ / name).c_str()); }
    fs::path dir_;
};

TEST_F(DialogsTest, ANameWithoutExtensionTakesTheFiltersOrTheDefault) {
    CFileDialog dlg(FALSE, u"csv", nullptr, OFN_OVERWRITEPROMPT,
                    u"Text Files (*.txt)|*.txt|All Files (*.*)|*.*||");
    tvtest::AnswerFile(At("out"));
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(std::u16string(dlg.GetPathName()), At("out.txt"));
    EXPECT_EQ(std::u16string(dlg.GetFileExt()), u"txt");
    ASSERT_EQ(tvtest::FileRequests().size(), 1u);
    EXPECT_TRUE(tvtest::FileRequests()[0].save);
    ASSERT_EQ(tvtest::FileRequests()[0].filters.size(), 2u);
    EXPECT_EQ(tvtest::FileRequests()[0].filters[0].second, u"*.txt");

    // "*.*" is no extension: the default one.
    CFileDialog all(FALSE, u"csv", nullptr, 0, u"Text Files (*.txt)|*.txt|All Files (*.*)|*.*||");
    tvtest::AnswerFile(At("out"), 1);
    ASSERT_EQ(all.DoModal(), IDOK);
    EXPECT_EQ(std::u16string(all.GetPathName()), At("out.csv"));
    EXPECT_EQ(all.m_ofn.nFilterIndex, 2u);
    EXPECT_EQ(win32bk::WithDefaultExtension(u"a.b", u"*.txt", u"csv"), u"a.b");
    EXPECT_EQ(win32bk::WithDefaultExtension(u"a", u"*.txt;*.csv", u".dat"), u"a.dat");
    EXPECT_EQ(win32bk::WithDefaultExtension(u"a", u"*.*", u""), u"a");
}

TEST_F(DialogsTest, NoToOverwritingTakesTheNextName) {
    std::ofstream(dir_ / "exists.txt") << "x";
    CFileDialog dlg(FALSE, u"txt", nullptr, OFN_OVERWRITEPROMPT, u"Text Files (*.txt)|*.txt||");
    tvtest::AnswerFile(At("exists.txt"));
    tvtest::AnswerBox(IDNO);
    tvtest::AnswerFile(At("fresh"));
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(std::u16string(dlg.GetPathName()), At("fresh.txt"));
    ASSERT_EQ(tvtest::Boxes().size(), 1u);
    EXPECT_NE(tvtest::Boxes()[0].text.find(u"exists.txt"), std::u16string::npos);
    EXPECT_EQ(tvtest::Boxes()[0].flags & 0x0F, static_cast<UINT>(MB_YESNO));
    // The second showing offers the refused name again.
    ASSERT_EQ(tvtest::FileRequests().size(), 2u);
    EXPECT_EQ(tvtest::FileRequests()[1].name, u"exists.txt");

    // Yes keeps it.
    tvtest::ClearBoxes();
    tvtest::AnswerFile(At("exists.txt"));
    tvtest::AnswerBox(IDYES);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(std::u16string(dlg.GetPathName()), At("exists.txt"));
}

TEST_F(DialogsTest, OpeningRefusesMissingFilesAndPathsWithAMessage) {
    std::ofstream(dir_ / "there.sql") << "select 1 from dual";
    WCHAR file[512] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFile = file;
    ofn.nMaxFile = 512;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    std::u16string filter = std::u16string(u"SQL (*.sql)\0*.sql\0\0", 20);
    ofn.lpstrFilter = filter.c_str();
    tvtest::AnswerFile(At("missing.sql"));
    tvtest::AnswerBox(IDOK);
    tvtest::AnswerFile(Utf8ToWide((dir_ / "nodir" / "x.sql").c_str()));
    tvtest::AnswerBox(IDOK);
    tvtest::AnswerFile(At("there"));
    ASSERT_TRUE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(std::u16string(file), At("there.sql"));
    EXPECT_EQ(std::u16string(file + ofn.nFileOffset), u"there.sql");
    ASSERT_EQ(tvtest::Boxes().size(), 2u);
    EXPECT_NE(tvtest::Boxes()[0].text.find(u"ファイルが見つかりません"), std::u16string::npos);
    EXPECT_NE(tvtest::Boxes()[1].text.find(u"パスが存在しません"), std::u16string::npos);
    // Cancel.
    tvtest::AnswerFile(u"");
    EXPECT_FALSE(GetOpenFileNameW(&ofn));
}

// A dialog opens in the folder it is given, the current one when it is given
// none; once one of its kind (filter and default extension) was confirmed, the
// next opens in the folder then chosen while it is given the same folder. A
// cancel, another kind or another folder given leaves that memory alone.
TEST_F(DialogsTest, EachKindOfFileDialogOpensWhereItsLastNameWasChosen) {
    fs::create_directories(dir_ / "start");
    fs::create_directories(dir_ / "chosen");
    fs::create_directories(dir_ / "other");
    const std::u16string start = At("start"), chosen = At("chosen"), other = At("other");
    const fs::path cwd = fs::current_path();
    fs::current_path(dir_ / "start");
    auto run = [&](const char16_t* filter, const char16_t* folder, const std::u16string& answer) {
        CFileDialog dlg(FALSE, u"csv", nullptr, 0, filter);
        if (folder) dlg.m_ofn.lpstrInitialDir = folder;
        tvtest::AnswerFile(answer);
        dlg.DoModal();
        return tvtest::FileRequests().back().directory;
    };
    const char16_t* csv = u"CSV Files (*.csv)|*.csv||";
    const char16_t* txt = u"Text Files (*.txt)|*.txt||";
    EXPECT_EQ(run(csv, nullptr, u""), start) << "the current folder";
    EXPECT_EQ(run(csv, nullptr, chosen + u"/a.csv"), start) << "a cancel is not remembered";
    EXPECT_EQ(run(csv, nullptr, u""), chosen);
    EXPECT_EQ(run(csv, start.c_str(), u""), chosen) << "the current folder, given";
    EXPECT_EQ(run(txt, nullptr, u""), start) << "another kind";
    EXPECT_EQ(run(csv, other.c_str(), u"b.csv"), other) << "another folder given";
    EXPECT_EQ(run(csv, other.c_str(), u""), other);
    EXPECT_EQ(run(csv, nullptr, u""), start);
    // A folder that is gone is not offered; a new process remembers nothing.
    run(csv, nullptr, chosen + u"/c.csv");
    EXPECT_EQ(run(csv, nullptr, u""), chosen);
    fs::remove_all(dir_ / "chosen");
    EXPECT_EQ(run(csv, nullptr, u""), start);
    run(csv, nullptr, other + u"/d.csv");
    win32bk::ForgetFileDialogFolders();
    EXPECT_EQ(run(csv, nullptr, u""), start);
    fs::current_path(cwd);
}

class KeepOnce : public CFileDialog {
public:
    KeepOnce() : CFileDialog(TRUE) {}
    int calls = 0;
    BOOL OnFileNameOK() override { return ++calls == 1; }
};

TEST_F(DialogsTest, OnFileNameOKCanKeepTheDialogOpen) {
    std::ofstream(dir_ / "a.txt") << "a";
    std::ofstream(dir_ / "b.txt") << "b";
    KeepOnce dlg;
    tvtest::AnswerFile(At("a.txt"));
    tvtest::AnswerFile(At("b.txt"));
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.calls, 2);
    EXPECT_EQ(std::u16string(dlg.GetFileName()), u"b.txt");
}

int BrowseCallback(HWND hwnd, UINT msg, LPARAM, LPARAM data) {
    if (msg == BFFM_INITIALIZED) SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

TEST_F(DialogsTest, TheFolderBrowserTakesTheCallbacksSelection) {
    std::u16string start = At("");
    WCHAR display[MAX_PATH];
    BROWSEINFOW bi{};
    bi.lpszTitle = u"フォルダの選択";
    bi.pszDisplayName = display;
    bi.lpfn = BrowseCallback;
    bi.lParam = reinterpret_cast<LPARAM>(start.c_str());
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    tvtest::AnswerFolder(u"/tmp");
    LPITEMIDLIST pidl = SHBrowseForFolderW(&bi);
    ASSERT_NE(pidl, nullptr);
    ASSERT_EQ(tvtest::FolderRequests().size(), 1u);
    EXPECT_EQ(tvtest::FolderRequests()[0].selection, start);
    EXPECT_EQ(tvtest::FolderRequests()[0].title, u"フォルダの選択");
    WCHAR path[MAX_PATH];
    EXPECT_TRUE(SHGetPathFromIDListW(pidl, path));
    EXPECT_EQ(std::u16string(path), u"/tmp");
    CoTaskMemFree(pidl);
    tvtest::AnswerFolder(u"");
    EXPECT_EQ(SHBrowseForFolderW(&bi), nullptr);
}

TEST_F(DialogsTest, CustomColoursReachTheNextColourDialog) {
    CColorDialog first(RGB(1, 2, 3));
    tvtest::AnswerColor([](win32bk::ColorDialogRequest& req) {
        EXPECT_EQ(req.color, RGB(1, 2, 3));
        req.custom[3] = RGB(9, 8, 7);
        req.color = RGB(10, 20, 30);
        return true;
    });
    ASSERT_EQ(first.DoModal(), IDOK);
    EXPECT_EQ(first.GetColor(), RGB(10, 20, 30));
    EXPECT_EQ(CColorDialog::GetSavedCustomColors()[3], RGB(9, 8, 7));
    CColorDialog second;
    COLORREF seen = 0;
    tvtest::AnswerColor([&](win32bk::ColorDialogRequest& req) {
        seen = req.custom[3];
        return false;
    });
    EXPECT_EQ(second.DoModal(), IDCANCEL);
    EXPECT_EQ(seen, RGB(9, 8, 7));
}

TEST_F(DialogsTest, TheFontDialogReturnsUntouchedFieldsAsGiven) {
    LOGFONTW lf{};
    lf.lfHeight = -16; // 12 points
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    wcsncpy_s(lf.lfFaceName, LF_FACESIZE, u"ＭＳ ゴシック", LF_FACESIZE - 1);
    CFontDialog dlg(&lf);
    tvtest::AnswerFont([](win32bk::FontDialogRequest& req) {
        EXPECT_EQ(req.face, u"ＭＳ ゴシック");
        EXPECT_EQ(req.pointTenths, 120);
        req.weight = FW_BOLD;
        return true;
    });
    ASSERT_EQ(dlg.DoModal(), IDOK);
    LOGFONTW out{};
    dlg.GetCurrentFont(&out);
    EXPECT_EQ(std::u16string(out.lfFaceName), u"ＭＳ ゴシック");
    EXPECT_EQ(out.lfHeight, -16);
    EXPECT_EQ(out.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_TRUE(dlg.IsBold());
    EXPECT_EQ(dlg.GetSize(), 120);
    tvtest::AnswerFont([](win32bk::FontDialogRequest& req) {
        req.pointTenths = 90;
        req.face = u"Terminal";
        return true;
    });
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(std::u16string(dlg.GetFaceName()), u"Terminal");
    EXPECT_EQ(dlg.m_lf.lfHeight, -12);
}

} // namespace
