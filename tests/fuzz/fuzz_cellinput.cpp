// The parsers of what users type into the key dialog, the script key
// bindings, the sequence dialog and the BFILE dialog, over any UTF-16 text:
// a parsed key name formats to a name that parses to the same binding; a
// parsed number prints and parses back to itself; a parsed locator, written
// again, parses to the same alias and file name.
#include <string>

#include "app/dialogs/acceltable.h"
#include "app/dialogs/celldlgs.h"
#include "fuzz.h"

const uint64_t fuzz_default_count = 2000;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    const CString s(text);

    int key = -1, virt = -1;
    const int rc = AccelTable::ParseKeyName(s, &key, &virt);
    fuzz_check((rc == 1) == (key != 0), "a parsed name has a key");
    fuzz_check((virt & 3) == 3 && (virt & ~0x1F) == 0, "flag byte");
    fuzz_check(key >= 0 && key <= 0xFF, "key in a byte");
    if (rc == 1 && key != VK_OEM_5) {
        const CString name = AccelTable::FormatKeyName(key, virt & FALT, virt & FCONTROL, virt & FSHIFT);
        int k2 = 0, v2 = 0;
        fuzz_check(AccelTable::ParseKeyName(name, &k2, &v2) == 1, "formatted name parses");
        fuzz_check(k2 == key && v2 == virt, "formatted name is the same binding");
    }

    int64_t v = 0;
    if (CInputSequenceDlg::ParseInt64(s, &v)) {
        CString printed;
        printed.Format(u"%lld", static_cast<long long>(v));
        int64_t back = 1;
        fuzz_check(CInputSequenceDlg::ParseInt64(printed, &back) && back == v, "number round trip");
    }

    CString alias, file;
    if (CBfileDlg::ParseValue(s, &alias, &file)) {
        fuzz_check(!alias.IsEmpty() && !file.IsEmpty(), "locator words");
        CString again;
        again.Format(u"<BFILE dir_alias:%s file_name:%s %s>", alias.GetString(), file.GetString(), u"update");
        CString a2, f2;
        fuzz_check(CBfileDlg::ParseValue(again, &a2, &f2) && a2 == alias && f2 == file, "locator round trip");
    }
    return 0;
}

std::string fuzz_generate(std::mt19937_64& rng) {
    static const char16_t* const pieces[] = {u"Ctrl+",
                                             u"Alt+",
                                             u"Shift+",
                                             u"+",
                                             u"F3",
                                             u"ENTER",
                                             u"A",
                                             u"z",
                                             u"!",
                                             u"\\",
                                             u"あ",
                                             u"1",
                                             u"-",
                                             u" ",
                                             u"9",
                                             u"0",
                                             u"<BFILE dir_alias:",
                                             u"DIR",
                                             u" file_name:",
                                             u"x.txt",
                                             u" update>",
                                             u">",
                                             u"\t",
                                             u"\U0001F600",
                                             u"\xD800",
                                             u"9223372036854775807",
                                             u"9223372036854775808",
                                             u"-9223372036854775808",
                                             u"NUMPAD5",
                                             u"\x01"};
    std::u16string t;
    const size_t n = rng() % 8;
    for (size_t i = 0; i < n; ++i) t += pieces[rng() % (sizeof(pieces) / sizeof(pieces[0]))];
    std::string s;
    for (char16_t c : t) {
        s += static_cast<char>(c & 0xFF);
        s += static_cast<char>(c >> 8);
    }
    return s;
}
