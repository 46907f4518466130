// Accelerators through the pre-translation, menu keys, the layout table,
// TrackPopupMenu and the asynchronous key state.
#include <thread>

#include "sdi_fixture.h"

namespace {

constexpr unsigned kCtrl = static_cast<unsigned>(qtplatform::Mods::Ctrl);
constexpr unsigned kShift = static_cast<unsigned>(qtplatform::Mods::Shift);
constexpr unsigned kAlt = static_cast<unsigned>(qtplatform::Mods::Alt);

class KeysTest : public SdiTest {
protected:
    HWND Focused() { return GetFocus(); }
};

TEST_F(KeysTest, AcceleratorsFireOnceAfterTheFramesOverride) {
    TestFrame* frame = OpenNew();
    ASSERT_NE(frame->GetActiveView(), nullptr);
    EXPECT_EQ(GetFocus(), frame->GetActiveView()->m_hWnd);
    tvtest::Key(Focused(), 'Z', kCtrl);
    tvtest::Pump();
    // The first of the two Ctrl+Z entries, with HIWORD 1, after the override saw the key.
    EXPECT_EQ(Record::Log(),
              (std::vector<std::string>{"frame-pretranslate", "cmd " + std::to_string(ID_UNDO) + " hi 1"}));

    Record::Log().clear();
    tvtest::Key(Focused(), qtplatform::Key_F1 + 2, kCtrl | kShift);
    tvtest::Pump();
    EXPECT_EQ(Record::Log(), std::vector<std::string>{"frame-pretranslate"});
    Record::Log().clear();
    tvtest::Key(Focused(), qtplatform::Key_F1 + 2, kCtrl);
    tvtest::Pump();
    EXPECT_EQ(Record::Log().back(), "cmd " + std::to_string(ID_F3) + " hi 1");

    // A disabled menu command's key does nothing, and the key is consumed.
    Record::Log().clear();
    tvtest::Key(Focused(), 'G', kCtrl);
    tvtest::Pump();
    EXPECT_EQ(Record::Log(), std::vector<std::string>{"frame-pretranslate"});
}

class Modeless : public CWnd {
public:
    std::vector<UINT> chars;
    bool keepEnter = true;
    BOOL PreTranslateMessage(MSG* msg) override {
        // The window's own keys: Enter stays here.
        if (keepEnter && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) {
            Record::Add("modeless-enter");
            return TRUE;
        }
        return FALSE;
    }
    afx_msg void OnChar(UINT ch, UINT, UINT) { chars.push_back(ch); }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Modeless, CWnd)
ON_WM_CHAR()
END_MESSAGE_MAP()

TEST_F(KeysTest, AModelessWindowKeepsItsKeysAndTheMainWindowGetsTheRest) {
    TestFrame* frame = OpenNew();
    Modeless dlg;
    ASSERT_TRUE(dlg.CreateEx(0, nullptr, u"modeless", WS_POPUP | WS_VISIBLE, 10, 10, 100, 60, frame->m_hWnd,
                             nullptr));
    dlg.SetFocus();
    tvtest::Key(dlg.m_hWnd, qtplatform::Key_Return);
    tvtest::Pump();
    EXPECT_EQ(Record::Log(), std::vector<std::string>{"modeless-enter"});
    Record::Log().clear();
    tvtest::Type(dlg.m_hWnd, u"a");
    tvtest::Pump();
    EXPECT_EQ(dlg.chars, std::vector<UINT>{u'a'});
    tvtest::Key(dlg.m_hWnd, 'Z', kCtrl);
    tvtest::Pump();
    ASSERT_FALSE(Record::Log().empty());
    EXPECT_EQ(Record::Log().back(), "cmd " + std::to_string(ID_UNDO) + " hi 1");
    dlg.DestroyWindow();
}

TEST_F(KeysTest, AltAndAMnemonicOpenItsPopup) {
    TestFrame* frame = OpenNew();
    tvtest::AnswerMenu(ID_DOC_ONLY);
    tvtest::Key(Focused(), 'E', kAlt, u"e");
    tvtest::Pump();
    ASSERT_EQ(tvtest::Menus().size(), 1u);
    EXPECT_EQ(tvtest::Menus()[0].menu, GetSubMenu(GetMenu(frame->m_hWnd), 1));
    EXPECT_EQ(Record::Log().back(), "doc-only");
    // F10 opens the first popup.
    tvtest::AnswerMenu(0);
    tvtest::Key(Focused(), qtplatform::Key_F10);
    tvtest::Pump();
    ASSERT_EQ(tvtest::Menus().size(), 2u);
    EXPECT_EQ(tvtest::Menus()[1].menu, GetSubMenu(GetMenu(frame->m_hWnd), 0));
}

TEST_F(KeysTest, TrackPopupMenuDeliversTheCommandAfterItReturns) {
    TestFrame* frame = OpenNew();
    CMenu menu;
    menu.CreatePopupMenu();
    menu.AppendMenu(MF_STRING, ID_BOTH, u"両方");
    menu.AppendMenu(MF_STRING, ID_GREYED, u"灰色");
    tvtest::AnswerMenu(ID_BOTH);
    EXPECT_TRUE(menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, 100, 100, frame));
    EXPECT_TRUE(Record::Log().empty());
    ASSERT_EQ(tvtest::Menus().size(), 1u);
    EXPECT_NE(tvtest::ShownState(tvtest::Menus()[0], ID_GREYED) & MF_GRAYED, 0); // owner updated it first
    tvtest::Pump();
    EXPECT_EQ(Record::Log(), std::vector<std::string>{"view-both"});
    // A greyed item cannot be chosen.
    Record::Log().clear();
    tvtest::AnswerMenu(ID_GREYED);
    menu.TrackPopupMenu(TPM_LEFTALIGN, 100, 100, frame);
    tvtest::Pump();
    EXPECT_TRUE(Record::Log().empty());
}

TEST(MenuItems, ModifyStateAndTextByPositionOrCommand) {
    HMENU bar = CreateMenu();
    HMENU pop = CreatePopupMenu();
    AppendMenuW(pop, MF_STRING, 11, u"一");
    AppendMenuW(pop, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(pop, MF_STRING | MF_GRAYED, 12, u"二\tCtrl+2");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(pop), u"&P");
    AppendMenuW(bar, MF_STRING, 34020, u"コマンド");
    EXPECT_EQ(GetMenuItemID(bar, 0), static_cast<UINT>(-1));
    EXPECT_EQ(GetMenuItemID(pop, 1), 0u);
    EXPECT_EQ(GetMenuState(bar, 0, MF_BYPOSITION) >> 8, 3u);
    EXPECT_EQ(GetMenuState(bar, 12, MF_BYCOMMAND) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
    EXPECT_EQ(GetMenuState(bar, 99, MF_BYCOMMAND), static_cast<UINT>(-1));
    EXPECT_TRUE(ModifyMenuW(pop, 2, MF_BYPOSITION | MF_STRING, 12, u"二\tF2"));
    WCHAR buf[32];
    GetMenuStringW(bar, 12, buf, 32, MF_BYCOMMAND);
    EXPECT_EQ(std::u16string(buf), u"二\tF2");
    EXPECT_EQ(GetMenuState(bar, 12, MF_BYCOMMAND) & MF_GRAYED, 0u);
    // A command item of the bar itself renamed.
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_STRING;
    std::u16string text = u"確定(3)";
    mii.dwTypeData = text.data();
    EXPECT_TRUE(SetMenuItemInfoW(bar, 34020, FALSE, &mii));
    GetMenuStringW(bar, 1, buf, 32, MF_BYPOSITION);
    EXPECT_EQ(std::u16string(buf), u"確定(3)");
    EXPECT_EQ(EnableMenuItem(bar, 11, MF_BYCOMMAND | MF_GRAYED), 0u);
    EXPECT_EQ(EnableMenuItem(bar, 11, MF_BYCOMMAND | MF_ENABLED), static_cast<UINT>(MF_GRAYED));
    EXPECT_TRUE(DestroyMenu(bar));
    EXPECT_FALSE(IsMenu(pop));
}

TEST(KeyboardLayout, CharactersAndKeysOfTheJapaneseLayout) {
    EXPECT_EQ(VkKeyScanW(u'@'), 0xC0);
    EXPECT_EQ(VkKeyScanW(u'あ'), -1);
    EXPECT_EQ(VkKeyScanW(u'\\'), 0xE2);
    EXPECT_EQ(VkKeyScanW(u'|'), 0x1DC);
    EXPECT_EQ(VkKeyScanW(u'A'), 0x141);
    EXPECT_EQ(VkKeyScanW(u'a'), 0x41);
    EXPECT_EQ(VkKeyScanW(u'*'), 0x1BA);
    EXPECT_EQ(VkKeyScanW(u'"'), 0x132);
    EXPECT_EQ(MapVirtualKeyW(0xBA, MAPVK_VK_TO_CHAR), static_cast<UINT>(u':'));
    EXPECT_EQ(MapVirtualKeyW('Q', MAPVK_VK_TO_CHAR), static_cast<UINT>(u'Q'));
    EXPECT_EQ(MapVirtualKeyW(VK_F1 + 4, MAPVK_VK_TO_CHAR), 0u);
}

// The cancel key of a busy program is read from the X server: a Wayland
// session that offers an X display runs the program there, unless
// QT_QPA_PLATFORM names a platform; Qt chooses when there is no X display.
TEST(DisplayPlatform, AWaylandSessionWithAnXDisplayRunsOnTheXDisplay) {
    using qtplatform::ChooseDisplayPlatform;
    // QT_QPA_PLATFORM, WAYLAND_DISPLAY, DISPLAY, XDG_SESSION_TYPE.
    EXPECT_EQ(ChooseDisplayPlatform(nullptr, "wayland-0", ":0", "wayland"), "xcb;wayland");
    EXPECT_EQ(ChooseDisplayPlatform("", "wayland-0", ":1", nullptr), "xcb;wayland");
    EXPECT_EQ(ChooseDisplayPlatform(nullptr, nullptr, ":0", "wayland"), "xcb;wayland");
    EXPECT_EQ(ChooseDisplayPlatform("wayland", "wayland-0", ":0", "wayland"), "wayland");
    EXPECT_EQ(ChooseDisplayPlatform("offscreen", nullptr, nullptr, nullptr), "offscreen");
    EXPECT_EQ(ChooseDisplayPlatform(nullptr, "wayland-0", nullptr, "wayland"), "");
    EXPECT_EQ(ChooseDisplayPlatform(nullptr, "wayland-0", "", "wayland"), "");
    EXPECT_EQ(ChooseDisplayPlatform(nullptr, nullptr, ":0", "x11"), "");
    EXPECT_EQ(ChooseDisplayPlatform(nullptr, nullptr, ":0", nullptr), "");
    EXPECT_EQ(ChooseDisplayPlatform(nullptr, nullptr, nullptr, nullptr), "");
}

class Poller : public CWnd {
public:
    bool sawCancel = false;
    afx_msg LRESULT OnPoll(WPARAM, LPARAM) {
        // A long handler that pumps nothing still sees the cancel key.
        for (int i = 0; i < 1000 && !sawCancel; ++i) {
            sawCancel = (GetAsyncKeyState(VK_CANCEL) & 0x8000) != 0;
            if (!sawCancel) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Poller, CWnd)
ON_MESSAGE(WM_APP + 3, OnPoll)
END_MESSAGE_MAP()

TEST_F(KeysTest, TheCancelKeyReadsDownInAHandlerThatPumpsNothing) {
    Poller p;
    ASSERT_TRUE(p.CreateEx(0, nullptr, u"poll", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr));
    std::thread setter([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        tvtest::SetKeyState(VK_CANCEL, true);
    });
    p.SendMessage(WM_APP + 3);
    setter.join();
    EXPECT_TRUE(p.sawCancel);
    tvtest::SetKeyState(VK_CANCEL, false);
    EXPECT_EQ(GetAsyncKeyState(VK_CANCEL), 0);
    p.DestroyWindow();
}

} // namespace
