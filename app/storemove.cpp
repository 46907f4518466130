// The move of the whole store between the registry and "tavrelix.ini": the
// settings, the font, the key bindings and the saved connections go into the
// new store; nothing moves when a saved password cannot be carried, and a
// new store that refuses the writes leaves everything in the old one.
#include "app/connectinfo.h"
#include "app/dialogs/acceltable.h"
#include "app/settings.h"
#include "app/tavexapp.h"

namespace {

const char16_t kRegistryKey[] = u"QUARN\\ORACLE";

// Whether the current store holds a key-binding table (without one the
// defaults apply).
bool BindingsStored(CWinApp* app) {
    return static_cast<int>(app->GetProfileInt(u"ACCELERATOR", u"ACCEL_CNT", -1)) != -1;
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
    CString path = util_user_file(u"tavrelix.ini");

    // Everything is read, and every password re-encoded, before the store changes.
    const bool bindingsStored = BindingsStored(this);
    AccelTable bindings;
    bindings.Load();
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
        // Without a table here the new store gets none either: the defaults
        // apply there as they do here, and a table left in it from before goes.
        if (bindingsStored)
            bindings.Save();
        else
            WriteProfileString(u"ACCELERATOR", nullptr, nullptr);
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
