// appshot DIR: the program in this process, offscreen, with three saved
// connections: writes the login dialog (the last login's row chosen) as
// DIR/login.png and the logged-on main window as DIR/main.png.
#include "app_fixture.h"

#include "app/connectinfo.h"
#include "res/resource.h"

int main(int argc, char** argv) {
    using namespace apptest;
    if (argc != 2) {
        std::fprintf(stderr, "usage: appshot DIR\n");
        return 2;
    }
    const fs::path out = argv[1];
    fs::create_directories(out);

    // The same surroundings as the suites' cases.
    struct Shot : AppTest {
        void TestBody() override {}
    } env;
    env.SetUp();

    ConnectInfoList list;
    struct Entry {
        const char16_t *user, *password, *tns, *notes;
    };
    const Entry entries[] = {{u"SCOTT", u"tiger", u"ORCL", u"開発環境"},
                             {u"DEMO", u"demo", u"DEMO", u"見本データ"},
                             {u"SALES", u"sales", u"DEMO", u"営業"}};
    for (const Entry& e : entries) {
        CString stored;
        PasswordCodec::Encode(e.password, &stored);
        list.Add(std::make_unique<ConnectInfo>(e.user, e.tns, stored, 1, 0, e.notes, 0, 0xFFFFFF, 0xFFFFFF));
    }
    list.Save();
    env.PutStr(u"CONNECT_INFO", u"USER-CUR", u"DEMO");
    env.PutStr(u"CONNECT_INFO", u"TNS-CUR", u"DEMO");
    // Tall enough for the three rows (the dialog opens at least 350 x 300).
    env.PutInt(u"LOGIN_DLG", u"WIDTH", 420);
    env.PutInt(u"LOGIN_DLG", u"HEIGHT", 340);

    bool login = false, main = false;
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        tvtest::Pump();
        ::UpdateWindow(dlg);
        login = tvtest::SavePng(dlg, (out / "login.png").string());
        tvtest::ClickControl(dlg, IDOK);
        return true;
    });
    if (env.Start()) {
        tvtest::RunUntilIdle();
        ::UpdateWindow(theApp.m_pMainWnd->m_hWnd);
        main = tvtest::SavePng(theApp.m_pMainWnd->m_hWnd, (out / "main.png").string());
    }
    env.TearDown();
    std::printf("%s %s\n", login ? "login.png" : "-", main ? "main.png" : "-");
    return login && main && g_connected == 0 ? 0 : 1;
}
