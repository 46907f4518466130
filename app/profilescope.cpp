#include "app/profilescope.h"

#include <cstdlib>

ProfileScope::ProfileScope(CWinApp* app, const CString& profileName, const CString& registryKey)
    : m_app(app) {
    if (!app || profileName.IsEmpty()) return;
    m_switched = true;
    m_savedProfile = app->m_pszProfileName;
    m_savedKey = app->m_pszRegistryKey;
    app->m_pszProfileName = _wcsdup(profileName);
    app->m_pszRegistryKey = registryKey.IsEmpty() ? nullptr : _wcsdup(registryKey);
}

ProfileScope::~ProfileScope() {
    if (!m_switched) return;
    free(const_cast<char16_t*>(m_app->m_pszProfileName));
    free(const_cast<char16_t*>(m_app->m_pszRegistryKey));
    m_app->m_pszProfileName = m_savedProfile;
    m_app->m_pszRegistryKey = m_savedKey;
}
