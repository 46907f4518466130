#include <windows.h>

#include <cstdio>
#include <cstring>
#include <elf.h>
#include <string>
#include <vector>

namespace {

// Block layout: a 4-byte tag, the block's size in bytes (4 bytes), then the
// "Key=Value" lines as NUL-terminated UTF-16 strings, ended by an empty one.
const uint32_t kBlockTag = 0x42565654; // "TVVB"

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

// The block for a section's lines.
std::vector<char16_t> buildBlock(const std::string& section) {
    std::vector<char16_t> units(4, 0); // tag and size, filled in below
    size_t start = 0;
    while (start < section.size()) {
        size_t end = section.find('\0', start);
        if (end == std::string::npos) end = section.size();
        if (end > start) {
            std::u16string line = Utf8ToWide(section.data() + start, static_cast<ptrdiff_t>(end - start));
            units.insert(units.end(), line.begin(), line.end());
            units.push_back(0);
        }
        start = end + 1;
    }
    units.push_back(0);
    uint32_t bytes = static_cast<uint32_t>(units.size() * sizeof(char16_t));
    memcpy(units.data(), &kBlockTag, 4);
    memcpy(units.data() + 2, &bytes, 4);
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
    if (tag != kBlockTag || bytes < 10) return FALSE;
    // Only string values: "\StringFileInfo\<8 hex digits>\<Key>".
    const char16_t prefix[] = u"\\StringFileInfo\\";
    size_t prefixLen = wcslen(prefix);
    if (_wcsnicmp(subBlock, prefix, prefixLen) != 0) return FALSE;
    const char16_t* key = wcschr(subBlock + prefixLen, u'\\');
    if (!key || key - (subBlock + prefixLen) != 8) return FALSE;
    ++key;
    size_t keyLen = wcslen(key);
    const char16_t* p = static_cast<const char16_t*>(block) + 4;
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
