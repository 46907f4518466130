// Saved connections: the list in memory, its storage in the settings
// section CONNECT_INFO (the program's own settings or the sibling editor's),
// the scrambling of the stored passwords and the filling of a list view.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <afxwin.h>

struct Regex;

struct ConnectInfo {
    ConnectInfo(const CString& user, const CString& tns, const CString& password, int connectMode,
                int useOci7, const CString& notes, int customizeOption, COLORREF textBgColor,
                COLORREF gridBgColor);
    CString user;
    CString tns;
    CString password; // as stored: scrambled, or empty
    int connectMode;  // 1 NORMAL, 2 SYSDBA, 4 SYSOPER
    int useOci7;
    CString notes;
    int customizeOption;
    COLORREF textBgColor;
    COLORREF gridBgColor;
    // "NORMAL", "SYSDBA", "SYSOPER", or empty.
    const char16_t* ModeName() const;
};

const char16_t* ConnectModeName(int mode);

class ConnectInfoList {
public:
    ConnectInfoList() = default;
    ConnectInfoList(const CString& profileName, const CString& registryKey)
        : m_profileName(profileName), m_registryKey(registryKey) {}

    // Reads the list from the settings; 1. Reading stops at COUNT or at the
    // first index none of whose keys is stored, whichever comes first.
    int Load();
    // Writes the list (ENCODE_VER 2) and removes the keys of the indexes from
    // the new COUNT on that a longer list left behind; 1.
    int Save();

    void Clear() { m_entries.clear(); }
    void Add(std::unique_ptr<ConnectInfo> info) { m_entries.push_back(std::move(info)); }
    int GetCount() const { return static_cast<int>(m_entries.size()); }
    ConnectInfo* GetAt(int i) const { return m_entries[static_cast<size_t>(i)].get(); }

    // The stored password decoded by the list's ENCODE_VER; empty stays empty.
    CString DecodePassword(const ConnectInfo& info) const;

    CString m_profileName;
    CString m_registryKey;
    int m_encodeVer = 1;

private:
    std::vector<std::unique_ptr<ConnectInfo>> m_entries;
};

// The scrambled form of the stored passwords. Version 2: a letter "a" to "j"
// choosing one of ten alphabets of the 64 symbols, then four symbols for
// every three bytes of the password in the ANSI code page. Version 1 is the
// old XOR form, only read.
namespace PasswordCodec {
// The most bytes a password may have (63 groups of three).
constexpr int kMaxBytes = 189;
// false (and *out empty) when the password has a character the ANSI code page
// cannot write, or more than kMaxBytes bytes in it. Empty stays empty.
bool Encode(const CString& plain, CString* out);
CString Decode(const CString& text);
CString DecodeVersion1(const CString& text);
// Tests: the alphabet index generator (a value taken mod 10); null restores the codec's own.
void SetIndexGenerator(std::function<unsigned()> generator);
} // namespace PasswordCodec

// Fills a list view and the plain passwords from the list, with an optional
// pattern that USER, TNS or NOTES must match, after reloading when asked.
void FillConnectList(CListCtrl* list, std::vector<CString>* passwords, Regex* pattern, ConnectInfoList* infos,
                     BOOL reload);
