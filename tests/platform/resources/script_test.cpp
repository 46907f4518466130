// The compiled demonstration script, and the compiler's errors.
#include <gtest/gtest.h>

#include <afx.h>
#include <afxwin.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "../dlgdemo/demo.h"

namespace {

const BYTE* Find(int type, int id, DWORD* size) {
    HRSRC r = FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
    if (!r) return nullptr;
    *size = SizeofResource(nullptr, r);
    return static_cast<const BYTE*>(LockResource(LoadResource(nullptr, r)));
}

WORD Word(const BYTE* p, size_t at) {
    WORD w;
    std::memcpy(&w, p + at, 2);
    return w;
}

TEST(Script, TablesMatchTheScript) {
    CString s;
    ASSERT_TRUE(s.LoadString(IDS_DEMO_TITLE));
    EXPECT_EQ(s, u"ダイアログの見本");
    ASSERT_TRUE(s.LoadString(IDS_DEMO_ROWS));
    EXPECT_EQ(s, u"社員番号\t氏名");

    DWORD size = 0;
    const BYTE* dlg = Find(5, IDD_TABLE_SELECT, &size);
    ASSERT_NE(dlg, nullptr);
    win32dlg::Template t;
    ASSERT_TRUE(win32dlg::ParseTemplate(dlg, size, &t));
    EXPECT_TRUE(t.extended);
    EXPECT_EQ(t.title, u"テーブル選択(検索条件設定)");
    EXPECT_EQ(t.face, u"ＭＳ Ｐゴシック");
    EXPECT_EQ(t.pointSize, 9);
    EXPECT_EQ(t.charset, 0x80);
    EXPECT_EQ(t.cx, 298);
    EXPECT_EQ(t.cy, 264);
    EXPECT_EQ(t.style,
              DWORD(DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME));
    ASSERT_EQ(t.items.size(), 17u);
    // Shorthand statements with their default styles.
    EXPECT_EQ(t.items[0].className, u"Static");
    EXPECT_EQ(t.items[0].text, u"オーナー(&O):");
    EXPECT_EQ(t.items[0].style, DWORD(WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT));
    EXPECT_EQ(t.items[0].id, 0xFFFFu);
    EXPECT_EQ(t.items[1].className, u"ComboBox");
    EXPECT_EQ(t.items[1].style,
              DWORD(WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP));
    EXPECT_EQ(t.items[3].className, u"Edit");
    EXPECT_EQ(t.items[3].style,
              DWORD(WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | ES_UPPERCASE));
    EXPECT_EQ(t.items[4].className, u"SysListView32");
    EXPECT_EQ(t.items[4].id, DWORD(IDC_TABLE_LIST));
    EXPECT_EQ(t.items[15].style, DWORD(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON));
    EXPECT_EQ(t.items[15].x, 187);
    EXPECT_EQ(t.items[15].cy, 14);

    const BYTE* other = Find(5, IDD_CONTROLS, &size);
    ASSERT_TRUE(win32dlg::ParseTemplate(other, size, &t));
    EXPECT_EQ(t.items[6].style, DWORD(WS_CHILD | WS_VISIBLE | WS_BORDER | ES_READONLY)); // NOT WS_TABSTOP
    // A given combo type takes the place of the statement's CBS_SIMPLE;
    // NOT WS_VISIBLE hides a push button.
    ASSERT_EQ(t.items.size(), 16u);
    EXPECT_EQ(t.items[12].id, DWORD(IDC_KIND));
    EXPECT_EQ(t.items[12].style,
              DWORD(WS_CHILD | WS_VISIBLE | CBS_DROPDOWN | CBS_SORT | WS_VSCROLL | WS_TABSTOP));
    EXPECT_EQ(t.items[13].id, DWORD(IDC_MARK));
    EXPECT_EQ(t.items[13].style, DWORD(WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON));

    // The menu: a popup holding an item, a separator and a grayed last item.
    const BYTE* menu = Find(4, IDM_DEMO, &size);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(Word(menu, 4), 0x10 | 0x80); // the only (last) popup
    const char16_t* text = reinterpret_cast<const char16_t*>(menu + 6);
    EXPECT_EQ(std::u16string(text), u"ファイル(&F)");

    // Accelerators: flag, key, id, padding; the last flagged 0x80.
    const BYTE* acc = Find(9, IDR_DEMO_ACCEL, &size);
    ASSERT_EQ(size, 16u);
    EXPECT_EQ(Word(acc, 0), 0x01 | 0x02 | 0x08);
    EXPECT_EQ(Word(acc, 2), 'O');
    EXPECT_EQ(Word(acc, 4), ID_FILE_OPEN_DEMO);
    EXPECT_EQ(Word(acc, 8), 0x01 | 0x10 | 0x80);
    EXPECT_EQ(Word(acc, 10), VK_F4);
}

DWORD Dword(const BYTE* p, size_t at) {
    DWORD d;
    std::memcpy(&d, p + at, 4);
    return d;
}

TEST(Script, ToolbarAndVersionResources) {
    // MFC's toolbar layout: version, button size, count, ids with 0 for a separator.
    DWORD size = 0;
    const BYTE* bar = Find(241, IDR_DEMO_TOOLBAR, &size);
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(size, 14u);
    EXPECT_EQ(Word(bar, 0), 1);
    EXPECT_EQ(Word(bar, 2), 16);
    EXPECT_EQ(Word(bar, 4), 15);
    EXPECT_EQ(Word(bar, 6), 3);
    EXPECT_EQ(Word(bar, 8), ID_FILE_OPEN_DEMO);
    EXPECT_EQ(Word(bar, 10), 0);
    EXPECT_EQ(Word(bar, 12), ID_FILE_EXIT_DEMO);

    // The version resource in Windows' layout: the root node, its fixed information, the blocks.
    const BYTE* ver = Find(16, VS_VERSION_INFO, &size);
    ASSERT_NE(ver, nullptr);
    EXPECT_EQ(Word(ver, 0), size);
    EXPECT_EQ(Word(ver, 2), sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(ver + 6)), u"VS_VERSION_INFO");
    const size_t fixed = 40; // 6 + 32 bytes of key, rounded up to 4
    EXPECT_EQ(Dword(ver, fixed), 0xFEEF04BDu);
    EXPECT_EQ(Dword(ver, fixed + 8), DWORD(TAVRELIX_VERSION_MAJOR << 16 | TAVRELIX_VERSION_MINOR));
    EXPECT_EQ(Dword(ver, fixed + 12), DWORD(TAVRELIX_VERSION_PATCH << 16));
    EXPECT_EQ(Dword(ver, fixed + 36), DWORD(VFT_APP));
    const size_t sfi = fixed + 52;
    EXPECT_EQ(Word(ver, sfi + 4), 1);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(ver + sfi + 6)), u"StringFileInfo");
    const size_t table = sfi + 36; // 6 + 30 bytes of key
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(ver + table + 6)), u"041104b0");
    const size_t first = table + 24; // 6 + 18 bytes of key, already on 4
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(ver + first + 6)), u"FileDescription");
    EXPECT_EQ(Word(ver, first + 2), 9); // characters with the terminator
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(ver + first + 40)), u"ダイアログの見本");
    const size_t vfi = sfi + ((Word(ver, sfi) + 3u) & ~3u);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(ver + vfi + 6)), u"VarFileInfo");
    const size_t var = vfi + 32;
    EXPECT_EQ(Word(ver, var + 2), 4); // bytes
    EXPECT_EQ(Word(ver, var + 4), 0);
    EXPECT_EQ(Word(ver, var + 32), 0x411);
    EXPECT_EQ(Word(ver, var + 34), 1200);
    EXPECT_EQ(Word(ver, vfi), var + 36 - vfi);
}

TEST(Script, TheExecutableCarriesItsVersion) {
    char16_t path[4096];
    DWORD n = GetModuleFileNameW(nullptr, path, 4096);
    ASSERT_GT(n, 0u);
    DWORD size = GetFileVersionInfoSizeW(path, nullptr);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));
    LPVOID value = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), u"\\", &value, &len));
    ASSERT_EQ(len, sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, value, sizeof info);
    EXPECT_EQ(info.dwSignature, 0xFEEF04BDu);
    char text[64];
    snprintf(text, sizeof text, "%u.%u.%u", unsigned(HIWORD(info.dwFileVersionMS)),
             unsigned(LOWORD(info.dwFileVersionMS)), unsigned(HIWORD(info.dwFileVersionLS)));
    EXPECT_EQ(std::string(text), TAVRELIX_VERSION);
    EXPECT_EQ(LOWORD(info.dwFileVersionLS), 0);
    EXPECT_EQ(info.dwProductVersionMS, info.dwFileVersionMS);
    ASSERT_TRUE(VerQueryValueW(block.data(), u"\\StringFileInfo\\041104b0\\ProductVersion", &value, &len));
    EXPECT_EQ(WideToUtf8(static_cast<const char16_t*>(value)), TAVRELIX_VERSION); // "\0" dropped
    ASSERT_TRUE(VerQueryValueW(block.data(), u"\\StringFileInfo\\041104b0\\FileDescription", &value, &len));
    EXPECT_EQ(std::u16string(static_cast<const char16_t*>(value)), u"ダイアログの見本");
}

TEST(Script, FrameworkStringsAndTheProgramsOverrides) {
    CString s;
    // The framework's, in a block the program's script also fills (AFX_IDS_APP_TITLE's).
    ASSERT_TRUE(s.LoadString(AFX_IDS_IDLEMESSAGE));
    EXPECT_EQ(s, u"レディ");
    ASSERT_TRUE(s.LoadString(AFX_IDS_APP_TITLE));
    EXPECT_EQ(s, u"ダイアログ見本");
    ASSERT_TRUE(s.LoadString(AFX_IDP_PARSE_INT));
    EXPECT_EQ(s, u"整数を入力してください。");
    ASSERT_TRUE(s.LoadString(AFX_IDP_PARSE_UINT));
    EXPECT_EQ(s, u"0以上の整数を入力してください。"); // the script's wording wins
    ASSERT_TRUE(s.LoadString(ID_INDICATOR_KANA));
    EXPECT_EQ(s, u"カナ");

    // The application's name: given, else the script's title.
    {
        CWinApp app;
        EXPECT_EQ(std::u16string(app.m_pszAppName), u"ダイアログ見本");
        EXPECT_EQ(std::u16string(AfxGetAppTitle()), u"ダイアログ見本");
        EXPECT_EQ(std::u16string(app.m_pszExeName), u"test_platform_resources");
    }
    {
        CWinApp app(u"named");
        EXPECT_EQ(std::u16string(app.m_pszAppName), u"named");
    }
}

// Runs the compiler on a script (files beside it written first); gives its
// exit status and error output, and the generated source when asked.
int Compile(const std::string& script, std::string* errors,
            const std::vector<std::pair<std::string, std::string>>& files = {},
            std::string* source = nullptr) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("tvrc" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "bad.rc") << script;
    for (const auto& [name, bytes] : files) std::ofstream(dir / name, std::ios::binary) << bytes;
    std::string cmd = std::string(TAVRELIX_RC) + " -I " TAVRELIX_SOURCE_DIR "/platform/win32/include -o " +
                      (dir / "out.cpp").string() + " " + (dir / "bad.rc").string() + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    errors->clear();
    char buf[512];
    while (p && fgets(buf, sizeof buf, p)) *errors += buf;
    int status = p ? pclose(p) : -1;
    if (source) {
        std::ifstream in(dir / "out.cpp");
        std::stringstream ss;
        ss << in.rdbuf();
        *source = ss.str();
    }
    fs::remove_all(dir);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Script, ErrorsNameFileAndLineAndFail) {
    std::string err;
    const std::string head = "#pragma code_page(65001)\n#include <windows.h>\n";
    EXPECT_EQ(Compile(head + "STRINGTABLE\nBEGIN\n  NO_SUCH_ID \"x\"\nEND\n", &err), 1);
    EXPECT_NE(err.find("bad.rc:5: error: unknown name \"NO_SUCH_ID\""), std::string::npos) << err;
    EXPECT_EQ(Compile(head + "STRINGTABLE\nBEGIN\n 7 \"a\"\n 7 \"b\"\nEND\n", &err), 1);
    EXPECT_NE(err.find("bad.rc:6: error: duplicate id 7"), std::string::npos) << err;
    EXPECT_EQ(Compile(head + "70000 DIALOGEX 0, 0, 10, 10\nBEGIN\nEND\n", &err), 1);
    EXPECT_NE(err.find("bad.rc:3: error: id 70000 outside 1-65535"), std::string::npos) << err;
    EXPECT_EQ(Compile(head + "0 MENU\nBEGIN\nEND\n", &err), 1);
    EXPECT_NE(err.find("bad.rc:3: error: id 0 outside 1-65535"), std::string::npos) << err;
    EXPECT_EQ(Compile(head + "1 TOOLBAR 16, 15\nBEGIN\n  BUTTON 5\n  BITMAP 6\nEND\n", &err), 1);
    EXPECT_NE(err.find("bad.rc:6: error: expected BUTTON or SEPARATOR"), std::string::npos) << err;
    EXPECT_EQ(Compile(head + "1 VERSIONINFO\n FILEVERSION 1,70000\nBEGIN\nEND\n", &err), 1);
    EXPECT_NE(err.find("bad.rc:4: error: version number 70000 outside 0-65535"), std::string::npos) << err;
    EXPECT_EQ(Compile(head + "1 VERSIONINFO\nBEGIN\nEND\n2 VERSIONINFO\nBEGIN\nEND\n", &err), 1);
    EXPECT_NE(err.find("bad.rc:6: error: a second VERSIONINFO"), std::string::npos) << err;
    // Macros that double at each level: 2^40 copies of x are refused, not built.
    std::string doubling = head + "#define A0 x\n";
    for (int i = 1; i <= 40; ++i)
        doubling += "#define A" + std::to_string(i) + " A" + std::to_string(i - 1) + " A" +
                    std::to_string(i - 1) + "\n";
    EXPECT_EQ(Compile(doubling + "1 RCDATA\nBEGIN\n  A40\nEND\n", &err), 1);
    EXPECT_NE(err.find("bad.rc:46: error: macros expand to more than 1 MB"), std::string::npos) << err;
    EXPECT_EQ(Compile("#pragma code_page(932)\n", &err), 1);
    EXPECT_NE(err.find("bad.rc:1: error: code page 932"), std::string::npos) << err;
    EXPECT_EQ(Compile(head +
                          "#define A 5\n#if A > 3\nA DIALOGEX 0,0,1,1\nBEGIN\n  CONTROL \"\", 1, \"Button\", "
                          "BS_PUSHBUTTON, 0,0,1,1\nEND\n#endif\n",
                      &err),
              0)
        << err;
}

// A header that says #pragma once is read at its first include only, under
// whatever name it is reached; one without it is read at every include.
TEST(Script, PragmaOnceHeadersAreReadOnce) {
    std::string err;
    const std::string script = "#pragma code_page(65001)\n#include <windows.h>\n"
                               "#include \"once.h\"\n#include \"again.h\"\n"
                               "#undef N\n#undef M\n#define N 2\n#define M 2\n"
                               "#include <windows.h>\n#include \"./once.h\"\n#include \"again.h\"\n"
                               "#if N != 2\n#error once.h was read again\n#endif\n"
                               "#if M != 1\n#error again.h was not read again\n#endif\n"
                               "1 RCDATA\nBEGIN\n  WS_VISIBLE\nEND\n";
    EXPECT_EQ(
        Compile(script, &err, {{"once.h", "#pragma once\n#define N 1\n"}, {"again.h", "#define M 1\n"}}), 0)
        << err;
}

// A BITMAP from a .bmp file holds the DIB only, as the loaders read it: the
// file's 14-byte header is dropped; data that is no bitmap file stays whole.
TEST(Script, BitmapResourcesDropTheFileHeader) {
    std::string dib(40, '\0');
    dib[0] = 40;
    dib[4] = 2, dib[8] = 1, dib[12] = 1, dib[14] = 24;
    dib += std::string(8, '\x7f'); // one row of two pixels, padded
    std::string file = "BM" + std::string(12, '\x01') + dib;
    std::string err, source;
    const std::string head = "#pragma code_page(65001)\n#include <windows.h>\n";
    ASSERT_EQ(Compile(head + "7 BITMAP \"img.bmp\"\n8 RCDATA \"raw.bin\"\n", &err,
                      {{"img.bmp", file}, {"raw.bin", "BM" + std::string(60, '\x02')}}, &source),
              0)
        << err;
    // The bitmap's bytes begin with the header size 40; the raw data keeps its "BM" (66, 77).
    EXPECT_NE(source.find("{\n    40, 0, 0, 0, 2, 0, 0, 0, 1, 0,"), std::string::npos) << source;
    EXPECT_EQ(source.find("66, 77, 1, 1"), std::string::npos) << source;
    EXPECT_NE(source.find("{\n    66, 77, 2, 2"), std::string::npos) << source;
}

} // namespace
