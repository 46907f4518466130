// Ini files: the private-profile calls by Windows' rules. Names compare
// case-insensitively, the first of duplicate sections or keys wins, a number
// is read from its leading digits ("55zz" is 55). Files are read as UTF-16LE
// (with its mark), UTF-8, else CP932, and written back in the same encoding;
// a CP932 file given a character CP932 lacks, and a new file, are UTF-8.
// Each write locks the directory, re-reads the file, changes one entry and
// renames a temporary file over the old one, so two running programs lose
// nothing.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "win32/types.h"

// Without a section: the section names; without a key: the section's keys;
// each terminated, the list by an extra NUL. Otherwise the value (blanks
// around it and one pair of enclosing quotes removed) or the default. Cut to
// size - 1 units (size - 2 for lists); gives the units copied.
DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR def, LPWSTR out, DWORD size,
                               LPCWSTR file);
UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT def, LPCWSTR file);
// A null value deletes the key, a null key the section.
BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file);

namespace win32ini {

enum class Encoding { Utf8, Utf8Bom, Utf16Le, Cp932 };

// A parsed file: its lines kept verbatim so comments and layout survive.
struct Document {
    Encoding encoding = Encoding::Utf8;
    bool crlf = false;
    std::vector<std::u16string> lines;
};

Document Decode(const std::string& bytes);
// Encodes doc; a CP932 document that cannot hold its text becomes UTF-8.
std::string Encode(Document& doc);

// Lookups on a document, by the rules above.
bool Find(const Document& doc, const std::u16string& section, const std::u16string& key,
          std::u16string* value);
std::vector<std::u16string> Sections(const Document& doc);
std::vector<std::u16string> Keys(const Document& doc, const std::u16string& section);
void Set(Document& doc, const std::u16string& section, const std::u16string* key,
         const std::u16string* value);

// Reads a file whole; false when it cannot be read.
bool ReadFile(const std::string& path, std::string* bytes);
// Replaces path by bytes through a temporary file in the same directory,
// with the given mode for a new file (an existing one keeps its mode).
bool ReplaceFile(const std::string& path, const std::string& bytes, unsigned mode);
// Runs fn while holding an exclusive lock on the file's directory.
bool WithDirectoryLock(const std::string& path, const std::function<bool()>& fn);
// The UTF-8 path of a profile file name ('\\' read as '/').
std::string NativePath(LPCWSTR file);

} // namespace win32ini
