// The ini reader over any bytes: decoding and encoding are stable after one
// round, every listed section and key reads back through the profile calls,
// and one entry written (then deleted) leaves every other value as it was.
#include <windows.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz.h"

const uint64_t fuzz_default_count = 400;

namespace {

const std::string& FilePath() {
    static const std::string p = "/tmp/tavrelix_fuzz_ini_" + std::to_string(getpid()) + ".ini";
    return p;
}

// A double-NUL list from the profile calls.
std::vector<std::u16string> List(const std::vector<char16_t>& buf, DWORD n) {
    std::vector<std::u16string> out;
    for (DWORD i = 0; i < n;) {
        std::u16string s(buf.data() + i);
        if (s.empty()) break;
        i += DWORD(s.size()) + 1;
        out.push_back(s);
    }
    return out;
}

std::u16string Read(const std::u16string& file, const std::u16string& section, const std::u16string& key) {
    std::vector<char16_t> buf(1 << 16);
    DWORD n = GetPrivateProfileStringW(section.c_str(), key.c_str(), u"\uFFFF\uFFFE", buf.data(),
                                       DWORD(buf.size()), file.c_str());
    return std::u16string(buf.data(), n);
}

bool SameName(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i] >= u'a' && a[i] <= u'z' ? char16_t(a[i] - 32) : a[i];
        char16_t y = b[i] >= u'a' && b[i] <= u'z' ? char16_t(b[i] - 32) : b[i];
        if (x != y) return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);

    // Decoding what was encoded gives the same lines.
    win32ini::Document first = win32ini::Decode(bytes);
    win32ini::Document copy = first;
    std::string encoded = win32ini::Encode(copy);
    win32ini::Document second = win32ini::Decode(encoded);
    fuzz_check(second.lines == first.lines, "decode(encode(lines)) differs");

    std::ofstream(FilePath(), std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(size));
    std::u16string file = Utf8ToWide(FilePath().c_str());
    std::vector<char16_t> buf(1 << 16);
    DWORD n = GetPrivateProfileStringW(nullptr, nullptr, u"", buf.data(), DWORD(buf.size()), file.c_str());
    fuzz_check(n < buf.size(), "section list overran");
    std::vector<std::u16string> sections = win32ini::Sections(first);

    // The first sections and keys, with their values. The lists name them as
    // the parsed document does; an empty name ends a list, and a name holding
    // a NUL cannot be asked for.
    if (std::none_of(sections.begin(), sections.end(), [](const std::u16string& name) {
            return name.empty() || name.find(u'\0') != std::u16string::npos;
        }))
        fuzz_check(List(buf, n) == sections, "the section list differs from the document's");
    struct Entry {
        std::u16string section, key, value;
    };
    std::vector<Entry> entries;
    for (size_t i = 0; i < sections.size() && i < 6; ++i) {
        if (sections[i].find(u'\0') != std::u16string::npos) continue;
        for (const std::u16string& key : win32ini::Keys(first, sections[i])) {
            if (entries.size() >= 30) break;
            if (key.find(u'\0') == std::u16string::npos)
                entries.push_back({sections[i], key, Read(file, sections[i], key)});
        }
    }
    for (const Entry& e : entries) {
        std::u16string v = Read(file, e.section, e.key);
        fuzz_check(v != u"\uFFFF\uFFFE", "a listed key is not found");
        (void)GetPrivateProfileIntW(e.section.c_str(), e.key.c_str(), -1, file.c_str());
    }

    // One entry written, read back, deleted; the others keep their values.
    const std::u16string section = u"fuzz\u5024", key = u"k";
    fuzz_check(WritePrivateProfileStringW(section.c_str(), key.c_str(), u"値 =1", file.c_str()),
               "write failed");
    fuzz_check(Read(file, section, key) == u"値 =1", "written value not read back");
    for (const Entry& e : entries)
        if (!SameName(e.section, section))
            fuzz_check(Read(file, e.section, e.key) == e.value, "a write changed another value");
    fuzz_check(WritePrivateProfileStringW(section.c_str(), key.c_str(), nullptr, file.c_str()),
               "delete failed");
    fuzz_check(Read(file, section, key) == u"\uFFFF\uFFFE", "deleted key still read");
    for (const Entry& e : entries)
        if (!SameName(e.section, section))
            fuzz_check(Read(file, e.section, e.key) == e.value, "a deletion changed another value");
    std::remove(FilePath().c_str());
    return 0;
}

// Ini-like lines: sections, keys, comments, quotes, blanks, line ends and
// Japanese text, in UTF-8, CP932 or UTF-16LE with its mark, sometimes damaged.
std::string fuzz_generate(std::mt19937_64& rng) {
    static const char* const pieces[] = {"[",    "]",        "=",  ";",        "\"",       " ",    "\t",
                                         "\r\n", "\n",       "\r", "Section",  "KEY",      "key",  "55zz",
                                         "値",   "社員番号", "𠮷", "\xE3\x81", "\x82\xA0", "\x81", "\xFF",
                                         "\0",   "[fuzz値]", "k=", "#"};
    std::string text;
    size_t count = rng() % 40;
    for (size_t i = 0; i < count; ++i) {
        const char* p = pieces[rng() % (sizeof pieces / sizeof pieces[0])];
        text += *p ? std::string(p) : std::string(1, '\0');
    }
    switch (rng() % 4) {
    case 0: { // UTF-16LE with its mark
        std::u16string w = Utf8ToWide(text.c_str());
        std::string out = "\xFF\xFE";
        for (char16_t c : w) out += {char(c & 0xFF), char(c >> 8)};
        if (rng() % 4 == 0) out.push_back('x'); // an odd byte
        return out;
    }
    case 1: { // CP932
        std::u16string w = Utf8ToWide(text.c_str());
        int need = WideCharToMultiByte(932, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
        std::string out(size_t(std::max(need, 0)), '\0');
        if (need > 0)
            WideCharToMultiByte(932, 0, w.data(), int(w.size()), out.data(), need, nullptr, nullptr);
        return out;
    }
    case 2: return "\xEF\xBB\xBF" + text;
    default: return text;
    }
}
