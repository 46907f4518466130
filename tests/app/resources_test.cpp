// The program's resources as the framework finds them: the main menu's
// popups and commands, the login dialog's template and menus, the strings.
#include <afxwin.h>
#include <gtest/gtest.h>

#include "res/resource.h"
#include "testing/driver.h"

namespace {

std::u16string MenuText(HMENU menu, int pos) {
    char16_t buf[256] = {};
    GetMenuStringW(menu, static_cast<UINT>(pos), buf, 256, MF_BYPOSITION);
    return buf;
}

TEST(AppResources, MainMenuHasThePopupsThenTheCountsItem) {
    tvtest::Init();
    HMENU menu = LoadMenuW(nullptr, MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_NE(menu, nullptr);
    const char16_t* popups[] = {u"ファイル", u"編集", u"データ", u"表示", u"ツール", u"ヘルプ"};
    ASSERT_EQ(GetMenuItemCount(menu), 7);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(MenuText(menu, i), popups[i]);
        EXPECT_NE(GetSubMenu(menu, i), nullptr);
    }
    EXPECT_EQ(GetMenuItemID(menu, 6), static_cast<UINT>(ID_EDIT_COUNTS));
    HMENU file = GetSubMenu(menu, 0);
    bool change = false, exitItem = false;
    for (int i = 0; i < GetMenuItemCount(file); ++i) {
        change |=
            GetMenuItemID(file, i) == ID_FILE_CHANGE_CONNECTION && MenuText(file, i) == u"接続先を変更...";
        exitItem |= GetMenuItemID(file, i) == ID_APP_EXIT && MenuText(file, i) == u"終了";
    }
    EXPECT_TRUE(change);
    EXPECT_TRUE(exitItem);
    DestroyMenu(menu);
}

TEST(AppResources, StringsGiveTitleTemplateAndCommandPrompts) {
    tvtest::Init();
    CString s;
    ASSERT_TRUE(s.LoadString(AFX_IDS_APP_TITLE));
    EXPECT_EQ(std::u16string(s), u"tavrelix");
    ASSERT_TRUE(s.LoadString(IDR_MAINFRAME));
    EXPECT_NE(std::u16string(s).find(u"\nTavrelix Files (*.tvx)\n.tvx\n"), std::u16string::npos);
    // Every command of the main menu has a "prompt\nshort name" string.
    HMENU menu = LoadMenuW(nullptr, MAKEINTRESOURCEW(IDR_MAINFRAME));
    std::vector<HMENU> stack = {menu};
    int commands = 0;
    while (!stack.empty()) {
        HMENU m = stack.back();
        stack.pop_back();
        for (int i = 0; i < GetMenuItemCount(m); ++i) {
            if (HMENU sub = GetSubMenu(m, i)) {
                stack.push_back(sub);
                continue;
            }
            UINT id = GetMenuItemID(m, i);
            if (id == 0) continue;
            ++commands;
            ASSERT_TRUE(s.LoadString(id)) << id;
            EXPECT_NE(std::u16string(s).find(u'\n'), std::u16string::npos) << id;
        }
    }
    EXPECT_GT(commands, 60);
    DestroyMenu(menu);
}

} // namespace
