// The move of the whole store between the registry and "tavrelix.ini": the
// settings, the font, the key bindings and the saved connections go into the
// new store; nothing moves when a saved password cannot be carried, and a
// new store that refuses the writes leaves everything in the old one.
#include <memory>
#include <vector>

#include "app/connectinfo.h"
#include "app/settings.h"
#include "app/tavexapp.h"

namespace {

const char16_t kRegistryKey[] = u"QUARN\\ORACLE";

// The key bindings as stored: a count and three values per binding.
struct StoredBindings {
    int count = -1; // -1: none stored
    std::vector<int> cmd, key, virt;
};

StoredBindings ReadBindings(CWinApp* app) {
    StoredBindings b;
    const int absent = INT_MIN + 7;
    const int count = static_cast<int>(app->GetProfileInt(u"ACCELERATOR", u"ACCEL_CNT", absent));
    if (count == absent) return b;
    b.count = count;
    for (int i = 0; i < count; ++i) {
        CString name;
        name.Format(u"CMD_%.4d", i);
        b.cmd.push_back(static_cast<int>(app->GetProfileInt(u"ACCELERATOR", name, 0)));
        name.Format(u"KEY_%.4d", i);
        b.key.push_back(static_cast<int>(app->GetProfileInt(u"ACCELERATOR", name, 0)));
        name.Format(u"VIRT_%.4d", i);
        b.virt.push_back(static_cast<int>(app->GetProfileInt(u"ACCELERATOR", name, 0)));
    }
    return b;
}

bool WriteBindings(CWinApp* app, const StoredBindings& b) {
    if (b.count < 0) return true;
    bool ok = app->WriteProfileInt(u"ACCELERATOR", u"ACCEL_CNT", b.count) != FALSE;
    for (size_t i = 0; i < b.cmd.size(); ++i) {
        CString name;
        name.Format(u"CMD_%.4d", static_cast<int>(i));
        ok &= app->WriteProfileInt(u"ACCELERATOR", name, b.cmd[i]) != FALSE;
        name.Format(u"KEY_%.4d", static_cast<int>(i));
        ok &= app->WriteProfileInt(u"ACCELERATOR", name, b.key[i]) != FALSE;
        name.Format(u"VIRT_%.4d", static_cast<int>(i));
        ok &= app->WriteProfileInt(u"ACCELERATOR", name, b.virt[i]) != FALSE;
    }
    return ok;
}

void ShowCannotSave(const CString& user, const CString& tns) {
    CString text;
    text.Format(u"パスワードを保存できません: %s@%s", user.GetString(), tns.GetString());
    MessageBoxW(nullptr, text, u"Error", MB_ICONWARNING);
}

} // namespace

void CTavexApp::UseIniStore(const CString& path) {
    free(const_cast<char16_t*>(m_pszRegistryKey));
    m_pszRegistryKey = nullptr;
    free(const_cast<char16_t*>(m_pszProfileName));
    m_pszProfileName = _wcsdup(path);
}

void CTavexApp::UseRegistryStore() {
    free(const_cast<char16_t*>(m_pszRegistryKey));
    m_pszRegistryKey = nullptr;
    SetRegistryKey(kRegistryKey);
}

void CTavexApp::MoveSettingsStorage(int useIniFile) {
    CWaitCursor wait;
    CString path;
    path.Format(u"%stavrelix.ini", util_get_tool_dir().GetString());

    // Everything is read, and every password re-encoded, before the store changes.
    StoredBindings bindings = ReadBindings(this);
    ConnectInfoList connections;
    connections.Load();
    if (connections.m_encodeVer == 1) {
        for (int i = 0; i < connections.GetCount(); ++i) {
            ConnectInfo& e = *connections.GetAt(i);
            CString stored;
            if (!PasswordCodec::Encode(connections.DecodePassword(e), &stored)) {
                ShowCannotSave(e.user, e.tns);
                WriteSettings();
                return;
            }
            e.password = stored;
        }
        connections.m_encodeVer = 2;
    }

    const int oldValue = AppSettings.USE_INI_FILE;
    WriteProfileInt(u"APPLICATION", u"USE_INI_FILE", useIniFile);
    if (useIniFile == 1)
        UseIniStore(path);
    else
        UseRegistryStore();

    bool written = WriteProfileInt(u"APPLICATION", u"USE_INI_FILE", useIniFile) != FALSE;
    if (written) {
        AppSettings.USE_INI_FILE = useIniFile;
        WriteSettings();
        WriteFontSettings();
        written = WriteBindings(this, bindings);
        connections.Save();
    }
    if (written) return;

    // The new store takes no writes (an ini file beside a read-only
    // directory): back to the old one, which keeps this run's settings.
    if (oldValue == 1)
        UseIniStore(path);
    else
        UseRegistryStore();
    AppSettings.USE_INI_FILE = oldValue;
    WriteProfileInt(u"APPLICATION", u"USE_INI_FILE", oldValue);
    WriteSettings();
    CString text;
    text.Format(u"設定を保存できません: %s", path.GetString());
    MessageBoxW(nullptr, text, u"Error", MB_ICONWARNING);
}
