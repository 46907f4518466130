// A macro file that edits cells, run through "マクロを実行(ファイル)" from a
// directory whose name needs escaping: every row changed, the running text
// in the pane during the run, one undo for the whole run, the edits saved
// by the commit command as another session reads them.
#include "macro_fixture.h"
#include "employees.h"

namespace {

using namespace apptest;

// Script files are read as UTF-16 (with its byte-order mark) or CP932.
void WriteScript(const fs::path& file, const std::string& text) {
    std::u16string t = u"\uFEFF" + Wide(text);
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(t.data()), static_cast<std::streamsize>(t.size() * 2));
}

const char kAppendSama[] =
    "(let loop ((r 0))\n"
    "  (if (< r (grid-get-row-cnt))\n"
    "      (begin (grid-set-cell-string r 1 (string-append (grid-get-cell-string r 1) \"様\"))\n"
    "             (loop (+ r 1)))))\n"
    "(app-msg-box \"done\")\n";

TEST_F(MacroTest, AMacroFileAppendsToEveryNameAndUndoesInOneStep) {
    StartLoggedOn();
    Load(u"社員");
    fs::path dir = root / "my \"macro\" files";
    fs::create_directories(dir);
    fs::path file = dir / "sama.scm";
    WriteScript(file, kAppendSama);
    std::vector<std::string> before;
    for (int r = 0; r < 20; ++r) before.push_back(Cell(r, 1));

    std::string during;
    tvtest::AnswerFile(Wide(file.string()));
    tvtest::AnswerBoxWith([&](const tvtest::Box&) -> std::optional<int> {
        during = Pane();
        return IDOK;
    });
    frame->SendMessage(WM_COMMAND, ID_TOOL_RUN_MACRO_FILE);
    tvtest::Pump();
    ASSERT_EQ(tvtest::FileRequests().size(), 1u);
    const win32bk::FileDialogRequest& req = tvtest::FileRequests()[0];
    EXPECT_FALSE(req.save);
    EXPECT_EQ(req.title, u"マクロの実行");
    EXPECT_EQ(req.owner, frame->GetSafeHwnd());
    ASSERT_FALSE(req.filters.empty());
    EXPECT_EQ(req.filters[0].second, u"*.scm");
    ASSERT_EQ(Texts(u"scheme"), std::vector<std::string>{"done"}) << BoxTexts();
    EXPECT_EQ(during, "マクロ実行中...");
    EXPECT_EQ(Pane(), "");
    for (int r = 0; r < 20; ++r) EXPECT_EQ(Cell(r, 1), before[r] + "様") << r;
    EXPECT_EQ(Counts(), " Insert:0, Update:20, Delete:0 ");

    view->m_grid.Undo();
    tvtest::Pump();
    for (int r = 0; r < 20; ++r) EXPECT_EQ(Cell(r, 1), before[r]) << r;
    EXPECT_EQ(Counts(), " Insert:0, Update:0, Delete:0 ");

    // Cancel in the dialog runs nothing.
    tvtest::ClearBoxes();
    tvtest::AnswerFile(u"");
    frame->SendMessage(WM_COMMAND, ID_TOOL_RUN_MACRO_FILE);
    tvtest::Pump();
    EXPECT_TRUE(tvtest::Boxes().empty()) << BoxTexts();
    EXPECT_EQ(Cell(0, 1), before[0]);
}

// 社員's 氏名 by 社員番号, as a second session reads them.
std::vector<std::string> NamesInTheDatabase() {
    std::vector<std::string> out;
    for (const auto& row : Employees()) out.push_back(Narrow(row.second.c_str()));
    return out;
}

TEST_F(MacroTest, AMacroFilesEditsAreSavedByTheCommitCommand) {
    StartLoggedOn();
    Load(u"社員");
    const std::vector<std::string> before = NamesInTheDatabase();
    ASSERT_EQ(before.size(), 20u);
    fs::path file = root / "sama.scm";
    WriteScript(file, kAppendSama);
    tvtest::AnswerFile(Wide(file.string()));
    tvtest::AnswerBox(IDOK);
    frame->SendMessage(WM_COMMAND, ID_TOOL_RUN_MACRO_FILE);
    tvtest::Pump();
    ASSERT_EQ(Texts(u"scheme"), std::vector<std::string>{"done"}) << BoxTexts();
    // Nothing reaches the database before the commit.
    EXPECT_EQ(NamesInTheDatabase(), before);

    tvtest::ClearBoxes();
    tvtest::AnswerBox(IDYES); // save the edits
    tvtest::ExpectDialog(u"実行中", [](HWND) { return true; });
    tvtest::AnswerBox(IDNO); // no new query
    frame->SendMessage(WM_COMMAND, ID_FILE_COMMIT);
    tvtest::Pump();
    tvtest::VerifyDialogs();
    ASSERT_EQ(tvtest::Boxes().size(), 2u) << BoxTexts();
    EXPECT_NE(Narrow(tvtest::Boxes()[0].text.c_str()).find("update: 20"), std::string::npos) << BoxTexts();
    EXPECT_EQ(Counts(), " Insert:0, Update:0, Delete:0 ");
    std::vector<std::string> expected = before;
    for (std::string& name : expected) name += "様";
    EXPECT_EQ(NamesInTheDatabase(), expected);
}

TEST_F(MacroTest, AFileThatCannotBeLoadedIsAnError) {
    StartLoggedOn();
    tvtest::AnswerBox(IDOK);
    macro_run_file(Wide((root / "gone \\ \"x\".scm").string()).c_str());
    ASSERT_EQ(Texts(u"scheme error").size(), 1u) << BoxTexts();
    EXPECT_NE(Texts(u"scheme error")[0].find("can not find file"), std::string::npos)
        << Texts(u"scheme error")[0];
    EXPECT_NE(Texts(u"scheme error")[0].find("gone"), std::string::npos) << Texts(u"scheme error")[0];
    // A long path runs as well as a short one.
    fs::path dir = root;
    for (int i = 0; i < 12; ++i) dir /= std::string(30, static_cast<char>('a' + i));
    fs::create_directories(dir);
    std::ofstream(dir / "long.scm") << "(display \"long\")";
    tvtest::ClearBoxes();
    tvtest::AnswerBox(IDOK);
    macro_run_file(Wide((dir / "long.scm").string()).c_str());
    EXPECT_EQ(Texts(u"scheme output"), std::vector<std::string>{"long"}) << BoxTexts();
}

} // namespace
