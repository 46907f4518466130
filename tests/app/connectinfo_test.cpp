// Saved connections: the password scrambling (version 2 written, version 1
// read), the list's storage with its damaged and shrinking cases.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include <afxwin.h>

#include "app/connectinfo.h"
#include "app/tavexapp.h"

namespace {

namespace fs = std::filesystem;

// The old form, as the old runtime's generator made it: the first unit
// seeds, each following unit is XORed with the next number mod 255.
CString EncodeVersion1(const std::u16string& plain, char16_t seed) {
    std::u16string out(1, seed);
    uint32_t state = seed;
    for (char16_t c : plain) {
        state = state * 214013u + 2531011u;
        out += static_cast<char16_t>(c ^ (((state >> 16) & 0x7FFF) % 255));
    }
    return CString(out.c_str());
}

// A version-1 text that a settings file can hold: no control characters
// and no lone surrogates (the first seed from `seed` on that gives one).
CString StorableVersion1(const std::u16string& plain, char16_t seed) {
    for (;; ++seed) {
        CString text = EncodeVersion1(plain, seed);
        bool ok = true;
        for (int i = 0; i < text.GetLength(); ++i)
            ok = ok && text[i] >= 0x20 && text[i] != 0x7F && (text[i] < 0xD800 || text[i] > 0xDFFF);
        if (ok) return text;
    }
}

TEST(PasswordCodec, GroupsOfThreeBytesGiveFourSymbolsAfterTheLetter) {
    CString text;
    for (const char16_t* plain : {u"a", u"ab", u"abc"}) {
        ASSERT_TRUE(PasswordCodec::Encode(plain, &text));
        EXPECT_EQ(text.GetLength(), 5) << WideToUtf8(plain);
        EXPECT_GE(text[0], u'a');
        EXPECT_LE(text[0], u'j');
        EXPECT_EQ(PasswordCodec::Decode(text), CString(plain));
    }
    ASSERT_TRUE(PasswordCodec::Encode(u"abcd", &text));
    EXPECT_EQ(text.GetLength(), 9);
    // Two-byte characters count by their bytes in the code page.
    ASSERT_TRUE(PasswordCodec::Encode(u"日本", &text));
    EXPECT_EQ(text.GetLength(), 9);
    EXPECT_EQ(PasswordCodec::Decode(text), CString(u"日本"));
    ASSERT_TRUE(PasswordCodec::Encode(u"", &text));
    EXPECT_TRUE(text.IsEmpty());
}

TEST(PasswordCodec, EveryAlphabetRoundTripsAndTheLetterNamesIt) {
    for (unsigned index = 0; index < 10; ++index) {
        PasswordCodec::SetIndexGenerator([index] { return index + 30; });
        CString text;
        ASSERT_TRUE(PasswordCodec::Encode(u"Tiger+/=~ｱｲｳ", &text));
        EXPECT_EQ(text[0], static_cast<char16_t>(u'a' + index));
        EXPECT_EQ(PasswordCodec::Decode(text), CString(u"Tiger+/=~ｱｲｳ"));
    }
    PasswordCodec::SetIndexGenerator(nullptr);
    // Symbols outside the alphabet read as 0, without a message.
    EXPECT_NO_FATAL_FAILURE(PasswordCodec::Decode(u"z!!!!"));
}

// The encoder used to retry until its text read back: a password the code
// page cannot write, or longer than 189 bytes, never did.
TEST(PasswordCodec, UnwritablePasswordsFailAtOnce) {
    CString text = u"x";
    EXPECT_TRUE(PasswordCodec::Encode(CString(std::u16string(189, u'p').c_str()), &text));
    EXPECT_EQ(text.GetLength(), 1 + 63 * 4);
    EXPECT_FALSE(PasswordCodec::Encode(CString(std::u16string(190, u'p').c_str()), &text));
    EXPECT_TRUE(text.IsEmpty());
    // 95 two-byte characters are 190 bytes.
    EXPECT_FALSE(PasswordCodec::Encode(CString(std::u16string(95, u'日').c_str()), &text));
    EXPECT_FALSE(PasswordCodec::Encode(u"𠮷", &text));
    EXPECT_FALSE(PasswordCodec::Encode(u"a😀b", &text));
}

TEST(PasswordCodec, VersionOneTextsDecode) {
    for (char16_t seed : {u'A', u'z', char16_t(0x3042), char16_t(1)}) {
        EXPECT_EQ(PasswordCodec::DecodeVersion1(EncodeVersion1(u"tiger", seed)), CString(u"tiger"));
        EXPECT_EQ(PasswordCodec::DecodeVersion1(EncodeVersion1(u"パスワード", seed)), CString(u"パスワード"));
    }
    EXPECT_TRUE(PasswordCodec::DecodeVersion1(u"").IsEmpty());
    // At most 255 characters.
    EXPECT_LE(PasswordCodec::DecodeVersion1(EncodeVersion1(std::u16string(300, u'q'), u'Q')).GetLength(),
              255);
}

// The list in an ini file of its own, through the scope the callers use.
class ConnectStore : public ::testing::Test {
public:
    fs::path dir, ini;
    void SetUp() override {
        char tmpl[] = "/tmp/tavrelix-connect-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        ini = dir / "pelvoxan.ini";
    }
    void TearDown() override { fs::remove_all(dir); }
    CString Path() const { return CString(Utf8ToWide(ini.c_str()).c_str()); }
    ConnectInfoList List() const { return ConnectInfoList(Path(), CString()); }
    void Put(const char16_t* key, const char16_t* value) {
        WritePrivateProfileStringW(u"CONNECT_INFO", key, value, Path());
    }
    std::u16string Get(const char16_t* key) {
        char16_t buf[512];
        GetPrivateProfileStringW(u"CONNECT_INFO", key, u"<none>", buf, 512, Path());
        return buf;
    }
    static std::unique_ptr<ConnectInfo> Entry(const char16_t* user, const char16_t* password = u"") {
        CString stored;
        EXPECT_TRUE(PasswordCodec::Encode(password, &stored));
        return std::make_unique<ConnectInfo>(user, u"DEMO", stored, 1, 0, u"", 0, 0xFFFFFF, 0xFFFFFF);
    }
};

TEST_F(ConnectStore, AnEmptyListWithoutVersionReadsEmptyAndIsWrittenAsVersionTwo) {
    Put(u"COUNT", u"0");
    ConnectInfoList list = List();
    ASSERT_EQ(list.Load(), 1);
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.m_encodeVer, 1);
    ASSERT_EQ(list.Save(), 1);
    EXPECT_EQ(Get(u"ENCODE_VER"), u"2");
    EXPECT_EQ(Get(u"COUNT"), u"0");
}

TEST_F(ConnectStore, EntriesRoundTripWithTheirDefaults) {
    Put(u"COUNT", u"1");
    Put(u"ENCODE_VER", u"2");
    Put(u"USER-0", u"scott");
    ConnectInfoList list = List();
    list.Load();
    ASSERT_EQ(list.GetCount(), 1);
    const ConnectInfo& e = *list.GetAt(0);
    EXPECT_EQ(e.user, CString(u"scott"));
    EXPECT_EQ(e.connectMode, 1);
    EXPECT_EQ(e.useOci7, 0);
    EXPECT_EQ(e.gridBgColor, 0xFFFFFFu);
    EXPECT_EQ(std::u16string(e.ModeName()), u"NORMAL");

    list.Clear();
    list.Add(Entry(u"a", u"pa"));
    list.Add(std::make_unique<ConnectInfo>(u"b", u"T", u"", 2, 1, u"メモ", 1, 0x123456, 0x654321));
    list.Save();
    ConnectInfoList back = List();
    back.Load();
    ASSERT_EQ(back.GetCount(), 2);
    EXPECT_EQ(back.m_encodeVer, 2);
    EXPECT_EQ(back.DecodePassword(*back.GetAt(0)), CString(u"pa"));
    EXPECT_EQ(back.GetAt(1)->notes, CString(u"メモ"));
    EXPECT_EQ(back.GetAt(1)->connectMode, 2);
    EXPECT_EQ(back.GetAt(1)->gridBgColor, 0x654321u);
    EXPECT_TRUE(back.DecodePassword(*back.GetAt(1)).IsEmpty());
}

// A shorter list left the longer one's keys behind, scrambled passwords
// of deleted connections among them.
TEST_F(ConnectStore, ThreeEntriesAfterFiveRemoveTheKeysOfThreeAndFour) {
    ConnectInfoList list = List();
    for (const char16_t* u : {u"u0", u"u1", u"u2", u"u3", u"u4"}) list.Add(Entry(u, u"secret"));
    list.Save();
    ASSERT_NE(Get(u"PASSWD-4"), u"<none>");
    list.Load();
    ASSERT_EQ(list.GetCount(), 5);
    list.Clear();
    for (const char16_t* u : {u"v0", u"v1", u"v2"}) list.Add(Entry(u));
    list.Save();
    for (const char16_t* key : {u"USER-3", u"PASSWD-3", u"NOTES-3", u"OPT_GRID_BG_COLOR-3", u"USER-4",
                                u"PASSWD-4", u"CONNECT_MODE-4", u"CUSTOMIZE_OPTION-4"})
        EXPECT_EQ(Get(key), u"<none>") << WideToUtf8(key);
    EXPECT_EQ(Get(u"USER-2"), u"v2");
    ConnectInfoList back = List();
    back.Load();
    EXPECT_EQ(back.GetCount(), 3);
}

// A damaged COUNT drove two billion reads: the dialog hung.
TEST_F(ConnectStore, AHugeCountWithTwoEntriesReadsTwoAtOnce) {
    ConnectInfoList list = List();
    list.Add(Entry(u"a"));
    list.Add(Entry(u"b"));
    list.Save();
    Put(u"COUNT", u"2000000000");
    ConnectInfoList back = List();
    back.Load();
    EXPECT_EQ(back.GetCount(), 2);
    // An entry with only one key stored still counts.
    Put(u"NOTES-2", u"only notes");
    back.Load();
    EXPECT_EQ(back.GetCount(), 3);
    EXPECT_EQ(back.GetAt(2)->notes, CString(u"only notes"));
}

TEST_F(ConnectStore, VersionOnePasswordsReadByTheListsVersion) {
    Put(u"COUNT", u"1");
    Put(u"USER-0", u"old");
    Put(u"PASSWD-0", StorableVersion1(u"tiger", u'K'));
    ConnectInfoList list = List();
    list.Load();
    ASSERT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list.m_encodeVer, 1);
    EXPECT_EQ(list.DecodePassword(*list.GetAt(0)), CString(u"tiger"));
}

} // namespace
