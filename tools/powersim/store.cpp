#include "store.h"

#include "common/names.h"

#include <string.h>
#include <wchar.h>
#include <stdlib.h>

const wchar_t* const kPowerFunctionNames[] = {
    L"CanUserWritePwrScheme",
    L"PowerGetActiveScheme",
    L"PowerSetActiveScheme",
    L"PowerReadACValueIndex",
    L"PowerReadDCValueIndex",
    L"PowerWriteACValueIndex",
    L"PowerWriteDCValueIndex",
    L"PowerEnumerate",
    L"PowerGetUserConfiguredACPowerMode",
    L"PowerGetUserConfiguredDCPowerMode",
    L"PowerSetUserConfiguredACPowerMode",
    L"PowerSetUserConfiguredDCPowerMode",
    L"PowerSettingRegisterNotification",
    L"CallNtPowerInformation",
    L"PdhAddEnglishCounterW",
    L"PdhCollectQueryData",
    L"PdhGetFormattedCounterArrayW",
};
static_assert(sizeof(kPowerFunctionNames) / sizeof(kPowerFunctionNames[0]) == kPowerFunctionCount,
              "a name for every PowerFunction");

const GUID kBalancedScheme = {0x381B4222, 0xF694, 0x41F0, {0x96, 0x85, 0xFF, 0x5B, 0xB2, 0x60, 0xDF, 0x2E}};
const GUID kHighPerformanceScheme = {
    0x8C5E7FDA, 0xE8BF, 0x4A96, {0x9A, 0x85, 0xA6, 0xE2, 0x3A, 0x8C, 0x63, 0x5C}};
const GUID kPowerSaverScheme = {0xA1841308, 0x3541, 0x4FAB, {0xBC, 0x81, 0xF7, 0x15, 0x56, 0xF2, 0x0B, 0x4A}};
const GUID kProcessorSubgroup = {
    0x54533251, 0x82BE, 0x4824, {0x96, 0xC1, 0x47, 0xB6, 0x0B, 0x74, 0x0D, 0x00}};
const GUID kThrottleMinimum = {0x893DEE8E, 0x2BEF, 0x41E0, {0x89, 0xC6, 0xB5, 0x5D, 0x09, 0x29, 0x96, 0x4C}};
const GUID kThrottleMinimum1 = {0x893DEE8E, 0x2BEF, 0x41E0, {0x89, 0xC6, 0xB5, 0x5D, 0x09, 0x29, 0x96, 0x4D}};

const GUID kModeBestEfficiency = {
    0x961CC777, 0x2547, 0x4F9D, {0x81, 0x74, 0x7D, 0x86, 0x18, 0x1B, 0x8A, 0x7A}};
const GUID kModeBalanced = {0x00000000, 0x0000, 0x0000, {0, 0, 0, 0, 0, 0, 0, 0}};
const GUID kModeBestPerformance = {
    0xDED574B5, 0x45A0, 0x4F42, {0x87, 0x37, 0x46, 0x34, 0x5C, 0x09, 0xC2, 0x38}};

const PowerModeName kModes[kModeCount] = {
    {&kModeBestEfficiency, L"best-efficiency"},
    {&kModeBalanced, L"balanced"},
    {&kModeBestPerformance, L"best-performance"},
};

// The minimum processor states of Windows' own plans.
const SchemeDefault kSchemes[kSchemeCount] = {
    {&kBalancedScheme, L"balanced", 5, 5},
    {&kHighPerformanceScheme, L"high-performance", 100, 100},
    {&kPowerSaverScheme, L"power-saver", 5, 5},
};

static const wchar_t kRoot[] = POWERSIM_STORE_KEY;
// A 32-bit stand-in would otherwise land in Wow6432Node and see another store than the 64-bit tools.
static const REGSAM kView = KEY_WOW64_64KEY;
static void* volatile s_mutex;

static HANDLE StoreMutex() {
    if (!s_mutex) {
        HANDLE mutex = CreateMutexW(NULL, FALSE, POWERSIM_STORE_MUTEX);
        if (mutex && InterlockedCompareExchangePointer(&s_mutex, mutex, NULL) != NULL)
            CloseHandle(mutex);
    }
    return s_mutex;
}

void ForgetStoreMutex() {
    HANDLE mutex = InterlockedExchangePointer(&s_mutex, NULL);
    if (mutex)
        CloseHandle(mutex);
}

static void Lock() {
    HANDLE mutex = StoreMutex();
    // A holder that hangs must not hang every other process: after a while go on unlocked.
    if (mutex)
        WaitForSingleObject(mutex, 10000);
}

static void Unlock() {
    if (s_mutex)
        ReleaseMutex(s_mutex);
}

static const wchar_t kHex[] = L"0123456789ABCDEF";

static wchar_t* PutHex(wchar_t* out, unsigned long value, int digits) {
    for (int i = digits - 1; i >= 0; --i)
        *out++ = kHex[(value >> (4 * i)) & 15];
    return out;
}

void FormatGuid(const GUID& guid, wchar_t* text) {
    wchar_t* p = text;
    *p++ = L'{';
    p = PutHex(p, guid.Data1, 8);
    *p++ = L'-';
    p = PutHex(p, guid.Data2, 4);
    *p++ = L'-';
    p = PutHex(p, guid.Data3, 4);
    *p++ = L'-';
    for (int i = 0; i < 8; ++i) {
        if (i == 2)
            *p++ = L'-';
        p = PutHex(p, guid.Data4[i], 2);
    }
    *p++ = L'}';
    *p = 0;
}

static int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

bool ParseGuid(const wchar_t* text, GUID* guid) {
    if (wcslen(text) != 38 || text[0] != L'{' || text[37] != L'}')
        return false;
    unsigned char bytes[16];
    int n = 0;
    for (int i = 1; i < 37;) {
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (text[i++] != L'-')
                return false;
            continue;
        }
        int high = HexValue(text[i]), low = HexValue(text[i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes[n++] = static_cast<unsigned char>(high * 16 + low);
        i += 2;
    }
    guid->Data1 =
        (static_cast<unsigned long>(bytes[0]) << 24) | (bytes[1] << 16) | (bytes[2] << 8) | bytes[3];
    guid->Data2 = static_cast<unsigned short>((bytes[4] << 8) | bytes[5]);
    guid->Data3 = static_cast<unsigned short>((bytes[6] << 8) | bytes[7]);
    memcpy(guid->Data4, bytes + 8, 8);
    return true;
}

const wchar_t* SchemeName(const GUID& scheme) {
    for (int i = 0; i < kSchemeCount; ++i)
        if (memcmp(kSchemes[i].guid, &scheme, sizeof(GUID)) == 0)
            return kSchemes[i].name;
    return NULL;
}

bool ReadDwordValue(HKEY key, const wchar_t* name, DWORD* value) {
    DWORD type = 0, size = sizeof(DWORD);
    return RegQueryValueExW(key, name, NULL, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS &&
           type == REG_DWORD && size == sizeof(DWORD);
}

static DWORD WriteDwordValue(HKEY key, const wchar_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

bool ReadGuidValue(HKEY key, const wchar_t* name, GUID* guid) {
    wchar_t text[kGuidTextLength + 1] = {0};
    DWORD type = 0, size = sizeof(text) - sizeof(wchar_t);
    if (RegQueryValueExW(key, name, NULL, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    return ParseGuid(text, guid);
}

static DWORD WriteGuidValue(HKEY key, const wchar_t* name, const GUID& guid) {
    wchar_t text[kGuidTextLength];
    FormatGuid(guid, text);
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof(text));
}

// "<prefix><function name>", for the value names and the environment variable.
static void FunctionValueName(const wchar_t* prefix, PowerFunction function, wchar_t* name, size_t size) {
    name[0] = 0;
    wcsncat(name, prefix, size - 1);
    wcsncat(name, kPowerFunctionNames[function], size - 1 - wcslen(name));
}

static void SettingPath(const GUID& scheme, const GUID* subgroup, const GUID* setting, wchar_t* path) {
    wcscpy(path, L"schemes\\");
    FormatGuid(scheme, path + wcslen(path));
    if (subgroup) {
        wcscat(path, L"\\");
        FormatGuid(*subgroup, path + wcslen(path));
    }
    if (setting) {
        wcscat(path, L"\\");
        FormatGuid(*setting, path + wcslen(path));
    }
}

const int kPathLength = 8 + 3 * kGuidTextLength + 4;

DWORD RemoveScheme(HKEY store, const GUID& scheme) {
    wchar_t path[kPathLength];
    SettingPath(scheme, NULL, NULL, path);
    HKEY key;
    DWORD result = RegOpenKeyExW(store, path, 0, KEY_ALL_ACCESS | kView, &key);
    if (result != ERROR_SUCCESS)
        return result;
    result = RegDeleteTreeW(key, NULL);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? RegDeleteKeyExW(store, path, kView, 0) : result;
}

bool SchemeExists(HKEY store, const GUID& scheme) {
    wchar_t path[kPathLength];
    SettingPath(scheme, NULL, NULL, path);
    HKEY key;
    if (RegOpenKeyExW(store, path, 0, KEY_READ | kView, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

DWORD SchemeAt(HKEY store, DWORD index, GUID* scheme) {
    HKEY schemes;
    if (RegOpenKeyExW(store, L"schemes", 0, KEY_READ | kView, &schemes) != ERROR_SUCCESS)
        return ERROR_NO_MORE_ITEMS;
    // Subkeys whose names are no GUID are not schemes, and do not count.
    DWORD result = ERROR_NO_MORE_ITEMS;
    wchar_t name[kGuidTextLength + 1];
    for (DWORD i = 0, found = 0;; ++i) {
        DWORD length = kGuidTextLength + 1;
        LONG status = RegEnumKeyExW(schemes, i, name, &length, NULL, NULL, NULL, NULL);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status == ERROR_SUCCESS && ParseGuid(name, scheme) && found++ == index) {
            result = ERROR_SUCCESS;
            break;
        }
    }
    RegCloseKey(schemes);
    return result;
}

DWORD MissingReadCode(HKEY store) {
    DWORD code;
    return ReadDwordValue(store, L"missing::read", &code) && code ? code : ERROR_FILE_NOT_FOUND;
}

DWORD SetMissingReadCode(HKEY store, DWORD code) {
    if (code)
        return WriteDwordValue(store, L"missing::read", code);
    DWORD result = RegDeleteValueW(store, L"missing::read");
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

HKEY OpenStoreToRead() {
    HKEY store;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRoot, 0, KEY_QUERY_VALUE | kView, &store) != ERROR_SUCCESS)
        return NULL;
    return store;
}

// A REG_DWORD of the store, which is opened for the read when null; false where there is none.
static bool ReadKnob(HKEY store, const wchar_t* name, DWORD* value) {
    HKEY own = store ? NULL : OpenStoreToRead();
    if (!store && !own)
        return false;
    const bool read = ReadDwordValue(store ? store : own, name, value);
    if (own)
        RegCloseKey(own);
    return read;
}

DWORD InstalledProcessors(HKEY store) {
    DWORD count;
    return ReadKnob(store, L"installed", &count) ? count : 0;
}

DWORD SetInstalledProcessors(HKEY store, DWORD count) {
    if (count)
        return WriteDwordValue(store, L"installed", count);
    DWORD result = RegDeleteValueW(store, L"installed");
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

DWORD ReadIndex(HKEY store, const GUID& scheme, const GUID& subgroup, const GUID& setting,
                const wchar_t* which, DWORD* value) {
    wchar_t path[kPathLength];
    SettingPath(scheme, &subgroup, &setting, path);
    HKEY key;
    if (RegOpenKeyExW(store, path, 0, KEY_READ | kView, &key) != ERROR_SUCCESS)
        return ERROR_FILE_NOT_FOUND;
    DWORD found;
    bool ok = ReadDwordValue(key, which, &found);
    RegCloseKey(key);
    if (!ok)
        return ERROR_FILE_NOT_FOUND;
    *value = found;
    return ERROR_SUCCESS;
}

DWORD WriteIndex(HKEY store, const GUID& scheme, const GUID& subgroup, const GUID& setting,
                 const wchar_t* which, DWORD value) {
    wchar_t path[kPathLength];
    SettingPath(scheme, &subgroup, &setting, path);
    HKEY key;
    DWORD result = RegCreateKeyExW(store, path, 0, NULL, 0, KEY_WRITE | kView, NULL, &key, NULL);
    if (result != ERROR_SUCCESS)
        return result;
    result = WriteDwordValue(key, which, value);
    RegCloseKey(key);
    return result;
}

DWORD DeleteIndex(HKEY store, const GUID& scheme, const GUID& subgroup, const GUID& setting,
                  const wchar_t* which) {
    wchar_t path[kPathLength];
    SettingPath(scheme, &subgroup, &setting, path);
    HKEY key;
    if (RegOpenKeyExW(store, path, 0, KEY_WRITE | kView, &key) != ERROR_SUCCESS)
        return ERROR_SUCCESS;
    DWORD result = RegDeleteValueW(key, which);
    RegCloseKey(key);
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

DWORD GetActiveScheme(HKEY store, GUID* scheme) {
    return ReadGuidValue(store, L"active", scheme) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

DWORD ApplyScheme(HKEY store, const GUID& scheme) {
    DWORD result = WriteGuidValue(store, L"active", scheme);
    if (result != ERROR_SUCCESS)
        return result;
    WriteGuidValue(store, L"applied::scheme", scheme);
    const GUID* const setting[4] = {&kThrottleMinimum, &kThrottleMinimum, &kThrottleMinimum1,
                                    &kThrottleMinimum1};
    const wchar_t* const which[4] = {L"ac", L"dc", L"ac", L"dc"};
    const wchar_t* const applied[4] = {L"applied::ac", L"applied::dc", L"applied::ac1", L"applied::dc1"};
    for (int i = 0; i < 4; ++i) {
        DWORD value;
        if (ReadIndex(store, scheme, kProcessorSubgroup, *setting[i], which[i], &value) == ERROR_SUCCESS)
            WriteDwordValue(store, applied[i], value);
        else
            RegDeleteValueW(store, applied[i]);
    }
    return ERROR_SUCCESS;
}

static DWORD WriteDefaults(HKEY store) {
    for (int i = 0; i < kSchemeCount; ++i) {
        const SchemeDefault& s = kSchemes[i];
        DWORD result = WriteIndex(store, *s.guid, kProcessorSubgroup, kThrottleMinimum, L"ac", s.ac);
        if (result == ERROR_SUCCESS)
            result = WriteIndex(store, *s.guid, kProcessorSubgroup, kThrottleMinimum, L"dc", s.dc);
        if (result != ERROR_SUCCESS)
            return result;
    }
    // A freshly started system has its active scheme in force.
    return ApplyScheme(store, kBalancedScheme);
}

DWORD OpenStore(HKEY* store) {
    Lock();
    DWORD result =
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRoot, 0, NULL, 0, KEY_ALL_ACCESS | kView, NULL, store, NULL);
    if (result != ERROR_SUCCESS) {
        Unlock();
        return result;
    }
    HKEY schemes;
    if (RegOpenKeyExW(*store, L"schemes", 0, KEY_READ | kView, &schemes) == ERROR_SUCCESS) {
        RegCloseKey(schemes);
    } else {
        result = WriteDefaults(*store);
        if (result != ERROR_SUCCESS) {
            CloseStore(*store);
            return result;
        }
    }
    return ERROR_SUCCESS;
}

void CloseStore(HKEY store) {
    RegCloseKey(store);
    Unlock();
}

DWORD ResetStore() {
    Lock();
    HKEY store;
    DWORD result =
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRoot, 0, NULL, 0, KEY_ALL_ACCESS | kView, NULL, &store, NULL);
    if (result == ERROR_SUCCESS) {
        result = RegDeleteTreeW(store, NULL);
        if (result == ERROR_SUCCESS)
            result = WriteDefaults(store);
        RegCloseKey(store);
    }
    Unlock();
    return result;
}

static DWORD FaultFromEnvironment(PowerFunction function) {
    wchar_t name[64], text[16];
    FunctionValueName(L"POWERSIM_FAIL_", function, name, 64);
    DWORD length = GetEnvironmentVariableW(name, text, 16);
    if (length == 0 || length >= 16)
        return 0;
    wchar_t* end;
    DWORD code = wcstoul(text, &end, 0);
    return *end ? 0 : code;
}

DWORD FaultOf(HKEY store, PowerFunction function) {
    DWORD code = FaultFromEnvironment(function);
    if (code)
        return code;
    wchar_t name[64];
    FunctionValueName(L"fail::", function, name, 64);
    return ReadKnob(store, name, &code) ? code : 0;
}

DWORD SetFault(HKEY store, PowerFunction function, DWORD code) {
    wchar_t name[64];
    FunctionValueName(L"fail::", function, name, 64);
    if (code)
        return WriteDwordValue(store, name, code);
    DWORD result = RegDeleteValueW(store, name);
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

DWORD CallsOf(HKEY store, PowerFunction function) {
    wchar_t name[64];
    FunctionValueName(L"calls::", function, name, 64);
    DWORD count;
    return ReadDwordValue(store, name, &count) ? count : 0;
}

void CountCall(HKEY store, PowerFunction function) {
    wchar_t name[64];
    FunctionValueName(L"calls::", function, name, 64);
    WriteDwordValue(store, name, CallsOf(store, function) + 1);
}

bool IsCounted(PowerFunction function) {
    return function < kCallNtPowerInformation || function == kPdhCollectQueryData;
}

DWORD ClearCalls(HKEY store) {
    for (int i = 0; i < kPowerFunctionCount; ++i) {
        if (!IsCounted(static_cast<PowerFunction>(i)))
            continue;
        wchar_t name[64];
        FunctionValueName(L"calls::", static_cast<PowerFunction>(i), name, 64);
        RegDeleteValueW(store, name);
    }
    return ERROR_SUCCESS;
}

ULONGLONG SystemTimeNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

static const wchar_t kPerformanceValue[] = L"pdh::performance";
static const wchar_t kSinceValue[] = L"pdh::since";
static const wchar_t kEarlierValue[] = L"pdh::earlier";

// "SINCE VALUES" with VALUES copied as they are; false for a malformed entry.
static bool ParseEarlier(const wchar_t* text, PerformanceSetting* setting) {
    wchar_t* end;
    setting->since = _wcstoui64(text, &end, 10);
    if (end == text)
        return false;
    while (*end == L' ')
        ++end;
    setting->values[0] = 0;
    wcsncat(setting->values, end, kPerformanceText - 1);
    return true;
}

int ReadPerformance(HKEY store, PerformanceSetting* settings, int capacity) {
    PerformanceSetting& current = settings[0];
    DWORD type = 0, size = sizeof(current.values) - sizeof(wchar_t);
    if (RegQueryValueExW(store, kPerformanceValue, NULL, &type, reinterpret_cast<BYTE*>(current.values),
                         &size) == ERROR_SUCCESS &&
        type == REG_SZ)
        current.values[size / sizeof(wchar_t)] = 0;
    else
        current.values[0] = 0;
    size = sizeof(current.since);
    if (RegQueryValueExW(store, kSinceValue, NULL, &type, reinterpret_cast<BYTE*>(&current.since), &size) !=
            ERROR_SUCCESS ||
        type != REG_QWORD)
        current.since = 0;
    // REG_MULTI_SZ: strings one after another, an empty one at the end.
    wchar_t list[(kEarlierPerformance + 1) * (kPerformanceText + 24)] = {};
    size = sizeof(list) - 2 * sizeof(wchar_t);
    if (RegQueryValueExW(store, kEarlierValue, NULL, &type, reinterpret_cast<BYTE*>(list), &size) !=
            ERROR_SUCCESS ||
        type != REG_MULTI_SZ)
        list[0] = 0;
    int count = 1;
    for (const wchar_t* entry = list; *entry && count < capacity; entry += wcslen(entry) + 1)
        if (ParseEarlier(entry, &settings[count]))
            ++count;
    return count;
}

DWORD SetPerformance(HKEY store, const wchar_t* values) {
    PerformanceSetting settings[kEarlierPerformance + 1];
    const int count = ReadPerformance(store, settings, kEarlierPerformance + 1);
    wchar_t list[(kEarlierPerformance + 1) * (kPerformanceText + 24)];
    wchar_t* at = list;
    for (int i = 0; i < count && i < kEarlierPerformance; ++i) {
        _ui64tow(settings[i].since, at, 10);
        wcscat(at, L" ");
        wcscat(at, settings[i].values);
        at += wcslen(at) + 1;
    }
    *at++ = 0;
    DWORD result = RegSetValueExW(store, kEarlierValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list),
                                  static_cast<DWORD>((at - list) * sizeof(wchar_t)));
    if (result != ERROR_SUCCESS)
        return result;
    const ULONGLONG now = SystemTimeNow();
    result =
        RegSetValueExW(store, kSinceValue, 0, REG_QWORD, reinterpret_cast<const BYTE*>(&now), sizeof(now));
    if (result != ERROR_SUCCESS)
        return result;
    if (values)
        return RegSetValueExW(store, kPerformanceValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(values),
                              static_cast<DWORD>((wcslen(values) + 1) * sizeof(wchar_t)));
    result = RegDeleteValueW(store, kPerformanceValue);
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

static const wchar_t kJitterValue[] = L"pdh::jitter";

bool PerformanceJitter(HKEY store) {
    DWORD on;
    return ReadDwordValue(store, kJitterValue, &on) && on;
}

DWORD SetPerformanceJitter(HKEY store, bool on) {
    if (on)
        return WriteDwordValue(store, kJitterValue, 1);
    DWORD result = RegDeleteValueW(store, kJitterValue);
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

const wchar_t* ModeName(const GUID& mode) {
    for (int i = 0; i < kModeCount; ++i)
        if (memcmp(kModes[i].guid, &mode, sizeof(GUID)) == 0)
            return kModes[i].name;
    return NULL;
}

// "mode::ac" or "mode::dc".
static void ModeValueName(const wchar_t* which, wchar_t* name) {
    wcscpy(name, L"mode::");
    wcsncat(name, which, 2);
}

GUID PowerModeOf(HKEY store, const wchar_t* which) {
    wchar_t name[16];
    ModeValueName(which, name);
    GUID mode;
    return ReadGuidValue(store, name, &mode) ? mode : kModeBalanced;
}

DWORD SetPowerMode(HKEY store, const wchar_t* which, const GUID& mode) {
    wchar_t name[16];
    ModeValueName(which, name);
    return WriteGuidValue(store, name, mode);
}

// A REG_DWORD flag of the store that is on when non-zero; absent is off.
static bool FlagOn(HKEY store, const wchar_t* name) {
    DWORD value;
    return ReadKnob(store, name, &value) && value;
}

static DWORD SetFlag(HKEY store, const wchar_t* name, bool on) {
    if (on)
        return WriteDwordValue(store, name, 1);
    DWORD result = RegDeleteValueW(store, name);
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

bool OnBattery(HKEY store) {
    return FlagOn(store, L"source");
}

DWORD SetOnBattery(HKEY store, bool battery) {
    return SetFlag(store, L"source", battery);
}

bool BatterySaverOn(HKEY store) {
    return FlagOn(store, L"saver");
}

DWORD SetBatterySaver(HKEY store, bool on) {
    return SetFlag(store, L"saver", on);
}
