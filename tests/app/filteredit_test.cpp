// The login filter box: its history file read and written back, and the
// order of its entries.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <afxwin.h>

#include "app/dialogs/filteredit.h"
#include "testing/driver.h"
#include "tests/base/filefault.h"

namespace {

namespace fs = std::filesystem;

std::string Utf16Le(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

class FilterBoxTest : public ::testing::Test {
public:
    fs::path dir, file;
    CWnd parent;
    CFilterEditCtrl box;
    void SetUp() override {
        tvtest::Init();
        char tmpl[] = "/tmp/tavrelix-filter-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        file = dir / "login_filter.txt";
        ASSERT_TRUE(parent.CreateEx(0, nullptr, u"parent", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 300, 200,
                                    nullptr, nullptr));
    }
    void TearDown() override {
        if (box.m_hWnd) box.DestroyWindow();
        parent.DestroyWindow();
        fs::remove_all(dir);
    }
    void WriteFile(const std::u16string& text) { std::ofstream(file, std::ios::binary) << Utf16Le(text); }
    std::string ReadFile() {
        std::ifstream in(file, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    void Create() {
        ASSERT_TRUE(box.Create(Utf8ToWide(file.c_str()).c_str(), CRect(0, 0, 120, 100), &parent));
    }
    std::vector<std::u16string> Entries() {
        std::vector<std::u16string> out;
        for (int i = 0; i < box.GetCount(); ++i) {
            CString s;
            box.GetLBText(i, s);
            out.emplace_back(s);
        }
        return out;
    }
};

TEST_F(FilterBoxTest, TwentyFiveLinesShowAndTwentyAreWrittenBackAfterAChange) {
    std::u16string text;
    for (int i = 0; i < 25; ++i) text += u"p" + Utf8ToWide(std::to_string(i).c_str()) + u"\n";
    WriteFile(text);
    Create();
    EXPECT_EQ(box.GetCount(), 25);
    EXPECT_EQ(box.GetDlgCtrlID(), 203);
    // Unchanged: nothing is written.
    box.DestroyWindow();
    EXPECT_EQ(ReadFile(), Utf16Le(text));
    Create();
    box.SetWindowText(u"new");
    box.AddCurrentText();
    EXPECT_EQ(box.GetCount(), 20);
    box.DestroyWindow();
    std::u16string expected = u"new\n";
    for (int i = 0; i < 19; ++i) expected += u"p" + Utf8ToWide(std::to_string(i).c_str()) + u"\n";
    // UTF-16LE, no byte-order mark, LF alone.
    EXPECT_EQ(ReadFile(), Utf16Le(expected));
}

TEST_F(FilterBoxTest, BlankLinesAreSkippedTrailingBlanksCutLeadingKept) {
    WriteFile(u"   \n  lead\r\ntrail   \r\n\n" + std::u16string(300, u'x') + u"\nlast 𠮷");
    Create();
    // A 300-unit line arrives in pieces of 1023 at most; it is longer than an entry may be.
    EXPECT_EQ(Entries(), (std::vector<std::u16string>{u"  lead", u"trail", u"last 𠮷"}));
}

TEST_F(FilterBoxTest, AnExistingTextMovesToTheTopAndRemovalTakesOne) {
    WriteFile(u"a\nb\nc\n");
    Create();
    box.SetWindowText(u"c");
    box.AddCurrentText();
    EXPECT_EQ(Entries(), (std::vector<std::u16string>{u"c", u"a", u"b"}));
    EXPECT_EQ(box.GetCurSel(), 0);
    box.RemoveEntry(u"A"); // case counts
    EXPECT_EQ(Entries().size(), 3u);
    box.RemoveEntry(u"a");
    EXPECT_EQ(Entries(), (std::vector<std::u16string>{u"c", u"b"}));
}

TEST_F(FilterBoxTest, AddingAnEmptyTextStillWritesTheFile) {
    Create();
    box.SetWindowText(u"");
    box.AddCurrentText();
    EXPECT_EQ(box.GetCount(), 0);
    box.DestroyWindow();
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(ReadFile(), "");
}

// A history that cannot be written (the disk is full) keeps the one there
// was, whole, and leaves nothing beside it.
TEST_F(FilterBoxTest, AHistoryThatCannotBeWrittenKeepsTheOldOne) {
    std::u16string text;
    for (int i = 0; i < 20; ++i) text += u"接続パターン" + Utf8ToWide(std::to_string(i).c_str()) + u"\n";
    WriteFile(text);
    Create();
    box.SetWindowText(u"新しいパターン");
    box.AddCurrentText();
    {
        filefault::FileSizeLimit disk(64);
        ASSERT_TRUE(disk.active());
        box.DestroyWindow();
    }
    EXPECT_EQ(ReadFile(), Utf16Le(text));
    EXPECT_EQ(filefault::Names(dir), std::set<std::string>{"login_filter.txt"});

    // Written, it is the new history whole.
    Create();
    box.SetWindowText(u"x");
    box.AddCurrentText();
    box.DestroyWindow();
    EXPECT_EQ(ReadFile().substr(0, 4), Utf16Le(u"x\n"));
    EXPECT_EQ(ReadFile().size(), Utf16Le(text).size() - Utf16Le(u"接続パターン19\n").size() + 4);
    EXPECT_EQ(filefault::Names(dir), std::set<std::string>{"login_filter.txt"});
}

TEST_F(FilterBoxTest, TheFilterTextIsEmptyWhileTheBoxIsHidden) {
    Create();
    box.SetWindowText(u"abc");
    EXPECT_EQ(std::u16string(box.GetFilterText()), u"abc");
    box.ShowWindow(SW_HIDE);
    EXPECT_TRUE(box.GetFilterText().IsEmpty());
}

} // namespace
