// A scoped switch of the application's settings location: with a profile
// name, the profile functions use it (and the registry key, or an ini file
// when the key is empty) until the scope ends; with an empty one nothing
// changes.
#pragma once

#include <afxwin.h>

class ProfileScope {
public:
    ProfileScope(CWinApp* app, const CString& profileName, const CString& registryKey);
    ~ProfileScope();
    ProfileScope(const ProfileScope&) = delete;
    ProfileScope& operator=(const ProfileScope&) = delete;

private:
    CWinApp* m_app;
    bool m_switched = false;
    LPCWSTR m_savedProfile = nullptr;
    LPCWSTR m_savedKey = nullptr;
};
