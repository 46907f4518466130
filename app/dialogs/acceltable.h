// Key bindings: the growable list of ACCEL records the main frame turns
// into its accelerator table, kept under the settings section
// "ACCELERATOR", and the conversion between keys and their names
// ("Ctrl+Shift+F3"), shared by the key dialog and the script primitives.
#pragma once

#include <afxwin.h>

class AccelTable {
public:
    AccelTable() = default;
    AccelTable(const AccelTable&) = delete;
    AccelTable& operator=(const AccelTable&) = delete;
    ~AccelTable() { Clear(); }

    void Clear();
    // The 17 bindings of a new installation. Returns 1.
    int LoadDefaults();
    // From the settings; without a stored table the defaults. Returns 1.
    int Load();
    // To the settings, under the wait cursor. Returns 1.
    int Save() const;
    // Appends one binding; 0 when the array cannot grow.
    int Add(int cmd, int key, int fVirt);
    // Removes the first binding of that key and flag byte. Returns 1.
    int RemoveKey(int key, int fVirt);
    // The command of the first binding of the named key, or -1.
    int FindCommand(LPCWSTR keyName) const;
    // The names of the command's keys joined with ", ": 0, or -1 (and an
    // empty text) when none is bound.
    int KeysForCommand(int cmd, CString& out) const;
    void CopyFrom(const AccelTable& other);

    // "Alt+", "Ctrl+", "Shift+" and the key's letter, digit, name or character.
    static CString FormatKeyName(int key, BOOL alt, BOOL ctrl, BOOL shift);
    // The key and flag byte (FVIRTKEY | FNOINVERT and the modifiers) of a
    // name. 1, or 0 with key 0 when the name denotes no key ("Ctrl+",
    // a character no key types).
    static int ParseKeyName(LPCWSTR name, int* key, int* fVirt);
    // The command's short name: its string resource after the first "\n".
    static CString CommandShortName(int cmd);

    int GetCount() const { return m_count; }
    const ACCEL* GetData() const { return m_data; }
    ACCEL* GetData() { return m_data; }
    const ACCEL& operator[](int i) const { return m_data[i]; }

private:
    ACCEL* m_data = nullptr;
    int m_count = 0;
    int m_capacity = 0;
};

// The virtual-key names of the key-name conversion, searched in order.
struct KeyNameEntry {
    int vk;
    const char16_t* name;
};
extern const KeyNameEntry KeyNameTable[80];
