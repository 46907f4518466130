#include "app/connectinfo.h"

#include <climits>
#include <ctime>
#include <random>
#include <string>

#include "app/profilescope.h"
#include "regex/regex.h"

namespace {

const char16_t kSection[] = u"CONNECT_INFO";
// Defaults no stored value has: a key read back as one is absent.
const char16_t kAbsentText[] = u"\x7F<absent>";
const int kAbsentInt = INT_MIN + 7;

// Ten orderings of the 64 symbols; a list written with them reads only with them.
const char16_t* const kAlphabets[10] = {
    u"qye1fc5FTzIYmhAwJ8GgDW7SsEUjNHdl6p0Z/3CbLQK4OuMPBrV9n2oRviaXt+xk",
    u"zq6PAaVXLEuSxiebNwZO0pHF+Dc9mB1Unh42jTIdgrkWJC38Y/MsGvyoRfl7Kt5Q",
    u"xJ81EUCMrBL/bdT24NeAqtWSXF+uQsnKIwkO3j5RZg9iYcvyGVpHaolzmDP07hf6",
    u"xRe2QuLmG+ciU1VPhW4B0fsyZTvD8zNrlIEAbjp3kgX9aFdM6SHJOKt/oYw57nCq",
    u"irLuNX13aF/JeYEstPdlvcCb49KIRDBZMj7TknogUh5VApSzQ6xf08myqwWO2+GH",
    u"pgPTuyKx1fNDOq46I7XrVSEG+2vJQj9dMHzhR8n5tmBaC/WieklZL3oYwFUcs0Ab",
    u"Ww3bsUfdaPXNuYjvKm7JOpxlEF9Hk2cCnBGVIqDT8Ai6eL1Mry5t/zQh+0ZRogS4",
    u"qJQkDYB1K7tUSrAewEaFNdjmicPbRs0MVp4x+689/3hg5HXOZuvG2fWznTLyolIC",
    u"XLBUIYdSGt4AZ1Rvye25EkFboJ0pcP7ag/KO+liV36Qzqufh9rxCDHMsNjwWm8Tn",
    u"2wAIPiC4d6mLzMKF+NjRrufg3nbY/ksBeax0HTXUWql7EGSvtp1JcVy8oOQh5Z9D",
};

std::function<unsigned()>& IndexGenerator() {
    static std::function<unsigned()> generator;
    return generator;
}

unsigned NextIndexValue() {
    if (IndexGenerator()) return IndexGenerator()();
    static std::minstd_rand engine(static_cast<unsigned>(std::time(nullptr)));
    return static_cast<unsigned>(engine());
}

CString Key(const char16_t* name, int i) {
    CString key;
    key.Format(u"%s-%d", name, i);
    return key;
}

const char16_t* const kEntryKeys[] = {u"USER",
                                      u"TNS",
                                      u"PASSWD",
                                      u"CONNECT_MODE",
                                      u"USE_OCI7_API",
                                      u"NOTES",
                                      u"CUSTOMIZE_OPTION",
                                      u"OPT_TEXT_BG_COLOR",
                                      u"OPT_GRID_BG_COLOR"};
const bool kEntryKeyIsText[] = {true, true, true, false, false, true, false, false, false};

bool EntryKeyPresent(CWinApp* app, int i, int k) {
    CString key = Key(kEntryKeys[k], i);
    if (kEntryKeyIsText[k]) return app->GetProfileString(kSection, key, kAbsentText) != kAbsentText;
    return static_cast<int>(app->GetProfileInt(kSection, key, kAbsentInt)) != kAbsentInt;
}

bool AnyEntryKeyPresent(CWinApp* app, int i) {
    for (int k = 0; k < 9; ++k)
        if (EntryKeyPresent(app, i, k)) return true;
    return false;
}

std::string AnsiBytes(const CString& text, bool* representable) {
    BOOL usedDefault = FALSE;
    int n = WideCharToMultiByte(CP_ACP, 0, text, text.GetLength(), nullptr, 0, nullptr, &usedDefault);
    std::string bytes(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, text, text.GetLength(), bytes.data(), n, nullptr, &usedDefault);
    if (representable) *representable = !usedDefault;
    return bytes;
}

CString FromAnsi(const std::string& bytes) {
    CString out;
    int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n > 0) {
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), out.GetBuffer(n), n);
        out.ReleaseBuffer(n);
    }
    return out;
}

int SymbolValue(const char16_t* alphabet, char16_t c) {
    if (!alphabet) return 0;
    for (int v = 0; v < 64; ++v)
        if (alphabet[v] == c) return v;
    return 0;
}

bool Matches(Regex* pattern, const CString& text) {
    return regex_test_str(pattern, text) == 1;
}

CString Decimal(long long v) {
    CString s;
    s.Format(u"%lld", v);
    return s;
}

} // namespace

// --- Entries ---------------------------------------------------------------------------------------

ConnectInfo::ConnectInfo(const CString& user_, const CString& tns_, const CString& password_,
                         int connectMode_, int useOci7_, const CString& notes_, int customizeOption_,
                         COLORREF textBgColor_, COLORREF gridBgColor_)
    : user(user_), tns(tns_), password(password_), connectMode(connectMode_), useOci7(useOci7_),
      notes(notes_), customizeOption(customizeOption_), textBgColor(textBgColor_), gridBgColor(gridBgColor_) {
}

const char16_t* ConnectModeName(int mode) {
    switch (mode) {
    case 1: return u"NORMAL";
    case 2: return u"SYSDBA";
    case 4: return u"SYSOPER";
    default: return u"";
    }
}

const char16_t* ConnectInfo::ModeName() const {
    return ConnectModeName(connectMode);
}

// --- Storage ---------------------------------------------------------------------------------------

int ConnectInfoList::Load() {
    CWinApp* app = AfxGetApp();
    ProfileScope scope(app, m_profileName, m_registryKey);
    m_entries.clear();
    m_encodeVer = static_cast<int>(app->GetProfileInt(kSection, u"ENCODE_VER", 1));
    const int count = static_cast<int>(app->GetProfileInt(kSection, u"COUNT", 0));
    // A damaged COUNT drives no more reads than there are entries.
    for (int i = 0; i < count && AnyEntryKeyPresent(app, i); ++i) {
        auto info = std::make_unique<ConnectInfo>(
            app->GetProfileString(kSection, Key(u"USER", i), u""),
            app->GetProfileString(kSection, Key(u"TNS", i), u""),
            app->GetProfileString(kSection, Key(u"PASSWD", i), u""),
            static_cast<int>(app->GetProfileInt(kSection, Key(u"CONNECT_MODE", i), 1)),
            static_cast<int>(app->GetProfileInt(kSection, Key(u"USE_OCI7_API", i), 0)),
            app->GetProfileString(kSection, Key(u"NOTES", i), u""),
            static_cast<int>(app->GetProfileInt(kSection, Key(u"CUSTOMIZE_OPTION", i), 0)),
            static_cast<COLORREF>(app->GetProfileInt(kSection, Key(u"OPT_TEXT_BG_COLOR", i), 0xFFFFFF)),
            static_cast<COLORREF>(app->GetProfileInt(kSection, Key(u"OPT_GRID_BG_COLOR", i), 0xFFFFFF)));
        m_entries.push_back(std::move(info));
    }
    return 1;
}

int ConnectInfoList::Save() {
    CWinApp* app = AfxGetApp();
    ProfileScope scope(app, m_profileName, m_registryKey);
    int i = 0;
    for (const auto& e : m_entries) {
        app->WriteProfileString(kSection, Key(u"USER", i), e->user);
        app->WriteProfileString(kSection, Key(u"TNS", i), e->tns);
        app->WriteProfileString(kSection, Key(u"PASSWD", i), e->password);
        app->WriteProfileInt(kSection, Key(u"CONNECT_MODE", i), e->connectMode);
        app->WriteProfileInt(kSection, Key(u"USE_OCI7_API", i), e->useOci7);
        app->WriteProfileString(kSection, Key(u"NOTES", i), e->notes);
        app->WriteProfileInt(kSection, Key(u"CUSTOMIZE_OPTION", i), e->customizeOption);
        app->WriteProfileInt(kSection, Key(u"OPT_TEXT_BG_COLOR", i), static_cast<int>(e->textBgColor));
        app->WriteProfileInt(kSection, Key(u"OPT_GRID_BG_COLOR", i), static_cast<int>(e->gridBgColor));
        ++i;
    }
    app->WriteProfileInt(kSection, u"COUNT", i);
    app->WriteProfileInt(kSection, u"ENCODE_VER", 2);
    // A deleted entry's keys (its reversibly scrambled password among them) go too.
    for (int j = i; AnyEntryKeyPresent(app, j); ++j)
        for (const char16_t* name : kEntryKeys) app->WriteProfileString(kSection, Key(name, j), nullptr);
    return 1;
}

CString ConnectInfoList::DecodePassword(const ConnectInfo& info) const {
    if (info.password.IsEmpty()) return CString();
    return m_encodeVer == 1 ? PasswordCodec::DecodeVersion1(info.password)
                            : PasswordCodec::Decode(info.password);
}

// --- Scrambling ------------------------------------------------------------------------------------

void PasswordCodec::SetIndexGenerator(std::function<unsigned()> generator) {
    IndexGenerator() = std::move(generator);
}

bool PasswordCodec::Encode(const CString& plain, CString* out) {
    out->Empty();
    if (plain.IsEmpty()) return true;
    bool representable = false;
    std::string bytes = AnsiBytes(plain, &representable);
    if (!representable || bytes.size() > static_cast<size_t>(kMaxBytes) ||
        bytes.find('\0') != std::string::npos)
        return false;
    const int index = static_cast<int>(NextIndexValue() % 10);
    const char16_t* alphabet = kAlphabets[index];
    std::u16string text(1, static_cast<char16_t>(u'a' + index));
    for (size_t i = 0; i < bytes.size(); i += 3) {
        unsigned b0 = static_cast<unsigned char>(bytes[i]);
        unsigned b1 = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        unsigned b2 = i + 2 < bytes.size() ? static_cast<unsigned char>(bytes[i + 2]) : 0;
        text += alphabet[b0 >> 2];
        text += alphabet[((b0 & 3) << 4) | (b1 >> 4)];
        text += alphabet[((b1 & 15) << 2) | (b2 >> 6)];
        text += alphabet[b2 & 63];
    }
    CString encoded(text.c_str());
    // The representability test above makes this hold; a text that would not
    // read back is never stored.
    if (Decode(encoded) != plain) return false;
    *out = encoded;
    return true;
}

CString PasswordCodec::Decode(const CString& text) {
    if (text.IsEmpty()) return CString();
    const int index = text[0] - u'a';
    const char16_t* alphabet = index >= 0 && index < 10 ? kAlphabets[index] : nullptr;
    std::string symbols = AnsiBytes(CString(text.GetString() + 1), nullptr);
    std::string bytes;
    for (size_t i = 0; i < symbols.size(); i += 4) {
        int v[4] = {0, 0, 0, 0};
        for (size_t k = 0; k < 4 && i + k < symbols.size(); ++k)
            v[k] = SymbolValue(alphabet, static_cast<char16_t>(static_cast<unsigned char>(symbols[i + k])));
        bytes += static_cast<char>(((v[0] << 2) + (v[1] >> 4)) & 255);
        bytes += static_cast<char>(((v[1] << 4) + (v[2] >> 2)) & 255);
        bytes += static_cast<char>(((v[2] << 6) + v[3]) & 255);
    }
    size_t zero = bytes.find('\0');
    if (zero != std::string::npos) bytes.resize(zero);
    return FromAnsi(bytes);
}

CString PasswordCodec::DecodeVersion1(const CString& text) {
    if (text.IsEmpty()) return CString();
    // The old runtime's generator, in a state of its own.
    uint32_t state = text[0];
    std::u16string out;
    for (int i = 1; i < text.GetLength() && out.size() < 255; ++i) {
        state = state * 214013u + 2531011u;
        const unsigned r = (state >> 16) & 0x7FFF;
        const char16_t c = static_cast<char16_t>(text[i] ^ (r % 255));
        if (c == 0) break;
        out += c;
    }
    return CString(out.c_str());
}

// --- Filling a list view -----------------------------------------------------------------------------

void FillConnectList(CListCtrl* list, std::vector<CString>* passwords, Regex* pattern, ConnectInfoList* infos,
                     BOOL reload) {
    if (reload) infos->Load();
    list->SetRedraw(FALSE);
    list->DeleteAllItems();
    passwords->clear();
    for (int i = 0; i < infos->GetCount(); ++i) {
        const ConnectInfo& e = *infos->GetAt(i);
        if (pattern && !Matches(pattern, e.user) && !Matches(pattern, e.tns) && !Matches(pattern, e.notes))
            continue;
        passwords->push_back(infos->DecodePassword(e));
        const int row = list->InsertItem(list->GetItemCount(), e.user);
        list->SetItemData(row, static_cast<DWORD_PTR>(row));
        if (!e.password.IsEmpty()) list->SetItemText(row, 1, u"*****");
        list->SetItemText(row, 2, e.tns);
        list->SetItemText(row, 3, e.ModeName());
        list->SetItemText(row, 4, e.useOci7 ? u"○" : u"");
        list->SetItemText(row, 5, e.notes);
        list->SetItemText(row, 8, Decimal(static_cast<long long>(passwords->size()) - 1));
        list->SetItemText(row, 6, Decimal(e.connectMode));
        list->SetItemText(row, 7, Decimal(e.useOci7));
        list->SetItemText(row, 9, Decimal(e.customizeOption));
        list->SetItemText(row, 10, Decimal(e.textBgColor));
        list->SetItemText(row, 11, Decimal(e.gridBgColor));
    }
    list->SetRedraw(TRUE);
}
