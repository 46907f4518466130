// String tables found through LoadStringW and CString::LoadString.
#include <gtest/gtest.h>

#include <afx.h>

#include <cstring>
#include <vector>

namespace {

// A string block in Windows' layout: 16 counted strings, empty ones 0.
std::vector<BYTE> Block(const std::vector<std::u16string>& strings) {
    std::vector<BYTE> out;
    for (size_t i = 0; i < 16; ++i) {
        std::u16string s = i < strings.size() ? strings[i] : std::u16string();
        WORD n = WORD(s.size());
        out.push_back(BYTE(n & 0xFF));
        out.push_back(BYTE(n >> 8));
        const BYTE* p = reinterpret_cast<const BYTE*>(s.data());
        out.insert(out.end(), p, p + s.size() * 2);
    }
    return out;
}

TEST(StringTable, MissingStringGivesFalseAndKeepsTheString) {
    CString s(u"keep");
    EXPECT_FALSE(s.LoadString(40000));
    EXPECT_EQ(s, u"keep");
    char16_t buf[8] = {u'x'};
    EXPECT_EQ(LoadStringW(nullptr, 40000, buf, 8), 0);
    EXPECT_EQ(buf[0], 0);
}

TEST(StringTable, LoadsByIdAndLaterTablesOverride) {
    // ids 0x1230..0x123F live in block 0x124.
    static std::vector<BYTE> low = Block({u"", u"社員番号", u"低"});
    static std::vector<BYTE> high = Block({u"", u"", u"高い"});
    static const win32rc::Resource lowTable[] = {{6, nullptr, 0x124, nullptr, low.data(), DWORD(low.size())}};
    static const win32rc::Resource highTable[] = {
        {6, nullptr, 0x124, nullptr, high.data(), DWORD(high.size())}};
    win32rc::RegisterResources(lowTable, 1, win32rc::kFramework);
    CString s;
    ASSERT_TRUE(s.LoadString(0x1231));
    EXPECT_EQ(s, u"社員番号");
    EXPECT_FALSE(s.LoadString(0x1230)); // empty entries do not exist

    win32rc::RegisterResources(highTable, 1, win32rc::kProgram);
    ASSERT_TRUE(s.LoadString(0x1232));
    EXPECT_EQ(s, u"高い");
    // Each string on its own: the program's block without it leaves the framework's.
    ASSERT_TRUE(s.LoadString(0x1231));
    EXPECT_EQ(s, u"社員番号");

    char16_t buf[2];
    EXPECT_EQ(LoadStringW(nullptr, 0x1232, buf, 2), 1); // cut to fit, terminated
    EXPECT_EQ(buf[0], u'高');
    EXPECT_EQ(buf[1], 0);
    LPCWSTR direct = nullptr;
    EXPECT_EQ(LoadStringW(nullptr, 0x1232, reinterpret_cast<LPWSTR>(&direct), 0), 2);
    EXPECT_EQ(std::u16string(direct, 2), u"高い");

    win32rc::UnregisterResources(highTable);
    ASSERT_TRUE(s.LoadString(0x1232));
    EXPECT_EQ(s, u"低");
    win32rc::UnregisterResources(lowTable);
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(0x124), RT_STRING), nullptr);
}

} // namespace
