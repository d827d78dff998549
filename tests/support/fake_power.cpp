#include "fake_power.h"

#include <set>

#include "power/power_functions.h"
#include "seams.h"

std::string g_fakeActiveScheme;
std::map<std::string, MinimumStates> g_fakeSchemes;
std::map<std::string, MinimumStates> g_fakeClass1;
std::map<std::string, DWORD> g_fakePowerFailures;
BOOLEAN g_fakeUserMayWriteSchemes;
ProcessorReading g_fakeReadings[kMaxProcessors];
LONG g_fakeReadingStatus;
std::map<std::string, std::string> g_fakeModes;

namespace {

std::vector<std::string> s_calls;
std::set<HLOCAL> s_outstanding;
int s_strayFrees;

const GUID kSchemes[] = {
    {0x381B4222, 0xF694, 0x41F0, {0x96, 0x85, 0xFF, 0x5B, 0xB2, 0x60, 0xDF, 0x2E}},
    {0x8C5E7FDA, 0xE8BF, 0x4A96, {0x9A, 0x85, 0xA6, 0xE2, 0x3A, 0x8C, 0x63, 0x5C}},
    {0xA1841308, 0x3541, 0x4FAB, {0xBC, 0x81, 0xF7, 0x15, 0x56, 0xF2, 0x0B, 0x4A}},
};
const char* const kNames[] = {"B", "HP", "PS"};
const GUID kSubgroup = {0x54533251, 0x82BE, 0x4824, {0x96, 0xC1, 0x47, 0xB6, 0x0B, 0x74, 0x0D, 0x00}};
const GUID kMinimum = {0x893DEE8E, 0x2BEF, 0x41E0, {0x89, 0xC6, 0xB5, 0x5D, 0x09, 0x29, 0x96, 0x4C}};
const GUID kMinimum1 = {0x893DEE8E, 0x2BEF, 0x41E0, {0x89, 0xC6, 0xB5, 0x5D, 0x09, 0x29, 0x96, 0x4D}};

std::string Name(const GUID* scheme) {
    for (int i = 0; i < 3; ++i)
        if (scheme && !memcmp(scheme, &kSchemes[i], sizeof(GUID)))
            return kNames[i];
    return "?";
}

// Logs the call and returns the failure set for it, if any: for this very call ("ReadAC(HP)"),
// else for every call of the function ("ReadAC").
DWORD Call(const std::string& function, const std::string& arguments) {
    auto failure = g_fakePowerFailures.find(function + arguments);
    if (failure == g_fakePowerFailures.end())
        failure = g_fakePowerFailures.find(function);
    DWORD result = failure == g_fakePowerFailures.end() ? ERROR_SUCCESS : failure->second;
    s_calls.push_back(function + arguments + (result ? " -> " + std::to_string(result) : ""));
    return result;
}

DWORD WINAPI GetActive(HKEY root, GUID** scheme) {
    DWORD result = root ? ERROR_INVALID_PARAMETER : Call("GetActive", "");
    if (result == ERROR_SUCCESS) {
        *scheme = static_cast<GUID*>(LocalAlloc(LMEM_FIXED, sizeof(GUID)));
        for (int i = 0; i < 3; ++i)
            if (g_fakeActiveScheme == kNames[i])
                **scheme = kSchemes[i];
        s_outstanding.insert(*scheme);
    }
    return result;
}

bool Exists(const GUID* scheme) {
    return g_fakeSchemes.count(Name(scheme)) != 0;
}

// A call that the checks after the failure knobs refuse: its log entry shows the error.
DWORD Refuse(DWORD error) {
    s_calls.back() += " -> " + std::to_string(error);
    return error;
}

DWORD WINAPI SetActive(HKEY, const GUID* scheme) {
    DWORD result = Call("SetActive", "(" + Name(scheme) + ")");
    if (result == ERROR_SUCCESS && !Exists(scheme))
        result = Refuse(ERROR_FILE_NOT_FOUND);
    if (result == ERROR_SUCCESS)
        g_fakeActiveScheme = Name(scheme);
    return result;
}

// The minimum state of class 0 ("") or class 1 ("1"); null for any other setting.
const char* Class(const GUID* subgroup, const GUID* setting) {
    if (!subgroup || !setting || memcmp(subgroup, &kSubgroup, 16))
        return nullptr;
    return !memcmp(setting, &kMinimum, 16) ? "" : !memcmp(setting, &kMinimum1, 16) ? "1" : nullptr;
}

template <bool ac>
DWORD WINAPI Read(HKEY, const GUID* scheme, const GUID* subgroup, const GUID* setting, DWORD* value) {
    const char* c = Class(subgroup, setting);
    DWORD result = Call(std::string(ac ? "ReadAC" : "ReadDC") + (c ? c : "?"), "(" + Name(scheme) + ")");
    if (result == ERROR_SUCCESS && !c)
        result = Refuse(ERROR_INVALID_PARAMETER);
    auto& states = c && *c ? g_fakeClass1 : g_fakeSchemes;
    if (result == ERROR_SUCCESS && (!Exists(scheme) || !states.count(Name(scheme))))
        result = Refuse(ERROR_FILE_NOT_FOUND);
    if (result == ERROR_SUCCESS)
        *value = ac ? states[Name(scheme)].ac : states[Name(scheme)].dc;
    return result;
}

// Writes a class-1 value even where the scheme had none, as Windows does.
template <bool ac>
DWORD WINAPI Write(HKEY, const GUID* scheme, const GUID* subgroup, const GUID* setting, DWORD value) {
    const char* c = Class(subgroup, setting);
    DWORD result = Call(std::string(ac ? "WriteAC" : "WriteDC") + (c ? c : "?"),
                        "(" + Name(scheme) + ", " + std::to_string(value) + ")");
    if (result == ERROR_SUCCESS && !c)
        result = Refuse(ERROR_INVALID_PARAMETER);
    if (result == ERROR_SUCCESS && !Exists(scheme))
        result = Refuse(ERROR_FILE_NOT_FOUND);
    auto& states = c && *c ? g_fakeClass1 : g_fakeSchemes;
    if (result == ERROR_SUCCESS)
        (ac ? states[Name(scheme)].ac : states[Name(scheme)].dc) = value;
    return result;
}

// The existing schemes in the order B, HP, PS, one per index.
DWORD WINAPI Enumerate(HKEY, const GUID* scheme, const GUID* subgroup, POWER_DATA_ACCESSOR access,
                       ULONG index, UCHAR* buffer, DWORD* size) {
    DWORD result = Call("Enumerate", "(" + std::to_string(index) + ")");
    if (result != ERROR_SUCCESS)
        return result;
    if (scheme || subgroup || access != ACCESS_SCHEME || !buffer || *size != sizeof(GUID))
        return Refuse(ERROR_INVALID_PARAMETER);
    ULONG n = 0;
    for (int i = 0; i < 3; ++i) {
        if (g_fakeSchemes.count(kNames[i]) && n++ == index) {
            memcpy(buffer, &kSchemes[i], sizeof(GUID));
            return ERROR_SUCCESS;
        }
    }
    return Refuse(ERROR_NO_MORE_ITEMS);
}

LONG WINAPI PowerInformation(POWER_INFORMATION_LEVEL level, PVOID input, ULONG inputLength, PVOID output,
                             ULONG outputLength) {
    if (level != ProcessorInformation || input || inputLength || outputLength != sizeof(g_fakeReadings))
        return static_cast<LONG>(0xC000000D); // STATUS_INVALID_PARAMETER
    if (g_fakeReadingStatus != 0) {
        memset(output, 0xAB, outputLength); // whatever a failing call leaves
        return g_fakeReadingStatus;
    }
    memcpy(output, g_fakeReadings, sizeof(g_fakeReadings));
    return 0;
}

const GUID kModes[] = {
    {0x961CC777, 0x2547, 0x4F9D, {0x81, 0x74, 0x7D, 0x86, 0x18, 0x1B, 0x8A, 0x7A}},
    {},
    {0xDED574B5, 0x45A0, 0x4F42, {0x87, 0x37, 0x46, 0x34, 0x5C, 0x09, 0xC2, 0x38}},
};
const char* const kModeNames[] = {"BE", "BAL", "BP"};

template <bool ac> DWORD WINAPI GetMode(GUID* mode) {
    const std::string source = ac ? "AC" : "DC";
    DWORD result = Call("GetMode" + source, "");
    for (int i = 0; result == ERROR_SUCCESS && i < 3; ++i)
        if (g_fakeModes[source] == kModeNames[i])
            *mode = kModes[i];
    return result;
}

template <bool ac> DWORD WINAPI SetMode(const GUID* mode) {
    const std::string source = ac ? "AC" : "DC";
    const std::string name = FakeModeName(*mode);
    DWORD result = Call("SetMode" + source, "(" + name + ")");
    if (result == ERROR_SUCCESS)
        g_fakeModes[source] = name;
    return result;
}

BOOLEAN WINAPI MayWriteSchemes() {
    return g_fakeUserMayWriteSchemes;
}

// The boost frees every scheme GUID it was given through LocalFree.
HLOCAL WINAPI CountedLocalFree(HLOCAL memory) {
    if (memory && s_outstanding.erase(memory) == 0)
        ++s_strayFrees;
    return REAL(L"kernel32.dll", LocalFree)(memory);
}

} // namespace

SEAM(LocalFree, CountedLocalFree);

void UseFakePower() {
    g_power = {};
    g_power.PowerGetActiveScheme = GetActive;
    g_power.PowerSetActiveScheme = SetActive;
    g_power.PowerWriteACValueIndex = Write<true>;
    g_power.PowerWriteDCValueIndex = Write<false>;
    g_power.PowerReadACValueIndex = Read<true>;
    g_power.PowerReadDCValueIndex = Read<false>;
    g_power.PowerEnumerate = Enumerate;
    g_power.CallNtPowerInformation = PowerInformation;
    g_power.CanUserWritePwrScheme = MayWriteSchemes;
    g_fakeModes.clear();
    g_fakeActiveScheme = "B";
    g_fakeSchemes = {{"B", {5, 0}}, {"HP", {100, 100}}, {"PS", {5, 5}}};
    g_fakeClass1.clear();
    g_fakePowerFailures.clear();
    g_fakeUserMayWriteSchemes = TRUE;
    for (DWORD i = 0; i < kMaxProcessors; ++i)
        g_fakeReadings[i] = {i, 3000, 3000, 3000, 0, 0};
    g_fakeReadingStatus = 0;
    s_calls.clear();
    s_outstanding.clear();
    s_strayFrees = 0;
}

std::string FakeModeName(const GUID& mode) {
    for (int i = 0; i < 3; ++i)
        if (!memcmp(&mode, &kModes[i], sizeof(GUID)))
            return kModeNames[i];
    return "?";
}

void UseFakePowerModes() {
    g_power.PowerGetUserConfiguredACPowerMode = GetMode<true>;
    g_power.PowerGetUserConfiguredDCPowerMode = GetMode<false>;
    g_power.PowerSetUserConfiguredACPowerMode = SetMode<true>;
    g_power.PowerSetUserConfiguredDCPowerMode = SetMode<false>;
    g_fakeModes = {{"AC", "BAL"}, {"DC", "BE"}};
}

GUID FakeSchemeGuid(const std::string& name) {
    for (int i = 0; i < 3; ++i)
        if (name == kNames[i])
            return kSchemes[i];
    return {0x11111111, 0x1111, 0x1111, {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11}};
}

std::vector<std::string> TakePowerCalls() {
    std::vector<std::string> calls;
    calls.swap(s_calls);
    return calls;
}

size_t OutstandingSchemeGuids() {
    return s_outstanding.size();
}

int StrayGuidFrees() {
    return s_strayFrees;
}
