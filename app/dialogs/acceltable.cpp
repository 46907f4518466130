// Key bindings and key names.
#include "app/dialogs/acceltable.h"

#include <cstdlib>

#include "res/resource.h"

namespace {

constexpr const char16_t* kSection = u"ACCELERATOR";
constexpr int kGrowth = 100;
constexpr int kBaseFlags = FVIRTKEY | FNOINVERT;

struct DefaultBinding {
    BYTE fVirt;
    WORD key;
    WORD cmd;
};
constexpr DefaultBinding kDefaults[] = {
    {0x0B, 0x5A, ID_EDIT_UNDO},        {0x13, 0x08, ID_EDIT_UNDO},
    {0x0B, 0x59, ID_EDIT_REDO},        {0x0B, 0x43, ID_EDIT_COPY},
    {0x0B, 0x2D, ID_EDIT_COPY},        {0x0B, 0x58, ID_EDIT_CUT},
    {0x07, 0x2E, ID_EDIT_CUT},         {0x0B, 0x56, ID_EDIT_PASTE},
    {0x07, 0x2D, ID_EDIT_PASTE},       {0x0B, 0x41, ID_EDIT_SELECT_ALL},
    {0x03, 0x71, ID_EDIT_CELL},        {0x13, 0x0D, ID_EDIT_INSERT_NEWLINE},
    {0x0B, 0x46, ID_EDIT_SEARCH},      {0x0B, 0x48, ID_EDIT_SEARCH_REPLACE},
    {0x03, 0x72, ID_EDIT_SEARCH_NEXT}, {0x13, 0x72, ID_EDIT_CLEAR_SEARCH_HIGHLIGHT},
    {0x07, 0x72, ID_EDIT_SEARCH_PREV},
};

bool IsLetterOrDigit(int key) {
    return (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9');
}

CString IndexedKey(const char16_t* prefix, int i) {
    CString key;
    key.Format(u"%s%.4d", prefix, i);
    return key;
}

} // namespace

const KeyNameEntry KeyNameTable[80] = {
    {0x01, u"LBUTTON"},    {0x02, u"RBUTTON"}, {0x03, u"CANCEL"},     {0x04, u"MBUTTON"},
    {0x08, u"BACK"},       {0x09, u"TAB"},     {0x0C, u"CLEAR"},      {0x0D, u"ENTER"},
    {0x13, u"PAUSE"},      {0x14, u"CAPITAL"}, {0x15, u"KANA"},       {0x17, u"JUNJA"},
    {0x18, u"FINAL"},      {0x19, u"KANJI"},   {0x1B, u"ESCAPE"},     {0x1C, u"CONVERT"},
    {0x1D, u"NONCONVERT"}, {0x1E, u"ACCEPT"},  {0x1F, u"MODECHANGE"}, {0x20, u"SPACE"},
    {0x21, u"PRIOR"},      {0x22, u"NEXT"},    {0x23, u"END"},        {0x24, u"HOME"},
    {0x25, u"LEFT"},       {0x26, u"UP"},      {0x27, u"RIGHT"},      {0x28, u"DOWN"},
    {0x29, u"SELECT"},     {0x2A, u"PRINT"},   {0x2B, u"EXECUTE"},    {0x2C, u"SNAPSHOT"},
    {0x2D, u"INSERT"},     {0x2E, u"DELETE"},  {0x2F, u"HELP"},       {0x5B, u"LWIN"},
    {0x5C, u"RWIN"},       {0x5D, u"APPS"},    {0x60, u"NUMPAD0"},    {0x61, u"NUMPAD1"},
    {0x62, u"NUMPAD2"},    {0x63, u"NUMPAD3"}, {0x64, u"NUMPAD4"},    {0x65, u"NUMPAD5"},
    {0x66, u"NUMPAD6"},    {0x67, u"NUMPAD7"}, {0x68, u"NUMPAD8"},    {0x69, u"NUMPAD9"},
    {0x6A, u"MULTIPLY"},   {0x6B, u"ADD"},     {0x6C, u"SEPARATOR"},  {0x6D, u"SUBTRACT"},
    {0x6E, u"DECIMAL"},    {0x6F, u"DIVIDE"},  {0x70, u"F1"},         {0x71, u"F2"},
    {0x72, u"F3"},         {0x73, u"F4"},      {0x74, u"F5"},         {0x75, u"F6"},
    {0x76, u"F7"},         {0x77, u"F8"},      {0x78, u"F9"},         {0x79, u"F10"},
    {0x7A, u"F11"},        {0x7B, u"F12"},     {0x7C, u"F13"},        {0x7D, u"F14"},
    {0x7E, u"F15"},        {0x7F, u"F16"},     {0x80, u"F17"},        {0x81, u"F18"},
    {0x82, u"F19"},        {0x83, u"F20"},     {0x84, u"F21"},        {0x85, u"F22"},
    {0x86, u"F23"},        {0x87, u"F24"},     {0x90, u"NUMLOCK"},    {0x91, u"SCROLL"},
};

void AccelTable::Clear() {
    std::free(m_data);
    m_data = nullptr;
    m_count = 0;
    m_capacity = 0;
}

int AccelTable::LoadDefaults() {
    Clear();
    for (const DefaultBinding& d : kDefaults) Add(d.cmd, d.key, d.fVirt);
    return 1;
}

int AccelTable::Load() {
    Clear();
    CWinApp* app = AfxGetApp();
    const int count = static_cast<int>(app->GetProfileInt(kSection, u"ACCEL_CNT", -1));
    if (count == -1) return LoadDefaults();
    // The stored count is not trusted: the rows end at the first index none
    // of whose keys is present, and a row missing any key is no binding.
    for (int i = 0; i < count; ++i) {
        const int cmd = static_cast<int>(app->GetProfileInt(kSection, IndexedKey(u"CMD_", i), -1));
        const int key = static_cast<int>(app->GetProfileInt(kSection, IndexedKey(u"KEY_", i), -1));
        const int virt = static_cast<int>(app->GetProfileInt(kSection, IndexedKey(u"VIRT_", i), -1));
        if (cmd == -1 && key == -1 && virt == -1) break;
        if (cmd == -1 || key == -1 || virt == -1) continue;
        const WORD c = static_cast<WORD>(cmd), k = static_cast<WORD>(key);
        const BYTE v = static_cast<BYTE>(virt);
        if (c == 0 || k == 0 || v == 0) continue;
        Add(c, k, v);
    }
    return 1;
}

int AccelTable::Save() const {
    CWaitCursor wait;
    CWinApp* app = AfxGetApp();
    app->WriteProfileInt(kSection, u"ACCEL_CNT", m_count);
    for (int i = 0; i < m_count; ++i) {
        app->WriteProfileInt(kSection, IndexedKey(u"CMD_", i), m_data[i].cmd);
        app->WriteProfileInt(kSection, IndexedKey(u"KEY_", i), m_data[i].key);
        app->WriteProfileInt(kSection, IndexedKey(u"VIRT_", i), m_data[i].fVirt);
    }
    return 1;
}

int AccelTable::Add(int cmd, int key, int fVirt) {
    if (m_count == m_capacity) {
        const int capacity = m_capacity + kGrowth;
        auto* grown =
            static_cast<ACCEL*>(std::realloc(m_data, sizeof(ACCEL) * static_cast<size_t>(capacity)));
        if (!grown) return 0;
        m_data = grown;
        m_capacity = capacity;
    }
    m_data[m_count].fVirt = static_cast<BYTE>(fVirt);
    m_data[m_count].key = static_cast<WORD>(key);
    m_data[m_count].cmd = static_cast<WORD>(cmd);
    ++m_count;
    return 1;
}

int AccelTable::RemoveKey(int key, int fVirt) {
    for (int i = 0; i < m_count; ++i) {
        if (m_data[i].key == static_cast<WORD>(key) && m_data[i].fVirt == static_cast<BYTE>(fVirt)) {
            for (int j = i + 1; j < m_count; ++j) m_data[j - 1] = m_data[j];
            --m_count;
            break;
        }
    }
    return 1;
}

int AccelTable::FindCommand(LPCWSTR keyName) const {
    int key = 0, fVirt = 0;
    if (!ParseKeyName(keyName, &key, &fVirt)) return -1;
    for (int i = 0; i < m_count; ++i)
        if (m_data[i].key == static_cast<WORD>(key) && m_data[i].fVirt == static_cast<BYTE>(fVirt))
            return m_data[i].cmd;
    return -1;
}

int AccelTable::KeysForCommand(int cmd, CString& out) const {
    out.Empty();
    int found = 0;
    for (int i = 0; i < m_count; ++i) {
        if (m_data[i].cmd != static_cast<WORD>(cmd)) continue;
        if (found++) out += u", ";
        out += FormatKeyName(m_data[i].key, m_data[i].fVirt & FALT, m_data[i].fVirt & FCONTROL,
                             m_data[i].fVirt & FSHIFT);
    }
    return found ? 0 : -1;
}

void AccelTable::CopyFrom(const AccelTable& other) {
    if (&other == this) return;
    Clear();
    for (int i = 0; i < other.m_count; ++i)
        Add(other.m_data[i].cmd, other.m_data[i].key, other.m_data[i].fVirt);
}

CString AccelTable::FormatKeyName(int key, BOOL alt, BOOL ctrl, BOOL shift) {
    CString name;
    if (alt) name += u"Alt+";
    if (ctrl) name += u"Ctrl+";
    if (shift) name += u"Shift+";
    if (IsLetterOrDigit(key)) {
        name += static_cast<char16_t>(key);
        return name;
    }
    for (const KeyNameEntry& e : KeyNameTable) {
        if (e.vk == key) {
            name += e.name;
            return name;
        }
    }
    if (const UINT ch = ::MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_CHAR); ch != 0)
        name += static_cast<char16_t>(ch);
    return name;
}

int AccelTable::ParseKeyName(LPCWSTR name, int* key, int* fVirt) {
    const CString text = name ? name : u"";
    int flags = kBaseFlags;
    if (text.Find(u"Alt+") >= 0) flags |= FALT;
    if (text.Find(u"Ctrl+") >= 0) flags |= FCONTROL;
    if (text.Find(u"Shift+") >= 0) flags |= FSHIFT;
    const CString part = text.Mid(text.ReverseFind(u'+') + 1);
    int code = 0;
    if (part.GetLength() == 1 && IsLetterOrDigit(part[0])) {
        code = part[0];
    } else {
        for (const KeyNameEntry& e : KeyNameTable) {
            if (part == e.name) {
                code = e.vk;
                break;
            }
        }
        if (code == 0 && !part.IsEmpty()) {
            // The layout's key for the character: the low byte is the key, the
            // high byte the Shift, Ctrl and Alt the character needs.
            const short scan = ::VkKeyScanW(part[0]);
            if (scan != -1) {
                code = scan & 0xFF;
                if (scan & 0x100) flags |= FSHIFT;
                if (scan & 0x200) flags |= FCONTROL;
                if (scan & 0x400) flags |= FALT;
            }
        }
    }
    if (key) *key = code;
    if (fVirt) *fVirt = flags;
    return code != 0 ? 1 : 0;
}

CString AccelTable::CommandShortName(int cmd) {
    CString text;
    if (!text.LoadString(static_cast<UINT>(cmd))) return CString();
    const int lf = text.Find(u'\n');
    return lf < 0 ? CString() : text.Mid(lf + 1);
}
