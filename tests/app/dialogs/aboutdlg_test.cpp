// The version box with and without a client library, its address line,
// and the custom colours kept in the settings.
#include "settings_fixture.h"

#include "app/dialogs/aboutdlg.h"
#include "app/dialogs/customcolors.h"
#include "res/dialogs4.h"

namespace {

using dlgtest::DemoTest;
using dlgtest::SettingsTest;
using oratest::Narrow;

TEST_F(SettingsTest, AboutBoxWithoutAClientAndCustomColours) {
    ASSERT_EQ(g_oci_module, nullptr);
    EXPECT_EQ(WideToUtf8(CAboutDlg::ClientLine().GetString()), "OCI:  (Version )");
    const std::string version = WideToUtf8(CAboutDlg::VersionLine().GetString());
    EXPECT_EQ(version.rfind("Tavrelix Version ", 0), 0u) << version;
    EXPECT_NE(version.find(" (64bit)"), std::string::npos) << version;

    // Colours: white until stored; what one dialog chose the next one gets.
    CColorDialog first;
    LoadCustomColors(first);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(first.m_cc.lpCustColors[i], 0xFFFFFFu);
    CColorDialog::GetSavedCustomColors()[3] = RGB(1, 2, 3);
    CColorDialog::GetSavedCustomColors()[15] = 0;
    SaveCustomColors();
    EXPECT_EQ(AfxGetApp()->GetProfileInt(u"COLOR_DLG", u"CUSTOM_COLOR_03", -1), UINT(RGB(1, 2, 3)));
    EXPECT_EQ(AfxGetApp()->GetProfileInt(u"COLOR_DLG", u"CUSTOM_COLOR_15", -1), 0u);
    for (int i = 0; i < 16; ++i) CColorDialog::GetSavedCustomColors()[i] = RGB(9, 9, 9);
    CColorDialog next;
    LoadCustomColors(next);
    EXPECT_EQ(next.m_cc.lpCustColors[3], RGB(1, 2, 3));
    EXPECT_EQ(next.m_cc.lpCustColors[15], 0u);
    EXPECT_EQ(next.m_cc.lpCustColors[0], 0xFFFFFFu);
}

TEST_F(DemoTest, AboutBoxNamesTheClientAndOpensItsAddress) {
    ASSERT_NE(g_oci_module, nullptr);
    CString version;
    oci_get_dll_version(&version);
    EXPECT_FALSE(version.IsEmpty());
    // The manual the address names, beside this program as beside tavrelix.
    const std::filesystem::path manual = Narrow(CAboutDlg::AddressText());
    std::filesystem::create_directories(manual.parent_path());
    if (!std::filesystem::exists(manual)) std::ofstream(manual) << "# tavrelix\n";
    CAboutDlg dlg;
    tvtest::RecordShell(true);
    tvtest::ExpectDialog(u"バージョン情報(Tavrelix)", [&](HWND h) -> bool {
        const std::string client = WideToUtf8(tvtest::TextOf(GetDlgItem(h, IDC_ABOUT_CLIENT)).c_str());
        EXPECT_EQ(client.rfind("OCI: /", 0), 0u) << client;
        EXPECT_NE(client.find("liboci.so (Version " + WideToUtf8(version.GetString()) + ")"),
                  std::string::npos)
            << client;
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(h, IDC_ABOUT_VERSION)), CAboutDlg::VersionLine().str());
        const std::u16string address = tvtest::TextOf(GetDlgItem(h, IDC_ABOUT_ADDRESS));
        EXPECT_EQ(address, CAboutDlg::AddressText().str());
        tvtest::ClickControl(h, IDC_ABOUT_ADDRESS);
        tvtest::Pump();
        EXPECT_EQ(tvtest::ShellCalls().size(), 1u);
        if (tvtest::ShellCalls().empty()) return true;
        EXPECT_EQ(tvtest::ShellCalls()[0].file, address);
        tvtest::ClickControl(h, IDOK);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    tvtest::RecordShell(false);
}

} // namespace
