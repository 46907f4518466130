// The application's other commands: the saved-connection list from the
// program's own settings or the sibling editor's, and the credits file.
#include <algorithm>

#include "app/connectinfo.h"
#include "app_fixture.h"
#include "res/dialogs4.h"
#include "res/options.h"
#include "res/resource.h"

namespace apptest {
namespace {

class AppCommandsTest : public AppTest {
public:
    void StartConnected() {
        ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
        ASSERT_NE(theApp.m_pMainWnd, nullptr);
    }
    void Command(UINT id) {
        theApp.m_pMainWnd->SendMessage(WM_COMMAND, id);
        tvtest::Pump();
    }
};

TEST_F(AppCommandsTest, TheLoginInfoListIsTheProgramsOwnOrTheSiblings) {
    {
        ConnectInfoList own;
        own.Add(std::make_unique<ConnectInfo>(u"own", u"T", u"", 1, 0, u"", 0, 0xFFFFFF, 0xFFFFFF));
        own.Save();
    }
    const fs::path sibling = bin / "pelvoxan.ini";
    std::ofstream(sibling)
        << "[APPLICATION]\nUSE_INI_FILE=1\n[CONNECT_INFO]\nCOUNT=1\nENCODE_VER=2\nUSER-0=sib\nTNS-0=S\n";
    StartConnected();
    auto users = [](HWND h) {
        auto* list = static_cast<CListCtrl*>(CWnd::FromHandle(tvtest::Control(h, IDC_CI_LIST)));
        std::vector<std::u16string> out;
        for (int i = 0; i < list->GetItemCount(); ++i) out.emplace_back(list->GetItemText(i, 0));
        return out;
    };
    tvtest::ExpectDialog(IDD_CONNECT_INFO, [&](HWND h) {
        EXPECT_EQ(users(h), (std::vector<std::u16string>{u"own"}));
        tvtest::ClickControl(h, IDCANCEL);
        return true;
    });
    Command(ID_TOOL_LOGIN_INFO);

    AppSettings.SHARE_CONNECT_INFO = 1;
    tvtest::ExpectDialog(IDD_CONNECT_INFO, [&](HWND h) {
        EXPECT_EQ(users(h), (std::vector<std::u16string>{u"sib"}));
        tvtest::ExpectDialog(IDD_CONNECT_INFO_EDIT, [](HWND e) {
            tvtest::TypeInto(e, IDC_CE_USER, u"added");
            tvtest::ClickControl(e, IDOK);
            return true;
        });
        tvtest::ClickControl(h, IDC_CI_ADD);
        tvtest::ClickControl(h, IDOK);
        return true;
    });
    Command(ID_TOOL_LOGIN_INFO);
    const std::u16string path = Wide(sibling.string());
    char16_t user[64] = {};
    GetPrivateProfileStringW(u"CONNECT_INFO", u"USER-1", u"", user, 64, path.c_str());
    EXPECT_EQ(std::u16string(user), u"added");
    EXPECT_EQ(GetPrivateProfileIntW(u"CONNECT_INFO", u"COUNT", 0, path.c_str()), 2u);
    // The program's own list is untouched.
    EXPECT_EQ(GetInt(u"CONNECT_INFO", u"COUNT"), 1);
    EXPECT_EQ(GetStr(u"CONNECT_INFO", u"USER-1"), u"<none>");
}

TEST_F(AppCommandsTest, CreditsOpensTheFileBesideTheProgramOrSaysItIsMissing) {
    StartConnected();
    tvtest::RecordShell(true);
    tvtest::AnswerBox(IDOK);
    Command(ID_HELP_CREDITS);
    ASSERT_EQ(BoxesCaptioned(u"Error").size(), 1u);
    EXPECT_EQ(BoxesCaptioned(u"Error")[0].text, u"ファイルが見つかりません");
    EXPECT_TRUE(tvtest::ShellCalls().empty());

    // A directory of that name is no file either.
    fs::create_directories(bin / "doc" / "credits.txt");
    tvtest::AnswerBox(IDOK);
    Command(ID_HELP_CREDITS);
    EXPECT_EQ(BoxesCaptioned(u"Error").size(), 2u);
    fs::remove(bin / "doc" / "credits.txt");

    // The installed file, as the build puts it beside the executable.
    const fs::path installed = fs::path(TAVRELIX_BIN_DIR) / "doc" / "credits.txt";
    ASSERT_TRUE(fs::exists(installed));
    fs::copy_file(installed, bin / "doc" / "credits.txt");
    Command(ID_HELP_CREDITS);
    ASSERT_EQ(tvtest::ShellCalls().size(), 1u);
    EXPECT_EQ(tvtest::ShellCalls()[0].verb, u"open");
    std::string opened = Narrow(tvtest::ShellCalls()[0].file.c_str());
    std::replace(opened.begin(), opened.end(), '\\', '/');
    EXPECT_EQ(fs::path(opened), bin / "doc" / "credits.txt");
    tvtest::RecordShell(false);
    std::ifstream in(installed);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Qt 6"), std::string::npos);
    EXPECT_NE(text.find("LGPL-3.0"), std::string::npos);
}

TEST_F(AppCommandsTest, TheHelpMenusVersionEntryShowsTheVersionBox) {
    StartConnected();
    bool shown = false;
    tvtest::ExpectDialog(IDD_ABOUTBOX, [&](HWND h) {
        shown = true;
        tvtest::ClickControl(h, IDOK);
        return true;
    });
    Command(ID_APP_ABOUT);
    EXPECT_TRUE(shown);
    tvtest::VerifyDialogs();
}

} // namespace
} // namespace apptest
