// The login dialog at start-up, through the modal hook and real input: the
// saved connections and their preselection, sorting, the filter, failed and
// warned logons, the TNS history, the add button and the client variants.
#include "app_fixture.h"

#include "app/connectinfo.h"
#include "app/dialogs/login.h"
#include "res/resource.h"

namespace apptest {
namespace {

class LoginTest : public AppTest {
public:
    struct Saved {
        const char16_t* user;
        const char16_t* password;
        const char16_t* tns;
        const char16_t* notes;
    };
    void Save(std::vector<Saved> entries) {
        ConnectInfoList list;
        for (const Saved& e : entries) {
            CString stored;
            ASSERT_TRUE(PasswordCodec::Encode(e.password, &stored));
            list.Add(
                std::make_unique<ConnectInfo>(e.user, e.tns, stored, 1, 0, e.notes, 0, 0xFFFFFF, 0xFFFFFF));
        }
        list.Save();
    }
    void LastLogin(const char16_t* user, const char16_t* tns) {
        PutStr(u"CONNECT_INFO", u"USER-CUR", user);
        PutStr(u"CONNECT_INFO", u"TNS-CUR", tns);
    }
    static CLogin* Dlg(HWND dlg) { return dynamic_cast<CLogin*>(CWnd::FromHandle(dlg)); }
    static std::vector<std::u16string> Column(HWND dlg, int col) {
        std::vector<std::u16string> out;
        CListCtrl& list = Dlg(dlg)->m_list;
        for (int i = 0; i < list.GetItemCount(); ++i) out.emplace_back(list.GetItemText(i, col));
        return out;
    }
    static int Selected(HWND dlg) { return Dlg(dlg)->m_list.GetNextItem(-1, LVNI_SELECTED); }
    static void ClearBox(HWND dlg, int id) {
        ::SetWindowTextW(tvtest::Control(dlg, id), u"");
        tvtest::Pump();
    }
    static void ClickHeader(HWND dlg, int col) {
        CListCtrl& list = Dlg(dlg)->m_list;
        int x = 2;
        for (int i = 0; i < col; ++i) x += list.GetColumnWidth(i);
        tvtest::Click(list.m_hWnd, x + 2, 3);
        tvtest::Pump();
        tvtest::Advance(1000); // the next click is not a double click
    }
};

TEST_F(LoginTest, TheLastLoginPreselectsItsRowAndPassword) {
    Save({{u"scott", u"tiger", u"ORCL", u"開発"},
          {u"DEMO", u"demo", u"DEMO", u"見本"},
          {u"nopw", u"", u"DEMO", u""}});
    LastLogin(u"DEMO", u"DEMO");
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        EXPECT_EQ(Column(dlg, 0), (std::vector<std::u16string>{u"scott", u"DEMO", u"nopw"}));
        EXPECT_EQ(Column(dlg, 1), (std::vector<std::u16string>{u"*****", u"*****", u""}));
        EXPECT_EQ(Column(dlg, 3)[0], u"NORMAL");
        EXPECT_EQ(Selected(dlg), 1);
        EXPECT_EQ(tvtest::TextOf(tvtest::Control(dlg, IDC_LOGIN_PASSWORD)), u"demo");
        EXPECT_TRUE(::IsWindowEnabled(tvtest::Control(dlg, IDOK)));
        // The focus waits in the password box.
        EXPECT_EQ(::GetFocus(), tvtest::Control(dlg, IDC_LOGIN_PASSWORD));
        tvtest::ClickControl(dlg, IDCANCEL);
        return true;
    });
    EXPECT_FALSE(Start());
}

// Up and Down in the password box walk the list (through the dialog's own
// loop, which pre-translates the keys) and fill the boxes.
TEST_F(LoginTest, UpAndDownInTheBoxesWalkTheList) {
    Save(
        {{u"scott", u"tiger", u"ORCL", u""}, {u"DEMO", u"demo", u"DEMO", u""}, {u"nopw", u"", u"DEMO", u""}});
    int stage = 0;
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        HWND pw = tvtest::Control(dlg, IDC_LOGIN_PASSWORD);
        switch (stage++) {
        case 0:
            EXPECT_EQ(Selected(dlg), -1);
            ::SetFocus(pw);
            ::PostMessageW(pw, WM_KEYDOWN, VK_UP, 0);
            return false;
        case 1:
            EXPECT_EQ(Selected(dlg), 0); // from no selection, Up gives the first row
            EXPECT_EQ(tvtest::TextOf(tvtest::Control(dlg, IDC_LOGIN_USER)), u"scott");
            EXPECT_EQ(tvtest::TextOf(pw), u"tiger");
            ::PostMessageW(pw, WM_KEYDOWN, VK_DOWN, 0);
            ::PostMessageW(pw, WM_KEYDOWN, VK_DOWN, 0);
            ::PostMessageW(pw, WM_KEYDOWN, VK_DOWN, 0);
            return false;
        case 2:
        case 3:
        case 4:
            // The loop takes one key between two polls.
            return false;
        default:
            EXPECT_EQ(Selected(dlg), 2); // the last row stays chosen
            EXPECT_EQ(tvtest::TextOf(tvtest::Control(dlg, IDC_LOGIN_USER)), u"nopw");
            EXPECT_EQ(tvtest::TextOf(pw), u"");
            tvtest::ClickControl(dlg, IDCANCEL);
            return true;
        }
    });
    EXPECT_FALSE(Start());
}

TEST_F(LoginTest, AnEmptyStoredPasswordIsPreselectedToo) {
    Save({{u"nopw", u"", u"DEMO", u""}});
    LastLogin(u"nopw", u"DEMO");
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        EXPECT_EQ(Selected(dlg), 0);
        EXPECT_EQ(tvtest::TextOf(tvtest::Control(dlg, IDC_LOGIN_PASSWORD)), u"");
        EXPECT_EQ(tvtest::TextOf(tvtest::Control(dlg, IDC_LOGIN_USER)), u"nopw");
        tvtest::ClickControl(dlg, IDCANCEL);
        return true;
    });
    EXPECT_FALSE(Start());
}

TEST_F(LoginTest, HeaderClicksSortUpThenDownAndThePasswordIndexByNumber) {
    std::vector<Saved> entries;
    const char16_t* names[12] = {u"k", u"b", u"j", u"a", u"l", u"c", u"i", u"d", u"h", u"e", u"g", u"f"};
    for (const char16_t* n : names) entries.push_back({n, n, u"DEMO", u""});
    Save(entries);
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        ClickHeader(dlg, 0);
        std::vector<std::u16string> users = Column(dlg, 0);
        EXPECT_TRUE(std::is_sorted(users.begin(), users.end()));
        ClickHeader(dlg, 0);
        users = Column(dlg, 0);
        EXPECT_TRUE(std::is_sorted(users.rbegin(), users.rend()));
        // Row parameters follow the rows.
        for (int i = 0; i < 12; ++i) EXPECT_EQ(Dlg(dlg)->m_list.GetItemData(i), static_cast<DWORD_PTR>(i));
        // The hidden "P" column, widened so it can be clicked (in a list wide
        // enough to show it): by number, 2 before 10.
        Dlg(dlg)->m_list.SetColumnWidth(8, 30);
        CRect shown;
        Dlg(dlg)->m_list.GetWindowRect(&shown);
        Dlg(dlg)->m_list.SetWindowPos(nullptr, 0, 0, 600, shown.Height(), SWP_NOMOVE | SWP_NOZORDER);
        ClickHeader(dlg, 8);
        std::vector<std::u16string> p = Column(dlg, 8);
        std::vector<std::u16string> numeric = {u"0", u"1", u"2", u"3", u"4",  u"5",
                                               u"6", u"7", u"8", u"9", u"10", u"11"};
        EXPECT_EQ(p, numeric);
        // Choosing a sorted row still gives its own password.
        tvtest::Click(Dlg(dlg)->m_list.m_hWnd, 10, 40);
        tvtest::Pump();
        int row = Selected(dlg);
        EXPECT_GE(row, 0);
        if (row >= 0) {
            EXPECT_EQ(tvtest::TextOf(tvtest::Control(dlg, IDC_LOGIN_PASSWORD)), Column(dlg, 0)[size_t(row)]);
        }
        tvtest::ClickControl(dlg, IDCANCEL);
        return true;
    });
    EXPECT_FALSE(Start());
}

TEST_F(LoginTest, TheFilterMatchesAnyCaseAndShowsAllInRedWhenInvalid) {
    Save({{u"scott", u"tiger", u"ORCL", u""},
          {u"DEMO", u"demo", u"DEMO", u""},
          {u"x", u"", u"T", u"scott's"}});
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        TypeIntoCombo(dlg, IDC_LOGIN_FILTER, u"SCOTT");
        EXPECT_EQ(Column(dlg, 0), (std::vector<std::u16string>{u"scott", u"x"}));
        EXPECT_EQ(Dlg(dlg)->m_filterBox.m_patternValid, 1);
        ClearBox(dlg, IDC_LOGIN_FILTER);
        TypeIntoCombo(dlg, IDC_LOGIN_FILTER, u"[");
        EXPECT_EQ(Column(dlg, 0).size(), 3u);
        EXPECT_EQ(Dlg(dlg)->m_filterBox.m_patternValid, 0);
        // The text is drawn red (255 in the Windows layout).
        qtplatform::Image img = tvtest::Capture(Dlg(dlg)->m_filterBox.m_editField);
        bool red = false;
        for (uint32_t px : img.pixels)
            red |= ((px >> 16) & 0xFF) > 200 && ((px >> 8) & 0xFF) < 80 && (px & 0xFF) < 80;
        EXPECT_TRUE(red);
        tvtest::ClickControl(dlg, IDCANCEL);
        return true;
    });
    EXPECT_FALSE(Start());
}

TEST_F(LoginTest, TwoFailedLogonsThenOneAddTheServiceToTheHistoryOnce) {
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        tvtest::TypeInto(dlg, IDC_LOGIN_USER, u"DEMO");
        TypeIntoCombo(dlg, IDC_LOGIN_TNS, u"DEMO");
        for (const char16_t* wrong : {u"bad", u"worse"}) {
            tvtest::TypeInto(dlg, IDC_LOGIN_PASSWORD, wrong);
            tvtest::AnswerBox(IDOK);
            tvtest::ClickControl(dlg, IDOK);
            EXPECT_TRUE(::IsWindow(dlg));
            ClearBox(dlg, IDC_LOGIN_PASSWORD);
        }
        EXPECT_EQ(BoxesCaptioned(u"Error").size(), 2u);
        tvtest::TypeInto(dlg, IDC_LOGIN_PASSWORD, u"demo");
        tvtest::ClickControl(dlg, IDOK);
        return true;
    });
    ASSERT_TRUE(Start());
    EXPECT_EQ(g_connected, 1);
    EXPECT_EQ(GetInt(u"CONNECT_INFO", u"TNS_COMBO_LIST_CNT"), 1);
    EXPECT_EQ(GetStr(u"CONNECT_INFO", u"TNS_COMBO_LIST_STR_0"), u"DEMO");
    EXPECT_EQ(GetStr(u"CONNECT_INFO", u"USER-CUR"), u"DEMO");
    EXPECT_EQ(GetStr(u"CONNECT_INFO", u"TNS-CUR"), u"DEMO");
}

TEST_F(LoginTest, TheTnsMenuRemovesAHistoryEntryAtOnce) {
    PutInt(u"CONNECT_INFO", u"TNS_COMBO_LIST_CNT", 2);
    PutStr(u"CONNECT_INFO", u"TNS_COMBO_LIST_STR_0", u"DEMO");
    PutStr(u"CONNECT_INFO", u"TNS_COMBO_LIST_STR_1", u"OLD");
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        EXPECT_EQ(Dlg(dlg)->m_tnsBox.GetCount(), 2);
        TypeIntoCombo(dlg, IDC_LOGIN_TNS, u"OLD");
        HWND edit = ::ChildWindowFromPoint(tvtest::Control(dlg, IDC_LOGIN_TNS), POINT{10, 10});
        tvtest::AnswerMenu(ID_LIST_DELETE_ENTRY);
        tvtest::Click(edit, 5, 5, 1);
        tvtest::Pump();
        EXPECT_EQ(Dlg(dlg)->m_tnsBox.GetCount(), 1);
        EXPECT_EQ(GetInt(u"CONNECT_INFO", u"TNS_COMBO_LIST_CNT"), 1);
        tvtest::ClickControl(dlg, IDCANCEL);
        return true;
    });
    EXPECT_FALSE(Start());
}

// A damaged count drove that many reads before the dialog showed.
TEST_F(LoginTest, AHugeHistoryCountReadsOnlyTheEntriesThere) {
    PutInt(u"CONNECT_INFO", u"TNS_COMBO_LIST_CNT", 2000000000);
    PutStr(u"CONNECT_INFO", u"TNS_COMBO_LIST_STR_0", u"DEMO");
    PutInt(u"CONNECT_INFO", u"COUNT", 2000000000);
    PutStr(u"CONNECT_INFO", u"USER-0", u"only");
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        EXPECT_EQ(Dlg(dlg)->m_tnsBox.GetCount(), 1);
        EXPECT_EQ(Column(dlg, 0), (std::vector<std::u16string>{u"only"}));
        tvtest::ClickControl(dlg, IDCANCEL);
        return true;
    });
    EXPECT_FALSE(Start());
}

TEST_F(LoginTest, APasswordAboutToExpireIsShownThenTheLogonHolds) {
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        Control("user_warning DEMO 28002");
        tvtest::TypeInto(dlg, IDC_LOGIN_USER, u"DEMO");
        tvtest::TypeInto(dlg, IDC_LOGIN_PASSWORD, u"demo");
        TypeIntoCombo(dlg, IDC_LOGIN_TNS, u"DEMO");
        tvtest::AnswerBox(IDOK);
        tvtest::ClickControl(dlg, IDOK);
        return true;
    });
    ASSERT_TRUE(Start());
    ASSERT_EQ(BoxesCaptioned(u"Message").size(), 1u);
    EXPECT_NE(BoxesCaptioned(u"Message")[0].text.find(u"28002"), std::u16string::npos);
    EXPECT_EQ(g_connected, 1);
}

TEST_F(LoginTest, WithoutTheOracleEightDefineTheDialogUsesOracleSevenInNormalMode) {
    fs::remove(bin / "liboci.so");
    fs::create_symlink(fs::path(ORACLE_VARIANT_DIR) / "no_definebypos" / "liboci.so", bin / "liboci.so");
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        EXPECT_FALSE(::IsWindowEnabled(tvtest::Control(dlg, IDC_LOGIN_MODE)));
        EXPECT_FALSE(::IsWindowEnabled(tvtest::Control(dlg, IDC_LOGIN_OCI7)));
        EXPECT_EQ(::SendMessageW(tvtest::Control(dlg, IDC_LOGIN_OCI7), BM_GETCHECK, 0, 0), BST_CHECKED);
        tvtest::TypeInto(dlg, IDC_LOGIN_USER, u"DEMO");
        tvtest::TypeInto(dlg, IDC_LOGIN_PASSWORD, u"demo");
        TypeIntoCombo(dlg, IDC_LOGIN_TNS, u"DEMO");
        tvtest::ClickControl(dlg, IDOK);
        return true;
    });
    ASSERT_TRUE(Start());
    EXPECT_EQ(g_oci8_available, 0);
    EXPECT_EQ(g_use_oci7_api, 1);
    EXPECT_EQ(g_cur_connect_mode, 1);
    EXPECT_EQ(GetInt(u"CONNECT_INFO", u"CONNECT_MODE-CUR"), 1);
    EXPECT_EQ(GetInt(u"CONNECT_INFO", u"USE_OCI7_API-CUR"), 1);
}

TEST_F(LoginTest, WithoutAClientLibraryTheDialogCancelsItself) {
    theApp.LoadAppTitle();
    ASSERT_EQ(g_oci_module, nullptr);
    tvtest::AnswerBox(IDOK);
    OraSession* session = nullptr;
    EXPECT_EQ(theApp.RunLoginDialog(&session, 0), 1);
    EXPECT_EQ(session, nullptr);
    ASSERT_EQ(tvtest::Boxes().size(), 1u);
    EXPECT_EQ(tvtest::Boxes()[0].text, u"OCIライブラリが初期化されていません");
    EXPECT_EQ(tvtest::Boxes()[0].caption, u"Error");
}

// Adding to a list read in the old form rewrites every password in the new one.
TEST_F(LoginTest, AddingKeepsAVersionOneListReadable) {
    PutInt(u"CONNECT_INFO", u"COUNT", 1);
    PutStr(u"CONNECT_INFO", u"USER-0", u"old");
    PutStr(u"CONNECT_INFO", u"TNS-0", u"DEMO");
    // "tiger" in the old form, seeded by 'K'.
    std::u16string v1(1, u'K');
    uint32_t state = u'K';
    for (char16_t c : std::u16string(u"tiger")) {
        state = state * 214013u + 2531011u;
        v1 += static_cast<char16_t>(c ^ (((state >> 16) & 0x7FFF) % 255));
    }
    PutStr(u"CONNECT_INFO", u"PASSWD-0", v1.c_str());
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        tvtest::TypeInto(dlg, IDC_LOGIN_USER, u"new");
        tvtest::TypeInto(dlg, IDC_LOGIN_PASSWORD, u"secret");
        TypeIntoCombo(dlg, IDC_LOGIN_TNS, u"DEMO");
        tvtest::ClickControl(dlg, IDC_LOGIN_ADD_INFO);
        EXPECT_EQ(Column(dlg, 0), (std::vector<std::u16string>{u"old", u"new"}));
        tvtest::ClickControl(dlg, IDCANCEL);
        return true;
    });
    EXPECT_FALSE(Start());
    ConnectInfoList list;
    list.Load();
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.m_encodeVer, 2);
    EXPECT_EQ(list.DecodePassword(*list.GetAt(0)), CString(u"tiger"));
    EXPECT_EQ(list.DecodePassword(*list.GetAt(1)), CString(u"secret"));
}

// The encoder hung on a password it could not write.
TEST_F(LoginTest, AddingAnUnwritablePasswordShowsTheErrorAndWritesNothing) {
    Save({{u"a", u"pa", u"DEMO", u""}});
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        tvtest::TypeInto(dlg, IDC_LOGIN_USER, u"u");
        tvtest::TypeInto(dlg, IDC_LOGIN_PASSWORD, u"𠮷");
        TypeIntoCombo(dlg, IDC_LOGIN_TNS, u"t");
        tvtest::AnswerBox(IDOK);
        tvtest::ClickControl(dlg, IDC_LOGIN_ADD_INFO);
        EXPECT_EQ(Column(dlg, 0).size(), 1u);
        tvtest::ClickControl(dlg, IDCANCEL);
        return true;
    });
    EXPECT_FALSE(Start());
    ASSERT_EQ(BoxesCaptioned(u"Error").size(), 1u);
    EXPECT_EQ(BoxesCaptioned(u"Error")[0].text, u"パスワードを保存できません: u@t");
    EXPECT_EQ(GetInt(u"CONNECT_INFO", u"COUNT"), 1);
    EXPECT_EQ(GetStr(u"CONNECT_INFO", u"USER-1"), u"<none>");
}

// The dialog is held to 350 x 300 however it is sized, a stored smaller size
// included, and its layout still fits there: the buttons on the bottom
// edge, the list between the info button and them, the TNS box inside.
TEST_F(LoginTest, TheDialogIsHeldToItsMinimumSizeAndItsLayoutFitsThere) {
    PutInt(u"LOGIN_DLG", u"WIDTH", 200);
    PutInt(u"LOGIN_DLG", u"HEIGHT", 120);
    auto outer = [](HWND h) {
        RECT r;
        ::GetWindowRect(h, &r);
        return std::pair<int, int>(r.right - r.left, r.bottom - r.top);
    };
    auto inDialog = [](HWND dlg, int id) {
        CRect r;
        ::GetWindowRect(tvtest::Control(dlg, id), &r);
        ::MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        EXPECT_EQ(outer(dlg), (std::pair<int, int>(350, 300)));
        ::SetWindowPos(dlg, nullptr, 0, 0, 120, 80, SWP_NOMOVE | SWP_NOZORDER);
        tvtest::Pump();
        EXPECT_EQ(outer(dlg), (std::pair<int, int>(350, 300)));
        CRect client;
        ::GetClientRect(dlg, &client);
        const CRect ok = inDialog(dlg, IDOK), cancel = inDialog(dlg, IDCANCEL);
        const CRect list = inDialog(dlg, IDC_LOGIN_LIST), info = inDialog(dlg, IDC_LOGIN_CONNECT_INFO);
        const CRect tns = inDialog(dlg, IDC_LOGIN_TNS);
        EXPECT_EQ(ok.bottom, client.bottom - 5);
        EXPECT_EQ(cancel.top, ok.top);
        EXPECT_LT(ok.right, cancel.left);
        EXPECT_GE(ok.left, 0);
        EXPECT_LE(cancel.right, client.right);
        EXPECT_EQ(list.top, info.bottom + 5);
        EXPECT_EQ(list.bottom, ok.top - 5);
        EXPECT_GT(list.Height(), 0);
        EXPECT_EQ(list.right, client.right - 5);
        EXPECT_GT(tns.Width(), 0);
        EXPECT_EQ(tns.right, client.right - 10);
        // Larger sizes are taken as given.
        ::SetWindowPos(dlg, nullptr, 0, 0, 600, 450, SWP_NOMOVE | SWP_NOZORDER);
        tvtest::Pump();
        EXPECT_EQ(outer(dlg), (std::pair<int, int>(600, 450)));
        EXPECT_EQ(inDialog(dlg, IDC_LOGIN_LIST).right, client.right - 5 + 250);
        ::SetWindowPos(dlg, nullptr, 0, 0, 300, 450, SWP_NOMOVE | SWP_NOZORDER);
        tvtest::ClickControl(dlg, IDCANCEL);
        return true;
    });
    EXPECT_FALSE(Start());
    // The size kept is the one the dialog was held to.
    EXPECT_EQ(GetInt(u"LOGIN_DLG", u"WIDTH"), 350);
    EXPECT_EQ(GetInt(u"LOGIN_DLG", u"HEIGHT"), 450);
}

// A dialog that ends before its list has columns keeps no widths: the
// stored ones stay as they were.
TEST_F(LoginTest, ADialogThatCancelsItselfLeavesTheStoredColumnWidths) {
    const char16_t* keys[6] = {u"C_USER_WITDH", u"C_PASSWD_WITDH", u"C_TNS_WITDH",
                               u"C_MODE_WITDH", u"C_OCI7_WITDH",   u"C_NOTES_WIDTH"};
    for (int i = 0; i < 6; ++i) PutInt(u"LOGIN_DLG", keys[i], 50 + i);
    theApp.LoadAppTitle();
    ASSERT_EQ(g_oci_module, nullptr);
    tvtest::AnswerBox(IDOK); // "OCIライブラリが初期化されていません"
    OraSession* session = nullptr;
    EXPECT_EQ(theApp.RunLoginDialog(&session, 0), 1);
    ASSERT_EQ(tvtest::Boxes().size(), 1u);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(GetInt(u"LOGIN_DLG", keys[i]), 50 + i) << i;
}

// Widths of 0 or less (as such a dialog once wrote them) read as the
// defaults, so the list shows its columns; what the dialog then keeps are
// the widths it showed.
TEST_F(LoginTest, StoredWidthsOfZeroOpenWithTheDefaultColumns) {
    const char16_t* keys[6] = {u"C_USER_WITDH", u"C_PASSWD_WITDH", u"C_TNS_WITDH",
                               u"C_MODE_WITDH", u"C_OCI7_WITDH",   u"C_NOTES_WIDTH"};
    const int defaults[6] = {80, 80, 80, 70, 40, 100};
    for (int i = 0; i < 6; ++i) PutInt(u"LOGIN_DLG", keys[i], i == 5 ? -3 : 0);
    PutInt(u"LOGIN_DLG", u"C_TNS_WITDH", 120); // a width the user set stays
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        CListCtrl& list = Dlg(dlg)->m_list;
        for (int i = 0; i < 6; ++i) EXPECT_EQ(list.GetColumnWidth(i), i == 2 ? 120 : defaults[i]) << i;
        tvtest::ClickControl(dlg, IDCANCEL);
        return true;
    });
    EXPECT_FALSE(Start());
    for (int i = 0; i < 6; ++i) EXPECT_EQ(GetInt(u"LOGIN_DLG", keys[i]), i == 2 ? 120 : defaults[i]) << i;
}

// Tab from the user box reaches the password box, then the service: a
// password typed after one Tab lands there.
TEST_F(LoginTest, TabGoesFromUserToPasswordToService) {
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        HWND user = tvtest::Control(dlg, IDC_LOGIN_USER);
        HWND password = tvtest::Control(dlg, IDC_LOGIN_PASSWORD);
        HWND tns = tvtest::Control(dlg, IDC_LOGIN_TNS);
        ::SetFocus(user);
        tvtest::Type(user, u"DEMO");
        tvtest::Key(user, qtplatform::Key_Tab);
        tvtest::Pump();
        EXPECT_EQ(::GetFocus(), password);
        tvtest::Type(::GetFocus(), u"demo");
        tvtest::Key(::GetFocus(), qtplatform::Key_Tab);
        tvtest::Pump();
        EXPECT_TRUE(::GetFocus() == tns || ::IsChild(tns, ::GetFocus()));
        tvtest::Type(::GetFocus(), u"DEMO");
        tvtest::Pump();
        EXPECT_EQ(tvtest::TextOf(user), u"DEMO");
        EXPECT_EQ(tvtest::TextOf(password), u"demo");
        EXPECT_EQ(::SendMessageW(tvtest::Control(dlg, IDC_LOGIN_OCI7), BM_GETCHECK, 0, 0), BST_UNCHECKED);
        // Shift+Tab walks back.
        tvtest::Key(::GetFocus(), qtplatform::Key_Backtab, static_cast<unsigned>(qtplatform::Mods::Shift));
        tvtest::Pump();
        EXPECT_EQ(::GetFocus(), password);
        tvtest::Key(password, qtplatform::Key_Return);
        tvtest::Pump();
        if (::IsWindowVisible(dlg)) {
            ADD_FAILURE() << "the logon did not end the dialog";
            tvtest::ClearBoxes();
            tvtest::ClickControl(dlg, IDCANCEL);
        }
        return true;
    });
    ASSERT_TRUE(Start()) << Narrow(tvtest::Boxes().empty() ? CString()
                                                           : CString(tvtest::Boxes()[0].text.c_str()));
    EXPECT_EQ(g_connected, 1);
    EXPECT_EQ(Narrow(g_cur_tns), "DEMO");
}

class CmdState : public CCmdUI {
public:
    bool enabled = false;
    void Enable(BOOL on) override {
        enabled = on != FALSE;
        m_bEnableChanged = TRUE;
    }
};

// Without a client library no login dialog can run: "接続先を変更..." is off.
TEST_F(LoginTest, ChangingTheConnectionIsOffWithoutAClientLibrary) {
    auto changeEnabled = [] {
        CmdState ui;
        ui.m_nID = ID_FILE_CHANGE_CONNECTION;
        ui.DoUpdate(theApp.m_pMainWnd, TRUE);
        return ui.enabled;
    };
    fs::remove(bin / "liboci.so");
    tvtest::AnswerBox(IDOK); // the library's own box
    ASSERT_TRUE(Start());
    ASSERT_EQ(g_oci_module, nullptr);
    ASSERT_NE(theApp.m_pMainWnd, nullptr);
    EXPECT_FALSE(changeEnabled());
    Exit();
    tvtest::ClearBoxes();
    fs::create_symlink(fs::path(ORACLE_BIN_DIR) / "liboci.so", bin / "liboci.so");
    ASSERT_TRUE(Start({u"LOGON=DEMO/demo@DEMO"}));
    ASSERT_NE(g_oci_module, nullptr);
    EXPECT_TRUE(changeEnabled());
}

// The filter label and box are laid out beside the info button on every
// opening, also when the stored size is the size the dialog is made with
// (as a window manager leaves it), so that opening it changes no size.
TEST_F(LoginTest, TheFilterBoxIsLaidOutWhenTheStoredSizeIsTheDialogsOwn) {
    auto outer = [](HWND h) {
        RECT r;
        ::GetWindowRect(h, &r);
        return std::pair<int, int>(r.right - r.left, r.bottom - r.top);
    };
    // The size the template makes, as a plain dialog of it shows.
    HWND plain = ::CreateDialogParamW(
        nullptr, MAKEINTRESOURCEW(IDD_LOGIN), nullptr,
        [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    ASSERT_NE(plain, nullptr);
    const std::pair<int, int> made = outer(plain);
    ::DestroyWindow(plain);
    ASSERT_GE(made.first, 350);
    ASSERT_GE(made.second, 300);
    PutInt(u"LOGIN_DLG", u"WIDTH", made.first);
    PutInt(u"LOGIN_DLG", u"HEIGHT", made.second);
    auto inDialog = [](HWND dlg, HWND child) {
        CRect r;
        ::GetWindowRect(child, &r);
        ::MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    tvtest::ExpectDialog(IDD_LOGIN, [&](HWND dlg) {
        EXPECT_EQ(outer(dlg), made);
        CLogin* login = Dlg(dlg);
        const CRect info = inDialog(dlg, tvtest::Control(dlg, IDC_LOGIN_CONNECT_INFO));
        const CRect label = inDialog(dlg, login->m_filterLabel.m_hWnd);
        const CRect box = inDialog(dlg, login->m_filterBox.m_hWnd);
        EXPECT_EQ(label.left, info.right + 10);
        EXPECT_EQ(label.top, info.top + 5);
        EXPECT_EQ(box.left, info.right + 20 + label.Width());
        EXPECT_EQ(box.top, info.top);
        tvtest::ClickControl(dlg, IDCANCEL);
        return true;
    });
    EXPECT_FALSE(Start());
}

} // namespace
} // namespace apptest
