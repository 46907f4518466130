#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <elf.h>
#include <string>
#include <vector>

namespace {

// Block layout: a 4-byte tag, the block's size in bytes (4 bytes), the byte
// offset of the VS_FIXEDFILEINFO (4 bytes, 0 when the file has none), then the
// "Key=Value" lines as NUL-terminated UTF-16 strings, ended by an empty one,
// then the fixed information on 4 bytes. The section's line
// "@VS_FIXEDFILEINFO=" gives the fixed information's 13 DWORDs in hexadecimal.
const uint32_t kBlockTag = 0x42565654; // "TVVB"
const char kFixedLine[] = "@VS_FIXEDFILEINFO=";
const size_t kHeaderUnits = 6;

bool readAt(FILE* f, uint64_t offset, void* out, size_t size) {
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0 && fread(out, 1, size, f) == size;
}

// The raw bytes of the version section of an ELF64 file; empty when the file
// cannot be read, is not ELF64 or has no such section.
std::string readVersionSection(LPCWSTR fileName) {
    if (!fileName) return {};
    std::string path = WideToUtf8(fileName);
    for (char& c : path)
        if (c == '\\') c = '/';
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return {};
    std::string result;
    Elf64_Ehdr eh;
    if (readAt(f, 0, &eh, sizeof eh) && memcmp(eh.e_ident, ELFMAG, SELFMAG) == 0 &&
        eh.e_ident[EI_CLASS] == ELFCLASS64 && eh.e_shentsize == sizeof(Elf64_Shdr) && eh.e_shnum > 0 &&
        eh.e_shstrndx < eh.e_shnum && eh.e_shnum < 65535) {
        std::vector<Elf64_Shdr> sections(eh.e_shnum);
        Elf64_Shdr* names = nullptr;
        if (readAt(f, eh.e_shoff, sections.data(), sizeof(Elf64_Shdr) * eh.e_shnum))
            names = &sections[eh.e_shstrndx];
        std::string nameTable;
        if (names && names->sh_size < (1u << 24)) {
            nameTable.resize(names->sh_size);
            if (!readAt(f, names->sh_offset, nameTable.data(), nameTable.size())) nameTable.clear();
        }
        for (const Elf64_Shdr& s : sections) {
            if (nameTable.empty() || s.sh_name >= nameTable.size() || s.sh_type == SHT_NOBITS) continue;
            if (strcmp(nameTable.c_str() + s.sh_name, WIN32_VERSION_SECTION) != 0) continue;
            if (s.sh_size == 0 || s.sh_size > 65536) break;
            result.resize(s.sh_size);
            if (!readAt(f, s.sh_offset, result.data(), result.size())) result.clear();
            break;
        }
    }
    fclose(f);
    return result;
}

// The fixed information of a "@VS_FIXEDFILEINFO=" line: 13 hexadecimal DWORDs
// separated by commas, the first the signature.
bool parseFixed(const std::string& text, VS_FIXEDFILEINFO* out) {
    uint32_t v[13];
    size_t at = 0;
    for (int i = 0; i < 13; ++i) {
        if (i > 0) {
            if (at >= text.size() || text[at] != ',') return false;
            ++at;
        }
        size_t start = at;
        uint64_t n = 0;
        while (at < text.size() && isxdigit(static_cast<unsigned char>(text[at])) && at - start < 8) {
            char c = text[at++];
            n = n * 16 + static_cast<uint64_t>(
                             isdigit(static_cast<unsigned char>(c)) ? c - '0' : (c | 0x20) - 'a' + 10);
        }
        if (at == start) return false;
        v[i] = static_cast<uint32_t>(n);
    }
    if (at != text.size() || v[0] != 0xFEEF04BDu) return false;
    memcpy(out, v, sizeof v);
    return true;
}

// The block for a section's lines.
std::vector<char16_t> buildBlock(const std::string& section) {
    std::vector<char16_t> units(kHeaderUnits, 0); // tag, size and offset, filled in below
    VS_FIXEDFILEINFO fixed{};
    bool hasFixed = false;
    size_t start = 0;
    while (start < section.size()) {
        size_t end = section.find('\0', start);
        if (end == std::string::npos) end = section.size();
        std::string line = section.substr(start, end - start);
        if (line.compare(0, sizeof kFixedLine - 1, kFixedLine) == 0) {
            hasFixed = parseFixed(line.substr(sizeof kFixedLine - 1), &fixed) || hasFixed;
        } else if (!line.empty()) {
            std::u16string text = Utf8ToWide(line.data(), static_cast<ptrdiff_t>(line.size()));
            units.insert(units.end(), text.begin(), text.end());
            units.push_back(0);
        }
        start = end + 1;
    }
    units.push_back(0);
    uint32_t offset = 0;
    if (hasFixed) {
        while (units.size() % 2) units.push_back(0);
        offset = static_cast<uint32_t>(units.size() * sizeof(char16_t));
        units.resize(units.size() + sizeof fixed / sizeof(char16_t));
        memcpy(units.data() + offset / sizeof(char16_t), &fixed, sizeof fixed);
    }
    uint32_t bytes = static_cast<uint32_t>(units.size() * sizeof(char16_t));
    memcpy(units.data(), &kBlockTag, 4);
    memcpy(units.data() + 2, &bytes, 4);
    memcpy(units.data() + 4, &offset, 4);
    return units;
}

} // namespace

DWORD GetFileVersionInfoSizeW(LPCWSTR fileName, LPDWORD handle) {
    if (handle) *handle = 0;
    std::string section = readVersionSection(fileName);
    if (section.empty()) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return 0;
    }
    return static_cast<DWORD>(buildBlock(section).size() * sizeof(char16_t));
}

BOOL GetFileVersionInfoW(LPCWSTR fileName, DWORD, DWORD len, LPVOID data) {
    if (!data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string section = readVersionSection(fileName);
    if (section.empty()) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    std::vector<char16_t> block = buildBlock(section);
    size_t bytes = block.size() * sizeof(char16_t);
    if (len < bytes) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(data, block.data(), bytes);
    return TRUE;
}

BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, UINT* len) {
    if (buffer) *buffer = nullptr;
    if (len) *len = 0;
    if (!block || !subBlock) return FALSE;
    uint32_t tag = 0, bytes = 0;
    memcpy(&tag, block, 4);
    memcpy(&bytes, static_cast<const char*>(block) + 4, 4);
    if (tag != kBlockTag || bytes < kHeaderUnits * sizeof(char16_t) + 2) return FALSE;
    if (subBlock[0] == u'\\' && subBlock[1] == 0) {
        uint32_t offset = 0;
        memcpy(&offset, static_cast<const char*>(block) + 8, 4);
        if (offset == 0 || offset + sizeof(VS_FIXEDFILEINFO) > bytes) return FALSE;
        if (buffer) *buffer = const_cast<char*>(static_cast<const char*>(block) + offset);
        if (len) *len = sizeof(VS_FIXEDFILEINFO);
        return TRUE;
    }
    // String values: "\StringFileInfo\<8 hex digits>\<Key>".
    const char16_t prefix[] = u"\\StringFileInfo\\";
    size_t prefixLen = wcslen(prefix);
    if (_wcsnicmp(subBlock, prefix, prefixLen) != 0) return FALSE;
    const char16_t* key = wcschr(subBlock + prefixLen, u'\\');
    if (!key || key - (subBlock + prefixLen) != 8) return FALSE;
    ++key;
    size_t keyLen = wcslen(key);
    const char16_t* p = static_cast<const char16_t*>(block) + kHeaderUnits;
    const char16_t* end = static_cast<const char16_t*>(block) + bytes / sizeof(char16_t);
    while (p < end && *p) {
        size_t n = wcsnlen(p, static_cast<size_t>(end - p));
        if (n > keyLen && p[keyLen] == u'=' && _wcsnicmp(p, key, keyLen) == 0) {
            if (buffer) *buffer = const_cast<char16_t*>(p + keyLen + 1);
            if (len) *len = static_cast<UINT>(n - keyLen); // characters, terminator included
            return TRUE;
        }
        p += n + 1;
    }
    return FALSE;
}
