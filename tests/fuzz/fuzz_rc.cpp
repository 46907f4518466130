// The resource compiler over any script: it either fails with "file:line:
// error:" or gives resources whose layouts hold together: dialog templates
// parse, string blocks hold sixteen counted strings, menus and accelerator
// tables end with their last-item flag, toolbars and version nodes have the
// sizes they state.
#include <windows.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "compiler.h"
#include "fuzz.h"

const uint64_t fuzz_default_count = 300;

namespace {

const std::string& Dir() {
    static const std::string d = [] {
        std::string p = "/tmp/tavrelix_fuzz_rc_" + std::to_string(getpid());
        mkdir(p.c_str(), 0700);
        return p;
    }();
    return d;
}

unsigned Word(const std::vector<uint8_t>& b, size_t at) {
    return at + 2 <= b.size() ? unsigned(b[at] | (b[at + 1] << 8)) : 0x10000u;
}

// A menu template's items from at; false when the layout runs off the end.
bool WalkMenu(const std::vector<uint8_t>& b, size_t& at, int depth) {
    if (depth > 70) return false;
    for (;;) {
        unsigned flags = Word(b, at);
        if (flags > 0xFFFF) return false;
        at += 2;
        if (!(flags & 0x10)) at += 2; // the command id
        while (Word(b, at) != 0) {
            if (Word(b, at) > 0xFFFF) return false;
            at += 2;
        }
        at += 2;
        if ((flags & 0x10) && !WalkMenu(b, at, depth + 1)) return false;
        if (flags & 0x80) return true;
    }
}

// A version node: its length covers its key, value and children.
bool WalkVersion(const std::vector<uint8_t>& b, size_t at, size_t end, int depth) {
    if (depth > 70) return false;
    unsigned length = Word(b, at);
    if (length > 0xFFFF || at + length > end || length < 6) return false;
    size_t p = at + 6;
    while (Word(b, p) != 0) {
        if (p >= at + length) return false;
        p += 2;
    }
    p += 2;
    p = (p + 3) & ~size_t(3);
    unsigned valueLength = Word(b, at + 2), text = Word(b, at + 4);
    p += text ? valueLength * 2 : valueLength;
    while (true) {
        p = (p + 3) & ~size_t(3);
        if (p >= at + length) return p <= at + length + 3;
        if (!WalkVersion(b, p, at + length, depth + 1)) return false;
        p += Word(b, p);
    }
}

void CheckResource(const rc::CompiledResource& r) {
    const std::vector<uint8_t>& b = r.data;
    switch (r.type) {
    case 5: {
        win32dlg::Template t;
        fuzz_check(win32dlg::ParseTemplate(b.data(), b.size(), &t), "a compiled dialog does not parse");
        break;
    }
    case 6: {
        size_t at = 0;
        for (int i = 0; i < 16; ++i) {
            fuzz_check(Word(b, at) <= 0xFFFF, "a string block is cut short");
            at += 2 + Word(b, at) * 2;
        }
        fuzz_check(at == b.size(), "a string block is not sixteen strings");
        break;
    }
    case 4: {
        size_t at = 4;
        fuzz_check(Word(b, 0) == 0 && WalkMenu(b, at, 0) && at == b.size(), "a menu template does not hold");
        break;
    }
    case 9:
        fuzz_check(!b.empty() && b.size() % 8 == 0 && (Word(b, b.size() - 8) & 0x80),
                   "an accelerator table does not end with its last entry");
        break;
    case 241:
        fuzz_check(b.size() == 8 + 2 * Word(b, 6) && Word(b, 0) == 1, "a toolbar's count is wrong");
        break;
    case 16:
        fuzz_check(Word(b, 0) == b.size() && WalkVersion(b, 0, b.size(), 0), "a version node is wrong");
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string script = Dir() + "/fuzz.rc";
    std::ofstream(script, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));
    rc::Script out;
    std::string error;
    if (!rc::Compile(
            script,
            {TAVRELIX_SOURCE_DIR "/platform/win32/include", TAVRELIX_SOURCE_DIR "/platform/mfc/include"},
            {{"TAVRELIX_VERSION", "\"0.1.0\""}}, &out, &error)) {
        // "path:line: error: ...": the script or a header it included.
        size_t e = error.find(": error: ");
        size_t colon = e == std::string::npos ? e : error.rfind(':', e - 1);
        bool located = e != std::string::npos && colon != std::string::npos && colon > 0 && colon + 1 < e &&
                       error[0] == '/' && error.find_first_not_of("0123456789", colon + 1) == e;
        fuzz_check(located, "a failure without file and line");
        return 0;
    }
    for (const rc::CompiledResource& r : out.resources) {
        fuzz_check(r.name.empty() ? r.id >= 1 && r.id <= 65535 : true, "an id outside 1-65535");
        CheckResource(r);
    }
    (void)rc::EmitCpp(out, script, false);
    return 0;
}

// Scripts from the statements the compiler knows, with numbers, strings,
// styles and blocks in any order, some unbalanced.
std::string fuzz_generate(std::mt19937_64& rng) {
    static const char* const pieces[] = {"#pragma code_page(65001)\n",
                                         "#include <windows.h>\n",
                                         "#include <afxres.h>\n",
                                         "#define X 5\n",
                                         "#if X > 3\n",
                                         "#else\n",
                                         "#endif\n",
                                         "#ifdef Y\n",
                                         "STRINGTABLE\n",
                                         "BEGIN\n",
                                         "END\n",
                                         "{",
                                         "}",
                                         "1 ",
                                         "100 ",
                                         "0x7FFF ",
                                         "65536 ",
                                         "X ",
                                         "-1 ",
                                         "( ",
                                         ") ",
                                         "| ",
                                         "~",
                                         "NOT ",
                                         ", ",
                                         "\"テキスト\" ",
                                         "\"a\"\"b\" ",
                                         "\"\\0\" ",
                                         "\"",
                                         "DIALOGEX 0, 0, 200, 100\n",
                                         "DIALOG 1,2,3,4\n",
                                         "STYLE WS_POPUP | WS_CAPTION | DS_SETFONT\n",
                                         "CAPTION \"見出し\"\n",
                                         "FONT 9, \"ＭＳ Ｐゴシック\"\n",
                                         "FONT 9, \"MS UI Gothic\", 400, 0, 0x80\n",
                                         "LTEXT \"ラベル\", -1, 1, 2, 3, 4\n",
                                         "EDITTEXT 1001, 1, 2, 3, 4, ES_MULTILINE\n",
                                         "CONTROL \"\", 1002, \"SysListView32\", LVS_REPORT, 1,2,3,4\n",
                                         "DEFPUSHBUTTON \"OK\", IDOK, 1, 2, 3, 4\n",
                                         "COMBOBOX 1003, 1,2,3,4, CBS_DROPDOWN\n",
                                         "ICON \"\", 1004, 1, 2\n",
                                         "MENU\n",
                                         "POPUP \"ファイル(&F)\"\n",
                                         "MENUITEM \"開く\", 3001\n",
                                         "MENUITEM SEPARATOR\n",
                                         "GRAYED ",
                                         "ACCELERATORS\n",
                                         "\"O\", 3001, VIRTKEY, CONTROL\n",
                                         "VK_F4, 3002, VIRTKEY, ALT\n",
                                         "\"^C\", 3003\n",
                                         "TOOLBAR 16, 15\n",
                                         "BUTTON 3001\n",
                                         "SEPARATOR\n",
                                         "VERSIONINFO\n",
                                         "FILEVERSION 1,2,3,4\n",
                                         "PRODUCTVERSION 1,2\n",
                                         "FILEOS VOS_NT_WINDOWS32\n",
                                         "BLOCK \"StringFileInfo\"\n",
                                         "BLOCK \"041104b0\"\n",
                                         "VALUE \"FileVersion\", TAVRELIX_VERSION\n",
                                         "VALUE \"Translation\", 0x411, 1200\n",
                                         "DLGINIT\n",
                                         "1003, 0x403, 4, 0\n",
                                         "0x6261, 0x0063\n",
                                         "RCDATA\n",
                                         "LANGUAGE 0x11, 0x1\n",
                                         "NAME ",
                                         "// note\n",
                                         "/* c */",
                                         "\n"};
    std::string text;
    size_t count = rng() % 60;
    for (size_t i = 0; i < count; ++i) text += pieces[rng() % (sizeof pieces / sizeof pieces[0])];
    if (rng() % 8 == 0 && !text.empty()) text[rng() % text.size()] = char(rng() % 256);
    return text;
}
