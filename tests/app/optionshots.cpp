// optionshots DIR: the program in this process, offscreen, logged on to
// DEMO: writes both pages of the options sheet (options-setup.png,
// options-grid.png with the sample grid), the saved-connection list with
// three rows (connectinfo.png) and its editor on a row with its own colours
// (connectinfo-edit.png).
#include "app/connectinfo.h"
#include "app_fixture.h"
#include "res/options.h"
#include "res/resource.h"

int main(int argc, char** argv) {
    using namespace apptest;
    if (argc != 2) {
        std::fprintf(stderr, "usage: optionshots DIR\n");
        return 2;
    }
    const fs::path out = argv[1];
    fs::create_directories(out);

    struct Shot : AppTest {
        void TestBody() override {}
    } env;
    env.SetUp();

    ConnectInfoList list;
    struct Entry {
        const char16_t *user, *password, *tns, *notes;
        int mode, oci7, custom;
        COLORREF text, grid;
    };
    const Entry entries[] = {{u"SCOTT", u"tiger", u"ORCL", u"開発環境", 1, 0, 0, 0xFFFFFF, 0xFFFFFF},
                             {u"DEMO", u"demo", u"DEMO", u"見本データ", 2, 1, 1, 0xE0FFE0, 0xFFE0C0},
                             {u"SALES", u"", u"DEMO", u"営業", 1, 0, 0, 0xFFFFFF, 0xFFFFFF}};
    for (const Entry& e : entries) {
        CString stored;
        PasswordCodec::Encode(e.password, &stored);
        list.Add(std::make_unique<ConnectInfo>(e.user, e.tns, stored, e.mode, e.oci7, e.notes, e.custom,
                                               e.text, e.grid));
    }
    list.Save();
    // A stored date format that is none of the choices, and a NULL text.
    env.PutStr(u"SESSION", u"NLS_DATE_FORMAT", u"YYYY/MM/DD");
    env.PutStr(u"GRID", u"NULL_TEXT", u"(null)");
    env.PutInt(u"GRID", u"SHOW_SPACE", 1);
    env.PutInt(u"GRID", u"SHOW_2BYTE_SPACE", 1);
    env.PutInt(u"GRID", u"SHOW_TAB", 1);
    env.PutInt(u"GRID", u"SHOW_LINE_FEED", 1);

    std::vector<std::string> written;
    auto save = [&](HWND h, const char* name) {
        tvtest::Pump();
        ::UpdateWindow(h);
        if (tvtest::SavePng(h, (out / name).string())) written.push_back(name);
    };
    if (env.Start({u"LOGON=DEMO/demo@DEMO"}) && theApp.m_pMainWnd) {
        tvtest::ExpectDialog(u"オプション", [&](HWND sheet) {
            save(sheet, "options-setup.png");
            tvtest::ChoosePage(sheet, 1);
            save(sheet, "options-grid.png");
            tvtest::ClickControl(sheet, IDCANCEL);
            return true;
        });
        theApp.m_pMainWnd->SendMessage(WM_COMMAND, ID_TOOL_OPTION);
        tvtest::Pump();

        tvtest::ExpectDialog(IDD_CONNECT_INFO, [&](HWND h) {
            auto* l = static_cast<CListCtrl*>(CWnd::FromHandle(tvtest::Control(h, IDC_CI_LIST)));
            l->SetItemState(1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            save(h, "connectinfo.png");
            tvtest::ExpectDialog(IDD_CONNECT_INFO_EDIT, [&](HWND e) {
                save(e, "connectinfo-edit.png");
                tvtest::ClickControl(e, IDCANCEL);
                return true;
            });
            tvtest::ClickControl(h, IDC_CI_EDIT);
            tvtest::ClickControl(h, IDCANCEL);
            return true;
        });
        theApp.m_pMainWnd->SendMessage(WM_COMMAND, ID_TOOL_LOGIN_INFO);
        tvtest::Pump();
    }
    env.TearDown();
    for (const std::string& w : written) std::printf("%s\n", w.c_str());
    return written.size() == 4 ? 0 : 1;
}
