// Key bindings without a window: key names both ways, the defaults, the
// settings form and its damaged variants.
#include "settings_fixture.h"

#include "app/dialogs/acceltable.h"
#include "res/resource.h"
#include "win32/menu.h"

namespace {

using dlgtest::SettingsTest;

std::string Name(int key, int fVirt) {
    return WideToUtf8(
        AccelTable::FormatKeyName(key, fVirt & FALT, fVirt & FCONTROL, fVirt & FSHIFT).GetString());
}

std::pair<int, int> Parse(const char16_t* name, int* rc = nullptr) {
    int key = -1, virt = -1;
    int r = AccelTable::ParseKeyName(name, &key, &virt);
    if (rc) *rc = r;
    return {key, virt};
}

TEST(KeyNames, ModifiersInAFixedOrderAndTheTableNames) {
    EXPECT_EQ(Parse(u"Ctrl+Shift+F3"), std::make_pair(0x72, 0x0F));
    EXPECT_EQ(Parse(u"Shift+Ctrl+F3"), std::make_pair(0x72, 0x0F));
    EXPECT_EQ(Name(0x72, 0x0F), "Ctrl+Shift+F3");
    EXPECT_EQ(Name(0x72, 0x1F), "Alt+Ctrl+Shift+F3");
    EXPECT_EQ(Name(VK_RETURN, 0x13), "Alt+ENTER");
    EXPECT_EQ(Parse(u"A"), std::make_pair(int('A'), 3));
    EXPECT_EQ(Parse(u"Alt+7"), std::make_pair(int('7'), 0x13));
    // Characters of the layout: ";" is a key of its own, ":" too.
    EXPECT_EQ(Name(VK_OEM_PLUS, 3), ";");
    EXPECT_EQ(Parse(u"Ctrl+;"), std::make_pair(VK_OEM_PLUS, 0x0B));
    // A lone modifier has no name: the text ends with "+".
    EXPECT_EQ(Name(VK_CONTROL, 0x0B), "Ctrl+");
    EXPECT_EQ(Name(VK_SHIFT, 0x07), "Shift+");
    // Names are whole and case-sensitive.
    int rc = 1;
    EXPECT_EQ(Parse(u"Ctrl+f3", &rc).first, int(VkKeyScanW(u'f') & 0xFF));
    EXPECT_EQ(rc, 1);
}

TEST(KeyNames, ShiftedCharactersAndKeysThatDoNotExist) {
    // "!" is Shift+1 on the layout: its shift state joins the flags.
    EXPECT_EQ(Parse(u"Ctrl+!"), std::make_pair(0x31, 0x0F));
    int rc = 1;
    EXPECT_EQ(Parse(u"Ctrl+", &rc), std::make_pair(0, 0x0B));
    EXPECT_EQ(rc, 0);
    rc = 1;
    EXPECT_EQ(Parse(u"Ctrl+あ", &rc).first, 0);
    EXPECT_EQ(rc, 0);
    rc = 1;
    EXPECT_EQ(Parse(u"", &rc).first, 0);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(AccelTable::ParseKeyName(nullptr, nullptr, nullptr), 0);
}

TEST(KeyNames, EveryKeyOfTheLayoutAndTheTableRoundTripsWithEachModifierSet) {
    std::vector<int> keys;
    for (const win32bk::LayoutKey& k : win32bk::Jp106Keys())
        // The yen key types "\" as the key beside the right Shift does; the
        // character names the latter.
        if (k.vk != VK_OEM_5) keys.push_back(int(k.vk));
    for (const KeyNameEntry& e : KeyNameTable) keys.push_back(e.vk);
    EXPECT_EQ(std::size(KeyNameTable), 80u);
    for (int key : keys) {
        for (int mods = 0; mods < 8; ++mods) {
            const int virt = 3 | (mods & 1 ? FALT : 0) | (mods & 2 ? FCONTROL : 0) | (mods & 4 ? FSHIFT : 0);
            CString name = AccelTable::FormatKeyName(key, mods & 1, mods & 2, mods & 4);
            int k = 0, v = 0;
            EXPECT_EQ(AccelTable::ParseKeyName(name, &k, &v), 1) << WideToUtf8(name.GetString());
            EXPECT_EQ(k, key) << WideToUtf8(name.GetString());
            EXPECT_EQ(v, virt) << WideToUtf8(name.GetString());
        }
    }
}

TEST(KeyNames, CommandShortNamesFromTheStringTable) {
    EXPECT_EQ(WideToUtf8(AccelTable::CommandShortName(ID_EDIT_SEARCH_NEXT).GetString()), "次を検索");
    EXPECT_EQ(WideToUtf8(AccelTable::CommandShortName(ID_TOOL_KEY_ASSIGN).GetString()), "キー割り当て");
    EXPECT_TRUE(AccelTable::CommandShortName(1).IsEmpty());
}

TEST(Bindings, DefaultsLookUpsAndEdits) {
    AccelTable t;
    EXPECT_EQ(t.LoadDefaults(), 1);
    ASSERT_EQ(t.GetCount(), 17);
    EXPECT_EQ(t[0].fVirt, 0x0B);
    EXPECT_EQ(t[0].key, 0x5A);
    EXPECT_EQ(t[0].cmd, ID_EDIT_UNDO);
    EXPECT_EQ(t[16].cmd, ID_EDIT_SEARCH_PREV);
    CString keys;
    EXPECT_EQ(t.KeysForCommand(ID_EDIT_COPY, keys), 0);
    EXPECT_EQ(WideToUtf8(keys.GetString()), "Ctrl+C, Ctrl+INSERT");
    EXPECT_EQ(t.KeysForCommand(ID_EDIT_UNDO, keys), 0);
    EXPECT_EQ(WideToUtf8(keys.GetString()), "Ctrl+Z, Alt+BACK");
    EXPECT_EQ(t.KeysForCommand(ID_FILE_COMMIT, keys), -1);
    EXPECT_TRUE(keys.IsEmpty());
    EXPECT_EQ(t.FindCommand(u"F3"), ID_EDIT_SEARCH_NEXT);
    EXPECT_EQ(t.FindCommand(u"Shift+F3"), ID_EDIT_SEARCH_PREV);
    EXPECT_EQ(t.FindCommand(u"Ctrl+F3"), -1);
    EXPECT_EQ(t.FindCommand(u"Ctrl+"), -1);

    // Moving Ctrl+F to "次を検索": the first match goes, the gap closes.
    EXPECT_EQ(t.RemoveKey('F', 0x0B), 1);
    EXPECT_EQ(t.RemoveKey('F', 0x0B), 1); // nothing left to remove
    EXPECT_EQ(t.Add(ID_EDIT_SEARCH_NEXT, 'F', 0x0B), 1);
    EXPECT_EQ(t.GetCount(), 17);
    EXPECT_EQ(t[12].cmd, ID_EDIT_SEARCH_REPLACE);
    EXPECT_EQ(t.KeysForCommand(ID_EDIT_SEARCH_NEXT, keys), 0);
    EXPECT_EQ(WideToUtf8(keys.GetString()), "F3, Ctrl+F");
    EXPECT_EQ(t.KeysForCommand(ID_EDIT_SEARCH, keys), -1);

    // Growth past the first block, and copies.
    for (int i = 0; i < 250; ++i) ASSERT_EQ(t.Add(40000 + i, 0x70 + i % 24, 0x03), 1);
    EXPECT_EQ(t.GetCount(), 267);
    AccelTable copy;
    copy.CopyFrom(t);
    ASSERT_EQ(copy.GetCount(), 267);
    EXPECT_EQ(copy[266].cmd, 40249);
    copy.CopyFrom(copy);
    EXPECT_EQ(copy.GetCount(), 267);
    copy.Clear();
    EXPECT_EQ(copy.GetCount(), 0);
    EXPECT_EQ(copy.GetData(), nullptr);
}

TEST_F(SettingsTest, BindingsSavedAndLoadedFromTheSettings) {
    CWinApp* app = AfxGetApp();
    AccelTable t;
    EXPECT_EQ(t.Load(), 1); // nothing stored: the defaults
    EXPECT_EQ(t.GetCount(), 17);
    t.RemoveKey('F', 0x0B);
    t.Add(ID_EDIT_SEARCH_NEXT, 0x72, 0x0F);
    EXPECT_EQ(t.Save(), 1);
    EXPECT_EQ(app->GetProfileInt(u"ACCELERATOR", u"ACCEL_CNT", -1), 17u);
    EXPECT_EQ(app->GetProfileInt(u"ACCELERATOR", u"CMD_0000", -1), UINT(ID_EDIT_UNDO));
    EXPECT_EQ(app->GetProfileInt(u"ACCELERATOR", u"VIRT_0016", -1), 0x0Fu);
    AccelTable back;
    back.Load();
    ASSERT_EQ(back.GetCount(), 17);
    for (int i = 0; i < 17; ++i) {
        EXPECT_EQ(back[i].cmd, t[i].cmd);
        EXPECT_EQ(back[i].key, t[i].key);
        EXPECT_EQ(back[i].fVirt, t[i].fVirt);
    }
    EXPECT_EQ(back.FindCommand(u"Ctrl+Shift+F3"), ID_EDIT_SEARCH_NEXT);

    // A shorter table over a longer one reads as written.
    t.Clear();
    t.Add(ID_EDIT_CELL, 0x71, 3);
    t.Save();
    back.Load();
    ASSERT_EQ(back.GetCount(), 1);
    EXPECT_EQ(back[0].cmd, ID_EDIT_CELL);

    // An empty table stays empty; a deleted count brings the defaults back.
    t.Clear();
    t.Save();
    back.Load();
    EXPECT_EQ(back.GetCount(), 0);
    app->WriteProfileString(u"ACCELERATOR", u"ACCEL_CNT", nullptr);
    back.Load();
    EXPECT_EQ(back.GetCount(), 17);
}

TEST_F(SettingsTest, DamagedTablesLoadWhatIsWhole) {
    CWinApp* app = AfxGetApp();
    auto row = [&](int i, int cmd, int key, int virt) {
        CString k;
        k.Format(u"CMD_%.4d", i);
        if (cmd != -1) app->WriteProfileInt(u"ACCELERATOR", k, cmd);
        k.Format(u"KEY_%.4d", i);
        if (key != -1) app->WriteProfileInt(u"ACCELERATOR", k, key);
        k.Format(u"VIRT_%.4d", i);
        if (virt != -1) app->WriteProfileInt(u"ACCELERATOR", k, virt);
    };
    // A count far beyond the rows: the rows end where none of the keys is.
    app->WriteProfileInt(u"ACCELERATOR", u"ACCEL_CNT", 2000000000);
    row(0, ID_EDIT_CELL, 0x71, 3);
    row(1, ID_EDIT_SEARCH, 'F', 0x0B);
    AccelTable t;
    t.Load();
    ASSERT_EQ(t.GetCount(), 2);
    EXPECT_EQ(t[1].cmd, ID_EDIT_SEARCH);

    // A row with a key missing or zero is no binding; the ones after it load.
    row(2, ID_EDIT_UNDO, -1, 0x0B);
    row(3, ID_EDIT_REDO, 0x10000, 0x0B); // truncates to key 0
    row(4, ID_EDIT_COPY, 'C', 0x0B);
    row(5, ID_EDIT_PASTE, 'V', 0x100); // flag byte 0
    row(6, ID_EDIT_CUT, 'X', 0x10B);   // truncates to 0x0B
    t.Load();
    ASSERT_EQ(t.GetCount(), 4);
    EXPECT_EQ(t[2].cmd, ID_EDIT_COPY);
    EXPECT_EQ(t[3].cmd, ID_EDIT_CUT);
    EXPECT_EQ(t[3].fVirt, 0x0B);
    app->WriteProfileInt(u"ACCELERATOR", u"ACCEL_CNT", 3);
    t.Load();
    EXPECT_EQ(t.GetCount(), 2);
}

} // namespace
