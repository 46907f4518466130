// The version box with and without a client library, its address line,
// and the custom colours kept in the settings.
#include "settings_fixture.h"

#include "app/dialogs/aboutdlg.h"
#include "app/dialogs/customcolors.h"
#include "res/dialogs4.h"
#include "testing/framework.h"

#include <sstream>

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
    // As the box of tavrelix: the manual its address names is there, and it
    // is the project's README.
    tvtest::SetExecutablePath(Utf8ToWide(TAVRELIX_BIN_DIR "/tavrelix"));
    const std::string manual = Narrow(CAboutDlg::AddressText());
    EXPECT_EQ(manual, TAVRELIX_BIN_DIR "/doc/manual.md");
    std::ifstream in(manual, std::ios::binary), readme(TAVRELIX_SOURCE_DIR "/README.md", std::ios::binary);
    ASSERT_TRUE(in) << manual;
    std::stringstream a, b;
    a << in.rdbuf();
    b << readme.rdbuf();
    EXPECT_FALSE(a.str().empty());
    EXPECT_EQ(a.str(), b.str());
    CAboutDlg dlg;
    tvtest::RecordShell(true);
    tvtest::ExpectDialog(u"バージョン情報(Tavrelix)", [&](HWND h) -> bool {
        const std::string client = WideToUtf8(tvtest::TextOf(GetDlgItem(h, IDC_ABOUT_CLIENT)).c_str());
        EXPECT_EQ(client.rfind("OCI: /", 0), 0u) << client;
        EXPECT_NE(client.find("liboci.so (Version " + WideToUtf8(version.GetString()) + ")"),
                  std::string::npos)
            << client;
        EXPECT_EQ(tvtest::TextOf(GetDlgItem(h, IDC_ABOUT_VERSION)), CAboutDlg::VersionLine().str());
        // The program icon at the top left: the picture's own colours, not
        // the square a missing icon leaves.
        HWND icon = nullptr;
        for (HWND c = GetWindow(h, GW_CHILD); c && !icon; c = GetWindow(c, GW_HWNDNEXT))
            if ((GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) icon = c;
        EXPECT_NE(icon, nullptr);
        if (icon) {
            const qtplatform::Image img = tvtest::Capture(icon);
            const COLORREF face = GetSysColor(COLOR_3DFACE), square = GetSysColor(COLOR_HIGHLIGHT);
            auto rgb = [](COLORREF c) {
                return uint32_t(GetRValue(c)) << 16 | GetGValue(c) << 8 | GetBValue(c);
            };
            int drawn = 0, squared = 0;
            for (int y = 0; y < std::min(32, img.height); ++y)
                for (int x = 0; x < std::min(32, img.width); ++x) {
                    const uint32_t p = img.At(x, y) & 0xFFFFFF;
                    drawn += p != rgb(face);
                    squared += p == rgb(square);
                }
            EXPECT_GT(drawn, 200);
            EXPECT_LT(squared, 100);
        }
        const std::u16string address = tvtest::TextOf(GetDlgItem(h, IDC_ABOUT_ADDRESS));
        EXPECT_EQ(address, CAboutDlg::AddressText().str());
        tvtest::ClickControl(h, IDC_ABOUT_ADDRESS);
        tvtest::Pump();
        EXPECT_EQ(tvtest::ShellCalls().size(), 1u);
        if (!tvtest::ShellCalls().empty()) {
            EXPECT_EQ(tvtest::ShellCalls()[0].file, address);
        }
        tvtest::ClickControl(h, IDOK);
        return true;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    tvtest::RecordShell(false);
    tvtest::SetExecutablePath(u"");
}

} // namespace
