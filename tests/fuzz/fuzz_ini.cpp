// The ini reader over any bytes: decoding and encoding are stable after one
// round; the sections, keys and values of the parsed document are those of a
// plain model of the rules (names compared without case, the first section
// and the first key of a name winning, blanks and one pair of quotes around a
// value dropped, numbers from their leading digits); the profile calls read
// the file as the document says, cut to the buffer they are given; one entry
// written reads back, then deleted is gone, and neither touches any other
// value.
#include <windows.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "fuzz.h"

const uint64_t fuzz_default_count = 400;

namespace {

// On a memory file system where there is one: every write of the profile
// calls syncs the file.
const std::string& FilePath() {
    static const std::string p = [] {
        struct stat st;
        std::string dir = stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "/tmp";
        return dir + "/tavrelix_fuzz_ini_" + std::to_string(getpid()) + ".ini";
    }();
    return p;
}

// One buffer for every profile call: filling a fresh one per call cost more
// than the parser.
std::vector<char16_t>& Buffer() {
    static std::vector<char16_t> buf(1 << 16);
    return buf;
}

const char16_t kMissing[] = u"\uFFFF\uFFFE";

// A double-NUL list from the profile calls.
std::vector<std::u16string> List(const char16_t* buf, DWORD n) {
    std::vector<std::u16string> out;
    for (DWORD i = 0; i < n;) {
        std::u16string s(buf + i);
        if (s.empty()) break;
        i += DWORD(s.size()) + 1;
        out.push_back(s);
    }
    return out;
}

std::u16string Read(const std::u16string& file, const std::u16string& section, const std::u16string& key,
                    DWORD size = 1 << 16) {
    std::vector<char16_t>& buf = Buffer();
    DWORD n =
        GetPrivateProfileStringW(section.c_str(), key.c_str(), kMissing, buf.data(), size, file.c_str());
    fuzz_check(n < size && buf[n] == 0, "a value overran its buffer");
    return std::u16string(buf.data(), n);
}

char16_t Fold(char16_t c) {
    return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
}

bool SameName(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

bool HasNul(const std::u16string& s) {
    return s.find(u'\0') != std::u16string::npos;
}

// The model: what each line is, by the rules in the header comment.
std::u16string Trim(const std::u16string& s) {
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == u' ' || s[a] == u'\t')) ++a;
    while (b > a && (s[b - 1] == u' ' || s[b - 1] == u'\t' || s[b - 1] == u'\r')) --b;
    return s.substr(a, b - a);
}

std::u16string Unquoted(std::u16string v) {
    if (v.size() >= 2 && v.front() == v.back() && (v.front() == u'"' || v.front() == u'\''))
        v = v.substr(1, v.size() - 2);
    return v;
}

struct ModelEntry {
    std::u16string key, value;
};
struct ModelSection {
    std::u16string name;
    std::vector<ModelEntry> entries;
};

std::vector<ModelSection> Model(const std::vector<std::u16string>& lines) {
    std::vector<ModelSection> out;
    ModelSection* in = nullptr; // the section whose lines these are; null after a repeated name
    for (const std::u16string& line : lines) {
        std::u16string t = Trim(line);
        if (t.size() >= 2 && t[0] == u'[' && t.find(u']') != std::u16string::npos) {
            std::u16string name = Trim(t.substr(1, t.find(u']') - 1));
            in = nullptr;
            if (std::none_of(out.begin(), out.end(),
                             [&](const ModelSection& s) { return SameName(s.name, name); })) {
                out.push_back({name, {}});
                in = &out.back();
            }
            continue;
        }
        if (!in || t.empty() || t[0] == u';' || t[0] == u'[') continue;
        size_t eq = t.find(u'=');
        if (eq == std::u16string::npos) continue;
        std::u16string key = Trim(t.substr(0, eq));
        if (std::none_of(in->entries.begin(), in->entries.end(),
                         [&](const ModelEntry& e) { return SameName(e.key, key); }))
            in->entries.push_back({key, Unquoted(Trim(t.substr(eq + 1)))});
    }
    return out;
}

UINT ModelInt(const std::u16string& v) {
    size_t i = 0;
    bool neg = false;
    if (i < v.size() && (v[i] == u'-' || v[i] == u'+')) neg = v[i++] == u'-';
    unsigned long long n = 0;
    for (; i < v.size() && v[i] >= u'0' && v[i] <= u'9'; ++i)
        n = std::min(n * 10 + (v[i] - u'0'), 0xFFFFFFFFull);
    return neg ? UINT(0u - UINT(n)) : UINT(n);
}

// The model against the parser's lookups on doc: the same sections in the
// same order; for the first sections the same keys, and for a few keys of
// each the same values (each lookup walks the document: all of them would
// cost the square of its length).
void CheckDocument(const win32ini::Document& doc, const std::vector<ModelSection>& model) {
    std::vector<std::u16string> sections = win32ini::Sections(doc);
    fuzz_check(sections.size() == model.size(), "the number of sections");
    for (size_t i = 0; i < model.size(); ++i) {
        fuzz_check(sections[i] == model[i].name, "a section's name");
        if (i >= 16) continue;
        std::vector<std::u16string> keys = win32ini::Keys(doc, model[i].name);
        fuzz_check(keys.size() == model[i].entries.size(), "the number of keys of a section");
        for (size_t k = 0; k < keys.size(); ++k) {
            const ModelEntry& e = model[i].entries[k];
            fuzz_check(keys[k] == e.key, "a key's name");
            if (k >= 2 && k + 1 < keys.size()) continue;
            std::u16string v;
            fuzz_check(win32ini::Find(doc, model[i].name, e.key, &v), "a listed key is not found");
            fuzz_check(v == e.value, "a value differs from the model's");
        }
    }
}

std::u16string Folded(std::u16string s) {
    std::transform(s.begin(), s.end(), s.begin(), Fold);
    return s;
}

const ModelEntry* Lookup(const std::vector<ModelSection>& model, const std::u16string& section,
                         const std::u16string& key) {
    for (const ModelSection& s : model) {
        if (!SameName(s.name, section)) continue;
        for (const ModelEntry& e : s.entries)
            if (SameName(e.key, key)) return &e;
        return nullptr;
    }
    return nullptr;
}

// Every entry of before, but the one written, has its value in after.
void CheckOthersKept(const std::vector<ModelSection>& before, const std::vector<ModelSection>& after,
                     const std::u16string& section, const std::u16string& key, const char* what) {
    std::map<std::pair<std::u16string, std::u16string>, const std::u16string*> now;
    for (const ModelSection& s : after)
        for (const ModelEntry& e : s.entries)
            now.emplace(std::make_pair(Folded(s.name), Folded(e.key)), &e.value);
    for (const ModelSection& s : before)
        for (const ModelEntry& e : s.entries) {
            if (SameName(s.name, section) && SameName(e.key, key)) continue;
            auto it = now.find(std::make_pair(Folded(s.name), Folded(e.key)));
            fuzz_check(it != now.end() && *it->second == e.value, what);
        }
}

std::vector<ModelSection> FileModel() {
    std::string bytes;
    fuzz_check(win32ini::ReadFile(FilePath(), &bytes), "the file is gone");
    return Model(win32ini::Decode(bytes).lines);
}

uint64_t Hash(const uint8_t* data, size_t size) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 1099511628211ull;
    return h;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    uint64_t h = Hash(data, size);

    // Decoding what was encoded gives the same lines, and encoding that
    // again the same bytes.
    win32ini::Document first = win32ini::Decode(bytes);
    win32ini::Document copy = first;
    std::string encoded = win32ini::Encode(copy);
    win32ini::Document second = win32ini::Decode(encoded);
    fuzz_check(second.lines == first.lines, "decode(encode(lines)) differs");
    fuzz_check(win32ini::Encode(second) == encoded, "encoding is not stable");
    const std::vector<ModelSection> model = Model(first.lines);
    CheckDocument(first, model);

    std::ofstream(FilePath(), std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(size));
    std::u16string file = Utf8ToWide(FilePath().c_str());

    // The section list through the profile call, whole and cut short.
    std::vector<char16_t>& buf = Buffer();
    DWORD n = GetPrivateProfileStringW(nullptr, nullptr, u"", buf.data(), DWORD(buf.size()), file.c_str());
    fuzz_check(n + 1 < buf.size() && buf[n] == 0, "section list overran");
    std::u16string all(buf.data(), n);
    bool plainNames = std::none_of(model.begin(), model.end(),
                                   [](const ModelSection& s) { return s.name.empty() || HasNul(s.name); });
    if (plainNames) {
        std::vector<std::u16string> names;
        for (const ModelSection& s : model) names.push_back(s.name);
        fuzz_check(List(buf.data(), n) == names, "the section list differs from the document's");
    }
    const DWORD small = DWORD(2 + h % 16);
    DWORD cut = GetPrivateProfileStringW(nullptr, nullptr, u"", buf.data(), small, file.c_str());
    fuzz_check(cut == all.size() ? buf[cut] == 0
                                 : cut == small - 2 && buf[small - 2] == 0 && buf[small - 1] == 0,
               "a cut list ends in two NULs");
    fuzz_check(std::u16string(buf.data(), std::min<size_t>(cut, all.size())) == all.substr(0, cut),
               "a cut list is the start of the whole one");

    // A few values through the profile calls: as the model has them, cut
    // to size - 1 units in a small buffer.
    int asked = 0;
    for (const ModelSection& s : model) {
        if (HasNul(s.name)) continue;
        for (const ModelEntry& e : s.entries) {
            if (asked >= 4 || HasNul(e.key)) continue;
            ++asked;
            std::u16string v = Read(file, s.name, e.key);
            fuzz_check(v == e.value.substr(0, v.size()) && (v.size() == e.value.size() || v.size() == 0xFFFF),
                       "a value read differs from the document's");
            std::u16string shortened = Read(file, s.name, e.key, small);
            fuzz_check(shortened == e.value.substr(0, small - 1), "a value cut short");
            fuzz_check(GetPrivateProfileIntW(s.name.c_str(), e.key.c_str(), -1, file.c_str()) ==
                           ModelInt(e.value),
                       "a number differs from its leading digits");
        }
    }

    // One entry written, read back, deleted: an existing section or a new
    // one, an existing key or a new one, chosen by the input.
    std::u16string section = u"fuzz\u5024", key = u"k";
    std::vector<const ModelSection*> named;
    for (const ModelSection& s : model)
        if (!s.name.empty() && !HasNul(s.name)) named.push_back(&s);
    if (!named.empty() && h % 3 != 0) {
        const ModelSection* s = named[(h >> 8) % named.size()];
        section = s->name;
        if (h & 0x10) std::transform(section.begin(), section.end(), section.begin(), Fold);
        std::vector<const ModelEntry*> keys;
        for (const ModelEntry& e : s->entries)
            if (!e.key.empty() && !HasNul(e.key)) keys.push_back(&e);
        if (!keys.empty() && (h & 0x20)) key = keys[(h >> 16) % keys.size()]->key;
    }
    static const char16_t* const values[] = {u"値 =1",           u" \"quoted\" ", u"'a'", u"x=y;z",
                                             u"[not a section]", u"55zz",         u"\t"};
    const std::u16string value = values[(h >> 24) % (sizeof values / sizeof values[0])];
    const std::u16string expected = Unquoted(Trim(value));
    fuzz_check(WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), file.c_str()),
               "write failed");
    fuzz_check(Read(file, section, key) == expected, "written value not read back");
    std::vector<ModelSection> written = FileModel();
    CheckOthersKept(model, written, section, key, "a write changed another value");
    fuzz_check(WritePrivateProfileStringW(section.c_str(), key.c_str(), nullptr, file.c_str()),
               "delete failed");
    // A key the section had twice reads as its second line afterwards.
    std::vector<ModelSection> deleted = FileModel();
    const ModelEntry* left = Lookup(deleted, section, key);
    fuzz_check(!left || Lookup(model, section, key), "deleting a new key left one");
    fuzz_check(Read(file, section, key) == (left ? left->value : std::u16string(kMissing)),
               "deleted key still read");
    CheckOthersKept(model, deleted, section, key, "a deletion changed another value");
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
    size_t count = rng() % (rng() % 8 == 0 ? 400 : 40);
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
