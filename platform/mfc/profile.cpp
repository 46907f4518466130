// The profile functions of CWinApp: the registry stand-in with a registry
// key, else the ini file named by the profile name.
#include <cstdlib>
#include <string>

#include <windows.h>

#include "mfc/app.h"
#include "win32/profile.h"
#include "win32/registry.h"

namespace {

void Replace(LPCWSTR& member, LPCWSTR value) {
    free(const_cast<char16_t*>(member));
    member = value ? _wcsdup(value) : nullptr;
}

// The path of the section's key below HKEY_CURRENT_USER; empty when there is none.
std::u16string SectionPath(const CWinApp* app, LPCWSTR section) {
    if (!app->m_pszRegistryKey || !app->m_pszProfileName || !section) return {};
    std::u16string path = u"Software\\";
    path += app->m_pszRegistryKey;
    path += u"\\";
    path += app->m_pszProfileName;
    path += u"\\";
    path += section;
    return path;
}

// The section's key below the application's key; null when there is none or it is missing.
HKEY SectionKey(const CWinApp* app, LPCWSTR section) {
    const std::u16string path = SectionPath(app, section);
    if (path.empty()) return nullptr;
    HKEY key = nullptr;
    return RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS ? key : nullptr;
}

} // namespace

CWinApp::ProfileStrings::~ProfileStrings() {
    Replace(app->m_pszRegistryKey, nullptr);
    Replace(app->m_pszProfileName, nullptr);
}

void CWinApp::SetRegistryKey(LPCWSTR key) {
    Replace(m_pszRegistryKey, key);
    Replace(m_pszProfileName, m_pszAppName ? m_pszAppName : AfxGetAppTitle());
}

void CWinApp::SetRegistryKey(UINT idKey) {
    CString key;
    if (key.LoadString(idKey)) SetRegistryKey(key);
}

UINT CWinApp::GetProfileInt(LPCWSTR section, LPCWSTR entry, int def) {
    if (m_pszRegistryKey) {
        HKEY key = SectionKey(this, section);
        if (!key) return UINT(def);
        DWORD type = 0, value = 0, size = sizeof value;
        LSTATUS s = RegQueryValueExW(key, entry, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
        RegCloseKey(key);
        return s == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value ? value : UINT(def);
    }
    if (!m_pszProfileName) return UINT(def);
    return GetPrivateProfileIntW(section, entry, def, m_pszProfileName);
}

CString CWinApp::GetProfileString(LPCWSTR section, LPCWSTR entry, LPCWSTR def) {
    CString fallback(def ? def : u"");
    if (m_pszRegistryKey) {
        HKEY key = SectionKey(this, section);
        if (!key) return fallback;
        DWORD type = 0, size = 0;
        LSTATUS s = RegQueryValueExW(key, entry, nullptr, &type, nullptr, &size);
        CString out;
        if (s == ERROR_SUCCESS && type == REG_SZ) {
            std::u16string buf(size / 2 + 1, u'\0');
            s = RegQueryValueExW(key, entry, nullptr, &type, reinterpret_cast<LPBYTE>(buf.data()), &size);
            if (s == ERROR_SUCCESS) out = CString(buf.c_str());
        }
        RegCloseKey(key);
        return s == ERROR_SUCCESS && type == REG_SZ ? out : fallback;
    }
    if (!m_pszProfileName) return fallback;
    // Grows the buffer until the value fits.
    for (DWORD size = 256;; size *= 4) {
        std::u16string buf(size, u'\0');
        DWORD n =
            GetPrivateProfileStringW(section, entry, def ? def : u"", buf.data(), size, m_pszProfileName);
        if (n + 1 < size || size >= (1u << 24)) return CString(buf.c_str(), int(n));
    }
}

BOOL CWinApp::WriteProfileInt(LPCWSTR section, LPCWSTR entry, int value) {
    if (m_pszRegistryKey) {
        // The section's key is made with the value, in one write.
        const std::u16string path = SectionPath(this, section);
        if (path.empty()) return FALSE;
        DWORD v = DWORD(value);
        return RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), entry, REG_DWORD, &v, sizeof v) ==
               ERROR_SUCCESS;
    }
    CString text;
    text.Format(u"%d", value);
    return m_pszProfileName && WritePrivateProfileStringW(section, entry, text, m_pszProfileName);
}

BOOL CWinApp::WriteProfileString(LPCWSTR section, LPCWSTR entry, LPCWSTR value) {
    if (m_pszRegistryKey) {
        if (!entry) {
            // The section's key goes, with its values.
            std::u16string path = u"Software\\";
            path += m_pszRegistryKey;
            path += u"\\";
            path += m_pszProfileName ? m_pszProfileName : u"";
            HKEY app = nullptr;
            if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &app) != ERROR_SUCCESS)
                return FALSE;
            LSTATUS s = RegDeleteKeyW(app, section);
            RegCloseKey(app);
            return s == ERROR_SUCCESS;
        }
        if (value) {
            const std::u16string path = SectionPath(this, section);
            if (path.empty()) return FALSE;
            return RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), entry, REG_SZ, value,
                                   DWORD((wcslen(value) + 1) * 2)) == ERROR_SUCCESS;
        }
        HKEY key = SectionKey(this, section);
        if (!key) return TRUE;
        LSTATUS s = RegDeleteValueW(key, entry);
        RegCloseKey(key);
        return s == ERROR_SUCCESS || s == ERROR_FILE_NOT_FOUND;
    }
    return m_pszProfileName && WritePrivateProfileStringW(section, entry, value, m_pszProfileName);
}
