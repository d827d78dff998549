#include "settings/settings.h"

#include "common/names.h"

DWORD g_boostMethod = 0;
DWORD g_languageSetting = 0;
DWORD g_borders = 1;
DWORD g_colorBorder = 0x80000000;
DWORD g_colorFrequency = 0x008080FF;
DWORD g_colorActive = 0xFFFFFFFF;
DWORD g_colorShadow = 0x20000000;
DWORD g_boostOnBattery = 1;

// The scalar settings by their value names.
static const struct {
    const wchar_t* name;
    DWORD* value;
} kScalars[] = {
    {L"mode", &g_boostMethod},
    {L"language", &g_languageSetting},
    {L"borders", &g_borders},
    {L"color::border", &g_colorBorder},
    {L"color::frequency", &g_colorFrequency},
    {L"color::active", &g_colorActive},
    {L"color::shadow", &g_colorShadow},
    {L"battery", &g_boostOnBattery},
};
static bool s_stored[ARRAYSIZE(kScalars)]; // read from the registry or stored since
static const wchar_t kCustomColors[] = L"color::custom";
static const wchar_t kPersonalizeKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

static bool OpenForRead(HKEY* key) {
    return RegOpenKeyExW(HKEY_CURRENT_USER, VELTRANA_SETTINGS_KEY, 0, KEY_READ, key) == ERROR_SUCCESS;
}

static bool OpenForWrite(HKEY* key) {
    return RegCreateKeyExW(HKEY_CURRENT_USER, VELTRANA_SETTINGS_KEY, 0, NULL, REG_OPTION_NON_VOLATILE,
                           KEY_WRITE, NULL, key, NULL) == ERROR_SUCCESS;
}

static void WriteValue(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    if (!OpenForWrite(&key))
        return;
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

// Longer data fails with ERROR_MORE_DATA and leaves the buffer undefined, so the read goes to
// a copy that is kept only on success.
static bool ReadValue(HKEY key, const wchar_t* name, void* data, DWORD size) {
    BYTE copy[64];
    if (size > sizeof(copy))
        return false;
    CopyMemory(copy, data, size);
    DWORD read = size;
    if (RegQueryValueExW(key, name, NULL, NULL, copy, &read) != ERROR_SUCCESS)
        return false;
    CopyMemory(data, copy, size);
    return true;
}

void LoadSettings() {
    for (bool& stored : s_stored)
        stored = false;
    HKEY key;
    if (!OpenForRead(&key))
        return;
    // Any type is taken; data shorter than 4 bytes lands on the low bytes over the default.
    for (size_t i = 0; i < ARRAYSIZE(kScalars); ++i)
        s_stored[i] = ReadValue(key, kScalars[i].name, kScalars[i].value, sizeof(DWORD));
    // Only a REG_DWORD 0 turns the boost on battery off: whatever else is there keeps today's
    // behaviour, the boost on either power source.
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, L"battery", NULL, &type, NULL, &size) != ERROR_SUCCESS || type != REG_DWORD ||
        size != sizeof(DWORD) || g_boostOnBattery != 0)
        g_boostOnBattery = 1;
    RegCloseKey(key);
}

bool SettingStored(const DWORD* setting) {
    for (size_t i = 0; i < ARRAYSIZE(kScalars); ++i) {
        if (kScalars[i].value == setting)
            return s_stored[i];
    }
    return false;
}

bool TaskbarUsesLightTheme() {
    DWORD light = 0, size = sizeof(light);
    return RegGetValueW(HKEY_CURRENT_USER, kPersonalizeKey, L"SystemUsesLightTheme", RRF_RT_REG_DWORD, NULL,
                        &light, &size) == ERROR_SUCCESS &&
           light != 0;
}

static void WriteDword(const wchar_t* name, DWORD value) {
    WriteValue(name, REG_DWORD, &value, sizeof(value));
}

void StoreSetting(const DWORD* setting) {
    for (size_t i = 0; i < ARRAYSIZE(kScalars); ++i) {
        if (kScalars[i].value == setting) {
            WriteDword(kScalars[i].name, *setting);
            s_stored[i] = true;
        }
    }
}

bool ReadCustomColors(COLORREF colors[16]) {
    HKEY key;
    if (!OpenForRead(&key))
        return false;
    bool read = ReadValue(key, kCustomColors, colors, 16 * sizeof(COLORREF));
    RegCloseKey(key);
    return read;
}

void StoreCustomColors(const COLORREF colors[16]) {
    WriteValue(kCustomColors, REG_BINARY, colors, 16 * sizeof(COLORREF));
}

// "program#N" and "program#N::enabled", N in decimal.
static void FormatProgramName(wchar_t* name, UINT slot, bool enabledValue) {
    wsprintfW(name, enabledValue ? L"program#%u::enabled" : L"program#%u", slot);
}

bool OpenStoredPrograms(HKEY* key) {
    return OpenForRead(key);
}

void CloseStoredPrograms(HKEY key) {
    RegCloseKey(key);
}

wchar_t* ReadStoredProgram(HKEY key, UINT slot, bool* enabled) {
    wchar_t name[64];
    FormatProgramName(name, slot, false);
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, NULL, &type, NULL, &size) != ERROR_SUCCESS || type != REG_SZ)
        return NULL;
    // Whole UTF-16 units and one more, zero-filled: data stored without its terminating NUL, or
    // with an odd byte count, still ends in a NUL inside the block.
    DWORD units = size / sizeof(wchar_t) + (size % sizeof(wchar_t) ? 1 : 0) + 1;
    wchar_t* path =
        static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, units * sizeof(wchar_t)));
    if (!path)
        return NULL;
    DWORD read = size;
    if (RegQueryValueExW(key, name, NULL, NULL, reinterpret_cast<BYTE*>(path), &read) != ERROR_SUCCESS) {
        // Leaves the slot free rather than holding a partial path.
        HeapFree(GetProcessHeap(), 0, path);
        return NULL;
    }
    // A missing value means disabled; data too long for 4 bytes is not trusted either.
    DWORD on = 0;
    FormatProgramName(name, slot, true);
    *enabled = ReadValue(key, name, &on, sizeof(on)) && on != 0;
    return path;
}

void StoreProgram(UINT slot, const wchar_t* path) {
    HKEY key;
    if (!OpenForWrite(&key))
        return;
    wchar_t name[64];
    FormatProgramName(name, slot, false);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                   static_cast<DWORD>((lstrlenW(path) + 1) * sizeof(wchar_t)));
    DWORD one = 1;
    FormatProgramName(name, slot, true);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
    RegCloseKey(key);
}

void StoreProgramEnabled(UINT slot, bool enabled) {
    wchar_t name[64];
    FormatProgramName(name, slot, true);
    WriteDword(name, enabled ? 1 : 0);
}

// Deleting a value must not create the key it would be in.
static bool OpenForDelete(const wchar_t* path, HKEY* key) {
    return RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_SET_VALUE, key) == ERROR_SUCCESS;
}

static void DeleteValue(const wchar_t* path, const wchar_t* name) {
    HKEY key;
    if (!OpenForDelete(path, &key))
        return;
    RegDeleteValueW(key, name);
    RegCloseKey(key);
}

void DeleteStoredProgram(UINT slot) {
    HKEY key;
    if (!OpenForDelete(VELTRANA_SETTINGS_KEY, &key))
        return;
    wchar_t name[64];
    FormatProgramName(name, slot, false);
    RegDeleteValueW(key, name);
    FormatProgramName(name, slot, true);
    RegDeleteValueW(key, name);
    RegCloseKey(key);
}

static const wchar_t* const kUndoValues[] = {VELTRANA_UNDO_VALUE, VELTRANA_UNDO_CLASS1_VALUE,
                                             VELTRANA_UNDO_MODES_VALUE};

StoredRecord ReadUndoRecord(UndoValue which, void* record, DWORD size) {
    HKEY key;
    if (!OpenForRead(&key))
        return kRecordAbsent;
    BYTE data[64];
    DWORD type = 0, read = sizeof(data);
    LONG result = RegQueryValueExW(key, kUndoValues[which], NULL, &type, data, &read);
    RegCloseKey(key);
    if (result == ERROR_FILE_NOT_FOUND)
        return kRecordAbsent;
    if (result != ERROR_SUCCESS || type != REG_BINARY || read != size || size > sizeof(data))
        return kRecordMalformed;
    CopyMemory(record, data, size);
    return kRecordFound;
}

bool WriteUndoRecord(UndoValue which, const void* record, DWORD size) {
    HKEY key;
    if (!OpenForWrite(&key))
        return false;
    bool written = RegSetValueExW(key, kUndoValues[which], 0, REG_BINARY, static_cast<const BYTE*>(record),
                                  size) == ERROR_SUCCESS &&
                   RegFlushKey(key) == ERROR_SUCCESS;
    RegCloseKey(key);
    return written;
}

void DeleteUndoRecord(UndoValue which) {
    DeleteValue(VELTRANA_SETTINGS_KEY, kUndoValues[which]);
}

static const wchar_t* StartupKey(bool once) {
    return once ? VELTRANA_RUN_ONCE_KEY : VELTRANA_RUN_KEY;
}

// "\"C:\...\veltrana.exe\"" and the argument, if any. False when the path does not fit.
static bool FormatStartupCommand(wchar_t* command, DWORD units, const wchar_t* argument) {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || length + lstrlenW(argument) + 4 > units)
        return false;
    wsprintfW(command, L"\"%s\"%s", path, argument);
    return true;
}

// Task Manager turns a Run value off without touching it: a flag of its own says so. Its first
// byte is odd while the entry is off (03 or 07, then the time it was turned off), even while on.
static bool TurnedOffInTaskManager() {
    BYTE flag[64] = {};
    DWORD size = sizeof(flag);
    return RegGetValueW(HKEY_CURRENT_USER, VELTRANA_STARTUP_APPROVED_KEY, VELTRANA_RUN_VALUE,
                        RRF_RT_REG_BINARY, NULL, flag, &size) == ERROR_SUCCESS &&
           size > 0 && (flag[0] & 1) != 0;
}

bool StartsWithWindows() {
    wchar_t expected[MAX_PATH + 8], stored[MAX_PATH + 8] = {};
    HKEY key;
    if (!FormatStartupCommand(expected, MAX_PATH + 8, L"") ||
        RegOpenKeyExW(HKEY_CURRENT_USER, VELTRANA_RUN_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, size = sizeof(stored) - sizeof(wchar_t);
    LONG result =
        RegQueryValueExW(key, VELTRANA_RUN_VALUE, NULL, &type, reinterpret_cast<BYTE*>(stored), &size);
    RegCloseKey(key);
    // Paths compare without regard to case, as the file system does.
    return result == ERROR_SUCCESS && type == REG_SZ &&
           CompareStringOrdinal(stored, -1, expected, -1, TRUE) == CSTR_EQUAL && !TurnedOffInTaskManager();
}

static void SetStartupCommand(bool once, bool on, const wchar_t* argument) {
    wchar_t command[MAX_PATH + 16];
    HKEY key;
    if (!on) {
        DeleteValue(StartupKey(once), VELTRANA_RUN_VALUE);
    } else if (FormatStartupCommand(command, MAX_PATH + 16, argument) &&
               RegCreateKeyExW(HKEY_CURRENT_USER, StartupKey(once), 0, NULL, REG_OPTION_NON_VOLATILE,
                               KEY_SET_VALUE, NULL, &key, NULL) == ERROR_SUCCESS) {
        RegSetValueExW(key, VELTRANA_RUN_VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                       static_cast<DWORD>((lstrlenW(command) + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
}

void SetStartWithWindows(bool on) {
    SetStartupCommand(false, on, L"");
    // The choice made here replaces one made in Task Manager.
    DeleteValue(VELTRANA_STARTUP_APPROVED_KEY, VELTRANA_RUN_VALUE);
}

void SetRestoreAtNextLogon(bool on) {
    SetStartupCommand(true, on, L" -restore");
}
