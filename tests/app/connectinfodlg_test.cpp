// The saved-connection list and its editor, through the modal hook and real
// clicks: adding, editing, copying, deleting and moving rows, the hidden
// columns, passwords the store cannot hold, the dialog's size, and the login
// dialog's button that opens the list.
#include "app_fixture.h"

#include "app/connectinfo.h"
#include "app/dialogs/connectinfodlg.h"
#include "app/dialogs/login.h"
#include "res/options.h"
#include "res/resource.h"

namespace apptest {
namespace {

struct Entry {
    std::u16string user, password, tns, notes;
    int mode = 1, oci7 = 0, custom = 0;
    COLORREF textBg = 0xFFFFFF, gridBg = 0xFFFFFF;
};

class ConnectInfoDlgTest : public AppTest {
public:
    void Save(const std::vector<Entry>& entries) {
        ConnectInfoList list;
        for (const Entry& e : entries) {
            CString stored;
            ASSERT_TRUE(PasswordCodec::Encode(e.password.c_str(), &stored));
            list.Add(std::make_unique<ConnectInfo>(e.user.c_str(), e.tns.c_str(), stored, e.mode, e.oci7,
                                                   e.notes.c_str(), e.custom, e.textBg, e.gridBg));
        }
        list.Save();
    }
    std::vector<Entry> Stored() {
        ConnectInfoList list;
        list.Load();
        std::vector<Entry> out;
        for (int i = 0; i < list.GetCount(); ++i) {
            const ConnectInfo& c = *list.GetAt(i);
            out.push_back({std::u16string(c.user), std::u16string(list.DecodePassword(c)),
                           std::u16string(c.tns), std::u16string(c.notes), c.connectMode, c.useOci7,
                           c.customizeOption, c.textBgColor, c.gridBgColor});
        }
        return out;
    }
    static CConnectInfoDlg* Dlg(HWND h) { return dynamic_cast<CConnectInfoDlg*>(CWnd::FromHandle(h)); }
    static std::vector<std::u16string> Column(HWND h, int col) {
        std::vector<std::u16string> out;
        CListCtrl& list = Dlg(h)->m_list;
        for (int i = 0; i < list.GetItemCount(); ++i) out.emplace_back(list.GetItemText(i, col));
        return out;
    }
    static void Select(HWND h, int row) {
        CListCtrl& list = Dlg(h)->m_list;
        for (int i = 0; i < list.GetItemCount(); ++i) list.SetItemState(i, 0, LVIS_SELECTED | LVIS_FOCUSED);
        if (row >= 0) list.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        tvtest::Pump();
    }
    static int Selected(HWND h) { return Dlg(h)->m_list.GetNextItem(-1, LVNI_SELECTED); }
    static bool Enabled(HWND h, int id) { return ::IsWindowEnabled(tvtest::Control(h, id)) != FALSE; }
    static void Retype(HWND h, int id, const std::u16string& text) {
        ::SetWindowTextW(tvtest::Control(h, id), u"");
        tvtest::Pump();
        if (!text.empty()) tvtest::TypeInto(h, id, text);
    }
    static std::u16string Caption(HWND h) { return tvtest::TextOf(h); }
    // The list dialog run on the program's own store.
    INT_PTR RunList(std::function<void(HWND)> body) {
        tvtest::ExpectDialog(IDD_CONNECT_INFO, [body](HWND h) {
            body(h);
            return true;
        });
        CConnectInfoDlg dlg;
        return dlg.DoModal();
    }
};

// A version-1 scrambled form of a text (the old generator, inverted).
CString Version1(const std::u16string& plain, char16_t seed = u'K') {
    std::u16string out(1, seed);
    uint32_t state = seed;
    for (char16_t c : plain) {
        state = state * 214013u + 2531011u;
        const unsigned r = (state >> 16) & 0x7FFF;
        out += static_cast<char16_t>(c ^ (r % 255));
    }
    return CString(out.c_str());
}

TEST_F(ConnectInfoDlgTest, AddEditCopyMoveDeleteAndOkWritesTheRows) {
    Save({{u"scott", u"tiger", u"ORCL", u"開発", 2, 1, 1, 0x112233, 0x445566},
          {u"DEMO", u"demo", u"DEMO", u"見本"}});
    const INT_PTR result = RunList([&](HWND h) {
        EXPECT_EQ(Caption(h), u"ログイン情報");
        EXPECT_EQ(Column(h, 0), (std::vector<std::u16string>{u"scott", u"DEMO"}));
        EXPECT_EQ(Column(h, 1), (std::vector<std::u16string>{u"*****", u"*****"}));
        EXPECT_EQ(Column(h, 3)[0], u"SYSDBA");
        EXPECT_EQ(Column(h, 4)[0], u"○");
        // The hidden columns: mode, Oracle 7, P, customisation and colours.
        EXPECT_EQ(Column(h, 6)[0], u"2");
        EXPECT_EQ(Column(h, 7)[0], u"1");
        EXPECT_EQ(Column(h, 9)[0], u"1");
        EXPECT_EQ(Column(h, 10)[0], u"1122867");
        EXPECT_EQ(Column(h, 11)[0], u"4478310");
        EXPECT_EQ(Dlg(h)->m_list.GetColumnWidth(5), 80);
        EXPECT_EQ(Dlg(h)->m_list.GetColumnWidth(8), 0);
        for (int id : {IDC_CI_EDIT, IDC_CI_COPY, IDC_CI_DEL, IDC_CI_UP, IDC_CI_DOWN})
            EXPECT_FALSE(Enabled(h, id)) << id;
        EXPECT_TRUE(Enabled(h, IDC_CI_ADD));

        // COPY of the first row appends a row and leaves the selection.
        Select(h, 0);
        for (int id : {IDC_CI_EDIT, IDC_CI_COPY, IDC_CI_DEL, IDC_CI_UP, IDC_CI_DOWN})
            EXPECT_TRUE(Enabled(h, id)) << id;
        tvtest::ExpectDialog(IDD_CONNECT_INFO_EDIT, [](HWND e) {
            EXPECT_EQ(Caption(e), u"ログイン情報の編集 (COPY)");
            EXPECT_EQ(tvtest::TextOf(tvtest::Control(e, IDC_CE_USER)), u"scott");
            EXPECT_EQ(tvtest::TextOf(tvtest::Control(e, IDC_CE_PASSWORD)), u"tiger");
            EXPECT_EQ(tvtest::TextOf(tvtest::Control(e, IDC_CE_MODE)), u"SYSDBA");
            EXPECT_EQ(::IsDlgButtonChecked(e, IDC_CE_OCI7), BST_CHECKED);
            EXPECT_EQ(::IsDlgButtonChecked(e, IDC_CE_CUSTOMIZE), BST_CHECKED);
            Retype(e, IDC_CE_USER, u"scott2");
            tvtest::ClickControl(e, IDOK);
            return true;
        });
        tvtest::ClickControl(h, IDC_CI_COPY);
        EXPECT_EQ(Column(h, 0), (std::vector<std::u16string>{u"scott", u"DEMO", u"scott2"}));
        EXPECT_EQ(Selected(h), 0);
        EXPECT_EQ(Column(h, 10)[2], u"1122867");

        // EDIT rewrites the row in place.
        Select(h, 1);
        tvtest::ExpectDialog(IDD_CONNECT_INFO_EDIT, [](HWND e) {
            EXPECT_EQ(Caption(e), u"ログイン情報の編集 (EDIT)");
            EXPECT_EQ(::IsDlgButtonChecked(e, IDC_CE_CUSTOMIZE), BST_UNCHECKED);
            EXPECT_FALSE(::IsWindowEnabled(tvtest::Control(e, IDC_CE_OPTION_GROUP)));
            Retype(e, IDC_CE_NOTES, u"見本データ");
            tvtest::ClickControl(e, IDOK);
            return true;
        });
        tvtest::ClickControl(h, IDC_CI_EDIT);
        EXPECT_EQ(Column(h, 5)[1], u"見本データ");

        // ADD: OK waits for a user; an own grid colour through its button.
        tvtest::ExpectDialog(IDD_CONNECT_INFO_EDIT, [](HWND e) {
            EXPECT_EQ(Caption(e), u"ログイン情報の編集 (ADD)");
            EXPECT_FALSE(::IsWindowEnabled(tvtest::Control(e, IDOK)));
            EXPECT_EQ(tvtest::TextOf(tvtest::Control(e, IDC_CE_MODE)), u"NORMAL");
            // Without customisation the colour buttons do not react.
            tvtest::ClickControl(e, IDC_CE_GRID_BG);
            tvtest::TypeInto(e, IDC_CE_USER, u"new");
            EXPECT_TRUE(::IsWindowEnabled(tvtest::Control(e, IDOK)));
            tvtest::TypeInto(e, IDC_CE_PASSWORD, u"pw");
            tvtest::TypeInto(e, IDC_CE_TNS, u"DEMO");
            tvtest::Tick(e, IDC_CE_CUSTOMIZE);
            EXPECT_TRUE(::IsWindowEnabled(tvtest::Control(e, IDC_CE_OPTION_GROUP)));
            tvtest::AnswerColor([](win32bk::ColorDialogRequest& r) {
                EXPECT_EQ(r.color, 0xFFFFFFu);
                r.color = 0x00AA00;
                r.custom[3] = 0x123456;
                return true;
            });
            tvtest::ClickControl(e, IDC_CE_GRID_BG);
            tvtest::Pump();
            // The button shows its colour inside the bump edge.
            qtplatform::Image img = tvtest::Capture(tvtest::Control(e, IDC_CE_GRID_BG));
            uint32_t mid = img.pixels[static_cast<size_t>(img.height / 2 * img.width + img.width / 2)];
            EXPECT_EQ(mid & 0xFFFFFF, 0x00AA00u);
            tvtest::ClickControl(e, IDOK);
            return true;
        });
        tvtest::ClickControl(h, IDC_CI_ADD);
        EXPECT_EQ(Column(h, 0).back(), u"new");
        EXPECT_EQ(Column(h, 11).back(), std::u16string(u"43520")); // 0x00AA00

        // UP on the first row and DOWN on the last change nothing.
        Select(h, 0);
        tvtest::ClickControl(h, IDC_CI_UP);
        EXPECT_EQ(Column(h, 0)[0], u"scott");
        Select(h, 3);
        tvtest::ClickControl(h, IDC_CI_DOWN);
        EXPECT_EQ(Column(h, 0)[3], u"new");
        // "new" moves up to the top, its password with it.
        tvtest::ClickControl(h, IDC_CI_UP);
        tvtest::ClickControl(h, IDC_CI_UP);
        tvtest::ClickControl(h, IDC_CI_UP);
        EXPECT_EQ(Selected(h), 0);
        EXPECT_EQ(Column(h, 0), (std::vector<std::u16string>{u"new", u"scott", u"DEMO", u"scott2"}));

        // DEL the copy.
        Select(h, 3);
        tvtest::ClickControl(h, IDC_CI_DEL);
        EXPECT_FALSE(Enabled(h, IDC_CI_EDIT));
        tvtest::ClickControl(h, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    std::vector<Entry> stored = Stored();
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[0].user, u"new");
    EXPECT_EQ(stored[0].password, u"pw");
    EXPECT_EQ(stored[0].custom, 1);
    EXPECT_EQ(stored[0].gridBg, 0x00AA00u);
    EXPECT_EQ(stored[1].user, u"scott");
    EXPECT_EQ(stored[1].password, u"tiger");
    EXPECT_EQ(stored[1].mode, 2);
    EXPECT_EQ(stored[1].oci7, 1);
    EXPECT_EQ(stored[1].textBg, 0x112233u);
    EXPECT_EQ(stored[2].notes, u"見本データ");
    EXPECT_EQ(GetInt(u"CONNECT_INFO", u"COUNT"), 3);
    EXPECT_EQ(GetInt(u"CONNECT_INFO", u"ENCODE_VER"), 2);
    EXPECT_EQ(GetStr(u"CONNECT_INFO", u"USER-3"), u"<none>");
    // The colour dialog's custom colours were saved.
    EXPECT_EQ(GetInt(u"COLOR_DLG", u"CUSTOM_COLOR_03"), 0x123456);
}

TEST_F(ConnectInfoDlgTest, CancelWritesNothingAndTheSizeComesBack) {
    Save({{u"scott", u"tiger", u"ORCL", u""}});
    RunList([&](HWND h) {
        RECT r;
        ::GetWindowRect(h, &r);
        EXPECT_EQ(r.right - r.left, 550);
        EXPECT_EQ(r.bottom - r.top, 320);
        // Too small a size is held at the minimum; the list follows the size.
        ::SetWindowPos(h, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
        tvtest::Pump();
        MINMAXINFO mm{};
        ::SendMessageW(h, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mm));
        EXPECT_EQ(mm.ptMinTrackSize.x, 550);
        EXPECT_EQ(mm.ptMinTrackSize.y, 320);
        ::SetWindowPos(h, nullptr, 0, 0, 700, 420, SWP_NOMOVE | SWP_NOZORDER);
        tvtest::Pump();
        RECT client, list, add, ok;
        ::GetClientRect(h, &client);
        ::GetWindowRect(tvtest::Control(h, IDC_CI_LIST), &list);
        ::GetWindowRect(tvtest::Control(h, IDC_CI_ADD), &add);
        ::GetWindowRect(tvtest::Control(h, IDOK), &ok);
        EXPECT_EQ(list.right - list.left, client.right - (add.right - add.left) - 30);
        EXPECT_EQ(list.bottom - list.top, client.bottom - (ok.bottom - ok.top) - 30);
        POINT addAt{add.left, add.top};
        ::ScreenToClient(h, &addAt);
        EXPECT_EQ(addAt.x, client.right - (add.right - add.left) - 10);
        Select(h, 0);
        tvtest::ClickControl(h, IDC_CI_DEL);
        tvtest::ClickControl(h, IDCANCEL);
    });
    EXPECT_EQ(Stored().size(), 1u);
    RECT r{};
    RunList([&](HWND h) {
        ::GetWindowRect(h, &r);
        tvtest::ClickControl(h, IDCANCEL);
    });
    EXPECT_EQ(r.right - r.left, 700);
    EXPECT_EQ(r.bottom - r.top, 420);
}

// Passwords the store cannot hold: refused with a box, never a hang, and
// nothing written.
TEST_F(ConnectInfoDlgTest, PasswordsTheStoreCannotHoldAreRefused) {
    Save({{u"scott", u"tiger", u"ORCL", u""}});
    const std::u16string long189(189, u'x'), long190(190, u'x');
    RunList([&](HWND h) {
        int stage = 0;
        tvtest::ExpectDialog(IDD_CONNECT_INFO_EDIT, [&](HWND e) {
            tvtest::TypeInto(e, IDC_CE_USER, u"u");
            tvtest::TypeInto(e, IDC_CE_TNS, u"T");
            for (const std::u16string& bad : {std::u16string(u"\U00020BB7"), long190}) {
                Retype(e, IDC_CE_PASSWORD, bad);
                tvtest::AnswerBox(IDOK);
                tvtest::ClickControl(e, IDOK);
                EXPECT_TRUE(::IsWindow(e));
                ++stage;
            }
            Retype(e, IDC_CE_PASSWORD, long189);
            tvtest::ClickControl(e, IDOK);
            return true;
        });
        tvtest::ClickControl(h, IDC_CI_ADD);
        EXPECT_EQ(stage, 2);
        EXPECT_EQ(Column(h, 0).size(), 2u);
        tvtest::ClickControl(h, IDOK);
    });
    ASSERT_EQ(BoxesCaptioned(u"Error").size(), 2u);
    EXPECT_EQ(BoxesCaptioned(u"Error")[0].text, u"パスワードを保存できません: u@T");
    std::vector<Entry> stored = Stored();
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[1].password, long189);
}

// A version-1 list whose password the new form cannot hold: OK selects the
// row, says so and writes nothing; the others are written in version 2.
TEST_F(ConnectInfoDlgTest, OkEncodesEveryRowBeforeWriting) {
    PutInt(u"CONNECT_INFO", u"COUNT", 2);
    PutStr(u"CONNECT_INFO", u"USER-0", u"ok");
    PutStr(u"CONNECT_INFO", u"TNS-0", u"T");
    PutStr(u"CONNECT_INFO", u"PASSWD-0", Version1(u"plain"));
    PutStr(u"CONNECT_INFO", u"USER-1", u"bad");
    PutStr(u"CONNECT_INFO", u"TNS-1", u"T2");
    PutStr(u"CONNECT_INFO", u"PASSWD-1", Version1(u"\U00020BB7"));
    const std::u16string before = GetStr(u"CONNECT_INFO", u"PASSWD-0");
    RunList([&](HWND h) {
        Select(h, 0);
        tvtest::AnswerBox(IDOK);
        tvtest::ClickControl(h, IDOK);
        EXPECT_TRUE(::IsWindow(h));
        EXPECT_EQ(Selected(h), 1);
        // Deleting the row lets OK write the rest, in version 2.
        tvtest::ClickControl(h, IDC_CI_DEL);
        tvtest::ClickControl(h, IDOK);
    });
    ASSERT_EQ(BoxesCaptioned(u"Error").size(), 1u);
    EXPECT_EQ(BoxesCaptioned(u"Error")[0].text, u"パスワードを保存できません: bad@T2");
    EXPECT_EQ(GetInt(u"CONNECT_INFO", u"ENCODE_VER"), 2);
    std::vector<Entry> stored = Stored();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].password, u"plain");
    EXPECT_NE(GetStr(u"CONNECT_INFO", u"PASSWD-0"), before);
}

// The login dialog's "ログイン情報の設定" edits the list it reads: after OK its
// list shows the new rows through its filter, after Cancel it is unchanged.
TEST_F(ConnectInfoDlgTest, TheLoginDialogsListFollowsTheListDialog) {
    Save({{u"scott", u"tiger", u"ORCL", u""}, {u"DEMO", u"demo", u"DEMO", u""}});
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND login) {
        auto* dlg = dynamic_cast<CLogin*>(CWnd::FromHandle(login));
        auto users = [&] {
            std::vector<std::u16string> out;
            for (int i = 0; i < dlg->m_list.GetItemCount(); ++i)
                out.emplace_back(dlg->m_list.GetItemText(i, 0));
            return out;
        };
        TypeIntoCombo(login, IDC_LOGIN_FILTER, u"SCOTT");
        EXPECT_EQ(users(), (std::vector<std::u16string>{u"scott"}));
        tvtest::ExpectDialog(IDD_CONNECT_INFO, [&](HWND h) {
            EXPECT_EQ(Column(h, 0).size(), 2u); // the whole list, unfiltered
            tvtest::ExpectDialog(IDD_CONNECT_INFO_EDIT, [](HWND e) {
                tvtest::TypeInto(e, IDC_CE_USER, u"scott");
                tvtest::TypeInto(e, IDC_CE_TNS, u"NEW");
                tvtest::ClickControl(e, IDOK);
                return true;
            });
            tvtest::ClickControl(h, IDC_CI_ADD);
            tvtest::ExpectDialog(IDD_CONNECT_INFO_EDIT, [](HWND e) {
                tvtest::TypeInto(e, IDC_CE_USER, u"other");
                tvtest::ClickControl(e, IDOK);
                return true;
            });
            tvtest::ClickControl(h, IDC_CI_ADD);
            tvtest::ClickControl(h, IDOK);
            return true;
        });
        tvtest::ClickControl(login, IDC_LOGIN_CONNECT_INFO);
        EXPECT_EQ(users(), (std::vector<std::u16string>{u"scott", u"scott"}));
        tvtest::ExpectDialog(IDD_CONNECT_INFO, [&](HWND h) {
            Select(h, 0);
            tvtest::ClickControl(h, IDC_CI_DEL);
            tvtest::ClickControl(h, IDCANCEL);
            return true;
        });
        tvtest::ClickControl(login, IDC_LOGIN_CONNECT_INFO);
        EXPECT_EQ(users(), (std::vector<std::u16string>{u"scott", u"scott"}));
        tvtest::ClickControl(login, IDCANCEL);
        return true;
    });
    EXPECT_FALSE(Start());
    EXPECT_EQ(Stored().size(), 4u);
}

} // namespace
} // namespace apptest
